#include "platform/afx/cwnd.h"

#include <unordered_map>

#include "platform/afx/cwinapp.h"
#include "platform/win/window.h"

namespace {

std::unordered_map<HWND, CWnd*>& PermanentMap() {
    static std::unordered_map<HWND, CWnd*> map;
    return map;
}

CWnd* g_creating = nullptr;

const AFX_MSGMAP_ENTRY* FindEntry(const AFX_MSGMAP* map, UINT message, WPARAM wParam) {
    for (; map; map = map->base ? map->base() : nullptr)
        for (const AFX_MSGMAP_ENTRY* e = map->entries; e->message; ++e) {
            if (e->message != message) continue;
            if (message == WM_COMMAND && (e->id != LOWORD(wParam) || e->code != HIWORD(wParam)))
                continue;
            return e;
        }
    return nullptr;
}

}  // namespace

void AfxHookWindowCreate(CWnd* wnd) {
    g_creating = wnd;
}

LRESULT AfxWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CWnd* wnd = CWnd::FromHandlePermanent(hwnd);
    if (!wnd && g_creating && message == WM_NCCREATE) {
        wnd = g_creating;
        g_creating = nullptr;
        wnd->Attach(hwnd);
    }
    // A window whose object let go of it gets the system's default processing only.
    if (!wnd) return DefWindowProcW(hwnd, message, wParam, lParam);
    return wnd->WindowProc(message, wParam, lParam);
}

BOOL AfxPreTranslateMessage(MSG* msg) {
    for (HWND h = msg->hwnd; h; h = ::GetParent(h)) {
        CWnd* wnd = CWnd::FromHandlePermanent(h);
        if (wnd && wnd->PreTranslateMessage(msg)) return TRUE;
        if (!IsWindow(msg->hwnd)) return TRUE;  // the target went away while handling
    }
    return FALSE;
}

CWnd::CWnd() = default;

CWnd::~CWnd() {
    if (m_hWnd) {
        // An object going away takes its window with it.
        HWND h = m_hWnd;
        ::DestroyWindow(h);
        if (m_hWnd) Detach();
    }
}

CWnd* CWnd::FromHandlePermanent(HWND hwnd) {
    auto it = PermanentMap().find(hwnd);
    return it == PermanentMap().end() ? nullptr : it->second;
}

BOOL CWnd::Attach(HWND hwnd) {
    if (!hwnd || m_hWnd || FromHandlePermanent(hwnd)) return FALSE;
    m_hWnd = hwnd;
    PermanentMap()[hwnd] = this;
    return TRUE;
}

HWND CWnd::Detach() {
    HWND h = m_hWnd;
    if (h) PermanentMap().erase(h);
    m_hWnd = nullptr;
    return h;
}

BOOL CWnd::SubclassWindow(HWND hwnd) {
    win::Window* w = win::FindWindowRecord(hwnd);
    if (!w || !Attach(hwnd)) return FALSE;
    if (w->proc != AfxWndProc) {
        m_pfnSuper = w->proc;
        w->proc = AfxWndProc;
    }
    return TRUE;
}

BOOL CWnd::CreateEx(DWORD exStyle, LPCWSTR className, LPCWSTR name, DWORD style, const RECT& r,
                    CWnd* parent, UINT id) {
    AfxHookWindowCreate(this);
    HWND h = CreateWindowExW(exStyle, className, name, style, r.left, r.top, r.Width(), r.Height(),
                             parent ? parent->m_hWnd : nullptr, static_cast<int>(id), AfxWndProc,
                             nullptr);
    AfxHookWindowCreate(nullptr);
    return h != nullptr;
}

BOOL CWnd::DestroyWindow() {
    return m_hWnd ? ::DestroyWindow(m_hWnd) : FALSE;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    CurrentMessage saved = m_current;
    m_current = {message, wParam, lParam};
    LRESULT result;
    if (const AFX_MSGMAP_ENTRY* e = FindEntry(GetMessageMap(), message, wParam))
        result = e->handler(*this, wParam, lParam);
    else
        result = DefWindowProc(message, wParam, lParam);
    m_current = saved;
    return result;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (!m_hWnd) return 0;
    if (m_pfnSuper) return m_pfnSuper(m_hWnd, message, wParam, lParam);
    return DefWindowProcW(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default() {
    return DefWindowProc(m_current.message, m_current.wParam, m_current.lParam);
}

BOOL CWnd::PreTranslateMessage(MSG*) {
    return FALSE;
}

void CWnd::OnNcDestroy() {
    // The end of the main window's window is the end of the process.
    CWinApp* app = AfxGetApp();
    if (app && app->m_pMainWnd == this) {
        PostQuitMessage(0);
        app->m_pMainWnd = nullptr;
    }
    Default();
    Detach();
    PostNcDestroy();
}

HBRUSH CWnd::OnCtlColor(HDC, CWnd*, UINT) {
    return reinterpret_cast<HBRUSH>(Default());
}

BEGIN_MESSAGE_MAP(CWnd, CCmdTarget)
ON_WM_NCDESTROY()
END_MESSAGE_MAP()

DWORD CWnd::GetStyle() const {
    return static_cast<DWORD>(GetWindowLongW(m_hWnd, GWL_STYLE));
}
DWORD CWnd::GetExStyle() const {
    return static_cast<DWORD>(GetWindowLongW(m_hWnd, GWL_EXSTYLE));
}

BOOL CWnd::ModifyStyle(DWORD remove, DWORD add, UINT flags) {
    DWORD style = GetStyle();
    DWORD updated = (style & ~remove) | add;
    if (style == updated) return FALSE;
    SetWindowLongW(m_hWnd, GWL_STYLE, static_cast<LONG>(updated));
    if (flags)
        SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | flags);
    return TRUE;
}

BOOL CWnd::ShowWindow(int command) {
    return ::ShowWindow(m_hWnd, command);
}

void CWnd::MoveWindow(int x, int y, int width, int height, BOOL repaint) {
    ::MoveWindow(m_hWnd, x, y, width, height, repaint);
}

void CWnd::GetWindowRect(RECT* rect) const {
    ::GetWindowRect(m_hWnd, rect);
}

CWnd* CWnd::GetParent() const {
    return FromHandlePermanent(::GetParent(m_hWnd));
}

void CWnd::SetWindowText(LPCWSTR text) {
    SetWindowTextW(m_hWnd, text);
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return SendMessageW(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return PostMessageW(m_hWnd, message, wParam, lParam);
}
