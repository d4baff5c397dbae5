#pragma once
// The basic value types of the window system our client is written against. Values and layouts
// are the public ones, so code reads the same as on the original platform.
#include <cstddef>
#include <cstdint>

using BOOL = int;
using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = unsigned int;
using LONG = std::int32_t;
using ULONG = std::uint32_t;
using ULONG_PTR = std::uintptr_t;
using UINT_PTR = std::uintptr_t;
using INT_PTR = std::intptr_t;
using LONG_PTR = std::intptr_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using HRESULT = std::int32_t;
using COLORREF = std::uint32_t;
using WCHAR = wchar_t;
using LPCWSTR = const wchar_t*;
using LPWSTR = wchar_t*;
using LPCTSTR = const wchar_t*;
using LPVOID = void*;

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;

// Handles are opaque numbers; a stale handle simply no longer resolves.
struct HWND__;
using HWND = HWND__*;
struct HDC__;
using HDC = HDC__*;
struct HGDIOBJ__;
using HGDIOBJ = HGDIOBJ__*;
using HBITMAP = HGDIOBJ;
using HBRUSH = HGDIOBJ;
struct HICON__;
using HICON = HICON__*;
struct HINSTANCE__;
using HINSTANCE = HINSTANCE__*;
using HMODULE = HINSTANCE;
struct HRSRC__;
using HRSRC = HRSRC__*;
struct HGLOBAL__;
using HGLOBAL = HGLOBAL__*;
using FARPROC = void (*)();

using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);

struct POINT {
    LONG x = 0;
    LONG y = 0;
};
struct SIZE {
    LONG cx = 0;
    LONG cy = 0;
};
struct RECT {
    LONG left = 0;
    LONG top = 0;
    LONG right = 0;
    LONG bottom = 0;
    LONG Width() const { return right - left; }
    LONG Height() const { return bottom - top; }
    bool operator==(const RECT&) const = default;
};

struct MSG {
    HWND hwnd = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    DWORD time = 0;  // also identifies the native event a key message came from
    POINT pt;
};

struct CREATESTRUCTW {
    LPVOID lpCreateParams = nullptr;
    HINSTANCE hInstance = nullptr;
    HWND hwndParent = nullptr;
    int cy = 0;
    int cx = 0;
    int y = 0;
    int x = 0;
    LONG style = 0;
    LPCWSTR lpszName = nullptr;
    LPCWSTR lpszClass = nullptr;
    DWORD dwExStyle = 0;
};

constexpr WORD LOWORD(std::uintptr_t v) {
    return static_cast<WORD>(v & 0xFFFF);
}
constexpr WORD HIWORD(std::uintptr_t v) {
    return static_cast<WORD>((v >> 16) & 0xFFFF);
}
constexpr WPARAM MAKEWPARAM(WORD lo, WORD hi) {
    return static_cast<WPARAM>(lo) | (static_cast<WPARAM>(hi) << 16);
}
constexpr LPARAM MAKELPARAM(int lo, int hi) {
    return static_cast<LPARAM>(static_cast<DWORD>(
        (static_cast<WORD>(lo)) | (static_cast<DWORD>(static_cast<WORD>(hi)) << 16)));
}
// Signed coordinates packed in an LPARAM, as WM_MOVE carries them.
constexpr int GET_X_LPARAM(LPARAM lp) {
    return static_cast<short>(LOWORD(static_cast<std::uintptr_t>(lp)));
}
constexpr int GET_Y_LPARAM(LPARAM lp) {
    return static_cast<short>(HIWORD(static_cast<std::uintptr_t>(lp)));
}
constexpr COLORREF RGB(BYTE r, BYTE g, BYTE b) {
    return r | (g << 8) | (static_cast<COLORREF>(b) << 16);
}
constexpr BYTE GetRValue(COLORREF c) {
    return c & 0xFF;
}
constexpr BYTE GetGValue(COLORREF c) {
    return (c >> 8) & 0xFF;
}
constexpr BYTE GetBValue(COLORREF c) {
    return (c >> 16) & 0xFF;
}
inline LPCWSTR MAKEINTRESOURCEW(UINT id) {
    return reinterpret_cast<LPCWSTR>(static_cast<std::uintptr_t>(id & 0xFFFF));
}
inline bool IS_INTRESOURCE(LPCWSTR p) {
    return (reinterpret_cast<std::uintptr_t>(p) >> 16) == 0;
}
