#pragma once

// "Logical coords": the map coordinates of the first and last pixel of the picture shown,
// which the user may retype (Apply) or take again from the file (Default). Made once with
// the viewer frame, shown and hidden by it, deleted with it.

#include "platform/cstring.h"
#include "platform/dialogs/dialog.h"

class CViewerHost;

class CLogicalCoordsDlg : public CDialog {
public:
    explicit CLogicalCoordsDlg(CWnd* parent = nullptr);
    ~CLogicalCoordsDlg() override;
    /// Modeless, hidden, with the frame as parent.
    virtual BOOL Create(CViewerHost* host);

    /// Fills the fields from the view window's coordinate law.
    void RefreshFromView();
    /// Checks the typed ranges and sets them as the picture's law.
    void OnApply();
    /// Takes the law stored in the file of the active layer again.
    void OnDefault();

    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    CViewerHost* m_pHost = nullptr;
    CString m_strXTo;
    CString m_strYTo;
    CString m_strXFrom;
    CString m_strYFrom;
    double m_dXTo = 0.0;
    double m_dYTo = 0.0;
    double m_dXFrom = 0.0;
    double m_dYFrom = 0.0;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    void PostNcDestroy() override;
    /// TRUE: texts to numbers; FALSE: numbers to texts. Texts to numbers gives false when a
    /// text does not start with a finite number.
    bool SyncValues(BOOL toNumbers);

private:
    void ShowInvalid();
    bool m_bCreated = false;
};
