#include "viewer/analysis/profile_frame.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "outside/basecore/settings.h"
#include "platform/common_dialogs/file_dialog.h"
#include "platform/menu/menu.h"
#include "platform/resources/module_resources.h"
#include "platform/shell/shell.h"
#include "platform/window/cursor.h"
#include "platform/window/modal.h"
#include "viewer/core/viewer_resources.h"
#include "viewer/core/raster_view_services.h"
#include "viewer/core/text_art_bitmap.h"
#include "viewer/core/view_result_param.h"

namespace {

constexpr UINT kPaneId = 0xE900;
constexpr UINT kToolBarId = 0xE800;
constexpr UINT kStatusBarId = 0xE801;
constexpr UINT kReBarId = 0xE804;
constexpr UINT kIconId = 251;
// Zooming in stops while the visible width is still above this share of the full width.
constexpr double kSmallestShare = 1.0 / 1048576.0;

constexpr UINT kProfileButtons[] = {ID_PROFILE_FIT,       0, ID_PROFILE_HZOOM_IN,
                                    ID_PROFILE_HZOOM_OUT, 0, ID_PROFILE_VZOOM_IN,
                                    ID_PROFILE_VZOOM_OUT};
constexpr platform::ToolBarResource kProfileToolBars[] = {
    {IDR_PROFILE_TOOLBAR, 16, 15, kProfileButtons, IDR_PROFILE_TOOLBAR}};

constexpr const char* kProfileImages[5][15] = {
    {"                ", " ############## ", " #ww#wwwwww#ww# ", " ###wwwwwwww### ", " #wwwwwwwwwwww# ",
     " #wwwwrwwwwwww# ", " #wwwrwrwwwwww# ", " #wwrwwwrwwrww# ", " #wrwwwwwrrwrw# ", " #wwwwwwwwwwww# ",
     " ###wwwwwwww### ", " #ww#wwwwww#ww# ", " ############## ", "                ", "                "},
    {"                ", "                ", "                ", "    #      #    ", "   ##      ##   ",
     "  ###  ##  ###  ", " ####  ##  #### ", "  ###  ##  ###  ", "   ##      ##   ", "    #      #    ",
     "                ", "                ", "                ", "                ", "                "},
    {"                ", "                ", "                ", "  #          #  ", "  ##        ##  ",
     "  ###  ##  ###  ", "  #### ## ####  ", "  ###  ##  ###  ", "  ##        ##  ", "  #          #  ",
     "                ", "                ", "                ", "                ", "                "},
    {"       #        ", "      ###       ", "     #####      ", "    #######     ", "                ",
     "                ", "    #######     ", "    #######     ", "                ", "                ",
     "    #######     ", "     #####      ", "      ###       ", "       #        ", "                "},
    {"    #######     ", "     #####      ", "      ###       ", "       #        ", "                ",
     "                ", "    #######     ", "    #######     ", "                ", "                ",
     "       #        ", "      ###       ", "     #####      ", "    #######     ", "                "},
};
constexpr auto kProfileStrip = viewer_art::MakeStripBmp<5, 16, 15>(kProfileImages);
constexpr platform::ImageResource kProfileBitmaps[] = {
    {IDR_PROFILE_TOOLBAR, nullptr, nullptr, nullptr, kProfileStrip}};

// The window's icon: a curve over an axis.
constexpr const char* kProfileIconArt[16] = {
    "                ", " #              ", " #        mm    ", " #       m  m   ",
    " #  mm   m   m  ", " # m  m m     m ", " #m    m       m", " #              ",
    " #              ", " #              ", " #              ", " #              ",
    " #              ", " ###############", "                ", "                ",
};
constexpr auto kProfileIconBmp = viewer_art::MakeBmp<16, 16>(kProfileIconArt);
constexpr platform::ImageResource kProfileIcons[] = {{kIconId, nullptr, nullptr, nullptr, kProfileIconBmp}};

// The window's own texts.
constexpr UINT IDS_PROFILE_SAVE_FILTER = 34232;
constexpr UINT IDS_PROFILE_VIEW_SAVED = 34264;
constexpr UINT IDS_PROFILE_SAVE_CAPTION = 34265;
constexpr UINT IDS_PROFILE_SAVE_FAILED = 34266;

constexpr platform::StringEntry kProfileStrings[] = {
    {IDS_PROFILE_SAVE_FILTER,
     "Tarvenix file (*.rdp)|*.rdp|Text file (*.txt)|*.txt|Windows Bitmap file (*.bmp)|*.bmp||"},
    {IDS_PROFILE_VIEW_SAVED, "File has been wrote successfull.\nDo you want to view it?"},
    {IDS_PROFILE_SAVE_CAPTION, "Save profile"},
    {IDS_PROFILE_SAVE_FAILED, "Failure to save file"},
    {ID_PROFILE_COPY, "Copy to clipboard\nCopy"},
    {ID_PROFILE_SAVE, "Save profile as file\nSave"},
    {ID_PROFILE_SCHEME_DARK, "Dark\nDark"},
    {ID_PROFILE_SCHEME_WHITE, "White\nWhite"},
    {ID_PROFILE_FIT, "\nFit to window"},
    {ID_PROFILE_HZOOM_IN, "Horizontal ZoomIn\nHorizontal ZoomIn"},
    {ID_PROFILE_HZOOM_OUT, "Horizontal ZoomOut\nHorizontal ZoomOut"},
    {ID_PROFILE_VZOOM_IN, "Vertical ZoomIn\nVertical ZoomIn"},
    {ID_PROFILE_VZOOM_OUT, "Vertical ZoomOut\nVertical ZoomOut"},
};

constexpr platform::ModuleResources kProfileResources{.module = "PaneKit profile",
                                                      .strings = kProfileStrings,
                                                      .toolBars = kProfileToolBars,
                                                      .bitmaps = kProfileBitmaps,
                                                      .icons = kProfileIcons};
const platform::ModuleResourceRegistration kProfileRegistration(kProfileResources);

constexpr const char* kExtensions[] = {".rdp", ".txt", ".bmp"};

CString ProfileText(UINT id)
{
    CString text;
    text.LoadString(id);
    return text;
}

// Installs the profile window behind the raster view's seam when the library is loaded.
struct ProfileSeam {
    ProfileSeam() { GetRasterViewServices().showProfile = &ShowProfileWindow; }
} const kProfileSeam;

}  // namespace

// clang-format off
BEGIN_MESSAGE_MAP(CProfileFrame, CFrameWnd)
    ON_WM_CREATE()
    ON_WM_SIZE()
    ON_WM_SIZING()
    ON_WM_CONTEXTMENU()
    ON_COMMAND(ID_PROFILE_FIT, OnFit)
    ON_COMMAND(ID_PROFILE_HZOOM_IN, OnHZoomIn)
    ON_COMMAND(ID_PROFILE_HZOOM_OUT, OnHZoomOut)
    ON_COMMAND(ID_PROFILE_VZOOM_IN, OnVZoomIn)
    ON_COMMAND(ID_PROFILE_VZOOM_OUT, OnVZoomOut)
    ON_COMMAND(ID_PROFILE_COPY, OnCopy)
    ON_COMMAND(ID_PROFILE_SAVE, OnSave)
    ON_COMMAND(ID_PROFILE_SCHEME_DARK, OnDark)
    ON_COMMAND(ID_PROFILE_SCHEME_WHITE, OnWhite)
END_MESSAGE_MAP()
// clang-format on

CProfileFrame::CProfileFrame() = default;

int CProfileFrame::Create(CWnd* parent, CString caption)
{
    LPCTSTR cls = AfxRegisterWndClass(0, nullptr, nullptr,
                                      ::LoadIcon(kProfileRegistration.Instance(), MAKEINTRESOURCE(kIconId)));
    if (!CFrameWnd::Create(cls, caption, WS_OVERLAPPEDWINDOW, rectDefault, parent)) return 0;
    m_bCreated = true;
    m_pParent = parent;
    m_wndView.InitDrawing();
    ShowWindow(SW_SHOW);
    const DWORD scheme = GetDWORDValue(kProfileSettingsKey, "LastScheme", 0);
    if (scheme == 1 || scheme == 2) m_wndView.SetScheme(int(scheme));
    return 1;
}

BOOL CProfileFrame::PreCreateWindow(CREATESTRUCT& cs)
{
    if (!CFrameWnd::PreCreateWindow(cs)) return FALSE;
    cs.style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | FWS_ADDTOTITLE;
    cs.dwExStyle &= ~WS_EX_CLIENTEDGE;
    return TRUE;
}

void CProfileFrame::PostNcDestroy()
{
    if (m_bCreated) delete this;
}

int CProfileFrame::OnCreate(LPCREATESTRUCT cs)
{
    if (CFrameWnd::OnCreate(cs) == -1) return -1;
    if (!m_wndView.Create(this, kPaneId, WS_CHILD | WS_VISIBLE | WS_BORDER)) return -1;
    if (!m_wndToolBar.CreateEx(this, TBSTYLE_FLAT, WS_CHILD | WS_VISIBLE | CBRS_ALIGN_TOP, CRect(0, 0, 0, 0),
                               kToolBarId) ||
        !m_wndToolBar.LoadToolBar(IDR_PROFILE_TOOLBAR))
        return -1;
    if (!m_wndReBar.Create(this, RBS_BANDBORDERS,
                           WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | CBRS_ALIGN_TOP,
                           kReBarId) ||
        !m_wndReBar.AddBar(&m_wndToolBar, nullptr, nullptr, RBBS_GRIPPERALWAYS | RBBS_FIXEDBMP))
        return -1;
    static const UINT kPanes[] = {ID_SEPARATOR};
    if (!m_wndStatusBar.Create(this, WS_CHILD | WS_VISIBLE | CBRS_BOTTOM, kStatusBarId) ||
        !m_wndStatusBar.SetIndicators(kPanes, 1))
        return -1;
    m_wndToolBar.SetBarStyle(m_wndToolBar.GetBarStyle() | CBRS_TOOLTIPS | CBRS_FLYBY);
    return 0;
}

void CProfileFrame::OnSize(UINT type, int cx, int cy)
{
    CFrameWnd::OnSize(type, cx, cy);
    if (type != SIZE_MINIMIZED && m_wndView.GetSafeHwnd()) m_wndView.RebuildBuffer();
}

void CProfileFrame::OnSizing(UINT edge, LPRECT rect)
{
    CFrameWnd::OnSizing(edge, rect);
    if (rect->bottom - rect->top < m_nMinHeight) rect->bottom = rect->top + m_nMinHeight;
    if (rect->right - rect->left < m_nMinWidth) rect->right = rect->left + m_nMinWidth;
}

void CProfileFrame::OnContextMenu(CWnd*, CPoint point)
{
    HMENU menu = platform::LoadMenuFromResource(IDR_VIEWER_CONTEXT_MENUS);
    if (!menu) return;
    if (HMENU popup = ::GetSubMenu(menu, kContextProfile))
        ::TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_RIGHTBUTTON, point.x, point.y, 0, GetSafeHwnd(), nullptr);
    ::DestroyMenu(menu);
}

void CProfileFrame::Zoom(bool horizontal, double factor)
{
    double xMin, xMax, yMin, yMax;
    m_wndView.GetRange(xMin, xMax, yMin, yMax);
    const ProfileRange& full = m_wndView.FullRange();
    double& lo = horizontal ? xMin : yMin;
    double& hi = horizontal ? xMax : yMax;
    const double span = (hi - lo) * factor;
    const double fullSpan = horizontal ? full.xMax - full.xMin : full.yMax - full.yMin;
    // Past this the values per pixel fall below what doubles tell apart.
    if (factor < 1.0 && span < fullSpan * kSmallestShare) return;
    hi = lo + span;
    m_wndView.SetRange(xMin, xMax, yMin, yMax);
}

void CProfileFrame::OnFit()
{
    m_wndView.FitToWindow();
}
void CProfileFrame::OnHZoomIn()
{
    Zoom(true, 0.5);
}
void CProfileFrame::OnHZoomOut()
{
    Zoom(true, 2.0);
}
void CProfileFrame::OnVZoomIn()
{
    Zoom(false, 0.5);
}
void CProfileFrame::OnVZoomOut()
{
    Zoom(false, 2.0);
}
void CProfileFrame::OnCopy()
{
    m_wndView.CopyToClipboard();
}

void CProfileFrame::OnDark()
{
    m_wndView.SetScheme(2);
    SetDWORDValue(kProfileSettingsKey, "LastScheme", 2);
}

void CProfileFrame::OnWhite()
{
    m_wndView.SetScheme(1);
    SetDWORDValue(kProfileSettingsKey, "LastScheme", 1);
}

void CProfileFrame::OnSave()
{
    const CString last = GetStringValue(kProfileSettingsKey, "LastSaveAs");
    const int lastIndex = std::atoi(last);
    CFileDialog dialog(FALSE, nullptr, nullptr, 0xC006, ProfileText(IDS_PROFILE_SAVE_FILTER), this);
    dialog.m_ofn.nFilterIndex = DWORD(std::max(0, lastIndex));
    if (dialog.DoModal() != IDOK) return;
    const int type = int(dialog.m_ofn.nFilterIndex);
    if (type < 1 || type > 3) return;
    CString index;
    index.Format("%d", type);
    SetStringValue(kProfileSettingsKey, "LastSaveAs", index);
    char path[MAX_PATH] = {};
    const CString chosen = dialog.GetPathName();
    if (chosen.GetLength() >= MAX_PATH) return;
    std::strcpy(path, chosen);
    PathAddExtension(path, kExtensions[type - 1]);
    if (m_wndView.SaveToFile(path, type)) {
        if (MessageBox(ProfileText(IDS_PROFILE_VIEW_SAVED), ProfileText(IDS_PROFILE_SAVE_CAPTION),
                       MB_YESNO | MB_ICONQUESTION) != IDYES)
            return;
        ViewSavedFile(GetSafeHwnd(), path);
    } else {
        MessageBox(ProfileText(IDS_PROFILE_SAVE_FAILED), ProfileText(IDS_PROFILE_SAVE_CAPTION),
                   MB_OK | MB_ICONERROR);
    }
}

BOOL CProfileFrame::SetProfile(const double* values, int count, COLORREF colour)
{
    return m_wndView.SetProfile(values, count, colour) >= 0 ? TRUE : FALSE;
}

BOOL CProfileFrame::SetProfileXY(const double* values, const double* positions, int count)
{
    return m_wndView.AddCurve(values, positions, count, RGB(0xFF, 0x80, 0xFF)) >= 0 ? TRUE : FALSE;
}

BOOL CProfileFrame::SetLogicalProfile(const double* values, int count, const CPointT<double>* points,
                                      COLORREF colour)
{
    return m_wndView.SetLogicalProfile(values, count, points, colour) >= 0 ? TRUE : FALSE;
}

BOOL ShowProfileWindow(const RasterProfileRequest& request)
{
    auto* frame = new (std::nothrow) CProfileFrame;
    if (!frame) return FALSE;
    if (!frame->Create(request.parent, request.caption)) {
        if (!frame->GetSafeHwnd()) delete frame;
        return FALSE;
    }
    BOOL shown = TRUE;
    const int n = int(request.values.size());
    if (n > 0) {
        shown =
            !request.points.empty() && request.points.size() == request.values.size()
                ? frame->SetLogicalProfile(request.values.data(), n, request.points.data(), request.colour)
                : frame->SetProfile(request.values.data(), n, request.colour);
    }
    for (const RasterProfileRequest::Curve& curve : request.more)
        if (!frame->SetProfile(curve.values.data(), int(curve.values.size()), curve.colour))
            ::MessageBox(nullptr, curve.failText, "ShowProfile", MB_OK);
    return shown;
}
