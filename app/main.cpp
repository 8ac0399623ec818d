#include "app/tarvenix_app.h"

namespace {
CTarvenixApp theApp;
}  // namespace

int main(int argc, char** argv)
{
    return AfxWinMain(argc, argv);
}
