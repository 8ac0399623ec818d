#pragma once

// The histogram view: draws the counts of the frame's CHistData into a back buffer and
// lets the user select a range or zoom with the mouse.

#include <vector>

#include "outside/basecore/title_tip.h"
#include "platform/cstring.h"
#include "platform/gdi/gdi_types.h"
#include "platform/geometry.h"
#include "platform/window/wnd.h"
#include "viewer/analysis/graph_color_theme.h"
#include "viewer/core/viewer_messages.h"

class CHistData;

/// The strip with the horizontal scroll bar under the plot.
class CHistScrollWnd : public CWnd {
public:
    BOOL Create(CWnd* parent, UINT id);
    /// Range, page and position 0.
    void SetRange(int min, int max, int page);
    void SetScroll(int min, int max, int position, int page);
    int GetPos() const;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    int m_nMin = 0, m_nMax = 0;

private:
    void OnScroll(UINT code, int thumb);
};

class CHistView : public CWnd {
public:
    CHistView();
    ~CHistView() override;

    /// A visible bordered child of `parent` with control id `id`.
    BOOL Create(CWnd* parent, UINT id);
    void SetData(CHistData* data) { m_pData = data; }
    /// Makes the back buffer and draws once; FALSE when there is nothing to draw into.
    BOOL InitBuffer();

    void SetFillType(int type) { m_nFillType = type; }
    void SetPaletteFilling(int on) { m_bPaletteFill = on; }
    void SetColors(const GraphThemeItem& theme);
    /// 0 none, 1 normal, 2 density; any other value is refused with 0.
    int SetGridMode(int mode);
    int GetGridMode() const { return m_nGridMode; }
    /// Sets the shown channel's grid factor for grid code 4, 5 or 6.
    void SetGridFactor(int code);
    /// One drawing pass; keepRange 0 first resets a single band's shown range to its display
    /// range. With show the window is updated at once. 1 when the histogram was drawn.
    int Redraw(int keepRange, int show);
    /// Scroll range of the shown channel, with or without its position.
    void UpdateScrollRange(bool withPosition);
    void SetScrollPosition(int min, int max, int position);
    /// Clears the selection state (selection mode switched off).
    void ClearSelection();
    /// Shows or hides the scroll strip.
    void ShowScroll(bool show);

    /// Writes the picture as a Windows bitmap file; nonzero on success.
    int ExportBitmap(const CString& path);
    /// Puts the picture on the clipboard: the bitmap and a vector drawing. Returns 1.
    int CopyToClipboard();

    // What the read-out panel shows (also for tests).
    CString LevelText() const;
    CString CountText() const;
    CString LeftText() const;
    CString RightText() const;
    CString PercentText() const;
    CString ColorText() const;
    /// The text the hover tip shows for a point (empty: none), and the box of the marker
    /// that answers.
    CString TipTextAt(CPoint point, CRect* marker = nullptr) const;
    /// The hover tip window.
    CTitleTip& TitleTip() { return m_tip; }
    const CRect& PlotRect() const { return m_plot; }
    /// The top of the count axis: the grid's top value, or the largest count of the channels.
    double CountAxisTop() const;
    /// Reads the back buffer: colour (0x00BBGGRR) at a client point.
    COLORREF BufferPixel(int x, int y) const;
    CHistScrollWnd* GetScrollWnd() { return &m_scroll; }

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    struct Selection {
        double anchor = 0.0, moving = 0.0, left = 0.0, right = 0.0;
    };

private:
    bool Layout();
    bool MakeDib();
    int DrawPass(HDC dc, bool toBuffer);
    void DrawStatus(HDC dc, int status);
    void DrawStrip(HDC dc);
    void DrawSeries(HDC dc, int channel, bool allChannels);
    void DrawGrid(HDC dc);
    void DrawSelection(HDC dc);
    void DrawPanel(HDC dc);
    void DrawMarkers(HDC dc);
    void ShowNow();
    bool MouseAllowed() const;
    void OnButtonDown(CPoint p);
    void OnMove(UINT flags, CPoint p);
    void ShowTip(CPoint p);
    void OnButtonUp(CPoint p);
    void ZoomStep(UINT flags, CPoint p);
    void CursorReadout(int x);
    void OnHistScroll(int position);
    int ChannelIndex() const;

    CHistData* m_pData = nullptr;
    HDC m_hMemDC = nullptr;
    HBITMAP m_hDib = nullptr;
    HGDIOBJ m_hFirstBitmap = nullptr;
    void* m_pBits = nullptr;
    HFONT m_hFont = nullptr;
    int m_nWidth = 0, m_nHeight = 0;
    CRect m_client, m_plot, m_strip, m_panel, m_scrollRect;
    CPoint m_text[9];
    int m_nCountRoom = 0;  ///< room the widest count label needs left of the plot
    COLORREF m_colors[7] = {0, 0, 0, 0, 0, 0, 0xFFFF00};
    int m_nGridMode = 1;
    int m_nFillType = 3;
    int m_bPaletteFill = 0;
    double m_pixelScale[4] = {};
    POINT m_markers[4][3] = {};
    bool m_bMarkers = false;
    CHistScrollWnd m_scroll;
    CTitleTip m_tip;

    // Mouse state.
    Selection m_sel[4];
    double m_sharedAnchor = 0.0;
    double m_level = 0.0;
    std::int64_t m_count = 0;
    int m_cursorBin = -1;
    bool m_bDown = false, m_bReleased = false;
    int m_pressX = 0;
    double m_pressLevel = 0.0, m_pressLo = 0.0, m_pressHi = 0.0, m_pressBins = 0.0, m_pressWidth = 0.0;
    double m_pressDistance = 0.0;
};
