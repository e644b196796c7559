// The 64-entry reference-counted bundle cache: eviction, held entries,
// reference counts, and concurrent use.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <random>
#include <set>
#include <thread>

#include "mathdb/BankFixture.h"
#include "mathdb/MathDatabase.h"

namespace qil {
namespace {

constexpr int kProblems = 100;
constexpr int kCapacity = MathDatabase::kCacheCapacity;

// A database whose bundle reads can be made to wait: reads of the position
// set in gated_ block until Open() is called, and every read is counted.
class GatedDB : public MathDatabase {
 public:
  // Blocks reads of position until Open(); waits at most a few seconds so a
  // faulty lock cannot hang the test (the timeout is recorded and checked).
  void Gate(int32_t position) { gated_ = position; }
  void Open() {
    std::lock_guard<std::mutex> guard(mutex_);
    open_ = true;
    changed_.notify_all();
  }
  // Makes reads of position wait until `count` reads of it are under way at once.
  void Meet(int32_t position, int count) {
    meet_position_ = position;
    meet_count_ = count;
  }
  bool TimedOut() const { return timed_out_; }
  int Reads() const { return reads_; }
  int Waiting() {
    std::lock_guard<std::mutex> guard(mutex_);
    return waiting_;
  }

 protected:
  void ReadBundleBlock(const IndexRecord& record, MemoryStream& stream) override {
    ++reads_;
    const auto position = static_cast<int32_t>(&record - Index().data());
    {
      std::unique_lock<std::mutex> lock(mutex_);
      ++waiting_;
      changed_.notify_all();
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
      bool ok = true;
      if (position == gated_) ok = changed_.wait_until(lock, deadline, [this] { return open_; });
      if (position == meet_position_) {
        ok = changed_.wait_until(lock, deadline, [this] { return waiting_ >= meet_count_; });
      }
      if (!ok) timed_out_ = true;
    }
    MathDatabase::ReadBundleBlock(record, stream);
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::atomic<int32_t> gated_{-1};
  std::atomic<int32_t> meet_position_{-1};
  int meet_count_ = 0;
  int waiting_ = 0;
  bool open_ = false;
  std::atomic<bool> timed_out_{false};
  std::atomic<int> reads_{0};
};

class CacheTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new test::TempDir();
    test::BankSource source(dir_->Path() / "src");
    source.SetEndpoints({"A01=Arithmetic"});
    for (int i = 1; i <= kProblems; ++i) source.AddSimpleProblem("A011", std::to_string(i));
    source.WriteArchive(dir_->Path() / "math.dat");
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }
  void SetUp() override {
    test::OpenArchive(archive_, dir_->Path() / "math.dat");
    db_.Load(archive_);
  }

  int32_t RefCount(int32_t position) const {
    for (const BundleCacheEntry& entry : db_.CacheSnapshot()) {
      if (entry.Position == position) return entry.RefCount;
    }
    return -1;  // not cached
  }
  void GetAndRelease(int32_t position) {
    const ProblemBundlePtr bundle = db_.GetBundle(position);
    ASSERT_NE(bundle, nullptr);
    db_.ReleaseBundle(position, bundle);
  }

  static test::TempDir* dir_;
  ArchiveReader archive_;
  GatedDB db_;
};

test::TempDir* CacheTest::dir_ = nullptr;

TEST_F(CacheTest, SixtyFifthBundleEvictsTheFirstInsertedFreeEntry) {
  for (int i = 0; i < kCapacity; ++i) GetAndRelease(i);
  GetAndRelease(0);  // a hit does not move the entry
  EXPECT_EQ(db_.Reads(), kCapacity);
  GetAndRelease(kCapacity);
  const std::vector<BundleCacheEntry> cache = db_.CacheSnapshot();
  ASSERT_EQ(cache.size(), static_cast<size_t>(kCapacity));
  EXPECT_EQ(cache.front().Position, kCapacity);
  EXPECT_EQ(cache.back().Position, 1);
  EXPECT_EQ(RefCount(0), -1);
}

TEST_F(CacheTest, FullCacheOfHeldBundlesHandsOutUncachedBundles) {
  std::vector<ProblemBundlePtr> held;
  for (int i = 0; i < kCapacity; ++i) held.push_back(db_.GetBundle(i));
  ProblemBundlePtr extra = db_.GetBundle(kCapacity);
  ASSERT_NE(extra, nullptr);
  EXPECT_EQ(RefCount(kCapacity), -1);
  EXPECT_EQ(db_.CacheSnapshot().size(), static_cast<size_t>(kCapacity));
  for (int i = 0; i < kCapacity; ++i) EXPECT_EQ(RefCount(i), 1) << i;

  // The holder's release and drop free the uncached bundle.
  std::weak_ptr<const ProblemBundle> watch = extra;
  db_.ReleaseBundle(kCapacity, extra);
  extra.reset();
  EXPECT_TRUE(watch.expired());
  for (int i = 0; i < kCapacity; ++i) db_.ReleaseBundle(i, held[i]);
}

TEST_F(CacheTest, ReferenceCountsDecideWhatIsEvictable) {
  const ProblemBundlePtr first = db_.GetBundle(0);
  EXPECT_EQ(db_.GetBundle(0), first);
  EXPECT_EQ(RefCount(0), 2);
  for (int i = 1; i < kCapacity; ++i) GetAndRelease(i);
  GetAndRelease(kCapacity);  // 0 is held: the next oldest, 1, goes
  EXPECT_EQ(RefCount(0), 2);
  EXPECT_EQ(RefCount(1), -1);
  db_.ReleaseBundle(0, first);
  db_.ReleaseBundle(0, first);
  db_.ReleaseBundle(0, first);  // one release too many does not go below 0
  EXPECT_EQ(RefCount(0), 0);
  GetAndRelease(kCapacity + 1);
  EXPECT_EQ(RefCount(0), -1);
  // The evicted bundle stays valid for whoever still has the pointer.
  EXPECT_EQ(first->FileName(0), "P.htm");
}

TEST_F(CacheTest, ReleasingAnUncachedBundleLeavesALaterEntryAlone) {
  std::vector<ProblemBundlePtr> held;
  for (int i = 0; i < kCapacity; ++i) held.push_back(db_.GetBundle(i));
  const ProblemBundlePtr uncached = db_.GetBundle(kCapacity);
  db_.ReleaseBundle(kCapacity - 1, held.back());
  const ProblemBundlePtr cached = db_.GetBundle(kCapacity);  // evicts kCapacity - 1
  ASSERT_NE(cached, uncached);
  EXPECT_EQ(RefCount(kCapacity), 1);
  db_.ReleaseBundle(kCapacity, uncached);
  EXPECT_EQ(RefCount(kCapacity), 1);
  db_.ReleaseBundle(kCapacity, cached);
  EXPECT_EQ(RefCount(kCapacity), 0);
}

TEST_F(CacheTest, ConcurrentMissesKeepOneEntryPerPosition) {
  db_.Meet(7, 2);  // both reads of position 7 run at the same time
  ProblemBundlePtr a;
  ProblemBundlePtr b;
  std::thread first([&] { a = db_.GetBundle(7); });
  std::thread second([&] { b = db_.GetBundle(7); });
  first.join();
  second.join();
  ASSERT_FALSE(db_.TimedOut()) << "the two reads did not overlap";
  EXPECT_EQ(db_.Reads(), 2);
  EXPECT_EQ(a, b);
  const std::vector<BundleCacheEntry> cache = db_.CacheSnapshot();
  ASSERT_EQ(cache.size(), 1u);
  EXPECT_EQ(cache[0].RefCount, 2);
  db_.ReleaseBundle(7, a);
  db_.ReleaseBundle(7, b);
  EXPECT_EQ(RefCount(7), 0);
}

TEST_F(CacheTest, LockIsNotHeldWhileABlockIsRead) {
  GetAndRelease(3);
  db_.Gate(9);
  std::thread reader([&] { GetAndRelease(9); });
  while (db_.Waiting() == 0) std::this_thread::yield();
  // With the read of 9 under way, a hit, a miss and a release all complete.
  GetAndRelease(3);
  GetAndRelease(4);
  db_.Open();
  reader.join();
  EXPECT_FALSE(db_.TimedOut()) << "a cache operation waited for a block read";
  EXPECT_EQ(RefCount(9), 0);
}

TEST_F(CacheTest, ManyThreadsLeaveConsistentCounts) {
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([this, t] {
      std::mt19937 random(t);
      std::vector<std::pair<int32_t, ProblemBundlePtr>> held;
      for (int step = 0; step < 3000; ++step) {
        const auto position = static_cast<int32_t>(random() % kProblems);
        held.emplace_back(position, db_.GetBundle(position));
        if (held.back().second == nullptr) ADD_FAILURE() << "no bundle for " << position;
        if (held.size() > 5 || random() % 2 == 0) {
          db_.ReleaseBundle(held.front().first, held.front().second);
          held.erase(held.begin());
        }
      }
      for (const auto& [position, bundle] : held) db_.ReleaseBundle(position, bundle);
    });
  }
  for (std::thread& thread : threads) thread.join();
  const std::vector<BundleCacheEntry> cache = db_.CacheSnapshot();
  EXPECT_LE(cache.size(), static_cast<size_t>(kCapacity));
  std::set<int32_t> seen;
  for (const BundleCacheEntry& entry : cache) {
    EXPECT_EQ(entry.RefCount, 0) << entry.Position;
    EXPECT_TRUE(seen.insert(entry.Position).second) << "two entries for " << entry.Position;
  }
}

}  // namespace
}  // namespace qil
