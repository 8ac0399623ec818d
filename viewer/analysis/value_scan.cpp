#include "viewer/analysis/value_scan.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

#include "outside/basecore/data_type.h"
#include "outside/basecore/math_helpers.h"
#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/sample_component.h"

namespace {

std::string Trim(const std::string& s)
{
    const auto b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    const auto e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

/// 10 to the number of characters after the first point; 1 for a zero value or no point.
double Multiplier(const std::string& text, double value)
{
    const auto dot = text.find('.');
    if (value == 0.0 || dot == std::string::npos) return 1.0;
    // More decimals than a double holds would only overflow the rounding.
    const std::size_t decimals = std::min<std::size_t>(text.size() - dot - 1, 15);
    return std::pow(10.0, double(decimals));
}

/// Rounds in double: a product past the int range still compares as it is.
inline double RoundD(double v)
{
    return std::round(v);
}

/// Matches a sample against the query; the exact test compares a floating part in the
/// layer's own precision, so "0.1" finds a float 0.1.
template <class T>
struct Matcher {
    using P = PartType<T>;
    explicit Matcher(const ValueQuery& q) : q(q)
    {
        if constexpr (std::is_floating_point_v<P>) {
            exactRe = double(P(q.re));
            exactIm = double(P(q.im));
        } else {
            exactRe = q.re;
            exactIm = q.im;
        }
        roundRe = RoundD(q.fRe * q.re);
        roundIm = RoundD(q.fIm * q.im);
        both = q.component == 4;
        // Amplitude and phase are computed, so they compare as doubles.
        if (!both && IsComplex<T> && (q.component == 0 || q.component == 1)) exactRe = q.re;
    }
    bool operator()(const T& s) const
    {
        if (both) {
            const double r = double(re(s)), i = double(im(s));
            if (q.approximate) return RoundD(q.fRe * r) == roundRe && RoundD(q.fIm * i) == roundIm;
            return r == exactRe && i == exactIm;
        }
        const double v = SampleComponent(s, q.component);
        return q.approximate ? RoundD(q.fRe * v) == roundRe : v == exactRe;
    }
    const ValueQuery& q;
    double exactRe, exactIm, roundRe, roundIm;
    bool both;
};

}  // namespace

void SplitComplexText(const CString& text, CString& realText, CString& imagText)
{
    std::string s = Trim(static_cast<const char*>(text));
    if (s.size() >= 2 && s.front() == '(' && s.back() == ')') s = Trim(s.substr(1, s.size() - 2));
    auto cut = s.find_first_of(",;");
    if (cut == std::string::npos) cut = s.find_first_of(" \t");
    if (cut == std::string::npos) {
        realText = s.c_str();
        imagText = "0";
        return;
    }
    realText = Trim(s.substr(0, cut)).c_str();
    const std::string rest = Trim(s.substr(cut + 1));
    imagText = rest.empty() ? "0" : rest.c_str();
}

ValueQuery MakeValueQuery(const CString& text, bool approximate, int component)
{
    ValueQuery q;
    CString reText, imText;
    SplitComplexText(text, reText, imText);
    q.re = std::atof(reText);
    q.im = std::atof(imText);
    q.fRe = Multiplier(static_cast<const char*>(reText), q.re);
    q.fIm = Multiplier(static_cast<const char*>(imText), q.im);
    q.approximate = approximate;
    q.component = component;
    return q;
}

bool ScanForValue(const CRDPLayer& layer, const ValueQuery& query, int direction, CPoint& position,
                  const std::function<void(int row)>& onRow)
{
    const int width = layer.Width(), height = layer.Height();
    void** rows = layer.GetRows();
    if (!rows || width <= 0 || height <= 0 || !isValidType(layer.Type())) return false;
    const bool forward = direction == 0;
    int x = std::clamp(int(position.x), 0, width - 1);
    int y = std::clamp(int(position.y), 0, height - 1);

    // The row loop is instantiated per predicate, so the common exact search of a plain
    // value compares samples in their own type with nothing else in the loop.
    const auto scan = [&]<class T>(const auto& match) {
        bool first = true;
        for (;;) {
            const T* row = static_cast<const T*>(rows[y]);
            if (forward) {
                for (int i = first ? x + 1 : 0; i < width; ++i)
                    if (match(row[i])) {
                        position = CPoint(i, y);
                        return true;
                    }
                if (++y >= height) return false;
            } else {
                for (int i = first ? x - 1 : width - 1; i >= 0; --i)
                    if (match(row[i])) {
                        position = CPoint(i, y);
                        return true;
                    }
                if (--y < 0) return false;
            }
            first = false;
            if (onRow) onRow(y);
        }
    };
    return visitSampleType(DataType(layer.Type()), [&]<class T>(Tag<T>) {
        if constexpr (!IsComplex<T>) {
            if (!query.approximate && query.component != 4) {
                if constexpr (std::is_floating_point_v<T>) {
                    const T target = T(query.re);
                    if (forward) {
                        // The library's find is unrolled; the common search is this one.
                        for (int i = x + 1;; i = 0) {
                            const T* row = static_cast<const T*>(rows[y]);
                            const T* hit = std::find(row + i, row + width, target);
                            if (hit != row + width) {
                                position = CPoint(int(hit - row), y);
                                return true;
                            }
                            if (++y >= height) return false;
                            if (onRow) onRow(y);
                        }
                    }
                    return scan.template operator()<T>([target](T s) { return s == target; });
                } else {
                    const double target = query.re;
                    return scan.template operator()<T>([target](T s) { return double(s) == target; });
                }
            }
        }
        const Matcher<T> match(query);
        return scan.template operator()<T>([&match](const T& s) { return match(s); });
    });
}
