#pragma once

// The Fourier jobs: the spectrum of a raster into a complex layer (the zero frequency
// optionally moved to the centre, with a frequency coordinate law), the image restored
// from such a spectrum, and the X derivative through the spectrum.

#include "outside/basecore/cmeter_info.h"
#include "platform/cstring.h"

class CMeterInfoBase;

/// The record of a spectrum or restore job: values only.
struct SSpectrParam {
    CString input;
    CString output;
    int mode = 0;          ///< 0 spectrum, 1 restore
    int shift = 1;         ///< nonzero: quadrants swapped (spectrum) or swapped back (restore)
    CString errorCaption;  ///< caption of the job's boxes
};

/// The record of a derivative job.
struct SDiffParam {
    CString input;
    CString output;
    int reserved1 = 0;
    int reserved2 = 0;
    CString errorCaption;
};

/// The spectrum job: Wp x Hp complex spectrum (Wp, Hp the input's sides padded to powers of
/// two; complex double for inputs of type 8 and 10, else complex float) with its spectrum
/// record, and with the shift a frequency law. Owns and frees `record`.
void Calc_Spectr(void* record, CMeterInfo* meter);
/// The restore job: the image a spectrum was made from (its size and kind from the spectrum
/// record when one can be trusted, else the spectrum's size, complex). Owns and frees `record`.
void Restore_From_Spectr(void* record, CMeterInfo* meter);
/// The derivative job: the X derivative of the input as an F32 layer of the padded size
/// Wp x Hp. Owns and frees `record`.
void Calc_Diff(void* record, CMeterInfo* meter);

/// A two-dimensional transform as the core library's FFT class offers it.
using Transform2DProc = int (*)(void** srcRows, void** dstRows, int w, int h, int srcType,
                                CMeterInfoBase* meter, int dstType);
/// The transforms the Fourier jobs call.
struct FourierTransforms {
    Transform2DProc forward;
    Transform2DProc inverse;
};
/// Replaces the transforms (tests make them fail); returns the ones used before. The
/// defaults are the FFT class's FFT_2D and IFFT_2D.
FourierTransforms SetFourierTransforms(const FourierTransforms& transforms);
