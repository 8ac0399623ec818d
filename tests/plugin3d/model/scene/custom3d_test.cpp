// The abstract 3D classes: switches and their events, draw brackets, the default draw pass,
// basis events, bounding boxes and persistence.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/forms/exceptions.h"
#include "plugin3d/model/core/k_objects_list.h"
#include "tests/plugin3d/model/scene/scene_test_support.h"

namespace {

using namespace kelvora::test;

TEST(Custom3D, SwitchesFireOnlyOnChangeAndNotifyInsideTheUpdate)
{
    EventLog log;
    TOwned<TestConstruction> c(TestConstruction::New());
    TOwned<TestDrawSystem> ds(TestDrawSystem::New());
    TOwned<TestLight> light(TestLight::New());
    c->Events().Add(log.Handler());
    ds->Events().Add(log.Handler());
    light->Events().Add(log.Handler());

    struct Case {
        const char* name;
        std::function<void()> change;
        std::vector<int> codes;
    };
    const Case cases[] = {
        {"same Enabled", [&] { c->SetEnabled(1); }, {}},
        {"construction disabled", [&] { c->SetEnabled(0); }, {4, 4100, 5}},
        {"invisible while disabled", [&] { c->SetVisible(0); }, {4, 5}},
        {"visible while disabled", [&] { c->SetVisible(1); }, {4, 5}},
        {"construction enabled", [&] { c->SetEnabled(1); }, {4, 4100, 5}},
        {"invisible while enabled", [&] { c->SetVisible(0); }, {4, 4100, 5}},
        {"drawing system disabled", [&] { ds->SetEnabled(0); }, {4, 5}},
        {"shadows of an enabled light", [&] { light->SetShadows(1); }, {4, 4100, 5}},
        {"same shadows", [&] { light->SetShadows(1); }, {}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        log.Clear();
        k.change();
        EXPECT_EQ(log.Codes(), k.codes);
    }
    log.Clear();
    c.reset();
    ds.reset();
    light.reset();
}

TEST(Custom3D, DrawBracketsNestAndASurplusEndDoesNothing)
{
    EventLog log;
    TOwned<TestDrawSystem> ds(TestDrawSystem::New());
    ds->Events().Add(log.Handler());
    ds->EndDrawing(5);
    EXPECT_EQ(ds->DrawingDepth(), 0);
    ds->BeginDrawing(7);
    ds->BeginDrawing(8);
    ds->EndDrawing(9);
    ds->EndDrawing(10);
    ds->EndDrawing(11);
    EXPECT_EQ(log.Codes(), (std::vector<int>{kevDrawingStarted, kevDrawingFinished}));
    EXPECT_EQ(log.Params(kevDrawingStarted), (std::vector<std::intptr_t>{7}));
    EXPECT_EQ(log.Params(kevDrawingFinished), (std::vector<std::intptr_t>{10}));
    log.Clear();
    ds.reset();
}

TEST(Custom3D, TheDefaultDrawIsOneWhitePointAtTheOrigin)
{
    TOwned<TKCustomConstruction3D> c(TKCustomConstruction3D::New());
    TOwned<TestCamera> camera(TestCamera::New());
    TOwned<TestDrawSystem> ds(TestDrawSystem::New());
    TMatrix3D identity;
    c->Basis()->SetPlacement(identity, {3, 4, 5});
    camera->Basis()->SetPlacement(identity, {1, 1, 1});

    struct Case {
        const char* name;
        std::uint8_t enabled, visible;
        bool drawSystem;
        std::size_t projected, points;
    };
    const Case cases[] = {
        {"enabled and visible", 1, 1, true, 1, 1},
        {"disabled", 0, 1, true, 0, 0},
        {"invisible", 1, 0, true, 0, 0},
        {"no drawing system", 1, 1, false, 1, 0},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        camera->projected.clear();
        ds->points.clear();
        c->SetEnabled(k.enabled);
        c->SetVisible(k.visible);
        TDrawContext3D context;
        context.Camera = camera.get();
        context.DrawSystem = k.drawSystem ? ds.get() : nullptr;
        c->Draw(&context);
        ASSERT_EQ(camera->projected.size(), k.projected);
        ASSERT_EQ(ds->points.size(), k.points);
        if (k.projected) {
            // The origin in the camera's basis, projected by the camera.
            EXPECT_FLOAT_EQ(camera->projected[0].x, 2);
            EXPECT_FLOAT_EQ(camera->projected[0].z, 4);
        }
        if (k.points) {
            const TVertex3S& v = ds->points[0];
            EXPECT_FLOAT_EQ(v.x, 4);
            EXPECT_FLOAT_EQ(v.y, 3);
            EXPECT_EQ(v.c1 + v.c2 + v.c3, 3.0f);
        }
    }
}

TEST(Custom3D, FreshObjectsHaveTheirDefaults)
{
    TOwned<TestConstruction> c(TestConstruction::New());
    TOwned<TKCustomProjectionSystem3D> camera(TKCustomProjectionSystem3D::New());
    TOwned<TKCustomLightSystem3D> light(TKCustomLightSystem3D::New());
    TOwned<TKCustomObject3D> object(TKCustomObject3D::New());
    EXPECT_EQ(c->Enabled(), 1);
    EXPECT_EQ(c->Visible(), 1);
    EXPECT_EQ(camera->Enabled(), 1);
    EXPECT_EQ(camera->Visible(), 0);
    EXPECT_EQ(light->Visible(), 0);
    EXPECT_EQ(light->Shadows(), 0);
    TVector3D lo, hi;
    object->GetMinCorner(lo);
    object->GetMaxCorner(hi);
    EXPECT_TRUE(VectorEqual(lo, {-1, -1, -1}));
    EXPECT_TRUE(VectorEqual(hi, {1, 1, 1}));
    // The camera's local point is the point less its origin, without turning.
    camera->Basis()->SetPlacement(TMatrix3D{{0, -1, 0, 1, 0, 0, 0, 0, 1}}, {1, 2, 3});
    TVector3D local;
    camera->ToLocal({2, 2, 2}, local);
    EXPECT_TRUE(VectorEqual(local, {1, 0, -1}));
    // Each class joins its global list and leaves it when freed.
    TKObjectsList* constructions = Construction3DGlobalList();
    ASSERT_NE(constructions, nullptr);
    EXPECT_EQ(constructions->Name(), "Global List of KCustomConstruction3D");
    EXPECT_GE(constructions->IndexOf(camera.get()), 0);
    TKCustomConstruction3D* freed = light.get();
    light.reset();
    EXPECT_EQ(constructions->IndexOf(freed), -1);
    EXPECT_EQ(ReflectionLawGlobalList()->Name(), "Global List of KCustomReflectionLaw");
    EXPECT_EQ(DrawSystem3DGlobalList()->Name(), "Global List of KCustomDrawSystem3D");
}

TEST(Custom3D, TheBasisIsNamedLikeItsObjectAndItsMovesAreTheObjectsChanges)
{
    EventLog log;
    TOwned<TestConstruction> c(TestConstruction::New());
    c->SetName("Surface");
    EXPECT_EQ(c->Basis()->Name(), "Surface");
    EXPECT_EQ(c->Basis()->Owner(), c.get());
    c->Events().Add(log.Handler());
    c->Basis()->SetPlacement(TMatrix3D{}, {1, 0, 0});
    EXPECT_EQ(log.Codes(), (std::vector<int>{kevObjectChangeStarted, kevObjectChangeFinished}));
    log.Clear();
    c.reset();
}

// The payload a save writes after the object's part, as little-endian int32s.
std::int32_t LastInt32(const MemoryStream& stream)
{
    std::int32_t v;
    std::memcpy(&v, stream.bytes.data() + stream.bytes.size() - 4, 4);
    return v;
}

TEST(Custom3D, FlagWordsHoldTheSwitches)
{
    TOwned<TestDrawSystem> ds(TestDrawSystem::New());
    ds->SetEnabled(0);
    ds->SetShadeMode(1);
    MemoryStream a;
    const int bytes = ds->SaveToStream(&a);
    EXPECT_EQ(bytes, int(a.bytes.size()));
    EXPECT_EQ(LastInt32(a), 2);

    TOwned<TestConstruction> c(TestConstruction::New());
    c->SetVisible(0);
    MemoryStream b;
    c->SaveToStream(&b);
    EXPECT_EQ(LastInt32(b), 1);

    TOwned<TestLight> light(TestLight::New());
    light->SetShadows(1);
    MemoryStream d;
    light->SaveToStream(&d);
    EXPECT_EQ(LastInt32(d), 1);
    std::int32_t flags;
    std::memcpy(&flags, d.bytes.data() + d.bytes.size() - 8, 4);
    EXPECT_EQ(flags, 1);  // enabled, not visible

    for (TKObject* o : std::initializer_list<TKObject*>{ds.get(), c.get(), light.get()}) {
        EXPECT_EQ(o->SaveToStream(nullptr), -1);
        EXPECT_EQ(o->LoadFromStream(nullptr), -1);
    }
}

TEST(Custom3D, AConstructionComesBackWithItsBasisAndSwitches)
{
    TOwned<TestLight> light(TestLight::New());
    light->SetName("Sun");
    light->SetEnabled(0);
    light->SetShadows(1);
    light->Basis()->SetPlacement(TMatrix3D{{2, 0, 0, 0, 2, 0, 0, 0, 2}}, {7, 8, 9});
    MemoryStream stream;
    const int written = stream.WriteObject(light.get());
    stream.SetPosition(0);
    TKObject* object = nullptr;
    EXPECT_EQ(stream.ReadObject(object, TestLight::StaticClass()), written);
    TOwned<TestLight> copy(static_cast<TestLight*>(object));
    copy->LinkObjects(&stream);
    EXPECT_EQ(copy->Name(), "Sun");
    EXPECT_EQ(copy->Basis()->Name(), "Sun");
    EXPECT_EQ(copy->Enabled(), 0);
    EXPECT_EQ(copy->Visible(), 0);
    EXPECT_EQ(copy->Shadows(), 1);
    TVector3D o;
    copy->Basis()->GetOrigin(o);
    EXPECT_TRUE(VectorEqual(o, {7, 8, 9}));
    // The loaded basis is the one listened to.
    EventLog log;
    copy->Events().Add(log.Handler());
    copy->Basis()->BeginTransform();
    copy->Basis()->EndTransform();
    EXPECT_EQ(log.Codes(), (std::vector<int>{kevObjectChangeStarted, kevObjectChangeFinished}));
    copy->Events().Remove(log.Handler());
}

TEST(Custom3D, AFileWithoutTheBasisIsAnInvalidObject)
{
    TOwned<TestConstruction> c(TestConstruction::New());
    MemoryStream out;
    c->SaveToStream(&out);
    // The basis record's class id becomes 0: the record gives no object.
    MemoryStream in;
    in.bytes = out.bytes;
    const std::size_t basisHead = 4 + c->Name().size();
    std::memset(in.bytes.data() + basisHead, 0, 4);
    TOwned<TestConstruction> target(TestConstruction::New());
    TKBasis3D* before = target->Basis();
    try {
        target->LoadFromStream(&in);
        ADD_FAILURE() << "loaded";
    } catch (const EStreamError& e) {
        EXPECT_NE(std::string(e.what()).find("Can't load : Invalid Object"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("TestConstruction"), std::string::npos) << e.what();
    }
    EXPECT_EQ(target->Basis(), before);
}

}  // namespace
