#pragma once

// Colours, fonts, pens, brushes, canvases and bitmaps of the plug-in's class library, over
// the platform's GDI. A canvas draws on a device context with its own pen, brush and font,
// which it selects into the context before each drawing call, so that code sets
// Canvas->Pen()->SetColor(...) and draws without handling GDI objects itself.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/forms/method.h"
#include "platform/forms/object.h"
#include "platform/gdi/gdi_types.h"
#include "platform/geometry.h"

class CBitmap;
class CDC;
class CFont;

/// A colour: 0x00BBGGRR, or a system colour (clSystemColor | COLOR_xxx), or clNone /
/// clDefault.
using TColor = std::int32_t;

constexpr TColor clSystemColor = static_cast<TColor>(0x80000000u);
constexpr TColor clScrollBar = clSystemColor | 0;
constexpr TColor clBackground = clSystemColor | 1;
constexpr TColor clActiveCaption = clSystemColor | 2;
constexpr TColor clMenu = clSystemColor | 4;
constexpr TColor clWindow = clSystemColor | 5;
constexpr TColor clWindowFrame = clSystemColor | 6;
constexpr TColor clMenuText = clSystemColor | 7;
constexpr TColor clWindowText = clSystemColor | 8;
constexpr TColor clCaptionText = clSystemColor | 9;
constexpr TColor clHighlight = clSystemColor | 13;
constexpr TColor clHighlightText = clSystemColor | 14;
constexpr TColor clBtnFace = clSystemColor | 15;
constexpr TColor clBtnShadow = clSystemColor | 16;
constexpr TColor clGrayText = clSystemColor | 17;
constexpr TColor clBtnText = clSystemColor | 18;
constexpr TColor clBtnHighlight = clSystemColor | 20;
constexpr TColor cl3DDkShadow = clSystemColor | 21;
constexpr TColor cl3DLight = clSystemColor | 22;
constexpr TColor clInfoText = clSystemColor | 23;
constexpr TColor clInfoBk = clSystemColor | 24;

constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clOlive = 0x008080;
constexpr TColor clNavy = 0x800000;
constexpr TColor clPurple = 0x800080;
constexpr TColor clTeal = 0x808000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clAqua = 0xFFFF00;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clDefault = 0x20000000;

/// The RGB value of a colour (system colours looked up now); clNone and clDefault give
/// themselves.
PLATFORM_API COLORREF ColorToRGB(TColor color);
/// Reads a colour from its name ("clBtnFace") or number ("$00C0C0C0", "12632256"); false
/// when the text is neither.
PLATFORM_API bool TextToColor(std::string_view text, TColor& color);

enum TFontStyle : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
using TFontStyles = unsigned;

/// Pens, brushes and fonts tell their canvas (and whoever listens) when they change.
class PLATFORM_API TGraphicsObject : public TPersistent {
    DECLARE_TCLASS(TGraphicsObject)

    TNotifyEvent OnChange;

protected:
    TGraphicsObject() = default;
    ~TGraphicsObject() override;
    /// Drops the GDI object made for the old values and tells OnChange.
    void Changed();
    /// The GDI object for the current values (made on first use); null when none can be made.
    HGDIOBJ Object() const;
    /// Makes the GDI object for the current values; the object deletes it when the values change.
    virtual HGDIOBJ MakeObject() const = 0;

private:
    mutable HGDIOBJ m_object = nullptr;
};

class PLATFORM_API TFont : public TGraphicsObject {
    DECLARE_TCLASS(TFont)

    /// "MS Sans Serif", 8 points, black, no style.
    TFont() = default;

    const std::string& Name() const { return m_name; }
    void SetName(const std::string& name);
    /// Points; SetSize changes the height (pixels at 96 per inch) with it.
    int Size() const;
    void SetSize(int points);
    /// Negative: the character height in pixels; positive: the cell height.
    int Height() const { return m_height; }
    void SetHeight(int height);
    TFontStyles Style() const { return m_style; }
    void SetStyle(TFontStyles style);
    TColor Color() const { return m_color; }
    void SetColor(TColor color);
    /// The GDI font of these values (the font keeps it).
    HFONT Handle() const { return static_cast<HFONT>(static_cast<void*>(Object())); }
    /// The same font as a CFont (for windows' SetFont); valid until the font changes.
    CFont* WindowFont() const;
    /// Copies name, height, style and colour from another TFont.
    void Assign(TPersistent* source) override;

protected:
    HGDIOBJ MakeObject() const override;

private:
    std::string m_name = "MS Sans Serif";
    int m_height = -11;
    TFontStyles m_style = 0;
    TColor m_color = clWindowText;
};

enum TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };
/// Raster operations of a pen (R2_xxx order as the class library numbers them).
enum TPenMode {
    pmBlack,
    pmWhite,
    pmNop,
    pmNot,
    pmCopy,
    pmNotCopy,
    pmMergePenNot,
    pmMaskPenNot,
    pmMergeNotPen,
    pmMaskNotPen,
    pmMerge,
    pmNotMerge,
    pmMask,
    pmNotMask,
    pmXor,
    pmNotXor
};

class PLATFORM_API TPen : public TGraphicsObject {
    DECLARE_TCLASS(TPen)

    TPen() = default;
    TColor Color() const { return m_color; }
    void SetColor(TColor color);
    int Width() const { return m_width; }
    void SetWidth(int width);
    TPenStyle Style() const { return m_style; }
    void SetStyle(TPenStyle style);
    TPenMode Mode() const { return m_mode; }
    void SetMode(TPenMode mode);
    HPEN Handle() const { return static_cast<HPEN>(static_cast<void*>(Object())); }
    void Assign(TPersistent* source) override;

protected:
    HGDIOBJ MakeObject() const override;

private:
    TColor m_color = clBlack;
    int m_width = 1;
    TPenStyle m_style = psSolid;
    TPenMode m_mode = pmCopy;
};

enum TBrushStyle {
    bsSolid,
    bsClear,
    bsHorizontal,
    bsVertical,
    bsFDiagonal,
    bsBDiagonal,
    bsCross,
    bsDiagCross
};

class PLATFORM_API TBrush : public TGraphicsObject {
    DECLARE_TCLASS(TBrush)

    TBrush() = default;
    TColor Color() const { return m_color; }
    void SetColor(TColor color);
    TBrushStyle Style() const { return m_style; }
    void SetStyle(TBrushStyle style);
    HBRUSH Handle() const { return static_cast<HBRUSH>(static_cast<void*>(Object())); }
    void Assign(TPersistent* source) override;

protected:
    HGDIOBJ MakeObject() const override;

private:
    TColor m_color = clWhite;
    TBrushStyle m_style = bsSolid;
};

class TBitmap;

/// Drawing on a device context with a pen, a brush and a font. A canvas without a context
/// asks CreateHandle for one (controls' canvases get theirs there); drawing without any
/// context does nothing.
class PLATFORM_API TCanvas : public TPersistent {
    DECLARE_TCLASS(TCanvas)

    void Create(void* owner) override;
    void BeforeDestruction() override;

    /// The device context, made by CreateHandle when there is none; null when none can be had.
    HDC Handle();
    /// Draws on dc from now on (null: none); the caller keeps the context.
    void SetHandle(HDC dc);
    bool HandleAllocated() const { return m_dc != nullptr; }
    /// The context as a CDC (null without one).
    CDC* Dc();

    TPen* Pen() const { return m_pen; }
    TBrush* Brush() const { return m_brush; }
    TFont* Font() const { return m_font; }
    /// The rectangle drawing is clipped to.
    CRect ClipRect();

    void MoveTo(int x, int y);
    void LineTo(int x, int y);
    void Polyline(const POINT* points, int count);
    void Polygon(const POINT* points, int count);
    /// Outlined with the pen and filled with the brush; right and bottom excluded.
    void Rectangle(int left, int top, int right, int bottom);
    void Rectangle(const RECT& rect) { Rectangle(rect.left, rect.top, rect.right, rect.bottom); }
    void Ellipse(int left, int top, int right, int bottom);
    /// Fills with the brush (no outline).
    void FillRect(const RECT& rect);
    /// Outlines with the brush's colour, one pixel wide.
    void FrameRect(const RECT& rect);
    void DrawFocusRect(const RECT& rect);
    /// The text at (x, y) in the font; the background as the brush says (bsClear: none).
    void TextOut(int x, int y, std::string_view text);
    /// The text at (x, y), clipped to rect, whose background is filled with the brush first.
    void TextRect(const RECT& rect, int x, int y, std::string_view text);
    /// DrawText with DT_ flags in the font; returns the text's height.
    int DrawText(std::string_view text, RECT& rect, UINT format);
    CSize TextExtent(std::string_view text);
    int TextWidth(std::string_view text) { return TextExtent(text).cx; }
    int TextHeight(std::string_view text) { return TextExtent(text).cy; }
    COLORREF Pixel(int x, int y);
    void SetPixel(int x, int y, TColor color);
    /// Copies the bitmap with its top-left corner at (x, y).
    void Draw(int x, int y, TBitmap* bitmap);
    /// Stretches the bitmap over rect.
    void StretchDraw(const RECT& rect, TBitmap* bitmap);
    /// Copies source's rectangle src onto dest of this canvas (raster operation CopyMode).
    void CopyRect(const RECT& dest, TCanvas* source, const RECT& src);
    DWORD CopyMode() const { return m_copyMode; }
    void SetCopyMode(DWORD mode) { m_copyMode = mode; }

protected:
    TCanvas() = default;
    /// Called when a context is wanted and there is none; the base has none to give.
    virtual void CreateHandle() {}
    /// Selects the pen, brush and font into the context and sets text colour and mode.
    bool Ready(bool pen, bool brush, bool font);

private:
    HDC m_dc = nullptr;
    TPen* m_pen = nullptr;
    TBrush* m_brush = nullptr;
    TFont* m_font = nullptr;
    DWORD m_copyMode = 0x00CC0020;  // SRCCOPY
};

/// A picture in memory with a canvas to draw on it.
class PLATFORM_API TBitmap : public TPersistent {
    DECLARE_TCLASS(TBitmap)

    void Create(void* owner) override;

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    /// A new picture of that size, white; 0 x 0 makes the bitmap empty.
    void SetSize(int width, int height);
    bool Empty() const { return m_width <= 0 || m_height <= 0; }
    /// The bitmap resource name (searched through the resource chain; instance may limit it);
    /// false, leaving the bitmap as it was, when there is none.
    bool LoadFromResourceName(HINSTANCE instance, const char* name);
    /// A canvas drawing on the picture.
    TCanvas* Canvas();
    HBITMAP Handle() const;
    CBitmap* Bitmap() const { return m_bitmap.get(); }
    /// Copies another TBitmap's picture (null: empty).
    void Assign(TPersistent* source) override;
    TNotifyEvent OnChange;

protected:
    TBitmap();
    ~TBitmap() override;

private:
    void Changed();
    void ReleaseCanvas();
    std::unique_ptr<CBitmap> m_bitmap;
    std::unique_ptr<CDC> m_dc;
    TCanvas* m_canvas = nullptr;
    int m_width = 0;
    int m_height = 0;
};
