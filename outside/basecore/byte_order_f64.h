#pragma once

// Little-endian doubles at a byte address, for records read and written by explicit layout.

#include <cstdint>
#include <cstring>

#include "platform/types.h"

inline void WriteF64(BYTE* p, double v)
{
    std::uint64_t bits;
    std::memcpy(&bits, &v, 8);
    for (int i = 0; i < 8; ++i) p[i] = static_cast<BYTE>(bits >> (8 * i));
}

inline double ReadF64(const BYTE* p)
{
    std::uint64_t bits = 0;
    for (int i = 0; i < 8; ++i) bits |= std::uint64_t(p[i]) << (8 * i);
    double v;
    std::memcpy(&v, &bits, 8);
    return v;
}
