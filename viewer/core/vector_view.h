#pragma once

// CVectorView: a layer view that draws a vector overlay over the picture. It draws only in
// DrawOverlay, which the view window calls after the overlays' ordinary draws; every data
// query keeps the interface's defaults. The image belongs to whoever loaded it.

#include "viewer/core/virtual_view.h"

class CVectorImage;

class CVectorView : public CVirtualView {
public:
    CVectorView();

    /// Shows `image` over a picture of width x height as layer `index`.
    void Set(int index, CVectorImage* image, int width, int height);
    CVectorImage* GetImage() const { return m_pImage; }

    /// Draws every layer of the image whose paint mode is set, with the picture position
    /// (trunc(x * zoom), trunc(y * zoom)) at the device origin: x and y are that origin in
    /// screen pixels.
    void DrawOverlay(CDC* dc, int x, int y, int width, int height, double zoom, BOOL wholeImage, BYTE* bits,
                     BITMAPINFO* info) override;
    void DrawEx(CDC*, int, int, int, int, double, BOOL, BYTE*, BITMAPINFO*) override {}
    void DrawRectEx(CDC*, int, int, int, int, int, int, double, BOOL, BYTE*, BITMAPINFO*) override {}
    void RenderRGB(int, int, int, int, int, int, double, BOOL, BYTE*, CMeterInfoBase*) override {}
    void DrawBlockAt(CDC*, int, int, int, int, int, int, double, BOOL, BYTE*, BITMAPINFO*) override {}
    void SetZoom(double, int) override {}
    CString GetLayerName() override { return CString(); }

private:
    CVectorImage* m_pImage = nullptr;
};
