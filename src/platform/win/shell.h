#pragma once
// Icons, the notification-area (tray) icon, question boxes and opening addresses.
#include <string>

#include "platform/gdiplus/pixel_image.h"
#include "platform/win/types.h"

struct NOTIFYICONDATAW {
    DWORD cbSize = 0;
    HWND hWnd = nullptr;
    UINT uID = 0;
    UINT uFlags = 0;
    UINT uCallbackMessage = 0;
    HICON hIcon = nullptr;
    WCHAR szTip[128] = {};
    DWORD dwState = 0;
    DWORD dwStateMask = 0;
    WCHAR szInfo[256] = {};
    UINT uVersion = 0;
    WCHAR szInfoTitle[64] = {};
    DWORD dwInfoFlags = 0;
    BYTE guidItem[16] = {};
};

HICON LoadIconW(HINSTANCE module, LPCWSTR name);
BOOL Shell_NotifyIconW(DWORD message, NOTIFYICONDATAW* data);
HINSTANCE ShellExecuteW(HWND hwnd, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters,
                        LPCWSTR directory, int show);
int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);

namespace win {

// The pixels behind an icon handle, or null.
const gdiplus::PixelImage* IconImage(HICON icon);
// The desktop reports a left-button activation of a tray icon; it reaches the owner as its
// callback message, as a release of the left button would.
void TrayIconActivated(HWND owner, UINT id);
// The tray host came back: icons that were added are shown again.
void TrayHostRestarted();
// True when an icon of `owner` is in the tray and a tray host really shows it.
bool TrayIconShown(HWND owner);

}  // namespace win
