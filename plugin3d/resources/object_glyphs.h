#pragma once

// Glyphs of the scene's own objects: the viewer, the surface, the three lights, the camera
// and the reflection law.

#include "plugin3d/resources/glyph_canvas.h"

namespace kelvora_art {

namespace object_detail {

inline constexpr std::uint32_t kInk = 0x202020, kWhite = 0xFFFFFF;
inline constexpr std::uint32_t kMetal = 0x505A64, kMetalLight = 0x8C96A0;
inline constexpr std::uint32_t kBulb = 0xFFE060, kBulbRim = 0xC89600, kRay = 0xE0A000;

/// A short ray from (x0, y0) to (x1, y1), two pixels thick.
constexpr void Ray(Glyph& g, int x0, int y0, int x1, int y1, std::uint32_t c)
{
    g.Line(x0, y0, x1, y1, c);
    g.Line(x0 + 1, y0, x1 + 1, y1, c);
}

}  // namespace object_detail

/// "TKDrawingSystem3D_64": a screen on its stand showing a lit hill.
constexpr GlyphBmp DrawDrawingSystemGlyph()
{
    using namespace object_detail;
    Glyph g;
    const int frame[4][2] = {{3, 6}, {61, 6}, {61, 46}, {3, 46}};
    g.Polygon(frame, kMetal);
    g.Outline(frame, kInk);
    g.Fill(8, 11, 57, 42, 0x101830);
    const int lit[5][2] = {{9, 41}, {22, 22}, {29, 30}, {40, 15}, {56, 41}};
    g.Polygon(lit, 0xE8CCAE);
    // The hill's far slopes in shade.
    const int shade1[3][2] = {{22, 22}, {29, 30}, {25, 41}};
    const int shade2[3][2] = {{40, 15}, {56, 41}, {44, 41}};
    g.Polygon(shade1, 0x9C8470);
    g.Polygon(shade2, 0x9C8470);
    const int neck[4][2] = {{27, 46}, {37, 46}, {39, 53}, {25, 53}};
    g.Polygon(neck, kMetalLight);
    g.Outline(neck, kInk);
    const int base[4][2] = {{15, 53}, {49, 53}, {53, 58}, {11, 58}};
    g.Polygon(base, kMetal);
    g.Outline(base, kInk);
    return ToBmp(g);
}

/// "TKSurface3D_64": a mesh with a hill in its middle, seen at a slant, faces shaded by slope.
constexpr GlyphBmp DrawSurfaceGlyph()
{
    using namespace object_detail;
    constexpr int n = 5;
    constexpr int heights[n][n] = {
        {0, 0, 0, 0, 0}, {0, 7, 11, 6, 0}, {0, 11, 21, 11, 0}, {0, 6, 11, 7, 0}, {0, 0, 0, 0, 0}};
    // Node (i, j): i runs to the right, j into the picture.
    auto at = [&heights](int i, int j, int k) {
        return k == 0 ? 4 + 9 * i + 5 * j : 58 - 2 * i - 7 * j - heights[j][i];
    };
    Glyph g;
    for (int j = n - 2; j >= 0; --j)
        for (int i = 0; i < n - 1; ++i) {
            const int quad[4][2] = {{at(i, j, 0), at(i, j, 1)},
                                    {at(i + 1, j, 0), at(i + 1, j, 1)},
                                    {at(i + 1, j + 1, 0), at(i + 1, j + 1, 1)},
                                    {at(i, j + 1, 0), at(i, j + 1, 1)}};
            const int rise = heights[j][i + 1] + heights[j + 1][i + 1] - heights[j][i] - heights[j + 1][i];
            const std::uint32_t face = rise > 0 ? 0x96D796 : rise < 0 ? 0x3C8C3C : 0x64B464;
            g.Polygon(quad, face);
            g.Outline(quad, 0x1E5A1E);
        }
    return ToBmp(g);
}

/// "TKPointSpringLight3D_64": a light bulb giving light all round.
constexpr GlyphBmp DrawPointLightGlyph()
{
    using namespace object_detail;
    Glyph g;
    g.Disc(32, 24, 15, kBulb);
    g.Circle(32, 24, 15, kBulbRim);
    const int neck[4][2] = {{24, 36}, {40, 36}, {38, 45}, {26, 45}};
    g.Polygon(neck, kBulb);
    g.Line(24, 36, 26, 45, kBulbRim);
    g.Line(40, 36, 38, 45, kBulbRim);
    g.Fill(28, 20, 31, 36, kRay);  // the filament
    g.Fill(33, 20, 36, 36, kRay);
    g.Fill(25, 14, 29, 18, kWhite);  // a glint on the glass
    g.Fill(26, 45, 39, 57, kMetalLight);
    for (int y = 47; y < 57; y += 3) g.Line(26, y, 38, y + 1, kMetal);
    g.Fill(29, 57, 36, 61, kInk);
    const int rays[6][4] = {{32, 2, 32, 6},  {10, 24, 14, 24}, {50, 24, 54, 24},
                            {15, 8, 18, 11}, {49, 8, 46, 11},  {14, 40, 17, 37}};
    for (const auto& r : rays) Ray(g, r[0], r[1], r[2], r[3], kRay);
    Ray(g, 50, 40, 47, 37, kRay);
    return ToBmp(g);
}

/// "TKAmbientLight3D_64": a glow of soft light with no source to point at.
constexpr GlyphBmp DrawAmbientLightGlyph()
{
    using namespace object_detail;
    Glyph g;
    g.Disc(32, 32, 29, 0xFFF4D0);
    g.Disc(32, 32, 22, 0xFFE8A0);
    g.Disc(32, 32, 15, 0xFFD860);
    g.Disc(32, 32, 8, 0xFFC020);
    // Light coming in from every side.
    const int rays[8][4] = {{32, 1, 32, 6},   {32, 58, 32, 63}, {1, 32, 6, 32},   {58, 32, 63, 32},
                            {11, 11, 15, 15}, {53, 11, 49, 15}, {11, 53, 15, 49}, {53, 53, 49, 49}};
    for (const auto& r : rays) Ray(g, r[0], r[1], r[2], r[3], kRay);
    return ToBmp(g);
}

/// "TKFlatSpringLight3D_64": a sun in the corner sending parallel rays onto the ground.
constexpr GlyphBmp DrawFlatLightGlyph()
{
    using namespace object_detail;
    Glyph g;
    const int ground[4][2] = {{8, 52}, {62, 52}, {56, 60}, {2, 60}};
    g.Polygon(ground, 0xB4B4B4);
    g.Outline(ground, kInk);
    g.Disc(12, 12, 9, kBulb);
    g.Circle(12, 12, 9, kBulbRim);
    // Three parallel rays, each with its head where it meets the ground.
    const int rays[3][4] = {{14, 22, 30, 49}, {24, 16, 44, 49}, {34, 10, 57, 49}};
    for (const auto& r : rays) {
        const int x1 = r[2], y1 = r[3];
        Ray(g, r[0], r[1], x1 - 4, y1 - 7, kRay);
        const int head[3][2] = {{x1, y1}, {x1 - 7, y1 - 5}, {x1 - 1, y1 - 9}};
        g.Polygon(head, kRay);
    }
    return ToBmp(g);
}

/// "TKEyeSystem3D_64": an eye, the camera the scene is seen through.
constexpr GlyphBmp DrawEyeSystemGlyph()
{
    using namespace object_detail;
    Glyph g;
    const int lids[12][2] = {{3, 32},  {12, 22}, {22, 16}, {32, 14}, {42, 16}, {52, 22},
                             {61, 32}, {52, 42}, {42, 48}, {32, 50}, {22, 48}, {12, 42}};
    g.Polygon(lids, kWhite);
    g.Disc(32, 32, 12, 0x3C78C8);
    g.Circle(32, 32, 12, 0x1E3C82);
    g.Disc(32, 32, 5, kInk);
    g.Fill(35, 26, 39, 30, kWhite);
    g.Outline(lids, kInk);
    // The upper lid's line drawn twice for weight.
    for (int k = 0; k + 1 < 7; ++k)
        g.Line(lids[k][0], lids[k][1] - 1, lids[k + 1][0], lids[k + 1][1] - 1, kInk);
    return ToBmp(g);
}

/// "TKSimpleDiffuseReflection_64": a ray falling onto a surface and scattered in every
/// direction above it.
constexpr GlyphBmp DrawDiffuseReflectionGlyph()
{
    using namespace object_detail;
    Glyph g;
    const int plane[4][2] = {{10, 46}, {62, 46}, {54, 58}, {2, 58}};
    g.Polygon(plane, 0x9CB4C8);
    g.Outline(plane, kInk);
    // The scattered light: a fan of rays over the point of incidence.
    const int fan[5][2] = {{52, 40}, {46, 28}, {33, 24}, {20, 28}, {12, 40}};
    for (const auto& end : fan) {
        g.Line(32, 49, end[0], end[1], 0xF0C040);
        g.Disc(end[0], end[1], 2, 0xF0C040);
    }
    // The falling ray with its head at the surface.
    Ray(g, 6, 4, 27, 40, 0xD02020);
    const int head[3][2] = {{31, 48}, {23, 41}, {31, 37}};
    g.Polygon(head, 0xD02020);
    g.Disc(32, 49, 2, kInk);
    return ToBmp(g);
}

}  // namespace kelvora_art
