#pragma once

// What the viewer frame's loading, saving and closing files share.

#include <utility>

#include "platform/cstring.h"
#include "platform/window/ui_thread.h"

class CFrameViewer;
class CWnd;
class CViewRect;
class CVirtualView;

namespace frame_files {

inline constexpr const char* kFileFilter = "Tarvenix files (*.rdp)|*.rdp|All files (*.*)|*.*||";

/// Runs `fn` on the user-interface thread (at once when already there) and returns its result:
/// a close job asks its questions and touches windows only this way.
template <class F>
auto OnUi(F&& fn) -> decltype(fn())
{
    return platform::CallOnUiThread(std::forward<F>(fn));
}

/// The "WorkDir" folder of the general settings; empty when unset.
CString WorkDir();
/// The active view when it is a single-band raster; null otherwise.
CVirtualView* ActiveSingleBand(CViewRect& view);
/// After a fault while loading: no current file, the notification window told (code 3),
/// the fault reported, the frame usable again.
template <class Current>
void ReportLoadException(CFrameViewer& frame, Current& current, CWnd* parent, int notifyId);

void ReportFault(CFrameViewer& frame, CWnd* parent, int notifyId);

template <class Current>
void ReportLoadException(CFrameViewer& frame, Current& current, CWnd* parent, int notifyId)
{
    current = Current();
    ReportFault(frame, parent, notifyId);
}

}  // namespace frame_files
