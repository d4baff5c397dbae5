#pragma once
// GDK key events as the virtual-key codes the core's key messages carry.

#include "platform/win/types.h"

// After the window-system headers: GLib defines TRUE and FALSE as macros.
#include <gdk/gdk.h>

namespace gtkdesk {

// The virtual key of a key event; keys without a code give 0xFF, which is still delivered.
WPARAM VirtualKeyOf(const GdkEventKey* event);

}  // namespace gtkdesk
