#include "base/FileNames.h"

namespace qil {

std::string ExtractFileExt(std::string_view name) {
  const size_t dot = name.find_last_of(".\\:");
  if (dot == std::string_view::npos || name[dot] != '.') return std::string();
  return std::string(name.substr(dot));
}

}  // namespace qil
