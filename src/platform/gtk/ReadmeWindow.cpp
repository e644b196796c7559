#include "platform/gtk/ReadmeWindow.h"

#include "platform/gtk/Log.h"
#include "platform/gtk/WebView.h"
#include "shell/WindowRules.h"

namespace qil::gtk {

ReadmeWindow::ReadmeWindow(WebKitWebContext* context, const std::string& title) {
  window_ = NewBorderlessWindow("readme", GDK_WINDOW_TYPE_HINT_DIALOG);
  gtk_window_set_title(GTK_WINDOW(window_), title.c_str());
  gtk_window_set_modal(GTK_WINDOW(window_), TRUE);

  view_ = NewWebView(context);
  gtk_widget_set_size_request(view_, kWidth, kHeight);
  gtk_container_add(GTK_CONTAINER(window_), view_);
  g_signal_connect(view_, "decide-policy", G_CALLBACK(OnDecidePolicy), this);
  g_signal_connect(view_, "load-changed", G_CALLBACK(OnLoadChanged), this);
  g_signal_connect(window_, "delete-event", G_CALLBACK(OnDelete), this);
  g_signal_connect(window_, "key-press-event", G_CALLBACK(OnKey), this);
}

ReadmeWindow::~ReadmeWindow() {
  g_signal_handlers_disconnect_by_data(view_, this);
  g_signal_handlers_disconnect_by_data(window_, this);
  gtk_widget_destroy(window_);
  g_object_unref(window_);
}

bool ReadmeWindow::Run(const std::string& address) {
  accepted_ = false;
  webkit_web_view_load_uri(WEBKIT_WEB_VIEW(view_), address.c_str());
  gtk_widget_show_all(window_);
  gtk_widget_grab_focus(view_);
  loop_ = g_main_loop_new(nullptr, FALSE);
  g_main_loop_run(loop_);
  g_main_loop_unref(loop_);
  loop_ = nullptr;
  gtk_widget_hide(window_);
  LogEvent("readme %s", accepted_ ? "accepted" : "declined");
  return accepted_;
}

void ReadmeWindow::Decline() { Answer(false); }

void ReadmeWindow::Answer(bool accepted) {
  if (!loop_ || !g_main_loop_is_running(loop_)) return;
  accepted_ = accepted;
  g_main_loop_quit(loop_);
}

gboolean ReadmeWindow::OnDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision,
                                      WebKitPolicyDecisionType type, gpointer self) {
  const std::string address = NavigationAddress(decision, type);
  if (address.empty()) return FALSE;
  // The marker closes the window; the navigation itself goes ahead.
  switch (ReadmeMarker(address)) {
    case ReadmeAnswer::kAccept:
      static_cast<ReadmeWindow*>(self)->Answer(true);
      break;
    case ReadmeAnswer::kDecline:
      static_cast<ReadmeWindow*>(self)->Answer(false);
      break;
    case ReadmeAnswer::kNone:
      break;
  }
  DecideByTarget(GTK_WINDOW(static_cast<ReadmeWindow*>(self)->window_), decision, type, address);
  return TRUE;
}

void ReadmeWindow::OnLoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer) {
  if (event == WEBKIT_LOAD_FINISHED) LogEvent("readme loaded %s", webkit_web_view_get_uri(view));
}

gboolean ReadmeWindow::OnDelete(GtkWidget*, GdkEvent*, gpointer self) {
  static_cast<ReadmeWindow*>(self)->Answer(false);
  return TRUE;
}

gboolean ReadmeWindow::OnKey(GtkWidget*, GdkEventKey* event, gpointer self) {
  if (event->keyval != GDK_KEY_Escape) return FALSE;
  static_cast<ReadmeWindow*>(self)->Answer(false);
  return TRUE;
}

}  // namespace qil::gtk
