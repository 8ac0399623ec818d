// The element conversion: integer values pass as their low bits, floats round half to even
// into integers, and types without meaning do nothing.

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "plugin3d/model/render/k_element_types.h"

namespace {

// One conversion: source bytes of sourceType into a destination pre-filled with 0xAA, whose
// first 16 bytes are compared with the expected ones.
struct CastCase {
    const char* name;
    int sourceType;
    std::vector<std::uint8_t> source;
    int destType;
    std::vector<std::uint8_t> expected;  // destination bytes; 0xAA where nothing is written
};

template <class T>
std::vector<std::uint8_t> BytesOf(T value, std::size_t size = sizeof(T))
{
    std::vector<std::uint8_t> bytes(16, 0xAA);
    std::memcpy(bytes.data(), &value, size);
    return bytes;
}

std::vector<std::uint8_t> Untouched()
{
    return std::vector<std::uint8_t>(16, 0xAA);
}

void PrintTo(const CastCase& c, std::ostream* os)
{
    *os << c.name;
}

class CastElementCases : public ::testing::TestWithParam<CastCase> {};

TEST_P(CastElementCases, ConvertsAsTheReaderDoes)
{
    const CastCase& c = GetParam();
    std::vector<std::uint8_t> source = c.source;
    source.resize(16, 0);
    std::vector<std::uint8_t> dest = Untouched();
    CastElement(dest.data(), source.data(), c.destType, c.sourceType);
    EXPECT_EQ(dest, c.expected);
}

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    CastElement, CastElementCases,
    ::testing::Values(
        CastCase{"HalfRoundsDownToEven", ketFloat32, BytesOf(2.5f), ketInt16, BytesOf<std::int16_t>(2)},
        CastCase{"HalfRoundsUpToEven", ketFloat32, BytesOf(3.5f), ketInt16, BytesOf<std::int16_t>(4)},
        CastCase{"NegativeHalfToEven", ketFloat64, BytesOf(-2.5), ketInt32, BytesOf<std::int32_t>(-2)},
        CastCase{"LowBitsWithoutSaturation", ketUInt8, BytesOf<std::uint8_t>(200), ketInt8,
                 BytesOf<std::int8_t>(-56)},
        CastCase{"SignExtendedThenCut", ketInt8, BytesOf<std::int8_t>(-1), ketUInt16,
                 BytesOf<std::uint16_t>(65535)},
        CastCase{"ZeroExtended", ketUInt32, BytesOf<std::uint32_t>(0xFFFFFFFFu), ketInt64,
                 BytesOf<std::int64_t>(0xFFFFFFFFll)},
        CastCase{"FloatOutOfRangeIsMinInt64", ketFloat32, BytesOf(1e30f), ketInt64,
                 BytesOf(std::numeric_limits<std::int64_t>::min())},
        CastCase{"FloatOutOfRangeKeepsLowBits", ketFloat64, BytesOf(-1e300), ketInt32,
                 BytesOf<std::int32_t>(0)},
        CastCase{"NaNIsMinInt64", ketFloat32, BytesOf(kNaN), ketInt64,
                 BytesOf(std::numeric_limits<std::int64_t>::min())},
        CastCase{"TwoToThe63IsOutOfRange", ketFloat64, BytesOf(0x1p63), ketInt64,
                 BytesOf(std::numeric_limits<std::int64_t>::min())},
        CastCase{"MinusTwoToThe63IsInRange", ketFloat64, BytesOf(-0x1p63), ketUInt64,
                 BytesOf<std::uint64_t>(0x8000000000000000ull)},
        CastCase{"UInt64IsTakenAsSigned", ketUInt64, BytesOf<std::uint64_t>(~0ull), ketFloat64,
                 BytesOf(-1.0)},
        CastCase{"FloatsAreNotRounded", ketFloat64, BytesOf(2.75), ketFloat32, BytesOf(2.75f)},
        CastCase{"DoubleNarrowsToSingle", ketFloat64, BytesOf(0.1), ketFloat32, BytesOf(0.1f)},
        CastCase{"ExtendedWritesTenBytes", ketInt32, BytesOf<std::int32_t>(-7), ketFloat80,
                 BytesOf(-7.0L, 10)},
        CastCase{"ExtendedReadsTenBytes", ketFloat80, BytesOf(1.5L, 10), ketFloat64, BytesOf(1.5)},
        CastCase{"ExtendedKeepsSixtyFourBits", ketInt64, BytesOf<std::int64_t>((1ll << 62) + 1), ketFloat80,
                 BytesOf(static_cast<long double>((1ll << 62) + 1), 10)},
        CastCase{"UnknownSourceReadsZero", ketUnknown, BytesOf<std::int32_t>(99), ketFloat32, BytesOf(0.0f)},
        CastCase{"UnknownDestinationWritesNothing", ketInt32, BytesOf<std::int32_t>(99), ketUnknown,
                 Untouched()},
        CastCase{"SourceAboveElevenDoesNothing", 12, BytesOf<std::int32_t>(99), ketInt32, Untouched()},
        CastCase{"DestinationAboveElevenDoesNothing", ketInt32, BytesOf<std::int32_t>(99), 12, Untouched()},
        CastCase{"NegativeTypeDoesNothing", -1, BytesOf<std::int32_t>(99), ketInt32, Untouched()}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ElementTypes, NamesSizesAndTheCodeTable)
{
    EXPECT_STREQ(ElementTypeName(ketUnknown), " Unknow ");
    EXPECT_STREQ(ElementTypeName(ketUInt8), " Unsigned Int 8-bit ");
    EXPECT_STREQ(ElementTypeName(ketInt64), " Signed Int 64-bit ");
    EXPECT_STREQ(ElementTypeName(ketFloat80), " Float 80-bit ");
    EXPECT_EQ(ElementTypeName(12), nullptr);
    EXPECT_EQ(ElementTypeSize(ketFloat80), 10);
    EXPECT_EQ(ElementTypeSize(ketUInt64), 8);
    EXPECT_EQ(ElementTypeSize(12), 0);

    // code -> (element type, element size in the row)
    const int expected[17][2] = {{0, 0}, {1, 1},   {2, 1}, {3, 2}, {4, 2}, {5, 4}, {6, 4}, {9, 4}, {10, 8},
                                 {9, 8}, {10, 16}, {1, 2}, {2, 2}, {3, 4}, {4, 4}, {5, 8}, {6, 8}};
    for (int code = 0; code <= 16; ++code) {
        SCOPED_TRACE(code);
        const TKLayerCodeInfo info = LayerCodeInfo(code);
        EXPECT_EQ(info.elementType, expected[code][0]);
        EXPECT_EQ(info.elementSize, expected[code][1]);
        EXPECT_EQ(info.complex, code >= 9);
    }
    EXPECT_EQ(LayerCodeInfo(17).elementType, ketUnknown);
    EXPECT_EQ(LayerCodeInfo(-3).elementSize, 0);
}

TEST(ElementTypes, RunsHonourBothStrides)
{
    // Every third 16-bit value of a source into every second float of the destination.
    const std::int16_t source[9] = {1, 0, 0, -2, 0, 0, 300, 0, 0};
    float dest[6] = {9, 9, 9, 9, 9, 9};
    ConvertElements(dest, ketFloat32, 2 * sizeof(float), source, ketInt16, 3 * sizeof(std::int16_t), 3);
    EXPECT_EQ(std::vector<float>(dest, dest + 6), (std::vector<float>{1, 9, -2, 9, 300, 9}));

    // Packed runs, the path rows take, agree with element-wise casts for every pair of types;
    // the run is long enough for the widest vector loop and leaves a tail behind it.
    constexpr int kRun = 67;
    std::vector<std::uint8_t> values(kRun * 16);
    for (std::size_t i = 0; i < values.size(); ++i) values[i] = std::uint8_t(i * 37 + 11);
    for (int from = 0; from <= kLastElementType; ++from)
        for (int to = 0; to <= kLastElementType; ++to) {
            SCOPED_TRACE(std::to_string(from) + " -> " + std::to_string(to));
            const int inSize = ElementTypeSize(from), outSize = ElementTypeSize(to);
            std::vector<std::uint8_t> run(kRun * 16, 0), single(kRun * 16, 0);
            ConvertElements(run.data(), to, outSize, values.data(), from, inSize, kRun);
            for (int i = 0; i < kRun; ++i)
                CastElement(single.data() + i * outSize, values.data() + i * inSize, to, from);
            EXPECT_EQ(run, single);
        }
}

TEST(ElementTypes, LongRunsConvertPieceByPieceAsElementByElement)
{
    // Rows are converted in pieces of about a kilobyte of source: runs of many pieces and a
    // partial one, packed and strided, for every pair of types, against single casts; the
    // destination past the run stays untouched.
    std::vector<std::uint8_t> values(3001 * 16 * 2);
    for (std::size_t i = 0; i < values.size(); ++i) values[i] = std::uint8_t(i * 151 + 7);
    for (const int count : {1025, 3001})
        for (const int gap : {0, 3})
            for (int from = 0; from <= kLastElementType; ++from)
                for (int to = 0; to <= kLastElementType; ++to) {
                    SCOPED_TRACE(std::to_string(count) + " gap " + std::to_string(gap) + ": " +
                                 std::to_string(from) + " -> " + std::to_string(to));
                    const int inStride = ElementTypeSize(from) + gap, outStride = ElementTypeSize(to) + gap;
                    std::vector<std::uint8_t> run((count + 1) * 16 + 16, 0x5A), single = run;
                    ConvertElements(run.data(), to, outStride, values.data(), from, inStride, count);
                    for (int i = 0; i < count; ++i)
                        CastElement(single.data() + std::size_t(i) * outStride,
                                    values.data() + std::size_t(i) * inStride, to, from);
                    ASSERT_EQ(run, single);
                }
}

}  // namespace
