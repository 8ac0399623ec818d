#include "platform/gdi/span_region.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace platform {

// Appends bands top to bottom and keeps the form canonical: a band equal to the one
// above it and touching it extends that band instead of adding one.
class RegionWriter {
public:
    explicit RegionWriter(SpanRegion& r) : m_r(r) {}

    void AddBand(int top, int bottom, const Span* spans, std::size_t n)
    {
        if (n == 0 || top >= bottom) return;
        if (!m_r.m_bands.empty()) {
            SpanRegion::BandRec& last = m_r.m_bands.back();
            if (last.bottom == top && last.count == n &&
                std::equal(spans, spans + n, m_r.m_spans.begin() + last.first)) {
                last.bottom = bottom;
                return;
            }
        }
        const auto first = static_cast<std::uint32_t>(m_r.m_spans.size());
        m_r.m_spans.insert(m_r.m_spans.end(), spans, spans + n);
        m_r.m_bands.push_back({top, bottom, first, static_cast<std::uint32_t>(n)});
    }
    void AddBand(int top, int bottom, const std::vector<Span>& spans)
    {
        AddBand(top, bottom, spans.data(), spans.size());
    }

private:
    SpanRegion& m_r;
};

namespace {

inline bool Apply(RegionOp op, bool a, bool b)
{
    switch (op) {
        case RegionOp::And:
            return a && b;
        case RegionOp::Or:
            return a || b;
        case RegionOp::Xor:
            return a != b;
        case RegionOp::Diff:
            return a && !b;
    }
    return false;
}

// One row's spans of a and b combined; both inputs sorted, disjoint and non-touching.
void CombineSpans(std::span<const Span> a, std::span<const Span> b, RegionOp op, std::vector<Span>& out)
{
    out.clear();
    std::size_t i = 0, j = 0;
    bool inA = false, inB = false, in = false;
    int start = 0;
    for (;;) {
        const int na = i < a.size() ? (inA ? a[i].x1 : a[i].x0) : INT_MAX;
        const int nb = j < b.size() ? (inB ? b[j].x1 : b[j].x0) : INT_MAX;
        const int x = std::min(na, nb);
        if (x == INT_MAX && i >= a.size() && j >= b.size()) break;
        if (na == x) {
            if (inA) ++i;
            inA = !inA;
        }
        if (nb == x) {
            if (inB) ++j;
            inB = !inB;
        }
        const bool now = Apply(op, inA, inB);
        if (now != in) {
            if (now) {
                if (!out.empty() && out.back().x1 == x) {
                    start = out.back().x0;
                    out.pop_back();
                } else {
                    start = x;
                }
            } else {
                out.push_back({start, x});
            }
            in = now;
        }
    }
}

// Runs of one row in order of their start, possibly overlapping, touching or empty,
// made disjoint in place.
void MergeRow(std::vector<Span>& row)
{
    std::size_t w = 0;
    for (const Span& s : row) {
        if (s.x1 <= s.x0) continue;
        if (w > 0 && s.x0 <= row[w - 1].x1) {
            row[w - 1].x1 = std::max(row[w - 1].x1, s.x1);
        } else {
            row[w++] = s;
        }
    }
    row.resize(w);
}

struct Edge {
    int x0, y0, x1, y1;  // y0 < y1
    int dir;             // +1 when the polygon runs downwards along it
    // Walking the edge row by row: the first pixel column whose centre lies at or right of
    // the crossing with the centre line of the current row is ceil(num / den), with
    // num = 2 x0 dy + (2 (y - y0) + 1) dx - dy and den = 2 dy. It is kept exactly as
    // q = ceil(num / den) and e = q den - num (0 <= e < den); a row adds 2 dx to num,
    // which is stepQ whole columns and stepR of a column.
    std::int64_t den = 0, e = 0, stepQ = 0, stepR = 0;
    std::int64_t q = 0;

    void Start()
    {
        const std::int64_t dy = std::int64_t(y1) - y0, dx = std::int64_t(x1) - x0;
        den = 2 * dy;
        const std::int64_t num = 2 * std::int64_t(x0) * dy + dx - dy;
        q = FloorDiv(num, den);
        if (q * den != num) ++q;
        e = q * den - num;
        stepQ = FloorDiv(2 * dx, den);
        stepR = 2 * dx - stepQ * den;
    }
    void Step()
    {
        q += stepQ;
        e -= stepR;
        if (e < 0) {
            ++q;
            e += den;
        }
    }
    int Pixel() const { return q < INT_MIN ? INT_MIN : q > INT_MAX ? INT_MAX : static_cast<int>(q); }
    static std::int64_t FloorDiv(std::int64_t a, std::int64_t b)  // b > 0
    {
        const std::int64_t d = a / b;
        return (a % b != 0 && a < 0) ? d - 1 : d;
    }
};

SpanRegion FillEdges(std::vector<Edge>& edges, FillRule rule)
{
    SpanRegion result;
    if (edges.empty()) return result;
    std::sort(edges.begin(), edges.end(), [](const Edge& a, const Edge& b) { return a.y0 < b.y0; });
    RegionWriter writer(result);
    // Active edges, kept in order of their crossing; from one row to the next the order
    // changes only where edges cross, so an insertion sort does little work.
    std::vector<Edge*> active;
    std::vector<Span> row;
    std::size_t next = 0;
    int y = edges[0].y0;
    while (next < edges.size() || !active.empty()) {
        if (active.empty() && next < edges.size() && y < edges[next].y0) y = edges[next].y0;
        while (next < edges.size() && edges[next].y0 <= y) {
            edges[next].Start();
            active.push_back(&edges[next++]);
        }
        active.erase(std::remove_if(active.begin(), active.end(), [y](const Edge* e) { return e->y1 <= y; }),
                     active.end());
        if (active.empty()) continue;
        for (std::size_t i = 1; i < active.size(); ++i) {
            Edge* e = active[i];
            std::size_t j = i;
            for (; j > 0 && active[j - 1]->q > e->q; --j) active[j] = active[j - 1];
            active[j] = e;
        }
        row.clear();
        if (rule == FillRule::Alternate) {
            for (std::size_t k = 0; k + 1 < active.size(); k += 2)
                row.push_back({active[k]->Pixel(), active[k + 1]->Pixel()});
        } else {
            int winding = 0, start = 0;
            for (const Edge* e : active) {
                const int before = winding;
                winding += e->dir;
                if (before == 0 && winding != 0)
                    start = e->Pixel();
                else if (before != 0 && winding == 0)
                    row.push_back({start, e->Pixel()});
            }
        }
        MergeRow(row);
        writer.AddBand(y, y + 1, row);
        for (Edge* e : active) e->Step();
        ++y;
    }
    return result;
}

// Coordinates beyond 2^28 pixels are held there, which keeps the edge arithmetic in 64 bits.
constexpr int kCoordLimit = 1 << 28;
inline POINT Held(POINT p)
{
    return {std::clamp<LONG>(p.x, -kCoordLimit, kCoordLimit),
            std::clamp<LONG>(p.y, -kCoordLimit, kCoordLimit)};
}

void AddRing(std::vector<Edge>& edges, std::span<const POINT> pts)
{
    const std::size_t n = pts.size();
    for (std::size_t i = 0; i < n; ++i) {
        const POINT a = Held(pts[i]);
        const POINT b = Held(pts[(i + 1) % n]);
        if (a.y == b.y) continue;
        if (a.y < b.y)
            edges.push_back({a.x, a.y, b.x, b.y, +1, 0, 0, 0, 0, 0});
        else
            edges.push_back({b.x, b.y, a.x, a.y, -1, 0, 0, 0, 0, 0});
    }
}

SpanRegion UnionOfRects(std::span<const RECT> rects)
{
    if (rects.empty()) return {};
    if (rects.size() == 1) {
        const RECT& r = rects[0];
        return SpanRegion::FromRect(r.left, r.top, r.right, r.bottom);
    }
    const std::size_t half = rects.size() / 2;
    return UnionOfRects(rects.first(half)).Union(UnionOfRects(rects.subspan(half)));
}

inline int RoundEdge(double v)
{
    const double r = std::floor(v + 0.5);
    if (r <= double(INT_MIN)) return INT_MIN;
    if (r >= double(INT_MAX)) return INT_MAX;
    return static_cast<int>(r);
}

}  // namespace

SpanRegion SpanRegion::FromRect(int left, int top, int right, int bottom)
{
    SpanRegion r;
    if (left > right) std::swap(left, right);
    if (top > bottom) std::swap(top, bottom);
    if (left == right || top == bottom) return r;
    const Span s{left, right};
    RegionWriter(r).AddBand(top, bottom, &s, 1);
    return r;
}

SpanRegion SpanRegion::FromPolygon(std::span<const POINT> points, FillRule rule)
{
    std::vector<Edge> edges;
    edges.reserve(points.size());
    if (points.size() >= 2) AddRing(edges, points);
    return FillEdges(edges, rule);
}

SpanRegion SpanRegion::FromPolyPolygon(std::span<const POINT> points, std::span<const int> counts,
                                       FillRule rule)
{
    std::vector<Edge> edges;
    std::size_t at = 0;
    for (int c : counts) {
        if (c < 0 || at + std::size_t(c) > points.size()) break;
        if (c >= 2) AddRing(edges, points.subspan(at, std::size_t(c)));
        at += std::size_t(c);
    }
    return FillEdges(edges, rule);
}

SpanRegion SpanRegion::FromSpans(std::vector<RowSpan> spans)
{
    SpanRegion r;
    std::sort(spans.begin(), spans.end(),
              [](const RowSpan& a, const RowSpan& b) { return a.y != b.y ? a.y < b.y : a.x0 < b.x0; });
    RegionWriter writer(r);
    std::vector<Span> row;
    for (std::size_t i = 0; i < spans.size();) {
        const int y = spans[i].y;
        row.clear();
        for (; i < spans.size() && spans[i].y == y; ++i) {
            const RowSpan& s = spans[i];
            if (s.x1 <= s.x0) continue;
            if (!row.empty() && s.x0 <= row.back().x1)
                row.back().x1 = std::max(row.back().x1, s.x1);
            else
                row.push_back({s.x0, s.x1});
        }
        writer.AddBand(y, y + 1, row);
    }
    return r;
}

SpanRegion SpanRegion::FromRects(std::span<const RECT> rects)
{
    std::vector<RECT> sorted;
    sorted.reserve(rects.size());
    for (const RECT& r : rects) {
        RECT n{std::min(r.left, r.right), std::min(r.top, r.bottom), std::max(r.left, r.right),
               std::max(r.top, r.bottom)};
        if (n.left < n.right && n.top < n.bottom) sorted.push_back(n);
    }
    // Neighbours in y merge cheaply, so keep them together before halving.
    std::sort(sorted.begin(), sorted.end(),
              [](const RECT& a, const RECT& b) { return a.top != b.top ? a.top < b.top : a.left < b.left; });
    return UnionOfRects(sorted);
}

SpanRegion SpanRegion::FromEllipse(int left, int top, int right, int bottom)
{
    if (left > right) std::swap(left, right);
    if (top > bottom) std::swap(top, bottom);
    SpanRegion r;
    if (left == right || top == bottom) return r;
    const double cx = (double(left) + right) / 2, cy = (double(top) + bottom) / 2;
    const double rx = (double(right) - left) / 2, ry = (double(bottom) - top) / 2;
    RegionWriter writer(r);
    for (int y = top; y < bottom; ++y) {
        const double t = (y + 0.5 - cy) / ry;
        if (t * t > 1.0) continue;
        const double half = rx * std::sqrt(1.0 - t * t);
        const int x0 = std::max(left, static_cast<int>(std::ceil(cx - half - 0.5)));
        const int x1 = std::min(right, static_cast<int>(std::floor(cx + half - 0.5)) + 1);
        if (x0 < x1) {
            const Span s{x0, x1};
            writer.AddBand(y, y + 1, &s, 1);
        }
    }
    return r;
}

RECT SpanRegion::Bounds() const
{
    if (m_bands.empty()) return {0, 0, 0, 0};
    int l = INT_MAX, r = INT_MIN;
    for (const BandRec& b : m_bands) {
        l = std::min(l, m_spans[b.first].x0);
        r = std::max(r, m_spans[b.first + b.count - 1].x1);
    }
    return {l, m_bands.front().top, r, m_bands.back().bottom};
}

std::int64_t SpanRegion::Area() const
{
    std::int64_t area = 0;
    for (const BandRec& b : m_bands) {
        std::int64_t w = 0;
        for (std::uint32_t k = 0; k < b.count; ++k)
            w += std::int64_t(m_spans[b.first + k].x1) - m_spans[b.first + k].x0;
        area += w * (std::int64_t(b.bottom) - b.top);
    }
    return area;
}

std::span<const Span> SpanRegion::RowSpans(int y) const
{
    auto it = std::upper_bound(m_bands.begin(), m_bands.end(), y,
                               [](int v, const BandRec& b) { return v < b.bottom; });
    if (it == m_bands.end() || y < it->top) return {};
    return {m_spans.data() + it->first, it->count};
}

bool SpanRegion::Contains(int x, int y) const
{
    const auto row = RowSpans(y);
    auto it = std::upper_bound(row.begin(), row.end(), x, [](int v, const Span& s) { return v < s.x1; });
    return it != row.end() && x >= it->x0;
}

SpanRegion SpanRegion::Combine(const SpanRegion& other, RegionOp op) const
{
    SpanRegion result;
    RegionWriter writer(result);
    const auto& A = m_bands;
    const auto& B = other.m_bands;
    std::size_t ia = 0, ib = 0;
    std::vector<Span> row;
    int y = INT_MIN;
    while (ia < A.size() || ib < B.size()) {
        const BandRec* a = ia < A.size() ? &A[ia] : nullptr;
        const BandRec* b = ib < B.size() ? &B[ib] : nullptr;
        if (a && a->bottom <= y) {
            ++ia;
            continue;
        }
        if (b && b->bottom <= y) {
            ++ib;
            continue;
        }
        if ((op == RegionOp::And && (!a || !b)) || (op == RegionOp::Diff && !a)) break;
        const int aTop = a ? std::max(a->top, y) : INT_MAX;
        const int bTop = b ? std::max(b->top, y) : INT_MAX;
        const int top = std::min(aTop, bTop);
        const bool aIn = a && aTop == top;
        const bool bIn = b && bTop == top;
        int bottom = INT_MAX;
        if (a) bottom = std::min(bottom, aIn ? a->bottom : a->top);
        if (b) bottom = std::min(bottom, bIn ? b->bottom : b->top);
        const std::span<const Span> sa =
            aIn ? std::span<const Span>(m_spans.data() + a->first, a->count) : std::span<const Span>();
        const std::span<const Span> sb =
            bIn ? std::span<const Span>(other.m_spans.data() + b->first, b->count) : std::span<const Span>();
        if (aIn && bIn) {
            CombineSpans(sa, sb, op, row);
            writer.AddBand(top, bottom, row);
        } else if (aIn && op != RegionOp::And) {
            writer.AddBand(top, bottom, sa.data(), sa.size());
        } else if (bIn && (op == RegionOp::Or || op == RegionOp::Xor)) {
            writer.AddBand(top, bottom, sb.data(), sb.size());
        }
        y = bottom;
    }
    return result;
}

SpanRegion SpanRegion::ClipToRect(const RECT& rc) const
{
    SpanRegion result;
    if (rc.left >= rc.right || rc.top >= rc.bottom || IsEmpty()) return result;
    // Most drawing lies inside the rectangle: then it is kept as it is.
    const RECT b = Bounds();
    if (b.left >= rc.left && b.right <= rc.right && b.top >= rc.top && b.bottom <= rc.bottom) return *this;
    RegionWriter writer(result);
    std::vector<Span> row;
    for (const BandRec& b : m_bands) {
        if (b.bottom <= rc.top) continue;
        if (b.top >= rc.bottom) break;
        row.clear();
        for (std::uint32_t k = 0; k < b.count; ++k) {
            const Span& s = m_spans[b.first + k];
            const int x0 = std::max(s.x0, int(rc.left)), x1 = std::min(s.x1, int(rc.right));
            if (x0 < x1) row.push_back({x0, x1});
        }
        writer.AddBand(std::max(b.top, int(rc.top)), std::min(b.bottom, int(rc.bottom)), row);
    }
    return result;
}

void SpanRegion::Offset(int dx, int dy)
{
    for (BandRec& b : m_bands) {
        b.top += dy;
        b.bottom += dy;
    }
    for (Span& s : m_spans) {
        s.x0 += dx;
        s.x1 += dx;
    }
}

SpanRegion SpanRegion::Transformed(const ScaleOffset& t) const
{
    std::vector<RECT> rects;
    rects.reserve(m_spans.size());
    for (const BandRec& b : m_bands) {
        const int top = RoundEdge(b.top * t.sy + t.dy), bottom = RoundEdge(b.bottom * t.sy + t.dy);
        if (top == bottom) continue;
        for (std::uint32_t k = 0; k < b.count; ++k) {
            const Span& s = m_spans[b.first + k];
            const int l = RoundEdge(s.x0 * t.sx + t.dx), r = RoundEdge(s.x1 * t.sx + t.dx);
            if (l != r) rects.push_back({l, top, r, bottom});
        }
    }
    return FromRects(rects);
}

std::vector<RECT> SpanRegion::Rects() const
{
    std::vector<RECT> out;
    out.reserve(m_spans.size());
    for (const BandRec& b : m_bands)
        for (std::uint32_t k = 0; k < b.count; ++k)
            out.push_back({m_spans[b.first + k].x0, b.top, m_spans[b.first + k].x1, b.bottom});
    return out;
}

bool SpanRegion::operator==(const SpanRegion& o) const
{
    if (m_bands.size() != o.m_bands.size() || m_spans.size() != o.m_spans.size()) return false;
    for (std::size_t i = 0; i < m_bands.size(); ++i) {
        const BandRec& a = m_bands[i];
        const BandRec& b = o.m_bands[i];
        if (a.top != b.top || a.bottom != b.bottom || a.count != b.count) return false;
    }
    return m_spans == o.m_spans;
}

}  // namespace platform
