// A canvas that writes an SVG document: shapes as paths, text as text
// elements in the metafile's fonts (the face name first, then a generic
// family), bitmaps as embedded PNG pictures.
//
// Numbers are written without the locale (a decimal point always), to two
// decimals. Blends other than kNormal are written as CSS mix-blend-mode,
// which not every viewer follows: NeedsRaster() then says the picture should
// rather be painted. The document stops growing at kMaxSvgBytes (later calls
// are dropped; Truncated() says so). Not thread-safe.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "metafile/Canvas.h"

namespace qil::metafile {

inline constexpr size_t kMaxSvgBytes = 64u << 20;

class SvgCanvas : public Canvas {
 public:
  SvgCanvas(int width, int height);

  void SetClip(const std::optional<Rect>& clip) override;
  void DrawPath(const Path& path, const Fill* fill, const Stroke* stroke, Blend blend) override;
  void DrawText(const TextRun& run) override;
  void DrawImage(const Surface& image, Point corner0, Point corner1, Blend blend) override;

  bool NeedsRaster() const { return needs_raster_; }
  bool Truncated() const { return truncated_; }
  // The document; the canvas is spent afterwards.
  std::string Finish();

 private:
  bool Full();
  std::string FillPaint(const Fill& fill);
  std::string PngDataUri(const Surface& image);
  void BlendStyle(Blend blend);
  std::string NewId(char kind);

  std::string out_;
  std::optional<Rect> clip_;
  bool group_open_ = false;
  bool needs_raster_ = false, truncated_ = false;
  int next_id_ = 0;
  std::map<std::string, std::string> hatches_;  // definition -> id
  // Pattern brushes' pictures (kept alive, so that no other picture takes their address) and their ids.
  std::map<const cairo_surface_t*, std::pair<Surface, std::string>> patterns_;
};

}  // namespace qil::metafile
