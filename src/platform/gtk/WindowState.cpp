#include "platform/gtk/WindowState.h"

#include <glib.h>

#include <algorithm>
#include <string>

namespace qil::gtk {

namespace {

constexpr const char* kGroup = "window";

std::string StateFile() {
  gchar* path = g_build_filename(g_get_user_state_dir(), "orvella", "window.ini", nullptr);
  std::string result(path);
  g_free(path);
  return result;
}

}  // namespace

WindowState WindowState::Load() {
  WindowState state;
  GKeyFile* file = g_key_file_new();
  if (g_key_file_load_from_file(file, StateFile().c_str(), G_KEY_FILE_NONE, nullptr)) {
    GError* error = nullptr;
    const int width = g_key_file_get_integer(file, kGroup, "width", &error);
    g_clear_error(&error);
    const int height = g_key_file_get_integer(file, kGroup, "height", &error);
    g_clear_error(&error);
    const double zoom = g_key_file_get_double(file, kGroup, "zoom", &error);
    if (!error && zoom >= kMinZoom && zoom <= kMaxZoom) state.zoom = zoom;
    g_clear_error(&error);
    if (width >= 200 && width <= 16384 && height >= 150 && height <= 16384) {
      state.width = width;
      state.height = height;
    }
  }
  g_key_file_free(file);
  return state;
}

void WindowState::Save() const {
  const std::string path = StateFile();
  gchar* folder = g_path_get_dirname(path.c_str());
  g_mkdir_with_parents(folder, 0700);
  g_free(folder);
  GKeyFile* file = g_key_file_new();
  g_key_file_set_integer(file, kGroup, "width", width);
  g_key_file_set_integer(file, kGroup, "height", height);
  g_key_file_set_double(file, kGroup, "zoom", std::clamp(zoom, kMinZoom, kMaxZoom));
  g_key_file_save_to_file(file, path.c_str(), nullptr);
  g_key_file_free(file);
}

}  // namespace qil::gtk
