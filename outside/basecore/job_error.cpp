#include "outside/basecore/job_error.h"

#include <QMessageBox>

#include "outside/basecore/ui_thread.h"

namespace basecore {

void ShowJobError(CWnd*, const CString& text, const CString& caption)
{
    CallOnUiThread([&] {
        QMessageBox::critical(nullptr, QString::fromUtf8(caption.c_str()), QString::fromUtf8(text.c_str()));
    });
}

}  // namespace basecore
