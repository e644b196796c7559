#include "platform/gtk/MainWindow.h"

#include <algorithm>

#include "platform/gtk/Dialogs.h"
#include "platform/gtk/Log.h"
#include "platform/gtk/WebView.h"
#include "shell/WindowRules.h"

namespace qil::gtk {

namespace {

constexpr double kZoomStep = 1.1;

struct Shortcut {
  const char* action;
  std::initializer_list<const char*> keys;
};

const Shortcut kShortcuts[] = {
    {"win.zoom-in", {"<Control>plus", "<Control>equal", "<Control>KP_Add"}},
    {"win.zoom-out", {"<Control>minus", "<Control>KP_Subtract"}},
    {"win.zoom-reset", {"<Control>0", "<Control>KP_0"}},
    {"win.find", {"<Control>f"}},
    {"win.back", {"<Alt>Left"}},
    {"win.forward", {"<Alt>Right"}},
    {"win.print", {"<Control>p"}},
    {"win.about", {"F1"}},
};

}  // namespace

MainWindow::MainWindow(GtkApplication* application, WebKitWebContext* context,
                       WebKitWebView* related, const std::string& title, std::function<void()> on_close,
                       std::function<void()> on_about)
    : title_(title), on_close_(std::move(on_close)), on_about_(std::move(on_about)) {
  state_ = WindowState::Load();
  window_ = gtk_application_window_new(application);
  g_object_ref_sink(window_);
  gtk_window_set_title(GTK_WINDOW(window_), title.c_str());
  gtk_window_set_default_size(GTK_WINDOW(window_), state_.width, state_.height);
  gtk_window_set_role(GTK_WINDOW(window_), "main");

  GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
  find_entry_ = gtk_search_entry_new();
  gtk_widget_set_size_request(find_entry_, 320, -1);
  find_bar_ = gtk_search_bar_new();
  gtk_search_bar_connect_entry(GTK_SEARCH_BAR(find_bar_), GTK_ENTRY(find_entry_));
  gtk_search_bar_set_show_close_button(GTK_SEARCH_BAR(find_bar_), TRUE);
  gtk_container_add(GTK_CONTAINER(find_bar_), find_entry_);
  gtk_box_pack_start(GTK_BOX(box), find_bar_, FALSE, FALSE, 0);

  view_ = NewWebView(context, related);
  webkit_web_view_set_zoom_level(WEBKIT_WEB_VIEW(view_), state_.zoom);
  gtk_box_pack_start(GTK_BOX(box), view_, TRUE, TRUE, 0);
  gtk_container_add(GTK_CONTAINER(window_), box);

  g_signal_connect(view_, "decide-policy", G_CALLBACK(OnDecidePolicy), this);
  g_signal_connect(view_, "load-changed", G_CALLBACK(OnLoadChanged), this);
  g_signal_connect(view_, "web-process-terminated", G_CALLBACK(OnRendererGone), this);
  g_signal_connect(window_, "delete-event", G_CALLBACK(OnDelete), this);
  g_signal_connect(window_, "configure-event", G_CALLBACK(OnConfigure), this);
  g_signal_connect_swapped(find_entry_, "search-changed",
                           G_CALLBACK(+[](MainWindow* self) { self->Find(false); }), this);
  g_signal_connect(find_entry_, "key-press-event", G_CALLBACK(OnFindKey), this);
  g_signal_connect_swapped(find_bar_, "notify::search-mode-enabled",
                           G_CALLBACK(+[](MainWindow* self) {
                             if (gtk_search_bar_get_search_mode(GTK_SEARCH_BAR(self->find_bar_))) return;
                             webkit_find_controller_search_finish(
                                 webkit_web_view_get_find_controller(self->View()));
                             gtk_widget_grab_focus(self->view_);
                           }),
                           this);
  AddActions(application);
}

MainWindow::~MainWindow() {
  if (close_source_) g_source_remove(close_source_);
  state_.zoom = webkit_web_view_get_zoom_level(View());
  state_.Save();
  g_signal_handlers_disconnect_by_data(view_, this);
  g_signal_handlers_disconnect_by_data(window_, this);
  g_signal_handlers_disconnect_by_data(find_entry_, this);
  g_signal_handlers_disconnect_by_data(find_bar_, this);
  gtk_widget_destroy(window_);
  g_object_unref(window_);
}

void MainWindow::AddActions(GtkApplication* application) {
  for (const Shortcut& shortcut : kShortcuts) {
    GSimpleAction* action = g_simple_action_new(shortcut.action + 4, nullptr);  // after "win."
    g_signal_connect(action, "activate", G_CALLBACK(OnAction), this);
    g_action_map_add_action(G_ACTION_MAP(window_), G_ACTION(action));
    g_object_unref(action);
  }
  for (const Shortcut& shortcut : kShortcuts) {
    std::vector<const char*> keys(shortcut.keys);
    keys.push_back(nullptr);
    gtk_application_set_accels_for_action(application, shortcut.action, keys.data());
  }
}

void MainWindow::OnAction(GSimpleAction* action, GVariant*, gpointer data) {
  auto* self = static_cast<MainWindow*>(data);
  const std::string name = g_action_get_name(G_ACTION(action));
  if (name == "zoom-in") {
    self->Zoom(kZoomStep);
  } else if (name == "zoom-out") {
    self->Zoom(1 / kZoomStep);
  } else if (name == "zoom-reset") {
    self->Zoom(0);
  } else if (name == "find") {
    self->ShowFindBar();
  } else if (name == "back") {
    webkit_web_view_go_back(self->View());
  } else if (name == "forward") {
    webkit_web_view_go_forward(self->View());
  } else if (name == "print") {
    self->Print();
  } else if (name == "about") {
    self->on_about_();
  }
}

void MainWindow::Open(const std::string& address) {
  webkit_web_view_load_uri(View(), address.c_str());
  Present();
}

void MainWindow::Present() {
  if (!gtk_widget_get_visible(window_)) {
    gtk_window_maximize(GTK_WINDOW(window_));
    gtk_widget_show_all(window_);
    gtk_widget_grab_focus(view_);
  }
  gtk_window_present(GTK_WINDOW(window_));
}

void MainWindow::RequestClose() {
  if (asking_) return;
  asking_ = true;
  const bool quit = ConfirmDialog(Window(), title_, kCloseQuestion);
  asking_ = false;
  if (quit) on_close_();
}

void MainWindow::Zoom(double factor) {
  const double level = factor == 0 ? 1.0 : webkit_web_view_get_zoom_level(View()) * factor;
  state_.zoom = std::clamp(level, WindowState::kMinZoom, WindowState::kMaxZoom);
  webkit_web_view_set_zoom_level(View(), state_.zoom);
  state_.Save();
}

void MainWindow::ShowFindBar() {
  gtk_search_bar_set_search_mode(GTK_SEARCH_BAR(find_bar_), TRUE);
  gtk_widget_grab_focus(find_entry_);
}

void MainWindow::Find(bool backwards) {
  WebKitFindController* finder = webkit_web_view_get_find_controller(View());
  const char* text = gtk_entry_get_text(GTK_ENTRY(find_entry_));
  if (!text || !*text) {
    webkit_find_controller_search_finish(finder);
    return;
  }
  const char* current = webkit_find_controller_get_search_text(finder);
  if (current && g_strcmp0(current, text) == 0) {
    if (backwards) {
      webkit_find_controller_search_previous(finder);
    } else {
      webkit_find_controller_search_next(finder);
    }
    return;
  }
  const guint options = WEBKIT_FIND_OPTIONS_CASE_INSENSITIVE | WEBKIT_FIND_OPTIONS_WRAP_AROUND;
  webkit_find_controller_search(finder, text, options, G_MAXUINT);
}

void MainWindow::Print() {
  WebKitPrintOperation* operation = webkit_print_operation_new(View());
  webkit_print_operation_run_dialog(operation, Window());
  g_object_unref(operation);
}

gboolean MainWindow::OnDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision,
                                    WebKitPolicyDecisionType type, gpointer data) {
  auto* self = static_cast<MainWindow*>(data);
  const std::string address = NavigationAddress(decision, type);
  if (address.empty()) return FALSE;
  if (HasCloseMarker(address) && !self->close_source_) {
    LogEvent("close marker in %s", address.c_str());
    // Asked once the navigation has gone ahead.
    self->close_source_ = g_idle_add(
        +[](gpointer data) -> gboolean {
          auto* self = static_cast<MainWindow*>(data);
          self->close_source_ = 0;
          self->RequestClose();
          return G_SOURCE_REMOVE;
        },
        self);
  }
  DecideByTarget(self->Window(), decision, type, address);
  return TRUE;
}

void MainWindow::OnLoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer) {
  if (event == WEBKIT_LOAD_FINISHED) LogEvent("main window loaded %s", webkit_web_view_get_uri(view));
}

gboolean MainWindow::OnDelete(GtkWidget*, GdkEvent*, gpointer self) {
  static_cast<MainWindow*>(self)->RequestClose();
  return TRUE;
}

gboolean MainWindow::OnConfigure(GtkWidget* window, GdkEventConfigure*, gpointer data) {
  auto* self = static_cast<MainWindow*>(data);
  if (!gtk_window_is_maximized(GTK_WINDOW(window))) {
    gtk_window_get_size(GTK_WINDOW(window), &self->state_.width, &self->state_.height);
  }
  return FALSE;
}

void MainWindow::OnRendererGone(WebKitWebView* view, WebKitWebProcessTerminationReason, gpointer) {
  LogEvent("the page renderer ended; reloading %s", webkit_web_view_get_uri(view));
  webkit_web_view_reload(view);
}

gboolean MainWindow::OnFindKey(GtkWidget*, GdkEventKey* event, gpointer self) {
  if (event->keyval != GDK_KEY_Return && event->keyval != GDK_KEY_KP_Enter) return FALSE;
  static_cast<MainWindow*>(self)->Find((event->state & GDK_SHIFT_MASK) != 0);
  return TRUE;
}

}  // namespace qil::gtk
