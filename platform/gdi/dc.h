#pragma once

// Device contexts: the system's drawing functions over an HDC and the framework's CDC.
// Memory device contexts draw into the bitmap selected into them (32-bit pixels, or the
// rows of an 8-, 16- or 24-bit DIB section converted on the way). Coordinates are
// logical: device = logical - window origin + viewport origin (MM_TEXT only). Clip
// regions are kept in device pixels. Rectangles exclude their right and bottom edges.

#include <string>

#include "platform/cstring.h"
#include "platform/geometry.h"
#include "platform/gdi/gdi_objects.h"
#include "platform/gdi/region.h"

class QImage;

constexpr UINT OBJ_PEN = 1;
constexpr UINT OBJ_BRUSH = 2;
constexpr UINT OBJ_DC = 3;
constexpr UINT OBJ_PAL = 5;
constexpr UINT OBJ_FONT = 6;
constexpr UINT OBJ_BITMAP = 7;
constexpr UINT OBJ_REGION = 8;
constexpr UINT OBJ_MEMDC = 10;
constexpr UINT OBJ_ENHMETADC = 12;

/// A memory DC with a 1 x 1 bitmap selected; `reference` is not needed.
PLATFORM_API HDC CreateCompatibleDC(HDC reference);
PLATFORM_API BOOL DeleteDC(HDC dc);
/// Selects a pen, brush, font or bitmap and returns the one it replaces (null on failure:
/// a bitmap selected in another DC is refused). A region becomes the clip region (a
/// copy) and the region kind is returned, cast to a handle.
PLATFORM_API HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
template <GdiHandle H>
inline HGDIOBJ SelectObject(HDC dc, H object)
{
    return SelectObject(dc, reinterpret_cast<HGDIOBJ>(object));
}
PLATFORM_API HGDIOBJ GetCurrentObject(HDC dc, UINT type);
PLATFORM_API DWORD GetObjectType(HGDIOBJ object);
PLATFORM_API int SaveDC(HDC dc);
/// Restores the numbered state (what SaveDC returned), or with a negative number the
/// state that many saves back; later saves are dropped.
PLATFORM_API BOOL RestoreDC(HDC dc, int saved);
PLATFORM_API int GetDeviceCaps(HDC dc, int index);
PLATFORM_API BOOL GdiFlush();

PLATFORM_API COLORREF SetTextColor(HDC dc, COLORREF color);
PLATFORM_API COLORREF GetTextColor(HDC dc);
PLATFORM_API COLORREF SetBkColor(HDC dc, COLORREF color);
PLATFORM_API COLORREF GetBkColor(HDC dc);
PLATFORM_API int SetBkMode(HDC dc, int mode);
PLATFORM_API int GetBkMode(HDC dc);
PLATFORM_API UINT SetTextAlign(HDC dc, UINT align);
PLATFORM_API UINT GetTextAlign(HDC dc);
PLATFORM_API int SetROP2(HDC dc, int rop2);
PLATFORM_API int GetROP2(HDC dc);
PLATFORM_API int SetStretchBltMode(HDC dc, int mode);
PLATFORM_API int GetStretchBltMode(HDC dc);
PLATFORM_API int SetPolyFillMode(HDC dc, int mode);
PLATFORM_API int GetPolyFillMode(HDC dc);
PLATFORM_API int SetMapMode(HDC dc, int mode);
PLATFORM_API int GetMapMode(HDC dc);
PLATFORM_API BOOL SetBrushOrgEx(HDC dc, int x, int y, POINT* previous);
PLATFORM_API BOOL GetBrushOrgEx(HDC dc, POINT* origin);
PLATFORM_API BOOL SetViewportOrgEx(HDC dc, int x, int y, POINT* previous);
PLATFORM_API BOOL GetViewportOrgEx(HDC dc, POINT* origin);
PLATFORM_API BOOL OffsetViewportOrgEx(HDC dc, int dx, int dy, POINT* previous);
PLATFORM_API BOOL SetWindowOrgEx(HDC dc, int x, int y, POINT* previous);
PLATFORM_API BOOL GetWindowOrgEx(HDC dc, POINT* origin);
PLATFORM_API BOOL OffsetWindowOrgEx(HDC dc, int dx, int dy, POINT* previous);
PLATFORM_API BOOL LPtoDP(HDC dc, POINT* points, int count);
PLATFORM_API BOOL DPtoLP(HDC dc, POINT* points, int count);

PLATFORM_API BOOL MoveToEx(HDC dc, int x, int y, POINT* previous);
PLATFORM_API BOOL GetCurrentPositionEx(HDC dc, POINT* position);
/// Draws from the current position up to, but not including, (x, y), which becomes the
/// current position.
PLATFORM_API BOOL LineTo(HDC dc, int x, int y);
PLATFORM_API BOOL Polyline(HDC dc, const POINT* points, int count);
PLATFORM_API BOOL Polygon(HDC dc, const POINT* points, int count);
PLATFORM_API BOOL PolyPolygon(HDC dc, const POINT* points, const int* counts, int polygons);
PLATFORM_API BOOL Rectangle(HDC dc, int left, int top, int right, int bottom);
PLATFORM_API BOOL Ellipse(HDC dc, int left, int top, int right, int bottom);
PLATFORM_API COLORREF SetPixel(HDC dc, int x, int y, COLORREF color);
PLATFORM_API BOOL SetPixelV(HDC dc, int x, int y, COLORREF color);
/// CLR_INVALID outside the clip region or the bitmap.
PLATFORM_API COLORREF GetPixel(HDC dc, int x, int y);
PLATFORM_API int FillRect(HDC dc, const RECT* rect, HBRUSH brush);
PLATFORM_API int FrameRect(HDC dc, const RECT* rect, HBRUSH brush);
PLATFORM_API BOOL InvertRect(HDC dc, const RECT* rect);
PLATFORM_API BOOL FillRgn(HDC dc, HRGN region, HBRUSH brush);
/// A frame `width` pixels wide and `height` pixels high just inside the region's border.
PLATFORM_API BOOL FrameRgn(HDC dc, HRGN region, HBRUSH brush, int width, int height);
PLATFORM_API BOOL InvertRgn(HDC dc, HRGN region);
PLATFORM_API BOOL PaintRgn(HDC dc, HRGN region);
PLATFORM_API BOOL PatBlt(HDC dc, int x, int y, int width, int height, DWORD rop);
PLATFORM_API BOOL BitBlt(HDC dc, int x, int y, int width, int height, HDC src, int srcX, int srcY, DWORD rop);
/// Negative extents mirror. COLORONCOLOR (and the other non-smooth modes) take the
/// nearest source pixel; HALFTONE scales smoothly.
PLATFORM_API BOOL StretchBlt(HDC dc, int x, int y, int width, int height, HDC src, int srcX, int srcY,
                             int srcWidth, int srcHeight, DWORD rop);
/// Draws a band of DIB rows: `bits` holds `lines` scan lines starting at scan `startScan`
/// (scans count from the bottom row of the picture, top-down DIBs included); the source
/// rectangle's y counts from the bottom row as well. Returns the number of scan lines
/// taken (0 on failure).
PLATFORM_API int SetDIBitsToDevice(HDC dc, int x, int y, DWORD width, DWORD height, int srcX, int srcY,
                                   UINT startScan, UINT lines, const void* bits, const BITMAPINFO* info,
                                   UINT usage);
/// The source rectangle of a bottom-up DIB counts y from its bottom row; of a top-down DIB
/// from its top row. Returns the number of rows of the DIB, 0 on failure.
PLATFORM_API int StretchDIBits(HDC dc, int x, int y, int width, int height, int srcX, int srcY, int srcWidth,
                               int srcHeight, const void* bits, const BITMAPINFO* info, UINT usage,
                               DWORD rop);
PLATFORM_API UINT SetDIBColorTable(HDC dc, UINT start, UINT count, const RGBQUAD* colors);
PLATFORM_API UINT GetDIBColorTable(HDC dc, UINT start, UINT count, RGBQUAD* colors);
PLATFORM_API BOOL DrawEdge(HDC dc, RECT* rect, UINT edge, UINT flags);
/// The dotted focus frame, drawn by XOR so that a second call removes it.
PLATFORM_API BOOL DrawFocusRect(HDC dc, const RECT* rect);
/// Draws the icon at its own size with (x, y) as its top-left corner; its clear pixels
/// leave the DC as it was. FALSE for a null DC or icon.
PLATFORM_API BOOL DrawIcon(HDC dc, int x, int y, HICON icon);
/// Moves the pixels of `scroll` (null: the whole bitmap) by (dx, dy), keeping inside
/// `clip` (null: no limit); the uncovered part goes to `update` and `updateRect`.
PLATFORM_API BOOL ScrollDC(HDC dc, int dx, int dy, const RECT* scroll, const RECT* clip, HRGN update,
                           RECT* updateRect);

PLATFORM_API BOOL TextOut(HDC dc, int x, int y, LPCSTR text, int length);
PLATFORM_API BOOL ExtTextOut(HDC dc, int x, int y, UINT options, const RECT* rect, LPCSTR text, UINT length,
                             const int* dx);
/// One text of PolyTextOut, drawn as ExtTextOut(x, y, uiFlags, &rcl, lpstr, n, pdx) draws it.
struct POLYTEXT {
    int x;
    int y;
    UINT n;
    LPCSTR lpstr;
    UINT uiFlags;
    RECT rcl;
    const int* pdx;
};
/// Draws the texts in turn, each as ExtTextOut draws it; FALSE (and nothing drawn) when one
/// of them is not a text. A row of a value grid's numbers is one call.
PLATFORM_API BOOL PolyTextOut(HDC dc, const POLYTEXT* texts, int count);
/// Lays the text out in the rectangle; returns the height of the text (0 on failure).
/// With DT_CALCRECT the rectangle is widened or narrowed to the text and nothing is drawn.
PLATFORM_API int DrawText(HDC dc, LPCSTR text, int length, RECT* rect, UINT format);
PLATFORM_API BOOL GetTextExtentPoint32(HDC dc, LPCSTR text, int length, SIZE* size);
namespace platform {
/// The width (GetTextExtentPoint32's cx) of each of `count` texts in the DC's font, in one call:
/// a screen of a value grid measures thousands. FALSE for a bad DC or where there are no fonts.
PLATFORM_API BOOL GetTextAdvances(HDC dc, const CString* texts, int count, int* advances);
}  // namespace platform
PLATFORM_API BOOL GetTextMetrics(HDC dc, TEXTMETRIC* metrics);
PLATFORM_API int GetTextFace(HDC dc, int size, LPSTR face);

/// Makes a copy of the region (device pixels) the clip region; null removes clipping.
PLATFORM_API int SelectClipRgn(HDC dc, HRGN region);
PLATFORM_API int ExtSelectClipRgn(HDC dc, HRGN region, int mode);
PLATFORM_API int IntersectClipRect(HDC dc, int left, int top, int right, int bottom);
PLATFORM_API int ExcludeClipRect(HDC dc, int left, int top, int right, int bottom);
PLATFORM_API int OffsetClipRgn(HDC dc, int dx, int dy);
/// The bounding box of what can be drawn, in logical coordinates.
PLATFORM_API int GetClipBox(HDC dc, RECT* box);
/// Copies the clip region into `region`: 1 when there is one, 0 when there is none.
PLATFORM_API int GetClipRgn(HDC dc, HRGN region);
PLATFORM_API BOOL PtVisible(HDC dc, int x, int y);
PLATFORM_API BOOL RectVisible(HDC dc, const RECT* rect);

/// Palettes are kept and reported but there is no palette device: colours stay true.
PLATFORM_API HPALETTE SelectPalette(HDC dc, HPALETTE palette, BOOL forceBackground);
PLATFORM_API UINT RealizePalette(HDC dc);
/// Entries start.. of the system palette, which here is one fixed table of 256 colours:
/// 0-9 and 246-255 the twenty static colours (the default palette's first and last ten),
/// 10-225 the 6 x 6 x 6 colour cube of levels 0, 51, .. 255 (index 10 + 36 r + 6 g + b),
/// 226-245 twenty greys round(255 (k + 1) / 21), k = 0..19; all flags 0. Returns the
/// number of entries copied (256 for null entries).
PLATFORM_API UINT GetSystemPaletteEntries(HDC dc, UINT start, UINT count, PALETTEENTRY* entries);

/// The framework's device context class.
class PLATFORM_API CDC {
public:
    CDC() = default;
    virtual ~CDC();
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    HDC m_hDC = nullptr;
    HDC m_hAttribDC = nullptr;

    static CDC* FromHandle(HDC dc);
    operator HDC() const { return m_hDC; }
    HDC GetSafeHdc() const { return m_hDC; }
    BOOL Attach(HDC dc);
    HDC Detach();
    BOOL CreateCompatibleDC(CDC* reference);
    BOOL DeleteDC();
    int SaveDC();
    BOOL RestoreDC(int saved);
    int GetDeviceCaps(int index) const;

    CPen* SelectObject(CPen* pen);
    CBrush* SelectObject(CBrush* brush);
    CFont* SelectObject(CFont* font);
    CBitmap* SelectObject(CBitmap* bitmap);
    int SelectObject(CRgn* region);
    CGdiObject* SelectObject(CGdiObject* object);
    HGDIOBJ SelectObject(HGDIOBJ object);
    CGdiObject* SelectStockObject(int which);
    CPalette* SelectPalette(CPalette* palette, BOOL forceBackground);
    UINT RealizePalette();
    CPen* GetCurrentPen() const;
    CBrush* GetCurrentBrush() const;
    CFont* GetCurrentFont() const;
    CBitmap* GetCurrentBitmap() const;

    COLORREF SetTextColor(COLORREF c);
    COLORREF GetTextColor() const;
    COLORREF SetBkColor(COLORREF c);
    COLORREF GetBkColor() const;
    int SetBkMode(int mode);
    int GetBkMode() const;
    UINT SetTextAlign(UINT align);
    UINT GetTextAlign() const;
    int SetROP2(int rop2);
    int GetROP2() const;
    int SetStretchBltMode(int mode);
    int GetStretchBltMode() const;
    int SetPolyFillMode(int mode);
    int GetPolyFillMode() const;
    int SetMapMode(int mode);
    CPoint SetBrushOrg(int x, int y);
    CPoint SetBrushOrg(POINT p) { return SetBrushOrg(p.x, p.y); }
    CPoint GetBrushOrg() const;
    CPoint SetViewportOrg(int x, int y);
    CPoint SetViewportOrg(POINT p) { return SetViewportOrg(p.x, p.y); }
    CPoint OffsetViewportOrg(int dx, int dy);
    CPoint GetViewportOrg() const;
    CPoint SetWindowOrg(int x, int y);
    CPoint SetWindowOrg(POINT p) { return SetWindowOrg(p.x, p.y); }
    CPoint OffsetWindowOrg(int dx, int dy);
    CPoint GetWindowOrg() const;
    void LPtoDP(POINT* points, int count = 1) const;
    void LPtoDP(RECT* rect) const;
    void DPtoLP(POINT* points, int count = 1) const;
    void DPtoLP(RECT* rect) const;

    CPoint MoveTo(int x, int y);
    CPoint MoveTo(POINT p) { return MoveTo(p.x, p.y); }
    CPoint GetCurrentPosition() const;
    BOOL LineTo(int x, int y);
    BOOL LineTo(POINT p) { return LineTo(p.x, p.y); }
    BOOL Polyline(const POINT* points, int count);
    BOOL Polygon(const POINT* points, int count);
    BOOL PolyPolygon(const POINT* points, const int* counts, int polygons);
    BOOL Rectangle(int l, int t, int r, int b);
    BOOL Rectangle(const RECT* r) { return Rectangle(r->left, r->top, r->right, r->bottom); }
    BOOL Ellipse(int l, int t, int r, int b);
    BOOL Ellipse(const RECT* r) { return Ellipse(r->left, r->top, r->right, r->bottom); }
    COLORREF SetPixel(int x, int y, COLORREF c);
    COLORREF SetPixel(POINT p, COLORREF c) { return SetPixel(p.x, p.y, c); }
    BOOL SetPixelV(int x, int y, COLORREF c);
    COLORREF GetPixel(int x, int y) const;
    COLORREF GetPixel(POINT p) const { return GetPixel(p.x, p.y); }
    void FillRect(const RECT* rect, CBrush* brush);
    void FillSolidRect(const RECT* rect, COLORREF c);
    void FillSolidRect(int x, int y, int cx, int cy, COLORREF c);
    void FrameRect(const RECT* rect, CBrush* brush);
    void InvertRect(const RECT* rect);
    BOOL FillRgn(CRgn* region, CBrush* brush);
    BOOL FrameRgn(CRgn* region, CBrush* brush, int width, int height);
    BOOL InvertRgn(CRgn* region);
    BOOL PaintRgn(CRgn* region);
    BOOL PatBlt(int x, int y, int width, int height, DWORD rop);
    BOOL BitBlt(int x, int y, int width, int height, CDC* src, int srcX, int srcY, DWORD rop);
    BOOL StretchBlt(int x, int y, int width, int height, CDC* src, int srcX, int srcY, int srcWidth,
                    int srcHeight, DWORD rop);
    BOOL DrawEdge(RECT* rect, UINT edge, UINT flags);
    void Draw3dRect(const RECT* rect, COLORREF topLeft, COLORREF bottomRight);
    void Draw3dRect(int x, int y, int cx, int cy, COLORREF topLeft, COLORREF bottomRight);
    void DrawFocusRect(const RECT* rect);
    BOOL DrawIcon(int x, int y, HICON icon) { return ::DrawIcon(m_hDC, x, y, icon); }
    BOOL DrawIcon(POINT point, HICON icon) { return ::DrawIcon(m_hDC, point.x, point.y, icon); }
    /// The framework's rubber-band frame: XOR of a `size`-wide border with the brush
    /// (default a half-tone grey), erasing `last` first when given.
    void DrawDragRect(const RECT* rect, SIZE size, const RECT* last, SIZE lastSize, CBrush* brush = nullptr,
                      CBrush* lastBrush = nullptr);
    BOOL ScrollDC(int dx, int dy, const RECT* scroll, const RECT* clip, CRgn* update, RECT* updateRect);

    BOOL TextOut(int x, int y, LPCTSTR text, int length);
    BOOL TextOut(int x, int y, const CString& text) { return TextOut(x, y, text, text.GetLength()); }
    BOOL ExtTextOut(int x, int y, UINT options, const RECT* rect, LPCTSTR text, UINT length, const int* dx);
    BOOL ExtTextOut(int x, int y, UINT options, const RECT* rect, const CString& text, const int* dx)
    {
        return ExtTextOut(x, y, options, rect, text, UINT(text.GetLength()), dx);
    }
    int DrawText(LPCTSTR text, int length, RECT* rect, UINT format);
    int DrawText(const CString& text, RECT* rect, UINT format)
    {
        return DrawText(text, text.GetLength(), rect, format);
    }
    CSize GetTextExtent(LPCTSTR text, int length) const;
    CSize GetTextExtent(const CString& text) const { return GetTextExtent(text, text.GetLength()); }
    CSize GetOutputTextExtent(const CString& text) const { return GetTextExtent(text); }
    BOOL GetTextMetrics(TEXTMETRIC* metrics) const;

    int SelectClipRgn(CRgn* region);
    int SelectClipRgn(CRgn* region, int mode);
    int IntersectClipRect(int l, int t, int r, int b);
    int IntersectClipRect(const RECT* r) { return IntersectClipRect(r->left, r->top, r->right, r->bottom); }
    int ExcludeClipRect(int l, int t, int r, int b);
    int ExcludeClipRect(const RECT* r) { return ExcludeClipRect(r->left, r->top, r->right, r->bottom); }
    int OffsetClipRgn(int dx, int dy);
    int GetClipBox(RECT* box) const;
    BOOL PtVisible(int x, int y) const;
    BOOL RectVisible(const RECT* r) const;
};

/// A DC over an image that someone else owns (a window's backing picture): 32-bit pixels
/// (Format_RGB32 or Format_ARGB32_Premultiplied, kept opaque). The image must outlive the
/// DC and keep its size while the DC exists.
PLATFORM_API HDC CreateImageDC(QImage* image);
/// The picture behind a memory DC's bitmap as a 32-bit image (a copy), for showing it.
PLATFORM_API QImage GetDCImage(HDC dc);
