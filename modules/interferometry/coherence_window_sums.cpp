#include "modules/interferometry/coherence_window_sums.h"

#include <algorithm>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace interf_detail {

#if defined(__x86_64__)
__attribute__((target("avx2"))) void SumSlotsAvx2(const double* first, std::size_t stride, int n,
                                                  std::size_t width, double* dst)
{
    // Slots lie a whole number of pages apart: more than a few of them read at once fight for
    // the same cache sets. So a chunk of columns takes four slots per pass, its partial sums
    // staying in the cache between passes.
    constexpr std::size_t kChunk = 512;
    const std::size_t whole = width & ~std::size_t(3);
    for (std::size_t c0 = 0; c0 < whole; c0 += kChunk) {
        const std::size_t c1 = std::min(whole, c0 + kChunk);
        for (std::size_t x = c0; x < c1; x += 4) _mm256_storeu_pd(dst + x, _mm256_loadu_pd(first + x));
        for (int s = 1; s < n; s += 4) {
            const int count = std::min(4, n - s);
            const double* slot = first + std::size_t(s) * stride;
            for (std::size_t x = c0; x < c1; x += 4) {
                __m256d a = _mm256_loadu_pd(dst + x);
                for (int j = 0; j < count; ++j)
                    a = _mm256_add_pd(a, _mm256_loadu_pd(slot + std::size_t(j) * stride + x));
                _mm256_storeu_pd(dst + x, a);
            }
        }
    }
    SumSlots(first + whole, stride, n, width - whole, dst + whole);
}
#else
void SumSlotsAvx2(const double* first, std::size_t stride, int n, std::size_t width, double* dst)
{
    SumSlots(first, stride, n, width, dst);
}
#endif

}  // namespace interf_detail
