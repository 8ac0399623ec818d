#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <QImage>
#include <gtest/gtest.h>

#include "platform/forms/exceptions.h"
#include "plugin3d/model/render/memory_bitmap.h"
#include "tests/platform/gdi/canvas.h"
#include "tests/plugin3d/model/core/core_test_support.h"

namespace {

using Bitmap = TOwned<TKMemoryBitmap>;

Bitmap Make(std::int32_t format, std::int32_t width, std::int32_t height)
{
    Bitmap b(TKMemoryBitmap::New());
    b->SetPixelFormat(format);
    b->SetSize(width, height);
    return b;
}

std::vector<std::uint8_t> ReadFile(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::uint32_t U32(const std::vector<std::uint8_t>& bytes, std::size_t at)
{
    std::uint32_t v = 0;
    std::memcpy(&v, bytes.data() + at, 4);
    return v;
}

class TempFolder {
public:
    TempFolder()
    {
        char pattern[] = "/tmp/kelvora-bitmap-XXXXXX";
        m_path = mkdtemp(pattern);
    }
    ~TempFolder() { std::filesystem::remove_all(m_path); }
    std::filesystem::path File(const std::string& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

}  // namespace

TEST(MemoryBitmap, FormatsSizesAndFileLayout)
{
    TempFolder folder;
    struct Case {
        const char* name;
        std::int32_t format, width, height;
        std::int64_t rowBytes;
        std::size_t fileBytes, pixelsAt;
        std::uint16_t bits;
        std::uint32_t compression;
    };
    const std::vector<Case> cases = {
        {"1 x 1 of 24 bits", kpfRgb888, 1, 1, 4, 62, 58, 24, BI_RGB},
        {"10 x 10 of palette indices", kpfIndexed8, 10, 10, 12, 1198, 1078, 8, BI_RGB},
        {"3 x 2 of 5-5-5", kpfRgb555, 3, 2, 8, 14 + 44 + 16, 58, 16, BI_RGB},
        {"3 x 2 of 5-6-5", kpfRgb565, 3, 2, 8, 14 + 56 + 16, 70, 16, BI_BITFIELDS},
        {"3 x 2 of 8-8-8 in 32 bits", kpfRgb888x, 3, 2, 12, 14 + 56 + 24, 70, 32, BI_BITFIELDS},
        {"3 x 2 of 11-11-10", kpfRgb111110, 3, 2, 12, 14 + 56 + 24, 70, 32, BI_BITFIELDS},
    };
    for (const Case& c : cases) {
        Bitmap b = Make(c.format, c.width, c.height);
        EXPECT_EQ(b->RowBytes(), c.rowBytes) << c.name;
        EXPECT_EQ(b->ImageBytes(), c.rowBytes * c.height) << c.name;
        EXPECT_NE(b->Pixels(), nullptr) << c.name;
        EXPECT_EQ(b->GetSize(0), c.width);
        EXPECT_EQ(b->GetSize(1), c.height);
        EXPECT_EQ(b->GetSize(2), 0);
        const auto file = folder.File(std::string(c.name) + ".bmp");
        ASSERT_TRUE(b->SaveToFile(file.string())) << c.name;
        const auto bytes = ReadFile(file);
        ASSERT_EQ(bytes.size(), c.fileBytes) << c.name;
        EXPECT_EQ(bytes[0], 'B');
        EXPECT_EQ(bytes[1], 'M');
        EXPECT_EQ(U32(bytes, 2), c.fileBytes) << c.name;
        EXPECT_EQ(U32(bytes, 10), c.pixelsAt) << c.name;
        EXPECT_EQ(U32(bytes, 14), 40u) << c.name;
        EXPECT_EQ(std::int32_t(U32(bytes, 22)), c.height) << c.name << ": rows run bottom-up";
        EXPECT_EQ(bytes[28], c.bits) << c.name;
        EXPECT_EQ(U32(bytes, 30), c.compression) << c.name;
    }
    const auto masks = ReadFile(folder.File("3 x 2 of 11-11-10.bmp"));
    EXPECT_EQ(U32(masks, 54), 0xFFE00000u);
    EXPECT_EQ(U32(masks, 58), 0x1FFC00u);
    EXPECT_EQ(U32(masks, 62), 0x3FFu);
    EXPECT_EQ(U32(masks, 66), 0u);

    // 0 x 0 keeps the format without pixel memory; a negative size is refused.
    Bitmap empty = Make(kpfRgb888x, 0, 0);
    EXPECT_EQ(empty->PixelFormat(), kpfRgb888x);
    EXPECT_EQ(empty->Pixels(), nullptr);
    EXPECT_EQ(empty->ImageBytes(), 0);
    empty->SetSize(-4, 5);
    EXPECT_EQ(empty->GetSize(1), 0);
    Bitmap none = Make(kpfNone, 8, 8);
    EXPECT_EQ(none->Pixels(), nullptr);
    EXPECT_EQ(none->ImageBytes(), 0);
}

TEST(MemoryBitmap, PixelMemoryIsMappedInWholeSteps)
{
    Bitmap b = Make(kpfRgb888x, 100, 100);
    EXPECT_EQ(b->MappingSize(), 0x80000);
    static_cast<std::uint8_t*>(b->Pixels())[0] = 0x5A;
    b->SetSize(120, 120);
    EXPECT_EQ(b->MappingSize(), 0x80000) << "the same mapping holds the larger picture";
    EXPECT_EQ(static_cast<std::uint8_t*>(b->Pixels())[0], 0x5A) << "and still shows what it held";
    b->SetSize(400, 400);
    EXPECT_EQ(b->MappingSize(), 0x100000);
    // More than one mapping may hold is refused with the system's error, leaving no picture.
    EXPECT_THROW(b->SetSize(40000, 40000), EOSError);
    EXPECT_EQ(b->Pixels(), nullptr);
    EXPECT_EQ(b->GetSize(0), 0) << "no rows are claimed that are not there";
    EXPECT_EQ(b->ImageBytes(), 0);
    b->SetSize(10, 10);
    EXPECT_NE(b->Pixels(), nullptr);
}

TEST(MemoryBitmap, PalettesGoIntoTheColourTables)
{
    kelvora::test::EventLog log;  // outlives the bitmap, which reports its end to it
    Bitmap b = Make(kpfIndexed8, 4, 1);
    b->Events().Add(log.Handler());
    const PALETTEENTRY ramp[2] = {{10, 20, 30, 0}, {200, 100, 50, 0}};
    b->SetPaletteEntries(64, 2, ramp);
    EXPECT_EQ(log.Codes(), (std::vector<int>{4, 5})) << "format 1: the change is an update";
    ASSERT_NE(b->Palette(), nullptr);
    PALETTEENTRY entries[256];
    ASSERT_EQ(GetPaletteEntries(b->Palette(), 0, 256, entries), 256u);
    PALETTEENTRY system[256];
    GetSystemPaletteEntries(nullptr, 0, 256, system);
    EXPECT_EQ(entries[255].peRed, system[255].peRed) << "a new palette starts as the system palette";
    const TKBitmapInfoBlock info = b->Info();
    EXPECT_EQ(info.colors[64].rgbBlue, 30);
    EXPECT_EQ(info.colors[64].rgbGreen, 20);
    EXPECT_EQ(info.colors[64].rgbRed, 10);
    EXPECT_EQ(info.colors[65].rgbRed, 200);
    RGBQUAD table[256];
    b->LockCanvas();
    ASSERT_EQ(GetDIBColorTable(b->Canvas(), 0, 256, table), 256u);
    b->UnlockCanvas();
    EXPECT_EQ(table[65].rgbBlue, 50);

    // Entries past 255 are cut; a start past 255 does nothing.
    const PALETTEENTRY white[4] = {
        {255, 255, 255, 0}, {255, 255, 255, 0}, {255, 255, 255, 0}, {255, 255, 255, 0}};
    b->SetPaletteEntries(254, 4, white);
    b->SetPaletteEntries(256, 4, white);
    EXPECT_EQ(b->Info().colors[255].rgbRed, 255);

    // Another palette is copied, not taken.
    std::vector<std::uint8_t> logBytes(sizeof(LOGPALETTE) + 255 * sizeof(PALETTEENTRY));
    auto* logPalette = reinterpret_cast<LOGPALETTE*>(logBytes.data());
    logPalette->palVersion = 0x300;
    logPalette->palNumEntries = 256;
    for (int i = 0; i < 256; ++i) logPalette->palPalEntry[i] = {BYTE(i), 0, BYTE(255 - i), 0};
    HPALETTE other = CreatePalette(logPalette);
    b->SetPalette(other);
    EXPECT_NE(b->Palette(), other);
    EXPECT_EQ(b->Info().colors[3].rgbBlue, 252);
    DeleteObject(other);
    b->SetPalette(nullptr);
    EXPECT_EQ(b->Palette(), nullptr);
}

TEST(MemoryBitmap, SavedFilesShowTheSameColoursReadBack)
{
    TempFolder folder;
    // Two pixels of each format: pure red in the bottom-left, a mix in the bottom-right.
    struct Case {
        std::int32_t format;
        std::vector<std::uint8_t> pixels;  // the first row in memory
        QRgb left, right;
    };
    const std::vector<Case> cases = {
        {kpfIndexed8, {1, 2}, qRgb(255, 0, 0), qRgb(10, 20, 30)},
        {kpfRgb555, {0x00, 0x7C, 0x1F, 0x00}, qRgb(248, 0, 0), qRgb(0, 0, 248)},
        {kpfRgb565, {0x00, 0xF8, 0xE0, 0x07}, qRgb(248, 0, 0), qRgb(0, 252, 0)},
        {kpfRgb888, {0x00, 0x00, 0xFF, 0x30, 0x20, 0x10}, qRgb(255, 0, 0), qRgb(0x10, 0x20, 0x30)},
        {kpfRgb888x,
         {0x00, 0x00, 0xFF, 0x00, 0x30, 0x20, 0x10, 0x00},
         qRgb(255, 0, 0),
         qRgb(0x10, 0x20, 0x30)},
    };
    for (const Case& c : cases) {
        Bitmap b = Make(c.format, 2, 2);
        if (c.format == kpfIndexed8) {
            const PALETTEENTRY two[2] = {{255, 0, 0, 0}, {10, 20, 30, 0}};
            b->SetPaletteEntries(1, 2, two);
        }
        std::memcpy(b->Pixels(), c.pixels.data(), c.pixels.size());
        const auto file = folder.File("format-" + std::to_string(c.format) + ".bmp");
        ASSERT_TRUE(b->SaveToFile(file.string()));
        QImage read(QString::fromStdString(file.string()));
        ASSERT_FALSE(read.isNull()) << "format " << c.format;
        EXPECT_EQ(read.pixel(0, 1) & 0xFFFFFF, c.left & 0xFFFFFF) << "format " << c.format;
        EXPECT_EQ(read.pixel(1, 1) & 0xFFFFFF, c.right & 0xFFFFFF) << "format " << c.format;
    }

    // Qt's reader cannot take 11-bit fields; the platform's DIB reader shows the file.
    Bitmap b = Make(kpfRgb111110, 2, 1);
    static_cast<std::uint32_t*>(b->Pixels())[0] = 0xFFE00000;
    static_cast<std::uint32_t*>(b->Pixels())[1] = (1024u << 21) | (2047u << 10) | 256u;
    const auto file = folder.File("format-6.bmp");
    ASSERT_TRUE(b->SaveToFile(file.string()));
    const auto bytes = ReadFile(file);
    tarvenix::test::Canvas shown(2, 1);
    std::uint32_t header[14], rows[2];  // the file's info block and pixels, aligned
    std::memcpy(header, bytes.data() + 14, sizeof header);
    std::memcpy(rows, bytes.data() + U32(bytes, 10), sizeof rows);
    SetDIBitsToDevice(shown.dc(), 0, 0, 2, 1, 0, 0, 0, 1, rows, reinterpret_cast<const BITMAPINFO*>(header),
                      DIB_RGB_COLORS);
    EXPECT_EQ(shown.At(0, 0), RGB(255, 0, 0));
    EXPECT_EQ(shown.At(1, 0), RGB(0x80, 0xFF, 0x40));
}

TEST(MemoryBitmap, SavingInsideAnUpdateLeavesTheFileAlone)
{
    TempFolder folder;
    const auto file = folder.File("kept.bmp");
    {
        std::ofstream out(file, std::ios::binary);
        out << "previous picture";
    }
    kelvora::test::EventLog log;
    Bitmap b = Make(kpfRgb888, 4, 4);
    b->Events().Add(log.Handler());
    b->BeginUpdate();
    EXPECT_FALSE(b->SaveToFile(file.string()));
    b->EndUpdate();
    EXPECT_EQ(ReadFile(file).size(), 16u);
    Bitmap none = Make(kpfNone, 4, 4);
    EXPECT_FALSE(none->SaveToFile(file.string()));
    EXPECT_EQ(ReadFile(file).size(), 16u);
    log.Clear();
    EXPECT_TRUE(b->SaveToFile(file.string()));
    EXPECT_EQ(log.Codes(), (std::vector<int>{kmbSaveStarted, kmbSaveFinished}));
    EXPECT_EQ(ReadFile(file).size(), 14u + 44u + 48u);
    // A folder that does not exist: the system's error, the events still closed.
    log.Clear();
    EXPECT_THROW(b->SaveToFile(folder.File("missing/x.bmp").string()), EOSError);
    EXPECT_EQ(log.Codes(), (std::vector<int>{kmbSaveStarted, kmbSaveFinished}));
}

TEST(MemoryBitmap, CopiesAndShowsItsPicture)
{
    kelvora::test::EventLog log;
    Bitmap a = Make(kpfRgb888x, 3, 2);
    auto* pixels = static_cast<std::uint32_t*>(a->Pixels());
    for (int i = 0; i < 6; ++i) pixels[i] = 0x010203u * std::uint32_t(i + 1);
    Bitmap b(TKMemoryBitmap::New());
    b->Events().Add(log.Handler());
    b->Assign(a.get());
    EXPECT_EQ(log.Codes(), (std::vector<int>{4, 5}));
    EXPECT_EQ(b->PixelFormat(), kpfRgb888x);
    EXPECT_EQ(b->GetSize(0), 3);
    EXPECT_EQ(std::memcmp(b->Pixels(), a->Pixels(), 24), 0);
    EXPECT_NE(b->Pixels(), a->Pixels());

    // The picture is selected into the bitmap's device context, bottom row first in memory.
    tarvenix::test::Canvas shown(3, 2);
    b->LockCanvas();
    BitBlt(shown.dc(), 0, 0, 3, 2, b->Canvas(), 0, 0, SRCCOPY);
    b->UnlockCanvas();
    EXPECT_EQ(shown.At(0, 0), RGB(0x04, 0x08, 0x0C));
    EXPECT_EQ(shown.At(0, 1), RGB(0x01, 0x02, 0x03));

    std::int32_t width = 0, height = 0;
    EXPECT_EQ(GetScreenPixelFormat(&width, &height), kpfRgb111110) << "32 bits count as 11-11-10";
    EXPECT_GT(width, 0);
    EXPECT_GT(height, 0);
}
