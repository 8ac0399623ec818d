#include "viewer/core/vector_view.h"

#include <cmath>

#include "viewer/core/vector_image.h"

CVectorView::CVectorView()
{
    m_nLayerClass = kLayerClassOverlay;
    m_nViewKind = kViewKindSingleBand;
}

void CVectorView::Set(int index, CVectorImage* image, int width, int height)
{
    m_nIndex = index;
    m_pImage = image;
    m_nGeometry[0] = width;
    m_nGeometry[1] = height;
    m_nLayerClass = kLayerClassOverlay;
}

void CVectorView::DrawOverlay(CDC* dc, int x, int y, int, int, double zoom, BOOL, BYTE*, BITMAPINFO*)
{
    if (!m_pImage || !m_bShown || !dc || !(zoom > 0.0) || !std::isfinite(zoom)) return;
    const double ox = std::trunc(double(x) * zoom), oy = std::trunc(double(y) * zoom);
    if (std::fabs(ox) > 2.0e9 || std::fabs(oy) > 2.0e9) return;
    m_pImage->Paint(dc, zoom, CPoint(static_cast<int>(ox), static_cast<int>(oy)), -1);
}
