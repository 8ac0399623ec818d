// The drawing layer's hot paths beside plain loops doing the same work: an 8-bit picture
// drawn with its colour table (the viewer's path), a 32-bit copy, and a selection
// polygon of thousands of points made into a region and walked by spans.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "bench/bench_registry.h"
#include "platform/gdi/gdi.h"

namespace {

constexpr int kSide = 2048;

struct Target {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(nullptr, kSide, kSide);
    HGDIOBJ old = SelectObject(dc, bitmap);
    ~Target()
    {
        SelectObject(dc, old);
        DeleteDC(dc);
        DeleteObject(bitmap);
    }
};

const bool kDib8 = RegisterBench("gdi-dib8-to-device-2048", "palette-lookup-loop", [](BenchContext&) {
    std::vector<unsigned char> header(sizeof(BITMAPINFOHEADER) + 256 * 4);
    auto* info = reinterpret_cast<BITMAPINFO*>(header.data());
    info->bmiHeader = {40, kSide, -kSide, 1, 8, BI_RGB, 0, 0, 0, 256, 0};
    std::vector<std::uint32_t> table(256);
    for (int i = 0; i < 256; ++i) {
        info->bmiColors[i] = {BYTE(i), BYTE(255 - i), BYTE(i / 2), 0};
        table[std::size_t(i)] =
            (std::uint32_t(i / 2) << 16) | (std::uint32_t(255 - i) << 8) | std::uint32_t(i);
    }
    std::vector<unsigned char> bits(std::size_t(kSide) * kSide);
    for (std::size_t i = 0; i < bits.size(); ++i) bits[i] = static_cast<unsigned char>(i * 7);
    Target target;
    std::vector<std::uint32_t> plain(bits.size());
    return BenchTimes{Seconds([&] {
                          SetDIBitsToDevice(target.dc, 0, 0, kSide, kSide, 0, 0, 0, kSide, bits.data(), info,
                                            DIB_RGB_COLORS);
                      }),
                      Seconds([&] {
                          for (std::size_t i = 0; i < bits.size(); ++i) plain[i] = table[bits[i]];
                      })};
});

const bool kCopy = RegisterBench("gdi-bitblt-srccopy-2048", "memcpy", [](BenchContext&) {
    Target a, b;
    std::vector<std::uint32_t> from(std::size_t(kSide) * kSide, 7), to(from.size());
    return BenchTimes{Seconds([&] { BitBlt(b.dc, 0, 0, kSide, kSide, a.dc, 0, 0, SRCCOPY); }),
                      Seconds([&] { std::memcpy(to.data(), from.data(), from.size() * 4); })};
});

// The plain way: every edge tested on every row, crossings sorted, mask rows filled.
std::int64_t PlainPolygonFill(const std::vector<POINT>& pts, int side, std::vector<std::uint8_t>& mask)
{
    std::int64_t area = 0;
    std::vector<double> xs;
    for (int y = 0; y < side; ++y) {
        const double cy = y + 0.5;
        xs.clear();
        for (std::size_t i = 0; i < pts.size(); ++i) {
            const POINT a = pts[i], b = pts[(i + 1) % pts.size()];
            if ((a.y <= cy) != (b.y <= cy)) xs.push_back(a.x + (cy - a.y) * (b.x - a.x) / double(b.y - a.y));
        }
        std::sort(xs.begin(), xs.end());
        std::uint8_t* row = mask.data() + std::size_t(y) * std::size_t(side);
        for (std::size_t k = 0; k + 1 < xs.size(); k += 2) {
            const int x0 = std::max(0, int(std::ceil(xs[k] - 0.5))),
                      x1 = std::min(side, int(std::ceil(xs[k + 1] - 0.5)));
            if (x0 < x1) {
                std::memset(row + x0, 1, std::size_t(x1 - x0));
                area += x1 - x0;
            }
        }
    }
    return area;
}

const bool kPolygon =
    RegisterBench("gdi-polygon-region-4000-points", "plain-scanline-mask", [](BenchContext&) {
        std::vector<POINT> star;
        for (int i = 0; i < 4000; ++i) {
            const double a = M_PI * i / 2000, r = (i & 1) ? 400 : 990;
            star.push_back({LONG(1000 + r * std::cos(a)), LONG(1000 + r * std::sin(a))});
        }
        std::int64_t area = 0;
        const double ours = Seconds([&] {
            HRGN r = CreatePolygonRgn(star.data(), int(star.size()), ALTERNATE);
            const platform::SpanRegion spans = GetRgnSpans(r);
            for (platform::RegionRow row : spans.Rows())
                for (const platform::Span& s : row.spans) area += s.x1 - s.x0;
            DeleteObject(r);
        });
        std::vector<std::uint8_t> mask(2000 * 2000);
        const double plain = Seconds([&] { area -= PlainPolygonFill(star, 2000, mask); });
        if (area == 42) std::puts("");  // keeps both computations
        return BenchTimes{ours, plain};
    });

}  // namespace
