#pragma once

// The "Phase filtration" dialog: a phase (F32 or F64 within 0..2π) or complex input file,
// the output file and the window size; Execute starts Filtration_Phase.

#include "modules/interferometry/fringe_tool.h"

class CPhaseFiltrDlg : public CFringeToolDlg {
public:
    CPhaseFiltrDlg();

    int WindowSize() const { return m_window; }

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    CString HelpPage() const override;
    LRESULT OnMesgInputClick(WPARAM id, LPARAM) override;
    void OnOK() override;
    void OnVScroll(UINT code, UINT pos, CScrollBar* bar);
    DECLARE_MESSAGE_MAP()

private:
    CInFileCtrl m_input;
    CInFileCtrl m_output;
    CSpinButtonCtrl m_spin;
    int m_window = 3;
    CString m_sizeText = "3x3";
};

/// True when the stored statistics of the layer file `path` give a minimum of at least
/// `minLow` and a maximum within maxLow..maxHigh; false without readable statistics.
bool PhaseRangeWithin(const char* path, double minLow, double maxLow, double maxHigh);
