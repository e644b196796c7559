#include "Kit.h"

#include <cmath>
#include <cstdio>

namespace qil::disc {

namespace {

std::string PlacesWord(int places) {
  static const char* kWords[] = {"no", "one", "two", "three", "four"};
  return places >= 0 && places <= 4 ? kWords[places] : std::to_string(places);
}

// The coefficients scaled to coprime whole numbers with the first non-zero positive.
std::vector<int64_t> Primitive(const std::vector<Rational>& values) {
  int64_t den = 1;
  for (const Rational& v : values) den = Lcm(den, v.Den());
  std::vector<int64_t> whole;
  int64_t g = 0;
  for (const Rational& v : values) {
    whole.push_back((v * den).Num());
    g = Gcd(g, whole.back());
  }
  if (g == 0) return whole;
  int sign = 1;
  for (int64_t w : whole) {
    if (w != 0) {
      sign = w < 0 ? -1 : 1;
      break;
    }
  }
  for (int64_t& w : whole) w = w / g * sign;
  return whole;
}

std::string Joined(const std::vector<int64_t>& values) {
  std::string out;
  for (int64_t v : values) out += (out.empty() ? "" : ",") + std::to_string(v);
  return out;
}

}  // namespace

std::string AskSentence(const AnswerForm& form) {
  switch (form.kind) {
    case AnswerForm::Kind::kAsItComes:
      return "";
    case AnswerForm::Kind::kLowestTerms:
      return "Give the answer as a fraction in its lowest terms.";
    case AnswerForm::Kind::kMixedNumber:
      return "Give the answer as a mixed number in its lowest terms.";
    case AnswerForm::Kind::kExact:
      return "Give the exact value.";
    case AnswerForm::Kind::kRounded:
      return "Give the answer to " + PlacesWord(form.places) + " decimal places.";
    case AnswerForm::Kind::kExactAndRounded:
      return "Give the exact value and the value to " + PlacesWord(form.places) + " decimal places.";
  }
  return "";
}

void Ask(Problem& p, AnswerForm form, const std::string& sentence) {
  p.form = form;
  const std::string text = sentence.empty() ? AskSentence(form) : sentence;
  if (!text.empty()) p.statement.Para(text);
}

std::string AppendRounded(Formula& f, const Rational& value, int places) {
  const bool exact = value.Round(places) == value;
  const std::string shown = exact ? Dec(value) : DecPlaces(value, places);
  f.T(std::string(exact ? " = " : " \u2248 ") + shown);
  return shown;
}

std::string Fixed(double value, int places) {
  char buf[48];
  std::snprintf(buf, sizeof buf, "%.*f", places, value);
  std::string s = buf;
  if (s[0] == '-') s = kMinus + s.substr(1);
  return s;
}

std::string EquationCanon(const std::string& tag, const std::vector<Rational>& left,
                          const std::vector<Rational>& right) {
  std::vector<Rational> one = left, other = right;
  one.insert(one.end(), right.begin(), right.end());
  other.insert(other.end(), left.begin(), left.end());
  return tag + "=" + std::min(Joined(Primitive(one)), Joined(Primitive(other)));
}

std::string SortedCanon(const std::string& tag, std::vector<std::string> terms) {
  std::sort(terms.begin(), terms.end());
  std::string out = tag + ":";
  for (const std::string& t : terms) out += t + ";";
  return out;
}

}  // namespace qil::disc
