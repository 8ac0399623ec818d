#pragma once

// The folder picker in the shell's form: SHBrowseForFolder returns an item list (here a
// folder path in a block of its own) that SHGetPathFromIDList turns into a path and
// CoTaskMemFree (or the shell allocator) frees. It asks through the modal gateway.

#include "platform/types.h"

using HRESULT = LONG;
constexpr HRESULT S_OK = 0;
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005);

struct ITEMIDLIST;
using LPITEMIDLIST = ITEMIDLIST*;
using LPCITEMIDLIST = const ITEMIDLIST*;
using PIDLIST_ABSOLUTE = ITEMIDLIST*;

constexpr UINT BIF_RETURNONLYFSDIRS = 0x0001;
constexpr UINT BIF_DONTGOBELOWDOMAIN = 0x0002;
constexpr UINT BIF_RETURNFSANCESTORS = 0x0008;
constexpr UINT BIF_NEWDIALOGSTYLE = 0x0040;
constexpr UINT BIF_USENEWUI = 0x0050;

using BFFCALLBACK = int (*)(HWND, UINT, LPARAM, LPARAM);

struct BROWSEINFO {
    HWND hwndOwner = nullptr;
    LPCITEMIDLIST pidlRoot = nullptr;  ///< where browsing starts (null: anywhere)
    LPSTR pszDisplayName = nullptr;    ///< receives the chosen folder's name (MAX_PATH characters)
    LPCTSTR lpszTitle = nullptr;
    UINT ulFlags = 0;
    BFFCALLBACK lpfn = nullptr;
    LPARAM lParam = 0;
    int iImage = 0;
};
using LPBROWSEINFO = BROWSEINFO*;

/// The chosen folder as an item list, or null when the user cancelled.
PLATFORM_API LPITEMIDLIST SHBrowseForFolder(LPBROWSEINFO lpbi);
/// Writes the item list's path (MAX_PATH characters at most); FALSE for a null list.
PLATFORM_API BOOL SHGetPathFromIDList(LPCITEMIDLIST pidl, LPSTR pszPath);
/// An item list for a folder path (the start of a browse); null for an empty path.
PLATFORM_API LPITEMIDLIST ILCreateFromPath(LPCTSTR pszPath);
PLATFORM_API void ILFree(LPITEMIDLIST pidl);
PLATFORM_API void CoTaskMemFree(void* pv);

/// The shell allocator (what frees item lists).
struct IMalloc {
    virtual void Free(void* pv);
    virtual ULONG Release() { return 0; }
    virtual ~IMalloc() = default;
};
using LPMALLOC = IMalloc*;
PLATFORM_API HRESULT SHGetMalloc(LPMALLOC* ppMalloc);
