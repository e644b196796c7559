#include "framework/Session.h"

#include <memory>

namespace qil {

Session::Session(std::string name) : name_(std::move(name)) {
  vars_.SetSorted(true);
}

SessionVariable* Session::Find(std::string_view name) const {
  int index = 0;
  if (!vars_.Find(name, index)) return nullptr;
  return static_cast<SessionVariable*>(vars_.Object(index).get());
}

Variant Session::GetVar(std::string_view name) {
  if (const SessionVariable* var = Find(name)) return var->Value;
  auto var = std::make_shared<SessionVariable>();
  var->Value = Variant(std::string());
  vars_.Add(std::string(name), std::move(var));
  return Variant(std::string());
}

void Session::SetVar(std::string_view name, const Variant& value) {
  if (SessionVariable* var = Find(name)) var->Value = value;
}

std::vector<std::pair<std::string, std::string>> Session::Variables() const {
  std::vector<std::pair<std::string, std::string>> variables;
  variables.reserve(static_cast<size_t>(vars_.Count()));
  for (int i = 0; i < vars_.Count(); ++i) {
    const auto& var = static_cast<const SessionVariable&>(*vars_.Object(i));
    variables.emplace_back(vars_[i], var.Value.ToString());
  }
  return variables;
}

bool Session::HasVar(std::string_view name) const { return Find(name) != nullptr; }

}  // namespace qil
