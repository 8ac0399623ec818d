#pragma once

// The user action list editor: shows the list as a tree below the "MainMenu" record, adds
// actions to the list of the selected item and saves the whole tree. Run modally from the
// command window; the tree is read from the registry each time the editor opens.

#include "app/user_actions.h"
#include "platform/controls/list_controls.h"
#include "platform/controls/tree_ctrl.h"
#include "platform/dialogs/dialog.h"

/// Asks which kind of action to add: six radio buttons, none chosen at first.
class CNewActionDlg : public CDialog {
public:
    explicit CNewActionDlg(CWnd* pParent = nullptr);

    /// The chosen kind 0 to 5 after OK; -1 when none was chosen.
    int m_nKind = -1;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
};

class CActionListDlg : public CDialog {
public:
    explicit CActionListDlg(CWnd* pParent = nullptr);

    /// The top record "MainMenu": a list whose items the tree shows.
    CUserAction m_root;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    void OnSelchangedTree(NMHDR* pNMHDR, LRESULT* pResult);
    void OnNewAction();
    void OnSave();

    DECLARE_MESSAGE_MAP()

private:
    /// Inserts an item per record of list below parent, descending into nested lists.
    void FillTree(const CUserActionList& list, HTREEITEM parent);
    void ShowRecord(const CUserAction* action);

    CTreeCtrl m_tree;
    CComboBox m_comboModifier;
    CComboBox m_comboType;
    HTREEITEM m_hRoot = nullptr;
};
