#pragma once

// The modeless "Find" dialog of a viewer: looks for a typed value in the shown layer from
// the pointer on, forward or backward, and moves the pointer to the next hit.

#include "platform/cstring.h"
#include "platform/geometry.h"
#include "viewer/analysis/stand_in_dlg.h"

class CViewerHost;

class CFindDlg : public CSelfDeletingDlg {
public:
    CFindDlg();
    /// Modeless, owned by the frame whose layer it searches.
    BOOL Create(CViewerHost* host);

    void OnFindNext();

    CViewerHost* m_pHost = nullptr;
    CPoint m_position{-1, -1};
    CString m_strFind;
    int m_nDirection = 0;  ///< 0 forward, 1 backward
    int m_bApproximate = 0;

    BOOL OnInitDialog() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    void OnOK() override;
    void OnCancel() override;

protected:
    void DoDataExchange(CDataExchange* pDX) override;

private:
    void LoadSettings();
    void SaveSettings();

    /// Set while the frame's pointer could not follow the last hit.
    bool m_bOwnPosition = false;
};

inline constexpr UINT IDD_FIND = 220;
inline constexpr int IDC_FIND_TEXT = 2124;
inline constexpr int IDC_FIND_FORWARD = 2125;
inline constexpr int IDC_FIND_BACKWARD = 2126;
inline constexpr int IDC_FIND_APPROXIMATE = 2136;
inline constexpr int IDC_FIND_NEXT = 2090;
