#pragma once

// The "Complex operations" dialog: two complex inputs, an output and one of five
// operations; Execute starts Complex_Operation.

#include "modules/interferometry/fringe_tool.h"
#include "platform/controls/list_controls.h"

class CComplexOperationDlg : public CFringeToolDlg {
public:
    CComplexOperationDlg();

    /// The operation chosen (0..4).
    int Operation() const { return m_operation; }

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    void OnOK() override;
    CString HelpPage() const override;
    DECLARE_MESSAGE_MAP()

private:
    /// The checks of Execute, in order; false after the user was told.
    bool CheckFiles(const CString& first, const CString& second, const CString& output);

    CInFileCtrl m_first;
    CInFileCtrl m_second;
    CInFileCtrl m_output;
    CComboBox m_combo;
    int m_operation = 0;
};
