// Helpers shared by the topic files that make problems.
#pragma once

#include <algorithm>
#include <initializer_list>
#include <string>
#include <vector>

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
// denominator of 1 gives the whole number alone. A negative fraction is written
// with the minus sign in front: −59/6.
inline Formula& FracValue(Formula& f, int64_t num, int64_t den) {
  if (den < 0) {
    num = -num;
    den = -den;
  }
  Rational value(num, den);
  if (den == 1) return f.Q(value);
  if (num < 0) f.T(kMinus);
  f.Frac(Num(num < 0 ? -num : num), Num(den));
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

// The sentence that asks for an answer form: "Give the answer as a fraction in its lowest terms."
std::string AskSentence(const AnswerForm& form);

// Sets the form the problem's answer takes and appends the sentence that asks for
// it to the statement (the default one, or the given one, which must say the same).
void Ask(Problem& p, AnswerForm form, const std::string& sentence = "");

// Appends " = d" when the value has at most `places` decimals, else " ≈ d" with d
// the value rounded to that many places, all of them written; returns the text of d.
std::string AppendRounded(Formula& f, const Rational& value, int places);

// A number rounded to `places` decimals as text with the true minus sign: "11.31".
std::string Fixed(double value, int places);

// The canonical form of an equation whose sides are lists of coefficients (of
// x², x, 1 or of x, y, 1): both sides scaled together to coprime whole numbers,
// the sign chosen so that the first non-zero is positive, and of the two ways
// round the smaller. Equations that differ by a factor or by the order of
// their sides share it.
std::string EquationCanon(const std::string& tag, const std::vector<Rational>& left,
                          const std::vector<Rational>& right);

// The canonical form of terms that may come in any order: the terms sorted.
std::string SortedCanon(const std::string& tag, std::vector<std::string> terms);

}  // namespace qil::disc
