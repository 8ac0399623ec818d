#pragma once

// Dialogs made from a template of the library's own, modeless or modal.

#include "platform/dialogs/dialog.h"
#include "platform/types.h"
#include "platform/window/wnd.h"

namespace platform {
struct DialogTemplate;
}

/// A dialog made from a template of its own (a least window with its title and Cancel).
class CStandInDlg : public CDialog {
public:
    explicit CStandInDlg(const platform::DialogTemplate& dialogTemplate, CWnd* parent = nullptr);
    /// Modeless, hidden.
    BOOL CreateStandIn(CWnd* parent);
    /// Modal: IDCANCEL unless the user presses OK.
    INT_PTR DoModal() override;

protected:
    const platform::DialogTemplate& m_template;
    /// Set once the window was made: a window that failed in creation stays its creator's to delete.
    bool m_bCreated = false;
};

/// Deletes the object when its window is gone (modeless tool dialogs of the frame).
class CSelfDeletingDlg : public CStandInDlg {
public:
    using CStandInDlg::CStandInDlg;

protected:
    void PostNcDestroy() override;
};
