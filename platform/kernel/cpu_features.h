#pragma once

// Which vector code the kernels may run. Kernels with an AVX2 path ask UseAvx2() once per
// call or row and otherwise take their scalar code, which must give the same results within
// the kernel's stated bounds. A few kernels also have an AVX-512 path, asked for by
// UseAvx512(), which runs only where the AVX2 paths run. Tests turn the paths off for the
// whole process to test the scalar (or AVX2) code on machines that have the wider one.

#include <atomic>

#include "platform/types.h"

namespace platform {

namespace cpu_detail {
PLATFORM_API extern std::atomic<bool> g_avx2Paths;
PLATFORM_API extern std::atomic<bool> g_avx512Paths;
}  // namespace cpu_detail

/// True when the processor runs AVX2 and FMA code and the process has not turned the AVX2
/// paths off.
inline bool UseAvx2()
{
    return cpu_detail::g_avx2Paths.load(std::memory_order_relaxed);
}

/// True when the processor runs AVX-512 (F, BW, VL and VBMI) code and the process has turned
/// off neither these paths nor the AVX2 ones.
inline bool UseAvx512()
{
    return cpu_detail::g_avx512Paths.load(std::memory_order_relaxed) && UseAvx2();
}

/// Turns the AVX2 paths off (false) or back on where the processor has them (true), for
/// every thread. A kernel call already running keeps the path it chose.
PLATFORM_API void SetAvx2Paths(bool enabled);

/// The same for the AVX-512 paths alone.
PLATFORM_API void SetAvx512Paths(bool enabled);

}  // namespace platform
