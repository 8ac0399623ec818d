#include "app/toolbars/tar_buttons.h"

#include <cstdlib>

#include "app/toolbars/toolbar_band.h"
#include "app/toolbars/toolbar_ids.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/region.h"
#include "platform/gdi/window_dc.h"
#include "platform/window/cursor.h"
#include "platform/window/hooks.h"

using namespace tarvenix::toolbars;

namespace {

COLORREF Face()
{
    return GetSysColor(COLOR_BTNFACE);
}

void DrawFrame(CDC& dc, const CRect& r, int look)
{
    switch (look) {
        case TarButtons::kRaised:
            dc.Draw3dRect(&r, GetSysColor(COLOR_BTNHIGHLIGHT), GetSysColor(COLOR_BTNSHADOW));
            break;
        case TarButtons::kPressed:
            dc.Draw3dRect(&r, GetSysColor(COLOR_BTNSHADOW), GetSysColor(COLOR_BTNHIGHLIGHT));
            break;
        default:
            dc.Draw3dRect(&r, Face(), Face());
            break;
    }
}

void SendToParent(CWnd& wnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (CWnd* parent = wnd.GetParent()) parent->SendMessage(message, wParam, lParam);
}

void PostToParent(CWnd& wnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (CWnd* parent = wnd.GetParent()) parent->PostMessage(message, wParam, lParam);
}

bool InClient(const CWnd& wnd, CPoint point)
{
    CRect client;
    wnd.GetClientRect(&client);
    return client.PtInRect(point) != FALSE;
}

}  // namespace

LPCTSTR TarButtonClassName()
{
    static const LPCTSTR name = AfxRegisterWndClass(CS_VREDRAW | CS_HREDRAW, LoadCursor(nullptr, IDC_ARROW));
    return name;
}

// --- TarButtons ----------------------------------------------------------------------------------

BEGIN_MESSAGE_MAP(TarButtons, CWnd)
    ON_WM_PAINT()
    ON_WM_ERASEBKGND()
    ON_WM_MOUSEMOVE()
    ON_WM_LBUTTONDOWN()
    ON_WM_LBUTTONUP()
    ON_MESSAGE(WM_TAR_NOT_HOT, OnNotHot)
END_MESSAGE_MAP()

TarButtons::~TarButtons()
{
    if (m_hWnd) DestroyWindow();
}

BOOL TarButtons::Create(LPCTSTR caption, DWORD style, const RECT& rect, CWnd* parent, UINT id,
                        CImageList* colour, CImageList* gray, int index, CFont** font, int fontHeight,
                        int captionLayout)
{
    m_colour = colour;
    m_gray = gray;
    m_imageIndex = -1;
    m_imageSize = CSize(0, 0);
    // A strip that could not be loaded leaves its list short: the button then has no image.
    int cx = 0, cy = 0;
    if (colour && index >= 0 && index < colour->GetImageCount() && colour->GetIconSize(cx, cy)) {
        m_imageIndex = index;
        m_imageSize = CSize(cx, cy);
    }
    m_font = font;
    m_fontHeight = fontHeight;
    m_captionLayout = captionLayout;
    m_caption = caption ? caption : "";
    m_commandId = id;
    if (!CWnd::Create(TarButtonClassName(), caption, style, rect, parent, id)) return FALSE;
    LayoutContent();
    return TRUE;
}

BOOL TarButtons::Create(LPCTSTR caption, DWORD style, const RECT& rect, CWnd* parent, UINT id, CFont** font,
                        int fontHeight, int captionLayout)
{
    return Create(caption, style, rect, parent, id, nullptr, nullptr, -1, font, fontHeight, captionLayout);
}

void TarButtons::LayoutContent()
{
    CRect client;
    GetClientRect(&client);
    const int w = client.Width(), h = client.Height();
    if (m_captionLayout == kCaptionBeside) {
        m_imageX = 3;
        const int middle = (client.top + client.bottom) / 2;
        const int rise = static_cast<int>(std::abs(m_fontHeight) * 0.66);
        m_captionRect = CRect(m_imageSize.cx + 4, middle - rise, w - 3, h - 3);
        m_captionFormat = DT_CENTER;
    } else {
        m_imageX = std::max(3, w / 2 - m_imageSize.cx / 2);
        m_captionRect = CRect(3, m_imageSize.cy + 4, w - 3, h - 3);
        m_captionFormat = DT_CENTER | DT_WORDBREAK;
    }
    m_pressedCaptionRect = m_captionRect;
    m_pressedCaptionRect.OffsetRect(2, 2);
}

void TarButtons::SetLook(int look)
{
    if (m_look == look) return;
    m_look = look;
    Invalidate(FALSE);
}

void TarButtons::ReportEntry()
{
    if (!m_report) return;
    m_report = false;
    SendToParent(*this, WM_TAR_HOT, reinterpret_cast<WPARAM>(m_hWnd), 0);
}

void TarButtons::DrawImage(CDC& dc, int look, int x, int y) const
{
    if (m_imageIndex < 0) return;
    CImageList* list = look == kFlat ? m_gray : m_colour;
    if (list && m_imageIndex < list->GetImageCount())
        list->Draw(&dc, m_imageIndex, CPoint(x, y), ILD_TRANSPARENT);
}

void TarButtons::PaintFace(CDC& dc, const CRect& client)
{
    dc.FillSolidRect(&client, Face());
    CFont* oldFont = m_font && *m_font ? dc.SelectObject(*m_font) : nullptr;
    dc.SetBkColor(Face());
    dc.SetTextColor(GetSysColor(COLOR_BTNTEXT));
    CRect caption = m_look == kPressed ? m_pressedCaptionRect : m_captionRect;
    if (m_look == kPressed)
        DrawImage(dc, m_look, m_imageX + 2, 5);
    else
        DrawImage(dc, m_look, m_imageX, 3);
    dc.DrawText(m_caption, &caption, m_captionFormat);
    DrawFrame(dc, client, m_look);
    if (oldFont) dc.SelectObject(oldFont);
}

void TarButtons::OnPaint()
{
    CPaintDC dc(this);
    CRect client;
    GetClientRect(&client);
    PaintFace(dc, client);
}

void TarButtons::OnMouseMove(UINT, CPoint point)
{
    ReportEntry();
    m_inside = InClient(*this, point);
    SetLook(m_inside ? (m_pressed ? kPressed : kRaised) : kFlat);
}

void TarButtons::OnLButtonDown(UINT, CPoint)
{
    m_pressed = true;
    m_inside = true;
    SetLook(kPressed);
    SetCapture();
}

void TarButtons::OnLButtonUp(UINT, CPoint point)
{
    if (!m_pressed) return;
    m_pressed = false;
    m_inside = InClient(*this, point);
    // Let go outside: the button goes back to flat at once and sends nothing.
    SetLook(m_inside ? kRaised : kFlat);
    ReleaseCapture();
    if (m_inside) PostToParent(*this, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(m_commandId), 0), 0);
}

LRESULT TarButtons::OnNotHot(WPARAM, LPARAM)
{
    m_report = true;
    SetLook(kFlat);
    return 0;
}

// --- TarPressButtons -----------------------------------------------------------------------------

BEGIN_MESSAGE_MAP(TarPressButtons, TarButtons)
    ON_WM_PAINT()
    ON_WM_MOUSEMOVE()
    ON_WM_LBUTTONDOWN()
    ON_WM_LBUTTONUP()
    ON_MESSAGE(WM_TAR_NOT_HOT, OnNotHot)
    ON_MESSAGE(WM_TAR_RELEASE, OnRelease)
END_MESSAGE_MAP()

BOOL TarPressButtons::Create(LPCTSTR caption, DWORD style, const RECT& rect, CWnd* parent, UINT id,
                             CImageList* colour, CImageList* gray, int index, CFont** font, int fontHeight,
                             int captionLayout, int rowIndex, CBitmap* pattern)
{
    m_rowIndex = rowIndex;
    m_pattern = pattern;
    return TarButtons::Create(caption, style, rect, parent, id, colour, gray, index, font, fontHeight,
                              captionLayout);
}

void TarPressButtons::Check()
{
    m_checked = true;
    SetLook(kPressed);
}

void TarPressButtons::OnPaint()
{
    CPaintDC dc(this);
    CRect client;
    GetClientRect(&client);
    if (m_look != kPressed) {
        PaintFace(dc, client);
        return;
    }
    // The pressed selector sits on a checkerboard of highlight and face, as a latched
    // button does.
    CRect around = client;
    around.InflateRect(1, 1);
    CBrush pattern;
    if (m_pattern && m_pattern->GetSafeHandle() && pattern.CreatePatternBrush(m_pattern)) {
        CPen outline(PS_SOLID, 1, Face());
        CPen* oldPen = dc.SelectObject(&outline);
        CBrush* oldBrush = dc.SelectObject(&pattern);
        dc.Rectangle(&around);
        dc.SelectObject(oldBrush);
        dc.SelectObject(oldPen);
    } else {
        dc.FillSolidRect(&client, Face());
    }
    CFont* oldFont = m_font && *m_font ? dc.SelectObject(*m_font) : nullptr;
    dc.SetTextColor(GetSysColor(COLOR_BTNTEXT));
    DrawImage(dc, kPressed, m_imageX + 2, 5);
    dc.SetBkMode(TRANSPARENT);
    CRect caption = m_pressedCaptionRect;
    dc.DrawText(m_caption, &caption, m_captionFormat);
    DrawFrame(dc, client, kPressed);
    if (oldFont) dc.SelectObject(oldFont);
}

void TarPressButtons::OnMouseMove(UINT flags, CPoint point)
{
    if (!m_checked) return TarButtons::OnMouseMove(flags, point);
    ReportEntry();
    m_inside = InClient(*this, point);
}

void TarPressButtons::OnLButtonDown(UINT, CPoint)
{
    m_pressed = true;
    m_inside = true;
    if (!m_checked) SetLook(kPressed);
    SetCapture();
}

void TarPressButtons::OnLButtonUp(UINT, CPoint point)
{
    if (!m_pressed) return;
    m_pressed = false;
    ReleaseCapture();
    m_inside = InClient(*this, point);
    if (m_checked) return;  // a click on the page shown already does nothing
    if (!m_inside) {
        SetLook(kFlat);
        return;
    }
    m_checked = true;
    SetLook(kPressed);
    SendToParent(*this, WM_TAR_TOGGLED, static_cast<WPARAM>(m_rowIndex), 0);
    PostToParent(*this, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(m_commandId), 0), 0);
}

LRESULT TarPressButtons::OnNotHot(WPARAM, LPARAM)
{
    m_report = true;
    if (!m_checked) SetLook(kFlat);
    return 0;
}

LRESULT TarPressButtons::OnRelease(WPARAM, LPARAM)
{
    m_checked = false;
    m_look = kPressed;  // repaint even when the look was pressed already
    SetLook(kFlat);
    return 0;
}

// --- TarScrollArrow -----------------------------------------------------------------------------

BEGIN_MESSAGE_MAP(TarScrollArrow, TarButtons)
    ON_WM_PAINT()
    ON_WM_LBUTTONDOWN()
    ON_WM_LBUTTONUP()
    ON_WM_TIMER()
END_MESSAGE_MAP()

BOOL TarScrollArrow::Create(LPCTSTR caption, DWORD style, const RECT& rect, CWnd* parent, UINT id,
                            int direction)
{
    m_direction = direction < 0 ? -1 : 1;
    if (!TarButtons::Create(caption, style, rect, parent, id, nullptr, 0)) return FALSE;
    ComputeTriangle();
    return TRUE;
}

void TarScrollArrow::ComputeTriangle()
{
    CRect client;
    GetClientRect(&client);
    const int w = client.Width(), h = client.Height();
    int m = (w - 6) * 2 / 3;
    if (h - 6 < 2 * m - 1) m = ((h - 6) / 2 * 2) / 2;
    const int cy = h / 2;
    if (m_direction < 0) {
        const int apex = w / 2 - m / 2;
        m_triangle[0] = POINT{apex, cy};
        m_triangle[1] = POINT{apex + m, cy - m};
        m_triangle[2] = POINT{apex + m, cy + m};
    } else {
        const int apex = w / 2 + m / 2;
        m_triangle[0] = POINT{apex, cy};
        m_triangle[1] = POINT{apex - m, cy - m};
        m_triangle[2] = POINT{apex - m, cy + m};
    }
}

void TarScrollArrow::OnPaint()
{
    CPaintDC dc(this);
    CRect client;
    GetClientRect(&client);
    dc.FillSolidRect(&client, Face());
    DrawFrame(dc, client, m_look);
    CGdiObject* oldBrush = dc.SelectStockObject(BLACK_BRUSH);
    CGdiObject* oldPen = dc.SelectStockObject(BLACK_PEN);
    dc.Polygon(m_triangle, 3);
    if (oldBrush) dc.SelectObject(oldBrush);
    if (oldPen) dc.SelectObject(oldPen);
}

void TarScrollArrow::OnLButtonDown(UINT, CPoint)
{
    m_pressed = true;
    m_inside = true;
    SetLook(kPressed);
    SetCapture();
    m_step = 1;
    SetTimer(1, kTickMs);
}

void TarScrollArrow::OnTimer(UINT_PTR id)
{
    if (id != 1 || !m_pressed) return;
    if (!m_inside) {
        m_step = 0;
        return;
    }
    PostToParent(*this, WM_TAR_SCROLL, GetDlgCtrlID(), m_step);
    ++m_step;
}

void TarScrollArrow::OnLButtonUp(UINT, CPoint point)
{
    if (!m_pressed) return;
    m_pressed = false;
    m_inside = InClient(*this, point);
    SetLook(m_inside ? kRaised : kFlat);
    ReleaseCapture();
    KillTimer(1);
    if (m_inside) PostToParent(*this, WM_TAR_SCROLL, GetDlgCtrlID(), kReleaseStep);
}

// --- TarMenu -----------------------------------------------------------------------------------------

namespace {

// The popup that is up and what its mouse hook has seen. One popup at a time exists on
// the user-interface thread, so one record serves every menu-bar button.
struct OpenPopup {
    HHOOK hook = nullptr;
    bool installed = false;
    TarMenu* button = nullptr;
    bool pressOnButton = false;
    bool slid = false;  ///< the press that opens a neighbour's popup is on its way
};
OpenPopup g_popup;

}  // namespace

LRESULT TarMenuMouseHook(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* info = reinterpret_cast<const MOUSEHOOKSTRUCT*>(lParam);
    TarMenu* open = g_popup.button;
    if (open && info && open->m_hWnd) {
        if (code == HC_ACTION && wParam == WM_MOUSEMOVE && !g_popup.slid) {
            CWnd* under = CWnd::WindowFromPoint(info->pt);
            if (under && under != open && under->GetParent() == open->GetParent()) {
                // Only one press per popup: a second one would reach the neighbour while
                // its own popup is up and close it again.
                g_popup.slid = true;
                ::PostMessage(open->m_hWnd, WM_TAR_NOT_HOT, 0, 0);
                ::PostMessage(under->m_hWnd, WM_LBUTTONDOWN, MK_LBUTTON, 0);
            }
        } else if (code == HC_NOREMOVE && wParam == WM_LBUTTONDOWN && info->hwnd == open->m_hWnd) {
            g_popup.pressOnButton = true;
        }
    }
    return CallNextHookEx(g_popup.hook, code, wParam, lParam);
}

BEGIN_MESSAGE_MAP(TarMenu, CWnd)
    ON_WM_PAINT()
    ON_WM_ERASEBKGND()
    ON_WM_NCHITTEST()
    ON_WM_MOUSEMOVE()
    ON_WM_LBUTTONDOWN()
    ON_WM_LBUTTONUP()
    ON_MESSAGE(WM_TAR_NOT_HOT, OnNotHot)
    ON_MESSAGE(WM_TAR_POPUP_CLOSED, OnPopupClosed)
END_MESSAGE_MAP()

TarMenu::~TarMenu()
{
    if (g_popup.button == this) g_popup.button = nullptr;
    if (m_hWnd) DestroyWindow();
}

BOOL TarMenu::Create(LPCTSTR caption, DWORD style, const RECT& rect, CWnd* parent, UINT id, CFont** font,
                     int fontHeight, int index, int* width)
{
    m_font = font;
    m_fontHeight = fontHeight;
    m_caption = caption ? caption : "";
    m_index = index;
    CSize text(0, 0);
    if (parent) {
        CClientDC dc(parent);
        CFont* old = m_font && *m_font ? dc.SelectObject(*m_font) : nullptr;
        text = dc.GetTextExtent(m_caption);
        if (old) dc.SelectObject(old);
    }
    const int w = text.cx + 8;
    if (width) *width = w;
    m_captionRect = CRect(4, 2, text.cx + 4, text.cy + 2);
    m_pressedCaptionRect = m_captionRect;
    m_pressedCaptionRect.OffsetRect(1, 1);
    const CRect placed(rect.left, rect.top, rect.left + w, rect.bottom);
    return CWnd::Create(nullptr, caption, style, placed, parent, id);
}

void TarMenu::SetLook(int look)
{
    if (m_look == look) return;
    m_look = look;
    Invalidate(FALSE);
}

LRESULT TarMenu::OnNcHitTest(CPoint point)
{
    const LRESULT hit = Default();
    CPoint client = point;
    ScreenToClient(&client);
    SetLook(InClient(*this, client) ? (m_popupOpen ? TarButtons::kPressed : TarButtons::kRaised)
                                    : TarButtons::kFlat);
    return hit;
}

void TarMenu::OnMouseMove(UINT, CPoint point)
{
    if (m_popupOpen) return;
    if (m_report) {
        m_report = false;
        SendToParent(*this, WM_TAR_HOT, reinterpret_cast<WPARAM>(m_hWnd), 0);
    }
    // The platform asks no hit test before mouse moves, so the move raises the button.
    if (InClient(*this, point)) SetLook(TarButtons::kRaised);
}

void TarMenu::OnLButtonDown(UINT, CPoint)
{
    m_mouseDown = true;
    if (m_closedByClick) {
        // This press closed the button's own popup: it stays closed.
        m_closedByClick = false;
        m_popupOpen = false;
        SetLook(m_report ? TarButtons::kFlat : TarButtons::kRaised);
        return;
    }
    m_look = TarButtons::kPressed;
    m_popupOpen = true;
    RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    const HWND self = m_hWnd;
    const bool shown = DropDown();
    if (!::IsWindow(self)) return;
    if (!shown) {
        // Nothing to drop down: the button must not stay sunk.
        m_popupOpen = false;
        SetLook(TarButtons::kRaised);
        return;
    }
    if (m_report) m_popupOpen = false;
}

bool TarMenu::DropDown()
{
    auto* row = dynamic_cast<CToolBarWindow*>(GetParent());
    CMenu* menu = row ? row->GetRowMenu() : nullptr;
    CMenu* popup = menu ? menu->GetSubMenu(m_index) : nullptr;
    if (!popup) return false;
    g_popup.button = this;
    if (!g_popup.installed) {
        g_popup.pressOnButton = false;
        g_popup.slid = false;
        // Without the hook the popup still works; only sliding and closing by a click stop.
        g_popup.hook = SetWindowsHookEx(WH_MOUSE, TarMenuMouseHook, nullptr, GetCurrentThreadId());
        g_popup.installed = g_popup.hook != nullptr;
    }
    CRect r;
    GetClientRect(&r);
    ClientToScreen(&r);
    row->SetOpenMenuButton(this);
    const HWND self = m_hWnd;
    popup->TrackPopupMenuEx(TPM_VERTICAL, r.left, r.bottom, row, nullptr);
    if (::IsWindow(self) && g_popup.pressOnButton) m_closedByClick = true;
    if (g_popup.installed) UnhookWindowsHookEx(g_popup.hook);
    g_popup = OpenPopup{};
    return true;
}

void TarMenu::OnLButtonUp(UINT, CPoint)
{
    if (!m_mouseDown) return;
    m_mouseDown = false;
    SetLook(m_popupOpen ? TarButtons::kPressed : TarButtons::kRaised);
}

LRESULT TarMenu::OnNotHot(WPARAM, LPARAM)
{
    m_report = true;
    if (!m_popupOpen && m_look != TarButtons::kFlat) SetLook(TarButtons::kFlat);
    return 0;
}

LRESULT TarMenu::OnPopupClosed(WPARAM, LPARAM)
{
    m_popupOpen = false;
    m_mouseDown = false;
    m_look = m_report ? TarButtons::kFlat : TarButtons::kRaised;
    RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    return 0;
}

void TarMenu::OnPaint()
{
    CPaintDC dc(this);
    CRect client;
    GetClientRect(&client);
    dc.FillSolidRect(&client, Face());
    CFont* oldFont = m_font && *m_font ? dc.SelectObject(*m_font) : nullptr;
    dc.SetBkColor(Face());
    dc.SetTextColor(GetSysColor(COLOR_BTNTEXT));
    CRect caption = m_look == TarButtons::kPressed ? m_pressedCaptionRect : m_captionRect;
    dc.DrawText(m_caption, &caption, DT_RIGHT | DT_VCENTER);
    if (m_look != TarButtons::kFlat) DrawFrame(dc, client, m_look);
    if (oldFont) dc.SelectObject(oldFont);
}
