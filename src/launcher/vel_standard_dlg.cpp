#include "launcher/vel_standard_dlg.h"

#include "app/config.h"
#include "platform/afx/cwinapp.h"

namespace {

// The six image buttons: control, normal image, hot image, rectangle in overlay pixels.
struct ButtonPlacement {
    CMFCButton CVelStandardDlg::*member;
    UINT normal, hot;
    int x, y, w, h;
};

const ButtonPlacement kButtons[] = {
    {&CVelStandardDlg::m_btnHome, 139, 140, 602, 197, 128, 44},
    {&CVelStandardDlg::m_btnRecharge, 143, 144, 730, 197, 128, 44},
    {&CVelStandardDlg::m_btnService, 145, 147, 1032, 197, 128, 44},
    {&CVelStandardDlg::m_btnForum, 141, 142, 1162, 197, 128, 44},
    {&CVelStandardDlg::m_btnMinimize, 159, 160, 1258, 153, 49, 33},
    {&CVelStandardDlg::m_btnClose, 138, 137, 1295, 142, 49, 49},
};

void OpenLink(const CString& key) {
    CString value = ReadConfigValueOrDefault(key);
    ShellExecuteW(nullptr, L"open", value.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace

CVelStandardDlg::CVelStandardDlg(CWnd* pParent) : CStandardDialog(103, RGB(0, 255, 0), pParent) {
    EnableAutomation();
}

CVelStandardDlg::~CVelStandardDlg() = default;

BEGIN_MESSAGE_MAP(CVelStandardDlg, CStandardDialog)
ON_BN_CLICKED(104, OnClickDefault)
ON_BN_CLICKED(1006, OnClickHome)
ON_BN_CLICKED(1004, OnClickClose)
ON_BN_CLICKED(1008, OnClickRecharge)
ON_BN_CLICKED(1009, OnClickService)
ON_BN_CLICKED(1010, OnClickForum)
ON_WM_DESTROY()
ON_WM_CLOSE()
ON_BN_CLICKED(1012, OnClickMinimize)
END_MESSAGE_MAP()

BEGIN_DISPATCH_MAP(CVelStandardDlg, CStandardDialog)
DISP_FUNCTION_2VARIANTS(outLink, outLink)
END_DISPATCH_MAP()

void CVelStandardDlg::DoDataExchange(CDataExchange* pDX) {
    CStandardDialog::DoDataExchange(pDX);
    DDX_Control(pDX, 104, m_btnDefault);
    DDX_Control(pDX, 1005, m_browser);
    DDX_Control(pDX, 1006, m_btnHome);
    DDX_Control(pDX, 1004, m_btnClose);
    DDX_Control(pDX, 1008, m_btnRecharge);
    DDX_Control(pDX, 1009, m_btnService);
    DDX_Control(pDX, 1010, m_btnForum);
    DDX_Control(pDX, 1012, m_btnMinimize);
}

BOOL CVelStandardDlg::OnInitDialog() {
    CStandardDialog::OnInitDialog();
    CString page = ReadConfigValueOrDefault(L"client_web");
    SetExternalDispatch(GetIDispatch(TRUE));
    m_browser.MoveWindow(602, 261, 712, 400, TRUE);
    m_browser.Navigate(page.c_str());
    m_browser.put_Silent(TRUE);
    for (const ButtonPlacement& b : kButtons) {
        CMFCButton& button = this->*b.member;
        button.SetImage(b.normal, b.hot, 0);
        button.m_bTransparent = TRUE;
        button.MoveWindow(b.x, b.y, b.w, b.h, TRUE);
    }
    return TRUE;
}

void CVelStandardDlg::OnClickHome() {
    OpenLink(L"home_url");
}
void CVelStandardDlg::OnClickRecharge() {
    OpenLink(L"recharge_url");
}
void CVelStandardDlg::OnClickService() {
    OpenLink(L"service_url");
}
void CVelStandardDlg::OnClickForum() {
    OpenLink(L"forum_url");
}

void CVelStandardDlg::OnClickClose() {
    CWnd* main = AfxGetApp()->m_pMainWnd;
    if (main) ::SendMessageW(main->m_hWnd, WM_CLOSE, 0, 0);
}

void CVelStandardDlg::OnClickMinimize() {
    ShowWindow(SW_MINIMIZE);
    if (CWnd* main = AfxGetMainWnd()) main->ShowWindow(SW_MINIMIZE);
}

void CVelStandardDlg::OnDestroy() {
    CDHtmlDialog::OnDestroy();
}

void CVelStandardDlg::OnClose() {
    Default();
}
