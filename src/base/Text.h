// Small helpers for 8-bit text: letter case and comparisons that ignore it.
//
// Only the ASCII letters A to Z and a to z are folded; every other byte is
// compared as an unsigned value. Pure functions, safe from any thread.
#pragma once

#include <string>
#include <string_view>

namespace qil {

char LowerChar(char c);
std::string LowerCase(std::string_view text);
std::string UpperCase(std::string_view text);

// <0, 0 or >0, ignoring the case of ASCII letters.
int CompareText(std::string_view a, std::string_view b);
// Byte-wise comparison: <0, 0 or >0.
int CompareStr(std::string_view a, std::string_view b);
bool SameText(std::string_view a, std::string_view b);

bool EndsText(std::string_view suffix, std::string_view text);

// Every occurrence of from replaced by to, left to right; replaced text is not scanned again.
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to);

}  // namespace qil
