#include "platform/backend/gtk/gtk_desktop.h"

#include <gio/gio.h>

#include <algorithm>
#include <cstdlib>

#include "platform/backend/gtk/button_face.h"
#include "platform/backend/gtk/key_codes.h"
#include "platform/backend/gtk/layered_surface.h"
#include "platform/backend/gtk/message_box.h"
#include "platform/backend/gtk/tray_icon.h"
#include "platform/backend/gtk/web_view_host.h"
#include "platform/win/api.h"
#include "platform/win/shell.h"
#include "platform/win/text_encoding.h"
#include "platform/win/window.h"

namespace gtkdesk {

enum class Kind { Toplevel, WebView, FaceButton, PushButton, Invisible };

struct Native {
    HWND hwnd = nullptr;
    Kind kind = Kind::Invisible;
    GtkWidget* widget = nullptr;
    GtkWidget* fixed = nullptr;  // a toplevel's container of controls
    HWND top = nullptr;          // a control's toplevel

    // Toplevels: what we last asked the window manager for, to tell our own echoes from the
    // user's changes.
    bool decorated = false;
    bool shown = false;
    bool mapped = false;
    bool wantIconified = false, wantMaximized = false, wantFullscreen = false;
    RECT applied{};
    gint64 geometryPendingUntil = 0;
    gint64 placementPendingUntil = 0;
    guint recheckSource = 0;
    guint shapeSource = 0;
    cairo_surface_t* picture = nullptr;
    bool hasKey = false;
    COLORREF key = 0;

    std::unique_ptr<ButtonFace> face;

    ~Native() {
        if (recheckSource)
            g_source_remove(recheckSource);
        if (shapeSource)
            g_source_remove(shapeSource);
        if (picture)
            cairo_surface_destroy(picture);
    }
};

namespace {

GtkDesktop* g_instance = nullptr;

// How long a geometry or state request of ours may take to come back from the window manager
// before a differing report counts as the user's.
constexpr gint64 kEchoWindowUs = 500 * 1000;
constexpr guint kRecheckMs = 520;

gpointer Data(HWND hwnd) {
    return static_cast<gpointer>(hwnd);
}
HWND Hwnd(gpointer data) {
    return static_cast<HWND>(data);
}

bool HasCaption(DWORD style) {
    return (style & WS_CAPTION) == WS_CAPTION;
}

RECT RectOf(const GdkRectangle& r) {
    return RECT{r.x, r.y, r.x + r.width, r.y + r.height};
}

GdkMonitor* PrimaryMonitor() {
    GdkDisplay* display = gdk_display_get_default();
    if (!display)
        return nullptr;
    GdkMonitor* m = gdk_display_get_primary_monitor(display);
    return m ? m : gdk_display_get_monitor(display, 0);
}

int PlacementOf(DWORD style) {
    if (style & WS_MINIMIZE)
        return SW_MINIMIZE;
    if (style & WS_MAXIMIZE)
        return SW_MAXIMIZE;
    return SW_RESTORE;
}

int PlacementOf(GdkWindowState state) {
    if (state & GDK_WINDOW_STATE_ICONIFIED)
        return SW_MINIMIZE;
    if (state & (GDK_WINDOW_STATE_MAXIMIZED | GDK_WINDOW_STATE_FULLSCREEN))
        return SW_MAXIMIZE;
    return SW_RESTORE;
}

// _NET_FRAME_EXTENTS of a managed window (left, right, top, bottom), when the WM has set it.
bool ReadFrameExtents(GdkWindow* window, RECT* insets) {
    GdkAtom type = GDK_NONE;
    gint format = 0, length = 0;
    guchar* data = nullptr;
    if (!gdk_property_get(window, gdk_atom_intern_static_string("_NET_FRAME_EXTENTS"),
                          gdk_atom_intern_static_string("CARDINAL"), 0, 4 * 4, FALSE, &type,
                          &format, &length, &data))
        return false;
    // The length asked for counts bytes of the property; format-32 items arrive as C longs.
    bool ok = format == 32 && length >= static_cast<gint>(4 * sizeof(long));
    if (ok) {
        const long* v = reinterpret_cast<const long*>(data);
        *insets = RECT{static_cast<LONG>(v[0]), static_cast<LONG>(v[2]), static_cast<LONG>(v[1]),
                       static_cast<LONG>(v[3])};
    }
    g_free(data);
    return ok;
}

GdkPixbuf* PixbufFromImage(const gdiplus::PixelImage& image) {
    if (image.width <= 0 || image.height <= 0 ||
        image.pixels.size() < static_cast<size_t>(image.width) * image.height)
        return nullptr;
    GdkPixbuf* pb = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, image.width, image.height);
    if (!pb)
        return nullptr;
    const std::vector<uint32_t> straight = Unpremultiplied(image);
    const int stride = gdk_pixbuf_get_rowstride(pb);
    guchar* pixels = gdk_pixbuf_get_pixels(pb);
    for (int y = 0; y < image.height; ++y) {
        guchar* row = pixels + static_cast<size_t>(y) * stride;
        for (int x = 0; x < image.width; ++x) {
            const uint32_t p = straight[static_cast<size_t>(y) * image.width + x];
            row[4 * x + 0] = (p >> 16) & 0xFF;
            row[4 * x + 1] = (p >> 8) & 0xFF;
            row[4 * x + 2] = p & 0xFF;
            row[4 * x + 3] = p >> 24;
        }
    }
    return pb;
}

// WebKitGTK answers a key asynchronously and, when the page did not use it, sends the same event
// to the toplevel again (gtk_main_do_event). That copy is not new input: it goes its GTK way.
constexpr size_t kHandedOverKept = 32;
template <typename Signatures>
bool WebViewReturnedKey(Signatures& handedOver, const GdkEventKey* event) {
    for (auto it = handedOver.begin(); it != handedOver.end(); ++it) {
        if (it->type == event->type && it->time == event->time &&
            it->keycode == event->hardware_keycode) {
            handedOver.erase(it);
            return true;
        }
    }
    return false;
}

// GTK delivers a toplevel's unhandled button press twice when the handler returns FALSE
// (3.24.38), so presses on the frame itself are always claimed.
constexpr gboolean kClaimFramePress = TRUE;

}  // namespace

// Signal trampolines: every handler gets the core handle and looks the window up again, so a
// late signal for a destroyed window does nothing.
struct Signals {
    static GtkDesktop& D() { return *g_instance; }

    static gboolean Draw(GtkWidget*, cairo_t* cr, gpointer data) {
        Native* n = g_instance ? D().Find(Hwnd(data)) : nullptr;
        win::Window* w = win::FindWindowRecord(Hwnd(data));
        if (!n || !w)
            return FALSE;
        cairo_save(cr);
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
        if (n->picture) {
            cairo_set_source_surface(cr, n->picture, 0, 0);
        } else if (n->hasKey || (w->exStyle & WS_EX_LAYERED)) {
            // Key-coloured background (and a layered window with nothing pushed) is see-through.
            cairo_set_source_rgba(cr, 0, 0, 0, 0);
        } else {
            cairo_set_source_rgb(cr, 0xF0 / 255.0, 0xF0 / 255.0, 0xF0 / 255.0);
        }
        cairo_paint(cr);
        cairo_restore(cr);
        return FALSE;  // the window's own handler draws the controls on top
    }

    static gboolean Configure(GtkWidget*, GdkEventConfigure*, gpointer data) {
        Native* n = D().Find(Hwnd(data));
        if (!n || !n->mapped)
            return FALSE;
        // While (de)iconifying, the window manager moves the frame around off-screen.
        GdkWindow* gw = gtk_widget_get_window(n->widget);
        if (gdk_window_get_state(gw) & (GDK_WINDOW_STATE_ICONIFIED | GDK_WINDOW_STATE_WITHDRAWN))
            return FALSE;
        if (n->decorated)
            D().MeasureFrame(*n);
        RECT r;
        if (D().NativeFrameRect(*n, &r))
            D().ReportGeometry(n->hwnd, r);
        return FALSE;
    }

    static gboolean WindowState(GtkWidget*, GdkEventWindowState* event, gpointer data) {
        if (D().Find(Hwnd(data)))
            D().ReportPlacement(Hwnd(data), event->new_window_state);
        return FALSE;
    }

    static gboolean Map(GtkWidget*, GdkEvent*, gpointer data) {
        Native* n = D().Find(Hwnd(data));
        if (!n)
            return FALSE;
        n->mapped = true;
        if (n->decorated)
            D().MeasureFrame(*n);
        // The WM copies an input shape to its frame only when it changes after managing the
        // window: set it now, and once more when the loop is idle.
        D().ApplyInputShape(*n);
        D().ScheduleShape(*n);
        return FALSE;
    }

    static gboolean Unmap(GtkWidget*, GdkEvent*, gpointer data) {
        if (Native* n = D().Find(Hwnd(data)))
            n->mapped = false;
        return FALSE;
    }

    static gboolean Property(GtkWidget*, GdkEventProperty* event, gpointer data) {
        Native* n = D().Find(Hwnd(data));
        if (n && n->decorated && event->atom == gdk_atom_intern_static_string("_NET_FRAME_EXTENTS"))
            D().MeasureFrame(*n);
        // A window manager that starts under running windows (a restart) manages them in its
        // own order and may put an owner above what it owns: lift them again once it has.
        if (n && event->atom == gdk_atom_intern_static_string("WM_STATE")) {
            D().RaiseOwnedWindows(n->hwnd);
            if (win::Window* w = win::FindWindowRecord(n->hwnd); w && w->owner)
                D().RaiseOwnedWindows(w->owner);
        }
        return FALSE;
    }

    static gboolean Delete(GtkWidget*, GdkEvent*, gpointer data) {
        PostMessageW(Hwnd(data), WM_SYSCOMMAND, SC_CLOSE, 0);
        return TRUE;
    }

    static gboolean Button(GtkWidget* widget, GdkEventButton* event, gpointer data) {
        // Presses inside a control's own window that it left unhandled are not the frame's.
        if (event->window != gtk_widget_get_window(widget))
            return FALSE;
        if (event->type != GDK_BUTTON_PRESS && event->type != GDK_BUTTON_RELEASE)
            return kClaimFramePress;
        const HWND hwnd = Hwnd(data);
        if (!D().Find(hwnd))
            return kClaimFramePress;
        const bool press = event->type == GDK_BUTTON_PRESS;
        const LPARAM at = MAKELPARAM(static_cast<int>(event->x), static_cast<int>(event->y));
        if (press && event->button == 1) {
            if (D().lastPress_)
                gdk_event_free(D().lastPress_);
            D().lastPress_ = gdk_event_copy(reinterpret_cast<GdkEvent*>(event));
        }
        if (event->button == 1)
            PostMessageW(hwnd, press ? WM_LBUTTONDOWN : WM_LBUTTONUP, press ? 1 : 0, at);
        if (event->button == 3)
            PostMessageW(hwnd, press ? WM_RBUTTONDOWN : WM_RBUTTONUP, press ? 2 : 0, at);
        return kClaimFramePress;
    }

    static gboolean Key(GtkWidget*, GdkEventKey* event, gpointer data) {
        Native* n = D().Find(Hwnd(data));
        return n ? D().OnKey(*n, event) : FALSE;
    }

    static gboolean Recheck(gpointer data) {
        if (Native* n = D().Find(Hwnd(data)))
            n->recheckSource = 0;
        D().Recheck(Hwnd(data));
        return G_SOURCE_REMOVE;
    }

    static gboolean Shape(gpointer data) {
        if (Native* n = D().Find(Hwnd(data))) {
            n->shapeSource = 0;
            D().ApplyInputShape(*n);
        }
        return G_SOURCE_REMOVE;
    }

    static void PushButtonClicked(GtkButton*, gpointer data) {
        const HWND hwnd = Hwnd(data);
        if (!IsWindowEnabled(hwnd))
            return;
        SendMessageW(GetParent(hwnd), WM_COMMAND,
                     MAKEWPARAM(static_cast<WORD>(GetDlgCtrlID(hwnd)), BN_CLICKED),
                     reinterpret_cast<LPARAM>(hwnd));
    }
};

ButtonFace* FindButtonFace(HWND hwnd) {
    Native* n = g_instance ? g_instance->Find(hwnd) : nullptr;
    return n ? n->face.get() : nullptr;
}

GtkDesktop::GtkDesktop() {
    g_instance = this;
    win::SetDesktop(this);
}

GtkDesktop::~GtkDesktop() {
    // Windows still in the model lose their native side first; nothing calls back afterwards.
    while (!natives_.empty()) Unrealize(natives_.begin()->first);
    for (GdkEvent*& e : keyEvents_)
        if (e)
            gdk_event_free(e);
    if (lastPress_)
        gdk_event_free(lastPress_);
    tray_.reset();
    win::SetDesktop(nullptr);
    g_instance = nullptr;
}

GtkDesktop* GtkDesktop::Instance() {
    return g_instance;
}

Native* GtkDesktop::Find(HWND hwnd) {
    auto it = natives_.find(hwnd);
    return it == natives_.end() ? nullptr : it->second.get();
}

Native* GtkDesktop::ToplevelOf(HWND hwnd) {
    Native* n = Find(hwnd);
    if (!n)
        return nullptr;
    return n->kind == Kind::Toplevel ? n : Find(n->top);
}

// ---- Desktop geometry ----

RECT GtkDesktop::ScreenRect() {
    GdkMonitor* m = PrimaryMonitor();
    if (!m)
        return RECT{0, 0, 1920, 1080};
    GdkRectangle r;
    gdk_monitor_get_geometry(m, &r);
    return RectOf(r);
}

RECT GtkDesktop::WorkArea() {
    GdkMonitor* m = PrimaryMonitor();
    if (!m)
        return ScreenRect();
    GdkRectangle r;
    gdk_monitor_get_workarea(m, &r);
    return RectOf(r);
}

RECT GtkDesktop::FrameInsets(DWORD style, DWORD) {
    // Only captioned windows are decorated by the window manager.
    return HasCaption(style) && !(style & WS_CHILD) ? frameInsets_ : RECT{};
}

void GtkDesktop::MeasureFrame(Native& n) {
    GdkWindow* gw = gtk_widget_get_window(n.widget);
    // A maximised frame drops its borders; the insets that matter are those of a normal one, and
    // the first measurement is kept so that rectangles already in the model keep their meaning.
    constexpr auto kNotNormal = GdkWindowState(
        GDK_WINDOW_STATE_MAXIMIZED | GDK_WINDOW_STATE_FULLSCREEN | GDK_WINDOW_STATE_ICONIFIED);
    RECT insets;
    if (frameMeasured_ || !gw || (gdk_window_get_state(gw) & kNotNormal) ||
        !ReadFrameExtents(gw, &insets))
        return;
    frameMeasured_ = true;
    frameInsets_ = insets;
}

// ---- Realising ----

void GtkDesktop::Realize(HWND hwnd) {
    win::Window* w = win::FindWindowRecord(hwnd);
    if (!w || Find(hwnd))
        return;
    if (w->style & WS_CHILD)
        RealizeChild(hwnd);
    else
        RealizeToplevel(hwnd);
    Sync(hwnd, win::kSyncAll & ~unsigned{win::kSyncZOrder});
}

void GtkDesktop::RealizeToplevel(HWND hwnd) {
    win::Window* w = win::FindWindowRecord(hwnd);
    auto n = std::make_unique<Native>();
    n->hwnd = hwnd;
    n->kind = Kind::Toplevel;
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    n->widget = window;
    if (GdkVisual* rgba = gdk_screen_get_rgba_visual(gtk_widget_get_screen(window)))
        gtk_widget_set_visual(window, rgba);
    gtk_widget_set_app_paintable(window, TRUE);
    gtk_widget_add_events(window, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK |
                                      GDK_KEY_PRESS_MASK | GDK_KEY_RELEASE_MASK |
                                      GDK_STRUCTURE_MASK | GDK_PROPERTY_CHANGE_MASK);
    n->decorated = HasCaption(w->style);
    gtk_window_set_decorated(GTK_WINDOW(window), n->decorated);
    n->fixed = gtk_fixed_new();
    gtk_container_add(GTK_CONTAINER(window), n->fixed);
    gtk_widget_show(n->fixed);
    if (Native* owner = Find(w->owner); owner && owner->kind == Kind::Toplevel) {
        gtk_window_set_transient_for(GTK_WINDOW(window), GTK_WINDOW(owner->widget));
        // Owned windows have no taskbar entry of their own.
        gtk_window_set_skip_taskbar_hint(GTK_WINDOW(window), TRUE);
        gtk_window_set_skip_pager_hint(GTK_WINDOW(window), TRUE);
    }
    const gpointer data = Data(hwnd);
    g_signal_connect(window, "draw", G_CALLBACK(Signals::Draw), data);
    g_signal_connect(window, "configure-event", G_CALLBACK(Signals::Configure), data);
    g_signal_connect(window, "window-state-event", G_CALLBACK(Signals::WindowState), data);
    g_signal_connect(window, "map-event", G_CALLBACK(Signals::Map), data);
    g_signal_connect(window, "unmap-event", G_CALLBACK(Signals::Unmap), data);
    g_signal_connect(window, "property-notify-event", G_CALLBACK(Signals::Property), data);
    g_signal_connect(window, "delete-event", G_CALLBACK(Signals::Delete), data);
    g_signal_connect(window, "button-press-event", G_CALLBACK(Signals::Button), data);
    g_signal_connect(window, "button-release-event", G_CALLBACK(Signals::Button), data);
    // Not _after: the core sees every key before the page does.
    g_signal_connect(window, "key-press-event", G_CALLBACK(Signals::Key), data);
    g_signal_connect(window, "key-release-event", G_CALLBACK(Signals::Key), data);
    n->hasKey = w->hasColorKey;
    n->key = w->colorKey;
    // Windows it owns may have been realised first (an overlay made while its owner is being
    // created): they stay above it from now on.
    for (auto& [other, on] : natives_) {
        win::Window* ow = win::FindWindowRecord(other);
        if (on->kind != Kind::Toplevel || !ow || ow->owner != hwnd)
            continue;
        gtk_window_set_transient_for(GTK_WINDOW(on->widget), GTK_WINDOW(window));
        gtk_window_set_skip_taskbar_hint(GTK_WINDOW(on->widget), TRUE);
        gtk_window_set_skip_pager_hint(GTK_WINDOW(on->widget), TRUE);
    }
    natives_[hwnd] = std::move(n);
}

void GtkDesktop::RealizeChild(HWND hwnd) {
    win::Window* w = win::FindWindowRecord(hwnd);
    auto n = std::make_unique<Native>();
    n->hwnd = hwnd;
    HWND top = w->parent;
    for (win::Window* p = win::FindWindowRecord(top); p && (p->style & WS_CHILD);
         p = win::FindWindowRecord(top))
        top = p->parent;
    Native* topNative = Find(top);
    n->top = top;
    if (topNative && topNative->kind == Kind::Toplevel) {
        if (w->className == L"WebView") {
            n->kind = Kind::WebView;
            n->widget = CreateWebView(hwnd);
        } else if (w->className == L"MfcButton") {
            n->kind = Kind::FaceButton;
            n->face = std::make_unique<ButtonFace>();
            n->face->SetKey(KeyPixelOf(topNative->hasKey, topNative->key));
            n->widget = CreateFaceButton(hwnd);
        } else if (w->className == L"Button") {
            n->kind = Kind::PushButton;
            n->widget = gtk_button_new_with_label(win::ToUtf8(w->text).c_str());
            g_signal_connect(n->widget, "clicked", G_CALLBACK(Signals::PushButtonClicked),
                             Data(hwnd));
        }
        if (n->widget) {
            gtk_fixed_put(GTK_FIXED(topNative->fixed), n->widget, 0, 0);
            gtk_widget_set_no_show_all(n->widget, TRUE);
        }
    }
    const bool isView = n->kind == Kind::WebView;
    GtkWidget* widget = n->widget;
    natives_[hwnd] = std::move(n);
    // The page takes keys without a click first, unless something else has the focus.
    if (isView && !gtk_window_get_focus(GTK_WINDOW(topNative->widget)))
        gtk_widget_grab_focus(widget);
}

void GtkDesktop::Unrealize(HWND hwnd) {
    auto it = natives_.find(hwnd);
    if (it == natives_.end())
        return;
    std::unique_ptr<Native> n = std::move(it->second);
    natives_.erase(it);
    if (n->kind == Kind::Toplevel) {
        // Controls normally go first; any left would dangle inside the destroyed window.
        std::vector<HWND> orphans;
        for (auto& [h, c] : natives_)
            if (c->top == hwnd)
                orphans.push_back(h);
        for (HWND h : orphans) Unrealize(h);
        if (trayOwner_ == hwnd && tray_)
            tray_->Hide();
    }
    if (n->kind == Kind::WebView)
        ReleaseWebView(n->widget, hwnd);
    if (n->widget) {
        g_signal_handlers_disconnect_by_data(n->widget, Data(hwnd));
        gtk_widget_destroy(n->widget);
    }
    if (n->kind != Kind::Toplevel)
        if (Native* top = Find(n->top))
            ScheduleShape(*top);
}

// ---- Following the model ----

void GtkDesktop::Sync(HWND hwnd, unsigned flags) {
    Native* n = Find(hwnd);
    if (!n || !win::FindWindowRecord(hwnd))
        return;
    if (n->kind == Kind::Toplevel)
        SyncToplevel(*n, flags);
    else
        SyncChild(*n, flags);
}

void GtkDesktop::SyncToplevel(Native& n, unsigned flags) {
    win::Window* w = win::FindWindowRecord(n.hwnd);
    GtkWindow* window = GTK_WINDOW(n.widget);
    if (flags & win::kSyncStyle) {
        const bool decorated = HasCaption(w->style);
        if (decorated != n.decorated) {
            n.decorated = decorated;
            gtk_window_set_decorated(window, decorated);
            n.applied = RECT{};  // the client size changes with the frame
            flags |= win::kSyncGeometry;
        }
    }
    if (flags & win::kSyncText)
        gtk_window_set_title(window, win::ToUtf8(w->text).c_str());
    if (flags & win::kSyncIcon)
        ApplyIcon(n);
    if (flags & (win::kSyncGeometry | win::kSyncVisibility | win::kSyncStyle))
        ApplyPlacement(n);
    if ((flags & win::kSyncZOrder) && n.shown)
        gtk_window_present(window);
}

void GtkDesktop::ApplyPlacement(Native& n) {
    win::Window* w = win::FindWindowRecord(n.hwnd);
    GtkWindow* window = GTK_WINDOW(n.widget);
    const bool iconic = (w->style & WS_MINIMIZE) != 0;
    const bool zoomed = !iconic && (w->style & WS_MAXIMIZE);
    // A maximised window without a caption is the full-screen mode: it covers the panels too.
    const bool maximized = zoomed && HasCaption(w->style);
    const bool fullscreen = zoomed && !HasCaption(w->style);
    if (!iconic && !zoomed && !(w->rect == n.applied))
        MoveResize(n, w->rect);
    bool changed = false;
    if (fullscreen != n.wantFullscreen) {
        n.wantFullscreen = fullscreen;
        fullscreen ? gtk_window_fullscreen(window) : gtk_window_unfullscreen(window);
        changed = true;
    }
    if (maximized != n.wantMaximized) {
        n.wantMaximized = maximized;
        maximized ? gtk_window_maximize(window) : gtk_window_unmaximize(window);
        changed = true;
    }
    if (iconic != n.wantIconified) {
        n.wantIconified = iconic;
        iconic ? gtk_window_iconify(window) : gtk_window_deiconify(window);
        changed = true;
    }
    if (changed) {
        // The window manager's new frame is not the user's doing either.
        n.applied = w->rect;
        n.geometryPendingUntil = g_get_monotonic_time() + kEchoWindowUs;
        n.placementPendingUntil = g_get_monotonic_time() + kEchoWindowUs;
        ScheduleRecheck(n, kRecheckMs);
    }
    const bool visible = IsWindowVisible(n.hwnd) != FALSE;
    if (visible && !n.shown) {
        n.shown = true;
        gtk_widget_show(n.widget);
        if (!iconic && changed)
            gtk_window_present(window);
        RaiseOwnedWindows(n.hwnd);
    } else if (!visible && n.shown) {
        n.shown = false;
        gtk_widget_hide(n.widget);
    } else if (visible && changed && !iconic) {
        gtk_window_present(window);
    }
}

void GtkDesktop::RaiseOwnedWindows(HWND owner) {
    Native* o = Find(owner);
    GdkWindow* ownerWindow =
        o && o->kind == Kind::Toplevel ? gtk_widget_get_window(o->widget) : nullptr;
    // Owned windows stay above their owner, also when the owner is shown after them.
    for (auto& [other, on] : natives_) {
        win::Window* ow = win::FindWindowRecord(other);
        if (on->kind == Kind::Toplevel && on->shown && ow && ow->owner == owner)
            if (GdkWindow* gw = gtk_widget_get_window(on->widget)) {
                // Stated again: a window manager that managed this window before its owner
                // does not learn the link otherwise, and lets the owner cover it.
                if (ownerWindow)
                    gdk_window_set_transient_for(gw, ownerWindow);
                gdk_window_raise(gw);
            }
    }
}

void GtkDesktop::MoveResize(Native& n, const RECT& rect) {
    const RECT in = n.decorated ? frameInsets_ : RECT{};
    const int width = std::max<LONG>(1, rect.Width() - in.left - in.right);
    const int height = std::max<LONG>(1, rect.Height() - in.top - in.bottom);
    // With the default north-west gravity the position is the frame's corner.
    gtk_window_move(GTK_WINDOW(n.widget), rect.left, rect.top);
    gtk_window_resize(GTK_WINDOW(n.widget), width, height);
    n.applied = rect;
    n.geometryPendingUntil = g_get_monotonic_time() + kEchoWindowUs;
    ScheduleRecheck(n, kRecheckMs);
}

void GtkDesktop::ApplyIcon(Native& n) {
    win::Window* w = win::FindWindowRecord(n.hwnd);
    const gdiplus::PixelImage* image = win::IconImage(w->bigIcon);
    GdkPixbuf* pb = image ? PixbufFromImage(*image) : nullptr;
    gtk_window_set_icon(GTK_WINDOW(n.widget), pb);
    if (pb)
        g_object_unref(pb);
}

void GtkDesktop::SyncChild(Native& n, unsigned flags) {
    win::Window* w = win::FindWindowRecord(n.hwnd);
    Native* top = Find(n.top);
    if (!n.widget || !top)
        return;
    if (flags & (win::kSyncGeometry | win::kSyncVisibility)) {
        // Child rectangles are relative to the parent's client area; add any control parents.
        POINT at{w->rect.left, w->rect.top};
        for (win::Window* p = win::FindWindowRecord(w->parent); p && (p->style & WS_CHILD);
             p = win::FindWindowRecord(p->parent)) {
            at.x += p->rect.left;
            at.y += p->rect.top;
        }
        gtk_fixed_move(GTK_FIXED(top->fixed), n.widget, at.x, at.y);
        gtk_widget_set_size_request(n.widget, std::max<LONG>(1, w->rect.Width()),
                                    std::max<LONG>(1, w->rect.Height()));
    }
    if (flags & win::kSyncText && n.kind == Kind::PushButton)
        gtk_button_set_label(GTK_BUTTON(n.widget), win::ToUtf8(w->text).c_str());
    // A control follows its own visible bit; its toplevel's visibility hides it as a whole.
    bool visible = (w->style & WS_VISIBLE) != 0;
    for (win::Window* p = win::FindWindowRecord(w->parent); visible && p && (p->style & WS_CHILD);
         p = win::FindWindowRecord(p->parent))
        visible = (p->style & WS_VISIBLE) != 0;
    if (visible != (gtk_widget_get_visible(n.widget) != FALSE))
        visible ? gtk_widget_show(n.widget) : gtk_widget_hide(n.widget);
    if (top->hasKey)
        ScheduleShape(*top);
}

// ---- Reports from the window manager ----

bool GtkDesktop::NativeFrameRect(Native& n, RECT* rect) {
    GdkWindow* gw = gtk_widget_get_window(n.widget);
    if (!gw || !n.mapped)
        return false;
    int x = 0, y = 0;
    gdk_window_get_origin(gw, &x, &y);
    const RECT in = n.decorated ? frameInsets_ : RECT{};
    *rect = RECT{x - in.left, y - in.top, x + gdk_window_get_width(gw) + in.right,
                 y + gdk_window_get_height(gw) + in.bottom};
    return true;
}

void GtkDesktop::ReportGeometry(HWND hwnd, const RECT& actual) {
    Native* n = Find(hwnd);
    win::Window* w = win::FindWindowRecord(hwnd);
    if (!n || !w || !IsWindowVisible(hwnd) || (w->style & WS_MINIMIZE))
        return;
    if (actual == w->rect) {
        n->geometryPendingUntil = 0;
        return;
    }
    // Steps on the way to a placement we asked for are not the user's doing.
    if (!(actual == n->applied) && g_get_monotonic_time() < n->geometryPendingUntil)
        return;
    n->geometryPendingUntil = 0;
    n->applied = actual;
    win::DesktopMovedWindow(hwnd, actual);
}

void GtkDesktop::ReportPlacement(HWND hwnd, GdkWindowState state) {
    Native* n = Find(hwnd);
    win::Window* w = win::FindWindowRecord(hwnd);
    if (!n || !w || (state & GDK_WINDOW_STATE_WITHDRAWN) || !IsWindowVisible(hwnd))
        return;
    const int native = PlacementOf(state);
    // While our own requests settle, the window manager passes through their intermediate
    // states (leaving full screen: normal, maximised, normal, maximised); a match on the way
    // is no sign that it is done. The recheck after the settling time reports what stuck.
    if (native == PlacementOf(w->style) || g_get_monotonic_time() < n->placementPendingUntil)
        return;
    win::DesktopChangedPlacement(hwnd, native);
}

void GtkDesktop::ScheduleRecheck(Native& n, guint delayMs) {
    if (n.recheckSource)
        g_source_remove(n.recheckSource);
    n.recheckSource = g_timeout_add(delayMs, Signals::Recheck, Data(n.hwnd));
}

void GtkDesktop::Recheck(HWND hwnd) {
    // After our own requests settled: whatever still differs was decided by the window manager.
    Native* n = Find(hwnd);
    if (!n || !n->mapped)
        return;
    GdkWindow* gw = gtk_widget_get_window(n->widget);
    ReportPlacement(hwnd, gdk_window_get_state(gw));
    n = Find(hwnd);
    RECT r;
    if (n && NativeFrameRect(*n, &r))
        ReportGeometry(hwnd, r);
}

// ---- Pictures, colour keys and input shapes ----

void GtkDesktop::PushLayeredPicture(HWND hwnd, const win::PixelImage& picture, POINT dst) {
    Native* n = Find(hwnd);
    if (!n || n->kind != Kind::Toplevel)
        return;
    cairo_surface_t* surface = SurfaceFromImage(picture);
    if (!surface)
        return;
    if (n->picture)
        cairo_surface_destroy(n->picture);
    n->picture = surface;
    win::Window* w = win::FindWindowRecord(hwnd);
    const RECT r{dst.x, dst.y, dst.x + picture.width, dst.y + picture.height};
    // Pushing a picture also places the window (the move comes back as a report).
    if (w && !(w->style & (WS_MINIMIZE | WS_MAXIMIZE)) && !(r == n->applied))
        MoveResize(*n, r);
    ApplyInputShape(*n);
    gtk_widget_queue_draw(n->widget);
}

void GtkDesktop::SetColorKey(HWND hwnd, COLORREF key) {
    Native* n = Find(hwnd);
    if (!n || n->kind != Kind::Toplevel)
        return;
    n->hasKey = true;
    n->key = key;
    for (auto& [h, c] : natives_)
        if (c->top == hwnd && c->face) {
            c->face->SetKey(KeyPixelOf(true, key));
            gtk_widget_queue_draw(c->widget);
        }
    ScheduleShape(*n);
    gtk_widget_queue_draw(n->widget);
}

void GtkDesktop::SetButtonFace(HWND button, const win::PixelImage* normal,
                               const win::PixelImage* hot) {
    Native* n = Find(button);
    if (!n || !n->face)
        return;
    n->face->SetImages(normal, hot);
    gtk_widget_queue_draw(n->widget);
    if (Native* top = Find(n->top); top && top->hasKey)
        ScheduleShape(*top);
}

void GtkDesktop::ScheduleShape(Native& top) {
    if (top.kind != Kind::Toplevel || top.shapeSource)
        return;
    top.shapeSource = g_idle_add(Signals::Shape, Data(top.hwnd));
}

cairo_region_t* GtkDesktop::InputRegion(Native& top) {
    win::Window* w = win::FindWindowRecord(top.hwnd);
    if (!w)
        return nullptr;
    if (top.picture) {
        cairo_region_t* region = cairo_region_create();
        AddOpaqueArea(region, top.picture, 0, 0);
        return region;
    }
    if (!top.hasKey) {
        // A layered window with nothing pushed yet shows nothing and takes no clicks.
        return (w->exStyle & WS_EX_LAYERED) ? cairo_region_create() : nullptr;
    }
    // A keyed window takes clicks only where its controls are seen.
    cairo_region_t* region = cairo_region_create();
    for (auto& [h, c] : natives_) {
        if (c->top != top.hwnd || !c->widget || !gtk_widget_get_visible(c->widget))
            continue;
        int x = 0, y = 0;
        gtk_container_child_get(GTK_CONTAINER(top.fixed), c->widget, "x", &x, "y", &y, nullptr);
        int width = 0, height = 0;
        gtk_widget_get_size_request(c->widget, &width, &height);
        cairo_surface_t* face = c->face ? c->face->Current() : nullptr;
        if (face) {
            int fx, fy;
            c->face->Origin(width, height, face, &fx, &fy);
            cairo_region_t* part = cairo_region_create();
            AddOpaqueArea(part, face, x + fx, y + fy);
            const cairo_rectangle_int_t bounds{x, y, width, height};
            cairo_region_intersect_rectangle(part, &bounds);
            cairo_region_union(region, part);
            cairo_region_destroy(part);
        } else if (!c->face) {
            const cairo_rectangle_int_t r{x, y, width, height};
            cairo_region_union_rectangle(region, &r);
        }
    }
    return region;
}

void GtkDesktop::ApplyInputShape(Native& top) {
    if (top.kind != Kind::Toplevel || !top.mapped)
        return;
    GdkWindow* gw = gtk_widget_get_window(top.widget);
    if (!gw)
        return;
    cairo_region_t* region = InputRegion(top);
    // Reset first: the window manager follows only a shape that changes.
    gdk_window_input_shape_combine_region(gw, nullptr, 0, 0);
    if (region) {
        gdk_window_input_shape_combine_region(gw, region, 0, 0);
        cairo_region_destroy(region);
    }
}

// ---- Moving ----

void GtkDesktop::BeginMoveDrag(HWND hwnd) {
    Native* n = ToplevelOf(hwnd);
    if (!n || !n->shown)
        return;
    if (lastPress_) {
        const GdkEventButton& b = lastPress_->button;
        gtk_window_begin_move_drag(GTK_WINDOW(n->widget), static_cast<gint>(b.button),
                                   static_cast<gint>(b.x_root), static_cast<gint>(b.y_root),
                                   b.time);
        return;
    }
    GdkSeat* seat = gdk_display_get_default_seat(gtk_widget_get_display(n->widget));
    int x = 0, y = 0;
    gdk_device_get_position(gdk_seat_get_pointer(seat), nullptr, &x, &y);
    gtk_window_begin_move_drag(GTK_WINDOW(n->widget), 1, x, y, GDK_CURRENT_TIME);
}

// ---- Keys ----

unsigned GtkDesktop::StoreKeyEvent(GdkEventKey* event) {
    const unsigned serial = nextKeySerial_++ & 0xFF;
    if (keyEvents_[serial])
        gdk_event_free(keyEvents_[serial]);
    keyEvents_[serial] = gdk_event_copy(reinterpret_cast<GdkEvent*>(event));
    return serial;
}

HWND GtkDesktop::KeyTarget(Native& top) {
    // The web view GTK has focused is the focused core window as well.
    if (GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(top.widget))) {
        for (auto& [h, c] : natives_) {
            if (c->top == top.hwnd && c->widget &&
                (c->widget == focus || gtk_widget_is_ancestor(focus, c->widget))) {
                if (GetFocus() != h)
                    win::DesktopFocusChanged(h);
                break;
            }
        }
    }
    const HWND focused = GetFocus();
    if (focused && (focused == top.hwnd || IsChild(top.hwnd, focused)))
        return focused;
    return top.hwnd;
}

gboolean GtkDesktop::OnKey(Native& top, GdkEventKey* event) {
    // Our own hand-over of a key the core let through goes its normal way.
    if (deliveringKey_)
        return FALSE;
    if (WebViewReturnedKey(handedOver_, event))
        return FALSE;
    const bool press = event->type == GDK_KEY_PRESS;
    bool repeat = false;
    if (press)
        repeat = !keysDown_.insert(event->hardware_keycode).second;
    else
        keysDown_.erase(event->hardware_keycode);
    const bool alt = (event->state & GDK_MOD1_MASK) != 0;
    const WPARAM vk = VirtualKeyOf(event);
    const unsigned serial = StoreKeyEvent(event);
    // The scan-code field carries the serial of the stored native event.
    LPARAM lp = 1 | (static_cast<LPARAM>(serial) << 16) | (alt ? (LPARAM{1} << 29) : 0);
    if (press && repeat)
        lp |= LPARAM{1} << 30;
    if (!press)
        lp |= (LPARAM{1} << 30) | (LPARAM{1} << 31);
    const UINT message =
        press ? (alt ? WM_SYSKEYDOWN : WM_KEYDOWN) : (alt ? WM_SYSKEYUP : WM_KEYUP);
    PostMessageW(KeyTarget(top), message, vk, lp);
    return TRUE;
}

void GtkDesktop::DeliverKey(HWND hwnd, const MSG& msg) {
    GdkEvent* event = keyEvents_[(static_cast<std::uintptr_t>(msg.lParam) >> 16) & 0xFF];
    if (!event)
        return;
    const bool down = msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN;
    const bool up = msg.message == WM_KEYUP || msg.message == WM_SYSKEYUP;
    // A stored event overwritten since (256 keys later) is not handed over in its place.
    if (!(down && event->type == GDK_KEY_PRESS) && !(up && event->type == GDK_KEY_RELEASE))
        return;
    if (VirtualKeyOf(&event->key) != msg.wParam)
        return;
    Native* n = Find(hwnd);
    Native* top = ToplevelOf(hwnd);
    if (!n || !top)
        return;
    deliveringKey_ = true;
    if (n->kind == Kind::WebView && gtk_window_get_focus(GTK_WINDOW(top->widget)) != n->widget)
        gtk_widget_event(n->widget, event);
    else
        gtk_window_propagate_key_event(GTK_WINDOW(top->widget), &event->key);
    deliveringKey_ = false;
    handedOver_.push_back({event->type, event->key.time, event->key.hardware_keycode});
    if (handedOver_.size() > kHandedOverKept)
        handedOver_.pop_front();
}

// ---- Web views ----

void GtkDesktop::WebViewNavigate(HWND view, const std::wstring& url) {
    Native* n = Find(view);
    if (n && n->kind == Kind::WebView)
        NavigateWebView(n->widget, win::ToUtf8(url));
}

void GtkDesktop::WebViewLoadHtml(HWND view, const std::string& html, const std::wstring& baseUrl) {
    Native* n = Find(view);
    if (n && n->kind == Kind::WebView)
        LoadHtmlInWebView(n->widget, html, win::ToUtf8(baseUrl));
}

void GtkDesktop::WebViewSetSilent(HWND view, bool silent) {
    Native* n = Find(view);
    if (n && n->kind == Kind::WebView)
        SetWebViewSilent(n->widget, view, silent);
}

void GtkDesktop::WebViewSetHostObject(HWND view, const std::vector<win::ExternalMethod>& methods) {
    Native* n = Find(view);
    if (n && n->kind == Kind::WebView)
        SetWebViewHostObject(n->widget, view, methods);
}

// ---- Tray, question boxes, addresses ----

void GtkDesktop::TrayAdd(HWND owner, UINT id, const win::PixelImage& icon,
                         const std::wstring& tip) {
    trayOwner_ = owner;
    trayId_ = id;
    if (!tray_) {
        tray_ = std::make_unique<TrayIcon>([this] {
            if (trayOwner_)
                win::TrayIconActivated(trayOwner_, trayId_);
        });
    }
    tray_->Show(icon.width, icon.height, Unpremultiplied(icon), win::ToUtf8(tip));
}

void GtkDesktop::TrayRemove(HWND owner, UINT id) {
    if (!tray_ || owner != trayOwner_ || id != trayId_)
        return;
    tray_->Hide();
    trayOwner_ = nullptr;
}

bool GtkDesktop::TrayShown() {
    return tray_ && trayOwner_ && tray_->IsShown();
}

int GtkDesktop::MessageBox(HWND owner, const std::wstring& text, const std::wstring& caption,
                           UINT type) {
    Native* top = ToplevelOf(owner);
    GtkWindow* parent = top ? GTK_WINDOW(top->widget) : nullptr;
    return RunMessageBox(parent, win::ToUtf8(text), win::ToUtf8(caption), type);
}

bool GtkDesktop::OpenUri(const std::wstring& uri) {
    const std::string u = win::ToUtf8(uri);
    if (u.empty())
        return false;
    GError* error = nullptr;
    const gboolean ok = g_app_info_launch_default_for_uri(u.c_str(), nullptr, &error);
    if (error)
        g_error_free(error);
    return ok != FALSE;
}

void GtkDesktop::WaitForEvents() {
    g_main_context_iteration(nullptr, TRUE);
}

// ---- Process set-up ----

std::unique_ptr<GtkDesktop> InitDesktop(int* argc, char*** argv) {
    // The client places its own windows, which Wayland does not allow: run on X11 (XWayland).
    setenv("GDK_BACKEND", "x11", 1);
    // Sizes and pictures are in device pixels.
    setenv("GDK_SCALE", "1", 1);
    setenv("GDK_DPI_SCALE", "1", 1);
    if (!gtk_init_check(argc, argv))
        return nullptr;
    return std::make_unique<GtkDesktop>();
}

}  // namespace gtkdesk
