// What the 3D plug-in's windows cost: the viewer painting a 2048 x 2048 32-bit picture
// against QPainter::drawImage of the same pixels, the administrator rebuilding its tree
// for a project of 20,000 objects against mirroring a branch tree of that shape, and the
// administrator loading the project a new user makes (a 4096 x 4096 surface from a layer
// file, a camera and a viewer): the longest time the interface thread did not answer during
// the load, against the whole load; and the load through the administrator against the same
// load on the calling thread.

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>

#include <QImage>
#include <QPainter>

#include "bench/bench_registry.h"
#include "platform/forms/comctrls.h"
#include "platform/forms/forms.h"
#include "plugin3d/forms/forms_units.h"
#include "plugin3d/forms/k_administrator.h"
#include "plugin3d/forms/k_surface3d_depository.h"
#include "plugin3d/forms/k_tree_mirror.h"
#include "plugin3d/forms/k_viewer3d.h"
#include "plugin3d/model/core/core_units.h"
#include "plugin3d/model/render/memory_bitmap.h"
#include "plugin3d/model/render/render_units.h"
#include "plugin3d/model/render/k_basis3d.h"
#include "plugin3d/model/scene/k_drawing_system3d.h"
#include "plugin3d/model/scene/k_eye_system3d.h"
#include "plugin3d/model/scene/k_project3d.h"
#include "plugin3d/model/scene/k_surface3d.h"
#include "plugin3d/model/scene/scene_units.h"

namespace {

constexpr int kPicture = 2048;
constexpr int kObjects = 20000;

void StartPlugin()
{
    static const bool started = [] {
        InitializeUnits(CoreUnits().data(), CoreUnits().size());
        InitializeUnits(RenderUnits().data(), RenderUnits().size());
        InitializeUnits(SceneUnits().data(), SceneUnits().size());
        InitializeUnits(FormsUnits().data(), FormsUnits().size());
        return true;
    }();
    (void)started;
}

const bool kViewerPaint = RegisterBench("viewer-paint-2k", "qimage-draw", [](BenchContext&) {
    StartPlugin();
    static TKDrawingSystem3D* system = [] {
        TKDrawingSystem3D* made = TKDrawingSystem3D::New();
        made->SetColorType(6);
        made->SetImageSize(kPicture, kPicture);
        return made;
    }();
    static TKViewer3D* viewer = [] {
        TKViewer3D* shown = ViewerOf(system);
        shown->Show();
        shown->SetWindowPos(nullptr, 0, 0, kPicture + 16, kPicture + 40,
                            SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        Application->ProcessMessages();
        return shown;
    }();
    static QImage source(kPicture, kPicture, QImage::Format_RGB32);
    static QImage target(kPicture, kPicture + 24, QImage::Format_RGB32);
    source.fill(Qt::darkCyan);
    BenchTimes t;
    t.seconds = Seconds([&] {
        viewer->Invalidate();
        viewer->UpdateWindow();
    });
    t.referenceSeconds = Seconds([&] {
        QPainter painter(&target);
        painter.drawImage(0, 24, source);
    });
    return t;
});

// A project whose custom-object list holds the objects: the administrator's tree has the
// project, its fixed nodes and one node per object.
const bool kAdminRefresh = RegisterBench("admin-refresh-20k", "tree-mirror-20k", [](BenchContext&) {
    StartPlugin();
    static TKAdministrator* admin = [] {
        TKAdministrator* made = TKAdministrator::New(nullptr);
        made->NewProject(TKelvora3DProject::StaticClass());
        auto* project = ObjectAs<TKelvora3DProject>(made->Project());
        for (int i = 0; i < kObjects; ++i)
            project->AddObject(project->CustomObjects(), TKCustomChangeObject::New());
        made->Show();
        Application->ProcessMessages();
        made->RefreshAll();  // the tree holds the objects before the reference copies its shape
        return made;
    }();
    // The reference mirrors a copy of the administrator's branch tree into a tree view of the
    // same kind (a second administrator's, without a project).
    static TKDataBranch* shape = [] {
        TKDataBranch* holder = TKDataBranch::NewNamed("");
        TKDataBranch* copy = TKDataBranch::NewNamed("");
        copy->Assign(admin->Root());
        holder->AddChild(copy);
        return holder;
    }();
    static TKAdministrator* plain = [] {
        TKAdministrator* made = TKAdministrator::New(nullptr);
        made->Show();
        return made;
    }();
    BenchTimes t;
    t.seconds = Seconds([&] { admin->RefreshAll(); });
    t.referenceSeconds = Seconds([&] { FillTreeFromBranch(shape, plain->TreeView1->Items()); });
    return t;
});

// The project a new user makes from a 4096 x 4096 layer, saved once for the run.
std::string NewUsersProject(BenchContext& ctx)
{
    static const std::string file = [&ctx] {
        const std::string layer = ctx.Layer(4096, 4096, 7);
        const std::string saved = ctx.File("new-user-4k.ktp");
        TOwned<TKelvora3DProject> project(TKelvora3DProject::New(nullptr));
        auto* surface = TKSurface3D::New(nullptr);
        project->AddObject(nullptr, surface);
        auto* depository = ObjectAs<TKSurface3D_Depository>(project->GetDepository(surface));
        TOwned<TKSurface3D_Depository> copy(TKSurface3D_Depository::New());
        copy->Assign(depository);
        copy->SetCounts(4096, 4096);
        copy->EditSlot(kssX) = {0, 200, -200, 0, "", ""};
        copy->EditSlot(kssY) = {0, 200, -200, 0, "", ""};
        copy->EditSlot(kssZ) = {-1, 40, 0, 0, layer, ""};
        depository->ApplyEdited(nullptr, copy.get());
        auto* camera = TKEyeSystem3D::New(nullptr);
        camera->SetScreenDistance(300);
        camera->Basis()->SetPlacement(TMatrix3D{{1, 0, 0, 0, 1, 0, 0, 0, -1}}, {0, 0, 500});
        project->AddObject(nullptr, camera);
        auto* viewer = TKDrawingSystem3D::New(nullptr);
        viewer->SetImageSize(320, 240);
        project->AddObject(nullptr, viewer);
        project->SetViewerCamera(viewer, camera);
        project->SaveToFile(saved);
        return saved;
    }();
    return file;
}

// One load through the administrator, its loop run as the program's: the longest spell the
// interface thread spent in one go (the load's start, each pass over the queued messages,
// the load's end) and the whole load.
struct AdminLoad {
    double longest = 0;
    double whole = 0;
};

AdminLoad LoadThroughAdministrator(TKAdministrator& admin, const std::string& file)
{
    using Clock = std::chrono::steady_clock;
    const auto seconds = [](Clock::duration d) { return std::chrono::duration<double>(d).count(); };
    AdminLoad result;
    const Clock::time_point start = Clock::now();
    admin.LoadProjectFromFile(file);
    result.longest = seconds(Clock::now() - start);
    while (admin.Job() != 0) {
        const Clock::time_point pass = Clock::now();
        Application->ProcessMessages();
        result.longest = std::max(result.longest, seconds(Clock::now() - pass));
        if (admin.Job() != 0) std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    result.whole = seconds(Clock::now() - start);
    if (!ObjectAs<TKelvora3DProject>(admin.Project())) std::abort();
    // What the load showed goes before the next one: freeing it is not the load's.
    admin.Project()->SetModified(false);
    admin.NewProject(TKelvora3DProject::StaticClass());
    Application->ProcessMessages();
    return result;
}

TKAdministrator* LoadingAdministrator(BenchContext& ctx)
{
    static TKAdministrator* admin = [&ctx] {
        TKAdministrator* made = TKAdministrator::New(nullptr);
        made->Show();
        Application->ProcessMessages();
        ctx.AtEnd([] {
            FreeObject(admin);
            admin = nullptr;
        });
        return made;
    }();
    return admin;
}

const bool kLoadUi = RegisterBench("project-load-ui", "project-load-admin-4k", [](BenchContext& ctx) {
    StartPlugin();
    const std::string file = NewUsersProject(ctx);
    const AdminLoad load = LoadThroughAdministrator(*LoadingAdministrator(ctx), file);
    BenchTimes t;
    t.seconds = load.longest;
    t.referenceSeconds = load.whole;
    return t;
});

const bool kLoadAdmin = RegisterBench("project-load-admin-4k", "project-load-sync-4k", [](BenchContext& ctx) {
    StartPlugin();
    const std::string file = NewUsersProject(ctx);
    const AdminLoad load = LoadThroughAdministrator(*LoadingAdministrator(ctx), file);
    BenchTimes t;
    t.seconds = load.whole;
    t.referenceSeconds = Seconds([&] {
        TOwned<TKelvora3DProject> project(TKelvora3DProject::New(nullptr));
        project->LoadFromFile(file);
    });
    return t;
});

}  // namespace
