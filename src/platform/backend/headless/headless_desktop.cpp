#include "platform/backend/headless/headless_desktop.h"

#include <cstdio>

#include "platform/win/api.h"
#include "platform/win/shell.h"
#include "platform/win/window.h"

namespace headless {

HeadlessDesktop::HeadlessDesktop() {
    win::SetDesktop(this);
}

HeadlessDesktop::~HeadlessDesktop() {
    win::SetDesktop(nullptr);
}

std::string HeadlessDesktop::Name(HWND hwnd) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%#lx",
                  static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(hwnd)));
    return buf;
}

const NativeWindow* HeadlessDesktop::Native(HWND hwnd) const {
    auto it = natives.find(hwnd);
    return it == natives.end() ? nullptr : &it->second;
}

int HeadlessDesktop::CountLog(const std::string& entry) const {
    int n = 0;
    for (auto& e : log) n += e == entry;
    return n;
}

int HeadlessDesktop::FindLog(const std::string& entry, int from) const {
    for (int i = from; i < static_cast<int>(log.size()); ++i)
        if (log[i] == entry) return i;
    return -1;
}

RECT HeadlessDesktop::FrameInsets(DWORD style, DWORD) {
    if ((style & WS_CAPTION) == WS_CAPTION) return captionInsets;
    if (style & (WS_THICKFRAME | WS_BORDER | WS_DLGFRAME)) return borderInsets;
    return RECT{};
}

void HeadlessDesktop::Realize(HWND hwnd) {
    NativeWindow& n = natives[hwnd];
    n.realized = true;
    if (win::Window* w = win::FindWindowRecord(hwnd)) n.className = w->className;
    log.push_back("realize " + Name(hwnd));
}

void HeadlessDesktop::Sync(HWND hwnd, unsigned flags) {
    auto it = natives.find(hwnd);
    if (it == natives.end()) return;
    NativeWindow& n = it->second;
    if (flags & win::kSyncVisibility) {
        bool shown = IsWindowVisible(hwnd) != FALSE;
        if (shown != n.shown) log.push_back((shown ? "show " : "hide ") + Name(hwnd));
        n.shown = shown;
    }
    if (flags & win::kSyncZOrder) ++n.raiseCount;
}

void HeadlessDesktop::Unrealize(HWND hwnd) {
    natives.erase(hwnd);
    log.push_back("destroy " + Name(hwnd));
}

void HeadlessDesktop::BeginMoveDrag(HWND hwnd) {
    ++moveDrags;
    RECT r;
    if (!GetWindowRect(hwnd, &r) || (dragOffset.x == 0 && dragOffset.y == 0)) return;
    r.left += dragOffset.x;
    r.right += dragOffset.x;
    r.top += dragOffset.y;
    r.bottom += dragOffset.y;
    win::DesktopMovedWindow(hwnd, r);
}

void HeadlessDesktop::PushLayeredPicture(HWND hwnd, const gdiplus::PixelImage& picture, POINT dst) {
    NativeWindow& n = natives[hwnd];
    n.hasPicture = true;
    n.picture = picture;
    n.pictureAt = dst;
    ++n.pictureCount;
}

void HeadlessDesktop::SetColorKey(HWND hwnd, COLORREF key) {
    NativeWindow& n = natives[hwnd];
    n.hasColorKey = true;
    n.colorKey = key;
}

void HeadlessDesktop::DeliverKey(HWND hwnd, const MSG& msg) {
    natives[hwnd].deliveredKeys.push_back(msg);
}

void HeadlessDesktop::SetButtonFace(HWND button, const gdiplus::PixelImage* normal,
                                    const gdiplus::PixelImage* hot) {
    NativeWindow& n = natives[button];
    n.faceNormal = normal;
    n.faceHot = hot;
}

void HeadlessDesktop::WebViewNavigate(HWND view, const std::wstring& url) {
    natives[view].navigations.push_back(url);
    log.push_back("navigate " + Name(view));
}

void HeadlessDesktop::WebViewLoadHtml(HWND view, const std::string& html, const std::wstring&) {
    natives[view].loadedHtml = html;
    log.push_back("loadhtml " + Name(view));
}

void HeadlessDesktop::WebViewSetSilent(HWND view, bool silent) {
    natives[view].silent = silent;
}

void HeadlessDesktop::WebViewSetHostObject(HWND view,
                                           const std::vector<win::ExternalMethod>& methods) {
    natives[view].hostMethods = methods;
    natives[view].hasHostObject = true;
    log.push_back("hostobject " + Name(view));
}

void HeadlessDesktop::TrayAdd(HWND owner, UINT id, const gdiplus::PixelImage&,
                              const std::wstring&) {
    trayIconPresent = true;
    trayOwner = owner;
    trayId = id;
    log.push_back("tray+ " + Name(owner));
}

void HeadlessDesktop::TrayRemove(HWND owner, UINT) {
    trayIconPresent = false;
    trayOwner = nullptr;
    log.push_back("tray- " + Name(owner));
}

int HeadlessDesktop::MessageBox(HWND owner, const std::wstring& text, const std::wstring& caption,
                                UINT type) {
    messageBoxes.push_back({owner, text, caption, type});
    log.push_back("messagebox " + Name(owner));
    if (messageBoxAnswers.empty()) {
        Stall("a question box was shown with no answer scripted");
        return IDNO;
    }
    int answer = messageBoxAnswers.front();
    messageBoxAnswers.pop_front();
    return answer;
}

bool HeadlessDesktop::OpenUri(const std::wstring& uri) {
    openedUris.push_back(uri);
    return openUriSucceeds;
}

void HeadlessDesktop::WaitForEvents() {
    if (steps_.empty()) {
        Stall("a loop waits for input and no step is scripted");
        return;
    }
    auto step = std::move(steps_.front());
    steps_.pop_front();
    step();
}

void HeadlessDesktop::Stall(const char* why) {
    if (!stalled) std::fprintf(stderr, "headless desktop: %s; ending the run\n", why);
    stalled = true;
    PostQuitMessage(0);
}

void HeadlessDesktop::PressKey(HWND target, WPARAM vk, bool autoRepeat) {
    // lParam as the platform packs it: repeat count 1, bit 30 set for an auto-repeat.
    LPARAM lp = 1 | (autoRepeat ? (1L << 30) : 0);
    PostMessageW(target, WM_KEYDOWN, vk, lp);
}

void HeadlessDesktop::ReleaseKey(HWND target, WPARAM vk) {
    PostMessageW(target, WM_KEYUP, vk, static_cast<LPARAM>(0xC0000001));
}

void HeadlessDesktop::CloseFromWindowManager(HWND hwnd) {
    PostMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
}

void HeadlessDesktop::PressLeftButton(HWND hwnd, int x, int y) {
    PostMessageW(hwnd, WM_LBUTTONDOWN, 1, MAKELPARAM(x, y));
}

void HeadlessDesktop::ClickButton(HWND button) {
    HWND parent = GetParent(button);
    if (!IsWindowEnabled(button) || !parent) return;
    SendMessageW(parent, WM_COMMAND,
                 MAKEWPARAM(static_cast<WORD>(GetDlgCtrlID(button)), BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
}

void HeadlessDesktop::HoverButton(HWND button, bool over) {
    SendMessageW(button, over ? WM_MOUSEMOVE : WM_MOUSELEAVE, 0, 0);
}

void HeadlessDesktop::ActivateTrayIcon() {
    if (trayIconPresent) win::TrayIconActivated(trayOwner, trayId);
}

win::ScriptCallResult HeadlessDesktop::CallFromPage(HWND view, const std::wstring& name,
                                                    std::vector<win::ScriptValue> args,
                                                    bool* answered) {
    win::ScriptCall call;
    call.name = name;
    call.args = std::move(args);
    win::DeliverScriptCall(view, call);
    if (answered) *answered = call.answered;
    return call.result;
}

}  // namespace headless
