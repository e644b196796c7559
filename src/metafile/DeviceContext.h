// The drawing state a metafile changes as it plays: the mapping from its
// logical coordinates to the picture's pixels, the selected pen, brush and
// font, colours and modes, the clip, the table of created objects and the
// stack of saved states.
//
// Everything is bounded whatever the file says: the object table holds at
// most kMaxObjects objects (a create beyond that is refused), the stack at
// most kMaxSavedStates states, and the mapping computes in double and clamps
// every coordinate it answers to +-kMaxCoordinate pixels. Plain values; not
// thread-safe.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "metafile/Canvas.h"

namespace qil::metafile {

inline constexpr size_t kMaxObjects = 4096;
inline constexpr size_t kMaxSavedStates = 1024;
inline constexpr double kMaxCoordinate = 1e6;

enum MapMode : uint16_t {
  kMapText = 1,
  kMapLoMetric = 2,
  kMapHiMetric = 3,
  kMapLoEnglish = 4,
  kMapHiEnglish = 5,
  kMapTwips = 6,
  kMapIsotropic = 7,
  kMapAnisotropic = 8,
};

// Logical coordinates to pixels: pixel = viewport origin + (logical - window
// origin) * scale, the scale being the viewport extent over the window extent
// (kMapAnisotropic), the same with the smaller of both magnitudes
// (kMapIsotropic), or fixed by the mode (kMapText: one pixel at 96 per inch;
// the metric and English modes: their unit, with y up). Viewport values are
// in pixels at 96 per inch and multiplied by pixel_scale, the picture's
// pixels per such pixel.
// Pixels at 96 per inch per logical unit of a fixed mode (1 for kMapText and the scaled modes).
double FixedModeUnit(uint16_t mode);

struct Mapping {
  uint16_t mode = kMapAnisotropic;
  Point window_origin, window_extent{1, 1};
  Point viewport_origin, viewport_extent{1, 1};  // in the picture's pixels
  double pixel_scale = 1;

  Point ToDevice(double x, double y) const;
  double ScaleX() const;  // signed
  double ScaleY() const;
};

struct Pen {
  uint16_t style = 0;  // PS_SOLID, round caps and joins
  int16_t width = 0;   // logical units; 0: one pixel
  Color color;
};

struct Brush {
  uint16_t style = 0;  // BS_SOLID
  Color color{255, 255, 255};
  uint16_t hatch = 0;
  Surface pattern;  // of a pattern brush made from a DIB
};

struct Font {
  int16_t height = -12;    // logical units; negative: the em size, positive: the cell height
  int16_t escapement = 0;  // tenths of a degree, counterclockwise
  int16_t weight = 400;
  bool italic = false, underline = false, strikeout = false;
  uint8_t charset = 0, pitch_and_family = 0;
  std::string face;  // cleaned
};

// A region, kept as its bounding rectangle in logical units; a palette is kept as nothing.
struct Region {
  Rect bounds;
};
struct Palette {};

using GdiObject = std::variant<Pen, Brush, Font, Region, Palette>;

struct DcState {
  Mapping mapping;
  Pen pen;
  Brush brush;
  Font font;
  Color text_color, background_color{255, 255, 255};
  bool background_transparent = false;
  uint16_t text_align = 0;
  bool winding = false;      // polygon fill mode WINDING, else ALTERNATE (even-odd)
  uint16_t rop2 = 13;        // R2_COPYPEN
  Point position;            // the current position, logical
  std::optional<Rect> clip;  // pixels; nullopt: the whole picture
};

class ObjectTable {
 public:
  // Puts the object in the lowest free slot; false when the table is full.
  bool Add(GdiObject object);
  // nullptr when the slot is empty or beyond the table.
  const GdiObject* Find(uint16_t index) const;
  void Remove(uint16_t index);

 private:
  std::vector<std::optional<GdiObject>> slots_;
  size_t first_free_ = 0;  // every slot below it is taken
};

class SavedStates {
 public:
  // false when kMaxSavedStates states are saved already.
  bool Save(const DcState& state);
  // A negative which counts back from the latest state (-1: the latest); a
  // positive one is the state that many saves up from the bottom. The
  // restored state and every later one leave the stack. nullopt when there is
  // no such state.
  std::optional<DcState> Restore(int16_t which);

 private:
  std::vector<DcState> states_;
};

}  // namespace qil::metafile
