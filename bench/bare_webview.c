// Reference for the startup and memory benchmark: a window with a web view and nothing else.
//   bare_webview [--maximize] [--default-accel] URL
// Hardware acceleration is off unless --default-accel, as in the client, so both draw the same way.
#include <gtk/gtk.h>
#include <string.h>
#include <webkit2/webkit2.h>

int main(int argc, char** argv) {
    gboolean maximize = FALSE, default_accel = FALSE;
    const char* url = NULL;
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--maximize") == 0)
            maximize = TRUE;
        else if (strcmp(argv[i], "--default-accel") == 0)
            default_accel = TRUE;
        else
            url = argv[i];
    }
    if (!url) {
        g_printerr("usage: %s [--maximize] [--default-accel] URL\n", argv[0]);
        return 2;
    }
    gtk_init(&argc, &argv);
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_default_size(GTK_WINDOW(window), 712, 400);
    if (maximize) gtk_window_maximize(GTK_WINDOW(window));
    GtkWidget* view = webkit_web_view_new();
    if (!default_accel) {
        webkit_settings_set_hardware_acceleration_policy(
            webkit_web_view_get_settings(WEBKIT_WEB_VIEW(view)),
            WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
    }
    gtk_container_add(GTK_CONTAINER(window), view);
    g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), NULL);
    webkit_web_view_load_uri(WEBKIT_WEB_VIEW(view), url);
    gtk_widget_show_all(window);
    gtk_main();
    return 0;
}
