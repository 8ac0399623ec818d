#include "modules/convolution/kernel_library.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "outside/basecore/layer_description.h"
#include "outside/basecore/layer_file_format.h"
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

/// Masks up to this size are read whole to find their caption: a mapping per file would
/// cost more than the read (unmapping stalls every thread of the process).
constexpr long kReadWholeBytes = 1 << 20;

/// The caption tag of a layer file, or empty.
CString CaptionTag(const char* path)
{
    std::FILE* f = path ? std::fopen(path, "rb") : nullptr;
    if (!f) return CString();
    long size = -1;
    if (std::fseek(f, 0, SEEK_END) == 0) size = std::ftell(f);
    if (size <= 0 || size > kReadWholeBytes || std::fseek(f, 0, SEEK_SET) != 0) {
        std::fclose(f);
        CString caption;
        if (size > kReadWholeBytes)
            CLayerDescription::GetDescriptionTag(path, CLayerDescription::kCaptionTag, caption);
        return caption;
    }
    std::vector<BYTE> bytes(static_cast<std::size_t>(size));
    const bool read = std::fread(bytes.data(), 1, bytes.size(), f) == bytes.size();
    std::fclose(f);
    if (!read) return CString();
    layerfile::FileIndex index(layerfile::FileView{bytes.data(), static_cast<std::int64_t>(bytes.size())});
    if (!index.Blocks(0)) return CString();
    const layerfile::BlockRef* block = index.Find(0, CLayerDescription::kCaptionTag);
    if (!block) return CString();
    const std::int64_t payload = index.PayloadSize(*block);
    if (payload <= 0 || !layerfile::ValidRange(index.View(), block->payload, payload)) return CString();
    const char* text = reinterpret_cast<const char*>(bytes.data() + block->payload);
    const int length = static_cast<int>(strnlen(text, static_cast<std::size_t>(payload)));
    return CLayerDescription::DecodeText(text, length);
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
    std::FILE* f = path ? std::fopen(path, "rb") : nullptr;
    if (!f) return CString();
    std::string text(kMaxDescriptionBytes, '\0');
    const std::size_t got = std::fread(text.data(), 1, text.size(), f);
    std::fclose(f);
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
