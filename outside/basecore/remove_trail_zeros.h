#pragma once

#include "platform/cstring.h"

/// Strips the trailing zeros of a fixed-point number's fraction, and the point when nothing
/// is left after it: "2.500000" gives "2.5", "3.000000" gives "3". A negative zero becomes
/// "0". Text without a point, or with an exponent, is left as it is.
void RemoveTrailZeros(CString& text);
