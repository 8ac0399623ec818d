#pragma once

// Pieces the texture tests share: random images of every real sample type, the window
// statistics computed the plain way (every window quantised afresh into a buffer, column
// by column, and handed to the literal classes), and the fast kernels run on the same rows.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

#include "modules/texture/texture_kernels.h"
#include "modules/texture/texture_statistics.h"
#include "outside/basecore/data_type.h"
#include "outside/basecore/cmeter_info.h"
#include "outside/basecore/rdp_except.h"
#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/row_driver.h"
#include "outside/basecore/thread_runner.h"
#include "tests/support/layer_files.h"
#include "tests/support/recording_meter.h"
#include "tests/support/ui_helpers.h"

namespace texturetest {

using tarvenix::test::MessageBoxesAsked;
using tarvenix::test::ProgressWindowsOpen;
using tarvenix::test::ReadLayer;
using tarvenix::test::RecordingMeter;
using tarvenix::test::TopLevelOf;
using tarvenix::test::WriteLayer;

/// A w x h image of `type` (1 to 8) as raw samples, with its values as doubles.
struct Image {
    int type = 0, width = 0, height = 0;
    std::vector<std::uint8_t> bytes;
    std::vector<double> values;
    std::vector<const void*> rows;

    RowSource Source() const { return RowSource{rows.data(), height, width}; }
    double Min() const
    {
        double m = values[0];
        for (double v : values) m = std::min(m, v);
        return m;
    }
    double Max() const
    {
        double m = values[0];
        for (double v : values) m = std::max(m, v);
        return m;
    }
};

/// Random samples of `type`; `spread` limits how many distinct values appear (few values
/// give windows with repeated levels and equal pairs).
inline Image RandomImage(int type, int width, int height, unsigned seed, int spread = 1000)
{
    Image im;
    im.type = type;
    im.width = width;
    im.height = height;
    const std::size_t n = std::size_t(width) * std::size_t(height);
    const int bytes = typeInfo(type).elementBytes;
    im.bytes.resize(n * std::size_t(bytes));
    im.values.resize(n);
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> pick(0, spread);
    visitSampleType(type, [&]<class T>(Tag<T>) {
        if constexpr (!IsComplex<T>) {
            T* dst = reinterpret_cast<T*>(im.bytes.data());
            for (std::size_t i = 0; i < n; ++i) {
                double v = pick(rng);
                if constexpr (std::is_signed_v<T> || std::is_floating_point_v<T>) v -= spread / 3;
                if constexpr (std::is_floating_point_v<T>) v *= 0.37;
                if constexpr (sizeof(T) == 1)
                    v = std::is_signed_v<T> ? std::fmod(v, 120.0) : std::fmod(v, 250.0);
                dst[i] = T(v);
                im.values[i] = double(dst[i]);
            }
        }
    });
    for (int y = 0; y < height; ++y)
        im.rows.push_back(im.bytes.data() + std::size_t(y) * std::size_t(width) * std::size_t(bytes));
    return im;
}

/// The plain computation: for every pixel of the computed area, the window's levels column
/// by column into a buffer and the literal class's statistic; `fill` elsewhere.
inline std::vector<float> ReferenceTexture(const Image& im, const LevelRange& range, const TextureSpec& spec,
                                           float fill = 0.0f)
{
    const int W = spec.window, k = W / 2, w = im.width, h = im.height;
    std::vector<float> out(std::size_t(w) * std::size_t(h), fill);
    std::vector<std::uint8_t> buffer(std::size_t(W) * std::size_t(W));
    CFirstOrderStatistics first;
    first.SetData(buffer.data(), W * W);
    CCooccurrenceMatrix second;
    second.Init(buffer.data(), W, spec.distance, spec.direction);
    for (int y = k; y < h - k; ++y)
        for (int x = k; x < w - k; ++x) {
            std::size_t p = 0;
            for (int dx = -k; dx <= k; ++dx)
                for (int dy = -k; dy <= k; ++dy)
                    buffer[p++] =
                        TextureLevel(im.values[std::size_t(y + dy) * w + std::size_t(x + dx)], range);
            const double v =
                spec.dimensionality == 0 ? first.Statistic(spec.statistic) : second.Measure(spec.statistic);
            out[std::size_t(y) * w + std::size_t(x)] = float(v);
        }
    return out;
}

/// The statistic of the windows centred on the inner pixels of `rows` (everything else keeps
/// `fill`), from the closing formulas alone, cheap enough for large layers: each window's
/// levels listed afresh and sorted to count them; for co-occurrence its pairs listed both
/// ways round (the symmetric matrix) and sorted the same way.
inline std::vector<float> PlainTextureRows(const Image& im, const LevelRange& range, const TextureSpec& spec,
                                           const std::vector<std::int64_t>& rows, float fill = 0.0f)
{
    const int W = spec.window, k = W / 2, w = im.width, h = im.height, d = spec.distance;
    std::vector<float> out(std::size_t(w) * std::size_t(h), fill);
    std::vector<std::uint8_t> image(im.values.size());
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = TextureLevel(im.values[i], range);
    std::vector<int> levels(std::size_t(W) * std::size_t(W));
    std::vector<int> sorted;
    std::vector<int> cells;  // ordered pairs as 256 * first + second
    // Pixel (column a, row b) of the window pairs with (a + da, b + db).
    const int da[4] = {0, 1, -1, -1}, db[4] = {1, -1, 0, -1};
    for (const std::int64_t y64 : rows) {
        const int y = int(y64);
        if (y < k || y >= h - k) continue;
        for (int x = k; x < w - k; ++x) {
            for (int a = 0; a < W; ++a)
                for (int b = 0; b < W; ++b)
                    levels[std::size_t(a) * W + b] =
                        image[std::size_t(y - k + b) * w + std::size_t(x - k + a)];
            double value = 0.0;
            if (spec.dimensionality == 0) {
                const double n = double(W) * W;
                sorted = levels;
                std::sort(sorted.begin(), sorted.end());
                double s1 = 0, s2 = 0, s3 = 0, s4 = 0, entropy = 0, energy = 0;
                for (std::size_t i = 0; i < sorted.size();) {
                    std::size_t j = i;
                    while (j < sorted.size() && sorted[j] == sorted[i]) ++j;
                    const double v = sorted[i], c = double(j - i);
                    s1 += c * v;
                    s2 += c * v * v;
                    s3 += c * v * v * v;
                    s4 += c * v * v * v * v;
                    entropy += c * (c / n) * std::log2(n / c);  // every sample of the level adds p log2(1/p)
                    energy += c * c * c;                        // every sample adds its count squared
                    i = j;
                }
                switch (spec.statistic) {
                    case kFirstMean:
                        value = s1 / n;
                        break;
                    case kFirstStdDev: {
                        // n² times the variance, in integers: a flat window gives exactly 0.
                        const std::int64_t n2 =
                            std::int64_t(n) * std::int64_t(s2) - std::int64_t(s1) * std::int64_t(s1);
                        value = std::sqrt(double(n2)) / n;
                        break;
                    }
                    case kFirstEntropy:
                        value = entropy;
                        break;
                    case kFirstEnergy:
                        value = energy / (n * n);
                        break;
                    case kFirstSkewness:
                        value = SkewnessFromMoments(s1 / n, s2 / n, s3 / n);
                        break;
                    case kFirstKurtosis:
                        value = KurtosisFromMoments(s1 / n, s2 / n, s3 / n, s4 / n);
                        break;
                    default:
                        break;
                }
            } else if (d >= 0 && d < W) {
                cells.clear();
                double v0 = 0, v1 = 0, v2 = 0, contrast = 0, absolute = 0, homogeneity = 0;
                for (int a = 0; a < W; ++a)
                    for (int b = 0; b < W; ++b) {
                        const int a2 = a + da[spec.direction] * d, b2 = b + db[spec.direction] * d;
                        if (a2 < 0 || a2 >= W || b2 < 0 || b2 >= W) continue;
                        const int p = levels[std::size_t(a) * W + b], q = levels[std::size_t(a2) * W + b2];
                        cells.push_back(256 * p + q);
                        cells.push_back(256 * q + p);
                        v0 += p + q;
                        v1 += double(p) * p + double(q) * q;
                        v2 += double(p) * q;
                        contrast += double(p - q) * (p - q);
                        absolute += std::abs(p - q);
                        homogeneity += 1.0 / (1.0 + double(p - q) * (p - q));
                    }
                const double total = double(cells.size()), pairs = total / 2;
                std::sort(cells.begin(), cells.end());
                double energy = 0, entropy = 0, most = 0;
                for (std::size_t i = 0; i < cells.size();) {
                    std::size_t j = i;
                    while (j < cells.size() && cells[j] == cells[i]) ++j;
                    const double c = double(j - i);
                    energy += (c / total) * (c / total);
                    entropy += (c / total) * std::log2(total / c);
                    most = std::max(most, c / total);
                    i = j;
                }
                double variance = v1 / total - (v0 / total) * (v0 / total);
                if (!(variance >= 1.0)) variance = 1.0;
                switch (spec.statistic) {
                    case kGlcmAbsoluteValue:
                        value = absolute / pairs;
                        break;
                    case kGlcmEntropy:
                        value = entropy;
                        break;
                    case kGlcmContrast:
                        value = contrast / pairs;
                        break;
                    case kGlcmEnergy:
                        value = energy;
                        break;
                    case kGlcmMaxProbability:
                        value = most;
                        break;
                    case kGlcmCorrelation:
                        value = (2 * v2 / total - (v0 / total) * (v0 / total)) / variance;
                        break;
                    case kGlcmHomogeneity:
                        value = homogeneity / pairs;
                        break;
                    default:
                        break;
                }
            }
            out[std::size_t(y) * w + std::size_t(x)] = float(value);
        }
    }
    return out;
}

/// The fast kernels over the same image; `fill` where they write nothing.
inline std::vector<float> FastTexture(const Image& im, const LevelRange& range, const TextureSpec& spec,
                                      int threads = 0, float fill = 0.0f)
{
    std::vector<float> out(std::size_t(im.width) * std::size_t(im.height), fill);
    std::vector<float*> rows;
    for (int y = 0; y < im.height; ++y) rows.push_back(out.data() + std::size_t(y) * std::size_t(im.width));
    TextureImage(im.type, im.Source(), range, spec, rows.data(), {}, threads);
    return out;
}

/// The samples of a file as an Image of F64 values (for the plain computation).
inline Image ImageOf(const std::vector<double>& values, int width, int height)
{
    Image im;
    im.type = int(DataType::F64);
    im.width = width;
    im.height = height;
    im.values = values;
    im.bytes.resize(values.size() * sizeof(double));
    std::memcpy(im.bytes.data(), values.data(), im.bytes.size());
    for (int y = 0; y < height; ++y)
        im.rows.push_back(im.bytes.data() + std::size_t(y) * width * sizeof(double));
    return im;
}

}  // namespace texturetest
