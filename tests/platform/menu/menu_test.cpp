#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include "platform/app/win_app.h"
#include "platform/menu/menu.h"
#include "platform/resources/module_resources.h"
#include "tests/support/modal_responder.h"
#include "tests/support/ui_helpers.h"

using namespace tarvenix::test;

namespace {

constexpr UINT IDR_EDIT_MENU = 9200;
constexpr UINT IDR_CONTEXT_MENU = 9201;

const platform::MenuItemData kEditMenu[] = {
    {0, "&File", MF_POPUP},
    {101, "&Open...", 0},
    {102, "&Save...", 0},
    {103, "Save &As...", MF_GRAYED},
    {0, nullptr, MF_SEPARATOR},
    {104, "E&xit", platform::kMenuEnd},
    {0, "&View", MF_POPUP},
    {0, "&Zoom", MF_POPUP},
    {111, "&In", 0},
    {112, "&Out", platform::kMenuEnd},
    {113, "&Grid\tCtrl+G", MF_CHECKED},
    {114, "&Coloring", platform::kMenuEnd},
    {0, "&Help", MF_POPUP | platform::kMenuEnd},
    {121, "&About...", platform::kMenuEnd},
};
const platform::MenuItemData kContextMenu[] = {
    {0, "Profile", MF_POPUP | platform::kMenuEnd},
    {0, "Color scheme", MF_POPUP},
    {201, "White", 0},
    {202, "Black", platform::kMenuEnd},
    {0, nullptr, MF_SEPARATOR},
    {203, "Copy", 0},
    {204, "Save to file...", platform::kMenuEnd},
};
const platform::MenuResource kMenus[] = {{IDR_EDIT_MENU, kEditMenu}, {IDR_CONTEXT_MENU, kContextMenu}};

const platform::ModuleResources kResources{.module = "menu-tests", .menus = kMenus};
const platform::ModuleResourceRegistration kRegistration(kResources);

/// An owner that greys "Copy" in its update pass and records the commands it gets.
class Owner : public CWnd {
public:
    std::vector<UINT> commands;
    int initPopups = 0;
    void OnCommandRange(UINT id) { commands.push_back(id); }
    void OnUpdateCopy(CCmdUI* ui) { ui->Enable(FALSE); }
    void OnInitMenuPopup(CMenu* popup, UINT, BOOL)
    {
        ++initPopups;
        for (UINT i = 0; i < popup->GetMenuItemCount(); ++i)
            if (popup->GetMenuItemID(static_cast<int>(i)) == 203)
                popup->EnableMenuItem(203, MF_BYCOMMAND | MF_GRAYED);
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(Owner, CWnd)
    ON_COMMAND_RANGE(200, 299, OnCommandRange)
    PLATFORM_MESSAGE_ENTRY(
        WM_INITMENUPOPUP,
        self->OnInitMenuPopup(CMenu::FromHandle(reinterpret_cast<HMENU>(args.wParam)), 0, FALSE))
END_MESSAGE_MAP()

CString Text(CMenu& menu, UINT item, UINT flags)
{
    CString text;
    menu.GetMenuString(item, text, flags);
    return text;
}

}  // namespace

TEST(Menu, LoadsNestedResourceWithStatesTextsAndAccelerators)
{
    CMenu menu;
    ASSERT_TRUE(menu.LoadMenu(IDR_EDIT_MENU));
    EXPECT_EQ(menu.GetMenuItemCount(), 3u);
    EXPECT_EQ(menu.GetMenuItemID(0), static_cast<UINT>(-1));  // a popup
    CMenu* file = menu.GetSubMenu(0);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->GetMenuItemCount(), 5u);
    EXPECT_EQ(file->GetMenuItemID(3), 0u);  // the separator
    EXPECT_EQ(file->GetMenuState(3, MF_BYPOSITION) & MF_SEPARATOR, MF_SEPARATOR);
    EXPECT_EQ(menu.GetMenuState(103, MF_BYCOMMAND) & MF_GRAYED, MF_GRAYED);  // found inside the popup
    EXPECT_EQ(menu.GetMenuState(113, MF_BYCOMMAND) & MF_CHECKED, MF_CHECKED);
    EXPECT_EQ(Text(menu, 113, MF_BYCOMMAND), "&Grid\tCtrl+G");
    EXPECT_EQ(Text(menu, 1, MF_BYPOSITION), "&View");
    EXPECT_EQ(menu.GetMenuState(1, MF_BYPOSITION) >> 8, 3u);  // a popup's state holds its item count
    EXPECT_EQ(menu.GetSubMenu(1)->GetSubMenu(0)->GetMenuItemID(1), 112u);
    EXPECT_EQ(menu.GetMenuState(999, MF_BYCOMMAND), static_cast<UINT>(-1));
    char small[5];
    EXPECT_EQ(menu.GetMenuString(101, small, sizeof small, MF_BYCOMMAND), 4);
    EXPECT_STREQ(small, "&Ope");

    CMenu missing;
    EXPECT_FALSE(missing.LoadMenu(9299));
    EXPECT_EQ(missing.m_hMenu, nullptr);
}

TEST(Menu, EditsByCommandAndByPosition)
{
    CMenu menu;
    ASSERT_TRUE(menu.LoadMenu(IDR_EDIT_MENU));
    CMenu* file = menu.GetSubMenu(0);

    // Delete by command (searched through the popups) and by position.
    EXPECT_TRUE(menu.DeleteMenu(102, MF_BYCOMMAND));
    EXPECT_EQ(file->GetMenuItemCount(), 4u);
    EXPECT_FALSE(menu.DeleteMenu(102, MF_BYCOMMAND));
    EXPECT_TRUE(file->DeleteMenu(2, MF_BYPOSITION));  // the separator
    EXPECT_EQ(file->GetMenuItemID(2), 104u);
    EXPECT_FALSE(file->DeleteMenu(7, MF_BYPOSITION));

    // Insert before an item, by position, past the end (appends), a separator.
    EXPECT_TRUE(menu.InsertMenu(104, MF_BYCOMMAND | MF_STRING, 105, "&Close"));
    EXPECT_EQ(file->GetMenuItemID(2), 105u);
    EXPECT_TRUE(file->InsertMenu(0, MF_BYPOSITION | MF_STRING, 100, "&New..."));
    EXPECT_TRUE(file->InsertMenu(static_cast<UINT>(-1), MF_BYPOSITION | MF_SEPARATOR));
    EXPECT_TRUE(file->AppendMenu(MF_STRING, 34205, "&1 /data/a.rdp"));
    EXPECT_EQ(file->GetMenuItemCount(), 7u);
    const UINT expected[] = {100, 101, 103, 105, 104, 0, 34205};
    for (UINT i = 0; i < 7; ++i) EXPECT_EQ(file->GetMenuItemID(static_cast<int>(i)), expected[i]) << i;

    // Enable, check, radio, modify.
    EXPECT_EQ(menu.EnableMenuItem(103, MF_BYCOMMAND | MF_ENABLED), MF_GRAYED);
    EXPECT_EQ(menu.GetMenuState(103, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED), 0u);
    EXPECT_EQ(menu.EnableMenuItem(101, MF_BYCOMMAND | MF_DISABLED), MF_ENABLED);
    EXPECT_EQ(menu.EnableMenuItem(999, MF_BYCOMMAND | MF_GRAYED), static_cast<UINT>(-1));
    EXPECT_EQ(menu.CheckMenuItem(113, MF_BYCOMMAND | MF_UNCHECKED), MF_CHECKED);
    EXPECT_EQ(menu.GetMenuState(113, MF_BYCOMMAND) & MF_CHECKED, 0u);
    CMenu* zoom = menu.GetSubMenu(1)->GetSubMenu(0);
    EXPECT_TRUE(zoom->CheckMenuRadioItem(111, 112, 112, MF_BYCOMMAND));
    EXPECT_EQ(zoom->GetMenuState(111, MF_BYCOMMAND) & MF_CHECKED, 0u);
    EXPECT_EQ(zoom->GetMenuState(112, MF_BYCOMMAND) & MF_CHECKED, MF_CHECKED);
    EXPECT_TRUE(menu.ModifyMenu(105, MF_BYCOMMAND | MF_STRING | MF_GRAYED, 106, "Close &all"));
    EXPECT_EQ(Text(menu, 106, MF_BYCOMMAND), "Close &all");
    EXPECT_EQ(menu.GetMenuState(106, MF_BYCOMMAND) & MF_GRAYED, MF_GRAYED);

    // Deleting a popup destroys its menu; removing one keeps it.
    HMENU zoomHandle = zoom->m_hMenu;
    HMENU helpHandle = menu.GetSubMenu(2)->m_hMenu;
    EXPECT_TRUE(menu.GetSubMenu(1)->DeleteMenu(0, MF_BYPOSITION));
    EXPECT_FALSE(IsMenu(zoomHandle));
    EXPECT_TRUE(menu.RemoveMenu(2, MF_BYPOSITION));
    EXPECT_TRUE(IsMenu(helpHandle));
    EXPECT_EQ(menu.GetMenuItemCount(), 2u);
    EXPECT_TRUE(DestroyMenu(helpHandle));

    // A menu's popups go with it.
    HMENU fileHandle = file->m_hMenu;
    EXPECT_TRUE(menu.DestroyMenu());
    EXPECT_FALSE(IsMenu(fileHandle));
    EXPECT_FALSE(menu.AppendMenu(MF_STRING, 1, "x"));
}

TEST(Menu, AttachDetachAndFromHandle)
{
    HMENU handle = CreatePopupMenu();
    CMenu* temporary = CMenu::FromHandle(handle);
    ASSERT_NE(temporary, nullptr);
    EXPECT_EQ(temporary->m_hMenu, handle);
    EXPECT_EQ(CMenu::FromHandle(handle), temporary);
    {
        CMenu owner;
        EXPECT_TRUE(owner.Attach(handle));
        EXPECT_EQ(CMenu::FromHandle(handle), &owner);
        HMENU other = CreateMenu();
        EXPECT_FALSE(owner.Attach(other));  // holds one already
        DestroyMenu(other);
        EXPECT_EQ(owner.Detach(), handle);
    }
    EXPECT_TRUE(IsMenu(handle));  // detached: the owner's end left it alone
    {
        CMenu owner;
        owner.Attach(handle);
    }
    EXPECT_FALSE(IsMenu(handle));
    EXPECT_EQ(CMenu::FromHandle(nullptr), nullptr);
}

TEST(Menu, PopupMenusAreAnsweredThroughTheModalGateway)
{
    CWinApp app("Tarvenix");
    Owner owner;
    ASSERT_TRUE(
        owner.CreateEx(0, nullptr, "Profile", WS_OVERLAPPEDWINDOW, CRect(0, 0, 200, 100), nullptr, 0));
    CMenu menu;
    ASSERT_TRUE(menu.LoadMenu(IDR_CONTEXT_MENU));
    CMenu* popup = menu.GetSubMenu(0);

    // TPM_RETURNCMD: the choice comes back, nothing is sent.
    Responder().AnswerPopupMenu(202);
    EXPECT_EQ(popup->TrackPopupMenu(TPM_LEFTALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD, 30, 40, &owner), 202);
    ASSERT_EQ(Responder().Asked().size(), 1u);
    const platform::PopupMenuQuestion& asked = Responder().Asked()[0].popup;
    EXPECT_EQ(asked.x, 30);
    EXPECT_EQ(asked.y, 40);
    ASSERT_EQ(asked.items.size(), 6u);
    EXPECT_EQ(asked.items[0].text, "Color scheme");
    EXPECT_EQ(asked.items[1].depth, 1);
    EXPECT_TRUE(asked.items[3].separator);
    EXPECT_FALSE(asked.items[4].enabled);  // "Copy", greyed by the owner as the menu opened
    EXPECT_EQ(owner.initPopups, 1);
    PumpEvents();
    EXPECT_TRUE(owner.commands.empty());

    // Otherwise the owner gets the command.
    Responder().AnswerPopupMenu(204);
    EXPECT_TRUE(popup->TrackPopupMenu(TPM_LEFTALIGN | TPM_RIGHTBUTTON, 30, 40, &owner));
    EXPECT_TRUE(PumpUntil([&] { return owner.commands.size() == 1; }));
    EXPECT_EQ(owner.commands[0], 204u);

    // Dismissed: nothing; a greyed item cannot be chosen.
    Responder().DismissPopupMenu();
    EXPECT_FALSE(popup->TrackPopupMenu(TPM_LEFTALIGN, 0, 0, &owner));
    Responder().AnswerPopupMenu(203);
    BOOL chosen = TRUE;
    EXPECT_NONFATAL_FAILURE(chosen = popup->TrackPopupMenu(TPM_RETURNCMD, 0, 0, &owner), "is greyed");
    EXPECT_EQ(chosen, 0);
    PumpEvents();
    EXPECT_EQ(owner.commands.size(), 1u);
    Responder().Reset();
}
