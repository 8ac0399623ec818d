#pragma once

// Basecore's frame that lists texts in columns: which row and column were active last,
// how many rows it has, and the texts of each column.

#include <vector>

#include "platform/cstring.h"
#include "platform/frame/frame_wnd.h"

class CListFrame : public CFrameWnd {
public:
    /// The texts of one column, top to bottom.
    using Column = std::vector<CString>;

    int GetActiveIndex() const { return m_nActiveIndex; }
    int GetLastActiveColIndex() const { return m_nLastActiveCol; }
    int GetRows() const { return m_nRows; }
    /// The texts of column i; null when there is no such column.
    Column* GetCol(int i)
    {
        return i >= 0 && i < int(m_columns.size()) ? &m_columns[std::size_t(i)] : nullptr;
    }

protected:
    int m_nActiveIndex = -1;
    int m_nLastActiveCol = -1;
    int m_nRows = 0;
    std::vector<Column> m_columns;
};
