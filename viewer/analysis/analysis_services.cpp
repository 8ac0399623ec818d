#include "viewer/analysis/analysis_services.h"

#include <algorithm>

#include "platform/app/win_app.h"
#include "platform/controls/button.h"
#include "platform/dialogs/dialog_template.h"
#include "platform/gdi/gdi_object.h"
#include "platform/gdi/region.h"
#include "platform/window/messages.h"
#include "viewer/core/frame_viewer.h"

namespace {

constexpr UINT kViewerMessage = WM_USER + 500;
constexpr UINT kDlgMessage = WM_USER + 501;
constexpr DWORD kDialogStyle = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;

const platform::DialogControl kCancelOnly[] = {
    {"Button", "Cancel", IDCANCEL, 70, 30, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP},
};
const platform::DialogControl kOkCancel[] = {
    {"Button", "OK", IDOK, 14, 30, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP},
    {"Button", "Cancel", IDCANCEL, 70, 30, 50, 14, BS_PUSHBUTTON | WS_TABSTOP},
};

constexpr platform::DialogTemplate Modeless(UINT id, const char* caption)
{
    return {id, caption, kDialogStyle, 0, nullptr, 8, 0, 0, 134, 52, kCancelOnly};
}
constexpr platform::DialogTemplate Modal(UINT id, const char* caption)
{
    return {id, caption, kDialogStyle, 0, nullptr, 8, 0, 0, 134, 52, kOkCancel};
}

const platform::DialogTemplate kColorCorrection = Modeless(261, "Color correction");
const platform::DialogTemplate kCoordPointer = Modeless(207, "Pointer");
const platform::DialogTemplate kLogicalCoords = Modeless(236, "Logical coords");
const platform::DialogTemplate kFileProperties = Modeless(231, "File Properties");
const platform::DialogTemplate kFind = Modeless(220, "Find");
const platform::DialogTemplate kReplace = Modeless(221, "Replace");
const platform::DialogTemplate kFreehand = Modeless(209, "Freehand region");
const platform::DialogTemplate kRectSel = Modeless(222, "Rectangular selection");
const platform::DialogTemplate kNewFile = Modal(213, "Create new file");
const platform::DialogTemplate kHistTrim = Modal(260, "Histogram Triming");
const platform::DialogTemplate kRgbChannels = Modal(205, "RGB Channels");

int ChannelSlot(int channel)
{
    return channel >= 3 && channel <= 5 ? channel - 3 : -1;
}

HRGN CopyRegion(HRGN region)
{
    if (!region) return nullptr;
    HRGN copy = ::CreateRectRgn(0, 0, 0, 0);
    if (copy && ::CombineRgn(copy, region, nullptr, RGN_COPY) == ERROR) {
        ::DeleteObject(copy);
        return nullptr;
    }
    return copy;
}

/// The rectangle selection's dialog: it only shows its title.
class CRectSelDlg : public CSelfDeletingDlg {
public:
    explicit CRectSelDlg(CSelectionInfo* owner) : CSelfDeletingDlg(kRectSel), m_pOwner(owner) {}
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        const LRESULT result = CSelfDeletingDlg::WindowProc(message, wParam, lParam);
        if (message == WM_DESTROY && m_pOwner) m_pOwner->DetachWnd();
        return result;
    }
    CSelectionInfo* m_pOwner;
};

}  // namespace

// --- dialogs made from their own template -----------------------------------------------------

CStandInDlg::CStandInDlg(const platform::DialogTemplate& dialogTemplate, CWnd* parent)
    : CDialog(dialogTemplate.id, parent), m_template(dialogTemplate)
{
}

BOOL CStandInDlg::CreateStandIn(CWnd* parent)
{
    if (parent) m_pParentWnd = parent;
    m_bCreated = CreateIndirect(m_template, m_pParentWnd) != FALSE;
    return m_bCreated ? TRUE : FALSE;
}

INT_PTR CStandInDlg::DoModal()
{
    CWnd* parent = m_pParentWnd ? m_pParentWnd : AfxGetMainWnd();
    m_bModal = TRUE;
    m_nModalResult = -1;
    if (!CreateIndirect(m_template, parent)) {
        m_bModal = FALSE;
        return -1;
    }
    const HWND hwnd = m_hWnd;
    const int result = RunModalLoop(MLF_SHOWONIDLE);
    m_bModal = FALSE;
    if (::IsWindow(hwnd) && CWnd::FromHandle(hwnd) == this) {
        ShowWindow(SW_HIDE);
        DestroyWindow();
    }
    return result;
}

void CSelfDeletingDlg::PostNcDestroy()
{
    if (m_bCreated) delete this;
}

void CCollapsibleDlg::ShiftControls(int firstId, int delta)
{
    bool moving = false;
    for (CWnd* child = GetWindow(GW_CHILD); child; child = child->GetWindow(GW_HWNDNEXT)) {
        if (child->GetDlgCtrlID() == firstId) moving = true;
        if (!moving) continue;
        CRect r;
        child->GetWindowRect(&r);
        ScreenToClient(&r);
        child->SetWindowPos(nullptr, r.left, r.top - delta, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    }
    CRect w;
    GetWindowRect(&w);
    SetWindowPos(nullptr, 0, 0, w.Width(), std::max(0, w.Height() - delta), SWP_NOMOVE | SWP_NOZORDER);
}

// --- panes and tool windows of the frame -------------------------------------------------------

BOOL CScaleMarkWnd::Create(CWnd* owner)
{
    m_bCreated =
        CreateEx(0, AfxRegisterWndClass(0), "", WS_POPUP | WS_THICKFRAME, CRect(0, 0, 100, 50), owner, 0);
    return m_bCreated ? TRUE : FALSE;
}

void CScaleMarkWnd::SetAnchor(CWnd* dock, int anchor, int orientation)
{
    m_pDock = dock;
    m_nAnchor = anchor;
    m_nOrientation = orientation;
}

void CScaleMarkWnd::SetPalette(const PalitraTag* palette)
{
    if (!palette) return;
    // The record is two 32-bit words, then 256 RGB triplets.
    const BYTE* bytes = reinterpret_cast<const BYTE*>(palette) + 8;
    m_palette.assign(bytes, bytes + 768);
}

void CScaleMarkWnd::SetValueRange(double low, double high)
{
    m_dLow = low;
    m_dHigh = high;
}

void CScaleMarkWnd::PostNcDestroy()
{
    if (m_bCreated) delete this;
}

CHistFrame::CHistFrame(int)
{
    m_pMaster = this;
}

CHistFrame::~CHistFrame()
{
    if (m_hRgn) ::DeleteObject(m_hRgn);
}

BOOL CHistFrame::Create(CWnd* parent, int kind)
{
    if (kind != 0 && kind != 1) return FALSE;
    const CString title = kind == 1 ? CString("Histogram - Region") : CString("Histogram");
    if (!CFrameWnd::Create(nullptr, title, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, rectDefault, parent,
                           nullptr, WS_EX_TOOLWINDOW))
        return FALSE;
    m_bCreated = true;
    m_pParent = parent;
    m_nKind = kind;
    return TRUE;
}

void CHistFrame::AddSource(CWnd* window)
{
    if (window && window != this) m_sources.push_back(window);
}

void CHistFrame::RemoveSource(CWnd* window)
{
    std::erase(m_sources, window);
}

void CHistFrame::SendToSources(UINT message, WPARAM wParam, LPARAM lParam)
{
    const std::vector<CWnd*> sources = m_sources;
    for (CWnd* source : sources)
        if (::IsWindow(source->GetSafeHwnd())) source->SendMessage(message, wParam, lParam);
}

void CHistFrame::SetChannelRange(const double minima[4], const double maxima[4], int channel)
{
    if (!minima || !maxima || (channel != 1 && ChannelSlot(channel) < 0)) return;
    m_ranges[channel][0] = minima[0];
    m_ranges[channel][1] = maxima[0];
}

CWnd* CHistFrame::GetViewer() const
{
    return m_pMaster ? m_pMaster->m_pParent : nullptr;
}

LRESULT CHistFrame::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kViewerMessage) {
        if (lParam == 13) m_pMaster = nullptr;
        SendToSources(message, wParam, lParam);
        return 0;
    }
    if (message == WM_CLOSE) {
        // The parent takes the window away.
        ShowWindow(SW_HIDE);
        if (m_pParent) m_pParent->SendMessage(kDlgMessage, 4, reinterpret_cast<LPARAM>(this));
        return 0;
    }
    if (message == WM_DESTROY) {
        if (m_pMaster && m_pMaster != this && ::IsWindow(m_pMaster->GetSafeHwnd()))
            m_pMaster->RemoveSource(this);
        SendToSources(kViewerMessage, 13, 0);
    }
    return CFrameWnd::WindowProc(message, wParam, lParam);
}

void CHistFrame::PostNcDestroy()
{
    if (m_bCreated) delete this;
}

CColorCorrectionDlg::CColorCorrectionDlg() : CCollapsibleDlg(kColorCorrection) {}

BOOL CColorCorrectionDlg::Create(CWnd* parent)
{
    return CreateStandIn(parent);
}

CCoordPointerDlg::CCoordPointerDlg() : CSelfDeletingDlg(kCoordPointer) {}

BOOL CCoordPointerDlg::Create(CWnd* parent, CFrameViewer* frame)
{
    m_pFrame = frame;
    return CreateStandIn(parent);
}

CLogicalCoordsDlg::CLogicalCoordsDlg(CWnd* parent) : CSelfDeletingDlg(kLogicalCoords, parent) {}

BOOL CLogicalCoordsDlg::Create(CFrameViewer* frame)
{
    m_pFrame = frame;
    return CreateStandIn(static_cast<CWnd*>(frame));
}

CFilePropertiesDlg::CFilePropertiesDlg() : CSelfDeletingDlg(kFileProperties) {}

BOOL CFilePropertiesDlg::Create(CFrameViewer* frame)
{
    m_pFrame = frame;
    return CreateStandIn(static_cast<CWnd*>(frame));
}

CFindDlg::CFindDlg() : CSelfDeletingDlg(kFind) {}

BOOL CFindDlg::Create(CFrameViewer* frame)
{
    m_pFrame = frame;
    return CreateStandIn(static_cast<CWnd*>(frame));
}

CFindReplaceValueDlg::CFindReplaceValueDlg() : CSelfDeletingDlg(kReplace) {}

BOOL CFindReplaceValueDlg::Create(CFrameViewer* frame)
{
    m_pFrame = frame;
    return CreateStandIn(static_cast<CWnd*>(frame));
}

int FindValueInLayer(CString, int, int, CRDPLayer*, int, CPoint* position)
{
    if (position) *position = CPoint(0, 0);
    return 0;
}

// --- modal dialogs -------------------------------------------------------------------------------

CNewFileDlg::CNewFileDlg(CWnd* parent) : CStandInDlg(kNewFile, parent) {}

CHistTrimDlg::CHistTrimDlg(CWnd* parent) : CStandInDlg(kHistTrim, parent) {}

void CHistTrimDlg::SetColorMode(int mode)
{
    m_nColorMode = mode;
    m_nChannel = mode == 2 ? 3 : 1;
}

TuneTrimData* CHistTrimDlg::GetChannelSlot(int channel)
{
    if (channel == 1) return &m_channels[0];
    const int slot = ChannelSlot(channel);
    return slot >= 0 ? &m_channels[slot + 1] : nullptr;
}

void CHistTrimDlg::SetChannelData(const TuneTrimData* data, int channel)
{
    TuneTrimData* slot = GetChannelSlot(channel);
    if (!slot) return;
    if (data) {
        *slot = *data;
        return;
    }
    slot->minimum = slot->maximum = slot->lowBound = slot->highBound = 0.0;
}

int CHistTrimDlg::GetMethod() const
{
    return const_cast<CHistTrimDlg*>(this)->GetChannelSlot(m_nChannel)->method;
}

double CHistTrimDlg::GetHighBound() const
{
    return const_cast<CHistTrimDlg*>(this)->GetChannelSlot(m_nChannel)->highBound;
}

double CHistTrimDlg::GetLowBound() const
{
    return const_cast<CHistTrimDlg*>(this)->GetChannelSlot(m_nChannel)->lowBound;
}

CRGBChannelsDlg::CRGBChannelsDlg(CWnd* parent, int input) : CStandInDlg(kRgbChannels, parent), m_bInput(input)
{
}

CString CRGBChannelsDlg::IsDataReady(int channel) const
{
    const int slot = ChannelSlot(channel);
    if (slot < 0) return CString();
    for (const CString& path : m_strPath)
        if (path.IsEmpty()) return CString();
    return m_strPath[slot];
}

int CRGBChannelsDlg::GetChannelFile(int channel) const
{
    const int slot = ChannelSlot(channel);
    return slot < 0 ? 0 : m_nPart[slot];
}

void CRGBChannelsDlg::SetChannelPath(const CString& path, int channel)
{
    const int slot = ChannelSlot(channel);
    if (slot >= 0) m_strPath[slot] = path;
}

void CRGBChannelsDlg::SetChannelComponent(int component, int channel)
{
    const int slot = ChannelSlot(channel);
    if (slot >= 0) m_nPart[slot] = component;
}

// --- windows and objects of the views ------------------------------------------------------------

int CProfileFrame::Create(CWnd* parent, CString caption)
{
    if (!CFrameWnd::Create(nullptr, caption, WS_OVERLAPPEDWINDOW, rectDefault, parent)) return 0;
    m_bCreated = true;
    ShowWindow(SW_SHOW);
    return 1;
}

BOOL CProfileFrame::SetProfile(const double* values, int count, COLORREF colour)
{
    if (!values || count <= 0) return FALSE;
    Curve curve;
    curve.values.assign(values, values + count);
    curve.colour = colour;
    m_curves.push_back(std::move(curve));
    return TRUE;
}

BOOL CProfileFrame::SetProfileXY(const double* values, const double* positions, int count)
{
    if (!values || !positions || count <= 0) return FALSE;
    Curve curve;
    curve.values.assign(values, values + count);
    curve.positions.assign(positions, positions + count);
    curve.colour = RGB(0xFF, 0x80, 0xFF);
    m_curves.push_back(std::move(curve));
    return TRUE;
}

BOOL CProfileFrame::SetLogicalProfile(const double* values, int count, const CPointT<double>* points,
                                      COLORREF colour)
{
    if (!values || !points || count <= 0) return FALSE;
    Curve curve;
    curve.values.assign(values, values + count);
    curve.points.assign(points, points + count);
    curve.colour = colour;
    m_curves.push_back(std::move(curve));
    return TRUE;
}

void CProfileFrame::PostNcDestroy()
{
    if (m_bCreated) delete this;
}

void CSelectionInfo::CloseWnd()
{
    if (m_pWnd && ::IsWindow(m_pWnd->GetSafeHwnd())) m_pWnd->DestroyWindow();
}

void CRectSelObj::ShowWnd()
{
    if (m_pWnd) {
        m_pWnd->ShowWindow(SW_SHOW);
        return;
    }
    auto* dialog = new CRectSelDlg(this);
    if (!dialog->CreateStandIn(m_pParent)) {
        delete dialog;
        return;
    }
    m_pWnd = dialog;
    dialog->ShowWindow(SW_SHOW);
}

void CRectSelObj::HideWnd()
{
    if (m_pWnd) m_pWnd->ShowWindow(SW_HIDE);
}

void CRectSelObj::SetData(CRect rect, CRectSelCorners corners, CWnd* parent)
{
    m_rect = rect;
    m_corners = corners;
    m_pParent = parent;
}

void CFreeRegionObj::ShowWnd()
{
    if (m_pWnd) {
        m_pWnd->ShowWindow(SW_SHOW);
        return;
    }
    auto* dialog = new CFreehandRegionDlg();
    if (!dialog->CreateStandIn(m_pParent)) {
        delete dialog;
        return;
    }
    m_pWnd = dialog;
    dialog->SetData(m_dArea, m_dLogicalArea, m_bounds, m_logical[0], m_logical[1], this);
    dialog->ShowWindow(SW_SHOW);
}

void CFreeRegionObj::HideWnd()
{
    if (m_pWnd) m_pWnd->ShowWindow(SW_HIDE);
}

void CFreeRegionObj::SetData(int pixelArea, double logicalArea, CRect bounds, CPointT<double> logicalTopLeft,
                             CPointT<double> logicalBottomRight, CWnd* parent)
{
    m_dArea = pixelArea;
    m_dLogicalArea = logicalArea;
    m_bounds = bounds;
    m_logical[0] = logicalTopLeft;
    m_logical[1] = logicalBottomRight;
    m_pParent = parent;
    if (auto* dialog = dynamic_cast<CFreehandRegionDlg*>(m_pWnd))
        dialog->SetData(m_dArea, logicalArea, bounds, logicalTopLeft, logicalBottomRight, this);
}

void CFreeRegionObj::Reset()
{
    m_dArea = 0.0;
    m_bounds = CRect(0, 0, 0, 0);
    if (auto* dialog = dynamic_cast<CFreehandRegionDlg*>(m_pWnd)) dialog->Clear();
}

CFreehandRegionDlg::CFreehandRegionDlg() : CSelfDeletingDlg(kFreehand) {}

void CFreehandRegionDlg::SetData(double pixelArea, double, CRect bounds, CPointT<double>, CPointT<double>,
                                 CSelectionInfo* owner)
{
    m_pOwner = owner;
    m_texts[0].Format("%g", pixelArea);
    m_texts[1].Format("(%d, %d) - (%d, %d) = [%d x %d]", bounds.left, bounds.top, bounds.right, bounds.bottom,
                      bounds.Width(), bounds.Height());
}

void CFreehandRegionDlg::Clear()
{
    for (CString& text : m_texts) text.Empty();
}

LRESULT CFreehandRegionDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    const LRESULT result = CSelfDeletingDlg::WindowProc(message, wParam, lParam);
    if (message == WM_DESTROY && m_pOwner) m_pOwner->DetachWnd();
    return result;
}

void StretchPixelRows(const PixelBlock& destination, const PixelBlock& source)
{
    if (!destination.first || !source.first || destination.width <= 0 || destination.height <= 0 ||
        source.width <= 0 || source.height <= 0)
        return;
    // Source rows and columns advance by running remainders, so no division per pixel.
    int sy = 0, ry = 0;
    BYTE* dstRow = destination.first;
    for (int y = 0; y < destination.height; ++y) {
        const BYTE* srcRow = source.first + std::ptrdiff_t(sy) * source.rowStep;
        BYTE* d = dstRow;
        int sx = 0, rx = 0;
        for (int x = 0; x < destination.width; ++x) {
            *d = srcRow[std::ptrdiff_t(sx) * source.pixelStep];
            d += destination.pixelStep;
            rx += source.width;
            while (rx >= destination.width) {
                rx -= destination.width;
                ++sx;
            }
        }
        dstRow += destination.rowStep;
        ry += source.height;
        while (ry >= destination.height) {
            ry -= destination.height;
            ++sy;
        }
    }
}
