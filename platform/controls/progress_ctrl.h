#pragma once

// The progress bar control: a sunken box filled from the left in proportion to the
// position within the range, drawn in blocks (or smoothly with PBS_SMOOTH).

#include "platform/window/wnd.h"

constexpr DWORD PBS_SMOOTH = 0x01;
constexpr DWORD PBS_VERTICAL = 0x04;

struct PBRANGE {
    int iLow;
    int iHigh;
};

class PLATFORM_API CProgressCtrl : public CWnd {
public:
    BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);
    void SetRange(short nLower, short nUpper) { SetRange32(nLower, nUpper); }
    void SetRange32(int nLower, int nUpper);
    void GetRange(int& nLower, int& nUpper) const;
    /// The position, kept within the range; returns the previous position.
    int SetPos(int nPos);
    int GetPos() const { return m_pos; }
    int OffsetPos(int nPos) { return SetPos(m_pos + nPos); }
    int SetStep(int nStep);
    /// Advances by the step, wrapping to the start past the end; returns the previous position.
    int StepIt();

    void OnPaint();
    DECLARE_MESSAGE_MAP()

private:
    int m_lower = 0;
    int m_upper = 100;
    int m_pos = 0;
    int m_step = 10;
};
