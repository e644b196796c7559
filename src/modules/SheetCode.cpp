#include "modules/SheetCode.h"

#include <algorithm>
#include <set>

#include "base/Convert.h"
#include "mathdb/MathDatabase.h"
#include "modules/WorksheetGenerator.h"

namespace qil {

namespace {

constexpr std::string_view kDigits = "0123456789ABCDEFGHJKMNPQRSTVWXYZ";
constexpr int kDigitBits = 5;
constexpr int kCheckBits = 10;
constexpr uint32_t kCrcPolynomial = 0x233;  // x^10 + x^9 + x^5 + x^4 + x + 1
constexpr int kCountBits = 6;
constexpr int kSeedBits = 27;
constexpr int kVersionBits = 4;

const char* const kMistyped =
    "The code does not check out: a character may be mistyped, or the code was made for another disc.";

// The bits needed to write every number from 0 to largest.
int WidthFor(int64_t largest) {
  int width = 1;
  while (width < 31 && (int64_t{1} << width) <= largest) ++width;
  return width;
}

// What codes depend on of a disc, read once per code.
struct DiscShape {
  int position_bits;  // P
  int group_bits;     // K
  int groups;         // how many topic-and-level groups the disc has
  uint32_t fingerprint;  // 10 bits of its problem count and group keys
};

DiscShape ShapeOf(const MathDatabase& database) {
  const std::vector<std::string> keys = WorksheetGroupKeys(database);
  uint32_t hash = 2166136261u;  // FNV-1a
  auto mix = [&hash](std::string_view text) {
    for (unsigned char c : text) hash = (hash ^ c) * 16777619u;
  };
  mix(std::to_string(database.RecordCount()));
  for (const std::string& key : keys) mix(key);
  return {WidthFor(database.RecordCount() - 1), WidthFor(static_cast<int64_t>(keys.size()) - 1),
          static_cast<int>(keys.size()), (hash ^ (hash >> 10) ^ (hash >> 20)) & 0x3FF};
}

uint32_t Crc(const std::vector<bool>& bits, uint32_t start) {
  uint32_t crc = start;
  for (bool bit : bits) {
    const bool feedback = ((crc >> (kCheckBits - 1)) & 1u) != static_cast<uint32_t>(bit);
    crc = (crc << 1) & 0x3FF;
    if (feedback) crc ^= kCrcPolynomial;
  }
  return crc;
}

class BitWriter {
 public:
  void Put(uint64_t value, int width) {
    for (int i = width - 1; i >= 0; --i) bits_.push_back(((value >> i) & 1u) != 0);
  }
  // The content in digits, then the two check digits, in groups of four.
  std::string Text(uint32_t fingerprint) {
    while (bits_.size() % kDigitBits != 0) bits_.push_back(false);
    std::vector<bool> all = bits_;
    const uint32_t check = Crc(bits_, fingerprint);
    for (int i = kCheckBits - 1; i >= 0; --i) all.push_back(((check >> i) & 1u) != 0);
    std::string text;
    for (size_t i = 0; i < all.size(); i += kDigitBits) {
      int digit = 0;
      for (int b = 0; b < kDigitBits; ++b) digit = digit * 2 + (all[i + b] ? 1 : 0);
      if (i != 0 && (i / kDigitBits) % 4 == 0) text += '-';
      text += kDigits[static_cast<size_t>(digit)];
    }
    return text;
  }

 private:
  std::vector<bool> bits_;
};

class BitReader {
 public:
  explicit BitReader(std::vector<bool> bits) : bits_(std::move(bits)) {}
  uint64_t Take(int width) {
    if (next_ + static_cast<size_t>(width) > bits_.size()) {
      throw SheetCodeError("The code is too short: characters are missing.");
    }
    uint64_t value = 0;
    for (int i = 0; i < width; ++i) value = value * 2 + (bits_[next_++] ? 1 : 0);
    return value;
  }
  // The content must end in the last digit, with zero bits after the fields.
  void ExpectEnd() const {
    if (bits_.size() - next_ >= kDigitBits) throw SheetCodeError("The code is too long: it has characters too many.");
    for (size_t i = next_; i < bits_.size(); ++i) {
      if (bits_[i]) throw SheetCodeError(kMistyped);
    }
  }

 private:
  std::vector<bool> bits_;
  size_t next_ = 0;
};

// The digits of text without separators, I/L as 1 and O as 0.
std::string NormalizedDigits(std::string_view text) {
  std::string digits;
  for (char c : text) {
    if (c == '-' || c == ' ' || c == '+' || c == '\t') continue;
    char upper = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    if (upper == 'I' || upper == 'L') upper = '1';
    if (upper == 'O') upper = '0';
    if (kDigits.find(upper) == std::string_view::npos) {
      throw SheetCodeError(std::string("The code holds \"") + c + "\", which no code uses.");
    }
    digits += upper;
  }
  if (digits.empty()) throw SheetCodeError("The code is empty.");
  return digits;
}

std::string ProblemNumber(int64_t position) { return FormatThousands(position + 1); }

}  // namespace

std::string VersionLetter(int version) { return std::string(1, static_cast<char>('A' + version)); }

bool LooksLikeSheetCode(std::string_view text) {
  return std::any_of(text.begin(), text.end(), [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); });
}

std::string EncodeSheetCode(const MathDatabase& database, const std::vector<int32_t>& positions) {
  if (positions.empty()) throw SheetCodeError("An empty worksheet has no code.");
  if (positions.size() > static_cast<size_t>(kMaxListed)) {
    throw SheetCodeError("A worksheet of more than " + std::to_string(kMaxListed) + " problems has no code.");
  }
  const DiscShape shape = ShapeOf(database);
  BitWriter writer;
  writer.Put(0, 1);
  writer.Put(positions.size() - 1, kCountBits);
  std::set<int32_t> seen;
  for (int32_t position : positions) {
    if (position < 0 || position >= database.RecordCount()) {
      throw SheetCodeError("Problem " + ProblemNumber(position) + " is not on this disc.");
    }
    if (!seen.insert(position).second) {
      throw SheetCodeError("Problem " + ProblemNumber(position) + " is on the worksheet twice.");
    }
    writer.Put(static_cast<uint64_t>(position), shape.position_bits);
  }
  return writer.Text(shape.fingerprint);
}

std::string EncodeGeneratedCode(const MathDatabase& database, const CodedSheet& sheet) {
  const DiscShape shape = ShapeOf(database);
  if (sheet.groups.empty() || static_cast<int64_t>(sheet.groups.size()) > shape.groups ||
      sheet.seed > kMaxSeed || sheet.version < 0 || sheet.version >= kMaxVersions) {
    throw SheetCodeError("This generated worksheet cannot be written as a code.");
  }
  BitWriter writer;
  writer.Put(1, 1);
  writer.Put(sheet.seed, kSeedBits);
  writer.Put(static_cast<uint64_t>(sheet.version), kVersionBits);
  writer.Put(sheet.groups.size() - 1, shape.group_bits);
  int previous = -1;
  for (const auto& [group, count] : sheet.groups) {
    if (group <= previous || group >= shape.groups || count < 1 || count > database.RecordCount()) {
      throw SheetCodeError("This generated worksheet cannot be written as a code.");
    }
    writer.Put(static_cast<uint64_t>(group), shape.group_bits);
    writer.Put(static_cast<uint64_t>(count - 1), shape.position_bits);
    previous = group;
  }
  return writer.Text(shape.fingerprint);
}

CodedSheet DecodeSheetCode(const MathDatabase& database, std::string_view text) {
  const std::string digits = NormalizedDigits(text);
  const size_t check_digits = kCheckBits / kDigitBits;
  if (digits.size() <= check_digits) throw SheetCodeError("The code is too short: characters are missing.");
  std::vector<bool> content;
  uint32_t check = 0;
  for (size_t i = 0; i < digits.size(); ++i) {
    const auto digit = static_cast<uint32_t>(kDigits.find(digits[i]));
    if (i < digits.size() - check_digits) {
      for (int b = kDigitBits - 1; b >= 0; --b) content.push_back(((digit >> b) & 1u) != 0);
    } else {
      check = (check << kDigitBits) | digit;
    }
  }
  const DiscShape shape = ShapeOf(database);
  if (Crc(content, shape.fingerprint) != check) throw SheetCodeError(kMistyped);

  BitReader reader(std::move(content));
  CodedSheet sheet;
  sheet.generated = reader.Take(1) == 1;
  if (!sheet.generated) {
    const auto count = static_cast<int>(reader.Take(kCountBits)) + 1;
    std::set<int32_t> seen;
    for (int i = 0; i < count; ++i) {
      const auto position = static_cast<int32_t>(reader.Take(shape.position_bits));
      if (position >= database.RecordCount()) {
        throw SheetCodeError("The code names problem " + ProblemNumber(position) + ", which this disc does not have.");
      }
      if (!seen.insert(position).second) {
        throw SheetCodeError("The code names problem " + ProblemNumber(position) + " twice.");
      }
      sheet.positions.push_back(position);
    }
  } else {
    sheet.seed = static_cast<uint32_t>(reader.Take(kSeedBits));
    sheet.version = static_cast<int>(reader.Take(kVersionBits));
    const auto groups = static_cast<int>(reader.Take(shape.group_bits)) + 1;
    for (int i = 0; i < groups; ++i) {
      const auto group = static_cast<int>(reader.Take(shape.group_bits));
      const auto count = static_cast<int32_t>(reader.Take(shape.position_bits)) + 1;
      if (group >= shape.groups || (!sheet.groups.empty() && group <= sheet.groups.back().first)) {
        throw SheetCodeError("The code names a topic and level that this disc does not have.");
      }
      sheet.groups.emplace_back(group, count);
    }
    if (sheet.seed > kMaxSeed) throw SheetCodeError(kMistyped);
  }
  reader.ExpectEnd();
  return sheet;
}

}  // namespace qil
