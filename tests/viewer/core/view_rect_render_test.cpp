// The view window over real raster views: what it shows equals a picture assembled from
// the reference pyramid, the palette, the correction and the hatch, at every zoom and after
// scrolls and zoom steps; and screenshots of a radar-like scene for a person to look at.

#include <gtest/gtest.h>

#include <QImage>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <random>
#include <set>
#include <unistd.h>
#include <string>
#include <vector>

#include "outside/basecore/math_helpers.h"
#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/tags.h"
#include "outside/basecore/thread_runner.h"
#include "outside/huebook/standard_color_maps.h"
#include "tests/support/ui_helpers.h"
#include "tests/viewer/core/view_host.h"
#include "tests/viewer/core/pyramid_reference.h"
#include "viewer/core/raster_view.h"
#include "viewer/core/view_rect.h"
#include "viewer/core/viewer_messages.h"
#include "viewer/core/viewer_temp_size.h"

namespace fs = std::filesystem;
namespace ref = pyramid_reference;
using tarvenix::test::GrabWindow;
using tarvenix::test::ImagesEqual;
using tarvenix::test::PumpEvents;
using tarvenix::test::PumpUntil;
using tarvenix::test::SaveTestOutput;

namespace {

using Host = ViewHost;

/// Writes a one-layer file of `type` whose sample (x, y) is value(x, y).
template <class F>
void WriteLayer(const std::string& path, int width, int height, int type, F value)
{
    CRDPLayer out;
    ASSERT_NE(out.CreateLayer(path.c_str(), width, height, type), nullptr);
    std::vector<double> row(static_cast<std::size_t>(width));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) row[std::size_t(x)] = value(x, y);
        ASSERT_TRUE(out.SetLineFromDouble(y, row.data(), width));
    }
    ASSERT_TRUE(out.CloseLayer());
}

class ViewRectRender : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("view_rect_render_" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        ASSERT_TRUE(
            host.CreateEx(0, nullptr, "Viewer", WS_POPUP | WS_VISIBLE, CRect(0, 0, 240, 180), nullptr, 0));
        ASSERT_TRUE(view.Create(&host));
        view.MoveWindow(0, 0, 240, 180);
    }
    void TearDown() override
    {
        view.CloseAll();
        view.DestroyWindow();
        host.DestroyWindow();
        // A pyramid cache is written after the picture is shown: let its job end first.
        PumpUntil([] { return GetRunningThreadCount() == 0; });
        fs::remove_all(dir);
    }

    /// Opens the file as the first layer and waits until it is shown.
    void Open(const std::string& path, int method, double low, double high)
    {
        host.codes.clear();
        ASSERT_EQ(view.AddTransformedLayer(path.c_str(), 0, low, high, method, 0, nullptr, nullptr), 0);
        auto has = [&](int code) {
            return std::find(host.codes.begin(), host.codes.end(), code) != host.codes.end();
        };
        ASSERT_TRUE(PumpUntil([&] { return has(kViewerShown) || has(kViewerFailed); }));
        ASSERT_TRUE(has(kViewerShown));
        PumpEvents();
    }

    CSize Client()
    {
        CRect rc;
        view.GetClientRect(&rc);
        return CSize(rc.Width(), rc.Height());
    }

    /// What the window must show: the reference read at the scroll position, coloured by the
    /// palette, and the hatch right of and below the picture, anchored to it.
    QImage Expected(const std::vector<ref::Raster>& levels, const std::vector<QRgb>& colours)
    {
        const CSize c = Client();
        const double z = view.GetScale();
        const int ox = Round(view.GetScrollX()), oy = Round(view.GetScrollY());
        const int W = levels[0].width, H = levels[0].height;
        QImage img(c.cx, c.cy, QImage::Format_RGB32);
        ref::Read read;
        if (view.IsFit())
            read = ref::ReadWindow(levels, 0, 0, int(W / z), int(H / z), z, false);
        else
            read = ref::ReadWindow(levels, int(ox / z), int(oy / z), c.cx, c.cy, z, false);
        const int right = int((W - ox) / z), bottom = int((H - oy) / z);
        const int hx = -Round(ox / z), hy = -Round(oy / z);
        for (int y = 0; y < c.cy; ++y)
            for (int x = 0; x < c.cx; ++x) {
                if (x < right && y < bottom) {
                    EXPECT_LT(x, read.w);
                    EXPECT_LT(y, read.h);
                    if (x >= read.w || y >= read.h) return img;
                    img.setPixel(x, y, colours[read.values[std::size_t(y) * read.w + x]]);
                } else {
                    const int cx = ((x - hx) % 8 + 8) % 8, cy = ((y - hy) % 8 + 8) % 8;
                    img.setPixel(x, y, cx == cy || cx + cy == 7 ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
                }
            }
        return img;
    }

    fs::path dir;
    Host host;
    CViewRect view;
};

TEST_F(ViewRectRender, TheWindowEqualsTheReferencePictureAtEveryZoomAndAfterScrolls)
{
    constexpr int W = 300, H = 200;
    auto value = [](int x, int y) { return double((x * 5 + y * 11 + (x * y) % 7) & 0xFF); };
    const std::string path = (dir / "ramp.rdp").string();
    WriteLayer(path, W, H, 1, value);
    Open(path, 3, 0.0, 255.0);  // manual stretch over the whole byte range

    // A palette and a correction, both not the identity.
    BYTE palette[768], correction[256];
    for (int i = 0; i < 256; ++i) {
        palette[3 * i] = BYTE(i);
        palette[3 * i + 1] = BYTE(255 - i);
        palette[3 * i + 2] = BYTE(i * 3);
        correction[i] = BYTE(std::min(255, 20 + i * 9 / 10));
    }
    view.SetCorrectionTable(correction, 1);
    view.SetPalette(palette);
    std::vector<QRgb> colours(256);
    for (int i = 0; i < 256; ++i)
        colours[std::size_t(i)] =
            qRgb(correction[palette[3 * i]], correction[palette[3 * i + 1]], correction[palette[3 * i + 2]]);

    CVirtualView* active = view.GetActiveView();
    ASSERT_NE(active, nullptr);
    std::vector<std::uint8_t> samples(std::size_t(W) * H);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) samples[std::size_t(y) * W + x] = std::uint8_t(value(x, y));
    const auto levels = ref::Levels(
        ref::MapLayer(1, samples.data(), W, W, H, 0, active->GetDisplayMin(1), active->GetDisplayMax(1)),
        PyramidLevelCount(W, H));

    auto check = [&](const std::string& what) {
        const CSize c = Client();
        const QImage shown = GrabWindow(view).copy(0, 0, c.cx, c.cy);
        EXPECT_TRUE(ImagesEqual(shown, Expected(levels, colours), "view_rect_golden_" + what)) << what;
    };

    for (double z : {1.0, 2.0, 3.0, 0.5, 1.0 / 3}) {
        view.SetScale(z);
        view.Invalidate();
        const std::string name = "z" + std::to_string(z);
        check(name);
        struct Move {
            UINT message, code;
            const char* name;
        };
        for (const Move m :
             {Move{WM_HSCROLL, SB_LINERIGHT, "line-right"}, Move{WM_VSCROLL, SB_LINEDOWN, "line-down"},
              Move{WM_HSCROLL, SB_PAGERIGHT, "page-right"}, Move{WM_VSCROLL, SB_LINEUP, "line-up"},
              Move{WM_HSCROLL, SB_LINELEFT, "line-left"}}) {
            view.SendMessage(m.message, MAKEWPARAM(m.code, 0), 0);
            check(name + "-" + m.name);
        }
        view.SendMessage(WM_HSCROLL, MAKEWPARAM(SB_LEFT, 0), 0);
        view.SendMessage(WM_VSCROLL, MAKEWPARAM(SB_TOP, 0), 0);
    }
    // A window resized at 1:1 shows the picture with its new width, not the old row stride.
    view.RealScale();
    CRect outer;
    view.GetWindowRect(&outer);
    for (int dw : {-37, 23}) {
        view.SetWindowPos(nullptr, 0, 0, outer.Width() + dw, outer.Height() - 11, SWP_NOMOVE | SWP_NOZORDER);
        view.UpdateWindow();
        check("resized" + std::to_string(dw));
    }
    view.SetWindowPos(nullptr, 0, 0, outer.Width(), outer.Height(), SWP_NOMOVE | SWP_NOZORDER);

    // Zoom steps at the mouse.
    view.RealScale();
    view.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(120, 90));
    view.ZoomIn();
    check("zoom-in");
    view.ZoomIn();
    check("zoom-in-2");
    view.ZoomOut();
    view.ZoomOut();
    view.ZoomOut();
    check("zoom-out");

    view.FitToWindow();
    ASSERT_GE(view.GetScale(), 1.0);
    check("fit");
}

// --- opening -------------------------------------------------------------------------------------

TEST_F(ViewRectRender, AFileThatCannotBeOpenedLeavesTheStackAsItWas)
{
    host.codes.clear();
    EXPECT_EQ(
        view.AddTransformedLayer((dir / "missing.rdp").string().c_str(), 0, 0, 0, 0, 0, nullptr, nullptr),
        -1);
    EXPECT_EQ(view.GetViewCount(), 0);
    EXPECT_EQ(view.GetActiveView(), nullptr);
    PumpEvents();
    ASSERT_EQ(host.codes.size(), 1u);
    EXPECT_EQ(host.codes[0], kViewerFailed);
}

TEST_F(ViewRectRender, ANewBlankFileAndAMissingBufferFollowTheStackRules)
{
    host.codes.clear();
    EXPECT_EQ(view.AddRasterLayer("raw", nullptr, 10, 10, 1, nullptr, nullptr, 0, 1, nullptr, nullptr), -1);
    EXPECT_EQ(view.GetViewCount(), 0);
    EXPECT_EQ(view.AddBlankLayer((dir / "no-such-folder" / "new.rdp").string().c_str(), 64, 32, 1, 0, nullptr,
                                 nullptr),
              -1);
    EXPECT_EQ(view.GetViewCount(), 0);
    PumpEvents();
    EXPECT_EQ(std::count(host.codes.begin(), host.codes.end(), kViewerFailed), 1)
        << "a failed creation reaches the frame once";

    host.codes.clear();
    ASSERT_EQ(view.AddBlankLayer((dir / "new.rdp").string().c_str(), 64, 32, 1, 0, nullptr, nullptr), 0);
    ASSERT_TRUE(
        PumpUntil([&] { return std::count(host.codes.begin(), host.codes.end(), kViewerShown) > 0; }));
    PumpEvents();
    EXPECT_EQ(view.GetImageWidthPx(), 64);
    EXPECT_EQ(view.GetImageHeightPx(), 32);
    EXPECT_FALSE(view.HasGeoTransform());
    // All zeros: one colour over the picture, the hatch beside it.
    const QImage img = GrabWindow(view).copy();
    const QRgb zero = img.pixel(0, 0);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 64; ++x) ASSERT_EQ(img.pixel(x, y), zero);
}

/// Writes the geographic reference of a 100 x 50 raster whose corners (0, 0), (100, 0) and
/// (0, 50) lie at the given longitudes and latitudes; `compact` is the read-out spacing.
void WriteGeoTags(const std::string& path, double lon0, double lat0, double lonStep, double latStep,
                  int compact)
{
    struct {
        std::int32_t valid = 1, version = 1;
        double points[8];
    } p302;
    const double corners[4][2] = {
        {lat0, lon0}, {lat0, lon0 + 100 * lonStep}, {lat0 + 50 * latStep, lon0}, {0, 0}};
    for (int i = 0; i < 4; ++i) {
        p302.points[2 * i] = corners[i][0];
        p302.points[2 * i + 1] = corners[i][1];
    }
    static_assert(sizeof p302 == 72);
    const std::int32_t p303[6] = {1, 1, 100, 50, 0, 0};
    const std::int32_t p671[3] = {1, 1, compact};
    ASSERT_TRUE(SetTag(path.c_str(), 302, sizeof p302, &p302));
    ASSERT_TRUE(SetTag(path.c_str(), 303, sizeof p303, p303));
    ASSERT_TRUE(SetTag(path.c_str(), 671, sizeof p671, p671));
}

TEST_F(ViewRectRender, TheFirstFileGivesTheGeographicReadOut)
{
    struct Case {
        double lon0, lat0;
        int compact;
        const char* text;  // at pixel (0, 0)
    };
    const Case cases[] = {
        {12.5, 45.25, 0, " Longitude:  12\u00b0  30' 0''   Latitude:  45\u00b0  15' 0'' "},
        {-0.5, 45.25, 1, " Longitude: 0\u00b0  30' 0''   Latitude: 45\u00b0  15' 0'' "},
    };
    for (const Case& c : cases) {
        const std::string path = (dir / "geo.rdp").string();
        WriteLayer(path, 100, 50, 1, [](int x, int y) { return double(x + y); });
        WriteGeoTags(path, c.lon0, c.lat0, 0.01, -0.01, c.compact);
        view.CloseAll();
        Open(path, 1, 0.0, 0.0);
        ASSERT_TRUE(view.HasGeoTransform());
        char zoom[16], pixel[32], value[32], coord[128];
        view.FormatPointInfo(0, 0, zoom, sizeof zoom, pixel, sizeof pixel, value, sizeof value, coord,
                             sizeof coord);
        EXPECT_STREQ(coord, c.text);
        EXPECT_STREQ(value, "0");
        // A buffer that ends inside the degree sign is cut before it.
        const std::string text(c.text);
        const std::size_t degree = text.find("\u00b0");
        std::vector<char> cut(degree + 2);
        view.FormatPointInfo(0, 0, nullptr, 0, nullptr, 0, nullptr, 0, cut.data(), int(cut.size()));
        EXPECT_EQ(std::string(cut.data()), text.substr(0, degree));
    }
    // A second file does not change the first one's reference.
    const std::string plain = (dir / "plain.rdp").string();
    WriteLayer(plain, 100, 50, 1, [](int x, int y) { return double(x * y); });
    ASSERT_EQ(view.AddTransformedLayer(plain.c_str(), 0, 0, 0, 1, 0, nullptr, nullptr), 1);
    EXPECT_TRUE(view.HasGeoTransform());
}

// --- screenshots for a person --------------------------------------------------------------------

/// A radar-like scene: fields of different brightness with speckle, a dark river, a few
/// bright point targets and a town of bright blocks.
double RadarScene(int x, int y, std::mt19937& rng)
{
    const double fx = x / 2048.0, fy = y / 2048.0;
    const int field = (int(fx * 6 + 0.4 * std::sin(fy * 7)) * 3 + int(fy * 5 + 0.3 * std::sin(fx * 5))) % 5;
    double mean = 40.0 + field * 22.0;
    const double river = std::fabs(fy - 0.55 - 0.08 * std::sin(fx * 11.0));
    if (river < 0.012) mean = 6.0;
    if (fx > 0.68 && fx < 0.86 && fy > 0.12 && fy < 0.3 && (x / 24 + y / 24) % 3 == 0) mean = 220.0;
    std::exponential_distribution<double> speckle(1.0);
    double v = mean * speckle(rng);
    if ((x % 311 == 17 && y % 277 == 40) || (x == 1500 && y > 1700 && y < 1720)) v = 4000.0;
    return v;
}

TEST_F(ViewRectRender, ScreenshotsOfARadarScene)
{
    constexpr int N = 2048;
    const std::string path = (dir / "scene.rdp").string();
    std::mt19937 rng(7);
    WriteLayer(path, N, N, 7, [&](int x, int y) { return RadarScene(x, y, rng); });
    host.MoveWindow(0, 0, 800, 600);
    view.MoveWindow(0, 0, 800, 600);
    Open(path, 2, 0.0, 0.0);  // mean plus and minus two deviations

    auto shoot = [&](const std::string& name) {
        const QImage img = GrabWindow(view).copy();
        EXPECT_FALSE(SaveTestOutput(img, name).empty());
        return img;
    };
    struct Shot {
        const char* name;
        double scale;  // 0: fitted
    };
    const Shot shots[] = {{"fit", 0.0}, {"100", 1.0}, {"400", 0.25}, {"25", 4.0}};
    for (int coloured = 0; coloured < 2; ++coloured) {
        if (coloured) {
            CColorMap map;
            for (int i = 0; i < GetStandartColorMapCount(); ++i)
                if (GetStandartColorMap(i, &map) && map.GetName() == CString("Hot")) break;
            ASSERT_EQ(map.GetName(), CString("Hot"));
            // Stretched over the shown range, as the palette dialog hands a map over.
            map.SetMinMax(view.GetActiveView()->GetDisplayMin(1), view.GetActiveView()->GetDisplayMax(1));
            view.SetPaletteMode(&map);
        }
        for (const Shot& s : shots) {
            if (s.scale == 0.0) {
                view.FitToWindow();
            } else {
                view.RealScale();
                view.SetScale(s.scale);
                view.CenterOn(1450, 420);
                view.Invalidate();
            }
            const QImage img =
                shoot(std::string("view_rect_radar_") + (coloured ? "colour_" : "grey_") + s.name);
            // Something of the scene shows: more than a handful of distinct colours.
            std::set<QRgb> distinct;
            for (int y = 0; y < img.height(); y += 7)
                for (int x = 0; x < img.width(); x += 7) distinct.insert(img.pixel(x, y));
            EXPECT_GT(distinct.size(), 20u) << s.name;
        }
    }
}

}  // namespace
