#include "outside/basecore/outside_tool_dlg.h"

#include "platform/controls/button.h"
#include "platform/controls/static_ctrl.h"

namespace {

constexpr platform::DialogControl kControls[] = {
    {"Static", "", COutsideToolDlg::kNoteId, 10, 10, 200, 32, SS_LEFT},
    {"Button", "Close", IDOK, 160, 46, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP},
};

constexpr platform::DialogTemplate kTemplate{
    0,  "",       WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME, 0, "MS Sans Serif", 8, 0, 0, 220,
    66, kControls};

}  // namespace

COutsideToolDlg::COutsideToolDlg(const char* library, const char* tool)
    : m_library(library ? library : ""), m_tool(tool ? tool : "")
{
}

BOOL COutsideToolDlg::CreateAndShow(CWnd* owner)
{
    if (!CreateIndirect(kTemplate, owner)) {
        if (GetSafeHwnd()) DestroyWindow();
        delete this;
        return FALSE;
    }
    m_ownsItself = true;
    ShowWindow(SW_SHOW);
    return TRUE;
}

BOOL COutsideToolDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    SetWindowText(m_tool);
    SetDlgItemText(kNoteId, "\"" + m_tool + "\" is a tool of the " + m_library +
                                " library, which is not part of Tarvenix. Tarvenix does not do this.");
    CenterWindow();
    return TRUE;
}

void ShowOutsideTool(const char* library, const char* tool, CWnd* owner)
{
    (new COutsideToolDlg(library, tool))->CreateAndShow(owner);
}
