// The application's life: first launcher, hand-overs between launcher and game window, and the
// single exit when a launcher is closed. The whole application runs on the headless desktop.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app_fixture.h"
#include "platform/gdiplus/gdiplus.h"

namespace {

using namespace testing_support;

constexpr int kCloseButton = 1004;
constexpr int kBrowser = 1005;

// Counts the exits and sees whether GDI+ was still up when the exit began.
class ProbeApp : public CTranslucentApp {
  public:
    int ExitInstance() override {
        ++exits;
        gdiplusAtExit = Gdiplus::GdiplusRunning();
        return CTranslucentApp::ExitInstance();
    }
    int exits = 0;
    bool gdiplusAtExit = false;
};

// A small opaque RGBA PNG, to stand in for the launcher background where its size is beside
// the point and decoding the full picture hundreds of times would only cost time.
std::vector<std::uint8_t> SmallPng(int w, int h) {
    return SolidPng(w, h, 0xFFFFFFFF);
}

class AppLifecycleTest : public AppFixture<headless::HeadlessDesktop, ProbeApp> {
  protected:
    CVelTranslucentDlg* Launcher() { return Frame(); }
    HWND View() { return Control(kBrowser); }

    // The launcher page asks for the game, as its script would.
    void OutLink(const std::wstring& title, const std::wstring& url) {
        ASSERT_NE(Launcher(), nullptr) << "outLink needs a launcher in the main slot";
        auto result = d.CallFromPage(View(), L"outLink", {PageString(title), PageString(url)});
        EXPECT_TRUE(result.ok) << result.error;
    }

    void CloseGame(int answer) {
        ASSERT_NE(Game(), nullptr);
        d.messageBoxAnswers.push_back(answer);
        d.CloseFromWindowManager(Game()->m_hWnd);
    }

    void CloseFirstLauncher(bool viaCloseButton);

    bool AnyShownAfter(std::size_t from) const {
        for (std::size_t i = from; i < d.log.size(); ++i)
            if (d.log[i].rfind("show ", 0) == 0)
                return true;
        return false;
    }
};

// Both ways of closing the first launcher end the process once, with GDI+ up until the exit
// and down after it, and never bring up a game window.
void AppLifecycleTest::CloseFirstLauncher(bool viaCloseButton) {
    std::size_t logAtClose = 0;
    bool launcherShown = false;
    d.Then([&] {
        ASSERT_NE(Launcher(), nullptr);
        launcherShown = IsWindowVisible(Launcher()->m_hWnd) && d.Native(Launcher()->m_hWnd)->shown;
        logAtClose = d.log.size();
        if (viaCloseButton)
            d.ClickButton(GetDlgItem(Launcher()->m_pOverlay->m_hWnd, kCloseButton));
        else
            d.CloseFromWindowManager(Launcher()->m_hWnd);
    });
    int rc = AfxWinMain();
    EXPECT_EQ(rc, 0);
    EXPECT_TRUE(launcherShown);
    EXPECT_FALSE(d.stalled);
    EXPECT_EQ(app.exits, 1);
    EXPECT_TRUE(app.gdiplusAtExit);
    EXPECT_FALSE(Gdiplus::GdiplusRunning());
    EXPECT_EQ(app.m_pMainWnd, nullptr);
    EXPECT_TRUE(win::AllWindows().empty());
    for (std::size_t i = logAtClose; i < d.log.size(); ++i)
        EXPECT_NE(d.log[i].rfind("realize ", 0), 0u) << "created after close: " << d.log[i];
    for (const std::string& e : d.log) EXPECT_NE(e.rfind("tray+", 0), 0u) << e;
    EXPECT_TRUE(d.messageBoxes.empty());
}

TEST_F(AppLifecycleTest, CloseButtonOnFirstLauncherEndsProcessOnce) {
    CloseFirstLauncher(true);
}

TEST_F(AppLifecycleTest, WindowManagerCloseOfFirstLauncherEndsProcessOnce) {
    CloseFirstLauncher(false);
}

// outLink hands over to the game: the launcher's three windows go, the game takes the main
// slot, and it is on screen before any launcher window is destroyed.
TEST_F(AppLifecycleTest, OutLinkReplacesLauncherWithGameShownFirst) {
    HWND frame = nullptr, overlay = nullptr, view = nullptr, game = nullptr;
    d.Then([&] {
        frame = Launcher()->m_hWnd;
        overlay = Launcher()->m_pOverlay->m_hWnd;
        view = View();
        OutLink(L"S1", L"http://game.example/play");
    });
    d.Then([&] {
        ASSERT_NE(Game(), nullptr);
        game = Game()->m_hWnd;
        EXPECT_FALSE(IsWindow(frame));
        EXPECT_FALSE(IsWindow(overlay));
        EXPECT_FALSE(IsWindow(view));
        EXPECT_TRUE(IsWindowVisible(game));
        EXPECT_EQ(Game()->m_strUrl, L"http://game.example/play");
        EXPECT_EQ(Game()->m_strTitle, L"S1");
        d.CloseFromWindowManager(game);
        d.messageBoxAnswers.push_back(IDNO);
    });
    // The No above keeps the game; end the run from a step of our own.
    d.Then([&] { PostQuitMessage(0); });
    AfxWinMain();
    ASSERT_NE(game, nullptr);
    using H = headless::HeadlessDesktop;
    int shown = d.FindLog("show " + H::Name(game));
    ASSERT_GE(shown, 0);
    for (HWND gone : {frame, overlay, view}) {
        int destroyed = d.FindLog("destroy " + H::Name(gone));
        ASSERT_GE(destroyed, 0);
        EXPECT_LT(shown, destroyed) << "launcher window destroyed before the game was shown";
    }
}

// No keeps everything as it is; Yes brings a fresh launcher without ending the process, and
// the WM_CLOSE queued for the game never asks the question again.
TEST_F(AppLifecycleTest, GameCloseAnswersNoKeepsGameYesReturnsToLauncher) {
    HWND game = nullptr;
    std::size_t windowsWithGame = 0, realizedBeforeNo = 0;
    d.Then([&] { OutLink(L"T", L"http://g/"); });
    d.Then([&] {
        game = Game()->m_hWnd;
        windowsWithGame = win::AllWindows().size();
        realizedBeforeNo = d.log.size();
        CloseGame(IDNO);
    });
    d.Then([&] {
        EXPECT_EQ(Game() ? Game()->m_hWnd : nullptr, game);
        EXPECT_TRUE(IsWindowVisible(game));
        EXPECT_TRUE(d.trayIconPresent);
        EXPECT_EQ(win::AllWindows().size(), windowsWithGame);
        for (std::size_t i = realizedBeforeNo; i < d.log.size(); ++i)
            EXPECT_EQ(d.log[i].rfind("realize ", 0), std::string::npos) << d.log[i];
        CloseGame(IDYES);
    });
    d.Then([&] {
        ASSERT_NE(Launcher(), nullptr);
        EXPECT_FALSE(IsWindow(game));
        EXPECT_FALSE(d.trayIconPresent);
        EXPECT_TRUE(IsWindowVisible(Launcher()->m_hWnd));
        EXPECT_TRUE(IsWindowVisible(Launcher()->m_pOverlay->m_hWnd));
        EXPECT_EQ(app.exits, 0);
        d.CloseFromWindowManager(Launcher()->m_hWnd);
    });
    AfxWinMain();
    EXPECT_FALSE(d.stalled);
    EXPECT_EQ(d.PendingSteps(), 0u);
    // One question for No, one for Yes: the hand-over's own close was not asked about.
    EXPECT_EQ(d.messageBoxes.size(), 2u);
    EXPECT_EQ(app.exits, 1);
}

// A new launcher reads the page address again.
TEST_F(AppLifecycleTest, ChangedClientWebTakesEffectAtNextLauncher) {
    WriteConfig("[tova]\nclient_web=http://first.example/\n");
    std::vector<std::wstring> firstNavs, secondNavs;
    d.Then([&] {
        firstNavs = d.Native(View())->navigations;
        WriteConfig("[tova]\nclient_web=http://second.example/\n");
        OutLink(L"T", L"http://g/");
    });
    d.Then([&] { CloseGame(IDYES); });
    d.Then([&] {
        ASSERT_NE(Launcher(), nullptr);
        secondNavs = d.Native(View())->navigations;
        d.CloseFromWindowManager(Launcher()->m_hWnd);
    });
    AfxWinMain();
    EXPECT_EQ(firstNavs, std::vector<std::wstring>{L"http://first.example/"});
    EXPECT_EQ(secondNavs, std::vector<std::wstring>{L"http://second.example/"});
}

// Many alternations hold no more windows, runs or window objects than one alternation does,
// and closing the last launcher still ends everything once, with nothing earlier reappearing.
TEST_F(AppLifecycleTest, ManyAlternationsStayBoundedAndExitOnce) {
    constexpr int kCycles = 200;
    win::AddResource(158, L"PNG", SmallPng(64, 36));
    std::size_t maxWindows = 0;
    int maxDepth = 0, maxObjects = 0, cyclesDone = 0;
    std::size_t logAtClose = 0;
    auto sample = [&] {
        maxWindows = std::max(maxWindows, win::AllWindows().size());
        maxDepth = std::max(maxDepth, app.ModalDepth());
        maxObjects = std::max(maxObjects, app.LiveChainObjects());
        EXPECT_EQ(app.ModalDepth(), 1);
    };
    for (int i = 0; i < kCycles; ++i) {
        d.Then([&] {
            sample();
            OutLink(L"T", L"http://g/");
        });
        d.Then([&] {
            sample();
            CloseGame(IDYES);
            ++cyclesDone;
        });
    }
    std::size_t windowsAtEnd = 0;
    d.Then([&] {
        sample();
        ASSERT_NE(Launcher(), nullptr);
        windowsAtEnd = win::AllWindows().size();
        logAtClose = d.log.size();
        d.CloseFromWindowManager(Launcher()->m_hWnd);
    });
    int rc = AfxWinMain();
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(cyclesDone, kCycles);
    EXPECT_FALSE(d.stalled);
    EXPECT_EQ(d.PendingSteps(), 0u);
    EXPECT_EQ(maxDepth, 1);
    EXPECT_LE(maxObjects, 2);
    // One launcher's windows (frame, overlay, its controls) are all that ever live at once.
    EXPECT_LE(maxWindows, windowsAtEnd);
    EXPECT_EQ(d.messageBoxes.size(), static_cast<std::size_t>(kCycles));
    EXPECT_FALSE(AnyShownAfter(logAtClose));
    EXPECT_EQ(app.exits, 1);
    EXPECT_TRUE(win::AllWindows().empty());
}

}  // namespace
