#pragma once

// The histogram window's two bars: the number of bins and the grid style.

#include "platform/controls/list_controls.h"
#include "platform/controls/tool_tip_ctrl.h"
#include "platform/dialogs/dialog.h"
#include "viewer/core/viewer_messages.h"

/// The bin-count bar: an editable list of powers of two and Apply.
class CHistLevelsBar : public CDialog {
public:
    CHistLevelsBar();
    virtual BOOL Create(CWnd* parent);
    int SetImageSize(int width, int height);
    /// "32" .. "8192" with "256" selected.
    void FillLevels();
    void DisableControls();
    /// Combo box and Apply usable again (after a successful load).
    void EnableControls();
    /// The typed bin count: 1 .. 2^20, or 0 for anything else.
    static int ParseBins(const CString& text);

    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override {}
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    /// The tips see every message first.
    BOOL PreTranslateMessage(MSG* pMsg) override;

    CWnd* m_pParent = nullptr;
    int m_nWidth = 0, m_nHeight = 0;
    CComboBox m_combo;
    CToolTipCtrl m_tips;

private:
    void Apply();
};

/// The grid style bar: "No Grid", "Normal Grid", "PDF Grid".
class CHistGridBar : public CDialog {
public:
    CHistGridBar();
    virtual BOOL Create(CWnd* parent);
    void EnableGrid(BOOL enable);
    /// Checks the button of selection 0..2.
    void SetSelection(int selection);
    int GetSelection() const { return m_nSelection; }

    BOOL OnInitDialog() override;
    void OnOK() override {}
    void OnCancel() override {}
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    /// The tips see every message first.
    BOOL PreTranslateMessage(MSG* pMsg) override;

    CWnd* m_pParent = nullptr;
    CToolTipCtrl m_tips;

protected:
    void PostNcDestroy() override;

private:
    void ShowSelection();
    int m_nSelection = 1;
};

inline constexpr UINT IDC_HIST_LEVELS = 2101;
inline constexpr UINT IDC_HIST_APPLY = 2090;
inline constexpr UINT IDC_HIST_NO_GRID = 2024;
inline constexpr UINT IDC_HIST_NORMAL_GRID = 2026;
inline constexpr UINT IDC_HIST_PDF_GRID = 2067;
