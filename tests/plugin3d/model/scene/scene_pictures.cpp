#include "tests/plugin3d/model/scene/scene_pictures.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/gdi/gdi.h"
#include "plugin3d/model/render/memory_bitmap.h"
#include "plugin3d/model/scene/k_drawing_system3d.h"
#include "tests/platform/gdi/canvas.h"
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
    const int width = ds.ImageWidth(), height = ds.ImageHeight();
    TKMemoryBitmap* bitmap = ds.Bitmap();
    tarvenix::test::Canvas shown(width, height);
    bitmap->LockCanvas();
    BitBlt(shown.dc(), 0, 0, width, height, bitmap->Canvas(), 0, 0, SRCCOPY);
    bitmap->UnlockCanvas();
    const std::vector<std::uint32_t> pixels = shown.Pixels();
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        std::memcpy(image.scanLine(y), pixels.data() + std::size_t(y) * std::size_t(width),
                    std::size_t(width) * 4);
    return image;
}

::testing::AssertionResult MatchesGolden(const QImage& picture, const std::string& name)
{
    tarvenix::test::SaveTestOutput(picture, name);
    const auto file =
        tarvenix::test::TestOutputDir().parent_path() / "tests/plugin3d/golden" / (name + ".png");
    const QImage golden = QImage(QString::fromStdString(file.string())).convertToFormat(QImage::Format_RGB32);
    if (golden.isNull()) return ::testing::AssertionFailure() << file << " is missing";
    if (golden.size() != picture.size()) return ::testing::AssertionFailure() << name << ": another size";
    int off = 0, worst = 0;
    for (int y = 0; y < picture.height(); ++y) {
        const auto* a = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
        const auto* b = reinterpret_cast<const QRgb*>(golden.constScanLine(y));
        for (int x = 0; x < picture.width(); ++x) {
            const int d = std::max({std::abs(qRed(a[x]) - qRed(b[x])), std::abs(qGreen(a[x]) - qGreen(b[x])),
                                    std::abs(qBlue(a[x]) - qBlue(b[x]))});
            worst = std::max(worst, d);
            if (d > 2) ++off;
        }
    }
    if (off * 1000 > picture.width() * picture.height())
        return ::testing::AssertionFailure()
               << name << ": " << off << " pixels differ by more than 2 levels (up to " << worst << ")";
    return ::testing::AssertionSuccess();
}

}  // namespace kelvora::test
