// The surface's depository: what an apply refills (and what it leaves alone), the status
// texts a job shows, layers read from files of every element type, the project payload and
// the relink of layer files after a load.

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "plugin3d/forms/k_load_report.h"
#include "plugin3d/forms/k_surface3d_depository.h"
#include "plugin3d/model/core/k_threads.h"
#include "plugin3d/model/scene/k_diffuse_reflection.h"
#include "plugin3d/model/scene/k_project3d.h"
#include "tests/plugin3d/model/core/core_test_support.h"
#include "tests/outside/basecore/independent_layer_writer.h"
#include "tests/support/test_environment.h"

namespace {

using kelvora::test::MemoryStream;
using kelvora::test::ProjectStream;
using tarvenix::test::TempDir;

bool IsComplexCode(int type)
{
    return type >= 9;
}

/// Appends value as a part of the element type code (complex codes: one of its two parts).
void AppendPart(layertest::Bytes& out, int type, double value)
{
    const auto put = [&out](auto v) {
        const auto* p = reinterpret_cast<const std::uint8_t*>(&v);
        out.insert(out.end(), p, p + sizeof v);
    };
    switch (type) {
        case 1:
        case 11:
            return put(std::uint8_t(value));
        case 2:
        case 12:
            return put(std::int8_t(value));
        case 3:
        case 13:
            return put(std::uint16_t(value));
        case 4:
        case 14:
            return put(std::int16_t(value));
        case 5:
        case 15:
            return put(std::uint32_t(value));
        case 6:
        case 16:
            return put(std::int32_t(value));
        case 7:
        case 9:
            return put(float(value));
        default:
            return put(value);
    }
}

/// A one-layer file of width x height elements of type (complex: value pairs).
bool WriteLayer(const std::string& path, int width, int height, int type, const std::vector<double>& values)
{
    layertest::ForeignOptions options;
    options.shuffle = false;
    options.shuffleChain = false;
    layertest::ForeignLayer layer{width, height, type, {}, {}};
    for (double v : values) AppendPart(layer.samples, type, v);
    layertest::WriteFile(path, layertest::WriteForeignFile({layer}, options));
    return std::filesystem::exists(path);
}

/// Events of one object, by code.
struct Codes {
    std::vector<int> codes;
    void OnEvent(TObject*, int code, std::intptr_t) { codes.push_back(code); }
    TKEventHandler Handler() { return TKEventHandler::Of<&Codes::OnEvent>(this); }
    int Count(int code) const { return int(std::count(codes.begin(), codes.end(), code)); }
};

/// The status texts a thread shows.
struct Statuses {
    TKThread* thread = nullptr;
    std::vector<std::string> texts;
    void OnEvent(TObject*, int code, std::intptr_t)
    {
        if (code == ktevStatus) texts.push_back(thread->StatusText());
    }
    TKEventHandler Handler() { return TKEventHandler::Of<&Statuses::OnEvent>(this); }
};

/// A surface "S" with its depository and an editor's working copy of it.
struct Fixture {
    TOwned<TKSurface3D> surface{TKSurface3D::New()};
    TOwned<TKSurface3D_Depository> depository{TKSurface3D_Depository::New()};
    TOwned<TKSurface3D_Depository> copy{TKSurface3D_Depository::New()};
    TOwned<TKThread> thread{TKThread::New()};
    Statuses statuses;
    Codes events;

    Fixture()
    {
        surface->SetName("S");
        depository->SetConstruction(surface.get());
        statuses.thread = thread.get();
        thread->Events().Add(statuses.Handler());
        surface->Events().Add(events.Handler());
        copy->Assign(depository.get());
    }
    ~Fixture()
    {
        thread->Events().Remove(statuses.Handler());
        surface->Events().Remove(events.Handler());
    }
    void Apply()
    {
        thread->SetStatusText("");  // a text is shown again only when it changes
        statuses.texts.clear();
        events.codes.clear();
        depository->ApplyEdited(thread.get(), copy.get());
    }
    float At(int i, int j, int slot) { return *surface->NodeSlot(i, j, slot); }
};

TEST(SurfaceDepository, ApplyRefillsOnlyWhatChanged)
{
    Fixture f;
    f.copy->SetCounts(4, 3);
    f.copy->EditSlot(kssX).Min = -1.0;  // X from -1 to 1 across the 4 columns
    f.copy->EditSlot(kssZ).Max = 5.0;
    f.Apply();
    // A new size refills all six slots, in order, inside one grid update.
    const std::vector<std::string> all = {
        "S : Change dimentions...",    "S : Linear fill ( Layer 0 )",    "S : Linear fill ( Layer 1 )",
        "S : Linear fill ( Layer 2 )", "S : Linear fill ( Layer 3 )",    "S : Linear fill ( Layer 4 )",
        "S : Linear fill ( Layer 5 )", "S : Set Additional Settings...",
    };
    EXPECT_EQ(f.statuses.texts, all);
    EXPECT_EQ(f.events.Count(kevObjectChangeStarted), 1);
    EXPECT_EQ(f.events.Count(kevObjectChangeFinished), 1);
    ASSERT_EQ(f.surface->Width(), 4);
    ASSERT_EQ(f.surface->Height(), 3);
    EXPECT_FLOAT_EQ(f.At(0, 0, kssX), -1.0f);
    EXPECT_FLOAT_EQ(f.At(3, 2, kssX), 1.0f);
    EXPECT_FLOAT_EQ(f.At(2, 2, kssY), 1.0f);
    EXPECT_FLOAT_EQ(f.At(1, 1, kssZ), 5.0f);
    EXPECT_FLOAT_EQ(f.At(1, 1, kssRed), 1.0f);

    // Only the attenuation: no grid update, no fill.
    f.copy->SetAttenuation(2.0, 0.5, 0.25);
    f.Apply();
    EXPECT_EQ(f.statuses.texts, std::vector<std::string>{"S : Set Additional Settings..."});
    EXPECT_EQ(f.events.Count(kevObjectChangeStarted), 0);
    double c0, c1, c2;
    f.surface->GetAttenuation(c0, c1, c2);
    EXPECT_EQ(c0, 2.0);
    EXPECT_EQ(c2, 0.25);

    // One slot's Max refills that slot only.
    f.copy->EditSlot(kssGreen).Max = 0.5;
    f.Apply();
    EXPECT_EQ(f.statuses.texts,
              (std::vector<std::string>{"S : Linear fill ( Layer 4 )", "S : Set Additional Settings..."}));
    EXPECT_EQ(f.events.Count(kevObjectChangeStarted), 1);
    EXPECT_FLOAT_EQ(f.At(3, 2, kssGreen), 0.5f);
    EXPECT_FLOAT_EQ(f.At(3, 2, kssX), 1.0f);

    // A grid past what a surface holds fails and leaves the surface as it was.
    f.copy->SetCounts(9999999, 9999999);
    try {
        f.Apply();
        FAIL() << "no error";
    } catch (const EOutOfMemory& e) {
        EXPECT_NE(e.Message().find("9999999 x 9999999"), std::string::npos) << e.Message();
    }
    EXPECT_EQ(f.surface->Width(), 4);
    EXPECT_FLOAT_EQ(f.At(3, 2, kssX), 1.0f);
    EXPECT_EQ(f.surface->UpdateCount(), 0);
    EXPECT_EQ(f.depository->XCount(), 4);
}

TEST(SurfaceDepository, LayersOfEveryElementTypeAreResampledAndStretched)
{
    TempDir dir;
    for (int type = 1; type <= 16; ++type) {
        SCOPED_TRACE(type);
        const std::string file = dir.File("t" + std::to_string(type) + ".rdp");
        // Three pixels 1, 2, 3 (complex: real parts; the reader takes the first part).
        std::vector<double> values = {1, 2, 3};
        if (IsComplexCode(type)) values = {1, 9, 2, 9, 3, 9};
        ASSERT_TRUE(WriteLayer(file, 3, 1, type, values));
        Fixture f;
        f.copy->SetCounts(3, 1);
        TSurfaceLayerSlot& z = f.copy->EditSlot(kssZ);
        z.FromFile = -1;
        z.FileName = file;
        z.Min = 10;
        z.Max = 20;
        f.Apply();
        EXPECT_NE(std::find(f.statuses.texts.begin(), f.statuses.texts.end(), "S : Translation ( Layer 2 )"),
                  f.statuses.texts.end());
        EXPECT_NE(
            std::find(f.statuses.texts.begin(), f.statuses.texts.end(), "S : MinMax correction ( Layer 2 )"),
            f.statuses.texts.end());
        EXPECT_FLOAT_EQ(f.At(0, 0, kssZ), 10.0f);
        EXPECT_FLOAT_EQ(f.At(1, 0, kssZ), 15.0f);
        EXPECT_FLOAT_EQ(f.At(2, 0, kssZ), 20.0f);
    }
    // A constant layer gives Max everywhere; a file that cannot be opened leaves its slot as it
    // was (here the new grid's zeros).
    const std::string flat = dir.File("flat.rdp");
    ASSERT_TRUE(WriteLayer(flat, 2, 2, 7, {4, 4, 4, 4}));
    Fixture f;
    f.copy->SetCounts(3, 3);
    f.copy->EditSlot(kssRed) = {-1, 0.75, 0.25, 0, flat, ""};
    f.copy->EditSlot(kssBlue) = {-1, 0.5, 0.0, 0, dir.File("absent.rdp"), ""};
    f.Apply();
    for (int j = 0; j < 3; ++j)
        for (int i = 0; i < 3; ++i) {
            EXPECT_FLOAT_EQ(f.At(i, j, kssRed), 0.75f);
            EXPECT_EQ(f.At(i, j, kssBlue), 0.0f);
        }
}

TEST(SurfaceDepository, PayloadRoundTripAndItsErrors)
{
    TOwned<TKSurface3D_Depository> d(TKSurface3D_Depository::New());
    d->SetCounts(7, 5);
    d->EditSlot(kssZ) = {-1, 3.5, -2.0, 2, "/data/heights.rdp", "shown only"};
    d->SetReflectionText("glossy");
    auto* law = TKSimpleDiffuseReflection::New();
    law->SetName("Law");
    d->SetLaw(law);
    d->SetAttenuation(1.5, 0.25, 0.125);
    d->Place() = {10, 20, 1, 2, 3, 0, 0, 4};
    d->SetRecordCount(1);

    MemoryStream stream;
    const int written = d->SaveToStream(&stream);
    stream.SetPosition(0);
    TOwned<TKSurface3D_Depository> loaded(TKSurface3D_Depository::New());
    EXPECT_EQ(loaded->LoadFromStream(&stream), written);
    EXPECT_EQ(loaded->XCount(), 7);
    EXPECT_EQ(loaded->YCount(), 5);
    EXPECT_EQ(loaded->Slot(kssZ).FromFile, -1);
    EXPECT_EQ(loaded->Slot(kssZ).Max, 3.5);
    EXPECT_EQ(loaded->Slot(kssZ).LayerIndex, 2);
    EXPECT_EQ(loaded->Slot(kssZ).FileName, "/data/heights.rdp");
    EXPECT_EQ(loaded->Slot(kssZ).LayerName, "");
    EXPECT_EQ(loaded->ReflectionText(), "glossy");
    ASSERT_NE(loaded->Law(), nullptr);
    EXPECT_EQ(dynamic_cast<TKCustomChangeObject*>(loaded->Law())->Name(), "Law");
    double c0, c1, c2;
    loaded->GetAttenuation(c0, c1, c2);
    EXPECT_EQ(c2, 0.125);
    EXPECT_EQ(loaded->Place().Top, 20);
    EXPECT_EQ(loaded->Place().Depth, 0);  // saved without an open editor: nothing to reopen
    EXPECT_EQ(loaded->RecordCount(), 1);

    // Busy refuses both ways.
    d->SetBusy(true);
    MemoryStream busy;
    EXPECT_THROW(d->SaveToStream(&busy), EInvalidOperation);
    stream.SetPosition(0);
    loaded->SetBusy(true);
    EXPECT_THROW(loaded->LoadFromStream(&stream), EStreamError);
    loaded->SetBusy(false);
    d->SetBusy(false);

    // A from-file flag of any non-zero value loads as -1; negative counts and layer indexes
    // are refused.
    const auto patched = [&](auto edit) {
        TOwned<TKSurface3D_Depository> source(TKSurface3D_Depository::New());
        edit(*source);
        MemoryStream s;
        source->SaveToStream(&s);
        s.SetPosition(0);
        TOwned<TKSurface3D_Depository> target(TKSurface3D_Depository::New());
        target->LoadFromStream(&s);
        return target->Slot(kssX).FromFile;
    };
    EXPECT_EQ(patched([](TKSurface3D_Depository& s) { s.EditSlot(kssX).FromFile = 5; }), -1);
    EXPECT_THROW(patched([](TKSurface3D_Depository& s) { s.EditSlot(kssX).LayerIndex = -1; }), EStreamError);
    try {
        patched([](TKSurface3D_Depository& s) { s.EditSlot(kssX).LayerIndex = -1; });
    } catch (const EStreamError& e) {
        EXPECT_NE(e.Message().find("Invalid Value"), std::string::npos);
    }
}

TEST(SurfaceDepository, RelinkFindsLayersOrFallsBackToLinearKeepingThePath)
{
    TempDir dir;
    const std::string file = dir.File("one.rdp");
    ASSERT_TRUE(WriteLayer(file, 2, 2, 7, {1, 2, 3, 4}));

    // Choosing a file sets index 1; a one-layer file clamps it to 0.
    TSurfaceLayerSlot chosen{-1, 1, 0, 1, file, ""};
    EXPECT_TRUE(TKSurface3D_Depository::RefreshLayerName(chosen));
    EXPECT_EQ(chosen.LayerIndex, 0);
    EXPECT_NE(chosen.LayerName, kNoLayerText);
    TSurfaceLayerSlot missing{-1, 1, 0, 1, dir.File("gone.rdp"), ""};
    EXPECT_FALSE(TKSurface3D_Depository::RefreshLayerName(missing));
    EXPECT_EQ(missing.LayerName, kNoLayerText);

    TOwned<TKSurface3D_Depository> d(TKSurface3D_Depository::New());
    d->SetCounts(2, 2);
    d->EditSlot(kssZ) = {-1, 1, 0, 0, file, ""};
    d->EditSlot(kssRed) = {-1, 1, 0, 0, dir.File("gone.rdp"), ""};
    ProjectStream stream;
    d->SaveToStream(&stream);
    stream.SetPosition(0);
    TOwned<TKelvora3DProject> project(TKelvora3DProject::New());
    TOwned<TKSurface3D> surface(TKSurface3D::New());
    TOwned<TKSurface3D_Depository> loaded(TKSurface3D_Depository::New());
    loaded->LoadFromStream(&stream);
    loaded->SetConstruction(surface.get());
    stream.project = project.get();
    TakeMissingLayerFiles();
    loaded->LinkObjects(&stream);
    EXPECT_EQ(loaded->Slot(kssZ).FromFile, -1);
    // The missing file is named, and its slot keeps the path (filled linearly meanwhile).
    EXPECT_EQ(TakeMissingLayerFiles(), (std::vector<std::string>{dir.File("gone.rdp")}));
    EXPECT_EQ(loaded->Slot(kssRed).FromFile, -1);
    EXPECT_EQ(loaded->Slot(kssRed).FileName, dir.File("gone.rdp"));
    EXPECT_TRUE(loaded->Slot(kssRed).Missing);
    EXPECT_EQ(loaded->Slot(kssRed).LayerName, kNoLayerText);
    // The surface is rebuilt from the slots.
    ASSERT_EQ(surface->Width(), 2);
    EXPECT_FLOAT_EQ(*surface->NodeSlot(0, 0, kssZ), 0.0f);
    EXPECT_FLOAT_EQ(*surface->NodeSlot(1, 1, kssZ), 1.0f);
    EXPECT_FLOAT_EQ(*surface->NodeSlot(1, 1, kssRed), 1.0f);
}

}  // namespace
