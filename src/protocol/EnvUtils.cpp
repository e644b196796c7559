#include "protocol/EnvUtils.h"

#include <cstdio>

namespace qil {

int GetPlatformId() { return kPlatformOther; }

bool IsAdministrator() {
  // The group check of the NT platform has nothing to look at here.
  return GetPlatformId() != kPlatformNT;
}

std::string FormatThousands(int64_t n) {
  const bool negative = n < 0;
  // Unsigned arithmetic: the magnitude of INT64_MIN does not fit a signed 64-bit integer.
  const uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(n) : static_cast<uint64_t>(n);
  const std::string digits = std::to_string(magnitude);
  std::string out;
  if (negative) out += '-';
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

std::string FormatZeroPadded(const char* pattern, int32_t n) {
  char buffer[64];
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  const int length = std::snprintf(buffer, sizeof buffer, pattern, n);
#pragma GCC diagnostic pop
  if (length < 0) return std::string();
  std::string out(buffer, static_cast<size_t>(length) < sizeof buffer ? length : sizeof buffer - 1);
  for (char& c : out) {
    if (c == ' ') c = '0';
  }
  return out;
}

}  // namespace qil
