// Layered dialogs: the translucent frame (placement, overlay tracking, composition), the
// resource images it is drawn from, and the colour-keyed overlay.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app_fixture.h"
#include "launcher/vel_standard_dlg.h"
#include "launcher/vel_translucent_dlg.h"
#include "layered/resource_image.h"
#include "layered/standard_dialog.h"
#include "layered/translucent_dialog.h"
#include "platform/backend/headless/headless_desktop.h"
#include "platform/gdiplus/gdiplus.h"
#include "platform/win/gdi.h"
#include "platform/win/global_memory.h"
#include "platform/win/resources.h"
#include "platform/win/window.h"
#include "platform/win/windows.h"

namespace {

using namespace testing_support;
using Bytes = std::vector<std::uint8_t>;
constexpr UINT kBackground = 158;
constexpr UINT kTestImage = 4000;
constexpr COLORREF kGreen = 0x0000FF00;
// Control kinds of WM_CTLCOLOR other than the dialog's own background.
constexpr UINT kCtlColorButton = 3;
constexpr UINT kCtlColorStatic = 6;

// A translucent dialog with the plain colour-keyed overlay and switches the launcher lacks.
class TestFrame : public CTranslucentDialog {
  public:
    struct Options {
        UINT image = kBackground;
        bool center = true;
        bool overlay = true;
        bool detach = false;  // set again after OnInitDialog clears it
        CWnd* parent = nullptr;
    };
    explicit TestFrame(Options o)
        : CTranslucentDialog(102, o.image, L"PNG", nullptr, o.parent), options_(o) {
        m_bCenterOnCreate = o.center;
    }
    int prepared = 0;

  protected:
    CStandardDialog* CreateOverlay() override {
        return options_.overlay ? new CStandardDialog(103, kGreen, this) : nullptr;
    }
    void OnPrepareView() override {
        ++prepared;
        if (options_.detach)
            m_bDetached = true;
    }

  private:
    Options options_;
};

// Draws one opaque colour into its rectangle.
class FillChild : public CRenderedChild {
  public:
    FillChild(RECT r, std::uint32_t argb, bool visible = true) : rect_(r) {
        m_bVisible = visible;
        BITMAPINFO bi = DibHeader(1, 1);
        void* bits = nullptr;
        HBITMAP bmp = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
        *static_cast<std::uint32_t*>(bits) = argb;
        image_ = std::make_unique<Gdiplus::Bitmap>(bmp, nullptr);
        DeleteObject(bmp);
    }
    void Draw(Gdiplus::Graphics& g) override {
        g.DrawImage(image_.get(), rect_.left, rect_.top, rect_.Width(), rect_.Height());
    }

  private:
    RECT rect_;
    std::unique_ptr<Gdiplus::Bitmap> image_;
};

std::string Describe(const RECT& r) {
    char text[64];
    std::snprintf(text, sizeof text, "(%d,%d %dx%d)", static_cast<int>(r.left), static_cast<int>(r.top),
                  static_cast<int>(r.Width()), static_cast<int>(r.Height()));
    return text;
}

class LayeredTest : public ::testing::Test {
  protected:
    void SetUp() override {
        win::ResetMessageQueue();
        Gdiplus::GdiplusStartupInput input;
        Gdiplus::GdiplusStartup(&token_, &input, nullptr);
    }
    void TearDown() override {
        CleanWindowSystem();
        win::SetExportAvailable("UpdateLayeredWindow", true);
        win::SetExportAvailable("SetLayeredWindowAttributes", true);
        Gdiplus::GdiplusShutdown(token_);
    }

    // Dispatches what is queued, as a loop would between user actions.
    static void Pump() {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT)
                break;
            DispatchMessageW(&msg);
        }
    }

    static TestFrame::Options SmallImage() {
        TestFrame::Options o;
        o.image = kTestImage;
        return o;
    }

    const headless::NativeWindow* Native(HWND h) { return d.Native(h); }

    headless::HeadlessDesktop d;
    ULONG_PTR token_ = 0;
};

// Centred as if the caption were still there, then captionless at the image's size with the
// overlay exactly on top; the first picture is the background itself at the window's place.
TEST_F(LayeredTest, CentredFrameWorkedExamples) {
    struct Case {
        RECT workArea;
        POINT expected;
    };
    const Case cases[] = {
        {{0, 0, 1920, 1040}, {240, 103}},
        {{0, 0, 1365, 1040}, {-37, 103}},  // truncated toward zero, not -38
        {{100, 30, 1920, 1040}, {290, 118}},
    };
    std::unique_ptr<Gdiplus::Image> background(LoadResourceImage(kBackground, L"PNG", nullptr));
    ASSERT_EQ(background->GetWidth(), 1434u);
    for (const Case& c : cases) {
        SCOPED_TRACE(Describe(c.workArea));
        d.workArea = c.workArea;
        TestFrame frame({});
        ASSERT_TRUE(frame.CreateModalWindow());
        HWND h = frame.m_hWnd;
        RECT expected{c.expected.x, c.expected.y, c.expected.x + 1434, c.expected.y + 804};
        EXPECT_TRUE(SameRect(WindowRect(h), expected)) << Describe(WindowRect(h));
        EXPECT_EQ(GetWindowLongW(h, GWL_STYLE) & WS_CAPTION, 0);
        EXPECT_NE(GetWindowLongW(h, GWL_STYLE) & WS_POPUP, 0);
        ASSERT_NE(frame.m_pOverlay, nullptr);
        EXPECT_TRUE(SameRect(WindowRect(frame.m_pOverlay->m_hWnd), expected))
            << Describe(WindowRect(frame.m_pOverlay->m_hWnd));
        EXPECT_TRUE(IsWindowVisible(frame.m_pOverlay->m_hWnd));
        EXPECT_EQ(frame.prepared, 1);

        const headless::NativeWindow* n = Native(h);
        ASSERT_NE(n, nullptr);
        EXPECT_EQ(n->pictureCount, 1);
        EXPECT_EQ(n->pictureAt.x, c.expected.x);
        EXPECT_EQ(n->pictureAt.y, c.expected.y);
        EXPECT_EQ(n->picture.width, 1434);
        EXPECT_EQ(n->picture.height, 804);
        EXPECT_TRUE(n->picture.pixels == background->Pixels()->pixels)
            << "first picture differs from the background";
        frame.DestroyWindow();
    }
}

// Without centring the frame keeps the place it was created at (here: its owner's client
// corner), yet still loses its caption and takes the image size.
TEST_F(LayeredTest, UncentredFrameStaysWhereCreated) {
    HWND ownerWindow = CreateWindowExW(0, L"Probe", L"", WS_POPUP | WS_VISIBLE, 100, 50, 200, 100,
                                       nullptr, 0, DefWindowProcW, nullptr);
    CWnd owner;
    owner.Attach(ownerWindow);
    win::AddResource(kTestImage, L"PNG", SolidPng(30, 20, 0xFF102030));
    TestFrame::Options o = SmallImage();
    o.center = false;
    o.parent = &owner;
    TestFrame frame(o);
    ASSERT_TRUE(frame.CreateModalWindow());
    EXPECT_TRUE(SameRect(WindowRect(frame.m_hWnd), RECT{100, 50, 130, 70}))
        << Describe(WindowRect(frame.m_hWnd));
    EXPECT_EQ(GetWindowLongW(frame.m_hWnd, GWL_STYLE) & WS_CAPTION, 0);
    EXPECT_TRUE(SameRect(WindowRect(frame.m_pOverlay->m_hWnd), WindowRect(frame.m_hWnd)));
    frame.DestroyWindow();
    owner.Detach();
}

// A press on the frame drags it; the overlay follows unless the frame is detached, while size
// changes reach the overlay either way.
TEST_F(LayeredTest, DragMovesOverlayUnlessDetached) {
    win::AddResource(kTestImage, L"PNG", SolidPng(40, 30, 0xFF0000FF));
    for (bool detached : {false, true}) {
        SCOPED_TRACE(detached ? "detached" : "attached");
        TestFrame::Options o = SmallImage();
        o.detach = detached;
        TestFrame frame(o);
        ASSERT_TRUE(frame.CreateModalWindow());
        HWND overlay = frame.m_pOverlay->m_hWnd;
        RECT before = WindowRect(frame.m_hWnd);
        ASSERT_TRUE(SameRect(WindowRect(overlay), before));

        int drags = d.moveDrags;
        d.dragOffset = POINT{30, -20};
        d.PressLeftButton(frame.m_hWnd, 5, 5);
        Pump();
        EXPECT_EQ(d.moveDrags, drags + 1);
        RECT moved = before;
        moved.left += 30;
        moved.right += 30;
        moved.top -= 20;
        moved.bottom -= 20;
        EXPECT_TRUE(SameRect(WindowRect(frame.m_hWnd), moved))
            << Describe(WindowRect(frame.m_hWnd));
        EXPECT_TRUE(SameRect(WindowRect(overlay), detached ? before : moved))
            << Describe(WindowRect(overlay));

        RECT overlayBefore = WindowRect(overlay);
        frame.MoveWindow(moved.left, moved.top, 60, 50, TRUE);
        RECT sized = WindowRect(overlay);
        EXPECT_EQ(sized.Width(), 60);
        EXPECT_EQ(sized.Height(), 50);
        EXPECT_EQ(sized.left, detached ? overlayBefore.left : moved.left);
        frame.DestroyWindow();
    }
}

// Minimising passes whatever the notifications report; restoring puts the overlay back exactly
// over the frame.
TEST_F(LayeredTest, MinimiseAndRestoreKeepOverlayWithFrame) {
    win::AddResource(kTestImage, L"PNG", SolidPng(40, 30, 0xFF0000FF));
    TestFrame frame(SmallImage());
    ASSERT_TRUE(frame.CreateModalWindow());
    HWND overlay = frame.m_pOverlay->m_hWnd;
    RECT normal = WindowRect(frame.m_hWnd);

    frame.ShowWindow(SW_MINIMIZE);
    Pump();
    RECT client = win::ClientRectOnScreen(frame.m_hWnd);
    RECT minimised = WindowRect(overlay);
    EXPECT_EQ(minimised.Width(), client.Width());
    EXPECT_EQ(minimised.Height(), client.Height());
    EXPECT_EQ(minimised.left, client.left);
    EXPECT_EQ(minimised.top, client.top);

    frame.ShowWindow(SW_RESTORE);
    Pump();
    EXPECT_TRUE(SameRect(WindowRect(frame.m_hWnd), normal)) << Describe(WindowRect(frame.m_hWnd));
    EXPECT_TRUE(SameRect(WindowRect(overlay), normal)) << Describe(WindowRect(overlay));
    frame.DestroyWindow();
}

// Enter and Esc aimed at the frame itself do not end its run; a close from the window manager
// still does.
TEST_F(LayeredTest, EnterAndEscDoNotEndTheFrame) {
    win::AddResource(kTestImage, L"PNG", SolidPng(8, 8, 0xFF0000FF));
    TestFrame frame(SmallImage());
    bool stillRunning = false;
    d.Then([&] {
        d.PressKey(frame.m_hWnd, VK_RETURN);
        d.PressKey(frame.m_hWnd, VK_ESCAPE);
    });
    d.Then([&] {
        stillRunning = IsWindowVisible(frame.m_hWnd);
        d.CloseFromWindowManager(frame.m_hWnd);
    });
    INT_PTR result = frame.DoModal();
    EXPECT_TRUE(stillRunning);
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_FALSE(d.stalled);
}

// The picture is the background over a transparent surface, then the visible children in list
// order; a detached frame squeezes the background into pixel (0, 0) and draws every child.
TEST_F(LayeredTest, CompositionLayersBackgroundAndChildren) {
    constexpr std::uint32_t kBlue = 0xFF0000FF, kRed = 0xFFFF0000, kGreenPx = 0xFF00FF00,
                            kWhite = 0xFFFFFFFF;
    // 4 x 2 background: opaque, half-transparent and fully transparent pixels.
    std::vector<std::uint32_t> straight = {kBlue,      0x80FF0000, 0x00FFFFFF, kBlue,
                                           0x00123456, kBlue,      0x40FFFFFF, kBlue};
    win::AddResource(kTestImage, L"PNG", EncodePng(4, 2, straight));
    {
        TestFrame frame(SmallImage());
        ASSERT_TRUE(frame.CreateModalWindow());
        const headless::NativeWindow* n = Native(frame.m_hWnd);
        ASSERT_EQ(n->pictureCount, 1);
        ASSERT_EQ(n->picture.width, 4);
        ASSERT_EQ(n->picture.height, 2);
        for (std::size_t i = 0; i < straight.size(); ++i)
            EXPECT_EQ(n->picture.pixels[i], gdiplus::PremultiplyArgb(straight[i])) << "pixel " << i;
        frame.DestroyWindow();
    }

    win::AddResource(kTestImage + 1, L"PNG", SolidPng(8, 8, kBlue));
    FillChild red(RECT{0, 0, 4, 4}, kRed);
    FillChild green(RECT{2, 2, 6, 6}, kGreenPx);
    FillChild hidden(RECT{6, 6, 8, 8}, kWhite, false);
    struct Case {
        bool detached;
        std::uint32_t at11, at33, at55, at77;
    };
    for (const Case& c : {Case{false, kRed, kGreenPx, kGreenPx, kBlue},
                          Case{true, kRed, kGreenPx, kGreenPx, kWhite}}) {
        SCOPED_TRACE(c.detached ? "detached" : "attached");
        TestFrame::Options o;
        o.image = kTestImage + 1;
        o.detach = c.detached;
        TestFrame frame(o);
        ASSERT_TRUE(frame.CreateModalWindow());
        const headless::NativeWindow* n = Native(frame.m_hWnd);
        if (c.detached) {
            // Background alone: nothing but the squeezed pixel at (0, 0).
            EXPECT_EQ(n->picture.pixels[0], kBlue);
            for (std::size_t i = 1; i < n->picture.pixels.size(); ++i)
                ASSERT_EQ(n->picture.pixels[i], 0u) << "pixel " << i;
        }
        frame.m_renderedChildren = {&red, &green, &hidden};
        frame.ComposeAndPush();
        auto at = [&](int x, int y) {
            return n->picture.pixels[static_cast<std::size_t>(y) * 8 + x];
        };
        EXPECT_EQ(at(1, 1), c.at11);
        EXPECT_EQ(at(3, 3), c.at33) << "later child lies on top";
        EXPECT_EQ(at(5, 5), c.at55);
        EXPECT_EQ(at(7, 7), c.at77) << "hidden child drawn only when detached";
        EXPECT_EQ(at(7, 0), c.detached ? 0u : kBlue);
        frame.DestroyWindow();
    }
}

TEST_F(LayeredTest, IgnoredRenderRequestsStillAllowDirectPush) {
    win::AddResource(kTestImage, L"PNG", SolidPng(8, 8, 0xFF0000FF));
    TestFrame frame(SmallImage());
    ASSERT_TRUE(frame.CreateModalWindow());
    const headless::NativeWindow* n = Native(frame.m_hWnd);
    ASSERT_EQ(n->pictureCount, 1);
    IRenderListener& listener = frame;
    listener.OnRenderRequest(nullptr);
    EXPECT_EQ(n->pictureCount, 2);
    frame.m_bIgnoreRenderRequests = true;
    listener.OnRenderRequest(&frame);
    EXPECT_EQ(n->pictureCount, 2);
    frame.ComposeAndPush();
    EXPECT_EQ(n->pictureCount, 3);
    frame.DestroyWindow();
}

// Failure paths push nothing yet leave a working window; every path gives back all DCs, GDI
// objects and memory blocks it took.
TEST_F(LayeredTest, CompositionFailuresAndResourceBalance) {
    struct Case {
        const char* name;
        Bytes image;
        bool updateAvailable;
        int pictures;  // pushed at creation
        int size;      // width and height of the window
    };
    const Case cases[] = {
        {"normal", SolidPng(16, 16, 0xFF0000FF), true, 1, 16},
        {"undecodable image", Bytes{'n', 'o', 't', ' ', 'p', 'n', 'g'}, true, 0, 0},
        {"no UpdateLayeredWindow", SolidPng(16, 16, 0xFF0000FF), false, 0, 16},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        win::AddResource(kTestImage, L"PNG", c.image);
        win::SetExportAvailable("UpdateLayeredWindow", c.updateAvailable);
        int dcs = win::LiveDCCount(), objects = win::LiveGdiObjectCount(),
            blocks = win::LiveGlobalBlockCount();
        {
            TestFrame frame(SmallImage());
            d.Then([&] {
                const headless::NativeWindow* n = Native(frame.m_hWnd);
                ASSERT_NE(n, nullptr);
                EXPECT_EQ(n->pictureCount, c.pictures);
                RECT r = WindowRect(frame.m_hWnd);
                EXPECT_EQ(r.Width(), c.size);
                EXPECT_EQ(r.Height(), c.size);
                int dcsRunning = win::LiveDCCount(), objectsRunning = win::LiveGdiObjectCount();
                frame.ComposeAndPush();
                frame.ComposeAndPush();
                EXPECT_EQ(n->pictureCount, c.pictures ? c.pictures + 2 : 0);
                EXPECT_EQ(win::LiveDCCount(), dcsRunning);
                EXPECT_EQ(win::LiveGdiObjectCount(), objectsRunning);
                d.CloseFromWindowManager(frame.m_hWnd);
            });
            EXPECT_EQ(frame.DoModal(), IDCANCEL);
            EXPECT_EQ(frame.m_hWnd, nullptr);
        }
        EXPECT_EQ(win::LiveDCCount(), dcs);
        EXPECT_EQ(win::LiveGdiObjectCount(), objects);
        EXPECT_EQ(win::LiveGlobalBlockCount(), blocks);
        EXPECT_FALSE(d.stalled);
        win::RemoveAddedResources();
    }
}

// --- Resource images ---------------------------------------------------------------------

TEST_F(LayeredTest, ResourceImageOfLauncherBackgroundOutlivesItsResource) {
    int blocks = win::LiveGlobalBlockCount();
    Gdiplus::Image* image = LoadResourceImage(kBackground, L"PNG", nullptr);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(win::LoadedResourceCount(), 0);
    EXPECT_EQ(image->GetLastStatus(), Gdiplus::Ok);
    EXPECT_EQ(image->GetWidth(), 1434u);
    EXPECT_EQ(image->GetHeight(), 804u);
    EXPECT_TRUE(image->HasAlpha());
    EXPECT_GT(win::LiveGlobalBlockCount(), blocks) << "the image reads from its own copy";

    // Still drawable now that the resource is freed.
    BITMAPINFO bi = DibHeader(4, 4);
    void* bits = nullptr;
    HBITMAP surface = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, surface);
    {
        Gdiplus::Graphics g(dc);
        EXPECT_EQ(g.DrawImage(image, 0, 0, 4, 4), Gdiplus::Ok);
    }
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(surface);

    delete image;
    EXPECT_EQ(win::LiveGlobalBlockCount(), blocks);
}

TEST_F(LayeredTest, ResourceImageFailuresGiveEmptyObject) {
    win::AddResource(kTestImage, L"PNG", Bytes{0x89, 'P', 'N', 'G', 1, 2, 3, 4, 5});
    win::AddResource(kTestImage + 1, L"PNG", Bytes{});
    struct Case {
        const char* name;
        UINT id;
    };
    for (const Case& c : {Case{"missing id", 4999}, Case{"corrupt bytes", kTestImage},
                          Case{"empty resource", kTestImage + 1}}) {
        SCOPED_TRACE(c.name);
        int blocks = win::LiveGlobalBlockCount();
        Gdiplus::Image* image = LoadResourceImage(c.id, L"PNG", nullptr);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->GetWidth(), 0u);
        EXPECT_EQ(image->GetHeight(), 0u);
        EXPECT_NE(image->GetLastStatus(), Gdiplus::Ok);
        EXPECT_EQ(win::LoadedResourceCount(), 0);
        delete image;
        EXPECT_EQ(win::LiveGlobalBlockCount(), blocks);
    }
}

// The bitmap path finds the executable's bitmaps through its module; a null module means the
// system's predefined bitmaps, of which there are none here.
TEST_F(LayeredTest, ResourceImageBitmapPathUsesModuleAsGiven) {
    Bytes dib(40 + 2 * 2 * 4, 0);
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) dib[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    put32(0, 40);
    put32(4, 2);
    put32(8, 2);
    dib[12] = 1;
    dib[14] = 32;
    for (std::size_t i = 40; i < dib.size(); i += 4) put32(i, 0x00336699);
    win::AddResource(kTestImage, L"#BITMAP", dib);
    int objects = win::LiveGdiObjectCount();

    std::unique_ptr<Gdiplus::Image> none(LoadResourceImage(kTestImage, RT_BITMAP, nullptr));
    ASSERT_NE(none, nullptr);
    EXPECT_EQ(none->GetWidth(), 0u);
    EXPECT_EQ(none->GetHeight(), 0u);
    EXPECT_NE(none->GetLastStatus(), Gdiplus::Ok);

    std::unique_ptr<Gdiplus::Image> own(
        LoadResourceImage(kTestImage, RT_BITMAP, GetModuleHandleW(nullptr)));
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(own->GetWidth(), 2u);
    EXPECT_EQ(own->GetHeight(), 2u);
    EXPECT_EQ(own->Pixels()->pixels[0], 0xFF336699u);
    EXPECT_EQ(win::LiveGdiObjectCount(), objects) << "the GDI bitmap is deleted";
}

// --- The colour-keyed overlay ---------------------------------------------------------------

TEST_F(LayeredTest, OverlayPaintsKeyColourAndIsColourKeyed) {
    win::AddResource(kTestImage, L"PNG", SolidPng(8, 8, 0xFF0000FF));
    for (bool attributesAvailable : {true, false}) {
        SCOPED_TRACE(attributesAvailable ? "with SetLayeredWindowAttributes" : "without");
        win::SetExportAvailable("SetLayeredWindowAttributes", attributesAvailable);
        TestFrame frame(SmallImage());
        ASSERT_TRUE(frame.CreateModalWindow());
        CStandardDialog* overlay = frame.m_pOverlay;
        HWND h = overlay->m_hWnd;
        EXPECT_NE(GetWindowLongW(h, GWL_EXSTYLE) & WS_EX_LAYERED, 0);
        const headless::NativeWindow* n = Native(h);
        ASSERT_NE(n, nullptr);
        EXPECT_EQ(n->hasColorKey, attributesAvailable);
        if (attributesAvailable) {
            EXPECT_EQ(n->colorKey, kGreen);
        }

        COLORREF brushColour = 0;
        ASSERT_TRUE(win::FindBrushColor(static_cast<HBRUSH>(overlay->m_keyBrush), &brushColour));
        EXPECT_EQ(brushColour, kGreen);
        struct Kind {
            UINT type;
            bool keyed;
        };
        for (Kind k : {Kind{CTLCOLOR_DLG, true}, Kind{kCtlColorButton, false},
                       Kind{kCtlColorStatic, false}}) {
            AFX_CTLCOLOR request{h, nullptr, k.type};
            LRESULT brush = SendMessageW(h, WM_CTLCOLOR, 0, reinterpret_cast<LPARAM>(&request));
            EXPECT_EQ(brush == reinterpret_cast<LRESULT>(static_cast<HBRUSH>(overlay->m_keyBrush)),
                      k.keyed)
                << "kind " << k.type;
        }
        frame.DestroyWindow();
    }
}

// OK and Cancel of a plain overlay close its frame too.
TEST_F(LayeredTest, OverlayOkAndCancelCloseTheFrame) {
    win::AddResource(kTestImage, L"PNG", SolidPng(8, 8, 0xFF0000FF));
    for (int command : {IDOK, IDCANCEL}) {
        SCOPED_TRACE(command);
        TestFrame frame(SmallImage());
        d.Then([&] { SendMessageW(frame.m_pOverlay->m_hWnd, WM_COMMAND, command, 0); });
        EXPECT_EQ(frame.DoModal(), IDCANCEL);
        EXPECT_EQ(d.PendingSteps(), 0u);
        EXPECT_FALSE(d.stalled);
    }
}

// In the launcher, OK on the overlay does nothing, while Esc there ends the launcher and with
// it the process.
TEST_F(LayeredTest, LauncherOverlayIgnoresOkAndEndsOnEsc) {
    Gdiplus::GdiplusShutdown(token_);  // the application runs GDI+ itself
    token_ = 0;
    CTranslucentApp app;
    CVelTranslucentDlg* launcher = nullptr;
    bool afterOk = false;
    d.Then([&] {
        launcher = dynamic_cast<CVelTranslucentDlg*>(app.m_pMainWnd);
        ASSERT_NE(launcher, nullptr);
        SendMessageW(launcher->m_pOverlay->m_hWnd, WM_COMMAND, IDOK, 0);
    });
    d.Then([&] {
        afterOk = app.m_pMainWnd == launcher && IsWindowVisible(launcher->m_hWnd) &&
                  IsWindowVisible(launcher->m_pOverlay->m_hWnd);
        d.PressKey(launcher->m_pOverlay->m_hWnd, VK_ESCAPE);
    });
    AfxWinMain();
    EXPECT_TRUE(afterOk);
    EXPECT_EQ(d.PendingSteps(), 0u);
    EXPECT_FALSE(d.stalled);
    EXPECT_EQ(app.m_pMainWnd, nullptr);
    EXPECT_TRUE(win::AllWindows().empty());
}

}  // namespace
