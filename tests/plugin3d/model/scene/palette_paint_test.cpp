// The picture the drawing system paints is, byte for byte, its channel tables looked up, for
// every palette its setup pages build: colour types, the channel driving each component,
// hidden channels, curves from the curve editor, and the background.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "plugin3d/model/render/canvas3d.h"
#include "plugin3d/model/render/intensity_transformer.h"
#include "plugin3d/model/render/memory_bitmap.h"
#include "plugin3d/model/scene/k_drawing_system3d.h"

namespace {

// Pictures smaller than a channel table has levels are painted by looking each pixel up, larger
// ones through the tables' exact forms from their second paint on: both sizes are painted twice.
struct PictureSize {
    int width, height;
};
constexpr PictureSize kSizes[] = {{67, 35}, {259, 131}};

struct Palette {
    int colorType;
    int sources[3];
    bool secondVisible;
    std::vector<std::int32_t> curves[3];
};

std::string NameOf(const Palette& p, int curveSet)
{
    return "type " + std::to_string(p.colorType) + ", sources " + std::to_string(p.sources[0]) +
           std::to_string(p.sources[1]) + std::to_string(p.sources[2]) +
           (p.secondVisible ? "" : ", 2 hidden") + ", curves " + std::to_string(curveSet);
}

// Levels drawn, levels past 0x8000, and a corner with nothing drawn.
void DrawFixture(TKCanvas3D& canvas, int width, int height)
{
    canvas.SetSmooth(true);
    canvas.DrawTriangle({-2, -2, 100, 0, 0x8000, 0x2000}, {width + 2, -2, 100, 0x8000, 0, 0x6000},
                        {-2, height * 2 / 3, 100, 0x4000, 0x1000, 0});
    canvas.DrawTriangle({width / 3, height / 2, 50, 0x7000, 0x7F00, 0},
                        {width + 1, height / 3, 50, 0xFFFF, 0x8000, 0x8800},
                        {width / 2, height + 1, 50, 0x8000, 0xA000, 0xFFFF});
    for (int i = 0; i < 12; ++i)
        canvas.DrawPoint(
            {(i * 11) % width, (i * 7) % height, 10, 0x8001 + i, 0xFFFE, i % 2 ? 0xFFFF : 0x8000});
}

}  // namespace

TEST(PalettePaint, EveryPaletteOfTheSetupPaintsItsTablesLookedUp)
{
    // Curves the pages make: the default, inverted, a bent curve of several points, a
    // vertical step, one point, and none.
    const std::vector<std::int32_t> standard = {0, 0, 0x8000, 0xFFFF}, inverted = {0, 0xFFFF, 0x8000, 0},
                                    bent = {0, 0x1000, 0x0C35, 0x8D21, 0x3A07, 0x5E00, 0x7F13, 0xF123},
                                    step = {0, 0, 0x4000, 0x2000, 0x4000, 0xE000, 0x8000, 0xFFFF},
                                    point = {0x2345, 0x9ABC}, none = {};
    const std::vector<std::vector<std::int32_t>> curveSets[] = {
        {standard, standard, standard}, {inverted, bent, step}, {point, none, bent}};
    const int sourceSets[][3] = {{1, 2, 3}, {1, 1, 1}, {2, 0, 1}, {3, 3, 2}};
    for (const auto [width, height] : kSizes)
        for (int type = 1; type <= 6; ++type)
            for (const auto& sources : sourceSets)
                for (int set = 0; set < 3; ++set) {
                    {
                        // The second channel hidden with the first and last curves.
                        const bool secondVisible = set == 1;
                        Palette p{type, {sources[0], sources[1], sources[2]}, secondVisible, {}};
                        for (int c = 0; c < 3; ++c) p.curves[c] = curveSets[set][std::size_t(c)];
                        const std::string name =
                            NameOf(p, set) + ", " + std::to_string(width) + " x " + std::to_string(height);
                        TOwned<TKDrawingSystem3D> ds(TKDrawingSystem3D::New());
                        ds->BeginSetup(0);
                        ds->SetImageSize(width, height);
                        ds->SetColorType(p.colorType);
                        ds->Canvas()->SetChannelEnabled(2, true);
                        ds->Canvas()->SetChannelEnabled(3, true);
                        for (int c = 1; c <= 3; ++c) {
                            ds->SetChannelMode(c, p.sources[c - 1]);
                            TKCnv3DIITransformer* curve = ds->Curve(c);
                            curve->Clear();
                            const auto& pairs = p.curves[c - 1];
                            for (std::size_t i = 0; i + 1 < pairs.size(); i += 2)
                                curve->AddPoint(pairs[i], pairs[i + 1]);
                        }
                        ds->SetChannelVisible(2, p.secondVisible);
                        ds->SetBackground({0.2, 0.45, 0.7});
                        ds->EndSetup(0);
                        TKCanvas3D& canvas = *ds->Canvas();
                        canvas.Clear();
                        DrawFixture(canvas, width, height);
                        // A fresh table is painted by lookup, its form found at the next paint.
                        for (const char* paint : {"first paint", "second paint"}) {
                            ds->PaintToBitmap();

                            TKMemoryBitmap& bitmap = *ds->Bitmap();
                            const int bytes = PixelFormatBits(p.colorType) / 8;
                            ASSERT_NE(bitmap.Pixels(), nullptr) << name;
                            for (int y = 0; y < height; ++y)
                                for (int x = 0; x < width; ++x) {
                                    std::uint32_t want = 0, got = 0;
                                    for (int n = 1; n <= 3; ++n)
                                        if (const std::int32_t* table = canvas.GetChannelTable(n))
                                            want |= std::uint32_t(table[canvas.ChannelRow(n, y)[x]]);
                                    const auto* row = static_cast<const std::uint8_t*>(bitmap.Pixels()) +
                                                      std::int64_t(y) * bitmap.RowBytes();
                                    std::memcpy(&got, row + std::int64_t(x) * bytes, std::size_t(bytes));
                                    want &= bytes == 4 ? ~0u : (1u << (8 * bytes)) - 1;
                                    ASSERT_EQ(got, want) << name << ", " << paint << " at " << x << "," << y;
                                }
                        }
                    }
                }
}
