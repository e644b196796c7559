// Decoders of the raster pictures of problem pages: BMP, PNG and JPEG.
//
// Each decoder reads a whole picture file held in memory and answers it as a
// 24-bit bitmap (Bitmap24.h). A file the decoder cannot read (truncated,
// corrupt, an unsupported variant) or one beyond the size limits raises
// InvalidPicture with a message that names the format; the process never
// ends and nothing leaks. Transparent PNG pixels are composed onto white,
// the colour of the page they are pasted on.
//  - BMP: our own reader of uncompressed bitmaps of 1, 4, 8, 24 or 32 bits per
//    pixel, stored bottom-up or top-down, with the 12-byte or 40-byte (and
//    longer) info headers; 32-bit pictures may carry the standard bit fields.
//    Run-length compression and 16-bit pixels are refused.
//  - PNG: libpng (every PNG colour type and depth).
//  - JPEG: libjpeg; grey, colour and CMYK pictures. A file or a scan that
//    ends before its picture does is an error, not a picture with a grey tail.
// The functions keep no state and are safe from any thread.
#pragma once

#include <string_view>

#include "picture/Bitmap24.h"

namespace qil {

Bitmap24 DecodeBMP(std::string_view file);
Bitmap24 DecodePNG(std::string_view file);
Bitmap24 DecodeJPEG(std::string_view file);

}  // namespace qil
