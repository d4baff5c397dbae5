// The launcher page's way into the game: window.external.outLink(title, url).
#include "launcher/page_bridge.h"

#include "app/translucent_app.h"
#include "launcher/vel_standard_dlg.h"

CString PageArgumentText(const VARIANT& argument) {
    VARIANT copy;
    HRESULT hr = VariantCopy(&copy, &argument);
    if (hr == E_OUTOFMEMORY) AfxThrowMemoryException();
    if (hr != 0) AfxThrowOleException(hr);
    VariantChangeType(&copy, &copy, 0, VT_BSTR);
    // A value without a text form is refused here, before anything closes: reading it as
    // text would hand the game window garbage.
    if (copy.vt != VT_BSTR) AfxThrowOleException(DISP_E_TYPEMISMATCH);
    CString text = copy.bstrVal.substr(0, copy.bstrVal.find(L'\0'));
    VariantClear(&copy);
    return text;
}

void CVelStandardDlg::outLink(const VARIANT& first, const VARIANT& second) {
    CString title = PageArgumentText(first);
    CString url = PageArgumentText(second);

    ::PostMessageW(m_browser.m_hWnd, WM_CLOSE, 0, 0);
    m_browser.Detach();
    ::PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
    Detach();
    static_cast<CTranslucentApp*>(AfxGetApp())->OpenGameWindow(url, title);
}
