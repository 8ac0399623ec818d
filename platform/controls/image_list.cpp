#include "platform/controls/image_list.h"

#include <vector>

#include <QImage>
#include <QPainter>

#include "platform/gdi/dc.h"
#include "platform/gdi/gdi_objects.h"
#include "platform/qt_types_internal.h"
#include "platform/resources/resources.h"
#include "platform/system_metrics.h"

// The list's state, kept out of the header so that users of the list need no Qt.
struct CImageList::Images {
    bool created = false;
    int cx = 0;
    int cy = 0;
    UINT flags = 0;
    COLORREF background = CLR_NONE;
    std::vector<QImage> images;

    QImage Cell(const QImage& bitmap, int x, COLORREF crMask) const;
};

CImageList::CImageList() : m_images(std::make_unique<Images>()) {}

CImageList::~CImageList() = default;

bool CImageList::IsCreated() const
{
    return m_images->created;
}

int CImageList::GetImageCount() const
{
    return static_cast<int>(m_images->images.size());
}

COLORREF CImageList::GetBkColor() const
{
    return m_images->background;
}

BOOL CImageList::Create(int cx, int cy, UINT nFlags, int nInitial, int)
{
    Images& l = *m_images;
    if (l.created || cx <= 0 || cy <= 0) return FALSE;
    l.created = true;
    l.cx = cx;
    l.cy = cy;
    l.flags = nFlags;
    l.images.reserve(static_cast<std::size_t>(std::max(nInitial, 0)));
    return TRUE;
}

BOOL CImageList::DeleteImageList()
{
    if (!m_images->created) return FALSE;
    *m_images = Images{};
    return TRUE;
}

QImage CImageList::Images::Cell(const QImage& bitmap, int x, COLORREF crMask) const
{
    QImage cell(cx, cy, QImage::Format_ARGB32);
    cell.fill(Qt::transparent);
    const QImage source = bitmap.convertToFormat(QImage::Format_ARGB32);
    const QRgb mask = qRgb(GetRValue(crMask), GetGValue(crMask), GetBValue(crMask));
    const bool masked = (flags & ILC_MASK) && crMask != CLR_NONE;
    const int rows = std::min(cy, source.height());
    const int cols = std::min(cx, source.width() - x);
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
    Images& l = *m_images;
    if (!l.created || bitmap.isNull() || bitmap.width() < l.cx) return -1;
    const int first = GetImageCount();
    for (int x = 0; x + l.cx <= bitmap.width(); x += l.cx) l.images.push_back(l.Cell(bitmap, x, crMask));
    return first;
}

int CImageList::Add(const QImage& icon)
{
    Images& l = *m_images;
    if (!l.created || icon.isNull()) return -1;
    QImage scaled = icon.convertToFormat(QImage::Format_ARGB32);
    if (scaled.size() != QSize(l.cx, l.cy))
        scaled = scaled.scaled(l.cx, l.cy, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    l.images.push_back(scaled);
    return GetImageCount() - 1;
}

BOOL CImageList::Replace(int nImage, const QImage& bitmap, COLORREF crMask)
{
    if (nImage < 0 || nImage >= GetImageCount() || bitmap.isNull()) return FALSE;
    m_images->images[static_cast<std::size_t>(nImage)] = m_images->Cell(bitmap, 0, crMask);
    return TRUE;
}

BOOL CImageList::Remove(int nImage)
{
    std::vector<QImage>& images = m_images->images;
    if (!m_images->created) return FALSE;
    if (nImage == -1) {
        images.clear();
        return TRUE;
    }
    if (nImage < 0 || nImage >= GetImageCount()) return FALSE;
    images.erase(images.begin() + nImage);
    return TRUE;
}

BOOL CImageList::GetIconSize(int& cx, int& cy) const
{
    if (!m_images->created) return FALSE;
    cx = m_images->cx;
    cy = m_images->cy;
    return TRUE;
}

COLORREF CImageList::SetBkColor(COLORREF cr)
{
    const COLORREF previous = m_images->background;
    m_images->background = cr;
    return previous;
}

BOOL CImageList::Draw(QPainter& painter, int nImage, POINT pt, UINT nStyle) const
{
    if (nImage < 0 || nImage >= GetImageCount()) return FALSE;
    const Images& l = *m_images;
    if (l.background != CLR_NONE && !(nStyle & ILD_TRANSPARENT))
        painter.fillRect(pt.x, pt.y, l.cx, l.cy, platform::ToQColor(l.background));
    painter.drawImage(pt.x, pt.y, l.images[static_cast<std::size_t>(nImage)]);
    return TRUE;
}

QImage CImageList::GetImage(int nImage) const
{
    if (nImage < 0 || nImage >= GetImageCount()) return {};
    return m_images->images[static_cast<std::size_t>(nImage)];
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
    const Images& l = *m_images;
    if (l.background != CLR_NONE && !(nStyle & ILD_TRANSPARENT)) {
        const CRect cell(pt.x, pt.y, pt.x + l.cx, pt.y + l.cy);
        pDC->FillSolidRect(&cell, l.background);
    }
    return DrawMasked(pDC, l.images[static_cast<std::size_t>(nImage)], pt);
}

BOOL CImageList::DrawDisabled(CDC* pDC, int nImage, POINT pt) const
{
    if (!pDC || !pDC->GetSafeHdc() || nImage < 0 || nImage >= GetImageCount()) return FALSE;
    return DrawMasked(pDC, DisabledImage(m_images->images[static_cast<std::size_t>(nImage)]), pt);
}

BOOL CImageList::DrawMasked(CDC* pDC, const QImage& image, POINT pt)
{
    const int cx = image.width(), cy = image.height();
    // The classic masked copy: AND with a mask (white where transparent) clears the opaque
    // pixels, then OR puts the picture (black where transparent) into them.
    std::vector<std::uint32_t> mask(static_cast<std::size_t>(cx) * static_cast<std::size_t>(cy));
    std::vector<std::uint32_t> colour(mask.size());
    for (int y = 0; y < cy; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < cx; ++x) {
            const std::size_t i =
                static_cast<std::size_t>(y) * static_cast<std::size_t>(cx) + static_cast<std::size_t>(x);
            const bool opaque = qAlpha(row[x]) >= 128;
            mask[i] = opaque ? 0xFF000000u : 0xFFFFFFFFu;
            colour[i] = opaque ? (row[x] | 0xFF000000u) : 0xFF000000u;
        }
    }
    const HDC target = pDC->GetSafeHdc();
    BOOL ok = TRUE;
    for (const auto& [bits, rop] : {std::pair{&mask, SRCAND}, std::pair{&colour, SRCPAINT}}) {
        const HBITMAP bitmap = CreateBitmap(cx, cy, 1, 32, bits->data());
        const HDC source = CreateCompatibleDC(target);
        if (!bitmap || !source) {
            ok = FALSE;
        } else {
            const HGDIOBJ previous = SelectObject(source, reinterpret_cast<HGDIOBJ>(bitmap));
            ok &= ::BitBlt(target, pt.x, pt.y, cx, cy, source, 0, 0, rop);
            SelectObject(source, previous);
        }
        if (source) DeleteDC(source);
        if (bitmap) DeleteObject(reinterpret_cast<HGDIOBJ>(bitmap));
    }
    return ok;
}

QImage DisabledImage(const QImage& image)
{
    QImage out(image.size(), QImage::Format_ARGB32);
    out.fill(Qt::transparent);
    const QColor shadow = platform::ToQColor(GetSysColor(COLOR_BTNSHADOW));
    const QColor light = platform::ToQColor(GetSysColor(COLOR_BTNHIGHLIGHT));
    const QImage src = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < src.height(); ++y)
        for (int x = 0; x < src.width(); ++x) {
            const QRgb px = src.pixel(x, y);
            if (qAlpha(px) < 128) continue;
            if (qGray(px) > 192) continue;  // light parts vanish
            out.setPixelColor(x, y, shadow);
            if (x + 1 < src.width() && y + 1 < src.height() && qAlpha(out.pixel(x + 1, y + 1)) == 0)
                out.setPixelColor(x + 1, y + 1, light);
        }
    return out;
}
