#include "platform/afx/cdhtmldialog.h"

#include <cmath>
#include <cstdio>

#include "platform/afx/cwinapp.h"
#include "platform/backend/backend.h"
#include "platform/win/window.h"

VARIANT ScriptValueToVariant(const win::ScriptValue& v) {
    VARIANT out;
    switch (v.kind) {
        case win::ScriptValue::Kind::Undefined:
            out.vt = VT_EMPTY;
            break;
        case win::ScriptValue::Kind::Null:
            out.vt = VT_NULL;
            break;
        case win::ScriptValue::Kind::Boolean:
            out.vt = VT_BOOL;
            out.boolVal = v.boolean ? VARIANT_TRUE : VARIANT_FALSE;
            break;
        case win::ScriptValue::Kind::Number:
            // Whole numbers in range travel as integers, the rest (NaN and infinities among
            // them, which fail the range test before any cast) as doubles.
            if (v.number >= -2147483648.0 && v.number <= 2147483647.0 &&
                v.number == std::trunc(v.number) && !(v.number == 0 && std::signbit(v.number))) {
                out.vt = VT_I4;
                out.lVal = static_cast<LONG>(v.number);
            } else {
                out.vt = VT_R8;
                out.dblVal = v.number;
            }
            break;
        case win::ScriptValue::Kind::String:
            out.vt = VT_BSTR;
            out.bstrVal = v.string;
            break;
        case win::ScriptValue::Kind::Object:
            // Page objects offer no text value to the host.
            out.vt = VT_DISPATCH;
            out.pdispVal = nullptr;
            break;
    }
    return out;
}

namespace {

std::string ErrorText(HRESULT hr) {
    switch (hr) {
        case DISP_E_UNKNOWNNAME:
            return "Object doesn't support this property or method";
        case DISP_E_BADPARAMCOUNT:
            return "Wrong number of arguments or invalid property assignment";
        case DISP_E_NONAMEDARGS:
            return "Named arguments are not supported";
        case DISP_E_TYPEMISMATCH:
            return "Type mismatch";
        case DISP_E_EXCEPTION:
            return "Exception occurred";
        default: {
            char buf[48];
            std::snprintf(buf, sizeof buf, "Host call failed (0x%08X)", static_cast<unsigned>(hr));
            return buf;
        }
    }
}

}  // namespace

namespace win {
void DeliverScriptCall(HWND view, ScriptCall& call) {
    // A view whose dialog has let go of its window (after a hand-over) gets no answer.
    auto* host = dynamic_cast<CDHtmlDialog*>(CWnd::FromHandlePermanent(GetParent(view)));
    if (host) host->HandleScriptCall(call);
}
}  // namespace win

CDHtmlDialog::CDHtmlDialog(UINT templateId, UINT htmlResourceId, CWnd* parent)
    : CDialog(templateId, parent), m_nHtmlResID(htmlResourceId) {}

CDHtmlDialog::~CDHtmlDialog() = default;

BEGIN_MESSAGE_MAP(CDHtmlDialog, CDialog)
ON_WM_SIZE()
ON_WM_DESTROY()
END_MESSAGE_MAP()

BOOL CDHtmlDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    RECT client;
    GetClientRect(m_hWnd, &client);
    m_hwndBrowser = CreateWindowExW(0, L"WebView", L"", WS_CHILD | WS_VISIBLE, 0, 0, client.Width(),
                                    client.Height(), m_hWnd, 0, DefWindowProcW, nullptr);
    if (m_hwndBrowser && m_nHtmlResID) {
        HRSRC res = FindResourceW(AfxGetResourceHandle(), MAKEINTRESOURCEW(m_nHtmlResID), RT_HTML);
        HGLOBAL loaded = res ? LoadResource(AfxGetResourceHandle(), res) : nullptr;
        const char* bytes = static_cast<const char*>(LockResource(loaded));
        if (bytes) {
            std::string html(bytes, SizeofResource(AfxGetResourceHandle(), res));
            win::Desktop().WebViewLoadHtml(m_hwndBrowser, html, L"about:blank");
        }
        if (loaded) FreeResource(loaded);
    }
    return TRUE;
}

void CDHtmlDialog::Navigate(LPCWSTR url, DWORD, LPCWSTR, LPCWSTR, LPVOID, DWORD) {
    if (m_hwndBrowser && IsWindow(m_hwndBrowser))
        win::Desktop().WebViewNavigate(m_hwndBrowser, url ? url : L"");
}

void CDHtmlDialog::SetExternalDispatch(IDispatch* dispatch) {
    m_pExternalDisp = dispatch;
    if (!m_hWnd) return;
    std::vector<win::ExternalMethod> methods;
    if (dispatch && CanAccessExternal())
        for (auto& [name, count] : dispatch->Describe()) methods.push_back({name, count});
    // Every view this dialog hosts offers the object to its pages.
    for (HWND h : win::AllWindows()) {
        win::Window* w = win::FindWindowRecord(h);
        if (w->parent == m_hWnd && w->className == L"WebView" && dispatch)
            win::Desktop().WebViewSetHostObject(h, methods);
    }
}

void CDHtmlDialog::HandleScriptCall(win::ScriptCall& call) {
    call.answered = true;
    if (!m_pExternalDisp || !CanAccessExternal()) {
        call.result = {false, "Not implemented"};
        return;
    }
    DISPID id = 0;
    HRESULT hr = m_pExternalDisp->GetIDsOfNames(call.name, &id);
    if (hr != 0) {
        call.result = {false, ErrorText(hr)};
        return;
    }
    std::vector<VARIANT> reversed;
    for (auto it = call.args.rbegin(); it != call.args.rend(); ++it) {
        reversed.push_back(ScriptValueToVariant(*it));
    }
    DISPPARAMS params;
    params.rgvarg = reversed.data();
    params.cArgs = static_cast<UINT>(reversed.size());
    VARIANT result;
    hr = m_pExternalDisp->Invoke(id, &params, &result);
    call.result = hr == 0 ? win::ScriptCallResult{} : win::ScriptCallResult{false, ErrorText(hr)};
}

void CDHtmlDialog::OnSize(UINT, int cx, int cy) {
    Default();
    if (m_hwndBrowser && IsWindow(m_hwndBrowser)) ::MoveWindow(m_hwndBrowser, 0, 0, cx, cy, TRUE);
}

void CDHtmlDialog::OnDestroy() {
    Default();
    // The browser goes with the dialog's window; nothing of it is used afterwards.
    m_hwndBrowser = nullptr;
}
