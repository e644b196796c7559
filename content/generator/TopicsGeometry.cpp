// Geometry topics: angles of triangles, Pythagoras' theorem, area and
// perimeter, circles. Every problem carries a figure drawn to scale.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "Kit.h"

namespace qil::disc {

namespace {

constexpr double kRad = std::numbers::pi / 180.0;

std::string Deg(int64_t d) { return Num(d) + kDegree; }

// ---- Angles in triangles ----

// Triangle ABC with the given angles at A and B (degrees), base AB on the x axis.
std::vector<Pt> TriangleFromAngles(double alpha, double beta) {
  double gamma = 180.0 - alpha - beta;
  double t = std::sin(beta * kRad) / std::sin(gamma * kRad);
  return {{0, 0}, {1, 0}, {t * std::cos(alpha * kRad), t * std::sin(alpha * kRad)}};
}

AnswerCheck AngleSum(std::function<std::vector<Rational>(const Answer&)> angles, size_t size) {
  return [angles, size](const Answer& a) {
    if (a.size() != size) return false;
    Rational sum = 0;
    for (const Rational& angle : angles(a)) {
      if (angle <= 0) return false;
      sum += angle;
    }
    return sum == 180;
  };
}

Problem TriangleProblem(Rng& rng, int level) {
  Problem p;
  Shape shape;
  shape.names = {"A", "B", "C"};
  shape.description = "Triangle ABC with its angles marked.";
  std::string given = "The angles of a triangle add up to 180" + std::string(kDegree) + ".";
  if (level == 1) {
    // Three different angles: two equal ones make the isosceles kind of the next level.
    int64_t alpha = rng.Range(25, 100), beta = rng.Range(25, 100);
    while (alpha + beta > 160 || alpha == beta || 180 - alpha - beta == alpha || 180 - alpha - beta == beta) {
      beta = rng.Range(25, 100);
    }
    int64_t gamma = 180 - alpha - beta;
    shape.vertices = TriangleFromAngles(alpha, beta);
    shape.angles = {{0, Deg(alpha)}, {1, Deg(beta)}, {2, Var("x"), false, kMark}};
    p.statement.Para("In triangle " + Var("ABC") + " the angle at " + Var("A") + " is " + Deg(alpha) + " and the angle at " +
                     Var("B") + " is " + Deg(beta) + ". Find the angle " + Var("x") + " at " + Var("C") + ".");
    p.solution.Para(given);
    p.solution.Step(Formula(Var("x") + " = 180" + kDegree + " " + kMinus + " " + Deg(alpha) + " " + kMinus + " " + Deg(beta) +
                            " = " + Deg(gamma)));
    p.solution.Answer(Formula(Var("x") + " = " + Deg(gamma)));
    p.answer = {gamma};
    p.check = AngleSum([alpha, beta](const Answer& a) { return std::vector<Rational>{alpha, beta, a[0]}; }, 1);
    p.key = Key("1", {alpha, beta});
    p.canon = SortedCanon("two angles", {Num(alpha), Num(beta)});
    p.facts = {{"angleA", alpha}, {"angleB", beta}, {"angleC", gamma}, {"exterior", 0}, {"expressions", 0}};
  } else if (level == 2) {
    int64_t base = rng.Range(20, 80);
    int64_t apex = 180 - 2 * base;
    bool apexGiven = rng.Chance(1, 2);
    shape.vertices = TriangleFromAngles(base, base);
    shape.tickedSides = {1, 2};
    if (apexGiven) {
      shape.angles = {{0, Var("x"), false, kMark}, {1, Var("x"), false, kMark}, {2, Deg(apex)}};
      p.statement.Para("Triangle " + Var("ABC") + " is isosceles with " + Var("CA") + " = " + Var("CB") +
                       ". The angle at " + Var("C") + " is " + Deg(apex) + ". Find the base angle " + Var("x") + ".");
      p.solution.Para(given + " The two base angles of an isosceles triangle are equal, so");
      p.solution.Step(Formula("2" + Var("x") + " + " + Deg(apex) + " = 180" + kDegree));
      p.solution.Step(Formula(Var("x") + " = ").Frac("180" + std::string(kDegree) + " " + kMinus + " " + Deg(apex), "2").T(" = " + Deg(base)));
      p.solution.Answer(Formula(Var("x") + " = " + Deg(base)));
      p.answer = {base};
      p.check = AngleSum([apex](const Answer& a) { return std::vector<Rational>{a[0], a[0], apex}; }, 1);
    } else {
      shape.angles = {{0, Deg(base)}, {1, ""}, {2, Var("x"), false, kMark}};
      p.statement.Para("Triangle " + Var("ABC") + " is isosceles with " + Var("CA") + " = " + Var("CB") +
                       ". The angle at " + Var("A") + " is " + Deg(base) + ". Find the angle " + Var("x") + " at " +
                       Var("C") + ".");
      p.solution.Para("The base angles of an isosceles triangle are equal, so the angle at " + Var("B") + " is also " +
                      Deg(base) + ". " + given);
      p.solution.Step(Formula(Var("x") + " = 180" + kDegree + " " + kMinus + " 2" + kTimes + Deg(base) + " = " + Deg(apex)));
      p.solution.Answer(Formula(Var("x") + " = " + Deg(apex)));
      p.answer = {apex};
      p.check = AngleSum([base](const Answer& a) { return std::vector<Rational>{base, base, a[0]}; }, 1);
    }
    p.key = Key(apexGiven ? "2a" : "2b", {base});
    p.facts = {{"angleA", base}, {"angleB", base}, {"angleC", apex}, {"exterior", 0}, {"expressions", 0}};
  } else if (level == 3) {
    int64_t alpha = rng.Range(30, 80), gamma = rng.Range(30, 80);
    while (alpha + gamma > 150) gamma = rng.Range(30, 80);
    int64_t beta = 180 - alpha - gamma;
    int64_t exterior = alpha + gamma;
    shape.vertices = TriangleFromAngles(alpha, beta);
    shape.angles = {{0, Deg(alpha)}, {1, Var("y"), false, kMark}, {2, Deg(gamma)}};
    shape.extendFrom = 0;
    shape.extendAt = 1;
    shape.exteriorText = Var("x");
    p.statement.Para("The side " + Var("AB") + " of triangle " + Var("ABC") + " is extended beyond " + Var("B") +
                     ". Find the exterior angle " + Var("x") + " and the interior angle " + Var("y") + " at " + Var("B") + ".");
    p.solution.Para("An exterior angle of a triangle equals the sum of the two interior angles that are not next to it:");
    p.solution.Step(Formula(Var("x") + " = " + Deg(alpha) + " + " + Deg(gamma) + " = " + Deg(exterior)));
    p.solution.Para(Var("x") + " and " + Var("y") + " lie on a straight line, so they add up to 180" + kDegree + ":");
    p.solution.Step(Formula(Var("y") + " = 180" + kDegree + " " + kMinus + " " + Deg(exterior) + " = " + Deg(beta)));
    p.solution.Answer(Formula(Var("x") + " = " + Deg(exterior) + ",  " + Var("y") + " = " + Deg(beta)));
    p.answer = {exterior, beta};
    AnswerCheck sum = AngleSum([alpha, gamma](const Answer& a) { return std::vector<Rational>{alpha, gamma, a[1]}; }, 2);
    p.check = [sum](const Answer& a) { return sum(a) && a[0] + a[1] == 180; };
    p.key = Key("3", {alpha, gamma});
    p.canon = SortedCanon("exterior", {Num(alpha), Num(gamma)});
    p.facts = {{"angleA", alpha}, {"angleB", beta}, {"angleC", gamma}, {"exterior", 1}, {"expressions", 0}};
  } else {
    // Angles given as expressions in x.
    int64_t x = 0, k[3] = {1, 1, 1}, c[3] = {0, 0, 0}, angle[3] = {0, 0, 0};
    for (bool ok = false; !ok;) {
      x = rng.Range(8, 30);
      for (int i = 0; i < 3; ++i) k[i] = rng.Range(1, 4);
      c[0] = rng.Range(-15, 40);
      c[1] = rng.Range(-15, 40);
      c[2] = 180 - (k[0] + k[1] + k[2]) * x - c[0] - c[1];
      ok = std::abs(c[2]) <= 60;
      for (int i = 0; i < 3; ++i) {
        angle[i] = k[i] * x + c[i];
        ok = ok && angle[i] >= 20 && angle[i] <= 130;
      }
    }
    shape.vertices = TriangleFromAngles(angle[0], angle[1]);
    std::string expr[3];
    for (int i = 0; i < 3; ++i) {
      expr[i] = "(" + Linear(k[i], "x", c[i]) + ")" + kDegree;
      if (c[i] == 0) expr[i] = Linear(k[i], "x", 0) + kDegree;
      shape.angles.push_back({i, expr[i]});
    }
    p.statement.Para("The angles of triangle " + Var("ABC") + " are " + expr[0] + ", " + expr[1] + " and " + expr[2] +
                     ". Find " + Var("x") + " and the size of each angle.");
    p.solution.Para(given);
    p.solution.Step(Formula(expr[0] + " + " + expr[1] + " + " + expr[2] + " = 180" + kDegree));
    int64_t ksum = k[0] + k[1] + k[2], csum = c[0] + c[1] + c[2];
    p.solution.Step(Eq(Linear(ksum, "x", csum), "180"));
    Rational solved(180 - csum, ksum);
    p.solution.Step(Formula(Var("x") + " = ").Frac(Num(180 - csum), Num(ksum)).T(" = ").Q(solved));
    Require(solved == x, "the angle equation gives another x");
    p.solution.Para("So the angles are " + Deg(angle[0]) + ", " + Deg(angle[1]) + " and " + Deg(angle[2]) + " (check: they add up to 180" +
                    kDegree + ").");
    p.solution.Answer(Formula(Var("x") + " = " + Num(x) + ";  " + Deg(angle[0]) + ", " + Deg(angle[1]) + ", " + Deg(angle[2])));
    p.answer = {x, angle[0], angle[1], angle[2]};
    int64_t k0 = k[0], k1 = k[1], k2 = k[2], c0 = c[0], c1 = c[1], c2 = c[2];
    AnswerCheck sum = AngleSum([](const Answer& a) { return std::vector<Rational>{a[1], a[2], a[3]}; }, 4);
    p.check = [=](const Answer& a) {
      return sum(a) && a[1] == a[0] * k0 + c0 && a[2] == a[0] * k1 + c1 && a[3] == a[0] * k2 + c2;
    };
    p.key = Key("4", {k[0], c[0], k[1], c[1], k[2], c[2]});
    p.facts = {{"angleA", angle[0]}, {"angleB", angle[1]}, {"angleC", angle[2]}, {"exterior", 0}, {"expressions", 1}};
  }
  p.figure = ShapeFigure(shape);
  return p;
}

// ---- Pythagoras' theorem ----

// Answers are k, m for the length k√m (m = 1 for whole lengths); the check squares it.
AnswerCheck SurdLength(int64_t square) {
  return [square](const Answer& a) {
    if (a.size() != 2 || !a[0].IsInteger() || !a[1].IsInteger() || a[0] < 1 || a[1] < 1) return false;
    int64_t out, in;
    SplitSquareRoot(a[1].Num(), out, in);
    return out == 1 && a[0].Num() * a[0].Num() * a[1].Num() == square;
  };
}

// k√m as markup: "8√2", "√41"; k alone when m is 1.
std::string SurdText(int64_t k, int64_t m) {
  if (m == 1) return Num(k);
  std::string root = "\u221a<span overline=\"single\">" + std::to_string(m) + "</span>";
  return k == 1 ? root : Num(k) + root;
}

// The length k√m to two decimal places.
std::string TwoPlaces(int64_t k, int64_t m) { return Fixed(static_cast<double>(k) * std::sqrt(double(m)), 2); }

struct Triple {
  int64_t a, b, c;
};

Triple PickTriple(Rng& rng, int64_t maxC) {
  static const std::vector<Triple> kTriples = {{3, 4, 5},    {5, 12, 13},  {8, 15, 17}, {7, 24, 25},
                                               {20, 21, 29}, {9, 40, 41},  {12, 35, 37}, {11, 60, 61}};
  for (;;) {
    Triple t = rng.Pick(kTriples);
    int64_t k = rng.Range(1, std::max<int64_t>(1, maxC / t.c));
    if (t.c * k <= maxC) return {t.a * k, t.b * k, t.c * k};
  }
}

// Right triangle with legs a (along the ground) and b (upright), right angle at C.
Shape RightTriangle(Rng& rng, int64_t a, int64_t b, std::string la, std::string lb, std::string lc) {
  Shape s;
  double sign = rng.Chance(1, 2) ? 1 : -1;
  s.vertices = {{0, 0}, {sign * a, 0}, {0, static_cast<double>(b)}};
  s.names = {"C", "B", "A"};
  s.angles = {{0, "", true}};
  auto color = [](const std::string& text) { return text == Var("x") ? kMark : kInk; };
  s.sideLabels = {{0, la, color(la)}, {1, lc, color(lc)}, {2, lb, color(lb)}};
  s.description = "Right-angled triangle ABC with the right angle at C.";
  return s;
}

Problem PythagorasProblem(Rng& rng, int level) {
  Problem p;
  std::string unit = rng.Pick<std::string>({"cm", "m", "mm"});
  const std::string x = Var("x");
  std::string name = x;  // the length asked for
  auto sq = [](const std::string& s) { return s + "\u00b2"; };
  int64_t square = 0;  // the square of the unknown length
  int64_t k = 0, m = 1;
  if (level <= 3) {
    // a is a leg that is given; the other given side is the leg b (hypotenuse wanted)
    // or the hypotenuse c (the leg wanted).
    int64_t a = 0, b = 0, c = 0;
    bool hyp = level == 1 || (level == 3 && rng.Chance(2, 3));
    if (level == 3) {
      do {
        a = rng.Range(2, 15);
        int64_t other = rng.Range(a + 1, 18);
        if (hyp) {
          b = other;
          if (rng.Chance(1, 2)) std::swap(a, b);
        } else {
          c = other;
        }
        square = hyp ? a * a + b * b : c * c - a * a;
      } while (ExactSqrt(square) >= 0);
    } else {
      Triple t = PickTriple(rng, 100);
      a = rng.Chance(1, 2) ? t.a : t.b;
      if (hyp) {
        b = a == t.a ? t.b : t.a;
        square = a * a + b * b;
      } else {
        c = t.c;
        square = c * c - a * a;
      }
    }
    p.facts = {{"hypotenuseAsked", hyp ? 1 : 0}, {"story", 0}};
    std::string la = Num(a) + " " + unit;
    int64_t drawn = static_cast<int64_t>(std::lround(std::sqrt(double(square))));  // the unknown leg, for the drawing
    if (hyp) {
      p.figure = ShapeFigure(RightTriangle(rng, a, b, la, Num(b) + " " + unit, x));
      p.statement.Para("The triangle has a right angle at " + Var("C") + ". Its shorter sides are " + la + " and " +
                       Num(b) + " " + unit + ". Find the length " + x + " of the hypotenuse.");
      p.solution.Para("By Pythagoras' theorem the square of the hypotenuse is the sum of the squares of the other two sides:");
      p.solution.Step(Formula(sq(x) + " = " + sq(Num(a)) + " + " + sq(Num(b)) + " = " + Num(a * a) + " + " + Num(b * b) +
                              " = " + Num(square)));
      p.key = Key(std::to_string(level) + "h", {std::min(a, b), std::max(a, b)});
    } else {
      p.figure = ShapeFigure(RightTriangle(rng, a, std::max<int64_t>(drawn, 1), la, x, Num(c) + " " + unit));
      p.statement.Para("The triangle has a right angle at " + Var("C") + ". The hypotenuse is " + Num(c) + " " + unit +
                       " and one of the other sides is " + la + ". Find the length " + x + " of the third side.");
      p.solution.Para("By Pythagoras' theorem:");
      p.solution.Step(Formula(sq(x) + " + " + sq(Num(a)) + " = " + sq(Num(c))));
      p.solution.Step(Formula(sq(x) + " = " + Num(c * c) + " " + kMinus + " " + Num(a * a) + " = " + Num(square)));
      p.key = Key(std::to_string(level) + "l", {a, c});
    }
    SplitSquareRoot(square, k, m);
    if (level == 3) Ask(p, {AnswerForm::Kind::kExactAndRounded, 2});
  } else {
    p.facts = {{"hypotenuseAsked", 0}, {"story", 1}};
    int story = static_cast<int>(rng.Range(0, 2));
    if (story == 0) {
      Triple t = PickTriple(rng, 15);
      int64_t ladder = t.c;
      int64_t foot = std::min(t.a, t.b);
      if (rng.Chance(1, 2)) {  // a length that is not a triple
        ladder = rng.Range(5, 12);
        foot = rng.Range(1, ladder - 2);
      }
      square = ladder * ladder - foot * foot;
      Shape s;
      double h = std::sqrt(double(square));
      s.vertices = {{0, 0}, {double(foot), 0}, {0, h}};
      s.names = {"", "", ""};
      s.angles = {{0, "", true}};
      s.sideLabels = {{0, Num(foot) + " m"}, {1, Num(ladder) + " m"}, {2, x, kMark}};
      s.fill = kFillWarm;
      s.description = "A ladder leaning against a vertical wall.";
      p.figure = ShapeFigure(s);
      p.statement.Para("A ladder " + Num(ladder) + " m long leans against a vertical wall. Its foot stands on level "
                       "ground " + Num(foot) + " m from the wall. How high up the wall does the ladder reach?");
      p.solution.Para("Wall, ground and ladder form a right-angled triangle; the ladder is the hypotenuse.");
      p.solution.Step(Formula(sq(x) + " = " + sq(Num(ladder)) + " " + kMinus + " " + sq(Num(foot)) + " = " +
                              Num(ladder * ladder) + " " + kMinus + " " + Num(foot * foot) + " = " + Num(square)));
      unit = "m";
      p.key = Key("4l", {ladder, foot});
    } else if (story == 1) {
      int64_t w = rng.Range(3, 24), h = rng.Range(2, 18);
      while (h >= w) h = rng.Range(2, 18);  // the length first, and longer than the width
      p.facts["length"] = w;
      p.facts["width"] = h;
      square = w * w + h * h;
      Shape s;
      s.vertices = {{0, 0}, {double(w), 0}, {double(w), double(h)}, {0, double(h)}};
      s.names = {"A", "B", "C", "D"};
      s.angles = {{0, "", true}, {1, "", true}, {2, "", true}, {3, "", true}};
      s.sideLabels = {{0, Num(w) + " cm"}, {1, Num(h) + " cm"}};
      s.dashed = {{{0, 0}, {double(w), double(h)}, x}};
      s.description = "Rectangle ABCD with its diagonal AC drawn.";
      p.figure = ShapeFigure(s);
      p.statement.Para("A rectangle measures " + Num(w) + " cm by " + Num(h) + " cm. Find the length " + x +
                       " of its diagonal.");
      p.solution.Para("The diagonal splits the rectangle into two right-angled triangles; it is their hypotenuse.");
      p.solution.Step(Formula(sq(x) + " = " + sq(Num(w)) + " + " + sq(Num(h)) + " = " + Num(square)));
      unit = "cm";
      p.key = Key("4r", {w, h});
    } else {
      int64_t x1 = rng.Range(-6, 2), y1 = rng.Range(-6, 2);
      int64_t x2 = x1 + rng.Range(2, std::min<int64_t>(9, 7 - x1)), y2 = y1 + rng.NonZero(-3, 8);  // Q on the grid
      if (y2 > 7) y2 = 7;
      if (y2 == y1) y2 = y1 + 2;
      int64_t dx = x2 - x1, dy = y2 - y1;
      square = dx * dx + dy * dy;
      const std::string pp = "P(" + Num(x1) + ", " + Num(y1) + ")", qq = "Q(" + Num(x2) + ", " + Num(y2) + ")";
      p.figure = GraphFigure(-8, 8, {}, {{x1, y1, "P"}, {x2, y2, "Q"}},
                             "The points " + PlainText(pp) + " and " + PlainText(qq) + " on a grid from -8 to 8.");
      p.statement.Para("The units on the axes are centimetres. Find the distance " + Var("PQ") + " between the points " +
                       pp + " and " + qq + ".");
      name = Var("PQ");
      p.solution.Para("The horizontal and vertical steps from " + Var("P") + " to " + Var("Q") + " are the shorter sides "
                      "of a right-angled triangle: " + Num(dx) + " and " + Num(dy) + ".");
      p.solution.Step(Formula(Var("PQ") + "\u00b2 = " + sq(NumB(dx)) + " + " + sq(NumB(dy)) + " = " + Num(square)));
      unit = "cm";
      p.key = Key("4d", {x1, y1, x2, y2});
    }
    SplitSquareRoot(square, k, m);
    // A length that is not whole: the distance on a grid exactly, the others as a measure.
    if (m != 1) Ask(p, {story == 2 ? AnswerForm::Kind::kExact : AnswerForm::Kind::kRounded, 2});
  }
  p.facts["square"] = square;
  using enum AnswerForm::Kind;
  const AnswerForm::Kind form = p.form.kind;
  if (form == kRounded) {
    p.solution.Step(Formula(name + " = ").Root(Num(square)).T(" \u2248 " + TwoPlaces(k, m)));
  } else if (form == kExactAndRounded && k == 1) {
    p.solution.Step(Formula(name + " = ").Root(Num(square)).T(" \u2248 " + TwoPlaces(k, m)));
  } else {
    p.solution.Step(Formula(name + " = ").Root(Num(square)).T(m == 1 ? " = " + Num(k) : ""));
  }
  if (m != 1 && k != 1 && form != kRounded) {
    p.solution.Para("Simplify the root: " + std::to_string(square) + " = " + std::to_string(k * k) + kTimes +
                    std::to_string(m) + ".");
    p.solution.Step(Formula(name + " = " + SurdText(k, m) + (form == kExactAndRounded ? " \u2248 " + TwoPlaces(k, m) : "")));
  }
  std::string shown = name + " = " + SurdText(k, m) + " " + unit;
  if (form == kRounded) shown = name + " \u2248 " + TwoPlaces(k, m) + " " + unit;
  if (form == kExactAndRounded) shown += " \u2248 " + TwoPlaces(k, m) + " " + unit;
  p.solution.Answer(Formula(shown));
  p.figureInSolution = level >= 3;
  p.answer = {k, m};
  p.check = SurdLength(square);
  return p;
}

// ---- Area and perimeter ----

using Poly = std::vector<std::pair<int64_t, int64_t>>;

// Twice the area by the shoelace formula.
Rational ShoelaceArea(const Poly& poly) {
  int64_t twice = 0;
  for (size_t i = 0; i < poly.size(); ++i) {
    auto [x1, y1] = poly[i];
    auto [x2, y2] = poly[(i + 1) % poly.size()];
    twice += x1 * y2 - x2 * y1;
  }
  return Rational(twice < 0 ? -twice : twice, 2);
}

// The perimeter of a polygon whose sides are all horizontal or vertical.
int64_t RectilinearPerimeter(const Poly& poly) {
  int64_t sum = 0;
  for (size_t i = 0; i < poly.size(); ++i) {
    auto [x1, y1] = poly[i];
    auto [x2, y2] = poly[(i + 1) % poly.size()];
    sum += std::abs(x2 - x1) + std::abs(y2 - y1);
  }
  return sum;
}

std::vector<Pt> ToPoints(const Poly& poly) {
  std::vector<Pt> pts;
  for (auto [x, y] : poly) pts.push_back({double(x), double(y)});
  return pts;
}

std::string Cm(int64_t v) { return Num(v) + " cm"; }

Problem AreaProblem(Rng& rng, int level) {
  Problem p;
  Shape shape;
  Poly poly;
  bool withPerimeter = false;
  Rational area;
  if (level == 1) {
    int64_t w = rng.Range(3, 25), h = rng.Range(2, 18);
    while (h >= w) h = rng.Range(2, 18);  // the length is the longer side
    poly = {{0, 0}, {w, 0}, {w, h}, {0, h}};
    p.facts = {{"corners", 4}, {"length", w}, {"width", h}};
    shape.angles = {{0, "", true}, {1, "", true}, {2, "", true}, {3, "", true}};
    shape.sideLabels = {{0, Cm(w)}, {1, Cm(h)}};
    shape.description = "A rectangle with its sides labelled.";
    p.statement.Para("A rectangle is " + Cm(w) + " long and " + Cm(h) + " wide. Find its area and its perimeter.");
    p.solution.Step(Formula("Area = " + Num(w) + " " + kTimes + " " + Num(h) + " = " + Num(w * h) + " cm\u00b2"));
    p.solution.Step(Formula("Perimeter = 2 " + kTimes + " (" + Num(w) + " + " + Num(h) + ") = " + Num(2 * (w + h)) + " cm"));
    area = w * h;
    p.answer = {area, 2 * (w + h)};
    withPerimeter = true;
    p.key = Key("1", {w, h});
  } else if (level == 2) {
    int64_t b = rng.Range(4, 20), h = rng.Range(3, 14), s = rng.Range(-2, 6);
    bool triangle = rng.Chance(1, 2);
    if (triangle) {
      poly = {{0, 0}, {b, 0}, {s + b / 2, h}};
      shape.description = "A triangle with its base and height marked.";
      shape.dashed = {{{double(s + b / 2), double(h)}, {double(s + b / 2), 0}, "h = " + Cm(h)}};
      p.statement.Para("A triangle has a base of " + Cm(b) + " and a height of " + Cm(h) + ". Find its area.");
      p.solution.Para("The area of a triangle is half of base times height:");
      p.solution.Step(Formula("Area = ").Frac("1", "2").T(kTimes + std::string(" ") + Num(b) + " " + kTimes + " " + Num(h) +
                                                         " = ").Frac(Num(b * h), "2").T(" = " + Dec(Rational(b * h, 2)) +
                                                                                         " cm\u00b2"));
      area = Rational(b * h, 2);
    } else {
      s = rng.Range(2, 6);
      poly = {{0, 0}, {b, 0}, {b + s, h}, {s, h}};
      shape.description = "A parallelogram with its base and height marked.";
      shape.dashed = {{{double(s), double(h)}, {double(s), 0}, "h = " + Cm(h)}};
      p.statement.Para("A parallelogram has a base of " + Cm(b) + " and a perpendicular height of " + Cm(h) +
                       ". Find its area.");
      p.solution.Para("The area of a parallelogram is base times perpendicular height:");
      p.solution.Step(Formula("Area = " + Num(b) + " " + kTimes + " " + Num(h) + " = " + Num(b * h) + " cm\u00b2"));
      area = b * h;
    }
    shape.sideLabels = {{0, Cm(b)}};
    p.facts = {{"corners", triangle ? 3 : 4}, {"height", h}};
    p.answer = {area};
    p.key = Key(triangle ? "2t" : "2p", {b, h});
  } else if (level == 3) {
    int64_t a = rng.Range(6, 20), b = rng.Range(3, 14), h = rng.Range(3, 12);
    while (b >= a) b = rng.Range(3, a - 1);
    int64_t s = rng.Range(0, a - b);
    poly = {{0, 0}, {a, 0}, {s + b, h}, {s, h}};
    shape.sideLabels = {{0, Cm(a)}, {2, Cm(b)}};
    shape.dashed = {{{double(s + b), double(h)}, {double(s + b), 0}, "h = " + Cm(h)}};
    shape.description = "A trapezium with its parallel sides and height marked.";
    p.statement.Para("A trapezium has parallel sides of " + Cm(a) + " and " + Cm(b) + ", which are " + Cm(h) +
                     " apart. Find its area.");
    p.solution.Para("The area of a trapezium is the mean of the parallel sides times the distance between them:");
    area = Rational((a + b) * h, 2);
    p.solution.Step(Formula("Area = ").Frac(Num(a) + " + " + Num(b), "2").T(" " + std::string(kTimes) + " " + Num(h) + " = ")
                        .Frac(Num(a + b), "2")
                        .T(" " + std::string(kTimes) + " " + Num(h) + " = " + Dec(area) + " cm\u00b2"));
    p.answer = {area};
    p.key = Key("3", {a, b, h, s});
    p.facts = {{"corners", 4}, {"parallel1", a}, {"parallel2", b}};
  } else {
    // An L-shaped floor: a big rectangle with a rectangular corner cut away.
    int64_t W = rng.Range(8, 20), H = rng.Range(6, 16);
    int64_t w = rng.Range(2, W - 3), h = rng.Range(2, H - 3);
    poly = {{0, 0}, {W, 0}, {W, H - h}, {W - w, H - h}, {W - w, H}, {0, H}};
    shape.angles = {{0, "", true}, {1, "", true}, {2, "", true}, {4, "", true}, {5, "", true}};
    shape.sideLabels = {{0, Cm(W)}, {1, Cm(H - h)}, {4, Cm(W - w)}, {5, Cm(H)}};
    shape.dashed = {{{double(W - w), double(H - h)}, {0, double(H - h)}, ""}};
    shape.description = "An L-shaped figure with only right angles: a rectangle with its top right corner cut away, four "
                        "of its six sides labelled.";
    p.statement.Para("The L-shaped figure has only right angles. Find its area and its perimeter.");
    p.solution.Para("First the two unlabelled sides of the notch:");
    p.solution.Step(Formula(Num(W) + " " + kMinus + " " + Num(W - w) + " = " + Cm(w) + ",   " + Num(H) + " " + kMinus +
                            " " + Num(H - h) + " = " + Cm(h)));
    p.solution.Para("Cut the shape along the dashed line into two rectangles:");
    int64_t lower = W * (H - h), upper = (W - w) * h;
    p.solution.Step(Formula("Area = " + Num(W) + " " + kTimes + " " + Num(H - h) + " + " + Num(W - w) + " " + kTimes + " " +
                            Num(h) + " = " + Num(lower) + " + " + Num(upper) + " = " + Num(lower + upper) + " cm\u00b2"));
    p.solution.Para("The perimeter is the sum of the six sides:");
    int64_t perimeter = W + (H - h) + w + h + (W - w) + H;
    p.solution.Step(Formula("Perimeter = " + Num(W) + " + " + Num(H - h) + " + " + Num(w) + " + " + Num(h) + " + " +
                            Num(W - w) + " + " + Num(H) + " = " + Num(perimeter) + " cm"));
    area = lower + upper;
    Require(area == W * H - w * h, "the two ways of finding the area disagree");
    p.answer = {area, perimeter};
    withPerimeter = true;
    p.key = Key("4", {W, H, w, h});
    p.facts = {{"corners", 6}};
  }
  shape.vertices = ToPoints(poly);
  p.figure = ShapeFigure(shape);
  p.figureInSolution = level == 4;
  Formula answer("area " + (area.IsInteger() ? Num(area.Num()) : Dec(area)) + " cm\u00b2");
  if (withPerimeter) answer.T(", perimeter " + Num(p.answer[1].Num()) + " cm");
  p.solution.Answer(answer);
  p.check = [poly, withPerimeter](const Answer& a) {
    if (a.size() != (withPerimeter ? 2u : 1u) || a[0] != ShoelaceArea(poly)) return false;
    return !withPerimeter || a[1] == RectilinearPerimeter(poly);
  };
  return p;
}

// ---- Circles ----

std::string PiText(const Rational& coef, const std::string& unit) {
  std::string c = coef == 1 ? "" : RatText(coef);
  return c + kPi + " " + unit + " \u2248 " + Fixed(coef.ToDouble() * std::numbers::pi, 2) + " " + unit;
}

Figure CircleFigure(bool diameter, double sectorAngle, const std::string& label, std::string description) {
  Figure fig;
  fig.width = 300;
  fig.height = 260;
  fig.description = std::move(description) + " Labelled " + PlainText(label) +
                    (sectorAngle > 0 ? ", angle " + PlainText(Num(static_cast<int64_t>(sectorAngle)) + kDegree) : "") + ".";
  fig.draw = [diameter, sectorAngle, label](Painter& p) {
    Pt c{150, 130};
    double radius = 95;
    p.SetWidth(1.8);
    if (sectorAngle > 0) {
      p.SetColor(kMuted);
      p.SetDash(true);
      p.Circle(c, radius, nullptr);
      p.SetDash(false);
      p.SetColor(kInk);
      p.Sector(c, radius, 0, sectorAngle, &kFill);
      Pt end{c.x + radius * std::cos(sectorAngle * kRad), c.y - radius * std::sin(sectorAngle * kRad)};
      p.SetWidth(1.2);
      p.AngleArc(c, {c.x + radius, c.y}, end, 18);
      p.AngleLabel(c, {c.x + radius, c.y}, end, Num(static_cast<int64_t>(sectorAngle)) + kDegree, 34);
      p.SideLabel(c, {c.x + radius, c.y}, end, label, 14.0);
    } else {
      p.Circle(c, radius, &kFill);
      p.SetColor(kAccent);
      Pt from = diameter ? Pt{c.x - radius * 0.8, c.y + radius * 0.6} : c;
      Pt to{c.x + radius * 0.8, c.y - radius * 0.6};
      p.Segment(from, to);
      p.SideLabel(from, to, {c.x + 50, c.y + 60}, label, 14.0, kAccent);
    }
    p.SetColor(kInk);
    p.Dot(c, 3);
    p.Label({c.x - 6, c.y + 4}, "<i>O</i>", 1.0, 0.0, 10.5);
  };
  return fig;
}

Problem CircleProblem(Rng& rng, int level) {
  Problem p;
  std::string unit = rng.Pick<std::string>({"cm", "m"});
  int64_t r = rng.Range(2, 25);
  bool useDiameter = rng.Chance(1, 2);
  int64_t d = 2 * r;
  std::string given = useDiameter ? "diameter " + Num(d) + " " + unit : "radius " + Num(r) + " " + unit;
  std::string figLabel = useDiameter ? Var("d") + " = " + Num(d) + " " + unit : Var("r") + " = " + Num(r) + " " + unit;
  if (level == 1 || level == 2) {
    bool area = level == 2;
    p.statement.Para("A circle has " + given + ". Find its " + (area ? "area" : "circumference") + ".");
    Ask(p, {AnswerForm::Kind::kExactAndRounded, 2}, "Give the answer in terms of " + kPi + " and to two decimal places.");
    p.facts = {{"given", 1}, {"area", area ? 1 : 0}};
    p.figure = CircleFigure(useDiameter, 0, figLabel, std::string("A circle with its ") +
                                                              (useDiameter ? "diameter" : "radius") + " marked.");
    if (useDiameter) p.solution.Para("The radius is half the diameter: " + Var("r") + " = " + Num(r) + " " + unit + ".");
    Rational coef = area ? Rational(r * r) : Rational(2 * r);
    if (area) {
      p.solution.Step(Formula(Var("A") + " = " + kPi + Var("r") + "\u00b2 = " + kPi + kTimes + Num(r) + "\u00b2 = " +
                              PiText(coef, unit + "\u00b2")));
      p.solution.Answer(Formula(Var("A") + " = " + PiText(coef, unit + "\u00b2")));
      p.check = [d](const Answer& a) { return a.size() == 1 && a[0] == Rational(d * d, 4); };  // π d² / 4
    } else {
      p.solution.Step(Formula(Var("C") + " = 2" + kPi + Var("r") + " = 2" + kTimes + kPi + kTimes + Num(r) + " = " +
                              PiText(coef, unit)));
      p.solution.Answer(Formula(Var("C") + " = " + PiText(coef, unit)));
      p.check = [d](const Answer& a) { return a.size() == 1 && a[0] == d; };  // C = π d
    }
    p.answer = {coef};
    p.key = Key(std::string(area ? "2" : "1") + (useDiameter ? "d" : "r"), {r});
  } else if (level == 3) {
    bool fromArea = rng.Chance(1, 2);
    int64_t coef = fromArea ? r * r : 2 * r;
    p.statement.Para("A circle has " + std::string(fromArea ? "an area" : "a circumference") + " of " + Num(coef) + kPi +
                     " " + unit + (fromArea ? "\u00b2" : "") + ". Find its radius and its diameter.");
    p.facts = {{"given", 2}, {"area", fromArea ? 1 : 0}};
    p.figure = CircleFigure(false, 0, Var("r") + " = ?", "A circle with its radius marked.");
    if (fromArea) {
      p.solution.Step(Formula(kPi + Var("r") + "\u00b2 = " + Num(coef) + kPi));
      p.solution.Step(Formula(Var("r") + "\u00b2 = " + Num(coef) + ",   " + Var("r") + " = ").Root(Num(coef)).T(" = " + Num(r) + " " + unit));
    } else {
      p.solution.Step(Formula("2" + kPi + Var("r") + " = " + Num(coef) + kPi));
      p.solution.Step(Formula(Var("r") + " = ").Frac(Num(coef), "2").T(" = " + Num(r) + " " + unit));
    }
    p.solution.Step(Formula(Var("d") + " = 2" + Var("r") + " = " + Num(d) + " " + unit));
    p.solution.Answer(Formula(Var("r") + " = " + Num(r) + " " + unit + ",  " + Var("d") + " = " + Num(d) + " " + unit));
    p.answer = {r, d};
    p.check = [fromArea, coef](const Answer& a) {
      if (a.size() != 2 || a[0] <= 0 || a[1] != a[0] * 2) return false;
      return fromArea ? a[0] * a[0] == coef : a[1] == coef;  // put the radius back into the formula
    };
    p.key = Key(fromArea ? "3a" : "3c", {r});
  } else {
    int64_t angle = rng.Pick<int64_t>({30, 36, 40, 45, 60, 72, 80, 90, 100, 120, 135, 150, 160, 216, 240, 270});
    Rational arc = Rational(angle * 2 * r, 360);
    Rational area = Rational(angle * r * r, 360);
    p.statement.Para("A sector of a circle of radius " + Num(r) + " " + unit + " has an angle of " + Deg(angle) +
                     " at the centre. Find the length of its arc and its area.");
    Ask(p, {AnswerForm::Kind::kExact}, "Give both in terms of " + kPi + ".");
    p.facts = {{"given", 1}, {"sector", angle}};
    p.figure = CircleFigure(false, static_cast<double>(angle), Var("r") + " = " + Num(r) + " " + unit,
                            "A shaded sector of a circle with its angle marked.");
    p.figureInSolution = true;
    p.solution.Para("The sector is " + Num(angle) + "/360 of the whole circle.");
    p.solution.Step(Formula("arc = ").Frac(Num(angle), "360").T(kTimes + std::string("2") + kPi + kTimes + Num(r) + " = ")
                        .Q(arc).T(kPi + std::string(" ") + unit));
    p.solution.Step(Formula("area = ").Frac(Num(angle), "360").T(kTimes + std::string(kPi) + kTimes + Num(r) + "\u00b2 = ")
                        .Q(area).T(kPi + std::string(" ") + unit + "\u00b2"));
    p.solution.Answer(Formula("arc ").Q(arc).T(kPi + std::string(" ") + unit + ",  area ").Q(area).T(kPi + std::string(" ") + unit + "\u00b2"));
    p.answer = {arc, area};
    p.check = [angle, r](const Answer& a) {
      // The area of a sector is half the arc length times the radius.
      return a.size() == 2 && a[0] * 360 == Rational(angle * 2 * r) && a[1] == a[0] * r / 2;
    };
    p.key = Key("4", {angle, r});
  }
  return p;
}

}  // namespace

Problem MakeTriangleAngles(Rng& rng, int level) { return TriangleProblem(rng, level); }
Problem MakePythagoras(Rng& rng, int level) { return PythagorasProblem(rng, level); }
Problem MakeAreaPerimeter(Rng& rng, int level) { return AreaProblem(rng, level); }
Problem MakeCircles(Rng& rng, int level) { return CircleProblem(rng, level); }

}  // namespace qil::disc
