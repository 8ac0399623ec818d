#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/forms/menus.h"
#include "tests/support/modal_responder.h"

using tarvenix::test::Responder;

namespace {

struct Clicks {
    std::vector<std::string> seen;
    void OnClick(TObject* sender)
    {
        auto* item = ObjectAs<TMenuItem>(sender);
        seen.push_back(item ? item->Caption() + " " + std::to_string(item->Tag()) : "?");
    }
};

TMenuItem* Item(TComponent* owner, const std::string& caption, std::intptr_t tag, Clicks* clicks)
{
    TMenuItem* item = TMenuItem::New(owner);
    item->SetCaption(caption);
    item->SetTag(tag);
    if (clicks) item->SetOnClick(TNotifyEvent::Of<&Clicks::OnClick>(clicks));
    return item;
}

TEST(PopupMenu, ShowsItsItemsAsGivenAndClicksTheChosenOne)
{
    Clicks clicks;
    TOwned<TPopupMenu> menu(TPopupMenu::New(nullptr));
    TMenuItem* root = menu->Items();
    root->Add(Item(menu.get(), "Open", -1, &clicks));
    root->Add(Item(menu.get(), "Cut", -2, &clicks));
    root->Add(Item(menu.get(), "Paste && go", -4, &clicks));
    root->Insert(1, Item(menu.get(), "-", 0, nullptr));
    root->Insert(3, Item(menu.get(), "Copy", -3, &clicks));
    TMenuItem* more = Item(menu.get(), "More", 0, nullptr);
    root->Add(more);
    more->Add(Item(menu.get(), "Setup...", 7, &clicks));

    Responder().AnswerPopupMenu(3);  // the third entry that can be chosen
    menu->Popup(40, 50);
    EXPECT_EQ(clicks.seen, (std::vector<std::string>{"Copy -3"}));

    const auto& question = Responder().Asked().back().popup;
    EXPECT_EQ(question.x, 40);
    EXPECT_EQ(question.y, 50);
    std::vector<std::string> shown;
    for (const auto& item : question.items)
        shown.push_back(item.separator ? "-" : std::string(item.text) + (item.depth ? " (sub)" : ""));
    EXPECT_EQ(shown, (std::vector<std::string>{"Open", "-", "Cut", "Copy", "Paste && go", "More",
                                               "Setup... (sub)"}));

    Responder().AnswerPopupMenu(5);
    menu->Popup(0, 0);
    Responder().DismissPopupMenu();
    menu->Popup(0, 0);
    EXPECT_EQ(clicks.seen, (std::vector<std::string>{"Copy -3", "Setup... 7"}));
}

TEST(PopupMenu, ItemsGoWithTheirParentAndTheirOwner)
{
    TOwned<TPopupMenu> menu(TPopupMenu::New(nullptr));
    TMenuItem* root = menu->Items();
    for (const char* caption : {"a", "b", "c"}) root->Add(Item(menu.get(), caption, 0, nullptr));
    EXPECT_EQ(menu->ComponentCount(), 3);
    root->Item(1)->Free();
    EXPECT_EQ(root->Count(), 2);
    EXPECT_EQ(root->Item(1)->Caption(), "c");
    EXPECT_EQ(menu->ComponentCount(), 2);
    root->Clear();
    EXPECT_EQ(root->Count(), 0);
    EXPECT_EQ(menu->ComponentCount(), 0);
    root->Add(Item(menu.get(), "kept until the menu goes", 0, nullptr));
}

}  // namespace
