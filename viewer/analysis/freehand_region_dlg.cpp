#include "viewer/analysis/freehand_region_dlg.h"

#include <cstdlib>

#include "outside/basecore/settings.h"
#include "platform/controls/button.h"
#include "platform/controls/edit.h"
#include "platform/dialogs/dialog_template.h"

namespace {

constexpr const char* kSelectionsKey = "\\Settings\\Viewer\\Selections";

const platform::DialogControl kControls[] = {
    {"Static", "Area", -1, 7, 8, 50, 8, 0},
    {"Edit", "", IDC_FREEHAND_AREA, 66, 6, 170, 12, ES_READONLY | ES_AUTOHSCROLL | WS_BORDER},
    {"Static", "Bound rectangle", -1, 7, 26, 58, 8, 0},
    {"Edit", "", IDC_FREEHAND_RECT, 66, 24, 170, 12, ES_READONLY | ES_AUTOHSCROLL | WS_BORDER},
    {"Button", "Logical", IDC_FREEHAND_LOGICAL, 66, 46, 50, 10, BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP},
    {"Button", "File", IDC_FREEHAND_FILE, 126, 46, 50, 10, BS_AUTORADIOBUTTON},
};
const platform::DialogTemplate kTemplate{
    209, "Freehand region", DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, nullptr, 8, 0, 0, 242,
    66,  kControls};

}  // namespace

CFreehandRegionDlg::CFreehandRegionDlg() : CSelfDeletingDlg(kTemplate) {}

void CFreehandRegionDlg::SetData(double pixelArea, double logicalArea, CRect bounds,
                                 CPointT<double> logicalTopLeft, CPointT<double> logicalBottomRight,
                                 CSelectionInfo* owner)
{
    m_dPixelArea = pixelArea;
    m_dLogicalArea = logicalArea;
    m_fileRect = bounds;
    m_logical[0] = logicalTopLeft.x;
    m_logical[1] = logicalTopLeft.y;
    m_logical[2] = logicalBottomRight.x;
    m_logical[3] = logicalBottomRight.y;
    m_pOwner = owner;
    Refresh();
}

void CFreehandRegionDlg::Clear()
{
    for (CString& text : m_texts) text.Empty();
    if (GetSafeHwnd()) Show();
}

BOOL CFreehandRegionDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    const int stored = std::atoi(GetStringValue(kSelectionsKey, "FreeHandCoordLast"));
    m_nUnits = stored == 1 ? 1 : 0;  // anything else than "File" shows logical units
    Show();
    Refresh();
    return TRUE;
}

void CFreehandRegionDlg::Refresh()
{
    const bool window = GetSafeHwnd() != nullptr;
    if (window) m_nUnits = IsDlgButtonChecked(IDC_FREEHAND_FILE) == BST_CHECKED ? 1 : 0;
    if (m_nUnits < 0) return;
    CString units;
    units.Format("%d", m_nUnits);
    SetStringValue(kSelectionsKey, "FreeHandCoordLast", units);
    if (!window) return;
    m_texts[2].Empty();
    if (m_nUnits == 0) {
        m_texts[0].Format("%g", m_dLogicalArea);
        m_texts[1].Format("(%g, %g) - (%g, %g) = [%g x %g]", m_logical[0], m_logical[1], m_logical[2],
                          m_logical[3], m_logical[2] - m_logical[0], m_logical[3] - m_logical[1]);
    } else {
        m_texts[0].Format("%g", m_dPixelArea);
        m_texts[1].Format("(%d, %d) - (%d, %d) = [%d x %d]", m_fileRect.left, m_fileRect.top,
                          m_fileRect.right, m_fileRect.bottom, m_fileRect.Width(), m_fileRect.Height());
    }
    Show();
}

void CFreehandRegionDlg::Show()
{
    SetDlgItemText(IDC_FREEHAND_AREA, m_texts[0]);
    SetDlgItemText(IDC_FREEHAND_RECT, m_texts[1]);
    CheckRadioButton(IDC_FREEHAND_FILE, IDC_FREEHAND_LOGICAL,
                     m_nUnits == 1 ? IDC_FREEHAND_FILE : IDC_FREEHAND_LOGICAL);
}

BOOL CFreehandRegionDlg::OnCommand(WPARAM wParam, LPARAM lParam)
{
    const int id = LOWORD(wParam);
    if ((id == IDC_FREEHAND_FILE || id == IDC_FREEHAND_LOGICAL) && HIWORD(wParam) == BN_CLICKED) {
        CSelfDeletingDlg::OnCommand(wParam, lParam);
        Refresh();
        return TRUE;
    }
    return CSelfDeletingDlg::OnCommand(wParam, lParam);
}

LRESULT CFreehandRegionDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    const LRESULT result = CSelfDeletingDlg::WindowProc(message, wParam, lParam);
    if (message == WM_DESTROY && m_pOwner) m_pOwner->DetachWnd();
    return result;
}
