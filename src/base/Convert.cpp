#include "base/Convert.h"

#include <charconv>
#include <cstdio>

#include "base/Exceptions.h"

namespace qil {

std::optional<int32_t> TryStrToInt(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  if (i == text.size()) return std::nullopt;
  int64_t value = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > int64_t{INT32_MAX} + 1) return std::nullopt;
  }
  if (negative) value = -value;
  if (value > INT32_MAX || value < INT32_MIN) return std::nullopt;
  return static_cast<int32_t>(value);
}

int32_t StrToInt(std::string_view text) {
  if (auto value = TryStrToInt(text)) return *value;
  throw ConvertError("'" + std::string(text) + "' is not a valid integer value");
}

int32_t StrToIntDef(std::string_view text, int32_t fallback) {
  return TryStrToInt(text).value_or(fallback);
}

std::string IntToStr(int64_t value) {
  char buffer[24];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
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
