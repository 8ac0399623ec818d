#pragma once

// The trim control: one channel's 256 display-level counters drawn as a histogram, with two
// sliders on a scale of 0 to 256 that mark the display range. Dragging a slider tells the
// parent by WM_NOTIFY code 1 with both positions.

#include <cstdint>

#include "platform/cstring.h"
#include "platform/gdi/gdi_types.h"
#include "platform/window/messages.h"
#include "platform/window/wnd.h"

/// One channel of the trimming dialog: the layer's statistics, its histogram and the chosen
/// display range and stretch method (0 Auto, 1 None, 2 Double StdDev, 3 Manual).
struct TuneTrimData {
    CString name;  ///< the layer's file, carried through
    int dataType = 0;
    double minimum = 0.0;
    double maximum = 0.0;
    int complexMode = 0;
    double mean = 0.0;
    double stdDev = 0.0;
    std::uint32_t histogram[256] = {};
    double lowBound = 0.0;
    double highBound = 0.0;
    int method = 0;
    COLORREF colour = 0;  ///< the colour the control draws the channel in
};
using CHistTrimChannel = TuneTrimData;

/// The notification the control sends with code 1.
struct NMHISTTRIM {
    NMHDR hdr;
    int left;   ///< 0 .. 256
    int right;  ///< 0 .. 256
};

class CHistTrimCtrl : public CWnd {
public:
    static constexpr int kScale = 256;
    static constexpr UINT kSlideCode = 1;

    CHistTrimCtrl() = default;
    BOOL Create(const RECT& rect, CWnd* parent, UINT id);
    /// Takes the place and id of the dialog's control `id` (a static laid out for it).
    BOOL ReplaceControl(CWnd* dialog, int id);
    /// The record whose range and colour are drawn (read, not owned); null draws nothing.
    void SetTrimData(const TuneTrimData* data);
    /// The 256 counters drawn (read, not owned); null draws no histogram.
    void SetData(const std::uint32_t* histogram);
    /// Places the sliders at the positions of these values on the record's range.
    void SetLeftSlidePos(double value);
    void SetRightSlidePos(double value);
    int GetLeftSlidePos() const { return m_nLeft; }
    int GetRightSlidePos() const { return m_nRight; }
    /// The scale position of `value` on the record's range, 0 .. 256.
    int PositionOf(double value) const;

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void Paint();
    CRect PlotRect() const;
    int PositionAt(int x) const;
    void Notify();

    const TuneTrimData* m_pData = nullptr;
    const std::uint32_t* m_pHistogram = nullptr;
    int m_nLeft = 0;
    int m_nRight = kScale;
    int m_nDragging = 0;  ///< 0 none, 1 left, 2 right
};
