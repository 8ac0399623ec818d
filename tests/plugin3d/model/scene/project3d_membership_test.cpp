// What the project keeps for the objects of its lists (viewers' cameras, depositories)
// follows them out of the lists however they leave; a group that goes takes its items along;
// a camera's change redraws every viewer that shows it.

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "plugin3d/model/core/k_objects_list.h"
#include "plugin3d/model/scene/k_eye_system3d.h"
#include "tests/plugin3d/model/core/core_test_support.h"
#include "tests/plugin3d/model/scene/project3d_test_support.h"

namespace kelvora::test {

/// A construction whose draw pass projects one point through the pass's camera, as every
/// surface and point set does.
class ProjectingConstruction : public TKCustomConstruction3D {
    DECLARE_TCLASS(ProjectingConstruction)

    void Draw(TDrawContext3D* context) override
    {
        if (!context->Camera) return;
        TVector3S out;
        ProjectWorldPoint(context->Camera, TVector3S{1, 2, 3}, out);
        ++projections;
    }
    std::atomic<int> projections{0};

protected:
    ProjectingConstruction() = default;
};
IMPLEMENT_TCLASS(ProjectingConstruction, TKCustomConstruction3D)

}  // namespace kelvora::test

namespace {

using namespace kelvora::test;

/// How many draw passes each drawing system began.
struct DrawCounts {
    std::vector<TKCustomDrawSystem3D*> systems;
    std::vector<std::unique_ptr<EventLog>> logs;
    explicit DrawCounts(std::vector<TKCustomDrawSystem3D*> ds) : systems(std::move(ds))
    {
        for (TKCustomDrawSystem3D* s : systems) {
            logs.push_back(std::make_unique<EventLog>());
            s->Events().Add(logs.back()->Handler());
        }
    }
    ~DrawCounts()
    {
        for (std::size_t i = 0; i < systems.size(); ++i) systems[i]->Events().Remove(logs[i]->Handler());
    }
    std::vector<int> Counts() const
    {
        std::vector<int> counts;
        for (const auto& log : logs) counts.push_back(int(log->Params(kevDrawingStarted).size()));
        return counts;
    }
    void Clear()
    {
        for (const auto& log : logs) log->Clear();
    }
};

class ProjectMembership : public ::testing::Test {
protected:
    ProjectTestClasses classes;
};

struct LeaveCase {
    const char* what;
    /// Takes item (the list's last entry) out of list; newcomer may take its place.
    std::function<void(TKCustomConstruction3DList& list, TKCustomChangeObject* item,
                       TKCustomChangeObject* newcomer)>
        takeOut;
    /// The list freed the item itself (with the other items).
    bool freedByList;
};

TEST_F(ProjectMembership, WhatLeavesAListLeavesItsViewersAndItsDepository)
{
    const LeaveCase cases[] = {
        {"Delete", [](auto& list, auto* item, auto*) { list.Delete(list.IndexOf(item)); }, false},
        {"Replace by nothing",
         [](auto& list, auto* item, auto*) { list.Replace(list.IndexOf(item), nullptr); }, false},
        {"Replace by another",
         [](auto& list, auto* item, auto* other) { list.Replace(list.IndexOf(item), other); }, false},
        {"SetCount", [](auto& list, auto* item, auto*) { list.SetCount(list.IndexOf(item)); }, false},
        {"Clear", [](auto& list, auto*, auto*) { list.Clear(); }, true},
    };
    for (const LeaveCase& c : cases) {
        SCOPED_TRACE(c.what);
        auto project = NewProject();
        auto* keeper = TestCamera::New(nullptr);
        auto* camera = TestCamera::New(nullptr);
        project->AddObject(nullptr, keeper);
        project->AddObject(nullptr, camera);
        auto* projector = ProjectingConstruction::New(nullptr);
        auto* surface = TestConstruction::New(nullptr);  // has a depository
        project->AddObject(nullptr, projector);
        project->AddObject(nullptr, surface);
        TestDrawSystem* ds[3];
        for (auto*& d : ds) {
            d = TestDrawSystem::New(nullptr);
            project->AddObject(nullptr, d);
        }
        project->SetViewerCamera(ds[0], camera);
        project->SetViewerCamera(ds[1], camera);
        project->SetViewerCamera(ds[2], keeper);
        ASSERT_TRUE(WaitForImages(*project));
        ASSERT_NE(project->GetDepository(surface), nullptr);
        const int depositories = project->DepositoryCount();

        TKCustomChangeObject* newCamera = TestCamera::New(nullptr);
        TKCustomChangeObject* newSurface = TestConstruction::New(nullptr);
        c.takeOut(*project->Cameras(), camera, newCamera);
        c.takeOut(*project->Objects(), surface, newSurface);
        if (project->Cameras()->IndexOf(newCamera) < 0) FreeObject(newCamera);
        if (project->Objects()->IndexOf(newSurface) < 0) FreeObject(newSurface);

        EXPECT_EQ(project->GetViewerCamera(ds[0]), nullptr);
        EXPECT_EQ(project->GetViewerCamera(ds[1]), nullptr);
        EXPECT_EQ(project->GetViewerCamera(ds[2]), c.freedByList ? nullptr : keeper);
        if (!c.freedByList) {
            EXPECT_EQ(project->GetDepository(surface), nullptr);
            EXPECT_EQ(project->DepositoryCount(), depositories - 1);
            // Out of the project, they are the caller's to free.
            camera->Free();
            surface->Free();
        } else {
            EXPECT_EQ(project->DepositoryCount(), 0);
        }
        // The next passes draw through the cameras still there, and only through them.
        ASSERT_TRUE(WaitForImages(*project));
        if (c.freedByList) continue;
        projector->projections = 0;
        project->RedrawObject(nullptr);
        ASSERT_TRUE(WaitForImages(*project));
        EXPECT_EQ(projector->projections, 1);  // ds[2], through the keeper
    }
}

TEST_F(ProjectMembership, AMoveInsideTheProjectKeepsWhatTheObjectHas)
{
    auto project = NewProject();
    auto* group = TKCustomConstruction3DList::New(nullptr);
    project->AddObject(nullptr, group);
    auto* surface = TestConstruction::New(nullptr);
    project->AddObject(nullptr, surface);
    TKObject* depository = project->GetDepository(surface);
    ASSERT_NE(depository, nullptr);
    // Into the group first, then out of the top list: it never left the project.
    group->Add(surface);
    project->Objects()->Delete(project->Objects()->IndexOf(surface));
    EXPECT_EQ(project->GetDepository(surface), depository);
    ASSERT_TRUE(WaitForImages(*project));
}

TEST_F(ProjectMembership, ADeletedGroupTakesItsItemsAlong)
{
    auto project = NewProject();
    TKObjectsList* constructions = Construction3DGlobalList();
    const int before = constructions->Count();
    auto* camera = TestCamera::New(nullptr);
    project->AddObject(nullptr, camera);
    auto* ds = TestDrawSystem::New(nullptr);
    project->AddObject(nullptr, ds);
    project->SetViewerCamera(ds, camera);

    // A group in "Objects" with a surface and a group inside it with another; a group of
    // lights in "Lights".
    auto* group = TKCustomConstruction3DList::New(nullptr);
    project->AddObject(nullptr, group);
    auto* inner = TKCustomConstruction3DList::New(nullptr);
    project->AddObject(group, inner);
    auto* projector = ProjectingConstruction::New(nullptr);
    project->AddObject(group, projector);
    auto* surface = TestConstruction::New(nullptr);
    project->AddObject(inner, surface);
    auto* lamps = TKCustomLightSystem3DList::New(nullptr);
    project->AddObject(nullptr, lamps);
    auto* lamp = TestLight::New(nullptr);
    project->AddObject(lamps, lamp);
    ASSERT_EQ(group->IndexOf(inner), 0);
    ASSERT_EQ(inner->IndexOf(surface), 0);
    ASSERT_EQ(lamps->IndexOf(lamp), 0);
    ASSERT_TRUE(WaitForImages(*project));
    ASSERT_GT(projector->projections, 0);
    ASSERT_EQ(project->DepositoryCount(), 1);

    // What the administrator's Delete does: free the object.
    FreeObject(group);
    FreeObject(lamps);
    EXPECT_EQ(project->Objects()->Count(), 0);
    EXPECT_EQ(project->Lights()->Count(), 0);
    EXPECT_EQ(project->DepositoryCount(), 0);
    // Only the camera is left of everything made here.
    EXPECT_EQ(constructions->Count(), before + 1);
    project->RedrawObject(nullptr);
    ASSERT_TRUE(WaitForImages(*project));
    EXPECT_EQ(project->GetViewerCamera(ds), camera);

    // A group taken out of its list without freeing stays whole, as the caller's; what it
    // holds is no longer the project's.
    auto* kept = TKCustomConstruction3DList::New(nullptr);
    project->AddObject(nullptr, kept);
    auto* held = TestConstruction::New(nullptr);
    project->AddObject(kept, held);
    ASSERT_NE(project->GetDepository(held), nullptr);
    project->Objects()->Delete(project->Objects()->IndexOf(kept));
    EXPECT_EQ(project->GetDepository(held), nullptr);
    EXPECT_EQ(kept->IndexOf(held), 0);
    kept->Clear();
    kept->Free();
    EXPECT_EQ(constructions->Count(), before + 1);
}

TEST_F(ProjectMembership, ACameraChangeRedrawsEveryViewerOfThatCamera)
{
    auto project = NewProject();
    auto* camera = TKEyeSystem3D::New(nullptr);
    auto* other = TKEyeSystem3D::New(nullptr);
    project->AddObject(nullptr, camera);
    project->AddObject(nullptr, other);
    project->AddObject(nullptr, ProjectingConstruction::New(nullptr));
    TestDrawSystem* ds[3];
    for (auto*& d : ds) {
        d = TestDrawSystem::New(nullptr);
        project->AddObject(nullptr, d);
    }
    project->SetViewerCamera(ds[0], camera);
    project->SetViewerCamera(ds[1], other);
    project->SetViewerCamera(ds[2], camera);
    ASSERT_TRUE(WaitForImages(*project));
    DrawCounts drawn({ds[0], ds[1], ds[2]});

    const std::pair<const char*, std::function<void()>> changes[] = {
        {"screen distance", [&] { camera->SetScreenDistance(800); }},
        {"depth scale", [&] { camera->SetDepthScale(500); }},
        {"the end of a move",
         [&] {
             camera->Basis()->BeginTransform();
             camera->Basis()->ApplyTransform(TMatrix3D{}, {1, 2, 3});
             camera->Basis()->EndTransform();
         }},
    };
    for (const auto& [what, change] : changes) {
        SCOPED_TRACE(what);
        drawn.Clear();
        change();
        ASSERT_TRUE(WaitForImages(*project));
        EXPECT_EQ(drawn.Counts(), (std::vector<int>{1, 0, 1}));
    }
}

}  // namespace
