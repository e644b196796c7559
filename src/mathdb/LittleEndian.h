// Appending 32-bit little-endian integers to a byte string, as the binary
// blocks of the math database store them (reading: archive::LoadU32LE).
#pragma once

#include <cstdint>
#include <string>

#include "archive/ArchiveFormat.h"

namespace qil {

inline void PutLE32(std::string& out, uint32_t value) {
  char bytes[4];
  archive::StoreU32LE(value, bytes);
  out.append(bytes, sizeof bytes);
}

}  // namespace qil
