#pragma once

// A static control that draws three 256-entry tone curves (red, green, blue) on black;
// where curves cross, their colours merge (red and green give yellow, all three white).

#include "platform/controls/static_ctrl.h"
#include "platform/types.h"

class CCurveStatic : public CStatic {
public:
    CCurveStatic() = default;

    /// Output level per input level 0..255, one table per channel; not owned. With any of
    /// them null the control draws nothing. Redraw the control after changing them.
    const BYTE* m_pRed = nullptr;
    const BYTE* m_pGreen = nullptr;
    const BYTE* m_pBlue = nullptr;

protected:
    QWidget* CreateWidget(const CREATESTRUCT& cs, QWidget* parentWidget) override;
    void OnPaint();
    DECLARE_MESSAGE_MAP()
};
