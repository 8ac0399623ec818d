#include <algorithm>
#include <cstring>
#include <vector>

#include <QFontMetrics>
#include <QPainter>

#include "platform/gdi/dc.h"
#include "platform/gdi/dc_internal.h"
#include "platform/gdi/metafile_internal.h"

namespace platform::gdi {

namespace {

// Texts are UTF-8; a text that is not (a single-byte degree sign, say) is read as Latin-1.
bool IsUtf8(const unsigned char* s, int n)
{
    for (int i = 0; i < n;) {
        const unsigned char c = s[i];
        int extra;
        if (c < 0x80)
            extra = 0;
        else if ((c >> 5) == 0x6)
            extra = 1;
        else if ((c >> 4) == 0xE)
            extra = 2;
        else if ((c >> 3) == 0x1E)
            extra = 3;
        else
            return false;
        if (i + extra >= n && extra > 0) return false;
        for (int k = 1; k <= extra; ++k)
            if ((s[i + k] & 0xC0) != 0x80) return false;
        i += extra + 1;
    }
    return true;
}

QString Decode(const char* text, int length)
{
    if (!text || length <= 0) return {};
    return IsUtf8(reinterpret_cast<const unsigned char*>(text), length) ? QString::fromUtf8(text, length)
                                                                        : QString::fromLatin1(text, length);
}

int Length(const char* text, int length)
{
    if (!text) return 0;
    return length < 0 ? static_cast<int>(std::strlen(text)) : length;
}

inline std::uint32_t Blend(std::uint32_t d, std::uint32_t c, std::uint32_t a)
{
    const std::uint32_t na = 255 - a;
    const std::uint32_t r = (((c >> 16) & 0xFF) * a + ((d >> 16) & 0xFF) * na + 127) / 255;
    const std::uint32_t g = (((c >> 8) & 0xFF) * a + ((d >> 8) & 0xFF) * na + 127) / 255;
    const std::uint32_t b = ((c & 0xFF) * a + (d & 0xFF) * na + 127) / 255;
    return (r << 16) | (g << 8) | b;
}

}  // namespace

QFont CurrentFont(const DcObj& dc)
{
    return dc.st.font ? dc.st.font->Font() : QFont();
}

namespace {

// The advance of a text in the DC's font: remembered by the font object where there is one.
int Advance(const DcObj& dc, const QFontMetrics& fm, const QString& text)
{
    return dc.st.font ? dc.st.font->Advance(text) : fm.horizontalAdvance(text);
}

}  // namespace

SIZE TextExtent(const DcObj& dc, const QString& text)
{
    if (!FontsAvailable()) return {0, 0};
    const QFontMetrics fm(CurrentFont(dc));
    return {Advance(dc, fm, text), fm.ascent() + fm.descent()};
}

void DrawTextLine(DcObj& dc, int x, int y, UINT align, const QString& text, const RECT* clip, bool opaqueCell,
                  int width)
{
    if (!FontsAvailable()) return;
    const QFont font = CurrentFont(dc);
    const QFontMetrics fm(font);
    if (width < 0) width = Advance(dc, fm, text);
    const int ascent = fm.ascent(), height = ascent + fm.descent();
    int left = x;
    if ((align & TA_CENTER) == TA_CENTER)
        left = x - width / 2;
    else if (align & TA_RIGHT)
        left = x - width;
    int top = y;
    if ((align & TA_BASELINE) == TA_BASELINE)
        top = y - ascent;
    else if (align & TA_BOTTOM)
        top = y - height;

    SpanRegion cell = SpanRegion::FromRect(left, top, left + width, top + height);
    if (clip) cell = cell.ClipToRect(*clip);
    if (opaqueCell && dc.st.bkMode == OPAQUE && !cell.IsEmpty()) {
        Paint bg;
        bg.color = ToPixel(dc.st.bkColor);
        PaintShape(dc, cell, bg);
    }
    if (text.isEmpty()) return;

    // Glyphs are drawn into a coverage mask, then blended into the picture span by span.
    const int pad = height / 2 + 2;
    QImage mask(width + 2 * pad, height + 2 * pad, QImage::Format_ARGB32_Premultiplied);
    if (mask.isNull()) return;
    mask.fill(0u);
    {
        QPainter p(&mask);
        p.setFont(font);
        p.setPen(Qt::white);
        p.drawText(QPointF(pad, pad + ascent), text);
    }
    const int mx = left - pad, my = top - pad;
    SpanRegion area = SpanRegion::FromRect(mx, my, mx + mask.width(), my + mask.height());
    if (clip) area = area.ClipToRect(*clip);
    const SpanRegion visible = dc.Visible(area);
    if (visible.IsEmpty()) return;
    SurfaceLock lock(dc, visible.Bounds());
    const Surface& s = lock.Get();
    const std::uint32_t colour = ToPixel(dc.st.textColor) | s.alpha;
    for (RegionRow row : visible.Rows()) {
        const auto* m = reinterpret_cast<const std::uint32_t*>(mask.constScanLine(row.y - my));
        std::uint32_t* d = s.Row(row.y);
        for (const Span& sp : row.spans)
            for (int px = sp.x0; px < sp.x1;) {
                // Most of a mask is uncovered: four such pixels are passed over at once.
                const std::uint32_t* c = m + (px - mx);
                if (px + 4 <= sp.x1 && ((c[0] | c[1] | c[2] | c[3]) >> 24) == 0) {
                    px += 4;
                    continue;
                }
                const std::uint32_t a = c[0] >> 24;
                if (a == 255)
                    d[px] = colour;
                else if (a)
                    d[px] = Blend(d[px], colour, a) | s.alpha;
                ++px;
            }
    }
    lock.AlphaKept();
}

}  // namespace platform::gdi

using namespace platform;
using namespace platform::gdi;

BOOL ExtTextOut(HDC h, int x, int y, UINT options, const RECT* rect, LPCSTR text, UINT length, const int*)
{
    auto dc = FindDc(h);
    if (!dc || (length > 0 && !text) || length > 0x7FFFFFFF) return FALSE;
    const std::string s(text ? text : "", length);
    if (dc->recording) {
        RecordText(*dc, MetaOp::ExtTextOut, {x, y}, rect, options, s);
        return TRUE;
    }
    RECT deviceRect{};
    if (rect) {
        const POINT a = dc->ToDev({rect->left, rect->top}), z = dc->ToDev({rect->right, rect->bottom});
        deviceRect = {std::min(a.x, z.x), std::min(a.y, z.y), std::max(a.x, z.x), std::max(a.y, z.y)};
        if (options & ETO_OPAQUE) {
            Paint bg;
            bg.color = ToPixel(dc->st.bkColor);
            PaintShape(
                *dc,
                SpanRegion::FromRect(deviceRect.left, deviceRect.top, deviceRect.right, deviceRect.bottom),
                bg);
        }
    }
    POINT at{x, y};
    const QString q = Decode(s.data(), int(s.size()));
    if (dc->st.textAlign & TA_UPDATECP) {
        at = dc->st.pos;
        dc->st.pos.x += TextExtent(*dc, q).cx;
    }
    const POINT p = dc->ToDev(at);
    DrawTextLine(*dc, p.x, p.y, dc->st.textAlign, q, rect && (options & ETO_CLIPPED) ? &deviceRect : nullptr,
                 true);
    return TRUE;
}

BOOL TextOut(HDC h, int x, int y, LPCSTR text, int length)
{
    if (length < 0) return FALSE;
    auto dc = FindDc(h);
    if (dc && dc->recording) {
        RecordText(*dc, MetaOp::TextOut, {x, y}, nullptr, 0,
                   std::string(text ? text : "", std::size_t(length)));
        return TRUE;
    }
    return ExtTextOut(h, x, y, 0, nullptr, text, UINT(length), nullptr);
}

BOOL GetTextExtentPoint32(HDC h, LPCSTR text, int length, SIZE* size)
{
    auto dc = FindDc(h);
    if (!dc || !size || length < 0 || (length > 0 && !text) || !FontsAvailable()) return FALSE;
    *size = TextExtent(*dc, Decode(text, length));
    return TRUE;
}

BOOL GetTextMetrics(HDC h, TEXTMETRIC* tm)
{
    auto dc = FindDc(h);
    if (!dc || !tm || !FontsAvailable()) return FALSE;
    const QFont f = CurrentFont(*dc);
    const QFontMetrics fm(f);
    *tm = TEXTMETRIC{};
    tm->tmAscent = fm.ascent();
    tm->tmDescent = fm.descent();
    tm->tmHeight = fm.ascent() + fm.descent();
    tm->tmInternalLeading = std::max(0, tm->tmHeight - std::max(1, f.pixelSize()));
    tm->tmExternalLeading = std::max(0, fm.leading());
    tm->tmAveCharWidth = fm.averageCharWidth();
    tm->tmMaxCharWidth = fm.maxWidth();
    tm->tmWeight =
        dc->st.font ? (dc->st.font->log.lfWeight ? dc->st.font->log.lfWeight : FW_NORMAL) : FW_NORMAL;
    tm->tmItalic = f.italic() ? 1 : 0;
    tm->tmUnderlined = f.underline() ? 1 : 0;
    tm->tmStruckOut = f.strikeOut() ? 1 : 0;
    tm->tmFirstChar = 0x20;
    tm->tmLastChar = 0x7E;
    tm->tmDefaultChar = '?';
    tm->tmBreakChar = ' ';
    tm->tmDigitizedAspectX = tm->tmDigitizedAspectY = 96;
    tm->tmPitchAndFamily = dc->st.font ? dc->st.font->log.lfPitchAndFamily : 0;
    tm->tmCharSet = dc->st.font ? dc->st.font->log.lfCharSet : 0;
    return TRUE;
}

int GetTextFace(HDC h, int size, LPSTR face)
{
    auto dc = FindDc(h);
    if (!dc) return 0;
    const std::string name = dc->st.font ? dc->st.font->log.lfFaceName : "";
    if (!face) return static_cast<int>(name.size()) + 1;
    if (size <= 0) return 0;
    const int n = std::min(size - 1, static_cast<int>(name.size()));
    std::memcpy(face, name.data(), std::size_t(n));
    face[n] = 0;
    return n;
}

namespace {

// The lines DrawText shows: prefix characters removed, paragraphs wrapped at spaces
// to the width when asked, over-long single lines ended with an ellipsis when asked.
// `advances`, when given, receives each line's advance where it was measured (else -1).
QStringList LayoutLines(const QFontMetrics& fm, QString text, int width, UINT format,
                        std::vector<int>* advances = nullptr, const DcObj* dc = nullptr)
{
    if (!(format & DT_NOPREFIX)) {
        QString out;
        for (int i = 0; i < text.size(); ++i) {
            if (text[i] == QLatin1Char('&')) {
                if (i + 1 < text.size() && text[i + 1] == QLatin1Char('&'))
                    out += QLatin1Char('&');
                else
                    continue;
                ++i;
                continue;
            }
            out += text[i];
        }
        text = out;
    }
    if (format & DT_EXPANDTABS) text.replace(QLatin1Char('\t'), QStringLiteral("        "));
    text.remove(QLatin1Char('\r'));
    QStringList paragraphs;
    if (format & DT_SINGLELINE)
        paragraphs << QString(text).replace(QLatin1Char('\n'), QLatin1Char(' '));
    else
        paragraphs = text.split(QLatin1Char('\n'));
    QStringList lines;
    for (const QString& para : paragraphs) {
        if (!(format & DT_WORDBREAK) || (format & DT_SINGLELINE) || fm.horizontalAdvance(para) <= width) {
            lines << para;
            continue;
        }
        const QStringList words = para.split(QLatin1Char(' '));
        QString line;
        for (const QString& word : words) {
            const QString candidate = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
            if (!line.isEmpty() && fm.horizontalAdvance(candidate) > width) {
                lines << line;
                line = word;
            } else {
                line = candidate;
            }
        }
        lines << line;
    }
    if (advances) advances->assign(std::size_t(lines.size()), -1);
    if (format & DT_END_ELLIPSIS)
        for (qsizetype i = 0; i < lines.size(); ++i) {
            const int advance = dc ? Advance(*dc, fm, lines[i]) : fm.horizontalAdvance(lines[i]);
            if (advance > width)
                lines[i] = fm.elidedText(lines[i], Qt::ElideRight, std::max(0, width));
            else if (advances)
                (*advances)[std::size_t(i)] = advance;
        }
    return lines;
}

}  // namespace

namespace platform::gdi {
QStringList DrawTextLines(const QFont& font, const std::string& text, int width, UINT format)
{
    if (!FontsAvailable()) return {};
    return LayoutLines(QFontMetrics(font), Decode(text.data(), int(text.size())), width, format);
}
}  // namespace platform::gdi

int DrawText(HDC h, LPCSTR text, int length, RECT* rect, UINT format)
{
    auto dc = FindDc(h);
    if (!dc || !rect || (!text && length != 0) || !FontsAvailable()) return 0;
    const int n = Length(text, length);
    const QFontMetrics fm(CurrentFont(*dc));
    const int lineHeight = fm.ascent() + fm.descent();
    const int width = rect->right - rect->left;
    // Shaping a text is most of what drawing it costs: each line is measured once.
    std::vector<int> advances;
    const QStringList lines = LayoutLines(fm, Decode(text, n), width, format, &advances, dc.get());
    const int textHeight = n == 0 ? 0 : lineHeight * static_cast<int>(lines.size());

    if (format & DT_CALCRECT) {
        int widest = 0;
        for (const QString& line : lines) widest = std::max(widest, fm.horizontalAdvance(line));
        if (!(format & DT_WORDBREAK) || widest > width) rect->right = rect->left + widest;
        rect->bottom = rect->top + textHeight;
        return textHeight;
    }
    int top = rect->top;
    if (format & DT_SINGLELINE) {
        if (format & DT_VCENTER)
            top = rect->top + (rect->bottom - rect->top - lineHeight) / 2;
        else if (format & DT_BOTTOM)
            top = rect->bottom - lineHeight;
    }
    const int result = (format & DT_SINGLELINE) && (format & (DT_VCENTER | DT_BOTTOM))
                           ? top - rect->top + textHeight
                           : textHeight;
    if (n == 0) return result;
    if (dc->recording) {
        RecordText(*dc, MetaOp::DrawText, {rect->left, rect->top}, rect, format,
                   std::string(text, std::size_t(n)));
        return result;
    }
    const POINT a = dc->ToDev({rect->left, rect->top}), z = dc->ToDev({rect->right, rect->bottom});
    const RECT clip{a.x, a.y, z.x, z.y};
    const int dy = a.y - rect->top;
    int y = top + dy;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString& line = lines[i];
        const int known = advances[std::size_t(i)];
        const int w = known >= 0 ? known : fm.horizontalAdvance(line);
        int x = a.x;
        if (format & DT_CENTER)
            x = a.x + (z.x - a.x - w) / 2;
        else if (format & DT_RIGHT)
            x = z.x - w;
        DrawTextLine(*dc, x, y, TA_LEFT | TA_TOP, line, (format & DT_NOCLIP) ? nullptr : &clip, true, w);
        y += lineHeight;
    }
    return result;
}
