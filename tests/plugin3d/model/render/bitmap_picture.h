#pragma once

// The picture of a memory bitmap as a viewer shows it: blitted from the bitmap's device
// context (under its canvas lock) into a 32-bit picture, whatever the bitmap's format.

#include <cstdint>
#include <cstring>
#include <vector>

#include <QImage>

#include "platform/gdi/gdi.h"
#include "plugin3d/model/render/memory_bitmap.h"
#include "tests/platform/gdi/canvas.h"

namespace kelvora::test {

inline QImage BitmapPicture(const TKMemoryBitmap& bitmap, int width, int height)
{
    tarvenix::test::Canvas shown(width, height);
    bitmap.LockCanvas();
    BitBlt(shown.dc(), 0, 0, width, height, bitmap.Canvas(), 0, 0, SRCCOPY);
    bitmap.UnlockCanvas();
    const std::vector<std::uint32_t> pixels = shown.Pixels();
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        std::memcpy(image.scanLine(y), pixels.data() + std::size_t(y) * width, std::size_t(width) * 4);
    return image;
}

}  // namespace kelvora::test
