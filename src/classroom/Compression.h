// Compression for the classroom server: gzip bodies for browsers that accept
// them, and raw deflate for the session cookies.
//
// Pure functions without state, safe from any thread. Compressing never
// fails short of running out of memory; Inflate answers nullopt for bytes that
// are not a deflate stream or that would grow past the limit.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace qil {

// A gzip member holding bytes (level 1 fastest to 9 smallest).
std::string GzipCompress(std::string_view bytes, int level);

// Raw deflate (no header) and its inverse, bounded by limit output bytes.
std::string Deflate(std::string_view bytes);
std::optional<std::string> Inflate(std::string_view deflated, size_t limit);

// Whether an Accept-Encoding header value lets the answer be gzip: "gzip" or
// "*" listed without q=0.
bool AcceptsGzip(std::string_view acceptEncoding);

// Whether answers of this MIME type are text worth compressing.
bool IsCompressibleType(std::string_view mimeType);

}  // namespace qil
