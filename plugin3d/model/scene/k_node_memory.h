#pragma once

// Memory for the large arrays of the 3D classes (surface nodes, points): sizes in 64 bits,
// checked against the machine before anything is asked of the system, so a size read from a
// file or typed by a user fails with a message instead of a short buffer or a process that an
// over-committing system kills when the pages are touched.

#include <cstddef>
#include <cstdint>

/// Raises EOutOfMemory when bytes is negative or more than the machine's memory and swap.
void CheckMemoryFor(std::int64_t bytes);

/// A zeroed block of bytes, owned.
class TNodeBuffer {
public:
    TNodeBuffer() = default;
    ~TNodeBuffer() { Free(); }
    TNodeBuffer(TNodeBuffer&& other) noexcept;
    TNodeBuffer& operator=(TNodeBuffer&& other) noexcept;
    TNodeBuffer(const TNodeBuffer&) = delete;
    TNodeBuffer& operator=(const TNodeBuffer&) = delete;

    /// A zeroed block of bytes (none for 0); EOutOfMemory when it cannot be had.
    static TNodeBuffer Allocate(std::int64_t bytes);
    void Free();

    std::byte* Data() const { return m_data; }
    std::int64_t Size() const { return m_size; }

private:
    std::byte* m_data = nullptr;
    std::int64_t m_size = 0;
};
