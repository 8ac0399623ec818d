#pragma once

// The file dialog (open and save). It asks through the modal gateway, so tests answer it
// with the responder; the real dialog is Qt's. The filter has the "Text|pattern|...||" form.
// After the choice the dialog appends the default extension to a name without one, and it
// asks the overwrite question (OFN_OVERWRITEPROMPT) and checks that an opened file exists
// (OFN_FILEMUSTEXIST) with message boxes, showing the dialog again when the answer sends
// the user back.

#include <functional>
#include <string>
#include <vector>

#include "platform/cstring.h"
#include "platform/types.h"

class CWnd;

constexpr DWORD OFN_READONLY = 0x00000001;
constexpr DWORD OFN_OVERWRITEPROMPT = 0x00000002;
constexpr DWORD OFN_HIDEREADONLY = 0x00000004;
constexpr DWORD OFN_NOCHANGEDIR = 0x00000008;
constexpr DWORD OFN_ALLOWMULTISELECT = 0x00000200;
constexpr DWORD OFN_PATHMUSTEXIST = 0x00000800;
constexpr DWORD OFN_FILEMUSTEXIST = 0x00001000;
constexpr DWORD OFN_CREATEPROMPT = 0x00002000;
constexpr DWORD OFN_SHAREAWARE = 0x00004000;
constexpr DWORD OFN_NOREADONLYRETURN = 0x00008000;
constexpr DWORD OFN_EXPLORER = 0x00080000;
constexpr DWORD OFN_ENABLESIZING = 0x00800000;

struct OPENFILENAME {
    DWORD lStructSize = sizeof(OPENFILENAME);
    HWND hwndOwner = nullptr;
    LPCTSTR lpstrFilter = nullptr;  ///< the filter as given ("Text|*.txt||")
    DWORD nFilterIndex = 1;         ///< 1-based; the chosen filter after DoModal
    LPTSTR lpstrFile = nullptr;     ///< the chosen path after DoModal
    DWORD nMaxFile = 0;
    LPCTSTR lpstrInitialDir = nullptr;
    LPCTSTR lpstrTitle = nullptr;
    DWORD Flags = 0;
    LPCTSTR lpstrDefExt = nullptr;
};

namespace platform {
struct FileFilter {
    CString description;
    std::vector<CString> patterns;  ///< "*.txt", from "*.txt;*.text"
};
/// The pairs of a "Text|*.txt;*.text|All files|*.*||" filter; a description without
/// its pattern part is left out.
PLATFORM_API std::vector<FileFilter> ParseFileFilter(const CString& filter);
/// The text the picker lists for filter: its description, and its patterns in brackets
/// unless the description ends with them already.
PLATFORM_API std::string FileFilterText(const FileFilter& filter);
}  // namespace platform

class PLATFORM_API CFileDialog {
public:
    OPENFILENAME m_ofn;

    CFileDialog(BOOL bOpenFileDialog, LPCTSTR lpszDefExt = nullptr, LPCTSTR lpszFileName = nullptr,
                DWORD dwFlags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, LPCTSTR lpszFilter = nullptr,
                CWnd* pParentWnd = nullptr, DWORD dwSize = 0, BOOL bVistaStyle = TRUE);
    virtual ~CFileDialog() = default;
    CFileDialog(const CFileDialog&) = delete;
    CFileDialog& operator=(const CFileDialog&) = delete;

    /// IDOK with the chosen path(s), or IDCANCEL.
    virtual INT_PTR DoModal();

    CString GetPathName() const;
    /// The name with its extension.
    CString GetFileName() const;
    /// The extension without the dot; empty when there is none.
    CString GetFileExt() const;
    /// The name without its extension.
    CString GetFileTitle() const;
    CString GetFolderPath() const;
    /// Every chosen path (more than one with OFN_ALLOWMULTISELECT).
    const std::vector<CString>& GetPathNames() const { return m_paths; }
    BOOL GetReadOnlyPref() const { return (m_ofn.Flags & OFN_READONLY) ? TRUE : FALSE; }

protected:
    /// A text about the file under the cursor, shown beside the list while the user chooses
    /// (null: none).
    void SetFileDescriber(std::function<CString(const CString& path)> describe)
    {
        m_describe = std::move(describe);
    }

    BOOL m_bOpenFileDialog;
    CWnd* m_pParentWnd;

private:
    CString m_filter;
    CString m_defExt;
    CString m_fileName;
    CString m_initialDir;
    CString m_title;
    std::vector<CString> m_paths;
    std::vector<char> m_fileBuffer;
    std::function<CString(const CString& path)> m_describe;
};
