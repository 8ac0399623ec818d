#pragma once

// The "Noise Filtering" dialog: input and output files, one of six filters, the window
// size and, for Lee, Frost, Kuan and Sigma, the noise variance; a preview of the filtered
// image follows every change, and Execute starts CalcFiltration.

#include "modules/common/tool_dlg.h"
#include "modules/convolution/kernova_resources.h"
#include "platform/controls/list_controls.h"
#include "platform/controls/spin_button_ctrl.h"

class CMainFiltrDlg : public CToolDlg {
public:
    static constexpr UINT IDD = IDD_NOISE_FILTER;
    CMainFiltrDlg();

    /// Fills the filter list and selects Mean.
    void SetRealCombo();

    int FilterIndex() const { return m_filter; }
    int WindowSize() const { return m_window; }
    float Variance() const { return m_variance; }

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;

    int PreviewWindowSize() const override { return m_window; }
    bool PreviewParametersValid() const override;
    CThread* StartPreview(const CString& input) override;
    void TakePreview(WPARAM code, LPARAM record) override;
    bool CheckParameters(const ToolPaths& paths) override;
    ToolJob MakeJob(const ToolPaths& paths) override;

    void OnSelchangeComboFiltr();
    void OnVScroll(UINT code, UINT pos, CScrollBar* bar);
    void OnChangeFltEditDnIndex();
    DECLARE_MESSAGE_MAP()

private:
    /// Sigma from the variance, as the records carry it.
    float Sigma() const;
    bool UsesVariance() const { return m_filter >= 2 && m_filter <= 5; }

    CSpinButtonCtrl m_spin;
    CComboBox m_combo;
    float m_variance = 1.645f;
    int m_filter = 0;
    int m_window = 3;
    CString m_sizeText = "3x3";
};

/// The preview thread: filters the input's reduced preview image and sends the answer
/// (a temporary layer file) to the dialog named in the record. 1 done, 0 failed.
UINT FiltrPreviewThread(LPVOID record);
