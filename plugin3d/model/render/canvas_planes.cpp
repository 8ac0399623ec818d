#include "plugin3d/model/render/canvas_planes.h"

#include <sys/mman.h>
#include <sys/sysinfo.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <new>
#include <type_traits>
#include <utility>

#include "platform/forms/exceptions.h"

namespace canvas_planes {

namespace {

// A block larger than the machine's memory and swap together would be granted by an
// overcommitting system and fail only when touched: refuse it at once.
bool LargerThanTheMachine(std::int64_t bytes)
{
    struct sysinfo info {};
    if (sysinfo(&info) != 0) return false;
    const unsigned __int128 total =
        (unsigned __int128)(info.totalram + info.totalswap) * (info.mem_unit ? info.mem_unit : 1);
    return (unsigned __int128)bytes > total;
}

std::int64_t CheckedProduct(std::int64_t a, std::int64_t b)
{
    std::int64_t product = 0;
    if (a < 0 || b < 0 || __builtin_mul_overflow(a, b, &product)) throw EOutOfMemory();
    return product;
}

std::int64_t RoundUp(std::int64_t value, std::int64_t step)
{
    if (value > INT64_MAX - (step - 1)) throw EOutOfMemory();
    return (value + step - 1) / step * step;
}

void FillElements(std::uint8_t* row, std::int64_t from, std::int64_t to, int bytesPerElement,
                  std::uint32_t value)
{
    if (to <= from) return;
    if (bytesPerElement == 4) {
        std::fill(reinterpret_cast<std::uint32_t*>(row) + from, reinterpret_cast<std::uint32_t*>(row) + to,
                  value);
    } else {
        std::fill(reinterpret_cast<std::uint16_t*>(row) + from, reinterpret_cast<std::uint16_t*>(row) + to,
                  std::uint16_t(value));
    }
}

// Small blocks given back (HeapBlock::Free) and kept for the next of their size: a viewer's
// planes and tables are made again and again, and a page fault for every page of a fresh
// block costs more than clearing a kept one. Their pages are lent to the system meanwhile.
// The keeps are plain statics, made before any code runs and never destroyed (nothing of
// them is on the heap): a block may still be freed while the program's or the plug-in's
// statics go.
constexpr std::int64_t kKeptBlockMax = std::int64_t(1) << 20;
constexpr std::int64_t kKeptBytesMax = std::int64_t(16) << 20;
constexpr std::size_t kKeptBlockCount = 256;
struct KeptBlock {
    std::uint8_t* data = nullptr;
    std::int64_t bytes = 0;
};
struct KeptBlocks {
    std::mutex mutex;
    KeptBlock blocks[kKeptBlockCount];
    std::size_t count = 0;
    std::int64_t bytes = 0;
};
static_assert(std::is_trivially_destructible_v<KeptBlocks>);
constinit KeptBlocks g_keptBlocks;

// The array block kept for reuse (TakeArrayBlock), and its guard.
struct KeptArrayBlock {
    std::mutex mutex;
    void* block = nullptr;
    std::size_t length = 0;
};
static_assert(std::is_trivially_destructible_v<KeptArrayBlock>);
constinit KeptArrayBlock g_keptArray;

std::size_t MappedLength(std::size_t bytes)
{
    const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    return (bytes + page - 1) / page * page;
}

}  // namespace

void* TakeArrayBlock(std::size_t bytes)
{
    if (bytes < kArrayBlockReuse) return ::operator new(bytes);
    const std::size_t length = MappedLength(bytes);
    {
        KeptArrayBlock& kept = g_keptArray;
        std::lock_guard lock(kept.mutex);
        if (kept.block && kept.length >= length) {
            // Handed out at the length asked for: what it has beyond goes back to the system.
            void* block = std::exchange(kept.block, nullptr);
            if (kept.length != length)
                ::munmap(static_cast<std::uint8_t*>(block) + length, kept.length - length);
            kept.length = 0;
            return block;
        }
    }
    void* block = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED) throw std::bad_alloc();
    return block;
}

void GiveArrayBlock(void* block, std::size_t bytes) noexcept
{
    if (!block) return;
    if (bytes < kArrayBlockReuse) {
        ::operator delete(block);
        return;
    }
    const std::size_t length = MappedLength(bytes);
    // Kept only where the system can take the pages back meanwhile without being asked.
    if (::madvise(block, length, MADV_FREE) != 0) {
        ::munmap(block, length);
        return;
    }
    KeptArrayBlock& kept = g_keptArray;
    std::lock_guard lock(kept.mutex);
    if (kept.block && kept.length >= length) {
        ::munmap(block, length);
        return;
    }
    if (kept.block) ::munmap(kept.block, kept.length);
    kept.block = block;
    kept.length = length;
}

void ReleaseKeptBlocks() noexcept
{
    {
        KeptArrayBlock& kept = g_keptArray;
        std::lock_guard lock(kept.mutex);
        if (kept.block) ::munmap(kept.block, kept.length);
        kept.block = nullptr;
        kept.length = 0;
    }
    KeptBlocks& kept = g_keptBlocks;
    std::lock_guard lock(kept.mutex);
    for (std::size_t i = 0; i < kept.count; ++i)
        ::munmap(kept.blocks[i].data, std::size_t(kept.blocks[i].bytes));
    kept.count = 0;
    kept.bytes = 0;
}

void CheckMachineCanHold(std::int64_t bytes)
{
    if (bytes < 0 || LargerThanTheMachine(bytes)) throw EOutOfMemory();
}

HeapBlock::HeapBlock(HeapBlock&& other) noexcept
    : m_data(std::exchange(other.m_data, nullptr)), m_bytes(std::exchange(other.m_bytes, 0))
{
}

HeapBlock& HeapBlock::operator=(HeapBlock&& other) noexcept
{
    if (this != &other) {
        Free();
        m_data = std::exchange(other.m_data, nullptr);
        m_bytes = std::exchange(other.m_bytes, 0);
    }
    return *this;
}

HeapBlock HeapBlock::Allocate(std::int64_t bytes)
{
    HeapBlock block;
    if (bytes <= 0) return block;
    if (bytes <= kKeptBlockMax) {
        KeptBlocks& kept = g_keptBlocks;
        std::uint8_t* reused = nullptr;
        {
            std::lock_guard lock(kept.mutex);
            // The one given back last first: its pages are the likeliest still to be there.
            for (std::size_t i = kept.count; i-- > 0;)
                if (kept.blocks[i].bytes == bytes) {
                    reused = kept.blocks[i].data;
                    std::copy(kept.blocks + i + 1, kept.blocks + kept.count, kept.blocks + i);
                    --kept.count;
                    kept.bytes -= bytes;
                    break;
                }
        }
        if (reused) {
            std::memset(reused, 0, std::size_t(bytes));
            block.m_data = reused;
            block.m_bytes = bytes;
            return block;
        }
    }
    if (LargerThanTheMachine(bytes)) throw EOutOfMemory();
    void* p = ::mmap(nullptr, std::size_t(bytes), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) throw EOutOfMemory();
    block.m_data = static_cast<std::uint8_t*>(p);
    block.m_bytes = bytes;
    return block;
}

void HeapBlock::Free()
{
    std::uint8_t* data = std::exchange(m_data, nullptr);
    const std::int64_t bytes = std::exchange(m_bytes, 0);
    if (!data) return;
    if (bytes <= kKeptBlockMax && ::madvise(data, std::size_t(bytes), MADV_FREE) == 0) {
        KeptBlocks& kept = g_keptBlocks;
        std::lock_guard lock(kept.mutex);
        if (kept.bytes + bytes <= kKeptBytesMax && kept.count < kKeptBlockCount) {
            kept.blocks[kept.count++] = {data, bytes};
            kept.bytes += bytes;
            return;
        }
    }
    ::munmap(data, std::size_t(bytes));
}

std::int64_t PlaneStride(std::int64_t width, int bytesPerElement)
{
    return (CheckedProduct(width, bytesPerElement) + 15) & ~std::int64_t(15);
}

std::int64_t PlaneAllocation(std::int64_t height, std::int64_t stride)
{
    return RoundUp(CheckedProduct(height, stride), kPlaneStep);
}

std::int64_t SpanBufferBytes(std::int64_t height)
{
    return (CheckedProduct(height, 48) + 47) / kSpanStep * kSpanStep + kSpanStep;
}

void Plane::Resize(std::int32_t newWidth, std::int32_t newHeight, std::uint32_t fill)
{
    if (newWidth <= 0 || newHeight <= 0) {
        block.Free();
        width = std::max(newWidth, 0);
        height = std::max(newHeight, 0);
        stride = 0;
        return;
    }
    const std::int64_t newStride = PlaneStride(newWidth, bytesPerElement);
    const std::int64_t bytes = PlaneAllocation(newHeight, newStride);
    const std::int64_t keptRows = block.Data() ? std::min(height, newHeight) : 0;
    const std::int64_t keptBytes = std::int64_t(std::min(width, newWidth)) * bytesPerElement;
    if (bytes == block.Bytes()) {
        // Same block: rows move forward when they shrink, backwards when they grow.
        std::uint8_t* base = block.Data();
        if (newStride < stride)
            for (std::int64_t y = 1; y < keptRows; ++y)
                std::memmove(base + y * newStride, base + y * stride, std::size_t(keptBytes));
        else if (newStride > stride)
            for (std::int64_t y = keptRows - 1; y >= 1; --y)
                std::memmove(base + y * newStride, base + y * stride, std::size_t(keptBytes));
    } else {
        HeapBlock fresh = HeapBlock::Allocate(bytes);
        for (std::int64_t y = 0; y < keptRows; ++y)
            std::memcpy(fresh.Data() + y * newStride, block.Data() + y * stride, std::size_t(keptBytes));
        block = std::move(fresh);
    }
    const std::int32_t oldWidth = keptRows ? width : 0;
    width = newWidth;
    height = newHeight;
    stride = newStride;
    for (std::int64_t y = 0; y < keptRows; ++y)
        FillElements(Row(y), oldWidth, newWidth, bytesPerElement, fill);
    FillRows(keptRows, newHeight - 1, fill);
}

void Plane::FillRows(std::int64_t first, std::int64_t last, std::uint32_t value)
{
    if (!block.Data()) return;
    first = std::max<std::int64_t>(first, 0);
    last = std::min<std::int64_t>(last, height - 1);
    for (std::int64_t y = first; y <= last; ++y) FillElements(Row(y), 0, width, bytesPerElement, value);
}

void Plane::Release()
{
    block.Free();
    stride = 0;
}

}  // namespace canvas_planes
