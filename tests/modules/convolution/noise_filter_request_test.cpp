// The whole request as the main program makes it: the entry opens dialogs, Execute runs the
// job behind its progress window, and the result opens in a viewer.

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "modules/convolution/exports.h"
#include "modules/convolution/kernova_resources.h"
#include "modules/convolution/noise_filter_dlg.h"
#include "outside/basecore/progress_window.h"
#include "outside/basecore/thread_runner.h"
#include "platform/controls/list_controls.h"
#include "platform/controls/spin_button_ctrl.h"
#include "tests/modules/convolution/filter_test_support.h"
#include "tests/support/modal_responder.h"
#include "tests/support/test_environment.h"
#include "tests/support/ui_helpers.h"

namespace {

using namespace filtertest;
using tarvenix::test::PumpUntil;
using tarvenix::test::Responder;
using tarvenix::test::TempDir;

std::vector<CMainFiltrDlg*> Dialogs()
{
    return TopLevelOf<CMainFiltrDlg>();
}

void CloseViewer(HWND viewer)
{
    if (::IsWindow(viewer))
        ::SendMessage(viewer, ::RegisterWindowMessage("Tarvenix - Viewer Control Message"), 1, 0);
    tarvenix::test::PumpEvents();
}

void Choose(CWnd* dlg, int pickerId, const std::string& path)
{
    Responder().AnswerFile({path.c_str()});
    static_cast<CInFileCtrl*>(dlg->GetDlgItem(pickerId))
        ->GetDlgItem(CInFileCtrl::kBrowseId)
        ->SendMessage(BM_CLICK);
    tarvenix::test::PumpEvents();
}

void ChooseFilter(CWnd* dlg, int filter)
{
    auto* combo = static_cast<CComboBox*>(dlg->GetDlgItem(IDC_FILTR_COMBO));
    combo->SetCurSel(filter);
    dlg->SendMessage(WM_COMMAND, MAKEWPARAM(WORD(IDC_FILTR_COMBO), WORD(CBN_SELCHANGE)),
                     reinterpret_cast<LPARAM>(combo->GetSafeHwnd()));
}

class NoiseFilterRequest : public ::testing::Test {
protected:
    void TearDown() override
    {
        for (CMainFiltrDlg* d : Dialogs()) d->SendMessage(WM_COMMAND, IDCANCEL);
        EXPECT_TRUE(PumpUntil([] { return GetRunningThreadCount() == 0; }));
        CloseAllViewers();
    }
};

TEST_F(NoiseFilterRequest, ExecuteOpensTheFilteredFileInAViewer)
{
    TempDir dir;
    std::string input = TVX_SAMPLE_LAYER;
    if (!std::filesystem::exists(input)) {
        input = dir.File("speckle.rdp");
        ASSERT_TRUE(WriteLayer(input, 300, 200, int(DataType::F32), Ramp(300, 200)));
    }
    const std::string output = dir.File("lee.rdp");
    Filtr_Files();
    Filtr_Files();
    ASSERT_EQ(Dialogs().size(), 2u);
    CMainFiltrDlg* d = Dialogs()[1];
    Choose(d, IDC_FILTR_INPUT, input);
    ChooseFilter(d, kFilterLee);
    Choose(d, IDC_FILTR_OUTPUT, output);
    d->SendMessage(WM_COMMAND, IDOK);

    HWND viewer = nullptr;
    ASSERT_TRUE(PumpUntil([&] {
        viewer = ::FindWindow(nullptr, output.c_str());
        return GetRunningThreadCount() == 0 && ::IsWindow(viewer);
    }));
    EXPECT_TRUE(std::filesystem::exists(output));
    EXPECT_EQ(Dialogs().size(), 2u);  // the dialogs stay open
    CWnd* frame = CWnd::FromHandle(viewer);
    frame->ShowWindow(SW_SHOW);
    // The viewer's own work on the file (its display pyramid) ends and reports before the
    // picture is taken.
    SettleViewers();
    EXPECT_FALSE(
        tarvenix::test::SaveTestOutput(tarvenix::test::GrabWholeWindow(*frame), "noise_filter_result_viewer")
            .empty());
    CloseViewer(viewer);
    EXPECT_FALSE(::IsWindow(viewer));
}

TEST_F(NoiseFilterRequest, AStoppedJobLeavesNoFileAndOpensNoViewer)
{
    TempDir dir;
    const std::string input = dir.File("big.rdp"), output = dir.File("frost.rdp");
    ASSERT_TRUE(WriteLayer(input, 1500, 1500, int(DataType::F32), Ramp(1500, 1500)));
    Filtr_Files();
    CMainFiltrDlg* d = Dialogs()[0];
    Choose(d, IDC_FILTR_INPUT, input);
    ChooseFilter(d, kFilterFrost);
    for (int i = 0; i < 7; ++i)
        static_cast<CSpinButtonCtrl*>(d->GetDlgItem(IDC_FILTR_SPIN))->ClickArrow(true);
    Choose(d, IDC_FILTR_OUTPUT, output);
    d->SendMessage(WM_COMMAND, IDOK);
    ASSERT_EQ(ProgressWindowsOpen().size(), 1u);
    basecore::CProgressWnd* progress = ProgressWindowsOpen()[0];
    progress->GetDlgItem(IDCANCEL)->SendMessage(BM_CLICK);
    EXPECT_TRUE(PumpUntil([] { return GetRunningThreadCount() == 0 && ProgressWindowsOpen().empty(); }));
    EXPECT_FALSE(std::filesystem::exists(output));
    EXPECT_FALSE(::IsWindow(::FindWindow(nullptr, output.c_str())));
    EXPECT_TRUE(MessageBoxesAsked().empty());
}

}  // namespace
