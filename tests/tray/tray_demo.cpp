// Shows a 48x48 tray icon and reports on stdout, one line each:
//   "ACTIVATED"        each time the icon is activated,
//   "SHOWN 0" / "SHOWN 1" when a host starts or stops displaying it.
// Lines on stdin drive it: "hide", "show", "ping" (answers "PONG"), "quit".
// SIGTERM/SIGINT quit cleanly.
#include <glib-unix.h>
#include <gtk/gtk.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/backend/gtk/tray_icon.h"

namespace {

std::vector<uint32_t> MakeIcon(int side) {
    std::vector<uint32_t> px(static_cast<size_t>(side) * side, 0);
    const double c = (side - 1) / 2.0;
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            const double d = std::hypot(x - c, y - c);
            if (d <= side / 2.0 - 1) {
                const uint32_t g = static_cast<uint32_t>(255.0 * y / side);
                px[static_cast<size_t>(y) * side + x] =
                    0xFF000000u | 0x00D00000u | (g << 8) | 0x30u;
            }
        }
    }
    return px;
}

void Say(const char* line) {
    std::printf("%s\n", line);
    std::fflush(stdout);
}

// The watcher answers calls in order, so once this returns its earlier replies to the tray
// icon have arrived and wait in the main context. No watcher: fails at once, harmlessly.
void RoundTripToWatcher() {
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (!bus) return;
    GVariant* reply = g_dbus_connection_call_sync(
        bus, "org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher",
        "org.freedesktop.DBus.Properties", "Get",
        g_variant_new("(ss)", "org.kde.StatusNotifierWatcher", "IsStatusNotifierHostRegistered"),
        nullptr, G_DBUS_CALL_FLAGS_NO_AUTO_START, 2000, nullptr, nullptr);
    if (reply) g_variant_unref(reply);
    g_object_unref(bus);
}

gboolean OnQuitSignal(gpointer) {
    gtk_main_quit();
    return G_SOURCE_REMOVE;
}

}  // namespace

int main(int argc, char** argv) {
    gtk_init(&argc, &argv);
    const std::vector<uint32_t> icon = MakeIcon(48);

    gtkdesk::TrayIcon tray([] { Say("ACTIVATED"); });
    tray.SetShownChangedCallback([](bool shown) { Say(shown ? "SHOWN 1" : "SHOWN 0"); });
    tray.Show(48, 48, icon, "Nebrisk tray demo");

    g_unix_signal_add(SIGTERM, OnQuitSignal, nullptr);
    g_unix_signal_add(SIGINT, OnQuitSignal, nullptr);

    struct Ctx {
        gtkdesk::TrayIcon* tray;
        const std::vector<uint32_t>* icon;
    } ctx{&tray, &icon};
    GIOChannel* in = g_io_channel_unix_new(0);
    g_io_add_watch(
        in, static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR),
        [](GIOChannel* ch, GIOCondition, gpointer data) -> gboolean {
            auto* c = static_cast<Ctx*>(data);
            gchar* line = nullptr;
            const GIOStatus st = g_io_channel_read_line(ch, &line, nullptr, nullptr, nullptr);
            if (st != G_IO_STATUS_NORMAL) {
                g_free(line);
                // stdin closed: keep running until a signal arrives.
                return G_SOURCE_REMOVE;
            }
            g_strstrip(line);
            if (std::strcmp(line, "hide") == 0) {
                c->tray->Hide();
            } else if (std::strcmp(line, "show") == 0) {
                c->tray->Show(48, 48, *c->icon, "Nebrisk tray demo");
            } else if (std::strcmp(line, "ping") == 0) {
                // A barrier for drivers: everything the X server sent before now (XTEST
                // clicks included), replies the tray watcher sent before now, and the
                // activations they queued are handled before PONG.
                gdk_display_sync(gdk_display_get_default());
                RoundTripToWatcher();
                while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
                Say("PONG");
            } else if (std::strcmp(line, "quit") == 0) {
                gtk_main_quit();
            }
            g_free(line);
            return G_SOURCE_CONTINUE;
        },
        &ctx);
    g_io_channel_unref(in);

    gtk_main();
    Say("EXIT");
    return 0;
}
