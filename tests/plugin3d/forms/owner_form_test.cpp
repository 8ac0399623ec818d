// The owner form and the exports: one administrator at a time, minimise, restore and close
// done through the owner, and hiding that asks about unsaved changes and frees the
// administrator.

#include <gtest/gtest.h>

#include "platform/window/modal.h"
#include "plugin3d/forms/k_administrator.h"
#include "plugin3d/forms/k_dll_main.h"
#include "plugin3d/model/core/k_interfaces.h"
#include "tests/plugin3d/forms/admin_test_project.h"
#include "tests/support/modal_responder.h"
#include "tests/support/ui_helpers.h"

using tarvenix::test::PumpEvents;
using tarvenix::test::PumpUntil;
using tarvenix::test::Responder;

namespace {

class OwnerForm : public ::testing::Test {
protected:
    static void SetUpTestSuite() { TAdminTestProject::Register(); }
    static void TearDownTestSuite() { TAdminTestProject::Unregister(); }
    void SetUp() override { InitializeUnits(&kDllMainUnit, 1); }
    void TearDown() override
    {
        FinalizeUnits(&kDllMainUnit, 1);
        EXPECT_EQ(DllMainForm(), nullptr);
        EXPECT_EQ(DllGetMainWnd(), nullptr);
    }
    TDllMainForm* Owner() { return DllMainForm(); }
    TKAdministrator* Admin() { return Owner()->Administrator(); }
    /// What the administrator's caption bar does for its buttons.
    void SysCommandToAdmin(WPARAM command)
    {
        ::PostMessage(Admin()->GetSafeHwnd(), WM_SYSCOMMAND, command, 0);
        PumpEvents();
    }
};

TEST_F(OwnerForm, ExistsHiddenFromTheStartAsMainWindowZero)
{
    const HWND owner = DllGetMainWnd();
    ASSERT_NE(owner, nullptr);
    EXPECT_EQ(GetMainWindowHandle(0), owner);
    EXPECT_FALSE(CWnd::FromHandle(owner)->IsWindowVisible());
    EXPECT_EQ(CWnd::FromHandle(owner)->GetStyle() & ~(WS_VISIBLE | WS_MINIMIZE), kDllMainFormStyle);
    EXPECT_EQ(Admin(), nullptr);
    EXPECT_LE(Owner()->Height(), 1);  // a strip: the platform keeps windows at least a pixel high
}

TEST_F(OwnerForm, ShowFormsTwiceGivesOneAdministratorAndRestoresAMinimisedOwner)
{
    DllShowForms();
    TKAdministrator* admin = Admin();
    ASSERT_NE(admin, nullptr);
    EXPECT_TRUE(admin->IsWindowVisible());
    EXPECT_TRUE(Owner()->IsWindowVisible());
    EXPECT_EQ(admin->GetOwner(), Owner());  // every plug-in window hangs from the owner
    const CRect adminBounds = admin->BoundsRect(), ownerBounds = Owner()->BoundsRect();
    EXPECT_EQ(ownerBounds.left, adminBounds.left);
    EXPECT_EQ(ownerBounds.top, adminBounds.top);
    EXPECT_EQ(ownerBounds.Width(), adminBounds.Width());

    SysCommandToAdmin(SC_MINIMIZE);  // relayed: the owner goes down, the administrator with it
    EXPECT_TRUE(Owner()->IsIconic());
    DllShowForms();
    PumpEvents();
    EXPECT_EQ(Admin(), admin);
    EXPECT_FALSE(Owner()->IsIconic());
    EXPECT_TRUE(admin->IsWindowVisible());
}

TEST_F(OwnerForm, TheAdministratorsMinimiseRestoreAndCloseGoThroughTheOwner)
{
    DllShowForms();
    TKAdministrator* admin = Admin();
    SysCommandToAdmin(SC_MINIMIZE);
    EXPECT_TRUE(Owner()->IsIconic());
    ::PostMessage(Owner()->GetSafeHwnd(), WM_SYSCOMMAND, SC_RESTORE, 0);  // the task-bar button
    PumpEvents();
    EXPECT_FALSE(Owner()->IsIconic());
    EXPECT_TRUE(admin->IsWindowVisible());

    SysCommandToAdmin(SC_CLOSE);  // the caption bar's Close
    EXPECT_EQ(Admin(), nullptr);
    EXPECT_FALSE(CWnd::FromHandle(DllGetMainWnd())->IsWindowVisible());
    DllShowForms();
    ASSERT_NE(Admin(), nullptr);  // a fresh one
    EXPECT_TRUE(Admin()->IsWindowVisible());
}

TEST_F(OwnerForm, HideFormsAsksAboutChangesAndCancelKeepsTheAdministratorAndItsProject)
{
    DllShowForms();
    ASSERT_TRUE(Admin()->NewProject(TAdminTestProject::StaticClass()));
    TKProject* project = Admin()->Project();
    project->SetModified(true);

    // Cancel: nothing is hidden or freed, and the program hears that the user kept it.
    Responder().AnswerMessageBox(IDCANCEL);
    EXPECT_EQ(DllHideForms(), FALSE);
    ASSERT_EQ(Responder().Asked().size(), 1u);
    EXPECT_EQ(std::string(Responder().Asked()[0].text), "Save changes to file?");
    ASSERT_NE(Admin(), nullptr);
    EXPECT_EQ(Admin()->Project(), project);
    EXPECT_TRUE(project->Modified());
    EXPECT_TRUE(CWnd::FromHandle(DllGetMainWnd())->IsWindowVisible());
    EXPECT_TRUE(Admin()->IsWindowVisible());

    // The caption bar's Close asks the same way and keeps everything on Cancel too.
    Responder().AnswerMessageBox(IDCANCEL);
    SysCommandToAdmin(SC_CLOSE);
    ASSERT_EQ(Responder().Asked().size(), 2u);
    ASSERT_NE(Admin(), nullptr);
    EXPECT_EQ(Admin()->Project(), project);
    EXPECT_TRUE(CWnd::FromHandle(DllGetMainWnd())->IsWindowVisible());

    // No: the changes are dropped and the forms go, asked once.
    Responder().AnswerMessageBox(IDNO);
    EXPECT_EQ(DllHideForms(), TRUE);
    EXPECT_EQ(Responder().Asked().size(), 3u);
    EXPECT_EQ(Admin(), nullptr);
    EXPECT_FALSE(CWnd::FromHandle(DllGetMainWnd())->IsWindowVisible());

    EXPECT_EQ(DllHideForms(), TRUE);  // nothing to hide, nothing asked
    EXPECT_EQ(Responder().Asked().size(), 3u);
}

}  // namespace
