// PictureToRTF over arbitrary bytes. The first byte chooses the file name's
// extension, the rest is the picture file. A raster picture may raise
// InvalidPicture; nothing else may escape, and an appended group must have
// its header line first and its closing line last.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/MemoryStream.h"
#include "base/StringList.h"
#include "picture/Bitmap24.h"
#include "picture/PictureToRTF.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const char* const kNames[] = {"p.bmp", "p.png", "p.jpg", "p.wmf", "p.wmz", "p.gif", "p.JPEG", "p"};
  if (size == 0) return 0;
  const std::string name = kNames[data[0] % (sizeof kNames / sizeof kNames[0])];
  qil::MemoryStream G(std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
  qil::StringList lines;
  try {
    qil::PictureToRTF(G, lines, name);
  } catch (const qil::InvalidPicture&) {
    if (lines.Count() != 0) std::abort();
    return 0;
  }
  if (lines.Count() == 0) return 0;
  if (lines.Count() < 2 || lines[0].rfind("\r\n\\par{\\pict\\wmetafile8\\picw", 0) != 0 ||
      lines[lines.Count() - 1] != "}\r\n") {
    std::abort();
  }
  for (int i = 1; i + 1 < lines.Count(); ++i) {
    if (lines[i].empty() || lines[i].size() > 80) std::abort();
  }
  return 0;
}
