#include "plugin3d/model/scene/k_project_helpers.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>

#include "platform/forms/forms.h"
#include "platform/forms/format.h"
#include "platform/window/messages.h"
#include "platform/window/nonclient.h"
#include "platform/window/wnd.h"
#include "platform/window/work_area.h"

namespace {

// One axis of PlaceFormOnScreen, on the work area [start, start + extent): sizes and places
// come from files and may lie anywhere in 32 bits, so the sums are taken in 64. A window
// larger than the work area is made as large as it, never larger.
void PlaceOnAxis(std::int64_t& place, std::int64_t& size, std::int64_t start, std::int64_t extent)
{
    extent = std::max<std::int64_t>(extent, 1);
    size = std::min(size, extent);
    if (size >= extent)
        place = start;
    else if (place < start)
        place = start + (extent - size) / 2;
    else if (place + size > start + extent)
        place = start + extent - size;
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
    std::int64_t w = width > 0 ? width : form->Width();
    std::int64_t h = height > 0 ? height : form->Height();
    std::int64_t x = left, y = top;
    const CRect area = platform::WorkAreaFor(CRect(0, 0, 1, 1));
    PlaceOnAxis(x, w, area.left, std::int64_t(area.right) - area.left);
    PlaceOnAxis(y, h, area.top, std::int64_t(area.bottom) - area.top);
    left = static_cast<int>(x);
    top = static_cast<int>(y);
    width = static_cast<int>(w);
    height = static_cast<int>(h);
    if (form->GetSafeHwnd())
        form->SetWindowPos(stayOnTop ? &CWnd::wndTopMost : &CWnd::wndNoTopMost, 0, 0, 0, 0,
                           SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOCOPYBITS | SWP_NOOWNERZORDER);
    form->SetBounds(left, top, width, height);
    // A form that keeps a least size of its own may come out larger than asked: placed again
    // with the size it took, so that it stays on the screen too.
    if (form->Width() != width || form->Height() != height) {
        std::int64_t x2 = left, y2 = top, w2 = form->Width(), h2 = form->Height();
        PlaceOnAxis(x2, w2, area.left, std::int64_t(area.right) - area.left);
        PlaceOnAxis(y2, h2, area.top, std::int64_t(area.bottom) - area.top);
        form->SetBounds(static_cast<int>(x2), static_cast<int>(y2), form->Width(), form->Height());
    }
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
