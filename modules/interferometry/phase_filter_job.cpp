#include "modules/interferometry/phase_filter_job.h"

#include <memory>
#include <vector>

#include "modules/interferometry/fringe_job.h"
#include "modules/interferometry/phase_filter_kernels.h"
#include "outside/basecore/data_type.h"
#include "outside/basecore/rdp_except.h"
#include "outside/basecore/row_driver.h"
#include "outside/basecore/tags.h"

namespace {

/// The colour map of the complex display's phase mode.
constexpr int kPhasePaletteTag = 504;

}  // namespace

bool IsPhaseFilterInput(int type)
{
    return type == int(DataType::F32) || type == int(DataType::F64) || isComplexType(type);
}

void Filtration_Phase(void* record, CMeterInfo* meter)
{
    std::unique_ptr<SPhaseFiltrParam> job(static_cast<SPhaseFiltrParam*>(record));
    const CString caption = job->errorCaption;
    CRDPLayer in(nullptr), out(meter);
    if (!OpenFringeInput(in, job->input, *meter, caption)) return;
    const int taskCreate = meter->AddTask(LoadFringeText(IDS_TASK_CREATE), "", 0);
    const int taskPrepare = meter->AddTask(LoadFringeText(IDS_PREPARING_DATA), "", 0);
    const int taskFilter = meter->AddTask(LoadFringeText(IDS_PHASE_FILTRATION), "", 0);
    const int taskStats = meter->AddTask(LoadFringeText(IDS_TASK_STATISTICS), "", 0);
    meter->SetText(LoadFringeText(IDS_PREPARING_DATA));

    const int width = in.Width(), height = in.Height(), type = in.Type(), n = job->window;
    RunGuarded(*meter, caption, out, [&] {
        if (!IsPhaseFilterInput(type))
            AfxThrowRDPExcept(RDP_ERROR_PROCESS, LoadFringeText(IDS_BAD_INPUT_TYPE));
        if (n < 3 || n > 17 || n % 2 == 0) AfxThrowRDPExcept(RDP_ERROR_PROCESS);
        const int outType = PhaseFilterOutputType(type);
        Phase(*meter, taskCreate, [&] {
            if (!out.CreateLayer(job->output, width, height, outType, 7)) {
                CString text;
                text.Format(LoadFringeText(IDS_CANT_CREATE), static_cast<const char*>(job->output));
                AfxThrowRDPExcept(RDP_ERROR_PROCESS, text);
            }
        });
        // A new layer holds zeros already: the border the window cannot reach keeps them.
        Phase(*meter, taskPrepare, [] {});
        meter->SetText(LoadFringeText(IDS_FILTERING_PHASE));
        Phase(*meter, taskFilter, [&] {
            const int k = n / 2;
            meter->SetRange(k, height - k);
            FilterPhaseImage(type, RowSource{in.GetRows(), height, width}, n, out.GetRows(), outType,
                             MeterProgress(meter, k));
        });
        Phase(*meter, taskStats, [&] {
            // The input's tags go into the output's one write, and after them the phase
            // display's colour map (read whole by its stored size), which they would
            // otherwise replace.
            CopyTag(&out, job->input);
            std::vector<BYTE> palette;
            if (GetPaletteTag(in, kPhasePaletteTag, &palette)) {
                TagEdits map;
                map.set[isComplexType(type) ? kPhasePaletteTag : int(TAG_PALETTE)] = std::move(palette);
                out.AppendTagEdits(map);
            }
            CloseFringeOutput(out);
        });
    });
    in.CloseLayer();
}
