#pragma once

// The status bar: a row of text panes at the bottom of a frame. Panes are laid out left to
// right by width (one stretching pane takes what is left), or by right edges in pixels
// (SetParts, -1 for the bar's right end). Child windows such as a progress bar may sit on it.

#include <vector>

#include "platform/frame/control_bar.h"

constexpr UINT SBPS_NORMAL = 0x0000;
constexpr UINT SBPS_NOBORDERS = 0x0100;
constexpr UINT SBPS_POPOUT = 0x0200;
constexpr UINT SBPS_OWNERDRAW = 0x1000;
constexpr UINT SBPS_DISABLED = 0x04000000;
constexpr UINT SBPS_STRETCH = 0x08000000;

class CStatusBar;

/// The pane-level interface of the status bar (what the common control offers).
class PLATFORM_API CStatusBarCtrl {
public:
    explicit CStatusBarCtrl(CStatusBar& bar) : m_bar(bar) {}
    /// nParts panes whose right edges are pWidths (pixels; -1: the bar's right end).
    BOOL SetParts(int nParts, const int* pWidths);
    /// The right edges; returns the number of panes.
    int GetParts(int nParts, int* pParts) const;
    BOOL SetText(LPCTSTR lpszText, int nPane, int nType);
    CString GetText(int nPane, int* pType = nullptr) const;
    BOOL GetRect(int nPane, LPRECT lpRect) const;

private:
    CStatusBar& m_bar;
};

class PLATFORM_API CStatusBar : public CControlBar {
public:
    CStatusBar();

    BOOL Create(CWnd* pParentWnd, DWORD dwStyle = WS_CHILD | WS_VISIBLE | CBRS_BOTTOM,
                UINT nID = AFX_IDW_STATUS_BAR);
    BOOL CreateEx(CWnd* pParentWnd, DWORD dwCtrlStyle = 0,
                  DWORD dwStyle = WS_CHILD | WS_VISIBLE | CBRS_BOTTOM, UINT nID = AFX_IDW_STATUS_BAR);
    /// One pane per id; a pane with an id other than ID_SEPARATOR shows the id's string.
    /// The first pane stretches; the others are as wide as their text.
    BOOL SetIndicators(const UINT* lpIDArray, int nIDCount);
    void SetPaneInfo(int nIndex, UINT nID, UINT nStyle, int cxWidth);
    void GetPaneInfo(int nIndex, UINT& nID, UINT& nStyle, int& cxWidth) const;
    UINT GetPaneStyle(int nIndex) const;
    void SetPaneStyle(int nIndex, UINT nStyle);
    BOOL SetPaneText(int nIndex, LPCTSTR lpszNewText, BOOL bUpdate = TRUE);
    CString GetPaneText(int nIndex) const;
    void GetPaneText(int nIndex, CString& rString) const { rString = GetPaneText(nIndex); }
    void GetItemRect(int nIndex, LPRECT lpRect) const;
    int CommandToIndex(UINT nIDFind) const;
    UINT GetItemID(int nIndex) const;
    CStatusBarCtrl& GetStatusBarCtrl() { return m_ctrl; }

    CSize CalcFixedLayout(BOOL bStretch, BOOL bHorz) override;

    void OnPaint();
    void OnSize(UINT nType, int cx, int cy);
    DECLARE_MESSAGE_MAP()

private:
    friend class CStatusBarCtrl;
    struct Pane {
        UINT id = 0;
        UINT style = SBPS_NORMAL;
        int width = 0;   ///< width mode
        int right = -1;  ///< right-edge mode
        CString text;
    };
    CRect PaneRect(int index) const;
    bool Valid(int index) const { return index >= 0 && static_cast<std::size_t>(index) < m_panes.size(); }

    CStatusBarCtrl m_ctrl;
    std::vector<Pane> m_panes;
    bool m_byRightEdges = false;
};
