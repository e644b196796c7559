// The readme window: a small borderless window above all others, centred,
// with a client area of 699 x 315 pixels, shown before anything else. The
// page answers through its links: an address with "#YES#" accepts, one with
// "#NO#" declines ("#YES#" wins when both are there). Closing the window any
// other way (Escape, the window manager, the program being stopped)
// declines. Main thread only.
#pragma once

#include <webkit2/webkit2.h>

#include <string>

namespace qil::gtk {

class ReadmeWindow {
 public:
  static constexpr int kWidth = 699;
  static constexpr int kHeight = 315;

  ReadmeWindow(WebKitWebContext* context, const std::string& title);
  ~ReadmeWindow();
  ReadmeWindow(const ReadmeWindow&) = delete;
  ReadmeWindow& operator=(const ReadmeWindow&) = delete;

  // Shows the window modally on address and waits for the answer; true when
  // the user accepted.
  bool Run(const std::string& address);

  // Ends Run with the answer "declined" (nothing happens when not running).
  void Decline();

  WebKitWebView* View() const { return WEBKIT_WEB_VIEW(view_); }

 private:
  static gboolean OnDecidePolicy(WebKitWebView* view, WebKitPolicyDecision* decision,
                                 WebKitPolicyDecisionType type, gpointer self);
  static void OnLoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer self);
  static gboolean OnDelete(GtkWidget* window, GdkEvent* event, gpointer self);
  static gboolean OnKey(GtkWidget* window, GdkEventKey* event, gpointer self);
  void Answer(bool accepted);

  GtkWidget* window_;
  GtkWidget* view_;
  GMainLoop* loop_ = nullptr;
  bool accepted_ = false;
};

}  // namespace qil::gtk
