#include "platform/frame/status_bar.h"

#include <QFontMetrics>
#include <QPainter>
#include <QWidget>

#include "platform/frame/bar_paint_internal.h"
#include "platform/string_table.h"

namespace {

constexpr int kHeight = 22;
constexpr int kGap = 2;  ///< between panes

}  // namespace

// --- CStatusBarCtrl ----------------------------------------------------------------------------------

BOOL CStatusBarCtrl::SetParts(int nParts, const int* pWidths)
{
    if (nParts <= 0 || nParts > 255 || !pWidths) return FALSE;
    m_bar.m_panes.resize(static_cast<std::size_t>(nParts));
    for (int i = 0; i < nParts; ++i) m_bar.m_panes[static_cast<std::size_t>(i)].right = pWidths[i];
    m_bar.m_byRightEdges = true;
    m_bar.m_nCount = nParts;
    if (m_bar.m_hWnd) m_bar.Invalidate();
    return TRUE;
}

int CStatusBarCtrl::GetParts(int nParts, int* pParts) const
{
    const int count = static_cast<int>(m_bar.m_panes.size());
    for (int i = 0; pParts && i < std::min(nParts, count); ++i) {
        const CRect r = m_bar.PaneRect(i);
        pParts[i] = m_bar.m_byRightEdges ? m_bar.m_panes[static_cast<std::size_t>(i)].right : r.right;
    }
    return count;
}

BOOL CStatusBarCtrl::SetText(LPCTSTR lpszText, int nPane, int)
{
    return m_bar.SetPaneText(nPane, lpszText);
}

CString CStatusBarCtrl::GetText(int nPane, int* pType) const
{
    if (pType) *pType = 0;
    return m_bar.GetPaneText(nPane);
}

BOOL CStatusBarCtrl::GetRect(int nPane, LPRECT lpRect) const
{
    if (!m_bar.Valid(nPane) || !lpRect) return FALSE;
    *lpRect = m_bar.PaneRect(nPane);
    return TRUE;
}

// --- CStatusBar --------------------------------------------------------------------------------------

BEGIN_MESSAGE_MAP(CStatusBar, CControlBar)
    ON_WM_PAINT()
    ON_WM_SIZE()
END_MESSAGE_MAP()

CStatusBar::CStatusBar() : m_ctrl(*this) {}

BOOL CStatusBar::Create(CWnd* pParentWnd, DWORD dwStyle, UINT nID)
{
    return CreateEx(pParentWnd, 0, dwStyle, nID);
}

BOOL CStatusBar::CreateEx(CWnd* pParentWnd, DWORD, DWORD dwStyle, UINT nID)
{
    return CreateBar(pParentWnd, dwStyle, nID);
}

BOOL CStatusBar::SetIndicators(const UINT* lpIDArray, int nIDCount)
{
    if (nIDCount < 0 || (nIDCount > 0 && !lpIDArray)) return FALSE;
    m_panes.clear();
    m_byRightEdges = false;
    BOOL allFound = TRUE;
    const QFontMetrics metrics(GetWidget() ? GetWidget()->font() : QFont());
    for (int i = 0; i < nIDCount; ++i) {
        Pane pane;
        pane.id = lpIDArray[i];
        if (pane.id != ID_SEPARATOR) {
            if (!platform::FindString(pane.id, pane.text)) allFound = FALSE;
            pane.width = metrics.horizontalAdvance(QString::fromUtf8(pane.text.c_str())) + 8;
        } else {
            pane.width = 100;
        }
        if (i == 0) pane.style = SBPS_NOBORDERS | SBPS_STRETCH;
        m_panes.push_back(pane);
    }
    m_nCount = nIDCount;
    if (m_hWnd) Invalidate();
    return allFound;
}

void CStatusBar::SetPaneInfo(int nIndex, UINT nID, UINT nStyle, int cxWidth)
{
    if (!Valid(nIndex)) return;
    Pane& pane = m_panes[static_cast<std::size_t>(nIndex)];
    pane.id = nID;
    pane.style = nStyle;
    pane.width = std::max(0, cxWidth);
    m_byRightEdges = false;
    if (m_hWnd) Invalidate();
}

void CStatusBar::GetPaneInfo(int nIndex, UINT& nID, UINT& nStyle, int& cxWidth) const
{
    if (!Valid(nIndex)) {
        nID = 0, nStyle = 0, cxWidth = 0;
        return;
    }
    const Pane& pane = m_panes[static_cast<std::size_t>(nIndex)];
    nID = pane.id;
    nStyle = pane.style;
    cxWidth = m_byRightEdges ? PaneRect(nIndex).Width() : pane.width;
}

UINT CStatusBar::GetPaneStyle(int nIndex) const
{
    return Valid(nIndex) ? m_panes[static_cast<std::size_t>(nIndex)].style : 0;
}

void CStatusBar::SetPaneStyle(int nIndex, UINT nStyle)
{
    if (!Valid(nIndex)) return;
    m_panes[static_cast<std::size_t>(nIndex)].style = nStyle;
    if (m_hWnd) Invalidate();
}

BOOL CStatusBar::SetPaneText(int nIndex, LPCTSTR lpszNewText, BOOL bUpdate)
{
    if (!Valid(nIndex)) return FALSE;
    CString text = lpszNewText ? lpszNewText : "";
    Pane& pane = m_panes[static_cast<std::size_t>(nIndex)];
    if (pane.text == text) return TRUE;
    pane.text = std::move(text);
    if (m_hWnd) {
        const CRect r = PaneRect(nIndex);
        InvalidateRect(r);
        if (bUpdate) UpdateWindow();
    }
    return TRUE;
}

CString CStatusBar::GetPaneText(int nIndex) const
{
    return Valid(nIndex) ? m_panes[static_cast<std::size_t>(nIndex)].text : CString();
}

void CStatusBar::GetItemRect(int nIndex, LPRECT lpRect) const
{
    if (!lpRect) return;
    *lpRect = Valid(nIndex) ? RECT(PaneRect(nIndex)) : RECT{0, 0, 0, 0};
}

int CStatusBar::CommandToIndex(UINT nIDFind) const
{
    for (std::size_t i = 0; i < m_panes.size(); ++i)
        if (m_panes[i].id == nIDFind) return static_cast<int>(i);
    return -1;
}

UINT CStatusBar::GetItemID(int nIndex) const
{
    return Valid(nIndex) ? m_panes[static_cast<std::size_t>(nIndex)].id : 0;
}

CRect CStatusBar::PaneRect(int index) const
{
    CRect client;
    if (m_hWnd) GetClientRect(client);
    const int top = 2;
    const int bottom = std::max(top, static_cast<int>(client.bottom));
    if (m_byRightEdges) {
        const int left = index == 0 ? 0 : m_panes[static_cast<std::size_t>(index - 1)].right;
        int right = m_panes[static_cast<std::size_t>(index)].right;
        if (right < 0) right = client.right;
        const int start =
            (index > 0 && m_panes[static_cast<std::size_t>(index - 1)].right < 0) ? client.right : left;
        return CRect(start + (index > 0 ? kGap : 0), top, std::max(start, right), bottom);
    }
    // Fixed widths; the stretching pane (the first one that stretches) takes what is left.
    int fixed = 0;
    int stretch = -1;
    for (std::size_t i = 0; i < m_panes.size(); ++i) {
        if ((m_panes[i].style & SBPS_STRETCH) && stretch < 0)
            stretch = static_cast<int>(i);
        else
            fixed += m_panes[i].width;
        if (i > 0) fixed += kGap;
    }
    int x = 0;
    for (int i = 0; i <= index; ++i) {
        const Pane& pane = m_panes[static_cast<std::size_t>(i)];
        if (i > 0) x += kGap;
        const int width = i == stretch ? std::max(0, static_cast<int>(client.right) - fixed) : pane.width;
        if (i == index) return CRect(x, top, x + width, bottom);
        x += width;
    }
    return {};
}

CSize CStatusBar::CalcFixedLayout(BOOL, BOOL)
{
    CRect parent;
    if (GetParent()) GetParent()->GetClientRect(parent);
    return CSize(parent.Width(), kHeight);
}

void CStatusBar::OnSize(UINT, int, int)
{
    Invalidate();
}

void CStatusBar::OnPaint()
{
    CRect client;
    QPainter* painter = platform::BeginBarPaint(*this, client);
    if (!painter) return;
    QPainter& p = *painter;
    const QColor shadow = platform::SysColour(COLOR_BTNSHADOW);
    const QColor light = platform::SysColour(COLOR_BTNHIGHLIGHT);
    for (std::size_t i = 0; i < m_panes.size(); ++i) {
        const Pane& pane = m_panes[i];
        const CRect r = PaneRect(static_cast<int>(i));
        if (r.Width() <= 0) continue;
        const QRect q(r.left, r.top, r.Width(), r.Height());
        if (!(pane.style & SBPS_NOBORDERS)) {
            const bool out = (pane.style & SBPS_POPOUT) != 0;
            p.setPen(out ? light : shadow);
            p.drawLine(q.left(), q.top(), q.right(), q.top());
            p.drawLine(q.left(), q.top(), q.left(), q.bottom());
            p.setPen(out ? shadow : light);
            p.drawLine(q.left(), q.bottom(), q.right(), q.bottom());
            p.drawLine(q.right(), q.top(), q.right(), q.bottom());
        }
        if (pane.text.IsEmpty() || (pane.style & SBPS_DISABLED)) continue;
        p.setPen(platform::SysColour(COLOR_BTNTEXT));
        p.setFont(GetWidget()->font());
        p.drawText(q.adjusted(3, 0, -2, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                   QString::fromUtf8(pane.text.c_str()));
    }
    // The size grip of a resizable frame.
    CWnd* frame = GetTopLevelParent();
    if (frame && (frame->GetStyle() & WS_THICKFRAME)) {
        const int right = client.Width() - 1;
        const int bottom = client.Height() - 1;
        for (int k = 0; k < 3; ++k) {
            const int d = 4 + 4 * k;
            p.setPen(light);
            p.drawLine(right - d, bottom, right, bottom - d);
            p.setPen(shadow);
            p.drawLine(right - d + 1, bottom, right, bottom - d + 1);
            p.drawLine(right - d + 2, bottom, right, bottom - d + 2);
        }
    }
}
