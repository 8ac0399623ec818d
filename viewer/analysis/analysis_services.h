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

#include "viewer/analysis/hist_frame.h"

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

#include "viewer/analysis/file_properties_dlg.h"

/// The modeless "Find" dialog.
class CFindDlg : public CSelfDeletingDlg {
public:
    CFindDlg();
    BOOL Create(CFrameViewer* frame);
    CFrameViewer* m_pFrame = nullptr;
};

#include "viewer/analysis/find_replace_value_dlg.h"

#include "viewer/analysis/find_value.h"

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

#include "viewer/analysis/freehand_region_dlg.h"

#include "viewer/analysis/property_set.h"

#include "viewer/analysis/pixel_stretch.h"
