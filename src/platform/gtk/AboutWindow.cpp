#include "platform/gtk/AboutWindow.h"

#include "platform/gtk/WebView.h"

namespace qil::gtk {

AboutWindow::AboutWindow() {
  window_ = NewBorderlessWindow("about", GDK_WINDOW_TYPE_HINT_SPLASHSCREEN);

  GtkWidget* events = gtk_event_box_new();
  image_ = gtk_image_new();
  gtk_widget_set_size_request(image_, kDesignedWidth, kDesignedHeight);
  gtk_container_add(GTK_CONTAINER(events), image_);
  gtk_container_add(GTK_CONTAINER(window_), events);
  g_signal_connect_swapped(events, "button-press-event",
                           G_CALLBACK(+[](AboutWindow* self) -> gboolean {
                             self->Hide();
                             return TRUE;
                           }),
                           this);
  g_signal_connect(window_, "delete-event", G_CALLBACK(gtk_widget_hide_on_delete), nullptr);
}

AboutWindow::~AboutWindow() {
  gtk_widget_destroy(window_);
  g_object_unref(window_);
}

void AboutWindow::SetTitle(const std::string& title) {
  gtk_window_set_title(GTK_WINDOW(window_), title.c_str());
}

void AboutWindow::SetPicture(const std::string& jpeg) {
  if (jpeg.empty()) return;
  GdkPixbufLoader* loader = gdk_pixbuf_loader_new_with_type("jpeg", nullptr);
  if (!loader) return;
  const bool written =
      gdk_pixbuf_loader_write(loader, reinterpret_cast<const guchar*>(jpeg.data()), jpeg.size(), nullptr);
  const bool closed = gdk_pixbuf_loader_close(loader, nullptr);
  GdkPixbuf* picture = gdk_pixbuf_loader_get_pixbuf(loader);
  if (written && closed && picture) {
    gtk_image_set_from_pixbuf(GTK_IMAGE(image_), picture);
    gtk_widget_set_size_request(image_, gdk_pixbuf_get_width(picture),
                                gdk_pixbuf_get_height(picture));
  }
  g_object_unref(loader);
}

void AboutWindow::Show() {
  gtk_widget_show_all(window_);
  gtk_window_present(GTK_WINDOW(window_));
}

void AboutWindow::Hide() { gtk_widget_hide(window_); }

bool AboutWindow::Visible() const { return gtk_widget_get_visible(window_); }

}  // namespace qil::gtk
