#include "viewer/core/viewer_functions.h"

#include <memory>
#include <new>

#include "outside/splash/splash.h"
#include "viewer/core/frame_viewer.h"

bool AnnounceViewerLibrary()
{
    return SendSplashText("PaneKit Module Initializing...", 1);
}

namespace {

const bool kSplashTold = AnnounceViewerLibrary();

}  // namespace

CFrameViewer* ViewerCreate(ViewResultParam* param)
{
    if (!param) return nullptr;
    auto* frame = new (std::nothrow) CFrameViewer;
    if (!frame) return nullptr;
    // A frame whose window could not be made has already deleted itself.
    if (!frame->Create(param->fileName, param->parent, param->notifyId, param->component, param->stretchLow,
                       param->stretchHigh, param->stretchMethod, param->frameRect))
        return nullptr;
    return frame;
}

void ViewResultFunction(void* param)
{
    std::unique_ptr<ViewResultParam> record(static_cast<ViewResultParam*>(param));
    ViewerCreate(record.get());
}

void ViewMultiResultFunction(void* param)
{
    std::unique_ptr<ViewMultiResultParam> list(static_cast<ViewMultiResultParam*>(param));
    if (!list) return;
    for (int i = 0; i < list->count; ++i)
        if (ViewResultParam* record = (*list)[i]) ViewerCreate(record);
}
