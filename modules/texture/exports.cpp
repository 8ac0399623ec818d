#include "modules/texture/exports.h"

#include "modules/texture/texture_dlg.h"
#include "outside/splash/splash.h"

bool AnnounceTextureModule()
{
    return SendSplashText("Texture Module Initializing...", 1);
}

namespace {

const bool kSplashTold = AnnounceTextureModule();

}  // namespace

void Texture_Files()
{
    ShowTool<CMainTextureDlg>();
}
