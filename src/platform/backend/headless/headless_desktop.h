#pragma once
// An in-memory desktop for tests: deterministic, recording what the core realises and shows,
// driven by scripted steps that run whenever a loop would otherwise wait for the user.
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/backend/backend.h"

namespace headless {

struct NativeWindow {
    std::wstring className;
    bool realized = false;
    bool shown = false;  // as the desktop shows it: visible bit and not hidden by an owner
    int raiseCount = 0;
    bool hasPicture = false;
    gdiplus::PixelImage picture;
    POINT pictureAt;
    int pictureCount = 0;
    bool hasColorKey = false;
    COLORREF colorKey = 0;
    const gdiplus::PixelImage* faceNormal = nullptr;
    const gdiplus::PixelImage* faceHot = nullptr;
    // Web views
    std::vector<std::wstring> navigations;
    std::string loadedHtml;
    bool silent = false;
    std::vector<win::ExternalMethod> hostMethods;
    bool hasHostObject = false;
    std::vector<MSG> deliveredKeys;
};

struct MessageBoxRecord {
    HWND owner;
    std::wstring text;
    std::wstring caption;
    UINT type;
};

class HeadlessDesktop : public win::Backend {
  public:
    HeadlessDesktop();  // becomes the desktop
    ~HeadlessDesktop() override;

    // Geometry the tests may change.
    RECT screen{0, 0, 1920, 1080};
    RECT workArea{0, 0, 1920, 1040};
    RECT captionInsets{3, 26, 3, 3};  // a captioned window's frame
    RECT borderInsets{3, 3, 3, 3};    // a sizing frame without caption

    // Script: each step runs when a loop waits; with none left, the run is ended with the
    // quit message and `stalled` is set, so a test never hangs.
    void Then(std::function<void()> step) { steps_.push_back(std::move(step)); }
    std::size_t PendingSteps() const { return steps_.size(); }
    bool stalled = false;
    std::deque<int> messageBoxAnswers;
    bool trayHostPresent = true;
    bool openUriSucceeds = true;

    // Input as a user gives it.
    void PressKey(HWND target, WPARAM vk, bool autoRepeat = false);
    void ReleaseKey(HWND target, WPARAM vk);
    void CloseFromWindowManager(HWND hwnd);
    void PressLeftButton(HWND hwnd, int x, int y);
    void ClickButton(HWND button);
    void HoverButton(HWND button, bool over);
    void ActivateTrayIcon();
    // The window manager moves the window by this much during the next move drag.
    POINT dragOffset{0, 0};
    win::ScriptCallResult CallFromPage(HWND view, const std::wstring& name,
                                       std::vector<win::ScriptValue> args,
                                       bool* answered = nullptr);

    // Records.
    std::map<HWND, NativeWindow> natives;
    std::vector<std::string> log;  // ordered: "realize", "show", "hide", "tray+", "tray-", ...
    std::vector<MessageBoxRecord> messageBoxes;
    std::vector<std::wstring> openedUris;
    bool trayIconPresent = false;
    HWND trayOwner = nullptr;
    UINT trayId = 0;
    int moveDrags = 0;
    const NativeWindow* Native(HWND hwnd) const;
    int CountLog(const std::string& entry) const;
    // Index of the first log entry equal to `entry`, or -1.
    int FindLog(const std::string& entry, int from = 0) const;
    static std::string Name(HWND hwnd);

    // Backend
    RECT ScreenRect() override { return screen; }
    RECT WorkArea() override { return workArea; }
    RECT FrameInsets(DWORD style, DWORD exStyle) override;
    void Realize(HWND hwnd) override;
    void Sync(HWND hwnd, unsigned flags) override;
    void Unrealize(HWND hwnd) override;
    void BeginMoveDrag(HWND hwnd) override;
    void PushLayeredPicture(HWND hwnd, const gdiplus::PixelImage& picture, POINT dst) override;
    void SetColorKey(HWND hwnd, COLORREF key) override;
    void DeliverKey(HWND hwnd, const MSG& msg) override;
    void SetButtonFace(HWND button, const gdiplus::PixelImage* normal,
                       const gdiplus::PixelImage* hot) override;
    void WebViewNavigate(HWND view, const std::wstring& url) override;
    void WebViewLoadHtml(HWND view, const std::string& html, const std::wstring& baseUrl) override;
    void WebViewSetSilent(HWND view, bool silent) override;
    void WebViewSetHostObject(HWND view, const std::vector<win::ExternalMethod>& methods) override;
    void TrayAdd(HWND owner, UINT id, const gdiplus::PixelImage& icon,
                 const std::wstring& tip) override;
    void TrayRemove(HWND owner, UINT id) override;
    bool TrayShown() override { return trayIconPresent && trayHostPresent; }
    int MessageBox(HWND owner, const std::wstring& text, const std::wstring& caption,
                   UINT type) override;
    bool OpenUri(const std::wstring& uri) override;
    void WaitForEvents() override;

  private:
    void Stall(const char* why);
    std::deque<std::function<void()>> steps_;
};

}  // namespace headless
