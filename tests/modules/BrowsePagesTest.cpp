// The browsing pages end to end: a disc packed with `qilcd pack` and driven
// through `qilcd session` (path of qilcd in the environment variable QILCD).
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <vector>

#include "archive/ArchiveWriter.h"
#include "common/Qilcd.h"
#include "mathdb/BankFixture.h"
#include "mathdb/NumberImages.h"
#include "modules/BrowseDisc.h"

namespace qil {
namespace {

namespace fs = std::filesystem;

using Answer = test::SessionAnswer;
using test::QilcdRun;

const std::string kGotoRedirect =
    "<html><head>\r\n<meta http-equiv=\"Refresh\" content=\"0;url=gotoerror_h.html\">\r\n"
    "</head><body></body></html>\r\n";
const std::string kErrorPage = "<pre>Error executing template script: ";

class BrowsePages : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (test::QilcdPath().empty()) return;
    disc_ = std::make_unique<test::BrowseDisc>();
    const QilcdRun pack = Qilcd({"pack", "src", "math.dat"});
    ASSERT_EQ(pack.exit_code, 0) << pack.err;
  }
  static void TearDownTestSuite() { disc_.reset(); }

  void SetUp() override {
    if (!disc_) GTEST_SKIP() << "QILCD is not set";
  }

  // Runs qilcd in the disc's folder with stdin from input.
  static QilcdRun Qilcd(const std::vector<std::string>& args, const std::string& input = "") {
    return test::RunQilcd(args, input, disc_->Root());
  }

  // One session over the disc: the answers to the addresses, in order.
  static std::vector<Answer> Session(const std::vector<std::string>& addresses,
                                     const std::string& archive = "math.dat") {
    std::string input;
    for (const std::string& address : addresses) input += address + "\n";
    const QilcdRun run = Qilcd({"session", "--archive", archive}, input);
    EXPECT_EQ(run.exit_code, 0) << run.err;
    std::vector<Answer> answers = test::ParseSessionAnswers(run.out);
    EXPECT_EQ(answers.size(), addresses.size());
    answers.resize(addresses.size());
    return answers;
  }

  static Answer Get(const std::string& address) { return Session({address})[0]; }

  static std::unique_ptr<test::BrowseDisc> disc_;
};

std::unique_ptr<test::BrowseDisc> BrowsePages::disc_;

// The rows of a list page without their digit pictures: "p000025 A01 000025 1 P:A011/26".
std::vector<std::string> Rows(const std::string& body) {
  std::vector<std::string> rows;
  std::istringstream lines(body);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind("ROW ", 0) != 0) continue;
    const size_t open = line.find(" [");
    const size_t close = line.find("] ", open);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    rows.push_back(line.substr(4, open - 4) + line.substr(close + 1));
  }
  return rows;
}

// The digit pictures of the row of a position.
std::string RowNumber(const std::string& body, const std::string& id) {
  const size_t row = body.find("ROW p" + id);
  const size_t open = body.find(" [", row);
  return body.substr(open + 2, body.find("] ", open) - open - 2);
}

TEST_F(BrowsePages, ListOpenedAtAProblemShowsThePageThatHoldsIt) {
  const std::vector<Answer> answers = Session(
      {"mathlist.stmp?start=30", "mathlist.stmp?start=25", "mathlist.stmp?start=26",
       "mathlist.stmp?start=124#p000123", "mathlist.stmp?start=1170"});
  // Problem 30 is the 30th of A01: page 2, numbers 26 to 50.
  const std::vector<std::string> rows = Rows(answers[0].body);
  ASSERT_EQ(rows.size(), 25u);
  EXPECT_EQ(rows[0], "p000025 A01 000025 1 P:A011/26");
  EXPECT_EQ(rows[4], "p000029 A01 000029 1 P:A011/30");
  EXPECT_EQ(rows[5], "p000030 A01 000030 3 P:A013/1");
  EXPECT_EQ(rows[24], "p000049 A01 000049 3 P:A013/20");
  EXPECT_EQ(answers[0].body.substr(0, 5), "HEAD\n");
  EXPECT_EQ(answers[0].body.substr(answers[0].body.size() - 4), "FOOT");
  EXPECT_EQ(answers[0].body.find("OTHER"), std::string::npos);
  EXPECT_EQ(answers[0].mime, "text/html");

  EXPECT_EQ(Rows(answers[1].body).front(), "p000000 A01 000000 1 P:A011/1");
  EXPECT_EQ(Rows(answers[2].body).front(), "p000025 A01 000025 1 P:A011/26");

  // Problem 124 is the 54th of C01: page 3, positions 120 to 144.
  const std::vector<std::string> c01 = Rows(answers[3].body);
  ASSERT_EQ(c01.size(), 25u);
  EXPECT_EQ(c01[0], "p000120 C01 000120 1 P:C011/51");
  EXPECT_EQ(c01[3], "p000123 C01 000123 1 P:C011/54");
  EXPECT_EQ(RowNumber(answers[3].body, "000123"), NumberImagesProblem(124));

  // The last problem: the last full page of C01, with a thousands separator.
  const std::vector<std::string> last = Rows(answers[4].body);
  ASSERT_EQ(last.size(), 25u);
  EXPECT_EQ(last[24], "p001169 C01 001169 1 P:C011/1100");
  EXPECT_EQ(RowNumber(answers[4].body, "001169"), NumberImagesProblem(1170));
}

TEST_F(BrowsePages, ListPagesByEndpointAndPacket) {
  const std::vector<Answer> answers = Session(
      {"mathlist.stmp?main=A&sub=01", "mathlist.stmp?main=A&sub=01&packet=3",
       "mathlist.stmp?main=A&sub=01&packet=4", "mathlist.stmp?main=B&sub=01&packet=1",
       "mathlist.stmp?main=A&sub=02", "mathlist.stmp?main=C&sub=01&packet=44",
       "mathlist.stmp?main=C&sub=01&packet=45", "mathlist.stmp?main=A&sub=01&packet="});
  EXPECT_EQ(Rows(answers[0].body).size(), 25u);
  EXPECT_EQ(Rows(answers[0].body).back(), "p000024 A01 000024 1 P:A011/25");

  const std::vector<std::string> partial = Rows(answers[1].body);
  ASSERT_EQ(partial.size(), 10u);
  EXPECT_EQ(partial.front(), "p000050 A01 000050 3 P:A013/21");
  EXPECT_EQ(partial.back(), "p000059 A01 000059 3 P:A013/30");
  EXPECT_EQ(answers[2].body, "HEAD\nFOOT");

  // Level 4 problems are shown as level 3 in this edition.
  const std::vector<std::string> folded = Rows(answers[3].body);
  ASSERT_EQ(folded.size(), 10u);
  EXPECT_EQ(folded[3], "p000063 B01 000063 2 P:B012/4");
  EXPECT_EQ(folded[4], "p000064 B01 000064 3 P:B014/1");

  EXPECT_EQ(answers[4].body, "HEAD\nFOOT");
  EXPECT_EQ(Rows(answers[5].body).size(), 25u);
  EXPECT_EQ(answers[6].body, "HEAD\nFOOT");
  EXPECT_EQ(Rows(answers[7].body).size(), 25u);  // an empty packet is the first page
}

TEST_F(BrowsePages, ListPacketsOutsideThePagesGiveNoRowsWithoutOverflow) {
  for (const char* packet : {"0", "-1", "-2147483647", "-2147483648", "2147483647", "85899347"}) {
    SCOPED_TRACE(packet);
    const Answer page = Get(std::string("mathlist.stmp?main=C&sub=01&packet=") + packet);
    EXPECT_EQ(page.status, "200");
    EXPECT_EQ(page.body, "HEAD\nFOOT");
  }
}

TEST_F(BrowsePages, ListBadNumbersGiveTheErrorPage) {
  // A bad packet fails after the header has been written.
  for (const char* packet : {"abc", "2147483648", "99999999999", "1x"}) {
    SCOPED_TRACE(packet);
    const Answer page = Get(std::string("mathlist.stmp?main=A&sub=01&packet=") + packet);
    EXPECT_EQ(page.body.rfind("HEAD\n" + kErrorPage, 0), 0u) << page.body;
    EXPECT_NE(page.body.find("is not a valid integer value"), std::string::npos) << page.body;
  }
  // A bad start fails before anything is written, on all three pages.
  for (const char* script : {"mathlist", "problem_lent", "alsonaviga"}) {
    for (const char* start : {"", "=", "=abc", "=0", "=-1", "=1171", "=4294967296", "=-2147483648"}) {
      SCOPED_TRACE(std::string(script) + " start" + start);
      const Answer page = Get(std::string(script) + ".stmp?start" + start);
      EXPECT_EQ(page.mime, "text/html");
      EXPECT_EQ(page.body.rfind(kErrorPage, 0), 0u) << page.body;
    }
  }
}

TEST_F(BrowsePages, LevelMenuHidesTheLevelsAnEndpointLacks) {
  const std::vector<Answer> answers =
      Session({"problem_lent.stmp?main=A&sub=01", "problem_lent.stmp?main=B&sub=01",
               "problem_lent.stmp?start=65", "problem_lent.stmp?main=A&sub=02",
               "problem_lent.stmp?main=C&sub=01"});
  EXPECT_EQ(answers[0].body, "L1 000000 1;L3 000030 31;");
  EXPECT_EQ(answers[1].body, "L2 000060 61;L3 000064 65;");  // level 4 folded into 3
  EXPECT_EQ(answers[2].body, answers[1].body);
  EXPECT_EQ(answers[3].body, "");
  EXPECT_EQ(answers[4].body, "L1 000070 71;");
}

TEST_F(BrowsePages, NavigationValues) {
  const std::vector<Answer> answers =
      Session({"alsonaviga.stmp?main=A&sub=01", "alsonaviga.stmp?start=124",
               "alsonaviga.stmp?main=A&sub=02", "alsonaviga.stmp?main=B&sub=01&start=abc"});
  EXPECT_EQ(answers[0].body, "mlo=1 mhi=60 n=25 goto=-1");
  EXPECT_EQ(answers[1].body, "mlo=71 mhi=1170 n=25 goto=124");
  EXPECT_EQ(answers[2].body, "mlo=1000000 mhi=999999 n=25 goto=-1");
  EXPECT_EQ(answers[3].body, "mlo=61 mhi=70 n=25 goto=-1");
}

TEST_F(BrowsePages, ProblemPageWithSolutionAndBackLink) {
  const std::vector<Answer> answers =
      Session({"solution.stmp?id=000006", "solution.stmp?id=6", "solution.stmp?id=0",
               "solution.stmp?id=000064", "solution.stmp?id=1169", "solution.stmp?id=5000"});
  const std::string gfx = "<img src=\"mathgfx.stmp?ID=000006&gfx=M_image";
  EXPECT_EQ(answers[0].body,
            "id=000006 level=1 endpcode=A01 back=mathlist.stmp?start=7#p000006 ADD\n"
            "num=" + NumberImagesProblem(7) + "\n" +
            "problem=P:A011/7 " + gfx + "1.gif\">" + gfx + "1.gif\">\r\n" +
            "solution=S:A011/7 " + gfx + "2.png\">\r\n");
  // The ID goes into the picture links exactly as requested.
  EXPECT_NE(answers[1].body.find("id=6 level=1 endpcode=A01 back=mathlist.stmp?start=7#p000006"),
            std::string::npos);
  EXPECT_NE(answers[1].body.find("mathgfx.stmp?ID=6&gfx=M_image2.png"), std::string::npos);

  EXPECT_NE(answers[2].body.find("back=mathlist.stmp?start=1#p000000"), std::string::npos);
  EXPECT_NE(answers[2].body.find("num=" + NumberImagesProblem(1) + "\n"), std::string::npos);
  EXPECT_NE(answers[3].body.find("id=000064 level=3 endpcode=B01 "), std::string::npos);
  EXPECT_NE(answers[4].body.find("back=mathlist.stmp?start=1170#p001169"), std::string::npos);
  EXPECT_NE(answers[4].body.find("num=" + NumberImagesProblem(1170) + "\n"), std::string::npos);

  // Beyond the last problem: the page with nothing from the database.
  EXPECT_EQ(answers[5].body,
            "id=5000 level= endpcode= back=mathlist.stmp?start=5001#p005000 ADD\n"
            "num=" + NumberImagesProblem(5001) + "\nproblem=solution=");
}

TEST_F(BrowsePages, ProblemPageBadIdsGiveTheErrorPage) {
  for (const char* query : {"", "?id=", "?id=abc", "?id=-1", "?id=2147483647", "?id=4294967296"}) {
    SCOPED_TRACE(query);
    const Answer page = Get(std::string("solution.stmp") + query);
    EXPECT_EQ(page.mime, "text/html");
    EXPECT_EQ(page.body.rfind(kErrorPage, 0), 0u) << page.body;
  }
}

TEST_F(BrowsePages, GotoLeadsToTheProblemOrRedirects) {
  const std::vector<Answer> answers =
      Session({"mathgoto.stmp?goto=1", "mathgoto.stmp?goto=65", "mathgoto.stmp?goto=1170"});
  EXPECT_EQ(answers[0].body, "000000 1 A 01 a01.htm");
  EXPECT_EQ(answers[1].body, "000064 65 B 01 b01.htm");
  EXPECT_EQ(answers[2].body, "001169 1170 C 01 ");  // C01 has no title page

  for (const char* query : {"", "?goto=", "?goto=0", "?goto=abc", "?goto=-1", "?goto=1171",
                            "?goto=4294967296", "?goto=-2147483648", "?goto=2147483647"}) {
    SCOPED_TRACE(query);
    const Answer page = Get(std::string("mathgoto.stmp") + query);
    EXPECT_EQ(page.status + " " + page.mime, "200 text/html");
    EXPECT_EQ(page.body, kGotoRedirect);
  }
}

TEST_F(BrowsePages, IndexShowsEveryEndpointsRange) {
  EXPECT_EQ(Get("main.stmp").body, "A01[1-60] A02[---] B01[61-70] C01[71-1,170]");
}

TEST_F(BrowsePages, PicturesComeOutByteForByte) {
  const std::vector<Answer> answers = Session(
      {"mathgfx.stmp?ID=000006&gfx=M_image1.gif", "mathgfx.stmp?ID=6&gfx=m_IMAGE1.GIF",
       "mathgfx.stmp?ID=000006&gfx=M_image2.png", "mathgfx.stmp?ID=000006&gfx=M_image9.gif",
       "mathgfx.stmp?ID=000007&gfx=M_image1.gif", "mathgfx.stmp?ID=abc&gfx=M_image1.gif",
       "mathgfx.stmp?ID=99999&gfx=M_image1.gif", "mathgfx.stmp?ID=-1&gfx=M_image1.gif",
       "mathgfx.stmp"});
  EXPECT_EQ(answers[0].body, test::BrowseDisc::PictureBytes());
  EXPECT_EQ(answers[1].body, test::BrowseDisc::PictureBytes());
  EXPECT_EQ(answers[2].body, "PNG bytes");
  for (size_t i = 0; i < answers.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(answers[i].status + " " + answers[i].mime, "200 application/octet-stream");
    if (i >= 3) {
      EXPECT_EQ(answers[i].body, "");
    }
  }
}

TEST_F(BrowsePages, TemplatesLackingASectionGiveTheErrorPage) {
  const std::vector<Answer> answers = Session(
      {"broken/mathlist.stmp?main=A&sub=01", "broken/problem_lent.stmp?main=A&sub=01",
       "broken/alsonaviga.stmp?main=A&sub=01", "broken/solution.stmp?id=1",
       "broken/mathgoto.stmp?goto=1", "broken/main.stmp", "broken/mathgoto.stmp?goto=0"});
  const char* missing[] = {"footer", "level3", "body", "body", "body", "body"};
  for (size_t i = 0; i < 6; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(answers[i].body.rfind(kErrorPage, 0), 0u) << answers[i].body;
    EXPECT_NE(answers[i].body.find("Trying to reference non-existing section \"" +
                                   std::string(missing[i]) + "\""),
              std::string::npos)
        << answers[i].body;
  }
  EXPECT_EQ(answers[6].body, kGotoRedirect);  // a bad number needs no section
}

TEST_F(BrowsePages, DatabaseLoadFailureEndsStartUp) {
  test::BankSource bank(disc_->Source());
  std::string region = bank.BuildRegion();
  test::SetRegionWord(region, 4, 2);
  bank.WriteArchive(disc_->Root() / "old.dat", region);
  const QilcdRun run = Qilcd({"get", "--archive", "old.dat", "main.stmp"});
  EXPECT_EQ(run.exit_code, 2);
  EXPECT_EQ(run.err, "Wrong Math DB version.\n");
  EXPECT_EQ(run.out, "");
}

TEST_F(BrowsePages, ArchiveWithoutProblemBankServesEmptyPages) {
  ArchiveWriter writer;
  writer.AddEntry("main.stmp", test::ReadBytes((disc_->Source() / "main.stmp").string()));
  writer.AddEntry("mathgoto.stmp", test::ReadBytes((disc_->Source() / "mathgoto.stmp").string()));
  writer.WriteToFile((disc_->Root() / "bare.dat").string());
  const std::vector<Answer> answers = Session({"main.stmp", "mathgoto.stmp?goto=1"}, "bare.dat");
  EXPECT_EQ(answers[0].body, "A01 A02 B01 C01");
  EXPECT_EQ(answers[1].body, kGotoRedirect);
}

}  // namespace
}  // namespace qil
