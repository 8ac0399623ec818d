#include "platform/controls/progress_ctrl.h"

#include <algorithm>

#include <QPalette>
#include <QProgressBar>

#include "platform/controls/control_notify.h"
#include "platform/qt_types_internal.h"

BOOL CProgressCtrl::Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID)
{
    return CWnd::Create(platform::ControlClass("msctls_progress32"), nullptr, dwStyle, rect, pParentWnd, nID);
}

namespace {

class ProgressWidget : public QProgressBar {
public:
    using QProgressBar::QProgressBar;
    int m_lower = 0;
    int m_upper = 100;
    int m_pos = 0;
    int m_step = 10;
    COLORREF m_barColor = static_cast<COLORREF>(-1);  // the default colour

    void Show()
    {
        // QProgressBar needs lower <= upper; a reversed range shows as empty.
        setRange(std::min(m_lower, m_upper), std::max(m_lower, m_upper));
        setValue(std::clamp(m_pos, std::min(m_lower, m_upper), std::max(m_lower, m_upper)));
    }
};

}  // namespace

QWidget* CProgressCtrl::CreateWidget(const CREATESTRUCT& cs, QWidget* parentWidget)
{
    auto* bar = new ProgressWidget(parentWidget);
    bar->setTextVisible(false);
    bar->setOrientation((cs.style & PBS_VERTICAL) ? Qt::Vertical : Qt::Horizontal);
    bar->setFocusPolicy(Qt::NoFocus);
    bar->Show();
    return bar;
}

LRESULT CProgressCtrl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* state = dynamic_cast<ProgressWidget*>(GetWidget());
    if (!state || message < PBM_SETRANGE || message > PBM_GETSTEP)
        return CWnd::WindowProc(message, wParam, lParam);
    int& m_lower = state->m_lower;
    int& m_upper = state->m_upper;
    int& m_pos = state->m_pos;
    int& m_step = state->m_step;
    COLORREF& m_barColor = state->m_barColor;
    const auto Show = [state] { state->Show(); };
    const auto clampPos = [state](long long pos) {
        const int lo = std::min(state->m_lower, state->m_upper),
                  hi = std::max(state->m_lower, state->m_upper);
        return static_cast<int>(std::clamp<long long>(pos, lo, hi));
    };
    switch (message) {
        case PBM_SETRANGE: {
            const LRESULT previous = MAKELONG(static_cast<WORD>(m_lower), static_cast<WORD>(m_upper));
            m_lower = LOWORD(static_cast<DWORD>(lParam));
            m_upper = HIWORD(static_cast<DWORD>(lParam));
            m_pos = clampPos(m_pos);
            Show();
            return previous;
        }
        case PBM_SETRANGE32: {
            const LRESULT previous = MAKELONG(static_cast<WORD>(m_lower), static_cast<WORD>(m_upper));
            m_lower = static_cast<int>(wParam);
            m_upper = static_cast<int>(lParam);
            m_pos = clampPos(m_pos);
            Show();
            return previous;
        }
        case PBM_GETRANGE:
            if (auto* range = reinterpret_cast<PBRANGE*>(lParam)) *range = {m_lower, m_upper};
            return wParam ? m_lower : m_upper;
        case PBM_SETPOS: {
            const int previous = m_pos;
            m_pos = clampPos(static_cast<int>(wParam));
            Show();
            return previous;
        }
        case PBM_GETPOS:
            return m_pos;
        case PBM_DELTAPOS: {
            const int previous = m_pos;
            m_pos = clampPos(static_cast<long long>(m_pos) + static_cast<int>(wParam));
            Show();
            return previous;
        }
        case PBM_SETSTEP: {
            const int previous = m_step;
            m_step = static_cast<int>(wParam);
            return previous;
        }
        case PBM_GETSTEP:
            return m_step;
        case PBM_STEPIT: {
            const int previous = m_pos;
            const int lo = std::min(m_lower, m_upper), hi = std::max(m_lower, m_upper);
            long long next = static_cast<long long>(m_pos) + m_step;
            if (next > hi)
                next = lo + (next - hi);  // wraps around past the top
            else if (next < lo)
                next = hi - (lo - next);
            m_pos = clampPos(next);
            Show();
            return previous;
        }
        case PBM_SETBARCOLOR: {
            const COLORREF previous = m_barColor;
            m_barColor = static_cast<COLORREF>(lParam);
            if (QWidget* bar = GetWidget()) {
                QPalette palette = bar->palette();
                if (m_barColor != static_cast<COLORREF>(-1))
                    palette.setColor(QPalette::Highlight, platform::ToQColor(m_barColor));
                bar->setPalette(palette);
            }
            return previous;
        }
        default:
            return CWnd::WindowProc(message, wParam, lParam);
    }
}

void CProgressCtrl::SetRange(short nLower, short nUpper)
{
    SendMessage(PBM_SETRANGE, 0, MAKELPARAM(static_cast<WORD>(nLower), static_cast<WORD>(nUpper)));
}

void CProgressCtrl::SetRange32(int nLower, int nUpper)
{
    SendMessage(PBM_SETRANGE32, static_cast<WPARAM>(static_cast<unsigned>(nLower)),
                static_cast<LPARAM>(nUpper));
}

void CProgressCtrl::GetRange(int& nLower, int& nUpper) const
{
    PBRANGE range{0, 0};
    ::SendMessage(m_hWnd, PBM_GETRANGE, TRUE, reinterpret_cast<LPARAM>(&range));
    nLower = range.iLow;
    nUpper = range.iHigh;
}

int CProgressCtrl::SetPos(int nPos)
{
    return static_cast<int>(SendMessage(PBM_SETPOS, static_cast<WPARAM>(static_cast<unsigned>(nPos))));
}

int CProgressCtrl::GetPos() const
{
    return static_cast<int>(::SendMessage(m_hWnd, PBM_GETPOS, 0, 0));
}

int CProgressCtrl::OffsetPos(int nPos)
{
    return static_cast<int>(SendMessage(PBM_DELTAPOS, static_cast<WPARAM>(static_cast<unsigned>(nPos))));
}

int CProgressCtrl::SetStep(int nStep)
{
    return static_cast<int>(SendMessage(PBM_SETSTEP, static_cast<WPARAM>(static_cast<unsigned>(nStep))));
}

int CProgressCtrl::StepIt()
{
    return static_cast<int>(SendMessage(PBM_STEPIT));
}

COLORREF CProgressCtrl::SetBarColor(COLORREF color)
{
    return static_cast<COLORREF>(SendMessage(PBM_SETBARCOLOR, 0, static_cast<LPARAM>(color)));
}
