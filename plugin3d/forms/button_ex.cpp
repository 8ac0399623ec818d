#include "plugin3d/forms/button_ex.h"

#include "platform/forms/form_resource.h"

IMPLEMENT_TCLASS(TSpeedButtonEx, TSpeedButton)

namespace {

TControl* g_hot = nullptr;
UINT_PTR g_timer = 0;

void Tick(HWND, UINT, UINT_PTR, DWORD)
{
    CPoint cursor;
    GetCursorPos(&cursor);
    // What lies under the cursor now, disabled controls included.
    TControl* under = nullptr;
    if (TWinControl* window = TWinControl::FromHandle(::WindowFromPoint(cursor))) {
        under = window->ControlAtPos(window->ScreenToClient(cursor), true);
        if (!under) under = window;
    }
    if (under == g_hot) return;
    MakeSpeedButtonHot(ObjectAs<TSpeedButtonEx>(under));
}

}  // namespace

TControl* HotSpeedButton()
{
    return g_hot;
}

bool SpeedButtonTimerRunning()
{
    return g_timer != 0;
}

void MakeSpeedButtonHot(TControl* control)
{
    if (control == g_hot) return;
    TControl* previous = g_hot;
    g_hot = control;
    if (previous) previous->Perform(CM_MOUSELEAVE);
    if (control && g_hot == control) control->Perform(CM_MOUSEENTER);
    if (g_hot && !g_timer) {
        g_timer = SetTimer(nullptr, 0, 300, Tick);
    } else if (!g_hot && g_timer) {
        KillTimer(nullptr, g_timer);
        g_timer = 0;
    }
}

void TSpeedButtonEx::BeforeDestruction()
{
    if (g_hot == this) MakeSpeedButtonHot(nullptr);
    TSpeedButton::BeforeDestruction();
}

void TSpeedButtonEx::MouseMove(TShiftState shift, int x, int y)
{
    TSpeedButton::MouseMove(shift, x, y);
    MakeSpeedButtonHot(this);
}

namespace {

void ButtonExInit()
{
    const TClass classes[] = {TSpeedButtonEx::StaticClass()};
    RegisterClasses(classes);
}

void ButtonExFinal()
{
    if (g_timer) KillTimer(nullptr, g_timer);
    g_timer = 0;
    g_hot = nullptr;
    const TClass classes[] = {TSpeedButtonEx::StaticClass()};
    UnregisterClasses(classes);
}

}  // namespace

const TUnitInfo kButtonExUnit = {"ButtonEx", ButtonExInit, ButtonExFinal};
