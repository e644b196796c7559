#include "Render.h"

#include <cairo.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <numbers>
#include <stdexcept>
#include <utility>

#include "MathText.h"

#if defined(__has_feature)  // clang says it so
#if __has_feature(address_sanitizer)
#define QIL_ADDRESS_SANITIZER 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(QIL_ADDRESS_SANITIZER)  // GCC, clang
// Fontconfig loses a few hundred bytes, once per process, while it parses its own
// configuration files (the stack of that allocation holds fontconfig frames only).
// The leak checker of sanitizer builds is told to pass over allocations made inside
// fontconfig; our code never calls it directly, so every leak of ours still fails the run.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
#endif

namespace qil::disc {

namespace {

constexpr const char* kFamily = "DejaVu Sans";
constexpr double kTextSize = 11.0;  // points; 14.7 pixels at 96 dpi
constexpr double kNoteSize = 9.5;
constexpr int kMarginX = 12;
constexpr int kMarginY = 10;
constexpr int kIndent = 28;
constexpr double kFracGap = 2.0;
constexpr double kFracPad = 3.0;

struct LayoutFree {
  void operator()(PangoLayout* l) const { g_object_unref(l); }
};
using LayoutPtr = std::unique_ptr<PangoLayout, LayoutFree>;

LayoutPtr MakeLayout(PangoContext* ctx, const std::string& markup, double size, int wrapWidth = -1) {
  GError* error = nullptr;
  if (!pango_parse_markup(markup.c_str(), -1, 0, nullptr, nullptr, nullptr, &error)) {
    std::string message = error != nullptr ? error->message : "?";
    if (error != nullptr) g_error_free(error);
    throw std::runtime_error("bad text markup (" + message + "): " + markup);
  }
  LayoutPtr layout(pango_layout_new(ctx));
  PangoFontDescription* font = pango_font_description_new();
  pango_font_description_set_family(font, kFamily);
  pango_font_description_set_size(font, static_cast<int>(size * PANGO_SCALE));
  pango_layout_set_font_description(layout.get(), font);
  pango_font_description_free(font);
  if (wrapWidth > 0) {
    pango_layout_set_width(layout.get(), wrapWidth * PANGO_SCALE);
    pango_layout_set_wrap(layout.get(), PANGO_WRAP_WORD);
  }
  pango_layout_set_markup(layout.get(), markup.c_str(), -1);
  return layout;
}

struct Extent {
  double width, ascent, descent;
};

Extent Measure(PangoLayout* layout) {
  PangoRectangle logical;
  pango_layout_get_extents(layout, nullptr, &logical);
  double baseline = pango_layout_get_baseline(layout) / double(PANGO_SCALE);
  double height = logical.height / double(PANGO_SCALE);
  return {logical.width / double(PANGO_SCALE), baseline, height - baseline};
}

// Draws a layout with its baseline's left end at (x, baseline).
void ShowAt(SheetCanvas& canvas, PangoLayout* layout, double x, double baseline, Color color) {
  canvas.Text(layout, x, baseline - pango_layout_get_baseline(layout) / double(PANGO_SCALE), color);
}

void Source(cairo_t* cr, Color c) { cairo_set_source_rgb(cr, c.r, c.g, c.b); }

// One laid-out piece of a formula line.
struct Box {
  Piece::Kind kind;
  LayoutPtr top, bottom;
  Extent a{}, b{};
  double width = 0, ascent = 0, descent = 0;
};

struct LaidFormula {
  std::vector<Box> boxes;
  double width = 0, ascent = 0, descent = 0;
};

std::string Emphasis(const std::string& markup, Style style) {
  return style == Style::kAnswer ? "<b>" + markup + "</b>" : markup;
}

LaidFormula LayFormula(PangoContext* ctx, const Formula& f, Style style, double axis) {
  LaidFormula out;
  for (const Piece& p : f.Pieces()) {
    Box box;
    box.kind = p.kind;
    box.top = MakeLayout(ctx, Emphasis(p.top, style), kTextSize);
    box.a = Measure(box.top.get());
    switch (p.kind) {
      case Piece::Kind::kText:
        box.width = box.a.width;
        box.ascent = box.a.ascent;
        box.descent = box.a.descent;
        break;
      case Piece::Kind::kFraction: {
        box.bottom = MakeLayout(ctx, Emphasis(p.bottom, style), kTextSize);
        box.b = Measure(box.bottom.get());
        box.width = std::max(box.a.width, box.b.width) + 2 * kFracPad;
        box.ascent = axis + kFracGap + box.a.ascent + box.a.descent;
        box.descent = kFracGap + box.b.ascent + box.b.descent - axis;
        break;
      }
      case Piece::Kind::kRoot:
        box.width = box.a.width + 12.0;
        box.ascent = box.a.ascent + 1.0;
        box.descent = box.a.descent;
        break;
    }
    out.width += box.width;
    out.ascent = std::max(out.ascent, box.ascent);
    out.descent = std::max(out.descent, box.descent);
    out.boxes.push_back(std::move(box));
  }
  return out;
}

void DrawFormula(SheetCanvas& canvas, const LaidFormula& f, double x, double baseline, double axis, Color color) {
  for (const Box& box : f.boxes) {
    switch (box.kind) {
      case Piece::Kind::kText:
        ShowAt(canvas, box.top.get(), x, baseline, color);
        break;
      case Piece::Kind::kFraction: {
        double bar = baseline - axis;
        double inner = box.width - 2 * kFracPad;
        ShowAt(canvas, box.top.get(), x + kFracPad + (inner - box.a.width) / 2, bar - kFracGap - box.a.descent,
               color);
        ShowAt(canvas, box.bottom.get(), x + kFracPad + (inner - box.b.width) / 2, bar + kFracGap + box.b.ascent,
               color);
        canvas.Lines({{x + 1.5, bar}, {x + box.width - 1.5, bar}}, 1.1, color);
        break;
      }
      case Piece::Kind::kRoot: {
        double top = baseline - box.ascent + 2.0;
        double bottom = baseline + box.descent * 0.6;
        canvas.Lines({{x + 1.0, baseline - axis * 0.9},
                      {x + 3.5, baseline - axis * 1.2},
                      {x + 6.5, bottom},
                      {x + 10.5, top},
                      {x + box.width, top}},
                     1.2, color);
        ShowAt(canvas, box.top.get(), x + 11.5, baseline, color);
        break;
      }
    }
    x += box.width;
  }
}

// A white picture to paint on, with the pen the drawings start from.
cairo_surface_t* NewSurface(int width, int height, const cairo_font_options_t* options, cairo_t** cr) {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
  *cr = cairo_create(surface);
  cairo_set_font_options(*cr, options);
  cairo_set_source_rgb(*cr, 1, 1, 1);
  cairo_paint(*cr);
  Source(*cr, kInk);
  cairo_set_line_width(*cr, 1.5);
  cairo_set_line_join(*cr, CAIRO_LINE_JOIN_ROUND);
  cairo_set_line_cap(*cr, CAIRO_LINE_CAP_ROUND);
  return surface;
}

// The pixels of a surface, which it frees.
Raster TakeRaster(cairo_surface_t* surface) {
  cairo_surface_flush(surface);
  Raster out;
  out.width = cairo_image_surface_get_width(surface);
  out.height = cairo_image_surface_get_height(surface);
  out.pixels.resize(static_cast<size_t>(out.width) * out.height);
  const unsigned char* data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  for (int y = 0; y < out.height; ++y) {
    const uint32_t* row = reinterpret_cast<const uint32_t*>(data + static_cast<size_t>(y) * stride);
    for (int x = 0; x < out.width; ++x) out.pixels[static_cast<size_t>(y) * out.width + x] = row[x] & 0xFFFFFFu;
  }
  cairo_surface_destroy(surface);
  return out;
}

// Sheets painted into pixels.
class CairoCanvas : public SheetCanvas {
 public:
  explicit CairoCanvas(const cairo_font_options_t* options) : options_(options) {}
  ~CairoCanvas() override {
    if (cr_ != nullptr) cairo_destroy(cr_);
    if (surface_ != nullptr) cairo_surface_destroy(surface_);
  }
  CairoCanvas(const CairoCanvas&) = delete;
  CairoCanvas& operator=(const CairoCanvas&) = delete;

  void Begin(int width, int height) override { surface_ = NewSurface(width, height, options_, &cr_); }

  void Text(PangoLayout* layout, double x, double top, Color color) override {
    Source(cr_, color);
    cairo_move_to(cr_, x, top);
    pango_cairo_show_layout(cr_, layout);
  }

  void Lines(const std::vector<Pt>& points, double width, Color color) override {
    Source(cr_, color);
    cairo_set_line_width(cr_, width);
    if (points.empty()) return;
    cairo_move_to(cr_, points[0].x, points[0].y);
    for (size_t i = 1; i < points.size(); ++i) cairo_line_to(cr_, points[i].x, points[i].y);
    cairo_stroke(cr_);
  }

  Raster Take() {
    cairo_destroy(std::exchange(cr_, nullptr));
    return TakeRaster(std::exchange(surface_, nullptr));
  }

 private:
  const cairo_font_options_t* options_;
  cairo_surface_t* surface_ = nullptr;
  cairo_t* cr_ = nullptr;
};

Pt Unit(Pt from, Pt to) {
  double dx = to.x - from.x, dy = to.y - from.y;
  double len = std::hypot(dx, dy);
  if (len == 0) return {1, 0};
  return {dx / len, dy / len};
}

}  // namespace

// ---- Painter ----

void Painter::SetColor(Color c) { Source(cr_, c); }
void Painter::SetWidth(double width) { cairo_set_line_width(cr_, width); }

void Painter::SetDash(bool dashed) {
  static const double kDash[] = {5.0, 4.0};
  cairo_set_dash(cr_, kDash, dashed ? 2 : 0, 0);
}

void Painter::Segment(Pt a, Pt b) {
  cairo_move_to(cr_, a.x, a.y);
  cairo_line_to(cr_, b.x, b.y);
  cairo_stroke(cr_);
}

void Painter::Finish(const Color* fill, bool stroke) {
  if (fill != nullptr) {
    cairo_save(cr_);
    Source(cr_, *fill);
    cairo_fill_preserve(cr_);
    cairo_restore(cr_);
  }
  if (stroke) {
    cairo_stroke(cr_);
  } else {
    cairo_new_path(cr_);
  }
}

void Painter::Polygon(const std::vector<Pt>& points, const Color* fill, bool stroke) {
  if (points.empty()) return;
  cairo_move_to(cr_, points[0].x, points[0].y);
  for (size_t i = 1; i < points.size(); ++i) cairo_line_to(cr_, points[i].x, points[i].y);
  cairo_close_path(cr_);
  Finish(fill, stroke);
}

void Painter::Circle(Pt centre, double radius, const Color* fill, bool stroke) {
  cairo_new_sub_path(cr_);
  cairo_arc(cr_, centre.x, centre.y, radius, 0, 2 * std::numbers::pi);
  Finish(fill, stroke);
}

void Painter::Sector(Pt centre, double radius, double a0, double a1, const Color* fill) {
  const double k = std::numbers::pi / 180.0;
  cairo_move_to(cr_, centre.x, centre.y);
  cairo_arc_negative(cr_, centre.x, centre.y, radius, -a0 * k, -a1 * k);
  cairo_close_path(cr_);
  Finish(fill, true);
}

void Painter::Dot(Pt p, double radius) {
  cairo_new_sub_path(cr_);
  cairo_arc(cr_, p.x, p.y, radius, 0, 2 * std::numbers::pi);
  cairo_fill(cr_);
}

void Painter::Label(Pt p, const std::string& markup, double ax, double ay, double size, Color color) {
  LayoutPtr layout = MakeLayout(pango_, markup, size);
  PangoRectangle ink, logical;
  pango_layout_get_extents(layout.get(), &ink, &logical);
  double w = logical.width / double(PANGO_SCALE), h = logical.height / double(PANGO_SCALE);
  const double left = p.x - ax * w, top = p.y - ay * h;
  cairo_surface_t* target = cairo_get_target(cr_);
  if (cairo_surface_get_type(target) == CAIRO_SURFACE_TYPE_IMAGE) {
    const double x0 = left + ink.x / double(PANGO_SCALE), y0 = top + ink.y / double(PANGO_SCALE);
    const double x1 = x0 + ink.width / double(PANGO_SCALE), y1 = y0 + ink.height / double(PANGO_SCALE);
    if (x0 < 0 || y0 < 0 || x1 > cairo_image_surface_get_width(target) || y1 > cairo_image_surface_get_height(target)) {
      cut_.push_back(markup);
    }
  }
  cairo_save(cr_);
  Source(cr_, color);
  cairo_move_to(cr_, left, top);
  pango_cairo_show_layout(cr_, layout.get());
  cairo_restore(cr_);
}

Pt Painter::LabelSize(const std::string& markup, double size) const {
  LayoutPtr layout = MakeLayout(pango_, markup, size);
  PangoRectangle logical;
  pango_layout_get_extents(layout.get(), nullptr, &logical);
  return {logical.width / double(PANGO_SCALE), logical.height / double(PANGO_SCALE)};
}

void Painter::AngleArc(Pt v, Pt a, Pt b, double radius) {
  double a1 = std::atan2(a.y - v.y, a.x - v.x);
  double a2 = std::atan2(b.y - v.y, b.x - v.x);
  double diff = std::remainder(a2 - a1, 2 * std::numbers::pi);
  cairo_new_sub_path(cr_);
  if (diff > 0) {
    cairo_arc(cr_, v.x, v.y, radius, a1, a1 + diff);
  } else {
    cairo_arc(cr_, v.x, v.y, radius, a1 + diff, a1);
  }
  cairo_stroke(cr_);
}

void Painter::RightAngle(Pt v, Pt a, Pt b, double size) {
  Pt u = Unit(v, a), w = Unit(v, b);
  cairo_move_to(cr_, v.x + u.x * size, v.y + u.y * size);
  cairo_line_to(cr_, v.x + (u.x + w.x) * size, v.y + (u.y + w.y) * size);
  cairo_line_to(cr_, v.x + w.x * size, v.y + w.y * size);
  cairo_stroke(cr_);
}

void Painter::SideLabel(Pt a, Pt b, Pt inside, const std::string& markup, double distance, Color color) {
  Pt m{(a.x + b.x) / 2, (a.y + b.y) / 2};
  Pt d = Unit(a, b);
  Pt n{-d.y, d.x};
  if (n.x * (inside.x - m.x) + n.y * (inside.y - m.y) > 0) n = {-n.x, -n.y};
  Label({m.x + n.x * distance * 0.45, m.y + n.y * distance * 0.45}, markup, 0.5 - 0.5 * n.x,
        0.5 - 0.5 * n.y, kTextSize, color);
}

void Painter::AngleLabel(Pt v, Pt a, Pt b, const std::string& markup, double distance, Color color) {
  Pt u = Unit(v, a), w = Unit(v, b);
  Pt d = Unit({0, 0}, {u.x + w.x, u.y + w.y});
  Label({v.x + d.x * distance, v.y + d.y * distance}, markup, 0.5, 0.5, 10.0, color);
}

// ---- Viewport ----

Viewport::Viewport(double x0, double y0, double x1, double y1, int width, int height, double margin)
    : x0_(x0), y0_(y0) {
  double sx = (width - 2 * margin) / (x1 - x0);
  double sy = (height - 2 * margin) / (y1 - y0);
  scale_ = std::min(sx, sy);
  ox_ = (width - scale_ * (x1 - x0)) / 2;
  oy_ = height - (height - scale_ * (y1 - y0)) / 2;
}

Pt Viewport::operator()(double x, double y) const {
  return {ox_ + (x - x0_) * scale_, oy_ - (y - y0_) * scale_};
}

// ---- Renderer ----

Renderer::Renderer() {
  PangoFontMap* map = pango_cairo_font_map_get_default();
  PangoFontFamily** families = nullptr;
  int count = 0;
  pango_font_map_list_families(map, &families, &count);
  bool found = false;
  for (int i = 0; i < count; ++i) {
    if (std::strcmp(pango_font_family_get_name(families[i]), kFamily) == 0) found = true;
  }
  g_free(families);
  if (!found) {
    throw std::runtime_error(std::string("the font ") + kFamily +
                             " is not installed (Debian package fonts-dejavu-core)");
  }
  pango_ = pango_font_map_create_context(map);
  pango_cairo_context_set_resolution(pango_, 96.0);
  options_ = cairo_font_options_create();
  cairo_font_options_set_antialias(options_, CAIRO_ANTIALIAS_GRAY);
  cairo_font_options_set_hint_style(options_, CAIRO_HINT_STYLE_SLIGHT);
  cairo_font_options_set_hint_metrics(options_, CAIRO_HINT_METRICS_OFF);
  pango_cairo_context_set_font_options(pango_, options_);

  // The fraction bar sits at the middle of a plus sign.
  LayoutPtr plus = MakeLayout(pango_, "+", kTextSize);
  PangoRectangle ink;
  pango_layout_get_extents(plus.get(), &ink, nullptr);
  double baseline = pango_layout_get_baseline(plus.get()) / double(PANGO_SCALE);
  axis_ = baseline - (ink.y + ink.height / 2.0) / PANGO_SCALE;
}

Renderer::~Renderer() {
  if (pango_ != nullptr) g_object_unref(pango_);
  if (options_ != nullptr) cairo_font_options_destroy(options_);
  // The process-wide font map caches every font and pattern it looked up; let it go
  // with the renderer (a later renderer makes a new one) so that nothing stays behind.
  pango_cairo_font_map_set_default(nullptr);
}

Raster Renderer::Paint(int width, int height, const std::function<void(cairo_t*)>& draw) const {
  cairo_t* cr = nullptr;
  cairo_surface_t* surface = NewSurface(width, height, options_, &cr);
  draw(cr);
  cairo_destroy(cr);
  return TakeRaster(surface);
}

Raster Renderer::RenderSheet(const Sheet& sheet, int width) {
  CairoCanvas canvas(options_);
  DrawSheet(sheet, width, canvas);
  return canvas.Take();
}

void Renderer::DrawSheet(const Sheet& sheet, int width, SheetCanvas& canvas) {
  struct Laid {
    const Block* block;
    LayoutPtr paragraph;
    LaidFormula formula;
    double top = 0;  // space above the block
    double height = 0;
  };
  std::vector<Laid> laid;
  const int textWidth = width - 2 * kMarginX;
  double needed = width;
  const Block* previous = nullptr;
  for (const Block& block : sheet.Blocks()) {
    Laid l{&block, nullptr, {}, 0, 0};
    if (previous != nullptr && block.kind != Block::Kind::kGap && previous->kind != Block::Kind::kGap) {
      l.top = (block.kind == Block::Kind::kFormula && previous->kind == Block::Kind::kFormula) ? 5 : 8;
    }
    switch (block.kind) {
      case Block::Kind::kParagraph: {
        double size = block.style == Style::kNote ? kNoteSize : kTextSize;
        l.paragraph = MakeLayout(pango_, Emphasis(block.markup, block.style), size, textWidth);
        Extent e = Measure(l.paragraph.get());
        l.height = e.ascent + e.descent;
        break;
      }
      case Block::Kind::kFormula: {
        l.formula = LayFormula(pango_, block.formula, block.style, axis_);
        l.height = l.formula.ascent + l.formula.descent;
        double indent = block.align == Align::kIndent ? kIndent : 0;
        needed = std::max(needed, std::ceil(l.formula.width + indent) + 2 * kMarginX);
        break;
      }
      case Block::Kind::kGap:
        l.height = block.gap;
        break;
    }
    previous = &block;
    laid.push_back(std::move(l));
  }
  double total = 2 * kMarginY;
  for (const Laid& l : laid) total += l.top + l.height;
  const int w = static_cast<int>(needed);
  const int h = static_cast<int>(std::ceil(total));

  canvas.Begin(w, h);
  double y = kMarginY;
  for (const Laid& l : laid) {
    y += l.top;
    const Block& b = *l.block;
    const Color color = b.style == Style::kAnswer ? kAccent : (b.style == Style::kNote ? kMuted : kInk);
    if (b.kind == Block::Kind::kParagraph) {
      canvas.Text(l.paragraph.get(), kMarginX, y, color);
    } else if (b.kind == Block::Kind::kFormula) {
      double x = kMarginX;
      if (b.align == Align::kIndent) x += kIndent;
      if (b.align == Align::kCenter) x = (w - l.formula.width) / 2;
      DrawFormula(canvas, l.formula, std::round(x), y + l.formula.ascent, axis_, color);
    }
    y += l.height;
  }
}

Raster Renderer::RenderFigure(const Figure& figure) {
  std::vector<std::string> cut;
  Raster raster = Paint(figure.width, figure.height, [&](cairo_t* cr) {
    Painter painter(cr, pango_);
    figure.draw(painter);
    cut = painter.CutLabels();
  });
  if (!cut.empty()) {
    throw LabelCut("the picture's edge cuts the label \"" + PlainText(cut.front()) + "\" of the figure \"" +
                             figure.description + "\"");
  }
  return raster;
}

Raster Renderer::RenderCustom(int width, int height, const std::function<void(Painter&)>& draw) {
  return Paint(width, height, [&](cairo_t* cr) {
    Painter painter(cr, pango_);
    draw(painter);
  });
}

}  // namespace qil::disc
