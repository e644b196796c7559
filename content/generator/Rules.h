// The rules every problem of the demo disc keeps besides its answer check.
//
// Rules for every problem: a count is worded in agreement with its number
// ("1 blue ball", "1 of them is"); no working line comes twice in a row; no
// coefficient 1 is written out as a factor ("−1·0"); the question asks for
// the form of an answer that is not whole, and the answer line shows exactly
// that form, fractions in lowest terms, every number of it reached by the
// working; an exact value is never marked approximate; a rectangle's length
// is at least its width; data lie in the range their setting allows; a
// quantity counted over time names its period.
// Rules of levels: for each topic, what a problem of each level is, read from
// the facts the maker records, so that the levels differ as the title pages
// promise (Rules() lists them all in words).
//
// The bank checks every problem it makes; a broken rule is a fault of the
// generator and stops generation with RuleBroken naming the rule. Pure
// functions over the problem's sheets and facts.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "Problem.h"

namespace qil::disc {

class RuleBroken : public CheckFailed {
 public:
  using CheckFailed::CheckFailed;
};

struct Rule {
  std::string topic;  // a topic code, or empty for every topic
  int level = 0;      // 1 to 4, or 0 for every level
  std::string text;   // the rule in words
  // Empty when the problem keeps the rule, else what breaks it. Raises
  // RuleBroken when the problem lacks a fact the rule reads.
  std::function<std::string(const Problem&)> fault;
};

// Every rule, those for all topics first, then the level rules topic by topic.
const std::vector<Rule>& Rules();

// Raises RuleBroken ("rule: ... (what breaks it)") for the first rule of the
// topic and level that the problem breaks.
void CheckRules(const std::string& topic, int level, const Problem& p);

// The text checks the rules are made of.

// Where plain text words a count of one as many ("1 blue balls", "1 of them
// are", "1 are favourable"): the words at fault, or empty.
std::string CountWordingFault(std::string_view plain);

// The numbers written in plain text, in order: "-3", "17/11", "1 6/11", "5.8".
// Digits glued to a name or a power ("a25", "x^2") are no number; a number
// after "+/-" is listed with and without its minus sign.
std::vector<std::string> NumberTokens(std::string_view plain);

}  // namespace qil::disc
