#include "modules/texture/exports.h"

#include "modules/texture/texture_dlg.h"
#include "modules/texture/texture_resources.h"
#include "outside/splash/splash.h"
#include "platform/dialogs/dialog_template.h"

bool AnnounceTextureModule()
{
    return SendSplashText("Texture Module Initializing...", 1);
}

namespace {

const bool kSplashTold = AnnounceTextureModule();

}  // namespace

void Texture_Files()
{
    // Without its template the dialog would make no window and never free itself.
    if (!platform::FindDialogTemplate(IDD_TEXTURE)) return;
    auto* dialog = new CMainTextureDlg;
    if (dialog->Create(nullptr)) dialog->ShowWindow(SW_SHOW);
}
