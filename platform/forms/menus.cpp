#include "platform/forms/menus.h"

#include <algorithm>

#include "platform/forms/controls.h"
#include "platform/forms/format.h"
#include "platform/menu/menu.h"
#include "platform/window/ui_thread.h"
#include "platform/window/wnd.h"

IMPLEMENT_TCLASS(TMenuItem, TComponent)
IMPLEMENT_TCLASS(TPopupMenu, TComponent)

void TMenuItem::BeforeDestruction()
{
    if (m_parent) m_parent->Remove(this);
    Clear();
    TComponent::BeforeDestruction();
}

void TMenuItem::Click()
{
    if (m_onClick) m_onClick(this);
}

bool TMenuItem::SetProperty(std::string_view name, std::string_view value, TComponent*)
{
    if (SameText(name, "Caption"))
        SetCaption(std::string(value));
    else if (SameText(name, "Tag"))
        SetTag(PropertyInt(value));
    else
        return false;
    return true;
}

bool TMenuItem::SetEvent(std::string_view name, const THandler& handler)
{
    if (!SameText(name, "OnClick")) return false;
    SetOnClick(handler.As<TNotifyEvent>(name));
    return true;
}

TMenuItem* TMenuItem::Item(int index) const
{
    return index >= 0 && index < Count() ? m_items[static_cast<std::size_t>(index)] : nullptr;
}

int TMenuItem::IndexOf(const TMenuItem* item) const
{
    const auto it = std::find(m_items.begin(), m_items.end(), item);
    return it == m_items.end() ? -1 : static_cast<int>(it - m_items.begin());
}

void TMenuItem::Insert(int index, TMenuItem* item)
{
    if (!item) return;
    for (const TMenuItem* p = this; p; p = p->m_parent)
        if (p == item) return;
    if (item->m_parent) item->m_parent->Remove(item);
    index = std::clamp(index, 0, Count());
    m_items.insert(m_items.begin() + index, item);
    item->m_parent = this;
}

void TMenuItem::Remove(TMenuItem* item)
{
    const int index = IndexOf(item);
    if (index >= 0) Delete(index);
}

void TMenuItem::Delete(int index)
{
    TMenuItem* item = Item(index);
    if (!item) return;
    m_items.erase(m_items.begin() + index);
    item->m_parent = nullptr;
}

void TMenuItem::Clear()
{
    while (!m_items.empty()) m_items.back()->Free();  // each leaves this list as it goes
}

void TPopupMenu::Create(void* owner)
{
    TComponent::Create(owner);
    m_items = TMenuItem::New(nullptr);
}

void TPopupMenu::BeforeDestruction()
{
    FreeAndNil(m_items);
    TComponent::BeforeDestruction();
}

namespace {

// The entries that can be chosen, depth first: their command ids are their places here.
void CollectChoices(const TMenuItem* parent, std::vector<TMenuItem*>& out)
{
    for (int i = 0; i < parent->Count(); ++i) {
        TMenuItem* item = parent->Item(i);
        if (item->IsLine()) continue;
        if (item->Count() > 0)
            CollectChoices(item, out);
        else
            out.push_back(item);
    }
}

void AppendItems(HMENU menu, const TMenuItem* parent, std::vector<TMenuItem*>& byId)
{
    for (int i = 0; i < parent->Count(); ++i) {
        TMenuItem* item = parent->Item(i);
        if (item->IsLine()) {
            AppendMenu(menu, MF_SEPARATOR, 0, nullptr);
        } else if (item->Count() > 0) {
            HMENU sub = CreatePopupMenu();
            AppendItems(sub, item, byId);
            AppendMenu(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(sub), item->Caption().c_str());
        } else {
            byId.push_back(item);
            AppendMenu(menu, MF_STRING, byId.size(), item->Caption().c_str());
        }
    }
}

// The popup needs a window to belong to; the class library's own menus have none, so a
// hidden one stands in for the time the menu is up.
class PopupOwner : public CWnd {
public:
    PopupOwner() { CreateEx(0, nullptr, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr); }
    ~PopupOwner() override
    {
        if (GetSafeHwnd()) DestroyWindow();
    }
};

}  // namespace

HMENU TPopupMenu::CreateMenuHandle() const
{
    std::vector<TMenuItem*> byId;
    HMENU menu = CreatePopupMenu();
    AppendItems(menu, m_items, byId);
    m_made[menu] = byId;
    return menu;
}

bool TPopupMenu::DispatchCommand(UINT id, HMENU made)
{
    const auto it = m_made.find(made);
    if (it == m_made.end()) return false;
    const std::vector<TMenuItem*> byId = it->second;
    if (id < 1 || id > byId.size()) return false;
    // The item is looked up again: a handler run while the menu was up may have freed it.
    TMenuItem* item = byId[id - 1];
    std::vector<TMenuItem*> now;
    CollectChoices(m_items, now);
    if (id > now.size() || now[id - 1] != item) return false;
    item->Click();
    return true;
}

void TPopupMenu::Popup(int x, int y)
{
    if (!platform::IsUiThread()) {
        platform::RunOnUiThread([&] { Popup(x, y); });
        return;
    }
    HMENU menu = CreateMenuHandle();
    UINT chosen = 0;
    {
        PopupOwner owner;
        chosen = static_cast<UINT>(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON, x, y,
                                                  0, owner.GetSafeHwnd(), nullptr));
    }
    if (chosen) DispatchCommand(chosen, menu);
    m_made.erase(menu);
    DestroyMenu(menu);
}

void TPopupMenu::ForgetMenuHandle(HMENU made)
{
    m_made.erase(made);
}
