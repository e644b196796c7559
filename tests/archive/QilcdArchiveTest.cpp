// The archive verbs of qilcd, run as a separate process: pack, ls and cat.
#include <gtest/gtest.h>

#include <map>

#include "ArchiveTestUtil.h"
#include "archive/ArchiveReader.h"
#include "common/Qilcd.h"

namespace qil {
namespace {

namespace fs = std::filesystem;
using test::QilcdRun;
using test::RunQilcd;

class QilcdArchive : public ::testing::Test {
 protected:
  void SetUp() override {
    if (test::QilcdPath().empty()) GTEST_SKIP() << "QILCD is not set";
    fs::create_directories(src_ / "sub" / "deeper");
  }

  void AddSource(const std::string& name, const std::string& bytes) {
    test::WriteBytes((src_ / name).string(), bytes);
  }

  test::TempDir dir_;
  fs::path src_ = dir_.Path() / "content";
  std::string archive_ = dir_.File("math.dat");
};

TEST_F(QilcdArchive, PackListAndCatWithEveryKeyLength) {
  std::map<std::string, std::string> files;
  for (size_t size : {0u, 1u, 7u, 8u, 9u, 4095u, 4096u, 4097u, 2500000u}) {
    const std::string name = "sub/deeper/f" + std::to_string(size) + ".bin";
    files[name] = test::PatternBytes(size, static_cast<uint32_t>(size) + 1);
    AddSource(name, files[name]);
  }
  files["index.html"] = "<html>start</html>\n";
  AddSource("index.html", files["index.html"]);

  for (size_t key_length : {0u, 7u, 8u, 10u, 56u}) {
    SCOPED_TRACE("key length " + std::to_string(key_length));
    const std::string key(key_length, static_cast<char>('a' + key_length % 26));
    QilcdRun pack = RunQilcd({"pack", src_.string(), archive_, "--content-key", key});
    ASSERT_EQ(pack.exit_code, 0) << pack.err;
    EXPECT_EQ(pack.out, "");

    std::string expected_listing;
    for (const auto& [name, bytes] : files) {  // byte order equals case-free order here
      expected_listing += std::to_string(bytes.size()) + "\t" + name + "\n";
    }
    QilcdRun ls = RunQilcd({"ls", archive_});
    EXPECT_EQ(ls.exit_code, 0) << ls.err;
    EXPECT_EQ(ls.out, expected_listing);

    for (const auto& [name, bytes] : files) {
      QilcdRun cat = RunQilcd({"cat", archive_, name});
      EXPECT_EQ(cat.exit_code, 0) << cat.err;
      EXPECT_TRUE(cat.out == bytes) << name;
    }
    ArchiveReader archive;
    archive.Open(archive_, "QVRTLNDX100", false);
    EXPECT_EQ(archive.ContentKey(), key);
  }
}

TEST_F(QilcdArchive, ProductIdOptionAndMissingEntry) {
  AddSource("a.txt", "A");
  ASSERT_EQ(RunQilcd({"pack", src_.string(), archive_, "--product-id", "OTHERPROD"}).exit_code, 0);
  ArchiveReader archive;
  archive.Open(archive_, "", true);
  EXPECT_EQ(archive.ProductID(), "OTHERPROD");

  QilcdRun cat = RunQilcd({"cat", archive_, "b.txt"});  // ls and cat ignore the product ID
  EXPECT_EQ(cat.exit_code, 1);
  EXPECT_EQ(cat.out, "");
  EXPECT_NE(cat.err.find("b.txt"), std::string::npos);
  EXPECT_EQ(RunQilcd({"cat", archive_, "/A.TXT"}).out, "A");

  // An archive written inside the folder is not packed into the next one.
  const std::string inside = (src_ / "math.dat").string();
  ASSERT_EQ(RunQilcd({"pack", src_.string(), inside}).exit_code, 0);
  ASSERT_EQ(RunQilcd({"pack", src_.string(), inside}).exit_code, 0);
  EXPECT_EQ(RunQilcd({"ls", inside}).out, "1\ta.txt\n");
}

TEST_F(QilcdArchive, FailuresLeaveNoOutputFile) {
  AddSource("a.txt", "A");
  AddSource("A.TXT", "clash");  // the same name when case is ignored
  const std::vector<std::vector<std::string>> failing = {
      {"pack", src_.string(), archive_},
      {"pack", (dir_.Path() / "none").string(), archive_},
      {"pack", src_.string()},
      {"pack", src_.string(), archive_, "--content-key", std::string(57, 'k')},
      {"pack", src_.string(), archive_, "--bogus"},
      {"pack", src_.string(), archive_, "--product-id"},
  };
  for (const auto& args : failing) {
    QilcdRun run = RunQilcd(args);
    EXPECT_NE(run.exit_code, 0) << args.size();
    EXPECT_FALSE(run.err.empty());
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << "one line: " << run.err;
    EXPECT_FALSE(fs::exists(archive_));
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_.Path()), fs::directory_iterator()), 1)
      << "only content/";

  test::WriteBytes(archive_, "not an archive at all, but long enough to hold a header? no");
  QilcdRun ls = RunQilcd({"ls", archive_});
  EXPECT_EQ(ls.exit_code, 1);
  EXPECT_EQ(ls.err, "qilcd ls: Bad archive header.\n");
  EXPECT_NE(RunQilcd({"ls"}).exit_code, 0);
  EXPECT_NE(RunQilcd({"cat", dir_.File("absent.dat"), "x"}).exit_code, 0);
}

}  // namespace
}  // namespace qil
