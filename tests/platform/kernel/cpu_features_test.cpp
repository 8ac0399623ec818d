#include "platform/kernel/cpu_features.h"

#include <gtest/gtest.h>

TEST(CpuFeatures, TheAvx2PathsTurnOffForTheProcessAndBackOnOnlyWhereTheProcessorHasThem)
{
    const bool before = platform::UseAvx2();
    platform::SetAvx2Paths(false);
    EXPECT_FALSE(platform::UseAvx2());
    platform::SetAvx2Paths(true);
#if defined(__x86_64__)
    __builtin_cpu_init();
    EXPECT_EQ(platform::UseAvx2(), __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma"));
#else
    EXPECT_FALSE(platform::UseAvx2());
#endif
    platform::SetAvx2Paths(before);
}

TEST(CpuFeatures, TheAvx512PathsRunOnlyWithTheAvx2PathsAndTurnOffAlone)
{
    const bool avx2 = platform::UseAvx2();
    const bool avx512 = platform::cpu_detail::g_avx512Paths.load();
    platform::SetAvx512Paths(true);
#if defined(__x86_64__)
    __builtin_cpu_init();
    const bool processor = avx2 && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq") &&
                           __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vl");
#else
    const bool processor = false;
#endif
    EXPECT_EQ(platform::UseAvx512(), processor);
    platform::SetAvx2Paths(false);
    EXPECT_FALSE(platform::UseAvx512()) << "no AVX-512 path without the AVX2 paths";
    platform::SetAvx2Paths(avx2);
    EXPECT_EQ(platform::UseAvx512(), processor);
    platform::SetAvx512Paths(false);
    EXPECT_FALSE(platform::UseAvx512());
    EXPECT_EQ(platform::UseAvx2(), avx2) << "the AVX2 paths stay as they were";
    platform::SetAvx512Paths(avx512);
}
