#include "app/toolbars/toolbar_band.h"

#include <algorithm>

#include "app/toolbars/toolbar_ids.h"
#include "app/toolbars/toolbar_resources.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/region.h"
#include "platform/gdi/window_dc.h"

using namespace tarvenix::toolbars;

namespace {

CWnd* WindowOf(WPARAM wParam)
{
    return CWnd::FromHandle(reinterpret_cast<HWND>(wParam));
}

bool CursorOutside(CWnd* child, CPoint screen)
{
    CRect r;
    child->GetWindowRect(&r);
    return !r.PtInRect(screen);
}

/// The 8 x 8 checkerboard of highlight and face behind a pressed selector.
void MakeCheckedPattern(CBitmap& pattern)
{
    const COLORREF light = GetSysColor(COLOR_BTNHIGHLIGHT), face = GetSysColor(COLOR_BTNFACE);
    unsigned char bits[8 * 8 * 3];
    for (int j = 0; j < 8; ++j)
        for (int i = 0; i < 8; ++i) {
            const COLORREF c = (i + j) % 2 == 0 ? light : face;
            unsigned char* p = bits + (j * 8 + i) * 3;
            p[0] = GetBValue(c);
            p[1] = GetGValue(c);
            p[2] = GetRValue(c);
        }
    pattern.CreateBitmap(8, 8, 1, 24, bits);
}

/// Adds the named strip of 32 x 32 images to the list; the top-left pixel's colour is
/// transparent. A strip that cannot be loaded leaves the list empty.
void AddStrip(CImageList& list, LPCTSTR name)
{
    CBitmap strip;
    if (!name || !strip.LoadBitmap(name)) return;
    COLORREF mask = CLR_NONE;
    CDC dc;
    if (dc.CreateCompatibleDC(nullptr)) {
        CBitmap* old = dc.SelectObject(&strip);
        mask = dc.GetPixel(0, 0);
        dc.SelectObject(old);
    }
    list.Add(&strip, mask);
}

CString MenuText(CMenu& menu, int position)
{
    CString text;
    menu.GetMenuString(static_cast<UINT>(position), text, MF_BYPOSITION);
    if (text.GetLength() > 1024) text = text.Left(1024);
    return text;
}

constexpr LPCTSTR kImagePrefix = "IDB_BITMAP_TOOL_";

// The program's menus that the rows are built from.
constexpr UINT kMenuBar = 130;        // the menu bar
constexpr UINT kMenuToolPages = 136;  // one popup per tool-bar page
constexpr UINT kMenuPageNames = 137;  // "MAIN", then the page names with their selector ids

}  // namespace

// --- CToolBarWindow ----------------------------------------------------------------------------------

BEGIN_MESSAGE_MAP(CToolBarWindow, CDialog)
    ON_WM_PAINT()
    ON_WM_MOUSEMOVE()
    ON_MESSAGE(WM_TAR_HOT, OnHot)
    ON_MESSAGE(WM_TAR_NOT_HOT, OnNotHot)
    ON_MESSAGE(WM_TAR_TOGGLED, OnToggled)
    ON_MESSAGE(WM_MENUSELECT, OnMenuSelect)
END_MESSAGE_MAP()

CToolBarWindow::~CToolBarWindow()
{
    m_openMenuButton = nullptr;
    m_hotChild = nullptr;
    m_buttons.clear();
    if (m_hWnd) DestroyWindow();
}

BOOL CToolBarWindow::Create(CToolBarBand* band, CFont** font, int fontHeight)
{
    ToolbarResourcesInstance();
    m_band = band;
    m_font = font;
    m_fontHeight = fontHeight;
    m_x = CToolBarBand::kMargin;
    if (!m_colourImages.IsCreated()) m_colourImages.Create(32, 32, ILC_COLOR8 | ILC_MASK, 5, 5);
    if (!m_grayImages.IsCreated()) m_grayImages.Create(32, 32, ILC_COLOR8 | ILC_MASK, 5, 5);
    return CDialog::Create(IDD_TOOLBAR_WINDOW, band);
}

CWnd* CToolBarWindow::GetButton(int i) const
{
    return i >= 0 && i < GetButtonCount() ? m_buttons[static_cast<std::size_t>(i)].get() : nullptr;
}

int CToolBarWindow::CreateMenuButtons(int count, const CString* texts, const UINT* ids, int height)
{
    if (!m_menu.GetSafeHmenu()) m_menu.LoadMenu(kMenuBar);
    int x = 0;
    for (int i = 0; i < count; ++i) {
        auto button = std::make_unique<TarMenu>();
        int width = 0;
        if (!button->Create(texts[i], WS_CHILD | WS_VISIBLE, CRect(x, 0, x + 1, height), this, ids[i], m_font,
                            m_fontHeight, i, &width))
            continue;
        x += width;
        m_buttons.push_back(std::move(button));
    }
    m_contentWidth = x;
    return x;
}

void CToolBarWindow::LoadImages(LPCTSTR iconsName, LPCTSTR grayName)
{
    AddStrip(m_colourImages, iconsName);
    AddStrip(m_grayImages, grayName);
    m_colourImages.SetBkColor(GetSysColor(COLOR_BTNFACE));
    m_grayImages.SetBkColor(GetSysColor(COLOR_BTNFACE));
}

int CToolBarWindow::CreateButtons(bool toggles, int count, LPCTSTR iconsName, LPCTSTR grayName,
                                  const CString* texts, const UINT* ids, int width, int height)
{
    LoadImages(iconsName, grayName);
    if (toggles && !m_pattern.GetSafeHandle()) MakeCheckedPattern(m_pattern);
    for (int i = 0; i < count; ++i) {
        const CRect r(i * width, 0, (i + 1) * width, height);
        if (toggles) {
            auto button = std::make_unique<TarPressButtons>();
            if (!button->Create(texts[i], WS_CHILD | WS_VISIBLE, r, this, ids[i], &m_colourImages,
                                &m_grayImages, i, m_font, m_fontHeight, TarButtons::kCaptionBeside, i,
                                &m_pattern))
                continue;
            m_buttons.push_back(std::move(button));
        } else {
            auto button = std::make_unique<TarButtons>();
            if (!button->Create(texts[i], WS_CHILD | WS_VISIBLE, r, this, ids[i], &m_colourImages,
                                &m_grayImages, i, m_font, m_fontHeight, TarButtons::kCaptionUnder))
                continue;
            m_buttons.push_back(std::move(button));
        }
    }
    if (toggles && !m_buttons.empty()) {
        static_cast<TarPressButtons*>(m_buttons.front().get())->Check();
        m_pressedIndex = 0;
    }
    m_contentWidth = width * count;
    return m_contentWidth;
}

int CToolBarWindow::CreatePressButtons(int count, LPCTSTR iconsName, LPCTSTR grayName, const CString* texts,
                                       const UINT* ids, int width, int height)
{
    return CreateButtons(true, count, iconsName, grayName, texts, ids, width, height);
}

int CToolBarWindow::CreateImageButtons(int count, LPCTSTR iconsName, LPCTSTR grayName, const CString* texts,
                                       const UINT* ids, int width, int height)
{
    return CreateButtons(false, count, iconsName, grayName, texts, ids, width, height);
}

BOOL CToolBarWindow::OnCommand(WPARAM wParam, LPARAM lParam)
{
    if (HIWORD(wParam) != 0) return CDialog::OnCommand(wParam, lParam);
    if (m_band) m_band->SendMessage(WM_COMMAND, wParam, lParam);
    return TRUE;
}

void CToolBarWindow::OnPaint()
{
    CPaintDC dc(this);  // the buttons paint themselves
}

void CToolBarWindow::OnMouseMove(UINT, CPoint point)
{
    if (m_report) {
        m_report = false;
        if (CWnd* parent = GetParent()) parent->SendMessage(WM_TAR_HOT, reinterpret_cast<WPARAM>(m_hWnd), 0);
    }
    ClientToScreen(&point);
    if (m_hotChild && CursorOutside(m_hotChild, point)) {
        CWnd* child = m_hotChild;
        m_hotChild = nullptr;
        child->SendMessage(WM_TAR_NOT_HOT);
    }
}

LRESULT CToolBarWindow::OnHot(WPARAM wParam, LPARAM)
{
    CWnd* child = WindowOf(wParam);
    if (!child) return 0;
    if (m_hotChild && m_hotChild != child) m_hotChild->SendMessage(WM_TAR_NOT_HOT);
    m_report = false;
    if (CWnd* parent = GetParent()) parent->SendMessage(WM_TAR_HOT, reinterpret_cast<WPARAM>(m_hWnd), 0);
    m_hotChild = child;
    return 0;
}

LRESULT CToolBarWindow::OnNotHot(WPARAM, LPARAM)
{
    m_report = true;
    if (CWnd* child = m_hotChild) {
        m_hotChild = nullptr;
        child->SendMessage(WM_TAR_NOT_HOT);
    }
    return 0;
}

LRESULT CToolBarWindow::OnToggled(WPARAM wParam, LPARAM)
{
    const int index = static_cast<int>(wParam);
    if (index != m_pressedIndex)
        if (CWnd* previous = GetButton(m_pressedIndex)) previous->SendMessage(WM_TAR_RELEASE);
    m_pressedIndex = index;
    return 0;
}

LRESULT CToolBarWindow::OnMenuSelect(WPARAM wParam, LPARAM lParam)
{
    if (LOWORD(wParam) == 0xFFFF && lParam == 0 && m_openMenuButton) {
        TarMenu* button = m_openMenuButton;
        m_openMenuButton = nullptr;
        button->SendMessage(WM_TAR_POPUP_CLOSED);
    }
    return 0;
}

// --- CToolBarBand -----------------------------------------------------------------------------------

BEGIN_MESSAGE_MAP(CToolBarBand, CDialog)
    ON_WM_PAINT()
    ON_WM_MOUSEMOVE()
    ON_MESSAGE(WM_TAR_SCROLL, OnScroll)
    ON_MESSAGE(WM_TAR_HOT, OnHot)
    ON_MESSAGE(WM_TAR_NOT_HOT, OnNotHot)
END_MESSAGE_MAP()

CToolBarBand::~CToolBarBand()
{
    m_hotChild = nullptr;
    m_content = nullptr;
    if (m_hWnd) DestroyWindow();
}

BOOL CToolBarBand::Build(CWnd* parent, int x, int y, int width, int height, CFont** font, int fontHeight,
                         UINT leftArrowId, UINT rightArrowId)
{
    ToolbarResourcesInstance();
    m_parent = parent;
    m_font = font;
    m_fontHeight = fontHeight;
    m_y = y;
    m_height = height;
    m_width = width;
    m_leftId = leftArrowId;
    m_rightId = rightArrowId;
    if (!CDialog::Create(IDD_TOOLBAR_BAND, parent)) return FALSE;
    MoveWindow(x, y, width, height);
    const int arrowHeight = height - 4;
    m_left.Create("<", WS_CHILD | WS_VISIBLE,
                  CRect(kMargin, kVerticalMargin, kMargin + kArrowWidth, kVerticalMargin + arrowHeight), this,
                  leftArrowId, -1);
    m_right.Create(
        ">", WS_CHILD | WS_VISIBLE,
        CRect(width - kMargin - kArrowWidth, kVerticalMargin, width - kMargin, kVerticalMargin + arrowHeight),
        this, rightArrowId, +1);
    m_leftHidden = m_rightHidden = false;
    m_built = true;
    return TRUE;
}

void CToolBarBand::ShowArrow(TarScrollArrow& arrow, bool& hidden, bool show)
{
    if (show == !hidden) return;
    hidden = !show;
    arrow.ShowWindow(show ? SW_SHOW : SW_HIDE);
}

void CToolBarBand::ShowArrows()
{
    if (!m_content) return;
    ShowArrow(m_left, m_leftHidden, m_content->m_x < kMargin);
    ShowArrow(m_right, m_rightHidden, m_content->m_overflow > -kMargin);
}

void CToolBarBand::Clip()
{
    if (!m_content) return;
    const int leftArrow = m_leftHidden ? 0 : kArrowWidth;
    const int rightArrow = m_rightHidden ? 0 : kArrowWidth;
    const int left = kMargin + leftArrow - m_content->m_x;
    const int right = left + m_width - leftArrow - rightArrow - 2 * kMargin;
    m_visible = CRect(left, 0, right, m_height - 4);
    CRgn region;
    region.CreateRectRgn(m_visible.left, m_visible.top, m_visible.right, m_visible.bottom);
    m_content->SetWindowRgn(region, TRUE);
}

void CToolBarBand::Layout()
{
    if (!m_built) return;
    if (m_parent) {
        CRect client;
        m_parent->GetClientRect(&client);
        m_width = client.Width();
    }
    MoveWindow(0, m_y, m_width, m_height);
    m_right.MoveWindow(m_width - kMargin - kArrowWidth, kVerticalMargin, kArrowWidth, m_height - 4);
    // The right edge of the sunken frame moves with the width.
    Invalidate();
    if (!m_content) return;
    m_content->m_overflow = m_content->m_x + m_content->m_contentWidth - m_width;
    ShowArrows();
    Clip();
}

void CToolBarBand::Scroll(UINT arrowId, int step)
{
    if (!m_content) return;
    CToolBarWindow& c = *m_content;
    if (arrowId == m_leftId) {
        c.m_x += step;
        if (c.m_x >= kMargin) {
            c.m_x = kMargin;
            ShowArrow(m_left, m_leftHidden, false);
        } else {
            ShowArrow(m_left, m_leftHidden, true);
        }
        c.m_overflow = c.m_x + c.m_contentWidth - m_width;
        ShowArrow(m_right, m_rightHidden, c.m_overflow > -kMargin);
    } else if (arrowId == m_rightId) {
        c.m_x -= step;
        c.m_overflow = c.m_x + c.m_contentWidth - m_width;
        // At the end the last button stops a margin before the band's edge; there the row
        // fits, as Layout sees it, so the arrow goes.
        if (c.m_overflow <= -kMargin) {
            c.m_overflow = -kMargin;
            c.m_x = c.m_overflow + m_width - c.m_contentWidth;
            ShowArrow(m_right, m_rightHidden, false);
        } else {
            ShowArrow(m_right, m_rightHidden, true);
        }
        ShowArrow(m_left, m_leftHidden, c.m_x < kMargin);
    } else {
        return;
    }
    CRect r;
    c.GetWindowRect(&r);
    c.MoveWindow(c.m_x, kVerticalMargin, r.Width(), m_height - 4);
    Clip();
}

void CToolBarBand::FitContent()
{
    if (!m_content) return;
    CRect client;
    m_content->GetClientRect(&client);
    m_content->MoveWindow(m_content->m_x, kVerticalMargin, client.Width(), m_height - 2 * kVerticalMargin);
}

BOOL CToolBarBand::OnCommand(WPARAM wParam, LPARAM lParam)
{
    if (m_parent) m_parent->SendMessage(WM_COMMAND, wParam, lParam);
    return TRUE;
}

void CToolBarBand::OnPaint()
{
    CPaintDC dc(this);
    CRect client;
    GetClientRect(&client);
    dc.Draw3dRect(&client, GetSysColor(COLOR_BTNSHADOW), GetSysColor(COLOR_BTNHIGHLIGHT));
}

void CToolBarBand::OnMouseMove(UINT, CPoint point)
{
    if (m_report) {
        m_report = false;
        if (m_parent) m_parent->SendMessage(WM_TAR_HOT, reinterpret_cast<WPARAM>(m_hWnd), 0);
    }
    ClientToScreen(&point);
    if (m_hotChild && CursorOutside(m_hotChild, point)) {
        CWnd* child = m_hotChild;
        m_hotChild = nullptr;
        child->SendMessage(WM_TAR_NOT_HOT);
    }
}

LRESULT CToolBarBand::OnScroll(WPARAM wParam, LPARAM lParam)
{
    Scroll(static_cast<UINT>(wParam), static_cast<int>(lParam));
    return 0;
}

LRESULT CToolBarBand::OnHot(WPARAM wParam, LPARAM)
{
    CWnd* child = WindowOf(wParam);
    if (!child) return 0;
    if (m_hotChild && m_hotChild != child) m_hotChild->SendMessage(WM_TAR_NOT_HOT);
    m_report = false;
    if (m_parent) m_parent->SendMessage(WM_TAR_HOT, reinterpret_cast<WPARAM>(m_hWnd), 0);
    m_hotChild = child;
    return 0;
}

LRESULT CToolBarBand::OnNotHot(WPARAM, LPARAM)
{
    m_report = true;
    if (CWnd* child = m_hotChild) {
        m_hotChild = nullptr;
        child->SendMessage(WM_TAR_NOT_HOT);
    }
    return 0;
}

// --- the rows --------------------------------------------------------------------------------------------

namespace {

int ParentClientWidth(CWnd* parent)
{
    CRect client;
    parent->GetClientRect(&client);
    return client.Width();
}

void PlaceContent(CToolBarBand& band, CToolBarWindow& window, int width, int height, bool show)
{
    window.SetWindowPos(nullptr, CToolBarBand::kMargin, CToolBarBand::kVerticalMargin, width, height - 4,
                        SWP_NOZORDER | SWP_NOACTIVATE | (show ? SWP_SHOWWINDOW : 0));
    if (show) band.SetContent(&window);
}

}  // namespace

int BuildMenuRow(CWnd* parent, int y, int height, CFont** font, int fontHeight, CToolBarBand& band,
                 CToolBarWindow& window)
{
    if (!parent || !band.Build(parent, 0, y, ParentClientWidth(parent), height, font, fontHeight,
                               IDC_MENU_ARROW_LEFT, IDC_MENU_ARROW_RIGHT))
        return 0;
    CMenu bar;
    bar.LoadMenu(kMenuBar);
    const int count = bar.GetSafeHmenu() ? static_cast<int>(bar.GetMenuItemCount()) : 0;
    std::vector<CString> texts;
    std::vector<UINT> ids;
    for (int i = 0; i < count; ++i) {
        texts.push_back(MenuText(bar, i));
        ids.push_back(static_cast<UINT>(i + 1));
    }
    if (!window.Create(&band, font, fontHeight)) return 0;
    const int width = window.CreateMenuButtons(count, texts.data(), ids.data(), height - 4);
    PlaceContent(band, window, width, height, true);
    band.Layout();
    return width;
}

int BuildMainRow(CWnd* parent, int y, int height, CFont** font, int fontHeight, int buttonWidth,
                 int buttonHeight, CToolBarBand& band, CToolBarWindow& window)
{
    if (!parent || !band.Build(parent, 0, y, ParentClientWidth(parent), height, font, fontHeight,
                               IDC_MAIN_ARROW_LEFT, IDC_MAIN_ARROW_RIGHT))
        return 0;
    CMenu pages, names;
    pages.LoadMenu(kMenuToolPages);
    names.LoadMenu(kMenuPageNames);
    const int count = pages.GetSafeHmenu() ? static_cast<int>(pages.GetMenuItemCount()) : 0;
    std::vector<CString> texts;
    std::vector<UINT> ids;
    for (int i = 0; i < count; ++i) {
        texts.push_back(MenuText(pages, i));
        ids.push_back(names.GetSafeHmenu() ? names.GetMenuItemID(i + 1) : 0);
    }
    const CString images = CString(kImagePrefix) + (names.GetSafeHmenu() ? MenuText(names, 0) : CString());
    if (!window.Create(&band, font, fontHeight)) return 0;
    window.CreatePressButtons(count, images, images, texts.data(), ids.data(), buttonWidth, buttonHeight);
    const int width = buttonWidth * count;
    PlaceContent(band, window, width, height, true);
    band.Layout();
    return width;
}

int BuildPageRow(CWnd* parent, int y, int height, CFont** font, int fontHeight, int buttonWidth,
                 int buttonHeight, CToolBarBand& band, CToolBarWindow* pages[], int* pageCount)
{
    if (pageCount) *pageCount = 0;
    if (!parent || !band.Build(parent, 0, y, ParentClientWidth(parent), height, font, fontHeight,
                               IDC_PAGE_ARROW_LEFT, IDC_PAGE_ARROW_RIGHT))
        return 0;
    CMenu menu, names;
    menu.LoadMenu(kMenuToolPages);
    names.LoadMenu(kMenuPageNames);
    const int count =
        menu.GetSafeHmenu() ? std::min(static_cast<int>(menu.GetMenuItemCount()), kMaxToolBarPages) : 0;
    int widest = 0;
    for (int i = 0; i < count; ++i) {
        CMenu* popup = menu.GetSubMenu(i);
        const int items = popup ? static_cast<int>(popup->GetMenuItemCount()) : 0;
        widest = std::max(widest, items);
    }
    const int width = buttonWidth * widest;
    for (int i = 0; i < count; ++i) {
        CMenu* popup = menu.GetSubMenu(i);
        std::vector<CString> texts;
        std::vector<UINT> ids;
        const int items = popup ? static_cast<int>(popup->GetMenuItemCount()) : 0;
        for (int k = 0; k < items; ++k) {
            texts.push_back(MenuText(*popup, k));
            ids.push_back(popup->GetMenuItemID(k));
        }
        const CString name = names.GetSafeHmenu() ? MenuText(names, i + 1) : CString();
        const CString colour = CString(kImagePrefix) + name;
        const CString gray = colour + "_GRAY";
        auto* page = new CToolBarWindow;
        pages[i] = page;
        if (pageCount) *pageCount = i + 1;
        if (!page->Create(&band, font, fontHeight)) continue;
        page->CreateImageButtons(items, colour, gray, texts.data(), ids.data(), buttonWidth, buttonHeight);
        PlaceContent(band, *page, width, height, i == 0);
    }
    band.Layout();
    return width;
}

void ShowToolBarPage(CToolBarBand& band, CToolBarWindow* const pages[], int current, int index)
{
    if (CToolBarWindow* old = pages[current]) old->ShowWindow(SW_HIDE);
    CToolBarWindow* page = pages[index];
    if (!page) return;
    band.SetContent(page);
    page->SetOffset(CToolBarBand::kMargin);  // a page always opens at its start
    page->ShowWindow(SW_SHOW);
    band.FitContent();
    band.Layout();
}
