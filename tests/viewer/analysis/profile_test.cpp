#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <QImage>
#include <gtest/gtest.h>

#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/settings.h"
#include "platform/resources/resources.h"
#include "platform/shell/clipboard.h"
#include "platform/shell/shell.h"
#include "tests/support/modal_responder.h"
#include "tests/support/test_environment.h"
#include "tests/support/ui_helpers.h"
#include "viewer/analysis/profile_frame.h"
#include "viewer/core/raster_view_services.h"

using tarvenix::test::ClickCommand;
using tarvenix::test::DragWindow;
using tarvenix::test::GrabWindow;
using tarvenix::test::PumpEvents;
using tarvenix::test::ReadWholeFile;
using tarvenix::test::Responder;
using tarvenix::test::SaveTestOutput;
using tarvenix::test::TempDir;

namespace {

// A profile window made the way the raster view makes one, closed at the end.
struct Window {
    CProfileFrame* frame = new CProfileFrame;
    explicit Window(const char* title = "Profile along X axis with Y= 5")
    {
        EXPECT_TRUE(frame->Create(nullptr, title));
        frame->MoveWindow(10, 10, 640, 400);
        PumpEvents();
    }
    ~Window()
    {
        if (frame->GetSafeHwnd()) frame->DestroyWindow();
        PumpEvents();
    }
    CProfileView& view() { return frame->View(); }
};

std::vector<double> Wave(int n, double phase = 0.0)
{
    std::vector<double> v(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) v[std::size_t(i)] = 100 + 80 * std::sin(i / 9.0 + phase);
    return v;
}

QRgb At(const QImage& image, int x, int y)
{
    return image.pixel(x, y) & 0xFFFFFF;
}

bool ShowsColour(const QImage& image, const CRect& r, QRgb colour)
{
    for (int y = std::max(0, int(r.top)); y < std::min(image.height(), int(r.bottom)); ++y)
        for (int x = std::max(0, int(r.left)); x < std::min(image.width(), int(r.right)); ++x)
            if (At(image, x, y) == colour) return true;
    return false;
}

TEST(ProfileClip, SegmentsAgainstTheWindow)
{
    const ProfileRange w{0, 10, 0, 10};
    struct Case {
        const char* name;
        double x1, y1, x2, y2;
        bool kept;
        double ex1, ey1, ex2, ey2;
    };
    const Case cases[] = {
        {"inside", 1, 1, 9, 9, true, 1, 1, 9, 9},
        {"inside to outside", 5, 5, 15, 5, true, 5, 5, 10, 5},
        {"outside to inside", -5, 0, 5, 10, true, 0, 5, 5, 10},
        {"both beyond one side", 11, 1, 20, 9, false, 0, 0, 0, 0},
        {"across a corner", -2, 8, 2, 12, true, 0, 10, 0, 10},
        {"vertical", 3, -5, 3, 15, true, 3, 0, 3, 10},
        {"horizontal", -5, 4, 15, 4, true, 0, 4, 10, 4},
        {"past the corner", -2, 9, 1, 12, false, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        double x1 = c.x1, y1 = c.y1, x2 = c.x2, y2 = c.y2;
        ASSERT_EQ(ClipProfileSegment(x1, y1, x2, y2, w), c.kept) << c.name;
        if (!c.kept) continue;
        EXPECT_DOUBLE_EQ(x1, c.ex1) << c.name;
        EXPECT_DOUBLE_EQ(y1, c.ey1) << c.name;
        EXPECT_DOUBLE_EQ(x2, c.ex2) << c.name;
        EXPECT_DOUBLE_EQ(y2, c.ey2) << c.name;
    }
}

TEST(ProfileView, SchemesSwapCurveColoursAndNothingIsDrawnOutsideThePlot)
{
    Window white;
    ClickCommand(*white.frame, ID_PROFILE_SCHEME_WHITE);
    const auto values = Wave(300);
    ASSERT_TRUE(white.frame->SetProfile(values.data(), 300, RGB(255, 255, 255)));
    EXPECT_EQ(white.view().Curves()[0].color, 0x000000u) << "white on white is drawn black";
    QImage image = GrabWindow(white.view());
    SaveTestOutput(image, "profile_white_one_curve");
    const CRect plot = white.view().PlotRect();
    EXPECT_TRUE(ShowsColour(image, CRect(plot.left + 1, plot.top + 1, plot.right, plot.bottom), 0x000000));

    // Zoom in on the middle: the curve leaves the window, yet no black pixel reaches the
    // label strips to the right of the plot.
    for (int i = 0; i < 3; ++i) ClickCommand(*white.frame, ID_PROFILE_VZOOM_IN);
    image = GrabWindow(white.view());
    EXPECT_FALSE(
        ShowsColour(image, CRect(plot.right + 2, plot.top + 22, plot.right + 40, plot.bottom - 22), 0));

    Window dark;
    ClickCommand(*dark.frame, ID_PROFILE_SCHEME_DARK);
    ASSERT_TRUE(dark.frame->SetProfile(values.data(), 300, RGB(0, 0, 0)));
    EXPECT_EQ(dark.view().Curves()[0].color, 0x000000u) << "black on black is drawn black first";
    ClickCommand(*dark.frame, ID_PROFILE_SCHEME_DARK);
    EXPECT_EQ(dark.view().Curves()[0].color, 0xFF80FFu);
    SaveTestOutput(GrabWindow(dark.view()), "profile_dark_one_curve");
}

// A long curve is put down through a pixel mask; its pixels must be those of drawing every
// visible segment with the pen, at full range and zoomed in.
TEST(ProfileView, ALongCurveShowsThePixelsOfItsSegments)
{
    Window w;
    constexpr int kCount = 20000;
    std::vector<double> values(kCount);
    for (int i = 0; i < kCount; ++i) values[std::size_t(i)] = std::sin(i / 40.0) * 60 + (i % 53) * 1.5;
    ASSERT_TRUE(w.frame->SetProfile(values.data(), kCount, RGB(20, 200, 40)));
    CProfileView& view = w.view();
    const ProfileCurve& curve = view.Curves()[0];
    const QRgb colour =
        QRgb(GetRValue(curve.color) << 16 | GetGValue(curve.color) << 8 | GetBValue(curve.color));
    const ProfileRange full = view.FullRange();
    const struct {
        const char* name;
        double from, to;  // of the full width
    } cases[] = {{"full", 0.0, 1.0}, {"tenth", 0.43, 0.53}, {"edge", 0.0, 0.07}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const double span = full.xMax - full.xMin;
        view.SetRange(full.xMin + c.from * span, full.xMin + c.to * span, full.yMin + 10, full.yMax - 5);
        const QImage shown = GrabWindow(view);
        CRect client;
        view.GetClientRect(&client);
        // The grab holds the scroll bars too; the client area is its top-left part.
        ASSERT_TRUE(shown.width() >= client.Width() && shown.height() >= client.Height());

        // The segments drawn one by one on a bitmap of the same size, through the same clip.
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = client.Width();
        info.bmiHeader.biHeight = -client.Height();
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* raw = nullptr;
        HBITMAP section = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &raw, nullptr, 0);
        ASSERT_NE(section, nullptr);
        std::memset(raw, 0, std::size_t(client.Width()) * client.Height() * 4);
        CDC dc;
        ASSERT_TRUE(dc.CreateCompatibleDC(nullptr));
        const HGDIOBJ old = ::SelectObject(dc.GetSafeHdc(), section);
        const CRect plot = view.PlotRect();
        CRgn clip;
        clip.CreateRectRgn(plot.left, plot.top, plot.right + 1, plot.bottom + 1);
        dc.SelectClipRgn(&clip);
        CPen pen;
        pen.CreatePen(PS_SOLID, 1, RGB(255, 255, 255));
        CPen* oldPen = dc.SelectObject(&pen);
        ProfileRange visible;
        view.GetRange(visible.xMin, visible.xMax, visible.yMin, visible.yMax);
        const double sx = plot.Width() / (visible.xMax - visible.xMin);
        const double sy = plot.Height() / (visible.yMax - visible.yMin);
        for (int j = 1; j < curve.count; ++j) {
            double x1 = curve.points[j - 1].x, y1 = curve.points[j - 1].y;
            double x2 = curve.points[j].x, y2 = curve.points[j].y;
            if (!ClipProfileSegment(x1, y1, x2, y2, visible)) continue;
            dc.MoveTo(plot.left + int((x1 - visible.xMin) * sx), plot.bottom - int((y1 - visible.yMin) * sy));
            dc.LineTo(plot.left + int((x2 - visible.xMin) * sx), plot.bottom - int((y2 - visible.yMin) * sy));
        }
        dc.SelectObject(oldPen);
        ::SelectObject(dc.GetSafeHdc(), old);
        const auto* expected = static_cast<const std::uint32_t*>(raw);
        int curvePixels = 0;
        for (int y = 0; y < client.Height(); ++y)
            for (int x = 0; x < client.Width(); ++x) {
                const bool drawn = (expected[std::size_t(y) * client.Width() + x] & 0xFFFFFF) != 0;
                curvePixels += drawn;
                ASSERT_EQ(At(shown, x, y) == colour, drawn) << x << "," << y;
            }
        EXPECT_GT(curvePixels, plot.Width()) << "the curve crosses the plot";
        ::DeleteObject(section);
    }
}

TEST(ProfileView, RgbProfileInBothSchemesAndItsSaves)
{
    TempDir dir;
    Window w("Profile along Y axis with X= 12");
    const COLORREF colours[3] = {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255)};
    std::vector<double> curves[3];
    for (int c = 0; c < 3; ++c) {
        curves[c] = Wave(200, c * 1.3);
        ASSERT_TRUE(w.frame->SetProfile(curves[c].data(), 200, colours[c]));
    }
    ClickCommand(*w.frame, ID_PROFILE_SCHEME_WHITE);
    for (int c = 0; c < 3; ++c) EXPECT_EQ(w.view().Curves()[c].color, colours[c]);
    SaveTestOutput(GrabWindow(w.view()), "profile_white_rgb");
    ClickCommand(*w.frame, ID_PROFILE_SCHEME_DARK);
    for (int c = 0; c < 3; ++c) EXPECT_EQ(w.view().Curves()[c].color, colours[c]);
    SaveTestOutput(GrabWindow(w.view()), "profile_dark_rgb");

    ASSERT_EQ(w.view().SaveToFile(dir.File("rgb.txt").c_str(), 2), 1);
    const std::string text = ReadWholeFile(dir.File("rgb.txt"));
    std::size_t rows = 0;
    for (std::size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2, ++rows) {
        const std::string row = text.substr(at, end - at);
        ASSERT_EQ(std::count(row.begin(), row.end(), '\t'), 6) << row;
        ASSERT_EQ(row.back(), '\t');
    }
    EXPECT_EQ(rows, 200u);
    EXPECT_EQ(text.substr(0, 2), "0\t");

    ASSERT_EQ(w.view().SaveToFile(dir.File("rgb.rdp").c_str(), 1), 1);
    CRDPLayer layer;
    void** rows3 = layer.OpenLayer(dir.File("rgb.rdp").c_str(), kOpenReadOnly);
    ASSERT_NE(rows3, nullptr);
    EXPECT_EQ(layer.Width(), 200);
    EXPECT_EQ(layer.Height(), 3);
    EXPECT_FLOAT_EQ(static_cast<float*>(rows3[2])[7], float(curves[2][7]));
    layer.CloseLayer();
}

TEST(ProfileView, CurvesOfUnequalLengthKeepTheirColumns)
{
    TempDir dir;
    Window w;
    const double a[] = {1, 2, 3}, b[] = {7}, c[] = {4, 5};
    w.frame->SetProfile(a, 3, RGB(255, 0, 0));
    w.frame->SetProfile(b, 1, RGB(0, 255, 0));
    w.frame->SetProfile(c, 2, RGB(0, 0, 255));
    ASSERT_EQ(w.view().SaveToFile(dir.File("mixed.txt").c_str(), 2), 1);
    EXPECT_EQ(ReadWholeFile(dir.File("mixed.txt")),
              "0\t1\t0\t7\t0\t4\t\r\n1\t2\t\t\t1\t5\t\r\n2\t3\t\t\t\t\t\r\n");
    ASSERT_EQ(w.view().SaveToFile(dir.File("mixed.rdp").c_str(), 1), 1);
    CRDPLayer layer;
    ASSERT_NE(layer.OpenLayer(dir.File("mixed.rdp").c_str(), kOpenReadOnly), nullptr);
    EXPECT_EQ(layer.Width(), 3);
    layer.CloseLayer();
}

TEST(ProfileView, LogicalProfilesNameTheirAxis)
{
    const double values[] = {1, 3, 2, 5};
    struct Case {
        CPointT<double> points[4];
        CString axis;
        double xMin, xMax;
    };
    const Case cases[] = {
        {{{2, 10}, {2, 11}, {2, 13}, {2, 14}}, "Y", 10, 14},  // X constant: logical Y
        {{{1, 10}, {2, 11}, {3, 13}, {4, 14}}, "Y", 0, 4},    // both vary: sample numbers 0..n
        {{{5, 5}, {5, 5}, {5, 5}, {5, 5}}, "", 0, 4},         // neither: name kept
        {{{1, 7}, {2, 7}, {6, 7}, {8, 7}}, "X", 1, 8},        // Y constant: logical X
    };
    for (const Case& c : cases) {
        Window w;
        ASSERT_TRUE(w.frame->SetLogicalProfile(values, 4, c.points, RGB(255, 128, 255)));
        EXPECT_EQ(w.view().AxisName(), c.axis);
        EXPECT_DOUBLE_EQ(w.view().FullRange().xMin, c.xMin);
        EXPECT_DOUBLE_EQ(w.view().FullRange().xMax, c.xMax);
    }
}

TEST(ProfileView, ReadoutScrollRoomAndInvalidRanges)
{
    Window w;
    ClickCommand(*w.frame, ID_PROFILE_SCHEME_WHITE);
    const auto values = Wave(500);
    w.frame->SetProfile(values.data(), 500, RGB(255, 0, 0));
    CProfileView& view = w.view();
    const CRect plot = view.PlotRect();
    const CRect xStrip(plot.left, plot.bottom + 20, plot.right, plot.bottom + 35);

    // The read-out shows on the border and is cleared one pixel outside.
    const auto written = [&] {
        const QImage image = GrabWindow(view);
        for (int y = xStrip.top; y < xStrip.bottom; ++y)
            for (int x = xStrip.left; x < xStrip.right; ++x)
                if (At(image, x, y) != 0xFFFFFF) return true;
        return false;
    };
    view.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(plot.left, plot.bottom));
    EXPECT_TRUE(written());
    SaveTestOutput(GrabWindow(view), "profile_readout");
    view.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(plot.left, plot.bottom + 1));
    EXPECT_FALSE(written());

    SCROLLINFO si{sizeof(SCROLLINFO), SIF_ALL, 0, 0, 0, 0, 0};
    view.GetScrollInfo(SB_HORZ, &si);
    EXPECT_EQ(si.nMin, si.nMax) << "visible = full leaves no room";
    view.GetScrollInfo(SB_VERT, &si);
    EXPECT_EQ(si.nMin, si.nMax);

    // Zoomed, a line step moves the window by five pixels' worth of values.
    ClickCommand(*w.frame, ID_PROFILE_HZOOM_IN);
    double x0, x1, y0, y1;
    view.GetRange(x0, x1, y0, y1);
    view.SendMessage(WM_HSCROLL, SB_LINERIGHT, 0);
    double n0, n1, m0, m1;
    view.GetRange(n0, n1, m0, m1);
    // (The plot is read again: its right edge gives the zoomed extreme values their room.)
    EXPECT_NEAR(n0 - x0, 5 * (x1 - x0) / view.PlotRect().Width(), 1e-9);
    view.GetScrollInfo(SB_HORZ, &si);
    EXPECT_LT(si.nMin, si.nMax);

    // Zooming in again and again stops before the mapping breaks down.
    for (int i = 0; i < 80; ++i) ClickCommand(*w.frame, ID_PROFILE_HZOOM_IN);
    view.GetRange(x0, x1, y0, y1);
    EXPECT_GT(x1 - x0, 0.0);
    EXPECT_TRUE(view.IsDrawable());
    view.GetScrollInfo(SB_HORZ, &si);
    EXPECT_LE(si.nMin, si.nMax);

    // A constant profile has no value range: the view says so instead of dividing.
    Window flat;
    const double constant[] = {4, 4, 4};
    flat.frame->SetProfile(constant, 3, RGB(255, 0, 0));
    EXPECT_FALSE(flat.view().IsDrawable());
    EXPECT_EQ(flat.view().Redraw(TRUE), 0);
    Window single;
    single.frame->SetProfile(constant, 1, RGB(255, 0, 0));
    EXPECT_FALSE(single.view().IsDrawable());
}

TEST(ProfileFrame, SaveKeepsATypedExtensionAndRemembersTheFormat)
{
    TempDir dir;
    Window w;
    const auto values = Wave(20);
    w.frame->SetProfile(values.data(), 20, RGB(255, 0, 0));

    Responder().AnswerFile({dir.File("table.dat").c_str()}, 2);
    Responder().AnswerMessageBox(IDNO);
    ClickCommand(*w.frame, ID_PROFILE_SAVE);
    EXPECT_EQ(ReadWholeFile(dir.File("table.dat")).substr(0, 4), "0\t10");
    EXPECT_EQ(GetStringValue(kProfileSettingsKey, "LastSaveAs"), "2");

    // Without an extension the chosen type's is added; Yes opens a picture on the desktop.
    CString opened;
    platform::SetShellOpenHook([&](const QUrl&) {
        opened = "yes";
        return true;
    });
    Responder().AnswerFile({dir.File("picture").c_str()}, 3);
    Responder().AnswerMessageBox(IDYES);
    ClickCommand(*w.frame, ID_PROFILE_SAVE);
    platform::SetShellOpenHook({});
    EXPECT_EQ(ReadWholeFile(dir.File("picture.bmp")).substr(0, 2), "BM");
    EXPECT_EQ(opened, "yes");

    // A folder that does not exist: the failure is said, nothing is left.
    Responder().AnswerFile({dir.File("none/x.txt").c_str()}, 2);
    Responder().AnswerMessageBox(IDOK);
    Responder().AnswerMessageBox(IDOK);
    ClickCommand(*w.frame, ID_PROFILE_SAVE);
    EXPECT_EQ(Responder().Asked().back().text, "Failure to save file");
}

TEST(ProfileFrame, MinimumSizeAndTheSchemeOfTheLastWindow)
{
    {
        Window w;
        CRect before;
        w.frame->GetWindowRect(&before);
        DragWindow(*w.frame, HTLEFT, CSize(before.Width() - 100, 0));
        CRect after;
        w.frame->GetWindowRect(&after);
        EXPECT_EQ(after.Width(), 250);
        EXPECT_EQ(after.left, before.left + before.Width() - 100) << "the left edge follows the drag";
        ClickCommand(*w.frame, ID_PROFILE_SCHEME_WHITE);
    }
    Window next;
    EXPECT_EQ(next.view().BackgroundColor(), 0xFFFFFFu);
}

TEST(ProfileFrame, ContextMenuCopiesPictureAndDrawing)
{
    Window w;
    const auto values = Wave(100);
    w.frame->SetProfile(values.data(), 100, RGB(255, 0, 0));
    Responder().AnswerPopupMenu(ID_PROFILE_COPY);
    w.frame->SendMessage(WM_CONTEXTMENU, WPARAM(w.view().GetSafeHwnd()), MAKELPARAM(200, 200));
    PumpEvents();
    CRect client;
    w.view().GetClientRect(&client);
    EXPECT_EQ(platform::ClipboardImage().size(), QSize(client.Width(), client.Height()));
    EXPECT_TRUE(platform::ClipboardDrawing().contains("<svg"));
}

TEST(ProfileFrame, TheRasterViewSeamOpensAWindow)
{
    ASSERT_NE(GetRasterViewServices().showProfile, nullptr);
    RasterProfileRequest request;
    request.caption = "Profile along X axis with Y= 3";
    request.values = Wave(50);
    request.colour = RGB(255, 128, 255);
    EXPECT_TRUE(GetRasterViewServices().showProfile(request));
    const HWND window = ::FindWindow(nullptr, "Profile along X axis with Y= 3");
    ASSERT_NE(window, nullptr);
    CWnd::FromHandle(window)->DestroyWindow();
    PumpEvents();
}

}  // namespace

TEST(ProfileView, TheExtremeValuesRightOfThePlotHaveRoomForTheirWholeText)
{
    Window w;
    std::vector<double> values = Wave(200);
    values[20] = -0.000123456;
    values[150] = 12345.678;
    ASSERT_TRUE(w.frame->SetProfile(values.data(), int(values.size()), RGB(255, 128, 255)));
    PumpEvents();
    CRect client;
    w.view().GetClientRect(&client);
    const CRect plot = w.view().PlotRect();
    // "-0.000123456" is wider than the 38 pixels a short value gets.
    EXPECT_GE(client.right - plot.right, 60);
    const QImage image = GrabWindow(w.view());
    SaveTestOutput(image, "profile_range_labels");
    const QRgb background = At(image, client.right - 1, client.bottom - 1);
    for (int y = plot.top; y < plot.bottom; ++y)
        ASSERT_EQ(At(image, client.right - 1, y), background) << "no label reaches the window's edge";
}

TEST(ProfileFrame, ItsIconAndTextsComeFromTheResources)
{
    Window w;
    EXPECT_NE(::LoadIcon(nullptr, MAKEINTRESOURCE(251)), nullptr) << "icon 251";
    const struct {
        UINT id;
        const char* text;
    } texts[] = {
        {34232, "Tarvenix file (*.rdp)|*.rdp|Text file (*.txt)|*.txt|Windows Bitmap file (*.bmp)|*.bmp||"},
        {34264, "File has been wrote successfull.\nDo you want to view it?"},
        {34265, "Save profile"},
        {34266, "Failure to save file"},
    };
    for (const auto& t : texts) {
        CString loaded;
        EXPECT_TRUE(loaded.LoadString(t.id)) << t.id;
        EXPECT_EQ(loaded, t.text) << t.id;
    }
}
