// The game window as the launcher page opens it: initialisation, tray icon, close confirmation,
// the key filter and full screen.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app_fixture.h"

namespace {

using namespace testing_support;

const std::wstring kUrl = L"http://s1.game.test/play";
const std::wstring kTitle = L"双线一区";
constexpr DWORD kOverlapped = WS_OVERLAPPEDWINDOW;

DWORD StyleOf(HWND h) {
    return static_cast<DWORD>(GetWindowLongW(h, GWL_STYLE));
}
HICON GameIcon() {
    return LoadIconW(AfxGetResourceHandle(), MAKEINTRESOURCEW(155));
}

class GameWindowTest : public AppFixture<PlacementDesktop> {
  protected:
    HWND View() { return Game()->m_hwndBrowser; }

    // The launcher page starts the game (a step of its own).
    void OpenGame() {
        d.Then([this] {
            ASSERT_NE(Frame(), nullptr);
            auto result =
                d.CallFromPage(Control(1005), L"outLink", {PageString(kTitle), PageString(kUrl)});
            ASSERT_TRUE(result.ok) << result.error;
            ASSERT_NE(Game(), nullptr);
            game = Game()->m_hWnd;
        });
    }
    int KeyDownsDelivered(WPARAM vk) {
        int n = 0;
        for (const MSG& m : d.Native(View())->deliveredKeys)
            n += m.message == WM_KEYDOWN && m.wParam == vk;
        return n;
    }
    std::size_t Navigations() { return d.Native(View())->navigations.size(); }

    HWND game = nullptr;
};

TEST_F(GameWindowTest, InitialisesInOrder) {
    OpenGame();
    d.Then([&] {
        CVelGameDlg* g = Game();
        int trayAdded = d.FindLog("tray+ " + d.Name(game));
        int shown = d.FindLog("show " + d.Name(game));
        ASSERT_GE(trayAdded, 0);
        EXPECT_LT(trayAdded, shown);
        EXPECT_TRUE(d.trayIconPresent);
        EXPECT_EQ(d.trayOwner, game);
        EXPECT_EQ(d.trayId, 155u);
        EXPECT_EQ(g_trayIconData.cbSize, 952u);
        EXPECT_EQ(g_trayIconData.hWnd, game);
        EXPECT_EQ(g_trayIconData.uID, 155u);
        EXPECT_EQ(g_trayIconData.uFlags, 7u);
        EXPECT_EQ(g_trayIconData.uCallbackMessage, static_cast<UINT>(WM_USER + 1));
        EXPECT_EQ(g_trayIconData.szTip[0], L'\0');

        ASSERT_NE(GameIcon(), nullptr);
        EXPECT_EQ(g->m_hIcon, GameIcon());
        EXPECT_EQ(win::FindWindowRecord(game)->bigIcon, GameIcon());
        EXPECT_EQ(win::FindWindowRecord(game)->smallIcon, GameIcon());

        // The overlapped-window bits are added and the template's popup bit stays.
        EXPECT_EQ(StyleOf(game) & kOverlapped, kOverlapped);
        EXPECT_TRUE(StyleOf(game) & WS_POPUP);
        EXPECT_TRUE(IsZoomed(game));
        EXPECT_TRUE(IsWindowVisible(game));
        EXPECT_TRUE(SameRect(WindowRect(game), d.workArea));
        EXPECT_EQ(g->m_bFullScreen, 0);
        EXPECT_EQ(GetWindowTextString(game), kTitle + L"  【F5刷新】【F11全屏】【F12最小托盘】");

        // The black resource page first, then the game page.
        const headless::NativeWindow* page = d.Native(View());
        ASSERT_NE(page, nullptr);
        EXPECT_NE(page->loadedHtml.find("id=\"CVelGameDlg\""), std::string::npos);
        int loaded = d.FindLog("loadhtml " + d.Name(View()));
        int navigated = d.FindLog("navigate " + d.Name(View()));
        ASSERT_GE(loaded, 0);
        EXPECT_LT(loaded, navigated);
        EXPECT_EQ(page->navigations, std::vector<std::wstring>{kUrl});
        EXPECT_FALSE(page->hasHostObject);
        // The page fills the client area.
        RECT client, view;
        GetClientRect(game, &client);
        GetClientRect(View(), &view);
        EXPECT_EQ(view.Width(), client.Width());
        EXPECT_EQ(view.Height(), client.Height());
    });
    Run();
}

TEST_F(GameWindowTest, TrayCallbackOnlyActsOnALeftReleaseOfItsIcon) {
    enum Prep { Hidden, Restored };
    struct Row {
        Prep prep;
        WPARAM id;
        LPARAM mouse;
        LRESULT result;
        bool acts;
    };
    const Row rows[] = {
        {Hidden, 154, WM_LBUTTONUP, 1, false},     {Hidden, 0, WM_LBUTTONUP, 1, false},
        {Hidden, 155, WM_MOUSEMOVE, 0, false},     {Hidden, 155, WM_RBUTTONUP, 0, false},
        {Hidden, 155, WM_LBUTTONDBLCLK, 0, false}, {Hidden, 155, WM_LBUTTONUP, 0, true},
        {Restored, 155, WM_LBUTTONUP, 0, true},    {Restored, 155, WM_MOUSEMOVE, 0, false},
    };
    OpenGame();
    d.Then([&] {
        for (const Row& row : rows) {
            SCOPED_TRACE(testing::Message()
                         << "prep " << row.prep << " id " << row.id << " mouse " << row.mouse);
            ShowWindow(game, SW_RESTORE);
            if (row.prep == Hidden)
                ShowWindow(game, SW_HIDE);
            bool visibleBefore = IsWindowVisible(game);
            int raisedBefore = d.Native(game)->raiseCount;
            EXPECT_EQ(SendMessageW(game, WM_USER + 1, row.id, row.mouse), row.result);
            if (row.acts) {
                EXPECT_TRUE(IsWindowVisible(game));
                EXPECT_TRUE(IsZoomed(game));
                EXPECT_GT(d.Native(game)->raiseCount, raisedBefore);
            } else {
                EXPECT_EQ(IsWindowVisible(game) != FALSE, visibleBefore);
                EXPECT_FALSE(IsZoomed(game));
                EXPECT_EQ(d.Native(game)->raiseCount, raisedBefore);
            }
            EXPECT_TRUE(d.trayIconPresent);
        }
    });
    Run();
}

TEST_F(GameWindowTest, F12HidesToTheTrayAndTheTrayBringsItBackInFullScreen) {
    OpenGame();
    d.Then([&] { d.PressKey(View(), VK_F11); });
    d.Then([&] {
        ASSERT_EQ(Game()->m_bFullScreen, 1);
        d.PressKey(View(), VK_F12);
    });
    d.Then([&] {
        EXPECT_FALSE(IsWindowVisible(game));
        EXPECT_EQ(KeyDownsDelivered(VK_F12), 0);
        EXPECT_TRUE(d.trayIconPresent);
        EXPECT_EQ(d.trayOwner, game);
        EXPECT_EQ(Game()->m_bFullScreen, 1);
        d.ActivateTrayIcon();
    });
    d.Then([&] {
        EXPECT_TRUE(IsWindowVisible(game));
        EXPECT_TRUE(IsZoomed(game));
        EXPECT_EQ(Game()->m_bFullScreen, 1);
        EXPECT_TRUE(StyleOf(game) & WS_POPUP);
        EXPECT_EQ(StyleOf(game) & WS_CAPTION, 0u);
        EXPECT_EQ(StyleOf(game) & WS_THICKFRAME, 0u);
        EXPECT_TRUE(SameRect(WindowRect(game), d.screen));
        d.PressKey(View(), VK_ESCAPE);
    });
    d.Then([&] {
        EXPECT_EQ(Game()->m_bFullScreen, 0);
        EXPECT_EQ(StyleOf(game) & kOverlapped, kOverlapped);
        EXPECT_TRUE(SameRect(WindowRect(game), d.workArea));
    });
    Run();
}

TEST_F(GameWindowTest, F12WithoutATrayHostMinimisesInstead) {
    d.trayHostPresent = false;
    OpenGame();
    d.Then([&] { d.PressKey(View(), VK_F12); });
    d.Then([&] {
        // Hidden with no icon to click, the game could never be reached again.
        EXPECT_TRUE(IsWindowVisible(game));
        EXPECT_TRUE(IsIconic(game));
        EXPECT_EQ(Game()->m_hWnd, game);
    });
    Run();
}

TEST_F(GameWindowTest, CloseAsksAndNoKeepsEverything) {
    OpenGame();
    d.Then([&] { d.PressKey(View(), VK_F11); });
    RECT before{};
    DWORD styleBefore = 0;
    d.Then([&] {
        before = WindowRect(game);
        styleBefore = StyleOf(game);
        d.messageBoxAnswers.push_back(IDNO);
        d.CloseFromWindowManager(game);
    });
    d.Then([&] {
        ASSERT_EQ(d.messageBoxes.size(), 1u);
        const headless::MessageBoxRecord& box = d.messageBoxes[0];
        EXPECT_EQ(box.owner, game);
        EXPECT_EQ(box.text, L"此操作将退出游戏，是否继续？");
        EXPECT_EQ(box.caption, L"退出游戏");
        EXPECT_EQ(box.type, static_cast<UINT>(MB_YESNO));
        ASSERT_EQ(Game(), app.m_pMainWnd);
        EXPECT_EQ(Game()->m_hWnd, game);
        EXPECT_TRUE(SameRect(WindowRect(game), before));
        EXPECT_EQ(StyleOf(game), styleBefore);
        EXPECT_EQ(Game()->m_bFullScreen, 1);
        EXPECT_TRUE(IsWindowVisible(game));
        EXPECT_TRUE(d.trayIconPresent);
        EXPECT_EQ(d.trayOwner, game);
    });
    Run();
}

TEST_F(GameWindowTest, CloseWithYesRemovesTheTrayIconBeforeTheLauncherShows) {
    OpenGame();
    d.Then([&] {
        d.messageBoxAnswers.push_back(IDYES);
        d.CloseFromWindowManager(game);
    });
    d.Then([&] {
        ASSERT_NE(Frame(), nullptr);
        HWND frame = Frame()->m_hWnd;
        EXPECT_FALSE(IsWindow(game));
        EXPECT_FALSE(d.trayIconPresent);
        int removed = d.FindLog("tray- " + d.Name(game));
        int shown = d.FindLog("show " + d.Name(frame));
        ASSERT_GE(removed, 0);
        ASSERT_GE(shown, 0);
        EXPECT_LT(removed, shown);
        EXPECT_EQ(d.messageBoxes.size(), 1u);  // asked once only
        d.CloseFromWindowManager(frame);
    });
    d.Then([&] { ADD_FAILURE() << "closing the returned launcher did not end the process"; });
    AfxWinMain();
    EXPECT_FALSE(d.stalled);
    EXPECT_EQ(d.PendingSteps(), 1u);
    EXPECT_TRUE(win::AllWindows().empty());
}

TEST_F(GameWindowTest, KeyFilter) {
    enum Prep { None, FullScreen, NavigatedAway };
    struct Row {
        const char* label;
        WPARAM vk;
        Prep prep;
        bool delivered;
        BOOL fullScreenAfter;
        std::size_t navigationsAdded;
    };
    const Row rows[] = {
        {"Esc windowed", VK_ESCAPE, None, true, 0, 0},
        {"Esc full screen", VK_ESCAPE, FullScreen, true, 0, 0},
        {"Enter", VK_RETURN, None, true, 0, 0},
        {"Enter full screen", VK_RETURN, FullScreen, true, 1, 0},
        {"F10", VK_F10, None, true, 0, 0},
        {"F5", VK_F5, None, false, 0, 1},
        {"F5 after the page moved", VK_F5, NavigatedAway, false, 0, 1},
        {"F11 windowed", VK_F11, None, true, 1, 0},
        {"F11 full screen", VK_F11, FullScreen, true, 0, 0},
    };
    OpenGame();
    int delivered = 0;
    std::size_t navigations = 0;
    for (const Row& row : rows) {
        d.Then([&, row] {
            CVelGameDlg* g = Game();
            if (g->m_bFullScreen)
                g->ToggleFullScreen();
            if (row.prep == FullScreen)
                g->ToggleFullScreen();
            if (row.prep == NavigatedAway)
                g->Navigate(L"http://s1.game.test/elsewhere");
            delivered = KeyDownsDelivered(row.vk);
            navigations = Navigations();
            d.PressKey(View(), row.vk);
        });
        d.Then([&, row] {
            SCOPED_TRACE(row.label);
            // Never ends the window, never asks.
            ASSERT_EQ(Game(), app.m_pMainWnd);
            ASSERT_EQ(Game()->m_hWnd, game);
            EXPECT_TRUE(d.messageBoxes.empty());
            EXPECT_TRUE(IsWindowVisible(game));
            EXPECT_TRUE(IsZoomed(game));
            EXPECT_EQ(KeyDownsDelivered(row.vk) - delivered, row.delivered ? 1 : 0);
            EXPECT_EQ(Game()->m_bFullScreen, row.fullScreenAfter);
            EXPECT_EQ(Navigations() - navigations, row.navigationsAdded);
            if (row.navigationsAdded) {
                EXPECT_EQ(d.Native(View())->navigations.back(), Game()->m_strUrl);
            }
            if (row.fullScreenAfter) {
                EXPECT_EQ(StyleOf(game) & kOverlapped, 0u);
                EXPECT_TRUE(SameRect(WindowRect(game), d.screen));
            } else {
                EXPECT_EQ(StyleOf(game) & kOverlapped, kOverlapped);
                EXPECT_TRUE(SameRect(WindowRect(game), d.workArea));
            }
        });
    }
    Run();
}

TEST_F(GameWindowTest, EnterAndEscAtTheWindowItselfNeverEndIt) {
    OpenGame();
    d.Then([&] {
        // Aimed at the dialog rather than the page, these would be its OK and Cancel.
        for (WPARAM vk : {VK_RETURN, VK_ESCAPE, VK_RETURN}) d.PressKey(game, vk);
    });
    d.Then([&] {
        ASSERT_EQ(Game(), app.m_pMainWnd);
        EXPECT_EQ(Game()->m_hWnd, game);
        EXPECT_TRUE(IsWindowVisible(game));
        EXPECT_TRUE(d.messageBoxes.empty());
    });
    Run();
}

TEST_F(GameWindowTest, F11TwiceEndsWindowedWithoutThePopupBit) {
    d.screen = RECT{0, 0, 1600, 900};
    d.workArea = RECT{0, 0, 1600, 860};
    OpenGame();
    std::size_t mark = 0;
    d.Then([&] {
        ASSERT_TRUE(StyleOf(game) & WS_POPUP);
        d.PressKey(View(), VK_F11);
    });
    d.Then([&] {
        EXPECT_EQ(Game()->m_bFullScreen, 1);
        EXPECT_TRUE(SameRect(WindowRect(game), d.screen));
        EXPECT_EQ(StyleOf(game) & kOverlapped, 0u);
        mark = d.geometry.size();
        d.PressKey(View(), VK_F11);
    });
    d.Then([&] {
        EXPECT_EQ(Game()->m_bFullScreen, 0);
        EXPECT_TRUE(IsZoomed(game));
        EXPECT_EQ(StyleOf(game) & WS_POPUP, 0u);
        EXPECT_EQ(StyleOf(game) & kOverlapped, kOverlapped);
        EXPECT_TRUE(SameRect(WindowRect(game), d.workArea));
        // On the way out the window is first given the full-screen client size, 22 taller.
        RECT expected{0, 0, GetSystemMetrics(SM_CXFULLSCREEN),
                      GetSystemMetrics(SM_CYFULLSCREEN) + 22};
        ASSERT_GT(expected.right, 0);
        bool found = false;
        for (std::size_t i = mark; i < d.geometry.size(); ++i)
            if (d.geometry[i].first == game && SameRect(d.geometry[i].second, expected))
                found = true;
        EXPECT_TRUE(found);
        EXPECT_EQ(KeyDownsDelivered(VK_F11), 2);
    });
    Run();
}

TEST_F(GameWindowTest, AutoRepeatActsAgainEveryTime) {
    OpenGame();
    std::size_t navigations = 0;
    d.Then([&] {
        navigations = Navigations();
        d.PressKey(View(), VK_F11);
        d.PressKey(View(), VK_F11, true);
        d.PressKey(View(), VK_F11, true);
        d.PressKey(View(), VK_F5);
        d.PressKey(View(), VK_F5, true);
    });
    d.Then([&] {
        EXPECT_EQ(Game()->m_bFullScreen, 1);
        EXPECT_EQ(KeyDownsDelivered(VK_F11), 3);
        EXPECT_EQ(Navigations() - navigations, 2u);
    });
    Run();
}

TEST_F(GameWindowTest, KeyReleasesAndRightClicksDoNothing) {
    OpenGame();
    std::size_t logSize = 0, navigations = 0;
    RECT before{};
    d.Then([&] {
        logSize = d.log.size();
        navigations = Navigations();
        before = WindowRect(game);
        for (WPARAM vk : {VK_F5, VK_F11, VK_F12, VK_ESCAPE, VK_RETURN}) d.ReleaseKey(View(), vk);
        SendMessageW(game, WM_RBUTTONDOWN, 2, MAKELPARAM(5, 5));
        SendMessageW(game, WM_RBUTTONUP, 0, MAKELPARAM(5, 5));
    });
    d.Then([&] {
        EXPECT_EQ(d.log.size(), logSize) << d.log.back();
        EXPECT_EQ(Navigations(), navigations);
        EXPECT_EQ(Game()->m_bFullScreen, 0);
        EXPECT_TRUE(IsWindowVisible(game));
        EXPECT_TRUE(SameRect(WindowRect(game), before));
        EXPECT_TRUE(d.messageBoxes.empty());
    });
    Run();
}

TEST_F(GameWindowTest, SizeChangeSetsTheBigIconAgain) {
    OpenGame();
    d.Then([&] {
        SendMessageW(game, WM_SETICON, ICON_BIG, 0);
        ASSERT_EQ(win::FindWindowRecord(game)->bigIcon, nullptr);
        ShowWindow(game, SW_RESTORE);
        EXPECT_EQ(win::FindWindowRecord(game)->bigIcon, GameIcon());
        SendMessageW(game, WM_SETICON, ICON_BIG, 0);
        MoveWindow(game, 10, 10, 800, 600, TRUE);
        EXPECT_EQ(win::FindWindowRecord(game)->bigIcon, GameIcon());
    });
    Run();
}

TEST_F(GameWindowTest, ASecondGameWindowOwnsTheTrayIconAndStartsWindowed) {
    HWND first = nullptr;
    OpenGame();
    d.Then([&] {
        first = game;
        d.PressKey(View(), VK_F11);
    });
    d.Then([&] {
        ASSERT_EQ(Game()->m_bFullScreen, 1);
        d.messageBoxAnswers.push_back(IDYES);
        d.CloseFromWindowManager(game);
    });
    OpenGame();
    d.Then([&] {
        ASSERT_NE(game, first);
        EXPECT_FALSE(IsWindow(first));
        EXPECT_EQ(g_trayIconData.hWnd, game);
        EXPECT_EQ(g_trayIconData.uID, 155u);
        EXPECT_TRUE(d.trayIconPresent);
        EXPECT_EQ(d.trayOwner, game);
        EXPECT_EQ(d.trayId, 155u);
        EXPECT_EQ(d.CountLog("tray+ " + d.Name(first)) + d.CountLog("tray+ " + d.Name(game)), 2);
        EXPECT_EQ(d.CountLog("tray- " + d.Name(first)), 1);
        EXPECT_EQ(Game()->m_bFullScreen, 0);
        EXPECT_EQ(StyleOf(game) & kOverlapped, kOverlapped);
        EXPECT_TRUE(SameRect(WindowRect(game), d.workArea));
        // Its tray icon brings back this window, not the old one.
        ShowWindow(game, SW_HIDE);
        d.ActivateTrayIcon();
    });
    d.Then([&] { EXPECT_TRUE(IsWindowVisible(game)); });
    Run();
}

}  // namespace
