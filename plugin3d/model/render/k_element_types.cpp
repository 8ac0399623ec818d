#include "plugin3d/model/render/k_element_types.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <type_traits>

namespace {

static_assert(std::numeric_limits<long double>::digits == 64 && sizeof(long double) >= 10,
              "ketFloat80 is the x87 extended type held in a long double");

constexpr std::array<int, kLastElementType + 1> kSizes = {0, 1, 1, 2, 2, 4, 4, 8, 8, 4, 8, 10};
constexpr std::array<const char*, kLastElementType + 1> kNames = {
    " Unknow ",
    " Unsigned Int 8-bit ",
    " Signed Int 8-bit ",
    " Unsigned Int 16-bit ",
    " Signed Int 16-bit ",
    " Unsigned Int 32-bit ",
    " Signed Int 32-bit ",
    " Unsigned Int 64-bit ",
    " Signed Int 64-bit ",
    " Float 32-bit ",
    " Float 64-bit ",
    " Float 80-bit ",
};
// The part type of codes 1 to 16: real codes, the two floats, then the complex integers.
constexpr std::array<TKElementType, 16> kCodeTypes = {
    ketUInt8,   ketInt8,    ketUInt16, ketInt16, ketUInt32, ketInt32, ketFloat32, ketFloat64,
    ketFloat32, ketFloat64, ketUInt8,  ketInt8,  ketUInt16, ketInt16, ketUInt32,  ketInt32,
};

struct Float80 {};
struct Unknown {};

// Loads and stores of one element type. Rows lie anywhere in a mapped file, so elements
// are moved bytewise (the compiler turns that into plain, possibly unaligned, moves).
template <class T>
struct Element {
    using Value = T;
    static constexpr std::int64_t kSize = sizeof(T);
    static T Load(const unsigned char* p)
    {
        T v;
        std::memcpy(&v, p, sizeof v);
        return v;
    }
    static void Store(unsigned char* p, T v) { std::memcpy(p, &v, sizeof v); }
};
template <>
struct Element<Float80> {
    using Value = long double;
    static constexpr std::int64_t kSize = 10;
    static long double Load(const unsigned char* p)
    {
        long double v = 0;
        std::memcpy(&v, p, kSize);
        return v;
    }
    // Only the 10 bytes of the value: a caller's row of 10-byte elements has no padding.
    static void Store(unsigned char* p, long double v) { std::memcpy(p, &v, kSize); }
};
template <>
struct Element<Unknown> {
    using Value = std::int64_t;
    static constexpr std::int64_t kSize = 0;
    static std::int64_t Load(const unsigned char*) { return 0; }
};

template <class T>
struct Tag {
    using type = T;
};

// The one dispatch over element types: f(Tag<T>) with the storage type of type; types out
// of range call nothing.
template <class F>
void VisitElementType(int type, F&& f)
{
    switch (type) {
        case ketUnknown:
            return f(Tag<Unknown>{});
        case ketUInt8:
            return f(Tag<std::uint8_t>{});
        case ketInt8:
            return f(Tag<std::int8_t>{});
        case ketUInt16:
            return f(Tag<std::uint16_t>{});
        case ketInt16:
            return f(Tag<std::int16_t>{});
        case ketUInt32:
            return f(Tag<std::uint32_t>{});
        case ketInt32:
            return f(Tag<std::int32_t>{});
        case ketUInt64:
            return f(Tag<std::uint64_t>{});
        case ketInt64:
            return f(Tag<std::int64_t>{});
        case ketFloat32:
            return f(Tag<float>{});
        case ketFloat64:
            return f(Tag<double>{});
        case ketFloat80:
            return f(Tag<Float80>{});
        default:
            return;
    }
}

// The integer value of a float: rounded half to even (the default rounding mode), and
// -2^63 where no 64-bit integer holds it (NaN included), as the x87 store gives.
template <class F>
std::int64_t RoundToInt64(F v)
{
    if (v >= F(-0x1p63) && v < F(0x1p63)) return std::llrint(v);
    return std::numeric_limits<std::int64_t>::min();
}

template <class D, class S>
D Convert(S v)
{
    if constexpr (std::is_integral_v<S>) {
        // The value is the signed 64-bit one. Going straight to the destination gives the
        // same: integers keep the same low bits, and an integer becomes a float in one
        // rounding, as through the extended value; only an unsigned 64-bit value must be
        // taken as signed first. Straight conversions of narrow types vectorise.
        if constexpr (std::is_same_v<S, std::uint64_t> && !std::is_integral_v<D>)
            return static_cast<D>(static_cast<std::int64_t>(v));
        else
            return static_cast<D>(v);
    } else if constexpr (std::is_integral_v<D>) {
        return static_cast<D>(RoundToInt64(v));
    } else {
        return static_cast<D>(v);
    }
}

// Rows come from files mapped in memory and are read mostly in order: left to the
// processor's own prefetchers, a conversion waits on memory most of its time. A run is
// converted in pieces, and before each piece the lines it will need are asked for: the
// source's into the second-level cache well ahead and into the first-level cache shortly
// ahead (at the end of a row, the next row's lines), and the destination's shortly ahead
// for writing (a row of floats is longer than the first-level cache, so each of its lines
// would otherwise be fetched by a store that waits for it). A prefetch never faults,
// wherever it points, and changes no value.
constexpr std::int64_t kPieceBytes = 1024;
constexpr std::int64_t kFarAhead = 16384;
constexpr std::int64_t kNearAhead = 2048;
constexpr std::int64_t kWriteAhead = 2048;
constexpr std::int64_t kCacheLine = 64;

// As addresses only: the lines ahead may lie past the caller's buffers.
[[gnu::always_inline]] inline void Prefetch(const void* from, std::int64_t ahead, std::int64_t bytes,
                                            bool forWriting, bool nearby)
{
    const std::uintptr_t at = reinterpret_cast<std::uintptr_t>(from) + std::uintptr_t(ahead);
#pragma GCC unroll 32
    for (std::int64_t b = 0; b < bytes; b += kCacheLine) {
        const void* line = reinterpret_cast<const void*>(at + std::uintptr_t(b));
        if (forWriting)
            __builtin_prefetch(line, 1, 3);
        else if (nearby)
            __builtin_prefetch(line, 0, 3);
        else
            __builtin_prefetch(line, 0, 2);
    }
}

// Calls convert(first, end) for the pieces [first, end) of a run of count elements, whose
// source elements lie sourceStride bytes apart and destination elements destStride bytes,
// each after the prefetches for it. Inlined, so that packed runs keep their constant
// strides and vectorise.
template <class Convert>
[[gnu::always_inline]] inline void InPieces(const unsigned char* dest, std::int64_t destStride,
                                            const unsigned char* source, std::int64_t sourceStride, int count,
                                            Convert&& convert)
{
    const int piece =
        sourceStride <= 0 ? int(kPieceBytes) : int(std::max<std::int64_t>(1, kPieceBytes / sourceStride));
    for (int first = 0, end = 0; first < count; first = end) {
        end = first + std::min(piece, count - first);
        if (sourceStride > 0) {
            const unsigned char* in = source + first * sourceStride;
            Prefetch(in, kFarAhead, piece * sourceStride, false, false);
            Prefetch(in, kNearAhead, piece * sourceStride, false, true);
        }
        if (destStride > 0) Prefetch(dest + first * destStride, kWriteAhead, piece * destStride, true, true);
        convert(first, end);
    }
}

// Packed runs: constant strides let the compiler vectorise the loop.
template <class S, class D>
[[gnu::always_inline]] inline void PackedLoop(unsigned char* dest, const unsigned char* source, int count)
{
    using In = Element<S>;
    using Out = Element<D>;
    InPieces(
        dest, Out::kSize, source, In::kSize, count, [&](int first, int end) __attribute__((always_inline)) {
            for (int i = first; i < end; ++i)
                Out::Store(dest + i * Out::kSize,
                           Convert<typename Out::Value>(In::Load(source + i * In::kSize)));
        });
}

template <class S, class D>
void PackedRun(unsigned char* dest, const unsigned char* source, int count)
{
    PackedLoop<S, D>(dest, source, count);
}

#if defined(__x86_64__)
// The same loop for processors with AVX2: twice the elements per instruction. Each
// conversion rounds as one scalar conversion does, so the values are the same.
template <class S, class D>
__attribute__((target("avx2"))) void PackedRunAvx2(unsigned char* dest, const unsigned char* source,
                                                   int count)
{
    PackedLoop<S, D>(dest, source, count);
}

bool HasAvx2()
{
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}
#endif

template <class S, class D>
void ConvertRun(unsigned char* dest, std::int64_t destStride, const unsigned char* source,
                std::int64_t sourceStride, int count)
{
    if constexpr (std::is_same_v<D, Unknown>) {
        return;
    } else {
        using In = Element<S>;
        using Out = Element<D>;
        if (sourceStride == In::kSize && destStride == Out::kSize) {
#if defined(__x86_64__)
            if (HasAvx2()) return PackedRunAvx2<S, D>(dest, source, count);
#endif
            PackedRun<S, D>(dest, source, count);
        } else {
            InPieces(dest, destStride, source, sourceStride, count, [&](int first, int end) {
                for (int i = first; i < end; ++i)
                    Out::Store(dest + i * destStride,
                               Convert<typename Out::Value>(In::Load(source + i * sourceStride)));
            });
        }
    }
}

}  // namespace

int ElementTypeSize(int type)
{
    return type >= 0 && type <= kLastElementType ? kSizes[std::size_t(type)] : 0;
}

const char* ElementTypeName(int type)
{
    return type >= 0 && type <= kLastElementType ? kNames[std::size_t(type)] : nullptr;
}

TKLayerCodeInfo LayerCodeInfo(std::int32_t code)
{
    if (code < 1 || code > 16) return {ketUnknown, 0, false};
    const TKElementType type = kCodeTypes[std::size_t(code - 1)];
    const bool complex = code >= 9;
    return {type, ElementTypeSize(type) * (complex ? 2 : 1), complex};
}

void ConvertElements(void* dest, int destType, std::int64_t destStride, const void* source, int sourceType,
                     std::int64_t sourceStride, int count)
{
    if (count <= 0) return;
    auto* out = static_cast<unsigned char*>(dest);
    const auto* in = static_cast<const unsigned char*>(source);
    VisitElementType(sourceType, [&]<class S>(Tag<S>) {
        VisitElementType(
            destType, [&]<class D>(Tag<D>) { ConvertRun<S, D>(out, destStride, in, sourceStride, count); });
    });
}

void CastElement(void* dest, const void* source, int destType, int sourceType)
{
    ConvertElements(dest, destType, ElementTypeSize(destType), source, sourceType,
                    ElementTypeSize(sourceType), 1);
}
