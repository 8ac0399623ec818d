#include "platform/controls/flat_scroll_bar.h"

BOOL InitializeFlatSB(HWND hwnd)
{
    return CWnd::FromHandle(hwnd) ? TRUE : FALSE;
}

BOOL FlatSB_EnableScrollBar(HWND hwnd, int, UINT arrows)
{
    return CWnd::FromHandle(hwnd) && arrows == ESB_ENABLE_BOTH ? TRUE : FALSE;
}

BOOL FlatSB_ShowScrollBar(HWND hwnd, int bar, BOOL show)
{
    CWnd* wnd = CWnd::FromHandle(hwnd);
    if (!wnd) return FALSE;
    wnd->ShowScrollBar(UINT(bar), show);
    return TRUE;
}

int FlatSB_SetScrollInfo(HWND hwnd, int bar, LPSCROLLINFO info, BOOL redraw)
{
    CWnd* wnd = CWnd::FromHandle(hwnd);
    if (!wnd || !info) return 0;
    wnd->SetScrollInfo(bar, info, redraw);
    return wnd->GetScrollPos(bar);
}

BOOL FlatSB_GetScrollInfo(HWND hwnd, int bar, LPSCROLLINFO info)
{
    CWnd* wnd = CWnd::FromHandle(hwnd);
    return wnd && info ? wnd->GetScrollInfo(bar, info, info->fMask) : FALSE;
}

int FlatSB_SetScrollPos(HWND hwnd, int bar, int pos, BOOL redraw)
{
    CWnd* wnd = CWnd::FromHandle(hwnd);
    return wnd ? wnd->SetScrollPos(bar, pos, redraw) : 0;
}

int FlatSB_GetScrollPos(HWND hwnd, int bar)
{
    CWnd* wnd = CWnd::FromHandle(hwnd);
    return wnd ? wnd->GetScrollPos(bar) : 0;
}
