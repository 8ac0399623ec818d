#pragma once

/// Writes into `out` (16 bytes or more) what printf's "%.6g" writes for `value` where that is a
/// number in fixed notation (its magnitude, rounded to six digits, from 0.0001 up to 999999)
/// and returns the text's length; returns 0 for every other value (zero, smaller, larger, not
/// finite), which the caller formats the general way. A screen of a value grid shows thousands
/// of such numbers.
int FixedSixDigitText(double value, char* out);
