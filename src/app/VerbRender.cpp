// The render verb: qilcd render PICTURE OUT writes the display form of one
// metafile picture (WMF or WMZ): SVG, or PNG when OUT ends in ".png", as the
// engine answers it to a viewer. OUT is written whole or not at all.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>

#include "app/Verbs.h"
#include "base/Text.h"
#include "metafile/MetafileRenderer.h"

namespace qil::app {

namespace {

std::optional<std::string> ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return std::nullopt;
  return bytes;
}

// Writes bytes to path through a temporary file beside it.
bool WriteWholeFile(const std::string& path, const std::string& bytes) {
  const std::string temporary = path + ".part";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) {
      std::filesystem::remove(temporary);
      return false;
    }
  }
  std::error_code error;
  std::filesystem::rename(temporary, path, error);
  if (error) std::filesystem::remove(temporary);
  return !error;
}

}  // namespace

int RunRender(const Args& args) {
  if (args.size() != 2) {
    std::cerr << "usage: qilcd render PICTURE OUT" << std::endl;
    return 2;
  }
  const std::string& picture = args[0];
  const std::string& out = args[1];
  const std::optional<std::string> data = ReadWholeFile(picture);
  if (!data) {
    std::cerr << "qilcd render: cannot read " << picture << std::endl;
    return 1;
  }
  if (!LooksLikeMetafile(*data)) {
    std::cerr << "qilcd render: " << picture << " is not a WMF or WMZ picture" << std::endl;
    return 1;
  }
  const bool png = EndsText(".png", out);
  const std::optional<std::string> drawn = png ? RenderMetafileToPng(*data) : RenderMetafileToSvg(*data);
  if (!drawn) {
    std::cerr << "qilcd render: " << picture << " cannot be drawn" << std::endl;
    return 1;
  }
  if (!WriteWholeFile(out, *drawn)) {
    std::cerr << "qilcd render: cannot write " << out << std::endl;
    return 1;
  }
  return 0;
}

}  // namespace qil::app
