#include "viewer/analysis/sample_match.h"

#include <cmath>
#include <cstring>

#include "outside/basecore/vector_loads.h"
#include "platform/kernel/cpu_features.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

// The 256-bit vector helpers below are only ever inlined into their own clones.
#pragma GCC diagnostic ignored "-Wpsabi"

SampleTest SampleTest::Exact(double value)
{
    SampleTest t;
    t.m_value = value;
    return t;
}

SampleTest SampleTest::ToDecimals(double value, double m)
{
    SampleTest t;
    t.m_m = m;
    const double r = std::round(m * value);
    if (!(std::fabs(r) < 4503599627370496.0)) {
        // Beyond 2^52 halves are not exact (and infinities and NaN have no interval).
        t.m_kind = kRounded;
        t.m_value = r;
        return t;
    }
    t.m_kind = kInterval;
    t.m_lo = r - 0.5;
    t.m_hi = r + 0.5;
    // Halves round away from zero.
    t.m_loClosed = r > 0.0;
    t.m_hiClosed = r < 0.0;
    return t;
}

bool SampleTest::RoundedEqual(double x) const
{
    return std::round(x) == m_value;
}

namespace {

#if defined(__x86_64__)
/// One bit per sample of p[0..8) that lies in the test's set: equal to `value`, or with
/// m x v in (lo, hi) (ends included as asked). NaN matches nothing.
template <bool kEqual, int kLo, int kHi, class T>
__attribute__((target("avx2"))) inline unsigned Mask8(const T* p, __m256d value, __m256d m, __m256d lo,
                                                      __m256d hi)
{
    unsigned bits = 0;
    for (int h = 0; h < 2; ++h) {
        const __m256d v = Load4d(p + 4 * h);
        __m256d hit;
        if constexpr (kEqual) {
            hit = _mm256_cmp_pd(v, value, _CMP_EQ_OQ);
        } else {
            const __m256d x = _mm256_mul_pd(m, v);
            hit = _mm256_and_pd(_mm256_cmp_pd(x, lo, kLo), _mm256_cmp_pd(x, hi, kHi));
        }
        bits |= unsigned(_mm256_movemask_pd(hit)) << (4 * h);
    }
    return bits;
}

/// The first (or last) match among the whole blocks of eight from p[0], or -1.
template <bool kEqual, int kLo, int kHi, class T>
__attribute__((target("avx2"))) int FindInBlocks(const T* p, int blocks, bool forward, double value, double m,
                                                 double lo, double hi)
{
    const __m256d vv = _mm256_set1_pd(value), vm = _mm256_set1_pd(m), vlo = _mm256_set1_pd(lo),
                  vhi = _mm256_set1_pd(hi);
    if (forward) {
        for (int b = 0; b < blocks; ++b)
            if (const unsigned bits = Mask8<kEqual, kLo, kHi>(p + 8 * b, vv, vm, vlo, vhi))
                return 8 * b + __builtin_ctz(bits);
    } else {
        for (int b = blocks - 1; b >= 0; --b)
            if (const unsigned bits = Mask8<kEqual, kLo, kHi>(p + 8 * b, vv, vm, vlo, vhi))
                return 8 * b + 31 - __builtin_clz(bits);
    }
    return -1;
}

/// Every match among the whole blocks of eight from p[0], appended in increasing order.
template <bool kEqual, int kLo, int kHi, class T>
__attribute__((target("avx2"))) void AllInBlocks(const T* p, int blocks, double value, double m, double lo,
                                                 double hi, std::vector<int>& hits)
{
    const __m256d vv = _mm256_set1_pd(value), vm = _mm256_set1_pd(m), vlo = _mm256_set1_pd(lo),
                  vhi = _mm256_set1_pd(hi);
    for (int b = 0; b < blocks; ++b)
        for (unsigned bits = Mask8<kEqual, kLo, kHi>(p + 8 * b, vv, vm, vlo, vhi); bits; bits &= bits - 1)
            hits.push_back(8 * b + __builtin_ctz(bits));
}
#endif

}  // namespace

template <class T>
int SampleTest::FindIn(const T* p, int n, bool forward) const
{
    int covered = 0;  // samples from p[0] that the vector code has looked at
    int hit = -1;
#if defined(__x86_64__)
    if (m_kind != kRounded && platform::UseAvx2()) {
        const int blocks = n / 8;
        covered = 8 * blocks;
        if (m_kind == kEqual)
            hit = FindInBlocks<true, 0, 0>(p, blocks, forward, m_value, m_m, m_lo, m_hi);
        else if (m_loClosed)
            hit = FindInBlocks<false, _CMP_GE_OQ, _CMP_LT_OQ>(p, blocks, forward, m_value, m_m, m_lo, m_hi);
        else if (m_hiClosed)
            hit = FindInBlocks<false, _CMP_GT_OQ, _CMP_LE_OQ>(p, blocks, forward, m_value, m_m, m_lo, m_hi);
        else
            hit = FindInBlocks<false, _CMP_GT_OQ, _CMP_LT_OQ>(p, blocks, forward, m_value, m_m, m_lo, m_hi);
        if (forward && hit >= 0) return hit;
    }
#endif
    // The samples after the whole blocks: the last ones going forward, the first going back.
    if (forward) {
        for (int x = covered; x < n; ++x)
            if ((*this)(double(p[x]))) return x;
        return -1;
    }
    for (int x = n - 1; x >= covered; --x)
        if ((*this)(double(p[x]))) return x;
    return hit;
}

template <class T>
void SampleTest::AllIn(const T* p, int n, std::vector<int>& hits) const
{
    int covered = 0;  // samples from p[0] that the vector code has looked at
#if defined(__x86_64__)
    if (m_kind != kRounded && platform::UseAvx2()) {
        const int blocks = n / 8;
        covered = 8 * blocks;
        if (m_kind == kEqual)
            AllInBlocks<true, 0, 0>(p, blocks, m_value, m_m, m_lo, m_hi, hits);
        else if (m_loClosed)
            AllInBlocks<false, _CMP_GE_OQ, _CMP_LT_OQ>(p, blocks, m_value, m_m, m_lo, m_hi, hits);
        else if (m_hiClosed)
            AllInBlocks<false, _CMP_GT_OQ, _CMP_LE_OQ>(p, blocks, m_value, m_m, m_lo, m_hi, hits);
        else
            AllInBlocks<false, _CMP_GT_OQ, _CMP_LT_OQ>(p, blocks, m_value, m_m, m_lo, m_hi, hits);
    }
#endif
    for (int x = covered; x < n; ++x)
        if ((*this)(double(p[x]))) hits.push_back(x);
}

template int SampleTest::FindIn(const std::uint8_t*, int, bool) const;
template int SampleTest::FindIn(const std::int8_t*, int, bool) const;
template int SampleTest::FindIn(const std::uint16_t*, int, bool) const;
template int SampleTest::FindIn(const std::int16_t*, int, bool) const;
template int SampleTest::FindIn(const std::uint32_t*, int, bool) const;
template int SampleTest::FindIn(const std::int32_t*, int, bool) const;
template int SampleTest::FindIn(const float*, int, bool) const;
template int SampleTest::FindIn(const double*, int, bool) const;
template void SampleTest::AllIn(const std::uint8_t*, int, std::vector<int>&) const;
template void SampleTest::AllIn(const std::int8_t*, int, std::vector<int>&) const;
template void SampleTest::AllIn(const std::uint16_t*, int, std::vector<int>&) const;
template void SampleTest::AllIn(const std::int16_t*, int, std::vector<int>&) const;
template void SampleTest::AllIn(const std::uint32_t*, int, std::vector<int>&) const;
template void SampleTest::AllIn(const std::int32_t*, int, std::vector<int>&) const;
template void SampleTest::AllIn(const float*, int, std::vector<int>&) const;
template void SampleTest::AllIn(const double*, int, std::vector<int>&) const;
