#pragma once

// The pseudo-colour palette maker and a list control that shows one colour per row.

#include "platform/controls/list_ctrl.h"
#include "platform/types.h"
#include "platform/window/messages.h"

struct PalitraTag;

/// Sent (not posted) to a colour list's owner, or its parent, once the user picked a new
/// colour for a row: wParam 11, lParam the row; the colour is already stored.
constexpr UINT WM_COLORCHANGED = WM_USER + 512;

/// Fills entries first..last of `palette` with `colours` solid bands (1 to 5) or, for more
/// colours, a red-yellow-green-cyan-blue ramp; -1 means one colour per entry and 0 writes
/// nothing. Nothing is written unless 0 <= first <= last <= 255.
void CreatePseudoColorPalette(PalitraTag* palette, int first, int last, int colours);

/// A list whose column 1 shows the colour of its row; a double click there lets the user
/// pick another colour.
class CColorListCtrl : public CListCtrl {
public:
    CColorListCtrl();
    /// Full-row, header-drag and track selection; keeps the list's background colour.
    void Init();

    COLORREF m_Colors[256];
    COLORREF m_crBack = 0xFFFFFF;

protected:
    void RedrawRow(int row);
    void OnCustomDraw(NMHDR* header, LRESULT* result);
    void OnDoubleClick(NMHDR* header, LRESULT* result);
    DECLARE_MESSAGE_MAP()
};
