// The variant value of templates and sessions: empty, a string or a 32-bit integer.
//
// Converted to text it is the string itself, the integer in decimal, or the
// empty string for the empty value. A value type: copies are independent.
#pragma once

#include <cstdint>
#include <string>
#include <variant>

namespace qil {

class Variant {
 public:
  Variant() = default;
  Variant(std::string text) : value_(std::move(text)) {}
  Variant(const char* text) : value_(std::string(text)) {}
  Variant(int32_t number) : value_(number) {}

  bool IsEmpty() const { return std::holds_alternative<std::monostate>(value_); }
  bool IsString() const { return std::holds_alternative<std::string>(value_); }
  bool IsInteger() const { return std::holds_alternative<int32_t>(value_); }

  // The text form described above.
  std::string ToString() const;

  bool operator==(const Variant& other) const = default;

 private:
  std::variant<std::monostate, std::string, int32_t> value_;
};

}  // namespace qil
