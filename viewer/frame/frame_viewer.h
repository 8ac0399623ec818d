#pragma once

// The viewer frame: the top-level window every opened layer file lands in. It owns its view
// window (the image area) as a member, makes its tool windows once at creation and shows
// them by toggle commands, switches its menu bar and tool bar with what is shown (a
// single-band layer, an RGB composite or the table view), shows the read-out and a job's
// progress in its status bar, and keeps the recent-file block of its File menu. Its tool
// windows know it only as their host (viewer_host.h).
//
// A frame is always allocated on the heap, frees itself when its window is destroyed, and
// nobody keeps its pointer. Creation, menus, bars and the recent files are in
// frame_viewer_create.cpp; commands and messages in frame_viewer_commands.cpp; queries in
// frame_viewer_queries.cpp; loading, saving and closing in frame_viewer_files.cpp and
// frame_viewer_close.cpp.

#include <atomic>

#include "outside/huebook/color_struct.h"
#include "platform/controls/progress_ctrl.h"
#include "platform/frame/frame_wnd.h"
#include "platform/frame/re_bar.h"
#include "platform/frame/status_bar.h"
#include "platform/frame/tool_bar.h"
#include "viewer/analysis/viewer_host.h"
#include "viewer/frame/frame_viewer_ids.h"
#include "viewer/core/view_rect.h"
#include "viewer/core/view_result_param.h"
#include "viewer/core/viewer_messages.h"
#include "viewer/core/viewer_meter_info.h"

class CColorCorrectionDlg;
class CCoordPointerDlg;
class CDataInfoDlg;
class CFilePropertiesDlg;
class CHistFrame;
class CLogicalCoordsDlg;
class CMeterInfoBase;
class CScaleMarkWnd;
class CSelectHuebookDlg;
class CValueGridPane;
class CVectorImage;

class CFrameViewer : public CFrameWnd, public CViewerHost {
    friend struct FrameViewerCommands;

public:
    /// Every pointer and number 0, no recent-file separator, no current file.
    CFrameViewer();
    /// Removes the view window's layers, then destroys the three menus.
    ~CFrameViewer() override;
    /// How many frames exist now (the main program waits for none to be left at exit).
    static int LiveCount() { return s_nLive; }

    // --- creation, menus and bars -----------------------------------------------------------------
    /// Creates the frame's window (an unowned, visible top-level window) and loads `fileName`
    /// when it is not empty. `parent` and `notifyId` name who hears of the load (WM_VIEWER
    /// codes 2 and 3). Returns 1; 0 when the window could not be created, in which case the
    /// object has already been deleted and must not be touched.
    int Create(const char* fileName, CWnd* parent, int notifyId, int component, double stretchLow,
               double stretchHigh, int stretchMethod, const RECT* frameRect);
    BOOL PreCreateWindow(CREATESTRUCT& cs) override;

    /// The three menu bars, each cut from menu 227 (the caller owns the result).
    CMenu* LoadTextMenu();
    CMenu* LoadImageMenu();
    CMenu* LoadRGBMenu();
    /// Makes `menu` the menu bar and rebuilds the recent-file block in it.
    void SetNewMenu(CMenu* menu);
    /// Reload tool bar 230 and hide the buttons that do not apply.
    void SetPaletteIamgeToolBar();
    void SetRGBToolBar();
    void SetTextToolBar();
    /// Enables (`enable` nonzero) or greys the items of the bits in `mask` and sets or clears
    /// those bits in the menu flags.
    void EnableMenuItems(int enable, int mask);
    UINT GetMenuFlags() const { return m_nMenuFlags; }

    /// Rebuilds the recent-file block of the File menu from the registry list.
    void UpdateMRUList();
    /// Puts `path` first in the recent files and rebuilds the block.
    void AddRecentFileList(CString path);
    /// The path behind recent-file entry `index` (0-based); empty when none.
    CString GetRecentFile(int index) const;

    /// Shows (SW_SHOW) or hides (0) the progress bar and lays the status panes out for it.
    void ShowProgressBar(int show);
    CStatusBar* GetStatusBar() { return &m_wndStatusBar; }
    CToolBar* GetToolBar() { return &m_wndToolBar; }
    CProgressCtrl* GetProgressCtrl() { return &m_wndProgress; }

    // --- loading, saving and closing ----------------------------------------------------------------
    void LoadNewFile(const char* file, int component, double stretchLow, double stretchHigh,
                     int stretchMethod, int openMode = 0);
    int LoadNewLayer(const char* file, int component, double stretchLow, double stretchHigh,
                     int stretchMethod, int openMode);
    int LoadNewLayer(const char* name, void* samples, int width, int height, int type,
                     unsigned char* correction, PalitraTag* palette, double low, double high,
                     CMeterInfoBase* meter, CStatusBar* status);
    int LoadNewLayer(ViewResultParam* red, ViewResultParam* green, ViewResultParam* blue);
    int LoadNewLayer(CVectorImage* vectors);
    void LoadNewFileEx(CString file, int component);
    /// Reopens the current layer with new stretch values; nonzero when it was reopened.
    int ReloadFileWithNewParams(int component, double stretchLow, double stretchHigh, int stretchMethod);
    void ButtonLoad();
    void ButtonLoadRGB();
    void ButtonNew();

    int IsNewFile();
    int PreSave(int code);
    int Save();
    int SaveAs(CString proposedName);
    /// Writes the tags of the pending saves; nonzero when every one was written (the bits
    /// whose write failed stay pending).
    int SaveTags(CString file);
    void ButtonSave();
    int VerifySaveChanges();
    int ClosePermission(int code);
    int CloseAll();
    BOOL DestroyWindow() override;
    void FreezForInput(int freeze) override;
    /// Starts frame job `code` (kJobCloseView ... kJobButtonLoadRgb) on a worker.
    void StartFrameJob(int code);
    /// The file properties dialog's two texts, kept for the description tags.
    void SetDescriptionTexts(const CString& caption, const CString& description) override;
    UINT GetPendingSaves() const { return m_nPendingSaves; }

    // --- commands and messages ------------------------------------------------------------------------
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    /// The registered "Tarvenix - Viewer Control Message".
    UINT GetControlMessage() const { return m_nControlMessage; }

    /// Switch between the table view and the picture view.
    void ShowTable();
    void ShowPicture();
    /// Shows complex component 0..3, or 4 (the full table).
    void ShowComplexComponent(int component);
    void UpdateColorMapDlgInfo();
    void StartTuneRepresentationDlg();

    // The tool-window toggles.
    void OnButtonViewerHist();
    void OnButtonAdjust();
    void OnButtonPointer();
    void OnButtonPalette();
    void OnButtonPropertyChange();
    void OnButtonViewerInfo();
    void OnMenuScale();
    void OnButtonMeasure();
    void OnMenuPointer();
    // The tool group.
    void OnButtonArrowCursor();
    void OnButtonMinusCursor();
    void OnButtonPlusCursor();
    void OnButtonSrezXCursor();
    void OnButtonSrezYCursor();
    void OnButtonSelection();
    void OnButtonPolyselection();
    void OnButtonRectselection();
    void OnButtonMoveSelection();

    // --- queries ------------------------------------------------------------------------------------------
    int ImageWidth(int component) override;
    int ImageHeight(int component) override;
    double Min(int component);
    double Max(int component);
    double Mean(int component);
    double StDev(int component);
    CString GetStringTypeData(int component);
    CString GetFileName(int component);
    unsigned int* GetHistAddr(int component);
    /// 1 single band with palette, 2 RGB composite, 0 none.
    int GetColorMode() override;
    /// The complex component shown; -1 when none.
    int GetComplexMode(int component) override;
    void GetPalitra(ColorStruct* out);
    /// Fills the colour triplets of `palette` from the active view's display palette.
    void GetPalitra(PalitraTag* palette);
    int GetHistData(int component, unsigned int* counters, int bytes, int bins, CRect rect);
    int GetHistData(int component, unsigned int* counters, int bytes, int bins, HRGN region);
    CPoint SetPointerPos(CPoint p) override;
    CPoint GetPointerPos() override;
    void SetRectFrame(CPoint a, CPoint b, CWnd* source);
    int SetActiveView(int index, int redraw);
    CViewRect* GetViewRect() override { return &m_ViewRect; }
    CViewerMeterInfo* GetMeterInfo() override { return &m_MeterInfo; }
    CWnd* HostWnd() override { return this; }
    /// The file properties dialog while it is open, else null.
    CFilePropertiesDlg* GetFilePropertiesDlg() const { return m_pFilePropertiesDlg; }
    CWnd* GetHistWnd();
    CValueGridPane* GetValueGridPane() { return m_pValueGrid; }
    void RedrawView();
    int GetRespondTable(unsigned char* table, int size);
    /// Closes the active layer's file on a worker ("Close Layer"); 0 without an active layer.
    int SaveRDP();
    /// Moves the working copy to a file the user names; nonzero when it was moved.
    int ReplaceRDP(CString file, CString proposedName);
    /// Posts one message to every tool window that exists; nonzero when every post succeeded.
    int PostMessageAllChild(UINT message, WPARAM wParam, LPARAM lParam);
    /// The box a fault caught while loading is reported in: captioned "Viewer", the fault's name.
    static void ReportLoadFault(DWORD code);

    DECLARE_MESSAGE_MAP()

    int OnCreate(LPCREATESTRUCT lpCreateStruct);
    void OnSize(UINT nType, int cx, int cy);
    void OnMove(int x, int y);
    BOOL OnEraseBkgnd(CDC* pDC);
    void OnClose();
    void OnChar(UINT nChar, UINT nRepCnt, UINT nFlags);
    BOOL OnHelpInfo(HELPINFO* pHelpInfo);
    void OnNcLButtonDown(UINT nHitTest, CPoint point);
    void OnCaptureChanged(CWnd* pWnd);
    void PostNcDestroy() override;

    LRESULT OnViewer(WPARAM wParam, LPARAM lParam);
    LRESULT OnDlgMessage(WPARAM wParam, LPARAM lParam);
    LRESULT OnCloseViewer(WPARAM wParam, LPARAM lParam);
    LRESULT OnViewerMeterInfo(WPARAM wParam, LPARAM lParam);
    LRESULT OnViewRectMessage(WPARAM wParam, LPARAM lParam);
    LRESULT OnTextViewRect(WPARAM wParam, LPARAM lParam);
    LRESULT OnCloseAllowed(WPARAM wParam, LPARAM lParam);
    /// Control message 2..5: minimise, restore, maximise, show.
    void OnSizeCommand(int code);
    /// The enabling and checking of every command, from the menu flags and the frame's state.
    void OnUpdateCommand(CCmdUI* pCmdUI);
    void OnToolCommand(UINT id);
    void OnFrameCommand(UINT id);
    void OnEditCopy();
    void OnEditPaste();

    /// Selects tool `mode` of the view window (or the grid) and presses button `id`.
    void SelectTool(int mode, UINT id, bool releaseSelections);
    /// Four panes at 50, 150, 240 and the width; three thirds with the bar in the second.
    void LayoutStatusPanes();
    /// Whether the table view is shown (the grid holds the first pane id).
    bool IsTableShown() const;
    /// Sets the title from the current file and component.
    void UpdateTitle();
    /// After a job or load: the menu flags follow what is shown (an empty viewer enables only
    /// New, Open and Open RGB; the complex items follow the layer).
    void UpdateEnablingForShown();
    void SetStatusPaneTexts(const CString& a, const CString& b, const CString& c, const CString& d);

    // --- members -------------------------------------------------------------------------------------------
    CWnd* m_pParent = nullptr;  ///< notification window; never the window's parent
    /// Made with new and released by the destructor: a job may outlive its viewer.
    CViewerMeterInfo& m_MeterInfo = *new CViewerMeterInfo;
    CToolBar m_wndToolBar;
    CProgressCtrl m_wndProgress;
    CStatusBar m_wndStatusBar;
    CReBar m_wndReBar;
    CHistFrame* m_pHistFrame = nullptr;
    CColorCorrectionDlg* m_pColorCorrectionDlg = nullptr;
    CCoordPointerDlg* m_pCoordPointerDlg = nullptr;
    CSelectHuebookDlg* m_pPaletteDlg = nullptr;
    CDataInfoDlg* m_pDataInfoDlg = nullptr;
    CLogicalCoordsDlg* m_pLogicalCoordsDlg = nullptr;
    CFilePropertiesDlg* m_pFilePropertiesDlg = nullptr;
    CScaleMarkWnd* m_pScaleWnd = nullptr;
    CViewRect m_ViewRect;
    /// Frames constructed and not yet destroyed; user-interface thread only.
    static inline int s_nLive = 0;
    CValueGridPane* m_pValueGrid = nullptr;
    UINT m_nFlags = 0;
    int m_nNotifyId = 0;
    UINT m_nControlMessage = 0;
    struct CurrentFile {
        CString name;
        int component = -1;
        double low = 0.0;
        double high = 0.0;
    } m_CurrentFile;
    int m_nStretchMethod = 0;
    CString m_RecentFiles[20];
    int m_nRecentSeparator = -1;
    CMenu* m_pRGBMenu = nullptr;
    CMenu* m_pTextMenu = nullptr;
    CMenu* m_pImageMenu = nullptr;
    ViewResultParam* m_pReloadParam = nullptr;
    UINT m_nMenuFlags = 0;
    UINT m_nPendingSaves = 0;
    int m_nFrozen = 0;

    /// The file properties dialog's texts, written as the description tags.
    CString m_strDescriptionCaption;
    CString m_strDescription;
    /// The action code of the frame job that runs, 0 when none: a close request while a
    /// close job asks its questions is ignored.
    std::atomic<int> m_nFrameJob{0};
    /// The tool button pressed (0 none).
    UINT m_nToolButton = 0;
    /// A press on the border started a user's resize.
    bool m_bBorderPressed = false;
    /// The grid colours its cells with the palette.
    bool m_bColoring = false;
    /// The window is being destroyed: handlers that may run during the destruction touch
    /// nothing of it any more.
    bool m_bDestroying = false;
    /// Set by Create while the window is being made: the destructor marks it, so a failed
    /// creation knows whether the object is gone.
    bool* m_pDeletedFlag = nullptr;
    /// A recent file waiting for the close permission of the "Open" job.
    CString m_strPendingRecent;
    /// The picture view is shown when the reload started by "&Image" reports back.
    bool m_bShowPictureAfterReload = false;
};
