#include "app/frame_viewer_seam.h"

#include "viewer/frame/frame_viewer.h"

namespace {

void OpenFrameViewer(const char* fileName, CWnd* parent, const RECT* rect)
{
    // The frame belongs to its window from here on; a file it cannot open it reports itself.
    auto* viewer = new CFrameViewer;
    viewer->Create(fileName ? fileName : "", parent, 0, 0, 0.0, 0.0, 0, rect);
}

int CountFrameViewers()
{
    return CFrameViewer::LiveCount();
}

}  // namespace

ViewerSeam FrameViewerSeam()
{
    return ViewerSeam{OpenFrameViewer, CountFrameViewers};
}
