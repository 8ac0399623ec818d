#include "outside/huebook/color_map.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/tags.h"
#include "outside/huebook/standard_color_maps.h"
#include "platform/kernel/uuid.h"
#include "tests/support/test_environment.h"

namespace {

using Bytes = std::vector<BYTE>;

std::uint32_t U32(const Bytes& b, size_t at)
{
    return std::uint32_t(b[at]) | (std::uint32_t(b[at + 1]) << 8) | (std::uint32_t(b[at + 2]) << 16) |
           (std::uint32_t(b[at + 3]) << 24);
}
void SetU32(Bytes& b, size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i) b[at + i] = BYTE(v >> (8 * i));
}
double F64(const Bytes& b, size_t at)
{
    std::uint64_t bits = 0;
    for (int i = 0; i < 8; ++i) bits |= std::uint64_t(b[at + i]) << (8 * i);
    double v;
    std::memcpy(&v, &bits, 8);
    return v;
}
void SetF64(Bytes& b, size_t at, double v)
{
    std::uint64_t bits;
    std::memcpy(&bits, &v, 8);
    for (int i = 0; i < 8; ++i) b[at + i] = BYTE(bits >> (8 * i));
}

Bytes Save(const CColorMap& map)
{
    Bytes b(size_t(map.GetSizeToSave()), 0xCD);
    EXPECT_TRUE(map.SaveColorMapToPtr(b.data(), int(b.size())));
    return b;
}

CColorMap Standard(const char* name)
{
    for (int i = 0; i < GetStandartColorMapCount(); ++i) {
        CColorMap map;
        GetStandartColorMap(i, &map);
        if (map.GetName() == name) return map;
    }
    ADD_FAILURE() << "no standard map " << name;
    return CColorMap();
}

}  // namespace

TEST(ColorMap, NormAndValueMapLinearlyBeyondTheRange)
{
    CColorMap map(-10.0, 30.0);
    EXPECT_EQ(map.NormToValue(0.0), -10.0);
    EXPECT_EQ(map.NormToValue(1.0), 30.0);
    EXPECT_EQ(map.NormToValue(1.5), 50.0);
    EXPECT_EQ(map.ValueToNorm(-10.0), 0.0);
    EXPECT_EQ(map.ValueToNorm(30.0), 1.0);
    EXPECT_EQ(map.ValueToNorm(-30.0), -0.5);
    CColorMap flat(2.0, 2.0);
    EXPECT_EQ(flat.ValueToNorm(5.0), 0.0) << "an empty range maps everything to 0";
}

TEST(ColorMap, NameAndIdentityAreCopies)
{
    CColorMap map;
    char name[] = "Rainbow";
    map.SetName(name);
    name[0] = 'X';
    EXPECT_EQ(map.GetName(), "Rainbow");
    GUID id{0x01020304, 0x0506, 0x0708, {9, 10, 11, 12, 13, 14, 15, 16}};
    map.SetID(&id);
    id.Data1 = 0;
    EXPECT_EQ(map.GetID()->Data1, 0x01020304u);
    EXPECT_EQ(map.GetID()->Data4[7], 16);
}

TEST(ColorMap, SimpleGreyRampGivesEachDisplayLevelItsGrey)
{
    CColorMap map;
    ASSERT_TRUE(map.CreateSimpleColorMap(-5.0, 250.0, 0x000000, 0xFFFFFF, 0));
    EXPECT_FALSE(UuidIsNil(map.GetID(), nullptr)) << "a new map gets its own identity";
    BYTE rgb[768];
    ASSERT_TRUE(map.CreatePseudoPalette(rgb, -5.0, 250.0));
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(rgb[3 * i], i) << i;
        ASSERT_EQ(rgb[3 * i + 1], i) << i;
        ASSERT_EQ(rgb[3 * i + 2], i) << i;
    }
    // A display range wider than the map's: the end colours hold outside it.
    ASSERT_TRUE(map.CreatePseudoPalette(rgb, -260.0, 505.0));
    EXPECT_EQ(rgb[0], 0);
    EXPECT_EQ(rgb[3 * 85], 0);     // -5 exactly
    EXPECT_EQ(rgb[3 * 128], 129);  // 124 lies 129/255 of the way up the map
    EXPECT_EQ(rgb[3 * 255 + 2], 255);
    CColorMap other;
    other.CreateSimpleColorMap(0, 1, 0, 0xFF, 0);
    EXPECT_FALSE(UuidEqual(map.GetID(), other.GetID(), nullptr));
    EXPECT_FALSE(map.CreateSimpleColorMap(0.0, std::numeric_limits<double>::infinity(), 0, 0, 0));
    EXPECT_FALSE(map.CreatePseudoPalette(nullptr, 0, 1));
}

TEST(ColorMap, RescalingStretchesTheStopsAndCopiesStayApart)
{
    CColorMap rainbow = Standard("Rainbow");
    const COLORREF middle = rainbow.GetColor(0.5);
    CColorMap copy = rainbow;
    copy.SetMinMax(10.0, 20.0);
    EXPECT_EQ(copy.GetColor(15.0), middle);
    EXPECT_EQ(copy.GetColor(10.0), rainbow.GetColor(0.0));
    EXPECT_EQ(rainbow.GetMin(), 0.0) << "the original keeps its range";
    EXPECT_TRUE(UuidEqual(copy.GetID(), rainbow.GetID(), nullptr));
    EXPECT_TRUE(IsStandartColorMap(&copy));

    CColorMap own;
    own.CreateSimpleColorMap(0, 1, 0, 0xFFFFFF, 0);
    EXPECT_FALSE(IsStandartColorMap(&own));
    EXPECT_FALSE(IsStandartColorMap(static_cast<const CColorMap*>(nullptr)));

    // Stops blend linearly and a repeated position is a hard step.
    CColorMap stepped(0.0, 1.0);
    ASSERT_TRUE(stepped.SetEntries(
        {{0.0, RGB(0, 0, 0)}, {0.5, RGB(200, 0, 0)}, {0.5, RGB(0, 0, 200)}, {1.0, RGB(0, 0, 0)}}));
    EXPECT_EQ(stepped.GetColor(0.25), RGB(100, 0, 0));
    EXPECT_EQ(stepped.GetColor(0.5), RGB(0, 0, 200));
    EXPECT_EQ(stepped.GetColor(std::nan("")), RGB(0, 0, 0));
    EXPECT_FALSE(stepped.SetEntries({{0.0, 0}})) << "one stop";
    EXPECT_FALSE(stepped.SetEntries({{0.5, 0}, {0.2, 0}})) << "out of order";
    EXPECT_EQ(stepped.GetEntryCount(), 4) << "a refused list leaves the map as it was";
}

TEST(ColorMap, PaletteOfBinsSpansTheMapsOwnRange)
{
    CColorMap map;
    map.CreateSimpleColorMap(100.0, 200.0, RGB(0, 0, 0), RGB(0, 250, 0), 0);
    BYTE rgb[6 * 3];
    ASSERT_TRUE(map.CreatePalette(rgb, 6));
    for (int i = 0; i < 6; ++i) EXPECT_EQ(rgb[3 * i + 1], 50 * i) << i;
    EXPECT_FALSE(map.CreatePalette(rgb, 0));
}

TEST(ColorMapSerial, WritesTheDocumentedLayout)
{
    CColorMap map(-1.5, 3.5);
    ASSERT_TRUE(map.SetEntries({{0.0, RGB(1, 2, 3)}, {0.4, RGB(4, 5, 6)}, {1.0, RGB(7, 8, 9)}}));
    const GUID id{0xA1B2C3D4, 0x1122, 0x3344, {1, 2, 3, 4, 5, 6, 7, 8}};
    map.SetID(&id);
    EXPECT_EQ(map.GetSizeToSave(), 48 + 3 * 20);
    const Bytes b = Save(map);
    EXPECT_EQ(U32(b, 0), 108u);
    EXPECT_EQ(U32(b, 4), 48u);
    EXPECT_EQ(U32(b, 8), 1u);
    EXPECT_EQ(U32(b, 12), 3u);
    EXPECT_EQ(F64(b, 16), -1.5);
    EXPECT_EQ(F64(b, 24), 3.5);
    EXPECT_EQ(U32(b, 32), 0xA1B2C3D4u);
    EXPECT_EQ(b[36], 0x22);
    EXPECT_EQ(b[38], 0x44);
    EXPECT_EQ(b[40], 1);
    EXPECT_EQ(b[47], 8);
    EXPECT_EQ(F64(b, 48), -1.5);
    EXPECT_EQ(U32(b, 56), RGB(1, 2, 3));
    EXPECT_EQ(F64(b, 68), 0.5);  // position 0.4 of -1.5..3.5
    EXPECT_EQ(U32(b, 76), RGB(4, 5, 6));
    EXPECT_EQ(F64(b, 88), 3.5);
    for (size_t at : {60u, 64u, 80u, 84u, 100u, 104u}) EXPECT_EQ(U32(b, at), 0u) << at;

    Bytes small(107);
    EXPECT_FALSE(map.SaveColorMapToPtr(small.data(), int(small.size())));
    EXPECT_FALSE(map.SaveColorMapToPtr(nullptr, 108));
}

TEST(ColorMapSerial, RoundTripsAndStandardMapsGetTheirNamesBack)
{
    CColorMap hot = Standard("Hot");
    hot.SetMinMax(-40.0, 12.0);
    hot.SetName("renamed");
    CColorMap back;
    const Bytes b = Save(hot);
    ASSERT_TRUE(back.LoadColorMapFromPtr(b.data(), int(b.size())));
    EXPECT_EQ(back.GetMin(), -40.0);
    EXPECT_EQ(back.GetMax(), 12.0);
    EXPECT_TRUE(UuidEqual(back.GetID(), hot.GetID(), nullptr));
    EXPECT_EQ(back.GetName(), "Hot");
    EXPECT_DOUBLE_EQ(back.GetEntryValue(0), -40.0);
    EXPECT_DOUBLE_EQ(back.GetEntryValue(back.GetEntryCount() - 1), 12.0);
    ASSERT_EQ(back.GetEntryCount(), hot.GetEntryCount());
    for (int i = 0; i < hot.GetEntryCount(); ++i) {
        EXPECT_NEAR(back.GetEntries()[i].position, hot.GetEntries()[i].position, 1e-12);
        EXPECT_EQ(back.GetEntries()[i].color, hot.GetEntries()[i].color);
    }
    BYTE p1[768], p2[768];
    hot.CreatePseudoPalette(p1, -50.0, 20.0);
    back.CreatePseudoPalette(p2, -50.0, 20.0);
    EXPECT_EQ(std::memcmp(p1, p2, 768), 0);

    // A map over an empty range keeps its stops in order, spread evenly.
    CColorMap flat(7.0, 7.0);
    flat.SetEntries({{0.0, RGB(1, 0, 0)}, {0.3, RGB(2, 0, 0)}, {1.0, RGB(3, 0, 0)}});
    const Bytes f = Save(flat);
    ASSERT_TRUE(back.LoadColorMapFromPtr(f.data(), int(f.size())));
    EXPECT_EQ(back.GetEntries()[1].position, 0.5);
    EXPECT_EQ(back.GetEntries()[2].color, RGB(3, 0, 0));
}

// A map the program saves loads again with the same colours, also where its range or its
// stops reach the edge of the doubles (a layer of F64 values near -DBL_MAX).
TEST(ColorMapSerial, MapsAtTheEdgeOfTheDoublesLoadAgainWithTheSameColours)
{
    constexpr double kMax = std::numeric_limits<double>::max();
    struct Case {
        const char* name;
        double min, max;
        std::vector<double> positions;
    };
    const Case cases[] = {
        {"the whole range of the doubles", -kMax, kMax, {0.0, 0.5, 1.0}},
        {"from -DBL_MAX to 0", -kMax, 0.0, {0.0, 0.25, 1.0}},
        {"from -DBL_MAX to DBL_MAX / 3", -kMax, kMax / 3, {0.0, 0.75, 1.0}},
        {"wide but finite", -1e308, 1e308, {0.0, 0.3, 1.0}},
        {"ordinary", 0.0, 255.0, {0.0, 0.3, 1.0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CColorMap map(c.min, c.max);
        std::vector<ColorMapEntry> stops;
        for (size_t i = 0; i < c.positions.size(); ++i)
            stops.push_back({c.positions[i], RGB(BYTE(40 * i + 10), BYTE(200 - 60 * i), 90)});
        ASSERT_TRUE(map.SetEntries(stops));
        const Bytes saved = Save(map);
        for (int i = 0; i < map.GetEntryCount(); ++i)
            EXPECT_TRUE(std::isfinite(F64(saved, 48 + 20 * size_t(i)))) << "stop " << i;

        CColorMap back;
        ASSERT_TRUE(back.LoadColorMapFromPtr(saved.data(), int(saved.size())));
        ASSERT_EQ(back.GetEntryCount(), map.GetEntryCount());
        BYTE before[3 * 256], after[3 * 256];
        ASSERT_TRUE(map.CreatePalette(before, 256));
        ASSERT_TRUE(back.CreatePalette(after, 256));
        EXPECT_EQ(std::memcmp(before, after, sizeof before), 0);
        ASSERT_TRUE(map.CreatePseudoPalette(before, c.min, c.max));
        ASSERT_TRUE(back.CreatePseudoPalette(after, c.min, c.max));
        EXPECT_EQ(std::memcmp(before, after, sizeof before), 0);
        // Each stop's value shows that stop's colour, before the save and after it.
        for (int i = 0; i < back.GetEntryCount(); ++i) {
            EXPECT_EQ(map.GetColor(map.GetEntryValue(i)), stops[size_t(i)].color) << "stop " << i;
            EXPECT_EQ(back.GetColor(back.GetEntryValue(i)), stops[size_t(i)].color) << "stop " << i;
        }
    }
}

struct Damage {
    const char* what;
    void (*apply)(Bytes&);
    int sizeDelta;
};

class ColorMapRejects : public ::testing::TestWithParam<Damage> {};

TEST_P(ColorMapRejects, RefusesAndKeepsTheMap)
{
    CColorMap source = Standard("Rainbow");
    Bytes b = Save(source);
    GetParam().apply(b);
    const int size = int(b.size()) + GetParam().sizeDelta;
    if (size > int(b.size())) b.resize(size_t(size), 0);
    CColorMap map(3.0, 4.0);
    map.SetName("kept");
    EXPECT_FALSE(map.LoadColorMapFromPtr(b.data(), size));
    EXPECT_EQ(map.GetMin(), 3.0);
    EXPECT_EQ(map.GetName(), "kept");
    EXPECT_EQ(map.GetEntryCount(), 2);
}

INSTANTIATE_TEST_SUITE_P(
    Malformed, ColorMapRejects,
    ::testing::Values(Damage{"format word not 1", [](Bytes& b) { SetU32(b, 8, 2); }, 0},
                      Damage{"a count of 1",
                             [](Bytes& b) {
                                 SetU32(b, 12, 1);
                                 SetU32(b, 0, 68);
                             },
                             0},
                      Damage{"a count beyond the bytes", [](Bytes& b) { SetU32(b, 12, 0x10000000); }, 0},
                      Damage{"size shorter than the entries", [](Bytes&) {}, -1},
                      Damage{"size longer than the entries", [](Bytes&) {}, 20},
                      Damage{"own size word disagrees", [](Bytes& b) { SetU32(b, 0, 999); }, 0},
                      Damage{"head size word not 48", [](Bytes& b) { SetU32(b, 4, 40); }, 0},
                      Damage{"shorter than a head", [](Bytes&) {}, -1000},
                      Damage{"range not finite", [](Bytes& b) { SetF64(b, 24, std::nan("")); }, 0},
                      Damage{"a value not finite", [](Bytes& b) { SetF64(b, 48 + 20, HUGE_VAL); }, 0},
                      Damage{"stops out of order", [](Bytes& b) { SetF64(b, 48, 0.9); }, 0}),
    [](const auto& info) {
        std::string name;
        for (const char* c = info.param.what; *c; ++c) name += std::isalnum(*c) ? *c : '_';
        return name;
    });

TEST(ColorMapSerial, ALayerFileTagReadsBackThroughThePaletteTagCheck)
{
    tarvenix::test::TempDir dir;
    const std::string path = dir.File("map.rdp");
    {
        CRDPLayer layer;
        ASSERT_TRUE(layer.CreateLayer(path.c_str(), 4, 3, 1, 7));
        ASSERT_TRUE(layer.CloseLayer());
    }
    CColorMap map = Standard("Terrain");
    map.SetMinMax(0.0, 255.0);
    const Bytes b = Save(map);
    ASSERT_TRUE(SetTag(path.c_str(), 504, int(b.size()), b.data()));
    std::vector<BYTE> payload;
    ASSERT_TRUE(GetPaletteTag(path.c_str(), 504, &payload));
    CColorMap back;
    ASSERT_TRUE(back.LoadColorMapFromPtr(payload.data(), int(payload.size())));
    EXPECT_EQ(back.GetName(), "Terrain");
    EXPECT_EQ(back.GetMax(), 255.0);
}
