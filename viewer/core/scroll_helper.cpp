#include "viewer/core/scroll_helper.h"

#include <algorithm>
#include <cmath>

#include "outside/basecore/math_helpers.h"
#include "platform/window/wnd.h"

void CScrollHelper::Bind(CWnd* window, int bar)
{
    m_pWnd = window;
    m_nBar = bar;
}

double CScrollHelper::Unit() const
{
    const double range = m_dMax - m_dMin;
    return range > 0.0 ? range / kBarMax : 0.0;
}

int CScrollHelper::ToBar(double value) const
{
    const double u = Unit();
    if (u <= 0.0) return 0;
    const double bar = (value - m_dMin) / u;
    return Round(std::clamp(bar, 0.0, double(kBarMax)));
}

void CScrollHelper::Sync(BOOL redraw)
{
    if (!m_pWnd) return;
    SCROLLINFO si{sizeof(SCROLLINFO), SIF_RANGE | SIF_PAGE | SIF_POS, 0, 0, 0, 0, 0};
    const double u = Unit();
    if (u > 0.0) {
        si.nMax = kBarMax;
        // One more unit than the page covers, so that a page equal to the range hides the bar.
        si.nPage = static_cast<UINT>(std::clamp(Round(m_dPage / u) + 1, 0, kBarMax + 1));
        si.nPos = ToBar(m_dPos);
    }
    m_pWnd->SetScrollInfo(m_nBar, &si, redraw);
}

BOOL CScrollHelper::SetInfo(const ScrollInfoD& info, BOOL redraw)
{
    if (!m_pWnd) return FALSE;
    if (info.fMask & SIF_RANGE) SetRange(info.nMin, info.nMax);
    if (info.fMask & SIF_PAGE) m_dPage = std::max(info.nPage, 0.0);
    if (info.fMask & SIF_POS) m_dPos = info.nPos;
    m_dPos = std::clamp(m_dPos, m_dMin, std::max(m_dMin, m_dMax));
    Sync(redraw);
    return TRUE;
}

BOOL CScrollHelper::GetInfo(ScrollInfoD* info, UINT mask) const
{
    if (!m_pWnd || !info) return FALSE;
    info->fMask = mask;
    if (mask & SIF_RANGE) {
        info->nMin = m_dMin;
        info->nMax = m_dMax;
    }
    if (mask & SIF_PAGE) info->nPage = m_dPage;
    if (mask & SIF_POS) info->nPos = m_dPos;
    if (mask & SIF_TRACKPOS) info->nTrackPos = GetTrackPos();
    return TRUE;
}

double CScrollHelper::GetPos(double* out) const
{
    const double pos = m_pWnd ? m_dPos : 0.0;
    if (out) *out = pos;
    return pos;
}

double CScrollHelper::GetTrackPos(double* out) const
{
    double pos = 0.0;
    if (m_pWnd) {
        SCROLLINFO si{sizeof(SCROLLINFO), SIF_TRACKPOS, 0, 0, 0, 0, 0};
        m_pWnd->GetScrollInfo(m_nBar, &si, SIF_TRACKPOS);
        pos = si.nTrackPos * Unit() + m_dMin;
    }
    if (out) *out = pos;
    return pos;
}

double CScrollHelper::GetPage(double* out) const
{
    const double page = m_pWnd ? m_dPage : 0.0;
    if (out) *out = page;
    return page;
}

double CScrollHelper::SetPos(double pos, BOOL redraw)
{
    if (!m_pWnd) return 0.0;
    if (!std::isfinite(pos)) pos = m_dMin;
    m_dPos = std::clamp(pos, m_dMin, std::max(m_dMin, m_dMax));
    Sync(redraw);
    return m_dPos;
}

BOOL CScrollHelper::SetPage(double page, BOOL redraw)
{
    if (!m_pWnd) return FALSE;
    m_dPage = std::isfinite(page) ? std::max(page, 0.0) : 0.0;
    Sync(redraw);
    return TRUE;
}

void CScrollHelper::SetRange(double min, double max)
{
    if (!std::isfinite(min)) min = 0.0;
    if (!std::isfinite(max) || max < min) max = min;
    m_dMin = min;
    m_dMax = max;
}

BOOL CScrollHelper::Reset()
{
    if (!m_pWnd) return FALSE;
    m_dMin = m_dMax = m_dPage = m_dPos = 0.0;
    SCROLLINFO si{sizeof(SCROLLINFO), SIF_ALL, 0, 0, 0, 0, 0};
    m_pWnd->SetScrollInfo(m_nBar, &si, TRUE);
    return TRUE;
}
