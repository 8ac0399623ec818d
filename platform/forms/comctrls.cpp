#include "platform/forms/comctrls.h"

#include <algorithm>

#include <QWidget>

#include "platform/controls/control_notify.h"
#include "platform/controls/list_ctrl.h"
#include "platform/controls/slider_ctrl.h"
#include "platform/controls/tab_ctrl.h"
#include "platform/controls/tree_ctrl.h"
#include "platform/forms/format.h"
#include "platform/forms/image_list.h"
#include "platform/forms/menus.h"
#include "platform/frame/tool_bar.h"

IMPLEMENT_TCLASS(TTreeNode, TPersistent)
IMPLEMENT_TCLASS(TTreeNodes, TPersistent)
IMPLEMENT_TCLASS(TTreeView, TWinControl)
IMPLEMENT_TCLASS(TListItem, TPersistent)
IMPLEMENT_TCLASS(TListView, TWinControl)
IMPLEMENT_TCLASS(TTabSheet, TCustomControl)
IMPLEMENT_TCLASS(TPageControl, TWinControl)
IMPLEMENT_TCLASS(TTrackBar, TWinControl)
IMPLEMENT_TCLASS(TToolButton, TGraphicControl)
IMPLEMENT_TCLASS(TToolBar, TWinControl)

namespace {

template <class T>
T* WindowAs(CWnd* window)
{
    return static_cast<T*>(window);
}

CPoint PointOf(LPARAM lParam)
{
    return CPoint(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
}

}  // namespace

// --- TTreeNode
// ----------------------------------------------------------------------------------------------
TTreeNode::~TTreeNode()
{
    // Children go first; their items went with this node's (or go with the window).
    while (!m_children.empty()) {
        TTreeNode* child = m_children.back();
        m_children.pop_back();
        child->m_parent = nullptr;
        child->Free();
    }
    if (m_owner) {
        --m_owner->m_count;
        TTreeView* tree = m_owner->m_tree;
        if (tree && tree->OnDeletion && !m_owner->m_clearing) tree->OnDeletion(tree, this);
    }
}

TTreeView* TTreeNode::TreeView() const
{
    return m_owner ? m_owner->m_tree : nullptr;
}

namespace {

CTreeCtrl* TreeWindowOf(const TTreeNode* node)
{
    TTreeView* tree = node->TreeView();
    return tree && tree->HandleAllocated() ? static_cast<CTreeCtrl*>(tree->Window()) : nullptr;
}

}  // namespace

void TTreeNode::SetText(const std::string& text)
{
    m_text = text;
    if (CTreeCtrl* tree = TreeWindowOf(this); tree && m_item) tree->SetItemText(m_item, text.c_str());
}

void TTreeNode::SetImageIndex(int index)
{
    m_imageIndex = index;
    if (CTreeCtrl* tree = TreeWindowOf(this); tree && m_item)
        tree->SetItemImage(m_item, index, m_selectedIndex);
}

void TTreeNode::SetSelectedIndex(int index)
{
    m_selectedIndex = index;
    if (CTreeCtrl* tree = TreeWindowOf(this); tree && m_item) tree->SetItemImage(m_item, m_imageIndex, index);
}

bool TTreeNode::Expanded() const
{
    CTreeCtrl* tree = TreeWindowOf(this);
    return tree && m_item && (tree->GetItemState(m_item, TVIS_EXPANDED) & TVIS_EXPANDED);
}

void TTreeNode::SetExpanded(bool expanded)
{
    if (expanded)
        Expand(false);
    else
        Collapse(false);
}

void TTreeNode::Expand(bool recurse)
{
    TTreeView* view = TreeView();
    CTreeCtrl* tree = TreeWindowOf(this);
    if (view && tree && m_item && !Expanded() && view->CanExpand(this)) {
        tree->Expand(m_item, TVE_EXPAND);
        if (view->OnExpanded) view->OnExpanded(view, this);
    }
    if (recurse)
        for (TTreeNode* child : std::vector<TTreeNode*>(m_children)) child->Expand(true);
}

void TTreeNode::Collapse(bool recurse)
{
    TTreeView* view = TreeView();
    CTreeCtrl* tree = TreeWindowOf(this);
    if (view && tree && m_item && Expanded() && view->CanCollapse(this)) {
        tree->Expand(m_item, TVE_COLLAPSE);
        if (view->OnCollapsed) view->OnCollapsed(view, this);
    }
    if (recurse)
        for (TTreeNode* child : std::vector<TTreeNode*>(m_children)) child->Collapse(true);
}

bool TTreeNode::Selected() const
{
    CTreeCtrl* tree = TreeWindowOf(this);
    return tree && m_item && tree->GetSelectedItem() == m_item;
}

void TTreeNode::SetSelected(bool selected)
{
    TTreeView* view = TreeView();
    if (!view) return;
    if (selected)
        view->SetSelected(this);
    else if (Selected())
        view->SetSelected(nullptr);
}

void TTreeNode::MakeVisible()
{
    if (CTreeCtrl* tree = TreeWindowOf(this); tree && m_item) tree->EnsureVisible(m_item);
}

bool TTreeNode::EditText()
{
    CTreeCtrl* tree = TreeWindowOf(this);
    return tree && m_item && tree->EditLabel(m_item);
}

TTreeNode* TTreeNode::Item(int index) const
{
    return index >= 0 && index < Count() ? m_children[static_cast<std::size_t>(index)] : nullptr;
}

int TTreeNode::Index() const
{
    const std::vector<TTreeNode*>& siblings = m_parent ? m_parent->m_children : m_owner->m_top;
    const auto it = std::find(siblings.begin(), siblings.end(), this);
    return it == siblings.end() ? -1 : static_cast<int>(it - siblings.begin());
}

TTreeNode* TTreeNode::GetNextSibling() const
{
    const std::vector<TTreeNode*>& siblings = m_parent ? m_parent->m_children : m_owner->m_top;
    const int index = Index();
    return index >= 0 && index + 1 < static_cast<int>(siblings.size())
               ? siblings[static_cast<std::size_t>(index + 1)]
               : nullptr;
}

TTreeNode* TTreeNode::GetPrevSibling() const
{
    const std::vector<TTreeNode*>& siblings = m_parent ? m_parent->m_children : m_owner->m_top;
    const int index = Index();
    return index > 0 ? siblings[static_cast<std::size_t>(index - 1)] : nullptr;
}

int TTreeNode::AbsoluteIndex() const
{
    int index = 0;
    bool found = false;
    const auto walk = [&](auto& self, const std::vector<TTreeNode*>& nodes) -> void {
        for (const TTreeNode* node : nodes) {
            if (found) return;
            if (node == this) {
                found = true;
                return;
            }
            ++index;
            self(self, node->m_children);
        }
    };
    walk(walk, m_owner->m_top);
    return found ? index : -1;
}

int TTreeNode::Level() const
{
    int level = 0;
    for (const TTreeNode* p = m_parent; p; p = p->m_parent) ++level;
    return level;
}

void TTreeNode::DeleteChildren()
{
    while (!m_children.empty()) m_owner->Delete(m_children.back());
}

void TTreeNode::Delete()
{
    m_owner->Delete(this);
}

// --- TTreeNodes
// -----------------------------------------------------------------------------------------------
TTreeNodes::~TTreeNodes()
{
    m_clearing = true;
    while (!m_top.empty()) {
        TTreeNode* node = m_top.back();
        m_top.pop_back();
        node->Free();
    }
}

TTreeNode* TTreeNodes::TopItem(int index) const
{
    return index >= 0 && index < TopCount() ? m_top[static_cast<std::size_t>(index)] : nullptr;
}

TTreeNode* TTreeNodes::Item(int index) const
{
    if (index < 0 || index >= m_count) return nullptr;
    TTreeNode* found = nullptr;
    int left = index;
    const auto walk = [&](auto& self, const std::vector<TTreeNode*>& nodes) -> void {
        for (TTreeNode* node : nodes) {
            if (found) return;
            if (left-- == 0) {
                found = node;
                return;
            }
            self(self, node->m_children);
        }
    };
    walk(walk, m_top);
    return found;
}

TTreeNode* TTreeNodes::InsertNode(TTreeNode* parent, std::size_t at, const std::string& text, void* data)
{
    std::vector<TTreeNode*>& siblings = SiblingsOf(parent);
    at = std::min(at, siblings.size());
    auto* node = TTreeNode::New();
    node->m_owner = this;
    node->m_parent = parent;
    node->m_text = text;
    node->m_data = data;
    siblings.insert(siblings.begin() + static_cast<std::ptrdiff_t>(at), node);
    ++m_count;
    if (m_tree && m_tree->HandleAllocated() && (!parent || parent->m_item)) {
        auto* tree = static_cast<CTreeCtrl*>(m_tree->Window());
        const HTREEITEM after = at + 1 == siblings.size() ? TVI_LAST
                                : at == 0                 ? TVI_FIRST
                                                          : siblings[at - 1]->m_item;
        node->m_item = tree->InsertItem(text.c_str(), node->m_imageIndex, node->m_selectedIndex,
                                        parent ? parent->m_item : TVI_ROOT, after);
        tree->SetItemData(node->m_item, reinterpret_cast<DWORD_PTR>(node));
    }
    return node;
}

TTreeNode* TTreeNodes::Add(TTreeNode* sibling, const std::string& text)
{
    return AddObject(sibling, text, nullptr);
}

TTreeNode* TTreeNodes::AddObject(TTreeNode* sibling, const std::string& text, void* data)
{
    TTreeNode* parent = sibling ? sibling->m_parent : nullptr;
    return InsertNode(parent, SiblingsOf(parent).size(), text, data);
}

TTreeNode* TTreeNodes::AddChild(TTreeNode* parent, const std::string& text)
{
    return AddChildObject(parent, text, nullptr);
}

TTreeNode* TTreeNodes::AddChildObject(TTreeNode* parent, const std::string& text, void* data)
{
    return InsertNode(parent, SiblingsOf(parent).size(), text, data);
}

TTreeNode* TTreeNodes::Insert(TTreeNode* sibling, const std::string& text)
{
    if (!sibling) return InsertNode(nullptr, m_top.size(), text, nullptr);
    return InsertNode(sibling->m_parent, static_cast<std::size_t>(sibling->Index()), text, nullptr);
}

void TTreeNodes::Unlink(TTreeNode* node)
{
    std::erase(SiblingsOf(node->m_parent), node);
    node->m_parent = nullptr;
}

void TTreeNodes::Delete(TTreeNode* node)
{
    if (!node || node->m_owner != this) return;
    // The window's item takes its descendants along; the nodes below forget theirs.
    const auto forget = [](auto& self, TTreeNode* n) -> void {
        n->m_item = nullptr;
        for (TTreeNode* child : n->m_children) self(self, child);
    };
    const HTREEITEM item = node->m_item;
    forget(forget, node);
    Unlink(node);
    if (item && m_tree && m_tree->HandleAllocated())
        static_cast<CTreeCtrl*>(m_tree->Window())->DeleteItem(item);
    node->Free();
}

void TTreeNodes::Clear()
{
    BeginUpdate();
    if (m_tree && m_tree->HandleAllocated()) static_cast<CTreeCtrl*>(m_tree->Window())->DeleteAllItems();
    const bool clearing = m_clearing;
    m_clearing = true;
    while (!m_top.empty()) {
        TTreeNode* node = m_top.back();
        m_top.pop_back();
        node->m_parent = nullptr;
        node->Free();
    }
    m_clearing = clearing;
    EndUpdate();
}

void TTreeNodes::BeginUpdate()
{
    if (m_updating++ == 0 && m_tree && m_tree->HandleAllocated())
        if (QWidget* widget = m_tree->Window()->GetWidget()) widget->setUpdatesEnabled(false);
}

void TTreeNodes::EndUpdate()
{
    if (m_updating <= 0) return;
    if (--m_updating == 0 && m_tree && m_tree->HandleAllocated())
        if (QWidget* widget = m_tree->Window()->GetWidget()) widget->setUpdatesEnabled(true);
}

void TTreeNodes::CreateItems(TTreeNode* parent)
{
    auto* tree = static_cast<CTreeCtrl*>(m_tree->Window());
    for (TTreeNode* node : SiblingsOf(parent)) {
        node->m_item = tree->InsertItem(node->m_text.c_str(), node->m_imageIndex, node->m_selectedIndex,
                                        parent ? parent->m_item : TVI_ROOT, TVI_LAST);
        tree->SetItemData(node->m_item, reinterpret_cast<DWORD_PTR>(node));
        CreateItems(node);
    }
}

// --- TTreeView
// --------------------------------------------------------------------------------------------------
void TTreeView::Create(void* owner)
{
    TWinControl::Create(owner);
    m_items = TTreeNodes::New();
    m_items->m_tree = this;
    SetColor(clWindow);
    SetBounds(0, 0, 121, 97);
}

void TTreeView::BeforeDestruction()
{
    TWinControl::BeforeDestruction();
    if (m_items) m_items->m_tree = nullptr;
    FreeAndNil(m_items);
}

std::unique_ptr<CWnd> TTreeView::MakeWindow()
{
    return std::make_unique<TControlWindow<CTreeCtrl>>(this);
}

DWORD TTreeView::WindowStyle() const
{
    DWORD style = TWinControl::WindowStyle() | WS_BORDER;
    if (m_showButtons) style |= TVS_HASBUTTONS;
    if (m_showLines) style |= TVS_HASLINES;
    if (m_showRoot) style |= TVS_LINESATROOT;
    if (!m_readOnly) style |= TVS_EDITLABELS;
    if (!m_hideSelection) style |= TVS_SHOWSELALWAYS;
    return style;
}

BOOL TTreeView::CreateWindowOf(CWnd& window, CWnd* parentWindow, DWORD style, const CRect& bounds, UINT id)
{
    return WindowAs<CTreeCtrl>(&window)->Create(style, bounds, parentWindow, id);
}

void TTreeView::WindowCreated()
{
    if (m_images) WindowAs<CTreeCtrl>(m_window)->SetImageList(m_images->ImageList(), TVSIL_NORMAL);
    m_items->CreateItems(nullptr);
}

void TTreeView::ApplyStyle()
{
    RecreateWnd();
}

void TTreeView::SetReadOnly(bool readOnly)
{
    if (readOnly == m_readOnly) return;
    m_readOnly = readOnly;
    if (HandleAllocated())
        m_window->ModifyStyle(readOnly ? TVS_EDITLABELS : 0, readOnly ? 0 : TVS_EDITLABELS);
}

void TTreeView::SetShowButtons(bool show)
{
    if (show == m_showButtons) return;
    m_showButtons = show;
    if (HandleAllocated()) {
        m_window->ModifyStyle(show ? 0 : TVS_HASBUTTONS, show ? TVS_HASBUTTONS : 0);
        m_window->Invalidate();
    }
}

void TTreeView::SetShowLines(bool show)
{
    m_showLines = show;
}

void TTreeView::SetShowRoot(bool show)
{
    if (show == m_showRoot) return;
    m_showRoot = show;
    ApplyStyle();
}

void TTreeView::SetHideSelection(bool hide)
{
    m_hideSelection = hide;
}

void TTreeView::SetImages(TImageList* images)
{
    if (m_images) RemoveFreeNotification(m_images);
    m_images = images;
    if (images) FreeNotification(images);
    if (HandleAllocated())
        WindowAs<CTreeCtrl>(m_window)->SetImageList(images ? images->ImageList() : nullptr, TVSIL_NORMAL);
}

void TTreeView::Notification(TComponent* component, TOperation operation)
{
    TWinControl::Notification(component, operation);
    if (operation == opRemove && component == m_images) SetImages(nullptr);
}

TTreeNode* TTreeView::Selected() const
{
    if (!HandleAllocated()) return nullptr;
    const HTREEITEM item = WindowAs<CTreeCtrl>(m_window)->GetSelectedItem();
    return item ? reinterpret_cast<TTreeNode*>(WindowAs<CTreeCtrl>(m_window)->GetItemData(item)) : nullptr;
}

TTreeNode* TTreeView::Highlighted() const
{
    if (!HandleAllocated()) return nullptr;
    auto* tree = WindowAs<CTreeCtrl>(m_window);
    const HTREEITEM item = tree->GetSelectedItem();
    if (!item || !(tree->GetItemState(item, TVIS_SELECTED) & TVIS_SELECTED)) return nullptr;
    return reinterpret_cast<TTreeNode*>(tree->GetItemData(item));
}

void TTreeView::SetSelected(TTreeNode* node)
{
    if (!HandleAllocated()) return;
    WindowAs<CTreeCtrl>(m_window)->SelectItem(node ? node->m_item : nullptr);
}

TTreeNode* TTreeView::GetNodeAt(int x, int y) const
{
    if (!HandleAllocated()) return nullptr;
    const HTREEITEM item = WindowAs<CTreeCtrl>(m_window)->HitTest(CPoint(x, y));
    return item ? reinterpret_cast<TTreeNode*>(WindowAs<CTreeCtrl>(m_window)->GetItemData(item)) : nullptr;
}

THitTests TTreeView::GetHitTestInfoAt(int x, int y) const
{
    if (!HandleAllocated()) return htNowhere;
    UINT flags = 0;
    WindowAs<CTreeCtrl>(m_window)->HitTest(CPoint(x, y), &flags);
    THitTests tests = 0;
    if (flags & TVHT_ABOVE) tests |= htAbove;
    if (flags & TVHT_BELOW) tests |= htBelow;
    if (flags & TVHT_NOWHERE) tests |= htNowhere;
    if (flags & TVHT_ONITEM) tests |= htOnItem;
    if (flags & TVHT_ONITEMBUTTON) tests |= htOnButton;
    if (flags & TVHT_ONITEMICON) tests |= htOnIcon;
    if (flags & TVHT_ONITEMINDENT) tests |= htOnIndent;
    if (flags & TVHT_ONITEMLABEL) tests |= htOnLabel;
    if (flags & TVHT_ONITEMRIGHT) tests |= htOnRight;
    if (flags & TVHT_ONITEMSTATEICON) tests |= htOnStateIcon;
    if (flags & TVHT_TOLEFT) tests |= htToLeft;
    if (flags & TVHT_TORIGHT) tests |= htToRight;
    return tests;
}

void TTreeView::FullExpand()
{
    for (TTreeNode* node : std::vector<TTreeNode*>(m_items->m_top)) node->Expand(true);
}

bool TTreeView::CanExpand(TTreeNode* node)
{
    bool allow = true;
    if (OnExpanding) OnExpanding(this, node, allow);
    return allow;
}

bool TTreeView::CanCollapse(TTreeNode* node)
{
    bool allow = true;
    if (OnCollapsing) OnCollapsing(this, node, allow);
    return allow;
}

void TTreeView::Notify(TMessage& message)
{
    auto* header = reinterpret_cast<NMHDR*>(message.LParam);
    const auto nodeOf = [](LPARAM data) { return reinterpret_cast<TTreeNode*>(data); };
    switch (header->code) {
        case TVN_SELCHANGED: {
            const auto* change = reinterpret_cast<NMTREEVIEW*>(header);
            if (OnChange) OnChange(this, nodeOf(change->itemNew.lParam));
            message.Result = 0;
            break;
        }
        case TVN_ITEMEXPANDING: {
            const auto* change = reinterpret_cast<NMTREEVIEW*>(header);
            TTreeNode* node = nodeOf(change->itemNew.lParam);
            const bool allow = change->action == TVE_EXPAND ? CanExpand(node) : CanCollapse(node);
            message.Result = allow ? 0 : 1;
            break;
        }
        case TVN_ITEMEXPANDED: {
            const auto* change = reinterpret_cast<NMTREEVIEW*>(header);
            TTreeNode* node = nodeOf(change->itemNew.lParam);
            if (change->action == TVE_EXPAND) {
                if (OnExpanded) OnExpanded(this, node);
            } else if (OnCollapsed) {
                OnCollapsed(this, node);
            }
            message.Result = 0;
            break;
        }
        case TVN_BEGINLABELEDIT: {
            const auto* info = reinterpret_cast<NMTVDISPINFO*>(header);
            bool allow = !m_readOnly;
            if (allow && OnEditing) OnEditing(this, nodeOf(info->item.lParam), allow);
            m_editing = allow;
            message.Result = allow ? 0 : 1;
            break;
        }
        case TVN_ENDLABELEDIT: {
            const auto* info = reinterpret_cast<NMTVDISPINFO*>(header);
            m_editing = false;
            TTreeNode* node = nodeOf(info->item.lParam);
            if (info->item.pszText && node) {
                std::string text = info->item.pszText;
                if (OnEdited) OnEdited(this, node, text);
                node->SetText(text);
            }
            message.Result = FALSE;  // the label is set above, as the handler left it
            break;
        }
        case NM_DBLCLK:
            // The double press itself reaches the control first and fires OnDblClick there.
            message.Result = 0;
            break;
        case NM_CLICK:
            Click();
            message.Result = 0;
            break;
        default:
            break;
    }
}

void TTreeView::WndProc(TMessage& message)
{
    if (message.Msg == CN_WMNOTIFY) {
        Notify(message);
        return;
    }
    if (message.Msg == WM_RBUTTONDOWN && m_rightClickSelect) {
        const CPoint at = PointOf(message.LParam);
        if (TTreeNode* node = GetNodeAt(at.x, at.y)) SetSelected(node);
        if (!HandleAllocated()) return;
    }
    TWinControl::WndProc(message);
}

bool TTreeView::SetProperty(std::string_view name, std::string_view value, TComponent* form)
{
    if (SameText(name, "ReadOnly"))
        SetReadOnly(PropertyBool(value));
    else if (SameText(name, "ShowButtons"))
        SetShowButtons(PropertyBool(value));
    else if (SameText(name, "ShowLines"))
        SetShowLines(PropertyBool(value));
    else if (SameText(name, "ShowRoot"))
        SetShowRoot(PropertyBool(value));
    else if (SameText(name, "RightClickSelect"))
        SetRightClickSelect(PropertyBool(value));
    else if (SameText(name, "HideSelection"))
        SetHideSelection(PropertyBool(value));
    else if (SameText(name, "Images"))
        SetImages(PropertyComponent<TImageList>(value, form));
    else
        return TWinControl::SetProperty(name, value, form);
    return true;
}

bool TTreeView::SetEvent(std::string_view name, const THandler& handler)
{
    if (SameText(name, "OnChange"))
        OnChange = handler.As<TTVChangedEvent>(name);
    else if (SameText(name, "OnChanging"))
        OnChanging = handler.As<TTVChangingEvent>(name);
    else if (SameText(name, "OnExpanding"))
        OnExpanding = handler.As<TTVExpandingEvent>(name);
    else if (SameText(name, "OnCollapsing"))
        OnCollapsing = handler.As<TTVCollapsingEvent>(name);
    else if (SameText(name, "OnExpanded"))
        OnExpanded = handler.As<TTVExpandedEvent>(name);
    else if (SameText(name, "OnCollapsed"))
        OnCollapsed = handler.As<TTVExpandedEvent>(name);
    else if (SameText(name, "OnEditing"))
        OnEditing = handler.As<TTVEditingEvent>(name);
    else if (SameText(name, "OnEdited"))
        OnEdited = handler.As<TTVEditedEvent>(name);
    else if (SameText(name, "OnDeletion"))
        OnDeletion = handler.As<TTVExpandedEvent>(name);
    else
        return TWinControl::SetEvent(name, handler);
    return true;
}

// --- TListItem
// ------------------------------------------------------------------------------------------------
namespace {

CListCtrl* ListWindowOf(const TListView* view)
{
    return view && view->HandleAllocated() ? static_cast<CListCtrl*>(view->Window()) : nullptr;
}

}  // namespace

void TListItem::SetCaption(const std::string& caption)
{
    m_caption = caption;
    if (CListCtrl* list = ListWindowOf(m_view)) list->SetItemText(Index(), 0, caption.c_str());
}

void TListItem::SetImageIndex(int index)
{
    m_imageIndex = index;
    if (!m_view || !m_view->HandleAllocated()) return;
    // The list shows an item's picture as it was inserted: insert it again in its place.
    m_view->ApplyImages();
}

int TListItem::Index() const
{
    if (!m_view) return -1;
    const auto& items = m_view->m_items;
    const auto it = std::find(items.begin(), items.end(), this);
    return it == items.end() ? -1 : static_cast<int>(it - items.begin());
}

bool TListItem::Selected() const
{
    CListCtrl* list = ListWindowOf(m_view);
    return list && (list->GetItemState(Index(), LVIS_SELECTED) & LVIS_SELECTED);
}

void TListItem::SetSelected(bool selected)
{
    if (CListCtrl* list = ListWindowOf(m_view))
        list->SetItemState(Index(), selected ? LVIS_SELECTED : 0, LVIS_SELECTED);
}

bool TListItem::Focused() const
{
    CListCtrl* list = ListWindowOf(m_view);
    return list && (list->GetItemState(Index(), LVIS_FOCUSED) & LVIS_FOCUSED);
}

void TListItem::SetFocused(bool focused)
{
    if (CListCtrl* list = ListWindowOf(m_view))
        list->SetItemState(Index(), focused ? LVIS_FOCUSED : 0, LVIS_FOCUSED);
}

bool TListItem::EditCaption()
{
    CListCtrl* list = ListWindowOf(m_view);
    return list && list->EditLabel(Index());
}

// --- TListView
// -------------------------------------------------------------------------------------------------
void TListView::Create(void* owner)
{
    TWinControl::Create(owner);
    SetColor(clWindow);
    SetBounds(0, 0, 250, 150);
}

void TListView::BeforeDestruction()
{
    TWinControl::BeforeDestruction();
    for (TListItem* item : m_items) item->Free();
    m_items.clear();
}

std::unique_ptr<CWnd> TListView::MakeWindow()
{
    return std::make_unique<TControlWindow<CListCtrl>>(this);
}

DWORD TListView::WindowStyle() const
{
    static constexpr DWORD kModes[] = {LVS_ICON, LVS_SMALLICON, LVS_LIST, LVS_REPORT};
    return TWinControl::WindowStyle() | WS_BORDER | LVS_SINGLESEL | LVS_AUTOARRANGE | LVS_SHOWSELALWAYS |
           kModes[m_viewStyle] | (m_readOnly ? 0 : LVS_EDITLABELS);
}

BOOL TListView::CreateWindowOf(CWnd& window, CWnd* parentWindow, DWORD style, const CRect& bounds, UINT id)
{
    return WindowAs<CListCtrl>(&window)->Create(style, bounds, parentWindow, id);
}

void TListView::WindowCreated()
{
    auto* list = WindowAs<CListCtrl>(m_window);
    if (m_viewStyle == vsReport) list->InsertColumn(0, "", LVCFMT_LEFT, std::max(Width() - 4, 50));
    ApplyImages();
}

void TListView::ApplyImages()
{
    if (!HandleAllocated()) return;
    auto* list = WindowAs<CListCtrl>(m_window);
    list->SetImageList(m_largeImages ? m_largeImages->ImageList() : nullptr, LVSIL_NORMAL);
    list->SetImageList(m_smallImages ? m_smallImages->ImageList() : nullptr, LVSIL_SMALL);
    // Rows again, so that each shows its picture.
    list->DeleteAllItems();
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        const int row =
            list->InsertItem(static_cast<int>(i), m_items[i]->m_caption.c_str(), m_items[i]->m_imageIndex);
        list->SetItemData(row, reinterpret_cast<DWORD_PTR>(m_items[i]));
    }
}

TListItem* TListView::Item(int index) const
{
    return index >= 0 && index < Count() ? m_items[static_cast<std::size_t>(index)] : nullptr;
}

TListItem* TListView::AddItem(const std::string& caption, void* data, int imageIndex)
{
    auto* item = TListItem::New();
    item->m_view = this;
    item->m_caption = caption;
    item->m_data = data;
    item->m_imageIndex = imageIndex;
    m_items.push_back(item);
    if (CListCtrl* list = ListWindowOf(this)) {
        const int row = list->InsertItem(Count() - 1, caption.c_str(), imageIndex);
        list->SetItemData(row, reinterpret_cast<DWORD_PTR>(item));
    }
    return item;
}

void TListView::DeleteItem(int index)
{
    TListItem* item = Item(index);
    if (!item) return;
    m_items.erase(m_items.begin() + index);
    if (CListCtrl* list = ListWindowOf(this)) list->DeleteItem(index);
    item->Free();
}

void TListView::Clear()
{
    if (CListCtrl* list = ListWindowOf(this)) list->DeleteAllItems();
    for (TListItem* item : m_items) item->Free();
    m_items.clear();
}

TListItem* TListView::Selected() const
{
    CListCtrl* list = ListWindowOf(this);
    return list ? Item(list->GetNextItem(-1, LVNI_SELECTED)) : nullptr;
}

void TListView::SetSelected(TListItem* item)
{
    CListCtrl* list = ListWindowOf(this);
    if (!list) return;
    if (!item) {
        list->SetItemState(-1, 0, LVIS_SELECTED);
        return;
    }
    item->SetSelected(true);
}

TListItem* TListView::ItemFocused() const
{
    CListCtrl* list = ListWindowOf(this);
    return list ? Item(list->GetNextItem(-1, LVNI_FOCUSED)) : nullptr;
}

TListItem* TListView::GetItemAt(int x, int y) const
{
    CListCtrl* list = ListWindowOf(this);
    if (!list) return nullptr;
    for (int i = 0; i < Count(); ++i) {
        CRect rect;
        if (list->GetItemRect(i, &rect, LVIR_BOUNDS) && rect.PtInRect(CPoint(x, y))) return Item(i);
    }
    return nullptr;
}

void TListView::SetViewStyle(TViewStyle style)
{
    if (style == m_viewStyle) return;
    m_viewStyle = style;
    RecreateWnd();
}

void TListView::SetReadOnly(bool readOnly)
{
    if (readOnly == m_readOnly) return;
    m_readOnly = readOnly;
    if (HandleAllocated())
        m_window->ModifyStyle(readOnly ? LVS_EDITLABELS : 0, readOnly ? 0 : LVS_EDITLABELS);
}

void TListView::SetLargeImages(TImageList* images)
{
    if (m_largeImages) RemoveFreeNotification(m_largeImages);
    m_largeImages = images;
    if (images) FreeNotification(images);
    ApplyImages();
}

void TListView::SetSmallImages(TImageList* images)
{
    if (m_smallImages) RemoveFreeNotification(m_smallImages);
    m_smallImages = images;
    if (images) FreeNotification(images);
    ApplyImages();
}

void TListView::Notification(TComponent* component, TOperation operation)
{
    TWinControl::Notification(component, operation);
    if (operation != opRemove) return;
    if (component == m_largeImages) SetLargeImages(nullptr);
    if (component == m_smallImages) SetSmallImages(nullptr);
}

void TListView::WndProc(TMessage& message)
{
    if (message.Msg != CN_WMNOTIFY) {
        TWinControl::WndProc(message);
        return;
    }
    auto* header = reinterpret_cast<NMHDR*>(message.LParam);
    switch (header->code) {
        case LVN_ITEMCHANGED: {
            const auto* change = reinterpret_cast<NMLISTVIEW*>(header);
            TListItem* item = Item(change->iItem);
            if (!item) break;
            if (OnChange) OnChange(this, item, ctState);
            if (((change->uNewState ^ change->uOldState) & LVIS_SELECTED) && OnSelectItem)
                OnSelectItem(this, item, (change->uNewState & LVIS_SELECTED) != 0);
            message.Result = 0;
            break;
        }
        case LVN_BEGINLABELEDIT: {
            const auto* info = reinterpret_cast<NMLVDISPINFO*>(header);
            bool allow = !m_readOnly;
            if (allow && OnEditing) OnEditing(this, Item(info->item.iItem), allow);
            message.Result = allow ? 0 : 1;
            break;
        }
        case LVN_ENDLABELEDIT: {
            const auto* info = reinterpret_cast<NMLVDISPINFO*>(header);
            TListItem* item = Item(info->item.iItem);
            if (item && info->item.pszText) {
                std::string text = info->item.pszText;
                if (OnEdited) OnEdited(this, item, text);
                item->SetCaption(text);
            }
            message.Result = FALSE;
            break;
        }
        case NM_DBLCLK:
            m_clicked = reinterpret_cast<NMITEMACTIVATE*>(header)->iItem;
            DblClick();
            message.Result = 0;
            break;
        case NM_CLICK:
            m_clicked = reinterpret_cast<NMITEMACTIVATE*>(header)->iItem;
            Click();
            message.Result = 0;
            break;
        default:
            break;
    }
}

bool TListView::SetProperty(std::string_view name, std::string_view value, TComponent* form)
{
    if (SameText(name, "ViewStyle"))
        SetViewStyle(
            static_cast<TViewStyle>(PropertyEnum(value, {"vsIcon", "vsSmallIcon", "vsList", "vsReport"})));
    else if (SameText(name, "ReadOnly"))
        SetReadOnly(PropertyBool(value));
    else if (SameText(name, "LargeImages"))
        SetLargeImages(PropertyComponent<TImageList>(value, form));
    else if (SameText(name, "SmallImages"))
        SetSmallImages(PropertyComponent<TImageList>(value, form));
    else if (SameText(name, "AutoArrange"))
        PropertyBool(value);  // icons are always arranged
    else
        return TWinControl::SetProperty(name, value, form);
    return true;
}

bool TListView::SetEvent(std::string_view name, const THandler& handler)
{
    if (SameText(name, "OnChange"))
        OnChange = handler.As<TLVChangeEvent>(name);
    else if (SameText(name, "OnSelectItem"))
        OnSelectItem = handler.As<TLVSelectItemEvent>(name);
    else if (SameText(name, "OnEditing"))
        OnEditing = handler.As<TLVEditingEvent>(name);
    else if (SameText(name, "OnEdited"))
        OnEdited = handler.As<TLVEditedEvent>(name);
    else
        return TWinControl::SetEvent(name, handler);
    return true;
}

// --- TTabSheet
// ------------------------------------------------------------------------------------------------
TPageControl* TTabSheet::PageControl() const
{
    return ObjectAs<TPageControl>(Parent());
}

int TTabSheet::PageIndex() const
{
    TPageControl* pages = PageControl();
    if (!pages) return -1;
    const auto it = std::find(pages->m_pages.begin(), pages->m_pages.end(), this);
    return it == pages->m_pages.end() ? -1 : static_cast<int>(it - pages->m_pages.begin());
}

void TTabSheet::SetParent(TWinControl* parent)
{
    if (parent == Parent()) return;
    if (TPageControl* old = PageControl()) old->RemovePage(this);
    TCustomControl::SetParent(parent);
    if (TPageControl* now = PageControl()) now->AddPage(this);
}

void TTabSheet::TextChanged()
{
    TCustomControl::TextChanged();
    if (TPageControl* pages = PageControl()) pages->UpdateTabs();
}

void TTabSheet::ReadLayout(const TControlResource& record)
{
    TControlResource rest = record;
    rest.page = -1;
    TCustomControl::ReadLayout(rest);
    m_wantedIndex = record.page;
}

// --- TPageControl
// -----------------------------------------------------------------------------------------------
std::unique_ptr<CWnd> TPageControl::MakeWindow()
{
    return std::make_unique<TControlWindow<CTabCtrl>>(this);
}

DWORD TPageControl::WindowStyle() const
{
    DWORD style = TWinControl::WindowStyle();
    if (m_style == tsButtons) style |= TCS_BUTTONS;
    if (m_style == tsFlatButtons) style |= TCS_BUTTONS | TCS_FLATBUTTONS;
    return style;
}

BOOL TPageControl::CreateWindowOf(CWnd& window, CWnd* parentWindow, DWORD style, const CRect& bounds, UINT id)
{
    return WindowAs<CTabCtrl>(&window)->Create(style, bounds, parentWindow, id);
}

void TPageControl::WindowCreated()
{
    UpdateTabs();
}

TTabSheet* TPageControl::Page(int index) const
{
    return index >= 0 && index < PageCount() ? m_pages[static_cast<std::size_t>(index)] : nullptr;
}

void TPageControl::AddPage(TTabSheet* page)
{
    if (std::find(m_pages.begin(), m_pages.end(), page) != m_pages.end()) return;
    const int at = page->m_wantedIndex >= 0 ? std::min(page->m_wantedIndex, PageCount()) : PageCount();
    m_pages.insert(m_pages.begin() + at, page);
    if (m_active < 0) m_active = 0;
    if (m_wantedActive >= 0 && m_wantedActive < PageCount()) m_active = m_wantedActive;
    UpdateTabs();
}

void TPageControl::RemovePage(TTabSheet* page)
{
    const int index = page->PageIndex();
    if (index < 0) return;
    m_pages.erase(m_pages.begin() + index);
    if (m_active >= PageCount()) m_active = PageCount() - 1;
    UpdateTabs();
}

void TPageControl::UpdateTabs()
{
    if (HandleAllocated()) {
        auto* tabs = WindowAs<CTabCtrl>(m_window);
        tabs->DeleteAllItems();
        for (int i = 0; i < PageCount(); ++i) {
            const std::string caption = Page(i)->Caption();
            tabs->InsertItem(i, caption.c_str());
        }
        if (m_active >= 0) tabs->SetCurSel(m_active);
    }
    Realign();
    ShowActive();
}

void TPageControl::ShowActive()
{
    for (int i = 0; i < PageCount(); ++i) Page(i)->SetVisible(i == m_active);
}

CRect TPageControl::ClientRect() const
{
    CRect rect = TWinControl::ClientRect();
    if (HandleAllocated()) WindowAs<CTabCtrl>(m_window)->AdjustRect(FALSE, &rect);
    return rect;
}

void TPageControl::AlignControls()
{
    const CRect display = ClientRect();
    for (TTabSheet* page : m_pages)
        page->SetBounds(display.left, display.top, display.Width(), display.Height());
    TWinControl::AlignControls();
}

void TPageControl::SetActivePageIndex(int index)
{
    if (index < 0 || index >= PageCount() || index == m_active) return;
    m_active = index;
    if (HandleAllocated()) WindowAs<CTabCtrl>(m_window)->SetCurSel(index);
    ShowActive();
}

void TPageControl::SetActivePage(TTabSheet* page)
{
    SetActivePageIndex(page ? page->PageIndex() : -1);
}

void TPageControl::SetStyle(TTabStyle style)
{
    if (style == m_style) return;
    m_style = style;
    RecreateWnd();
}

void TPageControl::WndProc(TMessage& message)
{
    if (message.Msg == CN_WMNOTIFY) {
        auto* header = reinterpret_cast<NMHDR*>(message.LParam);
        if (header->code == TCN_SELCHANGING) {
            bool allow = true;
            if (OnChanging) OnChanging(this, allow);
            message.Result = allow ? 0 : 1;
        } else if (header->code == TCN_SELCHANGE) {
            m_active = WindowAs<CTabCtrl>(m_window)->GetCurSel();
            ShowActive();
            if (OnChange) OnChange(this);
            message.Result = 0;
        }
        return;
    }
    TWinControl::WndProc(message);
}

void TPageControl::ReadLayout(const TControlResource& record)
{
    TControlResource rest = record;
    rest.page = -1;
    TWinControl::ReadLayout(rest);
    m_wantedActive = record.page;
}

bool TPageControl::SetProperty(std::string_view name, std::string_view value, TComponent* form)
{
    if (SameText(name, "Style"))
        SetStyle(static_cast<TTabStyle>(PropertyEnum(value, {"tsTabs", "tsButtons", "tsFlatButtons"})));
    else if (SameText(name, "ActivePage"))
        SetActivePage(PropertyComponent<TTabSheet>(value, form));
    else
        return TWinControl::SetProperty(name, value, form);
    return true;
}

bool TPageControl::SetEvent(std::string_view name, const THandler& handler)
{
    if (SameText(name, "OnChange"))
        OnChange = handler.As<TNotifyEvent>(name);
    else if (SameText(name, "OnChanging"))
        OnChanging = handler.As<TTabChangingEvent>(name);
    else
        return TWinControl::SetEvent(name, handler);
    return true;
}

// --- TTrackBar
// ------------------------------------------------------------------------------------------------
void TTrackBar::Create(void* owner)
{
    TWinControl::Create(owner);
    SetBounds(0, 0, 150, 45);
}

std::unique_ptr<CWnd> TTrackBar::MakeWindow()
{
    return std::make_unique<TControlWindow<CSliderCtrl>>(this);
}

DWORD TTrackBar::WindowStyle() const
{
    return TWinControl::WindowStyle() | TBS_AUTOTICKS | (m_orientation == trVertical ? TBS_VERT : TBS_HORZ);
}

BOOL TTrackBar::CreateWindowOf(CWnd& window, CWnd* parentWindow, DWORD style, const CRect& bounds, UINT id)
{
    return WindowAs<CSliderCtrl>(&window)->Create(style, bounds, parentWindow, id);
}

void TTrackBar::WindowCreated()
{
    auto* slider = WindowAs<CSliderCtrl>(m_window);
    slider->SetRange(m_min, m_max);
    slider->SetPageSize(m_pageSize);
    slider->SetLineSize(m_lineSize);
    slider->SetTicFreq(m_frequency);
    slider->SetPos(m_position);
}

void TTrackBar::Changed()
{
    if (OnChange) OnChange(this);
}

void TTrackBar::SetRange(int min, int max)
{
    m_min = min;
    m_max = std::max(min, max);
    if (HandleAllocated()) WindowAs<CSliderCtrl>(m_window)->SetRange(m_min, m_max, TRUE);
    SetPosition(m_position);
}

int TTrackBar::Position() const
{
    return m_position;
}

void TTrackBar::SetPosition(int position)
{
    position = std::clamp(position, m_min, m_max);
    if (position == m_position) return;
    m_position = position;
    if (HandleAllocated()) WindowAs<CSliderCtrl>(m_window)->SetPos(position);
    Changed();
}

void TTrackBar::SetPageSize(int size)
{
    m_pageSize = size;
    if (HandleAllocated()) WindowAs<CSliderCtrl>(m_window)->SetPageSize(size);
}

void TTrackBar::SetLineSize(int size)
{
    m_lineSize = size;
    if (HandleAllocated()) WindowAs<CSliderCtrl>(m_window)->SetLineSize(size);
}

void TTrackBar::SetFrequency(int frequency)
{
    m_frequency = std::max(frequency, 1);
    if (HandleAllocated()) WindowAs<CSliderCtrl>(m_window)->SetTicFreq(m_frequency);
}

void TTrackBar::WndProc(TMessage& message)
{
    if (message.Msg == CN_WMHSCROLL || message.Msg == CN_WMVSCROLL) {
        const int now = WindowAs<CSliderCtrl>(m_window)->GetPos();
        if (now != m_position) {
            m_position = now;
            Changed();
        }
        message.Result = 0;
        return;
    }
    TWinControl::WndProc(message);
}

bool TTrackBar::SetProperty(std::string_view name, std::string_view value, TComponent* form)
{
    if (SameText(name, "Min"))
        SetRange(PropertyInt(value), m_max);
    else if (SameText(name, "Max"))
        SetRange(m_min, PropertyInt(value));
    else if (SameText(name, "Position"))
        SetPosition(PropertyInt(value));
    else if (SameText(name, "PageSize"))
        SetPageSize(PropertyInt(value));
    else if (SameText(name, "LineSize"))
        SetLineSize(PropertyInt(value));
    else if (SameText(name, "Frequency"))
        SetFrequency(PropertyInt(value));
    else if (SameText(name, "Orientation")) {
        m_orientation =
            static_cast<TTrackBarOrientation>(PropertyEnum(value, {"trHorizontal", "trVertical"}));
        RecreateWnd();
    } else
        return TWinControl::SetProperty(name, value, form);
    return true;
}

bool TTrackBar::SetEvent(std::string_view name, const THandler& handler)
{
    if (SameText(name, "OnChange")) {
        OnChange = handler.As<TNotifyEvent>(name);
        return true;
    }
    return TWinControl::SetEvent(name, handler);
}

// --- TToolButton
// ------------------------------------------------------------------------------------------------
TToolBar* TToolButton::Bar() const
{
    return ObjectAs<TToolBar>(Parent());
}

void TToolButton::BeforeDestruction()
{
    if (m_dropdownMenu) RemoveFreeNotification(m_dropdownMenu);
    m_dropdownMenu = nullptr;
    TToolBar* bar = Bar();
    TGraphicControl::BeforeDestruction();
    if (bar) bar->RebuildButtons();
}

void TToolButton::Notification(TComponent* component, TOperation operation)
{
    TGraphicControl::Notification(component, operation);
    if (operation == opRemove && component == m_dropdownMenu) m_dropdownMenu = nullptr;
}

void TToolButton::SetImageIndex(int index)
{
    m_imageIndex = index;
    if (TToolBar* bar = Bar()) bar->RebuildButtons();
}

void TToolButton::SetStyle(TToolButtonStyle style)
{
    m_style = style;
    if (TToolBar* bar = Bar()) bar->RebuildButtons();
}

void TToolButton::SetDown(bool down)
{
    m_down = down;
    if (TToolBar* bar = Bar(); bar && bar->HandleAllocated())
        static_cast<CToolBar*>(bar->Window())->GetToolBarCtrl().CheckButton(static_cast<int>(m_id), down);
}

void TToolButton::SetDropdownMenu(TPopupMenu* menu)
{
    if (m_dropdownMenu) RemoveFreeNotification(m_dropdownMenu);
    m_dropdownMenu = menu;
    if (menu) FreeNotification(menu);
}

void TToolButton::EnabledChanged()
{
    if (TToolBar* bar = Bar(); bar && bar->HandleAllocated())
        static_cast<CToolBar*>(bar->Window())
            ->GetToolBarCtrl()
            .EnableButton(static_cast<int>(m_id), Enabled());
}

void TToolButton::VisibleChanged()
{
    if (TToolBar* bar = Bar()) bar->RebuildButtons();
}

void TToolButton::Loaded()
{
    if (TToolBar* bar = Bar()) bar->RebuildButtons();
}

void TToolButton::CheckMenuDropdown()
{
    TToolBar* bar = Bar();
    if (!m_dropdownMenu || !bar) return;
    const CRect rect = bar->ButtonRect(this);
    const CPoint at = bar->ClientToScreen(CPoint(rect.left, rect.bottom));
    m_dropdownMenu->Popup(at.x, at.y);
}

bool TToolButton::SetProperty(std::string_view name, std::string_view value, TComponent* form)
{
    if (SameText(name, "ImageIndex"))
        SetImageIndex(PropertyInt(value));
    else if (SameText(name, "Style"))
        SetStyle(static_cast<TToolButtonStyle>(
            PropertyEnum(value, {"tbsButton", "tbsCheck", "tbsDropDown", "tbsSeparator", "tbsDivider"})));
    else if (SameText(name, "Down"))
        SetDown(PropertyBool(value));
    else if (SameText(name, "DropdownMenu"))
        SetDropdownMenu(PropertyComponent<TPopupMenu>(value, form));
    else
        return TGraphicControl::SetProperty(name, value, form);
    return true;
}

// --- TToolBar
// ----------------------------------------------------------------------------------------------------
void TToolBar::Create(void* owner)
{
    TWinControl::Create(owner);
    SetBounds(0, 0, 150, 29);
    SetAlign(alTop);
}

std::unique_ptr<CWnd> TToolBar::MakeWindow()
{
    return std::make_unique<TControlWindow<CToolBar>>(this);
}

BOOL TToolBar::CreateWindowOf(CWnd& window, CWnd* parentWindow, DWORD style, const CRect& bounds, UINT id)
{
    auto* bar = WindowAs<CToolBar>(&window);
    if (!bar->CreateEx(parentWindow, m_flat ? TBSTYLE_FLAT : 0, style, CRect(0, 0, 0, 0), id)) return FALSE;
    bar->GetToolBarCtrl().SetExtendedStyle(TBSTYLE_EX_DRAWDDARROWS);
    bar->MoveWindow(&bounds);
    return TRUE;
}

void TToolBar::WindowCreated()
{
    RebuildButtons();
}

int TToolBar::ButtonCount() const
{
    int count = 0;
    for (int i = 0; i < ControlCount(); ++i)
        if (ObjectAs<TToolButton>(Control(i))) ++count;
    return count;
}

TToolButton* TToolBar::Button(int index) const
{
    for (int i = 0; i < ControlCount(); ++i)
        if (auto* button = ObjectAs<TToolButton>(Control(i)); button && index-- == 0) return button;
    return nullptr;
}

CRect TToolBar::ButtonRect(const TToolButton* button) const
{
    CRect rect(0, 0, 0, 0);
    if (!HandleAllocated() || !button) return rect;
    auto* bar = WindowAs<CToolBar>(m_window);
    const int index = bar->CommandToIndex(button->m_id);
    if (index >= 0) bar->GetItemRect(index, rect);
    return rect;
}

void TToolBar::RebuildButtons()
{
    if (!HandleAllocated()) return;
    auto* bar = WindowAs<CToolBar>(m_window);
    std::vector<TToolButton*> buttons;
    for (int i = 0; i < ControlCount(); ++i)
        if (auto* button = ObjectAs<TToolButton>(Control(i))) buttons.push_back(button);
    // Buttons keep the order in which they were placed from the left.
    std::stable_sort(buttons.begin(), buttons.end(),
                     [](TToolButton* a, TToolButton* b) { return a->Left() < b->Left(); });
    std::vector<UINT> ids;
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        buttons[i]->m_id = static_cast<UINT>(i + 1);
        ids.push_back(
            buttons[i]->m_style == tbsSeparator || buttons[i]->m_style == tbsDivider ? 0u : buttons[i]->m_id);
    }
    bar->SetButtons(ids.data(), static_cast<int>(ids.size()));
    int imageWidth = 16, imageHeight = 15;
    if (m_images) {
        imageWidth = m_images->Width();
        imageHeight = m_images->Height();
        bar->GetToolBarCtrl().SetImageList(m_images->ImageList());
    }
    bar->SetSizes(CSize(m_buttonWidth, m_buttonHeight), CSize(imageWidth, imageHeight));
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        TToolButton* b = buttons[i];
        if (ids[i] == 0) continue;
        const UINT style = b->m_style == tbsCheck      ? TBSTYLE_CHECK
                           : b->m_style == tbsDropDown ? TBSTYLE_DROPDOWN
                                                       : TBSTYLE_BUTTON;
        bar->SetButtonInfo(static_cast<int>(i), b->m_id, style, b->m_imageIndex);
        bar->GetToolBarCtrl().EnableButton(static_cast<int>(b->m_id), b->Enabled());
        bar->GetToolBarCtrl().HideButton(static_cast<int>(b->m_id), !b->Visible());
        bar->GetToolBarCtrl().CheckButton(static_cast<int>(b->m_id), b->m_down);
    }
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        CRect rect;
        bar->GetItemRect(static_cast<int>(i), rect);
        if (rect.Width() > 0) buttons[i]->SetBounds(rect.left, rect.top, rect.Width(), rect.Height());
    }
    bar->Invalidate();
}

void TToolBar::SetImages(TImageList* images)
{
    if (m_images) RemoveFreeNotification(m_images);
    m_images = images;
    if (images) FreeNotification(images);
    RebuildButtons();
}

void TToolBar::Notification(TComponent* component, TOperation operation)
{
    TWinControl::Notification(component, operation);
    if (operation == opRemove && component == m_images) {
        m_images = nullptr;
        if (HandleAllocated()) WindowAs<CToolBar>(m_window)->GetToolBarCtrl().SetImageList(nullptr);
    }
}

void TToolBar::SetFlat(bool flat)
{
    if (flat == m_flat) return;
    m_flat = flat;
    RecreateWnd();
}

void TToolBar::SetButtonSize(int width, int height)
{
    m_buttonWidth = std::max(width, 1);
    m_buttonHeight = std::max(height, 1);
    RebuildButtons();
}

void TToolBar::WndProc(TMessage& message)
{
    switch (message.Msg) {
        case WM_IDLEUPDATECMDUI:
            return;  // the buttons' states are the buttons' own, not the owner's command handlers'
        case CN_WMCOMMAND: {
            const UINT id = LOWORD(message.WParam);
            for (int i = 0; i < ButtonCount(); ++i) {
                TToolButton* button = Button(i);
                if (button->m_id != id) continue;
                if (button->m_style == tbsCheck)
                    button->m_down =
                        WindowAs<CToolBar>(m_window)->GetToolBarCtrl().IsButtonChecked(static_cast<int>(id));
                button->Click();
                break;
            }
            message.Result = 0;
            return;
        }
        case CN_WMNOTIFY: {
            auto* header = reinterpret_cast<NMHDR*>(message.LParam);
            if (header->code == TBN_DROPDOWN) {
                const auto* info = reinterpret_cast<NMTOOLBAR*>(header);
                for (int i = 0; i < ButtonCount(); ++i)
                    if (Button(i)->m_id == static_cast<UINT>(info->iItem)) Button(i)->CheckMenuDropdown();
                message.Result = TBDDRET_DEFAULT;
            }
            return;
        }
        default:
            break;
    }
    if (message.Msg >= WM_MOUSEMOVE && message.Msg <= WM_MBUTTONDBLCLK) {
        // The platform's bar handles its buttons itself; the tool buttons only stand for them.
        TControl::WndProc(message);
        DefaultHandler(message);
        return;
    }
    TWinControl::WndProc(message);
}

bool TToolBar::SetProperty(std::string_view name, std::string_view value, TComponent* form)
{
    if (SameText(name, "Images"))
        SetImages(PropertyComponent<TImageList>(value, form));
    else if (SameText(name, "Flat"))
        SetFlat(PropertyBool(value));
    else if (SameText(name, "ButtonWidth"))
        SetButtonSize(PropertyInt(value), m_buttonHeight);
    else if (SameText(name, "ButtonHeight"))
        SetButtonSize(m_buttonWidth, PropertyInt(value));
    else
        return TWinControl::SetProperty(name, value, form);
    return true;
}
