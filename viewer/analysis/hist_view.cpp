#include "viewer/analysis/hist_view.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "outside/basecore/dib_file.h"
#include "outside/basecore/math_helpers.h"
#include "outside/basecore/region_info.h"
#include "platform/controls/flat_scroll_bar.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/gdi_objects.h"
#include "platform/gdi/metafile.h"
#include "platform/gdi/region.h"
#include "platform/gdi/window_dc.h"
#include "platform/window/messages.h"
#include "viewer/analysis/hist_data.h"

namespace {

constexpr int kUnit = 6;
constexpr double kValueSpacing = 100.0;
constexpr double kCountSpacing = 30.0;
constexpr int kGridLineCap = 2000;
constexpr COLORREF kMagenta = 0xFF00FF;
constexpr COLORREF kCyan = 0xFFFF00;

CString Fmt(const char* format, double v)
{
    CString s;
    s.Format(format, v);
    return s;
}

void TextClipped(HDC dc, int x, int y, const RECT& clip, const CString& text)
{
    ::ExtTextOut(dc, x, y, ETO_CLIPPED, &clip, text, UINT(text.GetLength()), nullptr);
}

struct GdiPen {
    HPEN pen;
    HGDIOBJ old;
    HDC dc;
    GdiPen(HDC d, int style, COLORREF c) : pen(::CreatePen(style, 0, c)), old(::SelectObject(d, pen)), dc(d)
    {
    }
    ~GdiPen()
    {
        ::SelectObject(dc, old);
        ::DeleteObject(pen);
    }
};

void FillSolid(HDC dc, const RECT& r, COLORREF c)
{
    HBRUSH b = ::CreateSolidBrush(c);
    ::FillRect(dc, &r, b);
    ::DeleteObject(b);
}

const char* StatusText(int status)
{
    if (status == 0) return "Can't draw the histogram, because max = min !";
    if (status == -10) return "Calculation histogram";
    if (status >= -9 && status <= -1) return "Can't draw the histogram, because invalid data !";
    return "";
}

}  // namespace

// --- scroll strip -------------------------------------------------------------------------

BOOL CHistScrollWnd::Create(CWnd* parent, UINT id)
{
    if (!CreateEx(0, AfxRegisterWndClass(0), "Hist Scroll Wnd", WS_CHILD | WS_VISIBLE | WS_HSCROLL,
                  CRect(0, 0, 0, 0), parent, id))
        return FALSE;
    InitializeFlatSB(GetSafeHwnd());
    FlatSB_EnableScrollBar(GetSafeHwnd(), SB_HORZ, ESB_ENABLE_BOTH);
    FlatSB_ShowScrollBar(GetSafeHwnd(), SB_HORZ, TRUE);
    return TRUE;
}

void CHistScrollWnd::SetRange(int min, int max, int page)
{
    SetScroll(min, max, 0, page);
}

void CHistScrollWnd::SetScroll(int min, int max, int position, int page)
{
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    info.nMin = min;
    info.nMax = max;
    info.nPage = UINT(std::max(page, 0));
    info.nPos = position;
    FlatSB_SetScrollInfo(GetSafeHwnd(), SB_HORZ, &info, TRUE);
    m_nMin = min;
    m_nMax = max;
}

int CHistScrollWnd::GetPos() const
{
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_POS;
    FlatSB_GetScrollInfo(GetSafeHwnd(), SB_HORZ, &info);
    return info.nPos;
}

void CHistScrollWnd::OnScroll(UINT code, int thumb)
{
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_ALL;
    FlatSB_GetScrollInfo(GetSafeHwnd(), SB_HORZ, &info);
    int pos = info.nPos;
    switch (code) {
        case SB_LINELEFT:
            pos = std::max(pos - 1, m_nMin);
            break;
        case SB_LINERIGHT:
            pos = std::min(pos + 1, m_nMax);
            break;
        case SB_PAGELEFT:
            pos -= int(info.nPage);
            break;
        case SB_PAGERIGHT:
            pos += int(info.nPage);
            break;
        case SB_THUMBPOSITION:
        case SB_THUMBTRACK:
            pos = thumb;
            break;
        default:
            break;
    }
    FlatSB_SetScrollPos(GetSafeHwnd(), SB_HORZ, pos, TRUE);
    // The parent hears where the bar really is: page steps are clamped by the bar itself.
    if (CWnd* parent = GetParent()) parent->SendMessage(WM_HISTSCROLL, 22, GetPos());
}

LRESULT CHistScrollWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_HSCROLL) {
        OnScroll(LOWORD(wParam), short(HIWORD(wParam)));
        return 0;
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

// --- view: buffer and layout --------------------------------------------------------------

CHistView::CHistView()
{
    m_hFont = ::CreateFont(13, 0, 0, 0, 300, FALSE, FALSE, FALSE, 204, 0, 0, 0, 0x20, "Tahoma");
}

CHistView::~CHistView()
{
    if (m_hMemDC) {
        if (m_hFirstBitmap) ::SelectObject(m_hMemDC, m_hFirstBitmap);
        ::DeleteDC(m_hMemDC);
    }
    if (m_hDib) ::DeleteObject(m_hDib);
    if (m_hFont) ::DeleteObject(m_hFont);
}

BOOL CHistView::Create(CWnd* parent, UINT id)
{
    LPCTSTR cls =
        AfxRegisterWndClass(CS_VREDRAW | CS_HREDRAW, nullptr, HBRUSH(::GetStockObject(BLACK_BRUSH)));
    if (!CreateEx(WS_EX_CLIENTEDGE, cls, "Histogram", WS_CHILD | WS_VISIBLE, CRect(0, 0, 0, 0), parent, id))
        return FALSE;
    if (!m_scroll.Create(this, 269)) return FALSE;
    m_tip.Create(this);
    return TRUE;
}

void CHistView::ShowTip(CPoint p)
{
    CRect marker;
    const CString text = TipTextAt(p, &marker);
    if (text.IsEmpty()) {
        m_tip.Hide();
        return;
    }
    if (m_tip.IsShown() && m_tip.GetShownText() == text) return;
    // The tip stands beside the triangle, over the band above the plot; it stays while the
    // mouse is on the triangle (edges included).
    const CRect hover(marker.left, marker.top, marker.right + 1, marker.bottom + 1);
    m_tip.Show(CRect(marker.right + 4, marker.top - 8, marker.right + 4, marker.top - 8), text, 0, &hover,
               m_hFont);
}

bool CHistView::Layout()
{
    CRect c;
    GetClientRect(&c);
    if (c.IsRectEmpty()) return false;
    m_client = c;
    const int W = c.Width(), H = c.Height();
    m_plot = CRect(std::max(11 * kUnit, m_nCountRoom), 13, W - 10 * kUnit, H - 15 * kUnit);
    m_strip = CRect(m_plot.left, H - 15 * kUnit, m_plot.right - 1, H - 15 * kUnit + 8);
    m_panel = CRect(m_strip.left, Round(m_strip.bottom + 2.5 * 15), m_strip.right + 1, c.bottom - 2);
    const int barHeight = ::GetSystemMetrics(SM_CYHSCROLL) + 2 * ::GetSystemMetrics(SM_CYBORDER);
    m_scrollRect = CRect(m_plot.left, m_strip.bottom + 18, m_plot.right, m_strip.bottom + 18 + barHeight);
    const int p0 = m_panel.left + 5, third = m_panel.Width() / 3;
    m_text[0] = CPoint(p0, m_panel.top + 5);
    m_text[1] = CPoint(p0, m_panel.top + 20);
    m_text[2] = CPoint(p0 + third, m_panel.top + 5);
    m_text[3] = CPoint(p0 + third, m_panel.top + 20);
    m_text[4] = CPoint(p0 + 2 * third, m_panel.top + 5);
    m_text[5] = CPoint(p0 + 2 * third, m_panel.top + 20);
    m_text[6] = CPoint(m_scrollRect.right + 3, m_scrollRect.top);
    m_text[7] = CPoint(m_scrollRect.left - 3, m_scrollRect.top);
    m_text[8] = CPoint(m_plot.left - 5, m_plot.top + 12);
    return true;
}

bool CHistView::MakeDib()
{
    if (!Layout()) return false;
    if (!m_hMemDC) {
        CClientDC wdc(this);
        m_hMemDC = ::CreateCompatibleDC(wdc.GetSafeHdc());
        if (!m_hMemDC) return false;
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = 40;
    info.bmiHeader.biWidth = m_client.Width();
    info.bmiHeader.biHeight = m_client.Height();
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP dib = ::CreateDIBSection(m_hMemDC, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!dib) return false;
    HGDIOBJ old = ::SelectObject(m_hMemDC, dib);
    if (!m_hFirstBitmap) m_hFirstBitmap = old;
    if (m_hDib) ::DeleteObject(m_hDib);
    m_hDib = dib;
    m_pBits = bits;
    m_nWidth = m_client.Width();
    m_nHeight = m_client.Height();
    return true;
}

BOOL CHistView::InitBuffer()
{
    if (!MakeDib()) return FALSE;
    return DrawPass(m_hMemDC, true) ? TRUE : FALSE;
}

void CHistView::SetColors(const GraphThemeItem& t)
{
    const COLORREF c[7] = {t.background, t.grid, t.graph, t.axes, t.gridText, t.text, t.selection};
    std::copy(c, c + 7, m_colors);
}

int CHistView::SetGridMode(int mode)
{
    if (mode < 0 || mode > 2) return 0;
    m_nGridMode = mode;
    Redraw(1, 1);
    return 1;
}

int CHistView::ChannelIndex() const
{
    if (!m_pData || m_pData->m_nMode == 1) return 0;
    return m_pData->m_nChannel ? m_pData->m_nChannel - 2 : 0;
}

void CHistView::SetGridFactor(int code)
{
    if (!m_pData) return;
    const int channel = m_pData->m_nMode == 1 ? 1 : (m_pData->m_nChannel ? m_pData->m_nChannel : 3);
    m_pData->Channel(channel).gridFactor = m_pData->GridFactor(code, channel);
}

void CHistView::ShowNow()
{
    if (!GetSafeHwnd()) return;
    Invalidate(TRUE);
    UpdateWindow();
}

int CHistView::Redraw(int keepRange, int show)
{
    if (!m_pData || !m_hMemDC) return 0;
    if (!keepRange && m_pData->m_nMode == 1) {
        HistChannel& c = m_pData->m_single;
        c.shownLo = c.displayMin;
        c.shownHi = c.displayMax;
    }
    const int drawn = DrawPass(m_hMemDC, true);
    if (show) ShowNow();
    return drawn;
}

void CHistView::ShowScroll(bool show)
{
    if (m_scroll.GetSafeHwnd()) m_scroll.ShowWindow(show ? SW_SHOW : SW_HIDE);
}

COLORREF CHistView::BufferPixel(int x, int y) const
{
    if (!m_pBits || x < 0 || y < 0 || x >= m_nWidth || y >= m_nHeight) return CLR_INVALID;
    // Bottom-up rows, 0x00RRGGBB words.
    const auto* row = static_cast<const std::uint32_t*>(m_pBits) + std::int64_t(m_nHeight - 1 - y) * m_nWidth;
    const std::uint32_t v = row[x];
    return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
}

// --- view: drawing ------------------------------------------------------------------------

void CHistView::DrawStatus(HDC dc, int status)
{
    RECT r = m_client;
    ::DrawEdge(dc, &r, EDGE_ETCHED, BF_RECT);
    const char* text = StatusText(status);
    ::TextOut(dc, m_client.Width() / 3, m_client.Height() / 2, text, int(std::strlen(text)));
    ShowScroll(false);
}

int CHistView::DrawPass(HDC dc, bool toBuffer)
{
    if (!m_pData || m_client.IsRectEmpty()) return 0;
    (void)toBuffer;
    HGDIOBJ oldFont = ::SelectObject(dc, m_hFont);
    ::SetBkColor(dc, m_colors[0]);
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextAlign(dc, TA_LEFT | TA_TOP);
    ::SetTextColor(dc, m_colors[3]);
    ::SetROP2(dc, R2_COPYPEN);
    FillSolid(dc, m_client, m_colors[0]);
    if (m_pData->m_nStatus != kHistReady) {
        DrawStatus(dc, m_pData->m_nStatus);
        ::SelectObject(dc, oldFont);
        return 0;
    }
    // The count labels left of the plot get the room their widest text needs.
    const HistChannel& shown = m_pData->Shown();
    int widest = 0;
    for (const CString& label : {Fmt("%.4g", m_nGridMode == 0 ? 0.0 : shown.countScale * shown.gridFactor),
                                 Fmt("%g", CountAxisTop())}) {
        SIZE extent{};
        ::GetTextExtentPoint32(dc, label, label.GetLength(), &extent);
        widest = std::max(widest, int(extent.cx));
    }
    if (widest + 10 != m_nCountRoom) {
        m_nCountRoom = widest + 10;
        Layout();
        if (m_scroll.GetSafeHwnd()) m_scroll.MoveWindow(&m_scrollRect);
    }
    const int plotH = m_plot.Height();
    const int firstChannel = m_pData->m_nMode == 1 ? 1 : 3;
    const int lastChannel = m_pData->m_nMode == 1 ? 1 : 5;
    for (int ch = firstChannel; ch <= lastChannel; ++ch) {
        const HistChannel& c = m_pData->Channel(ch);
        const int slot = ch == 1 ? 0 : ch - 2;
        m_pixelScale[slot] = c.countScale > 0.0 ? plotH / c.countScale : 0.0;
    }
    const bool all = !m_pData->OneChannelShown();
    if (!all) DrawStrip(dc);
    if (all) {
        for (int ch = 3; ch <= 5; ++ch) DrawSeries(dc, ch, true);
    } else {
        DrawSeries(dc, m_pData->m_nMode == 1 ? 1 : m_pData->m_nChannel, false);
    }
    ::SetROP2(dc, R2_XORPEN);
    DrawGrid(dc);
    if (!all) DrawSelection(dc);
    ::SetROP2(dc, R2_COPYPEN);
    DrawPanel(dc);
    RECT r = m_plot;
    ::DrawEdge(dc, &r, EDGE_ETCHED, BF_RECT);
    r = m_panel;
    ::DrawEdge(dc, &r, EDGE_ETCHED, BF_RECT);
    m_bMarkers = !all;
    if (!all) DrawMarkers(dc);
    ::SelectObject(dc, oldFont);
    return 1;
}

namespace {

/// Geometry of the value axis for one channel and its shown range: bin i covers
/// min + i w .. min + (i + 1) w and lies where the grid puts those values.
struct Axis {
    bool ok = false;
    int b0 = 0, b1 = -1;
    double w = 0.0;
    double lo = 0.0, k = 0.0;  ///< shown low end; pixels per value unit
    double left = 0.0, right = 0.0, min = 0.0;

    Axis(const CRect& plot, double dataMin, double dataMax, double shownLo, double shownHi, int n)
    {
        const double span = shownHi - shownLo;
        if (!(std::fabs(span) >= FLT_EPSILON) || n <= 0 || !(dataMax > dataMin) || !std::isfinite(span))
            return;
        w = (dataMax - dataMin) / n;
        min = dataMin;
        lo = shownLo;
        left = plot.left;
        right = plot.right;
        k = plot.Width() / span;
        const double first = shownLo < dataMin ? 0.0 : std::floor((shownLo - dataMin) / w);
        if (!(first >= 0.0) || first > n - 1) return;
        b0 = int(first);
        b1 = int(std::clamp(std::ceil((shownHi - dataMin) / w) - 1, -1.0, double(n - 1)));
        ok = b1 >= b0 && std::isfinite(k) && k > 0.0;
    }
    /// Pixel of a value, clamped to the plot in double before it becomes an int.
    int X(double v) const { return int(std::lround(std::clamp(left + (v - lo) * k, left, right))); }
    int BinLeft(int i) const { return X(min + i * w); }
    int BinRight(int i) const { return X(min + (i + 1) * w); }
    /// Number of bins whose span is on screen.
    int Shown() const { return b1 - b0 + 1; }
};

COLORREF PaletteColor(const std::vector<BYTE>& palette, int bin)
{
    const std::size_t at = std::size_t(bin) * 3;
    if (at + 2 >= palette.size()) return 0;
    return RGB(palette[at], palette[at + 1], palette[at + 2]);
}

}  // namespace

void CHistView::DrawStrip(HDC dc)
{
    const HistChannel& c = m_pData->Shown();
    const Axis a(m_plot, c.dataMin, c.dataMax, c.shownLo, c.shownHi, c.bins);
    if (a.ok) {
        const int saved = ::SaveDC(dc);
        ::IntersectClipRect(dc, m_strip.left, m_strip.top, m_strip.right, m_strip.bottom);
        if (a.Shown() <= m_plot.Width()) {
            for (int i = a.b0; i <= a.b1; ++i) {
                int l = a.BinLeft(i), r = a.BinRight(i);
                if (r - l < 2) r = l + 2;
                FillSolid(dc, RECT{l, m_strip.top, r, m_strip.bottom}, PaletteColor(c.palette, i));
            }
        } else {
            // More bins than pixels: each pixel shows the bin at its left edge, equal runs in one fill.
            const int x0 = a.BinLeft(a.b0), x1 = a.BinRight(a.b1);
            int runStart = x0;
            COLORREF runColour = PaletteColor(c.palette, a.b0);
            for (int x = x0 + 1; x <= x1; ++x) {
                const double v = a.lo + (x - a.left) / a.k;
                const int bin = int(std::clamp(std::floor((v - a.min) / a.w), double(a.b0), double(a.b1)));
                const COLORREF colour = x < x1 ? PaletteColor(c.palette, bin) : CLR_INVALID;
                if (colour != runColour) {
                    FillSolid(dc, RECT{runStart, m_strip.top, x, m_strip.bottom}, runColour);
                    runStart = x;
                    runColour = colour;
                }
            }
        }
        ::RestoreDC(dc, saved);
    }
    GdiPen pen(dc, PS_SOLID, m_colors[3]);
    HGDIOBJ oldBrush = ::SelectObject(dc, ::GetStockObject(NULL_BRUSH));
    ::Rectangle(dc, m_strip.left, m_strip.top, m_strip.right, m_strip.bottom);
    ::SelectObject(dc, oldBrush);
}

void CHistView::DrawSeries(HDC dc, int channel, bool allChannels)
{
    const HistChannel& c = m_pData->Channel(channel);
    const std::uint32_t* counts =
        channel == 1 ? c.Block(m_pData->m_bComplex ? m_pData->m_nComponent : 0) : c.Block(0);
    if (!counts) return;
    // With all channels every channel spans the plot over its own data range.
    const double lo = allChannels ? c.dataMin : c.shownLo;
    const double hi = allChannels ? c.dataMax : c.shownHi;
    const Axis a(m_plot, c.dataMin, c.dataMax, lo, hi, c.bins);
    if (!a.ok) return;
    const double top = allChannels ? double(c.largest) : c.countScale;
    if (!(top > 0.0)) return;  // a count scale of 0 draws an empty plot
    const double scale = m_plot.Height() / top;
    const bool contour = m_nFillType == 1 || m_nFillType == 3;
    const bool fill = m_nFillType >= 2;
    const bool paletteFill = fill && m_bPaletteFill;
    static constexpr COLORREF kPure[3] = {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255)};
    const COLORREF colour = channel == 1 ? m_colors[2] : kPure[channel - 3];
    const auto fillColour = [&](int bin) -> COLORREF {
        if (!paletteFill) return colour;
        if (channel == 1) return PaletteColor(c.palette, bin);
        const int v = std::min(bin, 255);
        return channel == 3 ? RGB(v, 0, 0) : channel == 4 ? RGB(0, v, 0) : RGB(0, 0, v);
    };
    const auto height = [&](std::uint32_t count) {
        return int(std::lround(std::clamp(count * scale, 0.0, double(m_plot.Height()))));
    };
    const int saved = ::SaveDC(dc);
    ::IntersectClipRect(dc, m_plot.left, m_plot.top, m_plot.right, m_plot.bottom);
    ::SetROP2(dc, allChannels ? R2_XORPEN : R2_COPYPEN);
    std::vector<POINT> outline;
    const int bottom = m_plot.bottom;
    // Columns fill exact pixel spans; all channels together mix by XOR.
    const auto column = [&](int l, int r, int h, COLORREF colour) {
        HBRUSH b = ::CreateSolidBrush(colour);
        if (allChannels) {
            HGDIOBJ ob = ::SelectObject(dc, b);
            ::PatBlt(dc, l, bottom - h, r - l, h, PATINVERT);
            ::SelectObject(dc, ob);
        } else {
            const RECT r2{l, bottom - h, r, bottom};
            ::FillRect(dc, &r2, b);
        }
        ::DeleteObject(b);
    };
    if (a.Shown() <= m_plot.Width()) {
        outline.push_back({a.BinLeft(a.b0), bottom});
        for (int i = a.b0; i <= a.b1; ++i) {
            int l = a.BinLeft(i), r = a.BinRight(i);
            const int h = height(counts[i]);
            if (fill && h > 0) column(l, std::max(r, l + 2), h, fillColour(i));
            outline.push_back({l, bottom - h});
            outline.push_back({a.BinRight(i), bottom - h});
        }
    } else {
        // More bins than pixels: one column per pixel, as high as the largest count it covers.
        const int x0 = a.BinLeft(a.b0), x1 = std::max(a.BinRight(a.b1), x0 + 1);
        const double perPixel = 1.0 / a.k;
        outline.push_back({x0, bottom});
        int bin = a.b0;
        for (int x = x0; x < x1 && x < m_plot.right; ++x) {
            const double vEnd = a.lo + (x + 1 - a.left) * perPixel;
            int end = int(std::clamp(std::ceil((vEnd - a.min) / a.w), double(bin + 1), double(a.b1 + 1)));
            std::uint32_t best = counts[bin];
            int bestBin = bin;
            for (int i = bin + 1; i < end; ++i)
                if (counts[i] > best) best = counts[i], bestBin = i;
            bin = std::min(end, a.b1);
            const int h = height(best);
            if (fill && h > 0) column(x, x + 1, h, fillColour(bestBin));
            outline.push_back({x, bottom - h});
            outline.push_back({x + 1, bottom - h});
            if (end > a.b1) break;
        }
    }
    if (contour && outline.size() > 1) {
        GdiPen pen(dc, PS_SOLID, colour);
        ::Polyline(dc, outline.data(), int(outline.size()));
    }
    ::RestoreDC(dc, saved);
}

double CHistView::CountAxisTop() const
{
    const HistChannel& c = m_pData->Shown();
    const bool all = !m_pData->OneChannelShown();
    return m_nGridMode == 2 ? c.countScale * c.gridFactor : (all ? double(c.largest) : c.countScale);
}

void CHistView::DrawGrid(HDC dc)
{
    if (m_nGridMode == 0) return;
    const HistChannel& c = m_pData->Shown();
    const bool all = !m_pData->OneChannelShown();
    const double lo = all ? c.dataMin : c.shownLo, hi = all ? c.dataMax : c.shownHi;
    const double topValue = CountAxisTop();
    if (!(hi - lo >= FLT_EPSILON) || !(topValue >= FLT_EPSILON)) return;
    ::SetROP2(dc, R2_COPYPEN);
    ::SetTextColor(dc, m_colors[4]);
    const double Wp = m_plot.Width(), Hp = m_plot.Height();
    const double vStep = HistRoundStep((hi - lo) / (Wp / kValueSpacing));
    const double cStep = HistRoundStep(topValue / (Hp / kCountSpacing));
    GdiPen pen(dc, PS_DOT, m_colors[1]);
    if (vStep > 0.0) {
        const double first = std::ceil(lo / vStep);
        const double last = std::floor(hi / vStep);
        for (int j = 0; j <= kGridLineCap && first + j <= last; ++j) {
            const double v = (first + j) * vStep;
            const int x =
                int(std::lround(std::clamp((v - lo) * Wp / (hi - lo) + m_plot.left, -1.0e6, 1.0e6)));
            ::MoveToEx(dc, x, m_plot.top, nullptr);
            ::LineTo(dc, x, m_plot.bottom);
            ::SetTextAlign(dc, TA_LEFT | TA_TOP);
            const CString label = Fmt("%g", std::fabs(v) < vStep * 1e-9 ? 0.0 : v);
            ::TextOut(dc, x, m_strip.bottom + 2, label, label.GetLength());
        }
    }
    if (cStep > 0.0) {
        ::SetTextAlign(dc, TA_RIGHT | TA_TOP);
        const int lines = int(std::min(std::floor(topValue / cStep), double(kGridLineCap)));
        for (int j = 0; j <= lines; ++j) {
            const double v = j * cStep;
            const int y = int(std::trunc(m_plot.bottom - v * Hp / topValue));
            ::MoveToEx(dc, m_plot.left, y, nullptr);
            ::LineTo(dc, m_plot.right, y);
            const CString label = Fmt("%g", v);
            ::TextOut(dc, m_plot.left - 5, y, label, label.GetLength());
        }
    }
    ::SetTextAlign(dc, TA_LEFT | TA_TOP);
    ::SetTextColor(dc, m_colors[3]);
}

void CHistView::DrawSelection(HDC dc)
{
    const Selection& s = m_sel[ChannelIndex()];
    const HistChannel& c = m_pData->Shown();
    const double span = c.shownHi - c.shownLo;
    if (!(std::fabs(s.right - s.left) >= FLT_EPSILON) || !(std::fabs(span) >= FLT_EPSILON)) return;
    const double k = m_plot.Width() / span;
    const auto x = [&](double v) {
        return int(std::lround(
            std::clamp(m_plot.left + (v - c.shownLo) * k, double(m_plot.left), double(m_plot.right))));
    };
    const int l = x(std::min(s.left, s.right)), r = x(std::max(s.left, s.right));
    if (r <= l) return;
    const int saved = ::SaveDC(dc);
    ::IntersectClipRect(dc, l, m_plot.top, r, m_plot.bottom);
    ::SetROP2(dc, R2_XORPEN);
    HBRUSH b = ::CreateSolidBrush(kCyan);
    HGDIOBJ ob = ::SelectObject(dc, b);
    HGDIOBJ op = ::SelectObject(dc, ::GetStockObject(NULL_PEN));
    ::Rectangle(dc, l, m_plot.top, r + 1, m_plot.bottom + 1);
    ::SelectObject(dc, op);
    ::SelectObject(dc, ob);
    ::DeleteObject(b);
    ::RestoreDC(dc, saved);
}

void CHistView::DrawPanel(HDC dc)
{
    if (!m_pData->OneChannelShown()) return;
    const RECT inner{m_panel.left + 4, m_panel.top + 4, m_panel.right - 4, m_panel.bottom - 4};
    FillSolid(dc, inner, m_colors[0]);
    ::SetTextColor(dc, m_colors[5]);
    HistChannel& c = m_pData->Shown();
    c.gridFactor = m_pData->GridFactor(
        m_pData->m_nGridCode, m_pData->m_nMode == 1 ? 1 : (m_pData->m_nChannel ? m_pData->m_nChannel : 3));
    const int third = m_panel.Width() / 3;
    const auto at = [&](int i, int rightEdge, const CString& text) {
        const RECT clip{m_text[i].x, m_text[i].y, rightEdge, m_text[i].y + 15};
        TextClipped(dc, m_text[i].x, m_text[i].y, clip, text);
    };
    ::SetTextAlign(dc, TA_LEFT | TA_TOP);
    at(6, m_client.right - 3, Fmt("%.3g", c.shownHi));
    {
        ::SetTextAlign(dc, TA_RIGHT | TA_TOP);
        const CString text = Fmt("%.3g", c.shownLo);
        const RECT clip{m_client.left + 3, m_text[7].y, m_text[7].x, m_text[7].y + 15};
        TextClipped(dc, m_text[7].x, m_text[7].y, clip, text);
        ::SetTextAlign(dc, TA_RIGHT | TA_BOTTOM);
        const double gridTop = m_nGridMode == 0 ? 0.0 : c.countScale * c.gridFactor;
        const CString top = Fmt("%.4g", gridTop);
        const RECT clip2{m_client.left + 3, m_text[8].y - 5 - 15, m_text[8].x, m_text[8].y + 5};
        TextClipped(dc, m_text[8].x, m_text[8].y, clip2, top);
        ::SetTextAlign(dc, TA_LEFT | TA_TOP);
    }
    at(0, m_text[0].x + third, "Level = " + LevelText());
    at(1, m_text[1].x + third, "Count = " + CountText());
    if (m_pData->m_nDragMode == 0) {
        at(2, m_text[2].x + third, "Left = " + LeftText());
        at(3, m_text[3].x + third, "Right = " + RightText());
        at(4, m_panel.right - 4, "Percentage = " + PercentText());
        at(5, m_panel.right - 4, ColorText());
    } else {
        at(2, m_text[2].x + third, ColorText());
    }
    ::SetTextColor(dc, m_colors[3]);
}

void CHistView::DrawMarkers(HDC dc)
{
    const HistChannel& c = m_pData->Shown();
    const double span = c.shownHi - c.shownLo;
    if (!(std::fabs(span) >= FLT_EPSILON)) {
        m_bMarkers = false;
        return;
    }
    const double Wp = m_plot.Width();
    const auto xOf = [&](double v) {
        return int(std::trunc(std::clamp(m_plot.left + (v - c.shownLo) * Wp / span, -1.0e6, 1.0e6)));
    };
    const int top = m_plot.top;
    const int saved = ::SaveDC(dc);
    HRGN clip = ::CreateRectRgn(m_plot.left, top, m_plot.right, m_scrollRect.bottom);
    HRGN band = ::CreateRectRgn(m_plot.left - 8, top - 12, m_plot.right + 8, top);
    ::CombineRgn(clip, clip, band, RGN_OR);
    ::SelectClipRgn(dc, clip);
    ::DeleteObject(band);
    ::DeleteObject(clip);
    ::SetROP2(dc, R2_COPYPEN);
    const double values[4] = {c.displayMin, c.displayMax, c.dataMin, c.dataMax};
    const int reach[4] = {-8, 8, -5, 5};
    for (int m = 0; m < 4; ++m) {
        const int x = xOf(values[m]);
        const int side = reach[m] < 0 ? -1 : 1;
        m_markers[m][0] = POINT{x + reach[m], top - 1};
        m_markers[m][1] = POINT{x + reach[m], top - 7};
        m_markers[m][2] = POINT{x + side, top - 4};
        const COLORREF colour = m < 2 ? kMagenta : kCyan;
        {
            GdiPen pen(dc, m < 2 ? PS_DOT : PS_SOLID, colour);
            ::MoveToEx(dc, x, m_plot.bottom, nullptr);
            ::LineTo(dc, x, top - 11);
        }
        GdiPen pen(dc, PS_SOLID, colour);
        HBRUSH b = ::CreateSolidBrush(colour);
        HGDIOBJ ob = ::SelectObject(dc, b);
        ::Polygon(dc, m_markers[m], 3);
        ::SelectObject(dc, ob);
        ::DeleteObject(b);
    }
    ::RestoreDC(dc, saved);
}

// --- view: read-out -----------------------------------------------------------------------

CString CHistView::LevelText() const
{
    return m_cursorBin < 0 ? CString() : Fmt("%g", m_level);
}

CString CHistView::CountText() const
{
    if (m_cursorBin < 0) return CString();
    CString s;
    s.Format("%lld", static_cast<long long>(m_count));
    return s;
}

CString CHistView::LeftText() const
{
    const Selection& s = m_sel[ChannelIndex()];
    return std::fabs(s.right - s.left) < FLT_EPSILON ? CString() : Fmt("%g", s.left);
}

CString CHistView::RightText() const
{
    const Selection& s = m_sel[ChannelIndex()];
    return std::fabs(s.right - s.left) < FLT_EPSILON ? CString() : Fmt("%g", s.right);
}

CString CHistView::PercentText() const
{
    const Selection& s = m_sel[ChannelIndex()];
    double percent = 0.0;
    if (m_pData && std::fabs(s.right - s.left) >= FLT_EPSILON) {
        const HistChannel& c = m_pData->Shown();
        const double range = std::fabs(c.dataMax - c.dataMin);
        if (range > 0.0) percent = std::fabs(s.right - s.left) / (range / 100.0);
    }
    CString text;
    text.Format("%g%s", percent, " %");
    return text;
}

CString CHistView::ColorText() const
{
    if (m_cursorBin < 0 || !m_pData) return "RGB = ( )";
    const HistChannel& c = m_pData->Shown();
    const std::size_t at = std::size_t(m_cursorBin) * 3;
    if (at + 2 >= c.palette.size()) return "RGB = ( )";
    CString text;
    text.Format("%s%d%s%d%s%d%s", "RGB = ( ", c.palette[at], ", ", c.palette[at + 1], ", ", c.palette[at + 2],
                " )");
    return text;
}

CString CHistView::TipTextAt(CPoint p, CRect* marker) const
{
    if (!m_bMarkers || !m_pData) return CString();
    const auto box = [&](int m) {
        const int a = m_markers[m][0].x, b = m_markers[m][2].x;
        return CRect(std::min(a, b), m_plot.top - 7, std::max(a, b), m_plot.top - 1);
    };
    const auto inside = [&](const CRect& r) {
        return p.x >= r.left && p.x <= r.right && p.y >= r.top && p.y <= r.bottom;
    };
    const auto overlap = [](const CRect& a, const CRect& b) {
        return a.left <= b.right && b.left <= a.right && a.top <= b.bottom && b.top <= a.bottom;
    };
    const HistChannel& c = m_pData->Shown();
    CString text;
    const CRect pmin = box(0), pmax = box(1), dmin = box(2), dmax = box(3);
    const CRect* hit = nullptr;
    // Where the PseudoMin and Min boxes overlap, the PseudoMin box answers for both.
    if (inside(pmin)) {
        hit = &pmin;
        if (overlap(pmin, dmin))
            text.Format("%s%g%s%g", "Min = ", c.dataMin, "; PseudoMin = ", c.displayMin);
        else
            text.Format("%s%g", "PseudoMin = ", c.displayMin);
    } else if (inside(dmin) && !overlap(pmin, dmin)) {
        hit = &dmin;
        text.Format("%s%g", "Min = ", c.dataMin);
    } else if (inside(pmax)) {
        hit = &pmax;
        if (overlap(pmax, dmax))
            text.Format("%s%g%s%g", "Max = ", c.dataMax, ";  PseudoMax = ", c.displayMax);
        else
            text.Format("%s%g", "PseudoMax = ", c.displayMax);
    } else if (inside(dmax) && !overlap(pmax, dmax)) {
        hit = &dmax;
        text.Format("%s%g", "Max = ", c.dataMax);
    }
    if (hit && marker) *marker = *hit;
    return text;
}

// --- view: mouse --------------------------------------------------------------------------

bool CHistView::MouseAllowed() const
{
    if (!m_pData || m_pData->m_nStatus != kHistReady) return false;
    if (m_pData->m_nMode == 1) return m_pData->m_single.Block(0) != nullptr;
    return m_pData->m_nMode == 2 && m_pData->m_nChannel != 0;
}

void CHistView::ClearSelection()
{
    m_bDown = m_bReleased = false;
    m_sel[ChannelIndex()] = Selection{};
}

void CHistView::CursorReadout(int x)
{
    const HistChannel& c = m_pData->Shown();
    const double u = (c.shownHi - c.shownLo) / std::max(m_plot.Width(), 1);
    const double v = c.shownLo + x * u;
    const double w = (c.dataMax - c.dataMin) / c.bins;
    const double raw = (v - c.dataMin) / w;
    const std::uint32_t* counts = m_pData->ShownCounts();
    if (counts && std::isfinite(raw) && raw >= 0.0 && raw < c.bins) {
        m_cursorBin = int(raw);
        m_level = v;
        m_count = counts[m_cursorBin];
    } else {
        m_cursorBin = -1;
    }
}

void CHistView::OnButtonDown(CPoint p)
{
    // A press outside the plot starts nothing.
    if (!m_plot.PtInRect(p)) return;
    const int x = p.x - m_plot.left, y = p.y - m_plot.top;
    m_bDown = true;
    m_bReleased = false;
    SetCapture();
    HistChannel& c = m_pData->Shown();
    const double u = (c.shownHi - c.shownLo) / std::max(m_plot.Width(), 1);
    double v = c.shownLo + x * u;
    if (m_pData->m_nDragMode == 0) {
        v = std::min(v, c.dataMax);
        Selection& s = m_sel[ChannelIndex()];
        s.anchor = s.moving = s.left = s.right = v;
        m_sharedAnchor = v;
    } else {
        const double pixelScale = m_pixelScale[ChannelIndex()];
        m_pressLevel = pixelScale > 0.0 ? (m_plot.Height() - y) / pixelScale : 0.0;
        m_pressX = x;
        m_pressLo = c.shownLo;
        m_pressHi = c.shownHi;
        m_pressBins = c.bins * (c.shownHi - c.shownLo) / (c.dataMax - c.dataMin);
        m_pressWidth = (c.shownHi - c.shownLo) / m_pressBins;
        m_pressDistance = (v - c.shownLo) / m_pressWidth;
        ZoomStep(MK_LBUTTON, CPoint(x, y));
    }
}

void CHistView::ZoomStep(UINT flags, CPoint p)
{
    if (!(flags & MK_LBUTTON)) return;
    HistChannel& c = m_pData->Shown();
    const double t = p.x * (m_pressHi - m_pressLo) / std::max(m_plot.Width(), 1);
    const double d = m_pressDistance == 0.0 ? 1.0 : m_pressDistance;
    const double hi = m_pressLo + (m_pressHi - m_pressLo) * m_pressWidth / (t / d);
    const double newScale = m_pressLevel > 0.0 ? (m_plot.Height() - p.y) / m_pressLevel : 0.0;
    // A step that gives no usable range or scale changes nothing.
    if (!(newScale >= FLT_EPSILON) || !std::isfinite(hi) || !(hi - m_pressLo >= FLT_EPSILON)) return;
    c.shownHi = hi;
    const int countScale = Round(m_plot.Height() / newScale);
    if (countScale > 0 && std::uint32_t(countScale) >= c.smallest) {
        c.countScale = countScale;
        m_pixelScale[ChannelIndex()] = newScale;
    }
    Redraw(1, 1);
}

void CHistView::OnMove(UINT flags, CPoint raw)
{
    ShowTip(raw);
    if (!MouseAllowed()) return;
    const int x = std::clamp(int(raw.x - m_plot.left), 0, m_plot.Width());
    const int y = std::clamp(int(raw.y - m_plot.top), 0, m_plot.Height());
    HistChannel& c = m_pData->Shown();
    const double u = (c.shownHi - c.shownLo) / std::max(m_plot.Width(), 1);
    if (m_pData->m_nDragMode == 0) {
        if (m_bDown && !m_bReleased) {
            double v = std::min(c.shownLo + x * u, c.dataMax);
            if (m_pData->m_nMode == 1) v = std::max(v, c.dataMin);
            Selection& s = m_sel[ChannelIndex()];
            s.moving = v;
            s.left = std::min(v, m_sharedAnchor);
            s.right = std::max(v, m_sharedAnchor);
        }
        CursorReadout(x);
    } else {
        if (m_bDown) ZoomStep(flags, CPoint(x, y));
        CursorReadout(x);
    }
    Redraw(1, 1);
}

void CHistView::OnButtonUp(CPoint raw)
{
    if (!m_bDown) return;
    m_bReleased = true;
    m_bDown = false;
    ::ReleaseCapture();
    const int x = std::clamp(int(raw.x - m_plot.left), 0, m_plot.Width());
    HistChannel& c = m_pData->Shown();
    if (m_pData->m_nDragMode == 0) {
        const double u = (c.shownHi - c.shownLo) / std::max(m_plot.Width(), 1);
        double v = std::min(c.shownLo + x * u, c.dataMax);
        if (m_pData->m_nMode == 1) v = std::max(v, c.dataMin);
        Selection& s = m_sel[ChannelIndex()];
        s.moving = v;
        s.left = std::min(v, m_sharedAnchor);
        s.right = std::max(v, m_sharedAnchor);
    }
    Redraw(1, 1);
}

void CHistView::OnHistScroll(int position)
{
    if (!m_pData || !m_pData->OneChannelShown()) return;
    HistChannel& c = m_pData->Shown();
    const double w = std::fabs(c.dataMax - c.dataMin) / c.bins;
    const double step = (position - c.offset) * w;
    c.shownLo += step;
    c.shownHi += step;
    c.offset = position;
    Redraw(1, 1);
}

void CHistView::UpdateScrollRange(bool withPosition)
{
    if (!m_pData || !m_scroll.GetSafeHwnd()) return;
    if (!m_pData->OneChannelShown()) {
        m_scroll.SetRange(0, 255, 256);
        return;
    }
    const HistChannel& c = m_pData->Shown();
    const double overlap = std::min(c.shownHi, c.dataMax) - std::max(c.shownLo, c.dataMin);
    const double range = c.dataMax - c.dataMin;
    const double pageRaw = range > 0.0 ? c.bins * std::fabs(overlap) / range : 0.0;
    const int page = std::isfinite(pageRaw) ? int(std::min(pageRaw, double(c.bins))) : 0;
    if (withPosition)
        m_scroll.SetScroll(0, c.bins - 1, int(c.offset), page);
    else
        m_scroll.SetRange(0, c.bins - 1, page);
}

void CHistView::SetScrollPosition(int min, int max, int position)
{
    if (!m_pData) return;
    m_pData->Shown().offset = position;
    if (m_scroll.GetSafeHwnd()) m_scroll.SetScroll(min, max, position, 1);
}

// --- view: export -------------------------------------------------------------------------

int CHistView::ExportBitmap(const CString& path)
{
    if (!m_hDib) return 0;
    const std::vector<BYTE> dib = BitmapToDIB(m_hDib, nullptr);
    if (dib.empty()) return 0;
    return SaveDIB(dib, path) ? 1 : 0;
}

int CHistView::CopyToClipboard()
{
    CopyBitmapToClipboard(GetSafeHwnd(), m_hDib, nullptr);
    return 1;
}

// --- view: messages -----------------------------------------------------------------------

LRESULT CHistView::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    const CPoint point(short(LOWORD(lParam)), short(HIWORD(lParam)));
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = ::BeginPaint(GetSafeHwnd(), &ps);
            if (m_hMemDC && m_hDib) ::BitBlt(dc, 0, 0, m_nWidth, m_nHeight, m_hMemDC, 0, 0, SRCCOPY);
            ::EndPaint(GetSafeHwnd(), &ps);
            return 0;
        }
        case WM_ERASEBKGND:
            return 0;
        case WM_SIZE: {
            const LRESULT r = CWnd::WindowProc(message, wParam, lParam);
            if (m_hMemDC && Layout()) {
                if (m_scroll.GetSafeHwnd()) m_scroll.MoveWindow(&m_scrollRect);
                if (MakeDib()) DrawPass(m_hMemDC, true);
            } else if (Layout() && m_scroll.GetSafeHwnd()) {
                m_scroll.MoveWindow(&m_scrollRect);
            }
            return r;
        }
        case WM_LBUTTONDOWN:
            if (MouseAllowed()) OnButtonDown(point);
            return 0;
        case WM_MOUSEMOVE:
            OnMove(UINT(wParam), point);
            return 0;
        case WM_LBUTTONUP:
            if (MouseAllowed()) OnButtonUp(point);
            return 0;
        case WM_HISTSCROLL:
            if (wParam == 22) OnHistScroll(int(lParam));
            return 1;
        default:
            return CWnd::WindowProc(message, wParam, lParam);
    }
}
