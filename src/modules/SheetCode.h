// Sheet codes: short texts that name a worksheet's problems, for a teacher to
// read aloud, write on the board or print on a sheet, and for anyone to type
// back in to get the same sheet.
//
// A code names either a list of problems in their order (a worksheet made by
// hand, at most kMaxListed problems), or a generated worksheet: the seed, the
// counts per topic and level and the version letter, from which the
// generator draws the same problems again (WorksheetGenerator.h).
//
// Written form: Crockford's base-32 digits (0-9 and A-Z without I, L, O, U)
// in groups of four joined by "-". Read back, letter case, blanks ("+" in a
// form's address too) and hyphens
// do not matter, and I and L read as 1, O as 0.
// Content, most significant bit first:
//   kind: 1 bit (0 list, 1 generated)
//   list:      count - 1 (6 bits), then every position in P bits
//   generated: seed (27 bits), version (4 bits, A = 0), groups - 1 (K bits),
//              then per group its index among WorksheetGroupKeys (K bits) and
//              its count - 1 (P bits)
// where P is the bit width of the disc's largest position and K of its
// largest group index; zero bits up to whole digits; then two check digits:
// a 10-bit CRC of the content, started from a fingerprint of the disc (its
// problem count and topic codes), so a code made for another disc fails.
// Every single mistyped digit and every swap of two neighbouring digits
// changes the check (the CRC catches every error burst of 10 bits or less).
//
// Errors raise SheetCodeError with a message that says what is wrong. Pure
// functions of their arguments; safe from any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/Exceptions.h"

namespace qil {

class MathDatabase;

class SheetCodeError : public Exception {
 public:
  using Exception::Exception;
};

inline constexpr int kMaxListed = 64;
inline constexpr uint32_t kMaxSeed = 86'399'999;  // the generator's seeds: milliseconds of a day
inline constexpr int kMaxVersions = 16;

// What a code names.
struct CodedSheet {
  bool generated = false;
  std::vector<int32_t> positions;              // a list, in order
  uint32_t seed = 0;                           // a generated sheet ...
  int version = 0;                             // ... its version, 0 for A
  std::vector<std::pair<int, int32_t>> groups;  // ... and (group index, count) in group order
};

// The code of a list of 1 to kMaxListed distinct positions of the disc.
std::string EncodeSheetCode(const MathDatabase& database, const std::vector<int32_t>& positions);

// The code of a generated sheet; sheet.generated must be set.
std::string EncodeGeneratedCode(const MathDatabase& database, const CodedSheet& sheet);

// What text names, checked against the disc.
CodedSheet DecodeSheetCode(const MathDatabase& database, std::string_view text);

// Whether text is meant as a code rather than a problem number: it holds a
// letter. (A number with thousands separators is still a number.)
bool LooksLikeSheetCode(std::string_view text);

// "A" for version 0, "B" for 1, ...
std::string VersionLetter(int version);

}  // namespace qil
