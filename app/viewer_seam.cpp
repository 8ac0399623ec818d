#include "app/viewer_seam.h"

#include "app/frame_viewer_seam.h"
#include "platform/window/wnd.h"

namespace {

ViewerSeam& Seam()
{
    static ViewerSeam seam = FrameViewerSeam();
    return seam;
}

}  // namespace

ViewerSeam SetViewerSeam(const ViewerSeam& seam)
{
    const ViewerSeam previous = Seam();
    Seam() = seam;
    return previous;
}

const ViewerSeam& GetViewerSeam()
{
    return Seam();
}

UINT ViewerControlMessage()
{
    return RegisterWindowMessageA("Tarvenix - Viewer Control Message");
}
