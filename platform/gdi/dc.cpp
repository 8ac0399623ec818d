#include "platform/gdi/dc.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QScreen>

#include "platform/gdi/dc_internal.h"
#include "platform/gdi/dib_format_internal.h"
#include "platform/gdi/metafile_internal.h"
#include "platform/system_metrics.h"

namespace platform::gdi {

namespace {

constexpr RECT kHuge{-(1 << 28), -(1 << 28), 1 << 28, 1 << 28};

RECT Normalised(int l, int t, int r, int b)
{
    return {std::min(l, r), std::min(t, b), std::max(l, r), std::max(t, b)};
}

RECT Intersect(const RECT& a, const RECT& b)
{
    RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
           std::min(a.bottom, b.bottom)};
    if (r.left >= r.right || r.top >= r.bottom) return {0, 0, 0, 0};
    return r;
}

bool Empty(const RECT& r)
{
    return r.left >= r.right || r.top >= r.bottom;
}

HGDIOBJ HandleOf(const std::shared_ptr<GdiObject>& o)
{
    return o ? static_cast<HGDIOBJ>(static_cast<void*>(o.get())) : nullptr;
}

std::shared_ptr<BitmapObj> DefaultBitmap()
{
    static std::shared_ptr<BitmapObj> stock = [] {
        auto b = MakeBitmap32(1, 1);
        b->stock = true;
        b->monochrome = true;
        Register(b);
        return b;
    }();
    return stock;
}

}  // namespace

DcObj::~DcObj()
{
    if (st.bitmap && !st.bitmap->stock) {
        DcObj* self = this;
        st.bitmap->selectedIn.compare_exchange_strong(self, nullptr);
    }
}

RECT DcObj::SurfaceRect() const
{
    if (recording) return kHuge;
    if (image) return {0, 0, image->width(), image->height()};
    // The 1 x 1 default bitmap every new DC holds is shared: nothing draws on it.
    if (st.bitmap && !st.bitmap->stock) return {0, 0, st.bitmap->width, st.bitmap->height};
    return {0, 0, 0, 0};
}

SpanRegion DcObj::Visible(const SpanRegion& shape) const
{
    // A rectangular clip (the usual kind) cuts by its rectangle, which costs no region
    // operation where the shape lies inside it.
    const auto clipBy = [](const SpanRegion& v, const SpanRegion& clip) {
        return clip.IsRect() ? v.ClipToRect(clip.Bounds()) : v.Intersect(clip);
    };
    SpanRegion v = shape.ClipToRect(SurfaceRect());
    if (systemClip) v = clipBy(v, *systemClip);
    if (st.clip) v = clipBy(v, *st.clip);
    return v;
}

std::optional<RECT> DcObj::VisibleRect(const RECT& r) const
{
    RECT v = Intersect(r, SurfaceRect());
    for (const std::optional<SpanRegion>* clip : {&systemClip, &st.clip})
        if (*clip) {
            if (!(*clip)->IsRect()) return std::nullopt;
            v = Intersect(v, (*clip)->Bounds());
        }
    return v;
}

RECT TakeDirty(DcObj& dc)
{
    return std::exchange(dc.dirty, RECT{0, 0, 0, 0});
}

DcRef FindDc(HDC dc)
{
    return DcRef(FindAs<DcObj>(dc));
}

std::pair<DcRef, DcRef> FindDcPair(HDC first, HDC second)
{
    auto a = FindAs<DcObj>(first), b = FindAs<DcObj>(second);
    std::recursive_mutex* ma = a && a->shared ? &a->shared->mutex : nullptr;
    std::recursive_mutex* mb = b && b->shared ? &b->shared->mutex : nullptr;
    if (!ma || !mb || ma == mb) {
        DcRef ra(std::move(a));
        return {std::move(ra), DcRef(std::move(b))};
    }
    // Two windows' surfaces: both locks at once, so two threads blitting between the same
    // two windows in opposite directions cannot hold one each and wait for the other.
    std::lock(*ma, *mb);
    return {DcRef(std::move(a), std::adopt_lock), DcRef(std::move(b), std::adopt_lock)};
}

SurfaceLock::SurfaceLock(DcObj& dc, const RECT& area, bool writeBack) : m_writeBack(writeBack)
{
    if (writeBack) {
        const RECT a = Intersect(area, dc.SurfaceRect());
        if (!Empty(a))
            dc.dirty = Empty(dc.dirty)
                           ? a
                           : RECT{std::min(dc.dirty.left, a.left), std::min(dc.dirty.top, a.top),
                                  std::max(dc.dirty.right, a.right), std::max(dc.dirty.bottom, a.bottom)};
    }
    if (dc.image) {
        m_surface = {dc.image->bits(), dc.image->bytesPerLine(), dc.image->width(), dc.image->height()};
        m_area = Intersect(area, dc.SurfaceRect());
        m_opaque = true;  // Qt's 32-bit formats keep 0xFF in the top byte
        m_surface.alpha = 0xFF000000u;
        return;
    }
    BitmapObj* b = dc.st.bitmap.get();
    if (!b) return;
    m_surface = b->Direct();
    if (m_surface.Valid()) return;
    m_area = Intersect(area, dc.SurfaceRect());
    if (Empty(m_area)) return;
    const int w = m_area.right - m_area.left, h = m_area.bottom - m_area.top;
    m_scratch.resize(std::size_t(w) * std::size_t(h));
    std::vector<std::uint32_t> pal;
    const DibLayout l = LayoutOf(*b, pal);
    for (int y = 0; y < h; ++y)
        ConvertRow(l, b->PictureRow(m_area.top + y), m_area.left, w, m_scratch.data() + std::size_t(y) * w);
    m_converted = b;
    // Row y of the band is reached as row y of the picture: the base sits before the band.
    m_surface.base = reinterpret_cast<std::uint8_t*>(m_scratch.data()) -
                     (std::ptrdiff_t(m_area.top) * w + m_area.left) * std::ptrdiff_t(sizeof(std::uint32_t));
    m_surface.stride = std::ptrdiff_t(w) * 4;
    m_surface.width = b->width;
    m_surface.height = b->height;
}

SurfaceLock::~SurfaceLock()
{
    if (m_opaque && m_writeBack && !m_alphaKept && !Empty(m_area)) {
        // Qt pictures keep their top byte at 0xFF (opaque).
        for (int y = m_area.top; y < m_area.bottom; ++y) {
            std::uint32_t* row = m_surface.Row(y);
            for (int x = m_area.left; x < m_area.right; ++x) row[x] |= 0xFF000000u;
        }
    }
    if (!m_converted || !m_writeBack) return;
    const int w = m_area.right - m_area.left;
    for (int y = m_area.top; y < m_area.bottom; ++y)
        StoreRow(*m_converted, m_converted->PictureRow(y), m_area.left, w,
                 m_scratch.data() + std::size_t(y - m_area.top) * w);
}

std::shared_ptr<BrushObj> BrushOf(HBRUSH brush)
{
    if (auto b = FindAs<BrushObj>(brush)) return b;
    const auto value = reinterpret_cast<std::uintptr_t>(brush);
    if (value == 0 || value > 31) return nullptr;
    auto b = std::make_shared<BrushObj>();
    b->color = GetSysColor(static_cast<int>(value - 1)) & 0xFFFFFF;
    return b;
}

BrushPaint MakeBrushPaint(const DcObj& dc, const BrushObj* b, int rop2)
{
    BrushPaint bp;
    bp.paint.rop2 = rop2;
    bp.paint.originX = dc.st.brushOrg.x;
    bp.paint.originY = dc.st.brushOrg.y;
    if (!b || b->style == BS_NULL) {
        bp.null = true;
        return bp;
    }
    bp.paint.color = ToPixel(b->color);
    if (b->style == BS_SOLID || b->pattern.empty()) return bp;
    bp.paint.patWidth = b->patWidth;
    bp.paint.patHeight = b->patHeight;
    if (b->style == BS_HATCHED) {
        bp.paint.type = Paint::Type::Hatch;
        bp.paint.pattern = b->pattern.data();
        bp.paint.background = ToPixel(dc.st.bkColor);
        bp.paint.transparentGaps = dc.st.bkMode == TRANSPARENT;
        return bp;
    }
    bp.paint.type = Paint::Type::Pattern;
    if (b->monoPattern) {
        const std::uint32_t fg = ToPixel(dc.st.textColor), bg = ToPixel(dc.st.bkColor);
        bp.storage.resize(b->pattern.size());
        for (std::size_t i = 0; i < b->pattern.size(); ++i)
            bp.storage[i] = (b->pattern[i] & 0xFFFFFF) ? bg : fg;
        bp.paint.pattern = bp.storage.data();
    } else {
        bp.paint.pattern = b->pattern.data();
    }
    return bp;
}

void PaintShape(DcObj& dc, const SpanRegion& shape, const Paint& paint)
{
    const SpanRegion v = dc.Visible(shape);
    if (v.IsEmpty()) return;
    SurfaceLock lock(dc, v.Bounds());
    FillSpans(lock.Get(), v, paint);
    lock.AlphaKept();
}

namespace {

// --- lines ---

struct DashPattern {
    int count = 0;
    int lengths[6] = {};
};

DashPattern DashOf(int style)
{
    switch (style) {
        case PS_DASH:
            return {2, {18, 6}};
        case PS_DOT:
            return {2, {3, 3}};
        case PS_DASHDOT:
            return {4, {9, 6, 3, 6}};
        case PS_DASHDOTDOT:
            return {6, {9, 3, 3, 3, 3, 3}};
        default:
            return {};
    }
}

// Where a styled line is in its pattern: index of the current dash and pixels left in it.
struct DashState {
    DashPattern pattern;
    int index = 0;
    int left = 0;
    bool On() const { return (index & 1) == 0; }
    void Step()
    {
        if (pattern.count == 0) return;
        if (--left <= 0) {
            index = (index + 1) % pattern.count;
            left = pattern.lengths[index];
        }
    }
};

void AddPixel(std::vector<RowSpan>& v, int x, int y)
{
    if (!v.empty()) {
        RowSpan& last = v.back();
        if (last.y == y && last.x1 == x) {
            ++last.x1;
            return;
        }
        if (last.y == y && last.x0 == x + 1) {
            --last.x0;
            return;
        }
    }
    v.push_back({y, x, x + 1});
}

// The pixels of a segment from a up to, not including, b; with `ends`, only the first and
// the last (the pixels of a straight walk lie between them).
template <class F>
void SegmentPixels(POINT a, POINT b, F&& pixel, bool ends = false)
{
    const std::int64_t dx = std::int64_t(b.x) - a.x, dy = std::int64_t(b.y) - a.y;
    const std::int64_t n = std::max(std::llabs(dx), std::llabs(dy));
    for (std::int64_t i = 0; i < n; i = ends && i == 0 ? std::max<std::int64_t>(1, n - 1) : i + 1) {
        // Nearest pixel to the exact point, halves rounded towards the end point.
        const auto step = [n](std::int64_t d, std::int64_t k) {
            const std::int64_t num = 2 * k * d + (d >= 0 ? n : -n);
            const std::int64_t q = num / (2 * n);
            return (num % (2 * n) != 0 && num < 0) ? q - 1 : q;
        };
        pixel(int(a.x + step(dx, i)), int(a.y + step(dy, i)));
    }
}

void DrawCosmetic(DcObj& dc, const std::vector<POINT>& pts, bool closed, const PenObj& pen)
{
    DashState dash;
    dash.pattern = DashOf(pen.Style());
    if (dash.pattern.count) dash.left = dash.pattern.lengths[0];
    Paint on;
    on.color = ToPixel(pen.color);
    on.rop2 = dc.st.rop2;
    Paint off = on;
    off.color = ToPixel(dc.st.bkColor);
    const bool gaps = dash.pattern.count && dc.st.bkMode == OPAQUE;
    const std::size_t n = pts.size();
    const std::size_t segments = closed ? n : n - 1;
    std::vector<RowSpan> onPx, offPx;
    // Segment by segment, as the system draws them: under XOR a pixel where the line
    // crosses itself is inverted twice.
    for (std::size_t i = 0; i < segments; ++i) {
        const POINT a = pts[i], b = pts[(i + 1) % n];
        if (!dash.pattern.count && (a.x == b.x) != (a.y == b.y)) {
            // A solid line along an axis (a grid's rules) is one rectangle: its first and
            // last pixels as the walk below finds them.
            POINT first{}, last{};
            std::int64_t k = 0;
            SegmentPixels(
                a, b,
                [&](int x, int y) {
                    (k++ == 0 ? first : last) = POINT{x, y};
                },
                true);
            if (k == 1) last = first;
            PaintShape(dc,
                       SpanRegion::FromRect(std::min(first.x, last.x), std::min(first.y, last.y),
                                            std::max(first.x, last.x) + 1, std::max(first.y, last.y) + 1),
                       on);
            continue;
        }
        onPx.clear();
        offPx.clear();
        SegmentPixels(pts[i], pts[(i + 1) % n], [&](int x, int y) {
            if (!dash.pattern.count || dash.On())
                AddPixel(onPx, x, y);
            else if (gaps)
                AddPixel(offPx, x, y);
            dash.Step();
        });
        if (!onPx.empty()) PaintShape(dc, SpanRegion::FromSpans(onPx), on);
        if (!offPx.empty()) PaintShape(dc, SpanRegion::FromSpans(offPx), off);
    }
}

// A shape drawn with Qt's aliased fill (pixel centres), turned into spans.
SpanRegion RasterizePath(const QPainterPath& path, const RECT& limit)
{
    const QRectF b = path.boundingRect();
    RECT r{int(std::floor(b.left())) - 1, int(std::floor(b.top())) - 1, int(std::ceil(b.right())) + 1,
           int(std::ceil(b.bottom())) + 1};
    r = Intersect(r, limit);
    if (Empty(r)) return {};
    QImage mask(r.right - r.left, r.bottom - r.top, QImage::Format_ARGB32_Premultiplied);
    if (mask.isNull()) return {};
    mask.fill(0u);
    {
        QPainter p(&mask);
        p.setRenderHint(QPainter::Antialiasing, false);
        p.translate(-r.left, -r.top);
        p.fillPath(path, Qt::white);
    }
    std::vector<RowSpan> spans;
    for (int y = 0; y < mask.height(); ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(mask.constScanLine(y));
        for (int x = 0; x < mask.width();) {
            if (!(row[x] >> 24)) {
                ++x;
                continue;
            }
            const int x0 = x;
            while (x < mask.width() && (row[x] >> 24)) ++x;
            spans.push_back({r.top + y, r.left + x0, r.left + x});
        }
    }
    return SpanRegion::FromSpans(std::move(spans));
}

void DrawWide(DcObj& dc, const std::vector<POINT>& pts, bool closed, const PenObj& pen)
{
    QPainterPath path;
    path.moveTo(pts[0].x + 0.5, pts[0].y + 0.5);
    for (std::size_t i = 1; i < pts.size(); ++i) path.lineTo(pts[i].x + 0.5, pts[i].y + 0.5);
    if (closed) path.closeSubpath();
    QPainterPathStroker stroker;
    stroker.setWidth(pen.width);
    const int cap = pen.style & 0x0F00, join = pen.style & 0xF000;
    stroker.setCapStyle(cap == PS_ENDCAP_FLAT     ? Qt::FlatCap
                        : cap == PS_ENDCAP_SQUARE ? Qt::SquareCap
                                                  : Qt::RoundCap);
    stroker.setJoinStyle(join == PS_JOIN_MITER   ? Qt::MiterJoin
                         : join == PS_JOIN_BEVEL ? Qt::BevelJoin
                                                 : Qt::RoundJoin);
    Paint p;
    p.color = ToPixel(pen.color);
    p.rop2 = dc.st.rop2;
    PaintShape(dc, RasterizePath(stroker.createStroke(path).simplified(), dc.SurfaceRect()), p);
}

// Draws the outline through device points with the current pen.
void StrokeDevice(DcObj& dc, const std::vector<POINT>& pts, bool closed)
{
    const PenObj* pen = dc.st.pen.get();
    if (!pen || pen->Style() == PS_NULL || pts.size() < 2) return;
    if (pen->width <= 1)
        DrawCosmetic(dc, pts, closed, *pen);
    else
        DrawWide(dc, pts, closed, *pen);
}

void FillDevice(DcObj& dc, const SpanRegion& shape, const BrushObj* brush, int rop2)
{
    BrushPaint bp = MakeBrushPaint(dc, brush, rop2);
    if (!bp.null) PaintShape(dc, shape, bp.paint);
}

SpanRegion RectRing(const RECT& outer, int width)
{
    SpanRegion o = SpanRegion::FromRect(outer.left, outer.top, outer.right, outer.bottom);
    return o.Subtract(SpanRegion::FromRect(outer.left + width, outer.top + width, outer.right - width,
                                           outer.bottom - width));
}

SpanRegion Shifted(const SpanRegion& r, int dx, int dy)
{
    SpanRegion s = r;
    s.Offset(dx, dy);
    return s;
}

// Pixels of r whose neighbours within w columns and h rows all belong to r.
SpanRegion Eroded(const SpanRegion& r, int w, int h)
{
    SpanRegion e = r;
    for (int k = 1; k <= w; ++k) e = e.Intersect(Shifted(r, k, 0)).Intersect(Shifted(r, -k, 0));
    for (int k = 1; k <= h; ++k) e = e.Intersect(Shifted(r, 0, k)).Intersect(Shifted(r, 0, -k));
    return e;
}

SpanRegion DeviceRegion(const DcObj& dc, HRGN region, bool* ok)
{
    auto r = FindAs<RegionObj>(region);
    *ok = r != nullptr;
    if (!r) return {};
    SpanRegion s = r->Get();
    s.Offset(dc.st.viewportOrg.x - dc.st.windowOrg.x, dc.st.viewportOrg.y - dc.st.windowOrg.y);
    return s;
}

// --- blits ---

bool SourceOf(DcObj& src, SourceImage& out, std::vector<std::uint32_t>& palette)
{
    if (src.image) {
        out.layout.width = src.image->width();
        out.layout.height = src.image->height();
        out.layout.bitCount = 32;
        out.layout.stride = src.image->bytesPerLine();
        out.base = src.image->constBits();
        out.rowStep = src.image->bytesPerLine();
        out.width = src.image->width();
        out.height = src.image->height();
        return true;
    }
    BitmapObj* b = src.st.bitmap.get();
    if (!b || !b->bits) return false;
    out.layout = LayoutOf(*b, palette);
    out.base = b->topDown ? b->bits : b->bits + (b->height - 1) * b->stride;
    out.rowStep = b->topDown ? b->stride : -b->stride;
    out.width = b->width;
    out.height = b->height;
    out.mono = b->monochrome;
    return true;
}

// Destination column i of an extent of n takes source column (2t + 1) * sn / (2n), t = i
// or its mirror: the nearest source pixel to the destination pixel's centre.
std::vector<int> AxisMap(int dstStart, int from, int to, int n, int srcStart, int sn, bool mirror)
{
    std::vector<int> map(std::size_t(std::max(0, to - from)));
    for (int d = from; d < to; ++d) {
        const std::int64_t i = d - dstStart;
        const std::int64_t t = mirror ? n - 1 - i : i;
        map[std::size_t(d - from)] = srcStart + int(((2 * t + 1) * sn) / (2 * std::int64_t(n)));
    }
    return map;
}

// The common path of every blit: destination rectangle (device), source rectangle in
// source picture coordinates (top row 0), extents may be negative (mirroring).
BOOL StretchCore(DcObj& dc, int x, int y, int w, int h, const SourceImage* src, int sx, int sy, int sw,
                 int sh, DWORD rop, int mode)
{
    bool mirrorX = false, mirrorY = false;
    if (w < 0) {
        x += w;
        w = -w;
        mirrorX = !mirrorX;
    }
    if (h < 0) {
        y += h;
        h = -h;
        mirrorY = !mirrorY;
    }
    if (sw < 0) {
        sx += sw;
        sw = -sw;
        mirrorX = !mirrorX;
    }
    if (sh < 0) {
        sy += sh;
        sh = -sh;
        mirrorY = !mirrorY;
    }
    if (w == 0 || h == 0) return TRUE;
    // Extents that would run past the coordinate range are cut to it.
    constexpr std::int64_t kLimit = 1 << 30;
    auto fits = [&](std::int64_t a, std::int64_t n) { return a > -kLimit && a < kLimit && a + n < kLimit; };
    if (!fits(x, w) || !fits(y, h) || !fits(sx, sw) || !fits(sy, sh)) return FALSE;
    const bool useSrc = src && RopUsesSource(rop);
    if (useSrc && (sw == 0 || sh == 0)) return TRUE;
    RECT area = Intersect({x, y, x + w, y + h}, dc.SurfaceRect());
    if (dc.st.clip) area = Intersect(area, dc.st.clip->Bounds());
    if (Empty(area)) return TRUE;

    std::vector<int> xmap, ymap;
    if (useSrc) {
        xmap = AxisMap(x, area.left, area.right, w, sx, sw, mirrorX);
        ymap = AxisMap(y, area.top, area.bottom, h, sy, sh, mirrorY);
        // Only destination pixels whose source pixel exists are drawn; maps are monotonic.
        auto validRange = [](const std::vector<int>& m, int limit, int start, LONG& lo, LONG& hi) {
            int first = -1, last = -1;
            for (std::size_t i = 0; i < m.size(); ++i)
                if (m[i] >= 0 && m[i] < limit) {
                    if (first < 0) first = int(i);
                    last = int(i);
                }
            if (first < 0) {
                lo = hi = start;
                return;
            }
            lo = start + first;
            hi = start + last + 1;
        };
        RECT valid{};
        validRange(xmap, src->width, area.left, valid.left, valid.right);
        validRange(ymap, src->height, area.top, valid.top, valid.bottom);
        const RECT before = area;
        area = Intersect(area, valid);
        if (Empty(area)) return TRUE;
        xmap.erase(xmap.begin(), xmap.begin() + (area.left - before.left));
        xmap.resize(std::size_t(area.right - area.left));
        ymap.erase(ymap.begin(), ymap.begin() + (area.top - before.top));
        ymap.resize(std::size_t(area.bottom - area.top));
    }
    const SpanRegion visible = dc.Visible(SpanRegion::FromRect(area.left, area.top, area.right, area.bottom));
    if (visible.IsEmpty()) return TRUE;
    BrushPaint bp;
    Blit op;
    op.rop = rop;
    if (RopUsesPattern(rop)) {
        bp = MakeBrushPaint(dc, dc.st.brush.get(), R2_COPYPEN);
        if (bp.null) bp.paint.color = 0;
        op.pattern = &bp.paint;
    }
    SourceImage mono;
    const SourceImage* s = src;
    if (src && src->mono) {
        mono = *src;
        mono.monoBlack = ToPixel(dc.st.textColor);
        mono.monoWhite = ToPixel(dc.st.bkColor);
        s = &mono;
    }
    SurfaceLock lock(dc, visible.Bounds());
    if (useSrc && mode == HALFTONE && (sw != w || sh != h)) {
        const RECT sr = Intersect({sx, sy, sx + sw, sy + sh}, {0, 0, src->width, src->height});
        if (Empty(sr) || sr.left != sx || sr.top != sy || sr.right != sx + sw || sr.bottom != sy + sh) {
            BlitSpans(lock.Get(), visible, s, xmap, ymap, area.left, area.top, op);
        } else {
            SmoothStretch(lock.Get(), visible, *s, sr, {x, y, x + w, y + h}, mirrorX, mirrorY, op);
        }
        return TRUE;
    }
    BlitSpans(lock.Get(), visible, useSrc ? s : nullptr, xmap, ymap, area.left, area.top, op);
    lock.AlphaKept();
    return TRUE;
}

}  // namespace

}  // namespace platform::gdi

using namespace platform;
using namespace platform::gdi;

// ---------------------------------------------------------------------------------------
// Device contexts and their state

HDC CreateCompatibleDC(HDC)
{
    auto dc = std::make_shared<DcObj>();
    dc->st.pen = FindAs<PenObj>(StockObject(BLACK_PEN));
    dc->st.brush = FindAs<BrushObj>(StockObject(WHITE_BRUSH));
    dc->st.font = FindAs<FontObj>(StockObject(SYSTEM_FONT));
    dc->st.palette = FindAs<PaletteObj>(StockObject(DEFAULT_PALETTE));
    dc->st.bitmap = DefaultBitmap();
    return static_cast<HDC>(Register(std::move(dc)));
}

namespace platform::gdi {
HDC CreateSurfaceDC(QImage* image, std::optional<SpanRegion> visible)
{
    if (!image || image->isNull() || image->depth() != 32) return nullptr;
    HDC h = CreateCompatibleDC(nullptr);
    auto dc = FindDc(h);
    dc->st.bitmap.reset();
    dc->image = image;
    dc->systemClip = std::move(visible);
    return h;
}

HDC CreateSharedSurfaceDC(std::shared_ptr<SharedSurface> surface, std::optional<SpanRegion> visible)
{
    if (!surface) return nullptr;
    const std::lock_guard lock(surface->mutex);
    if (!surface->image.isNull() && surface->image.depth() != 32) return nullptr;
    HDC h = CreateCompatibleDC(nullptr);
    auto dc = FindAs<DcObj>(h);
    dc->st.bitmap.reset();
    dc->image = &surface->image;
    dc->shared = std::move(surface);
    dc->systemClip = std::move(visible);
    return h;
}
}  // namespace platform::gdi

HDC CreateImageDC(QImage* image)
{
    return CreateSurfaceDC(image, std::nullopt);
}

QImage GetDCImage(HDC h)
{
    auto dc = FindDc(h);
    if (!dc) return {};
    if (dc->image) return dc->image->convertToFormat(QImage::Format_RGB32);
    BitmapObj* b = dc->st.bitmap.get();
    if (!b || !b->bits) return {};
    QImage out(b->width, b->height, QImage::Format_RGB32);
    std::vector<std::uint32_t> pal;
    const DibLayout l = LayoutOf(*b, pal);
    for (int y = 0; y < b->height; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(out.scanLine(y));
        ConvertRow(l, b->PictureRow(y), 0, b->width, row);
        for (int x = 0; x < b->width; ++x) row[x] |= 0xFF000000u;
    }
    return out;
}

BOOL DeleteDC(HDC h)
{
    auto dc = FindDc(h);
    if (!dc) return FALSE;
    ForgetDcWrapper(h);
    return Unregister(h) ? TRUE : FALSE;
}

HGDIOBJ SelectObject(HDC h, HGDIOBJ object)
{
    auto dc = FindDc(h);
    auto o = Find(object);
    if (!dc || !o) return nullptr;
    DcState& st = dc->st;
    switch (o->kind) {
        case Kind::Pen: {
            auto old = HandleOf(st.pen);
            st.pen = std::static_pointer_cast<PenObj>(o);
            return old;
        }
        case Kind::Brush: {
            auto old = HandleOf(st.brush);
            st.brush = std::static_pointer_cast<BrushObj>(o);
            return old;
        }
        case Kind::Font: {
            auto old = HandleOf(st.font);
            st.font = std::static_pointer_cast<FontObj>(o);
            return old;
        }
        case Kind::Bitmap: {
            if (dc->recording || dc->image) return nullptr;
            auto b = std::static_pointer_cast<BitmapObj>(o);
            if (!b->stock) {
                DcObj* expected = nullptr;
                if (!b->selectedIn.compare_exchange_strong(expected, dc.get()) && expected != dc.get())
                    return nullptr;
            }
            auto old = HandleOf(st.bitmap);
            if (st.bitmap && st.bitmap != b && !st.bitmap->stock) st.bitmap->selectedIn = nullptr;
            st.bitmap = std::move(b);
            return old;
        }
        case Kind::Region: {
            const int kind = SelectClipRgn(h, reinterpret_cast<HRGN>(object));
            return reinterpret_cast<HGDIOBJ>(static_cast<std::intptr_t>(kind));
        }
        default:
            return nullptr;
    }
}

HGDIOBJ GetCurrentObject(HDC h, UINT type)
{
    auto dc = FindDc(h);
    if (!dc) return nullptr;
    switch (type) {
        case OBJ_PEN:
            return HandleOf(dc->st.pen);
        case OBJ_BRUSH:
            return HandleOf(dc->st.brush);
        case OBJ_FONT:
            return HandleOf(dc->st.font);
        case OBJ_PAL:
            return HandleOf(dc->st.palette);
        case OBJ_BITMAP:
            return HandleOf(dc->st.bitmap);
        default:
            return nullptr;
    }
}

DWORD GetObjectType(HGDIOBJ object)
{
    auto o = Find(object);
    if (!o) return 0;
    switch (o->kind) {
        case Kind::Pen:
            return OBJ_PEN;
        case Kind::Brush:
            return OBJ_BRUSH;
        case Kind::Font:
            return OBJ_FONT;
        case Kind::Bitmap:
            return OBJ_BITMAP;
        case Kind::Palette:
            return OBJ_PAL;
        case Kind::Region:
            return OBJ_REGION;
        case Kind::DC:
            return static_cast<DcObj&>(*o).recording ? OBJ_ENHMETADC : OBJ_MEMDC;
        default:
            return 0;
    }
}

int SaveDC(HDC h)
{
    auto dc = FindDc(h);
    if (!dc) return 0;
    dc->saved.push_back(dc->st);
    return static_cast<int>(dc->saved.size());
}

BOOL RestoreDC(HDC h, int saved)
{
    auto dc = FindDc(h);
    if (!dc || saved == 0) return FALSE;
    const long long n = static_cast<long long>(dc->saved.size());
    const long long index = saved < 0 ? n + saved : saved - 1;
    if (index < 0 || index >= n) return FALSE;
    DcState next = std::move(dc->saved[std::size_t(index)]);
    dc->saved.resize(std::size_t(index));
    if (dc->st.bitmap != next.bitmap) {
        if (next.bitmap && !next.bitmap->stock) {
            DcObj* expected = nullptr;
            // A bitmap taken by another DC since the save stays there; this DC keeps its own.
            if (!next.bitmap->selectedIn.compare_exchange_strong(expected, dc.get()) && expected != dc.get())
                next.bitmap = dc->st.bitmap;
        }
        if (dc->st.bitmap && dc->st.bitmap != next.bitmap && !dc->st.bitmap->stock)
            dc->st.bitmap->selectedIn = nullptr;
    }
    dc->st = std::move(next);
    return TRUE;
}

int GetDeviceCaps(HDC, int index)
{
    switch (index) {
        case HORZRES:
        case VERTRES: {
            QScreen* s = qobject_cast<QGuiApplication*>(QCoreApplication::instance())
                             ? QGuiApplication::primaryScreen()
                             : nullptr;
            const QSize size = s ? s->size() : QSize(1920, 1080);
            return index == HORZRES ? size.width() : size.height();
        }
        case BITSPIXEL:
            return 32;
        case PLANES:
            return 1;
        case NUMCOLORS:
            return -1;
        case RASTERCAPS:
            return 0;
        case LOGPIXELSX:
        case LOGPIXELSY:
            return 96;
        case SIZEPALETTE:
            return 0;
        default:
            return 0;
    }
}

BOOL GdiFlush()
{
    return TRUE;
}

namespace {

template <class T, class F>
T SetValue(HDC h, T fail, F&& swap)
{
    auto dc = FindDc(h);
    if (!dc) return fail;
    return swap(*dc);
}

}  // namespace

COLORREF SetTextColor(HDC h, COLORREF c)
{
    return SetValue<COLORREF>(h, CLR_INVALID,
                              [c](DcObj& d) { return std::exchange(d.st.textColor, c & 0xFFFFFF); });
}
COLORREF GetTextColor(HDC h)
{
    return SetValue<COLORREF>(h, CLR_INVALID, [](DcObj& d) { return d.st.textColor; });
}
COLORREF SetBkColor(HDC h, COLORREF c)
{
    return SetValue<COLORREF>(h, CLR_INVALID,
                              [c](DcObj& d) { return std::exchange(d.st.bkColor, c & 0xFFFFFF); });
}
COLORREF GetBkColor(HDC h)
{
    return SetValue<COLORREF>(h, CLR_INVALID, [](DcObj& d) { return d.st.bkColor; });
}
int SetBkMode(HDC h, int mode)
{
    if (mode != TRANSPARENT && mode != OPAQUE) return 0;
    return SetValue<int>(h, 0, [mode](DcObj& d) { return std::exchange(d.st.bkMode, mode); });
}
int GetBkMode(HDC h)
{
    return SetValue<int>(h, 0, [](DcObj& d) { return d.st.bkMode; });
}
UINT SetTextAlign(HDC h, UINT align)
{
    return SetValue<UINT>(h, GDI_ERROR, [align](DcObj& d) { return std::exchange(d.st.textAlign, align); });
}
UINT GetTextAlign(HDC h)
{
    return SetValue<UINT>(h, GDI_ERROR, [](DcObj& d) { return d.st.textAlign; });
}
int SetROP2(HDC h, int rop2)
{
    if (rop2 < R2_BLACK || rop2 > R2_WHITE) return 0;
    return SetValue<int>(h, 0, [rop2](DcObj& d) { return std::exchange(d.st.rop2, rop2); });
}
int GetROP2(HDC h)
{
    return SetValue<int>(h, 0, [](DcObj& d) { return d.st.rop2; });
}
int SetStretchBltMode(HDC h, int mode)
{
    if (mode < BLACKONWHITE || mode > HALFTONE) return 0;
    return SetValue<int>(h, 0, [mode](DcObj& d) { return std::exchange(d.st.stretchMode, mode); });
}
int GetStretchBltMode(HDC h)
{
    return SetValue<int>(h, 0, [](DcObj& d) { return d.st.stretchMode; });
}
int SetPolyFillMode(HDC h, int mode)
{
    if (mode != ALTERNATE && mode != WINDING) return 0;
    return SetValue<int>(h, 0, [mode](DcObj& d) { return std::exchange(d.st.polyFillMode, mode); });
}
int GetPolyFillMode(HDC h)
{
    return SetValue<int>(h, 0, [](DcObj& d) { return d.st.polyFillMode; });
}
int SetMapMode(HDC h, int mode)
{
    // Only the text mapping mode exists: one logical unit is one pixel.
    return SetValue<int>(h, 0, [mode](DcObj&) { return mode == MM_TEXT ? MM_TEXT : 0; });
}
int GetMapMode(HDC h)
{
    return SetValue<int>(h, 0, [](DcObj&) { return MM_TEXT; });
}

namespace {
BOOL SetPoint(HDC h, POINT DcState::*field, int x, int y, POINT* previous, bool offset)
{
    auto dc = FindDc(h);
    if (!dc) return FALSE;
    POINT& p = dc->st.*field;
    if (previous) *previous = p;
    if (offset) {
        p.x += x;
        p.y += y;
    } else {
        p = {x, y};
    }
    return TRUE;
}
BOOL GetPoint(HDC h, POINT DcState::*field, POINT* out)
{
    auto dc = FindDc(h);
    if (!dc || !out) return FALSE;
    *out = dc->st.*field;
    return TRUE;
}
}  // namespace

BOOL SetBrushOrgEx(HDC h, int x, int y, POINT* previous)
{
    return SetPoint(h, &DcState::brushOrg, x, y, previous, false);
}
BOOL GetBrushOrgEx(HDC h, POINT* p)
{
    return GetPoint(h, &DcState::brushOrg, p);
}
BOOL SetViewportOrgEx(HDC h, int x, int y, POINT* previous)
{
    return SetPoint(h, &DcState::viewportOrg, x, y, previous, false);
}
BOOL GetViewportOrgEx(HDC h, POINT* p)
{
    return GetPoint(h, &DcState::viewportOrg, p);
}
BOOL OffsetViewportOrgEx(HDC h, int dx, int dy, POINT* previous)
{
    return SetPoint(h, &DcState::viewportOrg, dx, dy, previous, true);
}
BOOL SetWindowOrgEx(HDC h, int x, int y, POINT* previous)
{
    return SetPoint(h, &DcState::windowOrg, x, y, previous, false);
}
BOOL GetWindowOrgEx(HDC h, POINT* p)
{
    return GetPoint(h, &DcState::windowOrg, p);
}
BOOL OffsetWindowOrgEx(HDC h, int dx, int dy, POINT* previous)
{
    return SetPoint(h, &DcState::windowOrg, dx, dy, previous, true);
}

BOOL LPtoDP(HDC h, POINT* pts, int count)
{
    auto dc = FindDc(h);
    if (!dc || (!pts && count > 0)) return FALSE;
    for (int i = 0; i < count; ++i) pts[i] = dc->ToDev(pts[i]);
    return TRUE;
}

BOOL DPtoLP(HDC h, POINT* pts, int count)
{
    auto dc = FindDc(h);
    if (!dc || (!pts && count > 0)) return FALSE;
    for (int i = 0; i < count; ++i) {
        pts[i].x += dc->st.windowOrg.x - dc->st.viewportOrg.x;
        pts[i].y += dc->st.windowOrg.y - dc->st.viewportOrg.y;
    }
    return TRUE;
}

// ---------------------------------------------------------------------------------------
// Lines and shapes

BOOL MoveToEx(HDC h, int x, int y, POINT* previous)
{
    return SetPoint(h, &DcState::pos, x, y, previous, false);
}

BOOL GetCurrentPositionEx(HDC h, POINT* p)
{
    return GetPoint(h, &DcState::pos, p);
}

BOOL LineTo(HDC h, int x, int y)
{
    auto dc = FindDc(h);
    if (!dc) return FALSE;
    if (dc->recording) {
        RecordLine(*dc, dc->st.pos, {x, y});
    } else {
        StrokeDevice(*dc, {dc->ToDev(dc->st.pos), dc->ToDev({x, y})}, false);
    }
    dc->st.pos = {x, y};
    return TRUE;
}

BOOL Polyline(HDC h, const POINT* points, int count)
{
    auto dc = FindDc(h);
    if (!dc || !points || count < 2) return FALSE;
    std::vector<POINT> pts(points, points + count);
    if (dc->recording) {
        RecordShape(*dc, MetaOp::Polyline, pts);
        return TRUE;
    }
    for (auto& p : pts) p = dc->ToDev(p);
    StrokeDevice(*dc, pts, false);
    return TRUE;
}

BOOL PolyPolygon(HDC h, const POINT* points, const int* counts, int polygons)
{
    auto dc = FindDc(h);
    if (!dc || !points || !counts || polygons <= 0) return FALSE;
    std::size_t total = 0;
    for (int i = 0; i < polygons; ++i) {
        if (counts[i] < 2) return FALSE;
        total += std::size_t(counts[i]);
    }
    if (dc->recording) {
        std::size_t at = 0;
        for (int i = 0; i < polygons; ++i) {
            RecordShape(*dc, MetaOp::Polygon, std::vector<POINT>(points + at, points + at + counts[i]));
            at += std::size_t(counts[i]);
        }
        return TRUE;
    }
    std::vector<POINT> pts(points, points + total);
    for (auto& p : pts) p = dc->ToDev(p);
    const FillRule rule = dc->st.polyFillMode == WINDING ? FillRule::Winding : FillRule::Alternate;
    FillDevice(*dc, SpanRegion::FromPolyPolygon(pts, {counts, std::size_t(polygons)}, rule),
               dc->st.brush.get(), dc->st.rop2);
    std::size_t at = 0;
    for (int i = 0; i < polygons; ++i) {
        StrokeDevice(*dc, std::vector<POINT>(pts.begin() + at, pts.begin() + at + counts[i]), true);
        at += std::size_t(counts[i]);
    }
    return TRUE;
}

BOOL Polygon(HDC h, const POINT* points, int count)
{
    return PolyPolygon(h, points, &count, 1);
}

BOOL Rectangle(HDC h, int l, int t, int r, int b)
{
    auto dc = FindDc(h);
    if (!dc) return FALSE;
    if (dc->recording) {
        RecordShape(*dc, MetaOp::Rectangle, {{l, t}, {r, b}});
        return TRUE;
    }
    const POINT a = dc->ToDev({l, t}), z = dc->ToDev({r, b});
    const RECT rc = Normalised(a.x, a.y, z.x, z.y);
    const PenObj* pen = dc->st.pen.get();
    const bool noPen = !pen || pen->Style() == PS_NULL;
    if (noPen) {
        // Without a pen the system leaves out the right and bottom edge.
        FillDevice(*dc, SpanRegion::FromRect(rc.left, rc.top, rc.right - 1, rc.bottom - 1),
                   dc->st.brush.get(), dc->st.rop2);
        return TRUE;
    }
    const int w = std::max(1, pen->width);
    RECT outer = rc;
    if (pen->Style() != PS_INSIDEFRAME && w > 1) {
        // A wide pen is centred on the outline through the outermost pixels.
        const int h1 = (w - 1) / 2;
        outer = {rc.left - h1, rc.top - h1, rc.right + (w - 1 - h1), rc.bottom + (w - 1 - h1)};
    }
    FillDevice(*dc, SpanRegion::FromRect(outer.left + w, outer.top + w, outer.right - w, outer.bottom - w),
               dc->st.brush.get(), dc->st.rop2);
    const int style = pen->Style();
    if (w == 1 && style != PS_SOLID && style != PS_INSIDEFRAME) {
        StrokeDevice(*dc,
                     {{rc.left, rc.top},
                      {rc.right - 1, rc.top},
                      {rc.right - 1, rc.bottom - 1},
                      {rc.left, rc.bottom - 1}},
                     true);
    } else {
        Paint p;
        p.color = ToPixel(pen->color);
        p.rop2 = dc->st.rop2;
        PaintShape(*dc, RectRing(outer, w), p);
    }
    return TRUE;
}

BOOL Ellipse(HDC h, int l, int t, int r, int b)
{
    auto dc = FindDc(h);
    if (!dc) return FALSE;
    if (dc->recording) {
        RecordShape(*dc, MetaOp::Ellipse, {{l, t}, {r, b}});
        return TRUE;
    }
    const POINT a = dc->ToDev({l, t}), z = dc->ToDev({r, b});
    const RECT rc = Normalised(a.x, a.y, z.x, z.y);
    const PenObj* pen = dc->st.pen.get();
    if (!pen || pen->Style() == PS_NULL) {
        FillDevice(*dc, SpanRegion::FromEllipse(rc.left, rc.top, rc.right - 1, rc.bottom - 1),
                   dc->st.brush.get(), dc->st.rop2);
        return TRUE;
    }
    const int w = std::max(1, pen->width);
    const int h1 = pen->Style() == PS_INSIDEFRAME ? 0 : (w - 1) / 2;
    const SpanRegion outer =
        SpanRegion::FromEllipse(rc.left - h1, rc.top - h1, rc.right + h1, rc.bottom + h1);
    const SpanRegion inner = Eroded(outer, w, w);
    FillDevice(*dc, inner, dc->st.brush.get(), dc->st.rop2);
    Paint p;
    p.color = ToPixel(pen->color);
    p.rop2 = dc->st.rop2;
    PaintShape(*dc, outer.Subtract(inner), p);
    return TRUE;
}

COLORREF SetPixel(HDC h, int x, int y, COLORREF c)
{
    auto dc = FindDc(h);
    if (!dc) return CLR_INVALID;
    if (dc->recording) {
        RecordFill(*dc, MetaOp::FillRect, {x, y, x + 1, y + 1}, c & 0xFFFFFF);
        return c & 0xFFFFFF;
    }
    const POINT p = dc->ToDev({x, y});
    const SpanRegion v = dc->Visible(SpanRegion::FromRect(p.x, p.y, p.x + 1, p.y + 1));
    if (v.IsEmpty()) return CLR_INVALID;
    SurfaceLock lock(*dc, v.Bounds());
    lock.Get().Row(p.y)[p.x] = ToPixel(c);
    return c & 0xFFFFFF;
}

BOOL SetPixelV(HDC h, int x, int y, COLORREF c)
{
    return SetPixel(h, x, y, c) != CLR_INVALID;
}

COLORREF GetPixel(HDC h, int x, int y)
{
    auto dc = FindDc(h);
    if (!dc || dc->recording) return CLR_INVALID;
    const POINT p = dc->ToDev({x, y});
    const SpanRegion v = dc->Visible(SpanRegion::FromRect(p.x, p.y, p.x + 1, p.y + 1));
    if (v.IsEmpty()) return CLR_INVALID;
    SurfaceLock lock(*dc, v.Bounds(), false);
    return ToColorRef(lock.Get().Row(p.y)[p.x] & 0xFFFFFF);
}

int FillRect(HDC h, const RECT* rect, HBRUSH brush)
{
    auto dc = FindDc(h);
    auto b = BrushOf(brush);
    if (!dc || !rect || !b) return 0;
    if (dc->recording) {
        RecordBrushRect(*dc, MetaOp::FillRect, *rect, b);
        return 1;
    }
    const POINT a = dc->ToDev({rect->left, rect->top}), z = dc->ToDev({rect->right, rect->bottom});
    if (z.x <= a.x || z.y <= a.y) return 1;
    FillDevice(*dc, SpanRegion::FromRect(a.x, a.y, z.x, z.y), b.get(), R2_COPYPEN);
    return 1;
}

int FrameRect(HDC h, const RECT* rect, HBRUSH brush)
{
    auto dc = FindDc(h);
    auto b = BrushOf(brush);
    if (!dc || !rect || !b) return 0;
    if (dc->recording) {
        RecordBrushRect(*dc, MetaOp::FrameRect, *rect, b);
        return 1;
    }
    const POINT a = dc->ToDev({rect->left, rect->top}), z = dc->ToDev({rect->right, rect->bottom});
    if (z.x <= a.x || z.y <= a.y) return 1;
    FillDevice(*dc, RectRing({a.x, a.y, z.x, z.y}, 1), b.get(), R2_COPYPEN);
    return 1;
}

BOOL InvertRect(HDC h, const RECT* rect)
{
    auto dc = FindDc(h);
    if (!dc || !rect) return FALSE;
    if (dc->recording) return TRUE;
    const POINT a = dc->ToDev({rect->left, rect->top}), z = dc->ToDev({rect->right, rect->bottom});
    Paint p;
    p.rop2 = R2_NOT;
    PaintShape(*dc, SpanRegion::FromRect(a.x, a.y, z.x, z.y), p);
    return TRUE;
}

BOOL FillRgn(HDC h, HRGN region, HBRUSH brush)
{
    auto dc = FindDc(h);
    auto b = BrushOf(brush);
    bool ok = false;
    if (!dc || !b) return FALSE;
    const SpanRegion r = DeviceRegion(*dc, region, &ok);
    if (!ok) return FALSE;
    if (dc->recording) {
        RecordRegion(*dc, GetRgnSpans(region), b);
        return TRUE;
    }
    FillDevice(*dc, r, b.get(), R2_COPYPEN);
    return TRUE;
}

BOOL PaintRgn(HDC h, HRGN region)
{
    auto dc = FindDc(h);
    if (!dc) return FALSE;
    bool ok = false;
    const SpanRegion r = DeviceRegion(*dc, region, &ok);
    if (!ok) return FALSE;
    if (dc->recording) {
        RecordRegion(*dc, GetRgnSpans(region), dc->st.brush);
        return TRUE;
    }
    FillDevice(*dc, r, dc->st.brush.get(), dc->st.rop2);
    return TRUE;
}

BOOL FrameRgn(HDC h, HRGN region, HBRUSH brush, int width, int height)
{
    auto dc = FindDc(h);
    auto b = BrushOf(brush);
    if (!dc || !b || width < 0 || height < 0 || width > 1000 || height > 1000) return FALSE;
    bool ok = false;
    const SpanRegion r = DeviceRegion(*dc, region, &ok);
    if (!ok) return FALSE;
    const SpanRegion frame = r.Subtract(Eroded(r, width, height));
    if (dc->recording) {
        SpanRegion logical = frame;
        logical.Offset(dc->st.windowOrg.x - dc->st.viewportOrg.x, dc->st.windowOrg.y - dc->st.viewportOrg.y);
        RecordRegion(*dc, logical, b);
        return TRUE;
    }
    FillDevice(*dc, frame, b.get(), R2_COPYPEN);
    return TRUE;
}

BOOL InvertRgn(HDC h, HRGN region)
{
    auto dc = FindDc(h);
    if (!dc) return FALSE;
    bool ok = false;
    const SpanRegion r = DeviceRegion(*dc, region, &ok);
    if (!ok) return FALSE;
    if (dc->recording) return TRUE;
    Paint p;
    p.rop2 = R2_NOT;
    PaintShape(*dc, r, p);
    return TRUE;
}

BOOL PatBlt(HDC h, int x, int y, int width, int height, DWORD rop)
{
    auto dc = FindDc(h);
    if (!dc || RopUsesSource(rop)) return FALSE;
    if (dc->recording) {
        RecordBrushRect(*dc, MetaOp::FillRect, Normalised(x, y, x + width, y + height), dc->st.brush, rop);
        return TRUE;
    }
    const POINT a = dc->ToDev({x, y});
    return StretchCore(*dc, a.x, a.y, width, height, nullptr, 0, 0, 0, 0, rop, COLORONCOLOR);
}

BOOL StretchBlt(HDC h, int x, int y, int width, int height, HDC src, int srcX, int srcY, int srcWidth,
                int srcHeight, DWORD rop)
{
    auto [dc, s] = FindDcPair(h, src);
    if (!dc) return FALSE;
    if (!RopUsesSource(rop)) return PatBlt(h, x, y, width, height, rop);
    if (!s || s->recording) return FALSE;
    SourceImage image;
    std::vector<std::uint32_t> palette;
    if (!SourceOf(*s, image, palette)) return FALSE;
    const POINT sp = s->ToDev({srcX, srcY});
    if (dc->recording) {
        RecordImage(*dc, {x, y, x + width, y + height}, image,
                    {sp.x, sp.y, sp.x + srcWidth, sp.y + srcHeight}, rop);
        return TRUE;
    }
    const POINT a = dc->ToDev({x, y});
    return StretchCore(*dc, a.x, a.y, width, height, &image, sp.x, sp.y, srcWidth, srcHeight, rop,
                       dc->st.stretchMode);
}

BOOL BitBlt(HDC h, int x, int y, int width, int height, HDC src, int srcX, int srcY, DWORD rop)
{
    return StretchBlt(h, x, y, width, height, src, srcX, srcY, width, height, rop);
}

int SetDIBitsToDevice(HDC h, int x, int y, DWORD width, DWORD height, int srcX, int srcY, UINT startScan,
                      UINT lines, const void* bits, const BITMAPINFO* info, UINT usage)
{
    auto dc = FindDc(h);
    ParsedDib dib;
    if (!dc || !bits || !ParseDib(info, usage, dc->st.palette.get(), dib)) return 0;
    if (width > INT_MAX || height > INT_MAX) return 0;
    const int H = dib.layout.height;
    if (lines == 0 || startScan >= UINT(H) || lines > UINT(INT_MAX)) return 0;
    // The rows handed in form a band of `lines` scans beginning at scan `startScan`, scans
    // counting up from the picture's bottom row; a bottom-up band is cut at the top of the
    // picture. The source rectangle's y counts up from the bottom as well, for top-down
    // pictures too, so its top row within the band (counted from the band's top) is:
    if (!dib.layout.topDown && lines > UINT(H) - startScan) lines = UINT(H) - startScan;
    const std::int64_t top = std::int64_t(startScan) + lines - (std::int64_t(srcY) + height);
    SourceImage src;
    src.layout = dib.layout;
    src.width = dib.layout.width;
    src.height = int(lines);
    const auto* b = static_cast<const std::uint8_t*>(bits);
    src.base = dib.layout.topDown ? b : b + std::ptrdiff_t(lines - 1) * dib.layout.stride;
    src.rowStep = dib.layout.topDown ? dib.layout.stride : -dib.layout.stride;
    if (top < INT_MIN || top > INT_MAX) return 0;
    if (dc->recording) {
        RecordImage(*dc, {x, y, x + int(width), y + int(height)}, src,
                    {srcX, int(top), srcX + int(width), int(top) + int(height)}, SRCCOPY);
        return int(lines);
    }
    const POINT a = dc->ToDev({x, y});
    StretchCore(*dc, a.x, a.y, int(width), int(height), &src, srcX, int(top), int(width), int(height),
                SRCCOPY, COLORONCOLOR);
    return int(lines);
}

int StretchDIBits(HDC h, int x, int y, int width, int height, int srcX, int srcY, int srcWidth, int srcHeight,
                  const void* bits, const BITMAPINFO* info, UINT usage, DWORD rop)
{
    auto dc = FindDc(h);
    ParsedDib dib;
    if (!dc || !ParseDib(info, usage, dc->st.palette.get(), dib)) return 0;
    if (!bits && RopUsesSource(rop)) return 0;
    const int H = dib.layout.height;
    SourceImage src;
    src.layout = dib.layout;
    src.width = dib.layout.width;
    src.height = H;
    const auto* b = static_cast<const std::uint8_t*>(bits);
    if (b) {
        src.base = dib.layout.topDown ? b : b + std::ptrdiff_t(H - 1) * dib.layout.stride;
        src.rowStep = dib.layout.topDown ? dib.layout.stride : -dib.layout.stride;
    }
    // A bottom-up picture's source y counts from its bottom row.
    const int top = dib.layout.topDown ? srcY : H - srcY - srcHeight;
    if (dc->recording) {
        RecordImage(*dc, {x, y, x + width, y + height}, src, {srcX, top, srcX + srcWidth, top + srcHeight},
                    rop);
        return H;
    }
    const POINT a = dc->ToDev({x, y});
    StretchCore(*dc, a.x, a.y, width, height, b ? &src : nullptr, srcX, top, srcWidth, srcHeight, rop,
                dc->st.stretchMode);
    return H;
}

UINT SetDIBColorTable(HDC h, UINT start, UINT count, const RGBQUAD* colors)
{
    auto dc = FindDc(h);
    if (!dc || !colors || !dc->st.bitmap) return 0;
    auto& table = dc->st.bitmap->colors;
    if (start >= table.size()) return 0;
    count = std::min<UINT>(count, UINT(table.size()) - start);
    std::copy_n(colors, count, table.begin() + start);
    return count;
}

UINT GetDIBColorTable(HDC h, UINT start, UINT count, RGBQUAD* colors)
{
    auto dc = FindDc(h);
    if (!dc || !colors || !dc->st.bitmap) return 0;
    const auto& table = dc->st.bitmap->colors;
    if (start >= table.size()) return 0;
    count = std::min<UINT>(count, UINT(table.size()) - start);
    std::copy_n(table.begin() + start, count, colors);
    return count;
}

namespace {

void SolidRect(HDC h, int l, int t, int r, int b, COLORREF c)
{
    const RECT rc = Normalised(l, t, r, b);
    HBRUSH br = CreateSolidBrush(c);
    FillRect(h, &rc, br);
    DeleteObject(br);
}

// One ring of an edge: top and left lines in one colour, bottom and right in the other.
void EdgeRing(HDC h, const RECT& r, UINT flags, COLORREF topLeft, COLORREF bottomRight)
{
    if (flags & BF_TOP) SolidRect(h, r.left, r.top, r.right, r.top + 1, topLeft);
    if (flags & BF_LEFT) SolidRect(h, r.left, r.top, r.left + 1, r.bottom, topLeft);
    if (flags & BF_BOTTOM) SolidRect(h, r.left, r.bottom - 1, r.right, r.bottom, bottomRight);
    if (flags & BF_RIGHT) SolidRect(h, r.right - 1, r.top, r.right, r.bottom, bottomRight);
}

}  // namespace

BOOL DrawEdge(HDC h, RECT* rect, UINT edge, UINT flags)
{
    if (!FindDc(h) || !rect) return FALSE;
    // The system's three-dimensional element colours.
    const COLORREF kHighlight = GetSysColor(COLOR_3DHIGHLIGHT), kLight = GetSysColor(COLOR_3DLIGHT),
                   kShadow = GetSysColor(COLOR_3DSHADOW), kDarkShadow = GetSysColor(COLOR_3DDKSHADOW),
                   kFace = GetSysColor(COLOR_3DFACE);
    RECT r = *rect;
    const UINT outer = edge & (BDR_RAISEDOUTER | BDR_SUNKENOUTER),
               inner = edge & (BDR_RAISEDINNER | BDR_SUNKENINNER);
    if (flags & (BF_FLAT | BF_MONO)) {
        if (outer || inner) {
            EdgeRing(h, r, flags, (flags & BF_MONO) ? 0 : kShadow, (flags & BF_MONO) ? 0 : kShadow);
            r = {r.left + ((flags & BF_LEFT) ? 1 : 0), r.top + ((flags & BF_TOP) ? 1 : 0),
                 r.right - ((flags & BF_RIGHT) ? 1 : 0), r.bottom - ((flags & BF_BOTTOM) ? 1 : 0)};
        }
    } else {
        if (outer) {
            if (outer & BDR_RAISEDOUTER)
                EdgeRing(h, r, flags, kLight, kDarkShadow);
            else
                EdgeRing(h, r, flags, kShadow, kHighlight);
            r = {r.left + ((flags & BF_LEFT) ? 1 : 0), r.top + ((flags & BF_TOP) ? 1 : 0),
                 r.right - ((flags & BF_RIGHT) ? 1 : 0), r.bottom - ((flags & BF_BOTTOM) ? 1 : 0)};
        }
        if (inner) {
            if (inner & BDR_RAISEDINNER)
                EdgeRing(h, r, flags, kHighlight, kShadow);
            else
                EdgeRing(h, r, flags, kDarkShadow, kLight);
            r = {r.left + ((flags & BF_LEFT) ? 1 : 0), r.top + ((flags & BF_TOP) ? 1 : 0),
                 r.right - ((flags & BF_RIGHT) ? 1 : 0), r.bottom - ((flags & BF_BOTTOM) ? 1 : 0)};
        }
    }
    if (flags & BF_MIDDLE) SolidRect(h, r.left, r.top, r.right, r.bottom, kFace);
    if (flags & BF_ADJUST) *rect = r;
    return TRUE;
}

BOOL DrawFocusRect(HDC h, const RECT* rect)
{
    auto dc = FindDc(h);
    if (!dc || !rect) return FALSE;
    if (dc->recording) return TRUE;
    const POINT a = dc->ToDev({rect->left, rect->top}), z = dc->ToDev({rect->right, rect->bottom});
    if (z.x <= a.x || z.y <= a.y) return TRUE;
    // Every other pixel of the border, inverted.
    static const std::uint32_t checker[4] = {0xFFFFFF, 0, 0, 0xFFFFFF};
    Paint p;
    p.type = Paint::Type::Pattern;
    p.pattern = checker;
    p.patWidth = p.patHeight = 2;
    p.rop2 = R2_XORPEN;
    PaintShape(*dc, RectRing({a.x, a.y, z.x, z.y}, 1), p);
    return TRUE;
}

BOOL ScrollDC(HDC h, int dx, int dy, const RECT* scroll, const RECT* clip, HRGN update, RECT* updateRect)
{
    auto dc = FindDc(h);
    if (!dc || dc->recording) return FALSE;
    auto toDev = [&](const RECT& r) {
        const POINT a = dc->ToDev({r.left, r.top}), z = dc->ToDev({r.right, r.bottom});
        return Normalised(a.x, a.y, z.x, z.y);
    };
    RECT area = scroll ? Intersect(toDev(*scroll), dc->SurfaceRect()) : dc->SurfaceRect();
    RECT limit = clip ? Intersect(toDev(*clip), dc->SurfaceRect()) : dc->SurfaceRect();
    // Pixels of `area` land at +(dx, dy); only what lands inside `limit` (and the clip
    // region) is drawn; what the move uncovers there is the update area.
    RECT moved = Intersect({area.left + dx, area.top + dy, area.right + dx, area.bottom + dy}, limit);
    const SpanRegion target =
        dc->Visible(SpanRegion::FromRect(moved.left, moved.top, moved.right, moved.bottom));
    if (!target.IsEmpty()) {
        const RECT tb = target.Bounds();
        const RECT whole{std::min(tb.left, tb.left - dx), std::min(tb.top, tb.top - dy),
                         std::max(tb.right, tb.right - dx), std::max(tb.bottom, tb.bottom - dy)};
        SurfaceLock lock(*dc, Intersect(whole, dc->SurfaceRect()));
        const Surface& s = lock.Get();
        // Moved in place, each pixel read before anything lands on it: rows against the
        // move's direction (a move down starts at the bottom), and on a row moved sideways
        // its spans against the move as well. The pixels keep the alpha they had.
        std::vector<RegionRow> rows;
        for (RegionRow row : target.Rows()) rows.push_back(row);
        if (dy > 0) std::reverse(rows.begin(), rows.end());
        for (const RegionRow& row : rows) {
            const auto move = [&](const Span& sp) {
                std::memmove(s.Row(row.y) + sp.x0, s.Row(row.y - dy) + (sp.x0 - dx),
                             std::size_t(sp.x1 - sp.x0) * 4);
            };
            if (dy == 0 && dx > 0)
                for (auto sp = row.spans.rbegin(); sp != row.spans.rend(); ++sp) move(*sp);
            else
                for (const Span& sp : row.spans) move(sp);
        }
        lock.AlphaKept();
    }
    const RECT visibleArea = Intersect(area, limit);
    SpanRegion uncovered =
        SpanRegion::FromRect(visibleArea.left, visibleArea.top, visibleArea.right, visibleArea.bottom)
            .Subtract(SpanRegion::FromRect(moved.left, moved.top, moved.right, moved.bottom));
    uncovered.Offset(dc->st.windowOrg.x - dc->st.viewportOrg.x, dc->st.windowOrg.y - dc->st.viewportOrg.y);
    if (updateRect) *updateRect = uncovered.Bounds();
    if (update) SetRgnSpans(update, uncovered);
    return TRUE;
}

// ---------------------------------------------------------------------------------------
// Clipping

namespace {

// What the DC can draw on: the surface, the window's visible part, the clip region.
SpanRegion Drawable(const DcObj& dc)
{
    const RECT r = dc.SurfaceRect();
    return dc.Visible(SpanRegion::FromRect(r.left, r.top, r.right, r.bottom));
}

int ClipKind(const DcObj& dc)
{
    const SpanRegion v = Drawable(dc);
    if (v.IsEmpty()) return NULLREGION;
    return v.IsRect() ? SIMPLEREGION : COMPLEXREGION;
}

SpanRegion CurrentClip(const DcObj& dc)
{
    if (dc.st.clip) return *dc.st.clip;
    const RECT r = dc.SurfaceRect();
    return SpanRegion::FromRect(r.left, r.top, r.right, r.bottom);
}

}  // namespace

int ExtSelectClipRgn(HDC h, HRGN region, int mode)
{
    auto dc = FindDc(h);
    if (!dc) return ERROR;
    if (!region) {
        if (mode != RGN_COPY) return ERROR;
        dc->st.clip.reset();
        return ClipKind(*dc);
    }
    auto r = FindAs<RegionObj>(region);
    if (!r) return ERROR;
    SpanRegion given = r->Get();
    switch (mode) {
        case RGN_COPY:
            dc->st.clip = std::move(given);
            break;
        case RGN_AND:
            dc->st.clip = CurrentClip(*dc).Intersect(given);
            break;
        case RGN_OR:
            dc->st.clip = CurrentClip(*dc).Union(given);
            break;
        case RGN_XOR:
            dc->st.clip = CurrentClip(*dc).Combine(given, RegionOp::Xor);
            break;
        case RGN_DIFF:
            dc->st.clip = CurrentClip(*dc).Subtract(given);
            break;
        default:
            return ERROR;
    }
    return ClipKind(*dc);
}

int SelectClipRgn(HDC h, HRGN region)
{
    return ExtSelectClipRgn(h, region, RGN_COPY);
}

int IntersectClipRect(HDC h, int l, int t, int r, int b)
{
    auto dc = FindDc(h);
    if (!dc) return ERROR;
    const POINT a = dc->ToDev({l, t}), z = dc->ToDev({r, b});
    dc->st.clip = CurrentClip(*dc).ClipToRect(Normalised(a.x, a.y, z.x, z.y));
    return ClipKind(*dc);
}

int ExcludeClipRect(HDC h, int l, int t, int r, int b)
{
    auto dc = FindDc(h);
    if (!dc) return ERROR;
    const POINT a = dc->ToDev({l, t}), z = dc->ToDev({r, b});
    const RECT n = Normalised(a.x, a.y, z.x, z.y);
    dc->st.clip = CurrentClip(*dc).Subtract(SpanRegion::FromRect(n.left, n.top, n.right, n.bottom));
    return ClipKind(*dc);
}

int OffsetClipRgn(HDC h, int dx, int dy)
{
    auto dc = FindDc(h);
    if (!dc) return ERROR;
    if (dc->st.clip) dc->st.clip->Offset(dx, dy);
    return ClipKind(*dc);
}

int GetClipBox(HDC h, RECT* box)
{
    auto dc = FindDc(h);
    if (!dc || !box) return ERROR;
    const SpanRegion v = Drawable(*dc);
    RECT r = v.Bounds();
    if (!v.IsEmpty()) {
        const int ox = dc->st.windowOrg.x - dc->st.viewportOrg.x,
                  oy = dc->st.windowOrg.y - dc->st.viewportOrg.y;
        r = {r.left + ox, r.top + oy, r.right + ox, r.bottom + oy};
    }
    *box = r;
    return ClipKind(*dc);
}

int GetClipRgn(HDC h, HRGN region)
{
    auto dc = FindDc(h);
    if (!dc || !FindAs<RegionObj>(region)) return -1;
    if (!dc->st.clip) return 0;
    SetRgnSpans(region, *dc->st.clip);
    return 1;
}

BOOL PtVisible(HDC h, int x, int y)
{
    auto dc = FindDc(h);
    if (!dc) return FALSE;
    const POINT p = dc->ToDev({x, y});
    return dc->Visible(SpanRegion::FromRect(p.x, p.y, p.x + 1, p.y + 1)).IsEmpty() ? FALSE : TRUE;
}

BOOL RectVisible(HDC h, const RECT* rect)
{
    auto dc = FindDc(h);
    if (!dc || !rect) return FALSE;
    const POINT a = dc->ToDev({rect->left, rect->top}), z = dc->ToDev({rect->right, rect->bottom});
    return dc->Visible(SpanRegion::FromRect(a.x, a.y, z.x, z.y)).IsEmpty() ? FALSE : TRUE;
}

// ---------------------------------------------------------------------------------------
// Palettes

HPALETTE SelectPalette(HDC h, HPALETTE palette, BOOL)
{
    auto dc = FindDc(h);
    auto p = FindAs<PaletteObj>(palette);
    if (!dc || !p) return nullptr;
    auto old = HandleOf(dc->st.palette);
    dc->st.palette = std::move(p);
    return static_cast<HPALETTE>(static_cast<void*>(old));
}

UINT GetSystemPaletteEntries(HDC, UINT start, UINT count, PALETTEENTRY* entries)
{
    static const std::vector<PALETTEENTRY> table = [] {
        std::vector<PALETTEENTRY> t(256);
        std::copy_n(StaticColours(), 10, t.begin());
        std::copy_n(StaticColours() + 10, 10, t.begin() + 246);
        for (int r = 0; r < 6; ++r)
            for (int g = 0; g < 6; ++g)
                for (int b = 0; b < 6; ++b)
                    t[std::size_t(10 + 36 * r + 6 * g + b)] = {BYTE(51 * r), BYTE(51 * g), BYTE(51 * b), 0};
        for (int k = 0; k < 20; ++k) {
            const BYTE grey = BYTE((255 * (k + 1) * 2 + 21) / 42);
            t[std::size_t(226 + k)] = {grey, grey, grey, 0};
        }
        return t;
    }();
    if (!entries) return UINT(table.size());
    if (start >= table.size()) return 0;
    count = std::min<UINT>(count, UINT(table.size()) - start);
    std::copy_n(table.begin() + start, count, entries);
    return count;
}

UINT RealizePalette(HDC h)
{
    auto dc = FindDc(h);
    if (!dc) return GDI_ERROR;
    // No palette device: nothing is mapped; report every entry as realized.
    return dc->st.palette ? UINT(dc->st.palette->entries.size()) : 0;
}
