// The game window's keys and full screen.
#include "game/vel_game_dlg.h"

namespace {
constexpr DWORD kOverlappedWindowBits = WS_OVERLAPPEDWINDOW;
}

BOOL CVelGameDlg::PreTranslateMessage(MSG* pMsg) {
    if (pMsg->message != WM_KEYDOWN) return CDHtmlDialog::PreTranslateMessage(pMsg);
    switch (pMsg->wParam) {
        case VK_ESCAPE:
            if (m_bFullScreen == 1) ToggleFullScreen();
            ::TranslateMessage(pMsg);
            ::DispatchMessageW(pMsg);
            return TRUE;
        case VK_RETURN:
        case VK_F10:
            // Straight to the page: the dialog's keyboard handling would end the window.
            ::TranslateMessage(pMsg);
            ::DispatchMessageW(pMsg);
            return TRUE;
        case VK_F5:
            ReloadGamePage();
            return TRUE;
        case VK_F11:
            ToggleFullScreen();
            return CDHtmlDialog::PreTranslateMessage(pMsg);
        case VK_F12:
            HideToTray();
            return TRUE;
        default:
            return CDHtmlDialog::PreTranslateMessage(pMsg);
    }
}

void CVelGameDlg::HideToTray() {
    // Hidden with no tray icon to bring it back, the game would be unreachable: minimise then.
    if (win::TrayIconShown(m_hWnd))
        ShowWindow(SW_HIDE);
    else
        ShowWindow(SW_MINIMIZE);
}

void CVelGameDlg::ReloadGamePage() {
    Navigate(m_strUrl.c_str(), 0, nullptr, nullptr, nullptr, 0);
}

void CVelGameDlg::ToggleFullScreen() {
    BOOL wasFullScreen = m_bFullScreen;
    m_bFullScreen = 0;
    if (wasFullScreen == 1) {
        int width = GetSystemMetrics(SM_CXFULLSCREEN);
        int height = GetSystemMetrics(SM_CYFULLSCREEN) + 22;
        MoveWindow(0, 0, width, height, TRUE);
        ModifyStyle(WS_POPUP, kOverlappedWindowBits, 0);
        ShowWindow(SW_RESTORE);
        ModifyStyle(WS_POPUP, kOverlappedWindowBits, 0);
        ShowWindow(SW_MAXIMIZE);
    } else {
        ShowWindow(SW_RESTORE);
        m_bFullScreen = 1;
        ModifyStyle(kOverlappedWindowBits, WS_POPUP, 0);
        ShowWindow(SW_MAXIMIZE);
    }
}
