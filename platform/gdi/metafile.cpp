#include "platform/gdi/metafile.h"

#include <cmath>
#include <cstring>
#include <sstream>

#include <QBuffer>
#include <QFontInfo>
#include <QFontMetrics>

#include "platform/gdi/metafile_internal.h"

namespace platform::gdi {

void MetaFileData::Extend(const RECT& r)
{
    if (r.left >= r.right || r.top >= r.bottom) return;
    if (!any) {
        drawn = r;
        any = true;
        return;
    }
    drawn = {std::min(drawn.left, r.left), std::min(drawn.top, r.top), std::max(drawn.right, r.right),
             std::max(drawn.bottom, r.bottom)};
}

namespace {

MetaRecord Snapshot(const DcObj& dc, MetaOp op)
{
    MetaRecord r;
    r.op = op;
    r.pen = dc.st.pen;
    r.brush = dc.st.brush;
    r.font = dc.st.font;
    r.textColor = dc.st.textColor;
    r.bkColor = dc.st.bkColor;
    r.bkMode = dc.st.bkMode;
    r.rop2 = dc.st.rop2;
    r.polyFillMode = dc.st.polyFillMode;
    r.stretchMode = dc.st.stretchMode;
    r.textAlign = dc.st.textAlign;
    r.brushOrg = dc.st.brushOrg;
    r.clip = dc.st.clip;
    return r;
}

RECT PointsBounds(const std::vector<POINT>& pts, int grow)
{
    RECT b{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
    for (const POINT& p : pts) {
        b.left = std::min(b.left, p.x - grow);
        b.top = std::min(b.top, p.y - grow);
        b.right = std::max(b.right, p.x + 1 + grow);
        b.bottom = std::max(b.bottom, p.y + 1 + grow);
    }
    return b;
}

int PenGrow(const MetaRecord& r)
{
    return r.pen && r.pen->width > 1 ? r.pen->width / 2 + 1 : 0;
}

RECT DeviceRect(const DcObj& dc, RECT r)
{
    const POINT a = dc.ToDev({r.left, r.top}), z = dc.ToDev({r.right, r.bottom});
    return {std::min(a.x, z.x), std::min(a.y, z.y), std::max(a.x, z.x), std::max(a.y, z.y)};
}

}  // namespace

void RecordLine(DcObj& dc, POINT from, POINT to)
{
    MetaRecord r = Snapshot(dc, MetaOp::Line);
    r.pts = {dc.ToDev(from), dc.ToDev(to)};
    dc.recording->Extend(PointsBounds(r.pts, PenGrow(r)));
    dc.recording->records.push_back(std::move(r));
}

void RecordShape(DcObj& dc, MetaOp op, std::vector<POINT> pts)
{
    MetaRecord r = Snapshot(dc, op);
    for (auto& p : pts) p = dc.ToDev(p);
    r.pts = std::move(pts);
    dc.recording->Extend(PointsBounds(r.pts, PenGrow(r)));
    dc.recording->records.push_back(std::move(r));
}

void RecordFill(DcObj& dc, MetaOp op, RECT logical, COLORREF color)
{
    MetaRecord r = Snapshot(dc, op);
    r.rect = DeviceRect(dc, logical);
    r.plainColor = true;
    r.fillColor = color;
    dc.recording->Extend(r.rect);
    dc.recording->records.push_back(std::move(r));
}

void RecordBrushRect(DcObj& dc, MetaOp op, RECT logical, std::shared_ptr<BrushObj> brush, DWORD rop)
{
    MetaRecord r = Snapshot(dc, op);
    r.rect = DeviceRect(dc, logical);
    r.brush = std::move(brush);
    r.rop = rop;
    dc.recording->Extend(r.rect);
    dc.recording->records.push_back(std::move(r));
}

void RecordRegion(DcObj& dc, SpanRegion logical, std::shared_ptr<BrushObj> brush)
{
    MetaRecord r = Snapshot(dc, MetaOp::Region);
    logical.Offset(dc.st.viewportOrg.x - dc.st.windowOrg.x, dc.st.viewportOrg.y - dc.st.windowOrg.y);
    r.region = std::move(logical);
    r.brush = std::move(brush);
    dc.recording->Extend(r.region.Bounds());
    dc.recording->records.push_back(std::move(r));
}

void RecordImage(DcObj& dc, RECT logicalDst, const SourceImage& src, RECT srcRect, DWORD rop)
{
    MetaRecord r = Snapshot(dc, MetaOp::Image);
    r.rect = DeviceRect(dc, logicalDst);
    r.rop = rop;
    const int w = std::abs(srcRect.right - srcRect.left), h = std::abs(srcRect.bottom - srcRect.top);
    const int sx = std::min(srcRect.left, srcRect.right), sy = std::min(srcRect.top, srcRect.bottom);
    if (w <= 0 || h <= 0 || std::int64_t(w) * h > (std::int64_t(1) << 28)) return;
    QImage image(w, h, QImage::Format_RGB32);
    if (image.isNull()) return;
    image.fill(0xFF000000u);
    const int x0 = std::max(sx, 0), x1 = std::min(sx + w, src.width);
    for (int y = std::max(sy, 0); y < std::min(sy + h, src.height) && x0 < x1; ++y) {
        auto* out = reinterpret_cast<std::uint32_t*>(image.scanLine(y - sy)) + (x0 - sx);
        ConvertRow(src.layout, src.base + y * src.rowStep, x0, x1 - x0, out);
        for (int x = 0; x < x1 - x0; ++x) {
            if (src.mono) out[x] = out[x] ? ToPixel(dc.st.bkColor) : ToPixel(dc.st.textColor);
            out[x] |= 0xFF000000u;
        }
    }
    // Mirrored extents are kept by the destination rectangle's corners.
    if ((srcRect.right < srcRect.left) != (logicalDst.right < logicalDst.left) ||
        (srcRect.bottom < srcRect.top) != (logicalDst.bottom < logicalDst.top))
        image = image.mirrored((srcRect.right < srcRect.left) != (logicalDst.right < logicalDst.left),
                               (srcRect.bottom < srcRect.top) != (logicalDst.bottom < logicalDst.top));
    r.image = std::move(image);
    dc.recording->Extend(r.rect);
    dc.recording->records.push_back(std::move(r));
}

void RecordText(DcObj& dc, MetaOp op, POINT logical, const RECT* rect, UINT options, std::string text)
{
    MetaRecord r = Snapshot(dc, op);
    r.pts = {dc.ToDev(logical)};
    if (rect) {
        r.rect = DeviceRect(dc, *rect);
        r.hasRect = true;
    }
    r.options = options;
    r.text = std::move(text);
    if (op == MetaOp::DrawText || !FontsAvailable()) {
        dc.recording->Extend(r.rect);
    } else {
        const QFontMetrics fm(CurrentFont(dc));
        const int w = fm.horizontalAdvance(QString::fromUtf8(r.text.c_str())), h = fm.ascent() + fm.descent();
        const POINT p = r.pts[0];
        dc.recording->Extend({p.x - w, p.y - h, p.x + w, p.y + h});
        if (r.hasRect && (options & ETO_OPAQUE)) dc.recording->Extend(r.rect);
    }
    dc.recording->records.push_back(std::move(r));
}

namespace {

std::shared_ptr<DcObj> NewRecordingDc(const RECT* frame)
{
    HDC h = CreateCompatibleDC(nullptr);
    auto dc = FindAs<DcObj>(h);
    dc->st.bitmap.reset();
    dc->recording = std::make_shared<MetaFileData>();
    if (frame) {
        // Hundredths of a millimetre to pixels at 96 per inch.
        auto px = [](LONG v) { return static_cast<LONG>(std::lround(double(v) * 96.0 / 2540.0)); };
        dc->recording->frame = {
            px(std::min(frame->left, frame->right)), px(std::min(frame->top, frame->bottom)),
            px(std::max(frame->left, frame->right)), px(std::max(frame->top, frame->bottom))};
        dc->recording->hasFrame = true;
    }
    return dc;
}

// A handle for an object a record holds, for the length of one replayed call.
class TempHandle {
public:
    explicit TempHandle(const std::shared_ptr<GdiObject>& o) : m_handle(o.get())
    {
        if (o && !Find(m_handle)) {
            Register(o);
            m_added = true;
        }
    }
    ~TempHandle()
    {
        if (m_added) Unregister(m_handle);
    }
    template <class H>
    H As() const
    {
        return static_cast<H>(m_handle);
    }

private:
    void* m_handle;
    bool m_added = false;
};

void Replay(HDC target, DcObj& dc, const MetaFileData& mf, int ox, int oy)
{
    const DcState keep = dc.st;
    auto at = [&](POINT p) { return POINT{p.x + ox, p.y + oy}; };
    for (const MetaRecord& r : mf.records) {
        if (r.pen) dc.st.pen = r.pen;
        if (r.brush) dc.st.brush = r.brush;
        if (r.font) dc.st.font = r.font;
        dc.st.textColor = r.textColor;
        dc.st.bkColor = r.bkColor;
        dc.st.bkMode = r.bkMode;
        dc.st.rop2 = r.rop2;
        dc.st.polyFillMode = r.polyFillMode;
        dc.st.stretchMode = r.stretchMode;
        dc.st.textAlign = r.textAlign & ~TA_UPDATECP;
        dc.st.brushOrg = {r.brushOrg.x + ox, r.brushOrg.y + oy};
        dc.st.clip = keep.clip;
        if (r.clip) {
            // Recorded clipping moves with the drawing and stays inside the target's own.
            SpanRegion moved = *r.clip;
            moved.Offset(ox + keep.viewportOrg.x - keep.windowOrg.x,
                         oy + keep.viewportOrg.y - keep.windowOrg.y);
            dc.st.clip = keep.clip ? keep.clip->Intersect(moved) : moved;
        }
        const RECT rc{r.rect.left + ox, r.rect.top + oy, r.rect.right + ox, r.rect.bottom + oy};
        std::vector<POINT> pts;
        for (const POINT& p : r.pts) pts.push_back(at(p));
        switch (r.op) {
            case MetaOp::Line:
                MoveToEx(target, pts[0].x, pts[0].y, nullptr);
                LineTo(target, pts[1].x, pts[1].y);
                break;
            case MetaOp::Polyline:
                Polyline(target, pts.data(), int(pts.size()));
                break;
            case MetaOp::Polygon:
                Polygon(target, pts.data(), int(pts.size()));
                break;
            case MetaOp::Rectangle:
                Rectangle(target, pts[0].x, pts[0].y, pts[1].x, pts[1].y);
                break;
            case MetaOp::Ellipse:
                Ellipse(target, pts[0].x, pts[0].y, pts[1].x, pts[1].y);
                break;
            case MetaOp::FillRect:
                if (r.plainColor) {
                    HBRUSH b = CreateSolidBrush(r.fillColor);
                    FillRect(target, &rc, b);
                    DeleteObject(b);
                } else {
                    PatBlt(target, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, r.rop);
                }
                break;
            case MetaOp::FrameRect: {
                TempHandle b(r.brush);
                FrameRect(target, &rc, b.As<HBRUSH>());
                break;
            }
            case MetaOp::Region: {
                SpanRegion moved = r.region;
                moved.Offset(ox, oy);
                HRGN rgn = CreateRgnFromSpans(std::move(moved));
                dc.st.rop2 = R2_COPYPEN;
                PaintRgn(target, rgn);
                DeleteObject(rgn);
                break;
            }
            case MetaOp::TextOut:
                TextOut(target, pts[0].x, pts[0].y, r.text.data(), int(r.text.size()));
                break;
            case MetaOp::ExtTextOut:
                ExtTextOut(target, pts[0].x, pts[0].y, r.options, r.hasRect ? &rc : nullptr, r.text.data(),
                           UINT(r.text.size()), nullptr);
                break;
            case MetaOp::DrawText: {
                RECT box = rc;
                DrawText(target, r.text.data(), int(r.text.size()), &box, r.options);
                break;
            }
            case MetaOp::Image: {
                if (r.image.isNull()) break;
                BITMAPINFO info{};
                info.bmiHeader = {40, r.image.width(), -r.image.height(), 1, 32, BI_RGB, 0, 0, 0, 0, 0};
                StretchDIBits(target, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, 0, 0,
                              r.image.width(), r.image.height(), r.image.constBits(), &info, DIB_RGB_COLORS,
                              r.rop);
                break;
            }
        }
    }
    dc.st = keep;
}

// --- SVG ---

std::string Colour(COLORREF c)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "#%02x%02x%02x", GetRValue(c), GetGValue(c), GetBValue(c));
    return buf;
}

std::string Escape(const std::string& s)
{
    std::string out;
    for (char c : s) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&apos;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string Num(double v)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
}

std::string Stroke(const MetaRecord& r)
{
    if (!r.pen || r.pen->Style() == PS_NULL) return " stroke=\"none\"";
    std::string s =
        " stroke=\"" + Colour(r.pen->color) + "\" stroke-width=\"" + Num(std::max(1, r.pen->width)) + "\"";
    switch (r.pen->Style()) {
        case PS_DASH:
            s += " stroke-dasharray=\"18 6\"";
            break;
        case PS_DOT:
            s += " stroke-dasharray=\"3 3\"";
            break;
        case PS_DASHDOT:
            s += " stroke-dasharray=\"9 6 3 6\"";
            break;
        case PS_DASHDOTDOT:
            s += " stroke-dasharray=\"9 3 3 3 3 3\"";
            break;
        default:
            break;
    }
    return s;
}

std::string Fill(const std::shared_ptr<BrushObj>& b)
{
    if (!b || b->style == BS_NULL) return " fill=\"none\"";
    if (b->style == BS_SOLID || b->style == BS_HATCHED || b->pattern.empty())
        return " fill=\"" + Colour(b->color) + "\"";
    return " fill=\"" + Colour(ToColorRef(b->pattern[0] & 0xFFFFFF)) + "\"";
}

std::string Points(const std::vector<POINT>& pts)
{
    std::string s;
    for (const POINT& p : pts) s += (s.empty() ? "" : " ") + Num(p.x + 0.5) + "," + Num(p.y + 0.5);
    return s;
}

std::string Png(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes.toBase64().toStdString();
}

std::string FontAttributes(const MetaRecord& r, const QFont& f)
{
    const std::string family =
        r.font && r.font->log.lfFaceName[0] ? r.font->log.lfFaceName : QFontInfo(f).family().toStdString();
    std::string s = " font-family=\"" + Escape(family) + "\" font-size=\"" +
                    Num(f.pixelSize() > 0 ? f.pixelSize() : 16) + "px\"";
    if (f.weight() != QFont::Normal) s += " font-weight=\"" + Num(f.weight()) + "\"";
    if (f.italic()) s += " font-style=\"italic\"";
    return s + " fill=\"" + Colour(r.textColor) + "\"";
}

void SvgText(std::ostringstream& out, const MetaRecord& r, double x, double baseline, const char* anchor,
             const std::string& text, const QFont& f)
{
    out << "<text x=\"" << Num(x) << "\" y=\"" << Num(baseline) << "\" text-anchor=\"" << anchor << "\""
        << FontAttributes(r, f) << " xml:space=\"preserve\">" << Escape(text) << "</text>\n";
}

std::string MakeSvg(const MetaFileData& mf)
{
    const RECT b = mf.Bounds();
    const int w = std::max<LONG>(0, b.right - b.left), h = std::max<LONG>(0, b.bottom - b.top);
    std::ostringstream out;
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" width=\""
        << w << "\" height=\"" << h << "\" viewBox=\"" << b.left << " " << b.top << " " << w << " " << h
        << "\">\n";
    std::optional<SpanRegion> lastClip;
    int clips = 0;
    for (const MetaRecord& r : mf.records) {
        if (r.clip) {
            if (!lastClip || *lastClip != *r.clip) {
                out << "<clipPath id=\"clip" << ++clips << "\"><path d=\"";
                for (const RECT& rc : r.clip->Rects())
                    out << "M" << rc.left << " " << rc.top << "h" << (rc.right - rc.left) << "v"
                        << (rc.bottom - rc.top) << "h" << (rc.left - rc.right) << "z";
                out << "\"/></clipPath>\n";
                lastClip = r.clip;
            }
            out << "<g clip-path=\"url(#clip" << clips << ")\">\n";
        }
        switch (r.op) {
            case MetaOp::Line:
                out << "<line x1=\"" << Num(r.pts[0].x + 0.5) << "\" y1=\"" << Num(r.pts[0].y + 0.5)
                    << "\" x2=\"" << Num(r.pts[1].x + 0.5) << "\" y2=\"" << Num(r.pts[1].y + 0.5) << "\""
                    << Stroke(r) << "/>\n";
                break;
            case MetaOp::Polyline:
                out << "<polyline points=\"" << Points(r.pts) << "\" fill=\"none\"" << Stroke(r) << "/>\n";
                break;
            case MetaOp::Polygon:
                out << "<polygon points=\"" << Points(r.pts) << "\"" << Fill(r.brush) << " fill-rule=\""
                    << (r.polyFillMode == WINDING ? "nonzero" : "evenodd") << "\"" << Stroke(r) << "/>\n";
                break;
            case MetaOp::Rectangle: {
                const RECT rc{std::min(r.pts[0].x, r.pts[1].x), std::min(r.pts[0].y, r.pts[1].y),
                              std::max(r.pts[0].x, r.pts[1].x), std::max(r.pts[0].y, r.pts[1].y)};
                out << "<rect x=\"" << Num(rc.left + 0.5) << "\" y=\"" << Num(rc.top + 0.5) << "\" width=\""
                    << Num(std::max(0, int(rc.right - rc.left - 1))) << "\" height=\""
                    << Num(std::max(0, int(rc.bottom - rc.top - 1))) << "\"" << Fill(r.brush) << Stroke(r)
                    << "/>\n";
                break;
            }
            case MetaOp::Ellipse: {
                const double l = std::min(r.pts[0].x, r.pts[1].x), t = std::min(r.pts[0].y, r.pts[1].y);
                const double rr = std::max(r.pts[0].x, r.pts[1].x), bb = std::max(r.pts[0].y, r.pts[1].y);
                out << "<ellipse cx=\"" << Num((l + rr) / 2) << "\" cy=\"" << Num((t + bb) / 2) << "\" rx=\""
                    << Num((rr - l - 1) / 2) << "\" ry=\"" << Num((bb - t - 1) / 2) << "\"" << Fill(r.brush)
                    << Stroke(r) << "/>\n";
                break;
            }
            case MetaOp::FillRect:
            case MetaOp::FrameRect: {
                const std::string paint =
                    r.plainColor ? " fill=\"" + Colour(r.fillColor) + "\"" : Fill(r.brush);
                if (r.op == MetaOp::FillRect) {
                    out << "<rect x=\"" << r.rect.left << "\" y=\"" << r.rect.top << "\" width=\""
                        << (r.rect.right - r.rect.left) << "\" height=\"" << (r.rect.bottom - r.rect.top)
                        << "\"" << paint << "/>\n";
                } else {
                    const std::string colour = r.brush ? Colour(r.brush->color) : "#000000";
                    out << "<rect x=\"" << Num(r.rect.left + 0.5) << "\" y=\"" << Num(r.rect.top + 0.5)
                        << "\" width=\"" << (r.rect.right - r.rect.left - 1) << "\" height=\""
                        << (r.rect.bottom - r.rect.top - 1) << "\" fill=\"none\" stroke=\"" << colour
                        << "\" stroke-width=\"1\"/>\n";
                }
                break;
            }
            case MetaOp::Region: {
                out << "<path d=\"";
                for (const RECT& rc : r.region.Rects())
                    out << "M" << rc.left << " " << rc.top << "h" << (rc.right - rc.left) << "v"
                        << (rc.bottom - rc.top) << "h" << (rc.left - rc.right) << "z";
                out << "\"" << Fill(r.brush) << "/>\n";
                break;
            }
            case MetaOp::TextOut:
            case MetaOp::ExtTextOut: {
                if (!FontsAvailable()) break;
                const QFont f = r.font ? r.font->Font() : QFont();
                const QFontMetrics fm(f);
                if (r.op == MetaOp::ExtTextOut && r.hasRect && (r.options & ETO_OPAQUE))
                    out << "<rect x=\"" << r.rect.left << "\" y=\"" << r.rect.top << "\" width=\""
                        << (r.rect.right - r.rect.left) << "\" height=\"" << (r.rect.bottom - r.rect.top)
                        << "\" fill=\"" << Colour(r.bkColor) << "\"/>\n";
                double baseline = r.pts[0].y + fm.ascent();
                if ((r.textAlign & TA_BASELINE) == TA_BASELINE)
                    baseline = r.pts[0].y;
                else if (r.textAlign & TA_BOTTOM)
                    baseline = r.pts[0].y - fm.descent();
                const char* anchor = (r.textAlign & TA_CENTER) == TA_CENTER ? "middle"
                                     : (r.textAlign & TA_RIGHT)             ? "end"
                                                                            : "start";
                SvgText(out, r, r.pts[0].x, baseline, anchor, r.text, f);
                break;
            }
            case MetaOp::DrawText: {
                if (!FontsAvailable()) break;
                const QFont f = r.font ? r.font->Font() : QFont();
                const QFontMetrics fm(f);
                const int lineHeight = fm.ascent() + fm.descent();
                const QStringList lines = DrawTextLines(f, r.text, r.rect.right - r.rect.left, r.options);
                int top = r.rect.top;
                if (r.options & DT_SINGLELINE) {
                    if (r.options & DT_VCENTER)
                        top = r.rect.top + (r.rect.bottom - r.rect.top - lineHeight) / 2;
                    else if (r.options & DT_BOTTOM)
                        top = r.rect.bottom - lineHeight;
                }
                for (const QString& line : lines) {
                    double x = r.rect.left;
                    const char* anchor = "start";
                    if (r.options & DT_CENTER) {
                        x = (r.rect.left + r.rect.right) / 2.0;
                        anchor = "middle";
                    } else if (r.options & DT_RIGHT) {
                        x = r.rect.right;
                        anchor = "end";
                    }
                    SvgText(out, r, x, top + fm.ascent(), anchor, line.toStdString(), f);
                    top += lineHeight;
                }
                break;
            }
            case MetaOp::Image:
                out << "<image x=\"" << r.rect.left << "\" y=\"" << r.rect.top << "\" width=\""
                    << (r.rect.right - r.rect.left) << "\" height=\"" << (r.rect.bottom - r.rect.top)
                    << "\" preserveAspectRatio=\"none\" xlink:href=\"data:image/png;base64," << Png(r.image)
                    << "\"/>\n";
                break;
        }
        if (r.clip) out << "</g>\n";
    }
    out << "</svg>\n";
    return out.str();
}

}  // namespace

}  // namespace platform::gdi

using namespace platform;
using namespace platform::gdi;

HDC CreateEnhMetaFile(HDC, LPCSTR, const RECT* frame, LPCSTR)
{
    auto dc = NewRecordingDc(frame);
    return static_cast<HDC>(static_cast<void*>(dc.get()));
}

HENHMETAFILE CloseEnhMetaFile(HDC h)
{
    auto dc = FindDc(h);
    if (!dc || !dc->recording) return nullptr;
    auto data = std::move(dc->recording);
    ForgetDcWrapper(h);
    Unregister(h);
    return static_cast<HENHMETAFILE>(Register(std::move(data)));
}

BOOL DeleteEnhMetaFile(HENHMETAFILE mf)
{
    if (!FindAs<MetaFileData>(mf)) return FALSE;
    return Unregister(mf) ? TRUE : FALSE;
}

HENHMETAFILE CopyEnhMetaFile(HENHMETAFILE mf, LPCSTR)
{
    auto data = FindAs<MetaFileData>(mf);
    if (!data) return nullptr;
    return static_cast<HENHMETAFILE>(Register(std::make_shared<MetaFileData>(*data)));
}

BOOL PlayEnhMetaFile(HDC h, HENHMETAFILE mf, const RECT* rect)
{
    auto dc = FindDc(h);
    auto data = FindAs<MetaFileData>(mf);
    if (!dc || !data) return FALSE;
    const RECT b = data->Bounds();
    const int ox = rect ? rect->left - b.left : 0, oy = rect ? rect->top - b.top : 0;
    Replay(h, *dc, *data, ox, oy);
    return TRUE;
}

std::string GetEnhMetaFileSvg(HENHMETAFILE mf)
{
    auto data = FindAs<MetaFileData>(mf);
    return data ? MakeSvg(*data) : std::string();
}

CMetaFileDC::~CMetaFileDC()
{
    if (m_hDC) DeleteEnhMetaFile(CloseEnhMetaFile(Detach()));
}

BOOL CMetaFileDC::CreateEnhanced(CDC* reference, LPCTSTR file, const RECT* frame, LPCTSTR description)
{
    if (m_hDC) return FALSE;
    return Attach(::CreateEnhMetaFile(reference ? reference->m_hDC : nullptr, file, frame, description));
}

HENHMETAFILE CMetaFileDC::CloseEnhanced()
{
    return ::CloseEnhMetaFile(Detach());
}

std::string CMetaFileDC::GetSvg() const
{
    auto dc = FindDc(m_hDC);
    return dc && dc->recording ? MakeSvg(*dc->recording) : std::string();
}
