// The viewer frame driven as a user drives it: commands, the control message, the messages
// of its dialogs, and what the user sees (title, menus, tool bar, status bar).

#include <cmath>
#include <complex>
#include <set>
#include <string>
#include <vector>

#include <QMenu>
#include <QMenuBar>
#include <QWidget>
#include <gtest/gtest.h>

#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/settings.h"
#include "outside/huebook/color_map.h"
#include "platform/registry/registry.h"
#include "tests/support/modal_responder.h"
#include "tests/support/test_environment.h"
#include "tests/support/ui_helpers.h"
#include "viewer/analysis/value_grid_pane.h"
#include "viewer/core/fault_names.h"
#include "viewer/frame/frame_viewer.h"

using tarvenix::test::PumpEvents;
using tarvenix::test::PumpUntil;
using tarvenix::test::Responder;
using tarvenix::test::TempDir;

namespace {

constexpr UINT kAllCommands[] = {
    ID_VIEWER_NEW,
    ID_VIEWER_OPEN,
    ID_VIEWER_OPEN_RGB,
    ID_VIEWER_CLOSE,
    ID_VIEWER_FILE_PROPERTIES,
    ID_VIEWER_SAVE,
    ID_VIEWER_SAVE_AS,
    ID_VIEWER_EXPORT_BMP,
    ID_VIEWER_CENTER,
    ID_VIEWER_CENTER_MENU,
    ID_VIEWER_ZOOM_IN,
    ID_VIEWER_INCREASE,
    ID_VIEWER_ZOOM_IN_NOW,
    ID_VIEWER_ZOOM_OUT,
    ID_VIEWER_DECREASE,
    ID_VIEWER_ZOOM_OUT_NOW,
    ID_VIEWER_FIT_BUTTON,
    ID_VIEWER_FIT_WINDOW,
    ID_VIEWER_FIT_CONTEXT,
    ID_VIEWER_REAL_SCALE,
    ID_VIEWER_REAL_SIZE,
    ID_VIEWER_SCALE_1_1,
    ID_VIEWER_HISTOGRAM_BUTTON,
    ID_VIEWER_HISTOGRAM,
    ID_VIEWER_PROFILE_X,
    ID_VIEWER_PROFILE_X_MENU,
    ID_VIEWER_PROFILE_Y,
    ID_VIEWER_PROFILE_Y_MENU,
    ID_VIEWER_BRIGHTNESS_BUTTON,
    ID_VIEWER_BRIGHT_CONTRAST,
    ID_VIEWER_POINTER,
    ID_VIEWER_POINTER_DLG,
    ID_VIEWER_DATA_INFO_BUTTON,
    ID_VIEWER_DATA_INFO,
    ID_VIEWER_SHOW_PALETTE,
    ID_VIEWER_PALETTE,
    ID_VIEWER_SCALE_PALETTE,
    ID_VIEWER_SHOW_TABLE,
    ID_VIEWER_SHOW_IMAGE,
    ID_VIEWER_LOGICAL_COORDS,
    ID_VIEWER_SCALE,
    ID_VIEWER_SCALE_HIDE,
    ID_VIEWER_HIST_TRIMMING,
    ID_VIEWER_FREEHAND_SELECTION,
    ID_VIEWER_POLYGON_SELECTION,
    ID_VIEWER_RECT_SELECTION,
    ID_VIEWER_MOVE_SELECTION,
    ID_VIEWER_COMPLEX_FULL,
    ID_VIEWER_COMPLEX_REAL,
    ID_VIEWER_COMPLEX_IMAGINARY,
    ID_VIEWER_COMPLEX_MODULE,
    ID_VIEWER_COMPLEX_ARGUMENT,
    ID_VIEWER_MEASURE,
    ID_VIEWER_SAVE_REGION,
    ID_VIEWER_REGION_STATISTICS,
    ID_VIEWER_REGION_PROPERTIES,
    ID_VIEWER_COPY,
    ID_VIEWER_FIND,
    ID_VIEWER_PASTE,
    ID_VIEWER_COPY_WITH_GRID,
    ID_VIEWER_REPLACE,
    ID_VIEWER_COLORING,
    ID_VIEWER_HELP_CONTENTS,
};

void ClearRecentFiles()
{
    ::RegDeleteKey(HKEY_CURRENT_USER, GetAppSubKey("\\Settings\\Viewer\\MRUOpenFiles"));
}

/// A viewer as the main program opens it, destroyed at the end of the test when it is still open.
class Viewer {
public:
    explicit Viewer(const char* file = "", int component = 0)
    {
        frame = new CFrameViewer;
        const CRect rect(40, 40, 760, 560);
        created = frame->Create(file, nullptr, 0, component, 0.0, 0.0, 0, &rect);
        hwnd = created ? frame->GetSafeHwnd() : nullptr;
    }
    ~Viewer()
    {
        if (Alive()) frame->CFrameWnd::DestroyWindow();
        PumpEvents();
    }
    Viewer(const Viewer&) = delete;
    Viewer& operator=(const Viewer&) = delete;

    bool Alive() const { return hwnd && ::IsWindow(hwnd); }
    CString Title() const
    {
        CString text;
        frame->GetWindowText(text);
        return text;
    }
    platform::CommandState State(UINT id) const { return platform::QueryCommandState(frame, id, false); }

    CFrameViewer* frame = nullptr;
    int created = 0;
    HWND hwnd = nullptr;
};

/// Every command id of a menu, popups included, and the number of separators.
void CollectItems(CMenu* menu, std::multiset<UINT>& ids, int& separators)
{
    for (UINT i = 0; i < menu->GetMenuItemCount(); ++i) {
        if (CMenu* popup = menu->GetSubMenu(static_cast<int>(i))) {
            CollectItems(popup, ids, separators);
            continue;
        }
        const UINT id = menu->GetMenuItemID(static_cast<int>(i));
        if (id == 0)
            ++separators;
        else
            ids.insert(id);
    }
}

/// The texts of the File menu's items from position `from` on.
std::vector<std::string> FileMenuTexts(CFrameViewer& frame, UINT from = 0)
{
    std::vector<std::string> texts;
    CMenu* file = frame.GetMenu()->GetSubMenu(0);
    for (UINT i = from; i < file->GetMenuItemCount(); ++i) {
        CString text;
        file->GetMenuString(i, text, MF_BYPOSITION);
        texts.push_back(file->GetMenuItemID(static_cast<int>(i)) == 0 ? std::string("-") : std::string(text));
    }
    return texts;
}

/// A complex 32 x 24 layer file with a phase ramp.
void WriteComplexLayer(const std::string& path)
{
    CRDPLayer out;
    void** rows = out.CreateLayer(path.c_str(), 32, 24, 9);
    ASSERT_NE(rows, nullptr);
    for (int y = 0; y < 24; ++y) {
        auto* row = static_cast<std::complex<float>*>(rows[y]);
        for (int x = 0; x < 32; ++x) row[x] = std::polar(1.0f + y, 0.2f * x);
    }
    ASSERT_TRUE(out.CloseLayer());
}

/// A real layer (F32) with a pattern a person can recognise: a ramp, a checkerboard and a
/// bright ring.
void WriteRealLayer(const std::string& path, int width = 200, int height = 150)
{
    CRDPLayer out;
    ASSERT_NE(out.CreateLayer(path.c_str(), width, height, 7), nullptr);
    std::vector<double> row(static_cast<std::size_t>(width));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double dx = x - width / 2.0, dy = y - height / 2.0;
            const double ring = std::abs(std::sqrt(dx * dx + dy * dy) - height / 3.0) < 6.0 ? 200.0 : 0.0;
            row[std::size_t(x)] = (x + y) % 128 + ((x / 25 + y / 25) % 2) * 60 + ring;
        }
        ASSERT_TRUE(out.SetLineFromDouble(y, row.data(), width));
    }
    ASSERT_TRUE(out.CloseLayer());
}

/// Saves what the user sees of the viewer, its bars refreshed as the idle pass does.
void SaveScreenshot(Viewer& viewer, const std::string& name)
{
    viewer.frame->SendMessageToDescendants(WM_IDLEUPDATECMDUI, TRUE, 0, TRUE);
    PumpEvents();
    EXPECT_FALSE(
        tarvenix::test::SaveTestOutput(tarvenix::test::GrabWholeWindow(*viewer.frame), name).empty());
}

::testing::AssertionResult WaitForTitle(Viewer& viewer, const CString& title)
{
    if (PumpUntil([&] { return viewer.Title() == title; })) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the title is \"" << viewer.Title() << "\"";
}

/// A viewer whose window creation fails at a chosen step; it tells when it is deleted.
class FailingViewer : public CFrameViewer {
public:
    enum class Fail { BeforeTheWindow, InOnCreate };
    FailingViewer(Fail fail, int& deletions) : m_fail(fail), m_deletions(deletions) {}
    ~FailingViewer() override { ++m_deletions; }
    BOOL PreCreateWindow(CREATESTRUCT& cs) override
    {
        return m_fail == Fail::BeforeTheWindow ? FALSE : CFrameViewer::PreCreateWindow(cs);
    }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_CREATE && m_fail == Fail::InOnCreate) return -1;
        return CFrameViewer::WindowProc(message, wParam, lParam);
    }

private:
    Fail m_fail;
    int& m_deletions;
};

class FrameViewerTest : public ::testing::Test {
protected:
    void SetUp() override { ClearRecentFiles(); }
    void TearDown() override { ClearRecentFiles(); }
};

}  // namespace

TEST_F(FrameViewerTest, AnEmptyViewerOffersOnlyNewOpenAndOpenRgb)
{
    Viewer viewer;
    ASSERT_EQ(viewer.created, 1);
    EXPECT_EQ(viewer.Title(), "Viewer: no file");
    EXPECT_EQ(viewer.frame->GetMenuFlags(), kMenuNewOpen | kMenuOpenRgb);

    // Commands that do not depend on what is shown keep their own rule.
    const std::set<UINT> enabled = {ID_VIEWER_NEW,           ID_VIEWER_OPEN,          ID_VIEWER_OPEN_RGB,
                                    ID_VIEWER_COPY,          ID_VIEWER_FIND,          ID_VIEWER_COLORING,
                                    ID_VIEWER_HELP_CONTENTS, ID_VIEWER_COPY_WITH_GRID};
    for (UINT id : kAllCommands) {
        SCOPED_TRACE(id);
        const platform::CommandState state = viewer.State(id);
        EXPECT_EQ(state.enabled, enabled.count(id) == 1);
        EXPECT_EQ(state.checked, id == ID_VIEWER_SHOW_IMAGE ? 1 : 0);
    }
    // The menu bar is the image menu, with the items greyed that its flags stand for.
    CMenu* menu = viewer.frame->GetMenu();
    EXPECT_EQ(menu->GetMenuState(ID_VIEWER_INCREASE, MF_BYCOMMAND) & MF_GRAYED, MF_GRAYED);
    EXPECT_EQ(menu->GetMenuState(ID_VIEWER_COLORING, MF_BYCOMMAND), static_cast<UINT>(-1));
    // Every popup shows in the menu bar, whatever its number of items.
    QMenuBar* bar =
        viewer.frame->GetWidget()->window()->findChild<QMenuBar*>(QString(), Qt::FindDirectChildrenOnly);
    ASSERT_NE(bar, nullptr);
    QStringList titles;
    for (QAction* action : bar->actions()) titles << action->text();
    EXPECT_EQ(titles.join(' ').toStdString(), "&File &Edit &View &Zoom &Image &Data &Region &Analysis &Help");
    SaveScreenshot(viewer, "frame_viewer_empty");
    CToolBarCtrl& buttons = viewer.frame->GetToolBar()->GetToolBarCtrl();
    EXPECT_TRUE(buttons.IsButtonEnabled(static_cast<int>(ID_VIEWER_OPEN)));
    EXPECT_FALSE(buttons.IsButtonEnabled(static_cast<int>(ID_VIEWER_SAVE)));
    EXPECT_FALSE(buttons.IsButtonEnabled(static_cast<int>(ID_VIEWER_ZOOM_IN)));
}

TEST_F(FrameViewerTest, EveryCommandFollowsItsMenuFlagBit)
{
    Viewer viewer;
    ASSERT_EQ(viewer.created, 1);
    struct Case {
        UINT bit;
        std::vector<UINT> ids;
    };
    const Case cases[] = {
        {kMenuNewOpen, {ID_VIEWER_NEW, ID_VIEWER_OPEN}},
        {kMenuOpenRgb, {ID_VIEWER_OPEN_RGB}},
        {kMenuImage, {ID_VIEWER_CLOSE, ID_VIEWER_FILE_PROPERTIES, ID_VIEWER_EXPORT_BMP}},
        {kMenuCenter, {ID_VIEWER_CENTER, ID_VIEWER_CENTER_MENU}},
        {kMenuIncrease, {ID_VIEWER_ZOOM_IN, ID_VIEWER_INCREASE, ID_VIEWER_ZOOM_IN_NOW}},
        {kMenuDecrease, {ID_VIEWER_ZOOM_OUT, ID_VIEWER_DECREASE, ID_VIEWER_ZOOM_OUT_NOW}},
        {kMenuFit, {ID_VIEWER_FIT_BUTTON, ID_VIEWER_FIT_WINDOW, ID_VIEWER_FIT_CONTEXT}},
        {kMenuRealSize, {ID_VIEWER_REAL_SCALE, ID_VIEWER_REAL_SIZE, ID_VIEWER_SCALE_1_1}},
        {kMenuHistogram, {ID_VIEWER_HISTOGRAM_BUTTON, ID_VIEWER_HISTOGRAM}},
        {kMenuProfileX, {ID_VIEWER_PROFILE_X, ID_VIEWER_PROFILE_X_MENU}},
        {kMenuProfileY, {ID_VIEWER_PROFILE_Y, ID_VIEWER_PROFILE_Y_MENU}},
        {kMenuBrightContrast, {ID_VIEWER_BRIGHTNESS_BUTTON, ID_VIEWER_BRIGHT_CONTRAST}},
        {kMenuPointer, {ID_VIEWER_POINTER, ID_VIEWER_POINTER_DLG}},
        {kMenuDataInfo, {ID_VIEWER_DATA_INFO_BUTTON, ID_VIEWER_DATA_INFO}},
        {kMenuPalette, {ID_VIEWER_SHOW_TABLE, ID_VIEWER_SHOW_IMAGE}},
        {kMenuSaveAs, {ID_VIEWER_SAVE_AS}},
        {kMenuLogicalCoords, {ID_VIEWER_LOGICAL_COORDS}},
        {kMenuColorScale, {ID_VIEWER_SCALE}},
        {kMenuHistTrimming, {ID_VIEWER_HIST_TRIMMING}},
        {kMenuFreehand, {ID_VIEWER_FREEHAND_SELECTION}},
        {kMenuRectSelection, {ID_VIEWER_POLYGON_SELECTION, ID_VIEWER_RECT_SELECTION}},
        {kMenuMoveSelection, {ID_VIEWER_MOVE_SELECTION}},
        {kMenuComplex,
         {ID_VIEWER_COMPLEX_FULL, ID_VIEWER_COMPLEX_REAL, ID_VIEWER_COMPLEX_IMAGINARY,
          ID_VIEWER_COMPLEX_MODULE, ID_VIEWER_COMPLEX_ARGUMENT}},
        {kMenuMeasure, {ID_VIEWER_MEASURE}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bit);
        viewer.frame->EnableMenuItems(0, static_cast<int>(kMenuAll));
        for (UINT id : c.ids) EXPECT_FALSE(viewer.State(id).enabled) << id;
        viewer.frame->EnableMenuItems(1, static_cast<int>(c.bit));
        for (UINT id : c.ids) EXPECT_TRUE(viewer.State(id).enabled) << id;
    }
    // "&Save..." needs a pending save besides its bit; the region commands a selection.
    viewer.frame->EnableMenuItems(1, static_cast<int>(kMenuAll));
    EXPECT_FALSE(viewer.State(ID_VIEWER_SAVE).enabled);
    viewer.frame->SendMessage(WM_DLGMESSAGE, 15, kSavePalette);
    EXPECT_TRUE(viewer.State(ID_VIEWER_SAVE).enabled);
    EXPECT_FALSE(viewer.State(ID_VIEWER_SAVE_REGION).enabled);
    EXPECT_FALSE(viewer.State(ID_VIEWER_PASTE).enabled);
    viewer.frame->SendMessage(WM_DLGMESSAGE, 16, kSavePalette);
}

TEST_F(FrameViewerTest, EachMenuLacksExactlyItsItems)
{
    Viewer viewer;
    ASSERT_EQ(viewer.created, 1);
    CMenu full;
    ASSERT_TRUE(full.LoadMenu(IDR_VIEWER_MENU));
    std::multiset<UINT> fullIds;
    int fullSeparators = 0;
    CollectItems(&full, fullIds, fullSeparators);

    struct Case {
        const char* name;
        CMenu* (CFrameViewer::*load)();
        std::multiset<UINT> missing;
        int addedSeparators;
    };
    const Case cases[] = {
        {"image", &CFrameViewer::LoadImageMenu, {ID_VIEWER_COLORING, ID_VIEWER_COMPLEX_FULL}, 0},
        {"text",
         &CFrameViewer::LoadTextMenu,
         {ID_VIEWER_COPY_WITH_GRID, ID_VIEWER_CENTER_MENU, ID_VIEWER_INCREASE, ID_VIEWER_DECREASE,
          ID_VIEWER_FIT_WINDOW, ID_VIEWER_REAL_SIZE},
         1},
        {"rgb",
         &CFrameViewer::LoadRGBMenu,
         {ID_VIEWER_SAVE, ID_VIEWER_SAVE_AS, ID_VIEWER_PASTE, ID_VIEWER_COMPLEX_FULL, ID_VIEWER_COMPLEX_REAL,
          ID_VIEWER_COMPLEX_IMAGINARY, ID_VIEWER_COMPLEX_MODULE, ID_VIEWER_COMPLEX_ARGUMENT,
          ID_VIEWER_SHOW_IMAGE, ID_VIEWER_SHOW_TABLE, ID_VIEWER_COLORING, ID_VIEWER_SCALE, ID_VIEWER_PALETTE},
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<CMenu> menu((viewer.frame->*c.load)());
        ASSERT_TRUE(menu);
        std::multiset<UINT> ids;
        int separators = 0;
        CollectItems(menu.get(), ids, separators);
        std::multiset<UINT> expected = fullIds;
        for (UINT id : c.missing) expected.erase(expected.find(id));
        EXPECT_EQ(ids, expected);
        EXPECT_EQ(separators, fullSeparators + c.addedSeparators);
    }
    // The text menu's new separator stands right before "&Coloring".
    std::unique_ptr<CMenu> text(viewer.frame->LoadTextMenu());
    CMenu* view = text->GetSubMenu(2);
    int coloring = -1;
    for (UINT i = 0; i < view->GetMenuItemCount(); ++i)
        if (view->GetMenuItemID(static_cast<int>(i)) == ID_VIEWER_COLORING) coloring = static_cast<int>(i);
    ASSERT_GT(coloring, 0);
    EXPECT_EQ(view->GetMenuItemID(coloring - 1), 0u);
}

TEST_F(FrameViewerTest, EachToolBarHidesExactlyItsButtons)
{
    Viewer viewer;
    ASSERT_EQ(viewer.created, 1);
    CToolBar& bar = *viewer.frame->GetToolBar();
    struct Case {
        const char* name;
        void (CFrameViewer::*set)();
        std::set<UINT> hidden;
    };
    const Case cases[] = {
        {"rgb", &CFrameViewer::SetRGBToolBar, {ID_VIEWER_SAVE, ID_VIEWER_SHOW_PALETTE}},
        {"text",
         &CFrameViewer::SetTextToolBar,
         {ID_VIEWER_ZOOM_IN, ID_VIEWER_ZOOM_OUT, ID_VIEWER_FIT_BUTTON, ID_VIEWER_REAL_SCALE,
          ID_VIEWER_MOVE_SELECTION, ID_VIEWER_RECT_SELECTION, ID_VIEWER_FREEHAND_SELECTION,
          ID_VIEWER_POLYGON_SELECTION, ID_VIEWER_MEASURE, ID_VIEWER_BRIGHTNESS_BUTTON}},
        {"palette image", &CFrameViewer::SetPaletteIamgeToolBar, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        (viewer.frame->*c.set)();
        EXPECT_EQ(bar.GetToolBarCtrl().GetButtonCount(), 26);
        for (int i = 0; i < bar.GetToolBarCtrl().GetButtonCount(); ++i) {
            const UINT id = bar.GetItemID(i);
            if (id == ID_SEPARATOR) continue;
            EXPECT_EQ(bar.GetToolBarCtrl().IsButtonHidden(static_cast<int>(id)) != FALSE,
                      c.hidden.count(id) == 1)
                << id;
        }
    }
}

TEST_F(FrameViewerTest, StatusPanesMakeRoomForTheProgressBarDuringAJob)
{
    Viewer viewer;
    ASSERT_EQ(viewer.created, 1);
    CStatusBar& status = *viewer.frame->GetStatusBar();
    CRect client;
    status.GetClientRect(&client);
    const int w = client.Width();
    ASSERT_GT(w, 300);

    int edges[4] = {};
    ASSERT_EQ(status.GetStatusBarCtrl().GetParts(4, edges), 4);
    EXPECT_EQ(std::vector<int>(edges, edges + 4), (std::vector<int>{50, 150, 240, w}));
    EXPECT_FALSE(viewer.frame->GetProgressCtrl()->IsWindowVisible());

    viewer.frame->SendMessage(WM_VIEWERMETERINFO, 1, 0);
    ASSERT_EQ(status.GetStatusBarCtrl().GetParts(4, edges), 3);
    EXPECT_EQ(std::vector<int>(edges, edges + 3), (std::vector<int>{w / 3, 2 * w / 3, w}));
    EXPECT_TRUE(viewer.frame->GetProgressCtrl()->IsWindowVisible());
    CRect bar;
    viewer.frame->GetProgressCtrl()->GetWindowRect(&bar);
    status.ScreenToClient(&bar);
    EXPECT_EQ(bar, CRect(w / 3 + 2, 3, w / 3 + 2 + w / 3 - 3, client.Height() - 1));
    EXPECT_FALSE(viewer.frame->GetValueGridPane()->IsWindowEnabled());

    viewer.frame->SendMessage(WM_VIEWERMETERINFO, 2, 0);
    EXPECT_EQ(status.GetStatusBarCtrl().GetParts(4, edges), 4);
    EXPECT_FALSE(viewer.frame->GetProgressCtrl()->IsWindowVisible());
    EXPECT_TRUE(viewer.frame->GetValueGridPane()->IsWindowEnabled());
}

TEST_F(FrameViewerTest, TenFilesLeaveNineRecentEntriesAndOneSeparator)
{
    Viewer viewer;
    ASSERT_EQ(viewer.created, 1);
    const std::vector<std::string> before = FileMenuTexts(*viewer.frame);
    for (int i = 1; i <= 10; ++i)
        viewer.frame->AddRecentFileList(CString("/data/scene" + std::to_string(i) + ".rdp"));
    viewer.frame->UpdateMRUList();  // a second rebuild changes nothing

    std::vector<std::string> expected = before;
    expected.push_back("-");
    for (int i = 1; i <= 9; ++i)
        expected.push_back("&" + std::to_string(i) + " /data/scene" + std::to_string(11 - i) + ".rdp");
    EXPECT_EQ(FileMenuTexts(*viewer.frame), expected);
    EXPECT_EQ(viewer.frame->GetRecentFile(0), "/data/scene10.rdp");

    // Switching menu bars rebuilds the block in each without touching the menu's own items,
    // though the RGB menu's File menu is shorter than the others.
    std::vector<std::string> block(expected.begin() + static_cast<std::ptrdiff_t>(before.size()),
                                   expected.end());
    std::unique_ptr<CMenu> rgb(viewer.frame->LoadRGBMenu()), image(viewer.frame->LoadImageMenu());
    for (CMenu* menu : {rgb.get(), image.get()}) {
        std::vector<std::string> own;
        for (UINT i = 0; i < menu->GetSubMenu(0)->GetMenuItemCount(); ++i) {
            CString text;
            menu->GetSubMenu(0)->GetMenuString(i, text, MF_BYPOSITION);
            own.push_back(menu->GetSubMenu(0)->GetMenuItemID(static_cast<int>(i)) == 0 ? "-"
                                                                                       : std::string(text));
        }
        own.insert(own.end(), block.begin(), block.end());
        viewer.frame->SetNewMenu(menu);
        EXPECT_EQ(FileMenuTexts(*viewer.frame), own);
    }
    viewer.frame->ShowTable();
    viewer.frame->ShowPicture();  // the frame's own image menu again, before ours go
    EXPECT_EQ(FileMenuTexts(*viewer.frame), expected);

    // The screenshot of the File menu as the user opens it.
    QWidget* window = viewer.frame->GetWidget()->window();
    QMenuBar* menuBar = window->findChild<QMenuBar*>(QString(), Qt::FindDirectChildrenOnly);
    ASSERT_NE(menuBar, nullptr);
    QMenu* file = menuBar->actions().at(0)->menu();
    ASSERT_NE(file, nullptr);
    emit file->aboutToShow();
    file->adjustSize();
    EXPECT_FALSE(tarvenix::test::SaveTestOutput(file->grab().toImage(), "frame_viewer_file_menu").empty());
}

TEST_F(FrameViewerTest, ControlMessageSteersTheWindow)
{
    struct Case {
        WPARAM code;
        bool alive;
        bool iconic;
        bool zoomed;
    };
    // Showing a maximised window keeps it maximised.
    const Case cases[] = {
        {0, true, false, false}, {2, true, true, false}, {3, true, false, false}, {4, true, false, true},
        {5, true, false, true},  {6, true, false, true}, {3, true, false, false}, {1, false, false, false},
    };
    Viewer viewer;
    ASSERT_EQ(viewer.created, 1);
    const UINT message = viewer.frame->GetControlMessage();
    EXPECT_EQ(message, ::RegisterWindowMessage("Tarvenix - Viewer Control Message"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        ::SendMessage(viewer.hwnd, message, c.code, 0);
        PumpEvents();
        ASSERT_EQ(viewer.Alive(), c.alive);
        if (!c.alive) break;
        EXPECT_EQ(viewer.frame->IsIconic() != FALSE, c.iconic);
        EXPECT_EQ(viewer.frame->IsZoomed() != FALSE, c.zoomed);
        EXPECT_TRUE(viewer.frame->IsWindowVisible());
    }
    EXPECT_TRUE(Responder().Asked().empty());
}

TEST_F(FrameViewerTest, DialogMessagesMarkAndClearPendingSaves)
{
    Viewer viewer;
    ASSERT_EQ(viewer.created, 1);
    struct Step {
        WPARAM code;
        LPARAM value;
        UINT pending;
    };
    const Step steps[] = {
        {15, kSaveLogicalCoords, kSaveLogicalCoords},
        {25, kSaveProperties, kSaveLogicalCoords | kSaveProperties},
        {15, kSavePalette, kSaveLogicalCoords | kSaveProperties | kSavePalette},
        {16, kSaveLogicalCoords, kSaveProperties | kSavePalette},
        {16, kSaveProperties | kSavePalette, 0},
        {25, kSaveData, kSaveData},
    };
    for (const Step& s : steps) {
        EXPECT_EQ(viewer.frame->SendMessage(WM_DLGMESSAGE, s.code, s.value), 1);
        EXPECT_EQ(viewer.frame->GetPendingSaves(), s.pending) << s.code;
    }
    viewer.frame->SendMessage(WM_DLGMESSAGE, 16, kSaveData);
}

TEST_F(FrameViewerTest, QueriesOfAnEmptyViewerAnswerTheirDefaults)
{
    Viewer viewer;
    ASSERT_EQ(viewer.created, 1);
    CFrameViewer& f = *viewer.frame;
    EXPECT_EQ(f.ImageWidth(1), 0);
    EXPECT_EQ(f.ImageHeight(1), 0);
    EXPECT_EQ(f.Min(1), 0.0);
    EXPECT_EQ(f.Max(1), 0.0);
    EXPECT_EQ(f.Mean(1), 0.0);
    EXPECT_EQ(f.StDev(1), 0.0);
    EXPECT_EQ(f.GetStringTypeData(1), "");
    EXPECT_EQ(f.GetFileName(1), "");
    EXPECT_EQ(f.GetHistAddr(1), nullptr);
    EXPECT_EQ(f.GetColorMode(), 0);
    EXPECT_EQ(f.GetComplexMode(1), -1);
    EXPECT_EQ(f.GetPointerPos(), CPoint(0, 0));
    EXPECT_EQ(f.GetRespondTable(nullptr, 0), 0);
    EXPECT_EQ(f.SaveRDP(), 0);
    EXPECT_NE(f.GetViewRect(), nullptr);
    EXPECT_NE(f.GetMeterInfo(), nullptr);
    EXPECT_NE(f.GetHistWnd(), nullptr);
    unsigned counters[256] = {};
    EXPECT_EQ(f.GetHistData(1, counters, sizeof counters, 256, CRect(0, 0, 4, 4)), -1);
    ColorStruct palette[256] = {{7, 7, 7}};
    f.GetPalitra(palette);
    EXPECT_EQ(palette[0].red, 7);  // nothing to copy from
    EXPECT_EQ(f.PostMessageAllChild(WM_NULL, 0, 0), 1);
    // A reload request without a stored reload record does nothing.
    EXPECT_EQ(f.SendMessage(WM_VIEWER, 0, 9), 1);
    EXPECT_EQ(f.SendMessage(WM_VIEWER, reinterpret_cast<WPARAM>(new CViewNotify(0, 4)), 9), 1);
    EXPECT_EQ(viewer.Title(), "Viewer: no file");
    EXPECT_TRUE(Responder().Asked().empty());
}

TEST_F(FrameViewerTest, ToolWindowTogglesShowHideAndCheck)
{
    Viewer viewer;
    ASSERT_EQ(viewer.created, 1);
    viewer.frame->EnableMenuItems(1, static_cast<int>(kMenuAll));
    struct Case {
        UINT command;
        WPARAM closedCode;  ///< the window's own "closed" report
    };
    const Case cases[] = {
        {ID_VIEWER_HISTOGRAM, 4},       {ID_VIEWER_BRIGHT_CONTRAST, 3}, {ID_VIEWER_DATA_INFO, 10},
        {ID_VIEWER_LOGICAL_COORDS, 14}, {ID_VIEWER_SCALE, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        ASSERT_TRUE(tarvenix::test::ClickCommand(*viewer.frame, c.command, false));
        EXPECT_EQ(viewer.State(c.command).checked, 1);
        if (c.closedCode)
            viewer.frame->SendMessage(WM_DLGMESSAGE, c.closedCode, 0);
        else
            ASSERT_TRUE(tarvenix::test::ClickCommand(*viewer.frame, ID_VIEWER_SCALE_HIDE, false));
        EXPECT_EQ(viewer.State(c.command).checked, 0);
    }
}

TEST_F(FrameViewerTest, ToolsFormOneGroupOnTheToolBar)
{
    Viewer viewer;
    ASSERT_EQ(viewer.created, 1);
    viewer.frame->EnableMenuItems(1, static_cast<int>(kMenuAll));
    CToolBarCtrl& bar = viewer.frame->GetToolBar()->GetToolBarCtrl();
    EXPECT_TRUE(bar.IsButtonChecked(static_cast<int>(ID_VIEWER_CENTER)));
    // A plain tool releases the plain tools; a selection tool or measure releases every tool.
    struct Step {
        UINT tool;
        std::set<UINT> pressed;
    };
    const Step steps[] = {
        {ID_VIEWER_ZOOM_IN, {ID_VIEWER_ZOOM_IN}},
        {ID_VIEWER_RECT_SELECTION, {ID_VIEWER_RECT_SELECTION}},
        {ID_VIEWER_PROFILE_X, {ID_VIEWER_RECT_SELECTION, ID_VIEWER_PROFILE_X}},
        {ID_VIEWER_MEASURE, {ID_VIEWER_MEASURE}},
        {ID_VIEWER_FREEHAND_SELECTION, {ID_VIEWER_FREEHAND_SELECTION}},
        {ID_VIEWER_MOVE_SELECTION, {ID_VIEWER_MOVE_SELECTION}},
        {ID_VIEWER_ZOOM_OUT, {ID_VIEWER_MOVE_SELECTION, ID_VIEWER_ZOOM_OUT}},
        {ID_VIEWER_CENTER, {ID_VIEWER_MOVE_SELECTION, ID_VIEWER_CENTER}},
    };
    const UINT group[] = {ID_VIEWER_CENTER,
                          ID_VIEWER_ZOOM_IN,
                          ID_VIEWER_ZOOM_OUT,
                          ID_VIEWER_PROFILE_X,
                          ID_VIEWER_PROFILE_Y,
                          ID_VIEWER_FREEHAND_SELECTION,
                          ID_VIEWER_POLYGON_SELECTION,
                          ID_VIEWER_RECT_SELECTION,
                          ID_VIEWER_MOVE_SELECTION,
                          ID_VIEWER_MEASURE};
    for (const Step& step : steps) {
        SCOPED_TRACE(step.tool);
        ASSERT_TRUE(tarvenix::test::ClickToolBarButton(*viewer.frame->GetToolBar(), step.tool));
        PumpEvents();
        for (UINT button : group)
            EXPECT_EQ(bar.IsButtonChecked(static_cast<int>(button)) != FALSE, step.pressed.count(button) == 1)
                << button;
        EXPECT_EQ(viewer.State(ID_VIEWER_MEASURE).checked, step.tool == ID_VIEWER_MEASURE ? 1 : 0);
    }
}

TEST_F(FrameViewerTest, AComplexLayerIsTitledWithItsComponent)
{
    TempDir dir;
    const std::string path = dir.File("scene.rdp");
    WriteComplexLayer(path);
    Viewer viewer(path.c_str(), 1);
    ASSERT_EQ(viewer.created, 1);
    ASSERT_TRUE(WaitForTitle(viewer, CString(path + " - Phase")));
    EXPECT_TRUE(viewer.State(ID_VIEWER_COMPLEX_ARGUMENT).enabled);
    EXPECT_EQ(viewer.State(ID_VIEWER_COMPLEX_ARGUMENT).checked, 1);
    EXPECT_EQ(viewer.State(ID_VIEWER_COMPLEX_MODULE).checked, 0);
    EXPECT_EQ(viewer.frame->GetComplexMode(1), 1);
    EXPECT_EQ(viewer.frame->ImageWidth(1), 32);
    EXPECT_EQ(viewer.frame->GetStatusBar()->GetPaneText(0), "100 %");
}

TEST_F(FrameViewerTest, AShownLayerEnablesTheViewerAndJoinsTheRecentFiles)
{
    TempDir dir;
    const std::string path = dir.File("pattern.rdp");
    WriteRealLayer(path, 640, 400);
    Viewer viewer(path.c_str());
    ASSERT_EQ(viewer.created, 1);
    ASSERT_TRUE(WaitForTitle(viewer, CString(path)));
    EXPECT_TRUE(viewer.State(ID_VIEWER_CLOSE).enabled);
    EXPECT_TRUE(viewer.State(ID_VIEWER_HISTOGRAM).enabled);
    EXPECT_FALSE(viewer.State(ID_VIEWER_COMPLEX_MODULE).enabled);
    EXPECT_FALSE(viewer.State(ID_VIEWER_SAVE).enabled);
    EXPECT_EQ(viewer.frame->GetRecentFile(0), CString(path));
    EXPECT_EQ(viewer.frame->GetColorMode(), 1);
    EXPECT_EQ(viewer.frame->ImageHeight(1), 400);

    // The measure figure ends when the dialog that showed it is gone.
    ASSERT_TRUE(tarvenix::test::ClickCommand(*viewer.frame, ID_VIEWER_MEASURE));
    EXPECT_EQ(viewer.State(ID_VIEWER_MEASURE).checked, 1);
    viewer.frame->SendMessage(WM_DLGMESSAGE, 28, 0);
    EXPECT_EQ(viewer.State(ID_VIEWER_MEASURE).checked, 0);
    ASSERT_TRUE(tarvenix::test::ClickCommand(*viewer.frame, ID_VIEWER_CENTER));

    SaveScreenshot(viewer, "frame_viewer_layer");
}

TEST_F(FrameViewerTest, ARecentFileOpensOnlyWithTheClosePermission)
{
    TempDir dir;
    const std::string first = dir.File("first.rdp"), second = dir.File("second.rdp");
    WriteRealLayer(first);
    WriteRealLayer(second);
    Viewer viewer(second.c_str());
    ASSERT_EQ(viewer.created, 1);
    ASSERT_TRUE(WaitForTitle(viewer, CString(second)));
    viewer.frame->AddRecentFileList(CString(first));
    ASSERT_EQ(viewer.frame->GetRecentFile(0), CString(first));
    auto settled = [&] { return Responder().Unused() == 0 && !viewer.frame->GetMeterInfo()->IsRunning(); };

    // Pending changes: the user is asked, and Cancel keeps the file and its changes.
    viewer.frame->SendMessage(WM_DLGMESSAGE, 15, kSavePalette);
    Responder().AnswerDialogCommand(IDCANCEL);
    ASSERT_TRUE(tarvenix::test::ClickMenuItem(*viewer.frame, ID_VIEWER_MRU_FIRST));
    ASSERT_TRUE(PumpUntil(settled));
    PumpEvents();
    EXPECT_EQ(viewer.Title(), CString(second));
    EXPECT_EQ(viewer.frame->GetPendingSaves(), kSavePalette);

    // "Open..." afterwards shows its dialog, not the recent file that was refused.
    Responder().AnswerDialogCommand(IDNO);
    Responder().CancelFile();
    ASSERT_TRUE(tarvenix::test::ClickCommand(*viewer.frame, ID_VIEWER_OPEN));
    ASSERT_TRUE(PumpUntil(settled));
    PumpEvents();
    EXPECT_EQ(viewer.Title(), CString(second));

    // Without pending changes the recent file opens at once.
    viewer.frame->SendMessage(WM_DLGMESSAGE, 16, 0xFF);
    ASSERT_TRUE(tarvenix::test::ClickMenuItem(*viewer.frame, ID_VIEWER_MRU_FIRST));
    ASSERT_TRUE(WaitForTitle(viewer, CString(first)));
    EXPECT_EQ(viewer.frame->GetPendingSaves(), 0u);
}

TEST_F(FrameViewerTest, AFailedCreationReportsZeroAndFreesTheFrameOnce)
{
    for (FailingViewer::Fail fail : {FailingViewer::Fail::BeforeTheWindow, FailingViewer::Fail::InOnCreate}) {
        SCOPED_TRACE(static_cast<int>(fail));
        int deletions = 0;
        auto* frame = new FailingViewer(fail, deletions);
        EXPECT_EQ(frame->Create("", nullptr, 0, 0, 0.0, 0.0, 0, nullptr), 0);
        PumpEvents();
        EXPECT_EQ(deletions, 1);
    }
    EXPECT_TRUE(Responder().Asked().empty());
}

TEST_F(FrameViewerTest, TheTableViewSwapsPanesMenusAndToolBars)
{
    TempDir dir;
    const std::string path = dir.File("pattern.rdp");
    WriteRealLayer(path);
    Viewer viewer(path.c_str());
    ASSERT_EQ(viewer.created, 1);
    ASSERT_TRUE(WaitForTitle(viewer, CString(path)));
    CFrameViewer& f = *viewer.frame;
    CToolBarCtrl& bar = f.GetToolBar()->GetToolBarCtrl();

    ASSERT_TRUE(tarvenix::test::ClickMenuItem(f, ID_VIEWER_SHOW_TABLE));
    PumpEvents();
    EXPECT_EQ(static_cast<UINT>(f.GetValueGridPane()->GetDlgCtrlID()), AFX_IDW_PANE_FIRST);
    EXPECT_EQ(static_cast<UINT>(f.GetViewRect()->GetDlgCtrlID()), AFX_IDW_PANE_FIRST + 1);
    EXPECT_FALSE(f.GetViewRect()->IsWindowVisible());
    EXPECT_EQ(f.GetMenu()->GetMenuState(ID_VIEWER_INCREASE, MF_BYCOMMAND), static_cast<UINT>(-1));
    EXPECT_TRUE(bar.IsButtonHidden(static_cast<int>(ID_VIEWER_ZOOM_IN)));
    EXPECT_EQ(viewer.State(ID_VIEWER_SHOW_TABLE).checked, 1);
    EXPECT_TRUE(viewer.State(ID_VIEWER_PASTE).enabled);
    EXPECT_FALSE(viewer.State(ID_VIEWER_COPY_WITH_GRID).enabled);

    ASSERT_TRUE(tarvenix::test::ClickMenuItem(f, ID_VIEWER_SHOW_IMAGE));
    PumpEvents();
    EXPECT_EQ(static_cast<UINT>(f.GetViewRect()->GetDlgCtrlID()), AFX_IDW_PANE_FIRST);
    EXPECT_TRUE(f.GetViewRect()->IsWindowVisible());
    EXPECT_FALSE(f.GetValueGridPane()->IsWindowVisible());
    EXPECT_NE(f.GetMenu()->GetMenuState(ID_VIEWER_INCREASE, MF_BYCOMMAND), static_cast<UINT>(-1));
    EXPECT_FALSE(bar.IsButtonHidden(static_cast<int>(ID_VIEWER_ZOOM_IN)));
    EXPECT_EQ(viewer.State(ID_VIEWER_SHOW_IMAGE).checked, 1);
}

TEST_F(FrameViewerTest, ALoadFaultIsNamedInABoxCaptionedViewer)
{
    Responder().AnswerMessageBox(IDOK);
    CFrameViewer::ReportLoadFault(kFaultIntDivideByZero);
    ASSERT_EQ(Responder().Asked().size(), 1u);
    const tarvenix::test::Question& box = Responder().Asked()[0];
    EXPECT_EQ(box.caption, "Viewer");
    EXPECT_EQ(box.text, "EXCEPTION_INT_DIVIDE_BY_ZERO");
    EXPECT_EQ(box.owner, nullptr);
    EXPECT_EQ(box.type & MB_SYSTEMMODAL, MB_SYSTEMMODAL);
}

TEST_F(FrameViewerTest, ThePaletteDialogOpensClosesAndItsChoiceBecomesAPendingSave)
{
    TempDir dir;
    const std::string path = dir.File("pattern.rdp");
    WriteRealLayer(path);
    Viewer viewer(path.c_str());
    ASSERT_EQ(viewer.created, 1);
    ASSERT_TRUE(WaitForTitle(viewer, CString(path)));

    for (WPARAM closing : {WPARAM(0), WPARAM(12)}) {
        SCOPED_TRACE(closing);
        ASSERT_TRUE(tarvenix::test::ClickCommand(*viewer.frame, ID_VIEWER_SHOW_PALETTE));
        EXPECT_EQ(viewer.State(ID_VIEWER_PALETTE).checked, 1);
        if (closing)
            viewer.frame->SendMessage(WM_DLGMESSAGE, closing, 0);  // the dialog's own close
        else
            ASSERT_TRUE(tarvenix::test::ClickCommand(*viewer.frame, ID_VIEWER_PALETTE));
        PumpEvents();
        EXPECT_EQ(viewer.State(ID_VIEWER_SHOW_PALETTE).checked, 0);
    }

    CColorMap map;
    ASSERT_TRUE(map.CreateSimpleColorMap(0.0, 255.0, RGB(0, 0, 128), RGB(255, 255, 0), 0));
    viewer.frame->SendMessage(WM_DLGMESSAGE, 20, reinterpret_cast<LPARAM>(&map));
    EXPECT_EQ(viewer.frame->GetPendingSaves(), kSavePalette);
    EXPECT_TRUE(viewer.State(ID_VIEWER_SAVE).enabled);
    viewer.frame->SendMessage(WM_DLGMESSAGE, 16, kSavePalette);
}
