#include "modules/convolution/kernel_job.h"

#include <memory>

#include "platform/window/wnd.h"

void KernelJob(void* record, CMeterInfo* /*meter*/)
{
    std::unique_ptr<KernelJobParams> job(static_cast<KernelJobParams*>(record));
}

UINT ConvolvePreview(LPVOID request)
{
    auto* record = static_cast<KernelJobParams*>(request);
    if (!::SendMessage(record->owner, WM_KERNEL_PREVIEW, kKernelPreviewFailed,
                       reinterpret_cast<LPARAM>(record)))
        delete record;
    return 0;
}

bool ConvolveComplexPreview(const KernelJobParams&, int, int, const double* const*, double* const*)
{
    return false;
}
