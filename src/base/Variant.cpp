#include "base/Variant.h"

#include "base/Convert.h"

namespace qil {

std::string Variant::ToString() const {
  if (const auto* text = std::get_if<std::string>(&value_)) return *text;
  if (const auto* number = std::get_if<int32_t>(&value_)) return IntToStr(*number);
  return std::string();
}

int32_t Variant::ToInteger() const {
  if (const auto* number = std::get_if<int32_t>(&value_)) return *number;
  if (const auto* text = std::get_if<std::string>(&value_)) return StrToInt(*text);
  return 0;
}

}  // namespace qil
