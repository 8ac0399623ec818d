#pragma once

// A pixel region kept as horizontal bands of sorted, disjoint, half-open x spans. The
// form is canonical (spans of a row never touch, equal neighbouring bands are merged),
// so two regions hold the same pixels exactly when their data are equal. No Qt here:
// selections, statistics and drawing all walk regions through the span iterators.

#include <cstdint>
#include <span>
#include <vector>

#include "platform/types.h"

namespace platform {

/// One run of pixels [x0, x1) of a row.
struct Span {
    int x0;
    int x1;
    bool operator==(const Span&) const = default;
};

/// A run of pixels on one row, for building regions from unordered pieces.
struct RowSpan {
    int y;
    int x0;
    int x1;
};

/// Rows [top, bottom) that all hold the same spans.
struct RegionBand {
    int top;
    int bottom;
    std::span<const Span> spans;
};

/// One row of a region and its spans.
struct RegionRow {
    int y;
    std::span<const Span> spans;
};

enum class RegionOp { And, Or, Xor, Diff };
enum class FillRule { Alternate, Winding };

/// Scale and offset applied to region coordinates: x' = x * sx + dx, y' = y * sy + dy.
struct ScaleOffset {
    double sx = 1.0;
    double sy = 1.0;
    double dx = 0.0;
    double dy = 0.0;
};

class PLATFORM_API SpanRegion {
public:
    SpanRegion() = default;
    /// The pixels [left, right) x [top, bottom); the corners may come in any order.
    static SpanRegion FromRect(int left, int top, int right, int bottom);
    /// Pixels whose centre lies inside the closed polygon under the fill rule; a centre on
    /// a left or top edge is inside, one on a right or bottom edge outside.
    static SpanRegion FromPolygon(std::span<const POINT> points, FillRule rule);
    /// Several polygons filled together (edges of all of them count for the rule).
    static SpanRegion FromPolyPolygon(std::span<const POINT> points, std::span<const int> counts,
                                      FillRule rule);
    /// The union of runs given in any order; overlapping and empty runs are fine.
    static SpanRegion FromSpans(std::vector<RowSpan> spans);
    /// The union of rectangles (left, top, right, bottom; right and bottom exclusive).
    static SpanRegion FromRects(std::span<const RECT> rects);
    /// Pixels with (x - cx)^2 / rx^2 + (y - cy)^2 / ry^2 <= 1 for pixel centres, the
    /// ellipse inscribed in [left, right) x [top, bottom).
    static SpanRegion FromEllipse(int left, int top, int right, int bottom);

    bool IsEmpty() const { return m_bands.empty(); }
    /// One rectangle (a single band of one span).
    bool IsRect() const { return m_bands.size() == 1 && m_bands[0].count == 1; }
    /// Bounding box with exclusive right and bottom; all zero when empty.
    RECT Bounds() const;
    /// Number of pixels.
    std::int64_t Area() const;
    bool Contains(int x, int y) const;

    SpanRegion Combine(const SpanRegion& other, RegionOp op) const;
    SpanRegion Intersect(const SpanRegion& other) const { return Combine(other, RegionOp::And); }
    SpanRegion Union(const SpanRegion& other) const { return Combine(other, RegionOp::Or); }
    SpanRegion Subtract(const SpanRegion& other) const { return Combine(other, RegionOp::Diff); }
    /// Cut to a rectangle, faster than a general intersection.
    SpanRegion ClipToRect(const RECT& r) const;
    void Offset(int dx, int dy);
    /// Every rectangle of the region mapped by the transform, corners rounded to the
    /// nearest pixel edge; rectangles that become empty are dropped.
    SpanRegion Transformed(const ScaleOffset& t) const;
    /// The region as disjoint rectangles, top to bottom, left to right in a band.
    std::vector<RECT> Rects() const;

    bool operator==(const SpanRegion& o) const;
    bool operator!=(const SpanRegion& o) const { return !(*this == o); }

    // --- walking the region ---
    std::size_t BandCount() const { return m_bands.size(); }
    RegionBand Band(std::size_t i) const
    {
        const BandRec& b = m_bands[i];
        return {b.top, b.bottom, std::span<const Span>(m_spans.data() + b.first, b.count)};
    }
    /// Spans of row y (empty when the row holds no pixel).
    std::span<const Span> RowSpans(int y) const;

    class BandIterator {
    public:
        BandIterator(const SpanRegion* r, std::size_t i) : m_r(r), m_i(i) {}
        RegionBand operator*() const { return m_r->Band(m_i); }
        BandIterator& operator++()
        {
            ++m_i;
            return *this;
        }
        bool operator!=(const BandIterator& o) const { return m_i != o.m_i; }
        bool operator==(const BandIterator& o) const { return m_i == o.m_i; }

    private:
        const SpanRegion* m_r;
        std::size_t m_i;
    };
    struct BandRange {
        const SpanRegion* r;
        BandIterator begin() const { return {r, 0}; }
        BandIterator end() const { return {r, r->m_bands.size()}; }
    };
    /// Bands top to bottom: `for (RegionBand b : region.Bands())`.
    BandRange Bands() const& { return {this}; }
    BandRange Bands() const&& = delete;  // the range would outlive a temporary region

    class RowIterator {
    public:
        RowIterator(const SpanRegion* r, std::size_t band, int y) : m_r(r), m_band(band), m_y(y) {}
        RegionRow operator*() const
        {
            const BandRec& b = m_r->m_bands[m_band];
            return {m_y, std::span<const Span>(m_r->m_spans.data() + b.first, b.count)};
        }
        RowIterator& operator++()
        {
            if (++m_y >= m_r->m_bands[m_band].bottom) {
                ++m_band;
                m_y = m_band < m_r->m_bands.size() ? m_r->m_bands[m_band].top : 0;
            }
            return *this;
        }
        bool operator!=(const RowIterator& o) const { return m_band != o.m_band || m_y != o.m_y; }
        bool operator==(const RowIterator& o) const { return !(*this != o); }

    private:
        const SpanRegion* m_r;
        std::size_t m_band;
        int m_y;
    };
    struct RowRange {
        const SpanRegion* r;
        RowIterator begin() const { return {r, 0, r->m_bands.empty() ? 0 : r->m_bands[0].top}; }
        RowIterator end() const { return {r, r->m_bands.size(), 0}; }
    };
    /// Every row that holds pixels, top to bottom: `for (RegionRow row : region.Rows())`.
    RowRange Rows() const& { return {this}; }
    RowRange Rows() const&& = delete;  // the range would outlive a temporary region

private:
    struct BandRec {
        int top;
        int bottom;
        std::uint32_t first;
        std::uint32_t count;
    };
    friend class RegionWriter;

    std::vector<BandRec> m_bands;
    std::vector<Span> m_spans;
};

}  // namespace platform
