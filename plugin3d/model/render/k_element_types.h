#pragma once

// The element types of the plug-in's rasters (TKElementType), the layer files' data type
// codes they come from, and the one conversion between element types (CastElement), which
// row reading and writing run once per row, typed, never per element through a switch.

#include <cstdint>

/// Element types of layer rows, numbered as the layer reader and its callers store them.
/// No layer file code gives 7, 8 or 11; they exist for the callers' own rows.
enum TKElementType : std::int32_t {
    ketUnknown = 0,
    ketUInt8 = 1,
    ketInt8 = 2,
    ketUInt16 = 3,
    ketInt16 = 4,
    ketUInt32 = 5,
    ketInt32 = 6,
    ketUInt64 = 7,
    ketInt64 = 8,
    ketFloat32 = 9,
    ketFloat64 = 10,
    ketFloat80 = 11,  ///< x87 extended: the first 10 bytes of a long double
};

/// The highest element type.
inline constexpr int kLastElementType = ketFloat80;

/// Bytes of one element of type (10 for ketFloat80); 0 for ketUnknown and types out of range.
int ElementTypeSize(int type);
/// The name layer descriptions show (" Unsigned Int 8-bit ", blanks kept); " Unknow " for
/// ketUnknown; null for types out of range.
const char* ElementTypeName(int type);

/// What a layer file's data type code means to the reader.
struct TKLayerCodeInfo {
    TKElementType elementType;  ///< the type of one part
    int elementSize;            ///< bytes of a whole element in the row (both parts of a complex one)
    bool complex;               ///< codes 9 to 16
};
/// The row of code in the code table; codes other than 1 to 16 are unknown (type 0, size 0).
TKLayerCodeInfo LayerCodeInfo(std::int32_t code);

/// Converts one element. The source is read into a signed 64-bit integer and an extended
/// float: integer types as integers (unsigned ones zero-extended, 64-bit ones whole), float
/// types as floats whose integer value is rounded half to even, or -2^63 out of
/// [-2^63, 2^63). Integer destinations take the low bits of the integer (no saturation),
/// float destinations the float narrowed. ketUnknown reads as 0 and writes nothing; types
/// out of range do nothing.
void CastElement(void* dest, const void* source, int destType, int sourceType);

/// CastElement over count elements, strides in bytes; one dispatch for the whole run.
void ConvertElements(void* dest, int destType, std::int64_t destStride, const void* source, int sourceType,
                     std::int64_t sourceStride, int count);

/// The element type of a C++ type, for callers that read rows into typed buffers
/// (long double is ketFloat80, read and written in its first 10 bytes).
template <class T>
inline constexpr TKElementType ElementTypeOf = ketUnknown;
template <>
inline constexpr TKElementType ElementTypeOf<std::uint8_t> = ketUInt8;
template <>
inline constexpr TKElementType ElementTypeOf<std::int8_t> = ketInt8;
template <>
inline constexpr TKElementType ElementTypeOf<std::uint16_t> = ketUInt16;
template <>
inline constexpr TKElementType ElementTypeOf<std::int16_t> = ketInt16;
template <>
inline constexpr TKElementType ElementTypeOf<std::uint32_t> = ketUInt32;
template <>
inline constexpr TKElementType ElementTypeOf<std::int32_t> = ketInt32;
template <>
inline constexpr TKElementType ElementTypeOf<std::uint64_t> = ketUInt64;
template <>
inline constexpr TKElementType ElementTypeOf<std::int64_t> = ketInt64;
template <>
inline constexpr TKElementType ElementTypeOf<float> = ketFloat32;
template <>
inline constexpr TKElementType ElementTypeOf<double> = ketFloat64;
template <>
inline constexpr TKElementType ElementTypeOf<long double> = ketFloat80;
