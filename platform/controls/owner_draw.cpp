#include "platform/controls/owner_draw.h"

#include <QAbstractButton>
#include <QPainter>

#include "platform/controls/button.h"
#include "platform/controls/static_ctrl.h"
#include "platform/gdi/dc.h"

namespace {

// Paints by asking: the parent (WM_DRAWITEM) or else the control class (DrawItem) draws on a
// device context over the widget's picture. A button so drawn still clicks like one.
class OwnerDrawWidget : public QAbstractButton {
public:
    OwnerDrawWidget(HWND hwnd, UINT type, QWidget* parent)
        : QAbstractButton(parent), m_hwnd(hwnd), m_type(type)
    {
        setFocusPolicy(type == ODT_BUTTON ? Qt::StrongFocus : Qt::NoFocus);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QImage picture(size(), QImage::Format_RGB32);
        picture.fill(palette().color(QPalette::Button));
        CWnd* wnd = CWnd::FromHandle(m_hwnd);
        if (wnd && !picture.isNull()) {
            const HDC dc = CreateImageDC(&picture);
            UINT state = 0;
            if (isDown()) state |= ODS_SELECTED;
            if (hasFocus()) state |= ODS_FOCUS;
            if (!isEnabled()) state |= ODS_DISABLED;
            const UINT id = static_cast<UINT>(wnd->GetDlgCtrlID());
            DRAWITEMSTRUCT item{
                m_type, id, 0, ODA_DRAWENTIRE, state, m_hwnd, dc, RECT{0, 0, width(), height()}, 0};
            CWnd* parent = wnd->GetParent();
            const LRESULT drawn = parent ? ::SendMessage(parent->GetSafeHwnd(), WM_DRAWITEM, id,
                                                         reinterpret_cast<LPARAM>(&item))
                                         : 0;
            if (!drawn && (wnd = CWnd::FromHandle(m_hwnd)) != nullptr) {
                if (auto* button = dynamic_cast<CButton*>(wnd))
                    button->DrawItem(&item);
                else if (auto* label = dynamic_cast<CStatic*>(wnd))
                    label->DrawItem(&item);
            }
            if (dc) DeleteDC(dc);
        }
        QPainter painter(this);
        painter.drawImage(0, 0, picture);
    }

private:
    HWND m_hwnd;
    UINT m_type;
};

}  // namespace

namespace platform {

QWidget* MakeOwnerDrawWidget(HWND hwnd, UINT ctlType, QWidget* parent)
{
    return new OwnerDrawWidget(hwnd, ctlType, parent);
}

}  // namespace platform
