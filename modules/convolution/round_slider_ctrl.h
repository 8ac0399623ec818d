#pragma once

// The round angle picker of the convolution and derivation dialogs: a trackbar whose window
// is cut to a circle and painted as a shaded round groove with a knob at the current angle,
// ticks every 45 degrees and a red hand from the centre to the knob. The position (0..359)
// is the trackbar's and is read and set with the TBM_ messages; the user sets it by clicking
// or dragging anywhere in the circle or with the arrow and page keys, and the parent hears
// of every change by a posted WM_HSCROLL, as from a horizontal trackbar.
//
// A dialog template names the control's class kRoundSliderClass (a plain trackbar paints
// itself and could not be drawn round); the dialog binds it with DDX_Control.

#include "platform/controls/slider_ctrl.h"
#include "platform/cstring.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/gdi_objects.h"
#include "platform/gdi/region.h"
#include "platform/gdi/window_dc.h"

/// The window class dialog templates give the round slider.
inline constexpr const char* kRoundSliderClass = "TarvenixRoundSlider";

/// Flicker-free painting: draws into an off-screen bitmap of the paint DC's clip box and
/// copies it to the window once, when it goes out of scope.
class CBufferedPaintDC : public CDC {
public:
    explicit CBufferedPaintDC(CWnd* window);
    ~CBufferedPaintDC() override;

private:
    CPaintDC m_paint;
    CBitmap m_bitmap;
    CBitmap* m_oldBitmap = nullptr;
    CRect m_clip;
    bool m_buffered = false;
};

class CRoundSliderCtrl : public CSliderCtrl {
public:
    CRoundSliderCtrl();
    ~CRoundSliderCtrl() override;

    /// Format of GetText ("%ld°" at first); it gets the position as a long.
    virtual void SetFormatString(const CString& format);
    virtual CString GetFormatString() const;
    /// The format applied to the current position ("90°").
    virtual CString GetText() const;
    /// Radius of the knob; the knob changes at the next paint, the groove at the next
    /// ReconstructControl.
    virtual void SetKnobRadius(int radius);
    virtual int GetKnobRadius() const;
    /// Degrees added to a position's angle when drawing, taken off when a point becomes a
    /// position. With 90, position 0 is at 3 o'clock.
    virtual void SetZeroAngle(int degrees);
    virtual int GetZeroAngle() const;
    /// True: angles grow counter-clockwise on screen.
    virtual void SetInverse(bool inverse);
    virtual bool GetInverse() const;
    /// Recomputes centre, groove radius and the circular window region from the client
    /// area; the position goes back to 0 without a notification.
    virtual void ReconstructControl();
    /// Turns a point of the client area into a position; true when the position changed.
    virtual bool SetKnob(const CPoint& point);
    /// Posts WM_HSCROLL (code, current position) to the parent window.
    virtual void PostMessageToParent(int code);

    /// Sets the position to the angle in degrees (reduced to one turn first; an angle that
    /// is not finite counts as 0), without a notification.
    void SetAngle(float degrees);
    /// Active: drawn in colour and answering the mouse; inactive: grey and deaf to it.
    void EnableSlider(bool enable);
    bool IsSliderEnabled() const { return m_active; }
    /// The dialog that owns the control (notifications still go to the parent window).
    void SetOwner(CWnd* owner);

    /// Centre and groove radius as ReconstructControl computed them.
    CPoint GetCentre() const { return CPoint(m_centreX, m_centreY); }
    int GetGrooveRadius() const { return m_radius; }
    bool IsDragging() const { return m_dragging; }

    BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

protected:
    void PreSubclassWindow() override;
    BOOL PreCreateWindow(CREATESTRUCT& cs) override;
    QWidget* CreateWidget(const CREATESTRUCT& cs, QWidget* parentWidget) override;

    void OnSize(UINT type, int cx, int cy);
    BOOL OnEraseBkgnd(CDC* dc);
    void OnPaint();
    void OnLButtonDown(UINT flags, CPoint point);
    void OnMouseMove(UINT flags, CPoint point);
    void OnLButtonUp(UINT flags, CPoint point);
    void OnKeyDown(UINT key, UINT repeat, UINT flags);
    void OnKeyUp(UINT key, UINT repeat, UINT flags);
    DECLARE_MESSAGE_MAP()

private:
    void Setup();
    void Redraw();
    /// Sets the position (clamped into the range); true when it changed.
    bool MovePos(int pos, bool redraw);
    void Paint(CDC& dc);

    // The trackbar's state: the window is drawn here, so the state lives here too.
    int m_min = 0;
    int m_max = 100;
    int m_pos = 0;
    int m_lineSize = 1;
    int m_pageSize = 20;

    int m_centreX = 0;
    int m_centreY = 0;
    int m_radius = 0;
    CRgn m_region;
    int m_zeroAngle = 0;
    bool m_inverse = false;
    CString m_format;
    int m_knobRadius = 7;
    bool m_dragging = false;
    bool m_moved = false;
    CFont m_font;
    COLORREF m_textColour;
    CBrush m_knobBrush;
    bool m_active = false;
    CWnd* m_owner = nullptr;
};
