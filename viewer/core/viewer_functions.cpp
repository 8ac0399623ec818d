#include "viewer/core/viewer_functions.h"

#include <strings.h>

#include <cstring>
#include <memory>
#include <new>

#include "outside/splash/splash.h"
#include "platform/shell/shell.h"
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

void ViewSavedFile(HWND owner, const char* path)
{
    if (!path || !*path) return;
    const char* ext = std::strrchr(path, '.');
    if (ext && strcasecmp(ext, ".rdp") == 0) {
        auto* param = new (std::nothrow) ViewResultParam;
        if (!param) return;
        param->fileName = path;
        ViewResultFunction(param);
    } else {
        ::ShellExecute(owner, "open", path, nullptr, nullptr, SW_SHOWNORMAL);
    }
}
