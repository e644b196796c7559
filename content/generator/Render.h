// Turns sheets and figures into pixels with Cairo and Pango. A sheet's drawing
// can also go to another SheetCanvas: WmfRecorder.h records it as a metafile.
//
// Text is set in DejaVu Sans (the fonts-dejavu-core package); the Renderer
// refuses to start when fontconfig cannot find it, so pictures never come out
// in a substitute font. Output is deterministic for a given set of library
// and font versions: no hinting of metrics, grey antialiasing, a fixed
// resolution of 96 dpi. A Renderer and its Painters belong to one thread.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "Sheet.h"

typedef struct _cairo cairo_t;
typedef struct _PangoContext PangoContext;
typedef struct _PangoLayout PangoLayout;
typedef struct _cairo_font_options cairo_font_options_t;

namespace qil::disc {

// An opaque RGB picture, 0x00RRGGBB per pixel, rows top to bottom.
struct Raster {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;

  uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// A figure whose picture's edge would cut one of its labels.
class LabelCut : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct Color {
  double r, g, b;
};

inline constexpr Color kInk{0.10, 0.10, 0.10};
inline constexpr Color kAccent{0.12, 0.31, 0.55};
inline constexpr Color kMark{0.69, 0.23, 0.18};
inline constexpr Color kFill{0.87, 0.91, 0.97};
inline constexpr Color kFillWarm{0.99, 0.92, 0.84};
inline constexpr Color kGrid{0.80, 0.84, 0.88};
inline constexpr Color kGreen{0.18, 0.49, 0.20};
inline constexpr Color kMuted{0.40, 0.40, 0.40};
inline constexpr Color kWhite{1.0, 1.0, 1.0};

struct Pt {
  double x = 0, y = 0;
};

// Where a sheet is drawn: pixels through Cairo, or the records of a vector
// picture. Coordinates are pixels of the picture, y down.
class SheetCanvas {
 public:
  virtual ~SheetCanvas() = default;
  // The picture's size, given once before anything is drawn.
  virtual void Begin(int width, int height) = 0;
  // Text laid out by Pango, the layout's top left corner at (x, top).
  virtual void Text(PangoLayout* layout, double x, double top, Color color) = 0;
  // Straight segments joining the points in turn, with round ends, `width` pixels wide.
  virtual void Lines(const std::vector<Pt>& points, double width, Color color) = 0;
};

// Drawing helpers over one Cairo context, for figures and artwork.
class Painter {
 public:
  Painter(cairo_t* cr, PangoContext* pango) : cr_(cr), pango_(pango) {}

  cairo_t* Cairo() const { return cr_; }

  void SetColor(Color c);
  void SetWidth(double width);
  void SetDash(bool dashed);
  void Segment(Pt a, Pt b);
  // Fills the current path (when fill is given) and strokes it (when stroke is set).
  void Finish(const Color* fill, bool stroke = true);
  void Polygon(const std::vector<Pt>& points, const Color* fill, bool stroke = true);
  void Circle(Pt centre, double radius, const Color* fill, bool stroke = true);
  // The sector of a circle from angle a0 to a1 (degrees, counter-clockwise on screen).
  void Sector(Pt centre, double radius, double a0, double a1, const Color* fill);
  void Dot(Pt p, double radius = 3.0);
  // Text placed with its anchor (ax, ay in 0..1 of its box) at p. A label whose
  // ink would reach past the picture's edge is drawn all the same and listed in
  // CutLabels.
  void Label(Pt p, const std::string& markup, double ax = 0.5, double ay = 0.5,
             double size = 11.0, Color color = kInk);
  // The width and height of a label's box, for placing it.
  Pt LabelSize(const std::string& markup, double size = 11.0) const;
  // The labels drawn so far that the picture's edge cuts.
  const std::vector<std::string>& CutLabels() const { return cut_; }
  // The angle arc at vertex v between the rays to a and b.
  void AngleArc(Pt v, Pt a, Pt b, double radius);
  // The square mark of a right angle at v between the rays to a and b.
  void RightAngle(Pt v, Pt a, Pt b, double size = 11.0);
  // A label beside the middle of side ab, on the side away from the point inside.
  void SideLabel(Pt a, Pt b, Pt inside, const std::string& markup, double distance = 14.0,
                 Color color = kInk);
  // A label inside the angle at v (between rays to a and b), at the given distance.
  void AngleLabel(Pt v, Pt a, Pt b, const std::string& markup, double distance = 28.0,
                  Color color = kInk);

 private:
  cairo_t* cr_;
  PangoContext* pango_;
  std::vector<std::string> cut_;
};

// A drawing of fixed size, painted on white.
struct Figure {
  int width = 0;
  int height = 0;
  std::function<void(Painter&)> draw;
  std::string description;  // short ASCII text for the page's alt attribute
};

// Maps a box of model coordinates (y up) into a picture (y down), keeping proportions.
class Viewport {
 public:
  Viewport(double x0, double y0, double x1, double y1, int width, int height, double margin);
  Pt operator()(double x, double y) const;
  double Scale() const { return scale_; }

 private:
  double x0_, y0_, scale_, ox_, oy_;
};

class Renderer {
 public:
  Renderer();
  ~Renderer();
  Renderer(const Renderer&) = delete;
  Renderer& operator=(const Renderer&) = delete;

  // The sheet at the given width; the picture grows wider when a formula line needs it.
  Raster RenderSheet(const Sheet& sheet, int width);
  // The same drawing sent to any canvas: the size, then text and lines.
  void DrawSheet(const Sheet& sheet, int width, SheetCanvas& canvas);
  // Raises LabelCut naming the label when the picture's edge cuts one.
  Raster RenderFigure(const Figure& figure);
  // A picture of the given size painted by the callback on white.
  Raster RenderCustom(int width, int height, const std::function<void(Painter&)>& draw);

 private:
  Raster Paint(int width, int height, const std::function<void(cairo_t*)>& draw) const;

  PangoContext* pango_ = nullptr;
  cairo_font_options_t* options_ = nullptr;
  double axis_ = 0;  // height of the fraction bar above the baseline, in pixels
};

}  // namespace qil::disc
