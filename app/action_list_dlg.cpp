#include "app/action_list_dlg.h"

#include <iterator>
#include <memory>
#include <span>

#include "app/preferences_resources.h"
#include "platform/dialogs/data_exchange.h"

namespace {

constexpr const char* kRootName = "MainMenu";
constexpr const char* kRootText = "Главное меню";

struct ComboItem {
    const char* text;
    DWORD value;
};

constexpr ComboItem kModifiers[] = {
    {"None", 0},
    {"Shift", 1},
    {"Ctrl", 2},
    {"Alt", 4},
};

constexpr ComboItem kTypes[] = {
    {"Plain action", kActionPlain}, {"Registered action", kActionRegistered}, {"DLL call", kActionDllCall},
    {"COM call", kActionComCall},   {"Call from shell", kActionShellDoc},     {"Custom list", kActionList},
};

/// What a new action of each kind of the new-action dialog starts as.
struct NewKind {
    const char* text;
    DWORD type;
    std::unique_ptr<CUserActionPayload> (*payload)();
};

template <class Payload>
std::unique_ptr<CUserActionPayload> Make()
{
    return std::make_unique<Payload>();
}

const NewKind kNewKinds[] = {
    {"", kActionPlain, nullptr},
    {"New Registered Action", kActionRegistered, Make<CRegisteredActionPayload>},
    {"New DLL Call", kActionDllCall, Make<CDllCallPayload>},
    {"New COM Call", kActionComCall, Make<CComCallPayload>},
    {"New call from shell", kActionShellDoc, Make<CShellDocPayload>},
    {"New Custom List", kActionList, Make<CUserActionList>},
};

/// The label of a record's tree item: its text, or its name when it has no text (a plain
/// action starts without one), so that no item shows as a blank row.
CString ItemLabel(const CUserAction& action)
{
    return action.m_strText.IsEmpty() ? action.m_strName : action.m_strText;
}

void FillCombo(CComboBox& combo, std::span<const ComboItem> items)
{
    combo.ResetContent();
    for (const ComboItem& item : items) {
        const int index = combo.AddString(item.text);
        if (index >= 0) combo.SetItemData(index, item.value);
    }
}

/// Selects the first item whose datum is value; none when no item has it.
void SelectByData(CComboBox& combo, DWORD value)
{
    for (int i = 0; i < combo.GetCount(); ++i)
        if (combo.GetItemData(i) == value) {
            combo.SetCurSel(i);
            return;
        }
    combo.SetCurSel(-1);
}

}  // namespace

// --- new action ---------------------------------------------------------------------------------------

CNewActionDlg::CNewActionDlg(CWnd* pParent) : CDialog(IDD_NEW_ACTION, pParent)
{
    PreferencesResourcesInstance();
}

void CNewActionDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Radio(pDX, IDC_NEW_ACTION_KIND_FIRST, m_nKind);
}

// --- editor -------------------------------------------------------------------------------------------

BEGIN_MESSAGE_MAP(CActionListDlg, CDialog)
    ON_NOTIFY(TVN_SELCHANGED, IDC_ACTION_TREE, OnSelchangedTree)
    ON_BN_CLICKED(IDC_ACTION_NEW, OnNewAction)
    ON_BN_CLICKED(IDC_ACTION_SAVE, OnSave)
END_MESSAGE_MAP()

CActionListDlg::CActionListDlg(CWnd* pParent) : CDialog(IDD_ACTION_LIST, pParent)
{
    PreferencesResourcesInstance();
}

void CActionListDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_ACTION_TREE, m_tree);
    DDX_Control(pDX, IDC_ACTION_MODIFIER, m_comboModifier);
    DDX_Control(pDX, IDC_ACTION_TYPE, m_comboType);
}

BOOL CActionListDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    FillCombo(m_comboModifier, kModifiers);
    FillCombo(m_comboType, kTypes);

    m_root = CUserAction();
    m_root.m_strName = kRootName;
    m_root.m_strText = kRootText;
    m_root.m_dwType = kActionList;
    m_root.m_pPayload = std::make_unique<CUserActionList>();
    m_hRoot = m_tree.InsertItem(kRootText, TVI_ROOT);
    m_tree.SetItemData(m_hRoot, reinterpret_cast<DWORD_PTR>(&m_root));

    HKEY key = nullptr;
    if (::RegOpenKeyEx(HKEY_CURRENT_USER, UserActionRootKey() + "\\" + kRootName, 0, KEY_READ, &key) ==
        ERROR_SUCCESS) {
        m_root.Load(key);
        ::RegCloseKey(key);
        if (const CUserActionList* list = m_root.GetList()) FillTree(*list, m_hRoot);
    }
    m_tree.Expand(m_hRoot, TVE_EXPAND);
    return TRUE;
}

void CActionListDlg::FillTree(const CUserActionList& list, HTREEITEM parent)
{
    for (const CUserAction& action : list.Items()) {
        const HTREEITEM item = m_tree.InsertItem(ItemLabel(action), parent);
        m_tree.SetItemData(item, reinterpret_cast<DWORD_PTR>(&action));
        if (const CUserActionList* nested = action.GetList()) {
            FillTree(*nested, item);
            m_tree.Expand(item, TVE_EXPAND);
        }
    }
}

void CActionListDlg::ShowRecord(const CUserAction* action)
{
    if (!action) return;
    SetDlgItemText(IDC_ACTION_TEXT, action->m_strText);
    SetDlgItemText(IDC_ACTION_DESCRIPTION, action->m_strDescription);
    SetDlgItemText(IDC_ACTION_PROVIDER, action->m_strProvider);
    SetDlgItemText(IDC_ACTION_NAME, action->m_strName);
    SelectByData(m_comboModifier, action->m_dwModifier);
    SelectByData(m_comboType, action->m_dwType);
}

void CActionListDlg::OnSelchangedTree(NMHDR* pNMHDR, LRESULT* pResult)
{
    const auto* info = reinterpret_cast<const NMTREEVIEW*>(pNMHDR);
    if (info && info->itemNew.hItem)
        ShowRecord(reinterpret_cast<const CUserAction*>(m_tree.GetItemData(info->itemNew.hItem)));
    if (pResult) *pResult = 0;
}

void CActionListDlg::OnNewAction()
{
    HTREEITEM ownerItem = m_tree.GetSelectedItem();
    if (!ownerItem) return;
    auto* owner = reinterpret_cast<CUserAction*>(m_tree.GetItemData(ownerItem));
    if (!owner || !owner->GetList()) {
        ownerItem = m_tree.GetParentItem(ownerItem);
        if (!ownerItem) return;
        owner = reinterpret_cast<CUserAction*>(m_tree.GetItemData(ownerItem));
        if (!owner || !owner->GetList()) return;
    }
    CUserActionList& list = *owner->GetList();

    CNewActionDlg dialog(this);
    if (dialog.DoModal() != IDOK) return;
    if (dialog.m_nKind < 0 || dialog.m_nKind >= static_cast<int>(std::size(kNewKinds))) return;
    const NewKind& kind = kNewKinds[dialog.m_nKind];

    CUserAction action;
    action.m_strText = kind.text;
    action.m_dwType = kind.type;
    if (kind.payload) action.m_pPayload = kind.payload();
    // Names are unique within their own list only.
    CString name = owner->m_strName;
    do {
        name = NextName(name);
    } while (!IsNameFree(list, name));
    action.m_strName = name;

    CUserAction& stored = list.Add(std::move(action));
    const HTREEITEM item = m_tree.InsertItem(ItemLabel(stored), ownerItem);
    m_tree.SetItemData(item, reinterpret_cast<DWORD_PTR>(&stored));
    m_tree.Expand(ownerItem, TVE_EXPAND);
}

void CActionListDlg::OnSave()
{
    HKEY key = nullptr;
    if (::RegCreateKeyEx(HKEY_CURRENT_USER, UserActionRootKey(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                         KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    m_root.Save(key);
    ::RegCloseKey(key);
}
