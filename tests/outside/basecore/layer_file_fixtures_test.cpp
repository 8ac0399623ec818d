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
    Put32(f.bytes, f.dataBlock + 8, std::int32_t(f.firstBlock));  // data -> descriptor -> data ...
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
    f.bytes.insert(f.bytes.begin() + std::ptrdiff_t(f.descriptor), 0);  // shift the payloads by one byte
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

void PrintTo(const BadFile& b, std::ostream* os)
{
    *os << b.name;
}

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
Bytes With(const Fixture& f, size_t at, std::int32_t v)
{
    return With(f.bytes, at, v);
}

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
        {"width times height overflows",
         With(With(good, good.descriptor + 4, 0x7FFFFFFF), good.descriptor + 8, 0x7FFFFFFF),
         ERROR_FILE_CORRUPT},
        // 2^30 x 2^30 x 16 bytes wraps a 64-bit product to zero, which any count would "hold".
        {"C128 samples overflowing 64 bits", Fixture(3, 1 << 30, 1 << 30, 10, Bytes{}).bytes,
         ERROR_FILE_CORRUPT},
        {"descriptor beyond the file", With(good, good.firstBlock + 4, size + 100), ERROR_FILE_CORRUPT},
        {"descriptor crossing the end", With(good, good.firstBlock + 4, size - 10), ERROR_FILE_CORRUPT},
        {"negative data offset", With(good, good.dataBlock + 4, -64), ERROR_FILE_CORRUPT},
        {"no first block", With(good, 16, 0), ERROR_FILE_CORRUPT},
        {"no data block", With(good, good.firstBlock + 8, 0), ERROR_FILE_CORRUPT},
    };
}

INSTANTIATE_TEST_SUITE_P(Malformed, LayerFileRejects, ::testing::ValuesIn(BadFiles()), [](const auto& info) {
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

TEST(LayerFileLayout, VersionThreeFilesEndingInsideTheFirstEntryHaveOneLayer)
{
    TempDir dir;
    const std::string path = dir.File("short.rdp");
    for (size_t size : {12, 16, 20, 23}) {
        SCOPED_TRACE(size);
        Bytes b = Fixture(3, 4, 2, 1, Ramp(8)).bytes;
        b.resize(size);
        WriteFile(path, b);
        EXPECT_EQ(CRDPLayer::GetNumLayer(path.c_str()), 1);
        CRDPLayer layer;
        EXPECT_EQ(layer.OpenLayer(path.c_str(), kOpenReadOnly), nullptr);
        EXPECT_EQ(GetLastError(), ERROR_FILE_CORRUPT) << "a layer file whose layer cannot be read";
        EXPECT_EQ(layer.OpenLayerEx(path.c_str(), kOpenReadOnly, 1), nullptr);
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    }
}

namespace {

/// `f` with a statistics block appended to its chain.
Bytes WithStatistics(Fixture f, std::int32_t word0, double min, double max, double deviation, double mean,
                     std::uint32_t counted)
{
    const size_t header = f.bytes.size(), payload = header + 12;
    Put32(f.bytes, f.dataBlock + 8, std::int32_t(header));
    Put32(f.bytes, header, 2);
    Put32(f.bytes, header + 4, std::int32_t(payload));
    Put32(f.bytes, header + 8, 0);
    f.bytes.resize(payload + 1064 + 8, 0);
    Put32(f.bytes, payload, word0);
    std::memcpy(f.bytes.data() + payload + 8, &min, 8);
    std::memcpy(f.bytes.data() + payload + 16, &max, 8);
    std::memcpy(f.bytes.data() + payload + 24, &deviation, 8);
    std::memcpy(f.bytes.data() + payload + 32, &mean, 8);
    std::memcpy(f.bytes.data() + payload + 40, &counted, 4);
    return f.bytes;
}

}  // namespace

TEST(LayerFileLayout, StatisticsCountAsReadyByTheirValuesNotByTheUnreadWord)
{
    TempDir dir;
    const std::string path = dir.File("stats.rdp");
    const double nan = std::nan("");
    const struct {
        const char* name;
        std::int32_t word0;
        double min, max, deviation, mean;
        std::uint32_t counted;
        bool ready;
    } cases[] = {
        {"another writer's block with a zero word", 0, 0.0, 7.0, 2.3, 3.5, 8, true},
        {"any word", 0x5A5A5A5A, 0.0, 7.0, 2.3, 3.5, 8, true},
        {"a constant layer", 0, 4.0, 4.0, 0.0, 4.0, 8, true},
        {"a block nobody filled in", 1, 0.0, 0.0, 0.0, 0.0, 0, false},
        {"minimum above maximum", 1, 7.0, 0.0, 2.3, 3.5, 8, false},
        {"no maximum", 1, 0.0, nan, 2.3, 3.5, 8, false},
        {"negative deviation", 1, 0.0, 7.0, -1.0, 3.5, 8, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile(path, WithStatistics(Fixture(3, 4, 2, 1, Ramp(8)), c.word0, c.min, c.max, c.deviation,
                                       c.mean, c.counted));
        CRDPLayer layer;
        ASSERT_NE(layer.OpenLayer(path.c_str(), kOpenReadOnly), nullptr) << GetLastLayerError().c_str();
        EXPECT_EQ(layer.StatsReady() != 0, c.ready);
        if (c.ready) {
            EXPECT_EQ(layer.Max(), c.max);
        }
    }

    // Statistics left incomplete in a writable file are not offered as ready afterwards.
    const std::string own = dir.File("own.rdp");
    {
        CRDPLayer out;
        ASSERT_NE(out.CreateLayer(own.c_str(), 4, 2, 7), nullptr);
        ASSERT_TRUE(out.SetValue(3.0, nullptr));
        ASSERT_TRUE(out.CloseLayer());
    }
    for (bool complete : {true, false}) {
        SCOPED_TRACE(complete);
        {
            CRDPLayer layer;
            ASSERT_NE(layer.OpenLayer(own.c_str(), kOpenWritable), nullptr);
            ASSERT_TRUE(layer.StatsReady());
            ASSERT_TRUE(layer.SetValue(0, 0, 9.0));
            ASSERT_TRUE(layer.MaxMinCount(nullptr));
            if (complete) {
                ASSERT_TRUE(layer.StatsCalc(nullptr));
            }
            ASSERT_TRUE(layer.CloseLayer());
        }
        CRDPLayer again;
        ASSERT_NE(again.OpenLayer(own.c_str(), kOpenReadOnly), nullptr);
        EXPECT_EQ(again.StatsReady() != 0, complete);
        EXPECT_EQ(again.Max(), 9.0);
    }
}

namespace {

/// A version 3 file whose layer 0 chain holds a descriptor, a data block and `tags` blocks
/// with 4-byte payloads (keys 1000, 1001, ...); with `cycle` the last block links back to
/// the first.
Bytes LongChain(int tags, bool cycle)
{
    const size_t blocks = size_t(tags) + 2, headers = 24, payloads = headers + 12 * blocks;
    Bytes b(payloads + 24 + 4 + 8 + 4 * size_t(tags) + 8, 0);
    std::memcpy(b.data(), "RDPR", 4);
    Put32(b, 4, 3);
    Put32(b, 16, std::int32_t(headers));
    size_t payload = payloads;
    for (size_t k = 0; k < blocks; ++k) {
        const size_t h = headers + 12 * k;
        const std::int32_t key = k < 2 ? std::int32_t(k) : std::int32_t(1000 + k - 2);
        Put32(b, h, key);
        Put32(b, h + 4, std::int32_t(payload));
        Put32(b, h + 8, k + 1 < blocks ? std::int32_t(h + 12) : (cycle ? std::int32_t(headers) : 0));
        if (k == 0) {
            Put32(b, payload + 4, 4);  // 4 x 2 U8
            Put32(b, payload + 8, 2);
            Put32(b, payload + 12, 1);
            payload += 24;
        } else if (k == 1) {
            Put32(b, payload, 8);
            payload += 12;
        } else {
            Put32(b, payload, key);
            payload += 4;
        }
    }
    return b;
}

/// A version 3 file of `entries` layer entries whose layers all start at one chain of a
/// descriptor, a data block and `tags` further blocks.
Bytes SharedChain(int entries, int tags)
{
    Bytes chain = LongChain(tags, false);
    const size_t shift = 12 * size_t(entries - 1);  // room for the entries after the first
    Bytes b(chain.begin(), chain.begin() + 24);
    b.insert(b.end(), shift, 0);
    b.insert(b.end(), chain.begin() + 24, chain.end());
    for (size_t k = 0; k < size_t(tags) + 2; ++k) {  // move the chain's offsets with it
        const size_t h = 24 + shift + 12 * k;
        Put32(b, h + 4, Get32(b, h + 4) + std::int32_t(shift));
        if (Get32(b, h + 8) != 0) {
            Put32(b, h + 8, Get32(b, h + 8) + std::int32_t(shift));
        }
    }
    for (int e = 0; e < entries; ++e) {
        const size_t at = 12 + 12 * size_t(e);
        Put32(b, at + 4, std::int32_t(24 + shift));
        Put32(b, at + 8, e + 1 < entries ? std::int32_t(at + 12) : 0);
    }
    return b;
}

}  // namespace

TEST(LayerFileBounds, ChainsAndListsPastTheBoundAreReadUpToItAndNeverRewritten)
{
    TempDir dir;
    const std::string path = dir.File("long.rdp"), target = dir.File("target.rdp");
    const struct {
        const char* name;
        Bytes file;
        int layers;
        int lastKey;        // the last tag key a reader reaches, 0 for none
        DWORD setTagError;  // for a new key
        bool canAddLayer;
    } cases[] = {
        {"a chain of 10,050 blocks", LongChain(10048, false), 1, 1000 + 9997, ERROR_NOT_SUPPORTED, false},
        {"a cycle of 12,000 blocks", LongChain(11998, true), 1, 1000 + 9997, ERROR_NOT_SUPPORTED, false},
        {"a chain of exactly 10,000 blocks", LongChain(9998, false), 1, 1000 + 9997, ERROR_NOT_SUPPORTED,
         true},
        {"10,050 layer entries", SharedChain(10050, 0), 10000, 0, ERROR_NOT_SUPPORTED, false},
        {"3,000 layers sharing a 5,000-block chain", SharedChain(3000, 4998), 3000, 1000 + 4997,
         ERROR_FILE_CORRUPT, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile(path, c.file);
        EXPECT_EQ(CRDPLayer::GetNumLayer(path.c_str()), c.layers);
        {
            CRDPLayer layer;
            ASSERT_NE(layer.OpenLayerEx(path.c_str(), kOpenReadOnly, c.layers - 1), nullptr)
                << GetLastLayerError().c_str();
            EXPECT_EQ(layer.GetTagIds().size(), c.lastKey ? size_t(c.lastKey - 1000 + 3) : 2u);
            EXPECT_EQ(layer.GetTag(c.lastKey ? c.lastKey + 1 : 999), nullptr);
        }
        char buf[4];
        if (c.lastKey) {
            ASSERT_TRUE(GetTag(path.c_str(), c.lastKey, 4, buf));
            EXPECT_EQ(Get32(Bytes(buf, buf + 4), 0), c.lastKey);
        }
        EXPECT_FALSE(GetTag(path.c_str(), c.lastKey ? c.lastKey + 1 : 999, 4, buf));

        // Copies into a layer are refused when they would not fit under the bound.
        {
            CRDPLayer t;
            ASSERT_NE(t.CreateLayer(target.c_str(), 2, 1, 1), nullptr);  // three blocks
            ASSERT_TRUE(t.CloseLayer());
        }
        const int copied = c.lastKey ? c.lastKey - 1000 + 1 : 0;
        EXPECT_EQ(CopyTag(target.c_str(), path.c_str()) != 0, 3 + copied <= 10000);
        EXPECT_EQ(CRDPLayer::GetNumLayer(target.c_str()), 1);

        // A block past the bound, or a rewrite that would lose what lies past it, is refused.
        EXPECT_FALSE(SetTag(path.c_str(), 600, 2, "x"));
        EXPECT_EQ(GetLastError(), c.setTagError);
        EXPECT_FALSE(GetErrorMessage(GetLastError()).IsEmpty());
        EXPECT_EQ(ReadFile(path), c.file);
        CRDPLayer added;
        EXPECT_EQ(added.AddLayer(path.c_str(), 2, 2, 1) != nullptr, c.canAddLayer);
        if (!c.canAddLayer) {
            EXPECT_EQ(ReadFile(path), c.file);
        }
    }
}

TEST(LayerFileBounds, ReplacingATagOfAFullChainKeepsItReachable)
{
    TempDir dir;
    const std::string path = dir.File("full.rdp");
    WriteFile(path, LongChain(9998, false));
    ASSERT_TRUE(SetTag(path.c_str(), 1000 + 9997, 3, "new")) << GetLastLayerError().c_str();
    char buf[3];
    ASSERT_TRUE(GetTag(path.c_str(), 1000 + 9997, 3, buf));
    EXPECT_EQ(std::string(buf, 3), "new");
    ASSERT_TRUE(GetTag(path.c_str(), 1000, 3, buf))
        << GetSizeTag(path.c_str(), 1000) << " " << GetLastError();
    // The exact bound of layers: one more would be out of reach.
    WriteFile(path, SharedChain(10000, 0));
    ASSERT_EQ(CRDPLayer::GetNumLayer(path.c_str()), 10000);
    CRDPLayer added;
    EXPECT_EQ(added.AddLayer(path.c_str(), 2, 2, 1), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
}
