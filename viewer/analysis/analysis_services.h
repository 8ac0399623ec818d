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

#include "viewer/analysis/stand_in_dlg.h"

// --- the frame's panes and tool windows -----------------------------------------------------

#include "viewer/analysis/value_grid_pane.h"

#include "viewer/analysis/scale_mark_wnd.h"

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

#include "viewer/analysis/collapsible_dlg.h"

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

#include "viewer/analysis/logical_coords_dlg.h"

#include "viewer/analysis/data_info_dlg.h"

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

#include "viewer/analysis/find_replace_value_dlg.h"

/// Looks for a value in a layer from `position`; 1 with the hit in `position`, or 0.
int FindValueInLayer(CString text, int direction, int approximate, CRDPLayer* layer, int component,
                     CPoint* position);

// --- modal dialogs of the frame ---------------------------------------------------------------

#include "viewer/analysis/new_file_dlg.h"

#include "viewer/analysis/hist_trim_dlg.h"

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

#include "viewer/analysis/profile_frame.h"

#include "viewer/analysis/statistics_dlg.h"

#include "viewer/analysis/curve_static.h"

#include "viewer/analysis/selection_objects.h"

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

#include "viewer/analysis/property_set.h"

#include "viewer/analysis/pixel_stretch.h"
