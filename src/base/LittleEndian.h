// Little-endian integers in byte buffers: the one place that reads and writes
// them for every binary format of the engine (archive, database blocks,
// pictures, gzip, metafiles).
//
// Reads take an offset into bytes the caller has already checked to be long
// enough; nothing here checks bounds. Pure functions; safe from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qil {

inline uint32_t LoadU32LE(const void* bytes) {
  const auto* b = static_cast<const uint8_t*>(bytes);
  return uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 | uint32_t{b[3]} << 24;
}

inline void StoreU32LE(uint32_t value, void* bytes) {
  auto* b = static_cast<uint8_t*>(bytes);
  for (int i = 0; i < 4; ++i) b[i] = static_cast<uint8_t>(value >> (8 * i));
}

inline uint8_t ReadLE8(std::string_view bytes, size_t offset) { return static_cast<uint8_t>(bytes[offset]); }

inline uint16_t ReadLE16(std::string_view bytes, size_t offset) {
  return static_cast<uint16_t>(ReadLE8(bytes, offset) | ReadLE8(bytes, offset + 1) << 8);
}

inline uint32_t ReadLE32(std::string_view bytes, size_t offset) { return LoadU32LE(bytes.data() + offset); }

inline void AppendLE16(std::string& out, uint32_t value) {
  out.push_back(static_cast<char>(value & 0xFF));
  out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

inline void AppendLE32(std::string& out, uint32_t value) {
  AppendLE16(out, value & 0xFFFF);
  AppendLE16(out, value >> 16);
}

}  // namespace qil
