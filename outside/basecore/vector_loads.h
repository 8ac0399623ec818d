#pragma once

// Four samples of any real type as four doubles in one 256-bit vector, for the AVX2 clones of
// the kernels (only ever inlined into functions built for AVX2).

#include <cstdint>

#if defined(__x86_64__)
#include <immintrin.h>

__attribute__((target("avx2"))) inline __m256d Load4d(const float* p)
{
    return _mm256_cvtps_pd(_mm_loadu_ps(p));
}
__attribute__((target("avx2"))) inline __m256d Load4d(const double* p)
{
    return _mm256_loadu_pd(p);
}
__attribute__((target("avx2"))) inline __m256d Load4d(const std::int32_t* p)
{
    return _mm256_cvtepi32_pd(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}
/// Other types one by one (exact: every one of them fits a double).
template <class T>
__attribute__((target("avx2"))) inline __m256d Load4d(const T* p)
{
    return _mm256_set_pd(double(p[3]), double(p[2]), double(p[1]), double(p[0]));
}
#endif
