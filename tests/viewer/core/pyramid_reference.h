#pragma once

// A plain reference of the display pyramid for the tests: display values, levels and reads
// computed pixel by pixel from the formulas, with no tables, tiles or step tables.

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "outside/basecore/data_type.h"

namespace pyramid_reference {

/// One level as a plain raster, row after row.
struct Raster {
    int width = 0, height = 0;
    std::vector<std::uint8_t> values;
    std::uint8_t At(int x, int y) const { return values[std::size_t(y) * width + x]; }
};

/// Display value of a real sample: nearest with ties to even, clamped, NaN to 0.
inline std::uint8_t RealValue(double v, double lo, double hi)
{
    const double scale = hi != lo ? 255.0 / (hi - lo) : 0.0;
    const double t = (v - lo) * scale;
    if (std::isnan(t)) return 0;
    const double r = std::nearbyint(t);
    return r < 0 ? 0 : (r > 255 ? 255 : std::uint8_t(r));
}

/// Display value of a complex sample by component, rounded with halves away from zero.
inline std::uint8_t ComplexValue(double re, double im, int component, double lo, double hi)
{
    const double scale = hi != lo ? 255.0 / (hi - lo) : 0.0;
    if (component == 1) {
        const double d = std::round((std::atan2(im, re) - lo) * scale);
        if (!std::isfinite(d) || std::fabs(d) >= 2147483647.0) return 0;
        return std::uint8_t(std::int64_t(d) & 0xFF);
    }
    const double v = component == 0 ? std::sqrt(re * re + im * im) : (component == 2 ? re : im);
    const double d = std::round((v - lo) * scale);
    if (std::isnan(d) || d < 1) return 0;
    return d > 255 ? 255 : std::uint8_t(d);
}

/// Level 0 of a layer: every sample mapped.
inline Raster MapLayer(int typeCode, const std::uint8_t* samples, std::int64_t rowBytes, int width,
                       int height, int component, double lo, double hi)
{
    Raster out{width, height, std::vector<std::uint8_t>(std::size_t(width) * height)};
    visitSampleType(typeCode, [&]<class T>(Tag<T>) {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                T s;
                std::memcpy(&s, samples + y * rowBytes + std::int64_t(x) * sizeof(T), sizeof(T));
                std::uint8_t v;
                if constexpr (IsComplex<T>)
                    v = ComplexValue(double(re(s)), double(im(s)), component, lo, hi);
                else
                    v = RealValue(double(s), lo, hi);
                out.values[std::size_t(y) * width + x] = v;
            }
    });
    return out;
}

/// The next level: 2 × 2 averages truncated; a lone column or row averages its pair; a lone corner is copied.
inline Raster Reduce(const Raster& in)
{
    Raster out{(in.width + 1) / 2, (in.height + 1) / 2, {}};
    out.values.resize(std::size_t(out.width) * out.height);
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x) {
            const int x0 = 2 * x, y0 = 2 * y;
            const bool right = x0 + 1 < in.width, below = y0 + 1 < in.height;
            unsigned v;
            if (right && below)
                v = (unsigned(in.At(x0, y0)) + in.At(x0 + 1, y0) + in.At(x0, y0 + 1) +
                     in.At(x0 + 1, y0 + 1)) /
                    4;
            else if (right)
                v = (unsigned(in.At(x0, y0)) + in.At(x0 + 1, y0)) / 2;
            else if (below)
                v = (unsigned(in.At(x0, y0)) + in.At(x0, y0 + 1)) / 2;
            else
                v = in.At(x0, y0);
            out.values[std::size_t(y) * out.width + x] = std::uint8_t(v);
        }
    return out;
}

inline std::vector<Raster> Levels(Raster level0, int count)
{
    std::vector<Raster> levels{std::move(level0)};
    while (int(levels.size()) < count) levels.push_back(Reduce(levels.back()));
    return levels;
}

inline std::uint32_t Toward(std::uint32_t a, std::uint32_t b, std::uint64_t fraction)
{
    // a + (b − a) × fraction / 2^32, rounded toward a
    return b >= a ? a + std::uint32_t((std::uint64_t(b - a) * fraction) >> 32)
                  : a - std::uint32_t((std::uint64_t(a - b) * fraction) >> 32);
}

/// A read of the scaled picture: output (w × h after cutting; untouched elsewhere).
struct Read {
    int w = 0, h = 0;
    std::vector<std::uint8_t> values;  // w × h
};

inline Read ReadWindow(const std::vector<Raster>& levels, int x, int y, int w, int h, double zoom, bool whole)
{
    if (zoom < 1 && whole) {
        x = y = 0;
        w = levels[0].width;
        h = levels[0].height;
        zoom = 1;
    }
    int k = 0;
    while (k + 1 < int(levels.size()) && std::ldexp(1.0, k + 1) <= zoom) ++k;
    const double r = zoom / std::ldexp(1.0, k);
    const Raster& L = levels[std::size_t(k)];
    auto extent = [&](int len) { return r == 1.0 ? len : int(std::floor(len / r + 1e-9)); };
    Read out;
    out.w = std::max(0, std::min(w, extent(L.width) - x));
    out.h = std::max(0, std::min(h, extent(L.height) - y));
    out.values.resize(std::size_t(out.w) * out.h);

    // The 32.32 position of output index i along either axis.
    const std::int64_t n = std::max(L.width, L.height), m = std::int64_t(double(n) / r);
    std::uint64_t step = 0;
    if (n > 1 && m > 1)
        step = (std::uint64_t((n - 1) / (m - 1)) << 32) + (std::uint64_t((n - 1) % (m - 1)) << 32) / (m - 1);
    struct Pos {
        int first, second;
        std::uint64_t fraction;
    };
    auto position = [&](std::int64_t i, int len) {
        const std::uint64_t p = step * std::uint64_t(i);
        std::int64_t first = std::int64_t(p >> 32), second = i == m ? n - 1 : first + 1;
        return Pos{int(std::min<std::int64_t>(first, len - 1)), int(std::min<std::int64_t>(second, len - 1)),
                   p & 0xFFFFFFFFu};
    };
    for (int j = 0; j < out.h; ++j)
        for (int i = 0; i < out.w; ++i) {
            const std::int64_t X = std::int64_t(x) + i, Y = std::int64_t(y) + j;
            std::uint8_t v;
            if (r == 1.0) {
                v = L.At(int(X), int(Y));
            } else if (r < 1.0) {
                const int sx =
                    int(std::min<std::int64_t>(L.width - 1, std::int64_t(std::floor((X + 0.5) * r))));
                const int sy =
                    int(std::min<std::int64_t>(L.height - 1, std::int64_t(std::floor((Y + 0.5) * r))));
                v = L.At(sx, sy);
            } else {
                const Pos px = position(X, L.width), py = position(Y, L.height);
                const std::uint32_t top =
                    Toward(L.At(px.first, py.first), L.At(px.second, py.first), px.fraction);
                const std::uint32_t bottom =
                    Toward(L.At(px.first, py.second), L.At(px.second, py.second), px.fraction);
                v = std::uint8_t(Toward(top, bottom, py.fraction));
            }
            out.values[std::size_t(j) * out.w + i] = v;
        }
    return out;
}

}  // namespace pyramid_reference
