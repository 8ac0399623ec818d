#include "plugin3d/model/core/general_proc.h"

#include <cstring>

void FillPattern(void* dest, std::int64_t count, std::uint32_t value)
{
    if (count <= 0) return;
    auto* out = static_cast<unsigned char*>(dest);
    unsigned char pattern[4];
    for (int i = 0; i < 4; ++i) pattern[i] = static_cast<unsigned char>(value >> (8 * i));
    const std::int64_t first = count < 4 ? count : 4;
    std::memcpy(out, pattern, static_cast<std::size_t>(first));
    // Doubling copies: the filled part always starts with whole patterns.
    for (std::int64_t filled = first; filled < count;) {
        const std::int64_t n = filled <= count - filled ? filled : count - filled;
        std::memcpy(out + filled, out, static_cast<std::size_t>(n));
        filled += n;
    }
}

void MoveBytes(void* dest, const void* src, std::int64_t count)
{
    if (count <= 0 || dest == src) return;
    std::memmove(dest, src, static_cast<std::size_t>(count));
}

void FillPattern2D(void* dest, std::int32_t width, std::int32_t height, std::uint32_t value,
                   std::int64_t pitch)
{
    if (width <= 0) return;
    auto* row = static_cast<unsigned char*>(dest);
    for (std::int32_t y = 0; y < height; ++y, row += pitch) FillPattern(row, width, value);
}
