#pragma once

// TKViewer3DSetup (unit KViewer3DSetupUn): the settings of the drawing system a viewer shows:
// image size, colour type, enabled and visible channels, one transfer curve per colour
// component (edited with the mouse on its page) and the background and palette-ramp colours.
// Each viewer owns one; the viewer keeps the form's place in its own part of the project file.

#include <cstdint>
#include <string>

#include "platform/forms/forms.h"
#include "platform/geometry.h"
#include "plugin3d/model/core/k_event_manager.h"
#include "plugin3d/model/render/intensity_transformer.h"

class TButton;
class TCheckBox;
class TComboBox;
class TEdit;
class TLabel;
class TPageControl;
class TPaintBox;
class TStringGrid;
class TTrackBar;
class TKDrawingSystem3D;
class TKFlatCaption;
class TKObjectsStream;

/// The curve editor's axes: inputs 0..0x8000 left to right, outputs 0..0xFFFF bottom to top.
inline constexpr std::int32_t kCurveInputMax = 0x8000;
inline constexpr std::int32_t kCurveOutputMax = 0xFFFF;

/// The pixel of a curve node in plot (the node clamped to the axes first).
CPoint CurvePixel(const CRect& plot, std::int32_t input, std::int32_t output);
/// The node under a pixel of plot (the pixel clamped to the plot first).
void CurveNode(const CRect& plot, CPoint pixel, std::int32_t& input, std::int32_t& output);
/// The grid rows of a curve: "  X" and "  Y" headers, then each node's input and output as
/// 0..1000, or one row of "-" for a curve without nodes.
std::vector<std::pair<std::string, std::string>> CurveGridRows(const TKCnv3DIITransformer& curve);

class TKViewer3DSetup : public TForm {
    DECLARE_TCLASS(TKViewer3DSetup)

    TKFlatCaption* KFlatCaption1 = nullptr;
    TPageControl* PageControl1 = nullptr;
    TEdit* WidthEdit = nullptr;
    TEdit* HeightEdit = nullptr;
    TComboBox* ColorBox = nullptr;
    TLabel* DisplayLabel = nullptr;
    TCheckBox* BoxEnabled[3] = {};
    TCheckBox* BoxVisible[3] = {};
    TCheckBox* EnabledBox = nullptr;
    TButton* ApplyBtn = nullptr;
    TButton* CancelBtn = nullptr;
    TPaintBox* PaintBoxes[3] = {};
    TStringGrid* Grids[3] = {};
    TComboBox* SourceBoxes[3] = {};
    TComboBox* ColorTypeBox = nullptr;
    TTrackBar* TrackBars[3] = {};
    TEdit* ColorEdits[3] = {};

    /// Moves the event subscription to system (or none), then reloads what the form shows.
    void SetDrawingSystem(TKDrawingSystem3D* system);
    TKDrawingSystem3D* DrawingSystem() const { return m_system; }
    /// The form's block in its viewer's stream: left, top, depth, flags (bit 0 visible,
    /// bit 1 kept on top). 16 bytes; a null stream counts 16 on save and answers -1 on load.
    int SaveToStream(TKObjectsStream* stream);
    int LoadFromStream(TKObjectsStream* stream);
    /// Places the form as its block says (left, top, flags: bit 1 keep-on-top).
    void ApplyPlacement(std::int32_t left, std::int32_t top, std::uint32_t flags);
    /// The 16 bytes of the block as the form stands now.
    void WritePlacement(std::uint8_t* block);

    /// Applies the Property page's edits (when Apply is enabled).
    void Apply();
    /// The working copy of component 0 red, 1 green, 2 blue.
    TKCnv3DIITransformer* WorkingCurve(int component) const { return m_curves[component]; }
    /// The plot rectangle of a curve page's paint box.
    CRect PlotRect(int component);
    int HotNode() const { return m_hotNode; }
    bool Dragging() const { return m_dragging; }
    /// The curve editor's mouse, in the paint box of component (what its events call).
    void CurveMouseDown(int component, int x, int y);
    void CurveMouseMove(int component, int x, int y);
    void CurveMouseUp(int component);

    void WndProc(TMessage& message) override;

protected:
    TKViewer3DSetup() = default;
    std::vector<THandler> Handlers() override;
    void Loaded() override;
    void FormCreate(TObject* sender);
    void FormDestroy(TObject* sender);
    void FormShow(TObject* sender);
    void PropertyChange(TObject* sender);
    void PropertyKeyUp(TObject* sender, WORD& key, TShiftState shift);
    void SizeKeyPress(TObject* sender, char& key);
    /// Sizes the pages and the window so that the Property page shows Apply and Cancel whole.
    void FitToProperty();
    void ApplyBtnClick(TObject* sender);
    void CancelBtnClick(TObject* sender);
    void SourceChange(TObject* sender);
    void CurvePaint(TObject* sender);
    void CurveDown(TObject* sender, TMouseButton button, TShiftState shift, int x, int y);
    void CurveMove(TObject* sender, TShiftState shift, int x, int y);
    void CurveUp(TObject* sender, TMouseButton button, TShiftState shift, int x, int y);
    void ColorTypeBoxChange(TObject* sender);
    void TrackBarChange(TObject* sender);
    void ColorEditChange(TObject* sender);

private:
    void SystemEvent(TObject* sender, int code, std::intptr_t param);
    void ShowDisplayMode();
    void LoadProperties();
    void LoadChannels();
    void ApplyChannels();
    void LoadColors();
    void SendColors();
    void FillGrid(int component);
    int ComponentOf(TObject* sender) const;
    void PaintCurve(int component, bool erase);
    int FindHotNode(int component, CPoint at);

    TKDrawingSystem3D* m_system = nullptr;
    HWND m_handle = nullptr;
    bool m_loadingProperties = false;
    bool m_loadingChannels = false;
    bool m_applyingChannels = false;
    bool m_loadingColors = false;
    bool m_showing = false;  ///< FormShow runs
    TKCnv3DIITransformer* m_curves[3] = {};
    CPoint m_mouse{-1, -1};
    bool m_dragging = false;
    int m_hotNode = -1;
};
