#include "outside/basecore/hist_trim_ctrl.h"

#include <algorithm>
#include <cmath>

#include "platform/gdi/dc.h"
#include "platform/gdi/gdi_objects.h"
#include "platform/gdi/window_dc.h"

BOOL CHistTrimCtrl::Create(const RECT& rect, CWnd* parent, UINT id)
{
    return CWnd::Create(AfxRegisterWndClass(0), "", WS_CHILD | WS_VISIBLE | WS_BORDER, rect, parent, id);
}

BOOL CHistTrimCtrl::ReplaceControl(CWnd* dialog, int id)
{
    CWnd* placeholder = dialog ? dialog->GetDlgItem(id) : nullptr;
    if (!placeholder) return FALSE;
    CRect r;
    placeholder->GetWindowRect(&r);
    dialog->ScreenToClient(&r);
    placeholder->ShowWindow(SW_HIDE);
    placeholder->SetDlgCtrlID(0);
    return Create(r, dialog, static_cast<UINT>(id));
}

void CHistTrimCtrl::SetTrimData(const TuneTrimData* data)
{
    m_pData = data;
}

void CHistTrimCtrl::SetData(const std::uint32_t* histogram)
{
    m_pHistogram = histogram;
}

int CHistTrimCtrl::PositionOf(double value) const
{
    if (!m_pData || !(m_pData->maximum > m_pData->minimum)) return 0;
    const double t = (value - m_pData->minimum) / (m_pData->maximum - m_pData->minimum) * kScale;
    if (!std::isfinite(t)) return 0;
    return static_cast<int>(std::lround(std::clamp(t, 0.0, double(kScale))));
}

void CHistTrimCtrl::SetLeftSlidePos(double value)
{
    m_nLeft = PositionOf(value);
}

void CHistTrimCtrl::SetRightSlidePos(double value)
{
    m_nRight = m_pData && m_pData->maximum > m_pData->minimum ? PositionOf(value) : kScale;
}

CRect CHistTrimCtrl::PlotRect() const
{
    CRect r;
    GetClientRect(&r);
    r.left += 4;
    r.top += 4;
    r.right -= 4;
    r.bottom -= 10;
    return r;
}

int CHistTrimCtrl::PositionAt(int x) const
{
    const CRect plot = PlotRect();
    if (plot.Width() <= 0) return 0;
    const double t = double(x - plot.left) * kScale / plot.Width();
    return static_cast<int>(std::lround(std::clamp(t, 0.0, double(kScale))));
}

void CHistTrimCtrl::Notify()
{
    CWnd* parent = GetParent();
    if (!parent) return;
    NMHISTTRIM nm{};
    nm.hdr.hwndFrom = GetSafeHwnd();
    nm.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID());
    nm.hdr.code = kSlideCode;
    nm.left = m_nLeft;
    nm.right = m_nRight;
    parent->SendMessage(WM_NOTIFY, nm.hdr.idFrom, reinterpret_cast<LPARAM>(&nm));
}

void CHistTrimCtrl::Paint()
{
    CPaintDC dc(this);
    CRect client;
    GetClientRect(&client);
    dc.FillSolidRect(&client, RGB(255, 255, 255));
    const CRect plot = PlotRect();
    if (plot.Width() <= 0 || plot.Height() <= 0) return;
    const COLORREF colour = m_pData ? m_pData->colour : RGB(0, 0, 0);

    // The range between the sliders is shaded, the bars are scaled to the highest counter.
    const int xl = plot.left + m_nLeft * plot.Width() / kScale;
    const int xr = plot.left + m_nRight * plot.Width() / kScale;
    dc.FillSolidRect(xl, plot.top, std::max(0, xr - xl), plot.Height(), RGB(232, 232, 232));
    if (m_pHistogram) {
        const std::uint32_t top = *std::max_element(m_pHistogram, m_pHistogram + 256);
        if (top > 0) {
            for (int level = 0; level < 256; ++level) {
                const int x0 = plot.left + level * plot.Width() / 256;
                const int x1 = std::max(x0 + 1, plot.left + (level + 1) * plot.Width() / 256);
                const int h =
                    static_cast<int>(std::llround(double(m_pHistogram[level]) * plot.Height() / top));
                if (h > 0) dc.FillSolidRect(x0, plot.bottom - h, x1 - x0, h, colour);
            }
        }
    }
    CPen frame(PS_SOLID, 1, RGB(128, 128, 128));
    CPen* old = dc.SelectObject(&frame);
    dc.MoveTo(plot.left, plot.bottom);
    dc.LineTo(plot.right, plot.bottom);
    // Each slider is a line across the plot with a small triangle under the axis.
    CPen marker(PS_SOLID, 1, RGB(0, 0, 0));
    dc.SelectObject(&marker);
    for (int x : {xl, xr}) {
        dc.MoveTo(x, plot.top);
        dc.LineTo(x, plot.bottom);
        const POINT tri[3] = {{x, plot.bottom + 1}, {x - 4, plot.bottom + 8}, {x + 4, plot.bottom + 8}};
        dc.Polygon(tri, 3);
    }
    dc.SelectObject(old);
}

LRESULT CHistTrimCtrl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
        case WM_PAINT:
            Paint();
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_LBUTTONDOWN: {
            const int pos = PositionAt(GET_X_LPARAM(lParam));
            // The nearer slider follows the mouse; between equal distances the one on the
            // side of the click.
            m_nDragging = std::abs(pos - m_nLeft) < std::abs(pos - m_nRight) ||
                                  (std::abs(pos - m_nLeft) == std::abs(pos - m_nRight) && pos < m_nLeft)
                              ? 1
                              : 2;
            SetCapture();
            [[fallthrough]];
        }
        case WM_MOUSEMOVE: {
            if (!m_nDragging) break;
            const int pos = PositionAt(GET_X_LPARAM(lParam));
            if (m_nDragging == 1)
                m_nLeft = std::min(pos, m_nRight);
            else
                m_nRight = std::max(pos, m_nLeft);
            Invalidate(FALSE);
            Notify();
            return 0;
        }
        case WM_LBUTTONUP:
            if (m_nDragging) {
                m_nDragging = 0;
                ::ReleaseCapture();
            }
            return 0;
        default:
            break;
    }
    return CWnd::WindowProc(message, wParam, lParam);
}
