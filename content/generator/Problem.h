// The model of one generated problem and of the topics that make problems.
//
// A topic (an endpoint of the database) has a code such as "B01", a display
// name, a short description for its title page, how many problems it holds
// at each level, and a maker: a function that builds one problem of a level
// from a random source. Every problem carries its answer and an independent
// check of an answer (substitution, recount, a second method); the bank calls
// the check on every problem and stops with CheckFailed when it does not hold.
// A problem also says which form its question asks the answer in, the facts
// its topic's level rules read, and its mathematics in a canonical form, so
// that the rules of Rules.h can judge it.
#pragma once

#include <array>
#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "Random.h"
#include "Rational.h"
#include "Render.h"
#include "Sheet.h"

namespace qil::disc {

// A generated answer that failed its own check: a fault of the generator.
class CheckFailed : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Raises CheckFailed with the message when the condition does not hold.
void Require(bool condition, const std::string& message);

using Answer = std::vector<Rational>;
using AnswerCheck = std::function<bool(const Answer&)>;

// The form a question asks its answer in. The question says it in words (Ask in
// Kit.h writes the sentence), the answer line shows exactly that form, and the
// working reaches it. kAsItComes is for whole numbers, terminating decimals and
// amounts of money, which need no instruction.
struct AnswerForm {
  enum class Kind { kAsItComes, kLowestTerms, kMixedNumber, kExact, kRounded, kExactAndRounded };
  Kind kind = Kind::kAsItComes;
  int places = 0;  // decimal places, for kRounded and kExactAndRounded
};

struct Problem {
  Sheet statement;
  std::optional<Figure> figure;  // drawn under the statement
  bool figureInSolution = false;  // the solution page shows the figure again
  Sheet solution;
  Answer answer;
  // Accepts exactly the right answer; computed independently of `answer`.
  AnswerCheck check;
  // The problem's data in short text; two problems of one level never share it.
  std::string key;
  AnswerForm form;
  // Named numbers that the level rules of the topic read (the gradient of a line,
  // the coefficients of an equation, ...).
  std::map<std::string, Rational> facts;
  // The mathematics in a canonical form: equal for two problems that differ only in
  // the order of the terms of a sum or product or by a factor of an equation. Two
  // problems of one topic never share it; empty when the key says all.
  std::string canon;
};

using ProblemMaker = Problem (*)(Rng& rng, int level);

struct Topic {
  std::string code;     // 3 characters: main group, then the 2-character subgroup
  std::string name;     // display name, ASCII
  std::string summary;  // one paragraph for the title page, ASCII, HTML-safe
  std::array<int, 4> counts;  // problems at levels 1 to 4
  ProblemMaker make;
};

struct Group {
  char letter;
  std::string name;
};

// The main groups and the topics of the disc, in disc order.
const std::vector<Group>& Groups();
const std::vector<Topic>& Topics();

// The makers, one per topic (defined in the Topics*.cpp files).
Problem MakeOrderOfOperations(Rng& rng, int level);
Problem MakeFractions(Rng& rng, int level);
Problem MakePercentages(Rng& rng, int level);
Problem MakeDivisibility(Rng& rng, int level);
Problem MakeLinearEquations(Rng& rng, int level);
Problem MakeSimultaneous(Rng& rng, int level);
Problem MakeQuadratics(Rng& rng, int level);
Problem MakeSequences(Rng& rng, int level);
Problem MakeLinearFunctions(Rng& rng, int level);
Problem MakeTriangleAngles(Rng& rng, int level);
Problem MakePythagoras(Rng& rng, int level);
Problem MakeAreaPerimeter(Rng& rng, int level);
Problem MakeCircles(Rng& rng, int level);
Problem MakeAverages(Rng& rng, int level);
Problem MakeProbability(Rng& rng, int level);
Problem MakeCounting(Rng& rng, int level);

}  // namespace qil::disc
