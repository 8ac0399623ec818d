#pragma once

// Panels, bevels, splitters, paint boxes and timers of the class library.

#include "platform/forms/controls.h"

enum TPanelBevel { bvNone, bvLowered, bvRaised, bvSpace };

/// A container with a caption and raised or lowered bevels round its edge.
class PLATFORM_API TPanel : public TCustomControl {
    DECLARE_TCLASS(TPanel)

    void Create(void* owner) override;
    TPanelBevel BevelInner() const { return m_bevelInner; }
    void SetBevelInner(TPanelBevel bevel);
    TPanelBevel BevelOuter() const { return m_bevelOuter; }
    void SetBevelOuter(TPanelBevel bevel);
    int BevelWidth() const { return m_bevelWidth; }
    void SetBevelWidth(int width);
    int BorderWidth() const { return m_borderWidth; }
    void SetBorderWidth(int width);
    CRect ClientRect() const override;
    bool SetProperty(std::string_view name, std::string_view value, TComponent* form) override;

protected:
    TPanel() = default;
    void Paint() override;

private:
    TPanelBevel m_bevelInner = bvNone;
    TPanelBevel m_bevelOuter = bvRaised;
    int m_bevelWidth = 1;
    int m_borderWidth = 0;
};

enum TBevelShape { bsBox, bsFrame, bsTopLine, bsBottomLine, bsLeftLine, bsRightLine, bsSpacer };
enum TBevelStyle { bsLowered, bsRaised };

/// A box, frame or line drawn on the parent.
class PLATFORM_API TBevel : public TGraphicControl {
    DECLARE_TCLASS(TBevel)

    void Create(void* owner) override;
    TBevelShape Shape() const { return m_shape; }
    void SetShape(TBevelShape shape);
    TBevelStyle Style() const { return m_style; }
    void SetStyle(TBevelStyle style);
    void Paint() override;
    bool SetProperty(std::string_view name, std::string_view value, TComponent* form) override;

protected:
    TBevel() = default;

private:
    TBevelShape m_shape = bsBox;
    TBevelStyle m_style = bsLowered;
};

/// A bar between two aligned controls; dragging it resizes the control before it (the one
/// aligned to the same side, next to it).
class PLATFORM_API TSplitter : public TGraphicControl {
    DECLARE_TCLASS(TSplitter)

    void Create(void* owner) override;
    int MinSize() const { return m_minSize; }
    void SetMinSize(int size) { m_minSize = std::max(size, 1); }
    TNotifyEvent OnMoved;
    void Paint() override;
    bool SetProperty(std::string_view name, std::string_view value, TComponent* form) override;
    bool SetEvent(std::string_view name, const THandler& handler) override;

protected:
    TSplitter() = default;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;

private:
    /// The control the splitter resizes: aligned like it and touching its near side.
    TControl* FindTarget() const;
    TControl* m_target = nullptr;
    CPoint m_down;
    int m_startSize = 0;
    int m_minSize = 30;
    bool m_dragging = false;
};

/// A rectangle the form paints itself in (OnPaint on Canvas) and that reports the mouse.
class PLATFORM_API TPaintBox : public TGraphicControl {
    DECLARE_TCLASS(TPaintBox)

    void Create(void* owner) override;
    TNotifyEvent OnPaint;
    void Paint() override;
    bool SetEvent(std::string_view name, const THandler& handler) override;

protected:
    TPaintBox() = default;
};

/// OnTimer every Interval milliseconds while Enabled, on the user-interface thread.
class PLATFORM_API TTimer : public TComponent {
    DECLARE_TCLASS(TTimer)

    void Create(void* owner) override;
    void BeforeDestruction() override;
    bool Enabled() const { return m_enabled; }
    void SetEnabled(bool enabled);
    UINT Interval() const { return m_interval; }
    void SetInterval(UINT interval);
    TNotifyEvent OnTimer;
    bool SetProperty(std::string_view name, std::string_view value, TComponent* form) override;
    bool SetEvent(std::string_view name, const THandler& handler) override;

protected:
    TTimer() = default;

private:
    static void Tick(HWND, UINT, UINT_PTR id, DWORD);
    void UpdateTimer();
    UINT_PTR m_id = 0;
    UINT m_interval = 1000;
    bool m_enabled = true;
};
