#pragma once

// The file dialog of the suite for layer files. Open and save go through the platform's
// file dialog; after an open, the chosen file is described (size, type, caption and
// description texts), and for a complex layer a small dialog shows that description and
// asks which component to open: amplitude, phase, real or imaginary part (GetWhat).

#include <cstdint>

#include "platform/common_dialogs/file_dialog.h"
#include "platform/cstring.h"
#include "platform/dialogs/dialog.h"

/// Template and control ids of the component dialog (the core library's resource range).
inline constexpr UINT IDD_INFO_FILE_COMPONENT = 62540;
inline constexpr int IDC_INFO_FILE_NAME = 62541;
inline constexpr int IDC_INFO_FILE_FORMAT = 62542;
inline constexpr int IDC_INFO_FILE_CAPTION = 62543;
inline constexpr int IDC_INFO_FILE_DESCRIPTION = 62544;
inline constexpr int IDC_INFO_FILE_AMPLITUDE = 62545;  ///< then phase, real, imaginary in order
inline constexpr int IDC_INFO_FILE_PHASE = 62546;
inline constexpr int IDC_INFO_FILE_REAL = 62547;
inline constexpr int IDC_INFO_FILE_IMAGINARY = 62548;

/// What the dialog tells of a file.
struct SLayerFileInfo {
    bool exists = false;
    bool isLayer = false;  ///< a readable layer file
    std::int64_t fileBytes = 0;
    int layers = 0;  ///< layers in the file
    int width = 0;   ///< of layer 0
    int height = 0;
    int type = 0;  ///< data type code of layer 0
    bool complex = false;
    CString caption;      ///< tag 600 (empty when absent)
    CString description;  ///< tag 601 (empty when absent)

    /// One line: "512 x 256, C64, 1048640 bytes"; "Not a layer file" or "File not found".
    CString FormatLine() const;
    /// The line above, then the caption and the description on lines of their own when present.
    CString FormatText() const;
};

class CInfoFileDialog : public CFileDialog {
public:
    CInfoFileDialog(BOOL bOpenFileDialog, LPCTSTR lpszDefExt = nullptr, LPCTSTR lpszFileName = nullptr,
                    DWORD dwFlags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, LPCTSTR lpszFilter = nullptr,
                    CWnd* pParentWnd = nullptr);

    /// IDOK with the chosen path and, for a complex layer opened, the chosen component;
    /// IDCANCEL when the file choice or the component choice is cancelled.
    INT_PTR DoModal() override;

    /// The component to open: 0 amplitude, 1 phase, 2 real part, 3 imaginary part. 0 for
    /// real layers, other files and saves.
    int GetWhat() const { return m_nWhat; }
    /// Whether a complex layer chosen to open asks for its component (it does unless the
    /// caller reads the layer whole).
    void SetAskComponent(bool ask) { m_askComponent = ask; }
    /// The description of the chosen file (after an open or save with IDOK).
    const SLayerFileInfo& GetFileInfo() const { return m_info; }

    /// Describes any path; never fails (the fields say what could be read).
    static SLayerFileInfo DescribeFile(LPCTSTR path);

private:
    int m_nWhat = 0;
    bool m_askComponent = true;
    SLayerFileInfo m_info;
};

/// The component question shown after a complex layer is chosen.
class CInfoFileComponentDlg : public CDialog {
public:
    CInfoFileComponentDlg(const CString& path, const SLayerFileInfo& info, int what, CWnd* parent);
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    /// The checked component (0..3) after IDOK.
    int GetWhat() const { return m_nWhat; }

private:
    CString m_path;
    const SLayerFileInfo& m_info;
    int m_nWhat;
};
