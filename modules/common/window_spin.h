#pragma once

// The window-size spins of the tool dialogs: position p of the up-down control gives the
// square window 2p + 3, shown as "3x3", "5x5", ...

#include "platform/controls/spin_button_ctrl.h"
#include "platform/cstring.h"

class CScrollBar;

/// The window size of spin position `pos`, clamped to 0..`lastPosition`: 2 pos + 3.
int WindowSizeOfSpin(int pos, int lastPosition);
/// "3x3", "5x5", ... for a window size.
CString WindowSizeText(int size);
/// Sets up a window-size spin: range 0..`lastPosition`, position 0.
void InitWindowSpin(CSpinButtonCtrl& spin, int lastPosition);
/// Handles WM_VSCROLL for a window-size spin: on SB_THUMBPOSITION from `spin`, sets `size`
/// and `text` from the position; true when it did.
bool WindowSpinScrolled(UINT code, UINT pos, CScrollBar* bar, CSpinButtonCtrl& spin, int lastPosition,
                        int& size, CString& text);
