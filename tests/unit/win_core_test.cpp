// Behaviour of the window-system core on the headless desktop: the queue, default processing,
// destruction order, placement, GDI bookkeeping, resources and the shell.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "platform/win/variant.h"
#include "test_fixture.h"

namespace {

using namespace testing_support;

constexpr RECT kNormal{100, 100, 500, 400};
constexpr UINT kPing = WM_USER + 1;
constexpr UINT kPong = WM_USER + 2;

using WinCoreQueue = HeadlessTest;
using WinCoreDefault = HeadlessTest;
using WinCoreDestroy = HeadlessTest;
using WinCorePlacement = HeadlessTest;
using WinCoreGdi = HeadlessTest;
using WinCoreResources = HeadlessTest;
using WinCoreShell = HeadlessTest;

POINT MovedTo(const SeenMessage& m) {
    return POINT{GET_X_LPARAM(m.lParam), GET_Y_LPARAM(m.lParam)};
}
SIZE SizedTo(const SeenMessage& m) {
    return SIZE{LOWORD(static_cast<WPARAM>(m.lParam)), HIWORD(static_cast<WPARAM>(m.lParam))};
}

// ---- Message queue ----------------------------------------------------------------------

TEST_F(WinCoreQueue, PostedWaitsForAPumpWhileSentIsHandledAtOnce) {
    HWND h = MakeWindow(WS_POPUP, kNormal);
    ASSERT_TRUE(PostMessageW(h, kPing, 7, 8));
    EXPECT_TRUE(SeenOf(h, kPing).empty());
    EXPECT_EQ(win::QueuedMessageCount(), 1u);

    SendMessageW(h, kPong, 1, 2);
    ASSERT_EQ(SeenOf(h, kPong).size(), 1u);
    EXPECT_TRUE(SeenOf(h, kPing).empty()) << "a send must not flush the queue";

    EXPECT_FALSE(PumpPosted());
    auto ping = SeenOf(h, kPing);
    ASSERT_EQ(ping.size(), 1u);
    EXPECT_EQ(ping[0].wParam, 7u);
    EXPECT_EQ(ping[0].lParam, 8);
    EXPECT_EQ(win::QueuedMessageCount(), 0u);
}

TEST_F(WinCoreQueue, MessagesForDestroyedWindowsAreDropped) {
    HWND gone = MakeWindow(WS_POPUP, kNormal);
    HWND live = MakeWindow(WS_POPUP, kNormal);
    PostMessageW(gone, kPing, 1, 0);
    PostMessageW(live, kPing, 2, 0);
    PostMessageW(gone, kPing, 3, 0);
    DestroyWindow(gone);
    EXPECT_FALSE(PostMessageW(gone, kPing, 4, 0)) << "posting to a stale handle must fail";

    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, live);
    EXPECT_EQ(msg.wParam, 2u);
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(SendMessageW(gone, kPing, 0, 0), 0);
}

TEST_F(WinCoreQueue, QuitComesOnlyAfterQueuedMessagesAndOnce) {
    HWND h = MakeWindow(WS_POPUP, kNormal);
    PostQuitMessage(7);
    PostMessageW(h, kPing, 1, 0);
    PostMessageW(h, kPing, 2, 0);

    MSG msg;
    ASSERT_TRUE(GetMessageW(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.wParam, 1u);
    ASSERT_TRUE(GetMessageW(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.wParam, 2u);
    EXPECT_FALSE(GetMessageW(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, WM_QUIT);
    EXPECT_EQ(msg.wParam, 7u);
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) << "the quit is delivered once";
}

TEST_F(WinCoreQueue, ScriptedStepsRunWhenTheLoopWaits) {
    HWND h = MakeWindow(WS_POPUP, kNormal);
    desktop.Then([&] { PostMessageW(h, kPing, 5, 0); });
    desktop.Then([&] { PostQuitMessage(3); });
    MSG msg;
    ASSERT_TRUE(GetMessageW(&msg, nullptr, 0, 0));
    DispatchMessageW(&msg);
    EXPECT_EQ(SeenOf(h, kPing).size(), 1u);
    EXPECT_FALSE(GetMessageW(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.wParam, 3u);
    EXPECT_EQ(desktop.PendingSteps(), 0u);
}

TEST_F(WinCoreQueue, LoopWithNoStepLeftStallsWithQuitInsteadOfHanging) {
    expectStall = true;
    MSG msg;
    EXPECT_FALSE(GetMessageW(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, WM_QUIT);
    EXPECT_TRUE(desktop.stalled);
}

// ---- Default processing -------------------------------------------------------------------

TEST_F(WinCoreDefault, CloseAndSystemCloseDestroyTheWindow) {
    struct Case {
        const char* name;
        UINT message;
        WPARAM wParam;
    } cases[] = {{"WM_CLOSE", WM_CLOSE, 0},
                 {"SC_CLOSE", WM_SYSCOMMAND, SC_CLOSE},
                 {"SC_CLOSE with low bits", WM_SYSCOMMAND, SC_CLOSE | 0x3}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Seen().clear();
        HWND h = MakeWindow(WS_OVERLAPPEDWINDOW, kNormal);
        SendMessageW(h, c.message, c.wParam, 0);
        EXPECT_FALSE(IsWindow(h));
        EXPECT_EQ(SeenOf(h, WM_CLOSE).size(), 1u);
        EXPECT_EQ(SeenOf(h, WM_DESTROY).size(), 1u);
    }
}

TEST_F(WinCoreDefault, CaptionDragStartsDesktopMoveAndReportsTheNewPlace) {
    HWND h = MakeWindow(WS_OVERLAPPEDWINDOW, kNormal);
    desktop.dragOffset = POINT{40, -20};
    SendMessageW(h, WM_SYSCOMMAND, SC_MOVE | HTCAPTION, 0);
    EXPECT_EQ(desktop.moveDrags, 1);
    RECT r;
    GetWindowRect(h, &r);
    EXPECT_EQ(r, (RECT{140, 80, 540, 380}));
    auto move = LastSeen(h, WM_MOVE);
    ASSERT_TRUE(move);
    EXPECT_EQ(MovedTo(*move).x, 143);  // client origin: frame insets 3 / 26
    EXPECT_EQ(MovedTo(*move).y, 106);
    EXPECT_TRUE(SeenOf(h, WM_SIZE).empty()) << "a move is not a resize";

    // A drag that ends where it began reports nothing.
    Seen().clear();
    desktop.dragOffset = POINT{0, 0};
    SendMessageW(h, WM_SYSCOMMAND, SC_MOVE | HTCAPTION, 0);
    EXPECT_EQ(desktop.moveDrags, 2);
    EXPECT_TRUE(SeenOf(h, WM_MOVE).empty());
}

TEST_F(WinCoreDefault, DialogCloseBecomesAPostedCancelCommand) {
    HWND dlg = MakeWindow(WS_POPUP | WS_CAPTION, kNormal, nullptr, 0, L"#32770", RecordingDlgProc);
    SendMessageW(dlg, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(dlg)) << "a dialog is not destroyed by its close request";
    EXPECT_TRUE(SeenOf(dlg, WM_COMMAND).empty()) << "the cancel command is posted, not sent";
    PumpPosted();
    auto cmd = SeenOf(dlg, WM_COMMAND);
    ASSERT_EQ(cmd.size(), 1u);
    EXPECT_EQ(LOWORD(cmd[0].wParam), IDCANCEL);
    EXPECT_EQ(HIWORD(cmd[0].wParam), BN_CLICKED);
    EXPECT_TRUE(IsWindow(dlg));
}

TEST_F(WinCoreDefault, DialogKeysBecomeCommandsUnlessAWebViewTakesThem) {
    enum Target { kDialog, kButton, kWebView };
    struct Case {
        const char* name;
        Target target;
        bool defaultButton;
        WPARAM key;
        int command;  // 0: the key must reach the web view instead
    } cases[] = {
        {"Enter, default push button", kDialog, true, VK_RETURN, 104},
        {"Enter on the button, default push button", kButton, true, VK_RETURN, 104},
        {"Enter, plain push button only", kDialog, false, VK_RETURN, IDOK},
        {"Esc", kDialog, true, VK_ESCAPE, IDCANCEL},
        {"Esc on the button", kButton, false, VK_ESCAPE, IDCANCEL},
        {"Enter in the web view", kWebView, true, VK_RETURN, 0},
        {"Esc in the web view", kWebView, true, VK_ESCAPE, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Seen().clear();
        HWND dlg =
            MakeWindow(WS_POPUP | WS_CAPTION, kNormal, nullptr, 0, L"#32770", RecordingDlgProc);
        HWND button = MakeWindow(WS_CHILD | WS_VISIBLE | (c.defaultButton ? BS_DEFPUSHBUTTON : 0),
                                 RECT{0, 0, 80, 20}, dlg, 104, L"Button", DefWindowProcW);
        HWND view = MakeWindow(WS_CHILD | WS_VISIBLE, RECT{0, 30, 300, 200}, dlg, 1005, L"WebView",
                               DefWindowProcW);
        MSG msg;
        msg.hwnd = c.target == kDialog ? dlg : c.target == kButton ? button : view;
        msg.message = WM_KEYDOWN;
        msg.wParam = c.key;
        msg.lParam = 1;
        EXPECT_TRUE(IsDialogMessageW(dlg, &msg));

        auto commands = SeenOf(dlg, WM_COMMAND);
        const auto* native = desktop.Native(view);
        ASSERT_NE(native, nullptr);
        if (c.command) {
            ASSERT_EQ(commands.size(), 1u);
            EXPECT_EQ(LOWORD(commands[0].wParam), c.command);
            EXPECT_TRUE(native->deliveredKeys.empty());
        } else {
            EXPECT_TRUE(commands.empty());
            ASSERT_EQ(native->deliveredKeys.size(), 1u);
            EXPECT_EQ(native->deliveredKeys[0].wParam, c.key);
        }
        DestroyWindow(dlg);
        EXPECT_FALSE(IsWindow(view));
    }
}

TEST_F(WinCoreDefault, DialogMessageIgnoresWindowsOutsideTheDialog) {
    HWND dlg = MakeWindow(WS_POPUP, kNormal, nullptr, 0, L"#32770", RecordingDlgProc);
    HWND other = MakeWindow(WS_POPUP, kNormal);
    MSG msg;
    msg.hwnd = other;
    msg.message = WM_KEYDOWN;
    msg.wParam = VK_ESCAPE;
    EXPECT_FALSE(IsDialogMessageW(dlg, &msg));
    EXPECT_TRUE(SeenOf(dlg, WM_COMMAND).empty());
    EXPECT_FALSE(IsDialogMessageW(dlg, nullptr));
}

// ---- Destruction order ----------------------------------------------------------------

TEST_F(WinCoreDestroy, OwnedWindowsFirstThenDestroyThenChildrenThenNcDestroy) {
    HWND top = MakeWindow(WS_POPUP | WS_VISIBLE, kNormal);
    HWND child = MakeWindow(WS_CHILD | WS_VISIBLE, RECT{0, 0, 50, 50}, top);
    HWND grandchild = MakeWindow(WS_CHILD | WS_VISIBLE, RECT{0, 0, 10, 10}, child);
    HWND owned = MakeWindow(WS_POPUP | WS_VISIBLE, kNormal, top);
    HWND ownedChild = MakeWindow(WS_CHILD, RECT{0, 0, 10, 10}, owned);
    // Owned by a child means owned by the child's top-level window.
    HWND ownedViaChild = MakeWindow(WS_POPUP, kNormal, child);
    EXPECT_EQ(GetParent(ownedViaChild), top);

    Seen().clear();
    ASSERT_TRUE(DestroyWindow(top));

    std::vector<std::pair<HWND, UINT>> order;
    for (const SeenMessage& m : Seen())
        if (m.message == WM_DESTROY || m.message == WM_NCDESTROY)
            order.push_back({m.hwnd, m.message});
    auto at = [&](HWND h, UINT msg) {
        for (std::size_t i = 0; i < order.size(); ++i)
            if (order[i] == std::make_pair(h, msg))
                return static_cast<int>(i);
        return -1;
    };
    for (HWND h : {top, child, grandchild, owned, ownedChild, ownedViaChild}) {
        EXPECT_FALSE(IsWindow(h));
        ASSERT_GE(at(h, WM_DESTROY), 0);
        EXPECT_LT(at(h, WM_DESTROY), at(h, WM_NCDESTROY));
    }
    EXPECT_EQ(order.size(), 12u) << "each window hears each message once";
    EXPECT_LT(at(owned, WM_NCDESTROY), at(top, WM_DESTROY));
    EXPECT_LT(at(ownedViaChild, WM_NCDESTROY), at(top, WM_DESTROY));
    EXPECT_LT(at(top, WM_DESTROY), at(child, WM_DESTROY));
    EXPECT_LT(at(child, WM_DESTROY), at(grandchild, WM_DESTROY));
    EXPECT_LT(at(grandchild, WM_NCDESTROY), at(child, WM_NCDESTROY));
    EXPECT_LT(at(child, WM_NCDESTROY), at(top, WM_NCDESTROY));
    EXPECT_LT(at(ownedChild, WM_NCDESTROY), at(owned, WM_NCDESTROY));

    int ownedGone = desktop.FindLog("destroy " + desktop.Name(owned));
    EXPECT_GE(ownedGone, 0);
    EXPECT_LT(ownedGone, desktop.FindLog("destroy " + desktop.Name(top)));
    EXPECT_FALSE(DestroyWindow(top)) << "a second destroy is refused";
}

// While a window handles WM_DESTROY its children still exist, so it can still reach them.
LRESULT ChildCheckingProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_DESTROY) {
        HWND child = GetDlgItem(h, 77);
        Seen().push_back({h, m, IsWindow(child) ? 1u : 0u, 0});
        return 0;
    }
    return DefWindowProcW(h, m, w, l);
}

TEST_F(WinCoreDestroy, ChildrenStillExistDuringTheParentsDestroy) {
    HWND top = MakeWindow(WS_POPUP, kNormal, nullptr, 0, L"Probe", ChildCheckingProc);
    MakeWindow(WS_CHILD, RECT{0, 0, 10, 10}, top, 77);
    DestroyWindow(top);
    auto destroy = SeenOf(top, WM_DESTROY);
    ASSERT_EQ(destroy.size(), 1u);
    EXPECT_EQ(destroy[0].wParam, 1u);
}

// ---- Placement --------------------------------------------------------------------------

TEST_F(WinCorePlacement, MaximizeCoversWorkAreaWithCaptionAndScreenWithout) {
    desktop.workArea = RECT{0, 32, 1920, 1040};  // a panel along the top
    struct Case {
        const char* name;
        DWORD style;
        RECT expected;
        POINT client;
        SIZE clientSize;
    } cases[] = {
        {"captioned", WS_OVERLAPPEDWINDOW, {0, 32, 1920, 1040}, {3, 58}, {1914, 979}},
        {"captionless popup", WS_POPUP, {0, 0, 1920, 1080}, {0, 0}, {1920, 1080}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HWND h = MakeWindow(c.style | WS_VISIBLE, kNormal);
        Seen().clear();
        ShowWindow(h, SW_MAXIMIZE);
        RECT r;
        GetWindowRect(h, &r);
        EXPECT_EQ(r, c.expected);
        EXPECT_TRUE(IsZoomed(h));
        auto move = LastSeen(h, WM_MOVE);
        auto size = LastSeen(h, WM_SIZE);
        ASSERT_TRUE(move && size);
        EXPECT_EQ(MovedTo(*move).x, c.client.x);
        EXPECT_EQ(MovedTo(*move).y, c.client.y);
        EXPECT_EQ(size->wParam, SIZE_MAXIMIZED);
        EXPECT_EQ(SizedTo(*size).cx, c.clientSize.cx);
        EXPECT_EQ(SizedTo(*size).cy, c.clientSize.cy);

        ShowWindow(h, SW_RESTORE);
        GetWindowRect(h, &r);
        EXPECT_EQ(r, kNormal);
        EXPECT_FALSE(IsZoomed(h));
        EXPECT_EQ(LastSeen(h, WM_SIZE)->wParam, SIZE_RESTORED);
    }
}

TEST_F(WinCorePlacement, MinimizeParksHidesOwnedAndRestoreBringsThemBack) {
    HWND h = MakeWindow(WS_OVERLAPPEDWINDOW | WS_VISIBLE, kNormal);
    HWND owned = MakeWindow(WS_POPUP | WS_VISIBLE, RECT{10, 10, 60, 60}, h);
    HWND hiddenOwned = MakeWindow(WS_POPUP, RECT{10, 10, 60, 60}, h);
    Seen().clear();

    ShowWindow(h, SW_MINIMIZE);
    EXPECT_TRUE(IsIconic(h));
    auto move = LastSeen(h, WM_MOVE);
    auto size = LastSeen(h, WM_SIZE);
    ASSERT_TRUE(move && size);
    EXPECT_EQ(MovedTo(*move).x, -32000);
    EXPECT_EQ(MovedTo(*move).y, -32000);
    EXPECT_EQ(size->wParam, SIZE_MINIMIZED);
    EXPECT_EQ(size->lParam, 0);
    EXPECT_FALSE(IsWindowVisible(owned));
    EXPECT_FALSE(desktop.Native(owned)->shown);
    EXPECT_TRUE(IsWindow(owned));

    Seen().clear();
    ShowWindow(h, SW_RESTORE);
    EXPECT_FALSE(IsIconic(h));
    RECT r;
    GetWindowRect(h, &r);
    EXPECT_EQ(r, kNormal);
    move = LastSeen(h, WM_MOVE);
    size = LastSeen(h, WM_SIZE);
    ASSERT_TRUE(move && size);
    EXPECT_EQ(MovedTo(*move).x, 103);
    EXPECT_EQ(MovedTo(*move).y, 126);
    EXPECT_EQ(size->wParam, SIZE_RESTORED);
    EXPECT_EQ(SizedTo(*size).cx, 394);
    EXPECT_EQ(SizedTo(*size).cy, 271);
    EXPECT_TRUE(IsWindowVisible(owned));
    EXPECT_TRUE(desktop.Native(owned)->shown);
    EXPECT_FALSE(IsWindowVisible(hiddenOwned)) << "restore shows only what minimise hid";
}

TEST_F(WinCorePlacement, RestoreAfterMinimizingAMaximizedWindowMaximizesAgain) {
    HWND h = MakeWindow(WS_OVERLAPPEDWINDOW | WS_VISIBLE, kNormal);
    ShowWindow(h, SW_MAXIMIZE);
    ShowWindow(h, SW_MINIMIZE);
    ShowWindow(h, SW_RESTORE);
    RECT r;
    GetWindowRect(h, &r);
    EXPECT_TRUE(IsZoomed(h));
    EXPECT_EQ(r, desktop.workArea);
    ShowWindow(h, SW_RESTORE);
    GetWindowRect(h, &r);
    EXPECT_EQ(r, kNormal);
}

TEST_F(WinCorePlacement, MoveAndResizeReportClientOriginAndSize) {
    struct Case {
        const char* name;
        std::function<void(HWND)> change;
        RECT expected;
        bool moved;
        POINT client;
        bool sized;
        SIZE clientSize;
    } cases[] = {
        {"MoveWindow",
         [](HWND h) { MoveWindow(h, 10, 20, 300, 200, TRUE); },
         {10, 20, 310, 220},
         true,
         {13, 46},
         true,
         {294, 171}},
        {"SetWindowPos without size",
         [](HWND h) { SetWindowPos(h, nullptr, 50, 60, 1, 1, SWP_NOSIZE | SWP_NOZORDER); },
         {50, 60, 450, 360},
         true,
         {53, 86},
         false,
         {}},
        {"SetWindowPos without move",
         [](HWND h) { SetWindowPos(h, nullptr, 1, 1, 200, 100, SWP_NOMOVE | SWP_NOZORDER); },
         {100, 100, 300, 200},
         false,
         {},
         true,
         {194, 71}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HWND h = MakeWindow(WS_OVERLAPPEDWINDOW | WS_VISIBLE, kNormal);
        Seen().clear();
        c.change(h);
        RECT r;
        GetWindowRect(h, &r);
        EXPECT_EQ(r, c.expected);
        auto move = LastSeen(h, WM_MOVE);
        auto size = LastSeen(h, WM_SIZE);
        ASSERT_EQ(move.has_value(), c.moved);
        ASSERT_EQ(size.has_value(), c.sized);
        if (move) {
            EXPECT_EQ(MovedTo(*move).x, c.client.x);
            EXPECT_EQ(MovedTo(*move).y, c.client.y);
        }
        if (size) {
            EXPECT_EQ(size->wParam, SIZE_RESTORED);
            EXPECT_EQ(SizedTo(*size).cx, c.clientSize.cx);
            EXPECT_EQ(SizedTo(*size).cy, c.clientSize.cy);
        }
    }
}

TEST_F(WinCorePlacement, ChildPlacementIsInParentClientCoordinates) {
    HWND top = MakeWindow(WS_OVERLAPPEDWINDOW | WS_VISIBLE, kNormal);
    HWND child = MakeWindow(WS_CHILD | WS_VISIBLE, RECT{0, 0, 10, 10}, top);
    Seen().clear();
    MoveWindow(child, 5, 6, 50, 40, TRUE);
    auto move = LastSeen(child, WM_MOVE);
    auto size = LastSeen(child, WM_SIZE);
    ASSERT_TRUE(move && size);
    EXPECT_EQ(MovedTo(*move).x, 5);
    EXPECT_EQ(MovedTo(*move).y, 6);
    EXPECT_EQ(SizedTo(*size).cx, 50);
    EXPECT_EQ(SizedTo(*size).cy, 40);
    RECT onScreen;
    GetWindowRect(child, &onScreen);
    EXPECT_EQ(onScreen, (RECT{108, 132, 158, 172}));
}

TEST_F(WinCorePlacement, AdjustWindowRectUsesTheDesktopsFrame) {
    desktop.captionInsets = RECT{4, 30, 5, 6};
    desktop.borderInsets = RECT{2, 2, 2, 2};
    struct Case {
        const char* name;
        DWORD style;
        RECT expected;
    } cases[] = {
        {"overlapped window", WS_OVERLAPPEDWINDOW, {-4, -30, 105, 106}},
        {"captioned popup", WS_POPUP | WS_CAPTION, {-4, -30, 105, 106}},
        {"sizing frame, no caption", WS_POPUP | WS_THICKFRAME, {-2, -2, 102, 102}},
        {"bare popup", WS_POPUP, {0, 0, 100, 100}},
        {"child", WS_CHILD | WS_CAPTION, {0, 0, 100, 100}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RECT r{0, 0, 100, 100};
        EXPECT_TRUE(AdjustWindowRect(&r, c.style, FALSE));
        EXPECT_EQ(r, c.expected);
    }
    EXPECT_FALSE(AdjustWindowRect(nullptr, WS_POPUP, FALSE));
}

TEST_F(WinCorePlacement, FullScreenMetricsAreTheMaximizedCaptionedClientArea) {
    desktop.screen = RECT{0, 0, 1600, 900};
    desktop.workArea = RECT{0, 0, 1600, 860};
    desktop.captionInsets = RECT{4, 30, 4, 4};
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1600);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 900);
    EXPECT_EQ(GetSystemMetrics(SM_CXFULLSCREEN), 1600);
    EXPECT_EQ(GetSystemMetrics(SM_CYFULLSCREEN), 860 - 26) << "work area less the caption bar";
    EXPECT_EQ(GetSystemMetrics(12345), 0);
}

// ---- GDI ----------------------------------------------------------------------------------

TEST_F(WinCoreGdi, PositiveHeightIsBottomUpNegativeIsTopDown) {
    for (LONG height : {3, -3}) {
        SCOPED_TRACE(height);
        BITMAPINFO bi = DibHeader(4, height);
        void* bits = nullptr;
        HBITMAP bmp = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
        ASSERT_NE(bmp, nullptr);
        auto* memory = static_cast<std::uint32_t*>(bits);
        win::DibSection* dib = win::FindBitmap(bmp);
        ASSERT_NE(dib, nullptr);
        EXPECT_EQ(dib->height, 3);
        EXPECT_EQ(dib->bottomUp, height > 0);
        // The first memory row is the bottom row of a bottom-up bitmap.
        memory[0] = 0xFF112233u;
        if (height > 0) {
            EXPECT_EQ(dib->At(0, 0), memory + 2 * 4);
            EXPECT_EQ(*dib->At(0, 2), 0xFF112233u);
        } else {
            EXPECT_EQ(dib->At(0, 0), memory);
            EXPECT_EQ(*dib->At(0, 0), 0xFF112233u);
        }
        EXPECT_EQ(dib->At(3, 1), memory + 1 * 4 + 3);
        EXPECT_TRUE(DeleteObject(bmp));
    }
}

TEST_F(WinCoreGdi, UnsupportedSectionsAreRefused) {
    struct Case {
        const char* name;
        BITMAPINFO info;
    } cases[] = {
        {"24 bits", DibHeader(4, 4, 24)},      {"zero width", DibHeader(0, 4)},
        {"zero height", DibHeader(4, 0)},      {"negative width", DibHeader(-4, 4)},
        {"huge", DibHeader(1 << 16, 1 << 16)},
    };
    int objects = win::LiveGdiObjectCount();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        void* bits = reinterpret_cast<void*>(1);
        EXPECT_EQ(CreateDIBSection(nullptr, &c.info, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
        EXPECT_EQ(bits, nullptr);
    }
    EXPECT_EQ(CreateDIBSection(nullptr, nullptr, DIB_RGB_COLORS, nullptr, nullptr, 0), nullptr);
    EXPECT_EQ(win::LiveGdiObjectCount(), objects);
}

TEST_F(WinCoreGdi, EveryDcAndObjectIsGivenBackAndSelectedBitmapsAreKept) {
    HWND h = MakeWindow(WS_POPUP, kNormal);
    int dcs = win::LiveDCCount();
    int objects = win::LiveGdiObjectCount();

    HDC screen = GetDC(nullptr);
    HDC windowDc = GetDC(h);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO bi = DibHeader(8, 8);
    HBITMAP bmp = CreateDIBSection(memory, &bi, DIB_RGB_COLORS, nullptr, nullptr, 0);
    HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
    EXPECT_EQ(win::LiveDCCount(), dcs + 3);
    EXPECT_EQ(win::LiveGdiObjectCount(), objects + 2);
    EXPECT_EQ(win::WindowOfDC(windowDc), h);

    HGDIOBJ old = SelectObject(memory, bmp);
    ASSERT_NE(old, nullptr);
    EXPECT_EQ(win::SelectedBitmap(memory), bmp);
    EXPECT_FALSE(DeleteObject(bmp)) << "a selected bitmap cannot be deleted";
    EXPECT_NE(win::FindBitmap(bmp), nullptr);
    EXPECT_FALSE(DeleteObject(old)) << "the memory DC's own bitmap is not the caller's";

    SelectObject(memory, old);
    EXPECT_TRUE(DeleteObject(bmp));
    EXPECT_FALSE(DeleteObject(bmp));
    EXPECT_TRUE(DeleteObject(brush));
    EXPECT_TRUE(DeleteDC(memory));
    EXPECT_EQ(ReleaseDC(h, windowDc), 1);
    EXPECT_EQ(ReleaseDC(nullptr, screen), 1);
    EXPECT_EQ(ReleaseDC(nullptr, screen), 0);
    EXPECT_EQ(win::LiveDCCount(), dcs);
    EXPECT_EQ(win::LiveGdiObjectCount(), objects);

    DestroyWindow(h);
    EXPECT_EQ(GetDC(h), nullptr) << "no DC for a window that is gone";
    EXPECT_EQ(win::LiveDCCount(), dcs);
}

// ---- Resources ---------------------------------------------------------------------------

TEST_F(WinCoreResources, EmbeddedPngIsFoundAndMissingOnesAreNot) {
    int loaded = win::LoadedResourceCount();
    HRSRC res = FindResourceW(nullptr, MAKEINTRESOURCEW(158), L"PNG");
    ASSERT_NE(res, nullptr);
    DWORD size = SizeofResource(nullptr, res);
    HGLOBAL data = LoadResource(nullptr, res);
    const auto* bytes = static_cast<const unsigned char*>(LockResource(data));
    ASSERT_NE(bytes, nullptr);
    ASSERT_GT(size, 8u);
    EXPECT_EQ(std::memcmp(bytes, "\x89PNG\r\n\x1a\n", 8), 0);
    EXPECT_EQ(win::LoadedResourceCount(), loaded + 1);
    EXPECT_TRUE(FreeResource(data));
    EXPECT_EQ(win::LoadedResourceCount(), loaded);

    EXPECT_NE(FindResourceW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(158), L"png"), nullptr)
        << "type names are case-blind";
    EXPECT_EQ(FindResourceW(nullptr, MAKEINTRESOURCEW(9999), L"PNG"), nullptr);
    EXPECT_EQ(FindResourceW(nullptr, MAKEINTRESOURCEW(158), RT_HTML), nullptr);
    EXPECT_EQ(FindResourceW(nullptr, L"named", L"PNG"), nullptr);
    EXPECT_EQ(LoadResource(nullptr, nullptr), nullptr);
    EXPECT_EQ(LockResource(nullptr), nullptr);
}

TEST_F(WinCoreResources, LayeredFunctionsAreLookedUpByNameAndCanBeMissing) {
    HMODULE user32 = LoadLibraryW(L"User32.DLL");
    ASSERT_NE(user32, nullptr);
    EXPECT_EQ(GetProcAddress(user32, "UpdateLayeredWindow"),
              reinterpret_cast<FARPROC>(&UpdateLayeredWindow));
    EXPECT_EQ(GetProcAddress(user32, "SetLayeredWindowAttributes"),
              reinterpret_cast<FARPROC>(&SetLayeredWindowAttributes));
    EXPECT_EQ(GetProcAddress(user32, "NoSuchFunction"), nullptr);
    EXPECT_EQ(GetProcAddress(nullptr, "UpdateLayeredWindow"), nullptr);
    EXPECT_EQ(LoadLibraryW(L"nothere.dll"), nullptr);

    for (const char* name : {"UpdateLayeredWindow", "SetLayeredWindowAttributes"}) {
        SCOPED_TRACE(name);
        win::SetExportAvailable(name, false);
        EXPECT_EQ(GetProcAddress(user32, name), nullptr);
        win::SetExportAvailable(name, true);
        EXPECT_NE(GetProcAddress(user32, name), nullptr);
    }
    EXPECT_TRUE(FreeLibrary(user32));
}

// ---- Shell ---------------------------------------------------------------------------------

NOTIFYICONDATAW TrayData(HWND owner, UINT id) {
    NOTIFYICONDATAW d;
    d.cbSize = sizeof d;
    d.hWnd = owner;
    d.uID = id;
    d.uFlags = NIF_MESSAGE | NIF_TIP;
    d.uCallbackMessage = WM_APP + 5;
    return d;
}

TEST_F(WinCoreShell, OneTrayIconPerProcess) {
    HWND first = MakeWindow(WS_POPUP, kNormal);
    HWND second = MakeWindow(WS_POPUP, kNormal);
    NOTIFYICONDATAW a = TrayData(first, 1), b = TrayData(second, 1);

    ASSERT_TRUE(Shell_NotifyIconW(NIM_ADD, &a));
    EXPECT_EQ(desktop.trayOwner, first);
    ASSERT_TRUE(Shell_NotifyIconW(NIM_ADD, &b));
    EXPECT_TRUE(desktop.trayIconPresent);
    EXPECT_EQ(desktop.trayOwner, second);
    EXPECT_EQ(desktop.CountLog("tray+ " + desktop.Name(first)), 1);
    int removedFirst = desktop.FindLog("tray- " + desktop.Name(first));
    ASSERT_GE(removedFirst, 0) << "the replaced icon leaves the tray";
    EXPECT_LT(removedFirst, desktop.FindLog("tray+ " + desktop.Name(second)));

    EXPECT_FALSE(Shell_NotifyIconW(NIM_DELETE, &a)) << "the replaced icon is no longer there";
    EXPECT_EQ(desktop.trayOwner, second);
    EXPECT_TRUE(Shell_NotifyIconW(NIM_DELETE, &b));
    EXPECT_FALSE(desktop.trayIconPresent);
    EXPECT_FALSE(Shell_NotifyIconW(NIM_DELETE, &b));
    EXPECT_FALSE(Shell_NotifyIconW(NIM_DELETE, nullptr));

    DestroyWindow(first);
    EXPECT_FALSE(Shell_NotifyIconW(NIM_ADD, &a)) << "no icon for a window that is gone";
    EXPECT_FALSE(desktop.trayIconPresent);
}

TEST_F(WinCoreShell, TrayActivationPostsTheCallbackMessage) {
    HWND owner = MakeWindow(WS_POPUP, kNormal);
    NOTIFYICONDATAW d = TrayData(owner, 9);
    ASSERT_TRUE(Shell_NotifyIconW(NIM_ADD, &d));

    win::TrayIconActivated(owner, 8);  // not our icon
    EXPECT_EQ(win::QueuedMessageCount(), 0u);
    win::TrayIconActivated(owner, 9);
    EXPECT_TRUE(SeenOf(owner, WM_APP + 5).empty()) << "posted, not sent";
    PumpPosted();
    auto callback = SeenOf(owner, WM_APP + 5);
    ASSERT_EQ(callback.size(), 1u);
    EXPECT_EQ(callback[0].wParam, 9u);
    EXPECT_EQ(callback[0].lParam, static_cast<LPARAM>(WM_LBUTTONUP));

    EXPECT_TRUE(Shell_NotifyIconW(NIM_DELETE, &d));
    win::TrayIconActivated(owner, 9);
    EXPECT_EQ(win::QueuedMessageCount(), 0u) << "a removed icon reports nothing";
}

// ---- Variants ------------------------------------------------------------------------------

VARIANT Make(VARTYPE vt) {
    VARIANT v;
    v.vt = vt;
    return v;
}

TEST(WinCoreVariant, ChangeTypeToStringTable) {
    using namespace std::string_literals;
    struct Case {
        const char* name;
        VARIANT src;
        HRESULT hr;
        std::wstring text;
    };
    auto i4 = [](LONG v) {
        VARIANT x = Make(VT_I4);
        x.lVal = v;
        return x;
    };
    auto r8 = [](double v) {
        VARIANT x = Make(VT_R8);
        x.dblVal = v;
        return x;
    };
    auto boolean = [](VARIANT_BOOL v) {
        VARIANT x = Make(VT_BOOL);
        x.boolVal = v;
        return x;
    };
    auto str = [](std::wstring v) {
        VARIANT x = Make(VT_BSTR);
        x.bstrVal = std::move(v);
        return x;
    };
    VARIANT error = Make(VT_ERROR);
    error.scode = DISP_E_PARAMNOTFOUND;
    const Case cases[] = {
        {"string", str(L"http://a/b?c=1"), 0, L"http://a/b?c=1"},
        {"string with NUL", str(L"a\0b"s), 0, L"a\0b"s},
        {"empty string", str(L""), 0, L""},
        {"int", i4(42), 0, L"42"},
        {"negative int", i4(-7), 0, L"-7"},
        {"double", r8(1.5), 0, L"1.5"},
        {"negative double", r8(-2.5), 0, L"-2.5"},
        {"tenth", r8(0.1), 0, L"0.1"},
        {"whole double keeps its zeros", r8(100), 0, L"100"},
        {"large double", r8(1e21), 0, L"1E+21"},
        {"true", boolean(VARIANT_TRUE), 0, L"-1"},
        {"false", boolean(VARIANT_FALSE), 0, L"0"},
        {"empty", Make(VT_EMPTY), 0, L""},
        {"null", Make(VT_NULL), DISP_E_TYPEMISMATCH, L""},
        {"missing argument", error, DISP_E_TYPEMISMATCH, L""},
        {"object", Make(VT_DISPATCH), DISP_E_TYPEMISMATCH, L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        VARIANT dst = str(L"untouched");
        dst.vt = VT_I4;
        dst.lVal = 99;
        EXPECT_EQ(VariantChangeType(&dst, &c.src, 0, VT_BSTR), c.hr);
        if (c.hr == 0) {
            EXPECT_EQ(dst.vt, VT_BSTR);
            EXPECT_EQ(dst.bstrVal, c.text);
            EXPECT_EQ(dst.bstrVal.size(), c.text.size());
        } else {
            EXPECT_EQ(dst.vt, VT_I4) << "a failed conversion leaves the target alone";
            EXPECT_EQ(dst.lVal, 99);
            EXPECT_EQ(dst.bstrVal, L"untouched");
        }
    }
}

TEST(WinCoreVariant, ChangeTypeInPlace) {
    VARIANT v = Make(VT_I4);
    v.lVal = 42;
    EXPECT_EQ(VariantChangeType(&v, &v, 0, VT_BSTR), 0);
    EXPECT_EQ(v.vt, VT_BSTR);
    EXPECT_EQ(v.bstrVal, L"42");
    VARIANT n = Make(VT_NULL);
    EXPECT_EQ(VariantChangeType(&n, &n, 0, VT_BSTR), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(n.vt, VT_NULL);
    EXPECT_NE(VariantChangeType(nullptr, &v, 0, VT_BSTR), 0);
}

}  // namespace
