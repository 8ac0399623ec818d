#include "viewer/core/virtual_view.h"

#include <gtest/gtest.h>

#include <QImage>

#include <climits>
#include <cmath>
#include <limits>

#include "platform/gdi/gdi.h"
#include "platform/shell/clipboard.h"
#include "tests/platform/gdi/canvas.h"
#include "tests/support/ui_helpers.h"
#include "viewer/core/metafile_view.h"

using tarvenix::test::Canvas;

namespace {

/// A view that supplies only what has no default.
class BareView : public CVirtualView {
public:
    void RenderRGB(int, int, int, int, int, int, double, BOOL, BYTE*, CMeterInfoBase*) override {}
    void DrawBlockAt(CDC*, int, int, int, int, int, int, double, BOOL, BYTE*, BITMAPINFO*) override {}
    void DrawOverlay(CDC*, int, int, int, int, double, BOOL, BYTE*, BITMAPINFO*) override {}
    void DrawRectEx(CDC*, int, int, int, int, int, int, double, BOOL, BYTE*, BITMAPINFO*) override {}
    void DrawEx(CDC*, int, int, int, int, double, BOOL, BYTE*, BITMAPINFO*) override {}
    void SetZoom(double, int) override {}
    CString GetLayerName() override { return "bare"; }
};

/// Fills rectangles of one colour; draws at the origin and scale it is given.
class Boxes : public CMetaDrawable {
public:
    Boxes(std::vector<RECT> boxes, COLORREF colour) : m_boxes(std::move(boxes)), m_colour(colour) {}
    void Draw(CDC* dc, int x, int y, double zoom) override
    {
        for (const RECT& r : m_boxes)
            dc->FillSolidRect(x + int(r.left / zoom), y + int(r.top / zoom), int((r.right - r.left) / zoom),
                              int((r.bottom - r.top) / zoom), m_colour);
    }

private:
    std::vector<RECT> m_boxes;
    COLORREF m_colour;
};

constexpr COLORREF kRed = RGB(220, 30, 30), kBlue = RGB(30, 60, 200), kWhite = RGB(255, 255, 255),
                   kGreen = RGB(40, 160, 60);

/// Picture: a red box (10, 10)-(30, 20) and a blue one (0, 40)-(8, 44), in picture pixels.
void RecordPicture(CMetaFileView& view)
{
    Boxes red({{10, 10, 30, 20}}, kRed), blue({{0, 40, 8, 44}}, kBlue);
    ASSERT_TRUE(view.Record({&red, &blue}));
    view.SetShown(TRUE);
}

std::string Str(const RECT& r)
{
    return "(" + std::to_string(r.left) + ", " + std::to_string(r.top) + ")-(" + std::to_string(r.right) +
           ", " + std::to_string(r.bottom) + ")";
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

TEST(VirtualView, AViewThatOverridesNothingAnswersTheDefaults)
{
    BareView view;
    EXPECT_EQ(view.GetIndex(), 0);
    EXPECT_EQ(view.GetStateWord(), 0);
    EXPECT_EQ(view.GetLayerClass(), 0);
    EXPECT_EQ(view.GetViewKind(), 0);
    EXPECT_FALSE(view.IsShown());
    EXPECT_FALSE(view.IsDrawn());
    EXPECT_EQ(view.GetWidth(), 0);
    EXPECT_EQ(view.GetHeight(), 0);
    view.SetIndex(4);
    EXPECT_EQ(view.GetIndex(), 4);

    EXPECT_EQ(view.GetPixelColor(3, 3), COLORREF(0xFFFFFF));
    EXPECT_EQ(view.GetStringTypeData(1), "CVirtualView");
    EXPECT_TRUE(view.RecalcStatistics(0, nullptr));
    EXPECT_FALSE(view.MakeWorkingCopy());
    EXPECT_FALSE(view.IsWorkingCopy());
    unsigned counters[4] = {};
    EXPECT_EQ(view.GetHistDataRgn(1, counters, sizeof counters, 4, nullptr), -1);
    EXPECT_EQ(view.GetHistDataRect(1, counters, sizeof counters, 4, 0, 0, 2, 2), -1);
    double low = 7, high = 7;
    view.GetLevelRange(12, &low, &high);
    EXPECT_EQ(low, 0.0);
    EXPECT_EQ(high, 0.0);
    EXPECT_EQ(view.GetColorMap(), nullptr);
    EXPECT_EQ(view.GetModeColorMap(501), nullptr);
    EXPECT_EQ(view.GetValueText(0, 0), "");
    for (int component : {0, 1, 3}) {
        SCOPED_TRACE(component);
        EXPECT_EQ(view.GetHistAddr(component, 0), nullptr);
        EXPECT_EQ(view.GetRows(component), nullptr);
        EXPECT_EQ(view.GetLayer(component), nullptr);
        EXPECT_EQ(view.GetSourceLayer(component), nullptr);
        EXPECT_EQ(view.GetDisplayMin(component), -1.0);
        EXPECT_EQ(view.GetDisplayMax(component), -1.0);
        EXPECT_EQ(view.GetStretchMethod(component), -1);
        EXPECT_FALSE(view.IsComplex(component));
        EXPECT_EQ(view.GetFileName(component), "");
        EXPECT_EQ(view.GetComplexMode(component), -1);
        EXPECT_EQ(view.GetDataType(component), -1);
        EXPECT_EQ(view.Min(component), 0.0);
        EXPECT_EQ(view.Max(component), 0.0);
        EXPECT_EQ(view.Mean(component), 0.0);
        EXPECT_EQ(view.StDev(component), 0.0);
    }

    const CViewNotify made;
    EXPECT_EQ(made.m_nIndex, -1);
    EXPECT_EQ(made.m_nArg, 0);
    EXPECT_EQ(made.m_pData, nullptr);
}

TEST(MetaFileView, IsAnOverlayWithoutNameThatKeepsItsPlacement)
{
    CMetaFileView view;
    EXPECT_EQ(view.GetLayerClass(), kLayerClassOverlay);
    EXPECT_EQ(view.GetLayerName(), "");
    EXPECT_EQ(view.GetStringTypeData(1), "CVirtualView");
    EXPECT_EQ(view.GetPixelColor(0, 0), COLORREF(0xFFFFFF));
    view.SetPlacement(0, 100, 50);
    EXPECT_EQ(view.GetPlacement(), CPoint(100, 50));
    EXPECT_EQ(view.GetLayerClass(), kLayerClassOverlay);
}

TEST(MetaFileView, RecordingReplacesThePictureAndPutsItOnTheClipboard)
{
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    ASSERT_TRUE(CloseClipboard());
    CMetaFileView view;
    RecordPicture(view);
    ASSERT_NE(view.GetMetaFile(), nullptr);
    EXPECT_TRUE(platform::ClipboardDrawing().contains("<svg"));

    Boxes green({{0, 0, 4, 4}}, kGreen);
    ASSERT_TRUE(view.Record({&green}));
    ENHMETAHEADER header{};
    ASSERT_TRUE(GetEnhMetaFileHeader(view.GetMetaFile(), sizeof header, &header));
    EXPECT_EQ(header.rclBounds.right, 3);
    EXPECT_EQ(header.rclBounds.bottom, 3);
    Canvas canvas(10, 10);
    view.DrawEx(CDC::FromHandle(canvas.dc()), 0, 0, 10, 10, 1.0, FALSE, nullptr, nullptr);
    EXPECT_EQ(canvas.Count(kGreen), 16);
    EXPECT_EQ(canvas.Count(kRed), 0) << "the earlier picture is gone";
}

// Draws into a memory DC at an origin and zoom: each device pixel shows its nearest picture
// pixel, and what lies under the picture's gaps is kept.
TEST(MetaFileView, DrawsAtTheOriginAndZoomItIsGiven)
{
    CMetaFileView view;
    RecordPicture(view);
    struct Case {
        const char* name;
        int x, y;
        double zoom;
        RECT red;  // where the red box must land on the device
    } cases[] = {
        {"1:1 from (5, 5)", 5, 5, 1.0, {5, 5, 25, 15}},
        {"1:1 from (-3, 0)", -3, 0, 1.0, {13, 10, 33, 20}},
        {"reduced 2x", 0, 0, 2.0, {5, 5, 15, 10}},
        {"reduced 3x", 0, 0, 3.0, {4, 4, 10, 7}},
        {"magnified 2x from (10, 10)", 10, 10, 0.5, {0, 0, 40, 20}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Canvas canvas(64, 64, kGreen);
        view.DrawEx(CDC::FromHandle(canvas.dc()), c.x, c.y, 64, 64, c.zoom, FALSE, nullptr, nullptr);
        const RECT& r = c.red;
        EXPECT_EQ(canvas.At(r.left, r.top), kRed);
        EXPECT_EQ(canvas.At(r.right - 1, r.bottom - 1), kRed);
        EXPECT_EQ(canvas.Count(kRed), (r.right - r.left) * (r.bottom - r.top));
        if (r.left > 0) {
            EXPECT_EQ(canvas.At(r.left - 1, r.top), kGreen);
        }
        EXPECT_EQ(canvas.At(r.right, r.bottom - 1), kGreen);
        EXPECT_EQ(canvas.At(r.right - 1, r.bottom), kGreen);
    }

    // The placement moves the picture over the image.
    view.SetPlacement(0, 20, 30);
    Canvas placed(64, 64);
    view.DrawEx(CDC::FromHandle(placed.dc()), 0, 0, 64, 64, 1.0, FALSE, nullptr, nullptr);
    EXPECT_EQ(Str(placed.Ink(kWhite)), Str({30, 40, 50, 50}));
    EXPECT_EQ(placed.At(30, 40), kRed);
    EXPECT_EQ(placed.Count(kBlue), 0) << "the blue box now starts at row 70";

    // Hidden, it draws nothing.
    view.SetShown(FALSE);
    Canvas hidden(64, 64);
    view.DrawEx(CDC::FromHandle(hidden.dc()), 0, 0, 64, 64, 1.0, FALSE, nullptr, nullptr);
    EXPECT_EQ(hidden.Count(kWhite), 64 * 64);
}

TEST(MetaFileView, RedrawsOnlyTheRectangleItIsAskedFor)
{
    CMetaFileView view;
    RecordPicture(view);
    struct Case {
        const char* name;
        int destX, destY, srcX, srcY, srcWidth, srcHeight;
        double zoom;
        RECT red;
    } cases[] = {
        // Picture pixels (10, 10)-(15, 15) of the red box, at (50, 0).
        {"1:1", 50, 0, 10, 10, 5, 5, 1.0, {50, 0, 55, 5}},
        {"1:1 over the box's corner", 0, 0, 5, 5, 10, 10, 1.0, {5, 5, 10, 10}},
        // Zoomed pixels (10, 5)-(20, 15): red where 2u + 20 < 30 and 2v + 10 < 20.
        {"reduced 2x", 40, 40, 20, 10, 20, 20, 2.0, {40, 40, 45, 45}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Canvas canvas(64, 64);
        view.DrawRectEx(CDC::FromHandle(canvas.dc()), c.destX, c.destY, c.srcX, c.srcY, c.srcWidth,
                        c.srcHeight, c.zoom, TRUE, nullptr, nullptr);
        EXPECT_EQ(Str(canvas.Ink(kWhite)), Str(c.red));
        EXPECT_EQ(canvas.Count(kRed), (c.red.right - c.red.left) * (c.red.bottom - c.red.top));
    }
}

TEST(MetaFileView, DrawsNothingForZoomsAndPositionsOutOfRange)
{
    CMetaFileView view;
    RecordPicture(view);
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        int x, srcWidth;
        double zoom;
    } cases[] = {{0, 64, 0.0},           {0, 64, -1.0},  {0, 64, std::nan("")}, {0, 64, inf},
                 {0, 64, 1e-300},        {0, 64, 1e300}, {INT_MAX, 64, 1e-5},   {INT_MIN, INT_MAX, 1e-5},
                 {INT_MAX, INT_MAX, 1e6}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.x) + " at " + std::to_string(c.zoom));
        Canvas canvas(16, 16);
        view.DrawEx(CDC::FromHandle(canvas.dc()), c.x, 0, 16, 16, c.zoom, FALSE, nullptr, nullptr);
        view.DrawRectEx(CDC::FromHandle(canvas.dc()), 0, 0, c.x, 0, c.srcWidth, 16, c.zoom, TRUE, nullptr,
                        nullptr);
        EXPECT_EQ(canvas.Count(kWhite), 16 * 16);
    }
}

TEST(MetaFileView, ScreenshotAtThreeZooms)
{
    class Scene : public CMetaDrawable {
    public:
        void Draw(CDC* dc, int x, int y, double) override
        {
            dc->FillSolidRect(x + 8, y + 8, 48, 24, kRed);
            dc->FillSolidRect(x + 20, y + 40, 60, 6, kBlue);
            CPen pen(PS_SOLID, 2, RGB(0, 0, 0));
            CPen* old = dc->SelectObject(&pen);
            dc->MoveTo(x + 4, y + 60);
            dc->LineTo(x + 90, y + 4);
            dc->SelectObject(old);
            dc->SetBkMode(TRANSPARENT);
            dc->TextOut(x + 10, y + 64, CString("Overlay"));
        }
    } scene;
    CMetaFileView view;
    ASSERT_TRUE(view.Record({&scene}));
    view.SetShown(TRUE);
    Canvas canvas(360, 120, RGB(230, 230, 230));
    CDC* dc = CDC::FromHandle(canvas.dc());
    view.DrawRectEx(dc, 0, 0, 0, 0, 100, 100, 1.0, TRUE, nullptr, nullptr);
    view.DrawRectEx(dc, 110, 0, 0, 0, 100, 100, 2.0, TRUE, nullptr, nullptr);
    view.DrawRectEx(dc, 170, 0, 0, 0, 95, 60, 0.5, TRUE, nullptr, nullptr);
    const QImage image = ToImage(canvas);
    EXPECT_FALSE(tarvenix::test::SaveTestOutput(image, "metafile_view_zooms").empty());
    EXPECT_EQ(canvas.At(10, 10), kRed);
    EXPECT_EQ(canvas.At(115, 5), kRed);   // (10, 10) at half size
    EXPECT_EQ(canvas.At(190, 20), kRed);  // (10, 10) at twice the size
}
