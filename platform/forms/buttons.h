#pragma once

// TSpeedButton: a button drawn on its parent (no window), flat or raised, with a glyph and
// a caption; buttons of one GroupIndex on one parent work as radio buttons (one down at a
// time; AllowAllUp lets the last one come up too).

#include "platform/forms/controls.h"

class TImageList;

enum TButtonState { bsUp, bsDisabled, bsDown, bsExclusive };
enum TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };

class PLATFORM_API TSpeedButton : public TGraphicControl {
    DECLARE_TCLASS(TSpeedButton)

    void Create(void* owner) override;
    void BeforeDestruction() override;

    bool Flat() const { return m_flat; }
    void SetFlat(bool flat);
    /// The picture: NumGlyphs pictures side by side (up, disabled, pressed, down); the colour
    /// of its bottom-left pixel is transparent. Without a disabled picture a disabled button
    /// shows the up picture greyed out.
    TBitmap* Glyph() const { return m_glyph; }
    void SetGlyph(TBitmap* glyph);
    int NumGlyphs() const { return m_numGlyphs; }
    void SetNumGlyphs(int count);
    int GroupIndex() const { return m_groupIndex; }
    void SetGroupIndex(int index);
    bool AllowAllUp() const { return m_allowAllUp; }
    void SetAllowAllUp(bool allow);
    bool Down() const { return m_down; }
    /// Puts the button down (the others of its group come up) or up (refused for the down
    /// button of a group without AllowAllUp); without a group it stays up.
    void SetDown(bool down);
    TButtonLayout Layout() const { return m_layout; }
    void SetLayout(TButtonLayout layout);
    /// The button is shown hot (flat buttons raise their border).
    bool MouseInControl() const { return m_mouseInControl; }
    TButtonState State() const { return m_state; }

    void Paint() override;
    bool SetProperty(std::string_view name, std::string_view value, TComponent* form) override;

protected:
    TSpeedButton() = default;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseEnter() override;
    void MouseLeave() override;
    void EnabledChanged() override;

private:
    void UpdateExclusive();
    void GlyphChange(TObject* sender);

    TBitmap* m_glyph = nullptr;
    TImageList* m_glyphs = nullptr;  ///< the glyph's pictures, cut and masked
    int m_numGlyphs = 1;
    int m_groupIndex = 0;
    bool m_allowAllUp = false;
    bool m_down = false;
    bool m_flat = false;
    bool m_dragging = false;
    bool m_mouseInControl = false;
    TButtonState m_state = bsUp;
    TButtonLayout m_layout = blGlyphLeft;
};
