#include "outside/basecore/basecore_strings.h"

#include <iterator>

#include "platform/string_table.h"

namespace basecore {
namespace {

constexpr platform::StringEntry kStrings[] = {
    {IDS_RDP_CANCEL, "CANCEL"},
    {IDS_RDP_PROCESS_ERROR, "Processing error"},
    {IDS_RDP_FFT_FAILED, "The two-dimensional Fourier transform failed"},
    {IDS_RDP_UNKNOWN_ERROR, "Error %d"},
    {IDS_PROGRESS_STOP, "Stop"},
    {IDS_TASK_WAITING, "Waiting"},
    {IDS_TASK_PROCESSING, "Processing"},
    {IDS_TASK_COMPLETE, "Complete"},
    {IDS_TASK_ERROR, "Error"},
    {IDS_TASK_SKIPPED, "Skipped"},
    {IDS_TASK_NOPROCESS, "Not processed"},
    {IDS_HELP_CAPTION, "Help"},
    {IDS_HELP_MISSING, "The help page \"%s\" was not found."},
    {IDS_HELP_FAILED, "The help page \"%s\" could not be opened."},
};

// The table joins the resource chain when the library is loaded.
const bool kRegistered = [] {
    platform::RegisterStringTable("basecore.jobs", kStrings);
    return true;
}();

}  // namespace

CString LoadText(UINT id)
{
    CString text;
    if (platform::FindString(id, text)) return text;
    // Another library may have been unloaded with the chain in an odd state; the
    // built-in text still says something.
    for (const auto& entry : kStrings)
        if (entry.id == id) return entry.text;
    return CString();
}

}  // namespace basecore
