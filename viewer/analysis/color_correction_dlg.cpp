#include "viewer/analysis/color_correction_dlg.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "platform/controls/static_ctrl.h"
#include "platform/dialogs/dialog_template.h"
#include "platform/gdi/gdi_objects.h"
#include "platform/resources/module_resources.h"
#include "platform/window/messages.h"
#include "viewer/analysis/stats_grid_resources.h"
#include "viewer/core/viewer_messages.h"

namespace {

constexpr UINT IDS_TAB_ALL = 34085;
constexpr COLORREF kArtBackground = RGB(192, 192, 192);
constexpr DWORD kEdit = ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP;
constexpr DWORD kSlider = TBS_HORZ | TBS_NOTICKS | WS_TABSTOP;

const platform::DialogControl kControls[] = {
    {"SysTabControl32", "", IDC_CC_TABS, 4, 3, 257, 15, TCS_FOCUSNEVER},
    {"Static", "Bright", IDC_CC_BRIGHT_LABEL, 7, 22, 60, 8, SS_LEFT},
    {"msctls_trackbar32", "", IDC_CC_BRIGHT_SLIDER, 4, 31, 130, 14, kSlider},
    {"Edit", "", IDC_CC_BRIGHT_EDIT, 137, 32, 32, 12, kEdit},
    {"Static", "Contrast", IDC_STATIC, 7, 50, 60, 8, SS_LEFT},
    {"msctls_trackbar32", "", IDC_CC_CONTRAST_SLIDER, 4, 59, 130, 14, kSlider},
    {"Edit", "", IDC_CC_CONTRAST_EDIT, 137, 60, 32, 12, kEdit},
    {"Static", "Gamma", IDC_STATIC, 7, 78, 60, 8, SS_LEFT},
    {"msctls_trackbar32", "", IDC_CC_GAMMA_SLIDER, 4, 87, 130, 14, kSlider},
    {"Edit", "", IDC_CC_GAMMA_EDIT, 137, 88, 32, 12, kEdit},
};
const platform::DialogTemplate kTemplate{IDD_COLOR_CORRECTION,
                                         "Color correction",
                                         WS_POPUP | WS_CAPTION | WS_SYSMENU,
                                         WS_EX_TOOLWINDOW,
                                         "MS Sans Serif",
                                         8,
                                         0,
                                         0,
                                         265,
                                         114,
                                         kControls};
// The curves sit right of the sliders, below the tabs (dialog units).
constexpr RECT kCurvesPlace{177, 22, 261, 110};

const platform::StringEntry kStrings[] = {{IDS_TAB_ALL, "All"}};
const platform::ModuleResources kResources{.module = "PaneKit colour correction", .strings = kStrings};
const platform::ModuleResourceRegistration kRegistration(kResources);

CString LoadText(UINT id)
{
    CString text;
    text.LoadString(id);
    return text;
}

bool IsIntegerTail(char c)
{
    return (c >= '0' && c <= '9') || c == '-' || c == '+';
}

bool IsRealTail(char c)
{
    return IsIntegerTail(c) || c == '.' || c == 'e' || c == 'E';
}

CString Format(const char* format, double value)
{
    CString text;
    text.Format(format, value);
    return text;
}

}  // namespace

CColorCorrectionDlg::CColorCorrectionDlg() : CCollapsibleDlg(kTemplate)
{
    Reset();
}

BOOL CColorCorrectionDlg::Create(CWnd* parent)
{
    return CreateStandIn(parent);
}

void CColorCorrectionDlg::BuildTable(double gamma, double brightness, double contrast, BYTE* table)
{
    for (int i = 0; i < 256; ++i) {
        double v = std::pow(i / 255.0, 1.0 / gamma) * 255.0 + brightness;
        if (contrast > 0)
            v = 255.0 / (255.0 - 2.0 * contrast) * (v - contrast);
        else
            v = (255.0 + 2.0 * contrast) * v / 255.0 - contrast;
        // Clamped in double first: a far value must not overflow the conversion.
        const double entry = std::trunc(std::clamp(v + 0.5, 0.0, 255.0));
        table[i] = static_cast<BYTE>(std::isfinite(entry) ? entry : 0.0);
    }
}

void CColorCorrectionDlg::Reset()
{
    for (int c = 0; c < 3; ++c) {
        m_gamma[c] = 1.0;
        m_brightness[c] = 0.0;
        m_contrast[c] = 0.0;
        BuildTable(m_gamma[c], m_brightness[c], m_contrast[c], m_tables.data() + 256 * c);
    }
}

BOOL CColorCorrectionDlg::OnInitDialog()
{
    CCollapsibleDlg::OnInitDialog();
    m_tabs.SubclassWindow(GetDlgItem(IDC_CC_TABS)->GetSafeHwnd());
    m_brightnessSlider.SubclassWindow(GetDlgItem(IDC_CC_BRIGHT_SLIDER)->GetSafeHwnd());
    m_contrastSlider.SubclassWindow(GetDlgItem(IDC_CC_CONTRAST_SLIDER)->GetSafeHwnd());
    m_gammaSlider.SubclassWindow(GetDlgItem(IDC_CC_GAMMA_SLIDER)->GetSafeHwnd());

    m_tabs.ModifyStyle(0, TCS_BUTTONS | TCS_FLATBUTTONS | TCS_HOTTRACK);
    m_tabs.SetExtendedStyle(TCS_EX_FLATSEPARATORS);
    CBitmap bitmap;
    m_tabImages.Create(16, 16, ILC_COLOR | ILC_MASK, 4, 1);
    if (bitmap.LoadBitmap(IDB_CHANNEL_TABS)) m_tabImages.Add(&bitmap, kArtBackground);
    m_tabs.SetImageList(&m_tabImages);
    const UINT names[] = {IDS_TAB_ALL, IDS_CHANNEL_RED, IDS_CHANNEL_GREEN, IDS_CHANNEL_BLUE};
    for (int i = 0; i < 4; ++i) m_tabs.InsertItem(i, LoadText(names[i]), i);
    m_tabs.SetCurSel(0);

    m_bWriting = true;
    m_brightnessSlider.SetRange(-kBrightnessRange, kBrightnessRange, TRUE);
    m_brightnessSlider.SetPos(0);
    SetDlgItemText(IDC_CC_BRIGHT_EDIT, "0");
    m_contrastSlider.SetRange(-kContrastRange, kContrastRange, TRUE);
    m_contrastSlider.SetPos(0);
    SetDlgItemText(IDC_CC_CONTRAST_EDIT, "0");
    m_gammaSlider.SetRange(kGammaMin, kGammaMax);
    SetDlgItemText(IDC_CC_GAMMA_EDIT, "1.0");
    m_bWriting = false;

    CRect place(kCurvesPlace);
    MapDialogRect(&place);
    m_curves.Create("", WS_CHILD | WS_VISIBLE, place, this, IDC_CC_CURVES);
    m_curves.m_pRed = Table(0);
    m_curves.m_pGreen = Table(1);
    m_curves.m_pBlue = Table(2);
    ShowChannel();
    return TRUE;
}

void CColorCorrectionDlg::SetMode(int mode)
{
    if (mode != 1 && mode != 2) return;
    if (mode != m_nMode && GetSafeHwnd()) {
        CRect tabs;
        m_tabs.GetWindowRect(&tabs);
        if (mode == 1) {
            m_tabs.ShowWindow(SW_HIDE);
            ShiftControls(IDC_CC_BRIGHT_LABEL, tabs.Height());
            m_tabs.SetCurSel(0);
        } else {
            ShiftControls(IDC_CC_BRIGHT_LABEL, -tabs.Height());
            m_tabs.ShowWindow(SW_SHOW);
        }
    }
    m_nMode = mode;
    if (GetSafeHwnd()) {
        m_tabs.SetCurSel(std::max(0, m_tabs.GetCurSel()));
        ShowChannel();
    }
}

int CColorCorrectionDlg::CurrentChannel() const
{
    return m_tabs.GetSafeHwnd() ? m_tabs.GetCurSel() - 1 : -1;
}

void CColorCorrectionDlg::SetValue(Value which, double value)
{
    const int channel = CurrentChannel();
    for (int c = 0; c < 3; ++c) {
        if (channel >= 0 && c != channel) continue;
        double& slot = which == Value::Brightness ? m_brightness[c]
                       : which == Value::Contrast ? m_contrast[c]
                                                  : m_gamma[c];
        slot = value;
    }
}

void CColorCorrectionDlg::Apply()
{
    for (int c = 0; c < 3; ++c)
        BuildTable(m_gamma[c], m_brightness[c], m_contrast[c], m_tables.data() + 256 * c);
    if (m_curves.GetSafeHwnd()) m_curves.RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    // The frame reads the three tables during the send.
    if (CWnd* owner = m_pParentWnd ? m_pParentWnd : GetParent())
        owner->SendMessage(WM_DLGMESSAGE, 1, reinterpret_cast<LPARAM>(m_tables.data()));
}

void CColorCorrectionDlg::ShowChannel()
{
    const int c = std::max(0, CurrentChannel());
    m_bWriting = true;
    m_brightnessSlider.SetPos(static_cast<int>(m_brightness[c]));
    m_contrastSlider.SetPos(static_cast<int>(m_contrast[c]));
    m_gammaSlider.SetValue(m_gamma[c]);
    m_bWriting = false;
}

void CColorCorrectionDlg::ShowEdits()
{
    const int c = std::max(0, CurrentChannel());
    m_bWriting = true;
    CString text;
    text.Format("%d", static_cast<int>(m_brightness[c]));
    SetDlgItemText(IDC_CC_BRIGHT_EDIT, text);
    text.Format("%d", static_cast<int>(m_contrast[c]));
    SetDlgItemText(IDC_CC_CONTRAST_EDIT, text);
    SetDlgItemText(IDC_CC_GAMMA_EDIT, Format("%g", m_gamma[c]));
    m_bWriting = false;
}

void CColorCorrectionDlg::OnSlider(CWnd* slider, UINT code, UINT position)
{
    auto* bar = static_cast<CSliderCtrl*>(slider);
    const bool step = code == TB_LINEUP || code == TB_LINEDOWN || code == TB_PAGEUP || code == TB_PAGEDOWN;
    const bool thumb = code == TB_THUMBPOSITION || code == TB_THUMBTRACK;
    if (step || thumb) {
        // The message carries the position as an unsigned word; negative positions come back.
        const int pos = step ? bar->GetPos() : static_cast<int>(static_cast<short>(position));
        CString text;
        m_bWriting = true;
        if (slider == &m_brightnessSlider || slider == &m_contrastSlider) {
            SetValue(slider == &m_brightnessSlider ? Value::Brightness : Value::Contrast, pos);
            text.Format("%d", pos);
            SetDlgItemText(slider == &m_brightnessSlider ? IDC_CC_BRIGHT_EDIT : IDC_CC_CONTRAST_EDIT, text);
        } else if (slider == &m_gammaSlider) {
            const double gamma = m_gammaSlider.PositionToValue(pos);
            SetValue(Value::Gamma, gamma);
            SetDlgItemText(IDC_CC_GAMMA_EDIT, Format("%g", gamma));
        }
        m_bWriting = false;
    }
    Apply();
}

void CColorCorrectionDlg::OnEditChange(int id)
{
    CWnd* edit = GetDlgItem(id);
    // Only what the user types is read; texts the dialog writes are its own values.
    if (m_bWriting || !edit || CWnd::GetFocus() != edit) return;
    CString text;
    edit->GetWindowText(text);
    if (text.IsEmpty()) return;
    const bool gamma = id == IDC_CC_GAMMA_EDIT;
    const char last = text[text.GetLength() - 1];
    if (!(gamma ? IsRealTail(last) : IsIntegerTail(last))) {
        text = text.Left(text.GetLength() - 1);
        m_bWriting = true;
        edit->SetWindowText(text);
        m_bWriting = false;
        return;
    }
    double value = std::atof(text);
    if (gamma) {
        if (!(value >= kGammaMin)) {
            value = kGammaMin;
            m_bWriting = true;
            edit->SetWindowText("0.1");
            m_bWriting = false;
        } else if (value > kGammaMax) {
            value = kGammaMax;
            m_bWriting = true;
            edit->SetWindowText("7.0");
            m_bWriting = false;
        }
        SetValue(Value::Gamma, value);
    } else {
        // A typed value outside the slider's range would reach the contrast formula's pole.
        const int range = id == IDC_CC_BRIGHT_EDIT ? kBrightnessRange : kContrastRange;
        const double limited =
            std::clamp(std::isfinite(value) ? std::trunc(value) : 0.0, double(-range), double(range));
        if (limited != std::trunc(value)) {
            CString shown;
            shown.Format("%d", static_cast<int>(limited));
            m_bWriting = true;
            edit->SetWindowText(shown);
            m_bWriting = false;
        }
        SetValue(id == IDC_CC_BRIGHT_EDIT ? Value::Brightness : Value::Contrast, limited);
    }
    ShowChannel();
    Apply();
}

BOOL CColorCorrectionDlg::OnCommand(WPARAM wParam, LPARAM lParam)
{
    const int id = LOWORD(wParam);
    if (HIWORD(wParam) == EN_CHANGE &&
        (id == IDC_CC_BRIGHT_EDIT || id == IDC_CC_CONTRAST_EDIT || id == IDC_CC_GAMMA_EDIT)) {
        OnEditChange(id);
        return TRUE;
    }
    // Enter and Escape keep the tool window as it is; its close box hides it.
    if (id == IDOK || id == IDCANCEL) return TRUE;
    return CCollapsibleDlg::OnCommand(wParam, lParam);
}

BOOL CColorCorrectionDlg::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header && int(header->idFrom) == IDC_CC_TABS && header->code == TCN_SELCHANGE) {
        if (m_tabs.GetCurSel() == 0) {
            Reset();
            Apply();
        }
        ShowChannel();
        ShowEdits();
        if (pResult) *pResult = 0;
        return TRUE;
    }
    return CCollapsibleDlg::OnNotify(wParam, lParam, pResult);
}

LRESULT CColorCorrectionDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_HSCROLL && lParam) {
        CWnd* slider = CWnd::FromHandle(reinterpret_cast<HWND>(lParam));
        if (slider == &m_brightnessSlider || slider == &m_contrastSlider || slider == &m_gammaSlider) {
            OnSlider(slider, LOWORD(wParam), HIWORD(wParam));
            return 0;
        }
    }
    if (message == WM_CLOSE) {
        // The frame undoes its toggle and hides the window; it stays for the next show.
        if (CWnd* owner = m_pParentWnd ? m_pParentWnd : GetParent()) owner->SendMessage(WM_DLGMESSAGE, 3, 0);
        return 0;
    }
    return CCollapsibleDlg::WindowProc(message, wParam, lParam);
}
