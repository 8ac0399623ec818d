#pragma once

// The modeless "File properties" dialog: caption and description of the shown layer file.
// It hands the texts to the frame on Apply; the frame writes them with its next save.

#include "outside/basecore/sizer_mover.h"
#include "outside/basecore/rect_t.h"
#include "platform/cstring.h"
#include "viewer/analysis/stand_in_dlg.h"

class CViewerHost;

class CFilePropertiesDlg : public CSelfDeletingDlg {
public:
    CFilePropertiesDlg();
    BOOL Create(CViewerHost* host);
    /// Reads both texts from the file unless the user has edited them.
    void Fill();

    CViewerHost* m_pHost = nullptr;
    int m_bModified = 0;
    CString m_strCaption;
    CString m_strDescription;

    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    /// Texts shown because the file had none: they are never handed on as content.
    bool m_bCaptionPlaceholder = false, m_bDescriptionPlaceholder = false;
    bool m_bFilling = false;
    CSizerMover m_sizer;
};

inline constexpr int IDC_FILEPROP_CAPTION = 8671;
inline constexpr int IDC_FILEPROP_DESCRIPTION = 8670;
inline constexpr int IDC_FILEPROP_FROM_FILE = 2040;
