#pragma once

// TSpeedButtonEx (unit ButtonEx): a speed button whose hot state follows the mouse reliably.
// A move over one makes it the hot button at once (the one hot before hears CM_MOUSELEAVE, the
// new one CM_MOUSEENTER); while one is hot a 300 ms timer looks at what lies under the cursor
// and lets the button go when the mouse has left it by any way.

#include "platform/forms/buttons.h"
#include "platform/forms/units.h"

class TSpeedButtonEx : public TSpeedButton {
    DECLARE_TCLASS(TSpeedButtonEx)

    void BeforeDestruction() override;

protected:
    TSpeedButtonEx() = default;
    void MouseMove(TShiftState shift, int x, int y) override;
};

/// The hot control of the unit (null: none).
TControl* HotSpeedButton();
/// Makes control the hot one (null: none), telling the one before and the new one.
void MakeSpeedButtonHot(TControl* control);
/// Whether the unit's timer runs (it does while a button is hot).
bool SpeedButtonTimerRunning();

/// Unit ButtonEx: the class known to layouts; its end stops the timer and forgets the hot button.
extern const TUnitInfo kButtonExUnit;
