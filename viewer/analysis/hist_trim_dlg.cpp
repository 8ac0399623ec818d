#include "viewer/analysis/hist_trim_dlg.h"

#include <cstdlib>

#include "outside/basecore/stretch_calculator.h"
#include "platform/controls/edit.h"
#include "platform/dialogs/data_exchange.h"
#include "platform/window/messages.h"
#include "platform/window/modal.h"
#include "viewer/analysis/analysis_dialog_ids.h"

namespace {

constexpr const char* kMethods[] = {"Auto", "None", "Double StdDev", "Manual"};
constexpr int kManual = 3;

}  // namespace

CHistTrimDlg::CHistTrimDlg(CWnd* parent) : CDialog(IDD_HIST_TRIM, parent) {}

COLORREF CHistTrimDlg::GetChannelColor(int channel)
{
    switch (channel) {
        case 3:
            return RGB(192, 0, 0);
        case 4:
            return RGB(0, 127, 0);
        case 5:
            return RGB(0, 0, 127);
        default:
            return RGB(0, 0, 0);
    }
}

TuneTrimData* CHistTrimDlg::GetChannelSlot(int channel)
{
    if (channel == 1) return &m_channels[0];
    if (channel >= 3 && channel <= 5) return &m_channels[channel - 2];
    return nullptr;
}

const TuneTrimData* CHistTrimDlg::GetChannelSlot(int channel) const
{
    return const_cast<CHistTrimDlg*>(this)->GetChannelSlot(channel);
}

void CHistTrimDlg::SetColorMode(int mode)
{
    m_nColorMode = mode;
    m_nChannel = mode == 2 ? 3 : 1;
}

void CHistTrimDlg::SetChannelData(const TuneTrimData* data, int channel)
{
    TuneTrimData* slot = GetChannelSlot(channel);
    if (!slot) return;
    if (data) {
        *slot = *data;
        slot->colour = GetChannelColor(channel);
        if (channel == m_nChannel) m_trimCtrl.SetData(slot->histogram);
        if (GetSafeHwnd()) {
            UpdateTrimCtrl();
            UpdateControls();
        }
        return;
    }
    slot->minimum = slot->maximum = slot->lowBound = slot->highBound = 0.0;
    if (channel == m_nChannel) m_trimCtrl.SetData(nullptr);
    if (GetSafeHwnd() && m_cbMethod.GetSafeHwnd()) {
        m_cbMethod.SetCurSel(0);
        OnSelChangeMethod();
    }
}

int CHistTrimDlg::GetMethod() const
{
    return GetChannelSlot(m_nChannel)->method;
}

double CHistTrimDlg::GetHighBound() const
{
    return GetChannelSlot(m_nChannel)->highBound;
}

double CHistTrimDlg::GetLowBound() const
{
    return GetChannelSlot(m_nChannel)->lowBound;
}

void CHistTrimDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_TRIM_METHOD, m_cbMethod);
    DDX_Text(pDX, IDC_TRIM_HIGH, m_strHigh);
    DDX_Text(pDX, IDC_TRIM_LOW, m_strLow);
}

BOOL CHistTrimDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    for (int i = 0; i < 4; ++i) {
        const int item = m_cbMethod.AddString(kMethods[i]);
        m_cbMethod.SetItemData(item, DWORD_PTR(i));
    }
    m_trimCtrl.ReplaceControl(this, IDC_TRIM_CTRL);

    CRect place(78, 13, 0, 0);
    MapDialogRect(&place);
    if (m_toolbar.CreateFromResource(this, IDR_HIST_TRIM_BAR, place.TopLeft())) {
        m_toolbar.SetCheckGroup();
        if (m_nColorMode == 2) {
            m_toolbar.ShowWindow(SW_SHOW);
            m_toolbar.SetChecked(ID_TRIM_RED);
        } else {
            m_toolbar.ShowWindow(SW_HIDE);
        }
    }
    m_nChannel = m_nColorMode == 2 ? 3 : 1;
    m_trimCtrl.SetData(Current().histogram);
    UpdateTrimCtrl();
    UpdateControls();
    return TRUE;
}

void CHistTrimDlg::UpdateTrimCtrl()
{
    const TuneTrimData& data = Current();
    m_trimCtrl.SetTrimData(&data);
    m_trimCtrl.SetLeftSlidePos(data.lowBound);
    m_trimCtrl.SetRightSlidePos(data.highBound);
    if (m_trimCtrl.GetSafeHwnd()) m_trimCtrl.Invalidate(TRUE);
}

void CHistTrimDlg::UpdateControls()
{
    const TuneTrimData& data = Current();
    m_strLow.Format("%g", data.lowBound);
    m_strHigh.Format("%g", data.highBound);
    if (!GetSafeHwnd()) return;
    m_cbMethod.SetCurSel(data.method);
    m_bUpdating = true;
    SetDlgItemText(IDC_TRIM_LOW, m_strLow);
    SetDlgItemText(IDC_TRIM_HIGH, m_strHigh);
    m_bUpdating = false;
}

void CHistTrimDlg::OnSelChangeMethod()
{
    TuneTrimData& data = Current();
    const int item = m_cbMethod.GetCurSel();
    if (item < 0) return;
    data.method = static_cast<int>(m_cbMethod.GetItemData(item));
    double low = data.lowBound, high = data.highBound;
    StretchCalculator(data.dataType, data.complexMode, data.method, data.minimum, data.maximum, data.mean,
                      data.stdDev, data.histogram, data.lowBound, data.highBound, &low, &high);
    data.lowBound = low;
    data.highBound = high;
    if (data.method == kManual) return;
    UpdateTrimCtrl();
    UpdateControls();
}

void CHistTrimDlg::OnTrimSlide(int left, int right)
{
    TuneTrimData& data = Current();
    if (left < 0) left = 0;
    if (right > CHistTrimCtrl::kScale) right = CHistTrimCtrl::kScale;
    const double step = (data.maximum - data.minimum) / CHistTrimCtrl::kScale;
    // The ends of the scale are the layer's own extremes, not a product that may round off.
    data.lowBound = left == 0 ? data.minimum : left * step + data.minimum;
    data.highBound = right >= CHistTrimCtrl::kScale - 1 ? data.maximum : right * step + data.minimum;
    data.method = kManual;
    UpdateControls();
}

void CHistTrimDlg::OnChangeLowEdit()
{
    TuneTrimData& data = Current();
    GetDlgItemText(IDC_TRIM_LOW, m_strLow);
    const double v = std::atof(m_strLow);
    if (data.minimum <= v && v <= data.maximum && v < data.highBound) {
        data.lowBound = v;
        UpdateTrimCtrl();
    }
    data.method = kManual;
    m_cbMethod.SetCurSel(kManual);
}

void CHistTrimDlg::OnChangeHighEdit()
{
    TuneTrimData& data = Current();
    GetDlgItemText(IDC_TRIM_HIGH, m_strHigh);
    const double v = std::atof(m_strHigh);
    if (data.minimum <= v && v <= data.maximum && v > data.lowBound) {
        data.highBound = v;
        UpdateTrimCtrl();
    }
    data.method = kManual;
    m_cbMethod.SetCurSel(kManual);
}

void CHistTrimDlg::SelectChannel(int channel)
{
    m_nChannel = channel;
    m_trimCtrl.SetData(Current().histogram);
    UpdateControls();
    UpdateTrimCtrl();
}

BOOL CHistTrimDlg::OnCommand(WPARAM wParam, LPARAM lParam)
{
    const UINT id = LOWORD(wParam);
    const UINT code = HIWORD(wParam);
    if (id == IDC_TRIM_METHOD && code == CBN_SELCHANGE) {
        OnSelChangeMethod();
        return TRUE;
    }
    if ((id == IDC_TRIM_LOW || id == IDC_TRIM_HIGH) && code == EN_CHANGE) {
        if (m_bUpdating) return TRUE;
        if (id == IDC_TRIM_LOW)
            OnChangeLowEdit();
        else
            OnChangeHighEdit();
        return TRUE;
    }
    if (id == ID_TRIM_RED || id == ID_TRIM_GREEN || id == ID_TRIM_BLUE) {
        // Channels exist only for a composite.
        if (m_nColorMode == 2) SelectChannel(3 + int(id - ID_TRIM_RED));
        return TRUE;
    }
    return CDialog::OnCommand(wParam, lParam);
}

LRESULT CHistTrimDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NOTIFY && lParam) {
        const auto* hdr = reinterpret_cast<const NMHDR*>(lParam);
        if (hdr->idFrom == UINT_PTR(IDC_TRIM_CTRL) && hdr->code == CHistTrimCtrl::kSlideCode) {
            const auto* nm = reinterpret_cast<const NMHISTTRIM*>(lParam);
            OnTrimSlide(nm->left, nm->right);
            return 0;
        }
    }
    return CDialog::WindowProc(message, wParam, lParam);
}

void CHistTrimDlg::OnOK()
{
    const int item = m_cbMethod.GetCurSel();
    if (item >= 0) Current().method = static_cast<int>(m_cbMethod.GetItemData(item));
    CDialog::OnOK();
}
