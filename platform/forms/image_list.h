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
    /// The same, the picture greyed out as a disabled control shows it.
    bool DrawDisabled(CDC* dc, int x, int y, int index) const;
    /// Copies picture index into image, made anew at the picture size; transparent pixels
    /// become black. False for a bad index.
    bool GetBitmap(int index, CBitmap* image) const;

    /// The transparent colour of a bitmap: the colour of its bottom-left pixel; CLR_NONE
    /// for an empty bitmap.
    static COLORREF TransparentColorOf(CBitmap* image);
    /// Adds the cells of the bitmap resource name (the resource chain; instance may limit it),
    /// its bottom-left pixel's colour transparent. Returns the index of the first picture,
    /// -1 when there is no such resource.
    int AddResource(HINSTANCE instance, const char* name);
    /// The platform's list behind it (for controls that show its pictures).
    CImageList* ImageList() const { return m_list.get(); }
    /// Empties the list.
    void Clear();
    /// Becomes a copy of another TImageList (picture size and pictures).
    void Assign(TPersistent* source) override;
    /// "Width", "Height" (each empties the list) and "Bitmap" (a bitmap resource's cells).
    bool SetProperty(std::string_view name, std::string_view value, TComponent* form) override;

protected:
    TImageList();
    ~TImageList() override;

private:
    std::unique_ptr<CImageList> m_list;
    int m_width = 16;
    int m_height = 16;
};
