#include "viewer/analysis/curve_static.h"

#include "platform/gdi/dc.h"
#include "platform/gdi/window_dc.h"
#include "platform/gdi/gdi_objects.h"

// clang-format off
BEGIN_MESSAGE_MAP(CCurveStatic, CStatic)
    ON_WM_PAINT()
END_MESSAGE_MAP()
// clang-format on

QWidget* CCurveStatic::CreateWidget(const CREATESTRUCT& cs, QWidget* parentWidget)
{
    // A plain window: the curves are painted here, not by the label a static shows.
    return CWnd::CreateWidget(cs, parentWidget);
}

void CCurveStatic::OnPaint()
{
    CPaintDC dc(this);
    if (!m_pRed || !m_pGreen || !m_pBlue) return;
    CRect rc;
    GetClientRect(&rc);
    if (rc.Width() <= 0 || rc.Height() <= 0) return;
    CBrush black;
    black.CreateSolidBrush(RGB(0, 0, 0));
    dc.FillRect(&rc, &black);
    const int oldRop = dc.SetROP2(R2_MERGEPEN);
    CPen pens[3];
    pens[0].CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
    pens[1].CreatePen(PS_SOLID, 1, RGB(0, 255, 0));
    pens[2].CreatePen(PS_SOLID, 1, RGB(0, 0, 255));
    const BYTE* curves[3] = {m_pRed, m_pGreen, m_pBlue};
    const double sx = 256.0 / rc.Width();
    const double sy = 256.0 / rc.Height();
    CPen* oldPen = dc.SelectObject(&pens[0]);
    for (int c = 0; c < 3; ++c) {
        dc.SelectObject(&pens[c]);
        const BYTE* curve = curves[c];
        dc.MoveTo(rc.left, static_cast<int>(rc.bottom - curve[0] / sy));
        for (int i = 1; i < 256; ++i)
            dc.LineTo(static_cast<int>(i / sx + rc.left), static_cast<int>(rc.bottom - curve[i] / sy));
    }
    dc.SelectObject(oldPen);
    dc.SetROP2(oldRop);
}
