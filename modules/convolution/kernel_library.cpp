#include "modules/convolution/kernel_library.h"

#include <cctype>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "outside/basecore/layer_description.h"
#include "platform/kernel/cfile.h"
#include "platform/shell/shell_link.h"

namespace {

namespace fs = std::filesystem;

/// Compares the tail of `name` with a lower-case `tail`, ignoring the letter case of `name`.
bool EndsWithNoCase(const char* name, const char* tail)
{
    if (!name) return false;
    const std::size_t n = std::strlen(name), t = std::strlen(tail);
    if (n < t) return false;
    for (std::size_t i = 0; i < t; ++i)
        if (std::tolower(static_cast<unsigned char>(name[n - t + i])) != tail[i]) return false;
    return true;
}

std::string NamePart(const std::string& path)
{
    const auto cut = path.find_last_of('/');
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

void ReadFolder(const std::string& folder, int depth, std::vector<LibraryNode>& out)
{
    std::error_code ec;
    fs::directory_iterator it(folder, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        const fs::directory_entry& entry = *it;
        const std::string name = entry.path().filename().string();
        if (name == "." || name == "..") continue;
        std::error_code kind;
        // A link to a folder could lead back up the tree or far outside the library.
        const bool link = entry.is_symlink(kind);
        const bool directory = entry.is_directory(kind);
        const std::string full = folder + "/" + name;
        if (directory) {
            if (link || depth >= kMaxLibraryDepth) continue;
            LibraryNode node;
            node.folder = true;
            node.path = full.c_str();
            node.caption = GetCaptionFromFile((full + "/Description.dat").c_str());
            if (node.caption.IsEmpty()) node.caption = name.c_str();
            ReadFolder(full, depth + 1, node.children);
            out.push_back(std::move(node));
        } else if (HasMaskExtension(name.c_str())) {
            LibraryNode leaf;
            leaf.path = full.c_str();
            leaf.caption = MaskLeafCaption(full.c_str());
            out.push_back(std::move(leaf));
        }
    }
}

}  // namespace

bool HasMaskExtension(const char* name)
{
    return EndsWithNoCase(name, ".rdp") || EndsWithNoCase(name, ".lnk");
}

bool IsMaskShortcut(const char* name)
{
    return EndsWithNoCase(name, ".lnk");
}

CString GetCaptionFromFile(const char* path)
{
    CFile file;
    if (!path || !file.Open(path, CFile::modeRead | CFile::shareDenyNone)) return CString();
    std::string text(kMaxDescriptionBytes, '\0');
    std::size_t got = 0;
    try {
        got = file.Read(text.data(), UINT(text.size()));
    } catch (CFileException* e) {
        e->Delete();
        return CString();
    }
    text.resize(got);
    // A zero byte would end the caption early anyway; keep what precedes it.
    text.resize(std::strlen(text.c_str()));
    return CString(text.c_str());
}

CString MaskLeafCaption(const char* path)
{
    CString caption;
    if (CLayerDescription::GetDescriptionTag(path, CLayerDescription::kCaptionTag, caption) &&
        !caption.IsEmpty())
        return caption;
    const std::string name = NamePart(path ? path : "");
    return CString(name.substr(0, name.size() >= 4 ? name.size() - 4 : 0).c_str());
}

CString MaskTitle(const char* path)
{
    CString caption;
    if (CLayerDescription::GetDescriptionTag(path, CLayerDescription::kCaptionTag, caption) &&
        !caption.IsEmpty())
        return caption;
    const std::string name = NamePart(path ? path : "");
    const auto dot = name.find_last_of('.');
    return CString((dot == std::string::npos || dot == 0 ? name : name.substr(0, dot)).c_str());
}

std::vector<LibraryNode> ReadKernelLibrary(const char* folder)
{
    std::vector<LibraryNode> nodes;
    if (!folder || !*folder) return nodes;
    std::string root = folder;
    while (root.size() > 1 && root.back() == '/') root.pop_back();
    ReadFolder(root, 0, nodes);
    return nodes;
}

HRESULT CreateMaskShortcut(const char* target, const char* link, const char* description)
{
    if (!target || !*target || !link || !*link) return E_FAIL;
    platform::ShellLink data{target, description ? description : ""};
    return platform::WriteShellLink(link, data) ? S_OK : E_FAIL;
}

HRESULT ResolveMaskShortcut(HWND /*owner*/, const char* link, CString& target)
{
    target.Empty();
    platform::ShellLink data;
    if (!platform::ReadShellLink(link, data)) return E_FAIL;
    target = data.target;
    return S_OK;
}
