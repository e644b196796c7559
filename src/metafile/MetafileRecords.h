// The bytes of a Windows metafile and a bounded walk over its records.
//
// MetafileBytes recognises a placeable metafile, a plain one (no placeable
// header) and a gzip member that inflates to either, and keeps the inflated
// bytes. RecordReader answers one record at a time; every length in the file
// is untrusted: a record whose size is below the minimum or runs past the
// data ends the walk, and so does the kMaxRecords-th record. Params reads
// answer 0 past the end of a record, so a short record never reads outside
// it. Plain values; not thread-safe, but independent objects may be used from
// different threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qil::metafile {

inline constexpr size_t kMaxRecords = 1'000'000;

// Record functions of the records the player understands.
enum RecordFunction : uint16_t {
  kEOF = 0x0000,
  kSaveDC = 0x001E,
  kRealizePalette = 0x0035,
  kCreatePalette = 0x00F7,
  kSetBkMode = 0x0102,
  kSetMapMode = 0x0103,
  kSetROP2 = 0x0104,
  kSetPolyFillMode = 0x0106,
  kRestoreDC = 0x0127,
  kSelectClipRegion = 0x012C,
  kSelectObject = 0x012D,
  kSetTextAlign = 0x012E,
  kDIBCreatePatternBrush = 0x0142,
  kDeleteObject = 0x01F0,
  kCreatePatternBrush = 0x01F9,
  kSetBkColor = 0x0201,
  kSetTextColor = 0x0209,
  kSetWindowOrg = 0x020B,
  kSetWindowExt = 0x020C,
  kSetViewportOrg = 0x020D,
  kSetViewportExt = 0x020E,
  kOffsetWindowOrg = 0x020F,
  kOffsetViewportOrg = 0x0211,
  kLineTo = 0x0213,
  kMoveTo = 0x0214,
  kOffsetClipRgn = 0x0220,
  kCreatePenIndirect = 0x02FA,
  kCreateFontIndirect = 0x02FB,
  kCreateBrushIndirect = 0x02FC,
  kPolygon = 0x0324,
  kPolyline = 0x0325,
  kScaleWindowExt = 0x0410,
  kScaleViewportExt = 0x0412,
  kExcludeClipRect = 0x0415,
  kIntersectClipRect = 0x0416,
  kEllipse = 0x0418,
  kRectangle = 0x041B,
  kTextOut = 0x0521,
  kPolyPolygon = 0x0538,
  kPatBlt = 0x061D,
  kRoundRect = 0x061C,
  kCreateRegion = 0x06FF,
  kArc = 0x0817,
  kPie = 0x081A,
  kChord = 0x0830,
  kDIBBitBlt = 0x0940,
  kExtTextOut = 0x0A32,
  kDIBStretchBlt = 0x0B41,
  kSetDIBitsToDevice = 0x0D33,
  kStretchDIB = 0x0F43,
};

// The bounding box of a placeable metafile, in its logical units, and how
// many of those units make an inch.
struct PlaceableBox {
  int16_t left = 0, top = 0, right = 0, bottom = 0;
  uint16_t inch = 0;
};

class MetafileBytes {
 public:
  // nullopt when data is not a metafile (nor a gzip member inflating to one).
  static std::optional<MetafileBytes> Open(std::string_view data);

  const std::optional<PlaceableBox>& Box() const { return box_; }
  // The records, from the first one after the metafile header.
  std::string_view Records() const { return std::string_view(Source()).substr(records_at_); }

 private:
  std::string_view Source() const { return inflated_ ? std::string_view(*inflated_) : source_; }

  std::string_view source_;
  std::optional<std::string> inflated_;
  std::optional<PlaceableBox> box_;
  size_t records_at_ = 0;
};

// The parameter words of one record.
class Params {
 public:
  explicit Params(std::string_view bytes) : bytes_(bytes) {}
  size_t Words() const { return bytes_.size() / 2; }
  bool Has(size_t words) const { return Words() >= words; }
  uint16_t U16(size_t word) const;
  int16_t S16(size_t word) const { return static_cast<int16_t>(U16(word)); }
  uint32_t U32(size_t word) const { return U16(word) | uint32_t{U16(word + 1)} << 16; }
  uint8_t U8(size_t offset) const { return offset < bytes_.size() ? static_cast<uint8_t>(bytes_[offset]) : 0; }
  // The bytes from byte offset on (at most count of them); empty past the end.
  std::string_view Bytes(size_t offset, size_t count = std::string_view::npos) const;

 private:
  std::string_view bytes_;
};

struct Record {
  uint16_t function;
  Params params;
};

class RecordReader {
 public:
  explicit RecordReader(std::string_view records) : records_(records) {}
  // The next record; nullopt at the end record, at the end of the data, at a
  // record that does not fit and after kMaxRecords records.
  std::optional<Record> Next();
  // Why the walk stopped before an end record; empty while it has not.
  const std::string& Problem() const { return problem_; }

 private:
  std::string_view records_;
  size_t at_ = 0;
  size_t count_ = 0;
  std::string problem_;
};

}  // namespace qil::metafile
