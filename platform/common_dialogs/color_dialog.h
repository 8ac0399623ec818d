#pragma once

// The colour dialog, asked through the modal gateway; the real dialog is Qt's.

#include "platform/types.h"

class CWnd;

constexpr DWORD CC_RGBINIT = 0x00000001;
constexpr DWORD CC_FULLOPEN = 0x00000002;
constexpr DWORD CC_PREVENTFULLOPEN = 0x00000004;
constexpr DWORD CC_ANYCOLOR = 0x00000100;

struct CHOOSECOLOR {
    DWORD lStructSize = sizeof(CHOOSECOLOR);
    HWND hwndOwner = nullptr;
    COLORREF rgbResult = 0;
    COLORREF* lpCustColors = nullptr;
    DWORD Flags = 0;
};

class PLATFORM_API CColorDialog {
public:
    CHOOSECOLOR m_cc;

    explicit CColorDialog(COLORREF clrInit = 0, DWORD dwFlags = 0, CWnd* pParentWnd = nullptr);
    virtual ~CColorDialog() = default;

    /// IDOK with the chosen colour, or IDCANCEL (the colour stays as it was).
    virtual INT_PTR DoModal();
    COLORREF GetColor() const { return m_cc.rgbResult; }
    void SetCurrentColor(COLORREF clr) { m_cc.rgbResult = clr; }

private:
    CWnd* m_pParentWnd;
};
