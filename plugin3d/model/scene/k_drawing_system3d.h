#pragma once

// Unit KDrawing3D: TKDrawingSystem3D ("Standart Viewer 3D"), the drawing target every viewer
// shows. It takes the projected vertices of a draw pass, rasterises them on its canvas and
// paints the canvas into its memory bitmap. It owns the colour set-up of the picture: the
// colour type (the bitmap's pixel format), which canvas channel drives which colour
// component, one response curve per component, the background and, for colour type 1, a
// palette ramp between two colours (indices 64..191, the background at 192).
//
// Set-up changes run inside a setup bracket (events 8192 and 8193); each closing level
// rebuilds the channel tables and repaints the picture. The drawing system's lock orders the
// picture: it is held while the canvas is painted into the bitmap, by set-up changes and
// rebuilds, and must be held by anyone who copies or saves the bitmap, so nobody sees a torn
// picture. The draw primitives take no lock: one draw pass runs at a time, and whoever
// changes the set-up stops the pass first.
//
// A drawing system made with Create has a viewer window, made, saved, loaded and freed
// through the forms' links (TKFormLinks); without forms, and for one made with
// CreateWithScene, there is none and the stream carries no viewer part.

#include <array>
#include <cstdint>
#include <vector>

#include "platform/forms/units.h"
#include "plugin3d/model/render/canvas3d.h"
#include "plugin3d/model/render/intensity_transformer.h"
#include "plugin3d/model/render/memory_bitmap.h"
#include "plugin3d/model/scene/k_custom3d.h"

class TComponent;
class TKSimpleScene3D;

/// Events of a drawing system beside those of TKCustomDrawSystem3D.
enum TKDrawingSystemEvent : int {
    kevSetupStarted = 8192,      ///< the outermost setup bracket opened (param as given)
    kevSetupFinished = 8193,     ///< ... and closed
    kevPictureRepainted = 8195,  ///< the canvas was painted into the bitmap
};

class TKDrawingSystem3D : public TKCustomDrawSystem3D {
    DECLARE_TCLASS(TKDrawingSystem3D)

    /// Palette indices of colour type 1: the ramp, and the background after it.
    static constexpr int kRampFirstIndex = 64;
    static constexpr int kRampEntries = 128;
    static constexpr int kBackgroundIndex = 192;
    /// The largest picture a viewer shows, each way: the setup form takes four digits.
    static constexpr std::int32_t kLargestPicture = 9999;
    /// The memory a picture of width x height takes: its bitmap of the colour type and the
    /// canvas's depth plane and channel planes (channels present, at least one).
    static std::int64_t PictureBytes(std::int32_t width, std::int32_t height, std::int32_t colorType,
                                     int channels);

    /// Makes a drawing system for a scene's own picture: no viewer window.
    static TKDrawingSystem3D* NewWithScene(TKSimpleScene3D* scene);

    // Slot 3. Bitmap, canvas and three linear curves; colour type 1, 128 x 128.
    void Init() override;
    // Slot 7. The inherited part, sources, size, colour type, flags, bit map, the three
    // colours, the three curves, then the viewer's part when there is a viewer.
    int SaveToStream(TKObjectsStream* stream) override;
    // Slot 8. Reads what SaveToStream wrote and applies colour type and size. A negative size
    // or a colour type outside 0..6 raises "Invalid Value" and leaves the picture 0 x 0.
    int LoadFromStream(TKObjectsStream* stream) override;
    // Slot 13. The inherited construction, then the viewer window (when the forms make one).
    void Create(void* owner) override;
    // Slots 16, 17. An update is also a setup bracket; its end fires 4100 (this object) when
    // enabled, then 5, and rebuilds.
    void Changing(std::intptr_t param) override;
    void Changed(std::intptr_t param) override;
    // Slots 20, 21. A pass clears the canvas first and shows the picture at its end.
    void DrawingStarted(std::intptr_t param) override;
    void DrawingFinished(std::intptr_t param) override;
    // Slots 23-32.
    void SetShadeMode(std::uint8_t mode) override;
    /// Clears the canvas and shows it.
    void Clear() override;
    void DrawPointSingle(const TVertex3S& v) override;
    void DrawPoint(const TVertex3D& v) override;
    void DrawLineSingle(const TVertex3S& a, const TVertex3S& b) override;
    void DrawLine(const TVertex3D& a, const TVertex3D& b) override;
    void DrawTriangleSingle(const TVertex3S& a, const TVertex3S& b, const TVertex3S& c) override;
    void DrawTriangle(const TVertex3D& a, const TVertex3D& b, const TVertex3D& c) override;
    /// The triangle of the first three vertices; the fourth is not drawn.
    void DrawQuadSingle(const TVertex3S& a, const TVertex3S& b, const TVertex3S& c,
                        const TVertex3S& d) override;
    void DrawQuad(const TVertex3D& a, const TVertex3D& b, const TVertex3D& c, const TVertex3D& d) override;
    /// Maps each vertex once and sorts the triangles into the canvas's bands on all cores;
    /// the picture is the one DrawTriangleSingle per triangle gives.
    void DrawTriangleGridSingle(const TVertexGrid3S& grid, const TGridDrawReport& report) override;

    // Slots 33-37.
    /// Fires 8192 with param.
    virtual void SetupStarted(std::intptr_t param);
    /// Fires 8193 with param.
    virtual void SetupFinished(std::intptr_t param);
    /// Fires 8195.
    virtual void PaletteChanged();
    /// Palette indices 64..191 := the ramp from the start to the end colour, 192 := the
    /// background (for every colour type).
    virtual void BuildPalette();
    /// The second phase of NewWithScene: the inherited construction with the scene as owner,
    /// without a viewer window.
    virtual void CreateWithScene(TKSimpleScene3D* scene);

    /// The setup bracket: the first level fires 8192; every closing level rebuilds, the last
    /// fires 8193. Ignored while destroying; a surplus end does nothing.
    void BeginSetup(std::intptr_t param);
    void EndSetup(std::intptr_t param);
    bool InSetup() const;
    /// Channel tables, palette indices and the repaint (skipped while an update is open).
    void Rebuild();
    /// Channel n's table from the curves of the components it drives (none when invisible).
    void BuildChannel(int n);
    /// Colour type 1: the levels of the channel that drives red become palette indices
    /// 64..191; nothing drawn stays the background (192).
    void MakePaletteIndexTables();
    /// Paints the canvas into the bitmap and fires 8195; only into pixel memory of the image
    /// size and colour type, never inside an update or for colour type 0.
    void PaintToBitmap();

    /// 0..6 (the memory bitmap's formats); other values are ignored.
    void SetColorType(std::int32_t type);
    std::int32_t ColorType() const;
    /// Channel n (1..3) shown or not.
    void SetChannelVisible(int n, bool visible);
    /// False for n outside 1..3.
    bool GetChannelVisible(int n) const;
    /// The canvas channel (1..3, 0 none) that drives colour component 1 red, 2 green or
    /// 3 blue; other sources count as none.
    void SetChannelMode(int component, std::int32_t source);
    std::int32_t GetChannelMode(int component) const;
    /// Components outside 0..1 are clamped (NaN gives 0).
    void SetBackground(const TVector3D& colour);
    void SetRampStartColor(const TVector3D& colour);
    void SetRampEndColor(const TVector3D& colour);
    TVector3D Background() const;
    TVector3D RampStartColor() const;
    TVector3D RampEndColor() const;
    /// Resizes bitmap and canvas (negative sizes are ignored); the centre becomes
    /// (width div 2, height div 2).
    void SetImageSize(std::int32_t width, std::int32_t height);
    std::int32_t ImageWidth() const;
    std::int32_t ImageHeight() const;
    std::int32_t CentreX() const { return m_centreX; }
    std::int32_t CentreY() const { return m_centreY; }
    /// The packing of the current colour type.
    TColorBitMap BitMap() const;

    /// The parts the setup form edits (inside a setup bracket) and the viewer shows (under the
    /// drawing system's lock).
    TKMemoryBitmap* Bitmap() const { return m_bitmap.get(); }
    TKCanvas3D* Canvas() const { return m_canvas.get(); }
    /// Curve of component 1 red, 2 green, 3 blue; null for others.
    TKCnv3DIITransformer* Curve(int component) const;
    /// The viewer window, null without one.
    TComponent* Viewer() const { return m_viewer; }

protected:
    TKDrawingSystem3D() = default;
    /// Detaches and frees the viewer window, then the parts.
    ~TKDrawingSystem3D() override;

private:
    void ApplyCanvasBackground();
    void SetRampColor(TVector3D& field, const TVector3D& colour);
    /// The canvas channel whose table carries the palette offset in colour type 1.
    int PaletteChannel() const;
    int SaveOwnPart(TKObjectsStream* stream);

    std::int32_t m_setupDepth = 0;
    std::int32_t m_sources[3] = {1, 2, 3};
    std::int32_t m_width = 0;
    std::int32_t m_height = 0;
    std::int32_t m_colorType = 0;
    bool m_visible[3] = {true, true, true};
    std::int32_t m_centreX = 0;
    std::int32_t m_centreY = 0;
    TColorBitMap m_bitMap{};
    TOwned<TKMemoryBitmap> m_bitmap;
    TOwned<TKCanvas3D> m_canvas;
    std::vector<TCanvasVertex> m_gridNodes;  // a grid draw's mapped vertices, kept for the next
    TOwned<TKCnv3DIITransformer> m_curves[3];
    TVector3D m_background{0, 0, 0};
    TVector3D m_rampStart{0, 0, 0};
    TVector3D m_rampEnd{1, 1, 1};
    bool m_withoutViewer = false;
    TComponent* m_viewer = nullptr;
    void (*m_freeViewer)(TComponent* viewer) = nullptr;
};

/// Unit KDrawing3D: registers the class and its caption "Standart Viewer 3D".
extern const TUnitInfo kKDrawing3DUnit;
