#include "plugin3d/model/scene/k_project_helpers.h"

#include <algorithm>
#include <filesystem>

#include "platform/forms/forms.h"
#include "platform/forms/format.h"
#include "platform/window/messages.h"
#include "platform/window/nonclient.h"
#include "platform/window/wnd.h"

namespace {

// One axis of PlaceFormOnScreen.
int PlaceOnAxis(int start, int size, int screen)
{
    if (size >= screen) return 0;
    if (start < 0) return (screen - size) / 2;
    if (start + size > screen) return screen - size;
    return start;
}

bool FileExists(const std::string& name)
{
    std::error_code ec;
    return !name.empty() && std::filesystem::is_regular_file(name, ec);
}

}  // namespace

void PlaceFormOnScreen(TForm* form, int left, int top, int width, int height, bool stayOnTop, bool visible)
{
    if (!form) return;
    if (width <= 0) width = form->Width();
    if (height <= 0) height = form->Height();
    const int screenWidth = Screen ? Screen->Width() : GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = Screen ? Screen->Height() : GetSystemMetrics(SM_CYSCREEN);
    left = PlaceOnAxis(left, width, screenWidth);
    top = PlaceOnAxis(top, height, screenHeight);
    if (form->GetSafeHwnd())
        form->SetWindowPos(stayOnTop ? &CWnd::wndTopMost : &CWnd::wndNoTopMost, 0, 0, 0, 0,
                           SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOCOPYBITS | SWP_NOOWNERZORDER);
    form->SetBounds(left, top, width, height);
    form->SetVisible(visible);
}

int WindowZDepth(HWND window)
{
    CWnd* wnd = IsWindow(window) ? CWnd::FromHandle(window) : nullptr;
    if (!wnd) return 0;
    const bool topmost = (wnd->GetExStyle() & WS_EX_TOPMOST) != 0;
    if (!wnd->GetParent()) {
        const std::vector<HWND> order = platform::TopLevelZOrder();
        const auto at = std::find(order.begin(), order.end(), window);
        if (at != order.end()) {
            const int fromTop = static_cast<int>(at - order.begin()) + 1;
            return topmost ? -(static_cast<int>(order.size()) - fromTop + 1) : fromTop;
        }
    }
    // A child window: counted among its siblings.
    int depth = 1;
    const UINT step = topmost ? GW_HWNDNEXT : GW_HWNDPREV;
    for (CWnd* next = wnd->GetWindow(step); next; next = next->GetWindow(step)) ++depth;
    return topmost ? -depth : depth;
}

TForm* FindFormByHandle(HWND window)
{
    if (!Screen || !window) return nullptr;
    for (int i = 0; i < Screen->FormCount(); ++i)
        if (TForm* form = Screen->Forms(i); form && form->GetSafeHwnd() == window) return form;
    return nullptr;
}

bool StrToIntDot(const std::string& text, int& value)
{
    return !text.empty() && TryStrToInt(text, value);
}

bool StrToFloatDot(const std::string& text, double& value)
{
    return !text.empty() && TryStrToFloat(text, value);
}

void FloatToStrDot(int width, int precision, std::string& text, double value)
{
    text = "0";
    std::string s = Format("%*.*f", width, precision, value);
    const std::size_t first = s.find_first_not_of(' ');
    if (first == std::string::npos) return;
    s.erase(0, first);
    while (!s.empty() && s.back() == ' ') s.pop_back();
    // Zeros are trailing only behind a decimal point: "100" keeps them.
    if (s.find('.') != std::string::npos) {
        while (!s.empty() && s.back() == '0') s.pop_back();
        if (!s.empty() && s.back() == '.') s.pop_back();
    }
    if (s == "-0") s = "0";
    if (!s.empty()) text = s;
}

bool RelocateFileName(const std::string& currentFolder, const std::string& savedFolder, std::string& name)
{
    if (savedFolder.empty() || savedFolder.size() >= name.size()) return false;
    if (!SameText(name.substr(0, savedFolder.size()), savedFolder)) return false;
    const std::string moved = currentFolder + name.substr(savedFolder.size());
    if (!FileExists(moved)) return false;
    name = moved;
    return true;
}
