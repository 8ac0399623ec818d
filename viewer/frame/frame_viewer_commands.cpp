#include <iterator>
#include <memory>

#include "outside/basecore/help_system.h"
#include "outside/huebook/select_huebook_dlg.h"
#include "viewer/analysis/color_correction_dlg.h"
#include "viewer/analysis/coord_pointer_dlg.h"
#include "viewer/analysis/data_info_dlg.h"
#include "viewer/analysis/find_dlg.h"
#include "viewer/analysis/find_replace_value_dlg.h"
#include "viewer/analysis/hist_frame.h"
#include "viewer/analysis/hist_trim_dlg.h"
#include "viewer/analysis/logical_coords_dlg.h"
#include "viewer/analysis/scale_mark_wnd.h"
#include "viewer/analysis/value_grid_pane.h"
#include "viewer/analysis/file_properties_dlg.h"
#include "viewer/frame/frame_viewer.h"

namespace {

/// The second pane id, which the hidden one of view window and value grid pane holds.
constexpr UINT kPaneSecond = AFX_IDW_PANE_FIRST + 1;

/// The viewer's help page, from the string table as every help topic is.
CString HelpPage()
{
    CString page;
    page.LoadString(IDS_VIEWER_HELP_PAGE);
    return page;
}

/// Names of the complex components in the title.
constexpr const char* kComponentNames[] = {"Amplitude", "Phase", "Real", "Imaginary"};

/// The colour-map tag kept for each complex display mode.
constexpr int kModeTags[] = {501, 504, 502, 503};

// --- what decides the enabling and checking of a command -------------------------------------------

/// Conditions besides the menu flag bits.
enum class When {
    Always,
    Pending,        ///< a save is pending
    Selection,      ///< the view window (or the grid in the table view) holds a selection
    TableShown,     ///< the table view is shown
    PictureShown,   ///< the picture view is shown
    GridLayerData,  ///< the value grid shows layer data
    HistogramWnd,   ///< the tool window exists (a failed creation leaves its toggle greyed)
    CorrectionDlg,
    PointerDlg,
    LogicalDlg,
    DataInfoDlg,
    ScaleWnd,
    ScaleShown,  ///< the colour scale is shown
    SingleBand,  ///< a single-band layer is shown (the palette dialog is for those only)
};

/// What a command shows checked.
enum class Check {
    None,
    Flag,  ///< the frame flag `flag` is set
    TableShown,
    PictureShown,
    Component,      ///< the complex component shown is `value`
    FullComponent,  ///< component 4, in the table view only
    Coloring,
};

struct CommandRule {
    UINT id;
    UINT bits;  ///< menu flag bits that must all be set
    When when;
    Check check;
    UINT flag;  ///< the frame flag (Check::Flag) or the component (Check::Component)
};

// clang-format off
constexpr CommandRule kCommandRules[] = {
    {ID_VIEWER_NEW,                 kMenuNewOpen,        When::Always,        Check::None,          0},
    {ID_VIEWER_OPEN,                kMenuNewOpen,        When::Always,        Check::None,          0},
    {ID_VIEWER_OPEN_RGB,            kMenuOpenRgb,        When::Always,        Check::None,          0},
    {ID_VIEWER_CLOSE,               kMenuImage,          When::Always,        Check::None,          0},
    {ID_VIEWER_FILE_PROPERTIES,     kMenuImage,          When::Always,        Check::None,          0},
    {ID_VIEWER_SAVE,                kMenuImage,          When::Pending,       Check::None,          0},
    {ID_VIEWER_SAVE_AS,             kMenuSaveAs,         When::Always,        Check::None,          0},
    {ID_VIEWER_EXPORT_BMP,          kMenuImage,          When::Always,        Check::None,          0},
    {ID_VIEWER_CENTER,              kMenuCenter,         When::Always,        Check::None,          0},
    {ID_VIEWER_CENTER_MENU,         kMenuCenter,         When::Always,        Check::None,          0},
    {ID_VIEWER_ZOOM_IN,             kMenuIncrease,       When::Always,        Check::None,          0},
    {ID_VIEWER_INCREASE,            kMenuIncrease,       When::Always,        Check::None,          0},
    {ID_VIEWER_ZOOM_IN_NOW,         kMenuIncrease,       When::Always,        Check::None,          0},
    {ID_VIEWER_ZOOM_OUT,            kMenuDecrease,       When::Always,        Check::None,          0},
    {ID_VIEWER_DECREASE,            kMenuDecrease,       When::Always,        Check::None,          0},
    {ID_VIEWER_ZOOM_OUT_NOW,        kMenuDecrease,       When::Always,        Check::None,          0},
    {ID_VIEWER_FIT_BUTTON,          kMenuFit,            When::Always,        Check::None,          0},
    {ID_VIEWER_FIT_WINDOW,          kMenuFit,            When::Always,        Check::None,          0},
    {ID_VIEWER_FIT_CONTEXT,         kMenuFit,            When::Always,        Check::None,          0},
    {ID_VIEWER_REAL_SCALE,          kMenuRealSize,       When::Always,        Check::None,          0},
    {ID_VIEWER_REAL_SIZE,           kMenuRealSize,       When::Always,        Check::None,          0},
    {ID_VIEWER_SCALE_1_1,           kMenuRealSize,       When::Always,        Check::None,          0},
    {ID_VIEWER_HISTOGRAM_BUTTON,    kMenuHistogram,      When::HistogramWnd,  Check::Flag,          kFrameHistogram},
    {ID_VIEWER_HISTOGRAM,           kMenuHistogram,      When::HistogramWnd,  Check::Flag,          kFrameHistogram},
    {ID_VIEWER_PROFILE_X,           kMenuProfileX,       When::Always,        Check::None,          0},
    {ID_VIEWER_PROFILE_X_MENU,      kMenuProfileX,       When::Always,        Check::None,          0},
    {ID_VIEWER_PROFILE_Y,           kMenuProfileY,       When::Always,        Check::None,          0},
    {ID_VIEWER_PROFILE_Y_MENU,      kMenuProfileY,       When::Always,        Check::None,          0},
    {ID_VIEWER_BRIGHTNESS_BUTTON,   kMenuBrightContrast, When::CorrectionDlg, Check::Flag,          kFrameColorCorrection},
    {ID_VIEWER_BRIGHT_CONTRAST,     kMenuBrightContrast, When::CorrectionDlg, Check::Flag,          kFrameColorCorrection},
    {ID_VIEWER_POINTER,             kMenuPointer,        When::Always,        Check::Flag,          kFramePointer},
    {ID_VIEWER_POINTER_DLG,         kMenuPointer,        When::PointerDlg,    Check::Flag,          kFramePointerDlg},
    {ID_VIEWER_DATA_INFO_BUTTON,    kMenuDataInfo,       When::DataInfoDlg,   Check::Flag,          kFrameDataInfo},
    {ID_VIEWER_DATA_INFO,           kMenuDataInfo,       When::DataInfoDlg,   Check::Flag,          kFrameDataInfo},
    {ID_VIEWER_SHOW_PALETTE,        kMenuPalette,        When::SingleBand,    Check::Flag,          kFramePalette},
    {ID_VIEWER_PALETTE,             kMenuPalette,        When::SingleBand,    Check::Flag,          kFramePalette},
    {ID_VIEWER_SCALE_PALETTE,       kMenuPalette,        When::SingleBand,    Check::Flag,          kFramePalette},
    {ID_VIEWER_SHOW_TABLE,          kMenuPalette,        When::Always,        Check::TableShown,    0},
    {ID_VIEWER_SHOW_IMAGE,          kMenuPalette,        When::Always,        Check::PictureShown,  0},
    {ID_VIEWER_LOGICAL_COORDS,      kMenuLogicalCoords,  When::LogicalDlg,    Check::Flag,          kFrameLogicalCoords},
    {ID_VIEWER_SCALE,               kMenuColorScale,     When::ScaleWnd,      Check::Flag,          kFrameScale},
    {ID_VIEWER_SCALE_HIDE,          0,                   When::ScaleShown,    Check::None,          0},
    {ID_VIEWER_HIST_TRIMMING,       kMenuHistTrimming,   When::Always,        Check::None,          0},
    {ID_VIEWER_FREEHAND_SELECTION,  kMenuFreehand,       When::Always,        Check::None,          0},
    {ID_VIEWER_POLYGON_SELECTION,   kMenuRectSelection,  When::Always,        Check::None,          0},
    {ID_VIEWER_RECT_SELECTION,      kMenuRectSelection,  When::Always,        Check::None,          0},
    {ID_VIEWER_MOVE_SELECTION,      kMenuMoveSelection,  When::Always,        Check::None,          0},
    {ID_VIEWER_COMPLEX_FULL,        kMenuComplex,        When::Always,        Check::FullComponent, 4},
    {ID_VIEWER_COMPLEX_REAL,        kMenuComplex,        When::Always,        Check::Component,     2},
    {ID_VIEWER_COMPLEX_IMAGINARY,   kMenuComplex,        When::Always,        Check::Component,     3},
    {ID_VIEWER_COMPLEX_MODULE,      kMenuComplex,        When::Always,        Check::Component,     0},
    {ID_VIEWER_COMPLEX_ARGUMENT,    kMenuComplex,        When::Always,        Check::Component,     1},
    {ID_VIEWER_MEASURE,             kMenuMeasure,        When::Always,        Check::Flag,          kFrameMeasure},
    {ID_VIEWER_SAVE_REGION,         kMenuRegion,         When::Selection,     Check::None,          0},
    {ID_VIEWER_REGION_STATISTICS,   kMenuRegion,         When::Selection,     Check::None,          0},
    {ID_VIEWER_REGION_PROPERTIES,   kMenuRegion,         When::Selection,     Check::None,          0},
    {ID_VIEWER_COPY,                0,                   When::Always,        Check::None,          0},
    {ID_VIEWER_FIND,                0,                   When::Always,        Check::None,          0},
    {ID_VIEWER_PASTE,               0,                   When::TableShown,    Check::None,          0},
    {ID_VIEWER_COPY_WITH_GRID,      0,                   When::PictureShown,  Check::None,          0},
    {ID_VIEWER_REPLACE,             0,                   When::GridLayerData, Check::None,          0},
    {ID_VIEWER_COLORING,            0,                   When::Always,        Check::Coloring,      0},
    {ID_VIEWER_HELP_CONTENTS,       0,                   When::Always,        Check::None,          0},
};
// clang-format on

const CommandRule* FindRule(UINT id)
{
    for (const CommandRule& rule : kCommandRules)
        if (rule.id == id) return &rule;
    return nullptr;
}

/// The tool group: each tool's command ids, its tool mode, and whether it also releases the
/// selection buttons.
struct ToolRule {
    UINT id;
    UINT button;  ///< the tool-bar button it presses
    int mode;
    bool selection;
};
constexpr ToolRule kToolRules[] = {
    {ID_VIEWER_CENTER, ID_VIEWER_CENTER, 1, false},
    {ID_VIEWER_CENTER_MENU, ID_VIEWER_CENTER, 1, false},
    {ID_VIEWER_ZOOM_OUT, ID_VIEWER_ZOOM_OUT, 2, false},
    {ID_VIEWER_ZOOM_IN, ID_VIEWER_ZOOM_IN, 3, false},
    {ID_VIEWER_PROFILE_X, ID_VIEWER_PROFILE_X, 4, false},
    {ID_VIEWER_PROFILE_X_MENU, ID_VIEWER_PROFILE_X, 4, false},
    {ID_VIEWER_PROFILE_Y, ID_VIEWER_PROFILE_Y, 5, false},
    {ID_VIEWER_PROFILE_Y_MENU, ID_VIEWER_PROFILE_Y, 5, false},
    {ID_VIEWER_FREEHAND_SELECTION, ID_VIEWER_FREEHAND_SELECTION, 7, true},
    {ID_VIEWER_POLYGON_SELECTION, ID_VIEWER_POLYGON_SELECTION, 8, true},
    {ID_VIEWER_RECT_SELECTION, ID_VIEWER_RECT_SELECTION, 9, true},
    {ID_VIEWER_MOVE_SELECTION, ID_VIEWER_MOVE_SELECTION, 11, true},
    {ID_VIEWER_MEASURE, ID_VIEWER_MEASURE, 13, true},
};
constexpr UINT kPlainToolButtons[] = {ID_VIEWER_CENTER, ID_VIEWER_ZOOM_IN, ID_VIEWER_ZOOM_OUT,
                                      ID_VIEWER_PROFILE_X, ID_VIEWER_PROFILE_Y};
constexpr UINT kSelectionToolButtons[] = {ID_VIEWER_FREEHAND_SELECTION, ID_VIEWER_POLYGON_SELECTION,
                                          ID_VIEWER_RECT_SELECTION, ID_VIEWER_MOVE_SELECTION,
                                          ID_VIEWER_MEASURE};

/// The record of a WM_VIEWER code that carries one (the sender allocated it).
std::unique_ptr<CViewNotify> TakeNotify(WPARAM wParam)
{
    return std::unique_ptr<CViewNotify>(reinterpret_cast<CViewNotify*>(wParam));
}

void SendIfWindow(CWnd* wnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (wnd && wnd->GetSafeHwnd()) wnd->SendMessage(message, wParam, lParam);
}

void ShowToolWindow(CWnd* wnd, bool show)
{
    if (wnd && wnd->GetSafeHwnd()) wnd->ShowWindow(show ? SW_SHOW : SW_HIDE);
}

// --- what a command does -----------------------------------------------------------------------------

/// What a command does to the frame it reached.
using FrameCommandAction = void (*)(CFrameViewer& frame, UINT id);

struct FrameCommandRow {
    UINT id;
    FrameCommandAction action;
};

}  // namespace

/// The frame's command actions: a friend of the frame, so that its rows reach what the
/// message map reaches.
struct FrameViewerCommands {
    /// Calls a member that takes no argument.
    template <void (CFrameViewer::*Member)()>
    static void Call(CFrameViewer& frame, UINT /*id*/)
    {
        (frame.*Member)();
    }

    /// Calls a member of the view window that takes no argument.
    template <void (CViewRect::*Member)()>
    static void CallView(CFrameViewer& frame, UINT /*id*/)
    {
        (frame.m_ViewRect.*Member)();
    }

    template <int Job>
    static void StartJob(CFrameViewer& frame, UINT /*id*/)
    {
        frame.StartFrameJob(Job);
    }

    template <int Component>
    static void ShowComponent(CFrameViewer& frame, UINT /*id*/)
    {
        frame.ShowComplexComponent(Component);
    }

    static void OpenFile(CFrameViewer& frame, UINT /*id*/)
    {
        frame.m_strPendingRecent.Empty();  // a recent file the user was not allowed to open
        frame.StartFrameJob(kJobButtonLoad);
    }

    static void SaveAsCommand(CFrameViewer& frame, UINT /*id*/)
    {
        if (frame.PreSave(14)) frame.SaveAs(CString());
    }

    static void CopyWithGrid(CFrameViewer& frame, UINT /*id*/)
    {
        if (!frame.IsTableShown()) frame.m_ViewRect.CopyToClipboard(2);
    }

    template <class Dialog>
    static void OpenModeless(CFrameViewer& frame)
    {
        auto* dialog = new Dialog;
        if (dialog->Create(&frame))
            dialog->ShowWindow(SW_SHOW);
        else
            delete dialog;
    }

    static void FindOrReplace(CFrameViewer& frame, UINT id)
    {
        frame.m_ViewRect.TurnOffPointer(1);
        frame.m_nFlags &= ~(kFramePointer | kFramePointerDlg);
        ShowToolWindow(frame.m_pCoordPointerDlg, false);
        if (id == ID_VIEWER_FIND)
            OpenModeless<CFindDlg>(frame);
        else
            OpenModeless<CFindReplaceValueDlg>(frame);
    }

    static void ShowImage(CFrameViewer& frame, UINT /*id*/)
    {
        if (!frame.IsTableShown()) return;
        frame.FreezForInput(1);
        if (frame.m_pValueGrid) {
            if (HRGN region = frame.m_pValueGrid->GetSelectedRgn()) {
                frame.m_ViewRect.SetSelection(region);
                ::DeleteObject(region);
            }
        }
        if (frame.m_nPendingSaves & kSaveData) {
            // The grid changed the data: the picture is shown once the reload reports back.
            frame.m_bShowPictureAfterReload = true;
            if (!frame.ReloadFileWithNewParams(frame.GetComplexMode(1), -1.0, -1.0, -1)) {
                frame.m_bShowPictureAfterReload = false;
                frame.FreezForInput(0);
                frame.ShowPicture();
            }
        } else {
            frame.FreezForInput(0);
            frame.ShowPicture();
        }
    }

    static void ShowTableCommand(CFrameViewer& frame, UINT /*id*/)
    {
        if (!frame.IsTableShown() && frame.m_ViewRect.GetActiveView()) frame.ShowTable();
    }

    static void HideScale(CFrameViewer& frame, UINT /*id*/)
    {
        if (frame.m_nFlags & kFrameScale) frame.OnMenuScale();
    }

    static void ToggleColoring(CFrameViewer& frame, UINT /*id*/)
    {
        if (frame.IsTableShown() && frame.m_pValueGrid) {
            frame.m_bColoring = !frame.m_bColoring;
            frame.m_pValueGrid->SetColorMode(frame.m_bColoring ? 1 : 0);
        }
    }

    static void SelectionCommand(CFrameViewer& frame, UINT id)
    {
        HRGN gridRegion =
            frame.IsTableShown() && frame.m_pValueGrid ? frame.m_pValueGrid->GetSelectedRgn() : nullptr;
        if (id == ID_VIEWER_SAVE_REGION)
            frame.m_ViewRect.SaveSelection(gridRegion);
        else
            frame.m_ViewRect.StatsSelection(gridRegion, frame.m_pHistFrame);
        if (gridRegion) ::DeleteObject(gridRegion);
    }

    static void HelpContents(CFrameViewer& frame, UINT /*id*/) { CallHelpSystem(&frame, HelpPage()); }

    /// The caption and description of the file: one dialog a frame, which reports its
    /// changes and its closing itself (codes 25 and 24).
    static void ShowFileProperties(CFrameViewer& frame, UINT /*id*/)
    {
        if (!frame.m_pFilePropertiesDlg) {
            auto* dialog = new CFilePropertiesDlg;
            if (!dialog->Create(&frame)) {
                delete dialog;
                return;
            }
            frame.m_pFilePropertiesDlg = dialog;
            if (CMenu* menu = frame.GetMenu())
                menu->CheckMenuItem(ID_VIEWER_FILE_PROPERTIES, MF_BYCOMMAND | MF_CHECKED);
        }
        frame.m_pFilePropertiesDlg->ShowWindow(SW_SHOW);
        frame.m_pFilePropertiesDlg->SetActiveWindow();
    }

    static const FrameCommandRow* Find(UINT id)
    {
        // The tool group's ids are not here: kToolRules holds them.
        static constexpr FrameCommandRow kRows[] = {
            {ID_VIEWER_NEW, StartJob<kJobButtonNew>},
            {ID_VIEWER_OPEN, OpenFile},
            {ID_VIEWER_OPEN_RGB, StartJob<kJobButtonLoadRgb>},
            {ID_VIEWER_CLOSE, StartJob<kJobCloseView>},
            {ID_VIEWER_SAVE, Call<&CFrameViewer::ButtonSave>},
            {ID_VIEWER_SAVE_AS, SaveAsCommand},
            {ID_VIEWER_EXPORT_BMP, CallView<&CViewRect::ExportBmp>},
            {ID_VIEWER_FILE_PROPERTIES, ShowFileProperties},
            {ID_VIEWER_REGION_PROPERTIES, CallView<&CViewRect::ShowSelInfo>},
            {ID_VIEWER_COPY_WITH_GRID, CopyWithGrid},
            {ID_VIEWER_FIND, FindOrReplace},
            {ID_VIEWER_REPLACE, FindOrReplace},
            {ID_VIEWER_SHOW_IMAGE, ShowImage},
            {ID_VIEWER_SHOW_TABLE, ShowTableCommand},
            {ID_VIEWER_COMPLEX_FULL, ShowComponent<4>},
            {ID_VIEWER_COMPLEX_REAL, ShowComponent<2>},
            {ID_VIEWER_COMPLEX_IMAGINARY, ShowComponent<3>},
            {ID_VIEWER_COMPLEX_MODULE, ShowComponent<0>},
            {ID_VIEWER_COMPLEX_ARGUMENT, ShowComponent<1>},
            {ID_VIEWER_POINTER_DLG, Call<&CFrameViewer::OnMenuPointer>},
            {ID_VIEWER_POINTER, Call<&CFrameViewer::OnButtonPointer>},
            {ID_VIEWER_SCALE, Call<&CFrameViewer::OnMenuScale>},
            {ID_VIEWER_SCALE_HIDE, HideScale},
            {ID_VIEWER_SCALE_PALETTE, Call<&CFrameViewer::OnButtonPalette>},
            {ID_VIEWER_PALETTE, Call<&CFrameViewer::OnButtonPalette>},
            {ID_VIEWER_SHOW_PALETTE, Call<&CFrameViewer::OnButtonPalette>},
            {ID_VIEWER_COLORING, ToggleColoring},
            {ID_VIEWER_BRIGHT_CONTRAST, Call<&CFrameViewer::OnButtonAdjust>},
            {ID_VIEWER_BRIGHTNESS_BUTTON, Call<&CFrameViewer::OnButtonAdjust>},
            {ID_VIEWER_HISTOGRAM, Call<&CFrameViewer::OnButtonViewerHist>},
            {ID_VIEWER_HISTOGRAM_BUTTON, Call<&CFrameViewer::OnButtonViewerHist>},
            {ID_VIEWER_DATA_INFO, Call<&CFrameViewer::OnButtonViewerInfo>},
            {ID_VIEWER_DATA_INFO_BUTTON, Call<&CFrameViewer::OnButtonViewerInfo>},
            {ID_VIEWER_LOGICAL_COORDS, Call<&CFrameViewer::OnButtonPropertyChange>},
            {ID_VIEWER_HIST_TRIMMING, Call<&CFrameViewer::StartTuneRepresentationDlg>},
            {ID_VIEWER_INCREASE, CallView<&CViewRect::ZoomIn>},
            {ID_VIEWER_ZOOM_IN_NOW, CallView<&CViewRect::ZoomIn>},
            {ID_VIEWER_DECREASE, CallView<&CViewRect::ZoomOut>},
            {ID_VIEWER_ZOOM_OUT_NOW, CallView<&CViewRect::ZoomOut>},
            {ID_VIEWER_REAL_SIZE, CallView<&CViewRect::RealScale>},
            {ID_VIEWER_REAL_SCALE, CallView<&CViewRect::RealScale>},
            {ID_VIEWER_SCALE_1_1, CallView<&CViewRect::RealScale>},
            {ID_VIEWER_FIT_WINDOW, CallView<&CViewRect::FitToWindow>},
            {ID_VIEWER_FIT_BUTTON, CallView<&CViewRect::FitToWindow>},
            {ID_VIEWER_FIT_CONTEXT, CallView<&CViewRect::FitToWindow>},
            {ID_VIEWER_SAVE_REGION, SelectionCommand},
            {ID_VIEWER_REGION_STATISTICS, SelectionCommand},
            {ID_VIEWER_HELP_CONTENTS, HelpContents},
        };

        for (const FrameCommandRow& row : kRows)
            if (row.id == id) return &row;
        return nullptr;
    }
};

// clang-format off
BEGIN_MESSAGE_MAP(CFrameViewer, CFrameWnd)
    ON_WM_CREATE()
    ON_WM_SIZE()
    ON_WM_MOVE()
    ON_WM_ERASEBKGND()
    ON_WM_CLOSE()
    ON_WM_CHAR()
    ON_WM_HELPINFO()
    ON_WM_NCLBUTTONDOWN()
    ON_WM_CAPTURECHANGED()
    ON_MESSAGE(WM_VIEWER, OnViewer)
    ON_MESSAGE(WM_DLGMESSAGE, OnDlgMessage)
    ON_MESSAGE(WM_CLOSEVIEWER, OnCloseViewer)
    ON_MESSAGE(WM_VIEWERMETERINFO, OnViewerMeterInfo)
    ON_MESSAGE(WM_VIEWRECT, OnViewRectMessage)
    ON_MESSAGE(WM_TEXTVIEWRECT, OnTextViewRect)
    ON_MESSAGE(WM_CLOSEALLOWED, OnCloseAllowed)
    ON_COMMAND_RANGE(ID_VIEWER_FLAG_4096, ID_VIEWER_COPY_WITH_GRID, OnFrameCommand)
    ON_COMMAND(ID_VIEWER_COPY, OnEditCopy)
    ON_COMMAND(ID_VIEWER_PASTE, OnEditPaste)
    ON_UPDATE_COMMAND_UI_RANGE(ID_VIEWER_FLAG_4096, ID_VIEWER_COPY_WITH_GRID, OnUpdateCommand)
    ON_UPDATE_COMMAND_UI(ID_VIEWER_COPY, OnUpdateCommand)
    ON_UPDATE_COMMAND_UI(ID_VIEWER_PASTE, OnUpdateCommand)
END_MESSAGE_MAP()
// clang-format on

// --- the control message and the window procedure ---------------------------------------------------

LRESULT CFrameViewer::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (m_nControlMessage != 0 && message == m_nControlMessage) {
        switch (wParam) {
            case 1: {
                // A close job is asking its questions: a second request must not start another.
                if (m_nFrameJob.load() != 0) return 0;
                const HWND hwnd = m_hWnd;
                OnCloseViewer(0, 0);
                // The close may have destroyed the window and with it this object.
                if (!::IsWindow(hwnd) || CWnd::FromHandlePermanent(hwnd) != this) return 0;
                break;
            }
            case 2:
            case 3:
            case 4:
            case 5:
                OnSizeCommand(static_cast<int>(wParam));
                break;
            default:
                break;
        }
    }
    if (message == WM_CLOSEALLOWED && wParam == static_cast<WPARAM>(kJobButtonLoad) &&
        !m_strPendingRecent.IsEmpty()) {
        // The "Open" job gave its permission for a recent file rather than for the dialog.
        const CString path = m_strPendingRecent;
        m_strPendingRecent.Empty();
        CloseAll();
        m_wndToolBar.Invalidate();
        LoadNewFileEx(path, 0);
        return 1;
    }
    return CFrameWnd::WindowProc(message, wParam, lParam);
}

void CFrameViewer::OnSizeCommand(int code)
{
    switch (code) {
        case 2:
            ShowWindow(SW_MINIMIZE);
            break;
        case 3:
            ShowWindow(SW_RESTORE);
            break;
        case 4:
            ShowWindow(SW_SHOWMAXIMIZED);
            break;
        case 5:
            ShowWindow(SW_SHOW);
            break;
        default:
            break;
    }
}

LRESULT CFrameViewer::OnCloseViewer(WPARAM /*wParam*/, LPARAM /*lParam*/)
{
    DestroyWindow();
    return 0;
}

BOOL CFrameViewer::OnCommand(WPARAM wParam, LPARAM lParam)
{
    const UINT id = LOWORD(wParam);
    if (id >= ID_VIEWER_MRU_FIRST && id <= ID_VIEWER_MRU_LAST) {
        const CString path = m_RecentFiles[id - ID_VIEWER_MRU_FIRST];
        // The same close permission as "&Open...": pending changes are asked about first.
        if (path.IsEmpty() || (m_nPendingSaves == 0 && !IsNewFile())) {
            CloseAll();
            m_wndToolBar.Invalidate();
            LoadNewFileEx(path, 0);
        } else {
            // Only a job that starts here carries the path; a refused one leaves nothing behind.
            if (m_nFrameJob.load() == 0 && !m_MeterInfo.IsRunning()) {
                m_strPendingRecent = path;
                StartFrameJob(kJobButtonLoad);
            }
        }
        return TRUE;
    }
    return CFrameWnd::OnCommand(wParam, lParam);
}

void CFrameViewer::OnClose()
{
    m_ViewRect.StopOutline();
    Default();
}

void CFrameViewer::OnChar(UINT nChar, UINT /*nRepCnt*/, UINT /*nFlags*/)
{
    if (nChar == 27) m_MeterInfo.AskStop();
    Default();
}

BOOL CFrameViewer::OnHelpInfo(HELPINFO* /*pHelpInfo*/)
{
    CallHelpSystem(this, HelpPage());
    return TRUE;
}

void CFrameViewer::OnNcLButtonDown(UINT nHitTest, CPoint /*point*/)
{
    if (nHitTest >= 9 && nHitTest <= 17) m_bBorderPressed = true;
    Default();
}

void CFrameViewer::OnCaptureChanged(CWnd* /*pWnd*/)
{
    if (m_bBorderPressed) {
        m_bBorderPressed = false;
        RecalcLayout();
        m_ViewRect.RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    }
    Default();
}

// --- enabling ----------------------------------------------------------------------------------------------

void CFrameViewer::OnUpdateCommand(CCmdUI* pCmdUI)
{
    const CommandRule* rule = FindRule(pCmdUI->m_nID);
    if (!rule) {
        pCmdUI->ContinueRouting();
        return;
    }
    bool enabled = (m_nMenuFlags & rule->bits) == rule->bits;
    switch (rule->when) {
        case When::Always:
            break;
        case When::Pending:
            enabled = enabled && m_nPendingSaves != 0;
            break;
        case When::Selection:
            enabled = enabled && (IsTableShown() ? m_pValueGrid && m_pValueGrid->IsLayerMode()
                                                 : m_ViewRect.GetSelKind() != CViewRect::kSelNone);
            break;
        case When::TableShown:
            enabled = enabled && IsTableShown();
            break;
        case When::PictureShown:
            enabled = enabled && !IsTableShown();
            break;
        case When::GridLayerData:
            enabled = enabled && m_pValueGrid && m_pValueGrid->IsLayerMode();
            break;
        case When::HistogramWnd:
            enabled = enabled && m_pHistFrame;
            break;
        case When::CorrectionDlg:
            enabled = enabled && m_pColorCorrectionDlg;
            break;
        case When::PointerDlg:
            enabled = enabled && m_pCoordPointerDlg;
            break;
        case When::LogicalDlg:
            enabled = enabled && m_pLogicalCoordsDlg;
            break;
        case When::DataInfoDlg:
            enabled = enabled && m_pDataInfoDlg;
            break;
        case When::ScaleWnd:
            enabled = enabled && m_pScaleWnd;
            break;
        case When::ScaleShown:
            enabled = enabled && m_pScaleWnd && (m_nFlags & kFrameScale);
            break;
        case When::SingleBand:
            enabled = enabled && GetColorMode() == 1;
            break;
    }
    pCmdUI->Enable(enabled ? TRUE : FALSE);

    int checked = 0;
    switch (rule->check) {
        case Check::None:
            break;
        case Check::Flag:
            checked = (m_nFlags & rule->flag) ? 1 : 0;
            break;
        case Check::TableShown:
            checked = IsTableShown() ? 1 : 0;
            break;
        case Check::PictureShown:
            checked = IsTableShown() ? 0 : 1;
            break;
        case Check::Component:
            checked =
                (m_nMenuFlags & kMenuComplex) && GetComplexMode(1) == static_cast<int>(rule->flag) ? 1 : 0;
            break;
        case Check::FullComponent:
            checked = (m_nMenuFlags & kMenuComplex) && IsTableShown() && GetComplexMode(1) == 4 ? 1 : 0;
            break;
        case Check::Coloring:
            checked = m_bColoring ? 1 : 0;
            break;
    }
    if (rule->check != Check::None) pCmdUI->SetCheck(checked);
}

// --- commands
// -------------------------------------------------------------------------------------------------

void CFrameViewer::OnFrameCommand(UINT id)
{
    for (const ToolRule& tool : kToolRules) {
        if (tool.id != id) continue;
        if (id == ID_VIEWER_MEASURE)
            OnButtonMeasure();
        else
            SelectTool(tool.mode, tool.button, tool.selection);
        return;
    }
    if (const FrameCommandRow* row = FrameViewerCommands::Find(id)) row->action(*this, id);
}

void CFrameViewer::OnEditCopy()
{
    if (IsTableShown()) {
        if (m_pValueGrid) m_pValueGrid->OnEditCopy();
    } else {
        m_ViewRect.CopyToClipboard(1);
    }
}

void CFrameViewer::OnEditPaste()
{
    if (IsTableShown() && m_pValueGrid) m_pValueGrid->OnEditPaste();
}

// --- the tool group
// ---------------------------------------------------------------------------------------------

void CFrameViewer::SelectTool(int mode, UINT id, bool releaseSelections)
{
    if (m_wndToolBar.GetSafeHwnd()) {
        CToolBarCtrl& bar = m_wndToolBar.GetToolBarCtrl();
        for (UINT button : kPlainToolButtons) bar.CheckButton(static_cast<int>(button), FALSE);
        if (releaseSelections)
            for (UINT button : kSelectionToolButtons) bar.CheckButton(static_cast<int>(button), FALSE);
        bar.CheckButton(static_cast<int>(id), TRUE);
    }
    m_nToolButton = id;
    m_nFlags &= ~kFrameMeasure;
    if (IsTableShown()) {
        if (m_pValueGrid) m_pValueGrid->SetToolCursor(mode);
    } else {
        m_ViewRect.SetToolMode(mode);
    }
}

void CFrameViewer::OnButtonArrowCursor()
{
    SelectTool(1, ID_VIEWER_CENTER, false);
}
void CFrameViewer::OnButtonMinusCursor()
{
    SelectTool(2, ID_VIEWER_ZOOM_OUT, false);
}
void CFrameViewer::OnButtonPlusCursor()
{
    SelectTool(3, ID_VIEWER_ZOOM_IN, false);
}
void CFrameViewer::OnButtonSrezXCursor()
{
    SelectTool(4, ID_VIEWER_PROFILE_X, false);
}
void CFrameViewer::OnButtonSrezYCursor()
{
    SelectTool(5, ID_VIEWER_PROFILE_Y, false);
}
void CFrameViewer::OnButtonSelection()
{
    SelectTool(7, ID_VIEWER_FREEHAND_SELECTION, true);
}
void CFrameViewer::OnButtonPolyselection()
{
    SelectTool(8, ID_VIEWER_POLYGON_SELECTION, true);
}
void CFrameViewer::OnButtonRectselection()
{
    SelectTool(9, ID_VIEWER_RECT_SELECTION, true);
}
void CFrameViewer::OnButtonMoveSelection()
{
    SelectTool(11, ID_VIEWER_MOVE_SELECTION, true);
}

void CFrameViewer::OnButtonMeasure()
{
    if (m_nFlags & kFrameMeasure) return;
    SelectTool(13, ID_VIEWER_MEASURE, true);
    m_nFlags |= kFrameMeasure;
}

// --- the tool-window toggles
// ----------------------------------------------------------------------------------

void CFrameViewer::OnButtonViewerHist()
{
    if (m_nFlags & kFrameHistogram) {
        m_nFlags &= ~kFrameHistogram;
        ShowToolWindow(m_pHistFrame, false);
    } else if (m_pHistFrame) {
        m_nFlags |= kFrameHistogram;
        ShowToolWindow(m_pHistFrame, true);
    }
}

void CFrameViewer::OnButtonAdjust()
{
    if (m_nFlags & kFrameColorCorrection) {
        m_nFlags &= ~kFrameColorCorrection;
        ShowToolWindow(m_pColorCorrectionDlg, false);
    } else if (m_pColorCorrectionDlg) {
        m_nFlags |= kFrameColorCorrection;
        m_pColorCorrectionDlg->SetMode(GetColorMode() == 2 ? 2 : 1);
        ShowToolWindow(m_pColorCorrectionDlg, true);
    }
}

void CFrameViewer::OnButtonPointer()
{
    if (m_nFlags & kFramePointer) {
        m_ViewRect.TurnOffPointer(1);
        ShowToolWindow(m_pCoordPointerDlg, false);
        m_nFlags &= ~(kFramePointer | kFramePointerDlg);
    } else {
        m_ViewRect.TurnOnPointer(1);
        m_nFlags |= kFramePointer;
        if (m_pCoordPointerDlg) {
            ShowToolWindow(m_pCoordPointerDlg, true);
            m_nFlags |= kFramePointerDlg;
        }
    }
}

void CFrameViewer::OnMenuPointer()
{
    if (m_nFlags & kFramePointerDlg) {
        ShowToolWindow(m_pCoordPointerDlg, false);
        m_nFlags &= ~kFramePointerDlg;
    } else if (!(m_nFlags & kFramePointer)) {
        OnButtonPointer();
    } else if (m_pCoordPointerDlg) {
        ShowToolWindow(m_pCoordPointerDlg, true);
        m_nFlags |= kFramePointerDlg;
    }
}

void CFrameViewer::OnButtonPalette()
{
    if (m_nFlags & kFramePalette) {
        m_nFlags &= ~kFramePalette;
        CSelectHuebookDlg* dialog = m_pPaletteDlg;
        m_pPaletteDlg = nullptr;
        if (dialog && dialog->GetSafeHwnd()) dialog->DestroyWindow();  // the dialog frees itself
        return;
    }
    if (GetColorMode() != 1) return;
    m_pPaletteDlg = CreateSelectHuebookDlg(this);
    if (!m_pPaletteDlg) return;
    m_nFlags |= kFramePalette;
    UpdateColorMapDlgInfo();
}

void CFrameViewer::OnButtonPropertyChange()
{
    if (m_nFlags & kFrameLogicalCoords) {
        m_nFlags &= ~kFrameLogicalCoords;
        ShowToolWindow(m_pLogicalCoordsDlg, false);
        RedrawView();
    } else if (m_pLogicalCoordsDlg) {
        m_nFlags |= kFrameLogicalCoords;
        ShowToolWindow(m_pLogicalCoordsDlg, true);
    }
}

void CFrameViewer::OnButtonViewerInfo()
{
    if (m_nFlags & kFrameDataInfo) {
        m_nFlags &= ~kFrameDataInfo;
        ShowToolWindow(m_pDataInfoDlg, false);
    } else if (m_pDataInfoDlg) {
        m_nFlags |= kFrameDataInfo;
        m_pDataInfoDlg->SetMode(GetColorMode() == 2 ? 2 : 1);
        ShowToolWindow(m_pDataInfoDlg, true);
    }
}

void CFrameViewer::OnMenuScale()
{
    if (m_nFlags & kFrameScale) {
        m_nFlags &= ~kFrameScale;
        ShowToolWindow(m_pScaleWnd, false);
    } else if (m_pScaleWnd) {
        m_nFlags |= kFrameScale;
        m_pScaleWnd->Reposition();
        ShowToolWindow(m_pScaleWnd, true);
    }
}

// --- table and picture views
// -------------------------------------------------------------------------------------

bool CFrameViewer::IsTableShown() const
{
    return m_pValueGrid && m_pValueGrid->GetSafeHwnd() &&
           static_cast<UINT>(m_pValueGrid->GetDlgCtrlID()) == AFX_IDW_PANE_FIRST;
}

void CFrameViewer::ShowTable()
{
    if (!m_pValueGrid) return;
    SetNewMenu(m_pTextMenu);
    SetTextToolBar();
    m_pValueGrid->SetDlgCtrlID(static_cast<int>(AFX_IDW_PANE_FIRST));
    m_ViewRect.SetDlgCtrlID(static_cast<int>(kPaneSecond));
    m_ViewRect.ShowWindow(SW_HIDE);
    m_pValueGrid->Update(&m_ViewRect);
    const int component = m_ViewRect.GetComplexMode(1);
    if (component >= 0) ShowComplexComponent(component);
    m_pValueGrid->ShowWindow(SW_SHOW);
    RecalcLayout();
    const CPoint pointer = m_ViewRect.GetPointerPos();
    m_pValueGrid->GoToCell(pointer.x, pointer.y);
    m_wndStatusBar.Invalidate();
}

void CFrameViewer::ShowPicture()
{
    SetNewMenu(m_pImageMenu);
    SetPaletteIamgeToolBar();
    m_ViewRect.SetDlgCtrlID(static_cast<int>(AFX_IDW_PANE_FIRST));
    if (m_pValueGrid) {
        m_pValueGrid->SetDlgCtrlID(static_cast<int>(kPaneSecond));
        m_pValueGrid->ShowWindow(SW_HIDE);
    }
    m_ViewRect.ShowWindow(SW_SHOW);
    RecalcLayout();
    if (!m_pValueGrid) return;
    const CPoint focus = m_pValueGrid->GetFocusPos();
    m_ViewRect.SetPointerPos(focus.x, focus.y);
    const int gridComponent = m_pValueGrid->GetComplexComponent();
    if (m_ViewRect.IsComplex(1) && gridComponent != m_ViewRect.GetComplexMode(1))
        ShowComplexComponent(gridComponent);
    else
        m_wndStatusBar.Invalidate();
}

void CFrameViewer::ShowComplexComponent(int component)
{
    if (!m_ViewRect.IsComplex(1) || component < 0 || component > 4) return;
    const int shown = m_ViewRect.GetComplexMode(1);
    if (IsTableShown()) {
        if (m_pValueGrid) m_pValueGrid->SetComplexComponent(component);
    } else if (component != 4 && component != shown) {
        ReloadFileWithNewParams(component, -1.0, -1.0, -1);
    }
    UpdateTitle();
    SendIfWindow(m_pHistFrame, WM_VIEWER, 0, 11);
}

void CFrameViewer::UpdateTitle()
{
    CString name = m_CurrentFile.name;
    if (name.IsEmpty()) name = m_ViewRect.GetLayerName();
    CString title;
    if (name.IsEmpty() || !m_ViewRect.GetActiveView()) {
        if (!title.LoadString(IDS_VIEWER_NO_FILE)) title = "Viewer: no file";
    } else {
        title = name;
        const int component = GetComplexMode(1);
        if (m_ViewRect.IsComplex(1) && component >= 0 &&
            component < static_cast<int>(std::size(kComponentNames))) {
            title += " - ";
            title += kComponentNames[component];
        }
    }
    SetTitle(title);
    SetWindowText(title);
}

void CFrameViewer::UpdateColorMapDlgInfo()
{
    if (!m_pPaletteDlg || !m_pPaletteDlg->GetSafeHwnd()) return;
    CVirtualView* view = m_ViewRect.GetActiveView();
    const int mode = m_ViewRect.GetComplexMode(1);
    SHuebookDlgInfo info;
    info.fileName = m_ViewRect.GetFileName(1);
    info.current = m_ViewRect.GetColorMap();
    info.modeMap = m_ViewRect.GetModeColorMap(mode >= 0 && mode < 4 ? kModeTags[mode] : kModeTags[0]);
    info.reserved = 0;
    info.low = view ? view->GetDisplayMin(1) : 0.0;
    info.high = view ? view->GetDisplayMax(1) : 0.0;
    m_pPaletteDlg->SendMessage(WM_HUEBOOK_INFO, 0, reinterpret_cast<LPARAM>(&info));
}

void CFrameViewer::StartTuneRepresentationDlg()
{
    CVirtualView* view = m_ViewRect.GetActiveView();
    if (!view) return;
    // The dialog shows the statistics: after an edit they are computed first, and the
    // statistics job's report (kind 7) opens the dialog; a busy view opens nothing.
    if (m_ViewRect.CalcStatistics(7, &m_MeterInfo, &m_wndStatusBar, 1) != 1) return;
    const int kind = m_ViewRect.GetViewKind();
    const int channels[3] = {kind == 2 ? 3 : 1, 4, 5};
    const int count = kind == 2 ? 3 : 1;

    CHistTrimDlg dialog(this);
    dialog.SetColorMode(kind == 2 ? 2 : 1);
    for (int i = 0; i < count; ++i) {
        const int channel = channels[i];
        TuneTrimData data;
        data.name = view->GetFileName(channel);
        data.dataType = view->GetDataType(channel);
        data.complexMode = view->GetComplexMode(channel);
        if (const unsigned* histogram = view->GetHistAddr(channel, 1))
            for (int level = 0; level < 256; ++level) data.histogram[level] = histogram[level];
        data.minimum = view->Min(channel);
        data.maximum = view->Max(channel);
        data.mean = view->Mean(channel);
        data.stdDev = view->StDev(channel);
        data.highBound = view->GetDisplayMax(channel);
        data.lowBound = view->GetDisplayMin(channel);
        data.method = view->GetStretchMethod(channel);
        dialog.SetChannelData(&data, channel);
    }
    if (dialog.DoModal() != IDOK) return;

    if (kind != 2) {
        ReloadFileWithNewParams(view->GetComplexMode(1), dialog.GetLowBound(), dialog.GetHighBound(),
                                dialog.GetMethod());
        return;
    }
    ViewResultParam records[3];
    for (int i = 0; i < 3; ++i) {
        const int channel = channels[i];
        const TuneTrimData* data = dialog.GetChannelSlot(channel);
        records[i].fileName = view->GetFileName(channel);
        records[i].component = view->GetComplexMode(channel);
        if (data) {
            records[i].stretchLow = data->lowBound;
            records[i].stretchHigh = data->highBound;
            records[i].stretchMethod = data->method;
        }
    }
    m_ViewRect.StartTuneRepresentation(&records[0], &records[1], &records[2]);
}

// --- private messages
// -------------------------------------------------------------------------------------------------

LRESULT CFrameViewer::OnViewer(WPARAM wParam, LPARAM lParam)
{
    const int code = static_cast<int>(lParam);
    switch (code) {
        case 2: {
            std::unique_ptr<CViewNotify> notify = TakeNotify(wParam);
            const int kind = notify ? notify->m_nArg : 0;
            FreezForInput(0);
            UpdateEnablingForShown();
            ShowProgressBar(0);
            SetStatusPaneTexts("100 %", CString(), CString(), CString());
            UpdateTitle();
            if (m_pScaleWnd) {
                PalitraTag palette;
                GetPalitra(&palette);
                m_pScaleWnd->SetPalette(&palette);
                if (CVirtualView* view = m_ViewRect.GetActiveView())
                    m_pScaleWnd->SetValueRange(view->GetDisplayMin(1), view->GetDisplayMax(1));
            }
            SendIfWindow(m_pValueGrid, WM_VIEWER, 0, 2);
            if (GetColorMode() == 2) {
                if (GetMenu() != m_pRGBMenu) SetNewMenu(m_pRGBMenu);
                SetRGBToolBar();
            } else if (GetMenu() == m_pRGBMenu) {
                SetNewMenu(m_pImageMenu);
                SetPaletteIamgeToolBar();
            }
            if (kind == 3 || m_bShowPictureAfterReload) {
                m_bShowPictureAfterReload = false;
                ShowPicture();
                SendIfWindow(m_pHistFrame, WM_VIEWER, 0, 10);
                UpdateColorMapDlgInfo();
                return 1;
            }
            if (kind == 15) {
                SendIfWindow(m_pHistFrame, WM_VIEWER, 0, 10);
                return 1;
            }
            if (m_pParent && m_pParent->GetSafeHwnd())
                m_pParent->PostMessage(WM_VIEWER, static_cast<WPARAM>(m_nNotifyId), 2);
            EnableMenuItems(m_ViewRect.IsComplex(1) ? 1 : 0, static_cast<int>(kMenuComplex));
            if (m_pValueGrid) m_pValueGrid->Update(&m_ViewRect);
            if (kind == 6) {
                m_nPendingSaves |= kSaveData;
                ShowComplexComponent(4);
            } else if (GetColorMode() == 1) {
                const CString file = m_ViewRect.GetFileName(1);
                if (!file.IsEmpty()) AddRecentFileList(file);
            }
            UpdateColorMapDlgInfo();
            return 1;
        }
        case 3: {
            TakeNotify(wParam);
            FreezForInput(0);
            EnableMenuItems(0, static_cast<int>(kMenuAll));
            EnableMenuItems(1, static_cast<int>(kMenuNewOpen | kMenuOpenRgb));
            m_bShowPictureAfterReload = false;
            m_CurrentFile = CurrentFile{};
            UpdateTitle();
            MessageBox("Error opening file !", nullptr, MB_ICONEXCLAMATION);
            if (m_pParent && m_pParent->GetSafeHwnd())
                m_pParent->PostMessage(WM_VIEWER, static_cast<WPARAM>(m_nNotifyId), 3);
            EnableMenuItems(0, static_cast<int>(kMenuComplex));
            return 1;
        }
        case 6: {
            TakeNotify(wParam);
            SendIfWindow(m_pValueGrid, WM_VIEWER, 0, 6);
            SendIfWindow(m_pHistFrame, WM_VIEWER, reinterpret_cast<WPARAM>(m_ViewRect.GetColorMap()), 6);
            if (m_pScaleWnd) {
                PalitraTag palette;
                GetPalitra(&palette);
                m_pScaleWnd->SetPalette(&palette);
            }
            return 1;
        }
        case 9: {
            std::unique_ptr<CViewNotify> notify = TakeNotify(wParam);
            const int kind = notify ? notify->m_nArg : 0;
            if (kind == 5) SendIfWindow(m_pHistFrame, WM_VIEWER, 0, 9);
            SendIfWindow(m_pDataInfoDlg, WM_VIEWER, 0, 9);
            switch (kind) {
                case 1:
                    ReloadFileWithNewParams(-1, -1.0, -1.0, -1);
                    break;
                case 4:
                    // Only a reload that was asked for has a record; without one there is nothing to do.
                    if (std::unique_ptr<ViewResultParam> reload{m_pReloadParam}) {
                        m_pReloadParam = nullptr;
                        ReloadFileWithNewParams(reload->component, reload->stretchLow, reload->stretchHigh,
                                                reload->stretchMethod);
                    }
                    break;
                case 8:
                    ButtonSave();
                    break;
                case 14:
                    SaveAs(CString());
                    break;
                case 7:
                    StartTuneRepresentationDlg();
                    break;
                default:
                    break;
            }
            return 1;
        }
        case 10:
            TakeNotify(wParam);
            SendIfWindow(m_pValueGrid, WM_VIEWER, 0, 10);
            return 1;
        case 11:
            // The cell position stays the sender's.
            SendIfWindow(m_pValueGrid, WM_VIEWER, wParam, 11);
            return 1;
        case 12:
            FreezForInput(0);
            UpdateEnablingForShown();
            RedrawView();
            m_wndStatusBar.RedrawWindow();
            if (m_pValueGrid) m_pValueGrid->RedrawWindow();
            return 1;
        default:
            return 0;
    }
}

LRESULT CFrameViewer::OnDlgMessage(WPARAM wParam, LPARAM lParam)
{
    switch (static_cast<int>(wParam)) {
        case 1: {
            const auto* tables = reinterpret_cast<const BYTE*>(lParam);
            if (!tables) break;
            if (GetColorMode() == 2) {
                for (int channel = 0; channel < 3; ++channel)
                    m_ViewRect.SetCorrectionTable(tables + 256 * channel, 3 + channel);
            } else {
                m_ViewRect.SetCorrectionTable(tables, 1);
            }
            break;
        }
        case 3:
            if (m_nFlags & kFrameColorCorrection) OnButtonAdjust();
            break;
        case 4:
            if (m_nFlags & kFrameHistogram) OnButtonViewerHist();
            break;
        case 5:
            m_nFlags &= ~kFramePointerDlg;
            break;
        case 6: {
            // The dialog has set the pointer; bring it into view.
            const CPoint pointer = GetPointerPos();
            if (IsTableShown())
                m_pValueGrid->GoToCell(pointer.x, pointer.y);
            else if (m_ViewRect.GetActiveView())
                m_ViewRect.RecenterOn(pointer.x, pointer.y);
            break;
        }
        case 8:
            if (CVirtualView* view = m_ViewRect.GetActiveView()) view->SetStatsDirty(TRUE);
            m_nPendingSaves |= kSaveData;
            break;
        case 10:
            if (m_nFlags & kFrameDataInfo) OnButtonViewerInfo();
            break;
        case 12:
            if (m_nFlags & kFramePalette) OnButtonPalette();
            break;
        case 14:
            if (m_nFlags & kFrameLogicalCoords) OnButtonPropertyChange();
            break;
        case 15:
        case 25:
            m_nPendingSaves |= static_cast<UINT>(lParam);
            break;
        case 16:
            m_nPendingSaves &= ~static_cast<UINT>(lParam);
            break;
        case 20:
            if (!(IsTableShown() && GetComplexMode(1) == 4)) {
                m_ViewRect.SetPaletteMode(reinterpret_cast<CColorMap*>(lParam));
                m_nPendingSaves |= kSavePalette;
            }
            break;
        case 24:
            m_pFilePropertiesDlg = nullptr;
            if (CMenu* menu = GetMenu())
                menu->CheckMenuItem(ID_VIEWER_FILE_PROPERTIES, MF_BYCOMMAND | MF_UNCHECKED);
            break;
        case 13:
        case 28:
            // The dialog that showed the measure figure is gone: refreshing the figure would
            // write into it, so the figure ends with it.
            m_nFlags &= ~kFrameMeasure;
            m_ViewRect.RemoveMeasure();
            break;
        default:
            break;
    }
    return 1;
}

LRESULT CFrameViewer::OnViewerMeterInfo(WPARAM wParam, LPARAM /*lParam*/)
{
    if (wParam == 1) {
        if (m_pValueGrid) m_pValueGrid->EnableWindow(FALSE);
        ShowProgressBar(SW_SHOW);
    } else if (wParam == 2) {
        ShowProgressBar(0);
        if (m_pValueGrid) m_pValueGrid->EnableWindow(TRUE);
    }
    return 1;
}

LRESULT CFrameViewer::OnViewRectMessage(WPARAM wParam, LPARAM /*lParam*/)
{
    if (m_nFrozen) return 0;
    switch (wParam) {
        case 1: {
            char texts[4][256] = {};
            m_ViewRect.GetStatusTexts(texts[0], 256, texts[1], 256, texts[2], 256, texts[3], 256);
            SetStatusPaneTexts(texts[0], texts[1], texts[2], texts[3]);
            break;
        }
        case 2:
            if (m_pCoordPointerDlg && m_pCoordPointerDlg->GetSafeHwnd())
                m_pCoordPointerDlg->PostMessage(WM_DLGMESSAGE, 27, 0);
            break;
        case 3:
            SendMessage(WM_DLGMESSAGE, 15, kSaveLogicalCoords);
            SendIfWindow(m_pValueGrid, WM_VIEWER, 0, 4);
            break;
        default:
            break;
    }
    return 1;
}

LRESULT CFrameViewer::OnTextViewRect(WPARAM wParam, LPARAM /*lParam*/)
{
    if (m_nFrozen || wParam != 1 || !m_pValueGrid) return 0;
    CString a, b, c;
    m_pValueGrid->OnTextViewRect(a, 256, b, 256, c, 256);
    SetStatusPaneTexts(CString(), a, b, c);
    return 1;
}
