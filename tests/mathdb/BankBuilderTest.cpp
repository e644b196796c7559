// Building a problem bank's data region from a source folder: the order of
// the records, the layout, and the rejection of bad sources.
#include <gtest/gtest.h>

#include <functional>

#include "base/Exceptions.h"
#include "mathdb/BankBuilder.h"
#include "mathdb/BankFixture.h"
#include "mathdb/MathDatabase.h"

namespace qil {
namespace {

class BankBuilderTest : public ::testing::Test {
 protected:
  BankBuilderTest() : source_(dir_.Path() / "src") { source_.SetEndpoints({"B02=Second", "A01=First"}); }

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

  ArchiveReader archive;
  test::OpenArchive(archive, dir_.Path() / "math.dat");
  MathDatabase db;
  db.Load(archive);
  const std::vector<std::string> expected = {"B021/3", "B024/1", "A011/1", "A011/2",
                                             "A011/09", "A011/10", "A012/1"};
  ASSERT_EQ(db.RecordCount(), static_cast<int32_t>(expected.size()));
  for (int32_t i = 0; i < db.RecordCount(); ++i) {
    const ProblemBundlePtr bundle = db.ReadBundle(i);
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
  const ProblemBundle bundle = ProblemBundle::Parse(region.substr(offset, size));
  EXPECT_EQ(bundle.Lines().Text(), "A013/7\r\nqil-problem-bundle 1\r\nM_image10.png\r\nM_image2.png\r\nP.htm\r\nS.htm\r\n");
  EXPECT_EQ(bundle.FileData(1), "2");
}

// Each bad source is one sound problem plus one fault; the message must name the culprit.
TEST(BankBuilderRejects, BadSourcesWithAMessageNamingTheCulprit) {
  namespace fs = std::filesystem;
  struct Case {
    std::function<void(test::BankSource&)> damage;
    std::string expected;
  };
  const Case cases[] = {
      {[](auto& s) { s.AddSimpleProblem("A01", "1"); }, "\"problems/A01\": a problem code is a 3-character"},
      {[](auto& s) { s.AddSimpleProblem("A015", "1"); }, "\"problems/A015\": a problem code"},
      {[](auto& s) { s.AddSimpleProblem("A010", "1"); }, "\"problems/A010\": a problem code"},
      {[](auto& s) { s.AddSimpleProblem("A0111", "1"); }, "\"problems/A0111\": a problem code"},
      {[](auto& s) { s.AddSimpleProblem("Z991", "1"); },
       "\"problems/Z991\": endpoint \"Z99\" is not listed in db/endpoints.txt"},
      {[](auto& s) { s.AddProblem("A011", "0003", {{"S.htm", "only"}}); }, "\"problems/A011/0003\": it has no P.htm"},
      {[](auto& s) { s.SetEndpoints({"A01=First", "B02=Second", "A01=Again"}); },
       "db/endpoints.txt line 3: endpoint \"A01\" is listed twice"},
      {[](auto& s) { s.SetEndpoints({"A01=First", "B02 Second"}); }, "db/endpoints.txt line 2"},
      {[](auto& s) { fs::remove(s.Root() / "db/endpoints.txt"); }, "needs db/endpoints.txt"},
      {[](auto& s) { s.AddSimpleProblem("A011", "1a"); },
       "\"problems/A011/1a\": the problem number must be decimal digits"},
      {[](auto& s) { s.AddSimpleProblem("A011", "001"); },
       "\"problems/A011/1\": it has the same number as \"problems/A011/001\""},
      {[](auto& s) { fs::create_directories(s.Root() / "problems/A011/1/extra"); },
       "\"problems/A011/1/extra\": a problem folder holds files only"},
      {[](auto& s) { test::WriteFile(s.Root() / "problems/README", "notes"); },
       "\"problems/README\": it is not a folder"},
  };
  for (const Case& c : cases) {
    test::TempDir dir;
    test::BankSource source(dir.Path());
    source.SetEndpoints({"A01=First"});
    source.AddSimpleProblem("A011", "1");
    ASSERT_NO_THROW(source.BuildRegion());
    c.damage(source);
    try {
      source.BuildRegion();
      ADD_FAILURE() << "accepted; expected: " << c.expected;
    } catch (const Exception& error) {
      EXPECT_NE(std::string(error.what()).find(c.expected), std::string::npos) << error.what();
    }
  }
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
