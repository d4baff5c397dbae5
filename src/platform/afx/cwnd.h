#pragma once
// A window object: attached to at most one window, it receives that window's messages through
// its message map; once detached, the window gets default processing only.
#include "platform/afx/cmdtarget.h"

class CWnd : public CCmdTarget {
  public:
    CWnd();
    ~CWnd() override;

    HWND m_hWnd = nullptr;

    static CWnd* FromHandlePermanent(HWND hwnd);
    BOOL Attach(HWND hwnd);
    HWND Detach();
    BOOL SubclassWindow(HWND hwnd);

    BOOL CreateEx(DWORD exStyle, LPCWSTR className, LPCWSTR name, DWORD style, const RECT& rect,
                  CWnd* parent, UINT id);
    virtual BOOL DestroyWindow();

    // The message's way through the object: map, then default processing.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Default();
    virtual BOOL PreTranslateMessage(MSG* msg);
    virtual void PostNcDestroy() {}

    // Convenience over the window functions.
    DWORD GetStyle() const;
    DWORD GetExStyle() const;
    BOOL ModifyStyle(DWORD remove, DWORD add, UINT flags = 0);
    BOOL ShowWindow(int command);
    void MoveWindow(int x, int y, int width, int height, BOOL repaint = TRUE);
    void GetWindowRect(RECT* rect) const;
    CWnd* GetParent() const;
    void SetWindowText(LPCWSTR text);
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

    static const AFX_MSGMAP* GetThisMessageMap();
    const AFX_MSGMAP* GetMessageMap() const override;

  protected:
    void OnNcDestroy();
    HBRUSH OnCtlColor(HDC dc, CWnd* wnd, UINT ctlType);
    WNDPROC m_pfnSuper = nullptr;  // the window's processing before this object took it

  private:
    struct CurrentMessage {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    CurrentMessage m_current{};
};

// The window procedure of every window that a CWnd may be attached to.
LRESULT AfxWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// Offers a message to PreTranslateMessage from its target up through parents and owners.
BOOL AfxPreTranslateMessage(MSG* msg);
// The object that the next window created on this thread attaches to.
void AfxHookWindowCreate(CWnd* wnd);
