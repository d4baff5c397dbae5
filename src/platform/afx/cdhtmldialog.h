#pragma once
// A dialog that hosts web views: its own browser over the client area (from an HTML
// resource), and the host object it hands to the pages of the views it hosts.
#include "platform/afx/cdialog.h"
#include "platform/backend/backend.h"

// A page's value as the host object receives it. Objects arrive without a text value.
VARIANT ScriptValueToVariant(const win::ScriptValue& value);

class CDHtmlDialog : public CDialog {
  public:
    CDHtmlDialog(UINT templateId, UINT htmlResourceId = 0, CWnd* parent = nullptr);
    ~CDHtmlDialog() override;

    BOOL OnInitDialog() override;
    void Navigate(LPCWSTR url, DWORD flags = 0, LPCWSTR targetFrame = nullptr,
                  LPCWSTR headers = nullptr, LPVOID postData = nullptr, DWORD postDataLength = 0);
    void SetExternalDispatch(IDispatch* dispatch);
    virtual BOOL IsExternalDispatchSafe() { return FALSE; }
    // Pages may reach the host object when it is declared safe; the zone's setting that could
    // override object safety is never granted here.
    virtual BOOL CanAccessExternal() { return IsExternalDispatchSafe(); }
    // A page's call to `window.external`, from a view this dialog hosts.
    void HandleScriptCall(win::ScriptCall& call);

    HWND m_hwndBrowser = nullptr;  // the dialog's own browser, once created
    UINT m_nHtmlResID;
    IDispatch* m_pExternalDisp = nullptr;

    DECLARE_MESSAGE_MAP()

  protected:
    void OnSize(UINT type, int cx, int cy);
    void OnDestroy();
};
