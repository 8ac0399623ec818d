#include "viewer/core/view_result_param.h"

#include <strings.h>

#include <cstring>
#include <memory>
#include <new>

#include "platform/shell/shell.h"
#include "platform/window/messages.h"
#include "viewer/core/raster_view_services.h"

namespace {

void OpenViewer(const ViewResultParam& record)
{
    const RasterViewServices& services = GetRasterViewServices();
    if (services.openViewer) services.openViewer(record);
}

}  // namespace

ViewMultiResultParam::~ViewMultiResultParam()
{
    Release();
}

void ViewMultiResultParam::Release()
{
    delete[] records;
    records = nullptr;
    count = 0;
}

int ViewMultiResultParam::MakeParam(int n)
{
    Release();
    // An absurd count would reserve and then construct gigabytes before failing, if it failed.
    if (n < 0 || n > kMaxRecords) return 0;
    if (n == 0) return 1;
    records = new (std::nothrow) ViewResultParam[static_cast<size_t>(n)];
    if (!records) return 0;
    count = n;
    return 1;
}

ViewResultParam* ViewMultiResultParam::operator[](int i)
{
    return i >= 0 && i < count ? &records[i] : nullptr;
}

const ViewResultParam* ViewMultiResultParam::operator[](int i) const
{
    return i >= 0 && i < count ? &records[i] : nullptr;
}

void ViewResultFunction(void* param)
{
    std::unique_ptr<ViewResultParam> record(static_cast<ViewResultParam*>(param));
    if (record) OpenViewer(*record);
}

void ViewMultiResultFunction(void* param)
{
    std::unique_ptr<ViewMultiResultParam> list(static_cast<ViewMultiResultParam*>(param));
    if (!list) return;
    for (int i = 0; i < list->count; ++i)
        if (const ViewResultParam* record = (*list)[i]) OpenViewer(*record);
}

void ViewSavedFile(HWND owner, const char* path)
{
    if (!path || !*path) return;
    const char* ext = std::strrchr(path, '.');
    if (ext && strcasecmp(ext, ".rdp") == 0) {
        ViewResultParam record;
        record.fileName = path;
        OpenViewer(record);
    } else {
        ::ShellExecute(owner, "open", path, nullptr, nullptr, SW_SHOWNORMAL);
    }
}
