// Placeholder until this group of verbs is built.
#include <iostream>

#include "app/Verbs.h"

namespace qil::app {

int RunDb(const Args&) {
  std::cerr << "qilcd: this verb is not built yet" << std::endl;
  return 2;
}

}  // namespace qil::app
