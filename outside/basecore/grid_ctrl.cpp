#include "outside/basecore/grid_ctrl.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "outside/basecore/data_type.h"
#include "outside/basecore/math_helpers.h"
#include "outside/basecore/recognize_complex.h"
#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/sample_component.h"
#include "outside/basecore/six_digit_text.h"
#include "platform/controls/control_notify.h"
#include "platform/controls/edit.h"
#include "platform/controls/image_list.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/region.h"
#include "platform/gdi/window_dc.h"
#include "platform/shell/clipboard.h"
#include "platform/shell/clipboard_change.h"
#include "platform/window/cursor.h"
#include "platform/window/messages.h"
#include "platform/window/modal.h"

namespace {

/// The widest a data column of a layer grows to fit its values, and the room beside them.
constexpr int kMaxLayerColumnWidth = 200;
constexpr int kLayerColumnPadding = 6;
/// About what a group of rows painted together takes in the processor's cache.
constexpr int kRuleGroupBytes = 256 * 1024;

}  // namespace

namespace {

constexpr UINT kEditId = 1;
constexpr UINT kKeyF2 = 0x71;
constexpr COLORREF kSelectedBack = RGB(51, 153, 255);
constexpr COLORREF kSelectedText = RGB(255, 255, 255);

/// The number of a cell's text, as atof reads it: text that is no number reads 0.
double TextNumber(const CString& text)
{
    return std::strtod(text.c_str(), nullptr);
}

/// A typed or pasted complex value in any form the value search accepts ("re;im", "(re, im)",
/// "3+4i", "-2j"); a text without an imaginary part has one of 0.
void SplitComplexText(const CString& text, double* re, double* im)
{
    CString reText, imText;
    RecognizeComplex(text, reText, imText);
    *re = std::strtod(reText.c_str(), nullptr);
    *im = std::strtod(imText.c_str(), nullptr);
}

/// A part of a sample as text: integers in full, floats as "%g" or, for copying, with every
/// digit that reads them back exactly.
template <class P>
std::string PartText(double v, bool exact)
{
    // to_chars writes what printf's "%.0f" and "%.Ng" write, without a format to parse:
    // a screen of the grid formats a few thousand values.
    char buf[64];
    std::to_chars_result r;
    if constexpr (std::is_integral_v<P>) {
        r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 0);
    } else {
        // Most shown values take the short way to the same text.
        if (!exact)
            if (const int length = FixedSixDigitText(v, buf)) return std::string(buf, std::size_t(length));
        r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general,
                          exact ? (sizeof(P) == 4 ? 9 : 17) : 6);
    }
    return std::string(buf, r.ec == std::errc() ? r.ptr : buf);
}

template <class T>
CString SampleText(const T& s, int component, bool exact)
{
    if constexpr (IsComplex<T>) {
        using P = PartType<T>;
        const double r = double(re(s)), i = double(im(s));
        switch (component) {
            case kAmplitude:
                return CString(PartText<double>(Amplitude(r, i), exact));
            case kPhase:
                return CString(PartText<double>(Arg(r, i), exact));
            case kReal:
                return CString(PartText<P>(r, exact));
            case kImaginary:
                return CString(PartText<P>(i, exact));
            default:
                return CString(PartText<P>(r, exact) + ";" + PartText<P>(i, exact));
        }
    } else {
        return CString(PartText<T>(double(s), exact));
    }
}

}  // namespace

// --- ranges and regions -----------------------------------------------------------------------

CCellRange CCellRange::Intersect(const CCellRange& r) const
{
    return CCellRange(std::max(m_nMinRow, r.m_nMinRow), std::max(m_nMinCol, r.m_nMinCol),
                      std::min(m_nMaxRow, r.m_nMaxRow), std::min(m_nMaxCol, r.m_nMaxCol));
}

void CTableRegion::AddRegion(HRGN region)
{
    if (region) m_region = m_region.Union(::GetRgnSpans(region));
}

void CTableRegion::AddRange(const CCellRange& range)
{
    if (!range.IsValid()) return;
    m_region = m_region.Union(platform::SpanRegion::FromRect(range.GetMinCol(), range.GetMinRow(),
                                                             range.GetMaxCol() + 1, range.GetMaxRow() + 1));
}

// --- construction and counts ------------------------------------------------------------------

CGridCtrl::CGridCtrl(int rows, int cols, int fixedRows, int fixedCols)
{
    m_cellFixedColDef.SetBackClr(::GetSysColor(COLOR_BTNFACE));
    m_cellFixedRowDef.SetBackClr(::GetSysColor(COLOR_BTNFACE));
    m_cellFixedRowColDef.SetBackClr(::GetSysColor(COLOR_BTNFACE));
    SetRowCount(rows);
    SetColumnCount(cols);
    SetFixedRowCount(fixedRows);
    SetFixedColumnCount(fixedCols);
}

CGridCtrl::~CGridCtrl()
{
    delete m_pEdit;
    if (m_hWnd) DestroyWindow();
}

BOOL CGridCtrl::Create(const RECT& rect, CWnd* parent, UINT id, DWORD style)
{
    m_bCreated = CWnd::Create(nullptr, "", style | WS_VSCROLL | WS_HSCROLL, rect, parent, id) != FALSE;
    if (m_bCreated) UpdateScrollBars();
    return m_bCreated ? TRUE : FALSE;
}

BOOL CGridCtrl::SetRowCount(int rows)
{
    if (rows < 0) return FALSE;
    m_nRows = rows;
    if (!m_nLayerMode && !m_bVirtualMode) {
        m_cells.resize(size_t(rows));
        for (auto& row : m_cells) row.resize(size_t(m_nCols));
        m_rowHeights.resize(size_t(rows), m_cellDefault.GetHeight());
    }
    m_nFixedRows = std::min(m_nFixedRows, rows);
    ClampScroll();
    return TRUE;
}

BOOL CGridCtrl::SetColumnCount(int cols)
{
    if (cols < 0) return FALSE;
    m_nCols = cols;
    if (!m_nLayerMode && !m_bVirtualMode) {
        for (auto& row : m_cells) row.resize(size_t(cols));
        m_colWidths.resize(size_t(cols), m_cellDefault.GetWidth());
    }
    m_nFixedCols = std::min(m_nFixedCols, cols);
    ClampScroll();
    return TRUE;
}

BOOL CGridCtrl::SetFixedRowCount(int rows)
{
    if (rows < 0 || rows > m_nRows) return FALSE;
    m_nFixedRows = rows;
    if (m_nLayerMode || m_bVirtualMode) m_rowHeights.resize(size_t(rows), m_cellDefault.GetHeight());
    ClampScroll();
    return TRUE;
}

BOOL CGridCtrl::SetFixedColumnCount(int cols)
{
    if (cols < 0 || cols > m_nCols) return FALSE;
    m_nFixedCols = cols;
    if (m_nLayerMode || m_bVirtualMode) m_colWidths.resize(size_t(cols), m_cellDefault.GetWidth());
    ClampScroll();
    return TRUE;
}

bool CGridCtrl::IsDataCell(int row, int col) const
{
    return row >= m_nFixedRows && row < m_nRows && col >= m_nFixedCols && col < m_nCols;
}

int CGridCtrl::GetRowHeight(int row) const
{
    if (row < 0 || row >= m_nRows) return -1;
    if ((m_nLayerMode || m_bVirtualMode) && row >= m_nFixedRows) return m_nDataRowHeight;
    return m_rowHeights[size_t(row)];
}

int CGridCtrl::GetColumnWidth(int col) const
{
    if (col < 0 || col >= m_nCols) return -1;
    if ((m_nLayerMode || m_bVirtualMode) && col >= m_nFixedCols) return m_nDataColWidth;
    return m_colWidths[size_t(col)];
}

BOOL CGridCtrl::SetRowHeight(int row, int height)
{
    if (row < 0 || row >= m_nRows || height < 0) return FALSE;
    if ((m_nLayerMode || m_bVirtualMode) && row >= m_nFixedRows)
        m_nDataRowHeight = height;
    else
        m_rowHeights[size_t(row)] = height;
    return TRUE;
}

BOOL CGridCtrl::SetColumnWidth(int col, int width)
{
    if (col < 0 || col >= m_nCols || width < 0) return FALSE;
    if ((m_nLayerMode || m_bVirtualMode) && col >= m_nFixedCols)
        m_nDataColWidth = width;
    else
        m_colWidths[size_t(col)] = width;
    return TRUE;
}

std::int64_t CGridCtrl::GetVirtualHeight() const
{
    std::int64_t h = 0;
    if (m_nLayerMode || m_bVirtualMode) {
        for (int r = 0; r < m_nFixedRows; ++r) h += m_rowHeights[size_t(r)];
        return h + std::int64_t(m_nRows - m_nFixedRows) * m_nDataRowHeight;
    }
    for (int r = 0; r < m_nRows; ++r) h += m_rowHeights[size_t(r)];
    return h;
}

CSize CGridCtrl::GetCellTextExtent(int row, int col)
{
    const CString text = GetItemText(row, col);
    if (!m_hWnd) return CSize(int(text.GetLength()) * 7, 14);
    CClientDC dc(this);
    return dc.GetTextExtent(text);
}

BOOL CGridCtrl::AutoSizeColumn(int col, UINT, BOOL)
{
    if (col < 0 || col >= m_nCols) return FALSE;
    const int margin = 2 * GetDefCellMargin() + 2;
    int width = 0;
    if ((m_nLayerMode || m_bVirtualMode) && col < m_nFixedCols) {
        // The row header's widest number is the last row's.
        width = GetCellTextExtent(m_nRows - 1, col).cx;
    } else if (m_nLayerMode || m_bVirtualMode) {
        // Uniform data columns: as wide as the visible texts need.
        const int rows = std::min(m_nRows - m_nFixedRows, 64);
        for (int r = 0; r < rows; ++r)
            width = std::max(width, GetCellTextExtent(m_nTopRow + m_nFixedRows + r, col).cx);
    } else {
        for (int r = 0; r < m_nRows; ++r) {
            int w = GetCellTextExtent(r, col).cx;
            if (m_pImageList && GetItemImage(r, col) >= 0) w += 18;
            width = std::max(width, w);
        }
    }
    return SetColumnWidth(col, std::max(width + margin, 8));
}

void CGridCtrl::AutoSizeColumns()
{
    const int cols = (m_nLayerMode || m_bVirtualMode) ? std::min(m_nCols, m_nFixedCols + 1) : m_nCols;
    for (int c = 0; c < cols; ++c) AutoSizeColumn(c);
}

void CGridCtrl::ExpandColumnsToFit(BOOL expandFixed)
{
    if (!m_hWnd || m_nCols == 0 || m_nLayerMode || m_bVirtualMode) return;
    CRect client;
    GetClientRect(&client);
    int total = 0;
    for (int c = 0; c < m_nCols; ++c) total += GetColumnWidth(c);
    const int first = expandFixed ? 0 : m_nFixedCols;
    const int n = m_nCols - first;
    if (n <= 0 || total >= client.Width()) return;
    const int extra = client.Width() - total;
    for (int c = first; c < m_nCols; ++c)
        SetColumnWidth(c, GetColumnWidth(c) + extra / n + (c - first < extra % n ? 1 : 0));
    Invalidate();
}

// --- cells -------------------------------------------------------------------------------------

CGridCellBase* CGridCtrl::GetCell(int row, int col) const
{
    if (m_nLayerMode || m_bVirtualMode || row < 0 || row >= m_nRows || col < 0 || col >= m_nCols)
        return nullptr;
    return const_cast<CGridCell*>(&m_cells[size_t(row)][size_t(col)]);
}

BOOL CGridCtrl::SetCell(int row, int col, CGridCellBase* cell)
{
    if (row < 0 || row >= m_nRows || col < 0 || col >= m_nCols || !cell) return FALSE;
    if (m_nLayerMode) {
        if (!IsDataCell(row, col)) return FALSE;
        if (m_nComponent == kBothParts && isComplexType(m_nType)) {
            double re = 0, im = 0;
            SplitComplexText(cell->GetText(), &re, &im);
            return SetVirtualCellComplexValue(row, col, re, im);
        }
        return SetVirtualCellValue(row, col, TextNumber(cell->GetText()));
    }
    if (m_bVirtualMode) return FALSE;
    CGridCell& into = m_cells[size_t(row)][size_t(col)];
    if (auto* full = dynamic_cast<CGridCell*>(cell))
        into = *full;
    else {
        into.SetState(cell->GetState());
        into.SetText(cell->GetText());
    }
    into.SetGrid(this);
    return TRUE;
}

BOOL CGridCtrl::SetItemText(int row, int col, const CString& text)
{
    CGridCellBase* cell = GetCell(row, col);
    if (!cell) return FALSE;
    static_cast<CGridCell*>(cell)->SetText(text);
    return TRUE;
}

CString CGridCtrl::GetItemText(int row, int col) const
{
    if (row < 0 || row >= m_nRows || col < 0 || col >= m_nCols) return CString();
    if (m_nLayerMode) {
        if (row < m_nFixedRows && col < m_nFixedCols) return CString();
        char buf[32];
        if (row < m_nFixedRows) {
            std::snprintf(buf, sizeof buf, "%d", col - m_nFixedCols);
            return buf;
        }
        if (col < m_nFixedCols) {
            std::snprintf(buf, sizeof buf, "%d", row - m_nFixedRows);
            return buf;
        }
        return LayerText(row, col, false);
    }
    if (m_bVirtualMode) {
        CString text;
        const_cast<CGridCtrl*>(this)->Notify(GVN_GETDISPINFO, row, col, &text);
        return text;
    }
    return m_cells[size_t(row)][size_t(col)].GetText();
}

BOOL CGridCtrl::SetItemImage(int row, int col, int image)
{
    CGridCellBase* cell = GetCell(row, col);
    if (!cell) return FALSE;
    static_cast<CGridCell*>(cell)->SetImage(image);
    return TRUE;
}

int CGridCtrl::GetItemImage(int row, int col) const
{
    const CGridCellBase* cell = GetCell(row, col);
    return cell ? cell->GetImage() : -1;
}

BOOL CGridCtrl::SetItemBkColour(int row, int col, COLORREF c)
{
    CGridCellBase* cell = GetCell(row, col);
    if (!cell) return FALSE;
    static_cast<CGridCell*>(cell)->SetBackClr(c);
    return TRUE;
}

BOOL CGridCtrl::SetItemFgColour(int row, int col, COLORREF c)
{
    CGridCellBase* cell = GetCell(row, col);
    if (!cell) return FALSE;
    static_cast<CGridCell*>(cell)->SetTextClr(c);
    return TRUE;
}

BOOL CGridCtrl::SetItemState(int row, int col, UINT state)
{
    CGridCellBase* cell = GetCell(row, col);
    if (!cell) return FALSE;
    cell->SetState(state);
    return TRUE;
}

UINT CGridCtrl::GetItemState(int row, int col) const
{
    const CGridCellBase* cell = GetCell(row, col);
    return cell ? UINT(cell->GetState()) : 0u;
}

void CGridCtrl::AddStateStyle(int row, int col, DWORD flags)
{
    if (CGridCellBase* cell = GetCell(row, col)) cell->AddStateStyle(flags);
}

void CGridCtrl::RemoveStateStyle(int row, int col, DWORD flags)
{
    if (CGridCellBase* cell = GetCell(row, col)) cell->RemoveStateStyle(flags);
}

BOOL CGridCtrl::DeleteAllItems()
{
    EndEditing(FALSE);
    m_cells.clear();
    m_rowHeights.clear();
    m_colWidths.clear();
    m_nRows = m_nCols = m_nFixedRows = m_nFixedCols = 0;
    m_selection = CTableRegion();
    m_idCurrentCell = CCellID();
    m_nTopRow = m_nLeftCol = 0;
    Refresh();
    return TRUE;
}

// --- defaults ----------------------------------------------------------------------------------

CGridDefaultCell* CGridCtrl::GetDefaultCell(BOOL fixedRow, BOOL fixedCol)
{
    if (fixedRow && fixedCol) return &m_cellFixedRowColDef;
    if (fixedRow) return &m_cellFixedRowDef;
    if (fixedCol) return &m_cellFixedColDef;
    return &m_cellDefault;
}

void CGridCtrl::SetFixedTextColor(COLORREF c)
{
    m_cellFixedRowDef.SetTextClr(c);
    m_cellFixedColDef.SetTextClr(c);
    m_cellFixedRowColDef.SetTextClr(c);
}

void CGridCtrl::SetFixedBkColor(COLORREF c)
{
    m_cellFixedRowDef.SetBackClr(c);
    m_cellFixedColDef.SetBackClr(c);
    m_cellFixedRowColDef.SetBackClr(c);
}

void CGridCtrl::SetDefCellMargin(int margin)
{
    for (CGridDefaultCell* cell :
         {&m_cellDefault, &m_cellFixedRowDef, &m_cellFixedColDef, &m_cellFixedRowColDef})
        cell->SetMargin(UINT(margin));
}

void CGridCtrl::SetDefCellHeight(int height)
{
    for (CGridDefaultCell* cell :
         {&m_cellDefault, &m_cellFixedRowDef, &m_cellFixedColDef, &m_cellFixedRowColDef})
        cell->SetHeight(height);
}

void CGridCtrl::SetDefCellWidth(int width)
{
    for (CGridDefaultCell* cell :
         {&m_cellDefault, &m_cellFixedRowDef, &m_cellFixedColDef, &m_cellFixedRowColDef})
        cell->SetWidth(width);
}

void CGridCtrl::EnableSelection(BOOL on)
{
    m_selection = CTableRegion();
    m_bEnableSelection = on;
    m_selection = CTableRegion();
}

int CGridCtrl::SetMouseMode(int mode)
{
    const int old = m_nMouseMode;
    m_nMouseMode = mode;
    return old;
}

// --- virtual and layer modes -------------------------------------------------------------------

void CGridCtrl::SetVirtualMode(BOOL on)
{
    m_bVirtualMode = on;
    if (on) {
        m_cells.clear();
        m_rowHeights.resize(size_t(m_nFixedRows), m_cellDefault.GetHeight());
        m_colWidths.resize(size_t(m_nFixedCols), m_cellDefault.GetWidth());
    }
}

void CGridCtrl::SetLayerMode(int on)
{
    if (on == m_nLayerMode) return;
    EndEditing(FALSE);
    m_nLayerMode = on;
    if (!on) {
        m_pRows = nullptr;
        m_pWriter = nullptr;
        m_nRows = m_nCols = m_nFixedRows = m_nFixedCols = 0;
        m_cells.clear();
        m_rowHeights.clear();
        m_colWidths.clear();
        m_selection = CTableRegion();
        m_idCurrentCell = CCellID();
        m_nTopRow = m_nLeftCol = 0;
        Refresh();
    }
}

void CGridCtrl::InitLayerMode(void** rows, int type, int component, int width, int height, CRDPLayer* writer)
{
    EndEditing(FALSE);
    if (!rows || !isValidType(type) || width <= 0 || height <= 0) {
        m_pRows = nullptr;
        width = height = 0;
    }
    m_nLayerMode = 1;
    m_cells.clear();
    m_pRows = rows;
    m_nType = type;
    m_nComponent = component;
    m_nLayerWidth = width;
    m_nLayerHeight = height;
    m_pWriter = writer;
    // Past 2^31 - 2 pixels a side the grid shows the first ones; layers that wide do not exist.
    m_nRows = 1 + std::min(height, 0x7FFFFFFE - 1);
    m_nCols = 1 + std::min(width, 0x7FFFFFFE - 1);
    m_nFixedRows = m_nFixedCols = 1;
    m_rowHeights.assign(1, m_cellDefault.GetHeight());
    m_colWidths.assign(1, m_cellDefault.GetWidth());
    m_nDataRowHeight = m_cellDefault.GetHeight();
    m_nDataColWidth = m_cellDefault.GetWidth();
    const CCellID focus = m_idCurrentCell;
    m_idCurrentCell = IsDataCell(focus.row, focus.col) ? focus : CCellID(1, 1);
    m_selection.SetRegion(m_selection.Region().ClipToRect(RECT{1, 1, m_nCols, m_nRows}));
    ClampScroll();
    UpdateScrollBars();
}

void CGridCtrl::SetLayerDataComplexComponent(int component)
{
    m_nComponent = component;
}

void CGridCtrl::SetLayerPalette(const BYTE* rgb768, int colour, double low, double high)
{
    if (rgb768) std::copy(rgb768, rgb768 + 768, m_palette);
    m_nColorMode = rgb768 && colour ? 1 : 0;
    m_dPaletteLow = low;
    m_dPaletteHigh = high;
}

CString CGridCtrl::LayerText(int row, int col, bool exact) const
{
    if (!m_pRows || !IsDataCell(row, col)) return CString();
    const int x = col - m_nFixedCols, y = row - m_nFixedRows;
    return visitSampleType(m_nType, [&]<class T>(Tag<T>) {
        return SampleText(static_cast<const T*>(m_pRows[y])[x], m_nComponent, exact);
    });
}

COLORREF CGridCtrl::LayerCellColour(int row, int col) const
{
    const int x = col - m_nFixedCols, y = row - m_nFixedRows;
    const double v = visitSampleType(m_nType, [&]<class T>(Tag<T>) {
        // Both parts colour by the amplitude, as the display does.
        return SampleComponent(static_cast<const T*>(m_pRows[y])[x], m_nComponent);
    });
    const double span = m_dPaletteHigh - m_dPaletteLow;
    double level = span > 0 ? (v - m_dPaletteLow) / span * 255.0 : 0.0;
    level = level == level ? std::clamp(level, 0.0, 255.0) : 0.0;
    const BYTE* rgb = m_palette + 3 * int(level + 0.5);
    return RGB(rgb[0], rgb[1], rgb[2]);
}

BOOL CGridCtrl::SetVirtualCellValue(int row, int col, double value)
{
    if (!m_pWriter || !IsDataCell(row, col)) return FALSE;
    const int component =
        isComplexType(m_nType) ? (m_nComponent == kBothParts ? kReal : m_nComponent) : kReal;
    return m_pWriter->SetValue(col - m_nFixedCols, row - m_nFixedRows, value, component);
}

BOOL CGridCtrl::SetVirtualCellComplexValue(int row, int col, double re, double im)
{
    if (!m_pWriter || !IsDataCell(row, col)) return FALSE;
    const int x = col - m_nFixedCols, y = row - m_nFixedRows;
    return m_pWriter->SetValue(x, y, re, kReal) && m_pWriter->SetValue(x, y, im, kImaginary);
}

// --- geometry, focus and scrolling -------------------------------------------------------------

int CGridCtrl::VisibleDataRows() const
{
    if (!m_hWnd) return 1;
    CRect client;
    GetClientRect(&client);
    int h = client.Height();
    for (int r = 0; r < m_nFixedRows; ++r) h -= GetRowHeight(r);
    if (m_nLayerMode || m_bVirtualMode) return std::max(1, h / std::max(1, m_nDataRowHeight));
    int n = 0;
    for (int r = m_nFixedRows + m_nTopRow; r < m_nRows && h >= GetRowHeight(r); ++r, ++n)
        h -= GetRowHeight(r);
    return std::max(1, n);
}

int CGridCtrl::VisibleDataCols() const
{
    if (!m_hWnd) return 1;
    CRect client;
    GetClientRect(&client);
    int w = client.Width();
    for (int c = 0; c < m_nFixedCols; ++c) w -= GetColumnWidth(c);
    if (m_nLayerMode || m_bVirtualMode) return std::max(1, w / std::max(1, m_nDataColWidth));
    int n = 0;
    for (int c = m_nFixedCols + m_nLeftCol; c < m_nCols && w >= GetColumnWidth(c); ++c, ++n)
        w -= GetColumnWidth(c);
    return std::max(1, n);
}

void CGridCtrl::ClampScroll()
{
    const int dataRows = std::max(0, m_nRows - m_nFixedRows), dataCols = std::max(0, m_nCols - m_nFixedCols);
    m_nTopRow = std::clamp(m_nTopRow, 0, std::max(0, dataRows - VisibleDataRows()));
    m_nLeftCol = std::clamp(m_nLeftCol, 0, std::max(0, dataCols - VisibleDataCols()));
}

void CGridCtrl::UpdateScrollBars()
{
    if (!m_hWnd) return;
    ClampScroll();
    SCROLLINFO si{sizeof(SCROLLINFO), SIF_ALL, 0, 0, 0, 0, 0};
    si.nMax = std::max(0, m_nRows - m_nFixedRows - 1);
    si.nPage = UINT(VisibleDataRows());
    si.nPos = m_nTopRow;
    SetScrollInfo(SB_VERT, &si, TRUE);
    si.nMax = std::max(0, m_nCols - m_nFixedCols - 1);
    si.nPage = UINT(VisibleDataCols());
    si.nPos = m_nLeftCol;
    SetScrollInfo(SB_HORZ, &si, TRUE);
    m_nBarState = (m_nRows - m_nFixedRows > VisibleDataRows() ? 2 : 0) |
                  (m_nCols - m_nFixedCols > VisibleDataCols() ? 1 : 0);
}

BOOL CGridCtrl::GetCellRect(int row, int col, RECT* rect) const
{
    if (!rect || row < 0 || row >= m_nRows || col < 0 || col >= m_nCols) return FALSE;
    auto edge = [&](int index, int fixed, int first, bool rows) -> std::int64_t {
        std::int64_t at = 0;
        const int fixedEnd = std::min(index, fixed);
        for (int i = 0; i < fixedEnd; ++i) at += rows ? GetRowHeight(i) : GetColumnWidth(i);
        if (index < fixed) return at;
        if (m_nLayerMode || m_bVirtualMode)
            return at + std::int64_t(index - fixed - first) * (rows ? m_nDataRowHeight : m_nDataColWidth);
        if (index >= fixed + first)
            for (int i = fixed + first; i < index; ++i) at += rows ? GetRowHeight(i) : GetColumnWidth(i);
        else
            for (int i = index; i < fixed + first; ++i) at -= rows ? GetRowHeight(i) : GetColumnWidth(i);
        return at;
    };
    const std::int64_t top = edge(row, m_nFixedRows, m_nTopRow, true);
    const std::int64_t left = edge(col, m_nFixedCols, m_nLeftCol, false);
    auto clampInt = [](std::int64_t v) { return int(std::clamp<std::int64_t>(v, -(1 << 30), 1 << 30)); };
    rect->top = clampInt(top);
    rect->left = clampInt(left);
    rect->bottom = clampInt(top + GetRowHeight(row));
    rect->right = clampInt(left + GetColumnWidth(col));
    return TRUE;
}

CCellID CGridCtrl::GetCellFromPt(CPoint p) const
{
    auto find = [&](int pos, int count, int fixed, int first, bool rows) -> int {
        int at = 0;
        for (int i = 0; i < fixed && i < count; ++i) {
            const int size = rows ? GetRowHeight(i) : GetColumnWidth(i);
            if (pos < at + size) return pos >= at ? i : -1;
            at += size;
        }
        if (pos < at) return -1;
        if (m_nLayerMode || m_bVirtualMode) {
            const int size = std::max(1, rows ? m_nDataRowHeight : m_nDataColWidth);
            const std::int64_t i = std::int64_t(fixed) + first + (pos - at) / size;
            return i < count ? int(i) : -1;
        }
        for (int i = fixed + first; i < count; ++i) {
            const int size = rows ? GetRowHeight(i) : GetColumnWidth(i);
            if (pos < at + size) return i;
            at += size;
        }
        return -1;
    };
    const int row = find(p.y, m_nRows, m_nFixedRows, m_nTopRow, true);
    const int col = find(p.x, m_nCols, m_nFixedCols, m_nLeftCol, false);
    return row < 0 || col < 0 ? CCellID() : CCellID(row, col);
}

void CGridCtrl::SetFocusCell(CCellID cell)
{
    if (cell == m_idCurrentCell) return;
    const CCellID old = m_idCurrentCell;
    m_idCurrentCell = cell;
    if (old.IsValid()) RedrawCell(old.row, old.col);
    if (cell.IsValid()) RedrawCell(cell.row, cell.col);
}

void CGridCtrl::EnsureVisible(int row, int col)
{
    if (!IsDataCell(row, col)) return;
    const int oldTop = m_nTopRow, oldLeft = m_nLeftCol;
    const int r = row - m_nFixedRows, c = col - m_nFixedCols;
    const int rows = VisibleDataRows(), cols = VisibleDataCols();
    if (r < m_nTopRow) m_nTopRow = r;
    if (r >= m_nTopRow + rows) m_nTopRow = r - rows + 1;
    if (c < m_nLeftCol) m_nLeftCol = c;
    if (c >= m_nLeftCol + cols) m_nLeftCol = c - cols + 1;
    UpdateScrollBars();
    if (m_nTopRow != oldTop || m_nLeftCol != oldLeft)
        ShowMoved(oldTop, oldLeft);
    else
        Invalidate(FALSE);
}

void CGridCtrl::ShowMoved(int oldTop, int oldLeft)
{
    const int rows = m_nTopRow - oldTop, cols = m_nLeftCol - oldLeft;
    if (!m_hWnd || (rows == 0 && cols == 0)) return;
    // Parts waiting to be painted would be shifted stale: then all is painted.
    RECT pending{};
    if (!(m_nLayerMode || m_bVirtualMode) || (rows != 0 && cols != 0) || GetUpdateRect(&pending)) {
        Invalidate(FALSE);
        return;
    }
    CClientDC dc(this);
    const int width = m_nDataColWidth;
    FitLayerColumns(dc);  // the width the paint will give the columns
    m_shown = ShownTexts();
    if (m_nDataColWidth != width) {
        Invalidate(FALSE);
        return;
    }
    CRect client;
    GetClientRect(&client);
    int fixedHeight = 0, fixedWidth = 0;
    for (int r = 0; r < m_nFixedRows; ++r) fixedHeight += GetRowHeight(r);
    for (int c = 0; c < m_nFixedCols; ++c) fixedWidth += GetColumnWidth(c);
    // Vertical moves carry the row headers along, horizontal ones the column headers.
    const CRect area = rows != 0 ? CRect(0, fixedHeight, client.right, client.bottom)
                                 : CRect(fixedWidth, 0, client.right, client.bottom);
    const std::int64_t shift =
        -std::int64_t(rows != 0 ? rows : cols) * (rows != 0 ? m_nDataRowHeight : width);
    const int extent = rows != 0 ? area.Height() : area.Width();
    if (area.IsRectEmpty() || std::abs(shift) >= extent) {
        Invalidate(FALSE);
        return;
    }
    const int d = int(shift);
    dc.ScrollDC(rows != 0 ? 0 : d, rows != 0 ? d : 0, &area, &area, nullptr, nullptr);
    CRect strip = area;
    if (rows != 0)
        (d < 0 ? strip.top : strip.bottom) = d < 0 ? area.bottom + d : area.top + d;
    else
        (d < 0 ? strip.left : strip.right) = d < 0 ? area.right + d : area.left + d;
    InvalidateRect(&strip, FALSE);
}

void CGridCtrl::EnsureVisibleInCenter(int row, int col)
{
    if (!IsDataCell(row, col)) return;
    m_nTopRow = row - m_nFixedRows - VisibleDataRows() / 2;
    m_nLeftCol = col - m_nFixedCols - VisibleDataCols() / 2;
    UpdateScrollBars();
    Invalidate(FALSE);
}

BOOL CGridCtrl::RedrawCell(int row, int col)
{
    if (!m_hWnd) return FALSE;
    RECT r;
    if (!GetCellRect(row, col, &r)) return FALSE;
    InvalidateRect(&r, FALSE);
    return TRUE;
}

void CGridCtrl::Refresh()
{
    if (!m_hWnd) return;
    UpdateScrollBars();
    Invalidate(FALSE);
}

// --- selection ---------------------------------------------------------------------------------

void CGridCtrl::SetSelectedRgn(const CTableRegion& cells)
{
    m_selection.SetRegion(cells.Region().ClipToRect(RECT{m_nFixedCols, m_nFixedRows, m_nCols, m_nRows}));
    Invalidate(FALSE);
}

void CGridCtrl::SetSelectedRange(int minRow, int minCol, int maxRow, int maxCol)
{
    CTableRegion region;
    region.AddRange(CCellRange(minRow, minCol, maxRow, maxCol));
    SetSelectedRgn(region);
}

HRGN CGridCtrl::GetSelectedRgn() const
{
    platform::SpanRegion region = m_selection.Region();
    if (m_nLayerMode) region.Offset(-m_nFixedCols, -m_nFixedRows);
    return ::CreateRgnFromSpans(std::move(region));
}

void CGridCtrl::SelectTo(CCellID cell, bool extend)
{
    if (!IsDataCell(cell.row, cell.col)) return;
    if (!extend || !m_idAnchor.IsValid()) m_idAnchor = cell;
    if (m_bEnableSelection)
        SetSelectedRange(std::min(m_idAnchor.row, cell.row), std::min(m_idAnchor.col, cell.col),
                         std::max(m_idAnchor.row, cell.row), std::max(m_idAnchor.col, cell.col));
    SetFocusCell(cell);
    EnsureVisible(cell.row, cell.col);
    Notify(GVN_SELCHANGED, cell.row, cell.col);
}

// --- editing and the clipboard -----------------------------------------------------------------

namespace {

/// The in-place editor: Enter keeps the text, Escape drops it.
class CGridEdit : public CEdit {
public:
    explicit CGridEdit(CGridCtrl* grid) : m_pGrid(grid) {}
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_KEYDOWN && (wParam == VK_RETURN || wParam == VK_ESCAPE)) {
            m_pGrid->EndEditing(wParam == VK_RETURN);
            return 0;
        }
        return CEdit::WindowProc(message, wParam, lParam);
    }
    CGridCtrl* m_pGrid;
};

}  // namespace

BOOL CGridCtrl::EditCell(int row, int col)
{
    if (!m_hWnd || !m_bEditable || !IsDataCell(row, col)) return FALSE;
    if (m_nLayerMode && !m_pRows) return FALSE;
    if (const CGridCellBase* cell = GetCell(row, col); cell && cell->IsReadOnly()) return FALSE;
    BOOL allowed = TRUE;
    Notify(GVN_QUERYEDIT, row, col, &allowed);
    if (!allowed) return FALSE;
    EndEditing(FALSE);
    EnsureVisible(row, col);
    RECT r;
    GetCellRect(row, col, &r);
    auto* edit = new CGridEdit(this);
    if (!edit->Create(WS_CHILD | WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL, r, this, kEditId)) {
        delete edit;
        return FALSE;
    }
    m_pEdit = edit;
    m_idEditCell = CCellID(row, col);
    edit->SetWindowText(m_nLayerMode ? LayerText(row, col, true) : GetItemText(row, col));
    edit->SetSel(0, -1);
    edit->SetFocus();
    return TRUE;
}

void CGridCtrl::EndEditing(BOOL keep)
{
    if (!m_pEdit) return;
    CEdit* edit = m_pEdit;
    m_pEdit = nullptr;
    CString text;
    edit->GetWindowText(text);
    const CCellID cell = m_idEditCell;
    edit->DestroyWindow();
    delete edit;
    if (!keep) return;
    CGridCell value;
    value.SetText(text);
    if (m_nLayerMode) {
        if (!SetCell(cell.row, cell.col, &value)) return;
    } else {
        SetItemText(cell.row, cell.col, text);
        AddStateStyle(cell.row, cell.col, GVIS_MODIFIED);
    }
    RedrawCell(cell.row, cell.col);
    Notify(GVN_ENDLABELEDIT, cell.row, cell.col);
}

CString CGridCtrl::CopyText(const CCellRange& range) const
{
    std::string out;
    for (int r = range.GetMinRow(); r <= range.GetMaxRow(); ++r) {
        for (int c = range.GetMinCol(); c <= range.GetMaxCol(); ++c) {
            if (c > range.GetMinCol()) out += '\t';
            if (m_selection.IsEmpty() || m_selection.Contains(r, c))
                out += (m_nLayerMode ? LayerText(r, c, true) : GetItemText(r, c)).c_str();
        }
        out += "\r\n";
    }
    return out.c_str();
}

BOOL CGridCtrl::OnEditCopy()
{
    const RECT box = m_selection.Region().Bounds();
    if (m_selection.IsEmpty()) return FALSE;
    const CCellRange range(box.top, box.left, box.bottom - 1, box.right - 1);
    if (range.Count() > kMaxCopyCells) {
        // Tens of millions of numbers as text would take gigabytes: refused rather than tried.
        MessageBox("The selection is too large to copy as text.", "Copy", MB_OK | MB_ICONEXCLAMATION);
        return FALSE;
    }
    if (!::OpenClipboard(m_hWnd)) return FALSE;
    ::EmptyClipboard();
    const bool done = platform::SetClipboardText(CopyText(range));
    ::CloseClipboard();
    return done ? TRUE : FALSE;
}

std::int64_t CGridCtrl::PasteText(const CString& text, CCellID origin)
{
    if (!IsDataCell(origin.row, origin.col)) return 0;
    std::int64_t written = 0;
    const std::string all = text.c_str();
    size_t start = 0;
    for (int r = origin.row; start < all.size() && r < m_nRows; ++r) {
        size_t end = all.find('\n', start);
        if (end == std::string::npos) end = all.size();
        std::string line = all.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        start = end + 1;
        size_t at = 0;
        for (int c = origin.col; c < m_nCols; ++c) {
            const size_t tab = line.find('\t', at);
            CGridCell cell;
            cell.SetText(line.substr(at, tab == std::string::npos ? std::string::npos : tab - at).c_str());
            if (m_nLayerMode ? SetCell(r, c, &cell) != FALSE : SetItemText(r, c, cell.GetText()) != FALSE)
                ++written;
            if (tab == std::string::npos) break;
            at = tab + 1;
        }
    }
    Invalidate(FALSE);
    return written;
}

BOOL CGridCtrl::OnEditPaste()
{
    CCellID origin = m_idCurrentCell;
    if (!m_selection.IsEmpty()) {
        const RECT box = m_selection.Region().Bounds();
        origin = CCellID(box.top, box.left);
    }
    return PasteText(platform::ClipboardText(), origin) > 0 ? TRUE : FALSE;
}

// --- messages ----------------------------------------------------------------------------------

LRESULT CGridCtrl::Notify(int code, int row, int col, void* data)
{
    if (!m_hWnd || !GetParent()) return 0;
    NM_GRIDVIEW record{};
    record.iRow = row;
    record.iColumn = col;
    record.data = data;
    return platform::NotifyParent(this, record.hdr, UINT(code));
}

void CGridCtrl::OnScroll(int bar, int code)
{
    const int oldTop = m_nTopRow, oldLeft = m_nLeftCol;
    int& pos = bar == SB_VERT ? m_nTopRow : m_nLeftCol;
    const int page = bar == SB_VERT ? VisibleDataRows() : VisibleDataCols();
    SCROLLINFO si{sizeof(SCROLLINFO), SIF_ALL, 0, 0, 0, 0, 0};
    GetScrollInfo(bar, &si);
    switch (code) {
        case SB_LINEUP:
            --pos;
            break;
        case SB_LINEDOWN:
            ++pos;
            break;
        case SB_PAGEUP:
            pos -= page;
            break;
        case SB_PAGEDOWN:
            pos += page;
            break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION:
            pos = si.nTrackPos;
            break;
        case SB_TOP:
            pos = 0;
            break;
        case SB_BOTTOM:
            pos = 1 << 30;
            break;
        default:
            return;
    }
    UpdateScrollBars();
    ShowMoved(oldTop, oldLeft);
}

void CGridCtrl::OnKey(UINT key)
{
    const bool shift = ::GetKeyState(VK_SHIFT) < 0;
    const bool control = ::GetKeyState(VK_CONTROL) < 0;
    if (control && (key == 'C' || key == VK_INSERT)) {
        OnEditCopy();
        return;
    }
    if (key == kKeyF2) {
        EditCell(m_idCurrentCell.row, m_idCurrentCell.col);
        return;
    }
    CCellID next = m_idCurrentCell;
    if (!next.IsValid()) next = CCellID(m_nFixedRows, m_nFixedCols);
    switch (key) {
        case VK_UP:
            --next.row;
            break;
        case VK_DOWN:
            ++next.row;
            break;
        case VK_LEFT:
            --next.col;
            break;
        case VK_RIGHT:
            ++next.col;
            break;
        case VK_PRIOR:
            next.row -= VisibleDataRows();
            m_nTopRow -= VisibleDataRows();
            break;
        case VK_NEXT:
            next.row += VisibleDataRows();
            m_nTopRow += VisibleDataRows();
            break;
        case VK_HOME:
            next.col = m_nFixedCols;
            if (control) next.row = m_nFixedRows;
            break;
        case VK_END:
            next.col = m_nCols - 1;
            if (control) next.row = m_nRows - 1;
            break;
        default:
            return;
    }
    next.row = std::clamp(next.row, m_nFixedRows, std::max(m_nFixedRows, m_nRows - 1));
    next.col = std::clamp(next.col, m_nFixedCols, std::max(m_nFixedCols, m_nCols - 1));
    SelectTo(next, shift);
}

void CGridCtrl::FitLayerColumns(CDC& dc)
{
    if (!m_nLayerMode || !m_pRows) return;
    // The widest text of the cells on screen (one column more, as a wider column shows fewer).
    const int firstRow = m_nFixedRows + m_nTopRow, firstCol = m_nFixedCols + m_nLeftCol;
    const int lastRow = std::min(m_nRows, firstRow + VisibleDataRows() + 1);
    const int lastCol = std::min(m_nCols, firstCol + VisibleDataCols() + 1);
    m_shown.firstRow = firstRow;
    m_shown.firstCol = firstCol;
    m_shown.rows = std::max(0, lastRow - firstRow);
    m_shown.cols = std::max(0, lastCol - firstCol);
    m_shown.texts.clear();
    m_shown.texts.reserve(std::size_t(m_shown.rows) * std::size_t(m_shown.cols));
    for (int r = firstRow; r < lastRow; ++r) {
        // The row's samples are formatted in one typed loop (first data cell x0).
        const int x0 = firstCol - m_nFixedCols;
        visitSampleType(m_nType, [&]<class T>(Tag<T>) {
            const T* samples = static_cast<const T*>(m_pRows[r - m_nFixedRows]) + x0;
            for (int c = firstCol; c < lastCol; ++c)
                m_shown.texts.push_back(SampleText(samples[c - firstCol], m_nComponent, false));
        });
    }
    // Their widths in one call; zeros where there are no fonts (a failed call writes nothing),
    // as GetTextExtent gives then.
    m_shown.advances.assign(m_shown.texts.size(), 0);
    if (!m_shown.texts.empty())
        platform::GetTextAdvances(dc.GetSafeHdc(), m_shown.texts.data(), int(m_shown.texts.size()),
                                  m_shown.advances.data());
    const int widest =
        m_shown.advances.empty() ? 0 : *std::max_element(m_shown.advances.begin(), m_shown.advances.end());
    const int margins = 2 * int(GetDefaultCell(false, false)->GetMargin()) + kLayerColumnPadding;
    const int width = std::clamp(widest + margins, int(m_cellDefault.GetWidth()), kMaxLayerColumnWidth);
    if (width == m_nDataColWidth) return;
    m_nDataColWidth = width;
    UpdateScrollBars();
}

int CGridCtrl::ShownIndex(int row, int col) const
{
    const int r = row - m_shown.firstRow, c = col - m_shown.firstCol;
    if (m_nLayerMode && r >= 0 && r < m_shown.rows && c >= 0 && c < m_shown.cols) return r * m_shown.cols + c;
    return -1;
}

const CString& CGridCtrl::ShownText(int row, int col, CString& other) const
{
    if (const int shown = ShownIndex(row, col); shown >= 0) return m_shown.texts[std::size_t(shown)];
    other = GetItemText(row, col);
    return other;
}

void CGridCtrl::OnPaintGrid()
{
    CPaintDC dc(this);
    FitLayerColumns(dc);
    CRect client;
    GetClientRect(&client);
    // Only the cells that meet what is being painted are drawn (a focus move repaints two).
    RECT painted = client;
    if (dc.GetClipBox(&painted) == ERROR) painted = client;
    const bool uniform = m_nLayerMode || m_bVirtualMode;
    // Most of a uniform grid painted at once (a page, a jump) is painted a row of cells at a
    // time: its strip of background, its cells, its rule, and the column rules of a group of
    // such rows, so the texts and rules go into pixels the strips have just brought into the
    // cache. Every cell keeps to its own rectangle, so the pixels are those of painting the
    // background, all cells and then all rules, the order kept for the strips a line scroll
    // uncovers (fewer calls) and for normal grids (their images may reach past their row).
    const bool banded = uniform && 2 * (painted.right - painted.left) >= client.Width() &&
                        2 * (painted.bottom - painted.top) >= client.Height();
    if (!banded) dc.FillSolidRect(&client, m_crGridBkColour);
    dc.SetBkMode(TRANSPARENT);

    // Rows and columns on screen: fixed ones, then scrollable ones from the top-left cell on.
    auto visible = [&](int count, int fixed, int first, int extent, bool rows) {
        std::vector<int> out;
        int at = 0;
        for (int i = 0; i < fixed && i < count && at < extent; ++i) {
            out.push_back(i);
            at += rows ? GetRowHeight(i) : GetColumnWidth(i);
        }
        for (int i = fixed + first; i < count && at < extent; ++i) {
            out.push_back(i);
            at += uniform ? (rows ? m_nDataRowHeight : m_nDataColWidth)
                          : (rows ? GetRowHeight(i) : GetColumnWidth(i));
        }
        return out;
    };
    const std::vector<int> rows = visible(m_nRows, m_nFixedRows, m_nTopRow, client.Height(), true);
    const std::vector<int> cols = visible(m_nCols, m_nFixedCols, m_nLeftCol, client.Width(), false);

    CPen linePen(PS_SOLID, 1, m_crGridLineColour);
    CPen* oldPen = dc.SelectObject(&linePen);
    std::optional<COLORREF> textColour;
    auto setTextColour = [&](COLORREF colour) {
        // Most cells share a text colour: the DC is told only of a change.
        if (!textColour || *textColour != colour) dc.SetTextColor(colour);
        textColour = colour;
    };
    // A row's numbers that show whole go out together, as ExtTextOut draws what DrawText would
    // (right-aligned, centred on the line height, cut to the cell): runs of one text colour, the
    // focus frame over its cell once the run is out.
    struct Batch {
        std::vector<POLYTEXT> texts;
        COLORREF colour = 0;
        std::optional<RECT> frame;
    } batch;
    TEXTMETRIC metrics{};
    const bool batching = banded && m_nLayerMode && dc.GetTextMetrics(&metrics);
    auto flush = [&] {
        if (!batch.texts.empty()) {
            setTextColour(batch.colour);
            ::PolyTextOut(dc.GetSafeHdc(), batch.texts.data(), int(batch.texts.size()));
            batch.texts.clear();
        }
        if (batch.frame) {
            CBrush frame(RGB(0, 0, 0));
            dc.FrameRect(&*batch.frame, &frame);
            batch.frame.reset();
        }
    };
    auto drawCell = [&](int r, int c) {
        RECT rc;
        GetCellRect(r, c, &rc);
        if (rc.right <= painted.left || rc.left >= painted.right || rc.bottom <= painted.top ||
            rc.top >= painted.bottom)
            return;
        const bool fixedRow = r < m_nFixedRows, fixedCol = c < m_nFixedCols;
        const CGridDefaultCell* def = GetDefaultCell(fixedRow, fixedCol);
        const CGridCell* cell = uniform ? nullptr : &m_cells[size_t(r)][size_t(c)];
        COLORREF back = def->GetBackClr() == kGridDefaultColour ? RGB(255, 255, 255) : def->GetBackClr();
        COLORREF text = def->GetTextClr() == kGridDefaultColour ? RGB(0, 0, 0) : def->GetTextClr();
        if (cell && cell->GetBackClr() != kGridDefaultColour) back = cell->GetBackClr();
        if (cell && cell->GetTextClr() != kGridDefaultColour) text = cell->GetTextClr();
        const bool data = !fixedRow && !fixedCol;
        if (data && m_nLayerMode && m_pRows && m_nColorMode) {
            back = LayerCellColour(r, c);
            const int lum = (GetRValue(back) * 299 + GetGValue(back) * 587 + GetBValue(back) * 114) / 1000;
            text = lum < 128 ? RGB(255, 255, 255) : RGB(0, 0, 0);
        }
        if (data && m_selection.Contains(r, c)) {
            back = kSelectedBack;
            text = kSelectedText;
        }
        // Cells of the grid's own background need no fill of their own.
        if (back != m_crGridBkColour) dc.FillSolidRect(&rc, back);
        RECT inner = rc;
        inner.left += int(def->GetMargin());
        inner.right -= int(def->GetMargin()) + 1;
        const int image = cell ? cell->GetImage() : -1;
        if (image >= 0 && m_pImageList) {
            m_pImageList->Draw(&dc, image, POINT{inner.left, rc.top + (rc.bottom - rc.top - 16) / 2},
                               ILD_TRANSPARENT);
            inner.left += 18;
        }
        const bool focus = data && CCellID(r, c) == m_idCurrentCell;
        const int shown = ShownIndex(r, c);
        if (batching && data && shown >= 0) {
            const CString& value = m_shown.texts[std::size_t(shown)];
            const int advance = m_shown.advances[std::size_t(shown)];
            if (!value.IsEmpty() && inner.left < inner.right && inner.top < inner.bottom &&
                advance <= inner.right - inner.left) {
                if (!batch.texts.empty() && batch.colour != text) flush();
                batch.colour = text;
                batch.texts.push_back(POLYTEXT{
                    inner.right - advance, inner.top + (inner.bottom - inner.top - metrics.tmHeight) / 2,
                    UINT(value.GetLength()), value.c_str(), ETO_CLIPPED, inner, nullptr});
                if (focus) batch.frame = rc;
                return;
            }
        }
        setTextColour(text);
        const UINT align = data && uniform ? DT_RIGHT : (fixedRow ? DT_CENTER : DT_LEFT);
        CString other;
        dc.DrawText(ShownText(r, c, other), &inner,
                    align | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
        if (focus) {
            CBrush frame(RGB(0, 0, 0));
            dc.FrameRect(&rc, &frame);
        }
    };
    // Grid lines: one line per row and per column on screen, not four per cell.
    RECT last{};
    if (!rows.empty() && !cols.empty()) GetCellRect(rows.back(), cols.back(), &last);
    auto rowRule = [&](int r) {
        RECT rc;
        GetCellRect(r, cols.empty() ? 0 : cols.front(), &rc);
        dc.MoveTo(0, rc.bottom - 1);
        dc.LineTo(last.right, rc.bottom - 1);
    };
    auto columnRule = [&](int c, int top, int bottom) {
        RECT rc;
        GetCellRect(rows.empty() ? 0 : rows.front(), c, &rc);
        dc.MoveTo(rc.right - 1, top);
        dc.LineTo(rc.right - 1, bottom);
    };
    if (banded) {
        // The column rules of the rows [top, bottom) in one fill: the pixels their lines give
        // (all of them, from the top to the last row's bottom, made once).
        CBrush ruleBrush(m_crGridLineColour);
        platform::SpanRegion allRules;
        if (!rows.empty() && !cols.empty()) {
            std::vector<RECT> rules;
            for (int c : cols) {
                RECT rc;
                GetCellRect(rows.front(), c, &rc);
                rules.push_back(RECT{rc.right - 1, 0, rc.right, last.bottom});
            }
            allRules = platform::SpanRegion::FromRects(rules);
        }
        auto columnRules = [&](int top, int bottom) {
            if (top >= bottom || allRules.IsEmpty()) return;
            HRGN region =
                ::CreateRgnFromSpans(allRules.ClipToRect(RECT{client.left, top, client.right, bottom}));
            ::FillRgn(dc.GetSafeHdc(), region, ruleBrush);
            ::DeleteObject(region);
        };
        // Rows are painted in groups that stay in the processor's cache until their column
        // rules are drawn over them.
        const int groupHeight = std::max(1, kRuleGroupBytes / std::max(1, 4 * client.Width()));
        int filled = client.top, groupTop = client.top;
        for (int r : rows) {
            RECT band;
            GetCellRect(r, cols.empty() ? 0 : cols.front(), &band);
            const RECT strip{client.left, std::max(filled, int(band.top)), client.right,
                             std::min(int(band.bottom), int(client.bottom))};
            if (strip.top < strip.bottom) dc.FillSolidRect(&strip, m_crGridBkColour);
            filled = std::max(filled, int(band.bottom));
            for (int c : cols) drawCell(r, c);
            flush();
            rowRule(r);
            if (band.bottom - groupTop >= groupHeight || r == rows.back()) {
                columnRules(groupTop, std::min(int(band.bottom), int(last.bottom)));
                groupTop = band.bottom;
            }
        }
        if (filled < client.bottom) {
            const RECT rest{client.left, filled, client.right, client.bottom};
            dc.FillSolidRect(&rest, m_crGridBkColour);
        }
    } else {
        for (int r : rows)
            for (int c : cols) drawCell(r, c);
        for (int r : rows) rowRule(r);
        for (int c : cols) columnRule(c, 0, last.bottom);
    }
    dc.SelectObject(oldPen);
    m_shown = ShownTexts();  // the samples may change before the next paint
}

LRESULT CGridCtrl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
        case WM_PAINT:
            OnPaintGrid();
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_SIZE: {
            const LRESULT result = CWnd::WindowProc(message, wParam, lParam);
            UpdateScrollBars();
            return result;
        }
        case WM_VSCROLL:
        case WM_HSCROLL:
            OnScroll(message == WM_VSCROLL ? SB_VERT : SB_HORZ, LOWORD(wParam));
            return 0;
        case WM_MOUSEWHEEL: {
            const int oldTop = m_nTopRow;
            m_nTopRow -= 3 * short(HIWORD(wParam)) / 120;
            UpdateScrollBars();
            ShowMoved(oldTop, m_nLeftCol);
            return 0;
        }
        case WM_KEYDOWN:
            OnKey(UINT(wParam));
            return 0;
        case WM_CHAR: {
            // Typing on the current cell starts its edit with what was typed, as in a
            // spreadsheet; control characters and halves of surrogate pairs start nothing.
            const auto code = unsigned(wParam);
            if (code < 32 || code == 127 || (code >= 0xD800 && code < 0xE000) ||
                ::GetKeyState(VK_CONTROL) < 0)
                return 0;
            if (!EditCell(m_idCurrentCell.row, m_idCurrentCell.col)) return 0;
            char typed[4] = {};
            if (code < 0x80) {
                typed[0] = char(code);
            } else if (code < 0x800) {
                typed[0] = char(0xC0 | (code >> 6));
                typed[1] = char(0x80 | (code & 0x3F));
            } else {
                typed[0] = char(0xE0 | (code >> 12));
                typed[1] = char(0x80 | ((code >> 6) & 0x3F));
                typed[2] = char(0x80 | (code & 0x3F));
            }
            m_pEdit->SetWindowText(typed);
            m_pEdit->SetSel(1, 1);
            return 0;
        }
        case WM_LBUTTONDOWN:
        case WM_MOUSEMOVE: {
            if (message == WM_MOUSEMOVE && !(wParam & MK_LBUTTON)) break;
            const CCellID cell = GetCellFromPt(CPoint(short(LOWORD(lParam)), short(HIWORD(lParam))));
            if (message == WM_LBUTTONDOWN) {
                EndEditing(TRUE);
                SetFocus();
            }
            if (IsDataCell(cell.row, cell.col) && (message == WM_LBUTTONDOWN || cell != m_idCurrentCell))
                SelectTo(cell, message == WM_MOUSEMOVE || (wParam & MK_SHIFT) != 0);
            return 0;
        }
        case WM_LBUTTONDBLCLK: {
            const CCellID cell = GetCellFromPt(CPoint(short(LOWORD(lParam)), short(HIWORD(lParam))));
            EditCell(cell.row, cell.col);
            return 0;
        }
        case WM_RBUTTONDOWN:
            return 0;
        case WM_RBUTTONUP: {
            const CPoint p(short(LOWORD(lParam)), short(HIWORD(lParam)));
            const CCellID cell = GetCellFromPt(p);
            CPoint screen = p;
            ClientToScreen(&screen);
            Notify(int(NM_RCLICK), cell.row, cell.col, &screen);
            return 0;
        }
        case WM_SETCURSOR: {
            CPoint p;
            ::GetCursorPos(&p);
            ScreenToClient(&p);
            const CCellID cell = GetCellFromPt(p);
            HCURSOR cursor = nullptr;
            Notify(GVN_SETCURSOR, cell.row, cell.col, &cursor);
            if (cursor) {
                ::SetCursor(cursor);
                return TRUE;
            }
            break;
        }
        default:
            break;
    }
    return CWnd::WindowProc(message, wParam, lParam);
}
