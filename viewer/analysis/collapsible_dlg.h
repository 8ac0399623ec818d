#pragma once

// Base of the modeless dialogs that fold a lower part of themselves away and back: it only
// moves controls and resizes the window; the derived dialog decides what to hide or show.

#include "outside/basecore/rect_t.h"
#include "platform/geometry.h"
#include "viewer/analysis/stand_in_dlg.h"

class CCollapsibleDlg : public CSelfDeletingDlg {
public:
    using CSelfDeletingDlg::CSelfDeletingDlg;

    /// Stores the full window rectangle (screen coordinates); derived dialogs call it first.
    BOOL OnInitDialog() override;

    /// Moves control `firstId` and every sibling after it (template order) up by `delta`
    /// pixels and takes `delta` off the dialog's height; a negative delta moves down and
    /// grows. An id that names no control only resizes the dialog.
    void ShiftControls(int firstId, int delta);
    /// Hides every control before the marker in template order (all of them without it).
    void HideControlsBefore(int markerId);
    /// Makes the client area exactly as tall as that control.
    void FitHeightToControl(int controlId);
    /// Gives the window back the size it had when it was initialised; the corner stays.
    void RestoreFullSize();

    CRect m_rcFull;
};
