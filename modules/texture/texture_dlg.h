#pragma once

// The "Texture Analysis" dialog: input and output files, a first-order ("1-D") or
// co-occurrence ("2-D") statistic, the window size and, for co-occurrence, the direction
// and the distance. A preview of the statistic follows every change; Execute starts
// Texture_Analis_First or Texture_Analis_Second.

#include <cstdint>
#include <vector>

#include "modules/common/tool_dlg.h"
#include "modules/texture/texture_resources.h"
#include "platform/controls/edit.h"
#include "platform/controls/list_controls.h"
#include "platform/controls/spin_button_ctrl.h"

/// One preview request to the preview thread, and its picture back.
struct STexturePreviewParam {
    CString input;
    int statistic = 0;
    int window = 3;
    std::uint8_t direction = 0;
    std::uint8_t distance = 1;  ///< the low byte of the dialog's distance
    int preTrimming = 0;
    int dimensionality = 0;
    HWND dialog = nullptr;              ///< where the answer is sent
    std::vector<std::uint8_t> picture;  ///< width x height levels, bottom row first; empty: no picture
    int width = 0;
    int height = 0;
};

class CMainTextureDlg : public CToolDlg {
public:
    static constexpr UINT IDD = IDD_TEXTURE;
    CMainTextureDlg();

    /// Fills the statistic list with the six first-order entries, selects the first and
    /// disables the direction and the distance.
    void SetFirstCombo();
    /// The same with the seven co-occurrence entries; the direction and the distance are enabled.
    void SetSecondCombo();

    int Dimensionality() const { return m_dimensionality; }
    int StatisticIndex() const { return m_statistic; }
    int WindowSize() const { return m_window; }
    int Direction() const { return m_direction; }
    int Distance() const { return m_distance; }
    int PreTrimming() const { return m_preTrimming; }

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;

    CThread* StartPreview(const CString& input) override;
    void TakePreview(WPARAM code, LPARAM record) override;
    bool CheckParameters(const ToolPaths& paths) override;
    ToolJob MakeJob(const ToolPaths& paths) override;

    void OnSelchangeTextureComboOrder();
    void OnSelchangeTextureComboType();
    void OnSelchangeTextureComboAngle();
    void OnChangeTextureEditDist();
    void OnTextureCheckObrez();
    void OnVScroll(UINT code, UINT pos, CScrollBar* bar);
    DECLARE_MESSAGE_MAP()

private:
    void FillStatistics(int dimensionality);
    void OnSettingChanged();

    int m_window = 3;
    CEdit m_distanceEdit;
    CSpinButtonCtrl m_spin;
    CComboBox m_statisticCombo;
    int m_dimensionality = 0;
    int m_distance = 1;
    int m_statistic = 0;
    CString m_sizeText = "3x3";
    int m_direction = 0;
    int m_preTrimming = 0;
};

/// The preview thread: the statistic over the input's reduced preview raster, with the
/// job's levels and kernels; the picture goes to the dialog named in the record. Returns 1.
UINT TexturePreviewProc(LPVOID record);

/// The picture of a preview result (w x h values, top row first): levels 0..255 between
/// the smallest and the largest finite value, bottom row first; non-finite values draw 0.
/// Empty when no value is finite or all finite values are equal.
std::vector<std::uint8_t> TexturePreviewPicture(const std::vector<float>& values, int width, int height);
