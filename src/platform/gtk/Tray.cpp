#include "platform/gtk/Tray.h"

#include <libayatana-appindicator/app-indicator.h>

namespace qil::gtk {

namespace {
constexpr const char* kIconName = "org.brenlowe.Orvella";
}

Tray::Tray(std::function<void()> on_about, std::function<void()> on_share,
           std::function<void()> on_exit)
    : on_about_(std::move(on_about)), on_share_(std::move(on_share)), on_exit_(std::move(on_exit)) {
  menu_ = gtk_menu_new();
  g_object_ref_sink(menu_);
  about_item_ = gtk_menu_item_new_with_label("About...");
  share_item_ = gtk_menu_item_new_with_label("Share with the class");
  GtkWidget* exit_item = gtk_menu_item_new_with_label("Exit");
  gtk_menu_shell_append(GTK_MENU_SHELL(menu_), about_item_);
  gtk_menu_shell_append(GTK_MENU_SHELL(menu_), gtk_separator_menu_item_new());
  gtk_menu_shell_append(GTK_MENU_SHELL(menu_), share_item_);
  gtk_menu_shell_append(GTK_MENU_SHELL(menu_), exit_item);
  g_signal_connect_swapped(about_item_, "activate",
                           G_CALLBACK(+[](Tray* self) { self->on_about_(); }), this);
  g_signal_connect_swapped(share_item_, "activate",
                           G_CALLBACK(+[](Tray* self) { self->on_share_(); }), this);
  g_signal_connect_swapped(exit_item, "activate",
                           G_CALLBACK(+[](Tray* self) { self->on_exit_(); }), this);
  gtk_widget_show_all(menu_);
}

Tray::~Tray() {
  if (indicator_) {
    app_indicator_set_status(indicator_, APP_INDICATOR_STATUS_PASSIVE);
    g_object_unref(indicator_);
  }
  gtk_widget_destroy(menu_);
  g_object_unref(menu_);
}

void Tray::SetTitle(const std::string& title) {
  gtk_menu_item_set_label(GTK_MENU_ITEM(about_item_), title.c_str());
  if (indicator_) app_indicator_set_title(indicator_, title.c_str());
}

void Tray::SetSharing(bool sharing) {
  gtk_menu_item_set_label(GTK_MENU_ITEM(share_item_),
                          sharing ? "Stop sharing with the class" : "Share with the class");
}

void Tray::Activate() {
  if (!indicator_) {
    indicator_ = app_indicator_new(kIconName, kIconName, APP_INDICATOR_CATEGORY_APPLICATION_STATUS);
    app_indicator_set_menu(indicator_, GTK_MENU(menu_));
    // The indicator's activation (a middle click on most panels) shows About,
    // as a double-click did on the old tray.
    app_indicator_set_secondary_activate_target(indicator_, about_item_);
    app_indicator_set_title(indicator_, gtk_menu_item_get_label(GTK_MENU_ITEM(about_item_)));
  }
  app_indicator_set_status(indicator_, APP_INDICATOR_STATUS_ACTIVE);
}

}  // namespace qil::gtk
