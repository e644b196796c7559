// The error class of the math database.
//
// Raised by loading ("Wrong Math DB version.", or a message naming the damaged
// part of the database) and by the bundle parser for a damaged block.
#pragma once

#include "base/Exceptions.h"

namespace qil {

class DatabaseError : public Exception {
 public:
  using Exception::Exception;
};

}  // namespace qil
