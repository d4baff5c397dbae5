#pragma once
// Image buttons ("MfcButton" windows): a face drawn from a normal and a hot picture, a hand
// cursor, and a left click reported to the parent as BN_CLICKED.

#include "platform/backend/gtk/layered_surface.h"
#include "platform/gdiplus/pixel_image.h"
#include "platform/win/types.h"

// After the window-system headers: GLib defines TRUE and FALSE as macros.
#include <gtk/gtk.h>

namespace gtkdesk {

class ButtonFace {
  public:
    ButtonFace() = default;
    ~ButtonFace();
    ButtonFace(const ButtonFace&) = delete;
    ButtonFace& operator=(const ButtonFace&) = delete;

    // Copies the pictures: the caller's may go away.
    void SetImages(const gdiplus::PixelImage* normal, const gdiplus::PixelImage* hot);
    // Pixels of the window's key colour are see-through in the face.
    void SetKey(KeyPixel key);
    // The picture for the current state (hot while the pointer is inside, when there is one).
    cairo_surface_t* Current();
    // Where the face sits in a button of the given size: centred.
    void Origin(int width, int height, cairo_surface_t* face, int* x, int* y) const;

    bool hot = false;
    bool pressed = false;

  private:
    void DropCache();
    gdiplus::PixelImage images_[2];
    bool has_[2] = {false, false};
    KeyPixel key_;
    cairo_surface_t* cache_[2] = {nullptr, nullptr};
};

// A widget for button `hwnd`; its signals look the face up by handle, so a destroyed button is
// never touched.
GtkWidget* CreateFaceButton(HWND hwnd);
// Provided by the desktop: the face of a realised button, or null.
ButtonFace* FindButtonFace(HWND hwnd);

}  // namespace gtkdesk
