#pragma once

// The re-bar: a strip at the top of the frame holding bars in bands, one band per row,
// each with a gripper at its left.

#include <vector>

#include "platform/frame/control_bar.h"

class CBitmap;

constexpr DWORD RBS_TOOLTIPS = 0x0100;
constexpr DWORD RBS_VARHEIGHT = 0x0200;
constexpr DWORD RBS_BANDBORDERS = 0x0400;
constexpr DWORD RBS_FIXEDORDER = 0x0800;

constexpr DWORD RBBS_BREAK = 0x0001;
constexpr DWORD RBBS_FIXEDSIZE = 0x0002;
constexpr DWORD RBBS_CHILDEDGE = 0x0004;
constexpr DWORD RBBS_HIDDEN = 0x0008;
constexpr DWORD RBBS_FIXEDBMP = 0x0020;
constexpr DWORD RBBS_GRIPPERALWAYS = 0x0080;
constexpr DWORD RBBS_NOGRIPPER = 0x0100;

constexpr UINT RBBIM_STYLE = 0x0001;
constexpr UINT RBBIM_CHILDSIZE = 0x0020;
constexpr UINT RBBIM_SIZE = 0x0040;

/// What a band is told or asked about; fMask says which fields count.
struct REBARBANDINFO {
    UINT cbSize = sizeof(REBARBANDINFO);
    UINT fMask = 0;
    UINT fStyle = 0;      ///< RBBS_ (RBBIM_STYLE)
    UINT cxMinChild = 0;  ///< the bar is never laid out narrower (RBBIM_CHILDSIZE)
    UINT cyMinChild = 0;  ///< nor lower (RBBIM_CHILDSIZE)
    UINT cx = 0;          ///< the band's width in its row (RBBIM_SIZE); kept: each band has a row of its own
};

class CReBar;

/// The re-bar's band-level interface.
class PLATFORM_API CReBarCtrl {
public:
    explicit CReBarCtrl(CReBar& bar) : m_bar(bar) {}
    UINT GetBandCount() const;
    /// FALSE for a band that does not exist.
    BOOL SetBandInfo(UINT uBand, const REBARBANDINFO* prbbi);
    BOOL GetBandInfo(UINT uBand, REBARBANDINFO* prbbi) const;

private:
    CReBar& m_bar;
};

class PLATFORM_API CReBar : public CControlBar {
public:
    CReBar() : m_ctrl(*this) {}
    CReBarCtrl& GetReBarCtrl() { return m_ctrl; }
    BOOL Create(CWnd* pParentWnd, DWORD dwCtrlStyle = RBS_BANDBORDERS,
                DWORD dwStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | CBRS_TOP,
                UINT nID = AFX_IDW_REBAR);
    /// Puts the bar into a new band of its own (the bar becomes the re-bar's child; its
    /// owner stays). The bitmap, when given, is not drawn.
    BOOL AddBar(CWnd* pBar, LPCTSTR pszText = nullptr, CBitmap* pbmp = nullptr,
                DWORD dwStyle = RBBS_GRIPPERALWAYS | RBBS_FIXEDBMP);
    UINT GetBandCount() const { return static_cast<UINT>(m_bands.size()); }

    CSize CalcFixedLayout(BOOL bStretch, BOOL bHorz) override;
    void OnUpdateCmdUI(CWnd* pTarget, BOOL bDisableIfNoHndler) override;
    /// Places the bands' bars inside the re-bar.
    void LayoutBands();

    void OnPaint();
    void OnSize(UINT nType, int cx, int cy);
    DECLARE_MESSAGE_MAP()

private:
    friend class CReBarCtrl;
    struct Band {
        CWnd* bar = nullptr;
        CString text;
        DWORD style = 0;
        int minWidth = 0;
        int minHeight = 0;
        int width = 0;
    };
    CReBarCtrl m_ctrl;
    int BandHeight(const Band& band) const;
    DWORD m_ctrlStyle = 0;
    std::vector<Band> m_bands;
};
