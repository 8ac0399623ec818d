#pragma once

// The complex operations job: two complex images of one size and type combined element by
// element into a third of the same size and type.

#include "outside/basecore/cmeter_info.h"
#include "platform/cstring.h"

/// The record of one job: values only.
struct SComplexOperationParam {
    CString input1;  ///< first input (a)
    CString input2;  ///< second input (b)
    CString output;
    int operation = 0;     ///< 0 add, 1 subtract, 2 multiply, 3 divide, 4 conjugate multiply
    CString errorCaption;  ///< caption of the job's boxes
};

/// The job routine: output = input1 op input2. Owns and frees `record` on every path;
/// failures are told in boxes owned by the progress window and remove the output.
void Complex_Operation(void* record, CMeterInfo* meter);
