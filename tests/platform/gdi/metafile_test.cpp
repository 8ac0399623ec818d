#include <string>

#include <QByteArray>
#include <QImage>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

#include "tests/platform/gdi/canvas.h"

using tarvenix::test::Canvas;

namespace {

// One drawing, run against any DC: direct, or recorded and replayed.
void DrawScene(HDC dc, HBITMAP picture)
{
    HPEN red = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
    HPEN wide = CreatePen(PS_SOLID, 3, RGB(0, 0, 200));
    HBRUSH green = CreateSolidBrush(RGB(0, 160, 0));
    HFONT font = CreateFont(-14, 0, 0, 0, FW_BOLD, 0, 0, 0, 0, 0, 0, 0, 0, "Tahoma");
    SelectObject(dc, red);
    MoveToEx(dc, 2, 2, nullptr);
    LineTo(dc, 60, 30);
    SelectObject(dc, green);
    Rectangle(dc, 5, 35, 40, 55);
    SelectObject(dc, wide);
    Ellipse(dc, 45, 35, 75, 58);
    const POINT tri[] = {{70, 5}, {95, 25}, {65, 28}};
    Polygon(dc, tri, 3);
    SetROP2(dc, R2_XORPEN);
    IntersectClipRect(dc, 0, 0, 50, 60);
    MoveToEx(dc, 0, 20, nullptr);
    LineTo(dc, 100, 20);
    SelectClipRgn(dc, nullptr);
    SetROP2(dc, R2_COPYPEN);
    RECT fill{80, 40, 95, 50};
    FillRect(dc, &fill, green);
    SelectObject(dc, font);
    SetTextColor(dc, RGB(20, 20, 120));
    SetBkMode(dc, TRANSPARENT);
    SetTextAlign(dc, TA_CENTER | TA_BASELINE);
    TextOut(dc, 50, 75, "Scale & <grid>", 14);
    RECT label{0, 78, 100, 95};
    DrawText(dc, "right", -1, &label, DT_RIGHT | DT_SINGLELINE);
    HDC mem = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(mem, picture);
    BitBlt(dc, 104, 4, 8, 6, mem, 0, 0, SRCCOPY);
    SelectObject(mem, old);
    DeleteDC(mem);
    SelectObject(dc, GetStockObject(BLACK_PEN));
    SelectObject(dc, GetStockObject(WHITE_BRUSH));
    SelectObject(dc, GetStockObject(SYSTEM_FONT));
    DeleteObject(red);
    DeleteObject(wide);
    DeleteObject(green);
    DeleteObject(font);
}

HBITMAP Checker()
{
    HBITMAP b = CreateCompatibleBitmap(nullptr, 8, 6);
    HDC mem = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(mem, b);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x) SetPixel(mem, x, y, (x + y) % 2 ? RGB(250, 200, 0) : RGB(0, 90, 90));
    SelectObject(mem, old);
    DeleteDC(mem);
    return b;
}

}  // namespace

TEST(MetaFile, ReplayDrawsWhatDirectDrawingDraws)
{
    HBITMAP picture = Checker();
    Canvas direct(120, 100);
    DrawScene(direct.dc(), picture);

    // A frame of 120 x 100 pixels, given in hundredths of a millimetre.
    const RECT frame{0, 0, 3175, 2646};
    HDC rec = CreateEnhMetaFile(direct.dc(), nullptr, &frame, nullptr);
    ASSERT_NE(rec, nullptr);
    DrawScene(rec, picture);
    HENHMETAFILE mf = CloseEnhMetaFile(rec);
    ASSERT_NE(mf, nullptr);
    EXPECT_FALSE(DeleteDC(rec)) << "closing ends the recording DC";

    Canvas replayed(120, 100);
    const RECT at{0, 0, 120, 100};
    ASSERT_TRUE(PlayEnhMetaFile(replayed.dc(), mf, &at));
    EXPECT_EQ(direct.Pixels(), replayed.Pixels());
    EXPECT_NE(direct.At(49, 20), direct.At(50, 20)) << "the clipped XOR line stops at the clip edge";
    // Played elsewhere, the drawing moves with the rectangle.
    Canvas moved(120, 100);
    const RECT shifted{7, 3, 127, 103};
    PlayEnhMetaFile(moved.dc(), mf, &shifted);
    EXPECT_EQ(moved.At(2 + 7 + 10, 2 + 3 + 5), direct.At(2 + 10, 2 + 5)) << "a pixel of the red line";
    EXPECT_EQ(moved.At(104 + 7, 4 + 3), direct.At(104, 4)) << "a pixel of the picture";

    HENHMETAFILE copy = CopyEnhMetaFile(mf, nullptr);
    EXPECT_EQ(GetEnhMetaFileSvg(copy), GetEnhMetaFileSvg(mf));
    EXPECT_TRUE(DeleteEnhMetaFile(copy));
    EXPECT_TRUE(DeleteEnhMetaFile(mf));
    EXPECT_FALSE(DeleteEnhMetaFile(mf));
    EXPECT_EQ(GetEnhMetaFileSvg(mf), "");
    DeleteObject(picture);
}

TEST(MetaFile, SvgHoldsEveryPrimitiveAndIsWellFormed)
{
    HBITMAP picture = Checker();
    CMetaFileDC meta;
    ASSERT_TRUE(meta.CreateEnhanced(nullptr, nullptr, nullptr, nullptr));
    DrawScene(meta, picture);
    const std::string svg = meta.GetSvg();
    HENHMETAFILE mf = meta.CloseEnhanced();
    EXPECT_EQ(GetEnhMetaFileSvg(mf), svg);

    QXmlStreamReader xml(QByteArray::fromStdString(svg));
    std::map<std::string, int> elements;
    QString textContent, image;
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement) {
            ++elements[xml.name().toString().toStdString()];
            if (xml.name() == QLatin1String("text") && textContent.isEmpty()) textContent = xml.readElementText();
            else if (xml.name() == QLatin1String("image"))
                image = xml.attributes().value(QLatin1String("http://www.w3.org/1999/xlink"), QLatin1String("href")).toString();
        }
    }
    ASSERT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_EQ(elements["svg"], 1);
    EXPECT_EQ(elements["line"], 2);
    EXPECT_EQ(elements["rect"], 2);
    EXPECT_EQ(elements["ellipse"], 1);
    EXPECT_EQ(elements["polygon"], 1);
    EXPECT_EQ(elements["text"], 2);
    EXPECT_EQ(elements["image"], 1);
    EXPECT_EQ(elements["clipPath"], 1);
    EXPECT_EQ(elements["g"], 1);
    EXPECT_EQ(textContent.toStdString(), "Scale & <grid>") << "text is escaped";
    EXPECT_NE(svg.find("text-anchor=\"middle\""), std::string::npos);
    EXPECT_NE(svg.find("stroke=\"#ff0000\""), std::string::npos);
    EXPECT_NE(svg.find("fill=\"#00a000\""), std::string::npos);

    // The embedded picture is the bitmap's pixels.
    const QString prefix = QStringLiteral("data:image/png;base64,");
    ASSERT_TRUE(image.startsWith(prefix));
    const QImage png = QImage::fromData(QByteArray::fromBase64(image.mid(prefix.size()).toLatin1()), "PNG");
    ASSERT_EQ(png.size(), QSize(8, 6));
    EXPECT_EQ(png.pixel(0, 0) & 0xFFFFFF, 0x005A5Au);
    EXPECT_EQ(png.pixel(1, 0) & 0xFFFFFF, 0xFAC800u);
    DeleteEnhMetaFile(mf);
    DeleteObject(picture);
}
