// Sizes a project file asks for that its objects cannot hold, or that the machine cannot give
// the load: each is refused before anything is allocated, the refusal names the object and
// the size, and the rest of the project loads. The peak memory of the load is measured.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "platform/forms/exceptions.h"
#include "plugin3d/model/core/k_object.h"
#include "plugin3d/resources/navigator_models.h"
#include "plugin3d/model/scene/k_point_constructions.h"
#include "tests/plugin3d/model/scene/full_scene_support.h"
#include "tests/plugin3d/model/scene/project3d_test_support.h"
#include "tests/support/test_environment.h"

namespace {

using namespace kelvora::test;
using tarvenix::test::ReadWholeFile;
using tarvenix::test::TempDir;
using tarvenix::test::WriteWholeFile;

constexpr int kGrid = 23, kWidth = 97, kHeight = 53;
constexpr std::int64_t kMiB = 1 << 20;

// The kernel's peak of this process's resident memory, started again from what it holds now.
void ResetPeakResident()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

std::int64_t StatusKiB(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0) return std::stoll(line.substr(std::strlen(field)));
    return -1;
}

// Replaces every pair of consecutive int32 values (a, b) in bytes by (x, y); how many.
int Patch(std::string& bytes, std::int32_t a, std::int32_t b, std::int32_t x, std::int32_t y)
{
    const std::int32_t from[2] = {a, b}, to[2] = {x, y};
    int count = 0;
    for (std::size_t at = 0; at + 8 <= bytes.size(); ++at)
        if (std::memcmp(bytes.data() + at, from, 8) == 0) {
            std::memcpy(bytes.data() + at, to, 8);
            ++count;
        }
    return count;
}

bool Mentions(const std::vector<std::string>& refusals, const std::string& what)
{
    for (const std::string& r : refusals)
        if (r.find(what) != std::string::npos) return true;
    return false;
}

class HostileSizes : public ::testing::Test {
protected:
    ~HostileSizes() override { SetLoadMemoryLimit(0); }

    // The full scene saved, its bytes.
    std::string SavedScene()
    {
        BuildFullScene(*project, dir.Path().string(), kGrid, kWidth, kHeight);
        EXPECT_TRUE(WaitForImages(*project));
        const std::string file = dir.File("scene.ktp");
        project->SaveToFile(file);
        return ReadWholeFile(file);
    }

    // Loads bytes as a project and measures the peak memory the load took.
    TOwned<TKelvora3DProject> Load(const std::string& bytes, std::int64_t& peak)
    {
        const std::string file = dir.File("hostile.ktp");
        WriteWholeFile(file, bytes);
        auto loaded = NewProject();
        ResetPeakResident();
        const std::int64_t before = StatusKiB("VmRSS:");
        loaded->LoadFromFile(file);
        peak = (StatusKiB("VmHWM:") - before) * 1024;
        return loaded;
    }

    FullSceneClasses classes;
    TempDir dir;
    TOwned<TKelvora3DProject> project = NewProject();
};

TEST_F(HostileSizes, PicturesAndGridsTheFileCannotHaveAreRefusedAndTheRestLoads)
{
    std::string bytes = SavedScene();
    // The viewers' pictures: past what a viewer shows, and each within it but together
    // past what the load may have (20,000 x 26,000 asks for 6.5 GB of planes).
    ASSERT_EQ(Patch(bytes, kWidth, kHeight, 20000, 26000), 3);
    // A surface without stored nodes asking for 20,000 x 20,000 nodes (19 GB), and the one
    // that stores its nodes asking for a grid larger than what it stores.
    ASSERT_GE(Patch(bytes, kGrid, kGrid, 20000, 20000), 1);
    const int stored = std::max(kGrid / 4, 2);
    ASSERT_GE(Patch(bytes, stored, stored, 3000, 3000), 1);
    SetLoadMemoryLimit(256 * kMiB);

    std::int64_t peak = 0;
    TOwned<TKelvora3DProject> loaded = Load(bytes, peak);
    const std::vector<std::string> refusals = loaded->TakeLoadRefusals();
    for (const std::string& r : refusals) SCOPED_TRACE(r);
    EXPECT_TRUE(Mentions(refusals, "its picture of 20000 x 26000 pixels is larger than a viewer shows"));
    EXPECT_TRUE(Mentions(refusals, "Surface \"Surface A\": the grid of 20000 x 20000 nodes needs 17.9 GB"));
    EXPECT_TRUE(Mentions(refusals, "Surface \"Surface C\": the grid of 3000 x 3000 nodes needs"));
    EXPECT_TRUE(Mentions(refusals, "but the file stores"));
    EXPECT_LT(peak, 128 * kMiB) << "a small file costs no more than what its objects hold";

    // What was refused is there without its size; everything else is as saved.
    const std::vector<TKDrawingSystem3D*> viewers = DrawingSystemsOf(*loaded);
    ASSERT_EQ(viewers.size(), 3u);
    for (TKDrawingSystem3D* ds : viewers) EXPECT_EQ(ds->ImageWidth(), 0);
    EXPECT_TRUE(WaitForImages(*loaded));
}

TEST_F(HostileSizes, PicturesThatFitOneByOneAreRefusedWhenTheLoadCannotHoldThemTogether)
{
    std::string bytes = SavedScene();
    constexpr int kW = 2000, kH = 1500;
    ASSERT_EQ(Patch(bytes, kWidth, kHeight, kW, kH), 3);
    // Room for the grids and all pictures but one byte: the last picture read is refused.
    std::int64_t pictures = 0;
    for (TKDrawingSystem3D* ds : DrawingSystemsOf(*project)) {
        int channels = 0;
        for (int n = 1; n <= 3; ++n) channels += ds->Canvas()->GetChannelEnabled(n) ? 1 : 0;
        pictures += TKDrawingSystem3D::PictureBytes(kW, kH, ds->ColorType(), channels);
    }
    SetLoadMemoryLimit(pictures - 1);
    std::int64_t peak = 0;
    TOwned<TKelvora3DProject> loaded = Load(bytes, peak);
    const std::vector<std::string> refusals = loaded->TakeLoadRefusals();
    ASSERT_EQ(refusals.size(), 1u);
    EXPECT_NE(refusals[0].find("its picture of 2000 x 1500 pixels needs"), std::string::npos) << refusals[0];
    EXPECT_NE(refusals[0].find("more than this machine can give the project now"), std::string::npos);
    int shown = 0;
    for (TKDrawingSystem3D* ds : DrawingSystemsOf(*loaded)) shown += ds->ImageWidth() == kW ? 1 : 0;
    EXPECT_EQ(shown, 2);
    EXPECT_LT(peak, pictures + 64 * kMiB);
}

TEST_F(HostileSizes, ASoundProjectLoadsWithNothingRefused)
{
    const std::string bytes = SavedScene();
    std::int64_t peak = 0;
    TOwned<TKelvora3DProject> loaded = Load(bytes, peak);
    EXPECT_TRUE(loaded->TakeLoadRefusals().empty());
    for (TKDrawingSystem3D* ds : DrawingSystemsOf(*loaded)) EXPECT_EQ(ds->ImageWidth(), kWidth);
}

// A 25-byte tie text asked the reader for 4 GB of points.
TEST(TieText, ACountOfPointsTheTextCannotHoldIsRefusedBeforeTheyAreMade)
{
    TOwned<TKTiesConstruction3D> ties(TKTiesConstruction3D::New(nullptr));
    ties->SetName("Dial");
    try {
        TKTiesConstruction3D::LoadFromText(ties.get(), "Points Count : 71582788\r\n");
        ADD_FAILURE() << "refused";
    } catch (const EStreamError& error) {
        EXPECT_NE(std::string(error.Message()).find("\"Dial\""), std::string::npos) << error.Message();
        EXPECT_NE(std::string(error.Message()).find("71582788"), std::string::npos) << error.Message();
    }
    EXPECT_EQ(ties->PointCount(), 0);
    // A count the text holds is read as before, missing points staying zero.
    TKTiesConstruction3D::LoadFromText(ties.get(),
                                       "Points Count : 2\r\nPoint 0\r\n p : 1 2 3\r\n n : 0 0 1\r\n"
                                       " i : 1 1 1\r\n-----------------------------------\r\n");
    EXPECT_EQ(ties->PointCount(), 2);
    EXPECT_FLOAT_EQ(ties->GetPoint(0)->Position.y, 2.0f);
}

}  // namespace

namespace {

// The navigator's dial as the text its form holds.
std::string DialText()
{
    std::string text;
    for (const char* line : kelvora_models::kNavigatorDialData) text += std::string(line) + "\r\n";
    return text;
}

}  // namespace

// Seeded damage to the navigator's tie text, bounded by count: every text reads or is refused
// with the reader's errors, and never makes more points than the text could hold.
TEST(TieTextFuzz, DamagedTextsReadOrAreRefusedAndHoldOnlyWhatTheyCan)
{
    const std::string original = DialText();
    std::mt19937 random(20261211);
    const char* const bold[] = {"2147483647", "-1", "0", "99999999", "71582788", " ", "\r\n", "Point", "p :"};
    int read = 0, refused = 0;
    for (int round = 0; round < 2000; ++round) {
        std::string text = original;
        const int changes = 1 + int(random() % 4);
        for (int c = 0; c < changes; ++c) {
            const std::size_t at = random() % text.size();
            if (random() % 2)
                text[at] = char(random());
            else
                text.replace(at, random() % 8, bold[random() % std::size(bold)]);
        }
        if (random() % 8 == 0) text.resize(random() % text.size());
        TOwned<TKTiesConstruction3D> ties(TKTiesConstruction3D::New(nullptr));
        try {
            TKTiesConstruction3D::LoadFromText(ties.get(), text);
            ++read;
            EXPECT_LE(std::size_t(ties->PointCount()), text.size() / 14) << "round " << round;
        } catch (const Exception&) {
            ++refused;
        }
    }
    EXPECT_EQ(read + refused, 2000);
    EXPECT_GT(read, 0);
}
