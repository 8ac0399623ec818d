#include "platform/controls/static_ctrl.h"

#include <cstdlib>

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>

#include "platform/controls/control_notify.h"
#include "platform/qt_types_internal.h"
#include "platform/resources/icon_internal.h"
#include "platform/resources/resources.h"

namespace {

// A label that asks for its colours as it paints and tells a click (SS_NOTIFY).
class StaticWidget : public QLabel {
public:
    StaticWidget(HWND hwnd, QWidget* parent) : QLabel(parent), m_hwnd(hwnd) {}

protected:
    void paintEvent(QPaintEvent* event) override
    {
        if (CWnd* wnd = CWnd::FromHandle(m_hwnd)) {
            COLORREF text = 0, back = 0;
            bool transparent = false;
            QPalette colours = palette();
            if (platform::AskControlColours(wnd, CTLCOLOR_STATIC, text, back, transparent)) {
                colours.setColor(QPalette::WindowText, platform::ToQColor(text));
                if (!transparent) {
                    QPainter painter(this);
                    painter.fillRect(rect(), platform::ToQColor(back));
                }
            }
            if (colours != palette()) setPalette(colours);
        }
        QLabel::paintEvent(event);
    }

    void mouseReleaseEvent(QMouseEvent* event) override
    {
        const HWND hwnd = m_hwnd;
        QLabel::mouseReleaseEvent(event);
        CWnd* wnd = CWnd::FromHandle(hwnd);
        if (wnd && event->button() == Qt::LeftButton && (wnd->GetStyle() & SS_NOTIFY) &&
            rect().contains(event->position().toPoint()))
            platform::NotifyParentCommand(wnd, STN_CLICKED);
    }

private:
    HWND m_hwnd;
};

}  // namespace

BOOL CStatic::Create(LPCTSTR lpszText, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID)
{
    return CWnd::Create(platform::ControlClass("Static"), lpszText, dwStyle, rect, pParentWnd, nID);
}

QWidget* CStatic::CreateWidget(const CREATESTRUCT& cs, QWidget* parentWidget)
{
    const DWORD style = static_cast<DWORD>(cs.style);
    const DWORD type = style & SS_TYPEMASK;
    if (type == SS_OWNERDRAW) return platform::MakeOwnerDrawWidget(m_hWnd, ODT_STATIC, parentWidget);
    auto* label = new StaticWidget(m_hWnd, parentWidget);
    label->setFocusPolicy(Qt::NoFocus);
    label->setTextFormat(Qt::PlainText);
    switch (type) {
        case SS_BLACKFRAME:
        case SS_GRAYFRAME:
        case SS_WHITEFRAME:
            label->setFrameStyle(QFrame::Box | QFrame::Plain);
            break;
        case SS_ETCHEDFRAME:
            label->setFrameStyle(QFrame::Box | QFrame::Sunken);
            break;
        case SS_ETCHEDHORZ:
            label->setFrameStyle(QFrame::HLine | QFrame::Sunken);
            break;
        case SS_ETCHEDVERT:
            label->setFrameStyle(QFrame::VLine | QFrame::Sunken);
            break;
        case SS_BLACKRECT:
        case SS_GRAYRECT:
        case SS_WHITERECT: {
            label->setAutoFillBackground(true);
            QPalette palette = label->palette();
            palette.setColor(QPalette::Window, type == SS_BLACKRECT  ? Qt::black
                                               : type == SS_GRAYRECT ? Qt::gray
                                                                     : Qt::white);
            label->setPalette(palette);
            break;
        }
        case SS_ICON: {
            // A template names its icon as "#<id>", as resource scripts do.
            const char* name = cs.lpszName ? cs.lpszName : "";
            char* end = nullptr;
            const unsigned long id = name[0] == '#' ? std::strtoul(name + 1, &end, 10) : 0;
            const HICON icon = (end && *end == '\0' && id > 0 && id <= 0xFFFF)
                                   ? ::LoadIcon(nullptr, MAKEINTRESOURCE(static_cast<UINT>(id)))
                                   : nullptr;
            if (icon) label->setPixmap(QPixmap::fromImage(icon->image));
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            break;
        }
        default:
            label->setText(QString::fromUtf8(cs.lpszName ? cs.lpszName : ""));
            label->setAlignment(Qt::AlignTop | (type == SS_CENTER  ? Qt::AlignHCenter
                                                : type == SS_RIGHT ? Qt::AlignRight
                                                                   : Qt::AlignLeft));
            label->setWordWrap(type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT);
            break;
    }
    if (style & SS_SUNKEN) label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    if (style & SS_CENTERIMAGE) label->setAlignment(Qt::AlignCenter);
    return label;
}

void CStatic::ApplyWindowText(const CString& text)
{
    const DWORD type = GetStyle() & SS_TYPEMASK;
    if (auto* label = qobject_cast<QLabel*>(GetWidget());
        label && type != SS_BITMAP && type != SS_ICON && type != SS_OWNERDRAW)
        label->setText(QString::fromUtf8(text.c_str()));
}

void CStatic::SetBitmap(const QImage& image)
{
    if (auto* label = qobject_cast<QLabel*>(GetWidget())) label->setPixmap(QPixmap::fromImage(image));
}

namespace {
// The icon handle a static was given, kept for STM_GETICON (the picture itself is copied).
constexpr const char* kIconProperty = "tarvenixIcon";
}  // namespace

LRESULT CStatic::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* label = qobject_cast<QLabel*>(GetWidget());
    switch (message) {
        case STM_SETICON: {
            if (!label) return 0;
            const auto previous = label->property(kIconProperty).value<quintptr>();
            const HICON icon = reinterpret_cast<HICON>(wParam);
            if (icon && !icon->image.isNull())
                label->setPixmap(QPixmap::fromImage(icon->image));
            else
                label->setPixmap(QPixmap());
            label->setProperty(kIconProperty, QVariant::fromValue(reinterpret_cast<quintptr>(icon)));
            return static_cast<LRESULT>(previous);
        }
        case STM_GETICON:
            return label ? static_cast<LRESULT>(label->property(kIconProperty).value<quintptr>()) : 0;
        default:
            return CWnd::WindowProc(message, wParam, lParam);
    }
}

HICON CStatic::SetIcon(HICON hIcon)
{
    return reinterpret_cast<HICON>(SendMessage(STM_SETICON, reinterpret_cast<WPARAM>(hIcon)));
}

HICON CStatic::GetIcon() const
{
    return reinterpret_cast<HICON>(::SendMessage(m_hWnd, STM_GETICON, 0, 0));
}
