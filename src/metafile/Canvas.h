// What the metafile player draws on: a surface in device pixels (the
// picture's pixels, y down) that takes resolved shapes, text runs and images.
//
// The player turns every record into these few calls, with coordinates
// already mapped, colours resolved and fonts sized; a canvas only has to
// express them (SvgCanvas writes SVG, CairoCanvas paints pixels). Values
// here are plain data; a canvas is used by one thread at a time.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qil::metafile {

struct Color {
  uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Color&) const = default;
};

struct Point {
  double x = 0, y = 0;
};

// left <= right and top <= bottom once Normalized().
struct Rect {
  double left = 0, top = 0, right = 0, bottom = 0;
  Rect Normalized() const;
  bool Empty() const { return right <= left || bottom <= top; }
  Rect Intersect(const Rect& other) const;  // an empty rectangle when they do not meet
  bool operator==(const Rect&) const = default;
};

// An outline of straight lines and cubic Bezier curves.
class Path {
 public:
  enum class Op : uint8_t { kMove, kLine, kCurve, kClose };

  void MoveTo(Point p);
  void LineTo(Point p);
  void CurveTo(Point c1, Point c2, Point end);
  void Close();
  // Appends an elliptical arc of the ellipse centred at c with radii rx, ry,
  // from angle start through sweep (radians, y down, so a negative sweep runs
  // counterclockwise on the screen), joined by a line to where the path is.
  void ArcTo(Point c, double rx, double ry, double start, double sweep);
  void Rectangle(const Rect& r);

  const std::vector<Op>& Ops() const { return ops_; }
  const std::vector<Point>& Points() const { return points_; }  // 1 per move/line, 3 per curve
  bool Empty() const { return ops_.empty(); }
  Rect Bounds() const;  // of every point, control points included

 private:
  std::vector<Op> ops_;
  std::vector<Point> points_;
  bool open_ = false;  // a figure has been started
};

// A raster picture held as a cairo image surface (RGB24).
using Surface = std::shared_ptr<cairo_surface_t>;
Surface MakeSurface(cairo_surface_t* owned);

enum class HatchStyle : uint8_t { kHorizontal, kVertical, kForwardDiagonal, kBackwardDiagonal, kCross, kDiagonalCross };

struct Fill {
  enum class Kind : uint8_t { kSolid, kHatch, kPattern };
  Kind kind = Kind::kSolid;
  Color color;
  bool even_odd = true;
  HatchStyle hatch = HatchStyle::kHorizontal;
  std::optional<Color> hatch_background;  // behind the hatch lines when the background is opaque
  Surface pattern;                        // kPattern: tiled from the picture's origin
  double tile_scale = 1;                  // pixels of the picture per pixel of a hatch cell or pattern
};

// The hatch cell is kHatchCell pixels square (times tile_scale); its lines
// run through pixel centres, each one pixel wide.
inline constexpr int kHatchCell = 8;
struct Segment {
  Point from, to;
};
std::vector<Segment> HatchLines(HatchStyle style);

struct Stroke {
  enum class Cap : uint8_t { kRound, kSquare, kFlat };
  enum class Join : uint8_t { kRound, kBevel, kMiter };
  Color color;
  double width = 1;
  std::vector<double> dashes;  // on, off, ... in pixels; empty: solid
  Cap cap = Cap::kRound;
  Join join = Join::kRound;
};

// How a drawing combines with what is beneath it. Only kNormal can be
// written as SVG; the rest imitate the metafile's raster operations (AND,
// OR, XOR of colours, exact for black and white).
enum class Blend : uint8_t { kNormal, kMultiply, kLighten, kDifference };

struct FontSpec {
  std::string face;     // the metafile's face name, cleaned; may be empty
  std::string generic;  // serif, sans-serif, monospace, cursive or fantasy
  double size = 12;     // em size in pixels
  int weight = 400;     // 100 to 900
  bool italic = false, underline = false, strikeout = false;
};

struct TextRun {
  enum class Anchor : uint8_t { kStart, kMiddle, kEnd };
  FontSpec font;
  Color color;
  Point origin;      // on the baseline
  double angle = 0;  // degrees, counterclockwise on the screen
  std::string text;  // UTF-8
  // Empty: the text flows in the font's own advances, anchored at origin.
  // Else one offset along the baseline per character, from origin (anchor kStart).
  std::vector<double> offsets;
  Anchor anchor = Anchor::kStart;
};

class Canvas {
 public:
  virtual ~Canvas() = default;
  // The clip of the calls that follow; nullopt: the whole picture.
  virtual void SetClip(const std::optional<Rect>& clip) = 0;
  // Fills, then strokes, whichever is given.
  virtual void DrawPath(const Path& path, const Fill* fill, const Stroke* stroke, Blend blend) = 0;
  virtual void DrawText(const TextRun& run) = 0;
  // Draws the image so that its top left corner lands on corner0 and its
  // bottom right one on corner1 (which may lie left of or above corner0: a mirror).
  virtual void DrawImage(const Surface& image, Point corner0, Point corner1, Blend blend) = 0;
};

}  // namespace qil::metafile
