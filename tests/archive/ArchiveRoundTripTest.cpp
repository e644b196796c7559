// Archives written by ArchiveWriter and read back by ArchiveReader: sizes and
// keys, name lookup, the data region, the reader pool and concurrent reads.
#include <gtest/gtest.h>

#include <map>
#include <thread>

#include "ArchiveTestUtil.h"
#include "archive/ArchiveWriter.h"
#include "archive/ArchiveReader.h"

namespace qil {
namespace {

const size_t kSizes[] = {0, 1, 7, 8, 9, 4095, 4096, 4097, 3 * 1024 * 1024 + 5};

std::string EntryName(size_t size) { return "dir/entry-" + std::to_string(size) + ".bin"; }

std::string Read(ArchiveReader& archive, std::string_view name, const std::string& key = "") {
  MemoryStream stream;
  archive.ReadFile(name, key, stream);
  EXPECT_EQ(stream.Position(), 0u);
  return stream.Take();
}

class ArchiveRoundTrip : public ::testing::Test {
 protected:
  // Writes an archive with the given entries and opens it.
  void WriteAndOpen(ArchiveWriter& writer) {
    writer.WriteToFile(path_);
    archive_.Open(path_, "QVRTLNDX100", false);
  }

  test::TempDir dir_;
  std::string path_ = dir_.File("math.dat");
  ArchiveReader archive_;
};

TEST_F(ArchiveRoundTrip, EverySizeWithEveryContentKeyLength) {
  for (size_t key_length : {0u, 7u, 8u, 10u, 56u}) {
    SCOPED_TRACE("key length " + std::to_string(key_length));
    std::string key;
    for (size_t i = 0; i < key_length; ++i) key += static_cast<char>(0x21 + (i * 37) % 200);
    ArchiveWriter writer;
    writer.SetContentKey(key);
    std::map<std::string, std::string> plain;
    for (size_t size : kSizes) {
      plain[EntryName(size)] = test::PatternBytes(size, static_cast<uint32_t>(size));
      writer.AddEntry(EntryName(size), plain[EntryName(size)]);
    }
    WriteAndOpen(writer);
    EXPECT_EQ(archive_.ContentKey(), key);
    const std::string file = test::ReadBytes(path_);
    for (const auto& [name, bytes] : plain) {
      uint32_t size = 0;
      ASSERT_TRUE(archive_.GetFileSize(name, size));
      EXPECT_EQ(size, bytes.size());
      EXPECT_EQ(Read(archive_, name), bytes) << name;
      if (bytes.size() >= 4096) {  // stored enciphered, not as plain text
        EXPECT_EQ(file.find(bytes.substr(0, 64)), std::string::npos) << name;
      }
    }
  }
}

TEST_F(ArchiveRoundTrip, CallerKeyFollowsTheKeyRule) {
  const std::string text(100, 'q');
  {
    ArchiveWriter writer;
    writer.SetContentKey("seven77");  // under 8 bytes: the unkeyed cipher
    writer.AddEntry("a.txt", text);
    WriteAndOpen(writer);
  }
  // Any key under 8 bytes (or over 65) is the unkeyed cipher too.
  EXPECT_EQ(Read(archive_, "a.txt", "abc"), text);
  EXPECT_EQ(Read(archive_, "a.txt", std::string(66, 'x')), text);
  const std::string other = Read(archive_, "a.txt", "a real key");
  EXPECT_EQ(other.size(), text.size());
  EXPECT_NE(other, text);
}

TEST_F(ArchiveRoundTrip, NameLookupRules) {
  ArchiveWriter writer;
  writer.AddEntry("db/endpoints.txt", "endpoints");
  writer.AddEntry("B.htm", "b");
  writer.AddEntry("a.htm", "a");
  writer.AddEntry("../up\tand\x01odd", "odd");  // control characters and ".." are just names
  WriteAndOpen(writer);

  EXPECT_EQ(Read(archive_, "db/endpoints.txt"), "endpoints");
  EXPECT_EQ(Read(archive_, "/db/endpoints.txt"), "endpoints");
  EXPECT_EQ(Read(archive_, "DB/EndPoints.TXT"), "endpoints");
  EXPECT_EQ(Read(archive_, "../up\tand\x01odd"), "odd");
  uint32_t size = 7;
  EXPECT_FALSE(archive_.GetFileSize("//db/endpoints.txt", size));
  EXPECT_FALSE(archive_.GetFileSize("", size));
  EXPECT_FALSE(archive_.GetFileSize("/", size));
  EXPECT_FALSE(archive_.GetFileSize("db", size));
  EXPECT_EQ(size, 7u);
  EXPECT_EQ(Read(archive_, "//db/endpoints.txt"), "");
  EXPECT_EQ(Read(archive_, "missing"), "");

  // The directory is sorted ignoring case.
  std::vector<std::string> names;
  for (const DirectoryEntry& entry : archive_.Entries()) names.push_back(entry.Name);
  EXPECT_EQ(names, (std::vector<std::string>{"../up\tand\x01odd", "a.htm", "B.htm",
                                             "db/endpoints.txt"}));
}

TEST_F(ArchiveRoundTrip, DataRegionBlocksAtMultiplesOfEight) {
  const std::string region = test::PatternBytes(10001, 4);
  ArchiveWriter writer;
  writer.AddEntry("x", "xyz");
  writer.SetDataRegion(region);
  WriteAndOpen(writer);
  for (uint32_t offset : {0u, 8u, 4096u, 9992u}) {
    for (uint32_t size : {1u, 5u, 8u, 9u, 4097u}) {
      if (offset + size > region.size()) continue;
      MemoryStream stream;
      archive_.ReadBlock(offset, size, "", stream);
      EXPECT_EQ(stream.View(), std::string_view(region).substr(offset, size))
          << offset << "+" << size;
    }
  }
  MemoryStream stream("stale");
  archive_.ReadBlock(10000, 0, "", stream);
  EXPECT_EQ(stream.Size(), 0u);
}

TEST_F(ArchiveRoundTrip, ReaderModeGuardsAndLifoPool) {
  ArchiveWriter writer;
  writer.AddEntry("a", "alpha");
  WriteAndOpen(writer);
  MemoryStream stream;
  try {
    archive_.ReaderReadFile("a", "", stream);
    FAIL() << "no exception";
  } catch (const ArchiveError& error) {
    EXPECT_STREQ(error.what(), "You can't call ReadFile out of reader mode.");
  }
  try {
    archive_.ReaderReadBlock(0, 8, "", stream);
    FAIL() << "no exception";
  } catch (const ArchiveError& error) {
    EXPECT_STREQ(error.what(), "You must not call this if not in reader mode.");
  }

  auto first = archive_.AcquireReader();
  auto second = archive_.AcquireReader();
  ASSERT_TRUE(first->ReaderMode());
  first->ReaderReadFile("a", "", stream);
  EXPECT_EQ(stream.View(), "alpha");
  ArchiveReader* second_address = second.get();
  archive_.ReleaseReader(std::move(first));
  archive_.ReleaseReader(std::move(second));
  EXPECT_EQ(archive_.IdleReaderCount(), 2u);
  auto again = archive_.AcquireReader();
  EXPECT_EQ(again.get(), second_address);  // last in, first out
  archive_.ReleaseReader(std::move(again));

  // A missing name gives the reader back just as a successful read does.
  EXPECT_EQ(Read(archive_, "missing"), "");
  EXPECT_EQ(archive_.IdleReaderCount(), 2u);

  // Readers of an earlier opening are not kept after Close and a new Open.
  auto old_reader = archive_.AcquireReader();
  archive_.Close();
  EXPECT_EQ(archive_.IdleReaderCount(), 0u);
  EXPECT_EQ(archive_.EntryCount(), 0u);
  archive_.Open(path_, "", true);
  archive_.ReleaseReader(std::move(old_reader));
  EXPECT_EQ(archive_.IdleReaderCount(), 0u);
  EXPECT_EQ(Read(archive_, "A"), "alpha");
}

TEST_F(ArchiveRoundTrip, ConcurrentReadsFromManyThreads) {
  ArchiveWriter writer;
  std::vector<std::string> contents;
  for (uint32_t i = 0; i < 40; ++i) {
    contents.push_back(test::PatternBytes(100 + i * 997, i));
    writer.AddEntry("f" + std::to_string(i), contents.back());
  }
  WriteAndOpen(writer);
  std::vector<std::thread> threads;
  std::vector<int> failures(12, 0);
  for (int t = 0; t < 12; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < 100; ++round) {
        const size_t i = static_cast<size_t>(t * 7 + round) % contents.size();
        MemoryStream stream;
        archive_.ReadFile("f" + std::to_string(i), stream);
        if (stream.View() != contents[i]) ++failures[t];
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(failures, std::vector<int>(12, 0));
  EXPECT_LE(archive_.IdleReaderCount(), ArchiveReader::kMaxIdleReaders);
  EXPECT_GE(archive_.IdleReaderCount(), 1u);
}

}  // namespace
}  // namespace qil
