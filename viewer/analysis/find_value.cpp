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
#include "viewer/analysis/sample_match.h"

namespace {

/// The test of one part: exact, or to as many decimals as its text has.
SampleTest PartTest(const CString& text, bool approximate)
{
    const double value = std::atof(text);
    return approximate ? SampleTest::ToDecimals(value, DigitsMultiplier(text)) : SampleTest::Exact(value);
}

struct Target {
    SampleTest re, im;
    bool both;

    template <class T>
    bool Match(const T& s, int component) const
    {
        if (both) return re(SampleComponent(s, kReal)) && im(SampleComponent(s, kImaginary));
        return re(SampleComponent(s, component));
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
    const Target target{PartTest(reText, approximate != 0), PartTest(imText, approximate != 0),
                        component == 4};
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
            if constexpr (!IsComplex<T>) {
                // A real value: the vector search (a real layer's value is every component).
                if (!target.both) {
                    if (backward) return from < 0 ? -1 : target.re.FindIn(row, from + 1, false);
                    if (from >= W) return -1;
                    const int x = target.re.FindIn(row + from, W - from, true);
                    return x < 0 ? -1 : from + x;
                }
            }
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
