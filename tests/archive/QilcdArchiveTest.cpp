// What qilcd's archive verbs (pack, ls, cat) add to the archive code: their
// options, output and exit codes, one-line errors, and no output file after
// a failed pack. Reading rules are ArchiveTest's.
#include <gtest/gtest.h>

#include "archive/ArchiveReader.h"
#include "common/Qilcd.h"
#include "common/TestFiles.h"

namespace qil {
namespace {

TEST(QilcdArchive, PackListCatAndTheirFailures) {
  if (test::QilcdPath().empty()) GTEST_SKIP() << "QILCD is not set";
  test::TempDir dir;
  const std::string src = dir.File("content"), out = dir.File("math.dat"), inside = src + "/math.dat";
  std::string binary;
  for (int i = 0; i < 5000; ++i) binary += static_cast<char>(i * 7);
  test::WriteFile(src + "/sub/deeper/f.bin", binary);
  test::WriteFile(src + "/empty", "");
  test::WriteFile(inside, "an older archive in the folder is not packed");
  test::QilcdRun run = test::RunQilcd({"pack", src, inside, "--product-id", "OTHER", "--content-key", "ten bytes!"});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.out + run.err, "");
  ArchiveReader archive;
  archive.Open(inside, "OTHER", false);
  EXPECT_EQ(archive.ContentKey(), "ten bytes!");
  run = test::RunQilcd({"ls", inside});
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.out, "0\tempty\n5000\tsub/deeper/f.bin\n");
  run = test::RunQilcd({"cat", inside, "sub/deeper/f.bin"});
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_TRUE(run.out == binary) << "the bytes as they are";

  test::WriteFile(src + "/A.TXT", "x");
  test::WriteFile(src + "/a.txt", "the same name when case is ignored");
  const std::vector<std::vector<std::string>> failing = {
      {"pack", src, out},  {"pack", dir.File("none"), out}, {"pack", src},
      {"pack", src, out, "--content-key", std::string(57, 'k')}, {"pack", src, out, "--bogus"},
      {"pack", src, out, "--product-id"}, {"ls"}, {"cat", inside}, {"cat", dir.File("absent.dat"), "x"},
      {"cat", inside, "b.txt"}, {"ls", src + "/empty"},
  };
  for (const auto& args : failing) {
    run = test::RunQilcd(args);
    const std::string what = args[0] + " with " + std::to_string(args.size()) + " arguments";
    EXPECT_GT(run.exit_code, 0) << what;
    EXPECT_EQ(run.out, "") << what;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << what << ", one line: " << run.err;
  }
  EXPECT_FALSE(std::filesystem::exists(out)) << "nor a temporary file";
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), std::filesystem::directory_iterator()), 1);
  EXPECT_EQ(run.err, "qilcd ls: Bad archive header.\n");
  EXPECT_EQ(test::RunQilcd({"cat", inside, "b.txt"}).err, "qilcd cat: no entry 'b.txt' in " + inside + "\n");
}

}  // namespace
}  // namespace qil
