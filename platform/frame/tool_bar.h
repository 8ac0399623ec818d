#pragma once

// The tool bar: a row of buttons drawn from an image list (one image per button,
// separators take none). A click sends WM_COMMAND with the button's id to the owner
// (the frame); a drop-down button sends TBN_DROPDOWN instead (with TBSTYLE_EX_DRAWDDARROWS
// only a press on its arrow does, the rest of it clicks). Tool tips are the text after
// "\n" of the command's string. States refresh on the idle pass like menu items.

#include <memory>
#include <vector>

#include "platform/frame/control_bar.h"

class CImageList;

constexpr DWORD TBSTYLE_BUTTON = 0x0000;
constexpr DWORD TBSTYLE_SEP = 0x0001;
constexpr DWORD TBSTYLE_CHECK = 0x0002;
constexpr DWORD TBSTYLE_GROUP = 0x0004;
constexpr DWORD TBSTYLE_CHECKGROUP = TBSTYLE_GROUP | TBSTYLE_CHECK;
constexpr DWORD TBSTYLE_DROPDOWN = 0x0008;
constexpr DWORD TBSTYLE_AUTOSIZE = 0x0010;
constexpr DWORD TBSTYLE_TOOLTIPS = 0x0100;
constexpr DWORD TBSTYLE_WRAPABLE = 0x0200;
constexpr DWORD TBSTYLE_FLAT = 0x0800;
constexpr DWORD TBSTYLE_LIST = 0x1000;
constexpr DWORD TBSTYLE_TRANSPARENT = 0x8000;
constexpr DWORD TBSTYLE_EX_DRAWDDARROWS = 0x0001;

constexpr BYTE TBSTATE_CHECKED = 0x01;
constexpr BYTE TBSTATE_PRESSED = 0x02;
constexpr BYTE TBSTATE_ENABLED = 0x04;
constexpr BYTE TBSTATE_HIDDEN = 0x08;
constexpr BYTE TBSTATE_INDETERMINATE = 0x10;
constexpr BYTE TBSTATE_WRAP = 0x20;

// Button styles as the bar reports them: the style in the low word, the state in the high
// word, with "enabled" turned round into "disabled".
constexpr UINT TBBS_BUTTON = TBSTYLE_BUTTON;
constexpr UINT TBBS_SEPARATOR = TBSTYLE_SEP;
constexpr UINT TBBS_CHECKBOX = TBSTYLE_CHECK;
constexpr UINT TBBS_GROUP = TBSTYLE_GROUP;
constexpr UINT TBBS_CHECKGROUP = TBSTYLE_CHECKGROUP;
constexpr UINT TBBS_DROPDOWN = TBSTYLE_DROPDOWN;
constexpr UINT TBBS_CHECKED = TBSTATE_CHECKED << 16;
constexpr UINT TBBS_PRESSED = TBSTATE_PRESSED << 16;
constexpr UINT TBBS_DISABLED = TBSTATE_ENABLED << 16;
constexpr UINT TBBS_HIDDEN = TBSTATE_HIDDEN << 16;
constexpr UINT TBBS_INDETERMINATE = TBSTATE_INDETERMINATE << 16;

constexpr UINT TBN_FIRST = 0U - 700U;
constexpr UINT TBN_DROPDOWN = TBN_FIRST - 10;
constexpr LRESULT TBDDRET_DEFAULT = 0;

struct TBBUTTON {
    int iBitmap;
    int idCommand;
    BYTE fsState;
    BYTE fsStyle;
    DWORD_PTR dwData;
    INT_PTR iString;
};

/// The record of TBN_DROPDOWN.
struct NMTOOLBAR {
    NMHDR hdr;
    int iItem;  ///< the button's command id
    TBBUTTON tbButton;
    int cchText;
    LPSTR pszText;
    RECT rcButton;  ///< the button in the tool bar's client coordinates
};
using LPNMTOOLBAR = NMTOOLBAR*;

class CToolBar;

/// The tool bar's button-level interface (what the common control offers).
class PLATFORM_API CToolBarCtrl {
public:
    explicit CToolBarCtrl(CToolBar& bar) : m_bar(bar) {}
    BOOL CheckButton(int nID, BOOL bCheck = TRUE);
    BOOL PressButton(int nID, BOOL bPress = TRUE);
    BOOL HideButton(int nID, BOOL bHide = TRUE);
    BOOL EnableButton(int nID, BOOL bEnable = TRUE);
    BOOL IsButtonChecked(int nID) const;
    BOOL IsButtonPressed(int nID) const;
    BOOL IsButtonHidden(int nID) const;
    BOOL IsButtonEnabled(int nID) const;
    /// TBSTATE_ flags; -1 when no button has the id.
    int GetState(int nID) const;
    BOOL SetState(int nID, UINT nState);
    int GetButtonCount() const;
    BOOL GetButton(int nIndex, TBBUTTON* lpButton) const;
    DWORD SetExtendedStyle(DWORD dwExStyle);
    DWORD GetExtendedStyle() const;
    /// The buttons' pictures (a button shows the image of its image number); the image size is
    /// the list's and the buttons grow to hold it. The bar does not own the list. Returns the list
    /// used before (the bar's own one after LoadToolBar), null when none.
    CImageList* SetImageList(CImageList* pImageList);
    CImageList* GetImageList() const;
    /// The pictures shown while the mouse is over a button of a flat bar; null shows the normal ones.
    CImageList* SetHotImageList(CImageList* pImageList);
    CImageList* GetHotImageList() const;

private:
    CToolBar& m_bar;
};

class PLATFORM_API CToolBar : public CControlBar {
public:
    CToolBar();
    ~CToolBar() override;

    BOOL Create(CWnd* pParentWnd, DWORD dwStyle = WS_CHILD | WS_VISIBLE | CBRS_TOP,
                UINT nID = AFX_IDW_TOOLBAR);
    BOOL CreateEx(CWnd* pParentWnd, DWORD dwCtrlStyle = TBSTYLE_FLAT,
                  DWORD dwStyle = WS_CHILD | WS_VISIBLE | CBRS_ALIGN_TOP, CRect rcBorders = CRect(0, 0, 0, 0),
                  UINT nID = AFX_IDW_TOOLBAR);
    /// Buttons, image size and image strip of tool-bar resource nIDResource; FALSE (the bar
    /// keeps what it had) when the chain has no such resource or its bitmap is missing.
    BOOL LoadToolBar(UINT nIDResource);
    BOOL LoadToolBar(LPCTSTR lpszResourceName);
    /// One button per id, images in order; ID_SEPARATOR makes a separator.
    BOOL SetButtons(const UINT* lpIDArray, int nIDCount);
    void SetSizes(SIZE sizeButton, SIZE sizeImage);

    int CommandToIndex(UINT nIDFind) const;
    UINT GetItemID(int nIndex) const;
    void GetItemRect(int nIndex, LPRECT lpRect) const;
    UINT GetButtonStyle(int nIndex) const;
    void SetButtonStyle(int nIndex, UINT nStyle);
    void GetButtonInfo(int nIndex, UINT& nID, UINT& nStyle, int& iImage) const;
    void SetButtonInfo(int nIndex, UINT nID, UINT nStyle, int iImage);
    CToolBarCtrl& GetToolBarCtrl() { return m_ctrl; }
    /// The tool tip of the button under pt (client coordinates); empty when none.
    CString ToolTipAt(CPoint pt) const;

    CSize CalcFixedLayout(BOOL bStretch, BOOL bHorz) override;
    void OnUpdateCmdUI(CWnd* pTarget, BOOL bDisableIfNoHndler) override;

    void OnPaint();
    void OnLButtonDown(UINT nFlags, CPoint point);
    void OnLButtonUp(UINT nFlags, CPoint point);
    void OnMouseMove(UINT nFlags, CPoint point);
    DECLARE_MESSAGE_MAP()

private:
    friend class CToolBarCtrl;
    struct Button {
        UINT id = 0;
        BYTE style = TBSTYLE_BUTTON;
        BYTE state = TBSTATE_ENABLED;
        int image = -1;
    };
    int HitTest(CPoint point) const;
    int ButtonWidth(const Button& b) const;
    void Changed();
    void Click(int index);

    CToolBarCtrl m_ctrl;
    std::vector<Button> m_buttons;
    std::unique_ptr<CImageList> m_loadedImages;  ///< made by LoadToolBar from the resource strip
    CImageList* m_images = nullptr;
    CImageList* m_hotImages = nullptr;
    CSize m_sizeImage{16, 15};
    CSize m_sizeButton{23, 22};
    DWORD m_ctrlStyle = 0;
    DWORD m_exStyle = 0;
    int m_pressed = -1;  ///< button the mouse went down on
    int m_hot = -1;      ///< button under the mouse
};
