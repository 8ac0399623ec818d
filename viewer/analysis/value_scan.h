#pragma once

// The search of the Replace dialog and its job: from a cell, forward along the rows or
// backward, for cells holding a typed value exactly or to the decimals typed. Rows are
// scanned in the layer's own sample type.

#include <functional>
#include <vector>

#include "platform/cstring.h"
#include "platform/geometry.h"

class CRDPLayer;

/// A real and an imaginary text from a typed value: "(3, 4)", "3, 4", "3; 4" or "3 4";
/// a single number gives "0" as imaginary text.
void SplitComplexText(const CString& text, CString& realText, CString& imagText);

/// What a search looks for.
struct ValueQuery {
    double re = 0.0;
    double im = 0.0;
    double fRe = 1.0;  ///< approximate match: Round(f x cell) == Round(f x value)
    double fIm = 1.0;
    bool approximate = false;
    int component = 2;  ///< 0 amplitude, 1 phase, 2 real, 3 imaginary, 4 both parts
};

/// The query for the typed text. Each part is read as atof reads it; its multiplier is 10 to
/// the number of characters after the first ".", at most 10^15, and 1 for a value of 0 or a
/// text without a point.
ValueQuery MakeValueQuery(const CString& text, bool approximate, int component);

/// Looks from the cell after `position` (direction 0: along the row, then the rows below;
/// 1: backward, then the rows above) without wrapping. True with the match in `position`.
/// `onRow` is called before each further row is scanned (it may throw to stop the search).
bool ScanForValue(const CRDPLayer& layer, const ValueQuery& query, int direction, CPoint& position,
                  const std::function<void(int row)>& onRow = {});
/// Calls hit(x) for every cell of row y that matches, from column `from` on in the direction
/// (0: towards the row's end, 1: towards its start), in that order. The cells are tested as
/// they are when the search reaches them. False when there is no such row.
bool ForEachMatchInRow(const CRDPLayer& layer, const ValueQuery& query, int direction, int y, int from,
                       const std::function<void(int x)>& hit);

/// What replacing the matches of one row changed: the columns written, in the search's
/// order, and the bytes each of them held before (one sample's bytes after the other).
struct RowReplacement {
    std::vector<int> columns;
    std::vector<unsigned char> before;
};

/// Replaces the matches of `count` rows from row y on in the search's direction (y, then
/// y + 1 or y - 1 ...) with the sample at `sample` (the layer's own type): rows[i] receives
/// what was written in the i-th of them. Each row is searched and then written on one of
/// all the cores; a write changes only a cell already tested, so every cell is tested as a
/// search of one row after the other finds it.
void ReplaceInRows(CRDPLayer& layer, const ValueQuery& query, int direction, int y, int count,
                   const void* sample, std::vector<RowReplacement>& rows);
/// Gives the cells of row y that a ReplaceInRows wrote their bytes from before back.
void UndoRowReplacement(CRDPLayer& layer, int y, const RowReplacement& row);
