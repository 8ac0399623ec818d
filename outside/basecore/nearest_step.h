#pragma once

// Round step values for axes, grids and scale marks.

/// The value nearest to `step` among 1, 2, 2.5 and 5 times a power of ten (ties go to the
/// smaller one). A negative step gives the negative of its magnitude's result; 0, NaN and
/// infinities give 0. A candidate beyond the double range is never returned.
double GetNearestStep(double step);
