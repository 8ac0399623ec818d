#pragma once

// A trackbar for a factor around 1.0: its middle position stands for 1.0, the left half
// runs linearly down to the minimum and the right half up to the maximum.

#include "platform/controls/slider_ctrl.h"

class CCenteredSliderCtrl : public CSliderCtrl {
public:
    using CSliderCtrl::SetRange;
    /// Stores the value range, gives the trackbar positions 0..1000 and puts it at 1.0.
    void SetRange(double minimum, double maximum);
    /// The value of a position (500 is 1.0).
    double PositionToValue(int position) const;
    /// The position of a value, kept within 0..1000.
    int ValueToPosition(double value) const;
    double GetValue() const { return PositionToValue(GetPos()); }
    void SetValue(double value) { SetPos(ValueToPosition(value)); }

    double m_dMinimum = 0.1;
    double m_dMaximum = 6.0;

    static constexpr int kPositions = 1000;
    static constexpr int kCentre = 500;
};
