#include "viewer/analysis/line_backing_store.h"

#include <algorithm>
#include <new>
#include <utility>

#include "platform/gdi/dc.h"
#include "platform/gdi/gdi_objects.h"
#include "platform/gdi/window_dc.h"
#include "platform/window/wnd.h"

BOOL CLineBackingStore::Init(CWnd* window, int rowSlots, int columnSlots, int widthLimit, int heightLimit)
{
    Free();
    if (!window || !window->GetSafeHwnd() || rowSlots < 0 || columnSlots < 0) return FALSE;
    m_pWnd = window;
    m_nWidth = widthLimit > 0 ? widthLimit : ::GetSystemMetrics(SM_CXSCREEN);
    m_nHeight = heightLimit > 0 ? heightLimit : ::GetSystemMetrics(SM_CYSCREEN);
    m_nRows = rowSlots;
    m_nCols = columnSlots;
    m_pColSaved = new (std::nothrow) std::int32_t[std::size_t(rowSlots) + columnSlots + 1]();
    if (!m_pColSaved) return FALSE;
    m_pRowSaved = m_pColSaved + columnSlots;
    const HDC dc = ::GetDC(window->GetSafeHwnd());
    if (!dc) return FALSE;
    m_hRows = ::CreateCompatibleBitmap(dc, m_nWidth, std::max(1, m_nRows));
    m_hCols = ::CreateCompatibleBitmap(dc, std::max(1, m_nCols), m_nHeight);
    ::ReleaseDC(window->GetSafeHwnd(), dc);
    return m_hRows && m_hCols ? TRUE : FALSE;
}

void CLineBackingStore::Free()
{
    if (m_hRows) ::DeleteObject(m_hRows);
    if (m_hCols) ::DeleteObject(m_hCols);
    delete[] m_pColSaved;
    m_pWnd = nullptr;
    m_hRows = m_hCols = nullptr;
    m_pColSaved = m_pRowSaved = nullptr;
    m_nRows = m_nCols = m_nHeight = m_nWidth = 0;
}

void CLineBackingStore::SaveLine(int slot, int x1, int y1, int x2, int y2, HDC memoryDC, HDC windowDC)
{
    Transfer(true, slot, x1, y1, x2, y2, memoryDC, windowDC);
}

void CLineBackingStore::RestoreLine(int slot, int x1, int y1, int x2, int y2, HDC memoryDC, HDC windowDC)
{
    Transfer(false, slot, x1, y1, x2, y2, memoryDC, windowDC);
}

void CLineBackingStore::Transfer(bool save, int slot, int x1, int y1, int x2, int y2, HDC memoryDC,
                                 HDC windowDC)
{
    if (!m_pWnd || !m_pColSaved) return;
    if (x2 < x1 || y2 < y1) {
        std::swap(x1, x2);
        std::swap(y1, y2);
    }
    const bool vertical = x1 == x2;
    if (!vertical && y1 != y2) return;  // slanted: not a strip
    // A slot beyond the counts would mark memory that is not ours.
    if (slot < 0 || slot >= (vertical ? m_nCols : m_nRows)) return;
    x1 = std::max(x1, 0);
    y1 = std::max(y1, 0);
    if (x1 >= m_nWidth || y1 >= m_nHeight || x2 < 0 || y2 < 0) return;
    x2 = std::min(x2, m_nWidth - 1);
    y2 = std::min(y2, m_nHeight - 1);
    std::int32_t& mark = vertical ? m_pColSaved[slot] : m_pRowSaved[slot];
    if (!save && !mark) return;

    const bool own = memoryDC == nullptr;
    HDC memory = memoryDC;
    HDC window = windowDC;
    if (own) {
        memory = ::CreateCompatibleDC(nullptr);
        window = ::GetDC(m_pWnd->GetSafeHwnd());
    }
    if (memory && window) {
        HGDIOBJ previous = own ? ::SelectObject(memory, vertical ? m_hCols : m_hRows) : nullptr;
        const int w = vertical ? 1 : x2 - x1 + 1;
        const int h = vertical ? y2 - y1 + 1 : 1;
        const int sx = vertical ? slot : 0;
        const int sy = vertical ? 0 : slot;
        if (save)
            ::BitBlt(memory, sx, sy, w, h, window, x1, y1, SRCCOPY);
        else
            ::BitBlt(window, x1, y1, w, h, memory, sx, sy, SRCCOPY);
        mark = save ? 1 : 0;
        if (own) ::SelectObject(memory, previous);
    }
    if (own) {
        if (memory) ::DeleteDC(memory);
        if (window) ::ReleaseDC(m_pWnd->GetSafeHwnd(), window);
    }
}

void CLineBackingStore::TransferLines(bool save, int rowCount, const int* rowSlots, const POINT* rowStarts,
                                      const POINT* rowEnds, int columnCount, const int* columnSlots,
                                      const POINT* columnStarts, const POINT* columnEnds)
{
    if (!m_pWnd || !m_pColSaved) return;
    const HDC memory = ::CreateCompatibleDC(nullptr);
    const HDC window = ::GetDC(m_pWnd->GetSafeHwnd());
    if (memory && window) {
        HGDIOBJ previous = ::SelectObject(memory, m_hCols);
        for (int i = 0; i < columnCount && columnSlots; ++i)
            Transfer(save, columnSlots[i], columnStarts[i].x, columnStarts[i].y, columnEnds[i].x,
                     columnEnds[i].y, memory, window);
        ::SelectObject(memory, previous);
        previous = ::SelectObject(memory, m_hRows);
        for (int i = 0; i < rowCount && rowSlots; ++i)
            Transfer(save, rowSlots[i], rowStarts[i].x, rowStarts[i].y, rowEnds[i].x, rowEnds[i].y, memory,
                     window);
        ::SelectObject(memory, previous);
    }
    if (memory) ::DeleteDC(memory);
    if (window) ::ReleaseDC(m_pWnd->GetSafeHwnd(), window);
}

void CLineBackingStore::SaveLines(int rowCount, const int* rowSlots, const POINT* rowStarts,
                                  const POINT* rowEnds, int columnCount, const int* columnSlots,
                                  const POINT* columnStarts, const POINT* columnEnds)
{
    TransferLines(true, rowCount, rowSlots, rowStarts, rowEnds, columnCount, columnSlots, columnStarts,
                  columnEnds);
}

void CLineBackingStore::RestoreLines(int rowCount, const int* rowSlots, const POINT* rowStarts,
                                     const POINT* rowEnds, int columnCount, const int* columnSlots,
                                     const POINT* columnStarts, const POINT* columnEnds)
{
    TransferLines(false, rowCount, rowSlots, rowStarts, rowEnds, columnCount, columnSlots, columnStarts,
                  columnEnds);
}
