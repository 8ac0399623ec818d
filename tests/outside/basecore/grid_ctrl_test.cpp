#include "outside/basecore/grid_ctrl.h"

#include <QImage>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "outside/basecore/rdp_layer.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/gdi_objects.h"
#include "platform/gdi/region.h"
#include "platform/gdi/window_dc.h"
#include "platform/shell/clipboard.h"
#include "platform/window/messages.h"
#include "platform/window/paint_target_internal.h"
#include "tests/support/modal_responder.h"
#include "tests/support/test_environment.h"

namespace {

TEST(CellRange, SpansCountsMembershipAndIntersection)
{
    const CCellRange r(2, 3, 5, 4);
    EXPECT_EQ(r.GetRowSpan(), 4);
    EXPECT_EQ(r.GetColSpan(), 2);
    EXPECT_EQ(r.Count(), 8);
    EXPECT_TRUE(r.InRange(5, 4));
    EXPECT_FALSE(r.InRange(6, 4));
    EXPECT_TRUE(r.InRange(CCellID(2, 3)));
    EXPECT_EQ(r.GetTopLeft(), CCellID(2, 3));
    EXPECT_TRUE(r.IsValid());
    EXPECT_FALSE(r.Intersect(CCellRange(7, 0, 9, 9)).IsValid());
    EXPECT_EQ(r.Intersect(CCellRange(4, 0, 9, 3)), CCellRange(4, 3, 5, 3));
    EXPECT_FALSE(CCellID(-1, 0).IsValid());
}

TEST(GridCtrl, DefaultCellsSettingsAndModes)
{
    CGridCtrl grid(3, 3, 1, 1);
    EXPECT_EQ(grid.GetDefaultCell(TRUE, TRUE), grid.GetDefaultCell(TRUE, TRUE));
    const CGridDefaultCell* cells[] = {grid.GetDefaultCell(FALSE, FALSE), grid.GetDefaultCell(TRUE, FALSE),
                                       grid.GetDefaultCell(FALSE, TRUE), grid.GetDefaultCell(TRUE, TRUE)};
    for (int i = 0; i < 4; ++i)
        for (int j = i + 1; j < 4; ++j) EXPECT_NE(cells[i], cells[j]);
    // Fixed colours go to the three fixed kinds, sizes and margins to all four.
    grid.SetFixedBkColor(RGB(1, 2, 3));
    grid.SetDefCellHeight(21);
    grid.SetDefCellMargin(5);
    EXPECT_EQ(cells[0]->GetBackClr(), kGridDefaultColour);
    for (int i = 1; i < 4; ++i) EXPECT_EQ(cells[i]->GetBackClr(), RGB(1, 2, 3));
    for (const CGridDefaultCell* c : cells) {
        EXPECT_EQ(c->GetHeight(), 21);
        EXPECT_EQ(c->GetMargin(), 5u);
    }
    EXPECT_EQ(grid.GetFixedBkColor(), RGB(1, 2, 3));
    EXPECT_EQ(grid.GetDefaultCell(FALSE, FALSE)->GetDefaultState() & GVIS_READONLY, DWORD(GVIS_READONLY));

    grid.SetSingleRowSelection(TRUE);
    EXPECT_FALSE(grid.GetSingleRowSelection());
    grid.SetListMode(TRUE);
    EXPECT_TRUE(grid.GetSingleRowSelection());
    EXPECT_EQ(grid.SetMouseMode(3), 0);
    EXPECT_EQ(grid.SetMouseMode(1), 3);
    EXPECT_EQ(grid.GetMouseMode(), 1);

    EXPECT_TRUE(grid.SetItemText(1, 2, "x"));
    EXPECT_EQ(grid.GetItemText(1, 2), CString("x"));
    EXPECT_FALSE(grid.SetItemText(3, 0, "out"));
    CGridCell cell;
    cell.SetText("cell");
    EXPECT_TRUE(grid.SetCell(2, 2, &cell));
    EXPECT_FALSE(grid.SetCell(2, 3, &cell));
    EXPECT_EQ(grid.GetItemText(2, 2), CString("cell"));
}

/// A layer file of `type` made in a temporary folder, open for writing.
struct TempLayer {
    tarvenix::test::TempDir dir;
    CRDPLayer layer;
    TempLayer(int w, int h, int type)
    {
        EXPECT_TRUE(layer.CreateLayer(dir.File("l.rdp").c_str(), w, h, type));
    }
    ~TempLayer() { layer.CloseLayer(); }
};

TEST(GridCtrl, LayerModeWritesTextsIntoTheLayer)
{
    struct Case {
        const char* name;
        int type;
        int component;
        const char* text;
        double re, im;  // expected parts of pixel (1, 0)
    };
    const Case cases[] = {
        {"text that is no number stores 0", 7, kReal, "abc", 0, 0},
        {"number", 7, kReal, "2.5", 2.5, 0},
        {"saturates to U8", 1, kReal, "300", 255, 0},
        {"saturates below S16", 4, kReal, "-1e9", -32768, 0},
        {"both parts of a complex value", 9, kBothParts, "3.5;-4", 3.5, -4},
        {"both parts written as the search takes them", 9, kBothParts, "3+4i", 3, 4},
        {"a pure imaginary value", 14, kBothParts, "-2j", 0, -2},
        {"only the imaginary part", 9, kImaginary, "7", 0, 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempLayer t(3, 2, c.type);
        CGridCtrl grid;
        grid.InitLayerMode(t.layer.GetRows(), c.type, c.component, 3, 2, &t.layer);
        EXPECT_EQ(grid.GetRowCount(), 3);
        EXPECT_EQ(grid.GetColumnCount(), 4);
        EXPECT_EQ(grid.GetItemText(0, 2), CString("1"));  // column header: x
        EXPECT_EQ(grid.GetItemText(2, 0), CString("1"));  // row header: y
        CGridCell cell;
        cell.SetText(c.text);
        EXPECT_TRUE(grid.SetCell(1, 2, &cell));
        EXPECT_EQ(t.layer.GetValue(1, 0, kReal), c.re);
        if (t.layer.IsComplex()) EXPECT_EQ(t.layer.GetValue(1, 0, kImaginary), c.im);
        EXPECT_EQ(t.layer.GetValue(0, 0, kReal), 0.0);  // neighbours untouched
        EXPECT_FALSE(grid.SetCell(0, 2, &cell));        // headers hold no data
    }
}

TEST(GridCtrl, CopiedFloatsReadBackExactlyAndPastesAreClipped)
{
    TempLayer t(3, 3, 7);
    const float values[] = {0.1f, std::numeric_limits<float>::denorm_min(), -3.4028235e38f, 1.0f / 3.0f};
    for (int i = 0; i < 4; ++i) t.layer.SetValue(i % 2, i / 2, double(values[i]));
    CGridCtrl grid;
    grid.InitLayerMode(t.layer.GetRows(), 7, kReal, 3, 3, &t.layer);
    grid.SetSelectedRange(1, 1, 2, 2);
    const CString text = grid.CopyText(CCellRange(1, 1, 2, 2));

    TempLayer u(3, 3, 7);
    CGridCtrl other;
    other.InitLayerMode(u.layer.GetRows(), 7, kReal, 3, 3, &u.layer);
    // Pasted at (2, 2) a 2 x 2 block loses what falls past the layer's edge.
    EXPECT_EQ(other.PasteText(text, CCellID(2, 2)), 4);
    for (int i = 0; i < 4; ++i) {
        const int x = 1 + i % 2, y = 1 + i / 2;
        EXPECT_EQ(float(u.layer.GetValue(x, y)), values[i]) << i;
    }
    EXPECT_EQ(other.PasteText("1\t2\t3\t4\r\n5", CCellID(3, 2)), 2);  // row 2 only: y = 2
    EXPECT_EQ(u.layer.GetValue(1, 2), 1.0);
    EXPECT_EQ(u.layer.GetValue(2, 2), 2.0);
    EXPECT_EQ(other.PasteText("1", CCellID(0, 0)), 0);  // a header is no place to paste

    // Without a layer to write to, nothing is stored.
    CGridCtrl readOnly;
    readOnly.InitLayerMode(t.layer.GetRows(), 7, kReal, 3, 3);
    EXPECT_EQ(readOnly.PasteText("9", CCellID(1, 1)), 0);
    EXPECT_EQ(float(t.layer.GetValue(0, 0)), values[0]);
}

TEST(GridCtrl, SelectionGoesInAsCellsAndComesOutAsFilePixels)
{
    TempLayer t(10, 10, 1);
    CGridCtrl grid;
    grid.InitLayerMode(t.layer.GetRows(), 1, kReal, 10, 10, &t.layer);
    const POINT poly[] = {{2, 1}, {8, 3}, {5, 9}};
    const auto pixels = platform::SpanRegion::FromPolygon(poly, platform::FillRule::Alternate);
    auto cells = pixels;
    cells.Offset(grid.GetFixedColumnCount(), grid.GetFixedRowCount());
    CTableRegion region;
    HRGN h = ::CreateRgnFromSpans(cells);
    region.AddRegion(h);
    ::DeleteObject(h);
    grid.SetSelectedRgn(region);
    EXPECT_EQ(grid.GetSelectedCount(), pixels.Area());
    HRGN out = grid.GetSelectedRgn();
    EXPECT_EQ(::GetRgnSpans(out), pixels);
    ::DeleteObject(out);
}

}  // namespace

namespace {

TEST(GridCtrl, ASelectionTooLargeToCopyIsRefusedWithAMessage)
{
    // 5000 x 4000 cells as text would take hundreds of megabytes; every row is the same one.
    std::vector<float> row(5000, 1.5f);
    std::vector<void*> rows(4000, row.data());
    CWnd host;
    host.CreateEx(0, AfxRegisterWndClass(0), "Host", WS_OVERLAPPED, CRect(0, 0, 300, 200), nullptr, 0);
    CGridCtrl grid;
    ASSERT_TRUE(grid.Create(CRect(0, 0, 300, 200), &host, 100));
    grid.InitLayerMode(rows.data(), 7, kReal, 5000, 4000);
    grid.SetSelectedRange(1, 1, 4000, 5000);
    tarvenix::test::Responder().AnswerMessageBox(IDOK);
    EXPECT_FALSE(grid.OnEditCopy());
    ASSERT_FALSE(tarvenix::test::Responder().Asked().empty());
    EXPECT_NE(tarvenix::test::Responder().Asked().back().text.Find("too large"), -1);

    grid.SetSelectedRange(1, 1, 2, 3);  // a small one is copied
    EXPECT_TRUE(grid.OnEditCopy());
    EXPECT_EQ(platform::ClipboardText(), CString("1.5\t1.5\t1.5\r\n1.5\t1.5\t1.5\r\n"));
    grid.DestroyWindow();
    host.DestroyWindow();
}

}  // namespace

namespace {

/// The window's pixels, row by row.
std::vector<std::uint32_t> SurfacePixels(CWnd& wnd)
{
    const QImage* s = platform::WindowSurface(wnd.GetSafeHwnd());
    std::vector<std::uint32_t> out;
    for (int y = 0; y < s->height(); ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(s->constScanLine(y));
        out.insert(out.end(), row, row + s->width());
    }
    return out;
}

/// A grid over samples in memory in a window of its own, and its picture.
struct ShownGrid {
    CWnd host;
    CGridCtrl grid;
    ShownGrid(void** rows, int width, int height)
    {
        host.CreateEx(0, AfxRegisterWndClass(0), "Grid", WS_POPUP | WS_VISIBLE, CRect(0, 0, 333, 211),
                      nullptr, 0);
        grid.Create(CRect(0, 0, 333, 211), &host, 100, WS_CHILD | WS_VISIBLE);
        grid.InitLayerMode(rows, 7, kReal, width, height);
        grid.SetSelectedRange(3, 2, 5, 4);
        grid.SetFocusCell(4, 3);
        grid.UpdateWindow();
    }
    std::vector<std::uint32_t> Picture() { return SurfacePixels(grid); }
};

}  // namespace

// A line scroll shifts the picture and paints only the cells it uncovers; the picture is
// the one a whole repaint gives, also where new texts widen the columns.
TEST(GridCtrl, ScrollsShiftThePictureAndPaintWhatTheyUncover)
{
    constexpr int kWidth = 90, kHeight = 300;
    std::vector<float> samples(std::size_t(kWidth) * kHeight);
    std::vector<void*> rows(kHeight);
    for (int y = 0; y < kHeight; ++y) {
        rows[std::size_t(y)] = samples.data() + std::size_t(y) * kWidth;
        for (int x = 0; x < kWidth; ++x)
            samples[std::size_t(y) * kWidth + x] =
                x >= 70 ? 123456789.0f + float(y) : float((x * 37 + y * 101) % 1000) / 7.0f - 50.0f;
    }
    ShownGrid shifted(rows.data(), kWidth, kHeight), whole(rows.data(), kWidth, kHeight);
    struct Step {
        UINT message;
        WPARAM wParam;
        bool strip;  // only a strip is left to paint
    };
    const Step steps[] = {
        {WM_VSCROLL, SB_LINEDOWN, true},
        {WM_VSCROLL, SB_LINEDOWN, true},
        {WM_HSCROLL, SB_LINERIGHT, true},
        {WM_HSCROLL, SB_LINERIGHT, true},
        {WM_VSCROLL, SB_LINEUP, true},
        {WM_HSCROLL, SB_LINELEFT, true},
        {WM_MOUSEWHEEL, MAKEWPARAM(0, WORD(-120)), true},
        {WM_KEYDOWN, VK_DOWN, false},
        {WM_KEYDOWN, VK_DOWN, false},
        {0, 0, false},  // a jump near the wide values
        {WM_HSCROLL, SB_LINERIGHT, true},
        {WM_HSCROLL, SB_LINERIGHT, true},
        {WM_HSCROLL, SB_LINERIGHT, true},
        {WM_HSCROLL, SB_LINERIGHT, true},
        {WM_HSCROLL, SB_LINERIGHT, true},
        {WM_HSCROLL, SB_LINELEFT, true},
        {WM_VSCROLL, SB_PAGEDOWN, false},
    };
    int index = 0, widenings = 0;
    for (const Step& s : steps) {
        SCOPED_TRACE(::testing::Message() << "step " << index++);
        const int columnWidth = shifted.grid.GetColumnWidth(1);
        for (ShownGrid* g : {&shifted, &whole}) {
            if (s.message)
                g->grid.SendMessage(s.message, s.wParam, 0);
            else
                g->grid.EnsureVisibleInCenter(20, 64);
        }
        RECT pending{};
        shifted.grid.GetUpdateRect(&pending);
        const int pendingArea = (pending.right - pending.left) * (pending.bottom - pending.top);
        // The wide values widen the columns as they come on screen: then all is repainted.
        const bool widened = shifted.grid.GetColumnWidth(1) != columnWidth;
        widenings += widened;
        EXPECT_EQ(pendingArea < 333 * 211 / 2, s.strip && !widened)
            << pending.left << "," << pending.top << " " << pending.right << "," << pending.bottom;
        shifted.grid.UpdateWindow();
        whole.grid.RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        EXPECT_EQ(shifted.grid.GetScrollPos(SB_VERT), whole.grid.GetScrollPos(SB_VERT));
        EXPECT_EQ(shifted.grid.GetScrollPos(SB_HORZ), whole.grid.GetScrollPos(SB_HORZ));
        const auto a = shifted.Picture(), b = whole.Picture();
        ASSERT_EQ(a.size(), b.size());
        int different = 0;
        for (std::size_t i = 0; i < a.size(); ++i) different += a[i] != b[i];
        EXPECT_EQ(different, 0);
    }
    EXPECT_GE(widenings, 1) << "the columns were widened on the way";
}

namespace {

/// What a layer grid shows, drawn the plain way on its own window: the background, each cell
/// on screen in turn (its fill, its text, the focus frame), then one rule per row and per column.
void DrawGridPlainly(CGridCtrl& grid)
{
    CClientDC dc(&grid);
    CRect client;
    grid.GetClientRect(&client);
    dc.FillSolidRect(&client, grid.GetGridBkColor());
    dc.SetBkMode(TRANSPARENT);
    auto shown = [](int count, int fixed, int first, int extent, auto size) {
        std::vector<int> out;
        for (int i = 0, at = 0; i < count && at < extent; i = i + 1 == fixed ? fixed + first : i + 1) {
            out.push_back(i);
            at += size(i);
        }
        return out;
    };
    const CCellID topLeft = grid.GetTopLeftNonFixedCell();
    const std::vector<int> rows = shown(grid.GetRowCount(), grid.GetFixedRowCount(), topLeft.row,
                                        client.Height(), [&](int r) { return grid.GetRowHeight(r); });
    const std::vector<int> cols = shown(grid.GetColumnCount(), grid.GetFixedColumnCount(), topLeft.col,
                                        client.Width(), [&](int c) { return grid.GetColumnWidth(c); });
    auto colour = [](COLORREF c, COLORREF otherwise) { return c == kGridDefaultColour ? otherwise : c; };
    for (int r : rows)
        for (int c : cols) {
            const bool fixedRow = r < grid.GetFixedRowCount(), fixedCol = c < grid.GetFixedColumnCount();
            const CGridDefaultCell* def = grid.GetDefaultCell(fixedRow, fixedCol);
            COLORREF back = colour(def->GetBackClr(), RGB(255, 255, 255));
            COLORREF text = colour(def->GetTextClr(), RGB(0, 0, 0));
            const bool data = !fixedRow && !fixedCol;
            if (data && grid.IsCellSelected(r, c)) {
                back = RGB(51, 153, 255);
                text = RGB(255, 255, 255);
            }
            RECT rc;
            grid.GetCellRect(r, c, &rc);
            dc.FillSolidRect(&rc, back);
            RECT inner = rc;
            inner.left += int(def->GetMargin());
            inner.right -= int(def->GetMargin()) + 1;
            dc.SetTextColor(text);
            dc.DrawText(grid.GetItemText(r, c), &inner,
                        (data       ? DT_RIGHT
                         : fixedRow ? DT_CENTER
                                    : DT_LEFT) |
                            DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
            if (data && grid.GetFocusCell() == CCellID(r, c)) {
                CBrush frame(RGB(0, 0, 0));
                dc.FrameRect(&rc, &frame);
            }
        }
    RECT last{};
    grid.GetCellRect(rows.back(), cols.back(), &last);
    CPen pen(PS_SOLID, 1, grid.GetGridLineColor());
    CPen* old = dc.SelectObject(&pen);
    for (int r : rows) {
        RECT rc;
        grid.GetCellRect(r, cols.front(), &rc);
        dc.MoveTo(0, rc.bottom - 1);
        dc.LineTo(last.right, rc.bottom - 1);
    }
    for (int c : cols) {
        RECT rc;
        grid.GetCellRect(rows.front(), c, &rc);
        dc.MoveTo(rc.right - 1, 0);
        dc.LineTo(rc.right - 1, last.bottom);
    }
    dc.SelectObject(old);
}

}  // namespace

// A layer grid paints its rows in groups (background, cells and rules a group at a time); the
// picture is the plain one of the background, every cell in turn and then all rules: for
// windows whose rows make one group or many, at the start and at the end of the layer, with
// colours of its own and rows too short for their texts.
TEST(GridCtrl, PaintsThePixelsOfTheBackgroundEveryCellAndTheRulesInTurn)
{
    constexpr int kWidth = 211, kHeight = 173;
    std::vector<float> samples(std::size_t(kWidth) * kHeight);
    std::vector<void*> rows(kHeight);
    for (int y = 0; y < kHeight; ++y) {
        rows[std::size_t(y)] = samples.data() + std::size_t(y) * kWidth;
        for (int x = 0; x < kWidth; ++x)
            samples[std::size_t(y) * kWidth + x] = float((x * 7919 + y * 104729) % 100003) / 13.0f - 2000.0f;
    }
    struct Case {
        const char* name;
        int width, height;  // of the window
        int row, col;       // the cell shown in the centre
        COLORREF background, fixedBack, text;
        int rowHeight;
        int margin = 3;  // of the cells: wide ones leave too little room for the numbers
    };
    const Case cases[] = {
        {"one group", 333, 211, 1, 1, RGB(255, 255, 255), kGridDefaultColour, kGridDefaultColour, 18},
        {"many groups", 1911, 1057, 90, 60, RGB(255, 255, 255), kGridDefaultColour, kGridDefaultColour, 18},
        {"at the end", 701, 487, kHeight, kWidth, RGB(255, 255, 255), kGridDefaultColour, kGridDefaultColour,
         18},
        {"own colours", 701, 487, 40, 30, RGB(250, 250, 235), RGB(10, 20, 200), RGB(200, 0, 0), 18},
        {"short rows", 701, 487, 60, 10, RGB(255, 255, 255), kGridDefaultColour, kGridDefaultColour, 9},
        {"cut numbers", 701, 487, 20, 20, RGB(255, 255, 255), kGridDefaultColour, kGridDefaultColour, 18, 90},
        {"no room", 701, 487, 20, 20, RGB(255, 255, 255), kGridDefaultColour, kGridDefaultColour, 18, 120},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        CWnd host;
        host.CreateEx(0, AfxRegisterWndClass(0), "Grid", WS_POPUP | WS_VISIBLE,
                      CRect(0, 0, k.width, k.height), nullptr, 0);
        CGridCtrl grid;
        grid.Create(CRect(0, 0, k.width, k.height), &host, 100, WS_CHILD | WS_VISIBLE);
        grid.InitLayerMode(rows.data(), 7, kReal, kWidth, kHeight);
        grid.SetGridBkColor(k.background);
        if (k.fixedBack != kGridDefaultColour) grid.SetFixedBkColor(k.fixedBack);
        grid.SetTextColor(k.text);
        grid.SetRowHeight(1, k.rowHeight);
        grid.SetDefCellMargin(k.margin);
        grid.EnsureVisibleInCenter(k.row, k.col);
        grid.SetSelectedRange(k.row - 1, k.col - 2, k.row, k.col - 1);
        grid.SetFocusCell(k.row, k.col);
        grid.RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        const std::vector<std::uint32_t> painted = SurfacePixels(grid);
        DrawGridPlainly(grid);
        const std::vector<std::uint32_t> plain = SurfacePixels(grid);
        ASSERT_EQ(painted.size(), plain.size());
        std::size_t different = 0;
        for (std::size_t i = 0; i < painted.size(); ++i) different += painted[i] != plain[i];
        EXPECT_EQ(different, 0u);
        // The picture holds texts, rules and fills, not one colour.
        EXPECT_LT(std::count(plain.begin(), plain.end(), plain.front()),
                  std::ptrdiff_t(plain.size() * 9 / 10));
        grid.DestroyWindow();
        host.DestroyWindow();
    }
}
