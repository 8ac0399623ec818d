#include "viewer/core/display_mapping.h"

#include <cmath>
#include <cstring>
#include <stdexcept>

#include "outside/basecore/math_helpers.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Adding 1.5 × 2^52 leaves the value rounded to an integer (ties to even, the default
// rounding mode) in the low mantissa bits; the compiler can vectorise this, unlike rint.
inline std::uint8_t RoundedLevel(double clamped)
{
    const double shifted = clamped + 6755399441055744.0;
    std::uint64_t bits;
    std::memcpy(&bits, &shifted, sizeof bits);
    return std::uint8_t(bits);
}

// The real-sample rule: nearest integer with ties to even, clamped to 0..255, NaN to 0.
inline std::uint8_t RealLevelOf(double v, double minimum, double scale)
{
    double t = (v - minimum) * scale;
    t = t > 0.0 ? t : 0.0;  // also NaN
    t = t < 255.0 ? t : 255.0;
    return RoundedLevel(t);
}

// Float and double samples, sixteen at a time where the processor allows: the same double
// operations as RealLevelOf, so the result is the same byte for byte.
template <class F>
void MapFloats(const F* s, int count, std::uint8_t* out, double minimum, double scale)
{
    int i = 0;
#if defined(__SSE2__)
    const __m128d lo = _mm_set1_pd(minimum), sc = _mm_set1_pd(scale), zero = _mm_setzero_pd(),
                  top = _mm_set1_pd(255.0), magic = _mm_set1_pd(6755399441055744.0);
    // Two doubles to two rounded levels in the low halves of the lanes. max and min return
    // their second operand for a NaN, which gives 0 exactly as the scalar rule does.
    auto level = [&](__m128d v) {
        v = _mm_mul_pd(_mm_sub_pd(v, lo), sc);
        v = _mm_min_pd(_mm_max_pd(v, zero), top);
        return _mm_castpd_ps(_mm_add_pd(v, magic));
    };
    auto four = [&](const F* p) {
        __m128d a, b;
        if constexpr (std::is_same_v<F, float>) {
            const __m128 f = _mm_loadu_ps(p);
            a = _mm_cvtps_pd(f);
            b = _mm_cvtps_pd(_mm_movehl_ps(f, f));
        } else {
            a = _mm_loadu_pd(p);
            b = _mm_loadu_pd(p + 2);
        }
        return _mm_castps_si128(_mm_shuffle_ps(level(a), level(b), _MM_SHUFFLE(2, 0, 2, 0)));
    };
    for (; i + 16 <= count; i += 16) {
        const __m128i low = _mm_packs_epi32(four(s + i), four(s + i + 4));
        const __m128i high = _mm_packs_epi32(four(s + i + 8), four(s + i + 12));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(low, high));
    }
#endif
    for (; i < count; ++i) out[i] = RealLevelOf(double(s[i]), minimum, scale);
}

}  // namespace

void DisplayValueCounter::Add(const std::uint8_t* values, int count)
{
    int i = 0;
    for (; i + 4 <= count; i += 4) {
        ++m_counts[0][values[i]];
        ++m_counts[1][values[i + 1]];
        ++m_counts[2][values[i + 2]];
        ++m_counts[3][values[i + 3]];
    }
    for (; i < count; ++i) ++m_counts[0][values[i]];
}

void DisplayValueCounter::AddTo(std::uint32_t* histogram) const
{
    for (int v = 0; v < 256; ++v)
        histogram[v] += m_counts[0][v] + m_counts[1][v] + m_counts[2][v] + m_counts[3][v];
}

bool IsValidDisplayMapping(int typeCode, int component)
{
    if (!isValidType(typeCode)) return false;
    return !typeInfo(typeCode).complex || (component >= kAmplitude && component <= kImaginary);
}

DisplayMapping::DisplayMapping(int typeCode, int component, double minimum, double maximum)
    : m_typeCode(typeCode), m_component(component), m_minimum(minimum)
{
    if (!IsValidDisplayMapping(typeCode, component))
        throw std::invalid_argument("invalid data type code or complex component");
    m_scale = maximum != minimum ? 255.0 / (maximum - minimum) : 0.0;
    const TypeInfo& info = typeInfo(typeCode);
    if (!info.complex) m_component = kAmplitude;
    m_countHistogram = !(info.complex && m_component == kPhase);

    // Tables for 8- and 16-bit samples: per sample (or per part for the real and imaginary
    // components), or per (re, im) byte pair for the amplitude and phase of 8-bit parts.
    if (info.floating || info.partBytes > 2) return;
    visitSampleType(typeCode, [&]<class T>(Tag<T>) {
        using P = PartType<T>;
        if constexpr (std::is_integral_v<P> && sizeof(P) <= 2) {
            const int partValues = 1 << (8 * sizeof(P));
            auto partValue = [](int index) { return double(P(index)); };  // bit pattern to value
            if constexpr (!IsComplex<T>) {
                m_tableKind = 1;
                m_table.resize(partValues);
                for (int i = 0; i < partValues; ++i) m_table[i] = RealLevel(partValue(i));
            } else if (m_component == kReal || m_component == kImaginary) {
                m_tableKind = 1;
                m_table.resize(partValues);
                for (int i = 0; i < partValues; ++i) m_table[i] = LevelOfValue(partValue(i));
            } else if (sizeof(P) == 1) {
                m_tableKind = 2;
                m_table.resize(65536);
                for (int i = 0; i < 65536; ++i)
                    m_table[i] = ComplexLevel(partValue(i & 0xFF), partValue(i >> 8));
            }
        }
    });
}

std::uint8_t DisplayMapping::RealLevel(double sample) const
{
    return RealLevelOf(sample, m_minimum, m_scale);
}

std::uint8_t DisplayMapping::LevelOfValue(double v) const
{
    double t = (v - m_minimum) * m_scale;
    if (!(t == t)) return 0;
    // Clamping before rounding keeps the result and avoids converting huge values.
    t = t < -1.0 ? -1.0 : (t > 256.0 ? 256.0 : t);
    const int d = Round(t);
    return d > 255 ? 255 : (d < 1 ? 0 : std::uint8_t(d));
}

std::uint8_t DisplayMapping::LevelOfPhase(double phase) const
{
    const double t = (phase - m_minimum) * m_scale;
    // The low 8 bits are stored as they are; a value beyond the integer range (only a range
    // far from the phases' own could give one) shows as 0 instead of overflowing.
    if (!(std::fabs(t) < 2147483647.0)) return 0;
    return std::uint8_t(Round(t) & 0xFF);
}

std::uint8_t DisplayMapping::ComplexLevel(double re, double im) const
{
    switch (m_component) {
        case kPhase:
            return LevelOfPhase(Arg(re, im));
        case kReal:
            return LevelOfValue(re);
        case kImaginary:
            return LevelOfValue(im);
        default:
            return LevelOfValue(Amplitude(re, im));
    }
}

template <class T>
void DisplayMapping::MapTyped(const T* s, int count, std::uint8_t* out) const
{
    using P = PartType<T>;
    using Index = std::make_unsigned_t<std::conditional_t<std::is_integral_v<P>, P, int>>;
    if constexpr (!IsComplex<T>) {
        if (m_tableKind == 1) {
            for (int i = 0; i < count; ++i) out[i] = m_table[Index(s[i])];
        } else if constexpr (std::is_floating_point_v<T>) {
            MapFloats(s, count, out, m_minimum, m_scale);
        } else {
            const double minimum = m_minimum, scale = m_scale;
            for (int i = 0; i < count; ++i) out[i] = RealLevelOf(double(s[i]), minimum, scale);
        }
    } else {
        if (m_tableKind == 1) {
            if (m_component == kReal)
                for (int i = 0; i < count; ++i) out[i] = m_table[Index(re(s[i]))];
            else
                for (int i = 0; i < count; ++i) out[i] = m_table[Index(im(s[i]))];
        } else if (m_tableKind == 2) {
            for (int i = 0; i < count; ++i)
                out[i] = m_table[unsigned(Index(re(s[i]))) | (unsigned(Index(im(s[i]))) << 8)];
        } else {
            switch (m_component) {
                case kPhase:
                    for (int i = 0; i < count; ++i) out[i] = LevelOfPhase(Arg(re(s[i]), im(s[i])));
                    break;
                case kReal:
                    for (int i = 0; i < count; ++i) out[i] = LevelOfValue(double(re(s[i])));
                    break;
                case kImaginary:
                    for (int i = 0; i < count; ++i) out[i] = LevelOfValue(double(im(s[i])));
                    break;
                default:
                    for (int i = 0; i < count; ++i) {
                        const double r = double(re(s[i])), m = double(im(s[i]));
                        out[i] = LevelOfValue(Amplitude(r, m));
                    }
            }
        }
    }
}

void DisplayMapping::MapRow(const void* samples, int count, std::uint8_t* out, std::uint32_t* histogram) const
{
    if (count <= 0) return;
    visitSampleType(m_typeCode,
                    [&]<class T>(Tag<T>) { MapTyped(static_cast<const T*>(samples), count, out); });
    if (m_countHistogram && histogram)
        for (int i = 0; i < count; ++i) ++histogram[out[i]];
}
