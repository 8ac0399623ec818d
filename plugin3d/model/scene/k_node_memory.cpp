#include "plugin3d/model/scene/k_node_memory.h"

#include <sys/sysinfo.h>

#include <cstdlib>
#include <utility>

#include "platform/forms/exceptions.h"

void CheckMemoryFor(std::int64_t bytes)
{
    if (bytes < 0) throw EOutOfMemory();
    struct sysinfo info {};
    if (sysinfo(&info) != 0) return;
    const unsigned __int128 total =
        (unsigned __int128)(info.totalram + info.totalswap) * (info.mem_unit ? info.mem_unit : 1);
    if ((unsigned __int128)bytes > total) throw EOutOfMemory();
}

TNodeBuffer::TNodeBuffer(TNodeBuffer&& other) noexcept
    : m_data(std::exchange(other.m_data, nullptr)), m_size(std::exchange(other.m_size, 0))
{
}

TNodeBuffer& TNodeBuffer::operator=(TNodeBuffer&& other) noexcept
{
    if (this != &other) {
        Free();
        m_data = std::exchange(other.m_data, nullptr);
        m_size = std::exchange(other.m_size, 0);
    }
    return *this;
}

TNodeBuffer TNodeBuffer::Allocate(std::int64_t bytes)
{
    TNodeBuffer buffer;
    if (bytes == 0) return buffer;
    CheckMemoryFor(bytes);
    if (std::uint64_t(bytes) > SIZE_MAX) throw EOutOfMemory();
    void* data = std::calloc(std::size_t(bytes), 1);
    if (!data) throw EOutOfMemory();
    buffer.m_data = static_cast<std::byte*>(data);
    buffer.m_size = bytes;
    return buffer;
}

void TNodeBuffer::Free()
{
    std::free(m_data);
    m_data = nullptr;
    m_size = 0;
}
