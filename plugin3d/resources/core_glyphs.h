#pragma once

// Glyphs of the classes of the model's core.

#include "plugin3d/resources/glyph_canvas.h"

namespace kelvora_art {

/// "TKTemplate_64": a prepared page with a folded corner, its lines of text, and a cube on
/// it (a scene to start from).
constexpr GlyphBmp DrawTemplateGlyph()
{
    constexpr std::uint32_t ink = 0x202020, paper = 0xFFFFFF, fold = 0xC8C8C8, text = 0x8C8C8C;
    constexpr std::uint32_t top = 0x8CB4F0, left = 0x3C6CC8, right = 0x1E3C82;
    Glyph g;
    const int page[5][2] = {{8, 3}, {40, 3}, {52, 15}, {52, 59}, {8, 59}};
    g.Polygon(page, paper);
    g.Outline(page, ink);
    const int corner[3][2] = {{40, 3}, {40, 15}, {52, 15}};
    g.Polygon(corner, fold);
    g.Outline(corner, ink);
    for (int y = 12; y <= 30; y += 6) g.Fill(14, y, y < 18 ? 35 : 46, y + 2, text);
    // The cube, seen from above: top, left and right faces.
    const int cubeTop[4][2] = {{44, 34}, {60, 41}, {44, 48}, {28, 41}};
    const int cubeLeft[4][2] = {{28, 41}, {44, 48}, {44, 62}, {28, 55}};
    const int cubeRight[4][2] = {{44, 48}, {60, 41}, {60, 55}, {44, 62}};
    g.Polygon(cubeTop, top);
    g.Polygon(cubeLeft, left);
    g.Polygon(cubeRight, right);
    g.Outline(cubeTop, ink);
    g.Outline(cubeLeft, ink);
    g.Outline(cubeRight, ink);
    return ToBmp(g);
}

}  // namespace kelvora_art
