#include "modules/interferometry/coherence_job.h"

#include <memory>

#include "modules/interferometry/coherence_kernels.h"
#include "modules/interferometry/fringe_job.h"
#include "outside/basecore/data_type.h"
#include "outside/basecore/rdp_except.h"
#include "outside/basecore/row_driver.h"
#include "outside/basecore/tags.h"

namespace {

bool IsWindowSize(int n)
{
    return n >= 3 && n <= 17 && n % 2 == 1;
}

}  // namespace

void CalcCoher(void* record, CMeterInfo* meter)
{
    std::unique_ptr<SCoherParam> job(static_cast<SCoherParam*>(record));
    const CString caption = job->errorCaption;
    CRDPLayer first(nullptr), second(nullptr), out(meter);
    if (!OpenFringeInput(first, job->input1, *meter, caption)) return;
    if (!OpenFringeInput(second, job->input2, *meter, caption)) return;
    const int taskCreate = meter->AddTask(LoadFringeText(IDS_TASK_CREATE), "", 0);
    const int taskCoherence = meter->AddTask(LoadFringeText(IDS_COHERENCE), "", 0);
    const int taskStats = meter->AddTask(LoadFringeText(IDS_TASK_STATISTICS), "", 0);

    const int width = first.Width(), height = first.Height(), type = first.Type();
    RunGuarded(*meter, caption, out, [&] {
        // The files may have changed since the dialog looked at them: the kernel reads both
        // through the first one's size and type.
        if (second.Width() != width || second.Height() != height)
            AfxThrowRDPExcept(RDP_ERROR_PROCESS, LoadFringeText(IDS_SIZES_DIFFER));
        if (second.Type() != type) AfxThrowRDPExcept(RDP_ERROR_PROCESS, LoadFringeText(IDS_TYPES_DIFFER));
        if (!isComplexType(type)) AfxThrowRDPExcept(RDP_ERROR_PROCESS, LoadFringeText(IDS_BAD_INPUT_TYPE));
        if (!IsWindowSize(job->window)) AfxThrowRDPExcept(RDP_ERROR_PROCESS);
        const int outType = CoherenceOutputType(type);
        Phase(*meter, taskCreate, [&] {
            if (!out.CreateLayer(job->output, width, height, outType, 7)) {
                CString text;
                text.Format(LoadFringeText(IDS_CANT_CREATE), static_cast<const char*>(job->output));
                AfxThrowRDPExcept(RDP_ERROR_PROCESS, text);
            }
        });
        // The border the window cannot reach holds the coherence of the first pair.
        out.SetValue(CoherenceOfPair(type, first.GetRows()[0], second.GetRows()[0]), nullptr);
        meter->SetText(LoadFringeText(IDS_CALCULATING_COHERENCE));
        Phase(*meter, taskCoherence, [&] {
            const int k = job->window / 2;
            meter->SetRange(k, height - k);
            CoherenceImage(type, RowSource{first.GetRows(), height, width},
                           RowSource{second.GetRows(), height, width}, job->window, out.GetRows(), outType,
                           MeterProgress(meter, k));
        });
        Phase(*meter, taskStats, [&] {
            CopyTag(&out, job->input1);  // the first input's tags go into the output's one write
            CloseFringeOutput(out);
        });
    });
    first.CloseLayer();
    second.CloseLayer();
}
