// Hand-built layer files: the layout's edge cases and damaged files, which are refused
// with a clear error and never crash or hang.

#include <gtest/gtest.h>

#include <cmath>

#include "layer_test_support.h"
#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/tags.h"
#include "platform/last_error.h"
#include "tests/support/test_environment.h"

using namespace layertest;
using tarvenix::test::TempDir;

namespace {

Bytes Ramp(int n)
{
    Bytes b;
    for (int i = 0; i < n; ++i) b.push_back(std::uint8_t(i));
    return b;
}

}  // namespace

TEST(LayerFileLayout, VersionTwoHasOneLayerWhateverFollowsItsChain)
{
    TempDir dir;
    Fixture f(2, 4, 2, 1, Ramp(8));
    // Bytes after the chain that look like another layer entry change nothing.
    Put32(f.bytes, f.bytes.size(), 0);
    Put32(f.bytes, f.bytes.size(), 12);
    Put32(f.bytes, f.bytes.size(), 12);
    WriteFile(dir.File("v2.rdp"), f.bytes);
    EXPECT_EQ(CRDPLayer::GetNumLayer(dir.File("v2.rdp").c_str()), 1);
    CRDPLayer layer;
    ASSERT_NE(layer.OpenLayer(dir.File("v2.rdp").c_str(), 0), nullptr);
    EXPECT_EQ(layer.GetValue(3, 1), 7.0);
    CRDPLayer second;
    EXPECT_EQ(second.OpenLayerEx(dir.File("v2.rdp").c_str(), 0, 1), nullptr);
}

TEST(LayerFileLayout, VersionThreeEntryWithoutNextIsOneLayer)
{
    TempDir dir;
    Fixture f(3, 4, 2, 1, Ramp(8));
    ASSERT_EQ(Get32(f.bytes, 20), 0);
    WriteFile(dir.File("v3.rdp"), f.bytes);
    EXPECT_EQ(CRDPLayer::GetNumLayer(dir.File("v3.rdp").c_str()), 1);
    // An entry list that returns to itself ends there instead of looping.
    Put32(f.bytes, 20, 12);
    WriteFile(dir.File("loop.rdp"), f.bytes);
    EXPECT_EQ(CRDPLayer::GetNumLayer(dir.File("loop.rdp").c_str()), 1);
}

TEST(LayerFileLayout, ACyclicBlockChainHoldsNoOtherKey)
{
    TempDir dir;
    Fixture f(3, 4, 2, 1, Ramp(8));
    Put32(f.bytes, f.dataBlock + 8, std::int32_t(f.firstBlock));   // data -> descriptor -> data ...
    const std::string path = dir.File("cycle.rdp");
    WriteFile(path, f.bytes);
    CRDPLayer layer;
    ASSERT_NE(layer.OpenLayer(path.c_str(), 0), nullptr);
    EXPECT_EQ(layer.GetTag(777), nullptr);
    EXPECT_EQ(layer.GetTagIds(), (std::vector<int>{0, 1}));
    char buf[4];
    EXPECT_FALSE(GetTag(path.c_str(), 777, 4, buf));
    EXPECT_EQ(GetSizeTag(path.c_str(), 777), -1);
    layer.CloseLayer();
    // Editing such a file writes a clean chain.
    ASSERT_TRUE(SetTag(path.c_str(), 600, 4, "abc"));
    ASSERT_TRUE(GetTag(path.c_str(), 600, 4, buf));
    EXPECT_STREQ(buf, "abc");
}

TEST(LayerFileLayout, ComplexElementsAreInterleavedPairsRowAfterRow)
{
    TempDir dir;
    const int w = 3, h = 2;
    Bytes samples(size_t(w * h * 8));
    for (int i = 0; i < w * h; ++i) {
        const float re = float(i), im = float(-i) - 0.5f;
        std::memcpy(samples.data() + i * 8, &re, 4);
        std::memcpy(samples.data() + i * 8 + 4, &im, 4);
    }
    WriteFile(dir.File("c64.rdp"), Fixture(3, w, h, 9, samples).bytes);
    CRDPLayer layer;
    ASSERT_NE(layer.OpenLayer(dir.File("c64.rdp").c_str(), 0), nullptr);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            EXPECT_EQ(layer.GetValue(x, y, kReal), y * w + x);
            EXPECT_EQ(layer.GetValue(x, y, kImaginary), -(y * w + x) - 0.5);
        }
}

TEST(LayerFileLayout, SamplesOffTheirAlignmentAreReadAndWrittenBack)
{
    TempDir dir;
    // Another writer's file with 16-bit samples at an odd offset.
    Fixture f(2, 3, 1, 3, Bytes{});
    f.bytes.resize(f.dataPayload + 4);
    f.bytes.insert(f.bytes.begin() + std::ptrdiff_t(f.descriptor), 0);   // shift the payloads by one byte
    Put32(f.bytes, f.firstBlock + 4, std::int32_t(f.descriptor + 1));
    Put32(f.bytes, f.dataBlock + 4, std::int32_t(f.dataPayload + 1));
    Put32(f.bytes, f.dataPayload + 1, 6);
    for (std::uint16_t v : {1000, 2000, 3000}) {
        f.bytes.push_back(std::uint8_t(v));
        f.bytes.push_back(std::uint8_t(v >> 8));
    }
    f.bytes.resize(f.bytes.size() + 4, 0);
    const std::string path = dir.File("odd.rdp");
    WriteFile(path, f.bytes);
    {
        CRDPLayer layer;
        ASSERT_NE(layer.OpenLayer(path.c_str(), kOpenWritable), nullptr) << GetLastLayerError().c_str();
        EXPECT_EQ(layer.GetValue(2, 0), 3000.0);
        ASSERT_TRUE(layer.SetValue(0, 0, 7.0));
        ASSERT_TRUE(layer.CloseLayer());
    }
    CRDPLayer again;
    ASSERT_NE(again.OpenLayer(path.c_str(), 0), nullptr);
    EXPECT_EQ(again.GetValue(0, 0), 7.0);
    EXPECT_EQ(again.GetValue(1, 0), 2000.0);
}

struct BadFile {
    const char* name;
    Bytes bytes;
    DWORD error;
};

void PrintTo(const BadFile& b, std::ostream* os) { *os << b.name; }

class LayerFileRejects : public ::testing::TestWithParam<BadFile> {};

TEST_P(LayerFileRejects, WithAClearErrorAndNoCrash)
{
    TempDir dir;
    const std::string path = dir.File("bad.rdp");
    WriteFile(path, GetParam().bytes);
    CRDPLayer layer;
    EXPECT_EQ(layer.OpenLayer(path.c_str(), kOpenReadOnly), nullptr);
    EXPECT_EQ(GetLastError(), GetParam().error);
    EXPECT_FALSE(GetLastLayerError().IsEmpty());
    EXPECT_EQ(layer.OpenLayer(path.c_str(), kOpenWritable), nullptr);
    // Nothing is rewritten from a damaged file.
    EXPECT_FALSE(SetTag(path.c_str(), 600, 2, "x"));
    EXPECT_EQ(ReadFile(path), GetParam().bytes);
}

Bytes With(Bytes b, size_t at, std::int32_t v)
{
    Put32(b, at, v);
    return b;
}
Bytes With(const Fixture& f, size_t at, std::int32_t v) { return With(f.bytes, at, v); }

std::vector<BadFile> BadFiles()
{
    const Fixture good(3, 4, 2, 1, Ramp(8));
    const Fixture f32(3, 4, 2, 7, Bytes(32, 0));
    const std::int32_t size = std::int32_t(good.bytes.size());
    Bytes shortFile(good.bytes.begin(), good.bytes.begin() + 11);
    Bytes otherMagic = good.bytes;
    otherMagic[3] = 'X';
    Bytes endsAtEof = good.bytes;
    endsAtEof.resize(good.dataPayload + 4 + 8);
    return {
        {"empty", Bytes{}, ERROR_BAD_FORMAT},
        {"shorter than a header", shortFile, ERROR_BAD_FORMAT},
        {"other magic", otherMagic, ERROR_BAD_FORMAT},
        {"version 4", With(good, 4, 4), ERROR_BAD_FORMAT},
        {"zero width", With(good, good.descriptor + 4, 0), ERROR_FILE_CORRUPT},
        {"negative height", With(good, good.descriptor + 8, -2), ERROR_FILE_CORRUPT},
        {"type 0", With(good, good.descriptor + 12, 0), ERROR_FILE_CORRUPT},
        {"type 17", With(good, good.descriptor + 12, 17), ERROR_FILE_CORRUPT},
        {"data count below the samples", With(f32, f32.dataPayload, 31), ERROR_FILE_CORRUPT},
        {"data count past the end", With(good, good.dataPayload, 0x7FFFFFF0), ERROR_FILE_CORRUPT},
        {"samples end at the end of the file", endsAtEof, ERROR_FILE_CORRUPT},
        {"width times height overflows", With(With(good, good.descriptor + 4, 0x7FFFFFFF), good.descriptor + 8, 0x7FFFFFFF),
         ERROR_FILE_CORRUPT},
        {"descriptor beyond the file", With(good, good.firstBlock + 4, size + 100), ERROR_FILE_CORRUPT},
        {"descriptor crossing the end", With(good, good.firstBlock + 4, size - 10), ERROR_FILE_CORRUPT},
        {"negative data offset", With(good, good.dataBlock + 4, -64), ERROR_FILE_CORRUPT},
        {"no first block", With(good, 16, 0), ERROR_FILE_CORRUPT},
        {"no data block", With(good, good.firstBlock + 8, 0), ERROR_FILE_CORRUPT},
    };
}

INSTANTIATE_TEST_SUITE_P(Malformed, LayerFileRejects, ::testing::ValuesIn(BadFiles()),
                         [](const auto& info) {
                             std::string n = info.param.name;
                             for (char& c : n)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return n;
                         });

TEST(LayerFileLayout, PaletteTagsWhoseEntriesDoNotFitAreRefused)
{
    TempDir dir;
    const std::string path = dir.File("pal.rdp");
    WriteFile(path, Fixture(3, 2, 2, 1, Ramp(4)).bytes);
    auto head = [](std::int32_t flag, std::int32_t count, size_t size) {
        Bytes b(size, 0);
        Put32(b, 0, std::int32_t(size));
        Put32(b, 8, flag);
        Put32(b, 12, count);
        return b;
    };
    std::vector<BYTE> out;
    ASSERT_TRUE(SetTag(path.c_str(), 501, 88, head(1, 2, 88).data()));
    EXPECT_TRUE(GetPaletteTag(path.c_str(), 501, &out));
    EXPECT_EQ(out.size(), 88u);
    const struct {
        std::int32_t flag, count;
        size_t size;
    } bad[] = {{1, 3, 88}, {1, 1, 88}, {0, 2, 88}, {1, 0x7FFFFFFF, 88}, {1, -5, 88}, {1, 2, 40}};
    for (const auto& b : bad) {
        SCOPED_TRACE(b.count);
        ASSERT_TRUE(SetTag(path.c_str(), 502, int(b.size), head(b.flag, b.count, b.size).data()));
        EXPECT_FALSE(GetPaletteTag(path.c_str(), 502, &out));
        EXPECT_EQ(GetLastError(), ERROR_FILE_CORRUPT);
        CRDPLayer layer;
        ASSERT_NE(layer.OpenLayer(path.c_str(), 0), nullptr);
        EXPECT_FALSE(GetPaletteTag(layer, 502, &out));
    }
    EXPECT_FALSE(GetPaletteTag(path.c_str(), 503, &out));
    EXPECT_EQ(GetLastError(), ERROR_NOT_FOUND);
}
