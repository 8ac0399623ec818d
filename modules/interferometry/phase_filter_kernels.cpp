#include "modules/interferometry/phase_filter_kernels.h"

#include <cmath>

#include "modules/interferometry/coherence_window_sums.h"
#include "outside/basecore/data_type.h"

namespace {

template <class T, class Out>
void PhaseRows(const RowSource& in, int window, void* const* out, const BandProgress& progress, int threads)
{
    const int k = window / 2, width = in.width;
    interf_detail::WindowSums<2, double>(
        in.height, width, window,
        [&](std::int64_t y, const std::array<double*, 2>& q) {
            const T* row = static_cast<const T*>(in.rows[y]);
            double *u = q[0], *v = q[1];
            for (int x = 0; x < width; ++x) {
                if constexpr (IsComplex<T>) {
                    u[x] = double(re(row[x]));
                    v[x] = double(im(row[x]));
                } else {
                    // One sine and cosine per sample: each row is formed once per band.
                    const double phi = double(row[x]);
                    u[x] = std::cos(phi);
                    v[x] = std::sin(phi);
                }
            }
        },
        [&](std::int64_t y, const std::array<double*, 2>& s) {
            Out* dst = static_cast<Out*>(out[y]) + k;
            const int inner = width - 2 * k;
            for (int x = 0; x < inner; ++x) dst[x] = Out(std::atan2(s[1][x], s[0][x]));
        },
        progress, threads);
}

}  // namespace

int PhaseFilterOutputType(int type)
{
    return (type == int(DataType::F64) || type == int(DataType::C128)) ? int(DataType::F64)
                                                                       : int(DataType::F32);
}

void FilterPhaseImage(int type, const RowSource& in, int window, void* const* out, int outType,
                      const BandProgress& progress, int threads)
{
    visitSampleType(type, [&]<class T>(Tag<T>) {
        if (outType == int(DataType::F64))
            PhaseRows<T, double>(in, window, out, progress, threads);
        else
            PhaseRows<T, float>(in, window, out, progress, threads);
    });
}
