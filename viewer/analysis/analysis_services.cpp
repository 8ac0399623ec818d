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
const platform::DialogTemplate kFind = Modeless(220, "Find");
const platform::DialogTemplate kRgbChannels = Modal(205, "RGB Channels");

int ChannelSlot(int channel)
{
    return channel >= 3 && channel <= 5 ? channel - 3 : -1;
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

CFindDlg::CFindDlg() : CSelfDeletingDlg(kFind) {}

BOOL CFindDlg::Create(CFrameViewer* frame)
{
    m_pFrame = frame;
    return CreateStandIn(static_cast<CWnd*>(frame));
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
