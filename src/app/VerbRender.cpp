// The render verb: qilcd render PICTURE OUT writes the display form of one
// metafile picture (WMF or WMZ): SVG, or PNG when OUT ends in ".png", as the
// engine answers it to a viewer. OUT is written whole or not at all; a file
// that cannot be read or written ends the verb through qilcd's error line.
#include <iostream>
#include <optional>
#include <string>

#include "app/Verbs.h"
#include "base/Files.h"
#include "base/Text.h"
#include "metafile/MetafileRenderer.h"

namespace qil::app {

int RunRender(const Args& args) {
  if (args.size() != 2) {
    std::cerr << "usage: qilcd render PICTURE OUT" << std::endl;
    return 2;
  }
  const std::string& picture = args[0];
  const std::string& out = args[1];
  const std::string data = ReadWholeFile(picture);
  const std::optional<std::string> drawn = EndsText(".png", out) ? RenderMetafileToPng(data) : RenderMetafileToSvg(data);
  if (!drawn) {
    std::cerr << "qilcd render: " << picture << " is not a WMF or WMZ picture" << std::endl;
    return 1;
  }
  WriteFileReplacing(out, *drawn);
  return 0;
}

}  // namespace qil::app
