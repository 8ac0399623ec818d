#include "platform/shell/shell_link.h"

#include <cerrno>
#include <string>

#include "platform/kernel/atomic_file.h"
#include "platform/kernel/files.h"
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
    // Read through the kernel's file opening, which never waits on a pipe and takes
    // regular files only.
    HANDLE f = linkPath ? ::CreateFile(linkPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr)
                        : INVALID_HANDLE_VALUE;
    if (f == INVALID_HANDLE_VALUE) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    std::string text(kMaxShellLinkBytes + 1, '\0');
    DWORD got = 0;
    const BOOL read = ::ReadFile(f, text.data(), static_cast<DWORD>(text.size()), &got, nullptr);
    ::CloseHandle(f);
    if (!read) {
        SetLastError(ERROR_READ_FAULT);
        return FALSE;
    }
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
