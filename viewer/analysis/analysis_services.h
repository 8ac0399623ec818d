#pragma once

// The analysis windows and dialogs a viewer frame creates and talks to. Until each is
// built in full, it is a least window: it shows its title, answers as an empty one (no
// grid, no selection, Cancel) and keeps what it is given (curves, regions), so that its
// callers can be driven and checked.

#include <cstdint>
#include <vector>

#include "outside/basecore/rect_t.h"
#include "platform/cstring.h"
#include "platform/dialogs/dialog.h"
#include "platform/frame/frame_wnd.h"
#include "platform/gdi/gdi_types.h"
#include "platform/geometry.h"
#include "platform/types.h"
#include "platform/window/wnd.h"

class CViewRect;
class CFrameViewer;
class CViewerMeterInfo;
class CMeterInfoBase;
class CRDPLayer;
struct PalitraTag;

namespace platform {
struct DialogTemplate;
}

/// A dialog made from a template of its own (a least window with its title and Cancel).
class CStandInDlg : public CDialog {
public:
    explicit CStandInDlg(const platform::DialogTemplate& dialogTemplate, CWnd* parent = nullptr);
    /// Modeless, hidden.
    BOOL CreateStandIn(CWnd* parent);
    /// Modal: IDCANCEL unless the user presses OK.
    INT_PTR DoModal() override;

protected:
    const platform::DialogTemplate& m_template;
    /// Set once the window was made: a window that failed in creation stays its creator's to delete.
    bool m_bCreated = false;
};

/// Deletes the object when its window is gone (modeless tool dialogs of the frame).
class CSelfDeletingDlg : public CStandInDlg {
public:
    using CStandInDlg::CStandInDlg;

protected:
    void PostNcDestroy() override;
};

// --- the frame's panes and tool windows -----------------------------------------------------

/// The table view of the active layer: a child pane of the frame, control id 59904. Once
/// its window is made it deletes itself when the window is destroyed (with the frame).
class CValueGridPane : public CWnd {
public:
    CValueGridPane() = default;
    /// Child pane with `style` in `rect` of `parent`; FALSE when the window is not made (the
    /// object is then the caller's to delete).
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);

    void SetMeter(CMeterInfoBase* meter) { m_pMeter = meter; }
    /// Binds the pane to the view window's active layer.
    void Update(CViewRect* view) { m_pView = view; }
    void CloseAll() { m_pView = nullptr; }
    /// Nonzero when the pane is the shown pane and its grid shows layer data (never here).
    BOOL IsLayerMode() const { return FALSE; }
    int GetComplexComponent() const { return m_nComponent; }
    void SetComplexComponent(int component) { m_nComponent = component; }
    /// The focus cell as a file point; (0, 0) without a grid.
    CPoint GetFocusPos() const { return CPoint(0, 0); }
    void GoToCell(int x, int y);
    void SetToolCursor(int tool) { m_nTool = tool; }
    int GetToolCursor() const { return m_nTool; }
    void SetColorMode(int flags) { m_nColorFlags = flags; }
    int GetColorMode() const { return m_nColorFlags; }
    /// Takes the bound view window's selection into the grid's selection.
    void SelectViewRegion() {}
    /// The grid's selected cells as a new region; null without a grid.
    HRGN GetSelectedRgn() const { return nullptr; }
    void OnEditCopy() {}
    void OnEditPaste() {}
    /// Status texts for the focus cell (each at most `size` - 1 characters).
    void OnTextViewRect(CString& a, int, CString& b, int, CString& c, int);

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

protected:
    void PostNcDestroy() override;

private:
    bool m_bCreated = false;
    CMeterInfoBase* m_pMeter = nullptr;
    CViewRect* m_pView = nullptr;
    int m_nComponent = 0;
    int m_nTool = 0;
    int m_nColorFlags = 0;
};

/// The floating colour scale window.
class CScaleMarkWnd : public CWnd {
public:
    CScaleMarkWnd() = default;
    /// A popup owned by `owner`; FALSE when the window is not made.
    BOOL Create(CWnd* owner);
    /// The window it docks to, which edges it keeps (9: left and bottom) and its orientation.
    void SetAnchor(CWnd* dock, int anchor, int orientation);
    void Reposition() {}
    void SetPalette(const PalitraTag* palette);
    void SetValueRange(double low, double high);

    CWnd* m_pDock = nullptr;
    int m_nAnchor = 5;
    int m_nOrientation = 0;
    std::vector<BYTE> m_palette;  ///< 768 bytes once given
    double m_dLow = 0.0;
    double m_dHigh = 0.0;

protected:
    void PostNcDestroy() override;
    bool m_bCreated = false;
};

/// The histogram window: the viewer's own (kind 0) or a region's (kind 1).
class CHistFrame : public CFrameWnd {
public:
    explicit CHistFrame(int = 0);
    ~CHistFrame() override;
    /// Kind 0 or 1; any other kind creates nothing and returns 0.
    virtual BOOL Create(CWnd* parent, int kind);
    void SetMainHist(CHistFrame* master) { m_pMaster = master; }
    void AddSource(CWnd* window);
    void RemoveSource(CWnd* window);
    void SendToSources(UINT message, WPARAM wParam, LPARAM lParam);
    void SetChannelRange(const double minima[4], const double maxima[4], int channel);
    /// The viewer frame the master window reports to; null without a master.
    CWnd* GetViewer() const;
    void SaveHistogramAs() {}

    /// A region window owns the region put here.
    HRGN m_hRgn = nullptr;
    int m_nKind = 0;
    CWnd* m_pParent = nullptr;
    CHistFrame* m_pMaster = nullptr;
    std::vector<CWnd*> m_sources;
    double m_ranges[6][2] = {};  ///< per channel number: low, high

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

protected:
    void PostNcDestroy() override;
    bool m_bCreated = false;
};

/// Base of the dialogs that fold a part of themselves away.
class CCollapsibleDlg : public CSelfDeletingDlg {
public:
    using CSelfDeletingDlg::CSelfDeletingDlg;
    /// Moves control `firstId` and every following sibling up by `delta` pixels and
    /// shortens the dialog by as much; a negative delta moves down and lengthens.
    void ShiftControls(int firstId, int delta);
};

/// The modeless "Color correction" dialog.
class CColorCorrectionDlg : public CCollapsibleDlg {
public:
    CColorCorrectionDlg();
    BOOL Create(CWnd* parent);
    /// 1 single band (tabs folded away), 2 RGB.
    void SetMode(int mode) { m_nMode = mode; }
    int GetMode() const { return m_nMode; }

private:
    int m_nMode = 2;
};

/// The modeless coordinate pointer dialog.
class CCoordPointerDlg : public CSelfDeletingDlg {
public:
    CCoordPointerDlg();
    BOOL Create(CWnd* parent, CFrameViewer* frame);
    CFrameViewer* m_pFrame = nullptr;
};

/// The modeless "Logical coords" dialog.
class CLogicalCoordsDlg : public CSelfDeletingDlg {
public:
    explicit CLogicalCoordsDlg(CWnd* parent = nullptr);
    virtual BOOL Create(CFrameViewer* frame);
    CFrameViewer* m_pFrame = nullptr;
};

/// The modeless data information dialog.
class CDataInfoDlg : public CCollapsibleDlg {
public:
    CDataInfoDlg();
    BOOL Create(CFrameViewer* frame);
    /// 1 single band, 2 RGB.
    void SetMode(int mode) { m_nMode = mode; }
    void Refresh(int /*tab*/) {}
    CFrameViewer* m_pFrame = nullptr;
    int m_nMode = -1;
};

/// The modeless file properties dialog; it hands its texts to the frame on Apply.
class CFilePropertiesDlg : public CSelfDeletingDlg {
public:
    CFilePropertiesDlg();
    BOOL Create(CFrameViewer* frame);
    CFrameViewer* m_pFrame = nullptr;
};

/// The modeless "Find" dialog.
class CFindDlg : public CSelfDeletingDlg {
public:
    CFindDlg();
    BOOL Create(CFrameViewer* frame);
    CFrameViewer* m_pFrame = nullptr;
};

/// The modeless "Replace" dialog.
class CFindReplaceValueDlg : public CSelfDeletingDlg {
public:
    CFindReplaceValueDlg();
    BOOL Create(CFrameViewer* frame);
    CFrameViewer* m_pFrame = nullptr;
};

/// Looks for a value in a layer from `position`; 1 with the hit in `position`, or 0.
int FindValueInLayer(CString text, int direction, int approximate, CRDPLayer* layer, int component,
                     CPoint* position);

// --- modal dialogs of the frame ---------------------------------------------------------------

/// The "Create new file" dialog: size in pixels and data type code.
class CNewFileDlg : public CStandInDlg {
public:
    explicit CNewFileDlg(CWnd* parent = nullptr);
    std::uint32_t m_nDataType = 0;
    std::uint32_t m_nHeight = 0;
    std::uint32_t m_nWidth = 0;
};

/// One channel of the "Histogram Triming" dialog.
struct TuneTrimData {
    CString name;
    int dataType = 0;
    double minimum = 0.0;
    double maximum = 0.0;
    int complexMode = 0;
    double mean = 0.0;
    double stdDev = 0.0;
    std::uint32_t histogram[256] = {};
    double lowBound = 0.0;
    double highBound = 0.0;
    int method = 0;
    COLORREF colour = 0;
};

/// The "Histogram Triming" dialog, one record per channel 1, 3, 4, 5.
class CHistTrimDlg : public CStandInDlg {
public:
    explicit CHistTrimDlg(CWnd* parent = nullptr);
    void SetColorMode(int mode);
    /// Copies the record into the channel's; null clears its range.
    void SetChannelData(const TuneTrimData* data, int channel);
    int GetMethod() const;
    double GetHighBound() const;
    double GetLowBound() const;
    /// The record of channel 1, 3, 4 or 5; null for any other.
    TuneTrimData* GetChannelSlot(int channel);

private:
    TuneTrimData m_channels[4];
    int m_nColorMode = 1;
    int m_nChannel = 1;
};

/// The "RGB Channels" dialog: three layer files, red, green and blue.
class CRGBChannelsDlg : public CStandInDlg {
public:
    CRGBChannelsDlg(CWnd* parent, int input);
    /// The path of channel 3, 4 or 5 when all three are named; empty otherwise.
    CString IsDataReady(int channel) const;
    /// The component chosen for channel 3, 4 or 5 (-1 when none); 0 for any other.
    int GetChannelFile(int channel) const;
    /// Presets the path of channel 3, 4 or 5.
    void SetChannelPath(const CString& path, int channel);
    /// Presets the component of channel 3, 4 or 5.
    void SetChannelComponent(int component, int channel);

    int m_bInput = 1;
    CString m_strPath[3];
    int m_nPart[3] = {-1, -1, -1};
};

// --- windows and objects the views make -------------------------------------------------------

/// A profile window; frees itself when closed.
class CProfileFrame : public CFrameWnd {
public:
    CProfileFrame() = default;
    int Create(CWnd* parent, CString caption);
    BOOL SetProfile(const double* values, int count, COLORREF colour);
    BOOL SetProfileXY(const double* values, const double* positions, int count);
    BOOL SetLogicalProfile(const double* values, int count, const CPointT<double>* points, COLORREF colour);

    struct Curve {
        std::vector<double> values;
        std::vector<double> positions;
        std::vector<CPointT<double>> points;
        COLORREF colour = 0;
    };
    std::vector<Curve> m_curves;

protected:
    void PostNcDestroy() override;
    bool m_bCreated = false;
};

/// The statistics dialog; frees itself when closed.
class CStatisticsDlg : public CCollapsibleDlg {
public:
    CStatisticsDlg();
    ~CStatisticsDlg() override;
    BOOL Create(CWnd* parent);
    void SetHistSource(CWnd* window) { m_pHistSource = window; }
    void SetMode(int mode) { m_nMode = mode; }
    /// Keeps the rows, type code and its own copy of the region in the channel's slot.
    void SetChannelRegion(int channel, void** rows, int typeCode, HRGN region);
    /// Computes the statistics of the slots in use (on a job's thread).
    void Calculate(CMeterInfoBase* meter);

    struct Slot {
        void** rows = nullptr;
        int typeCode = 0;
        HRGN region = nullptr;
    };
    CWnd* m_pHistSource = nullptr;
    int m_nMode = 1;
    Slot m_slots[3];
};

/// The curve control of the colour correction dialog.
class CCurveStatic : public CWnd {
public:
    const BYTE* m_pTables[3] = {nullptr, nullptr, nullptr};
};

/// Four logical corners of a rectangular selection.
struct CRectSelCorners {
    CPointT<double> corners[4] = {};
};

/// What a selection shows in its dialog.
class CSelectionInfo {
public:
    virtual void DetachWnd() { m_pWnd = nullptr; }
    virtual void ShowWnd() = 0;
    virtual void HideWnd() = 0;
    virtual void CloseWnd();
    virtual int GetType() { return 0; }

    CWnd* m_pWnd = nullptr;
    CWnd* m_pParent = nullptr;

    virtual ~CSelectionInfo() = default;
};

/// Rectangular selection (type 1).
class CRectSelObj : public CSelectionInfo {
public:
    void ShowWnd() override;
    void HideWnd() override;
    int GetType() override { return 1; }
    void SetData(CRect rect, CRectSelCorners corners, CWnd* parent);

    CRect m_rect;
    CRectSelCorners m_corners;
};

/// Free-hand selection (type 2).
class CFreeRegionObj : public CSelectionInfo {
public:
    void ShowWnd() override;
    void HideWnd() override;
    int GetType() override { return 2; }
    void SetData(int pixelArea, double logicalArea, CRect bounds, CPointT<double> logicalTopLeft,
                 CPointT<double> logicalBottomRight, CWnd* parent);
    void Reset();

    double m_dArea = 0.0;
    double m_dLogicalArea = 0.0;
    CRect m_bounds;
    CPointT<double> m_logical[2] = {};
};

/// The "Freehand region" dialog; frees itself when closed.
class CFreehandRegionDlg : public CSelfDeletingDlg {
public:
    CFreehandRegionDlg();
    void SetData(double pixelArea, double logicalArea, CRect bounds, CPointT<double> logicalTopLeft,
                 CPointT<double> logicalBottomRight, CSelectionInfo* owner);
    void Clear();

    CSelectionInfo* m_pOwner = nullptr;
    CString m_texts[3];

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
};

/// A named list of name and value texts for the object Properties dialog.
class CPropertySet {
public:
    void Clear() { m_items.clear(); }
    void Add(const CString& name, const CString& value) { m_items.push_back({name, value}); }
    void SetObjectName(const CString& name) { m_name = name; }
    void Show(CWnd* parent) { m_pParent = parent; }
    void Refresh() {}

    struct Item {
        CString name;
        CString value;
    };
    std::vector<Item> m_items;
    CString m_name;
    CWnd* m_pParent = nullptr;
};

/// One byte channel of a pixel block.
struct PixelBlock {
    BYTE* first = nullptr;  ///< the first row
    int width = 0;
    int height = 0;
    int pixelStep = 0;  ///< bytes from one pixel to the next
    int rowStep = 0;    ///< bytes from one row to the next (negative walks upwards)
};

/// Nearest-neighbour stretch of one byte channel of `source` into `destination`.
void StretchPixelRows(const PixelBlock& destination, const PixelBlock& source);
