#pragma once

// What the view window keeps about its current selection: the selection's figures and the
// small modeless dialog that shows them, the same way for a rectangle (type 1) and a free
// region (type 2). The view window makes the object through its services
// (raster_view_services.h); the analysis side gives each kind its dialog.

#include "outside/basecore/rect_t.h"
#include "platform/geometry.h"

class CWnd;

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

/// A selection's figures and the dialog that shows them.
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

    /// A rectangle's figures: the rectangle in file pixels, its logical corners and the
    /// dialog's parent; an open dialog shows them. Only a rectangle keeps them.
    virtual void SetData(CRect /*rect*/, CRectSelCorners /*corners*/, CWnd* /*parent*/) {}
    /// A free region's figures: its area in pixels and in logical units, its bounding box in
    /// file pixels and in logical units, and the dialog's parent. Only a free region keeps them.
    virtual void SetData(int /*pixelArea*/, double /*logicalArea*/, CRect /*bounds*/,
                         CPointT<double> /*logicalTopLeft*/, CPointT<double> /*logicalBottomRight*/,
                         CWnd* /*parent*/)
    {
    }
    /// Empties the figures and an open dialog.
    virtual void Reset() {}

    CWnd* m_pWnd = nullptr;     ///< the dialog, not owned (it deletes itself)
    CWnd* m_pParent = nullptr;  ///< the dialog's parent, not owned
};

/// Earlier name of the selection base.
using CSelectionInfo = CSelObj;
