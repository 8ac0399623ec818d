#include <gtest/gtest.h>

#include <QImage>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "outside/basecore/rdp_except.h"
#include "outside/basecore/region_info.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/gdi_objects.h"
#include "platform/gdi/region.h"
#include "platform/shell/clipboard.h"
#include "platform/window/wnd.h"
#include "tests/support/modal_responder.h"
#include "tests/support/ui_helpers.h"
#include "tests/viewer/core/view_host.h"
#include "viewer/analysis/property_set.h"
#include "viewer/analysis/selection_objects.h"
#include "outside/basecore/meter_info.h"
#include "viewer/frame/frame_viewer_ids.h"
#include "viewer/core/view_rect.h"
#include "viewer/core/viewer_messages.h"

using tarvenix::test::GrabWindow;
using tarvenix::test::PumpEvents;
using tarvenix::test::PumpUntil;
using tarvenix::test::Responder;
using tarvenix::test::SaveTestOutput;

namespace {

COLORREF Colour(int x, int y)
{
    return RGB(BYTE(40 + x * 3), BYTE(60 + y * 5), BYTE((x * 7 + y * 13) & 0xFF));
}

/// A picture that draws a known pattern at every zoom, renders it as 24-bit rows for the
/// export and copies rectangles of it at 1:1.
class TestPicture : public CVirtualView {
public:
    TestPicture(int width, int height)
    {
        m_nLayerClass = kLayerClassPicture;
        m_nViewKind = kViewKindSingleBand;
        m_nGeometry[0] = width;
        m_nGeometry[1] = height;
    }
    void RenderRGB(int x, int y, int width, int height, int stride, int bottomUp, double, BOOL, BYTE* dest,
                   CMeterInfoBase* meter) override
    {
        if (stopAfterRows >= 0) {
            if (meter) meter->SetRange(0, height);
            AfxThrowRDPExcept(RDP_ERROR_CANCEL);
        }
        for (int r = 0; r < height; ++r) {
            BYTE* row = dest + std::int64_t(bottomUp ? height - 1 - r : r) * stride;
            for (int i = 0; i < width; ++i) {
                const COLORREF c = Colour(x + i, y + r);
                row[3 * i] = GetBValue(c);
                row[3 * i + 1] = GetGValue(c);
                row[3 * i + 2] = GetRValue(c);
            }
        }
    }
    void DrawBlockAt(CDC*, int, int, int, int, int, int, double, BOOL, BYTE*, BITMAPINFO*) override {}
    void DrawOverlay(CDC*, int, int, int, int, double, BOOL, BYTE*, BITMAPINFO*) override {}
    void DrawEx(CDC* dc, int x, int y, int width, int height, double zoom, BOOL, BYTE*, BITMAPINFO*) override
    {
        Draw(dc, 0, 0, x, y, width, height, zoom);
    }
    void DrawRectEx(CDC* dc, int destX, int destY, int srcX, int srcY, int srcWidth, int srcHeight,
                    double zoom, BOOL, BYTE*, BITMAPINFO*) override
    {
        Draw(dc, destX, destY, srcX, srcY, int(std::ceil(srcWidth / zoom)), int(std::ceil(srcHeight / zoom)),
             zoom);
    }
    void CopyRectToDC(CDC* dc, const RECT* rect, BYTE*, BITMAPINFO*) override
    {
        Draw(dc, 0, 0, rect->left, rect->top, rect->right - rect->left + 1, rect->bottom - rect->top + 1,
             1.0);
    }
    void SetZoom(double, int) override {}
    CString GetLayerName() override { return "picture"; }

    int stopAfterRows = -1;

private:
    void Draw(CDC* dc, int destX, int destY, int x0, int y0, int w, int h, double zoom)
    {
        int cols = 0, rows = 0;
        while (cols < w && x0 + int(std::floor(cols * zoom)) < GetWidth()) ++cols;
        while (rows < h && y0 + int(std::floor(rows * zoom)) < GetHeight()) ++rows;
        if (cols == 0 || rows == 0) return;
        std::vector<std::uint32_t> pixels(std::size_t(cols) * rows);
        for (int j = 0; j < rows; ++j)
            for (int i = 0; i < cols; ++i) {
                const COLORREF c = Colour(x0 + int(std::floor(i * zoom)), y0 + int(std::floor(j * zoom)));
                pixels[std::size_t(j) * cols + i] =
                    (std::uint32_t(GetRValue(c)) << 16) | (std::uint32_t(GetGValue(c)) << 8) | GetBValue(c);
            }
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = cols;
        info.bmiHeader.biHeight = -rows;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        SetDIBitsToDevice(dc->GetSafeHdc(), destX, destY, cols, rows, 0, 0, 0, rows, pixels.data(), &info,
                          DIB_RGB_COLORS);
    }
};

/// The frame stand-in: frees the notifications the view window passes on.
using Host = ViewHost;

class ViewToolsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(
            host.CreateEx(0, nullptr, "Viewer", WS_POPUP | WS_VISIBLE, CRect(0, 0, 240, 180), nullptr, 0));
        ASSERT_TRUE(view.Create(&host));
        view.MoveWindow(0, 0, 240, 180);
    }
    void TearDown() override
    {
        view.StopOutline();
        view.DestroyWindow();
        host.DestroyWindow();
    }
    TestPicture* AddPicture(int width, int height)
    {
        auto* v = new TestPicture(width, height);
        EXPECT_GE(view.AddView(v, TRUE), 0);
        view.SendMessage(WM_VIEWER, reinterpret_cast<WPARAM>(new CViewNotify(v->GetIndex(), 0)),
                         kViewerShown);
        PumpEvents();
        return v;
    }
    void Send(UINT message, CPoint p, WPARAM keys = 0)
    {
        view.SendMessage(message, keys, MAKELPARAM(p.x, p.y));
    }
    void Drag(CPoint from, CPoint to)
    {
        Send(WM_MOUSEMOVE, from);
        Send(WM_LBUTTONDOWN, from, MK_LBUTTON);
        Send(WM_MOUSEMOVE, CPoint((from.x + to.x) / 2, (from.y + to.y) / 2), MK_LBUTTON);
        Send(WM_MOUSEMOVE, to, MK_LBUTTON);
        Send(WM_LBUTTONUP, to);
    }
    CRect SelectionBox() const
    {
        RECT box{};
        GetRgnBox(view.GetSelectionRgn(), &box);
        return box;
    }

    Host host;
    CViewRect view;
};

// --- rectangles ----------------------------------------------------------------------------------

TEST_F(ViewToolsTest, HandleHitTestTakesCornersBeforeEdges)
{
    const RECT r{100, 100, 140, 130};
    struct Case {
        int size;
        CPoint p;
        int hit;
    };
    for (const Case c :
         {Case{4, {100, 100}, 17}, Case{4, {98, 98}, 17}, Case{4, {97, 100}, 0}, Case{4, {102, 102}, 17},
          Case{4, {120, 101}, 18}, Case{4, {140, 99}, 19}, Case{4, {141, 115}, 20}, Case{4, {142, 132}, 21},
          Case{4, {120, 131}, 22}, Case{4, {99, 130}, 23}, Case{4, {100, 115}, 24}, Case{4, {120, 115}, 0},
          Case{8, {96, 115}, 24}, Case{8, {95, 115}, 0}, Case{8, {104, 104}, 17}}) {
        EXPECT_EQ(CViewRect::HitTestHandles(r, c.size, c.p), c.hit)
            << c.size << " at " << c.p.x << "," << c.p.y;
    }
}

TEST_F(ViewToolsTest, RectangleToolSelectsResizesPastTheCornerAndIgnoresZeroArea)
{
    AddPicture(200, 150);
    view.SetToolMode(9);
    Send(WM_MOUSEMOVE, {20, 20});
    Send(WM_LBUTTONDOWN, {20, 20}, MK_LBUTTON);
    Send(WM_LBUTTONUP, {20, 20});
    EXPECT_EQ(view.GetSelKind(), CViewRect::kSelNone) << "a click without a drag";
    EXPECT_FALSE(view.IsOutlineRunning());

    Drag({20, 20}, {60, 50});
    ASSERT_EQ(view.GetSelKind(), CViewRect::kSelRect);
    EXPECT_EQ(SelectionBox(), CRect(20, 20, 60, 50));
    EXPECT_EQ(view.GetSelKindName(), CString("Rectangular selection"));
    EXPECT_TRUE(view.IsOutlineRunning());
    EXPECT_EQ(::GetCapture(), nullptr);

    // The top-left handle dragged past the bottom-right corner.
    Drag({21, 21}, {80, 70});
    EXPECT_EQ(SelectionBox(), CRect(60, 50, 80, 70));

    CPropertySet props;
    view.FillSelProperties(&props);
    ASSERT_EQ(props.m_items.size(), 4u);
    EXPECT_EQ(props.m_items[0].value, CString("400"));
    EXPECT_EQ(props.m_items[1].value, CString("(60, 50) - (80, 70)"));
    EXPECT_EQ(props.m_items[2].value, CString("20"));
}

TEST_F(ViewToolsTest, HandleSizeGrowsWhenZoomedIn)
{
    AddPicture(200, 150);
    for (const double scale : {0.25, 0.125}) {
        view.SetScale(scale);
        view.SetRectSelection(4, 4, 10, 10, nullptr);
        view.SetToolMode(9);
        const CPoint corner = view.ImageToScreen(4, 4);
        const int reach = int(std::lround(1.0 / scale)) / 2;
        // Just inside the handle a press starts a resize (no new rectangle at the press).
        Drag(CPoint(corner.x - reach, corner.y - reach), view.ImageToScreen(2, 2));
        EXPECT_EQ(SelectionBox(), CRect(2, 2, 10, 10)) << scale;
    }
}

TEST_F(ViewToolsTest, SetSelectionRules)
{
    AddPicture(100, 50);
    view.SetRectSelection(500, 500, 600, 600, nullptr);
    EXPECT_EQ(SelectionBox(), CRect(0, 0, 100, 50)) << "wholly outside takes the whole picture";
    HRGN empty = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(view.SetSelection(empty), 0);
    DeleteObject(empty);
    HRGN rect = CreateRectRgn(5, 5, 15, 25);
    EXPECT_EQ(view.SetSelection(rect), CViewRect::kSelRect);
    DeleteObject(rect);
    const POINT tri[] = {{10, 10}, {40, 10}, {10, 40}};
    HRGN poly = CreatePolygonRgn(tri, 3, WINDING);
    EXPECT_EQ(view.SetSelection(poly), CViewRect::kSelRegion);
    CPropertySet props;
    view.FillSelProperties(&props);
    ASSERT_EQ(props.m_items.size(), 1u);
    CString count;
    count.Format("%g", double(GetRgnSpans(poly).Area()));
    EXPECT_EQ(props.m_items[0].value, count) << "Square is the plain pixel count";
    auto* info = dynamic_cast<CFreeRegionObj*>(view.GetSelInfo());
    ASSERT_NE(info, nullptr);
    EXPECT_DOUBLE_EQ(info->m_dArea, double(GetRgnSpans(poly).Area()));
    DeleteObject(poly);
}

// --- free hand and polygons ----------------------------------------------------------------------

TEST_F(ViewToolsTest, PolygonClosedOnItsFirstPointOrByTheRightButtonEndsTheSameWay)
{
    AddPicture(200, 150);
    view.SetToolMode(8);
    const POINT triangle[] = {{10, 10}, {80, 10}, {80, 70}, {10, 10}};
    HRGN expected = CreatePolygonRgn(triangle, 4, WINDING);
    for (const bool rightButton : {false, true}) {
        Send(WM_LBUTTONDOWN, {10, 10}, MK_LBUTTON);
        Send(WM_MOUSEMOVE, {80, 10});
        Send(WM_LBUTTONDOWN, {80, 10}, MK_LBUTTON);
        Send(WM_MOUSEMOVE, {80, 70});
        if (rightButton) {
            Send(WM_RBUTTONUP, {80, 70});
        } else {
            Send(WM_LBUTTONDOWN, {80, 70}, MK_LBUTTON);
            Send(WM_MOUSEMOVE, {10, 10});
            Send(WM_LBUTTONDOWN, {10, 10}, MK_LBUTTON);
        }
        EXPECT_EQ(::GetCapture(), nullptr) << rightButton;
        EXPECT_EQ(view.GetSelKind(), CViewRect::kSelRegion) << rightButton;
        EXPECT_TRUE(EqualRgn(view.GetSelectionRgn(), expected)) << rightButton;
        // A further move belongs to no gesture: it changes nothing.
        Send(WM_MOUSEMOVE, {150, 120});
        EXPECT_TRUE(EqualRgn(view.GetSelectionRgn(), expected));
    }
    DeleteObject(expected);
}

/// Waits for the outline's next frame and grabs the window.
QImage NextOutlineFrame(CViewRect& view)
{
    const long seen = view.GetOutlineFrames();
    EXPECT_TRUE(PumpUntil([&] { return view.GetOutlineFrames() > seen; }));
    PumpEvents();
    return GrabWindow(view).copy();
}

TEST_F(ViewToolsTest, ManySelectionsLeaveOneOutlineAndScreenshots)
{
    AddPicture(300, 200);
    view.SetToolMode(9);
    for (int i = 0; i < 6; ++i) Drag(CPoint(130 + 5 * i, 10), CPoint(30 - i, 90));
    EXPECT_TRUE(view.IsOutlineRunning());
    ASSERT_EQ(SelectionBox(), CRect(25, 10, 155, 90));
    view.SetScale(0.5);
    view.SetScale(1.0);
    const QImage a = NextOutlineFrame(view);
    const QImage b = NextOutlineFrame(view);
    SaveTestOutput(a, "view_tools_rectangle_frame1");
    SaveTestOutput(b, "view_tools_rectangle_frame2");
    // Black and white stripes on the outline that move between frames; inside, the picture.
    int stripes = 0, moved = 0;
    for (int y = 10; y < 90; ++y) {
        const QRgb p = a.pixel(25, y) & 0xFFFFFF;
        stripes += p == 0 || p == 0xFFFFFF;
        moved += p != (b.pixel(25, y) & 0xFFFFFF);
    }
    EXPECT_EQ(stripes, 80);
    EXPECT_GT(moved, 0);
    const COLORREF inside = Colour(60, 50);
    EXPECT_EQ(a.pixel(60, 50) & 0xFFFFFF,
              qRgb(GetRValue(inside), GetGValue(inside), GetBValue(inside)) & 0xFFFFFFu);

    view.SetToolMode(7);
    const CPoint loop[] = {{170, 30}, {210, 40}, {225, 100}, {190, 140}, {165, 120}, {175, 60}};
    Send(WM_LBUTTONDOWN, loop[0], MK_LBUTTON);
    for (const CPoint p : loop) Send(WM_MOUSEMOVE, p, MK_LBUTTON);
    Send(WM_LBUTTONUP, loop[5]);
    EXPECT_EQ(view.GetSelKind(), CViewRect::kSelRegion);
    EXPECT_EQ(view.GetSelKindName(), CString("Free-Hand selection"));
    const QImage c = NextOutlineFrame(view);
    EXPECT_NE(c.pixel(25, 50), a.pixel(25, 50)) << "the rectangle's outline is gone";
    SaveTestOutput(c, "view_tools_freehand_frame1");
    SaveTestOutput(NextOutlineFrame(view), "view_tools_freehand_frame2");
}

TEST_F(ViewToolsTest, ContextMenuEnablesSaveRegionOnlyInsideTheSelection)
{
    AddPicture(200, 150);
    view.SetRectSelection(10, 10, 50, 50, nullptr);
    for (const bool inside : {true, false}) {
        const CPoint client = inside ? CPoint(20, 20) : CPoint(100, 100);
        CPoint screen = client;
        view.ClientToScreen(&screen);
        Responder().DismissPopupMenu();
        view.SendMessage(WM_CONTEXTMENU, WPARAM(view.GetSafeHwnd()), MAKELPARAM(screen.x, screen.y));
        ASSERT_FALSE(Responder().Asked().empty());
        const platform::PopupMenuQuestion& menu = Responder().Asked().back().popup;
        std::vector<CString> texts;
        bool saveEnabled = false;
        for (const auto& item : menu.items) {
            if (!item.separator) texts.push_back(item.text);
            if (item.id == ID_VIEWER_SAVE_REGION) saveEnabled = item.enabled;
        }
        EXPECT_EQ(texts, (std::vector<CString>{"Zoom in", "Zoom out", "&Fit to window", "1:1 Scale", "&Copy",
                                               "Save region", "Region statistics", "Properties"}));
        EXPECT_EQ(saveEnabled, inside);
    }
}

// --- pointer and measure -------------------------------------------------------------------------

TEST_F(ViewToolsTest, PointerStaysInThePictureAndIsDraggedBesideTheRectangleTool)
{
    AddPicture(100, 50);
    view.TurnOnPointer(1);
    EXPECT_EQ(view.SetPointerPos(-5, 7000), CPoint(0, 49));
    EXPECT_EQ(view.GetPointerPos(), CPoint(0, 49));
    view.SetPointerPos(20, 20);
    view.SetToolMode(9);
    const CPoint at = view.ImageToScreen(20, 20, 0.5, 0.5);
    Drag(at, CPoint(at.x + 10, at.y + 5));
    EXPECT_EQ(view.GetPointerPos(), CPoint(30, 25));
    EXPECT_EQ(view.GetSelKind(), CViewRect::kSelNone) << "the press went to the pointer";
    EXPECT_EQ(::GetCapture(), nullptr);
    view.TurnOffPointer(1);
    EXPECT_EQ(view.GetPointerPos(), CPoint(0, 0));
}

TEST_F(ViewToolsTest, MeasureLineKeepsItsNodesAndProperties)
{
    AddPicture(200, 150);
    view.SetToolMode(13);
    Send(WM_LBUTTONDOWN, {10, 10}, MK_LBUTTON);
    Send(WM_MOUSEMOVE, {40, 10});
    Send(WM_LBUTTONDOWN, {40, 10}, MK_LBUTTON);
    Send(WM_MOUSEMOVE, {40, 50});
    Send(WM_LBUTTONDOWN, {40, 50}, MK_LBUTTON);
    Send(WM_RBUTTONUP, {40, 50});
    EXPECT_EQ(view.GetSelKind(), CViewRect::kSelMeasure);
    EXPECT_EQ(::GetCapture(), nullptr);
    const std::vector<CPoint> nodes = view.GetMeasureNodes();
    ASSERT_EQ(nodes.size(), 3u);
    EXPECT_EQ(nodes[2], CPoint(40, 50));
    const auto* properties = dynamic_cast<CPropertySet*>(view.GetMeasureProperties());
    ASSERT_NE(properties, nullptr);
    EXPECT_EQ(properties->m_strName, CString("Measure"));
    EXPECT_EQ(properties->m_items[0].value, CString("70"));
    view.RemoveMeasure();
    EXPECT_TRUE(view.GetMeasureNodes().empty());
}

// --- export and copy -----------------------------------------------------------------------------

std::vector<BYTE> ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<BYTE>(std::istreambuf_iterator<char>(in), {});
}

std::uint32_t U32(const std::vector<BYTE>& b, std::size_t at)
{
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (std::uint32_t(b[at + 3]) << 24);
}

TEST_F(ViewToolsTest, ExportWritesABottomUpBitmapOrNothing)
{
    const std::filesystem::path dir = tarvenix::test::TestOutputDir() / "view_tools_export";
    std::filesystem::create_directories(dir);
    const std::string small = (dir / "small.bmp").string(), large = (dir / "large.bmp").string();
    std::filesystem::remove(small);
    std::filesystem::remove(large);

    view.ExportBmp();  // no picture: no dialog, nothing written
    TestPicture* pic = AddPicture(3, 2);
    Responder().AnswerFile({CString(small.c_str())});
    view.ExportBmp();
    ASSERT_TRUE(PumpUntil([&] { return std::filesystem::exists(small); }));
    PumpEvents();
    const std::vector<BYTE> b = ReadFile(small);
    ASSERT_EQ(b.size(), 78u);
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[1], 'M');
    EXPECT_EQ(U32(b, 2), 78u);
    EXPECT_EQ(U32(b, 6), 0u);
    EXPECT_EQ(U32(b, 10), 54u);
    EXPECT_EQ(U32(b, 14), 40u);
    EXPECT_EQ(U32(b, 18), 3u);
    EXPECT_EQ(U32(b, 22), 2u);
    EXPECT_EQ(b[26] | (b[27] << 8), 1);
    EXPECT_EQ(b[28] | (b[29] << 8), 24);
    for (std::size_t i = 30; i < 54; ++i) EXPECT_EQ(b[i], 0) << i;
    // The first stored row is the bottom one; blue first.
    EXPECT_EQ(b[54], GetBValue(Colour(0, 1)));
    EXPECT_EQ(b[56], GetRValue(Colour(0, 1)));
    EXPECT_EQ(b[54 + 12 + 3 * 2 + 1], GetGValue(Colour(2, 0)));
    (void)pic;

    view.CloseAll();
    AddPicture(150, 90);
    Responder().AnswerFile({CString(large.c_str())});
    view.ExportBmp();
    ASSERT_TRUE(PumpUntil([&] { return std::filesystem::exists(large); }));
    PumpEvents();
    const QImage read(QString::fromStdString(large));
    ASSERT_EQ(read.size(), QSize(150, 90));
    const QImage shown = GrabWindow(view).copy(0, 0, 150, 90);
    EXPECT_EQ(read.convertToFormat(QImage::Format_RGB32), shown.convertToFormat(QImage::Format_RGB32));

    // A stopped export leaves the earlier file as it was and no new one.
    const auto before = ReadFile(large);
    view.CloseAll();
    AddPicture(40, 30)->stopAfterRows = 0;
    Responder().AnswerFile({CString(large.c_str())});
    Responder().AnswerMessageBox(IDYES);
    view.ExportBmp();
    PumpUntil([] { return false; }, std::chrono::milliseconds(500));
    EXPECT_EQ(ReadFile(large), before);
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) files += entry.is_regular_file();
    EXPECT_EQ(files, 2u) << "no temporary left behind";
}

TEST_F(ViewToolsTest, CopyLeavesWhiteOutsideAPolygonAndDrawsAGrid)
{
    EXPECT_EQ(view.CopyToClipboard(1), 0) << "nothing without a picture";
    AddPicture(120, 80);
    view.SetToolMode(8);
    Send(WM_LBUTTONDOWN, {20, 10}, MK_LBUTTON);
    Send(WM_LBUTTONDOWN, {100, 10}, MK_LBUTTON);
    Send(WM_LBUTTONDOWN, {20, 70}, MK_LBUTTON);
    Send(WM_RBUTTONUP, {20, 70});
    ASSERT_EQ(view.GetSelKind(), CViewRect::kSelRegion);
    ASSERT_EQ(view.CopyToClipboard(1), 1);
    const QImage copied = platform::ClipboardImage();
    const CRect box = SelectionBox();
    ASSERT_EQ(copied.size(), QSize(box.Width(), box.Height()));
    EXPECT_EQ(copied.pixel(copied.width() - 2, copied.height() - 2) & 0xFFFFFF, 0xFFFFFFu)
        << "outside the polygon";
    const COLORREF in = Colour(box.left + 2, box.top + 2);
    EXPECT_EQ(copied.pixel(2, 2) & 0xFFFFFF, qRgb(GetRValue(in), GetGValue(in), GetBValue(in)) & 0xFFFFFFu);

    EXPECT_EQ(view.CopyToClipboard(3), 0);
    ASSERT_EQ(view.CopyToClipboard(2), 1);
    const QByteArray svg = platform::ClipboardDrawing();
    EXPECT_FALSE(svg.isEmpty());
    EXPECT_TRUE(svg.contains("#ff0000") || svg.contains("rgb(255,0,0)") || svg.contains("red")) << "the grid";

    // The same drawing on a bitmap, for a person to look at: picture at (40, 20), grid over it.
    view.SetLogicalCoords(120, 80, 1000.0, 1595.0, 500.0, 105.0);
    CDC mem;
    mem.CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(mem.GetSafeHdc(), 200, 140);
    HGDIOBJ old = SelectObject(mem.GetSafeHdc(), bitmap);
    mem.FillSolidRect(0, 0, 200, 140, RGB(255, 255, 255));
    const RECT whole{0, 0, 119, 79};
    std::vector<BYTE> scratch(200 * 140 * 4);
    CDC picture;
    picture.CreateCompatibleDC(nullptr);
    HBITMAP pictureBits = CreateCompatibleBitmap(picture.GetSafeHdc(), 120, 80);
    HGDIOBJ oldPicture = SelectObject(picture.GetSafeHdc(), pictureBits);
    view.GetView(0)->CopyRectToDC(&picture, &whole, scratch.data(), nullptr);
    mem.BitBlt(40, 20, 120, 80, &picture, 0, 0, SRCCOPY);
    SelectObject(picture.GetSafeHdc(), oldPicture);
    DeleteObject(pictureBits);
    CViewRect::DrawAxes(&mem, RECT{40, 20, 160, 100}, 1000.0, 105.0, 1595.0, 500.0);
    SelectObject(mem.GetSafeHdc(), old);
    QImage image(200, 140, QImage::Format_RGB32);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = 200;
    info.bmiHeader.biHeight = -140;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    ASSERT_EQ(GetDIBits(nullptr, bitmap, 0, 140, image.bits(), &info, DIB_RGB_COLORS), 140);
    SaveTestOutput(image, "view_tools_copy_with_grid");
    EXPECT_EQ(image.pixel(40, 20) & 0xFFFFFF, 0x0000FFu) << "the blue frame";
    int red = 0;
    for (int y = 21; y < 100; ++y)
        for (int x = 41; x < 160; ++x) red += (image.pixel(x, y) & 0xFFFFFF) == 0xFF0000u;
    EXPECT_GT(red, 0) << "dotted grid lines";
    DeleteObject(bitmap);
}

TEST_F(ViewToolsTest, GridSurvivesDegenerateAxes)
{
    CDC mem;
    mem.CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(mem.GetSafeHdc(), 120, 120);
    HGDIOBJ old = SelectObject(mem.GetSafeHdc(), bitmap);
    struct Case {
        int side;
        double x1, x2, y1, y2;
    };
    for (const Case c : {Case{1, 0, 1, 0, 1}, Case{49, 0, 10, 0, 10}, Case{60, 5, 5, 0, 10},
                         Case{60, 0, NAN, 0, INFINITY}, Case{60, 0, 1e300, -1e300, 1e300}})
        CViewRect::DrawAxes(&mem, RECT{40, 10, 40 + c.side, 10 + c.side}, c.x1, c.y1, c.x2, c.y2);
    SelectObject(mem.GetSafeHdc(), old);
    DeleteObject(bitmap);
}

}  // namespace
