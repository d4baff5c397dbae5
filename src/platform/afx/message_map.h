#pragma once
// Message maps: tables that bind window messages and commands to handler methods, chained to
// the base class's table. A handler runs in place of the default processing.
#include "platform/win/windows.h"

class CCmdTarget;

struct AFX_MSGMAP_ENTRY {
    UINT message;  // 0 ends the table
    UINT code;     // notification code, for WM_COMMAND
    UINT id;       // control id, for WM_COMMAND
    LRESULT (*handler)(CCmdTarget& target, WPARAM wParam, LPARAM lParam);
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* (*base)();
    const AFX_MSGMAP_ENTRY* entries;
};

// clang-format off
#define DECLARE_MESSAGE_MAP()                            \
protected:                                               \
    static const AFX_MSGMAP* GetThisMessageMap();        \
    const AFX_MSGMAP* GetMessageMap() const override;    \
                                                         \
private:

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                     \
    const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
    const AFX_MSGMAP* theClass::GetThisMessageMap() {                                \
        using ThisClass = theClass;                                                \
        using TheBaseClass = baseClass;                                            \
        static const AFX_MSGMAP_ENTRY entries[] = {
#define END_MESSAGE_MAP()                                                 \
    {0, 0, 0, nullptr}};                                                  \
    static const AFX_MSGMAP map = {&TheBaseClass::GetThisMessageMap, entries}; \
    return &map;                                                          \
    }

#define AFX_THIS(t) static_cast<ThisClass&>(t)

#define ON_COMMAND(id, fn) \
    {WM_COMMAND, BN_CLICKED, id, [](CCmdTarget& t, WPARAM, LPARAM) -> LRESULT { AFX_THIS(t).fn(); return 0; }},
#define ON_BN_CLICKED(id, fn) ON_COMMAND(id, fn)
#define ON_MESSAGE(msg, fn) \
    {msg, 0, 0, [](CCmdTarget& t, WPARAM w, LPARAM l) -> LRESULT { return AFX_THIS(t).fn(w, l); }},
#define ON_WM_CREATE() \
    {WM_CREATE, 0, 0, [](CCmdTarget& t, WPARAM, LPARAM l) -> LRESULT { return AFX_THIS(t).OnCreate(reinterpret_cast<CREATESTRUCTW*>(l)); }},
#define ON_WM_DESTROY() \
    {WM_DESTROY, 0, 0, [](CCmdTarget& t, WPARAM, LPARAM) -> LRESULT { AFX_THIS(t).OnDestroy(); return 0; }},
#define ON_WM_NCDESTROY() \
    {WM_NCDESTROY, 0, 0, [](CCmdTarget& t, WPARAM, LPARAM) -> LRESULT { AFX_THIS(t).OnNcDestroy(); return 0; }},
#define ON_WM_CLOSE() \
    {WM_CLOSE, 0, 0, [](CCmdTarget& t, WPARAM, LPARAM) -> LRESULT { AFX_THIS(t).OnClose(); return 0; }},
#define ON_WM_MOVE() \
    {WM_MOVE, 0, 0, [](CCmdTarget& t, WPARAM, LPARAM l) -> LRESULT { AFX_THIS(t).OnMove(GET_X_LPARAM(l), GET_Y_LPARAM(l)); return 0; }},
#define ON_WM_SIZE() \
    {WM_SIZE, 0, 0, [](CCmdTarget& t, WPARAM w, LPARAM l) -> LRESULT { AFX_THIS(t).OnSize(static_cast<UINT>(w), LOWORD(static_cast<WPARAM>(l)), HIWORD(static_cast<WPARAM>(l))); return 0; }},
#define ON_WM_ERASEBKGND() \
    {WM_ERASEBKGND, 0, 0, [](CCmdTarget& t, WPARAM w, LPARAM) -> LRESULT { return AFX_THIS(t).OnEraseBkgnd(reinterpret_cast<HDC>(w)); }},
#define ON_WM_LBUTTONDOWN() \
    {WM_LBUTTONDOWN, 0, 0, [](CCmdTarget& t, WPARAM w, LPARAM l) -> LRESULT { AFX_THIS(t).OnLButtonDown(static_cast<UINT>(w), POINT{GET_X_LPARAM(l), GET_Y_LPARAM(l)}); return 0; }},
#define ON_WM_RBUTTONDOWN() \
    {WM_RBUTTONDOWN, 0, 0, [](CCmdTarget& t, WPARAM w, LPARAM l) -> LRESULT { AFX_THIS(t).OnRButtonDown(static_cast<UINT>(w), POINT{GET_X_LPARAM(l), GET_Y_LPARAM(l)}); return 0; }},
#define ON_WM_RBUTTONUP() \
    {WM_RBUTTONUP, 0, 0, [](CCmdTarget& t, WPARAM w, LPARAM l) -> LRESULT { AFX_THIS(t).OnRButtonUp(static_cast<UINT>(w), POINT{GET_X_LPARAM(l), GET_Y_LPARAM(l)}); return 0; }},
#define ON_WM_CTLCOLOR() \
    {WM_CTLCOLOR, 0, 0, [](CCmdTarget& t, WPARAM w, LPARAM l) -> LRESULT { auto* req = reinterpret_cast<AFX_CTLCOLOR*>(l); (void)w; return reinterpret_cast<LRESULT>(AFX_THIS(t).OnCtlColor(req->hDC, CWnd::FromHandlePermanent(req->hWnd), req->nCtlType)); }},

// clang-format on

// The request WM_CTLCOLOR carries: which DC, which window, which kind of control.
struct AFX_CTLCOLOR {
    HWND hWnd;
    HDC hDC;
    UINT nCtlType;
};
