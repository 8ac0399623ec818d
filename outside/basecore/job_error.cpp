#include "outside/basecore/job_error.h"

#include "platform/window/modal.h"
#include "platform/window/wnd.h"

namespace basecore {

void ShowJobError(CWnd* owner, const CString& text, const CString& caption)
{
    // The platform carries a worker's box to the user-interface thread and waits there.
    MessageBox(owner ? owner->GetSafeHwnd() : nullptr, text, caption, MB_ICONERROR);
}

}  // namespace basecore
