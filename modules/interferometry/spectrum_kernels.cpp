#include "modules/interferometry/spectrum_kernels.h"

#include <algorithm>
#include <complex>
#include <cstring>
#include <numbers>
#include <stdexcept>

#include "outside/basecore/data_type.h"
#include "outside/basecore/fft_class.h"

namespace {

constexpr std::int32_t kSpectrumMarker = 1;

std::int32_t Word(const BYTE* p, int index)
{
    std::int32_t v = 0;
    std::memcpy(&v, p + 4 * index, 4);
    return v;
}

template <class F>
void WithComplexFloat(int type, F&& f)
{
    visitSampleType(type, [&]<class T>(Tag<T>) {
        if constexpr (std::is_same_v<T, std::complex<float>> || std::is_same_v<T, std::complex<double>>)
            f(Tag<T>{});
        else
            throw std::invalid_argument("a spectrum row is complex float");
    });
}

}  // namespace

std::array<BYTE, kSpectrumTagBytes> EncodeSpectrumTag(const SpectrumInfo& info)
{
    const std::int32_t words[5] = {kSpectrumTagBytes, kSpectrumMarker, info.real, info.width, info.height};
    std::array<BYTE, kSpectrumTagBytes> bytes{};
    std::memcpy(bytes.data(), words, sizeof(words));
    return bytes;
}

bool DecodeSpectrumTag(const BYTE* payload, int size, int wi, int hi, SpectrumInfo& info)
{
    if (!payload || size != kSpectrumTagBytes) return false;
    if (Word(payload, 0) != kSpectrumTagBytes || Word(payload, 1) != kSpectrumMarker) return false;
    const std::int32_t real = Word(payload, 2), w = Word(payload, 3), h = Word(payload, 4);
    if ((real != 0 && real != 1) || w < 1 || w > wi || h < 1 || h > hi) return false;
    info = SpectrumInfo{real, w, h};
    return true;
}

std::int64_t PaddedSide(std::int64_t n)
{
    constexpr int kLargestExponent = 28;
    const int e = CFFTClass::CeilPowerOfTwo(n);
    return e > kLargestExponent ? 0 : (std::int64_t{1} << e);
}

void SwapQuadrantRows(int type, void* upper, void* lower, std::int64_t wp)
{
    WithComplexFloat(type, [&]<class T>(Tag<T>) {
        T* a = static_cast<T*>(upper);
        T* b = static_cast<T*>(lower);
        const std::int64_t half = wp / 2;
        std::swap_ranges(a, a + half, b + half);
        std::swap_ranges(b, b + half, a + half);
    });
}

void UnswapRow(int type, const void* upper, void* out, std::int64_t wp)
{
    WithComplexFloat(type, [&]<class T>(Tag<T>) {
        const T* src = static_cast<const T*>(upper);
        T* dst = static_cast<T*>(out);
        const std::int64_t half = wp / 2;
        std::copy(src + half, src + wp, dst);
        std::copy(src, src + half, dst + (wp - half));
    });
}

void DerivativeXRow(void* row, std::int64_t wp)
{
    auto* p = static_cast<std::complex<float>*>(row);
    const double step = 2.0 * std::numbers::pi / double(wp);
    const std::int64_t half = wp / 2;
    for (std::int64_t x = 0; x < wp; ++x) {
        const std::int64_t kx = x < half ? x : (x == half ? 0 : x - wp);
        const double f = step * double(kx);
        // i f (re + i im) = (-f im, f re)
        const double re = p[x].real(), im = p[x].imag();
        p[x] = std::complex<float>(float(-f * im), float(f * re));
    }
}

void RealPartRow(int type, const void* in, void* out, std::int64_t width)
{
    WithComplexFloat(type, [&]<class T>(Tag<T>) {
        using R = PartType<T>;
        const T* src = static_cast<const T*>(in);
        R* dst = static_cast<R*>(out);
        for (std::int64_t x = 0; x < width; ++x) dst[x] = src[x].real();
    });
}
