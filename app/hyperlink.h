#pragma once

// A static text that looks and acts like a link: underlined, coloured by state (link,
// hovered, visited), with a hand cursor and a tool tip showing its target, and opening the
// target through the shell when clicked. Bind it to a static control of a dialog with
// DDX_Control; the control gets SS_NOTIFY then.

#include "platform/controls/static_ctrl.h"
#include "platform/controls/tool_tip_ctrl.h"
#include "platform/gdi/gdi_objects.h"
#include "platform/window/cursor.h"

class CHyperLink : public CStatic {
public:
    CHyperLink() = default;
    ~CHyperLink() override = default;

    /// The target; once the window exists, refits it and updates the tool tip.
    void SetURL(const CString& url);
    CString GetURL() const { return m_strURL; }

    /// Colours of the three states; a hover colour of -1 is the system highlight colour.
    void SetColours(COLORREF link, COLORREF visited, COLORREF hover = static_cast<COLORREF>(-1));
    COLORREF GetLinkColour() const { return m_crLinkColour; }
    COLORREF GetVisitedColour() const { return m_crVisitedColour; }
    COLORREF GetHoverColour() const { return m_crHoverColour; }

    void SetVisited(BOOL visited = TRUE);
    BOOL GetVisited() const { return m_bVisited; }
    BOOL IsHovering() const { return m_bOverControl; }
    /// The cursor over the link; null loads the standard hand.
    void SetLinkCursor(HCURSOR cursor);
    HCURSOR GetLinkCursor() const { return m_hLinkCursor; }
    void SetUnderline(BOOL underline = TRUE);
    BOOL GetUnderline() const { return m_bUnderline; }
    /// Whether the window is fitted to its text.
    void SetAutoSize(BOOL autoSize = TRUE);
    BOOL GetAutoSize() const { return m_bAdjustToFit; }
    /// The text the tool tip shows for the link.
    CString GetToolTipText() const;

    /// Opens `url` with the shell; when the shell cannot, hands it to the browser registered
    /// for ".htm" pages. Returns a value above 32 on success, else the error code.
    static INT_PTR GotoURL(LPCTSTR url, int showCommand);
    /// The text that tells the user why a link could not be opened (error code `code`).
    static CString ErrorText(INT_PTR code);

    BOOL PreTranslateMessage(MSG* pMsg) override;

protected:
    void PreSubclassWindow() override;
    HBRUSH CtlColor(CDC* pDC, UINT nCtlColor);
    BOOL OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message);
    void OnMouseMove(UINT nFlags, CPoint point);
    void OnClicked();
    DECLARE_MESSAGE_MAP()

private:
    void PositionWindow();
    void SetDefaultCursor();
    void ReportError(INT_PTR code);

    COLORREF m_crLinkColour = RGB(0, 0, 238);
    COLORREF m_crVisitedColour = RGB(85, 26, 139);
    COLORREF m_crHoverColour = ::GetSysColor(COLOR_HIGHLIGHT);
    BOOL m_bOverControl = FALSE;
    BOOL m_bVisited = FALSE;
    BOOL m_bUnderline = TRUE;
    BOOL m_bAdjustToFit = TRUE;
    CString m_strURL;
    CFont m_Font;
    HCURSOR m_hLinkCursor = nullptr;
    CToolTipCtrl m_ToolTip;
};
