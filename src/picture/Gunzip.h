// Inflation of one gzip member held in memory (the ".wmz" pictures).
//
// The gzip header is parsed here; the deflate data behind it is inflated with
// zlib in raw mode. The CRC-32 of the trailer is not compared. Every length in
// the input is untrusted: the trailer's stated size is refused above
// kMaxGunzipSize before anything is allocated, a header that runs past the
// data is an error, and inflation never writes past the stated size.
// Errors raise DecompressionError; the target is then left unchanged.
// Pure functions of their arguments; safe from any thread.
#pragma once

#include <cstddef>

#include "base/Exceptions.h"

namespace qil {

class MemoryStream;

// A gzip member that cannot be inflated ("Bad gzip magic", corrupt data).
class DecompressionError : public Exception {
 public:
  using Exception::Exception;
};

// The largest uncompressed size GunzipToStream accepts: 64 MB.
inline constexpr size_t kMaxGunzipSize = 64u << 20;

// Inflates the gzip member that fills source (all of its bytes, whatever its
// position) into target, replacing target's content; target's position is 0
// afterwards. The trailer's uncompressed size (ISIZE) bounds the output: data
// that inflates to more raises DecompressionError, and so does compressed
// data that stops before its deflate stream ends. A stream that ends with
// fewer bytes than ISIZE leaves target at the size actually inflated.
void GunzipToStream(const MemoryStream& source, MemoryStream& target);

}  // namespace qil
