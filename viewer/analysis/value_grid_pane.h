#pragma once

// The viewer frame's table view: a child pane hosting a grid control in layer mode, one
// cell per pixel of the active layer, which the user scrolls, selects, copies, pastes into
// and edits. Changes go only to the view's working copy, made by the first edit or paste.

#include <memory>

#include "platform/cstring.h"
#include "platform/geometry.h"
#include "platform/types.h"
#include "platform/window/wnd.h"

class CGridCtrl;
class CViewRect;
class CVirtualView;
class CMeterInfoBase;

/// The table view of the active layer: a child pane of the frame, control id 59904. Once
/// its window is made it deletes itself when the window is destroyed (with the frame).
class CValueGridPane : public CWnd {
public:
    CValueGridPane();
    ~CValueGridPane() override;
    /// Child pane with `style` in `rect` of `parent`; FALSE when the window is not made (the
    /// object is then the caller's to delete).
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);

    /// The frame's meter, for the grid's long operations.
    void SetMeter(CMeterInfoBase* meter);
    /// Binds the grid to the view window's active layer.
    void Update(CViewRect* view);
    /// Takes the grid out of layer mode.
    void CloseAll();
    /// Nonzero when the pane is the shown pane and its grid shows layer data.
    BOOL IsLayerMode() const;
    int GetComplexComponent() const { return m_nComponent; }
    /// 0 amplitude, 1 phase, 2 real, 3 imaginary, 4 both parts; only 2 to 4 can be edited.
    void SetComplexComponent(int component);
    /// The focus cell as a file point; (0, 0) without a grid.
    CPoint GetFocusPos() const;
    /// Scrolls file pixel (x, y) into the centre and gives it the focus (table view only).
    void GoToCell(int x, int y);
    void SetToolCursor(int tool);
    int GetToolCursor() const { return m_nTool; }
    /// Bit 0: colour the cells with the layer's colour map.
    void SetColorMode(int flags);
    int GetColorMode() const { return int(m_nColorFlags); }
    /// Takes the bound view window's selection into the grid's selection.
    void SelectViewRegion();
    /// The grid's selected cells as a new region of file pixels; null without a grid.
    HRGN GetSelectedRgn() const;
    void OnEditCopy();
    /// Pastes into the working copy (made now if needed); tells the frame the data changed.
    void OnEditPaste();
    /// Status texts for the focus cell (each at most `size` - 1 characters).
    void OnTextViewRect(CString& a, int sizeA, CString& b, int sizeB, CString& c, int sizeC);
    CGridCtrl* GetGrid() const { return m_pGrid.get(); }

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

protected:
    void PostNcDestroy() override;
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;

private:
    CVirtualView* ActiveView() const;
    /// True when changes are allowed, making the working copy on the first change.
    bool ChangeAllowed();
    /// Binds the grid to the active view's layer again (after a reload or a new working copy).
    void Rebind();
    void ApplyPalette();
    void ShowContextMenu(int row, int col, const POINT* screen);

    bool m_bCreated = false;
    std::unique_ptr<CGridCtrl> m_pGrid;
    CViewRect* m_pView = nullptr;
    int m_nTool = 1;
    unsigned m_nColorFlags = 1;
    int m_nComponent = 0;
};
