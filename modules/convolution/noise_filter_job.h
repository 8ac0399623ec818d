#pragma once

// The noise filter's record and its job: the input filtered with one of the six filters
// into a new F32 layer of the same size whose outer frame holds the input's mean.

#include "outside/basecore/cmeter_info.h"
#include "platform/cstring.h"
#include "platform/types.h"

/// The record of one job or one preview run. A job's record holds values only; a
/// preview's also the dialog's window for the answer and the answer's fields.
struct SFiltrParams {
    CString input;          ///< input and output come first: the tool frame relies on it
    CString output;         ///< empty in a preview record
    int filter = 0;         ///< 0 Mean, 1 Median, 2 Lee, 3 Frost, 4 Kuan, 5 Sigma
    int window = 3;         ///< odd window side g, 3 to 17
    float sigma = 0.0f;     ///< square root of the noise variance
    HWND dialog = nullptr;  ///< preview only: where the answer is sent
    CString resultFile;     ///< preview only: the temporary layer file holding the answer
    int previewWidth = 0;   ///< preview only
    int previewHeight = 0;
};

/// The job routine: filters record->input into record->output. Owns and frees `record`
/// on every path; failures are told in boxes owned by the progress window.
void CalcFiltration(void* record, CMeterInfo* meter);
