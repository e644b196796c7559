// The 24-bit bitmap into which every raster picture is decoded before it is
// recorded into a metafile, and the error raised by the raster decoders.
//
// The pixels are laid out as a device-independent bitmap expects them: rows
// from the bottom of the picture to its top, each pixel blue, green, red,
// each row padded with zero bytes to a multiple of 4. Allocate() refuses a
// size the metafile cannot express (a side above 32767 pixels) or an absurd
// one (more than 50 megapixels, 150 MB of pixels) before allocating anything.
// A plain value type; not thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/Exceptions.h"

namespace qil {

// A raster picture that cannot be decoded, or one that is too large.
class InvalidPicture : public Exception {
 public:
  using Exception::Exception;
};

// Metafile coordinates are signed 16-bit numbers.
inline constexpr int64_t kMaxPictureSide = 32767;
inline constexpr int64_t kMaxPicturePixels = 50'000'000;

// Raises InvalidPicture when a picture of that size is empty or beyond the limits.
void CheckPictureSize(int64_t width, int64_t height);

struct Bitmap24 {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> pixels;

  static size_t RowStride(int64_t width) { return (static_cast<size_t>(width) * 3 + 3) & ~size_t{3}; }
  size_t Stride() const { return RowStride(width); }

  // The row that is y rows from the top of the picture.
  uint8_t* RowFromTop(int32_t y) { return pixels.data() + static_cast<size_t>(height - 1 - y) * Stride(); }
  const uint8_t* RowFromTop(int32_t y) const { return pixels.data() + static_cast<size_t>(height - 1 - y) * Stride(); }

  // Checks the size with CheckPictureSize and makes the pixels a black picture of that size.
  void Allocate(int64_t new_width, int64_t new_height);
};

}  // namespace qil
