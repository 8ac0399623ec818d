#pragma once

// The derivation tool's engines: first and second derivatives of a real raster by
// second-order differences (central inside, three-point one-sided on the first and last
// row and column), scaled by the pixel steps of the input's coordinate law.

#include <vector>

#include "outside/basecore/cmeter_info.h"
#include "platform/cstring.h"
#include "platform/types.h"

/// The kinds of derivative, in the order of the dialog's list.
enum DerivativeKind : int {
    kDerivGradient = 0,     ///< (Dx f, Dy f) as a complex sample
    kDerivX = 1,            ///< Dx f
    kDerivY = 2,            ///< Dy f
    kDerivDirectional = 3,  ///< Dy f sin(a) + Dx f cos(a)
    kDerivXX = 4,           ///< Dx (Dx f)
    kDerivYY = 5,           ///< Dy (Dy f)
    kDerivXY = 6,           ///< Dy (Dx f)
};

/// The derivation tool's record. Input and output come first: the tool frame relies on it.
struct SGradientParams {
    CString input;
    CString output;             ///< job only
    int kind = kDerivGradient;  ///< DerivativeKind
    double angle = 0.0;         ///< direction of kind 3, radians
    int component = 0;          ///< preview only: 0 modulus, 1 argument, 2 Dx, 3 Dy
    int width = 0;              ///< preview only: set by the preview thread
    int height = 0;
    std::vector<BYTE> pixels;  ///< preview only: width x height levels, bottom row first
    HWND dialog = nullptr;     ///< preview only: where the answer goes
    double pixelStepX = 1.0;   ///< grid spacing along a row
    double pixelStepY = 1.0;   ///< grid spacing down the rows
};

/// Output type of a kind over an input type: complex float (C64) for the gradient and
/// F32 otherwise, C128 and F64 for an F64 input; 0 for complex or invalid input types.
int DerivativeOutputType(int inputType, int kind);

/// True when the derivation can take an input of this type and size: a real type and at
/// least 3 x 3 samples (the three-point differences need three along each direction).
bool IsDerivableInput(int type, int width, int height);

/// A pixel step as the differences use it: one that is not finite and positive counts as 1.
double UsablePixelStep(double step);

/// Differentiates the width x height grid `in` (samples of `inputType`, real, at least
/// 3 x 3) into `out` (samples of DerivativeOutputType(inputType, kind)) by params' kind,
/// angle and pixel steps. Progress goes to `meter` (may be null): range 0..height, or
/// 0..2 height for kinds 4 to 6; it may throw the cancel error. A kind outside 0..6
/// leaves `out` untouched. `threads` 0: all the row driver gives.
void CalcDerivative(const SGradientParams& params, CMeterInfoBase* meter, int inputType,
                    const void* const* in, void* const* out, int width, int height, int threads = 0);

/// The job: differentiates record->input into record->output. Owns and frees `record`
/// (an SGradientParams) on every path; failures are told in boxes owned by the progress
/// window (nothing for the user's stop) and leave no output. 1 on success, 0 otherwise.
int CalcDerivativeJob(void* record, CMeterInfo* meter);
