// Helpers shared by the topic files that make problems.
#pragma once

#include <initializer_list>
#include <string>

#include "Figures.h"
#include "MathText.h"
#include "Problem.h"
#include "Rational.h"
#include "Sheet.h"

namespace qil::disc {

// A key from a tag and numbers: Key("L2", {3, 4}) gives "L2:3,4".
inline std::string Key(const std::string& tag, std::initializer_list<Rational> values) {
  std::string out = tag + ":";
  bool first = true;
  for (const Rational& v : values) {
    if (!first) out += ",";
    out += v.ToString();
    first = false;
  }
  return out;
}

// "left = right" as a formula.
inline Formula Eq(const std::string& left, const std::string& right) { return Formula(left + " = " + right); }

// The variable x as markup, used everywhere.
inline std::string X() { return Var("x"); }

// Appends the fraction num/den and, when it simplifies, " = " and its value; a
// denominator of 1 gives the whole number alone.
inline Formula& FracValue(Formula& f, int64_t num, int64_t den) {
  Rational value(num, den);
  if (den == 1) return f.Q(value);
  f.Frac(Num(num), Num(den));
  if (value.Num() != num || value.Den() != den) f.T(" = ").Q(value);
  return f;
}

// The line y = m x + b as a formula, with stacked fractions.
inline Formula LineFormula(const Rational& m, const Rational& b) {
  Formula f(Var("y") + " = ");
  if (m == 1) {
    f.T(X());
  } else if (m == -1) {
    f.T(std::string(kMinus) + X());
  } else if (m != 0) {
    f.Q(m).T(X());
  }
  if (m == 0) {
    f.Q(b);
  } else if (b != 0) {
    f.T(b.Sign() < 0 ? std::string(" ") + kMinus + " " : " + ").Q(b.Abs());
  }
  return f;
}

}  // namespace qil::disc
