#include "viewer/analysis/property_set.h"

#include <gtest/gtest.h>

#include "tests/viewer/analysis/dialog_test_support.h"
#include "viewer/analysis/analysis_dialog_ids.h"

using analysis_test::RecordingParent;
using tarvenix::test::PumpEvents;

namespace {

std::vector<std::pair<std::string, std::string>> Rows(CPropertiesDlg* dlg)
{
    std::vector<std::pair<std::string, std::string>> rows;
    for (int i = 0; dlg && i < dlg->m_list.GetItemCount(); ++i)
        rows.emplace_back(static_cast<const char*>(dlg->m_list.GetItemText(i, 0)),
                          static_cast<const char*>(dlg->m_list.GetItemText(i, 1)));
    return rows;
}

using Rows_t = std::vector<std::pair<std::string, std::string>>;

}  // namespace

TEST(PropertySet, AddOnASetNeverShownOpensTheDialogWithTheStoredParent)
{
    CPropertySet set;
    set.Add("Lenght", "12.5");
    ASSERT_NE(set.GetDialog(), nullptr);
    EXPECT_EQ(set.GetDialog()->GetParent(), nullptr);
    EXPECT_EQ(Rows(set.GetDialog()), (Rows_t{{"Lenght", "12.5"}}));
    set.GetDialog()->DestroyWindow();
    EXPECT_EQ(set.GetDialog(), nullptr);
}

TEST(PropertySet, RefreshRebuildsInOrderWithNothingLostOrDoubled)
{
    RecordingParent parent;
    CPropertySet set;
    set.SetObjectName("Measure");
    set.Show(&parent);
    set.Clear();
    set.Add("Lenght", "30");
    set.Add("Segments", "2");
    set.Add("Nodes", "3");
    set.Refresh();
    set.Refresh();
    const Rows_t expected{{"Lenght", "30"}, {"Segments", "2"}, {"Nodes", "3"}};
    EXPECT_EQ(Rows(set.GetDialog()), expected);
    EXPECT_EQ(analysis_test::Text(*set.GetDialog(), IDC_PROP_OBJECT), "Measure");

    set.Clear();
    EXPECT_TRUE(Rows(set.GetDialog()).empty());
    set.GetDialog()->DestroyWindow();
}

TEST(PropertySet, OnlyTheSetsCurrentDialogReportsItsEnd)
{
    RecordingParent parent;
    CPropertySet set;
    set.Show(&parent);
    const HWND first = set.GetDialog()->GetSafeHwnd();
    set.Show(&parent);
    PumpEvents();
    EXPECT_FALSE(::IsWindow(first)) << "the replaced dialog closes";
    EXPECT_EQ(parent.Count(28), 0);

    set.Add("Nodes", "1");
    EXPECT_EQ(Rows(set.GetDialog()).size(), 1u);
    set.GetDialog()->SendMessage(WM_CLOSE);
    PumpEvents();
    EXPECT_EQ(parent.Count(28), 1);
    EXPECT_EQ(set.GetDialog(), nullptr);

    // The user closed it; the next read-out opens a new one with the same parent.
    set.Add("Nodes", "2");
    ASSERT_NE(set.GetDialog(), nullptr);
    EXPECT_EQ(set.GetDialog()->GetParent(), &parent);
    set.GetDialog()->DestroyWindow();
    EXPECT_EQ(parent.Count(28), 2);
}

TEST(PropertySet, ADialogOutlivingItsSetClosesCleanly)
{
    RecordingParent parent;
    HWND hwnd = nullptr;
    {
        CPropertySet set;
        set.Show(&parent);
        hwnd = set.GetDialog()->GetSafeHwnd();
    }
    ASSERT_TRUE(::IsWindow(hwnd));
    CWnd::FromHandle(hwnd)->SendMessage(WM_CLOSE);
    PumpEvents();
    EXPECT_FALSE(::IsWindow(hwnd));
    EXPECT_EQ(parent.Count(28), 1);
}

TEST(PropertySet, ResizingStretchesTheListAndShowsAMeasuredPolyline)
{
    RecordingParent parent;
    CPropertySet set;
    set.Show(&parent);
    set.SetObjectName("Measure");
    set.Clear();
    const char* rows[][2] = {{"Lenght", "84.8528"}, {"Segments", "2"}, {"Nodes", "3"},
                             {"1", "(10, 10)"},     {"2", "(70, 70)"}, {"3", "(10, 70)"}};
    for (auto& row : rows) set.Add(row[0], row[1]);
    CPropertiesDlg& dlg = *set.GetDialog();

    CRect before, after, window;
    dlg.m_list.GetWindowRect(&before);
    dlg.GetWindowRect(&window);
    dlg.SetWindowPos(nullptr, 0, 0, window.Width() + 80, window.Height() + 60, SWP_NOMOVE | SWP_NOZORDER);
    PumpEvents();
    dlg.m_list.GetWindowRect(&after);
    EXPECT_EQ(after.Width(), before.Width() + 80);
    EXPECT_EQ(after.Height(), before.Height() + 60);
    EXPECT_EQ(after.left - before.left, 0);
    analysis_test::Screenshot(dlg, "properties_measured_polyline");
    dlg.DestroyWindow();
}
