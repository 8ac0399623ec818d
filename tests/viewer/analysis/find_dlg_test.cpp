#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/settings.h"
#include "outside/basecore/thread_runner.h"
#include "platform/last_error.h"
#include "tests/support/test_environment.h"
#include "tests/viewer/analysis/dialog_test_support.h"
#include "tests/viewer/frame/frame_test_support.h"
#include "viewer/analysis/find_dlg.h"
#include "viewer/frame/frame_viewer_ids.h"
#include "viewer/core/view_rect.h"

using analysis_test::Click;
using analysis_test::Type;
using tarvenix::test::PumpEvents;
using tarvenix::test::Responder;

namespace {

const char* const kFindKey = "\\Settings\\Viewer\\Find";

/// A viewer on a small layer and its Find dialog, opened by the viewer's Find command.
struct Fixture {
    tarvenix::test::TempDir dir;
    frame_test::NotifyWindow parent;
    CFrameViewer* viewer = nullptr;
    CFindDlg* dlg = nullptr;

    Fixture(int width, int height, int type, const std::vector<double>& values)
    {
        const std::string file = dir.File("values.rdp");
        CRDPLayer layer;
        if (!layer.CreateLayer(file.c_str(), width, height, type)) return;
        for (int i = 0; i < width * height; ++i) layer.SetValue(i % width, i / width, values[std::size_t(i)]);
        layer.CloseLayer();
        viewer = frame_test::OpenViewer(file, parent);
        if (!viewer || !tarvenix::test::ClickCommand(*viewer, ID_VIEWER_FIND)) return;
        PumpEvents();
        dlg = dynamic_cast<CFindDlg*>(CWnd::FromHandle(::FindWindow(nullptr, "Find")));
    }
    ~Fixture()
    {
        tarvenix::test::PumpUntil([] { return GetRunningThreadCount() == 0; });
        if (viewer && ::IsWindow(viewer->GetSafeHwnd())) viewer->DestroyWindow();
        PumpEvents();
        ::RegDeleteKey(HKEY_CURRENT_USER, GetAppSubKey(kFindKey));
    }
    /// "Find next"; the cell found, or (-1, -1) after "Value not found.".
    CPoint FindNext()
    {
        const std::size_t asked = Responder().Asked().size();
        Responder().AnswerMessageBox(IDOK);
        Click(*dlg, IDC_FIND_NEXT);
        if (Responder().Asked().size() > asked) {
            const auto& box = Responder().Asked().back();
            EXPECT_EQ(box.text, "Value not found.");
            EXPECT_EQ(box.caption, "Find");
            EXPECT_EQ(box.Icon(), UINT(MB_ICONEXCLAMATION));
            return CPoint(-1, -1);
        }
        Responder().Reset();
        return dlg->m_position;
    }
};

}  // namespace

TEST(FindDlg, RepeatedFindNextWalksEveryHitBothWaysAndStopsAtTheEnds)
{
    ::RegDeleteKey(HKEY_CURRENT_USER, GetAppSubKey(kFindKey));
    Fixture f(3, 3, 7, {1, 2, 1, 3, 1, 4, 1, 5, 6});
    ASSERT_NE(f.dlg, nullptr);
    EXPECT_TRUE(f.dlg->IsWindowVisible());
    EXPECT_TRUE(f.dlg->GetDlgItem(IDC_FIND_APPROXIMATE)->IsWindowEnabled());
    Type(*f.dlg, IDC_FIND_TEXT, "1");
    analysis_test::Screenshot(*f.dlg, "find");

    // The viewer's Find turns the pointer off; the search still goes on from its last hit.
    const std::vector<CPoint> forward = {{2, 0}, {1, 1}, {0, 2}, {-1, -1}};
    for (const CPoint& expected : forward) EXPECT_EQ(f.FindNext(), expected);
    f.dlg->CheckDlgButton(IDC_FIND_FORWARD, 0);
    f.dlg->CheckDlgButton(IDC_FIND_BACKWARD, 1);
    const std::vector<CPoint> backward = {{1, 1}, {2, 0}, {0, 0}, {-1, -1}};
    for (const CPoint& expected : backward) EXPECT_EQ(f.FindNext(), expected);

    // With the pointer on, a hit moves it and the next search starts there.
    tarvenix::test::ClickCommand(*f.viewer, ID_VIEWER_POINTER);
    f.viewer->SetPointerPos(CPoint(2, 2));
    EXPECT_EQ(f.FindNext(), CPoint(0, 2));
    EXPECT_EQ(f.viewer->GetPointerPos(), CPoint(0, 2));
    EXPECT_EQ(f.FindNext(), CPoint(1, 1));
    EXPECT_EQ(f.viewer->GetPointerPos(), CPoint(1, 1));

    // What was searched for is remembered for the next dialog.
    CTLRegKey key;
    ASSERT_EQ(key.Open(HKEY_CURRENT_USER, GetAppSubKey(kFindKey), KEY_READ), ERROR_SUCCESS);
    CString text;
    DWORD direction = 0, like = 1;
    EXPECT_EQ(key.QueryValue(text, "LastFindExpression"), ERROR_SUCCESS);
    EXPECT_EQ(key.QueryValue(direction, "Direction"), ERROR_SUCCESS);
    EXPECT_EQ(key.QueryValue(like, "FindLike"), ERROR_SUCCESS);
    EXPECT_EQ(text, "1");
    EXPECT_EQ(direction, 1u);
    EXPECT_EQ(like, 0u);
}

TEST(FindDlg, SettingsComeBackAndIntegerLayersSearchExactly)
{
    {
        CTLRegKey key;
        ASSERT_EQ(key.Create(HKEY_CURRENT_USER, GetAppSubKey(kFindKey)), ERROR_SUCCESS);
        key.SetValue("3", "LastFindExpression");
        key.SetValue(DWORD(1), "Direction");
        key.SetValue(DWORD(1), "FindLike");
    }
    // S16 samples: approximate matching is offered for floating-point layers only.
    Fixture f(3, 2, 4, {3, 0, 0, 0, 0, 3});
    ASSERT_NE(f.dlg, nullptr);
    EXPECT_EQ(analysis_test::Text(*f.dlg, IDC_FIND_TEXT), "3");
    EXPECT_EQ(f.dlg->IsDlgButtonChecked(IDC_FIND_BACKWARD), 1u);
    EXPECT_FALSE(f.dlg->GetDlgItem(IDC_FIND_APPROXIMATE)->IsWindowEnabled());

    // Backward from the pointer's (0, 0): nothing before the first cell.
    EXPECT_EQ(f.FindNext(), CPoint(-1, -1));
    f.dlg->CheckDlgButton(IDC_FIND_BACKWARD, 0);
    f.dlg->CheckDlgButton(IDC_FIND_FORWARD, 1);
    EXPECT_EQ(f.FindNext(), CPoint(2, 1));
    // "2.6" would match 3 only approximately; the greyed box does not count.
    Type(*f.dlg, IDC_FIND_TEXT, "2.6");
    f.dlg->m_position = CPoint(0, 0);
    EXPECT_EQ(f.FindNext(), CPoint(-1, -1));
}

TEST(FindDlg, WithoutALayerFindNextDoesNothing)
{
    frame_test::NotifyWindow parent;
    ViewResultParam p;
    p.parent = &parent;
    p.fileName = "";
    CFrameViewer* viewer = ViewerCreate(&p);
    ASSERT_NE(viewer, nullptr);
    PumpEvents();
    auto* dlg = new CFindDlg;
    ASSERT_TRUE(dlg->Create(viewer));
    Type(*dlg, IDC_FIND_TEXT, "1");
    Click(*dlg, IDC_FIND_NEXT);
    EXPECT_TRUE(Responder().Asked().empty());
    viewer->DestroyWindow();
    PumpEvents();
}

TEST(FindDlg, BothPartsOfAComplexTableAreMatched)
{
    ::RegDeleteKey(HKEY_CURRENT_USER, GetAppSubKey(kFindKey));
    tarvenix::test::TempDir dir;
    const std::string file = dir.File("complex.rdp");
    {
        // (2, 3) at (1, 0) and (2, 1); (2, 4) and (3, 3) beside them must not match.
        const double parts[9][2] = {{0, 0}, {2, 3}, {2, 4}, {3, 3}, {0, 0}, {2, 3}, {0, 0}, {0, 0}, {0, 0}};
        CRDPLayer layer;
        ASSERT_NE(layer.CreateLayer(file.c_str(), 3, 3, 9), nullptr);
        for (int i = 0; i < 9; ++i) {
            layer.SetValue(i % 3, i / 3, parts[i][0], 2);
            layer.SetValue(i % 3, i / 3, parts[i][1], 3);
        }
        ASSERT_TRUE(layer.CloseLayer());
    }
    frame_test::NotifyWindow parent;
    CFrameViewer* viewer = frame_test::OpenViewer(file, parent);
    ASSERT_NE(viewer, nullptr);
    // Both parts show in the table view.
    ASSERT_TRUE(tarvenix::test::ClickCommand(*viewer, ID_VIEWER_SHOW_TABLE));
    ASSERT_TRUE(tarvenix::test::ClickCommand(*viewer, ID_VIEWER_COMPLEX_FULL));
    ASSERT_EQ(viewer->GetComplexMode(1), 4);
    auto* dlg = new CFindDlg;
    ASSERT_TRUE(dlg->Create(viewer));
    Type(*dlg, IDC_FIND_TEXT, "(2, 3)");
    const auto findNext = [&] {
        const std::size_t asked = Responder().Asked().size();
        Responder().AnswerMessageBox(IDOK);
        Click(*dlg, IDC_FIND_NEXT);
        const bool found = Responder().Asked().size() == asked;
        if (found) Responder().Reset();
        return found ? viewer->GetPointerPos() : CPoint(-1, -1);
    };
    EXPECT_EQ(findNext(), CPoint(1, 0));
    EXPECT_EQ(findNext(), CPoint(2, 1));
    EXPECT_EQ(findNext(), CPoint(-1, -1));
    tarvenix::test::PumpUntil([] { return GetRunningThreadCount() == 0; });
    viewer->DestroyWindow();
    PumpEvents();
}
