#include <string>

#include <gtest/gtest.h>

#include "tests/support/test_environment.h"
#include "tests/support/ui_helpers.h"
#include "tests/viewer/core/frame_test_support.h"
#include "viewer/analysis/file_properties_dlg.h"

namespace {

CString Text(CDialog& dlg, int id)
{
    CString text;
    dlg.GetDlgItemText(id, text);
    return text;
}

struct Fixture {
    tarvenix::test::TempDir dir;
    frame_test::NotifyWindow parent;
    CFrameViewer* viewer = nullptr;
    Fixture()
    {
        const std::string file = dir.File("plain.rdp");
        frame_test::MakeLayerFile(file);
        viewer = frame_test::OpenViewer(file, parent);
    }
    ~Fixture()
    {
        if (viewer && ::IsWindow(viewer->GetSafeHwnd())) viewer->DestroyWindow();
        tarvenix::test::PumpEvents();
    }
    CFilePropertiesDlg* Open()
    {
        auto* dlg = new CFilePropertiesDlg;
        if (!dlg->Create(viewer)) return nullptr;
        dlg->ShowWindow(SW_SHOW);
        return dlg;
    }
};

}  // namespace

TEST(FilePropertiesDlg, ApplyHandsEditedTextsToTheFrameAndNeverThePlaceholder)
{
    Fixture f;
    ASSERT_NE(f.viewer, nullptr);
    CFilePropertiesDlg* dlg = f.Open();
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(Text(*dlg, IDC_FILEPROP_CAPTION), "No information");
    EXPECT_EQ(Text(*dlg, IDC_FILEPROP_DESCRIPTION), "No information");
    EXPECT_EQ(dlg->m_bModified, 0);
    tarvenix::test::SaveTestOutput(tarvenix::test::GrabWholeWindow(*dlg), "file_properties");

    // After an edit "From file" does not read the file again; Apply hands the texts on and
    // asks for a save.
    dlg->SetDlgItemText(IDC_FILEPROP_CAPTION, "Harbour, pass 3");
    EXPECT_EQ(dlg->m_bModified, 1);
    dlg->SendMessage(WM_COMMAND, MAKEWPARAM(IDC_FILEPROP_FROM_FILE, BN_CLICKED), 0);
    EXPECT_EQ(dlg->m_bModified, 1);
    dlg->SetDlgItemText(IDC_FILEPROP_CAPTION, "Harbour, pass 3");
    dlg->SendMessage(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    tarvenix::test::PumpEvents();
    EXPECT_TRUE(f.viewer->GetPendingSaves() & 4);
    f.viewer->SendMessage(WM_DLGMESSAGE, 16, 4);  // close without the save question
}

TEST(FilePropertiesDlg, ApplyWithoutEditsAndCancelAskForNoSave)
{
    for (UINT command : {UINT(IDOK), UINT(IDCANCEL), UINT(0)}) {
        Fixture f;
        ASSERT_NE(f.viewer, nullptr);
        CFilePropertiesDlg* dlg = f.Open();
        ASSERT_NE(dlg, nullptr);
        const HWND window = dlg->GetSafeHwnd();
        if (command)
            dlg->SendMessage(WM_COMMAND, MAKEWPARAM(command, BN_CLICKED), 0);
        else
            dlg->SendMessage(WM_CLOSE);
        tarvenix::test::PumpEvents();
        EXPECT_FALSE(::IsWindow(window)) << command;
        EXPECT_FALSE(f.viewer->GetPendingSaves() & 4) << command;
    }
}
