#include <QImage>
#include <QPainter>

#include "app/app_resources.h"
#include "app/frame_viewer_seam.h"
#include "app/toolbars/toolbar_ids.h"
#include "outside/splash/splash.h"
#include "tests/app/app_fixture.h"
#include "tests/support/modal_responder.h"
#include "tests/support/recording_splash.h"
#include "tests/support/ui_helpers.h"
#include "viewer/frame/frame_viewer.h"
#include "viewer/core/raster_view.h"

using namespace apptest;
using tarvenix::test::PumpEvents;
using tarvenix::test::PumpUntil;
using tarvenix::test::RecordingSplash;

using namespace tarvenix::toolbars;

namespace {

CRect Desktop()
{
    CRect desktop;
    CWnd::GetDesktopWindow()->GetWindowRect(&desktop);
    return desktop;
}

TEST(CommandRowSizes, FollowTheScreensDotsPerInch)
{
    struct Case {
        int dpi;
        CommandRowSizes expected;
    };
    for (const Case& c : {Case{96, {103, 38, 74, 65}}, Case{144, {138, 42, 111, 81}}}) {
        SCOPED_TRACE(c.dpi);
        const CommandRowSizes s = ComputeCommandRowSizes(c.dpi, c.dpi);
        EXPECT_EQ(s.mainWidth, c.expected.mainWidth);
        EXPECT_EQ(s.mainHeight, c.expected.mainHeight);
        EXPECT_EQ(s.pageWidth, c.expected.pageWidth);
        EXPECT_EQ(s.pageHeight, c.expected.pageHeight);
    }
}

using CommandWindow = AppTest;

TEST_F(CommandWindow, StartsAtTheTopCentredWithTheViewersOfTheCommandLineInOrder)
{
    Start(R"(/opt/{v2}/Tarvenix {Open "/d/a.rdp"} {Open "/d/b.rdp"})");
    // The two files first, then the empty viewer of the start, all at the default place
    // since no splash window was told.
    EXPECT_EQ(OpenedFiles(), (std::vector<std::string>{"/d/a.rdp", "/d/b.rdp", ""}));
    for (StandInViewer* v : OpenedViewers()) EXPECT_FALSE(v->placed);

    CRect rect;
    Command().GetWindowRect(&rect);
    const CRect desktop = Desktop();
    // Placed at y = 0; the window manager keeps the frame's top edge on the screen.
    EXPECT_LE(rect.top, 2);
    EXPECT_LE(rect.Width(), desktop.Width());
    EXPECT_EQ(rect.left, (desktop.Width() - rect.Width()) / 2);
    EXPECT_EQ(rect.Height(), Command().GetFixedHeight());
    // Rows: the menu row, the MAIN row and the page row, 2 pixels apart.
    const CommandRowSizes& sizes = Command().GetRowSizes();
    EXPECT_EQ(rect.Height(),
              GetSystemMetrics(SM_CYMENU) + 2 + sizes.mainHeight + 2 + sizes.pageHeight + 2 + 2);
    CString title;
    Command().GetWindowText(title);
    EXPECT_EQ(title, CString("Tarvenix 2.0"));

    // The window manager's own placement counts as a drag until the window has been still.
    tarvenix::test::PumpUntil([] { return false; }, std::chrono::milliseconds(600));
    // Dragging the lower edge changes nothing; dragging the side changes the width only.
    tarvenix::test::DragWindow(Command(), HTBOTTOM, CSize(0, 60));
    CRect dragged;
    Command().GetWindowRect(&dragged);
    EXPECT_EQ(dragged.Height(), rect.Height());
    tarvenix::test::DragWindow(Command(), HTBOTTOMRIGHT, CSize(-40, 50));
    Command().GetWindowRect(&dragged);
    EXPECT_EQ(dragged.Height(), rect.Height());
    EXPECT_EQ(dragged.Width(), rect.Width() - 40);
}

TEST_F(CommandWindow, DisableViewKeepsTheEmptyViewerAwayAndCommandsOpenIt)
{
    Start(R"(Tarvenix {DisableView})");
    EXPECT_TRUE(OpenedFiles().empty());
    EXPECT_TRUE(tarvenix::test::ClickCommand(Command(), ID_FILE_OPEN_VIEWER, false));
    EXPECT_TRUE(tarvenix::test::ClickCommand(Command(), ID_TOOL_VIEW, false));
    EXPECT_EQ(OpenedFiles(), (std::vector<std::string>{"", ""}));
    // Enter does not close the window.
    Command().SendMessage(WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(Command().IsWindowVisible());
}

TEST_F(CommandWindow, SplashHearsBothTextsOnceAndViewersThenFillTheDesktopBelow)
{
    RecordingSplash splash;
    ASSERT_TRUE(splash.Make());
    Start(R"(Tarvenix {DisableView})");
    Command().RedrawWindow();
    Command().RedrawWindow();
    PumpEvents();
    ASSERT_EQ(splash.received.size(), 2u);
    EXPECT_EQ(splash.received[0].bytes, "Main Dialog Initializing...");
    EXPECT_EQ(splash.received[0].kind, 1u);
    EXPECT_EQ(splash.received[0].sender, nullptr);
    EXPECT_EQ(splash.received[1].bytes, "Main Dialog Initialized...");
    EXPECT_EQ(splash.received[1].kind, 0u);
    EXPECT_EQ(splash.received[1].sender, Command().GetSafeHwnd());
    EXPECT_EQ(Command().m_bInitialized, 1);

    Command().SendMessage(WM_COMMAND, ID_FILE_OPEN_VIEWER, 0);
    ASSERT_EQ(OpenedViewers().size(), 1u);
    CRect outer;
    Command().GetWindowRect(&outer);
    EXPECT_TRUE(OpenedViewers()[0]->placed);
    EXPECT_EQ(OpenedViewers()[0]->rect, CRect(outer.left, outer.bottom, outer.right, Desktop().bottom));
    splash.DestroyWindow();
}

TEST_F(CommandWindow, WithoutSplashEveryPaintLooksAgainAndViewersKeepTheirDefaultPlace)
{
    Start(R"(Tarvenix {DisableView})");
    Command().RedrawWindow();
    EXPECT_EQ(Command().m_bInitialized, 0);
    // A splash window that comes later is told at the next paint.
    RecordingSplash splash;
    ASSERT_TRUE(splash.Make());
    Command().SendMessage(WM_COMMAND, ID_FILE_OPEN_VIEWER, 0);
    EXPECT_FALSE(OpenedViewers().back()->placed);
    Command().RedrawWindow();
    ASSERT_EQ(splash.received.size(), 1u);
    EXPECT_EQ(splash.received[0].bytes, "Main Dialog Initialized...");
    splash.DestroyWindow();
}

TEST_F(CommandWindow, MinimiseAndRestoreReachEveryViewerAndEveryOtherWindow)
{
    Start(R"(Tarvenix {Open "a.rdp"} {Open "b.rdp"} {DisableView})");
    CountingWnd counter;
    ASSERT_TRUE(counter.CreateEx(0, nullptr, "counter", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr));

    Command().ShowWindow(SW_MINIMIZE);
    PumpEvents();
    for (StandInViewer* v : OpenedViewers()) EXPECT_EQ(v->codes, std::vector<int>{kViewerMinimize});
    EXPECT_EQ(counter.codes, std::vector<int>{kViewerMinimize});
    EXPECT_TRUE(Owner()->IsIconic());

    // The owner's task-bar entry brings the program back; the owner hides again.
    Owner()->ShowWindow(SW_RESTORE);
    PumpEvents();
    for (StandInViewer* v : OpenedViewers())
        EXPECT_EQ(v->codes, (std::vector<int>{kViewerMinimize, kViewerRestore}));
    EXPECT_EQ(counter.codes, (std::vector<int>{kViewerMinimize, kViewerRestore}));
    EXPECT_TRUE(Command().IsWindowVisible());
    EXPECT_FALSE(Command().IsIconic());
    EXPECT_FALSE(Owner()->IsWindowVisible());

    // A change of width is no restore: maximised viewers stay maximised.
    CRect rect;
    Command().GetWindowRect(&rect);
    Command().MoveWindow(rect.left, rect.top, rect.Width() - 30, rect.Height());
    EXPECT_EQ(counter.codes.size(), 2u);
    counter.DestroyWindow();
}

TEST_F(CommandWindow, TheOwnerFollowsTheCommandWindowAndStaysHidden)
{
    Start(R"(Tarvenix {DisableView})");
    CRect rect;
    Command().GetWindowRect(&rect);
    Command().MoveWindow(rect.left + 30, rect.top + 20, rect.Width(), rect.Height());
    CRect owner, client;
    Owner()->GetWindowRect(&owner);
    Command().GetClientRect(&client);
    Command().ClientToScreen(&client);
    const int h =
        2 * GetSystemMetrics(SM_CYBORDER) + GetSystemMetrics(SM_CYMENU) + GetSystemMetrics(SM_CYCAPTION);
    EXPECT_EQ(owner.TopLeft(), CPoint(client.left, client.top + rect.Height() - h));
    EXPECT_FALSE(Owner()->IsWindowVisible());
    CString title;
    Owner()->GetWindowText(title);
    EXPECT_EQ(title, CString("TARVENIX v2.0"));
}

TEST_F(CommandWindow, ScreenshotOfTheProgramWithAViewerBelow)
{
    RecordingSplash splash;
    ASSERT_TRUE(splash.Make());
    Start(R"(Tarvenix {DisableView})");
    Command().RedrawWindow();
    splash.DestroyWindow();
    // The viewer on the sample, as ./run.sh opens it, placed below the command window.
    const ViewerSeam fixtureSeam = SetViewerSeam(FrameViewerSeam());
    Command().OpenViewer(TARVENIX_SAMPLE_PATH);
    SetViewerSeam(fixtureSeam);
    CWnd* viewer = nullptr;
    ASSERT_TRUE(tarvenix::test::PumpUntil([&] {
        viewer = CWnd::FromHandle(FindWindow(nullptr, TARVENIX_SAMPLE_PATH));
        if (!viewer) return false;
        auto* shownView =
            dynamic_cast<CRasterView*>(static_cast<CFrameViewer*>(viewer)->GetViewRect()->GetActiveView());
        return shownView && !shownView->IsBusy() &&
               static_cast<CFrameViewer*>(viewer)->GetViewRect()->ImageWidth() > 0;
    }));
    PumpEvents();
    CRect command, shown;
    Command().GetWindowRect(&command);
    viewer->GetWindowRect(&shown);
    EXPECT_EQ(shown, CRect(command.left, command.bottom, command.right, Desktop().bottom));
    const CRect desktop = Desktop();
    QImage screen(desktop.Width(), desktop.Height(), QImage::Format_RGB32);
    screen.fill(QColor(40, 60, 90));
    {
        QPainter painter(&screen);
        painter.drawImage(shown.left, shown.top, tarvenix::test::GrabWholeWindow(*viewer));
        painter.drawImage(command.left, command.top, tarvenix::test::GrabWholeWindow(Command()));
    }
    EXPECT_FALSE(tarvenix::test::SaveTestOutput(screen, "main-program").empty());
    viewer->DestroyWindow();
}

}  // namespace

namespace {

TEST_F(CommandWindow, SelectorsSwitchPagesAndTheShownPageStaysAsItIs)
{
    Start(R"(Tarvenix {DisableView})");
    ASSERT_EQ(Command().GetCurrentPage(), 0);
    CToolBarWindow* files = Command().GetPageWindow(0);
    CToolBarWindow* analyse = Command().GetPageWindow(2);
    ASSERT_NE(files, nullptr);
    ASSERT_NE(analyse, nullptr);
    EXPECT_TRUE(files->IsWindowVisible());
    EXPECT_FALSE(analyse->IsWindowVisible());

    // A click on the ANALYSE selector of the MAIN row.
    CWnd* selector = Command().GetBand(1).GetContent()->GetButton(2);
    ASSERT_NE(selector, nullptr);
    CRect rect;
    selector->GetWindowRect(&rect);
    SetCursorPos(rect.CenterPoint().x, rect.CenterPoint().y);
    selector->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    selector->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    PumpEvents();
    EXPECT_EQ(Command().GetCurrentPage(), 2);
    EXPECT_TRUE(analyse->IsWindowVisible());
    EXPECT_FALSE(files->IsWindowVisible());
    EXPECT_EQ(Command().GetBand(2).GetContent(), analyse);
    EXPECT_FALSE(
        tarvenix::test::SaveTestOutput(tarvenix::test::GrabWholeWindow(Command()), "main-program-analyse")
            .empty());

    // The selector of the page shown leaves it where it was scrolled to.
    Command().GetBand(2).Scroll(IDC_PAGE_ARROW_RIGHT, 5);
    const int offset = analyse->GetOffset();
    Command().SendMessage(WM_COMMAND, ID_PAGE_ANALYSE, 0);
    EXPECT_EQ(analyse->GetOffset(), offset);
    Command().SendMessage(WM_COMMAND, ID_PAGE_UTIL, 0);
    EXPECT_EQ(Command().GetCurrentPage(), 3);
    Command().SendMessage(WM_COMMAND, ID_PAGE_MAIN, 0);  // MAIN selects nothing
    EXPECT_EQ(Command().GetCurrentPage(), 3);
}

TEST_F(CommandWindow, TheHotButtonGoesFlatOnceTheMouseHasLeftIt)
{
    Start(R"(Tarvenix {DisableView})");
    CWnd* first = Command().GetPageWindow(0)->GetButton(0);
    CWnd* second = Command().GetPageWindow(0)->GetButton(1);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    CRect rect;
    first->GetWindowRect(&rect);
    SetCursorPos(rect.CenterPoint().x, rect.CenterPoint().y);
    Command().SendMessage(WM_TAR_HOT, reinterpret_cast<WPARAM>(first->GetSafeHwnd()), 0);
    EXPECT_EQ(Command().GetHotChild(), first);
    // The cursor is still over it: the timer keeps it.
    Command().SendMessage(WM_TIMER, 1, 0);
    EXPECT_EQ(Command().GetHotChild(), first);
    // Another child reporting takes over.
    Command().SendMessage(WM_TAR_HOT, reinterpret_cast<WPARAM>(second->GetSafeHwnd()), 0);
    EXPECT_EQ(Command().GetHotChild(), second);
    // Out of the program's windows: the next tick of the timer lets it go.
    SetCursorPos(5, 590);
    Command().SendMessage(WM_TIMER, 1, 0);
    EXPECT_EQ(Command().GetHotChild(), nullptr);
}

TEST_F(CommandWindow, SystemMenuHelpAndIcon)
{
    Start(R"(Tarvenix {DisableView})");
    CMenu* system = Command().GetSystemMenu(FALSE);
    ASSERT_NE(system, nullptr);
    const UINT count = system->GetMenuItemCount();
    ASSERT_GE(count, 2u);
    EXPECT_EQ(system->GetMenuItemID(static_cast<int>(count) - 1), IDM_ABOUTBOX);
    CString text;
    system->GetMenuString(count - 1, text, MF_BYPOSITION);
    EXPECT_EQ(text, CString("&About Tarvenix..."));
    // The item opens the About box.
    tarvenix::test::Responder().AnswerDialogCommand(IDOK);
    Command().SendMessage(WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    ASSERT_EQ(tarvenix::test::Responder().Asked().size(), 1u);
    EXPECT_EQ(tarvenix::test::Responder().Asked()[0].caption, CString("About Tarvenix"));

    // F1 asks the help for its start page; with no help folder the user is told so.
    tarvenix::test::Responder().AnswerMessageBox(IDOK);
    HELPINFO info{};
    Command().SendMessage(WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
    ASSERT_EQ(tarvenix::test::Responder().Asked().size(), 2u);
    EXPECT_NE(tarvenix::test::Responder().Asked()[1].text.Find("default.htm"), -1);
    EXPECT_EQ(tarvenix::test::Responder().Asked()[1].owner, Command().GetSafeHwnd());

    EXPECT_NE(Command().GetIcon(TRUE), nullptr);
    EXPECT_EQ(reinterpret_cast<HICON>(Command().SendMessage(WM_QUERYDRAGICON)), Command().GetIcon(TRUE));
}

}  // namespace

namespace {

TEST_F(CommandWindow, TheMenuRowAndThePageButtonsReachTheirCommands)
{
    Start(R"(Tarvenix {DisableView})");
    // File / Open from the menu row: an empty viewer.
    CWnd* file = Command().GetBand(0).GetContent()->GetButton(0);
    ASSERT_NE(file, nullptr);
    tarvenix::test::Responder().AnswerPopupMenu(ID_FILE_OPEN_VIEWER);
    file->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    ASSERT_TRUE(PumpUntil([] { return OpenedViewers().size() == 1; }));
    EXPECT_EQ(OpenedFiles(), std::vector<std::string>{""});
    file->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(5, 5));

    // "View" on the FILES page: another one.
    CWnd* view = Command().GetPageWindow(0)->GetButton(0);
    ASSERT_NE(view, nullptr);
    CRect rect;
    view->GetWindowRect(&rect);
    SetCursorPos(rect.CenterPoint().x, rect.CenterPoint().y);
    view->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    view->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    ASSERT_TRUE(PumpUntil([] { return OpenedViewers().size() == 2; }));
}

}  // namespace
