#pragma once

// Unweighted least-squares phase unwrapping: the Laplacian of the wrapped phase
// differences, solved as a Poisson equation with mirror (Neumann) boundaries by a DCT-I
// in both directions. Pure computation: no files, no meter, no windows.

#include <cstdint>
#include <memory>

#include "outside/basecore/row_driver.h"

class CPhaseUnwrapEngine {
public:
    /// An engine for a width × height phase (both at least 1). The grid is the phase
    /// extended to Nx × Ny = (2^⌈log2 width⌉ + 1) × (2^⌈log2 height⌉ + 1) by repeating its
    /// last column and row. Throws std::bad_alloc when the memory is not there.
    CPhaseUnwrapEngine(int width, int height);
    virtual ~CPhaseUnwrapEngine();
    CPhaseUnwrapEngine(const CPhaseUnwrapEngine&) = delete;
    CPhaseUnwrapEngine& operator=(const CPhaseUnwrapEngine&) = delete;

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    int GridWidth() const { return m_nx; }
    int GridHeight() const { return m_ny; }

    /// Fills the wrapped phase from rows of `type` (1 to 16): real samples are phases in
    /// radians, complex samples give their angle. `progress` counts rows.
    void LoadPhase(int type, const void* const* rows, const BandProgress& progress = {}, int threads = 0);
    /// Row y (< Height()) of the wrapped phase (Width() values), to fill directly. The phase
    /// lives in the grid, which the later stages overwrite.
    double* PhaseRow(int y) { return m_grid + std::size_t(y) * m_pitch; }

    /// Extends the phase to the grid and replaces it by the Laplacian of its wrapped
    /// differences. `progress` counts grid rows.
    void Laplacian(const BandProgress& progress = {}, int threads = 0);
    /// DCT-I of the grid's columns, then of its rows. `progress` counts columns, then rows
    /// (GridWidth() + GridHeight() in all). False when the transform failed.
    bool Forward(const BandProgress& progress = {}, int threads = 0);
    /// Divides every coefficient by its eigenvalue of the mirrored Laplacian (and by the
    /// transforms' scale); the zero frequency becomes 0. `progress` counts grid rows.
    void Poisson(const BandProgress& progress = {}, int threads = 0);
    /// The inverse transform, as Forward.
    bool Inverse(const BandProgress& progress = {}, int threads = 0) { return Forward(progress, threads); }

    /// Row y (< Height()) of the unwrapped phase, Width() values, after Inverse.
    const double* ResultRow(int y) const { return m_grid + std::size_t(y) * m_pitch; }

    /// All stages at once, for callers without a meter. False when a transform failed.
    bool Solve(int threads = 0);

private:
    int m_width;
    int m_height;
    int m_nx;
    int m_ny;
    std::size_t m_pitch;  // doubles between grid rows: a multiple of 8, so every band is aligned alike
    double* m_grid = nullptr;
};

/// The wrap of a phase difference: one 2π step into -π..π when it lies beyond (±π stay).
inline double WrapDifference(double d)
{
    constexpr double kPi = 3.141592653589793;
    // Without branches, so that rows of differences vectorise.
    return d + 2 * kPi * (double(d < -kPi) - double(d > kPi));
}
