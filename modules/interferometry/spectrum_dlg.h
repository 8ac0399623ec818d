#pragma once

// The "Spectrum Analysis" dialog: an input, an output, the mode (spectrum or restore) and
// the shift; Execute starts Calc_Spectr or Restore_From_Spectr. The "Derivation" dialog:
// an input and an output; Execute starts Calc_Diff.

#include "modules/common/tool_dlg.h"
#include "modules/interferometry/fringe_resources.h"

class CFFTDlg : public CToolDlg {
public:
    static constexpr UINT IDD = IDD_FFT;
    CFFTDlg();

    int Mode() const { return m_mode; }
    int Shift() const { return m_shift; }

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    bool CheckParameters(const ToolPaths& paths) override;
    ToolJob MakeJob(const ToolPaths& paths) override;
    DECLARE_MESSAGE_MAP()

private:
    int m_mode = 0;   ///< 0 spectrum, 1 restore
    int m_shift = 1;  ///< the check box
};

class CDiffDlg : public CToolDlg {
public:
    static constexpr UINT IDD = IDD_DIFF;
    CDiffDlg();

protected:
    ToolJob MakeJob(const ToolPaths& paths) override;
};
