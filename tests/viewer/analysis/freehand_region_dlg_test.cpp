#include <gtest/gtest.h>

#include "outside/basecore/settings.h"
#include "platform/controls/button.h"
#include "tests/support/ui_helpers.h"
#include "tests/viewer/frame/frame_test_support.h"
#include "viewer/analysis/freehand_region_dlg.h"
#include "viewer/analysis/selection_objects.h"

namespace {

constexpr const char* kKey = "\\Settings\\Viewer\\Selections";

/// The selection object the dialog reports its going to.
struct Owner : CFreeRegionObj {
    int detached = 0;
    void DetachWnd() override
    {
        ++detached;
        CFreeRegionObj::DetachWnd();
    }
};

CString Text(CFreehandRegionDlg& dlg, int id)
{
    CString text;
    dlg.GetDlgItemText(id, text);
    return text;
}

}  // namespace

TEST(FreehandRegionDlg, ShowsFiguresInTheRememberedUnits)
{
    frame_test::NotifyWindow parent;
    const struct {
        const char* stored;
        int units;
    } kStored[] = {{"", 0}, {"5", 0}, {"1", 1}, {"-3", 0}};
    for (const auto& c : kStored) {
        SetStringValue(kKey, "FreeHandCoordLast", c.stored);
        Owner owner;
        auto* dlg = new CFreehandRegionDlg;
        ASSERT_TRUE(dlg->CreateStandIn(&parent));
        owner.m_pWnd = dlg;
        EXPECT_EQ(dlg->GetUnits(), c.units) << '"' << c.stored << '"';
        dlg->SetData(5000, 12.5, CRect(10, 20, 110, 70), {0.5, 1.0}, {2.5, 4.0}, &owner);
        if (c.units == 1) {
            EXPECT_EQ(Text(*dlg, IDC_FREEHAND_AREA), "5000");
            EXPECT_EQ(Text(*dlg, IDC_FREEHAND_RECT), "(10, 20) - (110, 70) = [100 x 50]");
        } else {
            EXPECT_EQ(Text(*dlg, IDC_FREEHAND_AREA), "12.5");
            EXPECT_EQ(Text(*dlg, IDC_FREEHAND_RECT), "(0.5, 1) - (2.5, 4) = [2 x 3]");
        }
        // Choosing "File" rewrites the setting at once.
        dlg->CheckRadioButton(IDC_FREEHAND_FILE, IDC_FREEHAND_LOGICAL, IDC_FREEHAND_FILE);
        dlg->SendMessage(WM_COMMAND, MAKEWPARAM(IDC_FREEHAND_FILE, BN_CLICKED), 0);
        EXPECT_EQ(GetStringValue(kKey, "FreeHandCoordLast"), "1");
        EXPECT_EQ(Text(*dlg, IDC_FREEHAND_RECT), "(10, 20) - (110, 70) = [100 x 50]");
        if (c.units == 0)
            tarvenix::test::SaveTestOutput(tarvenix::test::GrabWholeWindow(*dlg), "freehand_region");
        dlg->Clear();
        EXPECT_EQ(Text(*dlg, IDC_FREEHAND_AREA), "");
        dlg->SendMessage(WM_CLOSE);
        tarvenix::test::PumpEvents();
        EXPECT_EQ(owner.detached, 1);
        EXPECT_EQ(owner.m_pWnd, nullptr);
    }
}
