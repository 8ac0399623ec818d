#include "modules/interferometry/phase_unwrap_engine.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <new>

#include "outside/basecore/data_type.h"
#include "outside/basecore/fft_class.h"

namespace {

constexpr int kColumnsPerBand = 16;
constexpr int kRowsPerBand = 8;
constexpr std::size_t kAlignDoubles = 8;

int GridSize(int n)
{
    // Beyond 2^28 + 1 points a side the grid could not be held in memory anyway.
    const int e = CFFTClass::CeilPowerOfTwo(n);
    if (e > 28) throw std::bad_alloc();
    return (1 << e) + 1;
}

}  // namespace

CPhaseUnwrapEngine::CPhaseUnwrapEngine(int width, int height)
    : m_width(std::max(width, 1)),
      m_height(std::max(height, 1)),
      m_nx(GridSize(m_width)),
      m_ny(GridSize(m_height)),
      m_pitch((std::size_t(m_nx) + kAlignDoubles - 1) / kAlignDoubles * kAlignDoubles),
      m_phase(std::size_t(m_width) * std::size_t(m_height))
{
    const std::size_t bytes = m_pitch * std::size_t(m_ny) * sizeof(double);
    m_grid = static_cast<double*>(std::aligned_alloc(kAlignDoubles * sizeof(double), bytes));
    if (!m_grid) throw std::bad_alloc();
}

CPhaseUnwrapEngine::~CPhaseUnwrapEngine()
{
    std::free(m_grid);
}

void CPhaseUnwrapEngine::LoadPhase(int type, const void* const* rows, const BandProgress& progress,
                                   int threads)
{
    visitSampleType(type, [&]<class T>(Tag<T>) {
        ForEachRow(
            m_height,
            [&](std::int64_t y, int) {
                const T* src = static_cast<const T*>(rows[y]);
                double* dst = PhaseRow(int(y));
                for (int x = 0; x < m_width; ++x) {
                    if constexpr (IsComplex<T>)
                        dst[x] = std::atan2(double(im(src[x])), double(re(src[x])));
                    else
                        dst[x] = double(src[x]);
                }
            },
            progress, RowJobOptions{threads});
    });
}

void CPhaseUnwrapEngine::Laplacian(const BandProgress& progress, int threads)
{
    const int nx = m_nx, ny = m_ny, w = m_width, h = m_height;
    ForEachRow(
        ny,
        [&](std::int64_t yy, int) {
            const int y = int(yy);
            // The extended phase repeats the last column and row.
            auto row = [&](int r) { return PhaseRow(std::min(r, h - 1)); };
            auto at = [&](const double* r, int x) { return r[std::min(x, w - 1)]; };
            const double* cur = row(y);
            const double* up = y > 0 ? row(y - 1) : nullptr;
            const double* down = y < ny - 1 ? row(y + 1) : nullptr;
            double* out = m_grid + std::size_t(y) * m_pitch;
            // dx(x) for x < nx - 1; dx(-1) = -dx(0) and dx(nx - 1) = -dx(nx - 2) mirror it.
            double prev = 0.0;
            for (int x = 0; x < nx; ++x) {
                const double c = at(cur, x);
                const double dxr = x < nx - 1 ? WrapDifference(at(cur, x + 1) - c) : -prev;
                const double dxl = x > 0 ? prev : -dxr;
                const double dyd = down ? WrapDifference(at(down, x) - c) : -WrapDifference(c - at(up, x));
                const double dyu = up ? WrapDifference(c - at(up, x)) : -dyd;
                out[x] = (dxr - dxl) + (dyd - dyu);
                prev = dxr;
            }
        },
        progress, RowJobOptions{threads});
}

bool CPhaseUnwrapEngine::Forward(const BandProgress& progress, int threads)
{
    std::atomic<bool> failed{false};
    const int nx = m_nx, ny = m_ny;
    const int stride = int(m_pitch);
    RunRowBands(
        RowBands::Fixed(nx, kColumnsPerBand),
        [&](const RowBand& band) {
            if (!CFFTClass::DCT1(m_grid + band.begin, ny, int(band.end - band.begin), stride, 1))
                failed = true;
        },
        progress, threads);
    if (failed) return false;
    BandProgress rowsProgress;
    if (progress) rowsProgress = [&](std::int64_t done) { progress(nx + done); };
    RunRowBands(
        RowBands::Fixed(ny, kRowsPerBand),
        [&](const RowBand& band) {
            if (!CFFTClass::DCT1(m_grid + std::size_t(band.begin) * m_pitch, nx, int(band.end - band.begin),
                                 1, stride))
                failed = true;
        },
        rowsProgress, threads);
    return !failed;
}

void CPhaseUnwrapEngine::Poisson(const BandProgress& progress, int threads)
{
    constexpr double kPi = 3.141592653589793;
    const int nx = m_nx, ny = m_ny;
    // The mirrored grid of N points is a DCT-I on N points: eigenvalues in N - 1. The
    // forward and inverse DCT-I together scale by 2(Nx - 1) · 2(Ny - 1).
    const double scale = 4.0 * double(nx - 1) * double(ny - 1);
    std::vector<double> cx(std::size_t(nx), 0.0);
    for (int l = 0; l < nx; ++l) cx[std::size_t(l)] = 2.0 * std::cos(kPi * l / (nx - 1));
    ForEachRow(
        ny,
        [&](std::int64_t m, int) {
            const double cy = 2.0 * std::cos(kPi * double(m) / (ny - 1)) - 4.0;
            double* row = m_grid + std::size_t(m) * m_pitch;
            for (int l = 0; l < nx; ++l) row[l] /= (cx[std::size_t(l)] + cy) * scale;
            if (m == 0) row[0] = 0.0;
        },
        progress, RowJobOptions{threads});
}

bool CPhaseUnwrapEngine::Solve(int threads)
{
    Laplacian({}, threads);
    if (!Forward({}, threads)) return false;
    Poisson({}, threads);
    return Inverse({}, threads);
}
