// The launcher page's way into the game: window.external.outLink(title, url).
#include "app/translucent_app.h"
#include "launcher/vel_standard_dlg.h"

namespace {

VARIANT CopyArgument(const VARIANT& argument) {
    VARIANT copy;
    HRESULT hr = VariantCopy(&copy, &argument);
    if (hr == E_OUTOFMEMORY) AfxThrowMemoryException();
    if (hr != 0) AfxThrowOleException(hr);
    VariantChangeType(&copy, &copy, 0, VT_BSTR);
    // A value without a text form is refused here, before anything closes: reading it as
    // text would hand the game window garbage.
    if (copy.vt != VT_BSTR) AfxThrowOleException(DISP_E_TYPEMISMATCH);
    return copy;
}

}  // namespace

void CVelStandardDlg::outLink(const VARIANT& first, const VARIANT& second) {
    VARIANT titleCopy = CopyArgument(first);
    VARIANT urlCopy = CopyArgument(second);
    CString title = titleCopy.bstrVal.substr(0, titleCopy.bstrVal.find(L'\0'));
    CString url = urlCopy.bstrVal.substr(0, urlCopy.bstrVal.find(L'\0'));

    ::PostMessageW(m_browser.m_hWnd, WM_CLOSE, 0, 0);
    m_browser.Detach();
    ::PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
    Detach();
    static_cast<CTranslucentApp*>(AfxGetApp())->OpenGameWindow(url, title);
    VariantClear(&titleCopy);
    VariantClear(&urlCopy);
}
