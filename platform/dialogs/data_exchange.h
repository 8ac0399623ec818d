#pragma once

// Dialog data exchange: DoDataExchange lists, per control, how its value travels between the
// control and a member (DDX_*) and what the member must satisfy (DDV_*, right after the DDX_
// of the same control). UpdateData(TRUE) reads and validates; a field that does not parse or
// is out of range shows the framework's message, gets the focus, and the exchange stops.

#include <exception>

#include "platform/cstring.h"
#include "platform/window/wnd.h"

/// Thrown by CDataExchange::Fail to stop an exchange (its message was already shown).
class CUserException : public std::exception {
public:
    const char* what() const noexcept override { return "data exchange failed"; }
};

class PLATFORM_API CDataExchange {
public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate)
        : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd)
    {
    }

    /// The control's window, remembered as the field a failure focuses; null (reported on
    /// stderr) when the dialog has no such control.
    HWND PrepareCtrl(int nIDC);
    HWND PrepareEditCtrl(int nIDC);
    /// Puts the focus on the last prepared control (selecting an edit's text) and throws CUserException.
    [[noreturn]] void Fail();

    BOOL m_bSaveAndValidate;
    CWnd* m_pDlgWnd;
    HWND m_hWndLastControl = nullptr;
    BOOL m_bEditLastControl = FALSE;
};

PLATFORM_API void DDX_Text(CDataExchange* pDX, int nIDC, CString& value);
PLATFORM_API void DDX_Text(CDataExchange* pDX, int nIDC, int& value);
/// UINT and DWORD (the same type here).
PLATFORM_API void DDX_Text(CDataExchange* pDX, int nIDC, UINT& value);
PLATFORM_API void DDX_Text(CDataExchange* pDX, int nIDC, long& value);
PLATFORM_API void DDX_Text(CDataExchange* pDX, int nIDC, double& value);
PLATFORM_API void DDX_Text(CDataExchange* pDX, int nIDC, float& value);
/// The index of the checked button of the radio group that starts at nIDC (-1: none).
PLATFORM_API void DDX_Radio(CDataExchange* pDX, int nIDC, int& value);
PLATFORM_API void DDX_Check(CDataExchange* pDX, int nIDC, int& value);
/// Attaches the control's window to rControl (once).
PLATFORM_API void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);
PLATFORM_API void DDX_CBIndex(CDataExchange* pDX, int nIDC, int& index);
PLATFORM_API void DDX_CBString(CDataExchange* pDX, int nIDC, CString& value);
PLATFORM_API void DDX_LBIndex(CDataExchange* pDX, int nIDC, int& index);
PLATFORM_API void DDX_LBString(CDataExchange* pDX, int nIDC, CString& value);
PLATFORM_API void DDX_Slider(CDataExchange* pDX, int nIDC, int& value);

PLATFORM_API void DDV_MinMaxInt(CDataExchange* pDX, int value, int minVal, int maxVal);
PLATFORM_API void DDV_MinMaxUInt(CDataExchange* pDX, UINT value, UINT minVal, UINT maxVal);
PLATFORM_API void DDV_MinMaxLong(CDataExchange* pDX, long value, long minVal, long maxVal);
PLATFORM_API void DDV_MinMaxDouble(CDataExchange* pDX, const double& value, double minVal, double maxVal);
PLATFORM_API void DDV_MinMaxFloat(CDataExchange* pDX, const float& value, float minVal, float maxVal);
/// Saving: fails on a longer text; loading: limits the edit to nChars.
PLATFORM_API void DDV_MaxChars(CDataExchange* pDX, const CString& value, int nChars);
