#include "mathdb/MathDatabase.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "archive/ArchiveReader.h"
#include "base/Convert.h"
#include "base/LittleEndian.h"
#include "base/MemoryStream.h"
#include "base/Text.h"

namespace qil {

namespace {

constexpr const char* kEndpointsFile = "db/endpoints.txt";
constexpr const char* kMenuIdsFile = "db/menuid.txt";
constexpr const char* kMappingFile = "db/endpoint-mapping.txt";
constexpr std::string_view kImageMarker = "M_image";

// Case-insensitive ordering of mapping keys.
struct TextLess {
  bool operator()(const std::string& a, const std::string& b) const { return CompareText(a, b) < 0; }
};

std::string_view CodeOf(const IndexRecord& record) {
  return std::string_view(record.Code, strnlen(record.Code, sizeof record.Code));
}

// Holds one bundle of an operation from GetBundle to ReleaseBundle. A problem
// ID that is not a decimal number gives no bundle.
class BundleHold {
 public:
  BundleHold(MathDatabase& db, std::string_view id) : db_(db) {
    const std::optional<int32_t> position = TryStrToInt(id);
    if (!position) return;
    position_ = *position;
    bundle_ = db_.GetBundle(position_);
  }
  ~BundleHold() {
    if (bundle_) db_.ReleaseBundle(position_, bundle_);
  }
  BundleHold(const BundleHold&) = delete;
  BundleHold& operator=(const BundleHold&) = delete;

  const ProblemBundle* operator->() const { return bundle_.get(); }
  explicit operator bool() const { return bundle_ != nullptr; }

 private:
  MathDatabase& db_;
  int32_t position_ = -1;
  ProblemBundlePtr bundle_;
};

}  // namespace

std::string ProblemID(int32_t position) { return FormatZeroPadded("%6d", position); }

MathDatabase::MathDatabase() {
  menu_ids_.SetSorted(true);
}

MathDatabase::~MathDatabase() = default;

// ---------------------------------------------------------------- loading

bool MathDatabase::FitsDataRegion(int64_t offset, int64_t size) const {
  if (offset < 0 || size < 0 || offset > static_cast<int64_t>(UINT32_MAX) ||
      size > static_cast<int64_t>(UINT32_MAX)) {
    return false;
  }
  // The archive reads whole 8-byte blocks: the block's last one must be there too.
  return static_cast<uint64_t>(offset) + archive::RoundUp8(static_cast<uint64_t>(size)) <=
         data_region_size_;
}

void MathDatabase::ReadHeader(MemoryStream& stream) {
  if (!FitsDataRegion(0, kMathDBHeaderSize)) {
    throw DatabaseError("Damaged Math DB: the data region is too small to hold its header.");
  }
  archive_->ReadBlock(0, kMathDBHeaderSize, std::string(), stream);
  if (stream.Size() < kMathDBHeaderSize) {
    throw DatabaseError("Damaged Math DB: the header could not be read.");
  }
  int32_t fields[8];
  for (int i = 0; i < 8; ++i) fields[i] = static_cast<int32_t>(LoadU32LE(stream.Data() + 4 * i));
  header_ = {fields[0], fields[1], fields[2], fields[3], fields[4], fields[5], fields[6], fields[7]};
  if (header_.Version != kMathDBVersion) throw DatabaseError("Wrong Math DB version.");
}

void MathDatabase::ReadIndex(MemoryStream& stream) {
  const int64_t count = header_.RecordCount;
  if (count < 0 || !FitsDataRegion(header_.IndexOffset, count * kMathIndexRecordSize)) {
    throw DatabaseError("Damaged Math DB: the index of " + IntToStr(count) +
                           " records lies outside the data region.");
  }
  index_.assign(static_cast<size_t>(count), IndexRecord{});
  // Read in pieces of whole records, so that the index is never held twice
  // in full (its bytes and its records) while it loads; the peak memory of
  // start-up then grows with the disc by the records alone. A piece is a
  // multiple of 8 bytes, so every piece starts where the cipher's blocks do.
  constexpr int64_t kPieceRecords = 8192;
  static_assert(kPieceRecords * kMathIndexRecordSize % 8 == 0);
  for (int64_t first = 0; first < count; first += kPieceRecords) {
    const int64_t records = std::min(kPieceRecords, count - first);
    const auto size = static_cast<uint32_t>(records * kMathIndexRecordSize);
    const auto offset = static_cast<uint32_t>(header_.IndexOffset + first * kMathIndexRecordSize);
    archive_->ReadBlock(offset, size, std::string(), stream);
    if (stream.Size() < size) throw DatabaseError("Damaged Math DB: the index could not be read.");
    const char* p = stream.Data();
    for (int64_t i = first; i < first + records; ++i, p += kMathIndexRecordSize) {
      IndexRecord& record = index_[static_cast<size_t>(i)];
      std::memcpy(record.Code, p, 4);
      record.BlockOffset = LoadU32LE(p + 4);
      record.BlockSize = LoadU32LE(p + 8);
    }
  }
}

void MathDatabase::ReadCounts(MemoryStream& stream) {
  if (!FitsDataRegion(header_.CountsOffset, header_.CountsSize)) {
    throw DatabaseError("Damaged Math DB: the counts list lies outside the data region.");
  }
  stream.Clear();
  if (header_.CountsSize > 0) {
    archive_->ReadBlock(static_cast<uint32_t>(header_.CountsOffset),
                        static_cast<uint32_t>(header_.CountsSize), std::string(), stream);
  }
  counts_.LoadFromStream(stream);
}

void MathDatabase::Load(ArchiveReader& archive) {
  archive_ = &archive;
  data_region_size_ = archive.DataRegionSize();
  MemoryStream stream;

  ReadHeader(stream);
  ReadIndex(stream);

  endpoints_.SetSorted(false);
  counts_.SetSorted(false);
  archive.ReadFile(kEndpointsFile, stream);
  endpoints_.LoadFromStream(stream);

  menu_ids_.SetSorted(true);
  archive.ReadFile(kMenuIdsFile, stream);
  menu_ids_.LoadFromStream(stream);

  ReadCounts(stream);

  archive.ReadFile(kMappingFile, stream);
  if (stream.Size() == 0) return;
  StringList mapping;
  mapping.LoadFromStream(stream);
  ApplyEndpointMapping(mapping);
}

void MathDatabase::ApplyEndpointMapping(const StringList& mapping) {
  // Later lines with a key already seen are ignored: the first mapping of a code wins.
  std::map<std::string, std::string, TextLess> replacements;
  for (int i = 0; i < mapping.Count(); ++i) {
    const std::string& line = mapping[i];
    if (line.size() < 9) continue;
    replacements.emplace(line.substr(0, 4), line.substr(5, 4));
  }
  for (IndexRecord& record : index_) {
    const auto found = replacements.find(std::string(record.Code, 4));
    if (found != replacements.end()) std::memcpy(record.Code, found->second.data(), 4);
  }

  // The counts are kept as numbers too: an endpoint line with "=" among its
  // first three characters gives a counts line whose value does not read back.
  counts_.Clear();
  std::vector<int64_t> counted;
  for (int i = 0; i < endpoints_.Count(); ++i) {
    const std::string endpoint = endpoints_[i].substr(0, 3);
    counted.push_back(CountPrefix(endpoint));
    counts_.Add(endpoint + "=" + IntToStr(counted.back()));
  }

  // Copy each endpoint's run of records to the next free place. The source
  // base is the sum of the counts listed before the endpoint's own line.
  const int64_t total = RecordCount();
  std::vector<IndexRecord> regrouped(index_.size());
  int64_t write = 0;
  for (int i = 0; i < endpoints_.Count(); ++i) {
    const std::string endpoint = endpoints_[i].substr(0, 3);
    int64_t base = 0;
    for (int line = 0; line < counts_.Count(); ++line) {
      const int64_t n = counted[static_cast<size_t>(line)];
      if (counts_[line].compare(0, 3, endpoint) != 0) {
        base += n;
        continue;
      }
      const int64_t copy = std::max<int64_t>(0, std::min({n, total - write, total - base}));
      if (copy > 0) std::copy_n(index_.begin() + base, copy, regrouped.begin() + write);
      write += n;
      break;
    }
  }
  index_ = std::move(regrouped);
}

// ---------------------------------------------------------------- bundles

void MathDatabase::ReadBundleBlock(const IndexRecord& record, MemoryStream& stream) {
  archive_->ReadBlock(record.BlockOffset, record.BlockSize, block_key_, stream);
}

ProblemBundlePtr MathDatabase::ReadBundle(int32_t position) {
  if (position < 0 || position >= RecordCount()) {
    throw DatabaseError("No problem at position " + IntToStr(position) + ".");
  }
  const IndexRecord& record = index_[static_cast<size_t>(position)];
  if (!FitsDataRegion(record.BlockOffset, record.BlockSize)) {
    throw DatabaseError("Damaged problem bundle: the block lies outside the data region.");
  }
  MemoryStream stream;
  if (archive_ != nullptr) ReadBundleBlock(record, stream);
  if (stream.Size() != record.BlockSize) {
    throw DatabaseError("Damaged problem bundle: the block could not be read whole.");
  }
  return std::make_shared<const ProblemBundle>(ProblemBundle::Parse(stream.Take()));
}

ProblemBundlePtr MathDatabase::GetBundle(int32_t position) {
  if (position < 0 || position >= RecordCount()) return nullptr;
  {
    std::lock_guard<std::mutex> guard(lock_);
    for (BundleCacheEntry& entry : cache_) {
      if (entry.Position == position) {
        ++entry.RefCount;
        return entry.Bundle;
      }
    }
  }

  ProblemBundlePtr bundle;
  try {
    bundle = ReadBundle(position);
  } catch (const std::exception&) {
    return nullptr;  // a damaged or unreadable bundle counts as no bundle
  }

  std::lock_guard<std::mutex> guard(lock_);
  // Another caller may have cached this position while the block was read:
  // keep its entry, so there is one entry per position.
  for (BundleCacheEntry& entry : cache_) {
    if (entry.Position == position) {
      ++entry.RefCount;
      return entry.Bundle;
    }
  }
  if (static_cast<int>(cache_.size()) >= cache_capacity_) {
    // Evict the oldest-inserted entry that nobody holds; when all are held,
    // the bundle goes to the caller uncached.
    auto victim = std::find_if(cache_.rbegin(), cache_.rend(),
                               [](const BundleCacheEntry& entry) { return entry.RefCount == 0; });
    if (victim == cache_.rend()) return bundle;
    cache_.erase(std::next(victim).base());
  }
  cache_.insert(cache_.begin(), BundleCacheEntry{position, 1, bundle});
  return bundle;
}

void MathDatabase::ReleaseBundle(int32_t position, const ProblemBundlePtr& bundle) {
  std::lock_guard<std::mutex> guard(lock_);
  for (BundleCacheEntry& entry : cache_) {
    if (entry.Position == position) {
      if (entry.Bundle == bundle && entry.RefCount > 0) --entry.RefCount;
      return;
    }
  }
}

std::vector<BundleCacheEntry> MathDatabase::CacheSnapshot() const {
  std::lock_guard<std::mutex> guard(lock_);
  return cache_;
}

// ---------------------------------------------------------------- pages

void MathDatabase::GetPageText(std::string_view id, StringList& lines, PageKind kind,
                                 std::string_view script) {
  BundleHold bundle(*this, id);
  if (!bundle) return;
  const std::optional<std::string_view> problem = bundle->FindFile("P.htm");
  const std::optional<std::string_view> solution = bundle->FindFile("S.htm");
  switch (kind) {
    case pkProblem:
      if (!problem) return;
      lines.SetText(*problem);
      break;
    case pkSolution:
      if (!solution) return;
      lines.SetText(*solution);
      break;
    case pkBoth: {
      if (!problem) return;
      lines.SetText(*problem);
      if (solution) {
        StringList solution_lines;
        solution_lines.SetText(*solution);
        lines.AddStrings(solution_lines);
      }
      break;
    }
    default:
      return;
  }
  const std::string link = std::string(script) + "?ID=" + std::string(id) + "&gfx=" + std::string(kImageMarker);
  lines.SetText(ReplaceAll(lines.Text(), kImageMarker, link));
}

void MathDatabase::ListPageGraphics(std::string_view id, StringList& names) {
  BundleHold bundle(*this, id);
  if (!bundle) return;
  const std::string_view problem = bundle->FindFile("P.htm").value_or("");
  const std::string_view solution = bundle->FindFile("S.htm").value_or("");
  names.Clear();
  for (int file = 0; file < bundle->FileCount(); ++file) {
    const std::string& name = bundle->FileName(file);
    if (problem.find(name) != std::string_view::npos) names.Add("p," + name);
    if (solution.find(name) != std::string_view::npos) names.Add("s," + name);
  }
  names.Sort();
}

void MathDatabase::GetGraphic(std::string_view id, std::string_view name, MemoryStream& stream) {
  BundleHold bundle(*this, id);
  if (!bundle) return;
  if (const std::optional<std::string_view> data = bundle->FindFile(name)) stream.Assign(std::string(*data));
}

// ---------------------------------------------------------------- lookups

int32_t MathDatabase::GetEndpointCount(std::string_view code) const {
  const std::string value = counts_.Value(code.substr(0, 3));
  return value.empty() ? 0 : StrToInt(value);
}

bool MathDatabase::MatchesPrefix(const IndexRecord& record, std::string_view prefix) const {
  return prefix.size() <= sizeof record.Code && std::memcmp(record.Code, prefix.data(), prefix.size()) == 0;
}

int32_t MathDatabase::CountPrefix(std::string_view prefix) const {
  int32_t count = 0;
  for (const IndexRecord& record : index_) {
    if (MatchesPrefix(record, prefix)) ++count;
  }
  return count;
}

std::optional<int32_t> MathDatabase::FindNthProblem(std::string_view prefix, int32_t n) const {
  int32_t count = 0;
  int32_t position = 0;
  for (; position < RecordCount(); ++position) {
    if (MatchesPrefix(index_[static_cast<size_t>(position)], prefix)) ++count;
    if (count == n) break;
  }
  if (count == 0) return std::nullopt;
  return position;
}

int32_t MathDatabase::GetOrdinalInPrefix(std::string_view prefix, int32_t position) const {
  const int32_t last = std::min(position, RecordCount() - 1);
  int32_t count = 0;
  for (int32_t at = 0; at <= last; ++at) {
    if (MatchesPrefix(index_[static_cast<size_t>(at)], prefix)) ++count;
  }
  return count;
}

std::optional<std::string> MathDatabase::GetCode(int64_t position) const {
  if (position < 0 || position >= RecordCount()) return std::nullopt;
  return std::string(CodeOf(index_[static_cast<size_t>(position)]));
}

std::optional<std::string> MathDatabase::GetLevel(int64_t position) const {
  const std::optional<std::string> code = GetCode(position);
  if (!code || code->size() < 4) return std::nullopt;
  return code->substr(3, 1);
}

std::string MathDatabase::GetEndpointName(std::string_view key) const { return endpoints_.Value(key); }

std::string MathDatabase::GetMenuValue(std::string_view key) const { return menu_ids_.Value(key); }

}  // namespace qil
