#pragma once

// Keeps copies of one-pixel-wide horizontal and vertical strips of a window's client area,
// so lines drawn over the window (guides, cross hairs) can be wiped by putting them back.

#include <cstdint>

#include "platform/gdi/gdi_types.h"
#include "platform/geometry.h"
#include "platform/types.h"

class CWnd;

class CLineBackingStore {
public:
    CLineBackingStore() = default;
    ~CLineBackingStore() { Free(); }
    CLineBackingStore(const CLineBackingStore&) = delete;
    CLineBackingStore& operator=(const CLineBackingStore&) = delete;

    /// Row and column slots for `window`; limits of 0 take the screen's size. TRUE when
    /// both stores exist.
    BOOL Init(CWnd* window, int rowSlots, int columnSlots, int widthLimit = 0, int heightLimit = 0);
    void Free();

    /// Saves or puts back the strip of a vertical or horizontal line (client coordinates)
    /// in its slot; slanted lines and slots outside the counts are ignored. With `memoryDC`
    /// and `windowDC` given, the caller has selected the right store into `memoryDC`.
    void SaveLine(int slot, int x1, int y1, int x2, int y2, HDC memoryDC = nullptr, HDC windowDC = nullptr);
    void RestoreLine(int slot, int x1, int y1, int x2, int y2, HDC memoryDC = nullptr,
                     HDC windowDC = nullptr);

    void SaveLines(int rowCount, const int* rowSlots, const POINT* rowStarts, const POINT* rowEnds,
                   int columnCount, const int* columnSlots, const POINT* columnStarts,
                   const POINT* columnEnds);
    void RestoreLines(int rowCount, const int* rowSlots, const POINT* rowStarts, const POINT* rowEnds,
                      int columnCount, const int* columnSlots, const POINT* columnStarts,
                      const POINT* columnEnds);

    CWnd* m_pWnd = nullptr;
    HBITMAP m_hRows = nullptr;
    HBITMAP m_hCols = nullptr;
    std::int32_t* m_pColSaved = nullptr;
    std::int32_t* m_pRowSaved = nullptr;
    int m_nRows = 0;
    int m_nCols = 0;
    int m_nHeight = 0;
    int m_nWidth = 0;

private:
    void Transfer(bool save, int slot, int x1, int y1, int x2, int y2, HDC memoryDC, HDC windowDC);
    void TransferLines(bool save, int rowCount, const int* rowSlots, const POINT* rowStarts,
                       const POINT* rowEnds, int columnCount, const int* columnSlots,
                       const POINT* columnStarts, const POINT* columnEnds);
};
