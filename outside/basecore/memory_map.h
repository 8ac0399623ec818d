#pragma once

// A file mapped whole into memory through the platform's file mapping, so that every
// mapping the suite makes is one the platform knows (FlushViewOfFile works on it). Layers
// hand out rows as pointers into such a view, so the samples are read and written without
// copies.

#include <cstdint>

#include "platform/cstring.h"
#include "platform/types.h"

class CMemoryMap {
public:
    /// How an existing file is mapped.
    enum Access {
        kReadOnly = 0,   ///< writes stay private to the process and never reach the file
        kReadWrite = 1,  ///< writes reach the file
    };

    CMemoryMap() = default;
    ~CMemoryMap();
    CMemoryMap(const CMemoryMap&) = delete;
    CMemoryMap& operator=(const CMemoryMap&) = delete;
    CMemoryMap(CMemoryMap&& other) noexcept;
    CMemoryMap& operator=(CMemoryMap&& other) noexcept;

    /// Maps the whole existing file. An empty file maps to no memory but succeeds.
    BOOL Open(const char* path, Access access);
    /// Maps an open file handle (read and write, such as a new version from the platform's
    /// atomic writer) whole for writing; the file grows to `size` when it is shorter
    /// (0: its own size). The handle stays the caller's.
    BOOL MapFile(HANDLE file, std::uint64_t size);
    /// `size` zero bytes of the process's own memory, belonging to no file (huge pages where
    /// the system gives them: pyramids and sample copies are filled from all cores).
    BOOL CreateAnonymous(std::uint64_t size);
    /// Writes changed pages of a file opened kReadWrite back and waits for the disk; for
    /// other mappings it starts the write-back (their owner syncs).
    BOOL Flush();
    /// Unmaps and closes; harmless when nothing is mapped.
    void Close();

    /// Base address of the mapped view (null when nothing is mapped).
    BYTE* AdresData() const { return m_data; }
    /// TRUE when another program cut the mapped file short: the lost pages read as zeros
    /// (platform IsViewDamaged), and what was read of them is not the file's.
    BOOL IsDamaged() const;
    std::uint64_t Size() const { return m_size; }
    BOOL IsOpen() const { return m_data != nullptr || m_file != nullptr; }
    /// The file handle of a file this object opened (Open), else null; valid until Close.
    HANDLE File() const { return m_file; }

private:
    BOOL MapHandle(HANDLE file, std::uint64_t size, DWORD protect, DWORD access);

    BYTE* m_data = nullptr;
    std::uint64_t m_size = 0;
    HANDLE m_file = nullptr;  // the file this object opened itself
    bool m_writesBack = false;
    bool m_private = false;  // m_data is memory of CreateAnonymous, not a view
};
