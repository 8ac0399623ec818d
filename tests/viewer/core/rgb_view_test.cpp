#include "viewer/core/rgb_view.h"

#include <gtest/gtest.h>

#include <QImage>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include "outside/basecore/rdp_except.h"
#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/thread_runner.h"
#include "platform/gdi/dc.h"
#include "tests/platform/gdi/canvas.h"
#include "tests/support/layer_files.h"
#include "tests/support/modal_responder.h"
#include "tests/support/test_environment.h"
#include "tests/support/ui_helpers.h"
#include "viewer/core/raster_view.h"
#include "viewer/core/raster_view_cache.h"
#include "viewer/core/raster_view_jobs.h"
#include "viewer/core/raster_view_services.h"
#include "viewer/core/view_rect.h"
#include "viewer/core/view_result_param.h"
#include "viewer/core/viewer_messages.h"

namespace fs = std::filesystem;
using tarvenix::test::GrabWindow;
using tarvenix::test::PumpEvents;
using tarvenix::test::PumpUntil;
using tarvenix::test::SaveTestOutput;

namespace {

template <class F>
void WriteChannel(const std::string& path, int width, int height, F value)
{
    CRDPLayer out;
    ASSERT_NE(out.CreateLayer(path.c_str(), width, height, 7), nullptr);
    std::vector<double> row(static_cast<std::size_t>(width));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) row[std::size_t(x)] = value(x, y);
        ASSERT_TRUE(out.SetLineFromDouble(y, row.data(), width));
    }
    ASSERT_TRUE(out.CloseLayer());
}

class RgbHost : public CWnd {
public:
    std::vector<std::pair<int, int>> notes;  ///< (code, arg)

protected:
    LRESULT OnViewer(WPARAM wParam, LPARAM lParam)
    {
        auto* note = reinterpret_cast<CViewNotify*>(wParam);
        notes.emplace_back(int(lParam), note ? note->m_nArg : -1);
        delete note;
        return 1;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(RgbHost, CWnd)
    ON_MESSAGE(WM_VIEWER, OnViewer)
END_MESSAGE_MAP()

class RgbViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("rgb_view_" + std::to_string(::getpid()));
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
        // Jobs still writing into the folder end first.
        tarvenix::test::PumpUntil([] { return GetRunningThreadCount() == 0; });
        fs::remove_all(dir);
    }
    std::string Path(const char* name) { return (dir / name).string(); }
    /// Opens the three files and waits for the outcome; returns the notification's code.
    int OpenRgb(const std::string& r, const std::string& g, const std::string& b)
    {
        ViewResultParam p[3];
        const std::string* files[3] = {&r, &g, &b};
        for (int i = 0; i < 3; ++i) {
            p[i].fileName = files[i]->c_str();
            p[i].stretchMethod = 3;
            p[i].stretchLow = 0.0;
            p[i].stretchHigh = 255.0;
        }
        host.notes.clear();
        EXPECT_GE(view.AddRgbLayer(&p[0], &p[1], &p[2], nullptr, nullptr), 0);
        EXPECT_TRUE(PumpUntil([&] { return !host.notes.empty(); }));
        PumpEvents();
        return host.notes.empty() ? -1 : host.notes.front().first;
    }
    CRGBView* Rgb() { return dynamic_cast<CRGBView*>(view.GetActiveView()); }

    fs::path dir;
    RgbHost host;
    CViewRect view;
};

TEST(RgbViewName, TheCompositeNameDropsEveryKindOfFolder)
{
    EXPECT_EQ(CRGBView::CompositeName("C:\\data\\radar\\r.rdp", "C:\\data\\radar\\g.rdp", "/home/a/b.rdp"),
              CString("r.rdp, g.rdp, b.rdp"));
}

TEST_F(RgbViewTest, TheCompositePutsEachChannelIntoItsByteThroughItsTable)
{
    const int W = 13, H = 9;  // a width that is not a multiple of 4
    WriteChannel(Path("r.rdp"), W, H, [](int x, int y) { return x == 2 && y == 3 ? 12.0 : 10.0 * x; });
    WriteChannel(Path("g.rdp"), W, H, [](int x, int y) { return x == 2 && y == 3 ? 7.5 : 20.0 * y; });
    WriteChannel(Path("b.rdp"), W, H, [](int x, int y) { return x == 2 && y == 3 ? 0.0 : 5.0 * (x + y); });
    ASSERT_EQ(OpenRgb(Path("r.rdp"), Path("g.rdp"), Path("b.rdp")), kViewerShown);
    EXPECT_EQ(host.notes.front().second, 0) << "a first open notifies with code 0";
    CRGBView* rgb = Rgb();
    ASSERT_NE(rgb, nullptr);
    EXPECT_EQ(view.GetViewKind(), kViewKindRgb);
    EXPECT_EQ(view.GetLayerName(), CString("r.rdp, g.rdp, b.rdp"));
    EXPECT_EQ(rgb->GetValueText(2, 3), CString("(12,7.5,0)"));
    for (const int c : {1, 2}) {
        EXPECT_DOUBLE_EQ(rgb->Min(c), -1.0);
        EXPECT_EQ(rgb->GetComplexMode(c), -1);
        EXPECT_EQ(rgb->GetDataType(c), 0);
        EXPECT_TRUE(rgb->GetFileName(c).IsEmpty());
    }
    EXPECT_EQ(rgb->GetFileName(4), CString(Path("g.rdp").c_str()));

    const int stride = 3 * 16 + 5;  // padding after each row
    auto render = [&] {
        std::vector<BYTE> out(std::size_t(stride) * H, 0xEE);
        rgb->RenderRGB(0, 0, W, H, stride, 0, 1.0, FALSE, out.data(), nullptr);
        return out;
    };
    const std::vector<BYTE> plain = render();
    for (int i = 0; i < 3; ++i) {
        std::vector<BYTE> levels(std::size_t(W) * H);
        ASSERT_TRUE(
            rgb->Channel(3 + i)->ReadLevels(levels.data(), W, 0, 0, W, H, 1.0, FALSE, 1, FALSE, nullptr));
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                ASSERT_EQ(plain[std::size_t(y) * stride + 3 * x + (2 - i)], levels[std::size_t(y) * W + x])
                    << "channel " << i << " at " << x << "," << y;
    }
    BYTE invert[256];
    for (int i = 0; i < 256; ++i) invert[i] = BYTE(255 - i);
    view.SetCorrectionTable(invert, 4);
    const std::vector<BYTE> corrected = render();
    for (int y = 0; y < H; ++y)
        for (int b = 0; b < stride; ++b) {
            const std::size_t at = std::size_t(y) * stride + b;
            if (b < 3 * W && b % 3 == 1)
                ASSERT_EQ(corrected[at], 255 - plain[at]) << b;
            else
                ASSERT_EQ(corrected[at], plain[at]) << "byte " << b << " of row " << y;
        }
    for (int y = 0; y < H; ++y)
        for (int b = 3 * W; b < stride; ++b) ASSERT_EQ(plain[std::size_t(y) * stride + b], 0xEE) << "padding";
}

TEST_F(RgbViewTest, AMissingOrMismatchedChannelFailsAndDrawsNothing)
{
    WriteChannel(Path("r.rdp"), 20, 10, [](int x, int) { return 10.0 * x; });
    WriteChannel(Path("b.rdp"), 20, 10, [](int, int y) { return 20.0 * y; });
    WriteChannel(Path("small.rdp"), 19, 10, [](int, int) { return 1.0; });
    for (const char* green : {"missing.rdp", "small.rdp"}) {
        // Straight to a window of our own: the view window drops a failed layer.
        CRGBView rgb;
        ViewResultParam p[3];
        p[0].fileName = Path("r.rdp").c_str();
        p[1].fileName = Path(green).c_str();
        p[2].fileName = Path("b.rdp").c_str();
        host.notes.clear();
        rgb.OpenLayers(7, &host, &p[0], &p[1], &p[2], nullptr, nullptr);
        ASSERT_TRUE(PumpUntil([&] { return !host.notes.empty(); }));
        EXPECT_EQ(host.notes.front().first, kViewerFailed) << green;
        EXPECT_NE(rgb.Channel(3), nullptr) << "red stays open";
        EXPECT_TRUE(rgb.GetValueText(1, 1).IsEmpty());
        std::vector<BYTE> out(3 * 20 * 10, 0xAB);
        rgb.RenderRGB(0, 0, 20, 10, 60, 0, 1.0, FALSE, out.data(), nullptr);
        EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](BYTE b) { return b == 0xAB; }));
    }
    ASSERT_EQ(OpenRgb(Path("r.rdp"), Path("missing.rdp"), Path("b.rdp")), kViewerFailed);
    EXPECT_EQ(view.GetViewCount(), 0);
}

// A channel whose display cache turns out damaged when a draw first reads it shows nothing
// of the picture; the channel's cache is built again, byte for byte, and the next draw
// shows the picture as before. A render meeting the damage fails with a message.
TEST_F(RgbViewTest, ADamagedChannelCacheIsBuiltAgainByTheDraw)
{
    const int W = 300, H = 200;
    WriteChannel(Path("r.rdp"), W, H, [](int x, int) { return 0.8 * x; });
    WriteChannel(Path("g.rdp"), W, H, [](int x, int y) { return (x * 7 + y * 3) % 256; });
    WriteChannel(Path("b.rdp"), W, H, [](int, int y) { return 1.2 * y; });
    const COLORREF background = RGB(1, 2, 3);
    auto draw = [&](CRGBView& rgb, double zoom) {
        tarvenix::test::Canvas canvas(W, H, background);
        rgb.SetZoom(zoom, 0);
        rgb.DrawEx(CDC::FromHandle(canvas.dc()), 0, 0, W, H, zoom, FALSE, nullptr, nullptr);
        return canvas.Pixels();
    };
    auto open = [&](CRGBView& rgb) {
        ViewResultParam p[3];
        const char* files[3] = {"r.rdp", "g.rdp", "b.rdp"};
        for (int i = 0; i < 3; ++i) {
            p[i].fileName = Path(files[i]).c_str();
            p[i].stretchMethod = 3;
            p[i].stretchHigh = 255.0;
        }
        host.notes.clear();
        rgb.OpenLayers(7, &host, &p[0], &p[1], &p[2], nullptr, nullptr);
        EXPECT_TRUE(PumpUntil([&] { return !host.notes.empty(); }));
        rgb.SetShown(TRUE);
        return host.notes.empty() ? -1 : host.notes.front().first;
    };
    std::vector<std::uint32_t> shown[2];
    std::string cache, built;
    {
        CRGBView rgb;
        ASSERT_EQ(open(rgb), kViewerShown);
        shown[0] = draw(rgb, 1.0);
        shown[1] = draw(rgb, 2.0);
        cache = rgb.Channel(4)->GetCacheFileName().str();
    }
    ASSERT_FALSE(cache.empty());
    built = tarvenix::test::ReadWholeFile(cache);
    ASSERT_EQ(std::int64_t(built.size()), RasterCacheFileBytes(W, H));
    const std::vector<std::uint32_t> blank(std::size_t(W) * H, 0x010203);
    ASSERT_NE(shown[0], blank);

    struct Case {
        const char* name;
        std::int64_t at;
        double zoomReadingIt;
    };
    const Case cases[] = {
        {"a byte of the first tile", kCacheHeaderBytes + 5000, 1.0},
        {"a byte of the last tile", RasterCacheTileSumsOffset(W, H) - 1, 2.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string damaged = built;
        damaged[std::size_t(c.at)] ^= 0x5A;
        tarvenix::test::WriteWholeFile(cache, damaged);
        CRGBView rgb;
        ASSERT_EQ(open(rgb), kViewerShown);
        EXPECT_TRUE(draw(rgb, c.zoomReadingIt) == blank) << "nothing of the damaged cache is shown";
        EXPECT_TRUE(rgb.IsBusy()) << "the channel is being built again";
        host.notes.clear();
        ASSERT_TRUE(PumpUntil([&] { return !host.notes.empty(); }));
        EXPECT_EQ(host.notes.front(), std::make_pair(int(kViewerShown), 15)) << "drawn again at its zoom";
        EXPECT_TRUE(PumpUntil([] { return GetRunningThreadCount() == 0; }));
        EXPECT_TRUE(draw(rgb, 1.0) == shown[0]) << "drawn as before";
        EXPECT_TRUE(draw(rgb, 2.0) == shown[1]) << "drawn as before";
        EXPECT_TRUE(tarvenix::test::ReadWholeFile(cache) == built) << "built again as it was";
    }

    // A render on a worker cannot build again: it fails with the message.
    std::string damaged = built;
    damaged[std::size_t(kCacheHeaderBytes + 5000)] ^= 0x5A;
    tarvenix::test::WriteWholeFile(cache, damaged);
    CRGBView rgb;
    ASSERT_EQ(open(rgb), kViewerShown);
    std::vector<BYTE> out(std::size_t(3 * W) * H);
    CString message;
    try {
        rgb.RenderRGB(0, 0, W, H, 3 * W, 0, 1.0, FALSE, out.data(), nullptr);
    } catch (CRDPExcept* e) {
        message = e->GetMessage();
        e->Delete();
    }
    EXPECT_EQ(
        message,
        CString("The picture's display cache is damaged; it is built again when the picture is shown."));
}

TEST_F(RgbViewTest, ScreenshotOfASyntheticComposite)
{
    const int N = 200;
    WriteChannel(Path("r.rdp"), N, N,
                 [](int x, int y) { return 255.0 * (0.5 + 0.5 * std::sin(x * 0.05 + y * 0.02)); });
    WriteChannel(Path("g.rdp"), N, N,
                 [&](int x, int y) { return std::hypot(x - 100.0, y - 80.0) < 50 ? 230.0 : 40.0; });
    WriteChannel(Path("b.rdp"), N, N, [](int, int y) { return 255.0 * y / 200.0; });
    ASSERT_EQ(OpenRgb(Path("r.rdp"), Path("g.rdp"), Path("b.rdp")), kViewerShown);
    view.Invalidate();
    view.UpdateWindow();
    const QImage shot = GrabWindow(view).copy();
    SaveTestOutput(shot, "rgb_view_composite");
    std::vector<BYTE> out(std::size_t(3 * 4) * 1);
    Rgb()->RenderRGB(100, 80, 1, 1, 12, 0, 1.0, FALSE, out.data(), nullptr);
    EXPECT_EQ(shot.pixel(100, 80) & 0xFFFFFF, qRgb(out[2], out[1], out[0]) & 0xFFFFFFu)
        << "the window shows the composite's bytes";
}

TEST_F(RgbViewTest, AProfileShowsTheThreeChannelsInTheirColours)
{
    const int W = 6, H = 4;
    WriteChannel(Path("r.rdp"), W, H, [](int x, int y) { return x + 10.0 * y; });
    WriteChannel(Path("g.rdp"), W, H, [](int x, int y) { return 2.0 * x + y; });
    WriteChannel(Path("b.rdp"), W, H, [](int x, int y) { return 100.0 - x - y; });
    ASSERT_EQ(OpenRgb(Path("r.rdp"), Path("g.rdp"), Path("b.rdp")), kViewerShown);
    static RasterProfileRequest shown;
    const auto saved = GetRasterViewServices().showProfile;
    GetRasterViewServices().showProfile = [](const RasterProfileRequest& r) -> BOOL {
        shown = r;
        return TRUE;
    };
    Rgb()->ShowProfile(2, 4, &host, nullptr);  // column 4
    GetRasterViewServices().showProfile = saved;
    EXPECT_EQ(shown.caption, CString("Profile along Y axis with X= 4"));
    EXPECT_TRUE(shown.values.empty());
    ASSERT_EQ(shown.more.size(), 3u);
    const COLORREF colours[3] = {0x0000FF, 0x00FF00, 0xFF0000};
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(shown.more[std::size_t(c)].colour, colours[c]);
        ASSERT_EQ(shown.more[std::size_t(c)].values.size(), std::size_t(H));
    }
    EXPECT_EQ(shown.more[0].values, (std::vector<double>{4, 14, 24, 34}));
    EXPECT_EQ(shown.more[1].values, (std::vector<double>{8, 9, 10, 11}));
    EXPECT_EQ(shown.more[2].values, (std::vector<double>{96, 95, 94, 93}));
}

TEST_F(RgbViewTest, SavingARectangleWritesEachChannelsPartAndSkipsOnlyTheOneThatCannotBeMade)
{
    const int W = 9, H = 7;
    WriteChannel(Path("r.rdp"), W, H, [](int x, int y) { return x + 10.0 * y; });
    WriteChannel(Path("g.rdp"), W, H, [](int x, int y) { return 3.0 * x - y; });
    WriteChannel(Path("b.rdp"), W, H, [](int x, int y) { return 50.0 + x * y; });
    const char* sources[3] = {"r.rdp", "g.rdp", "b.rdp"};
    auto* record = new RgbSaveRecord;
    record->rect = RECT{6, 5, 2, 1};  // corners either way round: columns 2..6, rows 1..5
    for (int i = 0; i < 3; ++i) record->source[i] = Path(sources[i]).c_str();
    record->destination[0] = Path("out_r.rdp").c_str();
    record->destination[1] = Path("no_such_folder/out_g.rdp").c_str();
    record->destination[2] = Path("out_b.rdp").c_str();
    auto& responder = tarvenix::test::Responder();
    responder.AnswerMessageBox(IDOK);
    SaveRgbRectJob(record, nullptr);
    ASSERT_EQ(responder.Asked().size(), 1u);
    EXPECT_EQ(responder.Asked()[0].text, CString("Error creating file !"));
    for (int i : {0, 2}) {
        int w = 0, h = 0;
        const std::vector<double> part =
            tarvenix::test::ReadLayer(Path(i == 0 ? "out_r.rdp" : "out_b.rdp"), &w, &h);
        int sw = 0, sh = 0;
        const std::vector<double> source = tarvenix::test::ReadLayer(Path(sources[i]), &sw, &sh);
        ASSERT_EQ(w, 5);
        ASSERT_EQ(h, 5);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                EXPECT_EQ(part[std::size_t(y * w + x)], source[std::size_t((y + 1) * sw + x + 2)]) << i;
    }
}

TEST_F(RgbViewTest, AFailedRectangleSaveReplacesNoEarlierFile)
{
    WriteChannel(Path("r.rdp"), 8, 8, [](int x, int) { return double(x); });
    WriteChannel(Path("old.rdp"), 3, 3, [](int, int) { return 42.0; });
    auto* record = new RgbSaveRecord;
    record->rect = RECT{0, 0, 3, 3};
    record->source[0] = Path("r.rdp").c_str();
    record->source[1] = Path("missing.rdp").c_str();  // the job fails on the second channel
    record->source[2] = Path("r.rdp").c_str();
    record->destination[0] = Path("old.rdp").c_str();
    record->destination[1] = Path("g_out.rdp").c_str();
    record->destination[2] = Path("b_out.rdp").c_str();
    bool failed = false;
    try {
        SaveRgbRectJob(record, nullptr);
    } catch (CRDPExcept* e) {
        failed = true;
        e->Delete();
    }
    EXPECT_TRUE(failed);
    int w = 0, h = 0;
    const std::vector<double> kept = tarvenix::test::ReadLayer(Path("old.rdp"), &w, &h);
    EXPECT_EQ(w, 3);
    EXPECT_EQ(kept, std::vector<double>(9, 42.0));
    EXPECT_FALSE(fs::exists(Path("g_out.rdp")));
    EXPECT_FALSE(fs::exists(Path("b_out.rdp")));
    for (const auto& entry : fs::directory_iterator(dir))
        EXPECT_EQ(entry.path().extension(), ".rdp") << "no temporary is left: " << entry.path();
}

}  // namespace
