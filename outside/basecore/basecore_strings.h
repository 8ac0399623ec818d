#pragma once

// Ids of the library's resources: the texts the job, meter, error and help services show,
// and the progress window's dialog template. They live in the library's resource record so
// that they travel with the library like every other resource.

#include "platform/cstring.h"
#include "platform/types.h"

namespace basecore {

constexpr UINT IDS_RDP_CANCEL = 62500;         // "CANCEL"
constexpr UINT IDS_RDP_PROCESS_ERROR = 62501;  // code 10 raised without a text
constexpr UINT IDS_RDP_FFT_FAILED = 62502;     // code 12
constexpr UINT IDS_RDP_UNKNOWN_ERROR = 62503;  // "%d" is the code
constexpr UINT IDS_PROGRESS_STOP = 62510;
constexpr UINT IDS_TASK_WAITING = 62511;
constexpr UINT IDS_TASK_PROCESSING = 62512;
constexpr UINT IDS_TASK_COMPLETE = 62513;
constexpr UINT IDS_TASK_ERROR = 62514;
constexpr UINT IDS_TASK_SKIPPED = 62515;
constexpr UINT IDS_TASK_NOPROCESS = 62516;
constexpr UINT IDS_HELP_CAPTION = 62520;
constexpr UINT IDS_HELP_MISSING = 62521;  // "%s" is the page's path
constexpr UINT IDS_HELP_FAILED = 62522;   // "%s" is the page's path

// The progress window's template and its controls.
constexpr UINT IDD_PROGRESS = 62600;
constexpr int IDC_PROGRESS_TITLE = 1001;
constexpr int IDC_PROGRESS_TASKS = 1002;
constexpr int IDC_PROGRESS_TEXT = 1003;
constexpr int IDC_PROGRESS_BAR = 1004;  // the Stop button is IDCANCEL

/// The text of one of the ids above (the registered table, or the built-in text).
CString LoadText(UINT id);

}  // namespace basecore
