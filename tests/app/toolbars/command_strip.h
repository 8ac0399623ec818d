#pragma once

// A window shaped like the command window: the menu row, the MAIN row and the page row,
// built as the program builds them at 96 dots per inch. It records the commands that
// reach it, switches pages on the selector commands and keeps the hot row as the command
// window does.

#include <vector>

#include "app/toolbars/toolbar_band.h"

class CommandStrip : public CWnd {
public:
    CommandStrip() = default;
    ~CommandStrip() override;

    /// Creates the strip at the top-left of the screen, `width` pixels wide.
    bool Open(int width);
    /// Makes the strip `width` pixels wide (the rows are laid out again).
    void Resize(int width);

    CToolBarBand menuBand, mainBand, pageBand;
    CToolBarWindow menuRow, mainRow;
    CToolBarWindow* pages[kMaxToolBarPages] = {};
    int pageCount = 0;
    int currentPage = 0;
    int pageButtonWidth = 0;
    int pageButtonHeight = 0;
    int mainButtonWidth = 0;
    int mainButtonHeight = 0;
    std::vector<UINT> commands;
    CWnd* hot = nullptr;

    CWnd* PageButton(int page, int i) const { return pages[page]->GetButton(i); }

protected:
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    void OnSize(UINT type, int cx, int cy);
    LRESULT OnHot(WPARAM wParam, LPARAM);
    DECLARE_MESSAGE_MAP()

private:
    CFont m_font;
    CFont* m_fonts[1] = {&m_font};
    bool m_built = false;
};
