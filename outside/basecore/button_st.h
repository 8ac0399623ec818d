#pragma once

// A push button that shows an icon of the resource chain beside its text, drawn by the
// button itself (the dialog gives the button BS_OWNERDRAW). Disabled, it is drawn greyed.

#include "platform/controls/button.h"
#include "platform/controls/owner_draw.h"

class CButtonST : public CButton {
public:
    /// The icon `iconId` of the resource chain, drawn at cx x cy pixels; `iconOut` is kept
    /// for callers (0). Returns 0, or 1 when there is no such icon.
    DWORD SetIcon(int iconId, int iconOut, int cx, int cy);
    HICON GetIcon() const { return m_hIcon; }
    void DrawItem(LPDRAWITEMSTRUCT item) override;

private:
    HICON m_hIcon = nullptr;
    int m_cx = 16;
    int m_cy = 16;
};
