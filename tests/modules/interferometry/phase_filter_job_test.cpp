#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "modules/interferometry/phase_filter_job.h"
#include "modules/interferometry/phase_filter_kernels.h"
#include "tests/modules/interferometry/interf_test_support.h"
#include "tests/support/modal_responder.h"
#include "tests/support/test_environment.h"

namespace {

using namespace interftest;
using tarvenix::test::Responder;
using tarvenix::test::TempDir;

TEST(PhaseFilterJob, WritesTheFilteredPhaseWithAZeroBorderAndTheInputsTags)
{
    TempDir dir;
    const std::string in = dir.File("phase.rdp"), out = dir.File("filtered.rdp");
    const int w = 21, h = 15;
    std::vector<double> v;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) v.push_back(std::fmod(0.4 * x + 0.25 * y + 0.3 * ((x * y) % 3), 6.28));
    ASSERT_TRUE(WriteLayer(in, w, h, int(DataType::F32), v));
    ASSERT_TRUE(SetTag(in.c_str(), TAG_DESCRIPTION, 6, "phase"));

    RecordingMeter meter;
    Filtration_Phase(new SPhaseFiltrParam{in.c_str(), out.c_str(), 0, 3, "caption"}, &meter);

    EXPECT_TRUE(Responder().Asked().empty());
    EXPECT_EQ(meter.Tasks(), (std::vector<std::string>{"Creating output file.", "Preparing data ...",
                                                       "Phase filtration", "Count statisticses."}));
    EXPECT_EQ(meter.States(), (std::vector<int>{TASK_COMPLETE, TASK_COMPLETE, TASK_COMPLETE, TASK_COMPLETE}));
    int type = 0;
    const auto got = ReadLayer(out, nullptr, nullptr, &type);
    EXPECT_EQ(type, int(DataType::F32));
    ASSERT_EQ(got.size(), std::size_t(w * h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double g = got[std::size_t(y) * w + x];
            if (y == 0 || y == h - 1 || x == 0 || x == w - 1) {
                ASSERT_EQ(g, 0.0);
                continue;
            }
            double u = 0, s = 0;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    const float p = float(v[std::size_t(y + dy) * w + x + dx]);
                    u += std::cos(double(p));
                    s += std::sin(double(p));
                }
            ASSERT_NEAR(g, std::atan2(s, u), 1e-6) << x << "," << y;
        }
    char text[6] = {};
    ASSERT_TRUE(GetTag(out.c_str(), TAG_DESCRIPTION, 6, text));
    EXPECT_STREQ(text, "phase");
}

TEST(PhaseFilterJob, PhaseColourMapGoesToTheDisplayOfTheResultsKind)
{
    // The phase mode's map (504) of the input: a complex result keeps it as 504, a real one
    // shows it as its own map (501), in place of the input's 501 that the tag copy brings.
    const auto phaseMap = PalettePayload(-3.2, 3.2);
    const auto ownMap = PalettePayload(0, 1);
    for (int type : {int(DataType::C64), int(DataType::F64)}) {
        SCOPED_TRACE(type);
        TempDir dir;
        const std::string in = dir.File("in.rdp"), out = dir.File("out.rdp");
        const int parts = isComplexType(type) ? 2 : 1;
        ASSERT_TRUE(WriteLayer(in, 9, 9, type, std::vector<double>(std::size_t(81 * parts), 1.0)));
        ASSERT_TRUE(SetTag(in.c_str(), 504, int(phaseMap.size()), phaseMap.data()));
        ASSERT_TRUE(SetTag(in.c_str(), TAG_PALETTE, int(ownMap.size()), ownMap.data()));
        RecordingMeter meter;
        Filtration_Phase(new SPhaseFiltrParam{in.c_str(), out.c_str(), 0, 3, "caption"}, &meter);
        std::vector<BYTE> got;
        ASSERT_TRUE(GetPaletteTag(out.c_str(), isComplexType(type) ? 504 : TAG_PALETTE, &got));
        EXPECT_EQ(got, phaseMap);
        if (isComplexType(type)) {
            ASSERT_TRUE(GetPaletteTag(out.c_str(), TAG_PALETTE, &got));
            EXPECT_EQ(got, ownMap);
        }
    }
}

TEST(PhaseFilterJob, RealIntegerInputIsRefusedWithoutOutput)
{
    TempDir dir;
    const std::string in = dir.File("in.rdp"), out = dir.File("out.rdp");
    ASSERT_TRUE(WriteLayer(in, 9, 9, int(DataType::S16), std::vector<double>(81, 1.0)));
    Responder().AnswerMessageBox(IDOK);
    RecordingMeter meter;
    Filtration_Phase(new SPhaseFiltrParam{in.c_str(), out.c_str(), 0, 3, "caption"}, &meter);
    ASSERT_EQ(Responder().Asked().size(), 1u);
    EXPECT_EQ(std::string(Responder().Asked()[0].text), "Invalid  input file type\n");
    EXPECT_TRUE(meter.FailureMarked());
    EXPECT_FALSE(std::filesystem::exists(out));
}

}  // namespace
