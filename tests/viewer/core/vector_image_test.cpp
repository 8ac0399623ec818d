// The vector overlay image: the tag 500 payload byte for byte, round trips through a layer
// file, growth, paint modes, damaged payloads refused, and what Paint puts on a device.

#include <gtest/gtest.h>

#include <random>

#include "tests/support/modal_responder.h"
#include "tests/support/test_environment.h"
#include "tests/viewer/core/vector_overlay_support.h"
#include "viewer/core/vector_image.h"

using namespace overlaytest;
using tarvenix::test::Responder;
using tarvenix::test::TempDir;

namespace {

constexpr std::uint32_t kRed = 0x0000FF, kGreen = 0x00FF00, kBlue = 0xFF0000;

class VectorImage : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(MakeLayerFile(path)); }
    TempDir dir;
    std::string path = dir.File("picture.rdp");
};

TEST_F(VectorImage, CreateAddLayerAndSaveWriteTheFortyEightBytePayload)
{
    CVectorImage image;
    ASSERT_EQ(image.Create(path.c_str(), 0), 1);
    EXPECT_EQ(image.Create(path.c_str(), 0), 0);  // already open
    EXPECT_EQ(GetSizeTag(path.c_str(), kVectorOverlayTag), -1) << "Create does not touch the file";
    ASSERT_EQ(image.AddLayer(0x00123456), 1);
    ASSERT_EQ(image.Save(), 1);
    EXPECT_FALSE(image.IsOpen());
    EXPECT_EQ(Tag500(path), Words({48, 0, 0, 1, 48, 0x00123456, 0, 0, 0, 0, 0, 0}));
}

TEST_F(VectorImage, ARoundTripKeepsLayersColoursPointsAndLinesInOrder)
{
    CVectorImage image;
    ASSERT_EQ(image.Create(path.c_str(), 0), 1);
    image.AddLayer(kRed);
    image.AddLayer(kGreen);
    image.Add(0, Point{1.5f, 2.5f, 0});
    image.Add(1, *LineOf({{0, 0}, {10, 0}, {10, 10}}));
    image.Add(0, Point{3, 4, 0});
    image.Add(0, *LineOf({{-1, -2}}));
    image.Add(1, Point{7, 8, 0});
    image.Add(0, Point{5, 6, 0});
    image.SetPaintMode(1, -1);
    const auto before = Content(image);
    ASSERT_EQ(image.Save(), 1);

    const Bytes payload = Tag500(path);
    // Links are offsets from the payload's start: layer 0's first point follows the records.
    EXPECT_EQ(Word(payload, 12), 2u);
    EXPECT_EQ(Word(payload, 16), payload.size());
    EXPECT_EQ(Word(payload, 20 + 12), 20u + 2 * 28);

    CVectorImage back;
    ASSERT_EQ(back.Open(path.c_str()), 1);
    EXPECT_EQ(back.Open(path.c_str()), 0);  // already open
    EXPECT_EQ(Content(back), before);
    EXPECT_EQ(Content(back)[0].points, (std::vector<Node>{{1.5f, 2.5f}, {3, 4}, {5, 6}}));
    for (int n = 0; n < 2; ++n) EXPECT_EQ(back.GetPaintMode(n), 0) << "every layer starts hidden";
    EXPECT_EQ(back.GetTotalSize(), std::int64_t(payload.size()));

    // Saved again unchanged, the payload is the same bytes.
    ASSERT_EQ(back.Save(), 1);
    EXPECT_EQ(Tag500(path), payload);
}

TEST_F(VectorImage, ALayerAddedAfterNodesKeepsEveryNodeReachable)
{
    CVectorImage image;
    ASSERT_EQ(image.Create(path.c_str(), 64), 1);
    image.AddLayer(kRed);
    for (int i = 0; i < 5; ++i) {
        image.Add(0, Point{float(i), float(-i), 0});
        image.Add(0, *LineOf({{float(i), 0}, {0, float(i)}}));
    }
    const auto before = Content(image);
    image.AddLayer(kGreen);
    image.AddLayer(kBlue);
    image.Add(2, Point{9, 9, 0});
    image.Add(0, Point{10, 10, 0});
    auto expected = before;
    expected[0].points.push_back({10, 10});
    expected.push_back({kGreen, {}, {}});
    expected.push_back({kBlue, {{9, 9}}, {}});
    EXPECT_EQ(Content(image), expected);
    ASSERT_EQ(image.Save(), 1);
    CVectorImage back;
    ASSERT_EQ(back.Open(path.c_str()), 1);
    EXPECT_EQ(Content(back), expected);
}

TEST_F(VectorImage, GrowsPastItsFirstCapacityAndASmallCreateStillHoldsTheHeader)
{
    for (int first : {0, 4, -7}) {
        SCOPED_TRACE(first);
        CVectorImage image;
        ASSERT_EQ(image.Create(path.c_str(), first), 1);
        EXPECT_GE(image.GetCapacity(), 20);
        image.AddLayer(kRed);
        constexpr int kPoints = 50000;  // 600 000 bytes: past 0x80000
        for (int i = 0; i < kPoints; ++i) image.Add(0, Point{float(i), float(i % 97), 0});
        image.Add(0, *LineOf({{1, 2}, {3, 4}}));
        EXPECT_GT(image.GetCapacity(), 0x80000);
        EXPECT_EQ(image.GetTotalSize(), 20 + 28 + 12 * kPoints + 24);
        ASSERT_EQ(image.Save(), 1);
        CVectorImage back;
        ASSERT_EQ(back.Open(path.c_str()), 1);
        const auto c = Content(back);
        ASSERT_EQ(c[0].points.size(), std::size_t(kPoints));
        EXPECT_EQ(c[0].points[kPoints - 1], (Node{kPoints - 1, (kPoints - 1) % 97}));
        EXPECT_EQ(c[0].lines, (std::vector<std::vector<Node>>{{{1, 2}, {3, 4}}}));
    }
}

TEST_F(VectorImage, PaintModesGrowWithTheLayersAndRangesAreChecked)
{
    CVectorImage image;
    EXPECT_EQ(image.GetPaintModeCount(), 10);
    EXPECT_EQ(image.AddLayer(kRed), 0) << "closed";
    ASSERT_EQ(image.Create(path.c_str(), 0), 1);
    for (int n = 0; n < 10; ++n) image.AddLayer(kRed);
    EXPECT_EQ(image.GetPaintModeCount(), 10);
    image.AddLayer(kGreen);
    EXPECT_EQ(image.GetPaintModeCount(), 16);
    EXPECT_EQ(image.GetColor(10), kGreen);

    const Bytes before(image.GetBlock(), image.GetBlock() + image.GetTotalSize());
    for (int bad : {-1, 11, 1000}) {
        EXPECT_EQ(image.GetColor(bad), 0u);
        image.Add(bad, Point{1, 1, 0});
        image.Add(bad, *LineOf({{1, 1}, {2, 2}}));
        image.SetColor(bad, kBlue);
        EXPECT_EQ(image.LayerIsEmpty(bad), 1);
        EXPECT_EQ(image.SetFirstPoint(bad), nullptr);
    }
    EXPECT_EQ(Bytes(image.GetBlock(), image.GetBlock() + image.GetTotalSize()), before);
    image.SetPaintMode(3, 4);
    EXPECT_EQ(image.GetPaintMode(4), 3);
    image.SetPaintMode(1, -1);
    EXPECT_EQ(image.GetPaintMode(15), 1);
    image.Destroy();
    EXPECT_FALSE(image.IsOpen());
    EXPECT_EQ(image.LayerIsEmpty(0), 1);
    EXPECT_EQ(image.Save(), 0);
}

// A valid two-layer payload: layer 0 two points, layer 1 one line of two vertices.
Bytes ValidPayload()
{
    const std::uint32_t nodes = 20 + 2 * 28;
    Bytes b = Words({0, 0, 0, 2, 0,
                     // layer 0: colour, 2 points, 0 lines, first point, -, last point, -
                     kRed, 2, 0, nodes, 0, nodes + 12, 0,
                     // layer 1: 1 line
                     kGreen, 0, 1, 0, nodes + 24, 0, nodes + 24,
                     // points
                     FloatBits(1), FloatBits(2), nodes + 12, FloatBits(3), FloatBits(4), 0,
                     // line
                     2, 0, FloatBits(5), FloatBits(6), FloatBits(7), FloatBits(8)});
    return b;
}

Bytes With(Bytes b, std::size_t at, std::uint32_t v)
{
    std::memcpy(b.data() + at, &v, 4);
    return b;
}

TEST_F(VectorImage, DamagedPayloadsAreRefusedWithAMessageNamingTheFile)
{
    const std::uint32_t nodes = 76;
    const Bytes good = ValidPayload();
    {
        ASSERT_TRUE(SetTag(path.c_str(), kVectorOverlayTag, int(good.size()), good.data()));
        CVectorImage image;
        ASSERT_EQ(image.Open(path.c_str()), 1) << "the fixture itself is sound";
        EXPECT_EQ(Content(image)[1].lines, (std::vector<std::vector<Node>>{{{5, 6}, {7, 8}}}));
    }
    struct Bad {
        const char* what;
        Bytes payload;
    };
    const Bad cases[] = {
        {"shorter than the header", Bytes(12, 0)},
        {"layer count too large", With(good, 12, 3)},
        {"layer count negative", With(good, 12, 0xFFFFFFFF)},
        {"a link outside the payload", With(good, 20 + 12, 4000)},
        {"a link into the layer records", With(good, 20 + 12, 20)},
        {"a link not on a word", With(good, 20 + 12, nodes + 2)},
        {"a cycle", With(good, nodes + 12 + 8, nodes)},
        {"a list shorter than its count", With(good, 20 + 4, 3)},
        {"a list longer than its count", With(With(good, 20 + 4, 1), 20 + 20, nodes)},
        {"the last link elsewhere", With(good, 20 + 20, nodes)},
        {"a line count past the end", With(good, nodes + 24, 1000)},
        {"a huge line count", With(good, nodes + 24, 0x7FFFFFFF)},
        {"two lists sharing a node", With(With(good, 28 + 20 + 8, 2), 28 + 20 + 16, nodes)},
        {"bytes left over",
         [&] {
             Bytes b = good;
             b.resize(b.size() + 4);
             return b;
         }()},
    };
    for (const Bad& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(SetTag(path.c_str(), kVectorOverlayTag, int(c.payload.size()), c.payload.data()));
        Responder().AnswerMessageBox(IDOK);
        CVectorImage image;
        EXPECT_EQ(image.Open(path.c_str()), 0);
        EXPECT_FALSE(image.IsOpen());
        EXPECT_EQ(image.GetNumLayer(), 0);
        ASSERT_FALSE(Responder().Asked().empty());
        EXPECT_NE(std::string(Responder().Asked().back().text).find(path), std::string::npos);
        Responder().Reset();
    }
    // A file without an overlay is no fault: no message.
    ASSERT_TRUE(DeleteTag(path.c_str(), kVectorOverlayTag));
    CVectorImage image;
    EXPECT_EQ(image.Open(path.c_str()), 0);
    EXPECT_EQ(image.Open(dir.File("missing.rdp").c_str()), 0);
    EXPECT_TRUE(Responder().Asked().empty());
}

TEST_F(VectorImage, AFailedSaveKeepsTheFileAsItWasAndTheImageOpenForAnotherTry)
{
    const std::string other = dir.File("not-a-layer.rdp");
    tarvenix::test::WriteWholeFile(other, "not a layer file");
    CVectorImage image;
    ASSERT_EQ(image.Create(other.c_str(), 0), 1);
    image.AddLayer(kRed);
    image.Add(0, Point{1, 2, 0});
    EXPECT_EQ(image.Save(), 0);
    EXPECT_EQ(tarvenix::test::ReadWholeFile(other), "not a layer file");
    EXPECT_TRUE(image.IsOpen());
    EXPECT_EQ(Content(image)[0].points, (std::vector<Node>{{1, 2}}));

    // The file becomes a layer file with an old overlay; the second try replaces it whole.
    ASSERT_TRUE(MakeLayerFile(other));
    const Bytes old = ValidPayload();
    ASSERT_TRUE(SetTag(other.c_str(), kVectorOverlayTag, int(old.size()), old.data()));
    ASSERT_EQ(image.Save(), 1);
    CVectorImage back;
    ASSERT_EQ(back.Open(other.c_str()), 1);
    EXPECT_EQ(Content(back), (std::vector<LayerContent>{{kRed, {{1, 2}}, {}}}));
}

TEST_F(VectorImage, PaintDrawsMarksAndPensOfOnePixelPerPictureScaleStep)
{
    CVectorImage image;
    ASSERT_EQ(image.Create(path.c_str(), 0), 1);
    image.AddLayer(kRed);
    image.AddLayer(kGreen);
    image.Add(0, Point{10, 10, 0});
    image.Add(1, *LineOf({{2, 30}, {20, 30}}));
    const QRgb red = qRgb(255, 0, 0), green = qRgb(0, 255, 0);
    {
        Canvas c(120, 160);
        EXPECT_EQ(image.Paint(c.DC(), 1.0, CPoint(0, 0), -1), 1);
        EXPECT_EQ(c.Count(red) + c.Count(green), 0) << "paint modes start at 0";
        image.SetPaintMode(1, -1);
        image.Paint(c.DC(), 1.0, CPoint(0, 0), -1);
        QRect box;
        EXPECT_EQ(c.Count(red, &box), 1);
        EXPECT_EQ(box, QRect(10, 10, 1, 1));
        EXPECT_EQ(c.Count(green, &box), 18);
        EXPECT_EQ(box.height(), 1);
    }
    {
        Canvas c(120, 160);
        image.Paint(c.DC(), 0.25, CPoint(5, 5), -1);  // zoom 4
        QRect box;
        EXPECT_EQ(c.Count(red, &box), 16);
        EXPECT_EQ(box, QRect(20, 20, 4, 4));
        c.Count(green, &box);
        EXPECT_EQ(box.height(), 4) << "a 4-pixel pen";
    }
    {
        Canvas c(120, 160);
        image.Paint(c.DC(), 2.0, CPoint(0, 0), 0);  // one layer, zoomed out
        QRect box;
        EXPECT_EQ(c.Count(red, &box), 1);
        EXPECT_EQ(box, QRect(5, 5, 1, 1));
        EXPECT_EQ(c.Count(green), 0);
        EXPECT_EQ(image.Paint(c.DC(), 1.0, CPoint(0, 0), 7), 1);  // out of range: nothing
        EXPECT_EQ(c.Count(red), 1);
    }
    // Coordinates far beyond the screen's integers are drawn without overflow: a line from
    // far away still crosses the window where it should.
    image.Add(1, *LineOf({{-3e30f, 0.05f}, {3e30f, 0.05f}}));
    image.Add(0, Point{1e38f, -1e38f, 0});
    Canvas c(120, 160);
    image.Paint(c.DC(), 0.001, CPoint(0, 0), 1);
    QRect box;
    c.Count(green, &box);
    EXPECT_EQ(box.left(), 0);
    EXPECT_EQ(box.right(), 119);
    EXPECT_EQ(image.Paint(nullptr, 1.0, CPoint(0, 0), -1), 0);
    image.Destroy();
    EXPECT_EQ(image.Paint(c.DC(), 1.0, CPoint(0, 0), -1), 0);
}

TEST_F(VectorImage, AddingALineOfTheImageItselfSurvivesTheBlockMoving)
{
    CVectorImage image;
    ASSERT_EQ(image.Create(path.c_str(), 20 + 28 + 40), 1);
    image.AddLayer(kRed);
    image.Add(0, *LineOf({{1, 2}, {3, 4}, {5, 6}, {7, 8}}));
    Line* own = image.SetFirstLine(0);
    ASSERT_NE(own, nullptr);
    image.Add(0, *own);  // needs room: the block moves under the source
    const auto c = Content(image);
    ASSERT_EQ(c[0].lines.size(), 2u);
    EXPECT_EQ(c[0].lines[0], c[0].lines[1]);
}

/// A payload with random damage; most of it where counts and links live.
Bytes Mutate(Bytes b, std::mt19937& rng)
{
    const int edits = 1 + int(rng() % 3);
    for (int e = 0; e < edits && !b.empty(); ++e) {
        const std::size_t at = rng() % std::min<std::size_t>(b.size(), rng() % 2 ? 160 : b.size());
        switch (rng() % 4) {
            case 0:
                b[at] ^= std::uint8_t(1u << (rng() % 8));
                break;
            case 1:
                b[at] = std::uint8_t(rng());
                break;
            case 2: {
                const std::uint32_t values[] = {0,
                                                1,
                                                4,
                                                20,
                                                48,
                                                76,
                                                88,
                                                std::uint32_t(b.size()),
                                                0xFFFFFFFF,
                                                0x7FFFFFFF,
                                                std::uint32_t(b.size() - 12)};
                const std::size_t w = at & ~std::size_t(3);
                if (w + 4 <= b.size()) std::memcpy(b.data() + w, &values[rng() % std::size(values)], 4);
                break;
            }
            default:
                b.resize(rng() % (b.size() + 1));
                break;
        }
    }
    return b;
}

TEST_F(VectorImage, FuzzedPayloadsAreReadWhollyOrRefusedNeverTrustedBlindly)
{
    // Seeds: the fixture above and a saved overlay of three layers.
    std::vector<Bytes> seeds{ValidPayload()};
    {
        CVectorImage image;
        ASSERT_EQ(image.Create(path.c_str(), 0), 1);
        for (int n = 0; n < 3; ++n) image.AddLayer(kRed + n);
        for (int i = 0; i < 6; ++i) {
            image.Add(i % 3, Point{float(i), 1, 0});
            image.Add((i + 1) % 3, *LineOf({{0, float(i)}, {1, 2}, {3, float(i)}}));
        }
        ASSERT_EQ(image.Save(), 1);
        seeds.push_back(Tag500(path));
    }
    std::mt19937 rng(500);
    int opened = 0;
    constexpr int kRounds = 300;
    for (int round = 0; round < kRounds; ++round) {
        const Bytes payload = Mutate(seeds[round % seeds.size()], rng);
        if (payload.empty()) continue;
        ASSERT_TRUE(SetTag(path.c_str(), kVectorOverlayTag, int(payload.size()), payload.data()));
        Responder().Reset();
        Responder().AnswerMessageBox(IDOK);
        CVectorImage image;
        if (!image.Open(path.c_str())) {
            EXPECT_FALSE(image.IsOpen());
            continue;
        }
        Responder().Reset();
        ++opened;
        // What opens is whole: every list walks to its end within its count, and the image
        // takes more nodes and layers and paints without reaching outside.
        const auto c = Content(image);
        std::size_t nodes = 0;
        for (const auto& l : c) nodes += l.points.size() * 12 + l.lines.size() * 8;
        EXPECT_LE(std::int64_t(nodes), image.GetTotalSize());
        image.AddLayer(kBlue);
        image.Add(0, Point{1, 1, 0});
        image.Add(image.GetNumLayer() - 1, *LineOf({{0, 0}, {5, 5}}));
        image.SetPaintMode(1, -1);
        Canvas canvas(32, 32);
        image.Paint(canvas.DC(), 0.5, CPoint(0, 0), -1);
    }
    Responder().Reset();
    EXPECT_GT(opened, 0) << "some damage leaves a sound overlay (a colour, a coordinate)";
}

}  // namespace
