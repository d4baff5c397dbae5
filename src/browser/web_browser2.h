#pragma once
// The wrapper of one embedded web browser control.
#include "platform/afx/cwnd.h"

class CWebBrowser2 : public CWnd {
  public:
    // Starts loading `url`; the load runs on its own.
    void Navigate(LPCWSTR url, VARIANT* flags = nullptr, VARIANT* targetFrameName = nullptr,
                  VARIANT* postData = nullptr, VARIANT* headers = nullptr);
    // A silent browser shows no dialog boxes of its own (script alerts, errors).
    void put_Silent(BOOL silent);
};
