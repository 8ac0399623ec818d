#include "platform/dialogs/data_exchange.h"

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <strings.h>

#include "platform/controls/button.h"
#include "platform/controls/edit.h"
#include "platform/controls/list_controls.h"
#include "platform/numbers/numbers.h"
#include "platform/window/modal.h"

// Slider messages (the trackbar answers them).
constexpr UINT kTbmGetPos = WM_USER;
constexpr UINT kTbmSetPos = WM_USER + 5;

namespace {

CString Replace12(const char* pattern, const CString& one, const CString& two = CString())
{
    std::string text = pattern;
    for (auto [mark, value] : {std::pair<const char*, const CString*>{"%1", &one}, {"%2", &two}}) {
        const auto at = text.find(mark);
        if (at != std::string::npos) text.replace(at, 2, value->c_str());
    }
    return CString(text.c_str());
}

CString Format(const char* format, auto value)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return CString(buffer);
}

[[noreturn]] void FailWith(CDataExchange* pDX, const CString& message)
{
    AfxMessageBox(message, MB_ICONEXCLAMATION);
    pDX->Fail();
}

CString TextOf(HWND hwnd)
{
    CString text;
    if (CWnd* wnd = CWnd::FromHandle(hwnd)) wnd->GetWindowText(text);
    return text;
}

void SetTextOf(HWND hwnd, const CString& text)
{
    if (CWnd* wnd = CWnd::FromHandle(hwnd)) wnd->SetWindowText(text);
}

template <class T>
T* ControlOf(HWND hwnd)
{
    return dynamic_cast<T*>(CWnd::FromHandle(hwnd));
}

constexpr const char* kIntegerMessage = "Please enter an integer.";
constexpr const char* kNumberMessage = "Please enter a number.";
constexpr const char* kIntegerRange = "Please enter an integer between %1 and %2.";
constexpr const char* kNumberRange = "Please enter a number between %1 and %2.";
constexpr const char* kMaxChars = "Please enter no more than %1 characters.";

}  // namespace

HWND CDataExchange::PrepareCtrl(int nIDC)
{
    CWnd* control = m_pDlgWnd ? m_pDlgWnd->GetDlgItem(nIDC) : nullptr;
    if (!control) {
        std::fprintf(stderr, "tarvenix: data exchange: the dialog has no control %d\n", nIDC);
        return nullptr;
    }
    m_hWndLastControl = control->GetSafeHwnd();
    m_bEditLastControl = FALSE;
    return m_hWndLastControl;
}

HWND CDataExchange::PrepareEditCtrl(int nIDC)
{
    const HWND hwnd = PrepareCtrl(nIDC);
    m_bEditLastControl = hwnd != nullptr;
    return hwnd;
}

void CDataExchange::Fail()
{
    if (CWnd* control = CWnd::FromHandle(m_hWndLastControl)) {
        control->SetFocus();
        if (m_bEditLastControl) control->SendMessage(EM_SETSEL, 0, static_cast<LPARAM>(-1));
    }
    throw CUserException();
}

void DDX_Text(CDataExchange* pDX, int nIDC, CString& value)
{
    const HWND hwnd = pDX->PrepareEditCtrl(nIDC);
    if (!hwnd) return;
    if (pDX->m_bSaveAndValidate)
        value = TextOf(hwnd);
    else
        SetTextOf(hwnd, value);
}

void DDX_Text(CDataExchange* pDX, int nIDC, int& value)
{
    const HWND hwnd = pDX->PrepareEditCtrl(nIDC);
    if (!hwnd) return;
    if (!pDX->m_bSaveAndValidate) return SetTextOf(hwnd, Format("%d", value));
    int parsed = 0;
    if (!platform::ParseInt(TextOf(hwnd).c_str(), parsed)) FailWith(pDX, kIntegerMessage);
    value = parsed;
}

void DDX_Text(CDataExchange* pDX, int nIDC, UINT& value)
{
    const HWND hwnd = pDX->PrepareEditCtrl(nIDC);
    if (!hwnd) return;
    if (!pDX->m_bSaveAndValidate) return SetTextOf(hwnd, Format("%u", value));
    unsigned parsed = 0;
    if (!platform::ParseUnsigned(TextOf(hwnd).c_str(), parsed)) FailWith(pDX, kIntegerMessage);
    value = parsed;
}

void DDX_Text(CDataExchange* pDX, int nIDC, long& value)
{
    // A long field holds what the 32-bit LONG of the dialogs' data holds.
    const HWND hwnd = pDX->PrepareEditCtrl(nIDC);
    if (!hwnd) return;
    if (!pDX->m_bSaveAndValidate) return SetTextOf(hwnd, Format("%ld", value));
    int parsed = 0;
    if (!platform::ParseInt(TextOf(hwnd).c_str(), parsed)) FailWith(pDX, kIntegerMessage);
    value = parsed;
}

void DDX_Text(CDataExchange* pDX, int nIDC, double& value)
{
    const HWND hwnd = pDX->PrepareEditCtrl(nIDC);
    if (!hwnd) return;
    if (!pDX->m_bSaveAndValidate) return SetTextOf(hwnd, Format("%.15g", value));
    double parsed = 0;
    if (!platform::ParseDouble(TextOf(hwnd).c_str(), parsed)) FailWith(pDX, kNumberMessage);
    value = parsed;
}

void DDX_Text(CDataExchange* pDX, int nIDC, float& value)
{
    const HWND hwnd = pDX->PrepareEditCtrl(nIDC);
    if (!hwnd) return;
    if (!pDX->m_bSaveAndValidate) return SetTextOf(hwnd, Format("%.6g", static_cast<double>(value)));
    double parsed = 0;
    // A value a float cannot hold is not taken as infinity.
    if (!platform::ParseDouble(TextOf(hwnd).c_str(), parsed) || std::fabs(parsed) > FLT_MAX)
        FailWith(pDX, kNumberMessage);
    value = static_cast<float>(parsed);
}

void DDX_Radio(CDataExchange* pDX, int nIDC, int& value)
{
    const HWND hwnd = pDX->PrepareCtrl(nIDC);
    if (!hwnd) return;
    CWnd* first = CWnd::FromHandle(hwnd);
    if (pDX->m_bSaveAndValidate) value = -1;
    int index = 0;
    for (CWnd* button = first; button; button = button->GetWindow(GW_HWNDNEXT)) {
        if (button != first && (button->GetStyle() & WS_GROUP)) break;
        const DWORD type = button->GetStyle() & BS_TYPEMASK;
        if (strcasecmp(button->GetClassName().c_str(), "Button") != 0 ||
            (type != BS_RADIOBUTTON && type != BS_AUTORADIOBUTTON))
            continue;
        if (pDX->m_bSaveAndValidate) {
            if (button->SendMessage(BM_GETCHECK) == BST_CHECKED) value = index;
        } else {
            button->SendMessage(BM_SETCHECK, index == value ? BST_CHECKED : BST_UNCHECKED);
        }
        ++index;
    }
}

void DDX_Check(CDataExchange* pDX, int nIDC, int& value)
{
    const HWND hwnd = pDX->PrepareCtrl(nIDC);
    if (!hwnd) return;
    if (pDX->m_bSaveAndValidate)
        value = static_cast<int>(::SendMessage(hwnd, BM_GETCHECK, 0, 0));
    else
        ::SendMessage(hwnd, BM_SETCHECK, static_cast<WPARAM>(value), 0);
}

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl)
{
    if (rControl.GetSafeHwnd()) return;
    const HWND hwnd = pDX->PrepareCtrl(nIDC);
    if (hwnd) rControl.SubclassWindow(hwnd);
}

void DDX_CBIndex(CDataExchange* pDX, int nIDC, int& index)
{
    auto* combo = ControlOf<CComboBox>(pDX->PrepareCtrl(nIDC));
    if (!combo) return;
    if (pDX->m_bSaveAndValidate)
        index = combo->GetCurSel();
    else
        combo->SetCurSel(index);
}

void DDX_CBString(CDataExchange* pDX, int nIDC, CString& value)
{
    auto* combo = ControlOf<CComboBox>(pDX->PrepareCtrl(nIDC));
    if (!combo) return;
    const bool dropList = (combo->GetStyle() & 0x3) == CBS_DROPDOWNLIST;
    if (pDX->m_bSaveAndValidate) {
        if (dropList) {
            const int index = combo->GetCurSel();
            if (index >= 0)
                combo->GetLBText(index, value);
            else
                value.Empty();
        } else {
            combo->GetWindowText(value);
        }
        return;
    }
    // Select the first item that starts with the text; a drop-down shows the text as given.
    if (combo->SelectString(-1, value) == CB_ERR && dropList) combo->SetCurSel(-1);
    if (!dropList) combo->SetWindowText(value);
}

void DDX_LBIndex(CDataExchange* pDX, int nIDC, int& index)
{
    auto* list = ControlOf<CListBox>(pDX->PrepareCtrl(nIDC));
    if (!list) return;
    if (pDX->m_bSaveAndValidate)
        index = list->GetCurSel();
    else
        list->SetCurSel(index);
}

void DDX_LBString(CDataExchange* pDX, int nIDC, CString& value)
{
    auto* list = ControlOf<CListBox>(pDX->PrepareCtrl(nIDC));
    if (!list) return;
    if (pDX->m_bSaveAndValidate) {
        const int index = list->GetCurSel();
        if (index >= 0)
            list->GetText(index, value);
        else
            value.Empty();
    } else if (list->SelectString(-1, value) == LB_ERR) {
        list->SetCurSel(-1);
    }
}

void DDX_Slider(CDataExchange* pDX, int nIDC, int& value)
{
    const HWND hwnd = pDX->PrepareCtrl(nIDC);
    if (!hwnd) return;
    if (pDX->m_bSaveAndValidate)
        value = static_cast<int>(::SendMessage(hwnd, kTbmGetPos, 0, 0));
    else
        ::SendMessage(hwnd, kTbmSetPos, TRUE, static_cast<LPARAM>(value));
}

void DDV_MinMaxInt(CDataExchange* pDX, int value, int minVal, int maxVal)
{
    if (pDX->m_bSaveAndValidate && (value < minVal || value > maxVal))
        FailWith(pDX, Replace12(kIntegerRange, Format("%d", minVal), Format("%d", maxVal)));
}

void DDV_MinMaxUInt(CDataExchange* pDX, UINT value, UINT minVal, UINT maxVal)
{
    if (pDX->m_bSaveAndValidate && (value < minVal || value > maxVal))
        FailWith(pDX, Replace12(kIntegerRange, Format("%u", minVal), Format("%u", maxVal)));
}

void DDV_MinMaxLong(CDataExchange* pDX, long value, long minVal, long maxVal)
{
    if (pDX->m_bSaveAndValidate && (value < minVal || value > maxVal))
        FailWith(pDX, Replace12(kIntegerRange, Format("%ld", minVal), Format("%ld", maxVal)));
}

void DDV_MinMaxDouble(CDataExchange* pDX, const double& value, double minVal, double maxVal)
{
    if (pDX->m_bSaveAndValidate && !(value >= minVal && value <= maxVal))
        FailWith(pDX, Replace12(kNumberRange, Format("%.15g", minVal), Format("%.15g", maxVal)));
}

void DDV_MinMaxFloat(CDataExchange* pDX, const float& value, float minVal, float maxVal)
{
    if (pDX->m_bSaveAndValidate && !(value >= minVal && value <= maxVal))
        FailWith(pDX, Replace12(kNumberRange, Format("%.6g", static_cast<double>(minVal)),
                                Format("%.6g", static_cast<double>(maxVal))));
}

void DDV_MaxChars(CDataExchange* pDX, const CString& value, int nChars)
{
    if (pDX->m_bSaveAndValidate) {
        if (value.GetLength() > nChars) FailWith(pDX, Replace12(kMaxChars, Format("%d", nChars)));
        return;
    }
    if (pDX->m_hWndLastControl && pDX->m_bEditLastControl)
        ::SendMessage(pDX->m_hWndLastControl, EM_LIMITTEXT, static_cast<WPARAM>(nChars), 0);
}
