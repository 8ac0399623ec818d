#include "outside/basecore/memory_map.h"

#include <cstdint>
#include <utility>

#include "platform/kernel/file_mapping.h"
#include "platform/kernel/files.h"
#include "platform/last_error.h"

BOOL CMemoryMap::IsDamaged() const
{
    return m_data && IsViewDamaged(m_data);
}

CMemoryMap::~CMemoryMap()
{
    Close();
}

CMemoryMap::CMemoryMap(CMemoryMap&& other) noexcept
    : m_data(std::exchange(other.m_data, nullptr)),
      m_size(std::exchange(other.m_size, 0)),
      m_file(std::exchange(other.m_file, nullptr)),
      m_writesBack(std::exchange(other.m_writesBack, false)),
      m_private(std::exchange(other.m_private, false))
{
}

CMemoryMap& CMemoryMap::operator=(CMemoryMap&& other) noexcept
{
    if (this != &other) {
        Close();
        m_data = std::exchange(other.m_data, nullptr);
        m_size = std::exchange(other.m_size, 0);
        m_file = std::exchange(other.m_file, nullptr);
        m_writesBack = std::exchange(other.m_writesBack, false);
        m_private = std::exchange(other.m_private, false);
    }
    return *this;
}

BOOL CMemoryMap::MapHandle(HANDLE file, std::uint64_t size, DWORD protect, DWORD access)
{
    HANDLE mapping = CreateFileMapping(file, nullptr, protect, static_cast<DWORD>(size >> 32),
                                       static_cast<DWORD>(size & 0xFFFFFFFFu), nullptr);
    if (!mapping) return FALSE;
    void* view = MapViewOfFile(mapping, access, 0, 0, 0);
    const DWORD error = GetLastError();
    CloseHandle(mapping);  // the view keeps what it needs
    if (!view) {
        SetLastError(error);
        return FALSE;
    }
    m_data = static_cast<BYTE*>(view);
    m_size = size;
    return TRUE;
}

BOOL CMemoryMap::Open(const char* path, Access access)
{
    Close();
    if (!path) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const bool write = access == kReadWrite;
    HANDLE file =
        CreateFile(path, GENERIC_READ | (write ? GENERIC_WRITE : 0), FILE_SHARE_READ | FILE_SHARE_WRITE,
                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return FALSE;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size)) {
        const DWORD error = GetLastError();
        CloseHandle(file);
        SetLastError(error);
        return FALSE;
    }
    m_file = file;
    m_writesBack = write;
    if (size.QuadPart == 0) return TRUE;
    // A read-only view is still writable in memory (copy on write), so callers that store
    // values through it never fault and never change the file.
    if (!MapHandle(file, static_cast<std::uint64_t>(size.QuadPart), write ? PAGE_READWRITE : PAGE_READONLY,
                   write ? FILE_MAP_WRITE : FILE_MAP_COPY)) {
        const DWORD error = GetLastError();
        Close();
        SetLastError(error);
        return FALSE;
    }
    return TRUE;
}

BOOL CMemoryMap::MapFile(HANDLE file, std::uint64_t size)
{
    Close();
    if (size == 0) {
        LARGE_INTEGER now{};
        if (!GetFileSizeEx(file, &now)) return FALSE;
        size = static_cast<std::uint64_t>(now.QuadPart);
        if (size == 0) {
            SetLastError(ERROR_FILE_INVALID);
            return FALSE;
        }
    }
    return MapHandle(file, size, PAGE_READWRITE, FILE_MAP_WRITE);
}

BOOL CMemoryMap::CreateAnonymous(std::uint64_t size)
{
    Close();
    if (size == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (size > SIZE_MAX) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    void* block = VirtualAlloc(nullptr, static_cast<SIZE_T>(size), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!block) return FALSE;
    m_data = static_cast<BYTE*>(block);
    m_size = size;
    m_private = true;
    return TRUE;
}

BOOL CMemoryMap::Flush()
{
    if (m_private) return TRUE;  // nothing to write back
    if (m_data && !FlushViewOfFile(m_data, 0)) return FALSE;
    if (m_file && m_writesBack && !FlushFileBuffers(m_file)) return FALSE;
    return TRUE;
}

void CMemoryMap::Close()
{
    if (m_data) {
        if (m_private)
            VirtualFree(m_data, 0, MEM_RELEASE);
        else
            UnmapViewOfFile(m_data);
    }
    if (m_file) CloseHandle(m_file);
    m_private = false;
    m_data = nullptr;
    m_size = 0;
    m_file = nullptr;
    m_writesBack = false;
}
