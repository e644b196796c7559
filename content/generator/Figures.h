// Ready-made figures that several topics share: labelled polygons (triangles,
// quadrilaterals, compound shapes) and coordinate graphs of straight lines.
//
// The specs use model coordinates with y pointing up; the figure scales them
// to its pixel size with margins for the labels. Labels are Pango markup.
#pragma once

#include <string>
#include <vector>

#include "Rational.h"
#include "Render.h"

namespace qil::disc {

struct Shape {
  std::vector<Pt> vertices;  // model coordinates, in order around the shape
  std::vector<std::string> names;  // vertex names, drawn outside; empty or one per vertex
  struct SideLabel {
    int side;  // the side from vertex side to vertex side + 1
    std::string text;
    Color color = kInk;
  };
  std::vector<SideLabel> sideLabels;
  struct AngleMark {
    int vertex;
    std::string text;  // drawn inside the angle; may be empty
    bool right = false;  // a right-angle square instead of an arc
    Color color = kInk;
  };
  std::vector<AngleMark> angles;
  std::vector<int> tickedSides;  // sides marked as equal with a tick
  // Segments drawn dashed (heights, diagonals), with an optional label at their middle.
  struct Dashed {
    Pt a, b;
    std::string text;
  };
  std::vector<Dashed> dashed;
  // Extends the side from vertex `extendFrom` through vertex `extendAt` beyond it and
  // marks the exterior angle there with `exteriorText`; -1 for none.
  int extendFrom = -1;
  int extendAt = -1;
  std::string exteriorText;
  Color fill = kFill;
  std::string description;  // alt text
};

Figure ShapeFigure(const Shape& shape, int width = 380, int height = 260);

struct GraphLine {
  Rational slope;
  Rational intercept;
  std::string label;  // written near the line's end, e.g. "y = 2x + 1"
  Color color = kAccent;
};

struct GraphPoint {
  Rational x, y;
  std::string label;  // e.g. "A(1, 3)"
};

// Axes and grid from lo to hi on both axes, the lines and the points.
Figure GraphFigure(int lo, int hi, const std::vector<GraphLine>& lines,
                   const std::vector<GraphPoint>& points, std::string description);

}  // namespace qil::disc
