// The desktop program's debug log: one line per event on stderr, shown when
// G_MESSAGES_DEBUG names "orvella" (or "all"), each with the milliseconds
// since the program started. Safe from any thread.
#pragma once

#include <glib.h>

namespace qil::gtk {

// Marks the program's start; call first thing in main.
void MarkProgramStart();

// Milliseconds since MarkProgramStart.
double MillisecondsSinceStart();

#define LogEvent(format, ...) \
  g_log("orvella", G_LOG_LEVEL_DEBUG, "[%.1f ms] " format, \
        ::qil::gtk::MillisecondsSinceStart() __VA_OPT__(, ) __VA_ARGS__)

}  // namespace qil::gtk
