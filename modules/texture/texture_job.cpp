#include "modules/texture/texture_job.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "modules/common/job_support.h"
#include "modules/texture/texture_kernels.h"
#include "modules/texture/texture_resources.h"
#include "outside/basecore/data_type.h"
#include "outside/basecore/file_helpers.h"
#include "outside/basecore/rdp_except.h"
#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/row_driver.h"
#include "outside/basecore/tags.h"
#include "platform/last_error.h"

LevelRange TextureLevelRange(const CRDPLayer& in, bool preTrimming)
{
    double lo = in.Min(), hi = in.Max();
    if (preTrimming) {
        double tlo = 0.0, thi = 0.0;
        // A range the histogram cannot trim (infinite bounds) stays as stored.
        if (PseudoMinMaxCalculator(in.Min(), in.Max(), in.HistAdr(), &tlo, &thi)) {
            lo = tlo;
            hi = thi;
        }
    }
    return MakeLevelRange(lo, hi);
}

double TextureMeanBorder(const CRDPLayer& in, const LevelRange& range)
{
    const double level = (in.Mean() - in.Min()) * range.scale;
    if (!(level > 0.0)) return 0.0;
    return std::min(level, 255.0);
}

namespace {

void TextureJob(void* record, CMeterInfo* meter, int dimensionality)
{
    std::unique_ptr<STextureParam> job(static_cast<STextureParam*>(record));
    const CString caption =
        job->errorCaption.IsEmpty() ? LoadTextureText(IDS_TEXTURE_ERROR_CAPTION) : job->errorCaption;

    CRDPLayer in(nullptr);
    CRDPLayer out(meter);
    if (!in.OpenLayer(job->input, kOpenReadOnly)) {
        ReportJobFailure(*meter, caption, LoadTextureText(IDS_TEXTURE_OPEN_FAILED) + job->input);
        return;
    }
    const TextureSpec spec{dimensionality, job->statistic, job->window, job->direction, job->distance};
    // Complex layers have no levels, and an unknown statistic no values: refused before an
    // output exists rather than written as a layer of border values.
    if (in.IsComplex() || !isValidType(in.Type()) || !IsValidTextureSpec(spec)) {
        ReportJobFailure(*meter, caption, LoadTextureText(IDS_TEXTURE_BAD_TYPE));
        in.CloseLayer();
        return;
    }
    const int width = in.Width(), height = in.Height(), k = spec.window / 2;
    LevelRange range{};

    meter->SetText(LoadTextureText(dimensionality == 0 ? IDS_TEXTURE_FIRST_TEXT : IDS_TEXTURE_SECOND_TEXT));
    const int taskCreate = meter->AddTask(LoadTextureText(IDS_TEXTURE_TASK_CREATE), "", 0);
    const int taskPrepare = meter->AddTask(LoadTextureText(IDS_TEXTURE_TASK_PREPARE), "", 0);
    const int taskStatistic = meter->AddTask(job->statisticName, "", 0);
    const int taskStats = meter->AddTask(LoadTextureText(IDS_TEXTURE_TASK_STATS), "", 0);

    meter->SetCurrentTask(taskCreate);
    meter->SetProcessingState(-1);
    if (!out.CreateLayer(job->output, width, height, int(DataType::F32), 15)) {
        ReportJobFailure(*meter, caption, LoadTextureText(IDS_TEXTURE_CREATE_FAILED) + job->output);
        in.CloseLayer();
        return;
    }
    meter->SetCompleteState(-1);

    RunGuarded(*meter, caption, out, [&] {
        Phase(*meter, taskPrepare, [&] {
            // The levels span the input's range, which a file without statistics lacks.
            EnsureStatistics(in, *meter);
            range = TextureLevelRange(in, job->preTrimming != 0);
            const double border =
                dimensionality == 0 && spec.statistic == kFirstMean ? TextureMeanBorder(in, range) : 0.0;
            // The statistic writes every pixel inside the frame the window cannot reach, so
            // only the frame takes the border value (all of the layer when nothing is inside).
            if (width < spec.window || height < spec.window) {
                out.SetValue(border, nullptr);
                return;
            }
            const RECT frame[] = {{0, 0, width, k},
                                  {0, height - k, width, height},
                                  {0, k, k, height - k},
                                  {width - k, k, width, height - k}};
            for (const RECT& part : frame) out.SetValue(border, &part);
        });
        Phase(*meter, taskStatistic, [&] {
            meter->SetRange(k, height - k + 1);
            TextureImage(in.Type(), RowSource{in.GetRows(), height, width}, range, spec,
                         reinterpret_cast<float* const*>(out.GetRows()), MeterProgress(meter, k));
        });
        Phase(*meter, taskStats, [&] {
            // The statistics cover the computed area (right and bottom included), or the
            // whole layer when the window left none.
            const RECT computed{k, k, width - k - 1, height - k - 1};
            const bool any = computed.right >= computed.left && computed.bottom >= computed.top;
            CopyTag(&out, job->input);  // the input's tags go into the output's one write
            if (!out.StatisticCountRect(any ? &computed : nullptr) || !out.CloseLayer())
                AfxThrowRDPExcept(RDP_ERROR_PROCESS, GetErrorMessage(GetLastError()));
        });
    });
    in.CloseLayer();
}

}  // namespace

void Texture_Analis_First(void* record, CMeterInfo* meter)
{
    TextureJob(record, meter, 0);
}

void Texture_Analis_Second(void* record, CMeterInfo* meter)
{
    TextureJob(record, meter, 1);
}
