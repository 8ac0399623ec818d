#include "modules/convolution/derivative_job.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <type_traits>

#include "modules/common/job_support.h"
#include "modules/convolution/kernova_resources.h"
#include "outside/basecore/coord_law_data.h"
#include "outside/basecore/data_type.h"
#include "outside/basecore/rdp_except.h"
#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/row_driver.h"
#include "outside/basecore/tags.h"
#include "platform/last_error.h"

namespace {

// Every difference is its numerator over h + h, divided rather than multiplied by a
// reciprocal, so that results do not depend on how the steps were written.

/// Three-point first derivative along a row of n >= 3 samples, each read as a double.
template <class S, class O>
inline void DiffAlongRow(const S* __restrict g, int n, double twoH, O* __restrict out)
{
    out[0] = O((4.0 * double(g[1]) - 3.0 * double(g[0]) - double(g[2])) / twoH);
    for (int k = 1; k < n - 1; ++k) out[k] = O((double(g[k + 1]) - double(g[k - 1])) / twoH);
    out[n - 1] = O((double(g[n - 3]) - 4.0 * double(g[n - 2]) + 3.0 * double(g[n - 1])) / twoH);
}

/// The three rows a derivative down the columns reads at row r of n, and their numerator.
template <class S>
struct AcrossRows {
    enum Where { First, Inner, Last } where;
    const S* a;  // First: rows 0, 1, 2; Inner: r - 1, (unused), r + 1; Last: n - 3, n - 2, n - 1
    const S* b;
    const S* c;
};

template <class S, class RowAt>
AcrossRows<S> RowsAcross(std::int64_t r, std::int64_t n, RowAt&& rowAt)
{
    if (r == 0) return {AcrossRows<S>::First, rowAt(0), rowAt(1), rowAt(2)};
    if (r == n - 1) return {AcrossRows<S>::Last, rowAt(n - 3), rowAt(n - 2), rowAt(n - 1)};
    const S* a = rowAt(r - 1);
    return {AcrossRows<S>::Inner, a, a, rowAt(r + 1)};
}

/// Calls body(numerator) with the numerator of the derivative down the columns as a
/// function of the column, chosen once per row.
template <class S, class Body>
inline void WithAcrossNumerator(const AcrossRows<S>& rows, Body&& body)
{
    const S* __restrict a = rows.a;
    const S* __restrict b = rows.b;
    const S* __restrict c = rows.c;
    switch (rows.where) {
        case AcrossRows<S>::First:
            body([=](int x) { return 4.0 * double(b[x]) - 3.0 * double(a[x]) - double(c[x]); });
            break;
        case AcrossRows<S>::Inner:
            body([=](int x) { return double(c[x]) - double(a[x]); });
            break;
        case AcrossRows<S>::Last:
            body([=](int x) { return double(a[x]) - 4.0 * double(b[x]) + 3.0 * double(c[x]); });
            break;
    }
}

/// Derivative down the columns of the three rows into out.
template <class S, class O>
inline void DiffAcrossRows(const AcrossRows<S>& rows, int w, double twoH, O* __restrict out)
{
    WithAcrossNumerator(rows, [&](auto numerator) {
        for (int x = 0; x < w; ++x) out[x] = O(numerator(x) / twoH);
    });
}

/// Kinds 0 to 3 of one row in a single sweep straight from the input samples.
template <int kKind, class T, class P, class DyNumerator>
inline void FirstDerivativeRow(const T* __restrict f, DyNumerator dyNum, int w, double twoHx, double twoHy,
                               double s, double c, P* __restrict dst)
{
    auto put = [&](int x, double dx) {
        const double dy = dyNum(x) / twoHy;
        if constexpr (kKind == kDerivGradient) {
            dst[2 * x] = P(dx);
            dst[2 * x + 1] = P(dy);
        } else if constexpr (kKind == kDerivX) {
            dst[x] = P(dx);
        } else if constexpr (kKind == kDerivY) {
            dst[x] = P(dy);
        } else {
            dst[x] = P(dy * s + dx * c);
        }
    };
    put(0, (4.0 * double(f[1]) - 3.0 * double(f[0]) - double(f[2])) / twoHx);
    for (int x = 1; x < w - 1; ++x) put(x, (double(f[x + 1]) - double(f[x - 1])) / twoHx);
    put(w - 1, (double(f[w - 3]) - 4.0 * double(f[w - 2]) + 3.0 * double(f[w - 1])) / twoHx);
}

/// A few first-pass rows around the current one, each made once when first asked for.
template <class V>
class RowRing {
public:
    explicit RowRing(int width) : m_width(width), m_data(std::size_t(kSlots) * std::size_t(width))
    {
        m_keys.fill(-1);
    }
    template <class Fill>
    const V* Get(std::int64_t y, Fill&& fill)
    {
        const std::size_t slot = std::size_t(y % kSlots);
        V* row = m_data.data() + slot * std::size_t(m_width);
        if (m_keys[slot] != y) {
            fill(y, row);
            m_keys[slot] = y;
        }
        return row;
    }

private:
    // Rows r - 2 .. r + 2 are the widest reach of a difference.
    static constexpr int kSlots = 5;
    int m_width;
    std::vector<V> m_data;
    std::array<std::int64_t, kSlots> m_keys{};
};

/// Rows [first, last) of the result. P is the output precision; the first pass of the
/// second derivatives is kept in a ring of rows at that precision, as the stored first
/// derivative would be.
template <class T, class P>
void DerivativeBand(const SGradientParams& params, const RowSource& in, void* const* out, std::int64_t first,
                    std::int64_t last, const RowBand& band)
{
    const int w = in.width;
    const std::int64_t h = in.height;
    const double twoHx = 2.0 * UsablePixelStep(params.pixelStepX);
    const double twoHy = 2.0 * UsablePixelStep(params.pixelStepY);
    const double s = std::sin(params.angle), c = std::cos(params.angle);
    auto inputRow = [&](std::int64_t y) { return static_cast<const T*>(in.rows[y]); };
    RowRing<P> ring(params.kind >= kDerivXX ? w : 0);
    auto firstPassRow = [&](std::int64_t k) {
        return ring.Get(k, [&](std::int64_t y, P* dst) {
            if (params.kind == kDerivYY)
                DiffAcrossRows(RowsAcross<T>(y, h, inputRow), w, twoHy, dst);
            else
                DiffAlongRow(inputRow(y), w, twoHx, dst);
        });
    };

    for (std::int64_t r = first; r < last && !band.Stopped(); ++r) {
        void* dst = out[r];
        auto firstKinds = [&]<int kKind>() {
            WithAcrossNumerator(RowsAcross<T>(r, h, inputRow), [&](auto dyNum) {
                FirstDerivativeRow<kKind>(inputRow(r), dyNum, w, twoHx, twoHy, s, c, static_cast<P*>(dst));
            });
        };
        switch (params.kind) {
            case kDerivGradient:
                firstKinds.template operator()<kDerivGradient>();
                break;
            case kDerivX:
                firstKinds.template operator()<kDerivX>();
                break;
            case kDerivY:
                firstKinds.template operator()<kDerivY>();
                break;
            case kDerivDirectional:
                firstKinds.template operator()<kDerivDirectional>();
                break;
            case kDerivXX:
                DiffAlongRow(firstPassRow(r), w, twoHx, static_cast<P*>(dst));
                break;
            case kDerivYY:
            case kDerivXY:
                DiffAcrossRows(RowsAcross<P>(r, h, firstPassRow), w, twoHy, static_cast<P*>(dst));
                break;
            default:
                return;
        }
    }
}

}  // namespace

int DerivativeOutputType(int inputType, int kind)
{
    if (!isValidType(inputType) || isComplexType(inputType)) return 0;
    const bool wide = inputType == int(DataType::F64);
    if (kind == kDerivGradient) return int(wide ? DataType::C128 : DataType::C64);
    return int(wide ? DataType::F64 : DataType::F32);
}

bool IsDerivableInput(int type, int width, int height)
{
    return isValidType(type) && !isComplexType(type) && width >= 3 && height >= 3;
}

double UsablePixelStep(double step)
{
    return std::isfinite(step) && step > 0.0 ? step : 1.0;
}

void CalcDerivative(const SGradientParams& params, CMeterInfoBase* meter, int inputType,
                    const void* const* in, void* const* out, int width, int height, int threads)
{
    if (params.kind < kDerivGradient || params.kind > kDerivXY) return;
    if (!IsDerivableInput(inputType, width, height) || !in || !out) return;
    // A second derivative is two differences per row: the bar counts both.
    const double perRow = params.kind >= kDerivXX ? 2.0 : 1.0;
    BandProgress progress;
    if (meter) {
        meter->SetRange(0, perRow * height);
        meter->SetPos(0);
        progress = [meter, perRow](std::int64_t done) { meter->SetPos(perRow * double(done)); };
    }
    const RowSource source{in, height, width};
    visitSampleType(inputType, [&]<class T>(Tag<T>) {
        if constexpr (!IsComplex<T>) {
            using P = std::conditional_t<std::is_same_v<T, double>, double, float>;
            RunRowBands(
                RowBands::Even(height, 16),
                [&](const RowBand& band) {
                    DerivativeBand<T, P>(params, source, out, band.begin, band.end, band);
                },
                progress, threads);
        }
    });
}

int CalcDerivativeJob(void* record, CMeterInfo* meter)
{
    std::unique_ptr<SGradientParams> job(static_cast<SGradientParams*>(record));
    if (!job || !meter) return 0;
    const CString caption = LoadKernovaText(IDS_DERIV_CAPTION);
    CRDPLayer in(nullptr);
    CRDPLayer out(meter);
    if (!in.OpenLayer(job->input, kOpenReadOnly)) {
        ReportJobFailure(*meter, caption, LoadKernovaText(IDS_CONV_OPEN_FAILED) + job->input);
        return 0;
    }
    const int width = in.Width(), height = in.Height();
    const bool knownKind = job->kind >= kDerivGradient && job->kind <= kDerivXY;
    const int taskCreate = meter->AddTask(LoadKernovaText(IDS_FILTR_TASK_CREATE), "", 0);
    const int taskDerive = meter->AddTask(
        knownKind ? LoadKernovaText(IDS_DERIV_TASK_GRADIENT + UINT(job->kind)) : CString(), "", 0);
    const int taskStats = meter->AddTask(LoadKernovaText(IDS_FILTR_TASK_STATS), "", 0);

    const bool done = RunGuarded(*meter, caption, out, [&] {
        Phase(*meter, taskCreate, [&] {
            // An input the differences cannot take would end as an empty result reported as
            // done: refuse it before anything is written.
            if (!knownKind) AfxThrowRDPExcept(RDP_ERROR_PROCESS, LoadKernovaText(IDS_DERIV_UNKNOWN_KIND));
            if (!IsDerivableInput(in.Type(), width, height))
                AfxThrowRDPExcept(RDP_ERROR_PROCESS, LoadKernovaText(IDS_DERIV_NOT_DERIVABLE));
            if (!out.CreateLayer(job->output, width, height, DerivativeOutputType(in.Type(), job->kind), 7))
                AfxThrowRDPExcept(RDP_ERROR_PROCESS, LoadKernovaText(IDS_FILTR_CREATE_FAILED) + job->output);
        });
        CCoordLawData law;
        law.LoadData(job->input);
        law.GetPixelSize(job->pixelStepX, job->pixelStepY);
        job->pixelStepX = UsablePixelStep(job->pixelStepX);
        job->pixelStepY = UsablePixelStep(job->pixelStepY);
        meter->SetText(caption);
        Phase(*meter, taskDerive,
              [&] { CalcDerivative(*job, meter, in.Type(), in.GetRows(), out.GetRows(), width, height); });
        Phase(*meter, taskStats, [&] {
            CopyTag(&out, job->input);  // the input's tags go into the output's one write
            if (!out.CloseLayer()) AfxThrowRDPExcept(RDP_ERROR_PROCESS, GetErrorMessage(GetLastError()));
        });
    });
    in.CloseLayer();
    return done ? 1 : 0;
}
