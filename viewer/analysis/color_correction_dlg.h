#pragma once

// The modeless "Color correction" dialog of a viewer: brightness, contrast and gamma per
// channel, turned into three 256-entry tables that the frame applies to its view.

#include <array>

#include "platform/controls/edit.h"
#include "platform/controls/image_list.h"
#include "platform/controls/slider_ctrl.h"
#include "platform/controls/tab_ctrl.h"
#include "platform/types.h"
#include "viewer/analysis/centered_slider_ctrl.h"
#include "viewer/analysis/collapsible_dlg.h"
#include "viewer/analysis/curve_static.h"

class CColorCorrectionDlg : public CCollapsibleDlg {
public:
    CColorCorrectionDlg();
    /// Modeless and hidden, owned by the viewer frame `parent`.
    BOOL Create(CWnd* parent);
    /// 1 single band (channel tabs folded away, the "All" tab chosen), 2 RGB.
    void SetMode(int mode);
    int GetMode() const { return m_nMode; }

    /// Fills one 256-entry table: gamma first, then brightness, then contrast.
    static void BuildTable(double gamma, double brightness, double contrast, BYTE* table);
    /// The table of channel 0 (red), 1 (green) or 2 (blue); the three lie one after another,
    /// so the first is also the block of all three the frame is handed.
    const BYTE* Table(int channel) const { return m_tables.data() + 256 * channel; }

    double m_gamma[3] = {1.0, 1.0, 1.0};
    double m_brightness[3] = {};
    double m_contrast[3] = {};

    BOOL OnInitDialog() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    static constexpr double kGammaMin = 0.1;
    static constexpr double kGammaMax = 7.0;
    static constexpr int kBrightnessRange = 255;
    static constexpr int kContrastRange = 127;

private:
    enum class Value { Brightness, Contrast, Gamma };
    void Reset();
    /// Rebuilds the tables, redraws the curves and hands the tables to the owner frame.
    void Apply();
    /// Writes the value to every channel with "All" chosen, else to the chosen one.
    void SetValue(Value which, double value);
    /// The sliders and edits show the channel of the chosen tab (0 for "All").
    void ShowChannel();
    void ShowEdits();
    int CurrentChannel() const;
    void OnSlider(CWnd* slider, UINT code, UINT position);
    void OnEditChange(int id);

    int m_nMode = 2;
    std::array<BYTE, 3 * 256> m_tables{};
    CImageList m_tabImages;
    CTabCtrl m_tabs;
    CSliderCtrl m_brightnessSlider;
    CSliderCtrl m_contrastSlider;
    CCenteredSliderCtrl m_gammaSlider;
    CCurveStatic m_curves;
    bool m_bWriting = false;
};

inline constexpr UINT IDD_COLOR_CORRECTION = 261;
inline constexpr int IDC_CC_TABS = 2094;
inline constexpr int IDC_CC_BRIGHT_LABEL = 2123;
inline constexpr int IDC_CC_BRIGHT_SLIDER = 2091;
inline constexpr int IDC_CC_CONTRAST_SLIDER = 2092;
inline constexpr int IDC_CC_GAMMA_SLIDER = 2093;
inline constexpr int IDC_CC_BRIGHT_EDIT = 2070;
inline constexpr int IDC_CC_CONTRAST_EDIT = 2069;
inline constexpr int IDC_CC_GAMMA_EDIT = 2097;
inline constexpr int IDC_CC_CURVES = 2095;
