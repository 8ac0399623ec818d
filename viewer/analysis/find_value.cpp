#include "viewer/analysis/find_value.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "outside/basecore/data_type.h"
#include "outside/basecore/math_helpers.h"
#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/recognize_complex.h"

namespace {

/// What GetValue gives for a sample and a component.
template <class T>
double ValueOf(const T& s, int component)
{
    if constexpr (!::IsComplex<T>) {
        (void)component;
        return double(s);
    } else {
        const double r = double(re(s)), i = double(im(s));
        switch (component) {
            case kAmplitude:
                return Amplitude(r, i);
            case kPhase:
                return Arg(r, i);
            case kImaginary:
                return i;
            default:
                return r;
        }
    }
}

struct Target {
    double re, im, mRe, mIm;
    bool approximate, both;

    bool Equal(double a, double b, double m) const
    {
        return approximate ? std::round(m * a) == std::round(m * b) : a == b;
    }
    template <class T>
    bool Match(const T& s, int component) const
    {
        if (both) return Equal(ValueOf(s, kReal), re, mRe) && Equal(ValueOf(s, kImaginary), im, mIm);
        return Equal(ValueOf(s, component), re, mRe);
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
    const Target target{std::atof(reText),        std::atof(imText), DigitsMultiplier(reText),
                        DigitsMultiplier(imText), approximate != 0,  component == 4};
    const int W = layer->Width(), H = layer->Height();
    if (W <= 0 || H <= 0) return 0;
    CPoint& cell = *position;
    void** rows = layer->GetRows();
    return visitSampleType(layer->Type(), [&]<class T>(Tag<T>) -> int {
        if (!backward) {
            int x0 = cell.x + 1;
            if (x0 > W - 1) {
                x0 = 0;
                if (++cell.y > H - 1) {
                    cell = CPoint(0, 0);
                    return 0;
                }
            }
            for (int y = std::max(int(cell.y), 0); y < H; ++y) {
                const T* row = static_cast<const T*>(rows[y]);
                for (int x = y == cell.y ? std::max(x0, 0) : 0; x < W; ++x)
                    if (target.Match(row[x], component)) {
                        cell = CPoint(x, y);
                        return 1;
                    }
            }
            return 0;
        }
        int x0 = cell.x - 1;
        if (x0 < 0) {
            x0 = W - 1;
            if (--cell.y < 0) {
                cell = CPoint(0, 0);
                return 0;
            }
        }
        for (int y = std::min(int(cell.y), H - 1); y >= 0; --y) {
            const T* row = static_cast<const T*>(rows[y]);
            for (int x = y == cell.y ? std::min(x0, W - 1) : W - 1; x >= 0; --x)
                if (target.Match(row[x], component)) {
                    cell = CPoint(x, y);
                    return 1;
                }
        }
        return 0;
    });
}
