#pragma once

// Memory-mapped files over mmap. Sizes and offsets are 64-bit (given as high and low
// 32-bit halves, as the system's calls take them). A view may start at any offset; the
// page alignment mmap needs is handled here.

#include <cstddef>

#include "platform/kernel/handles.h"
#include "platform/types.h"

using SIZE_T = std::size_t;

constexpr DWORD PAGE_READONLY = 0x02;
constexpr DWORD PAGE_READWRITE = 0x04;
constexpr DWORD PAGE_WRITECOPY = 0x08;

constexpr DWORD FILE_MAP_COPY = 0x1;
constexpr DWORD FILE_MAP_WRITE = 0x2;
constexpr DWORD FILE_MAP_READ = 0x4;
constexpr DWORD FILE_MAP_ALL_ACCESS = 0xF001F;

/// A mapping of `file` (or, with INVALID_HANDLE_VALUE, of fresh zeroed memory) of the given
/// size; size 0 means the file's size. PAGE_READWRITE grows a shorter file to the size.
/// An empty file with size 0 fails with ERROR_FILE_INVALID. The mapping stays usable after
/// the file handle is closed, and views stay valid after the mapping handle is closed.
PLATFORM_API HANDLE CreateFileMapping(HANDLE file, void* security, DWORD protect, DWORD maximumSizeHigh,
                                      DWORD maximumSizeLow, LPCSTR name);
inline HANDLE CreateFileMappingA(HANDLE file, void* security, DWORD protect, DWORD maximumSizeHigh,
                                 DWORD maximumSizeLow, LPCSTR name)
{
    return CreateFileMapping(file, security, protect, maximumSizeHigh, maximumSizeLow, name);
}
/// Maps `bytes` of the mapping from the offset (0: up to its end). FILE_MAP_READ views
/// read, FILE_MAP_WRITE (or FILE_MAP_ALL_ACCESS) views of a PAGE_READWRITE mapping write
/// through to the file, FILE_MAP_COPY views are private copy-on-write pages the file never sees.
PLATFORM_API LPVOID MapViewOfFile(HANDLE mapping, DWORD access, DWORD offsetHigh, DWORD offsetLow,
                                  SIZE_T bytes);
/// TRUE when pages of a view of a file (by the address MapViewOfFile returned) were lost
/// because another process cut the file short: where the system would raise an in-page
/// error, the lost pages read as zeros and the view is marked, so that its reader can report
/// the file as damaged instead of the program being killed.
PLATFORM_API BOOL IsViewDamaged(LPCVOID base);
/// Unmaps a view by the address MapViewOfFile returned.
PLATFORM_API BOOL UnmapViewOfFile(LPCVOID base);
/// Starts writing the changed pages of a range of a view to the file without waiting
/// (0 bytes: to the end of the view). FlushFileBuffers on the file waits for the disk.
PLATFORM_API BOOL FlushViewOfFile(LPCVOID base, SIZE_T bytes);

constexpr DWORD MEM_COMMIT = 0x1000;
constexpr DWORD MEM_RESERVE = 0x2000;
constexpr DWORD MEM_RELEASE = 0x8000;

/// Fresh zeroed memory of the process's own (no file, no sharing): `size` bytes, committed
/// (MEM_COMMIT | MEM_RESERVE) and PAGE_READWRITE, at an address of the system's choosing
/// (`address` null). Large blocks are given huge pages where the system has them, so that
/// filling them from many threads costs a fraction of the page faults. Null on failure.
PLATFORM_API LPVOID VirtualAlloc(LPVOID address, SIZE_T size, DWORD allocationType, DWORD protect);
/// Releases (MEM_RELEASE, size 0) a block VirtualAlloc returned.
PLATFORM_API BOOL VirtualFree(LPVOID address, SIZE_T size, DWORD freeType);
