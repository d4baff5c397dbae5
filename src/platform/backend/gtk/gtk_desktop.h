#pragma once
// The real desktop: GTK 3 and WebKitGTK on X11. It realises the core's windows as native ones,
// follows the core's model on every Sync, and turns native input into core messages.

#include <array>
#include <deque>
#include <map>
#include <memory>
#include <set>

#include "platform/backend/backend.h"

// After the window-system headers: GLib defines TRUE and FALSE as macros.
#include <gtk/gtk.h>

namespace gtkdesk {

class TrayIcon;
struct Native;

class GtkDesktop : public win::Backend {
  public:
    GtkDesktop();  // needs gtk_init; becomes the desktop
    ~GtkDesktop() override;
    GtkDesktop(const GtkDesktop&) = delete;
    GtkDesktop& operator=(const GtkDesktop&) = delete;

    RECT ScreenRect() override;
    RECT WorkArea() override;
    RECT FrameInsets(DWORD style, DWORD exStyle) override;
    void Realize(HWND hwnd) override;
    void Sync(HWND hwnd, unsigned flags) override;
    void Unrealize(HWND hwnd) override;
    void BeginMoveDrag(HWND hwnd) override;
    void PushLayeredPicture(HWND hwnd, const win::PixelImage& picture, POINT dst) override;
    void SetColorKey(HWND hwnd, COLORREF key) override;
    void DeliverKey(HWND hwnd, const MSG& msg) override;
    void SetButtonFace(HWND button, const win::PixelImage* normal,
                       const win::PixelImage* hot) override;
    void WebViewNavigate(HWND view, const std::wstring& url) override;
    void WebViewLoadHtml(HWND view, const std::string& html, const std::wstring& baseUrl) override;
    void WebViewSetSilent(HWND view, bool silent) override;
    void WebViewSetHostObject(HWND view, const std::vector<win::ExternalMethod>& methods) override;
    void TrayAdd(HWND owner, UINT id, const win::PixelImage& icon,
                 const std::wstring& tip) override;
    void TrayRemove(HWND owner, UINT id) override;
    bool TrayShown() override;
    int MessageBox(HWND owner, const std::wstring& text, const std::wstring& caption,
                   UINT type) override;
    bool OpenUri(const std::wstring& uri) override;
    void WaitForEvents() override;

    // The native side of a core window, or null once it is gone.
    Native* Find(HWND hwnd);
    static GtkDesktop* Instance();

  private:
    friend struct Signals;

    void RealizeToplevel(HWND hwnd);
    void RealizeChild(HWND hwnd);
    void SyncToplevel(Native& n, unsigned flags);
    void SyncChild(Native& n, unsigned flags);
    void ApplyPlacement(Native& n);
    void RaiseOwnedWindows(HWND owner);
    void MoveResize(Native& n, const RECT& rect);
    void ApplyIcon(Native& n);
    Native* ToplevelOf(HWND hwnd);
    void ScheduleShape(Native& top);
    void ApplyInputShape(Native& top);
    cairo_region_t* InputRegion(Native& top);
    void ScheduleRecheck(Native& n, guint delayMs);
    void Recheck(HWND hwnd);
    bool NativeFrameRect(Native& n, RECT* rect);
    void ReportGeometry(HWND hwnd, const RECT& actual);
    void ReportPlacement(HWND hwnd, GdkWindowState state);
    void MeasureFrame(Native& n);
    HWND KeyTarget(Native& top);
    gboolean OnKey(Native& top, GdkEventKey* event);
    unsigned StoreKeyEvent(GdkEventKey* event);

    std::map<HWND, std::unique_ptr<Native>> natives_;
    RECT frameInsets_{1, 24, 1, 1};  // until a decorated window was measured
    bool frameMeasured_ = false;
    std::array<GdkEvent*, 256> keyEvents_{};
    unsigned nextKeySerial_ = 0;
    std::set<guint16> keysDown_;  // hardware codes, to tell auto-repeat
    bool deliveringKey_ = false;
    struct KeySignature {
        GdkEventType type;
        guint32 time;
        guint16 keycode;
        bool operator==(const KeySignature&) const = default;
    };
    std::deque<KeySignature> handedOver_;  // keys given to web views, which may send them back
    GdkEvent* lastPress_ = nullptr;        // the press a move drag starts from
    std::unique_ptr<TrayIcon> tray_;
    HWND trayOwner_ = nullptr;
    UINT trayId_ = 0;
};

// Sets up the process for the desktop (X11, device pixels), initialises GTK and makes the
// desktop current. Null when no display can be opened.
std::unique_ptr<GtkDesktop> InitDesktop(int* argc, char*** argv);

}  // namespace gtkdesk
