// The random worksheet: how many problems of each endpoint and level the user
// asked for, drawn as distinct positions and sorted by position.
//
// The request names its counts in items "T" + CCC + L (TA011=3 asks for three
// problems of endpoint A01, level 1); a missing, empty, non-numeric, zero or
// negative count asks for nothing. Groups are visited in the order of the
// database's Endpoints, levels "1" to "4". For every group that asks for
// something the pseudo-random source is re-seeded from the UTC time of day
// (qil::CurrentPlatform().UtcMillisecondsOfDay()), so a fixed time of day
// gives a reproducible worksheet.
//
// A group's problems are taken to be the CountPrefix(key) positions from its
// first record on. Asking for more than a group holds raises qil::Exception
// "Impossible value for random generator: generate N out of M". The same
// error, with M the positions still free, ends a group whose range is already
// taken by earlier groups (possible after an endpoint mapping), so drawing
// always ends. Duplicates are tested with a hash set beside the list, so a
// whole group of n problems costs about n log n draws.
//
// Thread safety: GenerateWorksheet holds a process-wide lock on the shared
// pseudo-random source for its whole run; WorksheetRandom itself is a plain
// value and not thread-safe.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qil {

class MathDatabase;
class Platform;
class StringList;

// The generator's pseudo-random source: a 32-bit linear congruential sequence.
class WorksheetRandom {
 public:
  static constexpr uint32_t kMultiplier = 134775813u;

  explicit WorksheetRandom(uint32_t seed = 0) : seed_(seed) {}

  // Starts the sequence again from seed (the generator passes the UTC time of
  // day in milliseconds).
  void Reseed(uint32_t seed) { seed_ = seed; }
  uint32_t Seed() const { return seed_; }

  // Advances the seed (seed * 134775813 + 1, modulo 2^32) and answers a number
  // from 0 to range - 1: the upper 32 bits of range * seed. range must be >= 1.
  uint32_t Below(uint32_t range);

 private:
  uint32_t seed_;
};

// The keys of the groups a worksheet is counted and drawn by: for every line
// of the database's Endpoints, in file order, its name part (before the first
// "=") followed by each level "1" to "4".
std::vector<std::string> WorksheetGroupKeys(const MathDatabase& database);

// The generation error's message for a request of requested problems from a
// group that offers available.
std::string GenerationErrorMessage(int64_t requested, int64_t available);

// Replaces the entries of worksheet with the problems drawn for the counts in
// params (the request's items, read by name without regard to letter case),
// sorted by position, each in plain decimal. When no group asks for anything
// the worksheet keeps its entries and their order. Raises the generation error
// described above; worksheet then holds an unspecified part of the drawing
// and the caller discards it.
void GenerateWorksheet(const StringList& params, const MathDatabase& database, Platform& clock,
                       StringList& worksheet);

}  // namespace qil
