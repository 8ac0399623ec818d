#pragma once

// What the viewer frame's tests share: small layer files, a window that hears a viewer's
// notifications, and opening a viewer the way a tool module does.

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "outside/basecore/rdp_layer.h"
#include "platform/window/messages.h"
#include "platform/window/wnd.h"
#include "tests/support/ui_helpers.h"
#include "viewer/frame/frame_viewer.h"
#include "viewer/frame/viewer_functions.h"
#include "viewer/core/viewer_messages.h"

namespace frame_test {

/// A width x height F32 layer file whose sample (x, y) is (x + 100 y) to the given power.
inline void MakeLayerFile(const std::string& path, int width = 24, int height = 16, double power = 1.0)
{
    CRDPLayer layer;
    ASSERT_NE(layer.CreateLayer(path.c_str(), width, height, 7), nullptr);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            layer.SetValue(x, y, power == 1.0 ? x + 100.0 * y : std::pow(x + 100.0 * y, power));
    ASSERT_TRUE(layer.CloseLayer());
}

/// A top-level window that keeps the (wParam, lParam) of every WM_VIEWER it is sent or posted.
class NotifyWindow : public CWnd {
public:
    NotifyWindow()
    {
        CreateEx(0, AfxRegisterWndClass(0), "Notified", WS_OVERLAPPED, CRect(0, 0, 40, 30), nullptr, 0);
    }
    ~NotifyWindow() override
    {
        if (GetSafeHwnd()) DestroyWindow();
    }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_VIEWER) received.emplace_back(int(wParam), int(lParam));
        return CWnd::WindowProc(message, wParam, lParam);
    }
    std::vector<std::pair<int, int>> received;
};

/// Opens a viewer on `file` as a tool module's result does, telling `parent` with `id`,
/// and waits until the load has reported.
inline CFrameViewer* OpenViewer(const std::string& file, NotifyWindow& parent, int id = 1)
{
    ViewResultParam p;
    p.parent = &parent;
    p.notifyId = id;
    p.fileName = file.c_str();
    const std::size_t before = parent.received.size();
    CFrameViewer* frame = ViewerCreate(&p);
    if (frame) tarvenix::test::PumpUntil([&] { return parent.received.size() > before; });
    return frame;
}

/// Shows `files` (red, green, blue) as a composite in `viewer` and waits until it has reported;
/// true when the composite shows.
inline bool ShowComposite(CFrameViewer& viewer, NotifyWindow& parent, const std::string (&files)[3])
{
    ViewResultParam channels[3];
    for (int i = 0; i < 3; ++i) channels[i].fileName = files[i].c_str();
    const std::size_t heard = parent.received.size();
    viewer.LoadNewLayer(&channels[0], &channels[1], &channels[2]);
    return tarvenix::test::PumpUntil([&] { return parent.received.size() > heard; }) &&
           viewer.GetColorMode() == 2;
}

/// The registered control message through which the main program steers viewers.
inline UINT ControlMessage()
{
    return ::RegisterWindowMessage(kViewerControlMessageName);
}

}  // namespace frame_test
