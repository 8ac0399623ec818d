#include "app/about_dlg.h"

#include "platform/controls/button.h"
#include "platform/dialogs/data_exchange.h"
#include "platform/resources/module_resources.h"

namespace {

constexpr platform::DialogControl kAboutControls[] = {
    {"Static", "Tarvenix  Version 2.0", IDC_STATIC, 12, 10, 200, 10, SS_LEFT | SS_NOPREFIX},
    {"Static", "", IDC_ABOUT_TEXT, 12, 24, 200, 26, SS_LEFT | SS_NOPREFIX},
    {"Static", "E-mail:", IDC_STATIC, 12, 56, 36, 9, SS_LEFT},
    {"Static", "support@orvane.example", IDC_ABOUT_MAIL, 50, 56, 160, 9, SS_LEFT | SS_NOPREFIX},
    {"Static", "Web:", IDC_STATIC, 12, 68, 36, 9, SS_LEFT},
    {"Static", "www.orvane.example/tarvenix", IDC_ABOUT_WEB, 50, 68, 160, 9, SS_LEFT | SS_NOPREFIX},
    {"Button", "OK", IDOK, 162, 84, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP},
};

constexpr platform::DialogTemplate kAboutTemplates[] = {
    {IDD_ABOUTBOX, "About Tarvenix", DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, "MS Sans Serif",
     8, 0, 0, 224, 106, kAboutControls},
};

constexpr platform::ModuleResources kAboutResources{.module = "Tarvenix About", .dialogs = kAboutTemplates};

void RegisterAboutResources()
{
    // Registered on first use: the program's code is a static library (see app_resources.cpp).
    static const platform::ModuleResourceRegistration registration(kAboutResources);
}

}  // namespace

CAboutDlg::CAboutDlg(CWnd* pParent) : CDialog(IDD_ABOUTBOX, pParent)
{
    RegisterAboutResources();
    m_strText = "Viewing and processing of radar rasters.\nCopyright (C) Orvane.";
    m_mail.SetURL("mailto:support@orvane.example");
    m_web.SetURL("https://www.orvane.example/tarvenix");
}

void CAboutDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_ABOUT_MAIL, m_mail);
    DDX_Control(pDX, IDC_ABOUT_WEB, m_web);
    DDX_Text(pDX, IDC_ABOUT_TEXT, m_strText);
}
