#include "base/Variant.h"

#include "base/Convert.h"

namespace qil {

std::string Variant::ToString() const {
  if (const auto* text = std::get_if<std::string>(&value_)) return *text;
  if (const auto* number = std::get_if<int32_t>(&value_)) return IntToStr(*number);
  return std::string();
}

}  // namespace qil
