// Environment and number-formatting functions of start-up and the pages.
//
// Stateless and safe from any thread. Number formats follow the engine's fixed
// separators: "," groups thousands, whatever the user's locale says.
#pragma once

#include <cstdint>
#include <string>

namespace qil {

// The operating system's platform identifier; 2 means the NT platform.
constexpr int kPlatformNT = 2;
// Linux has no such version record; it is reported as a platform other than NT.
constexpr int kPlatformOther = 0;

int GetPlatformId();

// Whether the user may run the program. Outside the NT platform the answer is true.
bool IsAdministrator();

// The number with "," between groups of three digits and a leading "-" when
// negative: 1234567 gives "1,234,567".
std::string FormatThousands(int64_t n);

// The number formatted with a printf pattern holding one int conversion (the
// engine passes "%6d"), then every space replaced by "0": 123 gives "000123".
// The pattern pads but never cuts. pattern must be a literal of the program.
std::string FormatZeroPadded(const char* pattern, int32_t n);

}  // namespace qil
