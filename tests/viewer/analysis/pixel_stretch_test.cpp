#include "viewer/analysis/pixel_stretch.h"

#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

namespace {

// Stretches a sw x sh block whose sample (x, y) holds a code of its position and checks
// every destination sample against floor(i * sw / dw), floor(j * sh / dh).
void CheckAgainstOracle(int sw, int sh, int dw, int dh)
{
    std::vector<BYTE> src(std::size_t(sw) * sh * 2);
    for (int y = 0; y < sh; ++y)
        for (int x = 0; x < sw; ++x) {
            src[(std::size_t(y) * sw + x) * 2] = BYTE(x);
            src[(std::size_t(y) * sw + x) * 2 + 1] = BYTE(y);
        }
    std::vector<BYTE> dst(std::size_t(dw) * dh * 2, 0xEE);
    for (int plane = 0; plane < 2; ++plane)
        StretchPixelRows({dst.data() + plane, dw, dh, 2, dw * 2}, {src.data() + plane, sw, sh, 2, sw * 2});
    for (int j = 0; j < dh; ++j)
        for (int i = 0; i < dw; ++i) {
            const std::size_t at = (std::size_t(j) * dw + i) * 2;
            ASSERT_EQ(dst[at], BYTE(std::int64_t(i) * sw / dw)) << sw << "x" << sh << "->" << dw << "x" << dh;
            ASSERT_EQ(dst[at + 1], BYTE(std::int64_t(j) * sh / dh))
                << sw << "x" << sh << "->" << dw << "x" << dh;
        }
}

TEST(PixelStretch, MatchesTheNearestNeighbourOracle)
{
    const int cases[][4] = {{7, 5, 7, 5},       {256, 1, 100, 1},   {1, 1, 37, 3},
                            {3, 200, 250, 9},   {200, 3, 9, 250},   {100, 60, 192, 108},
                            {255, 17, 256, 16}, {4999, 2, 4500, 3}, {1000, 600, 1920, 1080}};
    for (const auto& c : cases) CheckAgainstOracle(c[0], c[1], c[2], c[3]);
}

TEST(PixelStretch, TwoHundredFiftySixToOneHundredTakesEveryFewSamples)
{
    std::vector<BYTE> src(256), dst(100);
    for (int i = 0; i < 256; ++i) src[i] = BYTE(i);
    StretchPixelRows({dst.data(), 100, 1, 1, 100}, {src.data(), 256, 1, 1, 256});
    EXPECT_EQ((std::vector<BYTE>(dst.begin(), dst.begin() + 5)), (std::vector<BYTE>{0, 2, 5, 7, 10}));
}

TEST(PixelStretch, StepFourTouchesOnlyItsByteAndANegativeRowStepFlips)
{
    // Two rows of 4-byte pixels; the green byte (offset 1) of a bottom-up destination.
    const BYTE src[3] = {10, 20, 30};  // one column, three rows
    std::vector<BYTE> dst(2 * 3 * 4, 0x55);
    const int rowBytes = 2 * 4;
    StretchPixelRows({dst.data() + 2 * rowBytes + 1, 2, 3, 4, -rowBytes},
                     {const_cast<BYTE*>(src), 1, 3, 1, 1});
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 2; ++x)
            for (int b = 0; b < 4; ++b) {
                const BYTE expected = b == 1 ? src[2 - y] : 0x55;
                EXPECT_EQ(dst[std::size_t(y) * rowBytes + x * 4 + b], expected) << x << "," << y << "," << b;
            }
}

TEST(PixelStretch, WholeColourPixelsEqualTheThreePlanesStretchedIntoAClearedPicture)
{
    // Enlarging (rows taken twice are copied), reducing, a bottom-up destination, one column,
    // rows too wide for the column table, and 24-bit source pixels.
    struct Case {
        int sw, sh, sourceStep, dw, dh;
        bool bottomUp;
    };
    const Case cases[] = {{1000, 600, 4, 1920, 1080, false}, {1920, 1080, 4, 1000, 600, false},
                          {256, 1, 4, 37, 90, true},         {1, 256, 4, 5, 300, false},
                          {4999, 2, 4, 4500, 3, false},      {7, 5, 3, 20, 11, true}};
    for (const Case& c : cases) {
        std::vector<BYTE> src(std::size_t(c.sw) * c.sh * c.sourceStep);
        for (std::size_t i = 0; i < src.size(); ++i) src[i] = BYTE(i * 2654435761u >> 24);
        const int rowBytes = c.dw * 4;
        const auto block = [&](BYTE* pixels, int b) {
            return c.bottomUp
                       ? PixelBlock{pixels + std::size_t(c.dh - 1) * rowBytes + b, c.dw, c.dh, 4, -rowBytes}
                       : PixelBlock{pixels + b, c.dw, c.dh, 4, rowBytes};
        };
        std::vector<BYTE> planes(std::size_t(rowBytes) * c.dh, 0);
        for (int b = 0; b < 3; ++b)
            StretchPixelRows(block(planes.data(), b),
                             {src.data() + b, c.sw, c.sh, c.sourceStep, c.sw * c.sourceStep});
        std::vector<BYTE> whole(planes.size(), 0xEE);  // the fourth byte is written too
        StretchColourPixels(block(whole.data(), 0),
                            {src.data(), c.sw, c.sh, c.sourceStep, c.sw * c.sourceStep});
        EXPECT_TRUE(whole == planes) << c.sw << "x" << c.sh << "->" << c.dw << "x" << c.dh;
    }
}

TEST(PixelStretch, AnEmptyDestinationWritesNothing)
{
    BYTE src[4] = {1, 2, 3, 4}, dst[4] = {9, 9, 9, 9};
    StretchPixelRows({dst, 0, 2, 1, 2}, {src, 2, 2, 1, 2});
    StretchPixelRows({dst, 2, 0, 1, 2}, {src, 2, 2, 1, 2});
    StretchPixelRows({dst, -3, 2, 1, 2}, {src, 2, 2, 1, 2});
    StretchColourPixels({dst, 1, 0, 4, 4}, {src, 1, 1, 4, 4});
    for (BYTE b : dst) EXPECT_EQ(b, 9);
}

}  // namespace
