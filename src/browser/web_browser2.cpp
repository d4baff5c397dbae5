#include "browser/web_browser2.h"

#include "platform/backend/backend.h"

void CWebBrowser2::Navigate(LPCWSTR url, VARIANT*, VARIANT*, VARIANT*, VARIANT*) {
    // A wrapper without its control cannot be called, as the automation call would fail.
    if (!m_hWnd) AfxThrowOleException(E_FAIL);
    win::Desktop().WebViewNavigate(m_hWnd, url ? url : L"");
}

void CWebBrowser2::put_Silent(BOOL silent) {
    if (!m_hWnd) AfxThrowOleException(E_FAIL);
    win::Desktop().WebViewSetSilent(m_hWnd, silent != FALSE);
}
