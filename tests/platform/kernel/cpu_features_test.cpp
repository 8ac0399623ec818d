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
