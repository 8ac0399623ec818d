#pragma once

// The "Phase filtration" dialog: a phase (F32 or F64 within 0..2π) or complex input file,
// the output file and the window size; Execute starts Filtration_Phase.

#include "modules/common/tool_dlg.h"
#include "modules/interferometry/fringe_resources.h"
#include "platform/controls/spin_button_ctrl.h"

class CPhaseFiltrDlg : public CToolDlg {
public:
    static constexpr UINT IDD = IDD_PHASE_FILTR;
    CPhaseFiltrDlg();

    int WindowSize() const { return m_window; }

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    ToolJob MakeJob(const ToolPaths& paths) override;
    void OnVScroll(UINT code, UINT pos, CScrollBar* bar);
    DECLARE_MESSAGE_MAP()

private:
    CSpinButtonCtrl m_spin;
    int m_window = 3;
    CString m_sizeText = "3x3";
};

/// True when the stored statistics of the layer file `path` give a minimum of at least
/// `minLow` and a maximum within maxLow..maxHigh; false without readable statistics.
bool PhaseRangeWithin(const char* path, double minLow, double maxLow, double maxHigh);
