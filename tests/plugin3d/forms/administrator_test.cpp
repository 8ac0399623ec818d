// The administrator: the load history, the save question, the tree kept in step with the
// project's events, New, Delete, Load and Save as the user works them.

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <QGuiApplication>
#include <QImage>
#include <QMenu>
#include <QPainter>
#include <QStyleHints>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include "platform/controls/tree_ctrl.h"
#include "platform/forms/menus.h"
#include "platform/forms/stdctrls.h"
#include "platform/last_error.h"
#include "platform/menu/menu.h"
#include "platform/registry/registry.h"
#include "platform/window/modal.h"
#include "plugin3d/forms/k_administrator.h"
#include "plugin3d/forms/k_flat_caption.h"
#include "plugin3d/forms/k_load_history.h"
#include "plugin3d/forms/k_new_dialog.h"
#include "plugin3d/forms/k_tree_mirror.h"
#include "plugin3d/model/core/k_form_links.h"
#include "plugin3d/model/core/k_templates.h"
#include "tests/plugin3d/forms/admin_test_project.h"
#include "tests/support/modal_responder.h"
#include "tests/support/ui_helpers.h"

using tarvenix::test::GrabWindow;
using tarvenix::test::MouseClick;
using tarvenix::test::PumpEvents;
using tarvenix::test::PumpUntil;
using tarvenix::test::Responder;
using tarvenix::test::SaveTestOutput;
using Paths = std::vector<std::string>;

namespace {

namespace fs = std::filesystem;

class Administrator : public ::testing::Test {
protected:
    static void SetUpTestSuite() { TAdminTestProject::Register(); }
    static void TearDownTestSuite() { TAdminTestProject::Unregister(); }

    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("kelvora-admin-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        WriteLoadHistory({});
        admin.reset(TKAdministrator::New(nullptr));
        admin->SetBounds(40, 40, 300, 360);
    }
    void TearDown() override
    {
        WaitForJob();
        admin.reset();
        fs::remove_all(dir);
    }

    TAdminTestProject* NewTestProject()
    {
        EXPECT_TRUE(admin->NewProject(TAdminTestProject::StaticClass()));
        return ObjectAs<TAdminTestProject>(admin->Project());
    }
    TKCustomChangeObject* AddObject(TAdminTestProject* project, const std::string& name)
    {
        TKCustomChangeObject* object = TKCustomChangeObject::New();
        object->SetName(name);
        project->Objects()->Add(object);
        return object;
    }
    void WaitForJob()
    {
        if (admin) ASSERT_TRUE(PumpUntil([&] { return admin->Job() == 0; }));
    }
    std::string Saved(const std::string& name)
    {
        const std::string path = (dir / name).string();
        admin->SaveProjectToFile(path);
        WaitForJob();
        return path;
    }
    TTreeNode* NodeOf(TObject* object)
    {
        TKDataBranch* branch = admin->BranchOf(object);
        return branch ? FindNodeByData(static_cast<TObject*>(branch), admin->TreeView1->Items()) : nullptr;
    }
    CRect LabelRect(TTreeNode* node)
    {
        CRect rect;
        static_cast<CTreeCtrl*>(admin->TreeView1->Window())->GetItemRect(node->ItemId(), &rect, TRUE);
        return rect;
    }
    /// A new project holding one object "Target", the administrator shown with the object's
    /// node in view, and the point on its label a user clicks.
    struct ShownTarget {
        TAdminTestProject* project = nullptr;
        TKCustomChangeObject* object = nullptr;
        TTreeNode* node = nullptr;
        CPoint label;
    };
    ShownTarget ShowTarget()
    {
        ShownTarget target;
        target.project = NewTestProject();
        target.object = AddObject(target.project, "Target");
        admin->Show();
        PumpEvents();
        NodeOf(target.project->Objects())->Expand(false);
        target.node = NodeOf(target.object);
        if (target.node)
            target.label = CPoint(LabelRect(target.node).left + 4, LabelRect(target.node).CenterPoint().y);
        return target;
    }
    void ClickButton(TToolButton* button)
    {
        const CRect rect = admin->ToolBar1->ButtonRect(button);
        MouseClick(*admin->ToolBar1->Window(), CPoint(rect.left + 6, rect.CenterPoint().y));
    }
    std::vector<std::string> TreeTexts()
    {
        std::vector<std::string> texts;
        TTreeNodes* nodes = admin->TreeView1->Items();
        for (int i = 0; i < nodes->Count(); ++i) texts.push_back(nodes->Item(i)->Text());
        return texts;
    }

    fs::path dir;
    TOwned<TKAdministrator> admin;
};

// --- the load history
// -------------------------------------------------------------------------------------------

TEST(LoadHistory, KeepsTenMovesRepeatsToTheTopInAnyCase)
{
    Paths history;
    for (int i = 0; i <= 10; ++i) AddToLoadHistory(history, "/p/f" + std::to_string(i) + ".ktp");
    ASSERT_EQ(history.size(), 10u);
    EXPECT_EQ(history.front(), "/p/f10.ktp");
    EXPECT_EQ(history.back(), "/p/f1.ktp");  // the oldest went

    AddToLoadHistory(history, "/P/F5.KTP");
    EXPECT_EQ(history.size(), 10u);
    EXPECT_EQ(history.front(), "/p/f5.ktp");
    EXPECT_EQ(history[1], "/p/f10.ktp");
    EXPECT_EQ(std::count(history.begin(), history.end(), "/p/f5.ktp"), 1);
}

TEST(LoadHistory, ReadsTextValuesOnlyAndWritesAFreshKey)
{
    // Other tests leave a history behind: this one starts from none and leaves none.
    RegDeleteKey(HKEY_CURRENT_USER, kLoadHistoryKey);
    struct Cleanup {
        ~Cleanup() { RegDeleteKey(HKEY_CURRENT_USER, kLoadHistoryKey); }
    } cleanup;
    HKEY key = nullptr;
    ASSERT_EQ(
        RegCreateKeyEx(HKEY_CURRENT_USER, kLoadHistoryKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
        ERROR_SUCCESS);
    const char first[] = "/a.ktp", second[] = "/b.ktp";
    const DWORD number = 7;
    RegSetValueEx(key, "0", 0, REG_SZ, reinterpret_cast<const BYTE*>(first), sizeof first);
    RegSetValueEx(key, "odd", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
    RegSetValueEx(key, "1", 0, REG_SZ, reinterpret_cast<const BYTE*>(second), sizeof second);
    RegCloseKey(key);
    EXPECT_EQ(ReadLoadHistory(), (Paths{"/a.ktp", "/b.ktp"}));

    WriteLoadHistory({"/c.ktp"});
    EXPECT_EQ(ReadLoadHistory(), (Paths{"/c.ktp"}));  // the stale values went with the key
    RegDeleteKey(HKEY_CURRENT_USER, kLoadHistoryKey);
    EXPECT_TRUE(ReadLoadHistory().empty());
}

// Settings holding thousands of history values (an older program kept them all): the history
// keeps the first ten and writes back ten, in one write of the settings.
TEST(LoadHistory, KeepsTenOfThousandsOfStoredValues)
{
    RegDeleteKey(HKEY_CURRENT_USER, kLoadHistoryKey);
    struct Cleanup {
        ~Cleanup() { RegDeleteKey(HKEY_CURRENT_USER, kLoadHistoryKey); }
    } cleanup;
    HKEY key = nullptr;
    ASSERT_EQ(
        RegCreateKeyEx(HKEY_CURRENT_USER, kLoadHistoryKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
        ERROR_SUCCESS);
    std::vector<std::pair<std::string, std::string>> values;
    for (int i = 0; i < 5000; ++i)
        values.emplace_back(std::to_string(i), "/p/f" + std::to_string(i) + ".ktp");
    ASSERT_EQ(platform::RegReplaceTextValues(key, values), ERROR_SUCCESS);
    RegCloseKey(key);
    const Paths history = ReadLoadHistory();
    ASSERT_EQ(history.size(), kLoadHistoryLimit);
    EXPECT_EQ(history.front(), "/p/f0.ktp");
    EXPECT_EQ(history.back(), "/p/f9.ktp");

    const std::uintmax_t before = std::filesystem::file_size(std::string(platform::RegistryFilePath()));
    WriteLoadHistory(history);
    EXPECT_LT(std::filesystem::file_size(std::string(platform::RegistryFilePath())), before);
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, kLoadHistoryKey, 0, KEY_READ, &key), ERROR_SUCCESS);
    DWORD count = 0;
    RegQueryInfoKey(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr, nullptr,
                    nullptr, nullptr);
    RegCloseKey(key);
    EXPECT_EQ(count, kLoadHistoryLimit);
    EXPECT_EQ(ReadLoadHistory(), history);
}

TEST_F(Administrator, ReadsItsHistoryAtStartWritesItAtItsEndAndLoadsFromIt)
{
    TAdminTestProject* project = NewTestProject();
    ASSERT_NE(project, nullptr);
    const std::string path = Saved("first.ktp");
    EXPECT_EQ(admin->History(), (Paths{path}));
    admin.reset();
    EXPECT_EQ(ReadLoadHistory(), (Paths{path}));

    admin.reset(TKAdministrator::New(nullptr));
    EXPECT_EQ(admin->History(), (Paths{path}));
    ASSERT_EQ(admin->LoadHistoryMenu->Items()->Count(), 1);
    TMenuItem* item = admin->LoadHistoryMenu->Items()->Item(0);
    EXPECT_EQ(item->Caption(), path);
    item->Click();
    WaitForJob();
    ASSERT_NE(admin->Project(), nullptr);
    EXPECT_EQ(admin->FileName(), path);
    EXPECT_EQ(admin->KFlatCaption1->Caption(), "first.ktp - KAdministrator");
}

// --- the save question
// -------------------------------------------------------------------------------------------

TEST_F(Administrator, CanReplaceProjectAnswersAsTheUserAndTheSaveDecide)
{
    struct Case {
        const char* name;
        bool named;          // the project has a file already
        int answer;          // the button chosen
        const char* dialog;  // the save dialog's answer: null cancels, "" is not asked
        bool expected;
        bool modifiedAfter;
    };
    const Case cases[] = {
        {"cancel", false, IDCANCEL, "", false, true},
        {"no", false, IDNO, "", true, true},
        {"yes to its file", true, IDYES, "", true, false},
        {"yes with a new file", false, IDYES, "new.ktp", true, false},
        {"yes, dialog cancelled", false, IDYES, nullptr, false, true},
        {"yes, the save fails", false, IDYES, "missing/folder/x.ktp", false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TAdminTestProject* project = NewTestProject();
        std::string file;
        if (c.named) file = Saved("named.ktp");
        project->SetModified(true);
        Responder().Reset();
        Responder().AnswerMessageBox(c.answer);
        if (!c.dialog)
            Responder().CancelFile();
        else if (*c.dialog)
            Responder().AnswerFile({CString((dir / c.dialog).string().c_str())});
        const bool fails = std::string(c.name) == "yes, the save fails";
        if (fails) Responder().AnswerMessageBox(IDOK);  // the failed save is told
        EXPECT_EQ(admin->CanReplaceProject(true), c.expected);
        if (fails) {
            ASSERT_EQ(Responder().Asked().size(), 3u);
            const std::string told(Responder().Asked()[2].text);
            EXPECT_EQ(
                told.rfind("The project could not be saved to\r\n'" + (dir / c.dialog).string() + "'", 0), 0u)
                << told;
        }
        EXPECT_EQ(admin->Project(), project);
        EXPECT_EQ(project->Modified(), c.modifiedAfter);
        ASSERT_FALSE(Responder().Asked().empty());
        const auto& question = Responder().Asked().front();
        EXPECT_EQ(std::string(question.text), SaveChangesQuestion(file));
        EXPECT_EQ(question.Buttons(), static_cast<UINT>(MB_YESNOCANCEL));
        EXPECT_EQ(Responder().Unused(), 0u);
        project->SetModified(false);
    }
    EXPECT_EQ(SaveChangesQuestion("/a/b.ktp"), "Save changes to file\r\n'/a/b.ktp' ?");
    EXPECT_TRUE(fs::exists(dir / "new.ktp"));
}

TEST_F(Administrator, WhileASaveRunsNothingReplacesTheProject)
{
    TAdminTestProject* project = NewTestProject();
    project->SetModified(true);
    admin->SaveProjectToFile((dir / "running.ktp").string());
    ASSERT_EQ(admin->Job(), 2);
    EXPECT_FALSE(admin->CanReplaceProject(true));  // asks nothing
    EXPECT_TRUE(Responder().Asked().empty());
    WaitForJob();
    EXPECT_FALSE(project->Modified());
    EXPECT_TRUE(admin->CanReplaceProject(true));
}

TEST_F(Administrator, DuringAHeldSaveDeleteNewLoadRenameAndCloseLeaveTheProjectAlone)
{
    TAdminTestProject* project = NewTestProject();
    TKCustomChangeObject* object = AddObject(project, "Kept");
    PumpEvents();
    const std::string other = Saved("other.ktp");
    project->SetModified(true);
    TAdminTestProject::saveReached = false;
    TAdminTestProject::holdSave = true;
    const std::string path = (dir / "held.ktp").string();
    admin->SaveProjectToFile(path);
    ASSERT_TRUE(PumpUntil([&] { return TAdminTestProject::saveReached.load(); }));
    ASSERT_EQ(admin->Job(), 2);

    // The user tries everything that would free or change what the save writes.
    EXPECT_FALSE(admin->NewBtn->Enabled());
    EXPECT_FALSE(admin->LoadBtn->Enabled());
    EXPECT_FALSE(admin->SaveBtn->Enabled());
    admin->TreeView1->SetSelected(NodeOf(object));
    EXPECT_FALSE(admin->DeleteBtn->Enabled());
    ClickButton(admin->DeleteBtn);
    admin->TreeView1->SetSelected(NodeOf(project));
    ClickButton(admin->DeleteBtn);
    ClickButton(admin->NewBtn);
    admin->LoadProjectFromFile(other);
    admin->Close();
    PumpEvents();
    EXPECT_EQ(admin->Project(), project);
    EXPECT_EQ(project->Objects()->Count(), 1);
    EXPECT_TRUE(Responder().Asked().empty());

    TAdminTestProject::holdSave = false;
    WaitForJob();
    EXPECT_FALSE(project->Modified());
    EXPECT_TRUE(fs::is_regular_file(path));
    EXPECT_TRUE(admin->NewBtn->Enabled());
    admin->TreeView1->SetSelected(NodeOf(object));
    EXPECT_TRUE(admin->DeleteBtn->Enabled());
}

// --- the tree
// -------------------------------------------------------------------------------------------

TEST_F(Administrator, ARenameRetitlesOneNodeAndADeletionRebuildsOnceAfterTheOutermostBracket)
{
    TAdminTestProject* project = NewTestProject();
    TKCustomChangeObject* first = AddObject(project, "First");
    TKCustomChangeObject* second = AddObject(project, "Second");
    PumpEvents();
    EXPECT_EQ(TreeTexts(), (std::vector<std::string>{"Un titled project", "Objects", "First", "Second"}));

    int rebuilds = admin->RebuildCount();
    TTreeNode* firstNode = NodeOf(first);
    first->SetName("Renamed");
    PumpEvents();
    EXPECT_EQ(admin->RebuildCount(), rebuilds);
    EXPECT_EQ(NodeOf(first), firstNode);  // the same node, only its text changed
    EXPECT_EQ(firstNode->Text(), "Renamed");

    project->BeginUpdate();
    project->Objects()->BeginUpdate();
    FreeObject(second);
    project->Objects()->EndUpdate();
    PumpEvents();
    EXPECT_EQ(admin->RebuildCount(), rebuilds);  // still inside the project's bracket
    EXPECT_EQ(admin->UpdateDepth(), 1);
    project->EndUpdate();
    PumpEvents();
    EXPECT_EQ(admin->RebuildCount(), rebuilds + 1);
    EXPECT_EQ(TreeTexts(), (std::vector<std::string>{"Un titled project", "Objects", "Renamed"}));
}

TEST_F(Administrator, EventsQueuedForAReleasedProjectTouchNothingOfIt)
{
    TAdminTestProject* project = NewTestProject();
    TKCustomChangeObject* object = AddObject(project, "Doomed");
    PumpEvents();
    object->SetName("Renamed");     // a retitle is queued ...
    project->Objects()->Delete(0);  // ... and a rebuild of the list's branch
    AddObject(project, "Other");
    FreeObject(object);
    ASSERT_TRUE(admin->NewProject(TAdminTestProject::StaticClass()));  // frees the tree's old branches
    PumpEvents();
    EXPECT_EQ(TreeTexts(), (std::vector<std::string>{"Un titled project", "Objects"}));
}

TEST_F(Administrator, DeleteIsOfferedForObjectsButNotForTheProjectsLists)
{
    TAdminTestProject* project = NewTestProject();
    TKCustomChangeObject* object = AddObject(project, "Spare");
    PumpEvents();
    admin->TreeView1->SetSelected(NodeOf(project->Objects()));
    EXPECT_FALSE(admin->DeleteBtn->Enabled());
    EXPECT_FALSE(admin->AllowToggle());
    admin->TreeView1->SetSelected(NodeOf(object));
    EXPECT_TRUE(admin->DeleteBtn->Enabled());
    ClickButton(admin->DeleteBtn);
    PumpEvents();
    EXPECT_EQ(project->Objects()->Count(), 0);
    EXPECT_EQ(TreeTexts(), (std::vector<std::string>{"Un titled project", "Objects"}));
    EXPECT_FALSE(admin->DeleteBtn->Enabled());
}

TEST_F(Administrator, DeleteActsOnlyOnAHighlightedNodeAndTheProjectGoesThroughTheQuestion)
{
    TAdminTestProject* project = NewTestProject();
    AddObject(project, "Light");
    project->SetModified(true);
    PumpEvents();
    // The tree's current node is the project's, but nothing is highlighted (as after New).
    auto* tree = qobject_cast<QTreeWidget*>(admin->TreeView1->Window()->GetWidget());
    ASSERT_NE(tree, nullptr);
    tree->clearSelection();
    tree->setCurrentItem(tree->topLevelItem(0), 0, QItemSelectionModel::NoUpdate);
    ASSERT_NE(admin->TreeView1->Selected(), nullptr);
    ASSERT_EQ(admin->TreeView1->Highlighted(), nullptr);
    admin->TreeView1->OnChange(admin->TreeView1, nullptr);
    EXPECT_FALSE(admin->DeleteBtn->Enabled());
    admin->Show();
    PumpEvents();
    EXPECT_FALSE(SaveTestOutput(GrabWindow(*admin), "kelvora-administrator-nothing-highlighted").empty());
    ClickButton(admin->DeleteBtn);
    PumpEvents();
    EXPECT_EQ(admin->Project(), project);
    EXPECT_TRUE(Responder().Asked().empty());

    // The project highlighted (a click on it): Delete asks about its changes first. Cancel
    // keeps it ...
    MouseClick(*admin->TreeView1->Window(), LabelRect(NodeOf(project)).CenterPoint());
    ASSERT_EQ(admin->TreeView1->Highlighted(), NodeOf(project));
    ASSERT_TRUE(admin->DeleteBtn->Enabled());
    Responder().AnswerMessageBox(IDCANCEL);
    ClickButton(admin->DeleteBtn);
    PumpEvents();
    ASSERT_EQ(Responder().Asked().size(), 1u);
    EXPECT_EQ(std::string(Responder().Asked()[0].text), "Save changes to file?");
    EXPECT_EQ(admin->Project(), project);
    EXPECT_TRUE(project->Modified());

    // ... No lets it go.
    Responder().AnswerMessageBox(IDNO);
    ClickButton(admin->DeleteBtn);
    PumpEvents();
    EXPECT_EQ(admin->Project(), nullptr);
    EXPECT_EQ(TreeTexts(), (std::vector<std::string>{" - NO PROJECT - "}));
    EXPECT_FALSE(admin->DeleteBtn->Enabled());
}

TEST_F(Administrator, DoubleClickOpensRightClickOffersTheObjectsMenuAndNew)
{
    const ShownTarget target = ShowTarget();
    ASSERT_NE(target.node, nullptr);
    TAdminTestProject* project = target.project;
    TKCustomChangeObject* object = target.object;
    CWnd& tree = *admin->TreeView1->Window();
    const CPoint label = target.label;

    std::vector<std::string> captions;
    QImage shot;
    Responder().DismissPopupMenu().When([&] {
        for (int i = 0; i < admin->PopupMenu1->Items()->Count(); ++i)
            captions.push_back(admin->PopupMenu1->Items()->Item(i)->Caption());
        shot = GrabWindow(*admin);
        return true;
    });
    ASSERT_TRUE(admin->TreeView1->GetHitTestInfoAt(label.x, label.y) & htOnLabel);
    MouseClick(tree, label, Qt::RightButton);
    EXPECT_EQ(admin->SelectedObject(), object);
    EXPECT_EQ(captions, (std::vector<std::string>{"Open", "-", "Cut", "Copy", "Paste", "-", "New..."}));
    if (!shot.isNull()) {
        QMenu menu;
        const HMENU handle = admin->PopupMenu1->CreateMenuHandle();
        platform::FillQtMenu(&menu, handle);
        DestroyMenu(handle);
        menu.resize(menu.sizeHint());
        const QImage popup = menu.grab().toImage();
        CRect client;
        admin->GetClientRect(&client);
        CPoint at = label;
        tree.ClientToScreen(&at);
        admin->ScreenToClient(&at);
        QImage composed(std::max(shot.width(), at.x + popup.width()),
                        std::max(shot.height(), at.y + popup.height()), QImage::Format_RGB32);
        composed.fill(Qt::white);
        QPainter painter(&composed);
        painter.drawImage(0, 0, shot);
        painter.drawImage(at.x, at.y, popup);
        painter.end();
        EXPECT_FALSE(SaveTestOutput(composed, "kelvora-admin-menu").empty());
    }

    tarvenix::test::MouseDoubleClick(tree, label);
    EXPECT_EQ(project->opened, (std::vector<TObject*>{object}));
}

// As a user does it: a click selects the node, a double-click on the selected node then
// opens its editor and starts no rename, while a slow second click still renames.
TEST_F(Administrator, ADoubleClickOnTheSelectedNodeOpensItAndRenamesNothing)
{
    const ShownTarget target = ShowTarget();
    ASSERT_NE(target.node, nullptr);
    TAdminTestProject* project = target.project;
    TKCustomChangeObject* object = target.object;
    CWnd& tree = *admin->TreeView1->Window();
    const CPoint label = target.label;
    // A short double-click time: a rename that a click left waiting starts within the test.
    QStyleHints* hints = QGuiApplication::styleHints();
    const int interval = hints->mouseDoubleClickInterval();
    hints->setMouseDoubleClickInterval(10);
    struct Restore {
        QStyleHints* hints;
        int interval;
        ~Restore() { hints->setMouseDoubleClickInterval(interval); }
    } restore{hints, interval};
    const auto settled = [&] {  // ten times the double-click time, with nothing to wait for
        PumpUntil([] { return false; }, std::chrono::milliseconds(100));
    };

    TTreeNode* list = NodeOf(project->Objects());
    const CPoint listLabel(LabelRect(list).left + 4, LabelRect(list).CenterPoint().y);
    for (int attempt = 0; attempt < 3; ++attempt) {
        SCOPED_TRACE(attempt);
        project->opened.clear();
        MouseClick(tree, listLabel);  // elsewhere first
        settled();
        MouseClick(tree, label);
        settled();
        ASSERT_EQ(admin->SelectedObject(), object);
        EXPECT_FALSE(admin->TreeView1->IsEditing());
        tarvenix::test::MouseDoubleClick(tree, label);
        settled();
        EXPECT_EQ(project->opened, (std::vector<TObject*>{object}));
        EXPECT_FALSE(admin->TreeView1->IsEditing());
        EXPECT_EQ(object->Name(), "Target");
    }

    // A second click on the selected node, no double-click: the rename starts.
    project->opened.clear();
    MouseClick(tree, label);
    EXPECT_TRUE(PumpUntil([&] { return admin->TreeView1->IsEditing(); }));
    EXPECT_TRUE(project->opened.empty());
}

TEST_F(Administrator, NewMakesProjectsAndObjectsWhereTheyWereListed)
{
    // No project: "Projects" lists the test project's class among the project classes.
    Responder().AnswerDialogCommand(IDOK).Doing([](CWnd& window) {
        auto* dialog = dynamic_cast<TKNewDialog*>(&window);
        ASSERT_NE(dialog, nullptr);
        TTreeNode* projects = dialog->TreeView1->Items()->GetFirstNode();
        ASSERT_EQ(projects->Text(), "Projects");
        dialog->TreeView1->SetSelected(projects);
        for (int i = 0; i < dialog->ListView1->Count(); ++i)
            if (dialog->ListView1->Item(i)->Caption() == "Test Project")
                dialog->ListView1->SetSelected(dialog->ListView1->Item(i));
    });
    ClickButton(admin->NewBtn);
    auto* project = ObjectAs<TAdminTestProject>(admin->Project());
    ASSERT_NE(project, nullptr);
    EXPECT_EQ(project->Name(), "Un titled project");

    // With the project: its sub-items make an object inside it, selected in the tree.
    Responder().AnswerDialogCommand(IDOK).Doing([](CWnd& window) {
        auto* dialog = dynamic_cast<TKNewDialog*>(&window);
        ASSERT_NE(dialog, nullptr);
        ASSERT_EQ(dialog->ListView1->Count(), 1);  // the last group, the project's, is shown
        EXPECT_EQ(dialog->ListView1->Item(0)->Caption(), "Change Object");
        dialog->ListView1->SetSelected(dialog->ListView1->Item(0));
    });
    ClickButton(admin->NewBtn);
    ASSERT_EQ(project->Objects()->Count(), 1);
    EXPECT_EQ(admin->SelectedObject(), project->Objects()->GetItem(0));
}

// --- load and save
// -------------------------------------------------------------------------------------------

TEST_F(Administrator, AFailedLoadSaysSoNamesTheFileAndKeepsTheProjectBefore)
{
    TAdminTestProject* before = NewTestProject();
    AddObject(before, "Kept");
    PumpEvents();
    const std::string good = Saved("good.ktp");
    const std::vector<std::string> tree = TreeTexts();

    // A text file named .ktp: its header is rejected before any job.
    const std::string bad = (dir / "bad.ktp").string();
    std::ofstream(bad) << "not a project file at all";
    Responder().AnswerFile({CString(bad.c_str())});
    Responder().AnswerMessageBox(IDOK);
    ClickButton(admin->LoadBtn);
    ASSERT_EQ(Responder().Asked().size(), 2u);
    EXPECT_EQ(std::string(Responder().Asked()[1].text), "The project could not be loaded from\r\n'" + bad +
                                                            "':\r\nInvalid Kelvora Project file format");
    EXPECT_EQ(Responder().Asked()[1].Icon(), static_cast<UINT>(MB_ICONERROR));

    // A file cut in half: its header reads, the job fails on the body.
    const std::string cut = (dir / "cut.ktp").string();
    fs::copy_file(good, cut);
    fs::resize_file(cut, fs::file_size(cut) / 2);
    Responder().Reset();
    Responder().AnswerMessageBox(IDOK);
    admin->LoadProjectFromFile(cut);
    EXPECT_EQ(admin->Job(), 1);  // running: the interface answers meanwhile
    WaitForJob();
    ASSERT_EQ(Responder().Asked().size(), 1u);
    const std::string told = std::string(Responder().Asked()[0].text);
    EXPECT_EQ(told.rfind("The project could not be loaded from\r\n'" + cut + "'", 0), 0u) << told;

    // Both times the project before stays as it was, with its file, tree and history.
    EXPECT_EQ(admin->Project(), before);
    EXPECT_EQ(admin->FileName(), good);
    EXPECT_EQ(TreeTexts(), tree);
    EXPECT_EQ(admin->History(), (Paths{good}));

    // A missing file does nothing at all.
    admin->LoadProjectFromFile((dir / "absent.ktp").string());
    EXPECT_EQ(admin->Job(), 0);
    EXPECT_EQ(admin->Project(), before);
}

TEST_F(Administrator, NewOpensOnAGroupThatListsSomethingAndOffersNoBareProject)
{
    TAdminTestProject* project = NewTestProject();
    TKCustomChangeObject* object = AddObject(project, "Plain");  // its class lists no sub-items
    PumpEvents();
    for (TObject* target : {static_cast<TObject*>(object), static_cast<TObject*>(nullptr)}) {
        if (target)
            admin->TreeView1->SetSelected(NodeOf(target));
        else
            admin->TreeView1->SetSelected(nullptr);
        std::vector<std::string> projects;
        std::string group;
        int listed = 0;
        bool okEnabled = false;
        Responder().AnswerDialogCommand(IDCANCEL).Doing([&](CWnd& window) {
            auto* dialog = dynamic_cast<TKNewDialog*>(&window);
            ASSERT_NE(dialog, nullptr);
            TTreeNode* shown = dialog->TreeView1->Selected();
            ASSERT_NE(shown, nullptr);
            group = shown->Text();
            listed = dialog->ListView1->Count();
            if (listed > 0) dialog->ListView1->SetSelected(dialog->ListView1->Item(0));
            okEnabled = dialog->OkBtn->Enabled();
            TTreeNodes* groups = dialog->TreeView1->Items();
            for (int i = 0; i < groups->Count(); ++i)
                if (groups->Item(i)->Text() == "Projects") dialog->TreeView1->SetSelected(groups->Item(i));
            for (int i = 0; i < dialog->ListView1->Count(); ++i)
                projects.push_back(dialog->ListView1->Item(i)->Caption());
        });
        ClickButton(admin->NewBtn);
        EXPECT_EQ(group, "Un titled project");  // the project's entries, not the object's empty group
        EXPECT_GT(listed, 0);
        EXPECT_TRUE(okEnabled);
        EXPECT_EQ(std::count(projects.begin(), projects.end(), "TKProject"), 0);
        EXPECT_EQ(std::count(projects.begin(), projects.end(), "Test Project"), 1);
    }
}

TEST_F(Administrator, ASaveNamedWithoutExtensionGetsKtp)
{
    NewTestProject();
    Responder().AnswerFile({CString((dir / "proj1").string().c_str())});
    ClickButton(admin->SaveBtn);
    WaitForJob();
    EXPECT_TRUE(fs::is_regular_file(dir / "proj1.ktp"));
    EXPECT_FALSE(fs::exists(dir / "proj1"));
    EXPECT_EQ(admin->FileName(), (dir / "proj1.ktp").string());
}

TEST_F(Administrator, SavesAndLoadsThroughItsButtonsAndShowsTheFileInItsCaption)
{
    TAdminTestProject* project = NewTestProject();
    AddObject(project, "Kept");
    admin->Show();
    EXPECT_EQ(admin->KFlatCaption1->Caption(), " KAdministrator");
    const std::string path = (dir / "shown.ktp").string();
    Responder().AnswerFile({CString(path.c_str())});
    ClickButton(admin->SaveBtn);
    WaitForJob();
    PumpEvents();
    EXPECT_EQ(admin->FileName(), path);
    EXPECT_EQ(admin->KFlatCaption1->Caption(), "shown.ktp - KAdministrator");
    EXPECT_FALSE(SaveTestOutput(GrabWindow(*admin), "kelvora-administrator").empty());

    Responder().AnswerFile({CString(path.c_str())});
    ClickButton(admin->LoadBtn);
    WaitForJob();
    ASSERT_NE(admin->Project(), nullptr);
    EXPECT_NE(admin->Project(), project);
    EXPECT_FALSE(admin->Project()->Modified());
    EXPECT_EQ(admin->History(), (Paths{path}));
}

TEST_F(Administrator, AProjectStartedFromATemplateHasNoFileOfItsOwn)
{
    NewTestProject();
    const std::string templateFile = Saved("template.ktp");
    NewTestProject();
    const std::string earlier = Saved("earlier.ktp");
    // The template list as the registry gives it, read by its unit's start.
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, kProjectTemplatesKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                             nullptr),
              ERROR_SUCCESS);
    const char caption[] = "Starter";
    RegSetValueEx(key, "caption1", 0, REG_SZ, reinterpret_cast<const BYTE*>(caption), sizeof caption);
    RegSetValueEx(key, "file1", 0, REG_SZ, reinterpret_cast<const BYTE*>(templateFile.c_str()),
                  static_cast<DWORD>(templateFile.size() + 1));
    RegCloseKey(key);
    FinalizeUnits(&kKTemplatesUnit, 1);
    InitializeUnits(&kKTemplatesUnit, 1);
    // The administrator gives the templates its loader itself.
    ASSERT_NE(FormLinks().loadProjectFromFile, nullptr);

    const auto pickTemplate = [](CWnd& window) {
        auto* dialog = dynamic_cast<TKNewDialog*>(&window);
        ASSERT_NE(dialog, nullptr);
        TTreeNode* templates = dialog->TreeView1->Items()->TopItem(1);
        ASSERT_EQ(templates->Text(), "Templates");
        dialog->TreeView1->SetSelected(templates);
        ASSERT_EQ(dialog->ListView1->Count(), 1);
        dialog->ListView1->SetSelected(dialog->ListView1->Item(0));
    };
    // The template is the open file: opened from New, the project is untitled all the same,
    // so that its next save cannot write over the template.
    admin->Project()->SetModified(false);
    admin->LoadProjectFromFile(templateFile);
    WaitForJob();
    ASSERT_EQ(admin->FileName(), templateFile);
    Responder().AnswerDialogCommand(IDOK).Doing(pickTemplate);
    ClickButton(admin->NewBtn);
    WaitForJob();
    ASSERT_NE(admin->Project(), nullptr);
    EXPECT_TRUE(admin->FileName().empty());

    Responder().AnswerDialogCommand(IDOK).Doing(pickTemplate);
    ClickButton(admin->NewBtn);
    WaitForJob();
    RegDeleteKey(HKEY_CURRENT_USER, kProjectTemplatesKey);
    FinalizeUnits(&kKTemplatesUnit, 1);
    InitializeUnits(&kKTemplatesUnit, 1);

    ASSERT_NE(admin->Project(), nullptr);
    EXPECT_TRUE(admin->FileName().empty());  // neither the template's nor the earlier project's
    EXPECT_EQ(admin->KFlatCaption1->Caption(), " KAdministrator");
    admin->Project()->SetModified(true);
    Responder().AnswerMessageBox(IDYES);
    Responder().AnswerFile({CString((dir / "own.ktp").string().c_str())});
    EXPECT_TRUE(admin->CanReplaceProject(true));
    EXPECT_EQ(std::string(Responder().Asked().at(Responder().Asked().size() - 2).text),
              "Save changes to file?");
    EXPECT_TRUE(fs::exists(dir / "own.ktp"));
    EXPECT_NE(earlier, admin->FileName());
}

}  // namespace
