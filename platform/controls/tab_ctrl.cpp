#include "platform/controls/tab_ctrl.h"

#include <QPainter>
#include <QPixmap>
#include <QResizeEvent>
#include <QStyleOptionTabWidgetFrame>
#include <QTabBar>

#include "platform/controls/control_notify.h"
#include "platform/controls/image_list.h"
#include "platform/qt_types_internal.h"

namespace {

constexpr int kPaneMargin = 2;

class TabWidget : public QWidget {
public:
    TabWidget(HWND hwnd, bool bottom, QWidget* parent) : QWidget(parent), m_hwnd(hwnd), m_bottom(bottom)
    {
        bar = new QTabBar(this);
        bar->setShape(bottom ? QTabBar::RoundedSouth : QTabBar::RoundedNorth);
        bar->setDrawBase(false);
        bar->setExpanding(false);
        QObject::connect(bar, &QTabBar::currentChanged, this, [this](int now) { Changed(now); });
    }

    QTabBar* bar;
    CImageList* images = nullptr;
    DWORD exStyle = 0;
    bool quiet = false;
    int shown = -1;  // the selection the parent knows
    std::vector<LPARAM> params;

    int BarHeight() const
    {
        return bar->count() > 0 ? bar->sizeHint().height() : bar->fontMetrics().height() + 8;
    }
    bool Bottom() const { return m_bottom; }

    void Layout()
    {
        const int h = BarHeight();
        bar->setGeometry(0, m_bottom ? height() - h : 0, width(), h);
    }

    void ApplyImage(int index, int image)
    {
        bar->setTabData(index, image);
        const QImage picture = images ? images->GetImage(image) : QImage();
        bar->setTabIcon(index, picture.isNull() ? QIcon() : QIcon(QPixmap::fromImage(picture)));
    }

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        Layout();
        QWidget::resizeEvent(event);
    }

    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        // Tabs drawn as buttons have no display area, so no frame either; flat buttons are
        // parted by a line when asked for.
        const CWnd* wnd = CWnd::FromHandle(m_hwnd);
        const DWORD windowStyle = wnd ? wnd->GetStyle() : 0;
        if (windowStyle & TCS_BUTTONS) {
            if ((windowStyle & TCS_FLATBUTTONS) && (exStyle & TCS_EX_FLATSEPARATORS)) {
                painter.setPen(palette().color(QPalette::Mid));
                for (int i = 0; i + 1 < bar->count(); ++i) {
                    const QRect r = bar->tabRect(i).translated(bar->pos());
                    painter.drawLine(r.right() + 1, r.top() + 3, r.right() + 1, r.bottom() - 3);
                }
            }
            return;
        }
        // The display area's frame.
        QStyleOptionTabWidgetFrame frame;
        frame.initFrom(this);
        const int h = BarHeight();
        frame.rect =
            m_bottom ? QRect(0, 0, width(), height() - h + 1) : QRect(0, h - 1, width(), height() - h + 1);
        style()->drawPrimitive(QStyle::PE_FrameTabWidget, &frame, &painter, this);
    }

private:
    void Changed(int now)
    {
        if (quiet) {
            shown = now;
            return;
        }
        const HWND hwnd = m_hwnd;
        CWnd* wnd = CWnd::FromHandle(hwnd);
        if (!wnd) return;
        // The parent is asked while the old tab is still the selection.
        quiet = true;
        bar->setCurrentIndex(shown);
        quiet = false;
        NMHDR header{};
        if (platform::NotifyParent(wnd, header, TCN_SELCHANGING) != 0 || !IsWindow(hwnd)) return;
        quiet = true;
        bar->setCurrentIndex(now);
        quiet = false;
        shown = now;
        if (CWnd* again = CWnd::FromHandle(hwnd)) platform::NotifyParent(again, header, TCN_SELCHANGE);
    }

    HWND m_hwnd;
    bool m_bottom;
};

TabWidget* TabsOf(const CWnd* wnd)
{
    return dynamic_cast<TabWidget*>(wnd->GetWidget());
}

struct Quiet {
    TabWidget* tabs;
    explicit Quiet(TabWidget* t) : tabs(t) { tabs->quiet = true; }
    ~Quiet() { tabs->quiet = false; }
};

}  // namespace

BOOL CTabCtrl::Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID)
{
    return CWnd::Create(platform::ControlClass("SysTabControl32"), nullptr, dwStyle, rect, pParentWnd, nID);
}

QWidget* CTabCtrl::CreateWidget(const CREATESTRUCT& cs, QWidget* parentWidget)
{
    auto* tabs = new TabWidget(m_hWnd, cs.style & TCS_BOTTOM, parentWidget);
    tabs->setFocusPolicy((cs.style & TCS_FOCUSNEVER) ? Qt::NoFocus : Qt::StrongFocus);
    return tabs;
}

DWORD CTabCtrl::SetExtendedStyle(DWORD dwNewStyle, DWORD dwExMask)
{
    TabWidget* tabs = TabsOf(this);
    if (!tabs) return 0;
    const DWORD previous = tabs->exStyle;
    const DWORD mask = dwExMask ? dwExMask : ~DWORD(0);
    tabs->exStyle = (previous & ~mask) | (dwNewStyle & mask);
    tabs->update();
    return previous;
}

DWORD CTabCtrl::GetExtendedStyle() const
{
    TabWidget* tabs = TabsOf(this);
    return tabs ? tabs->exStyle : 0;
}

LONG CTabCtrl::InsertItem(int nItem, LPCTSTR lpszItem)
{
    return InsertItem(nItem, lpszItem, -1);
}

LONG CTabCtrl::InsertItem(int nItem, LPCTSTR lpszItem, int nImage)
{
    TCITEM item{TCIF_TEXT | TCIF_IMAGE, 0, 0, const_cast<LPTSTR>(lpszItem), 0, nImage, 0};
    return InsertItem(nItem, &item);
}

LONG CTabCtrl::InsertItem(int nItem, const TCITEM* pItem)
{
    TabWidget* tabs = TabsOf(this);
    if (!tabs || !pItem || nItem < 0) return -1;
    const Quiet quiet(tabs);
    const int at = std::min(nItem, tabs->bar->count());
    tabs->bar->insertTab(
        at, QString::fromUtf8((pItem->mask & TCIF_TEXT) && pItem->pszText ? pItem->pszText : ""));
    tabs->params.insert(tabs->params.begin() + at, (pItem->mask & TCIF_PARAM) ? pItem->lParam : 0);
    tabs->ApplyImage(at, (pItem->mask & TCIF_IMAGE) ? pItem->iImage : -1);
    tabs->shown = tabs->bar->currentIndex();
    tabs->Layout();
    return at;
}

BOOL CTabCtrl::GetItem(int nItem, TCITEM* pItem) const
{
    TabWidget* tabs = TabsOf(this);
    if (!tabs || !pItem || nItem < 0 || nItem >= tabs->bar->count()) return FALSE;
    if ((pItem->mask & TCIF_TEXT) && pItem->pszText && pItem->cchTextMax > 0) {
        const QByteArray text = tabs->bar->tabText(nItem).toUtf8();
        const auto count = std::min<qsizetype>(text.size(), pItem->cchTextMax - 1);
        std::memcpy(pItem->pszText, text.constData(), static_cast<std::size_t>(count));
        pItem->pszText[count] = '\0';
    }
    if (pItem->mask & TCIF_IMAGE) pItem->iImage = tabs->bar->tabData(nItem).toInt();
    if (pItem->mask & TCIF_PARAM) pItem->lParam = tabs->params[static_cast<std::size_t>(nItem)];
    return TRUE;
}

BOOL CTabCtrl::SetItem(int nItem, const TCITEM* pItem)
{
    TabWidget* tabs = TabsOf(this);
    if (!tabs || !pItem || nItem < 0 || nItem >= tabs->bar->count()) return FALSE;
    if (pItem->mask & TCIF_TEXT)
        tabs->bar->setTabText(nItem, QString::fromUtf8(pItem->pszText ? pItem->pszText : ""));
    if (pItem->mask & TCIF_IMAGE) tabs->ApplyImage(nItem, pItem->iImage);
    if (pItem->mask & TCIF_PARAM) tabs->params[static_cast<std::size_t>(nItem)] = pItem->lParam;
    return TRUE;
}

BOOL CTabCtrl::DeleteItem(int nItem)
{
    TabWidget* tabs = TabsOf(this);
    if (!tabs || nItem < 0 || nItem >= tabs->bar->count()) return FALSE;
    const Quiet quiet(tabs);
    tabs->bar->removeTab(nItem);
    tabs->params.erase(tabs->params.begin() + nItem);
    tabs->shown = tabs->bar->currentIndex();
    return TRUE;
}

BOOL CTabCtrl::DeleteAllItems()
{
    TabWidget* tabs = TabsOf(this);
    if (!tabs) return FALSE;
    const Quiet quiet(tabs);
    while (tabs->bar->count() > 0) tabs->bar->removeTab(0);
    tabs->params.clear();
    tabs->shown = -1;
    return TRUE;
}

int CTabCtrl::GetItemCount() const
{
    TabWidget* tabs = TabsOf(this);
    return tabs ? tabs->bar->count() : 0;
}

int CTabCtrl::GetCurSel() const
{
    TabWidget* tabs = TabsOf(this);
    return tabs ? tabs->bar->currentIndex() : -1;
}

int CTabCtrl::SetCurSel(int nItem)
{
    TabWidget* tabs = TabsOf(this);
    if (!tabs || nItem < 0 || nItem >= tabs->bar->count()) return -1;
    const int previous = tabs->bar->currentIndex();
    const Quiet quiet(tabs);
    tabs->bar->setCurrentIndex(nItem);
    tabs->shown = nItem;
    return previous;
}

BOOL CTabCtrl::GetItemRect(int nItem, LPRECT lpRect) const
{
    TabWidget* tabs = TabsOf(this);
    if (!tabs || !lpRect || nItem < 0 || nItem >= tabs->bar->count()) return FALSE;
    const QRect rect = tabs->bar->tabRect(nItem).translated(tabs->bar->pos());
    *lpRect = platform::ToRect(rect);
    return TRUE;
}

void CTabCtrl::AdjustRect(BOOL bLarger, LPRECT lpRect) const
{
    TabWidget* tabs = TabsOf(this);
    if (!tabs || !lpRect) return;
    const int h = tabs->BarHeight();
    const int sign = bLarger ? -1 : 1;
    lpRect->left += sign * kPaneMargin;
    lpRect->right -= sign * kPaneMargin;
    if (tabs->Bottom()) {
        lpRect->top += sign * kPaneMargin;
        lpRect->bottom -= sign * (h + kPaneMargin);
    } else {
        lpRect->top += sign * (h + kPaneMargin);
        lpRect->bottom -= sign * kPaneMargin;
    }
}

CImageList* CTabCtrl::SetImageList(CImageList* pImageList)
{
    TabWidget* tabs = TabsOf(this);
    if (!tabs) return nullptr;
    CImageList* previous = tabs->images;
    tabs->images = pImageList;
    int cx = 16, cy = 16;
    if (pImageList && pImageList->GetIconSize(cx, cy)) tabs->bar->setIconSize(QSize(cx, cy));
    for (int i = 0; i < tabs->bar->count(); ++i) tabs->ApplyImage(i, tabs->bar->tabData(i).toInt());
    tabs->Layout();
    return previous;
}

CImageList* CTabCtrl::GetImageList() const
{
    TabWidget* tabs = TabsOf(this);
    return tabs ? tabs->images : nullptr;
}
