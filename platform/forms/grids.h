#pragma once

// TStringGrid: a read-only table of texts in cells of fixed column widths and row heights;
// the first FixedRows rows (and FixedCols columns) are headers drawn as buttons. Rows that
// do not fit scroll with a vertical scroll bar.

#include <string>
#include <vector>

#include "platform/forms/controls.h"

class PLATFORM_API TStringGrid : public TCustomControl {
    DECLARE_TCLASS(TStringGrid)

    void Create(void* owner) override;

    int ColCount() const { return static_cast<int>(m_colWidths.size()); }
    void SetColCount(int count);
    int RowCount() const { return static_cast<int>(m_rowHeights.size()); }
    void SetRowCount(int count);
    int FixedCols() const { return m_fixedCols; }
    void SetFixedCols(int count);
    int FixedRows() const { return m_fixedRows; }
    void SetFixedRows(int count);
    int DefaultColWidth() const { return m_defaultColWidth; }
    /// Every column gets the width.
    void SetDefaultColWidth(int width);
    int DefaultRowHeight() const { return m_defaultRowHeight; }
    /// Every row gets the height.
    void SetDefaultRowHeight(int height);
    int ColWidth(int col) const;
    void SetColWidth(int col, int width);
    int RowHeight(int row) const;
    void SetRowHeight(int row, int height);
    /// The text of a cell; empty outside the grid.
    std::string Cell(int col, int row) const;
    /// Sets a cell's text; ignored outside the grid.
    void SetCell(int col, int row, const std::string& text);
    /// The first row below the fixed ones that shows.
    int TopRow() const { return m_topRow; }
    void SetTopRow(int row);
    /// The cell's rectangle in the grid (empty when it is scrolled out of sight).
    CRect CellRect(int col, int row) const;
    void WndProc(TMessage& message) override;
    void ReadLayout(const TControlResource& record) override;
    bool SetProperty(std::string_view name, std::string_view value, TComponent* form) override;

protected:
    TStringGrid() = default;
    void Paint() override;
    void Resize() override;
    DWORD WindowStyle() const override;

private:
    void UpdateScrollBar();
    int VisibleRows() const;

    std::vector<int> m_colWidths;
    std::vector<int> m_rowHeights;
    std::vector<std::vector<std::string>> m_cells;  ///< by row, then column
    int m_fixedCols = 1;
    int m_fixedRows = 1;
    int m_defaultColWidth = 64;
    int m_defaultRowHeight = 24;
    int m_topRow = 1;
};
