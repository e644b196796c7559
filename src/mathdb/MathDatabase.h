// The math database: the catalogue of every problem on the disc.
//
// It lives in the content archive as three list files ("db/endpoints.txt",
// "db/menuid.txt", optionally "db/endpoint-mapping.txt") and as binary blocks
// of the archive's data region: a 32-byte header, an index of 12-byte records
// (one per problem, in position order), a counts list ("CCC=N" per endpoint)
// and one bundle per problem (see Bundle.h; docs/archive-format.md has the
// whole layout). Start-up creates one MathDatabase, calls Load once and hands
// it to the page modules in their context; they ask it about codes, prefixes
// and positions and fetch problem pages and pictures from it.
//
// Positions are 0-based indexes into the index; a problem ID is a position as
// six digits ("000123"). Lookups take positions and answer std::nullopt when
// they find nothing. The page functions take the ID as the request wrote it
// (any decimal text of a position), because it reappears in the pages'
// picture links; without a bundle they leave their target untouched. None of
// them raises for a position or ID that names no problem.
//
// Every length, offset and count read from the archive is checked against the
// size of the data region before it is used: Load raises DatabaseError for
// an index or counts list outside the region, and a bundle outside the region
// or damaged counts as no bundle.
//
// Thread safety: Load runs alone, before any other call. Afterwards the index
// and the lists never change and are read without locking; the bundle cache
// is guarded by a mutex that is held only around cache lookups, insertions,
// evictions and reference counts, never while a block is read.
//
// Bundles and the cache: GetBundle hands out a shared pointer and counts one
// reference on the cache entry; ReleaseBundle with the same pointer gives the
// reference back. An entry is evicted only when nobody holds it, and a bundle
// that could not be cached (every entry held) lives exactly as long as its
// holder keeps the pointer, so dropping the pointer after ReleaseBundle frees
// it. Because ReleaseBundle compares the pointer, a release of an uncached
// bundle never lowers the count of an entry that another caller cached later
// for the same position.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/StringList.h"
#include "base/Variant.h"
#include "mathdb/Bundle.h"
#include "mathdb/DatabaseError.h"

namespace qil {

class ArchiveReader;
class MemoryStream;

// The header block at offset 0 of the data region: eight 32-bit little-endian
// signed integers.
struct DatabaseHeader {
  int32_t Reserved0 = 0;
  int32_t Version = 0;
  int32_t IndexOffset = 0;
  int32_t RecordCount = 0;
  int32_t CountsOffset = 0;
  int32_t CountsSize = 0;
  int32_t Reserved24 = 0;
  int32_t Reserved28 = 0;
};

constexpr int32_t kMathDBVersion = 3;
constexpr uint32_t kMathDBHeaderSize = 32;
constexpr uint32_t kMathIndexRecordSize = 12;

// One problem of the index: its 4-character code (no terminator; a cleared
// record holds four zero bytes) and where its bundle lies in the data region.
struct IndexRecord {
  char Code[4] = {0, 0, 0, 0};
  uint32_t BlockOffset = 0;
  uint32_t BlockSize = 0;
};
static_assert(sizeof(IndexRecord) == kMathIndexRecordSize);

// The page a GetPageText call asks for.
enum PageKind { pkProblem = 0, pkSolution = 1, pkBoth = 2 };

// The problem ID of a position: six digits with leading zeros ("000123").
std::string ProblemID(int32_t position);

using ProblemBundlePtr = std::shared_ptr<const ProblemBundle>;

// One cached bundle: how many holders it has and the bundle itself.
struct BundleCacheEntry {
  int32_t Position = 0;
  int32_t RefCount = 0;
  ProblemBundlePtr Bundle;
};

class MathDatabase : public ListObject {
 public:
  static constexpr int kCacheCapacity = 64;

  MathDatabase();
  ~MathDatabase() override;
  MathDatabase(const MathDatabase&) = delete;
  MathDatabase& operator=(const MathDatabase&) = delete;

  // Reads header, index, list files and counts from the archive (which must
  // outlive this object). Raises DatabaseError "Wrong Math DB version." for
  // a version other than 3, DatabaseError naming the fault for a header,
  // index or counts list that does not fit the data region; archive errors
  // pass through.
  virtual void Load(ArchiveReader& archive);

  // Replaces codes by the mapping's lines ("CODE=CODE", 9 characters; shorter
  // lines are ignored), recounts every endpoint of Endpoints into Counts and
  // regroups the index in endpoint order. Records no endpoint claims are
  // cleared; the regrouping never writes beyond RecordCount records, also when
  // Endpoints lists an endpoint twice.
  void ApplyEndpointMapping(const StringList& mapping);

  const DatabaseHeader& Header() const { return header_; }
  int32_t RecordCount() const { return static_cast<int32_t>(index_.size()); }
  const std::vector<IndexRecord>& Index() const { return index_; }
  const StringList& Endpoints() const { return endpoints_; }
  const StringList& MenuIds() const { return menu_ids_; }
  const StringList& Counts() const { return counts_; }
  // Key of every bundle read; empty means the archive's content key.
  const std::string& BlockKey() const { return block_key_; }
  void SetBlockKey(std::string key) { block_key_ = std::move(key); }

  // The bundle of a position through the cache, with one reference counted
  // for the caller; nullptr for a position outside the index or a bundle that
  // cannot be read or is damaged. Pair every non-null result with ReleaseBundle.
  ProblemBundlePtr GetBundle(int32_t position);
  // Gives back the reference that GetBundle counted for this bundle.
  void ReleaseBundle(int32_t position, const ProblemBundlePtr& bundle);
  // Reads and parses the bundle of a position without the cache. Raises
  // DatabaseError for a position outside the index, a block outside the
  // data region or a damaged block.
  ProblemBundlePtr ReadBundle(int32_t position);

  // Fills lines with the problem page, the solution page or both, every
  // "M_image" rewritten into script + "?ID=" + id + "&gfx=M_image". Without a
  // bundle or the requested page lines stay untouched. For pkBoth without a
  // solution page lines hold the (rewritten) problem page.
  void GetPageText(std::string_view id, StringList& lines, PageKind kind, std::string_view script);
  // Fills names with "p," + file for every file of the bundle named in the
  // problem page and "s," + file for every file named in the solution page,
  // sorted without regard to letter case. A missing page counts as a page that
  // names nothing. Without a bundle names stays untouched.
  void ListPageGraphics(std::string_view id, StringList& names);
  // Replaces stream's bytes by the named file of the bundle, positioned at 0;
  // without a bundle or such a file stream stays untouched.
  void GetGraphic(std::string_view id, std::string_view name, MemoryStream& stream);

  // The count of the endpoint named by the first three characters of code;
  // 0 when Counts has none. A count that is not a number raises ConvertError.
  int32_t GetEndpointCount(std::string_view code) const;
  // Records whose code starts with prefix (byte for byte).
  int32_t CountPrefix(std::string_view prefix) const;
  // The position of the n-th record (from 1) matching prefix; RecordCount()
  // when fewer than n but some match; nullopt when none match.
  std::optional<int32_t> FindNthProblem(std::string_view prefix, int32_t n) const;
  // Matching records at positions 0 to position (at most the last record).
  int32_t GetOrdinalInPrefix(std::string_view prefix, int32_t position) const;
  // The record's code (up to four characters; a cleared record gives ""), or
  // nullopt for a position outside the index.
  std::optional<std::string> GetCode(int64_t position) const;
  // The 4th character of the record's code, or nullopt when it has none.
  std::optional<std::string> GetLevel(int64_t position) const;
  // The value of key in Endpoints / MenuIds (letter case ignored), or "".
  std::string GetEndpointName(std::string_view key) const;
  std::string GetMenuValue(std::string_view key) const;

  // How many bundles the cache keeps (kCacheCapacity unless changed). A
  // server that answers many readers at once keeps more; call before the
  // first lookup. Values below kCacheCapacity count as kCacheCapacity.
  void SetCacheCapacity(int capacity) { cache_capacity_ = std::max(capacity, kCacheCapacity); }

  // The cache as it stands, front (newest) first: for diagnostics and tests.
  std::vector<BundleCacheEntry> CacheSnapshot() const;

 protected:
  // Reads one bundle block of the data region. The only place where bundles
  // are read from the archive; called without the cache lock held.
  virtual void ReadBundleBlock(const IndexRecord& record, MemoryStream& stream);

  // For editions that adjust the index after loading.
  std::vector<IndexRecord>& MutableIndex() { return index_; }

 private:
  // Rejects a block [offset, offset + size) that does not fit the data region,
  // counting size rounded up to whole 8-byte blocks, as the archive reads it.
  bool FitsDataRegion(int64_t offset, int64_t size) const;
  void ReadHeader(MemoryStream& stream);
  void ReadIndex(MemoryStream& stream);
  void ReadCounts(MemoryStream& stream);
  bool MatchesPrefix(const IndexRecord& record, std::string_view prefix) const;

  DatabaseHeader header_;
  ArchiveReader* archive_ = nullptr;
  uint64_t data_region_size_ = 0;
  std::vector<IndexRecord> index_;
  std::vector<BundleCacheEntry> cache_;
  int cache_capacity_ = kCacheCapacity;
  mutable std::mutex lock_;
  StringList menu_ids_;
  StringList endpoints_;
  StringList counts_;
  std::string block_key_;
};

}  // namespace qil
