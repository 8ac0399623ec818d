#include "modules/convolution/user_mask_dlg.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "modules/convolution/convolution_dlg.h"
#include "modules/convolution/convolution_resources.h"
#include "modules/convolution/kernel_job.h"
#include "modules/convolution/kernova_resources.h"
#include "modules/convolution/mask_file.h"
#include "outside/basecore/data_type.h"
#include "outside/basecore/file_helpers.h"
#include "outside/basecore/grid_ctrl.h"
#include "outside/basecore/help_system.h"
#include "outside/basecore/info_file_dialog.h"
#include "outside/basecore/layer_description.h"
#include "outside/basecore/rdp_except.h"
#include "outside/basecore/rdp_layer.h"
#include "platform/controls/button.h"
#include "platform/dialogs/data_exchange.h"
#include "platform/last_error.h"
#include "platform/window/modal.h"

namespace {

constexpr double kRadiansPerDegree = 0.017453292519943295;
constexpr int kF32 = int(DataType::F32);

double TypedAngle(const CString& text)
{
    const double value = std::atof(text);
    if (!std::isfinite(value)) return 0.0;
    return std::fmod(std::trunc(value), 360.0);
}

float KnobAngle(double degrees)
{
    if (!std::isfinite(degrees)) return 0.0f;
    double turn = std::fmod(std::trunc(degrees), 360.0);
    if (turn < 0) turn += 360.0;
    return float(turn);
}

}  // namespace

// clang-format off
BEGIN_MESSAGE_MAP(CUserMaskDlg, CDialog)
    ON_BN_CLICKED(IDC_MASK_VIEW_X, OnShowX)
    ON_BN_CLICKED(IDC_MASK_VIEW_Y, OnShowY)
    ON_BN_CLICKED(IDC_MASK_VIEW_RESULT, OnShowResult)
    ON_CONTROL(EN_CHANGE, IDC_CONV_ANGLE, OnChangeEditAngle)
    ON_CONTROL(EN_CHANGE, IDC_MASK_CAPTION, OnChangeTexts)
    ON_CONTROL(EN_CHANGE, IDC_MASK_DESCRIPTION, OnChangeTexts)
    ON_BN_CLICKED(IDC_MASK_SAVE_AS, SaveAs)
    ON_BN_CLICKED(IDC_MASK_HELP, OnButtonHelp)
    ON_WM_HSCROLL()
    ON_WM_SIZE()
    ON_MESSAGE(WM_MASK_MAKE_WORKING_COPY, OnMakeWorkingCopy)
END_MESSAGE_MAP()
// clang-format on

CUserMaskDlg::CUserMaskDlg(CConvolutionDlg* owner)
    : CDialog(IDD_USER_MASK, owner), m_owner(owner ? owner->GetSafeHwnd() : nullptr)
{
    m_menu.LoadMenu(IDR_MASK_GRID_MENU);
}

CUserMaskDlg::CUserMaskDlg(CConvolutionDlg* owner, int width, int height) : CUserMaskDlg(owner)
{
    m_newWidth = width;
    m_newHeight = height;
}

CUserMaskDlg::~CUserMaskDlg()
{
    CloseWorkingLayers();
}

BOOL CUserMaskDlg::Create(CWnd* owner)
{
    return CDialog::Create(IDD_USER_MASK, owner);
}

void CUserMaskDlg::PostNcDestroy()
{
    delete this;
}

void CUserMaskDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_CONV_SLIDER, m_slider);
    DDX_Control(pDX, IDC_CONV_ANGLE, m_angleEdit);
    DDX_Text(pDX, IDC_CONV_ANGLE, m_strAngle);
    DDX_Text(pDX, IDC_MASK_CAPTION, m_caption);
    DDX_Text(pDX, IDC_MASK_DESCRIPTION, m_description);
}

BOOL CUserMaskDlg::OnInitDialog()
{
    m_writing = true;
    CDialog::OnInitDialog();
    m_writing = false;
    CRect place;
    GetDlgItem(IDC_MASK_GRID_PLACE)->GetWindowRect(&place);
    ScreenToClient(&place);
    GetDlgItem(IDC_MASK_GRID_PLACE)->ShowWindow(SW_HIDE);
    m_grid = std::make_unique<CGridCtrl>(0, 0, 0, 0);
    m_grid->Create(place, this, IDC_MASK_GRID, WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP);
    CheckRadioButton(IDC_MASK_VIEW_X, IDC_MASK_VIEW_RESULT, IDC_MASK_VIEW_X);

    m_slider.SetRange(0, 359, FALSE);
    m_slider.SendMessage(TBM_SETPOS, TRUE, 0);
    m_slider.SetZeroAngle(90);
    m_slider.SetInverse(false);
    m_slider.SetOwner(this);
    m_slider.EnableSlider(true);

    // The table grows with the window; what is right of it or below it keeps its distance
    // from the right or the bottom edge.
    GetClientRect(&m_initialClient);
    for (CWnd* child = GetWindow(GW_CHILD); child; child = child->GetWindow(GW_HWNDNEXT)) {
        const int id = child->GetDlgCtrlID();
        if (id == IDC_MASK_GRID_PLACE) continue;
        CRect r;
        child->GetWindowRect(&r);
        ScreenToClient(&r);
        const bool grid = id == IDC_MASK_GRID;
        m_anchors.push_back(
            {id, r, !grid && r.left >= place.right, !grid && r.top >= place.bottom, grid, grid});
    }
    return TRUE;
}

void CUserMaskDlg::OnSize(UINT type, int cx, int cy)
{
    CDialog::OnSize(type, cx, cy);
    if (m_anchors.empty() || cx <= 0 || cy <= 0) return;
    const int dx = std::max(0, cx - m_initialClient.Width());
    const int dy = std::max(0, cy - m_initialClient.Height());
    for (const Anchor& a : m_anchors) {
        CWnd* child = GetDlgItem(a.id);
        if (!child) continue;
        CRect r = a.rect;
        if (a.moveX) r.OffsetRect(dx, 0);
        if (a.moveY) r.OffsetRect(0, dy);
        if (a.growX) r.right += dx;
        if (a.growY) r.bottom += dy;
        child->MoveWindow(&r);
    }
}

// ---- the working copy ---------------------------------------------------------------------

void CUserMaskDlg::CloseWorkingLayers()
{
    for (int j = 0; j < 2; ++j) {
        if (m_layers[j]) m_layers[j]->CloseLayer();
        m_layers[j].reset();
        m_rows[j] = nullptr;
    }
}

void CUserMaskDlg::RemoveWorkingCopy()
{
    if (m_grid) m_grid->DeleteAllItems();
    CloseWorkingLayers();
    m_haveWorkingCopy = 0;
}

const CRDPLayer* CUserMaskDlg::WorkingLayer(int index) const
{
    return m_haveWorkingCopy && index >= 0 && index < m_layerCount ? m_layers[index].get() : nullptr;
}

int CUserMaskDlg::LoadMask(const char* path)
{
    try {
        const int layers = CRDPLayer::GetNumLayer(path);
        if (layers != 1 && layers != 2) return 0;
        std::unique_ptr<CRDPLayer> sources[2];
        for (int j = 0; j < layers; ++j) {
            sources[j] = std::make_unique<CRDPLayer>();
            if (!sources[j]->OpenLayerEx(path, kOpenReadOnly, j)) return 0;
        }
        for (int j = 1; j < layers; ++j)
            if (sources[j]->Width() != sources[0]->Width() || sources[j]->Height() != sources[0]->Height())
                return 0;
        RemoveWorkingCopy();
        m_layerCount = layers;
        SetMaskType(layers);
        CLayerDescription::GetDescriptionTag(path, CLayerDescription::kDescriptionTag, m_description);
        CLayerDescription::GetDescriptionTag(path, CLayerDescription::kCaptionTag, m_caption);
        m_writing = true;
        UpdateData(FALSE);
        m_writing = false;
        m_width = sources[0]->Width();
        m_height = sources[0]->Height();
        m_type = sources[0]->Type();
        for (int j = 0; j < layers; ++j) m_sources[j] = std::move(sources[j]);
        CreateWorkingCopy(layers);
        for (auto& source : m_sources) {
            if (source) source->CloseLayer();
            source.reset();
        }
        if (!m_haveWorkingCopy) return 0;
        ShowLayer(m_view == 1 && layers == 2 ? 1 : 0);
        return 1;
    } catch (CRDPExcept* e) {
        e->Delete();
    } catch (...) {
    }
    return 0;
}

void CUserMaskDlg::CreateNewMask(int width, int height, int layers)
{
    RemoveWorkingCopy();
    m_newWidth = width;
    m_newHeight = height;
    m_width = width;
    m_height = height;
    m_type = kF32;
    m_layerCount = layers == 2 ? 2 : 1;
    CreateWorkingCopy(m_layerCount);
    ShowLayer(0);
}

void CUserMaskDlg::CreateWorkingCopy(int layers)
{
    m_haveWorkingCopy = 0;
    if (m_width <= 0 || m_height <= 0) return;
    // Scratch layers: files without a name, which go with the editor, or with its process
    // when that is killed, and never reach a file of the user's until a save.
    for (int j = 0; j < layers; ++j) {
        m_layers[j] = std::make_unique<CRDPLayer>();
        m_rows[j] = m_sources[j] ? m_layers[j]->CreateLayer(m_sources[j].get())
                                 : m_layers[j]->CreateTempLayer(m_width, m_height, m_type);
        if (!m_rows[j]) {
            RemoveWorkingCopy();
            return;
        }
    }
    m_haveWorkingCopy = 1;
}

LRESULT CUserMaskDlg::OnMakeWorkingCopy(WPARAM wParam, LPARAM)
{
    if (wParam == 0 && !m_haveWorkingCopy) CreateWorkingCopy(m_layerCount);
    return 0;
}

// ---- views ----------------------------------------------------------------------------------

void CUserMaskDlg::ShowLayer(int index)
{
    if (!m_grid || !m_haveWorkingCopy || index < 0 || index >= m_layerCount || !m_rows[index]) return;
    m_view = index;
    CheckRadioButton(IDC_MASK_VIEW_X, IDC_MASK_VIEW_RESULT, index == 0 ? IDC_MASK_VIEW_X : IDC_MASK_VIEW_Y);
    m_grid->SetVirtualMode(FALSE);
    m_grid->SetLayerMode(1);
    m_grid->SetTextBkColor(kGridDefaultColour);
    m_grid->InitLayerMode(m_rows[index], m_type, 0, m_width, m_height, m_layers[index].get());
    m_grid->AutoSizeColumn(0, 3, 1);
    m_grid->Refresh();
}

void CUserMaskDlg::OnShowX()
{
    ShowLayer(0);
}

void CUserMaskDlg::OnShowY()
{
    ShowLayer(1);
}

void CUserMaskDlg::OnShowResult()
{
    if (!m_grid || !m_haveWorkingCopy) return;
    m_view = 2;
    CheckRadioButton(IDC_MASK_VIEW_X, IDC_MASK_VIEW_RESULT, IDC_MASK_VIEW_RESULT);
    m_grid->SetLayerMode(0);
    m_grid->SetVirtualMode(TRUE);
    m_grid->SetRowCount(m_height + 1);
    m_grid->SetColumnCount(m_width + 1);
    m_grid->SetFixedRowCount(1);
    m_grid->SetFixedColumnCount(1);
    m_grid->SetTextBkColor(GetSysColor(COLOR_SCROLLBAR));
    m_grid->Refresh();
}

double CUserMaskDlg::ResultValue(int row, int col) const
{
    if (!m_haveWorkingCopy || row < 0 || col < 0 || row >= m_height || col >= m_width) return 0.0;
    const double a = m_angle * kRadiansPerDegree;
    const double x = float(m_layers[0]->GetValue(col, row));
    const double y = m_layerCount == 2 ? float(m_layers[1]->GetValue(col, row)) : 0.0;
    return std::sin(a) * y + std::cos(a) * x;
}

BOOL CUserMaskDlg::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    auto* note = reinterpret_cast<NM_GRIDVIEW*>(lParam);
    if (!note || int(note->hdr.idFrom) != IDC_MASK_GRID || !m_haveWorkingCopy)
        return CDialog::OnNotify(wParam, lParam, pResult);
    switch (int(note->hdr.code)) {
        case int(NM_RCLICK): {
            CMenu* popup = m_menu.GetSubMenu(0);
            const CPoint at = note->data ? *static_cast<CPoint*>(note->data) : CPoint(0, 0);
            const UINT command = popup
                                     ? UINT(popup->TrackPopupMenu(
                                           TPM_RIGHTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY, at.x, at.y, this))
                                     : 0;
            if (command == ID_MASK_GRID_COPY) m_grid->OnEditCopy();
            if (command == ID_MASK_GRID_PASTE && m_grid->OnEditPaste() && m_view != 2) m_modified = 1;
            break;
        }
        case GVN_ENDLABELEDIT:
            m_modified = 1;
            break;
        case GVN_GETDISPINFO: {
            auto* text = static_cast<CString*>(note->data);
            if (!text) break;
            const int row = note->iRow, col = note->iColumn;
            if (row == 0 && col == 0)
                *text = "X/Y";
            else if (row == 0)
                text->Format("%d", col - 1);
            else if (col == 0)
                text->Format("%d", row - 1);
            else
                text->Format("%g", ResultValue(row - 1, col - 1));
            break;
        }
        case GVN_QUERYEDIT:
            // The result view is computed: it cannot be typed into.
            if (note->data) *static_cast<BOOL*>(note->data) = m_view != 2;
            break;
        default:
            return CDialog::OnNotify(wParam, lParam, pResult);
    }
    *pResult = 0;
    return TRUE;
}

// ---- the angle ------------------------------------------------------------------------------

void CUserMaskDlg::SetEditorAngle(double degrees)
{
    if (!std::isfinite(degrees)) degrees = 0.0;
    m_angle = degrees;
    m_strAngle.Format("%g", degrees);
    m_positiveAngle = degrees >= 0 ? 1 : 0;
    m_slider.SetAngle(KnobAngle(degrees));
    m_writing = true;
    UpdateData(FALSE);
    m_writing = false;
}

void CUserMaskDlg::SetMaskType(int layers)
{
    if (layers != 1) return;
    for (int id : {IDC_MASK_VIEW_X, IDC_MASK_VIEW_Y, IDC_MASK_VIEW_RESULT})
        if (CWnd* radio = GetDlgItem(id)) radio->EnableWindow(FALSE);
    m_angle = 0.0;
    m_strAngle.Format("%f", 0.0);
    m_angleEdit.EnableWindow(FALSE);
    m_slider.EnableSlider(false);
    m_writing = true;
    UpdateData(FALSE);
    m_writing = false;
}

void CUserMaskDlg::OnChangeEditAngle()
{
    if (m_writing || !m_grid) return;
    UpdateData(TRUE);
    m_modified = 1;
    m_angle = TypedAngle(m_strAngle);
    if (m_angle == 0.0) {
        m_angle = 0.0;
        m_strAngle.Format("%g", 0.0);
        m_writing = true;
        UpdateData(FALSE);
        m_writing = false;
    }
    m_positiveAngle = m_angle >= 0 ? 1 : 0;
    m_slider.SetAngle(float(m_angle >= 0 ? m_angle : m_angle + 360.0));
}

void CUserMaskDlg::OnHScroll(UINT code, UINT pos, CScrollBar* bar)
{
    CDialog::OnHScroll(code, pos, bar);
    if (reinterpret_cast<CWnd*>(bar) != static_cast<CWnd*>(&m_slider)) return;
    if (!m_slider.IsSliderEnabled()) {
        m_slider.SetAngle(KnobAngle(m_angle));
        return;
    }
    m_modified = 1;
    const int position = m_slider.GetPos();
    m_angle = m_positiveAngle ? position : position - 360;
    m_strAngle.Format("%g", m_angle);
    m_writing = true;
    UpdateData(FALSE);
    m_writing = false;
    if (m_grid) m_grid->Refresh();
}

void CUserMaskDlg::OnChangeTexts()
{
    if (m_writing) return;
    UpdateData(TRUE);
    m_modified = 1;
}

void CUserMaskDlg::OnButtonHelp()
{
    CallHelpSystem(this, LoadKernovaText(IDS_MASK_HELP_PAGE));
}

// ---- saving ----------------------------------------------------------------------------------

void CUserMaskDlg::SendToOwner(WPARAM code, LPARAM data)
{
    if (m_owner && ::IsWindow(m_owner)) ::SendMessage(m_owner, WM_KERNEL_PREVIEW, code, data);
}

bool CUserMaskDlg::CommitWorkingCopy(const CString& target)
{
    if (m_grid) m_grid->EndEditing(TRUE);
    CRDPLayer* layers[2] = {m_layers[0].get(), m_layers[1].get()};
    ::SetLastError(ERROR_INVALID_PARAMETER);
    if (!target.IsEmpty() && WriteMaskFile(target, layers, m_layerCount, m_caption, m_description))
        return true;
    const DWORD error = GetLastError();
    MessageBox(GetErrorMessage(error ? error : ERROR_INVALID_PARAMETER), LoadKernovaText(IDS_CONV_CAPTION),
               MB_OK | MB_ICONEXCLAMATION);
    return false;
}

int CUserMaskDlg::SaveChanges()
{
    if (!m_modified) {
        // A new mask saved with Save As and not changed since is complete in its file: the
        // library still has to hear of it, but there is nothing to ask.
        if (m_isNew && m_savedAsUnannounced) AnnounceSaved(m_maskPath);
        return 1;
    }
    const int answer = MessageBox(LoadKernovaText(IDS_MASK_SAVE_QUESTION), LoadKernovaText(IDS_CONV_CAPTION),
                                  MB_YESNOCANCEL | MB_ICONQUESTION);
    if (answer == IDCANCEL) return 0;
    if (answer == IDNO) {
        RemoveWorkingCopy();
        return 1;
    }
    CString target = m_maskPath;
    if (target.IsEmpty()) {
        CInfoFileDialog dialog(FALSE, "rdp", nullptr, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_SHAREAWARE,
                               LoadKernovaText(IDS_MASK_FILTER), this);
        dialog.m_ofn.lpstrInitialDir = m_kernelsDir;
        // No name chosen: back to the editor, nothing is lost.
        if (dialog.DoModal() != IDOK) return 0;
        target = dialog.GetPathName();
    }
    if (!m_haveWorkingCopy || !CommitWorkingCopy(target)) return 0;
    RemoveWorkingCopy();
    AnnounceSaved(target);
    return 1;
}

void CUserMaskDlg::AnnounceSaved(CString target)
{
    m_savedAsUnannounced = false;
    if (CConvolutionDlg* owner = m_owner && ::IsWindow(m_owner)
                                     ? dynamic_cast<CConvolutionDlg*>(CWnd::FromHandle(m_owner))
                                     : nullptr)
        owner->SetAngle(m_angle);
    SendToOwner(m_isNew ? kMaskCreated : kMaskCaptionChanged, reinterpret_cast<LPARAM>(&target));
    SendToOwner(kMaskSaved, 0);
}

void CUserMaskDlg::SaveAs()
{
    UpdateData(TRUE);
    CInfoFileDialog dialog(FALSE, "rdp", m_maskPath, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_SHAREAWARE,
                           LoadKernovaText(IDS_MASK_FILTER), this);
    if (dialog.DoModal() != IDOK || !m_haveWorkingCopy) return;
    const CString chosen = dialog.GetPathName();
    if (!CommitWorkingCopy(chosen)) return;
    SendToOwner(kMaskCaptionChanged, 0);
    const int isNew = m_isNew;
    const int view = m_view;
    if (!LoadMask(chosen)) {
        // The saved file is complete; only the fresh working copy failed.
        RemoveWorkingCopy();
    }
    // Editing goes on in the saved file: OK saves there, without asking for a name again,
    // and asks nothing while the mask stays as it was saved.
    m_maskPath = chosen;
    m_modified = 0;
    m_isNew = isNew;
    m_savedAsUnannounced = isNew != 0;
    if (view == 2) OnShowResult();
}

BOOL CUserMaskDlg::PreTranslateMessage(MSG* msg)
{
    // Enter and Escape in a cell being typed into end that cell's edit, not the editor.
    CWnd* edit = m_grid ? m_grid->GetInPlaceEdit() : nullptr;
    if (msg->message == WM_KEYDOWN && (msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE) && edit &&
        msg->hwnd == edit->GetSafeHwnd())
        return FALSE;
    return CDialog::PreTranslateMessage(msg);
}

void CUserMaskDlg::OnOK()
{
    UpdateData(TRUE);
    if (SaveChanges() != 1) return;
    RemoveWorkingCopy();
    DestroyWindow();
}

void CUserMaskDlg::OnCancel()
{
    RemoveWorkingCopy();
    DestroyWindow();
}
