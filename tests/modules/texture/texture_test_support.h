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
