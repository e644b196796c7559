// Algebra topics: linear equations, simultaneous equations, quadratic
// equations, sequences and linear functions.
#include <algorithm>
#include <cmath>

#include "Kit.h"

namespace qil::disc {

namespace {

// ---- Linear equations ----

// The two sides of an equation as functions of x, evaluated exactly.
using SideFn = std::function<Rational(const Rational&)>;

AnswerCheck Substitution(SideFn left, SideFn right) {
  return [left, right](const Answer& a) {
    if (a.size() != 1) return false;
    // A true solution balances the equation; x + 1 must not (the equation is not an identity).
    return left(a[0]) == right(a[0]) && left(a[0] + 1) != right(a[0] + 1);
  };
}

// The facts the level rules read from A·x + B = C·x + D, and its canonical form.
void RecordLinear(Problem& p, const std::string& tag, Rational A, Rational B, Rational C, Rational D, bool grouped) {
  p.facts = {{"a", A}, {"b", B}, {"c", C}, {"d", D}, {"grouped", grouped ? 1 : 0}};
  p.canon = EquationCanon(tag, {A, B}, {C, D});
}

// Steps from A·x + B = C·x + D (already written) to the value of x.
void SolveCollected(Sheet& s, Rational A, Rational B, Rational C, Rational D, Rational& x) {
  Rational coef = A - C, rhs = D - B;
  if (C != 0 || B != 0) {
    std::string what;
    if (C != 0) what += (C.Sign() > 0 ? "subtract " : "add ") + Linear(C.Abs().Num(), "x", 0);
    if (B != 0) {
      what += what.empty() ? "" : " and ";
      what += (B.Sign() > 0 ? "subtract " : "add ") + Num(B.Abs().Num());
    }
    s.Para("On both sides " + what + ":");
    s.Step(Formula(Linear(coef.Num(), "x", 0) + " = " + Num(rhs.Num())));
  }
  x = rhs / coef;
  if (coef != 1) {
    s.Para("Divide both sides by " + Num(coef.Num()) + ":");
    Formula f(X() + " = ");
    if (coef == -1 || rhs == 0) {
      f.Q(x);
    } else {
      FracValue(f, rhs.Num(), coef.Num());
    }
    s.Step(f);
  }
}

Problem LinearLevel1(Rng& rng) {
  Problem p;
  int64_t x = rng.Range(-12, 20);
  int form = static_cast<int>(rng.Range(0, 3));
  int64_t a = rng.Range(2, 12);
  std::string left;
  SideFn lf;
  int64_t d = 0;
  p.solution.Para("Undo the operation on " + X() + " by doing the opposite to both sides.");
  switch (form) {
    case 0:  // x + a = d
      d = x + a;
      left = Linear(1, "x", a);
      lf = [a](const Rational& v) { return v + a; };
      p.solution.Step(Formula(X() + " = " + Num(d) + " " + kMinus + " " + Num(a) + " = " + Num(x)));
      RecordLinear(p, "", 1, a, 0, d, false);
      break;
    case 1:  // x - a = d
      d = x - a;
      left = Linear(1, "x", -a);
      lf = [a](const Rational& v) { return v - a; };
      p.solution.Step(Formula(X() + " = " + Num(d) + " + " + Num(a) + " = " + Num(x)));
      RecordLinear(p, "", 1, -a, 0, d, false);
      break;
    case 2:  // a x = d
      d = a * x;
      left = Linear(a, "x", 0);
      lf = [a](const Rational& v) { return v * a; };
      p.solution.Step(Formula(X() + " = ").Frac(Num(d), Num(a)).T(" = " + Num(x)));
      RecordLinear(p, "", a, 0, 0, d, false);
      break;
    default: {  // x / a = d
      d = x;
      x = d * a;
      lf = [a](const Rational& v) { return v / a; };
      p.solution.Step(Formula(X() + " = " + Num(d) + " " + kTimes + " " + Num(a) + " = " + Num(x)));
      RecordLinear(p, "", Rational(1, a), 0, 0, d, false);
      break;
    }
  }
  Formula eq = form == 3 ? Formula().Frac(X(), Num(a)).T(" = " + Num(d)) : Eq(left, Num(d));
  p.statement.Para("Solve the equation.").Line(eq);
  p.solution.Answer(Formula(X() + " = " + Num(x)));
  p.answer = {x};
  p.check = Substitution(lf, [d](const Rational&) { return Rational(d); });
  p.key = Key("1", {form, a, d});
  return p;
}

Problem LinearLevel2(Rng& rng) {
  Problem p;
  int64_t x = rng.Range(-10, 15);
  int64_t a = rng.NonZero(-9, 9);
  if (a == 1 || a == -1) a = 3;
  int64_t b = rng.NonZero(-20, 20);
  int64_t d = a * x + b;
  bool story = a > 0 && b > 0 && x > 0 && rng.Chance(1, 3);
  if (story) {
    p.statement.Para("I think of a number, multiply it by " + Num(a) + " and then add " + Num(b) +
                     ". The result is " + Num(d) + ". Which number did I think of?");
    p.solution.Para("Call the number " + X() + ". Then");
  } else {
    p.statement.Para("Solve the equation.");
    p.statement.Line(Eq(Linear(a, "x", b), Num(d)));
  }
  p.solution.Line(Eq(Linear(a, "x", b), Num(d)), Align::kIndent);
  Rational solved;
  SolveCollected(p.solution, a, b, 0, d, solved);
  Require(solved == x, "the collected equation gives another x");
  p.solution.Answer(Formula(X() + " = " + Num(x)));
  p.answer = {x};
  p.check = Substitution([a, b](const Rational& v) { return v * a + b; }, [d](const Rational&) { return Rational(d); });
  p.key = Key("2", {a, b, d});
  RecordLinear(p, "", a, b, 0, d, false);
  return p;
}

Problem LinearLevel3(Rng& rng) {
  Problem p;
  int64_t x = rng.Range(-9, 12);
  int64_t a = rng.NonZero(-8, 9), c = rng.NonZero(-8, 9);
  if (a == c) c = a + rng.Pick<int64_t>({-3, -2, 2, 3});
  if (c == 0) c = 5;
  int64_t b = rng.Range(-20, 20);
  int64_t d = (a - c) * x + b;
  p.statement.Para("Solve the equation.");
  p.statement.Line(Eq(Linear(a, "x", b), Linear(c, "x", d)));
  p.solution.Line(Eq(Linear(a, "x", b), Linear(c, "x", d)), Align::kIndent);
  Rational solved;
  SolveCollected(p.solution, a, b, c, d, solved);
  Require(solved == x, "the collected equation gives another x");
  p.solution.Answer(Formula(X() + " = " + Num(x)));
  p.answer = {x};
  p.check = Substitution([a, b](const Rational& v) { return v * a + b; },
                         [c, d](const Rational& v) { return v * c + d; });
  p.key = Key("3", {a, b, c, d});
  RecordLinear(p, "", a, b, c, d, false);
  return p;
}

std::string Bracket(int64_t k, int64_t p) {
  std::string inner = "(" + Linear(1, "x", p) + ")";
  if (k == 1) return inner;
  if (k == -1) return std::string(kMinus) + inner;
  return Num(k) + inner;
}

Problem LinearLevel4(Rng& rng) {
  Problem p;
  p.statement.Para("Solve the equation.");
  if (rng.Chance(1, 2)) {
    // k1 (x + p1) + q1 = k2 (x + p2) + q2
    int64_t k1 = rng.Range(2, 7), k2 = rng.NonZero(-5, 6);
    if (k2 == k1) k2 = -k2;
    int64_t p1 = rng.NonZero(-9, 9), p2 = rng.NonZero(-9, 9), q1 = rng.Range(-12, 12);
    int64_t q2 = rng.Range(-12, 12);
    std::string left = Bracket(k1, p1) + (q1 != 0 ? " " + SignedTerm(q1) : "");
    std::string right = Bracket(k2, p2) + (q2 != 0 ? " " + SignedTerm(q2) : "");
    p.statement.Line(Eq(left, right));
    p.solution.Line(Eq(left, right), Align::kIndent);
    p.solution.Para("Multiply out the brackets and simplify each side:");
    p.solution.Step(Eq(Linear(k1, "x", k1 * p1 + q1), Linear(k2, "x", k2 * p2 + q2)));
    Rational x;
    SolveCollected(p.solution, k1, k1 * p1 + q1, k2, k2 * p2 + q2, x);
    p.answer = {x};
    p.check = Substitution([k1, p1, q1](const Rational& v) { return (v + p1) * k1 + q1; },
                           [k2, p2, q2](const Rational& v) { return (v + p2) * k2 + q2; });
    p.key = Key("4b", {k1, p1, q1, k2, p2, q2});
    RecordLinear(p, "brackets", k1, k1 * p1 + q1, k2, k2 * p2 + q2, true);
  } else {
    // (x + a) / b = (x + c) / d
    int64_t b = rng.Range(2, 9), d = rng.Range(2, 9);
    if (b == d) d = b + 1;
    int64_t a = rng.NonZero(-9, 9), c = rng.NonZero(-9, 9);
    Formula eq;
    eq.Frac(Linear(1, "x", a), Num(b)).T(" = ").Frac(Linear(1, "x", c), Num(d));
    p.statement.Line(eq);
    p.solution.Line(eq, Align::kIndent);
    p.solution.Para("Multiply both sides by " + Num(b * d) + " to clear the fractions:");
    p.solution.Step(Eq(Bracket(d, a), Bracket(b, c)));
    p.solution.Step(Eq(Linear(d, "x", d * a), Linear(b, "x", b * c)));
    Rational x;
    SolveCollected(p.solution, d, d * a, b, b * c, x);
    p.answer = {x};
    p.check = Substitution([a, b](const Rational& v) { return (v + a) / b; },
                           [c, d](const Rational& v) { return (v + c) / d; });
    p.key = Key("4f", {a, b, c, d});
    RecordLinear(p, "fractions", Rational(1, b), Rational(a, b), Rational(1, d), Rational(c, d), true);
  }
  if (!p.answer[0].IsInteger()) Ask(p, {AnswerForm::Kind::kLowestTerms});
  p.solution.Answer(Formula(X() + " = ").Q(p.answer[0]));
  return p;
}

// ---- Simultaneous equations ----

std::string XY(int64_t a, int64_t b) { return Combo({{a, Var("x")}, {b, Var("y")}}, 0); }

// The facts of the pair a1 x + b1 y = c1, a2 x + b2 y = c2 and its canonical form, the same in either order.
void RecordPair(Problem& p, int64_t a1, int64_t b1, int64_t c1, int64_t a2, int64_t b2, int64_t c2) {
  p.facts["a1"] = a1;
  p.facts["b1"] = b1;
  p.facts["a2"] = a2;
  p.facts["b2"] = b2;
  p.canon = SortedCanon("pair", {EquationCanon("", {a1, b1}, {c1}), EquationCanon("", {a2, b2}, {c2})});
}

AnswerCheck PairCheck(int64_t a1, int64_t b1, int64_t c1, int64_t a2, int64_t b2, int64_t c2) {
  return [=](const Answer& v) {
    if (v.size() != 2 || a1 * b2 - a2 * b1 == 0) return false;
    return v[0] * a1 + v[1] * b1 == Rational(c1) && v[0] * a2 + v[1] * b2 == Rational(c2);
  };
}

// Elimination of x from a1 x + b1 y = c1 and a2 x + b2 y = c2, then back-substitution.
void Eliminate(Sheet& s, int64_t a1, int64_t b1, int64_t c1, int64_t a2, int64_t b2, int64_t c2,
               Rational& x, Rational& y) {
  // Scale both equations so that x has the coefficient l or -l in each.
  int64_t l = Lcm(a1, a2);
  int64_t f1 = l / std::abs(a1), f2 = l / std::abs(a2);
  if (f1 != 1 || f2 != 1) {
    std::string what = f1 != 1 ? "multiply the first equation by " + Num(f1) : "";
    if (f2 != 1) what += (what.empty() ? "multiply the second equation by " : " and the second by ") + Num(f2);
    s.Para("Make the coefficients of " + X() + " the same size: " + what + ".");
    s.Step(Eq(XY(a1 * f1, b1 * f1), Num(c1 * f1)));
    s.Step(Eq(XY(a2 * f2, b2 * f2), Num(c2 * f2)));
  }
  // Equal coefficients cancel by subtraction, opposite ones by addition.
  bool subtract = (a1 > 0) == (a2 > 0);
  int64_t sign = subtract ? -1 : 1;
  int64_t by = b1 * f1 + sign * b2 * f2, cy = c1 * f1 + sign * c2 * f2;
  s.Para(subtract ? "Subtract the second equation from the first:" : "Add the two equations:");
  s.Step(Eq(Linear(by, "y", 0), Num(cy)));
  y = Rational(cy, by);
  if (by != 1) {
    Formula solved(Var("y") + " = ");
    FracValue(solved, by < 0 ? -cy : cy, std::abs(by));
    s.Step(solved);
  }
  s.Para("Put " + Var("y") + " into the first equation:");
  Formula back(Linear(a1, "x", 0));
  back.T(" " + std::string(b1 < 0 ? kMinus : "+") + " " + (b1 == 1 || b1 == -1 ? "" : std::to_string(b1 < 0 ? -b1 : b1) + kCdot))
      .QB(y)
      .T(" = " + Num(c1));
  s.Step(back);
  x = (Rational(c1) - y * b1) / a1;
  s.Step(Formula(X() + " = ").Q(x));
}

Problem SimultaneousProblem(Rng& rng, int level) {
  Problem p;
  int64_t x = rng.Range(-6, 9), y = rng.Range(-6, 9);
  int64_t a1 = 1, b1 = 1, a2 = 1, b2 = -1;
  if (level == 3) b2 = b1;  // start the search for independent coefficients below
  if (level == 4) {
    // A sales story: adult and child tickets.
    int64_t adult = rng.Range(6, 15), child = rng.Range(2, adult - 2);
    int64_t na = rng.Range(20, 140), nc = rng.Range(20, 140);
    int64_t total = na + nc, money = adult * na + child * nc;
    p.statement.Para("A school theatre sold " + Num(total) + " tickets for one show. Adult tickets cost $" +
                     Num(adult) + " and child tickets $" + Num(child) + ". The tickets brought in $" +
                     Num(money) + " in all. How many adult tickets and how many child tickets were sold?");
    p.solution.Para("Let " + X() + " be the number of adult tickets and " + Var("y") + " the number of child tickets.");
    p.solution.Step(Eq(XY(1, 1), Num(total)));
    p.solution.Step(Eq(XY(adult, child), Num(money)));
    p.solution.Para("From the first equation " + Var("y") + " = " + Num(total) + " " + kMinus + " " + X() +
                    ". Substitute it into the second:");
    p.solution.Step(Formula(Num(adult) + X() + " + " + Num(child) + "(" + Num(total) + " " + kMinus + " " + X() +
                            ") = " + Num(money)));
    p.solution.Step(Eq(Linear(adult - child, "x", child * total), Num(money)));
    p.solution.Step(Eq(Linear(adult - child, "x", 0), Num(money - child * total)));
    Rational sx(money - child * total, adult - child);
    Require(sx == na, "ticket count does not come out");
    p.solution.Step(Formula(X() + " = " + Num(na) + ",   " + Var("y") + " = " + Num(total) + " " + kMinus + " " +
                            Num(na) + " = " + Num(nc)));
    p.solution.Answer(Formula(Num(na) + " adult tickets and " + Num(nc) + " child tickets"));
    p.answer = {na, nc};
    p.check = PairCheck(1, 1, total, adult, child, money);
    p.key = Key("4", {adult, child, total, money});
    RecordPair(p, 1, 1, total, adult, child, money);
    p.facts["story"] = 1;
    p.facts["solvedForY"] = 0;
    return p;
  }
  if (level == 2) {
    int64_t m = rng.NonZero(-4, 4), k = rng.Range(-8, 8);
    y = m * x + k;
    a2 = rng.NonZero(-5, 6);
    b2 = rng.NonZero(-5, 6);
    if (a2 + b2 * m == 0) a2 += a2 > 0 ? 1 : -1;
    int64_t c2 = a2 * x + b2 * y;
    p.statement.Para("Solve the simultaneous equations.");
    p.statement.Line(Eq(Var("y"), Linear(m, "x", k)));
    p.statement.Line(Eq(XY(a2, b2), Num(c2)));
    p.solution.Para("Substitute " + Var("y") + " = " + Linear(m, "x", k) + " into the second equation:");
    p.solution.Step(Formula(Linear(a2, "x", 0) + " " + (b2 < 0 ? std::string(kMinus) : "+") + " " +
                            (b2 == 1 || b2 == -1 ? "" : std::to_string(b2 < 0 ? -b2 : b2)) + "(" + Linear(m, "x", k) +
                            ") = " + Num(c2)));
    p.solution.Step(Eq(Linear(a2 + b2 * m, "x", b2 * k), Num(c2)));
    Rational sx;
    SolveCollected(p.solution, a2 + b2 * m, b2 * k, 0, c2, sx);
    Rational sy = sx * m + k;
    p.solution.Para("Then " + Var("y") + " = " + Linear(m, "x", k) + ":");
    p.solution.Step(Formula(Var("y") + " = ").Q(sy));
    Require(sx == x && sy == y, "substitution gives another pair");
    p.solution.Answer(Formula(X() + " = " + Num(x) + ",  " + Var("y") + " = " + Num(y)));
    p.answer = {x, y};
    p.check = PairCheck(-m, 1, k, a2, b2, c2);
    p.key = Key("2", {m, k, a2, b2, c2});
    RecordPair(p, -m, 1, k, a2, b2, c2);
    p.facts["story"] = 0;
    p.facts["solvedForY"] = 1;
    return p;
  }
  // Coefficients of two independent equations, none of the same size as its partner's, so
  // that one equation must be scaled.
  while (level == 3 && (a1 * b2 - a2 * b1 == 0 || std::abs(a1) == std::abs(a2) || std::abs(b1) == std::abs(b2))) {
    a1 = rng.NonZero(-5, 6);
    b1 = rng.NonZero(-6, 6);
    a2 = rng.NonZero(-5, 6);
    b2 = rng.NonZero(-6, 6);
  }
  int64_t c1 = a1 * x + b1 * y, c2 = a2 * x + b2 * y;
  Require(a1 * b2 - a2 * b1 != 0, "the equations are not independent");
  p.statement.Para("Solve the simultaneous equations.");
  p.statement.Line(Eq(XY(a1, b1), Num(c1)));
  p.statement.Line(Eq(XY(a2, b2), Num(c2)));
  Rational sx, sy;
  if (level == 1) {
    p.solution.Para("Add the two equations; " + Var("y") + " cancels:");
    p.solution.Step(Eq(Linear(2, "x", 0), Num(c1 + c2)));
    sx = Rational(c1 + c2, 2);
    p.solution.Step(Formula(X() + " = " + Num(sx.Num())));
    p.solution.Para("From the first equation " + Var("y") + " = " + Num(c1) + " " + kMinus + " " + X() + ":");
    sy = Rational(c1) - sx;
    p.solution.Step(Formula(Var("y") + " = " + Num(c1) + " " + kMinus + " " + NumB(sx.Num()) + " = " + Num(sy.Num())));
  } else {
    Eliminate(p.solution, a1, b1, c1, a2, b2, c2, sx, sy);
  }
  Require(sx == x && sy == y, "elimination gives another pair");
  p.solution.Answer(Formula(X() + " = " + Num(x) + ",  " + Var("y") + " = " + Num(y)));
  p.answer = {x, y};
  p.check = PairCheck(a1, b1, c1, a2, b2, c2);
  p.key = Key(std::to_string(level), {a1, b1, c1, a2, b2, c2});
  RecordPair(p, a1, b1, c1, a2, b2, c2);
  p.facts["story"] = 0;
  p.facts["solvedForY"] = 0;
  return p;
}

// ---- Quadratic equations ----

std::string Quadratic(int64_t a, int64_t b, int64_t c) {
  return Combo({{a, X() + "\u00b2"}, {b, X()}}, c);
}

// An answer of distinct roots in ascending order that all satisfy a x^2 + b x + c = 0, as many
// as the discriminant promises.
AnswerCheck RootsCheck(int64_t a, int64_t b, int64_t c) {
  return [=](const Answer& v) {
    int64_t disc = b * b - 4 * a * c;
    size_t expected = disc > 0 ? 2 : (disc == 0 ? 1 : 0);
    if (v.size() != expected) return false;
    for (size_t i = 0; i < v.size(); ++i) {
      if (v[i] * v[i] * a + v[i] * b + c != 0) return false;
      if (i > 0 && !(v[i - 1] < v[i])) return false;
    }
    return true;
  };
}

// The surd answer (p ± k√m) / r of a x^2 + b x + c = 0: both conjugate roots satisfy the
// equation exactly when the rational part and the part with √m both vanish.
AnswerCheck SurdCheck(int64_t a, int64_t b, int64_t c) {
  return [=](const Answer& v) {
    if (v.size() != 4) return false;
    for (const Rational& q : v) {
      if (!q.IsInteger()) return false;
    }
    int64_t pp = v[0].Num(), k = v[1].Num(), m = v[2].Num(), r = v[3].Num();
    if (k <= 0 || r <= 0 || m < 2) return false;
    int64_t out, in;
    SplitSquareRoot(m, out, in);
    if (out != 1 || Gcd(Gcd(pp, k), r) != 1) return false;
    Rational rational = Rational(a * (pp * pp + k * k * m), r * r) + Rational(b * pp, r) + c;
    Rational irrational = Rational(2 * a * pp * k, r * r) + Rational(b * k, r);
    return rational == 0 && irrational == 0;
  };
}

std::string Surd(int64_t k, int64_t m) {
  std::string root = "\u221a<span overline=\"single\">" + std::to_string(m) + "</span>";
  return k == 1 ? root : std::to_string(k) + root;
}

// The facts of a x² + b x + c = 0 (squareForm: written as (x − s)² = r²) and its canonical form.
void RecordQuadratic(Problem& p, int64_t a, int64_t b, int64_t c, bool squareForm) {
  p.facts = {{"a", a}, {"b", b}, {"c", c}, {"squareForm", squareForm ? 1 : 0}};
  p.canon = EquationCanon(squareForm ? "square" : "", {a, b, c}, {0});
}

Problem QuadraticProblem(Rng& rng, int level) {
  Problem p;
  p.statement.Para("Solve the equation.");
  if (level == 1) {
    int64_t r = rng.Range(1, 12);
    int64_t a = rng.Chance(1, 2) ? 1 : rng.Range(2, 5);
    int64_t s = rng.Range(0, 2) == 0 ? rng.Range(-6, 6) : 0;  // (x - s)^2 = r^2 when s != 0
    if (s != 0) {
      std::string lhs = "(" + Linear(1, "x", -s) + ")\u00b2";
      p.statement.Line(Eq(lhs, Num(r * r)));
      p.solution.Para("Take the square root of both sides; do not forget the negative root.");
      p.solution.Step(Formula(Linear(1, "x", -s) + " = " + kPlusMinus + Num(r)));
      p.solution.Step(Formula(X() + " = " + Num(s) + " + " + Num(r) + " = " + Num(s + r) + "   or   " + X() +
                              " = " + Num(s) + " " + kMinus + " " + Num(r) + " = " + Num(s - r)));
      p.answer = {s - r, s + r};
      p.check = RootsCheck(1, -2 * s, s * s - r * r);
      p.key = Key("1s", {s, r});
      RecordQuadratic(p, 1, -2 * s, s * s - r * r, true);
    } else {
      p.statement.Line(Eq(Quadratic(a, 0, -a * r * r), "0"));
      p.solution.Para("Bring the constant to the right-hand side" + std::string(a != 1 ? " and divide by " + Num(a) : "") +
                      ":");
      p.solution.Step(Formula(X() + "\u00b2 = " + Num(r * r)));
      p.solution.Para("Both a positive and a negative number square to " + Num(r * r) + ":");
      p.solution.Step(Formula(X() + " = " + kPlusMinus).Root(Num(r * r)).T(" = " + std::string(kPlusMinus) + Num(r)));
      p.answer = {-r, r};
      p.check = RootsCheck(a, 0, -a * r * r);
      p.key = Key("1", {a, r});
      RecordQuadratic(p, a, 0, -a * r * r, false);
    }
    p.solution.Answer(Formula(X() + " = " + Num(p.answer[0].Num()) + "  or  " + X() + " = " + Num(p.answer[1].Num())));
    return p;
  }
  if (level == 2) {
    int64_t r1 = rng.Range(-9, 9), r2 = rng.Range(-9, 9);
    while (r1 + r2 == 0) r2 = rng.Range(-9, 9);  // x² − r² = 0 is of the first level's kind
    int64_t b = -(r1 + r2), c = r1 * r2;
    p.statement.Line(Eq(Quadratic(1, b, c), "0"));
    p.solution.Para("Look for two numbers whose product is " + Num(c) + " and whose sum is " + Num(b) + ": " +
                    Num(-r1) + " and " + Num(-r2) + ". So the left-hand side factorises:");
    p.solution.Step(Formula("(" + Linear(1, "x", -r1) + ")(" + Linear(1, "x", -r2) + ") = 0"));
    p.solution.Para("A product is zero only when one of its factors is zero.");
    p.solution.Step(Formula(X() + " = " + Num(r1) + (r1 == r2 ? "" : "   or   " + X() + " = " + Num(r2))));
    if (r1 == r2) {
      p.answer = {r1};
      p.solution.Answer(Formula(X() + " = " + Num(r1) + " (a double root)"));
    } else {
      p.answer = {std::min(r1, r2), std::max(r1, r2)};
      p.solution.Answer(Formula(X() + " = " + Num(std::min(r1, r2)) + "  or  " + X() + " = " + Num(std::max(r1, r2))));
    }
    p.check = RootsCheck(1, b, c);
    p.key = Key("2", {b, c});
    RecordQuadratic(p, 1, b, c, false);
    return p;
  }
  int64_t a = 1, b = 0, c = 0, disc = 0;
  if (level == 3) {
    // (p1 x - m1)(p2 x - m2) with at least one p above 1, two different roots, an x term
    // and no common factor.
    while (disc <= 0 || b == 0 || Gcd(Gcd(a, b), c) != 1) {
      int64_t p1 = rng.Range(2, 5), p2 = rng.Range(1, 3);
      int64_t m1 = rng.NonZero(-7, 7), m2 = rng.NonZero(-7, 7);
      if (Gcd(p1, m1) != 1) m1 = m1 > 0 ? 1 : -1;
      a = p1 * p2;
      b = -(p1 * m2 + p2 * m1);
      c = m1 * m2;
      disc = b * b - 4 * a * c;
    }
  } else {
    // Two real roots that are not rational: the discriminant is positive and not a square;
    // an x term and no common factor.
    while (disc <= 0 || ExactSqrt(disc) >= 0 || b == 0 || Gcd(Gcd(a, b), c) != 1) {
      a = rng.Range(1, 3);
      b = rng.Range(-9, 9);
      c = rng.Range(-9, 9);
      disc = b * b - 4 * a * c;
    }
  }
  Require(disc > 0, "the discriminant must be positive");
  p.statement.Line(Eq(Quadratic(a, b, c), "0"));
  RecordQuadratic(p, a, b, c, false);
  if (level == 3) {
    Ask(p, {AnswerForm::Kind::kLowestTerms}, "Give a root that is not whole as a fraction in its lowest terms.");
  } else {
    Ask(p, {AnswerForm::Kind::kExact}, "Give the exact roots in surd form.");
  }
  p.solution.Para("Use the quadratic formula with " + Var("a") + " = " + Num(a) + ", " + Var("b") + " = " + Num(b) +
                  ", " + Var("c") + " = " + Num(c) + ".");
  p.solution.Step(Formula(Var("b") + "\u00b2 " + kMinus + " 4" + Var("a") + Var("c") + " = " + NumB(b) + "\u00b2 " +
                          kMinus + " 4" + kCdot + Num(a) + kCdot + NumB(c) + " = " + Num(disc)));
  int64_t root = ExactSqrt(disc);
  if (level == 3) {
    Require(root >= 0, "level 3 needs a square discriminant");
    Rational x1(-b - root, 2 * a), x2(-b + root, 2 * a);
    Formula f(X() + " = ");
    f.Frac(Num(-b) + " " + kPlusMinus + " " + Num(root), Num(2 * a));
    p.solution.Step(f);
    p.solution.Step(Formula(X() + " = ").Frac(Num(-b + root), Num(2 * a)).T(" = ").Q(x2).T("   or   " + X() + " = ")
                        .Frac(Num(-b - root), Num(2 * a)).T(" = ").Q(x1));
    p.answer = {std::min(x1, x2), std::max(x1, x2)};
    p.solution.Answer(Formula(X() + " = ").Q(p.answer[0]).T("  or  " + X() + " = ").Q(p.answer[1]));
    p.check = RootsCheck(a, b, c);
    p.key = Key("3", {a, b, c});
    return p;
  }
  // Level 4: the roots are surds.
  int64_t k, m;
  SplitSquareRoot(disc, k, m);
  int64_t g = Gcd(Gcd(-b, k), 2 * a);
  int64_t pp = -b / g, kk = k / g, r = 2 * a / g;
  Formula formula(X() + " = ");
  formula.Frac(Num(-b) + " " + kPlusMinus + " \u221a<span overline=\"single\">" + std::to_string(disc) + "</span>",
               Num(2 * a));
  p.solution.Step(formula);
  if (k != 1 || g != 1) {
    std::string note = k != 1 ? "Simplify the root: " + Surd(1, disc) + " = " + Surd(k, m) : "";
    if (g != 1) note += std::string(note.empty() ? "Divide" : ", then divide") + " top and bottom by " + Num(g);
    p.solution.Para(note + ".");
  }
  Formula result(X() + " = ");
  std::string top = (pp != 0 ? Num(pp) + " " + kPlusMinus + " " : std::string(kPlusMinus)) + Surd(kk, m);
  if (r == 1) {
    result.T(top);
  } else {
    result.Frac(top, Num(r));
  }
  if (result.Plain() != formula.Plain()) p.solution.Step(result);
  p.solution.Answer(result);
  p.answer = {pp, kk, m, r};
  p.check = SurdCheck(a, b, c);
  p.key = Key("4", {a, b, c});
  return p;
}

// ---- Sequences ----

std::string Terms(const std::vector<Rational>& terms) {
  std::string out;
  for (const Rational& t : terms) {
    out += (out.empty() ? "" : ",  ") + RatText(t);
  }
  return out + ",  \u2026";
}

Problem SequenceProblem(Rng& rng, int level) {
  Problem p;
  int64_t a1 = rng.Range(-15, 30);
  int64_t d = rng.NonZero(-9, 12);
  std::vector<Rational> shown;
  for (int i = 0; i < 4; ++i) shown.push_back(a1 + i * d);
  if (level == 1) {
    p.statement.Para("Here are the first terms of an arithmetic sequence. Write down the next two terms.");
    p.statement.Line(Formula(Terms(shown)));
    p.solution.Para("The difference between neighbouring terms is always " + Num(d) + ":");
    p.solution.Step(Formula(Num(a1 + d) + " " + kMinus + " " + NumB(a1) + " = " + Num(d)));
    int64_t t5 = a1 + 4 * d, t6 = t5 + d;
    p.solution.Step(Formula(Num(a1 + 3 * d) + " + " + NumB(d) + " = " + Num(t5) + ",   " + Num(t5) + " + " + NumB(d) +
                            " = " + Num(t6)));
    p.solution.Answer(Formula(Num(t5) + " and " + Num(t6)));
    p.answer = {t5, t6};
    p.check = [shown](const Answer& v) {
      if (v.size() != 2) return false;
      Rational step = shown[1] - shown[0];
      return v[0] - shown.back() == step && v[1] - v[0] == step;
    };
    p.key = Key("1", {a1, d});
    p.facts = {{"ratio", 0}, {"difference", d}};
    return p;
  }
  if (level == 2) {
    int64_t n = rng.Range(12, 60);
    int64_t an = a1 + (n - 1) * d;
    bool findN = rng.Chance(1, 2);
    p.statement.Para(findN ? "The arithmetic sequence below continues in the same way. Which term of the sequence is " +
                                 Num(an) + "?"
                           : "The arithmetic sequence below continues in the same way. Find its " + Ordinal(n) + " term.");
    p.statement.Line(Formula(Terms(shown)));
    p.solution.Para("First term " + Var("a") + "<sub>1</sub> = " + Num(a1) + ", common difference " + Var("d") + " = " +
                    Num(d) + ". The " + Var("n") + "th term is");
    p.solution.Step(Formula(Var("a") + "<sub>" + Var("n") + "</sub> = " + Var("a") + "<sub>1</sub> + (" + Var("n") +
                            " " + kMinus + " 1)" + Var("d") + " = " + Num(a1) + " + (" + Var("n") + " " + kMinus + " 1)" +
                            kCdot + NumB(d)));
    if (findN) {
      p.solution.Step(Formula(Num(a1) + " + (" + Var("n") + " " + kMinus + " 1)" + kCdot + NumB(d) + " = " + Num(an)));
      p.solution.Step(Formula(Var("n") + " " + kMinus + " 1 = ").Frac(Num(an - a1), Num(d)).T(" = " + Num(n - 1)));
      p.solution.Step(Formula(Var("n") + " = " + Num(n)));
      p.solution.Answer(Formula("it is the " + Ordinal(n) + " term"));
      p.answer = {n};
      p.check = [a1, d, an](const Answer& v) {
        if (v.size() != 1 || !v[0].IsInteger() || v[0] < 1) return false;
        int64_t t = a1;  // walk the sequence term by term
        for (int64_t i = 1; i < v[0].Num(); ++i) t += d;
        return t == an;
      };
      p.key = Key("2n", {a1, d, an});
    } else {
      p.solution.Step(Formula(Var("a") + "<sub>" + std::to_string(n) + "</sub> = " + Num(a1) + " + " +
                              std::to_string(n - 1) + kCdot + NumB(d) + " = " + Num(an)));
      p.solution.Answer(Formula(Var("a") + "<sub>" + std::to_string(n) + "</sub> = " + Num(an)));
      p.answer = {an};
      p.check = [a1, d, n](const Answer& v) {
        int64_t t = a1;
        for (int64_t i = 1; i < n; ++i) t += d;
        return v.size() == 1 && v[0] == t;
      };
      p.key = Key("2t", {a1, d, n});
    }
    p.facts = {{"ratio", 0}, {"difference", d}};
    return p;
  }
  if (level == 3) {
    int64_t n = rng.Range(10, 40);
    int64_t sum = n * (2 * a1 + (n - 1) * d) / 2;
    p.statement.Para("Find the sum of the first " + Num(n) + " terms of the arithmetic sequence");
    p.statement.Line(Formula(Terms(shown)));
    p.solution.Para("Here " + Var("a") + "<sub>1</sub> = " + Num(a1) + " and " + Var("d") + " = " + Num(d) +
                    ". The sum of the first " + Var("n") + " terms is");
    p.solution.Step(Formula(Var("S") + "<sub>" + Var("n") + "</sub> = ")
                        .Frac(Var("n"), "2")
                        .T("(2" + Var("a") + "<sub>1</sub> + (" + Var("n") + " " + kMinus + " 1)" + Var("d") + ")"));
    p.solution.Step(Formula(Var("S") + "<sub>" + std::to_string(n) + "</sub> = ")
                        .Frac(Num(n), "2")
                        .T("(2" + kCdot + NumB(a1) + " + " + std::to_string(n - 1) + kCdot + NumB(d) + ") = ")
                        .Frac(Num(n), "2")
                        .T(kCdot + NumB(2 * a1 + (n - 1) * d) + " = " + Num(sum)));
    p.solution.Answer(Formula(Var("S") + "<sub>" + std::to_string(n) + "</sub> = " + Num(sum)));
    p.answer = {sum};
    p.check = [a1, d, n](const Answer& v) {
      int64_t total = 0;
      for (int64_t i = 0; i < n; ++i) total += a1 + i * d;
      return v.size() == 1 && v[0] == total;
    };
    p.key = Key("3", {a1, d, n});
    p.facts = {{"ratio", 0}, {"difference", d}, {"terms", n}};
    return p;
  }
  // Level 4: geometric sequence, n-th term and sum.
  Rational ratio = rng.Pick<Rational>({2, 3, -2, -3, Rational(1, 2), Rational(-1, 2), Rational(3, 2)});
  int64_t n = ratio.Abs() == 3 ? rng.Range(5, 7) : rng.Range(6, 9);
  int64_t first = rng.NonZero(-5, 6);
  if (ratio.Den() == 2) first *= 1LL << (n - 1);  // keep the shown terms whole
  Rational t = first;
  std::vector<Rational> g;
  for (int i = 0; i < 4; ++i, t *= ratio) g.push_back(t);
  Rational nth = Rational(first) * ratio.Pow(static_cast<int>(n - 1));
  Rational sum = Rational(first) * (ratio.Pow(static_cast<int>(n)) - 1) / (ratio - 1);
  p.statement.Para("For the geometric sequence below, find the " + Ordinal(n) + " term and the sum of the first " +
                   Num(n) + " terms.");
  p.statement.Line(Formula(Terms(g)));
  p.solution.Para("First term " + Var("a") + " = " + Num(first) + ", common ratio " + Var("r") + " = " +
                  RatText(ratio) + ".");
  p.solution.Step(Formula(Var("a") + "<sub>" + std::to_string(n) + "</sub> = " + Var("a") + kCdot + Var("r") + "<sup>" +
                          std::to_string(n - 1) + "</sup> = ")
                      .Q(nth));
  p.solution.Step(Formula(Var("S") + "<sub>" + std::to_string(n) + "</sub> = ")
                      .Frac(Var("a") + "(" + Var("r") + "<sup>" + std::to_string(n) + "</sup> " + kMinus + " 1)",
                            Var("r") + " " + kMinus + " 1")
                      .T(" = ")
                      .Q(sum));
  p.solution.Answer(Formula(Var("a") + "<sub>" + std::to_string(n) + "</sub> = ").Q(nth).T(",   " + Var("S") + "<sub>" +
                                                                                           std::to_string(n) + "</sub> = ").Q(sum));
  p.answer = {nth, sum};
  p.check = [first, ratio, n](const Answer& v) {
    Rational term = first, total = 0;
    for (int64_t i = 1; i <= n; ++i) {
      total += term;
      if (i < n) term *= ratio;
    }
    return v.size() == 2 && v[0] == term && v[1] == total;
  };
  p.key = Key("4", {first, ratio, n});
  p.facts = {{"ratio", ratio}};
  return p;
}

// ---- Linear functions ----

// A value as inline text, a fraction in brackets so that a factor after it stays
// outside it: "3", "(3/4)".
std::string Coefficient(const Rational& r) { return r.IsInteger() ? RatText(r) : "(" + RatText(r) + ")"; }

// The line y = m x + b as inline text, for labels and sentences.
std::string LineEq(const Rational& m, const Rational& b) {
  std::string text = Var("y") + " = ";
  if (m == 1) {
    text += X();
  } else if (m == -1) {
    text += std::string(kMinus) + X();
  } else if (m != 0) {
    text += Coefficient(m) + X();
  }
  if (m == 0) {
    text += RatText(b);
  } else if (b != 0) {
    text += (b.Sign() < 0 ? std::string(" ") + kMinus + " " : " + ") + RatText(b.Abs());
  }
  return text;
}

// m times the value v as written when v is put in for x: "3·2", "(−2)", "−(−2)", "(3/2)·4".
Formula& Times(Formula& f, const Rational& m, int64_t v) {
  if (m == 1) return f.T(NumB(v));
  if (m == -1) return f.T(kMinus + NumB(v));
  return f.Q(m).T(kCdot + NumB(v));
}

std::string PointText(const std::string& name, int64_t x, int64_t y) {
  return name + "(" + Num(x) + ", " + Num(y) + ")";
}

AnswerCheck ThroughPoints(int64_t x1, int64_t y1, int64_t x2, int64_t y2) {
  return [=](const Answer& v) {
    return v.size() == 2 && v[0] * x1 + v[1] == y1 && v[0] * x2 + v[1] == y2;
  };
}

Problem LineProblem(Rng& rng, int level) {
  Problem p;
  if (level == 4) {
    int64_t x = rng.Range(-4, 4), y = rng.Range(-4, 4);
    int64_t m1 = rng.NonZero(-3, 3), m2 = rng.NonZero(-3, 3);
    if (m1 == m2) m2 = -m1;
    int64_t b1 = y - m1 * x, b2 = y - m2 * x;
    if (std::abs(b1) > 7 || std::abs(b2) > 7) {
      x = 1;
      y = 1;
      b1 = y - m1 * x;
      b2 = y - m2 * x;
    }
    const std::string line1 = LineEq(m1, b1), line2 = LineEq(m2, b2);
    p.statement.Para("The graph shows the lines " + line1 + " and " + line2 +
                     ". Find the point where they cross by calculation.");
    p.figure = GraphFigure(-8, 8, {{m1, b1, line1, kAccent}, {m2, b2, line2, kGreen}}, {},
                           "Graph of the lines " + PlainText(line1) + " and " + PlainText(line2) +
                               " on a grid from -8 to 8, crossing at one point.");
    p.figureInSolution = true;
    p.solution.Para("At the crossing point both equations give the same " + Var("y") + ":");
    p.solution.Step(Eq(Linear(m1, "x", b1), Linear(m2, "x", b2)));
    Rational sx;
    SolveCollected(p.solution, m1, b1, m2, b2, sx);
    Rational sy = sx * m1 + b1;
    p.solution.Para("Put " + X() + " = " + Num(x) + " into " + line1 + ":");
    Formula value(Var("y") + " = ");
    if (x != 0) {
      Times(value, m1, x);
      if (b1 != 0) value.T(" " + SignedTerm(b1));
      value.T(" = ");
    }
    p.solution.Step(value.Q(sy));
    Require(sx == x && sy == y, "the crossing point does not come out");
    p.solution.Answer(Formula("the lines cross at (" + Num(x) + ", " + Num(y) + ")"));
    p.answer = {x, y};
    p.check = PairCheck(-m1, 1, b1, -m2, 1, b2);
    p.key = Key("4", {m1, b1, m2, b2});
    p.canon = SortedCanon("lines", {Key("", {m1, b1}), Key("", {m2, b2})});
    p.facts = {{"gradient1", m1}, {"gradient2", m2}};
    return p;
  }
  // Two points with whole coordinates inside the grid: at level 1 on a line with a
  // whole gradient and intercept, to be read off the graph; above it on a line whose
  // gradient is a fraction.
  int64_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  Rational m, b;
  for (bool inside = false; !inside;) {
    int64_t dx = level == 1 ? 1 : rng.Range(2, 4);
    int64_t dy = level == 1 ? rng.NonZero(-3, 3) : rng.NonZero(-5, 5);
    if (level > 1 && dy % dx == 0) continue;
    m = Rational(dy, dx);
    x1 = rng.Range(-5, 1);
    y1 = rng.Range(-4, 4);
    x2 = x1 + dx * rng.Range(1, 2);
    y2 = y1 + (m * (x2 - x1)).Num();
    b = Rational(y1) - m * x1;
    inside = std::abs(y2) <= 7 && x2 <= 7 && (level > 1 || std::abs(b.Num()) <= 7);
  }
  std::string a = PointText("A", x1, y1), bb = PointText("B", x2, y2);
  if (level == 1) {
    p.statement.Para("The graph shows a straight line through the points " + a + " and " + bb +
                     ". Find the gradient and the " + Var("y") + "-intercept of the line.");
    p.figure = GraphFigure(-8, 8, {{m, b, "", kAccent}}, {{x1, y1, "A"}, {x2, y2, "B"}},
                           "Graph of a straight line through " + PlainText(a) + " and " + PlainText(bb) +
                               " on a grid from -8 to 8.");
  } else if (level == 2) {
    p.statement.Para("Find the gradient of the straight line through " + a + " and " + bb + ".");
    Ask(p, {AnswerForm::Kind::kLowestTerms}, "Give the gradient as a fraction in its lowest terms.");
  } else {
    p.statement.Para("Find the equation of the straight line through " + a + " and " + bb + ". Write it in the form " +
                     Var("y") + " = " + Var("m") + X() + " + " + Var("c") + ".");
    Ask(p, {AnswerForm::Kind::kLowestTerms}, "Give " + Var("m") + " and " + Var("c") +
                                                 " as whole numbers or fractions in their lowest terms.");
    p.figure = GraphFigure(-8, 8, {}, {{x1, y1, "A"}, {x2, y2, "B"}},
                           "The points " + PlainText(a) + " and " + PlainText(bb) + " on a grid from -8 to 8.");
  }
  p.facts = {{"gradient", m}, {"intercept", b}};
  p.solution.Para("The gradient is the change in " + Var("y") + " divided by the change in " + X() + ":");
  Formula slope(Var("m") + " = ");
  slope.Frac(Num(y2) + " " + kMinus + " " + NumB(y1), Num(x2) + " " + kMinus + " " + NumB(x1));
  slope.T(" = ");
  FracValue(slope, y2 - y1, x2 - x1);
  p.solution.Step(slope);
  if (level == 2) {
    p.solution.Answer(Formula(Var("m") + " = ").Q(m));
    p.answer = {m};
    p.check = [=](const Answer& v) { return v.size() == 1 && v[0] * (x2 - x1) + y1 == y2; };
    p.key = Key("2", {x1, y1, x2, y2});
    return p;
  }
  p.solution.Para("Put the point A into " + Var("y") + " = " + Var("m") + X() + " + " + Var("c") + " to find " + Var("c") + ":");
  Formula put(Num(y1) + " = ");
  Times(put, m, x1).T(" + " + Var("c"));
  p.solution.Step(put);
  p.solution.Step(Formula(Var("c") + " = ").Q(b));
  p.solution.Answer(level == 1 ? Formula("gradient ").Q(m).T(",  " + Var("y") + "-intercept ").Q(b)
                               : LineFormula(m, b));
  p.answer = {m, b};
  p.check = ThroughPoints(x1, y1, x2, y2);
  p.key = Key(std::to_string(level), {x1, y1, x2, y2});
  return p;
}

}  // namespace

Problem MakeLinearEquations(Rng& rng, int level) {
  switch (level) {
    case 1: return LinearLevel1(rng);
    case 2: return LinearLevel2(rng);
    case 3: return LinearLevel3(rng);
    default: return LinearLevel4(rng);
  }
}

Problem MakeSimultaneous(Rng& rng, int level) { return SimultaneousProblem(rng, level); }
Problem MakeQuadratics(Rng& rng, int level) { return QuadraticProblem(rng, level); }
Problem MakeSequences(Rng& rng, int level) { return SequenceProblem(rng, level); }
Problem MakeLinearFunctions(Rng& rng, int level) { return LineProblem(rng, level); }

}  // namespace qil::disc
