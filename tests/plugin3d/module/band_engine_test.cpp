// The plug-in's passes run on the platform's band engine, which this program reaches with
// the platform alone, as the plug-in does: the same bits on any thread count.

#include <cmath>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "platform/kernel/row_bands.h"

namespace {

using namespace platform;

// A shaded strip of rows, summed per band in an order-sensitive way and merged in band order.
TEST(PluginBandEngine, RowsRunOnThePlatformAloneWithTheSameResultOnOneThreeAndEightThreads)
{
    constexpr int kWidth = 97, kHeight = 1501;
    std::vector<float> reference;
    double referenceSum = 0;
    for (int threads : {1, 3, 8}) {
        SCOPED_TRACE(threads);
        std::vector<float> image(std::size_t(kWidth) * kHeight, -1.0f);
        std::vector<std::int64_t> progress;
        RunRowBands(
            RowBands::Even(kHeight, 8),
            [&](const RowBand& band) {
                for (std::int64_t y = band.begin; y < band.end; ++y)
                    for (int x = 0; x < kWidth; ++x)
                        image[std::size_t(y) * kWidth + std::size_t(x)] =
                            float(std::sin(0.01 * double(x * y)) * 0.5 + 0.5);
            },
            [&](std::int64_t done) { progress.push_back(done); }, threads);
        const double sum = ReduceRowBands(
            RowBands::Even(kHeight, 8), 0.0,
            [&](const RowBand& band, double& part) {
                for (std::int64_t y = band.begin; y < band.end; ++y)
                    for (int x = 0; x < kWidth; ++x)
                        part += image[std::size_t(y) * kWidth + std::size_t(x)] / (y + 1.0);
            },
            [](double& total, double part) { total += part; }, {}, threads);
        ASSERT_FALSE(progress.empty());
        EXPECT_EQ(progress.back(), kHeight);
        if (reference.empty()) {
            reference = image;
            referenceSum = sum;
        }
        EXPECT_EQ(std::memcmp(image.data(), reference.data(), image.size() * sizeof(float)), 0);
        EXPECT_EQ(std::memcmp(&sum, &referenceSum, sizeof sum), 0);
    }
}

}  // namespace
