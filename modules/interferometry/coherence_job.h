#pragma once

// The coherence tool's record and job: the coherence map of two co-registered complex
// images over a square window, written as a new F32 layer (F64 for complex double inputs)
// whose border holds the coherence of the first pair of samples.

#include "outside/basecore/cmeter_info.h"
#include "platform/cstring.h"

/// One coherence job: values only.
struct SCoherParam {
    CString input1;  ///< first image
    CString input2;  ///< second image
    CString output;
    int window = 3;        ///< odd window side n, 3 to 17
    CString errorCaption;  ///< caption of the job's boxes
};

/// The job routine: owns and frees `record` on every path; failures are told in boxes
/// owned by the progress window and leave no output.
void CalcCoher(void* record, CMeterInfo* meter);
