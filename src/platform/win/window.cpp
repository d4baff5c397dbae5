#include "platform/win/window.h"

#include <algorithm>
#include <map>

#include "platform/backend/backend.h"
#include "platform/win/api.h"

namespace win {
namespace {

// Windows live here, keyed by a handle number that is never reused, so a stale handle
// cannot reach a newer window.
struct WindowTable {
    std::map<std::uintptr_t, Window> windows;
    std::uintptr_t nextHandle = 0x10000;
    HWND focus = nullptr;
};

WindowTable& Table() {
    static WindowTable table;
    return table;
}

// Where a minimised window is parked, as the original platform does.
constexpr LONG kMinimizedPosition = -32000;

bool IsTopLevel(const Window& w) {
    return (w.style & WS_CHILD) == 0;
}

RECT Insets(const Window& w) {
    if (!IsTopLevel(w)) return RECT{};
    return Desktop().FrameInsets(w.style, w.exStyle);
}

RECT ClientOf(const Window& w) {
    if (w.style & WS_MINIMIZE) return RECT{w.rect.left, w.rect.top, w.rect.left, w.rect.top};
    RECT in = Insets(w);
    RECT c{w.rect.left + in.left, w.rect.top + in.top, w.rect.right - in.right,
           w.rect.bottom - in.bottom};
    if (c.right < c.left) c.right = c.left;
    if (c.bottom < c.top) c.bottom = c.top;
    return c;
}

WPARAM SizeKind(const Window& w) {
    if (w.style & WS_MINIMIZE) return SIZE_MINIMIZED;
    if (w.style & WS_MAXIMIZE) return SIZE_MAXIMIZED;
    return SIZE_RESTORED;
}

void NotifyMove(HWND hwnd) {
    Window* w = FindWindowRecord(hwnd);
    if (!w) return;
    RECT c = ClientOf(*w);
    SendMessageW(hwnd, WM_MOVE, 0, MAKELPARAM(c.left, c.top));
}

void NotifySize(HWND hwnd) {
    Window* w = FindWindowRecord(hwnd);
    if (!w) return;
    RECT c = ClientOf(*w);
    SendMessageW(hwnd, WM_SIZE, SizeKind(*w), MAKELPARAM(c.Width(), c.Height()));
}

// Moves a window to `r` and tells it, as a placement change does.
void Place(HWND hwnd, const RECT& r) {
    Window* w = FindWindowRecord(hwnd);
    if (!w) return;
    w->rect = r;
    Desktop().Sync(hwnd, kSyncGeometry | kSyncVisibility);
    NotifyMove(hwnd);
    NotifySize(hwnd);
}

std::vector<HWND> OwnedWindows(HWND owner) {
    std::vector<HWND> result;
    for (auto& [key, w] : Table().windows)
        if (w.owner == owner && !w.destroying) result.push_back(w.handle);
    return result;
}

std::vector<HWND> ChildWindows(HWND parent) {
    std::vector<HWND> result;
    for (auto& [key, w] : Table().windows)
        if (w.parent == parent && !w.destroying) result.push_back(w.handle);
    return result;
}

void HideOwnedForMinimize(HWND owner) {
    for (HWND h : OwnedWindows(owner)) {
        Window* o = FindWindowRecord(h);
        if (o && (o->style & WS_VISIBLE)) {
            o->hiddenByOwner = true;
            Desktop().Sync(h, kSyncVisibility);
        }
    }
}

void ShowOwnedAfterRestore(HWND owner) {
    for (HWND h : OwnedWindows(owner)) {
        Window* o = FindWindowRecord(h);
        if (!o || !o->hiddenByOwner) continue;
        o->hiddenByOwner = false;
        if (o->style & WS_MINIMIZE)
            ShowWindow(h, SW_RESTORE);
        else
            Desktop().Sync(h, kSyncVisibility);
    }
}

}  // namespace

Window* FindWindowRecord(HWND hwnd) {
    auto& t = Table().windows;
    auto it = t.find(reinterpret_cast<std::uintptr_t>(hwnd));
    return it == t.end() ? nullptr : &it->second;
}

std::vector<HWND> AllWindows() {
    std::vector<HWND> result;
    for (auto& [key, w] : Table().windows) result.push_back(w.handle);
    return result;
}

RECT ClientRectOnScreen(HWND hwnd) {
    Window* w = FindWindowRecord(hwnd);
    return w ? ClientOf(*w) : RECT{};
}

RECT MaximizedRect(DWORD style) {
    // A window without a caption covers the whole screen when maximised, panels included.
    if ((style & WS_CAPTION) == WS_CAPTION) return Desktop().WorkArea();
    return Desktop().ScreenRect();
}

void DesktopMovedWindow(HWND hwnd, const RECT& r) {
    Window* w = FindWindowRecord(hwnd);
    if (!w || w->destroying || (w->style & WS_MINIMIZE) || w->rect == r) return;
    bool moved = r.left != w->rect.left || r.top != w->rect.top;
    bool sized = r.Width() != w->rect.Width() || r.Height() != w->rect.Height();
    w->rect = r;
    if (moved) NotifyMove(hwnd);
    if (sized) NotifySize(hwnd);
}

void DesktopChangedPlacement(HWND hwnd, int showCommand) {
    Window* w = FindWindowRecord(hwnd);
    if (!w || w->destroying) return;
    ShowWindow(hwnd, showCommand);
}

void DesktopFocusChanged(HWND hwnd) {
    if (hwnd == nullptr || FindWindowRecord(hwnd)) Table().focus = hwnd;
}

}  // namespace win

using win::FindWindowRecord;
using win::Window;

HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x,
                     int y, int width, int height, HWND parentOrOwner, int id, WNDPROC proc,
                     LPVOID param) {
    auto& table = win::Table();
    HWND hwnd = reinterpret_cast<HWND>(table.nextHandle++);
    Window w;
    w.handle = hwnd;
    w.proc = proc ? proc : DefWindowProcW;
    w.className = className ? className : L"";
    w.text = windowName ? windowName : L"";
    w.exStyle = exStyle;
    // The show state is set by showing, not by creating.
    w.style = style & ~(WS_VISIBLE | WS_MINIMIZE | WS_MAXIMIZE);
    w.rect = RECT{x, y, x + std::max(0, width), y + std::max(0, height)};
    w.restoreRect = w.rect;
    w.id = id;
    w.wantsAllKeys = w.className == L"WebView";
    if (style & WS_CHILD)
        w.parent = parentOrOwner;
    else if (parentOrOwner) {
        // An owner is always a top-level window.
        HWND owner = parentOrOwner;
        while (Window* o = FindWindowRecord(owner)) {
            if (!(o->style & WS_CHILD)) break;
            owner = o->parent;
        }
        w.owner = owner;
    }
    table.windows.emplace(reinterpret_cast<std::uintptr_t>(hwnd), std::move(w));

    CREATESTRUCTW cs;
    cs.lpCreateParams = param;
    cs.hwndParent = parentOrOwner;
    cs.x = x;
    cs.y = y;
    cs.cx = width;
    cs.cy = height;
    cs.style = static_cast<LONG>(style);
    cs.lpszName = windowName;
    cs.lpszClass = className;
    cs.dwExStyle = exStyle;
    LPARAM lp = reinterpret_cast<LPARAM>(&cs);
    if (!SendMessageW(hwnd, WM_NCCREATE, 0, lp) || SendMessageW(hwnd, WM_CREATE, 0, lp) == -1) {
        DestroyWindow(hwnd);
        return nullptr;
    }
    if (!FindWindowRecord(hwnd)) return nullptr;
    win::Desktop().Realize(hwnd);
    if (style & WS_VISIBLE) ShowWindow(hwnd, SW_SHOW);
    return hwnd;
}

BOOL DestroyWindow(HWND hwnd) {
    Window* w = FindWindowRecord(hwnd);
    if (!w || w->destroying) return FALSE;
    w->destroying = true;
    for (HWND owned : win::OwnedWindows(hwnd)) DestroyWindow(owned);
    w = FindWindowRecord(hwnd);
    if (w->style & WS_VISIBLE) {
        w->style &= ~WS_VISIBLE;
        win::Desktop().Sync(hwnd, win::kSyncVisibility);
    }
    if (win::Table().focus == hwnd) win::Table().focus = nullptr;
    SendMessageW(hwnd, WM_DESTROY, 0, 0);
    for (HWND child : win::ChildWindows(hwnd)) DestroyWindow(child);
    SendMessageW(hwnd, WM_NCDESTROY, 0, 0);
    win::Desktop().Unrealize(hwnd);
    win::Table().windows.erase(reinterpret_cast<std::uintptr_t>(hwnd));
    return TRUE;
}

BOOL IsWindow(HWND hwnd) {
    return FindWindowRecord(hwnd) != nullptr;
}

BOOL IsWindowVisible(HWND hwnd) {
    // Visible only when it and every parent carry the visible bit.
    for (Window* w = FindWindowRecord(hwnd); w; w = FindWindowRecord(w->parent)) {
        if (!(w->style & WS_VISIBLE) || w->hiddenByOwner) return FALSE;
        if (!(w->style & WS_CHILD)) return TRUE;
    }
    return FALSE;
}

BOOL IsChild(HWND parent, HWND hwnd) {
    for (Window* w = FindWindowRecord(hwnd); w && (w->style & WS_CHILD);
         w = FindWindowRecord(w->parent))
        if (w->parent == parent) return TRUE;
    return FALSE;
}

BOOL IsIconic(HWND hwnd) {
    Window* w = FindWindowRecord(hwnd);
    return w && (w->style & WS_MINIMIZE);
}

BOOL IsZoomed(HWND hwnd) {
    Window* w = FindWindowRecord(hwnd);
    return w && (w->style & WS_MAXIMIZE);
}

HWND GetParent(HWND hwnd) {
    // A child's parent, or a top-level window's owner.
    Window* w = FindWindowRecord(hwnd);
    if (!w) return nullptr;
    return (w->style & WS_CHILD) ? w->parent : w->owner;
}

HWND GetDlgItem(HWND dialog, int id) {
    for (HWND child : win::ChildWindows(dialog))
        if (FindWindowRecord(child)->id == id) return child;
    return nullptr;
}

int GetDlgCtrlID(HWND hwnd) {
    Window* w = FindWindowRecord(hwnd);
    return w ? w->id : 0;
}

BOOL ShowWindow(HWND hwnd, int command) {
    Window* w = FindWindowRecord(hwnd);
    if (!w) return FALSE;
    BOOL wasVisible = (w->style & WS_VISIBLE) != 0;
    auto& desktop = win::Desktop();
    switch (command) {
        case SW_HIDE:
            w->style &= ~WS_VISIBLE;
            desktop.Sync(hwnd, win::kSyncVisibility);
            if (win::Table().focus == hwnd) win::Table().focus = nullptr;
            break;
        case SW_SHOW:
        case SW_SHOWNOACTIVATE:
            w->style |= WS_VISIBLE;
            desktop.Sync(hwnd, win::kSyncVisibility);
            break;
        case SW_SHOWNORMAL:
        case SW_RESTORE: {
            w->style |= WS_VISIBLE;
            if (w->style & WS_MINIMIZE) {
                w->style &= ~WS_MINIMIZE;
                if (w->restoreToMaximized) {
                    w->style |= WS_MAXIMIZE;
                    win::Place(hwnd, win::MaximizedRect(w->style));
                } else {
                    win::Place(hwnd, w->restoreRect);
                }
                win::ShowOwnedAfterRestore(hwnd);
            } else if (w->style & WS_MAXIMIZE) {
                w->style &= ~WS_MAXIMIZE;
                win::Place(hwnd, w->restoreRect);
            } else {
                desktop.Sync(hwnd, win::kSyncVisibility);
            }
            break;
        }
        case SW_MAXIMIZE: {
            bool wasMinimized = (w->style & WS_MINIMIZE) != 0;
            if (!(w->style & (WS_MINIMIZE | WS_MAXIMIZE))) w->restoreRect = w->rect;
            w->style = (w->style & ~WS_MINIMIZE) | WS_MAXIMIZE | WS_VISIBLE;
            w->restoreToMaximized = false;
            win::Place(hwnd, win::MaximizedRect(w->style));
            if (wasMinimized) win::ShowOwnedAfterRestore(hwnd);
            break;
        }
        case SW_MINIMIZE:
        case SW_SHOWMINIMIZED: {
            if (!(w->style & WS_MINIMIZE)) {
                if (!(w->style & WS_MAXIMIZE)) w->restoreRect = w->rect;
                w->restoreToMaximized = (w->style & WS_MAXIMIZE) != 0;
                w->style = (w->style & ~WS_MAXIMIZE) | WS_MINIMIZE | WS_VISIBLE;
                RECT parked{win::kMinimizedPosition, win::kMinimizedPosition,
                            win::kMinimizedPosition + 160, win::kMinimizedPosition + 28};
                win::Place(hwnd, parked);
                win::HideOwnedForMinimize(hwnd);
            } else {
                w->style |= WS_VISIBLE;
                desktop.Sync(hwnd, win::kSyncVisibility);
            }
            break;
        }
        default:
            w->style |= WS_VISIBLE;
            desktop.Sync(hwnd, win::kSyncVisibility);
            break;
    }
    return wasVisible;
}

BOOL SetWindowPos(HWND hwnd, HWND, int x, int y, int cx, int cy, UINT flags) {
    Window* w = FindWindowRecord(hwnd);
    if (!w) return FALSE;
    // A minimised window keeps its parking place; the change applies when it is restored.
    RECT& target = (w->style & WS_MINIMIZE) ? w->restoreRect : w->rect;
    RECT r = target;
    if (!(flags & SWP_NOMOVE)) {
        r.right = x + r.Width();
        r.bottom = y + r.Height();
        r.left = x;
        r.top = y;
    }
    if (!(flags & SWP_NOSIZE)) {
        r.right = r.left + std::max(0, cx);
        r.bottom = r.top + std::max(0, cy);
    }
    target = r;
    if (!(flags & SWP_NOZORDER)) win::Desktop().Sync(hwnd, win::kSyncZOrder);
    if (flags & SWP_SHOWWINDOW) ShowWindow(hwnd, SW_SHOW);
    if (flags & SWP_HIDEWINDOW) ShowWindow(hwnd, SW_HIDE);
    if (!FindWindowRecord(hwnd)) return TRUE;
    win::Desktop().Sync(
        hwnd, win::kSyncGeometry | ((flags & SWP_FRAMECHANGED) ? unsigned{win::kSyncStyle} : 0u));
    if (!(flags & SWP_NOMOVE)) win::NotifyMove(hwnd);
    if (!(flags & SWP_NOSIZE)) win::NotifySize(hwnd);
    return TRUE;
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL) {
    return SetWindowPos(hwnd, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL BringWindowToTop(HWND hwnd) {
    if (!FindWindowRecord(hwnd)) return FALSE;
    win::Desktop().Sync(hwnd, win::kSyncZOrder);
    return TRUE;
}

BOOL GetWindowRect(HWND hwnd, RECT* rect) {
    Window* w = FindWindowRecord(hwnd);
    if (!w || !rect) return FALSE;
    *rect = w->rect;
    // A child's rectangle is reported on the screen, like every window rectangle.
    for (Window* p = w; p->style & WS_CHILD;) {
        p = FindWindowRecord(p->parent);
        if (!p) break;
        RECT c = win::ClientOf(*p);
        rect->left += c.left;
        rect->right += c.left;
        rect->top += c.top;
        rect->bottom += c.top;
        if (!(p->style & WS_CHILD)) break;
    }
    return TRUE;
}

BOOL GetClientRect(HWND hwnd, RECT* rect) {
    Window* w = FindWindowRecord(hwnd);
    if (!w || !rect) return FALSE;
    RECT c = win::ClientOf(*w);
    *rect = RECT{0, 0, c.Width(), c.Height()};
    return TRUE;
}

LONG GetWindowLongW(HWND hwnd, int index) {
    Window* w = FindWindowRecord(hwnd);
    if (!w) return 0;
    if (index == GWL_STYLE) return static_cast<LONG>(w->style);
    if (index == GWL_EXSTYLE) return static_cast<LONG>(w->exStyle);
    return 0;
}

LONG SetWindowLongW(HWND hwnd, int index, LONG value) {
    Window* w = FindWindowRecord(hwnd);
    if (!w) return 0;
    DWORD v = static_cast<DWORD>(value);
    LONG old = GetWindowLongW(hwnd, index);
    if (index == GWL_STYLE) {
        // The show state stays what showing made it.
        constexpr DWORD kShowBits = WS_VISIBLE | WS_MINIMIZE | WS_MAXIMIZE;
        w->style = (w->style & kShowBits) | (v & ~kShowBits);
        win::Desktop().Sync(hwnd, win::kSyncStyle);
    } else if (index == GWL_EXSTYLE) {
        w->exStyle = v;
        win::Desktop().Sync(hwnd, win::kSyncStyle);
    }
    return old;
}

BOOL SetWindowTextW(HWND hwnd, LPCWSTR text) {
    return SendMessageW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) ? TRUE : FALSE;
}

std::wstring GetWindowTextString(HWND hwnd) {
    Window* w = FindWindowRecord(hwnd);
    return w ? w->text : std::wstring();
}

BOOL EnableWindow(HWND hwnd, BOOL enable) {
    Window* w = FindWindowRecord(hwnd);
    if (!w) return FALSE;
    BOOL wasDisabled = !w->enabled;
    w->enabled = enable != FALSE;
    return wasDisabled;
}

BOOL IsWindowEnabled(HWND hwnd) {
    Window* w = FindWindowRecord(hwnd);
    return w && w->enabled;
}

HWND SetFocus(HWND hwnd) {
    HWND old = win::Table().focus;
    if (hwnd == nullptr || FindWindowRecord(hwnd)) win::Table().focus = hwnd;
    return old;
}

HWND GetFocus() {
    HWND f = win::Table().focus;
    return FindWindowRecord(f) ? f : nullptr;
}

BOOL UpdateWindow(HWND hwnd) {
    return IsWindow(hwnd);
}

BOOL AdjustWindowRect(RECT* rect, DWORD style, BOOL) {
    if (!rect) return FALSE;
    RECT in = (style & WS_CHILD) ? RECT{} : win::Desktop().FrameInsets(style, 0);
    rect->left -= in.left;
    rect->top -= in.top;
    rect->right += in.right;
    rect->bottom += in.bottom;
    return TRUE;
}

int GetSystemMetrics(int index) {
    auto& desktop = win::Desktop();
    RECT screen = desktop.ScreenRect();
    switch (index) {
        case SM_CXSCREEN:
            return screen.Width();
        case SM_CYSCREEN:
            return screen.Height();
        case SM_CXFULLSCREEN:
        case SM_CYFULLSCREEN: {
            // The client area of a maximised captioned window on the primary display.
            RECT work = desktop.WorkArea();
            RECT in = desktop.FrameInsets(WS_OVERLAPPEDWINDOW, 0);
            if (index == SM_CXFULLSCREEN) return work.Width();
            return work.Height() - (in.top - in.bottom);
        }
        default:
            return 0;
    }
}

BOOL SystemParametersInfoW(UINT action, UINT, LPVOID out, UINT) {
    if (action != SPI_GETWORKAREA || !out) return FALSE;
    *static_cast<RECT*>(out) = win::Desktop().WorkArea();
    return TRUE;
}
