#include "viewer/frame/viewer_functions.h"

#include <new>

#include "outside/splash/splash.h"
#include "viewer/core/raster_view_services.h"
#include "viewer/frame/frame_viewer.h"

bool AnnounceViewerLibrary()
{
    return SendSplashText("PaneKit Module Initializing...", 1);
}

CFrameViewer* ViewerCreate(const ViewResultParam* param)
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

namespace {

const bool kSplashTold = AnnounceViewerLibrary();

// Every request for a viewer, from a module's job or from a view, lands here.
const bool kViewersOpenHere = [] {
    GetRasterViewServices().openViewer = [](const ViewResultParam& param) {
        return ViewerCreate(&param) != nullptr;
    };
    return true;
}();

}  // namespace
