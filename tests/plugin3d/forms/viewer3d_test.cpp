// The 3D viewer window, its setup form and the camera picker: the window a drawing system
// gets, its place in the drawing system's record, resizing, saving the picture, the popup
// entries, and the setup form's pages.

#include <cstdint>
#include <filesystem>
#include <fstream>

#include <QImage>
#include <gtest/gtest.h>

#include "platform/forms/comctrls.h"
#include "platform/forms/extctrls.h"
#include "platform/forms/graphics.h"
#include "platform/forms/grids.h"
#include "platform/forms/menus.h"
#include "platform/forms/stdctrls.h"
#include "platform/window/modal.h"
#include "plugin3d/forms/k_flat_caption.h"
#include "plugin3d/forms/k_tree_mirror.h"
#include "plugin3d/forms/k_viewer3d.h"
#include "plugin3d/forms/k_viewer3d_setup.h"
#include "plugin3d/model/core/k_interfaces.h"
#include "plugin3d/model/render/memory_bitmap.h"
#include "plugin3d/model/scene/k_drawing_system3d.h"
#include "plugin3d/model/scene/k_eye_system3d.h"
#include "plugin3d/model/scene/k_project3d.h"
#include "tests/plugin3d/model/core/core_test_support.h"
#include "tests/support/modal_responder.h"
#include "tests/support/ui_helpers.h"

using kelvora::test::MemoryStream;
using tarvenix::test::GrabWholeWindow;
using tarvenix::test::GrabWindow;
using tarvenix::test::PumpEvents;
using tarvenix::test::Responder;
using tarvenix::test::SaveTestOutput;

namespace {

namespace fs = std::filesystem;

/// A memory stream that belongs to a project, as the project file's streams do.
class ProjectMemoryStream : public MemoryStream {
public:
    explicit ProjectMemoryStream(TKObject* project) : m_project(project) {}
    TKObject* GetProject() override { return m_project; }

private:
    TKObject* m_project;
};

TOwned<TKDrawingSystem3D> NewSystem(const std::string& name = "Front")
{
    TOwned<TKDrawingSystem3D> system(TKDrawingSystem3D::New());
    system->SetName(name);
    return system;
}

fs::path TempDir(const std::string& name)
{
    const fs::path dir =
        fs::temp_directory_path() / ("kelvora-viewer-" + std::to_string(::getpid()) + "-" + name);
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

// --- the viewer
// -------------------------------------------------------------------------------------------

TEST(Viewer3D, EveryDrawingSystemGetsAHiddenViewerFittedToItsPicture)
{
    auto system = NewSystem();
    TKViewer3D* viewer = ViewerOf(system.get());
    ASSERT_NE(viewer, nullptr);
    EXPECT_EQ(viewer->DrawingSystem(), system.get());
    EXPECT_FALSE(viewer->IsWindowVisible());
    PumpEvents();
    EXPECT_EQ(viewer->KFlatCaption1->Caption(), "Front");
    EXPECT_EQ(viewer->Setup()->KFlatCaption1->Caption(), "Front : Setup");
    const CRect client = viewer->ClientRect();
    EXPECT_EQ(client.Width(), system->ImageWidth());
    EXPECT_EQ(client.Height(), system->ImageHeight() + 24);

    system->SetName("Renamed");
    PumpEvents();
    EXPECT_EQ(viewer->KFlatCaption1->Caption(), "Renamed");

    const int posted = viewer->PostedEvents();
    viewer->SetDrawingSystem(system.get());  // attached already: nothing posted
    EXPECT_EQ(viewer->PostedEvents(), posted);
}

TEST(Viewer3D, AUsersResizeSizesThePictureAndItsEchoLeavesTheWindowAlone)
{
    auto system = NewSystem();
    TKViewer3D* viewer = ViewerOf(system.get());
    viewer->Show();
    PumpEvents();
    const CRect before = viewer->BoundsRect();
    viewer->SetBounds(before.left, before.top, before.Width() + 60, before.Height() + 40);  // the user's drag
    PumpEvents();
    const CRect client = viewer->ClientRect();
    EXPECT_EQ(system->ImageWidth(), client.Width());
    EXPECT_EQ(system->ImageHeight(), client.Height() - 24);
    EXPECT_EQ(viewer->BoundsRect().Width(), before.Width() + 60);
    EXPECT_EQ(viewer->BoundsRect().Height(), before.Height() + 40);

    system->SetImageSize(100, 80);  // the setup form's size: the window follows
    PumpEvents();
    EXPECT_EQ(viewer->ClientRect().Width(), 100);
    EXPECT_EQ(viewer->ClientRect().Height(), 104);
}

// The picture covers its own rectangle; the rest of the client, where a window larger than
// its picture shows nothing of it, has the form's colour, never what was there before.
TEST(Viewer3D, ThePictureFillsItsRectangleAndTheFormsColourTheRest)
{
    auto system = NewSystem();
    system->SetColorType(6);
    system->SetBackground({1.0, 0.0, 0.0});
    system->SetImageSize(60, 40);
    TKViewer3D* viewer = ViewerOf(system.get());
    PumpEvents();
    // Sized while hidden, the window keeps the picture's size and is larger than it.
    viewer->SetBounds(0, 0, viewer->BoundsRect().Width() + 30, viewer->BoundsRect().Height() + 20);
    viewer->Show();
    PumpEvents();
    ASSERT_EQ(system->ImageWidth(), 60);
    ASSERT_EQ(system->ImageHeight(), 40);
    const QImage shown = GrabWindow(*viewer);
    const COLORREF face = ColorToRGB(viewer->Color());
    const QRgb form = qRgb(GetRValue(face), GetGValue(face), GetBValue(face));
    ASSERT_GE(shown.width(), 60 + 30);
    ASSERT_GE(shown.height(), 24 + 40 + 20);
    EXPECT_EQ(shown.pixel(0, 24), qRgb(255, 0, 0));
    EXPECT_EQ(shown.pixel(59, 24 + 39), qRgb(255, 0, 0));
    EXPECT_EQ(shown.pixel(60, 24), form);
    EXPECT_EQ(shown.pixel(0, 24 + 40), form);
    EXPECT_EQ(shown.pixel(shown.width() - 1, shown.height() - 1), form);

    system->SetColorType(0);  // no pixels at all: the whole client is the form's
    PumpEvents();
    viewer->Invalidate();
    viewer->UpdateWindow();
    EXPECT_EQ(GrabWindow(*viewer).pixel(10, 24 + 10), form);
}

TEST(Viewer3D, ThePlacementGoesRoundTheDrawingSystemsRecord)
{
    struct Case {
        const char* name;
        bool visible;
        TWindowState state;
    };
    const Case cases[] = {{"maximised", true, wsMaximized},
                          {"minimised", true, wsMinimized},
                          {"visible", true, wsNormal},
                          {"hidden", false, wsNormal}};
    TOwned<TKelvora3DProject> project(TKelvora3DProject::New());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto saved = NewSystem();
        TKViewer3D* viewer = ViewerOf(saved.get());
        PumpEvents();  // fitted to the picture first
        viewer->SetBounds(60, 70, 200, 180);
        if (c.visible) {
            viewer->Show();
            viewer->SetWindowState(c.state);
        }
        PumpEvents();
        ProjectMemoryStream stream(project.get());
        EXPECT_EQ(viewer->SaveToStream(&stream), 40);
        EXPECT_EQ(stream.bytes.size(), 40u);

        auto loaded = NewSystem("Other");
        TKViewer3D* other = ViewerOf(loaded.get());
        stream.SetPosition(0);
        const std::size_t reopenedBefore = project->ReopenedWindows().size();
        EXPECT_EQ(other->LoadFromStream(&stream), 40);
        EXPECT_FALSE(other->IsWindowVisible());  // the project shows it once the load is done
        EXPECT_EQ(other->WindowState(), c.state);
        WINDOWPLACEMENT placement{};
        placement.length = 44;
        other->GetWindowPlacement(&placement);
        EXPECT_EQ(CRect(placement.rcNormalPosition), CRect(60, 70, 260, 250));
        EXPECT_EQ(project->ReopenedWindows().size(), reopenedBefore + (c.visible ? 1 : 0));
        EXPECT_EQ(other->KFlatCaption1->Caption(), "Other");
    }
    auto system = NewSystem();
    EXPECT_EQ(ViewerOf(system.get())->SaveToStream(nullptr), 24);
    EXPECT_EQ(ViewerOf(system.get())->LoadFromStream(nullptr), -1);
}

// Places a damaged file may hold, at the 32-bit limits: the window lands on the screen, never
// larger than it, and no sum overflows (the sanitizer would stop the test).
TEST(Viewer3D, AStoredPlaceAtThe32BitLimitsPutsTheWindowOnTheScreen)
{
    const std::int32_t rects[][4] = {{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX},
                                     {INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN},
                                     {INT32_MAX - 10, 0, INT32_MAX, 60000},
                                     {-60000, INT32_MIN, 0, INT32_MIN + 100}};
    TOwned<TKelvora3DProject> project(TKelvora3DProject::New());
    for (const auto& rect : rects) {
        SCOPED_TRACE(rect[0]);
        auto system = NewSystem();
        TKViewer3D* viewer = ViewerOf(system.get());
        ProjectMemoryStream stream(project.get());
        for (std::int32_t v : rect) WriteValue(&stream, v);
        WriteValue(&stream, std::uint32_t(4));  // hidden, normal
        WriteValue(&stream, std::int32_t(0));
        for (std::int32_t v : {0, 0, 0, 0}) WriteValue(&stream, v);  // the setup form's block
        stream.SetPosition(0);
        EXPECT_EQ(viewer->LoadFromStream(&stream), 40);
        CRect placed;
        viewer->GetWindowRect(placed);
        EXPECT_GE(placed.left, 0);
        EXPECT_GE(placed.top, 0);
        EXPECT_LE(placed.right, Screen->Width());
        EXPECT_LE(placed.bottom, Screen->Height());
    }
}

TEST(Viewer3D, TheRecordOfADrawingSystemWithAViewerIsFortyBytesLonger)
{
    TOwned<TKDrawingSystem3D> bare(TKDrawingSystem3D::NewWithScene(nullptr));
    auto viewed = NewSystem();
    MemoryStream a, b;
    const int without = bare->SaveToStream(&a);
    const int with = viewed->SaveToStream(&b);
    EXPECT_EQ(with - without, 40 + static_cast<int>(viewed->Name().size() - bare->Name().size()));
}

TEST(Viewer3D, SavesThePictureAsABitmapButNotInsideASetupBracket)
{
    const fs::path dir = TempDir("bitmap");
    auto system = NewSystem();
    system->SetColorType(4);
    TKViewer3D* viewer = ViewerOf(system.get());
    struct Case {
        const char* chosen;
        const char* written;
    };
    for (const Case& c : {Case{"plain", "plain.bmp"}, Case{"other.png", "other.png"}}) {
        Responder().AnswerFile({CString((dir / c.chosen).string().c_str())});
        viewer->Save1->Click();
        EXPECT_TRUE(fs::exists(dir / c.written)) << c.written;
    }
    system->BeginSetup(0);
    EXPECT_FALSE(viewer->SaveBitmap((dir / "during.bmp").string()));
    system->EndSetup(0);
    EXPECT_FALSE(fs::exists(dir / "during.bmp"));
    fs::remove_all(dir);
}

TEST(Viewer3D, ThePopupOffersSetupAndSelectCameraAndOpenShowsTheViewer)
{
    TOwned<TKelvora3DProject> project(TKelvora3DProject::New());
    auto system = NewSystem();
    TOwned<TPopupMenu> menu(TPopupMenu::New(nullptr));
    TKObjectRequest request;
    request.Project = project.get();
    request.Object = system.get();
    request.Kind = korPopupMenu;
    request.Argument = reinterpret_cast<std::intptr_t>(static_cast<TObject*>(menu.get()));
    EXPECT_EQ(SendObjectRequest(system->ClassType(), request), 0);
    std::vector<std::string> captions;
    for (int i = 0; i < menu->Items()->Count(); ++i) captions.push_back(menu->Items()->Item(i)->Caption());
    EXPECT_EQ(captions, (std::vector<std::string>{"Open", "Setup...", "Select Camera...", "-", "Cut", "Copy",
                                                  "Paste"}));
    menu->Items()->Item(1)->Click();
    EXPECT_TRUE(ViewerOf(system.get())->Setup()->IsWindowVisible());
    ViewerOf(system.get())->Setup()->Hide();

    TKObjectRequest open;
    open.Object = system.get();
    open.Kind = korOpen;
    EXPECT_EQ(SendObjectRequest(system->ClassType(), open), 0);
    EXPECT_TRUE(ViewerOf(system.get())->IsWindowVisible());
}

TEST(Viewer3D, TheCameraPickerBindsThePickedCameraAndNothingForOtherNodes)
{
    TOwned<TKelvora3DProject> project(TKelvora3DProject::New());
    TKEyeSystem3D* left = TKEyeSystem3D::New();
    left->SetName("Left eye");
    TKEyeSystem3D* right = TKEyeSystem3D::New();
    right->SetName("Right eye");
    project->AddObject(nullptr, left);
    project->AddObject(nullptr, right);

    TKCustomProjectionSystem3D* camera = left;
    Responder().AnswerDialogCommand(IDOK).Doing([&](CWnd& window) {
        auto* form = dynamic_cast<TKSelectCameraForm*>(&window);
        ASSERT_NE(form, nullptr);
        EXPECT_EQ(form->KFlatCaption1->Caption(), "Select Camera");
        ASSERT_NE(form->TreeView1->Selected(), nullptr);
        EXPECT_EQ(form->TreeView1->Selected()->Text(), "Left eye");
        PumpEvents();  // the dialog becomes the active window, as users see it
        EXPECT_FALSE(SaveTestOutput(GrabWindow(*form), "kelvora-select-camera").empty());
        form->TreeView1->SetSelected(
            FindNodeByData(static_cast<TObject*>(form->Root()->FindDataInTree(TKData::OfObject(right))),
                           form->TreeView1->Items()));
    });
    EXPECT_TRUE(SelectCamera("Select Camera", project.get(), camera));
    EXPECT_EQ(camera, right);

    Responder().AnswerDialogCommand(IDOK).Doing([&](CWnd& window) {
        auto* form = dynamic_cast<TKSelectCameraForm*>(&window);
        ASSERT_NE(form, nullptr);
        form->TreeView1->SetSelected(form->TreeView1->Items()->GetFirstNode());  // the list, no camera
    });
    EXPECT_TRUE(SelectCamera("Select Camera", project.get(), camera));
    EXPECT_EQ(camera, nullptr);

    Responder().AnswerDialogCommand(IDCANCEL);
    camera = left;
    EXPECT_FALSE(SelectCamera("Select Camera", project.get(), camera));
    EXPECT_FALSE(SelectCamera("Select Camera", nullptr, camera));
}

// --- the setup form
// -------------------------------------------------------------------------------------------

class ViewerSetup : public ::testing::Test {
protected:
    void SetUp() override
    {
        system = NewSystem();
        setup = ViewerOf(system.get())->Setup();
        setup->Show();
        PumpEvents();
    }
    void TearDown() override { setup->Hide(); }
    TOwned<TKDrawingSystem3D> system;
    TKViewer3DSetup* setup = nullptr;
};

TEST_F(ViewerSetup, ApplySetsTypeSizeAndChannels)
{
    struct Case {
        const char* name;
        const char* width;
        int colorIndex;
        bool channel3;
        int expectType;
        int expectWidth;
    };
    const Case cases[] = {
        {"colour type only", "128", 4, true, 4, 128},
        {"the last colour entry", "128", 5, true, 6, 128},
        {"size", "96", 5, true, 6, 96},
        {"a channel", "96", 5, false, 6, 96},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        setup->WidthEdit->SetText(c.width);
        setup->ColorBox->SetItemIndex(c.colorIndex);
        setup->BoxEnabled[2]->SetChecked(c.channel3);
        setup->ApplyBtn->SetEnabled(true);
        setup->Apply();
        EXPECT_EQ(system->ColorType(), c.expectType);
        EXPECT_EQ(system->ImageWidth(), c.expectWidth);
        EXPECT_EQ(system->Canvas()->GetChannelEnabled(3), c.channel3);
        EXPECT_FALSE(setup->ApplyBtn->Enabled());
        EXPECT_EQ(setup->WidthEdit->Text(), c.width);
        EXPECT_EQ(system->ImageHeight(), 128);  // the height shown was the drawing system's
        EXPECT_TRUE(system->Enabled());
    }
    PumpEvents();
    setup->PageControl1->SetActivePageIndex(0);
    // The Property page shows Apply and Cancel whole, and the window the pages whole.
    TTabSheet* property = setup->PageControl1->Page(0);
    for (TButton* button : {setup->ApplyBtn, setup->CancelBtn}) {
        const CRect r = button->BoundsRect();
        EXPECT_LE(r.right, property->ClientWidth()) << button->Caption();
        EXPECT_LE(r.bottom, property->ClientHeight()) << button->Caption();
    }
    EXPECT_LE(setup->PageControl1->BoundsRect().bottom, setup->ClientHeight());
    EXPECT_LE(setup->PageControl1->BoundsRect().right, setup->ClientWidth());
    EXPECT_FALSE(SaveTestOutput(GrabWholeWindow(*setup), "kelvora-setup-property").empty());
    std::int32_t w = 0, h = 0;
    const int format = GetScreenPixelFormat(&w, &h);
    const std::string label = setup->DisplayLabel->Caption();
    EXPECT_EQ(label.rfind(" " + std::to_string(w) + " x " + std::to_string(h) + " x ", 0), 0u) << label;
    if (format >= 5) EXPECT_NE(label.find("32 bit (TrueColor)"), std::string::npos) << label;
}

TEST_F(ViewerSetup, CurveMappingRoundTripsWithinAPixel)
{
    for (const CRect plot : {CRect(40, 9, 203, 185), CRect(0, 0, 1000, 700), CRect(5, 5, 38, 21)}) {
        for (int x = plot.left; x <= plot.right; x += 3)
            for (int y = plot.top; y <= plot.bottom; y += 5) {
                std::int32_t input = 0, output = 0;
                CurveNode(plot, CPoint(x, y), input, output);
                const CPoint back = CurvePixel(plot, input, output);
                EXPECT_LE(std::abs(back.x - x), 1);
                EXPECT_LE(std::abs(back.y - y), 1);
            }
    }
    EXPECT_EQ(CurvePixel(CRect(10, 10, 110, 60), -5, 0x20000), CPoint(10, 10));  // clamped to the axes
}

TEST_F(ViewerSetup, NodesAreAddedDraggedAndDeletedButTheEndsStayOnTheEdges)
{
    TKCnv3DIITransformer* curve = setup->WorkingCurve(0);
    const int start = curve->Count();
    ASSERT_GE(start, 2);
    const CRect plot = setup->PlotRect(0);
    const CPoint inner((plot.left + plot.right) / 2, plot.top + plot.Height() / 4);
    setup->CurveMouseDown(0, inner.x, inner.y);  // a new node where the press was
    EXPECT_EQ(curve->Count(), start + 1);
    EXPECT_TRUE(setup->Dragging());
    setup->CurveMouseMove(0, inner.x + 10, inner.y + 10);
    setup->CurveMouseUp(0);
    EXPECT_EQ(system->Curve(1)->Count(), start + 1);  // applied to the drawing system
    std::int32_t input = 0, output = 0;
    CurveNode(plot, CPoint(inner.x + 10, inner.y + 10), input, output);
    EXPECT_EQ(system->Curve(1)->Pairs(), curve->Pairs());

    // The inner node dragged out of the plot goes.
    const CPoint node = CurvePixel(plot, input, output);
    setup->CurveMouseMove(0, node.x, node.y);
    setup->CurveMouseDown(0, node.x, node.y);
    setup->CurveMouseMove(0, plot.right + 30, node.y);
    setup->CurveMouseUp(0);
    EXPECT_EQ(curve->Count(), start);

    // The first node only moves up and down, and never leaves.
    const CPoint first = CurvePixel(plot, curve->GetInput(0), curve->GetOutput(0));
    setup->CurveMouseMove(0, first.x, first.y);
    setup->CurveMouseDown(0, first.x, first.y);
    setup->CurveMouseMove(0, first.x + 40, plot.top - 50);
    setup->CurveMouseUp(0);
    EXPECT_EQ(curve->Count(), start);
    EXPECT_EQ(curve->GetInput(0), 0);
    EXPECT_EQ(curve->GetOutput(0), kCurveOutputMax);

    setup->PageControl1->SetActivePageIndex(1);
    setup->CurveMouseMove(0, inner.x, inner.y);
    PumpEvents();
    EXPECT_FALSE(SaveTestOutput(GrabWholeWindow(*setup), "kelvora-setup-red").empty());
}

TEST_F(ViewerSetup, TheGridsShowTheCurvesNodes)
{
    TOwned<TKCnv3DIITransformer> curve(TKCnv3DIITransformer::New());
    using Rows = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(CurveGridRows(*curve), (Rows{{"  X", "  Y"}, {"-", "-"}}));
    curve->AddPoint(0, 0);
    curve->AddPoint(0x4000, 0x8000);
    curve->AddPoint(0x8000, 0xFFFF);
    EXPECT_EQ(CurveGridRows(*curve), (Rows{{"  X", "  Y"}, {"0", "0"}, {"500", "500"}, {"1000", "1000"}}));
    EXPECT_EQ(setup->Grids[0]->Cell(0, 0), "  X");
    EXPECT_EQ(setup->Grids[0]->Cell(1, 0), "  Y");
    EXPECT_EQ(setup->Grids[0]->RowCount(), setup->WorkingCurve(0)->Count() + 1);
}

TEST_F(ViewerSetup, ColourEditsTakeZeroToAThousand)
{
    setup->ColorTypeBox->SetItemIndex(0);
    const TVector3D before = system->Background();
    setup->ColorEdits[0]->SetText("1001");
    EXPECT_EQ(system->Background().x, before.x);
    setup->ColorEdits[0]->SetText("1000");
    EXPECT_EQ(system->Background().x, 1.0);
    EXPECT_EQ(setup->TrackBars[0]->Position(), 1000);
    setup->TrackBars[1]->SetPosition(250);
    EXPECT_DOUBLE_EQ(system->Background().y, 0.25);
    EXPECT_EQ(setup->ColorEdits[1]->Text(), "250");

    setup->ColorTypeBox->SetItemIndex(2);
    setup->ColorTypeBox->OnChange(setup->ColorTypeBox);
    EXPECT_EQ(setup->TrackBars[0]->Position(),
              static_cast<int>(std::lround(system->RampEndColor().x * 1000)));
    setup->PageControl1->SetActivePageIndex(4);
    PumpEvents();
    EXPECT_FALSE(SaveTestOutput(GrabWholeWindow(*setup), "kelvora-setup-colors").empty());
}

}  // namespace
