#pragma once

// The command window: a strip at the top of the screen with the menu row, the MAIN row
// (one selector per tool-bar page) and the page row. It routes commands, opens viewers,
// keeps its height fixed, tracks the hot button and runs the program's exit.

#include "app/toolbars/toolbar_band.h"
#include "platform/dialogs/dialog.h"
#include "platform/gdi/gdi_objects.h"
#include "platform/menu/menu.h"

/// Button sizes of the MAIN row and of the page row at the given dots per inch.
struct CommandRowSizes {
    int mainWidth;
    int mainHeight;
    int pageWidth;
    int pageHeight;
};
CommandRowSizes ComputeCommandRowSizes(int dpiX, int dpiY);

class CGolovaDlg : public CDialog {
public:
    explicit CGolovaDlg(CWnd* pParent = nullptr);
    ~CGolovaDlg() override;

    /// 1 until a "DisableView" group: the window then opens no empty viewer when it starts.
    int m_bStartViewer = 1;
    /// 1 once "Main Dialog Initialized..." reached the splash window.
    int m_bInitialized = 0;

    /// Opens a viewer on the file; an empty name opens an empty viewer. Once the splash
    /// window has been told, the viewer fills the desktop below this window.
    void OpenViewer(const CString& fileName);
    /// Shows tool-bar page `index` (0 FILES, 1 PROCESSING, 2 ANALYSE, 3 UTIL).
    void SelectPage(int index);
    /// The command of a page selector: shows its page unless that page is shown already.
    void SelectPageOf(UINT selectorId);
    /// Asks "Exit Tarvenix ?" and, on Yes, ends the program.
    void ConfirmExit() { OnClose(); }
    /// Runs the About box modally.
    void ShowAboutBox();
    int GetCurrentPage() const { return m_currentPage; }
    /// The outer height the window keeps.
    int GetFixedHeight() const { return m_fixedHeight; }
    /// Button sizes this window was built with.
    const CommandRowSizes& GetRowSizes() const { return m_rowSizes; }
    /// True from the confirmed exit question until the program's windows are gone.
    bool IsExiting() const { return m_bExiting; }
    /// The child that last reported the mouse over it (null when none).
    CWnd* GetHotChild() const { return m_pHotChild; }
    /// The rows: 0 the menu row, 1 the MAIN row, 2 the page row.
    CToolBarBand& GetBand(int row) { return row == 0 ? m_menuBand : row == 1 ? m_mainBand : m_pageBand; }
    /// The tool-bar window of page `index` (null out of range).
    CToolBarWindow* GetPageWindow(int index) const
    {
        return index >= 0 && index < m_pageCount ? m_pages[index] : nullptr;
    }

protected:
    BOOL OnInitDialog() override;
    void OnOK() override {}
    void OnCancel() override;

    void OnPaint();
    HCURSOR OnQueryDragIcon();
    void OnSysCommand(UINT nID, LPARAM lParam);
    void OnSize(UINT nType, int cx, int cy);
    void OnSizing(UINT fwSide, LPRECT pRect);
    void OnMove(int x, int y);
    void OnMouseMove(UINT nFlags, CPoint point);
    void OnTimer(UINT_PTR nIDEvent);
    BOOL OnHelpInfo(HELPINFO* pHelpInfo);
    void OnClose();
    LRESULT OnChildHot(WPARAM wParam, LPARAM lParam);
    /// Every command of the menu bar and the pages: FALSE for an id without a row.
    BOOL OnTableCommand(UINT nID);
    DECLARE_MESSAGE_MAP()

private:
    /// Builds the three rows from y = 0 down; returns the widest row's content width and
    /// sets `bottom` to the y below the last row.
    int BuildRows(int& bottom);
    /// Lays out the rows again after a change of width.
    void LayoutRows();
    /// Forgets the hot child when the cursor has left it.
    void DropHotChildIfLeft();
    /// The exit after a confirmed question: see ContinueExit.
    void BeginExit();
    /// Ends the program once every viewer is gone and no job runs.
    void ContinueExit();
    void FinishExit();

    HICON m_hIcon = nullptr;
    CFont* m_pFontArray[1] = {nullptr};
    int m_fontHeight = 0;
    CMenu m_menuPages;
    CToolBarBand m_menuBand;
    CToolBarBand m_mainBand;
    CToolBarBand m_pageBand;
    CToolBarWindow m_menuWindow;
    CToolBarWindow m_mainWindow;
    CToolBarWindow* m_pages[kMaxToolBarPages] = {};
    int m_pageCount = 0;
    int m_currentPage = 0;
    int m_rowWidths[3] = {0, 0, 0};
    int m_fixedHeight = 0;
    CommandRowSizes m_rowSizes{};
    CWnd* m_pHotChild = nullptr;
    bool m_bMinimized = false;
    bool m_bExiting = false;
    int m_idleExitChecks = 0;
    bool m_bClosedAgain = false;
};
