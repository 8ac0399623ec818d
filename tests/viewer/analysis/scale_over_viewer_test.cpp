#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

#include "platform/window/nonclient.h"
#include "tests/support/test_environment.h"
#include "tests/support/ui_helpers.h"
#include "tests/viewer/core/frame_test_support.h"
#include "viewer/analysis/pseudo_color.h"
#include "viewer/analysis/scale_mark_wnd.h"
#include "viewer/core/frame_viewer_ids.h"

using tarvenix::test::ClickCommand;
using tarvenix::test::GrabWholeWindow;
using tarvenix::test::GrabWindow;
using tarvenix::test::PumpEvents;
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
    PalitraTag colours;
    CreatePseudoColorPalette(&colours, 0, 255, -1);
    scale->SetPalette(&colours);
    scale->MoveWindow(0, 0, 220, 40);
    scale->Reposition();
    SaveTestOutput(Composite(*frame, *scale), "scale_over_viewer_horizontal");
    scale->SendMessage(WM_COMMAND, ID_SCALE_VERTICAL, 0);
    PumpEvents();
    SaveTestOutput(Composite(*frame, *scale), "scale_over_viewer_vertical");
    CRect s, view;
    scale->GetWindowRect(&s);
    EXPECT_EQ(scale->m_nAnchor, 9);
    frame->DestroyWindow();
    PumpEvents();
}

}  // namespace
