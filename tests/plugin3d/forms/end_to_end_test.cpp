// The plug-in as a new user tries it, with every unit of the plug-in running: the owner shows
// the administrator; New makes a 3D project; a surface from the sample layer, each kind of
// light, a camera and a viewer go in; "Select Camera..." binds the camera and the viewer shows
// the lit surface; the project is saved and loaded, and the maximised viewer comes back; the
// exit hides everything and leaves no plug-in thread behind. (The program's side, loading the
// library and unloading it at exit, is tested with the program.)

#include <atomic>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <limits>
#include <memory>
#include <thread>

#include <QImage>
#include <gtest/gtest.h>

#include "platform/controls/tree_ctrl.h"
#include "platform/forms/comctrls.h"
#include "platform/forms/stdctrls.h"
#include "platform/window/modal.h"
#include "platform/window/ui_thread.h"
#include "plugin3d/forms/button_ex.h"
#include "plugin3d/forms/k_administrator.h"
#include "plugin3d/forms/k_dll_main.h"
#include "plugin3d/forms/k_finders.h"
#include "plugin3d/forms/k_light_depositories.h"
#include "plugin3d/forms/k_light_forms.h"
#include "plugin3d/forms/k_navigator3d.h"
#include "plugin3d/forms/k_new_dialog.h"
#include "plugin3d/forms/k_surface3d_depository.h"
#include "plugin3d/forms/k_surface3d_form.h"
#include "plugin3d/forms/k_thread_form.h"
#include "plugin3d/forms/k_tree_mirror.h"
#include "plugin3d/forms/k_viewer3d.h"
#include "plugin3d/model/core/k_objects_list.h"
#include "plugin3d/model/core/k_threads.h"
#include "plugin3d/model/render/k_basis3d.h"
#include "plugin3d/model/render/k_rdp_file.h"
#include "plugin3d/model/scene/k_diffuse_reflection.h"
#include "plugin3d/model/scene/k_drawing_system3d.h"
#include "plugin3d/model/scene/k_eye_system3d.h"
#include "plugin3d/model/scene/k_lights3d.h"
#include "plugin3d/model/scene/k_project3d.h"
#include "plugin3d/model/scene/k_surface3d.h"
#include "tests/support/modal_responder.h"
#include "tests/support/ui_helpers.h"

using tarvenix::test::GrabWindow;
using tarvenix::test::MouseClick;
using tarvenix::test::MouseDoubleClick;
using tarvenix::test::PumpEvents;
using tarvenix::test::PumpUntil;
using tarvenix::test::Responder;
using tarvenix::test::SaveTestOutput;

namespace {

namespace fs = std::filesystem;

/// Picks the entry captioned entry in the group captioned group of the next New dialog.
void ChooseInNewDialog(const std::string& group, const std::string& entry)
{
    Responder().AnswerDialogCommand(IDOK).Doing([group, entry](CWnd& window) {
        auto* dialog = dynamic_cast<TKNewDialog*>(&window);
        ASSERT_NE(dialog, nullptr);
        TTreeNodes* groups = dialog->TreeView1->Items();
        for (int i = 0; i < groups->Count(); ++i)
            if (groups->Item(i)->Text() == group) dialog->TreeView1->SetSelected(groups->Item(i));
        for (int i = 0; i < dialog->ListView1->Count(); ++i)
            if (dialog->ListView1->Item(i)->Caption() == entry)
                dialog->ListView1->SetSelected(dialog->ListView1->Item(i));
        ASSERT_NE(dialog->SelectedEntry(), nullptr) << group << " / " << entry;
    });
}

/// Fills the surface from the first layer of a raster file, every step-th sample, as the
/// surface editor does: X and Y spread over [-half, half], Z the samples stretched onto
/// 0..height.
void FillFromLayer(TKSurface3D& surface, const std::string& file, int step, float half, float height)
{
    TOwned<TKRDPFile> keeper(TKRDPFile::New(nullptr));
    keeper->Open(file, 3, 1, 1);
    TKLayer* layer = keeper->Count() > 0 ? keeper->GetLayer(0) : nullptr;
    ASSERT_NE(layer, nullptr);
    layer->BeginAccess();
    const int width = layer->Width() / step, rows = layer->Height() / step;
    std::vector<float> row(static_cast<std::size_t>(layer->Width()));
    float low = std::numeric_limits<float>::max(), high = -low;
    surface.BeginGridUpdate(0);
    surface.SetSize(width, rows);
    for (int j = 0; j < rows; ++j) {
        layer->ReadRowAs(j * step, row.data(), layer->Width());
        TSurfaceNode* nodes = surface.NodeRow(j);
        for (int i = 0; i < width; ++i) {
            float* v = nodes[i].Values;
            v[kssX] = -half + 2 * half * float(i) / float(width - 1);
            v[kssY] = -half + 2 * half * float(j) / float(rows - 1);
            v[kssZ] = row[static_cast<std::size_t>(i * step)];
            v[kssRed] = v[kssGreen] = v[kssBlue] = 1;
            low = std::min(low, v[kssZ]);
            high = std::max(high, v[kssZ]);
        }
    }
    const float scale = high > low ? height / (high - low) : 0;
    for (int j = 0; j < rows; ++j)
        for (int i = 0; i < width; ++i) {
            float& z = *surface.NodeSlot(i, j, kssZ);
            z = (z - low) * scale;
        }
    surface.EndGridUpdate(0);
}

TMatrix3D Columns(const TVector3D& a, const TVector3D& b, const TVector3D& c)
{
    return TMatrix3D{{a.x, b.x, c.x, a.y, b.y, c.y, a.z, b.z, c.z}};
}

TObject* MakeObject(TKelvora3DProject& project, TClass cls)
{
    TKCreateObjectRequest request{nullptr, cls, nullptr};
    EXPECT_EQ(project.Operation(kopCreateObject, reinterpret_cast<std::intptr_t>(&request)), 0);
    return request.Object;
}

bool ShowsSomething(const QImage& picture, QRgb background)
{
    int lit = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) lit += picture.pixel(x, y) != background;
    return lit > picture.width() * picture.height() / 20;
}

/// A new empty folder for the test's files.
fs::path FreshDir(const std::string& name)
{
    const fs::path dir = fs::temp_directory_path() / (name + "-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

/// The 3D command: the plug-in's units started, the administrator shown, and New made a 3D
/// project. Null (with a failure) when any of it did not happen.
TKAdministrator* AdministratorWithANewProject()
{
    InitializeUnits(&kDllMainUnit, 1);
    DllShowForms();
    TKAdministrator* admin = DllMainForm()->Administrator();
    if (!admin) {
        ADD_FAILURE() << "no administrator";
        return nullptr;
    }
    ChooseInNewDialog("Projects", "Kelvora 3D Project");
    admin->NewBtn->Click();
    if (!ObjectAs<TKelvora3DProject>(admin->Project())) {
        ADD_FAILURE() << "New made no 3D project";
        return nullptr;
    }
    return admin;
}

/// A camera in front of the scene, looking down at 45 degrees.
TKEyeSystem3D* FrontCamera(TKelvora3DProject& project)
{
    auto* camera = ObjectAs<TKEyeSystem3D>(MakeObject(project, TKEyeSystem3D::StaticClass()));
    const double s = std::sqrt(0.5);
    camera->SetScreenDistance(420);
    camera->Basis()->SetPlacement(Columns({1, 0, 0}, {0, s, s}, {0, s, -s}), {0, -300, 300});
    return camera;
}

/// A flat light shining along the first axis.
TKFlatSpringLight3D* FlatLight(TKelvora3DProject& project, double r, double g, double b)
{
    auto* flat = ObjectAs<TKFlatSpringLight3D>(MakeObject(project, TKFlatSpringLight3D::StaticClass()));
    flat->Basis()->SetPlacement(Columns({0, 0, -1}, {0, 1, 0}, {1, 0, 0}), {0, 0, 0});
    flat->UpdateDirection();
    flat->SetColor(r, g, b);
    return flat;
}

/// A viewer made through New among the project's own sub-items.
TKDrawingSystem3D* NewViewer(TKAdministrator& admin, TKelvora3DProject& project)
{
    admin.TreeView1->SetSelected(nullptr);
    ChooseInNewDialog("Viewers", "Standart Viewer 3D");
    admin.NewBtn->Click();
    if (project.ViewerCount() != 1) return nullptr;
    return ObjectAs<TKDrawingSystem3D>(project.GetDrawingSystem(0));
}

/// Where a click on the label of object's node in the administrator's tree goes (the tree
/// opened down to it); (-1, -1) with a failure when the object has no node.
CPoint NodeLabel(TKAdministrator& admin, TObject* object)
{
    admin.Show();
    PumpEvents();
    TKDataBranch* branch = admin.BranchOf(object);
    if (!branch) {
        ADD_FAILURE() << "no branch";
        return CPoint(-1, -1);
    }
    branch->SetFlagToRoot(1);
    admin.RefreshAll();
    TTreeNode* node = FindNodeByData(static_cast<TObject*>(admin.BranchOf(object)), admin.TreeView1->Items());
    if (!node) {
        ADD_FAILURE() << "no node";
        return CPoint(-1, -1);
    }
    CRect label;
    static_cast<CTreeCtrl*>(admin.TreeView1->Window())->GetItemRect(node->ItemId(), &label, TRUE);
    return CPoint(label.left + 4, label.CenterPoint().y);
}

/// Shows the viewer and waits until its picture shows something; `shown` the window.
bool ViewerShowsSomething(TKViewer3D& viewer, TKDrawingSystem3D& system, QImage& shown)
{
    viewer.Show();
    return PumpUntil(
        [&] {
            shown = GrabWindow(viewer);
            const QImage picture = shown.copy(0, 24, system.ImageWidth(), system.ImageHeight());
            return ShowsSomething(picture, picture.pixel(0, 0));
        },
        std::chrono::seconds(60));
}

TEST(Plugin3DEndToEnd, ANewUserBuildsALitSceneSavesLoadsAndLeaves)
{
    const fs::path dir = FreshDir("kelvora-e2e");
    // The 3D command: the administrator, and New makes a 3D project.
    TKAdministrator* admin = AdministratorWithANewProject();
    ASSERT_NE(admin, nullptr);
    auto* project = ObjectAs<TKelvora3DProject>(admin->Project());

    // The scene: a surface from the sample layer, each light, a camera; a viewer through New.
    auto* surface = ObjectAs<TKSurface3D>(MakeObject(*project, TKSurface3D::StaticClass()));
    ASSERT_NE(surface, nullptr);
    FillFromLayer(*surface, TARVENIX_SAMPLE_PATH, 32, 100, 40);
    TOwned<TKSimpleDiffuseReflection> law(TKSimpleDiffuseReflection::New());
    surface->SetReflection(law.get());
    surface->SetSmoothShading(1);
    auto* ambient = ObjectAs<TKAmbientLight3D>(MakeObject(*project, TKAmbientLight3D::StaticClass()));
    ambient->SetColor({0.12, 0.12, 0.16});
    FlatLight(*project, 0.45, 0.4, 0.32);
    auto* point = ObjectAs<TKPointSpringLight3D>(MakeObject(*project, TKPointSpringLight3D::StaticClass()));
    point->Basis()->SetPlacement(Columns({0, 0, -1}, {0, 1, 0}, {1, 0, 0}), {-60, -80, 300});
    point->UpdatePlacement();
    point->SetColor(0.3, 0.25, 0.2);
    TKEyeSystem3D* camera = FrontCamera(*project);
    camera->SetName("Front camera");
    TKDrawingSystem3D* system = NewViewer(*admin, *project);
    ASSERT_NE(system, nullptr);
    // What the user sets in the setup form: a name, a size, true colour from three channels.
    system->SetName("Front view");
    system->SetImageSize(320, 240);
    system->SetColorType(5);
    system->BeginSetup(0);
    system->Canvas()->SetChannelEnabled(2, true);
    system->Canvas()->SetChannelEnabled(3, true);
    system->EndSetup(0);
    TKViewer3D* viewer = ViewerOf(system);
    ASSERT_NE(viewer, nullptr);
    EXPECT_EQ(project->GetViewerCamera(system), nullptr);

    // "Select Camera..." from the viewer's node in the administrator's tree.
    const CPoint label = NodeLabel(*admin, system);
    Responder().AnswerPopupMenu(3);  // Open, Setup..., Select Camera...
    Responder().AnswerDialogCommand(IDOK).Doing([&](CWnd& window) {
        auto* picker = dynamic_cast<TKSelectCameraForm*>(&window);
        ASSERT_NE(picker, nullptr);
        TKDataBranch* cameraBranch = picker->Root()->FindDataInTree(TKData::OfObject(camera));
        ASSERT_NE(cameraBranch, nullptr);
        picker->TreeView1->SetSelected(
            FindNodeByData(static_cast<TObject*>(cameraBranch), picker->TreeView1->Items()));
    });
    MouseClick(*admin->TreeView1->Window(), label, Qt::RightButton);
    EXPECT_EQ(project->GetViewerCamera(system), camera);

    // The viewer shows the lit surface once the image job has run.
    QImage shown;
    EXPECT_TRUE(ViewerShowsSomething(*viewer, *system, shown));
    EXPECT_FALSE(SaveTestOutput(shown, "kelvora-viewer").empty());

    // Save with the viewer maximised, load: it comes back maximised and shown.
    viewer->SetWindowState(wsMaximized);
    PumpEvents();
    const std::string file = (dir / "scene.ktp").string();
    admin->SaveProjectToFile(file);
    ASSERT_TRUE(PumpUntil([&] { return admin->Job() == 0; }, std::chrono::seconds(60)));
    if (project->Modified()) Responder().AnswerMessageBox(IDNO);  // the picture redrawn since
    admin->LoadProjectFromFile(file);
    ASSERT_TRUE(PumpUntil([&] { return admin->Job() == 0; }, std::chrono::seconds(120)));
    auto* loaded = ObjectAs<TKelvora3DProject>(admin->Project());
    ASSERT_NE(loaded, nullptr);
    ASSERT_EQ(loaded->ViewerCount(), 1);
    auto* reopenedSystem = ObjectAs<TKDrawingSystem3D>(loaded->GetDrawingSystem(0));
    TKViewer3D* reopened = ViewerOf(reopenedSystem);
    ASSERT_NE(reopened, nullptr);
    PumpEvents();
    EXPECT_TRUE(reopened->IsWindowVisible());
    EXPECT_EQ(reopened->WindowState(), wsMaximized);
    EXPECT_NE(loaded->GetViewerCamera(reopenedSystem), nullptr);

    // The exit: asked about the changes (the reopened viewer's picture took the maximised
    // size), the administrator and its project go, no plug-in thread stays.
    if (loaded->Modified()) Responder().AnswerMessageBox(IDNO);
    DllHideForms();
    EXPECT_EQ(DllMainForm()->Administrator(), nullptr);
    PumpEvents();
    TKObjectsList* threads = ThreadsList();
    ASSERT_NE(threads, nullptr);
    EXPECT_EQ(threads->Count(), 0);
    FinalizeUnits(&kDllMainUnit, 1);
    fs::remove_all(dir);
}

// The surface editor's road: a double-click on the surface in the administrator's tree opens
// its editor; the user sets the grid, spreads X and Y, takes Z from the sample layer and a
// reflection law, and applies; the progress form runs the job and the viewer shows the
// surface. Saved with the editor open, the project reopens it on load.
TEST(Plugin3DEndToEnd, ASurfaceFromTheSampleLayerThroughItsEditor)
{
    const fs::path dir = FreshDir("kelvora-surface-e2e");
    TKAdministrator* admin = AdministratorWithANewProject();
    ASSERT_NE(admin, nullptr);
    auto* project = ObjectAs<TKelvora3DProject>(admin->Project());

    auto* surface = ObjectAs<TKSurface3D>(MakeObject(*project, TKSurface3D::StaticClass()));
    ASSERT_NE(surface, nullptr);
    surface->SetName("Sample relief");
    auto* ambient = ObjectAs<TKAmbientLight3D>(MakeObject(*project, TKAmbientLight3D::StaticClass()));
    ambient->SetColor({0.2, 0.2, 0.25});
    FlatLight(*project, 0.6, 0.55, 0.45);
    TKEyeSystem3D* camera = FrontCamera(*project);
    TKDrawingSystem3D* system = NewViewer(*admin, *project);
    ASSERT_NE(system, nullptr);
    system->SetImageSize(320, 240);
    project->SetViewerCamera(system, camera);

    // A double-click on the surface's node opens its editor.
    MouseDoubleClick(*admin->TreeView1->Window(), NodeLabel(*admin, surface));
    auto* depository = ObjectAs<TKSurface3D_Depository>(project->GetDepository(surface));
    ASSERT_NE(depository, nullptr);
    TKSurface3DForm* editor = depository->EditorForm();
    ASSERT_NE(editor, nullptr);
    PumpEvents();
    EXPECT_TRUE(editor->Visible());

    // The grid, X and Y spread over -100..100, Z the sample's heights onto 0..40.
    editor->XEdit->SetText("160");
    editor->YEdit->SetText("160");
    for (int slot = 0; slot < 3; ++slot) {
        editor->LayerList->SetItemIndex(slot);
        editor->LayerList->OnClick(editor->LayerList);
        editor->MaxEdit->SetText(slot < 2 ? "100" : "40");
        editor->MinEdit->SetText(slot < 2 ? "-100" : "0");
    }
    editor->FillBox->SetItemIndex(1);
    Responder().AnswerFile({CString(TARVENIX_SAMPLE_PATH)});
    editor->FileBtn->Click();
    EXPECT_EQ(editor->Copy()->Slot(2).LayerIndex, 0);  // the sample holds one layer
    EXPECT_NE(editor->LayerText->Text(), kNoLayerText);
    Responder().AnswerDialogCommand(IDOK).Doing([](CWnd& window) {
        auto* finder = dynamic_cast<TKFinderReflectionForm*>(&window);
        ASSERT_NE(finder, nullptr);
        finder->ListBox1->SetItemIndex(1);
    });
    editor->ChangeBtn->Click();
    editor->ApplyBtn->Click();
    EXPECT_TRUE(editor->Applying());  // the progress form runs the job
    ASSERT_TRUE(PumpUntil([&] { return !editor->Applying(); }, std::chrono::seconds(120)));
    ASSERT_EQ(surface->Width(), 160);
    ASSERT_NE(surface->Reflection(), nullptr);

    TKViewer3D* viewer = ViewerOf(system);
    ASSERT_NE(viewer, nullptr);
    QImage shown;
    EXPECT_TRUE(ViewerShowsSomething(*viewer, *system, shown));
    EXPECT_FALSE(SaveTestOutput(shown, "kelvora-surface-from-sample").empty());

    // Saved with the editor open above the viewer; the load reopens it.
    editor->Show();
    PumpEvents();
    const std::string file = (dir / "surface.ktp").string();
    admin->SaveProjectToFile(file);
    ASSERT_TRUE(PumpUntil([&] { return admin->Job() == 0; }, std::chrono::seconds(60)));
    if (project->Modified()) Responder().AnswerMessageBox(IDNO);
    admin->LoadProjectFromFile(file);
    ASSERT_TRUE(PumpUntil([&] { return admin->Job() == 0; }, std::chrono::seconds(120)));
    auto* loaded = ObjectAs<TKelvora3DProject>(admin->Project());
    ASSERT_NE(loaded, nullptr);
    TKSurface3D* loadedSurface = nullptr;
    for (int i = 0; i < loaded->Objects()->Count() && !loadedSurface; ++i)
        loadedSurface = ObjectAs<TKSurface3D>(loaded->Objects()->GetItem(i));
    ASSERT_NE(loadedSurface, nullptr);
    EXPECT_EQ(loadedSurface->Width(), 160);
    auto* loadedDepository = ObjectAs<TKSurface3D_Depository>(loaded->GetDepository(loadedSurface));
    ASSERT_NE(loadedDepository, nullptr);
    ASSERT_NE(loadedDepository->EditorForm(), nullptr);
    PumpEvents();
    EXPECT_TRUE(loadedDepository->EditorForm()->Visible());
    EXPECT_EQ(loadedDepository->EditorForm()->Copy()->Slot(2).FileName, TARVENIX_SAMPLE_PATH);

    if (loaded->Modified()) Responder().AnswerMessageBox(IDNO);
    DllHideForms();
    EXPECT_EQ(DllMainForm()->Administrator(), nullptr);
    PumpEvents();
    FinalizeUnits(&kDllMainUnit, 1);
    fs::remove_all(dir);
}

// A project whose layer file was moved away: the load names the file, the surface stays flat,
// the project keeps the path through a save, and with the file back the next load finds it.
TEST(Plugin3DEndToEnd, AMovedLayerFileIsNamedAndItsPathSurvivesASave)
{
    const fs::path dir = FreshDir("kelvora-moved-layer");
    const std::string layer = (dir / "relief.rdp").string();
    fs::copy_file(TARVENIX_SAMPLE_PATH, layer);
    TKAdministrator* admin = AdministratorWithANewProject();
    ASSERT_NE(admin, nullptr);
    auto* project = ObjectAs<TKelvora3DProject>(admin->Project());
    auto* surface = ObjectAs<TKSurface3D>(MakeObject(*project, TKSurface3D::StaticClass()));
    ASSERT_NE(surface, nullptr);
    auto* depository = ObjectAs<TKSurface3D_Depository>(project->GetDepository(surface));
    ASSERT_NE(depository, nullptr);
    depository->Operation(kopOpenEditor, reinterpret_cast<std::intptr_t>(surface));
    TKSurface3DForm* editor = depository->EditorForm();
    ASSERT_NE(editor, nullptr);
    editor->XEdit->SetText("16");
    editor->YEdit->SetText("16");
    editor->LayerList->SetItemIndex(2);
    editor->LayerList->OnClick(editor->LayerList);
    editor->FillBox->SetItemIndex(1);
    Responder().AnswerFile({CString(layer.c_str())});
    editor->FileBtn->Click();
    editor->ApplyBtn->Click();
    ASSERT_TRUE(PumpUntil([&] { return !editor->Applying(); }, std::chrono::seconds(120)));
    editor->Close();
    PumpEvents();

    const std::string first = (dir / "first.ktp").string(), second = (dir / "second.ktp").string();
    admin->SaveProjectToFile(first);
    ASSERT_TRUE(PumpUntil([&] { return admin->Job() == 0; }, std::chrono::seconds(60)));
    fs::rename(layer, dir / "elsewhere.rdp");

    const auto loadTelling = [&](const std::string& file) -> std::string {
        if (admin->Project() && admin->Project()->Modified()) Responder().AnswerMessageBox(IDNO);
        const std::size_t asked = Responder().Asked().size();
        Responder().AnswerMessageBox(IDOK);
        admin->LoadProjectFromFile(file);
        EXPECT_TRUE(PumpUntil([&] { return admin->Job() == 0; }, std::chrono::seconds(120)));
        return Responder().Asked().size() > asked ? std::string(Responder().Asked().back().text)
                                                  : std::string();
    };
    const std::string told = loadTelling(first);
    EXPECT_EQ(told, "These layer files of the project could not be found:\r\n" + layer +
                        "\r\n\r\nTheir surfaces stay flat until the files are back in place or chosen again "
                        "in the surface's editor; the project keeps their paths.");
    auto* loaded = ObjectAs<TKelvora3DProject>(admin->Project());
    ASSERT_NE(loaded, nullptr);
    TKSurface3D* flat = nullptr;
    for (int i = 0; i < loaded->Objects()->Count() && !flat; ++i)
        flat = ObjectAs<TKSurface3D>(loaded->Objects()->GetItem(i));
    ASSERT_NE(flat, nullptr);
    EXPECT_EQ(flat->Width(), 16);
    auto* kept = ObjectAs<TKSurface3D_Depository>(loaded->GetDepository(flat));
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(kept->Slot(2).FileName, layer);
    EXPECT_EQ(kept->Slot(2).FromFile, -1);

    // Saved again and loaded: the link is still there, and still named while the file is away.
    admin->SaveProjectToFile(second);
    ASSERT_TRUE(PumpUntil([&] { return admin->Job() == 0; }, std::chrono::seconds(60)));
    EXPECT_EQ(loadTelling(second), told);

    // The file back in place: the load finds it and says nothing.
    fs::rename(dir / "elsewhere.rdp", layer);
    if (admin->Project() && admin->Project()->Modified()) Responder().AnswerMessageBox(IDNO);
    const std::size_t asked = Responder().Asked().size();
    admin->LoadProjectFromFile(second);
    ASSERT_TRUE(PumpUntil([&] { return admin->Job() == 0; }, std::chrono::seconds(120)));
    EXPECT_EQ(Responder().Asked().size(), asked);
    auto* relinked = ObjectAs<TKelvora3DProject>(admin->Project());
    ASSERT_NE(relinked, nullptr);

    if (relinked->Modified()) Responder().AnswerMessageBox(IDNO);
    DllHideForms();
    PumpEvents();
    FinalizeUnits(&kDllMainUnit, 1);
    fs::remove_all(dir);
}

// A save with every kind of window open while the user keeps moving and raising them: the
// job writes what the windows were like when the save began and asks no window itself (the
// windows' stacking list belongs to the interface thread; ThreadSanitizer watches).
TEST(Plugin3DEndToEnd, ASaveWithEveryWindowOpenAsksNoWindowOnItsThread)
{
    const fs::path dir = FreshDir("kelvora-save-windows");
    TKAdministrator* admin = AdministratorWithANewProject();
    ASSERT_NE(admin, nullptr);
    auto* project = ObjectAs<TKelvora3DProject>(admin->Project());
    auto* surface = ObjectAs<TKSurface3D>(MakeObject(*project, TKSurface3D::StaticClass()));
    auto* point = ObjectAs<TKPointSpringLight3D>(MakeObject(*project, TKPointSpringLight3D::StaticClass()));
    auto* navigator = ObjectAs<TKNavigator3DContainerObject>(
        MakeObject(*project, TKNavigator3DContainerObject::StaticClass()));
    ASSERT_TRUE(surface && point && navigator);
    TKDrawingSystem3D* system = NewViewer(*admin, *project);
    ASSERT_NE(system, nullptr);
    std::vector<TForm*> windows;
    for (TObject* object : {static_cast<TObject*>(surface), static_cast<TObject*>(point)})
        project->Operation(kopOpenObjectEditor, reinterpret_cast<std::intptr_t>(object));
    auto* surfaceEditor = ObjectAs<TKSurface3D_Depository>(project->GetDepository(surface))->EditorForm();
    auto* lightEditor = ObjectAs<TKLightEditorDepository>(project->GetDepository(point))->EditorForm();
    ASSERT_TRUE(surfaceEditor && lightEditor);
    navigator->Operation(kopOpenObjectEditor, reinterpret_cast<std::intptr_t>(navigator));
    ViewerOf(system)->Show();
    windows = {surfaceEditor, lightEditor, navigator->Navigator(), ViewerOf(system)};
    PumpEvents();

    const std::string file = (dir / "windows.ktp").string();
    admin->SaveProjectToFile(file);
    int round = 0;
    while (admin->Job() != 0 && round < 100000) {
        TForm* form = windows[std::size_t(round++) % windows.size()];
        form->SetBounds(form->Left() + (round % 2 ? 1 : -1), form->Top(), form->Width(), form->Height());
        form->BringToFront();
        PumpEvents();
    }
    ASSERT_EQ(admin->Job(), 0);
    ASSERT_TRUE(fs::is_regular_file(file));

    // The editors and the navigator come back with the load.
    if (project->Modified()) Responder().AnswerMessageBox(IDNO);
    admin->LoadProjectFromFile(file);
    ASSERT_TRUE(PumpUntil([&] { return admin->Job() == 0; }, std::chrono::seconds(120)));
    auto* loaded = ObjectAs<TKelvora3DProject>(admin->Project());
    ASSERT_NE(loaded, nullptr);
    PumpEvents();
    int editors = 0;
    for (int i = 0; i < Screen->FormCount(); ++i)
        if (ObjectAs<TKSurface3DForm>(Screen->Forms(i)) || ObjectAs<TKLightEditorForm>(Screen->Forms(i)) ||
            ObjectAs<TKNavigator3D>(Screen->Forms(i)))
            editors += Screen->Forms(i)->Visible() ? 1 : 0;
    EXPECT_EQ(editors, 3);

    if (loaded->Modified()) Responder().AnswerMessageBox(IDNO);
    DllHideForms();
    PumpEvents();
    FinalizeUnits(&kDllMainUnit, 1);
    fs::remove_all(dir);
}

/// Holds a job's thread at its first progress part-way (on the job's thread only) until it
/// is opened or the job is asked to stop; the progress form has posted that progress by then.
/// It hears the thread until the thread goes (with its progress form): it must outlive it.
class ProgressHold {
public:
    explicit ProgressHold(TKThread& thread) : m_thread(thread)
    {
        m_thread.Events().Add(TKEventHandler::Of<&ProgressHold::OnEvent>(this));
    }
    ~ProgressHold() { Open(); }
    bool Reached() const { return m_reached.load(); }
    void Open() { m_open = true; }

private:
    void OnEvent(TObject*, int code, std::intptr_t param)
    {
        if (code != ktevProgress || platform::IsUiThread() || m_reached) return;
        if (param <= 0 || param >= 1000000) return;
        m_reached = true;
        while (!m_open && !m_thread.IsStopRequested())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }

    TKThread& m_thread;
    std::atomic<bool> m_reached{false};
    std::atomic<bool> m_open{false};
};

// A load runs off the interface thread: the progress form paints its bar part-way while the
// administrator answers, Break stops the load, and the project open before stays as it was.
TEST(Plugin3DEndToEnd, ALoadShowsItsProgressAndBreakKeepsTheProjectBefore)
{
    const fs::path dir = FreshDir("kelvora-load-progress");
    TKAdministrator* admin = AdministratorWithANewProject();
    ASSERT_NE(admin, nullptr);
    auto* project = ObjectAs<TKelvora3DProject>(admin->Project());
    auto* surface = ObjectAs<TKSurface3D>(MakeObject(*project, TKSurface3D::StaticClass()));
    surface->SetName("Relief");
    auto* depository = ObjectAs<TKSurface3D_Depository>(project->GetDepository(surface));
    ASSERT_NE(depository, nullptr);
    TOwned<TKSurface3D_Depository> copy(TKSurface3D_Depository::New());
    copy->Assign(depository);
    copy->SetCounts(256, 256);
    copy->EditSlot(kssZ) = {-1, 40, 0, 0, TARVENIX_SAMPLE_PATH, ""};
    depository->ApplyEdited(nullptr, copy.get());
    const std::string file = (dir / "relief.ktp").string();
    admin->SaveProjectToFile(file);
    ASSERT_TRUE(PumpUntil([&] { return admin->Job() == 0; }, std::chrono::seconds(60)));

    // The project open now: another one, with its own object (the saved one's pictures made
    // first, and their changes not asked about).
    ASSERT_TRUE(
        PumpUntil([&] { return !project->ImagePending() && project->ImageThread()->State() != ktsRunning; },
                  std::chrono::seconds(60)));
    PumpEvents();
    project->SetModified(false);
    ASSERT_TRUE(admin->NewProject(TKelvora3DProject::StaticClass()));
    auto* before = ObjectAs<TKelvora3DProject>(admin->Project());
    ASSERT_NE(before, nullptr);
    MakeObject(*before, TKAmbientLight3D::StaticClass());
    before->SetModified(false);
    admin->RefreshAll();
    const std::size_t lights = std::size_t(before->Lights()->Count());

    const std::size_t asked = Responder().Asked().size();
    admin->LoadProjectFromFile(file);
    ASSERT_EQ(admin->Job(), 1);  // the call returned: the load runs on the progress form's thread
    TKThreadForm* progress = admin->JobForm();
    ASSERT_NE(progress, nullptr);
    auto hold = std::make_unique<ProgressHold>(*progress->Thread());
    ASSERT_TRUE(PumpUntil([&] { return hold->Reached(); }, std::chrono::seconds(60)));
    PumpEvents();
    progress->UpdateWindow();
    const int shown = progress->Thread()->Progress();
    EXPECT_GT(shown, 0);
    EXPECT_LT(shown, 1000000);
    const QImage picture = tarvenix::test::GrabWholeWindow(*progress);
    EXPECT_FALSE(SaveTestOutput(picture, "kelvora-progress-load").empty());
    // The bar's left part is filled, its right part not yet.
    const CRect bar = progress->ProgressRect();
    EXPECT_EQ(QColor(picture.pixel(bar.left + 2, bar.CenterPoint().y)), QColor(0x80, 0x80, 0x80));
    EXPECT_EQ(QColor(picture.pixel(bar.right - 3, bar.CenterPoint().y)), QColor(0xC0, 0xC0, 0xC0));
    // The administrator answers meanwhile, and refuses what would touch the project.
    EXPECT_FALSE(admin->NewBtn->Enabled());
    EXPECT_EQ(admin->Project(), before);

    MouseClick(*progress, progress->BreakBtn->BoundsRect().CenterPoint());
    ASSERT_TRUE(PumpUntil([&] { return admin->Job() == 0; }, std::chrono::seconds(60)));
    EXPECT_EQ(admin->Project(), before);  // stopped: the project before stays, nothing said
    EXPECT_EQ(std::size_t(before->Lights()->Count()), lights);
    EXPECT_EQ(admin->LoadingProject(), nullptr);
    EXPECT_EQ(Responder().Asked().size(), asked);

    // Let run, the same load replaces it.
    admin->LoadProjectFromFile(file);
    ASSERT_TRUE(PumpUntil([&] { return admin->Job() == 0; }, std::chrono::seconds(120)));
    auto* loaded = ObjectAs<TKelvora3DProject>(admin->Project());
    ASSERT_NE(loaded, nullptr);
    EXPECT_NE(loaded, before);
    TKSurface3D* relief = nullptr;
    for (int i = 0; i < loaded->Objects()->Count() && !relief; ++i)
        relief = ObjectAs<TKSurface3D>(loaded->Objects()->GetItem(i));
    ASSERT_NE(relief, nullptr);
    EXPECT_EQ(relief->Width(), 256);

    if (loaded->Modified()) Responder().AnswerMessageBox(IDNO);
    DllHideForms();
    PumpEvents();
    FinalizeUnits(&kDllMainUnit, 1);
    fs::remove_all(dir);
}

}  // namespace
