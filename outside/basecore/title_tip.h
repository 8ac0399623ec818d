#pragma once

// A small tip window that shows one line of text at a point of its parent, in the parent's
// font and colours or the system's tip colours (the hover texts of the graph windows).

#include "platform/cstring.h"
#include "platform/gdi/gdi_types.h"
#include "platform/geometry.h"
#include "platform/window/wnd.h"

/// A colour that stands for "the system's tip colour".
inline constexpr COLORREF kTitleTipDefaultColour = 0xFF000000;

class CTitleTip : public CWnd {
public:
    CTitleTip() = default;
    ~CTitleTip() override;

    /// Makes the hidden tip window, owned by the top-level window of `parent`, whose client
    /// coordinates Show takes. Nonzero on success.
    BOOL Create(CWnd* parent);
    /// Shows `text` with its top-left corner at `rectTitle`'s (parent client coordinates)
    /// moved right by `xOffset`, as high as the text. `hover` (parent client coordinates,
    /// null: rectTitle) is where the tip stays while the mouse is; the owner hides it once the
    /// mouse has left. Colours kTitleTipDefaultColour take the system's tip colours.
    void Show(CRect rectTitle, const CString& text, int xOffset = 0, const RECT* hover = nullptr,
              HFONT font = nullptr, COLORREF textColour = kTitleTipDefaultColour,
              COLORREF backColour = kTitleTipDefaultColour);
    void Hide();
    /// The text shown, empty while hidden.
    CString GetShownText() const { return m_bShown ? m_strText : CString(); }
    bool IsShown() const { return m_bShown; }
    /// Where the tip stays, in the parent's client coordinates.
    const CRect& HoverRect() const { return m_rcHover; }
    /// The window whose client coordinates Show takes.
    void SetParentWnd(CWnd* parent) { m_pParent = parent; }
    CWnd* GetParentWnd() const { return m_pParent; }
    /// Kept for the callers that set it; the tip always stays on the screen.
    void SetRestrictionMode(int mode) { m_nRestrictionMode = mode; }
    int GetRestrictionMode() const { return m_nRestrictionMode; }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void Paint();

    CWnd* m_pParent = nullptr;
    CString m_strText;
    CRect m_rcHover;
    HFONT m_hFont = nullptr;  // the caller's
    COLORREF m_crText = kTitleTipDefaultColour;
    COLORREF m_crBack = kTitleTipDefaultColour;
    bool m_bShown = false;
    int m_nRestrictionMode = 0;
};
