#pragma once

// The phase unwrapping tool's record and job: the least-squares unwrapped phase of a
// wrapped phase image (real values in radians, complex samples by their angle) as a new
// F32 layer of the input's size.

#include "outside/basecore/cmeter_info.h"
#include "platform/cstring.h"

/// One unwrapping job: values only.
struct SPhaseUnwrapParam {
    CString input;
    CString output;
    CString mask;        ///< kept for the record; the solver uses no mask
    int iterations = 0;  ///< 0 when the mask is off; unused by the solver
    CString reserved;    ///< empty
};

/// The job routine: owns and frees `record` on every path; failures are told in boxes
/// owned by the progress window and leave no output.
void FazeUnwrap_F32C64(void* record, CMeterInfo* meter);
