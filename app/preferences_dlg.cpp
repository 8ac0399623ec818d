#include "app/preferences_dlg.h"

#include "app/preferences_resources.h"
#include "outside/basecore/mru_list.h"
#include "outside/basecore/settings.h"
#include "platform/common_dialogs/file_dialog.h"
#include "platform/common_dialogs/folder_browser.h"
#include "platform/dialogs/data_exchange.h"
#include "platform/kernel/files.h"

namespace {

constexpr const char* kGeneralKey = "\\Settings\\General";
constexpr const char* kRecentWorkDirsKey = "\\Settings\\General\\MRUWorkDir";
constexpr int kBrowseIconSide = 32;

/// A chosen folder as it is stored: one trailing "/" dropped, the root kept as "/".
CString StoredFolder(CString path)
{
    if (path.GetLength() > 1 && path[path.GetLength() - 1] == '/') path = path.Left(path.GetLength() - 1);
    return path;
}

}  // namespace

// --- folder browser -----------------------------------------------------------------------------------

BOOL CFolderDialog::Browse()
{
    LPMALLOC allocator = nullptr;
    if (::SHGetMalloc(&allocator) != S_OK || !allocator) return FALSE;
    LPITEMIDLIST root = nullptr;
    if (!m_strInitial.IsEmpty()) {
        root = ::ILCreateFromPath(m_strInitial);
        if (!root) {
            allocator->Release();
            return FALSE;
        }
    }
    char displayName[MAX_PATH] = {};
    BROWSEINFO info;
    info.hwndOwner = nullptr;
    info.pidlRoot = root;
    info.pszDisplayName = displayName;
    info.lpszTitle = m_strTitle.IsEmpty() ? "Open" : m_strTitle.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_RETURNFSANCESTORS;
    LPITEMIDLIST chosen = ::SHBrowseForFolder(&info);
    if (root) allocator->Free(root);
    if (!chosen) {
        allocator->Release();
        return FALSE;
    }
    m_nImageIndex = info.iImage;
    char path[MAX_PATH] = {};
    const BOOL converted = ::SHGetPathFromIDList(chosen, path);
    allocator->Free(chosen);
    allocator->Release();
    if (!converted) return FALSE;
    m_strPath = path;
    return TRUE;
}

// --- preferences --------------------------------------------------------------------------------------

BEGIN_MESSAGE_MAP(CPreferencesDlg, CDialog)
    ON_BN_CLICKED(IDC_PREF_TEMP_BROWSE, OnBrowseTempDir)
    ON_BN_CLICKED(IDC_PREF_WORK_BROWSE, OnBrowseWorkDir)
    ON_BN_CLICKED(IDC_PREF_PALETTE_BROWSE, OnBrowsePaletteDir)
    ON_BN_CLICKED(IDC_PREF_KERNELS_BROWSE, OnBrowseKernelsDir)
    ON_BN_CLICKED(IDC_PREF_HELP_BROWSE, OnBrowseHelpFile)
    ON_CONTROL(CBN_SELCHANGE, IDC_PREF_WORK_DIR, OnSelchangeWorkDir)
    ON_CONTROL(CBN_EDITCHANGE, IDC_PREF_WORK_DIR, OnEditchangeWorkDir)
END_MESSAGE_MAP()

CPreferencesDlg::CPreferencesDlg(CWnd* pParent) : CDialog(IDD_PREFERENCES, pParent)
{
    PreferencesResourcesInstance();
}

void CPreferencesDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_PREF_TEMP_BROWSE, m_btnTempDir);
    DDX_Control(pDX, IDC_PREF_WORK_BROWSE, m_btnWorkDir);
    DDX_Control(pDX, IDC_PREF_PALETTE_BROWSE, m_btnPaletteDir);
    DDX_Control(pDX, IDC_PREF_KERNELS_BROWSE, m_btnKernelsDir);
    DDX_Control(pDX, IDC_PREF_WORK_DIR, m_comboWorkDir);
    DDX_Text(pDX, IDC_PREF_TEMP_DIR, m_strTempDir);
    DDX_CBString(pDX, IDC_PREF_WORK_DIR, m_strWorkDir);
    DDX_Text(pDX, IDC_PREF_PALETTE_DIR, m_strPaletteDir);
    DDX_Text(pDX, IDC_PREF_HELP_FILE, m_strHelpFile);
    DDX_Text(pDX, IDC_PREF_KERNELS_DIR, m_strKernelsDir);
}

BOOL CPreferencesDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    for (CButtonST* button : {&m_btnTempDir, &m_btnWorkDir, &m_btnPaletteDir, &m_btnKernelsDir})
        button->SetIcon(static_cast<int>(IDI_BROWSE_FOLDER), 0, kBrowseIconSide, kBrowseIconSide);

    m_strTempDir = GetStringValue(kGeneralKey, "TempDir");
    m_strHelpFile = GetStringValue(kGeneralKey, "HelpFile");
    m_strWorkDir = GetStringValue(kGeneralKey, "WorkDir");
    m_strPaletteDir = GetStringValue(kGeneralKey, "PaletteDir");
    m_strKernelsDir = GetStringValue(kGeneralKey, "KernelsDir");
    UpdateData(FALSE);

    CMRUList recent;
    recent.SetRegKey(kRecentWorkDirsKey);
    recent.AddToHead(m_strWorkDir);
    recent.BuildRecentList();
    recent.GetListItems(m_recentWorkDirs);
    m_comboWorkDir.ResetContent();
    for (const CString& folder : m_recentWorkDirs) m_comboWorkDir.AddString(folder);
    m_comboWorkDir.SetCurSel(0);
    return TRUE;
}

void CPreferencesDlg::BrowseFolderInto(UINT titleId, CString& target)
{
    CString title;
    title.LoadString(titleId);
    CFolderDialog browser;
    browser.m_strTitle = title;
    if (!browser.Browse()) return;
    // What the user typed in the other fields meanwhile stays: take it before showing again.
    UpdateData(TRUE);
    target = StoredFolder(browser.m_strPath);
    UpdateData(FALSE);
}

void CPreferencesDlg::OnBrowseTempDir()
{
    BrowseFolderInto(IDS_SELECT_TEMP_FOLDER, m_strTempDir);
}

void CPreferencesDlg::OnBrowseWorkDir()
{
    BrowseFolderInto(IDS_SELECT_WORK_FOLDER, m_strWorkDir);
}

void CPreferencesDlg::OnBrowsePaletteDir()
{
    BrowseFolderInto(IDS_SELECT_PALETTE_FOLDER, m_strPaletteDir);
}

void CPreferencesDlg::OnBrowseKernelsDir()
{
    BrowseFolderInto(IDS_SELECT_KERNELS_FOLDER, m_strKernelsDir);
}

void CPreferencesDlg::OnBrowseHelpFile()
{
    CString filter;
    filter.LoadString(IDS_HELP_FILES);
    // The help is HTML pages: a page of the folder names it as well as a compiled file.
    filter += " *.htm *.chm|*.htm;*.chm||";
    CFileDialog dialog(TRUE, nullptr, nullptr, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_SHAREAWARE,
                       filter, nullptr);
    if (dialog.DoModal() != IDOK) return;
    UpdateData(TRUE);
    m_strHelpFile = dialog.GetPathName();
    UpdateData(FALSE);
}

void CPreferencesDlg::OnOK()
{
    if (!UpdateData(TRUE)) return;
    SetStringValue(kGeneralKey, "TempDir", m_strTempDir);
    SetStringValue(kGeneralKey, "HelpFile", m_strHelpFile);
    SetStringValue(kGeneralKey, "WorkDir", m_strWorkDir);
    SetStringValue(kGeneralKey, "PaletteDir", m_strPaletteDir);
    SetStringValue(kGeneralKey, "KernelsDir", m_strKernelsDir);
    CMRUList recent;
    recent.SetRegKey(kRecentWorkDirsKey);
    recent.AddToHead(m_strWorkDir);
    if (!m_strWorkDir.IsEmpty()) ::SetCurrentDirectoryA(m_strWorkDir);
    EndDialog(IDOK);
}
