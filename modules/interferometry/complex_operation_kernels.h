#pragma once

// Element-wise arithmetic of two complex rows: sum, difference, product, quotient and
// product with the conjugate, in double precision whatever the stored precision.

#include <cstdint>

/// The operations, in the order the dialog lists them.
enum ComplexOperation : int {
    kComplexAdd = 0,
    kComplexSubtract = 1,
    kComplexMultiply = 2,
    kComplexDivide = 3,
    kComplexConjugateMultiply = 4,
};

/// True for the operation indexes 0..4.
constexpr bool IsComplexOperation(int op)
{
    return op >= kComplexAdd && op <= kComplexConjugateMultiply;
}

/// out[x] = a[x] op b[x] for `width` samples of type `type` (9 complex float or 10 complex
/// double; a, b and out alike). A zero divisor gives 0. Quotients of type 10 are limited:
/// the real part to -40..120, the imaginary part to -30..30, not-a-number to the lower bound.
void ComplexOperationRow(int type, int op, const void* a, const void* b, void* out, std::int64_t width);
