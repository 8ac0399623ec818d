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
const platform::DialogTemplate kFileProperties = Modeless(231, "File Properties");
const platform::DialogTemplate kFind = Modeless(220, "Find");
const platform::DialogTemplate kFreehand = Modeless(209, "Freehand region");
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

// --- panes and tool windows of the frame -------------------------------------------------------

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

int FindValueInLayer(CString, int, int, CRDPLayer*, int, CPoint* position)
{
    if (position) *position = CPoint(0, 0);
    return 0;
}

// --- modal dialogs -------------------------------------------------------------------------------

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
