#include "platform/controls/slider_ctrl.h"

#include <QSlider>

#include "platform/controls/control_notify.h"

namespace {

class SliderWidget : public QSlider {
public:
    using QSlider::QSlider;
    std::vector<int> tics;
};

void Notify(HWND hwnd, UINT code, int pos)
{
    CWnd* wnd = CWnd::FromHandle(hwnd);
    CWnd* parent = wnd ? wnd->GetParent() : nullptr;
    if (!parent) return;
    const UINT message = (wnd->GetStyle() & TBS_VERT) ? WM_VSCROLL : WM_HSCROLL;
    ::SendMessage(parent->GetSafeHwnd(), message, MAKEWPARAM(static_cast<WORD>(code), static_cast<WORD>(pos)),
                  reinterpret_cast<LPARAM>(hwnd));
}

}  // namespace

BOOL CSliderCtrl::Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID)
{
    return CWnd::Create(platform::ControlClass("msctls_trackbar32"), nullptr, dwStyle, rect, pParentWnd, nID);
}

QWidget* CSliderCtrl::CreateWidget(const CREATESTRUCT& cs, QWidget* parentWidget)
{
    const DWORD style = static_cast<DWORD>(cs.style);
    auto* slider = new SliderWidget((style & TBS_VERT) ? Qt::Vertical : Qt::Horizontal, parentWidget);
    slider->setInvertedAppearance(style & TBS_VERT);  // the minimum is at the top, as the trackbar has it
    slider->setRange(0, 100);
    slider->setSingleStep(1);
    slider->setPageStep(20);
    slider->setFocusPolicy(Qt::StrongFocus);
    slider->setTickPosition((style & TBS_NOTICKS) ? QSlider::NoTicks
                            : (style & TBS_BOTH)  ? QSlider::TicksBothSides
                            : (style & TBS_TOP)   ? QSlider::TicksAbove
                                                  : QSlider::TicksBelow);
    slider->setTickInterval((style & TBS_AUTOTICKS) ? 1 : 0);
    const HWND hwnd = m_hWnd;
    QObject::connect(slider, &QAbstractSlider::actionTriggered, slider, [hwnd, slider](int action) {
        UINT code;
        switch (action) {
            case QAbstractSlider::SliderSingleStepAdd:
                code = TB_LINEDOWN;
                break;
            case QAbstractSlider::SliderSingleStepSub:
                code = TB_LINEUP;
                break;
            case QAbstractSlider::SliderPageStepAdd:
                code = TB_PAGEDOWN;
                break;
            case QAbstractSlider::SliderPageStepSub:
                code = TB_PAGEUP;
                break;
            case QAbstractSlider::SliderToMinimum:
                code = TB_TOP;
                break;
            case QAbstractSlider::SliderToMaximum:
                code = TB_BOTTOM;
                break;
            case QAbstractSlider::SliderMove:
                code = TB_THUMBTRACK;
                break;
            default:
                return;
        }
        // Qt has moved the thumb but not the value yet: settle the value so the parent reads it.
        slider->setValue(slider->sliderPosition());
        Notify(hwnd, code, slider->value());
        if (code != TB_THUMBTRACK && IsWindow(hwnd)) Notify(hwnd, TB_ENDTRACK, slider->value());
    });
    QObject::connect(slider, &QAbstractSlider::sliderReleased, slider, [hwnd, slider] {
        Notify(hwnd, TB_THUMBPOSITION, slider->value());
        if (IsWindow(hwnd)) Notify(hwnd, TB_ENDTRACK, slider->value());
    });
    return slider;
}

LRESULT CSliderCtrl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* slider = dynamic_cast<SliderWidget*>(GetWidget());
    if (!slider || message < TBM_GETPOS || message > TBM_GETLINESIZE)
        return CWnd::WindowProc(message, wParam, lParam);
    const QSignalBlocker quiet(slider);  // the program's changes send nothing
    switch (message) {
        case TBM_GETPOS:
            return slider->value();
        case TBM_GETRANGEMIN:
            return slider->minimum();
        case TBM_GETRANGEMAX:
            return slider->maximum();
        case TBM_SETPOS:
            slider->setValue(static_cast<int>(lParam));
            return 0;
        case TBM_SETRANGE:
            slider->setRange(static_cast<short>(LOWORD(static_cast<DWORD>(lParam))),
                             static_cast<short>(HIWORD(static_cast<DWORD>(lParam))));
            return 0;
        case TBM_SETRANGEMIN:
            slider->setMinimum(static_cast<int>(lParam));
            return 0;
        case TBM_SETRANGEMAX:
            slider->setMaximum(static_cast<int>(lParam));
            return 0;
        case TBM_SETTIC:
            slider->tics.push_back(static_cast<int>(lParam));
            return TRUE;
        case TBM_CLEARTICS:
            slider->tics.clear();
            return 0;
        case TBM_GETNUMTICS:
            return static_cast<LRESULT>(slider->tics.size()) + 2;  // with both ends
        case TBM_SETTICFREQ:
            slider->setTickInterval(static_cast<int>(wParam));
            return 0;
        case TBM_SETPAGESIZE: {
            const int previous = slider->pageStep();
            slider->setPageStep(static_cast<int>(lParam));
            return previous;
        }
        case TBM_GETPAGESIZE:
            return slider->pageStep();
        case TBM_SETLINESIZE: {
            const int previous = slider->singleStep();
            slider->setSingleStep(static_cast<int>(lParam));
            return previous;
        }
        case TBM_GETLINESIZE:
            return slider->singleStep();
        default:
            return CWnd::WindowProc(message, wParam, lParam);
    }
}

void CSliderCtrl::SetRange(int nMin, int nMax, BOOL bRedraw)
{
    SetRangeMin(nMin, FALSE);
    SetRangeMax(nMax, bRedraw);
}

void CSliderCtrl::GetRange(int& nMin, int& nMax) const
{
    nMin = GetRangeMin();
    nMax = GetRangeMax();
}

void CSliderCtrl::SetRangeMin(int nMin, BOOL bRedraw)
{
    SendMessage(TBM_SETRANGEMIN, bRedraw, nMin);
}
void CSliderCtrl::SetRangeMax(int nMax, BOOL bRedraw)
{
    SendMessage(TBM_SETRANGEMAX, bRedraw, nMax);
}
int CSliderCtrl::GetRangeMin() const
{
    return static_cast<int>(::SendMessage(m_hWnd, TBM_GETRANGEMIN, 0, 0));
}
int CSliderCtrl::GetRangeMax() const
{
    return static_cast<int>(::SendMessage(m_hWnd, TBM_GETRANGEMAX, 0, 0));
}
void CSliderCtrl::SetPos(int nPos)
{
    SendMessage(TBM_SETPOS, TRUE, nPos);
}
int CSliderCtrl::GetPos() const
{
    return static_cast<int>(::SendMessage(m_hWnd, TBM_GETPOS, 0, 0));
}
int CSliderCtrl::SetPageSize(int nSize)
{
    return static_cast<int>(SendMessage(TBM_SETPAGESIZE, 0, nSize));
}
int CSliderCtrl::GetPageSize() const
{
    return static_cast<int>(::SendMessage(m_hWnd, TBM_GETPAGESIZE, 0, 0));
}
int CSliderCtrl::SetLineSize(int nSize)
{
    return static_cast<int>(SendMessage(TBM_SETLINESIZE, 0, nSize));
}
int CSliderCtrl::GetLineSize() const
{
    return static_cast<int>(::SendMessage(m_hWnd, TBM_GETLINESIZE, 0, 0));
}
void CSliderCtrl::SetTicFreq(int nFreq)
{
    SendMessage(TBM_SETTICFREQ, static_cast<WPARAM>(nFreq));
}
BOOL CSliderCtrl::SetTic(int nTic)
{
    return static_cast<BOOL>(SendMessage(TBM_SETTIC, 0, nTic));
}
void CSliderCtrl::ClearTics(BOOL bRedraw)
{
    SendMessage(TBM_CLEARTICS, bRedraw);
}
