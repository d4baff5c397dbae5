#include "platform/afx/cdialog.h"

#include "platform/afx/cwinapp.h"
#include "platform/win/window.h"

void DDX_Control(CDataExchange* dx, int id, CWnd& control) {
    if (control.m_hWnd) return;
    HWND h = GetDlgItem(dx->m_pDlgWnd->m_hWnd, id);
    if (h) control.SubclassWindow(h);
}

POINT DialogBaseUnits(const DialogTemplate& t) {
    // The shell dialog fonts at 96 dpi: 8 points average 6 x 13 pixels, 9 points 7 x 15.
    if (t.pointSize >= 9) return POINT{7, 15};
    return POINT{6, 13};
}

CDialog::CDialog(UINT templateId, CWnd* parent) : m_nIDTemplate(templateId), m_pParentWnd(parent) {}

CDialog::~CDialog() = default;

BEGIN_MESSAGE_MAP(CDialog, CWnd)
ON_MESSAGE(WM_INITDIALOG, HandleInitDialog)
ON_COMMAND(IDOK, OnOK)
ON_COMMAND(IDCANCEL, OnCancel)
END_MESSAGE_MAP()

LRESULT CDialog::HandleInitDialog(WPARAM, LPARAM) {
    BOOL setFocus = OnInitDialog();
    if (setFocus && m_hWnd) {
        // The first visible control gets the keyboard focus.
        for (HWND h : win::AllWindows()) {
            win::Window* w = win::FindWindowRecord(h);
            if (w->parent == m_hWnd && (w->style & WS_CHILD) && (w->style & WS_VISIBLE)) {
                SetFocus(h);
                break;
            }
        }
    }
    return setFocus;
}

BOOL CDialog::CreateFromTemplate(HWND owner) {
    const DialogTemplate* t = FindDialogTemplate(m_nIDTemplate);
    if (!t) return FALSE;
    POINT unit = DialogBaseUnits(*t);
    auto px = [&](int du) { return du * unit.x / 4; };
    auto py = [&](int du) { return du * unit.y / 8; };
    RECT r{0, 0, px(t->cx), py(t->cy)};
    AdjustWindowRect(&r, t->style, FALSE);
    int width = r.Width(), height = r.Height();
    int x = px(t->x), y = py(t->y);
    if (owner) {
        RECT oc = win::ClientRectOnScreen(owner);
        x += oc.left;
        y += oc.top;
    }
    if (t->style & DS_CENTER) {
        RECT work;
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        x = work.left + (work.Width() - width) / 2;
        y = work.top + (work.Height() - height) / 2;
    }
    m_pfnSuper = DefDlgProcW;
    AfxHookWindowCreate(this);
    HWND h = CreateWindowExW(t->exStyle, L"#32770", t->caption, t->style & ~WS_VISIBLE, x, y, width,
                             height, owner, 0, AfxWndProc, nullptr);
    AfxHookWindowCreate(nullptr);
    if (!h || m_hWnd != h) return FALSE;
    for (const DialogControl& c : t->controls)
        CreateWindowExW(0, c.className, c.text, c.style | WS_CHILD, px(c.x), py(c.y), px(c.cx),
                        py(c.cy), h, c.id, DefWindowProcW, nullptr);
    SendMessageW(h, WM_INITDIALOG, 0, 0);
    if (m_hWnd && (t->style & WS_VISIBLE)) ::ShowWindow(m_hWnd, SW_SHOW);
    return m_hWnd != nullptr;
}

BOOL CDialog::CreateModalWindow() {
    // The main window owns a modal dialog, unless the dialog is the main window itself.
    CWinApp* app = AfxGetApp();
    CWnd* owner = m_pParentWnd ? m_pParentWnd : (app ? app->m_pMainWnd : nullptr);
    HWND ownerWindow = owner && owner != this ? owner->m_hWnd : nullptr;
    m_nModalResult = -1;
    m_bContinueModal = true;
    if (!CreateFromTemplate(ownerWindow)) {
        m_bContinueModal = false;
        return FALSE;
    }
    return TRUE;
}

INT_PTR CDialog::RunModalLoopAndDestroy() {
    bool showOnIdle = m_hWnd && !(GetStyle() & WS_VISIBLE);
    while (m_bContinueModal) {
        MSG msg;
        if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (showOnIdle && m_hWnd) {
                ::ShowWindow(m_hWnd, SW_SHOWNORMAL);
                showOnIdle = false;
                continue;
            }
            win::WaitForWork();
            continue;
        }
        if (msg.message == WM_QUIT) {
            // Every enclosing run sees the quit message too.
            PostQuitMessage(static_cast<int>(msg.wParam));
            m_bContinueModal = false;
            m_nModalResult = -1;
            break;
        }
        if (!AfxPreTranslateMessage(&msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    if (m_hWnd) {
        ::ShowWindow(m_hWnd, SW_HIDE);
        ::DestroyWindow(m_hWnd);
    }
    return m_nModalResult;
}

INT_PTR CDialog::DoModal() {
    if (!CreateModalWindow()) return -1;
    return RunModalLoopAndDestroy();
}

void CDialog::EndModalLoop(int result) {
    m_nModalResult = result;
    m_bContinueModal = false;
}

BOOL CDialog::Create(UINT templateId, CWnd* parent) {
    m_nIDTemplate = templateId;
    m_pParentWnd = parent;
    m_bModeless = true;
    return CreateFromTemplate(parent ? parent->m_hWnd : nullptr);
}

void CDialog::EndDialog(int result) {
    if (m_bModeless) {
        // A modeless dialog has no run to end; it goes out of sight.
        m_nModalResult = result;
        if (m_hWnd) ::ShowWindow(m_hWnd, SW_HIDE);
        return;
    }
    EndModalLoop(result);
}

BOOL CDialog::UpdateData(BOOL saveAndValidate) {
    CDataExchange dx(this, saveAndValidate);
    DoDataExchange(&dx);
    return TRUE;
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK() {
    if (UpdateData(TRUE)) EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

BOOL CDialog::PreTranslateMessage(MSG* msg) {
    bool input = (msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST) ||
                 (msg->message >= WM_MOUSEMOVE && msg->message <= 0x020E);
    if (!input || !m_hWnd) return FALSE;
    if (msg->hwnd != m_hWnd && !IsChild(m_hWnd, msg->hwnd)) return FALSE;
    return IsDialogMessageW(m_hWnd, msg);
}

LRESULT CDialog::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (!m_hWnd) return 0;
    return DefDlgProcW(m_hWnd, message, wParam, lParam);
}
