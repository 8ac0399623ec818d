// The small shared forms: tree mirroring, the new-object dialog, the progress form, the
// hover-tracking speed button and the string holder.

#include <atomic>
#include <string>
#include <vector>

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

#include "platform/controls/list_ctrl.h"
#include "platform/forms/comctrls.h"
#include "platform/forms/extctrls.h"
#include "platform/forms/stdctrls.h"
#include "platform/resources/module_resources.h"
#include "platform/gdi/gdi_objects.h"
#include "platform/window/nonclient.h"
#include "plugin3d/forms/button_ex.h"
#include "plugin3d/forms/class_glyphs.h"
#include "plugin3d/forms/k_new_dialog.h"
#include "plugin3d/forms/k_thread_form.h"
#include "plugin3d/forms/k_tree_mirror.h"
#include "plugin3d/forms/string_resource.h"
#include "plugin3d/model/core/k_data_branch.h"
#include "plugin3d/model/core/k_interfaces.h"
#include "tests/support/modal_responder.h"
#include "tests/support/ui_helpers.h"

using tarvenix::test::GrabWholeWindow;
using tarvenix::test::MouseClick;
using tarvenix::test::MouseDoubleClick;
using tarvenix::test::MouseMove;
using tarvenix::test::PumpEvents;
using tarvenix::test::PumpUntil;
using tarvenix::test::Responder;
using tarvenix::test::SaveTestOutput;

namespace {

/// A branch named name with flag under parent.
TKDataBranch* Add(TKDataBranch* parent, const std::string& name, std::uint8_t flag = 0, TKData data = {})
{
    TKDataBranch* child = TKDataBranch::NewNamed(name, flag, data);
    if (parent) parent->AddChild(child);
    return child;
}

// A form holding a tree view, for the mirroring tests.
constexpr TEventBinding kTreeEvents[] = {{"OnExpanding", "TreeExpanding"}};
constexpr TControlResource kTreeControls[] = {
    {.className = "TTreeView",
     .name = "Tree",
     .bounds = {0, 0, 200, 200},
     .align = alClient,
     .events = kTreeEvents},
};
constexpr TControlResource kButtonControls[] = {
    {.className = "TSpeedButtonEx", .name = "First", .bounds = {10, 10, 30, 24}, .caption = "1"},
    {.className = "TSpeedButtonEx", .name = "Second", .bounds = {40, 10, 30, 24}, .caption = "2"},
};
constexpr const char* kModelLines[] = {"points 2", "0 0 0", "1 1 1"};
constexpr TControlResource kResourceControls[] = {
    {.className = "TStringResource", .name = "Model", .items = kModelLines},
};
constexpr TFormResource kForms[] = {
    {.name = "TTREEFORM", .clientWidth = 200, .clientHeight = 200, .controls = kTreeControls},
    {.name = "TBUTTONFORM", .clientWidth = 120, .clientHeight = 50, .controls = kButtonControls},
    {.name = "TRESOURCEFORM", .clientWidth = 50, .clientHeight = 50, .controls = kResourceControls},
};
constexpr platform::ModuleResources kResources{.module = "small forms test", .forms = kForms};
const platform::ModuleResourceRegistration kRegistration(kResources);

class TTreeForm : public TForm {
    DECLARE_TCLASS(TTreeForm)

    TTreeView* Tree = nullptr;
    std::vector<std::string> expanding;  ///< node text and its child count when asked

protected:
    TTreeForm() = default;
    std::vector<THandler> Handlers() override { return {FORM_HANDLER(TreeExpanding)}; }
    void Loaded() override { Tree = FindControl<TTreeView>("Tree"); }
    void TreeExpanding(TObject*, TTreeNode* node, bool&)
    {
        expanding.push_back(node->Text() + " " + std::to_string(node->Count()));
    }
};
IMPLEMENT_TCLASS(TTreeForm, TForm)

class TButtonForm : public TForm {
    DECLARE_TCLASS(TButtonForm)

protected:
    TButtonForm() = default;
};
IMPLEMENT_TCLASS(TButtonForm, TForm)

class TResourceForm : public TForm {
    DECLARE_TCLASS(TResourceForm)

protected:
    TResourceForm() = default;
};
IMPLEMENT_TCLASS(TResourceForm, TForm)

std::vector<std::string> Texts(TTreeNode* node)
{
    std::vector<std::string> texts;
    for (int i = 0; i < node->Count(); ++i) texts.push_back(node->Item(i)->Text());
    return texts;
}

}  // namespace

// --- tree mirroring
// -------------------------------------------------------------------------------------------
TEST(TreeMirror, ShowsDataBranchesWithTheirFlagsAndFindsNodesByData)
{
    TOwned<TTreeForm> form(TTreeForm::New(nullptr));
    TOwned<TKDataBranch> root(Add(nullptr, "root"));
    TKDataBranch* objects = Add(root.get(), "Objects", 1);
    TKDataBranch* surface = Add(objects, "Surface");
    Add(objects, "Points");
    TKDataBranch* lights = Add(root.get(), "Lights", 0);
    Add(lights, "Ambient");
    root->AddChild(TKBranch::New(nullptr));  // not a data branch: not shown

    TTreeNodes* nodes = form->Tree->Items();
    FillTreeFromBranch(root.get(), nodes);
    ASSERT_EQ(nodes->TopCount(), 2);
    EXPECT_EQ(nodes->Count(), 5);
    TTreeNode* objectsNode = nodes->TopItem(0);
    EXPECT_EQ(objectsNode->Text(), "Objects");
    EXPECT_EQ(Texts(objectsNode), (std::vector<std::string>{"Surface", "Points"}));
    EXPECT_TRUE(objectsNode->Expanded());
    EXPECT_FALSE(nodes->TopItem(1)->Expanded());
    EXPECT_EQ(NodeBranch(objectsNode), objects);
    EXPECT_EQ(FindNodeByData(static_cast<TObject*>(surface), nodes), objectsNode->Item(0));
    EXPECT_EQ(FindNodeByData(nullptr, nodes), nullptr);
    EXPECT_EQ(NodeBranch(nullptr), nullptr);
    // The expanded flag is applied once the children exist.
    EXPECT_EQ(form->expanding, (std::vector<std::string>{"Objects 2"}));

    // Mirroring onto a node replaces all its children, then expands it as its new branch says.
    TOwned<TKDataBranch> other(Add(nullptr, "Cameras", 1));
    Add(other.get(), "Eye");
    Add(other.get(), "Top");
    TTreeNode* lightsNode = nodes->TopItem(1);
    form->expanding.clear();
    FillNodeFromBranch(other.get(), nodes, lightsNode);
    EXPECT_EQ(lightsNode->Text(), "Cameras");
    EXPECT_EQ(NodeBranch(lightsNode), other.get());
    EXPECT_EQ(Texts(lightsNode), (std::vector<std::string>{"Eye", "Top"}));
    EXPECT_TRUE(lightsNode->Expanded());
    EXPECT_EQ(nodes->Count(), 6);
    EXPECT_EQ(form->expanding, (std::vector<std::string>{"Cameras 2"}));
    // An expanded node mirrored from an unflagged branch folds up.
    TOwned<TKDataBranch> folded(Add(nullptr, "Folded", 0));
    Add(folded.get(), "Inside");
    FillNodeFromBranch(folded.get(), nodes, lightsNode);
    EXPECT_FALSE(lightsNode->Expanded());
    FillNodeFromBranch(other.get(), nodes, lightsNode);
    // Without a node, the whole tree is filled again.
    FillNodeFromBranch(root.get(), nodes, nullptr);
    EXPECT_EQ(nodes->Count(), 5);
    EXPECT_EQ(nodes->TopItem(1)->Text(), "Lights");
}

// Mirroring onto a node keeps the nodes already there: whatever the new branch has more or
// less, each node ends with its branch's text, data, children and expanded state, and a
// selection below the node goes up to it.
TEST(TreeMirror, MirroringOntoANodeMakesItsTreeFollowTheNewBranch)
{
    TOwned<TTreeForm> form(TTreeForm::New(nullptr));
    TTreeNodes* nodes = form->Tree->Items();
    TOwned<TKDataBranch> first(Add(nullptr, "Objects", 1));
    TKDataBranch* points = Add(first.get(), "Points", 1);
    Add(points, "Cloud");
    Add(first.get(), "Surface");
    Add(first.get(), "Lights");
    FillTreeFromBranch(nullptr, nodes);
    TTreeNode* top = nodes->AddObject(nullptr, "top", nullptr);
    FillNodeFromBranch(first.get(), nodes, top);
    form->Tree->SetSelected(top->Item(0)->Item(0));  // "Cloud"

    TOwned<TKDataBranch> second(Add(nullptr, "Objects", 1));
    TKDataBranch* renamed = Add(second.get(), "Points 2", 0);  // folded, with other children
    Add(renamed, "A");
    Add(renamed, "B");
    TKDataBranch* surface = Add(second.get(), "Surface", 1);  // now with a child, expanded
    TKDataBranch* inside = Add(surface, "Inside");
    first.reset();  // the nodes' old branches are gone, as in the administrator's rebuild
    FillNodeFromBranch(second.get(), nodes, top);
    EXPECT_EQ(form->Tree->Selected(), top);
    EXPECT_EQ(Texts(top), (std::vector<std::string>{"Points 2", "Surface"}));
    EXPECT_EQ(Texts(top->Item(0)), (std::vector<std::string>{"A", "B"}));
    EXPECT_FALSE(top->Item(0)->Expanded());
    EXPECT_TRUE(top->Item(1)->Expanded());
    EXPECT_EQ(NodeBranch(top->Item(0)), renamed);
    EXPECT_EQ(NodeBranch(top->Item(1)->Item(0)), inside);
    EXPECT_EQ(FindNodeByData(static_cast<TObject*>(surface), nodes), top->Item(1));
    EXPECT_EQ(nodes->Count(), 6);

    TOwned<TKDataBranch> empty(Add(nullptr, "Nothing"));
    FillNodeFromBranch(empty.get(), nodes, top);
    EXPECT_EQ(top->Count(), 0);
    EXPECT_EQ(nodes->Count(), 1);
}

// --- the new-object dialog
// -----------------------------------------------------------------------------------
TEST(NewDialog, LeavesAloneShowNoGroupsAndOkStaysDisabled)
{
    TOwned<TKDataBranch> root(Add(nullptr, ""));
    Add(root.get(), "Sphere");
    Add(root.get(), "Box");
    bool checked = false;
    Responder().AnswerDialogResult(IDCANCEL).Doing([&](CWnd& window) {
        auto& dialog = dynamic_cast<TKNewDialog&>(window);
        EXPECT_EQ(dialog.TreeView1->Items()->Count(), 0);
        EXPECT_EQ(dialog.ListView1->Count(), 0);
        EXPECT_FALSE(dialog.OkBtn->Enabled());
        checked = true;
    });
    TKDataBranch* chosen = root.get();
    EXPECT_FALSE(TKNewDialog::Execute(root.get(), nullptr, chosen));
    EXPECT_EQ(chosen, nullptr);
    EXPECT_TRUE(checked);
    EXPECT_EQ(Responder().Asked().back().className, "TKNewDialog");
}

TEST(NewDialog, StartsAtTheInitialGroupOrTheFirstAndADoubleClickTakesAnEntry)
{
    TOwned<TKDataBranch> root(Add(nullptr, ""));
    TKDataBranch* projects = Add(root.get(), "Projects");
    Add(projects, "Kelvora Project");
    TKDataBranch* objects = Add(root.get(), "Standart Objects");
    Add(objects, "Surface 3D");
    TKDataBranch* navigator = Add(objects, "Navigator 3D");

    // An initial branch that is no group: the first group is selected.
    Responder().AnswerDialogResult(IDCANCEL).Doing([&](CWnd& window) {
        auto& dialog = dynamic_cast<TKNewDialog&>(window);
        EXPECT_EQ(dialog.TreeView1->Selected()->Text(), "Projects");
        EXPECT_EQ(dialog.ListView1->Count(), 1);
    });
    TKDataBranch* chosen = nullptr;
    EXPECT_FALSE(TKNewDialog::Execute(root.get(), navigator, chosen));
    EXPECT_TRUE(root->Flag() && projects->Flag() && objects->Flag());  // the whole tree expanded

    // The initial group is selected; a double-click on an entry confirms it.
    Responder().AnswerDialogResult(IDOK).Doing([&](CWnd& window) {
        auto& dialog = dynamic_cast<TKNewDialog&>(window);
        EXPECT_EQ(dialog.TreeView1->Selected()->Text(), "Standart Objects");
        ASSERT_EQ(dialog.ListView1->Count(), 2);
        EXPECT_FALSE(dialog.OkBtn->Enabled());
        CRect item;
        ASSERT_TRUE(static_cast<CListCtrl*>(dialog.ListView1->Window())->GetItemRect(1, &item, LVIR_BOUNDS));
        MouseDoubleClick(*dialog.ListView1->Window(), item.CenterPoint());
        EXPECT_TRUE(dialog.OkBtn->Enabled());
        EXPECT_FALSE(window.ContinueModal());  // the double-click ended it
    });
    EXPECT_TRUE(TKNewDialog::Execute(root.get(), objects, chosen));
    EXPECT_EQ(chosen, navigator);
}

// --- the progress form
// ------------------------------------------------------------------------------------------
namespace {

struct JobHost {
    std::atomic<bool> release{false};
    std::atomic<int> progress{0};
    std::vector<int> states;  // the states reported, on the thread that reported them

    void Succeed(TKThread* thread, TKThreadParams*)
    {
        thread->SetStatusText("Working");
        thread->SetProgressRange(0, 100, 40);
        while (!release.load()) {
            thread->Check();
            Sleep(1);
        }
        thread->SetProgressRange(0, 100, 100);
    }
    void Fail(TKThread*, TKThreadParams*) { throw EInvalidOperation("broken"); }
    void WaitForStop(TKThread* thread, TKThreadParams*)
    {
        for (;;) {
            thread->Check();  // ends the job with EAbort once stopped
            Sleep(1);
        }
    }
    void OnEvent(TObject* sender, int code, std::intptr_t)
    {
        if (code == ktevState) states.push_back(static_cast<TKThread*>(sender)->State());
    }
};

int LiveForms()
{
    return Screen ? Screen->FormCount() : 0;
}

}  // namespace

TEST(ProgressForm, EveryEndingClosesAndFreesTheForm)
{
    JobHost host;
    const TKEventHandler handler = TKEventHandler::Of<&JobHost::OnEvent>(&host);
    const int before = LiveForms();

    // Success, with the percentage shown and a screenshot at 40 %.
    TKThreadForm* form = RunJobInForm("Load Project From : demo.ktp", nullptr, handler,
                                      TKJob::Of<&JobHost::Succeed>(&host), false);
    ASSERT_TRUE(PumpUntil([&] { return form->Thread()->Progress() == 400000; }));
    PumpEvents();
    EXPECT_EQ(form->PercentText(), "40%");
    EXPECT_EQ(form->TaskText->Caption(), "Working");
    form->UpdateWindow();
    EXPECT_FALSE(SaveTestOutput(GrabWholeWindow(*form), "kelvora-progress-form").empty());
    host.release = true;
    EXPECT_TRUE(PumpUntil([&] { return LiveForms() == before; }));

    // Failure.
    RunJobInForm("Failing", nullptr, handler, TKJob::Of<&JobHost::Fail>(&host), false);
    EXPECT_TRUE(PumpUntil([&] { return LiveForms() == before; }));

    // Break stops the job: the state becomes 5.
    form = RunJobInForm("Stopping", nullptr, handler, TKJob::Of<&JobHost::WaitForStop>(&host), false);
    ASSERT_TRUE(PumpUntil([&] { return form->Thread()->State() == ktsRunning; }));
    CWnd& window = *form;
    MouseClick(window, form->BreakBtn->BoundsRect().CenterPoint());
    EXPECT_TRUE(PumpUntil([&] { return LiveForms() == before; }));
    // Each form joined its thread when it went, so every state its worker reported is here.
    EXPECT_EQ(host.states, (std::vector<int>{ktsRunning, ktsDone, ktsIdle, ktsRunning, ktsFailed, ktsIdle,
                                             ktsRunning, ktsCancelled, ktsIdle}));
}

TEST(ProgressForm, ASynchronousJobRunsHereAndTheFormGoesAfterIt)
{
    JobHost host;
    host.release = true;
    const int before = LiveForms();
    RunJobSync("Save Project To : demo.ktp", nullptr, TKEventHandler::Of<&JobHost::OnEvent>(&host),
               TKJob::Of<&JobHost::Succeed>(&host));
    EXPECT_EQ(host.states, (std::vector<int>{ktsRunning, ktsDone}));
    EXPECT_EQ(LiveForms(), before + 1);  // freed once the current message is done
    PumpEvents();
    EXPECT_EQ(LiveForms(), before);
}

TEST(ProgressForm, ThePercentageIsClampedAndTheFormDragsFromAnywhereButBreak)
{
    JobHost host;
    TKThreadForm* form = RunJobInForm("Clamped", nullptr, {}, TKJob::Of<&JobHost::Succeed>(&host), true);
    for (const auto& [progress, text] : std::vector<std::pair<int, std::string>>{
             {0, "0%"}, {9999, "0%"}, {10000, "1%"}, {1000000, "100%"}, {1500000, "100%"}, {-5, "0%"}}) {
        form->Thread()->SetProgress(progress);
        EXPECT_EQ(form->PercentText(), text) << progress;
    }
    const auto hit = [&](CPoint client) {
        const CPoint s = form->ClientToScreen(client);
        return form->SendMessage(WM_NCHITTEST, 0, MAKELPARAM(static_cast<WORD>(s.x), static_cast<WORD>(s.y)));
    };
    EXPECT_EQ(hit(CPoint(100, 80)), static_cast<LRESULT>(HTCAPTION));
    EXPECT_EQ(hit(form->BreakBtn->BoundsRect().CenterPoint()), static_cast<LRESULT>(HTCLIENT));
    host.release = true;
    form->Thread()->Resume();
    EXPECT_TRUE(PumpUntil([&] { return LiveForms() == 0; }));
}

// --- the speed button with reliable hover ----------------------------------------------------------------
TEST(SpeedButtonEx, MovingStraightOntoAnotherLeavesAndEntersWithoutTheTimer)
{
    TOwned<TButtonForm> form(TButtonForm::New(nullptr));
    form->Show();
    auto* first = form->FindControl<TSpeedButtonEx>("First");
    auto* second = form->FindControl<TSpeedButtonEx>("Second");
    MouseMove(*form, CPoint(20, 20));
    EXPECT_EQ(HotSpeedButton(), first);
    EXPECT_TRUE(first->MouseInControl());
    EXPECT_TRUE(SpeedButtonTimerRunning());
    MouseMove(*form, CPoint(50, 20));  // no event loop in between: the timer has not run
    EXPECT_EQ(HotSpeedButton(), second);
    EXPECT_FALSE(first->MouseInControl());
    EXPECT_TRUE(second->MouseInControl());
    MakeSpeedButtonHot(nullptr);
    EXPECT_FALSE(second->MouseInControl());
    EXPECT_FALSE(SpeedButtonTimerRunning());
}

// --- the string holder
// ---------------------------------------------------------------------------------------
TEST(StringResource, KeepsTheLinesOfItsLayoutAndCopiesWhatItIsGiven)
{
    TOwned<TResourceForm> form(TResourceForm::New(nullptr));
    auto* model = form->FindControl<TStringResource>("Model");
    EXPECT_EQ(model->Data()->Text(), "points 2\r\n0 0 0\r\n1 1 1\r\n");
    TOwned<TStringList> lines(TStringList::New());
    lines->Add("one");
    model->SetData(lines.get());
    lines->Add("two");
    EXPECT_EQ(model->Data()->Count(), 1);
    model->SetData(nullptr);
    EXPECT_EQ(model->Data()->Count(), 0);
}

// --- the forms' owner and the dialog's glyphs -------------------------------------------------------------
namespace {

QImage DrawGlyph(QColor colour, int shape)
{
    QImage image(64, 64, QImage::Format_RGB32);
    image.fill(QColor(255, 0, 255));  // the bottom-left pixel: transparent
    QPainter p(&image);
    p.setPen(QPen(Qt::black, 2));
    p.setBrush(colour);
    if (shape == 0) p.drawEllipse(8, 8, 48, 48);
    if (shape == 1) p.drawRect(10, 14, 44, 36);
    if (shape == 2) {
        const QPoint cone[] = {QPoint(32, 6), QPoint(56, 54), QPoint(8, 54)};
        p.drawPolygon(cone, 3);
    }
    return image;
}
QImage SphereGlyph()
{
    return DrawGlyph(QColor(70, 130, 210), 0);
}
QImage SurfaceGlyph()
{
    return DrawGlyph(QColor(90, 170, 90), 1);
}
QImage LightGlyph()
{
    return DrawGlyph(QColor(240, 200, 60), 2);
}
constexpr platform::ImageResource kGlyphs[] = {{0, "TEST_SPHERE_64", nullptr, SphereGlyph},
                                               {0, "TEST_SURFACE_64", nullptr, SurfaceGlyph},
                                               {0, "TEST_LIGHT_64", nullptr, LightGlyph}};
constexpr platform::ModuleResources kGlyphResources{.module = "glyph test", .bitmaps = kGlyphs};
const platform::ModuleResourceRegistration kGlyphRegistration(kGlyphResources);

/// Gives cls the test picture name as its 64-pixel glyph.
void GiveGlyph(const char* name, TClass cls)
{
    CBitmap bitmap;
    ASSERT_TRUE(bitmap.LoadBitmap(name));
    const std::int32_t id = AddGlyph(64, &bitmap, true);
    ASSERT_GE(id, 0);
    SetClassGlyph(64, cls, id);
}

}  // namespace

TEST(PluginForms, AFormWithoutParentIsOwnedByMainWindowZero)
{
    TOwned<TButtonForm> main(TButtonForm::New(nullptr));
    main->Show();
    RegisterMainWindow(main.get(), nullptr);
    {
        TOwned<TButtonForm> form(TButtonForm::New(nullptr));
        EXPECT_EQ(form->GetOwner(), static_cast<CWnd*>(main.get()));
        form->Show();
        const std::vector<HWND> order = platform::TopLevelZOrder();
        EXPECT_LT(std::find(order.begin(), order.end(), form->GetSafeHwnd()),
                  std::find(order.begin(), order.end(), main->GetSafeHwnd()));
        main->Hide();
        EXPECT_FALSE(form->IsWindowVisible());
        main->Show();
        EXPECT_TRUE(form->IsWindowVisible());
    }
    UnregisterMainWindow(main.get(), nullptr);
    TOwned<TButtonForm> alone(TButtonForm::New(nullptr));
    EXPECT_EQ(alone->GetOwner(), nullptr);
}

TEST(NewDialog, ScreenshotOfGroupsWithTheirGlyphs)
{
    GiveGlyph("TEST_SPHERE_64", TKDataBranch::StaticClass());
    GiveGlyph("TEST_SURFACE_64", TKBranch::StaticClass());
    GiveGlyph("TEST_LIGHT_64", TKThread::StaticClass());
    TOwned<TKDataBranch> root(Add(nullptr, ""));
    TKDataBranch* projects = Add(root.get(), "Projects");
    Add(projects, "Kelvora Project", 0, TKData::OfClass(TKBranch::StaticClass()));
    TKDataBranch* objects = Add(root.get(), "Standart Objects");
    Add(objects, "Sphere", 0, TKData::OfClass(TKDataBranch::StaticClass()));
    Add(objects, "Surface 3D", 0, TKData::OfClass(TKBranch::StaticClass()));
    Add(objects, "Point Light", 0, TKData::OfClass(TKThread::StaticClass()));
    Add(objects, "Navigator 3D");
    TKDataBranch* lights = Add(objects, "Lights");
    Add(lights, "Ambient", 0, TKData::OfClass(TKThread::StaticClass()));

    Responder().AnswerDialogResult(IDCANCEL).Doing([&](CWnd& window) {
        auto& dialog = dynamic_cast<TKNewDialog&>(window);
        ASSERT_EQ(dialog.ListView1->Count(), 4);
        EXPECT_EQ(dialog.ListView1->Item(0)->ImageIndex(), ClassGlyphIndex64(TKDataBranch::StaticClass()));
        EXPECT_GE(dialog.ListView1->Item(0)->ImageIndex(), 0);
        EXPECT_EQ(dialog.ListView1->Item(3)->ImageIndex(), -1);  // no glyph: no picture
        dialog.ListView1->Item(1)->SetSelected(true);
        EXPECT_TRUE(dialog.OkBtn->Enabled());
        PumpEvents();
        dialog.UpdateWindow();
        EXPECT_FALSE(SaveTestOutput(GrabWholeWindow(dialog), "kelvora-new-dialog").empty());
    });
    TKDataBranch* chosen = nullptr;
    EXPECT_FALSE(TKNewDialog::Execute(root.get(), objects, chosen));
}
