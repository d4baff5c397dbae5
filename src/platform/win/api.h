#pragma once
// The window-system functions the client calls, declared under their usual names.
#include <string>

#include "platform/win/constants.h"
#include "platform/win/types.h"

// Windows
HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x,
                     int y, int width, int height, HWND parentOrOwner, int id, WNDPROC proc,
                     LPVOID param);
BOOL DestroyWindow(HWND hwnd);
BOOL IsWindow(HWND hwnd);
BOOL IsWindowVisible(HWND hwnd);
BOOL IsChild(HWND parent, HWND hwnd);
BOOL IsIconic(HWND hwnd);
BOOL IsZoomed(HWND hwnd);
HWND GetParent(HWND hwnd);
HWND GetDlgItem(HWND dialog, int id);
int GetDlgCtrlID(HWND hwnd);
BOOL ShowWindow(HWND hwnd, int command);
BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint);
BOOL BringWindowToTop(HWND hwnd);
BOOL GetWindowRect(HWND hwnd, RECT* rect);
BOOL GetClientRect(HWND hwnd, RECT* rect);
LONG GetWindowLongW(HWND hwnd, int index);
LONG SetWindowLongW(HWND hwnd, int index, LONG value);
BOOL SetWindowTextW(HWND hwnd, LPCWSTR text);
std::wstring GetWindowTextString(HWND hwnd);
BOOL EnableWindow(HWND hwnd, BOOL enable);
BOOL IsWindowEnabled(HWND hwnd);
HWND SetFocus(HWND hwnd);
HWND GetFocus();
BOOL UpdateWindow(HWND hwnd);
BOOL AdjustWindowRect(RECT* rect, DWORD style, BOOL menu);
int GetSystemMetrics(int index);
BOOL SystemParametersInfoW(UINT action, UINT param, LPVOID out, UINT winIni);

// Messages
BOOL PostMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT SendMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
BOOL PeekMessageW(MSG* msg, HWND filter, UINT first, UINT last, UINT remove);
BOOL GetMessageW(MSG* msg, HWND filter, UINT first, UINT last);
BOOL TranslateMessage(const MSG* msg);
LRESULT DispatchMessageW(const MSG* msg);
void PostQuitMessage(int exitCode);
LRESULT DefWindowProcW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT DefDlgProcW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
BOOL IsDialogMessageW(HWND dialog, MSG* msg);
DWORD GetMessageTime();
constexpr UINT PM_NOREMOVE = 0;
constexpr UINT PM_REMOVE = 1;

namespace win {
// Blocks until a core message is queued or the desktop handled native events.
void WaitForWork();
// Drops every queued message and a pending quit; for tests that start afresh.
void ResetMessageQueue();
std::size_t QueuedMessageCount();
}  // namespace win
