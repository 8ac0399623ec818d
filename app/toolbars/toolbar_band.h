#pragma once

// The rows of the command window. Each row is a band: a child dialog that shows one
// tool-bar window (a row of buttons) clipped to itself, with a left and a right arrow that
// scroll the row when it is wider than the band. Bands and tool-bar windows pass the hot
// state of their buttons up to the command window and forward the buttons' commands to it.
//
// The command window owns the bands and the tool-bar windows; the Build* functions below
// make each row as the command window's initialisation needs it.

#include <memory>
#include <vector>

#include "app/toolbars/tar_buttons.h"
#include "platform/dialogs/dialog.h"
#include "platform/menu/menu.h"

class CToolBarBand;

/// A row of buttons (template 129): image buttons, page selector toggles or menu-bar
/// buttons. Paints nothing itself. Sends the commands of its buttons on to its band.
class CToolBarWindow : public CDialog {
public:
    CToolBarWindow() = default;
    ~CToolBarWindow() override;

    /// Creates the (hidden) window inside the band; the font is the command window's one
    /// shared font.
    BOOL Create(CToolBarBand* band, CFont** font, int fontHeight);

    /// Menu-bar buttons for the popups of the menu bar (its own copy of the menu), placed
    /// from x = 0, each as wide as its caption needs. Returns the content width.
    int CreateMenuButtons(int count, const CString* texts, const UINT* ids, int height);
    /// Page selector toggles (caption beside the image), the first one pressed. The colour
    /// and gray images come from the named bitmap strips. Returns the content width.
    int CreatePressButtons(int count, LPCTSTR iconsName, LPCTSTR grayName, const CString* texts,
                           const UINT* ids, int width, int height);
    /// Image buttons (caption under the image). Returns the content width.
    int CreateImageButtons(int count, LPCTSTR iconsName, LPCTSTR grayName, const CString* texts,
                           const UINT* ids, int width, int height);

    int GetButtonCount() const { return static_cast<int>(m_buttons.size()); }
    /// Button i (a TarButtons, TarPressButtons or TarMenu); null out of range.
    CWnd* GetButton(int i) const;
    int GetPressedIndex() const { return m_pressedIndex; }
    int GetContentWidth() const { return m_contentWidth; }
    /// The x offset inside the band and the right overflow (x + content width - band width).
    int GetOffset() const { return m_x; }
    /// Puts the row back at offset x (the band's margin shows it from its start).
    void SetOffset(int x) { m_x = x; }
    int GetOverflow() const { return m_overflow; }
    CWnd* GetHotChild() const { return m_hotChild; }
    /// The menu whose popups the menu-bar buttons open (menu row only; null otherwise).
    CMenu* GetRowMenu() { return m_menu.GetSafeHmenu() ? &m_menu : nullptr; }
    /// The menu-bar button whose popup is up (null when none).
    TarMenu* GetOpenMenuButton() const { return m_openMenuButton; }
    void SetOpenMenuButton(TarMenu* button) { m_openMenuButton = button; }
    CImageList& GetColourImages() { return m_colourImages; }
    CImageList& GetGrayImages() { return m_grayImages; }

protected:
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    void OnPaint();
    void OnMouseMove(UINT flags, CPoint point);
    LRESULT OnHot(WPARAM, LPARAM);
    LRESULT OnNotHot(WPARAM, LPARAM);
    LRESULT OnToggled(WPARAM, LPARAM);
    LRESULT OnMenuSelect(WPARAM, LPARAM);
    DECLARE_MESSAGE_MAP()

private:
    friend class CToolBarBand;
    void LoadImages(LPCTSTR iconsName, LPCTSTR grayName);
    int CreateButtons(bool toggles, int count, LPCTSTR iconsName, LPCTSTR grayName, const CString* texts,
                      const UINT* ids, int width, int height);

    CToolBarBand* m_band = nullptr;
    CWnd* m_hotChild = nullptr;
    bool m_report = true;
    std::vector<std::unique_ptr<CWnd>> m_buttons;
    int m_pressedIndex = 0;
    int m_x = 2;
    int m_overflow = 0;
    int m_contentWidth = 0;
    CMenu m_menu;
    TarMenu* m_openMenuButton = nullptr;
    CImageList m_colourImages;
    CImageList m_grayImages;
    CBitmap m_pattern;
    CFont** m_font = nullptr;
    int m_fontHeight = 0;
};

/// One row of the command window (template 134): shows its content window clipped to the
/// band between two scroll arrows, and draws a sunken frame.
class CToolBarBand : public CDialog {
public:
    static constexpr int kArrowWidth = 10;
    static constexpr int kMargin = 2;
    static constexpr int kVerticalMargin = 2;

    CToolBarBand() = default;
    ~CToolBarBand() override;

    /// Creates the band as a child of parent at (x, y), width x height (Layout then spans
    /// the parent's client width), with its left and right arrows.
    BOOL Build(CWnd* parent, int x, int y, int width, int height, CFont** font, int fontHeight,
               UINT leftArrowId, UINT rightArrowId);
    bool IsBuilt() const { return m_built; }

    /// The tool-bar window the band shows (null before one is set).
    void SetContent(CToolBarWindow* content) { m_content = content; }
    CToolBarWindow* GetContent() const { return m_content; }

    /// Spans the parent's client width, places the right arrow, shows or hides the arrows
    /// and clips the content to what lies between them.
    void Layout();
    /// Scrolls the content by step pixels for the arrow arrowId (other ids are ignored).
    void Scroll(UINT arrowId, int step);
    /// Puts the content at its offset with the band's inner height (after a page switch).
    void FitContent();

    /// The part of the content shown, in content coordinates.
    CRect GetVisibleRect() const { return m_visible; }
    TarScrollArrow& GetLeftArrow() { return m_left; }
    TarScrollArrow& GetRightArrow() { return m_right; }
    bool IsLeftArrowShown() const { return !m_leftHidden; }
    bool IsRightArrowShown() const { return !m_rightHidden; }
    CWnd* GetHotChild() const { return m_hotChild; }
    CFont** GetFont() const { return m_font; }
    int GetFontHeight() const { return m_fontHeight; }

protected:
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    void OnPaint();
    void OnMouseMove(UINT flags, CPoint point);
    LRESULT OnScroll(WPARAM, LPARAM);
    LRESULT OnHot(WPARAM, LPARAM);
    LRESULT OnNotHot(WPARAM, LPARAM);
    DECLARE_MESSAGE_MAP()

private:
    void ShowArrows();
    void Clip();
    void ShowArrow(TarScrollArrow& arrow, bool& hidden, bool show);

    CWnd* m_parent = nullptr;
    CToolBarWindow* m_content = nullptr;
    CWnd* m_hotChild = nullptr;
    bool m_report = true;
    TarScrollArrow m_left;
    TarScrollArrow m_right;
    bool m_leftHidden = false;
    bool m_rightHidden = false;
    UINT m_leftId = 0;
    UINT m_rightId = 0;
    int m_y = 0;
    int m_height = 0;
    int m_width = 0;
    CRect m_visible;
    CFont** m_font = nullptr;
    int m_fontHeight = 0;
    bool m_built = false;
};

/// The most pages a page row takes.
constexpr int kMaxToolBarPages = 8;

/// The menu row at y: a band with the menu-bar buttons of the menu bar. Returns the
/// content width.
int BuildMenuRow(CWnd* parent, int y, int height, CFont** font, int fontHeight, CToolBarBand& band,
                 CToolBarWindow& window);
/// The MAIN row at y: one page selector per tool-bar page (the first pressed), buttons
/// buttonWidth x buttonHeight. Returns the content width.
int BuildMainRow(CWnd* parent, int y, int height, CFont** font, int fontHeight, int buttonWidth,
                 int buttonHeight, CToolBarBand& band, CToolBarWindow& window);
/// The page row at y: one tool-bar window per page, made on the heap into pages[0..n)
/// (n = the number of pages, at most kMaxToolBarPages, stored in *pageCount); page 0 is
/// shown. The caller deletes the windows. Returns the content width (the widest page).
int BuildPageRow(CWnd* parent, int y, int height, CFont** font, int fontHeight, int buttonWidth,
                 int buttonHeight, CToolBarBand& band, CToolBarWindow* pages[], int* pageCount);
/// Hides page `current` and shows page `index` in the band, scrolled to its start.
void ShowToolBarPage(CToolBarBand& band, CToolBarWindow* const pages[], int current, int index);
