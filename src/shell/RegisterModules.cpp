// The registrations of start-up: which page module serves which template, and
// which shared objects the modules find by name. Each subsystem that brings
// page modules or shared objects adds its lines here, in the product's order.
#include "framework/CDECGI.h"
#include "framework/Session.h"
#include "shell/Engine.h"

namespace qil {

void RegisterModules(TEngine& engine) {
  TSimpleCGIManager& manager = engine.Manager();

  // Page modules: manager.RegisterModule<TCGI_...>("template name"), in table order.

  // Shared objects.
  manager.RegisterObject(
      "PRODUCTNAME",
      &engine.Keep(std::make_unique<TScriptVarObj>(TVariant(TEngine::kProductName))));
}

}  // namespace qil
