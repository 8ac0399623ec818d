#include "tests/plugin3d/model/scene/scene_pictures.h"

#include <cmath>

#include "plugin3d/model/scene/k_drawing_system3d.h"
#include "tests/plugin3d/model/render/bitmap_picture.h"
#include "tests/support/ui_helpers.h"

namespace kelvora::test {

TMatrix3D FromColumns(const TVector3D& a, const TVector3D& b, const TVector3D& c)
{
    return TMatrix3D{{a.x, b.x, c.x, a.y, b.y, c.y, a.z, b.z, c.z}};
}

TMatrix3D FrameAlong(TVector3D x)
{
    VectorNormalize(x, x);
    TVector3D up{0, 0, 1}, y, z;
    if (std::abs(x.z) > 0.9) up = {0, 1, 0};
    VectorCross(up, x, y);
    VectorNormalize(y, y);
    VectorCross(x, y, z);
    return FromColumns(x, y, z);
}

QImage ViewerPicture(TKDrawingSystem3D& ds)
{
    TKObjectLock lock(ds);
    return BitmapPicture(*ds.Bitmap(), ds.ImageWidth(), ds.ImageHeight());
}

::testing::AssertionResult MatchesGolden(const QImage& picture, const std::string& name)
{
    return tarvenix::test::MatchesGolden(picture, "tests/plugin3d/golden", name, {2, 1});
}

}  // namespace kelvora::test
