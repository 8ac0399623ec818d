#include "viewer/analysis/centered_slider_ctrl.h"

#include <algorithm>
#include <cmath>

void CCenteredSliderCtrl::SetRange(double minimum, double maximum)
{
    m_dMinimum = minimum;
    m_dMaximum = maximum;
    CSliderCtrl::SetRange(0, kPositions, TRUE);
    SetPos(kCentre);
}

double CCenteredSliderCtrl::PositionToValue(int position) const
{
    if (position >= kCentre) return 1.0 + (position - kCentre) * (m_dMaximum - 1.0) / kCentre;
    return m_dMinimum + position * (1.0 - m_dMinimum) / kCentre;
}

int CCenteredSliderCtrl::ValueToPosition(double value) const
{
    // A half whose end is 1.0 itself has no length: every value there is the centre.
    double position = kCentre;
    if (value >= 1.0) {
        if (m_dMaximum > 1.0) position = (value - 1.0) * kCentre / (m_dMaximum - 1.0) + kCentre;
    } else if (m_dMinimum < 1.0) {
        position = (value - m_dMinimum) * kCentre / (1.0 - m_dMinimum);
    }
    if (!std::isfinite(position)) return kCentre;
    return static_cast<int>(std::clamp(position, 0.0, double(kPositions)));
}
