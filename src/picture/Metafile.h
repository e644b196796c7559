// Placeable Windows metafiles: the writer that records a 24-bit bitmap into
// one, and the reader that finds the size of one.
//
// The writer's metafile is: the 22-byte placeable header (bounding box in
// units of 1/96 inch, so the box is the picture's size in pixels, and the
// checksum of its first ten words), the 18-byte metafile header, records that
// set the window origin to (0, 0) and the window extent to the picture's
// size, one stretch-DIB record holding the bitmap as a 24-bit DIB drawn at
// (0, 0) at its own size, and the end record.
// The reader accepts any data that starts with a placeable header (checksum
// not compared, a non-zero inch) followed by a metafile header; it does not
// walk the records. Pure functions; safe from any thread.
#pragma once

#include <optional>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "picture/Bitmap24.h"

namespace qil {

class MemoryStream;

inline constexpr size_t kPlaceableHeaderSize = 22;
inline constexpr size_t kMetafileHeaderSize = 18;
inline constexpr uint32_t kPlaceableKey = 0x9AC6CDD7;
// Units per inch of the metafiles we write, and the resolution of the screen
// at which a metafile's size in pixels is reckoned.
inline constexpr int kPixelsPerInch = 96;

// Record functions of the records we write.
inline constexpr uint16_t kMetaSetWindowOrg = 0x020B;
inline constexpr uint16_t kMetaSetWindowExt = 0x020C;
inline constexpr uint16_t kMetaStretchDIB = 0x0F43;
inline constexpr uint16_t kMetaEOF = 0x0000;
inline constexpr uint32_t kRopSourceCopy = 0x00CC0020;

// numerator / denominator rounded to the nearest integer, halves to the even
// neighbour (317.5 gives 318, 952.5 gives 952). denominator must be positive.
int64_t RoundDivHalfEven(int64_t numerator, int64_t denominator);

// Writes at out's position (overwriting, then growing) a placeable metafile
// that draws bitmap at its size, and moves the position past it.
void WritePlaceableMetafile(const Bitmap24& bitmap, MemoryStream& out);

// The same metafile in three pieces, for writers that send it on without
// assembling it: the head (both headers, the window records and the
// stretch-DIB record up to its pixels), bitmap.pixels as they are, and the
// end record.
inline constexpr size_t kPlaceableMetafileHeadSize = 128;
std::string PlaceableMetafileHead(const Bitmap24& bitmap);
inline constexpr std::string_view kMetafileTail{"\x03\0\0\0\0\0", 6};

// The size in pixels at 96 pixels per inch of a placeable metafile.
struct MetafileSize {
  int32_t width = 0;
  int32_t height = 0;
};

// The size of the bounding box in pixels (rounded as above), when data starts
// with a placeable header with its key and a non-zero inch followed by a
// metafile header (type 1 or 2, header of 9 words, stated size not below it);
// nullopt for anything else, including data shorter than the two headers.
std::optional<MetafileSize> ReadPlaceableMetafile(std::string_view data);

}  // namespace qil
