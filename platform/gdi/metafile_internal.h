#pragma once

// What a metafile DC records: each drawing call with the state it was drawn with, in the
// metafile's own device coordinates.

#include <string>

#include "platform/gdi/dc_internal.h"

namespace platform::gdi {

enum class MetaOp { Line, Polyline, Polygon, Rectangle, Ellipse, FillRect, FrameRect, Region, TextOut, ExtTextOut, DrawText, Image };

struct MetaRecord {
    MetaOp op = MetaOp::Line;
    std::vector<POINT> pts;
    RECT rect{};
    bool hasRect = false;
    std::shared_ptr<PenObj> pen;
    std::shared_ptr<BrushObj> brush;
    std::shared_ptr<FontObj> font;
    COLORREF textColor = 0;
    COLORREF bkColor = 0;
    COLORREF fillColor = 0;  // a plain colour fill (pixels)
    bool plainColor = false;
    int bkMode = OPAQUE;
    int rop2 = R2_COPYPEN;
    int polyFillMode = ALTERNATE;
    int stretchMode = BLACKONWHITE;
    UINT textAlign = 0;
    POINT brushOrg{0, 0};
    DWORD rop = SRCCOPY;
    UINT options = 0;
    std::string text;
    SpanRegion region;
    QImage image;  // the source part of an image, 32-bit
    std::optional<SpanRegion> clip;  // the clip region it was drawn with (metafile pixels)
};

struct MetaFileData : GdiObject {
    static constexpr Kind kKind = Kind::MetaFile;
    MetaFileData() : GdiObject(kKind) {}
    std::vector<MetaRecord> records;
    RECT frame{0, 0, 0, 0};
    bool hasFrame = false;
    RECT drawn{0, 0, 0, 0};  // bounds of what was drawn
    bool any = false;
    void Extend(const RECT& r);
    RECT Bounds() const { return hasFrame ? frame : drawn; }
};

void RecordLine(DcObj& dc, POINT from, POINT to);
void RecordShape(DcObj& dc, MetaOp op, std::vector<POINT> logicalPoints);
void RecordFill(DcObj& dc, MetaOp op, RECT logical, COLORREF color);
void RecordBrushRect(DcObj& dc, MetaOp op, RECT logical, std::shared_ptr<BrushObj> brush, DWORD rop = PATCOPY);
void RecordRegion(DcObj& dc, SpanRegion logical, std::shared_ptr<BrushObj> brush);
void RecordImage(DcObj& dc, RECT logicalDst, const SourceImage& src, RECT srcRect, DWORD rop);
void RecordText(DcObj& dc, MetaOp op, POINT logical, const RECT* rect, UINT options, std::string text);

}  // namespace platform::gdi
