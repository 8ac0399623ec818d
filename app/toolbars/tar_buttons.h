#pragma once

// The self-drawn buttons of the command window's rows: the image button, the page
// selector toggle, the scroll arrow that repeats while held, and the menu-bar button that
// drops down a popup and lets the user slide from one popup to the next. They paint with
// the system's button colours and report "hot" to their parent (WM_TAR_HOT) when the mouse
// enters them; the parent tells them when they are no longer hot (WM_TAR_NOT_HOT).

#include "platform/controls/image_list.h"
#include "platform/gdi/gdi_objects.h"
#include "platform/window/wnd.h"

class CToolBarWindow;

/// The window class of every image button, toggle and arrow: redrawn on any resize, arrow
/// cursor, no background brush, no icon. Registered on the first call; the same name after.
LPCTSTR TarButtonClassName();

/// A flat button with a 32 x 32 image and a caption: flat and gray while the mouse is
/// elsewhere, raised in colour under the mouse, sunk while pressed. A click posts
/// WM_COMMAND (id, 0) to the parent.
class TarButtons : public CWnd {
public:
    enum Look { kFlat = 1, kRaised = 2, kPressed = 3 };
    enum CaptionLayout { kCaptionUnder = 1, kCaptionBeside = 2 };

    TarButtons() = default;
    ~TarButtons() override;

    /// A button showing image `index` of the colour list when hot and of the gray list when
    /// flat; a list without that image leaves the button without it. `font` points to the
    /// row's one shared font, `fontHeight` is its (negative) height.
    BOOL Create(LPCTSTR caption, DWORD style, const RECT& rect, CWnd* parent, UINT id, CImageList* colour,
                CImageList* gray, int index, CFont** font, int fontHeight, int captionLayout = kCaptionUnder);
    /// A button without an image.
    BOOL Create(LPCTSTR caption, DWORD style, const RECT& rect, CWnd* parent, UINT id, CFont** font,
                int fontHeight, int captionLayout = kCaptionUnder);

    int GetLook() const { return m_look; }
    UINT GetCommandId() const { return m_commandId; }
    bool HasImage() const { return m_imageIndex >= 0; }
    int GetImageX() const { return m_imageX; }
    CRect GetCaptionRect() const { return m_captionRect; }
    const CString& GetCaption() const { return m_caption; }

protected:
    /// Places image and caption for the client size (after creation).
    void LayoutContent();
    void SetLook(int look);
    /// Face fill, image and caption for the look, then the frame.
    void PaintFace(CDC& dc, const CRect& client);
    void DrawImage(CDC& dc, int look, int x, int y) const;
    void ReportEntry();

    void OnPaint();
    BOOL OnEraseBkgnd(CDC*) { return TRUE; }
    void OnMouseMove(UINT flags, CPoint point);
    void OnLButtonDown(UINT flags, CPoint point);
    void OnLButtonUp(UINT flags, CPoint point);
    LRESULT OnNotHot(WPARAM, LPARAM);
    DECLARE_MESSAGE_MAP()

    CImageList* m_colour = nullptr;
    CImageList* m_gray = nullptr;
    int m_imageIndex = -1;
    CSize m_imageSize{0, 0};
    CFont** m_font = nullptr;
    int m_fontHeight = 0;
    int m_captionLayout = kCaptionUnder;
    int m_imageX = 3;
    CRect m_captionRect;
    CRect m_pressedCaptionRect;
    UINT m_captionFormat = 0;
    CString m_caption;
    UINT m_commandId = 0;
    int m_look = kFlat;
    bool m_report = true;    ///< tell the parent on the next entry
    bool m_pressed = false;  ///< the left button went down on this button
    bool m_inside = false;   ///< the cursor is over it
};

/// A page selector: an image button that stays pressed until another toggle of its row is
/// pressed. A click on the pressed toggle does nothing.
class TarPressButtons : public TarButtons {
public:
    TarPressButtons() = default;

    /// As TarButtons::Create, plus the toggle's index in its row and the row's 8 x 8
    /// checked pattern (drawn behind the pressed toggle).
    BOOL Create(LPCTSTR caption, DWORD style, const RECT& rect, CWnd* parent, UINT id, CImageList* colour,
                CImageList* gray, int index, CFont** font, int fontHeight, int captionLayout, int rowIndex,
                CBitmap* pattern);

    /// Shows the toggle pressed without sending anything (the row's first toggle at start).
    void Check();
    bool IsChecked() const { return m_checked; }
    int GetRowIndex() const { return m_rowIndex; }

protected:
    void OnPaint();
    void OnMouseMove(UINT flags, CPoint point);
    void OnLButtonDown(UINT flags, CPoint point);
    void OnLButtonUp(UINT flags, CPoint point);
    LRESULT OnNotHot(WPARAM, LPARAM);
    LRESULT OnRelease(WPARAM, LPARAM);
    DECLARE_MESSAGE_MAP()

private:
    int m_rowIndex = 0;
    bool m_checked = false;
    CBitmap* m_pattern = nullptr;
};

/// A scroll arrow: a button drawing a black triangle. While held it posts WM_TAR_SCROLL to
/// its parent at every tick with a step that grows by one pixel each time; the release
/// inside adds one step of 10.
class TarScrollArrow : public TarButtons {
public:
    /// Milliseconds between two steps while held.
    static constexpr UINT kTickMs = 10;
    static constexpr int kReleaseStep = 10;

    TarScrollArrow() = default;
    /// caption "<" or ">"; direction -1 points left, +1 right.
    BOOL Create(LPCTSTR caption, DWORD style, const RECT& rect, CWnd* parent, UINT id, int direction);

    int GetDirection() const { return m_direction; }
    /// The triangle's apex, then its two base corners.
    const POINT* GetTriangle() const { return m_triangle; }

protected:
    void OnPaint();
    void OnLButtonDown(UINT flags, CPoint point);
    void OnLButtonUp(UINT flags, CPoint point);
    void OnTimer(UINT_PTR id);
    DECLARE_MESSAGE_MAP()

private:
    void ComputeTriangle();
    int m_direction = -1;
    int m_step = 0;
    POINT m_triangle[3] = {};
};

/// A menu-bar button: its caption as text; a press drops down popup `index` of its tool-bar
/// window's menu below it. While the popup is up, moving onto a neighbour in the row opens
/// the neighbour's popup instead, and a press on this button closes the popup for good.
class TarMenu : public CWnd {
public:
    TarMenu() = default;
    ~TarMenu() override;

    /// Creates the button in its tool-bar window (the parent); *width receives the width it
    /// needs (the caption in the font + 8), which the window is given too.
    BOOL Create(LPCTSTR caption, DWORD style, const RECT& rect, CWnd* parent, UINT id, CFont** font,
                int fontHeight, int index, int* width);

    int GetLook() const { return m_look; }
    bool IsPopupOpen() const { return m_popupOpen; }
    int GetPopupIndex() const { return m_index; }
    const CString& GetCaption() const { return m_caption; }

protected:
    void SetLook(int look);
    /// Shows the popup until it closes; false when the row has no such popup.
    bool DropDown();

    void OnPaint();
    BOOL OnEraseBkgnd(CDC*) { return TRUE; }
    LRESULT OnNcHitTest(CPoint point);
    void OnMouseMove(UINT flags, CPoint point);
    void OnLButtonDown(UINT flags, CPoint point);
    void OnLButtonUp(UINT flags, CPoint point);
    LRESULT OnNotHot(WPARAM, LPARAM);
    LRESULT OnPopupClosed(WPARAM, LPARAM);
    DECLARE_MESSAGE_MAP()

private:
    friend LRESULT TarMenuMouseHook(int code, WPARAM wParam, LPARAM lParam);
    CFont** m_font = nullptr;
    int m_fontHeight = 0;
    CRect m_captionRect;
    CRect m_pressedCaptionRect;
    CString m_caption;
    int m_index = 0;
    int m_look = TarButtons::kFlat;
    bool m_report = true;
    bool m_mouseDown = false;
    bool m_popupOpen = false;
    bool m_closedByClick = false;
};
