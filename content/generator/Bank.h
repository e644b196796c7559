// Generation of the whole problem bank from one seed.
//
// Every problem is made from its own random source, derived from the seed,
// its code, its number and an attempt counter. A problem that repeats one made
// before is made again with the next attempt, so the bank never holds the same
// problem twice: repeats are problems of one code (topic and level) with the
// same key, problems anywhere with the same statement (its text and the data
// of its figure), and problems of one topic with the same canonical form (a
// commutative sum or product reordered, an equation times a factor). Every
// answer is checked and every problem is held to the rules of Rules.h; a
// failed check raises CheckFailed and a broken rule RuleBroken, naming the
// problem by its code, number and statement.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "Problem.h"

namespace qil::disc {

struct BankEntry {
  const Topic* topic = nullptr;
  int level = 0;   // 1 to 4
  int number = 0;  // 1-based within topic and level
  Problem problem;

  // "B012": the topic code and the level digit.
  std::string Code() const { return topic->code + static_cast<char>('0' + level); }
};

// One problem, checked. Raises CheckFailed when its answer fails its check and
// RuleBroken when it breaks a rule.
Problem MakeChecked(const Topic& topic, int level, uint64_t seed, int number, int attempt);

// The whole bank in disc order: topics in order, levels 1 to 4, numbers ascending.
// `redrawn`, when given, receives how many problems were made again because they
// repeated one before, by the kind of repeat ("key", "statement", "canonical form").
std::vector<BankEntry> GenerateBank(uint64_t seed, std::map<std::string, int>* redrawn = nullptr);

}  // namespace qil::disc
