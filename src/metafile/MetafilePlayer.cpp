#include "metafile/MetafilePlayer.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "base/LittleEndian.h"
#include "metafile/TextEncoding.h"
#include "picture/Metafile.h"
#include "picture/RasterDecoders.h"

namespace qil::metafile {
namespace {

constexpr double kPi = std::numbers::pi;

// Pen styles (low four bits), end caps and joins.
constexpr uint16_t kPenNull = 5, kPenInsideFrame = 6;
constexpr uint16_t kCapSquare = 0x100, kCapFlat = 0x200, kJoinBevel = 0x1000, kJoinMiter = 0x2000;
// Brush styles.
constexpr uint16_t kBrushNull = 1, kBrushHatched = 2, kBrushPattern = 3, kBrushDibPattern = 5, kBrushDibPatternPt = 6;
// Text alignment and ExtTextOut options.
constexpr uint16_t kAlignUpdateCP = 1, kAlignRight = 2, kAlignCenter = 6, kAlignBottom = 8, kAlignBaseline = 24;
constexpr uint16_t kEtoOpaque = 2, kEtoClipped = 4;
// Raster operations of the blits, by the index in bits 16 to 23 of their code.
constexpr uint8_t kRopBlack = 0x00, kRopNotSrcCopy = 0x33, kRopDstInvert = 0x55, kRopPatInvert = 0x5A,
                  kRopSrcInvert = 0x66, kRopSrcAnd = 0x88, kRopNop = 0xAA, kRopSrcCopy = 0xCC, kRopSrcPaint = 0xEE,
                  kRopPatCopy = 0xF0, kRopWhite = 0xFF;
constexpr uint32_t kRop3SrcCopy = 0x00CC0020;
constexpr uint16_t kDibPaletteColors = 1;
// The em size of a font whose height is 0, in pixels at 96 per inch.
constexpr double kDefaultFontSize = 16;
constexpr size_t kFrameScanRecords = 10'000;

const Color kBlack{0, 0, 0}, kWhite{255, 255, 255};

Color ColorOf(uint32_t colorref) {
  return Color{static_cast<uint8_t>(colorref), static_cast<uint8_t>(colorref >> 8),
               static_cast<uint8_t>(colorref >> 16)};
}

Color Inverse(Color c) {
  return Color{static_cast<uint8_t>(255 - c.r), static_cast<uint8_t>(255 - c.g), static_cast<uint8_t>(255 - c.b)};
}

// Extents and origins stay finite and away from zero whatever the records scale them by.
double ClampExtent(double value) { return std::copysign(std::clamp(std::abs(value), 1e-3, 1e9), value); }
double ClampOrigin(double value) { return std::clamp(value, -1e9, 1e9); }

std::string Hex(uint32_t value) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text;
  do {
    text.insert(text.begin(), kDigits[value & 15]);
    value >>= 4;
  } while (value != 0);
  return "0x" + text;
}

// The length of the path's outline, control points counted as corners.
double OutlineLength(const Path& path) {
  double length = 0;
  const auto& points = path.Points();
  for (size_t i = 1; i < points.size(); ++i) {
    length += std::hypot(points[i].x - points[i - 1].x, points[i].y - points[i - 1].y);
  }
  return length;
}

// The raster operation of pens and brushes: false when nothing is drawn.
// The colour and blend imitate the operation.
bool ApplyRop2(uint16_t rop2, Color& color, Blend& blend) {
  // R2_BLACK, R2_NOTCOPYPEN, R2_NOT, R2_XORPEN, R2_MASKPEN, R2_NOTXORPEN, R2_NOP, R2_MERGEPEN, R2_WHITE; the
  // rest (R2_COPYPEN and rare ones) draw as they are.
  switch (rop2) {
    case 1: color = kBlack; break;
    case 4: color = Inverse(color); break;
    case 6: color = kWhite, blend = Blend::kDifference; break;
    case 7: blend = Blend::kDifference; break;
    case 9: blend = Blend::kMultiply; break;
    case 10: color = Inverse(color), blend = Blend::kDifference; break;
    case 11: return false;
    case 15: blend = Blend::kLighten; break;
    case 16: color = kWhite; break;
    default: break;
  }
  return true;
}

}  // namespace

Frame FrameOf(const MetafileBytes& bytes, double scale) {
  double s = std::isfinite(scale) ? std::clamp(scale, 1 / 64.0, 64.0) : 1;
  Point origin, extent{1000, 1000};
  double width = 1000, height = 1000;  // pixels at 96 per inch
  if (const auto& box = bytes.Box()) {
    origin = Point{static_cast<double>(box->left), static_cast<double>(box->top)};
    extent = Point{static_cast<double>(box->right - box->left), static_cast<double>(box->bottom - box->top)};
    width = std::abs(extent.x) * kPixelsPerInch / box->inch;
    height = std::abs(extent.y) * kPixelsPerInch / box->inch;
  } else {
    uint16_t mode = kMapAnisotropic;
    std::optional<Point> found_origin, found_extent;
    RecordReader reader(bytes.Records());
    for (size_t i = 0; i < kFrameScanRecords && !found_extent; ++i) {
      const auto record = reader.Next();
      if (!record) break;
      const Params& p = record->params;
      if (record->function == kSetMapMode) mode = p.U16(0);
      if (record->function == kSetWindowOrg && !found_origin) found_origin = Point{1.0 * p.S16(1), 1.0 * p.S16(0)};
      if (record->function == kSetWindowExt && p.S16(0) != 0 && p.S16(1) != 0) {
        found_extent = Point{1.0 * p.S16(1), 1.0 * p.S16(0)};
      }
    }
    if (found_extent) {
      origin = found_origin.value_or(Point{});
      extent = *found_extent;
      width = std::abs(extent.x) * FixedModeUnit(mode);
      height = std::abs(extent.y) * FixedModeUnit(mode);
    }
  }
  const double largest = std::max(width, height) * s;
  if (largest > kMaxSurfaceSide) s *= kMaxSurfaceSide / largest;
  Frame frame;
  frame.width = static_cast<int>(std::clamp(std::lround(width * s), 1L, static_cast<long>(kMaxSurfaceSide)));
  frame.height = static_cast<int>(std::clamp(std::lround(height * s), 1L, static_cast<long>(kMaxSurfaceSide)));
  frame.mapping.window_origin = origin;
  frame.mapping.window_extent = Point{ClampExtent(extent.x), ClampExtent(extent.y)};
  frame.mapping.viewport_extent = Point{ClampExtent(width * s), ClampExtent(height * s)};
  frame.mapping.pixel_scale = s;
  return frame;
}

MetafilePlayer::MetafilePlayer(const Frame& frame, TextShaper& shaper, Canvas& canvas)
    : frame_(frame), shaper_(shaper), canvas_(canvas) {
  state_.mapping = frame.mapping;
}

void MetafilePlayer::Play(std::string_view records) {
  RecordReader reader(records);
  while (!stopped_) {
    const auto record = reader.Next();
    if (!record) break;
    Dispatch(record->function, record->params);
  }
  if (!reader.Problem().empty()) Warn(reader.Problem());
}

std::string MetafilePlayer::Problem() const {
  if (more_problems_ == 0) return problem_;
  return problem_ + " (and " + std::to_string(more_problems_) + " more problems)";
}

void MetafilePlayer::Warn(std::string problem) {
  if (problem_.empty()) {
    problem_ = std::move(problem);
  } else {
    ++more_problems_;
  }
}

Rect MetafilePlayer::DeviceRect(double left, double top, double right, double bottom) const {
  const Point a = ToDevice(left, top), b = ToDevice(right, bottom);
  return Rect{a.x, a.y, b.x, b.y}.Normalized();
}

void MetafilePlayer::Dispatch(uint16_t function, const Params& p) {
  // Words each record needs; a shorter one is skipped.
  static const std::pair<uint16_t, size_t> kMinimumWords[] = {
      {kSetBkMode, 1}, {kSetMapMode, 1}, {kSetROP2, 1}, {kSetPolyFillMode, 1}, {kRestoreDC, 1},
      {kSelectObject, 1}, {kDeleteObject, 1}, {kSelectClipRegion, 1}, {kSetTextAlign, 1}, {kSetBkColor, 2},
      {kSetTextColor, 2}, {kSetWindowOrg, 2}, {kSetWindowExt, 2}, {kSetViewportOrg, 2}, {kSetViewportExt, 2},
      {kOffsetWindowOrg, 2}, {kOffsetViewportOrg, 2}, {kOffsetClipRgn, 2}, {kLineTo, 2}, {kMoveTo, 2},
      {kScaleWindowExt, 4}, {kScaleViewportExt, 4}, {kIntersectClipRect, 4}, {kExcludeClipRect, 4},
      {kRectangle, 4}, {kEllipse, 4}, {kRoundRect, 6}, {kArc, 8}, {kPie, 8}, {kChord, 8}, {kPatBlt, 6},
      {kPolygon, 1}, {kPolyline, 1}, {kPolyPolygon, 1}, {kTextOut, 1}, {kExtTextOut, 4}, {kCreatePenIndirect, 5},
      {kCreateBrushIndirect, 4}, {kCreateFontIndirect, 9}, {kStretchDIB, 11}, {kDIBStretchBlt, 10},
      {kDIBBitBlt, 8}, {kSetDIBitsToDevice, 9}, {kDIBCreatePatternBrush, 2}};
  for (const auto& [f, words] : kMinimumWords) {
    if (f == function && !p.Has(words)) return Warn("record " + Hex(function) + " is too short");
  }
  Mapping& m = state_.mapping;
  const double ps = m.pixel_scale;
  switch (function) {
    case kSetMapMode:
      if (p.U16(0) >= kMapText && p.U16(0) <= kMapAnisotropic) m.mode = p.U16(0);
      break;
    case kSetWindowOrg: m.window_origin = Point{1.0 * p.S16(1), 1.0 * p.S16(0)}; break;
    case kSetWindowExt:
      if (p.S16(0) != 0 && p.S16(1) != 0) m.window_extent = Point{1.0 * p.S16(1), 1.0 * p.S16(0)};
      break;
    case kSetViewportOrg: m.viewport_origin = Point{p.S16(1) * ps, p.S16(0) * ps}; break;
    case kSetViewportExt:
      if (p.S16(0) != 0 && p.S16(1) != 0) {
        m.viewport_extent = Point{ClampExtent(p.S16(1) * ps), ClampExtent(p.S16(0) * ps)};
      }
      break;
    case kOffsetWindowOrg:
      m.window_origin = Point{ClampOrigin(m.window_origin.x + p.S16(1)), ClampOrigin(m.window_origin.y + p.S16(0))};
      break;
    case kOffsetViewportOrg:
      m.viewport_origin =
          Point{ClampOrigin(m.viewport_origin.x + p.S16(1) * ps), ClampOrigin(m.viewport_origin.y + p.S16(0) * ps)};
      break;
    case kScaleWindowExt:
    case kScaleViewportExt: {
      // y denominator, y numerator, x denominator, x numerator
      if (p.S16(0) == 0 || p.S16(1) == 0 || p.S16(2) == 0 || p.S16(3) == 0) break;
      Point& extent = function == kScaleWindowExt ? m.window_extent : m.viewport_extent;
      extent = Point{ClampExtent(extent.x * p.S16(3) / p.S16(2)), ClampExtent(extent.y * p.S16(1) / p.S16(0))};
      break;
    }
    case kSaveDC:
      if (!saved_.Save(state_)) Warn("more than " + std::to_string(kMaxSavedStates) + " saved states");
      break;
    case kRestoreDC:
      if (auto state = saved_.Restore(p.S16(0))) {
        state_ = std::move(*state);
      } else {
        Warn("no saved state " + std::to_string(p.S16(0)) + " to restore");
      }
      break;
    case kSetBkMode: state_.background_transparent = p.U16(0) == 1; break;
    case kSetBkColor: state_.background_color = ColorOf(p.U32(0)); break;
    case kSetTextColor: state_.text_color = ColorOf(p.U32(0)); break;
    case kSetTextAlign: state_.text_align = p.U16(0); break;
    case kSetPolyFillMode: state_.winding = p.U16(0) == 2; break;
    case kSetROP2: state_.rop2 = p.U16(0); break;
    case kCreatePenIndirect:
    case kCreateBrushIndirect:
    case kCreateFontIndirect:
    case kCreatePalette:
    case kCreateRegion:
    case kCreatePatternBrush:
    case kDIBCreatePatternBrush:
      CreateObject(function, p);
      break;
    case kSelectObject: SelectObject(p.U16(0)); break;
    case kDeleteObject: objects_.Remove(p.U16(0)); break;
    case kIntersectClipRect: {
      const Rect r = DeviceRect(p.S16(3), p.S16(2), p.S16(1), p.S16(0));
      SetClip(state_.clip ? state_.clip->Intersect(r) : r);
      break;
    }
    case kExcludeClipRect: Warn("excluded clip rectangles are not drawn"); break;
    case kSelectClipRegion: SelectObject(p.U16(0)); break;
    case kOffsetClipRgn:
      if (state_.clip) {
        const double dx = p.S16(1) * m.ScaleX(), dy = p.S16(0) * m.ScaleY();
        const Rect& c = *state_.clip;
        SetClip(Rect{c.left + dx, c.top + dy, c.right + dx, c.bottom + dy});
      }
      break;
    case kMoveTo: state_.position = Point{1.0 * p.S16(1), 1.0 * p.S16(0)}; break;
    case kLineTo: {
      Path path;
      path.MoveTo(ToDevice(state_.position.x, state_.position.y));
      state_.position = Point{1.0 * p.S16(1), 1.0 * p.S16(0)};
      path.LineTo(ToDevice(state_.position.x, state_.position.y));
      DrawShape(path, false, true);
      break;
    }
    case kPolyline: Polyline(p, false); break;
    case kPolygon: Polyline(p, true); break;
    case kPolyPolygon: PolyPolygon(p); break;
    case kRectangle:
    case kRoundRect:
    case kEllipse:
      BoxShape(function, p);
      break;
    case kArc:
    case kChord:
    case kPie:
      ArcShape(function, p);
      break;
    case kTextOut: TextOut(p); break;
    case kExtTextOut: ExtTextOut(p); break;
    case kPatBlt: {
      const double x = p.S16(5), y = p.S16(4);
      PatternBlt(DeviceRect(x, y, x + p.S16(3), y + p.S16(2)), static_cast<uint8_t>(p.U32(0) >> 16));
      break;
    }
    case kStretchDIB:
    case kDIBStretchBlt:
    case kDIBBitBlt:
    case kSetDIBitsToDevice:
      Bitmap(function, p);
      break;
    default: break;  // not drawn: palettes, escapes, regions painted, ...
  }
}

void MetafilePlayer::SetClip(std::optional<Rect> clip) { state_.clip = clip; }

// ---------------------------------------------------------------------------
// Objects

void MetafilePlayer::CreateObject(uint16_t function, const Params& p) {
  GdiObject object = Palette{};
  switch (function) {
    case kCreatePenIndirect:
      object = Pen{p.U16(0), static_cast<int16_t>(std::abs(p.S16(1))), ColorOf(p.U32(3))};
      break;
    case kCreateBrushIndirect:
      object = Brush{p.U16(0), ColorOf(p.U32(1)), p.U16(3), nullptr};
      break;
    case kCreateFontIndirect: {
      Font font;
      font.height = p.S16(0);
      font.escapement = p.S16(2);
      font.weight = p.S16(4);
      font.italic = p.U8(10) != 0;
      font.underline = p.U8(11) != 0;
      font.strikeout = p.U8(12) != 0;
      font.charset = p.U8(13);
      font.pitch_and_family = p.U8(17);
      font.face = CleanFaceName(p.Bytes(18, 32));
      object = std::move(font);
      break;
    }
    case kCreateRegion:
      // Bounding rectangle after the region's header.
      object = Region{Rect{1.0 * p.S16(7), 1.0 * p.S16(8), 1.0 * p.S16(9), 1.0 * p.S16(10)}};
      break;
    case kCreatePatternBrush:
      Warn("a pattern brush of the old bitmap format is drawn grey");
      object = Brush{0, Color{128, 128, 128}, 0, nullptr};
      break;
    case kDIBCreatePatternBrush: {
      Brush brush{kBrushDibPatternPt, kBlack, 0, nullptr};
      if (p.U16(0) == kBrushPattern || p.U16(1) == kDibPaletteColors) {
        Warn("a pattern brush of the old bitmap format is drawn grey");
        brush = Brush{0, Color{128, 128, 128}, 0, nullptr};
      } else {
        brush.pattern = DecodeDib(p.Bytes(4), false, 0, 0, 0, 0);
      }
      object = std::move(brush);
      break;
    }
    default: break;
  }
  if (!objects_.Add(std::move(object))) Warn("more than " + std::to_string(kMaxObjects) + " objects");
}

void MetafilePlayer::SelectObject(uint16_t index) {
  const GdiObject* object = objects_.Find(index);
  if (object == nullptr) return Warn("no object " + std::to_string(index) + " to select");
  if (const auto* pen = std::get_if<Pen>(object)) state_.pen = *pen;
  if (const auto* brush = std::get_if<Brush>(object)) state_.brush = *brush;
  if (const auto* font = std::get_if<Font>(object)) state_.font = *font;
  if (const auto* region = std::get_if<Region>(object)) {
    const Rect& b = region->bounds;
    SetClip(DeviceRect(b.left, b.top, b.right, b.bottom));
  }
}

// ---------------------------------------------------------------------------
// Drawing

std::optional<Fill> MetafilePlayer::BrushFill() const {
  const Brush& brush = state_.brush;
  Fill fill;
  fill.color = brush.color;
  fill.even_odd = !state_.winding;
  fill.tile_scale = state_.mapping.pixel_scale;
  switch (brush.style) {
    case kBrushNull: return std::nullopt;
    case kBrushHatched:
      fill.kind = Fill::Kind::kHatch;
      fill.hatch = static_cast<HatchStyle>(brush.hatch <= 5 ? brush.hatch : 0);
      if (!state_.background_transparent) fill.hatch_background = state_.background_color;
      break;
    case kBrushPattern:
    case kBrushDibPattern:
    case kBrushDibPatternPt:
      if (brush.pattern) {
        fill.kind = Fill::Kind::kPattern;
        fill.pattern = brush.pattern;
      }
      break;
    default: break;
  }
  return fill;
}

std::optional<Stroke> MetafilePlayer::PenStroke() const {
  const Pen& pen = state_.pen;
  const uint16_t kind = pen.style & 0x0F;
  if (kind == kPenNull) return std::nullopt;
  const double ps = state_.mapping.pixel_scale;
  Stroke stroke;
  stroke.color = pen.color;
  stroke.width = std::max(ps, pen.width * std::abs(state_.mapping.ScaleX()));
  if ((pen.style & 0x0F00) == kCapSquare) stroke.cap = Stroke::Cap::kSquare;
  if ((pen.style & 0x0F00) == kCapFlat) stroke.cap = Stroke::Cap::kFlat;
  if ((pen.style & 0xF000) == kJoinBevel) stroke.join = Stroke::Join::kBevel;
  if ((pen.style & 0xF000) == kJoinMiter) stroke.join = Stroke::Join::kMiter;
  // Dashes and dots are drawn by pens one unit wide only, in the system's pixel pattern.
  static const std::vector<double> kDashes[] = {{18, 6}, {3, 3}, {9, 6, 3, 6}, {9, 3, 3, 3, 3, 3}};
  if (kind >= 1 && kind <= 4 && pen.width <= 1) {
    for (double length : kDashes[kind - 1]) stroke.dashes.push_back(length * ps);
    stroke.cap = Stroke::Cap::kFlat;
  }
  return stroke;
}

bool MetafilePlayer::Spend(const Rect& bounds, double stroke_width) {
  if (stopped_) return false;
  if (++drawings_ > kMaxDrawings) {
    stopped_ = true;
    Warn("drawing stopped after " + std::to_string(kMaxDrawings) + " drawings");
    return false;
  }
  const double half = stroke_width / 2;
  Rect area = Rect{bounds.left - half, bounds.top - half, bounds.right + half, bounds.bottom + half}.Intersect(
      Rect{0, 0, 1.0 * frame_.width, 1.0 * frame_.height});
  painted_ += std::max(1.0, (area.right - area.left) * (area.bottom - area.top));
  if (painted_ > kMaxPaintedArea) {
    stopped_ = true;
    Warn("drawing stopped after painting " + std::to_string(kMaxPaintedArea) + " pixels");
    return false;
  }
  return true;
}

void MetafilePlayer::DrawShape(const Path& path, bool fill, bool stroke) {
  if (path.Empty()) return;
  std::optional<Fill> f = fill ? BrushFill() : std::nullopt;
  std::optional<Stroke> s = stroke ? PenStroke() : std::nullopt;
  if (!f && !s) return;
  Blend blend = Blend::kNormal;
  if ((f && !ApplyRop2(state_.rop2, f->color, blend)) || (s && !ApplyRop2(state_.rop2, s->color, blend))) return;
  Rect bounds = path.Bounds();
  if (!f) {  // a thin outline paints far less than its bounds
    const double outline = OutlineLength(path) * std::max(1.0, s->width);
    const double box = (bounds.right - bounds.left) * (bounds.bottom - bounds.top);
    if (outline < box) bounds = Rect{bounds.left, bounds.top, bounds.left + outline, bounds.top + 1};
  }
  if (!Spend(bounds, s ? s->width : 0)) return;
  canvas_.SetClip(state_.clip);
  canvas_.DrawPath(path, f ? &*f : nullptr, s ? &*s : nullptr, blend);
}

void MetafilePlayer::FillRect(const Rect& rect, const Fill& fill, Blend blend) {
  Path path;
  path.Rectangle(rect);
  if (!Spend(rect, 0)) return;
  canvas_.SetClip(state_.clip);
  canvas_.DrawPath(path, &fill, nullptr, blend);
}

void MetafilePlayer::Polyline(const Params& p, bool closed) {
  size_t count = p.U16(0);
  if (!p.Has(1 + 2 * count)) {
    Warn("a polygon has fewer points than it says");
    count = (p.Words() - 1) / 2;
  }
  if (count < 2) return;
  Path path;
  for (size_t i = 0; i < count; ++i) path.LineTo(ToDevice(p.S16(1 + 2 * i), p.S16(2 + 2 * i)));
  if (closed) path.Close();
  DrawShape(path, closed, true);
}

void MetafilePlayer::PolyPolygon(const Params& p) {
  const size_t polygons = p.U16(0);
  if (!p.Has(1 + polygons)) return Warn("a polygon set has fewer polygons than it says");
  size_t at = 1 + polygons;  // word of the next point
  Path path;
  for (size_t i = 0; i < polygons; ++i) {
    size_t count = p.U16(1 + i);
    if (!p.Has(at + 2 * count)) {
      Warn("a polygon set has fewer points than it says");
      count = (p.Words() - at) / 2;
    }
    for (size_t j = 0; j < count; ++j) {
      const Point point = ToDevice(p.S16(at + 2 * j), p.S16(at + 2 * j + 1));
      if (j == 0) {
        path.MoveTo(point);
      } else {
        path.LineTo(point);
      }
    }
    if (count > 0) path.Close();
    at += 2 * count;
  }
  DrawShape(path, true, true);
}

void MetafilePlayer::BoxShape(uint16_t function, const Params& p) {
  const size_t base = function == kRoundRect ? 2 : 0;  // bottom, right, top, left after the corner's size
  Rect r = DeviceRect(p.S16(base + 3), p.S16(base + 2), p.S16(base + 1), p.S16(base));
  if ((state_.pen.style & 0x0F) == kPenInsideFrame) {
    if (const auto stroke = PenStroke()) {
      const double inset = std::min({stroke->width / 2, (r.right - r.left) / 2, (r.bottom - r.top) / 2});
      r = Rect{r.left + inset, r.top + inset, r.right - inset, r.bottom - inset};
    }
  }
  const double width = r.right - r.left, height = r.bottom - r.top;
  Path path;
  if (function == kRectangle) {
    path.Rectangle(r);
  } else if (function == kEllipse) {
    path.ArcTo(Point{r.left + width / 2, r.top + height / 2}, width / 2, height / 2, 0, 2 * kPi);
    path.Close();
  } else {
    const double rx = std::min(width / 2, std::abs(p.S16(1) * state_.mapping.ScaleX()) / 2);
    const double ry = std::min(height / 2, std::abs(p.S16(0) * state_.mapping.ScaleY()) / 2);
    path.ArcTo(Point{r.right - rx, r.top + ry}, rx, ry, -kPi / 2, kPi / 2);
    path.ArcTo(Point{r.right - rx, r.bottom - ry}, rx, ry, 0, kPi / 2);
    path.ArcTo(Point{r.left + rx, r.bottom - ry}, rx, ry, kPi / 2, kPi / 2);
    path.ArcTo(Point{r.left + rx, r.top + ry}, rx, ry, kPi, kPi / 2);
    path.Close();
  }
  DrawShape(path, true, true);
}

void MetafilePlayer::ArcShape(uint16_t function, const Params& p) {
  // end y, end x, start y, start x, bottom, right, top, left
  const Rect r = DeviceRect(p.S16(7), p.S16(6), p.S16(5), p.S16(4));
  const Point c{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  const double rx = (r.right - r.left) / 2, ry = (r.bottom - r.top) / 2;
  if (rx < 1e-6 || ry < 1e-6) return;
  const Point start = ToDevice(p.S16(3), p.S16(2)), end = ToDevice(p.S16(1), p.S16(0));
  const double a0 = std::atan2((start.y - c.y) / ry, (start.x - c.x) / rx);
  const double a1 = std::atan2((end.y - c.y) / ry, (end.x - c.x) / rx);
  // Counterclockwise on the screen, where y grows downwards: the angle falls.
  double sweep = a1 - a0;
  if (sweep >= 0) sweep -= 2 * kPi;
  Path path;
  if (function == kPie) path.MoveTo(c);
  path.ArcTo(c, rx, ry, a0, sweep);
  if (function != kArc) path.Close();
  DrawShape(path, function != kArc, true);
}

// ---------------------------------------------------------------------------
// Text

void MetafilePlayer::TextOut(const Params& p) {
  const size_t count = p.U16(0);
  const size_t after = 1 + (count + 1) / 2;  // the word after the string
  if (!p.Has(after + 2)) return Warn("a text record is shorter than its text");
  Text(ToDevice(p.S16(after + 1), p.S16(after)), p.Bytes(2, count), {}, 0, std::nullopt);
}

void MetafilePlayer::ExtTextOut(const Params& p) {
  const size_t count = p.U16(2);
  const uint16_t options = p.U16(3);
  std::optional<Rect> rect;
  size_t at = 4;  // word of the string
  if (options & (kEtoOpaque | kEtoClipped)) {
    rect = DeviceRect(p.S16(4), p.S16(5), p.S16(6), p.S16(7));
    at = 8;
  }
  std::string_view bytes = p.Bytes(2 * at, count);
  if (bytes.size() < count) Warn("a text record is shorter than its text");
  std::vector<int16_t> dx;
  const size_t dx_at = at + (count + 1) / 2;
  if (p.Has(dx_at + count) && count > 0) {
    dx.reserve(count);
    for (size_t i = 0; i < count; ++i) dx.push_back(p.S16(dx_at + i));
  }
  Text(ToDevice(p.S16(1), p.S16(0)), bytes, dx, options, rect);
}

void MetafilePlayer::Text(Point reference, std::string_view bytes, const std::vector<int16_t>& dx, uint16_t options,
                          const std::optional<Rect>& rect) {
  if (stopped_) return;
  std::optional<Rect> clip = state_.clip;
  if (rect && (options & kEtoClipped)) clip = clip ? clip->Intersect(*rect) : *rect;
  if (rect && (options & kEtoOpaque)) {
    Fill background;
    background.color = state_.background_color;
    FillRect(*rect, background, Blend::kNormal);
  }
  if (bytes.empty()) return;
  glyphs_ += bytes.size();
  if (glyphs_ > kMaxGlyphs) {
    stopped_ = true;
    return Warn("drawing stopped after " + std::to_string(kMaxGlyphs) + " characters");
  }

  const Font& font = state_.font;
  const Mapping& m = state_.mapping;
  TextRun run;
  run.color = state_.text_color;
  run.font.face = font.face;
  run.font.generic = GenericFamily(font.pitch_and_family, font.face);
  run.font.weight = font.weight <= 0 ? 400 : std::clamp((font.weight + 50) / 100 * 100, 100, 900);
  run.font.italic = font.italic;
  run.font.underline = font.underline;
  run.font.strikeout = font.strikeout;
  run.font.size = 1;
  double size = kDefaultFontSize * m.pixel_scale;
  if (font.height < 0) size = -font.height * std::abs(m.ScaleY());
  if (font.height > 0) {  // the cell height: ascent and descent
    const TextShaper::Metrics unit = shaper_.FontMetrics(run.font);
    size = font.height * std::abs(m.ScaleY()) / std::max(0.1, unit.ascent + unit.descent);
  }
  if (!(size >= 0.1)) return;  // too small to see
  run.font.size = std::min(size, 8192.0);
  const TextShaper::Metrics metrics = shaper_.FontMetrics(run.font);

  const TextCharset charset = CharsetOf(font.charset, font.face);
  for (char byte : bytes) AppendUtf8(run.text, DecodeChar(static_cast<uint8_t>(byte), charset));
  run.angle = font.escapement / 10.0;
  const double radians = run.angle * kPi / 180;
  const Point along{std::cos(radians), -std::sin(radians)}, down{std::sin(radians), std::cos(radians)};

  // Where the characters go: at the file's advances, else the font's own.
  double width = 0;
  const bool positioned = dx.size() >= bytes.size();
  if (positioned) {
    const double sx = std::abs(m.ScaleX());
    for (size_t i = 0; i < bytes.size(); ++i) {
      run.offsets.push_back(width);
      width += dx[i] * sx;
    }
  } else if (!state_.background_transparent || (state_.text_align & kAlignUpdateCP)) {
    width = shaper_.Width(run.font, run.text);
  }
  if (state_.text_align & kAlignUpdateCP) {
    reference = ToDevice(state_.position.x, state_.position.y);
  }
  // How far left of the reference point the text starts, as a share of its width.
  double share = 0;
  if ((state_.text_align & kAlignCenter) == kAlignCenter) {
    share = 0.5;
    run.anchor = TextRun::Anchor::kMiddle;
  } else if (state_.text_align & kAlignRight) {
    share = 1;
    run.anchor = TextRun::Anchor::kEnd;
  }
  double drop = metrics.ascent;  // from the reference point down to the baseline
  if ((state_.text_align & kAlignBaseline) == kAlignBaseline) {
    drop = 0;
  } else if (state_.text_align & kAlignBottom) {
    drop = -metrics.descent;
  }
  const Point baseline{reference.x + down.x * drop, reference.y + down.y * drop};
  const Point start{baseline.x - along.x * width * share, baseline.y - along.y * width * share};
  run.origin = baseline;
  if (positioned) {
    run.origin = start;
    run.anchor = TextRun::Anchor::kStart;
  }

  if (!state_.background_transparent && width > 0) {
    Path cell;
    const Point end{start.x + along.x * width, start.y + along.y * width};
    cell.MoveTo({start.x - down.x * metrics.ascent, start.y - down.y * metrics.ascent});
    cell.LineTo({end.x - down.x * metrics.ascent, end.y - down.y * metrics.ascent});
    cell.LineTo({end.x + down.x * metrics.descent, end.y + down.y * metrics.descent});
    cell.LineTo({start.x + down.x * metrics.descent, start.y + down.y * metrics.descent});
    cell.Close();
    Fill background;
    background.color = state_.background_color;
    if (!Spend(cell.Bounds(), 0)) return;
    canvas_.SetClip(clip);
    canvas_.DrawPath(cell, &background, nullptr, Blend::kNormal);
  }
  if (state_.text_align & kAlignUpdateCP) {
    const double moved = width * (1 - 2 * share) / m.ScaleX();  // right of the point, or left for TA_RIGHT
    if (share != 0.5) state_.position.x = ClampOrigin(state_.position.x + moved);
  }
  const double estimate = positioned ? width : run.font.size * static_cast<double>(bytes.size());
  if (!Spend(Rect{start.x, start.y - metrics.ascent, start.x + estimate, start.y + metrics.descent}, 0)) return;
  canvas_.SetClip(clip);
  canvas_.DrawText(run);
}

// ---------------------------------------------------------------------------
// Bitmaps

void MetafilePlayer::PatternBlt(const Rect& dest, uint8_t rop) {
  Fill fill;
  Blend blend = Blend::kNormal;
  switch (rop) {
    case kRopNop: return;
    case kRopBlack: fill.color = kBlack; break;
    case kRopWhite: fill.color = kWhite; break;
    case kRopDstInvert:
      fill.color = kWhite;
      blend = Blend::kDifference;
      break;
    case kRopPatInvert:
    case kRopPatCopy:
    default: {
      auto brush = BrushFill();
      if (!brush) return;
      fill = *brush;
      if (rop == kRopPatInvert) blend = Blend::kDifference;
      if (rop != kRopPatInvert && rop != kRopPatCopy) Warn("raster operation " + Hex(rop) + " is drawn as a copy");
    }
  }
  FillRect(dest, fill, blend);
}

void MetafilePlayer::Bitmap(uint16_t function, const Params& p) {
  uint32_t rop = kRop3SrcCopy;
  int16_t src_x = 0, src_y = 0, src_w = 0, src_h = 0, x = 0, y = 0, w = 0, h = 0;
  std::string_view dib;
  bool bottom_left = false, palette_colors = false;
  switch (function) {
    case kStretchDIB:
      rop = p.U32(0);
      palette_colors = p.U16(2) == kDibPaletteColors;
      src_h = p.S16(3), src_w = p.S16(4), src_y = p.S16(5), src_x = p.S16(6);
      h = p.S16(7), w = p.S16(8), y = p.S16(9), x = p.S16(10);
      dib = p.Bytes(22);
      bottom_left = true;
      break;
    case kSetDIBitsToDevice:
      palette_colors = p.U16(0) == kDibPaletteColors;
      src_y = p.S16(3), src_x = p.S16(4), h = src_h = p.S16(5), w = src_w = p.S16(6), y = p.S16(7), x = p.S16(8);
      dib = p.Bytes(18);
      bottom_left = true;
      break;
    case kDIBStretchBlt:
      rop = p.U32(0);
      if (p.Words() == 11) {  // no bitmap: the brush
        h = p.S16(7), w = p.S16(8), y = p.S16(9), x = p.S16(10);
      } else {
        src_h = p.S16(2), src_w = p.S16(3), src_y = p.S16(4), src_x = p.S16(5);
        h = p.S16(6), w = p.S16(7), y = p.S16(8), x = p.S16(9);
        dib = p.Bytes(20);
      }
      break;
    default:  // kDIBBitBlt
      rop = p.U32(0);
      if (p.Words() == 9) {
        h = p.S16(5), w = p.S16(6), y = p.S16(7), x = p.S16(8);
      } else {
        src_y = p.S16(2), src_x = p.S16(3), h = src_h = p.S16(4), w = src_w = p.S16(5), y = p.S16(6), x = p.S16(7);
        dib = p.Bytes(16);
      }
  }
  const Point corner0 = ToDevice(x, y), corner1 = ToDevice(x + w, y + h);
  const uint8_t index = static_cast<uint8_t>(rop >> 16);
  const bool uses_source = index == kRopSrcCopy || index == kRopNotSrcCopy || index == kRopSrcAnd ||
                           index == kRopSrcPaint || index == kRopSrcInvert;
  if (dib.empty() || !uses_source) {
    return PatternBlt(Rect{corner0.x, corner0.y, corner1.x, corner1.y}.Normalized(), index);
  }
  if (palette_colors) return Warn("a bitmap with colours from the palette is not drawn");
  Surface image = DecodeDib(dib, bottom_left, src_x, src_y, src_w, src_h);
  if (!image) return;
  Blend blend = Blend::kNormal;
  if (index == kRopNotSrcCopy) {
    cairo_surface_flush(image.get());
    unsigned char* data = cairo_image_surface_get_data(image.get());
    const int stride = cairo_image_surface_get_stride(image.get());
    for (int row = 0; row < cairo_image_surface_get_height(image.get()); ++row) {
      auto* pixels = reinterpret_cast<uint32_t*>(data + static_cast<ptrdiff_t>(row) * stride);
      for (int i = 0; i < cairo_image_surface_get_width(image.get()); ++i) pixels[i] ^= 0x00FFFFFF;
    }
    cairo_surface_mark_dirty(image.get());
  }
  if (index == kRopSrcAnd) blend = Blend::kMultiply;
  if (index == kRopSrcPaint) blend = Blend::kLighten;
  if (index == kRopSrcInvert) blend = Blend::kDifference;
  if (!Spend(Rect{corner0.x, corner0.y, corner1.x, corner1.y}.Normalized(), 0)) return;
  canvas_.SetClip(state_.clip);
  canvas_.DrawImage(image, corner0, corner1, blend);
}

Surface MetafilePlayer::DecodeDib(std::string_view dib, bool bottom_left_origin, int64_t x, int64_t y, int64_t width,
                                  int64_t height) {
  // The pixels start after the header, the colour masks and the colour table.
  if (dib.size() < 16) {
    Warn("a bitmap is cut short");
    return nullptr;
  }
  const uint32_t header_size = ReadLE32(dib, 0);
  int64_t columns = 0, rows = 0;
  uint64_t bits = 0, compression = 0, colours = 0, entry = 4;
  if (header_size == 12) {
    columns = ReadLE16(dib, 4), rows = ReadLE16(dib, 6), bits = ReadLE16(dib, 10), entry = 3;
  } else if (header_size >= 40 && header_size <= 1024 && dib.size() >= header_size) {
    columns = static_cast<int32_t>(ReadLE32(dib, 4)), rows = static_cast<int32_t>(ReadLE32(dib, 8));
    bits = ReadLE16(dib, 14), compression = ReadLE32(dib, 16), colours = ReadLE32(dib, 32);
  } else {
    Warn("a bitmap has a header of " + std::to_string(header_size) + " bytes");
    return nullptr;
  }
  const bool top_down = rows < 0;
  rows = std::abs(rows);
  if (columns <= 0 || rows <= 0 || columns * rows > kMaxImagePixels - image_pixels_) {
    Warn("a bitmap of " + std::to_string(columns) + " x " + std::to_string(rows) + " pixels is not drawn");
    return nullptr;
  }
  if (bits <= 8 && (colours == 0 || colours > (uint64_t{1} << bits))) colours = uint64_t{1} << bits;
  const uint64_t masks = compression == 3 && header_size == 40 ? 12 : 0;
  const uint64_t offset = 14 + header_size + masks + colours * entry;
  if (offset > 14 + dib.size()) {
    Warn("a bitmap's colour table runs past its record");
    return nullptr;
  }
  std::string file = "BM";
  AppendLE32(file, static_cast<uint32_t>(14 + dib.size()));
  AppendLE32(file, 0);
  AppendLE32(file, static_cast<uint32_t>(offset));
  file.append(dib);
  Bitmap24 bitmap;
  try {
    bitmap = DecodeBMP(file);
  } catch (const InvalidPicture& e) {
    Warn(e.Message());
    return nullptr;
  }
  image_pixels_ += columns * rows;

  // The part to draw; a source rectangle counts rows from the bottom in a bottom-up DIB of the stretch records.
  if (width <= 0 || height <= 0) x = 0, y = 0, width = bitmap.width, height = bitmap.height;
  if (bottom_left_origin && !top_down) y = bitmap.height - y - height;
  const int64_t left = std::clamp<int64_t>(x, 0, bitmap.width), top = std::clamp<int64_t>(y, 0, bitmap.height);
  const int64_t right = std::clamp<int64_t>(x + width, 0, bitmap.width);
  const int64_t bottom = std::clamp<int64_t>(y + height, 0, bitmap.height);
  if (right <= left || bottom <= top) {
    Warn("a bitmap's source rectangle lies outside it");
    return nullptr;
  }
  Surface surface = MakeSurface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, static_cast<int>(right - left),
                                                           static_cast<int>(bottom - top)));
  if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) {
    Warn("no memory for a bitmap");
    return nullptr;
  }
  unsigned char* data = cairo_image_surface_get_data(surface.get());
  const int stride = cairo_image_surface_get_stride(surface.get());
  for (int64_t row = top; row < bottom; ++row) {
    const uint8_t* source = bitmap.RowFromTop(static_cast<int32_t>(row)) + 3 * left;
    auto* target = reinterpret_cast<uint32_t*>(data + (row - top) * stride);
    for (int64_t i = 0; i < right - left; ++i, source += 3) {
      target[i] = 0xFF000000u | uint32_t{source[2]} << 16 | uint32_t{source[1]} << 8 | source[0];
    }
  }
  cairo_surface_mark_dirty(surface.get());
  return surface;
}

}  // namespace qil::metafile
