#include "viewer/analysis/property_set.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "platform/dialogs/data_exchange.h"
#include "platform/window/messages.h"
#include "viewer/analysis/analysis_dialog_ids.h"
#include "viewer/core/raster_view_services.h"
#include "viewer/core/viewer_messages.h"

namespace {

/// The view window and its figures make their property lists through their services.
const bool kServiceInstalled = [] {
    GetRasterViewServices().makePropertyList = []() -> std::unique_ptr<CPropertyList> {
        return std::make_unique<CPropertySet>();
    };
    return true;
}();

}  // namespace

// --- the dialog ------------------------------------------------------------------------------

CPropertiesDlg::CPropertiesDlg() : CDialog(IDD_PROPERTIES) {}

CPropertiesDlg::CPropertiesDlg(CWnd* parent) : CDialog(IDD_PROPERTIES, parent) {}

BOOL CPropertiesDlg::Create(CWnd* parent)
{
    m_bCreated = CDialog::Create(IDD_PROPERTIES, parent) != FALSE;
    return m_bCreated ? TRUE : FALSE;
}

void CPropertiesDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_PROP_LIST, m_list);
    DDX_Text(pDX, IDC_PROP_OBJECT, m_strObject);
}

BOOL CPropertiesDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    CString name, value;
    name.LoadString(IDS_PROP_COLUMN_NAME);
    value.LoadString(IDS_PROP_COLUMN_VALUE);
    m_list.InsertColumn(0, name, LVCFMT_LEFT, 100);
    m_list.InsertColumn(1, value, LVCFMT_LEFT, 100);

    // Node coordinates line up in a fixed-pitch face.
    LOGFONT lf{};
    lf.lfHeight = 90;
    lf.lfCharSet = 1;
    lf.lfPitchAndFamily = 0x31;
    std::strncpy(lf.lfFaceName, "Courier New", sizeof(lf.lfFaceName) - 1);
    m_fontList.CreatePointFontIndirect(&lf);
    m_list.SetFont(&m_fontList, TRUE);

    // The list follows the dialog's size.
    m_sizer.Init(this);
    m_sizer.AddControl(IDC_PROP_LIST, CSizerMover::kGrowWidth | CSizerMover::kGrowHeight);
    return TRUE;
}

void CPropertiesDlg::SetObjectName(const CString& name)
{
    m_strObject = name;
    if (GetSafeHwnd()) SetDlgItemText(IDC_PROP_OBJECT, m_strObject);
}

void CPropertiesDlg::AddItem(const CString& name, const CString& value)
{
    if (!GetSafeHwnd() || !m_list.GetSafeHwnd()) return;
    const int row = m_list.InsertItem(m_list.GetItemCount(), name);
    if (row >= 0) m_list.SetItemText(row, 1, value);
}

void CPropertiesDlg::ClearItems()
{
    if (GetSafeHwnd() && m_list.GetSafeHwnd()) m_list.DeleteAllItems();
}

LRESULT CPropertiesDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    const LRESULT result = CDialog::WindowProc(message, wParam, lParam);
    if (message == WM_SIZE) {
        m_sizer.OnSize(LOWORD(lParam), HIWORD(lParam));
    } else if (message == WM_SIZING) {
        m_sizer.OnSizing(UINT(wParam), reinterpret_cast<RECT*>(lParam));
    } else if (message == WM_DESTROY) {
        if (m_pSet) {
            m_pSet->m_pDlg = nullptr;
            m_pSet = nullptr;
        }
        CWnd* parent = m_pParentWnd;
        if (parent && !m_bSilent && ::IsWindow(parent->GetSafeHwnd()))
            parent->SendMessage(WM_DLGMESSAGE, 28, 0);
    }
    return result;
}

void CPropertiesDlg::PostNcDestroy()
{
    if (m_bCreated) delete this;
}

// --- the set ---------------------------------------------------------------------------------

CPropertySet::~CPropertySet()
{
    if (m_pDlg) m_pDlg->m_pSet = nullptr;
}

void CPropertySet::Show(CWnd* parent)
{
    if (CPropertiesDlg* old = m_pDlg) {
        old->m_pSet = nullptr;
        old->m_bSilent = true;
        m_pDlg = nullptr;
        old->DestroyWindow();
    }
    m_pParent = parent;
    auto* dlg = new CPropertiesDlg(parent);
    dlg->SetObjectName(m_strName);
    if (!dlg->Create(parent)) {
        delete dlg;
        return;
    }
    dlg->m_pSet = this;
    m_pDlg = dlg;
    dlg->ShowWindow(SW_SHOW);
}

void CPropertySet::SetObjectName(const CString& name)
{
    m_strName = name;
    if (m_pDlg) m_pDlg->SetObjectName(name);
}

void CPropertySet::Add(const CString& name, const CString& value)
{
    if (!m_pDlg) Show(m_pParent);
    m_items.push_back({name, value});
    if (m_pDlg) m_pDlg->AddItem(name, value);
}

void CPropertySet::Clear()
{
    m_items.clear();
    if (m_pDlg) m_pDlg->ClearItems();
}

void CPropertySet::Refresh()
{
    if (!m_pDlg) Show(m_pParent);
    if (!m_pDlg) return;
    m_pDlg->ClearItems();
    for (const Item& item : m_items) m_pDlg->AddItem(item.name, item.value);
}
