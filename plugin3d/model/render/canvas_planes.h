#pragma once

// The canvas's memory: blocks taken straight from the system in whole 64 KiB steps (so a
// size that cannot be had fails cleanly instead of half-way), and the planes laid out in
// them: rows padded to 16 bytes, pixels kept across resizes.

#include <cstddef>
#include <cstdint>

namespace canvas_planes {

/// Allocation step of planes.
inline constexpr std::int64_t kPlaneStep = 0x10000;
/// Allocation step of the span buffer.
inline constexpr std::int64_t kSpanStep = 0x4000;
/// Bytes of a channel table: 65536 int32 entries.
inline constexpr std::int64_t kTableBytes = 0x40000;

/// Raises EOutOfMemory when bytes is negative or more than the machine's memory and swap
/// together: an over-committing system would grant such a block and fail only when it is
/// touched. For large arrays kept elsewhere than in a HeapBlock.
void CheckMachineCanHold(std::int64_t bytes);

/// An owned block of zeroed memory, or none. Allocate raises EOutOfMemory when the size
/// cannot be had (or does not fit in 64 bits). Blocks of up to 1 MiB that are freed are kept
/// (up to 16 MiB of them, their pages lent to the system) and cleared for the next request
/// of their size.
class HeapBlock {
public:
    HeapBlock() = default;
    ~HeapBlock() { Free(); }
    HeapBlock(HeapBlock&& other) noexcept;
    HeapBlock& operator=(HeapBlock&& other) noexcept;
    HeapBlock(const HeapBlock&) = delete;
    HeapBlock& operator=(const HeapBlock&) = delete;

    static HeapBlock Allocate(std::int64_t bytes);
    void Free();
    std::uint8_t* Data() const { return m_data; }
    std::int64_t Bytes() const { return m_bytes; }

private:
    std::uint8_t* m_data = nullptr;
    std::int64_t m_bytes = 0;
};

/// Blocks from kArrayBlockReuse bytes on, for arrays that are written before they are read
/// (the points of a point set): the largest block given back is kept, its pages lent to the
/// system (which takes them only when it runs short, MADV_FREE), and handed to the next
/// request it can hold (what it has beyond goes back). A model loaded after another one went
/// so takes no page faults for memory the process just had. Smaller blocks are operator
/// new's. TakeArrayBlock raises std::bad_alloc when the memory cannot be had.
inline constexpr std::size_t kArrayBlockReuse = std::size_t(4) << 20;
void* TakeArrayBlock(std::size_t bytes);
void GiveArrayBlock(void* block, std::size_t bytes) noexcept;
/// Gives the kept blocks (arrays' and HeapBlocks') back to the system (the render unit's
/// end: nothing is kept in a process the plug-in has left).
void ReleaseKeptBlocks() noexcept;

/// An allocator of TakeArrayBlock and GiveArrayBlock, for the vectors of large arrays.
template <class T>
struct ArrayAllocator {
    using value_type = T;
    ArrayAllocator() = default;
    template <class U>
    ArrayAllocator(const ArrayAllocator<U>&) noexcept
    {
    }
    T* allocate(std::size_t n) { return static_cast<T*>(TakeArrayBlock(n * sizeof(T))); }
    void deallocate(T* p, std::size_t n) noexcept { GiveArrayBlock(p, n * sizeof(T)); }
    friend bool operator==(const ArrayAllocator&, const ArrayAllocator&) { return true; }
};

/// Row stride of a plane: width * bytes per element plus up to 15, rounded down to 16.
std::int64_t PlaneStride(std::int64_t width, int bytesPerElement);
/// Bytes a plane of `height` rows of `stride` takes: rounded up to 64 KiB. Raises
/// EOutOfMemory when it does not fit in 64 bits.
std::int64_t PlaneAllocation(std::int64_t height, std::int64_t stride);
/// Bytes of the span buffer for `height` rows.
std::int64_t SpanBufferBytes(std::int64_t height);

/// One plane: the depth plane (int32 elements) or a channel plane (uint16).
struct Plane {
    bool present = false;
    HeapBlock block;
    std::int32_t width = 0;
    std::int32_t height = 0;
    int bytesPerElement = 2;
    std::int64_t stride = 0;

    std::uint8_t* Row(std::int64_t y) const { return block.Data() + y * stride; }
    std::int64_t Allocated() const { return block.Bytes(); }
    /// Resizes to width x height keeping the pixels of the common part; new columns of old
    /// rows and new rows get `fill`. A zero size frees the block. Raises EOutOfMemory (the
    /// plane unchanged) when the memory cannot be had.
    void Resize(std::int32_t newWidth, std::int32_t newHeight, std::uint32_t fill);
    /// Sets every pixel of rows first..last to `value`.
    void FillRows(std::int64_t first, std::int64_t last, std::uint32_t value);
    /// Frees the memory, keeping the present flag.
    void Release();
};

}  // namespace canvas_planes
