#include "modules/interferometry/fringe_job.h"

#include "outside/basecore/job_error.h"
#include "outside/basecore/rdp_except.h"
#include "platform/last_error.h"

namespace {

void ReportWithPath(CMeterInfo& meter, const CString& caption, UINT id, const CString& path)
{
    CString text;
    text.Format(LoadFringeText(id), static_cast<const char*>(path));
    meter.SetErrorState(-1);
    ReportJobFailure(meter, caption, text);
}

}  // namespace

bool OpenFringeInput(CRDPLayer& layer, const CString& path, CMeterInfo& meter, const CString& caption)
{
    if (layer.OpenLayer(path, kOpenReadOnly)) return true;
    ReportWithPath(meter, caption, IDS_CANT_OPEN, path);
    return false;
}

bool CreateFringeOutput(CRDPLayer& layer, const CString& path, int width, int height, int type,
                        CMeterInfo& meter, const CString& caption)
{
    if (layer.CreateLayer(path, width, height, type, 7)) return true;
    ReportWithPath(meter, caption, IDS_CANT_CREATE, path);
    return false;
}

void CloseFringeOutput(CRDPLayer& out)
{
    if (!out.CloseLayer()) AfxThrowRDPExcept(RDP_ERROR_PROCESS, GetErrorMessage(GetLastError()));
}
