#pragma once

// The bytes of a 24-bit BMP file, made at compile time from a picture given pixel by pixel,
// so that a library keeps the small pictures it draws in code as plain resource data
// (ImageResource::bytes).

#include <array>
#include <cstddef>
#include <cstdint>

namespace platform {

/// Bytes of one row of a 24-bit BMP of the width (padded to four).
constexpr std::size_t BmpRowBytes(int width)
{
    return (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4;
}

/// Bytes of a 24-bit BMP file of W x H pixels.
template <int W, int H>
constexpr std::size_t BmpSize = 54 + BmpRowBytes(W) * H;

/// A BMP file of W x H pixels; pixel(x, y) gives the colour (0xRRGGBB) at column x of row
/// y, row 0 at the top (the file stores the bottom row first, as the format has it).
template <int W, int H, class Pixel>
constexpr std::array<unsigned char, BmpSize<W, H>> MakeBmp24(Pixel&& pixel)
{
    std::array<unsigned char, BmpSize<W, H>> out{};
    auto put32 = [&out](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) out[at + i] = static_cast<unsigned char>(v >> (8 * i));
    };
    out[0] = 'B';
    out[1] = 'M';
    put32(2, static_cast<std::uint32_t>(out.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<std::uint32_t>(W));
    put32(22, static_cast<std::uint32_t>(H));
    out[26] = 1;
    out[28] = 24;
    put32(34, static_cast<std::uint32_t>(BmpRowBytes(W) * H));
    for (int y = 0; y < H; ++y) {
        std::size_t at = 54 + BmpRowBytes(W) * static_cast<std::size_t>(y);
        for (int x = 0; x < W; ++x) {
            const std::uint32_t c = pixel(x, H - 1 - y);
            out[at++] = static_cast<unsigned char>(c);
            out[at++] = static_cast<unsigned char>(c >> 8);
            out[at++] = static_cast<unsigned char>(c >> 16);
        }
    }
    return out;
}

}  // namespace platform
