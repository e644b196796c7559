// orvella: the desktop program. Opens the disc in a window.
//
//   orvella [--archive FILE] [ADDRESS]
//
// The disc is FILE, else math.dat in the current directory, else the demo
// disc installed with the program. ADDRESS (qilproto://qilproto_local/...)
// is shown instead of the start page; when the program already runs, the
// running copy shows it and this one ends.
#include <gtk/gtk.h>

#include <cstdio>
#include <string>

#include "platform/Platform.h"
#include "platform/gtk/GtkDesktopPlatform.h"
#include "platform/gtk/Log.h"
#include "shell/DesktopProgram.h"
#include "shell/WindowRules.h"

namespace {

constexpr int kUsageError = 2;

}  // namespace

int main(int argc, char** argv) {
  qil::gtk::MarkProgramStart();
  g_log_writer_default_set_use_stderr(TRUE);

  gchar* archive = nullptr;
  gchar** addresses = nullptr;
  const GOptionEntry entries[] = {
      {"archive", 0, 0, G_OPTION_ARG_FILENAME, &archive, "The disc to open (default: math.dat)",
       "FILE"},
      {G_OPTION_REMAINING, 0, 0, G_OPTION_ARG_STRING_ARRAY, &addresses, nullptr, "ADDRESS"},
      {}};
  GOptionContext* options = g_option_context_new("[ADDRESS] - the disc's problems in a window");
  g_option_context_add_main_entries(options, entries, nullptr);
  GError* error = nullptr;
  const bool parsed = g_option_context_parse(options, &argc, &argv, &error);
  g_option_context_free(options);
  if (!parsed) {
    std::fprintf(stderr, "orvella: %s\n", error->message);
    g_error_free(error);
    return kUsageError;
  }

  qil::DesktopOptions program_options;
  program_options.ArchivePath = qil::ChooseArchive(archive ? archive : "", QIL_INSTALLED_DISC);
  g_free(archive);
  const int address_count = addresses ? static_cast<int>(g_strv_length(addresses)) : 0;
  if (address_count > 1) {
    std::fprintf(stderr, "orvella: give at most one address\n");
    return kUsageError;
  }
  if (address_count == 1) {
    program_options.Address = addresses[0];
    if (qil::ClassifyNavigation(program_options.Address) != qil::NavigationTarget::kInside) {
      std::fprintf(stderr, "orvella: %s is not an address of the disc (qilproto://qilproto_local/...)\n",
                   addresses[0]);
      return kUsageError;
    }
  }
  g_strfreev(addresses);

  if (!gtk_init_check(&argc, &argv)) {
    std::fprintf(stderr,
                 "orvella: cannot open a window: there is no display (DISPLAY or WAYLAND_DISPLAY "
                 "is not set, or the display refused us).\n"
                 "The same engine runs without windows in qilcd, for example:\n"
                 "  qilcd get --archive %s qilproto://qilproto_local/index.html\n",
                 program_options.ArchivePath.c_str());
    return kUsageError;
  }

  qil::gtk::GtkDesktopPlatform platform;
  platform.SetSharedDisc(program_options.ArchivePath);
  qil::SetCurrentPlatform(&platform);
  int status = 0;
  {
    qil::DesktopProgram program(platform, program_options);
    status = program.Run();
  }
  qil::SetCurrentPlatform(nullptr);
  return status;
}
