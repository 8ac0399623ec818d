#pragma once

// The "Coherence calculation" dialog: two complex input files, the output file and the
// window size; Execute starts CalcCoher.

#include "modules/common/tool_dlg.h"
#include "modules/interferometry/fringe_resources.h"
#include "platform/controls/spin_button_ctrl.h"

class CMainCalcCoherDlg : public CToolDlg {
public:
    static constexpr UINT IDD = IDD_COHER;
    CMainCalcCoherDlg();

    int WindowSize() const { return m_window; }

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    bool CheckParameters(const ToolPaths& paths) override;
    ToolJob MakeJob(const ToolPaths& paths) override;
    void OnVScroll(UINT code, UINT pos, CScrollBar* bar);
    DECLARE_MESSAGE_MAP()

private:
    CSpinButtonCtrl m_spin;
    int m_window = 3;
    CString m_sizeText = "3x3";
};

/// Why two inputs cannot be processed together: 628 when one cannot be read, 625 when
/// their sizes differ, 626 when their types do; 0 when they can. `type` receives the
/// inputs' type when both could be read.
UINT TwoInputRefusal(const CString& first, const CString& second, int* type = nullptr);
