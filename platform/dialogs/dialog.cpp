#include "platform/dialogs/dialog.h"

#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <strings.h>

#include <QFont>
#include <QWidget>

#include "platform/controls/button.h"
#include "platform/controls/control_notify.h"
#include "platform/controls/edit.h"
#include "platform/controls/list_controls.h"
#include "platform/controls/list_ctrl.h"
#include "platform/controls/progress_ctrl.h"
#include "platform/controls/slider_ctrl.h"
#include "platform/controls/spin_button_ctrl.h"
#include "platform/controls/tab_ctrl.h"
#include "platform/controls/tree_ctrl.h"
#include "platform/controls/static_ctrl.h"
#include "platform/dialogs/data_exchange.h"
#include "platform/numbers/numbers.h"
#include "platform/window/app_hooks.h"
#include "platform/window/modal.h"

namespace platform {
namespace {

struct NoCase {
    bool operator()(const std::string& a, const std::string& b) const
    {
        return strcasecmp(a.c_str(), b.c_str()) < 0;
    }
};

std::map<std::string, ControlFactory, NoCase>& Factories()
{
    static std::map<std::string, ControlFactory, NoCase> factories{
        {"Button", [] { return static_cast<CWnd*>(new CButton); }},
        {"Edit", [] { return static_cast<CWnd*>(new CEdit); }},
        {"Static", [] { return static_cast<CWnd*>(new CStatic); }},
        {"ComboBox", [] { return static_cast<CWnd*>(new CComboBox); }},
        {"ListBox", [] { return static_cast<CWnd*>(new CListBox); }},
        {"msctls_progress32", [] { return static_cast<CWnd*>(new CProgressCtrl); }},
        {"msctls_updown32", [] { return static_cast<CWnd*>(new CSpinButtonCtrl); }},
        {"SysTreeView32", [] { return static_cast<CWnd*>(new CTreeCtrl); }},
        {"SysListView32", [] { return static_cast<CWnd*>(new CListCtrl); }},
        {"SysTabControl32", [] { return static_cast<CWnd*>(new CTabCtrl); }},
        {"msctls_trackbar32", [] { return static_cast<CWnd*>(new CSliderCtrl); }},
    };
    return factories;
}

std::mutex& FactoryMutex()
{
    static std::mutex mutex;
    return mutex;
}

}  // namespace

static bool IsClass(const CWnd* wnd, const char* name)
{
    return wnd && strcasecmp(wnd->GetClassName().c_str(), name) == 0;
}

static bool IsPushButton(const CWnd* wnd)
{
    if (!IsClass(wnd, "Button")) return false;
    const DWORD type = wnd->GetStyle() & BS_TYPEMASK;
    return type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON || type == BS_OWNERDRAW;
}

void RegisterControlClass(const char* className, ControlFactory factory)
{
    std::lock_guard lock(FactoryMutex());
    Factories()[className] = factory;
}

CWnd* MakeControl(const char* className)
{
    std::lock_guard lock(FactoryMutex());
    const auto it = Factories().find(className ? className : "");
    return it == Factories().end() ? nullptr : it->second();
}

}  // namespace platform

BEGIN_MESSAGE_MAP(CDialog, CWnd)
    ON_COMMAND(IDOK, OnOK)
    ON_COMMAND(IDCANCEL, OnCancel)
END_MESSAGE_MAP()

using platform::IsClass;
using platform::IsPushButton;

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd) : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd) {}

CDialog::~CDialog()
{
    if (m_hWnd) DestroyWindow();
}

BOOL CDialog::Create(UINT nIDTemplate, CWnd* pParentWnd)
{
    m_nIDTemplate = nIDTemplate;
    if (pParentWnd) m_pParentWnd = pParentWnd;
    const platform::DialogTemplate* dialogTemplate = platform::FindDialogTemplate(nIDTemplate);
    if (!dialogTemplate) {
        std::fprintf(stderr, "tarvenix: no dialog template %u\n", nIDTemplate);
        return FALSE;
    }
    return CreateIndirect(*dialogTemplate, pParentWnd);
}

BOOL CDialog::CreateIndirect(const platform::DialogTemplate& t, CWnd* pParentWnd)
{
    if (m_hWnd) return FALSE;
    m_controls.clear();
    static const LPCTSTR dialogClass = [] {
        AfxRegisterClass("#32770", CS_DBLCLKS, nullptr,
                         reinterpret_cast<HBRUSH>(static_cast<std::uintptr_t>(COLOR_BTNFACE + 1)));
        return "#32770";
    }();
    const QFont font = platform::DialogFont(t.fontFace, t.fontSize);
    m_baseUnits = platform::DialogBaseUnits(font);
    const CRect pixels = platform::DialogUnitsToPixels(CRect(t.x, t.y, t.x + t.cx, t.y + t.cy), m_baseUnits);
    DWORD style = t.style & ~WS_VISIBLE;
    CWnd* parent = pParentWnd;
    if (style & WS_CHILD) {
        if (!parent) return FALSE;
    }
    CRect frame = pixels;
    if (!(style & WS_CHILD) && parent && !(t.style & DS_ABSALIGN)) {
        // A popup dialog's position is relative to its owner's client area.
        CPoint origin(0, 0);
        parent->ClientToScreen(&origin);
        frame.OffsetRect(origin.x, origin.y);
    }
    if (!CreateEx(t.exStyle, dialogClass, t.caption, style, frame.left, frame.top, frame.Width(),
                  frame.Height(), parent ? parent->GetSafeHwnd() : nullptr, nullptr))
        return FALSE;
    const HWND hwnd = m_hWnd;
    GetWidget()->setFont(font);
    if (!MakeControls(t)) {
        DestroyWindow();
        return FALSE;
    }
    if ((t.style & DS_CENTER) || (!(style & WS_CHILD) && t.x == 0 && t.y == 0)) CenterWindow();

    CWnd* first = GetNextDlgTabItem(nullptr);
    const LRESULT focusDefault =
        SendMessage(WM_INITDIALOG, reinterpret_cast<WPARAM>(first ? first->GetSafeHwnd() : nullptr));
    if (!IsWindow(hwnd) || CWnd::FromHandle(hwnd) != this) return FALSE;
    if (focusDefault && (first = GetNextDlgTabItem(nullptr)) != nullptr) GotoDlgCtrl(first);
    if (t.style & WS_VISIBLE) ShowWindow(SW_SHOW);
    return IsWindow(hwnd);
}

bool CDialog::MakeControls(const platform::DialogTemplate& t)
{
    std::vector<QWidget*> order;
    bool defaultFound = false;
    for (const platform::DialogControl& c : t.controls) {
        std::unique_ptr<CWnd> control(platform::MakeControl(c.className));
        if (!control) control = std::make_unique<CWnd>();
        DWORD style = c.style | WS_CHILD;
        if (!(c.style & WS_CHILD))
            style |= WS_VISIBLE;  // an explicit WS_CHILD without WS_VISIBLE starts hidden
        CRect rect = platform::DialogUnitsToPixels(CRect(c.x, c.y, c.x + c.cx, c.y + c.cy), m_baseUnits);
        if (!control->CreateEx(c.exStyle, platform::ControlClass(c.className ? c.className : "Static"),
                               c.text, style, rect, this, static_cast<UINT>(c.id))) {
            std::fprintf(stderr, "tarvenix: dialog %u: control %d (%s) could not be made\n", t.id, c.id,
                         c.className);
            return false;
        }
        if (!defaultFound && IsClass(control.get(), "Button") &&
            (c.style & BS_TYPEMASK) == BS_DEFPUSHBUTTON) {
            m_defId = c.id;
            defaultFound = true;
        }
        order.push_back(control->GetWidget());
        m_controls.push_back(std::move(control));
    }
    // The first control is the top of the z-order; Qt stacks later siblings above earlier ones.
    for (QWidget* widget : order)
        if (widget) widget->lower();
    return true;
}

INT_PTR CDialog::DoModal()
{
    const platform::DialogTemplate* t = platform::FindDialogTemplate(m_nIDTemplate);
    if (!t) {
        std::fprintf(stderr, "tarvenix: no dialog template %u\n", m_nIDTemplate);
        return -1;
    }
    CWnd* parent = m_pParentWnd;
    if (!parent && platform::GetAppHooks().mainWindow) parent = platform::GetAppHooks().mainWindow();
    m_bModal = TRUE;
    m_nModalResult = -1;
    if (!CreateIndirect(*t, parent)) {
        m_bModal = FALSE;
        return -1;
    }
    const HWND hwnd = m_hWnd;
    const int result = RunModalLoop(MLF_SHOWONIDLE);
    m_bModal = FALSE;
    if (IsWindow(hwnd) && CWnd::FromHandle(hwnd) == this) {
        ShowWindow(SW_HIDE);
        DestroyWindow();
    }
    return result;
}

void CDialog::EndDialog(int nResult)
{
    if (m_bModal)
        EndModalLoop(nResult);
    else
        ShowWindow(SW_HIDE);
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK()
{
    if (!UpdateData(TRUE)) return;
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

void CDialog::DoDataExchange(CDataExchange*) {}

BOOL CDialog::UpdateData(BOOL bSaveAndValidate)
{
    CDataExchange dx(this, bSaveAndValidate);
    try {
        DoDataExchange(&dx);
    } catch (const CUserException&) {
        return FALSE;  // the field's message was shown and the focus put on it
    }
    return TRUE;
}

// --- controls ------------------------------------------------------------------------------------------
void CDialog::SetDlgItemText(int nID, LPCTSTR lpszString)
{
    if (CWnd* item = GetDlgItem(nID)) item->SetWindowText(lpszString);
}

int CDialog::GetDlgItemText(int nID, CString& rString) const
{
    rString.Empty();
    if (CWnd* item = GetDlgItem(nID)) item->GetWindowText(rString);
    return rString.GetLength();
}

int CDialog::GetDlgItemText(int nID, LPTSTR lpStr, int nMaxCount) const
{
    CWnd* item = GetDlgItem(nID);
    if (!item) {
        if (lpStr && nMaxCount > 0) *lpStr = '\0';
        return 0;
    }
    return item->GetWindowText(lpStr, nMaxCount);
}

void CDialog::SetDlgItemInt(int nID, UINT nValue, BOOL bSigned)
{
    char text[32];
    if (bSigned)
        std::snprintf(text, sizeof text, "%d", static_cast<int>(nValue));
    else
        std::snprintf(text, sizeof text, "%u", nValue);
    SetDlgItemText(nID, text);
}

UINT CDialog::GetDlgItemInt(int nID, BOOL* lpTrans, BOOL bSigned) const
{
    CString text;
    GetDlgItemText(nID, text);
    bool ok = false;
    UINT value = 0;
    if (bSigned) {
        int parsed = 0;
        ok = platform::ParseInt(text.c_str(), parsed);
        if (ok) value = static_cast<UINT>(parsed);
    } else {
        unsigned parsed = 0;
        ok = platform::ParseUnsigned(text.c_str(), parsed);
        if (ok) value = parsed;
    }
    if (lpTrans) *lpTrans = ok ? TRUE : FALSE;
    return ok ? value : 0;
}

void CDialog::CheckDlgButton(int nIDButton, UINT nCheck)
{
    SendDlgItemMessage(nIDButton, BM_SETCHECK, nCheck);
}

UINT CDialog::IsDlgButtonChecked(int nIDButton) const
{
    CWnd* item = GetDlgItem(nIDButton);
    return item ? static_cast<UINT>(item->SendMessage(BM_GETCHECK)) : 0;
}

void CDialog::CheckRadioButton(int nIDFirstButton, int nIDLastButton, int nIDCheckButton)
{
    for (int id = nIDFirstButton; id <= nIDLastButton; ++id)
        CheckDlgButton(id, id == nIDCheckButton ? BST_CHECKED : BST_UNCHECKED);
}

LRESULT CDialog::SendDlgItemMessage(int nID, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWnd* item = GetDlgItem(nID);
    return item ? item->SendMessage(message, wParam, lParam) : 0;
}

void CDialog::GotoDlgCtrl(CWnd* pWndCtrl)
{
    if (!pWndCtrl) return;
    pWndCtrl->SetFocus();
    // Entering a text field selects its text, so typing replaces it.
    if (IsClass(pWndCtrl, "Edit")) pWndCtrl->SendMessage(EM_SETSEL, 0, static_cast<LPARAM>(-1));
}

CWnd* CDialog::GetNextDlgTabItem(CWnd* pWndCtl, BOOL bPrevious) const
{
    std::vector<CWnd*> stops;
    for (CWnd* child = GetWindow(GW_CHILD); child; child = child->GetWindow(GW_HWNDNEXT)) {
        const DWORD style = child->GetStyle();
        // Shown within the dialog (the dialog itself may still be hidden).
        const bool shown = child->GetWidget() && !child->GetWidget()->isHidden();
        if ((style & WS_TABSTOP) && shown && child->IsWindowEnabled()) stops.push_back(child);
    }
    if (stops.empty()) return nullptr;
    if (!pWndCtl) return bPrevious ? stops.back() : stops.front();
    // Position of the given control among all children, then the next tab stop from there.
    std::vector<CWnd*> all;
    for (CWnd* child = GetWindow(GW_CHILD); child; child = child->GetWindow(GW_HWNDNEXT))
        all.push_back(child);
    const auto at = std::find(all.begin(), all.end(), pWndCtl);
    if (at == all.end()) return stops.front();
    const std::size_t n = all.size();
    const std::size_t index = static_cast<std::size_t>(at - all.begin());
    for (std::size_t k = 1; k <= n; ++k) {
        CWnd* candidate = all[bPrevious ? (index + n - k) % n : (index + k) % n];
        if (std::find(stops.begin(), stops.end(), candidate) != stops.end()) return candidate;
    }
    return nullptr;
}

void CDialog::NextDlgCtrl() const
{
    CWnd* focus = GetFocus();
    CWnd* next = GetNextDlgTabItem(focus && IsChild(focus) ? focus : nullptr, FALSE);
    if (next) const_cast<CDialog*>(this)->GotoDlgCtrl(next);
}

void CDialog::PrevDlgCtrl() const
{
    CWnd* focus = GetFocus();
    CWnd* previous = GetNextDlgTabItem(focus && IsChild(focus) ? focus : nullptr, TRUE);
    if (previous) const_cast<CDialog*>(this)->GotoDlgCtrl(previous);
}

void CDialog::SetDefID(UINT nID)
{
    // The old default button becomes a plain push button, the new one the default.
    if (CWnd* old = GetDlgItem(m_defId); old && IsPushButton(old))
        old->SendMessage(BM_SETSTYLE, BS_PUSHBUTTON);
    m_defId = static_cast<int>(nID);
    if (CWnd* item = GetDlgItem(m_defId); item && IsPushButton(item))
        item->SendMessage(BM_SETSTYLE, BS_DEFPUSHBUTTON);
}

DWORD CDialog::GetDefID() const
{
    return MAKELONG(static_cast<WORD>(m_defId), DC_HASDEFID);
}

void CDialog::MapDialogRect(LPRECT lpRect) const
{
    if (lpRect) *lpRect = platform::DialogUnitsToPixels(CRect(*lpRect), m_baseUnits);
}

LRESULT CDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
        case WM_INITDIALOG:
            return OnInitDialog();
        case DM_GETDEFID:
            return static_cast<LRESULT>(GetDefID());
        case DM_SETDEFID:
            SetDefID(static_cast<UINT>(wParam));
            return TRUE;
        case WM_CLOSE:
            if (!FindMessageEntry(WM_CLOSE)) {
                // Closing a dialog is its Cancel.
                SendMessage(WM_COMMAND, MAKEWPARAM(static_cast<WORD>(IDCANCEL), BN_CLICKED),
                            reinterpret_cast<LPARAM>(
                                GetDlgItem(IDCANCEL) ? GetDlgItem(IDCANCEL)->GetSafeHwnd() : nullptr));
                return 0;
            }
            break;
        default:
            break;
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

BOOL CDialog::PreTranslateMessage(MSG* pMsg)
{
    if (pMsg->message != WM_KEYDOWN) return CWnd::PreTranslateMessage(pMsg);
    CWnd* target = CWnd::FromHandle(pMsg->hwnd);
    if (!target || (target != this && !IsChild(target))) return FALSE;
    const auto command = [this](int id) {
        CWnd* button = GetDlgItem(id);
        if (button && !button->IsWindowEnabled()) return;
        SendMessage(WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), BN_CLICKED),
                    reinterpret_cast<LPARAM>(button ? button->GetSafeHwnd() : nullptr));
    };
    switch (pMsg->wParam) {
        case VK_ESCAPE:
            command(IDCANCEL);
            return TRUE;
        case VK_RETURN:
            if (IsClass(target, "Edit") && (target->GetStyle() & ES_MULTILINE)) return FALSE;  // a new line
            if (target != this && IsPushButton(target)) {
                target->SendMessage(BM_CLICK);
                return TRUE;
            }
            command(m_defId);
            return TRUE;
        case VK_TAB:
            if (GetKeyState(VK_SHIFT) < 0)
                PrevDlgCtrl();
            else
                NextDlgCtrl();
            return TRUE;
        default:
            return FALSE;
    }
}
