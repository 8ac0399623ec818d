#pragma once

// Pictures of the 3D scene tests: frames to place cameras and lights with, a viewer's picture
// as its window copies it, and the comparison with committed golden pictures.

#include <QImage>
#include <gtest/gtest.h>

#include <string>

#include "plugin3d/model/render/k_vectors.h"

class TKDrawingSystem3D;

namespace kelvora::test {

/// The matrix whose columns are a, b and c.
TMatrix3D FromColumns(const TVector3D& a, const TVector3D& b, const TVector3D& c);
/// A right-handed frame whose x axis points along x (lights shine along their x axis).
TMatrix3D FrameAlong(TVector3D x);

/// The drawing system's picture as the viewer window copies it from the bitmap, under the
/// drawing system's lock.
QImage ViewerPicture(TKDrawingSystem3D& ds);

/// Saves the picture to test-output/<name>.png and compares it with the committed
/// tests/plugin3d/golden/<name>.png: no component of a pixel more than 2 levels off, except
/// at 0.1 % of the pixels (edges may fall on the other side of a rounding).
::testing::AssertionResult MatchesGolden(const QImage& picture, const std::string& name);

}  // namespace kelvora::test
