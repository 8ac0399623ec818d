#include <cstdint>
#include <mutex>
#include <unordered_set>
#include <vector>

#include "platform/gdi/dc.h"
#include "platform/gdi/gdi_objects.h"
#include "platform/resources/icon_internal.h"
#include "platform/resources/resources.h"

BOOL DrawIcon(HDC dc, int x, int y, HICON icon)
{
    if (!dc || !icon || icon->image.isNull()) return FALSE;
    const QImage image = icon->image.convertToFormat(QImage::Format_ARGB32);
    const int cx = image.width(), cy = image.height();
    // A masked copy: AND with a mask that is white where the icon is clear keeps the DC
    // there and clears the icon's pixels, then OR puts the icon into them.
    std::vector<std::uint32_t> mask(static_cast<std::size_t>(cx) * static_cast<std::size_t>(cy));
    std::vector<std::uint32_t> colour(mask.size());
    for (int row = 0; row < cy; ++row) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(row));
        for (int col = 0; col < cx; ++col) {
            const std::size_t i =
                static_cast<std::size_t>(row) * static_cast<std::size_t>(cx) + static_cast<std::size_t>(col);
            const bool opaque = qAlpha(line[col]) >= 128;
            mask[i] = opaque ? 0xFF000000u : 0xFFFFFFFFu;
            colour[i] = opaque ? (line[col] | 0xFF000000u) : 0xFF000000u;
        }
    }
    BOOL ok = TRUE;
    for (const auto& [bits, rop] : {std::pair{&mask, SRCAND}, std::pair{&colour, SRCPAINT}}) {
        const HBITMAP bitmap = CreateBitmap(cx, cy, 1, 32, bits->data());
        const HDC source = CreateCompatibleDC(dc);
        if (!bitmap || !source) {
            ok = FALSE;
        } else {
            const HGDIOBJ previous = SelectObject(source, reinterpret_cast<HGDIOBJ>(bitmap));
            ok &= ::BitBlt(dc, x, y, cx, cy, source, 0, 0, rop);
            SelectObject(source, previous);
        }
        if (source) DeleteDC(source);
        if (bitmap) DeleteObject(reinterpret_cast<HGDIOBJ>(bitmap));
    }
    return ok;
}

namespace {

// Icons made at run time, so that DestroyIcon frees only those and never a resource's.
struct MadeIcons {
    std::mutex mutex;
    std::unordered_set<HICON> icons;
};

MadeIcons& Made()
{
    static auto* made = new MadeIcons;  // outlives every thread that may still free one
    return *made;
}

}  // namespace

HICON platform::CreateIconFromImage(const QImage& image)
{
    if (image.isNull()) return nullptr;
    auto* icon = new HICON__{image.convertToFormat(QImage::Format_ARGB32)};
    MadeIcons& made = Made();
    std::lock_guard lock(made.mutex);
    made.icons.insert(icon);
    return icon;
}

BOOL DestroyIcon(HICON hIcon)
{
    MadeIcons& made = Made();
    {
        std::lock_guard lock(made.mutex);
        if (made.icons.erase(hIcon) == 0) return FALSE;
    }
    delete hIcon;
    return TRUE;
}
