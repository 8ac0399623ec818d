#include "platform/window/wnd.h"

#include <algorithm>

#include "platform/window/ui_thread.h"
#include "platform/window/window_internal.h"
#include "platform/window/window_widget_internal.h"

using namespace platform;

// --- scroll values
// ------------------------------------------------------------------------------------------
BOOL CWnd::SetScrollInfo(int nBar, LPSCROLLINFO lpScrollInfo, BOOL)
{
    if (!IsUiThread()) return CallOnUiThread([&] { return SetScrollInfo(nBar, lpScrollInfo); });
    if (!m_data || (nBar != static_cast<int>(SB_HORZ) && nBar != static_cast<int>(SB_VERT)) || !lpScrollInfo)
        return FALSE;
    SCROLLINFO& s = m_data->scroll[nBar];
    if (lpScrollInfo->fMask & SIF_RANGE) {
        s.nMin = lpScrollInfo->nMin;
        s.nMax = lpScrollInfo->nMax;
    }
    if (lpScrollInfo->fMask & SIF_PAGE) s.nPage = lpScrollInfo->nPage;
    if (lpScrollInfo->fMask & SIF_POS) s.nPos = lpScrollInfo->nPos;
    const int highest = std::max(s.nMin, s.nMax - std::max(static_cast<int>(s.nPage) - 1, 0));
    s.nPos = std::clamp(s.nPos, s.nMin, highest);
    // As on the system: a bar shows while its range is larger than its page.
    const bool shown = s.nMax > s.nMin && (s.nPage == 0 || s.nPage <= static_cast<UINT>(s.nMax - s.nMin));
    SyncScrollBar(nBar, shown);
    return s.nPos;
}

void CWnd::SyncScrollBar(int nBar, bool shown)
{
    const DWORD bit = nBar == static_cast<int>(SB_HORZ) ? WS_HSCROLL : WS_VSCROLL;
    if (shown)
        m_data->style |= bit;
    else
        m_data->style &= ~bit;
    if (!m_data->generic) return;
    const bool wasShown = m_data->generic->ScrollBarShown(nBar);
    m_data->generic->SetScrollBar(nBar, m_data->scroll[nBar], shown);
    if (wasShown != shown) NoteGeometry(this);  // the client area changes with the bar
}

void CWnd::ShowScrollBar(UINT nBar, BOOL bShow)
{
    if (!IsUiThread()) return RunOnUiThread([&] { ShowScrollBar(nBar, bShow); });
    if (!m_data) return;
    if (nBar == SB_HORZ || nBar == SB_BOTH) SyncScrollBar(SB_HORZ, bShow != FALSE);
    if (m_data && (nBar == SB_VERT || nBar == SB_BOTH)) SyncScrollBar(SB_VERT, bShow != FALSE);
}

BOOL CWnd::GetScrollInfo(int nBar, LPSCROLLINFO lpScrollInfo, UINT nMask) const
{
    if (!m_data || (nBar != static_cast<int>(SB_HORZ) && nBar != static_cast<int>(SB_VERT)) || !lpScrollInfo)
        return FALSE;
    const SCROLLINFO& s = m_data->scroll[nBar];
    lpScrollInfo->fMask = nMask;
    if (nMask & SIF_RANGE) {
        lpScrollInfo->nMin = s.nMin;
        lpScrollInfo->nMax = s.nMax;
    }
    if (nMask & SIF_PAGE) lpScrollInfo->nPage = s.nPage;
    if (nMask & SIF_POS) lpScrollInfo->nPos = s.nPos;
    if (nMask & SIF_TRACKPOS)
        lpScrollInfo->nTrackPos = m_data->generic ? m_data->generic->TrackPosition(nBar) : s.nPos;
    return TRUE;
}

int CWnd::SetScrollPos(int nBar, int nPos, BOOL bRedraw)
{
    const int previous = GetScrollPos(nBar);
    SCROLLINFO info{sizeof(SCROLLINFO), SIF_POS, 0, 0, 0, nPos, 0};
    SetScrollInfo(nBar, &info, bRedraw);
    return previous;
}

int CWnd::GetScrollPos(int nBar) const
{
    SCROLLINFO info{sizeof(SCROLLINFO), SIF_POS, 0, 0, 0, 0, 0};
    return GetScrollInfo(nBar, &info, SIF_POS) ? info.nPos : 0;
}

void CWnd::SetScrollRange(int nBar, int nMinPos, int nMaxPos, BOOL bRedraw)
{
    SCROLLINFO info{sizeof(SCROLLINFO), SIF_RANGE, nMinPos, nMaxPos, 0, 0, 0};
    SetScrollInfo(nBar, &info, bRedraw);
}

void CWnd::GetScrollRange(int nBar, int* lpMinPos, int* lpMaxPos) const
{
    SCROLLINFO info{sizeof(SCROLLINFO), SIF_RANGE, 0, 0, 0, 0, 0};
    GetScrollInfo(nBar, &info, SIF_RANGE);
    if (lpMinPos) *lpMinPos = info.nMin;
    if (lpMaxPos) *lpMaxPos = info.nMax;
}
