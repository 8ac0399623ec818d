#pragma once

// The phase filter's record and job: the angle of the mean phasor of a square window at
// every pixel of a phase image (real, in radians) or a complex image, written as a new F32
// layer (F64 for F64 and complex double inputs) whose border holds 0.

#include "outside/basecore/cmeter_info.h"
#include "platform/cstring.h"

/// One phase filter job: values only.
struct SPhaseFiltrParam {
    CString input;
    CString output;
    int reserved = 0;      ///< always 0
    int window = 3;        ///< odd window side n, 3 to 17
    CString errorCaption;  ///< caption of the job's boxes
};

/// True for the types the phase filter computes: real phases F32 and F64 and the complex
/// types (unsigned complex integers like their signed twins).
bool IsPhaseFilterInput(int type);

/// The job routine: owns and frees `record` on every path; failures are told in boxes
/// owned by the progress window and leave no output.
void Filtration_Phase(void* record, CMeterInfo* meter);
