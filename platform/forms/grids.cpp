#include "platform/forms/grids.h"

#include <algorithm>

#include "platform/forms/format.h"
#include "platform/gdi/dc.h"

IMPLEMENT_TCLASS(TStringGrid, TCustomControl)

void TStringGrid::Create(void* owner)
{
    TCustomControl::Create(owner);
    SetColor(clWindow);
    SetBounds(0, 0, 320, 120);
    SetColCount(5);
    SetRowCount(5);
}

DWORD TStringGrid::WindowStyle() const
{
    return TCustomControl::WindowStyle() | WS_BORDER | WS_VSCROLL;
}

void TStringGrid::SetColCount(int count)
{
    count = std::max(count, 1);
    m_colWidths.resize(static_cast<std::size_t>(count), m_defaultColWidth);
    for (auto& row : m_cells) row.resize(static_cast<std::size_t>(count));
    m_fixedCols = std::min(m_fixedCols, count - 1);
    Invalidate();
}

void TStringGrid::SetRowCount(int count)
{
    count = std::max(count, 1);
    m_rowHeights.resize(static_cast<std::size_t>(count), m_defaultRowHeight);
    m_cells.resize(static_cast<std::size_t>(count), std::vector<std::string>(m_colWidths.size()));
    m_fixedRows = std::min(m_fixedRows, count - 1);
    SetTopRow(m_topRow);
    UpdateScrollBar();
    Invalidate();
}

void TStringGrid::SetFixedCols(int count)
{
    m_fixedCols = std::clamp(count, 0, ColCount() - 1);
    Invalidate();
}

void TStringGrid::SetFixedRows(int count)
{
    m_fixedRows = std::clamp(count, 0, RowCount() - 1);
    SetTopRow(m_topRow);
    Invalidate();
}

void TStringGrid::SetDefaultColWidth(int width)
{
    m_defaultColWidth = std::max(width, 0);
    std::fill(m_colWidths.begin(), m_colWidths.end(), m_defaultColWidth);
    Invalidate();
}

void TStringGrid::SetDefaultRowHeight(int height)
{
    m_defaultRowHeight = std::max(height, 1);
    std::fill(m_rowHeights.begin(), m_rowHeights.end(), m_defaultRowHeight);
    UpdateScrollBar();
    Invalidate();
}

int TStringGrid::ColWidth(int col) const
{
    return col >= 0 && col < ColCount() ? m_colWidths[static_cast<std::size_t>(col)] : 0;
}

void TStringGrid::SetColWidth(int col, int width)
{
    if (col < 0 || col >= ColCount()) return;
    m_colWidths[static_cast<std::size_t>(col)] = std::max(width, 0);
    Invalidate();
}

int TStringGrid::RowHeight(int row) const
{
    return row >= 0 && row < RowCount() ? m_rowHeights[static_cast<std::size_t>(row)] : 0;
}

void TStringGrid::SetRowHeight(int row, int height)
{
    if (row < 0 || row >= RowCount()) return;
    m_rowHeights[static_cast<std::size_t>(row)] = std::max(height, 1);
    UpdateScrollBar();
    Invalidate();
}

std::string TStringGrid::Cell(int col, int row) const
{
    if (col < 0 || col >= ColCount() || row < 0 || row >= RowCount()) return {};
    return m_cells[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)];
}

void TStringGrid::SetCell(int col, int row, const std::string& text)
{
    if (col < 0 || col >= ColCount() || row < 0 || row >= RowCount()) return;
    m_cells[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)] = text;
    if (HandleAllocated()) m_window->InvalidateRect(CellRect(col, row), FALSE);
}

int TStringGrid::VisibleRows() const
{
    const CRect client = ClientRect();
    int height = 0;
    for (int r = 0; r < m_fixedRows; ++r) height += RowHeight(r) + 1;
    int count = 0;
    for (int r = m_topRow; r < RowCount() && height + RowHeight(r) <= client.Height(); ++r) {
        height += RowHeight(r) + 1;
        ++count;
    }
    return std::max(count, 1);
}

void TStringGrid::SetTopRow(int row)
{
    const int scrollable = RowCount() - m_fixedRows;
    const int last = m_fixedRows + std::max(scrollable - VisibleRows(), 0);
    row = std::clamp(row, m_fixedRows, std::max(last, m_fixedRows));
    if (row == m_topRow) return;
    m_topRow = row;
    UpdateScrollBar();
    Invalidate();
}

void TStringGrid::UpdateScrollBar()
{
    if (!HandleAllocated()) return;
    SCROLLINFO info{sizeof(SCROLLINFO), SIF_RANGE | SIF_PAGE | SIF_POS, 0, 0, 0, 0, 0};
    const int scrollable = RowCount() - m_fixedRows;
    const int visible = VisibleRows();
    info.nMax = scrollable > visible ? scrollable - 1 : 0;
    info.nPage = static_cast<UINT>(scrollable > visible ? visible : 0);
    info.nPos = m_topRow - m_fixedRows;
    m_window->SetScrollInfo(SB_VERT, &info, TRUE);
}

void TStringGrid::Resize()
{
    UpdateScrollBar();
    TCustomControl::Resize();
}

CRect TStringGrid::CellRect(int col, int row) const
{
    if (col < 0 || col >= ColCount() || row < 0 || row >= RowCount()) return CRect(0, 0, 0, 0);
    if (row >= m_fixedRows && row < m_topRow) return CRect(0, 0, 0, 0);
    int x = 0;
    for (int c = 0; c < col; ++c) x += ColWidth(c) + 1;
    int y = 0;
    for (int r = 0; r < std::min(row, m_fixedRows); ++r) y += RowHeight(r) + 1;
    for (int r = m_topRow; r < row; ++r) y += RowHeight(r) + 1;
    return CRect(x, y, x + ColWidth(col), y + RowHeight(row));
}

void TStringGrid::Paint()
{
    TCanvas* canvas = Canvas();
    CDC* dc = canvas->Dc();
    if (!dc) return;
    const CRect client = ClientRect();
    canvas->Brush()->SetColor(Color());
    canvas->FillRect(client);
    canvas->Font()->Assign(Font());
    const COLORREF lines = ColorToRGB(clSilver);
    const auto paintCell = [&](int col, int row) {
        const CRect cell = CellRect(col, row);
        if (cell.IsRectEmpty()) return;
        const bool fixed = col < m_fixedCols || row < m_fixedRows;
        // Grid lines below and right of each cell.
        dc->FillSolidRect(cell.left, cell.bottom, cell.Width() + 1, 1, fixed ? ColorToRGB(clBlack) : lines);
        dc->FillSolidRect(cell.right, cell.top, 1, cell.Height() + 1, fixed ? ColorToRGB(clBlack) : lines);
        if (fixed) {
            canvas->Brush()->SetColor(clBtnFace);
            canvas->FillRect(cell);
            CRect edge = cell;
            dc->Draw3dRect(&edge, ColorToRGB(clBtnHighlight), ColorToRGB(clBtnShadow));
        }
        const std::string text = Cell(col, row);
        if (text.empty()) return;
        canvas->Brush()->SetStyle(bsClear);
        CRect area = cell;
        area.DeflateRect(2, 0);
        canvas->DrawText(text, area, DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_NOPREFIX);
    };
    for (int row = 0; row < RowCount(); ++row)
        for (int col = 0; col < ColCount(); ++col) paintCell(col, row);
}

void TStringGrid::WndProc(TMessage& message)
{
    if (message.Msg == WM_VSCROLL) {
        switch (LOWORD(message.WParam)) {
            case SB_LINEUP:
                SetTopRow(m_topRow - 1);
                break;
            case SB_LINEDOWN:
                SetTopRow(m_topRow + 1);
                break;
            case SB_PAGEUP:
                SetTopRow(m_topRow - VisibleRows());
                break;
            case SB_PAGEDOWN:
                SetTopRow(m_topRow + VisibleRows());
                break;
            case SB_THUMBTRACK:
            case SB_THUMBPOSITION:
                SetTopRow(m_fixedRows + static_cast<short>(HIWORD(message.WParam)));
                break;
            case SB_TOP:
                SetTopRow(m_fixedRows);
                break;
            case SB_BOTTOM:
                SetTopRow(RowCount());
                break;
            default:
                break;
        }
        message.Result = 0;
        return;
    }
    TCustomControl::WndProc(message);
}

void TStringGrid::ReadLayout(const TControlResource& record)
{
    TControlResource rest = record;
    rest.items = {};
    TCustomControl::ReadLayout(rest);
    // Items are the texts of the header row, column by column.
    if (!record.items.empty() && static_cast<int>(record.items.size()) > ColCount())
        SetColCount(static_cast<int>(record.items.size()));
    for (std::size_t c = 0; c < record.items.size(); ++c) SetCell(static_cast<int>(c), 0, record.items[c]);
}

bool TStringGrid::SetProperty(std::string_view name, std::string_view value, TComponent* form)
{
    if (SameText(name, "ColCount"))
        SetColCount(PropertyInt(value));
    else if (SameText(name, "RowCount"))
        SetRowCount(PropertyInt(value));
    else if (SameText(name, "FixedCols"))
        SetFixedCols(PropertyInt(value));
    else if (SameText(name, "FixedRows"))
        SetFixedRows(PropertyInt(value));
    else if (SameText(name, "DefaultColWidth"))
        SetDefaultColWidth(PropertyInt(value));
    else if (SameText(name, "DefaultRowHeight"))
        SetDefaultRowHeight(PropertyInt(value));
    else if (SameText(name, "ReadOnly"))
        return PropertyBool(value);  // a grid of the class library is always read-only
    else
        return TCustomControl::SetProperty(name, value, form);
    return true;
}
