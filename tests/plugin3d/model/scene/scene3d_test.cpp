// The simple scene: when it makes its image, how edits gather changes into one image, what
// happens when its camera or drawing system goes, failing passes, the passes' status texts
// on its thread, and a real picture through an eye camera and a drawing system.

#include <gtest/gtest.h>

#include <cstring>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "plugin3d/model/core/k_objects_list.h"
#include "plugin3d/model/core/k_threads.h"
#include "plugin3d/model/scene/k_drawing_system3d.h"
#include "plugin3d/model/scene/k_eye_system3d.h"
#include "plugin3d/model/scene/k_scene3d.h"
#include "tests/plugin3d/model/scene/scene_test_support.h"

namespace kelvora::test {

/// A construction whose draw pass fails while `fail` is set.
class FailingConstruction : public TestConstruction {
    DECLARE_TCLASS(FailingConstruction)

    void Draw(TDrawContext3D* context) override
    {
        TestConstruction::Draw(context);
        if (fail) throw std::runtime_error("pass failed");
    }
    bool fail = true;

protected:
    FailingConstruction() = default;
};

IMPLEMENT_TCLASS(FailingConstruction, TestConstruction)

}  // namespace kelvora::test

namespace {

using namespace kelvora::test;

struct SceneRig {
    TOwned<TKSimpleScene3D> scene{TKSimpleScene3D::New()};
    TestConstruction* object = TestConstruction::New();
    TKEyeSystem3D* camera = TKEyeSystem3D::New();
    TestDrawSystem* drawSystem = TestDrawSystem::New();
    EventLog log;

    SceneRig()
    {
        scene->Objects()->Add(object);
        scene->Cameras()->Add(camera);
        scene->Events().Add(log.Handler());
    }
    // Drawing system and camera set: the scene can make images.
    void Complete()
    {
        scene->SetDrawSystem(drawSystem);
        scene->SetCamera(camera);
    }
    std::size_t Images() const { return object->draws.size(); }
    ~SceneRig()
    {
        scene->Events().Remove(log.Handler());
        if (scene->DrawSystem() != drawSystem) FreeObject(drawSystem);
    }
};

TEST(Scene, ANewSceneMakesNoImage)
{
    SceneRig rig;
    EXPECT_EQ(rig.scene->Objects()->Name(), "Objects");
    EXPECT_EQ(rig.scene->Lights()->Name(), "Lights");
    EXPECT_EQ(rig.scene->Cameras()->Name(), "Cameras");
    EXPECT_EQ(rig.scene->Lights()->Visible(), 0);
    EXPECT_EQ(rig.scene->Cameras()->Visible(), 0);
    EXPECT_GE(Scene3DGlobalList()->IndexOf(rig.scene.get()), 0);
    rig.scene->Invalidate(0);
    rig.scene->SetDrawSystem(rig.drawSystem);  // still no camera
    EXPECT_EQ(rig.Images(), 0u);
    EXPECT_TRUE(rig.scene->ImageNeeded());
    // A camera that is not one of the scene's is refused.
    TOwned<TKEyeSystem3D> stranger(TKEyeSystem3D::New());
    rig.scene->SetCamera(stranger.get());
    EXPECT_EQ(rig.scene->Camera(), nullptr);
    rig.scene->SetCamera(rig.camera);
    EXPECT_EQ(rig.Images(), 1u);
    EXPECT_FALSE(rig.scene->ImageNeeded());
    EXPECT_EQ(rig.object->draws.back(), "+");
}

TEST(Scene, InvalidateFiresOnceUntilTheImageIsMade)
{
    SceneRig rig;
    rig.Complete();
    const std::size_t before = rig.Images();
    rig.log.Clear();
    rig.scene->BeginSceneEdit(0);
    rig.scene->Invalidate(5);
    rig.scene->Invalidate(6);
    EXPECT_EQ(rig.log.Params(kevPictureChanged), (std::vector<std::intptr_t>{5}));
    rig.scene->EndSceneEdit(0);
    EXPECT_EQ(rig.Images(), before + 1);
    rig.scene->Invalidate(7);  // drawn at once: no edit is open
    EXPECT_EQ(rig.log.Params(kevPictureChanged), (std::vector<std::intptr_t>{5, 7}));
    EXPECT_EQ(rig.Images(), before + 2);
}

TEST(Scene, ChangesInsideOneEditMakeOneImage)
{
    SceneRig rig;
    rig.Complete();
    const std::size_t before = rig.Images();
    rig.log.Clear();
    rig.scene->BeginSceneEdit(3);
    rig.object->SetVisible(0);
    rig.object->SetVisible(1);
    rig.object->Basis()->BeginTransform();
    rig.object->Basis()->ApplyTransform(TMatrix3D{}, {1, 0, 0});
    rig.object->Basis()->EndTransform();
    rig.camera->SetScreenDistance(500);
    EXPECT_EQ(rig.Images(), before);
    rig.scene->EndSceneEdit(4);
    EXPECT_EQ(rig.Images(), before + 1);
    EXPECT_EQ(rig.log.Params(kevSceneEditStarted), (std::vector<std::intptr_t>{3}));
    EXPECT_EQ(rig.log.Params(kevSceneEditFinished), (std::vector<std::intptr_t>{4}));
    rig.scene->EndSceneEdit(0);  // surplus: nothing
    EXPECT_EQ(rig.log.Params(kevSceneEditFinished).size(), 1u);
    // One change outside an edit is an edit of its own: one image.
    rig.object->SetVisible(0);
    EXPECT_EQ(rig.Images(), before + 2);
}

TEST(Scene, WithoutItsCameraOrDrawingSystemTheSceneStopsImaging)
{
    SceneRig rig;
    rig.Complete();
    const std::size_t before = rig.Images();
    FreeObject(rig.camera);
    EXPECT_EQ(rig.scene->Camera(), nullptr);
    EXPECT_EQ(rig.scene->Cameras()->Count(), 0);
    rig.object->SetVisible(0);
    EXPECT_EQ(rig.Images(), before);
    EXPECT_TRUE(rig.scene->ImageNeeded());

    rig.camera = TKEyeSystem3D::New();
    rig.scene->Cameras()->Add(rig.camera);
    rig.scene->SetCamera(rig.camera);
    EXPECT_EQ(rig.Images(), before + 1);
    FreeObject(rig.drawSystem);
    rig.drawSystem = nullptr;
    EXPECT_EQ(rig.scene->DrawSystem(), nullptr);
    rig.object->SetVisible(1);
    EXPECT_EQ(rig.Images(), before + 1);
}

TEST(Scene, AFailingPassFiresEventOneAndKeepsTheImageNeeded)
{
    SceneRig rig;
    auto* failing = FailingConstruction::New();
    rig.scene->Objects()->Add(failing);
    rig.Complete();
    EXPECT_EQ(rig.log.Params(kevImageFailed), (std::vector<std::intptr_t>{1}));
    EXPECT_TRUE(rig.scene->ImageNeeded());
    EXPECT_EQ(rig.drawSystem->DrawingDepth(), 0);  // the pass's bracket was closed
    // The next change tries again.
    failing->fail = false;
    rig.object->SetVisible(0);
    EXPECT_FALSE(rig.scene->ImageNeeded());
    EXPECT_EQ(rig.log.Params(kevImageFailed).size(), 1u);
}

// The thread's status texts as they change.
class StatusLog {
public:
    void OnEvent(TObject* sender, int code, std::intptr_t)
    {
        if (code != ktevStatus) return;
        std::lock_guard lock(m_mutex);
        m_texts.push_back(static_cast<TKThread*>(sender)->StatusText());
    }
    TKEventHandler Handler() { return TKEventHandler::Of<&StatusLog::OnEvent>(this); }
    std::vector<std::string> Texts()
    {
        std::lock_guard lock(m_mutex);
        return m_texts;
    }

private:
    std::mutex m_mutex;
    std::vector<std::string> m_texts;
};

TEST(Scene, OnItsThreadThePassesShowTheirStatusInOrder)
{
    SceneRig rig;
    StatusLog status;
    rig.scene->Thread()->Events().Add(status.Handler());
    rig.scene->SetAsynchronous(1);
    rig.Complete();
    WaitUntil([&] { return !rig.scene->ImageNeeded() && rig.scene->Thread()->State() != ktsRunning; });
    rig.scene->Thread()->Join();
    const std::vector<std::string> expected = {"MakeImage.1", "MakeImage.1.1", "MakeImage.2", "MakeImage.3",
                                               "MakeImage.3.1"};
    std::vector<std::string> texts = status.Texts();
    // Whatever the thread shows before and after the passes.
    auto first = std::find(texts.begin(), texts.end(), "MakeImage.1");
    ASSERT_NE(first, texts.end());
    EXPECT_EQ(std::vector<std::string>(first, first + std::min<std::ptrdiff_t>(5, texts.end() - first)),
              expected);
    EXPECT_EQ(rig.object->draws, (std::vector<std::string>{"MakeImage.1.1+"}));
    rig.scene->Thread()->Events().Remove(status.Handler());
}

TEST(Scene, DestroyingASceneWhileItsJobRunsWaitsForIt)
{
    for (int round = 0; round < 5; ++round) {
        TOwned<TKSimpleScene3D> scene(TKSimpleScene3D::New());
        scene->SetAsynchronous(1);
        auto* camera = TKEyeSystem3D::New();
        scene->Cameras()->Add(camera);
        for (int i = 0; i < 20; ++i) scene->Objects()->Add(TKCustomConstruction3D::New());
        scene->SetDrawSystem(TKDrawingSystem3D::NewWithScene(scene.get()));
        scene->SetCamera(camera);
        camera->SetScreenDistance(900);
    }
}

TEST(Scene, TwoScenesCarryConsecutiveCounters)
{
    TOwned<TKSimpleScene3D> a(TKSimpleScene3D::New()), b(TKSimpleScene3D::New());
    auto counter = [](const std::string& name) {
        EXPECT_EQ(name.rfind("TKScene3D #", 0), 0u) << name;
        return std::stoull(name.substr(std::strlen("TKScene3D #")));
    };
    EXPECT_EQ(counter(b->Name()), counter(a->Name()) + 1);
    EXPECT_NE(a->Name().find("/ PrID #"), std::string::npos);
    EXPECT_NE(a->Name().find("/ ThID #"), std::string::npos);
    EXPECT_NE(a->Name().find("/ Time #"), std::string::npos);
}

TEST(Scene, AnEyeCameraAndADrawingSystemMakeAPicture)
{
    TOwned<TKSimpleScene3D> scene(TKSimpleScene3D::New());
    auto* ds = TKDrawingSystem3D::NewWithScene(scene.get());
    EXPECT_EQ(ds->Viewer(), nullptr);
    auto* camera = TKEyeSystem3D::New();
    scene->Cameras()->Add(camera);
    // The camera 100 above the origin looks down at a construction's point there.
    camera->Basis()->BeginTransform();
    camera->Basis()->ApplyTransform(TMatrix3D{}, {0, 0, 100});
    camera->Basis()->EndTransform();
    auto* point = TKCustomConstruction3D::New();
    point->Basis()->BeginTransform();
    point->Basis()->ApplyTransform(TMatrix3D{}, {0.05, 0.1, 0});  // 0.5 and 1 pixel off centre
    point->Basis()->EndTransform();
    scene->Objects()->Add(point);
    scene->SetDrawSystem(ds);
    scene->SetCamera(camera);
    auto pixel = [&](int x, int y) {
        const auto* row =
            static_cast<const std::uint8_t*>(ds->Bitmap()->Pixels()) + y * ds->Bitmap()->RowBytes();
        return row[x];
    };
    // x 0.5 rounds half to even onto the centre column, y one row up.
    EXPECT_EQ(pixel(64, 65), 191);
    int lit = 0;
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x) lit += pixel(x, y) != 192;
    EXPECT_EQ(lit, 1);
}

}  // namespace
