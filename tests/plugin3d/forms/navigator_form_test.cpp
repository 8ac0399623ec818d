// The navigator window driven as a user drives it: picking bases, typing, holding step
// buttons, dragging in the dial, the switches, and its project object's record in the
// project file.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <numbers>
#include <span>
#include <string>

#include "platform/forms/comctrls.h"
#include "platform/forms/exceptions.h"
#include "platform/forms/extctrls.h"
#include "platform/forms/stdctrls.h"
#include "platform/window/nonclient.h"
#include "plugin3d/forms/button_ex.h"
#include "plugin3d/forms/k_administrator.h"
#include "plugin3d/forms/k_finders.h"
#include "plugin3d/forms/k_flat_caption.h"
#include "plugin3d/forms/k_navigator3d.h"
#include "plugin3d/forms/k_new_dialog.h"
#include "plugin3d/forms/k_tree_mirror.h"
#include "plugin3d/model/core/k_interfaces.h"
#include "plugin3d/model/core/k_project.h"
#include "plugin3d/model/render/k_basis3d.h"
#include "plugin3d/model/scene/k_custom3d_lists.h"
#include "plugin3d/model/scene/k_drawing_system3d.h"
#include "plugin3d/model/scene/k_eye_system3d.h"
#include "plugin3d/model/scene/k_point_constructions.h"
#include "plugin3d/model/scene/k_project3d.h"
#include "plugin3d/model/scene/k_project_helpers.h"
#include "plugin3d/model/scene/k_scene3d.h"
#include "plugin3d/resources/navigator_models.h"
#include "tests/plugin3d/model/core/core_test_support.h"
#include "platform/controls/tree_ctrl.h"
#include "tests/support/modal_responder.h"
#include "tests/support/ui_helpers.h"

using kelvora::test::MemoryStream;
using tarvenix::test::GrabWholeWindow;
using tarvenix::test::MouseClick;
using tarvenix::test::MouseMove;
using tarvenix::test::MousePress;
using tarvenix::test::MouseRelease;
using tarvenix::test::PumpEvents;
using tarvenix::test::Responder;
using tarvenix::test::SaveTestOutput;

namespace {

// A project with two cameras whose bases the navigator places, and a navigator object.
struct NavigatorWorld {
    TOwned<TKelvora3DProject> project{TKelvora3DProject::New(nullptr)};
    TKEyeSystem3D* master = nullptr;
    TKEyeSystem3D* slave = nullptr;
    TKNavigator3DContainerObject* container = nullptr;
    TKNavigator3D* nav = nullptr;

    NavigatorWorld()
    {
        master = TKEyeSystem3D::New(nullptr);
        slave = TKEyeSystem3D::New(nullptr);
        master->SetName("Master Camera");
        slave->SetName("Slave Camera");
        project->AddObject(nullptr, master);
        project->AddObject(nullptr, slave);
        TMatrix3D turn;
        RotationMatrix({0, 0, 1}, std::numbers::pi / 2, turn);
        MatrixScale(turn, 2.0, turn);
        master->Basis()->SetPlacement(turn, {1, 2, 3});
        slave->Basis()->SetPlacement(TMatrix3D{}, {1, 4, 3});  // (1, 0, 0) in the master's axes
        container = TKNavigator3DContainerObject::New(nullptr);
        container->SetName("Navigator Test");
        project->AddObject(nullptr, container);
        nav = container->Navigator();
    }

    void Open()
    {
        container->Operation(4098, reinterpret_cast<std::intptr_t>(container));
        PumpEvents();
    }
    void Pick()
    {
        nav->SetMaster(master->Basis());
        nav->SetSlave(slave->Basis());
    }
    TVector3D SlaveOrigin() const
    {
        TVector3D o;
        slave->Basis()->GetOrigin(o);
        return o;
    }
    CPoint Centre(TControl* control) const { return control->BoundsRect().CenterPoint(); }
    CPoint InDial(int x, int y) const { return {nav->PaintBox1->Left() + x, nav->PaintBox1->Top() + y}; }
};

double Number(TEdit* edit)
{
    double value = NAN;
    StrToFloatDot(edit->Text(), value);
    return value;
}

void ExpectNear(const TVector3D& a, const TVector3D& b, double tolerance)
{
    EXPECT_NEAR(a.x, b.x, tolerance);
    EXPECT_NEAR(a.y, b.y, tolerance);
    EXPECT_NEAR(a.z, b.z, tolerance);
}

TEST(NavigatorForm, BasisNamesShowWholeBeforeTheirPickButtons)
{
    NavigatorWorld w;
    w.Open();
    w.Pick();
    // Names as users give them; the labels size to their text and must end before the
    // "..." buttons that would cover them.
    for (const char* name : {"Master Camera", "Camera over the hill", "Surface basis 12"}) {
        w.master->Basis()->SetName(name);
        w.slave->Basis()->SetName(name + std::string(" (2)"));
        EXPECT_EQ(w.nav->MasterLabel->Caption(), name);
        EXPECT_EQ(w.nav->SlaveLabel->Caption(), name + std::string(" (2)"));
        EXPECT_LE(w.nav->MasterLabel->Left() + w.nav->MasterLabel->Width(), w.nav->MasterBtn->Left()) << name;
        EXPECT_LE(w.nav->SlaveLabel->Left() + w.nav->SlaveLabel->Width(), w.nav->SlaveBtn->Left()) << name;
    }
    EXPECT_FALSE(SaveTestOutput(GrabWholeWindow(*w.nav), "kelvora-navigator-names").empty());
}

TEST(NavigatorForm, ShowsTheSlaveInTheMastersAxesAndWritesTypedValuesOnApply)
{
    NavigatorWorld w;
    w.Open();
    ASSERT_TRUE(w.nav->Visible());
    EXPECT_EQ(w.nav->KFlatCaption1->Caption(), "Navigator Test");
    EXPECT_EQ(w.nav->ClientWidth(), w.nav->MoreMemo->Left() - 1);  // More is up
    EXPECT_EQ(w.nav->MasterLabel->Caption(), "- No Object -");
    EXPECT_EQ(w.nav->IncLabel->Caption(), "Step :  1");

    w.Pick();
    EXPECT_EQ(w.nav->MasterLabel->Caption(), "Master Camera");
    EXPECT_EQ(w.nav->SlaveLabel->Caption(), "Slave Camera");
    // The slave lies one unit along the master's x axis (scaled by 2, turned by 90 degrees).
    EXPECT_EQ(w.nav->EditX->Text(), "1");
    EXPECT_EQ(w.nav->EditY->Text(), "0");
    EXPECT_EQ(w.nav->EditD->Text(), "1");
    // Its axes are the master's turned back a quarter: X-Y-X angles 90, -90, 90.
    EXPECT_EQ(w.nav->EditA->Text(), "90");
    EXPECT_EQ(w.nav->EditB->Text(), "-90");
    EXPECT_EQ(w.nav->EditC->Text(), "90");

    // Picking the master as slave, or the slave as master, changes nothing.
    w.nav->SetSlave(w.master->Basis());
    w.nav->SetMaster(w.slave->Basis());
    EXPECT_EQ(w.nav->Master(), w.master->Basis());
    EXPECT_EQ(w.nav->Slave(), w.slave->Basis());

    // Typing moves nothing until Apply.
    w.nav->EditY->SetText("");
    w.nav->EditY->TypeText("-1.5");
    EXPECT_DOUBLE_EQ(w.nav->State().v.y, -1.5);
    EXPECT_EQ(w.nav->EditY->Text(), "-1.5");
    ExpectNear(w.SlaveOrigin(), {1, 4, 3}, 1e-12);
    MouseClick(*w.nav, w.Centre(w.nav->ApplyBtn));
    ExpectNear(w.SlaveOrigin(), {1 + 3, 4, 3}, 1e-12);  // master.o + 2 Rz(90) (1, -1.5, 0)

    // The distance box scales v; 0.01 or less is refused and the box keeps what was typed.
    w.nav->EditD->SetText("");
    w.nav->EditD->TypeText("0.01");
    EXPECT_NEAR(w.nav->State().Distance(), std::hypot(1, 1.5), 1e-12);
    EXPECT_EQ(w.nav->EditD->Text(), "0.01");
    w.nav->EditD->TypeText("5");
    EXPECT_NEAR(w.nav->State().Distance(), 0.015, 1e-12);
    MouseClick(*w.nav, w.Centre(w.nav->MinusBtn));
    EXPECT_NEAR(w.nav->State().Distance(), 0.015 * 1.25, 1e-12);
    MouseClick(*w.nav, w.Centre(w.nav->PlusBtn));
    MouseClick(*w.nav, w.Centre(w.nav->PlusBtn));
    EXPECT_NEAR(w.nav->State().Distance(), 0.012, 1e-12);
    MouseClick(*w.nav, w.Centre(w.nav->PlusBtn));  // would reach 0.0096
    EXPECT_NEAR(w.nav->State().Distance(), 0.012, 1e-12);
}

TEST(NavigatorForm, NumberBoxesTakeOnlyWhatANumberCanHold)
{
    NavigatorWorld w;
    w.Open();
    TEdit* edit = w.nav->EditZ;
    edit->SetText("");
    edit->TypeText("-1x-2.5.3 e7");
    EXPECT_EQ(edit->Text(), "-12.537");
    edit->TypeText("1234567890");
    EXPECT_EQ(edit->Text().size(), 13u);
    EXPECT_DOUBLE_EQ(w.nav->State().v.z, Number(edit));
}

TEST(NavigatorForm, AStepButtonHeldForThirtyTicksAddsEightyStepsAndTheViewersRedraw)
{
    kelvora::test::EventLog log;  // outlives the viewer, which tells it its end
    NavigatorWorld w;
    w.Open();
    w.Pick();
    TKDrawingSystem3D* viewer = TKDrawingSystem3D::New(nullptr);
    w.project->AddObject(nullptr, viewer);
    w.project->SetViewerCamera(viewer, w.master);
    ASSERT_TRUE(kelvora::test::WaitUntil([&] { return !w.project->InSceneEdit(); }));
    viewer->Events().Add(log.Handler());
    const auto repainted = [&] {
        for (int code : log.Codes())
            if (code == kevPictureRepainted) return true;
        return false;
    };

    w.nav->IncBar->SetPosition(6);
    EXPECT_EQ(w.nav->IncLabel->Caption(), "Step : 1e-6");
    w.nav->IncBar->SetPosition(0);
    EXPECT_EQ(w.nav->IncLabel->Caption(), "Step :  1");

    // The test gives the ticks itself: the real 100 ms timer is slowed down so that no tick
    // of the clock slips in between.
    EXPECT_EQ(w.nav->Timer1->Interval(), 100u);
    w.nav->Timer1->SetInterval(3600000);
    const CPoint up = w.Centre(w.nav->StepButtons[0]);  // X up
    MousePress(*w.nav, up);
    EXPECT_TRUE(w.nav->Timer1->Enabled());
    EXPECT_EQ(w.project->Interactive(), 1);
    for (int tick = 1; tick < 30; ++tick) w.nav->Timer1->OnTimer(w.nav->Timer1);
    EXPECT_DOUBLE_EQ(w.nav->State().v.x, 1 + 80);
    ExpectNear(w.SlaveOrigin(), {1, 2 + 2 * 81, 3}, 1e-9);  // the master's x axis is 2 world y
    for (int tick = 30; tick < 83; ++tick) w.nav->Timer1->OnTimer(w.nav->Timer1);
    const double before = w.nav->State().v.x;
    w.nav->Timer1->OnTimer(w.nav->Timer1);
    EXPECT_DOUBLE_EQ(w.nav->State().v.x - before, 512);

    log.Clear();
    MouseRelease(*w.nav, up);
    EXPECT_FALSE(w.nav->Timer1->Enabled());
    EXPECT_EQ(w.project->Interactive(), 0);
    EXPECT_TRUE(kelvora::test::WaitUntil(repainted));  // the project's job drew the viewer again
}

TEST(NavigatorForm, ADragInTheDialTurnsTheSlaveAndTheFixerKeepsItsDirection)
{
    NavigatorWorld w;
    w.Open();
    w.Pick();
    // Outside the dial's circle: a spin about the view axis, here a quarter turn.
    const TMatrix3D start = w.nav->State().m;
    MousePress(*w.nav, w.InDial(158, 80));
    MouseMove(*w.nav, w.InDial(80, 2), Qt::LeftButton);
    MouseRelease(*w.nav, w.InDial(80, 2));
    TMatrix3D spin, expected;
    RotationMatrix({0, 0, 1}, std::numbers::pi / 2, spin);
    MatrixMul(spin, start, expected);
    for (int i = 0; i < 9; ++i) EXPECT_NEAR(w.nav->State().m.m[i], expected.m[i], 1e-12);
    // The slave took it: its axes are the master's times the new m.
    TMatrix3D world;
    MatrixMul(w.master->Basis()->Matrix(), w.nav->State().m, world);
    for (int i = 0; i < 9; ++i) EXPECT_NEAR(w.slave->Basis()->Matrix().m[i], world.m[i], 1e-12);

    // With the fixer, a tilt turns the slave about itself and moves it round the master so
    // that the master stays in the same direction from the slave.
    MouseClick(*w.nav, w.Centre(w.nav->FixerBtn));
    ASSERT_TRUE(w.nav->FixerBtn->Down());
    TVector3D f;
    VectorNormalize(w.nav->State().f, f);
    MousePress(*w.nav, w.InDial(70, 90));
    MouseMove(*w.nav, w.InDial(73, 94), Qt::LeftButton);
    MouseRelease(*w.nav, w.InDial(73, 94));
    TVector3D seen, dir;
    MatrixMulVector(w.nav->State().minv, w.nav->State().v, seen);
    VectorNormalize({-seen.x, -seen.y, -seen.z}, dir);
    ExpectNear(dir, f, 1e-9);
    EXPECT_NEAR(w.nav->State().Distance(), 1, 1e-12);

    // A longer tilt shows the frame turned in the dial.
    MousePress(*w.nav, w.InDial(60, 100));
    MouseMove(*w.nav, w.InDial(85, 75), Qt::LeftButton);
    MouseRelease(*w.nav, w.InDial(85, 75));
    PumpEvents();
    EXPECT_FALSE(SaveTestOutput(GrabWholeWindow(*w.nav), "kelvora-navigator").empty());
}

TEST(NavigatorForm, TheMemoShowsBothDirectionsAndMSShowsTheMasterFromTheSlave)
{
    NavigatorWorld w;
    w.Open();
    w.Pick();
    MouseClick(*w.nav, w.Centre(w.nav->MoreBtn));
    EXPECT_EQ(w.nav->ClientWidth(), w.nav->MoreMemo->Left() + w.nav->MoreMemo->Width() + 1);
    MouseClick(*w.nav, w.Centre(w.nav->MS_Btn));
    ASSERT_TRUE(w.nav->MS_Btn->Down());
    // The master seen from the slave: -(minv v) = -(2 Rz(90) (1, 0, 0)) = (0, -2, 0).
    EXPECT_EQ(w.nav->EditX->Text(), "0");
    EXPECT_EQ(w.nav->EditY->Text(), "-2");
    EXPECT_EQ(w.nav->EditC->Text(), "-90");  // the angles of minv: a quarter turn back
    const std::vector<std::string> lines = w.nav->MoreMemo->Lines();
    ASSERT_GE(lines.size(), 14u);
    EXPECT_EQ(lines[0], " Slave Direct Basis Informations ");
    EXPECT_EQ(lines[2], "   (   1.0000;   0.0000;   0.0000 ) ");
    EXPECT_EQ(lines[8], " Slave Inverse Basis Informations ");
    EXPECT_EQ(lines[10], "   (   0.0000;  -2.0000;   0.0000 ) ");
    EXPECT_FALSE(SaveTestOutput(GrabWholeWindow(*w.nav), "kelvora-navigator-more").empty());
}

TEST(NavigatorForm, ADestroyedBasisIsForgotten)
{
    NavigatorWorld w;
    w.Open();
    w.Pick();
    w.slave->Free();
    EXPECT_EQ(w.nav->Slave(), nullptr);
    EXPECT_EQ(w.nav->SlaveLabel->Caption(), "- No Object -");
    MouseClick(*w.nav, w.Centre(w.nav->ApplyBtn));  // no slave: nothing happens
    w.master->Free();
    EXPECT_EQ(w.nav->MasterLabel->Caption(), "- No Object -");
}

TEST(NavigatorForm, RegisteredAsANewStandardObject)
{
    const TClass cls = TKNavigator3DContainerObject::StaticClass();
    EXPECT_EQ(GetClassCaption(cls), "Navigator 3D");
    EXPECT_GE(GetClassGlyphIndex(64, cls), 0);
    TKDataBranch* items = GetClassInfoBranch(TKCustomChangeObjectList::StaticClass(), kciSubItems, false);
    ASSERT_NE(items, nullptr);
    TKDataBranch* standard = items->FindChildByName("Standart Objects", true);
    ASSERT_NE(standard, nullptr);
    TKDataBranch* entry = standard->FindChildByName("Navigator 3D", true);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->Data().AsClass(), cls);
}

// --- the project file

TEST(NavigatorRecord, IsThirtyTwoBytesAndRefusesABadAxisOrStep)
{
    NavigatorWorld w;
    w.Pick();
    MemoryStream plain, named;
    const int nameBytes = w.container->TKCustomChangeObject::SaveToStream(&named);
    EXPECT_EQ(w.container->SaveToStream(&plain), nameBytes + kNavigatorPayloadSize);
    EXPECT_EQ(w.container->SaveToStream(nullptr), -1);

    struct Bad {
        int offset;
        std::int32_t value;
    };
    for (const Bad bad : {Bad{8, 4}, Bad{8, 0}, Bad{12, 7}, Bad{12, -1}}) {
        SCOPED_TRACE(::testing::Message() << "offset " << bad.offset << " value " << bad.value);
        MemoryStream stream;
        stream.bytes = plain.bytes;
        std::memcpy(stream.bytes.data() + nameBytes + bad.offset, &bad.value, 4);
        TOwned<TKNavigator3DContainerObject> loaded(TKNavigator3DContainerObject::New(nullptr));
        try {
            loaded->LoadFromStream(&stream);
            ADD_FAILURE() << "loaded";
        } catch (const EStreamError& error) {
            EXPECT_NE(std::string(error.what()).find("Can't load : Invalid Value"), std::string::npos);
        }
    }
}

TEST(NavigatorRecord, AProjectLoadLinksTheBasesAndReopensTheWindowAtItsDepth)
{
    const auto dir = std::filesystem::temp_directory_path() / "kelvora-navigator-record";
    std::filesystem::create_directories(dir);
    const std::string file = (dir / "navigator.ktp").string();
    {
        NavigatorWorld w;
        w.Open();
        w.Pick();
        MouseClick(*w.nav, w.Centre(w.nav->ButtonC));
        MouseClick(*w.nav, w.Centre(w.nav->FixerBtn));
        MouseClick(*w.nav, w.Centre(w.nav->MoreBtn));
        w.nav->IncBar->SetPosition(3);
        w.nav->SetBounds(40, 50, w.nav->Width(), w.nav->Height());
        ASSERT_EQ(w.project->CustomObjects()->Count(), 1);
        w.project->SaveToFile(file);
        ASSERT_TRUE(std::filesystem::exists(file));
    }
    TOwned<TKProject> loaded(CreateProjectFromFile(file));
    loaded->LoadFromFile(file);
    auto* project = ObjectAs<TKelvora3DProject>(loaded.get());
    ASSERT_NE(project, nullptr);
    TKNavigator3DContainerObject* container = nullptr;
    for (int i = 0; i < project->CustomObjects()->Count(); ++i)
        if (auto* c = ObjectAs<TKNavigator3DContainerObject>(project->CustomObjects()->GetItem(i)))
            container = c;
    ASSERT_NE(container, nullptr) << project->CustomObjects()->Count() << " custom objects";
    TKNavigator3D* nav = container->Navigator();
    ASSERT_NE(nav->Master(), nullptr);
    ASSERT_NE(nav->Slave(), nullptr);
    EXPECT_EQ(nav->MasterLabel->Caption(), "Master Camera");
    EXPECT_EQ(nav->SlaveLabel->Caption(), "Slave Camera");
    EXPECT_EQ(nav->KFlatCaption1->Caption(), "Navigator Test");
    EXPECT_TRUE(nav->ButtonC->Down());
    EXPECT_TRUE(nav->FixerBtn->Down());
    EXPECT_TRUE(nav->MoreBtn->Down());
    EXPECT_EQ(nav->IncLabel->Caption(), "Step : 1e-3");
    EXPECT_NEAR(nav->State().v.x, 1, 1e-12);
    EXPECT_TRUE(nav->Visible());  // it was open: the load shows it again
    EXPECT_EQ(nav->Left(), 40);
    EXPECT_EQ(nav->Top(), 50);
    loaded.reset();
    std::filesystem::remove_all(dir);
}

}  // namespace

// --- end to end, as a new user goes

namespace {

CRect LabelRect(TKAdministrator& admin, TTreeNode* node)
{
    CRect rect;
    static_cast<CTreeCtrl*>(admin.TreeView1->Window())->GetItemRect(node->ItemId(), &rect, TRUE);
    return rect;
}

TTreeNode* AdminNode(TKAdministrator& admin, TObject* object)
{
    TKDataBranch* branch = admin.BranchOf(object);
    return branch ? FindNodeByData(static_cast<TObject*>(branch), admin.TreeView1->Items()) : nullptr;
}

// Answers the basis finder with Ok on the node of basis.
void AnswerFinderWith(TKBasis3D* basis)
{
    Responder().AnswerDialogCommand(IDOK).Doing([basis](CWnd& window) {
        auto* finder = dynamic_cast<TKObject3DFinder*>(&window);
        ASSERT_NE(finder, nullptr);
        TKDataBranch* branch = finder->Root()->FindDataInTree(TKData::OfObject(basis));
        ASSERT_NE(branch, nullptr);
        finder->TreeView1->SetSelected(
            FindNodeByData(static_cast<TObject*>(branch), finder->TreeView1->Items()));
    });
}

}  // namespace

// The administrator opens the navigator from its node each time, by the right-click menu's
// Open or by a double-click, whichever node was selected or opened before.
TEST(NavigatorEndToEnd, OpenAndADoubleClickOpenTheNavigatorEveryTime)
{
    TOwned<TKAdministrator> admin(TKAdministrator::New(nullptr));
    admin->SetBounds(40, 40, 300, 360);
    ASSERT_TRUE(admin->NewProject(TKelvora3DProject::StaticClass()));
    auto* project = ObjectAs<TKelvora3DProject>(admin->Project());
    ASSERT_NE(project, nullptr);
    TKEyeSystem3D* camera = TKEyeSystem3D::New();
    camera->SetName("Camera");
    project->AddObject(nullptr, camera);
    auto* container = TKNavigator3DContainerObject::New(nullptr);
    container->SetName("Navigator Test");
    project->AddObject(nullptr, container);
    admin->Show();
    PumpEvents();
    CWnd& tree = *admin->TreeView1->Window();
    const auto labelOf = [&](TObject* object) {
        TTreeNode* node = AdminNode(*admin, object);
        for (TTreeNode* up = node ? node->Parent() : nullptr; up; up = up->Parent()) up->Expand(false);
        PumpEvents();
        const CRect rect = LabelRect(*admin, AdminNode(*admin, object));
        return CPoint(rect.left + 4, rect.CenterPoint().y);
    };
    TKNavigator3D* nav = container->Navigator();
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        MouseClick(tree, labelOf(camera));  // another node first
        PumpEvents();
        Responder().AnswerPopupMenu(1);  // Open
        MouseClick(tree, labelOf(container), Qt::RightButton);
        PumpEvents();
        EXPECT_TRUE(nav->Visible());
        nav->Hide();
        MouseClick(tree, labelOf(camera));
        PumpEvents();
        tarvenix::test::MouseDoubleClick(tree, labelOf(container));
        PumpEvents();
        EXPECT_TRUE(nav->Visible());
        nav->Hide();
    }
}

TEST(NavigatorEndToEnd, NewNavigatorPicksItsBasesStepsTheSlaveAndTurnsIt)
{
    kelvora::test::EventLog log;  // outlives the viewer
    TOwned<TKAdministrator> admin(TKAdministrator::New(nullptr));
    admin->SetBounds(40, 40, 300, 360);
    ASSERT_TRUE(admin->NewProject(TKelvora3DProject::StaticClass()));
    auto* project = ObjectAs<TKelvora3DProject>(admin->Project());
    ASSERT_NE(project, nullptr);
    TKEyeSystem3D* master = TKEyeSystem3D::New();
    TKEyeSystem3D* slave = TKEyeSystem3D::New();
    master->SetName("Master Camera");
    slave->SetName("Slave Camera");
    project->AddObject(nullptr, master);
    project->AddObject(nullptr, slave);
    slave->Basis()->SetPlacement(TMatrix3D{}, {0, 0, 5});
    TKDrawingSystem3D* viewer = TKDrawingSystem3D::New();
    project->AddObject(nullptr, viewer);
    project->SetViewerCamera(viewer, master);
    admin->Show();
    PumpEvents();

    // New on the project's custom objects offers "Navigator 3D" among the standard objects.
    admin->TreeView1->SetSelected(AdminNode(*admin, project->CustomObjects()));
    Responder().AnswerDialogCommand(IDOK).Doing([](CWnd& window) {
        auto* dialog = dynamic_cast<TKNewDialog*>(&window);
        ASSERT_NE(dialog, nullptr);
        TTreeNodes* groups = dialog->TreeView1->Items();
        for (int i = 0; i < groups->Count(); ++i)
            if (groups->Item(i)->Text() == "Standart Objects")
                dialog->TreeView1->SetSelected(groups->Item(i));
        for (int i = 0; i < dialog->ListView1->Count(); ++i)
            if (dialog->ListView1->Item(i)->Caption() == "Navigator 3D")
                dialog->ListView1->SetSelected(dialog->ListView1->Item(i));
        ASSERT_NE(dialog->ListView1->Selected(), nullptr);
    });
    const CRect newRect = admin->ToolBar1->ButtonRect(admin->NewBtn);
    MouseClick(*admin->ToolBar1->Window(), CPoint(newRect.left + 6, newRect.CenterPoint().y));
    ASSERT_EQ(project->CustomObjects()->Count(), 1);
    auto* container = ObjectAs<TKNavigator3DContainerObject>(project->CustomObjects()->GetItem(0));
    ASSERT_NE(container, nullptr);

    // A double-click on its node opens the navigator.
    TTreeNode* node = AdminNode(*admin, container);
    ASSERT_NE(node, nullptr);
    const CRect label = LabelRect(*admin, node);
    tarvenix::test::MouseDoubleClick(*admin->TreeView1->Window(),
                                     CPoint(label.left + 4, label.CenterPoint().y));
    TKNavigator3D* nav = container->Navigator();
    ASSERT_TRUE(nav->Visible());

    AnswerFinderWith(master->Basis());
    MouseClick(*nav, nav->MasterBtn->BoundsRect().CenterPoint());
    AnswerFinderWith(slave->Basis());
    MouseClick(*nav, nav->SlaveBtn->BoundsRect().CenterPoint());
    ASSERT_EQ(nav->Master(), master->Basis());
    ASSERT_EQ(nav->Slave(), slave->Basis());
    EXPECT_EQ(nav->EditZ->Text(), "-5");  // a camera looks down its own -z

    // X up held for 30 ticks: 80 steps of 1.
    viewer->Events().Add(log.Handler());
    nav->Timer1->SetInterval(3600000);  // the test gives the ticks
    const CPoint up = nav->StepButtons[0]->BoundsRect().CenterPoint();
    MousePress(*nav, up);
    for (int tick = 1; tick < 30; ++tick) nav->Timer1->OnTimer(nav->Timer1);
    TVector3D origin;
    slave->Basis()->GetOrigin(origin);
    ExpectNear(origin, {80, 0, 5}, 1e-9);
    MouseRelease(*nav, up);
    EXPECT_TRUE(kelvora::test::WaitUntil([&] {
        for (int code : log.Codes())
            if (code == kevPictureRepainted) return true;
        return false;
    }));

    // A drag across the dial's rim spins the slave about the view axis: a quarter turn
    // clockwise on the screen, in the master's axes.
    const TMatrix3D before = nav->State().m;
    MousePress(*nav, CPoint(nav->PaintBox1->Left() + 158, nav->PaintBox1->Top() + 80));
    MouseMove(*nav, CPoint(nav->PaintBox1->Left() + 80, nav->PaintBox1->Top() + 158), Qt::LeftButton);
    MouseRelease(*nav, CPoint(nav->PaintBox1->Left() + 80, nav->PaintBox1->Top() + 158));
    TMatrix3D quarter, turned, world;
    RotationMatrix({0, 0, 1}, -std::numbers::pi / 2, quarter);
    MatrixMul(quarter, before, turned);
    MatrixMul(master->Basis()->Matrix(), turned, world);
    for (int i = 0; i < 9; ++i) EXPECT_NEAR(slave->Basis()->Matrix().m[i], world.m[i], 1e-12);
    viewer->Events().Remove(log.Handler());
}

// --- the preview's two models

TEST(NavigatorModels, DialAndReperHoldThePointsAndTiesTheyDescribe)
{
    struct Model {
        const char* name;
        std::span<const char* const> text;
        int points, lines, triangles;
    };
    const Model models[] = {{"dial", kelvora_models::kNavigatorDialData, 36, 12, 4},
                            {"reper", kelvora_models::kNavigatorReperData, 96, 78, 17}};
    for (const Model& model : models) {
        SCOPED_TRACE(model.name);
        std::string text;
        for (const char* line : model.text) text += std::string(line) + "\r\n";
        TOwned<TKTiesConstruction3D> ties(TKTiesConstruction3D::New());
        TKTiesConstruction3D::LoadFromText(ties.get(), text);
        ASSERT_EQ(ties->PointCount(), model.points);
        int lineTies = 0, triangleTies = 0;
        for (int i = 0; i < ties->TieCount(); ++i) {
            const TKCustomTie3D* tie = ties->GetTie(i);
            ASSERT_NE(tie, nullptr);
            lineTies += tie->Kind() == ktkLine;
            triangleTies += tie->Kind() == ktkTriangle;
            for (int k = 0; k < tie->IndexCount(); ++k) {
                EXPECT_GE(tie->Index(k), 0);
                EXPECT_LT(tie->Index(k), model.points);
            }
        }
        EXPECT_EQ(lineTies, model.lines);
        EXPECT_EQ(triangleTies, model.triangles);
        EXPECT_EQ(ties->TieCount(), model.lines + model.triangles);
    }

    // The reper: three unit circles, the cone bases light grey, the rest white.
    std::string text;
    for (const char* line : kelvora_models::kNavigatorReperData) text += std::string(line) + "\r\n";
    TOwned<TKTiesConstruction3D> reper(TKTiesConstruction3D::New());
    TKTiesConstruction3D::LoadFromText(reper.get(), text);
    for (int i = 0; i < 72; ++i) {
        const TVector3S& p = reper->GetPoint(i)->Position;
        EXPECT_NEAR(std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z), 1, 1e-4) << "point " << i;
    }
    for (int i = 0; i < 96; ++i)
        EXPECT_FLOAT_EQ(reper->GetPoint(i)->Color.x, i >= 78 && i <= 86 ? 0.8f : 1.0f) << "point " << i;
}

TEST(NavigatorForm, ItsBasisPickerStaysAboveItWhenItIsKeptOnTop)
{
    // Every plug-in window hangs from one owner, the picker too.
    TOwned<TKAdministrator> owner(TKAdministrator::New(nullptr));
    owner->Show();
    RegisterMainWindow(owner.get(), nullptr);
    NavigatorWorld w;
    w.Open();
    w.nav->KFlatCaption1->SetStayOnTop(true);  // the caption's pin
    ASSERT_TRUE(w.nav->GetExStyle() & WS_EX_TOPMOST);
    const auto depth = [](const CWnd& window) {
        const std::vector<HWND> order = platform::TopLevelZOrder();
        return std::find(order.begin(), order.end(), window.GetSafeHwnd()) - order.begin();
    };
    bool asked = false;
    Responder().AnswerDialogCommand(IDCANCEL).Doing([&](CWnd& picker) {
        asked = true;
        EXPECT_LT(depth(picker), depth(*w.nav));
        // The user's first click in it (on its tree) leaves it where it is.
        auto* finder = dynamic_cast<TKObject3DFinder*>(&picker);
        ASSERT_NE(finder, nullptr);
        MouseClick(*finder->TreeView1->Window(), CPoint(4, 4));
        PumpEvents();
        EXPECT_LT(depth(picker), depth(*w.nav));
        CRect shown;
        picker.GetWindowRect(&shown);
        CWnd* under = CWnd::FromHandle(::WindowFromPoint(shown.CenterPoint()));
        EXPECT_EQ(under ? under->GetTopLevelParent() : nullptr, &picker);  // nothing covers it
    });
    MouseClick(*w.nav, w.nav->SlaveBtn->BoundsRect().CenterPoint());
    EXPECT_TRUE(asked);
    EXPECT_TRUE(w.nav->GetExStyle() & WS_EX_TOPMOST);  // still pinned once the picker went
    UnregisterMainWindow(owner.get(), nullptr);
}
