#include <cstring>

#include <QFontMetrics>
#include <QGuiApplication>

#include "platform/gdi/dc.h"
#include "platform/gdi/dib_format_internal.h"
#include "platform/gdi/gdi_objects.h"
#include "platform/last_error.h"

namespace platform::gdi {

std::shared_ptr<FontObj> MakeFont(const LOGFONT& log)
{
    auto f = std::make_shared<FontObj>();
    f->log = log;
    f->log.lfFaceName[LF_FACESIZE - 1] = 0;
    return f;
}

bool FontsAvailable()
{
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
}

QFont FontObj::Font() const
{
    if (m_fontMade.load(std::memory_order_acquire)) return m_font ? *m_font : QFont();
    std::call_once(m_once, [this] {
        if (!FontsAvailable()) return;
        QFont q;
        QString face = QString::fromUtf8(log.lfFaceName);
        const int family = log.lfPitchAndFamily & 0xF0;
        const bool fixed = (log.lfPitchAndFamily & 0x03) == FIXED_PITCH || family == FF_MODERN;
        q.setStyleHint(fixed ? QFont::Monospace : family == FF_ROMAN ? QFont::Serif : QFont::SansSerif);
        if (face.isEmpty()) face = fixed ? QStringLiteral("Monospace") : QStringLiteral("Sans Serif");
        q.setFamilies({face});
        const int weight = log.lfWeight <= 0 ? FW_NORMAL : std::min<LONG>(log.lfWeight, 1000);
        q.setWeight(static_cast<QFont::Weight>(std::clamp(weight, 1, 1000)));
        q.setItalic(log.lfItalic != 0);
        q.setUnderline(log.lfUnderline != 0);
        q.setStrikeOut(log.lfStrikeOut != 0);
        if (log.lfQuality == NONANTIALIASED_QUALITY) q.setStyleStrategy(QFont::NoAntialias);
        q.setKerning(false);
        // A negative height is the character (em) height, a positive one the cell height
        // (ascent plus descent), zero a default cell of 16.
        const int height = log.lfHeight == 0 ? 16 : std::min(std::abs(log.lfHeight), 4000);
        q.setPixelSize(std::max(1, height));
        if (log.lfHeight >= 0) {
            const int cell = QFontMetrics(q).height();
            if (cell > 0 && cell != height) q.setPixelSize(std::max(1, height * height / cell));
            if (QFontMetrics(q).height() > height && q.pixelSize() > 1) q.setPixelSize(q.pixelSize() - 1);
        }
        if (log.lfWidth > 0) {
            const int natural = QFontMetrics(q).averageCharWidth();
            if (natural > 0) q.setStretch(std::clamp(int(log.lfWidth * 100 / natural), 1, 4000));
        }
        m_font = q;
    });
    m_fontMade.store(true, std::memory_order_release);
    return m_font ? *m_font : QFont();
}

std::pair<int, int> FontObj::Metrics() const
{
    if (m_metricsMade.load(std::memory_order_acquire)) return m_metrics;
    std::call_once(m_metricsOnce, [this] {
        const QFontMetrics fm(Font());
        m_metrics = {fm.ascent(), fm.descent()};
    });
    m_metricsMade.store(true, std::memory_order_release);
    return m_metrics;
}

std::shared_ptr<TextRecord> FontObj::Text(std::string_view utf8) const
{
    if (std::shared_ptr<TextRecord> known = m_texts.Find(utf8)) return known;
    auto text = std::make_shared<TextRecord>();
    text->text = utf8;
    text->advance =
        QFontMetrics(Font()).horizontalAdvance(QString::fromUtf8(utf8.data(), qsizetype(utf8.size())));
    m_texts.Keep(text);
    return text;
}

void FontObj::Texts(const std::string_view* utf8, std::size_t count,
                    std::shared_ptr<TextRecord>* records) const
{
    for (std::size_t i = 0; i < count; ++i) records[i].reset();
    m_texts.VisitMany(utf8, count,
                      [&](std::size_t i, TextRecord& known) { records[i] = known.shared_from_this(); });
    for (std::size_t i = 0; i < count; ++i)
        if (!records[i]) records[i] = Text(utf8[i]);
}

void FontObj::Advances(const std::string_view* utf8, std::size_t count, int* advances) const
{
    std::vector<bool> known(count, false);
    m_texts.VisitMany(utf8, count, [&](std::size_t i, const TextRecord& record) {
        advances[i] = record.advance;
        known[i] = true;
    });
    for (std::size_t i = 0; i < count; ++i)
        if (!known[i]) advances[i] = Text(utf8[i])->advance;
}

int FontObj::Advance(std::string_view utf8) const
{
    int advance = 0;
    if (m_texts.Visit(utf8, [&](const TextRecord& known) { advance = known.advance; })) return advance;
    return Text(utf8)->advance;
}

namespace {

const std::uint8_t* HatchRows(int hatch)
{
    static const std::uint8_t rows[6][8] = {
        {0xFF, 0, 0, 0, 0, 0, 0, 0},                        // HS_HORIZONTAL
        {0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80},   // HS_VERTICAL
        {0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01},   // HS_FDIAGONAL
        {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80},   // HS_BDIAGONAL
        {0xFF, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80},   // HS_CROSS
        {0x81, 0x42, 0x24, 0x18, 0x18, 0x24, 0x42, 0x81}};  // HS_DIAGCROSS
    return rows[hatch];
}

template <class H>
H Keep(std::shared_ptr<GdiObject> o)
{
    return static_cast<H>(Register(std::move(o)));
}

}  // namespace

}  // namespace platform::gdi

using namespace platform::gdi;

HPEN CreatePen(int style, int width, COLORREF color)
{
    const int s = style & PS_STYLE_MASK;
    if (s > PS_INSIDEFRAME) return nullptr;
    auto p = std::make_shared<PenObj>();
    p->style = style;
    p->width = std::max(0, width);
    p->color = color & 0x00FFFFFF;
    // Styled lines are cosmetic: wider pens draw them solid.
    if (p->width > 1 && (s == PS_DASH || s == PS_DOT || s == PS_DASHDOT || s == PS_DASHDOTDOT))
        p->style = (style & ~PS_STYLE_MASK) | PS_SOLID;
    return Keep<HPEN>(std::move(p));
}

HPEN CreatePenIndirect(const LOGPEN* log)
{
    return log ? CreatePen(static_cast<int>(log->lopnStyle), log->lopnWidth.x, log->lopnColor) : nullptr;
}

HPEN ExtCreatePen(DWORD style, DWORD width, const LOGBRUSH* brush, DWORD, const DWORD*)
{
    if (!brush) return nullptr;
    const COLORREF colour = brush->lbStyle == BS_NULL ? 0 : brush->lbColor;
    const int s = brush->lbStyle == BS_NULL ? PS_NULL : static_cast<int>(style & PS_STYLE_MASK);
    return CreatePen((static_cast<int>(style) & ~PS_STYLE_MASK) | s,
                     static_cast<int>(std::min<DWORD>(width, 10000)), colour);
}

HBRUSH CreateSolidBrush(COLORREF color)
{
    auto b = std::make_shared<BrushObj>();
    b->color = color & 0x00FFFFFF;
    return Keep<HBRUSH>(std::move(b));
}

HBRUSH CreateHatchBrush(int hatch, COLORREF color)
{
    if (hatch < HS_HORIZONTAL || hatch > HS_DIAGCROSS) return nullptr;
    auto b = std::make_shared<BrushObj>();
    b->style = BS_HATCHED;
    b->hatch = hatch;
    b->color = color & 0x00FFFFFF;
    b->patWidth = b->patHeight = 8;
    // 1 where the hatch line is; the rest takes the DC's background colour.
    const std::uint8_t* rows = HatchRows(hatch);
    b->pattern.resize(64);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) b->pattern[y * 8 + x] = (rows[y] >> (7 - x)) & 1;
    return Keep<HBRUSH>(std::move(b));
}

HBRUSH CreatePatternBrush(HBITMAP bitmap)
{
    auto bmp = FindAs<BitmapObj>(bitmap);
    if (!bmp || bmp->width <= 0 || bmp->height <= 0) return nullptr;
    auto b = std::make_shared<BrushObj>();
    b->style = BS_PATTERN;
    b->patWidth = bmp->width;
    b->patHeight = bmp->height;
    b->monoPattern = bmp->monochrome;
    b->pattern.resize(std::size_t(bmp->width) * bmp->height);
    std::vector<std::uint32_t> pal;
    const DibLayout l = LayoutOf(*bmp, pal);
    for (int y = 0; y < bmp->height; ++y)
        ConvertRow(l, bmp->PictureRow(y), 0, bmp->width, b->pattern.data() + std::size_t(y) * bmp->width);
    return Keep<HBRUSH>(std::move(b));
}

HBRUSH CreateDIBPatternBrushPt(const void* packed, UINT usage)
{
    ParsedDib dib;
    if (!packed || !ParseDib(static_cast<const BITMAPINFO*>(packed), usage, nullptr, dib)) return nullptr;
    const DibLayout& l = dib.layout;
    if (std::int64_t(l.width) * l.height > (1 << 24)) return nullptr;
    auto b = std::make_shared<BrushObj>();
    b->style = BS_DIBPATTERNPT;
    b->patWidth = l.width;
    b->patHeight = l.height;
    b->pattern.resize(std::size_t(l.width) * l.height);
    const auto* bits = static_cast<const std::uint8_t*>(packed) + dib.tableBytes;
    for (int y = 0; y < l.height; ++y) {
        const std::uint8_t* row = bits + (l.topDown ? y : l.height - 1 - y) * l.stride;
        ConvertRow(l, row, 0, l.width, b->pattern.data() + std::size_t(y) * l.width);
    }
    return Keep<HBRUSH>(std::move(b));
}

HBRUSH CreateBrushIndirect(const LOGBRUSH* log)
{
    if (!log) return nullptr;
    switch (log->lbStyle) {
        case BS_SOLID:
            return CreateSolidBrush(log->lbColor);
        case BS_NULL:
            return reinterpret_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
        case BS_HATCHED:
            return CreateHatchBrush(static_cast<int>(log->lbHatch), log->lbColor);
        case BS_PATTERN:
            return CreatePatternBrush(reinterpret_cast<HBITMAP>(log->lbHatch));
        case BS_DIBPATTERNPT:
            return CreateDIBPatternBrushPt(reinterpret_cast<const void*>(log->lbHatch), log->lbColor);
        default:
            return nullptr;
    }
}

HFONT CreateFont(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                 DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                 DWORD quality, DWORD pitchAndFamily, LPCSTR face)
{
    LOGFONT lf{};
    lf.lfHeight = height;
    lf.lfWidth = width;
    lf.lfEscapement = escapement;
    lf.lfOrientation = orientation;
    lf.lfWeight = weight;
    lf.lfItalic = BYTE(italic);
    lf.lfUnderline = BYTE(underline);
    lf.lfStrikeOut = BYTE(strikeOut);
    lf.lfCharSet = BYTE(charSet);
    lf.lfOutPrecision = BYTE(outPrecision);
    lf.lfClipPrecision = BYTE(clipPrecision);
    lf.lfQuality = BYTE(quality);
    lf.lfPitchAndFamily = BYTE(pitchAndFamily);
    if (face) std::strncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
    return CreateFontIndirect(&lf);
}

HFONT CreateFontIndirect(const LOGFONT* log)
{
    return log ? Keep<HFONT>(MakeFont(*log)) : nullptr;
}

HPALETTE CreatePalette(const LOGPALETTE* log)
{
    if (!log || log->palNumEntries == 0) return nullptr;
    auto p = std::make_shared<PaletteObj>();
    p->entries.assign(log->palPalEntry, log->palPalEntry + log->palNumEntries);
    return Keep<HPALETTE>(std::move(p));
}

UINT GetPaletteEntries(HPALETTE palette, UINT start, UINT count, PALETTEENTRY* entries)
{
    auto p = FindAs<PaletteObj>(palette);
    if (!p) return 0;
    const UINT n = static_cast<UINT>(p->entries.size());
    if (!entries) return n;
    if (start >= n) return 0;
    count = std::min(count, n - start);
    std::copy_n(p->entries.begin() + start, count, entries);
    return count;
}

UINT SetPaletteEntries(HPALETTE palette, UINT start, UINT count, const PALETTEENTRY* entries)
{
    auto p = FindAs<PaletteObj>(palette);
    if (!p || !entries || p->stock) return 0;
    const UINT n = static_cast<UINT>(p->entries.size());
    if (start >= n) return 0;
    count = std::min(count, n - start);
    std::copy_n(entries, count, p->entries.begin() + start);
    return count;
}

UINT GetNearestPaletteIndex(HPALETTE palette, COLORREF c)
{
    auto p = FindAs<PaletteObj>(palette);
    if (!p || p->entries.empty()) return CLR_INVALID;
    UINT best = 0;
    long bestDist = -1;
    for (UINT i = 0; i < p->entries.size(); ++i) {
        const PALETTEENTRY& e = p->entries[i];
        const long dr = long(GetRValue(c)) - e.peRed, dg = long(GetGValue(c)) - e.peGreen,
                   db = long(GetBValue(c)) - e.peBlue;
        const long d = dr * dr + dg * dg + db * db;
        if (bestDist < 0 || d < bestDist) {
            bestDist = d;
            best = i;
        }
    }
    return best;
}

// --- wrappers ---

namespace {
enum WrapperTag { kPenTag = 1, kBrushTag, kFontTag, kBitmapTag, kPaletteTag };

template <class H>
BOOL Hold(CGdiObject& self, H h)
{
    if (!h) return FALSE;
    self.DeleteObject();
    return self.Attach(static_cast<HGDIOBJ>(static_cast<void*>(h)));
}
}  // namespace

CPen* CPen::FromHandle(HPEN h)
{
    return GdiFromHandle<CPen>(static_cast<HGDIOBJ>(static_cast<void*>(h)), kPenTag);
}
BOOL CPen::CreatePen(int style, int width, COLORREF color)
{
    return Hold(*this, ::CreatePen(style, width, color));
}
BOOL CPen::CreatePen(int style, int width, const LOGBRUSH* brush, int styleCount, const DWORD* styles)
{
    return Hold(*this, ::ExtCreatePen(DWORD(style), DWORD(std::max(0, width)), brush,
                                      DWORD(std::max(0, styleCount)), styles));
}
BOOL CPen::CreatePenIndirect(const LOGPEN* log)
{
    return Hold(*this, ::CreatePenIndirect(log));
}

CBrush* CBrush::FromHandle(HBRUSH h)
{
    return GdiFromHandle<CBrush>(static_cast<HGDIOBJ>(static_cast<void*>(h)), kBrushTag);
}
BOOL CBrush::CreateSolidBrush(COLORREF c)
{
    return Hold(*this, ::CreateSolidBrush(c));
}
BOOL CBrush::CreateHatchBrush(int hatch, COLORREF c)
{
    return Hold(*this, ::CreateHatchBrush(hatch, c));
}
BOOL CBrush::CreatePatternBrush(CBitmap* bitmap)
{
    return bitmap ? Hold(*this, ::CreatePatternBrush(*bitmap)) : FALSE;
}
BOOL CBrush::CreateDIBPatternBrush(const void* packed, UINT usage)
{
    return Hold(*this, ::CreateDIBPatternBrushPt(packed, usage));
}
BOOL CBrush::CreateBrushIndirect(const LOGBRUSH* log)
{
    return Hold(*this, ::CreateBrushIndirect(log));
}

CFont* CFont::FromHandle(HFONT h)
{
    return GdiFromHandle<CFont>(static_cast<HGDIOBJ>(static_cast<void*>(h)), kFontTag);
}
BOOL CFont::CreateFont(int height, int width, int escapement, int orientation, int weight, BYTE italic,
                       BYTE underline, BYTE strikeOut, BYTE charSet, BYTE outPrecision, BYTE clipPrecision,
                       BYTE quality, BYTE pitchAndFamily, LPCTSTR face)
{
    return Hold(*this,
                ::CreateFont(height, width, escapement, orientation, weight, italic, underline, strikeOut,
                             charSet, outPrecision, clipPrecision, quality, pitchAndFamily, face));
}
BOOL CFont::CreateFontIndirect(const LOGFONT* log)
{
    return Hold(*this, ::CreateFontIndirect(log));
}
BOOL CFont::CreatePointFont(int pointSize, LPCTSTR face, CDC* dc)
{
    LOGFONT lf{};
    lf.lfHeight = pointSize;
    lf.lfCharSet = DEFAULT_CHARSET;
    if (face) std::strncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
    return CreatePointFontIndirect(&lf, dc);
}
BOOL CFont::CreatePointFontIndirect(const LOGFONT* log, CDC* dc)
{
    if (!log) return FALSE;
    LOGFONT lf = *log;
    const int dpi = dc && dc->m_hDC ? ::GetDeviceCaps(dc->m_hDC, LOGPIXELSY) : 96;
    // Tenths of a point to a character height in pixels, rounded.
    lf.lfHeight = -std::abs(static_cast<int>((std::int64_t(log->lfHeight) * dpi + 360) / 720));
    return CreateFontIndirect(&lf);
}

CBitmap* CBitmap::FromHandle(HBITMAP h)
{
    return GdiFromHandle<CBitmap>(static_cast<HGDIOBJ>(static_cast<void*>(h)), kBitmapTag);
}
BOOL CBitmap::CreateCompatibleBitmap(CDC* dc, int width, int height)
{
    return Hold(*this, ::CreateCompatibleBitmap(dc ? dc->m_hDC : nullptr, width, height));
}
BOOL CBitmap::CreateBitmap(int width, int height, UINT planes, UINT bitCount, const void* bits)
{
    return Hold(*this, ::CreateBitmap(width, height, planes, bitCount, bits));
}
BOOL CBitmap::CreateBitmapIndirect(const BITMAP* bm)
{
    return Hold(*this, ::CreateBitmapIndirect(bm));
}
BOOL CBitmap::LoadBitmap(UINT nIDResource)
{
    return LoadBitmap(MAKEINTRESOURCE(nIDResource));
}
BOOL CBitmap::LoadBitmap(LPCTSTR lpszResourceName)
{
    return Hold(*this, ::LoadBitmap(nullptr, lpszResourceName));
}

CPalette* CPalette::FromHandle(HPALETTE h)
{
    return GdiFromHandle<CPalette>(static_cast<HGDIOBJ>(static_cast<void*>(h)), kPaletteTag);
}
BOOL CPalette::CreatePalette(const LOGPALETTE* log)
{
    return Hold(*this, ::CreatePalette(log));
}
int CPalette::GetEntryCount() const
{
    return static_cast<int>(::GetPaletteEntries(*this, 0, 0, nullptr));
}
UINT CPalette::GetPaletteEntries(UINT start, UINT count, PALETTEENTRY* entries) const
{
    return ::GetPaletteEntries(*this, start, count, entries);
}
UINT CPalette::SetPaletteEntries(UINT start, UINT count, const PALETTEENTRY* entries)
{
    return ::SetPaletteEntries(*this, start, count, entries);
}
UINT CPalette::GetNearestPaletteIndex(COLORREF c) const
{
    return ::GetNearestPaletteIndex(*this, c);
}
