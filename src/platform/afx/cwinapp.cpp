#include "platform/afx/cwinapp.h"

namespace {
CWinApp* g_app = nullptr;
}

CWinApp::CWinApp(LPCWSTR) {
    g_app = this;
}

CWinApp::~CWinApp() {
    if (g_app == this) g_app = nullptr;
}

BOOL CWinApp::InitInstance() {
    return TRUE;
}

int CWinApp::ExitInstance() {
    return 0;
}

INT_PTR CWinApp::RunModalChain(std::unique_ptr<CDialog> first) {
    m_pRunning = std::move(first);
    ++m_depth;
    INT_PTR result = m_pRunning->DoModal();
    while (m_pNext) {
        // The previous window object goes now; its windows were detached and are closed by
        // the requests queued for them, which the next run handles.
        m_pRunning = std::move(m_pNext);
        result = m_pRunning->RunModalLoopAndDestroy();
    }
    --m_depth;
    m_pRunning.reset();
    return result;
}

void CWinApp::HandOver(std::unique_ptr<CDialog> next) {
    if (!next->CreateModalWindow()) {
        // Nothing is left on screen to end the process; end it here rather than run on unseen.
        m_pMainWnd = nullptr;
        PostQuitMessage(0);
        return;
    }
    // A template hidden at creation would only be shown when its run idles, after the queued
    // close of the previous window: show it now so the screen is never empty in between.
    if (next->m_hWnd && !(next->GetStyle() & WS_VISIBLE)) ::ShowWindow(next->m_hWnd, SW_SHOWNORMAL);
    if (m_pRunning) m_pRunning->EndModalLoop(-1);
    m_pNext = std::move(next);
}

int CWinApp::LiveChainObjects() const {
    return (m_pRunning ? 1 : 0) + (m_pNext ? 1 : 0);
}

CWinApp* AfxGetApp() {
    return g_app;
}

CWnd* AfxGetMainWnd() {
    return g_app ? g_app->m_pMainWnd : nullptr;
}

HINSTANCE AfxGetResourceHandle() {
    return GetModuleHandleW(nullptr);
}

BOOL AfxEnableControlContainer(void*) {
    return TRUE;
}

int AfxWinMain() {
    CWinApp* app = AfxGetApp();
    if (!app) return -1;
    if (!app->InitInstance() && app->m_pMainWnd) {
        app->m_pMainWnd->DestroyWindow();
        app->m_pMainWnd = nullptr;
    }
    return app->ExitInstance();
}
