#include "metafile/Canvas.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace qil::metafile {

Rect Rect::Normalized() const {
  return Rect{std::min(left, right), std::min(top, bottom), std::max(left, right), std::max(top, bottom)};
}

Rect Rect::Intersect(const Rect& other) const {
  Rect r{std::max(left, other.left), std::max(top, other.top), std::min(right, other.right),
         std::min(bottom, other.bottom)};
  if (r.Empty()) return Rect{};
  return r;
}

void Path::MoveTo(Point p) {
  ops_.push_back(Op::kMove);
  points_.push_back(p);
  open_ = true;
}

void Path::LineTo(Point p) {
  if (!open_) return MoveTo(p);
  ops_.push_back(Op::kLine);
  points_.push_back(p);
}

void Path::CurveTo(Point c1, Point c2, Point end) {
  if (!open_) MoveTo(c1);
  ops_.push_back(Op::kCurve);
  points_.insert(points_.end(), {c1, c2, end});
}

void Path::Close() {
  if (!open_) return;
  ops_.push_back(Op::kClose);
  open_ = false;
}

void Path::ArcTo(Point c, double rx, double ry, double start, double sweep) {
  auto at = [&](double a) { return Point{c.x + rx * std::cos(a), c.y + ry * std::sin(a)}; };
  LineTo(at(start));
  // Pieces of at most a quarter turn, each one cubic curve.
  const int pieces = std::clamp(static_cast<int>(std::ceil(std::abs(sweep) / (std::numbers::pi / 2) - 1e-9)), 1, 4);
  const double step = sweep / pieces;
  const double k = 4.0 / 3.0 * std::tan(step / 4);
  for (int i = 0; i < pieces; ++i) {
    const double a = start + i * step, b = a + step;
    const Point p0 = at(a), p3 = at(b);
    CurveTo(Point{p0.x - k * rx * std::sin(a), p0.y + k * ry * std::cos(a)},
            Point{p3.x + k * rx * std::sin(b), p3.y - k * ry * std::cos(b)}, p3);
  }
}

void Path::Rectangle(const Rect& r) {
  MoveTo({r.left, r.top});
  LineTo({r.right, r.top});
  LineTo({r.right, r.bottom});
  LineTo({r.left, r.bottom});
  Close();
}

Rect Path::Bounds() const {
  if (points_.empty()) return Rect{};
  Rect r{points_[0].x, points_[0].y, points_[0].x, points_[0].y};
  for (const Point& p : points_) {
    r.left = std::min(r.left, p.x);
    r.top = std::min(r.top, p.y);
    r.right = std::max(r.right, p.x);
    r.bottom = std::max(r.bottom, p.y);
  }
  return r;
}

std::vector<Segment> HatchLines(HatchStyle style) {
  constexpr double c = kHatchCell, m = kHatchCell / 2 - 0.5;
  // Diagonals carry on past the corners so that the tiles join.
  const std::vector<Segment> horizontal{{{0, m}, {c, m}}}, vertical{{{m, 0}, {m, c}}};
  const std::vector<Segment> forward{{{-1, -1}, {c + 1, c + 1}}};
  const std::vector<Segment> backward{{{-1, c + 1}, {c + 1, -1}}};
  auto both = [](std::vector<Segment> a, const std::vector<Segment>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  };
  switch (style) {
    case HatchStyle::kHorizontal: return horizontal;
    case HatchStyle::kVertical: return vertical;
    case HatchStyle::kForwardDiagonal: return forward;
    case HatchStyle::kBackwardDiagonal: return backward;
    case HatchStyle::kCross: return both(horizontal, vertical);
    case HatchStyle::kDiagonalCross: return both(forward, backward);
  }
  return horizontal;
}

Surface MakeSurface(cairo_surface_t* owned) { return Surface(owned, cairo_surface_destroy); }

}  // namespace qil::metafile
