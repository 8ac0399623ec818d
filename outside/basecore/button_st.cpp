#include "outside/basecore/button_st.h"

#include "platform/gdi/dc.h"
#include "platform/resources/resources.h"
#include "platform/window/wnd.h"

DWORD CButtonST::SetIcon(int iconId, int, int cx, int cy)
{
    m_hIcon = ::LoadIcon(nullptr, MAKEINTRESOURCE(iconId));
    m_cx = cx;
    m_cy = cy;
    if (m_hWnd) Invalidate();
    return m_hIcon ? 0 : 1;
}

void CButtonST::DrawItem(LPDRAWITEMSTRUCT item)
{
    CDC* dc = CDC::FromHandle(item->hDC);
    if (!dc) return;
    RECT r = item->rcItem;
    const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
    const bool disabled = (item->itemState & (ODS_DISABLED | ODS_GRAYED)) != 0 || !IsWindowEnabled();
    const bool pressed = (item->itemState & ODS_SELECTED) != 0;
    dc->FillSolidRect(&r, face);
    dc->Draw3dRect(&r, pressed ? RGB(128, 128, 128) : RGB(255, 255, 255),
                   pressed ? RGB(255, 255, 255) : RGB(64, 64, 64));
    const int shift = pressed ? 1 : 0;
    int textLeft = r.left + 4;
    if (m_hIcon) {
        const int x = r.left + 4 + shift, y = r.top + (r.bottom - r.top - m_cy) / 2 + shift;
        dc->DrawIcon(x, y, m_hIcon);
        // Greyed: every other pixel of the icon takes the face colour, as disabled pictures look.
        if (disabled)
            for (int dy = 0; dy < m_cy; ++dy)
                for (int dx = (dy & 1); dx < m_cx; dx += 2) dc->SetPixelV(x + dx, y + dy, face);
        textLeft = x + m_cx + 4;
    }
    CString text;
    GetWindowText(text);
    RECT t{textLeft + shift, r.top + shift, r.right - 4 + shift, r.bottom + shift};
    dc->SetBkMode(TRANSPARENT);
    dc->SetTextColor(disabled ? RGB(128, 128, 128) : RGB(0, 0, 0));
    dc->DrawText(text, &t, DT_SINGLELINE | DT_VCENTER | DT_CENTER | DT_NOPREFIX);
}
