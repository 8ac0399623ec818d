#include "outside/basecore/title_tip.h"

#include <algorithm>

#include "platform/gdi/dc.h"
#include "platform/gdi/gdi_objects.h"
#include "platform/gdi/window_dc.h"
#include "platform/window/messages.h"

namespace {

constexpr int kPadX = 3;
constexpr int kPadY = 1;

}  // namespace

CTitleTip::~CTitleTip()
{
    if (GetSafeHwnd()) DestroyWindow();
}

BOOL CTitleTip::Create(CWnd* parent)
{
    if (!parent || GetSafeHwnd()) return FALSE;
    m_pParent = parent;
    CWnd* owner = parent->GetTopLevelParent();
    return CreateEx(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, AfxRegisterWndClass(0), "", WS_POPUP | WS_BORDER,
                    CRect(0, 0, 0, 0), owner ? owner : parent, 0);
}

void CTitleTip::Show(CRect rectTitle, const CString& text, int xOffset, const RECT* hover, HFONT font,
                     COLORREF textColour, COLORREF backColour)
{
    if (!GetSafeHwnd() || !m_pParent || text.IsEmpty()) {
        Hide();
        return;
    }
    m_strText = text;
    m_hFont = font;
    m_crText = textColour;
    m_crBack = backColour;
    m_rcHover = hover ? CRect(*hover) : rectTitle;

    SIZE extent{};
    HDC measure = ::GetDC(nullptr);
    HGDIOBJ old = font ? ::SelectObject(measure, font) : nullptr;
    ::GetTextExtentPoint32(measure, text, text.GetLength(), &extent);
    if (old) ::SelectObject(measure, old);
    ::ReleaseDC(nullptr, measure);

    CPoint corner(rectTitle.left + xOffset, rectTitle.top);
    m_pParent->ClientToScreen(&corner);
    const int width = int(extent.cx) + 2 * kPadX + 2;
    const int height = int(extent.cy) + 2 * kPadY + 2;
    MoveWindow(corner.x, corner.y, width, height, TRUE);
    Invalidate();
    if (!m_bShown) ShowWindow(SW_SHOWNOACTIVATE);
    m_bShown = true;
}

void CTitleTip::Hide()
{
    if (!m_bShown) return;
    m_bShown = false;
    if (GetSafeHwnd()) ShowWindow(SW_HIDE);
}

void CTitleTip::Paint()
{
    CPaintDC paint(this);
    const HDC dc = paint.GetSafeHdc();
    CRect client;
    GetClientRect(&client);
    const COLORREF back =
        m_crBack == kTitleTipDefaultColour ? COLORREF(::GetSysColor(COLOR_INFOBK)) : m_crBack;
    const COLORREF fore =
        m_crText == kTitleTipDefaultColour ? COLORREF(::GetSysColor(COLOR_INFOTEXT)) : m_crText;
    HBRUSH brush = ::CreateSolidBrush(back);
    ::FillRect(dc, &client, brush);
    ::DeleteObject(brush);
    HGDIOBJ old = m_hFont ? ::SelectObject(dc, m_hFont) : nullptr;
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, fore);
    ::TextOut(dc, kPadX, kPadY, m_strText, m_strText.GetLength());
    if (old) ::SelectObject(dc, old);
}

LRESULT CTitleTip::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
        case WM_PAINT:
            Paint();
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_MOUSEMOVE: {
            // The tip lies over what it explains: a mouse that leaves the hover area ends it.
            CPoint p(short(LOWORD(lParam)), short(HIWORD(lParam)));
            ClientToScreen(&p);
            if (m_pParent) m_pParent->ScreenToClient(&p);
            if (!m_rcHover.PtInRect(p)) Hide();
            return 0;
        }
        default:
            return CWnd::WindowProc(message, wParam, lParam);
    }
}
