#include <immintrin.h>

#include <algorithm>
#include <bit>
#include <climits>
#include <cstring>
#include <unordered_map>

#include "platform/gdi/dib_format_internal.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/gdi_objects.h"
#include "platform/kernel/cpu_features.h"
#include "platform/kernel/file_mapping.h"
#include "platform/last_error.h"
#include "platform/resources/resources.h"

namespace platform::gdi {

std::ptrdiff_t DibStride(int width, int bitCount)
{
    return static_cast<std::ptrdiff_t>(((std::int64_t(width) * bitCount + 31) / 32) * 4);
}

namespace {

struct Channel {
    int shift = 0;
    int bits = 0;
};

Channel ChannelOf(DWORD mask)
{
    Channel c;
    if (!mask) return c;
    c.shift = std::countr_zero(mask);
    c.bits = std::popcount(mask >> c.shift);
    return c;
}

// A field of `bits` bits widened to eight by repeating its top bits.
inline std::uint32_t Widen(std::uint32_t v, int bits)
{
    if (bits >= 8) return v >> (bits - 8);
    if (bits <= 0) return 0;
    std::uint32_t r = v << (8 - bits);
    for (int have = bits; have < 8; have += bits) r |= r >> bits;
    return r & 0xFF;
}

bool IsPlain32(const DibLayout& l)
{
    return l.bitCount == 32 && (l.compression == BI_RGB ||
                                (l.masks[0] == 0xFF0000 && l.masks[1] == 0xFF00 && l.masks[2] == 0xFF));
}

void Masks16(const DibLayout& l, DWORD out[3])
{
    if (l.compression == BI_BITFIELDS)
        std::memcpy(out, l.masks, sizeof(DWORD) * 3);
    else {
        out[0] = 0x7C00;
        out[1] = 0x03E0;
        out[2] = 0x001F;
    }
}

// Eight-bit pixels through a full colour table, eight at a time: the repaint of a view
// window goes through here for every pixel.
__attribute__((target("avx2"))) void LookUpAvx2(const std::uint32_t* palette, const std::uint8_t* index,
                                                int count, std::uint32_t* out, std::uint32_t alpha)
{
    const __m256i top = _mm256_set1_epi32(int(alpha));
    int i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m256i at = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(index + i)));
        const __m256i v = _mm256_i32gather_epi32(reinterpret_cast<const int*>(palette), at, 4);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), _mm256_or_si256(v, top));
    }
    for (; i < count; ++i) out[i] = palette[index[i]] | alpha;
}

// A 32-bit layout whose three fields are contiguous and at least eight bits wide (8-8-8,
// 11-11-10, 10-10-10): each colour is its field's top byte, so a pixel takes a shift and a
// mask per colour. The shifts bring each field's top byte down to bits 0-7.
struct WideFields {
    int red = 0, green = 0, blue = 0;
};

bool WideFieldsOf(const DibLayout& l, WideFields& out)
{
    if (l.bitCount != 32 || l.compression != BI_BITFIELDS) return false;
    int shifts[3];
    for (int i = 0; i < 3; ++i) {
        const Channel c = ChannelOf(l.masks[i]);
        if (c.bits < 8 || (l.masks[i] >> c.shift) != (c.bits >= 32 ? ~0u : (1u << c.bits) - 1)) return false;
        shifts[i] = c.shift + c.bits - 8;
    }
    out = {shifts[0], shifts[1], shifts[2]};
    return true;
}

inline std::uint32_t WidePixel(std::uint32_t v, const WideFields& f, std::uint32_t alpha)
{
    return (((v >> f.red) & 0xFF) << 16) | (((v >> f.green) & 0xFF) << 8) | ((v >> f.blue) & 0xFF) | alpha;
}

constexpr int kStreamPixels = 1024;

struct WideFieldsVector {
    __attribute__((target("avx2"))) WideFieldsVector(const WideFields& f, std::uint32_t alpha)
        : red(_mm_cvtsi32_si128(f.red)),
          green(_mm_cvtsi32_si128(f.green)),
          blue(_mm_cvtsi32_si128(f.blue)),
          byte(_mm256_set1_epi32(0xFF)),
          top(_mm256_set1_epi32(int(alpha)))
    {
    }
    __attribute__((target("avx2"), always_inline)) __m256i Convert(const std::uint32_t* p) const
    {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        const __m256i r = _mm256_slli_epi32(_mm256_and_si256(_mm256_srl_epi32(v, red), byte), 16);
        const __m256i g = _mm256_slli_epi32(_mm256_and_si256(_mm256_srl_epi32(v, green), byte), 8);
        const __m256i b = _mm256_and_si256(_mm256_srl_epi32(v, blue), byte);
        return _mm256_or_si256(_mm256_or_si256(r, g), _mm256_or_si256(b, top));
    }
    __m128i red, green, blue;
    __m256i byte, top;
};

// The drawing systems' 32-bit pictures (11-11-10) reach the screen through here on every
// repaint: eight pixels at a time.
__attribute__((target("avx2"))) void WideFieldsAvx2(const std::uint32_t* p, int count, std::uint32_t* out,
                                                    const WideFields& f, std::uint32_t alpha)
{
    const WideFieldsVector vf(f, alpha);
    int i = 0;
    if (count >= kStreamPixels) {
        // Long rows are written past the cache: a whole picture does not fit in it anyway, and
        // reading the target's old lines before overwriting them would cost a third stream.
        for (; i < count && (reinterpret_cast<std::uintptr_t>(out + i) & 31); ++i)
            out[i] = WidePixel(p[i], f, alpha);
        for (; i + 8 <= count; i += 8)
            _mm256_stream_si256(reinterpret_cast<__m256i*>(out + i), vf.Convert(p + i));
        _mm_sfence();
    }
    for (; i + 8 <= count; i += 8)
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), vf.Convert(p + i));
    for (; i < count; ++i) out[i] = WidePixel(p[i], f, alpha);
}

void ConvertWideFields(const std::uint32_t* p, int count, std::uint32_t* out, const WideFields& f,
                       std::uint32_t alpha)
{
    if (UseAvx2()) {
        WideFieldsAvx2(p, count, out, f, alpha);
        return;
    }
    for (int i = 0; i < count; ++i) out[i] = WidePixel(p[i], f, alpha);
}

}  // namespace

void ConvertRow(const DibLayout& l, const std::uint8_t* row, int x, int count, std::uint32_t* out,
                std::uint32_t alpha)
{
    if (WideFields f; !IsPlain32(l) && WideFieldsOf(l, f)) {
        ConvertWideFields(reinterpret_cast<const std::uint32_t*>(row) + x, count, out, f, alpha);
        return;
    }
    if (l.bitCount == 8 && l.paletteSize >= 256) {
        if (UseAvx2()) {
            LookUpAvx2(l.palette, row + x, count, out, alpha);
        } else {
            for (int i = 0; i < count; ++i) out[i] = l.palette[row[x + i]] | alpha;
        }
        return;
    }
    ConvertRow(l, row, x, count, out);
    if (alpha)
        for (int i = 0; i < count; ++i) out[i] |= alpha;
}

void ConvertRow(const DibLayout& l, const std::uint8_t* row, int x, int count, std::uint32_t* out)
{
    auto lookup = [&](unsigned index) { return index < unsigned(l.paletteSize) ? l.palette[index] : 0u; };
    switch (l.bitCount) {
        case 32:
            if (IsPlain32(l)) {
                const auto* p = reinterpret_cast<const std::uint32_t*>(row) + x;
                for (int i = 0; i < count; ++i) out[i] = p[i] & 0x00FFFFFFu;
            } else if (WideFields f; WideFieldsOf(l, f)) {
                ConvertWideFields(reinterpret_cast<const std::uint32_t*>(row) + x, count, out, f, 0);
            } else {
                const Channel r = ChannelOf(l.masks[0]), g = ChannelOf(l.masks[1]), b = ChannelOf(l.masks[2]);
                const auto* p = reinterpret_cast<const std::uint32_t*>(row) + x;
                for (int i = 0; i < count; ++i) {
                    const std::uint32_t v = p[i];
                    out[i] = (Widen((v & l.masks[0]) >> r.shift, r.bits) << 16) |
                             (Widen((v & l.masks[1]) >> g.shift, g.bits) << 8) |
                             Widen((v & l.masks[2]) >> b.shift, b.bits);
                }
            }
            break;
        case 24: {
            const std::uint8_t* p = row + std::ptrdiff_t(x) * 3;
            for (int i = 0; i < count; ++i, p += 3)
                out[i] = std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16);
            break;
        }
        case 16: {
            DWORD m[3];
            Masks16(l, m);
            const Channel r = ChannelOf(m[0]), g = ChannelOf(m[1]), b = ChannelOf(m[2]);
            const std::uint8_t* p = row + std::ptrdiff_t(x) * 2;
            for (int i = 0; i < count; ++i, p += 2) {
                const std::uint32_t v = std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8);
                out[i] = (Widen((v & m[0]) >> r.shift, r.bits) << 16) |
                         (Widen((v & m[1]) >> g.shift, g.bits) << 8) | Widen((v & m[2]) >> b.shift, b.bits);
            }
            break;
        }
        case 8:
            if (l.paletteSize >= 256)  // every index has its colour
                for (int i = 0; i < count; ++i) out[i] = l.palette[row[x + i]];
            else
                for (int i = 0; i < count; ++i) out[i] = lookup(row[x + i]);
            break;
        case 4:
            for (int i = 0; i < count; ++i) {
                const int px = x + i;
                const std::uint8_t byte = row[px >> 1];
                out[i] = lookup((px & 1) ? (byte & 0x0F) : (byte >> 4));
            }
            break;
        case 1:
            for (int i = 0; i < count; ++i) {
                const int px = x + i;
                out[i] = lookup((row[px >> 3] >> (7 - (px & 7))) & 1);
            }
            break;
        default:
            std::fill(out, out + count, 0u);
    }
}

void StoreRow(BitmapObj& bmp, std::uint8_t* row, int x, int count, const std::uint32_t* in)
{
    switch (bmp.bitCount) {
        case 32:
            if (bmp.compression == BI_RGB ||
                (bmp.masks[0] == 0xFF0000 && bmp.masks[1] == 0xFF00 && bmp.masks[2] == 0xFF)) {
                auto* p = reinterpret_cast<std::uint32_t*>(row) + x;
                for (int i = 0; i < count; ++i) p[i] = in[i] & 0x00FFFFFFu;
            } else {
                const Channel r = ChannelOf(bmp.masks[0]), g = ChannelOf(bmp.masks[1]),
                              b = ChannelOf(bmp.masks[2]);
                auto* p = reinterpret_cast<std::uint32_t*>(row) + x;
                auto field = [](std::uint32_t v8, Channel c) {
                    const std::uint32_t v = c.bits >= 8 ? v8 << (c.bits - 8) : v8 >> (8 - c.bits);
                    return v << c.shift;
                };
                for (int i = 0; i < count; ++i)
                    p[i] = field((in[i] >> 16) & 0xFF, r) | field((in[i] >> 8) & 0xFF, g) |
                           field(in[i] & 0xFF, b);
            }
            break;
        case 24: {
            std::uint8_t* p = row + std::ptrdiff_t(x) * 3;
            for (int i = 0; i < count; ++i, p += 3) {
                p[0] = std::uint8_t(in[i]);
                p[1] = std::uint8_t(in[i] >> 8);
                p[2] = std::uint8_t(in[i] >> 16);
            }
            break;
        }
        case 16: {
            DibLayout l;
            l.compression = bmp.compression;
            std::memcpy(l.masks, bmp.masks, sizeof(l.masks));
            DWORD m[3];
            Masks16(l, m);
            const Channel r = ChannelOf(m[0]), g = ChannelOf(m[1]), b = ChannelOf(m[2]);
            auto field = [](std::uint32_t v8, Channel c) {
                return (c.bits >= 8 ? v8 << (c.bits - 8) : v8 >> (8 - c.bits)) << c.shift;
            };
            std::uint8_t* p = row + std::ptrdiff_t(x) * 2;
            for (int i = 0; i < count; ++i, p += 2) {
                const std::uint32_t v =
                    field((in[i] >> 16) & 0xFF, r) | field((in[i] >> 8) & 0xFF, g) | field(in[i] & 0xFF, b);
                p[0] = std::uint8_t(v);
                p[1] = std::uint8_t(v >> 8);
            }
            break;
        }
        case 8: {
            // Nearest colour of the table; runs of one colour are common, so remember the last.
            std::uint32_t lastColour = 0xFFFFFFFFu;
            std::uint8_t lastIndex = 0;
            for (int i = 0; i < count; ++i) {
                const std::uint32_t c = in[i] & 0x00FFFFFFu;
                if (c != lastColour) {
                    int best = 0;
                    long bestDist = LONG_MAX;
                    for (std::size_t k = 0; k < bmp.colors.size(); ++k) {
                        const RGBQUAD& q = bmp.colors[k];
                        const long dr = long((c >> 16) & 0xFF) - q.rgbRed,
                                   dg = long((c >> 8) & 0xFF) - q.rgbGreen, db = long(c & 0xFF) - q.rgbBlue;
                        const long d = dr * dr + dg * dg + db * db;
                        if (d < bestDist) {
                            bestDist = d;
                            best = int(k);
                            if (d == 0) break;
                        }
                    }
                    lastColour = c;
                    lastIndex = std::uint8_t(best);
                }
                row[x + i] = lastIndex;
            }
            break;
        }
        default:
            break;
    }
}

DibLayout LayoutOf(const BitmapObj& bmp, std::vector<std::uint32_t>& palette)
{
    DibLayout l;
    l.width = bmp.width;
    l.height = bmp.height;
    l.topDown = bmp.topDown;
    l.bitCount = bmp.bitCount;
    l.compression = bmp.compression;
    std::memcpy(l.masks, bmp.masks, sizeof(l.masks));
    l.stride = bmp.stride;
    palette.resize(bmp.colors.size());
    for (std::size_t i = 0; i < bmp.colors.size(); ++i)
        palette[i] = (std::uint32_t(bmp.colors[i].rgbRed) << 16) |
                     (std::uint32_t(bmp.colors[i].rgbGreen) << 8) | bmp.colors[i].rgbBlue;
    l.palette = palette.data();
    l.paletteSize = static_cast<int>(palette.size());
    return l;
}

std::shared_ptr<BitmapObj> MakeBitmap32(int width, int height)
{
    if (width <= 0 || height <= 0) return nullptr;
    auto b = std::make_shared<BitmapObj>();
    b->image = QImage(width, height, QImage::Format_RGB32);
    if (b->image.isNull()) return nullptr;
    b->image.fill(0u);
    b->width = width;
    b->height = height;
    b->bitCount = 32;
    b->stride = b->image.bytesPerLine();
    b->bits = b->image.bits();
    return b;
}

bool ParseDib(const BITMAPINFO* info, UINT usage, const PaletteObj* dcPalette, ParsedDib& out)
{
    if (!info) return false;
    const BITMAPINFOHEADER& h = info->bmiHeader;
    if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biSize > 4096) return false;
    if (h.biWidth <= 0 || h.biHeight == 0 || h.biHeight == INT_MIN || h.biPlanes != 1) return false;
    const int bits = h.biBitCount;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
    const bool fields = h.biCompression == BI_BITFIELDS;
    if (h.biCompression != BI_RGB && !(fields && (bits == 16 || bits == 32))) return false;

    DibLayout& l = out.layout;
    l = DibLayout{};
    l.width = h.biWidth;
    l.height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    l.topDown = h.biHeight < 0;
    l.bitCount = bits;
    l.compression = h.biCompression;
    l.stride = DibStride(l.width, bits);
    out.imageBytes = std::int64_t(l.stride) * l.height;

    const auto* base = reinterpret_cast<const std::uint8_t*>(info);
    std::size_t at = h.biSize;
    if (fields) {
        // A plain header is followed by the three masks; larger headers hold them inside.
        const std::uint8_t* m =
            h.biSize == sizeof(BITMAPINFOHEADER) ? base + at : base + sizeof(BITMAPINFOHEADER);
        std::memcpy(l.masks, m, sizeof(l.masks));
        if (h.biSize == sizeof(BITMAPINFOHEADER)) at += 12;
        if (!l.masks[0] && !l.masks[1] && !l.masks[2]) return false;
    }
    std::size_t colours = 0;
    if (bits <= 8)
        colours =
            h.biClrUsed ? std::min<std::size_t>(h.biClrUsed, std::size_t(1) << bits) : std::size_t(1) << bits;
    else if (h.biClrUsed && h.biClrUsed <= 256)
        colours = h.biClrUsed;  // an optional table, skipped
    out.palette.assign(bits <= 8 ? colours : 0, 0u);
    if (bits <= 8) {
        if (usage == DIB_PAL_COLORS) {
            const auto* idx = reinterpret_cast<const WORD*>(base + at);
            for (std::size_t i = 0; i < colours; ++i) {
                const WORD k = idx[i];
                if (dcPalette && k < dcPalette->entries.size()) {
                    const PALETTEENTRY& e = dcPalette->entries[k];
                    out.palette[i] =
                        (std::uint32_t(e.peRed) << 16) | (std::uint32_t(e.peGreen) << 8) | e.peBlue;
                }
            }
        } else {
            const auto* q = reinterpret_cast<const RGBQUAD*>(base + at);
            for (std::size_t i = 0; i < colours; ++i)
                out.palette[i] =
                    (std::uint32_t(q[i].rgbRed) << 16) | (std::uint32_t(q[i].rgbGreen) << 8) | q[i].rgbBlue;
        }
    }
    at += colours * (usage == DIB_PAL_COLORS ? 2 : 4);
    out.tableBytes = at;
    l.palette = out.palette.data();
    l.paletteSize = static_cast<int>(out.palette.size());
    return true;
}

}  // namespace platform::gdi

using namespace platform::gdi;

namespace {

HBITMAP Keep(std::shared_ptr<BitmapObj> b)
{
    if (!b) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return static_cast<HBITMAP>(Register(std::move(b)));
}

}  // namespace

HBITMAP CreateCompatibleBitmap(HDC, int width, int height)
{
    if (width <= 0 || height <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return Keep(MakeBitmap32(width, height));
}

HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitCount, const void* bits)
{
    if (width <= 0 || height <= 0 || planes != 1 || (bitCount != 1 && bitCount != 24 && bitCount != 32)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto b = MakeBitmap32(width, height);
    if (!b) return Keep(nullptr);
    b->monochrome = bitCount == 1;
    if (b->monochrome) b->image.fill(0u);
    if (bits) {
        // Device-dependent bitmap rows are padded to 16 bits.
        const std::ptrdiff_t stride = ((std::int64_t(width) * bitCount + 15) / 16) * 2;
        DibLayout l;
        l.width = width;
        l.bitCount = static_cast<int>(bitCount);
        static const std::uint32_t mono[2] = {0x000000, 0xFFFFFF};
        l.palette = mono;
        l.paletteSize = 2;
        const auto* src = static_cast<const std::uint8_t*>(bits);
        for (int y = 0; y < height; ++y)
            ConvertRow(l, src + y * stride, 0, width, reinterpret_cast<std::uint32_t*>(b->PictureRow(y)));
    }
    return Keep(std::move(b));
}

HBITMAP LoadBitmap(HINSTANCE hInstance, LPCTSTR lpBitmapName)
{
    const QImage picture = platform::LoadBitmapImage(hInstance, lpBitmapName);
    if (picture.isNull()) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    auto b = MakeBitmap32(picture.width(), picture.height());
    if (!b) return Keep(nullptr);
    // A picture with alpha is shown over black, as a device bitmap has no alpha of its own.
    const QImage premultiplied = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < premultiplied.height(); ++y) {
        const auto* in = reinterpret_cast<const std::uint32_t*>(premultiplied.constScanLine(y));
        auto* out = reinterpret_cast<std::uint32_t*>(b->image.scanLine(y));
        for (int x = 0; x < premultiplied.width(); ++x) out[x] = in[x] | 0xFF000000u;
    }
    return Keep(std::move(b));
}

HBITMAP CreateBitmapIndirect(const BITMAP* bm)
{
    return bm ? CreateBitmap(bm->bmWidth, bm->bmHeight, bm->bmPlanes, bm->bmBitsPixel, bm->bmBits) : nullptr;
}

HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bitsOut, HANDLE section,
                         DWORD offset)
{
    if (bitsOut) *bitsOut = nullptr;
    ParsedDib dib;
    std::shared_ptr<PaletteObj> pal;
    if (usage == DIB_PAL_COLORS) {
        // Indices into the palette selected in the DC, else the default palette.
        HPALETTE selected = dc ? reinterpret_cast<HPALETTE>(GetCurrentObject(dc, OBJ_PAL)) : nullptr;
        pal = FindAs<PaletteObj>(selected ? static_cast<void*>(selected) : StockObject(DEFAULT_PALETTE));
    }
    if (!ParseDib(info, usage, pal.get(), dib)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const DibLayout& l = dib.layout;
    std::shared_ptr<BitmapObj> b;
    const bool plain32 =
        l.bitCount == 32 &&
        (l.compression == BI_RGB || (l.masks[0] == 0xFF0000 && l.masks[1] == 0xFF00 && l.masks[2] == 0xFF));
    if (section && offset % 4 != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    try {
        if (section) {
            // MapViewOfFile checks the mapping holds the picture and sets the error when not.
            void* view = MapViewOfFile(section, FILE_MAP_WRITE, 0, offset, SIZE_T(dib.imageBytes));
            if (!view) return nullptr;
            b = std::make_shared<BitmapObj>();
            b->view = std::shared_ptr<void>(view, [](void* v) { UnmapViewOfFile(v); });
            b->bits = static_cast<std::uint8_t*>(view);
            b->stride = l.stride;
            b->section = section;
            b->sectionOffset = offset;
        } else if (plain32) {
            b = MakeBitmap32(l.width, l.height);
            if (!b) return Keep(nullptr);
        } else {
            b = std::make_shared<BitmapObj>();
            b->raw.assign(static_cast<std::size_t>(dib.imageBytes), 0);
            b->bits = b->raw.data();
            b->stride = l.stride;
        }
    } catch (const std::bad_alloc&) {
        return Keep(nullptr);
    }
    b->width = l.width;
    b->height = l.height;
    b->topDown = l.topDown;
    b->isDib = true;
    b->bitCount = l.bitCount;
    b->compression = l.compression;
    std::memcpy(b->masks, l.masks, sizeof(b->masks));
    if (l.bitCount <= 8) {
        b->colors.resize(std::size_t(1) << l.bitCount);
        for (std::size_t i = 0; i < dib.palette.size(); ++i)
            b->colors[i] = {BYTE(dib.palette[i]), BYTE(dib.palette[i] >> 8), BYTE(dib.palette[i] >> 16), 0};
    }
    if (bitsOut) *bitsOut = b->bits;
    return Keep(std::move(b));
}

int GetDIBits(HDC, HBITMAP bitmap, UINT startScan, UINT lines, void* bits, BITMAPINFO* info, UINT)
{
    auto b = FindAs<BitmapObj>(bitmap);
    if (!b || !info) return 0;
    BITMAPINFOHEADER& h = info->bmiHeader;
    if (h.biSize < sizeof(BITMAPINFOHEADER)) return 0;
    if (!bits) {
        if (h.biBitCount == 0) {
            h.biWidth = b->width;
            h.biHeight = b->height;
            h.biPlanes = 1;
            h.biBitCount = static_cast<WORD>(b->bitCount == 32 ? 32 : b->bitCount);
            h.biCompression = BI_RGB;
        }
        h.biSizeImage = static_cast<DWORD>(DibStride(h.biWidth, h.biBitCount) * std::abs(h.biHeight));
        return 1;
    }
    if (h.biWidth != b->width || (h.biBitCount != 24 && h.biBitCount != 32 && h.biBitCount != 8)) return 0;
    const int rows = std::abs(h.biHeight);
    if (rows != b->height || startScan >= UINT(rows)) return 0;
    lines = std::min<UINT>(lines, UINT(rows) - startScan);
    std::vector<std::uint32_t> pal;
    const DibLayout src = LayoutOf(*b, pal);
    std::vector<std::uint32_t> line(static_cast<std::size_t>(b->width));
    BitmapObj target;  // describes the caller's rows for StoreRow
    target.bitCount = h.biBitCount;
    target.compression = BI_RGB;
    if (h.biBitCount == 8) {
        target.colors.resize(256);
        for (int i = 0; i < 256; ++i) target.colors[i] = {BYTE(i), BYTE(i), BYTE(i), 0};
        std::memcpy(info->bmiColors, target.colors.data(), 256 * sizeof(RGBQUAD));
    }
    const std::ptrdiff_t stride = DibStride(h.biWidth, h.biBitCount);
    const bool topDown = h.biHeight < 0;
    auto* out = static_cast<std::uint8_t*>(bits);
    for (UINT k = 0; k < lines; ++k) {
        // Scan lines count from the bottom of the picture.
        const int scan = int(startScan + k);
        const int pictureRow = rows - 1 - scan;
        ConvertRow(src, b->PictureRow(pictureRow), 0, b->width, line.data());
        std::uint8_t* dst =
            topDown ? out + std::ptrdiff_t(pictureRow) * stride : out + std::ptrdiff_t(k) * stride;
        StoreRow(target, dst, 0, b->width, line.data());
    }
    return static_cast<int>(lines);
}

int SetDIBits(HDC, HBITMAP bitmap, UINT startScan, UINT lines, const void* bits, const BITMAPINFO* info,
              UINT usage)
{
    auto b = FindAs<BitmapObj>(bitmap);
    ParsedDib dib;
    if (!b || !bits || !ParseDib(info, usage, nullptr, dib)) return 0;
    const DibLayout& l = dib.layout;
    if (l.width != b->width || l.height != b->height || startScan >= UINT(l.height)) return 0;
    lines = std::min<UINT>(lines, UINT(l.height) - startScan);
    std::vector<std::uint32_t> line(static_cast<std::size_t>(b->width));
    const auto* in = static_cast<const std::uint8_t*>(bits);
    for (UINT k = 0; k < lines; ++k) {
        const int scan = int(startScan + k);
        const int pictureRow = l.height - 1 - scan;
        const std::uint8_t* src =
            l.topDown ? in + std::ptrdiff_t(pictureRow) * l.stride : in + std::ptrdiff_t(k) * l.stride;
        ConvertRow(l, src, 0, l.width, line.data());
        StoreRow(*b, b->PictureRow(pictureRow), 0, b->width, line.data());
    }
    return static_cast<int>(lines);
}
