#pragma once

// The "Phase unwrapping" dialog: the wrapped phase file, an optional mask with an
// iteration count, and the output file, in edit boxes with browse buttons; Execute starts
// FazeUnwrap_F32C64. Its texts are Russian.

#include "modules/common/tool_dlg.h"
#include "modules/interferometry/fringe_resources.h"

class CMainPhUnwrapDlg : public CToolDlg {
public:
    static constexpr UINT IDD = IDD_PHASE_UNWRAP;
    CMainPhUnwrapDlg();

    const CString& InputPath() const { return m_inputPath; }
    const CString& OutputPath() const { return m_outputPath; }
    const CString& MaskPath() const { return m_maskPath; }
    int InputType() const { return m_inputType; }

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    bool InputInUse(std::size_t index) const override;
    bool CheckParameters(const ToolPaths& paths) override;
    ToolJob MakeJob(const ToolPaths& paths) override;
    void OnButtonInput();
    void OnButtonOutput();
    void OnButtonMask();
    void OnCheckNeedMask();
    DECLARE_MESSAGE_MAP()

private:
    /// Enables the mask's controls with the check box.
    void EnableMaskControls();

    CString m_inputPath;
    CString m_outputPath;
    CString m_inputInfo;
    CString m_maskInfo;
    CString m_maskPath;
    int m_useMask = 0;
    int m_iterations = 10;
    int m_inputType = 0;
};
