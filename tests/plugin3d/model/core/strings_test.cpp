#include <gtest/gtest.h>

#include <ostream>

#include <cstring>

#include "plugin3d/model/core/general_proc.h"
#include "plugin3d/model/core/k_strings.h"
#include "tests/plugin3d/model/core/core_test_support.h"

using kelvora::test::MemoryStream;

namespace {

struct LengthCase {
    std::size_t length;
    std::int32_t stored;
};

void PrintTo(const LengthCase& c, std::ostream* out)
{
    *out << c.length << " bytes";
}

class StoredString : public ::testing::TestWithParam<LengthCase> {};

TEST_P(StoredString, RoundTripsCutAtTheCap)
{
    const LengthCase c = GetParam();
    std::string text(c.length, '\0');
    for (std::size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>('a' + i % 26);
    MemoryStream stream;
    EXPECT_EQ(WriteStringTo(&stream, text), c.stored + 4);
    EXPECT_EQ(WriteStringTo(nullptr, text), c.stored + 4);
    ASSERT_EQ(stream.bytes.size(), std::size_t(c.stored) + 4);
    std::int32_t head;
    std::memcpy(&head, stream.bytes.data(), 4);
    EXPECT_EQ(head, c.stored);

    stream.SetPosition(0);
    std::string back = "old";
    EXPECT_EQ(ReadStringFrom(&stream, back), c.stored + 4);
    EXPECT_EQ(back, text.substr(0, std::size_t(c.stored)));

    std::vector<char> block(std::size_t(c.stored) + 4);
    EXPECT_EQ(WriteStringToBuffer(block.data(), text), c.stored + 4);
    EXPECT_EQ(WriteStringToBuffer(nullptr, text), c.stored + 4);
    EXPECT_EQ(ReadStringFromBuffer(block.data(), block.size(), back), c.stored + 4);
    EXPECT_EQ(back, text.substr(0, std::size_t(c.stored)));
}

INSTANTIATE_TEST_SUITE_P(Strings, StoredString,
                         ::testing::Values(LengthCase{0, 0}, LengthCase{5, 5}, LengthCase{0xFFFC, 0xFFFC},
                                           LengthCase{0x10000, 0xFFFC}));

struct BadHead {
    const char* what;
    std::int32_t stored;
    std::size_t bytesBehind;
};

void PrintTo(const BadHead& c, std::ostream* out)
{
    *out << c.what;
}

class BadStoredString : public ::testing::TestWithParam<BadHead> {};

TEST_P(BadStoredString, FailsWithInvalidStringSize)
{
    const BadHead c = GetParam();
    MemoryStream stream;
    stream.Write(&c.stored, 4);
    const std::vector<char> filler(c.bytesBehind, 'x');
    stream.Write(filler.data(), int(filler.size()));
    stream.SetPosition(0);
    std::string text;
    try {
        ReadStringFrom(&stream, text);
        ADD_FAILURE() << "read a bad string";
    } catch (const EStreamError& e) {
        EXPECT_EQ(e.Message(), "Invalid String Size");
    }
    try {
        ReadStringFromBuffer(stream.bytes.data(), stream.bytes.size(), text);
        ADD_FAILURE() << "read a bad string from a block";
    } catch (const EStreamError& e) {
        EXPECT_EQ(e.Message(), "Invalid String Size");
    }
}

INSTANTIATE_TEST_SUITE_P(Strings, BadStoredString,
                         ::testing::Values(BadHead{"over the cap", 0xFFFD, 0xFFFD},
                                           BadHead{"negative", -1, 8}, BadHead{"beyond the data", 10, 3}));

TEST(Strings, NullStreamsAndBuffersOnlyCount)
{
    std::string text = "kept?";
    EXPECT_EQ(ReadStringFrom(nullptr, text), 0);
    EXPECT_EQ(text, "");
    text = "kept?";
    EXPECT_EQ(ReadStringFromBuffer(nullptr, 0, text), 0);
    EXPECT_EQ(text, "");
    std::string target;
    AssignStringCopy(&target, "copied");
    EXPECT_EQ(target, "copied");
}

TEST(GeneralProc, IntegerAndMemoryHelpers)
{
    EXPECT_EQ(Min3(4, -2, 9), -2);
    EXPECT_EQ(Max3(4, -2, 9), 9);
    EXPECT_EQ(MulDiv64(2000000000, 2000000000, 4000000), 1000000000000LL);
    EXPECT_EQ(MulDiv64(-7, 1, 2), -3);
    EXPECT_EQ(MulDiv64(5, 5, 0), 0);

    unsigned char bytes[11] = {};
    FillPattern(bytes, 10, 0x04030201u);
    const unsigned char filled[11] = {1, 2, 3, 4, 1, 2, 3, 4, 1, 2, 0};
    EXPECT_EQ(std::memcmp(bytes, filled, sizeof bytes), 0);
    FillPattern(bytes, 0, 0xFFFFFFFFu);
    EXPECT_EQ(bytes[0], 1);

    MoveBytes(bytes + 1, bytes, 4);  // overlapping
    const unsigned char moved[5] = {1, 1, 2, 3, 4};
    EXPECT_EQ(std::memcmp(bytes, moved, 5), 0);

    unsigned char grid[3][4] = {};
    FillPattern2D(grid, 3, 2, 0x0000BBAAu, 4);
    const unsigned char expected[3][4] = {{0xAA, 0xBB, 0, 0}, {0xAA, 0xBB, 0, 0}, {0, 0, 0, 0}};
    EXPECT_EQ(std::memcmp(grid, expected, sizeof grid), 0);
}

}  // namespace
