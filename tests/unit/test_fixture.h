#pragma once
// A fresh headless desktop per test, and a clean window system afterwards: windows, queued
// messages and added resources do not leak from one test into the next.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/backend/headless/headless_desktop.h"
#include "platform/win/window.h"
#include "platform/win/windows.h"

namespace testing_support {

// Every message a recording window procedure saw, in order.
struct SeenMessage {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

inline std::vector<SeenMessage>& Seen() {
    static std::vector<SeenMessage> seen;
    return seen;
}

// Window procedures that record, then give the message the default processing of a plain
// window or of a dialog.
inline LRESULT RecordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Seen().push_back({hwnd, message, wParam, lParam});
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

inline LRESULT RecordingDlgProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Seen().push_back({hwnd, message, wParam, lParam});
    return DefDlgProcW(hwnd, message, wParam, lParam);
}

inline std::vector<SeenMessage> SeenOf(HWND hwnd, UINT message) {
    std::vector<SeenMessage> out;
    for (const SeenMessage& m : Seen())
        if (m.hwnd == hwnd && m.message == message)
            out.push_back(m);
    return out;
}

inline std::optional<SeenMessage> LastSeen(HWND hwnd, UINT message) {
    auto all = SeenOf(hwnd, message);
    if (all.empty())
        return std::nullopt;
    return all.back();
}

// Dispatches every posted message, leaving a pending quit in the queue. True when a quit is
// pending afterwards.
inline bool PumpPosted() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
        if (msg.message == WM_QUIT)
            return true;
        PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);
        DispatchMessageW(&msg);
    }
    return false;
}

// Takes a pending quit message out of the queue; its exit code, or nullopt when none is pending
// (posted messages still waiting count as "none": the quit comes after them).
inline std::optional<int> TakeQuit() {
    MSG msg;
    if (!PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE) || msg.message != WM_QUIT)
        return std::nullopt;
    PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);
    return static_cast<int>(msg.wParam);
}

inline RECT WindowRect(HWND h) {
    RECT r{};
    GetWindowRect(h, &r);
    return r;
}

inline bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// The header of a DIB of the given size and depth (a positive height is bottom-up).
inline BITMAPINFO DibHeader(LONG width, LONG height, WORD bits = 32) {
    BITMAPINFO bi;
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = bits;
    bi.bmiHeader.biCompression = BI_RGB;
    return bi;
}

// Values as a page's script passes them to the host object.
inline win::ScriptValue PageValue(win::ScriptValue::Kind kind) {
    win::ScriptValue v;
    v.kind = kind;
    return v;
}
inline win::ScriptValue PageString(const std::wstring& s) {
    win::ScriptValue v = PageValue(win::ScriptValue::Kind::String);
    v.string = s;
    return v;
}
inline win::ScriptValue PageNumber(double n) {
    win::ScriptValue v = PageValue(win::ScriptValue::Kind::Number);
    v.number = n;
    return v;
}
inline win::ScriptValue PageBool(bool b) {
    win::ScriptValue v = PageValue(win::ScriptValue::Kind::Boolean);
    v.boolean = b;
    return v;
}

// Leaves no windows, queued messages or added resources for the next test. Destroying an
// owner takes its owned windows with it; those then fail harmlessly.
inline void CleanWindowSystem() {
    for (HWND h : win::AllWindows()) DestroyWindow(h);
    win::ResetMessageQueue();
    win::RemoveAddedResources();
}

inline HWND MakeWindow(DWORD style, RECT r, HWND parentOrOwner = nullptr, int id = 0,
                       LPCWSTR className = L"Probe", WNDPROC proc = RecordingProc) {
    return CreateWindowExW(0, className, L"", style, r.left, r.top, r.Width(), r.Height(),
                           parentOrOwner, id, proc, nullptr);
}

class HeadlessTest : public ::testing::Test {
  protected:
    void SetUp() override {
        win::ResetMessageQueue();
        Seen().clear();
    }

    void TearDown() override {
        CleanWindowSystem();
        Seen().clear();
        if (!expectStall) {
            EXPECT_FALSE(desktop.stalled) << "a loop waited with no step left";
        }
    }

    headless::HeadlessDesktop desktop;
    bool expectStall = false;
};

}  // namespace testing_support
