#pragma once

// The histogram window of a viewer (the whole layer) or of a selection region.

#include <memory>
#include <vector>

#include "platform/cstring.h"
#include "platform/frame/frame_wnd.h"
#include "platform/frame/re_bar.h"
#include "platform/frame/status_bar.h"
#include "platform/gdi/gdi_types.h"
#include "platform/menu/menu.h"
#include "platform/window/wnd.h"
#include "viewer/analysis/graph_color_theme.h"
#include "viewer/analysis/hist_data.h"

#include "platform/controls/image_list.h"
#include "platform/frame/tool_bar.h"

class CHistView;
class CHistLevelsBar;
class CHistGridBar;
class CViewerHost;
struct HistJobResult;
struct HistJobTracker;

/// Commands of the histogram window (its tool bar, channel menu and context menu).
enum : UINT {
    ID_HIST_RED = 34081,
    ID_HIST_GREEN = 34082,
    ID_HIST_BLUE = 34083,
    ID_HIST_ALL_CHANNELS = 34086,
    ID_HIST_DRAW_COLS = 34084,
    ID_HIST_CONTOUR = 34226,
    ID_HIST_PALETTE_FILL = 34204,
    ID_HIST_REMOVE_SPIKES = 34230,
    ID_HIST_FULL = 34229,
    ID_HIST_REAL_SIZE = 270,
    ID_HIST_SELECTION_MODE = 271,
    ID_HIST_PSEUDO = 34254,
    ID_HIST_STATISTICS = 34143,
    ID_HIST_COPY = 34008,
    ID_HIST_SAVE_AS = 34000,
    ID_HIST_CTX_NO_GRID = 34272 + 100,
    ID_HIST_CTX_NORMAL_GRID,
    ID_HIST_CTX_PDF_GRID,
    ID_HIST_THEME_FIRST = 36000,  ///< theme n of the popup is ID_HIST_THEME_FIRST + n - 1
};

/// The tool bar's pictures (22 x 22 each) and the window's texts.
inline constexpr UINT IDB_HIST_TOOLBAR = 248;
inline constexpr UINT IDS_HIST_HELP_PAGE = 34251;
inline constexpr UINT IDS_HIST_TIP_NO_GRID = 34269;
inline constexpr UINT IDS_HIST_TIP_NORMAL_GRID = 34270;
inline constexpr UINT IDS_HIST_TIP_PDF_GRID = 34271;
inline constexpr UINT IDS_HIST_TIP_APPLY = 34272;

class CHistFrame : public CFrameWnd {
public:
    explicit CHistFrame(int = 0);
    ~CHistFrame() override;
    /// Mode 0 (the viewer's own window) or 1 (a region's); any other mode creates nothing.
    virtual BOOL Create(CWnd* parent, int mode);
    void SetMainHist(CHistFrame* master) { m_pMaster = master; }
    void AddSource(CWnd* window);
    void RemoveSource(CWnd* window);
    void SendToSources(UINT message, WPARAM wParam, LPARAM lParam);
    /// Channel 1 (single band) or 3..5: data range from the arrays at the viewer's component.
    void SetChannelRange(const double minima[4], const double maxima[4], int channel);
    /// The viewer frame the master window belongs to; null without a master.
    CWnd* GetViewer() const;

    /// Loads the ranges of the viewer's layer and starts counting.
    void AttachData();
    void StartCalcHist();
    /// Waits for the counting jobs of this window to end (the viewer calls it before its
    /// layers go; a job reads them).
    void StopCalcHist();
    /// Largest and smallest non-zero count of bins first .. last-1 of a block.
    static bool MinMaxCount(const std::uint32_t* counts, int bins, int first, int last,
                            std::uint32_t& largest, std::uint32_t& smallest);
    void SaveHistogramAs();
    /// Kind 1 ".rdp", 2 ".txt", 3 ".bmp"; nonzero on success.
    int WriteHistogram(const CString& path, int kind);
    /// Applies the theme with this key name (else the last listed).
    void ApplyTheme(const CString& key);

    CHistData& Data() { return m_data; }
    CHistView* View() { return m_pView; }
    CHistLevelsBar* LevelsBar() { return m_pLevelsBar; }
    CHistGridBar* GridBar() { return m_pGridBar; }
    CMenu& ThemeMenu() { return m_themeMenu; }
    CToolBar& ToolBar() { return m_wndToolBar; }
    CReBar& ReBar() { return m_wndReBar; }
    /// The buttons of a single-band (1) or RGB (2) histogram.
    void SetToolBar(int mode);
    CString GetStatusText() const;

    /// A region window owns the region put here.
    HRGN m_hRgn = nullptr;
    int m_nKind = 0;
    CWnd* m_pParent = nullptr;
    CHistFrame* m_pMaster = nullptr;
    std::vector<CWnd*> m_sources;

    int m_nFillType = 1, m_bColumns = 0, m_bPseudoCut = 0, m_bOutline = 1;
    int m_bPaletteFill = 0;
    int m_paletteCopies[5] = {1, 1, 1, 1, 1};  ///< all, red, single, green, blue
    int m_bSelMode = 0;
    int m_selCopies[4] = {};  ///< red, single, green, blue
    GraphThemeItem m_theme;
    CString m_strThemeName, m_strThemeKey = "0";
    int m_nChannelChecks = 0, m_nDrawChecks = 0, m_nStateBits = 0, m_nEnableBits = 0;
    std::vector<GraphThemeItem> m_themes;
    std::vector<CString> m_themeKeys;

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) override;

protected:
    void PostNcDestroy() override;

private:
    int OnCreateWindow();
    bool LoadSettings();
    void SaveSettings();
    void BuildThemes();
    void CheckThemes();
    void OnHistCommand(WPARAM code, LPARAM lParam);
    void OnViewerMessage(WPARAM wParam, LPARAM lParam);
    void OnCompleted(int kind);
    bool Command(UINT id);
    bool UpdateState(UINT id, bool& enabled, int& checked) const;
    void SelectChannel(int channel);
    void ApplyFillType();
    void RealSize();
    void PseudoRange();
    void RangeCheck();
    void SetTitle();
    void SetGridControls(int selection);
    void BuildPalette(int channel);
    void ShowContextMenu(CPoint screen);
    CViewerHost* Viewer() const;
    int PaletteSlot() const;
    int SelSlot() const;

    CHistData m_data;
    CHistView* m_pView = nullptr;
    CHistLevelsBar* m_pLevelsBar = nullptr;
    CHistGridBar* m_pGridBar = nullptr;
    CReBar m_wndReBar;
    CToolBar m_wndToolBar;
    CImageList m_toolImages;
    CImageList m_hotImages;
    CStatusBar m_wndStatusBar;
    CMenu m_contextMenu;
    CMenu m_themeMenu;
    std::shared_ptr<HistJobTracker> m_tracker;
    std::shared_ptr<HistJobResult> m_pending;
    double m_channelRanges[6][2] = {};
    bool m_bCreated = false;
};
