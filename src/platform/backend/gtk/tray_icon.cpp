#include "platform/backend/gtk/tray_icon.h"

#include <gio/gio.h>
#include <gtk/gtk.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>

namespace gtkdesk {
namespace {

constexpr char kWatcherName[] = "org.kde.StatusNotifierWatcher";
constexpr char kWatcherPath[] = "/StatusNotifierWatcher";
constexpr char kWatcherIface[] = "org.kde.StatusNotifierWatcher";
constexpr char kItemPath[] = "/StatusNotifierItem";
constexpr char kItemIface[] = "org.kde.StatusNotifierItem";
constexpr char kMenuPath[] = "/MenuBar";
constexpr char kMenuIface[] = "com.canonical.dbusmenu";
constexpr char kRestoreLabel[] = "\u6062\u590d";  // "restore"
constexpr int kRestoreItemId = 1;
constexpr int kMaxIconSide = 1024;
constexpr guint kFirstRetryMs = 50;
constexpr guint kMaxRetryMs = 2000;
constexpr int kCallTimeoutMs = 10000;

constexpr char kItemXml[] = R"XML(<node>
  <interface name="org.kde.StatusNotifierItem">
    <property name="Category" type="s" access="read"/>
    <property name="Id" type="s" access="read"/>
    <property name="Title" type="s" access="read"/>
    <property name="Status" type="s" access="read"/>
    <property name="WindowId" type="i" access="read"/>
    <property name="IconName" type="s" access="read"/>
    <property name="IconThemePath" type="s" access="read"/>
    <property name="IconPixmap" type="a(iiay)" access="read"/>
    <property name="OverlayIconName" type="s" access="read"/>
    <property name="OverlayIconPixmap" type="a(iiay)" access="read"/>
    <property name="AttentionIconName" type="s" access="read"/>
    <property name="AttentionIconPixmap" type="a(iiay)" access="read"/>
    <property name="AttentionMovieName" type="s" access="read"/>
    <property name="ToolTip" type="(sa(iiay)ss)" access="read"/>
    <property name="ItemIsMenu" type="b" access="read"/>
    <property name="Menu" type="o" access="read"/>
    <method name="Activate">
      <arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/>
    </method>
    <method name="SecondaryActivate">
      <arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/>
    </method>
    <method name="ContextMenu">
      <arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/>
    </method>
    <method name="Scroll">
      <arg name="delta" type="i" direction="in"/><arg name="orientation" type="s" direction="in"/>
    </method>
    <method name="ProvideXdgActivationToken">
      <arg name="token" type="s" direction="in"/>
    </method>
    <signal name="NewTitle"/>
    <signal name="NewIcon"/>
    <signal name="NewAttentionIcon"/>
    <signal name="NewOverlayIcon"/>
    <signal name="NewToolTip"/>
    <signal name="NewStatus"><arg name="status" type="s"/></signal>
  </interface>
</node>)XML";

constexpr char kMenuXml[] = R"XML(<node>
  <interface name="com.canonical.dbusmenu">
    <property name="Version" type="u" access="read"/>
    <property name="TextDirection" type="s" access="read"/>
    <property name="Status" type="s" access="read"/>
    <property name="IconThemePath" type="as" access="read"/>
    <method name="GetLayout">
      <arg name="parentId" type="i" direction="in"/>
      <arg name="recursionDepth" type="i" direction="in"/>
      <arg name="propertyNames" type="as" direction="in"/>
      <arg name="revision" type="u" direction="out"/>
      <arg name="layout" type="(ia{sv}av)" direction="out"/>
    </method>
    <method name="GetGroupProperties">
      <arg name="ids" type="ai" direction="in"/>
      <arg name="propertyNames" type="as" direction="in"/>
      <arg name="properties" type="a(ia{sv})" direction="out"/>
    </method>
    <method name="GetProperty">
      <arg name="id" type="i" direction="in"/>
      <arg name="name" type="s" direction="in"/>
      <arg name="value" type="v" direction="out"/>
    </method>
    <method name="Event">
      <arg name="id" type="i" direction="in"/>
      <arg name="eventId" type="s" direction="in"/>
      <arg name="data" type="v" direction="in"/>
      <arg name="timestamp" type="u" direction="in"/>
    </method>
    <method name="EventGroup">
      <arg name="events" type="a(isvu)" direction="in"/>
      <arg name="idErrors" type="ai" direction="out"/>
    </method>
    <method name="AboutToShow">
      <arg name="id" type="i" direction="in"/>
      <arg name="needUpdate" type="b" direction="out"/>
    </method>
    <method name="AboutToShowGroup">
      <arg name="ids" type="ai" direction="in"/>
      <arg name="updatesNeeded" type="ai" direction="out"/>
      <arg name="idErrors" type="ai" direction="out"/>
    </method>
    <signal name="ItemsPropertiesUpdated">
      <arg name="updatedProps" type="a(ia{sv})"/>
      <arg name="removedProps" type="a(ias)"/>
    </signal>
    <signal name="LayoutUpdated">
      <arg name="revision" type="u"/><arg name="parent" type="i"/>
    </signal>
    <signal name="ItemActivationRequested">
      <arg name="id" type="i"/><arg name="timestamp" type="u"/>
    </signal>
  </interface>
</node>)XML";

std::atomic<int> g_instanceCounter{0};

// Registration can race with a restarting watcher (name owned, object not yet exported) or a
// watcher that is briefly busy; these are worth retrying while it stays on the bus.
bool IsTransientRegisterError(const GError* err) {
    return g_error_matches(err, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_OBJECT) ||
           g_error_matches(err, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_METHOD) ||
           g_error_matches(err, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_INTERFACE) ||
           g_error_matches(err, G_DBUS_ERROR, G_DBUS_ERROR_SERVICE_UNKNOWN) ||
           g_error_matches(err, G_DBUS_ERROR, G_DBUS_ERROR_NAME_HAS_NO_OWNER) ||
           g_error_matches(err, G_DBUS_ERROR, G_DBUS_ERROR_NO_REPLY) ||
           g_error_matches(err, G_DBUS_ERROR, G_DBUS_ERROR_TIMEOUT) ||
           g_error_matches(err, G_IO_ERROR, G_IO_ERROR_TIMED_OUT);
}

bool IsCancelled(const GError* err) {
    return g_error_matches(err, G_IO_ERROR, G_IO_ERROR_CANCELLED);
}

GVariant* MenuItemProps(int id) {
    GVariantBuilder b;
    g_variant_builder_init(&b, G_VARIANT_TYPE("a{sv}"));
    if (id == 0) {
        g_variant_builder_add(&b, "{sv}", "children-display", g_variant_new_string("submenu"));
    } else {
        g_variant_builder_add(&b, "{sv}", "label", g_variant_new_string(kRestoreLabel));
        g_variant_builder_add(&b, "{sv}", "enabled", g_variant_new_boolean(TRUE));
        g_variant_builder_add(&b, "{sv}", "visible", g_variant_new_boolean(TRUE));
    }
    return g_variant_builder_end(&b);
}

bool IsMenuId(int id) {
    return id == 0 || id == kRestoreItemId;
}

GVariant* MenuLayout(int id, int depth) {
    GVariantBuilder children;
    g_variant_builder_init(&children, G_VARIANT_TYPE("av"));
    if (id == 0 && depth != 0) {
        g_variant_builder_add(&children, "v", MenuLayout(kRestoreItemId, 0));
    }
    return g_variant_new("(i@a{sv}@av)", id, MenuItemProps(id), g_variant_builder_end(&children));
}

}  // namespace

struct TrayIcon::Impl : std::enable_shared_from_this<TrayIcon::Impl> {
    // Heap-held handle given to async GIO callbacks: they may run after the owner is gone.
    struct Ticket {
        std::weak_ptr<Impl> impl;
        unsigned generation;
    };

    explicit Impl(std::function<void()> cb) : onActivate(std::move(cb)) {
        busName = "org.kde.StatusNotifierItem-" + std::to_string(getpid()) + "-" +
                  std::to_string(++g_instanceCounter);
        cancel = g_cancellable_new();
        itemInfo = g_dbus_node_info_new_for_xml(kItemXml, nullptr);
        menuInfo = g_dbus_node_info_new_for_xml(kMenuXml, nullptr);
    }

    void Start() {
        g_bus_get(G_BUS_TYPE_SESSION, cancel, &Impl::OnBusReady, new Ticket{weak_from_this(), 0});
    }

    // ----- state -----
    std::function<void()> onActivate;
    std::function<void(bool)> onShownChanged;
    std::string busName;
    bool alive = true;

    bool wanted = false;
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixmapBE;  // ARGB32 in network byte order, as the SNI wants it
    std::string title;

    GCancellable* cancel = nullptr;
    GDBusNodeInfo* itemInfo = nullptr;
    GDBusNodeInfo* menuInfo = nullptr;
    GDBusConnection* bus = nullptr;
    bool busResolved = false;
    guint watchId = 0;
    bool watcherResolved = false;
    bool watcherPresent = false;
    guint watcherSignalId = 0;

    guint itemRegId = 0;
    guint menuRegId = 0;
    guint ownId = 0;
    bool nameAcquired = false;
    bool sniBroken = false;  // export failed or bus name taken; XEmbed until the next Show

    unsigned regGeneration = 0;  // bumped whenever registration state resets
    bool registerPending = false;
    bool itemRegistered = false;
    bool hostKnown = false;
    bool hostRegistered = false;
    bool sniRejected = false;  // watcher refused us; XEmbed until it reappears
    guint retrySource = 0;
    guint retryDelayMs = kFirstRetryMs;

    GtkStatusIcon* statusIcon = nullptr;
    gulong releaseHandler = 0;
    gulong embeddedHandler = 0;

    bool shownReported = false;

    // ----- helpers -----
    bool SniShown() const { return ownId != 0 && itemRegistered && hostRegistered; }

    bool XembedShown() const {
        if (!statusIcon) return false;
        G_GNUC_BEGIN_IGNORE_DEPRECATIONS
        return gtk_status_icon_get_visible(statusIcon) && gtk_status_icon_is_embedded(statusIcon);
        G_GNUC_END_IGNORE_DEPRECATIONS
    }

    bool Shown() const { return wanted && (SniShown() || XembedShown()); }

    GVariant* PixmapVariant() const {
        GVariantBuilder b;
        g_variant_builder_init(&b, G_VARIANT_TYPE("a(iiay)"));
        if (!pixmapBE.empty()) {
            GVariant* bytes =
                g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, pixmapBE.data(), pixmapBE.size(), 1);
            g_variant_builder_add(&b, "(ii@ay)", width, height, bytes);
        }
        return g_variant_builder_end(&b);
    }

    GVariant* EmptyPixmap() const {
        return g_variant_new_array(G_VARIANT_TYPE("(iiay)"), nullptr, 0);
    }

    GdkPixbuf* MakePixbuf() const {
        if (pixmapBE.empty()) {
            GdkPixbuf* pb = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, 16, 16);
            gdk_pixbuf_fill(pb, 0);
            return pb;
        }
        GdkPixbuf* pb = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, width, height);
        const int stride = gdk_pixbuf_get_rowstride(pb);
        guchar* dst = gdk_pixbuf_get_pixels(pb);
        for (int y = 0; y < height; ++y) {
            const uint8_t* src = pixmapBE.data() + static_cast<size_t>(y) * width * 4;
            guchar* row = dst + static_cast<size_t>(y) * stride;
            for (int x = 0; x < width; ++x) {
                row[x * 4 + 0] = src[x * 4 + 1];
                row[x * 4 + 1] = src[x * 4 + 2];
                row[x * 4 + 2] = src[x * 4 + 3];
                row[x * 4 + 3] = src[x * 4 + 0];
            }
        }
        return pb;
    }

    // Activation runs from an idle so the owner may destroy us inside the callback without
    // pulling GDBus/GTK state out from under a dispatch in progress.
    void QueueActivate() {
        g_idle_add_full(
            G_PRIORITY_DEFAULT,
            [](gpointer data) -> gboolean {
                auto self = static_cast<Ticket*>(data)->impl.lock();
                if (self && self->alive && self->onActivate) {
                    auto cb = self->onActivate;
                    cb();
                }
                return G_SOURCE_REMOVE;
            },
            new Ticket{weak_from_this(), 0},
            [](gpointer data) { delete static_cast<Ticket*>(data); });
    }

    void ReportShown() {
        const bool now = Shown();
        if (now == shownReported) return;
        shownReported = now;
        if (onShownChanged) {
            auto keep = shared_from_this();
            auto cb = onShownChanged;
            cb(now);
        }
    }

    void EmitItemSignal(const char* name, GVariant* params) {
        if (bus && itemRegId) {
            g_dbus_connection_emit_signal(bus, nullptr, kItemPath, kItemIface, name, params,
                                          nullptr);
        } else if (params) {
            g_variant_unref(g_variant_ref_sink(params));
        }
    }

    // ----- state machine -----
    void ResetRegistration() {
        ++regGeneration;
        registerPending = false;
        itemRegistered = false;
        hostKnown = false;
        hostRegistered = false;
        retryDelayMs = kFirstRetryMs;
        if (retrySource) {
            g_source_remove(retrySource);
            retrySource = 0;
        }
    }

    void Update() {
        if (!alive) return;
        const bool sniWanted = wanted && bus && !sniBroken;
        if (sniWanted) {
            Export();
        } else {
            Unexport();
        }
        const bool canRegister = sniWanted && nameAcquired && watcherPresent && !sniRejected;
        if (canRegister && !itemRegistered && !registerPending) StartRegister();

        // The SNI route wins while a watcher is there, except when it has no host to show us:
        // then the XEmbed icon may be visible instead (nothing displays the SNI item).
        const bool sniActive = sniWanted && watcherPresent && !sniRejected &&
                               (!itemRegistered || !hostKnown || hostRegistered);
        const bool routeKnown = busResolved && (!bus || watcherResolved);
        SetStatusIconVisible(wanted && routeKnown && !sniActive);
        ReportShown();
    }

    void Export() {
        if (!itemRegId) {
            static const GDBusInterfaceVTable vtable = {
                &Impl::ItemMethodCall, &Impl::ItemGetProperty, nullptr, {}};
            GError* err = nullptr;
            itemRegId = g_dbus_connection_register_object(bus, kItemPath, itemInfo->interfaces[0],
                                                          &vtable, this, nullptr, &err);
            if (!itemRegId) return FailExport(err);
        }
        if (!menuRegId) {
            static const GDBusInterfaceVTable vtable = {
                &Impl::MenuMethodCall, &Impl::MenuGetProperty, nullptr, {}};
            GError* err = nullptr;
            menuRegId = g_dbus_connection_register_object(bus, kMenuPath, menuInfo->interfaces[0],
                                                          &vtable, this, nullptr, &err);
            if (!menuRegId) return FailExport(err);
        }
        if (!ownId) {
            ownId = g_bus_own_name_on_connection(
                bus, busName.c_str(), G_BUS_NAME_OWNER_FLAGS_DO_NOT_QUEUE, &Impl::OnNameAcquired,
                &Impl::OnNameLost, this, nullptr);
        }
    }

    void FailExport(GError* err) {
        g_warning("tray: cannot export status notifier item: %s", err ? err->message : "?");
        g_clear_error(&err);
        sniBroken = true;
        Unexport();
    }

    void Unexport() {
        if (ownId) {
            g_bus_unown_name(ownId);
            ownId = 0;
        }
        nameAcquired = false;
        if (bus && itemRegId) g_dbus_connection_unregister_object(bus, itemRegId);
        if (bus && menuRegId) g_dbus_connection_unregister_object(bus, menuRegId);
        itemRegId = 0;
        menuRegId = 0;
        ResetRegistration();
    }

    void StartRegister() {
        registerPending = true;
        g_dbus_connection_call(bus, kWatcherName, kWatcherPath, kWatcherIface,
                               "RegisterStatusNotifierItem", g_variant_new("(s)", busName.c_str()),
                               nullptr, G_DBUS_CALL_FLAGS_NO_AUTO_START, kCallTimeoutMs, cancel,
                               &Impl::OnRegisterReply, new Ticket{weak_from_this(), regGeneration});
    }

    void QueryHost() {
        g_dbus_connection_call(
            bus, kWatcherName, kWatcherPath, "org.freedesktop.DBus.Properties", "Get",
            g_variant_new("(ss)", kWatcherIface, "IsStatusNotifierHostRegistered"),
            G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NO_AUTO_START, kCallTimeoutMs, cancel,
            &Impl::OnHostReply, new Ticket{weak_from_this(), regGeneration});
    }

    void SetStatusIconVisible(bool visible) {
        if (!visible && !statusIcon) return;
        G_GNUC_BEGIN_IGNORE_DEPRECATIONS
        if (!statusIcon) {
            // Created visible on purpose: constructing it hidden (or setting its name) and
            // showing it later trips a GdkWindow freeze-count assertion inside GTK's tray plug.
            statusIcon = gtk_status_icon_new();
            releaseHandler = g_signal_connect(statusIcon, "button-release-event",
                                              G_CALLBACK(&Impl::OnStatusRelease), this);
            embeddedHandler = g_signal_connect(statusIcon, "notify::embedded",
                                               G_CALLBACK(&Impl::OnStatusEmbedded), this);
            RefreshStatusIcon();
        }
        if (static_cast<bool>(gtk_status_icon_get_visible(statusIcon)) != visible) {
            gtk_status_icon_set_visible(statusIcon, visible);
        }
        G_GNUC_END_IGNORE_DEPRECATIONS
    }

    void RefreshStatusIcon() {
        if (!statusIcon) return;
        G_GNUC_BEGIN_IGNORE_DEPRECATIONS
        GdkPixbuf* pb = MakePixbuf();
        gtk_status_icon_set_from_pixbuf(statusIcon, pb);
        g_object_unref(pb);
        gtk_status_icon_set_title(statusIcon, title.c_str());
        gtk_status_icon_set_tooltip_text(statusIcon, title.c_str());
        G_GNUC_END_IGNORE_DEPRECATIONS
    }

    void Shutdown() {
        if (!alive) return;
        alive = false;
        g_cancellable_cancel(cancel);
        if (bus && watcherSignalId) g_dbus_connection_signal_unsubscribe(bus, watcherSignalId);
        watcherSignalId = 0;
        if (watchId) g_bus_unwatch_name(watchId);
        watchId = 0;
        Unexport();
        if (statusIcon) {
            G_GNUC_BEGIN_IGNORE_DEPRECATIONS
            g_signal_handler_disconnect(statusIcon, releaseHandler);
            g_signal_handler_disconnect(statusIcon, embeddedHandler);
            gtk_status_icon_set_visible(statusIcon, FALSE);
            G_GNUC_END_IGNORE_DEPRECATIONS
            g_clear_object(&statusIcon);
        }
        g_clear_object(&bus);
        g_clear_object(&cancel);
        g_clear_pointer(&itemInfo, g_dbus_node_info_unref);
        g_clear_pointer(&menuInfo, g_dbus_node_info_unref);
    }

    // ----- GIO / GTK callbacks -----
    static void OnBusReady(GObject*, GAsyncResult* res, gpointer data) {
        std::unique_ptr<Ticket> ticket(static_cast<Ticket*>(data));
        GError* err = nullptr;
        GDBusConnection* conn = g_bus_get_finish(res, &err);
        auto self = ticket->impl.lock();
        if (!self || !self->alive) {
            g_clear_object(&conn);
            g_clear_error(&err);
            return;
        }
        self->busResolved = true;
        if (!conn) {
            // No session bus: the XEmbed icon is all we can offer.
            g_message("tray: no session bus (%s)", err ? err->message : "?");
            g_clear_error(&err);
        } else {
            self->bus = conn;
            Impl* raw = self.get();
            self->watcherSignalId = g_dbus_connection_signal_subscribe(
                conn, kWatcherName, kWatcherIface, nullptr, kWatcherPath, nullptr,
                G_DBUS_SIGNAL_FLAGS_NONE, &Impl::OnWatcherSignal, raw, nullptr);
            self->watchId = g_bus_watch_name_on_connection(
                conn, kWatcherName, G_BUS_NAME_WATCHER_FLAGS_NONE, &Impl::OnWatcherAppeared,
                &Impl::OnWatcherVanished, raw, nullptr);
        }
        self->Update();
    }

    static void OnWatcherAppeared(GDBusConnection*, const gchar*, const gchar*, gpointer data) {
        auto* self = static_cast<Impl*>(data);
        self->watcherResolved = true;
        self->watcherPresent = true;
        self->sniRejected = false;
        self->ResetRegistration();
        self->Update();
    }

    static void OnWatcherVanished(GDBusConnection*, const gchar*, gpointer data) {
        auto* self = static_cast<Impl*>(data);
        self->watcherResolved = true;
        self->watcherPresent = false;
        self->sniRejected = false;
        self->ResetRegistration();
        self->Update();
    }

    static void OnWatcherSignal(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                                const gchar* signal, GVariant*, gpointer data) {
        auto* self = static_cast<Impl*>(data);
        if (!self->itemRegistered) return;
        if (std::strcmp(signal, "StatusNotifierHostRegistered") == 0) {
            self->hostKnown = true;
            self->hostRegistered = true;
            self->Update();
        } else if (std::strcmp(signal, "StatusNotifierHostUnregistered") == 0) {
            // Other hosts may remain; ask rather than assume.
            self->QueryHost();
        }
    }

    static void OnNameAcquired(GDBusConnection*, const gchar*, gpointer data) {
        auto* self = static_cast<Impl*>(data);
        self->nameAcquired = true;
        self->Update();
    }

    static void OnNameLost(GDBusConnection*, const gchar* name, gpointer data) {
        auto* self = static_cast<Impl*>(data);
        // Called when the name is taken or the connection closed; either way SNI is out.
        g_message("tray: lost bus name %s", name);
        self->sniBroken = true;
        self->Update();
    }

    static void OnRegisterReply(GObject* src, GAsyncResult* res, gpointer data) {
        std::unique_ptr<Ticket> ticket(static_cast<Ticket*>(data));
        GError* err = nullptr;
        GVariant* ret = g_dbus_connection_call_finish(G_DBUS_CONNECTION(src), res, &err);
        if (ret) g_variant_unref(ret);
        auto self = ticket->impl.lock();
        if (!self || !self->alive || IsCancelled(err) ||
            ticket->generation != self->regGeneration) {
            g_clear_error(&err);
            return;
        }
        if (!err) {
            self->registerPending = false;
            self->itemRegistered = true;
            self->retryDelayMs = kFirstRetryMs;
            self->QueryHost();
        } else if (IsTransientRegisterError(err) && self->watcherPresent) {
            // Stay "pending" while the back-off timer runs so Update() does not re-issue.
            const guint delay = self->retryDelayMs;
            self->retryDelayMs = std::min(self->retryDelayMs * 2, kMaxRetryMs);
            self->retrySource = g_timeout_add(delay, &Impl::OnRetry, self.get());
        } else {
            g_warning("tray: status notifier watcher refused the item: %s", err->message);
            self->registerPending = false;
            self->sniRejected = true;
        }
        g_clear_error(&err);
        self->Update();
    }

    static gboolean OnRetry(gpointer data) {
        auto* self = static_cast<Impl*>(data);
        self->retrySource = 0;
        self->registerPending = false;
        self->Update();
        return G_SOURCE_REMOVE;
    }

    static void OnHostReply(GObject* src, GAsyncResult* res, gpointer data) {
        std::unique_ptr<Ticket> ticket(static_cast<Ticket*>(data));
        GError* err = nullptr;
        GVariant* ret = g_dbus_connection_call_finish(G_DBUS_CONNECTION(src), res, &err);
        auto self = ticket->impl.lock();
        if (!self || !self->alive || IsCancelled(err) ||
            ticket->generation != self->regGeneration) {
            if (ret) g_variant_unref(ret);
            g_clear_error(&err);
            return;
        }
        bool registered = false;
        if (ret) {
            GVariant* inner = nullptr;
            g_variant_get(ret, "(v)", &inner);
            if (g_variant_is_of_type(inner, G_VARIANT_TYPE_BOOLEAN)) {
                registered = g_variant_get_boolean(inner);
            }
            g_variant_unref(inner);
            g_variant_unref(ret);
        } else {
            // A watcher that cannot say whether a host exists: assume none, so the owner never
            // hides its window behind an icon nobody shows.
            g_message("tray: cannot query tray host: %s", err->message);
            g_clear_error(&err);
        }
        self->hostKnown = true;
        self->hostRegistered = registered;
        self->Update();
    }

    static gboolean OnStatusRelease(GtkStatusIcon*, GdkEventButton* ev, gpointer data) {
        if (ev->button != 1) return FALSE;
        static_cast<Impl*>(data)->QueueActivate();
        return TRUE;
    }

    static void OnStatusEmbedded(GObject*, GParamSpec*, gpointer data) {
        static_cast<Impl*>(data)->Update();
    }

    static void ItemMethodCall(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                               const gchar* method, GVariant*, GDBusMethodInvocation* inv,
                               gpointer data) {
        auto* self = static_cast<Impl*>(data);
        g_dbus_method_invocation_return_value(inv, nullptr);
        // Only the primary click restores; context menu, scroll and tokens are accepted and
        // ignored so hosts do not report errors.
        if (std::strcmp(method, "Activate") == 0) self->QueueActivate();
    }

    static GVariant* ItemGetProperty(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                                     const gchar* prop, GError** error, gpointer data) {
        auto* self = static_cast<Impl*>(data);
        const std::string p = prop;
        if (p == "Category") return g_variant_new_string("ApplicationStatus");
        if (p == "Id") return g_variant_new_string("nebrisk");
        if (p == "Title") return g_variant_new_string(self->title.c_str());
        if (p == "Status") return g_variant_new_string("Active");
        if (p == "WindowId") return g_variant_new_int32(0);
        if (p == "IconName" || p == "IconThemePath" || p == "OverlayIconName" ||
            p == "AttentionIconName" || p == "AttentionMovieName") {
            return g_variant_new_string("");
        }
        if (p == "IconPixmap") return self->PixmapVariant();
        if (p == "OverlayIconPixmap" || p == "AttentionIconPixmap") return self->EmptyPixmap();
        if (p == "ToolTip") {
            return g_variant_new("(s@a(iiay)ss)", "", self->EmptyPixmap(), self->title.c_str(), "");
        }
        if (p == "ItemIsMenu") return g_variant_new_boolean(FALSE);
        if (p == "Menu") return g_variant_new_object_path(kMenuPath);
        g_set_error(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_PROPERTY, "No property %s", prop);
        return nullptr;
    }

    // Returns false for an unknown item id.
    bool MenuEvent(int id, const char* eventId) {
        if (!IsMenuId(id)) return false;
        if (id == kRestoreItemId && std::strcmp(eventId, "clicked") == 0) QueueActivate();
        return true;
    }

    static void MenuMethodCall(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                               const gchar* method, GVariant* params, GDBusMethodInvocation* inv,
                               gpointer data) {
        auto* self = static_cast<Impl*>(data);
        const std::string m = method;
        if (m == "GetLayout") {
            gint32 parent = 0;
            gint32 depth = -1;
            g_variant_get(params, "(ii^a&s)", &parent, &depth, nullptr);
            if (!IsMenuId(parent)) {
                g_dbus_method_invocation_return_error(inv, G_DBUS_ERROR, G_DBUS_ERROR_INVALID_ARGS,
                                                      "No menu item %d", parent);
                return;
            }
            g_dbus_method_invocation_return_value(
                inv, g_variant_new("(u@(ia{sv}av))", 1u, MenuLayout(parent, depth)));
        } else if (m == "GetGroupProperties") {
            GVariantIter* ids = nullptr;
            g_variant_get(params, "(ai^a&s)", &ids, nullptr);
            GVariantBuilder b;
            g_variant_builder_init(&b, G_VARIANT_TYPE("a(ia{sv})"));
            const bool all = g_variant_iter_n_children(ids) == 0;
            gint32 id = 0;
            for (int candidate : {0, kRestoreItemId}) {
                bool want = all;
                GVariantIter* it = g_variant_iter_copy(ids);
                while (!want && g_variant_iter_next(it, "i", &id)) want = id == candidate;
                g_variant_iter_free(it);
                if (want) {
                    g_variant_builder_add(&b, "(i@a{sv})", candidate, MenuItemProps(candidate));
                }
            }
            g_variant_iter_free(ids);
            g_dbus_method_invocation_return_value(
                inv, g_variant_new("(@a(ia{sv}))", g_variant_builder_end(&b)));
        } else if (m == "GetProperty") {
            gint32 id = 0;
            const gchar* name = nullptr;
            g_variant_get(params, "(i&s)", &id, &name);
            GVariant* value = nullptr;
            if (IsMenuId(id)) {
                GVariant* props = MenuItemProps(id);
                value = g_variant_lookup_value(props, name, nullptr);
                g_variant_unref(g_variant_ref_sink(props));
            }
            if (!value) {
                g_dbus_method_invocation_return_error(inv, G_DBUS_ERROR, G_DBUS_ERROR_INVALID_ARGS,
                                                      "No property %s on item %d", name, id);
                return;
            }
            g_dbus_method_invocation_return_value(
                inv, g_variant_new("(@v)", g_variant_new_variant(value)));
            g_variant_unref(value);
        } else if (m == "Event") {
            gint32 id = 0;
            const gchar* eventId = nullptr;
            g_variant_get(params, "(i&svu)", &id, &eventId, nullptr, nullptr);
            if (!IsMenuId(id)) {
                g_dbus_method_invocation_return_error(inv, G_DBUS_ERROR, G_DBUS_ERROR_INVALID_ARGS,
                                                      "No menu item %d", id);
                return;
            }
            g_dbus_method_invocation_return_value(inv, nullptr);
            self->MenuEvent(id, eventId);
        } else if (m == "EventGroup") {
            GVariantIter* events = nullptr;
            g_variant_get(params, "(a(isvu))", &events);
            GVariantBuilder errors;
            g_variant_builder_init(&errors, G_VARIANT_TYPE("ai"));
            gint32 id = 0;
            const gchar* eventId = nullptr;
            while (g_variant_iter_next(events, "(i&svu)", &id, &eventId, nullptr, nullptr)) {
                if (!self->MenuEvent(id, eventId)) g_variant_builder_add(&errors, "i", id);
            }
            g_variant_iter_free(events);
            g_dbus_method_invocation_return_value(
                inv, g_variant_new("(@ai)", g_variant_builder_end(&errors)));
        } else if (m == "AboutToShow") {
            g_dbus_method_invocation_return_value(inv, g_variant_new("(b)", FALSE));
        } else if (m == "AboutToShowGroup") {
            g_dbus_method_invocation_return_value(
                inv, g_variant_new("(@ai@ai)", g_variant_new("ai", nullptr),
                                   g_variant_new("ai", nullptr)));
        } else {
            g_dbus_method_invocation_return_error(inv, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_METHOD,
                                                  "Unknown method %s", method);
        }
    }

    static GVariant* MenuGetProperty(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                                     const gchar* prop, GError** error, gpointer) {
        const std::string p = prop;
        if (p == "Version") return g_variant_new_uint32(3);
        if (p == "TextDirection") return g_variant_new_string("ltr");
        if (p == "Status") return g_variant_new_string("normal");
        if (p == "IconThemePath") return g_variant_new_strv(nullptr, 0);
        g_set_error(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_PROPERTY, "No property %s", prop);
        return nullptr;
    }
};

TrayIcon::TrayIcon(std::function<void()> onActivate)
    : impl_(std::make_shared<Impl>(std::move(onActivate))) {
    impl_->Start();
}

TrayIcon::~TrayIcon() {
    // Callbacks already running keep their own reference; Shutdown makes them inert.
    impl_->Shutdown();
}

void TrayIcon::Show(int width, int height, const std::vector<uint32_t>& argb,
                    const std::string& titleUtf8) {
    Impl& d = *impl_;
    if (!d.alive) return;
    d.pixmapBE.clear();
    d.width = 0;
    d.height = 0;
    if (width > 0 && height > 0 && width <= kMaxIconSide && height <= kMaxIconSide) {
        const size_t count = static_cast<size_t>(width) * height;
        d.width = width;
        d.height = height;
        d.pixmapBE.resize(count * 4, 0);  // missing pixels stay transparent
        const size_t have = std::min(count, argb.size());
        for (size_t i = 0; i < have; ++i) {
            const uint32_t p = argb[i];
            d.pixmapBE[i * 4 + 0] = static_cast<uint8_t>(p >> 24);
            d.pixmapBE[i * 4 + 1] = static_cast<uint8_t>(p >> 16);
            d.pixmapBE[i * 4 + 2] = static_cast<uint8_t>(p >> 8);
            d.pixmapBE[i * 4 + 3] = static_cast<uint8_t>(p);
        }
    }
    // D-Bus strings must be valid UTF-8 without NULs.
    gchar* valid = g_utf8_make_valid(titleUtf8.c_str(), -1);
    d.title = valid;
    g_free(valid);

    if (!d.wanted) d.sniBroken = false;  // a fresh Show gets a fresh chance at the bus name
    d.wanted = true;
    d.EmitItemSignal("NewIcon", nullptr);
    d.EmitItemSignal("NewTitle", nullptr);
    d.EmitItemSignal("NewToolTip", nullptr);
    d.RefreshStatusIcon();
    // Keep ourselves alive across the shown-changed callback.
    auto keep = impl_;
    keep->Update();
}

void TrayIcon::Hide() {
    auto keep = impl_;
    if (!keep->alive || !keep->wanted) return;
    keep->wanted = false;
    keep->Update();
}

bool TrayIcon::IsShown() const {
    return impl_->alive && impl_->Shown();
}

void TrayIcon::SetShownChangedCallback(std::function<void(bool)> cb) {
    impl_->onShownChanged = std::move(cb);
}

}  // namespace gtkdesk
