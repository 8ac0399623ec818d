#pragma once

// Pens, brushes, fonts, bitmaps (device-dependent and device-independent sections) and
// palettes: the system's creation functions and the framework's wrapper classes.

#include "platform/cstring.h"
#include "platform/gdi/gdi_object.h"

class CDC;

PLATFORM_API HPEN CreatePen(int style, int width, COLORREF color);
PLATFORM_API HPEN CreatePenIndirect(const LOGPEN* log);
/// Geometric and cosmetic pens; only solid brush colours are used, custom styles are not.
PLATFORM_API HPEN ExtCreatePen(DWORD style, DWORD width, const LOGBRUSH* brush, DWORD styleCount,
                               const DWORD* styles);
PLATFORM_API HBRUSH CreateSolidBrush(COLORREF color);
/// Hatch lines in the colour over the DC's background colour (OPAQUE mode) or over what
/// is there (TRANSPARENT mode).
PLATFORM_API HBRUSH CreateHatchBrush(int hatch, COLORREF color);
/// A brush repeating the bitmap (any size); a monochrome bitmap draws its black pixels in
/// the DC's text colour and its white pixels in the DC's background colour.
PLATFORM_API HBRUSH CreatePatternBrush(HBITMAP bitmap);
/// A pattern from a packed DIB (BITMAPINFO, colour table, then the rows).
PLATFORM_API HBRUSH CreateDIBPatternBrushPt(const void* packedDib, UINT usage);
PLATFORM_API HBRUSH CreateBrushIndirect(const LOGBRUSH* log);

PLATFORM_API HFONT CreateFont(int height, int width, int escapement, int orientation, int weight,
                              DWORD italic, DWORD underline, DWORD strikeOut, DWORD charSet,
                              DWORD outPrecision, DWORD clipPrecision, DWORD quality, DWORD pitchAndFamily,
                              LPCSTR face);
PLATFORM_API HFONT CreateFontIndirect(const LOGFONT* log);

/// A 32-bit bitmap of the size, all black. Always in colour, whatever is selected in the DC.
PLATFORM_API HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);
/// 1-bit (monochrome, rows padded to 16 bits), 24- or 32-bit pixels, copied when given.
PLATFORM_API HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitCount, const void* bits);
PLATFORM_API HBITMAP CreateBitmapIndirect(const BITMAP* bm);
/// A 32-bit bitmap holding the bitmap resource lpBitmapName (an id or a name) of the
/// resource chain; a library's instance handle limits the search to that library. Null with
/// ERROR_RESOURCE_NAME_NOT_FOUND when there is none or its picture cannot be read.
PLATFORM_API HBITMAP LoadBitmap(HINSTANCE hInstance, LPCTSTR lpBitmapName);
/// A device-independent bitmap whose rows the caller reaches through *bits: 8 bits with
/// a colour table, 16 bits (5-5-5, or bit fields), 24 bits, 32 bits (plain or bit fields);
/// top-down for a negative height; rows padded to four bytes. Without a section handle the
/// pixels live in the layer's own memory, zeroed; with one they are a view of that file
/// mapping (writable, PAGE_READWRITE) from `offset` (a multiple of 4), which must hold the
/// whole picture: what the mapping holds shows, what is drawn goes into it, and the view
/// lasts as long as the bitmap, after the mapping's handle is closed too.
PLATFORM_API HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                                      DWORD offset);
/// Copies rows of a bitmap into a DIB described by `info` (8, 24 or 32 bits; with null
/// bits only the header is completed). Returns the number of rows copied, 0 on failure.
PLATFORM_API int GetDIBits(HDC dc, HBITMAP bitmap, UINT startScan, UINT lines, void* bits, BITMAPINFO* info,
                           UINT usage);
/// Sets rows of a bitmap from a DIB; returns the rows set.
PLATFORM_API int SetDIBits(HDC dc, HBITMAP bitmap, UINT startScan, UINT lines, const void* bits,
                           const BITMAPINFO* info, UINT usage);

PLATFORM_API HPALETTE CreatePalette(const LOGPALETTE* log);
PLATFORM_API UINT GetPaletteEntries(HPALETTE palette, UINT start, UINT count, PALETTEENTRY* entries);
PLATFORM_API UINT SetPaletteEntries(HPALETTE palette, UINT start, UINT count, const PALETTEENTRY* entries);
PLATFORM_API UINT GetNearestPaletteIndex(HPALETTE palette, COLORREF color);

class PLATFORM_API CPen : public CGdiObject {
public:
    CPen() = default;
    CPen(int style, int width, COLORREF color) { CreatePen(style, width, color); }
    static CPen* FromHandle(HPEN pen);
    operator HPEN() const { return static_cast<HPEN>(static_cast<void*>(m_hObject)); }
    BOOL CreatePen(int style, int width, COLORREF color);
    BOOL CreatePen(int style, int width, const LOGBRUSH* brush, int styleCount = 0,
                   const DWORD* styles = nullptr);
    BOOL CreatePenIndirect(const LOGPEN* log);
    int GetLogPen(LOGPEN* log) const { return GetObject(sizeof(LOGPEN), log); }
};

class PLATFORM_API CBrush : public CGdiObject {
public:
    CBrush() = default;
    explicit CBrush(COLORREF color) { CreateSolidBrush(color); }
    CBrush(int hatch, COLORREF color) { CreateHatchBrush(hatch, color); }
    static CBrush* FromHandle(HBRUSH brush);
    operator HBRUSH() const { return static_cast<HBRUSH>(static_cast<void*>(m_hObject)); }
    BOOL CreateSolidBrush(COLORREF color);
    BOOL CreateHatchBrush(int hatch, COLORREF color);
    BOOL CreatePatternBrush(class CBitmap* bitmap);
    BOOL CreateDIBPatternBrush(const void* packedDib, UINT usage);
    BOOL CreateBrushIndirect(const LOGBRUSH* log);
    int GetLogBrush(LOGBRUSH* log) const { return GetObject(sizeof(LOGBRUSH), log); }
};

class PLATFORM_API CFont : public CGdiObject {
public:
    static CFont* FromHandle(HFONT font);
    operator HFONT() const { return static_cast<HFONT>(static_cast<void*>(m_hObject)); }
    BOOL CreateFont(int height, int width, int escapement, int orientation, int weight, BYTE italic,
                    BYTE underline, BYTE strikeOut, BYTE charSet, BYTE outPrecision, BYTE clipPrecision,
                    BYTE quality, BYTE pitchAndFamily, LPCTSTR face);
    BOOL CreateFontIndirect(const LOGFONT* log);
    /// Size in tenths of a point, at the DC's vertical resolution (96 per inch without one).
    BOOL CreatePointFont(int pointSize, LPCTSTR face, CDC* dc = nullptr);
    BOOL CreatePointFontIndirect(const LOGFONT* log, CDC* dc = nullptr);
    int GetLogFont(LOGFONT* log) const { return GetObject(sizeof(LOGFONT), log); }
};

class PLATFORM_API CBitmap : public CGdiObject {
public:
    static CBitmap* FromHandle(HBITMAP bitmap);
    operator HBITMAP() const { return static_cast<HBITMAP>(static_cast<void*>(m_hObject)); }
    BOOL CreateCompatibleBitmap(CDC* dc, int width, int height);
    BOOL CreateBitmap(int width, int height, UINT planes, UINT bitCount, const void* bits);
    BOOL CreateBitmapIndirect(const BITMAP* bm);
    /// The bitmap resource of the resource chain (newest library first).
    BOOL LoadBitmap(UINT nIDResource);
    BOOL LoadBitmap(LPCTSTR lpszResourceName);
    int GetBitmap(BITMAP* bm) const { return GetObject(sizeof(BITMAP), bm); }
};

class PLATFORM_API CPalette : public CGdiObject {
public:
    static CPalette* FromHandle(HPALETTE palette);
    operator HPALETTE() const { return static_cast<HPALETTE>(static_cast<void*>(m_hObject)); }
    BOOL CreatePalette(const LOGPALETTE* log);
    int GetEntryCount() const;
    UINT GetPaletteEntries(UINT start, UINT count, PALETTEENTRY* entries) const;
    UINT SetPaletteEntries(UINT start, UINT count, const PALETTEENTRY* entries);
    UINT GetNearestPaletteIndex(COLORREF color) const;
};
