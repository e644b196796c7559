// The content of one text picture: paragraphs and formula lines, top to bottom.
//
// A Sheet only describes what to draw; Renderer turns it into pixels. Texts
// are Pango markup (see MathText.h). Formula lines are built from pieces:
// text, stacked fractions and square roots. Paragraphs wrap at the picture's
// width; formula lines never wrap. Plain values, safe to copy.
#pragma once

#include <string>
#include <vector>

#include "Rational.h"

namespace qil::disc {

struct Piece {
  enum class Kind { kText, kFraction, kRoot };
  Kind kind = Kind::kText;
  std::string top;     // the text, the numerator or the radicand
  std::string bottom;  // the denominator
};

class Formula {
 public:
  Formula() = default;
  explicit Formula(std::string markup) { T(std::move(markup)); }

  Formula& T(std::string markup);
  Formula& Frac(std::string numerator, std::string denominator);
  Formula& Root(std::string radicand);
  // A value: whole numbers as text, others as a fraction with the minus sign in front.
  Formula& Q(const Rational& value);
  // Like Q, but a negative value is put in brackets.
  Formula& QB(const Rational& value);
  Formula& Append(const Formula& other);

  const std::vector<Piece>& Pieces() const { return pieces_; }
  bool Empty() const { return pieces_.empty(); }
  // ASCII text of the line: fractions as a/b, roots as sqrt(r).
  std::string Plain() const;

 private:
  std::vector<Piece> pieces_;
};

enum class Align { kLeft, kIndent, kCenter };
enum class Style { kNormal, kAnswer, kNote };

struct Block {
  enum class Kind { kParagraph, kFormula, kGap };
  Kind kind = Kind::kParagraph;
  std::string markup;  // paragraph text
  Formula formula;
  Align align = Align::kLeft;
  Style style = Style::kNormal;
  int gap = 0;  // pixels, for kGap
};

class Sheet {
 public:
  Sheet& Para(std::string markup, Style style = Style::kNormal);
  Sheet& Line(Formula formula, Align align = Align::kCenter, Style style = Style::kNormal);
  // A working step of a solution: an indented formula line.
  Sheet& Step(Formula formula) { return Line(std::move(formula), Align::kIndent); }
  Sheet& Gap(int pixels);
  // The final answer: "Answer: " followed by the formula, emphasised.
  Sheet& Answer(Formula formula);
  // Appends every block of another sheet.
  Sheet& Append(const Sheet& other);

  const std::vector<Block>& Blocks() const { return blocks_; }
  bool Empty() const { return blocks_.empty(); }
  // ASCII text of the whole sheet, blocks separated by blanks.
  std::string Plain() const;

 private:
  std::vector<Block> blocks_;
};

}  // namespace qil::disc
