#pragma once

// The modal "RGB Channels" dialog: three layer files for the red, green and blue channels
// of a composite. In input mode each file gets a small preview in its channel's colour and
// the three must be of one size; in output mode the three names are new files.

#include "outside/basecore/in_file_ctrl.h"
#include "outside/basecore/preview_static.h"
#include "platform/controls/button.h"
#include "platform/cstring.h"
#include "viewer/analysis/stand_in_dlg.h"

class CRGBChannelsDlg : public CStandInDlg {
public:
    /// `input` 1: three existing files with previews; 0: three names of files to write.
    CRGBChannelsDlg(CWnd* parent, int input);

    /// The path of channel 3, 4 or 5 when all three are named; empty otherwise.
    CString IsDataReady(int channel) const;
    /// The component chosen for channel 3, 4 or 5 at OK (-1 when none); 0 for any other.
    int GetChannelFile(int channel) const;
    /// Presets the path of channel 3, 4 or 5; other numbers are ignored.
    void SetChannelPath(const CString& path, int channel);
    /// Presets the component whose preview channel 3, 4 or 5 shows first.
    void SetChannelComponent(int component, int channel);

    int m_bInput = 1;
    CString m_strRed, m_strGreen, m_strBlue;
    int m_nRedPart = -1, m_nGreenPart = -1, m_nBluePart = -1;

    BOOL OnInitDialog() override;
    void OnOK() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    CPreviewStatic m_previews[3];
    CButton m_open;
    CInFileCtrl m_pickers[3];

protected:
    void DoDataExchange(CDataExchange* pDX) override;

private:
    CString& PresetPath(int slot);
    int& Part(int slot);
    bool AllChosen() const;
    void EnableOpen();
    void BuildPreview(const CString& path, int component, int slot);
    void OnFileChosen(int pickerId);

    /// The paths taken at OK; the pickers go with the window.
    CString m_chosen[3];
};

inline constexpr UINT IDD_RGB_CHANNELS = 205;
inline constexpr int IDC_RGB_RED_FILE = 2077;
inline constexpr int IDC_RGB_GREEN_FILE = 2078;
inline constexpr int IDC_RGB_BLUE_FILE = 2079;
inline constexpr int IDC_RGB_RED_PREVIEW = 4556;
inline constexpr int IDC_RGB_GREEN_PREVIEW = 4557;
inline constexpr int IDC_RGB_BLUE_PREVIEW = 4558;
