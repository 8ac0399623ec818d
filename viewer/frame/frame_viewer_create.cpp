#include <algorithm>
#include <vector>

#include "outside/basecore/mru_list.h"
#include "platform/resources/resources.h"
#include "platform/window/cursor.h"
#include "viewer/analysis/color_correction_dlg.h"
#include "viewer/analysis/coord_pointer_dlg.h"
#include "viewer/analysis/data_info_dlg.h"
#include "viewer/analysis/hist_frame.h"
#include "viewer/analysis/logical_coords_dlg.h"
#include "viewer/analysis/scale_mark_wnd.h"
#include "viewer/analysis/value_grid_pane.h"
#include "viewer/frame/frame_viewer.h"
#include "viewer/core/viewer_resources.h"

namespace {

/// The registry key of the viewer's recent files, below the product key.
constexpr const char* kRecentFilesKey = "\\Settings\\Viewer\\MRUOpenFiles";
/// At most this many recent files are offered in the File menu.
constexpr int kShownRecentFiles = 9;

/// The menu items and tool-bar buttons that the menu flag bits stand for.
struct FlagItem {
    UINT bit;
    UINT id;
};
constexpr FlagItem kFlagItems[] = {
    {kMenuCenter, ID_VIEWER_CENTER_MENU},
    {kMenuIncrease, ID_VIEWER_INCREASE},
    {kMenuDecrease, ID_VIEWER_DECREASE},
    {kMenuFit, ID_VIEWER_FIT_WINDOW},
    {kMenuRealSize, ID_VIEWER_REAL_SIZE},
    {kMenuHistogram, ID_VIEWER_HISTOGRAM},
    {kMenuProfileX, ID_VIEWER_PROFILE_X_MENU},
    {kMenuProfileY, ID_VIEWER_PROFILE_Y_MENU},
    {kMenuBrightContrast, ID_VIEWER_BRIGHT_CONTRAST},
    {kMenuFlag4096, ID_VIEWER_FLAG_4096},
    {kMenuFlag8192, ID_VIEWER_FLAG_8192},
    {kMenuDataInfo, ID_VIEWER_DATA_INFO},
    {kMenuPalette, ID_VIEWER_PALETTE},
    {kMenuSaveAs, ID_VIEWER_SAVE_AS},
    {kMenuLogicalCoords, ID_VIEWER_LOGICAL_COORDS},
    {kMenuColorScale, ID_VIEWER_SCALE},
    {kMenuHistTrimming, ID_VIEWER_HIST_TRIMMING},
    {kMenuComplex, ID_VIEWER_COMPLEX_REAL},
    {kMenuComplex, ID_VIEWER_COMPLEX_IMAGINARY},
    {kMenuComplex, ID_VIEWER_COMPLEX_MODULE},
    {kMenuComplex, ID_VIEWER_COMPLEX_ARGUMENT},
};

/// Buttons the text tool bar hides: the picture's zoom, selection and measure tools.
constexpr UINT kTextHiddenButtons[] = {ID_VIEWER_ZOOM_IN,
                                       ID_VIEWER_ZOOM_OUT,
                                       ID_VIEWER_FIT_BUTTON,
                                       ID_VIEWER_REAL_SCALE,
                                       34048,
                                       ID_VIEWER_MOVE_SELECTION,
                                       ID_VIEWER_RECT_SELECTION,
                                       ID_VIEWER_FREEHAND_SELECTION,
                                       ID_VIEWER_POLYGON_SELECTION,
                                       ID_VIEWER_MEASURE,
                                       ID_VIEWER_BRIGHTNESS_BUTTON};
/// Buttons the RGB tool bar hides: an RGB composite has no file of its own and no palette.
constexpr UINT kRgbHiddenButtons[] = {ID_VIEWER_SAVE, ID_VIEWER_SHOW_PALETTE};

constexpr UINT kStatusPanes[] = {ID_SEPARATOR, ID_SEPARATOR, ID_SEPARATOR, ID_SEPARATOR};

/// The popup of `menu` at `position`; null when there is none.
CMenu* Popup(CMenu* menu, int position)
{
    return menu ? menu->GetSubMenu(position) : nullptr;
}

}  // namespace

CFrameViewer::CFrameViewer()
{
    ++s_nLive;
}

CFrameViewer::~CFrameViewer()
{
    --s_nLive;
    if (m_pDeletedFlag) *m_pDeletedFlag = true;
    m_ViewRect.CloseAll();
    // The menu bar must not show a menu that is gone.
    if (m_hWnd) SetMenu(nullptr);
    for (CMenu** menu : {&m_pTextMenu, &m_pImageMenu, &m_pRGBMenu}) {
        if (*menu) (*menu)->DestroyMenu();
        delete *menu;
        *menu = nullptr;
    }
    delete m_pReloadParam;
    m_pReloadParam = nullptr;
    m_pValueGrid = nullptr;  // it frees itself with its window
    m_MeterInfo.Release();
}

int CFrameViewer::Create(const char* fileName, CWnd* parent, int notifyId, int component, double stretchLow,
                         double stretchHigh, int stretchMethod, const RECT* frameRect)
{
    m_nControlMessage = ::RegisterWindowMessage(kViewerControlMessageName);
    m_pParent = parent;
    m_nNotifyId = notifyId;
    m_nFlags |= kFrameCreated;

    CString title;
    if (!title.LoadString(IDS_VIEWER_NO_FILE)) title = "Viewer: no file";

    // A failed creation may already have deleted this object (its window went through its
    // destruction); the flag tells which, so nothing of a deleted frame is touched.
    bool deleted = false;
    m_pDeletedFlag = &deleted;
    const BOOL made = CFrameWnd::Create(nullptr, title, WS_VISIBLE | WS_OVERLAPPEDWINDOW,
                                        frameRect ? *frameRect : rectDefault, nullptr,
                                        MAKEINTRESOURCE(IDR_VIEWER_MENU), 0, nullptr);
    if (deleted) return 0;
    m_pDeletedFlag = nullptr;
    if (!made || !m_hWnd) {
        if (m_hWnd)
            CFrameWnd::DestroyWindow();  // deletes the frame
        else
            delete this;
        return 0;
    }

    UpdateMRUList();
    // The window is shown now; the progress bar stays hidden until a job runs.
    ShowProgressBar(0);
    ModifyStyleEx(WS_EX_APPWINDOW | WS_EX_CLIENTEDGE, 0, SWP_FRAMECHANGED);
    m_bAutoMenuEnable = FALSE;
    m_wndToolBar.Invalidate();

    if (fileName && *fileName) LoadNewFile(fileName, component, stretchLow, stretchHigh, stretchMethod);
    m_nPendingSaves = 0;
    return 1;
}

BOOL CFrameViewer::PreCreateWindow(CREATESTRUCT& cs)
{
    if (!CFrameWnd::PreCreateWindow(cs)) return FALSE;
    cs.style = WS_VISIBLE | WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE;
    cs.dwExStyle &= ~WS_EX_CLIENTEDGE;
    cs.lpszClass = AfxRegisterWndClass(CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW, ::LoadCursor(nullptr, IDC_ARROW),
                                       reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(15)),
                                       ::LoadIcon(ViewerInstance(), MAKEINTRESOURCE(IDI_VIEWER)));
    return TRUE;
}

int CFrameViewer::OnCreate(LPCREATESTRUCT lpCreateStruct)
{
    if (CFrameWnd::OnCreate(lpCreateStruct) == -1) return -1;

    // Every query of the frame goes to the view window, so a frame without one is useless.
    if (!m_ViewRect.Create(this)) return -1;

    m_pValueGrid = new CValueGridPane;
    if (!m_pValueGrid->Create(WS_CHILD | WS_VISIBLE | WS_BORDER, CRect(0, 0, 0, 0), this,
                              IDC_VALUE_GRID_PANE)) {
        delete m_pValueGrid;
        m_pValueGrid = nullptr;
        return -1;
    }

    // Bars that cannot be made are left out; the frame still opens.
    const bool haveToolBar =
        m_wndToolBar.CreateEx(this, TBSTYLE_FLAT, WS_CHILD | WS_VISIBLE | CBRS_ALIGN_TOP) &&
        m_wndToolBar.LoadToolBar(IDR_VIEWER_TOOLBAR);
    if (m_wndReBar.Create(this, RBS_BANDBORDERS,
                          WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | CBRS_ALIGN_TOP) &&
        haveToolBar)
        m_wndReBar.AddBar(&m_wndToolBar, nullptr, nullptr, RBBS_GRIPPERALWAYS | RBBS_FIXEDBMP);

    if (m_wndStatusBar.Create(this)) m_wndStatusBar.SetIndicators(kStatusPanes, 4);
    if (haveToolBar) m_wndToolBar.SetBarStyle(m_wndToolBar.GetBarStyle() | CBRS_TOOLTIPS | CBRS_FLYBY);
    if (m_wndStatusBar.GetSafeHwnd())
        m_wndProgress.Create(WS_CHILD, CRect(200, 3, 400, 15), &m_wndStatusBar, 0);

    // The tool windows; one that cannot be made is left out and its toggle stays greyed.
    auto* correction = new CColorCorrectionDlg;
    if (correction->Create(this))
        m_pColorCorrectionDlg = correction;
    else
        delete correction;
    auto* pointer = new CCoordPointerDlg;
    if (pointer->Create(this, this))
        m_pCoordPointerDlg = pointer;
    else
        delete pointer;
    auto* logical = new CLogicalCoordsDlg(nullptr);
    if (logical->Create(this))
        m_pLogicalCoordsDlg = logical;
    else
        delete logical;
    auto* info = new CDataInfoDlg;
    if (info->Create(this))
        m_pDataInfoDlg = info;
    else
        delete info;
    auto* histogram = new CHistFrame(0);
    if (histogram->Create(this, 0)) {
        m_pHistFrame = histogram;
        m_pHistFrame->ShowWindow(SW_HIDE);
    } else {
        delete histogram;
    }

    m_pTextMenu = LoadTextMenu();
    m_pImageMenu = LoadImageMenu();
    m_pRGBMenu = LoadRGBMenu();
    SetNewMenu(m_pImageMenu);

    EnableMenuItems(0, static_cast<int>(kMenuAll));
    EnableMenuItems(1, static_cast<int>(kMenuNewOpen | kMenuOpenRgb));

    m_MeterInfo.Attach(this, &m_wndProgress);
    m_pValueGrid->SetMeter(&m_MeterInfo);

    auto* scale = new CScaleMarkWnd;
    if (scale->Create(this)) {
        m_pScaleWnd = scale;
        m_pScaleWnd->SetAnchor(&m_ViewRect, 9, 0);
        m_pScaleWnd->ShowWindow(SW_HIDE);
    } else {
        delete scale;
    }

    OnButtonArrowCursor();
    return 0;
}

// --- menus ------------------------------------------------------------------------------------------

CMenu* CFrameViewer::LoadImageMenu()
{
    auto* menu = new CMenu;
    if (!menu->LoadMenu(IDR_VIEWER_MENU)) {
        delete menu;
        return nullptr;
    }
    if (CMenu* view = Popup(menu, 2)) {
        view->DeleteMenu(ID_VIEWER_COLORING, MF_BYCOMMAND);
        view->DeleteMenu(ID_VIEWER_COMPLEX_FULL, MF_BYCOMMAND);
    }
    return menu;
}

CMenu* CFrameViewer::LoadTextMenu()
{
    auto* menu = new CMenu;
    if (!menu->LoadMenu(IDR_VIEWER_MENU)) {
        delete menu;
        return nullptr;
    }
    menu->DeleteMenu(ID_VIEWER_COPY_WITH_GRID, MF_BYCOMMAND);
    menu->DeleteMenu(3, MF_BYPOSITION);  // "&Zoom"
    if (CMenu* view = Popup(menu, 2)) view->InsertMenu(ID_VIEWER_COLORING, MF_BYCOMMAND | MF_SEPARATOR);
    return menu;
}

CMenu* CFrameViewer::LoadRGBMenu()
{
    auto* menu = new CMenu;
    if (!menu->LoadMenu(IDR_VIEWER_MENU)) {
        delete menu;
        return nullptr;
    }
    if (CMenu* file = Popup(menu, 0)) {
        file->DeleteMenu(ID_VIEWER_SAVE, MF_BYCOMMAND);
        file->DeleteMenu(ID_VIEWER_SAVE_AS, MF_BYCOMMAND);
    }
    if (CMenu* edit = Popup(menu, 1)) edit->DeleteMenu(ID_VIEWER_PASTE, MF_BYCOMMAND);
    if (CMenu* view = Popup(menu, 2)) {
        view->DeleteMenu(2, MF_BYPOSITION);  // "Comple&x"
        for (UINT id : {ID_VIEWER_SHOW_IMAGE, ID_VIEWER_SHOW_TABLE, ID_VIEWER_COLORING, ID_VIEWER_SCALE})
            view->DeleteMenu(id, MF_BYCOMMAND);
    }
    if (CMenu* image = Popup(menu, 4)) {
        image->DeleteMenu(ID_VIEWER_PALETTE, MF_BYCOMMAND);
        image->DeleteMenu(ID_VIEWER_FLAG_8192, MF_BYCOMMAND);
    }
    return menu;
}

void CFrameViewer::SetNewMenu(CMenu* menu)
{
    if (!menu) return;
    SetMenu(menu);
    UpdateMRUList();
    // The new menu bar shows the current enabling at once, not only when a popup opens.
    EnableMenuItems(0, static_cast<int>(~m_nMenuFlags));
    EnableMenuItems(1, static_cast<int>(m_nMenuFlags));
}

// --- tool bars ----------------------------------------------------------------------------------------

void CFrameViewer::SetPaletteIamgeToolBar()
{
    if (!m_wndToolBar.GetSafeHwnd()) return;
    m_wndToolBar.LoadToolBar(IDR_VIEWER_TOOLBAR);
    if (m_nToolButton) m_wndToolBar.GetToolBarCtrl().CheckButton(static_cast<int>(m_nToolButton));
    RecalcLayout();
}

void CFrameViewer::SetRGBToolBar()
{
    if (!m_wndToolBar.GetSafeHwnd()) return;
    m_wndToolBar.LoadToolBar(IDR_VIEWER_TOOLBAR);
    for (UINT id : kRgbHiddenButtons) m_wndToolBar.GetToolBarCtrl().HideButton(static_cast<int>(id));
    if (m_nToolButton) m_wndToolBar.GetToolBarCtrl().CheckButton(static_cast<int>(m_nToolButton));
    RecalcLayout();
}

void CFrameViewer::SetTextToolBar()
{
    if (!m_wndToolBar.GetSafeHwnd()) return;
    m_wndToolBar.LoadToolBar(IDR_VIEWER_TOOLBAR);
    for (UINT id : kTextHiddenButtons) m_wndToolBar.GetToolBarCtrl().HideButton(static_cast<int>(id));
    if (m_nToolButton) m_wndToolBar.GetToolBarCtrl().CheckButton(static_cast<int>(m_nToolButton));
    RecalcLayout();
}

// --- enabling ----------------------------------------------------------------------------------------------

void CFrameViewer::EnableMenuItems(int enable, int mask)
{
    const UINT bits = static_cast<UINT>(mask);
    if (enable)
        m_nMenuFlags |= bits;
    else
        m_nMenuFlags &= ~bits;
    if (!m_hWnd) return;
    if (CMenu* menu = GetMenu()) {
        for (const FlagItem& item : kFlagItems)
            if (bits & item.bit)
                menu->EnableMenuItem(item.id, MF_BYCOMMAND | (enable ? MF_ENABLED : MF_GRAYED));
        DrawMenuBar();
    }
    if ((bits & kMenuPointer) && m_wndToolBar.GetSafeHwnd())
        m_wndToolBar.GetToolBarCtrl().EnableButton(static_cast<int>(ID_VIEWER_POINTER),
                                                   enable ? TRUE : FALSE);
}

void CFrameViewer::UpdateEnablingForShown()
{
    if (!m_ViewRect.GetActiveView()) {
        EnableMenuItems(0, static_cast<int>(kMenuAll));
        EnableMenuItems(1, static_cast<int>(kMenuNewOpen | kMenuOpenRgb));
        return;
    }
    EnableMenuItems(1, static_cast<int>(kMenuAll & ~kMenuComplex));
    EnableMenuItems(m_ViewRect.IsComplex(1) ? 1 : 0, static_cast<int>(kMenuComplex));
}

// --- recent files
// --------------------------------------------------------------------------------------------

void CFrameViewer::UpdateMRUList()
{
    CMRUList list;
    list.SetRegKey(kRecentFilesKey);
    list.BuildRecentList();
    std::vector<CString> items;
    list.GetListItems(items);

    for (CString& path : m_RecentFiles) path.Empty();
    CMenu* file = m_hWnd ? Popup(GetMenu(), 0) : nullptr;
    if (!file) return;

    for (UINT id = ID_VIEWER_MRU_FIRST; id <= ID_VIEWER_MRU_LAST; ++id) file->DeleteMenu(id, MF_BYCOMMAND);
    // The block's separator is the File menu's last item once its entries are gone. Looking
    // there rather than at the recorded position keeps the menu's own items: the three menu
    // bars have File menus of different lengths, so a position taken in one is wrong in another.
    const int count = static_cast<int>(file->GetMenuItemCount());
    if (count > 0 && file->GetMenuItemID(count - 1) == 0)
        file->DeleteMenu(static_cast<UINT>(count - 1), MF_BYPOSITION);

    if (items.empty()) {
        m_nRecentSeparator = -1;
    } else {
        m_nRecentSeparator = static_cast<int>(file->GetMenuItemCount());
        file->AppendMenu(MF_SEPARATOR);
        const int shown = std::min(static_cast<int>(items.size()), kShownRecentFiles);
        for (int i = 0; i < shown; ++i) {
            CString text;
            text.Format("&%d ", i + 1);
            text += items[static_cast<std::size_t>(i)];
            file->AppendMenu(MF_STRING, ID_VIEWER_MRU_FIRST + static_cast<UINT>(i), text);
            m_RecentFiles[i] = items[static_cast<std::size_t>(i)];
        }
    }
    DrawMenuBar();
}

void CFrameViewer::AddRecentFileList(CString path)
{
    CMRUList list;
    list.SetRegKey(kRecentFilesKey);
    list.AddToHead(path);
    UpdateMRUList();
}

CString CFrameViewer::GetRecentFile(int index) const
{
    if (index < 0 || index >= static_cast<int>(std::size(m_RecentFiles))) return CString();
    return m_RecentFiles[index];
}

// --- status bar and layout
// ------------------------------------------------------------------------------------

void CFrameViewer::ShowProgressBar(int show)
{
    if (show)
        m_nFlags |= kFrameProgressShown;
    else
        m_nFlags &= ~kFrameProgressShown;
    LayoutStatusPanes();
    if (m_wndProgress.GetSafeHwnd()) m_wndProgress.ShowWindow(show ? SW_SHOW : SW_HIDE);
}

void CFrameViewer::LayoutStatusPanes()
{
    if (!m_wndStatusBar.GetSafeHwnd()) return;
    CRect client;
    m_wndStatusBar.GetClientRect(&client);
    const int width = client.Width();
    CStatusBarCtrl& ctrl = m_wndStatusBar.GetStatusBarCtrl();
    if (m_nFlags & kFrameProgressShown) {
        const int edges[3] = {width / 3, 2 * width / 3, width};
        ctrl.SetParts(3, edges);
        if (m_wndProgress.GetSafeHwnd())
            m_wndProgress.MoveWindow(width / 3 + 2, 3, width / 3 - 3, client.Height() - 4);
    } else {
        const int edges[4] = {50, 150, 240, width};
        ctrl.SetParts(4, edges);
    }
    m_wndStatusBar.Invalidate();
}

void CFrameViewer::SetStatusPaneTexts(const CString& a, const CString& b, const CString& c, const CString& d)
{
    if (!m_wndStatusBar.GetSafeHwnd()) return;
    const CString* texts[4] = {&a, &b, &c, &d};
    for (int i = 0; i < 4; ++i) m_wndStatusBar.SetPaneText(i, *texts[i]);
}

void CFrameViewer::OnSize(UINT nType, int cx, int cy)
{
    CFrameWnd::OnSize(nType, cx, cy);
    LayoutStatusPanes();
    RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    if (m_pScaleWnd) m_pScaleWnd->Reposition();
}

void CFrameViewer::OnMove(int /*x*/, int /*y*/)
{
    if (m_pScaleWnd) m_pScaleWnd->Reposition();
    Default();
}

BOOL CFrameViewer::OnEraseBkgnd(CDC* /*pDC*/)
{
    return TRUE;  // the children cover the client area
}

void CFrameViewer::PostNcDestroy()
{
    CFrameWnd::PostNcDestroy();  // deletes the frame
}
