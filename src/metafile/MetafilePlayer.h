// Plays the records of a Windows metafile onto a canvas, as the system's
// device context would: mapping modes, objects, text, shapes and bitmaps.
//
// The picture's frame is the placeable header's box at its inch, 96 pixels
// per inch, else the first window extent the records set (in pixels, or in
// the unit of a fixed mapping mode set before it), else 1000 x 1000 pixels;
// times the requested scale, and scaled down to fit kMaxSurfaceSide. The
// frame's window is mapped onto the whole picture until the records map it
// otherwise.
//
// Hostile files draw a partial picture, never more: unknown records are
// skipped; a record too short for its fields is skipped; drawing stops after
// kMaxDrawings drawing calls, kMaxPaintedArea pixels painted (reckoned from
// the shapes' bounds), kMaxGlyphs characters or kMaxImagePixels pixels of
// bitmaps; see also DeviceContext.h and MetafileRecords.h. Problem() names
// the first thing that went wrong. Not thread-safe; one play per object.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "metafile/Canvas.h"
#include "metafile/DeviceContext.h"
#include "metafile/MetafileRecords.h"
#include "metafile/TextShaper.h"

namespace qil::metafile {

inline constexpr int kMaxSurfaceSide = 4096;
inline constexpr size_t kMaxDrawings = 200'000;
inline constexpr double kMaxPaintedArea = 2147483648.0;
inline constexpr size_t kMaxGlyphs = 100'000;
inline constexpr int64_t kMaxImagePixels = 32'000'000;

struct Frame {
  int width = 1, height = 1;  // the picture in pixels
  Mapping mapping;            // the mapping before the first record
};

// The frame for a scale of the picture (1: 96 pixels per inch; kept within 1/64 to 64).
Frame FrameOf(const MetafileBytes& bytes, double scale);

class MetafilePlayer {
 public:
  MetafilePlayer(const Frame& frame, TextShaper& shaper, Canvas& canvas);
  void Play(std::string_view records);
  // The first problem met, with the count of further ones; empty when none.
  std::string Problem() const;

 private:
  void Dispatch(uint16_t function, const Params& p);
  void Warn(std::string problem);

  // Drawing: budgets, the clip and the raster operation, then the canvas.
  bool Spend(const Rect& bounds, double stroke_width);
  void DrawShape(const Path& path, bool fill, bool stroke);
  void FillRect(const Rect& rect, const Fill& fill, Blend blend);
  std::optional<Fill> BrushFill() const;
  std::optional<Stroke> PenStroke() const;

  // Records.
  void Polyline(const Params& p, bool closed);
  void PolyPolygon(const Params& p);
  void BoxShape(uint16_t function, const Params& p);
  void ArcShape(uint16_t function, const Params& p);
  void TextOut(const Params& p);
  void ExtTextOut(const Params& p);
  void Text(Point reference, std::string_view bytes, const std::vector<int16_t>& dx, uint16_t options,
            const std::optional<Rect>& rect);
  void Bitmap(uint16_t function, const Params& p);
  void PatternBlt(const Rect& dest, uint8_t rop);
  Surface DecodeDib(std::string_view dib, bool bottom_left_origin, int64_t x, int64_t y, int64_t width, int64_t height);
  void CreateObject(uint16_t function, const Params& p);
  void SelectObject(uint16_t index);
  void SetClip(std::optional<Rect> clip);

  Point ToDevice(double x, double y) const { return state_.mapping.ToDevice(x, y); }
  Rect DeviceRect(double left, double top, double right, double bottom) const;

  Frame frame_;
  TextShaper& shaper_;
  Canvas& canvas_;
  DcState state_;
  ObjectTable objects_;
  SavedStates saved_;
  size_t drawings_ = 0, glyphs_ = 0;
  double painted_ = 0;
  int64_t image_pixels_ = 0;
  bool stopped_ = false;
  std::string problem_;
  size_t more_problems_ = 0;
};

}  // namespace qil::metafile
