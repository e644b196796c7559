// Reads that fail: truncated or vanished files, the retry prompt, giving up,
// and nine reads waiting in the prompt at once.
#include <gtest/gtest.h>

#include <unistd.h>

#include <condition_variable>
#include <thread>

#include "ArchiveTestUtil.h"
#include "archive/ArchiveWriter.h"
#include "archive/ArchiveReader.h"

namespace qil {
namespace {

class ArchiveReadFailure : public ::testing::Test {
 protected:
  void SetUp() override {
    ArchiveWriter writer;
    writer.AddEntry("empty", "");
    writer.AddEntry("first", test::PatternBytes(5000, 1));
    writer.AddEntry("last", test::PatternBytes(3001, 2));
    writer.SetDataRegion(test::PatternBytes(64, 3));
    writer.WriteToFile(path_);
    good_ = test::ReadBytes(path_);
    archive_.Open(path_, "", true);
  }

  // Cuts the file so that only the first keep bytes of entry "last" remain
  // (and nothing of the data region).
  void CutInsideLast(size_t keep) {
    const DirectoryEntry* last = nullptr;
    for (const DirectoryEntry& entry : archive_.Entries()) {
      if (entry.Name == "last") last = &entry;
    }
    ASSERT_NE(last, nullptr);
    ASSERT_EQ(::truncate(path_.c_str(), static_cast<off_t>(last->Rec.Offset + keep)), 0);
  }

  std::string ReadFailure(std::string_view name) {
    MemoryStream stream;
    try {
      archive_.ReadFile(name, stream);
    } catch (const StreamError& error) {
      EXPECT_EQ(stream.Size(), 0u);
      return error.Message();
    }
    return "";
  }

  test::TempDir dir_;
  std::string path_ = dir_.File("math.dat");
  std::string good_;
  ArchiveReader archive_;
};

TEST_F(ArchiveReadFailure, ShortReadPromptsOnceThenGivesUp) {
  test::RecordingPlatform platform;  // declines every retry
  for (size_t keep : {0u, 1u, 3000u}) {
    CutInsideLast(keep);
    EXPECT_EQ(ReadFailure("last"),
              "Cannot read last from " + path_ + ": the file is damaged or truncated.");
  }
  EXPECT_EQ(platform.Prompts(), 3);
  EXPECT_EQ(platform.LastPrompt(),
            "Error while trying to read from the CD-ROM.\n\n"
            "Please make sure the CD-ROM is inserted,\nthen press Retry.\n");
  // Entries before the cut still read; the failed reader went back to the pool.
  EXPECT_EQ(ReadFailure("first"), "");
  EXPECT_EQ(archive_.IdleReaderCount(), 1u);
  MemoryStream stream;
  EXPECT_THROW(archive_.ReadBlock(0, 8, "", stream), StreamError);
  EXPECT_THROW(archive_.ReadBlock(0xfffffff0, 0xffffffff, "", stream), StreamError);
  EXPECT_EQ(platform.Prompts(), 5);
}

TEST_F(ArchiveReadFailure, DefaultPlatformGivesUpWithoutWaiting) {
  CutInsideLast(8);
  EXPECT_NE(ReadFailure("last"), "");
}

TEST_F(ArchiveReadFailure, RetrySucceedsOnceTheFileIsBack) {
  ASSERT_EQ(::unlink(path_.c_str()), 0);
  // Size 0 needs no file and never prompts; a missing name neither.
  test::RecordingPlatform platform([this](int) {
    test::WriteBytes(path_, good_);
    return true;
  });
  EXPECT_EQ(ReadFailure("empty"), "");
  EXPECT_EQ(ReadFailure("nothing"), "");
  EXPECT_EQ(platform.Prompts(), 0);

  MemoryStream stream;
  archive_.ReadFile("last", stream);
  EXPECT_EQ(stream.View(), test::PatternBytes(3001, 2));
  EXPECT_EQ(platform.Prompts(), 1);
}

// Every read waits in the prompt until all nine are there; then the file is
// mended and all retry. Nine readers were in use, so eight stay idle.
TEST_F(ArchiveReadFailure, NineWaitingReadsLeaveEightIdleReaders) {
  std::mutex mutex;
  std::condition_variable changed;
  int waiting = 0;
  bool mended = false;
  test::RecordingPlatform platform([&](int) {
    std::unique_lock<std::mutex> lock(mutex);
    ++waiting;
    changed.notify_all();
    changed.wait(lock, [&] { return mended; });
    return true;
  });
  CutInsideLast(100);
  std::vector<std::string> results(9);
  std::vector<std::thread> threads;
  for (size_t i = 0; i < results.size(); ++i) {
    threads.emplace_back([&, i] {
      MemoryStream stream;
      archive_.ReadFile("last", stream);
      results[i] = stream.Take();
    });
  }
  {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [&] { return waiting == 9; });
    test::WriteBytes(path_, good_);
    mended = true;
    changed.notify_all();
  }
  for (std::thread& thread : threads) thread.join();
  for (const std::string& result : results) EXPECT_EQ(result, test::PatternBytes(3001, 2));
  EXPECT_EQ(platform.Prompts(), 9);
  EXPECT_EQ(archive_.IdleReaderCount(), 8u);
}

}  // namespace
}  // namespace qil
