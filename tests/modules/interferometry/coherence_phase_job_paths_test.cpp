#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "modules/interferometry/coherence_job.h"
#include "modules/interferometry/phase_filter_job.h"
#include "modules/interferometry/phase_unwrap_job.h"
#include "tests/modules/interferometry/interf_test_support.h"
#include "tests/support/modal_responder.h"
#include "tests/support/test_environment.h"

namespace {

using namespace interftest;
using tarvenix::test::Responder;
using tarvenix::test::TempDir;

enum Tool { kCoherence, kPhaseFilter, kUnwrap };
enum Path { kInputMissing, kOutputNotCreatable, kCancel, kSecondInputDiffers };

struct JobPath {
    const char* name;
    Tool tool;
    Path path;
    const char* message;  // box text prefix; null: no box
    const char* caption;
};

void Launch(Tool tool, const std::string& in, const std::string& in2, const std::string& out,
            CMeterInfo* meter)
{
    switch (tool) {
        case kCoherence:
            CalcCoher(
                new SCoherParam{in.c_str(), in2.c_str(), out.c_str(), 5, "Coherence calculation: Error"},
                meter);
            break;
        case kPhaseFilter:
            Filtration_Phase(new SPhaseFiltrParam{in.c_str(), out.c_str(), 0, 5, "Phase filtration: Error"},
                             meter);
            break;
        case kUnwrap:
            FazeUnwrap_F32C64(new SPhaseUnwrapParam{in.c_str(), out.c_str(), "", 0, ""}, meter);
            break;
    }
}

class FringeJobPaths : public ::testing::TestWithParam<JobPath> {};

TEST_P(FringeJobPaths, ShowTheRightMessageMarkTheJobFailedAndLeaveNoOutput)
{
    const JobPath& p = GetParam();
    TempDir dir;
    const std::string in = dir.File("in.rdp"), in2 = dir.File("in2.rdp");
    const std::string out = p.path == kOutputNotCreatable ? dir.File("missing/out.rdp") : dir.File("out.rdp");
    std::vector<double> values;
    for (int i = 0; i < 2 * 40 * 30; ++i) values.push_back((i * 37 % 11) * 0.5);
    int files = 0;
    if (p.path != kInputMissing) {
        ASSERT_TRUE(WriteLayer(in, 40, 30, int(DataType::C64), values));
        ++files;
    }
    if (p.tool == kCoherence) {
        const int h = p.path == kSecondInputDiffers ? 29 : 30;
        ASSERT_TRUE(WriteLayer(in2, 40, h, int(DataType::C64), values));
        ++files;
    }
    if (p.message) Responder().AnswerMessageBox(IDOK);

    RecordingMeter meter;
    if (p.path == kCancel) meter.StopAt(5);
    Launch(p.tool, in, in2, out, &meter);

    if (p.message) {
        ASSERT_EQ(Responder().Asked().size(), 1u);
        const auto& box = Responder().Asked()[0];
        EXPECT_EQ(std::string(box.text).rfind(p.message, 0), 0u) << box.text;
        EXPECT_EQ(std::string(box.caption), p.caption);
        EXPECT_EQ(box.Icon(), UINT(MB_ICONERROR));
    } else {
        EXPECT_TRUE(Responder().Asked().empty());
    }
    EXPECT_TRUE(meter.FailureMarked());
    EXPECT_FALSE(std::filesystem::exists(out));
    int left = 0;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir.Path()))
        left += e.is_regular_file();
    EXPECT_EQ(left, files);
}

constexpr const char* kCoherCaption = "Coherence calculation: Error";
constexpr const char* kFiltrCaption = "Phase filtration: Error";
constexpr const char* kUnwrapCaption = "Развертка фазы: Ошибка";

INSTANTIATE_TEST_SUITE_P(
    Paths, FringeJobPaths,
    ::testing::Values(
        JobPath{"CoherenceInputMissing", kCoherence, kInputMissing, "Can't open file: \r\n /", kCoherCaption},
        JobPath{"CoherenceOutputNotCreatable", kCoherence, kOutputNotCreatable, "Can't create file: \r\n /",
                kCoherCaption},
        JobPath{"CoherenceCancelled", kCoherence, kCancel, nullptr, kCoherCaption},
        JobPath{"CoherenceInputsChangedSize", kCoherence, kSecondInputDiffers, "Input files differ in size",
                kCoherCaption},
        JobPath{"PhaseFilterInputMissing", kPhaseFilter, kInputMissing, "Can't open file: \r\n /",
                kFiltrCaption},
        JobPath{"PhaseFilterOutputNotCreatable", kPhaseFilter, kOutputNotCreatable,
                "Can't create file: \r\n /", kFiltrCaption},
        JobPath{"PhaseFilterCancelled", kPhaseFilter, kCancel, nullptr, kFiltrCaption},
        JobPath{"UnwrapInputMissing", kUnwrap, kInputMissing, "Can't open file: \r\n /", kUnwrapCaption},
        JobPath{"UnwrapOutputNotCreatable", kUnwrap, kOutputNotCreatable, "Can't create file: \r\n /",
                kUnwrapCaption},
        JobPath{"UnwrapCancelled", kUnwrap, kCancel, nullptr, kUnwrapCaption}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
