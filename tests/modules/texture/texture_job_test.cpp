#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "modules/texture/texture_job.h"
#include "outside/basecore/tags.h"
#include "tests/modules/texture/texture_test_support.h"
#include "tests/support/modal_responder.h"
#include "tests/support/test_environment.h"

namespace {

using namespace texturetest;
using tarvenix::test::Responder;
using tarvenix::test::TempDir;

bool Exists(const std::string& path)
{
    return std::filesystem::exists(path);
}

STextureParam* Record(const std::string& in, const std::string& out, int statistic, int window,
                      int direction = 0, int distance = 1, int preTrimming = 0)
{
    auto* r = new STextureParam;
    r->input = in.c_str();
    r->output = out.c_str();
    r->statistic = statistic;
    r->statisticName = "the statistic";
    r->window = window;
    r->direction = std::uint8_t(direction);
    r->distance = std::uint8_t(distance);
    r->preTrimming = preTrimming;
    r->errorCaption = "Texture Analisis: Error";
    return r;
}

std::vector<double> Ramp(int width, int height)
{
    std::vector<double> v;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) v.push_back(10 + x * 3 + y * 7 + ((x * 7 + y * 13) % 5));
    return v;
}

/// What a job must write: the plain computation over the file's samples with the file's
/// level range, `border` in the frame.
std::vector<float> Expected(const std::string& path, int dimensionality, const STextureParam& r, float border)
{
    CRDPLayer layer;
    EXPECT_TRUE(layer.OpenLayer(path.c_str(), kOpenReadOnly));
    const LevelRange range = TextureLevelRange(layer, r.preTrimming != 0);
    int w = 0, h = 0;
    const auto values = ReadLayer(path, &w, &h);
    const TextureSpec spec{dimensionality, r.statistic, r.window, r.direction, r.distance};
    return ReferenceTexture(ImageOf(values, w, h), range, spec, border);
}

struct SuccessCase {
    const char* name;
    int dimensionality, statistic, window, direction, distance;
};

TEST(TextureJob, WritesTheStatisticAsAFloatLayerWithItsBorderAndTheInputsTags)
{
    const SuccessCase cases[] = {
        {"first-order Mean", 0, kFirstMean, 5, 0, 1},
        {"first-order Entropy", 0, kFirstEntropy, 3, 0, 1},
        {"co-occurrence Contrast", 1, kGlcmContrast, 5, 2, 2},
        {"co-occurrence Correlation", 1, kGlcmCorrelation, 7, 1, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Responder().Reset();
        TempDir dir;
        const std::string in = dir.File("in.rdp"), out = dir.File("out.rdp");
        ASSERT_TRUE(WriteLayer(in, 23, 17, int(DataType::U16), Ramp(23, 17)));
        ASSERT_TRUE(SetTag(in.c_str(), TAG_DESCRIPTION, 6, "speck"));
        double border = 0;
        if (c.dimensionality == 0 && c.statistic == kFirstMean) {
            CRDPLayer layer;
            ASSERT_TRUE(layer.OpenLayer(in.c_str(), kOpenReadOnly));
            border = (layer.Mean() - layer.Min()) * 255 / (layer.Max() - layer.Min());
        }
        STextureParam* record = Record(in, out, c.statistic, c.window, c.direction, c.distance);
        const auto want = Expected(in, c.dimensionality, *record, float(border));
        RecordingMeter meter;
        (c.dimensionality == 0 ? Texture_Analis_First : Texture_Analis_Second)(record, &meter);

        EXPECT_TRUE(Responder().Asked().empty());
        EXPECT_FALSE(meter.FailureMarked());
        EXPECT_EQ(meter.Tasks(), (std::vector<std::string>{"Creating output file", "Data preparing...",
                                                           "the statistic", "Count statisticses."}));
        EXPECT_EQ(meter.States(), std::vector<int>(4, TASK_COMPLETE));
        int w = 0, h = 0, type = 0;
        const auto got = ReadLayer(out, &w, &h, &type);
        ASSERT_EQ(type, int(DataType::F32));
        ASSERT_EQ(w, 23);
        ASSERT_EQ(h, 17);
        for (std::size_t i = 0; i < got.size(); ++i)
            ASSERT_NEAR(got[i], want[i], 4e-7 * std::fabs(want[i]) + 1e-9) << i;
        EXPECT_EQ(float(got[0]), float(border));
        char text[6] = {};
        EXPECT_TRUE(GetTag(out.c_str(), TAG_DESCRIPTION, 6, text));
        EXPECT_STREQ(text, "speck");
        // The stored statistics are those of the computed area.
        const int k = c.window / 2;
        double lo = 1e300, hi = -1e300;
        for (int y = k; y < h - k; ++y)
            for (int x = k; x < w - k; ++x) {
                lo = std::min(lo, got[std::size_t(y) * w + x]);
                hi = std::max(hi, got[std::size_t(y) * w + x]);
            }
        CRDPLayer result;
        ASSERT_TRUE(result.OpenLayer(out.c_str(), kOpenReadOnly));
        EXPECT_EQ(result.Min(), lo);
        EXPECT_EQ(result.Max(), hi);
    }
}

struct FailureCase {
    const char* name;
    int inputType;  // 0: no input file
    bool outputCreatable;
    double stopAt;     // the user's stop at this row; -1: none
    const char* text;  // the one box's text before the path; null: no box
    bool textHasPath;
};

TEST(TextureJob, FailuresTellTheUserOnceAndLeaveNoOutput)
{
    const FailureCase cases[] = {
        {"input not openable", 0, true, -1, "Can't open file: \r\n ", true},
        {"output not creatable", int(DataType::U8), false, -1, "Can't create file: \r\n ", true},
        {"complex input", int(DataType::C64), true, -1, "Incorrect type of input file", false},
        {"cancel", int(DataType::F32), true, 6, nullptr, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Responder().Reset();
        TempDir dir;
        const std::string in = dir.File("in.rdp");
        const std::string out = c.outputCreatable ? dir.File("out.rdp") : dir.File("no/such/folder/out.rdp");
        if (c.inputType) {
            const int parts = isComplexType(c.inputType) ? 2 : 1;
            ASSERT_TRUE(WriteLayer(in, 20, 20, c.inputType, Ramp(20 * parts, 20)));
        }
        RecordingMeter meter;
        meter.StopAt(c.stopAt);
        for (auto job : {Texture_Analis_First, Texture_Analis_Second}) {
            Responder().Reset();
            if (c.text) Responder().AnswerMessageBox(IDOK);
            job(Record(in, out, 1, 3), &meter);
            EXPECT_FALSE(Exists(out));
            EXPECT_TRUE(meter.FailureMarked());
            const auto& asked = Responder().Asked();
            if (!c.text) {
                EXPECT_TRUE(asked.empty());
                continue;
            }
            ASSERT_EQ(asked.size(), 1u);
            EXPECT_EQ(std::string(asked[0].caption), "Texture Analisis: Error");
            EXPECT_EQ(asked[0].Icon(), UINT(MB_ICONERROR));
            EXPECT_EQ(std::string(asked[0].text),
                      std::string(c.text) + (c.textHasPath ? (c.inputType ? out : in) : ""));
        }
        if (c.inputType) {
            EXPECT_TRUE(Exists(in));
        }
    }
}

TEST(TextureJob, WindowLargerThanTheImageGivesAllBorderWithSoundStatistics)
{
    TempDir dir;
    const std::string in = dir.File("in.rdp"), out = dir.File("out.rdp");
    ASSERT_TRUE(WriteLayer(in, 6, 4, int(DataType::F32), Ramp(6, 4)));
    double border = 0;
    {
        CRDPLayer layer;
        ASSERT_TRUE(layer.OpenLayer(in.c_str(), kOpenReadOnly));
        border = (layer.Mean() - layer.Min()) * 255 / (layer.Max() - layer.Min());
    }
    RecordingMeter meter;
    Texture_Analis_First(Record(in, out, kFirstMean, 7), &meter);
    EXPECT_TRUE(Responder().Asked().empty());
    const auto got = ReadLayer(out);
    ASSERT_EQ(got.size(), 24u);
    for (double v : got) EXPECT_EQ(v, double(float(border)));
    CRDPLayer result;
    ASSERT_TRUE(result.OpenLayer(out.c_str(), kOpenReadOnly));
    EXPECT_EQ(result.Min(), double(float(border)));
    EXPECT_EQ(result.Max(), double(float(border)));
}

TEST(TextureJob, AFlatImageHasAnEmptyRangeWithLevelsAndMeanBorderZero)
{
    TempDir dir;
    const std::string in = dir.File("in.rdp"), out = dir.File("out.rdp");
    ASSERT_TRUE(WriteLayer(in, 9, 8, int(DataType::F64), std::vector<double>(72, 1234.5)));
    for (int trimmed : {0, 1}) {
        RecordingMeter meter;
        Texture_Analis_First(Record(in, out, kFirstMean, 3, 0, 1, trimmed), &meter);
        EXPECT_TRUE(Responder().Asked().empty());
        EXPECT_EQ(ReadLayer(out), std::vector<double>(72, 0.0));
    }
}

TEST(TextureJob, PreTrimmingPilesOutliersAtTheEndLevels)
{
    // 0..99 everywhere, one sample far below and one far above: the histogram cuts both.
    const int w = 40, h = 40;
    std::vector<double> values;
    for (int i = 0; i < w * h; ++i) values.push_back(double((i * 37) % 100));
    values[std::size_t(10 * w + 10)] = -10000;
    values[std::size_t(30 * w + 30)] = 10000;
    TempDir dir;
    const std::string in = dir.File("in.rdp"), out = dir.File("out.rdp");
    ASSERT_TRUE(WriteLayer(in, w, h, int(DataType::F32), values));
    {
        CRDPLayer layer;
        ASSERT_TRUE(layer.OpenLayer(in.c_str(), kOpenReadOnly));
        const LevelRange trimmed = TextureLevelRange(layer, true);
        EXPECT_GT(trimmed.min, -10000.0);
        EXPECT_LT(trimmed.min + 255 / trimmed.scale, 10000.0);
        EXPECT_EQ(TextureLevel(-10000, trimmed), 0);
        EXPECT_EQ(TextureLevel(10000, trimmed), 255);
        // Untrimmed, the outliers take the ends and the rest crowds in the middle.
        const LevelRange stored = TextureLevelRange(layer, false);
        EXPECT_NEAR(TextureLevel(0, stored), 127.5, 1);
        EXPECT_NEAR(TextureLevel(99, stored), 127.5, 2);
    }
    STextureParam* record = Record(in, out, kFirstStdDev, 3, 0, 1, 1);
    const auto want = Expected(in, 0, *record, 0.0f);
    RecordingMeter meter;
    Texture_Analis_First(record, &meter);
    const auto got = ReadLayer(out);
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < got.size(); ++i)
        ASSERT_NEAR(got[i], want[i], 4e-7 * std::fabs(want[i]) + 1e-9) << i;
}

TEST(TextureJob, EveryRealTypeGivesTheSameOutputForTheSameValues)
{
    std::vector<double> values;
    for (int i = 0; i < 15 * 12; ++i) values.push_back(double((i * 29) % 101));
    TempDir dir;
    for (int statistic : {kGlcmEntropy, kGlcmHomogeneity}) {
        std::vector<double> first;
        for (int type = 1; type <= 8; ++type) {
            SCOPED_TRACE(type);
            const std::string in = dir.File("in" + std::to_string(type) + ".rdp");
            const std::string out = dir.File("out" + std::to_string(type) + ".rdp");
            ASSERT_TRUE(WriteLayer(in, 15, 12, type, values));
            RecordingMeter meter;
            Texture_Analis_Second(Record(in, out, statistic, 5, 3, 1), &meter);
            const auto got = ReadLayer(out);
            if (type == 1)
                first = got;
            else
                EXPECT_EQ(got, first);
        }
    }
}

TEST(TextureJob, AnInputWithoutStatisticsGetsTheLevelsOfItsComputedOnesAndStaysUnchanged)
{
    // A file of another writer may carry no statistics block: its levels then come from
    // statistics computed in memory, the same as those the file would have stored.
    TempDir dir;
    for (int statistic : {kFirstMean, kFirstEntropy}) {
        SCOPED_TRACE(statistic);
        const std::string with = dir.File("with.rdp"), bare = dir.File("bare.rdp");
        const std::string want = dir.File("want.rdp"), got = dir.File("got.rdp");
        ASSERT_TRUE(WriteLayer(with, 23, 17, int(DataType::F32), Ramp(23, 17)));
        std::filesystem::copy_file(with, bare, std::filesystem::copy_options::overwrite_existing);
        ASSERT_TRUE(DeleteTag(bare.c_str(), TAG_STATISTICS));
        const auto bareBytes = tarvenix::test::ReadWholeFile(bare);
        RecordingMeter withMeter, bareMeter;
        Texture_Analis_First(Record(with, want, statistic, 5), &withMeter);
        Texture_Analis_First(Record(bare, got, statistic, 5), &bareMeter);
        EXPECT_TRUE(Responder().Asked().empty());
        EXPECT_FALSE(bareMeter.FailureMarked());
        const auto values = ReadLayer(got);
        ASSERT_EQ(values, ReadLayer(want));
        EXPECT_GT(*std::max_element(values.begin(), values.end()), 0.0);
        EXPECT_EQ(tarvenix::test::ReadWholeFile(bare), bareBytes);
    }
}

}  // namespace
