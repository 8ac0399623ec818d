#pragma once

// Ids of the texts the job, meter, error and help services show. They live in the
// library's string table so that they travel with the library like every other text.

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

/// The text of one of the ids above (the registered table, or the built-in text).
CString LoadText(UINT id);

}  // namespace basecore
