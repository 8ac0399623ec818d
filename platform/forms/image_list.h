#pragma once

// TImageList: a component holding a row of equally sized pictures (glyphs of classes,
// caption-bar buttons), over the platform's CImageList.

#include <memory>

#include "platform/forms/component.h"

class CBitmap;
class CDC;
class CImageList;

class PLATFORM_API TImageList : public TComponent {
    DECLARE_TCLASS(TImageList)

    /// An empty list of 16 x 16 pictures.
    void Create(void* owner) override;

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    /// Empties the list and gives it another picture size (non-positive sizes are ignored).
    void SetSize(int width, int height);
    int Count() const;

    /// Adds every picture-wide cell of bitmap, all pixels shown. Returns the index of the
    /// first picture added, -1 when nothing could be added.
    int Add(CBitmap* image);
    /// The same; pixels of maskColor are transparent.
    int AddMasked(CBitmap* image, COLORREF maskColor);
    /// Draws picture index with its top-left corner at (x, y); transparent pixels leave
    /// what the DC shows. False for a bad index.
    bool Draw(CDC* dc, int x, int y, int index) const;
    /// Copies picture index into image, made anew at the picture size; transparent pixels
    /// become black. False for a bad index.
    bool GetBitmap(int index, CBitmap* image) const;

    /// The transparent colour of a bitmap: the colour of its bottom-left pixel; CLR_NONE
    /// for an empty bitmap.
    static COLORREF TransparentColorOf(CBitmap* image);

protected:
    TImageList();
    ~TImageList() override;

private:
    std::unique_ptr<CImageList> m_list;
    int m_width = 16;
    int m_height = 16;
};
