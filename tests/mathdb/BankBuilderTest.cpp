// Building a problem bank's data region from a source folder: the order of
// the records, the layout, and the rejection of bad sources.
#include <gtest/gtest.h>

#include "base/Exceptions.h"
#include "mathdb/BankBuilder.h"
#include "mathdb/BankFixture.h"
#include "mathdb/MathDB.h"

namespace qil {
namespace {

class BankBuilderTest : public ::testing::Test {
 protected:
  BankBuilderTest() : source_(dir_.Path() / "src") { source_.SetEndpoints({"B02=Second", "A01=First"}); }

  // The message of the error that building raises, or "" when it builds.
  std::string BuildError() {
    try {
      source_.BuildRegion();
    } catch (const Exception& error) {
      return error.what();
    }
    return "";
  }

  test::TempDir dir_;
  test::BankSource source_;
};

TEST_F(BankBuilderTest, RecordsFollowEndpointsThenLevelThenNumber) {
  source_.SetEndpoints({"B02=Second", "A01=First", "C03=Empty"});
  for (const char* number : {"10", "2", "09", "1"}) source_.AddSimpleProblem("A011", number);
  source_.AddSimpleProblem("A012", "1");
  source_.AddSimpleProblem("B024", "1");
  source_.AddSimpleProblem("B021", "3");
  source_.WriteArchive(dir_.Path() / "math.dat");

  TCDArchiver archive;
  test::OpenArchive(archive, dir_.Path() / "math.dat");
  TMathDBManager db;
  db.Load(archive);
  const std::vector<std::string> expected = {"B021/3", "B024/1", "A011/1", "A011/2",
                                             "A011/09", "A011/10", "A012/1"};
  ASSERT_EQ(db.RecordCount(), static_cast<int32_t>(expected.size()));
  for (int32_t i = 0; i < db.RecordCount(); ++i) {
    const TMathBundlePtr bundle = db.ReadBundle(i);
    EXPECT_EQ(bundle->Lines()[0], expected[i]);
    EXPECT_EQ(db.GetCode(std::to_string(i)), expected[i].substr(0, 4));
    std::string_view page;
    ASSERT_TRUE(bundle->FindFile("P.htm", page));
    EXPECT_EQ(page, "problem " + expected[i]);
    EXPECT_EQ(db.Index()[i].BlockOffset % 8, 0u);
  }
  EXPECT_EQ(db.Counts().Text(), "B02=2\r\nA01=5\r\nC03=0\r\n");
  EXPECT_EQ(db.Header().IndexOffset % 8, 0);
  EXPECT_EQ(db.Header().CountsOffset % 8, 0);
}

TEST_F(BankBuilderTest, BundleFilesAreSortedByName) {
  source_.AddProblem("A013", "7", {{"S.htm", "s"}, {"P.htm", "p"}, {"M_image2.png", "2"}, {"M_image10.png", "10"}});
  const std::string region = source_.BuildRegion();
  const uint32_t offset = test::BundleOffset(region, 0);
  const uint32_t size = test::RegionWord(region, test::RegionWord(region, 8) + 8);
  const TMathBundle bundle = TMathBundle::Parse(region.substr(offset, size));
  EXPECT_EQ(bundle.Lines().Text(), "A013/7\r\nqil-problem-bundle 1\r\nM_image10.png\r\nM_image2.png\r\nP.htm\r\nS.htm\r\n");
  EXPECT_EQ(bundle.FileData(1), "2");
}

TEST_F(BankBuilderTest, BadCodesAreRejected) {
  for (const char* code : {"A01", "A015", "A0110", "A010"}) {
    test::TempDir dir;
    test::BankSource source(dir.Path());
    source.SetEndpoints({"A01=First"});
    source.AddSimpleProblem(code, "1");
    try {
      source.BuildRegion();
      ADD_FAILURE() << code << " was accepted";
    } catch (const Exception& error) {
      EXPECT_NE(std::string(error.what()).find(std::string("\"problems/") + code + "\""), std::string::npos)
          << error.what();
    }
  }
}

TEST_F(BankBuilderTest, UnlistedEndpointIsRejected) {
  source_.AddSimpleProblem("Z991", "1");
  const std::string error = BuildError();
  EXPECT_NE(error.find("\"problems/Z991\""), std::string::npos) << error;
  EXPECT_NE(error.find("endpoint \"Z99\" is not listed in db/endpoints.txt"), std::string::npos) << error;
}

TEST_F(BankBuilderTest, ProblemWithoutProblemPageIsRejected) {
  source_.AddProblem("A011", "0003", {{"S.htm", "solution only"}});
  const std::string error = BuildError();
  EXPECT_NE(error.find("\"problems/A011/0003\": it has no P.htm"), std::string::npos) << error;
}

TEST_F(BankBuilderTest, DuplicateEndpointsAreRejected) {
  source_.SetEndpoints({"A01=First", "B02=Second", "A01=Again"});
  source_.AddSimpleProblem("A011", "1");
  const std::string error = BuildError();
  EXPECT_NE(error.find("db/endpoints.txt line 3"), std::string::npos) << error;
  EXPECT_NE(error.find("\"A01\" is listed twice"), std::string::npos) << error;
}

TEST_F(BankBuilderTest, MalformedEndpointLineIsRejected) {
  source_.SetEndpoints({"A01=First", "B02 Second"});
  source_.AddSimpleProblem("A011", "1");
  EXPECT_NE(BuildError().find("db/endpoints.txt line 2"), std::string::npos);
}

TEST_F(BankBuilderTest, BadNumbersAreRejected) {
  source_.AddSimpleProblem("A011", "1a");
  EXPECT_NE(BuildError().find("\"problems/A011/1a\": the problem number must be decimal digits"),
            std::string::npos);
  std::filesystem::remove_all(source_.Root() / "problems");
  source_.AddSimpleProblem("A011", "1");
  source_.AddSimpleProblem("A011", "001");
  EXPECT_NE(BuildError().find("same number"), std::string::npos);
}

TEST_F(BankBuilderTest, StrayEntriesAndMissingEndpointsAreRejected) {
  source_.AddSimpleProblem("A011", "1");
  std::filesystem::create_directories(source_.Root() / "problems/A011/1/extra");
  EXPECT_NE(BuildError().find("\"problems/A011/1/extra\": a problem folder holds files only"), std::string::npos);
  std::filesystem::remove_all(source_.Root() / "problems/A011/1/extra");
  test::WriteFile(source_.Root() / "problems/README", "notes");
  EXPECT_NE(BuildError().find("\"problems/README\": it is not a folder"), std::string::npos);
  std::filesystem::remove(source_.Root() / "problems/README");
  EXPECT_EQ(BuildError(), "");
  std::filesystem::remove(source_.Root() / "db/endpoints.txt");
  EXPECT_NE(BuildError().find("db/endpoints.txt"), std::string::npos);
}

TEST_F(BankBuilderTest, EmptyBankHasHeaderAndCounts) {
  std::filesystem::create_directories(source_.Root() / "problems");
  const std::string region = source_.BuildRegion();
  EXPECT_EQ(test::RegionWord(region, 4), 3u);
  EXPECT_EQ(test::RegionWord(region, 12), 0u);
  EXPECT_EQ(region.substr(test::RegionWord(region, 16), test::RegionWord(region, 20)), "B02=0\r\nA01=0\r\n");
}

}  // namespace
}  // namespace qil
