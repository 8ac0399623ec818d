#pragma once

// The profile window: a tool bar of fit and zoom buttons, the profile graph as its pane, a
// status bar for prompts and a context menu for the colour scheme, copying and saving. It
// remembers the last scheme and save format and deletes itself when closed.

#include "outside/basecore/rect_t.h"
#include "platform/cstring.h"
#include "platform/frame/frame_wnd.h"
#include "platform/frame/re_bar.h"
#include "platform/frame/status_bar.h"
#include "platform/frame/tool_bar.h"
#include "viewer/analysis/profile_view.h"

inline constexpr UINT IDR_PROFILE_TOOLBAR = 241;
inline constexpr UINT ID_PROFILE_COPY = 34002;
inline constexpr UINT ID_PROFILE_SAVE = 34003;
inline constexpr UINT ID_PROFILE_SCHEME_DARK = 34005;
inline constexpr UINT ID_PROFILE_SCHEME_WHITE = 34007;
inline constexpr UINT ID_PROFILE_FIT = 34148;
inline constexpr UINT ID_PROFILE_HZOOM_IN = 34150;
inline constexpr UINT ID_PROFILE_HZOOM_OUT = 34151;
inline constexpr UINT ID_PROFILE_VZOOM_IN = 34157;
inline constexpr UINT ID_PROFILE_VZOOM_OUT = 34159;

/// Where the window keeps "LastScheme" and "LastSaveAs".
inline constexpr const char* kProfileSettingsKey = "\\Settings\\Viewer\\Profile";

class CProfileFrame : public CFrameWnd {
public:
    CProfileFrame();
    /// Creates and shows the window owned by `parent`; 0 when it could not be made (the
    /// object is then the caller's to delete).
    int Create(CWnd* parent, CString caption);
    BOOL SetProfile(const double* values, int count, COLORREF colour);
    BOOL SetProfileXY(const double* values, const double* positions, int count);
    BOOL SetLogicalProfile(const double* values, int count, const CPointT<double>* points, COLORREF colour);

    CProfileView& View() { return m_wndView; }
    CToolBar& ToolBar() { return m_wndToolBar; }

    CWnd* m_pParent = nullptr;
    int m_nMinHeight = 200;
    int m_nMinWidth = 250;

protected:
    BOOL PreCreateWindow(CREATESTRUCT& cs) override;
    void PostNcDestroy() override;
    int OnCreate(LPCREATESTRUCT cs);
    void OnSize(UINT type, int cx, int cy);
    void OnSizing(UINT edge, LPRECT rect);
    void OnContextMenu(CWnd* wnd, CPoint point);
    void OnFit();
    void OnHZoomIn();
    void OnHZoomOut();
    void OnVZoomIn();
    void OnVZoomOut();
    void OnCopy();
    void OnSave();
    void OnDark();
    void OnWhite();
    DECLARE_MESSAGE_MAP()

private:
    void Zoom(bool horizontal, double factor);

    CProfileView m_wndView;
    CStatusBar m_wndStatusBar;
    CToolBar m_wndToolBar;
    CReBar m_wndReBar;
    bool m_bCreated = false;
};

/// Shows a profile the raster view asks for in a new profile window.
BOOL ShowProfileWindow(const struct RasterProfileRequest& request);
