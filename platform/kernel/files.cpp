#include "platform/kernel/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "platform/kernel/atomic_file.h"
#include "platform/kernel/file_object.h"
#include "platform/last_error.h"

namespace platform {

FileObject::~FileObject()
{
    if (m_fd >= 0) ::close(m_fd);
}

namespace {

std::string ParentOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

bool IsDirectory(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool Exists(const char* path)
{
    struct stat st {};
    return ::lstat(path, &st) == 0;
}

bool Fail(DWORD code)
{
    ::SetLastError(code);
    return false;
}

}  // namespace

DWORD PathError(int e, const char* path)
{
    if (e == ENOENT && path && !IsDirectory(ParentOf(path))) return ERROR_PATH_NOT_FOUND;
    return ErrorFromErrno(e);
}

namespace {

FILETIME ToFileTime(const timespec& t)
{
    // 100-ns intervals between 1601-01-01 and 1970-01-01.
    constexpr std::int64_t kEpochOffset = 116444736000000000LL;
    const std::int64_t value =
        kEpochOffset + static_cast<std::int64_t>(t.tv_sec) * 10000000LL + t.tv_nsec / 100;
    const auto bits = static_cast<std::uint64_t>(value);
    return FILETIME{static_cast<DWORD>(bits & 0xFFFFFFFFu), static_cast<DWORD>(bits >> 32)};
}

// Writes the whole buffer, retrying short writes and interruptions.
bool WriteAll(int fd, const char* data, std::size_t size, std::size_t* written)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (written) *written = done;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    if (written) *written = done;
    return true;
}

// Puts `from` in place of `to` in one step; with `replace` false an existing `to` is kept
// and the call fails with ERROR_ALREADY_EXISTS.
bool RenameInto(const char* from, const char* to, bool replace)
{
    if (replace) {
        if (::rename(from, to) == 0) return true;
        return Fail(PathError(errno, to));
    }
    // link() refuses an existing target, which makes "no replace" race-free on one file system.
    if (::link(from, to) == 0) {
        ::unlink(from);
        return true;
    }
    if (errno == EEXIST) return Fail(ERROR_ALREADY_EXISTS);
    if (errno == EPERM || errno == ENOTSUP || errno == EOPNOTSUPP || errno == EMLINK) {
        // File systems without hard links (and folders): check, then rename.
        if (Exists(to)) return Fail(ERROR_ALREADY_EXISTS);
        if (::rename(from, to) == 0) return true;
    }
    return Fail(PathError(errno, to));
}

}  // namespace
}  // namespace platform

using platform::Fail;
using platform::FileObject;
using platform::PathError;

HANDLE CreateFile(LPCSTR name, DWORD access, DWORD, void*, DWORD disposition, DWORD flagsAndAttributes,
                  HANDLE)
{
    if (!name || !*name) {
        SetLastError(name ? ERROR_PATH_NOT_FOUND : ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    const bool canRead = (access & (GENERIC_READ | GENERIC_ALL)) != 0;
    const bool canWrite = (access & (GENERIC_WRITE | GENERIC_ALL)) != 0;
    // Opened without blocking: a named pipe or a device where a file is expected must not
    // hold the caller until someone writes to it; it is refused below.
    int flags = O_CLOEXEC | O_NONBLOCK | (canWrite ? (canRead ? O_RDWR : O_WRONLY) : O_RDONLY);
    const mode_t mode = (flagsAndAttributes & FILE_ATTRIBUTE_READONLY) ? 0444 : 0666;
    bool existed = false;
    int fd = -1;
    switch (disposition) {
        case CREATE_NEW:
            fd = ::open(name, flags | O_CREAT | O_EXCL, mode);
            break;
        case CREATE_ALWAYS:
        case OPEN_ALWAYS:
            fd = ::open(name, flags | O_CREAT | O_EXCL, mode);
            if (fd < 0 && errno == EEXIST) {
                existed = true;
                fd = ::open(name, flags | (disposition == CREATE_ALWAYS ? O_TRUNC : 0));
            }
            // CREATE_ALWAYS empties the file even for a reading handle; O_TRUNC does that on Linux.
            break;
        case OPEN_EXISTING:
            fd = ::open(name, flags);
            break;
        case TRUNCATE_EXISTING:
            if (!canWrite) {
                SetLastError(ERROR_INVALID_PARAMETER);
                return INVALID_HANDLE_VALUE;
            }
            fd = ::open(name, flags | O_TRUNC);
            break;
        default:
            SetLastError(ERROR_INVALID_PARAMETER);
            return INVALID_HANDLE_VALUE;
    }
    if (fd < 0) {
        SetLastError(errno == EEXIST ? ERROR_FILE_EXISTS : PathError(errno, name));
        return INVALID_HANDLE_VALUE;
    }
    // Only regular files (and folders, when asked for) are files here: a pipe, socket or
    // device is refused as a folder is.
    struct stat st {};
    const bool isFolder = ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode);
    if (!S_ISREG(st.st_mode) && !(isFolder && (flagsAndAttributes & FILE_FLAG_BACKUP_SEMANTICS))) {
        ::close(fd);
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    HANDLE handle = platform::RegisterHandle(std::make_shared<FileObject>(fd, name, canRead, canWrite));
    SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, DWORD* read, LPOVERLAPPED overlapped)
{
    if (read) *read = 0;
    auto object = platform::LookupHandle<FileObject>(file);
    if (!object) return FALSE;
    if (overlapped || (!buffer && toRead > 0)) return Fail(ERROR_INVALID_PARAMETER);
    if (!object->CanRead()) return Fail(ERROR_ACCESS_DENIED);
    auto* out = static_cast<char*>(buffer);
    DWORD done = 0;
    while (done < toRead) {
        const ssize_t n = ::read(object->Fd(), out + done, toRead - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (read) *read = done;
            return Fail(errno == EISDIR ? ERROR_INVALID_FUNCTION : ErrorFromErrno(errno));
        }
        if (n == 0) break;
        done += static_cast<DWORD>(n);
    }
    if (read) *read = done;
    return TRUE;
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD toWrite, DWORD* written, LPOVERLAPPED overlapped)
{
    if (written) *written = 0;
    auto object = platform::LookupHandle<FileObject>(file);
    if (!object) return FALSE;
    if (overlapped || (!buffer && toWrite > 0)) return Fail(ERROR_INVALID_PARAMETER);
    if (!object->CanWrite()) return Fail(ERROR_ACCESS_DENIED);
    std::size_t done = 0;
    const bool ok = platform::WriteAll(object->Fd(), static_cast<const char*>(buffer), toWrite, &done);
    if (written) *written = static_cast<DWORD>(done);
    return ok ? TRUE : Fail(ErrorFromErrno(errno));
}

namespace {
// Moves the pointer unless the new position exceeds `limit` (the caller's answer cannot hold it).
bool SeekFile(HANDLE file, std::int64_t distance, DWORD method, std::int64_t* position,
              std::int64_t limit = INT64_MAX)
{
    auto object = platform::LookupHandle<FileObject>(file);
    if (!object) return false;
    std::int64_t base;
    switch (method) {
        case FILE_BEGIN:
            base = 0;
            break;
        case FILE_CURRENT:
            base = ::lseek(object->Fd(), 0, SEEK_CUR);
            break;
        case FILE_END: {
            struct stat st {};
            base = ::fstat(object->Fd(), &st) == 0 ? st.st_size : -1;
            break;
        }
        default:
            return Fail(ERROR_INVALID_PARAMETER);
    }
    if (base < 0) return Fail(ErrorFromErrno(errno));
    if ((distance < 0 && base + distance < 0) || (distance > 0 && base > INT64_MAX - distance))
        return Fail(distance < 0 ? ERROR_NEGATIVE_SEEK : ERROR_INVALID_PARAMETER);
    if (base + distance > limit) return Fail(ERROR_INVALID_PARAMETER);
    const off_t result = ::lseek(object->Fd(), static_cast<off_t>(base + distance), SEEK_SET);
    if (result < 0) return Fail(ErrorFromErrno(errno));
    *position = result;
    return true;
}
}  // namespace

DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD method)
{
    const std::int64_t move =
        distanceHigh ? static_cast<std::int64_t>(
                           (static_cast<std::uint64_t>(static_cast<std::uint32_t>(*distanceHigh)) << 32) |
                           static_cast<std::uint32_t>(distance))
                     : distance;
    std::int64_t position = 0;
    // Without a high part the new position must fit the 32-bit answer, else nothing moves.
    if (!SeekFile(file, move, method, &position, distanceHigh ? INT64_MAX : 0xFFFFFFFELL))
        return INVALID_SET_FILE_POINTER;
    if (distanceHigh) *distanceHigh = static_cast<LONG>(static_cast<std::uint64_t>(position) >> 32);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(static_cast<std::uint64_t>(position) & 0xFFFFFFFFu);
}

BOOL SetFilePointerEx(HANDLE file, LARGE_INTEGER distance, PLARGE_INTEGER newPointer, DWORD method)
{
    std::int64_t position = 0;
    if (!SeekFile(file, distance.QuadPart, method, &position)) return FALSE;
    if (newPointer) newPointer->QuadPart = position;
    return TRUE;
}

BOOL GetFileSizeEx(HANDLE file, PLARGE_INTEGER size)
{
    auto object = platform::LookupHandle<FileObject>(file);
    if (!object) return FALSE;
    if (!size) return Fail(ERROR_INVALID_PARAMETER);
    struct stat st {};
    if (::fstat(object->Fd(), &st) != 0) return Fail(ErrorFromErrno(errno));
    size->QuadPart = st.st_size;
    return TRUE;
}

DWORD GetFileSize(HANDLE file, DWORD* sizeHigh)
{
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size)) return INVALID_FILE_SIZE;
    const auto bits = static_cast<std::uint64_t>(size.QuadPart);
    if (sizeHigh) *sizeHigh = static_cast<DWORD>(bits >> 32);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(bits & 0xFFFFFFFFu);
}

BOOL SetEndOfFile(HANDLE file)
{
    auto object = platform::LookupHandle<FileObject>(file);
    if (!object) return FALSE;
    if (!object->CanWrite()) return Fail(ERROR_ACCESS_DENIED);
    const off_t position = ::lseek(object->Fd(), 0, SEEK_CUR);
    if (position < 0 || ::ftruncate(object->Fd(), position) != 0) return Fail(ErrorFromErrno(errno));
    return TRUE;
}

BOOL FlushFileBuffers(HANDLE file)
{
    auto object = platform::LookupHandle<FileObject>(file);
    if (!object) return FALSE;
    if (::fsync(object->Fd()) != 0 && errno != EINVAL) return Fail(ErrorFromErrno(errno));
    return TRUE;
}

BOOL GetFileTime(HANDLE file, LPFILETIME creation, LPFILETIME lastAccess, LPFILETIME lastWrite)
{
    auto object = platform::LookupHandle<FileObject>(file);
    if (!object) return FALSE;
    struct statx sx {};
    if (::statx(object->Fd(), "", AT_EMPTY_PATH, STATX_BASIC_STATS | STATX_BTIME, &sx) != 0)
        return Fail(ErrorFromErrno(errno));
    auto toTimespec = [](const statx_timestamp& t) {
        return timespec{t.tv_sec, static_cast<long>(t.tv_nsec)};
    };
    if (creation)
        // File systems that keep no birth time give the last change instead.
        *creation =
            platform::ToFileTime(toTimespec((sx.stx_mask & STATX_BTIME) ? sx.stx_btime : sx.stx_ctime));
    if (lastAccess) *lastAccess = platform::ToFileTime(toTimespec(sx.stx_atime));
    if (lastWrite) *lastWrite = platform::ToFileTime(toTimespec(sx.stx_mtime));
    return TRUE;
}

LONG CompareFileTime(const FILETIME* a, const FILETIME* b)
{
    const auto va = (static_cast<std::uint64_t>(a->dwHighDateTime) << 32) | a->dwLowDateTime;
    const auto vb = (static_cast<std::uint64_t>(b->dwHighDateTime) << 32) | b->dwLowDateTime;
    return va < vb ? -1 : (va > vb ? 1 : 0);
}

BOOL CopyFile(LPCSTR existing, LPCSTR target, BOOL failIfExists)
{
    if (!existing || !target) return Fail(ERROR_INVALID_PARAMETER);
    if (failIfExists && platform::Exists(target)) return Fail(ERROR_FILE_EXISTS);
    platform::AtomicFile copy;
    return copy.CreateCopyOf(target, existing, TRUE) && copy.Commit(!failIfExists);
}

BOOL MoveFileEx(LPCSTR existing, LPCSTR target, DWORD flags)
{
    if (!existing || !target) return Fail(ERROR_INVALID_PARAMETER);
    struct stat st {};
    if (::lstat(existing, &st) != 0) return Fail(PathError(errno, existing));
    const bool replace = (flags & MOVEFILE_REPLACE_EXISTING) != 0;
    if (platform::RenameInto(existing, target, replace)) {
        if (flags & MOVEFILE_WRITE_THROUGH) ::sync();
        return TRUE;
    }
    if (GetLastError() != ERROR_NOT_SAME_DEVICE) return FALSE;
    if (!(flags & MOVEFILE_COPY_ALLOWED) || S_ISDIR(st.st_mode)) return FALSE;
    // Another file system: a complete copy goes in place of the target first, and only
    // then is the original removed, so a failure never loses the data.
    if (!replace && platform::Exists(target)) return Fail(ERROR_ALREADY_EXISTS);
    platform::AtomicFile copy;
    if (!copy.CreateCopyOf(target, existing, TRUE)) return FALSE;
    if (!copy.Commit(replace))
        return Fail(GetLastError() == ERROR_FILE_EXISTS ? ERROR_ALREADY_EXISTS : GetLastError());
    if (::unlink(existing) != 0) return Fail(ErrorFromErrno(errno));
    return TRUE;
}

BOOL MoveFile(LPCSTR existing, LPCSTR target)
{
    return MoveFileEx(existing, target, MOVEFILE_COPY_ALLOWED);
}

BOOL DeleteFile(LPCSTR name)
{
    if (!name) return Fail(ERROR_INVALID_PARAMETER);
    if (::unlink(name) != 0) return Fail(PathError(errno, name));
    return TRUE;
}

DWORD GetFileAttributes(LPCSTR name)
{
    struct stat st {};
    if (!name || ::stat(name, &st) != 0) {
        SetLastError(name ? PathError(errno, name) : ERROR_INVALID_PARAMETER);
        return INVALID_FILE_ATTRIBUTES;
    }
    DWORD attributes = 0;
    if (S_ISDIR(st.st_mode)) attributes |= FILE_ATTRIBUTE_DIRECTORY;
    if (!(st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH))) attributes |= FILE_ATTRIBUTE_READONLY;
    return attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
}

BOOL CreateDirectory(LPCSTR name, void*)
{
    if (!name) return Fail(ERROR_INVALID_PARAMETER);
    if (::mkdir(name, 0777) != 0) return Fail(errno == ENOENT ? ERROR_PATH_NOT_FOUND : ErrorFromErrno(errno));
    return TRUE;
}

BOOL RemoveDirectory(LPCSTR name)
{
    if (!name) return Fail(ERROR_INVALID_PARAMETER);
    if (::rmdir(name) != 0) return Fail(errno == ENOTDIR ? ERROR_DIRECTORY : PathError(errno, name));
    return TRUE;
}

namespace {
// Copies `text` into a caller's buffer with the system's length protocol.
DWORD CopyOut(const std::string& text, DWORD bufferLength, LPSTR buffer)
{
    if (!buffer || bufferLength <= text.size()) return static_cast<DWORD>(text.size() + 1);
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<DWORD>(text.size());
}
}  // namespace

DWORD GetTempPath(DWORD bufferLength, LPSTR buffer)
{
    const char* tmp = std::getenv("TMPDIR");
    std::string path = (tmp && *tmp) ? tmp : "/tmp";
    if (path.back() != '/') path += '/';
    return CopyOut(path, bufferLength, buffer);
}

namespace {
UINT FailZero(DWORD code)
{
    SetLastError(code);
    return 0;
}
}  // namespace

UINT GetTempFileName(LPCSTR folder, LPCSTR prefix, UINT unique, LPSTR tempFileName)
{
    if (!folder || !tempFileName) return FailZero(ERROR_INVALID_PARAMETER);
    std::string base = folder;
    if (!base.empty() && base.back() != '/') base += '/';
    base += std::string(prefix ? prefix : "").substr(0, 3);
    auto nameFor = [&](UINT number) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "%X.tmp", number & 0xFFFFu);
        return base + hex;
    };
    if (unique != 0) {
        const std::string name = nameFor(unique);
        if (name.size() >= MAX_PATH) return FailZero(ERROR_INVALID_NAME);
        std::memcpy(tempFileName, name.c_str(), name.size() + 1);
        return unique & 0xFFFFu;
    }
    static std::atomic<UINT> counter{static_cast<UINT>(::getpid()) * 7919u +
                                     static_cast<UINT>(std::time(nullptr))};
    for (int attempt = 0; attempt < 0x10000; ++attempt) {
        const UINT number = (counter.fetch_add(1) & 0xFFFFu) ?: 1u;
        const std::string name = nameFor(number);
        if (name.size() >= MAX_PATH) return FailZero(ERROR_INVALID_NAME);
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            std::memcpy(tempFileName, name.c_str(), name.size() + 1);
            return number;
        }
        if (errno != EEXIST) return FailZero(PathError(errno, name.c_str()));
    }
    return FailZero(ERROR_FILE_EXISTS);
}

DWORD GetCurrentDirectory(DWORD bufferLength, LPSTR buffer)
{
    std::vector<char> path(4096);
    while (!::getcwd(path.data(), path.size())) {
        if (errno != ERANGE) {
            SetLastError(ErrorFromErrno(errno));
            return 0;
        }
        path.resize(path.size() * 2);
    }
    return CopyOut(path.data(), bufferLength, buffer);
}

BOOL SetCurrentDirectory(LPCSTR path)
{
    if (!path) return Fail(ERROR_INVALID_PARAMETER);
    if (::chdir(path) != 0) return Fail(errno == ENOTDIR ? ERROR_DIRECTORY : PathError(errno, path));
    return TRUE;
}

LPSTR GetCommandLine()
{
    static std::once_flag once;
    static std::string line;
    std::call_once(once, [] {
        std::ifstream in("/proc/self/cmdline", std::ios::binary);
        std::string argument;
        bool first = true;
        auto add = [&] {
            if (!first) line += ' ';
            first = false;
            const bool quote =
                argument.find_first_of(" \t") != std::string::npos && argument.find('"') == std::string::npos;
            line += quote ? '"' + argument + '"' : argument;
        };
        char ch;
        while (in.get(ch)) {
            if (ch == '\0') {
                add();
                argument.clear();
            } else {
                argument += ch;
            }
        }
        if (!argument.empty()) add();
    });
    return line.data();
}
