// A fixed scene of overlapping triangles, lines and points, flat and smooth, clipped at all
// four edges, painted into a memory bitmap of each of the six pixel formats and compared
// with pictures a person has looked at.

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include <QImage>
#include <gtest/gtest.h>

#include "platform/gdi/gdi.h"
#include "plugin3d/model/render/canvas3d.h"
#include "plugin3d/model/render/intensity_transformer.h"
#include "plugin3d/model/render/memory_bitmap.h"
#include "tests/platform/gdi/canvas.h"
#include "tests/support/ui_helpers.h"

namespace {

constexpr int kWidth = 160, kHeight = 120;

TCanvasVertex V(int x, int y, int z, int red, int green, int blue)
{
    return {x, y, z, red, green, blue};
}

// Draws the scene; canvas row 0 is the picture's bottom row.
void DrawScene(TKCanvas3D& canvas)
{
    canvas.Clear();
    canvas.SetSmooth(true);
    // Smooth: a large triangle through the left and top edges, one through the bottom and
    // right edges, and a third through both of them at a slant in depth.
    canvas.DrawTriangle(V(-60, 30, 2000, 0x8000, 0, 0), V(90, 150, 2000, 0, 0x8000, 0),
                        V(70, 10, 2000, 0, 0, 0x8000));
    canvas.DrawTriangle(V(100, -40, 1000, 0x8000, 0x8000, 0), V(200, 60, 3000, 0, 0x4000, 0x8000),
                        V(60, 50, 1500, 0x2000, 0x2000, 0x2000));
    canvas.DrawTriangle(V(20, 100, 500, 0x6000, 0x6000, 0x6000), V(150, 125, 3500, 0x1000, 0x7000, 0x1000),
                        V(110, -10, 3500, 0x7000, 0x1000, 0x7000));
    canvas.DrawLine(V(-20, -20, 100, 0x8000, 0x8000, 0x8000), V(180, 140, 100, 0, 0, 0x8000));
    // Flat: a small triangle in front, a line and a triangle behind the others.
    canvas.SetSmooth(false);
    canvas.DrawTriangle(V(30, 40, 300, 0x8000, 0x0800, 0x0800), V(55, 45, 300, 0x0800, 0x8000, 0x0800),
                        V(40, 70, 300, 0x0800, 0x0800, 0x8000));
    canvas.DrawLine(V(170, 20, 50, 0x8000, 0x8000, 0), V(-10, 90, 50, 0x8000, 0x8000, 0));
    canvas.DrawTriangle(V(0, 0, 9000, 0x3000, 0x3000, 0x3000), V(159, 0, 9000, 0x3000, 0x3000, 0x3000),
                        V(80, 119, 9000, 0x3000, 0x3000, 0x3000));
    // Points: a row of them, some in front and some hidden.
    for (int x = 4; x < kWidth; x += 6)
        canvas.DrawPoint(V(x, 6, (x / 6) % 3 ? 40 : 99999, 0x8000, 0x8000, 0x8000));
}

// The scene painted into a memory bitmap of the format, shown as a viewer copies it.
QImage PaintFormat(int format)
{
    const TColorBitMap map = canvas_tables::ColorBitMapOf(format);
    TOwned<TKCanvas3D> owned(TKCanvas3D::New());
    TKCanvas3D& canvas = *owned;
    canvas.SetSize(kWidth, kHeight);
    canvas.SetChannelEnabled(2, true);
    canvas.SetChannelEnabled(3, true);
    TOwned<TKCnv3DIITransformer> owner(TKCnv3DIITransformer::New());
    TKCnv3DIITransformer& curve = *owner;
    curve.AddPoint(0, 0);
    curve.AddPoint(0x8000, 0xFFFF);
    TOwned<TKMemoryBitmap> bitmap(TKMemoryBitmap::New());
    bitmap->SetPixelFormat(format);
    bitmap->SetSize(kWidth, kHeight);
    if (format == kpfIndexed8) {
        // Palette indices as the drawing system makes them: levels of channel 1 onto a grey
        // ramp at 64..191, the background at 192; the other channels add nothing.
        canvas.SetBackgroundValue(192);
        canvas.BuildChannelTable(1, &curve, nullptr, nullptr, map);
        std::vector<std::int32_t> indices(canvas.GetChannelTable(1), canvas.GetChannelTable(1) + 0x10000);
        for (int i = 0; i <= 0x8000; ++i) indices[std::size_t(i)] = indices[std::size_t(i)] / 2 + 64;
        canvas.FillChannelTable(
            1, [](void* t, std::int32_t i) { return static_cast<std::int32_t*>(t)[i]; }, indices.data());
        for (int n = 2; n <= 3; ++n)
            canvas.FillChannelTable(
                n, [](void*, std::int32_t) { return 0; }, nullptr);
        PALETTEENTRY ramp[129];
        for (int i = 0; i < 128; ++i) {
            const auto grey = BYTE(std::lround(255.0 * i / 127));
            ramp[i] = {grey, grey, grey, 0};
        }
        ramp[128] = {0x20, 0x30, 0x50, 0};
        bitmap->SetPaletteEntries(64, 129, ramp);
    } else {
        canvas.SetBackgroundColor(0x2000, 0x3000, 0x5000, map);
        for (int n = 1; n <= 3; ++n)
            canvas.BuildChannelTable(n, n == 1 ? &curve : nullptr, n == 2 ? &curve : nullptr,
                                     n == 3 ? &curve : nullptr, map);
    }
    DrawScene(canvas);
    canvas.PaintTo({bitmap->Pixels(), kWidth, kHeight, PixelFormatBits(format) / 8, bitmap->RowBytes()});

    tarvenix::test::Canvas shown(kWidth, kHeight);
    bitmap->LockCanvas();
    BitBlt(shown.dc(), 0, 0, kWidth, kHeight, bitmap->Canvas(), 0, 0, SRCCOPY);
    bitmap->UnlockCanvas();
    const std::vector<std::uint32_t> pixels = shown.Pixels();
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    for (int y = 0; y < kHeight; ++y)
        std::memcpy(image.scanLine(y), pixels.data() + std::size_t(y) * kWidth, std::size_t(kWidth) * 4);
    return image;
}

}  // namespace

TEST(CanvasGolden, TheSceneInEveryPixelFormat)
{
    for (int format = 1; format <= 6; ++format) {
        const std::string name = "canvas-" + std::to_string(format);
        const QImage painted = PaintFormat(format);
        EXPECT_TRUE(tarvenix::test::MatchesGolden(painted, "tests/plugin3d/golden", name));
    }
}
