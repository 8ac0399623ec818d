#include "platform/window/wnd.h"

#include <algorithm>

#include <QApplication>
#include <QGuiApplication>

#include "platform/window/nonclient.h"
#include "platform/window/window_internal.h"

// --- stacking order of top-level windows -------------------------------------------------------
// The platform keeps the order itself (the window manager's is not readable everywhere, and
// not at all headless) and hands each change on to Qt with raise(). Two rules hold after
// every change: topmost windows lie above the others, and an owned window lies above its
// owner (so a dialog stays above the window it disables while it is modal).
namespace platform {
namespace {

std::vector<HWND>& Order()  // top first
{
    static auto* order = new std::vector<HWND>;
    return *order;
}

/// Qt's raise, where the platform has a window manager to ask (headless ones only complain).
void RaiseNative(QWidget* widget)
{
    if (QGuiApplication::platformName() != "offscreen") widget->raise();
}

const WindowData* DataOfHandle(HWND hwnd)
{
    return DataOf(LookupWindow(hwnd));
}

bool Topmost(HWND hwnd)
{
    const WindowData* data = DataOfHandle(hwnd);
    return data && (data->exStyle & WS_EX_TOPMOST);
}

HWND OwnerOf(HWND hwnd)
{
    const WindowData* data = DataOfHandle(hwnd);
    return data ? data->owner : nullptr;
}

void Normalise()
{
    std::vector<HWND>& order = Order();
    std::stable_partition(order.begin(), order.end(), Topmost);
    // Each owned window just above its owner when it has fallen below it; a chain of owners
    // is at most as long as the list, so the passes end.
    for (std::size_t pass = 0; pass <= order.size(); ++pass) {
        bool moved = false;
        for (std::size_t i = 0; i < order.size(); ++i) {
            const HWND owner = OwnerOf(order[i]);
            if (!owner) continue;
            const auto ownerAt = std::find(order.begin(), order.end(), owner);
            if (ownerAt == order.end() || ownerAt > order.begin() + static_cast<std::ptrdiff_t>(i)) continue;
            const HWND owned = order[i];
            order.erase(order.begin() + static_cast<std::ptrdiff_t>(i));
            order.insert(std::find(order.begin(), order.end(), owner), owned);
            moved = true;
        }
        if (!moved) break;
    }
}

/// Raises the Qt windows from hwnd upwards, so the window manager stacks them as the list does.
void ApplyFrom(HWND hwnd)
{
    const std::vector<HWND>& order = Order();
    const auto at = std::find(order.begin(), order.end(), hwnd);
    if (at == order.end()) return;
    for (auto it = std::make_reverse_iterator(at + 1); it != order.rend(); ++it) {
        const WindowData* data = DataOfHandle(*it);
        if (data && data->widget && !OuterOf(*data)->isHidden()) RaiseNative(OuterOf(*data));
    }
}

}  // namespace

void ZOrderAdd(HWND hwnd)
{
    Order().insert(Order().begin(), hwnd);
    Normalise();
}

void ZOrderRemove(HWND hwnd)
{
    std::erase(Order(), hwnd);
}

void ZOrderPlace(HWND hwnd, HWND insertAfter)
{
    std::vector<HWND>& order = Order();
    if (std::find(order.begin(), order.end(), hwnd) == order.end() || insertAfter == hwnd) return;
    std::erase(order, hwnd);
    if (insertAfter == HWND_BOTTOM) {
        order.push_back(hwnd);
    } else if (const auto other = std::find(order.begin(), order.end(), insertAfter);
               insertAfter != HWND_TOP && other != order.end()) {
        order.insert(other + 1, hwnd);
    } else {
        order.insert(order.begin(), hwnd);
    }
    Normalise();
    const WindowData* data = DataOfHandle(hwnd);
    if (insertAfter == HWND_BOTTOM && order.back() == hwnd && data && data->widget) {
        if (QGuiApplication::platformName() != "offscreen") OuterOf(*data)->lower();
    } else
        ApplyFrom(hwnd);
}

void NoteActivated(HWND hwnd)
{
    const std::vector<HWND>& order = Order();
    // Activation by the window manager: only when it changes something, or raising the
    // owned windows would activate it again.
    if (!order.empty() && order.front() == hwnd) return;
    ZOrderPlace(hwnd, HWND_TOP);
}

ActiveNote NoteActiveWindow()
{
    QWidget* active = QApplication::activeWindow();
    if (!active) return {};
    for (HWND h : Order()) {
        const WindowData* data = DataOfHandle(h);
        if (data && data->widget && OuterOf(*data) == active) return {h, data->owner};
    }
    return {};
}

namespace {

/// A window that can take the activation: shown on the screen, not minimised, enabled.
bool CanTakeActivation(HWND hwnd)
{
    const WindowData* data = DataOfHandle(hwnd);
    if (!data || !data->widget || (data->style & (WS_CHILD | WS_DISABLED))) return false;
    const QWidget* outer = OuterOf(*data);
    return !outer->isHidden() && !outer->isMinimized() && !outer->testAttribute(Qt::WA_DontShowOnScreen);
}

/// Whether hwnd is leaving or one of the windows it owns, which go with it.
bool GoesWith(HWND hwnd, HWND leaving)
{
    for (std::size_t depth = 0; hwnd && depth <= Order().size(); ++depth, hwnd = OwnerOf(hwnd))
        if (hwnd == leaving) return true;
    return false;
}

/// The window that takes over from the active one: its owner when it can, else the topmost
/// window that can, none of them leaving.
HWND NextActive(const ActiveNote& active, HWND leaving)
{
    if (active.owner && !GoesWith(active.owner, leaving) && CanTakeActivation(active.owner))
        return active.owner;
    for (HWND h : Order())
        if (h != active.hwnd && !GoesWith(h, leaving) && CanTakeActivation(h)) return h;
    return nullptr;
}

void Activate(HWND next)
{
    // Its activation raises it only above the windows that are no longer shown: among the
    // shown ones it keeps its place.
    if (const WindowData* data = next ? DataOfHandle(next) : nullptr; data && data->widget)
        OuterOf(*data)->activateWindow();
}

}  // namespace

void ActivateNextBeforeHiding(HWND leaving)
{
    // Asked before the window goes, so that the window manager never has to pick one.
    const ActiveNote active = NoteActiveWindow();
    if (active.hwnd && GoesWith(active.hwnd, leaving)) Activate(NextActive(active, leaving));
}

void ActivateNextIfGone(const ActiveNote& note)
{
    if (!note.hwnd) return;
    if (const WindowData* data = DataOfHandle(note.hwnd)) {
        const QWidget* outer = data->widget ? OuterOf(*data) : nullptr;
        if (outer && !outer->isHidden() && !outer->isMinimized()) return;  // still shown
    }
    // Another of the program's windows was activated meanwhile: it stays so.
    if (QWidget* active = QApplication::activeWindow(); active && !active->isHidden()) {
        const ActiveNote now = NoteActiveWindow();
        if (now.hwnd && now.hwnd != note.hwnd) return;
    }
    Activate(NextActive(note, note.hwnd));
}

void HideOwnedWindows(HWND owner)
{
    for (HWND h : std::vector<HWND>(Order())) {
        CWnd* wnd = LookupWindow(h);
        WindowData* data = DataOf(wnd);
        if (!data || data->owner != owner || !data->widget || OuterOf(*data)->isHidden()) continue;
        Dispatch(wnd, WM_SHOWWINDOW, FALSE, SW_PARENTCLOSING);
        if (LookupWindow(h) != wnd) continue;
        OuterOf(*data)->hide();
        data->hiddenWithOwner = true;
        HideOwnedWindows(h);
    }
}

void ShowOwnedWindows(HWND owner)
{
    const std::vector<HWND> order = Order();
    for (auto it = order.rbegin(); it != order.rend(); ++it) {  // bottom first keeps their order
        CWnd* wnd = LookupWindow(*it);
        WindowData* data = DataOf(wnd);
        if (!data || data->owner != owner || !data->hiddenWithOwner || !data->widget) continue;
        data->hiddenWithOwner = false;
        Dispatch(wnd, WM_SHOWWINDOW, TRUE, SW_PARENTOPENING);
        if (LookupWindow(*it) != wnd) continue;
        QWidget* outer = OuterOf(*data);
        outer->setAttribute(Qt::WA_ShowWithoutActivating, true);
        outer->show();
        RaiseNative(outer);
        ShowOwnedWindows(*it);
    }
}

std::vector<HWND> TopLevelZOrder()
{
    return Order();
}

void SetShownOffScreen(HWND hwnd, bool offScreen)
{
    const WindowData* data = DataOfHandle(hwnd);
    if (!data || !data->widget || (data->style & WS_CHILD)) return;
    QWidget* outer = OuterOf(*data);
    if (outer->testAttribute(Qt::WA_DontShowOnScreen) == offScreen) return;
    // The attribute counts when the window is shown: a shown one is shown again.
    const bool shown = !outer->isHidden();
    if (shown) outer->hide();
    outer->setAttribute(Qt::WA_DontShowOnScreen, offScreen);
    if (shown) outer->show();
}

bool IsShownOffScreen(HWND hwnd)
{
    const WindowData* data = DataOfHandle(hwnd);
    return data && data->widget && OuterOf(*data)->testAttribute(Qt::WA_DontShowOnScreen);
}

}  // namespace platform
