#pragma once

// Small pictures of the viewer's resources (tool-bar images, the frame's icon) drawn as rows
// of characters and turned into the bytes of a 24-bit BMP file at compile time, so the
// library keeps them as plain data.

#include <array>
#include <cstddef>
#include <cstdint>

#include "platform/resources/bmp_bytes.h"

namespace viewer_art {

/// The colour of one character of a picture row (0xRRGGBB).
constexpr std::uint32_t ColourOf(char c)
{
    switch (c) {
        case '#':
            return 0x000000;
        case 'w':
            return 0xFFFFFF;
        case 'd':
            return 0x808080;
        case 'l':
            return 0xE0E0E0;
        case 'y':
            return 0xF0C830;
        case 'o':
            return 0xC08020;
        case 'r':
            return 0xD02020;
        case 'g':
            return 0x20A020;
        case 'b':
            return 0x2050D0;
        case 'c':
            return 0x40C0E0;
        case 'm':
            return 0xC040C0;
        case 'n':
            return 0x102060;
        default:
            return 0xC0C0C0;  // the background, taken as transparent from the top-left pixel
    }
}

using platform::BmpRowBytes;
using platform::BmpSize;

/// A BMP file of W x H pixels from H rows of at least W characters.
template <int W, int H>
constexpr std::array<unsigned char, BmpSize<W, H>> MakeBmp(const char* const (&rows)[H])
{
    // A row that ends before W characters is background from there on.
    int lengths[H] = {};
    for (int y = 0; y < H; ++y)
        while (lengths[y] < W && rows[y][lengths[y]] != '\0') ++lengths[y];
    return platform::MakeBmp24<W, H>(
        [&](int x, int y) { return ColourOf(x < lengths[y] ? rows[y][x] : ' '); });
}

/// A strip of N pictures of W x H side by side (a tool bar's images) as one BMP file.
template <int N, int W, int H>
constexpr std::array<unsigned char, BmpSize<N * W, H>> MakeStripBmp(const char* const (&images)[N][H])
{
    const char* rows[H] = {};
    char text[H][N * W + 1] = {};
    for (int y = 0; y < H; ++y) {
        for (int n = 0; n < N; ++n) {
            bool ended = false;
            for (int x = 0; x < W; ++x) {
                if (!ended && images[n][y][x] == '\0') ended = true;
                text[y][n * W + x] = ended ? ' ' : images[n][y][x];
            }
        }
        rows[y] = text[y];
    }
    return MakeBmp<N * W, H>(rows);
}

}  // namespace viewer_art
