#include "picture/Gunzip.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "base/Convert.h"
#include "base/LittleEndian.h"
#include "base/MemoryStream.h"

namespace qil {
namespace {

constexpr size_t kFixedHeaderSize = 10;
constexpr size_t kTrailerSize = 8;  // CRC-32 and ISIZE, both little-endian

constexpr uint8_t kFlagHeaderCrc = 2;
constexpr uint8_t kFlagExtra = 4;
constexpr uint8_t kFlagName = 8;
constexpr uint8_t kFlagComment = 16;

[[noreturn]] void TruncatedHeader() { throw DecompressionError("Gzip header is truncated"); }

// Offset of the deflate data behind the header; end is where the trailer begins.
size_t SkipHeader(std::string_view data, size_t end) {
  const uint8_t flags = ReadLE8(data, 3);
  size_t pos = kFixedHeaderSize;
  if (flags & kFlagExtra) {
    if (end - pos < 2) TruncatedHeader();
    const size_t length = ReadLE16(data, pos);
    pos += 2;
    if (end - pos < length) TruncatedHeader();
    pos += length;
  }
  for (uint8_t text_flag : {kFlagName, kFlagComment}) {
    if (!(flags & text_flag)) continue;
    const size_t zero = data.substr(0, end).find('\0', pos);
    if (zero == std::string_view::npos) TruncatedHeader();
    pos = zero + 1;
  }
  if (flags & kFlagHeaderCrc) {
    if (end - pos < 2) TruncatedHeader();
    pos += 2;
  }
  return pos;
}

// Raw inflation of input into exactly limit bytes of room; returns the bytes produced.
std::string Inflate(std::string_view input, size_t limit) {
  std::string output(limit, '\0');
  z_stream z;
  std::memset(&z, 0, sizeof z);
  if (inflateInit2(&z, -MAX_WBITS) != Z_OK) throw DecompressionError("Cannot start gzip inflation");
  z.next_out = reinterpret_cast<Bytef*>(output.data());
  z.avail_out = static_cast<uInt>(limit);
  size_t fed = 0;
  int rc = Z_OK;
  while (rc == Z_OK) {
    if (z.avail_in == 0 && fed < input.size()) {
      const size_t chunk = std::min<size_t>(input.size() - fed, UINT_MAX);
      z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.data() + fed));
      z.avail_in = static_cast<uInt>(chunk);
      fed += chunk;
    }
    rc = inflate(&z, Z_NO_FLUSH);
  }
  const size_t produced = limit - z.avail_out;
  const bool output_full = z.avail_out == 0;
  const std::string detail = z.msg ? z.msg : "";
  inflateEnd(&z);
  switch (rc) {
    case Z_STREAM_END:
      output.resize(produced);
      return output;
    case Z_BUF_ERROR:
      if (output_full) {
        throw DecompressionError("Gzip data inflates to more than its stated size " + IntToStr(limit));
      }
      throw DecompressionError("Gzip data is truncated");
    case Z_MEM_ERROR:
      throw DecompressionError("Out of memory while inflating gzip data");
    default:
      throw DecompressionError("Corrupt gzip data" + (detail.empty() ? "" : ": " + detail));
  }
}

}  // namespace

void GunzipToStream(const MemoryStream& source, MemoryStream& target) {
  const std::string_view data = source.View();
  if (data.size() < 2 || ReadLE8(data, 0) != 0x1F || ReadLE8(data, 1) != 0x8B) {
    throw DecompressionError("Bad gzip magic");
  }
  if (data.size() < kFixedHeaderSize + kTrailerSize) TruncatedHeader();
  const uint32_t stated_size = ReadLE32(data, data.size() - 4);
  if (stated_size > kMaxGunzipSize) {
    throw DecompressionError("Gzip data states an uncompressed size of " + IntToStr(stated_size) +
                               " bytes, more than the limit of " + IntToStr(kMaxGunzipSize));
  }
  const size_t end = data.size() - kTrailerSize;
  const size_t start = SkipHeader(data, end);
  target.Assign(Inflate(data.substr(start, end - start), stated_size));
}

}  // namespace qil
