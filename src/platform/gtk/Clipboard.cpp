#include "platform/gtk/Clipboard.h"

#include <gtk/gtk.h>

namespace qil::gtk {

namespace {

GtkTargetEntry kTargets[] = {
    {const_cast<gchar*>("text/rtf"), 0, 0},
    {const_cast<gchar*>("application/rtf"), 0, 1},
};

void GiveDocument(GtkClipboard*, GtkSelectionData* selection, guint, gpointer data) {
  const auto* document = static_cast<const std::string*>(data);
  gtk_selection_data_set(selection, gtk_selection_data_get_target(selection), 8,
                         reinterpret_cast<const guchar*>(document->data()),
                         static_cast<gint>(document->size()));
}

void ForgetDocument(GtkClipboard*, gpointer data) { delete static_cast<std::string*>(data); }

}  // namespace

bool OfferRtf(const std::string& document) {
  GtkClipboard* clipboard = gtk_clipboard_get(GDK_SELECTION_CLIPBOARD);
  auto* copy = new std::string(document);
  if (!gtk_clipboard_set_with_data(clipboard, kTargets, G_N_ELEMENTS(kTargets), GiveDocument,
                                   ForgetDocument, copy)) {
    delete copy;
    return false;
  }
  gtk_clipboard_set_can_store(clipboard, nullptr, 0);
  return true;
}

void StoreClipboard() { gtk_clipboard_store(gtk_clipboard_get(GDK_SELECTION_CLIPBOARD)); }

}  // namespace qil::gtk
