#pragma once

// CDialog: a window built from a dialog template (platform/dialogs/dialog_template.h).
// Modal: DoModal creates it, runs its modal loop through CWnd::RunModalLoop (so a test's
// responder can drive it), destroys it and returns what EndDialog gave. Modeless: Create
// makes it and returns; EndDialog then only hides it. A dialog that owns itself deletes
// itself in PostNcDestroy.
//
// Keys: Enter sends the default button's command (IDOK when there is none) unless the
// focus is on a multi-line edit or a push button (which then is clicked); Esc sends IDCANCEL;
// Tab and Shift+Tab move through the WS_TABSTOP controls in template order.

#include <memory>
#include <vector>

#include "platform/dialogs/dialog_template.h"
#include "platform/window/modal.h"
#include "platform/window/wnd.h"

class CDataExchange;

constexpr UINT WM_INITDIALOG = 0x0110;
constexpr UINT WM_NEXTDLGCTL = 0x0028;
constexpr UINT DM_GETDEFID = WM_USER + 0;
constexpr UINT DM_SETDEFID = WM_USER + 1;
constexpr WORD DC_HASDEFID = 0x534B;

class PLATFORM_API CDialog : public CWnd {
public:
    CDialog() = default;
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    ~CDialog() override;

    /// Modeless: creates the dialog from the template (visible when the template says
    /// WS_VISIBLE). FALSE when the template is missing or creation failed.
    virtual BOOL Create(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    BOOL CreateIndirect(const platform::DialogTemplate& dialogTemplate, CWnd* pParentWnd = nullptr);
    /// Modal: IDOK, IDCANCEL or what EndDialog was given; -1 when the dialog could not be made.
    virtual INT_PTR DoModal();
    /// Ends a modal dialog's loop with nResult; hides a modeless dialog.
    void EndDialog(int nResult);

    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    /// TRUE: controls to variables (and validation); FALSE: variables to controls. FALSE when
    /// a field failed: its message was shown and the focus put on it.
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);
    virtual void DoDataExchange(CDataExchange* pDX);

    // --- controls ------------------------------------------------------------------------------------
    void SetDlgItemText(int nID, LPCTSTR lpszString);
    int GetDlgItemText(int nID, CString& rString) const;
    int GetDlgItemText(int nID, LPTSTR lpStr, int nMaxCount) const;
    void SetDlgItemInt(int nID, UINT nValue, BOOL bSigned = TRUE);
    /// Strictly parsed; *lpTrans FALSE (and 0) when the text is not a number in range.
    UINT GetDlgItemInt(int nID, BOOL* lpTrans = nullptr, BOOL bSigned = TRUE) const;
    void CheckDlgButton(int nIDButton, UINT nCheck);
    UINT IsDlgButtonChecked(int nIDButton) const;
    /// Checks nIDCheckButton and clears the other buttons of the id range.
    void CheckRadioButton(int nIDFirstButton, int nIDLastButton, int nIDCheckButton);
    LRESULT SendDlgItemMessage(int nID, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    void GotoDlgCtrl(CWnd* pWndCtrl);
    void NextDlgCtrl() const;
    void PrevDlgCtrl() const;
    CWnd* GetNextDlgTabItem(CWnd* pWndCtl, BOOL bPrevious = FALSE) const;
    void SetDefID(UINT nID);
    DWORD GetDefID() const;
    /// Dialog units to pixels with this dialog's font.
    void MapDialogRect(LPRECT lpRect) const;

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL PreTranslateMessage(MSG* pMsg) override;

    UINT m_nIDHelp = 0;
    LPCTSTR m_lpszTemplateName = nullptr;

    DECLARE_MESSAGE_MAP()

protected:
    UINT m_nIDTemplate = 0;
    CWnd* m_pParentWnd = nullptr;
    BOOL m_bModal = FALSE;

private:
    bool MakeControls(const platform::DialogTemplate& dialogTemplate);
    CSize m_baseUnits{4, 8};
    int m_defId = IDOK;
    std::vector<std::unique_ptr<CWnd>> m_controls;  // windows made from the template
};

/// The window object made for a control class named in a template; null for an unknown class.
/// Libraries may register classes of their own (a grid, a colour well...).
namespace platform {
using ControlFactory = CWnd* (*)();
PLATFORM_API void RegisterControlClass(const char* className, ControlFactory factory);
PLATFORM_API CWnd* MakeControl(const char* className);
}  // namespace platform
