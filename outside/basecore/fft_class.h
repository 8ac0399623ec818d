#pragma once

// Fourier transforms of the core library over FFTW 3: two-dimensional transforms of layer
// row tables into complex rows of power-of-two size, and one-dimensional in-place
// transforms of split complex arrays.

#include "platform/types.h"

class CMeterInfoBase;

class CFFTClass {
public:
    /// The least e with 2^e >= n (0 for n <= 1).
    static int CeilPowerOfTwo(long long n);

    /// The spectrum of the w x h source (rows of type `srcType`, any of the codes 1..16)
    /// into dstRows: 2^CeilPowerOfTwo(h) rows of 2^CeilPowerOfTwo(w) complex samples of
    /// `dstType` (9 complex float or 10 complex double). The source is padded with zeros
    /// to that size; the transform is not scaled. Progress and the user's cancel go
    /// through `meter` (may be null; a cancel leaves by its exception). Nonzero on success.
    static int FFT_2D(void** srcRows, void** dstRows, int w, int h, int srcType, CMeterInfoBase* meter,
                      int dstType);
    /// The inverse of FFT_2D with the same layout, scaled by 1 / (rows x columns), so that
    /// FFT_2D followed by IFFT_2D gives back the source in the top-left w x h corner.
    static int IFFT_2D(void** srcRows, void** dstRows, int w, int h, int srcType, CMeterInfoBase* meter,
                       int dstType);

    /// Forward transform of 2^e complex points held as separate real and imaginary parts,
    /// in place.
    static void fft(float* re, float* im, int e);
    /// Inverse transform of 2^e points in place, without scaling.
    static void ifft(float* re, float* im, int e);

    /// Unnormalised DCT-I (even symmetry about both end points) of `howmany` sequences of
    /// n >= 2 doubles, in place: element j of sequence i is data[i * dist + j * stride].
    /// Applied twice it gives the input times 2 (n - 1). One plan per layout and alignment,
    /// kept for the process; sequences of one layout may run on several threads at once.
    /// Nonzero on success.
    static int DCT1(double* data, int n, int howmany, int stride, int dist);
};
