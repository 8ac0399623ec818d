#pragma once

// The common controls of the class library, over the platform's: tree views with their
// nodes, list views with their items, page controls with tab sheets, track bars, and tool
// bars with tool buttons.

#include <memory>
#include <string>
#include <vector>

#include "platform/forms/controls.h"

struct _TREEITEM;
using HTREEITEM = _TREEITEM*;
class TImageList;
class TPopupMenu;
class TTreeView;
class TTreeNodes;

// --- tree views --------------------------------------------------------------------------------------------
/// One node of a tree view: a label, a pointer-sized datum and child nodes.
class PLATFORM_API TTreeNode : public TPersistent {
    DECLARE_TCLASS(TTreeNode)

    const std::string& Text() const { return m_text; }
    void SetText(const std::string& text);
    void* Data() const { return m_data; }
    void SetData(void* data) { m_data = data; }
    int ImageIndex() const { return m_imageIndex; }
    void SetImageIndex(int index);
    int SelectedIndex() const { return m_selectedIndex; }
    void SetSelectedIndex(int index);

    /// Expanding or collapsing by the program asks OnExpanding / OnCollapsing as the
    /// user's does, and tells OnExpanded / OnCollapsed.
    bool Expanded() const;
    void SetExpanded(bool expanded);
    void Expand(bool recurse);
    void Collapse(bool recurse);
    bool Selected() const;
    void SetSelected(bool selected);
    bool Focused() const { return Selected(); }
    void MakeVisible();
    /// Starts editing the label (when the tree is not read-only).
    bool EditText();

    TTreeNode* Parent() const { return m_parent; }
    int Count() const { return static_cast<int>(m_children.size()); }
    bool HasChildren() const { return !m_children.empty(); }
    TTreeNode* Item(int index) const;
    TTreeNode* GetFirstChild() const { return Item(0); }
    TTreeNode* GetNextSibling() const;
    TTreeNode* GetPrevSibling() const;
    /// The place among the parent's children.
    int Index() const;
    /// The place in the tree's index order (depth first).
    int AbsoluteIndex() const;
    /// 0 for top-level nodes.
    int Level() const;
    /// Frees the children.
    void DeleteChildren();
    /// Frees this node with its children.
    void Delete();
    HTREEITEM ItemId() const { return m_item; }
    TTreeView* TreeView() const;
    TTreeNodes* Owner() const { return m_owner; }

protected:
    TTreeNode() = default;
    ~TTreeNode() override;

private:
    friend class TTreeNodes;
    friend class TTreeView;
    TTreeNodes* m_owner = nullptr;
    TTreeNode* m_parent = nullptr;
    HTREEITEM m_item = nullptr;
    std::vector<TTreeNode*> m_children;
    std::string m_text;
    void* m_data = nullptr;
    int m_imageIndex = -1;
    int m_selectedIndex = -1;
};

/// The nodes of a tree view.
class PLATFORM_API TTreeNodes : public TPersistent {
    DECLARE_TCLASS(TTreeNodes)

    /// All nodes.
    int Count() const { return m_count; }
    /// Node index in index order (depth first); null out of range.
    TTreeNode* Item(int index) const;
    TTreeNode* GetFirstNode() const { return m_top.empty() ? nullptr : m_top.front(); }
    int TopCount() const { return static_cast<int>(m_top.size()); }
    TTreeNode* TopItem(int index) const;
    /// A new last node at sibling's level (top level for null).
    TTreeNode* Add(TTreeNode* sibling, const std::string& text);
    TTreeNode* AddObject(TTreeNode* sibling, const std::string& text, void* data);
    /// A new last child of parent (top level for null).
    TTreeNode* AddChild(TTreeNode* parent, const std::string& text);
    TTreeNode* AddChildObject(TTreeNode* parent, const std::string& text, void* data);
    /// A new node before sibling (last top-level node for null).
    TTreeNode* Insert(TTreeNode* sibling, const std::string& text);
    void Delete(TTreeNode* node);
    void Clear();
    /// Stops repainting until the matching EndUpdate (nested).
    void BeginUpdate();
    void EndUpdate();
    TTreeView* Owner() const { return m_tree; }

protected:
    TTreeNodes() = default;
    ~TTreeNodes() override;

private:
    friend class TTreeNode;
    friend class TTreeView;
    TTreeNode* InsertNode(TTreeNode* parent, std::size_t at, const std::string& text, void* data);
    void Unlink(TTreeNode* node);
    /// Gives every node its item in the tree view's window (after the window was made).
    void CreateItems(TTreeNode* parent);
    std::vector<TTreeNode*>& SiblingsOf(TTreeNode* parent) { return parent ? parent->m_children : m_top; }

    TTreeView* m_tree = nullptr;
    std::vector<TTreeNode*> m_top;
    int m_count = 0;
    int m_updating = 0;
    bool m_clearing = false;
};

using TTVChangedEvent = TMethod<void(TObject* Sender, TTreeNode* Node)>;
using TTVChangingEvent = TMethod<void(TObject* Sender, TTreeNode* Node, bool& AllowChange)>;
using TTVExpandingEvent = TMethod<void(TObject* Sender, TTreeNode* Node, bool& AllowExpansion)>;
using TTVCollapsingEvent = TTVExpandingEvent;
using TTVExpandedEvent = TMethod<void(TObject* Sender, TTreeNode* Node)>;
using TTVEditingEvent = TMethod<void(TObject* Sender, TTreeNode* Node, bool& AllowEdit)>;
using TTVEditedEvent = TMethod<void(TObject* Sender, TTreeNode* Node, std::string& S)>;

/// What lies at a point of a tree view.
enum THitTest : unsigned {
    htAbove = 1,
    htBelow = 2,
    htNowhere = 4,
    htOnItem = 8,
    htOnButton = 16,
    htOnIcon = 32,
    htOnIndent = 64,
    htOnLabel = 128,
    htOnRight = 256,
    htOnStateIcon = 512,
    htToLeft = 1024,
    htToRight = 2048,
};
using THitTests = unsigned;

class PLATFORM_API TTreeView : public TWinControl {
    DECLARE_TCLASS(TTreeView)

    void Create(void* owner) override;
    void BeforeDestruction() override;

    TTreeNodes* Items() const { return m_items; }
    TTreeNode* Selected() const;
    /// The selected node only while it shows highlighted: the tree keeps a current node
    /// even when the user has highlighted none (after a rebuild, or on focus).
    TTreeNode* Highlighted() const;
    /// Selects node (null: none); OnChange follows.
    void SetSelected(TTreeNode* node);
    TTreeNode* GetNodeAt(int x, int y) const;
    THitTests GetHitTestInfoAt(int x, int y) const;
    bool ReadOnly() const { return m_readOnly; }
    void SetReadOnly(bool readOnly);
    bool ShowButtons() const { return m_showButtons; }
    void SetShowButtons(bool show);
    bool ShowLines() const { return m_showLines; }
    void SetShowLines(bool show);
    bool ShowRoot() const { return m_showRoot; }
    void SetShowRoot(bool show);
    /// A right press selects the node under it first.
    bool RightClickSelect() const { return m_rightClickSelect; }
    void SetRightClickSelect(bool select) { m_rightClickSelect = select; }
    bool HideSelection() const { return m_hideSelection; }
    void SetHideSelection(bool hide);
    TImageList* Images() const { return m_images; }
    void SetImages(TImageList* images);
    bool IsEditing() const { return m_editing; }
    void FullExpand();

    TTVChangedEvent OnChange;
    TTVChangingEvent OnChanging;
    TTVExpandingEvent OnExpanding;
    TTVCollapsingEvent OnCollapsing;
    TTVExpandedEvent OnExpanded;
    TTVExpandedEvent OnCollapsed;
    TTVEditingEvent OnEditing;
    TTVEditedEvent OnEdited;
    TTVExpandedEvent OnDeletion;

    void WndProc(TMessage& message) override;
    bool SetProperty(std::string_view name, std::string_view value, TComponent* form) override;
    bool SetEvent(std::string_view name, const THandler& handler) override;

protected:
    TTreeView() = default;
    std::unique_ptr<CWnd> MakeWindow() override;
    BOOL CreateWindowOf(CWnd& window, CWnd* parentWindow, DWORD style, const CRect& bounds, UINT id) override;
    DWORD WindowStyle() const override;
    void WindowCreated() override;
    void Notification(TComponent* component, TOperation operation) override;
    /// Whether node may expand / collapse (OnExpanding / OnCollapsing).
    virtual bool CanExpand(TTreeNode* node);
    virtual bool CanCollapse(TTreeNode* node);

private:
    friend class TTreeNode;
    friend class TTreeNodes;
    void Notify(TMessage& message);
    void ApplyStyle();
    CWnd* Tree() const { return m_window; }

    TTreeNodes* m_items = nullptr;
    TImageList* m_images = nullptr;
    bool m_readOnly = false;
    bool m_showButtons = true;
    bool m_showLines = true;
    bool m_showRoot = true;
    bool m_rightClickSelect = false;
    bool m_hideSelection = true;
    bool m_editing = false;
    bool m_programExpand = false;  ///< the program expands: the window's notifications are not the user's
};

// --- list views --------------------------------------------------------------------------------------------
class TListView;

/// One item of a list view.
class PLATFORM_API TListItem : public TPersistent {
    DECLARE_TCLASS(TListItem)

    const std::string& Caption() const { return m_caption; }
    void SetCaption(const std::string& caption);
    void* Data() const { return m_data; }
    void SetData(void* data) { m_data = data; }
    int ImageIndex() const { return m_imageIndex; }
    void SetImageIndex(int index);
    int Index() const;
    bool Selected() const;
    void SetSelected(bool selected);
    bool Focused() const;
    void SetFocused(bool focused);
    bool EditCaption();
    TListView* ListView() const { return m_view; }

protected:
    TListItem() = default;

private:
    friend class TListView;
    TListView* m_view = nullptr;
    std::string m_caption;
    void* m_data = nullptr;
    int m_imageIndex = -1;
};

enum TViewStyle { vsIcon, vsSmallIcon, vsList, vsReport };
enum TItemChange { ctText, ctImage, ctState };
using TLVChangeEvent = TMethod<void(TObject* Sender, TListItem* Item, TItemChange Change)>;
using TLVSelectItemEvent = TMethod<void(TObject* Sender, TListItem* Item, bool Selected)>;
using TLVEditingEvent = TMethod<void(TObject* Sender, TListItem* Item, bool& AllowEdit)>;
using TLVEditedEvent = TMethod<void(TObject* Sender, TListItem* Item, std::string& S)>;

class PLATFORM_API TListView : public TWinControl {
    DECLARE_TCLASS(TListView)

    void Create(void* owner) override;
    void BeforeDestruction() override;

    int Count() const { return static_cast<int>(m_items.size()); }
    TListItem* Item(int index) const;
    TListItem* AddItem(const std::string& caption, void* data = nullptr, int imageIndex = -1);
    void DeleteItem(int index);
    void Clear();
    TListItem* Selected() const;
    void SetSelected(TListItem* item);
    TListItem* ItemFocused() const;
    TListItem* GetItemAt(int x, int y) const;
    /// The item the last click or double-click was on (null: beside the items).
    TListItem* ClickedItem() const { return Item(m_clicked); }
    TViewStyle ViewStyle() const { return m_viewStyle; }
    void SetViewStyle(TViewStyle style);
    bool ReadOnly() const { return m_readOnly; }
    void SetReadOnly(bool readOnly);
    TImageList* LargeImages() const { return m_largeImages; }
    void SetLargeImages(TImageList* images);
    TImageList* SmallImages() const { return m_smallImages; }
    void SetSmallImages(TImageList* images);

    TLVChangeEvent OnChange;
    TLVSelectItemEvent OnSelectItem;
    TLVEditingEvent OnEditing;
    TLVEditedEvent OnEdited;

    void WndProc(TMessage& message) override;
    bool SetProperty(std::string_view name, std::string_view value, TComponent* form) override;
    bool SetEvent(std::string_view name, const THandler& handler) override;

protected:
    TListView() = default;
    std::unique_ptr<CWnd> MakeWindow() override;
    BOOL CreateWindowOf(CWnd& window, CWnd* parentWindow, DWORD style, const CRect& bounds, UINT id) override;
    DWORD WindowStyle() const override;
    void WindowCreated() override;
    void Notification(TComponent* component, TOperation operation) override;

private:
    friend class TListItem;
    void ApplyImages();

    std::vector<TListItem*> m_items;
    int m_clicked = -1;
    TViewStyle m_viewStyle = vsIcon;
    bool m_readOnly = false;
    TImageList* m_largeImages = nullptr;
    TImageList* m_smallImages = nullptr;
};

// --- page controls ----------------------------------------------------------------------------------------
class TPageControl;

/// One page of a page control; its caption is the tab's text.
class PLATFORM_API TTabSheet : public TCustomControl {
    DECLARE_TCLASS(TTabSheet)

    TPageControl* PageControl() const;
    int PageIndex() const;
    /// Joins the page control it is put on as its last page (or the page its layout names).
    void SetParent(TWinControl* parent) override;
    void ReadLayout(const TControlResource& record) override;

protected:
    TTabSheet() = default;
    void TextChanged() override;

private:
    friend class TPageControl;
    int m_wantedIndex = -1;
};

enum TTabStyle { tsTabs, tsButtons, tsFlatButtons };
using TTabChangingEvent = TMethod<void(TObject* Sender, bool& AllowChange)>;

/// Pages of controls with a tab (or a flat button) each; only the active page shows.
class PLATFORM_API TPageControl : public TWinControl {
    DECLARE_TCLASS(TPageControl)

    int PageCount() const { return static_cast<int>(m_pages.size()); }
    TTabSheet* Page(int index) const;
    TTabSheet* ActivePage() const { return Page(m_active); }
    void SetActivePage(TTabSheet* page);
    int ActivePageIndex() const { return m_active; }
    void SetActivePageIndex(int index);
    TTabStyle Style() const { return m_style; }
    void SetStyle(TTabStyle style);
    TNotifyEvent OnChange;
    TTabChangingEvent OnChanging;
    CRect ClientRect() const override;
    void WndProc(TMessage& message) override;
    void ReadLayout(const TControlResource& record) override;
    bool SetProperty(std::string_view name, std::string_view value, TComponent* form) override;
    bool SetEvent(std::string_view name, const THandler& handler) override;

protected:
    TPageControl() = default;
    std::unique_ptr<CWnd> MakeWindow() override;
    BOOL CreateWindowOf(CWnd& window, CWnd* parentWindow, DWORD style, const CRect& bounds, UINT id) override;
    DWORD WindowStyle() const override;
    void WindowCreated() override;
    void AlignControls() override;

private:
    friend class TTabSheet;
    void AddPage(TTabSheet* page);
    void RemovePage(TTabSheet* page);
    void ShowActive();
    void UpdateTabs();

    std::vector<TTabSheet*> m_pages;
    int m_active = -1;
    int m_wantedActive = -1;
    TTabStyle m_style = tsTabs;
};

// --- track bars --------------------------------------------------------------------------------------------
enum TTrackBarOrientation { trHorizontal, trVertical };

/// A slider over a range of integers with tick marks.
class PLATFORM_API TTrackBar : public TWinControl {
    DECLARE_TCLASS(TTrackBar)

    void Create(void* owner) override;
    int Min() const { return m_min; }
    int Max() const { return m_max; }
    void SetRange(int min, int max);
    /// OnChange follows a change, whoever makes it.
    int Position() const;
    void SetPosition(int position);
    int PageSize() const { return m_pageSize; }
    void SetPageSize(int size);
    int LineSize() const { return m_lineSize; }
    void SetLineSize(int size);
    /// A tick every Frequency positions.
    int Frequency() const { return m_frequency; }
    void SetFrequency(int frequency);
    TTrackBarOrientation Orientation() const { return m_orientation; }
    TNotifyEvent OnChange;
    void WndProc(TMessage& message) override;
    bool SetProperty(std::string_view name, std::string_view value, TComponent* form) override;
    bool SetEvent(std::string_view name, const THandler& handler) override;

protected:
    TTrackBar() = default;
    std::unique_ptr<CWnd> MakeWindow() override;
    BOOL CreateWindowOf(CWnd& window, CWnd* parentWindow, DWORD style, const CRect& bounds, UINT id) override;
    DWORD WindowStyle() const override;
    void WindowCreated() override;

private:
    void Changed();
    int m_min = 0;
    int m_max = 10;
    int m_position = 0;
    int m_pageSize = 2;
    int m_lineSize = 1;
    int m_frequency = 1;
    TTrackBarOrientation m_orientation = trHorizontal;
};

// --- tool bars
// ----------------------------------------------------------------------------------------------
class TToolBar;
enum TToolButtonStyle { tbsButton, tbsCheck, tbsDropDown, tbsSeparator, tbsDivider };

/// A button of a tool bar: its picture is an image of the bar's image list; a drop-down
/// button opens its menu under itself.
class PLATFORM_API TToolButton : public TGraphicControl {
    DECLARE_TCLASS(TToolButton)

    int ImageIndex() const { return m_imageIndex; }
    void SetImageIndex(int index);
    TToolButtonStyle Style() const { return m_style; }
    void SetStyle(TToolButtonStyle style);
    bool Down() const { return m_down; }
    void SetDown(bool down);
    TPopupMenu* DropdownMenu() const { return m_dropdownMenu; }
    void SetDropdownMenu(TPopupMenu* menu);
    /// Opens the drop-down menu under the button (what the arrow does).
    void CheckMenuDropdown();
    bool SetProperty(std::string_view name, std::string_view value, TComponent* form) override;
    void Loaded() override;

protected:
    TToolButton() = default;
    void BeforeDestruction() override;
    void EnabledChanged() override;
    void VisibleChanged() override;
    void TextChanged() override {}
    void Notification(TComponent* component, TOperation operation) override;

private:
    friend class TToolBar;
    TToolBar* Bar() const;
    UINT m_id = 0;
    int m_imageIndex = -1;
    TToolButtonStyle m_style = tbsButton;
    bool m_down = false;
    TPopupMenu* m_dropdownMenu = nullptr;
};

/// A bar of tool buttons (the platform's tool bar); flat by default.
class PLATFORM_API TToolBar : public TWinControl {
    DECLARE_TCLASS(TToolBar)

    void Create(void* owner) override;
    TImageList* Images() const { return m_images; }
    void SetImages(TImageList* images);
    bool Flat() const { return m_flat; }
    void SetFlat(bool flat);
    int ButtonWidth() const { return m_buttonWidth; }
    int ButtonHeight() const { return m_buttonHeight; }
    void SetButtonSize(int width, int height);
    int ButtonCount() const;
    TToolButton* Button(int index) const;
    /// The button's rectangle in the bar.
    CRect ButtonRect(const TToolButton* button) const;
    void WndProc(TMessage& message) override;
    bool SetProperty(std::string_view name, std::string_view value, TComponent* form) override;

protected:
    TToolBar() = default;
    std::unique_ptr<CWnd> MakeWindow() override;
    BOOL CreateWindowOf(CWnd& window, CWnd* parentWindow, DWORD style, const CRect& bounds, UINT id) override;
    void WindowCreated() override;
    void Notification(TComponent* component, TOperation operation) override;

private:
    friend class TToolButton;
    /// Gives the platform's bar the buttons as they are now.
    void RebuildButtons();

    TImageList* m_images = nullptr;
    bool m_flat = true;
    int m_buttonWidth = 23;
    int m_buttonHeight = 22;
};
