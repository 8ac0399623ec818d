#pragma once

// The plug-in's class glyphs are drawn in code: a small canvas of 0xRRGGBB pixels with a
// few shapes, turned into the bytes of a 24-bit BMP file at compile time, so that the
// library keeps every picture as plain data. The canvas starts clear (kClear); the image
// lists take the bottom-left pixel's colour as transparent, so that corner stays clear.

#include <array>
#include <cstddef>
#include <cstdint>

#include "platform/resources/bmp_bytes.h"

namespace kelvora_art {

/// The transparent background of every glyph.
inline constexpr std::uint32_t kClear = 0xFF00FF;

/// A picture of W x H pixels, row 0 at the top.
template <int W, int H>
struct Canvas {
    std::uint32_t px[H][W]{};

    constexpr Canvas()
    {
        for (auto& row : px)
            for (auto& p : row) p = kClear;
    }

    constexpr void Put(int x, int y, std::uint32_t c)
    {
        if (x >= 0 && x < W && y >= 0 && y < H) px[y][x] = c;
    }
    /// Fills the pixels x0 <= x < x1, y0 <= y < y1.
    constexpr void Fill(int x0, int y0, int x1, int y1, std::uint32_t c)
    {
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) Put(x, y, c);
    }
    /// A line of one pixel from (x0, y0) to (x1, y1), both ends drawn.
    constexpr void Line(int x0, int y0, int x1, int y1, std::uint32_t c)
    {
        const int dx = x1 > x0 ? x1 - x0 : x0 - x1, sx = x0 < x1 ? 1 : -1;
        const int dy = y1 > y0 ? y0 - y1 : y1 - y0, sy = y0 < y1 ? 1 : -1;
        int err = dx + dy;
        for (;;) {
            Put(x0, y0, c);
            if (x0 == x1 && y0 == y1) return;
            const int e2 = 2 * err;
            if (e2 >= dy) err += dy, x0 += sx;
            if (e2 <= dx) err += dx, y0 += sy;
        }
    }
    /// Fills the polygon through the N corners (pixel centres inside it, even-odd rule).
    template <int N>
    constexpr void Polygon(const int (&corners)[N][2], std::uint32_t c)
    {
        for (int y = 0; y < H; ++y) {
            const double cy = y + 0.5;
            double cuts[N] = {};
            int n = 0;
            for (int i = 0; i < N; ++i) {
                const int* a = corners[i];
                const int* b = corners[(i + 1) % N];
                if ((a[1] <= cy) == (b[1] <= cy)) continue;
                cuts[n++] = a[0] + (cy - a[1]) * (b[0] - a[0]) / double(b[1] - a[1]);
            }
            for (int i = 1; i < n; ++i)
                for (int j = i; j > 0 && cuts[j - 1] > cuts[j]; --j) {
                    const double t = cuts[j];
                    cuts[j] = cuts[j - 1];
                    cuts[j - 1] = t;
                }
            for (int i = 0; i + 1 < n; i += 2)
                for (int x = 0; x < W; ++x)
                    if (x + 0.5 >= cuts[i] && x + 0.5 < cuts[i + 1]) Put(x, y, c);
        }
    }
    /// Fills the disc of radius r round the pixel (cx, cy).
    constexpr void Disc(int cx, int cy, int r, std::uint32_t c)
    {
        for (int y = cy - r; y <= cy + r; ++y)
            for (int x = cx - r; x <= cx + r; ++x)
                if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r + r) Put(x, y, c);
    }
    /// The rim of that disc, one pixel wide.
    constexpr void Circle(int cx, int cy, int r, std::uint32_t c)
    {
        for (int y = cy - r; y <= cy + r; ++y)
            for (int x = cx - r; x <= cx + r; ++x) {
                const int d = (x - cx) * (x - cx) + (y - cy) * (y - cy);
                if (d <= r * r + r && d > (r - 1) * (r - 1) + (r - 1)) Put(x, y, c);
            }
    }
    /// The outline of the polygon through the N corners.
    template <int N>
    constexpr void Outline(const int (&corners)[N][2], std::uint32_t c)
    {
        for (int i = 0; i < N; ++i)
            Line(corners[i][0], corners[i][1], corners[(i + 1) % N][0], corners[(i + 1) % N][1], c);
    }
};

/// The canvas as a 24-bit BMP file.
template <int W, int H>
constexpr std::array<unsigned char, platform::BmpSize<W, H>> ToBmp(const Canvas<W, H>& canvas)
{
    return platform::MakeBmp24<W, H>([&canvas](int x, int y) { return canvas.px[y][x]; });
}

/// The size of the class glyphs the units register.
inline constexpr int kGlyphSize = 64;
using Glyph = Canvas<kGlyphSize, kGlyphSize>;
using GlyphBmp = std::array<unsigned char, platform::BmpSize<kGlyphSize, kGlyphSize>>;

}  // namespace kelvora_art
