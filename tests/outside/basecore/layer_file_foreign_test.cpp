// Files of another writer (no length words, pieces in any order, gaps between them): their
// tags are read at their full size and survive every edit byte for byte.

#include <gtest/gtest.h>

#include <map>

#include "independent_layer_writer.h"
#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/tags.h"
#include "platform/last_error.h"
#include "tests/support/test_environment.h"

using namespace layertest;
using tarvenix::test::TempDir;

namespace {

Bytes Text(const char* s)
{
    return Bytes(s, s + std::strlen(s) + 1);
}

Bytes Numbered(size_t n, std::uint8_t first)
{
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = std::uint8_t(first + 3 * i);
    return b;
}

Bytes Spectrum(int width, int height)
{
    Bytes b(20, 0);
    Put32(b, 0, 20);
    Put32(b, 4, 1);
    Put32(b, 8, 1);
    Put32(b, 12, width);
    Put32(b, 16, height);
    return b;
}

/// Two layers with palettes, texts, a spectrum record and a tag nobody in the suite knows.
std::vector<ForeignLayer> Scene()
{
    ForeignLayer a;
    a.width = 3;
    a.height = 2;
    a.type = 3;  // U16
    for (std::uint16_t v : {5, 0, 7, 300, 9, 1}) {
        a.samples.push_back(std::uint8_t(v));
        a.samples.push_back(std::uint8_t(v >> 8));
    }
    a.tags = {{501, PalettePayload(2)}, {504, PalettePayload(5, 40)}, {600, Text("Pass 2, ascending")},
              {601, Text("filtered")},  {401, Spectrum(6, 4)},        {777, Numbered(37, 11)},
              {4, Numbered(10, 200)}};  // the key of the library's part statistics, used otherwise
    ForeignLayer b;
    b.width = 2;
    b.height = 2;
    b.type = 9;  // C64
    b.samples = Numbered(32, 1);
    b.tags = {{600, Text("second")}, {502, PalettePayload(3, 90)}};
    return {a, b};
}

using TagMap = std::map<int, Bytes>;

TagMap TagsOf(const std::string& path, int layerIndex)
{
    TagMap tags;
    CRDPLayer layer;
    EXPECT_NE(layer.OpenLayerEx(path.c_str(), kOpenReadOnly, layerIndex), nullptr)
        << GetLastLayerError().c_str();
    if (!layer.IsOpen()) return tags;
    for (int id : layer.GetTagIds()) {
        if (IsLayerOwnKey(id)) continue;
        const auto* p = static_cast<const std::uint8_t*>(layer.GetTag(id));
        const int size = layer.GetSizeTag(id);
        EXPECT_TRUE(p && size >= 0) << "tag " << id;
        if (p && size >= 0) tags[id] = Bytes(p, p + size);
    }
    return tags;
}

std::vector<double> SamplesOf(const std::string& path, int layerIndex)
{
    CRDPLayer layer;
    std::vector<double> values;
    if (!layer.OpenLayerEx(path.c_str(), kOpenReadOnly, layerIndex)) return values;
    for (int y = 0; y < layer.Height(); ++y)
        for (int x = 0; x < layer.Width(); ++x)
            for (int c : {kReal, kImaginary}) values.push_back(layer.GetValue(x, y, c));
    return values;
}

struct Layout {
    const char* name;
    ForeignOptions options;
};

void PrintTo(const Layout& l, std::ostream* os)
{
    *os << l.name;
}

class ForeignFileTags : public ::testing::TestWithParam<Layout> {};

TEST_P(ForeignFileTags, AreReadWholeAndSurviveEditsByteForByte)
{
    const ForeignOptions& o = GetParam().options;
    TempDir dir;
    const std::string path = dir.File("foreign.rdp");
    const std::vector<ForeignLayer> scene = Scene();
    WriteFile(path, WriteForeignFile(scene, o));
    const int layers = o.version == 2 ? 1 : 2;
    ASSERT_EQ(CRDPLayer::GetNumLayer(path.c_str()), layers);

    // What the layout fixes is exact whatever lies around it; other tags run to the next
    // structure, which is their exact end when the writer leaves no gaps.
    std::vector<TagMap> before;
    for (int n = 0; n < layers; ++n) {
        SCOPED_TRACE("layer " + std::to_string(n));
        before.push_back(TagsOf(path, n));
        const TagMap& read = before.back();
        for (const ForeignTag& t : scene[size_t(n)].tags) {
            SCOPED_TRACE("tag " + std::to_string(t.key));
            if (IsLayerOwnKey(t.key)) continue;
            const Bytes& got = read.at(t.key);
            const bool fixed = t.key == 401 || (t.key >= 501 && t.key <= 504);
            if (fixed || o.maxGap == 0) {
                EXPECT_EQ(got, t.payload);
            } else {
                ASSERT_GE(got.size(), t.payload.size());
                EXPECT_EQ(Bytes(got.begin(), got.begin() + std::ptrdiff_t(t.payload.size())), t.payload);
            }
        }
    }
    std::vector<BYTE> palette;
    ASSERT_TRUE(GetPaletteTag(path.c_str(), 501, &palette));
    EXPECT_EQ(palette.size(), 88u);
    EXPECT_EQ(GetSizeTag(path.c_str(), 600), std::int32_t(before[0].at(600).size()));
    const int ownKeyBytes = GetSizeTag(path.c_str(), 4);
    EXPECT_EQ(ownKeyBytes, o.maxGap == 0 ? 10 : ownKeyBytes);
    EXPECT_GE(ownKeyBytes, 10);
    std::vector<std::vector<double>> samples;
    for (int n = 0; n < layers; ++n) samples.push_back(SamplesOf(path, n));

    // Every rewrite keeps every tag of every layer as it was read.
    auto expectUnchanged = [&](const char* step) {
        SCOPED_TRACE(step);
        EXPECT_EQ(GetSizeTag(path.c_str(), 4), ownKeyBytes);
        for (int n = 0; n < layers; ++n) {
            EXPECT_EQ(TagsOf(path, n), before[size_t(n)]) << "layer " << n;
            EXPECT_EQ(SamplesOf(path, n), samples[size_t(n)]) << "layer " << n;
        }
    };
    ASSERT_TRUE(SetTag(path.c_str(), 700, 3, "ok"));
    before[0][700] = Bytes{'o', 'k', 0};
    expectUnchanged("SetTag");
    {
        CRDPLayer added;
        ASSERT_NE(added.AddLayer(path.c_str(), 2, 2, 1), nullptr);
        ASSERT_TRUE(added.CloseLayer());
    }
    expectUnchanged("AddLayer");
    ASSERT_TRUE(DeleteTag(path.c_str(), 700));
    before[0].erase(700);
    expectUnchanged("DeleteTag");

    // Copies carry them whole as well.
    const std::string target = dir.File("target.rdp");
    {
        CRDPLayer t;
        ASSERT_NE(t.CreateLayer(target.c_str(), 2, 2, 1), nullptr);
        ASSERT_TRUE(t.CloseLayer());
    }
    ASSERT_TRUE(CopyTag(target.c_str(), path.c_str()));
    EXPECT_EQ(TagsOf(target, 0), before[0]);
}

INSTANTIATE_TEST_SUITE_P(Layouts, ForeignFileTags,
                         ::testing::Values(Layout{"in_chain_order", {1, 3, false, false, 0}},
                                           Layout{"shuffled_seed_1", {1, 3, true, true, 0}},
                                           Layout{"shuffled_seed_2", {2, 3, true, true, 0}},
                                           Layout{"shuffled_seed_3", {3, 3, true, true, 0}},
                                           Layout{"version_2", {4, 2, true, true, 0}},
                                           Layout{"gaps_seed_5", {5, 3, true, true, 24}},
                                           Layout{"gaps_seed_6", {6, 3, true, false, 24}}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
