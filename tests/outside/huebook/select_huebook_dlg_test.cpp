#include "outside/huebook/select_huebook_dlg.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "outside/huebook/standard_color_maps.h"
#include "platform/controls/button.h"
#include "platform/controls/list_controls.h"
#include "tests/support/modal_responder.h"
#include "tests/support/ui_helpers.h"

using tarvenix::test::Responder;

namespace {

CListBox& List(CWnd& dlg)
{
    return *static_cast<CListBox*>(dlg.GetDlgItem(IDC_HUEBOOK_LIST));
}

/// Picks list item `index` as a click does (the list tells its parent).
void PickItem(CWnd& dlg, int index)
{
    List(dlg).SetCurSel(index);
    dlg.SendMessage(WM_COMMAND, MAKELONG(WORD(IDC_HUEBOOK_LIST), WORD(LBN_SELCHANGE)),
                    reinterpret_cast<LPARAM>(List(dlg).GetSafeHwnd()));
}

int IndexOf(const char* name)
{
    for (int i = 0; i < GetStandartColorMapCount(); ++i) {
        CColorMap map;
        GetStandartColorMap(i, &map);
        if (map.GetName() == name) return i;
    }
    return -1;
}

/// Stands in for the viewer frame: keeps what the dialog tells it and destroys the dialog
/// when it is closed, as the frame does.
class Owner : public CWnd {
public:
    struct Choice {
        std::string name;
        double min, max;
    };
    std::vector<Choice> choices;
    int closed = 0;
    CWnd* dialog = nullptr;

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_HUEBOOK_DLGMESSAGE) {
            if (wParam == kHuebookMapChosen) {
                const auto* map = reinterpret_cast<const CColorMap*>(lParam);
                choices.push_back({std::string(map->GetName()), map->GetMin(), map->GetMax()});
            } else if (wParam == kHuebookClosed) {
                ++closed;
                if (dialog) dialog->DestroyWindow();
                dialog = nullptr;
            }
            return 0;
        }
        return CWnd::WindowProc(message, wParam, lParam);
    }
};

}  // namespace

TEST(SelectHuebookDlg, ModalChoiceIsTheListedMapStretchedOverTheShownRange)
{
    CSelectHuebookDlg dlg;
    CColorMap shown;
    GetStandartColorMap(IndexOf("Rainbow"), &shown);
    Responder().AnswerDialogCommand(IDOK).Doing([&](CWnd& window) {
        EXPECT_EQ(List(window).GetCount(), GetStandartColorMapCount());
        SHuebookDlgInfo info;
        info.fileName = "scene.rdp";
        info.current = &shown;
        info.low = -12.5;
        info.high = 80.0;
        window.SendMessage(WM_HUEBOOK_INFO, 0, reinterpret_cast<LPARAM>(&info));
        EXPECT_EQ(List(window).GetCurSel(), IndexOf("Rainbow")) << "the shown map is selected";
        CString file;
        window.GetDlgItem(IDC_HUEBOOK_FILE)->GetWindowText(file);
        EXPECT_EQ(file, "scene.rdp");
        PickItem(window, IndexOf("Hot"));
        EXPECT_EQ(dlg.GetSelectedMap(), nullptr) << "a modal dialog chooses on OK only";
    });
    ASSERT_EQ(dlg.DoModal(), IDOK);
    ASSERT_NE(dlg.GetSelectedMap(), nullptr);
    EXPECT_EQ(dlg.GetSelectedMap()->GetName(), "Hot");
    EXPECT_TRUE(IsStandartColorMap(dlg.GetSelectedMap()));
    EXPECT_EQ(dlg.GetSelectedMap()->GetMin(), -12.5);
    EXPECT_EQ(dlg.GetSelectedMap()->GetMax(), 80.0);
    EXPECT_EQ(dlg.GetSelectedIndex(), IndexOf("Hot"));

    CSelectHuebookDlg cancelled;
    Responder().AnswerDialogCommand(IDCANCEL).Doing([](CWnd& window) { PickItem(window, 2); });
    EXPECT_EQ(cancelled.DoModal(), IDCANCEL);
    EXPECT_EQ(cancelled.GetSelectedMap(), nullptr);
}

TEST(SelectHuebookDlg, ModelessDialogTellsItsOwnerEachChoiceAndItsClosing)
{
    Owner owner;
    ASSERT_TRUE(owner.CreateEx(0, nullptr, "Viewer", WS_OVERLAPPEDWINDOW, CRect(0, 0, 400, 300), nullptr, 0));
    CSelectHuebookDlg* dlg = CreateSelectHuebookDlg(&owner);
    ASSERT_NE(dlg, nullptr);
    owner.dialog = dlg;
    EXPECT_TRUE(dlg->IsWindowVisible());

    SHuebookDlgInfo info;
    info.low = 0.0;
    info.high = 3.14;
    dlg->SendMessage(WM_HUEBOOK_INFO, 0, reinterpret_cast<LPARAM>(&info));
    PickItem(*dlg, IndexOf("Phase"));
    ASSERT_EQ(owner.choices.size(), 1u);
    EXPECT_EQ(owner.choices[0].name, "Phase");
    EXPECT_EQ(owner.choices[0].max, 3.14);

    tarvenix::test::SaveTestOutput(tarvenix::test::GrabWindow(*dlg), "huebook_select_dialog");

    PickItem(*dlg, IndexOf("Grey"));
    static_cast<CButton*>(dlg->GetDlgItem(IDC_HUEBOOK_APPLY))->Click();
    ASSERT_EQ(owner.choices.size(), 3u);
    EXPECT_EQ(owner.choices[2].name, "Grey");

    // Close: the dialog hides and the owner, told by a posted message, destroys it.
    static_cast<CButton*>(dlg->GetDlgItem(IDCANCEL))->Click();
    EXPECT_FALSE(dlg->IsWindowVisible());
    ASSERT_TRUE(tarvenix::test::PumpUntil([&] { return owner.closed == 1; }));
    EXPECT_EQ(owner.dialog, nullptr);
    owner.DestroyWindow();
}

TEST(SelectHuebookDlg, WithoutAnOwnerItClosesItself)
{
    CSelectHuebookDlg* dlg = CreateSelectHuebookDlg(nullptr);
    ASSERT_NE(dlg, nullptr);
    const HWND hwnd = dlg->GetSafeHwnd();
    static_cast<CButton*>(dlg->GetDlgItem(IDOK))->Click();
    ASSERT_TRUE(tarvenix::test::PumpUntil([&] { return !IsWindow(hwnd); }));
}
