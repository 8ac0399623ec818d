#include "outside/huebook/select_huebook_dlg.h"

#include <cstdio>
#include <vector>

#include "outside/huebook/standard_color_maps.h"
#include "platform/controls/button.h"
#include "platform/controls/list_controls.h"
#include "platform/controls/owner_draw.h"
#include "platform/controls/static_ctrl.h"
#include "platform/gdi/gdi.h"
#include "platform/resources/module_resources.h"

namespace {

const platform::DialogControl kControls[] = {
    {"Static", "", IDC_HUEBOOK_FILE, 7, 7, 146, 9, SS_LEFT | SS_NOPREFIX},
    {"ListBox", "", IDC_HUEBOOK_LIST, 7, 19, 146, 72, LBS_NOTIFY | WS_BORDER | WS_VSCROLL | WS_TABSTOP},
    {"Static", "", IDC_HUEBOOK_PREVIEW, 7, 95, 146, 12, SS_OWNERDRAW},
    {"Static", "", IDC_HUEBOOK_RANGE, 7, 109, 146, 9, SS_LEFT | SS_NOPREFIX},
    {"Button", "OK", IDOK, 7, 122, 46, 14, BS_DEFPUSHBUTTON | WS_TABSTOP},
    {"Button", "&Apply", IDC_HUEBOOK_APPLY, 57, 122, 46, 14, BS_PUSHBUTTON | WS_TABSTOP},
    {"Button", "Close", IDCANCEL, 107, 122, 46, 14, BS_PUSHBUTTON | WS_TABSTOP},
};

const platform::DialogTemplate kTemplates[] = {
    {IDD_SELECT_HUEBOOK, "Palette", DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, "MS Sans Serif", 8,
     0, 0, 160, 143, kControls},
};

// The library's resources join the chain when it is loaded and leave it at unload.
constexpr platform::ModuleResources kResources{.module = "huebook", .dialogs = kTemplates};
const platform::ModuleResourceRegistration kRegistration(kResources);

}  // namespace

CSelectHuebookDlg::CSelectHuebookDlg(CWnd* parent) : CDialog(IDD_SELECT_HUEBOOK, parent) {}

CSelectHuebookDlg::~CSelectHuebookDlg() = default;

BOOL CSelectHuebookDlg::OnInitDialog()
{
    auto* list = static_cast<CListBox*>(GetDlgItem(IDC_HUEBOOK_LIST));
    for (int i = 0; i < GetStandartColorMapCount(); ++i) {
        CColorMap map;
        GetStandartColorMap(i, &map);
        list->AddString(map.GetName());
    }
    list->SetCurSel(0);
    return CDialog::OnInitDialog();
}

bool CSelectHuebookDlg::Choose()
{
    const int index = static_cast<CListBox*>(GetDlgItem(IDC_HUEBOOK_LIST))->GetCurSel();
    auto map = std::make_unique<CColorMap>();
    if (!GetStandartColorMap(index, map.get())) return false;
    map->SetMinMax(m_low, m_high);
    m_chosen = std::move(map);
    m_chosenIndex = index;
    if (!m_bModal && m_pParentWnd)
        m_pParentWnd->SendMessage(WM_HUEBOOK_DLGMESSAGE, kHuebookMapChosen,
                                  reinterpret_cast<LPARAM>(m_chosen.get()));
    return true;
}

void CSelectHuebookDlg::OnOK()
{
    if (!Choose()) return;
    if (m_bModal)
        EndDialog(IDOK);
    else
        OnCancel();
}

void CSelectHuebookDlg::OnCancel()
{
    if (m_bModal) {
        EndDialog(IDCANCEL);
        return;
    }
    ShowWindow(SW_HIDE);
    // Posted: the parent destroys this dialog when it handles the message, which must not
    // happen while this handler still runs.
    if (m_pParentWnd && m_pParentWnd->GetSafeHwnd())
        ::PostMessage(m_pParentWnd->GetSafeHwnd(), WM_HUEBOOK_DLGMESSAGE, kHuebookClosed, 0);
    else
        PostMessage(WM_CLOSE);
}

BOOL CSelectHuebookDlg::OnCommand(WPARAM wParam, LPARAM lParam)
{
    const int id = LOWORD(wParam);
    const UINT code = HIWORD(wParam);
    if (id == IDC_HUEBOOK_LIST && code == LBN_SELCHANGE) {
        GetDlgItem(IDC_HUEBOOK_PREVIEW)->Invalidate();
        if (!m_bModal) Choose();
        return TRUE;
    }
    if (id == IDC_HUEBOOK_LIST && code == LBN_DBLCLK) {
        OnOK();
        return TRUE;
    }
    if (id == IDC_HUEBOOK_APPLY && code == BN_CLICKED) {
        Choose();
        return TRUE;
    }
    return CDialog::OnCommand(wParam, lParam);
}

LRESULT CSelectHuebookDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
        case WM_HUEBOOK_INFO:
            if (lParam) ShowInfo(*reinterpret_cast<const SHuebookDlgInfo*>(lParam));
            return 0;
        case WM_DRAWITEM: {
            const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            if (item && item->CtlID == UINT(IDC_HUEBOOK_PREVIEW)) {
                DrawPreview(item->hDC, item->rcItem);
                return TRUE;
            }
            break;
        }
        case WM_CLOSE:
            if (!m_bModal && !m_pParentWnd && !IsWindowVisible()) {  // closed with no parent to do it
                DestroyWindow();
                return 0;
            }
            OnCancel();
            return 0;
        default:
            break;
    }
    return CDialog::WindowProc(message, wParam, lParam);
}

void CSelectHuebookDlg::ShowInfo(const SHuebookDlgInfo& info)
{
    m_low = info.low;
    m_high = info.high;
    SetDlgItemText(IDC_HUEBOOK_FILE, info.fileName);
    char range[96];
    std::snprintf(range, sizeof range, "%g ... %g", info.low, info.high);
    SetDlgItemText(IDC_HUEBOOK_RANGE, range);
    const CColorMap* shown = info.current ? info.current : info.modeMap;
    const int index = shown ? FindStandartColorMap(shown->GetID()) : -1;
    if (index >= 0) static_cast<CListBox*>(GetDlgItem(IDC_HUEBOOK_LIST))->SetCurSel(index);
    GetDlgItem(IDC_HUEBOOK_PREVIEW)->Invalidate();
}

void CSelectHuebookDlg::DrawPreview(HDC dc, const RECT& rect)
{
    CColorMap map;
    if (!GetStandartColorMap(static_cast<CListBox*>(GetDlgItem(IDC_HUEBOOK_LIST))->GetCurSel(), &map)) return;
    BYTE rgb[256 * 3];
    map.CreatePseudoPalette(rgb, map.GetMin(), map.GetMax());
    std::vector<BYTE> bits(256 * 4);
    for (int i = 0; i < 256; ++i) {  // one 32-bit row, blue-green-red order
        bits[4 * i] = rgb[3 * i + 2];
        bits[4 * i + 1] = rgb[3 * i + 1];
        bits[4 * i + 2] = rgb[3 * i];
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = 256;
    info.bmiHeader.biHeight = 1;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    StretchDIBits(dc, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, 0, 0, 256, 1,
                  bits.data(), &info, DIB_RGB_COLORS, SRCCOPY);
}

void CSelectHuebookDlg::PostNcDestroy()
{
    CDialog::PostNcDestroy();
    if (m_selfDeleting) delete this;
}

CSelectHuebookDlg* CreateSelectHuebookDlg(CWnd* parent)
{
    auto* dlg = new CSelectHuebookDlg(parent);
    if (!dlg->Create(IDD_SELECT_HUEBOOK, parent)) {
        delete dlg;
        return nullptr;
    }
    dlg->m_selfDeleting = true;
    dlg->ShowWindow(SW_SHOW);
    return dlg;
}
