#pragma once

// Which vector code the kernels may run. Kernels with an AVX2 path ask UseAvx2() once per
// call or row and otherwise take their scalar code, which must give the same results within
// the kernel's stated bounds. Tests turn the AVX2 paths off for the whole process to test the
// scalar code on machines that have AVX2. A few kernels have an AVX-512 path beside their
// AVX2 one (UseAvx512()), which gives the AVX2 path's results to the bit; tests turn it off
// alone to hold the two to each other.

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

/// True when UseAvx2() is and the processor also runs AVX-512 (F, DQ, BW and VL), unless the
/// process has turned the AVX-512 paths off.
inline bool UseAvx512()
{
    return cpu_detail::g_avx512Paths.load(std::memory_order_relaxed) && UseAvx2();
}

/// Turns the AVX2 paths off (false) or back on where the processor has them (true), for
/// every thread. A kernel call already running keeps the path it chose. The AVX-512 paths
/// run only while the AVX2 paths do.
PLATFORM_API void SetAvx2Paths(bool enabled);

/// Turns the AVX-512 paths off (false) or back on where the processor has them (true), for
/// every thread; the AVX2 paths stay as they are.
PLATFORM_API void SetAvx512Paths(bool enabled);

}  // namespace platform
