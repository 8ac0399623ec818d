#include "viewer/analysis/hist_bars.h"

#include <cerrno>
#include <cstdlib>

#include "platform/controls/button.h"
#include "platform/controls/list_controls.h"
#include "platform/dialogs/dialog_template.h"
#include "platform/window/modal.h"
#include "viewer/analysis/hist_data.h"
#include "viewer/analysis/hist_frame.h"

namespace {

constexpr DWORD kBarStyle = WS_CHILD | DS_CONTROL;

const platform::DialogControl kLevelsControls[] = {
    {"ComboBox", "", int(IDC_HIST_LEVELS), 2, 2, 60, 120, CBS_DROPDOWN | WS_VSCROLL | WS_TABSTOP},
    {"Button", "Apply", int(IDC_HIST_APPLY), 66, 1, 48, 14, BS_PUSHBUTTON | WS_TABSTOP},
};
const platform::DialogTemplate kLevelsTemplate{219, "", kBarStyle, 0,  nullptr,        8,
                                               0,   0,  117,       16, kLevelsControls};

const platform::DialogControl kGridControls[] = {
    {"Button", "No Grid", int(IDC_HIST_NO_GRID), 2, 3, 48, 10, BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP},
    {"Button", "Normal Grid", int(IDC_HIST_NORMAL_GRID), 52, 3, 56, 10, BS_AUTORADIOBUTTON},
    {"Button", "PDF Grid", int(IDC_HIST_PDF_GRID), 110, 3, 50, 10, BS_AUTORADIOBUTTON},
};
const platform::DialogTemplate kGridTemplate{237, "", kBarStyle, 0, nullptr, 8, 0, 0, 162, 16, kGridControls};

}  // namespace

// --- levels bar ---------------------------------------------------------------------------

CHistLevelsBar::CHistLevelsBar() : CDialog(219u) {}

BOOL CHistLevelsBar::Create(CWnd* parent)
{
    m_pParent = parent;
    return CreateIndirect(kLevelsTemplate, parent);
}

int CHistLevelsBar::SetImageSize(int width, int height)
{
    m_nWidth = width;
    m_nHeight = height;
    return 1;
}

BOOL CHistLevelsBar::OnInitDialog()
{
    CDialog::OnInitDialog();
    if (CWnd* item = GetDlgItem(int(IDC_HIST_LEVELS))) m_combo.SubclassWindow(item->GetSafeHwnd());
    FillLevels();
    if (m_tips.Create(this)) {
        if (CWnd* apply = GetDlgItem(int(IDC_HIST_APPLY))) m_tips.AddTool(apply, IDS_HIST_TIP_APPLY);
        m_tips.Activate(TRUE);
    }
    return TRUE;
}

void CHistLevelsBar::FillLevels()
{
    CComboBox* combo = &m_combo;
    if (!combo->GetSafeHwnd()) return;
    combo->ResetContent();
    for (int k = 5; k <= 13; ++k) {
        CString text;
        text.Format("%d", 1 << k);
        combo->InsertString(k - 5, text);
    }
    combo->SetCurSel(3);
}

void CHistLevelsBar::DisableControls()
{
    for (UINT id : {IDC_HIST_LEVELS, IDC_HIST_APPLY})
        if (CWnd* w = GetDlgItem(int(id))) w->EnableWindow(FALSE);
}

void CHistLevelsBar::EnableControls()
{
    for (UINT id : {IDC_HIST_LEVELS, IDC_HIST_APPLY})
        if (CWnd* w = GetDlgItem(int(id))) w->EnableWindow(TRUE);
}

int CHistLevelsBar::ParseBins(const CString& text)
{
    const char* s = text;
    while (*s == ' ' || *s == '\t') ++s;
    if (*s < '0' || *s > '9') return 0;
    errno = 0;
    char* end = nullptr;
    const long long v = std::strtoll(s, &end, 10);
    while (*end == ' ' || *end == '\t') ++end;
    if (*end || errno == ERANGE || v <= 0 || v > kMaxHistBins) return 0;
    return int(v);
}

void CHistLevelsBar::Apply()
{
    CString text;
    if (CWnd* combo = GetDlgItem(int(IDC_HIST_LEVELS))) combo->GetWindowText(text);
    const int bins = ParseBins(text);
    if (!bins) {
        ::MessageBox(GetSafeHwnd(), "Invalid histogram size value !", "Histogram", MB_OK | MB_ICONERROR);
        return;
    }
    if (m_pParent) m_pParent->SendMessage(WM_HISTCOMMAND, 21, bins);
}

void CHistLevelsBar::OnOK()
{
    Apply();
}

BOOL CHistLevelsBar::OnCommand(WPARAM wParam, LPARAM lParam)
{
    if (LOWORD(wParam) == IDC_HIST_APPLY && HIWORD(wParam) == BN_CLICKED) {
        Apply();
        return TRUE;
    }
    return CDialog::OnCommand(wParam, lParam);
}

// --- grid bar -----------------------------------------------------------------------------

CHistGridBar::CHistGridBar() : CDialog(237u) {}

BOOL CHistGridBar::Create(CWnd* parent)
{
    m_pParent = parent;
    return CreateIndirect(kGridTemplate, parent);
}

BOOL CHistGridBar::OnInitDialog()
{
    CDialog::OnInitDialog();
    m_nSelection = 1;
    ShowSelection();
    if (m_tips.Create(this)) {
        const UINT ids[3] = {IDC_HIST_NO_GRID, IDC_HIST_NORMAL_GRID, IDC_HIST_PDF_GRID};
        const UINT tips[3] = {IDS_HIST_TIP_NO_GRID, IDS_HIST_TIP_NORMAL_GRID, IDS_HIST_TIP_PDF_GRID};
        for (int i = 0; i < 3; ++i)
            if (CWnd* button = GetDlgItem(int(ids[i]))) m_tips.AddTool(button, tips[i]);
        m_tips.Activate(TRUE);
    }
    return TRUE;
}

void CHistGridBar::ShowSelection()
{
    const UINT ids[3] = {IDC_HIST_NO_GRID, IDC_HIST_NORMAL_GRID, IDC_HIST_PDF_GRID};
    for (int i = 0; i < 3; ++i)
        if (GetDlgItem(int(ids[i])))
            CheckDlgButton(int(ids[i]), i == m_nSelection ? BST_CHECKED : BST_UNCHECKED);
}

void CHistGridBar::SetSelection(int selection)
{
    if (selection < 0 || selection > 2) return;
    m_nSelection = selection;
    ShowSelection();
}

void CHistGridBar::EnableGrid(BOOL enable)
{
    const UINT ids[3] = {IDC_HIST_NO_GRID, IDC_HIST_NORMAL_GRID, IDC_HIST_PDF_GRID};
    for (UINT id : ids)
        if (CWnd* w = GetDlgItem(int(id))) w->EnableWindow(enable);
    if (!enable) m_nSelection = 0;
    ShowSelection();
}

BOOL CHistGridBar::OnCommand(WPARAM wParam, LPARAM lParam)
{
    const UINT id = LOWORD(wParam);
    const int selection = id == IDC_HIST_NO_GRID       ? 0
                          : id == IDC_HIST_NORMAL_GRID ? 1
                          : id == IDC_HIST_PDF_GRID    ? 2
                                                       : -1;
    if (selection >= 0 && HIWORD(wParam) == BN_CLICKED) {
        m_nSelection = selection;
        if (m_pParent) m_pParent->SendMessage(WM_HISTCOMMAND, WPARAM(4 + selection), 0);
        return TRUE;
    }
    return CDialog::OnCommand(wParam, lParam);
}

void CHistGridBar::PostNcDestroy()
{
    delete this;
}

BOOL CHistLevelsBar::PreTranslateMessage(MSG* pMsg)
{
    if (m_tips.GetSafeHwnd()) m_tips.RelayEvent(pMsg);
    return CDialog::PreTranslateMessage(pMsg);
}

BOOL CHistGridBar::PreTranslateMessage(MSG* pMsg)
{
    if (m_tips.GetSafeHwnd()) m_tips.RelayEvent(pMsg);
    return CDialog::PreTranslateMessage(pMsg);
}
