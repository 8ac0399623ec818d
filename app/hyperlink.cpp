#include "app/hyperlink.h"

#include <string>

#include "platform/controls/control_notify.h"
#include "platform/gdi/gdi_object.h"
#include "platform/gdi/window_dc.h"
#include "platform/kernel/win_exec.h"
#include "platform/last_error.h"
#include "platform/registry/registry.h"
#include "platform/shell/shell.h"
#include "platform/window/message_beep.h"
#include "platform/window/modal.h"

namespace {

constexpr UINT_PTR kToolTipId = 1;
// The browser's command is looked up as the shell would: the class of ".htm" pages, then
// that class's open command. Each value is at most this long.
constexpr LONG kMaxRegistryText = 260;

// The default value of a key below HKEY_CLASSES_ROOT; false when it cannot be read.
bool ReadClassesValue(const std::string& subKey, std::string& value)
{
    char buffer[kMaxRegistryText + 1] = {};
    LONG size = kMaxRegistryText;
    if (RegQueryValue(HKEY_CLASSES_ROOT, subKey.c_str(), buffer, &size) != ERROR_SUCCESS) return false;
    value = buffer;
    return true;
}

}  // namespace

BEGIN_MESSAGE_MAP(CHyperLink, CStatic)
    ON_CONTROL_REFLECT(STN_CLICKED, OnClicked)
    ON_WM_CTLCOLOR_REFLECT()
    ON_WM_SETCURSOR()
    ON_WM_MOUSEMOVE()
END_MESSAGE_MAP()

BOOL CHyperLink::PreTranslateMessage(MSG* pMsg)
{
    m_ToolTip.RelayEvent(pMsg);
    return CStatic::PreTranslateMessage(pMsg);
}

void CHyperLink::PreSubclassWindow()
{
    // The link tells its parent about clicks.
    ModifyStyle(0, SS_NOTIFY);

    CString text;
    GetWindowText(text);
    if (m_strURL.IsEmpty()) m_strURL = text;
    if (text.IsEmpty()) SetWindowText(m_strURL);

    LOGFONT lf{};
    if (CFont* font = GetFont()) font->GetLogFont(&lf);
    lf.lfUnderline = static_cast<BYTE>(m_bUnderline ? 1 : 0);
    m_Font.CreateFontIndirect(&lf);
    SetFont(&m_Font);

    PositionWindow();
    SetDefaultCursor();

    CRect rect;
    GetClientRect(&rect);
    m_ToolTip.Create(this);
    m_ToolTip.AddTool(this, m_strURL, &rect, kToolTipId);
    CStatic::PreSubclassWindow();
}

HBRUSH CHyperLink::CtlColor(CDC* pDC, UINT)
{
    pDC->SetTextColor(m_bOverControl ? m_crHoverColour : m_bVisited ? m_crVisitedColour : m_crLinkColour);
    pDC->SetBkMode(TRANSPARENT);
    return reinterpret_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
}

BOOL CHyperLink::OnSetCursor(CWnd*, UINT, UINT)
{
    if (!m_hLinkCursor) return FALSE;
    ::SetCursor(m_hLinkCursor);
    return TRUE;
}

void CHyperLink::OnMouseMove(UINT nFlags, CPoint point)
{
    CStatic::OnMouseMove(nFlags, point);
    if (!m_bOverControl) {
        m_bOverControl = TRUE;
        RedrawWindow();
        SetCapture();
        return;
    }
    CRect rect;
    GetClientRect(&rect);
    if (!rect.PtInRect(point)) {
        m_bOverControl = FALSE;
        ReleaseCapture();
        RedrawWindow();
    }
}

void CHyperLink::OnClicked()
{
    const INT_PTR result = GotoURL(m_strURL, SW_SHOW);
    if (result > 32) {
        SetVisited();
    } else {
        MessageBeep(MB_ICONEXCLAMATION);
        ReportError(result);
    }
}

void CHyperLink::SetURL(const CString& url)
{
    m_strURL = url;
    if (GetSafeHwnd()) {
        PositionWindow();
        m_ToolTip.UpdateTipText(m_strURL, this, kToolTipId);
    }
}

void CHyperLink::SetColours(COLORREF link, COLORREF visited, COLORREF hover)
{
    m_crLinkColour = link;
    m_crVisitedColour = visited;
    m_crHoverColour = hover == static_cast<COLORREF>(-1) ? ::GetSysColor(COLOR_HIGHLIGHT) : hover;
    if (GetSafeHwnd()) Invalidate();
}

void CHyperLink::SetVisited(BOOL visited)
{
    m_bVisited = visited;
    if (GetSafeHwnd()) Invalidate();
}

void CHyperLink::SetLinkCursor(HCURSOR cursor)
{
    m_hLinkCursor = cursor;
    if (!m_hLinkCursor) SetDefaultCursor();
}

void CHyperLink::SetUnderline(BOOL underline)
{
    m_bUnderline = underline;
    if (!GetSafeHwnd()) return;
    LOGFONT lf{};
    if (CFont* font = GetFont()) font->GetLogFont(&lf);
    lf.lfUnderline = static_cast<BYTE>(m_bUnderline ? 1 : 0);
    // The window still shows the old font until the new one is set.
    CFont font;
    font.CreateFontIndirect(&lf);
    SetFont(&font);
    m_Font.DeleteObject();
    m_Font.Attach(font.Detach());
    SetFont(&m_Font);
    Invalidate();
}

void CHyperLink::SetAutoSize(BOOL autoSize)
{
    m_bAdjustToFit = autoSize;
    if (GetSafeHwnd()) PositionWindow();
}

CString CHyperLink::GetToolTipText() const
{
    CString text;
    if (m_ToolTip.GetSafeHwnd()) m_ToolTip.GetText(text, const_cast<CHyperLink*>(this), kToolTipId);
    return text;
}

void CHyperLink::SetDefaultCursor()
{
    // The standard hand stands in for the help program's link cursor.
    if (!m_hLinkCursor) m_hLinkCursor = ::LoadCursor(nullptr, IDC_HAND);
}

void CHyperLink::PositionWindow()
{
    if (!GetSafeHwnd() || !m_bAdjustToFit) return;
    CRect rect;
    GetWindowRect(&rect);
    if (CWnd* parent = GetParent()) parent->ScreenToClient(&rect);

    CString text;
    GetWindowText(text);
    CSize extent;
    {
        CClientDC dc(this);
        CFont* old = dc.SelectObject(m_Font.GetSafeHandle() ? &m_Font : GetFont());
        extent = dc.GetTextExtent(text);
        dc.SelectObject(old);
    }

    const DWORD style = GetStyle();
    if (style & SS_CENTERIMAGE) rect.top += (rect.Height() - extent.cy) / 2;
    rect.bottom = rect.top + extent.cy;
    const DWORD kind = style & SS_TYPEMASK;
    if (kind == SS_CENTER) {
        rect.left += (rect.Width() - extent.cx) / 2;
        rect.right = rect.left + extent.cx;
    } else if (kind == SS_RIGHT)
        rect.left = rect.right - extent.cx;
    else
        rect.right = rect.left + extent.cx;
    SetWindowPos(nullptr, rect.left, rect.top, rect.Width(), rect.Height(), SWP_NOZORDER);
    if (m_ToolTip.GetSafeHwnd()) {
        CRect client;
        GetClientRect(&client);
        m_ToolTip.SetToolRect(this, kToolTipId, &client);
    }
}

INT_PTR CHyperLink::GotoURL(LPCTSTR url, int showCommand)
{
    const INT_PTR shellResult =
        reinterpret_cast<INT_PTR>(ShellExecute(nullptr, "open", url, nullptr, nullptr, showCommand));
    if (shellResult > 32) return shellResult;

    std::string pageClass, command;
    if (!ReadClassesValue(".htm", pageClass) || pageClass.empty()) return shellResult;
    if (!ReadClassesValue(pageClass + "\\shell\\open\\command", command)) return shellResult;

    if (auto at = command.find("\"%1\""); at != std::string::npos)
        command.erase(at);
    else if (at = command.find("%1"); at != std::string::npos)
        command.erase(at);
    // A command that is only the placeholder would run the target itself as a program.
    if (command.find_first_not_of(" \t") == std::string::npos) return shellResult;

    // The target is one argument whatever it holds: it goes in quotes, and a quote in it,
    // which no address may hold as it is, is written as the browser reads it escaped.
    std::string target = url ? url : "";
    for (std::size_t at = target.find('"'); at != std::string::npos; at = target.find('"', at + 3))
        target.replace(at, 1, "%22");
    command += " \"" + target + "\"";
    return static_cast<INT_PTR>(WinExec(command.c_str(), static_cast<UINT>(showCommand)));
}

CString CHyperLink::ErrorText(INT_PTR code)
{
    switch (code) {
        case 0:
            return "The operating system is out\nof memory or resources.";
        case SE_ERR_FNF:
            return "The specified file was not found.";
        case SE_ERR_PNF:
            return "The specified path was not found.";
        case SE_ERR_ACCESSDENIED:
            return "The operating system denied\naccess to the specified file.";
        case SE_ERR_OOM:
            return "There was not enough memory to complete the operation.";
        case 11:
            return "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image).";
        case 26:
            return "A sharing violation occurred. ";
        case 27:
            return "The filename association is\nincomplete or invalid.";
        case 28:
            return "The DDE transaction could not\nbe completed because the request timed out.";
        case 29:
            return "The DDE transaction failed.";
        case 30:
            return "The DDE transaction could not\nbe completed because other DDE transactions\nwere being "
                   "processed.";
        case SE_ERR_NOASSOC:
            return "There is no application associated\nwith the given filename extension.";
        case 32:
            return "The specified dynamic-link library was not found.";
        default: {
            CString text;
            text.Format("Unknown Error (%d) occurred.", static_cast<int>(code));
            return text;
        }
    }
}

void CHyperLink::ReportError(INT_PTR code)
{
    AfxMessageBox("Unable to open hyperlink:\n\n" + ErrorText(code), MB_ICONEXCLAMATION);
}
