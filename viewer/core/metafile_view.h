#pragma once

// A layer view that shows a recorded picture (an enhanced metafile) as an overlay. The
// picture is recorded in image pixels; the placement point moves it over the image.

#include <vector>

#include "platform/gdi/metafile.h"
#include "viewer/core/virtual_view.h"

/// Something that draws itself into a device context at an origin and a scale.
class CMetaDrawable {
public:
    /// Draws with image position (0, 0) at device position (x, y); `zoom` is image pixels
    /// per device pixel.
    virtual void Draw(CDC* dc, int x, int y, double zoom) = 0;

protected:
    ~CMetaDrawable() = default;
};

class CMetaFileView : public CVirtualView {
public:
    CMetaFileView();
    /// Destroys the recording DC and the recording.
    ~CMetaFileView() override;

    /// Replaces the picture: a new in-memory recording into which each object draws in
    /// list order at (0, 0) and scale 1.0. The picture also goes to the clipboard as a
    /// drawing (a copy; the view keeps its recording). FALSE when nothing could be recorded.
    BOOL Record(const std::vector<CMetaDrawable*>& objects);
    HENHMETAFILE GetMetaFile() const { return m_hMetaFile; }
    CPoint GetPlacement() const { return m_ptPlacement; }

    /// The zoomed picture pixels srcX .. srcX + srcWidth (and the rows likewise) at (destX, destY).
    void DrawRectEx(CDC* dc, int destX, int destY, int srcX, int srcY, int srcWidth, int srcHeight,
                    double zoom, BOOL visibleOnly, BYTE* bits, BITMAPINFO* info) override;
    /// The picture from image position (x, y) on, into width x height device pixels at the origin.
    void DrawEx(CDC* dc, int x, int y, int width, int height, double zoom, BOOL visibleOnly, BYTE* bits,
                BITMAPINFO* info) override;
    void RenderRGB(int, int, int, int, int, int, double, BOOL, BYTE*, CMeterInfoBase*) override {}
    void DrawBlockAt(CDC*, int, int, int, int, int, int, double, BOOL, BYTE*, BITMAPINFO*) override {}
    void DrawOverlay(CDC*, int, int, int, int, double, BOOL, BYTE*, BITMAPINFO*) override {}
    void SetZoom(double, int) override {}
    CString GetLayerName() override { return CString(); }
    /// Makes the view an overlay and places the picture's (0, 0) at image position (x, y).
    virtual void SetPlacement(int reserved, int x, int y);

private:
    /// Draws the picture for zoomed pixels [zx, zx + width) x [zy, zy + height) at (destX, destY).
    void Render(CDC* dc, int destX, int destY, std::int64_t zx, std::int64_t zy, int width, int height,
                double zoom) const;

    CMetaFileDC m_dc;
    HENHMETAFILE m_hMetaFile = nullptr;
    CPoint m_ptPlacement{0, 0};
};
