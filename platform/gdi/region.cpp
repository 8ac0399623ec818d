#include "platform/gdi/region.h"

#include <cmath>
#include <cstring>

#include "platform/gdi/gdi_internal.h"

using namespace platform;
using namespace platform::gdi;

namespace {

int KindOf(const SpanRegion& r)
{
    if (r.IsEmpty()) return NULLREGION;
    return r.IsRect() ? SIMPLEREGION : COMPLEXREGION;
}

HRGN NewRegion(SpanRegion r)
{
    auto o = std::make_shared<RegionObj>();
    o->region = std::move(r);
    return static_cast<HRGN>(Register(std::move(o)));
}

std::shared_ptr<RegionObj> Rgn(HRGN h)
{
    return FindAs<RegionObj>(h);
}

FillRule RuleOf(int mode)
{
    return mode == WINDING ? FillRule::Winding : FillRule::Alternate;
}

}  // namespace

HRGN CreateRectRgn(int left, int top, int right, int bottom)
{
    return NewRegion(SpanRegion::FromRect(left, top, right, bottom));
}

HRGN CreateRectRgnIndirect(const RECT* r)
{
    return r ? CreateRectRgn(r->left, r->top, r->right, r->bottom) : nullptr;
}

HRGN CreateEllipticRgn(int left, int top, int right, int bottom)
{
    return NewRegion(SpanRegion::FromEllipse(left, top, right, bottom));
}

HRGN CreatePolygonRgn(const POINT* points, int count, int fillMode)
{
    if (!points || count < 0) return nullptr;
    return NewRegion(SpanRegion::FromPolygon({points, static_cast<size_t>(count)}, RuleOf(fillMode)));
}

HRGN CreatePolyPolygonRgn(const POINT* points, const int* counts, int polygons, int fillMode)
{
    if (!points || !counts || polygons < 0) return nullptr;
    std::size_t total = 0;
    for (int i = 0; i < polygons; ++i) {
        if (counts[i] < 0) return nullptr;
        total += static_cast<size_t>(counts[i]);
    }
    return NewRegion(SpanRegion::FromPolyPolygon({points, total}, {counts, static_cast<size_t>(polygons)},
                                                 RuleOf(fillMode)));
}

int CombineRgn(HRGN dest, HRGN src1, HRGN src2, int mode)
{
    auto d = Rgn(dest);
    auto a = Rgn(src1);
    if (!d || !a || mode < RGN_AND || mode > RGN_COPY) return ERROR;
    SpanRegion result;
    if (mode == RGN_COPY) {
        result = a->Get();
    } else {
        auto b = Rgn(src2);
        if (!b) return ERROR;
        static constexpr RegionOp ops[] = {RegionOp::And, RegionOp::Or, RegionOp::Xor, RegionOp::Diff};
        result = a->Get().Combine(b->Get(), ops[mode - RGN_AND]);
    }
    const int kind = KindOf(result);
    d->Set(std::move(result));
    return kind;
}

int OffsetRgn(HRGN region, int dx, int dy)
{
    auto r = Rgn(region);
    if (!r) return ERROR;
    std::lock_guard<std::mutex> g(r->lock);
    r->region.Offset(dx, dy);
    return KindOf(r->region);
}

int GetRgnBox(HRGN region, RECT* box)
{
    auto r = Rgn(region);
    if (!r || !box) return ERROR;
    std::lock_guard<std::mutex> g(r->lock);
    *box = r->region.Bounds();
    return KindOf(r->region);
}

BOOL PtInRegion(HRGN region, int x, int y)
{
    auto r = Rgn(region);
    if (!r) return FALSE;
    std::lock_guard<std::mutex> g(r->lock);
    return r->region.Contains(x, y) ? TRUE : FALSE;
}

BOOL RectInRegion(HRGN region, const RECT* rect)
{
    auto r = Rgn(region);
    if (!r || !rect) return FALSE;
    std::lock_guard<std::mutex> g(r->lock);
    RECT n{std::min(rect->left, rect->right), std::min(rect->top, rect->bottom), std::max(rect->left, rect->right),
           std::max(rect->top, rect->bottom)};
    return r->region.ClipToRect(n).IsEmpty() ? FALSE : TRUE;
}

BOOL EqualRgn(HRGN a, HRGN b)
{
    auto ra = Rgn(a), rb = Rgn(b);
    if (!ra || !rb) return ERROR;
    return ra->Get() == rb->Get() ? TRUE : FALSE;
}

BOOL SetRectRgn(HRGN region, int left, int top, int right, int bottom)
{
    auto r = Rgn(region);
    if (!r) return FALSE;
    r->Set(SpanRegion::FromRect(left, top, right, bottom));
    return TRUE;
}

DWORD GetRegionData(HRGN region, DWORD size, RGNDATA* data)
{
    auto r = Rgn(region);
    if (!r) return 0;
    const SpanRegion spans = r->Get();
    const std::vector<RECT> rects = spans.Rects();
    const std::uint64_t need = sizeof(RGNDATAHEADER) + rects.size() * sizeof(RECT);
    if (need > 0xFFFFFFFFull) return 0;
    if (!data || size < need) return static_cast<DWORD>(need);
    data->rdh.dwSize = sizeof(RGNDATAHEADER);
    data->rdh.iType = RDH_RECTANGLES;
    data->rdh.nCount = static_cast<DWORD>(rects.size());
    data->rdh.nRgnSize = static_cast<DWORD>(rects.size() * sizeof(RECT));
    data->rdh.rcBound = spans.Bounds();
    if (!rects.empty()) std::memcpy(data->Buffer, rects.data(), rects.size() * sizeof(RECT));
    return static_cast<DWORD>(need);
}

HRGN ExtCreateRegion(const XFORM* xform, DWORD size, const RGNDATA* data)
{
    if (!data || size < sizeof(RGNDATAHEADER) || data->rdh.dwSize < sizeof(RGNDATAHEADER) ||
        data->rdh.iType != RDH_RECTANGLES)
        return nullptr;
    const std::uint64_t need = std::uint64_t(data->rdh.dwSize) + std::uint64_t(data->rdh.nCount) * sizeof(RECT);
    if (need > size) return nullptr;
    std::vector<RECT> rects(data->rdh.nCount);
    if (!rects.empty())
        std::memcpy(rects.data(), reinterpret_cast<const char*>(data) + data->rdh.dwSize, rects.size() * sizeof(RECT));
    SpanRegion r = SpanRegion::FromRects(rects);
    if (xform) {
        if (xform->eM12 != 0.0f || xform->eM21 != 0.0f) return nullptr;
        const ScaleOffset t{xform->eM11, xform->eM22, xform->eDx, xform->eDy};
        if (!std::isfinite(t.sx) || !std::isfinite(t.sy) || !std::isfinite(t.dx) || !std::isfinite(t.dy))
            return nullptr;
        r = r.Transformed(t);
    }
    return NewRegion(std::move(r));
}

std::int64_t GetRgnArea(HRGN region)
{
    auto r = Rgn(region);
    if (!r) return 0;
    std::lock_guard<std::mutex> g(r->lock);
    return r->region.Area();
}

SpanRegion GetRgnSpans(HRGN region)
{
    auto r = Rgn(region);
    return r ? r->Get() : SpanRegion();
}

HRGN CreateRgnFromSpans(SpanRegion spans)
{
    return NewRegion(std::move(spans));
}

BOOL SetRgnSpans(HRGN region, SpanRegion spans)
{
    auto r = Rgn(region);
    if (!r) return FALSE;
    r->Set(std::move(spans));
    return TRUE;
}

// --- CRgn ---

namespace {
constexpr int kRgnTag = 6;

BOOL Keep(CRgn& self, HRGN h)
{
    if (!h) return FALSE;
    self.DeleteObject();
    return self.Attach(reinterpret_cast<HGDIOBJ>(h));
}
}  // namespace

CRgn* CRgn::FromHandle(HRGN region)
{
    return GdiFromHandle<CRgn>(reinterpret_cast<HGDIOBJ>(region), kRgnTag);
}

BOOL CRgn::CreateRectRgn(int l, int t, int r, int b)
{
    return Keep(*this, ::CreateRectRgn(l, t, r, b));
}
BOOL CRgn::CreateRectRgnIndirect(const RECT* r)
{
    return Keep(*this, ::CreateRectRgnIndirect(r));
}
BOOL CRgn::CreateEllipticRgn(int l, int t, int r, int b)
{
    return Keep(*this, ::CreateEllipticRgn(l, t, r, b));
}
BOOL CRgn::CreateEllipticRgnIndirect(const RECT* r)
{
    return r ? CreateEllipticRgn(r->left, r->top, r->right, r->bottom) : FALSE;
}
BOOL CRgn::CreatePolygonRgn(const POINT* p, int n, int mode)
{
    return Keep(*this, ::CreatePolygonRgn(p, n, mode));
}
BOOL CRgn::CreatePolyPolygonRgn(const POINT* p, const int* counts, int polygons, int mode)
{
    return Keep(*this, ::CreatePolyPolygonRgn(p, counts, polygons, mode));
}
BOOL CRgn::CreateFromData(const XFORM* xform, int size, const RGNDATA* data)
{
    return size < 0 ? FALSE : Keep(*this, ::ExtCreateRegion(xform, static_cast<DWORD>(size), data));
}
void CRgn::SetRectRgn(int l, int t, int r, int b)
{
    ::SetRectRgn(*this, l, t, r, b);
}
int CRgn::CombineRgn(const CRgn* a, const CRgn* b, int mode)
{
    return ::CombineRgn(*this, a ? HRGN(*a) : nullptr, b ? HRGN(*b) : nullptr, mode);
}
int CRgn::CopyRgn(const CRgn* src)
{
    return ::CombineRgn(*this, src ? HRGN(*src) : nullptr, nullptr, RGN_COPY);
}
BOOL CRgn::EqualRgn(const CRgn* other) const
{
    return ::EqualRgn(*this, other ? HRGN(*other) : nullptr);
}
int CRgn::OffsetRgn(int dx, int dy)
{
    return ::OffsetRgn(*this, dx, dy);
}
int CRgn::GetRgnBox(RECT* box) const
{
    return ::GetRgnBox(*this, box);
}
BOOL CRgn::PtInRegion(int x, int y) const
{
    return ::PtInRegion(*this, x, y);
}
BOOL CRgn::RectInRegion(const RECT* r) const
{
    return ::RectInRegion(*this, r);
}
int CRgn::GetRegionData(RGNDATA* data, int size) const
{
    return size < 0 ? 0 : static_cast<int>(::GetRegionData(*this, static_cast<DWORD>(size), data));
}
std::int64_t CRgn::GetArea() const
{
    return ::GetRgnArea(*this);
}
SpanRegion CRgn::GetSpans() const
{
    return ::GetRgnSpans(*this);
}
