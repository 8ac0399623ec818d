#include "outside/basecore/help_system.h"

#include <filesystem>
#include <system_error>

#include "outside/basecore/basecore_strings.h"
#include "outside/basecore/settings.h"
#include "platform/kernel/modules.h"
#include "platform/shell/shell.h"
#include "platform/window/modal.h"
#include "platform/window/wnd.h"

namespace fs = std::filesystem;

namespace {

bool SameNoCase(const std::string& a, const std::string& b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// Page names come from string tables written for a file system that ignores case
// ("Processing_convolution.HTM"); each step of the name is looked up the same way here.
fs::path FindPage(const fs::path& folder, const fs::path& page)
{
    std::error_code ec;
    fs::path at = folder;
    for (const auto& part : page) {
        if (part.empty() || part == ".") continue;
        if (part == ".." || part.has_root_path()) return {};  // pages stay inside the help folder
        fs::path exact = at / part;
        if (fs::exists(exact, ec)) {
            at = exact;
            continue;
        }
        fs::path found;
        for (fs::directory_iterator it(at, ec), end; !ec && it != end; it.increment(ec))
            if (SameNoCase(it->path().filename().string(), part.string())) {
                found = it->path();
                break;
            }
        if (found.empty()) return {};
        at = found;
    }
    return fs::is_regular_file(at, ec) ? at : fs::path();
}

}  // namespace

CString GetHelpFolder()
{
    std::error_code ec;
    const CString setting = GetStringValue("\\Settings\\General", "HelpFile");
    if (!setting.IsEmpty()) {
        const fs::path path(setting.str());
        if (fs::is_directory(path, ec)) return path.string();
        if (path.has_parent_path() && fs::is_directory(path.parent_path(), ec))
            return path.parent_path().string();
    }
    char program[4096] = {};
    const DWORD length = GetModuleFileName(nullptr, program, sizeof program);
    if (length == 0 || length >= sizeof program) return CString();
    return (fs::path(program).parent_path() / "help").string();
}

int CallHelpSystem(CWnd* wnd, const char* page)
{
    const CString name = (page && *page) ? CString(page) : CString("default.htm");
    HWND owner = wnd ? wnd->GetSafeHwnd() : nullptr;
    const CString folder = GetHelpFolder();
    const fs::path found = folder.IsEmpty() ? fs::path() : FindPage(folder.str(), name.str());
    CString text;
    if (found.empty()) {
        text.Format(basecore::LoadText(basecore::IDS_HELP_MISSING).c_str(), name.c_str());
    } else {
        HINSTANCE result = ShellExecute(owner, "open", found.string().c_str(), nullptr, nullptr, 1);
        if (reinterpret_cast<std::intptr_t>(result) > 32) return 1;
        text.Format(basecore::LoadText(basecore::IDS_HELP_FAILED).c_str(), found.string().c_str());
    }
    MessageBox(owner, text, basecore::LoadText(basecore::IDS_HELP_CAPTION), MB_OK | MB_ICONINFORMATION);
    return 0;
}
