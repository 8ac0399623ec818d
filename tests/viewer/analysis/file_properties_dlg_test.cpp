#include <string>

#include <gtest/gtest.h>

#include "outside/basecore/layer_description.h"
#include "outside/basecore/thread_runner.h"
#include "tests/support/test_environment.h"
#include "tests/support/ui_helpers.h"
#include "tests/viewer/frame/frame_test_support.h"
#include "viewer/analysis/file_properties_dlg.h"
#include "viewer/frame/frame_viewer_ids.h"

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

TEST(FilePropertiesDlg, TheFileMenuOpensItAndItsControlsFollowAResize)
{
    Fixture f;
    ASSERT_NE(f.viewer, nullptr);
    ASSERT_TRUE(tarvenix::test::ClickCommand(*f.viewer, ID_VIEWER_FILE_PROPERTIES));
    CFilePropertiesDlg* dlg = f.viewer->GetFilePropertiesDlg();
    ASSERT_NE(dlg, nullptr);
    EXPECT_TRUE(dlg->IsWindowVisible());
    EXPECT_EQ(f.viewer->GetMenu()->GetMenuState(ID_VIEWER_FILE_PROPERTIES, MF_BYCOMMAND) & MF_CHECKED,
              UINT(MF_CHECKED));
    ASSERT_TRUE(tarvenix::test::ClickCommand(*f.viewer, ID_VIEWER_FILE_PROPERTIES));
    EXPECT_EQ(f.viewer->GetFilePropertiesDlg(), dlg) << "one dialog a viewer";

    auto placeOf = [&](int id) {
        CRect r;
        dlg->GetDlgItem(id)->GetWindowRect(&r);
        dlg->ScreenToClient(&r);
        return r;
    };
    const CRect apply = placeOf(IDOK), caption = placeOf(IDC_FILEPROP_CAPTION),
                description = placeOf(IDC_FILEPROP_DESCRIPTION);
    CRect window;
    dlg->GetWindowRect(&window);
    dlg->MoveWindow(window.left, window.top, window.Width() + 120, window.Height() + 80);
    tarvenix::test::PumpEvents();
    EXPECT_EQ(placeOf(IDOK), CRect(apply.left + 120, apply.top + 80, apply.right + 120, apply.bottom + 80));
    EXPECT_EQ(placeOf(IDC_FILEPROP_CAPTION).Width(), caption.Width() + 120);
    EXPECT_EQ(placeOf(IDC_FILEPROP_CAPTION).top, caption.top);
    EXPECT_EQ(placeOf(IDC_FILEPROP_DESCRIPTION).Size(),
              CSize(description.Width() + 120, description.Height() + 80));
    tarvenix::test::SaveTestOutput(tarvenix::test::GrabWholeWindow(*dlg), "file_properties_resized");

    // Apply with a new caption: the viewer's save writes it as the file's tag 600.
    dlg->SetDlgItemText(IDC_FILEPROP_CAPTION, "Harbour, pass 3");
    dlg->SendMessage(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    tarvenix::test::PumpEvents();
    EXPECT_EQ(f.viewer->GetFilePropertiesDlg(), nullptr);
    EXPECT_EQ(f.viewer->GetMenu()->GetMenuState(ID_VIEWER_FILE_PROPERTIES, MF_BYCOMMAND) & MF_CHECKED, 0u);
    ASSERT_TRUE(tarvenix::test::ClickCommand(*f.viewer, ID_VIEWER_SAVE));
    tarvenix::test::PumpUntil([] { return GetRunningThreadCount() == 0; });
    tarvenix::test::PumpEvents();
    CString stored;
    EXPECT_TRUE(CLayerDescription::GetDescriptionTag(f.dir.File("plain.rdp").c_str(), 600, stored));
    EXPECT_EQ(stored, "Harbour, pass 3");
}
