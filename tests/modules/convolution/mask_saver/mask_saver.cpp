// Opens a mask in the kernel editor, gives it a new caption and saves it with OK, answering
// Yes, for the tests that kill a save:
//   tvx_mask_saver MASK CAPTION [LIMIT [named]]
// With LIMIT no file may grow past LIMIT bytes once the mask is loaded: the first write of
// the save that would ends the process with SIGXFSZ, as a kill at that moment would.
// "named" makes the writer use named temporaries.

#include <sys/resource.h>

#include <QApplication>

#include <clocale>
#include <cstdlib>
#include <cstring>

#include "modules/convolution/convolution_resources.h"
#include "modules/convolution/user_mask_dlg.h"
#include "platform/gdi/window_dc.h"
#include "platform/kernel/atomic_file.h"
#include "platform/numbers/numbers.h"
#include "platform/window/modal.h"

namespace {

/// Yes to every question; no other modal window is expected.
class SaveAnswers : public platform::ModalResponder {
public:
    int AnswerMessageBox(const platform::MessageBoxQuestion&) override { return IDYES; }
    void RunModal(CWnd& window, const platform::DialogQuestion&) override { window.EndModalLoop(IDCANCEL); }
    platform::FileAnswer AnswerFile(const platform::FileQuestion&) override { return {}; }
    platform::FolderAnswer AnswerFolder(const platform::FolderQuestion&) override { return {}; }
    platform::ColorAnswer AnswerColor(const platform::ColorQuestion&) override { return {}; }
};

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) return 2;
    QApplication app(argc, argv);
    std::setlocale(LC_ALL, "C");
    platform::UseCNumericLocale();
    platform::InitDrawing();
    SaveAnswers answers;
    platform::SetModalResponder(&answers);
    if (argc > 4 && std::strcmp(argv[4], "named") == 0)
        platform::SetAtomicFileFaults({platform::AtomicStep::kNone, true});

    auto* editor = new CUserMaskDlg(nullptr);
    if (!editor->Create(nullptr)) return 1;
    const HWND window = editor->GetSafeHwnd();
    editor->SetMaskPath(argv[1]);
    if (!editor->LoadMask(argv[1])) return 1;
    editor->GetDlgItem(IDC_MASK_CAPTION)->SetWindowText(argv[2]);
    if (argc > 3) {
        const rlim_t limit = std::strtoull(argv[3], nullptr, 10);
        const rlimit noCore{0, 0}, size{limit, limit};
        if (::setrlimit(RLIMIT_CORE, &noCore) != 0 || ::setrlimit(RLIMIT_FSIZE, &size) != 0) return 1;
    }
    editor->SendMessage(WM_COMMAND, IDOK);
    // The editor closes itself once the mask is saved.
    return ::IsWindow(window) ? 1 : 0;
}
