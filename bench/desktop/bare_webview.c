/* bare_webview: the least a GTK web view needs to show a page, as a yardstick
 * for the start-up of the desktop program.
 *
 *   bare_webview file:///path/to/index.html
 *
 * Opens one window with one web view on the address and, when the view reports
 * that the page (frames included) has finished loading, prints
 *
 *   loaded MS
 *
 * on stdout, MS being the milliseconds since main() began, and ends with 0.
 * A page that fails to load ends it with 1; a sub-resource that fails (a
 * missing stylesheet, font or picture) is named on stderr, so a copy of the
 * start page that lacks a file shows up instead of looking faster. */
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <stdio.h>
#include <string.h>

/* The size the desktop program's main window opens with when it has no saved
 * size and no window manager maximizes it: both pages are laid out alike. */
enum { kWidth = 870, kHeight = 600 };

static gint64 program_start;

static double MillisecondsSinceStart(void) {
  return (double)(g_get_monotonic_time() - program_start) / 1000.0;
}

static void OnResourceFailed(WebKitWebResource* resource, GError* error, gpointer data) {
  (void)data;
  fprintf(stderr, "bare_webview: cannot load %s: %s\n", webkit_web_resource_get_uri(resource),
          error->message);
}

static void OnResourceStarted(WebKitWebView* view, WebKitWebResource* resource,
                              WebKitURIRequest* request, gpointer data) {
  (void)view;
  (void)request;
  (void)data;
  g_signal_connect(resource, "failed", G_CALLBACK(OnResourceFailed), NULL);
}

static void OnLoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer data) {
  (void)view;
  int* status = data;
  if (event != WEBKIT_LOAD_FINISHED) return;
  /* "load-failed" comes before "finished" for a page that did not load. */
  if (*status == 0) {
    printf("loaded %.1f\n", MillisecondsSinceStart());
    fflush(stdout);
  }
  gtk_main_quit();
}

static gboolean OnLoadFailed(WebKitWebView* view, WebKitLoadEvent event, const char* uri,
                             GError* error, gpointer data) {
  (void)view;
  (void)event;
  int* status = data;
  fprintf(stderr, "bare_webview: cannot load %s: %s\n", uri, error->message);
  *status = 1;
  return FALSE;
}

static gboolean OnDelete(GtkWidget* window, GdkEvent* event, gpointer data) {
  (void)window;
  (void)event;
  int* status = data;
  if (*status == 0) *status = 1; /* closed before the page finished */
  gtk_main_quit();
  return TRUE;
}

int main(int argc, char** argv) {
  program_start = g_get_monotonic_time();

  if (argc != 2 || strncmp(argv[1], "file://", 7) != 0) {
    fprintf(stderr, "usage: bare_webview file:///PATH/TO/PAGE.html\n");
    return 2;
  }
  if (!gtk_init_check(&argc, &argv)) {
    fprintf(stderr, "bare_webview: cannot open a window (is DISPLAY set?)\n");
    return 2;
  }

  int status = 0;
  /* An ephemeral context keeps the run from writing caches and cookies into
   * the user's home folder; nothing of it is read back between runs anyway. */
  WebKitWebContext* context = webkit_web_context_new_ephemeral();
  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(GTK_WINDOW(window), "bare_webview");
  gtk_window_set_default_size(GTK_WINDOW(window), kWidth, kHeight);
  GtkWidget* view = webkit_web_view_new_with_context(context);
  gtk_container_add(GTK_CONTAINER(window), view);

  g_signal_connect(view, "load-changed", G_CALLBACK(OnLoadChanged), &status);
  g_signal_connect(view, "load-failed", G_CALLBACK(OnLoadFailed), &status);
  g_signal_connect(view, "resource-load-started", G_CALLBACK(OnResourceStarted), NULL);
  g_signal_connect(window, "delete-event", G_CALLBACK(OnDelete), &status);

  webkit_web_view_load_uri(WEBKIT_WEB_VIEW(view), argv[1]);
  gtk_widget_show_all(window);
  gtk_main();

  gtk_widget_destroy(window);
  g_object_unref(context);
  return status;
}
