// Building blocks for the text of problem pictures.
//
// Texts are Pango markup in UTF-8: numbers use the true minus sign, variables
// are set in italics, and every piece of plain text passes through Esc before
// it enters markup. PlainText turns such markup back into ASCII, for the alt
// texts of the pages. Pure functions, safe from any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Rational.h"

namespace qil::disc {

inline const std::string kMinus = "\u2212";
inline const std::string kTimes = "\u00d7";
inline const std::string kDivide = "\u00f7";
inline const std::string kCdot = "\u00b7";
inline const std::string kPi = "\u03c0";
inline const std::string kDegree = "\u00b0";
inline const std::string kPlusMinus = "\u00b1";
inline const std::string kArrow = "\u21d2";

// Plain text made safe for markup ("<", ">" and "&" escaped).
std::string Esc(std::string_view text);
// A whole number with the true minus sign: -5 gives "−5".
std::string Num(int64_t n);
// A whole number in brackets when negative: -5 gives "(−5)", 5 gives "5".
std::string NumB(int64_t n);
// A value as inline text: "3", "−1/2".
std::string RatText(const Rational& r);
// A terminating decimal value with the true minus sign.
std::string Dec(const Rational& r);
// A value with exactly `places` decimals, rounded half away from zero: "4.10".
std::string DecPlaces(const Rational& r, int places);
// A variable name in italics.
std::string Var(std::string_view name);
// Superscript, for powers: Sup("2").
std::string Sup(std::string_view markup);
// Bold markup.
std::string Bold(std::string_view markup);
// An amount of money with two decimals, "$12.50".
std::string Money(const Rational& r);
// "+ 5" or "− 5": the sign of n and its size, for writing a sum term by term.
std::string SignedTerm(int64_t n);
// A sum of terms c·v and a constant: Combo({{3, "x"}, {-1, "y"}}, 5) gives
// "3x − y + 5". Terms with coefficient 0 are left out, coefficient 1 is not
// written, names are markup ("<i>x</i>²"); an empty sum is "0".
std::string Combo(const std::vector<std::pair<int64_t, std::string>>& terms, int64_t constant);
// The linear expression a·v + b in the variable v: "3x − 5", "−x", "7".
std::string Linear(int64_t a, std::string_view var, int64_t b);
// An ordinal word for small numbers: 1 gives "1st", 22 gives "22nd".
std::string Ordinal(int64_t n);
// A count with its noun in agreement: Count(1, "blue ball") gives "1 blue ball",
// Count(3, "blue ball") "3 blue balls". The plural is the singular with "s"
// ("es" after s, x, z, ch and sh) unless it is given.
std::string Count(int64_t n, std::string_view singular, std::string_view plural = {});
// The word that agrees with a count: Agree(1, "is", "are") gives "is", any other count "are".
std::string Agree(int64_t n, std::string_view one, std::string_view many);

// The ASCII rendering of markup: tags dropped (superscripts become "^"),
// entities decoded, typographic characters written out ("×" as "*", "π" as
// "pi", "√" as "sqrt"; a root over a radicand written with an overline as
// "sqrt(radicand)"). Characters without an ASCII form are dropped.
std::string PlainText(std::string_view markup);
// Text made safe for an HTML attribute or element body.
std::string HtmlEscape(std::string_view text);

}  // namespace qil::disc
