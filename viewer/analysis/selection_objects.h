#pragma once

// The two kinds of selection information the view window keeps (selection_info.h) and the
// dialogs that show their figures: a rectangle's corners and sizes, a free region's area.

#include "outside/basecore/rect_t.h"
#include "platform/cstring.h"
#include "platform/dialogs/dialog.h"
#include "platform/geometry.h"
#include "platform/window/wnd.h"
#include "viewer/core/selection_info.h"

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
    using CSelObj::SetData;
    /// Stores the rectangle in file pixels, its logical corners and the dialog's parent,
    /// and refreshes an open dialog.
    void SetData(CRect rect, CRectSelCorners corners, CWnd* parent) override;
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
    using CSelObj::SetData;
    void SetData(int pixelArea, double logicalArea, CRect bounds, CPointT<double> logicalTopLeft,
                 CPointT<double> logicalBottomRight, CWnd* parent) override;
    /// Area 0, empty rectangle, and an open dialog emptied.
    void Reset() override;
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
