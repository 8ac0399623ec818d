#include "outside/basecore/dib_file.h"

#include <cstdint>
#include <cstring>

#include "platform/gdi/dc.h"
#include "platform/gdi/gdi_object.h"
#include "platform/gdi/gdi_objects.h"
#include "platform/kernel/atomic_file.h"

namespace {

void Put16(std::vector<BYTE>& out, std::size_t at, std::uint32_t v)
{
    out[at] = BYTE(v);
    out[at + 1] = BYTE(v >> 8);
}

void Put32(std::vector<BYTE>& out, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i) out[at + std::size_t(i)] = BYTE(v >> (8 * i));
}

std::uint32_t Get32(const std::vector<BYTE>& in, std::size_t at)
{
    return std::uint32_t(in[at]) | std::uint32_t(in[at + 1]) << 8 | std::uint32_t(in[at + 2]) << 16 |
           std::uint32_t(in[at + 3]) << 24;
}

}  // namespace

std::vector<BYTE> BitmapToDIB(HBITMAP bitmap, HPALETTE)
{
    BITMAP info{};
    if (!bitmap || !::GetObject(bitmap, sizeof info, &info) || info.bmWidth <= 0 || info.bmHeight == 0)
        return {};
    const std::int64_t width = info.bmWidth;
    const std::int64_t height = info.bmHeight < 0 ? -std::int64_t(info.bmHeight) : info.bmHeight;
    const std::int64_t rowBytes = width * 4;
    const std::int64_t pixels = rowBytes * height;
    if (pixels > std::int64_t(0x7FFFFFFF) - 40) return {};
    std::vector<BYTE> dib(std::size_t(40 + pixels), 0);
    BITMAPINFO header{};
    header.bmiHeader.biSize = 40;
    header.bmiHeader.biWidth = LONG(width);
    header.bmiHeader.biHeight = LONG(height);
    header.bmiHeader.biPlanes = 1;
    header.bmiHeader.biBitCount = 32;
    header.bmiHeader.biCompression = BI_RGB;
    HDC dc = ::CreateCompatibleDC(nullptr);
    const int rows = ::GetDIBits(dc, bitmap, 0, UINT(height), dib.data() + 40, &header, DIB_RGB_COLORS);
    ::DeleteDC(dc);
    if (rows != height) return {};
    Put32(dib, 0, 40);
    Put32(dib, 4, std::uint32_t(width));
    Put32(dib, 8, std::uint32_t(height));
    Put16(dib, 12, 1);
    Put16(dib, 14, 32);
    Put32(dib, 16, 0);  // BI_RGB
    Put32(dib, 20, std::uint32_t(pixels));
    return dib;
}

BOOL SaveDIB(const std::vector<BYTE>& dib, const char* path)
{
    if (dib.size() < 40 || !path || !*path) return FALSE;
    const std::uint32_t headerSize = Get32(dib, 0);
    if (headerSize < 40 || headerSize > dib.size()) return FALSE;
    const std::uint64_t total = 14 + std::uint64_t(dib.size());
    if (total > 0xFFFFFFFFull) return FALSE;
    std::vector<BYTE> file(14, 0);
    file[0] = 'B';
    file[1] = 'M';
    Put32(file, 2, std::uint32_t(total));
    Put32(file, 10, 14 + headerSize);
    platform::AtomicFile out;
    if (!out.Create(path)) return FALSE;
    if (!out.Write(file.data(), file.size()) || !out.Write(dib.data(), dib.size())) return FALSE;
    return out.Commit();
}
