// What the main window remembers between runs: its zoom level and its size
// when not maximized. Kept in $XDG_STATE_HOME/orvella/window.ini; a missing
// or damaged file gives the defaults. Main thread only.
#pragma once

namespace qil::gtk {

struct WindowState {
  static constexpr double kMinZoom = 0.3;
  static constexpr double kMaxZoom = 5.0;

  int width = 870;
  int height = 600;
  double zoom = 1.0;

  static WindowState Load();
  void Save() const;
};

}  // namespace qil::gtk
