#pragma once

// The basic scalar and handle types the suite's code is written against. Handles are
// opaque pointers; message parameters are pointer-sized so that records travel in them.

#include <cstddef>
#include <cstdint>

using BOOL = int;
using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = unsigned int;
using LONG = std::int32_t;
using ULONG = std::uint32_t;
using LONGLONG = std::int64_t;
using ULONGLONG = std::uint64_t;
using INT_PTR = std::intptr_t;
using UINT_PTR = std::uintptr_t;
using LONG_PTR = std::intptr_t;
using DWORD_PTR = std::uintptr_t;
using WPARAM = UINT_PTR;
using LPARAM = LONG_PTR;
using LRESULT = LONG_PTR;
using COLORREF = DWORD;
using TCHAR = char;
using LPSTR = char*;
using LPCSTR = const char*;
using LPTSTR = char*;
using LPCTSTR = const char*;
using LPVOID = void*;
using LPCVOID = const void*;

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

struct HWND__;
struct HINSTANCE__;
struct HMENU__;
struct HDC__;
struct HGDIOBJ__;
struct HRGN__;
struct HBITMAP__;
struct HICON__;
struct HCURSOR__;
struct HKEY__;
using HWND = HWND__*;
using HINSTANCE = HINSTANCE__*;
using HMODULE = HINSTANCE__*;
using HMENU = HMENU__*;
using HDC = HDC__*;
using HGDIOBJ = HGDIOBJ__*;
using HRGN = HRGN__*;
using HBITMAP = HBITMAP__*;
using HICON = HICON__*;
using HCURSOR = HCURSOR__*;
using HKEY = HKEY__*;
using HANDLE = void*;

#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1)))

struct POINT {
    LONG x;
    LONG y;
};
struct SIZE {
    LONG cx;
    LONG cy;
};
struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};
using LPRECT = RECT*;
using LPCRECT = const RECT*;
using LPPOINT = POINT*;

struct GUID {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];
};

constexpr WORD LOWORD(std::uintptr_t v)
{
    return static_cast<WORD>(v & 0xFFFF);
}
constexpr WORD HIWORD(std::uintptr_t v)
{
    return static_cast<WORD>((v >> 16) & 0xFFFF);
}
constexpr BYTE LOBYTE(std::uintptr_t v)
{
    return static_cast<BYTE>(v & 0xFF);
}
constexpr DWORD MAKELONG(WORD lo, WORD hi)
{
    return DWORD(lo) | (DWORD(hi) << 16);
}
constexpr WPARAM MAKEWPARAM(WORD lo, WORD hi)
{
    return MAKELONG(lo, hi);
}
constexpr LPARAM MAKELPARAM(WORD lo, WORD hi)
{
    return static_cast<LPARAM>(MAKELONG(lo, hi));
}
/// Signed coordinates packed into a message parameter (mouse positions).
constexpr int GET_X_LPARAM(LPARAM v)
{
    return static_cast<std::int16_t>(LOWORD(static_cast<std::uintptr_t>(v)));
}
constexpr int GET_Y_LPARAM(LPARAM v)
{
    return static_cast<std::int16_t>(HIWORD(static_cast<std::uintptr_t>(v)));
}

constexpr COLORREF RGB(BYTE r, BYTE g, BYTE b)
{
    return COLORREF(r) | (COLORREF(g) << 8) | (COLORREF(b) << 16);
}
constexpr BYTE GetRValue(COLORREF c)
{
    return static_cast<BYTE>(c & 0xFF);
}
constexpr BYTE GetGValue(COLORREF c)
{
    return static_cast<BYTE>((c >> 8) & 0xFF);
}
constexpr BYTE GetBValue(COLORREF c)
{
    return static_cast<BYTE>((c >> 16) & 0xFF);
}

/// Longest path the suite's fixed path buffers hold, terminating zero included.
#ifndef MAX_PATH
#define MAX_PATH 260
#endif

/// A resource or export named by a small number instead of a name.
#ifndef MAKEINTRESOURCE
#define MAKEINTRESOURCEA(i) (reinterpret_cast<LPSTR>(static_cast<std::uintptr_t>(static_cast<WORD>(i))))
#define MAKEINTRESOURCE MAKEINTRESOURCEA
#define IS_INTRESOURCE(p) ((reinterpret_cast<std::uintptr_t>(p) >> 16) == 0)
#endif

#define PLATFORM_API __attribute__((visibility("default")))
