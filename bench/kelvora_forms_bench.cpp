// What the 3D plug-in's windows cost: the viewer painting a 2048 x 2048 32-bit picture
// against QPainter::drawImage of the same pixels, and the administrator rebuilding its tree
// for a project of 20,000 objects against mirroring a branch tree of that shape.

#include <QImage>
#include <QPainter>

#include "bench/bench_registry.h"
#include "platform/forms/comctrls.h"
#include "platform/forms/forms.h"
#include "plugin3d/forms/forms_units.h"
#include "plugin3d/forms/k_administrator.h"
#include "plugin3d/forms/k_tree_mirror.h"
#include "plugin3d/forms/k_viewer3d.h"
#include "plugin3d/model/core/core_units.h"
#include "plugin3d/model/render/memory_bitmap.h"
#include "plugin3d/model/render/render_units.h"
#include "plugin3d/model/scene/k_drawing_system3d.h"
#include "plugin3d/model/scene/k_project3d.h"
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

}  // namespace
