#pragma once

// TMenuItem and TPopupMenu: menus built from components. An item has a caption (shown as
// given; "-" makes a separator), a tag, a click handler and items of its own; it frees its
// items when it is freed. A popup menu holds a root item whose items it shows with Popup.

#include <map>
#include <string>
#include <vector>

#include "platform/forms/component.h"
#include "platform/forms/method.h"

class PLATFORM_API TMenuItem : public TComponent {
    DECLARE_TCLASS(TMenuItem)

    /// Leaves the parent item and frees the own items.
    void BeforeDestruction() override;

    const std::string& Caption() const { return m_caption; }
    void SetCaption(const std::string& caption) { m_caption = caption; }
    /// A separator is an item captioned "-".
    bool IsLine() const { return m_caption == "-"; }
    TNotifyEvent OnClick() const { return m_onClick; }
    void SetOnClick(TNotifyEvent handler) { m_onClick = handler; }
    /// Calls OnClick with this item as sender, when it is set.
    virtual void Click();
    /// "Caption" and "Tag" from layouts.
    bool SetProperty(std::string_view name, std::string_view value, TComponent* form) override;
    /// "OnClick" from layouts.
    bool SetEvent(std::string_view name, const THandler& handler) override;

    TMenuItem* Parent() const { return m_parent; }
    int Count() const { return static_cast<int>(m_items.size()); }
    /// Item index, or null outside the list.
    TMenuItem* Item(int index) const;
    int IndexOf(const TMenuItem* item) const;
    /// Puts item before position index (clamped to 0..Count), taking it from its previous
    /// parent; null, this item and its ancestors are ignored.
    void Insert(int index, TMenuItem* item);
    void Add(TMenuItem* item) { Insert(Count(), item); }
    /// Takes item out of the items without freeing it.
    void Remove(TMenuItem* item);
    /// Takes the item at index out without freeing it.
    void Delete(int index);
    /// Frees all items.
    void Clear();

protected:
    TMenuItem() = default;

private:
    std::string m_caption;
    TNotifyEvent m_onClick;
    TMenuItem* m_parent = nullptr;
    std::vector<TMenuItem*> m_items;
};

class PLATFORM_API TPopupMenu : public TComponent {
    DECLARE_TCLASS(TPopupMenu)

    void Create(void* owner) override;
    void BeforeDestruction() override;

    /// The root item; its items are the menu's entries.
    TMenuItem* Items() const { return m_items; }
    /// Shows the menu at screen point (x, y) through the platform's popup menu and, when
    /// the user chooses an entry, calls its Click. Items are numbered depth first from 1
    /// as the popup's command ids. Runs on the user-interface thread.
    void Popup(int x, int y);
    /// The platform's menu of the items as they are now (command ids as Popup numbers them);
    /// the caller destroys it.
    HMENU CreateMenuHandle() const;
    /// Clicks the item of that command id of the menu CreateMenuHandle made, when the items
    /// are still the same; false when no item has it.
    bool DispatchCommand(UINT id, HMENU made);

    /// The menu made by CreateMenuHandle was destroyed.
    void ForgetMenuHandle(HMENU made);

protected:
    TPopupMenu() = default;

private:
    TMenuItem* m_items = nullptr;
    mutable std::map<HMENU, std::vector<TMenuItem*>> m_made;  ///< the items of each menu made
};
