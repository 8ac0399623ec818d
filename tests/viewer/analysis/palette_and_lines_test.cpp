#include <array>
#include <cstring>

#include <QImage>
#include <gtest/gtest.h>

#include "platform/controls/control_notify.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/gdi_objects.h"
#include "platform/gdi/window_dc.h"
#include "platform/window/message_map.h"
#include "tests/support/modal_responder.h"
#include "tests/support/ui_helpers.h"
#include "viewer/analysis/line_backing_store.h"
#include "viewer/analysis/pseudo_color.h"
#include "viewer/core/viewer_messages.h"

using tarvenix::test::GrabWindow;
using tarvenix::test::Responder;
using tarvenix::test::SolidWnd;

namespace {

using Rgb = std::array<int, 3>;
Rgb Entry(const PalitraTag& p, int i)
{
    return {p.rgb[i][0], p.rgb[i][1], p.rgb[i][2]};
}

PalitraTag Grey()
{
    PalitraTag p;
    std::memset(p.rgb, 77, sizeof p.rgb);
    return p;
}

constexpr Rgb kRed{255, 0, 0}, kBlue{0, 0, 255}, kGrey{77, 77, 77};

TEST(PseudoColorPalette, BandsRampAndRanges)
{
    PalitraTag p = Grey();
    CreatePseudoColorPalette(&p, 0, 255, 0);
    EXPECT_EQ(Entry(p, 0), kGrey) << "count 0 writes nothing";

    CreatePseudoColorPalette(&p, 10, 20, 1);
    EXPECT_EQ(Entry(p, 10), kRed);
    EXPECT_EQ(Entry(p, 20), kRed);
    EXPECT_EQ(Entry(p, 9), kGrey);
    EXPECT_EQ(Entry(p, 21), kGrey);

    p = Grey();
    CreatePseudoColorPalette(&p, 5, 5, -1);
    EXPECT_EQ(Entry(p, 5), kRed);
    CreatePseudoColorPalette(&p, 5, 5, 6);
    EXPECT_EQ(Entry(p, 5), kBlue);

    p = Grey();
    CreatePseudoColorPalette(&p, 0, 255, -1);
    const std::pair<int, Rgb> ramp[] = {
        {0, kRed}, {63, {255, 251, 0}}, {64, {255, 255, 0}}, {128, {0, 255, 0}}, {255, kBlue}};
    for (const auto& [i, rgb] : ramp) EXPECT_EQ(Entry(p, i), rgb) << i;

    CreatePseudoColorPalette(&p, 0, 255, 2);
    EXPECT_EQ(Entry(p, 127), kRed);
    EXPECT_EQ(Entry(p, 128), kBlue);

    // Ranges that would reach outside the record write nothing.
    const int bad[][2] = {{-1, 10}, {10, 256}, {20, 10}};
    for (const auto& r : bad) {
        PalitraTag q = Grey();
        CreatePseudoColorPalette(&q, r[0], r[1], 6);
        for (int i = 0; i < 256; ++i) ASSERT_EQ(Entry(q, i), kGrey) << r[0] << ".." << r[1];
    }
}

// The list's owner: records WM_COLORCHANGED with the colour stored at that moment.
class ListOwner : public CWnd {
public:
    CColorListCtrl list;
    int changedRow = -1;
    WPARAM changedParam = 0;
    COLORREF colourSeen = 0;

protected:
    LRESULT OnColorChanged(WPARAM w, LPARAM l)
    {
        changedParam = w;
        changedRow = int(l);
        colourSeen = list.m_Colors[changedRow];
        return 0;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(ListOwner, CWnd)
    ON_MESSAGE(WM_COLORCHANGED, OnColorChanged)
END_MESSAGE_MAP()

// What the list sends when its cell is double-clicked.
void DoubleClick(CColorListCtrl& list, int row, int column)
{
    NMITEMACTIVATE activate{};
    activate.iItem = row;
    activate.iSubItem = column;
    platform::NotifyParent(&list, activate.hdr, NM_DBLCLK);
}

TEST(ColorListCtrl, DoubleClickOnTheSwatchAsksAndTellsTheOwner)
{
    ListOwner owner;
    ASSERT_TRUE(
        owner.CreateEx(0, nullptr, "colours", WS_POPUP | WS_VISIBLE, CRect(0, 0, 200, 200), nullptr, 0));
    ASSERT_TRUE(owner.list.Create(WS_CHILD | WS_VISIBLE | LVS_REPORT, CRect(0, 0, 200, 200), &owner, 5));
    owner.list.Init();
    owner.list.InsertColumn(0, "Level");
    owner.list.InsertColumn(1, "Colour");
    for (int i = 0; i < 3; ++i) owner.list.InsertItem(i, "x");
    owner.list.m_Colors[1] = RGB(10, 20, 30);

    Responder().AnswerColor(RGB(200, 100, 50));
    DoubleClick(owner.list, 1, 1);
    EXPECT_EQ(owner.changedRow, 1);
    EXPECT_EQ(owner.changedParam, 11u);
    EXPECT_EQ(owner.colourSeen, RGB(200, 100, 50));
    EXPECT_EQ(owner.list.GetItemText(1, 1), " ");

    owner.changedRow = -1;
    Responder().CancelColor();
    DoubleClick(owner.list, 2, 1);
    EXPECT_EQ(owner.changedRow, -1) << "a cancelled pick tells nobody";

    const std::size_t asked = Responder().Asked().size();
    DoubleClick(owner.list, 0, 0);
    EXPECT_EQ(Responder().Asked().size(), asked) << "column 0 asks for nothing";
    owner.DestroyWindow();
}

QRgb At(const QImage& image, int x, int y)
{
    return image.pixel(x, y) & 0xFFFFFF;
}

TEST(LineBackingStore, SavesAndRestoresStripsWithinItsLimits)
{
    SolidWnd wnd(RGB(0, 0, 255));
    ASSERT_TRUE(wnd.CreateEx(0, nullptr, "lines", WS_POPUP | WS_VISIBLE, CRect(0, 0, 60, 40), nullptr, 0));
    GrabWindow(wnd);
    CLineBackingStore store;
    ASSERT_TRUE(store.Init(&wnd, 2, 2, 50, 30));

    const auto drawLine = [&](int x1, int y1, int x2, int y2) {
        CClientDC dc(&wnd);
        CPen pen;
        pen.CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
        CPen* old = dc.SelectObject(&pen);
        dc.MoveTo(x1, y1);
        dc.LineTo(x2, y2);
        dc.SetPixel(x2, y2, RGB(255, 0, 0));
        dc.SelectObject(old);
    };

    // Reversed points, partly beyond the width limit: saved up to x = 49.
    store.SaveLine(0, 58, 10, 5, 10);
    drawLine(5, 10, 58, 10);
    store.RestoreLine(0, 58, 10, 5, 10);
    QImage image = GrabWindow(wnd);
    EXPECT_EQ(At(image, 5, 10), 0x0000FFu);
    EXPECT_EQ(At(image, 49, 10), 0x0000FFu);
    EXPECT_EQ(At(image, 55, 10), 0xFF0000u) << "beyond the limit nothing was kept";

    // A restore without a save, or a second one, draws nothing.
    drawLine(20, 0, 20, 25);
    store.RestoreLine(1, 20, 0, 20, 25);
    store.RestoreLine(0, 5, 10, 40, 10);
    image = GrabWindow(wnd);
    EXPECT_EQ(At(image, 20, 5), 0xFF0000u);

    // Slots outside the counts and lines off the store are ignored.
    store.SaveLine(7, 0, 3, 10, 3);
    store.SaveLine(-1, 3, 0, 3, 10);
    store.SaveLine(1, -10, 2, -2, 2);

    // Both groups at once.
    const int rows[] = {1};
    const POINT rowA[] = {{0, 20}}, rowB[] = {{30, 20}};
    const int cols[] = {0};
    const POINT colA[] = {{40, 0}}, colB[] = {{40, 29}};
    store.SaveLines(1, rows, rowA, rowB, 1, cols, colA, colB);
    drawLine(0, 20, 30, 20);
    drawLine(40, 0, 40, 29);
    store.RestoreLines(1, rows, rowA, rowB, 1, cols, colA, colB);
    image = GrabWindow(wnd);
    EXPECT_EQ(At(image, 15, 20), 0x0000FFu);
    EXPECT_EQ(At(image, 40, 15), 0x0000FFu);
    wnd.DestroyWindow();
}

}  // namespace
