// Decimal conversions between text and 32-bit integers.
//
// StrToInt is the one strict conversion of the engine: optional leading blanks,
// an optional sign, then decimal digits up to the end, within the range of a
// 32-bit signed integer. Anything else raises EConvertError with the message
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

// Parses text as a decimal 32-bit integer or raises EConvertError.
int32_t StrToInt(std::string_view text);

// Parses text as a decimal 32-bit integer, or answers fallback.
int32_t StrToIntDef(std::string_view text, int32_t fallback);

// Decimal text of a number, with a leading "-" for negative numbers.
std::string IntToStr(int64_t value);

}  // namespace qil
