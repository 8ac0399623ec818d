#include "outside/basecore/in_file_ctrl.h"

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "outside/basecore/settings.h"
#include "platform/window/modal.h"

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

bool HasExtension(const std::string& path)
{
    const std::string name = std::filesystem::path(path).filename().string();
    const std::size_t dot = name.rfind('.');
    return dot != std::string::npos && dot > 0 && dot + 1 < name.size();
}

std::string Trimmed(const CString& text)
{
    std::string s = static_cast<const char*>(text);
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    const auto last = s.find_last_not_of(" \t\r\n");
    s = s.substr(first, last - first + 1);
    // A path pasted from a shell or a file manager may come in quotes.
    if (s.size() >= 2 && (s.front() == '"' || s.front() == '\'') && s.back() == s.front())
        s = s.substr(1, s.size() - 2);
    return s;
}

}  // namespace

BEGIN_MESSAGE_MAP(CInFileCtrl, CWnd)
    ON_BN_CLICKED(kBrowseId, OnBrowse)
    ON_CONTROL(EN_KILLFOCUS, kNameId, OnNameKillFocus)
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
    BOOL ok = m_nameField.Create(ES_LEFT | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP | WS_VISIBLE, nameRect,
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
    // What was typed and not yet taken is taken first, as leaving the field would.
    TakeTypedPath();
    // The output's dialog asks nothing: the tool asks before it replaces a file.
    const DWORD flags = m_isInput ? (OFN_HIDEREADONLY | OFN_FILEMUSTEXIST) : OFN_HIDEREADONLY;
    CInfoFileDialog dialog(m_isInput, m_ext, m_name.IsEmpty() ? nullptr : static_cast<const char*>(m_name),
                           flags, m_filter, this);
    if (m_flags & kWholeComplex) dialog.SetAskComponent(false);
    dialog.m_ofn.nFilterIndex = DWORD(m_filterIndex);
    // Never the folder some other dialog of the process last showed: this picker's own
    // folder, else the work folder.
    const CString folder = !m_folder.IsEmpty() ? m_folder : GetStringValue("\\Settings\\General", "WorkDir");
    if (!folder.IsEmpty()) dialog.m_ofn.lpstrInitialDir = folder;
    if (dialog.DoModal() != IDOK) return;
    const CString path = dialog.GetPathName();
    SetPathName(path);
    m_component = dialog.GetWhat();
    NotifyParent();
}

void CInFileCtrl::NotifyParent()
{
    if (CWnd* parent = GetParent()) parent->PostMessage(WM_INFILECTRL_CHOSEN, WPARAM(GetDlgCtrlID()), 0);
}

BOOL CInFileCtrl::PreTranslateMessage(MSG* pMsg)
{
    // Enter in the field takes the typed path; it does not press the dialog's default button.
    if (pMsg->message == WM_KEYDOWN && pMsg->wParam == VK_RETURN && m_nameField.GetSafeHwnd() &&
        pMsg->hwnd == m_nameField.GetSafeHwnd()) {
        TakeTypedPath();
        return TRUE;
    }
    return CWnd::PreTranslateMessage(pMsg);
}

void CInFileCtrl::OnNameKillFocus()
{
    TakeTypedPath();
}

bool CInFileCtrl::AskComponent(const CString& path, const SLayerFileInfo& info, int* component)
{
    *component = 0;
    if (!m_isInput || (m_flags & kWholeComplex) || !info.isLayer || !info.complex) return true;
    CInfoFileComponentDlg ask(path, info, m_component, GetParent());
    if (ask.DoModal() != IDOK) return false;
    *component = ask.GetWhat();
    return true;
}

void CInFileCtrl::TakeTypedPath()
{
    if (m_taking || !m_nameField.GetSafeHwnd()) return;
    CString text;
    m_nameField.GetWindowText(text);
    std::string typed = Trimmed(text);
    if (typed == static_cast<const char*>(GetPathName())) return;
    m_taking = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{m_taking};
    if (typed.empty()) {
        // The field emptied by the user: no file is chosen any more.
        ClearAll();
        return;
    }
    namespace fs = std::filesystem;
    fs::path path(typed);
    if (path.is_relative()) {
        std::error_code ec;
        path = m_folder.IsEmpty() ? fs::absolute(path, ec) : fs::path(m_folder.str()) / path;
    }
    path = path.lexically_normal();
    std::error_code ec;
    // As the file dialog does: a name without an extension gets the picker's.
    if (!m_ext.IsEmpty() && !HasExtension(path.string()) && !(m_isInput && fs::is_regular_file(path, ec)))
        path += "." + m_ext.str();
    const CString full(path.string().c_str());
    HWND owner = GetParent() ? GetParent()->GetSafeHwnd() : nullptr;
    auto refuse = [&](const char* why) {
        const CString message = CString(path.filename().string().c_str()) + why;
        ::MessageBox(owner, message, "Open", MB_OK | MB_ICONEXCLAMATION);
        Show();  // the previous choice stays
        if (m_nameField.GetSafeHwnd()) m_nameField.SetSel(0, -1);
    };
    if (m_isInput) {
        if (!fs::exists(path, ec)) return refuse("\nFile not found.\nCheck the file name and try again.");
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0 || !fs::is_regular_file(path, ec)) {
            if (fd >= 0) ::close(fd);
            return refuse("\nThe file cannot be read.\nCheck the file name and try again.");
        }
        ::close(fd);
        const SLayerFileInfo info = CInfoFileDialog::DescribeFile(full);
        int component = 0;
        if (!AskComponent(full, info, &component)) {
            Show();
            return;
        }
        SetPathName(full);
        m_component = component;
    } else {
        SetPathName(full);
    }
    NotifyParent();
}

void CInFileCtrl::Show()
{
    if (!m_nameField.GetSafeHwnd()) return;
    m_nameField.SetWindowText(GetPathName());
    CString line;
    if (m_isInput && !m_name.IsEmpty()) line = m_info.FormatLine();
    m_infoLine.SetWindowText(line);
}
