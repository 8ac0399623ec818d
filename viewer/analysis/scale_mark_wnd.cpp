#include "viewer/analysis/scale_mark_wnd.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "outside/basecore/nearest_step.h"
#include "platform/gdi/metafile.h"
#include "platform/gdi/window_dc.h"
#include "platform/menu/menu.h"
#include "platform/shell/clipboard_change.h"
#include "platform/window/cursor.h"
#include "viewer/analysis/pixel_stretch.h"
#include "viewer/core/viewer_resources.h"
#include "viewer/core/viewer_messages.h"

namespace {

constexpr int kMargin = 5;
// Room above a horizontal bar and to the right of a vertical one for the labels.
constexpr int kLabelHeight = 10;
constexpr int kLabelWidth = 30;
// Least free room between two labels side by side.
constexpr int kLabelGap = 4;
constexpr int kDockInset = 4;
constexpr int kSnapDistance = 10;
// Below this the bar has no room; the window is kept at least this large.
constexpr int kMinWidth = 40;
constexpr int kMinHeight = 30;
constexpr std::int64_t kMaxMarks = 1000;

int Trunc(double v)
{
    if (!(v == v)) return 0;
    return static_cast<int>(std::clamp(v, -1e9, 1e9));
}

CString Label(double v)
{
    CString s;
    s.Format("%g", v);
    return s;
}

}  // namespace

// clang-format off
BEGIN_MESSAGE_MAP(CScaleMarkWnd, CWnd)
    ON_WM_CREATE()
    ON_WM_SIZE()
    ON_WM_SIZING()
    ON_WM_PAINT()
    ON_WM_NCPAINT()
    ON_WM_ERASEBKGND()
    ON_WM_LBUTTONDOWN()
    ON_WM_MOUSEMOVE()
    ON_WM_LBUTTONUP()
    ON_WM_CONTEXTMENU()
    ON_COMMAND(ID_SCALE_HORIZONTAL, OnHorizontal)
    ON_COMMAND(ID_SCALE_VERTICAL, OnVertical)
    ON_COMMAND(ID_SCALE_COPY, OnCopy)
    ON_COMMAND(ID_SCALE_HIDE, OnHide)
    ON_COMMAND(ID_SCALE_PALETTE, OnViewPalette)
END_MESSAGE_MAP()
// clang-format on

CScaleMarkWnd::CScaleMarkWnd()
{
    SetAnchor(nullptr, 5, 0);
}

CScaleMarkWnd::~CScaleMarkWnd()
{
    if (m_memDC.GetSafeHdc()) {
        if (m_hOldBitmap) ::SelectObject(m_memDC.GetSafeHdc(), m_hOldBitmap);
        m_memDC.DeleteDC();
    }
    if (m_hBack) ::DeleteObject(m_hBack);
    if (m_contextMenu) ::DestroyMenu(m_contextMenu);
}

BOOL CScaleMarkWnd::Create(CWnd* owner)
{
    LPCTSTR cls = AfxRegisterWndClass(CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW, ::LoadCursor(nullptr, IDC_ARROW));
    m_bCreated =
        CreateEx(0, cls, "", WS_POPUP | WS_VISIBLE | WS_THICKFRAME, CRect(0, 0, 100, 50), owner, 0) != FALSE;
    return m_bCreated ? TRUE : FALSE;
}

void CScaleMarkWnd::PostNcDestroy()
{
    if (m_bCreated) delete this;
}

int CScaleMarkWnd::OnCreate(LPCREATESTRUCT cs)
{
    if (CWnd::OnCreate(cs) == -1) return -1;
    CRect c;
    GetClientRect(&c);
    m_size = c.Size();
    CClientDC dc(this);
    if (!m_memDC.CreateCompatibleDC(&dc)) return -1;
    m_memDC.SetStretchBltMode(HALFTONE);
    m_hBack =
        ::CreateCompatibleBitmap(dc.GetSafeHdc(), std::max(1, int(m_size.cx)), std::max(1, int(m_size.cy)));
    if (!m_hBack) return -1;
    m_hOldBitmap = ::SelectObject(m_memDC.GetSafeHdc(), m_hBack);
    return 0;
}

void CScaleMarkWnd::SetAnchor(CWnd* dock, int anchor, int orientation)
{
    m_pDock = dock;
    m_nAnchor = anchor;
    m_nOrientation = orientation;
    CalcLayout();
}

void CScaleMarkWnd::SetPalette(const PalitraTag* palette)
{
    if (!palette) return;
    for (int i = 0; i < 256; ++i) {
        m_palette[i * 4] = palette->rgb[i][2];
        m_palette[i * 4 + 1] = palette->rgb[i][1];
        m_palette[i * 4 + 2] = palette->rgb[i][0];
    }
    Render(&m_memDC);
}

void CScaleMarkWnd::SetValueRange(double low, double high)
{
    m_dMin = low;
    m_dMax = high;
    Render(&m_memDC);
}

void CScaleMarkWnd::CalcLayout()
{
    int left = kMargin, right = kMargin, top = kMargin, bottom = kMargin;
    if (m_nOrientation == 0) {
        top += kLabelHeight;
        m_size = m_horzSize;
    } else if (m_nOrientation == 1) {
        right += kLabelWidth;
        m_size = m_vertSize;
    }
    m_bar = CRect(left, top, m_size.cx - right, m_size.cy - bottom);
}

void CScaleMarkWnd::OnSize(UINT type, int cx, int cy)
{
    CWnd::OnSize(type, cx, cy);
    (m_nOrientation == 1 ? m_vertSize : m_horzSize) = CSize(cx, cy);
    CalcLayout();
    RecreateBackBitmap();
    Render(&m_memDC);
}

void CScaleMarkWnd::OnSizing(UINT edge, LPRECT rect)
{
    CWnd::OnSizing(edge, rect);
    if (rect->right - rect->left < kMinWidth) rect->right = rect->left + kMinWidth;
    if (rect->bottom - rect->top < kMinHeight) rect->bottom = rect->top + kMinHeight;
}

void CScaleMarkWnd::RecreateBackBitmap()
{
    if (!m_memDC.GetSafeHdc()) return;
    CClientDC dc(this);
    const HBITMAP back =
        ::CreateCompatibleBitmap(dc.GetSafeHdc(), std::max(1, int(m_size.cx)), std::max(1, int(m_size.cy)));
    if (!back) return;
    ::SelectObject(m_memDC.GetSafeHdc(), back);
    if (m_hBack) ::DeleteObject(m_hBack);
    m_hBack = back;
}

void CScaleMarkWnd::Render(CDC* dc)
{
    if (!dc || !dc->GetSafeHdc() || !GetSafeHwnd()) return;
    CRect all(0, 0, m_size.cx, m_size.cy);
    CBrush white, black;
    white.CreateSolidBrush(RGB(255, 255, 255));
    black.CreateSolidBrush(RGB(0, 0, 0));
    dc->FillRect(&all, &white);
    // No bar and no marks while the bar has no room.
    if (m_bar.Width() > 0 && m_bar.Height() > 0) {
        CRect frame = m_bar;
        frame.InflateRect(1, 1);
        dc->FrameRect(&frame, &black);
        DrawMarks(*dc);
        const int w = m_bar.Width(), h = m_bar.Height();
        std::vector<BYTE> pixels(std::size_t(w) * std::size_t(h) * 4);
        const PixelBlock source = m_nOrientation == 1 ? PixelBlock{m_palette.data(), 1, 256, 4, 4}
                                                      : PixelBlock{m_palette.data(), 256, 1, 4, 1024};
        StretchColourPixels({pixels.data(), w, h, 4, 4 * w}, source);
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = w;
        info.bmiHeader.biHeight = h;  // bottom-up: entry 0 at the bottom of a vertical bar
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        ::SetDIBitsToDevice(dc->GetSafeHdc(), m_bar.left, m_bar.top, DWORD(w), DWORD(h), 0, 0, 0, UINT(h),
                            pixels.data(), &info, DIB_RGB_COLORS);
    }
    Invalidate(TRUE);
}

double CScaleMarkWnd::GetMarkStep(int length, double maximum, double minimum)
{
    if (maximum == minimum || length <= 0) return -1.0;
    const double raw = (maximum - minimum) / (length / 25.0);
    if (!std::isfinite(raw)) return -1.0;
    const double step = GetNearestStep(raw);
    return step > 0.0 && std::isfinite(step) ? step : -1.0;
}

void CScaleMarkWnd::DrawMarks(CDC& dc)
{
    const bool vertical = m_nOrientation == 1;
    if (m_nOrientation != 0 && !vertical) return;
    const int length = vertical ? m_bar.Height() : m_bar.Width();
    const double step = GetMarkStep(length, m_dMax, m_dMin);
    if (step <= 0.0) return;
    const double ppu = length / (m_dMax - m_dMin);
    const double first = std::ceil(m_dMin / step) * step;
    const double last = std::floor(m_dMax / step) * step;
    const std::int64_t n = std::clamp<std::int64_t>(std::int64_t((last - first) / step), -1, kMaxMarks);
    if (n < 0) return;
    CPen pen;
    pen.CreatePen(PS_SOLID, 1, RGB(0, 0, 0));
    CPen* oldPen = dc.SelectObject(&pen);
    // Labels are in the window's own font; a label that would run into one already placed
    // is left out (its tick stays), the first and the last are always shown.
    CFont* font = GetFont();
    CFont* oldFont = font ? dc.SelectObject(font) : nullptr;
    m_labelRects.clear();
    const auto place = [&](std::int64_t k, bool isFirst, bool isLast) {
        const double value = first + double(k) * step;
        const CString text = Label(value);
        const CSize extent = dc.GetTextExtent(text);
        CRect r;
        if (vertical) {
            const int y = m_bar.bottom - Trunc((value - m_dMin) * ppu) - (isLast ? 1 : 0);
            dc.MoveTo(m_bar.right, y);
            dc.LineTo(m_bar.right + 5, y);
            r = CRect(m_bar.right + 6, y - extent.cy / 2, m_bar.right + 6 + extent.cx,
                      y - extent.cy / 2 + extent.cy);
            if (r.bottom > m_bar.bottom + kMargin) r.OffsetRect(0, m_bar.bottom + kMargin - r.bottom);
            if (r.top < 0) r.OffsetRect(0, -r.top);
            // A label wider than its band moves over the ticks rather than out of the window.
            if (r.right > m_size.cx - 1)
                r.OffsetRect(std::max<LONG>(m_size.cx - 1 - r.right, m_bar.right + 1 - r.left), 0);
        } else {
            const int x = m_bar.left + Trunc((value - m_dMin) * ppu);
            dc.MoveTo(x, m_bar.top);
            dc.LineTo(x, m_bar.top - 5);
            r = CRect(x - extent.cx / 2, std::max(0, int(m_bar.top) - 3 - int(extent.cy)), 0, 0);
            r.right = r.left + extent.cx;
            r.bottom = r.top + extent.cy;
            const int edge = isFirst ? 2 : 1;
            if (r.right > m_size.cx - edge) r.OffsetRect(m_size.cx - edge - r.right, 0);
            if (r.left < edge) r.OffsetRect(edge - r.left, 0);
        }
        return std::pair{text, r};
    };
    const auto clashes = [&](const CRect& r, const CRect& other) {
        CRect grown = other;
        grown.InflateRect(vertical ? 0 : kLabelGap, vertical ? 1 : 0);
        CRect common;
        return common.IntersectRect(&r, &grown) != FALSE;
    };
    const auto show = [&](const std::pair<CString, CRect>& label) {
        CRect r = label.second;
        dc.DrawText(label.first, &r, DT_LEFT | DT_TOP | DT_NOCLIP);
        m_labelRects.push_back(label.second);
    };
    const auto firstLabel = place(0, true, false);
    const auto lastLabel = place(n, false, true);
    show(firstLabel);
    CRect previous = firstLabel.second;
    for (std::int64_t k = 1; k < n; ++k) {
        const auto label = place(k, false, false);
        if (clashes(label.second, previous) || clashes(label.second, lastLabel.second)) continue;
        show(label);
        previous = label.second;
    }
    if (n > 0 && !clashes(lastLabel.second, firstLabel.second)) show(lastLabel);
    if (n == 0 && lastLabel.second != firstLabel.second) show(lastLabel);
    if (oldFont) dc.SelectObject(oldFont);
    dc.SelectObject(oldPen);
}

void CScaleMarkWnd::OnPaint()
{
    CPaintDC dc(this);
    if (m_memDC.GetSafeHdc())
        ::BitBlt(dc.GetSafeHdc(), 0, 0, m_size.cx, m_size.cy, m_memDC.GetSafeHdc(), 0, 0, SRCCOPY);
}

void CScaleMarkWnd::OnNcPaint()
{
    // The sizing border is the scale's own: white with a black line, like the bar's frame.
    CWindowDC dc(this);
    CRect window, client;
    GetWindowRect(&window);
    GetClientRect(&client);
    ClientToScreen(&client);
    client.OffsetRect(-window.left, -window.top);
    window.OffsetRect(-window.left, -window.top);
    dc.ExcludeClipRect(&client);
    CBrush white, black;
    white.CreateSolidBrush(RGB(255, 255, 255));
    black.CreateSolidBrush(RGB(0, 0, 0));
    dc.FillRect(&window, &white);
    dc.FrameRect(&window, &black);
}

BOOL CScaleMarkWnd::OnEraseBkgnd(CDC*)
{
    return TRUE;
}

void CScaleMarkWnd::Reposition()
{
    if (!m_pDock || !m_pDock->GetSafeHwnd() || !GetSafeHwnd()) return;
    CRect c, r;
    m_pDock->GetClientRect(&c);
    m_pDock->ClientToScreen(&c);
    GetWindowRect(&r);
    const int w = r.Width(), h = r.Height();
    if (m_nAnchor & 1) {
        r.left = c.left + kDockInset;
        r.right = r.left + w;
    }
    if (m_nAnchor & 2) {
        r.right = c.right - kDockInset;
        r.left = r.right - w;
    }
    if (m_nAnchor & 4) {
        r.top = c.top + kDockInset;
        r.bottom = r.top + h;
    }
    if (m_nAnchor & 8) {
        r.bottom = c.bottom - kDockInset;
        r.top = r.bottom - h;
    }
    MoveWindow(&r, TRUE);
}

CRect CScaleMarkWnd::SnapToDock(CRect r)
{
    if (!m_pDock || !m_pDock->GetSafeHwnd()) return r;
    CRect c;
    m_pDock->GetClientRect(&c);
    m_pDock->ClientToScreen(&c);
    const int dTop = r.top - c.top - kDockInset, dBottom = c.bottom - r.bottom - kDockInset;
    const int dLeft = r.left - c.left - kDockInset, dRight = c.right - r.right - kDockInset;
    m_nAnchor = 0;
    if (std::abs(dTop) < kSnapDistance) {
        r.OffsetRect(0, c.top + kDockInset - r.top);
        m_nAnchor |= 4;
    } else if (std::abs(dBottom) < kSnapDistance) {
        r.OffsetRect(0, c.bottom - kDockInset - r.bottom);
        m_nAnchor |= 8;
    }
    if (std::abs(dLeft) < kSnapDistance) {
        r.OffsetRect(c.left + kDockInset - r.left, 0);
        m_nAnchor |= 1;
    } else if (std::abs(dRight) < kSnapDistance) {
        r.OffsetRect(c.right - kDockInset - r.right, 0);
        m_nAnchor |= 2;
    }
    return r;
}

void CScaleMarkWnd::OnLButtonDown(UINT flags, CPoint point)
{
    CWnd::OnLButtonDown(flags, point);
    SetCapture();
    m_bDragging = true;
    GetWindowRect(&m_pressRect);
    m_pressPoint = point + m_pressRect.TopLeft();
}

void CScaleMarkWnd::OnMouseMove(UINT flags, CPoint point)
{
    if (m_bDragging) {
        CRect now;
        GetWindowRect(&now);
        const CPoint at = point + now.TopLeft();
        CRect r = m_pressRect;
        r.OffsetRect(at - m_pressPoint);
        r = SnapToDock(r);
        MoveWindow(&r, TRUE);
    }
    CWnd::OnMouseMove(flags, point);
}

void CScaleMarkWnd::OnLButtonUp(UINT, CPoint)
{
    ::ReleaseCapture();
    m_bDragging = false;
}

void CScaleMarkWnd::OnContextMenu(CWnd*, CPoint point)
{
    // Loaded on first use and kept: its check marks follow the orientation.
    if (!m_contextMenu) m_contextMenu = platform::LoadMenuFromResource(IDR_VIEWER_CONTEXT_MENUS);
    HMENU popup = m_contextMenu ? ::GetSubMenu(m_contextMenu, kContextScale) : nullptr;
    if (!popup) return;
    ::CheckMenuItem(popup, ID_SCALE_HORIZONTAL,
                    MF_BYCOMMAND | (m_nOrientation == 0 ? MF_CHECKED : MF_UNCHECKED));
    ::CheckMenuItem(popup, ID_SCALE_VERTICAL,
                    MF_BYCOMMAND | (m_nOrientation == 1 ? MF_CHECKED : MF_UNCHECKED));
    ::TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_RIGHTBUTTON, point.x, point.y, 0, GetSafeHwnd(), nullptr);
}

void CScaleMarkWnd::OnHorizontal()
{
    if (m_nOrientation == 1) m_vertSize = m_size;
    m_nOrientation = 0;
    ApplyOrientation();
}

void CScaleMarkWnd::OnVertical()
{
    if (m_nOrientation == 0) m_horzSize = m_size;
    m_nOrientation = 1;
    ApplyOrientation();
}

void CScaleMarkWnd::ApplyOrientation()
{
    CalcLayout();
    FitWindowToLayout();
    RecreateBackBitmap();
    Render(&m_memDC);
    Reposition();
}

void CScaleMarkWnd::FitWindowToLayout()
{
    CRect w, c;
    GetWindowRect(&w);
    GetClientRect(&c);
    const CSize wanted = m_size;  // a resize below rewrites the size of the orientation
    MoveWindow(w.left, w.top, w.Width() + wanted.cx - c.Width(), w.Height() + wanted.cy - c.Height(), TRUE);
    m_size = wanted;
}

void CScaleMarkWnd::OnCopy()
{
    CopyToClipboard();
}

void CScaleMarkWnd::CopyToClipboard()
{
    if (!m_hBack || !GetSafeHwnd()) return;
    if (::OpenClipboard(GetSafeHwnd())) {
        ::EmptyClipboard();
        ::SetClipboardData(CF_BITMAP, m_hBack);
        ::CloseClipboard();
    }
    CClientDC screen(this);
    CMetaFileDC meta;
    if (!meta.CreateEnhanced(&screen, nullptr, nullptr, nullptr)) return;
    Render(&meta);
    const HENHMETAFILE drawing = meta.CloseEnhanced();
    if (!drawing) return;
    if (::OpenClipboard(GetSafeHwnd())) {
        ::SetClipboardData(CF_ENHMETAFILE, drawing);
        ::CloseClipboard();
    }
    ::DeleteEnhMetaFile(drawing);
}

void CScaleMarkWnd::OnHide()
{
    if (CWnd* frame = GetOwner()) frame->PostMessage(WM_COMMAND, ID_SCALE_HIDE, 0);
}

void CScaleMarkWnd::OnViewPalette()
{
    if (CWnd* frame = GetOwner()) frame->PostMessage(WM_COMMAND, ID_SCALE_PALETTE, 0);
}
