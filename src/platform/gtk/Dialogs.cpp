#include "platform/gtk/Dialogs.h"

namespace qil::gtk {

namespace {

// Runs a message dialog with the given buttons; answers the response.
int RunMessage(GtkWindow* parent, GtkMessageType type, const std::string& title,
               const std::string& message,
               std::initializer_list<std::pair<const char*, int>> buttons, int default_response) {
  GtkWidget* dialog = gtk_message_dialog_new(parent, GTK_DIALOG_MODAL, type, GTK_BUTTONS_NONE,
                                             "%s", message.c_str());
  gtk_window_set_title(GTK_WINDOW(dialog), title.c_str());
  gtk_window_set_keep_above(GTK_WINDOW(dialog), TRUE);
  if (!parent) gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER);
  for (const auto& [label, response] : buttons) {
    gtk_dialog_add_button(GTK_DIALOG(dialog), label, response);
  }
  gtk_dialog_set_default_response(GTK_DIALOG(dialog), default_response);
  // Enter answers with the default button, Escape with Cancel.
  GtkWidget* default_button = gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), default_response);
  if (default_button) gtk_widget_grab_focus(default_button);
  const int response = gtk_dialog_run(GTK_DIALOG(dialog));
  gtk_widget_destroy(dialog);
  return response;
}

}  // namespace

void ShowErrorDialog(GtkWindow* parent, const std::string& title, const std::string& message) {
  RunMessage(parent, GTK_MESSAGE_ERROR, title, message, {{"_OK", GTK_RESPONSE_OK}},
             GTK_RESPONSE_OK);
}

bool ConfirmDialog(GtkWindow* parent, const std::string& title, const std::string& message) {
  return RunMessage(parent, GTK_MESSAGE_QUESTION, title, message,
                    {{"_Cancel", GTK_RESPONSE_CANCEL}, {"_Yes", GTK_RESPONSE_YES}},
                    GTK_RESPONSE_YES) == GTK_RESPONSE_YES;
}

bool RetryDialog(GtkWindow* parent, const std::string& title, const std::string& message) {
  return RunMessage(parent, GTK_MESSAGE_ERROR, title, message,
                    {{"_Cancel", GTK_RESPONSE_CANCEL}, {"_Retry", GTK_RESPONSE_ACCEPT}},
                    GTK_RESPONSE_ACCEPT) == GTK_RESPONSE_ACCEPT;
}

std::string SaveFileDialog(GtkWindow* parent, const std::string& title, const std::string& suggestedName) {
  GtkFileChooserNative* chooser = gtk_file_chooser_native_new(title.c_str(), parent, GTK_FILE_CHOOSER_ACTION_SAVE,
                                                              "_Save", "_Cancel");
  GtkFileChooser* files = GTK_FILE_CHOOSER(chooser);
  gtk_file_chooser_set_do_overwrite_confirmation(files, TRUE);
  if (const char* documents = g_get_user_special_dir(G_USER_DIRECTORY_DOCUMENTS)) {
    gtk_file_chooser_set_current_folder(files, documents);
  }
  gtk_file_chooser_set_current_name(files, suggestedName.c_str());
  std::string path;
  if (gtk_native_dialog_run(GTK_NATIVE_DIALOG(chooser)) == GTK_RESPONSE_ACCEPT) {
    if (char* chosen = gtk_file_chooser_get_filename(files)) {
      path = chosen;
      g_free(chosen);
    }
  }
  g_object_unref(chooser);
  return path;
}

}  // namespace qil::gtk
