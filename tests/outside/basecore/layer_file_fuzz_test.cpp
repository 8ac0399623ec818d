// Random damage to valid layer files, of the library and of an independent writer, a fixed
// number of rounds from a fixed seed: every reader and editor of the library must refuse or
// cope, never crash, hang or read outside the file (the sanitizers watch), and an edit that
// succeeds keeps every other tag as it was read.

#include <unistd.h>

#include <gtest/gtest.h>

#include <random>

#include <map>

#include "independent_layer_writer.h"
#include "layer_test_support.h"
#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/tags.h"
#include "tests/support/test_environment.h"

using namespace layertest;
using tarvenix::test::TempDir;

namespace {

std::vector<Bytes> Seeds(const TempDir& dir)
{
    std::vector<Bytes> seeds;
    const std::string multi = dir.File("seed-multi.rdp");
    for (int code : {7, 9, 12}) {
        CRDPLayer out;
        EXPECT_NE(out.AddLayer(multi.c_str(), 5, 4, code), nullptr);
        out.SetValue(1.5, nullptr);
        out.SetTag(600, 6, "hello");
        out.SetTag(501, 88, Bytes(88, 1).data());
        EXPECT_TRUE(out.CloseLayer());
    }
    seeds.push_back(ReadFile(multi));
    seeds.push_back(Fixture(2, 3, 3, 4, Bytes(18, 7)).bytes);
    seeds.push_back(Fixture(3, 2, 5, 10, Bytes(160, 3)).bytes);

    // Another writer's files: blocks in any order, gaps, no length words.
    Bytes statistics(1064, 0);
    const double range[2] = {0.0, 9.0};
    std::memcpy(statistics.data() + 8, range, 16);
    ForeignLayer a{4,
                   3,
                   7,
                   Bytes(48, 0x40),
                   {{501, PalettePayload(2)}, {600, Bytes{'a', 'b', 'c', 0}}, {2, statistics}}};
    ForeignLayer b{
        2, 2, 12, Bytes{1, 0xFF, 2, 0xFE, 3, 0xFD, 4, 0xFC}, {{401, Bytes(20, 2)}, {777, Bytes(9, 5)}}};
    seeds.push_back(WriteForeignFile({a, b}, {11, 3, true, true, 0}));
    seeds.push_back(WriteForeignFile({a, b}, {12, 3, true, true, 12}));
    seeds.push_back(WriteForeignFile({b, a}, {13, 2, true, true, 6}));
    return seeds;
}

Bytes Mutate(Bytes b, std::mt19937& rng)
{
    std::uniform_int_distribution<int> kind(0, 3);
    const int edits = 1 + int(rng() % 4);
    for (int e = 0; e < edits && !b.empty(); ++e) {
        // Most damage lands in the structures at the front, where offsets and sizes live.
        const size_t span = std::min<size_t>(b.size(), rng() % 2 ? 160 : b.size());
        const size_t at = rng() % span;
        switch (kind(rng)) {
            case 0:
                b[at] ^= std::uint8_t(1u << (rng() % 8));
                break;
            case 1:
                b[at] = std::uint8_t(rng());
                break;
            case 2: {
                const std::int32_t values[] = {0,
                                               -1,
                                               1,
                                               12,
                                               24,
                                               std::int32_t(b.size()),
                                               std::int32_t(b.size()) - 1,
                                               std::int32_t(b.size()) - 4,
                                               0x7FFFFFFF,
                                               std::int32_t(0x80000000),
                                               17};
                Put32(b, at & ~size_t(3), values[rng() % std::size(values)]);
                b.resize(std::max(b.size(), (at & ~size_t(3)) + 4));
                break;
            }
            default:
                b.resize(rng() % (b.size() + 1));
                break;
        }
    }
    return b;
}

/// The tags of layer 0 as an open layer reads them (the layer's own keys aside).
std::map<int, Bytes> TagsOfLayer0(const std::string& path)
{
    std::map<int, Bytes> tags;
    CRDPLayer layer;
    if (!layer.OpenLayer(path.c_str(), kOpenReadOnly)) return tags;
    for (int id : layer.GetTagIds()) {
        const auto* p = static_cast<const std::uint8_t*>(layer.GetTag(id));
        if (!IsLayerOwnKey(id) && p) tags[id] = Bytes(p, p + layer.GetSizeTag(id));
    }
    return tags;
}

/// Everything a reader of the file may do.
void Exercise(const std::string& path, const std::string& target)
{
    const int layers = CRDPLayer::GetNumLayer(path.c_str());
    ASSERT_LE(layers, 10000);
    for (int n = 0; n < std::min(layers, 4); ++n) {
        CRDPLayer layer;
        if (!layer.OpenLayerEx(path.c_str(), kOpenReadOnly, n)) continue;
        std::vector<double> line(2 * size_t(layer.Width()));
        double sum = 0;
        for (int y = 0; y < layer.Height(); ++y) {
            layer.GetDoubleLine(y, line.data(), layer.Width());
            sum += line[0];
        }
        layer.StatisticCountRect(nullptr);
        DWORD hist[64];
        layer.CalcHist(nullptr, 16, hist, sizeof hist);
        for (int id : layer.GetTagIds()) {
            layer.GetTag(id);
            layer.GetSizeTag(id);
        }
        std::vector<BYTE> palette;
        GetPaletteTag(layer, 501, &palette);
        (void)sum;
    }
    char buf[64];
    for (int id : {0, 1, 2, 3, 501, 600, 777}) {
        GetTag(path.c_str(), id, 24, buf);
        GetSizeTag(path.c_str(), id);
    }
    std::vector<BYTE> palette;
    GetPaletteTag(path.c_str(), 501, &palette);
    CopyTag(target.c_str(), path.c_str());
    const std::map<int, Bytes> before = TagsOfLayer0(path);
    if (SetTag(path.c_str(), 700, 3, "ok")) {
        // A file that could be edited stays a readable layer file with its tags intact.
        EXPECT_GT(CRDPLayer::GetNumLayer(path.c_str()), 0);
        std::map<int, Bytes> after = TagsOfLayer0(path);
        EXPECT_EQ(after[700], (Bytes{'o', 'k', 0}));
        after.erase(700);
        std::map<int, Bytes> expected = before;
        expected.erase(700);
        EXPECT_EQ(after, expected);
    }
}

}  // namespace

TEST(LayerFileFuzz, DamagedFilesAreRefusedOrReadSafely)
{
    TempDir dir;
    const std::vector<Bytes> seeds = Seeds(dir);
    const std::string target = dir.File("target.rdp");
    {
        CRDPLayer t;
        ASSERT_NE(t.CreateLayer(target.c_str(), 2, 2, 1), nullptr);
        ASSERT_TRUE(t.CloseLayer());
    }
    std::mt19937 rng(20261209);
    const std::string path = dir.File("fuzz.rdp");
    for (int round = 0; round < 720; ++round) {
        const Bytes file = Mutate(seeds[size_t(round) % seeds.size()], rng);
        WriteFile(path, file);
        SCOPED_TRACE("round " + std::to_string(round));
        Exercise(path, target);
        if (HasFatalFailure()) {
            WriteFile(dir.Path().parent_path() / ("layer-fuzz-failure-" + std::to_string(round) + ".rdp"),
                      file);
            return;
        }
    }
    CRDPLayer t;
    EXPECT_NE(t.OpenLayer(target.c_str(), 0), nullptr) << "the copy target stays readable";
}

// Another program cuts an open layer file short: reading the rows past the cut does not kill
// the program, and the layer tells it is damaged.
TEST(LayerFileCut, ALayerCutShortWhileOpenReadsZerosAndIsDamaged)
{
    TempDir dir;
    const std::string path = dir.File("cut.rdp");
    {
        CRDPLayer out;
        ASSERT_NE(out.AddLayer(path.c_str(), 512, 512, 7), nullptr);
        out.SetValue(2.5, nullptr);
        ASSERT_TRUE(out.CloseLayer());
    }
    CRDPLayer in;
    ASSERT_NE(in.OpenLayer(path.c_str(), kOpenReadOnly), nullptr);
    EXPECT_EQ(in.GetValue(3, 0), 2.5);
    EXPECT_FALSE(in.IsDamaged());
    ASSERT_EQ(::truncate(path.c_str(), 4096), 0);
    EXPECT_EQ(in.GetValue(3, 500), 0.0);
    EXPECT_TRUE(in.IsDamaged());
    in.CloseLayer();
}
