#include "platform/controls/button.h"

#include <QCheckBox>
#include <QIcon>
#include <QPixmap>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>

#include "platform/controls/control_notify.h"
#include "platform/resources/icon_internal.h"
#include "platform/resources/resources.h"

namespace {

QString ToQ(const CString& text)
{
    // The mnemonic marker is the same ("&"); Qt shows "&&" as "&" too.
    return QString::fromUtf8(text.c_str());
}

// The button decides its next state itself (auto styles only), so Qt's own toggle is off.
class CheckWidget : public QCheckBox {
public:
    using QCheckBox::QCheckBox;

protected:
    void nextCheckState() override {}
};

class RadioWidget : public QRadioButton {
public:
    using QRadioButton::QRadioButton;

protected:
    void nextCheckState() override {}
};

// The icon handle a button was given, kept for BM_GETIMAGE (the picture itself is copied).
constexpr const char* kIconProperty = "tarvenixIcon";

bool PictureOnly(const CWnd* wnd)
{
    return (wnd->GetStyle() & (BS_ICON | BS_BITMAP)) != 0;
}

DWORD Type(const CWnd* wnd)
{
    return wnd->GetStyle() & BS_TYPEMASK;
}

bool IsRadio(DWORD type)
{
    return type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON;
}
bool IsCheck(DWORD type)
{
    return type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_3STATE || type == BS_AUTO3STATE;
}

}  // namespace

BOOL CButton::Create(LPCTSTR lpszCaption, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID)
{
    return CWnd::Create(platform::ControlClass("Button"), lpszCaption, dwStyle, rect, pParentWnd, nID);
}

QWidget* CButton::CreateWidget(const CREATESTRUCT& cs, QWidget* parentWidget)
{
    const DWORD type = static_cast<DWORD>(cs.style) & BS_TYPEMASK;
    // A picture button shows its picture alone.
    const bool pictureOnly = type != BS_GROUPBOX && (cs.style & (BS_ICON | BS_BITMAP));
    const QString text = pictureOnly ? QString() : QString::fromUtf8(cs.lpszName ? cs.lpszName : "");
    const HWND hwnd = m_hWnd;
    QAbstractButton* button = nullptr;
    if (type == BS_GROUPBOX) {
        auto* box = new QGroupBox(text, parentWidget);
        box->setFocusPolicy(Qt::NoFocus);
        box->setAttribute(Qt::WA_TransparentForMouseEvents);  // clicks reach the controls inside the frame
        return box;
    }
    if (type == BS_OWNERDRAW) {
        QWidget* owned = platform::MakeOwnerDrawWidget(hwnd, ODT_BUTTON, parentWidget);
        QObject::connect(static_cast<QAbstractButton*>(owned), &QAbstractButton::clicked, owned,
                         [hwnd] { platform::ButtonClicked(hwnd); });
        return owned;
    }
    if (IsRadio(type)) {
        auto* radio = new RadioWidget(text, parentWidget);
        radio->setAutoExclusive(false);  // groups follow WS_GROUP, not Qt's parent rule
        radio->setCheckable(true);
        button = radio;
    } else if (IsCheck(type)) {
        auto* check = new CheckWidget(text, parentWidget);
        check->setTristate(type == BS_3STATE || type == BS_AUTO3STATE);
        check->setCheckable(true);
        button = check;
    } else {
        auto* push = new QPushButton(text, parentWidget);
        push->setAutoDefault(false);
        push->setDefault(type == BS_DEFPUSHBUTTON);
        button = push;
    }
    button->setFocusPolicy(Qt::StrongFocus);
    QObject::connect(button, &QAbstractButton::clicked, button, [hwnd] { platform::ButtonClicked(hwnd); });
    return button;
}

namespace platform {

namespace {

int CheckOf(QWidget* widget)
{
    if (auto* check = qobject_cast<QCheckBox*>(widget))
        return check->checkState() == Qt::PartiallyChecked ? BST_INDETERMINATE
               : check->checkState() == Qt::Checked        ? BST_CHECKED
                                                           : BST_UNCHECKED;
    if (auto* radio = qobject_cast<QRadioButton*>(widget))
        return radio->isChecked() ? BST_CHECKED : BST_UNCHECKED;
    return BST_UNCHECKED;
}

void SetCheckOf(QWidget* widget, int check)
{
    if (auto* box = qobject_cast<QCheckBox*>(widget)) {
        if (check == BST_INDETERMINATE) box->setTristate(true);
        box->setCheckState(check == BST_INDETERMINATE ? Qt::PartiallyChecked
                           : check                    ? Qt::Checked
                                                      : Qt::Unchecked);
    } else if (auto* radio = qobject_cast<QRadioButton*>(widget)) {
        radio->setChecked(check == BST_CHECKED);
    }
}

}  // namespace

void ButtonClicked(HWND hwnd)
{
    CWnd* wnd = CWnd::FromHandle(hwnd);
    if (!wnd || !wnd->IsWindowEnabled()) return;
    const DWORD type = Type(wnd);
    QWidget* widget = wnd->GetWidget();
    if (type == BS_AUTOCHECKBOX)
        SetCheckOf(widget, CheckOf(widget) == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED);
    if (type == BS_AUTO3STATE) SetCheckOf(widget, (CheckOf(widget) + 1) % 3);
    if (type == BS_AUTORADIOBUTTON) {
        // Clear the other auto radio buttons of the group, then check this one.
        CWnd* parent = wnd->GetParent();
        if (parent) {
            std::vector<CWnd*> group;
            for (CWnd* child = parent->GetWindow(GW_CHILD); child; child = child->GetWindow(GW_HWNDNEXT)) {
                if (child->GetStyle() & WS_GROUP) {
                    bool contains = false;
                    for (CWnd* member : group) contains |= member == wnd;
                    if (contains) break;
                    group.clear();
                }
                group.push_back(child);
            }
            for (CWnd* member : group)
                if (member != wnd && Type(member) == BS_AUTORADIOBUTTON)
                    SetCheckOf(member->GetWidget(), BST_UNCHECKED);
        }
        SetCheckOf(widget, BST_CHECKED);
    }
    NotifyParentCommand(wnd, BN_CLICKED);
}

}  // namespace platform

LRESULT CButton::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
        case BM_GETCHECK:
            return platform::CheckOf(GetWidget());
        case BM_SETCHECK:
            platform::SetCheckOf(GetWidget(), static_cast<int>(wParam));
            return 0;
        case BM_GETSTATE: {
            QWidget* widget = GetWidget();
            UINT state = static_cast<UINT>(platform::CheckOf(widget));
            if (auto* button = qobject_cast<QAbstractButton*>(widget); button && button->isDown())
                state |= BST_PUSHED;
            if (widget && widget->hasFocus()) state |= BST_FOCUS;
            return state;
        }
        case BM_CLICK:
            platform::ButtonClicked(m_hWnd);
            return 0;
        case BM_SETIMAGE: {
            auto* button = qobject_cast<QAbstractButton*>(GetWidget());
            if (!button || wParam != IMAGE_ICON) return 0;
            const auto previous = button->property(kIconProperty).value<quintptr>();
            const HICON icon = reinterpret_cast<HICON>(lParam);
            if (icon && !icon->image.isNull()) {
                button->setIcon(QIcon(QPixmap::fromImage(icon->image)));
                button->setIconSize(icon->image.size());
            } else {
                button->setIcon(QIcon());
            }
            button->setProperty(kIconProperty, QVariant::fromValue(reinterpret_cast<quintptr>(icon)));
            if (PictureOnly(this)) button->setText(QString());
            return static_cast<LRESULT>(previous);
        }
        case BM_GETIMAGE: {
            auto* button = qobject_cast<QAbstractButton*>(GetWidget());
            if (!button || wParam != IMAGE_ICON) return 0;
            return static_cast<LRESULT>(button->property(kIconProperty).value<quintptr>());
        }
        case BM_SETSTYLE: {
            ModifyStyle(BS_TYPEMASK, static_cast<DWORD>(wParam) & BS_TYPEMASK);
            if (auto* push = qobject_cast<QPushButton*>(GetWidget()))
                push->setDefault((wParam & BS_TYPEMASK) == BS_DEFPUSHBUTTON);
            return 0;
        }
        default:
            return CWnd::WindowProc(message, wParam, lParam);
    }
}

int CButton::GetCheck() const
{
    return static_cast<int>(::SendMessage(m_hWnd, BM_GETCHECK, 0, 0));
}
void CButton::SetCheck(int nCheck)
{
    SendMessage(BM_SETCHECK, static_cast<WPARAM>(nCheck));
}
UINT CButton::GetState() const
{
    return static_cast<UINT>(::SendMessage(m_hWnd, BM_GETSTATE, 0, 0));
}
void CButton::SetButtonStyle(UINT nStyle, BOOL)
{
    SendMessage(BM_SETSTYLE, nStyle);
}
void CButton::Click()
{
    SendMessage(BM_CLICK);
}

HICON CButton::SetIcon(HICON hIcon)
{
    return reinterpret_cast<HICON>(SendMessage(BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(hIcon)));
}

HICON CButton::GetIcon() const
{
    return reinterpret_cast<HICON>(::SendMessage(m_hWnd, BM_GETIMAGE, IMAGE_ICON, 0));
}

void CButton::ApplyWindowText(const CString& text)
{
    QWidget* widget = GetWidget();
    if (auto* button = qobject_cast<QAbstractButton*>(widget))
        button->setText(PictureOnly(this) ? QString() : ToQ(text));
    else if (auto* box = qobject_cast<QGroupBox*>(widget))
        box->setTitle(ToQ(text));
}

CString CButton::ReadWindowText() const
{
    return CWnd::ReadWindowText();
}
