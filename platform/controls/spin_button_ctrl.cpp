#include "platform/controls/spin_button_ctrl.h"

#include <QBoxLayout>
#include <QToolButton>
#include <QWidget>

#include "platform/controls/control_notify.h"
#include "platform/numbers/numbers.h"

namespace {

class SpinWidget : public QWidget {
public:
    using QWidget::QWidget;
    int lower = 100;  // the control's historical default: 100 down to 0
    int upper = 0;
    int pos = 0;
    HWND buddy = nullptr;
};

SpinWidget* StateOf(const CWnd* wnd)
{
    return dynamic_cast<SpinWidget*>(wnd->GetWidget());
}

CString Format(int value, bool thousands)
{
    char digits[32];
    std::snprintf(digits, sizeof digits, "%d", value < 0 ? -value : value);
    std::string text = digits;
    if (thousands)
        for (int at = static_cast<int>(text.size()) - 3; at > 0; at -= 3)
            text.insert(static_cast<std::size_t>(at), ",");
    if (value < 0) text.insert(0, "-");
    return CString(text.c_str());
}

}  // namespace

BOOL CSpinButtonCtrl::Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID)
{
    return CWnd::Create(platform::ControlClass("msctls_updown32"), nullptr, dwStyle, rect, pParentWnd, nID);
}

BOOL CSpinButtonCtrl::CreateEx(DWORD dwExStyle, LPCTSTR lpszClassName, LPCTSTR lpszWindowName, DWORD dwStyle,
                               int x, int y, int nWidth, int nHeight, HWND hWndParent, HMENU nIDorHMenu,
                               LPVOID lpParam)
{
    if (!CWnd::CreateEx(dwExStyle, lpszClassName, lpszWindowName, dwStyle, x, y, nWidth, nHeight, hWndParent,
                        nIDorHMenu, lpParam))
        return FALSE;
    if (dwStyle & UDS_AUTOBUDDY)
        if (CWnd* previous = GetWindow(GW_HWNDPREV)) SetBuddy(previous);
    return TRUE;
}

QWidget* CSpinButtonCtrl::CreateWidget(const CREATESTRUCT& cs, QWidget* parentWidget)
{
    const bool horizontal = cs.style & UDS_HORZ;
    auto* spin = new SpinWidget(parentWidget);
    auto* layout = new QBoxLayout(horizontal ? QBoxLayout::LeftToRight : QBoxLayout::TopToBottom, spin);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* first = new QToolButton(spin);
    auto* second = new QToolButton(spin);
    first->setArrowType(horizontal ? Qt::LeftArrow : Qt::UpArrow);
    second->setArrowType(horizontal ? Qt::RightArrow : Qt::DownArrow);
    for (QToolButton* button : {first, second}) {
        button->setAutoRepeat(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        layout->addWidget(button);
    }
    const HWND hwnd = m_hWnd;
    // Vertical: the top arrow goes up; horizontal: the right arrow goes up.
    QObject::connect(first, &QToolButton::clicked, spin, [hwnd, horizontal] {
        if (auto* wnd = dynamic_cast<CSpinButtonCtrl*>(CWnd::FromHandle(hwnd))) wnd->ClickArrow(!horizontal);
    });
    QObject::connect(second, &QToolButton::clicked, spin, [hwnd, horizontal] {
        if (auto* wnd = dynamic_cast<CSpinButtonCtrl*>(CWnd::FromHandle(hwnd))) wnd->ClickArrow(horizontal);
    });
    return spin;
}

void CSpinButtonCtrl::SetRange(short nLower, short nUpper)
{
    SetRange32(nLower, nUpper);
}

void CSpinButtonCtrl::SetRange32(int nLower, int nUpper)
{
    SpinWidget* state = StateOf(this);
    if (!state) return;
    state->lower = nLower;
    state->upper = nUpper;
    SetPos(state->pos);
}

void CSpinButtonCtrl::GetRange(int& lower, int& upper) const
{
    const SpinWidget* state = StateOf(this);
    lower = state ? state->lower : 0;
    upper = state ? state->upper : 0;
}

int CSpinButtonCtrl::SetPos(int nPos)
{
    SpinWidget* state = StateOf(this);
    if (!state) return 0;
    const int previous = state->pos;
    state->pos = std::clamp(nPos, std::min(state->lower, state->upper), std::max(state->lower, state->upper));
    if ((GetStyle() & UDS_SETBUDDYINT) && state->buddy)
        if (CWnd* buddy = CWnd::FromHandle(state->buddy))
            buddy->SetWindowText(Format(state->pos, !(GetStyle() & UDS_NOTHOUSANDS)));
    return previous;
}

int CSpinButtonCtrl::GetPos32(BOOL* lpbError) const
{
    SpinWidget* state = StateOf(this);
    if (!state) return 0;
    bool error = false;
    if ((GetStyle() & UDS_SETBUDDYINT) && state->buddy) {
        if (CWnd* buddy = CWnd::FromHandle(state->buddy)) {
            CString text;
            buddy->GetWindowText(text);
            std::string digits;
            for (char c : std::string(text.c_str()))
                if (c != ',') digits += c;
            int value = 0;
            if (platform::ParseInt(digits.c_str(), value) && value >= std::min(state->lower, state->upper) &&
                value <= std::max(state->lower, state->upper))
                state->pos = value;
            else
                error = true;
        }
    }
    if (lpbError) *lpbError = error ? TRUE : FALSE;
    return state->pos;
}

int CSpinButtonCtrl::GetPos() const
{
    BOOL error = FALSE;
    const int pos = GetPos32(&error);
    // The 16-bit answer: the position in the low word, nonzero in the high word on error.
    return static_cast<int>(MAKELONG(static_cast<WORD>(pos), error ? 1 : 0));
}

CWnd* CSpinButtonCtrl::SetBuddy(CWnd* pWndBuddy)
{
    SpinWidget* state = StateOf(this);
    if (!state) return nullptr;
    CWnd* previous = CWnd::FromHandle(state->buddy);
    state->buddy = pWndBuddy ? pWndBuddy->GetSafeHwnd() : nullptr;
    if (pWndBuddy && (GetStyle() & (UDS_ALIGNRIGHT | UDS_ALIGNLEFT))) {
        // The arrows sit against the buddy's edge and take their width from it.
        CRect buddyRect, own;
        pWndBuddy->GetWindowRect(&buddyRect);
        GetWindowRect(&own);
        if (CWnd* parent = GetParent()) {
            parent->ScreenToClient(&buddyRect);
            const int width = own.Width();
            if (GetStyle() & UDS_ALIGNRIGHT) {
                pWndBuddy->MoveWindow(buddyRect.left, buddyRect.top, buddyRect.Width() - width,
                                      buddyRect.Height());
                MoveWindow(buddyRect.right - width, buddyRect.top, width, buddyRect.Height());
            } else {
                pWndBuddy->MoveWindow(buddyRect.left + width, buddyRect.top, buddyRect.Width() - width,
                                      buddyRect.Height());
                MoveWindow(buddyRect.left, buddyRect.top, width, buddyRect.Height());
            }
        }
    }
    if (pWndBuddy && (GetStyle() & UDS_SETBUDDYINT)) SetPos(state->pos);
    return previous;
}

CWnd* CSpinButtonCtrl::GetBuddy() const
{
    const SpinWidget* state = StateOf(this);
    return state ? CWnd::FromHandle(state->buddy) : nullptr;
}

void CSpinButtonCtrl::ClickArrow(bool up)
{
    SpinWidget* state = StateOf(this);
    if (!state || !IsWindowEnabled()) return;
    const HWND hwnd = m_hWnd;
    const int current = GetPos32();
    // "Up" moves toward the upper bound, whichever way the range runs.
    const int delta = (state->upper >= state->lower) == up ? 1 : -1;
    NMUPDOWN change{{}, current, delta};
    if (platform::NotifyParent(this, change.hdr, UDN_DELTAPOS) != 0) return;  // vetoed
    if (CWnd::FromHandle(hwnd) != this) return;
    const int lo = std::min(state->lower, state->upper), hi = std::max(state->lower, state->upper);
    long long next = static_cast<long long>(current) + change.iDelta;
    if (next > hi) next = (GetStyle() & UDS_WRAP) ? lo : hi;
    if (next < lo) next = (GetStyle() & UDS_WRAP) ? hi : lo;
    SetPos(static_cast<int>(next));
    CWnd* parent = GetParent();
    if (!parent) return;
    const UINT message = (GetStyle() & UDS_HORZ) ? WM_HSCROLL : WM_VSCROLL;
    ::SendMessage(parent->GetSafeHwnd(), message, MAKEWPARAM(SB_THUMBPOSITION, static_cast<WORD>(state->pos)),
                  reinterpret_cast<LPARAM>(hwnd));
    if (IsWindow(hwnd) && IsWindow(parent->GetSafeHwnd()))
        ::SendMessage(parent->GetSafeHwnd(), message, MAKEWPARAM(SB_ENDSCROLL, static_cast<WORD>(state->pos)),
                      reinterpret_cast<LPARAM>(hwnd));
}
