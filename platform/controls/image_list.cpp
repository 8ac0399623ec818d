#include "platform/controls/image_list.h"

#include <vector>

#include <QPainter>

#include "platform/gdi/dc.h"
#include "platform/gdi/gdi_objects.h"
#include "platform/qt_types.h"
#include "platform/resources/resources.h"

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
    if (scaled.size() != QSize(m_cx, m_cy))
        scaled = scaled.scaled(m_cx, m_cy, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
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
        painter.fillRect(pt.x, pt.y, m_cx, m_cy, platform::ToQColor(m_background));
    painter.drawImage(pt.x, pt.y, m_images[static_cast<std::size_t>(nImage)]);
    return TRUE;
}

QImage CImageList::GetImage(int nImage) const
{
    if (nImage < 0 || nImage >= GetImageCount()) return {};
    return m_images[static_cast<std::size_t>(nImage)];
}

HICON CImageList::ExtractIcon(int nImage) const
{
    return platform::CreateIconFromImage(GetImage(nImage));
}

int CImageList::Add(CBitmap* pbmImage, COLORREF crMask)
{
    if (!pbmImage || !pbmImage->GetSafeHandle()) return -1;
    // The bitmap's pixels, read through a memory DC that holds it for a moment.
    const HDC dc = CreateCompatibleDC(nullptr);
    if (!dc) return -1;
    const HGDIOBJ previous = SelectObject(dc, pbmImage->GetSafeHandle());
    const QImage picture = GetDCImage(dc);
    SelectObject(dc, previous);
    DeleteDC(dc);
    return Add(picture, crMask);
}

BOOL CImageList::Draw(CDC* pDC, int nImage, POINT pt, UINT nStyle) const
{
    if (!pDC || !pDC->GetSafeHdc() || nImage < 0 || nImage >= GetImageCount()) return FALSE;
    const QImage& image = m_images[static_cast<std::size_t>(nImage)];
    if (m_background != CLR_NONE && !(nStyle & ILD_TRANSPARENT)) {
        const CRect cell(pt.x, pt.y, pt.x + m_cx, pt.y + m_cy);
        pDC->FillSolidRect(&cell, m_background);
    }
    // The classic masked copy: AND with a mask (white where transparent) clears the opaque
    // pixels, then OR puts the picture (black where transparent) into them.
    std::vector<std::uint32_t> mask(static_cast<std::size_t>(m_cx) * static_cast<std::size_t>(m_cy));
    std::vector<std::uint32_t> colour(mask.size());
    for (int y = 0; y < m_cy; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < m_cx; ++x) {
            const std::size_t i =
                static_cast<std::size_t>(y) * static_cast<std::size_t>(m_cx) + static_cast<std::size_t>(x);
            const bool opaque = qAlpha(row[x]) >= 128;
            mask[i] = opaque ? 0xFF000000u : 0xFFFFFFFFu;
            colour[i] = opaque ? (row[x] | 0xFF000000u) : 0xFF000000u;
        }
    }
    const HDC target = pDC->GetSafeHdc();
    BOOL ok = TRUE;
    for (const auto& [bits, rop] : {std::pair{&mask, SRCAND}, std::pair{&colour, SRCPAINT}}) {
        const HBITMAP bitmap = CreateBitmap(m_cx, m_cy, 1, 32, bits->data());
        const HDC source = CreateCompatibleDC(target);
        if (!bitmap || !source) {
            ok = FALSE;
        } else {
            const HGDIOBJ previous = SelectObject(source, reinterpret_cast<HGDIOBJ>(bitmap));
            ok &= ::BitBlt(target, pt.x, pt.y, m_cx, m_cy, source, 0, 0, rop);
            SelectObject(source, previous);
        }
        if (source) DeleteDC(source);
        if (bitmap) DeleteObject(reinterpret_cast<HGDIOBJ>(bitmap));
    }
    return ok;
}
