// Generation of the whole problem bank from one seed.
//
// Every problem is made from its own random source, derived from the seed,
// its code, its number and an attempt counter, so a problem does not depend on
// the order in which others are made. Problems of one code (topic and level)
// are kept distinct by their keys: a repeat is made again with the next
// attempt. Every answer is checked; a failed check raises CheckFailed naming
// the problem.
#pragma once

#include <cstdint>
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

// One problem, checked. Raises CheckFailed when its answer fails its check.
Problem MakeChecked(const Topic& topic, int level, uint64_t seed, int number, int attempt);

// The whole bank in disc order: topics in order, levels 1 to 4, numbers ascending.
std::vector<BankEntry> GenerateBank(uint64_t seed);

}  // namespace qil::disc
