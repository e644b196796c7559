#include "platform/gtk/WebView.h"

#include "platform/gtk/Log.h"
#include "shell/WindowRules.h"

namespace qil::gtk {

namespace {

gboolean RefuseContextMenu(WebKitWebView*, WebKitContextMenu*, GdkEvent*, WebKitHitTestResult*,
                           gpointer) {
  return TRUE;
}

GtkWidget* RefuseNewWindow(WebKitWebView*, WebKitNavigationAction*, gpointer) { return nullptr; }

}  // namespace

GtkWidget* NewBorderlessWindow(const char* role, GdkWindowTypeHint hint) {
  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  g_object_ref_sink(window);
  gtk_window_set_decorated(GTK_WINDOW(window), FALSE);
  gtk_window_set_keep_above(GTK_WINDOW(window), TRUE);
  gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
  gtk_window_set_position(GTK_WINDOW(window), GTK_WIN_POS_CENTER_ALWAYS);
  gtk_window_set_type_hint(GTK_WINDOW(window), hint);
  gtk_window_set_role(GTK_WINDOW(window), role);
  return window;
}

WebKitWebContext* NewWebContext() {
  WebKitWebsiteDataManager* data = webkit_website_data_manager_new_ephemeral();
  WebKitWebContext* context = webkit_web_context_new_with_website_data_manager(data);
  g_object_unref(data);
  // The frames of one page share the style sheet and the fonts: keep them in memory.
  webkit_web_context_set_cache_model(context, WEBKIT_CACHE_MODEL_DOCUMENT_BROWSER);
  return context;
}

GtkWidget* NewWebView(WebKitWebContext* context, WebKitWebView* related) {
  GtkWidget* view = related ? webkit_web_view_new_with_related_view(related)
                            : webkit_web_view_new_with_context(context);
  WebKitSettings* settings = webkit_web_view_get_settings(WEBKIT_WEB_VIEW(view));
  webkit_settings_set_enable_developer_extras(settings, FALSE);
  webkit_settings_set_javascript_can_open_windows_automatically(settings, FALSE);
  webkit_settings_set_allow_file_access_from_file_urls(settings, FALSE);
  webkit_settings_set_allow_universal_access_from_file_urls(settings, FALSE);
  g_signal_connect(view, "context-menu", G_CALLBACK(RefuseContextMenu), nullptr);
  g_signal_connect(view, "create", G_CALLBACK(RefuseNewWindow), nullptr);
  return view;
}

std::string NavigationAddress(WebKitPolicyDecision* decision, WebKitPolicyDecisionType type) {
  if (type != WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION &&
      type != WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION) {
    return "";
  }
  WebKitNavigationAction* action = webkit_navigation_policy_decision_get_navigation_action(
      WEBKIT_NAVIGATION_POLICY_DECISION(decision));
  WebKitURIRequest* request = webkit_navigation_action_get_request(action);
  const char* uri = request ? webkit_uri_request_get_uri(request) : nullptr;
  return uri ? uri : "";
}

void DecideByTarget(GtkWindow* window, WebKitPolicyDecision* decision,
                    WebKitPolicyDecisionType type, const std::string& address) {
  switch (ClassifyNavigation(address)) {
    case NavigationTarget::kInside:
      if (type == WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION) {
        webkit_policy_decision_ignore(decision);
      } else {
        webkit_policy_decision_use(decision);
      }
      return;
    case NavigationTarget::kExternal: {
      webkit_policy_decision_ignore(decision);
      GError* error = nullptr;
      if (!gtk_show_uri_on_window(window, address.c_str(), GDK_CURRENT_TIME, &error)) {
        LogEvent("cannot open %s: %s", address.c_str(), error->message);
        g_error_free(error);
      }
      return;
    }
    case NavigationTarget::kRefused:
      LogEvent("refused %s", address.c_str());
      webkit_policy_decision_ignore(decision);
      return;
  }
}

}  // namespace qil::gtk
