#pragma once
// Layered windows: a per-pixel-alpha picture, or a colour key. Callers look these up by name
// through GetProcAddress, as they may be missing on a platform.
#include "platform/win/gdi.h"

BOOL UpdateLayeredWindow(HWND hwnd, HDC dst, POINT* dstPoint, SIZE* size, HDC src, POINT* srcPoint,
                         COLORREF key, BLENDFUNCTION* blend, DWORD flags);
BOOL SetLayeredWindowAttributes(HWND hwnd, COLORREF key, BYTE alpha, DWORD flags);

using UpdateLayeredWindowFn = BOOL (*)(HWND, HDC, POINT*, SIZE*, HDC, POINT*, COLORREF,
                                       BLENDFUNCTION*, DWORD);
using SetLayeredWindowAttributesFn = BOOL (*)(HWND, COLORREF, BYTE, DWORD);
