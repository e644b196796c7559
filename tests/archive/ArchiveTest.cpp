// The archive over files the tests build: what ArchiveWriter wrote reads
// back, Open refuses hostile headers and directories, the reader pool, reads
// that fail, prompt and retry, and what the writer refuses.
#include "archive/ArchiveReader.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <condition_variable>
#include <map>
#include <random>
#include <thread>

#include "archive/ArchiveWriter.h"
#include "base/Exceptions.h"
#include "common/TestFiles.h"
#include "platform/headless/HeadlessPlatform.h"

namespace qil {
namespace {

using archive::ArchiveHeader;

std::string PatternBytes(size_t size, uint32_t seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  return bytes;
}

// Puts plain, zero-padded to whole blocks and enciphered with key, at offset at.
void PutEnciphered(std::string& file, size_t at, std::string plain, std::string_view key) {
  plain.resize(archive::RoundUp8(plain.size()), '\0');
  auto* bytes = reinterpret_cast<uint8_t*>(plain.data());
  Blowfish cipher;
  cipher.SetKey(key);
  cipher.EncipherBlocks(bytes, bytes, plain.size() / 8);
  file.resize(std::max(file.size(), at + plain.size()), '\0');
  file.replace(at, plain.size(), plain);
}

// An archive laid out by hand, for what the writer never makes: header,
// name text, the records {offset, size} behind it, zeros up to 216 bytes.
std::string Crafted(const ArchiveHeader& h, const std::string& names = "one\r\ntwo\n",
                    const std::vector<uint32_t>& records = {200, 3, 208, 0}) {
  std::string file(216, '\0'), record_bytes(records.size() * 4, '\0');
  for (size_t i = 0; i < records.size(); ++i) StoreU32LE(records[i], record_bytes.data() + 4 * i);
  PutEnciphered(file, 0, h.Encode().substr(0, 128), archive::kHeaderKey);
  PutEnciphered(file, h.names_offset, names, archive::kNamesKey);
  PutEnciphered(file, h.names_offset + archive::RoundUp8(h.names_length), record_bytes, archive::kRecordsKey);
  return file;
}

// The message of the E that f raises; "" when it raises none.
template <typename E = Exception, typename F>
std::string ErrorOf(F&& f) {
  try {
    f();
  } catch (const E& error) {
    return error.Message();
  }
  return "";
}

// The current platform while it lives: counts the retry prompts and answers them with answer().
struct RetryPlatform : HeadlessPlatform {
  RetryPlatform() { SetCurrentPlatform(this); }
  ~RetryPlatform() override { SetCurrentPlatform(nullptr); }
  bool AskRetry(const std::string& message) override {
    std::unique_lock<std::mutex> lock(mutex);
    ++prompts;
    last_prompt = message;
    return answer(lock);
  }
  std::function<bool(std::unique_lock<std::mutex>&)> answer = [](auto&) { return false; };
  std::mutex mutex;
  int prompts = 0;
  std::string last_prompt;
};

class ArchiveReaderTest : public ::testing::Test {
 protected:
  void WriteAndOpen(const ArchiveWriter& writer) {
    writer.WriteToFile(path_);
    archive_.Open(path_, "QVRTLNDX100", false);
  }
  std::string Read(std::string_view name, const std::string& key = "") {
    MemoryStream stream("stale");
    archive_.ReadFile(name, key, stream);
    EXPECT_EQ(stream.Position(), 0u);
    return stream.Take();
  }
  // Open's error message over a file of bytes; "" when it opened.
  std::string OpenError(const std::string& bytes, const std::string& product_id = "QVRTLNDX100") {
    test::WriteBytes(path_, bytes);
    const std::string error = ErrorOf([&] { archive_.Open(path_, product_id, false); });
    EXPECT_TRUE(error.empty() || archive_.EntryCount() == 0) << "a failed Open leaves nothing behind";
    return error;
  }

  // For the failing reads: entries "empty", "first" and "last", then a data region.
  void WriteThreeEntries() {
    ArchiveWriter writer;
    writer.AddEntry("empty", "");
    writer.AddEntry("first", PatternBytes(5000, 1));
    writer.AddEntry("last", last_);
    writer.SetDataRegion(PatternBytes(64, 3));
    WriteAndOpen(writer);
    good_ = test::ReadBytes(path_);
  }
  // Cuts the file after the first keep bytes of entry "last" (the data region goes too).
  void CutInsideLast(size_t keep) {
    ASSERT_EQ(::truncate(path_.c_str(), static_cast<off_t>(archive_.Entries()[2].Rec.Offset + keep)), 0);
  }
  // The message of the StreamError a read raises; "" when it read.
  std::string ReadFailure(std::string_view name) {
    MemoryStream stream;
    const std::string error = ErrorOf<StreamError>([&] { archive_.ReadFile(name, stream); });
    EXPECT_TRUE(error.empty() || stream.Size() == 0);
    return error;
  }

  test::TempDir dir_;
  std::string path_ = dir_.File("math.dat");
  ArchiveReader archive_;
  const std::string last_ = PatternBytes(3001, 2);
  std::string good_;
};

TEST_F(ArchiveReaderTest, WhatTheWriterWroteReadsBackWithEveryKeyLengthOnPooledReaders) {
  const std::string region = PatternBytes(10001, 4);
  const std::vector<std::string> odd_names = {"../up\tand\x01odd", "a.htm", "B.htm", "db/endpoints.txt"};
  for (size_t key_length : {0u, 7u, 8u, 56u}) {
    SCOPED_TRACE("key length " + std::to_string(key_length));
    std::string key;
    for (size_t i = 0; i < key_length; ++i) key += static_cast<char>(0x21 + (i * 37) % 200);
    ArchiveWriter writer;
    writer.SetContentKey(key);
    std::map<std::string, std::string> plain;
    for (size_t size : {0u, 1u, 7u, 8u, 9u, 4096u, 4097u, 3u * 1024 * 1024 + 5}) {
      const std::string name = "dir/entry-" + std::to_string(size);
      writer.AddEntry(name, plain[name] = PatternBytes(size, static_cast<uint32_t>(size)));
    }
    for (const std::string& name : odd_names) writer.AddEntry(name, name);
    writer.SetDataRegion(region);
    WriteAndOpen(writer);
    EXPECT_EQ(archive_.ContentKey(), key);
    const std::string file = test::ReadBytes(path_);
    for (const auto& [name, bytes] : plain) {
      EXPECT_EQ(archive_.GetFileSize(name), bytes.size());
      EXPECT_EQ(Read(name), bytes) << name;
      EXPECT_TRUE(bytes.size() < 64 || file.find(bytes.substr(0, 64)) == std::string::npos) << "plain text";
    }
    for (uint32_t offset : {0u, 8u, 4096u, 9992u}) {  // the data region, at multiples of 8
      for (uint32_t size : {0u, 1u, 5u, 9u, 4097u}) {
        if (offset + size > region.size()) continue;
        MemoryStream stream("stale");
        archive_.ReadBlock(offset, size, "", stream);
        EXPECT_EQ(stream.View(), std::string_view(region).substr(offset, size)) << offset << "+" << size;
      }
    }
    // A key given by the caller replaces the content key, under the same key rule.
    const std::string& some = plain["dir/entry-4097"];
    EXPECT_EQ(Read("dir/entry-4097", key_length < 8 ? "abc" : key), some);
    EXPECT_EQ(Read("dir/entry-4097", key_length < 8 ? std::string(66, 'x') : key), some);
    EXPECT_NE(Read("dir/entry-4097", "a real key"), some);
  }
  // Names: one leading "/" off, case ignored; control characters and ".." are just names.
  EXPECT_EQ(Read("/DB/EndPoints.TXT"), "db/endpoints.txt");
  EXPECT_EQ(Read("../up\tand\x01odd"), "../up\tand\x01odd");
  for (const char* missing : {"//db/endpoints.txt", "", "/", "db", "missing"}) {
    EXPECT_EQ(archive_.GetFileSize(missing), std::nullopt) << missing;
    EXPECT_EQ(Read(missing), "") << missing;
  }
  std::vector<std::string> names;
  for (const DirectoryEntry& entry : archive_.Entries()) names.push_back(entry.Name);
  names.resize(4);
  EXPECT_EQ(names, odd_names) << "sorted ignoring case";

  // Reads run on pooled readers; one of an earlier opening is not kept after Close and a new Open.
  EXPECT_EQ(archive_.IdleReaderCount(), 1u);
  auto old_reader = archive_.AcquireReader();
  archive_.Close();
  EXPECT_EQ(archive_.IdleReaderCount() + archive_.EntryCount(), 0u);
  archive_.Open(path_, "", true);
  archive_.ReleaseReader(std::move(old_reader));
  EXPECT_EQ(archive_.IdleReaderCount(), 0u);
  EXPECT_EQ(Read("A.HTM"), "a.htm");
}

TEST_F(ArchiveReaderTest, OpenChecksTheHeaderAndEveryOffsetOfTheDirectory) {
  ArchiveHeader good;
  good.names_offset = 136;
  good.names_length = 9;
  good.file_count = 2;
  good.data_offset = 216;
  good.product_id = "QVRTLNDX100";
  auto with = [&](const std::function<void(ArchiveHeader&)>& change) {
    ArchiveHeader h = good;
    change(h);
    return h;
  };
  auto good_directory = [&](const std::function<void(ArchiveHeader&)>& change) {  // under a hostile header
    std::string file = Crafted(good);
    PutEnciphered(file, 0, with(change).Encode().substr(0, 128), archive::kHeaderKey);
    return file;
  };
  const std::pair<const char*, std::string> bad_headers[] = {
      {"empty file", ""},
      {"short header", Crafted(good).substr(0, 131)},
      {"magic", Crafted(with([](auto& h) { h.magic = "CDAX"; }))},
      {"names past the end", good_directory([](auto& h) { h.names_offset = 0x7ffffff0; })},
      {"offset and length wrap", good_directory([](auto& h) { h.names_offset = 0xfffffff8, h.names_length = 16; })},
      {"huge name length", good_directory([](auto& h) { h.names_length = 0xffffffff; })},
      {"huge file count", good_directory([](auto& h) { h.file_count = 0x1fffffff; })},
      {"more names than records", good_directory([](auto& h) { h.file_count = 1; })},
      {"fewer names than records", good_directory([](auto& h) { h.file_count = 3; })},
      {"entry past the end", Crafted(good, "one\ntwo", {200, 3, 208, 9})},
      {"entry offset wraps", Crafted(good, "one\ntwo", {0xfffffff8, 16, 208, 0})},
      {"cut in the records", Crafted(good).substr(0, 150)},
  };
  for (const auto& [what, file] : bad_headers) EXPECT_EQ(OpenError(file), "Bad archive header.") << what;
  EXPECT_EQ(OpenError(Crafted(with([](auto& h) { h.version = 2; }))), "Bad archive version.");
  // Product IDs compare exactly, over at most the field's 16 characters.
  const std::string sixteen = Crafted(with([](auto& h) { h.product_id = "SIXTEEN-CHARS-ID"; }));
  EXPECT_EQ(OpenError(Crafted(good), "qvrtlndx100"), "Bad product ID.");
  EXPECT_EQ(OpenError(Crafted(good), "QVRTLNDX10"), "Bad product ID.");
  EXPECT_EQ(OpenError(sixteen, "SIXTEEN-CHARS-I"), "Bad product ID.");
  EXPECT_EQ(OpenError(sixteen, "SIXTEEN-CHARS-IDX"), "");
  archive_.Open(path_, "anything", /*skip_product_check=*/true);

  ASSERT_EQ(OpenError(Crafted(good)), "");
  EXPECT_EQ(archive_.EntryCount(), 2u);
  EXPECT_EQ(archive_.GetFileSize("ONE"), 3u);
  EXPECT_EQ(archive_.DataOffset(), 216u);
  // The name text ends at names_length or at a NUL, whichever comes first.
  ASSERT_EQ(OpenError(Crafted(with([](auto& h) { h.names_length = 7; }), "one\ntwoX")), "");
  EXPECT_EQ(archive_.GetFileSize("two"), 0u);
  ASSERT_EQ(OpenError(Crafted(with([](auto& h) { h.names_length = 15; }), std::string("one\ntwo\0garbage", 15))), "");
  EXPECT_EQ(archive_.GetFileSize("two"), 0u);
  EXPECT_EQ(OpenError(Crafted(with([](auto& h) { h.names_length = h.file_count = 0; }), "", {})), "");

  const std::string missing = dir_.File("absent.dat");
  EXPECT_EQ(ErrorOf<FileOpenError>([&] { archive_.Open(missing, "", true); }), "Cannot open file " + missing);
}

TEST_F(ArchiveReaderTest, AFailedReadPromptsAndRaisesWhenDeclined) {
  WriteThreeEntries();
  CutInsideLast(8);
  EXPECT_NE(ReadFailure("last"), "") << "the default platform declines at once";
  RetryPlatform platform;
  for (size_t keep : {0u, 1u, 3000u}) {
    CutInsideLast(keep);
    EXPECT_EQ(ReadFailure("last"), "Cannot read last from " + path_ + ": the file is damaged or truncated.");
  }
  EXPECT_EQ(platform.last_prompt, ArchiveReader::kRetryPrompt);
  // Entries before the cut still read; the failed reader went back to the pool.
  EXPECT_EQ(ReadFailure("first"), "");
  EXPECT_EQ(archive_.IdleReaderCount(), 1u);
  MemoryStream stream;
  EXPECT_THROW(archive_.ReadBlock(0, 8, "", stream), StreamError);
  EXPECT_THROW(archive_.ReadBlock(0xfffffff0, 0xffffffff, "", stream), StreamError);
  EXPECT_EQ(platform.prompts, 5);
  // A vanished file fails too, but size 0 needs no file and a missing name no read.
  ASSERT_EQ(::unlink(path_.c_str()), 0);
  EXPECT_NE(ReadFailure("first"), "");
  EXPECT_EQ(ReadFailure("empty") + ReadFailure("nothing"), "");
  EXPECT_EQ(platform.prompts, 6);
}

// Nine reads of a cut file wait in the prompt until all nine are there; then
// the file is mended and all retry. Nine readers were in use; eight stay idle.
TEST_F(ArchiveReaderTest, NineReadsWaitingInThePromptAtOnceAllRetry) {
  WriteThreeEntries();
  std::condition_variable changed;
  bool mended = false;
  RetryPlatform platform;
  platform.answer = [&](std::unique_lock<std::mutex>& lock) {
    changed.notify_all();
    changed.wait(lock, [&] { return mended; });
    return true;
  };
  CutInsideLast(100);
  std::vector<std::string> results(9);
  std::vector<std::thread> threads;
  for (size_t i = 0; i < results.size(); ++i) threads.emplace_back([&, i] { results[i] = Read("last"); });
  {
    std::unique_lock<std::mutex> lock(platform.mutex);
    changed.wait(lock, [&] { return platform.prompts == 9; });
    test::WriteBytes(path_, good_);
    mended = true;
    changed.notify_all();
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(results, std::vector<std::string>(9, last_));
  EXPECT_EQ(archive_.IdleReaderCount(), 8u);
}

TEST(ArchiveWriter, RefusesWhatTheFormatCannotHoldAndWritesWholeFilesOnly) {
  ArchiveWriter writer;
  for (const std::string& bad : {std::string(""), std::string("/lead"), std::string("a\rb"), std::string("a\nb"),
                                 std::string("a\0b", 3)}) {
    EXPECT_THROW(writer.AddEntry(bad, "x"), Exception) << bad;
  }
  writer.AddEntry("Dir/Name.txt", "x");
  EXPECT_THROW(writer.AddEntry("dir/name.TXT", "y"), Exception);
  EXPECT_THROW(writer.SetContentKey(std::string(57, 'k')), Exception);
  EXPECT_THROW(writer.SetContentKey(std::string("key\0with nul", 12)), Exception);
  writer.SetContentKey(std::string(56, 'k'));
  EXPECT_THROW(writer.SetProductId("SEVENTEEN-CHARS-X"), Exception);
  EXPECT_THROW(writer.SetProductId(std::string("A\0B", 3)), Exception);
  EXPECT_EQ(writer.EntryCount(), 1u);
  // A file is written whole or not at all, without temporary files left.
  test::TempDir dir;
  EXPECT_THROW(writer.WriteToFile(dir.File("no/such/folder/math.dat")), FileOpenError);
  const std::string path = dir.File("math.dat");
  test::WriteBytes(path, "old");
  writer.WriteToFile(path);
  EXPECT_EQ(test::ReadBytes(path), writer.Build());
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), std::filesystem::directory_iterator()), 1);
}

}  // namespace
}  // namespace qil
