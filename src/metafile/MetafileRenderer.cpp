#include "metafile/MetafileRenderer.h"

#include <cmath>
#include <cstdio>

#include "metafile/CairoCanvas.h"
#include "metafile/MetafilePlayer.h"
#include "metafile/SvgCanvas.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QIL_ADDRESS_SANITIZER 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(QIL_ADDRESS_SANITIZER)
// Fontconfig keeps its configuration and font lists for the life of the
// process (pango's font map holds them); the leak checker of sanitizer builds
// passes over allocations made inside it, in every program that draws
// metafiles. Our code never calls fontconfig directly, so a leak of ours
// still fails the run. (The disc generator, which draws with pango but not
// through this file, says the same in its renderer.)
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
#endif

namespace qil {
namespace {

using namespace metafile;

void Report(const std::string& problem) {
  if (!problem.empty()) std::fprintf(stderr, "metafile: %s; the picture may be incomplete\n", problem.c_str());
}

struct SvgResult {
  std::string svg;
  bool needs_raster;
};

SvgResult DrawSvg(const MetafileBytes& bytes) {
  const Frame frame = FrameOf(bytes, 1);
  TextShaper shaper;
  SvgCanvas canvas(frame.width, frame.height);
  MetafilePlayer player(frame, shaper, canvas);
  player.Play(bytes.Records());
  std::string problem = player.Problem();
  if (canvas.Truncated() && problem.empty()) problem = "the SVG document grew past its limit";
  Report(problem);
  const bool needs_raster = canvas.NeedsRaster();
  return SvgResult{canvas.Finish(), needs_raster};
}

std::string DrawPng(const MetafileBytes& bytes, double scale, bool report) {
  const Frame frame = FrameOf(bytes, scale);
  TextShaper shaper;
  CairoCanvas canvas(frame.width, frame.height, shaper);
  MetafilePlayer player(frame, shaper, canvas);
  player.Play(bytes.Records());
  if (report) Report(player.Problem());
  return canvas.Png();
}

}  // namespace

bool LooksLikeMetafile(std::string_view data) { return MetafileBytes::Open(data).has_value(); }

std::optional<std::string> RenderMetafileToSvg(std::string_view data) {
  const auto bytes = MetafileBytes::Open(data);
  if (!bytes) return std::nullopt;
  return DrawSvg(*bytes).svg;
}

std::optional<std::string> RenderMetafileToPng(std::string_view data, double scale) {
  const auto bytes = MetafileBytes::Open(data);
  if (!bytes) return std::nullopt;
  return DrawPng(*bytes, scale, true);
}

std::optional<std::pair<int, int>> MetafilePictureSize(std::string_view data) {
  const auto bytes = MetafileBytes::Open(data);
  if (!bytes) return std::nullopt;
  const Frame frame = FrameOf(*bytes, 1);
  return std::make_pair(frame.width, frame.height);
}

bool DrawMetafile(cairo_t* cr, std::string_view data, double width, double height) {
  const auto bytes = MetafileBytes::Open(data);
  if (!bytes || !std::isnormal(width) || !std::isnormal(height) || width < 0 || height < 0) return false;
  const Frame frame = FrameOf(*bytes, 1);
  TextShaper shaper;
  cairo_save(cr);
  cairo_rectangle(cr, 0, 0, width, height);
  cairo_clip(cr);
  cairo_scale(cr, width / frame.width, height / frame.height);
  {
    CairoCanvas canvas(cr, shaper);
    MetafilePlayer player(frame, shaper, canvas);
    player.Play(bytes->Records());
    Report(player.Problem());
  }
  cairo_restore(cr);
  return true;
}

std::optional<RenderedPicture> RenderMetafile(std::string_view data, double png_scale) {
  const auto bytes = MetafileBytes::Open(data);
  if (!bytes) return std::nullopt;
  SvgResult svg = DrawSvg(*bytes);
  if (!svg.needs_raster) return RenderedPicture{std::move(svg.svg), "image/svg+xml"};
  // The SVG pass has told of any problem already.
  return RenderedPicture{DrawPng(*bytes, png_scale, false), "image/png"};
}

}  // namespace qil
