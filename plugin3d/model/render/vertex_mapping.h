#pragma once

// How a projected vertex (floating point, image centre at 0, colours 1.0 = full) becomes a
// canvas vertex: coordinates and depth rounded into the range the canvas draws safely, colour
// channels into levels 0..0x8000. Every rounding is to the nearest integer, halves to even
// (the default rounding mode, which nothing in the plug-in changes).

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <type_traits>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "plugin3d/model/render/span_fill.h"

namespace vertex_mapping {

static_assert(sizeof(TCanvasVertex) == 24 && offsetof(TCanvasVertex, c2) == 16,
              "a canvas vertex is six int32 in a row: x, y, z, c1, c2, c3");

inline constexpr double kCoordinateLimit = 1073741824.0;  // 2^30
inline constexpr std::int32_t kLargestCoordinate = 0x40000000;
inline constexpr std::int32_t kSmallestCoordinate = -0x40000000;
inline constexpr std::int32_t kFullLevel = 0x8000;

/// v rounded to the nearest integer, halves to even; v must lie inside the int32 range. One
/// instruction where the machine has one: a draw pass rounds six values per vertex.
inline std::int32_t RoundToInt(double v)
{
#if defined(__SSE2__)
    return _mm_cvtsd_si32(_mm_set_sd(v));
#else
    return std::int32_t(std::lrint(v));
#endif
}
inline std::int32_t RoundToInt(float v)
{
#if defined(__SSE2__)
    return _mm_cvtss_si32(_mm_set_ss(v));
#else
    return std::int32_t(std::lrint(v));
#endif
}

/// At least 2^30 gives 2^30, above -2^30 the rounded value, anything else (NaN too) -2^30.
/// Single values are mapped in single precision, which gives the same result: 2^30 is exact.
template <class Real>
inline std::int32_t Coordinate(Real v)
{
    if (v >= Real(kCoordinateLimit)) return kLargestCoordinate;
    if (v > Real(-kCoordinateLimit)) return RoundToInt(v);
    return kSmallestCoordinate;
}

/// At least 1.0 gives 0x8000, above 0 the rounded v * 32768, anything else (NaN too) 0. A
/// level is so never 0xFFFF (nothing drawn) nor above 0x8000. (The product is exact in
/// either precision.)
template <class Real>
inline std::int32_t Level(Real v)
{
    if (v >= Real(1)) return kFullLevel;
    if (v > Real(0)) return RoundToInt(v * Real(32768));
    return 0;
}

/// The canvas vertex of v (any vertex with x, y, z, c1, c2, c3), moved by the image centre:
/// exactly Coordinate and Level of each value. Where the machine has them, the values are
/// held to their ranges and rounded four or two at a time: MAXPS and MAXPD give their second
/// operand for NaN, which is the low limit.
template <class Vertex>
inline TCanvasVertex ToCanvas(const Vertex& v, std::int32_t centreX, std::int32_t centreY)
{
#if defined(__SSE2__)
    constexpr float kLimit = float(kCoordinateLimit), kFull = float(kFullLevel);
    TCanvasVertex out;
    if constexpr (std::is_same_v<decltype(v.x), float>) {
        const __m128 a = _mm_mul_ps(_mm_setr_ps(v.x, v.y, v.z, v.c1), _mm_setr_ps(1, 1, 1, kFull));
        const __m128 b = _mm_mul_ps(_mm_setr_ps(v.c2, v.c3, 0, 0), _mm_set1_ps(kFull));
        const __m128 heldA = _mm_min_ps(_mm_max_ps(a, _mm_setr_ps(-kLimit, -kLimit, -kLimit, 0)),
                                        _mm_setr_ps(kLimit, kLimit, kLimit, kFull));
        const __m128 heldB = _mm_min_ps(_mm_max_ps(b, _mm_setzero_ps()), _mm_set1_ps(kFull));
        const __m128i first = _mm_add_epi32(_mm_cvtps_epi32(heldA), _mm_setr_epi32(centreX, centreY, 0, 0));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(&out.x), first);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(&out.c2), _mm_cvtps_epi32(heldB));
        return out;
    } else if constexpr (std::is_same_v<decltype(v.x), double>) {
        const __m128d lo = _mm_set1_pd(-kCoordinateLimit), hi = _mm_set1_pd(kCoordinateLimit);
        const __m128d full = _mm_set1_pd(kFullLevel);
        const __m128d xy = _mm_min_pd(_mm_max_pd(_mm_setr_pd(v.x, v.y), lo), hi);
        const __m128d zc =
            _mm_min_pd(_mm_max_pd(_mm_mul_pd(_mm_setr_pd(v.z, v.c1), _mm_setr_pd(1, kFullLevel)),
                                  _mm_setr_pd(-kCoordinateLimit, 0)),
                       _mm_setr_pd(kCoordinateLimit, kFullLevel));
        const __m128d cc =
            _mm_min_pd(_mm_max_pd(_mm_mul_pd(_mm_setr_pd(v.c2, v.c3), full), _mm_setzero_pd()), full);
        const __m128i first = _mm_unpacklo_epi64(_mm_cvtpd_epi32(xy), _mm_cvtpd_epi32(zc));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(&out.x),
                         _mm_add_epi32(first, _mm_setr_epi32(centreX, centreY, 0, 0)));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(&out.c2), _mm_cvtpd_epi32(cc));
        return out;
    }
#endif
    return {Coordinate(v.x) + centreX,
            Coordinate(v.y) + centreY,
            Coordinate(v.z),
            Level(v.c1),
            Level(v.c2),
            Level(v.c3)};
}

}  // namespace vertex_mapping
