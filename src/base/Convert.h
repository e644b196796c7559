// Decimal conversions between text and 32-bit integers, and the number
// formats of the pages.
//
// StrToInt is the one strict conversion of the engine: optional leading blanks,
// an optional sign, then decimal digits up to the end, within the range of a
// 32-bit signed integer. Anything else raises ConvertError with the message
// "'TEXT' is not a valid integer value". StrToIntDef answers a default instead
// of raising. Both are pure functions and safe from any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qil {

// Parses text as a decimal 32-bit integer; nullopt when it is not one.
std::optional<int32_t> TryStrToInt(std::string_view text);

// Parses text as a decimal 32-bit integer or raises ConvertError.
int32_t StrToInt(std::string_view text);

// Parses text as a decimal 32-bit integer, or answers fallback.
int32_t StrToIntDef(std::string_view text, int32_t fallback);

// Decimal text of a number, with a leading "-" for negative numbers.
std::string IntToStr(int64_t value);

// The number with "," between groups of three digits and a leading "-" when
// negative: 1234567 gives "1,234,567", whatever the user's locale says.
std::string FormatThousands(int64_t n);

// The number formatted with a printf pattern holding one int conversion (the
// engine passes "%6d"), then every space replaced by "0": 123 gives "000123".
// The pattern pads but never cuts. pattern must be a literal of the program.
std::string FormatZeroPadded(const char* pattern, int32_t n);

}  // namespace qil
