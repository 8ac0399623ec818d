#include "viewer/analysis/value_scan.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "outside/basecore/data_type.h"
#include "outside/basecore/math_helpers.h"
#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/row_driver.h"
#include "outside/basecore/sample_component.h"
#include "viewer/analysis/sample_match.h"

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

/// Matches a sample against the query; the exact test compares a floating part in the
/// layer's own precision, so "0.1" finds a float 0.1.
template <class T>
struct Matcher {
    using P = PartType<T>;
    explicit Matcher(const ValueQuery& q)
        : both(q.component == 4), component(q.component), re(Test(q, q.re, q.fRe)), im(Test(q, q.im, q.fIm))
    {
    }
    static SampleTest Test(const ValueQuery& q, double value, double m)
    {
        if (q.approximate) return SampleTest::ToDecimals(value, m);
        // Amplitude and phase are computed, so they compare as doubles.
        if (q.component != 4 && IsComplex<T> && (q.component == 0 || q.component == 1))
            return SampleTest::Exact(value);
        if constexpr (std::is_floating_point_v<P>) return SampleTest::Exact(double(P(value)));
        return SampleTest::Exact(value);
    }
    bool operator()(const T& s) const
    {
        if (both) return re(double(::re(s))) && im(double(::im(s)));
        return re(SampleComponent(s, component));
    }
    bool both;
    int component;
    SampleTest re, im;
};

/// The first match of a row from column `from` in the direction (-1 when none): real samples
/// tested one by one only where the vector search cannot take them.
template <class T>
int FirstInRow(const Matcher<T>& match, const T* row, int width, int from, bool forward)
{
    if (forward ? from >= width : from < 0) return -1;
    if constexpr (!IsComplex<T>) {
        if (!match.both) {
            if (!forward) return match.re.FindIn(row, from + 1, false);
            const int x = match.re.FindIn(row + from, width - from, true);
            return x < 0 ? -1 : from + x;
        }
    }
    for (int i = from; i >= 0 && i < width; i += forward ? 1 : -1)
        if (match(row[i])) return i;
    return -1;
}

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

    return visitSampleType(DataType(layer.Type()), [&]<class T>(Tag<T>) {
        const Matcher<T> match(query);
        for (bool first = true;; first = false) {
            if (!first) {
                y += forward ? 1 : -1;
                if (y < 0 || y >= height) return false;
                if (onRow) onRow(y);
            }
            const int from = first ? (forward ? x + 1 : x - 1) : (forward ? 0 : width - 1);
            const int hit = FirstInRow(match, static_cast<const T*>(rows[y]), width, from, forward);
            if (hit >= 0) {
                position = CPoint(hit, y);
                return true;
            }
        }
    });
}

bool ForEachMatchInRow(const CRDPLayer& layer, const ValueQuery& query, int direction, int y, int from,
                       const std::function<void(int x)>& hit)
{
    const int width = layer.Width();
    if (!layer.GetRows() || y < 0 || y >= layer.Height() || !isValidType(layer.Type())) return false;
    const bool forward = direction == 0;
    visitSampleType(DataType(layer.Type()), [&]<class T>(Tag<T>) {
        const Matcher<T> match(query);
        const T* row = static_cast<const T*>(layer.GetRows()[y]);
        for (int x = from; (x = FirstInRow(match, row, width, x, forward)) >= 0; x += forward ? 1 : -1)
            hit(x);
    });
    return true;
}

void ReplaceInRows(CRDPLayer& layer, const ValueQuery& query, int direction, int y, int count,
                   const void* sample, std::vector<RowReplacement>& rows)
{
    rows.resize(std::size_t(std::max(count, 0)));
    const int width = layer.Width();
    if (!layer.GetRows() || count <= 0 || !isValidType(layer.Type())) return;
    const bool forward = direction == 0;
    visitSampleType(DataType(layer.Type()), [&]<class T>(Tag<T>) {
        const Matcher<T> match(query);
        T value;
        std::memcpy(&value, sample, sizeof(T));
        ForEachRow(count, [&](std::int64_t i, int) {
            RowReplacement& done = rows[std::size_t(i)];
            std::vector<int>& hits = done.columns;
            hits.clear();
            done.before.clear();
            const int row = forward ? y + int(i) : y - int(i);
            if (row < 0 || row >= layer.Height()) return;
            T* samples = static_cast<T*>(layer.GetRows()[row]);
            bool searched = false;
            if constexpr (!IsComplex<T>) {
                if (!match.both) {
                    // One pass over the row finds every match; its writes follow.
                    match.re.AllIn(samples, width, hits);
                    if (!forward) std::reverse(hits.begin(), hits.end());
                    searched = true;
                }
            }
            if (!searched)
                for (int x = forward ? 0 : width - 1;
                     (x = FirstInRow(match, samples, width, x, forward)) >= 0; x += forward ? 1 : -1)
                    hits.push_back(x);
            done.before.resize(hits.size() * sizeof(T));
            unsigned char* before = done.before.data();
            for (int x : hits) {
                std::memcpy(before, &samples[x], sizeof(T));
                before += sizeof(T);
                samples[x] = value;
            }
        });
    });
}

void UndoRowReplacement(CRDPLayer& layer, int y, const RowReplacement& row)
{
    if (!layer.GetRows() || y < 0 || y >= layer.Height() || row.columns.empty()) return;
    const std::size_t size = row.before.size() / row.columns.size();
    auto* samples = static_cast<unsigned char*>(layer.GetRows()[y]);
    for (std::size_t i = 0; i < row.columns.size(); ++i)
        std::memcpy(samples + std::size_t(row.columns[i]) * size, row.before.data() + i * size, size);
}
