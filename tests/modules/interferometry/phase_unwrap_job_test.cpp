#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "modules/interferometry/phase_unwrap_job.h"
#include "tests/modules/interferometry/interf_test_support.h"
#include "tests/support/modal_responder.h"
#include "tests/support/test_environment.h"

namespace {

using namespace interftest;
using tarvenix::test::Responder;
using tarvenix::test::TempDir;

constexpr double kPi = 3.141592653589793;

TEST(PhaseUnwrapJob, EveryPhaseTypeUnwrapsIntoAFloatLayerOfTheInputsSize)
{
    const int w = 50, h = 31;
    std::vector<double> truth;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) truth.push_back(0.02 * x * x + 0.3 * y);  // 49 + 9 rad
    struct Case {
        int type;
        bool complex;
    };
    for (Case c : {Case{int(DataType::F32), false}, Case{int(DataType::F64), false},
                   Case{int(DataType::C64), true}, Case{int(DataType::CS16), true}}) {
        SCOPED_TRACE(c.type);
        TempDir dir;
        const std::string in = dir.File("wrapped.rdp"), out = dir.File("unwrapped.rdp");
        std::vector<double> v;
        for (double p : truth) {
            const double wrapped = std::fmod(p, 2 * kPi);  // 0..2π, as phase files hold it
            if (c.complex)
                v.insert(v.end(),
                         {std::round(3000 * std::cos(wrapped)), std::round(3000 * std::sin(wrapped))});
            else
                v.push_back(wrapped);
        }
        ASSERT_TRUE(WriteLayer(in, w, h, c.type, v));
        ASSERT_TRUE(SetTag(in.c_str(), TAG_DESCRIPTION, 6, "phase"));
        RecordingMeter meter;
        FazeUnwrap_F32C64(new SPhaseUnwrapParam{in.c_str(), out.c_str(), "", 0, ""}, &meter);
        EXPECT_TRUE(Responder().Asked().empty());
        EXPECT_FALSE(meter.FailureMarked());
        EXPECT_EQ(meter.Texts().front(), "Подготовка данных ....");
        EXPECT_EQ(meter.Texts().back(), "Сохранение результата ....");
        int ow = 0, oh = 0, type = 0;
        const auto got = ReadLayer(out, &ow, &oh, &type);
        ASSERT_EQ(ow, w);
        ASSERT_EQ(oh, h);
        EXPECT_EQ(type, int(DataType::F32));
        const double offset = got[0] - truth[0];
        for (std::size_t i = 0; i < got.size(); ++i) ASSERT_NEAR(got[i] - offset, truth[i], 2e-3) << i;
        // The unwrapped phase is another quantity: nothing of the input's tags comes along.
        EXPECT_EQ(GetSizeTag(out.c_str(), TAG_DESCRIPTION), -1);
    }
}

}  // namespace
