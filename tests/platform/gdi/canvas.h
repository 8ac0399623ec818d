#pragma once

// A memory DC over a 32-bit top-down DIB section, for reading drawn pixels directly.

#include <cstdint>
#include <vector>

#include "platform/gdi/gdi.h"

namespace tarvenix::test {

class Canvas {
public:
    Canvas(int width, int height, COLORREF fill = RGB(255, 255, 255)) : m_w(width), m_h(height)
    {
        BITMAPINFO info{};
        info.bmiHeader = {40, width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        m_bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&m_bits), nullptr, 0);
        m_dc = CreateCompatibleDC(nullptr);
        m_old = SelectObject(m_dc, m_bitmap);
        Fill(fill);
    }
    ~Canvas()
    {
        SelectObject(m_dc, m_old);
        DeleteDC(m_dc);
        DeleteObject(m_bitmap);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    HDC dc() const { return m_dc; }
    HBITMAP bitmap() const { return m_bitmap; }
    int width() const { return m_w; }
    int height() const { return m_h; }
    void Fill(COLORREF c)
    {
        for (int i = 0; i < m_w * m_h; ++i) m_bits[i] = ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
    }
    /// The pixel as a COLORREF, read from the bits.
    COLORREF At(int x, int y) const
    {
        const std::uint32_t p = m_bits[y * m_w + x];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }
    std::vector<std::uint32_t> Pixels() const { return {m_bits, m_bits + m_w * m_h}; }
    /// Bounding box of pixels that differ from `background` (empty when none).
    RECT Ink(COLORREF background) const
    {
        RECT r{m_w, m_h, 0, 0};
        for (int y = 0; y < m_h; ++y)
            for (int x = 0; x < m_w; ++x)
                if (At(x, y) != background) {
                    r.left = std::min<LONG>(r.left, x);
                    r.top = std::min<LONG>(r.top, y);
                    r.right = std::max<LONG>(r.right, x + 1);
                    r.bottom = std::max<LONG>(r.bottom, y + 1);
                }
        if (r.left >= r.right) r = {0, 0, 0, 0};
        return r;
    }
    int Count(COLORREF c) const
    {
        int n = 0;
        for (int y = 0; y < m_h; ++y)
            for (int x = 0; x < m_w; ++x) n += At(x, y) == c;
        return n;
    }

private:
    int m_w, m_h;
    std::uint32_t* m_bits = nullptr;
    HBITMAP m_bitmap = nullptr;
    HDC m_dc = nullptr;
    HGDIOBJ m_old = nullptr;
};

}  // namespace tarvenix::test
