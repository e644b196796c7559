// The program's message boxes, as modal GTK message dialogs.
//
// Each runs its own loop until the user answers, so it may be called while
// start-up or a request waits for the answer. Main thread only.
#pragma once

#include <gtk/gtk.h>

#include <string>

namespace qil::gtk {

// An error box with one OK button.
void ShowErrorDialog(GtkWindow* parent, const std::string& title, const std::string& message);

// A question with the buttons Yes and Cancel; true for Yes.
bool ConfirmDialog(GtkWindow* parent, const std::string& title, const std::string& message);

// A failed read with the buttons Retry and Cancel; true for Retry.
bool RetryDialog(GtkWindow* parent, const std::string& title, const std::string& message);

// Asks where to save a file (the desktop's own file chooser, suggesting
// suggestedName in the documents folder, confirming before it replaces a
// file); the chosen path, or "" when the user cancelled.
std::string SaveFileDialog(GtkWindow* parent, const std::string& title, const std::string& suggestedName);

}  // namespace qil::gtk
