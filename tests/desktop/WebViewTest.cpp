// The web view side of the program, in process on the demo disc under a
// virtual display (run through with-display.sh): the disc's own font reaches
// the renderer, and a long answer never freezes the window.
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <cstdlib>
#include <memory>

#include "common/TestFiles.h"
#include "platform/Platform.h"
#include "platform/gtk/GtkDesktopPlatform.h"
#include "platform/gtk/WebView.h"
#include "shell/Engine.h"
#include "shell/Fetch.h"
#include "shell/FontFolder.h"

#if defined(__has_feature)  // clang says it so
#if __has_feature(address_sanitizer)
#define QIL_ADDRESS_SANITIZER 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)  // GCC
#define QIL_ADDRESS_SANITIZER 1
#endif

namespace qil {
namespace {

class WebViewTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_TRUE(gtk_init_check(nullptr, nullptr)) << "needs a display: run under with-display.sh";
    platform_ = new gtk::GtkDesktopPlatform();
    SetCurrentPlatform(platform_);
    const char* disc = std::getenv("QIL_DEMO_DISC");
    ASSERT_NE(disc, nullptr) << "QIL_DEMO_DISC names the demo disc";
    EngineOptions options;
    options.ArchivePath = disc;
    engine_ = new Engine(options);
    temp_ = new test::TempDir();
    fonts_ = new FontFolder();
    ASSERT_TRUE(fonts_->Install(engine_->Archive(), temp_->Path().string()));
    platform_->AddFontFolder(fonts_->Path());
  }
  static void TearDownTestSuite() {
    platform_->RemoveFontFolder(fonts_->Path());
    delete fonts_;
    delete engine_;
    SetCurrentPlatform(nullptr);
    delete platform_;
    delete temp_;
  }

  void SetUp() override {
    window_ = gtk_offscreen_window_new();
    view_ = gtk::NewWebView(platform_->Context());
    gtk_widget_set_size_request(view_, 800, 400);
    gtk_container_add(GTK_CONTAINER(window_), view_);
    gtk_widget_show_all(window_);
  }
  void TearDown() override { gtk_widget_destroy(window_); }

  WebKitWebView* View() { return WEBKIT_WEB_VIEW(view_); }

  // Runs the main loop until done() holds or 30 s passed.
  static bool Spin(const std::function<bool()>& done) {
    const gint64 end = g_get_monotonic_time() + 30 * G_USEC_PER_SEC;
    while (!done() && g_get_monotonic_time() < end) g_main_context_iteration(nullptr, TRUE);
    return done();
  }

  bool LoadAndWait(const std::function<void()>& load) {
    bool finished = false;
    const gulong id = g_signal_connect(view_, "load-changed",
                                       G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent event, gpointer flag) {
                                         if (event == WEBKIT_LOAD_FINISHED) *static_cast<bool*>(flag) = true;
                                       }),
                                       &finished);
    load();
    const bool ok = Spin([&] { return finished; });
    g_signal_handler_disconnect(view_, id);
    return ok;
  }

  cairo_surface_t* Snapshot() {
    cairo_surface_t* surface = nullptr;
    webkit_web_view_get_snapshot(
        View(), WEBKIT_SNAPSHOT_REGION_VISIBLE, WEBKIT_SNAPSHOT_OPTIONS_NONE, nullptr,
        +[](GObject* view, GAsyncResult* result, gpointer out) {
          *static_cast<cairo_surface_t**>(out) =
              webkit_web_view_get_snapshot_finish(WEBKIT_WEB_VIEW(view), result, nullptr);
        },
        &surface);
    Spin([&] { return surface != nullptr; });
    return surface;
  }

  static gtk::GtkDesktopPlatform* platform_;
  static Engine* engine_;
  static test::TempDir* temp_;
  static FontFolder* fonts_;
  GtkWidget* window_ = nullptr;
  GtkWidget* view_ = nullptr;
};

gtk::GtkDesktopPlatform* WebViewTest::platform_ = nullptr;
Engine* WebViewTest::engine_ = nullptr;
test::TempDir* WebViewTest::temp_ = nullptr;
FontFolder* WebViewTest::fonts_ = nullptr;

// The pixels of rows [top, top + height) of a snapshot.
std::string Band(cairo_surface_t* surface, int top, int height) {
  cairo_surface_flush(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  const unsigned char* data = cairo_image_surface_get_data(surface);
  return std::string(reinterpret_cast<const char*>(data + top * stride),
                     static_cast<size_t>(height * stride));
}

TEST_F(WebViewTest, TheDiscsOwnFontReachesTheRenderer) {
  // The same line in the disc's family and in the family it falls back to;
  // without the disc's font both would be drawn alike.
  const char* page =
      "<html><body style='margin:0;background:#fff'>"
      "<div style='height:100px;font:40px \"Orvella Hand\", cursive'>Practice a little</div>"
      "<div style='height:100px;font:40px cursive'>Practice a little</div>"
      "</body></html>";
  ASSERT_TRUE(LoadAndWait([&] { webkit_web_view_load_html(View(), page, "qilproto://qilproto_local/"); }));
  cairo_surface_t* shot = Snapshot();
  ASSERT_NE(shot, nullptr);
  ASSERT_GE(cairo_image_surface_get_height(shot), 200);
  const std::string disc_line = Band(shot, 0, 100);
  const std::string fallback_line = Band(shot, 100, 100);
  EXPECT_NE(disc_line, fallback_line);
  EXPECT_NE(disc_line, std::string(disc_line.size(), '\xff'));  // something was drawn
  if (const char* folder = std::getenv("QIL_SCREENSHOT_DIR")) {
    cairo_surface_write_to_png(shot, (std::string(folder) + "/font-lines.png").c_str());
  }
  cairo_surface_destroy(shot);
}

TEST_F(WebViewTest, CopyingAWholeWorksheetNeverFreezesTheWindow) {
  // A worksheet of 25 problems, then its copy with solutions through the web view.
  FetchAddress("qilproto://qilproto_local/edit1.stmp?action=clear");
  for (int id = 0; id < 1250; id += 50) {
    FetchAddress("qilproto://qilproto_local/wadd.stmp?id=" + std::to_string(id));
  }
  gint64 last = g_get_monotonic_time();
  gint64 longest = 0;
  int ticks = 0;
  struct Probe {
    gint64* last;
    gint64* longest;
    int* ticks;
  } probe{&last, &longest, &ticks};
  const guint timer = g_timeout_add(
      5,
      +[](gpointer data) -> gboolean {
        auto* probe = static_cast<Probe*>(data);
        const gint64 now = g_get_monotonic_time();
        *probe->longest = std::max(*probe->longest, now - *probe->last);
        *probe->last = now;
        ++*probe->ticks;
        return G_SOURCE_CONTINUE;
      },
      &probe);
  ASSERT_TRUE(LoadAndWait([&] {
    last = g_get_monotonic_time();
    webkit_web_view_load_uri(View(), "qilproto://qilproto_local/clipbo.stmp?type=cl_w_sol");
  }));
  g_source_remove(timer);
  GtkClipboard* clipboard = gtk_clipboard_get(GDK_SELECTION_CLIPBOARD);
  GtkSelectionData* data = gtk_clipboard_wait_for_contents(clipboard, gdk_atom_intern("text/rtf", FALSE));
  ASSERT_NE(data, nullptr);
  const int length = gtk_selection_data_get_length(data);
  const std::string rtf(reinterpret_cast<const char*>(gtk_selection_data_get_data(data)), length);
  gtk_selection_data_free(data);
  EXPECT_EQ(rtf.rfind("{\\rtf1", 0), 0u);
  EXPECT_GE(rtf.size(), 100000u);
  std::printf("copy of %d bytes; %d timer ticks, longest gap of the main loop %.1f ms\n", length,
              ticks, static_cast<double>(longest) / 1000.0);
  EXPECT_GT(ticks, 0);
#if !defined(QIL_ADDRESS_SANITIZER)
  EXPECT_LT(longest, 50 * 1000) << "the main loop stalled";
#endif
}

}  // namespace
}  // namespace qil
