#include "Sheet.h"

#include <cctype>

#include "MathText.h"

namespace qil::disc {

namespace {

// A part of a fraction, bracketed unless it is a single whole number or a single
// name: 3/(4x), (n + 1)/2, (-5)/6, but 3/4 and x/2.
std::string Operand(const std::string& markup) {
  std::string text = PlainText(markup);
  const bool number = !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
  const bool name = !text.empty() && text.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ") == std::string::npos;
  return number || name ? text : "(" + text + ")";
}

// Whether text that follows a fraction would read as part of it: a name, a
// bracket, or a multiplication or division, as in 3/4x or 3/10 / 2/5.
bool JoinsAfter(const std::string& next) {
  const size_t at = next.find_first_not_of(' ');
  if (at == std::string::npos) return false;
  const char c = next[at];
  return (at == 0 && (std::isalpha(static_cast<unsigned char>(c)) || c == '(')) || c == '*' || c == '/';
}

// Whether text before a fraction would read as part of it: a multiplication or division.
bool JoinsBefore(const std::string& before) {
  const size_t at = before.find_last_not_of(' ');
  return at != std::string::npos && (before[at] == '*' || before[at] == '/');
}

}  // namespace

Formula& Formula::T(std::string markup) {
  pieces_.push_back({Piece::Kind::kText, std::move(markup), {}});
  return *this;
}

Formula& Formula::Frac(std::string numerator, std::string denominator) {
  pieces_.push_back({Piece::Kind::kFraction, std::move(numerator), std::move(denominator)});
  return *this;
}

Formula& Formula::Root(std::string radicand) {
  pieces_.push_back({Piece::Kind::kRoot, std::move(radicand), {}});
  return *this;
}

Formula& Formula::Q(const Rational& value) {
  if (value.IsInteger()) return T(Num(value.Num()));
  if (value.Sign() < 0) T(kMinus);
  return Frac(std::to_string(value.Abs().Num()), std::to_string(value.Den()));
}

Formula& Formula::QB(const Rational& value) {
  if (value.Sign() >= 0) return Q(value);
  if (value.IsInteger()) return T(NumB(value.Num()));
  T("(");
  Q(value);
  return T(")");
}

Formula& Formula::Append(const Formula& other) {
  pieces_.insert(pieces_.end(), other.pieces_.begin(), other.pieces_.end());
  return *this;
}

std::string Formula::Plain() const {
  std::string out;
  for (size_t i = 0; i < pieces_.size(); ++i) {
    const Piece& p = pieces_[i];
    switch (p.kind) {
      case Piece::Kind::kText: out += PlainText(p.top); break;
      case Piece::Kind::kFraction: {
        // A whole number right before a fraction is a mixed number: keep them apart.
        if (!out.empty() && out.back() >= '0' && out.back() <= '9') out += " ";
        std::string fraction = Operand(p.top) + "/" + Operand(p.bottom);
        // A factor or a divisor next to the fraction takes all of it: (3/4)x, not 3/4x;
        // (3/10) / (2/5), not 3/10 / 2/5.
        const bool joined = JoinsBefore(out) ||
                            (i + 1 < pieces_.size() &&
                             (pieces_[i + 1].kind != Piece::Kind::kText || JoinsAfter(PlainText(pieces_[i + 1].top))));
        out += joined ? "(" + fraction + ")" : fraction;
        break;
      }
      case Piece::Kind::kRoot: out += "sqrt(" + PlainText(p.top) + ")"; break;
    }
  }
  return out;
}

Sheet& Sheet::Para(std::string markup, Style style) {
  Block b;
  b.kind = Block::Kind::kParagraph;
  b.markup = std::move(markup);
  b.style = style;
  blocks_.push_back(std::move(b));
  return *this;
}

Sheet& Sheet::Line(Formula formula, Align align, Style style) {
  Block b;
  b.kind = Block::Kind::kFormula;
  b.formula = std::move(formula);
  b.align = align;
  b.style = style;
  blocks_.push_back(std::move(b));
  return *this;
}

Sheet& Sheet::Gap(int pixels) {
  Block b;
  b.kind = Block::Kind::kGap;
  b.gap = pixels;
  blocks_.push_back(std::move(b));
  return *this;
}

Sheet& Sheet::Answer(Formula formula) {
  Formula line("Answer: ");
  line.Append(formula);
  return Line(std::move(line), Align::kLeft, Style::kAnswer);
}

Sheet& Sheet::Append(const Sheet& other) {
  blocks_.insert(blocks_.end(), other.blocks_.begin(), other.blocks_.end());
  return *this;
}

std::string Sheet::Plain() const {
  std::string out;
  for (const Block& b : blocks_) {
    std::string text;
    if (b.kind == Block::Kind::kParagraph) text = PlainText(b.markup);
    if (b.kind == Block::Kind::kFormula) text = b.formula.Plain();
    if (text.empty()) continue;
    if (!out.empty()) out += " ";
    out += text;
  }
  return out;
}

}  // namespace qil::disc
