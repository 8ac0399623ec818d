// The drawing system: its defaults, colour set-up, the packed pixels of each colour type,
// the setup bracket, the draw primitives and its record.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "platform/forms/exceptions.h"
#include "plugin3d/model/core/k_form_links.h"
#include "plugin3d/model/core/k_interfaces.h"
#include "plugin3d/model/scene/k_drawing_system3d.h"
#include "tests/plugin3d/model/scene/scene_test_support.h"

namespace {

using namespace kelvora::test;

TOwned<TKDrawingSystem3D> NewDrawingSystem()
{
    return TOwned<TKDrawingSystem3D>(TKDrawingSystem3D::New());
}

// The packed pixel at canvas (x, y) (row 0 is the first row in memory).
std::uint32_t PixelAt(TKDrawingSystem3D& ds, int x, int y)
{
    TKMemoryBitmap& bitmap = *ds.Bitmap();
    const int bytes = PixelFormatBits(ds.ColorType()) / 8;
    const auto* row = static_cast<const std::uint8_t*>(bitmap.Pixels()) + std::int64_t(y) * bitmap.RowBytes();
    std::uint32_t value = 0;
    std::memcpy(&value, row + std::int64_t(x) * bytes, std::size_t(bytes));
    return value;
}

// Every pixel of the picture.
std::vector<std::uint32_t> AllPixels(TKDrawingSystem3D& ds)
{
    std::vector<std::uint32_t> pixels;
    for (int y = 0; y < ds.ImageHeight(); ++y)
        for (int x = 0; x < ds.ImageWidth(); ++x) pixels.push_back(PixelAt(ds, x, y));
    return pixels;
}

void EnableAllChannels(TKDrawingSystem3D& ds)
{
    ds.BeginSetup(0);
    ds.Canvas()->SetChannelEnabled(2, true);
    ds.Canvas()->SetChannelEnabled(3, true);
    ds.EndSetup(0);
}

TVertex3D Vertex(double x, double y, double r, double g, double b)
{
    return {x, y, 10, r, g, b};
}

// One pass: a triangle of one colour around the image centre.
void DrawFlatTriangle(TKDrawingSystem3D& ds, double r, double g, double b)
{
    ds.BeginDrawing(0);
    ds.DrawTriangle(Vertex(-20, -20, r, g, b), Vertex(20, -20, r, g, b), Vertex(0, 20, r, g, b));
    ds.EndDrawing(0);
}

RGBQUAD PaletteEntry(TKDrawingSystem3D& ds, int index)
{
    return ds.Bitmap()->Info().colors[index];
}

TEST(DrawingSystem, ANewOneIsAPaletteOf128By128WithAGreyRamp)
{
    auto ds = NewDrawingSystem();
    EXPECT_EQ(GetClassCaption(TKDrawingSystem3D::StaticClass()), "Standart Viewer 3D");
    EXPECT_EQ(ds->ImageWidth(), 128);
    EXPECT_EQ(ds->ImageHeight(), 128);
    EXPECT_EQ(ds->ColorType(), kpfIndexed8);
    EXPECT_EQ(ds->CentreX(), 64);
    EXPECT_EQ(ds->Canvas()->BackgroundValue(), 192);
    EXPECT_EQ(ds->Viewer(), nullptr);
    for (int n = 1; n <= 3; ++n) {
        EXPECT_TRUE(ds->GetChannelVisible(n));
        EXPECT_EQ(ds->GetChannelMode(n), n);
    }
    EXPECT_FALSE(ds->GetChannelVisible(0));
    EXPECT_FALSE(ds->GetChannelVisible(4));
    struct Entry {
        int index;
        BYTE level;
    };
    // Entry i of the ramp is round(255 i / 127); 192 is the black background.
    for (const Entry e : {Entry{64, 0}, Entry{65, 2}, Entry{128, 129}, Entry{191, 255}, Entry{192, 0}}) {
        const RGBQUAD q = PaletteEntry(*ds, e.index);
        EXPECT_EQ(q.rgbRed, e.level) << e.index;
        EXPECT_EQ(q.rgbGreen, e.level) << e.index;
        EXPECT_EQ(q.rgbBlue, e.level) << e.index;
    }
    // Nothing drawn yet: the whole picture is the background.
    ds->Clear();
    for (std::uint32_t p : AllPixels(*ds)) ASSERT_EQ(p, 192u);
}

TEST(DrawingSystem, ColoursAreHeldToZeroToOne)
{
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        TVector3D given, stored;
    };
    const Case cases[] = {
        {{2, -1, 0.5}, {1, 0, 0.5}},
        {{kNaN, 0.25, std::numeric_limits<double>::infinity()}, {0, 0.25, 1}},
        {{-0.0, 1, -std::numeric_limits<double>::infinity()}, {0, 1, 0}},
    };
    auto ds = NewDrawingSystem();
    for (const Case& c : cases) {
        ds->SetBackground(c.given);
        ds->SetRampStartColor(c.given);
        ds->SetRampEndColor(c.given);
        for (const TVector3D& v : {ds->Background(), ds->RampStartColor(), ds->RampEndColor()}) {
            EXPECT_EQ(v.x, c.stored.x);
            EXPECT_EQ(v.y, c.stored.y);
            EXPECT_EQ(v.z, c.stored.z);
        }
    }
    // The background is palette entry 192: (1, 0, 0.5) -> (255, 0, 128).
    ds->SetBackground({2, -1, 0.5});
    const RGBQUAD q = PaletteEntry(*ds, 192);
    EXPECT_EQ(q.rgbRed, 255);
    EXPECT_EQ(q.rgbGreen, 0);
    EXPECT_EQ(q.rgbBlue, 128);
}

TEST(DrawingSystem, FullRedGreenAndBluePackIntoEachColourType)
{
    struct Case {
        std::int32_t type;
        std::uint32_t red, green, blue;
    };
    // Type 1 shows the level of the channel that drives red as a ramp index.
    const Case cases[] = {
        {kpfIndexed8, 191, 64, 64},
        {kpfRgb555, 0x7C00, 0x03E0, 0x001F},
        {kpfRgb565, 0xF800, 0x07E0, 0x001F},
        {kpfRgb888, 0xFF0000, 0x00FF00, 0x0000FF},
        {kpfRgb888x, 0xFF0000, 0x00FF00, 0x0000FF},
        {kpfRgb111110, 0xFFE00000, 0x001FFC00, 0x000003FF},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        auto ds = NewDrawingSystem();
        EnableAllChannels(*ds);
        ds->SetColorType(c.type);
        ASSERT_EQ(ds->ColorType(), c.type);
        DrawFlatTriangle(*ds, 1, 0, 0);
        EXPECT_EQ(PixelAt(*ds, 64, 64), c.red);
        DrawFlatTriangle(*ds, 0, 1, 0);
        EXPECT_EQ(PixelAt(*ds, 64, 64), c.green);
        DrawFlatTriangle(*ds, 0, 0, 1);
        EXPECT_EQ(PixelAt(*ds, 64, 64), c.blue);
        // Levels beyond full and below nothing are held there.
        DrawFlatTriangle(*ds, 1.5, -0.25, std::numeric_limits<double>::quiet_NaN());
        EXPECT_EQ(PixelAt(*ds, 64, 64), c.red);
    }
}

TEST(DrawingSystem, EveryPaletteIndexStaysOnTheRampOrTheBackground)
{
    auto ds = NewDrawingSystem();
    EnableAllChannels(*ds);
    // Red driven by nothing, then by channel 3 alone, then as new: drawn pixels still take
    // ramp indices, never indices below 64 or above the background.
    for (std::int32_t redSource : {0, 3, 1}) {
        SCOPED_TRACE(redSource);
        ds->SetChannelMode(1, redSource);
        ds->BeginDrawing(0);
        ds->DrawTriangle(Vertex(-60, -60, 1, 1, 1), Vertex(60, -60, 0, 0.5, 1), Vertex(0, 60, 0.7, 0, 0.2));
        ds->EndDrawing(0);
        int drawn = 0;
        for (std::uint32_t p : AllPixels(*ds)) {
            ASSERT_GE(p, 64u);
            ASSERT_LE(p, 192u);
            drawn += p != 192;
        }
        EXPECT_GT(drawn, 3000);
    }
    // Flat shading: the mean red 1.7 / 3 is red level 145 of 255, ramp index 64 + 145 div 2.
    EXPECT_EQ(PixelAt(*ds, 64, 64 + 50), 136u);
}

TEST(DrawingSystem, TheSetupBracketRebuildsAtEveryLevel)
{
    auto ds = NewDrawingSystem();
    EventLog log;
    ds->Events().Add(log.Handler());
    ds->EndSetup(1);  // surplus: nothing
    ds->BeginSetup(7);
    ds->BeginSetup(8);
    EXPECT_TRUE(ds->InSetup());
    ds->EndSetup(9);
    ds->EndSetup(10);
    EXPECT_FALSE(ds->InSetup());
    EXPECT_EQ(log.Codes(), (std::vector<int>{kevSetupStarted, kevPictureRepainted, kevPictureRepainted,
                                             kevSetupFinished}));
    EXPECT_EQ(log.Params(kevSetupStarted), (std::vector<std::intptr_t>{7}));
    EXPECT_EQ(log.Params(kevSetupFinished), (std::vector<std::intptr_t>{10}));

    // An update is a setup bracket too: its end fires 4100 with the drawing system itself.
    log.Clear();
    ds->WithinUpdate([] {});
    EXPECT_EQ(log.Codes(), (std::vector<int>{kevSetupStarted, kevChangeBegins, kevPictureChanged,
                                             kevChangeEnds, kevPictureRepainted, kevSetupFinished}));
    EXPECT_EQ(log.Params(kevPictureChanged),
              (std::vector<std::intptr_t>{reinterpret_cast<std::intptr_t>(ds.get())}));

    // An equal setting does nothing; a different one repaints once.
    log.Clear();
    ds->SetChannelMode(2, 2);
    ds->SetChannelVisible(3, true);
    ds->SetBackground({0, 0, 0});
    EXPECT_TRUE(log.Codes().empty());
    ds->SetChannelVisible(3, false);
    EXPECT_EQ(log.Codes(), (std::vector<int>{kevSetupStarted, kevPictureRepainted, kevSetupFinished}));
    ds->Events().Remove(log.Handler());
}

TEST(DrawingSystem, ColourTypesOutsideTheTableAreIgnored)
{
    auto ds = NewDrawingSystem();
    EventLog log;
    ds->Events().Add(log.Handler());
    ds->SetColorType(-1);
    ds->SetColorType(7);
    EXPECT_EQ(ds->ColorType(), kpfIndexed8);
    EXPECT_TRUE(log.Codes().empty());
    // Type 0 is no picture: nothing is painted, and the bit map of type 1 stays.
    ds->SetColorType(kpfNone);
    EXPECT_EQ(ds->ColorType(), kpfNone);
    EXPECT_EQ(ds->BitMap()[0].component, 1);
    EXPECT_EQ(ds->BitMap()[0].bit, 8);
    log.Clear();
    DrawFlatTriangle(*ds, 1, 1, 1);
    EXPECT_EQ(log.Params(kevPictureRepainted).size(), 0u);
    ds->Events().Remove(log.Handler());
}

TEST(DrawingSystem, SizesCentreThePictureAndNegativeOnesAreIgnored)
{
    auto ds = NewDrawingSystem();
    struct Case {
        std::int32_t w, h, expectedW, expectedH, cx, cy;
    };
    const Case cases[] = {
        {129, 37, 129, 37, 64, 18}, {-1, 10, 129, 37, 64, 18}, {10, -1, 129, 37, 64, 18},
        {1, 1, 1, 1, 0, 0},         {0, 0, 0, 0, 0, 0},        {200, 100, 200, 100, 100, 50},
    };
    for (const Case& c : cases) {
        ds->SetImageSize(c.w, c.h);
        EXPECT_EQ(ds->ImageWidth(), c.expectedW);
        EXPECT_EQ(ds->ImageHeight(), c.expectedH);
        EXPECT_EQ(ds->CentreX(), c.cx);
        EXPECT_EQ(ds->CentreY(), c.cy);
        EXPECT_EQ(ds->Canvas()->Width(), c.expectedW);
    }
}

TEST(DrawingSystem, APictureTooLargeForMemoryLeavesNoneAndDrawingGoesOn)
{
    auto ds = NewDrawingSystem();
    ds->SetColorType(kpfRgb111110);
    // 4 bytes x 40000 x 40000 is beyond what a bitmap maps.
    EXPECT_ANY_THROW(ds->SetImageSize(40000, 40000));
    EXPECT_EQ(ds->ImageWidth(), 0);
    EXPECT_EQ(ds->ImageHeight(), 0);
    DrawFlatTriangle(*ds, 1, 1, 1);  // paints into nothing
    ds->Clear();
    ds->SetImageSize(64, 32);
    ASSERT_EQ(ds->ImageWidth(), 64);
    DrawFlatTriangle(*ds, 1, 0, 0);
    EXPECT_EQ(PixelAt(*ds, 32, 16), 0xFFE00000u);
}

TEST(DrawingSystem, PrimitivesInBothPrecisionsAndTheQuadDrawsItsFirstTriangle)
{
    auto ds = NewDrawingSystem();
    const TVertex3D a{-30, -30, 10, 1, 1, 1}, b{30, -30, 10, 1, 1, 1}, c{30, 30, 10, 1, 1, 1},
        d{-30, 30, 10, 1, 1, 1};
    auto single = [](const TVertex3D& v) {
        return TVertex3S{float(v.x), float(v.y), float(v.z), float(v.c1), float(v.c2), float(v.c3)};
    };
    for (int precision = 0; precision < 2; ++precision) {
        SCOPED_TRACE(precision);
        ds->BeginDrawing(0);
        if (precision == 0)
            ds->DrawQuad(a, b, c, d);
        else
            ds->DrawQuadSingle(single(a), single(b), single(c), single(d));
        ds->EndDrawing(0);
        EXPECT_EQ(PixelAt(*ds, 64 + 20, 64 - 20), 191u);  // inside a-b-c
        EXPECT_EQ(PixelAt(*ds, 64 - 20, 64 + 20), 192u);  // only inside a-c-d
    }
    ds->BeginDrawing(0);
    ds->DrawPoint({5, 6, 10, 1, 1, 1});
    ds->DrawPointSingle({-5, -6, 10, 1, 1, 1});
    ds->DrawLine({-40, 40, 10, 1, 1, 1}, {40, 40, 10, 1, 1, 1});
    ds->DrawLineSingle({-40, -40, 10, 1, 1, 1}, {40, -40, 10, 1, 1, 1});
    ds->DrawTriangleSingle(single(a), single(b), single(c));
    ds->EndDrawing(0);
    EXPECT_EQ(PixelAt(*ds, 69, 70), 191u);
    EXPECT_EQ(PixelAt(*ds, 59, 58), 191u);
    EXPECT_EQ(PixelAt(*ds, 64, 104), 191u);
    EXPECT_EQ(PixelAt(*ds, 64, 24), 191u);
    EXPECT_EQ(PixelAt(*ds, 64 + 20, 64 - 20), 191u);
    // Shading: flat takes the mean of the vertex colours, smooth blends them.
    ds->SetShadeMode(1);
    EXPECT_TRUE(ds->Canvas()->Smooth());
    EXPECT_EQ(ds->SmoothShading(), 1);
}

bool SameBitMaps(const TColorBitMap& a, const TColorBitMap& b)
{
    return std::memcmp(a.data(), b.data(), sizeof a) == 0;
}

TEST(DrawingSystem, ItsRecordRoundTrips)
{
    auto ds = NewDrawingSystem();
    EnableAllChannels(*ds);
    ds->SetImageSize(90, 70);
    ds->SetColorType(kpfRgb565);
    ds->SetChannelMode(1, 3);
    ds->SetChannelMode(3, 0);
    ds->SetChannelVisible(2, false);
    ds->SetBackground({0.25, 0.5, 0.75});
    ds->SetRampStartColor({0.1, 0.2, 0.3});
    ds->SetRampEndColor({0.9, 0.8, 0.7});
    ds->BeginSetup(0);
    ds->Curve(2)->AddPoint(0x4000, 0x1000);
    ds->Canvas()->SetChannelEnabled(3, false);
    ds->EndSetup(0);
    ds->SetShadeMode(1);

    MemoryStream stream;  // an object record: the payload starts at byte 12
    stream.WriteObject(ds.get());
    std::int32_t payload = 0;
    std::memcpy(&payload, stream.bytes.data() + 8, 4);
    // After the inherited part: 356 bytes and the three curves (2, 3 and 2 points).
    MemoryStream inherited;
    const int inheritedBytes = ds->TKCustomDrawSystem3D::SaveToStream(&inherited);
    EXPECT_EQ(payload, inheritedBytes + 356 + (4 + 16) + (4 + 24) + (4 + 16));
    EXPECT_EQ(ds->SaveToStream(nullptr), -1);

    stream.SetPosition(0);
    TKObject* object = nullptr;
    stream.ReadObject(object, TKDrawingSystem3D::StaticClass());
    TOwned<TKDrawingSystem3D> loaded(static_cast<TKDrawingSystem3D*>(object));
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->ImageWidth(), 90);
    EXPECT_EQ(loaded->ImageHeight(), 70);
    EXPECT_EQ(loaded->CentreX(), 45);
    EXPECT_EQ(loaded->ColorType(), kpfRgb565);
    EXPECT_EQ(loaded->GetChannelMode(1), 3);
    EXPECT_EQ(loaded->GetChannelMode(2), 2);
    EXPECT_EQ(loaded->GetChannelMode(3), 0);
    EXPECT_TRUE(loaded->GetChannelVisible(1));
    EXPECT_FALSE(loaded->GetChannelVisible(2));
    EXPECT_TRUE(loaded->Canvas()->GetChannelEnabled(2));
    EXPECT_FALSE(loaded->Canvas()->GetChannelEnabled(3));
    EXPECT_EQ(loaded->Background().y, 0.5);
    EXPECT_EQ(loaded->RampStartColor().z, 0.3);
    EXPECT_EQ(loaded->RampEndColor().x, 0.9);
    EXPECT_EQ(loaded->Curve(2)->Pairs(), ds->Curve(2)->Pairs());
    EXPECT_EQ(loaded->SmoothShading(), 1);
    EXPECT_TRUE(SameBitMaps(loaded->BitMap(), ds->BitMap()));
    EXPECT_EQ(loaded->Name(), ds->Name());
    // The loaded one draws as the saved one does.
    DrawFlatTriangle(*ds, 0.2, 0.6, 1);
    DrawFlatTriangle(*loaded, 0.2, 0.6, 1);
    EXPECT_EQ(AllPixels(*loaded), AllPixels(*ds));
}

TEST(DrawingSystem, ARecordWithAnInvalidSizeOrTypeFailsAndLeavesNoPicture)
{
    auto source = NewDrawingSystem();
    MemoryStream inherited;
    const int ownStart = 12 + source->TKCustomDrawSystem3D::SaveToStream(&inherited);
    struct Case {
        const char* name;
        int offset;  // in the drawing system's own part
        std::int32_t value;
    };
    const Case cases[] = {
        {"negative width", 12, -1},
        {"negative height", 16, -5},
        {"colour type 7", 20, 7},
        {"negative colour type", 20, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryStream stream;
        stream.WriteObject(source.get());
        std::memcpy(stream.bytes.data() + ownStart + c.offset, &c.value, 4);
        auto target = NewDrawingSystem();
        stream.SetPosition(12);
        try {
            target->LoadFromStream(&stream);
            ADD_FAILURE() << "loaded";
        } catch (const EStreamError& e) {
            EXPECT_NE(std::string(e.what()).find("Can't load : Invalid Value"), std::string::npos)
                << e.what();
        }
        EXPECT_EQ(target->ImageWidth(), 0);
        EXPECT_EQ(target->ImageHeight(), 0);
    }
}

TEST(DrawingSystem, BitMapEntriesOutsideTheComponentsAndBitsAreIgnored)
{
    auto source = NewDrawingSystem();
    MemoryStream inherited;
    const int mapStart = 12 + source->TKCustomDrawSystem3D::SaveToStream(&inherited) + 28;
    MemoryStream stream;
    stream.WriteObject(source.get());
    // Pixel bit 0 from component 9, pixel bit 1 from bit 40 of red, pixel bit 2 from bit -1.
    const std::int32_t entries[6] = {9, 15, 1, 40, 1, -1};
    std::memcpy(stream.bytes.data() + mapStart, entries, sizeof entries);
    stream.SetPosition(12);
    auto target = NewDrawingSystem();
    target->LoadFromStream(&stream);
    EXPECT_EQ(target->BitMap()[0].component, 9);  // kept as read, for the next save
    target->SetBackground({1, 1, 1});
    DrawFlatTriangle(*target, 1, 1, 1);
    // Full red now sets only pixel bits 3-7 (0xF8): ramp index 64 + 0xF8 div 2.
    EXPECT_EQ(PixelAt(*target, 64, 64), 64u + (0xF8u >> 1));
    EXPECT_EQ(PixelAt(*target, 0, 0), 192u);
}

// Forms that make viewers: a token for a window, and counts of what was asked of them.
struct FakeViewers {
    static inline int made = 0, freed = 0, saved = 0, loaded = 0;
    static inline char window = 0;
    static TComponent* Create(TKDrawingSystem3D*)
    {
        ++made;
        return reinterpret_cast<TComponent*>(&window);
    }
    static void Free(TComponent* viewer)
    {
        EXPECT_EQ(viewer, reinterpret_cast<TComponent*>(&window));
        ++freed;
    }
    // The placement and setup blocks: 40 bytes.
    static int Save(TComponent*, TKObjectsStream* stream)
    {
        ++saved;
        int bytes = 0;
        for (std::int32_t i = 0; i < 10; ++i) bytes += WriteValue(stream, i);
        return bytes;
    }
    static int Load(TComponent*, TKObjectsStream* stream)
    {
        ++loaded;
        int bytes = 0;
        for (std::int32_t i = 0, v = 0; i < 10; ++i) {
            bytes += ReadValue(stream, v);
            EXPECT_EQ(v, i);
        }
        return bytes;
    }
    // Counts start afresh at every install, so the test can run again in the same process.
    static void Install()
    {
        made = freed = saved = loaded = 0;
        TKFormLinks links;
        links.createViewer = Create;
        links.freeViewer = Free;
        links.saveViewer = Save;
        links.loadViewer = Load;
        SetFormLinks(links);
    }
};

std::int32_t PayloadOf(TKDrawingSystem3D& ds)
{
    MemoryStream stream;
    stream.WriteObject(&ds);
    std::int32_t payload = 0;
    std::memcpy(&payload, stream.bytes.data() + 8, 4);
    return payload;
}

TEST(DrawingSystem, TheViewerWindowIsMadeSavedLoadedAndFreedThroughTheFormsLinks)
{
    auto plain = NewDrawingSystem();  // no forms: no viewer, no viewer part
    MemoryStream withoutViewer;
    withoutViewer.WriteObject(plain.get());

    FakeViewers::Install();
    struct Reset {
        ~Reset() { SetFormLinks({}); }
    } reset;
    auto ds = NewDrawingSystem();
    EXPECT_EQ(FakeViewers::made, 1);
    EXPECT_EQ(ds->Viewer(), reinterpret_cast<TComponent*>(&FakeViewers::window));
    EXPECT_EQ(PayloadOf(*ds), PayloadOf(*plain) + 40);

    MemoryStream stream;
    stream.WriteObject(ds.get());
    stream.SetPosition(0);
    TKObject* object = nullptr;
    stream.ReadObject(object, TKDrawingSystem3D::StaticClass());
    TOwned<TKObject> loaded(object);
    EXPECT_EQ(FakeViewers::made, 2);
    EXPECT_EQ(FakeViewers::loaded, 1);
    // A record written without forms ends before the viewer's part.
    withoutViewer.SetPosition(0);
    object = nullptr;
    withoutViewer.ReadObject(object, TKDrawingSystem3D::StaticClass());
    TOwned<TKObject> old(object);
    EXPECT_EQ(FakeViewers::loaded, 1);

    // A scene's own drawing system has no viewer even with forms.
    TOwned<TKDrawingSystem3D> forScene(TKDrawingSystem3D::NewWithScene(nullptr));
    EXPECT_EQ(forScene->Viewer(), nullptr);
    EXPECT_EQ(PayloadOf(*forScene), PayloadOf(*plain));
    EXPECT_EQ(FakeViewers::made, 3);

    ds.reset();
    loaded.reset();
    old.reset();
    forScene.reset();
    EXPECT_EQ(FakeViewers::freed, 3);
}

}  // namespace
