#pragma once

// The colour-map selection dialog: a list of the standard maps with a preview strip.
//
// Modeless (CreateSelectHuebookDlg, as a viewer frame keeps it open beside the picture):
// choosing a map (a click in the list, a double click or Apply) sends the parent
// WM_HUEBOOK_DLGMESSAGE with wParam kHuebookMapChosen and lParam the chosen CColorMap*,
// valid during the send (the receiver copies it). OK applies and closes; closing (Cancel,
// the caption's close box) posts kHuebookClosed and hides the dialog: the parent destroys
// it, or, without a parent, the dialog destroys itself. The object deletes itself when its
// window is destroyed.
//
// Modal (DoModal on an object of one's own): OK ends with IDOK and GetSelectedMap gives
// the choice; nothing is sent.
//
// The parent keeps the dialog current with WM_HUEBOOK_INFO (lParam an SHuebookDlgInfo*,
// read during the send): the file name is shown, the map shown in the list is selected when
// it is a standard one, and a chosen map is stretched over the display range given there.

#include <memory>

#include "outside/huebook/color_map.h"
#include "platform/dialogs/dialog.h"

/// Template and control ids of the dialog (the library's resource range).
inline constexpr UINT IDD_SELECT_HUEBOOK = 62800;
inline constexpr int IDC_HUEBOOK_LIST = 62801;
inline constexpr int IDC_HUEBOOK_FILE = 62802;
inline constexpr int IDC_HUEBOOK_PREVIEW = 62803;
inline constexpr int IDC_HUEBOOK_APPLY = 62804;
inline constexpr int IDC_HUEBOOK_RANGE = 62805;

/// What the dialog receives to show the current layer: sent as lParam of WM_HUEBOOK_INFO.
inline constexpr UINT WM_HUEBOOK_INFO = WM_USER + 700;
struct SHuebookDlgInfo {
    CString fileName;
    const CColorMap* current = nullptr;  ///< the map the picture shows (may be null)
    const CColorMap* modeMap = nullptr;  ///< the map kept for the display mode (may be null)
    int reserved = 0;
    double low = 0.0;  ///< the display range
    double high = 0.0;
};

/// What the dialog tells its parent (wParam: one of the codes below).
inline constexpr UINT WM_HUEBOOK_DLGMESSAGE = WM_USER + 501;
inline constexpr WPARAM kHuebookClosed = 12;
inline constexpr WPARAM kHuebookMapChosen = 20;

class CSelectHuebookDlg : public CDialog {
public:
    explicit CSelectHuebookDlg(CWnd* parent = nullptr);
    ~CSelectHuebookDlg() override;

    /// The last map chosen (stretched over the display range); null before any choice.
    const CColorMap* GetSelectedMap() const { return m_chosen.get(); }
    /// The list index of the last choice; -1 before any.
    int GetSelectedIndex() const { return m_chosenIndex; }
    /// The display range a chosen map is stretched over (0..1 until an info arrives).
    double GetLow() const { return m_low; }
    double GetHigh() const { return m_high; }

    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    friend CSelectHuebookDlg* CreateSelectHuebookDlg(CWnd* parent);
    void PostNcDestroy() override;
    /// Takes the list's selection as the choice; tells the parent when modeless.
    bool Choose();
    void ShowInfo(const SHuebookDlgInfo& info);
    void DrawPreview(HDC dc, const RECT& rect);

    std::unique_ptr<CColorMap> m_chosen;
    int m_chosenIndex = -1;
    double m_low = 0.0;
    double m_high = 1.0;
    bool m_selfDeleting = false;
};

/// Creates the modeless selection dialog owned by `parent` and shows it; null when it could
/// not be made. The dialog frees itself when its window is destroyed.
CSelectHuebookDlg* CreateSelectHuebookDlg(CWnd* parent);
