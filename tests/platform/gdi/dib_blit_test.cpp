#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "platform/kernel/cpu_features.h"
#include "platform/kernel/row_bands.h"
#include "tests/platform/gdi/canvas.h"

using tarvenix::test::Canvas;

namespace {

constexpr COLORREF kBack = RGB(1, 2, 3);

// An 8-bit picture of 4 x 3 whose pixel at column x, row y (from the top) has index
// 4 * y + x, and a colour table that tells the indices apart.
COLORREF IndexColour(int i)
{
    return RGB(i * 20, 255 - i * 20, i + 1);
}

struct Dib8 {
    std::vector<std::uint8_t> header = std::vector<std::uint8_t>(sizeof(BITMAPINFOHEADER) + 256 * 4);
    std::vector<std::uint8_t> bits;
    BITMAPINFO* info() { return reinterpret_cast<BITMAPINFO*>(header.data()); }

    explicit Dib8(bool topDown)
    {
        info()->bmiHeader = {40, 4, topDown ? -3 : 3, 1, 8, BI_RGB, 0, 0, 0, 12, 0};
        for (int i = 0; i < 12; ++i) {
            const COLORREF c = IndexColour(i);
            info()->bmiColors[i] = {GetBValue(c), GetGValue(c), GetRValue(c), 0};
        }
        bits.assign(12, 0xEE);  // stride 4: no padding at width 4
        for (int y = 0; y < 3; ++y) {
            const int stored = topDown ? y : 2 - y;
            for (int x = 0; x < 4; ++x) bits[std::size_t(stored * 4 + x)] = std::uint8_t(4 * y + x);
        }
    }
    // The stored rows of scans [first, first + count), scans counting from the bottom row.
    std::vector<std::uint8_t> Scans(int first, int count) const
    {
        return {bits.begin() + first * 4, bits.begin() + (first + count) * 4};
    }
};

// Expected canvas rows written by hand: -1 = untouched, else the picture index.
void ExpectPicture(const Canvas& c, const std::vector<std::vector<int>>& rows, const char* what)
{
    for (int y = 0; y < int(rows.size()); ++y)
        for (int x = 0; x < int(rows[std::size_t(y)].size()); ++x) {
            const int want = rows[std::size_t(y)][std::size_t(x)];
            EXPECT_EQ(c.At(x, y), want < 0 ? kBack : IndexColour(want)) << what << " at " << x << "," << y;
        }
}

}  // namespace

TEST(DibBlit, SetDIBitsToDeviceFollowsTheSystemsOriginRules)
{
    Dib8 up(false), down(true);
    struct Case {
        const char* name;
        Dib8* dib;
        int x, y, w, h, srcX, srcY, start, lines;
        int bandFirst, bandCount;  // which scans the bits hold (bottom-up pictures)
        int result;
        std::vector<std::vector<int>> expected;  // 5 x 4 canvas
    };
    const std::vector<Case> cases = {
        {"whole bottom-up picture at (1,1)",
         &up,
         1,
         1,
         4,
         3,
         0,
         0,
         0,
         3,
         0,
         3,
         3,
         {{-1, -1, -1, -1, -1}, {-1, 0, 1, 2, 3}, {-1, 4, 5, 6, 7}, {-1, 8, 9, 10, 11}}},
        {"source y counts from the bottom row",
         &up,
         0,
         0,
         2,
         2,
         1,
         0,
         0,
         3,
         0,
         3,
         3,
         {{5, 6, -1, -1, -1}, {9, 10, -1, -1, -1}, {-1, -1, -1, -1, -1}}},
        {"source y 1 is one row up from the bottom",
         &up,
         0,
         0,
         3,
         1,
         0,
         1,
         0,
         3,
         0,
         3,
         3,
         {{4, 5, 6, -1, -1}, {-1, -1, -1, -1, -1}}},
        {"a band of the upper two scans",
         &up,
         0,
         0,
         4,
         3,
         0,
         0,
         1,
         2,
         1,
         2,
         2,
         {{0, 1, 2, 3, -1}, {4, 5, 6, 7, -1}, {-1, -1, -1, -1, -1}}},
        {"a band of the lowest scan",
         &up,
         0,
         0,
         4,
         3,
         0,
         0,
         0,
         1,
         0,
         1,
         1,
         {{-1, -1, -1, -1, -1}, {-1, -1, -1, -1, -1}, {8, 9, 10, 11, -1}}},
        {"more lines than the picture has are cut",
         &up,
         0,
         0,
         4,
         3,
         0,
         0,
         1,
         9,
         1,
         2,
         2,
         {{0, 1, 2, 3, -1}, {4, 5, 6, 7, -1}, {-1, -1, -1, -1, -1}}},
        {"top-down picture, whole",
         &down,
         0,
         1,
         4,
         3,
         0,
         0,
         0,
         3,
         0,
         3,
         3,
         {{-1, -1, -1, -1, -1}, {0, 1, 2, 3, -1}, {4, 5, 6, 7, -1}, {8, 9, 10, 11, -1}}},
        {"top-down picture scrolled by a negative source y",
         &down,
         0,
         0,
         4,
         3,
         0,
         -1,
         0,
         3,
         0,
         3,
         3,
         {{4, 5, 6, 7, -1}, {8, 9, 10, 11, -1}, {-1, -1, -1, -1, -1}}},
        {"top-down picture from start scan 1 and source x 1",
         &down,
         0,
         0,
         4,
         3,
         1,
         0,
         1,
         3,
         0,
         3,
         3,
         {{5, 6, 7, -1, -1}, {9, 10, 11, -1, -1}, {-1, -1, -1, -1, -1}}},
        {"destination past the right edge is cut",
         &up,
         3,
         0,
         4,
         3,
         0,
         0,
         0,
         3,
         0,
         3,
         3,
         {{-1, -1, -1, 0, 1}, {-1, -1, -1, 4, 5}, {-1, -1, -1, 8, 9}}},
        {"source rectangle past the picture draws only what exists",
         &up,
         0,
         0,
         4,
         3,
         2,
         0,
         0,
         3,
         0,
         3,
         3,
         {{2, 3, -1, -1, -1}, {6, 7, -1, -1, -1}, {10, 11, -1, -1, -1}}},
    };
    for (const Case& c : cases) {
        Canvas canvas(5, 4, kBack);
        std::vector<std::uint8_t> band = c.dib == &up ? c.dib->Scans(c.bandFirst, c.bandCount) : c.dib->bits;
        band.resize(band.size() + 64, 0xEE);  // rows past the band must never be read as picture
        const int got =
            SetDIBitsToDevice(canvas.dc(), c.x, c.y, DWORD(c.w), DWORD(c.h), c.srcX, c.srcY, UINT(c.start),
                              UINT(c.lines), band.data(), c.dib->info(), DIB_RGB_COLORS);
        EXPECT_EQ(got, c.result) << c.name;
        ExpectPicture(canvas, c.expected, c.name);
    }
}

TEST(DibBlit, ClipRegionAndViewportLimitWhatIsSet)
{
    Dib8 up(false);
    Canvas canvas(5, 4, kBack);
    HRGN clip = CreateRectRgn(1, 1, 3, 3);
    HRGN hole = CreateRectRgn(2, 2, 3, 3);
    CombineRgn(clip, clip, hole, RGN_DIFF);
    SelectClipRgn(canvas.dc(), clip);
    SetViewportOrgEx(canvas.dc(), 1, 0, nullptr);  // logical (0, 0) lands on device (1, 0)
    SetDIBitsToDevice(canvas.dc(), 0, 0, 4, 3, 0, 0, 0, 3, up.bits.data(), up.info(), DIB_RGB_COLORS);
    ExpectPicture(canvas,
                  {{-1, -1, -1, -1, -1}, {-1, 4, 5, -1, -1}, {-1, 8, -1, -1, -1}, {-1, -1, -1, -1, -1}},
                  "clipped");
    RECT box{};
    EXPECT_EQ(GetClipBox(canvas.dc(), &box), COMPLEXREGION);
    EXPECT_EQ(box.left, 0) << "the clip box is logical";
    EXPECT_EQ(box.right, 2);
    DeleteObject(clip);
    DeleteObject(hole);
}

TEST(DibBlit, TwentyFourBitRowsArePaddedAndBlueComesFirst)
{
    // 3 x 2, bottom-up: stride 12 for 9 bytes of pixels.
    BITMAPINFO info{};
    info.bmiHeader = {40, 3, 2, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    std::vector<std::uint8_t> bits(24, 0x77);
    const COLORREF top[3] = {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255)};
    const COLORREF bottom[3] = {RGB(10, 20, 30), RGB(40, 50, 60), RGB(70, 80, 90)};
    for (int x = 0; x < 3; ++x) {
        std::uint8_t* b = &bits[std::size_t(x * 3)];  // stored row 0 = bottom row
        b[0] = GetBValue(bottom[x]);
        b[1] = GetGValue(bottom[x]);
        b[2] = GetRValue(bottom[x]);
        std::uint8_t* t = &bits[std::size_t(12 + x * 3)];
        t[0] = GetBValue(top[x]);
        t[1] = GetGValue(top[x]);
        t[2] = GetRValue(top[x]);
    }
    Canvas canvas(3, 2, kBack);
    EXPECT_EQ(StretchDIBits(canvas.dc(), 0, 0, 3, 2, 0, 0, 3, 2, bits.data(), &info, DIB_RGB_COLORS, SRCCOPY),
              2);
    for (int x = 0; x < 3; ++x) {
        EXPECT_EQ(canvas.At(x, 0), top[x]);
        EXPECT_EQ(canvas.At(x, 1), bottom[x]);
    }
    // StretchDIBits: the source y of a bottom-up picture counts from its bottom row too.
    canvas.Fill(kBack);
    StretchDIBits(canvas.dc(), 0, 0, 2, 1, 1, 1, 2, 1, bits.data(), &info, DIB_RGB_COLORS, SRCCOPY);
    EXPECT_EQ(canvas.At(0, 0), top[1]);
    EXPECT_EQ(canvas.At(1, 0), top[2]);
    EXPECT_EQ(canvas.At(2, 0), kBack);
}

TEST(DibBlit, StretchTakesTheNearestPixelAndMirrorsNegativeExtents)
{
    Dib8 down(true);
    Canvas canvas(8, 6, kBack);
    SetStretchBltMode(canvas.dc(), COLORONCOLOR);
    // Top-down: source y counts from the top row.
    StretchDIBits(canvas.dc(), 0, 0, 4, 4, 1, 1, 2, 2, down.bits.data(), down.info(), DIB_RGB_COLORS,
                  SRCCOPY);
    ExpectPicture(canvas, {{5, 5, 6, 6, -1}, {5, 5, 6, 6, -1}, {9, 9, 10, 10, -1}, {9, 9, 10, 10, -1}},
                  "doubled");
    canvas.Fill(kBack);
    StretchDIBits(canvas.dc(), 3, 0, -4, 1, 0, 0, 4, 1, down.bits.data(), down.info(), DIB_RGB_COLORS,
                  SRCCOPY);
    // The corners (3, 0) and (-1, 1) order to columns -1 .. 2, drawn right to left.
    ExpectPicture(canvas, {{2, 1, 0, -1, -1}}, "mirrored: a negative width runs left from x");
    canvas.Fill(kBack);
    StretchDIBits(canvas.dc(), 0, 0, 2, 1, 0, 0, 4, 1, down.bits.data(), down.info(), DIB_RGB_COLORS,
                  SRCCOPY);
    ExpectPicture(canvas, {{1, 3, -1}}, "halved: the pixel under each destination centre");
}

TEST(DibBlit, EightBitSectionsKeepTheirBitsAndConvertOnTheWay)
{
    Dib8 up(false);
    void* raw = nullptr;
    HBITMAP section = CreateDIBSection(nullptr, up.info(), DIB_RGB_COLORS, &raw, nullptr, 0);
    ASSERT_NE(section, nullptr);
    auto* bits = static_cast<std::uint8_t*>(raw);
    std::memcpy(bits, up.bits.data(), 12);
    BITMAP bm{};
    ASSERT_EQ(GetObject(section, sizeof bm, &bm), int(sizeof bm));
    EXPECT_EQ(bm.bmWidthBytes, 4);
    EXPECT_EQ(bm.bmBitsPixel, 8);
    EXPECT_EQ(bm.bmBits, raw);

    HDC mem = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(mem, section);
    EXPECT_EQ(GetPixel(mem, 0, 0), IndexColour(0)) << "the first stored row is the bottom one";
    EXPECT_EQ(GetPixel(mem, 1, 2), IndexColour(9));
    Canvas canvas(5, 4, kBack);
    BitBlt(canvas.dc(), 1, 0, 4, 3, mem, 0, 0, SRCCOPY);
    ExpectPicture(canvas, {{-1, 0, 1, 2, 3}, {-1, 4, 5, 6, 7}, {-1, 8, 9, 10, 11}},
                  "8-bit section as source");

    // Drawing into the section writes table indices (the nearest colour).
    RECT r{0, 0, 2, 1};
    HBRUSH b = CreateSolidBrush(IndexColour(7));
    FillRect(mem, &r, b);
    EXPECT_EQ(bits[8], 7);  // picture row 0 is stored last
    EXPECT_EQ(bits[9], 7);
    EXPECT_EQ(bits[10], 2) << "outside the rectangle the bits stay";
    // A new colour table changes what the same bits show.
    RGBQUAD grey{9, 9, 9, 0};
    EXPECT_EQ(SetDIBColorTable(mem, 7, 1, &grey), 1u);
    EXPECT_EQ(GetPixel(mem, 0, 0), RGB(9, 9, 9));
    SelectObject(mem, old);
    DeleteDC(mem);
    DeleteObject(b);
    EXPECT_TRUE(DeleteObject(section));
}

TEST(DibBlit, RasterOperationsCombineSourcePatternAndDestinationBits)
{
    const COLORREF S = RGB(0xF0, 0x0F, 0x55), D = RGB(0xCC, 0x33, 0xA5), P = RGB(0x81, 0x42, 0x18);
    struct Op {
        DWORD rop;
        COLORREF expected;
    };
    const Op ops[] = {
        {SRCCOPY, S},
        {SRCINVERT, S ^ D},
        {SRCAND, S & D},
        {SRCPAINT, S | D},
        {NOTSRCCOPY, ~S & 0xFFFFFF},
        {SRCERASE, S & ~D & 0xFFFFFF},
        {DSTINVERT, ~D & 0xFFFFFF},
        {PATCOPY, P},
        {PATINVERT, P ^ D},
        {MERGECOPY, P & S},
        {MERGEPAINT, (~S | D) & 0xFFFFFF},
        {BLACKNESS, 0},
        {WHITENESS, 0xFFFFFF},
    };
    Canvas source(4, 4, S);
    HBRUSH brush = CreateSolidBrush(P);
    for (const Op& op : ops) {
        Canvas dest(4, 4, D);
        HGDIOBJ old = SelectObject(dest.dc(), brush);
        EXPECT_TRUE(BitBlt(dest.dc(), 1, 1, 2, 2, source.dc(), 0, 0, op.rop));
        SelectObject(dest.dc(), old);
        EXPECT_EQ(dest.At(1, 1), op.expected) << std::hex << op.rop;
        EXPECT_EQ(dest.At(2, 2), op.expected) << std::hex << op.rop;
        EXPECT_EQ(dest.At(0, 0), D) << std::hex << op.rop;
        EXPECT_EQ(dest.At(3, 3), D) << std::hex << op.rop;
    }
    DeleteObject(brush);
}

TEST(DibBlit, CompatibleBitmapsAreColourAndStretchBltHonoursTheMode)
{
    HDC mem = CreateCompatibleDC(nullptr);
    // Compatible with a memory DC that holds the 1 x 1 default: still 32-bit colour.
    HBITMAP bmp = CreateCompatibleBitmap(mem, 2, 1);
    HGDIOBJ old = SelectObject(mem, bmp);
    SetPixel(mem, 0, 0, RGB(200, 0, 0));
    SetPixel(mem, 1, 0, RGB(0, 0, 200));
    EXPECT_EQ(GetPixel(mem, 0, 0), RGB(200, 0, 0));
    Canvas canvas(8, 1, kBack);
    SetStretchBltMode(canvas.dc(), COLORONCOLOR);
    StretchBlt(canvas.dc(), 0, 0, 8, 1, mem, 0, 0, 2, 1, SRCCOPY);
    for (int x = 0; x < 8; ++x) EXPECT_EQ(canvas.At(x, 0), x < 4 ? RGB(200, 0, 0) : RGB(0, 0, 200)) << x;
    SetStretchBltMode(canvas.dc(), HALFTONE);
    StretchBlt(canvas.dc(), 0, 0, 8, 1, mem, 0, 0, 2, 1, SRCCOPY);
    EXPECT_GT(GetRValue(canvas.At(0, 0)), GetBValue(canvas.At(0, 0)));
    EXPECT_GT(GetBValue(canvas.At(7, 0)), GetRValue(canvas.At(7, 0)));
    const COLORREF mid = canvas.At(4, 0);
    EXPECT_TRUE(GetRValue(mid) > 0 && GetBValue(mid) > 0) << "smooth scaling blends in the middle";
    // A bitmap selected in one DC is refused by another and cannot be deleted.
    HDC other = CreateCompatibleDC(nullptr);
    EXPECT_EQ(SelectObject(other, bmp), nullptr);
    EXPECT_FALSE(DeleteObject(bmp));
    SelectObject(mem, old);
    EXPECT_TRUE(DeleteObject(bmp));
    DeleteDC(other);
    DeleteDC(mem);
}

TEST(DibBlit, BitFieldSectionsReadTheirMasks)
{
    struct Case {
        const char* name;
        WORD bits;
        DWORD masks[3];
        std::uint32_t pixel;  // stored value of the first pixel
        COLORREF expected;
    };
    const Case cases[] = {
        {"5-5-5", 16, {0, 0, 0}, 0x7C00 | 0x001F, RGB(255, 0, 255)},
        {"5-6-5", 16, {0xF800, 0x07E0, 0x001F}, 0x07E0, RGB(0, 255, 0)},
        {"8-8-8 in 32 bits", 32, {0xFF0000, 0xFF00, 0xFF}, 0x00123456, RGB(0x12, 0x34, 0x56)},
        {"11-11-10",
         32,
         {0xFFE00000, 0x1FFC00, 0x3FF},
         0xFFE00000u | (0x400u << 10) | 0x3FF,
         RGB(255, 128, 255)},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> header(sizeof(BITMAPINFOHEADER) + 12);
        auto* info = reinterpret_cast<BITMAPINFO*>(header.data());
        const bool fields = c.masks[0] != 0;
        info->bmiHeader = {40, 3, 2, 1, c.bits, fields ? BI_BITFIELDS : BI_RGB, 0, 0, 0, 0, 0};
        std::memcpy(header.data() + 40, c.masks, 12);
        void* raw = nullptr;
        HBITMAP section = CreateDIBSection(nullptr, info, DIB_RGB_COLORS, &raw, nullptr, 0);
        ASSERT_NE(section, nullptr) << c.name;
        // The first stored row is the picture's bottom row.
        if (c.bits == 16)
            *static_cast<std::uint16_t*>(raw) = std::uint16_t(c.pixel);
        else
            *static_cast<std::uint32_t*>(raw) = c.pixel;
        HDC mem = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(mem, section);
        Canvas canvas(3, 2, kBack);
        BitBlt(canvas.dc(), 0, 0, 3, 2, mem, 0, 0, SRCCOPY);
        EXPECT_EQ(canvas.At(0, 1), c.expected) << c.name;
        EXPECT_EQ(canvas.At(0, 0), RGB(0, 0, 0)) << c.name;
        SelectObject(mem, old);
        DeleteDC(mem);
        DeleteObject(section);
    }
}

// A picture as large as a viewer's goes through the vector conversion, the writes past the
// cache and the stripes of rows on several threads: every pixel must still be its fields' top
// bytes, with a clip hole left alone, on each path and thread count.
TEST(DibBlit, LargeBitFieldPicturesKeepEveryPixelOnEveryPath)
{
    constexpr int kW = 1100, kH = 300;
    std::vector<std::uint8_t> header(sizeof(BITMAPINFOHEADER) + 12);
    auto* info = reinterpret_cast<BITMAPINFO*>(header.data());
    info->bmiHeader = {40, kW, -kH, 1, 32, BI_BITFIELDS, 0, 0, 0, 0, 0};
    const DWORD masks[3] = {0xFFE00000, 0x1FFC00, 0x3FF};  // 11-11-10
    std::memcpy(header.data() + 40, masks, sizeof masks);
    std::uint32_t* raw = nullptr;
    HBITMAP section =
        CreateDIBSection(nullptr, info, DIB_RGB_COLORS, reinterpret_cast<void**>(&raw), nullptr, 0);
    ASSERT_NE(section, nullptr);
    std::uint32_t s = 0x9E3779B9u;
    for (int i = 0; i < kW * kH; ++i) {
        s ^= s << 13;
        s ^= s >> 17;
        s ^= s << 5;
        raw[i] = s;
    }
    HDC mem = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(mem, section);
    const RECT hole{200, 50, 260, 120};
    for (const bool avx2 : {true, false})
        for (const int threads : {1, 8}) {
            platform::SetAvx2Paths(avx2);
            platform::ScopedRowDriverThreads scoped(threads);
            // One column of the source is skipped, so the rows start off the vector alignment.
            Canvas canvas(kW + 2, kH + 1, kBack);
            ExcludeClipRect(canvas.dc(), hole.left, hole.top, hole.right, hole.bottom);
            ASSERT_TRUE(BitBlt(canvas.dc(), 3, 1, kW - 1, kH, mem, 1, 0, SRCCOPY));
            int wrong = 0;
            for (int y = 0; y < kH + 1; ++y)
                for (int x = 0; x < kW + 2; ++x) {
                    const bool inHole = x >= hole.left && x < hole.right && y >= hole.top && y < hole.bottom;
                    COLORREF want = kBack;
                    if (!inHole && x >= 3 && y >= 1) {
                        const std::uint32_t v = raw[(y - 1) * kW + (x - 3) + 1];
                        want = RGB(v >> 24, (v >> 13) & 0xFF, (v >> 2) & 0xFF);
                    }
                    if (canvas.At(x, y) != want && ++wrong <= 3)
                        ADD_FAILURE()
                            << "avx2 " << avx2 << ", " << threads << " threads: pixel " << x << "," << y;
                }
            EXPECT_EQ(wrong, 0) << "avx2 " << avx2 << ", " << threads << " threads";
        }
    platform::SetAvx2Paths(true);
    SelectObject(mem, old);
    DeleteDC(mem);
    DeleteObject(section);
}

TEST(DibBlit, MalformedHeadersAreRefused)
{
    BITMAPINFO info{};
    const BITMAPINFOHEADER bad[] = {
        {12, 4, 4, 1, 8, BI_RGB, 0, 0, 0, 0, 0},         // header too small
        {40, 0, 4, 1, 8, BI_RGB, 0, 0, 0, 0, 0},         // no width
        {40, 4, 0, 1, 8, BI_RGB, 0, 0, 0, 0, 0},         // no height
        {40, 4, 4, 2, 8, BI_RGB, 0, 0, 0, 0, 0},         // planes
        {40, 4, 4, 1, 7, BI_RGB, 0, 0, 0, 0, 0},         // bit count
        {40, 4, 4, 1, 24, BI_BITFIELDS, 0, 0, 0, 0, 0},  // masks on 24 bits
        {40, 4, 4, 1, 8, 1, 0, 0, 0, 0, 0},              // run-length compression
    };
    Canvas canvas(4, 4, kBack);
    std::vector<std::uint8_t> bits(64, 1);
    for (const BITMAPINFOHEADER& h : bad) {
        info.bmiHeader = h;
        void* raw = reinterpret_cast<void*>(1);
        EXPECT_EQ(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &raw, nullptr, 0), nullptr);
        EXPECT_EQ(raw, nullptr);
        EXPECT_EQ(SetDIBitsToDevice(canvas.dc(), 0, 0, 4, 4, 0, 0, 0, 4, bits.data(), &info, DIB_RGB_COLORS),
                  0);
        EXPECT_EQ(
            StretchDIBits(canvas.dc(), 0, 0, 4, 4, 0, 0, 4, 4, bits.data(), &info, DIB_RGB_COLORS, SRCCOPY),
            0);
    }
    // Extents past the coordinate range fail instead of wrapping around.
    Canvas source(2, 2, RGB(9, 9, 9));
    EXPECT_FALSE(BitBlt(canvas.dc(), 0, 0, INT32_MAX, 2, source.dc(), 0, 0, SRCCOPY));
    EXPECT_FALSE(StretchBlt(canvas.dc(), INT32_MIN + 1, 0, 4, 4, source.dc(), 0, 0, INT32_MAX, 2, SRCCOPY));
    EXPECT_FALSE(PatBlt(canvas.dc(), INT32_MAX - 1, 0, INT32_MAX, 4, BLACKNESS));
    EXPECT_EQ(canvas.Count(kBack), 16);
}
