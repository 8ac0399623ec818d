#pragma once

// The analysis windows and dialogs a viewer frame creates and talks to, in one include.

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

#include "viewer/analysis/color_correction_dlg.h"

#include "viewer/analysis/coord_pointer_dlg.h"

#include "viewer/analysis/logical_coords_dlg.h"

#include "viewer/analysis/data_info_dlg.h"

#include "viewer/analysis/file_properties_dlg.h"

#include "viewer/analysis/find_dlg.h"

#include "viewer/analysis/find_replace_value_dlg.h"

#include "viewer/analysis/find_value.h"

// --- modal dialogs of the frame ---------------------------------------------------------------

#include "viewer/analysis/new_file_dlg.h"

#include "viewer/analysis/hist_trim_dlg.h"

#include "viewer/analysis/rgb_channels_dlg.h"

// --- windows and objects the views make -------------------------------------------------------

#include "viewer/analysis/profile_frame.h"

#include "viewer/analysis/statistics_dlg.h"

#include "viewer/analysis/curve_static.h"

#include "viewer/analysis/selection_objects.h"

#include "viewer/analysis/freehand_region_dlg.h"

#include "viewer/analysis/property_set.h"

#include "viewer/analysis/pixel_stretch.h"
