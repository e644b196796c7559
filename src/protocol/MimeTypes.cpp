#include "protocol/MimeTypes.h"

#include <fstream>
#include <sstream>

#include "base/FileNames.h"
#include "base/Text.h"

namespace qil {

MimeTypes::MimeTypes(const std::string& path) {
  loaded_from_file_ = LoadFile(path);
  if (!loaded_from_file_) LoadBuiltIn();
}

bool MimeTypes::LoadFile(const std::string& path) {
  std::ifstream file(path);
  if (!file) return false;
  std::string line;
  while (std::getline(file, line)) {
    const size_t hash = line.find('#');
    if (hash != std::string::npos) line.erase(hash);
    std::istringstream words(line);
    std::string type;
    if (!(words >> type)) continue;
    std::string extension;
    while (words >> extension) types_["." + LowerCase(extension)] = type;
  }
  return !file.bad();
}

void MimeTypes::LoadBuiltIn() {
  static const char* const kWebTypes[][2] = {
      {".htm", "text/html"},  {".html", "text/html"},     {".css", "text/css"},
      {".js", "text/javascript"}, {".gif", "image/gif"},  {".jpg", "image/jpeg"},
      {".jpeg", "image/jpeg"}, {".png", "image/png"},     {".bmp", "image/bmp"},
      {".ico", "image/vnd.microsoft.icon"}, {".svg", "image/svg+xml"}, {".ttf", "font/ttf"},
      {".txt", "text/plain"}, {".xml", "application/xml"}, {".wmf", "image/wmf"},
  };
  for (const auto& [extension, type] : kWebTypes) types_[extension] = type;
}

std::string MimeTypes::GetMIMEType(std::string_view fileName) const {
  const auto found = types_.find(LowerCase(ExtractFileExt(fileName)));
  if (found == types_.end() || found->second.empty()) return kDefaultType;
  return found->second;
}

}  // namespace qil
