#include "platform/controls/progress_ctrl.h"

#include <QPainter>

#include "platform/window/paint_hook.h"

namespace {
QColor SysColour(int index)
{
    const DWORD c = GetSysColor(index);
    return QColor(GetRValue(c), GetGValue(c), GetBValue(c));
}
}  // namespace

BEGIN_MESSAGE_MAP(CProgressCtrl, CWnd)
    ON_WM_PAINT()
END_MESSAGE_MAP()

BOOL CProgressCtrl::Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID)
{
    return CreateEx(0, nullptr, nullptr, dwStyle | WS_CHILD, rect, pParentWnd, nID);
}

void CProgressCtrl::SetRange32(int nLower, int nUpper)
{
    m_lower = nLower;
    m_upper = nUpper;
    m_pos = std::clamp(m_pos, std::min(m_lower, m_upper), std::max(m_lower, m_upper));
    if (m_hWnd) Invalidate();
}

void CProgressCtrl::GetRange(int& nLower, int& nUpper) const
{
    nLower = m_lower;
    nUpper = m_upper;
}

int CProgressCtrl::SetPos(int nPos)
{
    const int before = m_pos;
    m_pos = std::clamp(nPos, std::min(m_lower, m_upper), std::max(m_lower, m_upper));
    if (m_hWnd && m_pos != before) Invalidate();
    return before;
}

int CProgressCtrl::SetStep(int nStep)
{
    const int before = m_step;
    m_step = nStep;
    return before;
}

int CProgressCtrl::StepIt()
{
    const int before = m_pos;
    long long next = static_cast<long long>(m_pos) + m_step;
    if (next > std::max(m_lower, m_upper) || next < std::min(m_lower, m_upper))
        next = m_step >= 0 ? std::min(m_lower, m_upper) : std::max(m_lower, m_upper);
    m_pos = static_cast<int>(next);
    if (m_hWnd) Invalidate();
    return before;
}

void CProgressCtrl::OnPaint()
{
    platform::PaintTarget* target = platform::CurrentPaintTarget(m_hWnd);
    if (!target) return;
    QPainter& p = *target->painter;
    CRect client;
    GetClientRect(client);
    const QRect all(0, 0, client.Width(), client.Height());
    p.fillRect(all, SysColour(COLOR_BTNFACE));
    p.setPen(SysColour(COLOR_BTNSHADOW));
    p.drawLine(0, 0, all.right(), 0);
    p.drawLine(0, 0, 0, all.bottom());
    p.setPen(SysColour(COLOR_BTNHIGHLIGHT));
    p.drawLine(0, all.bottom(), all.right(), all.bottom());
    p.drawLine(all.right(), 0, all.right(), all.bottom());
    const QRect inner = all.adjusted(2, 2, -2, -2);
    const long long span = static_cast<long long>(m_upper) - m_lower;
    if (span == 0 || inner.width() <= 0) return;
    const long long filled = (static_cast<long long>(m_pos) - m_lower) * inner.width() / span;
    const QColor bar = SysColour(COLOR_HIGHLIGHT);
    if (GetStyle() & PBS_SMOOTH) {
        p.fillRect(QRect(inner.left(), inner.top(), static_cast<int>(filled), inner.height()), bar);
        return;
    }
    // Blocks of about two thirds of the height, a pixel or two apart.
    const int block = std::max(2, inner.height() * 2 / 3);
    for (int x = 0; x < filled; x += block + 2)
        p.fillRect(QRect(inner.left() + x, inner.top(), std::min<int>(block, static_cast<int>(filled) - x),
                         inner.height()),
                   bar);
}
