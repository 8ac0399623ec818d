#include "outside/basecore/basecore_strings.h"

#include "platform/controls/button.h"
#include "platform/controls/list_ctrl.h"
#include "platform/controls/progress_ctrl.h"
#include "platform/controls/static_ctrl.h"
#include "platform/resources/module_resources.h"
#include "platform/window/modal.h"

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

constexpr platform::DialogControl kProgressControls[] = {
    {"Static", "", IDC_PROGRESS_TITLE, 7, 7, 226, 9, SS_LEFT | SS_NOPREFIX},
    {"SysListView32", "", IDC_PROGRESS_TASKS, 7, 19, 226, 76,
     LVS_REPORT | LVS_NOCOLUMNHEADER | LVS_SINGLESEL | LVS_SHOWSELALWAYS | WS_BORDER},
    {"Static", "", IDC_PROGRESS_TEXT, 7, 100, 226, 9, SS_LEFT | SS_NOPREFIX},
    {"msctls_progress32", "", IDC_PROGRESS_BAR, 7, 112, 226, 10, PBS_SMOOTH | WS_BORDER},
    {"Button", "Stop", IDCANCEL, 183, 128, 50, 14, BS_PUSHBUTTON | WS_TABSTOP},
};

constexpr platform::DialogTemplate kDialogs[] = {
    {IDD_PROGRESS, "", WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, "MS Shell Dlg", 8, 0, 0, 240, 149,
     kProgressControls},
};

constexpr platform::ModuleResources kResources{
    .module = "basecore", .strings = kStrings, .dialogs = kDialogs};

// Joins the chain when the library is loaded and leaves it when the library is unloaded.
const platform::ModuleResourceRegistration kRegistration(kResources);

}  // namespace

CString LoadText(UINT id)
{
    CString text;
    if (platform::FindString(id, text)) return text;
    // A static destructor of another library may ask after this library has left the
    // chain at exit; the built-in text still says something.
    for (const auto& entry : kStrings)
        if (entry.id == id) return entry.text;
    return CString();
}

}  // namespace basecore
