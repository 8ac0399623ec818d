#include <cstdint>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "platform/kernel/file_mapping.h"
#include "platform/last_error.h"
#include "tests/platform/gdi/canvas.h"

using tarvenix::test::Canvas;

namespace {

// A BITMAPINFO of a 32-bit picture with three bit-field masks after the header.
struct Info32 {
    std::vector<std::uint8_t> bytes = std::vector<std::uint8_t>(sizeof(BITMAPINFOHEADER) + 16, 0);
    Info32(int width, int height, DWORD compression, DWORD red = 0, DWORD green = 0, DWORD blue = 0)
    {
        info()->bmiHeader = {40, width, height, 1, 32, compression, 0, 0, 0, 0, 0};
        const DWORD masks[3] = {red, green, blue};
        std::memcpy(bytes.data() + sizeof(BITMAPINFOHEADER), masks, sizeof masks);
    }
    BITMAPINFO* info() { return reinterpret_cast<BITMAPINFO*>(bytes.data()); }
};

// Blits the whole bitmap onto a canvas of its size.
void Show(HBITMAP bitmap, Canvas& canvas)
{
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap);
    BitBlt(canvas.dc(), 0, 0, canvas.width(), canvas.height(), dc, 0, 0, SRCCOPY);
    SelectObject(dc, old);
    DeleteDC(dc);
}

}  // namespace

TEST(DibSection, PixelsLiveInTheGivenMappingFromTheOffset)
{
    HANDLE mapping = CreateFileMapping(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, nullptr);
    ASSERT_NE(mapping, nullptr);
    auto* memory = static_cast<std::uint32_t*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0));
    ASSERT_NE(memory, nullptr);
    // A 3 x 2 bottom-up picture from byte 64: row 0 in memory is the bottom row.
    memory[16] = 0x00FF0000;
    memory[19] = 0x000000FF;
    Info32 plain(3, 2, BI_RGB);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, plain.info(), DIB_RGB_COLORS, &bits, mapping, 64);
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(static_cast<std::uint32_t*>(bits)[0], 0x00FF0000u) << "what the mapping holds shows";
    DIBSECTION ds{};
    ASSERT_EQ(GetObject(bitmap, sizeof ds, &ds), int(sizeof ds));
    EXPECT_EQ(ds.dshSection, mapping);
    EXPECT_EQ(ds.dsOffset, 64u);

    // Drawing goes into the mapping; the view outlives the mapping's handle.
    CloseHandle(mapping);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap);
    SetPixel(dc, 2, 1, RGB(0, 255, 0));  // bottom-right: memory row 0, column 2
    SelectObject(dc, old);
    DeleteDC(dc);
    EXPECT_EQ(memory[18] & 0xFFFFFF, 0x0000FF00u);
    Canvas canvas(3, 2);
    Show(bitmap, canvas);
    EXPECT_EQ(canvas.At(0, 1), RGB(255, 0, 0));
    EXPECT_EQ(canvas.At(0, 0), RGB(0, 0, 255));
    EXPECT_EQ(canvas.At(2, 1), RGB(0, 255, 0));
    EXPECT_TRUE(DeleteObject(bitmap));
    UnmapViewOfFile(memory);
}

TEST(DibSection, MappingsThatCannotHoldThePictureAreRefused)
{
    HANDLE mapping = CreateFileMapping(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, nullptr);
    HANDLE readOnly = CreateFileMapping(INVALID_HANDLE_VALUE, nullptr, PAGE_READONLY, 0, 4096, nullptr);
    struct Case {
        const char* name;
        HANDLE section;
        DWORD offset;
        int width, height;
    };
    const std::vector<Case> cases = {
        {"offset not a multiple of 4", mapping, 2, 2, 2},
        {"picture past the mapping's end", mapping, 4096 - 12, 2, 2},
        {"picture larger than the mapping", mapping, 0, 64, 17},
        {"read-only mapping", readOnly, 0, 2, 2},
        {"not a mapping", reinterpret_cast<HANDLE>(std::intptr_t(0x1234)), 0, 2, 2},
    };
    for (const Case& c : cases) {
        Info32 plain(c.width, c.height, BI_RGB);
        void* bits = reinterpret_cast<void*>(1);
        SetLastError(0);
        EXPECT_EQ(CreateDIBSection(nullptr, plain.info(), DIB_RGB_COLORS, &bits, c.section, c.offset),
                  nullptr)
            << c.name;
        EXPECT_EQ(bits, nullptr) << c.name;
        EXPECT_NE(GetLastError(), 0u) << c.name;
    }
    Info32 fits(64, 16, BI_RGB);
    HBITMAP whole = CreateDIBSection(nullptr, fits.info(), DIB_RGB_COLORS, nullptr, mapping, 0);
    EXPECT_NE(whole, nullptr) << "exactly the mapping's size";
    DeleteObject(whole);
    CloseHandle(mapping);
    CloseHandle(readOnly);
}

TEST(DibSection, ElevenElevenTenBitFieldsShowTheirColours)
{
    Info32 fields(4, 1, BI_BITFIELDS, 0xFFE00000, 0x1FFC00, 0x3FF);
    std::uint32_t* bits = nullptr;
    HBITMAP bitmap =
        CreateDIBSection(nullptr, fields.info(), DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0);
    ASSERT_NE(bitmap, nullptr);
    bits[0] = 0xFFE00000;                           // red 2047
    bits[1] = 0x001FFC00;                           // green 2047
    bits[2] = 0x000003FF;                           // blue 1023
    bits[3] = (1024u << 21) | (512u << 10) | 256u;  // half, quarter, quarter
    Canvas canvas(4, 1);
    Show(bitmap, canvas);
    EXPECT_EQ(canvas.At(0, 0), RGB(255, 0, 0));
    EXPECT_EQ(canvas.At(1, 0), RGB(0, 255, 0));
    EXPECT_EQ(canvas.At(2, 0), RGB(0, 0, 255));
    EXPECT_EQ(canvas.At(3, 0), RGB(128, 64, 64));

    // Drawn into, the colours go to their fields.
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap);
    SetPixel(dc, 0, 0, RGB(255, 128, 255));
    SelectObject(dc, old);
    DeleteDC(dc);
    EXPECT_EQ(bits[0], (0xFFu << 24) | (0x80u << 13) | (0xFFu << 2));
    DeleteObject(bitmap);
}

TEST(DibSection, TheSystemPaletteIsOneFixedTable)
{
    EXPECT_EQ(GetSystemPaletteEntries(nullptr, 0, 0, nullptr), 256u);
    std::vector<PALETTEENTRY> all(256);
    ASSERT_EQ(GetSystemPaletteEntries(nullptr, 0, 256, all.data()), 256u);
    auto rgb = [](const PALETTEENTRY& e) { return RGB(e.peRed, e.peGreen, e.peBlue); };
    EXPECT_EQ(rgb(all[0]), RGB(0, 0, 0));
    EXPECT_EQ(rgb(all[7]), RGB(192, 192, 192));
    EXPECT_EQ(rgb(all[10]), RGB(0, 0, 0));
    EXPECT_EQ(rgb(all[10 + 36 * 5 + 6 * 2 + 1]), RGB(255, 102, 51));
    EXPECT_EQ(rgb(all[226]), RGB(12, 12, 12));
    EXPECT_EQ(rgb(all[245]), RGB(243, 243, 243));
    EXPECT_EQ(rgb(all[249]), RGB(255, 0, 0));
    EXPECT_EQ(rgb(all[255]), RGB(255, 255, 255));
    for (const auto& e : all) EXPECT_EQ(e.peFlags, 0);
    // The default palette's static colours are the table's ends.
    PALETTEENTRY stock[20];
    ASSERT_EQ(GetPaletteEntries(reinterpret_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE)), 0, 20, stock),
              20u);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(rgb(stock[i]), rgb(all[std::size_t(i)]));
        EXPECT_EQ(rgb(stock[10 + i]), rgb(all[std::size_t(246 + i)]));
    }
    PALETTEENTRY tail[8];
    EXPECT_EQ(GetSystemPaletteEntries(nullptr, 250, 8, tail), 6u);
    EXPECT_EQ(GetSystemPaletteEntries(nullptr, 256, 8, tail), 0u);
}
