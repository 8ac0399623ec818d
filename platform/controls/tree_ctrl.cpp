#include "platform/controls/tree_ctrl.h"

#include <QApplication>
#include <QBasicTimer>
#include <QHeaderView>
#include <QLineEdit>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QToolTip>
#include <QPixmap>
#include <QTreeWidget>

#include "platform/controls/control_notify.h"
#include "platform/controls/image_list.h"
#include "platform/controls/quiet_scope.h"
#include "platform/qt_types_internal.h"
#include "platform/window/window_widget_internal.h"

namespace {

constexpr int kDataRole = Qt::UserRole + 1;
constexpr int kImageRole = Qt::UserRole + 2;
constexpr int kSelectedImageRole = Qt::UserRole + 3;

TVITEM ItemRecord(QTreeWidgetItem* item)
{
    TVITEM record{};
    record.mask = TVIF_HANDLE | TVIF_PARAM | TVIF_STATE;
    record.hItem = CTreeCtrl::HandleOf(item);
    if (item) {
        record.lParam = static_cast<LPARAM>(item->data(0, kDataRole).value<qulonglong>());
        record.state = (item->isExpanded() ? TVIS_EXPANDED : 0u) | (item->isSelected() ? TVIS_SELECTED : 0u);
        record.stateMask = TVIS_EXPANDED | TVIS_SELECTED;
        record.iImage = item->data(0, kImageRole).toInt();
        record.iSelectedImage = item->data(0, kSelectedImageRole).toInt();
    }
    return record;
}

class TreeWidget : public QTreeWidget {
public:
    TreeWidget(HWND hwnd, QWidget* parent) : QTreeWidget(parent), m_hwnd(hwnd)
    {
        setHeaderHidden(true);
        setColumnCount(1);
        setAnimated(false);
        setFocusPolicy(Qt::StrongFocus);
        setSelectionMode(QAbstractItemView::SingleSelection);
        connect(this, &QTreeWidget::currentItemChanged, this,
                [this](QTreeWidgetItem* now, QTreeWidgetItem* before) {
                    highlighted = now && now->isSelected();
                    told = now;
                    NMTREEVIEW change{};
                    change.action = quiet ? TVC_UNKNOWN : TVC_BYMOUSE;
                    change.itemOld = ItemRecord(before);
                    change.itemNew = ItemRecord(now);
                    Notify(change.hdr, TVN_SELCHANGED);
                });
        // The current item highlighted again (a click on the current item that showed no
        // highlight): a selection change too, for the item that stays current. A change of
        // the current item tells itself, after its selection has changed.
        connect(this, &QTreeWidget::itemSelectionChanged, this, [this] {
            QTreeWidgetItem* now = currentItem();
            if (now != told) return;  // the current item changes: it tells itself next
            const bool shown = now && now->isSelected();
            if (!shown || highlighted) {
                highlighted = shown;
                return;
            }
            highlighted = true;
            NMTREEVIEW change{};
            change.action = quiet ? TVC_UNKNOWN : TVC_BYMOUSE;
            change.itemOld = ItemRecord(now);
            change.itemNew = ItemRecord(now);
            Notify(change.hdr, TVN_SELCHANGED);
        });
        connect(this, &QTreeWidget::itemExpanded, this,
                [this](QTreeWidgetItem* item) { Expanded(item, true); });
        connect(this, &QTreeWidget::itemCollapsed, this,
                [this](QTreeWidgetItem* item) { Expanded(item, false); });
    }

    CImageList* images = nullptr;
    bool quiet = false;
    bool highlighted = false;         ///< the current item was highlighted at the last notification
    QTreeWidgetItem* told = nullptr;  ///< the current item of the last notification

    void ApplyImages(QTreeWidgetItem* item)
    {
        if (!images) return;
        const int index = item->isSelected() ? item->data(0, kSelectedImageRole).toInt()
                                             : item->data(0, kImageRole).toInt();
        const QImage image = images->GetImage(index);
        item->setIcon(0, image.isNull() ? QIcon() : QIcon(QPixmap::fromImage(image)));
    }

    LRESULT Notify(NMHDR& header, UINT code)
    {
        CWnd* wnd = CWnd::FromHandle(m_hwnd);
        return wnd ? platform::NotifyParent(wnd, header, code) : 0;
    }

protected:
    void Expanded(QTreeWidgetItem* item, bool expanded)
    {
        if (quiet) return;
        NMTREEVIEW change{};
        change.action = expanded ? TVE_EXPAND : TVE_COLLAPSE;
        change.itemNew = ItemRecord(item);
        // The record shows the state before the change.
        change.itemNew.state =
            expanded ? change.itemNew.state & ~TVIS_EXPANDED : change.itemNew.state | TVIS_EXPANDED;
        const HWND hwnd = m_hwnd;
        if (Notify(change.hdr, TVN_ITEMEXPANDING) != 0) {
            if (!IsWindow(hwnd)) return;
            quiet = true;  // vetoed: back as it was
            item->setExpanded(!expanded);
            quiet = false;
            return;
        }
        if (!IsWindow(hwnd)) return;
        change.itemNew = ItemRecord(item);
        Notify(change.hdr, TVN_ITEMEXPANDED);
    }

    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override
    {
        if (!(editTriggers() & trigger) && trigger != AllEditTriggers) return false;
        if (trigger == SelectedClicked) {
            // A click on the selected item renames it once the time for a second click has
            // passed; a double-click (which opens the item) or another press comes first and
            // cancels it, as the system's tree has it. The release of the double-click itself
            // starts nothing.
            if (m_afterDoubleClick || !index.isValid()) return false;
            m_renameIndex = index;
            m_rename.start(QApplication::doubleClickInterval(), this);
            return true;
        }
        QTreeWidgetItem* item = itemFromIndex(index);
        if (!item) return false;
        const HWND hwnd = m_hwnd;
        CWnd* wnd = CWnd::FromHandle(hwnd);
        if (!wnd || !(wnd->GetStyle() & TVS_EDITLABELS)) return false;
        NMTVDISPINFO info{};
        QByteArray text = item->text(0).toUtf8();
        info.item = ItemRecord(item);
        info.item.mask |= TVIF_TEXT;
        info.item.pszText = text.data();
        if (Notify(info.hdr, TVN_BEGINLABELEDIT) != 0 || !IsWindow(hwnd)) return false;
        m_committed = false;
        m_editing = item;
        return QTreeWidget::edit(index, trigger, event);
    }

    void commitData(QWidget* editor) override
    {
        auto* line = qobject_cast<QLineEdit*>(editor);
        if (!line || !m_editing) return;
        m_committed = true;
        QByteArray text = line->text().toUtf8();
        NMTVDISPINFO info{};
        info.item = ItemRecord(m_editing);
        info.item.mask |= TVIF_TEXT;
        info.item.pszText = text.data();
        info.item.cchTextMax = static_cast<int>(text.size());
        // The parent keeps the new label by answering TRUE.
        if (Notify(info.hdr, TVN_ENDLABELEDIT) != 0 && m_editing) m_editing->setText(0, line->text());
    }

    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override
    {
        if (!m_committed && m_editing) {
            NMTVDISPINFO info{};
            info.item = ItemRecord(m_editing);
            info.item.pszText = nullptr;  // cancelled
            Notify(info.hdr, TVN_ENDLABELEDIT);
        }
        m_committed = false;
        m_editing = nullptr;
        QTreeWidget::closeEditor(editor, hint);
    }

    // The mouse over the items reaches the window as messages first, as it reaches a tree of
    // the system: a handler that takes a press keeps it from the control.
    bool MouseMessage(QMouseEvent* event)
    {
        return platform::TranslateEvent(m_hwnd, viewport(), event, false) || !IsWindow(m_hwnd);
    }
    void mousePressEvent(QMouseEvent* event) override
    {
        m_rename.stop();
        m_afterDoubleClick = false;
        if (!MouseMessage(event)) QTreeWidget::mousePressEvent(event);
    }
    void timerEvent(QTimerEvent* event) override
    {
        if (event->timerId() != m_rename.timerId()) {
            QTreeWidget::timerEvent(event);
            return;
        }
        m_rename.stop();
        const QPersistentModelIndex index = m_renameIndex;
        m_renameIndex = QPersistentModelIndex();
        if (index.isValid() && index == currentIndex() && state() == NoState)
            edit(index, AllEditTriggers, nullptr);
    }
    void mouseMoveEvent(QMouseEvent* event) override
    {
        if (!MouseMessage(event)) QTreeWidget::mouseMoveEvent(event);
    }
    void drawBranches(QPainter* painter, const QRect& rect, const QModelIndex& index) const override
    {
        // Without TVS_HASBUTTONS the tree shows no expand buttons.
        const CWnd* wnd = CWnd::FromHandle(m_hwnd);
        if (wnd && (wnd->GetStyle() & TVS_HASBUTTONS)) QTreeWidget::drawBranches(painter, rect, index);
    }

    void mouseReleaseEvent(QMouseEvent* event) override
    {
        const HWND hwnd = m_hwnd;
        if (MouseMessage(event)) return;
        QTreeWidget::mouseReleaseEvent(event);
        if (!IsWindow(hwnd)) return;
        NMHDR header{};
        if (event->button() == Qt::LeftButton)
            Notify(header, NM_CLICK);
        else if (event->button() == Qt::RightButton)
            Notify(header, NM_RCLICK);
    }

    bool viewportEvent(QEvent* event) override
    {
        if (event->type() != QEvent::ToolTip) return QTreeWidget::viewportEvent(event);
        auto* help = static_cast<QHelpEvent*>(event);
        QTreeWidgetItem* item = itemAt(help->pos());
        const CString tip = item ? InfoTip(item) : CString();
        if (tip.IsEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), QString::fromUtf8(static_cast<const char*>(tip)), this);
        return true;
    }

public:
    CString InfoTip(QTreeWidgetItem* item)
    {
        constexpr int kTipBytes = 1024;
        char buffer[kTipBytes] = {};
        NMTVGETINFOTIP request{};
        request.pszText = buffer;
        request.cchTextMax = kTipBytes;
        request.hItem = CTreeCtrl::HandleOf(item);
        request.lParam = static_cast<LPARAM>(item->data(0, kDataRole).value<qulonglong>());
        Notify(request.hdr, TVN_GETINFOTIP);
        buffer[kTipBytes - 1] = '\0';
        return CString(buffer);
    }

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override
    {
        m_rename.stop();
        m_afterDoubleClick = true;
        const HWND hwnd = m_hwnd;
        if (MouseMessage(event)) return;
        QTreeWidget::mouseDoubleClickEvent(event);
        if (!IsWindow(hwnd)) return;
        NMHDR header{};
        if (event->button() == Qt::LeftButton) Notify(header, NM_DBLCLK);
    }

private:
    HWND m_hwnd;
    bool m_committed = false;
    QTreeWidgetItem* m_editing = nullptr;
    QBasicTimer m_rename;                 ///< a click on the selected item waits to rename it
    QPersistentModelIndex m_renameIndex;  ///< the item it renames
    bool m_afterDoubleClick = false;      ///< between a double-click and the next press
};

TreeWidget* TreeOf(const CWnd* wnd)
{
    return dynamic_cast<TreeWidget*>(wnd->GetWidget());
}

using Quiet = platform::QuietScope<TreeWidget>;

}  // namespace

BOOL CTreeCtrl::Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID)
{
    return CWnd::Create(platform::ControlClass("SysTreeView32"), nullptr, dwStyle, rect, pParentWnd, nID);
}

QWidget* CTreeCtrl::CreateWidget(const CREATESTRUCT& cs, QWidget* parentWidget)
{
    const DWORD style = static_cast<DWORD>(cs.style);
    auto* tree = new TreeWidget(m_hWnd, parentWidget);
    tree->setRootIsDecorated(style & TVS_LINESATROOT);
    tree->setItemsExpandable(true);
    tree->setEditTriggers((style & TVS_EDITLABELS)
                              ? QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed
                              : QAbstractItemView::NoEditTriggers);
    tree->setFrameShape((style & WS_BORDER) || (cs.dwExStyle & WS_EX_CLIENTEDGE) ? QFrame::StyledPanel
                                                                                 : QFrame::NoFrame);
    return tree;
}

HTREEITEM CTreeCtrl::InsertItem(LPCTSTR lpszItem, HTREEITEM hParent, HTREEITEM hInsertAfter)
{
    return InsertItem(lpszItem, 0, 0, hParent, hInsertAfter);
}

HTREEITEM CTreeCtrl::InsertItem(LPCTSTR lpszItem, int nImage, int nSelectedImage, HTREEITEM hParent,
                                HTREEITEM hInsertAfter)
{
    TreeWidget* tree = TreeOf(this);
    if (!tree) return nullptr;
    const Quiet quiet(tree);
    QTreeWidgetItem* parent = hParent == TVI_ROOT || !hParent ? tree->invisibleRootItem() : ItemOf(hParent);
    const QString text = QString::fromUtf8(lpszItem ? lpszItem : "");
    int index = parent->childCount();
    if (hInsertAfter == TVI_FIRST) {
        index = 0;
    } else if (hInsertAfter == TVI_SORT) {
        index = 0;
        while (index < parent->childCount() &&
               QString::compare(parent->child(index)->text(0), text, Qt::CaseInsensitive) <= 0)
            ++index;
    } else if (hInsertAfter != TVI_LAST && hInsertAfter) {
        const int after = parent->indexOfChild(ItemOf(hInsertAfter));
        if (after >= 0) index = after + 1;
    }
    auto* item = new QTreeWidgetItem;
    item->setText(0, text);
    item->setData(0, kImageRole, nImage);
    item->setData(0, kSelectedImageRole, nSelectedImage);
    item->setData(0, kDataRole, QVariant::fromValue<qulonglong>(0));
    if (GetStyle() & TVS_EDITLABELS) item->setFlags(item->flags() | Qt::ItemIsEditable);
    parent->insertChild(index, item);
    tree->ApplyImages(item);
    return HandleOf(item);
}

BOOL CTreeCtrl::DeleteItem(HTREEITEM hItem)
{
    TreeWidget* tree = TreeOf(this);
    if (!tree || !hItem) return FALSE;
    if (hItem == TVI_ROOT) return DeleteAllItems();
    QTreeWidgetItem* item = ItemOf(hItem);
    const bool selected = tree->currentItem() == item || (tree->currentItem() && [&] {
                              for (QTreeWidgetItem* up = tree->currentItem()->parent(); up; up = up->parent())
                                  if (up == item) return true;
                              return false;
                          }());
    if (!selected) {
        const Quiet quiet(tree);
        delete item;
        return TRUE;
    }
    delete item;  // the selection moves on, and the parent hears about it
    return TRUE;
}

BOOL CTreeCtrl::DeleteAllItems()
{
    TreeWidget* tree = TreeOf(this);
    if (!tree) return FALSE;
    tree->clear();
    return TRUE;
}

UINT CTreeCtrl::GetCount() const
{
    TreeWidget* tree = TreeOf(this);
    if (!tree) return 0;
    UINT count = 0;
    for (QTreeWidgetItemIterator it(tree); *it; ++it) ++count;
    return count;
}

HTREEITEM CTreeCtrl::GetRootItem() const
{
    TreeWidget* tree = TreeOf(this);
    return tree && tree->topLevelItemCount() > 0 ? HandleOf(tree->topLevelItem(0)) : nullptr;
}

HTREEITEM CTreeCtrl::GetChildItem(HTREEITEM hItem) const
{
    TreeWidget* tree = TreeOf(this);
    if (!tree) return nullptr;
    QTreeWidgetItem* item = hItem == TVI_ROOT || !hItem ? tree->invisibleRootItem() : ItemOf(hItem);
    return item->childCount() > 0 ? HandleOf(item->child(0)) : nullptr;
}

namespace {
QTreeWidgetItem* ParentOrRoot(QTreeWidgetItem* item, QTreeWidget* tree)
{
    return item->parent() ? item->parent() : tree->invisibleRootItem();
}
}  // namespace

HTREEITEM CTreeCtrl::GetNextSiblingItem(HTREEITEM hItem) const
{
    TreeWidget* tree = TreeOf(this);
    if (!tree || !hItem) return nullptr;
    QTreeWidgetItem* parent = ParentOrRoot(ItemOf(hItem), tree);
    const int index = parent->indexOfChild(ItemOf(hItem));
    return index >= 0 && index + 1 < parent->childCount() ? HandleOf(parent->child(index + 1)) : nullptr;
}

HTREEITEM CTreeCtrl::GetPrevSiblingItem(HTREEITEM hItem) const
{
    TreeWidget* tree = TreeOf(this);
    if (!tree || !hItem) return nullptr;
    QTreeWidgetItem* parent = ParentOrRoot(ItemOf(hItem), tree);
    const int index = parent->indexOfChild(ItemOf(hItem));
    return index > 0 ? HandleOf(parent->child(index - 1)) : nullptr;
}

HTREEITEM CTreeCtrl::GetParentItem(HTREEITEM hItem) const
{
    return hItem && hItem != TVI_ROOT ? HandleOf(ItemOf(hItem)->parent()) : nullptr;
}

HTREEITEM CTreeCtrl::GetNextItem(HTREEITEM hItem, UINT nCode) const
{
    switch (nCode) {
        case TVGN_ROOT:
            return GetRootItem();
        case TVGN_NEXT:
            return GetNextSiblingItem(hItem);
        case TVGN_PREVIOUS:
            return GetPrevSiblingItem(hItem);
        case TVGN_PARENT:
            return GetParentItem(hItem);
        case TVGN_CHILD:
            return GetChildItem(hItem);
        case TVGN_CARET:
            return GetSelectedItem();
        default:
            return nullptr;
    }
}

HTREEITEM CTreeCtrl::GetSelectedItem() const
{
    TreeWidget* tree = TreeOf(this);
    return tree ? HandleOf(tree->currentItem()) : nullptr;
}

BOOL CTreeCtrl::ItemHasChildren(HTREEITEM hItem) const
{
    return hItem && ItemOf(hItem)->childCount() > 0;
}

CString CTreeCtrl::GetItemText(HTREEITEM hItem) const
{
    return hItem ? CString(ItemOf(hItem)->text(0).toUtf8().constData()) : CString();
}

BOOL CTreeCtrl::SetItemText(HTREEITEM hItem, LPCTSTR lpszItem)
{
    if (!hItem) return FALSE;
    ItemOf(hItem)->setText(0, QString::fromUtf8(lpszItem ? lpszItem : ""));
    return TRUE;
}

DWORD_PTR CTreeCtrl::GetItemData(HTREEITEM hItem) const
{
    return hItem ? ItemOf(hItem)->data(0, kDataRole).value<qulonglong>() : 0;
}

BOOL CTreeCtrl::SetItemData(HTREEITEM hItem, DWORD_PTR dwData)
{
    if (!hItem) return FALSE;
    ItemOf(hItem)->setData(0, kDataRole, QVariant::fromValue<qulonglong>(dwData));
    return TRUE;
}

BOOL CTreeCtrl::GetItemImage(HTREEITEM hItem, int& nImage, int& nSelectedImage) const
{
    if (!hItem) return FALSE;
    nImage = ItemOf(hItem)->data(0, kImageRole).toInt();
    nSelectedImage = ItemOf(hItem)->data(0, kSelectedImageRole).toInt();
    return TRUE;
}

BOOL CTreeCtrl::SetItemImage(HTREEITEM hItem, int nImage, int nSelectedImage)
{
    TreeWidget* tree = TreeOf(this);
    if (!tree || !hItem) return FALSE;
    ItemOf(hItem)->setData(0, kImageRole, nImage);
    ItemOf(hItem)->setData(0, kSelectedImageRole, nSelectedImage);
    tree->ApplyImages(ItemOf(hItem));
    return TRUE;
}

UINT CTreeCtrl::GetItemState(HTREEITEM hItem, UINT nStateMask) const
{
    return hItem ? ItemRecord(ItemOf(hItem)).state & nStateMask : 0;
}

BOOL CTreeCtrl::Expand(HTREEITEM hItem, UINT nCode)
{
    TreeWidget* tree = TreeOf(this);
    if (!tree || !hItem) return FALSE;
    const Quiet quiet(tree);
    QTreeWidgetItem* item = ItemOf(hItem);
    switch (nCode & 0x3) {
        case TVE_EXPAND:
            item->setExpanded(true);
            break;
        case TVE_COLLAPSE:
            item->setExpanded(false);
            break;
        case TVE_TOGGLE:
            item->setExpanded(!item->isExpanded());
            break;
        default:
            return FALSE;
    }
    return TRUE;
}

BOOL CTreeCtrl::SelectItem(HTREEITEM hItem)
{
    TreeWidget* tree = TreeOf(this);
    if (!tree) return FALSE;
    const Quiet quiet(tree);
    QTreeWidgetItem* previous = tree->currentItem();
    tree->setCurrentItem(hItem ? ItemOf(hItem) : nullptr);
    // The item selected is highlighted, also when it was the current item already.
    if (hItem) ItemOf(hItem)->setSelected(true);
    if (!hItem) tree->clearSelection();
    if (previous) tree->ApplyImages(previous);
    if (hItem) tree->ApplyImages(ItemOf(hItem));
    return TRUE;
}

BOOL CTreeCtrl::EnsureVisible(HTREEITEM hItem)
{
    TreeWidget* tree = TreeOf(this);
    if (!tree || !hItem) return FALSE;
    const Quiet quiet(tree);
    for (QTreeWidgetItem* up = ItemOf(hItem)->parent(); up; up = up->parent()) up->setExpanded(true);
    tree->scrollToItem(ItemOf(hItem));
    return TRUE;
}

BOOL CTreeCtrl::EditLabel(HTREEITEM hItem)
{
    TreeWidget* tree = TreeOf(this);
    if (!tree || !hItem || !(GetStyle() & TVS_EDITLABELS)) return FALSE;
    tree->editItem(ItemOf(hItem), 0);
    return TRUE;
}

CImageList* CTreeCtrl::SetImageList(CImageList* pImageList, int nImageListType)
{
    TreeWidget* tree = TreeOf(this);
    if (!tree || nImageListType != static_cast<int>(TVSIL_NORMAL)) return nullptr;
    CImageList* previous = tree->images;
    tree->images = pImageList;
    int cx = 16, cy = 16;
    if (pImageList && pImageList->GetIconSize(cx, cy)) tree->setIconSize(QSize(cx, cy));
    for (QTreeWidgetItemIterator it(tree); *it; ++it) {
        if (pImageList)
            tree->ApplyImages(*it);
        else
            (*it)->setIcon(0, QIcon());
    }
    return previous;
}

CImageList* CTreeCtrl::GetImageList(UINT nImageList) const
{
    TreeWidget* tree = TreeOf(this);
    return tree && nImageList == TVSIL_NORMAL ? tree->images : nullptr;
}

BOOL CTreeCtrl::SortChildren(HTREEITEM hItem)
{
    TreeWidget* tree = TreeOf(this);
    if (!tree) return FALSE;
    QTreeWidgetItem* item = hItem == TVI_ROOT || !hItem ? tree->invisibleRootItem() : ItemOf(hItem);
    item->sortChildren(0, Qt::AscendingOrder);
    return TRUE;
}

BOOL CTreeCtrl::GetItemRect(HTREEITEM hItem, LPRECT lpRect, BOOL) const
{
    TreeWidget* tree = TreeOf(this);
    if (!tree || !hItem || !lpRect) return FALSE;
    const QRect rect = tree->visualItemRect(ItemOf(hItem));
    if (!rect.isValid()) return FALSE;
    const QPoint origin = tree->viewport()->mapTo(tree, rect.topLeft());
    *lpRect = RECT{origin.x(), origin.y(), origin.x() + rect.width(), origin.y() + rect.height()};
    return TRUE;
}

HTREEITEM CTreeCtrl::HitTest(CPoint pt, UINT* pFlags) const
{
    UINT flags = TVHT_NOWHERE;
    HTREEITEM found = nullptr;
    if (TreeWidget* tree = TreeOf(this)) {
        const QPoint at = tree->viewport()->mapFrom(tree, platform::ToQPoint(pt));
        const QRect area = tree->viewport()->rect();
        if (at.y() < 0)
            flags = TVHT_ABOVE;
        else if (at.y() >= area.height())
            flags = TVHT_BELOW;
        else if (at.x() < 0)
            flags = TVHT_TOLEFT;
        else if (at.x() >= area.width())
            flags = TVHT_TORIGHT;
        else if (QTreeWidgetItem* item = tree->itemAt(at)) {
            found = HandleOf(item);
            // The cell starts after the indentation: the picture, then the label with a
            // small margin on each side, then empty room to the right.
            const QRect cell = tree->visualItemRect(item);
            int x = cell.left();
            const int icon = item->icon(0).isNull() ? 0 : tree->iconSize().width() + 4;
            const int label = tree->fontMetrics().horizontalAdvance(item->text(0)) + 8;
            if (at.x() < x)
                flags = at.x() >= x - tree->indentation() && item->childCount() > 0 ? TVHT_ONITEMBUTTON
                                                                                    : TVHT_ONITEMINDENT;
            else if (at.x() < x + icon)
                flags = TVHT_ONITEMICON;
            else if (at.x() < (x += icon) + label)
                flags = TVHT_ONITEMLABEL;
            else
                flags = TVHT_ONITEMRIGHT;
        }
    }
    if (pFlags) *pFlags = flags;
    return found;
}

CString CTreeCtrl::GetInfoTip(HTREEITEM hItem) const
{
    TreeWidget* tree = TreeOf(this);
    return tree && hItem ? tree->InfoTip(ItemOf(hItem)) : CString();
}
