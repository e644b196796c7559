#include "Sheet.h"

#include "MathText.h"

namespace qil::disc {

namespace {

// A part of a fraction, bracketed when it is more than one number or name.
std::string Operand(const std::string& markup) {
  std::string text = PlainText(markup);
  if (text.find_first_of(" +-*/^") == std::string::npos) return text;
  return "(" + text + ")";
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
  for (const Piece& p : pieces_) {
    switch (p.kind) {
      case Piece::Kind::kText: out += PlainText(p.top); break;
      case Piece::Kind::kFraction:
        // A whole number right before a fraction is a mixed number: keep them apart.
        if (!out.empty() && out.back() >= '0' && out.back() <= '9') out += " ";
        out += Operand(p.top) + "/" + Operand(p.bottom);
        break;
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
