#include "platform/gtk/Log.h"

#include <atomic>

namespace qil::gtk {

namespace {
std::atomic<gint64> program_start{0};
}

void MarkProgramStart() { program_start = g_get_monotonic_time(); }

double MillisecondsSinceStart() {
  return static_cast<double>(g_get_monotonic_time() - program_start.load()) / 1000.0;
}

}  // namespace qil::gtk
