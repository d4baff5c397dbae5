// Notification-area icon for the game window on the Linux desktop.
//
// Prefers a StatusNotifierItem on the session bus (modern panels); falls back to an XEmbed
// GtkStatusIcon when no StatusNotifierWatcher is on the bus, and switches between the two as
// watchers come and go. Only one of the two is visible at a time. Must be used on the GTK main
// thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace gtkdesk {

class TrayIcon {
  public:
    // Called on the GTK main thread when the user activates the icon with the left button
    // (SNI Activate, or XEmbed button-release of button 1).
    explicit TrayIcon(std::function<void()> onActivate);
    ~TrayIcon();  // removes everything, unowns bus names, disconnects signals

    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    // Shows the icon (or updates it when already shown): pixels are width*height 0xAARRGGBB,
    // NOT premultiplied, top-down rows. A pixel vector shorter than width*height is padded with
    // transparent pixels; non-positive or oversized dimensions give an empty icon.
    void Show(int width, int height, const std::vector<uint32_t>& argb,
              const std::string& titleUtf8);
    void Hide();  // idempotent; hiding a hidden icon is harmless
    // True only when a host really displays it (SNI host registered and our item registered, or
    // XEmbed embedded).
    bool IsShown() const;
    // Called (on the main thread) each time IsShown() changes.
    void SetShownChangedCallback(std::function<void(bool)> cb);

    struct Impl;

  private:
    std::shared_ptr<Impl> impl_;
};

}  // namespace gtkdesk
