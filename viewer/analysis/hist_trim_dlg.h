#pragma once

// "Histogram Triming": the display range of a layer (or of each channel of an RGB
// composite) set with two sliders over its histogram, two typed bounds or a stretch method.

#include "outside/basecore/dlg_toolbar.h"
#include "outside/basecore/hist_trim_ctrl.h"
#include "platform/controls/list_controls.h"
#include "platform/dialogs/dialog.h"

class CHistTrimDlg : public CDialog {
public:
    explicit CHistTrimDlg(CWnd* parent = nullptr);

    /// 1 single band (channel 1 current), 2 RGB (red, channel 3, current).
    void SetColorMode(int mode);
    /// Copies the record into channel 1, 3, 4 or 5; null empties the channel's range.
    void SetChannelData(const TuneTrimData* data, int channel);
    /// The current channel's method and bounds.
    int GetMethod() const;
    double GetHighBound() const;
    double GetLowBound() const;
    /// The record of channel 1, 3, 4 or 5; null for any other.
    TuneTrimData* GetChannelSlot(int channel);
    const TuneTrimData* GetChannelSlot(int channel) const;
    static COLORREF GetChannelColor(int channel);
    int GetCurrentChannel() const { return m_nChannel; }

    BOOL OnInitDialog() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    TuneTrimData m_channels[4];
    int m_nColorMode = 1;
    int m_nChannel = 1;
    CDlgToolbar m_toolbar;
    CComboBox m_cbMethod;
    CHistTrimCtrl m_trimCtrl;
    CString m_strHigh;
    CString m_strLow;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    void OnOK() override;

    void UpdateTrimCtrl();
    void UpdateControls();
    void OnSelChangeMethod();
    void OnChangeLowEdit();
    void OnChangeHighEdit();
    void OnTrimSlide(int left, int right);
    void SelectChannel(int channel);

private:
    TuneTrimData& Current() { return *GetChannelSlot(m_nChannel); }
    /// Set while the dialog writes the bound edits itself, so their change is not the user's.
    bool m_bUpdating = false;
};
