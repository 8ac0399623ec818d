#pragma once

// The window every tool of the maker's further libraries (Arithmo, Recast, Toolbelt) opens
// here: those libraries are not part of Tarvenix, so each of their entry functions shows
// this small modeless window, titled with the tool's name, that says so. It frees itself
// when closed.

#include "platform/dialogs/dialog.h"

/// A modeless note standing in for a tool of an outside library.
class COutsideToolDlg : public CDialog {
public:
    /// The control that shows the note.
    static constexpr int kNoteId = 1001;

    COutsideToolDlg(const char* library, const char* tool);

    /// Makes the window (owned by `owner` when one is given) and shows it; FALSE when it
    /// could not be made, and the object is then deleted.
    BOOL CreateAndShow(CWnd* owner);

protected:
    BOOL OnInitDialog() override;
    void OnOK() override { DestroyWindow(); }
    void OnCancel() override { DestroyWindow(); }
    void PostNcDestroy() override
    {
        if (m_ownsItself) delete this;
    }

private:
    CString m_library;
    CString m_tool;
    bool m_ownsItself = false;  // from a successful creation on
};

/// Opens the stand-in window of `tool` of the outside library `library` and returns at once.
void ShowOutsideTool(const char* library, const char* tool, CWnd* owner = nullptr);
