#include "outside/basecore/region_info.h"

#include <cmath>

#include "outside/basecore/coord_law_data.h"
#include "platform/gdi/metafile.h"
#include "platform/gdi/region.h"
#include "platform/shell/clipboard_change.h"

double GetRgnSquare(HRGN region)
{
    return region ? static_cast<double>(GetRgnArea(region)) : 0.0;
}

BOOL GetRgnInfo(HRGN region, const CCoordLawData* law, RgnInfo* info)
{
    if (!region || !info) return FALSE;
    RECT box{};
    if (GetRgnBox(region, &box) == ERROR) return FALSE;
    *info = RgnInfo{};
    info->pixelArea = GetRgnArea(region);
    info->bounds = box;
    if (info->pixelArea == 0) return TRUE;
    const CCoordLawData pixels;
    const CCoordLawData& l = law ? *law : pixels;
    info->logicalTopLeft = l.GetLogicalCoord(double(box.left), double(box.top));
    info->logicalBottomRight = l.GetLogicalCoord(double(box.right - 1), double(box.bottom - 1));
    // One pixel's logical size: the law is linear, so the distance from (0,0) to (1,1) per axis.
    const CPointT<double> o = l.GetLogicalCoord(0.0, 0.0), u = l.GetLogicalCoord(1.0, 1.0);
    info->logicalArea = double(info->pixelArea) * std::fabs((u.x - o.x) * (u.y - o.y));
    return TRUE;
}

BOOL CopyBitmapToClipboard(HWND owner, HBITMAP bitmap, HPALETTE)
{
    if (!bitmap || !OpenClipboard(owner)) return FALSE;
    EmptyClipboard();
    const bool ok = SetClipboardData(CF_BITMAP, bitmap) != nullptr;
    CloseClipboard();
    return ok ? TRUE : FALSE;
}
