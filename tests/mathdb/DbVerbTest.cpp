// What qilcd db adds to the database code: arguments, the report, DAMAGED lines and exit codes.
#include <gtest/gtest.h>

#include "common/Qilcd.h"
#include "mathdb/BankFixture.h"

namespace qil {
namespace {

class DbVerbTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (test::QilcdPath().empty()) GTEST_SKIP() << "QILCD is not set";
    source_.SetEndpoints({"A01=Fractions", "B02=Equations"});
    for (const char* code : {"A011", "A014", "B022"}) source_.AddSimpleProblem(code, "1");
  }
  static std::pair<int, std::string> Run(const std::vector<std::string>& args) {
    const test::QilcdRun run = test::RunQilcd(args);
    return {run.exit_code, run.out + run.err};
  }

  test::TempDir dir_;
  test::BankSource source_{dir_.Path() / "src"};
  std::string archive_ = dir_.File("math.dat");
};

TEST_F(DbVerbTest, ReportDamagedLinesAndExitCodes) {
  std::string region = source_.BuildRegion();
  source_.WriteArchive(archive_, region);
  const std::string report =
      "Math DB version 3: 3 records, index at 32, counts list at 72 (14 bytes)\n"
      "code    count  level1  level2  level3  level4  name\n"
      "A01         2       1       0       0       1  Fractions\n"
      "B02         1       0       1       0       0  Equations\n"
      "3 bundles checked, 0 damaged\n";
  EXPECT_EQ(Run({"db", archive_}), std::make_pair(0, report));

  const uint32_t index = test::RegionWord(region, 8);
  region.at(region.find("P.htm", test::RegionWord(region, index + 4))) = 'Q';  // bundle 0 has no P.htm
  test::SetRegionWord(region, test::RegionWord(region, index + 16), 0x7FFFFFFF);
  region[test::RegionWord(region, 16) + 4] = '7';  // A01=7, but the index holds 2
  source_.WriteArchive(archive_, region);
  const auto [exit_code, output] = Run({"db", archive_});
  EXPECT_EQ(exit_code, 1) << output;
  for (const char* line : {"\nDAMAGED bundle 000000 (code \"A011\"): it has no P.htm\n",
                           "\nDAMAGED bundle 000001 (code \"A014\"): Damaged problem bundle: the name text",
                           "\nDAMAGED counts line 1 \"A01=7\": the index holds 2 records of endpoint A01\n",
                           "\n3 bundles checked, 2 damaged\n"}) {
    EXPECT_NE(output.find(line), std::string::npos) << line << " in:\n" << output;
  }

  test::SetRegionWord(region, 4, 2);  // a database that cannot be loaded, and bad arguments
  source_.WriteArchive(archive_, region);
  EXPECT_EQ(Run({"db", archive_}), std::make_pair(2, "qilcd db: " + archive_ + ": Wrong Math DB version.\n"));
  EXPECT_EQ(Run({"db"}), std::make_pair(2, std::string("usage: qilcd db ARCHIVE\n")));
  EXPECT_EQ(Run({"db", archive_, "extra"}).first, 2);
}

}  // namespace
}  // namespace qil
