// Top-level windows under a window manager: wherever the program puts a captioned window,
// it appears with its whole frame, the caption included, on the screen's work area.

#include "platform/window/work_area.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/dialogs/dialog.h"
#include "platform/dialogs/dialog_template.h"
#include "tests/support/ui_helpers.h"
#include "tests/support/window_frames.h"

using tarvenix::test::FrameOnWorkArea;
using tarvenix::test::ScopedWindowManagerFrame;

namespace {

CRect Area()
{
    return platform::WorkAreaFor(CRect(0, 0, 1, 1));
}

CRect RectOf(CWnd& wnd)
{
    CRect r;
    wnd.GetWindowRect(&r);
    return r;
}

TEST(WorkArea, CaptionedWindowsAreShownWithTheirWholeFrameOnTheWorkArea)
{
    ScopedWindowManagerFrame frame(CRect(4, 24, 4, 4));
    const CRect area = Area();
    struct Case {
        const char* name;
        DWORD style;
        CRect rect;                     // as the program asks for it
        std::optional<CRect> expected;  // none: the cascade decides, the frame must fit
    };
    const int w = area.Width(), h = area.Height();
    const Case cases[] = {
        {"at the top-left corner", WS_OVERLAPPEDWINDOW, CRect(0, 0, 300, 200), CRect(4, 24, 304, 224)},
        {"at the default place", WS_OVERLAPPEDWINDOW, CRect(CW_USEDEFAULT, CW_USEDEFAULT, 300, 200),
         std::nullopt},
        {"above the screen", WS_CAPTION | WS_SYSMENU, CRect(50, -74, 350, 226), CRect(50, 24, 350, 324)},
        {"past the lower right", WS_OVERLAPPEDWINDOW, CRect(w - 100, h - 50, w + 200, h + 150),
         CRect(w - 304, h - 204, w - 4, h - 4)},
        {"larger than the screen, resizable", WS_OVERLAPPEDWINDOW, CRect(-10, -10, w + 50, h + 50),
         CRect(4, 24, w - 4, h - 4)},
        {"larger than the screen, fixed", WS_CAPTION, CRect(-10, -10, w + 50, h + 50),
         CRect(4, 24, w + 64, h + 84)},
        {"a captioned popup", WS_POPUP | WS_CAPTION, CRect(0, 0, 120, 80), CRect(4, 24, 124, 104)},
        {"a popup without a caption", WS_POPUP, CRect(0, 0, 120, 80), CRect(0, 0, 120, 80)},
        {"already on the screen", WS_OVERLAPPEDWINDOW, CRect(40, 60, 240, 160), CRect(40, 60, 240, 160)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CWnd wnd;
        const bool byDefault = c.rect.left == CW_USEDEFAULT;
        ASSERT_TRUE(wnd.CreateEx(0, nullptr, c.name, c.style, c.rect.left, c.rect.top,
                                 byDefault ? c.rect.right : c.rect.Width(),
                                 byDefault ? c.rect.bottom : c.rect.Height(), nullptr, nullptr));
        wnd.ShowWindow(SW_SHOW);
        if (c.expected) {
            EXPECT_EQ(RectOf(wnd), *c.expected);
        }
        if (tarvenix::test::HasOwnFrame(wnd) && RectOf(wnd).Width() <= w - 8) {
            EXPECT_TRUE(FrameOnWorkArea(wnd));
        }
        wnd.DestroyWindow();
    }
}

TEST(WorkArea, ADialogCentredOnASmallOwnerAtTheTopStaysOnTheWorkArea)
{
    ScopedWindowManagerFrame frame(CRect(4, 24, 4, 4));
    // The command window: wide, 131 pixels high, at the top of the screen.
    CWnd owner;
    ASSERT_TRUE(owner.CreateEx(0, nullptr, "command window", WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 100, 0,
                               500, 131, nullptr, nullptr));
    owner.ShowWindow(SW_SHOW);
    EXPECT_EQ(RectOf(owner).top, 24);

    static const platform::DialogTemplate kTall{900,
                                                "Preferences",
                                                WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME,
                                                0,
                                                "MS Shell Dlg",
                                                8,
                                                0,
                                                0,
                                                240,
                                                200,
                                                {}};
    CDialog dlg;
    ASSERT_TRUE(dlg.CreateIndirect(kTall, &owner));  // a template at (0, 0) is centred on its owner
    const CRect centred = RectOf(dlg);
    EXPECT_GE(centred.Height(), 131);
    EXPECT_EQ(centred.top, 24) << "centred on the owner it would start above the screen";
    EXPECT_EQ(centred.CenterPoint().x, RectOf(owner).CenterPoint().x) << "still centred across";
    dlg.ShowWindow(SW_SHOW);
    EXPECT_TRUE(FrameOnWorkArea(dlg));
    dlg.DestroyWindow();
    owner.DestroyWindow();
}

}  // namespace
