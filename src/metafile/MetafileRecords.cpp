#include "metafile/MetafileRecords.h"

#include "base/LittleEndian.h"
#include "base/MemoryStream.h"
#include "picture/Gunzip.h"
#include "picture/Metafile.h"

namespace qil::metafile {
namespace {

constexpr size_t kRecordHeaderSize = 6;  // size in words (32 bits), function (16 bits)

// A metafile header at offset: in memory or on disk, 9 words long.
bool IsMetafileHeader(std::string_view data, size_t offset, bool check_version) {
  if (data.size() < offset + kMetafileHeaderSize) return false;
  const uint16_t type = ReadLE16(data, offset), words = ReadLE16(data, offset + 2);
  const uint16_t version = ReadLE16(data, offset + 4);
  if ((type != 1 && type != 2) || words != 9) return false;
  return !check_version || version == 0x0100 || version == 0x0300;
}

bool IsGzip(std::string_view data) { return data.size() >= 18 && data.substr(0, 2) == "\x1F\x8B"; }

}  // namespace

std::optional<MetafileBytes> MetafileBytes::Open(std::string_view data) {
  MetafileBytes bytes;
  bytes.source_ = data;
  if (IsGzip(data)) {
    MemoryStream packed{std::string(data)}, inflated;
    try {
      GunzipToStream(packed, inflated);
    } catch (const DecompressionError&) {
      return std::nullopt;
    }
    bytes.inflated_ = inflated.Take();
    if (IsGzip(*bytes.inflated_)) return std::nullopt;  // one layer only
  }
  const std::string_view file = bytes.Source();
  size_t header_at = 0;
  if (file.size() >= kPlaceableHeaderSize && ReadLE32(file, 0) == kPlaceableKey) {
    header_at = kPlaceableHeaderSize;
    if (!IsMetafileHeader(file, header_at, false)) return std::nullopt;
    PlaceableBox box{static_cast<int16_t>(ReadLE16(file, 6)), static_cast<int16_t>(ReadLE16(file, 8)),
                     static_cast<int16_t>(ReadLE16(file, 10)), static_cast<int16_t>(ReadLE16(file, 12)),
                     ReadLE16(file, 14)};
    if (box.inch != 0 && box.left != box.right && box.top != box.bottom) bytes.box_ = box;
  } else if (!IsMetafileHeader(file, 0, true)) {
    return std::nullopt;
  }
  bytes.records_at_ = header_at + kMetafileHeaderSize;
  return bytes;
}

uint16_t Params::U16(size_t word) const {
  if (word >= Words()) return 0;
  return ReadLE16(bytes_, 2 * word);
}

std::string_view Params::Bytes(size_t offset, size_t count) const {
  if (offset >= bytes_.size()) return {};
  return bytes_.substr(offset, count);
}

std::optional<Record> RecordReader::Next() {
  if (at_ >= records_.size() || !problem_.empty()) return std::nullopt;
  if (++count_ > kMaxRecords) {
    problem_ = "more than " + std::to_string(kMaxRecords) + " records";
    return std::nullopt;
  }
  const size_t left = records_.size() - at_;
  if (left < kRecordHeaderSize) return std::nullopt;  // padding after the last record
  const uint64_t size = uint64_t{ReadLE32(records_, at_)} * 2;
  const uint16_t function = ReadLE16(records_, at_ + 4);
  if (function == kEOF) return std::nullopt;
  if (size < kRecordHeaderSize || size > left) {
    problem_ = "record " + std::to_string(count_) + " has a size of " + std::to_string(size) + " bytes where " +
               std::to_string(left) + " are left";
    return std::nullopt;
  }
  Record record{function, Params(records_.substr(at_ + kRecordHeaderSize, size - kRecordHeaderSize))};
  at_ += size;
  return record;
}

}  // namespace qil::metafile
