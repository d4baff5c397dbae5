#pragma once
// Web views of the core ("WebView" windows) as WebKitGTK views: loading, silence, and the host
// object a page reaches as window.external.

#include <string>
#include <vector>

#include "platform/backend/backend.h"

// After the window-system headers: GLib defines TRUE and FALSE as macros.
#include <gtk/gtk.h>
#include <jsc/jsc.h>

namespace gtkdesk {

// A new web view for the core window `view`; its signals carry `view` and end in ReleaseWebView.
GtkWidget* CreateWebView(HWND view);
// Disconnects everything that could call back for `view`; the widget is destroyed by the caller.
void ReleaseWebView(GtkWidget* widget, HWND view);

void NavigateWebView(GtkWidget* widget, const std::string& urlUtf8);
void LoadHtmlInWebView(GtkWidget* widget, const std::string& html, const std::string& baseUtf8);
void SetWebViewSilent(GtkWidget* widget, HWND view, bool silent);
void SetWebViewHostObject(GtkWidget* widget, HWND view,
                          const std::vector<win::ExternalMethod>& methods);

// The page script that defines window.external for `methods` (exposed for tests).
std::string HostObjectScript(const std::vector<win::ExternalMethod>& methods);
// Reads a message the host script posted. False when it is malformed or carries a value the
// host cannot turn into text (the page has already been told so).
bool ReadScriptCall(JSCValue* message, win::ScriptCall& call);

}  // namespace gtkdesk
