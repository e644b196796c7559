#include "Rules.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <optional>
#include <set>
#include <tuple>

#include "MathText.h"

namespace qil::disc {

namespace {

using Kind = AnswerForm::Kind;

bool Digit(std::string_view s, size_t i) { return i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])); }
bool Alnum(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; }

// ---- reading the sheets ----

// The answer line: the last block in the answer style.
const Block* AnswerBlock(const Sheet& s) {
  const Block* found = nullptr;
  for (const Block& b : s.Blocks()) {
    if (b.kind == Block::Kind::kFormula && b.style == Style::kAnswer) found = &b;
  }
  return found;
}

std::string BlockPlain(const Block& b) {
  if (b.kind == Block::Kind::kParagraph) return PlainText(b.markup);
  if (b.kind == Block::Kind::kFormula) return b.formula.Plain();
  return "";
}

// The plain text of the solution before its answer line.
std::string WorkingPlain(const Sheet& s) {
  std::string out;
  const Block* answer = AnswerBlock(s);
  for (const Block& b : s.Blocks()) {
    if (&b == answer) break;
    out += BlockPlain(b) + "\n";
  }
  return out;
}

std::string AnswerPlain(const Sheet& s) {
  const Block* answer = AnswerBlock(s);
  return answer == nullptr ? "" : answer->formula.Plain();
}

// The value of a number token; nullopt for a mixed number.
std::optional<Rational> TokenValue(const std::string& token) {
  if (token.find(' ') != std::string::npos) return std::nullopt;
  const bool negative = token[0] == '-';
  const std::string t = negative ? token.substr(1) : token;
  Rational value;
  if (const size_t slash = t.find('/'); slash != std::string::npos) {
    value = Rational(std::stoll(t.substr(0, slash)), std::stoll(t.substr(slash + 1)));
  } else if (const size_t dot = t.find('.'); dot != std::string::npos) {
    int64_t scale = 1;
    for (size_t i = dot + 1; i < t.size(); ++i) scale *= 10;
    value = Rational(std::stoll(t.substr(0, dot)) * scale + std::stoll(t.substr(dot + 1)), scale);
  } else {
    value = Rational(std::stoll(t));
  }
  return negative ? -value : value;
}

bool IsFraction(const std::string& token) {
  return token.find('/') != std::string::npos && token.find(' ') == std::string::npos;
}
bool IsMixed(const std::string& token) { return token.find(' ') != std::string::npos; }
int Decimals(const std::string& token) {
  const size_t dot = token.find('.');
  return dot == std::string::npos ? 0 : static_cast<int>(token.size() - dot - 1);
}

// Whether plain text names pi as a word of its own or a factor ("6pi").
bool HasPi(std::string_view s) {
  for (size_t at = s.find("pi"); at != std::string_view::npos; at = s.find("pi", at + 1)) {
    const bool before = at > 0 && std::isalpha(static_cast<unsigned char>(s[at - 1]));
    const bool after = at + 2 < s.size() && std::isalpha(static_cast<unsigned char>(s[at + 2]));
    if (!before && !after) return true;
  }
  return false;
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// ---- rules for every problem ----

std::string CountWording(const Problem& p) {
  for (const Sheet* s : {&p.statement, &p.solution}) {
    for (const Block& b : s->Blocks()) {
      if (std::string fault = CountWordingFault(BlockPlain(b)); !fault.empty()) return fault;
    }
  }
  return "";
}

std::string RepeatedLine(const Problem& p) {
  const Block* previous = nullptr;
  for (const Block& b : p.solution.Blocks()) {
    if (b.kind != Block::Kind::kFormula) continue;
    if (previous != nullptr && previous->formula.Plain() == b.formula.Plain()) return "\"" + b.formula.Plain() + "\"";
    previous = &b;
  }
  return "";
}

// "1*x", "-1*0": a coefficient 1 written out, in front of a name or as minus one
// (a 1 put in for a value, as in 4*1*(-9) for 4ac with a = 1, is no coefficient).
std::string UnitFactor(const Problem& p) {
  for (const Sheet* s : {&p.statement, &p.solution}) {
    for (const Block& b : s->Blocks()) {
      const std::string t = BlockPlain(b);
      for (size_t i = 0; i + 1 < t.size(); ++i) {
        if (t[i] != '1' || t[i + 1] != '*') continue;
        const char before = i == 0 ? ' ' : t[i - 1];
        if (Alnum(before) || std::string_view("./)^*").find(before) != std::string_view::npos) continue;
        const bool minusOne = before == '-' && (i < 2 || !Alnum(t[i - 2]));
        const bool name = i + 2 < t.size() && std::isalpha(static_cast<unsigned char>(t[i + 2]));
        if (minusOne || name) return "\"" + t + "\"";
      }
    }
  }
  return "";
}

std::string FormAsked(const Problem& p) {
  const std::string s = Lower(p.statement.Plain());
  const auto has = [&s](std::initializer_list<const char*> words) {
    return std::any_of(words.begin(), words.end(), [&s](const char* w) { return s.find(w) != std::string::npos; });
  };
  const bool exact = has({"exact", "in terms of pi", "surd"});
  const bool rounded = has({"decimal place", "nearest"});
  switch (p.form.kind) {
    case Kind::kAsItComes:
      return "";
    case Kind::kLowestTerms:
      return has({"lowest terms"}) ? "" : "no \"lowest terms\" in the question";
    case Kind::kMixedNumber:
      return has({"mixed number"}) ? "" : "no \"mixed number\" in the question";
    case Kind::kExact:
      return exact ? "" : "the question does not ask for an exact value";
    case Kind::kRounded:
      return rounded ? "" : "the question does not say how to round";
    case Kind::kExactAndRounded:
      return exact && rounded ? "" : "the question does not ask for both forms";
  }
  return "";
}

std::string AnswerShowsForm(const Problem& p) {
  const std::string answer = AnswerPlain(p.solution);
  if (answer.empty()) return "the solution has no answer line";
  const std::vector<std::string> tokens = NumberTokens(answer);
  const bool approx = answer.find('~') != std::string::npos;
  const bool surd = answer.find("sqrt") != std::string::npos;
  const bool pi = HasPi(answer);
  bool fraction = false, mixed = false, improper = false;
  for (const std::string& t : tokens) {
    if (IsMixed(t)) mixed = true;
    if (!IsFraction(t)) continue;
    fraction = true;
    const size_t slash = t.find('/');
    const int64_t n = std::llabs(std::stoll(t.substr(0, slash))), d = std::stoll(t.substr(slash + 1));
    if (Gcd(n, d) != 1) return "the fraction " + t + " is not in its lowest terms";
    if (n >= d) improper = true;
  }
  const std::string shown = " in \"" + answer + "\"";
  switch (p.form.kind) {
    case Kind::kAsItComes:
      if (fraction || mixed || surd || pi || approx) return "a form the question does not ask for" + shown;
      return "";
    case Kind::kLowestTerms:
      if (mixed || surd || pi || approx) return "not a fraction in lowest terms" + shown;
      return "";
    case Kind::kMixedNumber:
      if (improper || surd || pi || approx) return "not a mixed number" + shown;
      return "";
    case Kind::kExact:
      if (approx) return "a rounded value where the exact one is asked" + shown;
      return "";
    case Kind::kRounded:
    case Kind::kExactAndRounded: {
      if (p.form.kind == Kind::kRounded && (fraction || mixed || surd || pi))
        return "an exact form where a rounded value is asked" + shown;
      if (p.form.kind == Kind::kExactAndRounded && !approx) return "no rounded value" + shown;
      for (const std::string& t : tokens) {
        if (Decimals(t) > p.form.places) return t + " has more decimals than asked" + shown;
      }
      const size_t at = answer.find('~');
      if (at != std::string::npos) {
        const std::vector<std::string> after = NumberTokens(answer.substr(at));
        if (after.empty() || Decimals(after[0]) != p.form.places)
          return "the rounded value has not the places asked" + shown;
      }
      return "";
    }
  }
  return "";
}

std::string AnswerReached(const Problem& p) {
  const auto bare = [](std::string t) { return t[0] == '-' ? t.substr(1) : t; };
  std::set<std::string> working;
  for (const std::string& t : NumberTokens(WorkingPlain(p.solution))) working.insert(bare(t));
  for (const std::string& t : NumberTokens(AnswerPlain(p.solution))) {
    if (!working.contains(bare(t))) return t + " of the answer is not in the working";
  }
  return "";
}

// "145/25 ~ 5.8": a value marked approximate that is exact.
std::string ExactAsApproximate(const Problem& p) {
  for (const Block& b : p.solution.Blocks()) {
    const std::string t = BlockPlain(b);
    for (size_t at = t.find(" ~ "); at != std::string::npos; at = t.find(" ~ ", at + 1)) {
      const std::vector<std::string> before = NumberTokens(t.substr(0, at)), after = NumberTokens(t.substr(at + 3));
      if (before.empty() || after.empty()) continue;
      // Only a number that ends right before the sign is compared.
      const std::string& last = before.back();
      if (t.compare(at - last.size(), last.size(), last) != 0) continue;
      const auto a = TokenValue(last), b = TokenValue(after.front());
      if (a && b && *a == *b) return "\"" + t + "\"";
    }
  }
  return "";
}

std::string RectangleSides(const Problem& p) {
  const auto length = p.facts.find("length"), width = p.facts.find("width");
  if (length == p.facts.end() || width == p.facts.end()) return "";
  return length->second >= width->second
             ? ""
             : "length " + length->second.ToString() + ", width " + width->second.ToString();
}

std::string DataInRange(const Problem& p) {
  const auto lowest = p.facts.find("lowest"), highest = p.facts.find("highest");
  const auto lo = p.facts.find("rangeLow"), hi = p.facts.find("rangeHigh");
  if (lowest == p.facts.end() || highest == p.facts.end() || lo == p.facts.end() || hi == p.facts.end()) return "";
  if (lowest->second >= lo->second && highest->second <= hi->second) return "";
  return "values from " + lowest->second.ToString() + " to " + highest->second.ToString() + " where " +
         lo->second.ToString() + " to " + hi->second.ToString() + " make sense";
}

std::string RatePeriod(const Problem& p) {
  static const char* kCountedOverTime[] = {"hours of sunshine", "goals scored", "books read"};
  static const char* kPeriods[] = {"each",    "per",    "every",     "a day",    "a week",
                                   "a month", "a year", "last year", "this year"};
  const std::string s = Lower(p.statement.Plain());
  for (const char* what : kCountedOverTime) {
    for (size_t at = s.find(what); at != std::string::npos; at = s.find(what, at + 1)) {
      const std::string sentence = s.substr(at, s.find('.', at) - at);
      const bool named = std::any_of(std::begin(kPeriods), std::end(kPeriods),
                                     [&sentence](const char* w) { return sentence.find(w) != std::string::npos; });
      if (!named) return "\"" + sentence + "\" names no period";
    }
  }
  return "";
}

// ---- level rules ----

Rational Fact(const Problem& p, const std::string& name) {
  const auto it = p.facts.find(name);
  if (it == p.facts.end()) throw RuleBroken("the problem does not record its fact \"" + name + "\"");
  return it->second;
}

bool WholeAnswer(const Problem& p) {
  return std::all_of(p.answer.begin(), p.answer.end(), [](const Rational& r) { return r.IsInteger(); });
}

// A level rule: the condition, or the problem's facts when it fails.
Rule Level(std::string topic, int level, std::string text, std::function<bool(const Problem&)> holds) {
  return {std::move(topic), level, std::move(text), [holds](const Problem& p) {
            if (holds(p)) return std::string();
            std::string facts;
            for (const auto& [name, value] : p.facts)
              facts += (facts.empty() ? "" : ", ") + name + " " + value.ToString();
            return "facts: " + facts;
          }};
}

std::vector<Rule> LevelRules() {
  const auto f = [](const Problem& p, const char* name) { return Fact(p, name); };
  const auto quadratic = [f](const Problem& p) {
    return std::make_tuple(f(p, "a").Num(), f(p, "b").Num(), f(p, "c").Num());
  };
  const auto discriminant = [quadratic](const Problem& p) {
    auto [a, b, c] = quadratic(p);
    return b * b - 4 * a * c;
  };
  const auto primitive = [quadratic](const Problem& p) {
    auto [a, b, c] = quadratic(p);
    return Gcd(Gcd(a, b), c) == 1;
  };
  return {
      Level("A01", 1, "no brackets and no powers",
            [f](auto& p) { return f(p, "brackets") == 0 && f(p, "powers") == 0; }),
      Level("A01", 2, "brackets, no powers and no negative numbers",
            [f](auto& p) { return f(p, "brackets") > 0 && f(p, "powers") == 0 && f(p, "negatives") == 0; }),
      Level("A01", 3, "brackets and a division, no powers",
            [f](auto& p) { return f(p, "brackets") > 0 && f(p, "divisions") > 0 && f(p, "powers") == 0; }),
      Level("A01", 4, "a power and a negative number",
            [f](auto& p) { return f(p, "powers") > 0 && f(p, "negatives") > 0; }),
      Level("A02", 1, "a sum or difference of fractions with equal denominators",
            [f](auto& p) {
              return f(p, "operation") <= 2 && f(p, "mixed") == 0 && f(p, "denominator1") == f(p, "denominator2");
            }),
      Level("A02", 2, "a sum or difference of fractions with different denominators",
            [f](auto& p) {
              return f(p, "operation") <= 2 && f(p, "mixed") == 0 && f(p, "denominator1") != f(p, "denominator2");
            }),
      Level("A02", 3, "a product or quotient of fractions",
            [f](auto& p) { return f(p, "operation") >= 3 && f(p, "mixed") == 0; }),
      Level("A02", 4, "mixed numbers", [f](auto& p) { return f(p, "mixed") == 1; }),
      Level("A03", 1, "a percentage of an amount, with a whole answer",
            [f](auto& p) { return f(p, "change") == 0 && f(p, "reverse") == 0 && WholeAnswer(p); }),
      Level("A03", 2, "one percentage change",
            [f](auto& p) { return f(p, "change") == 1 && f(p, "reverse") == 0 && f(p, "years") == 0; }),
      Level("A03", 3, "a reverse percentage", [f](auto& p) { return f(p, "reverse") == 1; }),
      Level("A03", 4, "compound growth over at least two years", [f](auto& p) { return f(p, "years") >= 2; }),
      Level("A04", 1, "the prime factors of one number", [f](auto& p) { return f(p, "numbers") == 1; }),
      Level("A04", 2, "a greatest common divisor of numbers none of which divides another",
            [f](auto& p) { return f(p, "numbers") >= 2 && f(p, "dividing") == 0; }),
      Level("A04", 3, "a least common multiple of numbers none of which divides another",
            [f](auto& p) { return f(p, "numbers") >= 2 && f(p, "dividing") == 0; }),
      Level("A04", 4, "a story", [f](auto& p) { return f(p, "story") == 1; }),
      Level("B01", 1, "one operation on x, a whole answer",
            [f](auto& p) {
              return f(p, "grouped") == 0 && f(p, "c") == 0 && (f(p, "a") == 1 || f(p, "b") == 0) && WholeAnswer(p);
            }),
      Level("B01", 2, "two operations on x, a whole answer",
            [f](auto& p) {
              return f(p, "grouped") == 0 && f(p, "c") == 0 && f(p, "a").Abs() != 1 && f(p, "b") != 0 && WholeAnswer(p);
            }),
      Level("B01", 3, "x on both sides, a whole answer",
            [f](auto& p) { return f(p, "grouped") == 0 && f(p, "c") != 0 && WholeAnswer(p); }),
      Level("B01", 4, "brackets or fractions", [f](auto& p) { return f(p, "grouped") == 1; }),
      Level("B02", 0, "whole solutions", [](auto& p) { return WholeAnswer(p); }),
      Level("B02", 1, "adding the equations eliminates y",
            [f](auto& p) { return f(p, "story") == 0 && f(p, "b1") == -f(p, "b2") && f(p, "a1") != -f(p, "a2"); }),
      Level("B02", 2, "one equation gives y in terms of x", [f](auto& p) { return f(p, "solvedForY") == 1; }),
      Level("B02", 3, "no unknown has coefficients of equal size, so an equation must be scaled",
            [f](auto& p) {
              return f(p, "story") == 0 && f(p, "solvedForY") == 0 && f(p, "a1").Abs() != f(p, "a2").Abs() &&
                     f(p, "b1").Abs() != f(p, "b2").Abs();
            }),
      Level("B02", 4, "a story", [f](auto& p) { return f(p, "story") == 1; }),
      Level("B03", 1, "no x term to factorise: a square equals a number, with whole roots",
            [f, quadratic](auto& p) {
              return (std::get<1>(quadratic(p)) == 0 || f(p, "squareForm") == 1) && WholeAnswer(p);
            }),
      Level("B03", 2, "x² + bx + c with b not 0, factorised by inspection, whole roots",
            [f, quadratic, discriminant](auto& p) {
              auto [a, b, c] = quadratic(p);
              return a == 1 && b != 0 && f(p, "squareForm") == 0 && ExactSqrt(discriminant(p)) >= 0;
            }),
      Level("B03", 3, "ax² + bx + c with a > 1, b not 0 and no common factor, a root that is not whole",
            [quadratic, discriminant, primitive](auto& p) {
              auto [a, b, c] = quadratic(p);
              return a > 1 && b != 0 && primitive(p) && ExactSqrt(discriminant(p)) >= 0 && !WholeAnswer(p);
            }),
      Level("B03", 4, "b not 0, no common factor, roots that are surds",
            [quadratic, discriminant, primitive](auto& p) {
              const int64_t d = discriminant(p);
              return std::get<1>(quadratic(p)) != 0 && primitive(p) && d > 0 && ExactSqrt(d) < 0;
            }),
      Level("B04", 1, "an arithmetic sequence", [f](auto& p) { return f(p, "ratio") == 0 && f(p, "difference") != 0; }),
      Level("B04", 2, "an arithmetic sequence", [f](auto& p) { return f(p, "ratio") == 0 && f(p, "difference") != 0; }),
      Level("B04", 3, "an arithmetic sequence summed over at least 10 terms",
            [f](auto& p) { return f(p, "ratio") == 0 && f(p, "difference") != 0 && f(p, "terms") >= 10; }),
      Level("B04", 4, "a geometric sequence with a ratio other than 1 and -1",
            [f](auto& p) { return f(p, "ratio").Abs() != 1 && f(p, "ratio") != 0; }),
      Level("B05", 1, "a whole gradient and a whole intercept, read from the graph",
            [f](auto& p) { return f(p, "gradient").IsInteger() && f(p, "intercept").IsInteger(); }),
      Level("B05", 2, "a gradient that is a fraction", [f](auto& p) { return !f(p, "gradient").IsInteger(); }),
      Level("B05", 3, "a gradient that is a fraction", [f](auto& p) { return !f(p, "gradient").IsInteger(); }),
      Level("B05", 4, "two lines with different whole gradients that cross at a grid point",
            [f](auto& p) {
              return f(p, "gradient1") != f(p, "gradient2") && f(p, "gradient1").IsInteger() &&
                     f(p, "gradient2").IsInteger() && WholeAnswer(p);
            }),
      Level("G01", 1, "two angles given, all three different",
            [f](auto& p) {
              return f(p, "exterior") == 0 && f(p, "expressions") == 0 && f(p, "angleA") != f(p, "angleB") &&
                     f(p, "angleB") != f(p, "angleC") && f(p, "angleA") != f(p, "angleC");
            }),
      Level("G01", 2, "an isosceles triangle", [f](auto& p) { return f(p, "angleA") == f(p, "angleB"); }),
      Level("G01", 3, "an exterior angle", [f](auto& p) { return f(p, "exterior") == 1; }),
      Level("G01", 4, "angles given as expressions in x", [f](auto& p) { return f(p, "expressions") == 1; }),
      Level("G02", 1, "the hypotenuse, a whole length",
            [f](auto& p) { return f(p, "hypotenuseAsked") == 1 && ExactSqrt(f(p, "square").Num()) >= 0; }),
      Level("G02", 2, "a shorter side, a whole length",
            [f](auto& p) { return f(p, "hypotenuseAsked") == 0 && ExactSqrt(f(p, "square").Num()) >= 0; }),
      Level("G02", 3, "a length that is a surd", [f](auto& p) { return ExactSqrt(f(p, "square").Num()) < 0; }),
      Level("G02", 4, "a story", [f](auto& p) { return f(p, "story") == 1; }),
      Level("G03", 1, "a rectangle", [f](auto& p) { return f(p, "corners") == 4 && f(p, "length") > f(p, "width"); }),
      Level("G03", 2, "a triangle or a parallelogram from base and height",
            [f](auto& p) { return f(p, "height") > 0; }),
      Level("G03", 3, "a trapezium with parallel sides of different lengths",
            [f](auto& p) { return f(p, "corners") == 4 && f(p, "parallel1") != f(p, "parallel2"); }),
      Level("G03", 4, "a compound shape of two rectangles", [f](auto& p) { return f(p, "corners") == 6; }),
      Level("G04", 1, "the circumference from the radius or diameter",
            [f](auto& p) { return f(p, "given") == 1 && f(p, "area") == 0; }),
      Level("G04", 2, "the area from the radius or diameter",
            [f](auto& p) { return f(p, "given") == 1 && f(p, "area") == 1; }),
      Level("G04", 3, "the radius from the area or circumference", [f](auto& p) { return f(p, "given") == 2; }),
      Level("G04", 4, "a sector", [f](auto& p) { return f(p, "sector") > 0 && f(p, "sector") < 360; }),
      Level("P01", 1, "the mean of a list, a whole number", [f](auto& p) { return f(p, "mean").IsInteger(); }),
      Level("P01", 2, "the median of at least six values", [f](auto& p) { return f(p, "values") >= 6; }),
      Level("P01", 3, "averages read from a bar chart", [](auto& p) { return p.figure.has_value(); }),
      Level("P01", 4, "a missing value from the mean", [f](auto& p) { return f(p, "missing") > 0; }),
      Level("P02", 0, "a probability strictly between 0 and 1",
            [](auto& p) { return p.answer.size() == 1 && p.answer[0] > 0 && p.answer[0] < 1; }),
      Level("P02", 1, "one draw from a bag", [f](auto& p) { return f(p, "draws") == 1; }),
      Level("P02", 2, "a spinner", [f](auto& p) { return f(p, "sectors") >= 2; }),
      Level("P02", 3, "two dice: 36 outcomes", [f](auto& p) { return f(p, "outcomes") == 36; }),
      Level("P02", 4, "two draws without replacement", [f](auto& p) { return f(p, "draws") == 2; }),
      Level("P03", 1, "the multiplication principle", [f](auto& p) { return f(p, "stages") >= 2; }),
      Level("P03", 2, "all of n in a row", [f](auto& p) { return f(p, "ordered") == 1 && f(p, "k") == f(p, "n"); }),
      Level("P03", 3, "an ordered choice of some",
            [f](auto& p) { return f(p, "ordered") == 1 && f(p, "k") < f(p, "n"); }),
      Level("P03", 4, "an unordered choice", [f](auto& p) { return f(p, "ordered") == 0; }),
  };
}

}  // namespace

std::string CountWordingFault(std::string_view plain) {
  // The words, each without the punctuation at its end; `stops` marks the words that end a clause.
  std::vector<std::string> words;
  std::vector<bool> stops;
  for (size_t i = 0; i < plain.size();) {
    while (i < plain.size() && plain[i] == ' ') ++i;
    size_t end = plain.find(' ', i);
    if (end == std::string_view::npos) end = plain.size();
    std::string w(plain.substr(i, end - i));
    bool stop = false;
    while (!w.empty() && std::string_view(",.;:?!)").find(w.back()) != std::string_view::npos) {
      w.pop_back();
      stop = true;
    }
    if (!w.empty() || stop) {
      words.push_back(Lower(w));
      stops.push_back(stop);
    }
    i = end;
  }
  static const std::set<std::string> kPlural = {"are", "were", "have"};
  static const std::set<std::string> kNotPlural = {"is",    "was",   "has",   "its",  "this", "as",
                                                   "us",    "plus",  "minus", "less", "does", "gives",
                                                   "lands", "shows", "holds", "takes"};
  const auto pluralNoun = [](const std::string& w) {
    return w.size() > 2 && w.back() == 's' && !w.ends_with("ss") && !w.ends_with("us") && !kNotPlural.contains(w);
  };
  for (size_t i = 0; i + 1 < words.size(); ++i) {
    if (words[i] != "1" || stops[i]) continue;
    const std::string phrase = "1 " + words[i + 1];
    if (kPlural.contains(words[i + 1]) || pluralNoun(words[i + 1])) return "\"" + phrase + "\"";
    if (words[i + 1] == "of") {  // "1 of them are": the verb of the clause
      for (size_t j = i + 2; j < words.size() && j < i + 8; ++j) {
        if (kPlural.contains(words[j])) return "\"1 of ... " + words[j] + "\"";
        if (stops[j]) break;
      }
    } else if (!stops[i + 1] && i + 2 < words.size() && pluralNoun(words[i + 2])) {
      return "\"" + phrase + " " + words[i + 2] + "\"";  // "1 blue balls"
    }
  }
  return "";
}

std::vector<std::string> NumberTokens(std::string_view s) {
  std::vector<std::string> out;
  for (size_t i = 0; i < s.size();) {
    if (!Digit(s, i)) {
      ++i;
      continue;
    }
    const char before = i > 0 ? s[i - 1] : ' ';
    if (Alnum(before) || before == '^' || before == '_' || before == '.') {  // part of a name or a power
      while (Digit(s, i)) ++i;
      continue;
    }
    const bool negative = before == '-' && (i < 2 || !(Alnum(s[i - 2]) || s[i - 2] == ')'));
    const bool plusMinus = negative && i >= 3 && s.substr(i - 3, 2) == "+/";
    const size_t start = i;
    while (Digit(s, i)) ++i;
    if (i + 1 < s.size() && (s[i] == '.' || s[i] == '/') && Digit(s, i + 1)) {
      ++i;
      while (Digit(s, i)) ++i;
    } else if (i + 1 < s.size() && s[i] == ' ' && Digit(s, i + 1)) {  // a mixed number "1 6/11"
      size_t j = i + 1;
      while (Digit(s, j)) ++j;
      if (j + 1 < s.size() && s[j] == '/' && Digit(s, j + 1)) {
        i = j + 1;
        while (Digit(s, i)) ++i;
      }
    }
    const std::string token(s.substr(start, i - start));
    if (plusMinus) out.push_back(token);
    out.push_back(negative ? "-" + token : token);
  }
  return out;
}

const std::vector<Rule>& Rules() {
  static const std::vector<Rule> kRules = [] {
    std::vector<Rule> rules = {
        {"", 0, "a count of one is worded as one", CountWording},
        {"", 0, "no working line twice in a row", RepeatedLine},
        {"", 0, "no factor 1 written out", UnitFactor},
        {"", 0, "the question asks for the form of its answer", FormAsked},
        {"", 0, "the answer shows the form asked, fractions in lowest terms", AnswerShowsForm},
        {"", 0, "the working reaches every number of the answer", AnswerReached},
        {"", 0, "no exact value marked approximate", ExactAsApproximate},
        {"", 0, "a rectangle's length is at least its width", RectangleSides},
        {"", 0, "a quantity counted over time names its period", RatePeriod},
        {"", 0, "data lie in the range their setting allows", DataInRange},
    };
    for (Rule& r : LevelRules()) rules.push_back(std::move(r));
    return rules;
  }();
  return kRules;
}

void CheckRules(const std::string& topic, int level, const Problem& p) {
  for (const Rule& rule : Rules()) {
    if ((!rule.topic.empty() && rule.topic != topic) || (rule.level != 0 && rule.level != level)) continue;
    std::string fault;
    try {
      fault = rule.fault(p);
    } catch (const RuleBroken& e) {
      fault = e.what();
    }
    if (!fault.empty()) {
      const std::string where =
          rule.topic.empty()
              ? ""
              : (rule.level == 0 ? rule.topic + ": " : rule.topic + " level " + std::to_string(rule.level) + ": ");
      throw RuleBroken("broken rule \"" + where + rule.text + "\" (" + fault + ")");
    }
  }
}

}  // namespace qil::disc
