#include "metafile/CairoCanvas.h"

#include <cmath>

namespace qil::metafile {
namespace {

void SetColor(cairo_t* cr, Color c) { cairo_set_source_rgb(cr, c.r / 255.0, c.g / 255.0, c.b / 255.0); }

void AddPath(cairo_t* cr, const Path& path) {
  cairo_new_path(cr);
  const auto& p = path.Points();
  size_t at = 0;
  for (Path::Op op : path.Ops()) {
    switch (op) {
      case Path::Op::kMove: cairo_move_to(cr, p[at].x, p[at].y), ++at; break;
      case Path::Op::kLine: cairo_line_to(cr, p[at].x, p[at].y), ++at; break;
      case Path::Op::kCurve:
        cairo_curve_to(cr, p[at].x, p[at].y, p[at + 1].x, p[at + 1].y, p[at + 2].x, p[at + 2].y);
        at += 3;
        break;
      case Path::Op::kClose: cairo_close_path(cr); break;
    }
  }
}

// One tile of a hatch brush, as a repeating pattern.
cairo_pattern_t* HatchPattern(const Fill& fill) {
  cairo_surface_t* tile = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kHatchCell, kHatchCell);
  cairo_t* cr = cairo_create(tile);
  if (fill.hatch_background) {
    SetColor(cr, *fill.hatch_background);
    cairo_paint(cr);
  }
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
  cairo_set_line_width(cr, 1);
  SetColor(cr, fill.color);
  for (const Segment& s : HatchLines(fill.hatch)) {
    cairo_move_to(cr, s.from.x, s.from.y);
    cairo_line_to(cr, s.to.x, s.to.y);
  }
  cairo_stroke(cr);
  cairo_destroy(cr);
  cairo_pattern_t* pattern = cairo_pattern_create_for_surface(tile);
  cairo_surface_destroy(tile);
  return pattern;
}

}  // namespace

CairoCanvas::CairoCanvas(int width, int height, TextShaper& shaper)
    : shaper_(shaper),
      surface_(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height)),
      cr_(cairo_create(surface_)) {}

CairoCanvas::CairoCanvas(cairo_t* cr, TextShaper& shaper)
    : shaper_(shaper), surface_(nullptr), cr_(cr), ground_(true) {}

CairoCanvas::~CairoCanvas() {
  if (surface_ == nullptr) return;
  cairo_destroy(cr_);
  cairo_surface_destroy(surface_);
}

void CairoCanvas::Begin(Blend blend) {
  if (blend != Blend::kNormal && !ground_) {
    ground_ = true;
    cairo_save(cr_);
    cairo_set_operator(cr_, CAIRO_OPERATOR_DEST_OVER);
    SetColor(cr_, Color{255, 255, 255});
    cairo_paint(cr_);
    cairo_restore(cr_);
  }
  cairo_save(cr_);
  if (clip_) {
    cairo_rectangle(cr_, clip_->left, clip_->top, clip_->right - clip_->left, clip_->bottom - clip_->top);
    cairo_clip(cr_);
  }
  switch (blend) {
    case Blend::kNormal: break;
    case Blend::kMultiply: cairo_set_operator(cr_, CAIRO_OPERATOR_MULTIPLY); break;
    case Blend::kLighten: cairo_set_operator(cr_, CAIRO_OPERATOR_LIGHTEN); break;
    case Blend::kDifference: cairo_set_operator(cr_, CAIRO_OPERATOR_DIFFERENCE); break;
  }
}

void CairoCanvas::SetFillSource(const Fill& fill) {
  if (fill.kind == Fill::Kind::kSolid) return SetColor(cr_, fill.color);
  cairo_pattern_t* pattern =
      fill.kind == Fill::Kind::kHatch ? HatchPattern(fill) : cairo_pattern_create_for_surface(fill.pattern.get());
  cairo_pattern_set_extend(pattern, CAIRO_EXTEND_REPEAT);
  cairo_pattern_set_filter(pattern, CAIRO_FILTER_NEAREST);
  cairo_matrix_t matrix;
  cairo_matrix_init_scale(&matrix, 1 / fill.tile_scale, 1 / fill.tile_scale);
  cairo_pattern_set_matrix(pattern, &matrix);
  cairo_set_source(cr_, pattern);
  cairo_pattern_destroy(pattern);
}

void CairoCanvas::DrawPath(const Path& path, const Fill* fill, const Stroke* stroke, Blend blend) {
  Begin(blend);
  AddPath(cr_, path);
  if (fill) {
    cairo_set_fill_rule(cr_, fill->even_odd ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
    SetFillSource(*fill);
    cairo_fill_preserve(cr_);
  }
  if (stroke) {
    SetColor(cr_, stroke->color);
    cairo_set_line_width(cr_, stroke->width);
    static const cairo_line_cap_t kCaps[] = {CAIRO_LINE_CAP_ROUND, CAIRO_LINE_CAP_SQUARE, CAIRO_LINE_CAP_BUTT};
    static const cairo_line_join_t kJoins[] = {CAIRO_LINE_JOIN_ROUND, CAIRO_LINE_JOIN_BEVEL, CAIRO_LINE_JOIN_MITER};
    cairo_set_line_cap(cr_, kCaps[static_cast<int>(stroke->cap)]);
    cairo_set_line_join(cr_, kJoins[static_cast<int>(stroke->join)]);
    cairo_set_miter_limit(cr_, 10);
    cairo_set_dash(cr_, stroke->dashes.data(), static_cast<int>(stroke->dashes.size()), 0);
    cairo_stroke_preserve(cr_);
  }
  cairo_new_path(cr_);
  cairo_restore(cr_);
}

void CairoCanvas::DrawText(const TextRun& run) {
  Begin(Blend::kNormal);
  shaper_.Draw(cr_, run);
  cairo_restore(cr_);
}

void CairoCanvas::DrawImage(const Surface& image, Point corner0, Point corner1, Blend blend) {
  const int w = cairo_image_surface_get_width(image.get()), h = cairo_image_surface_get_height(image.get());
  const double sx = (corner1.x - corner0.x) / w, sy = (corner1.y - corner0.y) / h;
  if (w <= 0 || h <= 0 || !std::isnormal(sx) || !std::isnormal(sy)) return;
  Begin(blend);
  cairo_translate(cr_, corner0.x, corner0.y);
  cairo_scale(cr_, sx, sy);
  cairo_set_source_surface(cr_, image.get(), 0, 0);
  cairo_pattern_set_extend(cairo_get_source(cr_), CAIRO_EXTEND_PAD);
  cairo_rectangle(cr_, 0, 0, w, h);
  cairo_fill(cr_);
  cairo_restore(cr_);
}

cairo_surface_t* CairoCanvas::Pixels() {
  if (surface_ == nullptr) return nullptr;
  cairo_surface_flush(surface_);
  return surface_;
}

std::string CairoCanvas::Png() {
  std::string png;
  if (surface_ == nullptr) return png;
  cairo_surface_write_to_png_stream(
      Pixels(),
      [](void* closure, const unsigned char* data, unsigned int length) {
        static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
        return CAIRO_STATUS_SUCCESS;
      },
      &png);
  return png;
}

}  // namespace qil::metafile
