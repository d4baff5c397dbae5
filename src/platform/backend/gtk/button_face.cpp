#include "platform/backend/gtk/button_face.h"

#include "platform/win/api.h"

namespace gtkdesk {

ButtonFace::~ButtonFace() {
    DropCache();
}

void ButtonFace::DropCache() {
    for (auto*& s : cache_) {
        if (s) cairo_surface_destroy(s);
        s = nullptr;
    }
}

void ButtonFace::SetImages(const gdiplus::PixelImage* normal, const gdiplus::PixelImage* hot) {
    const gdiplus::PixelImage* from[2] = {normal, hot};
    for (int i = 0; i < 2; ++i) {
        has_[i] = from[i] != nullptr;
        images_[i] = from[i] ? *from[i] : gdiplus::PixelImage{};
    }
    DropCache();
}

void ButtonFace::SetKey(KeyPixel key) {
    if (key.active == key_.active && key.value == key_.value) return;
    key_ = key;
    DropCache();
}

cairo_surface_t* ButtonFace::Current() {
    const int i = hot && has_[1] ? 1 : 0;
    if (!has_[i]) return nullptr;
    if (!cache_[i]) cache_[i] = SurfaceFromImage(images_[i], key_);
    return cache_[i];
}

void ButtonFace::Origin(int width, int height, cairo_surface_t* face, int* x, int* y) const {
    *x = *y = 0;
    if (!face) return;
    *x = (width - cairo_image_surface_get_width(face)) / 2;
    *y = (height - cairo_image_surface_get_height(face)) / 2;
}

namespace {

HWND Hwnd(gpointer data) {
    return static_cast<HWND>(data);
}

gboolean OnDraw(GtkWidget* widget, cairo_t* cr, gpointer data) {
    ButtonFace* face = FindButtonFace(Hwnd(data));
    cairo_surface_t* s = face ? face->Current() : nullptr;
    // Where the picture does not reach, nothing is drawn: the parent's background shows.
    if (!s) return TRUE;
    int x, y;
    face->Origin(gtk_widget_get_allocated_width(widget), gtk_widget_get_allocated_height(widget), s,
                 &x, &y);
    cairo_set_source_surface(cr, s, x, y);
    cairo_paint(cr);
    return TRUE;
}

void OnRealize(GtkWidget* widget, gpointer) {
    GdkCursor* hand = gdk_cursor_new_from_name(gtk_widget_get_display(widget), "pointer");
    gdk_window_set_cursor(gtk_widget_get_window(widget), hand);
    if (hand) g_object_unref(hand);
}

gboolean OnCrossing(GtkWidget* widget, GdkEventCrossing* event, gpointer data) {
    const HWND hwnd = Hwnd(data);
    ButtonFace* face = FindButtonFace(hwnd);
    if (!face || event->detail == GDK_NOTIFY_INFERIOR) return TRUE;
    const bool inside = event->type == GDK_ENTER_NOTIFY;
    if (face->hot == inside) return TRUE;
    face->hot = inside;
    gtk_widget_queue_draw(widget);
    SendMessageW(hwnd, inside ? WM_MOUSEMOVE : WM_MOUSELEAVE, 0,
                 MAKELPARAM(static_cast<int>(event->x), static_cast<int>(event->y)));
    return TRUE;
}

gboolean OnPress(GtkWidget*, GdkEventButton* event, gpointer data) {
    ButtonFace* face = FindButtonFace(Hwnd(data));
    if (face && event->type == GDK_BUTTON_PRESS && event->button == 1) face->pressed = true;
    return TRUE;
}

gboolean OnRelease(GtkWidget* widget, GdkEventButton* event, gpointer data) {
    const HWND hwnd = Hwnd(data);
    ButtonFace* face = FindButtonFace(hwnd);
    if (!face || event->button != 1) return TRUE;
    const bool wasPressed = face->pressed;
    face->pressed = false;
    const bool inside = event->x >= 0 && event->y >= 0 &&
                        event->x < gtk_widget_get_allocated_width(widget) &&
                        event->y < gtk_widget_get_allocated_height(widget);
    if (!wasPressed || !inside || !IsWindowEnabled(hwnd)) return TRUE;
    const HWND parent = GetParent(hwnd);
    // The parent may close windows or run a question box from here; nothing is used afterwards.
    SendMessageW(parent, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(GetDlgCtrlID(hwnd)), BN_CLICKED),
                 reinterpret_cast<LPARAM>(hwnd));
    return TRUE;
}

}  // namespace

GtkWidget* CreateFaceButton(HWND hwnd) {
    GtkWidget* area = gtk_drawing_area_new();
    gtk_widget_add_events(area, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK |
                                    GDK_ENTER_NOTIFY_MASK | GDK_LEAVE_NOTIFY_MASK);
    const gpointer data = static_cast<gpointer>(hwnd);
    g_signal_connect(area, "draw", G_CALLBACK(OnDraw), data);
    g_signal_connect(area, "realize", G_CALLBACK(OnRealize), data);
    g_signal_connect(area, "enter-notify-event", G_CALLBACK(OnCrossing), data);
    g_signal_connect(area, "leave-notify-event", G_CALLBACK(OnCrossing), data);
    g_signal_connect(area, "button-press-event", G_CALLBACK(OnPress), data);
    g_signal_connect(area, "button-release-event", G_CALLBACK(OnRelease), data);
    return area;
}

}  // namespace gtkdesk
