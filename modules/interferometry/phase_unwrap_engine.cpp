#include "modules/interferometry/phase_unwrap_engine.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include <sys/mman.h>

#include "outside/basecore/data_type.h"
#include "outside/basecore/fft_class.h"

namespace {

constexpr int kColumnsPerBand = 16;
constexpr int kRowsPerBand = 8;
// Each band of the in-place Laplacian keeps two rows aside.
constexpr int kLaplacianRowsPerBand = 64;
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
      m_pitch((std::size_t(m_nx) + kAlignDoubles - 1) / kAlignDoubles * kAlignDoubles)
{
    // Large pages: a fresh grid of a 4k image would otherwise cost tens of thousands of
    // page faults, more than the transforms themselves.
    constexpr std::size_t kLargePage = std::size_t(2) << 20;
    const std::size_t bytes =
        (m_pitch * std::size_t(m_ny) * sizeof(double) + kLargePage - 1) / kLargePage * kLargePage;
    m_grid = static_cast<double*>(std::aligned_alloc(kLargePage, bytes));
    if (!m_grid) throw std::bad_alloc();
#if defined(MADV_HUGEPAGE)
    ::madvise(m_grid, bytes, MADV_HUGEPAGE);
#endif
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
                double* dst = PhaseRow(int(y));  // rows fill in parallel, so do their pages
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
    const std::size_t rowBytes = std::size_t(nx) * sizeof(double);
    // The extension repeats the last column and the last row.
    ForEachRow(
        ny,
        [&](std::int64_t y, int) {
            double* row = m_grid + std::size_t(y) * m_pitch;
            // Only the first w values of the last row: its extension is being filled meanwhile.
            if (y >= h) std::copy(PhaseRow(h - 1), PhaseRow(h - 1) + w, row);
            std::fill(row + w, row + nx, row[w - 1]);
        },
        {}, RowJobOptions{threads});
    // Each row becomes its Laplacian in place. A band keeps the original of the row above
    // it and of the row below it, taken before any band changes a row.
    const RowBands bands = RowBands::Fixed(ny, kLaplacianRowsPerBand);
    const std::unique_ptr<double[]> edgeRows(new double[std::size_t(bands.Count()) * 2 * std::size_t(nx)]);
    double* edges = edgeRows.get();
    RunRowBands(
        bands,
        [&](const RowBand& band) {
            double* above = edges + std::size_t(band.index) * 2 * nx;
            if (band.begin > 0) std::memcpy(above, m_grid + std::size_t(band.begin - 1) * m_pitch, rowBytes);
            if (band.end < ny) std::memcpy(above + nx, m_grid + std::size_t(band.end) * m_pitch, rowBytes);
        },
        {}, threads);
    RunRowBands(
        bands,
        [&](const RowBand& band) {
            const double* savedAbove = edges + std::size_t(band.index) * 2 * nx;
            const double* savedBelow = savedAbove + nx;
            std::vector<double> previous(savedAbove, savedAbove + nx);
            std::vector<double> current(static_cast<std::size_t>(nx));
            for (std::int64_t yy = band.begin; yy < band.end && !band.Stopped(); ++yy) {
                const int y = int(yy);
                double* out = m_grid + std::size_t(y) * m_pitch;
                std::memcpy(current.data(), out, rowBytes);
                const double* c = current.data();
                const double* up = y > 0 ? previous.data() : nullptr;
                const double* down =
                    y < ny - 1 ? (yy + 1 < band.end ? m_grid + std::size_t(y + 1) * m_pitch : savedBelow)
                               : nullptr;
                // dy about the first and last rows mirrors: dy(-1) = -dy(0), dy(ny - 1) = -dy(ny - 2).
                if (up && down)
                    for (int x = 0; x < nx; ++x)
                        out[x] = WrapDifference(down[x] - c[x]) - WrapDifference(c[x] - up[x]);
                else if (down)
                    for (int x = 0; x < nx; ++x) out[x] = 2.0 * WrapDifference(down[x] - c[x]);
                else if (up)
                    for (int x = 0; x < nx; ++x) out[x] = -2.0 * WrapDifference(c[x] - up[x]);
                // And dx about the first and last columns.
                out[0] += 2.0 * WrapDifference(c[1] - c[0]);
                for (int x = 1; x < nx - 1; ++x)
                    out[x] += WrapDifference(c[x + 1] - c[x]) - WrapDifference(c[x] - c[x - 1]);
                out[nx - 1] -= 2.0 * WrapDifference(c[nx - 1] - c[nx - 2]);
                previous.swap(current);
            }
        },
        progress, threads);
}

bool CPhaseUnwrapEngine::Forward(const BandProgress& progress, int threads)
{
    std::atomic<bool> failed{false};
    const int nx = m_nx, ny = m_ny;
    const int stride = int(m_pitch);
    // Columns go through a contiguous copy of their band: strided transforms of a tall grid
    // spend more on the cache than the copy costs.
    const RowBands columnBands = RowBands::Fixed(nx, kColumnsPerBand);
    std::vector<std::vector<double>> scratch(std::size_t(RowDriverSlots(columnBands.Count(), threads)));
    RunRowBands(
        columnBands,
        [&](const RowBand& band) {
            const int first = int(band.begin), count = int(band.end - band.begin);
            std::vector<double>& buffer = scratch[std::size_t(band.slot)];
            buffer.resize(std::size_t(kColumnsPerBand) * std::size_t(ny));
            for (int y = 0; y < ny; ++y) {
                const double* row = m_grid + std::size_t(y) * m_pitch + first;
                for (int k = 0; k < count; ++k) buffer[std::size_t(k) * ny + std::size_t(y)] = row[k];
            }
            if (!CFFTClass::DCT1(buffer.data(), ny, count, 1, ny)) failed = true;
            for (int y = 0; y < ny; ++y) {
                double* row = m_grid + std::size_t(y) * m_pitch + first;
                for (int k = 0; k < count; ++k) row[k] = buffer[std::size_t(k) * ny + std::size_t(y)];
            }
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
