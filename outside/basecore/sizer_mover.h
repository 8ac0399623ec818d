#pragma once

// Keeps a resizable dialog's controls anchored: each control added moves with the dialog's
// right or bottom edge, grows with its width or height, or both, by how much the client area
// has changed since Init. The dialog does not get smaller than it was at Init.

#include <vector>

#include "platform/geometry.h"
#include "platform/types.h"

class CWnd;

class CSizerMover {
public:
    /// Anchor flags of AddControl; they combine.
    enum : int {
        kMoveRight = 1,   ///< follows the right edge
        kMoveDown = 2,    ///< follows the bottom edge
        kGrowWidth = 4,   ///< grows with the width
        kGrowHeight = 8,  ///< grows with the height
    };

    /// Records the dialog's client size and window size as they are now.
    void Init(CWnd* dialog);
    /// Records control `id` of the dialog with its anchor flags; FALSE when it is not there.
    BOOL AddControl(int id, int flags);
    /// Places the controls for a client area of cx x cy.
    void OnSize(int cx, int cy);
    /// Keeps a frame being dragged at least as large as at Init.
    void OnSizing(UINT edge, RECT* rect);

private:
    struct Control {
        int id = 0;
        int flags = 0;
        RECT rect{};  ///< in client coordinates at Init
    };
    CWnd* m_pDialog = nullptr;
    SIZE m_client{};
    SIZE m_window{};
    std::vector<Control> m_controls;
};
