#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "modules/convolution/noise_filter_job.h"
#include "tests/modules/convolution/filter_test_support.h"
#include "tests/support/modal_responder.h"
#include "tests/support/test_environment.h"

namespace {

using namespace filtertest;
using tarvenix::test::Responder;
using tarvenix::test::TempDir;

bool Exists(const std::string& path)
{
    return std::filesystem::exists(path);
}

SFiltrParams* Record(const std::string& in, const std::string& out, int filter, int window, float sigma)
{
    auto* r = new SFiltrParams;
    r->input = in.c_str();
    r->output = out.c_str();
    r->filter = filter;
    r->window = window;
    r->sigma = sigma;
    return r;
}

TEST(FiltrationJob, WritesAFloatLayerWithTheMeanFrameAndTheInputsTags)
{
    TempDir dir;
    const std::string in = dir.File("in.rdp"), out = dir.File("out.rdp");
    ASSERT_TRUE(WriteLayer(in, 23, 17, int(DataType::U16), Ramp(23, 17)));
    const auto palette = AddPalette(in, 0, 200);
    ASSERT_TRUE(SetTag(in.c_str(), TAG_DESCRIPTION, 6, "speck"));
    double mean = 0;
    {
        CRDPLayer layer;
        ASSERT_TRUE(layer.OpenLayer(in.c_str(), kOpenReadOnly));
        mean = layer.Mean();
    }

    RecordingMeter meter;
    CalcFiltration(Record(in, out, kFilterLee, 5, 1.2826f), &meter);

    EXPECT_TRUE(Responder().Asked().empty());
    EXPECT_FALSE(meter.FailureMarked());
    EXPECT_EQ(meter.States(), (std::vector<int>{TASK_COMPLETE, TASK_COMPLETE, TASK_COMPLETE}));
    int w = 0, h = 0, type = 0;
    const auto got = ReadLayer(out, &w, &h, &type);
    ASSERT_EQ(type, int(DataType::F32));
    ASSERT_EQ(w, 23);
    ASSERT_EQ(h, 17);
    const auto want = FilterFile(in, NoiseFilterSpec{kFilterLee, 5, 1.2826f}, float(mean));
    for (std::size_t i = 0; i < got.size(); ++i) ASSERT_EQ(float(got[i]), want[i]) << i;
    EXPECT_EQ(float(got[0]), float(mean));
    std::vector<BYTE> copied;
    ASSERT_TRUE(GetPaletteTag(out.c_str(), TAG_PALETTE, &copied));
    EXPECT_EQ(copied, palette);
    char text[6] = {};
    EXPECT_TRUE(GetTag(out.c_str(), TAG_DESCRIPTION, 6, text));
    EXPECT_STREQ(text, "speck");
}

TEST(FiltrationJob, AnInputWithoutStatisticsGetsItsComputedMeanInTheFrame)
{
    // A file of another writer may carry no statistics block: the frame takes the mean
    // computed in memory, and the file stays as it is.
    TempDir dir;
    const std::string in = dir.File("in.rdp"), out = dir.File("out.rdp");
    const auto values = Ramp(23, 17);
    ASSERT_TRUE(WriteLayer(in, 23, 17, int(DataType::F32), values));
    ASSERT_TRUE(DeleteTag(in.c_str(), TAG_STATISTICS));
    const std::string before = tarvenix::test::ReadWholeFile(in);
    double sum = 0;
    for (double v : values) sum += v;
    const float mean = float(sum / double(values.size()));

    RecordingMeter meter;
    CalcFiltration(Record(in, out, kFilterMean, 5, 1), &meter);

    EXPECT_FALSE(meter.FailureMarked());
    const auto got = ReadLayer(out);
    const auto want = FilterFile(in, NoiseFilterSpec{kFilterMean, 5, 1}, mean);
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < got.size(); ++i) ASSERT_FLOAT_EQ(float(got[i]), want[i]) << i;
    EXPECT_EQ(tarvenix::test::ReadWholeFile(in), before);
}

TEST(FiltrationJob, SmallestImageFiltersItsInnerSquare)
{
    TempDir dir;
    const std::string in = dir.File("in.rdp"), out = dir.File("out.rdp");
    ASSERT_TRUE(
        WriteLayer(in, 4, 4, int(DataType::F32), {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}));
    RecordingMeter meter;
    CalcFiltration(Record(in, out, kFilterMean, 3, 1), &meter);
    const auto got = ReadLayer(out);
    ASSERT_EQ(got.size(), 16u);
    // The frame holds the input's mean (8.5); the inner 2 x 2 the window means.
    const std::vector<double> want{8.5, 8.5, 8.5, 8.5, 8.5, 6, 7, 8.5, 8.5, 10, 11, 8.5, 8.5, 8.5, 8.5, 8.5};
    EXPECT_EQ(got, want);
}

TEST(FiltrationJob, EveryRowOfATallLayerHoldsItsWindowsMean)
{
    // 771 rows: the job's bands of 13 rows start at rows that are no multiple of 3. Each
    // window's mean is worked out here in the plainest way.
    TempDir dir;
    const int w = 4, h = 771;
    std::vector<double> v;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) v.push_back(1 + 0.25 * ((7 * x + 13 * y) % 11));
    const std::string in = dir.File("in.rdp"), out = dir.File("out.rdp");
    ASSERT_TRUE(WriteLayer(in, w, h, int(DataType::F32), v));
    RecordingMeter meter;
    CalcFiltration(Record(in, out, kFilterMean, 3, 1), &meter);
    const auto got = ReadLayer(out);
    ASSERT_EQ(got.size(), v.size());
    int bad = 0;
    for (int y = 1; y < h - 1; ++y)
        for (int x = 1; x < w - 1; ++x) {
            double sum = 0;
            for (int i = -1; i <= 1; ++i)
                for (int j = -1; j <= 1; ++j) sum += float(v[std::size_t(y + i) * w + x + j]);
            const double want = float(sum / 9);
            if (got[std::size_t(y) * w + x] != want && ++bad <= 4)
                ADD_FAILURE() << "row " << y << ", column " << x << ": " << got[std::size_t(y) * w + x]
                              << ", want " << want;
        }
    EXPECT_EQ(bad, 0);
}

// ---- paths a user can tell apart ---------------------------------------------------------------

struct JobPath {
    const char* name;
    int width, height;  // of the input; 0: no input file at all
    bool outputInMissingFolder;
    double stopAt, failAt;
    const char* message;  // expected box text (prefix), null: none
};

class FiltrationJobPaths : public ::testing::TestWithParam<JobPath> {};

TEST_P(FiltrationJobPaths, ShowTheRightMessageAndLeaveNoOutput)
{
    const JobPath& p = GetParam();
    TempDir dir;
    const std::string in = dir.File("in.rdp");
    const std::string out = p.outputInMissingFolder ? dir.File("missing/out.rdp") : dir.File("out.rdp");
    if (p.width) {
        ASSERT_TRUE(WriteLayer(in, p.width, p.height, int(DataType::S16), Ramp(p.width, p.height)));
    }
    if (p.message) Responder().AnswerMessageBox(IDOK);

    RecordingMeter meter;
    meter.StopAt(p.stopAt);
    meter.FailAt(p.failAt, RDP_ERROR_FFT);
    CalcFiltration(Record(in, out, kFilterMedian, 3, 1), &meter);

    if (p.message) {
        ASSERT_EQ(Responder().Asked().size(), 1u);
        const auto& box = Responder().Asked()[0];
        EXPECT_EQ(std::string(box.text).rfind(p.message, 0), 0u) << box.text;
        EXPECT_EQ(std::string(box.caption), "Filtering...");
        EXPECT_EQ(box.Icon(), UINT(MB_ICONERROR));
    } else {
        EXPECT_TRUE(Responder().Asked().empty());
    }
    EXPECT_FALSE(Exists(out));
    EXPECT_TRUE(meter.FailureMarked());
    // Nothing but the input is left in the folder: no partial or temporary files.
    int files = 0;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir.Path()))
        files += e.is_regular_file();
    EXPECT_EQ(files, p.width ? 1 : 0);
    if (p.width) {
        EXPECT_TRUE(Exists(in));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Paths, FiltrationJobPaths,
    ::testing::Values(JobPath{"InputNotOpenable", 0, 0, false, -1, -1, "Can't open the input file"},
                      JobPath{"WindowAsWideAsTheImage", 3, 9, false, -1, -1,
                              "Pivoting window size can't be greater input file size minus 1 pixel!"},
                      JobPath{"WindowAsHighAsTheImage", 9, 3, false, -1, -1,
                              "Pivoting window size can't be greater input file size minus 1 pixel!"},
                      JobPath{"OutputNotCreatable", 9, 9, true, -1, -1, "Error creating output file  !"},
                      JobPath{"StoppedByTheUser", 9, 40, false, 5, -1, nullptr},
                      JobPath{"AnotherError", 9, 40, false, -1, 5,
                              "The two-dimensional Fourier transform failed"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FiltrationJob, InputThatCannotBeOpenedChangesNoTask)
{
    TempDir dir;
    Responder().AnswerMessageBox(IDOK);
    RecordingMeter meter;
    CalcFiltration(Record(dir.File("none.rdp"), dir.File("out.rdp"), kFilterMean, 3, 1), &meter);
    EXPECT_EQ(meter.States(), (std::vector<int>{TASK_WAITING, TASK_WAITING, TASK_WAITING}));
}

TEST(FiltrationJob, FailureMarksTheRunningTask)
{
    TempDir dir;
    const std::string in = dir.File("in.rdp");
    ASSERT_TRUE(WriteLayer(in, 9, 40, int(DataType::F32), Ramp(9, 40)));
    RecordingMeter meter;
    meter.StopAt(3);
    CalcFiltration(Record(in, dir.File("out.rdp"), kFilterLee, 3, 1), &meter);
    EXPECT_EQ(meter.States(), (std::vector<int>{TASK_COMPLETE, TASK_ERROR, TASK_WAITING}));
}

}  // namespace
