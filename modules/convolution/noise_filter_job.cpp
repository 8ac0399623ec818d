#include "modules/convolution/noise_filter_job.h"

#include <memory>

#include "modules/common/job_support.h"
#include "modules/convolution/kernova_resources.h"
#include "modules/convolution/noise_filter_kernels.h"
#include "outside/basecore/data_type.h"
#include "outside/basecore/rdp_except.h"
#include "platform/last_error.h"
#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/row_driver.h"
#include "outside/basecore/tags.h"

void CalcFiltration(void* record, CMeterInfo* meter)
{
    std::unique_ptr<SFiltrParams> job(static_cast<SFiltrParams*>(record));
    const CString caption = LoadKernovaText(IDS_FILTR_CAPTION);
    const int taskCreate = meter->AddTask(LoadKernovaText(IDS_FILTR_TASK_CREATE), "", 0);
    const int taskFilter = meter->AddTask(caption, "", 0);
    const int taskStats = meter->AddTask(LoadKernovaText(IDS_FILTR_TASK_STATS), "", 0);

    CRDPLayer in(nullptr);
    CRDPLayer out(meter);
    if (!in.OpenLayer(job->input, kOpenReadOnly)) {
        CString text;
        text.Format(LoadKernovaText(IDS_FILTR_OPEN_FAILED), static_cast<const char*>(job->input));
        ReportJobFailure(*meter, caption, text);
        return;
    }

    const NoiseFilterSpec spec{job->filter, job->window, job->sigma};
    RunGuarded(*meter, caption, out, [&] {
        if (!IsValidNoiseFilterSpec(spec))
            AfxThrowRDPExcept(RDP_ERROR_PROCESS, LoadKernovaText(IDS_FILTR_BAD_PARAMETERS));
        const int width = in.Width(), height = in.Height(), k = spec.window / 2;
        if (width - spec.window < 1 || height - spec.window < 1)
            AfxThrowRDPExcept(RDP_ERROR_PROCESS, LoadKernovaText(IDS_FILTR_WINDOW_TOO_LARGE));
        meter->SetText(LoadKernovaText(IDS_FILTR_PREPARING));
        Phase(*meter, taskCreate, [&] {
            // The frame takes the input's mean, which a file without statistics lacks.
            EnsureStatistics(in, *meter);
            if (!out.CreateLayer(job->output, width, height, int(DataType::F32), 7))
                AfxThrowRDPExcept(RDP_ERROR_PROCESS, LoadKernovaText(IDS_FILTR_CREATE_FAILED));
        });
        meter->SetText(caption);
        Phase(*meter, taskFilter, [&] {
            // The frame the window cannot reach keeps the input's mean; the filter writes
            // everything inside it, so only the frame is filled.
            const RECT frame[] = {{0, 0, width, k},
                                  {0, height - k, width, height},
                                  {0, k, k, height - k},
                                  {width - k, k, width, height - k}};
            for (const RECT& part : frame) out.SetValue(in.Mean(), &part);
            meter->SetRange(k, height - k);
            const RowSource source{in.GetRows(), height, width};
            FilterNoiseImage(in.Type(), source, spec, reinterpret_cast<float* const*>(out.GetRows()),
                             MeterProgress(meter, k));
        });
        Phase(*meter, taskStats, [&] {
            // The input's tags, and its palette once more at the end, go into the output's
            // one write.
            CopyTag(&out, job->input);
            CopyTag(&out, job->input, TAG_PALETTE);
            if (!out.CloseLayer()) AfxThrowRDPExcept(RDP_ERROR_PROCESS, GetErrorMessage(GetLastError()));
        });
    });
    in.CloseLayer();
}
