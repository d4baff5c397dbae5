// The one UI thread's message queue, dispatch, and the default processing of windows and
// dialogs.
#include <deque>

#include "platform/backend/backend.h"
#include "platform/win/api.h"
#include "platform/win/window.h"

namespace win {
namespace {

struct Queue {
    std::deque<MSG> posted;
    bool quitPending = false;
    int quitCode = 0;
    DWORD currentTime = 0;  // the message being dispatched
};

Queue& TheQueue() {
    static Queue q;
    return q;
}

}  // namespace

void WaitForWork() {
    Queue& q = TheQueue();
    if (!q.posted.empty() || q.quitPending) return;
    Desktop().WaitForEvents();
}

void ResetMessageQueue() {
    TheQueue() = Queue{};
}

std::size_t QueuedMessageCount() {
    return TheQueue().posted.size();
}

}  // namespace win

BOOL PostMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (hwnd && !IsWindow(hwnd)) return FALSE;
    MSG m;
    m.hwnd = hwnd;
    m.message = message;
    m.wParam = wParam;
    m.lParam = lParam;
    win::TheQueue().posted.push_back(m);
    return TRUE;
}

LRESULT SendMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    win::Window* w = win::FindWindowRecord(hwnd);
    if (!w) return 0;
    return w->proc(hwnd, message, wParam, lParam);
}

BOOL PeekMessageW(MSG* msg, HWND, UINT, UINT, UINT remove) {
    win::Queue& q = win::TheQueue();
    // Messages for windows that are gone are dropped, as they are never delivered.
    while (!q.posted.empty() && q.posted.front().hwnd && !IsWindow(q.posted.front().hwnd))
        q.posted.pop_front();
    if (!q.posted.empty()) {
        *msg = q.posted.front();
        if (remove & PM_REMOVE) q.posted.pop_front();
        return TRUE;
    }
    if (q.quitPending) {
        *msg = MSG{};
        msg->message = WM_QUIT;
        msg->wParam = static_cast<WPARAM>(q.quitCode);
        if (remove & PM_REMOVE) q.quitPending = false;
        return TRUE;
    }
    return FALSE;
}

BOOL GetMessageW(MSG* msg, HWND filter, UINT first, UINT last) {
    while (!PeekMessageW(msg, filter, first, last, PM_REMOVE)) win::WaitForWork();
    return msg->message != WM_QUIT;
}

BOOL TranslateMessage(const MSG* msg) {
    // Characters travel with the native key event, which reaches the native widget whole.
    return msg && (msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN);
}

LRESULT DispatchMessageW(const MSG* msg) {
    if (!msg || !msg->hwnd) return 0;
    win::Queue& q = win::TheQueue();
    DWORD saved = q.currentTime;
    q.currentTime = msg->time;
    LRESULT r = SendMessageW(msg->hwnd, msg->message, msg->wParam, msg->lParam);
    q.currentTime = saved;
    return r;
}

DWORD GetMessageTime() {
    return win::TheQueue().currentTime;
}

void PostQuitMessage(int exitCode) {
    win::TheQueue().quitPending = true;
    win::TheQueue().quitCode = exitCode;
}

LRESULT DefWindowProcW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    win::Window* w = win::FindWindowRecord(hwnd);
    if (!w) return 0;
    switch (message) {
        case WM_NCCREATE:
            return TRUE;
        case WM_CLOSE:
            DestroyWindow(hwnd);
            return 0;
        case WM_SYSCOMMAND:
            switch (wParam & 0xFFF0) {
                case SC_CLOSE:
                    SendMessageW(hwnd, WM_CLOSE, 0, 0);
                    return 0;
                case SC_MOVE:
                    win::Desktop().BeginMoveDrag(hwnd);
                    return 0;
                case SC_MINIMIZE:
                    ShowWindow(hwnd, SW_MINIMIZE);
                    return 0;
                case SC_MAXIMIZE:
                    ShowWindow(hwnd, SW_MAXIMIZE);
                    return 0;
                case SC_RESTORE:
                    ShowWindow(hwnd, SW_RESTORE);
                    return 0;
            }
            return 0;
        case WM_SETTEXT:
            w->text = lParam ? reinterpret_cast<LPCWSTR>(lParam) : L"";
            win::Desktop().Sync(hwnd, win::kSyncText);
            return TRUE;
        case WM_SETICON: {
            HICON old = wParam == ICON_BIG ? w->bigIcon : w->smallIcon;
            (wParam == ICON_BIG ? w->bigIcon : w->smallIcon) = reinterpret_cast<HICON>(lParam);
            win::Desktop().Sync(hwnd, win::kSyncIcon);
            return reinterpret_cast<LRESULT>(old);
        }
        case WM_ERASEBKGND:
            return 1;
        case WM_GETDLGCODE:
            return w->wantsAllKeys ? DLGC_WANTALLKEYS : 0;
        case WM_KEYDOWN:
        case WM_KEYUP:
        case WM_SYSKEYDOWN:
        case WM_SYSKEYUP:
        case WM_CHAR: {
            MSG m;
            m.hwnd = hwnd;
            m.message = message;
            m.wParam = wParam;
            m.lParam = lParam;
            m.time = GetMessageTime();
            win::Desktop().DeliverKey(hwnd, m);
            return 0;
        }
        default:
            return 0;
    }
}

LRESULT DefDlgProcW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CLOSE:
            // A dialog's close request becomes its Cancel command.
            PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(hwnd, IDCANCEL)));
            return 0;
        case DM_GETDEFID: {
            for (HWND h : win::AllWindows()) {
                win::Window* c = win::FindWindowRecord(h);
                if (c->parent == hwnd && (c->style & WS_CHILD) && c->className == L"Button" &&
                    (c->style & 0x0F) == BS_DEFPUSHBUTTON)
                    return MAKEWPARAM(static_cast<WORD>(c->id), 0x534B);  // DC_HASDEFID
            }
            return 0;
        }
        default:
            return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

BOOL IsDialogMessageW(HWND dialog, MSG* msg) {
    if (!msg || !IsWindow(dialog)) return FALSE;
    if (msg->hwnd != dialog && !IsChild(dialog, msg->hwnd)) return FALSE;
    if (msg->message == WM_KEYDOWN) {
        LRESULT code =
            SendMessageW(msg->hwnd, WM_GETDLGCODE, msg->wParam, reinterpret_cast<LPARAM>(msg));
        if (!(code & DLGC_WANTALLKEYS)) {
            if (msg->wParam == VK_ESCAPE) {
                SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                             reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
                return TRUE;
            }
            if (msg->wParam == VK_RETURN) {
                LRESULT def = SendMessageW(dialog, DM_GETDEFID, 0, 0);
                int id = HIWORD(static_cast<std::uintptr_t>(def)) == 0x534B
                             ? LOWORD(static_cast<std::uintptr_t>(def))
                             : IDOK;
                SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), BN_CLICKED),
                             reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
                return TRUE;
            }
        }
    }
    TranslateMessage(msg);
    DispatchMessageW(msg);
    return TRUE;
}
