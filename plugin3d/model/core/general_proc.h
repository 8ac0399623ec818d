#pragma once

// Small integer and memory helpers of the model (unit GeneralProc).

#include <cstdint>

inline std::int32_t Min(std::int32_t a, std::int32_t b)
{
    return a < b ? a : b;
}
inline std::int32_t Max(std::int32_t a, std::int32_t b)
{
    return a > b ? a : b;
}
inline std::int32_t Min3(std::int32_t a, std::int32_t b, std::int32_t c)
{
    return Min(Min(a, b), c);
}
inline std::int32_t Max3(std::int32_t a, std::int32_t b, std::int32_t c)
{
    return Max(Max(a, b), c);
}

/// a * b / c with a 64-bit product, truncated toward zero; 0 when c is 0.
inline std::int64_t MulDiv64(std::int32_t a, std::int32_t b, std::int32_t c)
{
    return c == 0 ? 0 : std::int64_t(a) * std::int64_t(b) / c;
}

/// Fills count bytes with the repeating 4-byte little-endian value; nothing for count <= 0.
void FillPattern(void* dest, std::int64_t count, std::uint32_t value);
/// Copies count bytes, overlapping blocks included; nothing for count <= 0 or dest == src.
void MoveBytes(void* dest, const void* src, std::int64_t count);
/// Fills height rows of width bytes with the repeating value; rows start pitch bytes apart.
void FillPattern2D(void* dest, std::int32_t width, std::int32_t height, std::uint32_t value,
                   std::int64_t pitch);
