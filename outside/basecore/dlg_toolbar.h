#pragma once

// A tool bar inside a dialog: buttons and pictures from a tool-bar resource, tips from the
// string table ("status text\ntip"), commands to the dialog. Buttons may act as a group of
// check buttons of which one is down.

#include "platform/frame/tool_bar.h"

class CDlgToolbar : public CToolBar {
public:
    CDlgToolbar() = default;
    /// Makes the bar from tool-bar resource `resourceId` at `topLeft` of the dialog's client
    /// area; FALSE when the bar or the resource cannot be had.
    BOOL CreateFromResource(CWnd* dialog, UINT resourceId, CPoint topLeft = CPoint(0, 0));
    /// Makes every button one of a check group.
    void SetCheckGroup();
    /// Presses the button `id` (and, in a group, lets the others up).
    void SetChecked(UINT id);
    bool IsChecked(UINT id) const;
};
