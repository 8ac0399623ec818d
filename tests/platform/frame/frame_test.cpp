#include <array>
#include <filesystem>

#include <QMenuBar>
#include <QPainter>
#include <gtest/gtest.h>

#include "platform/app/win_app.h"
#include "platform/controls/image_list.h"
#include "platform/controls/progress_ctrl.h"
#include "platform/frame/frame_wnd.h"
#include "platform/frame/re_bar.h"
#include "platform/frame/status_bar.h"
#include "platform/frame/tool_bar.h"
#include "platform/resources/module_resources.h"
#include "tests/support/modal_responder.h"
#include "tests/support/ui_helpers.h"

using namespace tarvenix::test;

namespace {

constexpr UINT IDR_TEST_FRAME = 9100;
constexpr UINT IDR_TEST_TOOLBAR = 9101;
constexpr UINT IDB_TEST_TOOLBAR = 9102;
constexpr UINT ID_T_OPEN = 9110;
constexpr UINT ID_T_SAVE = 9111;
constexpr UINT ID_T_CLOSE = 9112;  // no handler: greyed by the automatic enabling
constexpr UINT ID_T_ZOOMIN = 9113;
constexpr UINT ID_T_ZOOMOUT = 9114;
constexpr UINT ID_T_GRID = 9115;     // checked by its update handler
constexpr UINT ID_T_MEASURE = 9116;  // disabled by its update handler
constexpr UINT ID_T_TOOLS = 9117;    // drop-down button
constexpr UINT ID_T_ABOUT = 9118;
constexpr UINT ID_T_PANE_A = 9120;
constexpr UINT ID_T_PANE_B = 9121;

const platform::MenuItemData kFrameMenu[] = {
    {0, "&File", MF_POPUP},
    {ID_T_OPEN, "&Open...\tCtrl+O", 0},
    {ID_T_SAVE, "&Save", 0},
    {0, nullptr, MF_SEPARATOR},
    {ID_T_CLOSE, "&Close", platform::kMenuEnd},
    {0, "&View", MF_POPUP},
    {ID_T_ZOOMIN, "Zoom &in", 0},
    {ID_T_ZOOMOUT, "Zoom &out", 0},
    {ID_T_GRID, "&Grid", 0},
    {ID_T_MEASURE, "&Measure", platform::kMenuEnd},
    {0, "&Help", MF_POPUP | platform::kMenuEnd},
    {ID_T_ABOUT, "&About...", platform::kMenuEnd},
};
const platform::MenuResource kMenus[] = {{IDR_TEST_FRAME, kFrameMenu}};

const UINT kToolButtons[] = {ID_T_OPEN,    ID_T_SAVE, ID_SEPARATOR, ID_T_ZOOMIN, ID_T_ZOOMOUT,
                             ID_SEPARATOR, ID_T_GRID, ID_T_MEASURE, ID_T_TOOLS};
const platform::ToolBarResource kToolBars[] = {{IDR_TEST_TOOLBAR, 16, 15, kToolButtons, IDB_TEST_TOOLBAR}};

/// Seven 16 x 15 pictures on a magenta key colour.
QImage DrawToolStrip()
{
    QImage strip(16 * 7, 15, QImage::Format_RGB32);
    strip.fill(QColor(255, 0, 255));
    QPainter p(&strip);
    p.setPen(Qt::black);
    // open: a yellow folder
    p.setBrush(QColor(240, 200, 40));
    p.drawRect(1, 4, 13, 9);
    p.drawRect(1, 2, 5, 2);
    // save: a blue disk
    p.setBrush(QColor(40, 60, 200));
    p.drawRect(16 + 1, 1, 13, 13);
    p.setBrush(Qt::white);
    p.drawRect(16 + 4, 2, 7, 4);
    // zoom in / out: a lens with + and -
    for (int k = 0; k < 2; ++k) {
        const int x = 32 + 16 * k;
        p.setBrush(QColor(200, 230, 255));
        p.drawEllipse(x + 1, 1, 9, 9);
        p.drawLine(x + 9, 9, x + 14, 14);
        p.drawLine(x + 3, 5, x + 8, 5);
        if (k == 0) p.drawLine(x + 5, 3, x + 5, 8);
    }
    // grid
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i <= 12; i += 4) {
        p.drawLine(64 + 2 + i, 1, 64 + 2 + i, 13);
        p.drawLine(64 + 2, 1 + i, 64 + 14, 1 + i);
    }
    // measure: a ruler
    p.setBrush(QColor(230, 180, 90));
    p.drawRect(80 + 1, 5, 14, 5);
    for (int i = 3; i < 15; i += 3) p.drawLine(80 + i, 5, 80 + i, 7);
    // tools: a red cross of tools
    p.setPen(QPen(QColor(180, 20, 20), 2));
    p.drawLine(96 + 2, 2, 96 + 13, 13);
    p.drawLine(96 + 13, 2, 96 + 2, 13);
    return strip;
}
const platform::ImageResource kBitmaps[] = {{IDB_TEST_TOOLBAR, "TEST_TOOLBAR", nullptr, &DrawToolStrip}};

const platform::StringEntry kStrings[] = {
    {IDR_TEST_FRAME, "Layer Viewer\nLayer"},
    {ID_T_OPEN, "Open a layer file\nOpen file"},
    {ID_T_SAVE, "Save the layer\nSave"},
    {ID_T_ZOOMIN, "Zoom in\nZoom in"},
    {ID_T_PANE_A, "XXXXXXXX"},
    {ID_T_PANE_B, "NUM"},
};

const platform::ModuleResources kResources{.module = "frame-tests",
                                           .strings = kStrings,
                                           .menus = kMenus,
                                           .toolBars = kToolBars,
                                           .bitmaps = kBitmaps};
const platform::ModuleResourceRegistration kRegistration(kResources);

/// A frame as the suite's frames are built: tool bar in a re-bar, status bar with four
/// panes and a progress bar on it, and a client pane.
class TestFrame : public CFrameWnd {
public:
    CToolBar m_toolBar;
    CReBar m_reBar;
    CStatusBar m_statusBar;
    CProgressCtrl m_progress;
    CWnd m_pane;
    int m_opened = 0;
    int m_zoomedIn = 0;
    int m_dropDowns = 0;
    bool m_grid = true;

    int OnCreate(LPCREATESTRUCT lpcs)
    {
        if (CFrameWnd::OnCreate(lpcs) == -1) return -1;
        if (!m_pane.CreateEx(0, nullptr, nullptr, WS_CHILD | WS_VISIBLE | WS_BORDER, CRect(0, 0, 0, 0), this,
                             AFX_IDW_PANE_FIRST))
            return -1;
        if (!m_toolBar.CreateEx(this, TBSTYLE_FLAT, WS_CHILD | WS_VISIBLE | CBRS_ALIGN_TOP) ||
            !m_toolBar.LoadToolBar(IDR_TEST_TOOLBAR))
            return -1;
        m_toolBar.SetButtonStyle(m_toolBar.CommandToIndex(ID_T_TOOLS), TBSTYLE_DROPDOWN);
        if (!m_reBar.Create(this) ||
            !m_reBar.AddBar(&m_toolBar, nullptr, nullptr, RBBS_GRIPPERALWAYS | RBBS_FIXEDBMP))
            return -1;
        if (!m_statusBar.Create(this)) return -1;
        const UINT indicators[] = {ID_SEPARATOR, ID_T_PANE_A, ID_T_PANE_B, ID_SEPARATOR};
        m_statusBar.SetIndicators(indicators, 4);
        m_toolBar.SetBarStyle(m_toolBar.GetBarStyle() | CBRS_TOOLTIPS | CBRS_FLYBY);
        if (!m_progress.Create(WS_CHILD, CRect(200, 3, 400, 15), &m_statusBar, 0)) return -1;
        RecalcLayout();
        return 0;
    }
    void OnOpen() { ++m_opened; }
    void OnSave() {}
    void OnZoomIn() { ++m_zoomedIn; }
    void OnZoomOut() {}
    void OnGrid() { m_grid = !m_grid; }
    void OnUpdateGrid(CCmdUI* ui) { ui->SetCheck(m_grid ? 1 : 0); }
    void OnMeasure() {}
    void OnUpdateMeasure(CCmdUI* ui) { ui->Enable(FALSE); }
    void OnAbout() {}
    void OnUpdateTools(CCmdUI* ui) { ui->Enable(TRUE); }
    void OnToolsDropDown(NMHDR* header, LRESULT* result)
    {
        if (reinterpret_cast<NMTOOLBAR*>(header)->iItem == static_cast<int>(ID_T_TOOLS)) ++m_dropDowns;
        *result = TBDDRET_DEFAULT;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(TestFrame, CFrameWnd)
    ON_WM_CREATE()
    ON_COMMAND(ID_T_OPEN, OnOpen)
    ON_COMMAND(ID_T_SAVE, OnSave)
    ON_COMMAND(ID_T_ZOOMIN, OnZoomIn)
    ON_COMMAND(ID_T_ZOOMOUT, OnZoomOut)
    ON_COMMAND(ID_T_GRID, OnGrid)
    ON_UPDATE_COMMAND_UI(ID_T_GRID, OnUpdateGrid)
    ON_COMMAND(ID_T_MEASURE, OnMeasure)
    ON_UPDATE_COMMAND_UI(ID_T_MEASURE, OnUpdateMeasure)
    ON_COMMAND(ID_T_ABOUT, OnAbout)
    ON_UPDATE_COMMAND_UI(ID_T_TOOLS, OnUpdateTools)
    ON_NOTIFY(TBN_DROPDOWN, AFX_IDW_TOOLBAR, OnToolsDropDown)
END_MESSAGE_MAP()

TestFrame* OpenFrame()
{
    auto* frame = new TestFrame;  // deletes itself with its window
    if (!frame->LoadFrame(IDR_TEST_FRAME)) {
        delete frame;
        return nullptr;
    }
    frame->MoveWindow(40, 40, 640, 400);
    frame->ShowWindow(SW_SHOW);
    PumpEvents();
    return frame;
}

}  // namespace

TEST(FrameWnd, LaysOutMenuReBarToolBarStatusBarAndPane)
{
    CWinApp app("Tarvenix");
    TestFrame* frame = OpenFrame();
    ASSERT_NE(frame, nullptr);
    const HWND hwnd = frame->GetSafeHwnd();

    CString title;
    frame->GetWindowText(title);
    EXPECT_EQ(title, "Layer Viewer");  // the text before "\n" of the frame's string
    ASSERT_NE(frame->GetMenuBarWidget(), nullptr);
    const int menuHeight = frame->GetMenuBarWidget()->height();
    EXPECT_EQ(menuHeight, GetSystemMetrics(SM_CYMENU));
    EXPECT_EQ(frame->GetMenu()->GetMenuItemCount(), 3u);

    CRect client, rebar, status, pane, bar;
    frame->GetClientRect(client);
    frame->m_reBar.GetWindowRect(rebar);
    frame->ScreenToClient(rebar);
    frame->m_statusBar.GetWindowRect(status);
    frame->ScreenToClient(status);
    frame->m_pane.GetWindowRect(pane);
    frame->ScreenToClient(pane);
    EXPECT_EQ(rebar.top, 0);  // the menu bar lies above the client area
    EXPECT_EQ(rebar.Width(), client.Width());
    EXPECT_EQ(status.bottom, client.bottom);
    EXPECT_EQ(status.Width(), client.Width());
    EXPECT_EQ(pane, CRect(0, rebar.bottom, client.right, status.top));
    EXPECT_EQ(frame->GetDlgItem(static_cast<int>(AFX_IDW_PANE_FIRST)), &frame->m_pane);
    frame->m_toolBar.GetWindowRect(bar);
    EXPECT_EQ(bar.Height(), 22 + 4);  // 16 x 15 images in 23 x 22 buttons
    EXPECT_EQ(frame->m_toolBar.GetCount(), 9);
    EXPECT_EQ(frame->m_toolBar.GetItemID(2), ID_SEPARATOR);

    // Hiding the re-bar gives its room to the pane; showing it takes it back.
    frame->ShowControlBar(&frame->m_reBar, FALSE, FALSE);
    frame->m_pane.GetWindowRect(pane);
    frame->ScreenToClient(pane);
    EXPECT_EQ(pane.top, 0);
    frame->ShowControlBar(&frame->m_reBar, TRUE, FALSE);
    frame->m_pane.GetWindowRect(pane);
    frame->ScreenToClient(pane);
    EXPECT_EQ(pane.top, rebar.bottom);

    // Four panes with right edges in pixels, the progress bar on the third.
    const int rights[] = {50, 150, 240, -1};
    ASSERT_TRUE(frame->m_statusBar.GetStatusBarCtrl().SetParts(4, rights));
    CRect item;
    frame->m_statusBar.GetItemRect(1, item);
    EXPECT_EQ(item.right, 150);
    frame->m_statusBar.GetItemRect(3, item);
    EXPECT_EQ(item.right, status.Width());
    frame->m_statusBar.SetPaneText(0, "Ready");
    frame->m_statusBar.SetPaneText(1, "x: 120");
    frame->m_statusBar.SetPaneText(2, "y: 87");
    EXPECT_EQ(frame->m_statusBar.GetPaneText(1), "x: 120");
    EXPECT_FALSE(frame->m_statusBar.SetPaneText(4, "no such pane"));
    frame->m_statusBar.GetItemRect(3, item);
    item.DeflateRect(2, 2);
    frame->m_progress.MoveWindow(item);
    frame->m_progress.SetRange(0, 100);
    frame->m_progress.SetPos(60);
    frame->m_progress.ShowWindow(SW_SHOW);

    // Resizing lays the bars out again.
    frame->MoveWindow(40, 40, 560, 380);
    frame->GetClientRect(client);
    frame->m_statusBar.GetWindowRect(status);
    frame->ScreenToClient(status);
    EXPECT_EQ(status.bottom, client.bottom);
    EXPECT_EQ(status.Width(), client.Width());

    // The idle pass sets the tool bar's buttons as the frame's handlers answer.
    app.OnIdle(0);
    CToolBarCtrl& buttons = frame->m_toolBar.GetToolBarCtrl();
    EXPECT_TRUE(buttons.IsButtonEnabled(ID_T_OPEN));
    EXPECT_TRUE(buttons.IsButtonChecked(ID_T_GRID));
    EXPECT_FALSE(buttons.IsButtonEnabled(ID_T_MEASURE));
    frame->m_statusBar.SetPaneText(0, "Open a layer file");

    // The picture for a person shows the whole window, its menu bar included; the checks
    // below work in client coordinates.
    EXPECT_FALSE(SaveTestOutput(GrabWholeWindow(*frame), "frame_window").empty());
    const QImage shot = GrabWindow(*frame);
    ASSERT_FALSE(shot.isNull());
    // The tool bar's open button (its yellow folder) and the progress blocks show.
    CRect open;
    frame->m_toolBar.GetItemRect(frame->m_toolBar.CommandToIndex(ID_T_OPEN), open);
    frame->m_toolBar.MapWindowPoints(frame, open);
    bool folderSeen = false;
    for (int y = open.top; y < open.bottom; ++y)
        for (int x = open.left; x < open.right; ++x)
            folderSeen |= shot.pixelColor(x, y) == QColor(240, 200, 40);
    EXPECT_TRUE(folderSeen);
    CRect progress;
    frame->m_progress.GetWindowRect(progress);
    frame->ScreenToClient(progress);
    // At 60 % the bar's start is filled and its end is not.
    const int barY = progress.CenterPoint().y;
    EXPECT_NE(shot.pixelColor(progress.left + 5, barY), shot.pixelColor(progress.right - 5, barY));

    frame->DestroyWindow();
    EXPECT_FALSE(IsWindow(hwnd));
}

TEST(FrameWnd, MenuItemsAndToolBarButtonsSendCommandsAsTheUpdatePassAllows)
{
    CWinApp app("Tarvenix");
    TestFrame* frame = OpenFrame();
    ASSERT_NE(frame, nullptr);

    // Opening a popup runs the update pass for its items.
    EXPECT_TRUE(ClickMenuItem(*frame, ID_T_OPEN));
    EXPECT_TRUE(PumpUntil([&] { return frame->m_opened == 1; }));
    CMenu* menu = frame->GetMenu();
    EXPECT_EQ(menu->GetMenuState(ID_T_CLOSE, MF_BYCOMMAND) & MF_GRAYED, MF_GRAYED);  // no handler
    EXPECT_EQ(menu->GetMenuState(ID_T_SAVE, MF_BYCOMMAND) & MF_GRAYED, 0u);
    EXPECT_FALSE(ClickMenuItem(*frame, ID_T_CLOSE));

    EXPECT_FALSE(ClickMenuItem(*frame, ID_T_MEASURE));  // its handler disables it
    EXPECT_EQ(menu->GetMenuState(ID_T_MEASURE, MF_BYCOMMAND) & MF_GRAYED, MF_GRAYED);
    EXPECT_EQ(menu->GetMenuState(ID_T_GRID, MF_BYCOMMAND) & MF_CHECKED, MF_CHECKED);
    EXPECT_TRUE(ClickMenuItem(*frame, ID_T_GRID));
    EXPECT_TRUE(PumpUntil([&] { return !frame->m_grid; }));
    frame->SendMessage(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu->GetSubMenu(1)->m_hMenu), 1);
    EXPECT_EQ(menu->GetMenuState(ID_T_GRID, MF_BYCOMMAND) & MF_CHECKED, 0u);

    // Tool-bar buttons: a click sends the command; a disabled button ignores it.
    app.OnIdle(0);
    EXPECT_TRUE(ClickToolBarButton(frame->m_toolBar, ID_T_ZOOMIN));
    EXPECT_EQ(frame->m_zoomedIn, 1);
    EXPECT_TRUE(ClickToolBarButton(frame->m_toolBar, ID_T_OPEN));
    EXPECT_EQ(frame->m_opened, 2);
    EXPECT_TRUE(ClickToolBarButton(frame->m_toolBar, ID_T_MEASURE));
    EXPECT_TRUE(ClickToolBarButton(frame->m_toolBar, ID_T_TOOLS));
    EXPECT_EQ(frame->m_dropDowns, 1);  // a drop-down button notifies instead of commanding
    EXPECT_FALSE(frame->m_toolBar.GetToolBarCtrl().IsButtonPressed(ID_T_TOOLS));

    // A hidden button takes no room and no click.
    CRect before, after;
    frame->m_toolBar.GetItemRect(frame->m_toolBar.CommandToIndex(ID_T_ZOOMOUT), before);
    frame->m_toolBar.GetToolBarCtrl().HideButton(ID_T_SAVE);
    frame->m_toolBar.GetItemRect(frame->m_toolBar.CommandToIndex(ID_T_ZOOMOUT), after);
    EXPECT_EQ(after.left, before.left - 23);
    EXPECT_FALSE(ClickToolBarButton(frame->m_toolBar, ID_T_SAVE));
    UINT id = 0, style = 0;
    int image = 0;
    frame->m_toolBar.GetButtonInfo(frame->m_toolBar.CommandToIndex(ID_T_SAVE), id, style, image);
    EXPECT_EQ(id, ID_T_SAVE);
    EXPECT_EQ(style & TBBS_HIDDEN, TBBS_HIDDEN);
    EXPECT_EQ(image, 1);

    // Tool tips: the text after "\n" of the command's string.
    CRect open;
    frame->m_toolBar.GetItemRect(frame->m_toolBar.CommandToIndex(ID_T_OPEN), open);
    EXPECT_EQ(frame->m_toolBar.ToolTipAt(open.CenterPoint()), "Open file");
    frame->m_toolBar.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(open.CenterPoint().x, open.CenterPoint().y));
    EXPECT_EQ(frame->m_toolBar.GetWidget()->toolTip().toStdString(), "Open file");

    // Without automatic enabling, a command without a handler keeps its state.
    frame->m_bAutoMenuEnable = FALSE;
    menu->EnableMenuItem(ID_T_CLOSE, MF_BYCOMMAND | MF_ENABLED);
    menu->EnableMenuItem(ID_T_SAVE, MF_BYCOMMAND | MF_GRAYED);
    frame->SendMessage(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu->GetSubMenu(0)->m_hMenu), 0);
    EXPECT_EQ(menu->GetMenuState(ID_T_CLOSE, MF_BYCOMMAND) & MF_GRAYED, 0u);
    EXPECT_EQ(menu->GetMenuState(ID_T_SAVE, MF_BYCOMMAND) & MF_GRAYED, MF_GRAYED);
    EXPECT_FALSE(ClickMenuItem(*frame, ID_T_SAVE));
    frame->DestroyWindow();
}

/// Seven 22 x 22 pictures: a square of `colour` on a magenta mask colour.
QImage SquareStrip(QColor colour)
{
    QImage strip(22 * 7, 22, QImage::Format_RGB32);
    strip.fill(QColor(255, 0, 255));
    QPainter p(&strip);
    for (int i = 0; i < 7; ++i) p.fillRect(22 * i + 6, 6, 10, 10, colour);
    return strip;
}

TEST(ToolBar, DrawsButtonsFromImageListsWithMaskHotAndDisabledImages)
{
    CWinApp app("Tarvenix");
    TestFrame* frame = OpenFrame();
    ASSERT_NE(frame, nullptr);
    CToolBarCtrl& ctrl = frame->m_toolBar.GetToolBarCtrl();
    CImageList* loaded = ctrl.GetImageList();
    ASSERT_NE(loaded, nullptr);  // LoadToolBar's strip
    EXPECT_EQ(loaded->GetImageCount(), 7);

    CImageList normal, hot;
    ASSERT_TRUE(normal.Create(22, 22, ILC_COLOR32 | ILC_MASK, 7, 0));
    ASSERT_TRUE(hot.Create(22, 22, ILC_COLOR32 | ILC_MASK, 7, 0));
    const QColor blue(30, 60, 220), green(20, 180, 40), magenta(255, 0, 255);
    ASSERT_EQ(normal.Add(SquareStrip(blue), RGB(255, 0, 255)), 0);
    ASSERT_EQ(hot.Add(SquareStrip(green), RGB(255, 0, 255)), 0);
    EXPECT_EQ(ctrl.SetImageList(&normal), loaded);
    EXPECT_EQ(ctrl.SetHotImageList(&hot), nullptr);
    EXPECT_EQ(ctrl.GetImageList(), &normal);
    EXPECT_EQ(ctrl.GetHotImageList(), &hot);
    frame->RecalcLayout();
    app.OnIdle(0);  // the measure button is disabled by its handler

    CRect open, measure;
    frame->m_toolBar.GetItemRect(frame->m_toolBar.CommandToIndex(ID_T_OPEN), open);
    frame->m_toolBar.GetItemRect(frame->m_toolBar.CommandToIndex(ID_T_MEASURE), measure);
    EXPECT_EQ(open.Height(), 22 + 7);  // the buttons grew to hold the images
    const auto seen = [&](const QImage& shot, CRect r, QColor colour) {
        frame->m_toolBar.MapWindowPoints(frame, r);
        int count = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) count += shot.pixelColor(x, y) == colour;
        return count;
    };
    QImage shot = GrabWindow(*frame);
    ASSERT_FALSE(shot.isNull());
    EXPECT_EQ(seen(shot, open, blue), 100);   // the whole square shows
    EXPECT_EQ(seen(shot, open, magenta), 0);  // the mask colour is transparent
    EXPECT_EQ(seen(shot, measure, blue), 0);  // greyed
    EXPECT_GT(seen(shot, measure,
                   QColor(GetRValue(GetSysColor(COLOR_BTNSHADOW)), GetGValue(GetSysColor(COLOR_BTNSHADOW)),
                          GetBValue(GetSysColor(COLOR_BTNSHADOW)))),
              0);

    // The mouse over a button of a flat bar shows its hot image.
    frame->m_toolBar.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(open.CenterPoint().x, open.CenterPoint().y));
    shot = GrabWindow(*frame);
    EXPECT_EQ(seen(shot, open, green), 100);
    EXPECT_EQ(seen(shot, open, blue), 0);

    // Without a list the buttons are blank; the bar's own list comes back when set again.
    EXPECT_EQ(ctrl.SetImageList(nullptr), &normal);
    ctrl.SetHotImageList(nullptr);
    shot = GrabWindow(*frame);
    EXPECT_EQ(seen(shot, open, green) + seen(shot, open, blue), 0);
    ctrl.SetImageList(loaded);
    shot = GrabWindow(*frame);
    EXPECT_GT(seen(shot, open, QColor(240, 200, 40)), 0);  // the resource strip's yellow folder
    frame->DestroyWindow();
}

TEST(FrameWnd, MenuBarCanBeReplacedAndTitleCarriesTheDocument)
{
    CWinApp app("Tarvenix");
    TestFrame* frame = OpenFrame();
    ASSERT_NE(frame, nullptr);
    CMenu other;
    ASSERT_TRUE(other.CreateMenu());
    CMenu popup;
    ASSERT_TRUE(popup.CreatePopupMenu());
    popup.AppendMenu(MF_STRING, ID_T_ABOUT, "&About...");
    ASSERT_TRUE(other.AppendMenu(MF_POPUP, reinterpret_cast<UINT_PTR>(popup.Detach()), "&Help"));
    ASSERT_TRUE(frame->SetMenu(&other));
    EXPECT_EQ(frame->GetMenu(), &other);
    ASSERT_EQ(frame->GetMenuBarWidget()->actions().size(), 1);
    EXPECT_EQ(frame->GetMenuBarWidget()->actions()[0]->text().toStdString(), "&Help");
    EXPECT_FALSE(ClickMenuItem(*frame, ID_T_OPEN));

    other.AppendMenu(MF_STRING, ID_T_OPEN, "&Open");
    frame->DrawMenuBar();
    EXPECT_EQ(frame->GetMenuBarWidget()->actions().size(), 2);
    EXPECT_TRUE(ClickMenuItem(*frame, ID_T_OPEN));
    EXPECT_TRUE(PumpUntil([&] { return frame->m_opened == 1; }));

    frame->UpdateFrameTitleForDocument("scene.rdp");
    CString title;
    frame->GetWindowText(title);
    EXPECT_EQ(title, "Layer Viewer - scene.rdp");
    // A title the program sets stays through the idle pass.
    frame->SetWindowText("scan.rdp - Phase");
    app.OnIdle(0);
    frame->GetWindowText(title);
    EXPECT_EQ(title, "scan.rdp - Phase");
    frame->SetTitle("Viewer: no file");
    frame->OnUpdateFrameTitle(TRUE);
    frame->GetWindowText(title);
    EXPECT_EQ(title, "Viewer: no file");
    frame->SetMenu(nullptr);
    EXPECT_TRUE(frame->GetMenuBarWidget()->isHidden());
    frame->DestroyWindow();
}

TEST(StatusBar, PanesByWidthStretchTheFirstAndKeepTheirTexts)
{
    CWinApp app("Tarvenix");
    CWnd parent;
    ASSERT_TRUE(
        parent.CreateEx(0, nullptr, "Parent", WS_OVERLAPPEDWINDOW, CRect(0, 0, 400, 200), nullptr, 0));
    CStatusBar bar;
    ASSERT_TRUE(bar.Create(&parent));
    const UINT ids[] = {ID_SEPARATOR, ID_T_PANE_B, 7777};  // 7777 has no string
    EXPECT_FALSE(bar.SetIndicators(ids, 3));
    EXPECT_EQ(bar.GetPaneText(1), "NUM");
    bar.MoveWindow(0, 0, 400, 22);
    bar.SetPaneInfo(1, ID_T_PANE_B, SBPS_NORMAL, 60);
    bar.SetPaneInfo(2, 7777, SBPS_NORMAL, 80);
    CRect r0, r1, r2;
    bar.GetItemRect(0, r0);
    bar.GetItemRect(1, r1);
    bar.GetItemRect(2, r2);
    EXPECT_EQ(r2.Width(), 80);
    EXPECT_EQ(r1.Width(), 60);
    EXPECT_EQ(r0.left, 0);
    EXPECT_EQ(r2.right, 400);
    EXPECT_EQ(bar.CommandToIndex(7777), 2);
    UINT id = 0, style = 0;
    int width = 0;
    bar.GetPaneInfo(1, id, style, width);
    EXPECT_EQ(id, ID_T_PANE_B);
    EXPECT_EQ(width, 60);
}
