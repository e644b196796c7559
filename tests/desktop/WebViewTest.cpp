// The web view side of the program, in process on the demo disc under a
// virtual display (run through with-display.sh): the disc's own font reaches
// the renderer, and a long answer never freezes the window.
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <cstdlib>

#include "common/TestFiles.h"
#include "platform/gtk/GtkDesktopPlatform.h"
#include "platform/gtk/WebView.h"
#include "shell/Engine.h"
#include "shell/Fetch.h"
#include "shell/FontFolder.h"

namespace qil {
namespace {

// Runs the main loop until done() holds or 30 s passed.
bool Spin(const std::function<bool()>& done) {
  const gint64 end = g_get_monotonic_time() + 30 * G_USEC_PER_SEC;
  while (!done() && g_get_monotonic_time() < end) g_main_context_iteration(nullptr, TRUE);
  return done();
}

bool LoadAndWait(WebKitWebView* view, const std::function<void()>& load) {
  bool finished = false;
  auto on_load = +[](WebKitWebView*, WebKitLoadEvent event, gpointer flag) {
    if (event == WEBKIT_LOAD_FINISHED) *static_cast<bool*>(flag) = true;
  };
  const gulong id = g_signal_connect(view, "load-changed", G_CALLBACK(on_load), &finished);
  load();
  const bool ok = Spin([&] { return finished; });
  g_signal_handler_disconnect(view, id);
  return ok;
}

TEST(WebView, TheDiscsFontsReachTheRendererAndALongCopyNeverFreezesTheWindow) {
  ASSERT_TRUE(gtk_init_check(nullptr, nullptr)) << "needs a display: run under with-display.sh";
  ASSERT_NE(std::getenv("QIL_DEMO_DISC"), nullptr) << "QIL_DEMO_DISC names the demo disc";
  gtk::GtkDesktopPlatform platform;
  SetCurrentPlatform(&platform);
  EngineOptions options;
  options.ArchivePath = std::getenv("QIL_DEMO_DISC");
  Engine engine(options);
  test::TempDir temp;
  FontFolder fonts;
  ASSERT_TRUE(fonts.Install(engine.Archive(), temp.Path().string()));
  platform.AddFontFolder(fonts.Path());
  GtkWidget* window = gtk_offscreen_window_new();
  auto* view = WEBKIT_WEB_VIEW(gtk::NewWebView(platform.Context()));
  gtk_widget_set_size_request(GTK_WIDGET(view), 800, 400);
  gtk_container_add(GTK_CONTAINER(window), GTK_WIDGET(view));
  gtk_widget_show_all(window);

  // The same line in the disc's family and in the family it falls back to;
  // without the disc's font both would be drawn alike.
  const char* page =
      "<html><body style='margin:0;background:#fff'>"
      "<div style='height:100px;font:40px \"Orvella Hand\", cursive'>Practice a little</div>"
      "<div style='height:100px;font:40px cursive'>Practice a little</div></body></html>";
  EXPECT_TRUE(LoadAndWait(view, [&] { webkit_web_view_load_html(view, page, "qilproto://qilproto_local/"); }));
  cairo_surface_t* shot = nullptr;
  auto on_snapshot = +[](GObject* source, GAsyncResult* result, gpointer out) {
    *static_cast<cairo_surface_t**>(out) = webkit_web_view_get_snapshot_finish(WEBKIT_WEB_VIEW(source), result, nullptr);
  };
  webkit_web_view_get_snapshot(view, WEBKIT_SNAPSHOT_REGION_VISIBLE, WEBKIT_SNAPSHOT_OPTIONS_NONE, nullptr, on_snapshot,
                               &shot);
  if (Spin([&] { return shot != nullptr; }) && cairo_image_surface_get_height(shot) >= 200) {
    cairo_surface_flush(shot);
    const size_t band = 100 * static_cast<size_t>(cairo_image_surface_get_stride(shot));
    const std::string pixels(reinterpret_cast<const char*>(cairo_image_surface_get_data(shot)), 2 * band);
    EXPECT_NE(pixels.substr(0, band), pixels.substr(band)) << "the disc's font was not used";
    EXPECT_NE(pixels.substr(0, band), std::string(band, '\xff')) << "nothing was drawn";
  } else {
    ADD_FAILURE() << "no snapshot of 200 rows";
  }
  if (shot) cairo_surface_destroy(shot);

  // A worksheet of 25 problems, then its copy with solutions through the web
  // view, while a 5 ms timer measures the longest gap of the main loop.
  FetchAddress("qilproto://qilproto_local/edit1.stmp?action=clear");
  for (int id = 0; id < 1250; id += 50) FetchAddress("qilproto://qilproto_local/wadd.stmp?id=" + std::to_string(id));
  struct Probe {
    gint64 last = 0, longest = 0;
  } probe;
  auto on_tick = +[](gpointer data) -> gboolean {
    auto* p = static_cast<Probe*>(data);
    const gint64 now = g_get_monotonic_time();
    p->longest = std::max(p->longest, now - p->last);
    p->last = now;
    return G_SOURCE_CONTINUE;
  };
  const guint timer = g_timeout_add(5, on_tick, &probe);
  EXPECT_TRUE(LoadAndWait(view, [&] {
    probe.last = g_get_monotonic_time();
    webkit_web_view_load_uri(view, "qilproto://qilproto_local/clipbo.stmp?type=cl_w_sol");
  }));
  g_source_remove(timer);
  GtkSelectionData* data = gtk_clipboard_wait_for_contents(gtk_clipboard_get(GDK_SELECTION_CLIPBOARD),
                                                           gdk_atom_intern("text/rtf", FALSE));
  ASSERT_NE(data, nullptr);
  EXPECT_GE(gtk_selection_data_get_length(data), 100000) << "the copy reached the clipboard";
  gtk_selection_data_free(data);
  EXPECT_GT(probe.longest, 0) << "the timer ran";
#if !defined(QIL_SANITIZED)  // the sanitizers slow everything down
  EXPECT_LT(probe.longest, 50 * 1000) << "the main loop stalled for " << probe.longest / 1000 << " ms";
#endif
  gtk_widget_destroy(window);
  platform.RemoveFontFolder(fonts.Path());
  SetCurrentPlatform(nullptr);
}

}  // namespace
}  // namespace qil
