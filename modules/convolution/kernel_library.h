#pragma once

// The kernel library: a folder tree of mask files (".rdp") and links to masks elsewhere
// (".lnk", our own link files), read for the convolution dialog's tree. No Qt and no window
// here: the walk is a plain function, tested and timed on its own.

#include <cstddef>
#include <vector>

#include "platform/common_dialogs/folder_browser.h"
#include "platform/cstring.h"
#include "platform/types.h"

/// Folders deeper than this below the library are not read.
inline constexpr int kMaxLibraryDepth = 16;
/// The most of a "Description.dat" read as a folder's caption.
inline constexpr std::size_t kMaxDescriptionBytes = 4096;

/// True when the last four characters of `name` are ".rdp" or ".lnk" in any letter case.
bool HasMaskExtension(const char* name);
/// True when the last four characters of `name` are ".lnk" in any letter case.
bool IsMaskShortcut(const char* name);

/// The content of a small text file, byte for byte (line breaks kept), at most
/// kMaxDescriptionBytes; empty when it cannot be read.
CString GetCaptionFromFile(const char* path);
/// A leaf's caption: the file's caption tag (600), else its name without the last four
/// characters.
CString MaskLeafCaption(const char* path);
/// A mask's name: its caption tag, else the file name without its extension.
CString MaskTitle(const char* path);

/// One folder or leaf of the library, in the order the folder listing gives them.
struct LibraryNode {
    bool folder = false;
    CString caption;
    CString path;  ///< full path: the folder, or the leaf file itself (".rdp" or ".lnk")
    std::vector<LibraryNode> children;
};
/// Reads the library under `folder`: sub-folders (captioned from their "Description.dat",
/// else their name) and mask leaves. Links to folders are not followed, and folders deeper
/// than kMaxLibraryDepth are left out. Empty when the folder cannot be read.
std::vector<LibraryNode> ReadKernelLibrary(const char* folder);

/// Writes the link file `link` naming `target`, with `description`. S_OK, or E_FAIL when
/// it cannot be written (an existing file of that name is then unchanged).
HRESULT CreateMaskShortcut(const char* target, const char* link, const char* description);
/// The target of the link file `link` into `target` (emptied first). S_OK, or E_FAIL when
/// the file is missing or not one of our link files.
HRESULT ResolveMaskShortcut(HWND owner, const char* link, CString& target);
