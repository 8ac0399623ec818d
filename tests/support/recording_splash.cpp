#include "tests/support/recording_splash.h"

namespace tarvenix::test {

BEGIN_MESSAGE_MAP(RecordingSplash, CWnd)
    ON_WM_COPYDATA()
END_MESSAGE_MAP()

bool RecordingSplash::Make(const char* title, CWnd* parent)
{
    AfxRegisterClass(kSplashWindowClass, 0);
    const DWORD style = parent ? WS_CHILD : WS_POPUP;
    return CreateEx(0, kSplashWindowClass, title, style, CRect(0, 0, 1, 1), parent, 0) != FALSE;
}

BOOL RecordingSplash::OnCopyData(CWnd* sender, COPYDATASTRUCT* data)
{
    received.push_back({data->dwData, std::string(static_cast<const char*>(data->lpData), data->cbData),
                        sender ? sender->GetSafeHwnd() : nullptr});
    return TRUE;
}

}  // namespace tarvenix::test
