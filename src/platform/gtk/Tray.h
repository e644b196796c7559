// The tray icon: the title as its hint, a menu with the title (shows the
// about window), a separator, "Share with the class" (which reads "Stop
// sharing with the class" while the disc is shared) and "Exit" (ends the
// program without asking).
// Where the desktop has no tray the icon simply does not appear; the main
// window's F1 shows the about window there. Main thread only.
#pragma once

#include <gtk/gtk.h>

#include <functional>
#include <string>

typedef struct _AppIndicator AppIndicator;

namespace qil::gtk {

class Tray {
 public:
  Tray(std::function<void()> on_about, std::function<void()> on_share,
       std::function<void()> on_exit);
  ~Tray();
  Tray(const Tray&) = delete;
  Tray& operator=(const Tray&) = delete;

  void SetTitle(const std::string& title);
  void Activate();
  // Names the sharing entry after what choosing it does.
  void SetSharing(bool sharing);

 private:
  std::function<void()> on_about_;
  std::function<void()> on_share_;
  std::function<void()> on_exit_;
  AppIndicator* indicator_ = nullptr;
  GtkWidget* menu_;
  GtkWidget* about_item_;
  GtkWidget* share_item_;
};

}  // namespace qil::gtk
