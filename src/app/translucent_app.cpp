#include "app/translucent_app.h"

#include <memory>

#include "game/vel_game_dlg.h"
#include "launcher/vel_translucent_dlg.h"
#include "platform/gdiplus/gdiplus.h"

namespace {
constexpr UINT ID_HELP = 0xE146;
}

CTranslucentApp::CTranslucentApp() : CWinApp(nullptr) {}

CTranslucentApp::~CTranslucentApp() = default;

BEGIN_MESSAGE_MAP(CTranslucentApp, CWinApp)
ON_COMMAND(ID_HELP, OnHelp)
END_MESSAGE_MAP()

BOOL CTranslucentApp::InitInstance() {
    CWinApp::InitInstance();
    AfxEnableControlContainer(nullptr);
    Gdiplus::GdiplusStartupInput input;
    Gdiplus::GdiplusStartup(&m_gdiplusToken, &input, nullptr);
    auto frame = std::make_unique<CVelTranslucentDlg>(158, L"PNG", nullptr, nullptr);
    m_pMainWnd = frame.get();
    // Every later window is handed over to and run by this one chain, one at a time.
    RunModalChain(std::move(frame));
    return FALSE;
}

int CTranslucentApp::ExitInstance() {
    Gdiplus::GdiplusShutdown(m_gdiplusToken);
    return CWinApp::ExitInstance();
}

void CTranslucentApp::OpenGameWindow(CString url, CString title) {
    PostMessageW(m_pMainWnd->m_hWnd, WM_CLOSE, 0, 0);
    m_pMainWnd->Detach();
    auto game = std::make_unique<CVelGameDlg>(nullptr);
    m_pMainWnd = game.get();
    game->SetGameParams(url, title);
    HandOver(std::move(game));
}

void CTranslucentApp::ReturnToLauncher() {
    PostMessageW(m_pMainWnd->m_hWnd, WM_CLOSE, 0, 0);
    m_pMainWnd->Detach();
    auto frame = std::make_unique<CVelTranslucentDlg>(158, L"PNG", nullptr, nullptr);
    m_pMainWnd = frame.get();
    HandOver(std::move(frame));
}
