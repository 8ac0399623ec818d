#include "viewer/analysis/statistics_dlg.h"

#include <gtest/gtest.h>

#include <complex>
#include <vector>

#include "outside/basecore/grid_ctrl.h"
#include "platform/controls/tab_ctrl.h"
#include "platform/gdi/region.h"
#include "platform/window/messages.h"
#include "tests/support/ui_helpers.h"
#include "viewer/analysis/hist_frame.h"
#include "viewer/analysis/stats_grid_resources.h"

namespace {

using tarvenix::test::GrabWindow;
using tarvenix::test::PumpEvents;
using tarvenix::test::SaveTestOutput;

CRect ClientRectOf(CWnd& dlg, int id)
{
    CRect r;
    dlg.GetDlgItem(id)->GetWindowRect(&r);
    dlg.ScreenToClient(&r);
    return r;
}

CString Text(CWnd& dlg, int id)
{
    CString s;
    dlg.GetDlgItem(id)->GetWindowText(s);
    return s;
}

/// Picks tab `index` of tab control `id` as a click does.
void PickTab(CWnd& dlg, int id, int index)
{
    auto* tab = static_cast<CTabCtrl*>(dlg.GetDlgItem(id));
    tab->SetCurSel(index);
    NMHDR header{tab->GetSafeHwnd(), UINT_PTR(id), TCN_SELCHANGE};
    dlg.SendMessage(WM_NOTIFY, WPARAM(id), reinterpret_cast<LPARAM>(&header));
}

struct Rows {
    std::vector<const void*> table;
    template <class T>
    void** Of(std::vector<T>& samples, int width)
    {
        table.clear();
        for (size_t at = 0; at < samples.size(); at += size_t(width)) table.push_back(samples.data() + at);
        return const_cast<void**>(table.data());
    }
};

TEST(StatisticsDialog, RealLayerFoldsBothTabRowsAndShowsItsMoments)
{
    auto* dlg = new CStatisticsDlg;
    ASSERT_TRUE(dlg->Create(nullptr));
    const CRect channelTab = ClientRectOf(*dlg, IDC_CHANNEL_TAB);
    const CRect complexTab = ClientRectOf(*dlg, IDC_COMPLEX_TAB);
    const CRect minLabel = ClientRectOf(*dlg, IDC_MIN_LABEL);
    CRect before;
    dlg->GetWindowRect(&before);

    std::vector<float> samples = {1, 2, 3, 4, 5, 100, 100, 100, 100, 100};
    Rows rows;
    HRGN region = ::CreateRectRgn(0, 0, 5, 1);
    dlg->SetMode(1);
    dlg->SetChannelRegion(0, rows.Of(samples, 5), 7, region, 5, 2);
    ::DeleteObject(region);
    dlg->Calculate(nullptr);
    dlg->ShowResults(0, 0);
    dlg->ShowWindow(SW_SHOW);
    PumpEvents();

    // Both tab rows are gone and everything from "Min" on moved up by their heights.
    EXPECT_FALSE(dlg->GetDlgItem(IDC_CHANNEL_TAB)->IsWindowVisible());
    EXPECT_FALSE(dlg->GetDlgItem(IDC_COMPLEX_TAB)->IsWindowVisible());
    const int folded = channelTab.Height() + complexTab.Height();
    EXPECT_EQ(ClientRectOf(*dlg, IDC_MIN_LABEL).top, minLabel.top - folded);
    CRect after;
    dlg->GetWindowRect(&after);
    EXPECT_EQ(after.Height(), before.Height() - folded);
    // The grid lies on its placeholder.
    CRect grid;
    dlg->GetDlgItem(IDC_GRID)->GetWindowRect(&grid);
    dlg->ScreenToClient(&grid);
    EXPECT_EQ(grid, ClientRectOf(*dlg, IDC_GRID_PLACE));

    EXPECT_EQ(Text(*dlg, IDC_MIN), CString("1"));
    EXPECT_EQ(Text(*dlg, IDC_MAX), CString("5"));
    EXPECT_EQ(Text(*dlg, IDC_KURTOSIS), CString("-1.3"));
    auto* table = static_cast<CGridCtrl*>(dlg->GetDlgItem(IDC_GRID));
    const char* raw[] = {"3", "11", "45", "195.8", "885"};
    const char* central[] = {"0", "2", "0", "6.8", "0"};
    for (int k = 1; k <= 5; ++k) {
        EXPECT_EQ(table->GetItemText(k, 0), CString(std::to_string(k).c_str()));
        EXPECT_EQ(table->GetItemText(k, 1), CString(raw[k - 1]));
        // The central moments of order 3 and 5 are 0 up to rounding.
        if (k != 3 && k != 5) EXPECT_EQ(table->GetItemText(k, 2), CString(central[k - 1]));
    }
    EXPECT_EQ(table->GetItemText(0, 1), CString("About origin"));
    SaveTestOutput(GrabWindow(*dlg), "statistics_dialog_real");

    // Without a histogram source the button opens nothing.
    dlg->SendMessage(WM_COMMAND, MAKEWPARAM(IDC_HISTOGRAM, BN_CLICKED), 0);
    EXPECT_TRUE(dlg->GetRegionWindows().empty());
    dlg->DestroyWindow();  // frees the dialog
}

TEST(StatisticsDialog, ComplexLayerKeepsItsTabAndSwitchesComponentsWithoutRecomputing)
{
    auto* dlg = new CStatisticsDlg;
    ASSERT_TRUE(dlg->Create(nullptr));
    const CRect minLabel = ClientRectOf(*dlg, IDC_MIN_LABEL);
    std::vector<std::complex<float>> samples = {{3, 4}, {1, -2}, {0, 6}, {-1, 0}};
    Rows rows;
    HRGN region = ::CreateRectRgn(-5, -5, 50, 50);  // reaches past the layer: clipped
    dlg->SetMode(1);
    dlg->SetChannelRegion(0, rows.Of(samples, 2), 9, region, 2, 2);
    ::DeleteObject(region);
    dlg->Calculate(nullptr);
    dlg->ShowResults(0, 0);
    dlg->ShowWindow(SW_SHOW);
    PumpEvents();
    EXPECT_TRUE(dlg->GetDlgItem(IDC_COMPLEX_TAB)->IsWindowVisible());
    for (int id : {IDC_COMPLEX_TAB, IDC_CHANNEL_TAB}) {
        // Both tab rows are rows of flat buttons.
        auto* tab = static_cast<CTabCtrl*>(dlg->GetDlgItem(id));
        const DWORD flat = TCS_BUTTONS | TCS_FLATBUTTONS | TCS_HOTTRACK;
        EXPECT_EQ(tab->GetStyle() & flat, flat) << id;
        EXPECT_EQ(tab->GetExtendedStyle() & TCS_EX_FLATSEPARATORS, TCS_EX_FLATSEPARATORS) << id;
    }
    const CRect channelTab = ClientRectOf(*dlg, IDC_CHANNEL_TAB);
    EXPECT_EQ(ClientRectOf(*dlg, IDC_MIN_LABEL).top, minLabel.top - channelTab.Height());
    EXPECT_EQ(Text(*dlg, IDC_MIN), CString("-1"));  // real part

    dlg->m_slots[0].rows = nullptr;  // a recomputation would now find nothing
    PickTab(*dlg, IDC_COMPLEX_TAB, 1);
    EXPECT_EQ(Text(*dlg, IDC_MIN), CString("-2"));  // imaginary part
    EXPECT_EQ(Text(*dlg, IDC_MAX), CString("6"));
    PickTab(*dlg, IDC_COMPLEX_TAB, 2);
    EXPECT_EQ(Text(*dlg, IDC_MAX), CString("6"));  // amplitude
    EXPECT_EQ(Text(*dlg, IDC_MIN), CString("1"));
    SaveTestOutput(GrabWindow(*dlg), "statistics_dialog_complex");
    dlg->DestroyWindow();
}

TEST(StatisticsDialog, RegionHistogramWindowsAreRegisteredAndClosedThroughTheDialog)
{
    auto* master = new CHistFrame;
    ASSERT_TRUE(master->Create(nullptr, 0));
    auto* dlg = new CStatisticsDlg;
    ASSERT_TRUE(dlg->Create(nullptr));
    std::vector<std::uint8_t> samples = {1, 2, 3, 4};
    Rows rows;
    HRGN region = ::CreateRectRgn(0, 0, 2, 2);
    dlg->SetHistSource(master);
    dlg->SetMode(1);
    dlg->SetChannelRegion(0, rows.Of(samples, 2), 1, region, 2, 2);
    ::DeleteObject(region);
    dlg->Calculate(nullptr);
    dlg->ShowResults(0, 0);

    dlg->SendMessage(WM_COMMAND, MAKEWPARAM(IDC_HISTOGRAM, BN_CLICKED), 0);
    ASSERT_EQ(dlg->GetRegionWindows().size(), 1u);
    const HWND hwnd = dlg->GetRegionWindows()[0];
    auto* window = dynamic_cast<CHistFrame*>(CWnd::FromHandle(hwnd));
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->m_nKind, 1);
    EXPECT_EQ(window->m_pMaster, master);
    EXPECT_EQ(master->m_sources.size(), 1u);
    EXPECT_EQ(window->Data().Channel(1).dataMin, 1.0);
    EXPECT_EQ(window->Data().Channel(1).dataMax, 4.0);
    EXPECT_EQ(::GetRgnArea(window->m_hRgn), 4);

    // A stranger's window is not closed by the dialog; its own one is.
    EXPECT_EQ(dlg->SendMessage(WM_USER + 501, 4, reinterpret_cast<LPARAM>(master->GetSafeHwnd())), 1);
    EXPECT_TRUE(::IsWindow(master->GetSafeHwnd()));
    dlg->SendMessage(WM_USER + 501, 4, reinterpret_cast<LPARAM>(hwnd));
    PumpEvents();
    EXPECT_FALSE(::IsWindow(hwnd));
    EXPECT_TRUE(master->m_sources.empty());
    dlg->DestroyWindow();
    master->DestroyWindow();
}

}  // namespace
