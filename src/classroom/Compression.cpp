#include "classroom/Compression.h"

#include <zlib.h>

#include <stdexcept>

#include "base/Text.h"

namespace qil {

namespace {

constexpr int kRawDeflateBits = -15;
constexpr int kGzipBits = 15 + 16;

std::string Compress(std::string_view bytes, int level, int windowBits) {
  z_stream stream{};
  if (deflateInit2(&stream, level, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    throw std::bad_alloc();
  }
  std::string out(deflateBound(&stream, static_cast<uLong>(bytes.size())), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  stream.avail_in = static_cast<uInt>(bytes.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  const int result = deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  if (result != Z_STREAM_END) throw std::bad_alloc();  // the bound makes room for everything
  return out;
}

// One element of a comma-separated header list, without its parameters.
std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// Whether the parameters of a list element say q=0 (also "q=0.0", "q=0.000").
bool ZeroQuality(std::string_view parameters) {
  const size_t q = parameters.find("q=");
  if (q == std::string_view::npos) return false;
  for (char c : parameters.substr(q + 2)) {
    if (c == '.' || c == '0') continue;
    return !(c >= '1' && c <= '9');
  }
  return true;
}

}  // namespace

std::string GzipCompress(std::string_view bytes, int level) {
  return Compress(bytes, level, kGzipBits);
}

std::string Deflate(std::string_view bytes) {
  return Compress(bytes, Z_BEST_COMPRESSION, kRawDeflateBits);
}

std::optional<std::string> Inflate(std::string_view deflated, size_t limit) {
  z_stream stream{};
  if (inflateInit2(&stream, kRawDeflateBits) != Z_OK) return std::nullopt;
  std::string out;
  char buffer[4096];
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(deflated.data()));
  stream.avail_in = static_cast<uInt>(deflated.size());
  int result = Z_OK;
  while (result == Z_OK) {
    stream.next_out = reinterpret_cast<Bytef*>(buffer);
    stream.avail_out = sizeof buffer;
    result = inflate(&stream, Z_NO_FLUSH);
    if (result != Z_OK && result != Z_STREAM_END) break;
    out.append(buffer, sizeof buffer - stream.avail_out);
    if (out.size() > limit) result = Z_BUF_ERROR;
    if (result == Z_OK && stream.avail_in == 0 && stream.avail_out != 0) result = Z_DATA_ERROR;
  }
  inflateEnd(&stream);
  if (result != Z_STREAM_END || stream.avail_in != 0) return std::nullopt;
  return out;
}

bool AcceptsGzip(std::string_view acceptEncoding) {
  while (!acceptEncoding.empty()) {
    const size_t comma = acceptEncoding.find(',');
    const std::string_view element = acceptEncoding.substr(0, comma);
    acceptEncoding = comma == std::string_view::npos ? std::string_view() : acceptEncoding.substr(comma + 1);
    const size_t semicolon = element.find(';');
    const std::string_view coding = Trimmed(element.substr(0, semicolon));
    if (!SameText(coding, "gzip") && coding != "*") continue;
    if (semicolon == std::string_view::npos || !ZeroQuality(element.substr(semicolon + 1))) return true;
  }
  return false;
}

bool IsCompressibleType(std::string_view mimeType) {
  return mimeType.starts_with("text/") || mimeType == "application/javascript" ||
         mimeType == "application/json" || mimeType == "image/svg+xml" ||
         mimeType == "application/rtf" || mimeType == "image/x-wmf" || mimeType == "application/xml";
}

}  // namespace qil
