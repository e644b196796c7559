// The main window: the disc's viewer, opened maximized.
//
// Closing it, however asked for (the close button, the window manager, a page
// that navigates to an address with "#CLOSE_BROWSER#"), first asks "Are you
// sure you want to quit the application ?" with Yes and Cancel; only Yes
// closes, and on_close then ends the program. A marker never cancels the
// navigation that carries it.
//
// What users of a viewer expect: Ctrl+plus, Ctrl+minus and Ctrl+0 zoom
// (remembered between runs), Ctrl+F finds in the page (Enter and Shift+Enter
// for the next and previous match, Escape closes the bar), Alt+Left and
// Alt+Right go back and forward, Ctrl+P prints (GTK's print dialog, which can
// also print to a PDF file), F1 shows the about window. The size of the
// window when not maximized is remembered too. A renderer that crashed is
// restarted on the same page.
//
// Main thread only.
#pragma once

#include <webkit2/webkit2.h>

#include <functional>
#include <string>

#include "platform/gtk/WindowState.h"

namespace qil::gtk {

class MainWindow {
 public:
  static constexpr const char* kCloseQuestion = "Are you sure you want to quit the application ?";

  // related (may be nullptr): a view whose renderer the window's view shares.
  MainWindow(GtkApplication* application, WebKitWebContext* context, WebKitWebView* related,
             const std::string& title, std::function<void()> on_close,
             std::function<void()> on_about);
  ~MainWindow();
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Loads address and brings the window to the front.
  void Open(const std::string& address);
  void Present();
  // Asks whether to quit; on Yes runs on_close.
  void RequestClose();

  GtkWindow* Window() const { return GTK_WINDOW(window_); }
  WebKitWebView* View() const { return WEBKIT_WEB_VIEW(view_); }

 private:
  void AddActions(GtkApplication* application);
  void Zoom(double factor);  // 0: back to 100 %
  void ShowFindBar();
  void Find(bool backwards);
  void Print();

  static void OnAction(GSimpleAction* action, GVariant* parameter, gpointer self);
  static gboolean OnDecidePolicy(WebKitWebView* view, WebKitPolicyDecision* decision,
                                 WebKitPolicyDecisionType type, gpointer self);
  static void OnLoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer self);
  static gboolean OnDelete(GtkWidget* window, GdkEvent* event, gpointer self);
  static gboolean OnConfigure(GtkWidget* window, GdkEventConfigure* event, gpointer self);
  static void OnRendererGone(WebKitWebView* view, WebKitWebProcessTerminationReason reason,
                             gpointer self);
  static gboolean OnFindKey(GtkWidget* entry, GdkEventKey* event, gpointer self);

  std::string title_;
  std::function<void()> on_close_;
  std::function<void()> on_about_;
  GtkWidget* window_;
  GtkWidget* view_;
  GtkWidget* find_bar_;
  GtkWidget* find_entry_;
  WindowState state_;
  bool asking_ = false;
  guint close_source_ = 0;
};

}  // namespace qil::gtk
