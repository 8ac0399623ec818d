#include "platform/shell/shell_link.h"

#include <cerrno>
#include <cstdio>
#include <string>

#include "platform/kernel/atomic_file.h"
#include "platform/last_error.h"

namespace platform {

namespace {

constexpr char kMagic[] = "TarvenixLink 1\n";
constexpr char kTargetKey[] = "target=";
constexpr char kDescriptionKey[] = "description=";

}  // namespace

BOOL WriteShellLink(const char* linkPath, const ShellLink& link)
{
    if (!linkPath || !*linkPath) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::string target = static_cast<const char*>(link.target);
    // A line break in the target would end it early when read back.
    if (target.find('\n') != std::string::npos) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::string text = kMagic;
    text += kTargetKey + target + "\n";
    text += kDescriptionKey + std::string(static_cast<const char*>(link.description));
    if (text.size() > kMaxShellLinkBytes) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    AtomicFile file;
    if (!file.Create(linkPath)) return FALSE;
    if (!file.Write(text.data(), text.size())) return FALSE;
    return file.Commit();
}

BOOL ReadShellLink(const char* linkPath, ShellLink& link)
{
    link = ShellLink{};
    std::FILE* f = linkPath ? std::fopen(linkPath, "rb") : nullptr;
    if (!f) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    std::string text(kMaxShellLinkBytes + 1, '\0');
    const std::size_t got = std::fread(text.data(), 1, text.size(), f);
    std::fclose(f);
    text.resize(got);
    const std::string magic = kMagic;
    if (got > kMaxShellLinkBytes || text.compare(0, magic.size(), magic) != 0) {
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    std::size_t at = magic.size();
    const std::string targetKey = kTargetKey;
    const std::size_t end = text.find('\n', at);
    if (end == std::string::npos || text.compare(at, targetKey.size(), targetKey) != 0) {
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    const std::string target = text.substr(at + targetKey.size(), end - at - targetKey.size());
    at = end + 1;
    const std::string descriptionKey = kDescriptionKey;
    std::string description;
    if (text.compare(at, descriptionKey.size(), descriptionKey) == 0)
        description = text.substr(at + descriptionKey.size());
    if (target.empty() || target.find('\0') != std::string::npos) {
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    link.target = target.c_str();
    link.description = description.c_str();
    return TRUE;
}

}  // namespace platform
