#include "platform/controls/image_list.h"

#include <QPainter>

BOOL CImageList::Create(int cx, int cy, UINT nFlags, int nInitial, int)
{
    if (m_created || cx <= 0 || cy <= 0) return FALSE;
    m_created = true;
    m_cx = cx;
    m_cy = cy;
    m_flags = nFlags;
    m_images.reserve(static_cast<std::size_t>(std::max(nInitial, 0)));
    return TRUE;
}

BOOL CImageList::DeleteImageList()
{
    if (!m_created) return FALSE;
    m_created = false;
    m_cx = m_cy = 0;
    m_flags = 0;
    m_background = CLR_NONE;
    m_images.clear();
    return TRUE;
}

QImage CImageList::Cell(const QImage& bitmap, int x, COLORREF crMask) const
{
    QImage cell(m_cx, m_cy, QImage::Format_ARGB32);
    cell.fill(Qt::transparent);
    const QImage source = bitmap.convertToFormat(QImage::Format_ARGB32);
    const QRgb mask = qRgb(GetRValue(crMask), GetGValue(crMask), GetBValue(crMask));
    const bool masked = (m_flags & ILC_MASK) && crMask != CLR_NONE;
    const int rows = std::min(m_cy, source.height());
    const int cols = std::min(m_cx, source.width() - x);
    for (int y = 0; y < rows; ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(source.constScanLine(y)) + x;
        auto* out = reinterpret_cast<QRgb*>(cell.scanLine(y));
        for (int i = 0; i < cols; ++i) {
            const QRgb pixel = in[i] | 0xFF000000u;
            out[i] = masked && (pixel & 0xFFFFFFu) == (mask & 0xFFFFFFu) ? 0u : pixel;
        }
    }
    return cell;
}

int CImageList::Add(const QImage& bitmap, COLORREF crMask)
{
    if (!m_created || bitmap.isNull() || bitmap.width() < m_cx) return -1;
    const int first = GetImageCount();
    for (int x = 0; x + m_cx <= bitmap.width(); x += m_cx) m_images.push_back(Cell(bitmap, x, crMask));
    return first;
}

int CImageList::Add(const QImage& icon)
{
    if (!m_created || icon.isNull()) return -1;
    QImage scaled = icon.convertToFormat(QImage::Format_ARGB32);
    if (scaled.size() != QSize(m_cx, m_cy)) scaled = scaled.scaled(m_cx, m_cy, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    m_images.push_back(scaled);
    return GetImageCount() - 1;
}

BOOL CImageList::Replace(int nImage, const QImage& bitmap, COLORREF crMask)
{
    if (nImage < 0 || nImage >= GetImageCount() || bitmap.isNull()) return FALSE;
    m_images[static_cast<std::size_t>(nImage)] = Cell(bitmap, 0, crMask);
    return TRUE;
}

BOOL CImageList::Remove(int nImage)
{
    if (!m_created) return FALSE;
    if (nImage == -1) {
        m_images.clear();
        return TRUE;
    }
    if (nImage < 0 || nImage >= GetImageCount()) return FALSE;
    m_images.erase(m_images.begin() + nImage);
    return TRUE;
}

BOOL CImageList::GetIconSize(int& cx, int& cy) const
{
    if (!m_created) return FALSE;
    cx = m_cx;
    cy = m_cy;
    return TRUE;
}

COLORREF CImageList::SetBkColor(COLORREF cr)
{
    const COLORREF previous = m_background;
    m_background = cr;
    return previous;
}

BOOL CImageList::Draw(QPainter& painter, int nImage, POINT pt, UINT nStyle) const
{
    if (nImage < 0 || nImage >= GetImageCount()) return FALSE;
    if (m_background != CLR_NONE && !(nStyle & ILD_TRANSPARENT))
        painter.fillRect(pt.x, pt.y, m_cx, m_cy, QColor(GetRValue(m_background), GetGValue(m_background), GetBValue(m_background)));
    painter.drawImage(pt.x, pt.y, m_images[static_cast<std::size_t>(nImage)]);
    return TRUE;
}

QImage CImageList::GetImage(int nImage) const
{
    if (nImage < 0 || nImage >= GetImageCount()) return {};
    return m_images[static_cast<std::size_t>(nImage)];
}
