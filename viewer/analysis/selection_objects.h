#pragma once

// What the image view window keeps about the current selection: its measurements and the
// small modeless dialog that shows them, the same way for a rectangle and a free region.

#include "outside/basecore/rect_t.h"
#include "platform/cstring.h"
#include "platform/dialogs/dialog.h"
#include "platform/geometry.h"
#include "platform/window/wnd.h"

/// Four logical corners of a rectangle: left-top, right-top, right-bottom, left-bottom.
struct CRectSelCorners {
    CPointT<double> corners[4] = {};

    /// The top edge's extent along x: |c1.x - c0.x|.
    double GetWidth() const;
    /// The right edge's extent along y: |c2.y - c1.y|.
    double GetHeight() const;
    double GetPerimeter() const { return 2 * GetWidth() + 2 * GetHeight(); }
    double GetSquare() const { return GetWidth() * GetHeight(); }
};

/// A selection's measurements and the dialog that shows them.
class CSelObj {
public:
    CSelObj() = default;
    /// Closes the dialog, so that no dialog outlives the object it reports to.
    virtual ~CSelObj();
    CSelObj(const CSelObj&) = delete;
    CSelObj& operator=(const CSelObj&) = delete;

    /// The dialog is gone: forget it.
    virtual void DetachWnd() { m_pWnd = nullptr; }
    /// Opens the dialog, or brings it to the front when it is open.
    virtual void ShowWnd() = 0;
    virtual void HideWnd();
    /// Destroys the dialog's window when there is one.
    virtual void CloseWnd();
    /// 0 here; 1 rectangle, 2 free region.
    virtual int GetType() { return 0; }

    CWnd* m_pWnd = nullptr;     ///< the dialog, not owned (it deletes itself)
    CWnd* m_pParent = nullptr;  ///< the dialog's parent, not owned
};

/// Earlier name of the selection base.
using CSelectionInfo = CSelObj;

class CRectSelObj;

/// What the rectangle hands its dialog: the normalised rectangle, the corners, itself.
struct RectSelData {
    CRect rect;
    CRectSelCorners corners;
    CRectSelObj* owner = nullptr;
};

/// Rectangular selection (type 1).
class CRectSelObj : public CSelObj {
public:
    CRectSelObj() = default;
    void ShowWnd() override;
    int GetType() override { return 1; }
    /// Stores the rectangle in file pixels, its logical corners and the dialog's parent,
    /// and refreshes an open dialog.
    void SetData(CRect rect, CRectSelCorners corners, CWnd* parent);
    void UpdateWnd();

    CRect m_rect;
    CRectSelCorners m_corners;
};

/// Free-hand selection (type 2).
class CFreeRegionObj : public CSelObj {
public:
    CFreeRegionObj() = default;
    void ShowWnd() override;
    int GetType() override { return 2; }
    void SetData(int pixelArea, double logicalArea, CRect bounds, CPointT<double> logicalTopLeft,
                 CPointT<double> logicalBottomRight, CWnd* parent);
    /// Area 0, empty rectangle, and an open dialog emptied.
    void Reset();
    void UpdateWnd();

    double m_dArea = 0.0;
    double m_dLogicalArea = 0.0;
    CRect m_rcBound;
    CPointT<double> m_ptBound[2] = {};
};

/// The "Rectangular selection" dialog: corners, width, height, perimeter and area in logical
/// (0) or file (1) units; the choice is kept as "RectCoordLast". Deletes itself when closed.
class CRectSelDlg : public CDialog {
public:
    CRectSelDlg();
    BOOL Create(CWnd* parent);
    void SetData(const RectSelData& data);
    /// Reads the unit choice, stores it and shows the figures in that unit.
    void ShowData();

    BOOL OnInitDialog() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    CString m_strHeight;
    CString m_strLeftBottom;
    CString m_strLeftTop;
    CString m_strPerimeter;
    CString m_strRightBottom;
    CString m_strRightTop;
    CString m_strSquare;
    CString m_strWidth;
    int m_nCoordMode = -1;  ///< 0 logical, 1 file
    CRect m_rect;
    CRectSelCorners m_corners;
    CRectSelObj* m_pOwner = nullptr;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    void OnOK() override { DestroyWindow(); }
    void OnCancel() override { DestroyWindow(); }
    void PostNcDestroy() override;

private:
    bool m_bCreated = false;
};
