#pragma once

// What every job of the tool modules shares: one guarded run that turns any failure into
// the user's message and removes the partial output, and the phases of the progress list.

#include <functional>

#include "outside/basecore/cmeter_info.h"
#include "platform/cstring.h"

class CRDPLayer;

/// Runs body(). On any failure: the current task is marked failed, the user is told in a
/// box owned by the progress window (nothing for the user's stop, code 11), the job is
/// marked failed (DeleteOnClose) and the partial output `out` is removed. True when body()
/// finished.
bool RunGuarded(CMeterInfo& meter, const CString& caption, CRDPLayer& out, const std::function<void()>& body);

/// Tells the user of a failure outside RunGuarded (an input that cannot be opened) and
/// marks the job failed.
void ReportJobFailure(CMeterInfo& meter, const CString& caption, const CString& text);

/// Gives an input opened read-only the statistics its file does not store (a file without
/// a statistics block): computed in memory, as a viewer does, with the meter's progress and
/// stop; the file stays as it is. Throws the layer's error when they cannot be computed.
void EnsureStatistics(CRDPLayer& in, CMeterInfo& meter);

/// One phase of a job: task `task` becomes current and processing, work() runs, the task
/// is complete. A throw leaves the task processing for RunGuarded to mark failed.
template <class Work>
void Phase(CMeterInfo& meter, int task, Work&& work)
{
    meter.SetCurrentTask(task);
    meter.SetProcessingState(-1);
    work();
    meter.SetCompleteState(-1);
}
