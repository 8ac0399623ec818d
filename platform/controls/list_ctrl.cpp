#include "platform/controls/list_ctrl.h"

#include <algorithm>

#include <QHeaderView>
#include <QListView>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QStyledItemDelegate>
#include <QTreeWidget>

#include "platform/controls/control_notify.h"
#include "platform/controls/image_list.h"
#include "platform/controls/quiet_scope.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/dc_internal.h"
#include "platform/qt_types_internal.h"

namespace {

constexpr int kDataRole = Qt::UserRole + 1;
constexpr int kStateRole = Qt::UserRole + 2;  // the selected/focused/check state last reported
constexpr int kImageRole = Qt::UserRole + 3;

using platform::ToQColor;

class ListWidget;

// Paints each cell after asking the parent for its colours (NM_CUSTOMDRAW).
class CustomDrawDelegate : public QStyledItemDelegate {
public:
    explicit CustomDrawDelegate(ListWidget* list);
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

private:
    ListWidget* m_list;
};

class ListWidget : public QTreeWidget {
public:
    ListWidget(HWND hwnd, QWidget* parent) : QTreeWidget(parent), m_hwnd(hwnd)
    {
        setRootIsDecorated(false);
        setUniformRowHeights(true);
        setAllColumnsShowFocus(true);
        setFocusPolicy(Qt::StrongFocus);
        setItemDelegate(new CustomDrawDelegate(this));
        connect(this, &QTreeWidget::itemSelectionChanged, this, [this] { ReportStates(); });
        connect(this, &QTreeWidget::currentItemChanged, this, [this] { ReportStates(); });
        connect(this, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem*, int column) {
            if (column == 0) ReportStates();
        });
        connect(header(), &QHeaderView::sectionClicked, this, [this](int column) {
            NMLISTVIEW click{};
            click.iItem = -1;
            click.iSubItem = column;
            Notify(click.hdr, LVN_COLUMNCLICK);
        });
    }

    CImageList* images = nullptr;       ///< LVSIL_SMALL
    CImageList* largeImages = nullptr;  ///< LVSIL_NORMAL
    QListView* iconView = nullptr;      ///< icon mode: the grid that shows the items
    DWORD exStyle = 0;
    COLORREF background = CLR_DEFAULT;
    COLORREF text = CLR_DEFAULT;
    COLORREF textBackground = CLR_DEFAULT;
    bool quiet = false;
    // What the parent answered for the paint under way.
    mutable LRESULT paintAnswer = CDRF_DODEFAULT;
    mutable int rowAsked = -1;
    mutable LRESULT rowAnswer = CDRF_DODEFAULT;
    mutable COLORREF rowText = CLR_DEFAULT;
    mutable COLORREF rowBack = CLR_DEFAULT;

    HWND Handle() const { return m_hwnd; }

    /// The view the user sees: the icon grid in icon mode, else the list itself.
    QAbstractItemView* View() { return iconView ? static_cast<QAbstractItemView*>(iconView) : this; }
    /// The pictures items show: the large ones in icon mode, the small ones otherwise (each
    /// falling back to the other when only one list is set).
    CImageList* Pictures() const
    {
        if (iconView) return largeImages ? largeImages : images;
        return images ? images : largeImages;
    }
    /// The rectangle of a model index of the view in the control's client coordinates.
    QRect ClientRectOf(const QModelIndex& index)
    {
        QAbstractItemView* view = View();
        const QRect rect = view->visualRect(index);
        return QRect(view->viewport()->mapTo(this, rect.topLeft()), rect.size());
    }

    /// Asks the parent whether the label of index may be edited (LVN_BEGINLABELEDIT).
    bool BeginLabelEdit(const QModelIndex& index)
    {
        if (index.column() != 0) return false;
        const HWND hwnd = m_hwnd;
        QTreeWidgetItem* item = itemFromIndex(index);
        if (!item) return false;
        NMLVDISPINFO info{};
        QByteArray label = item->text(0).toUtf8();
        info.item.mask = LVIF_TEXT | LVIF_PARAM;
        info.item.iItem = index.row();
        info.item.pszText = label.data();
        info.item.lParam = static_cast<LPARAM>(item->data(0, kDataRole).value<qulonglong>());
        if (Notify(info.hdr, LVN_BEGINLABELEDIT) != 0 || !IsWindow(hwnd)) return false;
        m_editing = item;
        m_committed = false;
        return true;
    }

    /// The edit ends with the editor's text: the parent keeps it by answering nonzero.
    void CommitLabel(QWidget* editor)
    {
        auto* line = qobject_cast<QLineEdit*>(editor);
        if (!line || !m_editing) return;
        m_committed = true;
        QByteArray label = line->text().toUtf8();
        NMLVDISPINFO info{};
        info.item.mask = LVIF_TEXT;
        info.item.iItem = indexOfTopLevelItem(m_editing);
        info.item.pszText = label.data();
        if (Notify(info.hdr, LVN_ENDLABELEDIT) != 0 && m_editing) m_editing->setText(0, line->text());
    }

    /// The editor closes: an edit that was not committed was cancelled.
    void EndLabelEdit()
    {
        if (!m_committed && m_editing) {
            NMLVDISPINFO info{};
            info.item.iItem = indexOfTopLevelItem(m_editing);
            info.item.pszText = nullptr;
            Notify(info.hdr, LVN_ENDLABELEDIT);
        }
        m_editing = nullptr;
        m_committed = false;
    }

    /// NM_CLICK, NM_RCLICK or NM_DBLCLK for a mouse event on view's viewport.
    void Activate(QAbstractItemView* view, QMouseEvent* event, UINT code)
    {
        const QPoint at = event->position().toPoint();
        const QModelIndex index = view->indexAt(at);
        NMITEMACTIVATE activate{};
        activate.iItem = index.isValid() ? index.row() : -1;
        activate.iSubItem = index.isValid() ? index.column() : 0;
        activate.ptAction = platform::ToPoint(view->viewport()->mapTo(this, at));
        Notify(activate.hdr, code);
    }

    LRESULT Notify(NMHDR& header, UINT code) const
    {
        CWnd* wnd = CWnd::FromHandle(m_hwnd);
        return wnd ? platform::NotifyParent(wnd, header, code) : 0;
    }

    UINT StateOf(QTreeWidgetItem* item) const
    {
        UINT state = 0;
        if (item->isSelected()) state |= LVIS_SELECTED;
        if (currentItem() == item) state |= LVIS_FOCUSED;
        if (exStyle & LVS_EX_CHECKBOXES)
            state |= INDEXTOSTATEIMAGEMASK(item->checkState(0) == Qt::Checked ? 2 : 1);
        return state;
    }

    // Tells the parent about every item whose state differs from what it last heard.
    void ReportStates()
    {
        if (quiet) return;
        const HWND hwnd = m_hwnd;
        for (int row = 0; row < topLevelItemCount(); ++row) {
            QTreeWidgetItem* item = topLevelItem(row);
            const UINT now = StateOf(item);
            const UINT before = item->data(0, kStateRole).toUInt();
            if (now == before) continue;
            quiet = true;
            item->setData(0, kStateRole, now);
            quiet = false;
            NMLISTVIEW change{};
            change.iItem = row;
            change.uNewState = now;
            change.uOldState = before;
            change.uChanged = LVIF_STATE;
            change.lParam = static_cast<LPARAM>(item->data(0, kDataRole).value<qulonglong>());
            Notify(change.hdr, LVN_ITEMCHANGED);
            if (!IsWindow(hwnd)) return;
        }
    }

    void NoteSilently(QTreeWidgetItem* item)
    {
        const bool before = quiet;
        quiet = true;
        item->setData(0, kStateRole, StateOf(item));
        quiet = before;
    }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        NMLVCUSTOMDRAW draw{};
        draw.nmcd.dwDrawStage = CDDS_PREPAINT;
        const QRect area = viewport()->rect();
        draw.nmcd.rc = platform::ToRect(area);
        draw.clrText = text;
        draw.clrTextBk = textBackground;
        if (iconView) return;  // the icon grid covers the list
        paintAnswer = Notify(draw.nmcd.hdr, NM_CUSTOMDRAW);
        rowAsked = -1;
        if (!(paintAnswer & CDRF_SKIPDEFAULT)) QTreeWidget::paintEvent(event);
        if (paintAnswer & CDRF_NOTIFYPOSTPAINT) {
            draw.nmcd.dwDrawStage = CDDS_POSTPAINT;
            Notify(draw.nmcd.hdr, NM_CUSTOMDRAW);
        }
    }

    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override
    {
        if (!(editTriggers() & trigger) && trigger != AllEditTriggers) return false;
        if (!BeginLabelEdit(index)) return false;
        return QTreeWidget::edit(index, trigger, event);
    }

    void commitData(QWidget* editor) override { CommitLabel(editor); }

    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override
    {
        EndLabelEdit();
        QTreeWidget::closeEditor(editor, hint);
    }

    void mouseReleaseEvent(QMouseEvent* event) override
    {
        const HWND hwnd = m_hwnd;
        QTreeWidget::mouseReleaseEvent(event);
        if (!IsWindow(hwnd)) return;
        if (event->button() == Qt::LeftButton)
            Activate(this, event, NM_CLICK);
        else if (event->button() == Qt::RightButton)
            Activate(this, event, NM_RCLICK);
    }

    void mouseDoubleClickEvent(QMouseEvent* event) override
    {
        const HWND hwnd = m_hwnd;
        QTreeWidget::mouseDoubleClickEvent(event);
        if (IsWindow(hwnd) && event->button() == Qt::LeftButton) Activate(this, event, NM_DBLCLK);
    }

    void resizeEvent(QResizeEvent* event) override
    {
        QTreeWidget::resizeEvent(event);
        if (iconView) iconView->setGeometry(rect());
    }

private:
    HWND m_hwnd;
    QTreeWidgetItem* m_editing = nullptr;
    bool m_committed = false;
};

CustomDrawDelegate::CustomDrawDelegate(ListWidget* list) : QStyledItemDelegate(list), m_list(list) {}

// The icon modes: the items of the list laid out as a grid of large pictures with their
// labels below, over the list's own model and selection, so every call of the control and
// every notification works as in the other modes.
class IconView : public QListView {
public:
    explicit IconView(ListWidget* list) : QListView(list), m_list(list)
    {
        setViewMode(QListView::IconMode);
        setMovement(QListView::Static);
        setResizeMode(QListView::Adjust);
        setFlow(QListView::LeftToRight);
        setWrapping(true);
        setWordWrap(true);
        setModel(list->model());
        QItemSelectionModel* own = selectionModel();
        setSelectionModel(list->selectionModel());
        delete own;
        setSelectionMode(list->selectionMode());
        setEditTriggers(list->editTriggers());
        setFrameShape(list->frameShape());
        setFocusPolicy(Qt::StrongFocus);
        list->setFocusProxy(this);
        FitGrid(QSize(32, 32));
    }

    /// The grid cells hold a picture of this size and two lines of label below it.
    void FitGrid(QSize icon)
    {
        setIconSize(icon);
        const int line = fontMetrics().height();
        setGridSize(QSize(std::max(icon.width() + 28, 76), icon.height() + 2 * line + 10));
    }

protected:
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override
    {
        if (!(editTriggers() & trigger) && trigger != AllEditTriggers) return false;
        if (!m_list->BeginLabelEdit(index)) return false;
        return QListView::edit(index, trigger, event);
    }
    void commitData(QWidget* editor) override { m_list->CommitLabel(editor); }
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override
    {
        m_list->EndLabelEdit();
        QListView::closeEditor(editor, hint);
    }
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        const HWND hwnd = m_list->Handle();
        QListView::mouseReleaseEvent(event);
        if (!IsWindow(hwnd)) return;
        if (event->button() == Qt::LeftButton)
            m_list->Activate(this, event, NM_CLICK);
        else if (event->button() == Qt::RightButton)
            m_list->Activate(this, event, NM_RCLICK);
    }
    void mouseDoubleClickEvent(QMouseEvent* event) override
    {
        const HWND hwnd = m_list->Handle();
        QListView::mouseDoubleClickEvent(event);
        if (IsWindow(hwnd) && event->button() == Qt::LeftButton) m_list->Activate(this, event, NM_DBLCLK);
    }

private:
    ListWidget* m_list;
};

/// A picture of a row or cell the parent may draw on during custom draw, with a DC whose
/// coordinates are the control's client coordinates (as nmcd.rc and GetSubItemRect give
/// them). What the parent drew is put onto the view's painter afterwards; pixels it left
/// alone are not touched.
class CellCanvas {
public:
    CellCanvas(const ListWidget& list, const QRect& area, const QColor& fill)
        : m_area(area), m_origin(list.viewport()->mapTo(&list, area.topLeft()))
    {
        if (area.isEmpty()) return;
        m_picture = QImage(area.size(), QImage::Format_RGB32);
        m_picture.fill(fill);
        m_dc = CreateImageDC(&m_picture);
        if (m_dc) SetWindowOrgEx(m_dc, m_origin.x(), m_origin.y(), nullptr);
    }
    ~CellCanvas()
    {
        if (m_dc) DeleteDC(m_dc);
    }
    CellCanvas(const CellCanvas&) = delete;
    CellCanvas& operator=(const CellCanvas&) = delete;

    HDC Dc() const { return m_dc; }
    /// The area in control client coordinates.
    RECT Rect() const
    {
        return RECT{m_origin.x(), m_origin.y(), m_origin.x() + m_area.width(),
                    m_origin.y() + m_area.height()};
    }
    void Composite(QPainter& painter) const
    {
        const auto dc = platform::gdi::FindDc(m_dc);
        if (!dc) return;
        const RECT drawn = platform::gdi::TakeDirty(*dc);
        if (drawn.right <= drawn.left || drawn.bottom <= drawn.top) return;
        const QRect part(drawn.left, drawn.top, drawn.right - drawn.left, drawn.bottom - drawn.top);
        painter.drawImage(m_area.topLeft() + part.topLeft(), m_picture, part);
    }

private:
    QRect m_area;  ///< viewport coordinates
    QPoint m_origin;
    QImage m_picture;
    HDC m_dc = nullptr;
};

void CustomDrawDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const
{
    ListWidget& list = *m_list;
    COLORREF textColour = list.text;
    COLORREF backColour = list.textBackground;
    QTreeWidgetItem* item = list.topLevelItem(index.row());
    const auto fill = [&](NMLVCUSTOMDRAW& draw, DWORD stage, int subItem, const CellCanvas& canvas) {
        draw.nmcd.dwDrawStage = stage;
        draw.nmcd.hdc = canvas.Dc();
        draw.nmcd.rc = canvas.Rect();
        draw.nmcd.dwItemSpec = static_cast<DWORD_PTR>(index.row());
        draw.nmcd.uItemState = (option.state & QStyle::State_Selected ? CDIS_SELECTED : 0u) |
                               (option.state & QStyle::State_HasFocus ? CDIS_FOCUS : 0u);
        draw.nmcd.lItemlParam = item ? static_cast<LPARAM>(item->data(0, kDataRole).value<qulonglong>()) : 0;
        draw.iSubItem = subItem;
    };
    const auto canvasFill = [&](COLORREF back) {
        return back != CLR_DEFAULT && back != CLR_NONE ? ToQColor(back)
                                                       : list.palette().color(QPalette::Base);
    };
    if (list.paintAnswer & CDRF_NOTIFYITEMDRAW) {
        if (list.rowAsked != index.row()) {
            // The row's own stage comes once, before its first cell, over the whole row.
            const QRect row =
                list.visualRect(index.siblingAtColumn(0))
                    .united(list.visualRect(index.siblingAtColumn(std::max(list.columnCount() - 1, 0))));
            CellCanvas canvas(list, row, canvasFill(list.textBackground));
            NMLVCUSTOMDRAW draw{};
            fill(draw, CDDS_ITEMPREPAINT, 0, canvas);
            draw.clrText = list.text;
            draw.clrTextBk = list.textBackground;
            const HWND hwnd = list.Handle();
            list.rowAnswer = list.Notify(draw.nmcd.hdr, NM_CUSTOMDRAW);
            if (!IsWindow(hwnd)) return;
            canvas.Composite(*painter);
            list.rowText = draw.clrText;
            list.rowBack = draw.clrTextBk;
            list.rowAsked = index.row();
        }
        if (list.rowAnswer & CDRF_SKIPDEFAULT) return;
        textColour = list.rowText;
        backColour = list.rowBack;
        if (list.rowAnswer & CDRF_NOTIFYSUBITEMDRAW) {
            CellCanvas canvas(list, option.rect, canvasFill(backColour));
            NMLVCUSTOMDRAW draw{};
            fill(draw, CDDS_ITEMPREPAINT | CDDS_SUBITEM, index.column(), canvas);
            draw.clrText = textColour;
            draw.clrTextBk = backColour;
            const HWND hwnd = list.Handle();
            const LRESULT answer = list.Notify(draw.nmcd.hdr, NM_CUSTOMDRAW);
            if (!IsWindow(hwnd)) return;
            canvas.Composite(*painter);
            if (answer & CDRF_SKIPDEFAULT) return;
            textColour = draw.clrText;
            backColour = draw.clrTextBk;
        }
    }
    QStyleOptionViewItem cell = option;
    const bool selected = option.state & QStyle::State_Selected;
    if (!selected && backColour != CLR_DEFAULT && backColour != CLR_NONE)
        painter->fillRect(option.rect, ToQColor(backColour));
    if (!selected && textColour != CLR_DEFAULT) {
        cell.palette.setColor(QPalette::Text, ToQColor(textColour));
        cell.palette.setColor(QPalette::WindowText, ToQColor(textColour));
    }
    QStyledItemDelegate::paint(painter, cell, index);
}

ListWidget* ListOf(const CWnd* wnd)
{
    return dynamic_cast<ListWidget*>(wnd->GetWidget());
}

using Quiet = platform::QuietScope<ListWidget>;

}  // namespace

BOOL CListCtrl::Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID)
{
    return CWnd::Create(platform::ControlClass("SysListView32"), nullptr, dwStyle, rect, pParentWnd, nID);
}

QWidget* CListCtrl::CreateWidget(const CREATESTRUCT& cs, QWidget* parentWidget)
{
    const DWORD style = static_cast<DWORD>(cs.style);
    auto* list = new ListWidget(m_hWnd, parentWidget);
    const bool report = (style & LVS_TYPEMASK) == LVS_REPORT;
    list->setHeaderHidden(!report || (style & LVS_NOCOLUMNHEADER));
    list->header()->setSectionsClickable(!(style & LVS_NOSORTHEADER));
    // Without columns of its own (list and small-icon modes) the one column spans the view,
    // so that labels are cut only where the control ends.
    list->header()->setStretchLastSection(!report);
    list->setColumnCount(report ? 0 : 1);
    list->setSelectionMode((style & LVS_SINGLESEL) ? QAbstractItemView::SingleSelection
                                                   : QAbstractItemView::ExtendedSelection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setEditTriggers((style & LVS_EDITLABELS)
                              ? QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed
                              : QAbstractItemView::NoEditTriggers);
    list->setFrameShape((style & WS_BORDER) || (cs.dwExStyle & WS_EX_CLIENTEDGE) ? QFrame::StyledPanel
                                                                                 : QFrame::NoFrame);
    if ((style & LVS_TYPEMASK) == LVS_ICON) list->iconView = new IconView(list);
    return list;
}

int CListCtrl::InsertColumn(int nCol, LPCTSTR lpszColumnHeading, int nFormat, int nWidth, int)
{
    ListWidget* list = ListOf(this);
    if (!list || nCol < 0) return -1;
    const int count = list->columnCount();
    const int at = std::min(nCol, count);
    QTreeWidgetItem* header = list->headerItem();
    // Shift the headings right of the new column, then add it.
    list->setColumnCount(count + 1);
    for (int c = count; c > at; --c) {
        header->setText(c, header->text(c - 1));
        header->setTextAlignment(c, header->textAlignment(c - 1));
        list->setColumnWidth(c, list->columnWidth(c - 1));
        for (int row = 0; row < list->topLevelItemCount(); ++row)
            list->topLevelItem(row)->setText(c, list->topLevelItem(row)->text(c - 1));
    }
    for (int row = 0; row < list->topLevelItemCount(); ++row) list->topLevelItem(row)->setText(at, QString());
    header->setText(at, QString::fromUtf8(lpszColumnHeading ? lpszColumnHeading : ""));
    const Qt::Alignment align = nFormat & LVCFMT_RIGHT    ? Qt::AlignRight
                                : nFormat & LVCFMT_CENTER ? Qt::AlignHCenter
                                                          : Qt::AlignLeft;
    header->setTextAlignment(at, static_cast<int>(align | Qt::AlignVCenter));
    list->setColumnWidth(at, nWidth >= 0 ? nWidth : 100);
    return at;
}

BOOL CListCtrl::DeleteColumn(int nCol)
{
    ListWidget* list = ListOf(this);
    if (!list || nCol < 0 || nCol >= list->columnCount()) return FALSE;
    const int count = list->columnCount();
    QTreeWidgetItem* header = list->headerItem();
    for (int c = nCol; c + 1 < count; ++c) {
        header->setText(c, header->text(c + 1));
        list->setColumnWidth(c, list->columnWidth(c + 1));
        for (int row = 0; row < list->topLevelItemCount(); ++row)
            list->topLevelItem(row)->setText(c, list->topLevelItem(row)->text(c + 1));
    }
    list->setColumnCount(count - 1);
    return TRUE;
}

int CListCtrl::GetColumnWidth(int nCol) const
{
    ListWidget* list = ListOf(this);
    return list && nCol >= 0 && nCol < list->columnCount() ? list->columnWidth(nCol) : 0;
}

BOOL CListCtrl::SetColumnWidth(int nCol, int cx)
{
    ListWidget* list = ListOf(this);
    if (!list || nCol < 0 || nCol >= list->columnCount()) return FALSE;
    list->setColumnWidth(nCol, std::max(cx, 0));
    return TRUE;
}

int CListCtrl::GetColumnCount() const
{
    ListWidget* list = ListOf(this);
    return list ? list->columnCount() : 0;
}

int CListCtrl::InsertItem(int nItem, LPCTSTR lpszItem)
{
    return InsertItem(nItem, lpszItem, 0);
}

int CListCtrl::InsertItem(int nItem, LPCTSTR lpszItem, int nImage)
{
    ListWidget* list = ListOf(this);
    if (!list || nItem < 0) return -1;
    if (list->columnCount() == 0) list->setColumnCount(1);
    const Quiet quiet(list);
    int at = std::min(nItem, list->topLevelItemCount());
    const QString text = QString::fromUtf8(lpszItem ? lpszItem : "");
    if (GetStyle() & LVS_SORTASCENDING) {
        at = 0;
        while (at < list->topLevelItemCount() &&
               QString::compare(list->topLevelItem(at)->text(0), text, Qt::CaseInsensitive) <= 0)
            ++at;
    }
    auto* item = new QTreeWidgetItem;
    item->setText(0, text);
    item->setData(0, kDataRole, QVariant::fromValue<qulonglong>(0));
    item->setData(0, kImageRole, nImage);
    Qt::ItemFlags flags = item->flags();
    if (GetStyle() & LVS_EDITLABELS) flags |= Qt::ItemIsEditable;
    if (list->exStyle & LVS_EX_CHECKBOXES) {
        flags |= Qt::ItemIsUserCheckable;
        item->setCheckState(0, Qt::Unchecked);
    }
    item->setFlags(flags);
    if (CImageList* pictures = list->Pictures()) {
        const QImage image = pictures->GetImage(nImage);
        if (!image.isNull()) item->setIcon(0, QIcon(QPixmap::fromImage(image)));
    }
    list->insertTopLevelItem(at, item);
    list->NoteSilently(item);
    return at;
}

BOOL CListCtrl::DeleteItem(int nItem)
{
    ListWidget* list = ListOf(this);
    if (!list || nItem < 0 || nItem >= list->topLevelItemCount()) return FALSE;
    const Quiet quiet(list);
    delete list->takeTopLevelItem(nItem);
    for (int row = 0; row < list->topLevelItemCount(); ++row) list->NoteSilently(list->topLevelItem(row));
    return TRUE;
}

BOOL CListCtrl::DeleteAllItems()
{
    ListWidget* list = ListOf(this);
    if (!list) return FALSE;
    const Quiet quiet(list);
    list->clear();
    return TRUE;
}

int CListCtrl::GetItemCount() const
{
    ListWidget* list = ListOf(this);
    return list ? list->topLevelItemCount() : 0;
}

CString CListCtrl::GetItemText(int nItem, int nSubItem) const
{
    ListWidget* list = ListOf(this);
    if (!list || nItem < 0 || nItem >= list->topLevelItemCount()) return CString();
    return CString(list->topLevelItem(nItem)->text(nSubItem).toUtf8().constData());
}

BOOL CListCtrl::SetItemText(int nItem, int nSubItem, LPCTSTR lpszText)
{
    ListWidget* list = ListOf(this);
    if (!list || nItem < 0 || nItem >= list->topLevelItemCount() || nSubItem < 0 ||
        nSubItem >= std::max(list->columnCount(), 1))
        return FALSE;
    const Quiet quiet(list);
    list->topLevelItem(nItem)->setText(nSubItem, QString::fromUtf8(lpszText ? lpszText : ""));
    return TRUE;
}

DWORD_PTR CListCtrl::GetItemData(int nItem) const
{
    ListWidget* list = ListOf(this);
    if (!list || nItem < 0 || nItem >= list->topLevelItemCount()) return 0;
    return list->topLevelItem(nItem)->data(0, kDataRole).value<qulonglong>();
}

BOOL CListCtrl::SetItemData(int nItem, DWORD_PTR dwData)
{
    ListWidget* list = ListOf(this);
    if (!list || nItem < 0 || nItem >= list->topLevelItemCount()) return FALSE;
    const Quiet quiet(list);
    list->topLevelItem(nItem)->setData(0, kDataRole, QVariant::fromValue<qulonglong>(dwData));
    return TRUE;
}

UINT CListCtrl::GetItemState(int nItem, UINT nMask) const
{
    ListWidget* list = ListOf(this);
    if (!list || nItem < 0 || nItem >= list->topLevelItemCount()) return 0;
    return list->StateOf(list->topLevelItem(nItem)) & nMask;
}

BOOL CListCtrl::SetItemState(int nItem, UINT nState, UINT nMask)
{
    ListWidget* list = ListOf(this);
    if (!list || nItem >= list->topLevelItemCount()) return FALSE;
    if (nItem < 0) {  // every item
        for (int row = 0; row < list->topLevelItemCount(); ++row) SetItemState(row, nState, nMask);
        return TRUE;
    }
    QTreeWidgetItem* item = list->topLevelItem(nItem);
    {
        const Quiet quiet(list);
        if (nMask & LVIS_FOCUSED) {
            if (nState & LVIS_FOCUSED)
                list->setCurrentItem(item, 0, QItemSelectionModel::NoUpdate);
            else if (list->currentItem() == item)
                list->setCurrentItem(nullptr, 0, QItemSelectionModel::NoUpdate);
        }
        if (nMask & LVIS_SELECTED) {
            if ((nState & LVIS_SELECTED) && list->selectionMode() == QAbstractItemView::SingleSelection)
                list->clearSelection();
            item->setSelected(nState & LVIS_SELECTED);
        }
        if ((nMask & LVIS_STATEIMAGEMASK) && (list->exStyle & LVS_EX_CHECKBOXES))
            item->setCheckState(
                0, (nState & LVIS_STATEIMAGEMASK) == INDEXTOSTATEIMAGEMASK(2) ? Qt::Checked : Qt::Unchecked);
    }
    list->ReportStates();  // the parent hears of changes made by the program too
    return TRUE;
}

int CListCtrl::GetNextItem(int nItem, int nFlags) const
{
    ListWidget* list = ListOf(this);
    if (!list) return -1;
    for (int row = std::max(nItem + 1, 0); row < list->topLevelItemCount(); ++row) {
        const UINT state = list->StateOf(list->topLevelItem(row));
        if ((nFlags & LVNI_SELECTED) && !(state & LVIS_SELECTED)) continue;
        if ((nFlags & LVNI_FOCUSED) && !(state & LVIS_FOCUSED)) continue;
        return row;
    }
    return -1;
}

UINT CListCtrl::GetSelectedCount() const
{
    ListWidget* list = ListOf(this);
    return list ? static_cast<UINT>(list->selectedItems().size()) : 0;
}

BOOL CListCtrl::EnsureVisible(int nItem, BOOL)
{
    ListWidget* list = ListOf(this);
    if (!list || nItem < 0 || nItem >= list->topLevelItemCount()) return FALSE;
    list->View()->scrollTo(list->model()->index(nItem, 0));
    return TRUE;
}

BOOL CListCtrl::GetCheck(int nItem) const
{
    return (GetItemState(nItem, LVIS_STATEIMAGEMASK) >> 12) == 2 ? TRUE : FALSE;
}

BOOL CListCtrl::SetCheck(int nItem, BOOL fCheck)
{
    return SetItemState(nItem, INDEXTOSTATEIMAGEMASK(fCheck ? 2 : 1), LVIS_STATEIMAGEMASK);
}

BOOL CListCtrl::GetItemRect(int nItem, LPRECT lpRect, UINT nCode) const
{
    ListWidget* list = ListOf(this);
    if (!list || !lpRect || nItem < 0 || nItem >= list->topLevelItemCount()) return FALSE;
    QRect rect = list->ClientRectOf(list->model()->index(nItem, 0));
    if (nCode == LVIR_BOUNDS && !list->iconView && list->columnCount() > 1)
        rect = rect.united(list->ClientRectOf(list->model()->index(nItem, list->columnCount() - 1)));
    *lpRect = platform::ToRect(rect);
    return TRUE;
}

BOOL CListCtrl::GetSubItemRect(int iItem, int iSubItem, int, CRect& ref) const
{
    ListWidget* list = ListOf(this);
    if (!list || iItem < 0 || iItem >= list->topLevelItemCount() || iSubItem < 0 ||
        iSubItem >= list->columnCount())
        return FALSE;
    const QRect rect = list->visualRect(list->model()->index(iItem, iSubItem));
    const QPoint origin = list->viewport()->mapTo(list, rect.topLeft());
    ref = CRect(origin.x(), origin.y(), origin.x() + rect.width(), origin.y() + rect.height());
    return TRUE;
}

BOOL CListCtrl::SortItems(PFNLVCOMPARE pfnCompare, DWORD_PTR dwData)
{
    ListWidget* list = ListOf(this);
    if (!list || !pfnCompare) return FALSE;
    const Quiet quiet(list);
    QTreeWidgetItem* current = list->currentItem();
    std::vector<QTreeWidgetItem*> items;
    std::vector<bool> selected;
    while (list->topLevelItemCount() > 0) {
        selected.push_back(list->topLevelItem(0)->isSelected());
        items.push_back(list->takeTopLevelItem(0));
    }
    std::vector<std::size_t> order(items.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    const auto dataOf = [&](std::size_t i) {
        return static_cast<LPARAM>(items[i]->data(0, kDataRole).value<qulonglong>());
    };
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return pfnCompare(dataOf(a), dataOf(b), static_cast<LPARAM>(dwData)) < 0;
    });
    for (std::size_t i : order) list->addTopLevelItem(items[i]);
    for (std::size_t i : order) items[i]->setSelected(selected[i]);
    if (current) list->setCurrentItem(current, 0, QItemSelectionModel::NoUpdate);
    for (QTreeWidgetItem* item : items) list->NoteSilently(item);
    return TRUE;
}

BOOL CListCtrl::EditLabel(int nItem)
{
    ListWidget* list = ListOf(this);
    if (!list || nItem < 0 || nItem >= list->topLevelItemCount() || !(GetStyle() & LVS_EDITLABELS))
        return FALSE;
    list->View()->edit(list->model()->index(nItem, 0));
    return TRUE;
}

DWORD CListCtrl::SetExtendedStyle(DWORD dwNewStyle)
{
    ListWidget* list = ListOf(this);
    if (!list) return 0;
    const DWORD previous = list->exStyle;
    list->exStyle = dwNewStyle;
    const Quiet quiet(list);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    for (int row = 0; row < list->topLevelItemCount(); ++row) {
        QTreeWidgetItem* item = list->topLevelItem(row);
        if (dwNewStyle & LVS_EX_CHECKBOXES) {
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            if (!(previous & LVS_EX_CHECKBOXES)) item->setCheckState(0, Qt::Unchecked);
        } else {
            item->setFlags(item->flags() & ~Qt::ItemIsUserCheckable);
            item->setData(0, Qt::CheckStateRole, QVariant());
        }
        list->NoteSilently(item);
    }
    return previous;
}

DWORD CListCtrl::GetExtendedStyle() const
{
    ListWidget* list = ListOf(this);
    return list ? list->exStyle : 0;
}

CImageList* CListCtrl::SetImageList(CImageList* pImageList, int nImageListType)
{
    ListWidget* list = ListOf(this);
    if (!list || nImageListType == static_cast<int>(LVSIL_STATE)) return nullptr;
    CImageList*& slot = nImageListType == static_cast<int>(LVSIL_NORMAL) ? list->largeImages : list->images;
    CImageList* previous = slot;
    slot = pImageList;
    CImageList* pictures = list->Pictures();
    int cx = 16, cy = 16;
    if (pictures && pictures->GetIconSize(cx, cy)) {
        list->setIconSize(QSize(cx, cy));
        if (list->iconView) static_cast<IconView*>(list->iconView)->FitGrid(QSize(cx, cy));
    }
    const Quiet quiet(list);
    for (int row = 0; row < list->topLevelItemCount(); ++row) {
        QTreeWidgetItem* item = list->topLevelItem(row);
        const QImage image = pictures ? pictures->GetImage(item->data(0, kImageRole).toInt()) : QImage();
        item->setIcon(0, image.isNull() ? QIcon() : QIcon(QPixmap::fromImage(image)));
    }
    return previous;
}

BOOL CListCtrl::SetBkColor(COLORREF cr)
{
    ListWidget* list = ListOf(this);
    if (!list) return FALSE;
    list->background = cr;
    QPalette palette = list->palette();
    if (cr != CLR_NONE && cr != CLR_DEFAULT) palette.setColor(QPalette::Base, ToQColor(cr));
    list->setPalette(palette);
    if (list->iconView) list->iconView->setPalette(palette);
    return TRUE;
}

COLORREF CListCtrl::GetBkColor() const
{
    ListWidget* list = ListOf(this);
    if (!list) return CLR_NONE;
    if (list->background != CLR_DEFAULT) return list->background;
    return platform::ToColorRef(list->palette().color(QPalette::Base));
}

BOOL CListCtrl::SetTextColor(COLORREF cr)
{
    ListWidget* list = ListOf(this);
    if (!list) return FALSE;
    list->text = cr;
    list->viewport()->update();
    return TRUE;
}

COLORREF CListCtrl::GetTextColor() const
{
    ListWidget* list = ListOf(this);
    return list ? list->text : CLR_DEFAULT;
}

BOOL CListCtrl::SetTextBkColor(COLORREF cr)
{
    ListWidget* list = ListOf(this);
    if (!list) return FALSE;
    list->textBackground = cr;
    list->viewport()->update();
    return TRUE;
}
