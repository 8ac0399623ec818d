#include "outside/basecore/basecore_strings.h"

#include "outside/basecore/info_file_dialog.h"
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
    {IDS_HELP_FAILED, "No browser could be opened for the help page. The page is at:\n%s"},
};

constexpr platform::DialogControl kProgressControls[] = {
    {"Static", "", IDC_PROGRESS_TITLE, 7, 7, 226, 9, SS_LEFT | SS_NOPREFIX},
    {"SysListView32", "", IDC_PROGRESS_TASKS, 7, 19, 226, 76,
     LVS_REPORT | LVS_NOCOLUMNHEADER | LVS_SINGLESEL | LVS_SHOWSELALWAYS | WS_BORDER},
    {"Static", "", IDC_PROGRESS_TEXT, 7, 100, 226, 9, SS_LEFT | SS_NOPREFIX},
    {"msctls_progress32", "", IDC_PROGRESS_BAR, 7, 112, 226, 10, PBS_SMOOTH | WS_BORDER},
    {"Button", "Stop", IDCANCEL, 183, 128, 50, 14, BS_PUSHBUTTON | WS_TABSTOP},
};

// The component choice that the layer file dialog shows after a complex layer is chosen.
constexpr platform::DialogControl kInfoFileControls[] = {
    {"Static", "File:", IDC_STATIC, 7, 7, 44, 9, SS_LEFT},
    {"Static", "", IDC_INFO_FILE_NAME, 52, 7, 161, 9, SS_LEFT | SS_NOPREFIX},
    {"Static", "Format:", IDC_STATIC, 7, 18, 44, 9, SS_LEFT},
    {"Static", "", IDC_INFO_FILE_FORMAT, 52, 18, 161, 9, SS_LEFT | SS_NOPREFIX},
    {"Static", "Caption:", IDC_STATIC, 7, 29, 44, 9, SS_LEFT},
    {"Static", "", IDC_INFO_FILE_CAPTION, 52, 29, 161, 9, SS_LEFT | SS_NOPREFIX},
    {"Static", "Description:", IDC_STATIC, 7, 40, 44, 9, SS_LEFT},
    {"Static", "", IDC_INFO_FILE_DESCRIPTION, 52, 40, 161, 26, SS_LEFT | SS_NOPREFIX},
    {"Button", "Open as", IDC_STATIC, 7, 68, 206, 36, BS_GROUPBOX},
    {"Button", "&Amplitude", IDC_INFO_FILE_AMPLITUDE, 14, 78, 90, 10,
     BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP},
    {"Button", "&Phase", IDC_INFO_FILE_PHASE, 110, 78, 90, 10, BS_AUTORADIOBUTTON},
    {"Button", "&Real part", IDC_INFO_FILE_REAL, 14, 90, 90, 10, BS_AUTORADIOBUTTON},
    {"Button", "&Imaginary part", IDC_INFO_FILE_IMAGINARY, 110, 90, 90, 10, BS_AUTORADIOBUTTON},
    {"Button", "OK", IDOK, 109, 110, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP},
    {"Button", "Cancel", IDCANCEL, 163, 110, 50, 14, BS_PUSHBUTTON | WS_TABSTOP},
};

constexpr platform::DialogTemplate kDialogs[] = {
    {IDD_INFO_FILE_COMPONENT, "Open complex layer", DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU, 0,
     "MS Sans Serif", 8, 0, 0, 220, 131, kInfoFileControls},
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
    return kRegistration.Text(id);
}

}  // namespace basecore
