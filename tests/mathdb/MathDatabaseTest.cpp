// The math database on a bank the builder packed: the builder's order, lookups, level
// folding, damaged regions, the endpoint mapping, the page operations and the bundle cache.
#include <gtest/gtest.h>

#include <atomic>
#include <bit>
#include <chrono>
#include <cstring>
#include <random>
#include <set>
#include <thread>

#include "archive/ArchiveFormat.h"
#include "base/MemoryStream.h"
#include "mathdb/BankFixture.h"
#include "mathdb/LevelFoldingDatabase.h"

namespace qil {
namespace {

using test::RegionWord, test::SetRegionWord;

// Every record's code, blank-separated; a cleared record's "" shows as "-", which sorts below any code.
std::string Codes(const MathDatabase& db) {
  std::string codes;
  for (int32_t i = 0; i < db.RecordCount(); ++i) codes += " " + std::max(db.GetCode(i).value_or("?"), std::string("-"));
  return codes.substr(1);
}

// Endpoints B02 (positions 0-1), A01 (2-5), C12 (6-8).
class MathDatabaseTest : public ::testing::Test {
 protected:
  MathDatabaseTest() {
    source_.SetEndpoints({"B02=Equations", "A01=Fractions", "C12=Triangles"});
    for (const char* code : {"C124", "C123", "A012"}) source_.AddSimpleProblem(code, "1");
    for (const char* number : {"10", "2", "09"}) source_.AddSimpleProblem("A011", number);
    source_.AddSimpleProblem("C124", "2");
    source_.AddProblem("B021", "1", {{"P.htm", "<img src=\"M_image2.gif\"> and <img src=\"M_image2.gif\">"},
                                     {"S.htm", "<img src=\"M_image1.png\">"}, {"M_image1.png", "PNG"},
                                     {"M_image10.png", "unused"}, {"M_image2.gif", "GIFDATA"}});
    source_.AddProblem("B021", "2", {{"P.htm", "only a problem, M_image9.png"}, {"M_image9.png", "9"}});
  }

  // Writes the archive of the source's db/ files and region and loads db from it.
  void Load(MathDatabase& db, const std::string& region) {
    source_.WriteArchive(path_, region);
    test::OpenArchive(archive_, path_);
    db.Load(archive_);
  }

  test::TempDir dir_{test::TempPlace::kMemory};
  test::BankSource source_{dir_.Path() / "src"};
  std::filesystem::path path_ = dir_.Path() / "math.dat";
  ArchiveReader archive_;
};

TEST_F(MathDatabaseTest, BuilderOrderLookupsAndLevelFolding) {
  MathDatabase db;
  Load(db, source_.BuildRegion());
  std::string order;  // endpoints as listed, then level, then number (blocks read back only when 8-aligned)
  for (int32_t i = 0; i < db.RecordCount(); ++i) order += db.ReadBundle(i)->Lines()[0] + " ";
  EXPECT_EQ(order, "B021/1 B021/2 A011/2 A011/09 A011/10 A012/1 C123/1 C124/1 C124/2 ");
  EXPECT_EQ(db.ReadBundle(0)->Lines().Text(),  // file names in byte order
            "B021/1\r\nqil-problem-bundle 1\r\nM_image1.png\r\nM_image10.png\r\nM_image2.gif\r\nP.htm\r\nS.htm\r\n");
  EXPECT_EQ(Codes(db), "B021 B021 A011 A011 A011 A012 C123 C124 C124");
  EXPECT_EQ(db.Counts().Text(), "B02=2\r\nA01=4\r\nC12=3\r\n");

  for (const auto& [prefix, count] : {std::pair{"A01", 4}, {"A011", 3}, {"a01", 0}, {"A0111", 0}, {"", 9}}) {
    EXPECT_EQ(db.CountPrefix(prefix), count) << prefix;  // byte for byte
  }
  EXPECT_EQ(db.FindNthProblem("A01", 1), 2);
  EXPECT_EQ(db.FindNthProblem("A01", 4), 5);
  EXPECT_EQ(db.FindNthProblem("A01", 5), 9);  // fewer than 5 match: RecordCount
  EXPECT_EQ(db.FindNthProblem("Z99", 1), std::nullopt);
  EXPECT_EQ(db.GetOrdinalInPrefix("A01", 1), 0);
  EXPECT_EQ(db.GetOrdinalInPrefix("A01", 3), 2);
  EXPECT_EQ(db.GetOrdinalInPrefix("C124", 123456), 2);  // up to the last record
  EXPECT_EQ(db.GetOrdinalInPrefix("A01", -1), 0);
  EXPECT_EQ(db.GetLevel(5), "2");
  for (const int64_t outside : {int64_t{9}, int64_t{-1}, int64_t{1} << 32}) {
    EXPECT_FALSE(db.GetCode(outside) || db.GetLevel(outside)) << outside;
  }
  EXPECT_EQ(db.GetEndpointCount("C124"), 3);  // the first three characters name the endpoint
  EXPECT_EQ(db.GetEndpointCount("Z99"), 0);

  LevelFoldingDatabase edition;  // folds level 4 into 3 and keeps the counts
  Load(edition, source_.BuildRegion());
  EXPECT_EQ(Codes(edition), "B021 B021 A011 A011 A011 A012 C123 C123 C123");
  EXPECT_EQ(edition.Counts().Text(), db.Counts().Text());
}

// Load refuses a header, index or counts list outside the region, counting whole 8-byte
// blocks as the archive reads them: 12 bytes that end with the region reach past it.
TEST_F(MathDatabaseTest, LoadRefusesPartsOutsideTheRegion) {
  const std::string sound = source_.BuildRegion();
  const auto end = static_cast<uint32_t>(archive::RoundUp8(sound.size()));
  const std::pair<std::vector<std::pair<size_t, uint32_t>>, std::string> cases[] = {
      {{{4, 2}}, "Wrong Math DB version."},
      {{{4, 4}}, "Wrong Math DB version."},
      {{{12, 0}}, "(none)"},
      {{{12, 0x7FFFFFFF}}, "the index of 2147483647 records lies outside the data region"},
      {{{12, 0x15555556}}, "the index of 357913942 records"},  // 12 times the count wraps 32 bits
      {{{12, 0xFFFFFFFF}}, "the index of -1 records"},
      {{{8, end - 12}, {12, 1}}, "the index of 1 records"},
      {{{16, end}}, "the counts list lies outside"},
      {{{16, end - 12}, {20, 12}}, "the counts list lies outside"},
  };
  for (const auto& [words, expected] : cases) {
    std::string region = sound;
    for (const auto& [at, value] : words) SetRegionWord(region, at, value);
    const std::string error = test::ErrorOf([&] { MathDatabase db; Load(db, region); });
    EXPECT_NE(error.find(expected), std::string::npos) << error;
  }
  MathDatabase db;
  EXPECT_THROW(Load(db, ""), DatabaseError);  // no region at all: too small for the header
}

// Bundles damaged inside (2), outside the region (3), past it by their last 8-byte block (4) or
// their size (5), positions outside the index, a count that is no number: each fails when asked for.
TEST_F(MathDatabaseTest, DamagedPartsFailOnlyWhenAskedFor) {
  std::string region = source_.BuildRegion();
  const auto end = static_cast<uint32_t>(archive::RoundUp8(region.size()));
  const uint32_t index = RegionWord(region, 8), counts = RegionWord(region, 16);
  SetRegionWord(region, RegionWord(region, index + 2 * 12 + 4), 0x00FFFFFF);
  for (const auto& [at, value] : {std::pair<uint32_t, uint32_t>{3 * 12 + 4, 0xFFFFFF00u},
                                  {4 * 12 + 4, end - 12}, {4 * 12 + 8, 12}, {5 * 12 + 8, end}}) {
    SetRegionWord(region, index + at, value);
  }
  region.replace(counts, 5, "B02=x");
  MathDatabase db;
  Load(db, region);
  for (const int32_t position : {2, 3, 4, 5, 9, -1}) {
    EXPECT_EQ(db.GetBundle(position), nullptr) << position;
    EXPECT_THROW(db.ReadBundle(position), DatabaseError) << position;
  }
  EXPECT_TRUE(db.CacheSnapshot().empty());
  EXPECT_TRUE(db.GetBundle(1) && db.GetBundle(6));  // the neighbours are sound
  EXPECT_THROW(db.GetEndpointCount("B02"), ConvertError);
  EXPECT_EQ(db.GetEndpointCount("A01"), 4);
}

// An index longer than Load's pieces: every record lands whole in its place, across the borders too.
TEST_F(MathDatabaseTest, LongIndexLoadsEveryRecordInPlace) {
  static_assert(std::endian::native == std::endian::little, "the records then hold the file's bytes");
  constexpr uint32_t kRecords = 8192 * 2 + 5;
  std::string region(archive::RoundUp8(32 + 12 * kRecords), '\0');  // and no counts list
  for (uint32_t word = 0; word < 3 * kRecords; ++word) SetRegionWord(region, 32 + 4 * word, word);
  for (const auto& [at, value] : {std::pair{4u, 3u}, {8u, 32u}, {12u, kRecords}}) SetRegionWord(region, at, value);
  MathDatabase db;
  Load(db, region);
  ASSERT_EQ(db.RecordCount(), static_cast<int32_t>(kRecords));
  EXPECT_EQ(std::memcmp(db.Index().data(), region.data() + 32, 12 * kRecords), 0);
}

// The first mapping of a code wins (keys ignore case, short lines are ignored); what no endpoint
// claims is cleared; endpoints listed twice or that are no codes never make it write past the index.
TEST_F(MathDatabaseTest, EndpointMappingRecountsAndRegroups) {
  const std::string region = source_.BuildRegion();
  struct Case {
    std::vector<std::string> more_endpoints;
    std::string mapping, counts, codes;
  };
  const Case cases[] = {
      {{}, "A011=B022\r\nA011=C121\r\n", "B02=5\r\nA01=1\r\nC12=3\r\n", "B021 B021 B022 B022 B022 A012 C123 C124 C124"},
      {{}, "c124=Z991\r\nshort\r\n", "B02=2\r\nA01=4\r\nC12=1\r\n", "B021 B021 A011 A011 A011 A012 C123 - -"},
      {{"B02=Again", "B=Short", "=x"}, "C124=C123\r\n", "B02=2\r\nA01=4\r\nC12=3\r\nB02=2\r\nB=S=0\r\n=x=0\r\n",
       "B021 B021 A011 A011 A011 A012 C123 C123 C123"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> endpoints = {"B02=Equations", "A01=Fractions", "C12=Triangles"};
    endpoints.insert(endpoints.end(), c.more_endpoints.begin(), c.more_endpoints.end());
    source_.SetEndpoints(endpoints);
    source_.SetDbFile("endpoint-mapping.txt", c.mapping);
    MathDatabase db;
    Load(db, region);
    EXPECT_EQ(db.Counts().Text(), c.counts) << c.mapping;
    EXPECT_EQ(Codes(db), c.codes) << c.mapping;
    for (int32_t i = 0; i < db.RecordCount(); ++i) {  // a cleared record has no bundle and no level
      EXPECT_TRUE(db.GetCode(i) != "" || (!db.GetBundle(i) && !db.GetLevel(i))) << "cleared record " << i;
    }
  }
}

TEST_F(MathDatabaseTest, PagesAndPictures) {
  MathDatabase db;
  Load(db, source_.BuildRegion());
  StringList lines;
  db.GetPageText("000000", lines, pkBoth, "mathgfx.stmp");  // every picture name rewritten
  EXPECT_EQ(lines.Text(), "<img src=\"mathgfx.stmp?ID=000000&gfx=M_image2.gif\"> and "
                          "<img src=\"mathgfx.stmp?ID=000000&gfx=M_image2.gif\">\r\n"
                          "<img src=\"mathgfx.stmp?ID=000000&gfx=M_image1.png\">\r\n");
  db.GetPageText("0", lines, pkSolution, "g");  // the ID as the request wrote it
  EXPECT_EQ(lines.Text(), "<img src=\"g?ID=0&gfx=M_image1.png\">\r\n");
  for (const char* id : {"000009", "-1", "abc", "4294967296"}) db.GetPageText(id, lines, pkProblem, "m");
  db.GetPageText("1", lines, pkSolution, "m");  // no S.htm
  EXPECT_EQ(lines.Text(), "<img src=\"g?ID=0&gfx=M_image1.png\">\r\n");  // untouched
  db.GetPageText("1", lines, pkBoth, "m");  // no S.htm: the problem page alone
  EXPECT_EQ(lines.Text(), "only a problem, m?ID=1&gfx=M_image9.png\r\n");

  StringList names;
  db.ListPageGraphics("0", names);  // sorted; M_image10.png is named by no page
  EXPECT_EQ(names.Text(), "p,M_image2.gif\r\ns,M_image1.png\r\n");
  db.ListPageGraphics("1", names);  // no S.htm: it names nothing
  db.ListPageGraphics("9", names);  // no bundle: untouched
  EXPECT_EQ(names.Text(), "p,M_image9.png\r\n");
  MemoryStream stream;
  db.GetGraphic("000000", "m_IMAGE2.GIF", stream);
  db.GetGraphic("0", "M_image7.png", stream);  // no such file: untouched
  db.GetGraphic("9", "M_image2.gif", stream);
  EXPECT_EQ(stream.View(), "GIFDATA");
  EXPECT_EQ(stream.Position(), 0u);
}

// Counts bundle reads. Once paired, a read waits (20 s at most) for a second
// one to start: two reads overlap unless a lock is held during a read.
class CountingDB : public MathDatabase {
 public:
  std::atomic<int> reads{0};
  std::atomic<bool> paired{false}, timed_out{false};

 protected:
  void ReadBundleBlock(const IndexRecord& record, MemoryStream& stream) override {
    ++reads;
    for (int i = 0; paired && reads < 2 && i < 2000; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (paired && reads < 2) timed_out = true;
    MathDatabase::ReadBundleBlock(record, stream);
  }
};

constexpr int kCapacity = MathDatabase::kCacheCapacity;

// The bank with 100 more problems at positions 6 to 105.
class CacheTest : public MathDatabaseTest {
 protected:
  void SetUp() override {
    for (int i = 1; i <= 100; ++i) source_.AddSimpleProblem("A013", std::to_string(i));
    Load(db_, source_.BuildRegion());
  }
  int32_t RefCount(int32_t position) const {  // -1: not cached
    for (const BundleCacheEntry& entry : db_.CacheSnapshot()) {
      if (entry.Position == position) return entry.RefCount;
    }
    return -1;
  }

  CountingDB db_;
};

// Eviction takes the first inserted free entry (a hit moves nothing). With all held, a bundle goes out
// uncached, dies with its holder, and its release leaves alone the entry a later request cached.
TEST_F(CacheTest, EvictsOnlyEntriesNobodyHolds) {
  std::vector<ProblemBundlePtr> held;
  for (int i = 0; i < kCapacity; ++i) held.push_back(db_.GetBundle(i));
  EXPECT_EQ(db_.GetBundle(0), held[0]);
  EXPECT_EQ(db_.reads, kCapacity);
  ProblemBundlePtr uncached = db_.GetBundle(kCapacity);
  for (int i : {1, 2, 2}) db_.ReleaseBundle(i, held[i]);  // one release too many stops at 0
  db_.ReleaseBundle(1, db_.GetBundle(1));
  const ProblemBundlePtr cached = db_.GetBundle(kCapacity);
  const std::weak_ptr<const ProblemBundle> watch = uncached;
  db_.ReleaseBundle(kCapacity, uncached);
  uncached.reset();
  EXPECT_TRUE(watch.expired());
  EXPECT_EQ(std::vector({RefCount(kCapacity), RefCount(0), RefCount(1), RefCount(2)}), std::vector({1, 2, -1, 0}));
  EXPECT_EQ(held[1]->FindFile("P.htm"), "only a problem, M_image9.png");  // evicted, still valid for its holder
}

// A larger cache keeps every bundle read once; a smaller one than the default keeps the default.
TEST_F(CacheTest, CapacityCanGrowButNotShrink) {
  db_.SetCacheCapacity(1);
  for (int i = 0; i < 100; ++i) db_.ReleaseBundle(i, db_.GetBundle(i));
  EXPECT_EQ(db_.CacheSnapshot().size(), size_t{kCapacity});
  db_.SetCacheCapacity(1000);
  for (int pass = 0; pass < 2; ++pass) {
    for (int i = 0; i < 100; ++i) db_.ReleaseBundle(i, db_.GetBundle(i));
  }
  EXPECT_EQ(db_.CacheSnapshot().size(), 100u);
  EXPECT_EQ(db_.reads, 100 + (100 - kCapacity));
}

// Four threads at random; their first requests, all of 7, read at once (no lock is held during a
// read) and share one bundle. In the end every entry is free and of its own position.
TEST_F(CacheTest, ConcurrentReadersShareEntriesAndLeaveThemFree) {
  db_.paired = true;
  ProblemBundlePtr firsts[4];
  std::vector<std::thread> threads;
  for (unsigned t = 0; t < 4; ++t) {
    threads.emplace_back([this, t, &firsts] {
      firsts[t] = db_.GetBundle(7);
      std::minstd_rand random(t + 1);
      for (int step = 0; step < 3000; ++step) {
        const auto p = static_cast<int32_t>(random() % 100), q = static_cast<int32_t>(random() % 100);
        const ProblemBundlePtr held = db_.GetBundle(p), other = db_.GetBundle(q);
        if (!held || !other) ADD_FAILURE() << "no bundle for " << p << " or " << q;
        db_.ReleaseBundle(p, held);
        db_.ReleaseBundle(q, other);
      }
      db_.ReleaseBundle(7, firsts[t]);
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_FALSE(db_.timed_out) << "the first reads did not overlap";
  for (const ProblemBundlePtr& first : firsts) EXPECT_EQ(first, firsts[0]);
  std::set<int32_t> seen;
  for (const BundleCacheEntry& entry : db_.CacheSnapshot()) {
    EXPECT_TRUE(entry.RefCount == 0 && seen.insert(entry.Position).second) << entry.Position;
  }
  EXPECT_LE(seen.size(), static_cast<size_t>(kCapacity));
}

}  // namespace
}  // namespace qil
