#pragma once

// Which vector code the kernels may run. Kernels with an AVX2 path ask UseAvx2() once per
// call or row and otherwise take their scalar code, which must give the same results within
// the kernel's stated bounds. Tests turn the AVX2 paths off for the whole process to test the
// scalar code on machines that have AVX2.

#include <atomic>

#include "platform/types.h"

namespace platform {

namespace cpu_detail {
PLATFORM_API extern std::atomic<bool> g_avx2Paths;
}

/// True when the processor runs AVX2 and FMA code and the process has not turned the AVX2
/// paths off.
inline bool UseAvx2()
{
    return cpu_detail::g_avx2Paths.load(std::memory_order_relaxed);
}

/// Turns the AVX2 paths off (false) or back on where the processor has them (true), for
/// every thread. A kernel call already running keeps the path it chose.
PLATFORM_API void SetAvx2Paths(bool enabled);

}  // namespace platform
