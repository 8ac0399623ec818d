#include "modules/common/window_spin.h"

#include <algorithm>

int WindowSizeOfSpin(int pos, int lastPosition)
{
    return 2 * std::clamp(pos, 0, lastPosition) + 3;
}

CString WindowSizeText(int size)
{
    CString text;
    text.Format("%dx%d", size, size);
    return text;
}

void InitWindowSpin(CSpinButtonCtrl& spin, int lastPosition)
{
    spin.SetRange(0, short(lastPosition));
    spin.SetPos(0);
}

bool WindowSpinScrolled(UINT code, UINT pos, CScrollBar* bar, CSpinButtonCtrl& spin, int lastPosition,
                        int& size, CString& text)
{
    if (code != SB_THUMBPOSITION || !bar || reinterpret_cast<CWnd*>(bar) != static_cast<CWnd*>(&spin))
        return false;
    // The position travels in the low word, signed.
    size = WindowSizeOfSpin(int(short(pos)), lastPosition);
    text = WindowSizeText(size);
    return true;
}
