// The metafile renderer over arbitrary bytes: the input is the picture file
// (WMF, or WMZ when it starts with the gzip magic). It must be recognised
// exactly when it renders; a rendering is a whole SVG document, or a PNG
// when the metafile uses raster operations (then the cairo canvas runs too).
// Bounds on records, objects, saved states and drawing keep every input fast.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "metafile/MetafileRenderer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view file(reinterpret_cast<const char*>(data), size);
  const auto picture = qil::RenderMetafile(file, 0.5);
  if (picture.has_value() != qil::LooksLikeMetafile(file)) std::abort();
  if (!picture) return 0;
  if (picture->mime == "image/svg+xml") {
    if (!picture->bytes.starts_with("<?xml") || !picture->bytes.ends_with("</svg>\n")) std::abort();
  } else if (picture->mime != "image/png" || !picture->bytes.starts_with("\x89PNG")) {
    std::abort();
  }
  return 0;
}
