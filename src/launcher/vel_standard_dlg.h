#pragma once
// The launcher's control layer: the launcher page, four link buttons, minimise and close,
// and the host object through which the page starts the game.
#include "browser/web_browser2.h"
#include "layered/standard_dialog.h"
#include "platform/afx/controls.h"

class CVelStandardDlg : public CStandardDialog {
  public:
    explicit CVelStandardDlg(CWnd* pParent);
    ~CVelStandardDlg() override;

    BOOL OnInitDialog() override;
    void OnOK() override {}
    BOOL IsExternalDispatchSafe() override { return TRUE; }

    // Called by the launcher page as window.external.outLink(title, url).
    void outLink(const VARIANT& first, const VARIANT& second);

    CButton m_btnDefault;
    CWebBrowser2 m_browser;
    CMFCButton m_btnHome;
    CMFCButton m_btnClose;
    CMFCButton m_btnRecharge;
    CMFCButton m_btnService;
    CMFCButton m_btnForum;
    CMFCButton m_btnMinimize;

  protected:
    void DoDataExchange(CDataExchange* pDX) override;
    void OnClickDefault() {}
    void OnClickHome();
    void OnClickClose();
    void OnClickRecharge();
    void OnClickService();
    void OnClickForum();
    void OnDestroy();
    void OnClose();
    void OnClickMinimize();

    DECLARE_MESSAGE_MAP()
    DECLARE_DISPATCH_MAP()
};
