#include "game/vel_game_dlg.h"

#include "app/translucent_app.h"

NOTIFYICONDATAW g_trayIconData;

namespace {
constexpr UINT kTrayIconId = 155;
constexpr UINT kTrayCallbackMessage = WM_USER + 1;
}  // namespace

CVelGameDlg::CVelGameDlg(CWnd* pParent) : CDHtmlDialog(150, 106, pParent) {}

CVelGameDlg::~CVelGameDlg() = default;

BEGIN_MESSAGE_MAP(CVelGameDlg, CDHtmlDialog)
ON_WM_RBUTTONDOWN()
ON_WM_RBUTTONUP()
ON_WM_SIZE()
ON_WM_DESTROY()
ON_MESSAGE(kTrayCallbackMessage, OnTrayNotify)
ON_WM_CLOSE()
END_MESSAGE_MAP()

void CVelGameDlg::SetGameParams(CString url, CString title) {
    m_strUrl = url;
    m_strTitle = title;
}

BOOL CVelGameDlg::OnInitDialog() {
    CDHtmlDialog::OnInitDialog();

    g_trayIconData = NOTIFYICONDATAW{};
    g_trayIconData.cbSize = 952;
    g_trayIconData.hWnd = m_hWnd;
    g_trayIconData.uID = kTrayIconId;
    g_trayIconData.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    g_trayIconData.uCallbackMessage = kTrayCallbackMessage;
    g_trayIconData.hIcon = LoadIconW(AfxGetResourceHandle(), MAKEINTRESOURCEW(kTrayIconId));
    Shell_NotifyIconW(NIM_ADD, &g_trayIconData);

    m_hIcon = LoadIconW(AfxGetResourceHandle(), MAKEINTRESOURCEW(kTrayIconId));
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

    LONG style = GetWindowLongW(m_hWnd, GWL_STYLE);
    SetWindowLongW(m_hWnd, GWL_STYLE, style | static_cast<LONG>(WS_OVERLAPPEDWINDOW));
    ShowWindow(SW_MAXIMIZE);
    SetWindowText((m_strTitle + kGameCaptionHint).c_str());
    Navigate(m_strUrl.c_str(), 0, nullptr, nullptr, nullptr, 0);
    return TRUE;
}

void CVelGameDlg::OnSize(UINT nType, int cx, int cy) {
    CDHtmlDialog::OnSize(nType, cx, cy);
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
}

void CVelGameDlg::OnDestroy() {
    CDHtmlDialog::OnDestroy();
    Shell_NotifyIconW(NIM_DELETE, &g_trayIconData);
}

LRESULT CVelGameDlg::OnTrayNotify(WPARAM wParam, LPARAM lParam) {
    if (wParam != kTrayIconId) return 1;
    if (lParam == WM_LBUTTONUP) {
        ShowWindow(SW_MAXIMIZE);
        ::BringWindowToTop(m_hWnd);
    }
    return 0;
}

void CVelGameDlg::OnClose() {
    int answer = MessageBoxW(m_hWnd, L"此操作将退出游戏，是否继续？", L"退出游戏", MB_YESNO);
    if (answer != IDYES) return;
    Shell_NotifyIconW(NIM_DELETE, &g_trayIconData);
    static_cast<CTranslucentApp*>(AfxGetApp())->ReturnToLauncher();
    Default();
}
