#include "platform/kernel/cpu_features.h"

namespace platform {

namespace {

bool ProcessorHasAvx2()
{
#if defined(__x86_64__)
    // Asked while the library's statics are made, maybe before the run-time has looked.
    __builtin_cpu_init();
    // The vector maths the AVX2 paths call (atan2, exp) is built with FMA.
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
#else
    return false;
#endif
}

bool ProcessorHasAvx512()
{
#if defined(__x86_64__)
    __builtin_cpu_init();
    // The run-time's answers include the check that the system saves the AVX-512 registers.
    return ProcessorHasAvx2() && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl") &&
           __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512dq");
#else
    return false;
#endif
}

}  // namespace

namespace cpu_detail {
std::atomic<bool> g_avx2Paths{ProcessorHasAvx2()};
std::atomic<bool> g_avx512Paths{ProcessorHasAvx512()};
}  // namespace cpu_detail

void SetAvx2Paths(bool enabled)
{
    cpu_detail::g_avx2Paths.store(enabled && ProcessorHasAvx2(), std::memory_order_relaxed);
}

void SetAvx512Paths(bool enabled)
{
    cpu_detail::g_avx512Paths.store(enabled && ProcessorHasAvx512(), std::memory_order_relaxed);
}

}  // namespace platform
