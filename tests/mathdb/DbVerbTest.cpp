// qilcd db on a sound archive, a damaged one and files that are no archive.
#include <gtest/gtest.h>

#include "common/Qilcd.h"
#include "mathdb/BankFixture.h"
#include "mathdb/MathDatabase.h"

namespace qil {
namespace {

struct CommandResult {
  int exit_code = -1;
  std::string output;  // stdout, then stderr
};

// Runs qilcd with its error output joined to the output.
CommandResult RunJoined(const std::vector<std::string>& args) {
  test::QilcdRun run = test::RunQilcd(args);
  return {run.exit_code, run.out + run.err};
}

class DbVerbTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (test::QilcdPath().empty()) GTEST_SKIP() << "QILCD is not set";
    source_.SetEndpoints({"A01=Fractions", "B02=Equations"});
    source_.AddSimpleProblem("A011", "1");
    source_.AddSimpleProblem("A014", "1");
    source_.AddSimpleProblem("B022", "1");
    source_.AddSimpleProblem("B022", "2");
  }

  test::TempDir dir_;
  test::BankSource source_{dir_.Path() / "src"};
  std::string archive_ = (dir_.Path() / "math.dat").string();
};

TEST_F(DbVerbTest, SoundArchive) {
  source_.WriteArchive(archive_);
  const CommandResult run = RunJoined({"db", archive_});
  EXPECT_EQ(run.exit_code, 0) << run.output;
  EXPECT_NE(run.output.find("Math DB version 3: 4 records"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("A01         2       1       0       0       1  Fractions"), std::string::npos)
      << run.output;
  EXPECT_NE(run.output.find("B02         2       0       2       0       0  Equations"), std::string::npos)
      << run.output;
  EXPECT_NE(run.output.find("4 bundles checked, 0 damaged"), std::string::npos) << run.output;
}

TEST_F(DbVerbTest, DamagedBundlesAndCountsAreReported) {
  std::string region = source_.BuildRegion();
  test::SetRegionWord(region, test::BundleOffset(region, 1), 0x7FFFFFFF);
  test::SetRegionWord(region, test::RegionWord(region, 8) + 3 * 12 + 4, 0xFFFFFFF0u);
  const uint32_t counts = test::RegionWord(region, 16);
  region[counts + 4] = '7';  // A01=7, but the index holds 2
  source_.WriteArchive(archive_, region);
  const CommandResult run = RunJoined({"db", archive_});
  EXPECT_EQ(run.exit_code, 1) << run.output;
  EXPECT_NE(run.output.find("DAMAGED bundle 000001"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("DAMAGED bundle 000003"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("DAMAGED counts line 1"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("4 bundles checked, 2 damaged"), std::string::npos) << run.output;
}

TEST_F(DbVerbTest, BundleWithoutProblemPageIsReported) {
  std::string region = source_.BuildRegion();
  // Rename P.htm inside bundle 0 so it no longer has a problem page.
  const size_t at = region.find("P.htm", test::BundleOffset(region, 0));
  ASSERT_NE(at, std::string::npos);
  region[at] = 'Q';
  source_.WriteArchive(archive_, region);
  const CommandResult run = RunJoined({"db", archive_});
  EXPECT_EQ(run.exit_code, 1) << run.output;
  EXPECT_NE(run.output.find("DAMAGED bundle 000000 (code \"A011\"): it has no P.htm"), std::string::npos)
      << run.output;
}

TEST_F(DbVerbTest, UnloadableInputsExitWithTwo) {
  EXPECT_EQ(RunJoined({"db", (dir_.Path() / "missing.dat").string()}).exit_code, 2);
  test::WriteFile(archive_, "not an archive at all, just text");
  EXPECT_EQ(RunJoined({"db", archive_}).exit_code, 2);
  std::string region = source_.BuildRegion();
  test::SetRegionWord(region, 4, 2);
  source_.WriteArchive(archive_, region);
  const CommandResult run = RunJoined({"db", archive_});
  EXPECT_EQ(run.exit_code, 2);
  EXPECT_NE(run.output.find("Wrong Math DB version."), std::string::npos) << run.output;
  EXPECT_EQ(RunJoined({"db"}).exit_code, 2);
}

TEST_F(DbVerbTest, PackTurnsProblemsIntoTheDataRegion) {
  test::WriteFile(source_.Root() / "index.html", "<html></html>");
  const CommandResult pack = RunJoined({"pack", source_.Root().string(), archive_});
  ASSERT_EQ(pack.exit_code, 0) << pack.output;
  const CommandResult listing = RunJoined({"ls", archive_});
  EXPECT_EQ(listing.output.find("problems/"), std::string::npos) << listing.output;
  EXPECT_NE(listing.output.find("index.html"), std::string::npos) << listing.output;

  ArchiveReader archive;
  test::OpenArchive(archive, archive_);
  MathDatabase db;
  db.Load(archive);
  ASSERT_EQ(db.RecordCount(), 4);
  StringList lines;
  db.GetPageText("3", lines, pkProblem, "mathgfx.stmp");
  EXPECT_EQ(lines.Text(), "problem B022/2\r\n");
  EXPECT_EQ(RunJoined({"db", archive_}).exit_code, 0);
}

TEST_F(DbVerbTest, PackRejectsABadBankAndWritesNothing) {
  source_.AddSimpleProblem("Q011", "1");
  const CommandResult pack = RunJoined({"pack", source_.Root().string(), archive_});
  EXPECT_NE(pack.exit_code, 0);
  EXPECT_NE(pack.output.find("problems/Q011"), std::string::npos) << pack.output;
  EXPECT_FALSE(std::filesystem::exists(archive_));
}

}  // namespace
}  // namespace qil
