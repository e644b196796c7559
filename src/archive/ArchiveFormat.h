// The layout of the content archive, shared by the reader and the writer.
//
// File layout (integers are 32-bit little-endian):
//   0              the 132-byte header: its first 128 bytes enciphered with kHeaderKey,
//                  the last 4 stored as zeros and never read as a field
//   NamesOffset    the name block: RoundUp8(NamesLength) bytes, kNamesKey
//   right behind   the record block: FileCount x 8 bytes {Offset, Size}, kRecordsKey
//   each Offset    an entry: RoundUp8(Size) bytes, enciphered with the content key
//   DataOffset     the data region, read by offset and size, content key
// The name block is text: one name per line (CR, LF or CR LF), line i naming
// record i. Pure data and functions: safe from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/LittleEndian.h"

namespace qil::archive {

constexpr size_t kHeaderSize = 132;
constexpr uint32_t kVersion = 3;
constexpr std::string_view kMagic = "CDAR";
constexpr size_t kContentKeyFieldSize = 57;  // key bytes up to the first NUL, at most 56
constexpr size_t kMaxContentKeyLength = kContentKeyFieldSize - 1;
constexpr size_t kProductIdFieldSize = 16;  // NUL-terminated unless it fills the field

// The fixed keys of the header, the name block and the record block. The
// names key is shorter than 8 bytes, so by the cipher's key rule the name
// block is in effect enciphered with the unkeyed cipher.
constexpr std::string_view kHeaderKey{"\x5c\xe2\x19\xa7\x3b\x80\xd4\x61", 8};
constexpr std::string_view kNamesKey{"\x9f\x27\xc4\x08\xe6\x3d\xb1", 7};
constexpr std::string_view kRecordsKey{"\x72\x0a\xd9\x4e\x16\xfb\x85\xc3\x2e\x57", 10};

constexpr size_t kRecordSize = 8;

// Every enciphered stretch is stored rounded up to whole 8-byte blocks.
constexpr uint64_t RoundUp8(uint64_t n) { return (n + 7) & ~uint64_t{7}; }

// The fields of a deciphered header that the engine uses.
struct ArchiveHeader {
  std::string magic{kMagic};  // the first four bytes
  uint32_t version = kVersion;
  uint32_t names_offset = 0;
  uint32_t names_length = 0;
  uint32_t file_count = 0;
  uint32_t data_offset = 0;
  std::string content_key;  // at most kMaxContentKeyLength bytes, no NUL
  std::string product_id;   // at most kProductIdFieldSize bytes, no NUL

  // Reads the fields from kHeaderSize plain bytes.
  static ArchiveHeader Decode(const uint8_t* plain);
  // The kHeaderSize plain bytes of these fields, reserved bytes zero. Texts
  // longer than their fields are cut to fit.
  std::string Encode() const;
};

}  // namespace qil::archive
