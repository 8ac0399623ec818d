#include "app/golova_dlg.h"

#include <algorithm>

#include "app/app_resources.h"
#include "app/command_dispatch.h"
#include "app/plugin_loader.h"
#include "app/tarvenix_app.h"
#include "app/toolbars/tar_buttons.h"
#include "app/toolbars/toolbar_ids.h"
#include "app/viewer_seam.h"
#include "outside/basecore/help_system.h"
#include "outside/basecore/math_helpers.h"
#include "outside/basecore/thread_runner.h"
#include "outside/splash/splash.h"
#include "platform/window/work_area.h"
#include "platform/gdi/window_dc.h"
#include "platform/resources/resources.h"

using namespace tarvenix::toolbars;

namespace {

constexpr int kMarginX = 2;
constexpr int kMarginY = 2;
constexpr UINT_PTR kHotTimer = 1;
constexpr UINT kHotPeriod = 1000;
// While the exit waits for the viewers and jobs to end.
constexpr UINT_PTR kExitTimer = 2;
constexpr UINT kExitPeriod = 50;
// How many quiet checks (no job running) the exit allows viewers that are still open
// before it asks them once more, and then before it ends without them.
constexpr int kQuietChecks = 5;

}  // namespace

CommandRowSizes ComputeCommandRowSizes(int dpiX, int dpiY)
{
    CommandRowSizes s;
    s.mainHeight = std::max(38, Round(dpiY / 96.0 * 28));
    s.mainWidth = std::max(38, Round(dpiX / 96.0 * 70) + 33);
    s.pageHeight = std::max(38, Round(dpiY / 96.0 * 32) + 33);
    s.pageWidth = std::max(38, Round(dpiX / 96.0 * 74));
    return s;
}

BEGIN_MESSAGE_MAP(CGolovaDlg, CDialog)
    ON_WM_PAINT()
    ON_WM_QUERYDRAGICON()
    ON_WM_SYSCOMMAND()
    ON_WM_SIZE()
    ON_WM_SIZING()
    ON_WM_MOVE()
    ON_WM_MOUSEMOVE()
    ON_WM_TIMER()
    ON_WM_HELPINFO()
    ON_WM_CLOSE()
    ON_MESSAGE(WM_TAR_HOT, OnChildHot)
    ON_COMMAND_EX_RANGE(kFirstCommandId, kLastCommandId, OnTableCommand)
END_MESSAGE_MAP()

CGolovaDlg::CGolovaDlg(CWnd* pParent) : CDialog(IDD_GOLOVA_DIALOG, pParent)
{
    m_hIcon = AfxGetApp() ? AfxGetApp()->LoadIcon(IDR_MAINFRAME)
                          : ::LoadIcon(nullptr, MAKEINTRESOURCE(IDR_MAINFRAME));
}

CGolovaDlg::~CGolovaDlg()
{
    if (GetSafeHwnd()) DestroyWindow();
    for (CToolBarWindow*& page : m_pages) {
        delete page;
        page = nullptr;
    }
    delete m_pFontArray[0];
    m_menuPages.DestroyMenu();
    if (g_pGolovaDlg == this) g_pGolovaDlg = nullptr;
}

BOOL CGolovaDlg::OnInitDialog()
{
    CDialog::OnInitDialog();

    CString about;
    about.LoadString(IDS_ABOUTBOX);
    if (CMenu* system = GetSystemMenu(FALSE); system && !about.IsEmpty()) {
        system->AppendMenu(MF_SEPARATOR);
        system->AppendMenu(MF_STRING, IDM_ABOUTBOX, about);
    }
    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);
    TarButtonClassName();  // the class every button of the rows is made with

    {
        CClientDC dc(this);
        m_rowSizes = ComputeCommandRowSizes(dc.GetDeviceCaps(LOGPIXELSX), dc.GetDeviceCaps(LOGPIXELSY));
        m_fontHeight = -Round(dc.GetDeviceCaps(LOGPIXELSY) * 8.0 / 72.0);
        m_pFontArray[0] = new CFont;
        m_pFontArray[0]->CreateFont(m_fontHeight, 0, 0, 0, 400, 0, 0, 0, 204, 0, 0, 0, 0, "Tahoma");
    }
    m_menuPages.LoadMenu(IDR_MENU_PAGES);
    m_currentPage = 0;

    int bottom = 0;
    const int widest = BuildRows(bottom);

    CRect window, client;
    GetWindowRect(&window);
    GetClientRect(&client);
    ClientToScreen(&client);
    m_fixedHeight = (client.top - window.top) + bottom + kMarginY + (window.bottom - client.bottom);
    CRect desktop;
    GetDesktopWindow()->GetWindowRect(&desktop);
    const int width = std::min(
        (client.left - window.left) + 2 * kMarginX + widest + (window.right - client.right), desktop.Width());
    MoveWindow((desktop.Width() - width) / 2, 0, width, m_fixedHeight);

    SetTimer(kHotTimer, kHotPeriod);
    m_pHotChild = nullptr;
    if (m_bStartViewer) OpenViewer("");
    return TRUE;
}

int CGolovaDlg::BuildRows(int& bottom)
{
    const int menuHeight = GetSystemMetrics(SM_CYMENU);
    m_rowWidths[0] = BuildMenuRow(this, 0, menuHeight + 2 * kMarginY, m_pFontArray, m_fontHeight, m_menuBand,
                                  m_menuWindow);
    int y = menuHeight + 2;
    m_rowWidths[1] = BuildMainRow(this, y, m_rowSizes.mainHeight + 4, m_pFontArray, m_fontHeight,
                                  m_rowSizes.mainWidth, m_rowSizes.mainHeight, m_mainBand, m_mainWindow);
    y += m_rowSizes.mainHeight + 2;
    m_rowWidths[2] =
        BuildPageRow(this, y, m_rowSizes.pageHeight + 4, m_pFontArray, m_fontHeight, m_rowSizes.pageWidth,
                     m_rowSizes.pageHeight, m_pageBand, m_pages, &m_pageCount);
    y += m_rowSizes.pageHeight + 2;
    bottom = y;
    return *std::max_element(std::begin(m_rowWidths), std::end(m_rowWidths));
}

void CGolovaDlg::LayoutRows()
{
    for (CToolBarBand* band : {&m_menuBand, &m_mainBand, &m_pageBand})
        if (band->IsBuilt()) band->Layout();
}

void CGolovaDlg::OpenViewer(const CString& fileName)
{
    const ViewerSeam& seam = GetViewerSeam();
    if (!seam.open) return;
    CWnd* main = AfxGetMainWnd();
    if (m_bInitialized && GetSafeHwnd()) {
        // Below this window's frame, the viewer's own caption included, down to the bottom
        // of the work area.
        CRect outer;
        GetWindowRect(&outer);
        const CRect frame = platform::WindowManagerFrame();
        const CRect area = platform::WorkAreaFor(outer);
        const CRect rect(outer.left, outer.bottom + frame.bottom + frame.top, outer.right,
                         area.bottom - frame.bottom);
        seam.open(fileName, main, &rect);
    } else {
        seam.open(fileName, main, nullptr);
    }
}

void CGolovaDlg::SelectPage(int index)
{
    if (index < 0 || index >= m_pageCount) return;
    ShowToolBarPage(m_pageBand, m_pages, m_currentPage, index);
    m_currentPage = index;
}

void CGolovaDlg::SelectPageOf(UINT nID)
{
    // The selectors' ids are not in page order.
    for (UINT i = 1; i < m_menuPages.GetMenuItemCount(); ++i) {
        if (m_menuPages.GetMenuItemID(static_cast<int>(i)) == nID) {
            const int index = static_cast<int>(i) - 1;
            if (index != m_currentPage) SelectPage(index);
            return;
        }
    }
}

BOOL CGolovaDlg::OnTableCommand(UINT nID)
{
    const CommandRow* row = FindCommandRow(nID);
    if (!row) return FALSE;
    row->action(*this, nID);
    return TRUE;
}

void CGolovaDlg::ShowAboutBox()
{
    FindCommandRow(ID_HELP_ABOUT)->action(*this, ID_HELP_ABOUT);
}

void CGolovaDlg::OnCancel()
{
    OnClose();
}

void CGolovaDlg::OnClose()
{
    if (m_bExiting) return;
    try {
        CString question;
        question.LoadString(IDS_EXIT_QUESTION);
        if (MessageBox(question, "Orvane Tarvenix", MB_YESNO | MB_ICONQUESTION) != IDYES) return;
        // The 3D plug-in asks about its unsaved project before anything closes: Cancel there
        // keeps the program running with the project open.
        if (!Hide3DPlugin()) return;
        BeginExit();
    } catch (...) {
    }
}

void CGolovaDlg::BeginExit()
{
    m_bExiting = true;
    // Jobs are stopped first, so that none opens a viewer after the viewers were closed.
    StopRunningJobs();
    BroadcastViewerControl(kViewerClose);
    // Viewers may still be saving on their workers. The program keeps its loop running,
    // out of sight and taking no more commands, until they are done.
    KillTimer(kHotTimer);
    EnableWindow(FALSE);
    ShowWindow(SW_HIDE);
    m_idleExitChecks = 0;
    m_bClosedAgain = false;
    ContinueExit();
    if (m_bExiting && GetSafeHwnd()) SetTimer(kExitTimer, kExitPeriod);
}

void CGolovaDlg::ContinueExit()
{
    const ViewerSeam& seam = GetViewerSeam();
    const int viewers = seam.count ? seam.count() : 0;
    if (GetRunningThreadCount() > 0) {
        m_idleExitChecks = 0;
        return;
    }
    if (viewers == 0) return FinishExit();
    // No job runs, yet viewers are open: one that a finishing job opened, or one the user
    // kept open. They are asked once more; after that the program ends without them.
    if (++m_idleExitChecks < kQuietChecks) return;
    m_idleExitChecks = 0;
    if (!m_bClosedAgain) {
        m_bClosedAgain = true;
        BroadcastViewerControl(kViewerClose);
        return;
    }
    FinishExit();
}

void CGolovaDlg::FinishExit()
{
    if (!m_bExiting) return;
    m_bExiting = false;
    if (GetSafeHwnd()) KillTimer(kExitTimer);
    Unload3DPlugin();
    CWnd* owner = AfxGetMainWnd();
    DestroyWindow();
    if (owner && owner->GetSafeHwnd()) owner->DestroyWindow();
}

void CGolovaDlg::OnPaint()
{
    if (IsIconic()) {
        CPaintDC dc(this);
        SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
        CRect client;
        GetClientRect(&client);
        const int x = (client.Width() - GetSystemMetrics(SM_CXICON) + 1) / 2;
        const int y = (client.Height() - GetSystemMetrics(SM_CYICON) + 1) / 2;
        dc.DrawIcon(x, y, m_hIcon);
    } else {
        CDialog::OnPaint();
    }
    if (!m_bInitialized && SendSplashText("Main Dialog Initialized...", 0, GetSafeHwnd())) m_bInitialized = 1;
}

HCURSOR CGolovaDlg::OnQueryDragIcon()
{
    return reinterpret_cast<HCURSOR>(m_hIcon);
}

void CGolovaDlg::OnSysCommand(UINT nID, LPARAM lParam)
{
    if ((nID & 0xFFF0) == IDM_ABOUTBOX) return ShowAboutBox();
    CDialog::OnSysCommand(nID, lParam);
}

void CGolovaDlg::OnSize(UINT nType, int cx, int cy)
{
    CDialog::OnSize(nType, cx, cy);
    LayoutRows();
    if (nType == SIZE_MINIMIZED) {
        m_bMinimized = true;
        BroadcastViewerControl(kViewerMinimize);
        if (CWnd* owner = AfxGetMainWnd(); owner && owner != this) owner->ShowWindow(SW_MINIMIZE);
    } else if (nType == SIZE_RESTORED && m_bMinimized) {
        // Only a way back from the minimised state restores the viewers: a change of the
        // strip's width leaves maximised viewers as they are.
        m_bMinimized = false;
        BroadcastViewerControl(kViewerRestore);
    }
}

void CGolovaDlg::OnSizing(UINT fwSide, LPRECT pRect)
{
    CDialog::OnSizing(fwSide, pRect);
    if (m_fixedHeight > 0) pRect->bottom = pRect->top + m_fixedHeight;
}

void CGolovaDlg::OnMove(int x, int y)
{
    CDialog::OnMove(x, y);
    CWnd* owner = AfxGetMainWnd();
    if (!owner || owner == this || !owner->GetSafeHwnd()) return;
    const int h =
        2 * GetSystemMetrics(SM_CYBORDER) + GetSystemMetrics(SM_CYMENU) + GetSystemMetrics(SM_CYCAPTION);
    CRect outer;
    GetWindowRect(&outer);
    owner->MoveWindow(x, y + outer.Height() - h, 0, 0, TRUE);
}

void CGolovaDlg::OnMouseMove(UINT nFlags, CPoint point)
{
    CDialog::OnMouseMove(nFlags, point);
    DropHotChildIfLeft();
}

void CGolovaDlg::OnTimer(UINT_PTR nIDEvent)
{
    if (nIDEvent == kHotTimer) {
        KillTimer(kHotTimer);
        DropHotChildIfLeft();
        SetTimer(kHotTimer, kHotPeriod);
    } else if (nIDEvent == kExitTimer) {
        ContinueExit();
    } else {
        CDialog::OnTimer(nIDEvent);
    }
}

void CGolovaDlg::DropHotChildIfLeft()
{
    if (!m_pHotChild) return;
    if (!IsWindow(m_pHotChild->GetSafeHwnd())) {
        m_pHotChild = nullptr;
        return;
    }
    CPoint cursor;
    GetCursorPos(&cursor);
    CRect rect;
    m_pHotChild->GetWindowRect(&rect);
    if (!rect.PtInRect(cursor)) {
        m_pHotChild->SendMessage(WM_TAR_NOT_HOT);
        m_pHotChild = nullptr;
    }
}

LRESULT CGolovaDlg::OnChildHot(WPARAM wParam, LPARAM)
{
    if (m_pHotChild && IsWindow(m_pHotChild->GetSafeHwnd())) m_pHotChild->SendMessage(WM_TAR_NOT_HOT);
    m_pHotChild = CWnd::FromHandle(reinterpret_cast<HWND>(wParam));
    return 0;
}

BOOL CGolovaDlg::OnHelpInfo(HELPINFO*)
{
    CString topic;
    topic.LoadString(IDS_HELP_TOPIC);
    CallHelpSystem(this, topic);
    return TRUE;
}
