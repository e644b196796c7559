// The table of MIME types by file extension.
//
// Loaded once, when the object is created, from a mime.types file ("type
// ext ext ..." lines, "#" comments; a repeated extension takes the last type).
// When that file cannot be read, a built-in table of the web types the disc
// uses (htm, html, css, js, gif, jpg, jpeg, png, bmp, ico, svg, ttf, txt, xml,
// wmf) stands in. Lookups ignore letter case; an unknown extension answers
// "application/octet-stream". Read-only after construction, so safe to read
// from any thread.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>

namespace qil {

class MimeTypes {
 public:
  static constexpr const char* kSystemTable = "/etc/mime.types";
  static constexpr const char* kDefaultType = "application/octet-stream";

  explicit MimeTypes(const std::string& path = kSystemTable);

  // The type of the name's extension (see ExtractFileExt), or kDefaultType.
  std::string GetMIMEType(std::string_view fileName) const;

  // Whether the table came from the file (false: the built-in table).
  bool LoadedFromFile() const { return loaded_from_file_; }

 private:
  bool LoadFile(const std::string& path);
  void LoadBuiltIn();

  std::unordered_map<std::string, std::string> types_;  // ".ext" in lower case -> type
  bool loaded_from_file_ = false;
};

}  // namespace qil
