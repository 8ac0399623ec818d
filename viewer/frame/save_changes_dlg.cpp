#include "viewer/frame/save_changes_dlg.h"

#include <algorithm>

#include "platform/controls/button.h"
#include "platform/controls/list_ctrl.h"
#include "platform/controls/static_ctrl.h"
#include "platform/resources/module_resources.h"
#include "platform/window/modal.h"

namespace {

// The question's template; its texts are set when it opens.
constexpr platform::DialogControl kSaveChangesControls[] = {
    {"Static", "?", IDC_STATIC, 7, 7, 20, 20, SS_CENTER | SS_CENTERIMAGE | SS_SUNKEN},
    {"Static", "Save changes ?", IDC_SAVE_CHANGES_TEXT, 34, 10, 150, 10, SS_LEFT},
    {"SysListView32", "", IDC_SAVE_CHANGES_LIST, 7, 32, 177, 56,
     LVS_REPORT | LVS_NOCOLUMNHEADER | LVS_SINGLESEL | WS_BORDER | WS_TABSTOP},
    {"Button", "Yes", IDYES, 20, 96, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP},
    {"Button", "No", IDNO, 74, 96, 50, 14, BS_PUSHBUTTON | WS_TABSTOP},
    {"Button", "Cancel", IDCANCEL, 128, 96, 50, 14, BS_PUSHBUTTON | WS_TABSTOP},
};
constexpr platform::DialogTemplate kDialogs[] = {
    {IDD_SAVE_CHANGES, "Save changes", DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, nullptr, 8, 0,
     0, 191, 117, kSaveChangesControls},
};

constexpr platform::ModuleResources kResources{.module = "PaneKit save changes", .dialogs = kDialogs};
// Joins the resource chain when the library is loaded and leaves it when it is unloaded.
const platform::ModuleResourceRegistration kRegistration(kResources);

}  // namespace

CSaveChangesDlg::CSaveChangesDlg(CWnd* parent) : CDialog(IDD_SAVE_CHANGES, parent) {}

void CSaveChangesDlg::AddLine(int id, const CString& text)
{
    m_lines.push_back({id, text, true});
}

bool CSaveChangesDlg::IsChecked(int id) const
{
    return std::any_of(m_lines.begin(), m_lines.end(),
                       [id](const Line& l) { return l.id == id && l.checked; });
}

BOOL CSaveChangesDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    if (!m_caption.IsEmpty()) SetWindowText(m_caption);
    if (!m_question.IsEmpty()) SetDlgItemText(IDC_SAVE_CHANGES_TEXT, m_question);
    if (auto* list = static_cast<CListCtrl*>(GetDlgItem(IDC_SAVE_CHANGES_LIST))) {
        list->SetExtendedStyle(list->GetExtendedStyle() | LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
        CRect r;
        list->GetClientRect(&r);
        list->InsertColumn(0, "Change", LVCFMT_LEFT, std::max(40, r.Width() - 4));
        for (int i = 0; i < int(m_lines.size()); ++i) {
            list->InsertItem(i, m_lines[i].text);
            list->SetItemData(i, DWORD_PTR(m_lines[i].id));
            list->SetCheck(i, m_lines[i].checked ? TRUE : FALSE);
        }
    }
    return TRUE;
}

BOOL CSaveChangesDlg::OnCommand(WPARAM wParam, LPARAM lParam)
{
    const int id = LOWORD(wParam);
    if (id == IDYES) {
        if (auto* list = static_cast<CListCtrl*>(GetDlgItem(IDC_SAVE_CHANGES_LIST)))
            for (int i = 0; i < int(m_lines.size()) && i < list->GetItemCount(); ++i)
                m_lines[i].checked = list->GetCheck(i) != FALSE;
        EndDialog(IDYES);
        return TRUE;
    }
    if (id == IDNO || id == IDCANCEL) {
        EndDialog(id);
        return TRUE;
    }
    return CDialog::OnCommand(wParam, lParam);
}
