#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "platform/kernel/file_object.h"
#include "platform/kernel/files.h"
#include "platform/last_error.h"

namespace platform {

bool MatchesWildcard(const char* pattern, const char* name)
{
    // Iterative match with one backtrack point: linear in practice, no recursion.
    const char* star = nullptr;
    const char* resume = nullptr;
    while (*name) {
        if (*pattern == '*') {
            star = pattern++;
            resume = name;
        } else if (*pattern == '?' || std::tolower(static_cast<unsigned char>(*pattern)) ==
                                          std::tolower(static_cast<unsigned char>(*name))) {
            ++pattern;
            ++name;
        } else if (star) {
            pattern = star + 1;
            name = ++resume;
        } else {
            return false;
        }
    }
    while (*pattern == '*') ++pattern;
    return *pattern == '\0';
}

namespace {

struct FoundEntry {
    std::string name;
    struct stat st;
};

class FindObject final : public KernelObject {
public:
    std::vector<FoundEntry> entries;
    std::size_t next = 0;
};

FILETIME FileTimeOf(const timespec& t)
{
    constexpr std::int64_t kEpochOffset = 116444736000000000LL;
    const auto bits = static_cast<std::uint64_t>(
        kEpochOffset + static_cast<std::int64_t>(t.tv_sec) * 10000000LL + t.tv_nsec / 100);
    return FILETIME{static_cast<DWORD>(bits & 0xFFFFFFFFu), static_cast<DWORD>(bits >> 32)};
}

void Fill(const FoundEntry& entry, LPWIN32_FIND_DATA data)
{
    std::memset(data, 0, sizeof *data);
    DWORD attributes = 0;
    if (S_ISDIR(entry.st.st_mode)) attributes |= FILE_ATTRIBUTE_DIRECTORY;
    if (!(entry.st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH))) attributes |= FILE_ATTRIBUTE_READONLY;
    data->dwFileAttributes = attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
    data->ftCreationTime = FileTimeOf(entry.st.st_ctim);
    data->ftLastAccessTime = FileTimeOf(entry.st.st_atim);
    data->ftLastWriteTime = FileTimeOf(entry.st.st_mtim);
    const auto size = S_ISDIR(entry.st.st_mode) ? 0u : static_cast<std::uint64_t>(entry.st.st_size);
    data->nFileSizeHigh = static_cast<DWORD>(size >> 32);
    data->nFileSizeLow = static_cast<DWORD>(size & 0xFFFFFFFFu);
    std::memcpy(data->cFileName, entry.name.c_str(), entry.name.size() + 1);
}

bool LessNoCase(const FoundEntry& a, const FoundEntry& b)
{
    return std::lexicographical_compare(
        a.name.begin(), a.name.end(), b.name.begin(), b.name.end(), [](char x, char y) {
            return std::toupper(static_cast<unsigned char>(x)) < std::toupper(static_cast<unsigned char>(y));
        });
}

}  // namespace
}  // namespace platform

HANDLE FindFirstFile(LPCSTR pattern, LPWIN32_FIND_DATA data)
{
    if (!pattern || !*pattern || !data) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    const std::string full = pattern;
    const auto slash = full.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : full.substr(0, slash));
    std::string mask = slash == std::string::npos ? full : full.substr(slash + 1);
    if (mask.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    // "name.*" also matches "name" without an extension, as the system's matching does;
    // so "*.*" lists everything.
    const bool dotStar = mask.size() >= 2 && mask.compare(mask.size() - 2, 2, ".*") == 0;

    DIR* dir = ::opendir(folder.c_str());
    if (!dir) {
        SetLastError(errno == ENOENT || errno == ENOTDIR ? ERROR_PATH_NOT_FOUND : ErrorFromErrno(errno));
        return INVALID_HANDLE_VALUE;
    }
    auto search = std::make_shared<platform::FindObject>();
    while (dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
        if (std::strlen(name) >= MAX_PATH) continue;  // cannot be returned in the record
        bool match = platform::MatchesWildcard(mask.c_str(), name);
        if (!match && dotStar)
            match = platform::MatchesWildcard(mask.substr(0, mask.size() - 2).c_str(), name);
        if (!match) continue;
        platform::FoundEntry found{name, {}};
        const std::string path = folder + "/" + name;
        if (::stat(path.c_str(), &found.st) != 0 && ::lstat(path.c_str(), &found.st) != 0)
            continue;  // vanished meanwhile
        search->entries.push_back(std::move(found));
    }
    ::closedir(dir);
    if (search->entries.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    std::sort(search->entries.begin(), search->entries.end(), platform::LessNoCase);
    platform::Fill(search->entries[0], data);
    search->next = 1;
    return platform::RegisterHandle(std::move(search));
}

BOOL FindNextFile(HANDLE handle, LPWIN32_FIND_DATA data)
{
    auto search = platform::LookupHandle<platform::FindObject>(handle);
    if (!search) return FALSE;
    if (!data) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (search->next >= search->entries.size()) {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    platform::Fill(search->entries[search->next++], data);
    return TRUE;
}

BOOL FindClose(HANDLE handle)
{
    if (!platform::LookupHandle<platform::FindObject>(handle)) return FALSE;
    platform::ReleaseHandle(handle);
    return TRUE;
}
