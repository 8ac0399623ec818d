// The packing pass computes the drawn levels from the tables' arithmetic forms instead of
// looking them up: forms are exact for every level or not used, and the packed bytes are
// those of the plain lookups for any values, pixel size, row width and thread count.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/kernel/row_bands.h"
#include "plugin3d/model/render/canvas3d.h"
#include "plugin3d/model/render/canvas_tables.h"
#include "plugin3d/model/render/intensity_transformer.h"
#include "plugin3d/model/render/span_kernels.h"

using canvas_tables::Curve;
using canvas_tables::TableForm;

namespace {

using Table = std::vector<std::int32_t>;

// The fields of a channel driving the components with a curve, as the canvas splits them.
std::vector<std::uint32_t> FieldMasks(const TColorBitMap& map, const std::vector<int>& components)
{
    std::vector<std::uint32_t> fields;
    for (int c : components) {
        std::int32_t masks[16];
        canvas_tables::ComponentMasks(map, c, masks);
        std::uint32_t field = 0;
        for (std::int32_t m : masks) field |= std::uint32_t(m);
        fields.push_back(field);
    }
    return fields;
}

// A channel table from one curve for the given components (1 red, 2 green, 3 blue).
Table CurveTable(const std::vector<std::int32_t>& pairs, const TColorBitMap& map,
                 const std::vector<int>& components, std::int32_t background = 0x0A0B0C0D)
{
    Table table(canvas_tables::kTableEntries);
    const Curve curve{pairs.data(), int(pairs.size() / 2)};
    const Curve* chosen[3] = {};
    for (int c : components) chosen[c - 1] = &curve;
    canvas_tables::BuildChannelTable(table.data(), chosen[0], chosen[1], chosen[2], map, background);
    return table;
}

std::optional<TableForm> FormOf(const Table& table, const std::vector<std::uint32_t>& fields = {})
{
    return canvas_tables::FindTableForm(table.data(), fields.data(), int(fields.size()));
}

// Where a form differs from its table, or -1.
int FirstDifference(const TableForm& form, const Table& table)
{
    for (int v = 0; v < canvas_tables::kLevels; ++v)
        if (canvas_tables::FormEntry(form, v) != std::uint32_t(table[std::size_t(v)])) return v;
    return -1;
}

const std::vector<std::int32_t> kStandard = {0, 0, 0x8000, 0xFFFF};

}  // namespace

TEST(CanvasTableForms, TheViewersUsualPalettesHaveExactForms)
{
    struct Case {
        std::string name;
        Table table;
        std::vector<std::uint32_t> fields;
    };
    std::vector<Case> cases;
    for (int format = 1; format <= 6; ++format) {
        const TColorBitMap map = canvas_tables::ColorBitMapOf(format);
        const std::string f = "format " + std::to_string(format) + ": ";
        for (int c = 1; c <= 3; ++c)
            cases.push_back({f + "component " + std::to_string(c), CurveTable(kStandard, map, {c}),
                             FieldMasks(map, {c})});
        cases.push_back({f + "grey", CurveTable(kStandard, map, {1, 2, 3}), FieldMasks(map, {1, 2, 3})});
        cases.push_back({f + "red and blue inverted", CurveTable({0, 0xFFFF, 0x8000, 0}, map, {1, 3}),
                         FieldMasks(map, {1, 3})});
        cases.push_back(
            {f + "a tent", CurveTable({0, 0, 0x4000, 0xFFFF, 0x8000, 0}, map, {2}), FieldMasks(map, {2})});
        cases.push_back(
            {f + "one point", CurveTable({0x1234, 0x9876}, map, {1, 2}), FieldMasks(map, {1, 2})});
        cases.push_back({f + "no curve", CurveTable(kStandard, map, {}), {}});
    }
    // Colour type 1 turns the red levels into palette indices 64..191.
    Table indices = CurveTable(kStandard, canvas_tables::ColorBitMapOf(1), {1}, 192);
    for (int v = 0; v < canvas_tables::kLevels; ++v)
        indices[std::size_t(v)] = indices[std::size_t(v)] / 2 + 64;
    cases.push_back({"palette indices", indices, {}});
    Table defaults(canvas_tables::kTableEntries);
    for (int v = 0; v < canvas_tables::kTableEntries; ++v)
        defaults[std::size_t(v)] = canvas_tables::DefaultLevel(v, 0x55);
    cases.push_back({"the default levels", defaults, {}});
    for (const Case& c : cases) {
        const auto form = FormOf(c.table, c.fields);
        ASSERT_TRUE(form) << c.name;
        EXPECT_EQ(FirstDifference(*form, c.table), -1) << c.name;
    }
}

TEST(CanvasTableForms, CurvesOfTheEditorGetAFormOnlyWhereItIsExact)
{
    // Curves as the editor makes them: points anywhere, steep and flat pieces, equal inputs.
    std::mt19937 random(17);
    std::vector<std::vector<std::int32_t>> curves = {
        {0, 0, 0x1000, 0xFFFF},
        {0x0123, 0x4567, 0x7654, 0x3210},
        {0, 0, 0x2000, 0x9000, 0x2000, 0x1000, 0x8000, 0xFFFF},
        {-0x100, 0x100, 0x9000, 0xFF00},
        {0, 0, 1, 0xFFFF, 0x8000, 0xFFFF},
    };
    for (int count : {3, 6, 12}) {
        std::vector<std::int32_t> pairs;
        for (int i = 0; i < count; ++i) {
            pairs.push_back(std::int32_t(random() % 0x8001));
            pairs.push_back(std::int32_t(random() % 0x10000));
        }
        for (int i = 0; i < count; ++i)
            for (int j = i + 1; j < count; ++j)
                if (pairs[std::size_t(2 * j)] < pairs[std::size_t(2 * i)]) {
                    std::swap(pairs[std::size_t(2 * i)], pairs[std::size_t(2 * j)]);
                    std::swap(pairs[std::size_t(2 * i + 1)], pairs[std::size_t(2 * j + 1)]);
                }
        curves.push_back(pairs);
    }
    int found = 0;
    for (int format = 1; format <= 6; ++format) {
        const TColorBitMap map = canvas_tables::ColorBitMapOf(format);
        for (std::size_t i = 0; i < curves.size(); ++i)
            for (const std::vector<int>& components : {std::vector<int>{1}, std::vector<int>{1, 2, 3}}) {
                const Table table = CurveTable(curves[i], map, components);
                if (const auto form = FormOf(table, FieldMasks(map, components))) {
                    ++found;
                    ASSERT_EQ(FirstDifference(*form, table), -1) << "format " << format << ", curve " << i;
                }
            }
    }
    EXPECT_GT(found, 0);
}

TEST(CanvasTableForms, TablesWithoutAnExactFormAreRefused)
{
    const TColorBitMap map = canvas_tables::ColorBitMapOf(6);
    std::mt19937 random(3);
    Table noise(canvas_tables::kTableEntries);
    for (std::int32_t& e : noise) e = std::int32_t(random());
    EXPECT_FALSE(FormOf(noise)) << "values of no pattern";

    Table saw(canvas_tables::kTableEntries, 0);
    for (int v = 0; v < canvas_tables::kLevels; ++v) saw[std::size_t(v)] = (v % 1000) * 3;
    EXPECT_FALSE(FormOf(saw)) << "more pieces than a form holds";

    const Table red = CurveTable(kStandard, map, {1});
    EXPECT_FALSE(FormOf(red, FieldMasks(map, {2}))) << "bits outside every field";
    const Table grey = CurveTable(kStandard, map, {1, 2, 3});
    EXPECT_FALSE(FormOf(grey, {0xFFE00000u, 0x001FFC00u, 0x3F0u, 0xFu})) << "more than three fields";
    EXPECT_FALSE(FormOf(red, {0xAFE00000u})) << "a field that is not one run of bits";
}

TEST(CanvasPack, FormsPackTheBytesOfTheTables)
{
    const TColorBitMap map = canvas_tables::ColorBitMapOf(6);
    // Channel tables of one, several and no fields, and of several pieces.
    const std::vector<Table> tables = {
        CurveTable(kStandard, map, {1}),
        CurveTable({0, 0xFFFF, 0x4000, 0x2000, 0x8000, 0xC000}, map, {2, 3}),
        CurveTable(kStandard, map, {}),
        CurveTable({0, 0, 0x4000, 0xFFFF, 0x8000, 0}, map, {1, 2, 3}),
    };
    const std::vector<std::vector<std::uint32_t>> fields = {
        FieldMasks(map, {1}), FieldMasks(map, {2, 3}), {}, FieldMasks(map, {1, 2, 3})};
    std::vector<TableForm> forms;
    for (std::size_t i = 0; i < tables.size(); ++i) {
        const auto form = FormOf(tables[i], fields[i]);
        ASSERT_TRUE(form) << "table " << i;
        forms.push_back(*form);
    }
    // Levels in runs as smooth shading draws them, nothing drawn, the ends of the drawn
    // levels and values above them.
    std::mt19937 random(11);
    auto values = [&](int count) {
        std::vector<std::uint16_t> v(static_cast<std::size_t>(count));
        int level = int(random() % 0x8001);
        for (std::uint16_t& x : v) {
            const unsigned pick = random() % 100;
            if (pick < 3)
                level = int(random() % 0x10000);
            else if (pick < 6)
                level = 0xFFFF;
            else if (pick < 8)
                level = pick == 6 ? 0x8000 : 0;
            else if (level <= 0x8000)
                level = std::max(0, std::min(0x8000, level + int(random() % 41) - 20));
            x = std::uint16_t(level);
        }
        return v;
    };
    const std::vector<std::vector<int>> channelSets = {{0}, {1}, {0, 1, 2}, {3, 2}, {1, 3}, {0, 1, 2}};
    for (const std::vector<int>& set : channelSets)
        for (int bytes = 1; bytes <= 4; ++bytes)
            for (int width : {1, 7, 8, 9, 15, 16, 17, 31, 33, 64, 101}) {
                const int rows = 3, count = int(set.size());
                const std::ptrdiff_t channelStride = std::ptrdiff_t(width + 5) * 2;
                const std::ptrdiff_t pixelStride = std::ptrdiff_t(width) * bytes + 3;
                std::vector<std::uint16_t> planes[3];
                const std::uint16_t* rowPointers[3];
                std::ptrdiff_t strides[3];
                const std::int32_t* tablePointers[3];
                const TableForm* formPointers[3];
                for (int k = 0; k < count; ++k) {
                    planes[k] = values(int(channelStride / 2) * rows);
                    rowPointers[k] = planes[k].data();
                    strides[k] = channelStride;
                    tablePointers[k] = tables[std::size_t(set[std::size_t(k)])].data();
                    formPointers[k] = &forms[std::size_t(set[std::size_t(k)])];
                }
                std::vector<std::uint8_t> packed(std::size_t(pixelStride) * rows, 0xEE), plain = packed;
                canvas_kernels::PackChannelRows(count, rowPointers, strides, tablePointers, formPointers,
                                                packed.data(), pixelStride, bytes, rows, width);
                for (int y = 0; y < rows; ++y)
                    for (int x = 0; x < width; ++x) {
                        std::uint32_t pixel = 0;
                        for (int k = 0; k < count; ++k)
                            pixel |= std::uint32_t(
                                tablePointers[k][planes[k][std::size_t(y * channelStride / 2 + x)]]);
                        std::memcpy(&plain[std::size_t(y * pixelStride + x * bytes)], &pixel,
                                    std::size_t(bytes));
                    }
                ASSERT_EQ(packed, plain) << count << " channels, " << bytes << " bytes, width " << width;
            }
}

// The canvas paints in bands of rows on all cores: pictures crossing many bands, wide and
// tall, on one and eight threads, against the lookups of the planes it painted.
TEST(CanvasPack, PaintedPicturesAreTheLookupsOnEveryBandAndThreadCount)
{
    struct Size {
        int width, height;
    };
    TOwned<TKCnv3DIITransformer> curve(TKCnv3DIITransformer::New()), tent(TKCnv3DIITransformer::New());
    curve->AddPoint(0, 0);
    curve->AddPoint(0x8000, 0xFFFF);
    tent->AddPoint(0, 0);
    tent->AddPoint(0x4000, 0xFFFF);
    tent->AddPoint(0x8000, 0);
    const TColorBitMap map = canvas_tables::ColorBitMapOf(6);
    for (const Size size : {Size{1024, 1024}, Size{2049, 1537}, Size{4099, 37}, Size{37, 3001}})
        for (int threads : {1, 8}) {
            platform::ScopedRowDriverThreads scoped(threads);
            TOwned<TKCanvas3D> canvas(TKCanvas3D::New());
            canvas->SetSize(size.width, size.height);
            canvas->SetChannelEnabled(2, true);
            canvas->SetChannelEnabled(3, true);
            canvas->SetBackgroundColor(0x1000, 0x2000, 0x3000, map);
            canvas->BuildChannelTable(1, curve.get(), nullptr, nullptr, map);
            canvas->BuildChannelTable(2, nullptr, tent.get(), curve.get(), map);
            canvas->SetSmooth(true);
            const int w = size.width, h = size.height;
            // Drawn levels, a corner left empty, and ramps that run past 0x8000 to 0xFFFF.
            canvas->DrawTriangle({-5, -5, 100, 0, 0x8000, 0x100}, {w + 5, -5, 100, 0x8000, 0, 0x7000},
                                 {-5, h * 2 / 3, 100, 0x4000, 0x4000, 0});
            canvas->DrawTriangle({w / 3, h / 2, 50, 0x7000, 0, 0x7F00},
                                 {w + 3, h / 3, 50, 0xFFFF, 0x8000, 0x8400},
                                 {w / 2, h + 3, 50, 0x8000, 0x9000, 0xFFFF});
            for (int i = 0; i < 64; ++i)
                canvas->DrawPoint(
                    {(i * 37) % w, (i * 53) % h, 10, 0x8001 + i, 0xFFFE - i, i % 2 ? 0xFFFF : 0x8000});
            const int bytes = 4;
            const std::int64_t stride = std::int64_t(w) * bytes + 8;
            std::vector<std::uint8_t> picture(std::size_t(stride) * std::size_t(h), 0xEE), plain = picture;
            // A fresh table is painted by lookup, its form found at the next paint.
            std::vector<std::uint8_t> firstPaint = picture;
            canvas->PaintTo({firstPaint.data(), w, h, bytes, stride});
            canvas->PaintTo({picture.data(), w, h, bytes, stride});
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    std::uint32_t pixel = 0;
                    for (int n = 1; n <= 3; ++n)
                        pixel |= std::uint32_t(canvas->GetChannelTable(n)[canvas->ChannelRow(n, y)[x]]);
                    std::memcpy(&plain[std::size_t(y * stride + x * bytes)], &pixel, bytes);
                }
            ASSERT_EQ(firstPaint, plain) << w << " x " << h << " on " << threads << " threads, first paint";
            ASSERT_EQ(picture, plain) << w << " x " << h << " on " << threads << " threads";
        }
}
