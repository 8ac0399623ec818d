#include <cmath>
#include <complex>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "modules/interferometry/coherence_job.h"
#include "tests/modules/interferometry/interf_test_support.h"
#include "tests/support/modal_responder.h"
#include "tests/support/test_environment.h"

namespace {

using namespace interftest;
using tarvenix::test::Responder;
using tarvenix::test::TempDir;

TEST(CoherenceJob, WritesTheMapWithTheFirstPairsBorderAndTheFirstInputsTags)
{
    TempDir dir;
    const std::string a = dir.File("a.rdp"), b = dir.File("b.rdp"), out = dir.File("coh.rdp");
    const int w = 23, h = 19;
    std::mt19937 gen(4);
    std::normal_distribution<double> g;
    for (int type : {int(DataType::CS16), int(DataType::C128)}) {
        SCOPED_TRACE(type);
        std::vector<double> va, vb;
        for (int i = 0; i < w * h; ++i) {
            const double ar = std::round(g(gen) * 100), ai = std::round(g(gen) * 100);
            va.insert(va.end(), {ar, ai});
            vb.insert(vb.end(), {std::round(ar * 0.8 + g(gen) * 60), std::round(ai * 0.8 + g(gen) * 60)});
        }
        // A zero first sample: the border holds that pair's coherence, 0/0.
        va[0] = va[1] = 0;
        ASSERT_TRUE(WriteLayer(a, w, h, type, va));
        ASSERT_TRUE(WriteLayer(b, w, h, type, vb));
        ASSERT_TRUE(SetTag(a.c_str(), TAG_DESCRIPTION, 6, "first"));
        ASSERT_TRUE(SetTag(b.c_str(), TAG_DESCRIPTION, 7, "second"));

        RecordingMeter meter;
        CalcCoher(new SCoherParam{a.c_str(), b.c_str(), out.c_str(), 5, "caption"}, &meter);

        EXPECT_TRUE(Responder().Asked().empty());
        EXPECT_FALSE(meter.FailureMarked());
        EXPECT_EQ(meter.Tasks(), (std::vector<std::string>{"Creating output file.", "Coherence calculation",
                                                           "Count statisticses."}));
        EXPECT_EQ(meter.States(), (std::vector<int>{TASK_COMPLETE, TASK_COMPLETE, TASK_COMPLETE}));
        int ow = 0, oh = 0, otype = 0;
        const auto got = ReadLayer(out, &ow, &oh, &otype);
        ASSERT_EQ(ow, w);
        ASSERT_EQ(oh, h);
        EXPECT_EQ(otype, type == int(DataType::C128) ? int(DataType::F64) : int(DataType::F32));
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const double v = got[std::size_t(y) * w + x];
                if (y < 2 || y >= h - 2 || x < 2 || x >= w - 2) {
                    // The first pair has a zero sample: its coherence is 0/0.
                    ASSERT_TRUE(std::isnan(v)) << x << "," << y;
                    continue;
                }
                std::complex<double> c;
                double p = 0, q = 0;
                for (int dy = -2; dy <= 2; ++dy)
                    for (int dx = -2; dx <= 2; ++dx) {
                        const std::size_t i = 2 * (std::size_t(y + dy) * w + x + dx);
                        const std::complex<double> sa(va[i], va[i + 1]), sb(vb[i], vb[i + 1]);
                        c += sa * std::conj(sb);
                        p += std::norm(sa);
                        q += std::norm(sb);
                    }
                ASSERT_NEAR(v, std::abs(c) / std::sqrt(p * q), 1e-6) << x << "," << y;
            }
        char text[7] = {};
        ASSERT_TRUE(GetTag(out.c_str(), TAG_DESCRIPTION, 6, text));
        EXPECT_STREQ(text, "first");
    }
}

TEST(CoherenceJob, ImageSmallerThanTheWindowHoldsTheFirstPairsCoherence)
{
    TempDir dir;
    const std::string a = dir.File("a.rdp"), b = dir.File("b.rdp"), out = dir.File("coh.rdp");
    std::vector<double> va, vb;
    for (int i = 0; i < 16 * 40; ++i) {
        va.insert(va.end(), {double(i % 7 + 1), double(i % 5)});
        vb.insert(vb.end(), {double(i % 3 - 1), double(i % 4 + 1)});
    }
    ASSERT_TRUE(WriteLayer(a, 16, 40, int(DataType::C64), va));
    ASSERT_TRUE(WriteLayer(b, 16, 40, int(DataType::C64), vb));
    RecordingMeter meter;
    CalcCoher(new SCoherParam{a.c_str(), b.c_str(), out.c_str(), 17, "caption"}, &meter);
    for (double v : ReadLayer(out)) ASSERT_NEAR(v, 1.0, 1e-7);
}

}  // namespace
