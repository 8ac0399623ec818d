#pragma once

// Searching a layer for a typed value.

#include "platform/cstring.h"
#include "platform/geometry.h"

class CRDPLayer;

/// Looks for the value `text` (real, or complex for component 4) in `layer` from the pixel
/// after `position` in row order (before it with `backward`), exactly or, with
/// `approximate`, to as many decimals as each part has. 1 with the hit in `position`, or 0.
int FindValueInLayer(CString text, int backward, int approximate, CRDPLayer* layer, int component,
                     CPoint* position);

/// 10 to the number of decimals of a number's text (ending at an exponent or a blank),
/// capped at 10^15; 1 when the text has no point or its value is 0.
double DigitsMultiplier(const CString& text);
