#pragma once
// The desktop's question box: a modal GTK message dialog answering with the core's button ids.

#include <string>

#include "platform/win/types.h"

// After the window-system headers: GLib defines TRUE and FALSE as macros.
#include <gtk/gtk.h>

namespace gtkdesk {

// Runs the box modally (a nested main loop) over `parent` (may be null). MB_YESNO offers
// "是(Y)" and "否(N)", Yes being the default; closing the box answers No. Anything else is an
// OK box answering IDOK.
int RunMessageBox(GtkWindow* parent, const std::string& textUtf8, const std::string& captionUtf8,
                  UINT type);

}  // namespace gtkdesk
