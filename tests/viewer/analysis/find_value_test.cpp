#include <complex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/recognize_complex.h"
#include "tests/support/test_environment.h"
#include "viewer/analysis/find_value.h"

namespace {

/// A w x h layer of `type` with the given real values in row order (and imaginary ones for complex types).
struct Layer {
    tarvenix::test::TempDir dir;
    CRDPLayer layer;
    Layer(int type, int w, int h, const std::vector<double>& re, const std::vector<double>& im = {})
    {
        const std::string path = dir.File("l.rdp");
        CRDPLayer make;
        make.CreateLayer(path.c_str(), w, h, type);
        for (int i = 0; i < w * h; ++i) {
            make.SetValue(i % w, i / w, re[std::size_t(i)], kReal);
            if (!im.empty()) make.SetValue(i % w, i / w, im[std::size_t(i)], kImaginary);
        }
        make.CloseLayer();
        layer.OpenLayer(path.c_str(), 0);
    }
};

}  // namespace

TEST(FindValue, DigitsMultiplier)
{
    const struct {
        const char* text;
        double m;
    } kCases[] = {{"1.25", 100},   {"3", 1},     {"0.50", 100},
                  {"0.001", 1000}, {"0.000", 1}, {"1.5e-3", 10},
                  {"2.25 ", 100},  {"7.", 1},    {"1.12345678901234567890", 1e15}};
    for (const auto& c : kCases) EXPECT_DOUBLE_EQ(DigitsMultiplier(c.text), c.m) << c.text;
}

TEST(FindValue, ApproximateMatchesToTheTypedDecimals)
{
    Layer l(8, 9, 1, {1.246, 1.254, 1.256, 2.6, 0.5, 4.0, -1.254, -1.246, -2.5});  // F64
    const struct {
        const char* text;
        int approximate;
        std::vector<int> hits;
    } kCases[] = {{"1.25", 1, {0, 1}}, {"1.25", 0, {}},      {"3", 1, {3}},  {"4", 0, {5}},
                  {"0.50", 1, {4}},    {"-1.25", 1, {6, 7}}, {"-3", 1, {8}}, {"-2", 1, {}}};
    for (const auto& c : kCases) {
        std::vector<int> hits;
        CPoint cell(-1, 0);
        while (FindValueInLayer(c.text, 0, c.approximate, &l.layer, 2, &cell)) hits.push_back(cell.x);
        EXPECT_EQ(hits, c.hits) << c.text << " approximate " << c.approximate;
    }
}

TEST(FindValue, RepeatedFindNextWalksBothWaysAndStopsAtTheEnds)
{
    Layer l(4, 3, 3, {7, 1, 7, 0, 7, 0, 7, 0, 0});  // S16
    CPoint cell(0, 0);
    std::vector<CPoint> forward;
    while (FindValueInLayer("7", 0, 0, &l.layer, 2, &cell)) forward.push_back(cell);
    EXPECT_EQ(forward, (std::vector<CPoint>{{2, 0}, {1, 1}, {0, 2}}));  // the start pixel is no hit
    EXPECT_EQ(cell, CPoint(0, 2));  // a scan without a hit leaves the cell where it began

    cell = CPoint(2, 2);
    std::vector<CPoint> backward;
    while (FindValueInLayer("7", 1, 0, &l.layer, 2, &cell)) backward.push_back(cell);
    EXPECT_EQ(backward, (std::vector<CPoint>{{0, 2}, {1, 1}, {2, 0}, {0, 0}}));

    cell = CPoint(2, 2);
    EXPECT_EQ(FindValueInLayer("7", 0, 0, &l.layer, 2, &cell), 0);  // from the last pixel
    cell = CPoint(0, 0);
    EXPECT_EQ(FindValueInLayer("7", 1, 0, &l.layer, 2, &cell), 0);  // backward from the first
    EXPECT_EQ(FindValueInLayer("7", 0, 0, nullptr, 2, &cell), 0);   // no layer: nothing happens
}

TEST(FindValue, ComplexLayersMatchBothPartsInComponentFour)
{
    Layer l(9, 4, 1, {2, 2, 3, 2.04}, {3, 4, 2, 2.96});  // C64
    const struct {
        const char* text;
        int component, approximate;
        std::vector<int> hits;
    } kCases[] = {{"2+3i", 4, 0, {0}}, {"(2, 3)", 4, 0, {0}}, {"2.0+3.0i", 4, 1, {0, 3}},
                  {"2", 2, 0, {0, 1}}, {"3", 3, 0, {0}},      {"5", 0, 0, {}}};
    for (const auto& c : kCases) {
        std::vector<int> hits;
        CPoint cell(-1, 0);
        while (FindValueInLayer(c.text, 0, c.approximate, &l.layer, c.component, &cell))
            hits.push_back(cell.x);
        EXPECT_EQ(hits, c.hits) << c.text << " component " << c.component;
    }
}

TEST(RecognizeComplex, SplitsTheDocumentedForms)
{
    const struct {
        const char* text;
        const char* re;
        const char* im;
    } kCases[] = {{"2", "2", "0"},
                  {"2+3i", "2", "3"},
                  {"2-3j", "2", "-3"},
                  {" 2 - i3 ", "2", "-3"},
                  {"-4i", "0", "-4"},
                  {"i", "0", "1"},
                  {"(1.5, -2)", "1.5", "-2"},
                  {"1;2", "1", "2"},
                  {"1e-3+2e+1i", "1e-3", "2e+1"}};
    for (const auto& c : kCases) {
        CString re, im;
        EXPECT_TRUE(RecognizeComplex(c.text, re, im)) << c.text;
        EXPECT_EQ(re, c.re) << c.text;
        EXPECT_EQ(im, c.im) << c.text;
    }
    CString re, im;
    EXPECT_FALSE(RecognizeComplex("  ", re, im));
}

TEST(FindValue, TallLayersFindTheEarliestHitAcrossRowBands)
{
    std::vector<double> values(4 * 300, 0.0);
    values[40 * 4 + 1] = values[150 * 4 + 2] = values[151 * 4 + 0] = values[290 * 4 + 3] = 5;
    Layer l(7, 4, 300, values);
    CPoint cell(0, 0);
    std::vector<CPoint> forward, backward;
    while (FindValueInLayer("5", 0, 0, &l.layer, 2, &cell)) forward.push_back(cell);
    EXPECT_EQ(forward, (std::vector<CPoint>{{1, 40}, {2, 150}, {0, 151}, {3, 290}}));
    cell = CPoint(3, 299);
    while (FindValueInLayer("5", 1, 0, &l.layer, 2, &cell)) backward.push_back(cell);
    EXPECT_EQ(backward, (std::vector<CPoint>{{3, 290}, {0, 151}, {2, 150}, {1, 40}}));
}
