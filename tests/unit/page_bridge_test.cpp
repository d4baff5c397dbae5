// The launcher page's call window.external.outLink(title, url): how its arguments become the
// game window's caption and address, which calls are refused, and how the launcher goes away.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "app_fixture.h"

namespace {

using namespace testing_support;
using Kind = win::ScriptValue::Kind;

// Short names keep the case tables below readable.
win::ScriptValue Str(const std::wstring& s) {
    return PageString(s);
}
win::ScriptValue Num(double n) {
    return PageNumber(n);
}
win::ScriptValue Bool(bool b) {
    return PageBool(b);
}
win::ScriptValue Of(Kind kind) {
    return PageValue(kind);
}

const std::wstring kHint = L"  【F5刷新】【F11全屏】【F12最小托盘】";

class PageBridgeTest : public AppFixture<> {
  protected:
    HWND View() { return Control(1005); }
};

struct Conversion {
    const char* label;
    std::wstring name;
    std::vector<win::ScriptValue> args;
    std::wstring title;  // caption before the key hint
    std::wstring url;
};

void PrintTo(const Conversion& c, std::ostream* os) {
    *os << c.label;
}

class PageBridgeConversionTest : public PageBridgeTest,
                                 public ::testing::WithParamInterface<Conversion> {};

TEST_P(PageBridgeConversionTest, ArgumentsBecomeCaptionAndAddress) {
    const Conversion& c = GetParam();
    d.Then([&] {
        ASSERT_NE(Frame(), nullptr);
        bool answered = false;
        win::ScriptCallResult result = d.CallFromPage(View(), c.name, c.args, &answered);
        EXPECT_TRUE(answered);
        EXPECT_TRUE(result.ok) << result.error;
        CVelGameDlg* game = Game();
        ASSERT_NE(game, nullptr);
        EXPECT_EQ(GetWindowTextString(game->m_hWnd), c.title + kHint);
        const headless::NativeWindow* page = d.Native(game->m_hwndBrowser);
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(page->navigations, std::vector<std::wstring>{c.url});
    });
    Run();
}

const std::wstring kUrl = L"http://s1.game.test/play?server=1";

INSTANTIATE_TEST_SUITE_P(
    PageBridge, PageBridgeConversionTest,
    ::testing::Values(
        Conversion{"Strings", L"outLink", {Str(L"S1"), Str(kUrl)}, L"S1", kUrl},
        Conversion{
            "ChineseText", L"outLink", {Str(L"双线一区 龙腾"), Str(kUrl)}, L"双线一区 龙腾", kUrl},
        Conversion{
            "CutAtNul",
            L"outLink",
            {Str(std::wstring(L"S2\0hidden", 9)), Str(std::wstring(L"http://a.test/\0b", 16))},
            L"S2",
            L"http://a.test/"},
        Conversion{"WholeNumber", L"outLink", {Num(42), Num(7)}, L"42", L"7"},
        Conversion{"Fraction", L"outLink", {Num(1.5), Str(kUrl)}, L"1.5", kUrl},
        Conversion{"Boolean", L"outLink", {Bool(true), Str(kUrl)}, L"-1", kUrl},
        Conversion{"Undefined", L"outLink", {Of(Kind::Undefined), Str(L"")}, L"", L""},
        Conversion{"Swapped", L"outLink", {Str(kUrl), Str(L"S1")}, kUrl, L"S1"},
        Conversion{"NameInCapitals", L"OUTLINK", {Str(L"S3"), Str(kUrl)}, L"S3", kUrl}),
    [](const ::testing::TestParamInfo<Conversion>& info) { return std::string(info.param.label); });

TEST_F(PageBridgeTest, UndefinedTitleGivesTheHintAlone) {
    d.Then([&] {
        d.CallFromPage(View(), L"outLink", {Of(Kind::Undefined), Str(kUrl)});
        ASSERT_NE(Game(), nullptr);
        EXPECT_EQ(GetWindowTextString(Game()->m_hWnd), L"  【F5刷新】【F11全屏】【F12最小托盘】");
    });
    Run();
}

struct Refusal {
    const char* label;
    std::wstring name;
    std::vector<win::ScriptValue> args;
    std::string error;  // empty: any error will do
};

void PrintTo(const Refusal& r, std::ostream* os) {
    *os << r.label;
}

class PageBridgeRefusalTest : public PageBridgeTest,
                              public ::testing::WithParamInterface<Refusal> {};

TEST_P(PageBridgeRefusalTest, LeavesTheLauncherAsItWas) {
    const Refusal& r = GetParam();
    std::vector<HWND> before;
    d.Then([&] {
        before = win::AllWindows();
        std::size_t logBefore = d.log.size();
        bool answered = false;
        win::ScriptCallResult result = d.CallFromPage(View(), r.name, r.args, &answered);
        EXPECT_TRUE(answered);
        EXPECT_FALSE(result.ok);
        EXPECT_FALSE(result.error.empty());
        if (!r.error.empty()) {
            EXPECT_EQ(result.error, r.error);
        }
        EXPECT_EQ(d.log.size(), logBefore) << d.log.back();
    });
    d.Then([&] {
        // Nothing was closed or queued for closing, and the page can still start the game.
        EXPECT_EQ(win::AllWindows(), before);
        ASSERT_NE(Frame(), nullptr);
        EXPECT_EQ(Overlay()->m_hWnd, GetParent(View()));
        auto result = d.CallFromPage(View(), L"outLink", {Str(L"S1"), Str(kUrl)});
        EXPECT_TRUE(result.ok) << result.error;
        EXPECT_NE(Game(), nullptr);
    });
    Run();
}

INSTANTIATE_TEST_SUITE_P(
    PageBridge, PageBridgeRefusalTest,
    ::testing::Values(Refusal{"ThreeArguments",
                              L"outLink",
                              {Str(L"S1"), Str(kUrl), Str(L"x")},
                              "Wrong number of arguments or invalid property assignment"},
                      Refusal{"UnknownName",
                              L"openGame",
                              {Str(L"S1"), Str(kUrl)},
                              "Object doesn't support this property or method"},
                      Refusal{"OneArgument", L"outLink", {Str(L"S1")}, ""},
                      Refusal{"NoArguments", L"outLink", {}, ""},
                      Refusal{"NullTitle", L"outLink", {Of(Kind::Null), Str(kUrl)}, ""},
                      Refusal{"NullUrl", L"outLink", {Str(L"S1"), Of(Kind::Null)}, ""},
                      Refusal{"ObjectUrl", L"outLink", {Str(L"S1"), Of(Kind::Object)}, ""}),
    [](const ::testing::TestParamInfo<Refusal>& info) { return std::string(info.param.label); });

TEST_F(PageBridgeTest, AnyPageOriginMayStartTheGame) {
    d.Then([&] {
        Overlay()->m_browser.Navigate(L"http://elsewhere.example/other.html");
        ASSERT_EQ(d.Native(View())->navigations.back(), L"http://elsewhere.example/other.html");
        auto result = d.CallFromPage(View(), L"outLink", {Str(L"S9"), Str(kUrl)});
        EXPECT_TRUE(result.ok) << result.error;
        EXPECT_NE(Game(), nullptr);
    });
    Run();
}

TEST_F(PageBridgeTest, HandOverShowsTheGameThenClosesTheLauncherAndIgnoresTheOldPage) {
    HWND view = nullptr, overlay = nullptr, frame = nullptr, game = nullptr;
    d.Then([&] {
        view = View();
        overlay = Overlay()->m_hWnd;
        frame = Frame()->m_hWnd;
        auto result = d.CallFromPage(view, L"outLink", {Str(L"S1"), Str(kUrl)});
        ASSERT_TRUE(result.ok) << result.error;
        ASSERT_NE(Game(), nullptr);
        game = Game()->m_hWnd;
    });
    d.Then([&] {
        EXPECT_FALSE(IsWindow(view));
        EXPECT_FALSE(IsWindow(overlay));
        EXPECT_FALSE(IsWindow(frame));
        int shown = d.FindLog("show " + d.Name(game));
        int viewGone = d.FindLog("destroy " + d.Name(view));
        int overlayGone = d.FindLog("destroy " + d.Name(overlay));
        int frameGone = d.FindLog("destroy " + d.Name(frame));
        ASSERT_GE(shown, 0);
        ASSERT_GE(viewGone, 0);
        ASSERT_GE(overlayGone, 0);
        ASSERT_GE(frameGone, 0);
        EXPECT_LT(shown, viewGone);
        EXPECT_LT(shown, overlayGone);
        EXPECT_LT(viewGone, frameGone);
        EXPECT_LT(overlayGone, frameGone);

        // The old page calls again: nobody answers, and nothing changes.
        std::size_t windows = win::AllWindows().size();
        bool answered = true;
        d.CallFromPage(view, L"outLink", {Str(L"S2"), Str(L"http://late.test/")}, &answered);
        EXPECT_FALSE(answered);
        ASSERT_NE(Game(), nullptr);
        EXPECT_EQ(Game()->m_hWnd, game);
        EXPECT_EQ(win::AllWindows().size(), windows);
        EXPECT_EQ(d.Native(Game()->m_hwndBrowser)->navigations, std::vector<std::wstring>{kUrl});
        EXPECT_TRUE(IsWindowVisible(game));
    });
    Run();
}

}  // namespace
