#pragma once

// One scroll bar of a window over a range of doubles. The platform's bar holds integers
// 0..32766; the helper maps its own range onto them and keeps the exact position as a
// double, so a picture far wider than the bar's resolution still scrolls pixel by pixel
// (the bar only shows the thumb).

#include "platform/types.h"
#include "platform/window/messages.h"

class CWnd;

/// A scroll bar's state in the helper's units. Fresh: range 0..100, page 1, position 0.
struct ScrollInfoD {
    UINT fMask = 0;  ///< SIF_ bits
    double nMin = 0.0;
    double nMax = 100.0;
    double nPage = 1.0;
    double nPos = 0.0;
    double nTrackPos = 0.0;
};

class CScrollHelper {
public:
    /// The platform bar's fixed integer range is 0..kBarMax.
    static constexpr int kBarMax = 32766;

    CScrollHelper() = default;
    virtual ~CScrollHelper() = default;

    /// Binds the helper to bar `bar` (SB_HORZ or SB_VERT) of `window`.
    void Bind(CWnd* window, int bar);
    BOOL IsBound() const { return m_pWnd != nullptr; }

    /// Applies the fields named by info.fMask (SIF_RANGE, SIF_PAGE, SIF_POS). The position is
    /// clamped to the range. 0 while unbound.
    BOOL SetInfo(const ScrollInfoD& info, BOOL redraw = TRUE);
    /// Fills the fields named by `mask` (SIF_ALL: all). 0 while unbound.
    BOOL GetInfo(ScrollInfoD* info, UINT mask = SIF_ALL) const;

    /// The exact position; also stored through `out` when given.
    double GetPos(double* out = nullptr) const;
    /// The position of the thumb while the user drags it.
    double GetTrackPos(double* out = nullptr) const;
    double GetPage(double* out = nullptr) const;
    /// Sets the position, clamped to min..max; returns the position kept (0 while unbound).
    double SetPos(double pos, BOOL redraw = TRUE);
    /// Sets the page in the helper's units.
    BOOL SetPage(double page, BOOL redraw = TRUE);

    double GetMin() const { return m_dMin; }
    double GetMax() const { return m_dMax; }
    double GetRange() const { return m_dMax - m_dMin; }
    /// Stores the range without touching the bar.
    void SetRange(double min, double max);
    /// Bar range, page and position all 0; stored range 0..0.
    BOOL Reset();

private:
    /// The helper's units per bar unit; 0 for an empty range (nothing divides by it then).
    double Unit() const;
    int ToBar(double value) const;
    /// Pushes position, page and range to the platform bar.
    void Sync(BOOL redraw);

    CWnd* m_pWnd = nullptr;
    int m_nBar = 0;
    double m_dMin = 0.0;
    double m_dMax = 0.0;
    double m_dPage = 0.0;
    double m_dPos = 0.0;
};
