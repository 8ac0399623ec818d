#pragma once

// Message boxes and the modal gateway. Every modal question of the suite (message boxes,
// modal loops of dialogs, file and folder pickers, the colour dialog) passes through the
// gateway. Normally it shows the real thing; when a responder is installed (the tests
// install one), the responder answers instead, records what was asked, and nothing waits
// for a person.
//
// Whoever builds a modal dialog routes it like this:
//
//     platform::FileAnswer CFileDialog::Ask(const platform::FileQuestion& q)
//     {
//         return platform::AskModal(q, [&] { return ShowQtFileDialog(q); });
//     }
//
// Modal loops of windows go through CWnd::RunModalLoop, which asks the responder itself.

#include <functional>
#include <vector>

#include "platform/cstring.h"
#include "platform/types.h"
#include "platform/window/ui_thread.h"

class CWnd;
class QImage;

constexpr UINT MB_OK = 0x00000000;
constexpr UINT MB_OKCANCEL = 0x00000001;
constexpr UINT MB_ABORTRETRYIGNORE = 0x00000002;
constexpr UINT MB_YESNOCANCEL = 0x00000003;
constexpr UINT MB_YESNO = 0x00000004;
constexpr UINT MB_RETRYCANCEL = 0x00000005;
constexpr UINT MB_TYPEMASK = 0x0000000F;
constexpr UINT MB_ICONHAND = 0x00000010;
constexpr UINT MB_ICONERROR = MB_ICONHAND;
constexpr UINT MB_ICONSTOP = MB_ICONHAND;
constexpr UINT MB_ICONQUESTION = 0x00000020;
constexpr UINT MB_ICONEXCLAMATION = 0x00000030;
constexpr UINT MB_ICONWARNING = MB_ICONEXCLAMATION;
constexpr UINT MB_ICONASTERISK = 0x00000040;
constexpr UINT MB_ICONINFORMATION = MB_ICONASTERISK;
constexpr UINT MB_ICONMASK = 0x000000F0;
constexpr UINT MB_DEFBUTTON1 = 0x00000000;
constexpr UINT MB_DEFBUTTON2 = 0x00000100;
constexpr UINT MB_DEFBUTTON3 = 0x00000200;
constexpr UINT MB_DEFMASK = 0x00000F00;
constexpr UINT MB_APPLMODAL = 0x00000000;
constexpr UINT MB_SYSTEMMODAL = 0x00001000;
constexpr UINT MB_TASKMODAL = 0x00002000;
constexpr UINT MB_SETFOREGROUND = 0x00010000;
constexpr UINT MB_TOPMOST = 0x00040000;

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDABORT = 3;
constexpr int IDRETRY = 4;
constexpr int IDIGNORE = 5;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

/// Shows a message box (from any thread: a worker's box is shown by the user-interface
/// thread, which keeps answering other threads' sends while it is up). A null caption is
/// "Error", as the system has it. Returns the id of the button chosen.
PLATFORM_API int MessageBox(HWND hWnd, LPCTSTR lpText, LPCTSTR lpCaption, UINT uType);
#define MessageBoxA MessageBox
/// A message box owned by the main window, captioned with the application's name.
PLATFORM_API int AfxMessageBox(LPCTSTR lpszText, UINT nType = MB_OK, UINT nIDHelp = 0);
/// The same with the text of string nIDPrompt.
PLATFORM_API int AfxMessageBox(UINT nIDPrompt, UINT nType = MB_OK, UINT nIDHelp = static_cast<UINT>(-1));

namespace platform {

struct MessageBoxQuestion {
    HWND owner = nullptr;
    CString caption;
    CString text;
    UINT type = MB_OK;
    UINT Buttons() const { return type & MB_TYPEMASK; }
    UINT Icon() const { return type & MB_ICONMASK; }
    /// The button ids of the box, in order.
    std::vector<int> ButtonIds() const;
    /// What closing the box without a choice yields (Esc, or no answer at all).
    int EscapeAnswer() const;
};

/// A window's modal loop (a modal dialog).
struct DialogQuestion {
    CWnd* window = nullptr;
    CString caption;
    CString className;
};

struct FileQuestion {
    HWND owner = nullptr;
    bool save = false;  ///< a save dialog; else an open dialog
    bool multiSelect = false;
    bool overwritePrompt = false;
    CString caption;
    CString initialDir;
    CString fileName;  ///< proposed name
    CString filter;    ///< "Text (*.txt)|*.txt|All files (*.*)|*.*||"
    CString defaultExt;
    /// When set, a text about the file under the cursor (size, type, ...), shown beside the
    /// list as the user moves through it.
    std::function<CString(const CString& path)> describe;
};
struct FileAnswer {
    bool ok = false;
    std::vector<CString> paths;
    int filterIndex = 1;
};

struct FolderQuestion {
    HWND owner = nullptr;
    CString caption;
    CString initialDir;
};
struct FolderAnswer {
    bool ok = false;
    CString path;
};

struct ColorQuestion {
    HWND owner = nullptr;
    COLORREF initial = 0;
};
struct ColorAnswer {
    bool ok = false;
    COLORREF color = 0;
};

/// A popup menu (TrackPopupMenu): what it shows, flattened in order; items of sub-menus
/// follow their popup item with a greater depth.
struct PopupMenuItem {
    UINT id = 0;  ///< 0 for separators and popup items
    CString text;
    bool popup = false;
    bool separator = false;
    bool enabled = true;
    bool checked = false;
    int depth = 0;
};
struct PopupMenuQuestion {
    HWND owner = nullptr;
    HMENU menu = nullptr;
    UINT flags = 0;  ///< TPM_ flags
    int x = 0;
    int y = 0;
    std::vector<PopupMenuItem> items;
};

/// Answers modal questions instead of a person. Called on the user-interface thread.
class PLATFORM_API ModalResponder {
public:
    virtual ~ModalResponder() = default;
    virtual int AnswerMessageBox(const MessageBoxQuestion& question) = 0;
    /// Stands in for the window's modal loop: drives the window as the user would until
    /// its EndModalLoop is called; RunModalLoop then returns the window's result.
    virtual void RunModal(CWnd& window, const DialogQuestion& question) = 0;
    virtual FileAnswer AnswerFile(const FileQuestion& question) = 0;
    virtual FolderAnswer AnswerFolder(const FolderQuestion& question) = 0;
    virtual ColorAnswer AnswerColor(const ColorQuestion& question) = 0;
    /// The command chosen from a popup menu; 0 dismisses the menu.
    virtual UINT AnswerPopupMenu(const PopupMenuQuestion& /*question*/) { return 0; }
};

/// Installs the responder (null: real dialogs again). The caller keeps it alive.
PLATFORM_API void SetModalResponder(ModalResponder* responder);
PLATFORM_API ModalResponder* GetModalResponder();

/// The gateway for the pickers: on the user-interface thread the responder answers, or
/// else `show` runs the real dialog. From another thread the question is carried over.
PLATFORM_API FileAnswer AskModal(const FileQuestion& question, const std::function<FileAnswer()>& show);
PLATFORM_API FolderAnswer AskModal(const FolderQuestion& question, const std::function<FolderAnswer()>& show);
PLATFORM_API ColorAnswer AskModal(const ColorQuestion& question, const std::function<ColorAnswer()>& show);
/// Returns the command chosen from the popup menu (0: none).
PLATFORM_API UINT AskModal(const PopupMenuQuestion& question, const std::function<UINT()>& show);

/// The message box the question shows, drawn as a picture (for tests, which answer it
/// without showing it).
PLATFORM_API QImage MessageBoxPicture(const MessageBoxQuestion& question);

}  // namespace platform
