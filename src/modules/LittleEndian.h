// Reads of little-endian numbers from bytes held in memory, for the file
// formats of the picture conversion (BMP, gzip, metafiles).
//
// The caller checks that offset + the number's size lies within the bytes.
// Pure functions; safe from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace qil {

inline uint8_t ReadLE8(std::string_view bytes, size_t offset) { return static_cast<uint8_t>(bytes[offset]); }

inline uint16_t ReadLE16(std::string_view bytes, size_t offset) {
  return static_cast<uint16_t>(ReadLE8(bytes, offset) | ReadLE8(bytes, offset + 1) << 8);
}

inline uint32_t ReadLE32(std::string_view bytes, size_t offset) {
  return ReadLE16(bytes, offset) | static_cast<uint32_t>(ReadLE16(bytes, offset + 2)) << 16;
}

}  // namespace qil
