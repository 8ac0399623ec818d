#pragma once

// Affine transforms of the plane: X = m11 x + m21 y + dx, Y = m12 x + m22 y + dy. They take
// picture pixels to geographic coordinates and back. A transform that cannot be inverted
// (or built) gives a failure result, never NaN.

#include "outside/basecore/rect_t.h"
#include "platform/types.h"

struct TransformMatrix {
    double m11 = 1.0;
    double m12 = 0.0;
    double m21 = 0.0;
    double m22 = 1.0;
    double dx = 0.0;
    double dy = 0.0;
    bool operator==(const TransformMatrix&) const = default;
};

/// Copies `from` into *to. FALSE for a null target.
BOOL EquateTransform(const TransformMatrix& from, TransformMatrix* to);
/// The transform that takes from[i] to to[i] for the three point pairs. FALSE (and *result
/// untouched) when the three `from` points lie on one line or a value is not finite.
BOOL CalculationTransform(const CPointT<double> from[3], const CPointT<double> to[3],
                          TransformMatrix* result);
/// *result = `first` followed by `second` (result(p) = second(first(p))); the result may be
/// one of the inputs. FALSE when a value of the product is not finite.
BOOL CalcMultiplicationTransform(const TransformMatrix& first, const TransformMatrix& second,
                                 TransformMatrix* result);
/// The point p that `m` takes to `q`. FALSE (and *p untouched) when `m` cannot be inverted.
BOOL InverseTransformPoint(const TransformMatrix& m, const CPointT<double>& q, CPointT<double>* p);
/// The point `m` takes p to.
CPointT<double> TransformPoint(const TransformMatrix& m, const CPointT<double>& p);
/// Nonzero when `m` can be inverted (finite, with a determinant that is not negligible).
BOOL IsInvertibleTransform(const TransformMatrix& m);
