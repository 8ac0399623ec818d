#include "viewer/analysis/selection_objects.h"

#include <gtest/gtest.h>

#include <memory>

#include "outside/basecore/coord_law_data.h"
#include "outside/basecore/settings.h"
#include "tests/viewer/analysis/dialog_test_support.h"
#include "viewer/analysis/analysis_dialog_ids.h"

using analysis_test::Click;
using analysis_test::RecordingParent;
using analysis_test::Text;
using tarvenix::test::PumpEvents;

namespace {

constexpr const char* kSelectionsKey = "\\Settings\\Viewer\\Selections";

void StoreMode(const char* mode)
{
    ASSERT_TRUE(SetStringValue(kSelectionsKey, "RectCoordLast", mode));
}

/// The corners a view window builds from its law for the file rectangle.
CRectSelCorners CornersOf(const CCoordLawData& law, const CRect& r)
{
    CRectSelCorners c;
    c.corners[0] = law.GetLogicalCoord(r.left, r.top);
    c.corners[1] = law.GetLogicalCoord(r.right, r.top);
    c.corners[2] = law.GetLogicalCoord(r.right, r.bottom);
    c.corners[3] = law.GetLogicalCoord(r.left, r.bottom);
    return c;
}

CRectSelDlg& DialogOf(CRectSelObj& obj)
{
    return *static_cast<CRectSelDlg*>(obj.m_pWnd);
}

void ChooseUnit(CRectSelDlg& dlg, int id)
{
    dlg.CheckDlgButton(IDC_SEL_LOGICAL, id == IDC_SEL_LOGICAL);
    dlg.CheckDlgButton(IDC_SEL_FILE, id == IDC_SEL_FILE);
    Click(dlg, id);
}

}  // namespace

TEST(RectSelection, FileUnitsShowTheNormalisedRectangleAndItsFigures)
{
    struct Case {
        CRect rect;
        const char* leftTop;
        const char* rightBottom;
        const char* width;
        const char* height;
        const char* perimeter;
        const char* square;
    };
    const Case cases[] = {
        {CRect(10, 20, 110, 70), "(10, 20)", "(110, 70)", "100", "50", "300", "5000"},
        {CRect(110, 70, 10, 20), "(10, 20)", "(110, 70)", "100", "50", "300", "5000"},
        {CRect(0, 0, 0, 0), "(0, 0)", "(0, 0)", "0", "0", "0", "0"},
        // The area of a large selection does not wrap.
        {CRect(0, 0, 100000, 100000), "(0, 0)", "(100000, 100000)", "100000", "100000", "400000",
         "10000000000"},
    };
    StoreMode("1");
    RecordingParent parent;
    CRectSelObj obj;
    obj.SetData(cases[0].rect, {}, &parent);
    obj.ShowWnd();
    ASSERT_NE(obj.m_pWnd, nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.width);
        obj.SetData(c.rect, {}, &parent);
        CRectSelDlg& dlg = DialogOf(obj);
        EXPECT_EQ(dlg.m_nCoordMode, 1);
        EXPECT_EQ(Text(dlg, IDC_SEL_LEFT_TOP), c.leftTop);
        EXPECT_EQ(Text(dlg, IDC_SEL_RIGHT_BOTTOM), c.rightBottom);
        EXPECT_EQ(Text(dlg, IDC_SEL_WIDTH), c.width);
        EXPECT_EQ(Text(dlg, IDC_SEL_HEIGHT), c.height);
        EXPECT_EQ(Text(dlg, IDC_SEL_PERIMETER), c.perimeter);
        EXPECT_EQ(Text(dlg, IDC_SEL_SQUARE), c.square);
    }
    obj.SetData(CRect(10, 20, 110, 70), {}, &parent);
    EXPECT_EQ(Text(DialogOf(obj), IDC_SEL_RIGHT_TOP), "(110, 20)");
    EXPECT_EQ(Text(DialogOf(obj), IDC_SEL_LEFT_BOTTOM), "(10, 70)");
    analysis_test::Screenshot(DialogOf(obj), "rect_selection_file_units");
}

TEST(RectSelection, LogicalUnitsTakeTheTopAndRightEdges)
{
    StoreMode("0");
    RecordingParent parent;
    CCoordLawData law;
    ASSERT_TRUE(law.SetDataManual(201, 101, 1000.0, 1200.0, 500.0, 400.0));
    const CRect rect(10, 20, 110, 70);

    CRectSelObj obj;
    obj.SetData(rect, CornersOf(law, rect), &parent);
    obj.ShowWnd();
    CRectSelDlg& dlg = DialogOf(obj);
    EXPECT_EQ(dlg.m_nCoordMode, 0);
    EXPECT_EQ(Text(dlg, IDC_SEL_LEFT_TOP), "(1010, 480)");
    EXPECT_EQ(Text(dlg, IDC_SEL_WIDTH), "100");
    EXPECT_EQ(Text(dlg, IDC_SEL_HEIGHT), "50");
    EXPECT_EQ(Text(dlg, IDC_SEL_PERIMETER), "300");
    EXPECT_EQ(Text(dlg, IDC_SEL_SQUARE), "5000");
    analysis_test::Screenshot(dlg, "rect_selection_logical_units");

    // A rotated law: the corners no longer line up, only the top and right edges count.
    CRectSelCorners rotated;
    rotated.corners[0] = {0.0, 0.0};
    rotated.corners[1] = {30.0, -40.0};
    rotated.corners[2] = {42.0, -31.0};
    rotated.corners[3] = {12.0, 9.0};
    obj.SetData(rect, rotated, &parent);
    EXPECT_EQ(Text(dlg, IDC_SEL_WIDTH), "30");
    EXPECT_EQ(Text(dlg, IDC_SEL_HEIGHT), "9");
    EXPECT_EQ(Text(dlg, IDC_SEL_PERIMETER), "78");
    EXPECT_EQ(Text(dlg, IDC_SEL_SQUARE), "270");
}

TEST(RectSelection, TheUnitChosenLastOpensTheNextDialog)
{
    RecordingParent parent;
    struct Case {
        const char* stored;
        int mode;
    };
    for (const Case c : {Case{"1", 1}, Case{"0", 0}, Case{"5", 0}, Case{"", 0}, Case{"x", 0}}) {
        SCOPED_TRACE(c.stored);
        StoreMode(c.stored);
        CRectSelObj obj;
        obj.SetData(CRect(1, 2, 3, 4), {}, &parent);
        obj.ShowWnd();
        EXPECT_EQ(DialogOf(obj).m_nCoordMode, c.mode);
        obj.CloseWnd();
        EXPECT_EQ(obj.m_pWnd, nullptr);
    }

    StoreMode("0");
    {
        CRectSelObj obj;
        obj.SetData(CRect(10, 20, 110, 70), {}, &parent);
        obj.ShowWnd();
        ChooseUnit(DialogOf(obj), IDC_SEL_FILE);
        EXPECT_EQ(Text(DialogOf(obj), IDC_SEL_SQUARE), "5000");
        DialogOf(obj).SendMessage(WM_CLOSE);
        PumpEvents();
        EXPECT_EQ(obj.m_pWnd, nullptr);
    }
    CRectSelObj next;
    next.SetData(CRect(10, 20, 110, 70), {}, &parent);
    next.ShowWnd();
    EXPECT_EQ(DialogOf(next).m_nCoordMode, 1);
}

TEST(RectSelection, OneDialogPerObjectAndItEndsWithTheObject)
{
    RecordingParent parent;
    auto obj = std::make_unique<CRectSelObj>();
    obj->SetData(CRect(0, 0, 5, 5), {}, &parent);
    obj->ShowWnd();
    CWnd* first = obj->m_pWnd;
    ASSERT_NE(first, nullptr);
    const HWND hwnd = first->GetSafeHwnd();
    obj->HideWnd();
    EXPECT_FALSE(first->IsWindowVisible());
    obj->ShowWnd();
    EXPECT_EQ(obj->m_pWnd, first);
    EXPECT_TRUE(first->IsWindowVisible());
    EXPECT_EQ(obj->GetType(), 1);

    // Deleting the object through its base closes the dialog, which then calls nobody.
    std::unique_ptr<CSelObj> base(obj.release());
    base.reset();
    PumpEvents();
    EXPECT_FALSE(::IsWindow(hwnd));
}

TEST(FreeRegionSelection, KeepsOneDialogAndResets)
{
    RecordingParent parent;
    auto obj = std::make_unique<CFreeRegionObj>();
    obj->SetData(1234, 56.5, CRect(1, 2, 30, 40), {0.5, 1.5}, {3.5, 4.5}, &parent);
    EXPECT_EQ(obj->m_dArea, 1234.0);
    obj->ShowWnd();
    CWnd* first = obj->m_pWnd;
    ASSERT_NE(first, nullptr);
    obj->ShowWnd();
    EXPECT_EQ(obj->m_pWnd, first);
    EXPECT_EQ(obj->GetType(), 2);
    obj->Reset();
    EXPECT_EQ(obj->m_dArea, 0.0);
    EXPECT_EQ(obj->m_rcBound, CRect(0, 0, 0, 0));
    const HWND hwnd = first->GetSafeHwnd();
    obj.reset();
    PumpEvents();
    EXPECT_FALSE(::IsWindow(hwnd));
}
