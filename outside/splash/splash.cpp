#include "outside/splash/splash.h"

#include <cstring>

#include "platform/window/messages.h"
#include "platform/window/wnd.h"

bool SendSplashText(const char* text, std::uintptr_t kind, HWND sender)
{
    if (!text) return false;
    HWND splash = FindWindow(kSplashWindowClass, kSplashWindowTitle);
    if (!splash || !IsWindow(splash)) return false;
    // The receiver sees this record only for the duration of the send, so a send it is.
    COPYDATASTRUCT data{kind, static_cast<DWORD>(std::strlen(text)), const_cast<char*>(text)};
    SendMessage(splash, WM_COPYDATA, reinterpret_cast<WPARAM>(sender), reinterpret_cast<LPARAM>(&data));
    return true;
}
