#include "picture/Metafile.h"

#include <cstdlib>
#include <string>

#include "base/LittleEndian.h"
#include "base/MemoryStream.h"

namespace qil {
namespace {

constexpr uint16_t kMetafileTypeMemory = 1;
constexpr uint16_t kMetafileTypeDisk = 2;
constexpr uint16_t kMetafileHeaderWords = 9;
constexpr uint16_t kMetafileVersion3 = 0x0300;
constexpr uint32_t kDibHeaderSize = 40;
constexpr int32_t kPixelsPerMetre = 3780;  // 96 pixels per inch
constexpr uint16_t kDibRgbColors = 0;

// Sizes in bytes of the records we write.
constexpr uint32_t kWindowRecordSize = 10;     // size, function, two words
constexpr uint32_t kStretchDIBFixedSize = 28;  // size, function, raster op, 9 words
constexpr uint32_t kEOFRecordSize = 6;
static_assert(kMetafileTail.size() == kEOFRecordSize);
static_assert(kPlaceableMetafileHeadSize ==
              kPlaceableHeaderSize + kMetafileHeaderSize + 2 * kWindowRecordSize + kStretchDIBFixedSize + kDibHeaderSize);

// Appends little-endian numbers to a byte string.
class LittleEndianWriter {
 public:
  explicit LittleEndianWriter(std::string& out) : out_(out) {}
  void U16(uint32_t value) { AppendLE16(out_, value); }
  void U32(uint32_t value) { AppendLE32(out_, value); }
  void RecordStart(uint32_t size_in_bytes, uint16_t function) {
    U32(size_in_bytes / 2);
    U16(function);
  }

 private:
  std::string& out_;
};

}  // namespace

int64_t RoundDivHalfEven(int64_t numerator, int64_t denominator) {
  int64_t quotient = numerator / denominator;
  int64_t remainder = numerator % denominator;
  if (remainder < 0) {  // make the remainder non-negative (floor division)
    remainder += denominator;
    --quotient;
  }
  if (2 * remainder > denominator || (2 * remainder == denominator && quotient % 2 != 0)) ++quotient;
  return quotient;
}

std::string PlaceableMetafileHead(const Bitmap24& bitmap) {
  const uint32_t pixel_bytes = static_cast<uint32_t>(bitmap.pixels.size());
  const uint32_t stretch_size = kStretchDIBFixedSize + kDibHeaderSize + pixel_bytes;
  const uint32_t total_size = kMetafileHeaderSize + 2 * kWindowRecordSize + stretch_size + kEOFRecordSize;
  const uint16_t width = static_cast<uint16_t>(bitmap.width);
  const uint16_t height = static_cast<uint16_t>(bitmap.height);

  std::string bytes;
  bytes.reserve(kPlaceableMetafileHeadSize);
  LittleEndianWriter w(bytes);

  // Placeable header: key, handle, bounding box, units per inch, reserved, checksum.
  w.U32(kPlaceableKey);
  w.U16(0);
  w.U16(0);
  w.U16(0);
  w.U16(width);
  w.U16(height);
  w.U16(kPixelsPerInch);
  w.U32(0);
  uint16_t checksum = 0;
  for (size_t i = 0; i < 20; i += 2) checksum ^= ReadLE16(bytes, i);
  w.U16(checksum);

  // Metafile header: type, header words, version, size in words, objects, largest record, unused.
  // Type 1 is what nearly every metafile file holds; some readers recognise no other.
  w.U16(kMetafileTypeMemory);
  w.U16(kMetafileHeaderWords);
  w.U16(kMetafileVersion3);
  w.U32(total_size / 2);
  w.U16(0);
  w.U32(stretch_size / 2);
  w.U16(0);

  // Window origin and extent; the parameters of a record come last first (y, then x).
  w.RecordStart(kWindowRecordSize, kMetaSetWindowOrg);
  w.U16(0);
  w.U16(0);
  w.RecordStart(kWindowRecordSize, kMetaSetWindowExt);
  w.U16(height);
  w.U16(width);

  // The bitmap, source rectangle = destination rectangle = the whole picture.
  w.RecordStart(stretch_size, kMetaStretchDIB);
  w.U32(kRopSourceCopy);
  w.U16(kDibRgbColors);
  w.U16(height);  // source height, width, y, x
  w.U16(width);
  w.U16(0);
  w.U16(0);
  w.U16(height);  // destination height, width, y, x
  w.U16(width);
  w.U16(0);
  w.U16(0);
  // BITMAPINFOHEADER of a bottom-up 24-bit DIB without a colour table.
  w.U32(kDibHeaderSize);
  w.U32(static_cast<uint32_t>(bitmap.width));
  w.U32(static_cast<uint32_t>(bitmap.height));
  w.U16(1);
  w.U16(24);
  w.U32(0);
  w.U32(pixel_bytes);
  w.U32(kPixelsPerMetre);
  w.U32(kPixelsPerMetre);
  w.U32(0);
  w.U32(0);
  return bytes;
}

void WritePlaceableMetafile(const Bitmap24& bitmap, MemoryStream& out) {
  out.Write(PlaceableMetafileHead(bitmap));
  out.Write(bitmap.pixels.data(), bitmap.pixels.size());
  out.Write(kMetafileTail);
}

std::optional<MetafileSize> ReadPlaceableMetafile(std::string_view data) {
  if (data.size() < kPlaceableHeaderSize + kMetafileHeaderSize) return std::nullopt;
  if (ReadLE32(data, 0) != kPlaceableKey) return std::nullopt;
  const uint16_t inch = ReadLE16(data, 14);
  if (inch == 0) return std::nullopt;
  const std::string_view header = data.substr(kPlaceableHeaderSize);
  const uint16_t type = ReadLE16(header, 0);
  if ((type != kMetafileTypeMemory && type != kMetafileTypeDisk) || ReadLE16(header, 2) != kMetafileHeaderWords ||
      ReadLE32(header, 6) < kMetafileHeaderWords) {
    return std::nullopt;
  }
  const auto coordinate = [&](size_t offset) { return static_cast<int16_t>(ReadLE16(data, offset)); };
  const int64_t box_width = std::abs(coordinate(10) - coordinate(6));
  const int64_t box_height = std::abs(coordinate(12) - coordinate(8));
  MetafileSize size;
  size.width = static_cast<int32_t>(RoundDivHalfEven(box_width * kPixelsPerInch, inch));
  size.height = static_cast<int32_t>(RoundDivHalfEven(box_height * kPixelsPerInch, inch));
  return size;
}

}  // namespace qil
