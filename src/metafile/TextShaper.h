// Fonts and text measured and drawn with pango: the player asks where text
// lies (ascent, descent, advance), the cairo canvas draws it.
//
// A font is looked up by the metafile's face name, then its generic family,
// through fontconfig; characters the chosen font lacks come from another one.
// Metrics are taken without hinting, so they scale linearly with the size
// and do not depend on the target. Each object has its own pango context on
// the calling thread's font map: use it from that one thread only.
#pragma once

#include <map>
#include <string>
#include <string_view>

#include "metafile/Canvas.h"

typedef struct _PangoContext PangoContext;
typedef struct _PangoLayout PangoLayout;

namespace qil::metafile {

class TextShaper {
 public:
  TextShaper();
  ~TextShaper();
  TextShaper(const TextShaper&) = delete;
  TextShaper& operator=(const TextShaper&) = delete;

  struct Metrics {
    double ascent = 0, descent = 0;  // pixels, both positive
  };
  Metrics FontMetrics(const FontSpec& font);
  // The advance of the text (UTF-8) in the font, in pixels.
  double Width(const FontSpec& font, std::string_view text);
  // Draws the run on cr with its colour, anchor, offsets, decorations and angle.
  void Draw(cairo_t* cr, const TextRun& run);

 private:
  PangoLayout* Layout(const FontSpec& font, bool decorated);

  PangoContext* context_;
  std::map<std::string, Metrics> metrics_;  // at kReferenceSize, by font without its size
};

}  // namespace qil::metafile
