#include "app/user_actions.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "app/action_list_dlg.h"
#include "app/preferences_resources.h"
#include "outside/basecore/settings.h"
#include "platform/controls/button.h"
#include "platform/controls/list_controls.h"
#include "platform/controls/tree_ctrl.h"
#include "tests/app/registry_test_support.h"
#include "tests/support/modal_responder.h"
#include "tests/support/ui_helpers.h"

using tarvenix::test::Responder;

namespace {

// A scratch key for the record-level fixtures, away from the editor's list.
const char* kScratch = "SOFTWARE\\Orvane\\Tarvenix2.0\\Tests\\UserActions";

CString ListRoot()
{
    return UserActionRootKey();
}

std::string Path(const std::string& below)
{
    return std::string(ListRoot().c_str()) + below;
}

HKEY CreateKey(const std::string& path)
{
    HKEY key = nullptr;
    EXPECT_EQ(::RegCreateKeyEx(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                               nullptr),
              ERROR_SUCCESS);
    return key;
}

/// A string value as a writer without the terminator leaves it.
void PutRawString(HKEY key, const char* name, const std::string& text)
{
    ::RegSetValueEx(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.data()),
                    static_cast<DWORD>(text.size()));
}

void PutNumber(HKEY key, const char* name, DWORD value)
{
    ::RegSetValueEx(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

class UserActionsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        regtest::DeleteKeyTree(HKEY_CURRENT_USER, ListRoot());
        regtest::DeleteKeyTree(HKEY_CURRENT_USER, kScratch);
    }
    void TearDown() override { SetUp(); }
};

// --- the editor, driven as a user does ---------------------------------------------------------------

CTreeCtrl& Tree(CWnd& dlg)
{
    return *static_cast<CTreeCtrl*>(dlg.GetDlgItem(IDC_ACTION_TREE));
}

CString Text(CWnd& dlg, int id)
{
    CString text;
    if (CWnd* item = dlg.GetDlgItem(id)) item->GetWindowText(text);
    return text;
}

void Click(CWnd& dlg, int id)
{
    if (CWnd* item = dlg.GetDlgItem(id)) item->SendMessage(BM_CLICK);
}

/// The tree as text: one line per item, indented by depth, "label [name]".
void Describe(CTreeCtrl& tree, HTREEITEM item, int depth, std::string& out)
{
    for (; item; item = tree.GetNextSiblingItem(item)) {
        const auto* action = reinterpret_cast<const CUserAction*>(tree.GetItemData(item));
        out += std::string(static_cast<size_t>(depth) * 2, ' ') + tree.GetItemText(item).c_str() + " [" +
               (action ? action->m_strName.c_str() : "?") + "]\n";
        Describe(tree, tree.GetChildItem(item), depth + 1, out);
    }
}

std::string Describe(CWnd& dlg)
{
    std::string out;
    Describe(Tree(dlg), Tree(dlg).GetRootItem(), 0, out);
    return out;
}

/// The item with label path "a/b/c" below the root item.
HTREEITEM Find(CWnd& dlg, const std::vector<std::string>& labels)
{
    CTreeCtrl& tree = Tree(dlg);
    HTREEITEM item = tree.GetRootItem();
    for (const std::string& label : labels) {
        HTREEITEM child = tree.GetChildItem(item);
        while (child && tree.GetItemText(child) != label.c_str()) child = tree.GetNextSiblingItem(child);
        if (!child) return nullptr;
        item = child;
    }
    return item;
}

/// Selects the item and adds an action of `kind` (0 to 5; -1 chooses none) through the
/// new-action dialog.
void AddAction(CWnd& dlg, HTREEITEM selected, int kind)
{
    ASSERT_TRUE(selected);
    Tree(dlg).SelectItem(selected);
    Responder().AnswerDialogCommand(IDOK).Doing([kind](CWnd& kinds) {
        for (int id = IDC_NEW_ACTION_KIND_FIRST; id <= IDC_NEW_ACTION_KIND_LAST; ++id)
            EXPECT_EQ(kinds.GetDlgItem(id)->SendMessage(BM_GETCHECK), BST_UNCHECKED)
                << "a kind chosen at first";
        if (kind >= 0) Click(kinds, IDC_NEW_ACTION_KIND_FIRST + kind);
    });
    Click(dlg, IDC_ACTION_NEW);
}

void RunEditor(int command, const std::function<void(CWnd&)>& act)
{
    Responder().AnswerDialogCommand(command).Doing(act);
    CActionListDlg dlg;
    dlg.DoModal();
}

}  // namespace

TEST_F(UserActionsTest, FirstStartShowsOnlyTheRootAndSaveCreatesAnEmptyMainMenu)
{
    RunEditor(IDCANCEL, [](CWnd& dlg) {
        EXPECT_EQ(Describe(dlg), "Главное меню [MainMenu]\n");
        // A kind dialog left without a choice, or cancelled, adds nothing.
        AddAction(dlg, Tree(dlg).GetRootItem(), -1);
        Tree(dlg).SelectItem(Tree(dlg).GetRootItem());
        Responder().AnswerDialogCommand(IDCANCEL).Doing([](CWnd& kinds) {
            Click(kinds, IDC_NEW_ACTION_KIND_LAST);
            tarvenix::test::PumpEvents();
            EXPECT_FALSE(
                tarvenix::test::SaveTestOutput(tarvenix::test::GrabWholeWindow(kinds), "new_action").empty());
        });
        Click(dlg, IDC_ACTION_NEW);
        EXPECT_EQ(Describe(dlg), "Главное меню [MainMenu]\n");
        Click(dlg, IDC_ACTION_SAVE);
    });
    EXPECT_EQ(regtest::Values(Path("\\MainMenu").c_str()),
              (std::vector<regtest::Value>{{"Text", "Главное меню"},
                                           {"Description", ""},
                                           {"Provider", ""},
                                           {"Modifier", "0"},
                                           {"Type", "5"}}));
    EXPECT_TRUE(regtest::KeyExists(Path("\\MainMenu\\ActionList").c_str()));
    EXPECT_TRUE(regtest::SubKeys(Path("\\MainMenu\\ActionList").c_str()).empty());
}

TEST_F(UserActionsTest, NewActionsAreNamedAfterTheirListOwnerAndUniqueWithinTheirList)
{
    RunEditor(IDCANCEL, [](CWnd& dlg) {
        const HTREEITEM root = Tree(dlg).GetRootItem();
        AddAction(dlg, root, kActionList);
        AddAction(dlg, root, kActionList);
        // Added to the first custom list: MainMenu2 again, since names are unique per list.
        AddAction(dlg, Tree(dlg).GetChildItem(root), kActionComCall);
        // With a plain action selected the new one goes into that action's list.
        const HTREEITEM com = Tree(dlg).GetChildItem(Tree(dlg).GetChildItem(root));
        AddAction(dlg, com, kActionDllCall);
        EXPECT_EQ(Describe(dlg),
                  "Главное меню [MainMenu]\n"
                  "  New Custom List [MainMenu1]\n"
                  "    New COM Call [MainMenu2]\n"
                  "    New DLL Call [MainMenu3]\n"
                  "  New Custom List [MainMenu2]\n");
    });
    // Closed without saving: nothing was stored.
    EXPECT_FALSE(regtest::KeyExists(Path("\\MainMenu").c_str()));
}

TEST_F(UserActionsTest, NestedTreeWithShellDocumentSurvivesSaveAndReopening)
{
    const std::string expected =
        "Главное меню [MainMenu]\n"
        "  New Custom List [MainMenu1]\n"
        "    New call from shell [MainMenu2]\n"
        "    New Custom List [MainMenu3]\n"
        "      MainMenu4 [MainMenu4]\n"
        "      New Registered Action [MainMenu5]\n"
        "  New DLL Call [MainMenu2]\n";
    RunEditor(IDCANCEL, [&](CWnd& dlg) {
        AddAction(dlg, Tree(dlg).GetRootItem(), kActionList);
        AddAction(dlg, Tree(dlg).GetRootItem(), kActionDllCall);
        AddAction(dlg, Find(dlg, {"New Custom List"}), kActionShellDoc);
        AddAction(dlg, Find(dlg, {"New Custom List"}), kActionList);
        AddAction(dlg, Find(dlg, {"New Custom List", "New Custom List"}), kActionPlain);
        AddAction(dlg, Find(dlg, {"New Custom List", "New Custom List"}), kActionRegistered);
        EXPECT_EQ(Describe(dlg), expected);
        Click(dlg, IDC_ACTION_SAVE);
    });
    EXPECT_TRUE(regtest::KeyExists(
        Path("\\MainMenu\\ActionList\\MainMenu1\\ActionList\\MainMenu2\\ShellDoc").c_str()));

    RunEditor(IDCANCEL, [&](CWnd& dlg) {
        EXPECT_EQ(Describe(dlg), expected);
        Tree(dlg).SelectItem(Find(dlg, {"New Custom List", "New call from shell"}));
        EXPECT_EQ(Text(dlg, IDC_ACTION_NAME), "MainMenu2");
        EXPECT_EQ(Text(dlg, IDC_ACTION_TEXT), "New call from shell");
        EXPECT_EQ(Text(dlg, IDC_ACTION_TYPE), "Call from shell");
        EXPECT_EQ(Text(dlg, IDC_ACTION_MODIFIER), "None");
        tarvenix::test::PumpEvents();
        EXPECT_FALSE(
            tarvenix::test::SaveTestOutput(tarvenix::test::GrabWholeWindow(dlg), "action_list").empty());
    });
}

TEST_F(UserActionsTest, RecordsReadBackAsStoredWhateverTheWriterLeftOut)
{
    // Written as another writer would: strings without their terminator, the longest value
    // of its key, the longest key name of its list, a number stored as a string.
    const std::string longName(200, 'N');
    const std::string longText(3000, 't');
    {
        HKEY owner = CreateKey(std::string(kScratch) + "\\Owner\\ActionList\\Short");
        PutRawString(owner, "Text", "short");
        PutNumber(owner, "Modifier", 2);
        PutRawString(owner, "Type", "4");  // a number as text
        ::RegCloseKey(owner);
        HKEY doc = CreateKey(std::string(kScratch) + "\\Owner\\ActionList\\Docs");
        PutRawString(doc, "Text", "Report");
        PutRawString(doc, "Description", longText);
        PutNumber(doc, "Type", kActionShellDoc);
        ::RegCloseKey(doc);
        HKEY shell = CreateKey(std::string(kScratch) + "\\Owner\\ActionList\\Docs\\ShellDoc");
        PutRawString(shell, "FileName", "/home/u/report.htm");
        PutRawString(shell, "Verb", "open");
        ::RegCloseKey(shell);
        HKEY longest = CreateKey(std::string(kScratch) + "\\Owner\\ActionList\\" + longName);
        PutRawString(longest, "Text", "longest name");
        ::RegCloseKey(longest);
    }
    HKEY owner = nullptr;
    ASSERT_EQ(
        ::RegOpenKeyEx(HKEY_CURRENT_USER, (std::string(kScratch) + "\\Owner").c_str(), 0, KEY_READ, &owner),
        ERROR_SUCCESS);
    CUserActionList list;
    list.Load(owner);
    ::RegCloseKey(owner);

    ASSERT_EQ(list.GetCount(), 3);
    // In the order the keys are enumerated (by their upper-cased names).
    std::vector<std::string> order;
    for (const CUserAction& a : list.Items()) order.push_back(a.m_strName.str());
    EXPECT_EQ(order, (std::vector<std::string>{"Docs", longName, "Short"}));
    auto find = [&](const std::string& name) -> const CUserAction& {
        for (const CUserAction& a : list.Items())
            if (a.m_strName == name.c_str()) return a;
        ADD_FAILURE() << "no record " << name;
        return list.Items().front();
    };
    const CUserAction& shortOne = find("Short");
    EXPECT_EQ(shortOne.m_strText, "short");
    EXPECT_EQ(shortOne.m_dwModifier, 2u);
    EXPECT_EQ(shortOne.m_dwType, 0u);
    EXPECT_EQ(shortOne.m_pPayload, nullptr);

    const CUserAction& docs = find("Docs");
    EXPECT_EQ(docs.m_strDescription, longText.c_str());
    EXPECT_EQ(docs.m_strText, "Report");
    const auto* payload = dynamic_cast<const CShellDocPayload*>(docs.m_pPayload.get());
    ASSERT_NE(payload, nullptr);
    EXPECT_EQ(payload->m_strFileName, "/home/u/report.htm");
    EXPECT_EQ(payload->m_strVerb, "open");

    EXPECT_EQ(find(longName).m_strText, "longest name");

    // Saved again elsewhere, the strings go without a terminator and read back the same.
    HKEY copy = CreateKey(std::string(kScratch) + "\\Copy");
    list.Save(copy);
    ::RegCloseKey(copy);
    DWORD size = 0, type = 0;
    HKEY saved = nullptr;
    ASSERT_EQ(::RegOpenKeyEx(HKEY_CURRENT_USER, (std::string(kScratch) + "\\Copy\\ActionList\\Docs").c_str(),
                             0, KEY_READ, &saved),
              ERROR_SUCCESS);
    EXPECT_EQ(::RegQueryValueEx(saved, "Text", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    ::RegCloseKey(saved);
    EXPECT_EQ(regtest::Values((std::string(kScratch) + "\\Copy\\ActionList\\Docs\\ShellDoc").c_str()),
              (std::vector<regtest::Value>{{"FileName", "/home/u/report.htm"}, {"Verb", "open"}}));
    // Loaded again, every record now holds all of its values (the long text among them).
    HKEY copyOwner = nullptr;
    ASSERT_EQ(::RegOpenKeyEx(HKEY_CURRENT_USER, (std::string(kScratch) + "\\Copy").c_str(), 0, KEY_READ,
                             &copyOwner),
              ERROR_SUCCESS);
    CUserActionList again;
    again.Load(copyOwner);
    ::RegCloseKey(copyOwner);
    ASSERT_EQ(again.GetCount(), 3);
    for (const CUserAction& a : again.Items()) {
        const CUserAction& before = find(a.m_strName.str());
        EXPECT_EQ(a.m_strText, before.m_strText);
        EXPECT_EQ(a.m_strDescription, before.m_strDescription);
        EXPECT_EQ(a.m_strProvider, before.m_strProvider);
        EXPECT_EQ(a.m_dwModifier, before.m_dwModifier);
        EXPECT_EQ(a.m_dwType, before.m_dwType);
    }
}

TEST_F(UserActionsTest, DeeplyNestedListsAreReadToABoundedDepth)
{
    std::string path = std::string(kScratch) + "\\Owner";
    for (int level = 0; level < kMaxActionListDepth + 8; ++level) {
        path += "\\ActionList\\L";
        HKEY key = CreateKey(path);
        PutNumber(key, "Type", kActionList);
        ::RegCloseKey(key);
    }
    HKEY owner = nullptr;
    ASSERT_EQ(
        ::RegOpenKeyEx(HKEY_CURRENT_USER, (std::string(kScratch) + "\\Owner").c_str(), 0, KEY_READ, &owner),
        ERROR_SUCCESS);
    CUserActionList list;
    list.Load(owner);
    ::RegCloseKey(owner);
    int depth = 0;
    for (const CUserActionList* level = &list; level && !level->IsEmpty();
         level = level->Items().front().GetList())
        ++depth;
    EXPECT_EQ(depth, kMaxActionListDepth);
}

TEST(UserActionNames, NextNameAddsOneToTheTrailingNumber)
{
    const std::string thirtyNines(30, '9');
    const std::string thirtyDigits = "123456789012345678901234567890";
    const std::pair<std::string, std::string> cases[] = {
        {"A", "A1"},
        {"A9", "A10"},
        {"A007", "A8"},
        {"MainMenu", "MainMenu1"},
        {"MainMenu1", "MainMenu2"},
        {"", "1"},
        {"A0", "A1"},
        {"7B", "7B1"},
        {"A" + thirtyDigits, "A123456789012345678901234567891"},
        {"A" + thirtyNines, "A1" + std::string(30, '0')},
    };
    for (const auto& [name, next] : cases) EXPECT_EQ(NextName(name.c_str()), next.c_str()) << name;

    CUserActionList list;
    CUserAction a;
    a.m_strName = "Main";
    list.Add(std::move(a));
    EXPECT_FALSE(IsNameFree(list, "Main"));
    EXPECT_TRUE(IsNameFree(list, "main"));
}
