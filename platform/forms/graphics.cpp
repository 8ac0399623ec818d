#include "platform/forms/graphics.h"

#include <algorithm>
#include <cstring>

#include "platform/forms/format.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/gdi_objects.h"
#include "platform/kernel/mul_div.h"
#include "platform/window/wnd.h"

IMPLEMENT_TCLASS(TGraphicsObject, TPersistent)
IMPLEMENT_TCLASS(TFont, TGraphicsObject)
IMPLEMENT_TCLASS(TPen, TGraphicsObject)
IMPLEMENT_TCLASS(TBrush, TGraphicsObject)
IMPLEMENT_TCLASS(TCanvas, TPersistent)
IMPLEMENT_TCLASS(TBitmap, TPersistent)

// --- colours ----------------------------------------------------------------------------------------
COLORREF ColorToRGB(TColor color)
{
    if (color == clNone || color == clDefault) return static_cast<COLORREF>(color);
    if (color & clSystemColor) return GetSysColor(color & 0xFF);
    return static_cast<COLORREF>(color) & 0xFFFFFF;
}

namespace {

struct NamedColor {
    const char* name;
    TColor color;
};
constexpr NamedColor kColorNames[] = {
    {"clBlack", clBlack},
    {"clMaroon", clMaroon},
    {"clGreen", clGreen},
    {"clOlive", clOlive},
    {"clNavy", clNavy},
    {"clPurple", clPurple},
    {"clTeal", clTeal},
    {"clGray", clGray},
    {"clSilver", clSilver},
    {"clRed", clRed},
    {"clLime", clLime},
    {"clYellow", clYellow},
    {"clBlue", clBlue},
    {"clFuchsia", clFuchsia},
    {"clAqua", clAqua},
    {"clWhite", clWhite},
    {"clNone", clNone},
    {"clDefault", clDefault},
    {"clScrollBar", clScrollBar},
    {"clBackground", clBackground},
    {"clActiveCaption", clActiveCaption},
    {"clMenu", clMenu},
    {"clWindow", clWindow},
    {"clWindowFrame", clWindowFrame},
    {"clMenuText", clMenuText},
    {"clWindowText", clWindowText},
    {"clCaptionText", clCaptionText},
    {"clHighlight", clHighlight},
    {"clHighlightText", clHighlightText},
    {"clBtnFace", clBtnFace},
    {"clBtnShadow", clBtnShadow},
    {"clGrayText", clGrayText},
    {"clBtnText", clBtnText},
    {"clBtnHighlight", clBtnHighlight},
    {"cl3DDkShadow", cl3DDkShadow},
    {"cl3DLight", cl3DLight},
    {"clInfoText", clInfoText},
    {"clInfoBk", clInfoBk},
};

int PenRop(TPenMode mode)
{
    static constexpr int kRops[] = {R2_BLACK,       R2_WHITE,      R2_NOP,         R2_NOT,
                                    R2_COPYPEN,     R2_NOTCOPYPEN, R2_MERGEPENNOT, R2_MASKPENNOT,
                                    R2_MERGENOTPEN, R2_MASKNOTPEN, R2_MERGEPEN,    R2_NOTMERGEPEN,
                                    R2_MASKPEN,     R2_NOTMASKPEN, R2_XORPEN,      R2_NOTXORPEN};
    return kRops[std::clamp(static_cast<int>(mode), 0, 15)];
}

}  // namespace

bool TextToColor(std::string_view text, TColor& color)
{
    for (const NamedColor& entry : kColorNames) {
        if (SameText(entry.name, text)) {
            color = entry.color;
            return true;
        }
    }
    if (!text.empty() && text.front() == '$') {
        unsigned long long value = 0;
        if (text.size() < 2 || text.size() > 9) return false;
        for (char c : text.substr(1)) {
            const int digit = c >= '0' && c <= '9'   ? c - '0'
                              : c >= 'a' && c <= 'f' ? c - 'a' + 10
                              : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                     : -1;
            if (digit < 0) return false;
            value = value * 16 + static_cast<unsigned>(digit);
        }
        color = static_cast<TColor>(static_cast<std::uint32_t>(value));
        return true;
    }
    int value = 0;
    if (!TryStrToInt(text, value)) return false;
    color = value;
    return true;
}

// --- graphics objects ---------------------------------------------------------------------------------
TGraphicsObject::~TGraphicsObject()
{
    if (m_object) DeleteObject(m_object);
}

void TGraphicsObject::Changed()
{
    if (m_object) DeleteObject(m_object);
    m_object = nullptr;
    if (OnChange) OnChange(this);
}

HGDIOBJ TGraphicsObject::Object() const
{
    if (!m_object) m_object = MakeObject();
    return m_object;
}

void TFont::SetName(const std::string& name)
{
    if (name == m_name || name.empty()) return;
    m_name = name;
    Changed();
}

int TFont::Size() const
{
    // Points at 96 pixels per inch, as the character height gives them.
    return MulDiv(-m_height, 72, 96);
}

void TFont::SetSize(int points)
{
    SetHeight(-MulDiv(points, 96, 72));
}

void TFont::SetHeight(int height)
{
    if (height == m_height) return;
    m_height = height;
    Changed();
}

void TFont::SetStyle(TFontStyles style)
{
    if (style == m_style) return;
    m_style = style;
    Changed();
}

void TFont::SetColor(TColor color)
{
    if (color == m_color) return;
    m_color = color;
    Changed();
}

CFont* TFont::WindowFont() const
{
    return CFont::FromHandle(Handle());
}

void TFont::Assign(TPersistent* source)
{
    const TFont* font = ObjectAs<TFont>(source);
    if (!font) return TGraphicsObject::Assign(source);
    if (font == this) return;
    m_name = font->m_name;
    m_height = font->m_height;
    m_style = font->m_style;
    m_color = font->m_color;
    Changed();
}

HGDIOBJ TFont::MakeObject() const
{
    LOGFONT log{};
    log.lfHeight = m_height;
    log.lfWeight = (m_style & fsBold) ? 700 : 400;
    log.lfItalic = (m_style & fsItalic) ? 1 : 0;
    log.lfUnderline = (m_style & fsUnderline) ? 1 : 0;
    log.lfStrikeOut = (m_style & fsStrikeOut) ? 1 : 0;
    std::strncpy(log.lfFaceName, m_name.c_str(), LF_FACESIZE - 1);
    return reinterpret_cast<HGDIOBJ>(CreateFontIndirect(&log));
}

void TPen::SetColor(TColor color)
{
    if (color == m_color) return;
    m_color = color;
    Changed();
}

void TPen::SetWidth(int width)
{
    width = std::max(width, 0);
    if (width == m_width) return;
    m_width = width;
    Changed();
}

void TPen::SetStyle(TPenStyle style)
{
    if (style == m_style) return;
    m_style = style;
    Changed();
}

void TPen::SetMode(TPenMode mode)
{
    if (mode == m_mode) return;
    m_mode = mode;
    if (OnChange) OnChange(this);  // the object stays; the canvas sets the mode
}

void TPen::Assign(TPersistent* source)
{
    const TPen* pen = ObjectAs<TPen>(source);
    if (!pen) return TGraphicsObject::Assign(source);
    m_color = pen->m_color;
    m_width = pen->m_width;
    m_style = pen->m_style;
    m_mode = pen->m_mode;
    Changed();
}

HGDIOBJ TPen::MakeObject() const
{
    static constexpr int kStyles[] = {PS_SOLID, 1, 2, 3, 4, PS_NULL, 6};  // PS_DASH ... PS_INSIDEFRAME
    return reinterpret_cast<HGDIOBJ>(
        CreatePen(kStyles[std::clamp(static_cast<int>(m_style), 0, 6)], m_width, ColorToRGB(m_color)));
}

void TBrush::SetColor(TColor color)
{
    // Giving a clear brush a colour makes it solid again, even with the same colour.
    if (color == m_color && m_style != bsClear) return;
    m_color = color;
    if (m_style == bsClear) m_style = bsSolid;
    Changed();
}

void TBrush::SetStyle(TBrushStyle style)
{
    if (style == m_style) return;
    m_style = style;
    Changed();
}

void TBrush::Assign(TPersistent* source)
{
    const TBrush* brush = ObjectAs<TBrush>(source);
    if (!brush) return TGraphicsObject::Assign(source);
    m_color = brush->m_color;
    m_style = brush->m_style;
    Changed();
}

HGDIOBJ TBrush::MakeObject() const
{
    switch (m_style) {
        case bsSolid:
            return reinterpret_cast<HGDIOBJ>(CreateSolidBrush(ColorToRGB(m_color)));
        case bsClear: {
            const LOGBRUSH log{BS_NULL, 0, 0};
            return reinterpret_cast<HGDIOBJ>(CreateBrushIndirect(&log));
        }
        default:
            return reinterpret_cast<HGDIOBJ>(CreateHatchBrush(
                static_cast<int>(m_style) - static_cast<int>(bsHorizontal), ColorToRGB(m_color)));
    }
}

// --- canvas
// -------------------------------------------------------------------------------------------------
void TCanvas::Create(void* owner)
{
    TPersistent::Create(owner);
    m_pen = TPen::New();
    m_brush = TBrush::New();
    m_font = TFont::New();
}

void TCanvas::BeforeDestruction()
{
    SetHandle(nullptr);
    FreeAndNil(m_pen);
    FreeAndNil(m_brush);
    FreeAndNil(m_font);
    TPersistent::BeforeDestruction();
}

HDC TCanvas::Handle()
{
    if (!m_dc) CreateHandle();
    return m_dc;
}

void TCanvas::SetHandle(HDC dc)
{
    if (m_dc && m_dc != dc) {
        // The context goes back to the stock objects before its owner takes it back.
        SelectObject(m_dc, GetStockObject(BLACK_PEN));
        SelectObject(m_dc, GetStockObject(WHITE_BRUSH));
        SelectObject(m_dc, GetStockObject(SYSTEM_FONT));
    }
    m_dc = dc;
}

CDC* TCanvas::Dc()
{
    HDC dc = Handle();
    return dc ? CDC::FromHandle(dc) : nullptr;
}

bool TCanvas::Ready(bool pen, bool brush, bool font)
{
    HDC dc = Handle();
    if (!dc) return false;
    if (pen) {
        SelectObject(dc, m_pen->Handle());
        SetROP2(dc, PenRop(m_pen->Mode()));
    }
    if (brush || font) {
        SelectObject(dc, m_brush->Handle());
        if (m_brush->Style() == bsClear) {
            SetBkMode(dc, TRANSPARENT);
        } else {
            SetBkMode(dc, OPAQUE);
            SetBkColor(dc, ColorToRGB(m_brush->Color()));
        }
    }
    if (font) {
        SelectObject(dc, m_font->Handle());
        SetTextColor(dc, ColorToRGB(m_font->Color()));
    }
    return true;
}

CRect TCanvas::ClipRect()
{
    RECT box{0, 0, 0, 0};
    if (HDC dc = Handle()) GetClipBox(dc, &box);
    return CRect(box);
}

void TCanvas::MoveTo(int x, int y)
{
    if (HDC dc = Handle()) MoveToEx(dc, x, y, nullptr);
}

void TCanvas::LineTo(int x, int y)
{
    if (Ready(true, false, false)) ::LineTo(m_dc, x, y);
}

void TCanvas::Polyline(const POINT* points, int count)
{
    if (points && count > 0 && Ready(true, false, false)) ::Polyline(m_dc, points, count);
}

void TCanvas::Polygon(const POINT* points, int count)
{
    if (points && count > 0 && Ready(true, true, false)) ::Polygon(m_dc, points, count);
}

void TCanvas::Rectangle(int left, int top, int right, int bottom)
{
    if (Ready(true, true, false)) ::Rectangle(m_dc, left, top, right, bottom);
}

void TCanvas::Ellipse(int left, int top, int right, int bottom)
{
    if (Ready(true, true, false)) ::Ellipse(m_dc, left, top, right, bottom);
}

void TCanvas::FillRect(const RECT& rect)
{
    if (Ready(false, true, false) && m_brush->Style() != bsClear) ::FillRect(m_dc, &rect, m_brush->Handle());
}

void TCanvas::FrameRect(const RECT& rect)
{
    if (!Ready(false, true, false)) return;
    HBRUSH frame = CreateSolidBrush(ColorToRGB(m_brush->Color()));
    ::FrameRect(m_dc, &rect, frame);
    DeleteObject(reinterpret_cast<HGDIOBJ>(frame));
}

void TCanvas::DrawFocusRect(const RECT& rect)
{
    if (HDC dc = Handle()) ::DrawFocusRect(dc, &rect);
}

void TCanvas::TextOut(int x, int y, std::string_view text)
{
    if (Ready(false, false, true)) ::TextOut(m_dc, x, y, text.data(), static_cast<int>(text.size()));
}

void TCanvas::TextRect(const RECT& rect, int x, int y, std::string_view text)
{
    if (!Ready(false, true, true)) return;
    const UINT options = (m_brush->Style() != bsClear ? ETO_OPAQUE : 0u) | ETO_CLIPPED;
    ::ExtTextOut(m_dc, x, y, options, &rect, text.data(), static_cast<UINT>(text.size()), nullptr);
}

int TCanvas::DrawText(std::string_view text, RECT& rect, UINT format)
{
    if (!Ready(false, false, true)) return 0;
    return ::DrawText(m_dc, text.data(), static_cast<int>(text.size()), &rect, format);
}

CSize TCanvas::TextExtent(std::string_view text)
{
    if (!Ready(false, false, true)) return CSize(0, 0);
    const std::string copy(text);
    return CDC::FromHandle(m_dc)->GetTextExtent(copy.c_str(), static_cast<int>(copy.size()));
}

COLORREF TCanvas::Pixel(int x, int y)
{
    HDC dc = Handle();
    return dc ? GetPixel(dc, x, y) : CLR_INVALID;
}

void TCanvas::SetPixel(int x, int y, TColor color)
{
    if (HDC dc = Handle()) ::SetPixel(dc, x, y, ColorToRGB(color));
}

void TCanvas::Draw(int x, int y, TBitmap* bitmap)
{
    if (!bitmap || bitmap->Empty()) return;
    CopyRect(CRect(x, y, x + bitmap->Width(), y + bitmap->Height()), bitmap->Canvas(),
             CRect(0, 0, bitmap->Width(), bitmap->Height()));
}

void TCanvas::StretchDraw(const RECT& rect, TBitmap* bitmap)
{
    if (!bitmap || bitmap->Empty()) return;
    CopyRect(rect, bitmap->Canvas(), CRect(0, 0, bitmap->Width(), bitmap->Height()));
}

void TCanvas::CopyRect(const RECT& dest, TCanvas* source, const RECT& src)
{
    HDC dc = Handle();
    HDC from = source ? source->Handle() : nullptr;
    if (!dc || !from) return;
    const int w = dest.right - dest.left, h = dest.bottom - dest.top;
    const int sw = src.right - src.left, sh = src.bottom - src.top;
    if (w == sw && h == sh)
        BitBlt(dc, dest.left, dest.top, w, h, from, src.left, src.top, m_copyMode);
    else
        StretchBlt(dc, dest.left, dest.top, w, h, from, src.left, src.top, sw, sh, m_copyMode);
}

// --- bitmap ---------------------------------------------------------------------------------------------
TBitmap::TBitmap() : m_bitmap(std::make_unique<CBitmap>()) {}

TBitmap::~TBitmap()
{
    ReleaseCanvas();
}

void TBitmap::Create(void* owner)
{
    TPersistent::Create(owner);
}

void TBitmap::ReleaseCanvas()
{
    if (m_canvas) m_canvas->SetHandle(nullptr);
    if (m_dc) m_dc->DeleteDC();
    m_dc.reset();
    FreeAndNil(m_canvas);
}

void TBitmap::Changed()
{
    if (OnChange) OnChange(this);
}

void TBitmap::SetSize(int width, int height)
{
    ReleaseCanvas();
    m_bitmap->DeleteObject();
    m_width = std::max(width, 0);
    m_height = std::max(height, 0);
    if (!Empty()) {
        m_bitmap->CreateBitmap(m_width, m_height, 1, 32, nullptr);
        CDC dc;
        if (dc.CreateCompatibleDC(nullptr)) {
            CBitmap* previous = dc.SelectObject(m_bitmap.get());
            dc.FillSolidRect(0, 0, m_width, m_height, RGB(255, 255, 255));
            dc.SelectObject(previous);
        }
    }
    Changed();
}

bool TBitmap::LoadFromResourceName(HINSTANCE instance, const char* name)
{
    HBITMAP loaded = LoadBitmap(instance, name);
    if (!loaded) return false;
    ReleaseCanvas();
    m_bitmap->DeleteObject();
    m_bitmap->Attach(reinterpret_cast<HGDIOBJ>(loaded));
    BITMAP info{};
    m_bitmap->GetBitmap(&info);
    m_width = info.bmWidth;
    m_height = info.bmHeight;
    Changed();
    return true;
}

TCanvas* TBitmap::Canvas()
{
    if (!m_canvas) {
        m_canvas = TCanvas::New();
        m_dc = std::make_unique<CDC>();
        if (m_dc->CreateCompatibleDC(nullptr)) {
            if (m_bitmap->GetSafeHandle()) m_dc->SelectObject(m_bitmap.get());
            m_canvas->SetHandle(m_dc->GetSafeHdc());
        }
    }
    return m_canvas;
}

HBITMAP TBitmap::Handle() const
{
    return static_cast<HBITMAP>(*m_bitmap);
}

void TBitmap::Assign(TPersistent* source)
{
    if (!source) {
        SetSize(0, 0);
        return;
    }
    TBitmap* other = ObjectAs<TBitmap>(source);
    if (!other) return TPersistent::Assign(source);
    if (other == this) return;
    SetSize(other->Width(), other->Height());
    if (Empty()) return;
    Canvas()->Draw(0, 0, other);
    // The picture leaves the canvas's DC so that listeners can read it, and they hear of the
    // copy: SetSize only told them of a blank picture.
    ReleaseCanvas();
    Changed();
}
