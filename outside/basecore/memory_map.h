#pragma once

// A file mapped whole into memory over POSIX mmap. Layers hand out rows as pointers into
// such a view, so the samples are read and written without copies.

#include <cstdint>

#include "platform/cstring.h"
#include "platform/types.h"

class CMemoryMap {
public:
    /// How an existing file is mapped.
    enum Access {
        kReadOnly = 0,     ///< writes stay private to the process and never reach the file
        kReadWrite = 1,    ///< writes reach the file
    };

    CMemoryMap() = default;
    ~CMemoryMap();
    CMemoryMap(const CMemoryMap&) = delete;
    CMemoryMap& operator=(const CMemoryMap&) = delete;
    CMemoryMap(CMemoryMap&& other) noexcept;
    CMemoryMap& operator=(CMemoryMap&& other) noexcept;

    /// Creates (or truncates) `path` with `size` zero bytes and maps it for writing.
    /// FALSE with the last-error code set on failure.
    BOOL Create(const char* path, std::uint64_t size);
    /// Maps the whole existing file. An empty file maps to no memory but succeeds.
    BOOL Open(const char* path, Access access);
    /// Maps `size` zero bytes of anonymous memory.
    BOOL CreateAnonymous(std::uint64_t size);
    /// Writes dirty pages of a shared mapping back to the file and waits for the disk.
    BOOL Flush();
    /// Unmaps and closes; harmless when nothing is mapped.
    void Close();

    /// Base address of the mapped view (null when nothing is mapped).
    BYTE* AdresData() const { return m_data; }
    std::uint64_t Size() const { return m_size; }
    BOOL IsOpen() const { return m_data != nullptr || m_fd >= 0; }
    /// The file descriptor of a file mapping (-1 for anonymous memory).
    int Descriptor() const { return m_fd; }

private:
    BOOL MapDescriptor(int fd, std::uint64_t size, bool writable, bool shared);

    BYTE* m_data = nullptr;
    std::uint64_t m_size = 0;
    int m_fd = -1;
    bool m_shared = false;
};
