#include "outside/basecore/layer_statistics.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <random>

#include "layer_test_support.h"
#include "outside/basecore/data_type.h"
#include "outside/basecore/rdp_layer.h"

using namespace layertest;

namespace {

/// Random values every part of `code` holds exactly, written as the layer's rows take them.
std::vector<std::vector<double>> RandomRows(int code, int w, int h, unsigned seed)
{
    const TypeInfo& t = typeInfo(code);
    std::mt19937 rng(seed);
    const int bits = 8 * t.partBytes;
    double lo = 0, hi = 0;
    if (t.floating) {
        lo = -1000.0;
        hi = 1000.0;
    } else if (bits >= 32) {
        lo = t.signedParts ? -2e9 : 0.0;
        hi = 4e9 + lo;
    } else {
        lo = t.signedParts ? -std::ldexp(1.0, bits - 1) : 0.0;
        hi = lo + std::ldexp(1.0, bits) - 1;
    }
    std::uniform_real_distribution<double> u(lo, hi);
    std::vector<std::vector<double>> rows(static_cast<size_t>(h));
    for (auto& r : rows)
        for (int i = 0; i < w * (t.complex ? 2 : 1); ++i) {
            double v = u(rng);
            v = t.floating ? (t.partBytes == 4 ? double(float(v)) : v) : std::floor(v);
            r.push_back(v);
        }
    return rows;
}

struct Reference {
    double min[4], max[4], mean[4], sd[4];
    std::array<DWORD, 256> hist[4];
    int count = 0;
};

/// Components of a sample by the plain formulas: value or amplitude, phase, real, imaginary.
std::array<double, 4> Parts(const std::vector<double>& row, int x, bool complex)
{
    if (!complex) return {row[size_t(x)], 0, 0, 0};
    const double r = row[size_t(2 * x)], i = row[size_t(2 * x + 1)];
    return {std::sqrt(r * r + i * i), std::atan2(i, r), r, i};
}

Reference Compute(const std::vector<std::vector<double>>& rows, const SpanList& spans, bool complex)
{
    Reference ref{};
    const int comps = complex ? 4 : 1;
    for (int c = 0; c < comps; ++c) {
        ref.min[c] = std::numeric_limits<double>::infinity();
        ref.max[c] = -ref.min[c];
        double sum = 0;
        int n = 0;
        for (const Span& s : spans)
            for (int x = s.x0; x < s.x1; ++x) {
                const double v = Parts(rows[size_t(s.y)], x, complex)[size_t(c)];
                ref.min[c] = std::min(ref.min[c], v);
                ref.max[c] = std::max(ref.max[c], v);
                sum += v;
                ++n;
            }
        ref.mean[c] = sum / n;
        double sq = 0;
        ref.hist[c].fill(0);
        for (const Span& s : spans)
            for (int x = s.x0; x < s.x1; ++x) {
                const double v = Parts(rows[size_t(s.y)], x, complex)[size_t(c)];
                sq += (v - ref.mean[c]) * (v - ref.mean[c]);
                // 256 equal bins from the minimum to the maximum; the maximum in the last.
                const double t = (v - ref.min[c]) * (256.0 / (ref.max[c] - ref.min[c]));
                ++ref.hist[c][size_t(std::clamp(int(std::floor(t)), 0, 255))];
            }
        ref.sd[c] = std::sqrt(sq / n);
        ref.count = n;
    }
    return ref;
}

void ExpectStats(double min, double max, double mean, double sd, const DWORD* hist, const Reference& ref, int c)
{
    SCOPED_TRACE("component " + std::to_string(c));
    const double scale = std::max(1.0, std::abs(ref.max[c] - ref.min[c]));
    EXPECT_EQ(min, ref.min[c]);
    EXPECT_EQ(max, ref.max[c]);
    EXPECT_NEAR(mean, ref.mean[c], 1e-9 * scale);
    EXPECT_NEAR(sd, ref.sd[c], 1e-7 * scale);
    int differing = 0;
    for (int b = 0; b < 256; ++b) differing += hist[b] != ref.hist[c][size_t(b)];
    EXPECT_EQ(differing, 0);
}

double At(const void* block, int offset)
{
    double v;
    std::memcpy(&v, static_cast<const char*>(block) + offset, 8);
    return v;
}

}  // namespace

TEST(LayerStatistics, EveryTypeMatchesAPlainComputationOverTheLayerAndARectangle)
{
    const int w = 301, h = 203;   // odd sizes; several bands
    for (int code = 1; code <= 16; ++code) {
        SCOPED_TRACE(typeInfo(code).name);
        const bool complex = isComplexType(code);
        const auto rows = RandomRows(code, w, h, 11u + unsigned(code));
        CRDPLayer layer;
        ASSERT_NE(layer.CreateTempLayer(w, h, code), nullptr);
        for (int y = 0; y < h; ++y) ASSERT_TRUE(layer.SetLineFromDouble(y, rows[size_t(y)].data(), w));

        for (const int pass : {0, 1, 2}) {
            // One call, on the whole layer and on a rectangle; and the viewer's two calls.
            const bool whole = pass != 1;
            SCOPED_TRACE(pass == 0 ? "whole layer" : pass == 1 ? "rectangle" : "MaxMinCount and StatsCalc");
            const RECT inclusive{17, 5, 250, 190};   // right column and bottom row included
            if (pass == 2) {
                ASSERT_TRUE(layer.MaxMinCount(nullptr));
                EXPECT_FALSE(layer.StatsReady());
                ASSERT_TRUE(layer.StatsCalc(nullptr));
            } else {
                ASSERT_TRUE(layer.StatisticCountRect(whole ? nullptr : &inclusive));
            }
            EXPECT_TRUE(layer.StatsReady());
            const SpanList spans = SpansOfRect(whole ? RECT{0, 0, w, h} : RECT{17, 5, 251, 191}, w, h);
            const Reference ref = Compute(rows, spans, complex);
            ExpectStats(layer.Min(), layer.Max(), layer.Mean(), layer.StdDev(), layer.HistAdr(), ref, 0);
            if (complex) {
                const void* phase = layer.GetTag(TAG_PHASE_STATISTICS);
                ExpectStats(At(phase, 8), At(phase, 16), At(phase, 32), At(phase, 24),
                            reinterpret_cast<const DWORD*>(static_cast<const char*>(phase) + 40), ref, 1);
                ExpectStats(layer.reMin(), layer.reMax(), layer.reMean(), layer.reStdDev(), layer.reHistAdr(), ref, 2);
                ExpectStats(layer.imMin(), layer.imMax(), layer.imMean(), layer.imStdDev(), layer.imHistAdr(), ref, 3);
            } else {
                EXPECT_EQ(layer.reMax(), layer.Max()) << "a real layer's value is its real part";
            }
        }
    }
}

TEST(LayerStatistics, HistogramsOfRectanglesAndRegionsCountEverySampleOnce)
{
    const int w = 64, h = 48, bins = 100;
    // A diamond of spans plus an overlapping run that must not count twice.
    SpanList diamond;
    for (int y = 0; y < h; ++y) {
        const int half = std::min(y, h - 1 - y);
        diamond.push_back({y, 32 - half, 32 + half + 1});
    }
    diamond.push_back({10, 20, 40});
    const SpanList region = ClipSpans(diamond, w, h);
    for (int code = 1; code <= 16; ++code) {
        SCOPED_TRACE(typeInfo(code).name);
        const bool complex = isComplexType(code);
        const auto rows = RandomRows(code, w, h, 99u + unsigned(code));
        CRDPLayer layer;
        ASSERT_NE(layer.CreateTempLayer(w, h, code), nullptr);
        for (int y = 0; y < h; ++y) ASSERT_TRUE(layer.SetLineFromDouble(y, rows[size_t(y)].data(), w));
        ASSERT_TRUE(layer.StatisticCountRect(nullptr));
        const Reference whole = Compute(rows, SpansOfRect(RECT{0, 0, w, h}, w, h), complex);

        const int blocks = complex ? 4 : 1;
        std::vector<DWORD> counters(size_t(bins * blocks));
        const int bytes = int(counters.size() * 4);
        EXPECT_EQ(layer.CalcHist(nullptr, bins, counters.data(), bytes - 4), -1) << "buffer too small";
        for (const bool useRegion : {false, true}) {
            const SpanList spans = useRegion ? region : SpansOfRect(RECT{3, 4, 50, 40}, w, h);
            const RECT box{3, 4, 50, 40};
            const int n = useRegion ? layer.CalcHistRgn(region, bins, counters.data(), bytes)
                                    : layer.CalcHist(&box, bins, counters.data(), bytes);
            int expected = 0;
            for (const Span& s : spans) expected += s.x1 - s.x0;
            EXPECT_EQ(n, expected);
            for (int c = 0; c < blocks; ++c) {
                std::vector<DWORD> ref(size_t(bins), 0);
                for (const Span& s : spans)
                    for (int x = s.x0; x < s.x1; ++x) {
                        const double v = Parts(rows[size_t(s.y)], x, complex)[size_t(c)];
                        const double t = (v - whole.min[c]) * (double(bins) / (whole.max[c] - whole.min[c]));
                        ++ref[size_t(std::clamp(int(std::floor(t)), 0, bins - 1))];
                    }
                for (int b = 0; b < bins; ++b)
                    ASSERT_EQ(counters[size_t(c * bins + b)], ref[size_t(b)]) << "component " << c << " bin " << b;
            }
        }
    }
}

TEST(LayerStatistics, ConstantNanAndEmptyInputsGiveFiniteResults)
{
    CRDPLayer layer;
    ASSERT_NE(layer.CreateTempLayer(4, 4, 7), nullptr);
    ASSERT_TRUE(layer.SetValue(3.0, nullptr));
    ASSERT_TRUE(layer.StatisticCountRect(nullptr));
    EXPECT_EQ(layer.Min(), 3.0);
    EXPECT_EQ(layer.Max(), 3.0);
    EXPECT_EQ(layer.StdDev(), 0.0);
    EXPECT_EQ(layer.HistAdr()[0], 16u) << "a constant layer counts in the first bin";
    layer.SetValue(1, 1, std::nan(""));
    layer.SetValue(2, 2, -1.0);
    ASSERT_TRUE(layer.StatisticCountRect(nullptr));
    EXPECT_EQ(layer.Min(), -1.0);
    EXPECT_EQ(layer.Max(), 3.0);
    DWORD total = 0;
    for (int b = 0; b < 256; ++b) total += layer.HistAdr()[b];
    EXPECT_EQ(total, 15u) << "NaN samples are not counted";
    const RECT outside{10, 10, 12, 12};
    ASSERT_TRUE(layer.StatisticCountRect(&outside));
    EXPECT_EQ(layer.Mean(), 0.0);
}

TEST(LayerStatistics, PhaseExtremesFollowSignedZerosExactly)
{
    CRDPLayer layer;
    ASSERT_NE(layer.CreateTempLayer(4, 1, 9), nullptr);
    const double row[8] = {-1.0, 0.0, -1.0, -0.0, 0.0, 0.0, 2.0, 1e-30};
    ASSERT_TRUE(layer.SetLineFromDouble(0, row, 4));
    ASSERT_TRUE(layer.StatisticCountRect(nullptr));
    const void* phase = layer.GetTag(TAG_PHASE_STATISTICS);
    EXPECT_EQ(At(phase, 8), -std::numbers::pi) << "(-1, -0)";
    EXPECT_EQ(At(phase, 16), std::numbers::pi) << "(-1, +0)";
    EXPECT_EQ(layer.Min(), 0.0);
    EXPECT_EQ(layer.Max(), 2.0);
    std::vector<DWORD> counters(4 * 256);
    ASSERT_EQ(layer.CalcHist(nullptr, 256, counters.data(), 4 * 256 * 4), 4);
    EXPECT_EQ(counters[256 + 0], 1u) << "-pi";
    EXPECT_EQ(counters[256 + 255], 1u) << "+pi";
    EXPECT_EQ(counters[256 + 128], 2u) << "0 and almost 0";
}

TEST(LayerStatistics, ProgressStepsOncePerRowAndACancelKeepsTheOldStatistics)
{
    RecordingMeter meter;
    CRDPLayer layer(&meter);
    ASSERT_NE(layer.CreateTempLayer(2000, 300, 7), nullptr);
    ASSERT_TRUE(layer.SetValue(1.0, nullptr));
    ASSERT_TRUE(layer.StatisticCountRect(nullptr));
    EXPECT_EQ(meter.High(), 600.0);
    EXPECT_EQ(meter.Steps(), 600);
    for (int code : {3, 9}) {   // counted in one pass; complex in two
        RecordingMeter other;
        CRDPLayer more(&other);
        ASSERT_NE(more.CreateTempLayer(2000, 300, code), nullptr);
        ASSERT_TRUE(more.StatisticCountRect(nullptr));
        EXPECT_EQ(other.Steps(), 600) << code;
    }

    layer.SetValue(0, 0, 50.0);
    RecordingMeter stopping;
    stopping.StopAt(100);
    layer.SetMeterInfo(&stopping);
    try {
        layer.StatisticCountRect(nullptr);
        ADD_FAILURE() << "the cancel should pass through";
    } catch (TestCancel* e) {
        delete e;
    }
    EXPECT_EQ(layer.Max(), 1.0) << "nothing of the cancelled pass was stored";
    EXPECT_TRUE(layer.StatsReady());
}
