#pragma once
// What a desktop must do for the window system core: make native windows for the core's model,
// show pictures, host web views, draw button faces, show a tray icon and question boxes, open
// addresses, and report input back as core messages. It decides nothing the system decides.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/gdiplus/pixel_image.h"
#include "platform/win/types.h"

namespace win {

using gdiplus::PixelImage;

// What changed in the model since the backend last saw the window.
enum SyncFlags : unsigned {
    kSyncGeometry = 1u << 0,
    kSyncVisibility = 1u << 1,  // visible flag or placement (normal/minimised/maximised)
    kSyncStyle = 1u << 2,       // decorations follow the style bits
    kSyncText = 1u << 3,
    kSyncIcon = 1u << 4,
    kSyncZOrder = 1u << 5,  // brought to the top
    kSyncAll = 0xFFFFFFFFu,
};

// A method the host object offers to the page.
struct ExternalMethod {
    std::wstring name;
    int parameterCount = 0;
};

// A JavaScript value as it arrives from a page, before conversion.
struct ScriptValue {
    enum class Kind { Undefined, Null, Boolean, Number, String, Object } kind = Kind::Undefined;
    bool boolean = false;
    double number = 0;
    std::wstring string;
};

// An outcome for the page: empty on success, else the error the page's script gets.
struct ScriptCallResult {
    bool ok = true;
    std::string error;
};

// A call from a page to the host object of its view. The view's dialog answers it; a view whose
// dialog has let go of its window gets no answer (`answered` stays false).
struct ScriptCall {
    std::wstring name;
    std::vector<ScriptValue> args;
    bool answered = false;
    ScriptCallResult result;
};
// Delivers a page's call to the dialog that hosts `view`.
void DeliverScriptCall(HWND view, ScriptCall& call);
constexpr UINT WM_HOST_SCRIPTCALL = 0x8000 + 0x100;  // WM_APP + 0x100, lParam: ScriptCall*

class Backend {
  public:
    virtual ~Backend() = default;

    // Desktop geometry, in device pixels.
    virtual RECT ScreenRect() = 0;
    virtual RECT WorkArea() = 0;
    // How far the frame the window manager draws reaches beyond the client area, for a style.
    virtual RECT FrameInsets(DWORD style, DWORD exStyle) = 0;

    // Native windows. Realize is called once a window exists in the model; Sync whenever the
    // model changed; Unrealize when the window is destroyed.
    virtual void Realize(HWND hwnd) = 0;
    virtual void Sync(HWND hwnd, unsigned flags) = 0;
    virtual void Unrealize(HWND hwnd) = 0;

    // The window manager's move loop, started from a pointer press.
    virtual void BeginMoveDrag(HWND hwnd) = 0;
    // A premultiplied picture with per-pixel alpha for a layered window, at `dst`.
    virtual void PushLayeredPicture(HWND hwnd, const PixelImage& picture, POINT dst) = 0;
    // Pixels painted exactly in `key` are see-through and click-through.
    virtual void SetColorKey(HWND hwnd, COLORREF key) = 0;
    // Native key input that the core let through reaches the native widget.
    virtual void DeliverKey(HWND hwnd, const MSG& msg) = 0;

    // Button faces (image buttons).
    virtual void SetButtonFace(HWND button, const PixelImage* normal, const PixelImage* hot) = 0;

    // Web views: a window of class "WebView" is a web view.
    virtual void WebViewNavigate(HWND view, const std::wstring& url) = 0;
    virtual void WebViewLoadHtml(HWND view, const std::string& html,
                                 const std::wstring& baseUrl) = 0;
    virtual void WebViewSetSilent(HWND view, bool silent) = 0;
    virtual void WebViewSetHostObject(HWND view, const std::vector<ExternalMethod>& methods) = 0;

    // Tray icon; `shown` tells whether a tray host really shows it.
    virtual void TrayAdd(HWND owner, UINT id, const PixelImage& icon, const std::wstring& tip) = 0;
    virtual void TrayRemove(HWND owner, UINT id) = 0;
    virtual bool TrayShown() = 0;

    // A modal question box owned by `owner`; answers the button's id.
    virtual int MessageBox(HWND owner, const std::wstring& text, const std::wstring& caption,
                           UINT type) = 0;
    // The desktop's default handler for an address. False when nothing could be launched.
    virtual bool OpenUri(const std::wstring& uri) = 0;

    // Blocks until native events were handled or core messages are waiting.
    virtual void WaitForEvents() = 0;
};

Backend& Desktop();
void SetDesktop(Backend* backend);

}  // namespace win
