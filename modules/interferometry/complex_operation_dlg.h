#pragma once

// The "Complex operations" dialog: two complex inputs, an output and one of five
// operations; Execute starts Complex_Operation.

#include "modules/common/tool_dlg.h"
#include "modules/interferometry/fringe_resources.h"
#include "platform/controls/list_controls.h"

class CComplexOperationDlg : public CToolDlg {
public:
    static constexpr UINT IDD = IDD_COMPLEX_OPERATION;
    CComplexOperationDlg();

    /// The operation chosen (0..4).
    int Operation() const { return m_operation; }

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    bool CheckParameters(const ToolPaths& paths) override;
    ToolJob MakeJob(const ToolPaths& paths) override;
    DECLARE_MESSAGE_MAP()

private:
    CComboBox m_combo;
    int m_operation = 0;
};
