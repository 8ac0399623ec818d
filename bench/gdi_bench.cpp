// The drawing layer's hot paths beside plain loops doing the same work: an 8-bit picture
// drawn with its colour table (the viewer's path), a 32-bit copy, and a selection
// polygon of thousands of points made into a region and walked by spans.

#include <cmath>
#include <cstring>
#include <vector>

#include <QPolygon>
#include <QRegion>

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
        table[std::size_t(i)] = (std::uint32_t(i / 2) << 16) | (std::uint32_t(255 - i) << 8) | std::uint32_t(i);
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

const bool kPolygon = RegisterBench("gdi-polygon-region-4000-points", "qregion-polygon", [](BenchContext&) {
    std::vector<POINT> star;
    QPolygon poly;
    for (int i = 0; i < 4000; ++i) {
        const double a = M_PI * i / 2000, r = (i & 1) ? 400 : 990;
        star.push_back({LONG(1000 + r * std::cos(a)), LONG(1000 + r * std::sin(a))});
        poly << QPoint(star.back().x, star.back().y);
    }
    std::int64_t area = 0;
    const double ours = Seconds([&] {
        HRGN r = CreatePolygonRgn(star.data(), int(star.size()), ALTERNATE);
        const platform::SpanRegion spans = GetRgnSpans(r);
        for (platform::RegionRow row : spans.Rows())
            for (const platform::Span& s : row.spans) area += s.x1 - s.x0;
        DeleteObject(r);
    });
    const double qt = Seconds([&] {
        const QRegion q(poly, Qt::OddEvenFill);
        for (const QRect& r : q) area += std::int64_t(r.width()) * r.height();
    });
    return BenchTimes{ours, area > 0 ? qt : 0.0};
});

}  // namespace
