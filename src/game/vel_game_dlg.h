#pragma once
// The game window: the game page over the whole client area, maximised, with a tray icon,
// a close confirmation and the F5/F11/F12/Esc keys.
#include "platform/afx/cdhtmldialog.h"
#include "platform/win/shell.h"

extern NOTIFYICONDATAW g_trayIconData;

class CVelGameDlg : public CDHtmlDialog {
  public:
    explicit CVelGameDlg(CWnd* pParent = nullptr);
    ~CVelGameDlg() override;

    void SetGameParams(CString url, CString title);
    BOOL OnInitDialog() override;
    BOOL PreTranslateMessage(MSG* pMsg) override;

    CString m_strUrl;
    BOOL m_bFullScreen = 0;
    CString m_strTitle;
    HICON m_hIcon = nullptr;

    void ToggleFullScreen();
    void ReloadGamePage();

  protected:
    void OnRButtonDown(UINT, POINT) {}
    void OnRButtonUp(UINT, POINT) {}
    void OnSize(UINT nType, int cx, int cy);
    void OnDestroy();
    LRESULT OnTrayNotify(WPARAM wParam, LPARAM lParam);
    void OnClose();
    void HideToTray();

    DECLARE_MESSAGE_MAP()
};

// The caption's key hint, after the title.
inline constexpr const wchar_t* kGameCaptionHint = L"  【F5刷新】【F11全屏】【F12最小托盘】";
