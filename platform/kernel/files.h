#pragma once

// Files, folders and file searches over POSIX. Paths use "/". Every call sets the thread's
// last-error code on failure (platform/last_error.h).
//
// Share modes are accepted and not enforced: on this platform other openers of a file are
// not locked out, so callers must not rely on a sharing violation to detect a busy file.

#include <cstdint>

#include "platform/kernel/handles.h"
#include "platform/types.h"

union LARGE_INTEGER {
    struct {
        DWORD LowPart;
        LONG HighPart;
    };
    LONGLONG QuadPart;
};
using PLARGE_INTEGER = LARGE_INTEGER*;

/// A point in time: 100-nanosecond intervals since 1 January 1601 (UTC).
struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};
using LPFILETIME = FILETIME*;

struct WIN32_FIND_DATAA {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwReserved0;
    DWORD dwReserved1;
    char cFileName[MAX_PATH];
    char cAlternateFileName[14];
};
using WIN32_FIND_DATA = WIN32_FIND_DATAA;
using LPWIN32_FIND_DATA = WIN32_FIND_DATAA*;

struct OVERLAPPED;
using LPOVERLAPPED = OVERLAPPED*;

constexpr DWORD GENERIC_READ = 0x80000000;
constexpr DWORD GENERIC_WRITE = 0x40000000;
constexpr DWORD GENERIC_EXECUTE = 0x20000000;
constexpr DWORD GENERIC_ALL = 0x10000000;

constexpr DWORD FILE_SHARE_READ = 0x1;
constexpr DWORD FILE_SHARE_WRITE = 0x2;
constexpr DWORD FILE_SHARE_DELETE = 0x4;

constexpr DWORD CREATE_NEW = 1;
constexpr DWORD CREATE_ALWAYS = 2;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD OPEN_ALWAYS = 4;
constexpr DWORD TRUNCATE_EXISTING = 5;

constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x1;
constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x2;
constexpr DWORD FILE_ATTRIBUTE_SYSTEM = 0x4;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x20;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
constexpr DWORD FILE_ATTRIBUTE_TEMPORARY = 0x100;
constexpr DWORD FILE_FLAG_WRITE_THROUGH = 0x80000000;
constexpr DWORD FILE_FLAG_RANDOM_ACCESS = 0x10000000;
constexpr DWORD FILE_FLAG_SEQUENTIAL_SCAN = 0x08000000;
constexpr DWORD FILE_FLAG_BACKUP_SEMANTICS = 0x02000000;
constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;
constexpr DWORD INVALID_FILE_SIZE = 0xFFFFFFFF;
constexpr DWORD INVALID_SET_FILE_POINTER = 0xFFFFFFFF;

constexpr DWORD FILE_BEGIN = 0;
constexpr DWORD FILE_CURRENT = 1;
constexpr DWORD FILE_END = 2;

constexpr DWORD MOVEFILE_REPLACE_EXISTING = 0x1;
constexpr DWORD MOVEFILE_COPY_ALLOWED = 0x2;
constexpr DWORD MOVEFILE_WRITE_THROUGH = 0x8;

/// Opens or creates a file. Dispositions: CREATE_NEW (fails when it exists), CREATE_ALWAYS
/// (creates or empties), OPEN_EXISTING, OPEN_ALWAYS (opens or creates), TRUNCATE_EXISTING
/// (empties an existing file; needs GENERIC_WRITE). CREATE_ALWAYS and OPEN_ALWAYS leave
/// ERROR_ALREADY_EXISTS in the last error when the file was there. A folder opens only
/// with FILE_FLAG_BACKUP_SEMANTICS. INVALID_HANDLE_VALUE on failure.
PLATFORM_API HANDLE CreateFile(LPCSTR name, DWORD access, DWORD shareMode, void* security, DWORD disposition,
                               DWORD flagsAndAttributes, HANDLE templateFile);
inline HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD shareMode, void* security, DWORD disposition,
                          DWORD flagsAndAttributes, HANDLE templateFile)
{
    return CreateFile(name, access, shareMode, security, disposition, flagsAndAttributes, templateFile);
}
/// Reads up to `toRead` bytes at the file pointer; TRUE with *read 0 at the end of the file.
/// Overlapped reads are not supported (ERROR_INVALID_PARAMETER).
PLATFORM_API BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, DWORD* read, LPOVERLAPPED overlapped);
/// Writes all `toWrite` bytes or fails (ERROR_DISK_FULL, ...) with *written telling how many went out.
PLATFORM_API BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD toWrite, DWORD* written,
                            LPOVERLAPPED overlapped);
/// Moves the file pointer. Without `distanceHigh` the distance is a signed 32-bit value;
/// with it the two form a signed 64-bit distance and the new pointer's high part comes back
/// in it. Returns the low part, INVALID_SET_FILE_POINTER on failure (check GetLastError,
/// which is ERROR_SUCCESS when that value is a real position).
PLATFORM_API DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD method);
PLATFORM_API BOOL SetFilePointerEx(HANDLE file, LARGE_INTEGER distance, PLARGE_INTEGER newPointer,
                                   DWORD method);
/// The low 32 bits of the size (INVALID_FILE_SIZE on failure), the high ones in *sizeHigh.
PLATFORM_API DWORD GetFileSize(HANDLE file, DWORD* sizeHigh);
PLATFORM_API BOOL GetFileSizeEx(HANDLE file, PLARGE_INTEGER size);
/// Makes the file end at the file pointer (longer files are cut, shorter ones grow with zeros).
PLATFORM_API BOOL SetEndOfFile(HANDLE file);
PLATFORM_API BOOL FlushFileBuffers(HANDLE file);
PLATFORM_API BOOL GetFileTime(HANDLE file, LPFILETIME creation, LPFILETIME lastAccess, LPFILETIME lastWrite);
/// -1, 0 or 1 as `a` is earlier than, equal to or later than `b`.
PLATFORM_API LONG CompareFileTime(const FILETIME* a, const FILETIME* b);

/// Copies a file (contents, permissions and times) through the atomic writer: the copy is
/// made beside the target by the file system where it can, synced, and put in the target's
/// place, so the target is either the complete copy or untouched. failIfExists:
/// ERROR_FILE_EXISTS when the target exists.
PLATFORM_API BOOL CopyFile(LPCSTR existing, LPCSTR target, BOOL failIfExists);
/// Renames a file or folder; fails with ERROR_ALREADY_EXISTS when the target exists. A file
/// moves to another file system by a complete copy and the deletion of the original.
PLATFORM_API BOOL MoveFile(LPCSTR existing, LPCSTR target);
inline BOOL MoveFileA(LPCSTR existing, LPCSTR target)
{
    return MoveFile(existing, target);
}
/// MoveFile with MOVEFILE_REPLACE_EXISTING (the target is replaced in one step) and
/// MOVEFILE_COPY_ALLOWED (copy to another file system); MOVEFILE_WRITE_THROUGH also syncs.
PLATFORM_API BOOL MoveFileEx(LPCSTR existing, LPCSTR target, DWORD flags);
/// Deletes a file (not a folder: ERROR_ACCESS_DENIED).
PLATFORM_API BOOL DeleteFile(LPCSTR name);
inline BOOL DeleteFileA(LPCSTR name)
{
    return DeleteFile(name);
}
/// FILE_ATTRIBUTE_DIRECTORY, FILE_ATTRIBUTE_READONLY (no write permission) or
/// FILE_ATTRIBUTE_NORMAL; INVALID_FILE_ATTRIBUTES when the path does not exist.
PLATFORM_API DWORD GetFileAttributes(LPCSTR name);
inline DWORD GetFileAttributesA(LPCSTR name)
{
    return GetFileAttributes(name);
}
/// Creates one folder (its parent must exist); ERROR_ALREADY_EXISTS when it is there.
PLATFORM_API BOOL CreateDirectory(LPCSTR name, void* security);
inline BOOL CreateDirectoryA(LPCSTR name, void* security)
{
    return CreateDirectory(name, security);
}
/// Removes an empty folder (ERROR_DIR_NOT_EMPTY otherwise).
PLATFORM_API BOOL RemoveDirectory(LPCSTR name);
inline BOOL RemoveDirectoryA(LPCSTR name)
{
    return RemoveDirectory(name);
}

/// The folder for temporary files, with a trailing "/" ($TMPDIR, else /tmp/). Returns the
/// length copied without the terminating zero, or the size needed (zero included) when the
/// buffer is too small, 0 on failure.
PLATFORM_API DWORD GetTempPath(DWORD bufferLength, LPSTR buffer);
inline DWORD GetTempPathA(DWORD bufferLength, LPSTR buffer)
{
    return GetTempPath(bufferLength, buffer);
}
/// Makes a temporary file name folder/<up to 3 characters of prefix><hex number>.tmp in a
/// buffer of MAX_PATH characters. With `unique` 0 a number is chosen for which no file
/// exists and that file is created empty (so the name stays taken); otherwise the name is
/// only formed from `unique`. Returns the number used, 0 on failure.
PLATFORM_API UINT GetTempFileName(LPCSTR folder, LPCSTR prefix, UINT unique, LPSTR tempFileName);
inline UINT GetTempFileNameA(LPCSTR folder, LPCSTR prefix, UINT unique, LPSTR tempFileName)
{
    return GetTempFileName(folder, prefix, unique, tempFileName);
}

PLATFORM_API DWORD GetCurrentDirectory(DWORD bufferLength, LPSTR buffer);
inline DWORD GetCurrentDirectoryA(DWORD bufferLength, LPSTR buffer)
{
    return GetCurrentDirectory(bufferLength, buffer);
}
PLATFORM_API BOOL SetCurrentDirectory(LPCSTR path);
inline BOOL SetCurrentDirectoryA(LPCSTR path)
{
    return SetCurrentDirectory(path);
}

/// Starts a search of one folder: the last part of `pattern` may hold "*" and "?" (matched
/// without regard to letter case; "*.*" matches every name). Entries come in name order;
/// "." and ".." are not listed. INVALID_HANDLE_VALUE with ERROR_FILE_NOT_FOUND when nothing matches.
PLATFORM_API HANDLE FindFirstFile(LPCSTR pattern, LPWIN32_FIND_DATA data);
inline HANDLE FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATA data)
{
    return FindFirstFile(pattern, data);
}
/// The next entry; FALSE with ERROR_NO_MORE_FILES at the end.
PLATFORM_API BOOL FindNextFile(HANDLE search, LPWIN32_FIND_DATA data);
inline BOOL FindNextFileA(HANDLE search, LPWIN32_FIND_DATA data)
{
    return FindNextFile(search, data);
}
PLATFORM_API BOOL FindClose(HANDLE search);

/// The process's command line: the program path and its arguments separated by blanks;
/// an argument holding a blank (and no double quote) is put in double quotes.
PLATFORM_API LPSTR GetCommandLine();
inline LPSTR GetCommandLineA()
{
    return GetCommandLine();
}

namespace platform {
/// Matches a name against a pattern of "*" and "?", without regard to ASCII letter case.
PLATFORM_API bool MatchesWildcard(const char* pattern, const char* name);
}  // namespace platform
