#include <string>

#include <gtest/gtest.h>

#include "outside/basecore/thread_runner.h"
#include "platform/controls/edit.h"
#include "platform/controls/spin_button_ctrl.h"
#include "tests/support/test_environment.h"
#include "tests/support/ui_helpers.h"
#include "tests/viewer/analysis/dialog_test_support.h"
#include "tests/viewer/frame/frame_test_support.h"
#include "viewer/analysis/coord_pointer_dlg.h"
#include "viewer/frame/frame_viewer_ids.h"
#include "viewer/core/view_rect.h"

using analysis_test::Click;
using analysis_test::Text;
using analysis_test::Type;
using tarvenix::test::PumpEvents;
using tarvenix::test::Responder;

namespace {

CCoordPointerDlg* Dialog()
{
    return dynamic_cast<CCoordPointerDlg*>(CWnd::FromHandle(::FindWindow(nullptr, "Coordinate Pointer")));
}

// A layer larger than the view whose logical x runs from 1000 by 10 a pixel and y from 500
// down by 10.
constexpr int kWidth = 1000, kHeight = 800;

struct Fixture {
    tarvenix::test::TempDir dir;
    frame_test::NotifyWindow parent;
    CFrameViewer* viewer = nullptr;
    CCoordPointerDlg* dlg = nullptr;
    Fixture()
    {
        const std::string file = dir.File("plain.rdp");
        frame_test::MakeLayerFile(file, kWidth, kHeight);
        viewer = frame_test::OpenViewer(file, parent);
        if (!viewer) return;
        viewer->GetViewRect()->SetLogicalCoords(kWidth, kHeight, 1000.0, 1000.0 + 10 * (kWidth - 1), 500.0,
                                                500.0 - 10 * (kHeight - 1));
        viewer->SendMessage(WM_DLGMESSAGE, 16, 1);  // a test's law is not to be saved
        // The pointer tool shows the dialog.
        if (tarvenix::test::ClickCommand(*viewer, ID_VIEWER_POINTER)) dlg = Dialog();
        PumpEvents();
    }
    ~Fixture()
    {
        tarvenix::test::PumpUntil([] { return GetRunningThreadCount() == 0; });
        if (viewer && ::IsWindow(viewer->GetSafeHwnd())) viewer->DestroyWindow();
        PumpEvents();
    }
    CPoint Pointer() { return viewer->GetPointerPos(); }
    /// The picture pixel under the middle of the view (1:1, not scrolled).
    CPoint Centre()
    {
        CRect client;
        viewer->GetViewRect()->GetClientRect(&client);
        return CPoint(client.Width() / 2, client.Height() / 2);
    }
    /// The user leaves edit `id` after typing `text`.
    void Enter(int id, const char* text)
    {
        Type(*dlg, id, text);
        dlg->SendMessage(WM_COMMAND, MAKEWPARAM(id, EN_KILLFOCUS),
                         reinterpret_cast<LPARAM>(dlg->GetDlgItem(id)->GetSafeHwnd()));
    }
    void Spin(int id, bool up) { static_cast<CSpinButtonCtrl*>(dlg->GetDlgItem(id))->ClickArrow(up); }
};

}  // namespace

CString Number(double v)
{
    CString text;
    text.Format("%g", v);
    return text;
}

TEST(CoordPointerDlg, ShowingCentresThePointerAndTheEditsFollowIt)
{
    Fixture f;
    ASSERT_NE(f.dlg, nullptr);
    EXPECT_TRUE(f.dlg->IsWindowVisible());
    const CPoint c = f.Centre();
    ASSERT_LT(c.x, kWidth);
    ASSERT_LT(c.y, kHeight);
    EXPECT_EQ(f.Pointer(), c);
    EXPECT_EQ(Text(*f.dlg, IDC_CP_FILE_X), Number(c.x));
    EXPECT_EQ(Text(*f.dlg, IDC_CP_FILE_Y), Number(c.y));
    EXPECT_EQ(Text(*f.dlg, IDC_CP_LOGICAL_X), Number(1000 + 10 * c.x));
    EXPECT_EQ(Text(*f.dlg, IDC_CP_LOGICAL_Y), Number(500 - 10 * c.y));
    EXPECT_EQ(Text(*f.dlg, IDC_CP_VALUE), Number(c.x + 100 * c.y));
    EXPECT_DOUBLE_EQ(f.dlg->m_dStepX, 10.0 * (kWidth - 1) / kWidth);
    EXPECT_DOUBLE_EQ(f.dlg->m_dStepY, 10.0 * (kHeight - 1) / kHeight);
    analysis_test::Screenshot(*f.dlg, "coord_pointer");

    // The pointer moved in the view reaches the edits through the frame.
    f.viewer->SetPointerPos(CPoint(3, 4));
    ASSERT_TRUE(tarvenix::test::PumpUntil([&] { return Text(*f.dlg, IDC_CP_FILE_X) == "3"; }));
    EXPECT_EQ(Text(*f.dlg, IDC_CP_LOGICAL_Y), "460");
    EXPECT_EQ(Text(*f.dlg, IDC_CP_VALUE), "403");
}

TEST(CoordPointerDlg, SpinsStepOnePixelInFileAndLogicalUnits)
{
    Fixture f;
    ASSERT_NE(f.dlg, nullptr);
    const CPoint c = f.Centre();
    struct Step {
        int spin;
        bool up;
        CSize moved;  // from the centre
    };
    const Step steps[] = {
        {IDC_CP_SPIN_FILE_X, true, {1, 0}},     {IDC_CP_SPIN_FILE_X, false, {0, 0}},
        {IDC_CP_SPIN_FILE_Y, true, {0, 1}},     {IDC_CP_SPIN_LOGICAL_X, true, {1, 1}},
        {IDC_CP_SPIN_LOGICAL_X, false, {0, 1}}, {IDC_CP_SPIN_LOGICAL_Y, true, {0, 0}},
    };
    for (const Step& s : steps) {
        f.Spin(s.spin, s.up);
        EXPECT_EQ(f.Pointer(), c + s.moved) << s.spin << (s.up ? " up" : " down");
    }
    // The edits show the pointer, not the arrows' own counter.
    EXPECT_EQ(Text(*f.dlg, IDC_CP_FILE_X), Number(c.x));
    EXPECT_EQ(Text(*f.dlg, IDC_CP_LOGICAL_X), Number(1000 + 10 * c.x));

    // At the picture's edge the pointer stays on it.
    f.Enter(IDC_CP_FILE_X, "999");
    f.Spin(IDC_CP_SPIN_FILE_X, true);
    EXPECT_EQ(f.Pointer().x, kWidth - 1);
}

TEST(CoordPointerDlg, TypedCoordinatesMoveOneAxisAndRefusedOnesMoveNothing)
{
    Fixture f;
    ASSERT_NE(f.dlg, nullptr);
    const CPoint c = f.Centre();
    f.Enter(IDC_CP_LOGICAL_X, "1052");  // nearest pixel 5
    EXPECT_EQ(f.Pointer(), CPoint(5, c.y));
    EXPECT_EQ(Text(*f.dlg, IDC_CP_LOGICAL_X), "1050");
    f.Enter(IDC_CP_LOGICAL_Y, "380");
    EXPECT_EQ(f.Pointer(), CPoint(5, 12));
    f.Enter(IDC_CP_FILE_Y, "2");
    EXPECT_EQ(f.Pointer(), CPoint(5, 2));

    // Off the picture, not a number, not finite: a message, and the pointer stays.
    struct Refused {
        int id;
        const char* text;
    };
    const Refused refused[] = {{IDC_CP_FILE_X, "1000"},
                               {IDC_CP_FILE_Y, "-1"},
                               {IDC_CP_LOGICAL_X, "abc"},
                               {IDC_CP_LOGICAL_Y, "1e999"}};
    for (const Refused& r : refused) {
        SCOPED_TRACE(r.text);
        Responder().AnswerMessageBox(IDOK);
        f.Enter(r.id, r.text);
        PumpEvents();
        EXPECT_EQ(Responder().Unused(), 0u);
        EXPECT_EQ(f.Pointer(), CPoint(5, 2));
        EXPECT_EQ(f.dlg->m_nFileX, 5);
        EXPECT_EQ(f.dlg->m_nFileY, 2);
        f.dlg->SendMessage(WM_DLGMESSAGE, 27, 0);  // the pointer read again puts the edits back
    }

    // "Go to point" brings a pointer off the middle into the middle of the view.
    const CPoint target = c + CSize(100, 100);
    f.Enter(IDC_CP_FILE_X, Number(target.x));
    f.Enter(IDC_CP_FILE_Y, Number(target.y));
    CViewRect* view = f.viewer->GetViewRect();
    EXPECT_EQ(view->ScreenToImage(c), c);
    Click(*f.dlg, IDC_CP_GO_TO);
    PumpEvents();
    EXPECT_NEAR(view->ScreenToImage(c).x, target.x, 1);
    EXPECT_NEAR(view->ScreenToImage(c).y, target.y, 1);

    // "Move to center" puts it under the middle of the view again, and the close box.
    Click(*f.dlg, IDC_CP_CENTER);
    EXPECT_EQ(f.Pointer(), view->ScreenToImage(c));
    f.dlg->SendMessage(WM_CLOSE);
    PumpEvents();
    EXPECT_FALSE(f.dlg->IsWindowVisible());
    EXPECT_TRUE(::IsWindow(f.dlg->GetSafeHwnd()));
}

TEST(CoordPointerDlg, AFrameWithoutAPictureKeepsExtentsAndPointer)
{
    frame_test::NotifyWindow parent;
    ViewResultParam p;
    p.parent = &parent;
    p.fileName = "";
    CFrameViewer* viewer = ViewerCreate(&p);
    ASSERT_NE(viewer, nullptr);
    PumpEvents();
    CCoordPointerDlg* dlg = Dialog();
    ASSERT_NE(dlg, nullptr);
    dlg->ShowWindow(SW_SHOW);
    EXPECT_EQ(dlg->m_nImageWidth, 0);
    EXPECT_EQ(dlg->m_dStepX, 0.0);
    // Nothing to type onto or step over: no message, nothing moves.
    Type(*dlg, IDC_CP_FILE_X, "5");
    dlg->SendMessage(WM_COMMAND, MAKEWPARAM(IDC_CP_FILE_X, EN_KILLFOCUS), 0);
    static_cast<CSpinButtonCtrl*>(dlg->GetDlgItem(IDC_CP_SPIN_FILE_X))->ClickArrow(true);
    EXPECT_TRUE(Responder().Asked().empty());
    EXPECT_EQ(viewer->GetPointerPos(), CPoint(0, 0));
    viewer->DestroyWindow();
    PumpEvents();
}
