#include "framework/Session.h"

#include <memory>

namespace qil {

TSimpleSession::TSimpleSession(std::string name) : name_(std::move(name)) {
  vars_.SetSorted(true);
}

TVarObject* TSimpleSession::Find(std::string_view name) const {
  int index = 0;
  if (!vars_.Find(name, index)) return nullptr;
  return static_cast<TVarObject*>(vars_.Object(index).get());
}

TVariant TSimpleSession::GetVar(std::string_view name) {
  if (const TVarObject* var = Find(name)) return var->Value;
  auto var = std::make_shared<TVarObject>();
  var->Value = TVariant(std::string());
  vars_.Add(std::string(name), std::move(var));
  return TVariant(std::string());
}

void TSimpleSession::SetVar(std::string_view name, const TVariant& value) {
  if (TVarObject* var = Find(name)) var->Value = value;
}

bool TSimpleSession::HasVar(std::string_view name) const { return Find(name) != nullptr; }

}  // namespace qil
