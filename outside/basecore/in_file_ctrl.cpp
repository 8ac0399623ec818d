#include "outside/basecore/in_file_ctrl.h"

#include <string>

namespace {

constexpr const char* kLayerFilter = "Layer files (*.rdp)|*.rdp|All files (*.*)|*.*||";
constexpr const char* kLayerExt = "rdp";

void SplitPath(const CString& path, CString& folder, CString& name)
{
    const std::string p = static_cast<const char*>(path);
    const auto slash = p.find_last_of('/');
    if (slash == std::string::npos) {
        folder = "";
        name = p.c_str();
    } else {
        folder = p.substr(0, slash == 0 ? 1 : slash).c_str();
        name = p.substr(slash + 1).c_str();
    }
}

}  // namespace

BEGIN_MESSAGE_MAP(CInFileCtrl, CWnd)
    ON_BN_CLICKED(kBrowseId, OnBrowse)
END_MESSAGE_MAP()

BOOL CInFileCtrl::Create(int isInput, const char* filter, const char* ext, int flags)
{
    if (!GetSafeHwnd()) return FALSE;
    m_isInput = isInput ? 1 : 0;
    m_filter = filter ? filter : kLayerFilter;
    m_ext = ext ? ext : kLayerExt;
    m_flags = flags;
    SetWindowText("");

    CRect client;
    GetClientRect(&client);
    const int line = std::min(22, std::max(14, client.Height() / 2 - 2));
    const int button = line + 4;
    const CRect nameRect(0, 0, std::max(10, client.Width() - button - 2), line);
    const CRect browseRect(client.Width() - button, 0, client.Width(), line);
    const CRect infoRect(0, line + 4, client.Width(), client.Height());
    BOOL ok = m_nameField.Create(ES_LEFT | ES_AUTOHSCROLL | ES_READONLY | WS_BORDER | WS_VISIBLE, nameRect,
                                 this, kNameId);
    ok = ok && m_browse.Create("...", BS_PUSHBUTTON | WS_TABSTOP | WS_VISIBLE, browseRect, this, kBrowseId);
    ok = ok && m_infoLine.Create("", SS_LEFT | SS_NOPREFIX | WS_VISIBLE, infoRect, this, kInfoId);
    Show();
    return ok;
}

CString CInFileCtrl::GetPathName() const
{
    if (m_name.IsEmpty()) return CString();
    if (m_folder.IsEmpty()) return m_name;
    const std::string folder = static_cast<const char*>(m_folder);
    return (folder.back() == '/' ? folder + static_cast<const char*>(m_name)
                                 : folder + "/" + static_cast<const char*>(m_name))
        .c_str();
}

void CInFileCtrl::SetPathName(const char* path)
{
    ClearAll();
    if (!path || !*path) return;
    SplitPath(path, m_folder, m_name);
    if (m_isInput) {
        m_info = CInfoFileDialog::DescribeFile(path);
        m_ready = m_info.isLayer;
    } else {
        m_ready = true;
    }
    Show();
}

void CInFileCtrl::SetOnlyPath(const char* folder)
{
    m_folder = folder ? folder : "";
    Show();
}

void CInFileCtrl::ClearAll()
{
    m_name = "";
    m_ready = false;
    m_component = 0;
    m_info = SLayerFileInfo{};
    Show();
}

void CInFileCtrl::OnBrowse()
{
    // The output's dialog asks nothing: the tool asks before it replaces a file.
    const DWORD flags = m_isInput ? (OFN_HIDEREADONLY | OFN_FILEMUSTEXIST) : OFN_HIDEREADONLY;
    CInfoFileDialog dialog(m_isInput, m_ext, m_name.IsEmpty() ? nullptr : static_cast<const char*>(m_name),
                           flags, m_filter, this);
    dialog.m_ofn.nFilterIndex = DWORD(m_filterIndex);
    if (!m_folder.IsEmpty()) dialog.m_ofn.lpstrInitialDir = m_folder;
    if (dialog.DoModal() != IDOK) return;
    const CString path = dialog.GetPathName();
    SetPathName(path);
    m_component = dialog.GetWhat();
    if (CWnd* parent = GetParent()) parent->PostMessage(WM_INFILECTRL_CHOSEN, WPARAM(GetDlgCtrlID()), 0);
}

void CInFileCtrl::Show()
{
    if (!m_nameField.GetSafeHwnd()) return;
    m_nameField.SetWindowText(GetPathName());
    CString line;
    if (m_isInput && !m_name.IsEmpty()) line = m_info.FormatLine();
    m_infoLine.SetWindowText(line);
}
