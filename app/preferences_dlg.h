#pragma once

// The "Common" preferences: the folders and the help file the whole suite reads from
// "\Settings\General", and the recent work folders. Run modally from the command window.

#include <vector>

#include "outside/basecore/button_st.h"
#include "platform/controls/list_controls.h"
#include "platform/cstring.h"
#include "platform/dialogs/dialog.h"

/// Lets the user choose a folder through the shell's folder picker.
class CFolderDialog {
public:
    CFolderDialog() = default;
    virtual ~CFolderDialog() = default;

    /// TRUE when a folder was chosen; its path is then in m_strPath.
    BOOL Browse();

    CString m_strPath;      ///< the chosen folder
    CString m_strInitial;   ///< where browsing starts; empty: anywhere
    CString m_strTitle;     ///< the picker's title; empty: "Open"
    int m_nImageIndex = 0;  ///< the chosen folder's image index
};

class CPreferencesDlg : public CDialog {
public:
    explicit CPreferencesDlg(CWnd* pParent = nullptr);

    CString m_strTempDir;
    CString m_strWorkDir;
    CString m_strPaletteDir;
    CString m_strHelpFile;
    CString m_strKernelsDir;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;

    void OnBrowseTempDir();
    void OnBrowseWorkDir();
    void OnBrowsePaletteDir();
    void OnBrowseKernelsDir();
    void OnBrowseHelpFile();
    void OnSelchangeWorkDir() {}
    void OnEditchangeWorkDir() {}

    DECLARE_MESSAGE_MAP()

private:
    /// Runs the folder picker titled with string titleId; on a choice stores the folder
    /// in target and shows the members again.
    void BrowseFolderInto(UINT titleId, CString& target);

    CButtonST m_btnTempDir;
    CButtonST m_btnWorkDir;
    CButtonST m_btnPaletteDir;
    CButtonST m_btnKernelsDir;
    CComboBox m_comboWorkDir;
    std::vector<CString> m_recentWorkDirs;
};
