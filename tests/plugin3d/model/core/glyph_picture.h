#pragma once

// A class glyph as the plug-in's lists show it, read back for tests to look at.

#include <cstdint>

#include <QImage>

#include "platform/forms/image_list.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/gdi_objects.h"
#include "plugin3d/model/core/k_interfaces.h"

namespace kelvora::test {

/// The 64-pixel picture of glyph id, its clear (masked) pixels black; a null image when the
/// id has no picture.
inline QImage GlyphPicture64(std::int32_t glyphId)
{
    TImageList* list = GlyphImageList(64);
    CBitmap picture;
    if (!list || glyphId <= 0 || !list->GetBitmap(GlyphImageIndex(glyphId), &picture)) return {};
    CDC dc;
    if (!dc.CreateCompatibleDC(nullptr)) return {};
    CBitmap* previous = dc.SelectObject(&picture);
    QImage image(64, 64, QImage::Format_RGB32);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const COLORREF c = dc.GetPixel(x, y);
            image.setPixel(x, y, qRgb(GetRValue(c), GetGValue(c), GetBValue(c)));
        }
    dc.SelectObject(previous);
    return image;
}

}  // namespace kelvora::test
