#pragma once

// CImageList: a row of equally sized images (tool-bar buttons, tree and tab icons). Images
// come from a bitmap strip cut into cx-wide cells; with ILC_MASK, pixels of the mask colour
// become transparent. Images are kept as 32-bit ARGB pictures.
//
// Bitmaps come as the drawing layer's bitmap objects or as QImage; Draw paints on a device
// context or with a QPainter.

#include <memory>

#include "platform/controls/common_controls.h"
#include "platform/geometry.h"
#include "platform/types.h"

class QImage;
class QPainter;
class CBitmap;
class CDC;

constexpr UINT ILC_MASK = 0x0001;
constexpr UINT ILC_COLOR = 0x0000;
constexpr UINT ILC_COLOR4 = 0x0004;
constexpr UINT ILC_COLOR8 = 0x0008;
constexpr UINT ILC_COLOR16 = 0x0010;
constexpr UINT ILC_COLOR24 = 0x0018;
constexpr UINT ILC_COLOR32 = 0x0020;

constexpr UINT ILD_NORMAL = 0x0000;
constexpr UINT ILD_TRANSPARENT = 0x0001;
constexpr UINT ILD_FOCUS = 0x0004;
constexpr UINT ILD_SELECTED = 0x0004;
constexpr UINT ILD_BLEND50 = 0x0004;

class PLATFORM_API CImageList {
public:
    CImageList();
    ~CImageList();
    CImageList(const CImageList&) = delete;
    CImageList& operator=(const CImageList&) = delete;

    /// nInitial and nGrow are capacity hints. FALSE for a non-positive size or a list made already.
    BOOL Create(int cx, int cy, UINT nFlags, int nInitial, int nGrow);
    BOOL DeleteImageList();
    bool IsCreated() const;

    /// Adds every cx-wide cell of the strip (a strip narrower than cx adds nothing); pixels of
    /// crMask are transparent when the list has a mask. Returns the index of the first image
    /// added, -1 on failure.
    int Add(const QImage& bitmap, COLORREF crMask);
    /// The same from a bitmap object of the drawing layer.
    int Add(CBitmap* pbmImage, COLORREF crMask);
    /// Adds one picture that carries its own transparency (an icon), scaled to the cell size.
    int Add(const QImage& icon);
    /// Replaces image nImage with the first cell of the bitmap (mask colour as for Add).
    BOOL Replace(int nImage, const QImage& bitmap, COLORREF crMask);
    /// Removes image nImage; -1 removes all.
    BOOL Remove(int nImage);
    int GetImageCount() const;
    BOOL GetIconSize(int& cx, int& cy) const;

    /// Background drawn under transparent pixels; CLR_NONE (the default) draws none.
    COLORREF SetBkColor(COLORREF cr);
    COLORREF GetBkColor() const;

    /// Draws image nImage with its top-left at pt. ILD_TRANSPARENT ignores the background colour.
    BOOL Draw(QPainter& painter, int nImage, POINT pt, UINT nStyle) const;
    /// The same on a device context: masked pixels leave what the DC shows.
    BOOL Draw(CDC* pDC, int nImage, POINT pt, UINT nStyle) const;
    /// Draws image nImage greyed out (DisabledImage) on a device context, as a disabled
    /// button shows a picture that has no disabled one of its own.
    BOOL DrawDisabled(CDC* pDC, int nImage, POINT pt) const;
    /// Image nImage as stored (ARGB32; transparent where masked). Null for a bad index.
    QImage GetImage(int nImage) const;
    /// A new icon of image nImage (masked pixels clear); the caller frees it with
    /// DestroyIcon. Null for a bad index.
    HICON ExtractIcon(int nImage) const;

private:
    struct Images;
    static BOOL DrawMasked(CDC* pDC, const QImage& image, POINT pt);
    std::unique_ptr<Images> m_images;
};

/// The image greyed out, as disabled buttons show it: the shape of its darker opaque pixels
/// in the button shadow colour, embossed by a highlight one pixel down and right; light
/// parts vanish.
PLATFORM_API QImage DisabledImage(const QImage& image);
