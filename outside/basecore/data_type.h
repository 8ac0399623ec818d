#pragma once

// The sixteen sample types of layer files: one table that every part of the suite reads
// element sizes, complex and floating tests and names from, and one visitor that turns a
// type code into a template argument. Dispatch once per row or per call, never per pixel.

#include <array>
#include <complex>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <type_traits>

enum class DataType : std::int32_t {
    U8 = 1,
    S8,
    U16,
    S16,
    U32,
    S32,
    F32,
    F64,
    C64,
    C128,
    CU8,
    CS8,
    CU16,
    CS16,
    CU32,
    CS32
};

/// A complex sample with integer parts: the real part, then the imaginary part
/// (std::complex of an integer type is not allowed).
template <class P>
struct CplxInt {
    P re;
    P im;
};

/// One row of the type table.
struct TypeInfo {
    DataType code;
    int elementBytes;  ///< bytes of one sample (both parts for a complex type)
    int partBytes;     ///< bytes of one part (the sample itself for a real type)
    bool complex;
    bool floating;     ///< samples or parts are IEEE floats
    bool signedParts;  ///< integer parts are signed (floats count as signed)
    int partCode;      ///< the real code of one part (11 -> 1, 9 -> 7, ...; a real code -> itself)
    const char* name;  ///< short name ("U8", "C64", ...)
    const char*
        newFileText;  ///< the text offered for new files, with its trailing blanks; null when not offered
};

inline constexpr std::array<TypeInfo, 16> kTypeTable = {{
    {DataType::U8, 1, 1, false, false, false, 1, "U8", "unsigned integer 8 bit"},
    {DataType::S8, 1, 1, false, false, true, 2, "S8", "signed integer 8 bit"},
    {DataType::U16, 2, 2, false, false, false, 3, "U16", "unsigned integer 16 bit "},
    {DataType::S16, 2, 2, false, false, true, 4, "S16", "signed integer 16 bit "},
    {DataType::U32, 4, 4, false, false, false, 5, "U32", "unsigned integer 32 bit "},
    {DataType::S32, 4, 4, false, false, true, 6, "S32", "signed integer 32 bit "},
    {DataType::F32, 4, 4, false, true, true, 7, "F32", "float 32 bit "},
    {DataType::F64, 8, 8, false, true, true, 8, "F64", "float 64 bit "},
    {DataType::C64, 8, 4, true, true, true, 7, "C64", "complex float 32 bit  "},
    {DataType::C128, 16, 8, true, true, true, 8, "C128", "complex float 64 bit  "},
    {DataType::CU8, 2, 1, true, false, false, 1, "CU8", "complex integer 8 bit "},
    {DataType::CS8, 2, 1, true, false, true, 2, "CS8", nullptr},
    {DataType::CU16, 4, 2, true, false, false, 3, "CU16", "complex integer 16 bit "},
    {DataType::CS16, 4, 2, true, false, true, 4, "CS16", nullptr},
    {DataType::CU32, 8, 4, true, false, false, 5, "CU32", "complex integer 32 bit "},
    {DataType::CS32, 8, 4, true, false, true, 6, "CS32", nullptr},
}};

/// The codes of the New-file list, in the order it offers them.
inline constexpr std::array<int, 13> kNewFileOrder = {1, 2, 3, 4, 5, 6, 7, 8, 11, 13, 15, 9, 10};

/// True for the codes 1 to 16. Codes read from files go through this first.
constexpr bool isValidType(std::int32_t code)
{
    return code >= 1 && code <= 16;
}

/// The table row of a valid code.
constexpr const TypeInfo& typeInfo(DataType t)
{
    return kTypeTable[static_cast<std::size_t>(t) - 1];
}
constexpr const TypeInfo& typeInfo(int code)
{
    return kTypeTable[static_cast<std::size_t>(code) - 1];
}

/// Element bytes of a code; 0 for an invalid code.
constexpr int elementBytes(int code)
{
    return isValidType(code) ? typeInfo(code).elementBytes : 0;
}
/// Complex test (codes 9 to 16); false for an invalid code.
constexpr bool isComplexType(int code)
{
    return isValidType(code) && typeInfo(code).complex;
}
/// Floating test (codes 7 to 10); false for an invalid code.
constexpr bool isFloatType(int code)
{
    return isValidType(code) && typeInfo(code).floating;
}

template <class T>
struct IsComplexSample : std::false_type {
};
template <class P>
struct IsComplexSample<std::complex<P>> : std::true_type {
};
template <class P>
struct IsComplexSample<CplxInt<P>> : std::true_type {
};
/// True for the sample types of complex codes.
template <class T>
inline constexpr bool IsComplex = IsComplexSample<T>::value;

template <class T>
struct PartOfSample {
    using type = T;
};
template <class P>
struct PartOfSample<std::complex<P>> {
    using type = P;
};
template <class P>
struct PartOfSample<CplxInt<P>> {
    using type = P;
};
/// The type of one part of a sample (the sample itself for a real type).
template <class T>
using PartType = typename PartOfSample<T>::type;

/// Real part of a sample (the value of a real sample).
template <class T>
constexpr PartType<T> re(const T& s)
{
    if constexpr (IsComplex<T>) {
        if constexpr (std::is_floating_point_v<PartType<T>>)
            return s.real();
        else
            return s.re;
    } else {
        return s;
    }
}
/// Imaginary part of a sample (0 for a real sample).
template <class T>
constexpr PartType<T> im(const T& s)
{
    if constexpr (IsComplex<T>) {
        if constexpr (std::is_floating_point_v<PartType<T>>)
            return s.imag();
        else
            return s.im;
    } else {
        return PartType<T>{};
    }
}

/// Carries a sample type into a generic lambda: [&]<class T>(Tag<T>) { ... }.
template <class T>
struct Tag {
    using type = T;
};

[[noreturn]] inline void throwUnsupportedType(DataType t)
{
    throw std::invalid_argument("unsupported data type code " + std::to_string(static_cast<int>(t)));
}

/// Calls f(Tag<T>{}) with the C++ sample type of code t. The only switch over the
/// sixteen codes in the code base; codes from files are validated before they get here.
template <class F>
decltype(auto) visitSampleType(DataType t, F&& f)
{
    switch (t) {
        case DataType::U8:
            return f(Tag<std::uint8_t>{});
        case DataType::S8:
            return f(Tag<std::int8_t>{});
        case DataType::U16:
            return f(Tag<std::uint16_t>{});
        case DataType::S16:
            return f(Tag<std::int16_t>{});
        case DataType::U32:
            return f(Tag<std::uint32_t>{});
        case DataType::S32:
            return f(Tag<std::int32_t>{});
        case DataType::F32:
            return f(Tag<float>{});
        case DataType::F64:
            return f(Tag<double>{});
        case DataType::C64:
            return f(Tag<std::complex<float>>{});
        case DataType::C128:
            return f(Tag<std::complex<double>>{});
        case DataType::CU8:
            return f(Tag<CplxInt<std::uint8_t>>{});
        case DataType::CS8:
            return f(Tag<CplxInt<std::int8_t>>{});
        case DataType::CU16:
            return f(Tag<CplxInt<std::uint16_t>>{});
        case DataType::CS16:
            return f(Tag<CplxInt<std::int16_t>>{});
        case DataType::CU32:
            return f(Tag<CplxInt<std::uint32_t>>{});
        case DataType::CS32:
            return f(Tag<CplxInt<std::int32_t>>{});
    }
    throwUnsupportedType(t);
}

/// The same with an int code (validated by the caller).
template <class F>
decltype(auto) visitSampleType(int code, F&& f)
{
    return visitSampleType(static_cast<DataType>(code), std::forward<F>(f));
}

static_assert(sizeof(CplxInt<std::int8_t>) == 2 && sizeof(CplxInt<std::int16_t>) == 4 &&
              sizeof(CplxInt<std::int32_t>) == 8);
static_assert(sizeof(std::complex<float>) == 8 && sizeof(std::complex<double>) == 16);
