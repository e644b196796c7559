#include "platform/gtk/FontConfig.h"

#include <fontconfig/fontconfig.h>
#include <glib.h>

#include <cstdlib>
#include <fstream>

namespace qil::gtk {

namespace {

std::string XmlEscaped(const std::string& text) {
  gchar* escaped = g_markup_escape_text(text.c_str(), static_cast<gssize>(text.size()));
  std::string result(escaped);
  g_free(escaped);
  return result;
}

}  // namespace

bool FontConfig::AddFolder(const std::string& folder) {
  RemoveFolder();
  const char* previous = std::getenv("FONTCONFIG_FILE");
  had_previous_ = previous != nullptr;
  previous_ = previous ? previous : "";
  const std::string base = had_previous_ && !previous_.empty() ? previous_ : "fonts.conf";

  const std::string file = folder + "/" + kConfigName;
  {
    std::ofstream out(file, std::ios::trunc);
    out << "<?xml version=\"1.0\"?>\n"
           "<!DOCTYPE fontconfig SYSTEM \"urn:fontconfig:fonts.dtd\">\n"
           "<fontconfig>\n"
           "  <include ignore_missing=\"yes\">" << XmlEscaped(base) << "</include>\n"
           "  <dir>" << XmlEscaped(folder) << "</dir>\n"
           "</fontconfig>\n";
    if (!out.flush()) {
      std::remove(file.c_str());
      return false;
    }
  }
  config_file_ = file;
  setenv("FONTCONFIG_FILE", file.c_str(), 1);
  // This process draws dialogs and the tray menu in the fonts too.
  FcConfigAppFontAddDir(nullptr, reinterpret_cast<const FcChar8*>(folder.c_str()));
  return true;
}

void FontConfig::RemoveFolder() {
  if (config_file_.empty()) return;
  FcConfigAppFontClear(nullptr);
  std::remove(config_file_.c_str());
  config_file_.clear();
  if (had_previous_) {
    setenv("FONTCONFIG_FILE", previous_.c_str(), 1);
  } else {
    unsetenv("FONTCONFIG_FILE");
  }
}

}  // namespace qil::gtk
