#pragma once

// The "Coherence calculation" dialog: two complex input files, the output file and the
// window size; Execute starts CalcCoher.

#include "modules/interferometry/fringe_tool.h"

class CMainCalcCoherDlg : public CFringeToolDlg {
public:
    CMainCalcCoherDlg();

    int WindowSize() const { return m_window; }

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    CString HelpPage() const override;
    LRESULT OnMesgInputClick(WPARAM id, LPARAM) override;
    void OnOK() override { OnInterfOk(); }
    /// Execute: the checks in order, then the job.
    void OnInterfOk();
    void OnVScroll(UINT code, UINT pos, CScrollBar* bar);
    DECLARE_MESSAGE_MAP()

private:
    CInFileCtrl m_first;
    CInFileCtrl m_second;
    CInFileCtrl m_output;
    CSpinButtonCtrl m_spin;
    int m_window = 3;
    CString m_sizeText = "3x3";
};
