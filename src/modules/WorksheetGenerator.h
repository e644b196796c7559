// The random worksheet: how many problems of each endpoint and level the user
// asked for, drawn as distinct positions and sorted by position.
//
// The request names its counts in items "T" + CCC + L (TA011=3 asks for three
// problems of endpoint A01, level 1); a missing, empty, non-numeric, zero or
// negative count asks for nothing. Groups are visited in the order of the
// database's Endpoints, levels "1" to "4". For every group that asks for
// something the pseudo-random source is re-seeded with the UTC time of day
// in milliseconds, read once when the generation starts, so that the seed
// and the counts rebuild the worksheet (its sheet code holds them).
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
#include <utility>
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

// The groups a request asks problems of: (index among WorksheetGroupKeys,
// count) for every item "T" + key with a count above 0, in group order.
std::vector<std::pair<int, int32_t>> RequestedGroups(const StringList& params, const MathDatabase& database);

// Worksheets drawn as versions of one sheet.
struct GeneratedVersions {
  std::vector<std::vector<int32_t>> versions;  // A, B, ...: each sorted as a worksheet is
  int shared = 0;  // draws of later versions that had to repeat a problem of an earlier one
};

// Draws versions worksheets (at least one) from groups, every group's
// sequence seeded with seed. Version A is the worksheet of a generation at
// that seed. In each group the versions draw in turn from the same sequence;
// a later version takes only problems that no version has while the group
// still has such problems, and counts the others in shared. The same
// arguments always give the same worksheets. Raises the generation error
// when a group holds fewer problems than asked.
GeneratedVersions GenerateVersions(const MathDatabase& database, const std::vector<std::pair<int, int32_t>>& groups,
                                   uint32_t seed, int versions);

// Replaces the entries of worksheet with the problems drawn for the counts in
// params (the request's items, read by name without regard to letter case),
// sorted by position, each in plain decimal. When no group asks for anything
// the worksheet keeps its entries and their order. Raises the generation error
// described above; worksheet then holds an unspecified part of the drawing
// and the caller discards it.
void GenerateWorksheet(const StringList& params, const MathDatabase& database, Platform& clock,
                       StringList& worksheet);

}  // namespace qil
