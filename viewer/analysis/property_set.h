#pragma once

// The property list of the view window and its figures (property_list.h) as a set of name and
// value texts, and the modeless "Properties" dialog that shows it.

#include <vector>

#include "outside/basecore/sizer_mover.h"
#include "platform/controls/list_ctrl.h"
#include "platform/cstring.h"
#include "platform/dialogs/dialog.h"
#include "platform/gdi/gdi_objects.h"
#include "viewer/core/property_list.h"

class CPropertySet;

/// The resizable "Properties" dialog: the object's name and a two-column list. It deletes
/// itself when its window is gone and then tells its parent with WM_DLGMESSAGE code 28.
class CPropertiesDlg : public CDialog {
public:
    CPropertiesDlg();
    explicit CPropertiesDlg(CWnd* parent);
    /// Modeless, from the dialog's template.
    BOOL Create(CWnd* parent);
    /// Shown in the name field once the window exists.
    void SetObjectName(const CString& name);
    /// Appends a row (nothing before the window exists).
    void AddItem(const CString& name, const CString& value);
    void ClearItems();

    BOOL OnInitDialog() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    CSizerMover m_sizer;
    CFont m_fontList;
    CListCtrl m_list;
    CString m_strObject;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    void OnOK() override { DestroyWindow(); }
    void OnCancel() override { DestroyWindow(); }
    void PostNcDestroy() override;

private:
    friend class CPropertySet;
    /// The set shown here; cleared by the set when it lets the dialog go.
    CPropertySet* m_pSet = nullptr;
    /// A dialog the set replaced closes without telling the parent: only the current one does.
    bool m_bSilent = false;
    bool m_bCreated = false;
};

/// Name and value pairs shown by a Properties dialog made on demand.
class CPropertySet : public CPropertyList {
public:
    CPropertySet() = default;
    /// An open dialog stays open, without its set.
    ~CPropertySet() override;
    CPropertySet(const CPropertySet&) = delete;
    CPropertySet& operator=(const CPropertySet&) = delete;

    /// Makes a new dialog with `parent` and follows it; a dialog shown before is closed.
    void Show(CWnd* parent) override;
    void SetObjectName(const CString& name) override;
    /// Appends a pair; opens the dialog first when there is none.
    void Add(const CString& name, const CString& value) override;
    void Clear() override;
    /// Lists every pair again, first to last; opens the dialog first when there is none.
    void Refresh();

    /// The dialog showing the set, null when none is open.
    CPropertiesDlg* GetDialog() const { return m_pDlg; }

    struct Item {
        CString name;
        CString value;
    };
    std::vector<Item> m_items;
    CPropertiesDlg* m_pDlg = nullptr;
    CWnd* m_pParent = nullptr;
    CString m_strName;

private:
    friend class CPropertiesDlg;
};
