#include "outside/basecore/layer_statistics.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <limits>
#include <complex>
#include <cstring>
#include <numbers>
#include <optional>
#include <random>
#include <tuple>

#include "layer_test_support.h"
#include "outside/basecore/data_type.h"
#include "outside/basecore/math_helpers.h"
#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/statistics_kernels.h"
#include "platform/kernel/cpu_features.h"
#include "platform/kernel/row_bands.h"
#include "platform/gdi/region.h"
#include "tests/support/recording_meter.h"
#include "tests/support/test_environment.h"
#include "tests/support/vector_paths.h"

using namespace layertest;
using tarvenix::test::RecordingMeter;
using tarvenix::test::TempDir;

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
    // Scaled straight from the generator: large layers stay cheap to fill.
    auto u = [&] { return lo + (hi - lo) * (double(rng()) / 0x1p32); };
    std::vector<std::vector<double>> rows(static_cast<size_t>(h));
    for (auto& r : rows)
        for (int i = 0; i < w * (t.complex ? 2 : 1); ++i) {
            double v = u();
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
    // The amplitude in extended precision, rounded once: hypot as exactly as it is affordable.
    const long double a = std::sqrt(static_cast<long double>(r) * r + static_cast<long double>(i) * i);
    return {static_cast<double>(a), std::atan2(i, r), r, i};
}

/// The bin of v among `bins` bins of lo..hi as the histogram window's rule writes it:
/// floor(|v - lo| / w) with w = |hi - lo| / bins; the maximum counts in the last bin.
int RuleBin(double v, double lo, double hi, int bins)
{
    const double w = std::abs(hi - lo) / bins;
    return std::clamp(int(std::floor(std::abs(v - lo) / w)), 0, bins - 1);
}

Reference Compute(const std::vector<std::vector<double>>& rows, const SpanList& spans, bool complex)
{
    Reference ref{};
    const int comps = complex ? 4 : 1;
    // Every sample's components once, however many are asked for.
    std::vector<std::array<double, 4>> parts;
    for (const Span& s : spans)
        for (int x = s.x0; x < s.x1; ++x) parts.push_back(Parts(rows[size_t(s.y)], x, complex));
    for (int c = 0; c < comps; ++c) {
        ref.min[c] = std::numeric_limits<double>::infinity();
        ref.max[c] = -ref.min[c];
        double sum = 0;
        int n = 0;
        for (const auto& p : parts) {
            const double v = p[size_t(c)];
            ref.min[c] = std::min(ref.min[c], v);
            ref.max[c] = std::max(ref.max[c], v);
            sum += v;
            ++n;
        }
        ref.mean[c] = sum / n;
        double sq = 0;
        ref.hist[c].fill(0);
        for (const auto& p : parts) {
            const double v = p[size_t(c)];
            sq += (v - ref.mean[c]) * (v - ref.mean[c]);
            ++ref.hist[c][size_t(RuleBin(v, ref.min[c], ref.max[c], 256))];
        }
        ref.sd[c] = std::sqrt(sq / n);
        ref.count = n;
    }
    return ref;
}

void ExpectStats(double min, double max, double mean, double sd, const DWORD* hist, const Reference& ref,
                 int c)
{
    SCOPED_TRACE("component " + std::to_string(c));
    const double scale = std::max(1.0, std::abs(ref.max[c] - ref.min[c]));
    // Amplitudes may differ from the library's hypot in the last place; the rest is exact.
    const double ulps = c == 0 ? 2e-16 * std::abs(ref.max[c]) : 0.0;
    EXPECT_NEAR(min, ref.min[c], ulps);
    EXPECT_NEAR(max, ref.max[c], ulps);
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
    const int w = 301, h = 203;  // odd sizes; several bands
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
            const RECT inclusive{17, 5, 250, 190};  // right column and bottom row included
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
                ExpectStats(layer.reMin(), layer.reMax(), layer.reMean(), layer.reStdDev(), layer.reHistAdr(),
                            ref, 2);
                ExpectStats(layer.imMin(), layer.imMax(), layer.imMean(), layer.imStdDev(), layer.imHistAdr(),
                            ref, 3);
            } else {
                EXPECT_EQ(layer.reMax(), layer.Max()) << "a real layer's value is its real part";
            }
        }
    }
}

struct ManyBandsCase {
    int code, w, h, threads;
    bool rectangle;  // a rectangle inside the layer as well
    bool avx2;
};

class LayerStatisticsBands : public ::testing::TestWithParam<ManyBandsCase> {};

TEST_P(LayerStatisticsBands, LayersOfManyBandsMatchAPlainComputation)
{
    const ManyBandsCase& c = GetParam();
    platform::ScopedRowDriverThreads threads(c.threads);
    tarvenix::test::ScopedAvx2Paths paths(c.avx2);
    const bool complex = isComplexType(c.code);
    const auto rows = RandomRows(c.code, c.w, c.h, 7u + unsigned(c.code));
    CRDPLayer layer;
    ASSERT_NE(layer.CreateTempLayer(c.w, c.h, c.code), nullptr);
    for (int y = 0; y < c.h; ++y) ASSERT_TRUE(layer.SetLineFromDouble(y, rows[size_t(y)].data(), c.w));
    const RECT inclusive{5, 3, c.w - 8, c.h - 3};
    for (const bool whole : {true, false}) {
        if (!whole && !c.rectangle) continue;
        SCOPED_TRACE(whole ? "whole layer" : "rectangle");
        ASSERT_TRUE(layer.StatisticCountRect(whole ? nullptr : &inclusive));
        const SpanList spans = SpansOfRect(
            whole ? RECT{0, 0, c.w, c.h} : RECT{5, 3, inclusive.right + 1, inclusive.bottom + 1}, c.w, c.h);
        const Reference ref = Compute(rows, spans, complex);
        ExpectStats(layer.Min(), layer.Max(), layer.Mean(), layer.StdDev(), layer.HistAdr(), ref, 0);
        if (complex) {
            const void* phase = layer.GetTag(TAG_PHASE_STATISTICS);
            ExpectStats(At(phase, 8), At(phase, 16), At(phase, 32), At(phase, 24),
                        reinterpret_cast<const DWORD*>(static_cast<const char*>(phase) + 40), ref, 1);
            ExpectStats(layer.reMin(), layer.reMax(), layer.reMean(), layer.reStdDev(), layer.reHistAdr(),
                        ref, 2);
            ExpectStats(layer.imMin(), layer.imMax(), layer.imMean(), layer.imStdDev(), layer.imHistAdr(),
                        ref, 3);
        }
    }
}

// Bands of about 2^17 samples: these layers and rectangles cut into many, the last ones ending
// anywhere in a row, a vector block and a chunk of complex samples.
INSTANTIATE_TEST_SUITE_P(
    Layers, LayerStatisticsBands,
    ::testing::Values(
        ManyBandsCase{1, 2049, 1537, 8, false, true}, ManyBandsCase{6, 1024, 1024, 1, true, false},
        ManyBandsCase{7, 2049, 1537, 8, false, true}, ManyBandsCase{8, 4100, 257, 1, true, false},
        ManyBandsCase{9, 1024, 1024, 8, false, true}, ManyBandsCase{9, 1024, 1024, 8, false, false},
        ManyBandsCase{14, 131, 8870, 8, false, true}, ManyBandsCase{12, 4100, 257, 8, false, false},
        ManyBandsCase{16, 131, 8870, 1, false, true}, ManyBandsCase{10, 4100, 257, 8, true, false},
        ManyBandsCase{4, 131, 8870, 8, true, true}, ManyBandsCase{7, 4100, 257, 1, true, false}),
    [](const ::testing::TestParamInfo<ManyBandsCase>& info) {
        const ManyBandsCase& c = info.param;
        return std::string(typeInfo(c.code).name) + "_" + std::to_string(c.w) + "x" + std::to_string(c.h) +
               "_threads" + std::to_string(c.threads) + (c.rectangle ? "_rectangle" : "") +
               (c.avx2 ? "" : "_scalar");
    });

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
                        ++ref[size_t(RuleBin(v, whole.min[c], whole.max[c], bins))];
                    }
                for (int b = 0; b < bins; ++b)
                    ASSERT_EQ(counters[size_t(c * bins + b)], ref[size_t(b)])
                        << "component " << c << " bin " << b;
            }
        }
    }
}

TEST(LayerStatistics, RegionHandlesCountTheirPixelsInsideTheLayer)
{
    CRDPLayer layer;
    ASSERT_NE(layer.CreateTempLayer(10, 8, 4), nullptr);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 10; ++x) layer.SetValue(x, y, x < 5 ? 1.0 : 100.0);
    ASSERT_TRUE(layer.StatisticCountRect(nullptr));
    // Two rectangles, one reaching past the layer's right and bottom edges.
    const POINT corners[] = {{0, 0}, {3, 0}, {3, 2}, {0, 2}};
    HRGN region = CreatePolygonRgn(corners, 4, ALTERNATE);
    HRGN outer = CreateRectRgn(8, 6, 14, 12);
    ASSERT_NE(CombineRgn(region, region, outer, RGN_OR), ERROR);
    DWORD counters[2] = {};
    EXPECT_EQ(layer.CalcHistRgn(region, 2, counters, sizeof counters), 6 + 4);
    EXPECT_EQ(counters[0], 6u) << "the value 1 of the left rectangle";
    EXPECT_EQ(counters[1], 4u) << "the value 100 inside the layer only";
    DeleteObject(region);
    DeleteObject(outer);
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
    for (int code : {3, 9}) {  // counted in one pass; complex in two
        RecordingMeter other;
        CRDPLayer more(&other);
        ASSERT_NE(more.CreateTempLayer(2000, 300, code), nullptr);
        ASSERT_TRUE(more.StatisticCountRect(nullptr));
        EXPECT_EQ(other.Steps(), 600) << code;
    }

    layer.SetValue(0, 0, 50.0);
    RecordingMeter stopping;
    stopping.StopAtReport(100);
    layer.SetMeterInfo(&stopping);
    try {
        layer.StatisticCountRect(nullptr);
        ADD_FAILURE() << "the cancel should pass through";
    } catch (CRDPExcept* e) {
        EXPECT_EQ(e->GetCode(), RDP_ERROR_CANCEL);
        e->Delete();
    }
    EXPECT_EQ(layer.Max(), 1.0) << "nothing of the cancelled pass was stored";
    EXPECT_TRUE(layer.StatsReady());
}

TEST(LayerStatistics, HistogramBinsFollowTheDivisionRuleAtEveryEdge)
{
    // The product with bins / range puts 29.999999999999996 of 0..1000 in bin 3; the rule's
    // quotient by the width 10 is 2.9999999999999996, bin 2.
    std::vector<double> values = {0.0, 1000.0, 29.999999999999996, 30.0, 7.0, 999.9999999999999};
    for (int k = 1; k < 100; ++k) {  // every edge, and the doubles on either side of it
        const double edge = k * 10.0;
        values.insert(values.end(), {std::nextafter(edge, 0.0), edge, std::nextafter(edge, 2000.0)});
    }
    for (const int code : {8, 7}) {
        SCOPED_TRACE(typeInfo(code).name);
        const int w = int(values.size());
        CRDPLayer layer;
        ASSERT_NE(layer.CreateTempLayer(w, 1, code), nullptr);
        ASSERT_TRUE(layer.SetLineFromDouble(0, values.data(), w));
        ASSERT_TRUE(layer.StatisticCountRect(nullptr));
        ASSERT_EQ(layer.Min(), 0.0);
        ASSERT_EQ(layer.Max(), 1000.0);
        for (const int bins : {100, 256, 7, 1000}) {
            SCOPED_TRACE(bins);
            std::vector<DWORD> counters(static_cast<size_t>(bins));
            ASSERT_EQ(layer.CalcHist(nullptr, bins, counters.data(), bins * 4), w);
            std::vector<DWORD> want(static_cast<size_t>(bins));
            for (int x = 0; x < w; ++x) ++want[size_t(RuleBin(layer.GetValue(x, 0), 0.0, 1000.0, bins))];
            EXPECT_EQ(counters, want);
            if (bins == 256) {
                EXPECT_TRUE(std::equal(want.begin(), want.end(), layer.HistAdr()))
                    << "the statistics' histogram";
            }
            if (bins == 100 && code == 8) {
                EXPECT_EQ(BinOf(29.999999999999996, 0.0, 1000.0, 100), 2);
            }
        }
    }
}

TEST(LayerStatistics, RealAndImaginaryStatisticsAreKeyFourOnceComputed)
{
    // A file with no statistics blocks at all, as another writer may leave it.
    TempDir dir;
    const std::string path = dir.File("bare.rdp");
    const float parts[8] = {1, -2, 3, 4, -5, 6, 7, -8};
    Bytes samples(sizeof parts);
    std::memcpy(samples.data(), parts, sizeof parts);
    WriteFile(path, Fixture(2, 4, 1, 9, samples).bytes);
    for (const int mode : {kOpenReadOnly, kOpenWritable}) {
        SCOPED_TRACE(mode);
        CRDPLayer layer;
        ASSERT_NE(layer.OpenLayer(path.c_str(), mode), nullptr);
        ASSERT_TRUE(layer.StatisticCountRect(nullptr));
        const void* both = layer.GetTag(TAG_PART_STATISTICS);
        ASSERT_NE(both, nullptr);
        EXPECT_EQ(layer.GetSizeTag(TAG_PART_STATISTICS), 2 * 1064);
        EXPECT_EQ(At(both, 8), -5.0) << "real minimum";
        EXPECT_EQ(At(both, 16), 7.0) << "real maximum";
        EXPECT_EQ(At(both, 32), 1.5) << "real mean";
        EXPECT_EQ(At(both, 1064 + 8), -8.0) << "imaginary minimum";
        EXPECT_EQ(At(both, 1064 + 16), 6.0) << "imaginary maximum";
        EXPECT_EQ(At(both, 1064 + 32), 0.0) << "imaginary mean";
        std::vector<BYTE> copy(2 * 1064);
        EXPECT_NE(layer.GetTag(TAG_PART_STATISTICS, int(copy.size()), copy.data()), nullptr);
        EXPECT_EQ(At(copy.data(), 16), layer.reMax());
        EXPECT_EQ(At(copy.data(), 1064 + 16), layer.imMax());
        ASSERT_TRUE(layer.CloseLayer());
    }
    CRDPLayer again;  // the writable pass stored them
    ASSERT_NE(again.OpenLayer(path.c_str(), kOpenReadOnly), nullptr);
    ASSERT_NE(again.GetTag(TAG_PART_STATISTICS), nullptr);
    EXPECT_EQ(again.reMax(), 7.0);
}

TEST(LayerStatistics, InfiniteSamplesGiveTheSameMomentsOnEveryPath)
{
    constexpr double inf = std::numeric_limits<double>::infinity();
    struct Case {
        const char* name;
        int code;
        std::vector<double> row;  // parts of one row
        int component;            // checked component (complex: 0 amplitude, 2 real)
        double mean;              // NaN: both infinities
    };
    const std::vector<Case> cases = {
        {"F64 +inf", 8, {1, 2, inf, 4, 5, 6}, 0, inf},
        {"F32 -inf first", 7, {-inf, 2, 3, 4, 5, 6}, 0, -inf},
        {"F64 both", 8, {1, -inf, 3, inf, 5, 6}, 0, std::nan("")},
        {"C128 real +inf", 10, {1, 1, inf, 0, 3, 1}, 2, inf},
        {"C64 amplitude", 9, {1, 1, 2, -inf, 3, 1}, 0, inf},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const bool complex = isComplexType(c.code);
        const int w = int(c.row.size()) / (complex ? 2 : 1);
        CRDPLayer layer;
        ASSERT_NE(layer.CreateTempLayer(w, 3, c.code), nullptr);
        for (int y = 0; y < 3; ++y) ASSERT_TRUE(layer.SetLineFromDouble(y, c.row.data(), w));
        auto moments = [&] {
            const void* block =
                c.component == 0 ? layer.GetTag(TAG_STATISTICS) : layer.GetTag(TAG_PART_STATISTICS);
            return std::pair{At(block, 32), At(block, 24)};
        };
        ASSERT_TRUE(layer.StatisticCountRect(nullptr));
        const auto once = moments();
        ASSERT_TRUE(layer.MaxMinCount(nullptr));
        ASSERT_TRUE(layer.StatsCalc(nullptr));
        const auto twice = moments();
        for (const auto& [mean, sd] : {once, twice}) {
            if (std::isnan(c.mean))
                EXPECT_TRUE(std::isnan(mean)) << mean;
            else
                EXPECT_EQ(mean, c.mean);
            EXPECT_EQ(sd, inf);
        }
        if (complex) {  // the finite components keep finite moments
            EXPECT_TRUE(std::isfinite(At(layer.GetTag(TAG_PHASE_STATISTICS), 32)));
        }
    }
}

TEST(LayerStatistics, MeansOfThirtyTwoBitIntegersNearTheirLimitsAreExact)
{
    // Values a few units below the largest S32 (and U32) over several bands: the exact mean
    // and deviation from integer sums, against the layer's on both paths.
    const int w = 701, h = 500;
    for (const auto& [code, top] : {std::pair{6, 2147483647.0}, std::pair{5, 4294967295.0}}) {
        SCOPED_TRACE(typeInfo(code).name);
        CRDPLayer layer;
        ASSERT_NE(layer.CreateTempLayer(w, h, code), nullptr);
        std::mt19937 rng(5);
        __int128 sum = 0;
        std::vector<std::int64_t> values;
        std::vector<double> row(static_cast<size_t>(w));
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                row[size_t(x)] = top - double(rng() % 7);
                values.push_back(std::int64_t(row[size_t(x)]));
                sum += values.back();
            }
            ASSERT_TRUE(layer.SetLineFromDouble(y, row.data(), w));
        }
        const long double n = values.size();
        const long double exactMean = static_cast<long double>(sum) / n;
        long double m2 = 0;
        for (std::int64_t v : values) m2 += (v - exactMean) * (v - exactMean);
        const double exactSd = double(std::sqrt(m2 / n));
        const double ulp = std::nextafter(top, 0.0) - top;  // a unit in the last place near the top
        for (const bool split : {false, true}) {
            SCOPED_TRACE(split ? "MaxMinCount and StatsCalc" : "StatisticCountRect");
            if (split) {
                ASSERT_TRUE(layer.MaxMinCount(nullptr));
                ASSERT_TRUE(layer.StatsCalc(nullptr));
            } else {
                ASSERT_TRUE(layer.StatisticCountRect(nullptr));
            }
            EXPECT_NEAR(layer.Mean(), double(exactMean), 2 * std::abs(ulp));
            EXPECT_NEAR(layer.StdDev(), exactSd, 1e-9 * exactSd);
        }
    }
}

TEST(LayerStatistics, AmplitudesNeverOverflowOrUnderflow)
{
    const double big = 1.797e308, tiny = 3e-300;
    const double row[8] = {big, 0.0, 0.0, -big, tiny, tiny, 3.0, 4.0};
    CRDPLayer layer;
    ASSERT_NE(layer.CreateTempLayer(4, 1, 10), nullptr);
    ASSERT_TRUE(layer.SetLineFromDouble(0, row, 4));
    EXPECT_EQ(layer.GetValue(0, 0, kAmplitude), big);
    EXPECT_EQ(layer.GetValue(2, 0, kAmplitude), std::hypot(tiny, tiny));
    ASSERT_TRUE(layer.StatisticCountRect(nullptr));
    EXPECT_EQ(layer.Max(), big);
    EXPECT_EQ(layer.Min(), std::hypot(tiny, tiny));
    // Amplitude against the library's hypot where the squares would overflow or underflow.
    for (const auto& [re, im] :
         std::vector<std::pair<double, double>>{{big, 0},
                                                {-big, big},
                                                {tiny, 0},
                                                {0x1p-1074, 0},
                                                {1e-160, 1e-160},
                                                {1e200, 1e-200},
                                                {0, -0.0},
                                                {3, 4},
                                                {std::numeric_limits<double>::infinity(), -2.0}}) {
        EXPECT_EQ(Amplitude(re, im), std::hypot(re, im)) << re << " " << im;
    }
    EXPECT_TRUE(std::isnan(Amplitude(std::numeric_limits<double>::infinity(), std::nan(""))))
        << "a NaN part leaves no amplitude, as it leaves no phase";
}

TEST(LayerStatistics, FastPhasesStayWithinTheirBoundOfAtan2)
{
    using namespace statistics_detail;
    constexpr double inf = std::numeric_limits<double>::infinity();
    std::vector<std::pair<double, double>> parts;
    const double specials[] = {0.0, -0.0, 1.0, -1.0, inf, -inf, 1e-310, -1e300, 0x1p1023, 3.5};
    for (double r : specials)
        for (double i : specials) parts.push_back({r, i});
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> angle(-4.0, 4.0), scale(-300, 300);
    for (int k = 0; k < 20000; ++k) {
        const double a = angle(rng), m = std::pow(10.0, scale(rng) / 10);
        parts.push_back({m * std::cos(a), m * std::sin(a)});
    }
    parts.push_back({std::nan(""), 1.0});
    for (const bool coarse : {false, true})
        for (size_t at = 0; at < parts.size(); at += kChunk) {
            SCOPED_TRACE(coarse ? "coarse" : "fine");
            ComplexChunk c;
            c.n = int(std::min<size_t>(kChunk, parts.size() - at));
            for (int k = 0; k < c.n; ++k) std::tie(c.re[k], c.im[k]) = parts[at + size_t(k)];
            AmplitudesAndPhases(c, coarse);
            for (int k = 0; k < c.n; ++k) {
                const auto [r, i] = parts[at + size_t(k)];
                SCOPED_TRACE(std::to_string(r) + " " + std::to_string(i));
                if (std::isnan(r)) {
                    EXPECT_TRUE(std::isnan(c.phase[k]) && std::isnan(c.amp[k]) && std::isnan(c.im[k]));
                    continue;
                }
                const double exact = std::atan2(i, r);
                if (r == 0 || i == 0 || !std::isfinite(r) || !std::isfinite(i)) {
                    EXPECT_EQ(std::signbit(c.phase[k]), std::signbit(exact));
                    EXPECT_EQ(c.phase[k], exact);
                } else {
                    EXPECT_LE(std::abs(c.phase[k] - exact), coarse ? kCoarsePhaseError : kPhaseError);
                }
                EXPECT_EQ(c.amp[k], Amplitude(r, i));
            }
        }
}

TEST(LayerStatistics, SinglePrecisionChunksLoadAsTheCarefulLoadDoes)
{
    using namespace statistics_detail;
    using C = std::complex<float>;
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> part(-1e3f, 1e3f);
    std::vector<C> p(kChunk);
    for (C& v : p) v = {part(rng), part(rng)};
    p[5] = {1e-45f, -3e38f};  // the smallest and nearly the largest parts
    p[6] = {-2.5f, 1e-38f};
    struct Case {
        const char* name;
        int n;
        std::optional<C> special;  // at sample 37
        bool vector;
    };
    const Case cases[] = {
        {"whole chunk", kChunk, {}, true},
        {"not a multiple of eight", 8 * 5 + 3, {}, false},
        {"a zero part", kChunk, C{0.0f, 1.0f}, false},
        {"a NaN part", kChunk, C{1.0f, std::nanf("")}, false},
        {"an infinite part", kChunk, C{-std::numeric_limits<float>::infinity(), 1.0f}, false},
    };
    for (const Case& t : cases) {
        SCOPED_TRACE(t.name);
        std::vector<C> q = p;
        if (t.special) q[37] = *t.special;
        ComplexChunk fast, careful;
        ASSERT_EQ(LoadFloatChunk(q.data(), t.n, fast), t.vector && platform::UseAvx2());
        if (!t.vector || !platform::UseAvx2()) continue;
        LoadChunk(q.data(), t.n, careful);
        EXPECT_EQ(fast.n, careful.n);
        for (const auto member :
             {&ComplexChunk::re, &ComplexChunk::im, &ComplexChunk::amp, &ComplexChunk::phase}) {
            EXPECT_EQ(std::memcmp(fast.*member, careful.*member, sizeof(double) * size_t(t.n)), 0);
            // Such a chunk holds no NaN, and is summed without masks: to the same bits.
            double got[4] = {-1.0, 1.0, 0.5, 0.25}, want[4] = {-1.0, 1.0, 0.5, 0.25};
            std::uint64_t gotN = 3, wantN = 3;
            FloatRun(fast.*member, t.n, 0.75, got[0], got[1], got[2], got[3], gotN, true);
            FloatRun(fast.*member, t.n, 0.75, want[0], want[1], want[2], want[3], wantN, false);
            EXPECT_EQ(std::memcmp(got, want, sizeof got), 0);
            EXPECT_EQ(gotN, wantN);
        }
    }
}

TEST(LayerStatistics, SinglePrecisionPassBinsComplexChunksExactly)
{
    using namespace statistics_detail;
    using C = std::complex<float>;
    constexpr float inf = std::numeric_limits<float>::infinity();
    // The real parts' bins are 10 wide and the imaginary parts' 7.8125, so samples on their
    // edges and one float beside them must be binned from their exact values.
    const BinRule rules[4] = {
        {0.0, 1414.3, 256}, {-3.14159, 3.14159, 256}, {-1000.0, 1000.0, 200}, {-1000.0, 1000.0, 256}};
    FloatBinParams params[4];
    for (int j = 0; j < 4; ++j)
        ASSERT_TRUE(FloatBinsFor(rules[j], j == 1 ? kCoarsePhaseError : 0.0, 256, &params[j]));
    struct Case {
        const char* name;
        int n;
        int kind;                  // 0 random, 1 parts on and beside edges, 2 amplitudes and phases on edges
        std::optional<C> special;  // at sample 37
        bool vector;               // the vector pass applies (where the machine has AVX2)
    };
    const Case cases[] = {
        {"random", kChunk, 0, {}, true},
        {"parts on and beside edges", kChunk, 1, {}, true},
        {"amplitudes and phases on and beside edges", kChunk, 2, {}, true},
        {"short", 8 * 5, 0, {}, true},
        {"not a multiple of eight", 8 * 5 + 3, 0, {}, false},
        {"a zero", kChunk, 0, C{0.0f, 0.0f}, false},
        {"a NaN", kChunk, 0, C{std::nanf(""), 1.0f}, false},
        {"an infinity", kChunk, 0, C{inf, 1.0f}, false},
        {"a tiny part", kChunk, 0, C{1e-20f, 1.0f}, false},
        {"a huge part", kChunk, 0, C{1e20f, 1.0f}, false},
    };
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> part(-1000.0f, 1000.0f);
    for (int round = 0; round < 40; ++round)
        for (const Case& t : cases) {
            SCOPED_TRACE(t.name);
            std::vector<C> p(kChunk);
            for (int k = 0; k < kChunk; ++k) {
                const float edge = -1000.0f + 7.8125f * float(k % 128);  // no zero part: that is special
                const int side = int(rng() % 3) - 1;                     // below, on or above the edge
                auto beside = [&](float v) {
                    return side == 0 ? v : std::nextafter(v, side < 0 ? -inf : inf);
                };
                if (t.kind == 1) {
                    p[size_t(k)] = {beside(float(10 * (k % 100) + 10)), beside(edge)};
                } else if (t.kind == 2) {
                    // The float nearest an amplitude edge, at the angle of a phase edge (an odd
                    // one: the middle edge is the angle 0, where a part would be zero).
                    const double a = rules[0].Lo() + rules[0].Width() * double(1 + k % 255);
                    const double g = rules[1].Lo() + rules[1].Width() * double(1 + 2 * (rng() % 127));
                    p[size_t(k)] = {beside(float(a * std::cos(g))), beside(float(a * std::sin(g)))};
                } else {
                    p[size_t(k)] = {part(rng), part(rng)};
                }
            }
            if (t.special) p[37] = *t.special;
            int bins[4][kChunk];
            const bool vector = ExactBinsOfChunk(p.data(), t.n, params, rules, bins);
            ASSERT_EQ(vector, t.vector && platform::UseAvx2());
            if (!vector) continue;
            for (int k = 0; k < t.n; ++k) {
                const double r = p[size_t(k)].real(), i = p[size_t(k)].imag();
                const int want[4] = {rules[0](Amplitude(r, i)), rules[1](std::atan2(i, r)), rules[2](r),
                                     rules[3](i)};
                for (int j = 0; j < 4; ++j)
                    ASSERT_EQ(bins[j][k], want[j]) << "component " << j << " of sample " << r << " " << i;
            }
        }
    // Ranges single precision cannot bin within a margin are left to the careful pass.
    FloatBinParams unused;
    EXPECT_FALSE(FloatBinsFor(BinRule(1.0, 1.0, 256), 0.0, 256, &unused));
    EXPECT_FALSE(FloatBinsFor(BinRule(1e30, 1e30 * (1 + 1e-12), 256), 0.0, 256, &unused));
    EXPECT_FALSE(FloatBinsFor(BinRule(0.0, 1e-40, 256), 0.0, 256, &unused));
}

TEST(LayerStatistics, SinglePrecisionSamplesAreBinnedByTheDivisionRule)
{
    using namespace statistics_detail;
    constexpr float inf = std::numeric_limits<float>::infinity();
    struct Range {
        double lo, hi;
        int bins;
    };
    // Wide and narrow ranges, far from zero, and one too far for single precision's margin.
    const Range ranges[] = {{0.0, 1000.0, 256},    {-1000.0, 1000.0, 256}, {-3.5, 1e6, 100},
                            {-1e-30, 3e-30, 7},    {1000.0, 1001.0, 256},  {-1e30, 1e30, 1000},
                            {999.5, 1000.25, 256}, {5.0, 5.0, 256}};
    std::mt19937 rng(9);
    for (const Range& range : ranges) {
        SCOPED_TRACE(std::to_string(range.lo) + " .. " + std::to_string(range.hi));
        const BinRule rule(range.lo, range.hi, range.bins);
        std::vector<float> v;
        const double width = (range.hi - range.lo) / range.bins;
        for (int b = 0; b <= range.bins; ++b) {  // every edge and the floats on either side
            const float edge = float(range.lo + width * b);
            v.insert(v.end(), {std::nextafter(edge, -inf), edge, std::nextafter(edge, inf)});
        }
        std::uniform_real_distribution<double> inside(range.lo, range.hi);
        for (int k = 0; k < 500; ++k) v.push_back(float(inside(rng)));
        v.insert(v.end(), {std::nanf(""), inf, -inf, 0.0f, -0.0f, 1e-42f, float(range.hi) * 4 + 1,
                           float(range.lo) * 4 - 1});
        std::shuffle(v.begin(), v.end(), rng);
        for (const bool avx2 : {true, false}) {
            tarvenix::test::ScopedAvx2Paths paths(avx2);
            for (const int n : {int(v.size()), 203, 8, 3}) {  // blocks of eight and tails
                std::vector<int> got(static_cast<size_t>(n));
                RealBinsOf(v.data(), n, rule, range.bins, got.data());
                for (int k = 0; k < n; ++k) {
                    const float x = v[size_t(k)];
                    ASSERT_EQ(got[size_t(k)], x == x ? rule(double(x)) : range.bins)
                        << "sample " << x << (avx2 ? "" : " (scalar)");
                }
            }
        }
    }
}

namespace {

/// Parts of one row of `code`: random in -1000..1000, and with `specials` about one part in
/// fifty is a zero of either sign, a NaN, an infinity, a subnormal or a tiny or huge value.
std::vector<double> WideRow(int code, int w, std::mt19937& rng, bool specials)
{
    const TypeInfo& t = typeInfo(code);
    constexpr double inf = std::numeric_limits<double>::infinity();
    const bool single = t.partBytes == 4;
    const double odd[] = {0.0,
                          -0.0,
                          std::nan(""),
                          inf,
                          -inf,
                          single ? 1e-42 : 1e-310,
                          single ? 1e-30 : 1e-200,
                          single ? -3e38 : -1e300,
                          0x1p-61,
                          0x1p61};
    std::uniform_real_distribution<double> part(-1000.0, 1000.0);
    std::vector<double> row(size_t(w) * (t.complex ? 2 : 1));
    for (double& v : row) {
        v = part(rng);
        if (specials && rng() % 50 == 0) v = odd[rng() % std::size(odd)];
        if (!t.floating) v = std::floor(v);
    }
    return row;
}

/// Every value the statistics compute over `spans`, as bytes: the one-pass statistics with
/// their extremes, the extremes and moments of the two-call path, and histograms of two
/// bin counts.
std::vector<unsigned char> StatisticsBytes(const SampleRows& src, const SpanList& spans)
{
    std::vector<unsigned char> out;
    auto add = [&](const void* p, size_t n) {
        out.insert(out.end(), static_cast<const unsigned char*>(p), static_cast<const unsigned char*>(p) + n);
    };
    MinMaxResult range;
    const auto stats = ComputeStatistics(src, spans, &range);
    add(stats.data(), sizeof stats);
    add(&range, sizeof range);
    const MinMaxResult extremes = ComputeMinMax(src, spans);
    add(&extremes, sizeof extremes);
    const auto moments = ComputeMoments(src, spans, extremes);
    add(moments.data(), sizeof moments);
    for (const int bins : {256, 1000}) {
        std::vector<DWORD> counters(size_t(4 * bins));
        const std::uint64_t n = ComputeHistogram(src, spans, range, bins, counters.data());
        add(&n, sizeof n);
        add(counters.data(), counters.size() * sizeof(DWORD));
    }
    return out;
}

struct WidePathCase {
    int code, w, h, threads;
    bool specials;
};

class LayerStatisticsWidePaths : public ::testing::TestWithParam<WidePathCase> {};

}  // namespace

// The AVX-512 paths (sums, bins, amplitudes and phases) against the AVX2 paths: the same
// statistics to the bit, over the whole layer, a rectangle and a ragged region, on layers cut
// into many bands whose last ones end anywhere in a row, a vector and a chunk.
TEST_P(LayerStatisticsWidePaths, GiveTheAvx2PathsStatisticsToTheBit)
{
    const WidePathCase& c = GetParam();
    {
        tarvenix::test::ScopedAvx512Paths on(true);
        if (!platform::UseAvx512()) GTEST_SKIP() << "the processor has no AVX-512";
    }
    platform::ScopedRowDriverThreads threads(c.threads);
    CRDPLayer layer;
    ASSERT_NE(layer.CreateTempLayer(c.w, c.h, c.code), nullptr);
    std::mt19937 rng(unsigned(c.code * 31 + c.w));
    for (int y = 0; y < c.h; ++y)
        ASSERT_TRUE(layer.SetLineFromDouble(y, WideRow(c.code, c.w, rng, c.specials).data(), c.w));
    std::vector<const void*> rows(size_t(c.h));
    for (int y = 0; y < c.h; ++y) rows[size_t(y)] = layer.GetRows()[y];
    const SampleRows src{rows.data(), c.w, c.h, c.code};
    SpanList ragged;
    for (int y = 0; y < c.h; ++y) {
        const int x0 = (y * 37) % c.w;
        ragged.push_back({y, x0, std::min(c.w, x0 + 1 + (y * 101) % c.w)});
    }
    const SpanList regions[] = {SpansOfRect(RECT{0, 0, c.w, c.h}, c.w, c.h),
                                SpansOfRect(RECT{3, 1, c.w - 5, c.h - 2}, c.w, c.h), ragged};
    for (const SpanList& spans : regions) {
        SCOPED_TRACE(&spans - regions);
        std::vector<unsigned char> wide, avx2;
        {
            tarvenix::test::ScopedAvx512Paths on(true);
            wide = StatisticsBytes(src, spans);
        }
        {
            tarvenix::test::ScopedAvx512Paths off(false);
            avx2 = StatisticsBytes(src, spans);
        }
        ASSERT_EQ(wide.size(), avx2.size());
        EXPECT_TRUE(wide == avx2) << "the first differing byte is "
                                  << std::mismatch(wide.begin(), wide.end(), avx2.begin()).first -
                                         wide.begin();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Layers, LayerStatisticsWidePaths,
    ::testing::Values(WidePathCase{7, 2049, 1537, 8, false}, WidePathCase{7, 1024, 1024, 1, true},
                      WidePathCase{7, 131, 8870, 8, true}, WidePathCase{8, 4100, 257, 8, true},
                      WidePathCase{8, 1024, 1024, 1, false}, WidePathCase{9, 1024, 1024, 8, false},
                      WidePathCase{9, 2049, 1537, 1, true}, WidePathCase{9, 4100, 257, 8, true},
                      WidePathCase{10, 131, 8870, 8, true}, WidePathCase{16, 1024, 1024, 8, true}),
    [](const ::testing::TestParamInfo<WidePathCase>& info) {
        const WidePathCase& c = info.param;
        return std::string(typeInfo(c.code).name) + "_" + std::to_string(c.w) + "x" + std::to_string(c.h) +
               "_threads" + std::to_string(c.threads) + (c.specials ? "_specials" : "");
    });

// The chunk kernels alone, on every length a run can leave (tails of the eight- and
// sixteen-sample vectors) and on parts that take every careful branch: the AVX-512 and the
// AVX2 results are the same bytes.
TEST(LayerStatistics, WideChunkKernelsGiveTheAvx2KernelsResultsToTheBit)
{
    using namespace statistics_detail;
    using C = std::complex<float>;
    {
        tarvenix::test::ScopedAvx512Paths on(true);
        if (!platform::UseAvx512()) GTEST_SKIP() << "the processor has no AVX-512";
    }
    constexpr float inf = std::numeric_limits<float>::infinity();
    std::mt19937 rng(13);
    std::uniform_real_distribution<float> part(-1000.0f, 1000.0f);
    std::uniform_int_distribution<std::uint64_t> bits;
    const BinRule rules[4] = {
        {0.0, 1414.3, 256}, {-3.14159, 3.14159, 256}, {-999.7, 1000.0, 256}, {-1000.0, 998.0, 256}};
    FloatBinParams params[4];
    for (int j = 0; j < 4; ++j)
        ASSERT_TRUE(FloatBinsFor(rules[j], j == 1 ? kCoarsePhaseError : 0.0, 256, &params[j]));
    const float odd[] = {0.0f, -0.0f, std::nanf(""), inf, -inf, 1e-42f, 1e-30f, -3e38f, 0x1p-61f, 0x1p61f};
    for (int round = 0; round < 300; ++round) {
        const int n = round < 40 ? round % 20 + 1 : round % 3 == 0 ? kChunk : kChunk - 8 * (round % 5);
        const int kind = round % 4;  // plain, a special part, any float bits, any double bits
        SCOPED_TRACE("length " + std::to_string(n) + ", kind " + std::to_string(kind));
        std::vector<C> p(static_cast<size_t>(n));
        std::vector<double> re(static_cast<size_t>(n)), im(static_cast<size_t>(n));
        for (int k = 0; k < n; ++k) {
            p[size_t(k)] = {part(rng), part(rng)};
            if (kind == 2) {
                const auto b = bits(rng);
                p[size_t(k)] = {std::bit_cast<float>(std::uint32_t(b)),
                                std::bit_cast<float>(std::uint32_t(b >> 32))};
            }
            re[size_t(k)] = p[size_t(k)].real();
            im[size_t(k)] = p[size_t(k)].imag();
            if (kind == 3) {
                re[size_t(k)] = std::bit_cast<double>(bits(rng));
                im[size_t(k)] = std::bit_cast<double>(bits(rng));
            }
        }
        if (kind == 1) p[size_t(rng() % unsigned(n))] = {odd[rng() % std::size(odd)], part(rng)};
        struct Results {
            bool loaded = false, binned = false;
            ComplexChunk floats, doubles;
            int bins[4][kChunk] = {};
            double sums[4][4] = {};  // extremes and sums of the four components
            std::uint64_t counts[4] = {};
            std::vector<int> realBins;  // of the parts as single precision samples
            double single[4] = {};      // their extremes and sums
            std::uint64_t singleCount = 0;
        };
        auto run = [&] {
            Results r;
            r.loaded = LoadFloatChunk(p.data(), n, r.floats);
            r.binned = ExactBinsOfChunk(p.data(), n, params, rules, r.bins);
            r.doubles.n = n;
            std::copy(re.begin(), re.end(), r.doubles.re);
            std::copy(im.begin(), im.end(), r.doubles.im);
            AmplitudesAndPhases(r.doubles);
            // The components' sums with masks, and without them where the loaded chunk has no NaN.
            const bool unmasked = r.loaded;
            const ComplexChunk& summed = unmasked ? r.floats : r.doubles;
            const double* comp[4] = {summed.amp, summed.phase, summed.re, summed.im};
            const double shift[4] = {1.5, -0.25, 3.0, 0.0};
            for (int j = 0; j < 4; ++j) {
                double* s = r.sums[j];
                s[0] = 2.0 - j;
                s[1] = -5.0;
                FloatRun(comp[j], n, shift[j], s[0], s[1], s[2], s[3], r.counts[j], unmasked);
            }
            std::vector<float> values(size_t(2 * n));
            std::memcpy(values.data(), p.data(), values.size() * sizeof(float));
            r.realBins.resize(values.size());
            RealBinsOf(values.data(), int(values.size()), rules[2], 256, r.realBins.data());
            r.single[0] = 7.0;
            r.single[1] = -7.0;
            r.single[2] = 0.5;
            FloatRun(values.data(), int(values.size()), -3.0, r.single[0], r.single[1], r.single[2],
                     r.single[3], r.singleCount);
            return r;
        };
        Results wide, avx2;
        {
            tarvenix::test::ScopedAvx512Paths on(true);
            wide = run();
        }
        {
            tarvenix::test::ScopedAvx512Paths off(false);
            avx2 = run();
        }
        ASSERT_EQ(wide.loaded, avx2.loaded);
        for (const auto chunk : {&Results::floats, &Results::doubles}) {
            if (chunk == &Results::floats && !wide.loaded) continue;
            for (const auto member :
                 {&ComplexChunk::re, &ComplexChunk::im, &ComplexChunk::amp, &ComplexChunk::phase})
                ASSERT_EQ(
                    std::memcmp((wide.*chunk).*member, (avx2.*chunk).*member, sizeof(double) * size_t(n)), 0);
        }
        ASSERT_EQ(wide.binned, avx2.binned);
        if (wide.binned) {
            for (int j = 0; j < 4; ++j)
                ASSERT_EQ(std::memcmp(wide.bins[j], avx2.bins[j], sizeof(int) * size_t(n)), 0)
                    << "component " << j;
        }
        ASSERT_EQ(std::memcmp(wide.sums, avx2.sums, sizeof wide.sums), 0);
        ASSERT_EQ(std::memcmp(wide.counts, avx2.counts, sizeof wide.counts), 0);
        ASSERT_EQ(wide.realBins, avx2.realBins);
        ASSERT_EQ(std::memcmp(wide.single, avx2.single, sizeof wide.single), 0);
        ASSERT_EQ(wide.singleCount, avx2.singleCount);
    }
}
