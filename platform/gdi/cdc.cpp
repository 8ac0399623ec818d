#include <map>

#include "platform/gdi/dc.h"
#include "platform/gdi/dc_internal.h"

namespace {

CPoint PointOf(POINT p)
{
    return CPoint(p);
}

}  // namespace

CDC::~CDC()
{
    if (m_hDC) ::DeleteDC(Detach());
}

namespace {

// The non-owning CDC objects FromHandle hands out, per thread; a DC's goes with the DC
// when this thread deletes it (window paints make and delete one DC after another).
struct Wrappers {
    std::map<HDC, std::unique_ptr<CDC>> map;
    ~Wrappers()
    {
        for (auto& [h, w] : map) w->Detach();
    }
};

Wrappers& ThreadWrappers()
{
    thread_local Wrappers wrappers;
    return wrappers;
}

}  // namespace

namespace platform::gdi {
void ForgetDcWrapper(HDC dc)
{
    auto& map = ThreadWrappers().map;
    auto it = map.find(dc);
    if (it == map.end()) return;
    it->second->Detach();
    map.erase(it);
}
}  // namespace platform::gdi

CDC* CDC::FromHandle(HDC dc)
{
    if (!dc) return nullptr;
    auto& slot = ThreadWrappers().map[dc];
    if (!slot) {
        slot = std::make_unique<CDC>();
        slot->m_hDC = slot->m_hAttribDC = dc;
    }
    return slot.get();
}

BOOL CDC::Attach(HDC dc)
{
    if (!dc) return FALSE;
    m_hDC = m_hAttribDC = dc;
    return TRUE;
}

HDC CDC::Detach()
{
    HDC h = m_hDC;
    m_hDC = m_hAttribDC = nullptr;
    return h;
}

BOOL CDC::CreateCompatibleDC(CDC* reference)
{
    return Attach(::CreateCompatibleDC(reference ? reference->m_hDC : nullptr));
}

BOOL CDC::DeleteDC()
{
    if (!m_hDC) return FALSE;
    return ::DeleteDC(Detach());
}

int CDC::SaveDC()
{
    return ::SaveDC(m_hDC);
}
BOOL CDC::RestoreDC(int saved)
{
    return ::RestoreDC(m_hDC, saved);
}
int CDC::GetDeviceCaps(int index) const
{
    return ::GetDeviceCaps(m_hDC, index);
}

CPen* CDC::SelectObject(CPen* pen)
{
    return pen ? CPen::FromHandle(static_cast<HPEN>(static_cast<void*>(::SelectObject(m_hDC, pen->m_hObject)))) : nullptr;
}
CBrush* CDC::SelectObject(CBrush* brush)
{
    return brush ? CBrush::FromHandle(static_cast<HBRUSH>(static_cast<void*>(::SelectObject(m_hDC, brush->m_hObject))))
                 : nullptr;
}
CFont* CDC::SelectObject(CFont* font)
{
    return font ? CFont::FromHandle(static_cast<HFONT>(static_cast<void*>(::SelectObject(m_hDC, font->m_hObject)))) : nullptr;
}
CBitmap* CDC::SelectObject(CBitmap* bitmap)
{
    return bitmap ? CBitmap::FromHandle(static_cast<HBITMAP>(static_cast<void*>(::SelectObject(m_hDC, bitmap->m_hObject))))
                  : nullptr;
}
int CDC::SelectObject(CRgn* region)
{
    return ::SelectClipRgn(m_hDC, region ? HRGN(*region) : nullptr);
}
CGdiObject* CDC::SelectObject(CGdiObject* object)
{
    return object ? CGdiObject::FromHandle(::SelectObject(m_hDC, object->m_hObject)) : nullptr;
}
HGDIOBJ CDC::SelectObject(HGDIOBJ object)
{
    return ::SelectObject(m_hDC, object);
}
CGdiObject* CDC::SelectStockObject(int which)
{
    HGDIOBJ stock = ::GetStockObject(which);
    return stock ? CGdiObject::FromHandle(::SelectObject(m_hDC, stock)) : nullptr;
}
CPalette* CDC::SelectPalette(CPalette* palette, BOOL forceBackground)
{
    return palette ? CPalette::FromHandle(::SelectPalette(m_hDC, *palette, forceBackground)) : nullptr;
}
UINT CDC::RealizePalette()
{
    return ::RealizePalette(m_hDC);
}
CPen* CDC::GetCurrentPen() const
{
    return CPen::FromHandle(static_cast<HPEN>(static_cast<void*>(::GetCurrentObject(m_hDC, OBJ_PEN))));
}
CBrush* CDC::GetCurrentBrush() const
{
    return CBrush::FromHandle(static_cast<HBRUSH>(static_cast<void*>(::GetCurrentObject(m_hDC, OBJ_BRUSH))));
}
CFont* CDC::GetCurrentFont() const
{
    return CFont::FromHandle(static_cast<HFONT>(static_cast<void*>(::GetCurrentObject(m_hDC, OBJ_FONT))));
}
CBitmap* CDC::GetCurrentBitmap() const
{
    return CBitmap::FromHandle(static_cast<HBITMAP>(static_cast<void*>(::GetCurrentObject(m_hDC, OBJ_BITMAP))));
}

COLORREF CDC::SetTextColor(COLORREF c)
{
    return ::SetTextColor(m_hDC, c);
}
COLORREF CDC::GetTextColor() const
{
    return ::GetTextColor(m_hDC);
}
COLORREF CDC::SetBkColor(COLORREF c)
{
    return ::SetBkColor(m_hDC, c);
}
COLORREF CDC::GetBkColor() const
{
    return ::GetBkColor(m_hDC);
}
int CDC::SetBkMode(int mode)
{
    return ::SetBkMode(m_hDC, mode);
}
int CDC::GetBkMode() const
{
    return ::GetBkMode(m_hDC);
}
UINT CDC::SetTextAlign(UINT align)
{
    return ::SetTextAlign(m_hDC, align);
}
UINT CDC::GetTextAlign() const
{
    return ::GetTextAlign(m_hDC);
}
int CDC::SetROP2(int rop2)
{
    return ::SetROP2(m_hDC, rop2);
}
int CDC::GetROP2() const
{
    return ::GetROP2(m_hDC);
}
int CDC::SetStretchBltMode(int mode)
{
    return ::SetStretchBltMode(m_hDC, mode);
}
int CDC::GetStretchBltMode() const
{
    return ::GetStretchBltMode(m_hDC);
}
int CDC::SetPolyFillMode(int mode)
{
    return ::SetPolyFillMode(m_hDC, mode);
}
int CDC::GetPolyFillMode() const
{
    return ::GetPolyFillMode(m_hDC);
}
int CDC::SetMapMode(int mode)
{
    return ::SetMapMode(m_hDC, mode);
}
CPoint CDC::SetBrushOrg(int x, int y)
{
    POINT old{0, 0};
    ::SetBrushOrgEx(m_hDC, x, y, &old);
    return PointOf(old);
}
CPoint CDC::GetBrushOrg() const
{
    POINT p{0, 0};
    ::GetBrushOrgEx(m_hDC, &p);
    return PointOf(p);
}
CPoint CDC::SetViewportOrg(int x, int y)
{
    POINT old{0, 0};
    ::SetViewportOrgEx(m_hDC, x, y, &old);
    return PointOf(old);
}
CPoint CDC::OffsetViewportOrg(int dx, int dy)
{
    POINT old{0, 0};
    ::OffsetViewportOrgEx(m_hDC, dx, dy, &old);
    return PointOf(old);
}
CPoint CDC::GetViewportOrg() const
{
    POINT p{0, 0};
    ::GetViewportOrgEx(m_hDC, &p);
    return PointOf(p);
}
CPoint CDC::SetWindowOrg(int x, int y)
{
    POINT old{0, 0};
    ::SetWindowOrgEx(m_hDC, x, y, &old);
    return PointOf(old);
}
CPoint CDC::OffsetWindowOrg(int dx, int dy)
{
    POINT old{0, 0};
    ::OffsetWindowOrgEx(m_hDC, dx, dy, &old);
    return PointOf(old);
}
CPoint CDC::GetWindowOrg() const
{
    POINT p{0, 0};
    ::GetWindowOrgEx(m_hDC, &p);
    return PointOf(p);
}
void CDC::LPtoDP(POINT* points, int count) const
{
    ::LPtoDP(m_hDC, points, count);
}
void CDC::LPtoDP(RECT* rect) const
{
    ::LPtoDP(m_hDC, reinterpret_cast<POINT*>(rect), 2);
}
void CDC::DPtoLP(POINT* points, int count) const
{
    ::DPtoLP(m_hDC, points, count);
}
void CDC::DPtoLP(RECT* rect) const
{
    ::DPtoLP(m_hDC, reinterpret_cast<POINT*>(rect), 2);
}

CPoint CDC::MoveTo(int x, int y)
{
    POINT old{0, 0};
    ::MoveToEx(m_hDC, x, y, &old);
    return PointOf(old);
}
CPoint CDC::GetCurrentPosition() const
{
    POINT p{0, 0};
    ::GetCurrentPositionEx(m_hDC, &p);
    return PointOf(p);
}
BOOL CDC::LineTo(int x, int y)
{
    return ::LineTo(m_hDC, x, y);
}
BOOL CDC::Polyline(const POINT* points, int count)
{
    return ::Polyline(m_hDC, points, count);
}
BOOL CDC::Polygon(const POINT* points, int count)
{
    return ::Polygon(m_hDC, points, count);
}
BOOL CDC::PolyPolygon(const POINT* points, const int* counts, int polygons)
{
    return ::PolyPolygon(m_hDC, points, counts, polygons);
}
BOOL CDC::Rectangle(int l, int t, int r, int b)
{
    return ::Rectangle(m_hDC, l, t, r, b);
}
BOOL CDC::Ellipse(int l, int t, int r, int b)
{
    return ::Ellipse(m_hDC, l, t, r, b);
}
COLORREF CDC::SetPixel(int x, int y, COLORREF c)
{
    return ::SetPixel(m_hDC, x, y, c);
}
BOOL CDC::SetPixelV(int x, int y, COLORREF c)
{
    return ::SetPixelV(m_hDC, x, y, c);
}
COLORREF CDC::GetPixel(int x, int y) const
{
    return ::GetPixel(m_hDC, x, y);
}
void CDC::FillRect(const RECT* rect, CBrush* brush)
{
    if (brush) ::FillRect(m_hDC, rect, *brush);
}
void CDC::FillSolidRect(const RECT* rect, COLORREF c)
{
    // As the framework does it: the background colour stays changed afterwards.
    ::SetBkColor(m_hDC, c);
    if (!rect) return;
    const RECT r{std::min(rect->left, rect->right), std::min(rect->top, rect->bottom), std::max(rect->left, rect->right),
                 std::max(rect->top, rect->bottom)};
    ::ExtTextOut(m_hDC, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
}
void CDC::FillSolidRect(int x, int y, int cx, int cy, COLORREF c)
{
    const RECT r{x, y, x + cx, y + cy};
    FillSolidRect(&r, c);
}
void CDC::FrameRect(const RECT* rect, CBrush* brush)
{
    if (brush) ::FrameRect(m_hDC, rect, *brush);
}
void CDC::InvertRect(const RECT* rect)
{
    ::InvertRect(m_hDC, rect);
}
BOOL CDC::FillRgn(CRgn* region, CBrush* brush)
{
    return region && brush ? ::FillRgn(m_hDC, *region, *brush) : FALSE;
}
BOOL CDC::FrameRgn(CRgn* region, CBrush* brush, int width, int height)
{
    return region && brush ? ::FrameRgn(m_hDC, *region, *brush, width, height) : FALSE;
}
BOOL CDC::InvertRgn(CRgn* region)
{
    return region ? ::InvertRgn(m_hDC, *region) : FALSE;
}
BOOL CDC::PaintRgn(CRgn* region)
{
    return region ? ::PaintRgn(m_hDC, *region) : FALSE;
}
BOOL CDC::PatBlt(int x, int y, int width, int height, DWORD rop)
{
    return ::PatBlt(m_hDC, x, y, width, height, rop);
}
BOOL CDC::BitBlt(int x, int y, int width, int height, CDC* src, int srcX, int srcY, DWORD rop)
{
    return ::BitBlt(m_hDC, x, y, width, height, src ? src->m_hDC : nullptr, srcX, srcY, rop);
}
BOOL CDC::StretchBlt(int x, int y, int width, int height, CDC* src, int srcX, int srcY, int srcWidth, int srcHeight,
                     DWORD rop)
{
    return ::StretchBlt(m_hDC, x, y, width, height, src ? src->m_hDC : nullptr, srcX, srcY, srcWidth, srcHeight, rop);
}
BOOL CDC::DrawEdge(RECT* rect, UINT edge, UINT flags)
{
    return ::DrawEdge(m_hDC, rect, edge, flags);
}
void CDC::Draw3dRect(const RECT* rect, COLORREF topLeft, COLORREF bottomRight)
{
    Draw3dRect(rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, topLeft, bottomRight);
}
void CDC::Draw3dRect(int x, int y, int cx, int cy, COLORREF topLeft, COLORREF bottomRight)
{
    FillSolidRect(x, y, cx - 1, 1, topLeft);
    FillSolidRect(x, y, 1, cy - 1, topLeft);
    FillSolidRect(x + cx, y, -1, cy, bottomRight);
    FillSolidRect(x, y + cy, cx, -1, bottomRight);
}
void CDC::DrawFocusRect(const RECT* rect)
{
    ::DrawFocusRect(m_hDC, rect);
}

void CDC::DrawDragRect(const RECT* rect, SIZE size, const RECT* last, SIZE lastSize, CBrush* brush, CBrush* lastBrush)
{
    using platform::SpanRegion;
    auto frame = [](const RECT* r, SIZE s) {
        if (!r) return SpanRegion();
        const RECT n{std::min(r->left, r->right), std::min(r->top, r->bottom), std::max(r->left, r->right),
                     std::max(r->top, r->bottom)};
        return SpanRegion::FromRect(n.left, n.top, n.right, n.bottom)
            .Subtract(SpanRegion::FromRect(n.left + s.cx, n.top + s.cy, n.right - s.cx, n.bottom - s.cy));
    };
    // The default brush is the half-tone grey of the framework: every other pixel.
    static const std::uint16_t halftone[8] = {0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA};
    CBitmap pattern;
    CBrush grey;
    if (!brush) {
        pattern.CreateBitmap(8, 8, 1, 1, halftone);
        grey.CreatePatternBrush(&pattern);
        brush = &grey;
    }
    if (!lastBrush) lastBrush = brush;
    auto paint = [this](const SpanRegion& area, CBrush* b) {
        if (area.IsEmpty()) return;
        HRGN clip = CreateRectRgn(0, 0, 0, 0);
        const int hadClip = ::GetClipRgn(m_hDC, clip);
        ::SaveDC(m_hDC);
        // The frame's pixels are device pixels of the window's client area.
        HRGN frameRgn = CreateRgnFromSpans(area);
        ::ExtSelectClipRgn(m_hDC, frameRgn, hadClip == 1 ? RGN_AND : RGN_COPY);
        HGDIOBJ old = ::SelectObject(m_hDC, b->m_hObject);
        const RECT box = area.Bounds();
        POINT a{box.left, box.top}, z{box.right, box.bottom};
        ::DPtoLP(m_hDC, &a, 1);
        ::DPtoLP(m_hDC, &z, 1);
        ::PatBlt(m_hDC, a.x, a.y, z.x - a.x, z.y - a.y, PATINVERT);
        ::SelectObject(m_hDC, old);
        ::RestoreDC(m_hDC, -1);
        ::DeleteObject(frameRgn);
        ::DeleteObject(clip);
    };
    auto toDevice = [this](SpanRegion r) {
        POINT o{0, 0};
        ::LPtoDP(m_hDC, &o, 1);
        r.Offset(o.x, o.y);
        return r;
    };
    const SpanRegion now = toDevice(frame(rect, size));
    const SpanRegion before = toDevice(frame(last, lastSize));
    if (last && brush->m_hObject == lastBrush->m_hObject) {
        paint(now.Combine(before, platform::RegionOp::Xor), brush);
    } else {
        paint(before, lastBrush);
        paint(now, brush);
    }
}

BOOL CDC::ScrollDC(int dx, int dy, const RECT* scroll, const RECT* clip, CRgn* update, RECT* updateRect)
{
    return ::ScrollDC(m_hDC, dx, dy, scroll, clip, update ? HRGN(*update) : nullptr, updateRect);
}

BOOL CDC::TextOut(int x, int y, LPCTSTR text, int length)
{
    return ::TextOut(m_hDC, x, y, text, length);
}
BOOL CDC::ExtTextOut(int x, int y, UINT options, const RECT* rect, LPCTSTR text, UINT length, const int* dx)
{
    return ::ExtTextOut(m_hDC, x, y, options, rect, text, length, dx);
}
int CDC::DrawText(LPCTSTR text, int length, RECT* rect, UINT format)
{
    return ::DrawText(m_hDC, text, length, rect, format);
}
CSize CDC::GetTextExtent(LPCTSTR text, int length) const
{
    SIZE s{0, 0};
    ::GetTextExtentPoint32(m_hDC, text, length, &s);
    return CSize(s);
}
BOOL CDC::GetTextMetrics(TEXTMETRIC* metrics) const
{
    return ::GetTextMetrics(m_hDC, metrics);
}

int CDC::SelectClipRgn(CRgn* region)
{
    return ::SelectClipRgn(m_hDC, region ? HRGN(*region) : nullptr);
}
int CDC::SelectClipRgn(CRgn* region, int mode)
{
    return ::ExtSelectClipRgn(m_hDC, region ? HRGN(*region) : nullptr, mode);
}
int CDC::IntersectClipRect(int l, int t, int r, int b)
{
    return ::IntersectClipRect(m_hDC, l, t, r, b);
}
int CDC::ExcludeClipRect(int l, int t, int r, int b)
{
    return ::ExcludeClipRect(m_hDC, l, t, r, b);
}
int CDC::OffsetClipRgn(int dx, int dy)
{
    return ::OffsetClipRgn(m_hDC, dx, dy);
}
int CDC::GetClipBox(RECT* box) const
{
    return ::GetClipBox(m_hDC, box);
}
BOOL CDC::PtVisible(int x, int y) const
{
    return ::PtVisible(m_hDC, x, y);
}
BOOL CDC::RectVisible(const RECT* r) const
{
    return ::RectVisible(m_hDC, r);
}
