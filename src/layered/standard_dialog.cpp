#include "layered/standard_dialog.h"

CStandardDialog::CStandardDialog(UINT nIDTemplate, COLORREF colorKey, CWnd* pParent)
    : CDHtmlDialog(nIDTemplate, 0, pParent), m_colorKey(colorKey) {}

CStandardDialog::~CStandardDialog() {
    m_keyBrush.DeleteObject();
}

// Chained straight to the plain dialog's map, past the HTML dialog's.
BEGIN_MESSAGE_MAP(CStandardDialog, CDialog)
ON_WM_CTLCOLOR()
END_MESSAGE_MAP()

void CStandardDialog::CreateAndShow() {
    Create(m_nIDTemplate, m_pParentWnd);
    ShowWindow(SW_SHOW);
}

BOOL CStandardDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    m_keyBrush.Attach(CreateSolidBrush(m_colorKey));
    LONG exStyle = GetWindowLongW(m_hWnd, GWL_EXSTYLE);
    SetWindowLongW(m_hWnd, GWL_EXSTYLE, exStyle | static_cast<LONG>(WS_EX_LAYERED));
    HMODULE user32 = LoadLibraryW(L"User32.DLL");
    auto setAttributes = reinterpret_cast<SetLayeredWindowAttributesFn>(
        GetProcAddress(user32, "SetLayeredWindowAttributes"));
    if (setAttributes) setAttributes(m_hWnd, m_colorKey, 0, LWA_COLORKEY);
    if (user32) FreeLibrary(user32);
    return TRUE;
}

HBRUSH CStandardDialog::OnCtlColor(HDC pDC, CWnd* pWnd, UINT nCtlColor) {
    if (nCtlColor == CTLCOLOR_DLG) return m_keyBrush;
    return CWnd::OnCtlColor(pDC, pWnd, nCtlColor);
}

void CStandardDialog::AskOwnerToClose() {
    HWND parent = ::GetParent(m_hWnd);
    if (parent) ::SendMessageW(parent, WM_CLOSE, 0, 0);
}

void CStandardDialog::OnCancel() {
    AskOwnerToClose();
    CDialog::OnCancel();
}

void CStandardDialog::OnOK() {
    AskOwnerToClose();
    CDialog::OnOK();
}
