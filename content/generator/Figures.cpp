#include "Figures.h"

#include <algorithm>
#include <cairo.h>

#include <cmath>
#include <numbers>

#include "MathText.h"

namespace qil::disc {

namespace {

Pt Centroid(const std::vector<Pt>& points) {
  Pt c;
  for (Pt p : points) {
    c.x += p.x / points.size();
    c.y += p.y / points.size();
  }
  return c;
}

double AngleBetween(Pt v, Pt a, Pt b) {
  double a1 = std::atan2(a.y - v.y, a.x - v.x), a2 = std::atan2(b.y - v.y, b.x - v.x);
  return std::fabs(std::remainder(a2 - a1, 2 * std::numbers::pi));
}

// An arc radius that suits the size of an angle: small angles get larger arcs, so
// that the label beyond the arc still fits between the two sides.
double ArcRadius(double angle) {
  return std::clamp(10.0 / std::sin(std::max(angle, 0.2) / 2.0), 14.0, 34.0);
}

// A side by the names of its ends, or where the vertices have no names by where it
// lies: "the bottom side", "a slanted side".
std::string SideName(const Shape& shape, int side) {
  const size_t n = shape.vertices.size();
  const Pt a = shape.vertices[side], b = shape.vertices[(side + 1) % n];
  if (shape.names.size() >= n && !shape.names[side].empty()) return "side " + shape.names[side] + shape.names[(side + 1) % n];
  const Pt centre = Centroid(shape.vertices);
  if (std::fabs(a.y - b.y) < 1e-9) return (a.y < centre.y ? "the bottom side" : "the top side");
  if (std::fabs(a.x - b.x) < 1e-9) return (a.x < centre.x ? "the left side" : "the right side");
  return "a slanted side";
}

std::string VertexName(const Shape& shape, int vertex) {
  if (static_cast<size_t>(vertex) >= shape.names.size() || shape.names[vertex].empty()) return "a corner";
  return shape.names[vertex];
}

// What the figure shows, in words: every label and mark, for the alt text.
std::string DescribeData(const Shape& shape) {
  std::vector<std::string> parts;
  for (const Shape::SideLabel& l : shape.sideLabels) parts.push_back(SideName(shape, l.side) + " " + PlainText(l.text));
  // Right angles as one item: "right angles at A, B" or, without names, "4 right angles".
  std::string named;
  int right = 0, unnamed = 0;
  for (const Shape::AngleMark& m : shape.angles) {
    if (!m.right) continue;
    ++right;
    if (VertexName(shape, m.vertex) == "a corner") {
      ++unnamed;
    } else {
      named += (named.empty() ? "" : ", ") + VertexName(shape, m.vertex);
    }
  }
  if (!named.empty()) parts.push_back((right - unnamed == 1 ? "a right angle at " : "right angles at ") + named);
  if (unnamed > 0) parts.push_back(Count(unnamed, "right angle"));
  for (const Shape::AngleMark& m : shape.angles) {
    if (m.right) {
      continue;
    } else if (!m.text.empty()) {
      parts.push_back("angle at " + VertexName(shape, m.vertex) + " " + PlainText(m.text));
    }
  }
  for (int side : shape.tickedSides) parts.push_back(SideName(shape, side) + " marked equal");
  for (const Shape::Dashed& d : shape.dashed) {
    if (!d.text.empty()) parts.push_back("a dashed line " + PlainText(d.text));
  }
  if (shape.extendAt >= 0) {
    parts.push_back("side " + VertexName(shape, shape.extendFrom) + VertexName(shape, shape.extendAt) + " extended beyond " +
                    VertexName(shape, shape.extendAt) + " with the exterior angle " + PlainText(shape.exteriorText));
  }
  std::string out;
  for (size_t i = 0; i < parts.size(); ++i) out += (i == 0 ? "" : "; ") + parts[i];
  return out.empty() ? "" : " Marked: " + out + ".";
}

}  // namespace

Figure ShapeFigure(const Shape& shape, int width, int height) {
  Figure fig;
  fig.width = width;
  fig.height = height;
  fig.description = shape.description + DescribeData(shape);
  fig.draw = [shape, width, height](Painter& p) {
    const size_t n = shape.vertices.size();
    double x0 = 1e9, y0 = 1e9, x1 = -1e9, y1 = -1e9;
    std::vector<Pt> all = shape.vertices;
    Pt extension{};
    if (shape.extendAt >= 0) {
      Pt a = shape.vertices[shape.extendFrom], b = shape.vertices[shape.extendAt];
      extension = {b.x + (b.x - a.x) * 0.45, b.y + (b.y - a.y) * 0.45};
      all.push_back(extension);
    }
    for (Pt v : all) {
      x0 = std::min(x0, v.x), y0 = std::min(y0, v.y);
      x1 = std::max(x1, v.x), y1 = std::max(y1, v.y);
    }
    // The margin holds the labels beside the sides, the widest of them included.
    double margin = 40;
    for (const Shape::SideLabel& label : shape.sideLabels) margin = std::max(margin, p.LabelSize(label.text).x + 12);
    Viewport view(x0, y0, x1, y1, width, height, margin);
    std::vector<Pt> px;
    for (Pt v : shape.vertices) px.push_back(view(v.x, v.y));
    const Pt centre = Centroid(px);

    p.SetColor(kInk);
    p.SetWidth(1.8);
    p.Polygon(px, &shape.fill);
    if (shape.extendAt >= 0) {
      Pt e = view(extension.x, extension.y);
      p.Segment(px[shape.extendAt], e);
      Pt other = px[3 - shape.extendAt - shape.extendFrom];
      p.SetWidth(1.2);
      p.SetColor(kMark);
      double arc = ArcRadius(AngleBetween(px[shape.extendAt], e, other));
      p.AngleArc(px[shape.extendAt], e, other, arc);
      p.AngleLabel(px[shape.extendAt], e, other, shape.exteriorText, arc + 16, kMark);
    }
    p.SetWidth(1.2);
    for (const Shape::Dashed& d : shape.dashed) {
      Pt a = view(d.a.x, d.a.y), b = view(d.b.x, d.b.y);
      p.SetColor(kMuted);
      p.SetDash(true);
      p.Segment(a, b);
      p.SetDash(false);
      if (d.text.empty()) continue;
      // Right of the line, or left of it where the picture has no room on the right.
      const Pt middle{(a.x + b.x) / 2, (a.y + b.y) / 2};
      const bool right = middle.x + 5 + p.LabelSize(d.text, 10.5).x <= width - 2;
      p.Label({middle.x + (right ? 5 : -5), middle.y}, d.text, right ? 0.0 : 1.0, 0.5, 10.5);
    }
    for (int side : shape.tickedSides) {
      Pt a = px[side], b = px[(side + 1) % n];
      Pt m{(a.x + b.x) / 2, (a.y + b.y) / 2};
      double len = std::hypot(b.x - a.x, b.y - a.y);
      Pt nrm{-(b.y - a.y) / len * 6, (b.x - a.x) / len * 6};
      p.SetColor(kInk);
      p.Segment({m.x - nrm.x, m.y - nrm.y}, {m.x + nrm.x, m.y + nrm.y});
    }
    for (const Shape::AngleMark& mark : shape.angles) {
      Pt v = px[mark.vertex], a = px[(mark.vertex + n - 1) % n], b = px[(mark.vertex + 1) % n];
      p.SetColor(mark.color);
      if (mark.right) {
        p.RightAngle(v, a, b);
      } else {
        double arc = ArcRadius(AngleBetween(v, a, b));
        p.AngleArc(v, a, b, arc);
        if (!mark.text.empty()) p.AngleLabel(v, a, b, mark.text, arc + 16, mark.color);
      }
    }
    for (const Shape::SideLabel& label : shape.sideLabels) {
      p.SideLabel(px[label.side], px[(label.side + 1) % n], centre, label.text, 14.0, label.color);
    }
    for (size_t i = 0; i < shape.names.size() && i < n; ++i) {
      Pt v = px[i];
      double dx = v.x - centre.x, dy = v.y - centre.y, len = std::hypot(dx, dy);
      p.Label({v.x + dx / len * 13, v.y + dy / len * 13}, "<i>" + shape.names[i] + "</i>", 0.5, 0.5, 11.0,
              kInk);
    }
  };
  return fig;
}

Figure GraphFigure(int lo, int hi, const std::vector<GraphLine>& lines, const std::vector<GraphPoint>& points,
                   std::string description) {
  Figure fig;
  fig.width = 340;
  fig.height = 340;
  fig.description = std::move(description);
  fig.draw = [lo, hi, lines, points](Painter& p) {
    Viewport view(lo, lo, hi, hi, 340, 340, 22);
    p.SetWidth(1.0);
    p.SetColor(kGrid);
    for (int i = lo; i <= hi; ++i) {
      p.Segment(view(i, lo), view(i, hi));
      p.Segment(view(lo, i), view(hi, i));
    }
    p.SetColor(kInk);
    p.SetWidth(1.4);
    p.Segment(view(lo, 0), view(hi, 0));
    p.Segment(view(0, lo), view(0, hi));
    p.Label(view(hi, 0), "<i>x</i>", 1.2, -0.1, 10.5);
    p.Label(view(0, hi), "<i>y</i>", -0.4, 0.1, 10.5);
    const int step = hi - lo > 12 ? 2 : 1;
    for (int i = lo; i <= hi; ++i) {
      if (i == 0 || i % step != 0 || i == hi) continue;
      Pt tx = view(i, 0), ty = view(0, i);
      p.Label({tx.x, tx.y + 3}, Num(i), 0.5, 0.0, 8.0, kMuted);
      p.Label({ty.x - 4, ty.y}, Num(i), 1.0, 0.5, 8.0, kMuted);
    }
    p.Label(view(0, 0), "0", 1.3, -0.05, 8.0, kMuted);

    cairo_t* cr = p.Cairo();
    for (const GraphLine& line : lines) {
      // The part of y = mx + b inside the square [lo, hi] x [lo, hi].
      double m = line.slope.ToDouble(), b = line.intercept.ToDouble();
      double xa = lo, xb = hi;
      if (m != 0) {
        double e1 = (lo - b) / m, e2 = (hi - b) / m;
        xa = std::max<double>(lo, std::min(e1, e2));
        xb = std::min<double>(hi, std::max(e1, e2));
      }
      if (xa >= xb) continue;
      cairo_save(cr);
      p.SetColor(line.color);
      p.SetWidth(2.2);
      p.Segment(view(xa, m * xa + b), view(xb, m * xb + b));
      cairo_restore(cr);
    }
    // A legend in the top left corner names the lines.
    double y = 34;
    for (const GraphLine& line : lines) {
      if (line.label.empty()) continue;
      cairo_save(cr);
      cairo_rectangle(cr, 26, y - 11, 118, 22);
      p.SetColor(kWhite);
      cairo_fill(cr);
      p.SetColor(line.color);
      p.SetWidth(2.2);
      p.Segment({32, y}, {50, y});
      cairo_restore(cr);
      p.Label({56, y}, line.label, 0.0, 0.5, 10.0, line.color);
      y += 22;
    }
    for (const GraphPoint& pt : points) {
      Pt at = view(pt.x.ToDouble(), pt.y.ToDouble());
      p.SetColor(kMark);
      p.Dot(at, 3.5);
      if (!pt.label.empty()) p.Label({at.x + 6, at.y - 4}, pt.label, 0.0, 1.0, 10.0, kMark);
    }
  };
  return fig;
}

}  // namespace qil::disc
