#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

#include "platform/window/nonclient.h"
#include "tests/support/modal_responder.h"
#include "tests/support/test_environment.h"
#include "tests/support/ui_helpers.h"
#include "tests/viewer/frame/frame_test_support.h"
#include "outside/basecore/thread_runner.h"
#include "outside/huebook/color_map.h"
#include "outside/huebook/standard_color_maps.h"
#include "viewer/analysis/pseudo_color.h"
#include "viewer/core/viewer_messages.h"
#include "viewer/core/virtual_view.h"
#include "viewer/analysis/scale_mark_wnd.h"
#include "viewer/frame/frame_viewer_ids.h"

using tarvenix::test::ClickCommand;
using tarvenix::test::GrabWholeWindow;
using tarvenix::test::GrabWindow;
using tarvenix::test::PumpEvents;
using tarvenix::test::PumpUntil;
using tarvenix::test::SaveTestOutput;
using tarvenix::test::TempDir;

namespace {

// The frame's scale: the visible popup it owns.
CScaleMarkWnd* ScaleOf(CWnd& frame)
{
    for (HWND h : platform::TopLevelZOrder()) {
        auto* scale = dynamic_cast<CScaleMarkWnd*>(CWnd::FromHandle(h));
        if (scale && scale->GetOwner() == &frame) return scale;
    }
    return nullptr;
}

// The frame with the scale drawn where it stands over it, as a user sees both.
QImage Composite(CWnd& frame, CScaleMarkWnd& scale)
{
    QImage picture = GrabWholeWindow(frame);
    CRect f, s;
    frame.GetWindowRect(&f);
    scale.GetWindowRect(&s);
    QPainter painter(&picture);
    painter.drawImage(int(s.left - f.left), int(s.top - f.top), GrabWindow(scale));
    return picture;
}

TEST(ScaleOverViewer, TheFramesScaleDocksToTheViewAndTurns)
{
    TempDir dir;
    const std::string file = dir.File("ramp.rdp");
    frame_test::MakeLayerFile(file, 120, 80);
    frame_test::NotifyWindow parent;
    CFrameViewer* frame = frame_test::OpenViewer(file, parent);
    ASSERT_NE(frame, nullptr);
    frame->MoveWindow(50, 50, 600, 420);
    ASSERT_TRUE(ClickCommand(*frame, ID_VIEWER_SCALE));
    PumpEvents();
    CScaleMarkWnd* scale = ScaleOf(*frame);
    ASSERT_NE(scale, nullptr);
    ASSERT_TRUE(scale->IsWindowVisible());
    // The palette dialog hands the viewer a colour map; the scale follows the viewer.
    CColorMap map;
    for (int i = 0; i < GetStandartColorMapCount(); ++i)
        if (GetStandartColorMap(i, &map) && map.GetName() == CString("Hot")) break;
    ASSERT_EQ(map.GetName(), CString("Hot"));
    CVirtualView* view = frame->GetViewRect()->GetActiveView();
    ASSERT_NE(view, nullptr);
    map.SetMinMax(view->GetDisplayMin(1), view->GetDisplayMax(1));
    frame->SendMessage(WM_DLGMESSAGE, 20, reinterpret_cast<LPARAM>(&map));
    PumpUntil([&] { return GetRunningThreadCount() == 0; });
    PumpEvents();
    scale->MoveWindow(0, 0, 220, 40);
    scale->Reposition();
    PumpEvents();
    PalitraTag viewer{};
    frame->GetPalitra(&viewer);
    const QImage bar = GrabWindow(*scale);
    const int y = scale->m_bar.CenterPoint().y;
    const QRgb low = bar.pixel(scale->m_bar.left, y), high = bar.pixel(scale->m_bar.right - 1, y);
    EXPECT_EQ(low & 0xFFFFFFu, qRgb(viewer.rgb[0][0], viewer.rgb[0][1], viewer.rgb[0][2]) & 0xFFFFFFu)
        << "the scale shows the viewer's palette";
    const int last = (scale->m_bar.Width() - 1) * 256 / scale->m_bar.Width();  // the stretch's entry
    EXPECT_EQ(high & 0xFFFFFFu,
              qRgb(viewer.rgb[last][0], viewer.rgb[last][1], viewer.rgb[last][2]) & 0xFFFFFFu);
    EXPECT_NE(low, high);
    SaveTestOutput(Composite(*frame, *scale), "scale_over_viewer_horizontal");
    scale->SendMessage(WM_COMMAND, ID_SCALE_VERTICAL, 0);
    PumpEvents();
    SaveTestOutput(Composite(*frame, *scale), "scale_over_viewer_vertical");
    EXPECT_EQ(scale->m_nAnchor, 9);
    // The new palette is a change of the file's: closing asks, and the user keeps the file.
    tarvenix::test::Responder().AnswerDialogCommand(IDNO);
    const HWND hwnd = frame->GetSafeHwnd();
    ::SendMessage(hwnd, frame_test::ControlMessage(), 1, 0);
    EXPECT_TRUE(PumpUntil([&] { return !::IsWindow(hwnd); }));
    PumpEvents();
}

}  // namespace
