#include "viewer/analysis/rgb_channels_dlg.h"

#include "platform/controls/static_ctrl.h"
#include "platform/dialogs/data_exchange.h"
#include "platform/dialogs/dialog_template.h"
#include "platform/resources/module_resources.h"
#include "platform/window/messages.h"
#include "viewer/analysis/rgb_channel_preview.h"
#include "viewer/analysis/stats_grid_resources.h"
#include "viewer/core/raster_view_services.h"

namespace {

constexpr UINT IDS_SAME_SIZE = 34071;
constexpr UINT IDS_ENTER_FILE_NAMES = 34074;

constexpr DWORD kPreviewStyle = SS_LEFT | SS_SUNKEN;

const platform::DialogControl kControls[] = {
    {"Button", "Red Channel", IDC_STATIC, 6, 4, 248, 76, BS_GROUPBOX},
    {"Static", "", IDC_RGB_RED_FILE, 12, 16, 160, 40, SS_LEFT},
    {"Static", "", IDC_RGB_RED_PREVIEW, 180, 13, 66, 62, kPreviewStyle},
    {"Button", "Green Channel", IDC_STATIC, 6, 82, 248, 76, BS_GROUPBOX},
    {"Static", "", IDC_RGB_GREEN_FILE, 12, 94, 160, 40, SS_LEFT},
    {"Static", "", IDC_RGB_GREEN_PREVIEW, 180, 91, 66, 62, kPreviewStyle},
    {"Button", "Blue Channel", IDC_STATIC, 6, 160, 248, 76, BS_GROUPBOX},
    {"Static", "", IDC_RGB_BLUE_FILE, 12, 172, 160, 40, SS_LEFT},
    {"Static", "", IDC_RGB_BLUE_PREVIEW, 180, 169, 66, 62, kPreviewStyle},
    {"Button", "Open", IDOK, 142, 242, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP},
    {"Button", "Cancel", IDCANCEL, 200, 242, 50, 14, BS_PUSHBUTTON | WS_TABSTOP},
};
const platform::DialogTemplate kTemplate{IDD_RGB_CHANNELS,
                                         "RGB Channels",
                                         DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU,
                                         0,
                                         "MS Sans Serif",
                                         8,
                                         0,
                                         0,
                                         260,
                                         261,
                                         kControls};

const platform::StringEntry kStrings[] = {
    {IDS_SAME_SIZE, "Files must be of the same size"},
    {IDS_ENTER_FILE_NAMES, "Enter file names !"},
};
const platform::ModuleResources kResources{.module = "PaneKit RGB channels", .strings = kStrings};
const platform::ModuleResourceRegistration kRegistration(kResources);

constexpr int kPickerIds[3] = {IDC_RGB_RED_FILE, IDC_RGB_GREEN_FILE, IDC_RGB_BLUE_FILE};
constexpr int kPreviewIds[3] = {IDC_RGB_RED_PREVIEW, IDC_RGB_GREEN_PREVIEW, IDC_RGB_BLUE_PREVIEW};
constexpr UINT kChannelNames[3] = {IDS_CHANNEL_RED, IDS_CHANNEL_GREEN, IDS_CHANNEL_BLUE};

/// The RGB view's rectangle save asks for its three files through its services.
bool AskChannelFiles(CWnd* parent, CString (&files)[3])
{
    CRGBChannelsDlg dialog(parent, 0);
    if (dialog.DoModal() != IDOK) return false;
    for (int i = 0; i < 3; ++i) files[i] = dialog.IsDataReady(3 + i);
    // The dialog names all three or none.
    return !files[0].IsEmpty();
}

const bool kServiceInstalled = [] {
    GetRasterViewServices().askChannelFiles = &AskChannelFiles;
    return true;
}();

int SlotOf(int channel)
{
    return channel >= 3 && channel <= 5 ? channel - 3 : -1;
}

CString LoadText(UINT id)
{
    CString text;
    text.LoadString(id);
    return text;
}

}  // namespace

CRGBChannelsDlg::CRGBChannelsDlg(CWnd* parent, int input) : CStandInDlg(kTemplate, parent), m_bInput(input) {}

CString& CRGBChannelsDlg::PresetPath(int slot)
{
    return slot == 0 ? m_strRed : slot == 1 ? m_strGreen : m_strBlue;
}

int& CRGBChannelsDlg::Part(int slot)
{
    return slot == 0 ? m_nRedPart : slot == 1 ? m_nGreenPart : m_nBluePart;
}

void CRGBChannelsDlg::DoDataExchange(CDataExchange* pDX)
{
    CStandInDlg::DoDataExchange(pDX);
    DDX_Control(pDX, IDOK, m_open);
    for (int i = 0; i < 3; ++i) DDX_Control(pDX, kPickerIds[i], m_pickers[i]);
}

bool CRGBChannelsDlg::AllChosen() const
{
    for (const CInFileCtrl& picker : m_pickers)
        if (!picker.GetSafeHwnd() || !picker.DataReady()) return false;
    return true;
}

void CRGBChannelsDlg::EnableOpen()
{
    if (m_open.GetSafeHwnd()) m_open.EnableWindow(!m_bInput || AllChosen() ? TRUE : FALSE);
}

BOOL CRGBChannelsDlg::OnInitDialog()
{
    CStandInDlg::OnInitDialog();
    for (CInFileCtrl& picker : m_pickers) picker.Create(m_bInput, nullptr, nullptr, 0);
    // Green and blue first, then red, as the previews have always been laid.
    for (int slot : {1, 2, 0}) {
        m_previews[slot].Init(this, kPreviewIds[slot], 2);
        m_previews[slot].SetText(LoadText(kChannelNames[slot]));
    }
    m_open.EnableWindow(m_bInput ? FALSE : TRUE);
    for (int slot = 0; slot < 3; ++slot) {
        const CString& path = PresetPath(slot);
        if (path.IsEmpty()) continue;
        m_pickers[slot].SetPathName(path);
        if (Part(slot) != -1) BuildPreview(path, Part(slot), slot);
    }
    EnableOpen();
    return TRUE;
}

void CRGBChannelsDlg::BuildPreview(const CString& path, int component, int slot)
{
    ChannelPreview preview;
    // A file without a preview keeps the channel's text; it still counts as chosen.
    if (!BuildChannelPreview(path, component, 3 + slot, preview)) return;
    if (preview.images == 1)
        m_previews[slot].SetBitmapData(preview.pixels.data(), preview.width, preview.height,
                                       preview.palettes.data());
    else
        m_previews[slot].SetBitmapData(preview.pixels.data(), preview.width, preview.height, preview.images,
                                       preview.palettes.data(), preview.first);
}

void CRGBChannelsDlg::OnFileChosen(int pickerId)
{
    EnableOpen();
    for (int slot = 0; slot < 3; ++slot) {
        if (kPickerIds[slot] != pickerId) continue;
        CInFileCtrl& picker = m_pickers[slot];
        BuildPreview(picker.GetPathName(), picker.FazaMode(), slot);
        // The other channels usually lie beside the red one.
        if (slot == 0) {
            const CString folder = picker.GetOnlyPath();
            for (int other : {1, 2})
                if (m_pickers[other].GetFileName().IsEmpty()) m_pickers[other].SetOnlyPath(folder);
        }
    }
}

void CRGBChannelsDlg::OnOK()
{
    UpdateData(TRUE);
    if (!AllChosen()) {
        MessageBox(LoadText(IDS_ENTER_FILE_NAMES), nullptr, MB_OK);
        return;
    }
    int widths[3], heights[3];
    for (int slot = 0; slot < 3; ++slot) {
        widths[slot] = m_pickers[slot].Width();
        heights[slot] = m_pickers[slot].Height();
        Part(slot) = m_previews[slot].GetImageIndex();
    }
    if (widths[0] != widths[1] || widths[0] != widths[2] || heights[0] != heights[1] ||
        heights[0] != heights[2]) {
        MessageBox(LoadText(IDS_SAME_SIZE), nullptr, MB_OK);
        return;
    }
    for (int slot = 0; slot < 3; ++slot) m_chosen[slot] = m_pickers[slot].GetPathName();
    EndDialog(IDOK);
}

LRESULT CRGBChannelsDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INFILECTRL_CHOSEN) {
        OnFileChosen(int(wParam));
        return 0;
    }
    return CStandInDlg::WindowProc(message, wParam, lParam);
}

CString CRGBChannelsDlg::IsDataReady(int channel) const
{
    const int slot = SlotOf(channel);
    if (slot < 0) return CString();
    if (GetSafeHwnd()) return AllChosen() ? m_pickers[slot].GetPathName() : CString();
    for (const CString& path : m_chosen)
        if (path.IsEmpty()) return CString();
    return m_chosen[slot];
}

int CRGBChannelsDlg::GetChannelFile(int channel) const
{
    const int slot = SlotOf(channel);
    if (slot < 0) return 0;
    return slot == 0 ? m_nRedPart : slot == 1 ? m_nGreenPart : m_nBluePart;
}

void CRGBChannelsDlg::SetChannelPath(const CString& path, int channel)
{
    const int slot = SlotOf(channel);
    if (slot >= 0) PresetPath(slot) = path;
}

void CRGBChannelsDlg::SetChannelComponent(int component, int channel)
{
    const int slot = SlotOf(channel);
    if (slot >= 0) Part(slot) = component;
}
