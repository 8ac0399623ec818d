#pragma once

// Glyphs of the project classes and of the five list classes of the scene.

#include "plugin3d/resources/glyph_canvas.h"

namespace kelvora_art {

namespace scene_detail {

inline constexpr std::uint32_t kInk = 0x202020, kFolder = 0xE8B84A, kFolderDark = 0xB8862A;
inline constexpr std::uint32_t kPaper = 0xFFFFFF, kRule = 0x8C8C8C;
inline constexpr std::uint32_t kCubeTop = 0x8CB4F0, kCubeLeft = 0x3C6CC8, kCubeRight = 0x1E3C82;

/// A folder, its tab at the top left.
constexpr void Folder(Glyph& g)
{
    const int back[6][2] = {{4, 12}, {24, 12}, {30, 18}, {60, 18}, {60, 56}, {4, 56}};
    g.Polygon(back, kFolderDark);
    g.Outline(back, kInk);
    const int front[4][2] = {{4, 24}, {60, 24}, {60, 56}, {4, 56}};
    g.Polygon(front, kFolder);
    g.Outline(front, kInk);
}

/// A small cube seen from above, its top corner at (x, y), s pixels to a side.
constexpr void Cube(Glyph& g, int x, int y, int s)
{
    const int top[4][2] = {{x, y}, {x + s, y + s / 2}, {x, y + s}, {x - s, y + s / 2}};
    const int left[4][2] = {{x - s, y + s / 2}, {x, y + s}, {x, y + 2 * s}, {x - s, y + 3 * s / 2}};
    const int right[4][2] = {{x, y + s}, {x + s, y + s / 2}, {x + s, y + 3 * s / 2}, {x, y + 2 * s}};
    g.Polygon(top, kCubeTop);
    g.Polygon(left, kCubeLeft);
    g.Polygon(right, kCubeRight);
    g.Outline(top, kInk);
    g.Outline(left, kInk);
    g.Outline(right, kInk);
}

/// A list page: a sheet with four bulleted rows on its left side.
constexpr void ListPage(Glyph& g)
{
    const int sheet[4][2] = {{6, 4}, {46, 4}, {46, 60}, {6, 60}};
    g.Polygon(sheet, kPaper);
    g.Outline(sheet, kInk);
    for (int row = 0; row < 4; ++row) {
        const int y = 12 + row * 12;
        g.Fill(11, y, 15, y + 4, kInk);
        g.Fill(18, y + 1, 40, y + 3, kRule);
    }
}

}  // namespace scene_detail

/// "TKProject_64": a folder with a sheet in it.
constexpr GlyphBmp DrawProjectGlyph()
{
    using namespace scene_detail;
    Glyph g;
    Folder(g);
    const int sheet[4][2] = {{16, 28}, {44, 28}, {44, 50}, {16, 50}};
    g.Polygon(sheet, kPaper);
    g.Outline(sheet, kInk);
    for (int y = 33; y <= 45; y += 6) g.Fill(20, y, 40, y + 2, kRule);
    return ToBmp(g);
}

/// "TKelvora3DProject_64": a folder holding a cube.
constexpr GlyphBmp DrawKelvoraProjectGlyph()
{
    using namespace scene_detail;
    Glyph g;
    Folder(g);
    Cube(g, 32, 26, 12);
    return ToBmp(g);
}

/// "TKCustomChangeObjectList_64": a list page.
constexpr GlyphBmp DrawChangeObjectListGlyph()
{
    using namespace scene_detail;
    Glyph g;
    ListPage(g);
    return ToBmp(g);
}

/// "TKCustomObject3DList_64": a list page with a cube.
constexpr GlyphBmp DrawObject3DListGlyph()
{
    using namespace scene_detail;
    Glyph g;
    ListPage(g);
    Cube(g, 48, 30, 10);
    return ToBmp(g);
}

/// "TKCustomConstruction3DList_64": a list page with a small surface mesh.
constexpr GlyphBmp DrawConstruction3DListGlyph()
{
    using namespace scene_detail;
    Glyph g;
    ListPage(g);
    const int mesh[4][2] = {{30, 46}, {50, 30}, {62, 42}, {42, 60}};
    g.Polygon(mesh, 0x7CC47C);
    g.Outline(mesh, kInk);
    // The mesh's inner lines, a third and two thirds across in each direction.
    for (int k = 1; k < 3; ++k) {
        g.Line(30 + 20 * k / 3, 46 - 16 * k / 3, 42 + 20 * k / 3, 60 - 16 * k / 3, 0x2E6B2E);
        g.Line(30 + 12 * k / 3, 46 + 14 * k / 3, 50 + 12 * k / 3, 30 + 12 * k / 3, 0x2E6B2E);
    }
    return ToBmp(g);
}

/// "TKCustomProjectionSystem3DList_64": a list page with a camera.
constexpr GlyphBmp DrawProjectionSystem3DListGlyph()
{
    using namespace scene_detail;
    Glyph g;
    ListPage(g);
    const int body[4][2] = {{28, 36}, {54, 36}, {54, 56}, {28, 56}};
    g.Polygon(body, 0x505A64);
    g.Outline(body, kInk);
    const int lens[4][2] = {{54, 40}, {62, 34}, {62, 58}, {54, 52}};
    g.Polygon(lens, 0x2A3038);
    g.Outline(lens, kInk);
    g.Fill(32, 31, 40, 36, 0x505A64);
    g.Fill(36, 42, 46, 50, 0x9CC8F0);
    return ToBmp(g);
}

/// "TKCustomLightSystem3DList_64": a list page with a light and its rays.
constexpr GlyphBmp DrawLightSystem3DListGlyph()
{
    using namespace scene_detail;
    Glyph g;
    ListPage(g);
    const int sun[8][2] = {{46, 34}, {51, 36}, {53, 41}, {51, 46}, {46, 48}, {41, 46}, {39, 41}, {41, 36}};
    g.Polygon(sun, 0xFFD23C);
    g.Outline(sun, kInk);
    const int rays[8][4] = {{46, 26, 46, 31}, {46, 51, 46, 56}, {31, 41, 36, 41}, {56, 41, 61, 41},
                            {36, 31, 39, 34}, {53, 48, 56, 51}, {56, 31, 53, 34}, {39, 48, 36, 51}};
    for (const auto& r : rays) g.Line(r[0], r[1], r[2], r[3], 0xE0A000);
    return ToBmp(g);
}

}  // namespace kelvora_art
