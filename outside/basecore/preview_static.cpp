#include "outside/basecore/preview_static.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/tags.h"
#include "outside/huebook/color_map.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/window_dc.h"

namespace {

constexpr int kPaletteBytes = 256 * 4;

std::int64_t Stride(int width)
{
    return (std::int64_t(width) + 3) / 4 * 4;
}

void GreyPalette(BYTE* palette)
{
    for (int i = 0; i < 256; ++i) {
        palette[i * 4] = palette[i * 4 + 1] = palette[i * 4 + 2] = BYTE(i);
        palette[i * 4 + 3] = 0;
    }
}

}  // namespace

BEGIN_MESSAGE_MAP(CPreviewStatic, CWnd)
    ON_WM_PAINT()
    ON_WM_LBUTTONDOWN()
END_MESSAGE_MAP()

BOOL CPreviewStatic::Init(CWnd* dialog, UINT id, int mode)
{
    m_mode = mode;
    CWnd* host = dialog ? dialog->GetDlgItem(int(id)) : nullptr;
    if (!host || GetSafeHwnd()) return FALSE;
    CRect client;
    host->GetClientRect(&client);
    // Inside the static, clear of its sunken edge.
    client.DeflateRect(2, 2);
    return Create(nullptr, nullptr, WS_CHILD | WS_VISIBLE, client, host, id);
}

void CPreviewStatic::SetText(const CString& text)
{
    m_text = text.IsEmpty() ? CString(" ") : text;
    if (GetSafeHwnd()) Invalidate();
}

void CPreviewStatic::SetBitmapData(const BYTE* pixels, int width, int height, const BYTE* palette)
{
    SetBitmapData(pixels, width, height, 1, palette, 0);
}

void CPreviewStatic::SetBitmapData(const BYTE* pixels, int width, int height, int count, const BYTE* palettes,
                                   int first)
{
    if (!pixels || !palettes || width <= 0 || height <= 0 || count <= 0) return;
    const std::int64_t stride = Stride(width), plane = stride * height;
    m_pixels.assign(std::size_t(plane * count), 0);
    for (int i = 0; i < count; ++i)
        for (int y = 0; y < height; ++y)
            std::memcpy(m_pixels.data() + plane * i + stride * y,
                        pixels + (std::int64_t(i) * height + y) * width, std::size_t(width));
    m_palettes.assign(palettes, palettes + std::int64_t(count) * kPaletteBytes);
    m_width = width;
    m_height = height;
    m_count = count;
    m_index = first >= 0 && first < count ? first : 0;
    m_text = "";
    if (GetSafeHwnd()) Invalidate();
}

void CPreviewStatic::SetImageIndex(int index)
{
    if (index < 0 || index >= m_count) return;
    m_index = index;
    if (GetSafeHwnd()) Invalidate();
}

BOOL CPreviewStatic::SetSourceFile(const char* path)
{
    CRDPLayer layer;
    if (!path || !layer.OpenLayer(path, kOpenReadOnly)) return FALSE;
    const int w = layer.Width(), h = layer.Height();
    const bool complex = layer.IsComplex();
    // Every n-th sample, so that the picture is no larger than the window needs.
    CRect client(0, 0, 256, 256);
    if (GetSafeHwnd()) GetClientRect(&client);
    const int side = std::max({client.Width(), client.Height(), 1});
    const int step = std::max(1, std::max(w, h) / side);
    const int pw = (w + step - 1) / step, ph = (h + step - 1) / step;
    std::vector<double> values(std::size_t(pw) * ph), line(std::size_t(w) * (complex ? 2 : 1));
    double lo = HUGE_VAL, hi = -HUGE_VAL;
    for (int py = 0; py < ph; ++py) {
        if (!layer.GetDoubleLine(py * step, line.data(), w)) return FALSE;
        for (int px = 0; px < pw; ++px) {
            const int x = px * step;
            const double v = complex ? std::hypot(line[std::size_t(2 * x)], line[std::size_t(2 * x + 1)])
                                     : line[std::size_t(x)];
            values[std::size_t(py) * pw + px] = v;
            if (std::isfinite(v)) {
                lo = std::min(lo, v);
                hi = std::max(hi, v);
            }
        }
    }
    std::vector<BYTE> palette(kPaletteBytes);
    GreyPalette(palette.data());
    std::vector<BYTE> tag;
    CColorMap map;
    if (lo <= hi && GetPaletteTag(layer, TAG_PALETTE, &tag) &&
        map.LoadColorMapFromPtr(tag.data(), int(tag.size()))) {
        BYTE rgb[256 * 3];
        if (map.CreatePseudoPalette(rgb, lo, hi))
            for (int i = 0; i < 256; ++i) {
                palette[std::size_t(i * 4)] = rgb[i * 3 + 2];
                palette[std::size_t(i * 4 + 1)] = rgb[i * 3 + 1];
                palette[std::size_t(i * 4 + 2)] = rgb[i * 3];
            }
    }
    layer.CloseLayer();

    // Levels 0..255 between the minimum and the maximum; bottom row first, as pictures are kept.
    std::vector<BYTE> pixels(values.size(), 0);
    const double scale = hi > lo ? 255.0 / (hi - lo) : 0.0;
    for (int py = 0; py < ph; ++py)
        for (int px = 0; px < pw; ++px) {
            const double v = values[std::size_t(py) * pw + px];
            const double level = std::isfinite(v) ? (v - lo) * scale : 0.0;
            pixels[std::size_t(ph - 1 - py) * pw + px] = BYTE(std::clamp(std::lround(level), 0L, 255L));
        }
    SetBitmapData(pixels.data(), pw, ph, palette.data());
    return TRUE;
}

void CPreviewStatic::OnPaint()
{
    CPaintDC dc(this);
    CRect client;
    GetClientRect(&client);
    dc.FillSolidRect(&client, GetSysColor(COLOR_BTNFACE));
    if (!m_text.IsEmpty() || m_count == 0) {
        dc.SetBkMode(TRANSPARENT);
        CRect box = client;
        dc.DrawText(m_text, &box, DT_CENTER | DT_WORDBREAK);
        return;
    }
    std::vector<BYTE> info(sizeof(BITMAPINFOHEADER) + kPaletteBytes);
    auto* header = reinterpret_cast<BITMAPINFOHEADER*>(info.data());
    *header = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), m_width, m_height, 1, 8, BI_RGB, 0, 0, 0, 256, 256};
    std::memcpy(info.data() + sizeof(BITMAPINFOHEADER),
                m_palettes.data() + std::int64_t(m_index) * kPaletteBytes, kPaletteBytes);
    // Scaled to fit, keeping the picture's proportions, centred.
    const double scale = std::min(double(client.Width()) / m_width, double(client.Height()) / m_height);
    const int dw = std::max(1, int(m_width * scale)), dh = std::max(1, int(m_height * scale));
    const int x = (client.Width() - dw) / 2, y = (client.Height() - dh) / 2;
    dc.SetStretchBltMode(COLORONCOLOR);
    StretchDIBits(dc.GetSafeHdc(), x, y, dw, dh, 0, 0, m_width, m_height,
                  m_pixels.data() + Stride(m_width) * m_height * m_index,
                  reinterpret_cast<const BITMAPINFO*>(info.data()), DIB_RGB_COLORS, SRCCOPY);
}

void CPreviewStatic::OnLButtonDown(UINT, CPoint)
{
    if (m_count > 1 && m_text.IsEmpty()) SetImageIndex((m_index + 1) % m_count);
}
