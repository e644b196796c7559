#include "archive/ArchiveFormat.h"

#include <cstring>

namespace qil::archive {

namespace {

constexpr size_t kVersionAt = 4;
constexpr size_t kNamesOffsetAt = 8;
constexpr size_t kNamesLengthAt = 12;
constexpr size_t kFileCountAt = 20;
constexpr size_t kDataOffsetAt = 32;
constexpr size_t kContentKeyAt = 36;
constexpr size_t kProductIdAt = 93;

// The bytes of a fixed-size text field up to its first NUL, at most limit of them.
std::string FieldText(const uint8_t* field, size_t limit) {
  const char* text = reinterpret_cast<const char*>(field);
  return std::string(text, strnlen(text, limit));
}

}  // namespace

ArchiveHeader ArchiveHeader::Decode(const uint8_t* plain) {
  ArchiveHeader header;
  header.magic.assign(reinterpret_cast<const char*>(plain), kMagic.size());
  header.version = LoadU32LE(plain + kVersionAt);
  header.names_offset = LoadU32LE(plain + kNamesOffsetAt);
  header.names_length = LoadU32LE(plain + kNamesLengthAt);
  header.file_count = LoadU32LE(plain + kFileCountAt);
  header.data_offset = LoadU32LE(plain + kDataOffsetAt);
  header.content_key = FieldText(plain + kContentKeyAt, kMaxContentKeyLength);
  header.product_id = FieldText(plain + kProductIdAt, kProductIdFieldSize);
  return header;
}

std::string ArchiveHeader::Encode() const {
  std::string plain(kHeaderSize, '\0');
  auto* bytes = reinterpret_cast<uint8_t*>(plain.data());
  const std::string magic_bytes = magic.substr(0, kMagic.size());
  plain.replace(0, magic_bytes.size(), magic_bytes);
  StoreU32LE(version, bytes + kVersionAt);
  StoreU32LE(names_offset, bytes + kNamesOffsetAt);
  StoreU32LE(names_length, bytes + kNamesLengthAt);
  StoreU32LE(file_count, bytes + kFileCountAt);
  StoreU32LE(data_offset, bytes + kDataOffsetAt);
  const std::string key = content_key.substr(0, kMaxContentKeyLength);
  const std::string id = product_id.substr(0, kProductIdFieldSize);
  plain.replace(kContentKeyAt, key.size(), key);
  plain.replace(kProductIdAt, id.size(), id);
  return plain;
}

}  // namespace qil::archive
