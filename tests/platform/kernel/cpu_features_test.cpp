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

TEST(CpuFeatures, TheAvx512PathsFollowTheAvx2PathsAndTheirOwnSwitch)
{
    const bool avx2 = platform::UseAvx2(), avx512 = platform::UseAvx512();
    platform::SetAvx2Paths(true);
    const bool hasAvx2 = platform::UseAvx2();
    platform::SetAvx512Paths(true);
#if defined(__x86_64__)
    __builtin_cpu_init();
    const bool has = hasAvx2 && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl") &&
                     __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512dq");
#else
    const bool has = false;
#endif
    EXPECT_EQ(platform::UseAvx512(), has);
    platform::SetAvx2Paths(false);
    EXPECT_FALSE(platform::UseAvx512());
    platform::SetAvx2Paths(true);
    EXPECT_EQ(platform::UseAvx512(), has);
    platform::SetAvx512Paths(false);
    EXPECT_FALSE(platform::UseAvx512());
    EXPECT_EQ(platform::UseAvx2(), hasAvx2);
    // Back as it was; the switch itself stays on where only the AVX2 paths were off.
    platform::SetAvx512Paths(avx512 || !avx2);
    platform::SetAvx2Paths(avx2);
}
