#pragma once
// A fresh headless desktop per test, and a clean window system afterwards: windows, queued
// messages and added resources do not leak from one test into the next.
#include <gtest/gtest.h>

#include <optional>
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
        // Destroying an owner takes its owned windows with it; those then fail harmlessly.
        for (HWND h : win::AllWindows()) DestroyWindow(h);
        win::ResetMessageQueue();
        win::RemoveAddedResources();
        Seen().clear();
        if (!expectStall) {
            EXPECT_FALSE(desktop.stalled) << "a loop waited with no step left";
        }
    }

    headless::HeadlessDesktop desktop;
    bool expectStall = false;
};

}  // namespace testing_support
