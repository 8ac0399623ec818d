#pragma once

// The record bar's four button pictures, 16 x 16: add (a green plus), delete (a red cross),
// up and down (blue arrows).

#include "plugin3d/resources/glyph_canvas.h"

namespace kelvora_art {

inline constexpr int kBarPicture = 16;
using BarPictureBmp = std::array<unsigned char, platform::BmpSize<kBarPicture, kBarPicture>>;

constexpr BarPictureBmp DrawAddPicture()
{
    Canvas<kBarPicture, kBarPicture> c;
    c.Fill(7, 3, 9, 13, 0x208020);
    c.Fill(3, 7, 13, 9, 0x208020);
    return ToBmp(c);
}

constexpr BarPictureBmp DrawDeletePicture()
{
    Canvas<kBarPicture, kBarPicture> c;
    for (int d = 0; d < 2; ++d) {
        c.Line(4 + d, 4, 11 + d, 11, 0xC02020);
        c.Line(11 + d, 4, 4 + d, 11, 0xC02020);
    }
    return ToBmp(c);
}

constexpr BarPictureBmp DrawArrowPicture(bool up)
{
    Canvas<kBarPicture, kBarPicture> c;
    const int base = up ? 8 : 7;
    const int head[3][2] = {{8, up ? 2 : 14}, {3, base}, {13, base}};
    c.Polygon(head, 0x2050B0);
    c.Fill(6, up ? base : 3, 10, up ? 13 : base, 0x2050B0);
    return ToBmp(c);
}

}  // namespace kelvora_art
