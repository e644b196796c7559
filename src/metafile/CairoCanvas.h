// A canvas that paints into a cairo image surface (premultiplied ARGB,
// transparent where nothing is drawn), encoded as PNG at the end; or one
// that paints onto a cairo context of the caller's (a PDF page, say), which
// it borrows and leaves in the state it found it.
//
// Blends map to cairo's operators (multiply, lighten, difference); before
// the first of them the picture gets a white ground under what is drawn so
// far, as raster operations assume a page beneath; on a borrowed context
// they blend with what the context holds already. Text is drawn by the
// TextShaper the player measured it with. Not thread-safe.
#pragma once

#include <optional>
#include <string>

#include "metafile/Canvas.h"
#include "metafile/TextShaper.h"

namespace qil::metafile {

class CairoCanvas : public Canvas {
 public:
  CairoCanvas(int width, int height, TextShaper& shaper);
  // Draws onto cr, which must outlive the canvas. Pixels() and Png() give
  // nothing for such a canvas.
  CairoCanvas(cairo_t* cr, TextShaper& shaper);
  ~CairoCanvas() override;
  CairoCanvas(const CairoCanvas&) = delete;
  CairoCanvas& operator=(const CairoCanvas&) = delete;

  void SetClip(const std::optional<Rect>& clip) override { clip_ = clip; }
  void DrawPath(const Path& path, const Fill* fill, const Stroke* stroke, Blend blend) override;
  void DrawText(const TextRun& run) override;
  void DrawImage(const Surface& image, Point corner0, Point corner1, Blend blend) override;

  // The pixels drawn so far (nullptr on a borrowed context).
  cairo_surface_t* Pixels();
  std::string Png();

 private:
  void Begin(Blend blend);  // saves the state, clips and sets the operator
  void SetFillSource(const Fill& fill);

  TextShaper& shaper_;
  cairo_surface_t* surface_;  // nullptr when cr_ is borrowed
  cairo_t* cr_;
  std::optional<Rect> clip_;
  bool ground_ = false;  // the white ground is under the picture
};

}  // namespace qil::metafile
