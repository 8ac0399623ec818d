#include "modules/interferometry/complex_operation_job.h"

#include <memory>

#include "modules/common/job_support.h"
#include "modules/interferometry/complex_operation_kernels.h"
#include "modules/interferometry/fringe_job.h"
#include "outside/basecore/data_type.h"
#include "outside/basecore/rdp_except.h"
#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/row_driver.h"
#include "outside/basecore/tags.h"

namespace {

bool IsComplexFloat(int type)
{
    return type == int(DataType::C64) || type == int(DataType::C128);
}

// The record may come from any caller and the files may have changed since the dialog
// looked at them: rows are read only when both inputs fit.
void CheckInputs(const CRDPLayer& a, const CRDPLayer& b, int operation)
{
    if (a.Width() != b.Width() || a.Height() != b.Height())
        AfxThrowRDPExcept(RDP_ERROR_PROCESS, LoadFringeText(IDS_SIZES_DIFFER));
    if (a.Type() != b.Type()) AfxThrowRDPExcept(RDP_ERROR_PROCESS, LoadFringeText(IDS_TYPES_DIFFER));
    if (!IsComplexFloat(a.Type()) || !IsComplexOperation(operation))
        AfxThrowRDPExcept(RDP_ERROR_PROCESS, LoadFringeText(IDS_BAD_INPUT_TYPE));
}

}  // namespace

void Complex_Operation(void* record, CMeterInfo* meter)
{
    std::unique_ptr<SComplexOperationParam> job(static_cast<SComplexOperationParam*>(record));
    const CString& caption = job->errorCaption;
    CRDPLayer a(nullptr), b(nullptr);
    CRDPLayer out(meter);
    if (!OpenFringeInput(a, job->input1, *meter, caption)) return;
    if (!OpenFringeInput(b, job->input2, *meter, caption)) return;
    const int width = a.Width(), height = a.Height();
    const int type = a.Type() == int(DataType::C128) ? int(DataType::C128) : int(DataType::C64);
    if (CreateFringeOutput(out, job->output, width, height, type, *meter, caption)) {
        RunGuarded(*meter, caption, out, [&] {
            CheckInputs(a, b, job->operation);
            meter->SetText(LoadFringeText(IDS_CALCULATING_COHERENCE));
            meter->SetRange(0, height);
            void* const* ra = a.GetRows();
            void* const* rb = b.GetRows();
            void* const* ro = out.GetRows();
            ForEachRow(
                height,
                [&](std::int64_t y, int) {
                    ComplexOperationRow(type, job->operation, ra[y], rb[y], ro[y], width);
                },
                MeterProgress(meter));
            CopyTag(&out, job->input1);  // the first input's tags go into the output's one write
            CloseFringeOutput(out);
        });
    }
    a.CloseLayer();
    b.CloseLayer();
}
