#include "viewer/core/viewer_functions.h"

#include <memory>

#include "outside/splash/splash.h"

namespace {

// Tells the splash window, when one is up, that the library is being loaded.
const bool kSplashTold = [] {
    SendSplashText("PaneKit Module Initializing...", 1);
    return true;
}();

}  // namespace

CFrameViewer* ViewerCreate(ViewResultParam* param)
{
    if (!param) return nullptr;
    return nullptr;
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
