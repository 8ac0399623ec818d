#include "plugin3d/model/render/memory_bitmap.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/forms/exceptions.h"
#include "platform/kernel/atomic_file.h"
#include "platform/kernel/file_mapping.h"
#include "platform/last_error.h"

IMPLEMENT_TCLASS(TKMemoryBitmap, TKCustomChangeObject)

namespace {

bool HasBitFields(std::int32_t format)
{
    return format == kpfRgb565 || format == kpfRgb888x || format == kpfRgb111110;
}

// Bytes of the info block a file carries: header and colour table (format 1), header and
// masks and a zero dword (bit fields), header and one zero dword (the others).
std::uint32_t InfoBytesInFile(std::int32_t format)
{
    if (format == kpfIndexed8) return 40 + 256 * 4;
    if (HasBitFields(format)) return 40 + 16;
    return 40 + 4;
}

RGBQUAD Quad(const PALETTEENTRY& e)
{
    return {e.peBlue, e.peGreen, e.peRed, 0};
}

}  // namespace

int PixelFormatBits(std::int32_t format)
{
    static constexpr int kBits[7] = {0, 8, 16, 16, 24, 32, 32};
    return format >= 0 && format <= 6 ? kBits[format] : 0;
}

TKMemoryBitmap::TKMemoryBitmap()
{
    InitializeCriticalSection(&m_canvasLock);
}

void TKMemoryBitmap::Init()
{
    TKCustomChangeObject::Init();
    m_info = std::make_unique<TKBitmapInfoBlock>();
    std::memset(m_info.get(), 0, sizeof(TKBitmapInfoBlock));
    m_dc = CreateCompatibleDC(nullptr);
    m_format = kpfNone;
}

TKMemoryBitmap::~TKMemoryBitmap()
{
    Done();
    if (m_dc) {
        {
            // Going away waits for the canvas lock: the section must not be left selected.
            TKWaitingSectionGuard guard(m_canvasLock);
            ReleaseSection();
        }
        DeleteDC(m_dc);
    }
    if (m_mapping) CloseHandle(m_mapping);
    if (m_palette) DeleteObject(m_palette);
    DeleteCriticalSection(&m_canvasLock);
}

std::int32_t TKMemoryBitmap::PixelFormat() const
{
    auto* self = const_cast<TKMemoryBitmap*>(this);
    TKObjectLock lock(*self);
    return m_format;
}

std::int32_t TKMemoryBitmap::GetSize(int selector) const
{
    auto* self = const_cast<TKMemoryBitmap*>(this);
    TKObjectLock lock(*self);
    if (selector == 0) return m_info->header.biWidth;
    if (selector == 1) return m_info->header.biHeight;
    return 0;
}

std::int64_t TKMemoryBitmap::RowBytes() const
{
    auto* self = const_cast<TKMemoryBitmap*>(this);
    TKObjectLock lock(*self);
    return (std::int64_t(PixelFormatBits(m_format)) / 8 * m_info->header.biWidth + 3) & ~std::int64_t(3);
}

std::int64_t TKMemoryBitmap::ImageBytes() const
{
    auto* self = const_cast<TKMemoryBitmap*>(this);
    TKObjectLock lock(*self);
    return RowBytes() * m_info->header.biHeight;
}

void* TKMemoryBitmap::Pixels() const
{
    return m_pixels;
}

HPALETTE TKMemoryBitmap::Palette() const
{
    return m_palette;
}

std::int64_t TKMemoryBitmap::MappingSize() const
{
    return m_mappingSize;
}

TKBitmapInfoBlock TKMemoryBitmap::Info() const
{
    auto* self = const_cast<TKMemoryBitmap*>(this);
    TKObjectLock lock(*self);
    return *m_info;
}

void TKMemoryBitmap::ReleaseSection()
{
    TKSectionGuard guard(m_canvasLock);
    if (m_section) {
        SelectObject(m_dc, m_replaced);
        DeleteObject(m_section);
    }
    m_section = nullptr;
    m_replaced = nullptr;
    m_pixels = nullptr;
}

void TKMemoryBitmap::SetMappingSize(std::int64_t bytes)
{
    const std::int64_t rounded = bytes <= 0 ? 0 : (bytes + kMappingStep - 1) / kMappingStep * kMappingStep;
    if (rounded == m_mappingSize) return;
    if (m_mapping) CloseHandle(m_mapping);
    m_mapping = nullptr;
    m_mappingSize = 0;
    if (bytes <= 0 || bytes > kMappingLimit) return;
    m_mapping = CreateFileMapping(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, DWORD(rounded >> 32),
                                  DWORD(rounded), nullptr);
    if (!m_mapping) RaiseLastOSError();
    m_mappingSize = rounded;
}

void TKMemoryBitmap::SetFormat(std::int32_t width, std::int32_t height, std::int32_t format)
{
    if (width < 0 || height < 0) return;
    ReleaseSection();
    std::memset(m_info.get(), 0, sizeof(TKBitmapInfoBlock));
    BITMAPINFOHEADER& h = m_info->header;
    h.biSize = 40;
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = WORD(PixelFormatBits(format));
    h.biCompression = HasBitFields(format) ? BI_BITFIELDS : BI_RGB;
    m_format = format;
    if (format < kpfIndexed8 || format > kpfRgb111110 || width < 1 || height < 1) return;
    if (format == kpfIndexed8) {
        PALETTEENTRY entries[256] = {};
        if (m_palette) GetPaletteEntries(m_palette, 0, 256, entries);
        for (int i = 0; i < 256; ++i) m_info->colors[i] = Quad(entries[i]);
    } else if (HasBitFields(format)) {
        static constexpr DWORD kMasks[7][3] = {{0, 0, 0},
                                               {0, 0, 0},
                                               {0, 0, 0},
                                               {0xF800, 0x07E0, 0x001F},
                                               {0, 0, 0},
                                               {0xFF0000, 0xFF00, 0xFF},
                                               {0xFFE00000, 0x1FFC00, 0x3FF}};
        std::memcpy(m_info->colors, kMasks[format], sizeof(kMasks[format]));
    }
    HBITMAP section = nullptr;
    void* bits = nullptr;
    try {
        const std::int64_t bytes = RowBytes() * height;
        if (bytes > kMappingLimit) {
            // More than one mapping may hold: refused, not given memory of another kind.
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            RaiseLastOSError();
        }
        SetMappingSize(bytes);
        section = CreateDIBSection(m_dc, reinterpret_cast<const BITMAPINFO*>(m_info.get()), DIB_RGB_COLORS,
                                   &bits, m_mapping, 0);
        if (!section) RaiseLastOSError();
    } catch (...) {
        // Without pixel memory the bitmap has no size either: nothing may read or save rows
        // that are not there.
        h.biWidth = 0;
        h.biHeight = 0;
        throw;
    }
    TKSectionGuard guard(m_canvasLock);
    m_replaced = SelectObject(m_dc, section);
    m_section = section;
    m_pixels = bits;
}

void TKMemoryBitmap::SetPixelFormat(std::int32_t format)
{
    TKObjectLock lock(*this);
    if (format == m_format) return;
    WithinUpdate([&] { SetFormat(m_info->header.biWidth, m_info->header.biHeight, format); });
}

void TKMemoryBitmap::SetSize(std::int32_t width, std::int32_t height)
{
    TKObjectLock lock(*this);
    if (width == m_info->header.biWidth && height == m_info->header.biHeight) return;
    WithinUpdate([&] { SetFormat(width, height, m_format); });
}

void TKMemoryBitmap::CopyPaletteToColorTables()
{
    PALETTEENTRY entries[256] = {};
    if (m_palette) GetPaletteEntries(m_palette, 0, 256, entries);
    RGBQUAD quads[256];
    for (int i = 0; i < 256; ++i) quads[i] = Quad(entries[i]);
    TKSectionGuard guard(m_canvasLock);
    if (m_section) SetDIBColorTable(m_dc, 0, 256, quads);
    // The info block is what a saved file carries: it must show the same colours.
    if (m_format == kpfIndexed8) std::memcpy(m_info->colors, quads, sizeof(quads));
}

void TKMemoryBitmap::SetPaletteEntries(int start, int count, const PALETTEENTRY* entries)
{
    if (start < 0 || start >= 256) return;
    count = std::min(count, 256 - start);
    TKObjectLock lock(*this);
    auto change = [&] {
        TKSectionGuard guard(m_canvasLock);
        if (!m_palette) {
            std::vector<std::uint8_t> log(sizeof(LOGPALETTE) + 255 * sizeof(PALETTEENTRY));
            auto* palette = reinterpret_cast<LOGPALETTE*>(log.data());
            palette->palVersion = 0x300;
            palette->palNumEntries = 256;
            GetSystemPaletteEntries(m_dc, 0, 256, palette->palPalEntry);
            m_palette = CreatePalette(palette);
            if (!m_palette) RaiseLastOSError();
        }
        if (count > 0 && entries) ::SetPaletteEntries(m_palette, UINT(start), UINT(count), entries);
        CopyPaletteToColorTables();
    };
    if (m_format == kpfIndexed8)
        WithinUpdate(change);
    else
        change();
}

void TKMemoryBitmap::SetPaletteHandle(HPALETTE palette)
{
    TKObjectLock lock(*this);
    auto change = [&] {
        TKSectionGuard guard(m_canvasLock);
        if (m_palette && m_palette != palette) DeleteObject(m_palette);
        m_palette = palette;
        if (m_palette) CopyPaletteToColorTables();
    };
    if (m_format == kpfIndexed8)
        WithinUpdate(change);
    else
        change();
}

void TKMemoryBitmap::SetPalette(HPALETTE palette)
{
    if (!palette) return SetPaletteHandle(nullptr);
    if (palette == m_palette) return;
    PALETTEENTRY entries[256] = {};
    const UINT n = GetPaletteEntries(palette, 0, 256, entries);
    SetPaletteEntries(0, int(n), entries);
}

void TKMemoryBitmap::Assign(TPersistent* source)
{
    auto* other = ObjectAs<TKMemoryBitmap>(source);
    if (!other) return TKCustomChangeObject::Assign(source);
    if (other == this) return;
    // What the other holds is copied under its own lock first, so two bitmaps assigned to
    // each other on two threads never wait on each other.
    std::int32_t format, width, height;
    std::vector<std::uint8_t> pixels;
    std::vector<PALETTEENTRY> palette;
    {
        TKObjectLock lock(*other);
        format = other->m_format;
        width = other->m_info->header.biWidth;
        height = other->m_info->header.biHeight;
        if (other->m_palette) {
            palette.resize(256);
            palette.resize(GetPaletteEntries(other->m_palette, 0, 256, palette.data()));
        }
        if (other->m_pixels) {
            const auto* p = static_cast<const std::uint8_t*>(other->m_pixels);
            pixels.assign(p, p + other->ImageBytes());
        }
    }
    TKObjectLock lock(*this);
    WithinUpdate([&] {
        if (palette.empty())
            SetPaletteHandle(nullptr);
        else
            SetPaletteEntries(0, int(palette.size()), palette.data());
        SetFormat(width, height, format);
        if (m_pixels && !pixels.empty())
            std::memcpy(m_pixels, pixels.data(),
                        std::min<std::size_t>(pixels.size(), std::size_t(ImageBytes())));
    });
}

bool TKMemoryBitmap::SaveToFile(const std::string& fileName)
{
    TKObjectLock lock(*this);
    if (IsUpdating() || m_format == kpfNone) return false;
    FireEvent(kmbSaveStarted, 0);
    try {
        const std::uint32_t infoBytes = InfoBytesInFile(m_format);
        const std::uint64_t imageBytes = std::uint64_t(ImageBytes());
        BITMAPFILEHEADER head{};
        head.bfType = 0x4D42;  // "BM"
        head.bfSize = DWORD(14 + infoBytes + imageBytes);
        head.bfOffBits = 14 + infoBytes;
        platform::AtomicFile file;
        if (!file.Create(fileName.c_str()) || !file.Write(&head, sizeof head) ||
            !file.Write(m_info.get(), infoBytes) || (imageBytes && !file.Write(m_pixels, imageBytes)) ||
            !file.Commit())
            RaiseLastOSError();
    } catch (...) {
        FireEvent(kmbSaveFinished, 0);
        throw;
    }
    FireEvent(kmbSaveFinished, 0);
    return true;
}

std::int32_t GetScreenPixelFormat(std::int32_t* width, std::int32_t* height)
{
    if (width) *width = GetDeviceCaps(nullptr, HORZRES);
    if (height) *height = GetDeviceCaps(nullptr, VERTRES);
    // This platform counts as the NT branch: 32 bits are 11-11-10.
    switch (GetDeviceCaps(nullptr, BITSPIXEL)) {
        case 8:
            return kpfIndexed8;
        case 15:
            return kpfRgb555;
        case 16:
            return kpfRgb565;
        case 24:
            return kpfRgb888;
        case 32:
            return kpfRgb111110;
        default:
            return kpfNone;
    }
}
