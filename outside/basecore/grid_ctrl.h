#pragma once

// The grid control: a table of cells with fixed header rows and columns. In normal mode it
// keeps one cell object per cell (small tables: statistics, kernels). In layer mode it shows
// the samples of a layer, one cell per pixel, and in virtual mode it asks its parent for
// each text; neither keeps anything per cell, and both draw only the cells on screen, their
// places computed from uniform sizes, so a layer of any size costs nothing to bind.

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/cstring.h"
#include "platform/gdi/span_region.h"
#include "platform/geometry.h"
#include "platform/types.h"
#include "platform/window/wnd.h"

class CImageList;
class CMeterInfoBase;
class CRDPLayer;
class CEdit;
class CGridCtrl;

/// A colour that means "the default of the cell's kind".
inline constexpr COLORREF kGridDefaultColour = 0xFF000000;

/// Notifications the grid sends its parent as WM_NOTIFY with an NM_GRIDVIEW record.
inline constexpr int GVN_SELCHANGED = -101;    ///< the selection or focus cell changed
inline constexpr int GVN_ENDLABELEDIT = -106;  ///< an in-place edit ended with a change
inline constexpr int GVN_GETDISPINFO = -150;   ///< virtual mode: data points at a CString to fill
inline constexpr int GVN_SETCURSOR = -197;     ///< data points at an HCURSOR to set for the cell
inline constexpr int GVN_QUERYEDIT = -198;     ///< data points at a BOOL, TRUE; FALSE refuses the edit

/// The record of the grid's notifications.
struct NM_GRIDVIEW {
    NMHDR hdr;
    int iRow;
    int iColumn;
    void* data;
};

/// Cell state flags.
enum GridCellState : DWORD {
    GVIS_FOCUSED = 1,
    GVIS_SELECTED = 2,
    GVIS_DROPHILITED = 4,
    GVIS_READONLY = 8,
    GVIS_FIXED = 16,
    GVIS_FIXEDROW = 32,
    GVIS_FIXEDCOL = 64,
    GVIS_MODIFIED = 128,
};

/// A cell address.
class CCellID {
public:
    explicit CCellID(int row = -1, int col = -1) : row(row), col(col) {}
    int IsValid() const { return row >= 0 && col >= 0; }
    bool operator==(const CCellID& o) const { return row == o.row && col == o.col; }
    bool operator!=(const CCellID& o) const { return !(*this == o); }
    int row;
    int col;
};

/// An inclusive range of cells.
class CCellRange {
public:
    CCellRange(int minRow = -1, int minCol = -1, int maxRow = -1, int maxCol = -1)
    {
        Set(minRow, minCol, maxRow, maxCol);
    }
    void Set(int minRow = -1, int minCol = -1, int maxRow = -1, int maxCol = -1)
    {
        m_nMinRow = minRow;
        m_nMinCol = minCol;
        m_nMaxRow = maxRow;
        m_nMaxCol = maxCol;
    }
    int GetMinRow() const { return m_nMinRow; }
    void SetMinRow(int v) { m_nMinRow = v; }
    int GetMinCol() const { return m_nMinCol; }
    void SetMinCol(int v) { m_nMinCol = v; }
    int GetMaxRow() const { return m_nMaxRow; }
    void SetMaxRow(int v) { m_nMaxRow = v; }
    int GetMaxCol() const { return m_nMaxCol; }
    void SetMaxCol(int v) { m_nMaxCol = v; }
    int GetRowSpan() const { return m_nMaxRow - m_nMinRow + 1; }
    int GetColSpan() const { return m_nMaxCol - m_nMinCol + 1; }
    /// Cells in the range, in 64 bits (a layer's range may hold more than 2^31).
    std::int64_t Count() const { return std::int64_t(GetRowSpan()) * GetColSpan(); }
    int IsValid() const
    {
        return m_nMinRow >= 0 && m_nMinCol >= 0 && m_nMaxRow >= 0 && m_nMaxCol >= 0 &&
               m_nMinRow <= m_nMaxRow && m_nMinCol <= m_nMaxCol;
    }
    int InRange(int row, int col) const
    {
        return row >= m_nMinRow && row <= m_nMaxRow && col >= m_nMinCol && col <= m_nMaxCol;
    }
    int InRange(const CCellID& c) const { return InRange(c.row, c.col); }
    CCellID GetTopLeft() const { return CCellID(m_nMinRow, m_nMinCol); }
    /// The middle cell of the range, in the grid's coordinates (the top-left one of the
    /// middle when a span is even).
    CCellID GetCenterCell() const
    {
        return CCellID(m_nMinRow + (m_nMaxRow - m_nMinRow) / 2, m_nMinCol + (m_nMaxCol - m_nMinCol) / 2);
    }
    /// The common part; invalid when the ranges do not meet.
    CCellRange Intersect(const CCellRange& r) const;
    bool operator==(const CCellRange& o) const
    {
        return m_nMinRow == o.m_nMinRow && m_nMinCol == o.m_nMinCol && m_nMaxRow == o.m_nMaxRow &&
               m_nMaxCol == o.m_nMaxCol;
    }
    bool operator!=(const CCellRange& o) const { return !(*this == o); }

private:
    int m_nMinRow, m_nMinCol, m_nMaxRow, m_nMaxCol;
};

/// What every cell has: its state flags.
class CGridCellBase {
public:
    virtual ~CGridCellBase() = default;
    DWORD GetState() const { return m_nState; }
    void SetState(DWORD state) { m_nState = state; }
    void AddStateStyle(DWORD flags) { m_nState |= flags; }
    void RemoveStateStyle(DWORD flags) { m_nState &= ~flags; }
    BOOL IsFocused() const { return (m_nState & GVIS_FOCUSED) != 0; }
    BOOL IsSelected() const { return (m_nState & GVIS_SELECTED) != 0; }
    BOOL IsDropHighlighted() const { return (m_nState & GVIS_DROPHILITED) != 0; }
    BOOL IsReadOnly() const { return (m_nState & GVIS_READONLY) != 0; }
    BOOL IsFixed() const { return (m_nState & GVIS_FIXED) != 0; }
    BOOL IsFixedRow() const { return (m_nState & GVIS_FIXEDROW) != 0; }
    BOOL IsFixedCol() const { return (m_nState & GVIS_FIXEDCOL) != 0; }
    BOOL IsModified() const { return (m_nState & GVIS_MODIFIED) != 0; }
    virtual CString GetText() const { return CString(); }
    virtual CString GetTipText() const { return GetText(); }
    /// The rectangle the cell's text takes within `rect`, the cell's rectangle: all of it.
    virtual BOOL GetTipTextRect(LPRECT rect) const { return rect != nullptr; }
    virtual int GetImage() const { return -1; }
    virtual BOOL Edit() { return FALSE; }

protected:
    DWORD m_nState = 0;
};

/// A cell of a normal-mode grid.
class CGridCell : public CGridCellBase {
public:
    void SetText(const CString& text) { m_strText = text; }
    CString GetText() const override { return m_strText; }
    void SetImage(int image) { m_nImage = image; }
    int GetImage() const override { return m_nImage; }
    void SetData(LPARAM data) { m_lParam = data; }
    LPARAM GetData() const { return m_lParam; }
    void SetFormat(DWORD format) { m_nFormat = format; }
    DWORD GetFormat() const { return m_nFormat; }
    void SetTextClr(COLORREF c) { m_crFgClr = c; }
    COLORREF GetTextClr() const { return m_crFgClr; }
    void SetBackClr(COLORREF c) { m_crBkClr = c; }
    COLORREF GetBackClr() const { return m_crBkClr; }
    void SetMargin(UINT margin) { m_nMargin = margin; }
    UINT GetMargin() const { return m_nMargin; }
    void SetGrid(CGridCtrl* grid) { m_pGrid = grid; }
    CGridCtrl* GetGrid() const { return m_pGrid; }
    CWnd* GetEditWnd() const { return m_pEditWnd; }
    BOOL IsEditing() const { return m_bEditing; }
    BOOL IsDefaultFont() const { return TRUE; }  ///< cells have no font of their own here
    /// The cell's rectangle less its margin on both sides.
    BOOL GetTipTextRect(LPRECT rect) const override
    {
        if (!rect) return FALSE;
        rect->left += LONG(m_nMargin);
        rect->right -= LONG(m_nMargin);
        return TRUE;
    }

protected:
    CString m_strText;
    LPARAM m_lParam = 0;
    int m_nImage = -1;
    DWORD m_nFormat = 0;
    COLORREF m_crFgClr = kGridDefaultColour;
    COLORREF m_crBkClr = kGridDefaultColour;
    UINT m_nMargin = 3;
    CGridCtrl* m_pGrid = nullptr;
    BOOL m_bEditing = FALSE;
    CWnd* m_pEditWnd = nullptr;
};

/// The defaults of a kind of cell (normal, fixed row, fixed column, fixed both).
class CGridDefaultCell : public CGridCell {
public:
    int GetWidth() const { return m_nWidth; }
    void SetWidth(int w) { m_nWidth = w; }
    int GetHeight() const { return m_nHeight; }
    void SetHeight(int h) { m_nHeight = h; }
    DWORD GetStyle() const { return m_dwStyle; }
    void SetStyle(DWORD s) { m_dwStyle = s; }
    /// Default cells are never edited.
    DWORD GetDefaultState() const { return m_nState | GVIS_READONLY; }

private:
    int m_nWidth = 60;
    int m_nHeight = 18;
    DWORD m_dwStyle = 0;
};

/// A set of cells (row = y, column = x), kept as spans.
class CTableRegion {
public:
    /// Adds the cells of a region given in cell coordinates.
    void AddRegion(HRGN region);
    void AddRange(const CCellRange& range);
    const platform::SpanRegion& Region() const { return m_region; }
    void SetRegion(platform::SpanRegion region) { m_region = std::move(region); }
    std::int64_t Count() const { return m_region.Area(); }
    bool Contains(int row, int col) const { return m_region.Contains(col, row); }
    BOOL CellInRegion(int row, int col) const { return Contains(row, col) ? TRUE : FALSE; }
    BOOL CellInRegion(const CCellID* cell) const { return cell && CellInRegion(cell->row, cell->col); }
    bool IsEmpty() const { return m_region.IsEmpty(); }

private:
    platform::SpanRegion m_region;
};

/// The grid control.
class CGridCtrl : public CWnd {
public:
    CGridCtrl(int rows = 0, int cols = 0, int fixedRows = 0, int fixedCols = 0);
    ~CGridCtrl() override;
    BOOL Create(const RECT& rect, CWnd* parent, UINT id,
                DWORD style = WS_CHILD | WS_BORDER | WS_TABSTOP | WS_VISIBLE);

    // --- counts and sizes ---
    BOOL SetRowCount(int rows);
    BOOL SetColumnCount(int cols);
    BOOL SetFixedRowCount(int rows);
    BOOL SetFixedColumnCount(int cols);
    int GetRowCount() const { return m_nRows; }
    int GetColumnCount() const { return m_nCols; }
    int GetFixedRowCount() const { return m_nFixedRows; }
    int GetFixedColumnCount() const { return m_nFixedCols; }
    int GetRowHeight(int row) const;
    int GetColumnWidth(int col) const;
    BOOL SetRowHeight(int row, int height);
    BOOL SetColumnWidth(int col, int width);
    /// Sizes every column to its widest text (in layer mode: the widest value the type can show).
    void AutoSizeColumns();
    /// Sizes one column to its texts; `what` is kept for callers (2: data and headers).
    BOOL AutoSizeColumn(int col, UINT what = 2, BOOL reset = TRUE);
    /// Widens the columns evenly so they fill the client width.
    void ExpandColumnsToFit(BOOL expandFixed = TRUE);
    /// Total height of the fixed rows plus every row (64 bits: a layer may be tall).
    std::int64_t GetVirtualHeight() const;

    // --- cells (normal mode) ---
    CGridCellBase* GetCell(int row, int col) const;
    /// Normal mode: copies the cell in. Layer mode: writes the cell's text into the layer.
    BOOL SetCell(int row, int col, CGridCellBase* cell);
    BOOL SetItemText(int row, int col, const CString& text);
    CString GetItemText(int row, int col) const;
    BOOL SetItemImage(int row, int col, int image);
    int GetItemImage(int row, int col) const;
    BOOL SetItemBkColour(int row, int col, COLORREF c = kGridDefaultColour);
    BOOL SetItemFgColour(int row, int col, COLORREF c = kGridDefaultColour);
    BOOL SetItemState(int row, int col, UINT state);
    UINT GetItemState(int row, int col) const;
    void AddStateStyle(int row, int col, DWORD flags);
    void RemoveStateStyle(int row, int col, DWORD flags);
    /// Removes every row and column.
    BOOL DeleteAllItems();
    void SetImageList(CImageList* list) { m_pImageList = list; }
    CImageList* GetImageList() const { return m_pImageList; }
    CSize GetCellTextExtent(int row, int col);

    // --- defaults and colours ---
    CGridDefaultCell* GetDefaultCell(BOOL fixedRow, BOOL fixedCol);
    void SetGridBkColor(COLORREF c) { m_crGridBkColour = c; }
    COLORREF GetGridBkColor() const { return m_crGridBkColour; }
    void SetBkColor(COLORREF c) { SetGridBkColor(c); }
    COLORREF GetBkColor() const { return GetGridBkColor(); }
    void SetGridLineColor(COLORREF c) { m_crGridLineColour = c; }
    COLORREF GetGridLineColor() const { return m_crGridLineColour; }
    void SetGridColor(COLORREF c) { SetGridLineColor(c); }
    COLORREF GetGridColor() const { return GetGridLineColor(); }
    void SetTitleTipBackClr(COLORREF c) { m_crTTipBackClr = c; }
    COLORREF GetTitleTipBackClr() const { return m_crTTipBackClr; }
    void SetTitleTipTextClr(COLORREF c) { m_crTTipTextClr = c; }
    COLORREF GetTitleTipTextClr() const { return m_crTTipTextClr; }
    void SetTextColor(COLORREF c) { m_cellDefault.SetTextClr(c); }
    COLORREF GetTextColor() const { return m_cellDefault.GetTextClr(); }
    void SetTextBkColor(COLORREF c) { m_cellDefault.SetBackClr(c); }
    COLORREF GetTextBkColor() const { return m_cellDefault.GetBackClr(); }
    void SetFixedTextColor(COLORREF c);
    COLORREF GetFixedTextColor() const { return m_cellFixedRowDef.GetTextClr(); }
    void SetFixedBkColor(COLORREF c);
    COLORREF GetFixedBkColor() const { return m_cellFixedRowDef.GetBackClr(); }
    void SetDefCellMargin(int margin);
    int GetDefCellMargin() const { return int(m_cellDefault.GetMargin()); }
    void SetDefCellHeight(int height);
    int GetDefCellHeight() const { return m_cellDefault.GetHeight(); }
    void SetDefCellWidth(int width);
    int GetDefCellWidth() const { return m_cellDefault.GetWidth(); }

    // --- settings ---
    void SetEditable(BOOL on = TRUE) { m_bEditable = on; }
    BOOL IsEditable() const { return m_bEditable; }
    void SetListMode(BOOL on = TRUE) { m_bListMode = on; }
    BOOL GetListMode() const { return m_bListMode; }
    void SetSingleRowSelection(BOOL on = TRUE) { m_bSingleRowSelection = on; }
    BOOL GetSingleRowSelection() const { return m_bSingleRowSelection && m_bListMode; }
    void SetSingleColSelection(BOOL on = TRUE) { m_bSingleColSelection = on; }
    BOOL GetSingleColSelection() const { return m_bSingleColSelection; }
    void EnableSelection(BOOL on = TRUE);
    BOOL IsSelectable() const { return m_bEnableSelection; }
    void SetRowResize(BOOL on = TRUE) { m_bAllowRowResize = on; }
    BOOL GetRowResize() const { return m_bAllowRowResize; }
    void SetColumnResize(BOOL on = TRUE) { m_bAllowColumnResize = on; }
    BOOL GetColumnResize() const { return m_bAllowColumnResize; }
    void SetCollectiveColumnResize(BOOL on = TRUE) { m_bCollectiveColumnResize = on; }
    BOOL GetCollectiveColumnResize() const { return m_bCollectiveColumnResize; }
    // Settings kept for the callers that set them; the grid's behaviour does not read them.
    void SetFixedRowSelection(BOOL on = TRUE) { m_bFixedRowSelection = on; }
    BOOL GetFixedRowSelection() const { return m_bFixedRowSelection; }
    void SetFixedColumnSelection(BOOL on = TRUE) { m_bFixedColumnSelection = on; }
    BOOL GetFixedColumnSelection() const { return m_bFixedColumnSelection; }
    void EnableDragAndDrop(BOOL on = TRUE) { m_bAllowDragAndDrop = on; }
    BOOL GetDragAndDrop() const { return m_bAllowDragAndDrop; }
    void SetHeaderSort(BOOL on = TRUE) { m_bSortOnClick = on; }
    BOOL GetHeaderSort() const { return m_bSortOnClick; }
    void SetHandleTabKey(BOOL on = TRUE) { m_bHandleTabKey = on; }
    BOOL GetHandleTabKey() const { return m_bHandleTabKey; }
    void SetDoubleBuffering(BOOL on = TRUE) { m_bDoubleBuffer = on; }
    BOOL GetDoubleBuffering() const { return m_bDoubleBuffer; }
    void EnableTitleTips(BOOL on = TRUE) { m_bTitleTips = on; }
    BOOL GetTitleTips() const { return m_bTitleTips; }
    void SetSortAscending(BOOL on = TRUE) { m_bAscending = on; }
    BOOL GetSortAscending() const { return m_bAscending; }
    void SetTrackFocusCell(BOOL on = TRUE) { m_bTrackFocusCell = on; }
    BOOL GetTrackFocusCell() const { return m_bTrackFocusCell; }
    void SetFrameFocusCell(BOOL on = TRUE) { m_bFrameFocus = on; }
    BOOL GetFrameFocusCell() const { return m_bFrameFocus; }
    void SetAutoSizeStyle(int value) { m_nAutoSizeColumnStyle = value; }
    int GetAutoSizeStyle() const { return m_nAutoSizeColumnStyle; }
    void EnableHiddenColUnhide(BOOL on = TRUE) { m_bHiddenColUnhide = on; }
    BOOL GetHiddenColUnhide() const { return m_bHiddenColUnhide; }
    void EnableHiddenRowUnhide(BOOL on = TRUE) { m_bHiddenRowUnhide = on; }
    BOOL GetHiddenRowUnhide() const { return m_bHiddenRowUnhide; }
    void EnableColumnHide(BOOL on = TRUE) { m_bAllowColHide = on; }
    BOOL GetColumnHide() const { return m_bAllowColHide; }
    void EnableRowHide(BOOL on = TRUE) { m_bAllowRowHide = on; }
    BOOL GetRowHide() const { return m_bAllowRowHide; }
    void SetGridLines(int lines) { m_nGridLines = lines; }
    int GetGridLines() const { return m_nGridLines; }
    /// Stores the mode and returns the one before.
    int SetMouseMode(int mode);
    int GetMouseMode() const { return m_nMouseMode; }
    int GetSortColumn() const { return m_nSortColumn; }
    void SetCallbackFunc(void* fn, LPARAM param)
    {
        m_pfnCallback = fn;
        m_lCallbackParam = param;
    }
    void* GetCallbackFunc() const { return m_pfnCallback; }
    BOOL IsVisibleVScroll() const { return (m_nBarState & 2) != 0; }
    BOOL IsVisibleHScroll() const { return (m_nBarState & 1) != 0; }

    // --- virtual and layer modes ---
    void SetVirtualMode(BOOL on);
    BOOL GetVirtualMode() const { return m_bVirtualMode; }
    void SetLayerMode(int on);
    int GetLayerMode() const { return m_nLayerMode; }
    /// Shows `height` rows of `width` samples of `type` (row y at rows[y]) with one fixed
    /// header row and column; `writer`, when given, is the layer that edits and pastes
    /// change (without one the cells are read-only).
    void InitLayerMode(void** rows, int type, int component, int width, int height,
                       CRDPLayer* writer = nullptr);
    /// The complex component shown: 0 amplitude, 1 phase, 2 real, 3 imaginary, 4 both parts.
    void SetLayerDataComplexComponent(int component);
    int GetLayerDataComplexComponent() const { return m_nComponent; }
    /// 256 red-green-blue triplets for levels 0..255 of low..high; `colour` nonzero colours
    /// the data cells.
    void SetLayerPalette(const BYTE* rgb768, int colour, double low = 0.0, double high = 255.0);
    int GetColorMode() const { return m_nColorMode; }
    void SetMeter(CMeterInfoBase* meter, int flag) { m_pMeter = meter, m_nMeterFlag = flag; }
    /// Writes a number (component 4: `re`, `im`) into the bound layer at data cell (row, col).
    BOOL SetVirtualCellValue(int row, int col, double value);
    BOOL SetVirtualCellComplexValue(int row, int col, double re, double im);

    // --- focus, scrolling, selection ---
    CCellID GetFocusCell() const { return m_idCurrentCell; }
    void SetFocusCell(CCellID cell);
    void SetFocusCell(int row, int col) { SetFocusCell(CCellID(row, col)); }
    void EnsureVisible(int row, int col);
    void EnsureVisible(CCellID cell) { EnsureVisible(cell.row, cell.col); }
    void EnsureVisibleInCenter(int row, int col);
    /// The first scrollable row and column shown.
    CCellID GetTopLeftNonFixedCell() const { return CCellID(m_nTopRow, m_nLeftCol); }
    /// The cell under a client point; (-1, -1) outside every cell.
    CCellID GetCellFromPt(CPoint point) const;
    BOOL GetCellRect(int row, int col, RECT* rect) const;
    BOOL RedrawCell(int row, int col);
    void Refresh();
    /// Replaces the selection with cells.
    void SetSelectedRgn(const CTableRegion& cells);
    void SetSelectedRange(int minRow, int minCol, int maxRow, int maxCol);
    /// The selection as a new region: of file pixels in layer mode, else of cells.
    HRGN GetSelectedRgn() const;
    const CTableRegion& GetSelection() const { return m_selection; }
    std::int64_t GetSelectedCount() const { return m_selection.Count(); }
    BOOL IsCellSelected(int row, int col) const { return m_selection.Contains(row, col) ? TRUE : FALSE; }

    // --- editing and the clipboard ---
    /// Starts an in-place edit of the cell (after asking the parent); FALSE when refused.
    BOOL EditCell(int row, int col);
    /// Ends the edit; `keep` writes the text and notifies the parent.
    void EndEditing(BOOL keep);
    CEdit* GetInPlaceEdit() const { return m_pEdit; }
    /// Copies the selection as tab-separated rows; refuses, with a message, a selection too
    /// large to hold as text.
    virtual BOOL OnEditCopy();
    /// Pastes tab-separated rows from the focus cell on, clipped to the grid.
    virtual BOOL OnEditPaste();
    /// The text of cells [range] as the clipboard gets it.
    CString CopyText(const CCellRange& range) const;
    /// Writes the rows of `text` from `origin` on; returns the cells written.
    std::int64_t PasteText(const CString& text, CCellID origin);

    /// Largest selection copied as text (cells).
    static constexpr std::int64_t kMaxCopyCells = std::int64_t(1) << 24;

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

protected:
    void OnPaintGrid();
    /// In layer mode: data columns as wide as the widest text of the cells on screen, at
    /// least the default cell width and at most kMaxLayerColumnWidth. The texts it formats
    /// are kept in m_shown for the paint that follows.
    void FitLayerColumns(CDC& dc);
    /// The text of a cell as painted: from m_shown where it holds the cell, else made in `other`.
    const CString& ShownText(int row, int col, CString& other) const;
    /// Where m_shown holds the cell's text; -1 where it does not.
    int ShownIndex(int row, int col) const;
    LRESULT Notify(int code, int row, int col, void* data = nullptr);
    void UpdateScrollBars();
    void OnScroll(int bar, int code);
    /// Shows the grid moved from first scrollable row `oldTop` and column `oldLeft` on: a
    /// move along one axis by less than a screen shifts what stays on screen and paints only
    /// the uncovered cells; any other move (or a column width that the new texts change)
    /// repaints the whole grid.
    void ShowMoved(int oldTop, int oldLeft);
    void OnKey(UINT key);
    void SelectTo(CCellID cell, bool extend);
    bool IsDataCell(int row, int col) const;
    int VisibleDataRows() const;
    int VisibleDataCols() const;
    COLORREF LayerCellColour(int row, int col) const;
    /// Layer value of a data cell as shown (exact: as copied).
    CString LayerText(int row, int col, bool exact) const;
    void ClampScroll();

    std::vector<std::vector<CGridCell>> m_cells;  // normal mode only
    std::vector<int> m_rowHeights;                // normal mode: every row; layer mode: fixed rows
    std::vector<int> m_colWidths;                 // normal mode: every column; layer mode: fixed columns
    int m_nDataRowHeight = 18;                    // layer and virtual modes: every data row
    int m_nDataColWidth = 60;
    int m_nRows = 0, m_nCols = 0, m_nFixedRows = 0, m_nFixedCols = 0;
    CGridDefaultCell m_cellDefault, m_cellFixedColDef, m_cellFixedRowDef, m_cellFixedRowColDef;
    COLORREF m_crGridBkColour = RGB(255, 255, 255);
    COLORREF m_crGridLineColour = RGB(192, 192, 192);
    COLORREF m_crTTipBackClr = kGridDefaultColour, m_crTTipTextClr = kGridDefaultColour;
    CImageList* m_pImageList = nullptr;
    BOOL m_bEditable = TRUE, m_bListMode = FALSE, m_bSingleRowSelection = FALSE,
         m_bSingleColSelection = FALSE;
    BOOL m_bEnableSelection = TRUE, m_bAllowRowResize = TRUE, m_bAllowColumnResize = TRUE,
         m_bCollectiveColumnResize = FALSE;
    int m_nGridLines = 3, m_nMouseMode = 0, m_nSortColumn = -1, m_nBarState = 0;
    BOOL m_bFixedRowSelection = TRUE;
    BOOL m_bFixedColumnSelection = TRUE;
    BOOL m_bAllowDragAndDrop = FALSE;
    BOOL m_bSortOnClick = FALSE;
    BOOL m_bHandleTabKey = TRUE;
    BOOL m_bDoubleBuffer = TRUE;
    BOOL m_bTitleTips = TRUE;
    BOOL m_bAscending = TRUE;
    BOOL m_bTrackFocusCell = TRUE;
    BOOL m_bFrameFocus = TRUE;
    int m_nAutoSizeColumnStyle = 2;
    BOOL m_bHiddenColUnhide = TRUE;
    BOOL m_bHiddenRowUnhide = TRUE;
    BOOL m_bAllowColHide = TRUE;
    BOOL m_bAllowRowHide = TRUE;
    void* m_pfnCallback = nullptr;
    LPARAM m_lCallbackParam = 0;
    BOOL m_bVirtualMode = FALSE;
    int m_nLayerMode = 0;
    void** m_pRows = nullptr;
    int m_nType = 0, m_nComponent = 0, m_nLayerWidth = 0, m_nLayerHeight = 0;
    CRDPLayer* m_pWriter = nullptr;
    BYTE m_palette[768] = {};
    int m_nColorMode = 0;
    double m_dPaletteLow = 0.0, m_dPaletteHigh = 255.0;
    CMeterInfoBase* m_pMeter = nullptr;
    int m_nMeterFlag = 0;
    CCellID m_idCurrentCell, m_idAnchor;
    int m_nTopRow = 0, m_nLeftCol = 0;  // first scrollable row and column shown
    CTableRegion m_selection;
    /// Layer mode: the texts of the cells on screen, formatted once per paint.
    struct ShownTexts {
        int firstRow = 0, firstCol = 0, rows = 0, cols = 0;
        std::vector<CString> texts;
        std::vector<int> advances;  // each text's width in the paint's font
    } m_shown;
    CEdit* m_pEdit = nullptr;
    CCellID m_idEditCell;
    bool m_bCreated = false;
};
