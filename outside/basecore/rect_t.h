#pragma once

// Points and rectangles with coordinates of any arithmetic type; the suite uses the
// double forms for logical (map) coordinates.

template <class T>
struct CPointT {
    T x{};
    T y{};
    CPointT() = default;
    CPointT(T px, T py) : x(px), y(py) {}
    bool operator==(const CPointT& o) const { return x == o.x && y == o.y; }
};

template <class T>
struct CRectT {
    T left{};
    T top{};
    T right{};
    T bottom{};
    CRectT() = default;
    CRectT(T l, T t, T r, T b) : left(l), top(t), right(r), bottom(b) {}
    /// right - left
    T Width() const { return right - left; }
    /// bottom - top
    T Height() const { return bottom - top; }
    bool operator==(const CRectT& o) const
    {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
};
