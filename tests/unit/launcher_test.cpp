// The launcher as a user meets it: control placement, button faces, the launcher page's host
// object, link buttons that follow config.ini, minimise, close and the Enter/Esc keys.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "app/config.h"
#include "app_fixture.h"

namespace {

using namespace testing_support;

class LauncherTest : public AppFixture<PlacementDesktop> {
  protected:
    // Launcher tests write keys only; the section line comes first.
    void WriteConfig(const std::string& keys) { AppFixture::WriteConfig("[tova]\n" + keys); }

    // The launcher is still up: the frame is the main window and both windows are shown.
    bool LauncherUp() {
        CVelTranslucentDlg* frame = Frame();
        return frame && frame->m_hWnd && IsWindowVisible(frame->m_hWnd) && frame->m_pOverlay &&
               IsWindowVisible(frame->m_pOverlay->m_hWnd);
    }
};

TEST_F(LauncherTest, ControlsSitAtTheirPlacesWithTheirFaces) {
    struct Row {
        int id, x, y, w, h;
        UINT normal, hot;
    };
    // Close carries its pair reversed and the service button's hot face is 147.
    const Row rows[] = {
        {1005, 602, 261, 712, 400, 0, 0},     {1006, 602, 197, 128, 44, 139, 140},
        {1008, 730, 197, 128, 44, 143, 144},  {1009, 1032, 197, 128, 44, 145, 147},
        {1010, 1162, 197, 128, 44, 141, 142}, {1012, 1258, 153, 49, 33, 159, 160},
        {1004, 1295, 142, 49, 49, 138, 137},
    };
    d.Then([&] {
        ASSERT_TRUE(LauncherUp());
        RECT client = win::ClientRectOnScreen(Overlay()->m_hWnd);
        for (const Row& row : rows) {
            SCOPED_TRACE(row.id);
            HWND h = Control(row.id);
            ASSERT_NE(h, nullptr);
            EXPECT_TRUE(IsWindowVisible(h));
            RECT r;
            GetWindowRect(h, &r);
            EXPECT_EQ(r.left - client.left, row.x);
            EXPECT_EQ(r.top - client.top, row.y);
            EXPECT_EQ(r.Width(), row.w);
            EXPECT_EQ(r.Height(), row.h);
            if (!row.normal)
                continue;
            auto* button = dynamic_cast<CMFCButton*>(CWnd::FromHandlePermanent(h));
            ASSERT_NE(button, nullptr);
            EXPECT_TRUE(button->m_bTransparent);
            gdiplus::PixelImage normal = DecodePngResource(row.normal);
            gdiplus::PixelImage hot = DecodePngResource(row.hot);
            ASSERT_GT(normal.width, 0);
            ASSERT_GT(hot.width, 0);
            ASSERT_NE(button->NormalImage(), nullptr);
            ASSERT_NE(button->HotImage(), nullptr);
            EXPECT_EQ(button->NormalImage()->pixels, normal.pixels);
            EXPECT_EQ(button->HotImage()->pixels, hot.pixels);
            // The desktop draws exactly these faces.
            const headless::NativeWindow* native = d.Native(h);
            ASSERT_NE(native, nullptr);
            ASSERT_EQ(native->faceNormal, button->NormalImage());
            ASSERT_EQ(native->faceHot, button->HotImage());
            EXPECT_EQ(native->faceNormal->width, normal.width);
            EXPECT_EQ(native->faceNormal->height, normal.height);
            EXPECT_EQ(native->faceHot->width, hot.width);
            EXPECT_EQ(native->faceHot->height, hot.height);
            // The faces are image-sized: link images are narrower than their buttons.
            EXPECT_EQ(normal.width, row.w == 128 ? 126 : row.w);
            EXPECT_EQ(normal.height, row.h);
        }
        HWND hidden = Control(104);
        ASSERT_NE(hidden, nullptr);
        EXPECT_FALSE(IsWindowVisible(hidden));
    });
    RunThenClose();
}

TEST_F(LauncherTest, HoverMakesAButtonHot) {
    d.Then([&] {
        HWND h = Control(1006);
        auto* button = dynamic_cast<CMFCButton*>(CWnd::FromHandlePermanent(h));
        ASSERT_NE(button, nullptr);
        EXPECT_FALSE(button->IsHot());
        d.HoverButton(h, true);
        EXPECT_TRUE(button->IsHot());
        d.HoverButton(h, false);
        EXPECT_FALSE(button->IsHot());
    });
    RunThenClose();
}

TEST_F(LauncherTest, PageGetsTheHostObjectBeforeItIsRequestedAndRunsSilent) {
    WriteConfig("client_web=http://portal.test/launcher/\n");
    d.Then([&] {
        HWND view = Control(1005);
        const headless::NativeWindow* native = d.Native(view);
        ASSERT_NE(native, nullptr);
        ASSERT_TRUE(native->hasHostObject);
        ASSERT_EQ(native->hostMethods.size(), 1u);
        EXPECT_EQ(native->hostMethods[0].name, L"outLink");
        EXPECT_EQ(native->hostMethods[0].parameterCount, 2);
        EXPECT_EQ(native->navigations, std::vector<std::wstring>{L"http://portal.test/launcher/"});
        int host = d.FindLog("hostobject " + d.Name(view));
        int nav = d.FindLog("navigate " + d.Name(view));
        ASSERT_GE(host, 0);
        EXPECT_LT(host, nav);
        EXPECT_TRUE(native->silent);
    });
    RunThenClose();
}

TEST_F(LauncherTest, EachLinkButtonOpensItsOwnKey) {
    WriteConfig(
        "home_url=http://h.test/\nrecharge_url=http://r.test/\nservice_url=http://s.test/\n"
        "forum_url=http://f.test/\n");
    d.Then([&] {
        for (int id : {1006, 1008, 1009, 1010}) d.ClickButton(Control(id));
        EXPECT_EQ(d.openedUris, (std::vector<std::wstring>{L"http://h.test/", L"http://r.test/",
                                                           L"http://s.test/", L"http://f.test/"}));
        // Nothing prevents opening again.
        d.ClickButton(Control(1006));
        EXPECT_EQ(d.openedUris.back(), L"http://h.test/");
        EXPECT_EQ(d.openedUris.size(), 5u);
        EXPECT_TRUE(LauncherUp());
    });
    RunThenClose();
}

TEST_F(LauncherTest, LinkValueIsReadAtEveryClick) {
    // home_url as written in config.ini, and what the click must open (nothing for "").
    struct Row {
        const char* written;
        std::wstring opened;
        bool opens;
    };
    const std::wstring fallback = BuiltInDefault(L"home_url");
    ASSERT_FALSE(fallback.empty());
    const Row rows[] = {
        {"http://first.test/", L"http://first.test/", true},
        {"http://second.test/", L"http://second.test/", true},
        {"error", fallback, true},
        {"ERROR", L"ERROR", true},
        // Quotes keep the space that the file format would otherwise trim.
        {"\" http://spaced.test/\"", L" http://spaced.test/", true},
        {"", L"", false},
    };
    d.Then([&] {
        for (const Row& row : rows) {
            SCOPED_TRACE(row.written);
            WriteConfig(std::string("home_url=") + row.written + "\n");
            std::size_t before = d.openedUris.size();
            d.ClickButton(Control(1006));
            if (row.opens) {
                ASSERT_EQ(d.openedUris.size(), before + 1);
                EXPECT_EQ(d.openedUris.back(), row.opened);
            } else {
                EXPECT_EQ(d.openedUris.size(), before);
            }
            EXPECT_TRUE(LauncherUp());
        }
        // No file at all behaves as the sentinel.
        std::remove((dir_ + "/config.ini").c_str());
        d.ClickButton(Control(1006));
        EXPECT_EQ(d.openedUris.back(), fallback);
    });
    RunThenClose();
}

TEST_F(LauncherTest, CloseButtonEndsTheLauncher) {
    HWND frame = nullptr;
    d.Then([&] {
        frame = Frame()->m_hWnd;
        d.ClickButton(Control(1004));
    });
    d.Then([&] { ADD_FAILURE() << "the launcher kept running after its close button"; });
    int rc = AfxWinMain();
    EXPECT_EQ(rc, 0);
    EXPECT_FALSE(d.stalled);
    EXPECT_EQ(d.PendingSteps(), 1u);
    EXPECT_FALSE(IsWindow(frame));
    EXPECT_TRUE(win::AllWindows().empty());
    EXPECT_EQ(app.m_pMainWnd, nullptr);
}

TEST_F(LauncherTest, MinimiseTakesTheOverlayFirstThenTheFrame) {
    d.Then([&] {
        HWND overlay = Overlay()->m_hWnd, frame = Frame()->m_hWnd;
        d.ClickButton(Control(1012));
        EXPECT_TRUE(IsIconic(overlay));
        EXPECT_TRUE(IsIconic(frame));
        int o = d.FindLog("minimised " + d.Name(overlay));
        int f = d.FindLog("minimised " + d.Name(frame));
        ASSERT_GE(o, 0);
        ASSERT_GE(f, 0);
        EXPECT_LT(o, f);
        EXPECT_EQ(app.m_pMainWnd, Frame());
    });
    RunThenClose();
}

TEST_F(LauncherTest, EnterToTheOverlayDoesNothing) {
    d.Then([&] {
        d.PressKey(Overlay()->m_hWnd, VK_RETURN);
        // The OK command itself is empty too.
        SendMessageW(Overlay()->m_hWnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    });
    d.Then([&] {
        EXPECT_TRUE(LauncherUp());
        EXPECT_TRUE(d.openedUris.empty());
        EXPECT_EQ(d.Native(Control(1005))->navigations.size(), 1u);
        EXPECT_TRUE(d.Native(Control(1005))->deliveredKeys.empty());
    });
    RunThenClose();
}

TEST_F(LauncherTest, EnterToThePageReachesThePage) {
    d.Then([&] { d.PressKey(Control(1005), VK_RETURN); });
    d.Then([&] {
        EXPECT_TRUE(LauncherUp());
        const auto& keys = d.Native(Control(1005))->deliveredKeys;
        ASSERT_FALSE(keys.empty());
        EXPECT_EQ(keys[0].message, static_cast<UINT>(WM_KEYDOWN));
        EXPECT_EQ(keys[0].wParam, static_cast<WPARAM>(VK_RETURN));
    });
    RunThenClose();
}

TEST_F(LauncherTest, EscToTheOverlayClosesTheLauncher) {
    d.Then([&] { d.PressKey(Overlay()->m_hWnd, VK_ESCAPE); });
    d.Then([&] { ADD_FAILURE() << "the launcher kept running after Esc"; });
    int rc = AfxWinMain();
    EXPECT_EQ(rc, 0);
    EXPECT_FALSE(d.stalled);
    EXPECT_EQ(d.PendingSteps(), 1u);
    EXPECT_TRUE(win::AllWindows().empty());
}

}  // namespace
