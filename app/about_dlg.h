#pragma once

// The About box: the product's name and version, and two links to the project (a mail
// address and the web page). Run modally from the "?" menu and the system menu.

#include "app/hyperlink.h"
#include "platform/dialogs/dialog.h"

constexpr UINT IDD_ABOUTBOX = 100;
constexpr int IDC_ABOUT_WEB = 1017;
constexpr int IDC_ABOUT_TEXT = 1018;
constexpr int IDC_ABOUT_MAIL = 1020;

class CAboutDlg : public CDialog {
public:
    explicit CAboutDlg(CWnd* pParent = nullptr);

    CHyperLink m_mail;  ///< 1020
    CHyperLink m_web;   ///< 1017
    CString m_strText;  ///< shown by 1018

protected:
    void DoDataExchange(CDataExchange* pDX) override;
};
