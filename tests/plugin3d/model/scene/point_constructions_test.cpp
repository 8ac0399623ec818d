// Point sets and tie models: bounds and their centre point, attenuation, which ties draw,
// tie-model texts, the owned reflection law, and persistence.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "platform/forms/exceptions.h"
#include "plugin3d/model/scene/k_diffuse_reflection.h"
#include "plugin3d/model/scene/k_lights3d.h"
#include "plugin3d/model/scene/k_point_constructions.h"
#include "tests/plugin3d/model/scene/project3d_test_support.h"
#include "tests/plugin3d/model/scene/scene_test_support.h"
#include "tests/support/test_environment.h"

namespace {

using namespace kelvora::test;

// A law with one coefficient, copied by Assign (which a clone runs).
class TestLaw : public TKCustomReflectionLaw {
    DECLARE_TCLASS(TestLaw)

    void Assign(TPersistent* source) override
    {
        auto* other = ObjectAs<TestLaw>(source);
        if (!other) return TKCustomReflectionLaw::Assign(source);
        BeginUpdate();
        value = other->value;
        ++assigned;
        EndUpdate();
    }
    int value = 0;
    int assigned = 0;

protected:
    TestLaw() = default;
};
IMPLEMENT_TCLASS(TestLaw, TKCustomReflectionLaw)

class OtherLaw : public TestLaw {
    DECLARE_TCLASS(OtherLaw)

protected:
    OtherLaw() = default;
};
IMPLEMENT_TCLASS(OtherLaw, TestLaw)

constexpr char kModel[] =
    "Points Count : 3\r\n"
    "Point 0\r\n"
    "  p : 0 0 0\r\n"
    "  n : 0 0 1\r\n"
    "  i : 1 1 1\r\n"
    "Point 1\r\n"
    "  p : 1.5 0 0\r\n"
    "  n : 0 0 1\r\n"
    "  i : 1 0 0\r\n"
    "Point 2\r\n"
    "  p : 0 2 -0.25\r\n"
    "  n : 0 0 1\r\n"
    "  i : 0 1 0\r\n"
    "Ties Count : 3\r\n"
    "Tie 0\r\n"
    "  p : 0\r\n"
    "Tie 1\r\n"
    "  l : 0 1\r\n"
    "Tie 2\r\n"
    "  t : 0 1 2\r\n";

TOwned<TKTiesConstruction3D> ModelFrom(const std::string& text)
{
    TOwned<TKTiesConstruction3D> model(TKTiesConstruction3D::New());
    model->BeginPointsUpdate(0);
    TKTiesConstruction3D::LoadFromText(model.get(), text);
    model->EndPointsUpdate(0);
    return model;
}

// What a model's ties are: kind letter and indexes, e.g. "p0 l01 t012".
std::string TiesOf(const TKTiesConstruction3D& model)
{
    std::string out;
    for (int t = 0; t < model.TieCount(); ++t) {
        const TKCustomTie3D* tie = model.GetTie(t);
        if (!out.empty()) out += ' ';
        if (!tie) {
            out += '-';
            continue;
        }
        out += tie->Kind() == ktkPoint ? 'p' : tie->Kind() == ktkLine ? 'l' : 't';
        for (int k = 0; k < tie->IndexCount(); ++k) out += std::to_string(tie->Index(k));
    }
    return out;
}

struct Scene {
    TOwned<TKCustomProjectionSystem3D> camera{TKCustomProjectionSystem3D::New()};
    TOwned<TestDrawSystem> ds{TestDrawSystem::New()};
    void Draw(TKCustomPointConstruction3D& c)
    {
        ds->Clear();
        TDrawContext3D context;
        context.Camera = camera.get();
        context.DrawSystem = ds.get();
        c.Draw(&context);
    }
};

TEST(TieText, ReadsPointsAndTiesAndStopsWhereTheTextDoes)
{
    std::string model = kModel;
    struct Case {
        const char* name;
        std::string text;
        int points;
        std::vector<float> lastPoint;  // position, normal and colour of the last point
        std::string ties;
    };
    const std::string cut = model.substr(0, model.find("-0.25"));
    std::string unknownKind = model;
    unknownKind.replace(unknownKind.find("  l : 0 1"), 3, "  q");
    const Case cases[] = {
        {"the whole model", model, 3, {0, 2, -0.25f, 0, 0, 1, 0, 1, 0}, "p0 l01 t012"},
        {"no ties count", model.substr(0, model.find("Ties Count")), 3, {0, 2, -0.25f, 0, 0, 1, 0, 1, 0}, ""},
        {"ending inside the third point", cut, 3, {0, 2, 0, 0, 0, 0, 0, 0, 0}, ""},
        {"an unknown kind letter", unknownKind, 3, {0, 2, -0.25f, 0, 0, 1, 0, 1, 0}, "p0 t012"},
        {"a negative point count",
         "Points Count : -2\r\nTies Count : 1\r\nTie 0\r\nl : 0 1\r\n",
         0,
         {},
         "l01"},
        {"no points count", "Ties Count : 1\r\nTie 0\r\np : 0\r\n", 0, {}, ""},
        {"a tie line cut after its letter",
         "Points Count : 0\r\nTies Count : 1\r\nTie 0\r\n  t",
         0,
         {},
         "t000"},
        {"a text ending after a tie's header", "Points Count : 0\r\nTies Count : 2\r\nTie 0\r\n", 0, {}, ""},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        auto m = ModelFrom(k.text);
        ASSERT_EQ(m->PointCount(), k.points);
        if (!k.lastPoint.empty()) {
            const TPointRecord3D& p = *m->GetPoint(k.points - 1);
            const std::vector<float> actual{p.Position.x, p.Position.y, p.Position.z, p.Normal.x, p.Normal.y,
                                            p.Normal.z,   p.Color.x,    p.Color.y,    p.Color.z};
            EXPECT_EQ(actual, k.lastPoint);
        }
        EXPECT_EQ(TiesOf(*m), k.ties);
    }
    EXPECT_EQ(ModelFrom(model)->GetPoint(1)->Position.x, 1.5f);

    std::string comma = model;
    comma.replace(comma.find("1.5"), 3, "1,5");
    EXPECT_THROW(ModelFrom(comma), EConvertError);
}

TEST(TieText, KeywordsAndNumbersAreFoundFromThePosition)
{
    using namespace tietext;
    const std::string_view text = "ab Tie\x01\x80 -12 3.25e1";
    std::size_t pos = 0;
    EXPECT_TRUE(FindTextKeyword(text, pos, "Tie"));
    EXPECT_EQ(pos, 3u);
    std::size_t from = 4;
    EXPECT_FALSE(FindTextKeyword(text, from, "Tie"));
    EXPECT_EQ(from, 4u);
    pos += 3;
    EXPECT_EQ(ReadTextInt(text, pos), -12);  // codes up to 32 and from 128 separate tokens
    EXPECT_EQ(ReadTextFloat(text, pos), 32.5);
    EXPECT_EQ(ReadTextInt(text, pos), 0);  // nothing left
    EXPECT_EQ(pos, text.size());
}

TEST(PointConstruction3D, BoundsAndTheirCentrePointFollowThePoints)
{
    TOwned<TKCustomPointConstruction3D> c(TKCustomPointConstruction3D::New());
    EXPECT_EQ(c->CenterPoint()->Name(), "Center Point");
    EXPECT_EQ(c->Basis()->IndexOfChild(c->CenterPoint()), 0);
    TMatrix3D identity;
    c->Basis()->SetPlacement(identity, {10, 0, 0});
    c->BeginPointsUpdate(0);
    c->SetPointCount(1);
    c->GetPoint(0)->Position = {1, 2, 3};
    c->EndPointsUpdate(0);
    TVector3D min, max, centre;
    c->GetMinCorner(min);
    c->GetMaxCorner(max);
    EXPECT_TRUE(VectorEqual(min, {1, 2, 3}));
    EXPECT_TRUE(VectorEqual(max, {1, 2, 3}));
    c->CenterPoint()->GetOrigin(centre);
    EXPECT_TRUE(VectorEqual(centre, {11, 2, 3}));  // carried by the construction's basis

    c->SetPointCount(0);
    c->GetMaxCorner(max);
    EXPECT_TRUE(VectorEqual(max, {1, 1, 1}));
    c->CenterPoint()->GetOrigin(centre);
    EXPECT_TRUE(VectorEqual(centre, {11, 2, 3}));  // an empty set leaves it where it was
    EXPECT_EQ(c->GetPoint(0), nullptr);
    c->SetPointCount(-3);
    EXPECT_EQ(c->PointCount(), 0);
}

// A load finds the bounds of the points as it reads them, piece by piece: they must be the
// bounds a walk over all points finds, bit for bit, whatever the count and wherever the
// extremes (and not-a-numbers, which a box skips) lie.
TEST(PointConstruction3D, ALoadedPointSetHasTheBoundsAWalkFinds)
{
    const float nan = std::nanf("");
    struct Case {
        const char* name;
        int count;
        std::function<TVector3S(int)> position;
    };
    const Case cases[] = {
        {"one point", 1,
         [](int) {
             return TVector3S{-1.5f, 2, 3};
         }},
        {"a whole piece", 512,
         [](int i) {
             return TVector3S{float(i % 7), -float(i), float(i * i % 11)};
         }},
        {"extremes in the last piece", 1300,
         [](int i) {
             return TVector3S{float(i % 13) - (i == 1299 ? 1e6f : 0), float(i == 1024), -0.0f};
         }},
        {"a first point that is not a number", 700,
         [&](int i) {
             return TVector3S{i == 0 ? nan : float(i), 1, float(-i)};
         }},
        {"not-a-numbers later on", 1025,
         [&](int i) {
             return TVector3S{i % 100 == 3 ? nan : float(i), nan, 2};
         }},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        TOwned<TKCustomPointConstruction3D> source(TKCustomPointConstruction3D::New());
        source->BeginPointsUpdate(0);
        source->SetPointCount(k.count);
        for (int i = 0; i < k.count; ++i) source->GetPoint(i)->Position = k.position(i);
        source->EndPointsUpdate(0);
        MemoryStream stream;
        source->SaveToStream(&stream);
        TOwned<TKCustomPointConstruction3D> loaded(TKCustomPointConstruction3D::New());
        stream.SetPosition(0);
        loaded->LoadFromStream(&stream);
        TVector3D read[2], walked[2];
        loaded->GetMinCorner(read[0]);
        loaded->GetMaxCorner(read[1]);
        loaded->BeginPointsUpdate(0);
        loaded->EndPointsUpdate(0);
        loaded->GetMinCorner(walked[0]);
        loaded->GetMaxCorner(walked[1]);
        EXPECT_EQ(std::memcmp(read, walked, sizeof read), 0);
        source->GetMinCorner(walked[0]);
        source->GetMaxCorner(walked[1]);
        EXPECT_EQ(std::memcmp(read, walked, sizeof read), 0);
    }
}

// A large point set is read into memory another one may just have given back: it must hold
// exactly the stored points, every byte written by the read, whatever the memory held.
TEST(PointConstruction3D, APointSetReadWhereAnotherOneWasHoldsJustItsStoredPoints)
{
    constexpr int kCount = 120000;  // about 7 MB: an array block that is kept and reused
    auto filled = [](int count, float base) {
        TOwned<TKCustomPointConstruction3D> c(TKCustomPointConstruction3D::New());
        c->BeginPointsUpdate(0);
        c->SetPointCount(count);
        for (int i = 0; i < count; ++i) {
            TPointRecord3D& p = *c->GetPoint(i);
            p.Position = {base + float(i), base - float(i), base};
            p.Normal = {0, 0, 1};
            p.Color = {base, 0.5f, 0.25f};
            p.Vertex = {base, float(i), 2, 3, 4, 5};
        }
        c->EndPointsUpdate(0);
        return c;
    };
    auto source = filled(kCount - 1000, 7);
    MemoryStream stream;
    source->SaveToStream(&stream);
    filled(kCount, -3).reset();  // its memory is given back just before the read
    TOwned<TKCustomPointConstruction3D> loaded(TKCustomPointConstruction3D::New());
    stream.SetPosition(0);
    loaded->LoadFromStream(&stream);
    ASSERT_EQ(loaded->PointCount(), source->PointCount());
    EXPECT_EQ(std::memcmp(loaded->GetPoint(0), source->GetPoint(0),
                          sizeof(TPointRecord3D) * std::size_t(kCount - 1000)),
              0);
}

TEST(PointConstruction3D, AttenuationOnlyEverDarkens)
{
    Scene scene;
    TOwned<TKCustomPointConstruction3D> c(TKCustomPointConstruction3D::New());
    c->SetPointCount(2);
    c->GetPoint(0)->Position = {0, 0, 5};
    c->GetPoint(1)->Position = {0, 0, 20};
    for (int i = 0; i < 2; ++i) c->GetPoint(i)->Color = {1, 0.5f, 1};
    c->SetLighting(0);
    struct Case {
        double c0, c1, c2;
        float near, far;  // the red channel at 5 and at 20
    };
    const Case cases[] = {
        {1, 0, 0, 1, 1},
        {0, 0, 0.01, 1, 0.25f},  // 0.25 at 5 is not above 1; 4 at 20
        {0, 0.5, 0, 0.4f, 0.1f},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.c2);
        c->SetAttenuation(k.c0, k.c1, k.c2);
        scene.Draw(*c);
        ASSERT_EQ(scene.ds->Kinds(), "pp");
        EXPECT_FLOAT_EQ(scene.ds->points[0].c1, k.near);
        EXPECT_FLOAT_EQ(scene.ds->points[1].c1, k.far);
        EXPECT_FLOAT_EQ(scene.ds->points[1].c2, k.far / 2);
        EXPECT_EQ(scene.ds->points[1].z, 20);
    }
    c->SetEnabled(0);
    scene.Draw(*c);
    EXPECT_EQ(scene.ds->Kinds(), "");
}

// Lit points take the law's colour for their normal, turned by the construction's basis,
// times their colour coefficients and the attenuation.
TEST(PointConstruction3D, LitPointsTakeTheLawsColourForTheirTurnedNormal)
{
    Scene scene;
    TOwned<TKCustomLightSystem3DList> lights(TKCustomLightSystem3DList::New());
    auto* light = TKFlatSpringLight3D::New();  // white, travelling along -z
    light->Basis()->SetPlacement(TMatrix3D{{0, 0, 1, 0, 1, 0, -1, 0, 0}}, {0, 0, 0});
    light->UpdateDirection();
    lights->Add(light);
    TOwned<TKCustomPointConstruction3D> c(TKCustomPointConstruction3D::New());
    c->SetPointCount(2);
    c->GetPoint(0)->Normal = {0, 0, 1};  // towards the light
    c->GetPoint(1)->Normal = {1, 0, 0};  // edge-on: the law's light term of cosine 0 is 0.5
    for (int i = 0; i < 2; ++i) {
        c->GetPoint(i)->Position = {float(i), 0, -2};
        c->GetPoint(i)->Color = {1, 0.5f, 0.25f};
    }
    TOwned<TKSimpleDiffuseReflection> law(TKSimpleDiffuseReflection::New());
    c->SetReflection(law.get());
    const auto draw = [&] {
        scene.ds->Clear();
        TDrawContext3D context;
        context.Camera = scene.camera.get();
        context.Lights = lights.get();
        context.DrawSystem = scene.ds.get();
        c->Draw(&context);
        return scene.ds->points;
    };
    std::vector<TVertex3S> v = draw();
    ASSERT_EQ(v.size(), 2u);
    EXPECT_FLOAT_EQ(v[0].c1, 1);
    EXPECT_FLOAT_EQ(v[0].c2, 0.5f);
    EXPECT_FLOAT_EQ(v[0].c3, 0.25f);
    // The radiation term weighs the view: the second point is seen a little from the side,
    // but with the default coefficients every view counts 1.
    EXPECT_FLOAT_EQ(v[1].c1, 0.5f);
    // Turned half a turn about y, the first normal faces away from the light.
    TMatrix3D turn;
    RotationMatrix({0, 1, 0}, M_PI, turn);
    c->Basis()->SetPlacement(turn, {0, 0, 0});
    v = draw();
    EXPECT_NEAR(v[0].c1, 0, 1e-6);
    c->SetAttenuation(0, 0, 1);  // d^2 = 4 at the first point
    c->Basis()->SetPlacement(TMatrix3D{}, {0, 0, 0});
    EXPECT_FLOAT_EQ(draw()[0].c1, 0.25f);
    c->SetLighting(0);
    EXPECT_FLOAT_EQ(draw()[0].c1, 0.25f);  // the coefficient, attenuated, without the law
    lights->Clear();
}

TEST(TiesConstruction3D, TheMaskChoosesWhichTiesDraw)
{
    Scene scene;
    auto m = ModelFrom(kModel);
    // A tie pointing past the points draws nothing (and reads nothing).
    TKCustomTie3D* stray = TKSimpleLineTie3D::New();
    stray->SetIndex(0, 1);
    stray->SetIndex(1, 3);
    EXPECT_EQ(m->AddTie(stray), 3);
    m->SetTieCount(5);  // an empty entry
    struct Case {
        int mask;
        std::string kinds;
    };
    for (const Case& k : {Case{7, "plt"}, Case{2, "l"}, Case{5, "pt"}, Case{0, "ppp"}, Case{8, ""}}) {
        SCOPED_TRACE(k.mask);
        m->SetTieMask(k.mask);
        scene.Draw(*m);
        EXPECT_EQ(scene.ds->Kinds(), k.kinds);
    }
    m->SetTieMask(7);
    m->SetSmoothShading(1);
    scene.Draw(*m);
    EXPECT_EQ(scene.ds->primitives[2].smooth, 1);
    EXPECT_EQ(scene.ds->primitives[2].v[1].x, 1.5f);
}

TEST(TiesConstruction3D, ATieBelongsToOneConstruction)
{
    auto a = ModelFrom(kModel);
    auto b = ModelFrom(kModel);
    TKCustomTie3D* tie = a->GetTie(1);
    EXPECT_EQ(b->AddTie(tie), -1);
    EXPECT_EQ(tie->Owner(), a.get());
    EXPECT_EQ(b->TieCount(), 3);
    EXPECT_EQ(a->AddTie(tie), 1);
    EXPECT_EQ(a->AddTie(nullptr), -1);
    EXPECT_EQ(a->IndexOfTie(tie), 1);
    EXPECT_EQ(a->IndexOfTie(b->GetTie(1)), -1);
    a->SetTieCount(1);
    EXPECT_EQ(TiesOf(*a), "p0");
    EXPECT_EQ(a->GetTie(1), nullptr);
}

TEST(TiesConstruction3D, ARoundTripDrawsTheSame)
{
    Scene scene;
    auto m = ModelFrom(kModel);
    m->SetTieCount(4);  // an empty entry is stored as kind 0
    m->SetTieMask(6);
    m->SetSmoothShading(1);
    m->SetAttenuation(1, 0.5, 0);
    scene.Draw(*m);
    const std::string before = scene.ds->Kinds();
    const std::vector<TestDrawSystem::Primitive> drawn = scene.ds->primitives;

    MemoryStream stream;
    const int bytes = m->SaveToStream(&stream);
    ASSERT_EQ(bytes, int(stream.bytes.size()));
    TOwned<TKTiesConstruction3D> copy(TKTiesConstruction3D::New());
    stream.SetPosition(0);
    EXPECT_EQ(copy->LoadFromStream(&stream), bytes);
    EXPECT_GT(copy->LinkObjects(&stream), 0);
    EXPECT_EQ(TiesOf(*copy), "p0 l01 t012 -");
    EXPECT_EQ(copy->GetTie(2)->Owner(), copy.get());
    EXPECT_EQ(copy->TieMask(), 6);
    EXPECT_EQ(copy->Basis()->IndexOfChild(copy->CenterPoint()), 0);
    TVector3D max;
    copy->GetMaxCorner(max);
    EXPECT_EQ(max.x, 1.5);
    scene.Draw(*copy);
    EXPECT_EQ(scene.ds->Kinds(), before);
    ASSERT_EQ(scene.ds->primitives.size(), drawn.size());
    for (std::size_t p = 0; p < drawn.size(); ++p)
        for (std::size_t v = 0; v < drawn[p].v.size(); ++v) {
            EXPECT_EQ(scene.ds->primitives[p].v[v].x, drawn[p].v[v].x);
            EXPECT_EQ(scene.ds->primitives[p].v[v].c1, drawn[p].v[v].c1);
            EXPECT_EQ(scene.ds->primitives[p].smooth, drawn[p].smooth);
        }
}

// A project holding a tie model and a point set saves them and loads them back as they were:
// the stream knows both classes.
TEST(TiesConstruction3D, AProjectFileKeepsTieModelsAndPointSets)
{
    auto model = ModelFrom(kModel);
    model->SetName("Dial");
    model->SetTieMask(6);
    TOwned<TKCustomPointConstruction3D> cloud(TKCustomPointConstruction3D::New());
    cloud->Assign(model.get());
    cloud->SetName("Cloud");
    Scene scene;
    scene.Draw(*model);
    const std::string modelDraws = scene.ds->Kinds();
    scene.Draw(*cloud);
    const std::string cloudDraws = scene.ds->Kinds();

    auto project = NewProject();
    project->AddObject(nullptr, model.release());
    project->AddObject(nullptr, cloud.release());
    tarvenix::test::TempDir dir;
    project->SaveToFile(dir.File("points.ktp"));
    auto loaded = NewProject();
    loaded->LoadFromFile(dir.File("points.ktp"));
    ASSERT_TRUE(WaitForImages(*loaded));

    ASSERT_EQ(loaded->Objects()->Count(), 2);
    auto* dial = ObjectAs<TKTiesConstruction3D>(loaded->Objects()->GetItem(0));
    ASSERT_NE(dial, nullptr);
    EXPECT_EQ(dial->Name(), "Dial");
    EXPECT_EQ(TiesOf(*dial), "p0 l01 t012");
    EXPECT_EQ(dial->TieMask(), 6);
    scene.Draw(*dial);
    EXPECT_EQ(scene.ds->Kinds(), modelDraws);

    auto* points = ObjectAs<TKCustomPointConstruction3D>(loaded->Objects()->GetItem(1));
    ASSERT_NE(points, nullptr);
    EXPECT_EQ(ObjectAs<TKTiesConstruction3D>(points), nullptr);
    EXPECT_EQ(points->Name(), "Cloud");
    ASSERT_EQ(points->PointCount(), 3);
    const TVector3S second = points->GetPoint(1)->Position, third = points->GetPoint(2)->Color;
    EXPECT_EQ(second.x, 1.5f);
    EXPECT_EQ(third.y, 1.0f);
    EXPECT_EQ(third.x, 0.0f);
    scene.Draw(*points);
    EXPECT_EQ(scene.ds->Kinds(), cloudDraws);
}

TEST(TiesConstruction3D, CountsARecordCannotHoldAreRefused)
{
    auto m = ModelFrom(kModel);
    MemoryStream good;  // reloaded by the stream that wrote it, which knows its classes
    m->SaveToStream(&good);
    // The point count follows the construction's part; the tie count comes before the three
    // ties (4 bytes of kind and 4 per index each).
    MemoryStream scratch;
    const auto pointCount = std::size_t(m->TKCustomConstruction3D::SaveToStream(&scratch));
    const std::size_t tieCount = good.bytes.size() - (4 + 4 * 1) - (4 + 4 * 2) - (4 + 4 * 3) - 4;
    struct Case {
        const char* name;
        std::size_t at;
        std::int32_t value;
    };
    for (const Case& k :
         {Case{"negative points", pointCount, -1}, Case{"more points than bytes", pointCount, 1000},
          Case{"negative ties", tieCount, -1}, Case{"more ties than bytes", tieCount, 1000}}) {
        SCOPED_TRACE(k.name);
        const std::vector<std::uint8_t> saved = good.bytes;
        std::memcpy(good.bytes.data() + k.at, &k.value, 4);
        good.SetPosition(0);
        TOwned<TKTiesConstruction3D> copy(TKTiesConstruction3D::New());
        try {
            copy->LoadFromStream(&good);
            ADD_FAILURE() << "loaded";
        } catch (const EStreamError& e) {
            EXPECT_NE(e.Message().find(ktext::kInvalidValue), std::string::npos) << e.Message();
        }
        good.bytes = saved;
    }
    m->BeginPointsUpdate(0);
    EXPECT_THROW(m->SaveToStream(&good), EInvalidOperation);
    m->EndPointsUpdate(0);
}

TEST(PointConstruction3D, TheOwnedLawIsAPrivateCopyWhoseChangesReachTheConstruction)
{
    TOwned<TKCustomPointConstruction3D> c(TKCustomPointConstruction3D::New());
    TOwned<TestLaw> law(TestLaw::New());
    law->value = 4;
    EventLog log;
    c->Events().Add(log.Handler());

    c->SetReflection(law.get());
    auto* copy = ObjectAs<TestLaw>(c->Reflection());
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, law.get());
    EXPECT_EQ(copy->value, 4);
    EXPECT_EQ(log.Codes(), (std::vector<int>{kevChangeBegins, kevPictureChanged, kevChangeEnds}));

    log.Clear();
    law->value = 6;
    c->SetReflection(law.get());  // the same class: assigned into the copy
    EXPECT_EQ(c->Reflection(), copy);
    EXPECT_EQ(copy->value, 6);
    EXPECT_EQ(copy->assigned, 2);
    copy->BeginUpdate();  // the copy's brackets become the construction's
    EXPECT_EQ(c->UpdateCount(), 1);
    copy->EndUpdate();
    EXPECT_EQ(c->UpdateCount(), 0);
    log.Clear();
    copy->Events().Notify(copy, kevPictureChanged, 0);
    EXPECT_EQ(log.Codes(), (std::vector<int>{kevPictureChanged}));
    c->SetLighting(0);
    log.Clear();
    copy->Events().Notify(copy, kevPictureChanged, 0);
    EXPECT_TRUE(log.Codes().empty());  // an unlit construction does not depend on its law

    TOwned<OtherLaw> other(OtherLaw::New());
    c->SetReflection(other.get());  // another class: a new copy
    EXPECT_TRUE(c->Reflection()->InheritsFrom(OtherLaw::StaticClass()));
    c->SetReflection(nullptr);
    EXPECT_EQ(c->Reflection(), nullptr);
    c->Events().Remove(log.Handler());
}

TEST(PointConstruction3D, AssignCopiesThePoints)
{
    auto m = ModelFrom(kModel);
    TOwned<TKCustomPointConstruction3D> c(TKCustomPointConstruction3D::New());
    c->Assign(m.get());
    ASSERT_EQ(c->PointCount(), 3);
    EXPECT_EQ(c->GetPoint(2)->Position.z, -0.25f);
    TVector3D min;
    c->GetMinCorner(min);
    EXPECT_EQ(min.z, -0.25);
    TOwned<TestLaw> law(TestLaw::New());
    EXPECT_THROW(c->Assign(law.get()), EConvertError);
}

}  // namespace
