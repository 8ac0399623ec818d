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

constexpr int kHeaderTagBytes = 24;
constexpr int kHeaderTypeOffset = 12;

/// Divides a difference's numerator by h + h. When h + h is a power of two its reciprocal
/// is exact and the product equals the quotient, which is much cheaper.
struct Divider {
    explicit Divider(double h) : twoH(h + h)
    {
        int exponent = 0;
        pow2 = std::frexp(twoH, &exponent) == 0.5;
        inverse = 1.0 / twoH;
    }
    double twoH;
    double inverse;
    bool pow2;
};

/// Three-point first derivative along a line of n >= 3 samples g[0], g[stride], ...
template <bool kMultiply, class S>
inline void DiffAlongRow(const S* g, int n, const Divider& d, double* out)
{
    auto scale = [&](double num) { return kMultiply ? num * d.inverse : num / d.twoH; };
    out[0] = scale(4.0 * double(g[1]) - 3.0 * double(g[0]) - double(g[2]));
    for (int k = 1; k < n - 1; ++k) out[k] = scale(double(g[k + 1]) - double(g[k - 1]));
    out[n - 1] = scale(double(g[n - 3]) - 4.0 * double(g[n - 2]) + 3.0 * double(g[n - 1]));
}

template <class S>
void DiffAlongRow(const S* g, int n, const Divider& d, double* out)
{
    if (d.pow2)
        DiffAlongRow<true>(g, n, d, out);
    else
        DiffAlongRow<false>(g, n, d, out);
}

/// Which rows a derivative down the columns at row r of n rows reads, and how.
enum class Across { First, Inner, Last };

template <bool kMultiply, class S>
inline void DiffAcrossRows(Across where, const S* a, const S* b, const S* c, int w, const Divider& d,
                           double* out)
{
    auto scale = [&](double num) { return kMultiply ? num * d.inverse : num / d.twoH; };
    switch (where) {
        case Across::First:  // a, b, c = rows 0, 1, 2
            for (int x = 0; x < w; ++x)
                out[x] = scale(4.0 * double(b[x]) - 3.0 * double(a[x]) - double(c[x]));
            break;
        case Across::Inner:  // a = row r - 1, c = row r + 1
            for (int x = 0; x < w; ++x) out[x] = scale(double(c[x]) - double(a[x]));
            break;
        case Across::Last:  // a, b, c = rows n - 3, n - 2, n - 1
            for (int x = 0; x < w; ++x)
                out[x] = scale(double(a[x]) - 4.0 * double(b[x]) + 3.0 * double(c[x]));
            break;
    }
}

/// A few rows around the current one, each made once when first asked for.
template <class V>
class RowCache {
public:
    explicit RowCache(int width) : m_width(width), m_data(std::size_t(kSlots) * std::size_t(width))
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

/// The derivative down the columns at row r of `height` rows, whose rows `rowAt` gives.
template <class S, class RowAt>
void DiffAcross(std::int64_t r, std::int64_t height, RowAt&& rowAt, int w, const Divider& d, double* out)
{
    Across where = Across::Inner;
    std::int64_t a = r - 1, b = r, c = r + 1;
    if (r == 0) {
        where = Across::First;
        a = 0, b = 1, c = 2;
    } else if (r == height - 1) {
        where = Across::Last;
        a = height - 3, b = height - 2, c = height - 1;
    }
    const S* ra = rowAt(a);
    const S* rb = where == Across::Inner ? ra : rowAt(b);
    const S* rc = rowAt(c);
    if (d.pow2)
        DiffAcrossRows<true>(where, ra, rb, rc, w, d, out);
    else
        DiffAcrossRows<false>(where, ra, rb, rc, w, d, out);
}

/// Rows [first, last) of the result. P is the output precision; the first pass of the
/// second derivatives is kept in a ring of rows at that precision, as the stored first
/// derivative would be.
template <class T, class P>
void DerivativeBand(const SGradientParams& params, const RowSource& in, void* const* out, std::int64_t first,
                    std::int64_t last, const RowBand& band)
{
    const int w = in.width;
    const std::int64_t h = in.height;
    const Divider dx(UsablePixelStep(params.pixelStepX)), dy(UsablePixelStep(params.pixelStepY));
    RowCache<double> input(w);
    RowCache<P> firstPass(w);
    std::vector<double> bufX(static_cast<std::size_t>(w)), bufY(static_cast<std::size_t>(w));

    auto convert = [&](std::int64_t y, double* dst) {
        const T* src = static_cast<const T*>(in.rows[y]);
        for (int x = 0; x < w; ++x) dst[x] = double(src[x]);
    };
    auto inputRow = [&](std::int64_t y) { return input.Get(y, convert); };
    auto firstPassRow = [&](std::int64_t y) {
        return firstPass.Get(y, [&](std::int64_t k, P* dst) {
            if (params.kind == kDerivYY)
                DiffAcross<double>(k, h, inputRow, w, dy, bufY.data());
            else
                DiffAlongRow(inputRow(k), w, dx, bufY.data());
            for (int x = 0; x < w; ++x) dst[x] = P(bufY[std::size_t(x)]);
        });
    };
    const double s = std::sin(params.angle), c = std::cos(params.angle);

    for (std::int64_t r = first; r < last && !band.Stopped(); ++r) {
        P* dst = static_cast<P*>(out[r]);
        switch (params.kind) {
            case kDerivGradient:
                DiffAlongRow(inputRow(r), w, dx, bufX.data());
                DiffAcross<double>(r, h, inputRow, w, dy, bufY.data());
                for (int x = 0; x < w; ++x) {
                    dst[2 * x] = P(bufX[std::size_t(x)]);
                    dst[2 * x + 1] = P(bufY[std::size_t(x)]);
                }
                break;
            case kDerivX:
                DiffAlongRow(inputRow(r), w, dx, bufX.data());
                for (int x = 0; x < w; ++x) dst[x] = P(bufX[std::size_t(x)]);
                break;
            case kDerivY:
                DiffAcross<double>(r, h, inputRow, w, dy, bufY.data());
                for (int x = 0; x < w; ++x) dst[x] = P(bufY[std::size_t(x)]);
                break;
            case kDerivDirectional:
                DiffAlongRow(inputRow(r), w, dx, bufX.data());
                DiffAcross<double>(r, h, inputRow, w, dy, bufY.data());
                for (int x = 0; x < w; ++x) dst[x] = P(bufY[std::size_t(x)] * s + bufX[std::size_t(x)] * c);
                break;
            case kDerivXX:
                DiffAlongRow(firstPassRow(r), w, dx, bufX.data());
                for (int x = 0; x < w; ++x) dst[x] = P(bufX[std::size_t(x)]);
                break;
            case kDerivYY:
            case kDerivXY:
                DiffAcross<P>(r, h, firstPassRow, w, dy, bufX.data());
                for (int x = 0; x < w; ++x) dst[x] = P(bufX[std::size_t(x)]);
                break;
            default:
                return;
        }
    }
}

int ReadHeaderType(const char* path)
{
    BYTE header[kHeaderTagBytes] = {};
    if (!GetTag(path, TAG_LAYER_HEADER, kHeaderTagBytes, header)) return 0;
    std::int32_t code = 0;
    std::memcpy(&code, header + kHeaderTypeOffset, sizeof code);
    return code;
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
    // The second derivatives used to be two passes over the rows; the bar still spans both.
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
    const int type = ReadHeaderType(job->input);
    if (!isValidType(type) || !in.OpenLayer(job->input, kOpenReadOnly)) {
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
            if (!knownKind || !IsDerivableInput(in.Type(), width, height))
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
            if (!out.CloseLayer()) AfxThrowRDPExcept(RDP_ERROR_PROCESS, GetErrorMessage(GetLastError()));
        });
    });
    in.CloseLayer();
    if (!done) return 0;
    CopyTag(job->output, job->input);
    return 1;
}
