#pragma once

// Regions: handles over our span-list region, the system's region functions and the
// framework's CRgn. Coordinates are pixels; boxes have exclusive right and bottom edges.

#include <cstdint>

#include "platform/gdi/gdi_object.h"
#include "platform/gdi/span_region.h"

PLATFORM_API HRGN CreateRectRgn(int left, int top, int right, int bottom);
PLATFORM_API HRGN CreateRectRgnIndirect(const RECT* rect);
PLATFORM_API HRGN CreateEllipticRgn(int left, int top, int right, int bottom);
/// Pixels whose centres lie inside the polygon; `fillMode` ALTERNATE or WINDING.
PLATFORM_API HRGN CreatePolygonRgn(const POINT* points, int count, int fillMode);
PLATFORM_API HRGN CreatePolyPolygonRgn(const POINT* points, const int* counts, int polygons, int fillMode);
/// dest = src1 (op) src2 (src2 unused for RGN_COPY). Returns the kind of the result
/// (NULLREGION, SIMPLEREGION, COMPLEXREGION) or ERROR; dest may be one of the sources.
PLATFORM_API int CombineRgn(HRGN dest, HRGN src1, HRGN src2, int mode);
PLATFORM_API int OffsetRgn(HRGN region, int dx, int dy);
PLATFORM_API int GetRgnBox(HRGN region, RECT* box);
PLATFORM_API BOOL PtInRegion(HRGN region, int x, int y);
PLATFORM_API BOOL RectInRegion(HRGN region, const RECT* rect);
PLATFORM_API BOOL EqualRgn(HRGN a, HRGN b);
PLATFORM_API BOOL SetRectRgn(HRGN region, int left, int top, int right, int bottom);
/// The region as rectangles: returns the bytes needed when `data` is null or too small
/// (nothing written then), else the bytes written; 0 for a bad handle.
PLATFORM_API DWORD GetRegionData(HRGN region, DWORD size, RGNDATA* data);
/// A region from rectangles, each mapped by the scale and offset of `xform` (null: as
/// they are) with corners rounded to the nearest pixel edge. Rotation and shear terms
/// are not supported (null handle).
PLATFORM_API HRGN ExtCreateRegion(const XFORM* xform, DWORD size, const RGNDATA* data);

/// Pixel count of the region (0 for a bad handle).
PLATFORM_API std::int64_t GetRgnArea(HRGN region);
/// A copy of the region's spans, for walking it row by row (empty for a bad handle).
PLATFORM_API platform::SpanRegion GetRgnSpans(HRGN region);
/// A new region handle holding the spans.
PLATFORM_API HRGN CreateRgnFromSpans(platform::SpanRegion spans);
/// Replaces the pixels of an existing region; FALSE for a bad handle.
PLATFORM_API BOOL SetRgnSpans(HRGN region, platform::SpanRegion spans);

class PLATFORM_API CRgn : public CGdiObject {
public:
    static CRgn* FromHandle(HRGN region);
    operator HRGN() const { return static_cast<HRGN>(static_cast<void*>(m_hObject)); }

    BOOL CreateRectRgn(int left, int top, int right, int bottom);
    BOOL CreateRectRgnIndirect(const RECT* rect);
    BOOL CreateEllipticRgn(int left, int top, int right, int bottom);
    BOOL CreateEllipticRgnIndirect(const RECT* rect);
    BOOL CreatePolygonRgn(const POINT* points, int count, int fillMode);
    BOOL CreatePolyPolygonRgn(const POINT* points, const int* counts, int polygons, int fillMode);
    BOOL CreateFromData(const XFORM* xform, int size, const RGNDATA* data);
    void SetRectRgn(int left, int top, int right, int bottom);
    void SetRectRgn(const RECT* rect) { SetRectRgn(rect->left, rect->top, rect->right, rect->bottom); }
    int CombineRgn(const CRgn* src1, const CRgn* src2, int mode);
    int CopyRgn(const CRgn* src);
    BOOL EqualRgn(const CRgn* other) const;
    int OffsetRgn(int dx, int dy);
    int OffsetRgn(POINT p) { return OffsetRgn(p.x, p.y); }
    int GetRgnBox(RECT* box) const;
    BOOL PtInRegion(int x, int y) const;
    BOOL PtInRegion(POINT p) const { return PtInRegion(p.x, p.y); }
    BOOL RectInRegion(const RECT* rect) const;
    int GetRegionData(RGNDATA* data, int size) const;
    /// Pixel count and the spans, as for the free functions.
    std::int64_t GetArea() const;
    platform::SpanRegion GetSpans() const;
};
