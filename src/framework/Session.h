// Sessions: the named variables that outlive a single request.
//
// The module manager owns one session, "default", and hands it to every page
// module; the worksheet lives there as the variable "ws". ScriptConstant holds
// a named constant (the product name) that start-up registers as a shared
// object. Values are copied in and out, so a value obtained from GetVar never
// changes the session by itself. Variable names ignore letter case.
// Not thread-safe: requests use the session one at a time.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/StringList.h"
#include "base/Variant.h"

namespace qil {

// One session variable.
class SessionVariable : public ListObject {
 public:
  Variant Value;
};

// A named constant for templates, such as the product name.
class ScriptConstant : public ListObject {
 public:
  explicit ScriptConstant(Variant value) : Value(std::move(value)) {}
  Variant Value;
};

class Session {
 public:
  explicit Session(std::string name);

  const std::string& Name() const { return name_; }

  // The variable's value. An unknown name is created with the empty string
  // as its value, and the empty string is returned.
  Variant GetVar(std::string_view name);

  // Sets an existing variable to a copy of value; does nothing (creates
  // nothing) when the session has no variable of that name.
  void SetVar(std::string_view name, const Variant& value);

  // Whether a variable of that name exists (for tests and diagnostics).
  bool HasVar(std::string_view name) const;

  // Every variable as its name and its value's text, in name order; for
  // front ends that carry a session between requests themselves.
  std::vector<std::pair<std::string, std::string>> Variables() const;

 private:
  SessionVariable* Find(std::string_view name) const;

  std::string name_;
  StringList vars_;  // sorted, letter case ignored; each line carries its SessionVariable
};

}  // namespace qil
