#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include <QImage>
#include <gtest/gtest.h>

#include "platform/gdi/dc.h"
#include "tests/platform/gdi/canvas.h"
#include "platform/kernel/cpu_features.h"
#include "tests/support/ui_helpers.h"
#include "tests/support/vector_paths.h"

using tarvenix::test::Canvas;

// Checks compare the boxes of inked pixels with the layout rectangle, so they hold for
// any font the system matches.

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);

HFONT Tahoma(int height, int weight = FW_NORMAL)
{
    return CreateFont(height, 0, 0, 0, weight, 0, 0, 0, RUSSIAN_CHARSET, 0, 0, 0, FF_SWISS, "Tahoma");
}

int Mid(LONG a, LONG b)
{
    return int((a + b) / 2);
}

}  // namespace

TEST(Text, DrawTextAlignsTheInkInItsRectangle)
{
    struct Case {
        const char* name;
        UINT format;
        // which edges of the ink must sit near the rectangle's (l, t, r, b); centre checks use -2
        int left, right, top, bottom;
    };
    const RECT box{20, 10, 220, 60};
    const Case cases[] = {
        {"left top", DT_LEFT | DT_TOP | DT_SINGLELINE, 20, -1, 10, -1},
        {"right", DT_RIGHT | DT_SINGLELINE, -1, 220, 10, -1},
        {"centre", DT_CENTER | DT_VCENTER | DT_SINGLELINE, -2, -2, -2, -2},
        {"bottom", DT_BOTTOM | DT_SINGLELINE, 20, -1, -1, 60},
    };
    HFONT font = Tahoma(-16);
    for (const Case& c : cases) {
        Canvas canvas(240, 80);
        SelectObject(canvas.dc(), font);
        SetBkMode(canvas.dc(), TRANSPARENT);
        RECT r = box;
        const int height = DrawText(canvas.dc(), "Ready 123", -1, &r, c.format);
        EXPECT_GT(height, 10) << c.name;
        const RECT ink = canvas.Ink(kWhite);
        ASSERT_LT(ink.left, ink.right) << c.name;
        EXPECT_GE(ink.left, box.left) << c.name;
        EXPECT_LE(ink.right, box.right) << c.name;
        EXPECT_GE(ink.top, box.top) << c.name;
        EXPECT_LE(ink.bottom, box.bottom) << c.name;
        if (c.left >= 0) {
            EXPECT_LE(ink.left - c.left, 3) << c.name;
        }
        if (c.right >= 0) {
            EXPECT_LE(c.right - ink.right, 3) << c.name;
        }
        if (c.top >= 0) {
            EXPECT_LE(ink.top - c.top, 8) << c.name;
        }
        if (c.bottom >= 0) {
            EXPECT_LE(c.bottom - ink.bottom, 8) << c.name;
        }
        if (c.left == -2) {
            EXPECT_LE(std::abs(Mid(ink.left, ink.right) - Mid(box.left, box.right)), 3) << c.name;
            EXPECT_LE(std::abs(Mid(ink.top, ink.bottom) - Mid(box.top, box.bottom)), 4) << c.name;
        }
    }
    DeleteObject(font);
}

TEST(Text, DrawTextClipsUnlessToldNotToAndMeasuresWithCalcRect)
{
    HFONT font = Tahoma(-14);
    Canvas canvas(300, 60);
    HDC dc = canvas.dc();
    SelectObject(dc, font);
    const char* text = "A rather long label that does not fit";
    RECT r{10, 10, 60, 40};
    DrawText(dc, text, -1, &r, DT_LEFT | DT_SINGLELINE);
    RECT ink = canvas.Ink(kWhite);
    EXPECT_GE(ink.left, 10);
    EXPECT_LE(ink.right, 60) << "clipped to the rectangle";
    canvas.Fill(kWhite);
    DrawText(dc, text, -1, &r, DT_LEFT | DT_SINGLELINE | DT_NOCLIP);
    EXPECT_GT(canvas.Ink(kWhite).right, 100);

    // DT_CALCRECT draws nothing and gives the text's size.
    canvas.Fill(kWhite);
    RECT calc{10, 10, 60, 40};
    const int h = DrawText(dc, text, -1, &calc, DT_LEFT | DT_SINGLELINE | DT_CALCRECT);
    SIZE extent{};
    GetTextExtentPoint32(dc, text, int(std::strlen(text)), &extent);
    EXPECT_EQ(calc.right - calc.left, extent.cx);
    EXPECT_EQ(calc.bottom - calc.top, extent.cy);
    EXPECT_EQ(h, extent.cy);
    EXPECT_EQ(canvas.Count(kWhite), 300 * 60);

    // Word breaks make lines of at most the width; the height counts them.
    RECT wrap{10, 0, 110, 60};
    const int lines = DrawText(dc, text, -1, &wrap, DT_LEFT | DT_WORDBREAK | DT_CALCRECT) / extent.cy;
    EXPECT_GE(lines, 3);
    canvas.Fill(kWhite);
    wrap = {10, 0, 110, 60};
    DrawText(dc, text, -1, &wrap, DT_LEFT | DT_WORDBREAK | DT_NOCLIP);
    ink = canvas.Ink(kWhite);
    EXPECT_LE(ink.right, 110);
    EXPECT_GT(ink.bottom - ink.top, 2 * extent.cy - extent.cy / 2);

    // An end ellipsis keeps the line inside the rectangle without clipping glyphs.
    canvas.Fill(kWhite);
    RECT el{10, 10, 90, 40};
    DrawText(dc, text, -1, &el, DT_LEFT | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOCLIP);
    ink = canvas.Ink(kWhite);
    EXPECT_LE(ink.right, 90);
    EXPECT_GT(ink.right, 60);
    DeleteObject(font);
}

TEST(Text, TextOutAlignsOnItsReferencePoint)
{
    HFONT font = Tahoma(-20, FW_BOLD);
    struct Case {
        UINT align;
        const char* name;
    };
    const Case cases[] = {{TA_LEFT | TA_TOP, "left top"},
                          {TA_RIGHT | TA_TOP, "right"},
                          {TA_CENTER | TA_TOP, "centre"},
                          {TA_LEFT | TA_BASELINE, "baseline"},
                          {TA_LEFT | TA_BOTTOM, "bottom"}};
    for (const Case& c : cases) {
        Canvas canvas(200, 80);
        SelectObject(canvas.dc(), font);
        SetBkMode(canvas.dc(), TRANSPARENT);
        SetTextAlign(canvas.dc(), c.align);
        TextOut(canvas.dc(), 100, 40, "HIH", 3);
        const RECT ink = canvas.Ink(kWhite);
        ASSERT_LT(ink.left, ink.right) << c.name;
        if ((c.align & TA_CENTER) == TA_CENTER) {
            EXPECT_LE(std::abs(Mid(ink.left, ink.right) - 100), 2) << c.name;
        } else if (c.align & TA_RIGHT) {
            EXPECT_TRUE(ink.right <= 100 && ink.right >= 96) << c.name << " " << ink.right;
        } else {
            EXPECT_TRUE(ink.left >= 100 && ink.left <= 104) << c.name << " " << ink.left;
        }
        if ((c.align & TA_BASELINE) == TA_BASELINE) {
            EXPECT_EQ(ink.bottom, 40) << c.name << ": capitals sit on the baseline";
        } else if (c.align & TA_BOTTOM) {
            EXPECT_LT(ink.bottom, 40) << c.name;
        } else {
            EXPECT_GE(ink.top, 40) << c.name;
        }
    }
    DeleteObject(font);
}

TEST(Text, BackgroundModeAndOpaqueRectangles)
{
    HFONT font = Tahoma(-14);
    Canvas canvas(120, 40);
    HDC dc = canvas.dc();
    SelectObject(dc, font);
    SetTextColor(dc, RGB(0, 0, 255));
    SetBkColor(dc, RGB(255, 255, 0));
    TextOut(dc, 5, 5, "Text", 4);  // OPAQUE by default: the cell takes the background colour
    SIZE s{};
    GetTextExtentPoint32(dc, "Text", 4, &s);
    EXPECT_GT(canvas.Count(RGB(255, 255, 0)), s.cx * s.cy / 2);
    EXPECT_EQ(canvas.At(5 + s.cx, 5), kWhite);
    canvas.Fill(kWhite);
    const RECT r{10, 10, 40, 30};
    ExtTextOut(dc, 0, 12, ETO_OPAQUE | ETO_CLIPPED, &r, "Clipped text", 12, nullptr);
    const RECT ink = canvas.Ink(kWhite);
    EXPECT_EQ(ink.left, 10);
    EXPECT_EQ(ink.top, 10);
    EXPECT_EQ(ink.right, 40);
    EXPECT_EQ(ink.bottom, 30);
    EXPECT_GT(canvas.Count(RGB(255, 255, 0)), 100);
}

TEST(Text, FontHeightsFollowTheSystemsMeaning)
{
    Canvas canvas(10, 10);
    HDC dc = canvas.dc();
    HFONT cell = CreateFont(24, 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, 0, "Tahoma");
    HFONT chars = CreateFont(-24, 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, 0, "Tahoma");
    TEXTMETRIC a{}, b{};
    SelectObject(dc, cell);
    GetTextMetrics(dc, &a);
    SelectObject(dc, chars);
    GetTextMetrics(dc, &b);
    EXPECT_LE(std::abs(a.tmHeight - 24), 1) << "a positive height is the cell height";
    EXPECT_GT(b.tmHeight, 24) << "a negative height is the character height, the cell is taller";
    EXPECT_EQ(b.tmHeight, b.tmAscent + b.tmDescent);

    CFont point;
    ASSERT_TRUE(point.CreatePointFont(100, "Tahoma"));
    LOGFONT lf{};
    point.GetLogFont(&lf);
    EXPECT_EQ(lf.lfHeight, -13) << "10 points at 96 pixels per inch";
    EXPECT_STREQ(lf.lfFaceName, "Tahoma");
    char face[32];
    GetTextFace(dc, sizeof face, face);
    EXPECT_STREQ(face, "Tahoma");
    SelectObject(dc, GetStockObject(SYSTEM_FONT));
    DeleteObject(cell);
    DeleteObject(chars);
}

TEST(Text, WeightAndItalicChangeTheGlyphs)
{
    auto inkOf = [](int weight, BYTE italic, RECT* box) {
        Canvas canvas(160, 40);
        HFONT f = CreateFont(-24, 0, 0, 0, weight, italic, 0, 0, 0, 0, 0, 0, 0, "Tahoma");
        SelectObject(canvas.dc(), f);
        TextOut(canvas.dc(), 4, 4, "IIII", 4);
        *box = canvas.Ink(kWhite);
        const int ink = 160 * 40 - canvas.Count(kWhite);
        TEXTMETRIC tm{};
        GetTextMetrics(canvas.dc(), &tm);
        EXPECT_EQ(tm.tmItalic, italic);
        EXPECT_EQ(tm.tmWeight, weight);
        SelectObject(canvas.dc(), GetStockObject(SYSTEM_FONT));
        DeleteObject(f);
        return ink;
    };
    RECT normalBox{}, boldBox{}, italicBox{};
    const int normal = inkOf(FW_NORMAL, 0, &normalBox);
    const int bold = inkOf(FW_BOLD, 0, &boldBox);
    inkOf(FW_NORMAL, 1, &italicBox);
    EXPECT_GT(bold, normal + normal / 5) << "bold strokes are heavier";
    // Upright capitals I have vertical strokes; slanted ones reach further right at the top.
    EXPECT_GT(italicBox.right - italicBox.left, normalBox.right - normalBox.left);
}

namespace {

// The fonts of the texts. A font remembers the texts it drew, so Fresh(f) makes a new object
// with font f's settings: drawing through fresh fonts gives the pictures of texts drawn the
// first time.
struct TextFonts {
    std::vector<HFONT> fonts;
    TextFonts()
    {
        for (std::size_t f = 0; f < kCount; ++f) fonts.push_back(Fresh(f));
    }
    ~TextFonts()
    {
        for (HFONT f : fonts) DeleteObject(f);
    }
    static constexpr std::size_t kCount = 5;
    static HFONT Fresh(std::size_t f)
    {
        switch (f) {
            case 0:
                return Tahoma(-13);
            case 1:
                return CreateFont(-17, 0, 0, 0, FW_BOLD, 1, 0, 0, 0, 0, 0, 0, FF_ROMAN, "Times");
            case 2:
                return CreateFont(-11, 0, 0, 0, FW_NORMAL, 0, 1, 1, 0, 0, 0, 0, FIXED_PITCH, "");
            case 3:
                return CreateFont(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, NONANTIALIASED_QUALITY, FF_SWISS,
                                  "Tahoma");
            default:
                return Tahoma(-38, FW_LIGHT);
        }
    }
};

// Texts of the value grid and of labels, in several fonts, over a background of colour bands
// (so partly covered pixels show their blend): aligned, cut, elided, opaque, and reaching past
// the picture's edges.
void DrawTexts(HDC dc, const TextFonts& fonts, bool freshFonts = false)
{
    const COLORREF bands[] = {RGB(255, 255, 255), RGB(12, 40, 200), RGB(240, 200, 16), RGB(90, 90, 90)};
    for (int i = 0; i < 16; ++i) {
        HBRUSH b = CreateSolidBrush(bands[i % 4]);
        RECT r{i * 15, 0, i * 15 + 15, 180};
        FillRect(dc, &r, b);
        DeleteObject(b);
    }
    const char* texts[] = {"-123.4567",
                           "1.17549435e-38",
                           "Ag",
                           "\xB0"
                           "C",
                           "nan",
                           "",
                           "0",
                           "-inf",
                           "16383",
                           "W/M qy|"};
    int y = -6;
    for (std::size_t f = 0; f < fonts.fonts.size(); ++f) {
        SelectObject(dc, fonts.fonts[f]);
        for (std::size_t t = 0; t < std::size(texts); ++t) {
            // Each of the three calls below through a font of its own, where asked.
            const auto fresh = [&] {
                if (freshFonts) DeleteObject(SelectObject(dc, TextFonts::Fresh(f)));
            };
            const int x = int((t * 37 + f * 11) % 230) - 9;
            SetTextColor(dc, t % 3 ? RGB(0, 0, 0) : RGB(255, 40, 120));
            SetBkMode(dc, t % 4 == 1 ? OPAQUE : TRANSPARENT);
            SetBkColor(dc, RGB(200, 255, 200));
            RECT cell{x, y, x + 20 + int(t) * 9, y + 19};
            fresh();
            const UINT align = t % 3 == 0 ? DT_RIGHT : t % 3 == 1 ? DT_CENTER : DT_LEFT;
            DrawText(dc, texts[t], -1, &cell,
                     align | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
            SetTextAlign(dc, t % 2 ? TA_BASELINE | TA_CENTER : TA_TOP | TA_LEFT);
            fresh();
            TextOut(dc, x + 30, y + 25, texts[t], int(std::strlen(texts[t])));
            const RECT clip{x + 4, y + 30, x + 40, y + 38};
            fresh();
            ExtTextOut(dc, x, y + 28, ETO_CLIPPED | (t % 2 ? ETO_OPAQUE : 0), &clip, texts[t],
                       UINT(std::strlen(texts[t])), nullptr);
            SetTextAlign(dc, TA_TOP | TA_LEFT);
            y = (y + 13) % 170;
        }
    }
    HGDIOBJ last = SelectObject(dc, GetStockObject(SYSTEM_FONT));
    if (freshFonts) DeleteObject(last);
}

}  // namespace

// A text drawn again (the value grid redraws the same numbers as it scrolls) gives the pixels
// it gave the first time, in the whole picture and inside a clip, whatever a font keeps between
// calls: the references are drawn through fonts that have drawn nothing yet.
TEST(Text, TextsDrawnAgainGiveTheSamePixels)
{
    HRGN ring = CreateEllipticRgn(10, 5, 230, 175);
    HRGN hole = CreateEllipticRgn(80, 60, 160, 120);
    CombineRgn(ring, ring, hole, RGN_DIFF);
    Canvas reference(240, 180), clippedReference(240, 180);
    {
        const TextFonts once;
        DrawTexts(reference.dc(), once, true);
        SelectClipRgn(clippedReference.dc(), ring);
        DrawTexts(clippedReference.dc(), once, true);
    }
    const TextFonts fonts;
    Canvas first(240, 180), again(240, 180), clipped(240, 180);
    DrawTexts(first.dc(), fonts);
    DrawTexts(again.dc(), fonts);
    SelectClipRgn(clipped.dc(), ring);
    DrawTexts(clipped.dc(), fonts);
    DeleteObject(ring);
    DeleteObject(hole);
    EXPECT_EQ(first.Pixels(), reference.Pixels());
    EXPECT_EQ(again.Pixels(), reference.Pixels());
    EXPECT_EQ(clipped.Pixels(), clippedReference.Pixels());
    EXPECT_NE(clipped.Pixels(), first.Pixels());  // the clip did cut the texts
    std::vector<std::uint32_t> both = first.Pixels();
    const std::vector<std::uint32_t> inClip = clipped.Pixels();
    both.insert(both.end(), inClip.begin(), inClip.end());
    QImage picture(reinterpret_cast<const uchar*>(both.data()), 240, 360, QImage::Format_RGB32);
    tarvenix::test::SaveTestOutput(picture.scaled(480, 720), "texts-drawn-again");
}

// The vector blends of a text's coverage (eight and sixteen pixels at a time) give the pixels
// of the plain one: texts in several colours over a background that runs through every level
// of each channel.
TEST(Text, TheVectorBlendsGiveThePixelsOfThePlainOne)
{
    auto draw = [](bool avx2, bool avx512) {
        const tarvenix::test::ScopedAvx2Paths paths(avx2);
        const tarvenix::test::ScopedAvx512Paths widePaths(avx512);
        Canvas c(256, 180);
        for (int y = 0; y < 180; ++y)
            for (int x = 0; x < 256; ++x) SetPixel(c.dc(), x, y, RGB(x, (x * 7 + y * 3) & 255, 255 - x));
        HFONT font = Tahoma(-15, FW_BOLD);
        HGDIOBJ old = SelectObject(c.dc(), font);
        SetBkMode(c.dc(), TRANSPARENT);
        const COLORREF colours[] = {RGB(0, 0, 0), RGB(255, 255, 255), RGB(255, 40, 120), RGB(3, 200, 77)};
        int y = 0;
        for (int line = 0; line < 9; ++line, y += 20) {
            SetTextColor(c.dc(), colours[line % 4]);
            // Runs of every length, so the last pixels of a run take the masked path.
            const std::string text =
                std::string("W8g@%&-_|").substr(0, std::size_t(line) + 1) + "123.4567e-8 MWQ";
            RECT cell{line * 3 - 2, y, 256 - line * 7, y + 20};  // runs cut at many places
            DrawText(c.dc(), text.c_str(), -1, &cell, DT_LEFT | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
        }
        SelectObject(c.dc(), old);
        DeleteObject(font);
        return c.Pixels();
    };
    if (!platform::UseAvx2()) GTEST_SKIP() << "no vector blend in this run";
    const std::vector<std::uint32_t> plain = draw(false, false);
    EXPECT_EQ(draw(true, false), plain);
    if (!platform::UseAvx512()) GTEST_SKIP() << "no sixteen-pixel blend in this run";
    EXPECT_EQ(draw(true, true), plain);
}

// Texts drawn together give the pixels of each drawn alone as ExtTextOut draws it: clipped and
// opaque rectangles, an empty text, a text in Latin-1, texts that move the current position,
// on an opaque background, inside a clip of several spans a row and a rectangular one; a list
// with a missing text draws nothing. Their widths found together are those measured one at a
// time.
TEST(Text, TextsDrawnAndMeasuredTogetherMatchThemOneAtATime)
{
    const std::string latin1 = "Gr\xB0\xE9";  // a degree sign and an e-acute, one byte each
    struct One {
        int x, y;
        const char* text;
        UINT flags;
        RECT rect;
    };
    const One plain[] = {
        {4, 2, "-123.4567", ETO_CLIPPED, {2, 2, 50, 18}},
        {60, 3, "1.5e+06", 0, {0, 0, 0, 0}},
        {100, 4, "cut short", ETO_CLIPPED, {98, 3, 130, 17}},
        {10, 22, "", 0, {8, 20, 30, 36}},
        {40, 22, latin1.c_str(), 0, {0, 0, 0, 0}},
        {90, 24, "-0.000123", ETO_CLIPPED, {92, 21, 150, 30}},
        {95, 25, "overlaps", 0, {0, 0, 0, 0}},
    };
    std::vector<One> opaque(std::begin(plain), std::end(plain));
    opaque[2].flags |= ETO_OPAQUE;
    opaque[3].flags |= ETO_OPAQUE;
    struct Case {
        const char* name;
        const std::vector<One>* texts;
        UINT align;
        int bkMode;
        int clip;  // 0 none, 1 a rectangle, 2 an ellipse with a hole
    };
    const std::vector<One> plainList(std::begin(plain), std::end(plain));
    const Case cases[] = {
        {"plain", &plainList, TA_LEFT | TA_TOP, TRANSPARENT, 0},
        {"plain in a rectangle", &plainList, TA_RIGHT | TA_BASELINE, TRANSPARENT, 1},
        {"plain in an ellipse", &plainList, TA_CENTER | TA_BOTTOM, TRANSPARENT, 2},
        {"opaque background", &plainList, TA_LEFT | TA_TOP, OPAQUE, 0},
        {"opaque rectangles", &opaque, TA_LEFT | TA_TOP, TRANSPARENT, 1},
        {"moving position", &plainList, TA_UPDATECP, TRANSPARENT, 0},
    };
    auto draw = [&](const Case& k, bool together) {
        Canvas canvas(160, 44);
        HDC dc = canvas.dc();
        HFONT font = Tahoma(-13);
        HGDIOBJ old = SelectObject(dc, font);
        SetBkMode(dc, k.bkMode);
        SetBkColor(dc, RGB(250, 240, 5));
        SetTextColor(dc, RGB(20, 20, 160));
        SetTextAlign(dc, k.align);
        MoveToEx(dc, 3, 30, nullptr);
        if (k.clip == 1) IntersectClipRect(dc, 7, 4, 140, 40);
        if (k.clip == 2) {
            HRGN ring = CreateEllipticRgn(0, 0, 160, 44);
            HRGN hole = CreateEllipticRgn(50, 10, 110, 34);
            CombineRgn(ring, ring, hole, RGN_DIFF);
            SelectClipRgn(dc, ring);
            DeleteObject(ring);
            DeleteObject(hole);
        }
        std::vector<POLYTEXT> list;
        for (const One& t : *k.texts) {
            if (together)
                list.push_back(
                    POLYTEXT{t.x, t.y, UINT(std::strlen(t.text)), t.text, t.flags, t.rect, nullptr});
            else
                ExtTextOut(dc, t.x, t.y, t.flags, &t.rect, t.text, UINT(std::strlen(t.text)), nullptr);
        }
        if (together) EXPECT_TRUE(PolyTextOut(dc, list.data(), int(list.size())));
        POINT at{};
        GetCurrentPositionEx(dc, &at);
        SelectObject(dc, old);
        DeleteObject(font);
        return std::make_pair(canvas.Pixels(), at.x);
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        const auto alone = draw(k, false), together = draw(k, true);
        EXPECT_EQ(together.first, alone.first);
        EXPECT_EQ(together.second, alone.second);
        EXPECT_NE(alone.first, Canvas(160, 44).Pixels());  // something was drawn
    }

    Canvas canvas(60, 20);
    HDC dc = canvas.dc();
    const std::vector<std::uint32_t> before = canvas.Pixels();
    const POLYTEXT missing[] = {{2, 2, 3, "abc", 0, {}, nullptr}, {20, 2, 4, nullptr, 0, {}, nullptr}};
    EXPECT_FALSE(PolyTextOut(dc, missing, 2));
    EXPECT_EQ(canvas.Pixels(), before);

    const CString words[] = {"-123.4567", "", latin1.c_str(), "1.5e+06", "-123.4567", "W"};
    int widths[6] = {};
    ASSERT_TRUE(platform::GetTextAdvances(dc, words, 6, widths));
    for (int i = 0; i < 6; ++i) {
        SIZE one{};
        ASSERT_TRUE(GetTextExtentPoint32(dc, words[i].c_str(), words[i].GetLength(), &one));
        EXPECT_EQ(widths[i], one.cx) << i;
    }
    EXPECT_FALSE(platform::GetTextAdvances(nullptr, words, 6, widths));
}
