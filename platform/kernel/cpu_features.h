#pragma once

// Which vector code the kernels may run. Kernels with an AVX2 path ask UseAvx2() once per
// call or row and otherwise take their scalar code, which must give the same results within
// the kernel's stated bounds. Tests turn the AVX2 paths off for the whole process to test the
// scalar code on machines that have AVX2. The few kernels with an AVX-512 path ask
// UseAvx512(), which is off whenever the AVX2 paths are.

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

/// Turns the AVX2 paths off (false) or back on where the processor has them (true), for
/// every thread. A kernel call already running keeps the path it chose.
PLATFORM_API void SetAvx2Paths(bool enabled);

/// True when the AVX2 paths are on and the processor also runs AVX-512 F, VL, BW and DQ code
/// (with the operating system saving its registers), and the process has not turned the
/// AVX-512 paths off.
inline bool UseAvx512()
{
    return cpu_detail::g_avx512Paths.load(std::memory_order_relaxed) && UseAvx2();
}

/// Turns the AVX-512 paths off (false) or back on where the processor has them (true), for
/// every thread, so that a test can hold them to the AVX2 and scalar code.
PLATFORM_API void SetAvx512Paths(bool enabled);

}  // namespace platform
