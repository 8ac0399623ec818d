#pragma once

// The "Spectrum Analysis" dialog: an input, an output, the mode (spectrum or restore) and
// the shift; Execute starts Calc_Spectr or Restore_From_Spectr. The "Derivation" dialog:
// an input and an output; Execute starts Calc_Diff.

#include "modules/interferometry/fringe_tool.h"

class CFFTDlg : public CFringeToolDlg {
public:
    CFFTDlg();

    int Mode() const { return m_mode; }
    int Shift() const { return m_shift; }

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    void OnOK() override;
    CString HelpPage() const override;
    DECLARE_MESSAGE_MAP()

private:
    /// The checks of Execute, in order; false after the user was told.
    bool CheckFiles(const CString& input, const CString& output);

    CInFileCtrl m_input;
    CInFileCtrl m_output;
    int m_mode = 0;   ///< 0 spectrum, 1 restore
    int m_shift = 1;  ///< the check box
};

class CDiffDlg : public CFringeToolDlg {
public:
    CDiffDlg();

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    void OnOK() override;

private:
    CInFileCtrl m_input;
    CInFileCtrl m_output;
};
