#include <algorithm>
#include <cmath>

#include <QImage>
#include <gtest/gtest.h>

#include "platform/dialogs/dialog_template.h"
#include "tests/support/ui_helpers.h"
#include "viewer/analysis/collapsible_dlg.h"
#include "viewer/analysis/curve_static.h"

using tarvenix::test::GrabWindow;
using tarvenix::test::SaveTestOutput;
using tarvenix::test::SolidWnd;

namespace {

// Control 11 comes before 12 in the template but lies lower on screen.
const platform::DialogControl kControls[] = {
    {"Static", "a", 10, 5, 5, 40, 8, SS_LEFT},
    {"Static", "b", 11, 5, 70, 40, 8, SS_LEFT},
    {"Static", "c", 12, 5, 20, 40, 8, SS_LEFT},
    {"Static", "d", 13, 5, 40, 40, 8, SS_LEFT},
};
const platform::DialogTemplate kTemplate = {
    9001, "Fold", DS_MODALFRAME | WS_POPUP | WS_CAPTION, 0, nullptr, 8, 0, 0, 120, 90, kControls};

struct Layout {
    CRect controls[4];
    CRect window;
    bool operator==(const Layout&) const = default;
};

Layout Read(CCollapsibleDlg& dlg)
{
    Layout l;
    for (int i = 0; i < 4; ++i) {
        dlg.GetDlgItem(10 + i)->GetWindowRect(&l.controls[i]);
        dlg.ScreenToClient(&l.controls[i]);
    }
    dlg.GetWindowRect(&l.window);
    return l;
}

TEST(CollapsibleDlg, ShiftMovesOnlyLaterSiblingsAndUndoesExactly)
{
    auto* dlg = new CCollapsibleDlg(kTemplate);
    ASSERT_TRUE(dlg->CreateStandIn(nullptr));
    const Layout before = Read(*dlg);
    EXPECT_EQ(dlg->m_rcFull, before.window);

    dlg->ShiftControls(12, 15);
    const Layout folded = Read(*dlg);
    EXPECT_EQ(folded.controls[0], before.controls[0]);
    EXPECT_EQ(folded.controls[1], before.controls[1]) << "an earlier sibling moved though it lies lower";
    EXPECT_EQ(folded.controls[2].top, before.controls[2].top - 15);
    EXPECT_EQ(folded.controls[3].top, before.controls[3].top - 15);
    EXPECT_EQ(folded.controls[3].left, before.controls[3].left);
    EXPECT_EQ(folded.window.Height(), before.window.Height() - 15);
    EXPECT_EQ(folded.window.TopLeft(), before.window.TopLeft());

    dlg->ShiftControls(12, -15);
    EXPECT_EQ(Read(*dlg), before);

    // An id that names no control only resizes.
    dlg->ShiftControls(99, 10);
    const Layout unknown = Read(*dlg);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(unknown.controls[i], before.controls[i]);
    EXPECT_EQ(unknown.window.Height(), before.window.Height() - 10);

    dlg->RestoreFullSize();
    EXPECT_EQ(Read(*dlg).window, before.window);

    dlg->FitHeightToControl(13);
    CRect client, control;
    dlg->GetClientRect(&client);
    dlg->GetDlgItem(13)->GetWindowRect(&control);
    EXPECT_EQ(client.Height(), control.Height());

    dlg->ShowWindow(SW_SHOW);
    dlg->HideControlsBefore(12);
    EXPECT_FALSE(dlg->GetDlgItem(10)->IsWindowVisible());
    EXPECT_FALSE(dlg->GetDlgItem(11)->IsWindowVisible());
    EXPECT_TRUE(dlg->GetDlgItem(12)->IsWindowVisible());
    dlg->DestroyWindow();
}

// A grey parent with a 256 x 256 curve control at (0, 0).
struct CurveFixture {
    SolidWnd parent{RGB(128, 128, 128)};
    CCurveStatic curve;
    BYTE tables[3][256];
    CurveFixture()
    {
        parent.CreateEx(0, nullptr, "curves", WS_POPUP | WS_VISIBLE, CRect(0, 0, 256, 256), nullptr, 0);
        curve.Create("", WS_CHILD | WS_VISIBLE, CRect(0, 0, 256, 256), &parent, 100);
    }
    void SetTables()
    {
        curve.m_pRed = tables[0];
        curve.m_pGreen = tables[1];
        curve.m_pBlue = tables[2];
        curve.RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    }
    ~CurveFixture() { parent.DestroyWindow(); }
};

QRgb At(const QImage& image, int x, int y)
{
    return image.pixel(x, y) & 0xFFFFFF;
}

TEST(CurveStatic, IdentityTablesGiveOneWhiteDiagonalAtLevelPlusLeft)
{
    CurveFixture f;
    QImage empty = GrabWindow(f.curve);
    EXPECT_NE(At(empty, 128, 128), 0u) << "a control without tables paints nothing";

    for (int c = 0; c < 3; ++c)
        for (int i = 0; i < 256; ++i) f.tables[c][i] = BYTE(i);
    f.SetTables();
    CRect rc;
    f.curve.GetClientRect(&rc);
    ASSERT_EQ(rc, CRect(0, 0, 256, 256));
    const QImage image = GrabWindow(f.curve);
    SaveTestOutput(image, "curve_static_identity");
    for (int i = 1; i < 256; i += 17) {
        int found = -1;
        for (int y = 0; y < 256; ++y)
            if (At(image, i, y) == 0xFFFFFFu) found = y;
        // Level i lies at y = 256 - i; the line's own stepping may put its pixel one row up.
        EXPECT_NEAR(found, 256 - i, 1) << i;
    }
    EXPECT_EQ(At(image, 200, 200), 0u);

    // A brightened red curve leaves green and blue on the diagonal: they merge to cyan.
    for (int i = 0; i < 256; ++i) f.tables[0][i] = BYTE(std::min(255, i + 60));
    for (int i = 0; i < 256; ++i) f.tables[2][i] = BYTE(255.0 * std::pow(i / 255.0, 0.5));
    f.SetTables();
    const QImage corrected = GrabWindow(f.curve);
    const auto hasColumnPixel = [&](int x, int y, QRgb colour) {
        return At(corrected, x, y) == colour || At(corrected, x, y - 1) == colour;
    };
    EXPECT_TRUE(hasColumnPixel(100, 156, 0x00FF00u));  // green alone on the diagonal
    EXPECT_TRUE(hasColumnPixel(100, 96, 0xFF0000u));   // red lifted by 60
    SaveTestOutput(corrected, "curve_static_correction");
}

}  // namespace
