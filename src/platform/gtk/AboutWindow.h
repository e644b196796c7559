// The about window: the disc's about picture in a borderless window above
// all others, centred, the size of the picture. A click anywhere on it hides
// it again; showing it twice shows it once. Without a decodable picture it
// is an empty window of the designed size. Main thread only.
#pragma once

#include <gtk/gtk.h>

#include <string>

namespace qil::gtk {

class AboutWindow {
 public:
  static constexpr int kDesignedWidth = 498;
  static constexpr int kDesignedHeight = 314;

  AboutWindow();
  ~AboutWindow();
  AboutWindow(const AboutWindow&) = delete;
  AboutWindow& operator=(const AboutWindow&) = delete;

  void SetTitle(const std::string& title);
  // The picture, as JPEG bytes.
  void SetPicture(const std::string& jpeg);
  void Show();
  void Hide();
  bool Visible() const;

 private:
  GtkWidget* window_;
  GtkWidget* image_;
};

}  // namespace qil::gtk
