#pragma once

// The glyph of the navigator's container object.

#include "plugin3d/resources/glyph_canvas.h"

namespace kelvora_art {

/// "TKNavigator3DContainerObject_64": a dial ring with four pointers round a small frame of
/// three axes (red X, green Y, blue Z) seen at a slant.
constexpr GlyphBmp DrawNavigatorGlyph()
{
    constexpr std::uint32_t ink = 0x202020, ring = 0x8C8C8C, face = 0xE8EEF6;
    constexpr std::uint32_t red = 0xD02020, green = 0x20A030, blue = 0x2040D0;
    Glyph g;
    // The dial: a filled octagon with its rim, and pointers on the four axes.
    const int dial[8][2] = {{22, 4}, {42, 4}, {58, 20}, {58, 40}, {42, 56}, {22, 56}, {6, 40}, {6, 20}};
    g.Polygon(dial, face);
    g.Outline(dial, ring);
    const int north[3][2] = {{32, 9}, {28, 1}, {36, 1}};
    const int south[3][2] = {{32, 51}, {28, 59}, {36, 59}};
    const int west[3][2] = {{11, 30}, {3, 26}, {3, 34}};
    const int east[3][2] = {{53, 30}, {61, 26}, {61, 34}};
    g.Polygon(north, ink);
    g.Polygon(south, ink);
    g.Polygon(west, ink);
    g.Polygon(east, ink);
    // The frame: three thick axes from the centre.
    for (int d = -1; d <= 1; ++d) {
        g.Line(32, 30 + d, 50, 34 + d, red);
        g.Line(32 + d, 30, 32 + d, 12, green);
        g.Line(32, 30 + d, 18, 42 + d, blue);
    }
    const int xTip[3][2] = {{53, 35}, {46, 30}, {45, 37}};
    const int yTip[3][2] = {{32, 9}, {28, 15}, {36, 15}};
    const int zTip[3][2] = {{15, 45}, {17, 38}, {22, 43}};
    g.Polygon(xTip, red);
    g.Polygon(yTip, green);
    g.Polygon(zTip, blue);
    return ToBmp(g);
}

}  // namespace kelvora_art
