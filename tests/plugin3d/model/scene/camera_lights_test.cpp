// The eye camera, the three lights and the diffuse reflection law: projection, the setter
// events, how each light feeds a law, the law's weights, and a lit construction against a
// double-precision formula.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

#include "plugin3d/model/core/k_interfaces.h"
#include "plugin3d/model/scene/k_diffuse_reflection.h"
#include "plugin3d/model/scene/k_eye_system3d.h"
#include "plugin3d/model/scene/k_lights3d.h"
#include "tests/plugin3d/model/scene/scene_test_support.h"

namespace kelvora::test {

/// A law that records what the lights hand it.
class RecordingLaw : public TKCustomReflectionLaw {
    DECLARE_TCLASS(RecordingLaw)

    struct Call {
        char what;  ///< 'a' ambient, 'r', 'g', 'b'
        bool single;
        TVector3D vector;  ///< the colour of an ambient call, else the direction
        double intensity;
    };
    void AddAmbientSingle(const TVector3S& c) override { calls.push_back({'a', true, {c.x, c.y, c.z}, 0}); }
    void AddAmbient(const TVector3D& c) override { calls.push_back({'a', false, c, 0}); }
    void AddRedSingle(const TVector3S& d, float i) override
    {
        calls.push_back({'r', true, {d.x, d.y, d.z}, i});
    }
    void AddRed(const TVector3D& d, double i) override { calls.push_back({'r', false, d, i}); }
    void AddGreenSingle(const TVector3S& d, float i) override
    {
        calls.push_back({'g', true, {d.x, d.y, d.z}, i});
    }
    void AddGreen(const TVector3D& d, double i) override { calls.push_back({'g', false, d, i}); }
    void AddBlueSingle(const TVector3S& d, float i) override
    {
        calls.push_back({'b', true, {d.x, d.y, d.z}, i});
    }
    void AddBlue(const TVector3D& d, double i) override { calls.push_back({'b', false, d, i}); }

    std::vector<Call> calls;

protected:
    RecordingLaw() = default;
};

IMPLEMENT_TCLASS(RecordingLaw, TKCustomReflectionLaw)

}  // namespace kelvora::test

namespace {

using namespace kelvora::test;

constexpr double kPi = std::numbers::pi;

TMatrix3D RotationZ(double degrees)
{
    TMatrix3D m;
    RotationMatrix({0, 0, 1}, degrees * kPi / 180, m);
    return m;
}

// Both variants of a light at a point; the calls of each.
struct Lit {
    std::vector<RecordingLaw::Call> single, twice;
};
Lit Illuminate(TKCustomLightSystem3D& light, const TVector3D& point,
               TKCustomConstruction3DList* occluders = nullptr)
{
    TOwned<RecordingLaw> law(RecordingLaw::New());
    const TVector3S ps{float(point.x), float(point.y), float(point.z)};
    TIllumination3S s{&ps, law.get(), occluders};
    light.IlluminateSingle(&s);
    Lit lit;
    lit.single = law->calls;
    law->calls.clear();
    TIllumination3D d{&point, law.get(), occluders};
    light.Illuminate(&d);
    lit.twice = law->calls;
    return lit;
}

// The red, green and blue intensities of the calls (0 for a channel not called).
TVector3D Intensities(const std::vector<RecordingLaw::Call>& calls)
{
    TVector3D sum;
    for (const auto& c : calls) {
        if (c.what == 'r') sum.x += c.intensity;
        if (c.what == 'g') sum.y += c.intensity;
        if (c.what == 'b') sum.z += c.intensity;
    }
    return sum;
}

// Camera

TEST(EyeSystem, ANewCameraLooksDownTheMinusZAxis)
{
    TOwned<TKEyeSystem3D> camera(TKEyeSystem3D::New());
    const double diag[9] = {1, 0, 0, 0, 1, 0, 0, 0, -1};
    for (int i = 0; i < 9; ++i) EXPECT_EQ(camera->Basis()->Matrix().m[i], diag[i]) << i;
    EXPECT_EQ(camera->ScreenDistance(), 1000.0);
    EXPECT_EQ(camera->DepthScale(), 1000.0);
    EXPECT_EQ(camera->Visible(), 0);
    TVector3D lo, hi;
    camera->GetMinCorner(lo);
    camera->GetMaxCorner(hi);
    EXPECT_EQ(lo.z, -1000.0);
    EXPECT_EQ(hi.x, 1000.0);
}

TEST(EyeSystem, ProjectsThroughThePinholeInBothPrecisions)
{
    TOwned<TKEyeSystem3D> camera(TKEyeSystem3D::New());
    camera->SetScreenDistance(500);
    camera->SetDepthScale(2);
    struct Case {
        TVector3D in, out;
    };
    const Case cases[] = {
        {{0, 0, 0}, {0, 0, 0}},
        {{7, -3, 0}, {0, 0, 0}},
        {{10, 20, 100}, {50, 100, 200}},
        {{10, 20, -100}, {-50, -100, -200}},  // behind the eye: mirrored, negative depth
        {{-4, 1, 2}, {-1000, 250, 4}},
    };
    for (const Case& c : cases) {
        TVector3D out;
        camera->Project(c.in, out);
        EXPECT_EQ(out.x, c.out.x);
        EXPECT_EQ(out.y, c.out.y);
        EXPECT_EQ(out.z, c.out.z);
        TVector3S single{float(c.in.x), float(c.in.y), float(c.in.z)};
        camera->ProjectSingle(single, single);  // in and out the same vector
        EXPECT_FLOAT_EQ(single.x, float(c.out.x));
        EXPECT_FLOAT_EQ(single.y, float(c.out.y));
        EXPECT_FLOAT_EQ(single.z, float(c.out.z));
    }
}

TEST(EyeSystem, SettersAndMovesSayWhichViewersRedraw)
{
    TOwned<TKEyeSystem3D> camera(TKEyeSystem3D::New());
    const auto self = reinterpret_cast<std::intptr_t>(camera.get());
    EventLog log;
    camera->Events().Add(log.Handler());
    camera->SetScreenDistance(1000);
    camera->SetDepthScale(1000);
    EXPECT_TRUE(log.Codes().empty());
    camera->SetScreenDistance(800);
    EXPECT_EQ(log.Codes(), (std::vector<int>{kevChangeBegins, kevPictureChanged, kevChangeEnds}));
    EXPECT_EQ(log.Params(kevPictureChanged), (std::vector<std::intptr_t>{self}));

    // A move: an invisible camera redraws its own viewer, a visible one every viewer.
    for (std::uint8_t visible : {0, 1}) {
        SCOPED_TRACE(int(visible));
        camera->SetVisible(visible);
        log.Clear();
        camera->Basis()->BeginTransform();
        camera->Basis()->ApplyTransform(TMatrix3D{}, {1, 2, 3});
        camera->Basis()->EndTransform();
        EXPECT_EQ(log.Params(kevPictureChanged), (std::vector<std::intptr_t>{visible ? 0 : self}));
        const std::vector<int> codes = log.Codes();
        EXPECT_EQ(codes.back(), kevObjectChangeFinished);
    }

    // Assign takes both doubles, not the basis; other sources are ignored.
    TOwned<TKEyeSystem3D> other(TKEyeSystem3D::New());
    other->Assign(camera.get());
    EXPECT_EQ(other->ScreenDistance(), 800.0);
    TVector3D origin;
    other->Basis()->GetOrigin(origin);
    EXPECT_EQ(origin.x, 0.0);
    TOwned<TestConstruction> stranger(TestConstruction::New());
    other->Assign(stranger.get());
    EXPECT_EQ(other->ScreenDistance(), 800.0);
    camera->Events().Remove(log.Handler());
}

// Lights

TEST(Lights, ADisabledLightAddsNothing)
{
    TOwned<TKAmbientLight3D> ambient(TKAmbientLight3D::New());
    ambient->SetColor({0.5, 0.5, 0.5});
    TOwned<TKFlatSpringLight3D> flat(TKFlatSpringLight3D::New());
    TOwned<TKPointSpringLight3D> point(TKPointSpringLight3D::New());
    for (TKCustomLightSystem3D* light :
         std::initializer_list<TKCustomLightSystem3D*>{ambient.get(), flat.get(), point.get()}) {
        SCOPED_TRACE(light->ClassName());
        EXPECT_EQ(Illuminate(*light, {1, 2, 3}).twice.size(), light == ambient.get() ? 1u : 3u);
        light->SetEnabled(0);
        const Lit lit = Illuminate(*light, {1, 2, 3});
        EXPECT_TRUE(lit.single.empty());
        EXPECT_TRUE(lit.twice.empty());
    }
}

TEST(Lights, AmbientAndFlatLightsFeedTheDoubleFormsOfTheLaw)
{
    TOwned<TKAmbientLight3D> ambient(TKAmbientLight3D::New());
    ambient->SetColor({0.25, 0.5, 0.75});
    for (const auto& calls : {Illuminate(*ambient, {}).single, Illuminate(*ambient, {}).twice}) {
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].what, 'a');
        EXPECT_FALSE(calls[0].single);
        EXPECT_EQ(calls[0].vector.y, 0.5);
    }
    TOwned<TKFlatSpringLight3D> flat(TKFlatSpringLight3D::New());
    flat->SetColor(0.2, 0.4, 0.6);
    flat->Basis()->BeginTransform();
    flat->Basis()->RotateInPlace(RotationZ(90));
    flat->Basis()->EndTransform();
    for (const auto& calls : {Illuminate(*flat, {5, 5, 5}).single, Illuminate(*flat, {5, 5, 5}).twice}) {
        ASSERT_EQ(calls.size(), 3u);
        for (const auto& c : calls) {
            EXPECT_FALSE(c.single);
            EXPECT_NEAR(c.vector.x, 0, 1e-15);
            EXPECT_NEAR(c.vector.y, 1, 1e-15);
        }
        const TVector3D i = Intensities(calls);
        EXPECT_EQ(i.x, 0.2);
        EXPECT_EQ(i.z, 0.6);
    }
}

TEST(Lights, PointLightAttenuationSpotAndPrecision)
{
    TOwned<TKPointSpringLight3D> light(TKPointSpringLight3D::New());
    light->SetColor(1, 0.5, 0.25);
    struct Case {
        const char* name;
        TVector3D attenuation;
        double exponent, cutOff;
        TVector3D point;
        double factor;  // of the colour; NaN: no call at all
    };
    constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
    const double c70 = std::cos(70 * kPi / 180), s70 = std::sin(70 * kPi / 180);
    const double c30 = std::cos(30 * kPi / 180), s30 = std::sin(30 * kPi / 180);
    const Case cases[] = {
        {"constant", {1, 0, 0}, 0, -1, {3, 4, 0}, 1},
        {"linear at distance 5", {1, 1, 0}, 0, -1, {3, 4, 0}, 1.0 / 6},
        {"quadratic at distance 2", {0, 0, 1}, 0, -1, {0, -2, 0}, 0.25},
        {"attenuation 0", {0, 0, 0}, 0, -1, {3, 4, 0}, kNone},
        {"attenuation below 0 at the point", {1, -1, 0}, 0, -1, {0, 2, 0}, kNone},
        {"at the light: cosine 1", {1, 0, 0}, 0, 0.5, {0, 0, 0}, 1},
        {"70 degrees off a 0.5 cut-off", {1, 0, 0}, 0, 0.5, {2 * c70, 2 * s70, 0}, 0},
        {"30 degrees inside a 0.5 cut-off", {1, 0, 0}, 0, 0.5, {2 * c30, 2 * s30, 0}, 1},
        {"exponent 2 at cosine 0.5", {1, 0, 0}, 2, -1, {1, std::sqrt(3.0), 0}, std::exp(-1.0)},
        {"behind the spot without a cut-off", {1, 0, 0}, 0, -1, {-3, 0, 0}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        light->SetAttenuation(c.attenuation.x, c.attenuation.y, c.attenuation.z);
        light->SetSpot(c.exponent, c.cutOff);
        const Lit lit = Illuminate(*light, c.point);
        if (std::isnan(c.factor)) {
            EXPECT_TRUE(lit.single.empty());
            EXPECT_TRUE(lit.twice.empty());
            continue;
        }
        ASSERT_EQ(lit.single.size(), 3u);
        ASSERT_EQ(lit.twice.size(), 3u);
        TVector3D way;
        VectorNormalize(c.point, way);  // from the light (at the origin) to the point
        for (const auto& call : lit.single) {
            EXPECT_TRUE(call.single);
            EXPECT_NEAR(call.vector.x, way.x, 1e-6);
            EXPECT_NEAR(call.vector.y, way.y, 1e-6);
        }
        for (const auto& call : lit.twice) EXPECT_FALSE(call.single);
        const TVector3D s = Intensities(lit.single), d = Intensities(lit.twice);
        EXPECT_NEAR(d.x, c.factor, 1e-12);
        EXPECT_NEAR(d.z, 0.25 * c.factor, 1e-12);
        EXPECT_NEAR(s.y, 0.5 * c.factor, 1e-6);
    }
    light->SetSpot(2, -1);
    EXPECT_EQ(light->SpotFactor(0.5), std::exp(-1.0));
    EXPECT_EQ(light->SpotFactor(1), 1.0);
}

TEST(Lights, ShadowsWithoutOccludersBehaveAsWithout)
{
    TOwned<TKFlatSpringLight3D> flat(TKFlatSpringLight3D::New());
    TOwned<TKPointSpringLight3D> point(TKPointSpringLight3D::New());
    TOwned<TKCustomConstruction3DList> occluders(TKCustomConstruction3DList::New());
    TestConstruction* shade = TestConstruction::New();
    occluders->Add(shade);
    for (TKCustomLightSystem3D* light :
         std::initializer_list<TKCustomLightSystem3D*>{flat.get(), point.get()}) {
        SCOPED_TRACE(light->ClassName());
        const double without = Intensities(Illuminate(*light, {3, 4, 0}).twice).x;
        light->SetShadows(1);
        EXPECT_EQ(Intensities(Illuminate(*light, {3, 4, 0}).twice).x, without);
        // Occluders that take nothing away change nothing; one that takes a quarter does.
        EXPECT_EQ(Intensities(Illuminate(*light, {3, 4, 0}, occluders.get()).twice).x, without);
        shade->shade = 0.25f;
        EXPECT_NEAR(Intensities(Illuminate(*light, {3, 4, 0}, occluders.get()).single).x, 0.75 * without,
                    1e-6);
        shade->shade = 0;
        // Without Shadows the occluders are not asked.
        light->SetShadows(0);
        const int asked = shade->occluded;
        Illuminate(*light, {3, 4, 0}, occluders.get());
        EXPECT_EQ(shade->occluded, asked);
    }
    occluders->Clear();
}

TEST(Lights, DirectionFollowsTheBasisOnlyWhenATurnFinishes)
{
    TOwned<TKFlatSpringLight3D> flat(TKFlatSpringLight3D::New());
    TOwned<TKPointSpringLight3D> point(TKPointSpringLight3D::New());
    EventLog log;
    point->Events().Add(log.Handler());
    for (TKBasis3D* basis : {flat->Basis(), point->Basis()}) {
        basis->BeginTransform();
        basis->ApplyTransform(RotationZ(90), {0, 0, 7});
        EXPECT_NEAR(flat->Direction().x, basis == flat->Basis() ? 1 : 0, 1e-15);
        EXPECT_EQ(point->Position().z, 0.0);
        basis->EndTransform();
    }
    EXPECT_NEAR(flat->Direction().y, 1, 1e-15);
    EXPECT_NEAR(point->Direction().y, 1, 1e-15);
    EXPECT_EQ(point->Position().z, 7.0);
    EXPECT_EQ(log.Params(kevPictureChanged), (std::vector<std::intptr_t>{0}));
    EXPECT_EQ(log.Codes().back(), kevObjectChangeFinished);

    // Setters: an equal value fires nothing; a disabled light changes without 4100.
    log.Clear();
    point->SetColor(1, 1, 1);
    point->SetSpot(0, -1);
    EXPECT_TRUE(log.Codes().empty());
    point->SetAttenuation(1, 0.5, 0);
    EXPECT_EQ(log.Codes(), (std::vector<int>{kevChangeBegins, kevPictureChanged, kevChangeEnds}));
    point->SetEnabled(0);
    log.Clear();
    point->SetColor(0.5, 0.5, 0.5);
    EXPECT_EQ(log.Codes(), (std::vector<int>{kevChangeBegins, kevChangeEnds}));
    point->Events().Remove(log.Handler());
}

// Reflection law

TEST(DiffuseReflection, TermsAreClampedQuadratics)
{
    TOwned<TKSimpleDiffuseReflection> law(TKSimpleDiffuseReflection::New());
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        TVector3D coefficients;
        double x, expected;
    };
    const Case cases[] = {
        {{0.5, 0.5, 0}, -1, 0},   {{0.5, 0.5, 0}, 0, 0.5},   {{0.5, 0.5, 0}, 1, 1},
        {{0.5, 0.5, 0}, kNaN, 0}, {{0, 2, 0}, 0.6, 1},       {{0, 2, 0}, 0.25, 0.5},
        {{0, 2, 0}, -0.5, 0},     {{0.1, 0, 1}, -0.5, 0.35}, {{2, 0, 0}, 0, 1},
    };
    for (const Case& c : cases) {
        law->SetAttenuation(c.coefficients.x, c.coefficients.y, c.coefficients.z);
        law->SetRadiation(c.coefficients.x, c.coefficients.y, c.coefficients.z);
        EXPECT_DOUBLE_EQ(law->LightTerm(c.x), c.expected) << c.x;
        EXPECT_DOUBLE_EQ(law->RadiationTerm(c.x), c.expected) << c.x;
    }
    EXPECT_EQ(GetClassCaption(TKSimpleDiffuseReflection::StaticClass()), "Simple Diffuse Reflection");
}

// A law with a lights list of its own, aimed at one point.
struct LawRig {
    TOwned<TKSimpleDiffuseReflection> law{TKSimpleDiffuseReflection::New()};
    TOwned<TKCustomLightSystem3DList> lights{TKCustomLightSystem3DList::New()};
    TVector3S point{0, 0, 0}, normal{0, 0, 1}, view{0, 0, -1};
    float out[3] = {-1, -1, -1};
    LawRig()
    {
        law->Lights = lights.get();
        law->Point = &point;
        law->Normal = &normal;
        law->ViewDir = &view;
        law->Output = out;
    }
    ~LawRig() { lights->Clear(); }
    // A white flat light travelling along direction.
    TKFlatSpringLight3D* AddFlat(const TVector3D& direction)
    {
        auto* light = TKFlatSpringLight3D::New();
        TMatrix3D m;
        TVector3D y{0, 0, 1}, z;
        if (std::abs(direction.z) > 0.9) y = {0, 1, 0};
        VectorCross(direction, y, z);
        VectorNormalize(z, z);
        VectorCross(z, direction, y);
        const double columns[3][3] = {
            {direction.x, direction.y, direction.z}, {y.x, y.y, y.z}, {z.x, z.y, z.z}};
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) m.m[3 * r + c] = columns[c][r];
        light->Basis()->BeginTransform();
        light->Basis()->SetPlacement(m, {});
        light->Basis()->EndTransform();
        lights->Add(light);
        return light;
    }
};

TEST(DiffuseReflection, LightsAddUpUnclampedAndUseNormalZeroIgnoresAngles)
{
    LawRig rig;
    rig.AddFlat({0, 0, -1});  // head-on
    rig.law->Compute();
    EXPECT_FLOAT_EQ(rig.out[0], 1.0f);
    rig.AddFlat({0, 0, -1});
    rig.law->Compute();
    EXPECT_FLOAT_EQ(rig.out[1], 2.0f);  // two lights, not clamped
    rig.lights->Clear();
    rig.AddFlat({1, 0, 0});  // edge-on
    rig.law->Compute();
    EXPECT_FLOAT_EQ(rig.out[2], 0.5f);
    rig.view = {1, 0, 0};  // seen edge-on too: radiation (1, 0, 0) keeps 1
    rig.law->Compute();
    EXPECT_FLOAT_EQ(rig.out[2], 0.5f);
    rig.law->SetRadiation(0, 1, 0);
    rig.law->Compute();
    EXPECT_FLOAT_EQ(rig.out[2], 0.0f);
    rig.law->UseNormal = 0;  // every cosine counts as 1
    rig.law->Compute();
    EXPECT_FLOAT_EQ(rig.out[2], 1.0f);
    rig.lights->Clear();
    rig.AddFlat({0, 0, 1});  // from behind
    rig.law->UseNormal = 1;
    rig.law->SetRadiation(1, 0, 0);
    rig.law->Compute();
    EXPECT_FLOAT_EQ(rig.out[0], 0.0f);
}

TEST(DiffuseReflection, AssignTakesTheNameAndChangedCoefficients)
{
    TOwned<TKSimpleDiffuseReflection> law(TKSimpleDiffuseReflection::New());
    TOwned<TKSimpleDiffuseReflection> source(TKSimpleDiffuseReflection::New());
    source->SetName("Shiny");
    EventLog log;
    law->Events().Add(log.Handler());
    law->Assign(source.get());
    EXPECT_EQ(law->Name(), "Shiny");
    EXPECT_EQ(log.Params(kevPictureChanged).size(), 0u);
    source->SetRadiation(1, 0, 0.25);
    log.Clear();
    law->Assign(source.get());
    EXPECT_EQ(law->Radiation().z, 0.25);
    EXPECT_EQ(log.Codes(), (std::vector<int>{kevChangeBegins, kevPictureChanged, kevChangeEnds}));
    law->Assign(nullptr);
    TOwned<RecordingLaw> other(RecordingLaw::New());
    EXPECT_THROW(law->Assign(other.get()), EConvertError);
    // Setters fire only for a change.
    log.Clear();
    law->SetAttenuation(0.5, 0.5, 0);
    EXPECT_TRUE(log.Codes().empty());
    law->SetAttenuation(0.5, 0.5, 0.1);
    EXPECT_EQ(log.Codes(), (std::vector<int>{kevChangeBegins, kevPictureChanged, kevChangeEnds}));
    law->Events().Remove(log.Handler());
}

// The colour of one point by the law written out in doubles: each light's share weighted by
// the light term, the sum by the radiation term.
TVector3D Scaled(const TVector3D& v, double k)
{
    return {v.x * k, v.y * k, v.z * k};
}

double LightTerm(const TVector3D& a, double x)
{
    return std::clamp(a.x + a.y * x + a.z * x * x, 0.0, 1.0);
}

TEST(DiffuseReflection, ALitConstructionMatchesTheFormulaForEachLightInBothPrecisions)
{
    LawRig rig;
    rig.law->SetAttenuation(0.2, 0.7, 0.1);
    rig.law->SetRadiation(0.3, 0.8, 0);
    const TVector3D a = rig.law->Attenuation(), r = rig.law->Radiation();
    TVector3D eye{0, 0, 50};

    auto* ambient = TKAmbientLight3D::New();
    ambient->SetColor({0.1, 0.2, 0.3});
    auto* flat = rig.AddFlat({0.6, 0, -0.8});
    flat->SetColor(0.9, 0.7, 0.5);
    auto* point = TKPointSpringLight3D::New();
    point->SetColor(1, 0.8, 0.6);
    point->SetAttenuation(0.5, 0.05, 0.001);
    point->SetSpot(1.5, 0.2);
    TMatrix3D down;
    down.m[0] = 0, down.m[6] = -1, down.m[2] = 1, down.m[8] = 0;  // x axis -> -z
    point->Basis()->BeginTransform();
    point->Basis()->SetPlacement(down, {5, -3, 20});
    point->Basis()->EndTransform();
    rig.lights->Delete(0);  // the flat light, not freed

    // A small bumpy patch of points with their normals.
    for (TKCustomLightSystem3D* light : std::initializer_list<TKCustomLightSystem3D*>{ambient, flat, point}) {
        SCOPED_TRACE(light->ClassName());
        rig.lights->Add(light);
        double total = 0;  // the patch is lit, not dark
        for (int i = 0; i < 49; ++i) {
            const double px = (i % 7 - 3) * 4.0, py = (i / 7 - 3) * 4.0, pz = 0.3 * px - 0.1 * py;
            TVector3D n{-0.3 + 0.05 * (i % 3), 0.1, 1};
            VectorNormalize(n, n);
            TVector3D v{px - eye.x, py - eye.y, pz - eye.z};
            VectorNormalize(v, v);
            // The formula.
            TVector3D share;
            if (light == ambient) {
                share = Scaled(ambient->Color(), LightTerm(a, 1));
            } else if (light == flat) {
                const TVector3D d = flat->Direction();
                share = Scaled(flat->Color(), LightTerm(a, -VectorDot(d, n)));
            } else {
                TVector3D l{px - 5, py + 3, pz - 20};
                const double dist = VectorNormalize(l, l);
                const double cosine = VectorDot(l, point->Direction());
                const double e = 1.5 * (1 - cosine);
                const double spot = cosine >= 0.2 ? std::exp(-e * e) : 0;
                const double att = 0.5 + 0.05 * dist + 0.001 * dist * dist;
                share = Scaled(point->Color(), spot / att * LightTerm(a, -VectorDot(l, n)));
            }
            const double k = std::clamp(r.x + r.y * -VectorDot(v, n), 0.0, 1.0);
            const double expected[3] = {share.x * k, share.y * k, share.z * k};
            total += expected[0];

            // Single precision: the law's own pass.
            rig.point = {float(px), float(py), float(pz)};
            rig.normal = {float(n.x), float(n.y), float(n.z)};
            rig.view = {float(v.x), float(v.y), float(v.z)};
            rig.law->Compute();
            for (int c = 0; c < 3; ++c) EXPECT_NEAR(rig.out[c], expected[c], 2e-6) << i << " " << c;

            // Double precision: the lights' double forms into the same law.
            rig.out[0] = rig.out[1] = rig.out[2] = 0;
            const TVector3D p{px, py, pz};
            TIllumination3D record{&p, rig.law.get(), nullptr};
            rig.lights->Illuminate(&record);
            for (int c = 0; c < 3; ++c) EXPECT_NEAR(rig.out[c] * k, expected[c], 2e-6) << i << " " << c;
        }
        EXPECT_GT(total, 2.0);
        rig.lights->Delete(0);
    }
    FreeObject(ambient);
    FreeObject(flat);
    FreeObject(point);
}

// Registration and records

TEST(Classes3D, CaptionsSubItemsAndRecordsOfTheUnit)
{
    struct Offered {
        TClass list;
        const char* caption;
        TClass cls;
    };
    const Offered offered[] = {
        {TKCustomProjectionSystem3DList::StaticClass(), "Eye System", TKEyeSystem3D::StaticClass()},
        {TKCustomLightSystem3DList::StaticClass(), "Ambient Light", TKAmbientLight3D::StaticClass()},
        {TKCustomLightSystem3DList::StaticClass(), "Flat Spring Light", TKFlatSpringLight3D::StaticClass()},
        {TKCustomLightSystem3DList::StaticClass(), "Point Spring Light", TKPointSpringLight3D::StaticClass()},
    };
    for (const Offered& o : offered) {
        EXPECT_EQ(GetClassCaption(o.cls), o.caption);
        TOwned<TKDataBranch> items(TKDataBranch::NewNamed("items"));
        RequestSubItems(o.list, items.get());  // what the "New" menu of the list offers
        TKDataBranch* node = items->FindPath(std::string("Standart Objects\\") + o.caption, true, '\\');
        ASSERT_NE(node, nullptr) << o.caption;
        EXPECT_EQ(node->Data().AsClass(), o.cls);
    }

    // Each class's own part of the record, and the values it carries.
    TOwned<TKEyeSystem3D> camera(TKEyeSystem3D::New());
    camera->SetDepthScale(3);
    TOwned<TKAmbientLight3D> ambient(TKAmbientLight3D::New());
    ambient->SetColor({0.1, 0.2, 0.3});
    TOwned<TKFlatSpringLight3D> flat(TKFlatSpringLight3D::New());
    flat->SetColor(0.4, 0.5, 0.6);
    TOwned<TKPointSpringLight3D> point(TKPointSpringLight3D::New());
    point->SetSpot(2, 0.5);
    point->SetAttenuation(1, 2, 3);
    TOwned<TKSimpleDiffuseReflection> law(TKSimpleDiffuseReflection::New());
    law->SetRadiation(0.5, 0.25, 0.125);
    struct Part {
        TKObject* object;
        int ownBytes;
        int baseBytes;
    };
    MemoryStream counter;
    const Part parts[] = {
        {camera.get(), 16, camera->TKCustomProjectionSystem3D::SaveToStream(&counter)},
        {ambient.get(), 24, ambient->TKCustomLightSystem3D::SaveToStream(&counter)},
        {flat.get(), 24, flat->TKCustomLightSystem3D::SaveToStream(&counter)},
        {point.get(), 64, point->TKCustomLightSystem3D::SaveToStream(&counter)},
        {law.get(), 48, law->TKCustomReflectionLaw::SaveToStream(&counter)},
    };
    MemoryStream stream;
    for (const Part& p : parts) {
        EXPECT_EQ(stream.WriteObject(p.object), 12 + p.baseBytes + p.ownBytes) << p.object->ClassName();
        EXPECT_EQ(p.object->SaveToStream(nullptr), -1);
    }
    stream.SetPosition(0);
    std::vector<TOwned<TKObject>> loaded;
    for (const Part& p : parts) {
        TKObject* object = nullptr;
        stream.ReadObject(object, p.object->ClassType());
        ASSERT_NE(object, nullptr);
        loaded.emplace_back(object);
    }
    EXPECT_EQ(static_cast<TKEyeSystem3D*>(loaded[0].get())->DepthScale(), 3.0);
    EXPECT_EQ(static_cast<TKAmbientLight3D*>(loaded[1].get())->Color().z, 0.3);
    EXPECT_EQ(static_cast<TKFlatSpringLight3D*>(loaded[2].get())->Color().y, 0.5);
    auto* p = static_cast<TKPointSpringLight3D*>(loaded[3].get());
    EXPECT_EQ(p->SpotExponent(), 2.0);
    EXPECT_EQ(p->SpotCutOff(), 0.5);
    EXPECT_EQ(p->Attenuation().z, 3.0);
    EXPECT_EQ(static_cast<TKSimpleDiffuseReflection*>(loaded[4].get())->Radiation().z, 0.125);
}

}  // namespace
