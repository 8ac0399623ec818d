#pragma once

// The row driver of the suite's jobs: the platform's band engine (platform/kernel/row_bands.h,
// where the cut, the threads, the merge order and the row window are described) with
// progress to the job's meter. The meter's progress call is where a job pauses and where
// the user's stop becomes the cancel error; the runner's threads give the engine their
// pause gate, so a suspended job holds its helpers as well.

#include "platform/kernel/row_bands.h"

class CMeterInfoBase;

using platform::BandProgress;
using platform::ForEachRow;
using platform::ForEachRowWindow;
using platform::kDefaultMinRowsPerBand;
using platform::ReduceRowBands;
using platform::RowBand;
using platform::RowBands;
using platform::RowDriverSlots;
using platform::RowDriverThreads;
using platform::RowJobOptions;
using platform::RowSource;
using platform::RowWindow;
using platform::RunRowBands;
using platform::ScopedRowDriverThreads;
using platform::SetRowDriverThreads;

/// Progress that moves `meter` to base + done (nothing when `meter` is null). The meter's
/// progress call is where the job pauses and where a stop becomes the cancel error.
BandProgress MeterProgress(CMeterInfoBase* meter, double base = 0.0);
