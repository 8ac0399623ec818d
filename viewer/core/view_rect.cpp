#include "viewer/core/view_rect.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "outside/basecore/math_helpers.h"
#include "outside/huebook/color_map.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/window_dc.h"
#include "platform/kernel/threads.h"
#include "viewer/core/view_rect_internal.h"
#include "viewer/core/viewer_messages.h"

namespace {

/// The back buffer grows in steps of this many bytes and never shrinks.
constexpr std::size_t kBufferStep = 512 * 1024;

/// How many bytes a rendering of w x h pixels needs: rows of w + 3 pixels (room for the
/// views' row padding).
std::size_t BufferNeed(std::int64_t w, std::int64_t h, int bytesPerPixel)
{
    if (w <= 0 || h <= 0 || bytesPerPixel <= 0) return 0;
    return static_cast<std::size_t>((w + 3) * h * bytesPerPixel);
}

bool IsWhole(double v)
{
    return std::fabs(v - std::round(v)) < 1e-7;
}

}  // namespace

CViewState::CViewState() = default;
CViewState::~CViewState() = default;

// --- construction --------------------------------------------------------------------------------

CViewRect::CViewRect()
{
    m_hStopEvent = CreateEvent(nullptr, TRUE, FALSE, nullptr);
    m_hIdleEvent = CreateEvent(nullptr, TRUE, TRUE, nullptr);
    m_hDrawingEvent = CreateEvent(nullptr, TRUE, TRUE, nullptr);
    m_bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    m_bmi.bmiHeader.biPlanes = 1;
    m_hSelRgn = CreateRectRgn(0, 0, 0, 0);
}

CViewRect::~CViewRect()
{
    if (m_hStopEvent) SetEvent(m_hStopEvent);
    StopOutline();
    DeleteSelectionTools();
    for (CVirtualView* view : m_Views) CVirtualView::Dispose(view);
    m_Views.clear();
    m_nActive = -1;
    delete[] m_pBits;
    m_pBits = nullptr;
    if (m_hSelRgn) DeleteObject(m_hSelRgn);
    if (m_hSelRgnView) DeleteObject(m_hSelRgnView);
    for (HANDLE* h : {&m_hStopEvent, &m_hIdleEvent, &m_hDrawingEvent}) {
        if (*h) CloseHandle(*h);
        *h = nullptr;
    }
}

BOOL CViewRect::Create(CWnd* parent)
{
    LPCTSTR cls = AfxRegisterWndClass(0, nullptr, nullptr, nullptr);
    const CRect empty(0, 0, 0, 0);
    if (!CWnd::Create(cls, "", WS_CHILD | WS_VISIBLE | WS_BORDER, empty, parent, kViewRectControlId))
        return FALSE;
    ModifyStyleEx(0, WS_EX_CLIENTEDGE, SWP_FRAMECHANGED);
    if (!m_brHatch.GetSafeHandle()) m_brHatch.CreateHatchBrush(HS_DIAGCROSS, RGB(0, 0, 0));
    if (!m_brBlack.GetSafeHandle()) m_brBlack.CreateSolidBrush(RGB(0, 0, 0));
    m_HScroll.Bind(this, SB_HORZ);
    m_VScroll.Bind(this, SB_VERT);
    ReadClientSize();
    return TRUE;
}

// clang-format off
BEGIN_MESSAGE_MAP(CViewRect, CWnd)
    ON_WM_PAINT()
    ON_WM_SIZE()
    ON_WM_HSCROLL()
    ON_WM_VSCROLL()
    ON_WM_MOUSEMOVE()
    ON_WM_LBUTTONDOWN()
    ON_WM_LBUTTONUP()
    ON_WM_RBUTTONUP()
    ON_WM_SETCURSOR()
    ON_WM_CONTEXTMENU()
    ON_WM_ERASEBKGND()
    ON_MESSAGE(WM_VIEWER, OnViewer)
    ON_MESSAGE(kWmViewCursor, OnViewCursor)
    ON_MESSAGE(kWmViewRectAlive, OnQueryAlive)
END_MESSAGE_MAP()
// clang-format on

// --- small helpers -------------------------------------------------------------------------------

void CViewRect::Redraw()
{
    if (GetSafeHwnd()) RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

void CViewRect::ReadClientSize()
{
    if (!GetSafeHwnd()) return;
    CRect rc;
    GetClientRect(&rc);
    m_nClientWidth = std::max(0, static_cast<int>(rc.Width()));
    m_nClientHeight = std::max(0, static_cast<int>(rc.Height()));
}

void CViewRect::PauseOutline()
{
    if (m_pOutline) {
        std::lock_guard<std::mutex> hold(m_pOutline->lock);
        m_pOutline->paused = true;
    }
    if (m_hIdleEvent) ResetEvent(m_hIdleEvent);
    if (m_hDrawingEvent) WaitForSingleObject(m_hDrawingEvent, INFINITE);
}

void CViewRect::ResumeOutline()
{
    if (m_pOutline) {
        std::lock_guard<std::mutex> hold(m_pOutline->lock);
        m_pOutline->paused = false;
    }
    if (m_hIdleEvent) SetEvent(m_hIdleEvent);
}

bool CViewRect::EnsureBackBuffer(std::size_t need)
{
    if (need == 0 || need <= m_nBitsSize) return m_pBits != nullptr || need == 0;
    delete[] m_pBits;
    m_pBits = nullptr;
    m_nBitsSize = 0;
    const std::size_t capacity = ((need - 1) / kBufferStep + 1) * kBufferStep;
    m_pBits = new (std::nothrow) BYTE[capacity];
    if (!m_pBits) return false;
    m_nBitsSize = capacity;
    return true;
}

double CViewRect::MaxScrollX() const
{
    const double m = std::max(double(m_nImageWidth) - std::floor(m_nClientWidth * m_dScale), 0.0);
    return std::max(0.0, std::min(m, double(m_nImageWidth) - 1));
}

double CViewRect::MaxScrollY() const
{
    const double m = std::max(double(m_nImageHeight) - std::floor(m_nClientHeight * m_dScale), 0.0);
    return std::max(0.0, std::min(m, double(m_nImageHeight) - 1));
}

void CViewRect::UpdateBars(double hPos, double vPos)
{
    ScrollInfoD h;
    h.fMask = SIF_ALL;
    h.nMin = 0;
    h.nMax = m_nImageWidth;
    h.nPage = std::floor(m_nClientWidth * m_dScale);
    h.nPos = std::clamp(hPos, 0.0, MaxScrollX());
    m_HScroll.SetInfo(h, TRUE);
    ScrollInfoD v;
    v.fMask = SIF_ALL;
    v.nMin = 0;
    v.nMax = m_nImageHeight;
    v.nPage = std::floor(m_nClientHeight * m_dScale);
    v.nPos = std::clamp(vPos, 0.0, MaxScrollY());
    m_VScroll.SetInfo(v, TRUE);
    // A bar that appeared or went away changed the client size; the page follows it.
    const int cw = m_nClientWidth, ch = m_nClientHeight;
    ReadClientSize();
    if (cw != m_nClientWidth || ch != m_nClientHeight) {
        m_HScroll.SetPage(std::floor(m_nClientWidth * m_dScale));
        m_VScroll.SetPage(std::floor(m_nClientHeight * m_dScale));
        m_HScroll.SetPos(std::clamp(m_HScroll.GetPos(), 0.0, MaxScrollX()));
        m_VScroll.SetPos(std::clamp(m_VScroll.GetPos(), 0.0, MaxScrollY()));
    }
}

// --- layer stack ---------------------------------------------------------------------------------

CVirtualView* CViewRect::GetView(int index) const
{
    return index >= 0 && index < GetViewCount() ? m_Views[static_cast<std::size_t>(index)] : nullptr;
}

CVirtualView* CViewRect::GetActiveView() const
{
    return GetView(m_nActive);
}

int CViewRect::IndexOf(const CVirtualView* view) const
{
    for (int i = 0; i < GetViewCount(); ++i)
        if (m_Views[static_cast<std::size_t>(i)] == view) return i;
    return -1;
}

int CViewRect::PositionOfId(int id) const
{
    for (int i = 0; i < GetViewCount(); ++i)
        if (m_Ids[static_cast<std::size_t>(i)] == id) return i;
    return -1;
}

int CViewRect::AppendView(CVirtualView* view)
{
    // The view's notification index is an identity that is never handed out twice, so a
    // late notification of a view that is gone reaches no other view.
    const int id = m_nNextId++;
    view->SetIndex(id);
    m_Views.push_back(view);
    m_Ids.push_back(id);
    return GetViewCount() - 1;
}

int CViewRect::AddView(CVirtualView* view, BOOL makeActive)
{
    if (!view) return -1;
    const int index = AppendView(view);
    if (view->GetLayerClass() == kLayerClassPicture && view->GetViewKind() == kViewKindRgb)
        m_nBytesPerPixel = 3;
    else if (view->GetLayerClass() == kLayerClassPicture && m_nBytesPerPixel == 0)
        m_nBytesPerPixel = 1;
    if (view->GetLayerClass() != kLayerClassOverlay && (makeActive || m_nActive < 0)) {
        if (CVirtualView* old = GetActiveView()) old->SetShown(FALSE);
        m_nActive = index;
        view->SetShown(TRUE);
        if (m_nImageWidth == 0 && m_nImageHeight == 0) {
            m_nImageWidth = view->GetWidth();
            m_nImageHeight = view->GetHeight();
            UpdateBars(0, 0);
        }
    } else {
        view->SetShown(TRUE);
    }
    view->SetZoom(m_dScale, 0);
    m_bPainted = FALSE;
    Redraw();
    return index;
}

int CViewRect::SetActiveView(int index, int show)
{
    CVirtualView* view = GetView(index);
    if (!view || view->GetLayerClass() != kLayerClassPicture) return 0;
    if (CVirtualView* old = GetActiveView(); old && old != view) old->SetShown(FALSE);
    m_nActive = index;
    view->SetDrawn(FALSE);
    view->SetShown(show ? TRUE : FALSE);
    m_bPainted = FALSE;
    Redraw();
    return 1;
}

void CViewRect::RemoveViewAt(int index)
{
    CVirtualView* view = GetView(index);
    if (!view) return;
    m_Views.erase(m_Views.begin() + index);
    m_Ids.erase(m_Ids.begin() + index);
    if (view == m_FigureLayer.GetView()) ForgetFigures();
    if (m_nActive == index)
        m_nActive = -1;
    else if (m_nActive > index)
        --m_nActive;
    CVirtualView::Dispose(view);
}

void CViewRect::AfterStackEmptied()
{
    if (!m_Views.empty()) return;
    m_nActive = -1;
    m_nImageWidth = 0;
    m_nImageHeight = 0;
    m_nBytesPerPixel = 0;
    m_HScroll.Reset();
    m_VScroll.Reset();
    ReadClientSize();
}

void CViewRect::CloseActiveView()
{
    StopOutline();
    if (m_nActive < 0) return;
    RemoveViewAt(m_nActive);
    // The first remaining picture layer takes over; overlays never become active.
    for (int i = 0; i < GetViewCount(); ++i) {
        if (m_Views[static_cast<std::size_t>(i)]->GetLayerClass() == kLayerClassPicture) {
            m_nActive = i;
            m_Views[static_cast<std::size_t>(i)]->SetShown(TRUE);
            m_Views[static_cast<std::size_t>(i)]->SetDrawn(FALSE);
            break;
        }
    }
    AfterStackEmptied();
    m_bPainted = FALSE;
    Redraw();
}

void CViewRect::CloseView(int index)
{
    if (index == m_nActive) return CloseActiveView();
    if (!GetView(index)) return;
    StopOutline();
    RemoveViewAt(index);
    AfterStackEmptied();
    m_bPainted = FALSE;
    Redraw();
}

void CViewRect::CloseAll()
{
    StopOutline();
    m_nSelKind = 0;
    if (m_hSelRgn) SetRectRgn(m_hSelRgn, 0, 0, 0, 0);
    for (CVirtualView* view : m_Views) CVirtualView::Dispose(view);
    m_Views.clear();
    m_Ids.clear();
    ForgetFigures();
    m_nActive = -1;
    m_bPointer = FALSE;
    m_ToolMode = 0;
    AfterStackEmptied();
    m_bPainted = FALSE;
    Redraw();
}

// --- zoom ----------------------------------------------------------------------------------------

void CViewRect::SetScale(double s)
{
    if (m_Views.empty()) return;
    PauseOutline();
    if (s == 0.0 || !std::isfinite(s) || s < 0.0) s = 1.0;
    // A picture is never shrunk below about one screen pixel.
    if (s < double(std::max(m_nImageWidth, m_nImageHeight))) {
        m_dScale = s;
        for (CVirtualView* view : m_Views) view->SetZoom(s, 0);
        UpdateBars(m_HScroll.GetPos(), m_VScroll.GetPos());
        // The frame's zoom pane shows the new scale at once, not at the next mouse move.
        if (CWnd* parent = GetParent()) parent->PostMessage(kWmViewRect, 1, 0);
    }
    ResumeOutline();
}

void CViewRect::FitToWindow()
{
    if (m_Views.empty() || m_nImageWidth <= 0 || m_nImageHeight <= 0) return;
    m_bFit = TRUE;
    // The area the picture may use: the client plus the bars shown now.
    int areaW = m_nClientWidth, areaH = m_nClientHeight;
    const DWORD style = GetStyle();
    if (style & WS_VSCROLL) areaW += GetSystemMetrics(SM_CXVSCROLL);
    if (style & WS_HSCROLL) areaH += GetSystemMetrics(SM_CYHSCROLL);
    areaW = std::max(areaW, 1);
    areaH = std::max(areaH, 1);
    const double s = std::max(double(m_nImageWidth) / areaW, double(m_nImageHeight) / areaH);
    m_HScroll.SetPos(0);
    m_VScroll.SetPos(0);
    SetScale(s);
    m_HScroll.SetPos(0);
    m_VScroll.SetPos(0);
    // The fitted scale is no ladder step; the nearest one is kept so a restore never
    // divides by a zero step.
    m_nZoomStep = std::max(1, m_dScale >= 1.0 ? Round(m_dScale) : Round(1.0 / m_dScale));
    if (CVirtualView* view = GetActiveView()) view->SetDrawn(FALSE);
    m_bPainted = FALSE;
    Redraw();
}

void CViewRect::RealScale()
{
    m_bFit = FALSE;
    SetScale(1.0);
    m_nZoomStep = 1;
    m_bPainted = FALSE;
    Redraw();
}

void CViewRect::ApplyZoomStep(int step, bool magnify)
{
    step = std::max(step, 1);
    const CPoint p = ScreenToImage(m_ptMouse);
    m_bFit = FALSE;
    const double s = magnify ? 1.0 / step : double(step);
    const double before = m_dScale;
    SetScale(s);
    if (m_dScale == s || m_dScale != before) m_nZoomStep = step;
    CenterOn(p.x, p.y);
    RefreshWorkingRegion();
    m_bPainted = FALSE;
    Redraw();
}

void CViewRect::ZoomIn()
{
    if (m_Views.empty()) return;
    if (m_dScale > 1.0)
        ApplyZoomStep(Round(m_dScale) - 1, false);
    else
        ApplyZoomStep(Round(1.0 / m_dScale) + 1, true);
}

void CViewRect::ZoomOut()
{
    if (m_Views.empty()) return;
    if (m_dScale >= 1.0)
        ApplyZoomStep(Round(m_dScale) + 1, false);
    else
        ApplyZoomStep(Round(1.0 / m_dScale) - 1, true);  // 0 gives 1:1
}

void CViewRect::RecenterOn(int x, int y)
{
    SetScale(m_dScale);
    CenterOn(x, y);
    m_bPainted = FALSE;
    Redraw();
}

void CViewRect::CenterOn(int x, int y)
{
    PauseOutline();
    const double pw = m_nClientWidth * m_dScale;
    const double ph = m_nClientHeight * m_dScale;
    const double ox = std::clamp(double(Round(x + 0.5 - pw / 2)), 0.0, MaxScrollX());
    const double oy = std::clamp(double(Round(y + 0.5 - ph / 2)), 0.0, MaxScrollY());
    m_HScroll.SetPos(ox);
    m_VScroll.SetPos(oy);
    ResumeOutline();
}

CPoint CViewRect::ScreenToImage(int sx, int sy) const
{
    return CPoint(static_cast<int>(std::floor(m_HScroll.GetPos() + sx * m_dScale)),
                  static_cast<int>(std::floor(m_VScroll.GetPos() + sy * m_dScale)));
}

CPoint CViewRect::ImageToScreen(int x, int y, double dx, double dy) const
{
    return CPoint(static_cast<int>(std::floor((x + dx - m_HScroll.GetPos()) / m_dScale)),
                  static_cast<int>(std::floor((y + dy - m_VScroll.GetPos()) / m_dScale)));
}

CViewState* CViewRect::SaveViewState() const
{
    auto* state = new CViewState;
    state->scale = m_dScale;
    state->zoomStep = m_nZoomStep;
    state->fit = m_bFit;
    if (CVirtualView* view = GetActiveView())
        if (CColorMap* map = view->GetColorMap()) state->colorMap = std::make_unique<CColorMap>(*map);
    m_HScroll.GetInfo(&state->hScroll, SIF_ALL);
    m_VScroll.GetInfo(&state->vScroll, SIF_ALL);
    return state;
}

void CViewRect::RestoreViewState(const CViewState* state)
{
    if (!state) return;
    m_nZoomStep = std::max(1, state->zoomStep);
    m_bFit = state->fit;
    if (!m_bFit)
        SetScale(m_dScale <= 1.0 ? 1.0 / m_nZoomStep : double(m_nZoomStep));
    else
        SetScale(m_dScale);
    if (CVirtualView* view = GetActiveView(); view && state->colorMap)
        view->SetColorMap(state->colorMap.get());
    if (m_HScroll.IsBound()) {
        m_HScroll.SetInfo(state->hScroll, TRUE);
        m_VScroll.SetInfo(state->vScroll, TRUE);
    }
    m_bPainted = FALSE;
    Redraw();
}

// --- painting ------------------------------------------------------------------------------------

void CViewRect::RenderArea(CDC* dc, const RECT& area)
{
    if (m_Views.empty()) return;
    const int ox = Round(m_HScroll.GetPos());
    const int oy = Round(m_VScroll.GetPos());
    const bool whole =
        area.left <= 0 && area.top <= 0 && area.right >= m_nClientWidth && area.bottom >= m_nClientHeight;
    // Views are asked only for the part of the client the picture covers; the rest is the
    // hatch, and a read past the picture's edge would fetch nothing of it.
    const int shownW =
        std::clamp(static_cast<int>((m_nImageWidth - ox) / m_dScale), 1, std::max(m_nClientWidth, 1));
    const int shownH =
        std::clamp(static_cast<int>((m_nImageHeight - oy) / m_dScale), 1, std::max(m_nClientHeight, 1));
    // Pictures first, overlays over all of them, each group in stack order.
    for (int pass = 0; pass < 2; ++pass) {
        for (CVirtualView* view : m_Views) {
            const bool overlay = view->GetLayerClass() == kLayerClassOverlay;
            if (overlay != (pass == 1)) continue;
            if (whole) {
                view->DrawEx(dc, ox, oy, shownW, shownH, m_dScale, !m_bFit, m_pBits,
                             reinterpret_cast<BITMAPINFO*>(&m_bmi));
                if (overlay) DrawOverlayOf(view, dc, area, false);
            } else {
                const int srcX = ox + static_cast<int>(std::lround(area.left * m_dScale));
                const int srcY = oy + static_cast<int>(std::lround(area.top * m_dScale));
                const int srcW = static_cast<int>(std::ceil((area.right - area.left) * m_dScale));
                const int srcH = static_cast<int>(std::ceil((area.bottom - area.top) * m_dScale));
                view->DrawRectEx(dc, area.left, area.top, srcX, srcY, std::max(srcW, 1), std::max(srcH, 1),
                                 m_dScale, !m_bFit, m_pBits, reinterpret_cast<BITMAPINFO*>(&m_bmi));
                if (overlay) DrawOverlayOf(view, dc, area, true);
            }
        }
    }
}

void CViewRect::DrawOverlayOf(CVirtualView* view, CDC* dc, const RECT& area, bool clip)
{
    // Overlays draw the whole window from the picture origin in screen pixels; a strip
    // after a scroll is clipped to, so that the shifted rest is not drawn twice.
    const int saved = clip ? dc->SaveDC() : 0;
    if (clip) dc->IntersectClipRect(&area);
    view->DrawOverlay(dc, static_cast<int>(std::lround(m_HScroll.GetPos() / m_dScale)),
                      static_cast<int>(std::lround(m_VScroll.GetPos() / m_dScale)), m_nClientWidth,
                      m_nClientHeight, m_dScale, !m_bFit, m_pBits, reinterpret_cast<BITMAPINFO*>(&m_bmi));
    if (clip) dc->RestoreDC(saved);
}

void CViewRect::ForgetFigures()
{
    m_FigureLayer.Forget();
    m_pPointer = nullptr;
    m_pMeasure = nullptr;
}

void CViewRect::PaintOutside(CDC* dc)
{
    if (!m_brHatch.GetSafeHandle() || !m_brBlack.GetSafeHandle()) return;
    const double ox = m_HScroll.GetPos();
    const double oy = m_VScroll.GetPos();
    const int right = std::clamp(static_cast<int>((m_nImageWidth - ox) / m_dScale), 0, m_nClientWidth);
    const int bottom = std::clamp(static_cast<int>((m_nImageHeight - oy) / m_dScale), 0, m_nClientHeight);
    // The hatch is anchored to the picture, so it moves with it when scrolling.
    dc->SetBrushOrg(-Round(ox / m_dScale), -Round(oy / m_dScale));
    if (right < m_nClientWidth) {
        const CRect r(right, 0, m_nClientWidth, bottom);
        if (!r.IsRectEmpty()) dc->FillRect(&r, &m_brHatch);
    }
    if (bottom < m_nClientHeight) {
        const CRect b(0, bottom, right, m_nClientHeight);
        if (!b.IsRectEmpty()) dc->FillRect(&b, &m_brHatch);
    }
    if (right < m_nClientWidth && bottom < m_nClientHeight) {
        const CRect c(right, bottom, m_nClientWidth, m_nClientHeight);
        dc->FillRect(&c, &m_brHatch);
    }
}

std::size_t CViewRect::RenderBufferNeed() const
{
    std::size_t need = BufferNeed(m_nClientWidth, m_nClientHeight, m_nBytesPerPixel);
    if (m_bFit && m_dScale > 0.0) {
        // Fitted views cache the whole shown picture in the buffer.
        const std::int64_t w = static_cast<std::int64_t>(m_nImageWidth / m_dScale);
        const std::int64_t h = static_cast<std::int64_t>(m_nImageHeight / m_dScale);
        need = std::max(need, BufferNeed(w, h, m_nBytesPerPixel));
    }
    return need;
}

void CViewRect::OnPaint()
{
    CPaintDC dc(this);
    ReadClientSize();
    m_ptOrigin = CPoint(Round(m_HScroll.GetPos()), Round(m_VScroll.GetPos()));
    if (!m_bPainted && !m_Views.empty() && m_nClientWidth > 0 && m_nClientHeight > 0) {
        if (EnsureBackBuffer(RenderBufferNeed()))
            RenderArea(&dc, CRect(0, 0, m_nClientWidth, m_nClientHeight));
    }
    m_bPainted = FALSE;
    PaintOutside(&dc);
}

BOOL CViewRect::OnEraseBkgnd(CDC*)
{
    // Every pixel is painted by the views or the hatch; erasing first would only flicker.
    return TRUE;
}

// --- resizing ------------------------------------------------------------------------------------

void CViewRect::OnSize(UINT type, int cx, int cy)
{
    if (m_Views.empty()) {
        ReadClientSize();
        CWnd::OnSize(type, cx, cy);
        return;
    }
    if (cx + cy < 2) {
        m_bMinimized = TRUE;
        return;
    }
    if (m_bMinimized) {
        m_bMinimized = FALSE;
        Redraw();
        return;
    }
    PauseOutline();
    CWnd::OnSize(type, cx, cy);
    ++m_nSizeDepth;
    ReadClientSize();
    m_HScroll.SetPage(std::floor(m_nClientWidth * m_dScale));
    m_VScroll.SetPage(std::floor(m_nClientHeight * m_dScale));
    // A larger window may leave the old position past the new end.
    m_HScroll.SetPos(std::clamp(m_HScroll.GetPos(), 0.0, MaxScrollX()));
    m_VScroll.SetPos(std::clamp(m_VScroll.GetPos(), 0.0, MaxScrollY()));
    bool rendered = false;
    if (m_nSizeDepth == 1) {
        if (m_bFit) {
            if (RenderBufferNeed() > m_nBitsSize)
                if (CVirtualView* view = GetActiveView()) view->SetDrawn(FALSE);
            EnsureBackBuffer(RenderBufferNeed());
            m_bPainted = FALSE;
        } else if (m_nClientWidth > 0 && m_nClientHeight > 0 && EnsureBackBuffer(RenderBufferNeed())) {
            // Every view renders now (not only the active one), so the paint that follows
            // may skip rendering without losing the overlays.
            CClientDC dc(this);
            RenderArea(&dc, CRect(0, 0, m_nClientWidth, m_nClientHeight));
            PaintOutside(&dc);
            rendered = true;
        }
    }
    --m_nSizeDepth;
    if (rendered) m_bPainted = TRUE;
    RefreshWorkingRegion();
    ResumeOutline();
}

// --- scrolling -----------------------------------------------------------------------------------

double CViewRect::LineStep() const
{
    if (!m_bFit) return m_dScale <= 1.0 ? 1.0 : std::ceil(m_dScale);
    return m_dScale > 1.0 ? m_dScale : std::ceil(1.0 / m_dScale) * m_dScale;
}

void CViewRect::OnHScroll(UINT code, UINT, CScrollBar*)
{
    Scroll(m_HScroll, true, code);
}

void CViewRect::OnVScroll(UINT code, UINT, CScrollBar*)
{
    Scroll(m_VScroll, false, code);
}

void CViewRect::Scroll(CScrollHelper& helper, bool horizontal, UINT code)
{
    if (m_Views.empty()) return;
    PauseOutline();
    const int p0 = Round(helper.GetPos());
    const double maxPos = horizontal ? MaxScrollX() : MaxScrollY();
    double pos = helper.GetPos();
    bool finished = false;
    auto snapped = [&](double track) {
        if (!m_bFit) return std::floor(track / m_dScale) * m_dScale;
        if (m_dScale <= 1.0) track = std::ceil(track);
        return std::ceil(track / m_dScale) * m_dScale;
    };
    switch (code) {
        case SB_LINELEFT:
            pos -= LineStep();
            break;
        case SB_LINERIGHT:
            pos += LineStep();
            break;
        case SB_PAGELEFT:
            pos -= helper.GetPage();
            break;
        case SB_PAGERIGHT:
            pos += helper.GetPage();
            break;
        case SB_THUMBTRACK:
            m_bTracking = TRUE;
            pos = snapped(helper.GetTrackPos());
            break;
        case SB_THUMBPOSITION:
            pos = snapped(helper.GetTrackPos());
            break;
        case SB_LEFT:
            pos = helper.GetMin();
            break;
        case SB_RIGHT:
            pos = helper.GetMax();
            break;
        case SB_ENDSCROLL:
            if (m_bTracking) finished = true;
            m_bTracking = FALSE;
            break;
        default:
            break;
    }
    helper.SetPos(std::clamp(std::trunc(pos), 0.0, maxPos));
    const int p1 = Round(helper.GetPos());
    const double d = (p0 - p1) / m_dScale;
    if (p0 == p1 || finished) {
        RefreshWorkingRegion();
        ResumeOutline();
        return;
    }
    CClientDC dc(this);
    const int extent = horizontal ? m_nClientWidth : m_nClientHeight;
    if (!EnsureBackBuffer(RenderBufferNeed())) {
        ResumeOutline();
        return;
    }
    // The screen moves only by whole pixels that stand for whole picture pixels; any other
    // move would leave the shifted content off by a fraction, so the window is rendered anew.
    if (!IsWhole(d) || std::fabs(d) >= extent) {
        RenderArea(&dc, CRect(0, 0, m_nClientWidth, m_nClientHeight));
    } else {
        const int shift = static_cast<int>(std::lround(d));
        const CRect client(0, 0, m_nClientWidth, m_nClientHeight);
        dc.ScrollDC(horizontal ? shift : 0, horizontal ? 0 : shift, &client, &client, nullptr, nullptr);
        // The uncovered strip, widened to start on a screen pixel that stands for a whole
        // picture pixel (a multiple of the shift does).
        const int width = std::abs(shift);
        int from = shift > 0 ? 0 : extent - width;
        from = (from / width) * width;
        const CRect strip = horizontal ? CRect(from, 0, shift > 0 ? width : m_nClientWidth, m_nClientHeight)
                                       : CRect(0, from, m_nClientWidth, shift > 0 ? width : m_nClientHeight);
        RenderArea(&dc, strip);
    }
    PaintOutside(&dc);
    m_ptOrigin = CPoint(Round(m_HScroll.GetPos()), Round(m_VScroll.GetPos()));
    RefreshWorkingRegion();
    ResumeOutline();
}

// --- notifications -------------------------------------------------------------------------------

LRESULT CViewRect::OnViewer(WPARAM wParam, LPARAM lParam)
{
    auto* note = reinterpret_cast<CViewNotify*>(wParam);
    const int code = static_cast<int>(lParam);
    CWnd* parent = GetParent();
    // The record goes on to the parent, which deletes it; without one it ends here.
    auto forward = [&](bool send) {
        if (!parent || !parent->GetSafeHwnd()) {
            delete note;
            return;
        }
        if (send)
            parent->SendMessage(WM_VIEWER, wParam, lParam);
        else if (!platform::PostMessageOwning(parent->GetSafeHwnd(), WM_VIEWER, wParam, lParam,
                                              [note] { delete note; }))
            delete note;  // a parent closed before the report arrives frees it unread
    };
    if (!note) return 1;
    const int pos = PositionOfId(note->m_nIndex);
    switch (code) {
        case kViewerShown: {
            if (pos < 0) {  // a view that is gone
                delete note;
                return 1;
            }
            CVirtualView* view = m_Views[static_cast<std::size_t>(pos)];
            if (pos == m_nActive && (note->m_nArg == 3 || note->m_nArg == 15)) {
                Redraw();
                forward(false);
                return 1;
            }
            if (pos == m_nActive) {
                m_nImageWidth = view->GetWidth();
                m_nImageHeight = view->GetHeight();
                view->SetShown(TRUE);
                ReadClientSize();
                m_dScale = 1.0;
                m_nZoomStep = 1;
                m_bFit = FALSE;
                UpdateBars(0, 0);
                m_bPainted = FALSE;
                Redraw();
            }
            forward(false);
            view->SetZoom(m_dScale, 0);
            return 1;
        }
        case kViewerFailed:
            if (pos < 0) {
                delete note;
                return 1;
            }
            RemoveViewAt(pos);
            AfterStackEmptied();
            m_bPainted = FALSE;
            forward(false);
            Redraw();
            return 1;
        case kViewerPaletteChanged:
        case kViewerStatisticsDone:
        case kViewerReopened:
            if (pos < 0) {
                delete note;
                return 1;
            }
            forward(true);
            return 1;
        default:
            delete note;
            return 1;
    }
}

LRESULT CViewRect::OnQueryAlive(WPARAM, LPARAM)
{
    return 1;
}
