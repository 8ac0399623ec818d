#pragma once

// Splitting a typed complex value into its real and imaginary texts.

#include "platform/cstring.h"

/// Splits `text` into the texts of its real and imaginary parts. Accepted forms (blanks
/// around parts are ignored):
///   "a"                 real only; the imaginary text is "0"
///   "a+bi", "a-bi"      also with j for i, and "a+ib", "a-ib"
///   "bi", "-bi", "i"    imaginary only; the real text is "0" ("i" alone is 1)
///   "a, b", "a; b"      a pair, optionally in parentheses: "(a, b)"
/// Signs of exponents ("1e-3+2e+1i") do not split. Returns false for an empty text.
bool RecognizeComplex(const CString& text, CString& real, CString& imaginary);
