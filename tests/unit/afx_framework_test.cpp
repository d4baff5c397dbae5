// Behaviour of the application framework on the headless desktop: window objects, modal runs,
// the hand-over chain, and automation objects reached from pages.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/afx/afx.h"
#include "test_fixture.h"

namespace {

using namespace testing_support;

using AfxWnd = HeadlessTest;
using AfxDialog = HeadlessTest;
using AfxChain = HeadlessTest;
using AfxAutomation = HeadlessTest;

constexpr UINT kGameTemplate = 150;  // a plain captioned popup, hidden at creation
constexpr UINT kNoTemplate = 9999;

std::vector<std::string>& Trail() {
    static std::vector<std::string> trail;
    return trail;
}

// A window object that records what reaches it.
class ProbeWnd : public CWnd {
  public:
    explicit ProbeWnd(std::string name = "") : name_(std::move(name)) {}

    BOOL Make(DWORD style, CWnd* parentOrOwner = nullptr) {
        return CreateEx(0, L"Probe", L"", style, RECT{0, 0, 200, 100}, parentOrOwner, 0);
    }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        seen.push_back(message);
        return CWnd::WindowProc(message, wParam, lParam);
    }
    BOOL PreTranslateMessage(MSG* msg) override {
        Trail().push_back(name_);
        if (destroyTargetWhenFiltering)
            ::DestroyWindow(msg->hwnd);
        return filters;
    }
    void PostNcDestroy() override { postNcDestroyed = true; }
    void OnClose() { ++closes; }

    std::vector<UINT> seen;
    int closes = 0;
    bool postNcDestroyed = false;
    BOOL filters = FALSE;
    bool destroyTargetWhenFiltering = false;

    DECLARE_MESSAGE_MAP()

  private:
    std::string name_;
};

BEGIN_MESSAGE_MAP(ProbeWnd, CWnd)
ON_WM_CLOSE()
END_MESSAGE_MAP()

int IndexOf(const std::vector<UINT>& v, UINT m) {
    for (std::size_t i = 0; i < v.size(); ++i)
        if (v[i] == m)
            return static_cast<int>(i);
    return -1;
}

// ---- Window objects ---------------------------------------------------------------------

TEST_F(AfxWnd, DetachedWindowGetsOnlyDefaultProcessing) {
    ProbeWnd wnd;
    ASSERT_TRUE(wnd.Make(WS_POPUP | WS_VISIBLE));
    HWND h = wnd.m_hWnd;
    EXPECT_EQ(CWnd::FromHandlePermanent(h), &wnd);

    // Attached, the object's close handler replaces the default: the window stays.
    PostMessageW(h, WM_CLOSE, 0, 0);
    PumpPosted();
    EXPECT_EQ(wnd.closes, 1);
    EXPECT_TRUE(IsWindow(h));

    EXPECT_EQ(wnd.Detach(), h);
    EXPECT_EQ(wnd.m_hWnd, nullptr);
    EXPECT_EQ(CWnd::FromHandlePermanent(h), nullptr);
    wnd.seen.clear();
    SendMessageW(h, WM_USER, 0, 0);
    EXPECT_TRUE(wnd.seen.empty());

    PostMessageW(h, WM_CLOSE, 0, 0);
    PumpPosted();
    EXPECT_FALSE(IsWindow(h)) << "the default close processing destroys the window";
    EXPECT_EQ(wnd.closes, 1) << "the object's close handler must not run after Detach";
    EXPECT_TRUE(wnd.seen.empty());
    EXPECT_FALSE(wnd.postNcDestroyed);
}

TEST_F(AfxWnd, ObjectSeesDestroyThenNcDestroyAndLetsGo) {
    ProbeWnd wnd;
    ASSERT_TRUE(wnd.Make(WS_POPUP));
    HWND h = wnd.m_hWnd;
    EXPECT_EQ(IndexOf(wnd.seen, WM_NCCREATE), 0) << "the object hears its window's first message";
    ASSERT_TRUE(wnd.DestroyWindow());
    int destroy = IndexOf(wnd.seen, WM_DESTROY), ncdestroy = IndexOf(wnd.seen, WM_NCDESTROY);
    ASSERT_GE(destroy, 0);
    EXPECT_LT(destroy, ncdestroy);
    EXPECT_EQ(ncdestroy, static_cast<int>(wnd.seen.size()) - 1) << "nothing after WM_NCDESTROY";
    EXPECT_TRUE(wnd.postNcDestroyed);
    EXPECT_EQ(wnd.m_hWnd, nullptr);
    EXPECT_EQ(CWnd::FromHandlePermanent(h), nullptr);
    EXPECT_FALSE(wnd.DestroyWindow());

    HWND owned = nullptr;
    {
        ProbeWnd temporary;
        ASSERT_TRUE(temporary.Make(WS_POPUP));
        owned = temporary.m_hWnd;
    }
    EXPECT_FALSE(IsWindow(owned)) << "an object going away takes its window with it";
}

TEST_F(AfxWnd, SubclassedWindowKeepsItsOriginalProcessing) {
    HWND h = MakeWindow(WS_POPUP, RECT{0, 0, 10, 10});
    ProbeWnd wnd;
    ASSERT_TRUE(wnd.SubclassWindow(h));
    EXPECT_FALSE(ProbeWnd().SubclassWindow(h)) << "one object per window";
    SetWindowTextW(h, L"title");
    EXPECT_EQ(wnd.seen.back(), WM_SETTEXT);
    EXPECT_EQ(SeenOf(h, WM_SETTEXT).size(), 1u) << "the original procedure still runs";
    EXPECT_EQ(GetWindowTextString(h), L"title");
}

TEST_F(AfxWnd, PreTranslateWalksFromTargetThroughParentsAndOwners) {
    struct Case {
        const char* name;
        const char* filtering;  // which object answers TRUE
        bool destroyTarget;
        std::vector<std::string> trail;
        BOOL result;
    } cases[] = {
        {"nobody filters", "", false, {"leaf", "top", "owner"}, FALSE},
        {"the top-level window filters", "top", false, {"leaf", "top"}, TRUE},
        {"the target filters", "leaf", false, {"leaf"}, TRUE},
        {"the target is destroyed while filtering", "", true, {"leaf"}, TRUE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Trail().clear();
        ProbeWnd owner("owner"), top("top"), leaf("leaf");
        ASSERT_TRUE(owner.Make(WS_POPUP));
        ASSERT_TRUE(top.Make(WS_POPUP, &owner));
        // A child without an object sits between the target and its top-level window.
        HWND middle = MakeWindow(WS_CHILD, RECT{0, 0, 50, 50}, top.m_hWnd);
        ASSERT_TRUE(leaf.SubclassWindow(MakeWindow(WS_CHILD, RECT{0, 0, 10, 10}, middle)));
        for (ProbeWnd* w : {&owner, &top, &leaf})
            w->filters = std::string(c.filtering) == (w == &owner ? "owner"
                                                      : w == &top ? "top"
                                                                  : "leaf");
        leaf.destroyTargetWhenFiltering = c.destroyTarget;

        MSG msg;
        msg.hwnd = leaf.m_hWnd;
        msg.message = WM_KEYDOWN;
        msg.wParam = VK_F5;
        EXPECT_EQ(AfxPreTranslateMessage(&msg), c.result);
        EXPECT_EQ(Trail(), c.trail);
    }
}

TEST_F(AfxWnd, DestroyingTheMainWindowEndsTheProcess) {
    CWinApp app;
    ProbeWnd main, other, detached;
    ASSERT_TRUE(main.Make(WS_POPUP));
    ASSERT_TRUE(other.Make(WS_POPUP));
    ASSERT_TRUE(detached.Make(WS_POPUP));

    app.m_pMainWnd = &main;
    other.DestroyWindow();
    EXPECT_EQ(TakeQuit(), std::nullopt) << "only the main window's end ends the process";
    EXPECT_EQ(app.m_pMainWnd, &main);
    EXPECT_EQ(AfxGetMainWnd(), &main);

    main.DestroyWindow();
    EXPECT_EQ(app.m_pMainWnd, nullptr);
    EXPECT_EQ(TakeQuit(), 0);

    // A main window whose object let go of it is not heard going; the slot is the object's.
    app.m_pMainWnd = &detached;
    ::DestroyWindow(detached.Detach());
    EXPECT_EQ(TakeQuit(), std::nullopt);
    EXPECT_EQ(app.m_pMainWnd, &detached);
    app.m_pMainWnd = nullptr;
}

// ---- Dialogs ---------------------------------------------------------------------------------

TEST_F(AfxDialog, ModalRunEndsOnEndDialogAndDestroysItsWindow) {
    struct Case {
        const char* name;
        std::function<void(headless::HeadlessDesktop&, CDialog&)> act;
        INT_PTR result;
    } cases[] = {
        {"EndDialog", [](auto&, CDialog& d) { d.EndDialog(42); }, 42},
        {"Enter", [](auto& desk, CDialog& d) { desk.PressKey(d.m_hWnd, VK_RETURN); }, IDOK},
        {"Esc", [](auto& desk, CDialog& d) { desk.PressKey(d.m_hWnd, VK_ESCAPE); }, IDCANCEL},
        {"closed by the window manager",
         [](auto& desk, CDialog& d) { desk.CloseFromWindowManager(d.m_hWnd); }, IDCANCEL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CDialog dlg(kGameTemplate);
        HWND h = nullptr;
        bool shownWhileRunning = false;
        desktop.Then([&] {
            h = dlg.m_hWnd;
            shownWhileRunning = IsWindowVisible(h);
            c.act(desktop, dlg);
        });
        EXPECT_EQ(dlg.DoModal(), c.result);
        EXPECT_TRUE(shownWhileRunning);
        EXPECT_FALSE(IsWindow(h));
        EXPECT_EQ(dlg.m_hWnd, nullptr);
        EXPECT_EQ(dlg.m_nModalResult, c.result);
        int shown = desktop.FindLog("show " + desktop.Name(h));
        EXPECT_GE(shown, 0);
        EXPECT_LT(shown, desktop.FindLog("destroy " + desktop.Name(h)));
        EXPECT_EQ(TakeQuit(), std::nullopt);
    }
    EXPECT_TRUE(win::AllWindows().empty());
}

TEST_F(AfxDialog, QuitEndsEveryNestedRunAndStaysPending) {
    CDialog outer(kGameTemplate), inner(kGameTemplate);
    HWND outerWindow = nullptr, innerWindow = nullptr;
    INT_PTR innerResult = 0;
    desktop.Then([&] {
        outerWindow = outer.m_hWnd;
        innerResult = inner.DoModal();
    });
    desktop.Then([&] {
        innerWindow = inner.m_hWnd;
        PostQuitMessage(5);
    });
    EXPECT_EQ(outer.DoModal(), -1);
    EXPECT_EQ(innerResult, -1);
    EXPECT_FALSE(IsWindow(outerWindow));
    EXPECT_FALSE(IsWindow(innerWindow));
    EXPECT_EQ(desktop.PendingSteps(), 0u);

    // A run started after the quit ends at once and leaves no window behind.
    CDialog late(kGameTemplate);
    EXPECT_EQ(late.DoModal(), -1);
    EXPECT_TRUE(win::AllWindows().empty());
    EXPECT_EQ(TakeQuit(), 5);
}

TEST_F(AfxDialog, ModelessCreateMakesAWindowWithoutALoop) {
    ProbeWnd parent;
    ASSERT_TRUE(parent.Make(WS_POPUP | WS_VISIBLE));
    CDialog dlg(0);
    ASSERT_TRUE(dlg.Create(kGameTemplate, &parent));
    HWND h = dlg.m_hWnd;
    ASSERT_TRUE(IsWindow(h));
    EXPECT_EQ(CWnd::FromHandlePermanent(h), &dlg);
    EXPECT_FALSE(IsWindowVisible(h)) << "the template is hidden at creation";
    EXPECT_EQ(GetParent(h), parent.m_hWnd);
    EXPECT_EQ(GetWindowTextString(h), L"Nebrisk");
    RECT r;
    GetWindowRect(h, &r);
    RECT work = desktop.workArea;
    EXPECT_NEAR(r.left - work.left, work.right - r.right, 1) << "centred";
    EXPECT_NEAR(r.top - work.top, work.bottom - r.bottom, 1);

    dlg.ShowWindow(SW_SHOW);
    dlg.EndDialog(IDOK);
    EXPECT_TRUE(IsWindow(h)) << "a modeless dialog is hidden, not destroyed";
    EXPECT_FALSE(IsWindowVisible(h));

    parent.DestroyWindow();
    EXPECT_FALSE(IsWindow(h)) << "owned windows go with their owner";
    EXPECT_EQ(dlg.m_hWnd, nullptr);
}

TEST_F(AfxDialog, MissingTemplateMakesNoWindow) {
    CDialog modeless(kNoTemplate), modal(kNoTemplate);
    EXPECT_FALSE(modeless.Create(kNoTemplate));
    EXPECT_EQ(modeless.m_hWnd, nullptr);
    EXPECT_EQ(modal.DoModal(), -1);
    EXPECT_TRUE(win::AllWindows().empty());
    EXPECT_EQ(TakeQuit(), std::nullopt);
}

// ---- The hand-over chain ----------------------------------------------------------------------

// Stand-ins for the launcher and the game window: a hand-over asks the current window to close,
// lets go of it, makes the next window current and gives it to the application.
class StandIn : public CDialog {
  public:
    explicit StandIn(CWinApp& app, UINT templateId = kGameTemplate)
        : CDialog(templateId), app_(app) {
        ++Live();
    }
    ~StandIn() override { --Live(); }
    static int& Live() {
        static int live = 0;
        return live;
    }
    static int& Closes() {
        static int closes = 0;
        return closes;
    }

    void HandOverTo(std::unique_ptr<StandIn> next) {
        PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
        Detach();
        app_.m_pMainWnd = next.get();
        app_.HandOver(std::move(next));
    }
    void OnClose() {
        ++Closes();
        Default();
    }

    DECLARE_MESSAGE_MAP()

  private:
    CWinApp& app_;
};

BEGIN_MESSAGE_MAP(StandIn, CDialog)
ON_WM_CLOSE()
END_MESSAGE_MAP()

class LauncherStandIn : public StandIn {
    using StandIn::StandIn;
};
class GameStandIn : public StandIn {
    using StandIn::StandIn;
};

class AfxChainTest : public HeadlessTest {
  protected:
    void SetUp() override {
        HeadlessTest::SetUp();
        StandIn::Closes() = 0;
    }
    void TearDown() override {
        EXPECT_EQ(StandIn::Live(), 0) << "every window object of the chain is destroyed";
        HeadlessTest::TearDown();
    }
};
using AfxChainHandOver = AfxChainTest;

TEST_F(AfxChainHandOver, NextWindowIsShownBeforeThePreviousOneCloses) {
    CWinApp app;
    auto first = std::make_unique<LauncherStandIn>(app);
    StandIn* launcher = first.get();
    app.m_pMainWnd = launcher;
    HWND previous = nullptr, next = nullptr;

    desktop.Then([&] {
        previous = launcher->m_hWnd;
        ASSERT_TRUE(IsWindowVisible(previous));
        auto game = std::make_unique<GameStandIn>(app);
        StandIn* gamePtr = game.get();
        launcher->HandOverTo(std::move(game));
        next = gamePtr->m_hWnd;
        EXPECT_TRUE(IsWindowVisible(next)) << "the next window is on screen at once";
        EXPECT_TRUE(IsWindow(previous)) << "the previous window closes later, from the queue";
        EXPECT_EQ(app.m_pMainWnd, gamePtr);
        EXPECT_EQ(app.LiveChainObjects(), 2);
    });
    desktop.Then([&] {
        EXPECT_FALSE(IsWindow(previous));
        EXPECT_EQ(StandIn::Live(), 1) << "the previous object is gone before the next run";
        EXPECT_EQ(app.LiveChainObjects(), 1);
        EXPECT_EQ(app.ModalDepth(), 1) << "hand-overs do not nest runs";
        desktop.CloseFromWindowManager(next);
    });

    EXPECT_EQ(app.RunModalChain(std::move(first)), IDCANCEL);
    int shownNext = desktop.FindLog("show " + desktop.Name(next));
    int destroyedPrevious = desktop.FindLog("destroy " + desktop.Name(previous));
    ASSERT_GE(shownNext, 0);
    ASSERT_GE(destroyedPrevious, 0);
    EXPECT_LT(shownNext, destroyedPrevious);
    EXPECT_EQ(StandIn::Closes(), 1) << "only the user's close reaches an object";
    EXPECT_EQ(app.m_pMainWnd, nullptr);
    EXPECT_EQ(app.ModalDepth(), 0);
    EXPECT_EQ(app.LiveChainObjects(), 0);
    EXPECT_TRUE(win::AllWindows().empty());
    EXPECT_EQ(TakeQuit(), 0);
}

TEST_F(AfxChainHandOver, ThousandAlternationsStayFlatAndEndOnce) {
    constexpr int kHandOvers = 1000;
    CWinApp app;
    int handOvers = 0;
    int maxChainObjects = 0, maxDepth = 0, minDepth = 1, maxLive = 0;
    std::size_t maxWindows = 0, maxNatives = 0;
    int notShown = 0;
    std::vector<std::pair<HWND, HWND>> pairs;  // (previous, next) of every hand-over

    std::function<void()> step = [&] {
        auto* current = static_cast<StandIn*>(app.m_pMainWnd);
        maxChainObjects = std::max(maxChainObjects, app.LiveChainObjects());
        maxDepth = std::max(maxDepth, app.ModalDepth());
        minDepth = std::min(minDepth, app.ModalDepth());
        maxLive = std::max(maxLive, StandIn::Live());
        maxWindows = std::max(maxWindows, win::AllWindows().size());
        maxNatives = std::max(maxNatives, desktop.natives.size());
        notShown += !IsWindowVisible(current->m_hWnd);
        if (handOvers == kHandOvers) {
            desktop.CloseFromWindowManager(current->m_hWnd);
            return;
        }
        ++handOvers;
        std::unique_ptr<StandIn> next;
        if (handOvers % 2)
            next = std::make_unique<GameStandIn>(app);
        else
            next = std::make_unique<LauncherStandIn>(app);
        StandIn* nextPtr = next.get();
        HWND previous = current->m_hWnd;
        current->HandOverTo(std::move(next));
        pairs.push_back({previous, nextPtr->m_hWnd});
        maxChainObjects = std::max(maxChainObjects, app.LiveChainObjects());
        maxWindows = std::max(maxWindows, win::AllWindows().size());
        desktop.Then(step);
    };
    desktop.Then(step);

    auto first = std::make_unique<LauncherStandIn>(app);
    app.m_pMainWnd = first.get();
    EXPECT_EQ(app.RunModalChain(std::move(first)), IDCANCEL);

    EXPECT_EQ(handOvers, kHandOvers);
    EXPECT_LE(maxChainObjects, 2);
    EXPECT_EQ(maxDepth, 1);
    EXPECT_EQ(minDepth, 1);
    EXPECT_LE(maxLive, 2);
    EXPECT_LE(maxWindows, 2u);
    EXPECT_LE(maxNatives, 2u);
    EXPECT_EQ(notShown, 0);
    EXPECT_EQ(StandIn::Closes(), 1);

    // Every next window was shown before its predecessor went.
    std::map<std::string, int> shown, destroyed;
    for (int i = 0; i < static_cast<int>(desktop.log.size()); ++i) {
        const std::string& e = desktop.log[i];
        if (e.rfind("show ", 0) == 0)
            shown.emplace(e.substr(5), i);
        if (e.rfind("destroy ", 0) == 0)
            destroyed.emplace(e.substr(8), i);
    }
    int outOfOrder = 0;
    for (auto& [previous, next] : pairs) {
        auto s = shown.find(desktop.Name(next));
        auto d = destroyed.find(desktop.Name(previous));
        outOfOrder += s == shown.end() || d == destroyed.end() || s->second > d->second;
    }
    EXPECT_EQ(outOfOrder, 0);

    EXPECT_EQ(app.ModalDepth(), 0);
    EXPECT_EQ(app.LiveChainObjects(), 0);
    EXPECT_EQ(app.m_pMainWnd, nullptr);
    EXPECT_TRUE(win::AllWindows().empty());
    EXPECT_EQ(TakeQuit(), 0);
    EXPECT_EQ(TakeQuit(), std::nullopt) << "the chain ends once";
}

TEST_F(AfxChainHandOver, FailedHandOverEndsTheProcessWithNoWindowLeft) {
    CWinApp app;
    auto first = std::make_unique<LauncherStandIn>(app);
    StandIn* launcher = first.get();
    app.m_pMainWnd = launcher;
    HWND previous = nullptr;
    desktop.Then([&] {
        previous = launcher->m_hWnd;
        launcher->HandOverTo(std::make_unique<GameStandIn>(app, kNoTemplate));
    });
    EXPECT_EQ(app.RunModalChain(std::move(first)), -1);
    EXPECT_FALSE(IsWindow(previous));
    EXPECT_TRUE(win::AllWindows().empty());
    EXPECT_EQ(app.m_pMainWnd, nullptr);
    EXPECT_EQ(StandIn::Closes(), 0);
    EXPECT_EQ(TakeQuit(), 0);
}

// ---- Automation -------------------------------------------------------------------------------

class HostObject : public CCmdTarget {
  public:
    HostObject() { EnableAutomation(); }
    void OutLink(VARIANT url, VARIANT target) { calls.push_back({url, target}); }
    void Raise(VARIANT kind, VARIANT) {
        if (kind.lVal == 1)
            AfxThrowOleException(E_NOTIMPL);
        AfxThrowMemoryException();
    }
    std::vector<std::pair<VARIANT, VARIANT>> calls;

    DECLARE_DISPATCH_MAP()
};

BEGIN_DISPATCH_MAP(HostObject, CCmdTarget)
DISP_FUNCTION_2VARIANTS(outLink, OutLink)
DISP_FUNCTION_2VARIANTS(raise, Raise)
END_DISPATCH_MAP()

VARIANT Str(const std::wstring& s) {
    VARIANT v;
    v.vt = VT_BSTR;
    v.bstrVal = s;
    return v;
}
VARIANT Int(LONG i) {
    VARIANT v;
    v.vt = VT_I4;
    v.lVal = i;
    return v;
}

TEST_F(AfxAutomation, NamesResolveWithoutRegardToCase) {
    HostObject host;
    IDispatch* disp = host.GetIDispatch(FALSE);
    ASSERT_NE(disp, nullptr);
    DISPID outLink = 0, raise = 0;
    ASSERT_EQ(disp->GetIDsOfNames(L"outLink", &outLink), 0);
    ASSERT_EQ(disp->GetIDsOfNames(L"raise", &raise), 0);
    EXPECT_NE(outLink, raise);
    for (const wchar_t* name : {L"OUTLINK", L"outlink", L"OuTlInK"}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(name)));
        DISPID id = -1;
        EXPECT_EQ(disp->GetIDsOfNames(name, &id), 0);
        EXPECT_EQ(id, outLink);
    }
    for (const wchar_t* name : {L"outLin", L"outLinks", L"", L"out Link", L"Raise2"}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(name)));
        DISPID id = -1;
        EXPECT_EQ(disp->GetIDsOfNames(name, &id), DISP_E_UNKNOWNNAME);
    }
    auto methods = disp->Describe();
    EXPECT_EQ(methods, (std::vector<std::pair<std::wstring, int>>{{L"outLink", 2}, {L"raise", 2}}));

    CCmdTarget plain;
    EXPECT_EQ(plain.GetIDispatch(FALSE), nullptr) << "no automation unless enabled";
}

TEST_F(AfxAutomation, InvokeChecksArgumentsAndFillsMissingOnes) {
    HostObject host;
    IDispatch* disp = host.GetIDispatch(FALSE);
    DISPID outLink = 0;
    ASSERT_EQ(disp->GetIDsOfNames(L"outLink", &outLink), 0);

    // Arguments travel last-first.
    std::vector<VARIANT> two{Str(L"_blank"), Str(L"http://x/")};
    DISPPARAMS params{two.data(), nullptr, 2, 0};
    VARIANT result;
    ASSERT_EQ(disp->Invoke(outLink, &params, &result), 0);
    ASSERT_EQ(host.calls.size(), 1u);
    EXPECT_EQ(host.calls[0].first.bstrVal, L"http://x/");
    EXPECT_EQ(host.calls[0].second.bstrVal, L"_blank");

    std::vector<VARIANT> one{Int(3)};
    params = DISPPARAMS{one.data(), nullptr, 1, 0};
    ASSERT_EQ(disp->Invoke(outLink, &params, nullptr), 0);
    ASSERT_EQ(host.calls.size(), 2u);
    EXPECT_EQ(host.calls[1].first.vt, VT_I4);
    EXPECT_EQ(host.calls[1].first.lVal, 3);
    EXPECT_EQ(host.calls[1].second.vt, VT_ERROR);
    EXPECT_EQ(host.calls[1].second.scode, DISP_E_PARAMNOTFOUND);

    ASSERT_EQ(disp->Invoke(outLink, nullptr, nullptr), 0);
    ASSERT_EQ(host.calls.size(), 3u);
    for (const VARIANT& v : {host.calls[2].first, host.calls[2].second}) {
        EXPECT_EQ(v.vt, VT_ERROR);
        EXPECT_EQ(v.scode, DISP_E_PARAMNOTFOUND);
    }

    std::vector<VARIANT> three{Int(1), Int(2), Int(3)};
    params = DISPPARAMS{three.data(), nullptr, 3, 0};
    EXPECT_EQ(disp->Invoke(outLink, &params, nullptr), DISP_E_BADPARAMCOUNT);
    DISPID named = 0;
    params = DISPPARAMS{two.data(), &named, 2, 1};
    EXPECT_EQ(disp->Invoke(outLink, &params, nullptr), DISP_E_NONAMEDARGS);
    EXPECT_EQ(disp->Invoke(0, nullptr, nullptr), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(disp->Invoke(99, nullptr, nullptr), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(host.calls.size(), 3u) << "refused calls never reach the method";
}

TEST_F(AfxAutomation, ExceptionsFromMethodsBecomeCodes) {
    HostObject host;
    IDispatch* disp = host.GetIDispatch(FALSE);
    DISPID raise = 0, outLink = 0;
    ASSERT_EQ(disp->GetIDsOfNames(L"raise", &raise), 0);
    ASSERT_EQ(disp->GetIDsOfNames(L"outLink", &outLink), 0);
    struct Case {
        const char* name;
        LONG kind;
        HRESULT hr;
    } cases[] = {{"OLE exception", 1, E_NOTIMPL}, {"memory exception", 2, DISP_E_EXCEPTION}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<VARIANT> args{Int(0), Int(c.kind)};
        DISPPARAMS params{args.data(), nullptr, 2, 0};
        EXPECT_EQ(disp->Invoke(raise, &params, nullptr), c.hr);
    }
    EXPECT_EQ(disp->Invoke(outLink, nullptr, nullptr), 0) << "the object stays usable";
}

class SafeHtmlDialog : public CDHtmlDialog {
  public:
    SafeHtmlDialog() : CDHtmlDialog(kGameTemplate) {}
    BOOL IsExternalDispatchSafe() override { return TRUE; }
};

TEST_F(AfxAutomation, PagesReachTheHostObjectOnlyWhileTheDialogHoldsItsWindow) {
    HostObject host;
    SafeHtmlDialog dlg;
    ASSERT_TRUE(dlg.Create(kGameTemplate));
    HWND view = dlg.m_hwndBrowser;
    ASSERT_NE(view, nullptr);
    dlg.SetExternalDispatch(host.GetIDispatch(FALSE));
    const headless::NativeWindow* native = desktop.Native(view);
    ASSERT_NE(native, nullptr);
    ASSERT_TRUE(native->hasHostObject);
    ASSERT_EQ(native->hostMethods.size(), 2u);
    EXPECT_EQ(native->hostMethods[0].name, L"outLink");
    EXPECT_EQ(native->hostMethods[0].parameterCount, 2);

    bool answered = false;
    auto r = desktop.CallFromPage(view, L"OUTLINK", {PageString(L"http://x/"), PageNumber(3)},
                                  &answered);
    EXPECT_TRUE(answered);
    EXPECT_TRUE(r.ok) << r.error;
    ASSERT_EQ(host.calls.size(), 1u);
    EXPECT_EQ(host.calls[0].first.bstrVal, L"http://x/");
    EXPECT_EQ(host.calls[0].second.vt, VT_I4);
    EXPECT_EQ(host.calls[0].second.lVal, 3);

    r = desktop.CallFromPage(view, L"outLink", {PageNumber(1), PageNumber(2), PageNumber(3)});
    EXPECT_FALSE(r.ok);
    r = desktop.CallFromPage(view, L"noSuchMethod", {});
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.error.empty());
    EXPECT_EQ(host.calls.size(), 1u);

    // After a hand-over lets go of the window, a late call from the page is not answered.
    HWND h = dlg.Detach();
    r = desktop.CallFromPage(view, L"outLink", {PageString(L"late")}, &answered);
    EXPECT_FALSE(answered);
    EXPECT_EQ(host.calls.size(), 1u);
    DestroyWindow(h);
}

TEST_F(AfxAutomation, UnsafeHostObjectIsNotOffered) {
    HostObject host;
    CDHtmlDialog dlg(kGameTemplate);
    ASSERT_TRUE(dlg.Create(kGameTemplate));
    dlg.SetExternalDispatch(host.GetIDispatch(FALSE));
    HWND view = dlg.m_hwndBrowser;
    EXPECT_TRUE(desktop.Native(view)->hostMethods.empty());
    bool answered = false;
    auto r = desktop.CallFromPage(view, L"outLink", {PageString(L"x")}, &answered);
    EXPECT_TRUE(answered);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(host.calls.empty());
}

}  // namespace
