#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

#include "outside/basecore/math_helpers.h"
#include "outside/basecore/region_info.h"
#include "platform/dialogs/dialog.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/gdi_objects.h"
#include "platform/gdi/region.h"
#include "platform/gdi/window_dc.h"
#include "platform/kernel/threads.h"
#include "platform/menu/menu.h"
#include "platform/window/cursor.h"
#include "viewer/core/property_list.h"
#include "viewer/core/raster_view_services.h"
#include "viewer/core/selection_info.h"
#include "viewer/core/view_rect.h"
#include "viewer/core/view_rect_internal.h"
#include "viewer/core/viewer_resources.h"

// The tools of the view window: zoom and profile clicks, the rectangle, free-hand, polygon
// and move tools, the measure line, the pointer, the selection and its moving outline.

namespace {

/// The cursor kind each tool mode shows (mode 12 keeps the current one: -1).
int CursorKindOfTool(int mode)
{
    static constexpr int kinds[] = {1, 1, 2, 3, 4, 5, 7, 12, 13, 15, 1, 16, -1, 25};
    return mode >= 0 && mode <= 13 ? kinds[mode] : -1;
}

constexpr int kMoveNone = 0;
constexpr int kMoveNewRect = 1;
constexpr int kMoveFree = 2;
constexpr int kMovePolyline = 3;
constexpr int kMoveSelection = 4;
constexpr int kMoveHitTest = 5;
constexpr int kMoveResize = 6;

constexpr int kOwnerPointer = 1;
constexpr int kOwnerFree = 2;
constexpr int kOwnerPolygon = 3;
constexpr int kOwnerRect = 4;
constexpr int kOwnerMove = 6;
constexpr int kOwnerMeasure = 7;

constexpr UINT IDS_RECT_SELECTION = 34238;
constexpr UINT IDS_FREE_SELECTION = 34236;
constexpr UINT IDS_SQUARE = 34275;
constexpr UINT IDS_AREA = 34277;
constexpr UINT IDS_WIDTH = 34278;
constexpr UINT IDS_HEIGHT = 34279;

CString LoadText(UINT id, const char* fallback)
{
    CString s;
    if (s.LoadString(id) && !s.IsEmpty()) return s;
    return CString(fallback);
}

/// Half the side of the pointer marker in client pixels.
constexpr int kPointerHalf = 7;

/// The stripes of the outline: 4 black and 4 white pixels along each diagonal row.
void InitStripes(BYTE (&s)[8][8])
{
    for (int r = 0; r < 8; ++r)
        for (int c = 0; c < 8; ++c) s[r][c] = ((c - r + 8) % 8) >= 4 ? 1 : 0;
}

/// One frame of the outline: the stripes move one pixel left, then the region is framed.
void DrawOutlineFrame(OutlineState& s)
{
    for (auto& row : s.stripes) std::rotate(row, row + 1, row + 8);
    struct {
        BITMAPINFOHEADER header;
        RGBQUAD colours[256];
        BYTE pixels[64];
    } dib{};
    dib.header.biSize = sizeof(BITMAPINFOHEADER);
    dib.header.biWidth = 8;
    dib.header.biHeight = 8;
    dib.header.biPlanes = 1;
    dib.header.biBitCount = 8;
    dib.header.biClrUsed = 256;
    for (int i = 0; i < 256; ++i) dib.colours[i] = RGBQUAD{BYTE(i), BYTE(i), BYTE(i), 0};
    dib.colours[1] = RGBQUAD{255, 255, 255, 0};
    std::memcpy(dib.pixels, s.stripes, sizeof dib.pixels);
    HBRUSH brush = CreateDIBPatternBrushPt(&dib, DIB_RGB_COLORS);
    if (!brush) return;
    if (HDC dc = ::GetDC(s.window)) {
        // The border is worked out once per scroll or zoom (FrameOf); a frame only paints it.
        if (s.frame)
            FillRgn(dc, s.frame, brush);
        else
            FrameRgn(dc, s.screen, brush, 1, 1);
        ::ReleaseDC(s.window, dc);
    }
    DeleteObject(brush);
}

/// The pixels of region that have a 4-neighbour outside it: what FrameRgn paints with a
/// one-pixel frame. Null when it cannot be made.
HRGN FrameOf(HRGN region)
{
    if (!region) return nullptr;
    HRGN inner = CreateRectRgn(0, 0, 0, 0), shifted = CreateRectRgn(0, 0, 0, 0);
    HRGN frame = CreateRectRgn(0, 0, 0, 0);
    bool ok = inner && shifted && frame && CombineRgn(inner, region, nullptr, RGN_COPY) != ERROR;
    const POINT steps[] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
    for (const POINT& d : steps) {
        ok = ok && CombineRgn(shifted, region, nullptr, RGN_COPY) != ERROR &&
             OffsetRgn(shifted, d.x, d.y) != ERROR && CombineRgn(inner, inner, shifted, RGN_AND) != ERROR;
    }
    ok = ok && CombineRgn(frame, region, inner, RGN_DIFF) != ERROR;
    if (inner) DeleteObject(inner);
    if (shifted) DeleteObject(shifted);
    if (!ok && frame) {
        DeleteObject(frame);
        frame = nullptr;
    }
    return frame;
}

void OutlineLoop(OutlineState* s)
{
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_IDLE);
    std::unique_lock<std::mutex> hold(s->lock);
    while (!s->wake.wait_for(hold, std::chrono::milliseconds(10), [s] { return s->stop; })) {
        if (s->paused || !s->screen) continue;
        DrawOutlineFrame(*s);
        s->frames.fetch_add(1);
    }
}

/// Normalised copy of a rectangle given by two corners.
CRect Normal(int x1, int y1, int x2, int y2)
{
    return CRect(std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2));
}

bool InBox(int x, int y, int l, int t, int r, int b)
{
    return x >= l && x <= r && y >= t && y <= b;
}

}  // namespace

OutlineState::~OutlineState()
{
    if (screen) DeleteObject(screen);
    if (frame) DeleteObject(frame);
}

ViewFigureStandIn::ViewFigureStandIn() = default;
ViewFigureStandIn::~ViewFigureStandIn() = default;

// --- cursors -------------------------------------------------------------------------------------

void CViewRect::LoadCursors()
{
    if (m_Cursors[0]) return;
    const HINSTANCE inst = ViewerInstance();
    // Slots: 0 254, 1 240, 2 231, 3 250, 4 249, 5 255, 6 size-all, 7 N-S, 8 W-E, 9 NW-SE,
    // 10 NE-SW, 11 263, 12 264, 13 265, 14 266, 15 arrow, 16 212.
    const UINT own[] = {IDC_VIEW_CENTER,    IDC_VIEW_ZOOMOUT,   IDC_VIEW_ZOOMIN,
                        IDC_VIEW_PROFILE_X, IDC_VIEW_PROFILE_Y, IDC_VIEW_TOOL};
    for (int i = 0; i < 6; ++i) m_Cursors[i] = ::LoadCursor(inst, MAKEINTRESOURCE(own[i]));
    m_Cursors[6] = ::LoadCursor(nullptr, IDC_SIZEALL);
    m_Cursors[7] = ::LoadCursor(nullptr, IDC_SIZENS);
    m_Cursors[8] = ::LoadCursor(nullptr, IDC_SIZEWE);
    m_Cursors[9] = ::LoadCursor(nullptr, IDC_SIZENWSE);
    m_Cursors[10] = ::LoadCursor(nullptr, IDC_SIZENESW);
    m_Cursors[11] = ::LoadCursor(inst, MAKEINTRESOURCE(IDC_VIEW_FREEHAND));
    m_Cursors[12] = ::LoadCursor(inst, MAKEINTRESOURCE(IDC_VIEW_POLYGON));
    m_Cursors[13] = ::LoadCursor(inst, MAKEINTRESOURCE(IDC_VIEW_POLYGON_CLOSE));
    m_Cursors[14] = ::LoadCursor(inst, MAKEINTRESOURCE(IDC_VIEW_RECTANGLE));
    m_Cursors[15] = ::LoadCursor(nullptr, IDC_ARROW);
    m_Cursors[16] = ::LoadCursor(inst, MAKEINTRESOURCE(IDC_VIEW_MEASURE));
}

namespace {

/// The cursor slot of a cursor kind; -1 for kinds without a cursor.
int SlotOfKind(int kind)
{
    switch (kind) {
        case 1:
            return 0;
        case 2:
            return 1;
        case 3:
            return 2;
        case 4:
            return 3;
        case 5:
            return 4;
        case 6:
            return 5;
        case 7:
            return 6;
        case 8:
        case 18:
        case 22:
            return 7;
        case 9:
        case 20:
        case 24:
            return 8;
        case 10:
        case 17:
        case 21:
            return 9;
        case 11:
        case 19:
        case 23:
            return 10;
        case 12:
            return 11;
        case 13:
            return 12;
        case 14:
            return 13;
        case 15:
            return 14;
        case 16:
            return 15;
        case 25:
            return 16;
        default:
            return -1;
    }
}

}  // namespace

HCURSOR CViewRect::GetToolCursor(int kind) const
{
    if (!((kind >= 1 && kind <= 12) || kind == 25)) return nullptr;
    const_cast<CViewRect*>(this)->LoadCursors();
    return m_Cursors[SlotOfKind(kind)];
}

void CViewRect::ApplyCursor(int kind)
{
    m_nCursorKind = kind;
    LoadCursors();
    if (const int slot = SlotOfKind(kind); slot >= 0 && kind != 6) ::SetCursor(m_Cursors[slot]);
}

BOOL CViewRect::OnSetCursor(CWnd* wnd, UINT hitTest, UINT message)
{
    if (hitTest != HTCLIENT || m_nCursorKind < 1 || m_nCursorKind > 25)
        return CWnd::OnSetCursor(wnd, hitTest, message);
    if (m_nCursorKind == 6) return TRUE;
    LoadCursors();
    const int slot = SlotOfKind(m_nCursorKind);
    if (slot < 0) return CWnd::OnSetCursor(wnd, hitTest, message);
    ::SetCursor(m_Cursors[slot]);
    return TRUE;
}

LRESULT CViewRect::OnViewCursor(WPARAM wParam, LPARAM)
{
    const int kind = static_cast<int>(wParam);
    if (kind == 1 || (kind >= 7 && kind <= 11))
        ApplyCursor(kind);
    else
        m_nCursorKind = kind;
    return 0;
}

void CViewRect::SetToolMode(int mode)
{
    m_ToolMode = mode;
    if (const int kind = CursorKindOfTool(mode); kind > 0) m_nCursorKind = kind;
    if (mode == 13) m_MoveMode = kMoveNone;
}

// --- the outline thread --------------------------------------------------------------------------

long CViewRect::GetOutlineFrames() const
{
    return m_pOutline ? m_pOutline->frames.load() : 0;
}

BOOL CViewRect::StepOutline()
{
    if (!m_pOutline) return FALSE;
    std::lock_guard<std::mutex> hold(m_pOutline->lock);
    if (m_pOutline->paused || !m_pOutline->screen) return FALSE;
    DrawOutlineFrame(*m_pOutline);
    m_pOutline->frames.fetch_add(1);
    return TRUE;
}

BOOL CViewRect::IsOutlineRunning() const
{
    return m_pOutline && m_pOutline->thread.joinable();
}

void CViewRect::StopOutline()
{
    if (m_hStopEvent) SetEvent(m_hStopEvent);
    if (!m_pOutline) return;
    {
        std::lock_guard<std::mutex> hold(m_pOutline->lock);
        m_pOutline->stop = true;
    }
    m_pOutline->wake.notify_all();
    if (m_pOutline->thread.joinable()) m_pOutline->thread.join();
    m_pOutline.reset();
    // The next paint erases the stripes.
    if (GetSafeHwnd() && m_nSelKind != kSelNone) InvalidateSelectionBox();
}

void CViewRect::StartOutline()
{
    StopOutline();
    if (m_hStopEvent) ResetEvent(m_hStopEvent);
    if (!GetSafeHwnd() || GetRgnArea(m_hSelRgn) == 0) return;
    auto state = std::make_shared<OutlineState>();
    state->window = GetSafeHwnd();
    InitStripes(state->stripes);
    m_pOutline = state;
    RefreshWorkingRegion();
    OutlineState* raw = state.get();
    state->thread = std::thread([raw] { OutlineLoop(raw); });
}

void CViewRect::RefreshWorkingRegion()
{
    if (GetRgnArea(m_hSelRgn) == 0) return;
    // The working copy is the selection cut to what the client shows, with a margin that
    // keeps the cut edge outside the client at every zoom.
    const CPoint a = ScreenToImage(0, 0), b = ScreenToImage(m_nClientWidth, m_nClientHeight);
    const int margin = std::max(1, static_cast<int>(std::ceil(2.0 * m_dScale)));
    HRGN clip = CreateRectRgn(a.x - margin, a.y - margin, b.x + margin + 1, b.y + margin + 1);
    if (!m_hSelRgnView) m_hSelRgnView = CreateRectRgn(0, 0, 0, 0);
    CombineRgn(m_hSelRgnView, m_hSelRgn, clip, RGN_AND);
    DeleteObject(clip);
    if (!m_pOutline) return;

    HRGN screen = nullptr;
    const DWORD bytes = GetRegionData(m_hSelRgnView, 0, nullptr);
    if (bytes > 0) {
        std::vector<BYTE> data(bytes);
        auto* rgn = reinterpret_cast<RGNDATA*>(data.data());
        if (GetRegionData(m_hSelRgnView, bytes, rgn) == bytes) {
            XFORM x{};
            x.eM11 = float(1.0 / m_dScale);
            x.eM22 = float(1.0 / m_dScale);
            x.eDx = float(-m_HScroll.GetPos() / m_dScale);
            x.eDy = float(-m_VScroll.GetPos() / m_dScale);
            screen = ExtCreateRegion(&x, bytes, rgn);
        }
    }
    HRGN frame = FrameOf(screen);
    std::lock_guard<std::mutex> hold(m_pOutline->lock);
    if (m_pOutline->screen) DeleteObject(m_pOutline->screen);
    if (m_pOutline->frame) DeleteObject(m_pOutline->frame);
    m_pOutline->screen = screen;
    m_pOutline->frame = frame;
}

// --- geometry ------------------------------------------------------------------------------------

CRect CViewRect::ScreenRectOfPictureRect(const RECT& r) const
{
    const CPoint a = ImageToScreen(r.left, r.top), b = ImageToScreen(r.right, r.bottom);
    return CRect(a.x, a.y, b.x, b.y);
}

CRect CViewRect::ScreenBoxOfSelection() const
{
    RECT box{};
    GetRgnBox(m_hSelRgn, &box);
    CRect r = ScreenRectOfPictureRect(box);
    r.InflateRect(1, 1);
    return r;
}

void CViewRect::InvalidateSelectionBox()
{
    const CRect r = ScreenBoxOfSelection();
    InvalidateRect(&r, FALSE);
}

void CViewRect::XorLine(CPoint a, CPoint b)
{
    CClientDC dc(this);
    const int old = dc.SetROP2(R2_XORPEN);
    CPen pen(PS_SOLID, 1, RGB(255, 255, 255));
    CPen* previous = dc.SelectObject(&pen);
    dc.MoveTo(a);
    dc.LineTo(b);
    dc.SelectObject(previous);
    dc.SetROP2(old);
}

void CViewRect::DragRect(const RECT& now, const RECT& before, bool first)
{
    CClientDC dc(this);
    CBrush white(RGB(255, 255, 255));
    const SIZE one{1, 1};
    if (first)
        dc.DrawDragRect(&now, one, nullptr, one, &white, &white);
    else
        dc.DrawDragRect(&now, one, &before, one, &white, &white);
    m_rcDrag = now;
    m_bDragShown = true;
}

int CViewRect::HitTestHandles(const RECT& r, int size, CPoint p)
{
    const int h = size / 2;
    const int ol = r.left - h, ot = r.top - h, orr = r.right + h, ob = r.bottom + h;
    const int il = r.left + h, it = r.top + h, ir = r.right - h, ib = r.bottom - h;
    if (InBox(p.x, p.y, ol, ot, il, it)) return 17;
    if (InBox(p.x, p.y, ir, ot, orr, it)) return 19;
    if (InBox(p.x, p.y, ir, ib, orr, ob)) return 21;
    if (InBox(p.x, p.y, ol, ib, il, ob)) return 23;
    if (InBox(p.x, p.y, il, ot, ir, it)) return 18;
    if (InBox(p.x, p.y, ir, it, orr, ib)) return 20;
    if (InBox(p.x, p.y, il, ib, ir, ob)) return 22;
    if (InBox(p.x, p.y, ol, it, il, ib)) return 24;
    return 0;
}

// --- selection information -----------------------------------------------------------------------

void CViewRect::ReplaceSelInfo(int type)
{
    if (m_pSelInfo && m_pSelInfo->GetType() == type) {
        if (type == 2) m_pSelInfo->Reset();
        return;
    }
    if (m_pSelInfo) {
        // Its dialog points back at it: close the dialog first.
        m_pSelInfo->CloseWnd();
        delete m_pSelInfo;
        m_pSelInfo = nullptr;
    }
    const RasterViewServices& services = GetRasterViewServices();
    if (services.makeSelectionInfo) m_pSelInfo = services.makeSelectionInfo(type).release();
}

void CViewRect::UpdateRectInfo()
{
    CSelectionInfo* info = m_pSelInfo;
    if (!info || info->GetType() != 1) return;
    const int* r = m_rcSel;
    CRectSelCorners c;
    c.corners[0] = m_CoordLaw.GetLogicalCoord(double(r[0]), double(r[1]));
    c.corners[1] = m_CoordLaw.GetLogicalCoord(double(r[2]), double(r[1]));
    c.corners[2] = m_CoordLaw.GetLogicalCoord(double(r[2]), double(r[3]));
    c.corners[3] = m_CoordLaw.GetLogicalCoord(double(r[0]), double(r[3]));
    info->SetData(CRect(r[0], r[1], r[2], r[3]), c, this);
}

void CViewRect::UpdateRegionInfo()
{
    CSelectionInfo* info = m_pSelInfo;
    RgnInfo figures;
    if (!info || info->GetType() != 2 || !GetRgnInfo(m_hSelRgn, &m_CoordLaw, &figures)) return;
    info->SetData(static_cast<int>(std::min<std::int64_t>(figures.pixelArea, INT32_MAX)), figures.logicalArea,
                  figures.bounds, figures.logicalTopLeft, figures.logicalBottomRight, this);
}

void CViewRect::DeleteSelectionTools()
{
    if (m_pSelInfo) {
        m_pSelInfo->CloseWnd();
        delete m_pSelInfo;
        m_pSelInfo = nullptr;
    }
    if (m_hGhostRgn) DeleteObject(m_hGhostRgn);
    m_hGhostRgn = nullptr;
    m_pFigures.reset();
}

// --- selections ----------------------------------------------------------------------------------

void CViewRect::MakeRectSelection(int x1, int y1, int x2, int y2)
{
    m_rcSel[0] = x1;
    m_rcSel[1] = y1;
    m_rcSel[2] = x2;
    m_rcSel[3] = y2;
    const CRect r = Normal(x1, y1, x2, y2);
    SetRectRgn(m_hSelRgn, r.left, r.top, r.right, r.bottom);
    m_OutlinePoints.clear();
    m_OutlineTypes.clear();
    if (r.IsRectEmpty()) {
        m_nSelKind = kSelNone;
        return;
    }
    m_OutlinePoints = {CPoint(x1, y1), CPoint(x2, y1), CPoint(x2, y2), CPoint(x1, y2), CPoint(x1, y1)};
    m_OutlineTypes = {6, 2, 2, 2, 2};
    m_nSelKind = kSelRect;
    StartOutline();
    ReplaceSelInfo(1);
    UpdateRectInfo();
}

bool CViewRect::MakePolygonSelection()
{
    m_OutlinePoints = m_Points;
    m_OutlineTypes.assign(m_Points.size(), 2);
    if (!m_OutlineTypes.empty()) m_OutlineTypes[0] = 6;
    HRGN region = m_Points.size() >= 3
                      ? CreatePolygonRgn(m_Points.data(), static_cast<int>(m_Points.size()), WINDING)
                      : nullptr;
    if (!region || GetRgnArea(region) == 0) {
        if (region) DeleteObject(region);
        m_OutlinePoints.clear();
        m_OutlineTypes.clear();
        m_Points.clear();
        SetRectRgn(m_hSelRgn, 0, 0, 0, 0);
        m_nSelKind = kSelNone;
        return false;
    }
    CombineRgn(m_hSelRgn, region, nullptr, RGN_COPY);
    DeleteObject(region);
    m_nSelKind = kSelRegion;
    InvalidateSelectionBox();
    UpdateWindow();
    StartOutline();
    ReplaceSelInfo(2);
    UpdateRegionInfo();
    return true;
}

void CViewRect::SetRectSelection(int x1, int y1, int x2, int y2, CDialog* dialog)
{
    CRect r = Normal(x1, y1, x2, y2);
    CRect clipped;
    if (!clipped.IntersectRect(&r, CRect(0, 0, m_nImageWidth, m_nImageHeight)))
        clipped = CRect(0, 0, m_nImageWidth, m_nImageHeight);
    StopOutline();
    UpdateWindow();
    if (m_pSelInfo) {
        m_pSelInfo->CloseWnd();
        delete m_pSelInfo;
        m_pSelInfo = nullptr;
    }
    ReplaceSelInfo(1);
    if (m_pSelInfo) m_pSelInfo->m_pWnd = dialog;
    SetToolMode(9);
    m_nSelKind = kSelRect;
    m_MoveMode = kMoveNone;
    MakeRectSelection(clipped.left, clipped.top, clipped.right, clipped.bottom);
}

void CViewRect::SetRegionSelection(HRGN region)
{
    if (!region) return;
    StopOutline();
    CombineRgn(m_hSelRgn, region, nullptr, RGN_COPY);
    m_nSelKind = kSelRegion;
    StartOutline();
    ReplaceSelInfo(2);
    UpdateRegionInfo();
}

int CViewRect::SetSelection(HRGN region)
{
    RECT box{};
    const int kind = region ? GetRgnBox(region, &box) : ERROR;
    if (kind == ERROR || kind == NULLREGION) {
        StopOutline();
        SetRectRgn(m_hSelRgn, 0, 0, 0, 0);
        m_nSelKind = kSelNone;
        return m_nSelKind;
    }
    if (kind == SIMPLEREGION)
        SetRectSelection(box.left, box.top, box.right, box.bottom, nullptr);
    else
        SetRegionSelection(region);
    return m_nSelKind;
}

void CViewRect::SaveSelection(HRGN region)
{
    if (CVirtualView* view = GetActiveView()) view->SaveRegionAs(region ? region : m_hSelRgn);
}

void CViewRect::StatsSelection(HRGN region, CWnd* histogramSource)
{
    if (CVirtualView* view = GetActiveView())
        view->ShowRegionStatistics(region ? region : m_hSelRgn, histogramSource);
}

void CViewRect::ShowSelInfo()
{
    if ((m_nSelKind == kSelRect || m_nSelKind == kSelRegion) && m_pSelInfo) {
        if (!m_pSelInfo->m_pParent) m_pSelInfo->m_pParent = this;
        m_pSelInfo->ShowWnd();
    }
}

void CViewRect::ShowProfile(int direction, int index)
{
    if (CVirtualView* view = GetActiveView()) view->ShowProfile(direction, index, GetParent(), &m_CoordLaw);
}

CString CViewRect::GetSelKindName() const
{
    if (m_nSelKind == kSelRect) return LoadText(IDS_RECT_SELECTION, "Rectangular selection");
    if (m_nSelKind == kSelRegion) return LoadText(IDS_FREE_SELECTION, "Free-Hand selection");
    return CString();
}

void CViewRect::FillSelProperties(CPropertyList* properties)
{
    if (!properties) return;
    CString value;
    value.Format("%g", GetRgnSquare(m_hSelRgn));
    properties->Add(LoadText(IDS_SQUARE, "Square"), value);
    RECT box{};
    if (m_nSelKind == kSelRect && GetRgnBox(m_hSelRgn, &box) == SIMPLEREGION) {
        value.Format("(%d, %d) - (%d, %d)", int(box.left), int(box.top), int(box.right), int(box.bottom));
        properties->Add(LoadText(IDS_AREA, "Area"), value);
        value.Format("%d", int(box.right - box.left));
        properties->Add(LoadText(IDS_WIDTH, "Width"), value);
        value.Format("%d", int(box.bottom - box.top));
        properties->Add(LoadText(IDS_HEIGHT, "Height"), value);
    }
}

// --- pointer and measure figures -----------------------------------------------------------------

CRect CViewRect::PointerScreenRect(CPoint pos) const
{
    const CPoint c = ImageToScreen(pos.x, pos.y, 0.5, 0.5);
    return CRect(c.x - kPointerHalf, c.y - kPointerHalf, c.x + kPointerHalf + 1, c.y + kPointerHalf + 1);
}

CRect CViewRect::GetPointerScreenRect() const
{
    return m_bPointer ? PointerScreenRect(m_ptPointer) : CRect(0, 0, 0, 0);
}

void CViewRect::TurnOnPointer(int flags)
{
    m_fCompatibleMode |= flags;
    if (flags & 1) {
        if (!m_bPointer) {
            AddFigureLayer(1, TRUE);
            m_bPointer = TRUE;
            m_ptPointer = CPoint(0, 0);
            SetPointerPos(-1, -1);
        }
        m_MoveMode = kMoveNone;
        m_nCursorKind = 1;
    }
}

void CViewRect::TurnOffPointer(int flags)
{
    m_fCompatibleMode &= ~flags;
    if ((flags & 1) && m_bPointer) {
        const CRect r = PointerScreenRect(m_ptPointer);
        if (GetSafeHwnd()) InvalidateRect(&r, FALSE);
        m_bPointer = FALSE;
        if (m_pPointer) m_FigureLayer.RemoveFigure(m_pPointer);
        m_pPointer = nullptr;
        if (m_ExlusiveMode == kOwnerPointer) m_ExlusiveMode = 0;
        if (GetSafeHwnd()) UpdateWindow();
    }
}

CPoint CViewRect::GetPointerPos() const
{
    return m_bPointer ? m_ptPointer : CPoint(0, 0);
}

CPoint CViewRect::SetPointerPos(int x, int y)
{
    if (x == -1 && y == -1) {
        const CPoint mid = ScreenToImage(m_nClientWidth / 2, m_nClientHeight / 2);
        x = mid.x;
        y = mid.y;
    }
    x = std::clamp(x, 0, std::max(m_nImageWidth - 1, 0));
    y = std::clamp(y, 0, std::max(m_nImageHeight - 1, 0));
    if (m_bPointer) {
        if (GetSafeHwnd()) {
            const CRect before = PointerScreenRect(m_ptPointer), after = PointerScreenRect(CPoint(x, y));
            InvalidateRect(&before, FALSE);
            InvalidateRect(&after, FALSE);
        }
        m_ptPointer = CPoint(x, y);
        if (m_pPointer) m_pPointer->SetPosition(m_ptPointer);  // the marker the figure view draws
        if (GetSafeHwnd()) UpdateWindow();
        if (CWnd* parent = GetParent()) parent->PostMessage(kWmViewRect, 2, 0);
    }
    return CPoint(x, y);
}

std::vector<CPoint> CViewRect::GetMeasureNodes() const
{
    return m_pFigures && m_pFigures->measure ? m_pFigures->nodes : std::vector<CPoint>{};
}

CPropertyList* CViewRect::GetMeasureProperties() const
{
    return m_pFigures && m_pFigures->measure ? m_pFigures->properties.get() : nullptr;
}

void CViewRect::RemoveMeasure()
{
    if (!m_pFigures || !m_pFigures->measure) return;
    m_pFigures->measure = false;
    m_pFigures->nodes.clear();
    m_pFigures->properties.reset();
    if (m_pMeasure) m_FigureLayer.RemoveFigure(m_pMeasure);
    m_pMeasure = nullptr;
    if (m_nSelKind == kSelMeasure) m_nSelKind = kSelNone;
    if (GetSafeHwnd()) {
        Invalidate(FALSE);
        UpdateWindow();
    }
}

void CViewRect::FinishMeasure()
{
    ReleaseCapture();
    m_ExlusiveMode = 0;
    m_MoveMode = kMoveNone;
    m_bRubberShown = false;
    m_nSelKind = kSelMeasure;
    if (!m_pFigures) m_pFigures = std::make_unique<ViewFigureStandIn>();
    if (!m_pFigures->measure) AddFigureLayer(2, FALSE);
    m_pFigures->measure = true;
    if (!m_pFigures->properties) {
        const RasterViewServices& services = GetRasterViewServices();
        if (services.makePropertyList) m_pFigures->properties = services.makePropertyList();
    }
    m_pFigures->nodes = m_Points;
    if (m_pMeasure) m_pMeasure->SetNodes(m_Points);  // the line the figure view draws
    if (CPropertyList* props = m_pFigures->properties.get()) {
        props->Clear();
        props->SetObjectName("Measure");
        double length = 0.0;
        for (std::size_t i = 1; i < m_Points.size(); ++i) {
            const auto a = m_CoordLaw.GetLogicalCoord(m_Points[i - 1]),
                       b = m_CoordLaw.GetLogicalCoord(m_Points[i]);
            length += std::hypot(b.x - a.x, b.y - a.y);
        }
        CString value;
        value.Format("%g", length);
        props->Add("Length", value);
        value.Format("%d", static_cast<int>(m_Points.size()));
        props->Add("Nodes", value);
        props->Show(GetParent());
    }
    Invalidate(FALSE);
    UpdateWindow();
}

// --- tool handlers -------------------------------------------------------------------------------
// Each returns whether it took the message.

bool CViewRect::PressRect(CPoint point)
{
    const CPoint p = ScreenToImage(point);
    if (m_MoveMode == kMoveNone) {
        SetCapture();
        m_MoveMode = kMoveNewRect;
        StopOutline();
        UpdateWindow();
        m_rcSel[0] = m_rcSel[2] = p.x;
        m_rcSel[1] = m_rcSel[3] = p.y;
        m_nSelKind = kSelRect;
        ReplaceSelInfo(1);
        m_bDragShown = false;
        return true;
    }
    if (m_MoveMode == kMoveNewRect) {
        m_MoveMode = kMoveNone;
        m_nCursorKind = 15;
        return true;
    }
    if (m_MoveMode == kMoveHitTest && m_nSelKind == kSelRect) {
        SetCapture();
        m_ExlusiveMode = kOwnerRect;
        m_MoveMode = kMoveResize;
        StopOutline();
        m_ptDragStart = m_ptDragCur = p;
        RECT box{};
        GetRgnBox(m_hSelRgn, &box);
        m_rcSel[0] = box.left;
        m_rcSel[1] = box.top;
        m_rcSel[2] = box.right;
        m_rcSel[3] = box.bottom;
        UpdateWindow();
        DragRect(ScreenRectOfPictureRect(box), RECT{}, true);
        return true;
    }
    return false;
}

bool CViewRect::MoveRect(CPoint point)
{
    const CPoint p = ScreenToImage(point);
    if (m_MoveMode == kMoveNewRect || m_MoveMode == kMoveResize) {
        if (m_MoveMode == kMoveNewRect) {
            ApplyCursor(15);
            m_rcSel[2] = p.x;
            m_rcSel[3] = p.y;
        } else {
            const CRect n = Normal(m_rcSel[0], m_rcSel[1], m_rcSel[2], m_rcSel[3]);
            m_rcSel[0] = n.left;
            m_rcSel[1] = n.top;
            m_rcSel[2] = n.right;
            m_rcSel[3] = n.bottom;
            const int k = m_nCursorKind;
            if (k == 17 || k == 23 || k == 24) m_rcSel[0] = p.x;
            if (k == 17 || k == 18 || k == 19) m_rcSel[1] = p.y;
            if (k == 19 || k == 20 || k == 21) m_rcSel[2] = p.x;
            if (k == 21 || k == 22 || k == 23) m_rcSel[3] = p.y;
        }
        const CRect n = Normal(m_rcSel[0], m_rcSel[1], m_rcSel[2], m_rcSel[3]);
        DragRect(ScreenRectOfPictureRect(n), m_rcDrag, !m_bDragShown);
        UpdateRectInfo();
        return true;
    }
    if ((m_MoveMode == kMoveNone || m_MoveMode == kMoveHitTest) && m_nSelKind == kSelRect) {
        RECT box{};
        if (GetRgnBox(m_hSelRgn, &box) == SIMPLEREGION) {
            const int size = m_dScale >= 1.0 ? 4 : Round(1.0 / m_dScale);
            if (const int hit = HitTestHandles(ScreenRectOfPictureRect(box), size, point)) {
                ApplyCursor(hit);
                m_MoveMode = kMoveHitTest;
                return true;
            }
        }
        ApplyCursor(15);
        m_MoveMode = kMoveNone;
    }
    return false;
}

bool CViewRect::ReleaseRect(CPoint)
{
    if (m_MoveMode != kMoveNewRect && m_MoveMode != kMoveResize) return false;
    ReleaseCapture();
    m_ExlusiveMode = 0;
    m_MoveMode = kMoveNone;
    CRect drag = m_rcDrag;
    if (m_bDragShown) DragRect(CRect(0, 0, 0, 0), m_rcDrag, false);
    m_bDragShown = false;
    MakeRectSelection(m_rcSel[0], m_rcSel[1], m_rcSel[2], m_rcSel[3]);
    drag.InflateRect(1, 1);
    InvalidateRect(&drag, FALSE);
    if (m_nSelKind != kSelNone) InvalidateSelectionBox();
    UpdateWindow();
    return true;
}

bool CViewRect::PressFree(CPoint point)
{
    const CPoint p = ScreenToImage(point);
    SetCapture();
    m_MoveMode = kMoveFree;
    StopOutline();
    m_Points.clear();
    m_ptLast = p;
    m_Points.push_back(p);
    ReplaceSelInfo(2);
    return true;
}

bool CViewRect::MoveFree(CPoint point)
{
    if (m_MoveMode != kMoveFree) return false;
    const CPoint p = ScreenToImage(point);
    ApplyCursor(12);
    XorLine(ImageToScreen(m_ptLast.x, m_ptLast.y), ImageToScreen(p.x, p.y));
    m_ptLast = p;
    m_Points.push_back(p);
    return true;
}

bool CViewRect::ReleaseFree(CPoint point)
{
    if (m_MoveMode != kMoveFree) return false;
    ReleaseCapture();
    m_ExlusiveMode = 0;
    m_MoveMode = kMoveNone;
    m_Points.push_back(ScreenToImage(point));
    // The rubber lines lie inside the polygon's box, which is repainted; a failed outline
    // repaints all.
    if (!MakePolygonSelection()) Invalidate(FALSE);
    UpdateWindow();
    return true;
}

bool CViewRect::PressPolygon(CPoint point)
{
    const CPoint p = ScreenToImage(point);
    if (m_MoveMode != kMovePolyline) {
        SetCapture();
        m_MoveMode = kMovePolyline;
        m_ExlusiveMode = kOwnerPolygon;
        StopOutline();
        m_Points.clear();
        m_ptFirst = m_ptLast = p;
        m_Points.push_back(p);
        m_ptRubber = point;
        m_bRubberShown = false;
        m_nSelKind = kSelRegion;
        ReplaceSelInfo(2);
        return true;
    }
    const CPoint last = ImageToScreen(m_ptLast.x, m_ptLast.y);
    if (m_bRubberShown) XorLine(last, m_ptRubber);
    m_bRubberShown = false;
    XorLine(last, ImageToScreen(p.x, p.y));
    m_ptLast = p;
    m_Points.push_back(p);
    m_ptRubber = point;
    if (p == m_ptFirst) ClosePolygon();
    return true;
}

bool CViewRect::MovePolygon(CPoint point)
{
    if (m_MoveMode != kMovePolyline) return false;
    const CPoint p = ScreenToImage(point);
    const CPoint last = ImageToScreen(m_ptLast.x, m_ptLast.y);
    if (m_bRubberShown) XorLine(last, m_ptRubber);
    XorLine(last, point);
    m_bRubberShown = true;
    m_ptRubber = point;
    ApplyCursor(p == m_ptFirst ? 14 : 13);
    return true;
}

void CViewRect::ClosePolygon()
{
    if (m_bRubberShown) XorLine(ImageToScreen(m_ptLast.x, m_ptLast.y), m_ptRubber);
    m_bRubberShown = false;
    if (m_ptLast != m_ptFirst) m_Points.push_back(m_ptFirst);
    m_MoveMode = kMoveNone;
    m_nCursorKind = 13;
    ReleaseCapture();
    m_ExlusiveMode = 0;
    // The fixed edges were drawn by XOR: the polygon's box and everything around go.
    Invalidate(FALSE);
    MakePolygonSelection();
    UpdateWindow();
}

bool CViewRect::PressMeasure(CPoint point)
{
    const CPoint p = ScreenToImage(point);
    if (m_MoveMode != kMovePolyline) {
        SetCapture();
        m_ExlusiveMode = kOwnerMeasure;
        m_MoveMode = kMovePolyline;
        m_Points.clear();
        m_ptFirst = m_ptLast = p;
        m_Points.push_back(p);
        m_ptRubber = point;
        XorLine(ImageToScreen(p.x, p.y, 0.5, 0.5), point);
        m_bRubberShown = true;
        return true;
    }
    const CPoint last = ImageToScreen(m_ptLast.x, m_ptLast.y, 0.5, 0.5);
    if (m_bRubberShown) XorLine(last, m_ptRubber);
    XorLine(last, ImageToScreen(p.x, p.y, 0.5, 0.5));
    m_ptLast = p;
    m_Points.push_back(p);
    m_ptRubber = point;
    XorLine(ImageToScreen(p.x, p.y, 0.5, 0.5), point);
    m_bRubberShown = true;
    return true;
}

bool CViewRect::MoveMeasure(CPoint point)
{
    if (m_MoveMode != kMovePolyline) return false;
    ApplyCursor(25);
    const CPoint last = ImageToScreen(m_ptLast.x, m_ptLast.y, 0.5, 0.5);
    if (m_bRubberShown) XorLine(last, m_ptRubber);
    XorLine(last, point);
    m_bRubberShown = true;
    m_ptRubber = point;
    return true;
}

bool CViewRect::PressMove(CPoint point)
{
    if (m_nSelKind != kSelRect && m_nSelKind != kSelRegion) return false;
    SetCapture();
    m_MoveMode = kMoveSelection;
    PauseOutline();
    InvalidateSelectionBox();
    UpdateWindow();
    m_ptDragStart = m_ptDragCur = ScreenToImage(point);
    return true;
}

bool CViewRect::MoveSelection(CPoint point)
{
    if (m_MoveMode != kMoveSelection) return false;
    m_ptDragCur = ScreenToImage(point);
    const int dx = m_ptDragCur.x - m_ptDragStart.x, dy = m_ptDragCur.y - m_ptDragStart.y;
    HRGN moved = CreateRectRgn(0, 0, 0, 0);
    CombineRgn(moved, m_hSelRgn, nullptr, RGN_COPY);
    OffsetRgn(moved, dx, dy);
    HRGN ghost = nullptr;
    if (const DWORD bytes = GetRegionData(moved, 0, nullptr); bytes > 0) {
        std::vector<BYTE> data(bytes);
        auto* rgn = reinterpret_cast<RGNDATA*>(data.data());
        if (GetRegionData(moved, bytes, rgn) == bytes) {
            XFORM x{};
            x.eM11 = x.eM22 = float(1.0 / m_dScale);
            x.eDx = float(-m_HScroll.GetPos() / m_dScale);
            x.eDy = float(-m_VScroll.GetPos() / m_dScale);
            ghost = ExtCreateRegion(&x, bytes, rgn);
        }
    }
    if (!ghost) ghost = CreateRectRgn(0, 0, 0, 0);
    CClientDC dc(this);
    if (m_hGhostRgn) {
        HRGN gone = CreateRectRgn(0, 0, 0, 0), added = CreateRectRgn(0, 0, 0, 0);
        CombineRgn(gone, m_hGhostRgn, ghost, RGN_DIFF);
        CombineRgn(added, ghost, m_hGhostRgn, RGN_DIFF);
        InvalidateRgn(CRgn::FromHandle(gone), FALSE);
        UpdateWindow();
        InvertRgn(dc.GetSafeHdc(), added);
        DeleteObject(gone);
        DeleteObject(added);
        DeleteObject(m_hGhostRgn);
    } else {
        InvertRgn(dc.GetSafeHdc(), ghost);
    }
    m_hGhostRgn = ghost;
    if (m_nSelKind == kSelRect) {
        RECT box{};
        GetRgnBox(moved, &box);
        m_rcSel[0] = box.left;
        m_rcSel[1] = box.top;
        m_rcSel[2] = box.right;
        m_rcSel[3] = box.bottom;
        UpdateRectInfo();
    }
    DeleteObject(moved);
    return true;
}

bool CViewRect::ReleaseMove(CPoint)
{
    if (m_MoveMode != kMoveSelection) return false;
    ReleaseCapture();
    m_MoveMode = kMoveNone;
    if (m_hGhostRgn) {
        InvalidateRgn(CRgn::FromHandle(m_hGhostRgn), FALSE);
        DeleteObject(m_hGhostRgn);
        m_hGhostRgn = nullptr;
    }
    const int dx = m_ptDragCur.x - m_ptDragStart.x, dy = m_ptDragCur.y - m_ptDragStart.y;
    OffsetRgn(m_hSelRgn, dx, dy);
    for (CPoint& p : m_OutlinePoints) p.Offset(dx, dy);
    if (m_nSelKind == kSelRect) {
        RECT box{};
        GetRgnBox(m_hSelRgn, &box);
        m_rcSel[0] = box.left;
        m_rcSel[1] = box.top;
        m_rcSel[2] = box.right;
        m_rcSel[3] = box.bottom;
        UpdateRectInfo();
    } else {
        UpdateRegionInfo();
    }
    UpdateWindow();
    RefreshWorkingRegion();
    ResumeOutline();
    return true;
}

bool CViewRect::MovePointer(CPoint point)
{
    if (!m_bPointer) return false;
    if (m_MoveMode == kMoveSelection && m_ExlusiveMode == kOwnerPointer) {
        const CPoint p = ScreenToImage(point);
        SetPointerPos(m_ptPointerStart.x + p.x - m_ptDragStart.x, m_ptPointerStart.y + p.y - m_ptDragStart.y);
        return true;
    }
    if (m_MoveMode != kMoveNone && m_MoveMode != kMoveHitTest) return false;
    if (PointerScreenRect(m_ptPointer).PtInRect(point)) {
        ApplyCursor(7);
        m_MoveMode = kMoveHitTest;
        m_ExlusiveMode = kOwnerPointer;
        return true;
    }
    if (m_ExlusiveMode == kOwnerPointer) m_ExlusiveMode = 0;
    m_MoveMode = kMoveNone;
    return false;
}

bool CViewRect::PressPointer(CPoint point)
{
    if (!m_bPointer || m_MoveMode != kMoveHitTest) return false;
    SetCapture();
    m_MoveMode = kMoveSelection;
    m_ptDragStart = ScreenToImage(point);
    m_ptPointerStart = m_ptPointer;
    return true;
}

bool CViewRect::ReleasePointer(CPoint)
{
    if (m_MoveMode != kMoveSelection && m_MoveMode != kMoveHitTest) return false;
    ReleaseCapture();
    m_MoveMode = kMoveNone;
    m_ExlusiveMode = 0;
    return true;
}

// --- routing -------------------------------------------------------------------------------------

bool CViewRect::Route(int owner, Gesture gesture, CPoint point)
{
    using Handler = bool (CViewRect::*)(CPoint);
    struct Handlers {
        Handler move, press, release;
    };
    // Polygon and measure end on a press, so they have no release handler.
    static const Handlers pointer{&CViewRect::MovePointer, &CViewRect::PressPointer,
                                  &CViewRect::ReleasePointer};
    static const Handlers free{&CViewRect::MoveFree, &CViewRect::PressFree, &CViewRect::ReleaseFree};
    static const Handlers polygon{&CViewRect::MovePolygon, &CViewRect::PressPolygon, nullptr};
    static const Handlers rect{&CViewRect::MoveRect, &CViewRect::PressRect, &CViewRect::ReleaseRect};
    static const Handlers move{&CViewRect::MoveSelection, &CViewRect::PressMove, &CViewRect::ReleaseMove};
    static const Handlers measure{&CViewRect::MoveMeasure, &CViewRect::PressMeasure, nullptr};
    const Handlers* handlers = nullptr;
    switch (owner) {
        case kOwnerPointer:
            handlers = &pointer;
            break;
        case kOwnerFree:
        case 7:
            handlers = &free;
            break;
        case kOwnerPolygon:
        case 8:
            handlers = &polygon;
            break;
        case kOwnerRect:
        case 9:
            handlers = &rect;
            break;
        case kOwnerMove:
        case 11:
            handlers = &move;
            break;
        case 13:
            handlers = &measure;
            break;
        default:
            return false;
    }
    const Handler handler = gesture == Gesture::Move    ? handlers->move
                            : gesture == Gesture::Press ? handlers->press
                                                        : handlers->release;
    return handler && (this->*handler)(point);
}

// Owner 7 is the measure line; as a tool mode 7 is the free hand: the owner is looked at
// first, so the two never meet.

void CViewRect::OnMouseMove(UINT flags, CPoint point)
{
    if (m_Views.empty()) {
        CWnd::OnMouseMove(flags, point);
        return;
    }
    m_ptMouse = point;
    bool taken;
    if (m_ExlusiveMode == kOwnerMeasure)
        taken = MoveMeasure(point);
    else if (m_ExlusiveMode != 0)
        taken = Route(m_ExlusiveMode, Gesture::Move, point);
    else
        taken = Route(m_ToolMode, Gesture::Move, point);
    if (!taken && m_ExlusiveMode == 0 && (m_fCompatibleMode & 1)) MovePointer(point);
    if (CWnd* parent = GetParent()) parent->PostMessage(kWmViewRect, 1, 0);
}

void CViewRect::OnLButtonDown(UINT flags, CPoint point)
{
    if (m_Views.empty()) {
        CWnd::OnLButtonDown(flags, point);
        return;
    }
    m_ptMouse = point;
    bool taken = false;
    if (m_ExlusiveMode == kOwnerMeasure) {
        taken = PressMeasure(point);
    } else if (m_ExlusiveMode != 0) {
        taken = Route(m_ExlusiveMode, Gesture::Press, point);
    } else {
        const CPoint p = ScreenToImage(point);
        switch (m_ToolMode) {
            case 1:
                SetScale(m_dScale);
                CenterOn(p.x, p.y);
                m_bPainted = FALSE;
                Redraw();
                taken = true;
                break;
            case 2:
                ZoomOut();
                taken = true;
                break;
            case 3:
                ZoomIn();
                taken = true;
                break;
            case 4:
                if (p.y >= 0 && p.y < m_nImageHeight) ShowProfile(1, p.y);
                taken = true;
                break;
            case 5:
                if (p.x >= 0 && p.x < m_nImageWidth) ShowProfile(0, p.x);
                taken = true;
                break;
            default:
                taken = Route(m_ToolMode, Gesture::Press, point);
                break;
        }
    }
    if (!taken && (m_fCompatibleMode & 1)) PressPointer(point);
    if (CWnd* parent = GetParent()) parent->PostMessage(kWmViewRect, 1, 0);
}

void CViewRect::OnLButtonUp(UINT flags, CPoint point)
{
    if (m_Views.empty()) {
        CWnd::OnLButtonUp(flags, point);
        return;
    }
    bool taken = false;
    if (m_ExlusiveMode != 0 && m_ExlusiveMode != kOwnerPolygon && m_ExlusiveMode != kOwnerMeasure)
        taken = Route(m_ExlusiveMode, Gesture::Release, point);
    else if (m_ExlusiveMode == 0)
        taken = Route(m_ToolMode, Gesture::Release, point);
    if (!taken && m_ExlusiveMode == 0 && (m_fCompatibleMode & 1)) ReleasePointer(point);
}

void CViewRect::OnRButtonUp(UINT flags, CPoint point)
{
    if (!m_Views.empty() && m_MoveMode == kMovePolyline && m_ToolMode == 8) {
        const CPoint p = ScreenToImage(point);
        if (p != m_ptLast) {
            const CPoint last = ImageToScreen(m_ptLast.x, m_ptLast.y);
            if (m_bRubberShown) XorLine(last, m_ptRubber);
            m_bRubberShown = false;
            m_Points.push_back(p);
            m_ptLast = p;
        }
        ClosePolygon();
        return;
    }
    if (!m_Views.empty() && m_MoveMode == kMovePolyline && m_ToolMode == 13) {
        if (m_bRubberShown) XorLine(ImageToScreen(m_ptLast.x, m_ptLast.y, 0.5, 0.5), m_ptRubber);
        m_bRubberShown = false;
        FinishMeasure();
        return;
    }
    CWnd::OnRButtonUp(flags, point);
}

void CViewRect::OnContextMenu(CWnd* wnd, CPoint point)
{
    if (m_Views.empty()) {
        CWnd::OnContextMenu(wnd, point);
        return;
    }
    HMENU menu = platform::LoadMenuFromResource(IDR_VIEWER_CONTEXT_MENUS);
    if (!menu) return;
    HMENU popup = GetSubMenu(menu, kContextView);
    if (popup && (m_nSelKind == kSelRect || m_nSelKind == kSelRegion)) {
        CPoint client = point;
        ScreenToClient(&client);
        const CPoint p = ScreenToImage(client);
        ::EnableMenuItem(popup, ID_VIEWER_SAVE_REGION,
                         MF_BYCOMMAND | (PtInRegion(m_hSelRgn, p.x, p.y) ? MF_ENABLED : MF_GRAYED));
    }
    CWnd* parent = GetParent();
    if (popup && parent)
        ::TrackPopupMenu(popup, TPM_RIGHTBUTTON, point.x, point.y, 0, parent->GetSafeHwnd(), nullptr);
    DestroyMenu(menu);
}
