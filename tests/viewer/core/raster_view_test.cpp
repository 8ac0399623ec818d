#include "viewer/core/raster_view.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QImage>

#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "outside/basecore/coord_law_data.h"
#include "outside/basecore/data_type.h"
#include "outside/basecore/file_helpers.h"
#include "outside/basecore/rdp_except.h"
#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/settings.h"
#include "outside/basecore/tags.h"
#include "outside/huebook/color_map.h"
#include "platform/gdi/gdi.h"
#include "platform/gdi/region.h"
#include "tests/outside/basecore/layer_test_support.h"
#include "tests/platform/gdi/canvas.h"
#include "tests/support/recording_meter.h"
#include "tests/support/test_environment.h"
#include "tests/support/ui_helpers.h"
#include "tests/viewer/core/pyramid_reference.h"
#include "tests/viewer/core/temp_dir_setting.h"
#include "viewer/core/raster_view_cache.h"
#include "viewer/core/raster_view_jobs.h"
#include "viewer/core/raster_view_services.h"
#include "viewer/core/tile_pyramid.h"
#include "outside/basecore/thread_runner.h"
#include "viewer/core/viewer_temp_size.h"

namespace fs = std::filesystem;
using tarvenix::test::Canvas;
using tarvenix::test::PumpEvents;
using tarvenix::test::PumpUntil;
using tarvenix::test::RecordingMeter;
using tarvenix::test::TempDir;

namespace {

/// The view window stand-in: counts the notifications a view sends and frees their records.
class NotifyWindow : public CWnd {
public:
    NotifyWindow()
    {
        EXPECT_TRUE(
            CreateEx(0, nullptr, "raster view test", WS_OVERLAPPEDWINDOW, CRect(0, 0, 120, 80), nullptr, 0));
    }
    ~NotifyWindow() override
    {
        PumpEvents();  // reports still queued are taken (and their records freed) first
        DestroyWindow();
    }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_VIEWER) {
            auto* record = reinterpret_cast<CViewNotify*>(wParam);
            codes.push_back(int(lParam));
            delete record;
            return 0;
        }
        return CWnd::WindowProc(message, wParam, lParam);
    }
    int Count(int code) const { return int(std::count(codes.begin(), codes.end(), code)); }
    /// Waits until the view reports its picture ready (2) or failed (3); returns the code.
    int WaitForResult()
    {
        const size_t before = Results();
        PumpUntil([&] { return Results() > before; });
        // A build writes its cache file after it reported; tests look at files after that.
        PumpUntil([] { return GetRunningThreadCount() == 0; });
        for (auto it = codes.rbegin(); it != codes.rend(); ++it)
            if (*it == kViewerShown || *it == kViewerFailed) return *it;
        return 0;
    }
    size_t Results() const { return size_t(Count(kViewerShown) + Count(kViewerFailed)); }
    std::vector<int> codes;
};

/// Writes a one-layer file of `type` from doubles (pairs for complex types); closing it
/// computes its statistics.
void WriteLayer(const std::string& path, int width, int height, int type,
                const std::function<std::pair<double, double>(int, int)>& value)
{
    CRDPLayer out;
    ASSERT_NE(out.CreateLayer(path.c_str(), width, height, type), nullptr);
    const int parts = isComplexType(type) ? 2 : 1;
    std::vector<double> row(static_cast<size_t>(width) * parts);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const auto [re, im] = value(x, y);
            row[size_t(x) * parts] = re;
            if (parts == 2) row[size_t(x) * parts + 1] = im;
        }
        ASSERT_TRUE(out.SetLineFromDouble(y, row.data(), width));
    }
    ASSERT_TRUE(out.CloseLayer());
}

void WriteRamp(const std::string& path, int width, int height, double offset = 0.0)
{
    WriteLayer(path, width, height, 7, [&](int x, int y) {
        return std::pair{offset + std::sin(x * 0.05) * 40 + y * 0.5 + x * 0.25, 0.0};
    });
}

std::string Text(double v)
{
    char b[64];
    std::snprintf(b, sizeof b, "%g", v);
    return b;
}

/// Opens `path` in `view` and waits for its report.
int OpenAndWait(CRasterView& view, NotifyWindow& wnd, const std::string& path, int mode = 0, int method = 1,
                double low = 0.0, double high = 0.0, CMeterInfoBase* meter = nullptr)
{
    PumpEvents();  // earlier reports must not count for this one
    if (!view.Open(0, &wnd, path.c_str(), mode, low, high, method, 0, meter, nullptr)) return -1;
    return wnd.WaitForResult();
}

/// Opens `view` on `path`, waits until it shows and its job (if any) has ended, and tells
/// whether the open built the pyramid (its job reported progress) instead of taking a cache.
/// A job on a small layer may be over before the next statement, so whether it is still
/// running says nothing.
bool OpenBuilds(CRasterView& view, NotifyWindow& wnd, const std::string& path, int method = 1,
                double low = 0.0, double high = 0.0)
{
    RecordingMeter meter;
    EXPECT_EQ(OpenAndWait(view, wnd, path, 0, method, low, high, &meter), kViewerShown);
    EXPECT_TRUE(PumpUntil([] { return GetRunningThreadCount() == 0; }));
    return meter.Reports() > 0 || !meter.Texts().empty();
}

/// A folder nobody can create files in, root included (the immutable flag where the file
/// system has it); Writable() tells whether that worked.
class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(const fs::path& folder) : m_folder(folder)
    {
        ::chmod(folder.c_str(), 0555);
        SetImmutable(true);
    }
    ~ReadOnlyFolder()
    {
        SetImmutable(false);
        ::chmod(m_folder.c_str(), 0755);
    }
    bool Writable() const
    {
        const fs::path probe = m_folder / "probe";
        const int fd = ::open(probe.c_str(), O_CREAT | O_WRONLY, 0644);
        if (fd < 0) return false;
        ::close(fd);
        ::unlink(probe.c_str());
        return true;
    }

private:
    void SetImmutable(bool on)
    {
        const int fd = ::open(m_folder.c_str(), O_RDONLY | O_DIRECTORY);
        if (fd < 0) return;
        int flags = 0;
        if (::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
            flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
            ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
        }
        ::close(fd);
    }
    fs::path m_folder;
};

std::vector<BYTE> ColorMapRecord(std::uint32_t format, std::uint32_t count)
{
    std::vector<BYTE> r(48 + 20 * size_t(count), 0);
    const std::uint32_t total = std::uint32_t(r.size()), head = 48;
    std::memcpy(r.data(), &total, 4);
    std::memcpy(r.data() + 4, &head, 4);
    std::memcpy(r.data() + 8, &format, 4);
    std::memcpy(r.data() + 12, &count, 4);
    const double lo = 0, hi = 1;
    std::memcpy(r.data() + 16, &lo, 8);
    std::memcpy(r.data() + 24, &hi, 8);
    for (std::uint32_t i = 0; i < count; ++i) {
        const double v = count > 1 ? double(i) / (count - 1) : 0.0;
        const COLORREF c = i ? RGB(255, 0, 0) : RGB(0, 0, 255);
        std::memcpy(r.data() + 48 + 20 * i, &v, 8);
        std::memcpy(r.data() + 48 + 20 * i + 8, &c, 4);
    }
    return r;
}

QImage ToImage(const Canvas& c)
{
    QImage image(c.width(), c.height(), QImage::Format_RGB32);
    for (int y = 0; y < c.height(); ++y)
        for (int x = 0; x < c.width(); ++x) {
            const COLORREF p = c.At(x, y);
            image.setPixel(x, y, qRgb(GetRValue(p), GetGValue(p), GetBValue(p)));
        }
    return image;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Read-out and profiles

struct ValueCase {
    int type;
    double re, im;  // sample (0, 0); imaginary part for complex types only
};

TEST(RasterView, ValueTextAndProfilesShowEveryTypeInEveryMode)
{
    // Unsigned complex parts above the signed range must stay positive in both read-outs.
    const ValueCase cases[] = {
        {1, 200, 0},        {2, -7, 0},    {3, 60000, 0},  {4, -300, 0},    {5, 3.5e9, 0},  {6, -70000, 0},
        {7, 2.5, 0},        {8, -1.25, 0}, {9, 3, -4},     {10, -1.5, 2},   {11, 200, 100}, {12, -3, 4},
        {13, 40000, 30000}, {14, 3, -4},   {15, 3e9, 4e9}, {16, -70000, 5},
    };
    static std::vector<double> profile;
    static std::vector<CPointT<double>> points;
    GetRasterViewServices().showProfile = [](const RasterProfileRequest& r) -> BOOL {
        profile = r.values;
        points = r.points;
        return TRUE;
    };
    TempDir dir;
    NotifyWindow wnd;
    for (const ValueCase& c : cases) {
        SCOPED_TRACE("type " + std::to_string(c.type));
        const std::string path = dir.File("v" + std::to_string(c.type) + ".rdp");
        WriteLayer(path, 2, 2, c.type, [&](int x, int y) {
            return x == 0 && y == 0 ? std::pair{c.re, c.im} : std::pair{1.0, 1.0};
        });
        CRasterView view;
        ASSERT_EQ(OpenAndWait(view, wnd, path), kViewerShown);
        const bool complex = isComplexType(c.type);
        for (int mode = 0; mode < 4; ++mode) {
            SCOPED_TRACE("mode " + std::to_string(mode));
            if (mode > 0) {
                ASSERT_TRUE(view.Redisplay(nullptr, nullptr, mode, 0, 0, 1));
                if (view.IsBusy())
                    ASSERT_EQ(wnd.WaitForResult(), kViewerShown);
                else
                    PumpEvents();  // the report of a reused cache is already queued
            }
            const double expected = !complex    ? c.re
                                    : mode == 0 ? std::hypot(c.re, c.im)
                                    : mode == 1 ? std::atan2(c.im, c.re)
                                    : mode == 2 ? c.re
                                                : c.im;
            EXPECT_EQ(view.GetComplexMode(1), complex ? mode : 0);
            EXPECT_EQ(view.GetValueText(0, 0).str(), Text(expected));
            profile.clear();
            view.ShowProfile(1, 0, nullptr, nullptr);
            ASSERT_EQ(profile.size(), 2u);
            EXPECT_EQ(Text(profile[0]), Text(expected));
        }
        for (auto [x, y] : {std::pair{-1, 0}, {2, 0}, {0, -1}, {0, 2}})
            EXPECT_EQ(view.GetValueText(x, y).str(), "0");
    }
    // A profile with a coordinate law gets one logical point per value, along the column here.
    CCoordLawData law;
    ASSERT_EQ(law.SetDataManual(2, 2, 10, 20, 100, 50), 1);
    CRasterView view;
    ASSERT_EQ(OpenAndWait(view, wnd, dir.File("v4.rdp")), kViewerShown);
    view.ShowProfile(2, 1, nullptr, &law);
    ASSERT_EQ(points.size(), 2u);
    EXPECT_DOUBLE_EQ(points[1].x, 20);
    EXPECT_DOUBLE_EQ(points[1].y, 50);
    GetRasterViewServices().showProfile = nullptr;
}

TEST(RasterView, PhaseStatisticsMissingFromAFileAreComputedAndRealLayersShowOnlyMode0)
{
    TempDir dir;
    NotifyWindow wnd;
    const std::string real = dir.File("real.rdp");
    WriteLayer(real, 4, 4, 4, [](int x, int y) { return std::pair{double(x * y), 0.0}; });
    CRasterView realView;
    ASSERT_EQ(OpenAndWait(realView, wnd, real, 1), kViewerShown);
    EXPECT_EQ(realView.GetComplexMode(1), 0);

    // A complex file whose phase block is not there: the block key is renamed in place.
    const std::string complex = dir.File("cplx.rdp");
    WriteLayer(complex, 4, 4, 14, [](int x, int y) { return std::pair{double(x), double(y)}; });
    layertest::Bytes bytes = layertest::ReadFile(complex);
    bool renamed = false;
    for (size_t at = size_t(layertest::Get32(bytes, 16)); at && at + 12 <= bytes.size();
         at = size_t(layertest::Get32(bytes, at + 8))) {
        if (layertest::Get32(bytes, at) == TAG_PHASE_STATISTICS) {
            layertest::Put32(bytes, at, 9999);
            renamed = true;
            break;
        }
    }
    ASSERT_TRUE(renamed);
    layertest::WriteFile(complex, bytes);
    // Phases run from 0 (real samples) to pi / 2 (imaginary ones), whichever way the view
    // comes to the phase.
    CRasterView phaseless;
    ASSERT_EQ(OpenAndWait(phaseless, wnd, complex, 1), kViewerShown);
    EXPECT_EQ(phaseless.GetComplexMode(1), 1);
    EXPECT_NEAR(phaseless.Min(1), 0.0, 1e-9);
    EXPECT_NEAR(phaseless.Max(1), std::acos(0.0), 1e-9);
    CRasterView amplitude;
    ASSERT_EQ(OpenAndWait(amplitude, wnd, complex, 0), kViewerShown);
    PumpEvents();
    ASSERT_TRUE(amplitude.Redisplay(nullptr, nullptr, 1, 0, 0, 1));
    EXPECT_EQ(wnd.WaitForResult(), kViewerShown);
    EXPECT_EQ(amplitude.GetComplexMode(1), 1);
    EXPECT_NEAR(amplitude.Max(1), std::acos(0.0), 1e-9);
}

// ---------------------------------------------------------------------------------------------
// Display range, palettes and levels, on a view over a caller's buffer

struct BufferView {
    explicit BufferView(NotifyWindow& wnd, double min = 0, double max = 255,
                        const std::array<unsigned, 256>& hist = {})
    {
        samples.assign(16 * 16, 0);
        for (int i = 0; i < 256; ++i) samples[size_t(i)] = BYTE(i);
        pyramid.assign(size_t(kDisplayHistogramBytes + GetViewerTempSize(16, 16)), 0);
        std::memcpy(pyramid.data(), hist.data(), 1024);
        ok = view.OpenBuffer(0, &wnd, "buffer", samples.data(), 16, 16, 1, pyramid.data(), nullptr, min, max,
                             nullptr, nullptr);
    }
    std::vector<BYTE> samples, pyramid;
    CRasterView view;
    BOOL ok = FALSE;
};

TEST(RasterView, LevelRangesAndPixelColoursFollowTheDisplayRange)
{
    NotifyWindow wnd;
    BufferView b(wnd);
    ASSERT_TRUE(b.ok);
    double lo = -1, hi = -1;
    b.view.GetLevelRange(0, &lo, &hi);
    EXPECT_EQ(lo, 0.0);
    EXPECT_EQ(hi, 1.0);
    b.view.GetLevelRange(255, &lo, &hi);
    EXPECT_EQ(lo, 254.0);
    EXPECT_EQ(hi, 255.0);
    // The default grey ramp: sample 200 shows grey 200.
    EXPECT_EQ(b.view.GetPixelColor(200 % 16, 200 / 16), RGB(200, 200, 200));
    // A correction applies to the displayed palette only.
    BYTE invert[256];
    for (int i = 0; i < 256; ++i) invert[i] = BYTE(255 - i);
    b.view.SetCorrectionTable(invert, 0);
    EXPECT_EQ(b.view.GetPixelColor(200 % 16, 200 / 16), RGB(55, 55, 55));

    // An empty display range shows level 0, as the pyramid does, instead of dividing by zero.
    BufferView flat(wnd, 5, 5);
    ASSERT_TRUE(flat.ok);
    ColorStruct palette[256];
    flat.view.GetPalitra(palette);
    const COLORREF level0 = RGB(palette[0].red, palette[0].green, palette[0].blue);
    EXPECT_EQ(flat.view.GetPixelColor(3, 0), level0);
    EXPECT_EQ(flat.view.GetPixelColor(15, 15), level0);
}

TEST(RasterView, EqualizeHistogramMapsLevelsByQuota)
{
    struct Case {
        const char* name;
        std::function<unsigned(int)> hist;
        std::function<int(int)> level;  // expected grey of palette entry i; -1: unchanged
    };
    const Case cases[] = {
        {"equal counts", [](int) { return 1000u; }, [](int i) { return i; }},
        {"all in bin 0", [](int i) { return i == 0 ? 256u : 0u; }, [](int i) { return i == 0 ? 127 : 255; }},
        {"empty picture", [](int) { return 0u; }, [](int) { return -1; }},
        // Counts above 2^31 in total must not overflow the quotas.
        {"huge counts", [](int) { return 0xF0000000u; }, [](int i) { return i; }},
    };
    NotifyWindow wnd;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::array<unsigned, 256> hist{};
        for (int i = 0; i < 256; ++i) hist[size_t(i)] = c.hist(i);
        BufferView b(wnd, 0, 255, hist);
        ASSERT_TRUE(b.ok);
        BYTE invert[256];
        for (int i = 0; i < 256; ++i) invert[i] = BYTE(255 - i);
        b.view.SetCorrectionTable(invert, 0);  // equalising replaces what is shown
        ColorStruct before[256], after[256];
        b.view.GetPalitra(before);
        b.view.EqualizeHistogram();
        b.view.GetPalitra(after);
        for (int i = 0; i < 256; ++i) {
            const int expected = c.level(i) < 0 ? before[i].red : c.level(i);
            ASSERT_EQ(after[i].red, expected) << "entry " << i;
            ASSERT_EQ(after[i].green, expected);
            ASSERT_EQ(after[i].blue, expected);
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Cache files

TEST(RasterViewCache, ACurrentCacheIsReusedAtOnceAndAnotherRangeRebuildsIt)
{
    TempDir dir;
    NotifyWindow wnd;
    const std::string path = dir.File("scene.rdp");
    WriteRamp(path, 300, 200);

    CRasterView first;
    // The cache goes to disk after the picture is shown, at the end of the job.
    EXPECT_TRUE(OpenBuilds(first, wnd, path));
    EXPECT_EQ(first.GetCacheFileName().str(), dir.File("scene.tp0"));
    EXPECT_TRUE(fs::exists(dir.File("scene.tp0")));

    const int threads = GetRunningThreadCount();
    CRasterView second;
    ASSERT_TRUE(second.Open(0, &wnd, path.c_str(), 0, 0, 0, 1, 0, nullptr, nullptr));
    EXPECT_FALSE(second.IsBusy());
    EXPECT_EQ(GetRunningThreadCount(), threads);
    const int shown = wnd.Count(kViewerShown);
    PumpEvents();
    EXPECT_EQ(wnd.Count(kViewerShown), shown + 1);
    EXPECT_EQ(std::memcmp(first.GetHistAddr(1, 1), second.GetHistAddr(1, 1), 1024), 0);

    CRasterView other;
    EXPECT_TRUE(OpenBuilds(other, wnd, path, 3, 10, 20));
    EXPECT_EQ(other.GetDisplayMin(1), 10);
    CRasterView again;
    EXPECT_TRUE(OpenBuilds(again, wnd, path)) << "the cache of the first range was replaced";
}

TEST(RasterViewCache, AStoppedBuildLeavesNoCacheAndTheNextOpenBuildsAgain)
{
    TempDir dir;
    NotifyWindow wnd;
    const std::string path = dir.File("scene.rdp");
    WriteRamp(path, 300, 200);
    {
        RecordingMeter meter;
        meter.StopAtReport(1);
        CRasterView view;
        EXPECT_EQ(OpenAndWait(view, wnd, path, 0, 1, 0, 0, &meter), kViewerFailed);
        EXPECT_FALSE(view.IsBusy());
    }
    for (const auto& entry : fs::directory_iterator(dir.Path()))
        EXPECT_EQ(entry.path().filename(), "scene.rdp") << "left behind: " << entry.path();
    CRasterView view;
    EXPECT_TRUE(OpenBuilds(view, wnd, path));
}

/// Holds the job at its first progress call until the test lets it go on.
class GateMeter : public CMeterInfoBase {
public:
    void SetText(const char*) override {}
    void SetPos(double) override { Hold(); }
    void SetRange(double, double) override {}
    void SetStep(double) override {}
    void StepIt() override { Hold(); }
    double DeltaPos(double) override
    {
        Hold();
        return 0;
    }
    std::atomic<bool> entered{false}, released{false};

private:
    void Hold()
    {
        entered = true;
        while (!released) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
};

TEST(RasterViewCache, AViewClosedDuringItsBuildStopsItQuietlyAndLeavesNoCache)
{
    TempDir dir;
    NotifyWindow wnd;
    const std::string path = dir.File("scene.rdp");
    WriteRamp(path, 600, 500);
    const int threads = GetRunningThreadCount();
    GateMeter meter;
    {
        CRasterView view;
        ASSERT_TRUE(view.Open(0, &wnd, path.c_str(), 0, 0, 0, 1, 0, &meter, nullptr));
        ASSERT_TRUE(PumpUntil([&] { return meter.entered.load(); }));
    }
    meter.released = true;
    ASSERT_TRUE(PumpUntil([&] { return GetRunningThreadCount() == threads; }));
    PumpEvents();
    EXPECT_EQ(wnd.Results(), 0u) << "a closed view reports nothing";
    for (const auto& entry : fs::directory_iterator(dir.Path()))
        EXPECT_EQ(entry.path().filename(), "scene.rdp") << "left behind: " << entry.path();
}

TEST(RasterViewCache, ASourceRewrittenWithinTheSameSecondIsRebuilt)
{
    TempDir dir;
    NotifyWindow wnd;
    const std::string path = dir.File("scene.rdp");
    WriteRamp(path, 300, 200);
    struct stat before {};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    std::array<unsigned, 256> oldHist{};
    {
        CRasterView view;
        ASSERT_EQ(OpenAndWait(view, wnd, path), kViewerShown);
        std::memcpy(oldHist.data(), view.GetHistAddr(1, 1), 1024);
    }
    // Same size, same second, other samples.
    WriteLayer(path, 300, 200, 7, [](int x, int y) { return std::pair{double((x * 7 + y * 3) % 101), 0.0}; });
    timespec times[2] = {before.st_atim, before.st_mtim};
    times[1].tv_nsec = (times[1].tv_nsec + 1000) % 1000000000;
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);

    CRasterView view;
    EXPECT_TRUE(OpenBuilds(view, wnd, path));
    EXPECT_NE(std::memcmp(oldHist.data(), view.GetHistAddr(1, 1), 1024), 0);
}

TEST(RasterViewCache, ReadOnlyFoldersUseTempDirAndSameNamedFilesDoNotCollide)
{
    TempDir temp, a, b;
    NotifyWindow wnd;
    const std::string pathA = a.File("scene.rdp"), pathB = b.File("scene.rdp");
    WriteRamp(pathA, 300, 200);
    WriteLayer(pathB, 300, 200, 7, [](int x, int y) { return std::pair{double(x % 17 + y % 5), 0.0}; });
    ReadOnlyFolder lockA(a.Path()), lockB(b.Path());
    if (lockA.Writable() || lockB.Writable()) GTEST_SKIP() << "no folder can be made read-only here";
    TempDirSetting setting(temp.Path().string());

    std::array<unsigned, 256> hist[2];
    std::string names[2];
    int i = 0;
    for (const std::string& path : {pathA, pathB}) {
        CRasterView view;
        EXPECT_TRUE(OpenBuilds(view, wnd, path));
        names[i] = view.GetCacheFileName().str();
        EXPECT_EQ(fs::path(names[i]).parent_path(), temp.Path());
        std::memcpy(hist[i].data(), view.GetHistAddr(1, 1), 1024);
        ++i;
    }
    EXPECT_NE(names[0], names[1]);
    i = 0;
    for (const std::string& path : {pathA, pathB}) {
        CRasterView view;
        ASSERT_TRUE(view.Open(0, &wnd, path.c_str(), 0, 0, 0, 1, 0, nullptr, nullptr));
        EXPECT_FALSE(view.IsBusy()) << path;
        EXPECT_EQ(view.GetCacheFileName().str(), names[i]);
        EXPECT_EQ(std::memcmp(hist[i].data(), view.GetHistAddr(1, 1), 1024), 0);
        ++i;
    }
}

// A cache whose bytes were changed after it was written is never shown: a damaged header,
// tile checksum or trailer fails when the cache is opened, a damaged tile when it is first
// read; either way the cache is built again, byte for byte as before, and the picture is
// drawn from the new one.
TEST(RasterViewCache, ADamagedCacheIsBuiltAgainInsteadOfShown)
{
    TempDir dir;
    NotifyWindow wnd;
    const std::string path = dir.File("scene.rdp");
    const std::string cache = dir.File("scene.tp0");
    WriteRamp(path, 300, 200);
    std::array<unsigned, 256> hist{};
    std::vector<BYTE> bits(320 * 200);
    std::vector<BYTE> infoBytes(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD));
    auto* info = reinterpret_cast<BITMAPINFO*>(infoBytes.data());
    const COLORREF background = RGB(1, 2, 3);
    auto draw = [&](CRasterView& view, double zoom) {
        Canvas canvas(300, 200, background);
        view.SetZoom(zoom, 0);
        view.DrawEx(CDC::FromHandle(canvas.dc()), 0, 0, 300, 200, zoom, FALSE, bits.data(), info);
        return ToImage(canvas);
    };
    QImage blank(300, 200, QImage::Format_RGB32);
    blank.fill(qRgb(1, 2, 3));
    QImage shown[2];
    {
        CRasterView view;
        ASSERT_EQ(OpenAndWait(view, wnd, path), kViewerShown);
        std::memcpy(hist.data(), view.GetHistAddr(1, 1), 1024);
        view.SetShown(TRUE);
        shown[0] = draw(view, 1.0);
        shown[1] = draw(view, 2.0);
    }
    const std::string built = tarvenix::test::ReadWholeFile(cache);
    ASSERT_EQ(std::int64_t(built.size()), RasterCacheFileBytes(300, 200));
    struct Case {
        const char* name;
        std::int64_t at;
        bool refusedAtOpen;
        double zoomReadingIt;  // of the draw that reads the damaged tile (level 0 or 1)
    };
    const std::int64_t sums = RasterCacheTileSumsOffset(300, 200);
    const Case cases[] = {
        {"a pyramid byte of the first tile", kCacheHeaderBytes + 5000, false, 1.0},
        {"a pyramid byte of the last tile", sums - 1, false, 2.0},
        {"a histogram count", 24 + 4 * 100, true, 1.0},
        {"the stretch method", 0, true, 1.0},
        {"a tile checksum", sums + 3, true, 1.0},
        {"the checksum", std::int64_t(built.size()) - 3, true, 1.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string damaged = built;
        damaged[size_t(c.at)] ^= 0x5A;
        tarvenix::test::WriteWholeFile(cache, damaged);
        CRasterView view;
        EXPECT_EQ(OpenBuilds(view, wnd, path), c.refusedAtOpen) << "a damaged cache is not taken";
        view.SetShown(TRUE);
        if (!c.refusedAtOpen) {
            // The draw that reads the damaged tile shows nothing of the picture, and the
            // pyramid is built again.
            EXPECT_TRUE(draw(view, c.zoomReadingIt) == blank);
            EXPECT_EQ(wnd.WaitForResult(), kViewerShown) << "shown again once built";
            EXPECT_TRUE(PumpUntil([] { return GetRunningThreadCount() == 0; }));
        }
        EXPECT_EQ(std::memcmp(hist.data(), view.GetHistAddr(1, 1), 1024), 0);
        EXPECT_TRUE(draw(view, 1.0) == shown[0]) << "drawn as before";
        EXPECT_TRUE(draw(view, 2.0) == shown[1]) << "drawn as before";
        EXPECT_TRUE(tarvenix::test::ReadWholeFile(cache) == built) << "built again as it was";
    }
}

// A 300 x 200 ramp whose display cache one view has built and let go.
struct BuiltRampCache {
    TempDir dir;
    NotifyWindow wnd;
    std::string path = dir.File("scene.rdp");
    std::string cache = dir.File("scene.tp0");
    bool built = false;
    BuiltRampCache()
    {
        WriteRamp(path, 300, 200);
        CRasterView view;
        built = OpenBuilds(view, wnd, path);
    }
};

// A render for a file reads on a worker, where nothing can be built again: a damaged tile
// it meets fails the render with a message instead of handing on what it left unwritten.
TEST(RasterViewCache, ARenderThatMeetsADamagedTileFails)
{
    BuiltRampCache ramp;
    ASSERT_TRUE(ramp.built);
    NotifyWindow& wnd = ramp.wnd;
    const std::string& path = ramp.path;
    const std::string& cache = ramp.cache;
    std::string damaged = tarvenix::test::ReadWholeFile(cache);
    damaged[size_t(kCacheHeaderBytes + 55000)] ^= 0x01;  // in the second tile of level 0
    tarvenix::test::WriteWholeFile(cache, damaged);
    CRasterView view;
    ASSERT_FALSE(OpenBuilds(view, wnd, path));
    const int stride = (300 * 3 + 3) / 4 * 4;
    std::vector<BYTE> out(std::size_t(stride) * 200);
    std::string message;
    try {
        view.RenderRGB(0, 0, 300, 200, stride, 1, 1.0, TRUE, out.data(), nullptr);
    } catch (CRDPExcept* e) {
        EXPECT_EQ(e->GetCode(), RDP_ERROR_PROCESS);
        message = e->GetMessage().str();
        e->Delete();
    }
    EXPECT_NE(message.find("damaged"), std::string::npos) << message;
}

// A cache of the earlier layout (one checksum of the whole file, another trailer magic) is
// never read as this one: it is built again.
TEST(RasterViewCache, ACacheOfTheEarlierLayoutIsBuiltAgain)
{
    BuiltRampCache ramp;
    ASSERT_TRUE(ramp.built);
    NotifyWindow& wnd = ramp.wnd;
    const std::string& path = ramp.path;
    const std::string& cache = ramp.cache;
    const std::string built = tarvenix::test::ReadWholeFile(cache);
    std::string old = built;
    old[old.size() - 64 + 6] = '2';
    tarvenix::test::WriteWholeFile(cache, old);
    CRasterView view;
    EXPECT_TRUE(OpenBuilds(view, wnd, path));
    EXPECT_TRUE(tarvenix::test::ReadWholeFile(cache) == built);
}

// A cache is written under its name only as a new file: a link planted there, beside the
// source or in a shared temporary folder, is replaced and the file it names keeps its bytes;
// a file another user put under the name is never taken for a cache.
TEST(RasterViewCache, NoCacheWriteFollowsALinkAndOnlyTheUsersOwnCachesAreTaken)
{
    TempDir shared, sources, readOnly;
    NotifyWindow wnd;
    const std::string victim = shared.File("victim.txt");
    const std::string besidePath = sources.File("beside.rdp"), lockedPath = readOnly.File("locked.rdp");
    WriteRamp(besidePath, 300, 200);
    WriteRamp(lockedPath, 300, 200, 5.0);
    ReadOnlyFolder lock(readOnly.Path());
    TempDirSetting setting(shared.Path().string());
    const bool haveReadOnly = !lock.Writable();
    auto cacheName = [&](const std::string& source, int which) {
        return RasterCacheNames(RasterCacheKey{source, 300, 200, 7, 0},
                                shared.Path().string())[size_t(which)];
    };

    struct Case {
        const char* name;
        std::string source;
        int which;    // the name planted on: 0 beside the source, 1 in the shared folder
        bool asLink;  // else a sound cache of this source, owned by another user
    };
    const Case cases[] = {
        {"a link beside the source", besidePath, 0, true},
        {"a link in the shared folder", lockedPath, 1, true},
        {"another user's cache in the shared folder", lockedPath, 1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.which == 1 && !haveReadOnly) {
            std::printf("skipped: no folder can be made read-only here\n");
            continue;
        }
        const std::string name = cacheName(c.source, c.which);
        tarvenix::test::WriteWholeFile(victim, "the user's own file");
        fs::remove(name);
        if (c.asLink) {
            ASSERT_EQ(::symlink(victim.c_str(), name.c_str()), 0);
        } else {
            {
                CRasterView view;  // a sound cache, then given away
                ASSERT_EQ(OpenAndWait(view, wnd, c.source), kViewerShown);
            }
            ASSERT_TRUE(fs::is_regular_file(name));
            if (::chown(name.c_str(), 65534, 65534) != 0) {
                std::printf("skipped: files cannot be given to another user here\n");
                continue;
            }
        }
        CRasterView view;
        EXPECT_TRUE(OpenBuilds(view, wnd, c.source)) << "nothing planted is taken for a cache";
        EXPECT_EQ(view.GetCacheFileName().str(), name);
        EXPECT_EQ(tarvenix::test::ReadWholeFile(victim), "the user's own file");
        struct stat st {};
        ASSERT_EQ(::lstat(name.c_str(), &st), 0);
        EXPECT_TRUE(S_ISREG(st.st_mode));
        EXPECT_EQ(st.st_uid, ::geteuid());
        EXPECT_EQ(st.st_mode & 077, 0u) << "the picture of the user's file is theirs alone";
    }
}

TEST(RasterViewCache, WithoutATempDirCachesOfReadOnlyFoldersGoToTheUsersOwnCacheFolder)
{
    TempDir readOnly;
    NotifyWindow wnd;
    const std::string path = readOnly.File("scene.rdp");
    WriteRamp(path, 300, 200);
    ReadOnlyFolder lock(readOnly.Path());
    if (lock.Writable()) GTEST_SKIP() << "no folder can be made read-only here";
    const fs::path own = fs::path(std::getenv("XDG_CACHE_HOME")) / "tarvenix";
    EXPECT_EQ(RasterCacheTempFolder(), own.string());

    CRasterView view;
    ASSERT_EQ(OpenAndWait(view, wnd, path), kViewerShown);
    EXPECT_EQ(fs::path(view.GetCacheFileName().str()).parent_path(), own);
    EXPECT_TRUE(fs::exists(view.GetCacheFileName().str()));
    struct stat st {};
    ASSERT_EQ(::lstat(own.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    CRasterView again;
    ASSERT_TRUE(again.Open(0, &wnd, path.c_str(), 0, 0, 0, 1, 0, nullptr, nullptr));
    EXPECT_FALSE(again.IsBusy()) << "and are found there again";
}

/// The environment without any cache folder of the user's: no XDG_CACHE_HOME, no HOME.
class NoUserCacheFolder {
public:
    NoUserCacheFolder()
    {
        for (auto& [name, value] : m_saved)
            if (const char* v = std::getenv(name)) value = v;
        ::unsetenv("XDG_CACHE_HOME");
        ::unsetenv("HOME");
    }
    ~NoUserCacheFolder()
    {
        for (auto& [name, value] : m_saved)
            if (value) ::setenv(name, value->c_str(), 1);
    }
    NoUserCacheFolder(const NoUserCacheFolder&) = delete;
    NoUserCacheFolder& operator=(const NoUserCacheFolder&) = delete;

private:
    std::pair<const char*, std::optional<std::string>> m_saved[2] = {{"XDG_CACHE_HOME", {}}, {"HOME", {}}};
};

// A layer whose cache can be written nowhere (its folder read-only, no "TempDir", no cache
// folder of the user's) still opens: its pyramid is built in memory, shows what a cached
// one shows, and nothing is written anywhere.
TEST(RasterViewCache, WithNoCacheToWriteAnywhereThePyramidIsBuiltInMemory)
{
    TempDir writable, readOnly;
    NotifyWindow wnd;
    // Wider and higher than one tile, so that more than one level is built.
    const int width = 700, height = 530;
    const std::string reference = writable.File("scene.rdp"), path = readOnly.File("scene.rdp");
    WriteRamp(reference, width, height);
    fs::copy_file(reference, path);
    std::array<unsigned, 256> cachedHist{};
    std::vector<COLORREF> cachedPixels;
    std::string cachedValue;
    const std::pair<int, int> points[] = {{0, 0}, {255, 0}, {256, 255}, {699, 529}, {511, 300}, {345, 12}};
    {
        CRasterView view;
        ASSERT_EQ(OpenAndWait(view, wnd, reference), kViewerShown);
        ASSERT_FALSE(view.GetCacheFileName().IsEmpty());
        std::memcpy(cachedHist.data(), view.GetHistAddr(1, 1), 1024);
        for (auto [x, y] : points) cachedPixels.push_back(view.GetPixelColor(x, y));
        cachedValue = view.GetValueText(3, 4).str();
    }

    ReadOnlyFolder lock(readOnly.Path());
    // Where the folder cannot be locked (no immutable flag for root), a folder in place of
    // the cache beside the layer stops that cache the same way.
    const std::string beside = RasterCacheNames(RasterCacheKey{path, width, height, 7, 0}, "")[0];
    if (lock.Writable()) fs::create_directory(beside);
    NoUserCacheFolder noCacheFolder;
    ASSERT_EQ(RasterCacheTempFolder(), "");
    const auto before = std::distance(fs::directory_iterator(readOnly.Path()), fs::directory_iterator());

    for (int pass = 0; pass < 2; ++pass) {
        SCOPED_TRACE(pass ? "opened again" : "first open");
        CRasterView view;
        EXPECT_TRUE(OpenBuilds(view, wnd, path)) << "built, each time";
        EXPECT_TRUE(view.GetCacheFileName().IsEmpty());
        EXPECT_EQ(std::memcmp(cachedHist.data(), view.GetHistAddr(1, 1), 1024), 0);
        for (size_t i = 0; i < std::size(points); ++i)
            EXPECT_EQ(view.GetPixelColor(points[i].first, points[i].second), cachedPixels[i]) << i;
        EXPECT_EQ(view.GetValueText(3, 4).str(), cachedValue);
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(readOnly.Path()), fs::directory_iterator()), before)
        << "nothing was written beside the layer";
    if (!lock.Writable()) fs::remove(beside);
}

// ---------------------------------------------------------------------------------------------
// Files without statistics, colour-map tags, blank layers

TEST(RasterView, AFileWithoutStatisticsShowsWithComputedOnesAndStaysUnchanged)
{
    TempDir dir;
    NotifyWindow wnd;
    const std::string path = dir.File("bare.rdp");
    layertest::Bytes samples;
    for (int i = 0; i < 6; ++i) samples.push_back(std::uint8_t(10 + 20 * i));
    layertest::WriteFile(path, layertest::Fixture(3, 3, 2, 1, samples).bytes);
    const layertest::Bytes original = layertest::ReadFile(path);
    {
        CRasterView view;
        ASSERT_EQ(OpenAndWait(view, wnd, path), kViewerShown);
        EXPECT_EQ(view.Min(1), 10.0);
        EXPECT_EQ(view.Max(1), 110.0);
        EXPECT_EQ(view.GetValueText(2, 1).str(), "110");
    }
    EXPECT_EQ(layertest::ReadFile(path), original);
}

TEST(RasterView, AColourMapTagOfOneEntryStopsTheLoadingOfLaterTags)
{
    struct Case {
        const char* name;
        std::vector<std::pair<int, std::vector<BYTE>>> tags;
        bool has501, has502;
    };
    const Case cases[] = {
        {"sound maps", {{501, ColorMapRecord(1, 3)}, {502, ColorMapRecord(1, 2)}}, true, true},
        {"count 1 first", {{501, ColorMapRecord(1, 1)}, {502, ColorMapRecord(1, 2)}}, false, false},
        {"missing tag skipped", {{502, ColorMapRecord(1, 2)}}, false, true},
        {"other format", {{501, ColorMapRecord(2, 3)}, {502, ColorMapRecord(1, 2)}}, false, false},
    };
    TempDir dir;
    NotifyWindow wnd;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.File(std::string(c.name) + ".rdp");
        WriteLayer(path, 8, 8, 9, [](int x, int y) { return std::pair{double(x), double(y)}; });
        for (const auto& [id, record] : c.tags)
            ASSERT_TRUE(SetTag(path.c_str(), id, int(record.size()), record.data()));
        CRasterView view;
        ASSERT_EQ(OpenAndWait(view, wnd, path), kViewerShown);
        EXPECT_EQ(view.GetModeColorMap(501) != nullptr, c.has501);
        EXPECT_EQ(view.GetModeColorMap(502) != nullptr, c.has502);
        if (c.has502) {
            // The real-part map takes over when that part is shown.
            ASSERT_TRUE(view.Redisplay(nullptr, nullptr, 2, 0, 0, 1));
            ASSERT_EQ(wnd.WaitForResult(), kViewerShown);
            EXPECT_EQ(view.GetColorMap()->GetEntryCount(), 2);
        }
    }
}

TEST(RasterView, CreateBlankShowsANewFileOrReportsItsFailureOnce)
{
    TempDir dir;
    NotifyWindow wnd;
    {
        CRasterView view;
        ASSERT_TRUE(view.CreateBlank(0, &wnd, dir.File("new.rdp").c_str(), 40, 30, 4, 1, nullptr, nullptr));
        EXPECT_EQ(wnd.WaitForResult(), kViewerShown);
        EXPECT_EQ(view.GetLayerName().str(), "New File");
        EXPECT_TRUE(view.IsWorkingCopy());
        EXPECT_EQ(view.GetHistAddr(1, 1)[0], 1200u);
        EXPECT_EQ(view.GetValueText(39, 29).str(), "0");
        // Its statistics are dirty: the first request computes them on a job, the next one
        // has nothing to do.
        EXPECT_EQ(view.StartStatistics(5, nullptr, nullptr, 0), 0);
        ASSERT_TRUE(PumpUntil([&] { return wnd.Count(kViewerStatisticsDone) == 1; }));
        EXPECT_FALSE(view.IsBusy());
        EXPECT_EQ(view.Max(1), 0.0);
        EXPECT_EQ(view.StartStatistics(5, nullptr, nullptr, 0), 1);
    }
    wnd.codes.clear();
    CRasterView failed;
    EXPECT_FALSE(failed.CreateBlank(0, &wnd, dir.File("no/such/folder/new.rdp").c_str(), 40, 30, 4, 1,
                                    nullptr, nullptr));
    PumpEvents();
    EXPECT_EQ(wnd.Count(kViewerFailed), 1);
    EXPECT_EQ(wnd.Count(kViewerShown), 0);
}

TEST(RasterView, AFailedReopenKeepsNoSamplesOfTheClosedFile)
{
    TempDir dir;
    NotifyWindow wnd;
    const std::string path = dir.File("scene.rdp");
    WriteRamp(path, 30, 20);
    CRasterView view;
    ASSERT_EQ(OpenAndWait(view, wnd, path), kViewerShown);
    EXPECT_FALSE(view.Reopen(dir.File("missing.rdp").c_str()));
    EXPECT_EQ(view.GetRows(1), nullptr);
    EXPECT_EQ(view.GetValueText(1, 1).str(), "0");
    EXPECT_EQ(wnd.Count(kViewerReopened), 1);
    EXPECT_TRUE(view.Reopen(path.c_str()));
    EXPECT_NE(view.GetRows(1), nullptr);
}

TEST(RasterView, AHeapWorkingCopyIsRemovedWithTheView)
{
    TempDir dir, scratch;
    NotifyWindow wnd;
    const std::string path = dir.File("scene.rdp");
    WriteRamp(path, 30, 20);
    const char* previous = std::getenv("TMPDIR");
    const std::string saved = previous ? previous : "";
    ::setenv("TMPDIR", scratch.Path().c_str(), 1);
    {
        CRasterView view;
        ASSERT_EQ(OpenAndWait(view, wnd, path), kViewerShown);
        ASSERT_TRUE(view.MakeWorkingCopy());
        ASSERT_NE(view.GetLayer(1), view.GetSourceLayer(1));
        EXPECT_EQ(fs::path(view.GetLayer(1)->GetFileName().str()).parent_path(), scratch.Path());
        EXPECT_EQ(view.GetValueText(3, 2).str(), Text(view.GetSourceLayer(1)->GetValue(3, 2)));
        // The copy may be edited: its pyramid never goes into the source's cache file.
        const std::string cache = dir.File("scene.tp0");
        const auto cached = layertest::ReadFile(cache);
        ASSERT_FALSE(cached.empty());
        ASSERT_TRUE(view.Redisplay(nullptr, nullptr, 0, 1.0, 2.0, 3));
        ASSERT_EQ(wnd.WaitForResult(), kViewerShown);
        EXPECT_TRUE(view.GetCacheFileName().IsEmpty());
        EXPECT_EQ(layertest::ReadFile(cache), cached);
    }
    if (previous)
        ::setenv("TMPDIR", saved.c_str(), 1);
    else
        ::unsetenv("TMPDIR");
    EXPECT_TRUE(fs::is_empty(scratch.Path()));
    EXPECT_TRUE(fs::exists(path));
}

// ---------------------------------------------------------------------------------------------
// Saving parts

TEST(RasterViewSave, ARegionSaveIsItsBoxWithZerosOutsideAndTheSourcesTagsAndCoordinates)
{
    TempDir dir;
    const std::string source = dir.File("source.rdp"), target = dir.File("part.rdp");
    WriteLayer(source, 12, 10, 14, [](int x, int y) { return std::pair{double(x + 1), double(-y - 1)}; });
    ASSERT_TRUE(SetTag(source.c_str(), 600, 5, "note"));
    CCoordLawData law;
    ASSERT_TRUE(law.SaveDataKt(source.c_str(), 2.0, 100.0, -3.0, 50.0));

    const POINT triangle[3] = {{2, 1}, {9, 1}, {2, 8}};
    auto* record = new RasterSaveRecord;
    record->destination = target.c_str();
    record->source = source.c_str();
    record->region = ::CreatePolygonRgn(triangle, 3, WINDING);
    const HRGN region = ::CreatePolygonRgn(triangle, 3, WINDING);
    RECT box{};
    ::GetRgnBox(region, &box);
    SaveRasterRegionJob(record, nullptr);

    CRDPLayer part;
    ASSERT_NE(part.OpenLayer(target.c_str(), kOpenReadOnly), nullptr);
    EXPECT_EQ(part.Width(), box.right - box.left);
    EXPECT_EQ(part.Height(), box.bottom - box.top);
    int inside = 0, outside = 0;
    for (int y = 0; y < part.Height(); ++y)
        for (int x = 0; x < part.Width(); ++x) {
            const bool in = ::PtInRegion(region, x + box.left, y + box.top);
            (in ? inside : outside)++;
            EXPECT_EQ(part.GetValue(x, y, kReal), in ? x + box.left + 1 : 0) << x << "," << y;
            EXPECT_EQ(part.GetValue(x, y, kImaginary), in ? -(y + box.top) - 1 : 0) << x << "," << y;
        }
    EXPECT_GT(inside, 0);
    EXPECT_GT(outside, 0);
    char note[5] = {};
    EXPECT_TRUE(part.GetTag(600, 5, note));
    EXPECT_STREQ(note, "note");
    part.CloseLayer();
    ::DeleteObject(region);

    CCoordLawData partLaw;
    ASSERT_TRUE(partLaw.LoadData(target.c_str()));
    const auto origin = partLaw.GetLogicalCoord(0.0, 0.0);
    const auto expected = law.GetLogicalCoord(double(box.left), double(box.top));
    EXPECT_DOUBLE_EQ(origin.x, expected.x);
    EXPECT_DOUBLE_EQ(origin.y, expected.y);
}

TEST(RasterViewSave, ARectangleSaveKeepsBothEdgesAndContinuesTheCoordinates)
{
    TempDir dir;
    const std::string source = dir.File("source.rdp"), target = dir.File("part.rdp");
    WriteLayer(source, 12, 10, 3, [](int x, int y) { return std::pair{double(x + 100 * y), 0.0}; });
    CCoordLawData law;
    ASSERT_TRUE(law.SaveDataKt(source.c_str(), 0.5, -10.0, 2.0, 7.0));
    auto* record = new RasterSaveRecord;
    record->destination = target.c_str();
    record->source = source.c_str();
    record->rect = {3, 2, 7, 4};
    SaveRasterRectJob(record, nullptr);

    CRDPLayer part;
    ASSERT_NE(part.OpenLayer(target.c_str(), kOpenReadOnly), nullptr);
    EXPECT_EQ(part.Width(), 5);
    EXPECT_EQ(part.Height(), 3);
    EXPECT_EQ(part.GetValue(0, 0), 203);
    EXPECT_EQ(part.GetValue(4, 2), 407);
    part.CloseLayer();
    CCoordLawData partLaw;
    ASSERT_TRUE(partLaw.LoadData(target.c_str()));
    EXPECT_DOUBLE_EQ(partLaw.GetLogicalCoord(1.0, 1.0).x, law.GetLogicalCoord(4.0, 3.0).x);
    EXPECT_DOUBLE_EQ(partLaw.GetLogicalCoord(1.0, 1.0).y, law.GetLogicalCoord(4.0, 3.0).y);
}

// ---------------------------------------------------------------------------------------------
// Drawing

TEST(RasterViewDraw, DrawsThePyramidThroughThePaletteAtEveryZoom)
{
    TempDir dir;
    NotifyWindow wnd;
    const std::string path = dir.File("scene.rdp");
    const int width = 300, height = 200;
    WriteLayer(path, width, height, 1, [](int x, int y) {
        return std::pair{double((x * 3 + y * 5) % 256), 0.0};
    });
    CRasterView view;
    ASSERT_EQ(OpenAndWait(view, wnd, path, 0, 3, 0, 255), kViewerShown);
    view.SetShown(TRUE);
    BYTE ramp[256];
    for (int i = 0; i < 256; ++i) ramp[i] = BYTE(255 - i / 2);
    view.SetCorrectionTable(ramp, 0);
    ColorStruct palette[256];
    view.GetPalitra(palette);

    CRDPLayer layer;
    ASSERT_NE(layer.OpenLayer(path.c_str(), kOpenReadOnly), nullptr);
    const auto* samples = static_cast<const std::uint8_t*>(layer.GetDataPtr());
    const auto levels =
        pyramid_reference::Levels(pyramid_reference::MapLayer(1, samples, width, width, height, 0, 0, 255),
                                  PyramidLevelCount(width, height));

    struct Case {
        double zoom;
        int x, y;
        BOOL visibleOnly;
    };
    const Case cases[] = {{1, 0, 0, TRUE},  {1, 40, 30, TRUE},  {2, 20, 10, TRUE},
                          {3, 0, 0, TRUE},  {0.5, 10, 6, TRUE}, {1.0 / 3, 0, 0, TRUE},
                          {2, 0, 0, FALSE}, {2, 20, 10, FALSE}, {0.5, 0, 0, FALSE}};
    const int cw = 160, ch = 120;
    std::vector<BYTE> bits(size_t(2000) * 2000);
    std::vector<BYTE> infoBytes(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD));
    auto* info = reinterpret_cast<BITMAPINFO*>(infoBytes.data());
    const COLORREF background = RGB(1, 2, 3);
    for (const Case& c : cases) {
        SCOPED_TRACE("zoom " + std::to_string(c.zoom) + " at " + std::to_string(c.x) + "," +
                     std::to_string(c.y));
        Canvas canvas(cw, ch, background);
        view.SetZoom(c.zoom, 0);
        view.DrawEx(CDC::FromHandle(canvas.dc()), c.x, c.y, cw, ch, c.zoom, c.visibleOnly, bits.data(), info);
        const int sx = int(c.x / c.zoom), sy = int(c.y / c.zoom);
        const auto read = c.visibleOnly || c.zoom >= 1
                              ? pyramid_reference::ReadWindow(levels, sx, sy, cw, ch, c.zoom, false)
                              : pyramid_reference::ReadWindow(levels, 0, 0, cw, ch, c.zoom, false);
        const int drawnW = std::min(read.w, int((width - c.x) / c.zoom));
        const int drawnH = std::min(read.h, int((height - c.y) / c.zoom));
        int wrong = 0;
        for (int y = 0; y < ch; ++y)
            for (int x = 0; x < cw; ++x) {
                COLORREF expected = background;
                if (x < drawnW && y < drawnH) {
                    const ColorStruct& p = palette[read.values[size_t(y) * read.w + x]];
                    expected = RGB(p.red, p.green, p.blue);
                }
                if (canvas.At(x, y) != expected && wrong++ < 3)
                    ADD_FAILURE() << "pixel " << x << "," << y << " is " << std::hex << canvas.At(x, y)
                                  << " instead of " << expected;
            }
        EXPECT_EQ(wrong, 0);
        if (c.zoom == 0.5 && c.visibleOnly)
            tarvenix::test::SaveTestOutput(ToImage(canvas), "raster_view_zoom_half");
    }
}

// The 24-bit render (the export) is made in bands of rows; at any zoom and in both row
// orders it must equal the reference read through the palette, whole windows and windows
// cut to the picture alike.
TEST(RasterViewDraw, RenderRgbEqualsTheReferenceInBandsAtEveryZoom)
{
    TempDir dir;
    NotifyWindow wnd;
    const std::string path = dir.File("render.rdp");
    const int width = 300, height = 200;
    WriteLayer(path, width, height, 1, [](int x, int y) {
        return std::pair{double((x * 7 + y * 3 + x * y) % 256), 0.0};
    });
    CRasterView view;
    ASSERT_EQ(OpenAndWait(view, wnd, path, 0, 3, 0, 255), kViewerShown);
    ColorStruct palette[256];
    view.GetPalitra(palette);
    CRDPLayer layer;
    ASSERT_NE(layer.OpenLayer(path.c_str(), kOpenReadOnly), nullptr);
    const auto* samples = static_cast<const std::uint8_t*>(layer.GetDataPtr());
    const auto levels =
        pyramid_reference::Levels(pyramid_reference::MapLayer(1, samples, width, width, height, 0, 0, 255),
                                  PyramidLevelCount(width, height));
    struct Case {
        double zoom;
        int x, y, w, h;
    };
    const Case cases[] = {{1, 0, 0, 300, 200},     {1, 17, 9, 250, 150}, {2.5, 3, 5, 110, 70},
                          {0.6, 40, 30, 400, 290}, {3, 0, 0, 100, 66},   {1, 200, 150, 150, 90}};
    for (const Case& c : cases)
        for (int bottomUp : {0, 1}) {
            SCOPED_TRACE(::testing::Message() << "zoom " << c.zoom << " at " << c.x << "," << c.y << " "
                                              << c.w << "x" << c.h << " bottom-up " << bottomUp);
            const int stride = (c.w * 3 + 3) / 4 * 4;
            std::vector<BYTE> out(std::size_t(stride) * c.h, 0);
            view.RenderRGB(c.x, c.y, c.w, c.h, stride, bottomUp, c.zoom, FALSE, out.data(), nullptr);
            const auto read = pyramid_reference::ReadWindow(levels, c.x, c.y, c.w, c.h, c.zoom, false);
            ASSERT_GT(read.w, 0);
            for (int j = 0; j < read.h; ++j) {
                const int row = bottomUp ? read.h - 1 - j : j;
                for (int i = 0; i < read.w; ++i) {
                    const ColorStruct& p = palette[read.values[std::size_t(j) * read.w + i]];
                    const BYTE* px = out.data() + std::size_t(row) * stride + 3 * i;
                    ASSERT_EQ(RGB(px[2], px[1], px[0]), RGB(p.red, p.green, p.blue)) << i << "," << j;
                }
            }
        }
}

TEST(RasterViewDraw, EdgeRectanglesDrawTheirLastPixelsOnly)
{
    TempDir dir;
    NotifyWindow wnd;
    const std::string path = dir.File("scene.rdp");
    WriteLayer(path, 64, 48, 1, [](int x, int y) { return std::pair{double(x * 4), double(y)}; });
    CRasterView view;
    ASSERT_EQ(OpenAndWait(view, wnd, path, 0, 3, 0, 255), kViewerShown);
    view.SetShown(TRUE);
    std::vector<BYTE> bits(64 * 64);
    std::vector<BYTE> infoBytes(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD));
    auto* info = reinterpret_cast<BITMAPINFO*>(infoBytes.data());
    const COLORREF background = RGB(1, 2, 3);

    Canvas one(16, 16, background);
    const RECT pixel{0, 0, 0, 0};
    view.CopyRectToDC(CDC::FromHandle(one.dc()), &pixel, bits.data(), info);
    const RECT ink = one.Ink(background);
    EXPECT_EQ(ink.left, 0);
    EXPECT_EQ(ink.top, 0);
    EXPECT_EQ(ink.right, 1);
    EXPECT_EQ(ink.bottom, 1);
    EXPECT_EQ(one.At(0, 0), view.GetPixelColor(0, 0));

    // A rectangle that starts past the right edge keeps the last column.
    Canvas column(32, 32, background);
    view.DrawRectEx(CDC::FromHandle(column.dc()), 5, 2, 70, 0, 10, 8, 1.0, TRUE, bits.data(), info);
    const RECT columnInk = column.Ink(background);
    EXPECT_EQ(columnInk.left, 5);
    EXPECT_EQ(columnInk.right, 6);
    EXPECT_EQ(columnInk.top, 2);
    EXPECT_EQ(columnInk.bottom, 10);
    for (int y = 0; y < 8; ++y) EXPECT_EQ(column.At(5, 2 + y), view.GetPixelColor(63, y));

    // Histograms of selections: a rectangle counts its box, any other shape its pixels.
    std::vector<unsigned> counters(256);
    const HRGN box = ::CreateRectRgn(0, 0, 10, 10);
    EXPECT_EQ(view.GetHistDataRgn(1, counters.data(), 1024, 256, box), 100);
    EXPECT_EQ(view.GetHistDataRgn(2, counters.data(), 1024, 256, box), -1);
    const HRGN ellipse = ::CreateEllipticRgn(10, 10, 30, 24);
    EXPECT_EQ(view.GetHistDataRgn(1, counters.data(), 1024, 256, ellipse), int(::GetRgnArea(ellipse)));
    ::DeleteObject(box);
    ::DeleteObject(ellipse);
}

TEST(RasterViewDraw, ARadarSceneInGreyAndInColour)
{
    // Speckled fields, a river and a bright town, as a radar amplitude image looks.
    TempDir dir;
    NotifyWindow wnd;
    const std::string path = dir.File("radar.rdp");
    const int width = 640, height = 480;
    std::mt19937 rng(7);
    std::gamma_distribution<double> speckle(2.0, 0.5);
    std::vector<double> values(size_t(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int field = ((x / 80) * 7 + (y / 60) * 3) % 5;
            double v = 40.0 + 25.0 * field;
            const double river = std::abs(y - (240 + 80 * std::sin(x / 90.0)));
            if (river < 12) v = 8;
            if (std::hypot(x - 470, y - 130) < 45) v = 230;
            values[size_t(y) * width + x] = v * speckle(rng);
        }
    WriteLayer(path, width, height, 7, [&](int x, int y) {
        return std::pair{values[size_t(y) * width + x], 0.0};
    });
    CRasterView view;
    ASSERT_EQ(OpenAndWait(view, wnd, path, 0, 0), kViewerShown);  // the automatic stretch
    view.SetShown(TRUE);
    std::vector<BYTE> bits(size_t(width + 3) * height);
    std::vector<BYTE> infoBytes(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD));
    auto* info = reinterpret_cast<BITMAPINFO*>(infoBytes.data());
    const double fit = 2.0;
    Canvas grey(width / 2, height / 2);
    view.SetZoom(fit, 0);
    view.DrawEx(CDC::FromHandle(grey.dc()), 0, 0, grey.width(), grey.height(), fit, FALSE, bits.data(), info);
    tarvenix::test::SaveTestOutput(ToImage(grey), "raster_view_radar_grey_fit");

    CColorMap rainbow;
    rainbow.SetEntries(
        {{0.0, RGB(0, 0, 128)}, {0.35, RGB(0, 160, 255)}, {0.65, RGB(255, 230, 0)}, {1.0, RGB(200, 0, 0)}});
    rainbow.SetMinMax(view.GetDisplayMin(1), view.GetDisplayMax(1));
    view.SetColorMap(&rainbow);
    Canvas colour(width, height);
    view.SetZoom(1.0, 0);
    view.DrawEx(CDC::FromHandle(colour.dc()), 0, 0, width, height, 1.0, TRUE, bits.data(), info);
    tarvenix::test::SaveTestOutput(ToImage(colour), "raster_view_radar_colour_1to1");
    // The map was copied for the shown mode and reaches the picture.
    ASSERT_NE(view.GetModeColorMap(501), nullptr);
    EXPECT_EQ(view.GetModeColorMap(501)->GetEntryCount(), 4);
    EXPECT_EQ(colour.At(470, 130), view.GetPixelColor(470, 130));
    EXPECT_NE(grey.At(235, 65), colour.At(470, 130));
}
