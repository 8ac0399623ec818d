#include "tests/app/toolbars/command_strip.h"

#include <algorithm>
#include <cmath>

#include "app/toolbars/toolbar_ids.h"
#include "tests/app/toolbars/row_menus.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/window_dc.h"

using namespace tarvenix::toolbars;
using namespace rowtest;

BEGIN_MESSAGE_MAP(CommandStrip, CWnd)
    ON_WM_SIZE()
    ON_MESSAGE(WM_TAR_HOT, OnHot)
END_MESSAGE_MAP()

CommandStrip::~CommandStrip()
{
    if (m_hWnd) DestroyWindow();
    for (CToolBarWindow*& page : pages) {
        delete page;
        page = nullptr;
    }
}

bool CommandStrip::Open(int width)
{
    if (!CreateEx(0, nullptr, "Tarvenix", WS_POPUP | WS_VISIBLE, CRect(0, 0, width, 200), nullptr, 0))
        return false;
    CClientDC dc(this);
    const int dpiX = dc.GetDeviceCaps(LOGPIXELSX), dpiY = dc.GetDeviceCaps(LOGPIXELSY);
    const int fontHeight = -static_cast<int>(std::lround(dpiY * 8.0 / 72.0));
    m_font.CreateFont(fontHeight, 0, 0, 0, 400, 0, 0, 0, 204, 0, 0, 0, 0, "Tahoma");

    const int menuHeight = GetSystemMetrics(SM_CYMENU);
    BuildMenuRow(this, 0, menuHeight + 4, m_fonts, fontHeight, menuBand, menuRow);
    int y = menuHeight + 2;
    mainButtonHeight = std::max(38, static_cast<int>(std::lround(dpiY / 96.0 * 28)));
    mainButtonWidth = std::max(38, static_cast<int>(std::lround(dpiX / 96.0 * 70)) + 33);
    BuildMainRow(this, y, mainButtonHeight + 4, m_fonts, fontHeight, mainButtonWidth, mainButtonHeight,
                 mainBand, mainRow);
    y += mainButtonHeight + 2;
    pageButtonHeight = std::max(38, static_cast<int>(std::lround(dpiY / 96.0 * 32)) + 33);
    pageButtonWidth = std::max(38, static_cast<int>(std::lround(dpiX / 96.0 * 74)));
    BuildPageRow(this, y, pageButtonHeight + 4, m_fonts, fontHeight, pageButtonWidth, pageButtonHeight,
                 pageBand, pages, &pageCount);
    y += pageButtonHeight + 2;
    m_built = true;
    MoveWindow(0, 0, width, y + 2);
    return true;
}

void CommandStrip::Resize(int width)
{
    CRect r;
    GetWindowRect(&r);
    MoveWindow(r.left, r.top, width, r.Height());
}

BOOL CommandStrip::OnCommand(WPARAM wParam, LPARAM)
{
    const UINT id = LOWORD(wParam);
    commands.push_back(id);
    const UINT selectors[] = {ID_PAGE_FILES, ID_PAGE_PROCESSING, ID_PAGE_ANALYSE, ID_PAGE_UTIL};
    for (int i = 0; i < 4 && i < pageCount; ++i)
        if (selectors[i] == id && i != currentPage) {
            ShowToolBarPage(pageBand, pages, currentPage, i);
            currentPage = i;
        }
    return TRUE;
}

void CommandStrip::OnSize(UINT, int, int)
{
    Default();
    if (!m_built) return;
    menuBand.Layout();
    mainBand.Layout();
    pageBand.Layout();
}

LRESULT CommandStrip::OnHot(WPARAM wParam, LPARAM)
{
    CWnd* child = CWnd::FromHandle(reinterpret_cast<HWND>(wParam));
    if (hot && hot != child) hot->SendMessage(WM_TAR_NOT_HOT);
    hot = child;
    return 0;
}
