#include "app/placeholder_viewer.h"
#include "app/tarvenix_app.h"
#include "app/viewer_seam.h"

namespace {
CTarvenixApp theApp;
}  // namespace

int main(int argc, char** argv)
{
    // How the program opens and counts its viewers.
    SetViewerSeam(PlaceholderViewerSeam());
    return AfxWinMain(argc, argv);
}
