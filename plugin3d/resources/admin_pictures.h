#pragma once

// The administrator's tool-bar pictures, 24 x 24 each, in one strip: New (a blank page with a
// spark), Delete (a red cross), Load (an opening folder), Save (a disk).

#include "plugin3d/resources/glyph_canvas.h"

namespace kelvora_art {

inline constexpr int kAdminPicture = 24;
inline constexpr int kAdminStripWidth = kAdminPicture * 4;
using AdminStripBmp = std::array<unsigned char, platform::BmpSize<kAdminStripWidth, kAdminPicture>>;

constexpr AdminStripBmp DrawAdminStrip()
{
    constexpr std::uint32_t ink = 0x202020, paper = 0xFFFFFF, fold = 0xC8C8C8, spark = 0xF0C020;
    constexpr std::uint32_t red = 0xD02020, darkRed = 0x801010;
    constexpr std::uint32_t folder = 0xF0C860, folderDark = 0xB08830;
    constexpr std::uint32_t disk = 0x3050A0, label = 0xF0F0F0, shutter = 0xA0A0A8;
    Canvas<kAdminStripWidth, kAdminPicture> c;

    // New: a page with a folded corner and a spark at its top right.
    const int page[5][2] = {{4, 3}, {14, 3}, {19, 8}, {19, 21}, {4, 21}};
    c.Polygon(page, paper);
    c.Outline(page, ink);
    const int corner[3][2] = {{14, 3}, {14, 8}, {19, 8}};
    c.Polygon(corner, fold);
    c.Outline(corner, ink);
    c.Line(17, 1, 21, 5, spark);
    c.Line(21, 1, 17, 5, spark);
    c.Line(19, 0, 19, 6, spark);
    c.Line(16, 3, 22, 3, spark);

    // Delete: a thick red cross.
    constexpr int d = kAdminPicture;
    for (int i = 0; i < 3; ++i) {
        c.Line(d + 4 + i, 4, d + 17 + i, 19, red);
        c.Line(d + 17 + i, 4, d + 4 + i, 19, red);
    }
    c.Line(d + 4, 5, d + 16, 19, darkRed);
    c.Line(d + 16, 4, d + 4, 18, darkRed);

    // Load: a folder whose front opens.
    constexpr int l = kAdminPicture * 2;
    const int back[6][2] = {{l + 2, 5}, {l + 9, 5}, {l + 11, 7}, {l + 19, 7}, {l + 19, 20}, {l + 2, 20}};
    c.Polygon(back, folderDark);
    c.Outline(back, ink);
    const int front[4][2] = {{l + 5, 11}, {l + 22, 11}, {l + 19, 20}, {l + 2, 20}};
    c.Polygon(front, folder);
    c.Outline(front, ink);

    // Save: a disk with its label and shutter.
    constexpr int s = kAdminPicture * 3;
    const int body[5][2] = {{s + 3, 3}, {s + 18, 3}, {s + 21, 6}, {s + 21, 21}, {s + 3, 21}};
    c.Polygon(body, disk);
    c.Outline(body, ink);
    c.Fill(s + 6, 4, s + 18, 11, label);
    c.Fill(s + 7, 14, s + 18, 21, shutter);
    c.Fill(s + 14, 15, s + 16, 20, disk);
    return ToBmp(c);
}

}  // namespace kelvora_art
