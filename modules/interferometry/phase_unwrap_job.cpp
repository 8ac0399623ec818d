#include "modules/interferometry/phase_unwrap_job.h"

#include <memory>

#include "modules/interferometry/fringe_job.h"
#include "modules/interferometry/phase_unwrap_engine.h"
#include "modules/interferometry/phase_unwrap_resources.h"
#include "outside/basecore/data_type.h"
#include "outside/basecore/rdp_except.h"
#include "outside/basecore/row_driver.h"

void FazeUnwrap_F32C64(void* record, CMeterInfo* meter)
{
    std::unique_ptr<SPhaseUnwrapParam> job(static_cast<SPhaseUnwrapParam*>(record));
    const CString caption = LoadUnwrapText(IDS_UNWRAP_ERROR_CAPTION);
    CRDPLayer in(nullptr), out(meter);
    if (!OpenFringeInput(in, job->input, *meter, caption)) return;
    const int width = in.Width(), height = in.Height();
    RunGuarded(*meter, caption, out, [&] {
        if (!out.CreateLayer(job->output, width, height, int(DataType::F32), 7)) {
            CString text;
            text.Format(LoadFringeText(IDS_CANT_CREATE), static_cast<const char*>(job->output));
            AfxThrowRDPExcept(RDP_ERROR_PROCESS, text);
        }
        CPhaseUnwrapEngine engine(width, height);
        const int nx = engine.GridWidth(), ny = engine.GridHeight();
        auto stage = [&](UINT text, double units) {
            meter->SetText(LoadUnwrapText(text));
            meter->SetRange(0, units);
            meter->SetPos(0);
            return MeterProgress(meter);
        };
        engine.LoadPhase(in.Type(), in.GetRows(), stage(IDS_UNWRAP_PREPARING, height));
        engine.Laplacian(stage(IDS_UNWRAP_DIFFERENCES, ny));
        if (!engine.Forward(stage(IDS_UNWRAP_FORWARD, nx + ny))) AfxThrowRDPExcept(RDP_ERROR_FFT);
        engine.Poisson(stage(IDS_UNWRAP_POISSON, ny));
        if (!engine.Inverse(stage(IDS_UNWRAP_INVERSE, nx + ny))) AfxThrowRDPExcept(RDP_ERROR_FFT);
        void* const* rows = out.GetRows();
        ForEachRow(
            height,
            [&](std::int64_t y, int) {
                const double* src = engine.ResultRow(int(y));
                float* dst = static_cast<float*>(rows[y]);
                for (int x = 0; x < width; ++x) dst[x] = float(src[x]);
            },
            stage(IDS_UNWRAP_SAVING, height));
        CloseFringeOutput(out);
    });
    in.CloseLayer();
}
