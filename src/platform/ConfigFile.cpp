#include "platform/ConfigFile.h"

#include <cstdlib>
#include <fstream>

#include "base/Text.h"

namespace qil {

namespace {

std::string Trim(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return "";
  const size_t last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

std::optional<std::string> ValueInFile(const std::string& file, const std::string& name) {
  std::ifstream in(file);
  std::optional<std::string> value;
  std::string line;
  while (std::getline(in, line)) {
    const std::string text = Trim(line);
    if (text.empty() || text[0] == '#' || text[0] == ';') continue;
    const size_t equals = text.find('=');
    if (equals == std::string::npos) continue;
    if (SameText(Trim(text.substr(0, equals)), name)) value = Trim(text.substr(equals + 1));
  }
  return value;
}

}  // namespace

std::optional<std::string> ReadConfigValue(const std::vector<std::string>& files,
                                           const std::string& name) {
  for (const std::string& file : files) {
    if (std::optional<std::string> value = ValueInFile(file, name)) return value;
  }
  return std::nullopt;
}

std::vector<std::string> ConfigFiles() {
  std::vector<std::string> files;
  const char* config_home = std::getenv("XDG_CONFIG_HOME");
  const char* home = std::getenv("HOME");
  if (config_home && *config_home) {
    files.push_back(std::string(config_home) + "/brenlowe/orvella.conf");
  } else if (home && *home) {
    files.push_back(std::string(home) + "/.config/brenlowe/orvella.conf");
  }
  files.push_back("/etc/brenlowe/orvella.conf");
  return files;
}

}  // namespace qil
