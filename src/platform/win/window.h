#pragma once
// The core's model of every window: what the system reads and writes through the window
// functions. A backend realises the windows that must be seen from this model.
#include <string>
#include <vector>

#include "platform/win/types.h"

namespace win {

struct Window {
    HWND handle = nullptr;
    WNDPROC proc = nullptr;
    std::wstring className;
    std::wstring text;
    DWORD style = 0;  // WS_VISIBLE, WS_MINIMIZE and WS_MAXIMIZE carry the show state
    DWORD exStyle = 0;
    RECT rect;         // screen coordinates; parent's client coordinates for a child
    RECT restoreRect;  // where a minimised or maximised window returns to
    bool restoreToMaximized = false;
    bool hiddenByOwner = false;  // hidden because its owner was minimised
    HWND parent = nullptr;       // for WS_CHILD windows
    HWND owner = nullptr;        // for owned top-level windows
    int id = 0;
    HICON bigIcon = nullptr;
    HICON smallIcon = nullptr;
    bool wantsAllKeys = false;  // native widgets that take every key (web views)
    bool enabled = true;
    bool destroying = false;
    COLORREF colorKey = 0;
    bool hasColorKey = false;
    LONG_PTR userData = 0;
};

// The record behind a handle, or null for a handle that no longer (or never) named a window.
Window* FindWindowRecord(HWND hwnd);
// All live windows in creation order.
std::vector<HWND> AllWindows();

// Reports from the desktop: the user or the window manager did something to a window.
void DesktopMovedWindow(HWND hwnd, const RECT& windowRect);
void DesktopChangedPlacement(HWND hwnd, int showCommand);
void DesktopFocusChanged(HWND hwnd);

// Client area of a window in screen coordinates (top-level) or parent client coordinates.
RECT ClientRectOnScreen(HWND hwnd);
// Where a window goes when it is maximised with the given style.
RECT MaximizedRect(DWORD style);

}  // namespace win
