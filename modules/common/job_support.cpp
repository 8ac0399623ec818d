#include "modules/common/job_support.h"

#include <exception>
#include <new>

#include "outside/basecore/job_error.h"
#include "outside/basecore/rdp_except.h"
#include "outside/basecore/rdp_layer.h"
#include "platform/last_error.h"

void ReportJobFailure(CMeterInfo& meter, const CString& caption, const CString& text)
{
    basecore::ShowJobError(meter.GetCWND(), text, caption);
    meter.DeleteOnClose();
}

bool RunGuarded(CMeterInfo& meter, const CString& caption, CRDPLayer& out, const std::function<void()>& body)
{
    int code = 0;
    CString text;
    try {
        body();
        return true;
    } catch (CRDPExcept* e) {
        code = GetError(e, text);
        e->Delete();
    } catch (const std::bad_alloc&) {
        code = RDP_ERROR_PROCESS;
        text = "Not enough memory for this job.";
    } catch (const std::exception& e) {
        code = RDP_ERROR_PROCESS;
        text = e.what();
    } catch (...) {
        code = RDP_ERROR_PROCESS;
        text = "Unexpected error.";
    }
    meter.SetErrorState(-1);
    if (code != RDP_ERROR_CANCEL) basecore::ShowJobError(meter.GetCWND(), text, caption);
    meter.DeleteOnClose();
    out.DestroyLayer();
    return false;
}

void EnsureStatistics(CRDPLayer& in, CMeterInfo& meter)
{
    if (in.StatsReady()) return;
    CMeterInfoBase* previous = in.GetMeterInfo();
    struct Restore {
        CRDPLayer& layer;
        CMeterInfoBase* meter;
        ~Restore() { layer.SetMeterInfo(meter); }
    } restore{in, previous};
    in.SetMeterInfo(&meter);
    if (!in.StatisticCountRect(nullptr))
        AfxThrowRDPExcept(RDP_ERROR_PROCESS, GetErrorMessage(GetLastError()));
}
