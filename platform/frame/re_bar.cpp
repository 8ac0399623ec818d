#include "platform/frame/re_bar.h"

#include <algorithm>

#include <QPainter>

#include "platform/frame/bar_paint_internal.h"
#include "platform/frame/frame_wnd.h"

namespace {

constexpr int kGripper = 10;  ///< room at a band's left for its gripper
constexpr int kBandBorder = 2;

}  // namespace

BEGIN_MESSAGE_MAP(CReBar, CControlBar)
    ON_WM_PAINT()
    ON_WM_SIZE()
END_MESSAGE_MAP()

BOOL CReBar::Create(CWnd* pParentWnd, DWORD dwCtrlStyle, DWORD dwStyle, UINT nID)
{
    m_ctrlStyle = dwCtrlStyle;
    return CreateBar(pParentWnd, dwStyle, nID);
}

BOOL CReBar::AddBar(CWnd* pBar, LPCTSTR pszText, CBitmap*, DWORD dwStyle)
{
    if (!m_hWnd || !pBar || !pBar->GetSafeHwnd()) return FALSE;
    CWnd* owner = pBar->GetOwner();
    pBar->SetParent(this);
    pBar->SetOwner(owner);
    // The band lays the bar out; a bar of the frame's own would be laid out twice.
    if (auto* bar = dynamic_cast<CControlBar*>(pBar)) bar->SetBarStyle(bar->GetBarStyle() & ~CBRS_ALIGN_ANY);
    m_bands.push_back(Band{pBar, pszText ? CString(pszText) : CString(), dwStyle});
    m_nCount = static_cast<int>(m_bands.size());
    LayoutBands();
    if (auto* frame = dynamic_cast<CFrameWnd*>(GetParent())) frame->RecalcLayout();
    return TRUE;
}

int CReBar::BandHeight(const Band& band) const
{
    if (!band.bar || !IsWindow(band.bar->GetSafeHwnd()) || !(band.bar->GetStyle() & WS_VISIBLE)) return 0;
    CSize size;
    if (auto* bar = dynamic_cast<CControlBar*>(band.bar))
        size = bar->CalcFixedLayout(FALSE, TRUE);
    else {
        CRect r;
        band.bar->GetWindowRect(r);
        size = r.Size();
    }
    return std::max(int(size.cy), band.minHeight) + 2 * kBandBorder;
}

CSize CReBar::CalcFixedLayout(BOOL, BOOL)
{
    CRect parent;
    if (GetParent()) GetParent()->GetClientRect(parent);
    int height = 0;
    for (const Band& band : m_bands) height += BandHeight(band);
    return CSize(parent.Width(), height);
}

void CReBar::LayoutBands()
{
    if (!m_hWnd) return;
    CRect client;
    GetClientRect(client);
    int y = 0;
    for (const Band& band : m_bands) {
        const int h = BandHeight(band);
        if (h == 0) continue;
        const int left = (band.style & RBBS_NOGRIPPER) ? kBandBorder : kGripper + kBandBorder;
        int width = static_cast<int>(client.right) - left - kBandBorder;
        if (auto* bar = dynamic_cast<CControlBar*>(band.bar))
            width = std::min(width, static_cast<int>(bar->CalcFixedLayout(FALSE, TRUE).cx));
        width = std::max(width, band.minWidth);
        band.bar->MoveWindow(left, y + kBandBorder, std::max(0, width), h - 2 * kBandBorder);
        y += h;
    }
    Invalidate();
}

void CReBar::OnUpdateCmdUI(CWnd*, BOOL) {}

UINT CReBarCtrl::GetBandCount() const
{
    return m_bar.GetBandCount();
}

BOOL CReBarCtrl::SetBandInfo(UINT uBand, const REBARBANDINFO* prbbi)
{
    if (!prbbi || uBand >= m_bar.m_bands.size()) return FALSE;
    CReBar::Band& band = m_bar.m_bands[uBand];
    if (prbbi->fMask & RBBIM_STYLE) band.style = prbbi->fStyle;
    if (prbbi->fMask & RBBIM_CHILDSIZE) {
        band.minWidth = static_cast<int>(std::min<UINT>(prbbi->cxMinChild, 0x7FFF));
        band.minHeight = static_cast<int>(std::min<UINT>(prbbi->cyMinChild, 0x7FFF));
    }
    if (prbbi->fMask & RBBIM_SIZE) band.width = static_cast<int>(std::min<UINT>(prbbi->cx, 0x7FFF));
    m_bar.LayoutBands();
    if (auto* frame = dynamic_cast<CFrameWnd*>(m_bar.GetParent())) frame->RecalcLayout();
    return TRUE;
}

BOOL CReBarCtrl::GetBandInfo(UINT uBand, REBARBANDINFO* prbbi) const
{
    if (!prbbi || uBand >= m_bar.m_bands.size()) return FALSE;
    const CReBar::Band& band = m_bar.m_bands[uBand];
    if (prbbi->fMask & RBBIM_STYLE) prbbi->fStyle = band.style;
    if (prbbi->fMask & RBBIM_CHILDSIZE) {
        prbbi->cxMinChild = static_cast<UINT>(band.minWidth);
        prbbi->cyMinChild = static_cast<UINT>(band.minHeight);
    }
    if (prbbi->fMask & RBBIM_SIZE) prbbi->cx = static_cast<UINT>(band.width);
    return TRUE;
}

void CReBar::OnSize(UINT, int, int)
{
    LayoutBands();
}

void CReBar::OnPaint()
{
    CRect client;
    QPainter* painter = platform::BeginBarPaint(*this, client);
    if (!painter) return;
    QPainter& p = *painter;
    const QColor light = platform::SysColour(COLOR_BTNHIGHLIGHT);
    const QColor shadow = platform::SysColour(COLOR_BTNSHADOW);
    int y = 0;
    for (const Band& band : m_bands) {
        const int h = BandHeight(band);
        if (h == 0) continue;
        if (m_ctrlStyle & RBS_BANDBORDERS) {
            p.setPen(shadow);
            p.drawLine(0, y + h - 2, client.Width() - 1, y + h - 2);
            p.setPen(light);
            p.drawLine(0, y + h - 1, client.Width() - 1, y + h - 1);
        }
        if (band.style & RBBS_GRIPPERALWAYS) {
            // A raised bar to grip the band by.
            const int top = y + 3;
            const int bottom = y + h - 5;
            p.setPen(light);
            p.drawLine(3, top, 3, bottom);
            p.drawLine(3, top, 5, top);
            p.setPen(shadow);
            p.drawLine(5, top + 1, 5, bottom);
            p.drawLine(3, bottom, 5, bottom);
        }
        y += h;
    }
    // The re-bar's own edge against the menu bar above.
    p.setPen(shadow);
    p.drawLine(0, 0, client.Width() - 1, 0);
}
