#include "viewer/analysis/find_value.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "outside/basecore/data_type.h"
#include "outside/basecore/math_helpers.h"
#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/sample_component.h"
#include "outside/basecore/recognize_complex.h"
#include "outside/basecore/row_driver.h"

namespace {

/// One part of the target: its value, its multiplier, and for approximate matches the
/// interval of m x v that rounds to the same integer (std::round semantics), so that the
/// scan compares instead of rounding each sample.
struct Part {
    double value = 0.0, m = 1.0, lo = 0.0, hi = 0.0;
    bool loClosed = true, hiClosed = false, rounding = false;

    Part(double v, double multiplier, bool approximate) : value(v), m(multiplier)
    {
        if (!approximate) return;
        const double r = std::round(m * v);
        rounding = !(std::fabs(r) < 4503599627370496.0);  // beyond 2^52 halves are not exact
        lo = r - 0.5;
        hi = r + 0.5;
        // Halves round away from zero.
        loClosed = r > 0.0;
        hiClosed = r < 0.0;
        approx = true;
    }
    bool Equal(double a) const
    {
        if (!approx) return a == value;
        const double x = m * a;
        if (rounding) return std::round(x) == std::round(m * value);
        return (loClosed ? x >= lo : x > lo) && (hiClosed ? x <= hi : x < hi);
    }
    bool approx = false;
};

struct Target {
    Part re, im;
    bool both;

    template <class T>
    bool Match(const T& s, int component) const
    {
        if (both) return re.Equal(SampleComponent(s, kReal)) && im.Equal(SampleComponent(s, kImaginary));
        return re.Equal(SampleComponent(s, component));
    }
};

}  // namespace

double DigitsMultiplier(const CString& text)
{
    const char* s = text;
    if (std::atof(s) == 0.0) return 1.0;
    const char* point = std::strchr(s, '.');
    if (!point) return 1.0;
    int digits = 0;
    for (const char* p = point + 1; *p && *p != 'e' && *p != 'E' && *p != ' ' && *p != '\t'; ++p) ++digits;
    return std::pow(10.0, std::min(digits, 15));
}

int FindValueInLayer(CString text, int backward, int approximate, CRDPLayer* layer, int component,
                     CPoint* position)
{
    if (!layer || !position || !layer->GetRows()) return 0;
    CString reText, imText;
    RecognizeComplex(text, reText, imText);
    const Target target{Part(std::atof(reText), DigitsMultiplier(reText), approximate != 0),
                        Part(std::atof(imText), DigitsMultiplier(imText), approximate != 0), component == 4};
    const int W = layer->Width(), H = layer->Height();
    if (W <= 0 || H <= 0) return 0;
    CPoint& cell = *position;
    const int step = backward ? -1 : 1;
    int x0;
    if (!backward) {
        x0 = cell.x + 1;
        if (x0 > W - 1) {
            x0 = 0;
            if (++cell.y > H - 1) {
                cell = CPoint(0, 0);
                return 0;
            }
        }
    } else {
        x0 = cell.x - 1;
        if (x0 < 0) {
            x0 = W - 1;
            if (--cell.y < 0) {
                cell = CPoint(0, 0);
                return 0;
            }
        }
    }
    const int y0 = std::clamp(int(cell.y), 0, H - 1);
    x0 = std::clamp(x0, 0, W - 1);
    void** rows = layer->GetRows();
    return visitSampleType(layer->Type(), [&]<class T>(Tag<T>) -> int {
        // The first hit of a row from column `from` in the scan direction; -1 for none.
        const auto scanRow = [&](int y, int from) {
            const T* row = static_cast<const T*>(rows[y]);
            for (int x = from; x >= 0 && x < W; x += step)
                if (target.Match(row[x], component)) return x;
            return -1;
        };
        const int first = scanRow(y0, x0);
        if (first >= 0) {
            cell = CPoint(first, y0);
            return 1;
        }
        // The rows after the first, in bands: the earliest band with a hit wins, and bands
        // after a band that already has one stop scanning.
        const std::int64_t rest = backward ? y0 : H - 1 - y0;
        if (rest <= 0) return 0;
        const RowBands bands = RowBands::Even(rest, 16);
        std::vector<CPoint> hits(std::size_t(bands.Count()), CPoint(-1, -1));
        std::atomic<std::int64_t> firstBand{bands.Count()};
        RunRowBands(bands, [&](const RowBand& band) {
            for (std::int64_t r = band.begin; r < band.end; ++r) {
                if (band.index > firstBand.load(std::memory_order_relaxed)) return;
                const int y = int(backward ? y0 - 1 - r : y0 + 1 + r);
                const int x = scanRow(y, backward ? W - 1 : 0);
                if (x >= 0) {
                    hits[std::size_t(band.index)] = CPoint(x, y);
                    std::int64_t seen = firstBand.load();
                    while (band.index < seen && !firstBand.compare_exchange_weak(seen, band.index)) {
                    }
                    return;
                }
            }
        });
        const std::int64_t winner = firstBand.load();
        if (winner >= bands.Count()) return 0;
        cell = hits[std::size_t(winner)];
        return 1;
    });
}
