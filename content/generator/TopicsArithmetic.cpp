// Arithmetic topics: order of operations, fractions, percentages, divisibility.
#include <algorithm>
#include <memory>

#include "Kit.h"

namespace qil::disc {

namespace {

// ---- Order of operations ----

// An arithmetic expression as a tree; brackets are nodes of their own so that the
// written form shows exactly the brackets of the problem.
struct Node;
using Expr = std::shared_ptr<const Node>;

struct Node {
  enum Op { kNum, kAdd, kSub, kMul, kDiv, kPow, kBracket };
  Op op;
  int64_t value = 0;  // kNum: the number; kPow: the exponent
  Expr left, right;
};

Expr N(int64_t v) { return std::make_shared<Node>(Node{Node::kNum, v, nullptr, nullptr}); }
Expr Bin(Node::Op op, Expr l, Expr r) { return std::make_shared<Node>(Node{op, 0, std::move(l), std::move(r)}); }
Expr Add(Expr l, Expr r) { return Bin(Node::kAdd, std::move(l), std::move(r)); }
Expr Sub(Expr l, Expr r) { return Bin(Node::kSub, std::move(l), std::move(r)); }
Expr Mul(Expr l, Expr r) { return Bin(Node::kMul, std::move(l), std::move(r)); }
Expr Div(Expr l, Expr r) { return Bin(Node::kDiv, std::move(l), std::move(r)); }
Expr Br(Expr e) { return std::make_shared<Node>(Node{Node::kBracket, 0, std::move(e), nullptr}); }
Expr Pow(Expr base, int64_t exponent) {
  return std::make_shared<Node>(Node{Node::kPow, exponent, std::move(base), nullptr});
}

// A division that does not come out whole makes the expression unusable.
struct NotWhole {};

// The value by the usual recursive evaluation.
int64_t Evaluate(const Expr& e) {
  switch (e->op) {
    case Node::kNum: return e->value;
    case Node::kAdd: return Evaluate(e->left) + Evaluate(e->right);
    case Node::kSub: return Evaluate(e->left) - Evaluate(e->right);
    case Node::kMul: return Evaluate(e->left) * Evaluate(e->right);
    case Node::kDiv: {
      int64_t d = Evaluate(e->right);
      int64_t n = Evaluate(e->left);
      if (d == 0 || n % d != 0) throw NotWhole{};
      return n / d;
    }
    case Node::kPow: {
      int64_t b = Evaluate(e->left), r = 1;
      for (int64_t i = 0; i < e->value; ++i) r *= b;
      return r;
    }
    case Node::kBracket: return Evaluate(e->left);
  }
  return 0;
}

int Precedence(const Node& n) {
  switch (n.op) {
    case Node::kAdd:
    case Node::kSub: return 1;
    case Node::kMul:
    case Node::kDiv: return 2;
    case Node::kPow: return 3;
    default: return 4;
  }
}

std::string Show(const Expr& e, bool first = true) {
  switch (e->op) {
    case Node::kNum: return first ? Num(e->value) : NumB(e->value);
    case Node::kBracket: return "(" + Show(e->left, true) + ")";
    case Node::kPow: return Show(e->left, false) + Sup(std::to_string(e->value));
    default: break;
  }
  const char* sign = e->op == Node::kAdd ? " + " : e->op == Node::kSub ? " \u2212 " : e->op == Node::kMul ? " \u00d7 " : " \u00f7 ";
  return Show(e->left, first) + sign + Show(e->right, false);
}

bool IsNumber(const Expr& e) { return e->op == Node::kNum; }

// The priority with which a ready operation (all operands numbers) is worked out:
// deeper brackets first, then powers, then multiplication and division, then the rest.
int Priority(const Node& n, int depth) { return depth * 10 + Precedence(n); }

void FindTop(const Expr& e, int depth, int& best) {
  if (IsNumber(e)) return;
  if (e->op == Node::kBracket) return FindTop(e->left, depth + 1, best);
  bool ready = IsNumber(e->left) && (e->right == nullptr || IsNumber(e->right));
  if (ready) best = std::max(best, Priority(*e, depth));
  FindTop(e->left, depth, best);
  if (e->right) FindTop(e->right, depth, best);
}

// Works out every ready operation of the given priority; brackets around a number go.
Expr Reduce(const Expr& e, int depth, int priority) {
  if (IsNumber(e)) return e;
  if (e->op == Node::kBracket) {
    Expr inner = Reduce(e->left, depth + 1, priority);
    return IsNumber(inner) ? inner : Br(inner);
  }
  bool ready = IsNumber(e->left) && (e->right == nullptr || IsNumber(e->right));
  if (ready && Priority(*e, depth) == priority) {
    return N(Evaluate(e));
  }
  Expr l = Reduce(e->left, depth, priority);
  Expr r = e->right ? Reduce(e->right, depth, priority) : nullptr;
  return std::make_shared<Node>(Node{e->op, e->value, l, r});
}

// The working, one line per round of operations; returns the final number.
int64_t WorkOut(const Expr& e, Sheet& s) {
  Expr current = e;
  while (!IsNumber(current)) {
    int best = -1;
    FindTop(current, 0, best);
    Require(best >= 0, "no operation is ready");
    current = Reduce(current, 0, best);
    s.Step(Formula("= " + Show(current)));
  }
  return current->value;
}

// How often each feature that sets the levels apart occurs in an expression.
struct Features {
  int brackets = 0, powers = 0, divisions = 0, negatives = 0;
};

void Tally(const Expr& e, Features& f) {
  if (e == nullptr) return;
  f.brackets += e->op == Node::kBracket;
  f.powers += e->op == Node::kPow;
  f.divisions += e->op == Node::kDiv;
  f.negatives += e->op == Node::kNum && e->value < 0;
  Tally(e->left, f);
  Tally(e->right, f);
}

// The expression with the two sides of every sum and product in a fixed order.
std::string Canon(const Expr& e) {
  switch (e->op) {
    case Node::kNum: return std::to_string(e->value);
    case Node::kBracket: return "(" + Canon(e->left) + ")";
    case Node::kPow: return Canon(e->left) + "^" + std::to_string(e->value);
    case Node::kAdd:
    case Node::kMul: {
      std::string l = Canon(e->left), r = Canon(e->right);
      if (r < l) std::swap(l, r);
      return std::string(e->op == Node::kAdd ? "+" : "*") + "[" + l + "," + r + "]";
    }
    default: return std::string(e->op == Node::kSub ? "-" : "/") + "[" + Canon(e->left) + "," + Canon(e->right) + "]";
  }
}

int64_t R(Rng& rng, int64_t lo, int64_t hi) { return rng.Range(lo, hi); }

Expr Level1(Rng& rng) {
  switch (rng.Range(0, 3)) {
    case 0: return Add(N(R(rng, 2, 30)), Mul(N(R(rng, 2, 12)), N(R(rng, 2, 12))));
    case 1: return Sub(Mul(N(R(rng, 3, 12)), N(R(rng, 3, 12))), N(R(rng, 1, 9)));
    case 2: return Add(Mul(N(R(rng, 2, 9)), N(R(rng, 2, 9))), Mul(N(R(rng, 2, 9)), N(R(rng, 2, 9))));
    default: {
      int64_t b = R(rng, 2, 9), c = R(rng, 2, 9);
      return Sub(N(b * c + R(rng, 1, 40)), Mul(N(b), N(c)));
    }
  }
}

Expr Level2(Rng& rng) {
  switch (rng.Range(0, 4)) {
    case 0: return Mul(Br(Add(N(R(rng, 2, 15)), N(R(rng, 2, 15)))), N(R(rng, 2, 9)));
    case 1: return Sub(Mul(N(R(rng, 2, 9)), Br(Sub(N(R(rng, 10, 20)), N(R(rng, 1, 9))))), N(R(rng, 1, 20)));
    case 2: return Mul(Br(Add(N(R(rng, 2, 9)), N(R(rng, 2, 9)))), Br(Sub(N(R(rng, 10, 19)), N(R(rng, 2, 9)))));
    case 3: {
      int64_t q = R(rng, 2, 9), d1 = R(rng, 1, 8), d2 = R(rng, 1, 8);
      return Add(Div(N(q * (d1 + d2)), Br(Add(N(d1), N(d2)))), N(R(rng, 1, 20)));
    }
    default: return Add(N(R(rng, 1, 30)), Mul(Br(Sub(N(R(rng, 10, 25)), N(R(rng, 1, 9)))), N(R(rng, 2, 6))));
  }
}

Expr Level3(Rng& rng) {
  switch (rng.Range(0, 3)) {
    case 0: {  // a + k × (c − d) ÷ e with c − d a multiple of e
      int64_t e = R(rng, 2, 6), k = R(rng, 2, 8), m = R(rng, 1, 6), d = R(rng, 1, 12);
      return Add(N(R(rng, 1, 30)), Div(Mul(N(k), Br(Sub(N(d + e * m), N(d)))), N(e)));
    }
    case 1: {
      int64_t e = R(rng, 2, 9), q = R(rng, 2, 9);
      return Sub(Mul(Br(Sub(N(R(rng, 12, 25)), N(R(rng, 2, 9)))), N(R(rng, 2, 5))), Div(N(e * q), N(e)));
    }
    case 2: {
      int64_t e = R(rng, 2, 6), q = R(rng, 2, 8);
      int64_t c = R(rng, 1, e * q - 1);
      return Sub(Mul(N(R(rng, 3, 12)), N(R(rng, 2, 9))), Div(Br(Add(N(c), N(e * q - c))), N(e)));
    }
    default: {
      int64_t d = R(rng, 2, 6);
      return Mul(Br(Add(Mul(N(R(rng, 2, 6)), N(d)), N(R(rng, 1, 9)))), Br(Sub(N(R(rng, 8, 14)), Div(N(d * R(rng, 1, 3)), N(d)))));
    }
  }
}

Expr Level4(Rng& rng) {
  switch (rng.Range(0, 3)) {
    case 0: return Sub(Pow(N(-R(rng, 2, 6)), 2), Mul(N(R(rng, 2, 9)), Br(Sub(N(R(rng, 1, 9)), N(R(rng, 5, 15))))));
    case 1: return Add(Mul(N(-R(rng, 2, 9)), Br(Sub(N(R(rng, 1, 8)), N(R(rng, 9, 16))))), Pow(N(R(rng, 2, 5)), 2));
    case 2: {
      int64_t d = R(rng, 2, 5);
      return Sub(Div(N(-d * R(rng, 2, 12)), N(d)), Mul(Pow(N(R(rng, 2, 3)), 3), N(R(rng, 1, 4))));
    }
    default:
      return Mul(Br(Sub(Pow(N(R(rng, 2, 4)), 2), N(R(rng, 17, 30)))), Br(Add(N(-R(rng, 2, 9)), N(R(rng, 1, 6)))));
  }
}

Problem OrderProblem(Rng& rng, int level) {
  for (;;) {
    Expr e = level == 1 ? Level1(rng) : level == 2 ? Level2(rng) : level == 3 ? Level3(rng) : Level4(rng);
    int64_t value;
    try {
      value = Evaluate(e);
    } catch (const NotWhole&) {
      continue;
    }
    if (level < 4 && value < 0) continue;
    Problem p;
    p.statement.Para("Work out the value of the expression. Show each step.");
    p.statement.Line(Formula(Show(e)));
    p.solution.Para(level == 1 ? "Multiplication comes before addition and subtraction."
                               : "Work out brackets first, then powers, then multiplication and division "
                                 "from left to right, and addition and subtraction last.",
                    Style::kNote);
    p.solution.Step(Formula(Show(e)));
    int64_t worked = WorkOut(e, p.solution);
    Require(worked == value, "the step-by-step working disagrees with the value");
    p.solution.Answer(Formula(Num(value)));
    p.answer = {value};
    p.check = [e](const Answer& a) { return a.size() == 1 && a[0] == Evaluate(e); };
    p.key = PlainText(Show(e));
    p.canon = Canon(e);
    Features features;
    Tally(e, features);
    p.facts = {{"brackets", features.brackets}, {"powers", features.powers}, {"divisions", features.divisions},
               {"negatives", features.negatives}};
    return p;
  }
}

// ---- Fractions ----

Formula& Mixed(Formula& f, const Rational& r) {
  if (r.IsInteger() || r.Abs() < 1) return f.Q(r);
  int64_t whole = r.Abs().Num() / r.Den();
  if (r.Sign() < 0) f.T(kMinus);
  return f.T(std::to_string(whole)).Frac(std::to_string(r.Abs().Num() % r.Den()), std::to_string(r.Den()));
}

Rational RandomProper(Rng& rng, int64_t maxDen) {
  int64_t d = rng.Range(2, maxDen);
  return Rational(rng.Range(1, d - 1), d);
}

// The sum or difference a/b ± c/d by cross-multiplication, without a common denominator.
Rational Cross(const Rational& x, const Rational& y, bool add) {
  int64_t n = x.Num() * y.Den() + (add ? 1 : -1) * y.Num() * x.Den();
  return Rational(n, x.Den() * y.Den());
}

Problem FractionProblem(Rng& rng, int level) {
  Problem p;
  Rational x, y;
  Rational result;
  bool add = rng.Chance(1, 2);
  const char* op = add ? " + " : " \u2212 ";
  if (level <= 2) {
    if (level == 1) {
      int64_t n = rng.Range(3, 15);
      x = Rational(rng.Range(1, n - 1), n);
      y = Rational(rng.Range(1, n - 1), n);
      while (x.Den() != n || y.Den() != n || x == y) {
        x = Rational(rng.Range(1, n - 1), n);
        y = Rational(rng.Range(1, n - 1), n);
      }
    } else {
      x = RandomProper(rng, 12);
      y = RandomProper(rng, 12);
      while (x.Den() == y.Den() || x == y) y = RandomProper(rng, 12);
    }
    if (!add && x < y) std::swap(x, y);
    p.statement.Para(std::string("Work out the ") + (add ? "sum" : "difference") + ".");
    p.statement.Line(Formula().Q(x).T(op).Q(y));
    Ask(p, {AnswerForm::Kind::kLowestTerms});
    int64_t l = Lcm(x.Den(), y.Den());
    int64_t nx = x.Num() * (l / x.Den()), ny = y.Num() * (l / y.Den());
    int64_t n = add ? nx + ny : nx - ny;
    Formula step;
    if (x.Den() != y.Den()) {
      p.solution.Para("The lowest common denominator of " + Num(x.Den()) + " and " + Num(y.Den()) + " is " + Num(l) + ".");
      step.Q(x).T(op).Q(y).T(" = ").Frac(Num(nx), Num(l)).T(op).Frac(Num(ny), Num(l)).T(" = ");
    } else {
      p.solution.Para("The denominators are equal, so " + std::string(add ? "add" : "subtract") + " the numerators.");
      step.Q(x).T(op).Q(y).T(" = ");
    }
    step.Frac(Num(nx) + (add ? " + " : " \u2212 ") + Num(ny), Num(l)).T(" = ");
    FracValue(step, n, l);
    p.solution.Step(step);
    result = Rational(n, l);
  } else if (level == 3) {
    x = RandomProper(rng, 10);
    y = RandomProper(rng, 10);
    bool multiply = rng.Chance(1, 2);
    p.statement.Para("Work out the " + std::string(multiply ? "product" : "quotient") + ".");
    p.statement.Line(Formula().Q(x).T(multiply ? " \u00d7 " : " \u00f7 ").Q(y));
    Ask(p, {AnswerForm::Kind::kLowestTerms});
    Rational factor = y;
    if (!multiply) {
      factor = Rational(y.Den(), y.Num());
      p.solution.Para("Dividing by a fraction is multiplying by its reciprocal.");
    } else {
      p.solution.Para("Multiply the numerators and multiply the denominators.");
    }
    Formula step;
    if (!multiply) step.Q(x).T(" \u00f7 ").Q(y).T(" = ");
    step.Q(x).T(" \u00d7 ").Frac(Num(factor.Num()), Num(factor.Den())).T(" = ");
    step.Frac(Num(x.Num()) + " \u00d7 " + Num(factor.Num()), Num(x.Den()) + " \u00d7 " + Num(factor.Den())).T(" = ");
    FracValue(step, x.Num() * factor.Num(), x.Den() * factor.Den());
    p.solution.Step(step);
    result = Rational(x.Num() * factor.Num(), x.Den() * factor.Den());
    p.check = [x, y, multiply](const Answer& a) {
      // Back-substitution: the quotient times the divisor gives the dividend back, and the
      // product divided by one factor gives the other.
      if (a.size() != 1 || a[0] == 0) return false;
      return multiply ? a[0] / y == x : a[0] * y == x;
    };
    p.key = Key(multiply ? "3m" : "3d", {x, y});
    p.canon = multiply ? SortedCanon("*", {x.ToString(), y.ToString()}) : "/" + x.ToString() + "," + y.ToString();
    p.facts["operation"] = multiply ? 3 : 4;
  } else {
    // Mixed numbers.
    x = Rational(rng.Range(1, 4)) + RandomProper(rng, 9);
    y = Rational(rng.Range(1, 3)) + RandomProper(rng, 9);
    while (y == x) y = Rational(rng.Range(1, 3)) + RandomProper(rng, 9);
    if (!add && x < y) std::swap(x, y);
    p.statement.Para(std::string("Work out the ") + (add ? "sum" : "difference") + ".");
    Formula statement;
    Mixed(statement, x).T(op);
    Mixed(statement, y);
    p.statement.Line(statement);
    Ask(p, {AnswerForm::Kind::kMixedNumber});
    p.solution.Para("Write both mixed numbers as improper fractions:");
    Formula improper;
    Mixed(improper, x).T(op);
    Mixed(improper, y).T(" = ").Frac(Num(x.Num()), Num(x.Den())).T(op).Frac(Num(y.Num()), Num(y.Den()));
    p.solution.Step(improper);
    int64_t l = Lcm(x.Den(), y.Den());
    int64_t nx = x.Num() * (l / x.Den()), ny = y.Num() * (l / y.Den());
    int64_t n = add ? nx + ny : nx - ny;
    Formula step(" = ");
    step.Frac(Num(nx), Num(l)).T(op).Frac(Num(ny), Num(l)).T(" = ");
    FracValue(step, n, l);
    result = Rational(n, l);
    if (!result.IsInteger() && result.Abs() > 1) Mixed(step.T(" = "), result);
    p.solution.Step(step);
  }
  if (level != 3) {
    Require(result == (add ? x + y : x - y), "the working disagrees with exact arithmetic");
    p.check = [x, y, add](const Answer& a) { return a.size() == 1 && a[0] == Cross(x, y, add); };
    p.key = Key(std::to_string(level) + (add ? "+" : "-"), {x, y});
    p.canon = add ? SortedCanon("+", {x.ToString(), y.ToString()}) : "-" + x.ToString() + "," + y.ToString();
    p.facts["operation"] = add ? 1 : 2;
  }
  p.facts["denominator1"] = x.Den();
  p.facts["denominator2"] = y.Den();
  p.facts["mixed"] = level == 4 ? 1 : 0;
  Formula answer;
  if (level == 4) {
    Mixed(answer, result);
  } else {
    answer.Q(result);
  }
  p.solution.Answer(answer);
  p.answer = {result};
  return p;
}

// ---- Percentages ----

Problem PercentProblem(Rng& rng, int level) {
  Problem p;
  static const std::vector<int64_t> kRates = {5, 10, 12, 15, 20, 25, 30, 35, 40, 45, 60, 75};
  if (level == 1) {
    int64_t rate = rng.Pick(kRates);
    while (rate % 5 != 0) rate = rng.Pick(kRates);  // a multiple of 5% of a multiple of 20 is whole
    int64_t base = rng.Range(2, 60) * 20;
    Rational value = Rational(rate * base, 100);
    p.statement.Para("Find " + Num(rate) + "% of " + Num(base) + ".");
    p.solution.Para(Num(rate) + "% means " + Num(rate) + " hundredths:");
    p.solution.Step(Formula().Frac(Num(rate), "100").T(" \u00d7 " + Num(base) + " = ").Frac(Num(rate * base), "100").T(" = " + Dec(value)));
    p.solution.Answer(Formula(Dec(value)));
    p.answer = {value};
    p.check = [rate, base](const Answer& a) {
      // 1% first, then the rate: the unitary method.
      return a.size() == 1 && a[0] == Rational(base, 100) * rate;
    };
    p.key = Key("1", {rate, base});
    p.facts = {{"change", 0}, {"reverse", 0}, {"years", 0}};
    return p;
  }
  if (level == 2) {
    int64_t rate = rng.Pick(kRates);
    int64_t price = rng.Range(4, 90) * 5;
    bool rise = rng.Chance(1, 3);
    Rational multiplier = Rational(100 + (rise ? rate : -rate), 100);
    Rational result = multiplier * price;
    std::string item = rng.Pick<std::string>({"A jacket", "A bicycle", "A pair of trainers", "A tablet", "A tent"});
    p.statement.Para(item + " costs " + Money(price) + ". Its price is " + (rise ? "raised" : "reduced") + " by " +
                     Num(rate) + "%. What is the new price?");
    p.solution.Para(std::string("The new price is ") + Num(100 + (rise ? rate : -rate)) + "% of the old one, so multiply by " +
                    Dec(multiplier) + ":");
    p.solution.Step(Formula(Money(price) + " \u00d7 " + Dec(multiplier) + " = " + Money(result)));
    p.solution.Answer(Formula(Money(result)));
    p.answer = {result};
    p.check = [=](const Answer& a) {
      // The change on its own, then added or taken off.
      Rational change = Rational(price * rate, 100);
      return a.size() == 1 && a[0] == (rise ? price + change : price - change);
    };
    p.key = Key(rise ? "2r" : "2f", {rate, price});
    p.facts = {{"change", 1}, {"reverse", 0}, {"years", 0}};
    return p;
  }
  if (level == 3) {
    int64_t rate = rng.Pick(kRates);
    int64_t original = rng.Range(2, 40) * 20;
    Rational sale = Rational(original * (100 - rate), 100);
    p.statement.Para("In a sale every price is reduced by " + Num(rate) + "%. A lamp costs " + Money(sale) +
                     " in the sale. What was its price before the sale?");
    p.solution.Para("The sale price is " + Num(100 - rate) + "% of the original price " + Var("P") + ":");
    p.solution.Step(Formula(Dec(Rational(100 - rate, 100)) + kCdot + Var("P") + " = " + Money(sale)));
    p.solution.Step(Formula(Var("P") + " = ").Frac(Money(sale), Dec(Rational(100 - rate, 100))).T(" = " + Money(original)));
    p.solution.Answer(Formula(Money(original)));
    p.answer = {original};
    p.check = [rate, sale](const Answer& a) {
      return a.size() == 1 && a[0] - a[0] * Rational(rate, 100) == sale;  // take the discount off again
    };
    p.key = Key("3", {rate, original});
    p.facts = {{"change", 1}, {"reverse", 1}, {"years", 0}};
    return p;
  }
  int64_t rate = rng.Pick<int64_t>({2, 3, 4, 5, 6, 8});
  int64_t years = rng.Range(2, 4);
  int64_t principal = rng.Range(5, 60) * 100;
  Rational growth = Rational(100 + rate, 100);
  Rational exact = growth.Pow(static_cast<int>(years)) * principal;
  Rational rounded = exact.Round(2);
  p.statement.Para("You invest " + Money(principal) + " at " + Num(rate) + "% compound interest per year. How much is the "
                   "investment worth after " + Count(years, "year") + "?");
  Ask(p, {AnswerForm::Kind::kRounded, 2}, "Give the amount to the nearest cent.");
  p.solution.Para("Each year the value is multiplied by " + Dec(growth) + ":");
  p.solution.Step(Formula(Money(principal) + " \u00d7 " + Dec(growth) + Sup(std::to_string(years)) + " = " + Dec(exact)));
  p.solution.Para("Rounded to the nearest cent:");
  p.solution.Step(Formula(std::string(rounded == exact ? "= " : "\u2248 ") + Money(rounded)));
  p.solution.Answer(Formula(Money(rounded)));
  p.answer = {rounded};
  p.check = [=](const Answer& a) {
    Rational value = principal;  // add the interest one year at a time
    for (int64_t y = 0; y < years; ++y) value += value * Rational(rate, 100);
    return a.size() == 1 && a[0] == value.Round(2);
  };
  p.key = Key("4", {rate, years, principal});
  p.facts = {{"change", 1}, {"reverse", 0}, {"years", years}};
  return p;
}

// ---- Divisibility ----

// "2³ × 3 × 5" from a factorisation.
std::string FactorText(const std::vector<std::pair<int64_t, int>>& f) {
  std::string out;
  for (auto [prime, e] : f) {
    if (!out.empty()) out += " \u00d7 ";
    out += std::to_string(prime);
    if (e > 1) out += Sup(std::to_string(e));
  }
  return out;
}

int64_t Composite(Rng& rng, int64_t lo, int64_t hi) {
  static const std::vector<int64_t> kPrimes = {2, 2, 2, 3, 3, 5, 7, 11, 13};
  for (;;) {
    int64_t n = 1;
    while (n < lo) n *= rng.Pick(kPrimes);
    if (n <= hi && !IsPrime(n)) return n;
  }
}

// Accepts a prime factorisation written as prime, exponent, prime, exponent, ...
AnswerCheck FactorisationCheck(int64_t n) {
  return [n](const Answer& a) {
    if (a.empty() || a.size() % 2 != 0) return false;
    int64_t product = 1, last = 1;
    for (size_t i = 0; i < a.size(); i += 2) {
      if (!a[i].IsInteger() || !a[i + 1].IsInteger() || a[i + 1] < 1) return false;
      int64_t prime = a[i].Num();
      if (!IsPrime(prime) || prime <= last) return false;
      for (int64_t e = 0; e < a[i + 1].Num(); ++e) product *= prime;
      last = prime;
    }
    return product == n;
  };
}

// Whether g is the greatest common divisor of a and b: it divides both and leaves quotients
// without a common factor (found by trial, not by Euclid's algorithm).
bool IsGcd(int64_t a, int64_t b, const Rational& value) {
  if (!value.IsInteger() || value < 1) return false;
  int64_t g = value.Num();
  if (a % g != 0 || b % g != 0) return false;
  for (int64_t d = 2; d <= a / g && d <= b / g; ++d) {
    if ((a / g) % d == 0 && (b / g) % d == 0) return false;
  }
  return true;
}

// Whether l is the least common multiple: a common multiple from which no prime can be taken away.
bool IsLcm(const std::vector<int64_t>& numbers, const Rational& value) {
  if (!value.IsInteger() || value < 1) return false;
  int64_t l = value.Num();
  auto common = [&numbers](int64_t m) {
    for (int64_t n : numbers) {
      if (m % n != 0) return false;
    }
    return true;
  };
  if (!common(l)) return false;
  for (int64_t d = 2; d <= l; ++d) {
    if (IsPrime(d) && l % d == 0 && common(l / d)) return false;
  }
  return true;
}

void ShowFactorisations(Sheet& s, const std::vector<int64_t>& numbers) {
  s.Para("Write each number as a product of primes:");
  for (int64_t n : numbers) s.Step(Formula(Num(n) + " = " + FactorText(Factorize(n))));
}

// The gcd or lcm from the factorisations: lowest or highest powers of the primes.
int64_t FromPowers(const std::vector<int64_t>& numbers, bool highest, std::vector<std::pair<int64_t, int>>& used) {
  std::vector<int64_t> primes;
  for (int64_t n : numbers) {
    for (auto [prime, e] : Factorize(n)) {
      if (std::find(primes.begin(), primes.end(), prime) == primes.end()) primes.push_back(prime);
    }
  }
  std::sort(primes.begin(), primes.end());
  int64_t result = 1;
  used.clear();
  for (int64_t prime : primes) {
    int best = highest ? 0 : 64;
    for (int64_t n : numbers) {
      int e = 0;
      for (int64_t m = n; m % prime == 0; m /= prime) ++e;
      best = highest ? std::max(best, e) : std::min(best, e);
    }
    if (best == 0) continue;
    used.emplace_back(prime, best);
    for (int i = 0; i < best; ++i) result *= prime;
  }
  return result;
}

Problem DivisibilityProblem(Rng& rng, int level) {
  Problem p;
  if (level == 1) {
    int64_t n = Composite(rng, 40, 2000);
    p.statement.Para("Write " + Num(n) + " as a product of prime factors. Use powers where a prime repeats.");
    p.solution.Para("Divide by the smallest prime that goes in, again and again:");
    int64_t m = n;
    for (int64_t d = 2; m > 1;) {
      if (m % d == 0) {
        p.solution.Step(Formula(Num(m) + " \u00f7 " + Num(d) + " = " + Num(m / d)));
        m /= d;
      } else {
        ++d;
      }
    }
    auto f = Factorize(n);
    p.solution.Answer(Formula(Num(n) + " = " + FactorText(f)));
    for (auto [prime, e] : f) {
      p.answer.push_back(prime);
      p.answer.push_back(e);
    }
    p.check = FactorisationCheck(n);
    p.key = Key("1", {n});
    p.facts = {{"numbers", 1}, {"dividing", 0}, {"story", 0}};
    return p;
  }
  if (level == 2 || level == 3) {
    bool gcd = level == 2;
    std::vector<int64_t> numbers;
    int64_t common = rng.Pick<int64_t>({2, 3, 4, 5, 6, 8, 9, 10, 12, 14, 15, 18});
    int count = !gcd && rng.Chance(1, 3) ? 3 : 2;
    // No number divides another: else the answer is one of them.
    while (static_cast<int>(numbers.size()) < count) {
      int64_t n = gcd ? common * rng.Range(2, 15) : Composite(rng, 6, 60);
      const bool divides = std::any_of(numbers.begin(), numbers.end(), [n](int64_t m) { return n % m == 0 || m % n == 0; });
      if (!divides) numbers.push_back(n);
    }
    std::sort(numbers.begin(), numbers.end());
    std::string list;
    for (size_t i = 0; i < numbers.size(); ++i) {
      list += (i == 0 ? "" : (i + 1 == numbers.size() ? " and " : ", ")) + Num(numbers[i]);
    }
    p.statement.Para(std::string("Find the ") + (gcd ? "greatest common divisor" : "least common multiple") + " of " +
                     list + ".");
    ShowFactorisations(p.solution, numbers);
    std::vector<std::pair<int64_t, int>> used;
    int64_t result = FromPowers(numbers, !gcd, used);
    p.solution.Para(gcd ? "Take each prime that appears in both, with its lower power:"
                        : "Take every prime that appears, with its highest power:");
    p.solution.Step(Formula((gcd ? "gcd = " : "lcm = ") + (used.empty() ? std::string("1") : FactorText(used)) + " = " +
                            Num(result)));
    p.solution.Answer(Formula(Num(result)));
    p.answer = {result};
    p.check = [gcd, numbers](const Answer& a) {
      return a.size() == 1 && (gcd ? IsGcd(numbers[0], numbers[1], a[0]) : IsLcm(numbers, a[0]));
    };
    p.key = Key(gcd ? "2" : "3", {numbers[0], numbers[1], numbers.size() > 2 ? numbers[2] : 0});
    p.facts = {{"numbers", static_cast<int64_t>(numbers.size())}, {"dividing", 0}, {"story", 0}};
    return p;
  }
  // Level 4: stories.
  std::vector<std::pair<int64_t, int>> used;
  if (rng.Chance(1, 2)) {
    int64_t a = rng.Range(4, 30), b = rng.Range(4, 30);
    while (a == b || a % b == 0 || b % a == 0) b = rng.Range(4, 30);
    if (a > b) std::swap(a, b);
    int64_t l = FromPowers({a, b}, true, used);
    p.statement.Para("Two lighthouses flash together at midnight. One flashes every " + Num(a) +
                     " seconds, the other every " + Num(b) + " seconds. After how many seconds do they next "
                     "flash together, and how many times has the first one flashed by then?");
    ShowFactorisations(p.solution, {a, b});
    p.solution.Para("They flash together again after the least common multiple of the two periods:");
    p.solution.Step(Formula("lcm = " + FactorText(used) + " = " + Num(l)));
    p.solution.Step(Formula(Num(l) + " \u00f7 " + Num(a) + " = " + Count(l / a, "flash") + " of the first lighthouse"));
    p.solution.Answer(Formula("after " + Count(l, "second") + "; " + Count(l / a, "flash")));
    p.answer = {l, l / a};
    p.check = [a, b](const Answer& v) { return v.size() == 2 && IsLcm({a, b}, v[0]) && v[1] * a == v[0]; };
    p.key = Key("4l", {a, b});
  } else {
    int64_t g = rng.Range(2, 12) * rng.Pick<int64_t>({1, 5});
    int64_t w = g * rng.Range(2, 9), h = g * rng.Range(2, 9);
    while (w == h) h += g;
    int64_t side = FromPowers({w, h}, false, used);
    int64_t tiles = (w / side) * (h / side);
    p.statement.Para("A floor measuring " + Num(w) + " cm by " + Num(h) + " cm is to be covered with square tiles, all "
                     "of the same size, without cutting any. What is the largest possible side of a tile, and how many "
                     "such tiles are needed?");
    ShowFactorisations(p.solution, {w, h});
    p.solution.Para("The side must divide both lengths; the largest such number is the greatest common divisor:");
    p.solution.Step(Formula("gcd = " + FactorText(used) + " = " + Num(side) + " cm"));
    p.solution.Step(Formula("tiles: " + Num(w / side) + " \u00d7 " + Num(h / side) + " = " + Num(tiles)));
    p.solution.Answer(Formula("side " + Num(side) + " cm; " + Count(tiles, "tile")));
    p.answer = {side, tiles};
    p.check = [w, h](const Answer& v) { return v.size() == 2 && IsGcd(w, h, v[0]) && v[1] * v[0] * v[0] == w * h; };
    p.key = Key("4g", {w, h});
  }
  p.facts = {{"numbers", 2}, {"dividing", 0}, {"story", 1}};
  return p;
}

}  // namespace

Problem MakeOrderOfOperations(Rng& rng, int level) { return OrderProblem(rng, level); }
Problem MakeFractions(Rng& rng, int level) { return FractionProblem(rng, level); }
Problem MakePercentages(Rng& rng, int level) { return PercentProblem(rng, level); }
Problem MakeDivisibility(Rng& rng, int level) { return DivisibilityProblem(rng, level); }

}  // namespace qil::disc
